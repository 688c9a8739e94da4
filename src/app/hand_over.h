// What follows a successful start-up: the wizard in interactive mode, its
// silent run with /S. Returns the process exit code.
#pragma once

namespace ferry {

class Dialogs;
class RunLog;
struct TSetupContext;
struct TStartupState;
struct TStubOptions;

int RunAfterStartup(TSetupContext& ctx, TStartupState& state, const TStubOptions& options, Dialogs& dialogs,
                    RunLog& log);

}  // namespace ferry
