// The stub's run: command line, output, start-up, the wizard's run, exit
// code.
#include <windows.h>

#include <exception>
#include <memory>

#include "app/run_stub.h"
#include "app/wizard_run.h"
#include "base/system_path.h"
#include "base/text.h"
#include "engine/setup_context.h"
#include "engine/startup.h"
#include "engine/stub_command_line.h"
#include "platform/startup_win.h"
#include "platform/system_library.h"
#include "platform/uninstall/self_removal.h"
#include "platform/dialogs_win.h"
#include "platform/elevation.h"
#include "platform/private_folder.h"
#include "platform/run_log.h"
#include "platform/win_system.h"
#include "platform/win_text.h"
#include "views/win32/verify_form.h"

namespace ferry {

int RunStub(JournalFaults* faults) {
  if (std::optional<int> removed = RunSelfRemovalIfAsked()) return *removed;
  RemoveStalePrivateFolders();
  // UTF-8: a folder the code page cannot hold still names itself.
  StubOptions options = ParseStubCommandLine(Utf16ToUtf8(WideToU16(GetCommandLineW())));
  RunLog log(options.Silent);
  if (!options.Silent) LoadWindowLibraries();
  std::unique_ptr<Dialogs> dialogs;
  if (options.Silent) dialogs = std::make_unique<SilentDialogs>(log);
  else dialogs = std::make_unique<WinDialogs>();
  if (!options.LogFile.empty() && !log.OpenFile(PathFromUtf8(options.LogFile)))
    dialogs->ShowUnicode(u"Cannot create the log file \"" + Utf8ToUtf16(options.LogFile) + u"\"", u"Error",
                         DialogButtons::kOk, DialogIcon::kWarning);
  if (options.Help) {
    // A box only when there is nowhere to print.
    if (!RunLog::WriteStandardOutput(kStubUsage))
      dialogs->ShowUnicode(Utf8ToUtf16(kStubUsage), u"Setup", DialogButtons::kOk, DialogIcon::kInformation);
    return kExitDone;
  }
  if (!options.UnknownSwitch.empty()) {
    const std::string message = UnknownSwitchMessage(options.UnknownSwitch);
    if (!options.Silent) RunLog().Message("Error", message);  // the silent dialogs write it themselves
    dialogs->ShowUnicode(Utf8ToUtf16(message), u"Error", DialogButtons::kOk, DialogIcon::kError);
    return kExitStartupError;
  }

  try {
    WinSystem system;
    SetupContext ctx;
    StartupState state;
    std::unique_ptr<VerifyView> view;
    if (options.Silent) view = std::make_unique<SilentVerifyView>(log);
    else view = std::make_unique<VerifyForm>();
    WinStartupEnvironment env;
    WinErrorReporter reporter(ctx, options, *dialogs, !options.Silent);
    const bool ready = RunStartup(ctx, options, {env, *dialogs, *view, reporter}, state);
    view.reset();
    if (state.NeedsElevation) {
      WinElevation elevation;
      const ElevatedWork work = ctx.SetupInfo.IsUninstaller == 1 ? ElevatedWork::kRemove : ElevatedWork::kInstall;
      return RunForEveryone(elevation, Utf16ToUtf8(WideToU16(GetCommandLineW())), *dialogs, ctx.Languages, work);
    }
    if (!ready) return ctx.Record.ExitCode();
    return RunWizard(ctx, options, *dialogs, log, system, faults);
  } catch (const std::exception& e) {
    // Not the program's own error type: no report, but no crash either.
    dialogs->Show(WideToAnsi(AnsiToWide(e.what())), "Error", DialogButtons::kOk, DialogIcon::kError);
    return kExitFailed;
  }
}

}  // namespace ferry

