// The wizard's run after a successful start-up, put together from the real
// parts: the setup thread, the hand-over window to the main thread, the
// host, the drives, and the output: the wizard window, or with /S the run
// log (see wizard/silent_install.h; with /DEBUG the debug listing goes to
// the log first). Returns the process exit code.
#pragma once

namespace ferry {

class Dialogs;
class JournalFaults;
class RunLog;
class WinSystem;
struct SetupContext;
struct StubOptions;

// system: what the run changes, with the run's private folder (Temp()).
// faults: the test build's hook into the run's journal; nullptr when shipped.
int RunWizard(SetupContext& ctx, const StubOptions& options, Dialogs& dialogs, RunLog& log, WinSystem& system,
              JournalFaults* faults);

}  // namespace ferry
