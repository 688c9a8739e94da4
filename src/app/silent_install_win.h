// The silent run on Windows: the wizard model, the setup thread and the
// hand-over window put together, progress and messages to the run log.
#pragma once

#include <cstdint>
#include <string>

#include "platform/drive_info.h"
#include "wizard/wizard_model.h"

namespace ferry {

class Dialogs;
class RunLog;
struct TSetupContext;
struct TStubOptions;

// After start-up, with /S: runs the wizard silently; the exit code (see
// core/silent_install.h). Progress lines are "Status: ...", "Message: ..."
// and "Progress: N%", problems "Problem: ...".
int RunSilentInstall(TSetupContext& ctx, const TStubOptions& options, Dialogs& dialogs, RunLog& log);

}  // namespace ferry
