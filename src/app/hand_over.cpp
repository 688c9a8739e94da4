#include "app/hand_over.h"

#include <string>

#include "base/dialogs.h"
#include "engine/setup_context.h"
#include "app/silent_install_win.h"
#include "engine/startup.h"
#include "platform/uninstall_win.h"
#include "platform/run_log.h"
#include "platform/win_text.h"
#include "wizard/debug_listing.h"
#include "app/wizard_host_win.h"

namespace ferry {

// A silent run goes through the wizard without a window (with /DEBUG the
// debug listing goes to the log first); otherwise the wizard window runs.
int RunAfterStartup(TSetupContext& ctx, TStartupState& state, const TStubOptions& options, Dialogs& dialogs,
                    RunLog& log) {
  std::vector<std::string> lines = DebugListingLines(*state.Pak, ctx.SetupInfo);
  // The end of an install that asks for an uninstaller, in either mode.
  ctx.RegisterUninstall = [](TSetupContext& c) { RegisterUninstall(c); };
  if (options.Silent) {
    if (options.Debug)
      for (const std::string& line : lines) log.Line(AnsiToUtf8(line));
    return RunSilentInstall(ctx, options, dialogs, log);
  }
  TWizardWindowArgs args;
  args.ctx = &ctx;
  args.options = &options;
  args.dialogs = &dialogs;
  return RunWizardWindow(args);
}

}  // namespace ferry
