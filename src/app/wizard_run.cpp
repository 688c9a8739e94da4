#include "app/wizard_run.h"

#include <windows.h>
// The wizard's drive query shares its name with a Windows macro.
#undef GetDriveType

#include <string>
#include <vector>

#include "app/context_binding.h"
#include "app/model_progress.h"
#include "app/wizard_host.h"
#include "base/scope_guard.h"
#include "base/setup_error.h"
#include "base/system_path.h"
#include "engine/run_journal/journaled_run.h"
#include "engine/setup_context.h"
#include "engine/setup_thread.h"
#include "base/text.h"
#include "engine/startup.h"
#include "formats/pak/pak_reader.h"
#include "platform/drive_info.h"
#include "platform/elevation.h"
#include "platform/files.h"
#include "platform/run_log.h"
#include "platform/setup_thread_win.h"
#include "platform/startup_win.h"
#include "platform/uninstall/file_identity.h"
#include "platform/uninstall/uninstaller_file.h"
#include "platform/ui_task.h"
#include "platform/win_system.h"
#include "platform/win_text.h"
#include "views/win32/debug_form.h"
#include "views/win32/main_form.h"
#include "wizard/debug_listing.h"
#include "wizard/held_files_box.h"
#include "wizard/silent_install.h"
#include "wizard/wizard_model.h"

namespace ferry {

namespace {

// The pages from the setup's record; an error there ends the run before
// the first page shows.
bool SetPagesUp(WizardModel& model, SetupContext& ctx, ErrorReporter& reporter, RunLog* output) {
  try {
    model.SetPagesUp();
    return true;
  } catch (const SetupError& e) {
    if (output) output->Line(std::string("Error: ") + AnsiToUtf8(e.what()));
    reporter.Report(e.what(), "");
    ctx.Record.Refuse(e.what());
    return false;
  }
}

// The window's message loop until the wizard closes.
int RunInWindow(WizardModel& model, SetupContext& ctx, ErrorReporter& reporter,
                bool debugButton) {
  FrmMainArgs formArgs;
  formArgs.Model = &model;
  formArgs.DebugButtonVisible = debugButton;
  formArgs.ShowDebug = [&ctx](HWND owner) {
    if (ctx.Pak) DebugForm::ShowModal(owner, DebugListingLines(*ctx.Pak, ctx.SetupInfo));
  };
  MainForm form(formArgs);
  model.SetObserver(&form);
  ScopeGuard detach([&model] { model.SetObserver(nullptr); });
  if (!SetPagesUp(model, ctx, reporter, nullptr)) return ctx.Record.ExitCode();
  form.Show();
  form.RunMessageLoop();
  return ctx.Record.ExitCode();
}

// Before any page: the folder start-up chose is claimed for this process,
// and a run that was killed there is undone. False when another setup or
// uninstaller works in it (said, and exit code 3).
bool ClaimStartFolder(SetupContext& ctx, InstallFolderClaim& folder, Dialogs& dialogs, RunLog* output,
                      RecoveryReport& recovery) {
  FolderClaim claim = folder.Claim(ctx.SetupInfo.InstallDir);
  const std::string text = FolderClaimText(claim, ctx.SetupInfo.InstallDir);
  ReportFolderClaim(text, claim.Refused(), dialogs, output);
  if (claim.Busy) ctx.Record.FolderBusy(text);
  else if (claim.Refused()) ctx.Record.Refuse(text);
  recovery = std::move(claim.Recovery);
  return !claim.Refused();
}

// The registered uninstaller, when this program is it: a run it undoes at
// start may have written it, and it cannot delete itself.
std::string RunningUninstaller(const SetupContext& ctx) {
  if (ctx.SetupInfo.IsUninstaller != 1) return {};
  const std::string registered = UninstallerPath(ctx);
  return IsSameFile(PathText(OwnProgramPath()), registered) ? registered : std::string();
}

}  // namespace

int RunWizard(SetupContext& ctx, const StubOptions& options, Dialogs& dialogs, RunLog& log, WinSystem& system,
              JournalFaults* faults) {
  const bool silent = options.Silent;
  RunLog* output = silent ? &log : nullptr;
  if (silent && options.Debug && ctx.Pak)
    for (const std::string& line : DebugListingLines(*ctx.Pak, ctx.SetupInfo)) log.Line(AnsiToUtf8(line));

  InstallFolderClaim folder(system, RunningUninstaller(ctx));
  RecoveryReport recovery;
  if (!ClaimStartFolder(ctx, folder, dialogs, output, recovery)) return ctx.Record.ExitCode();
  PrivateFolder& temp = system.Temp();

  UiTaskWindow ui;
  WinErrorReporter reporter(ctx, options, dialogs, !silent);
  WinSetupRunPlatform platform(reporter, [output](std::string_view message) {
    if (output) output->Line("Error in the setup thread: " + AnsiToUtf8(message));
  });
  ModelProgress progress(ui, output, ctx.Pak ? static_cast<int64_t>(ctx.Pak->CountPayloadEntries()) : 0);
  ContextBinding binding(ctx, progress, dialogs, temp);

  SetupThread thread(ctx, platform);
  const bool offerRestart = ctx.Product && ctx.Product->ReplaceAtRestart;
  HeldFilesBox held(dialogs, ctx.Languages, {.RestartOk = options.RestartOk, .OfferRestart = offerRestart});
  const RunArguments run{.RealSystem = &system,
                         .Folder = &folder,
                         .Faults = faults,
                         .AllowDowngrade = options.AllowDowngrade,
                         .Held = &held};
  RunningWizardHost host(ctx, ui, thread, run, progress, reporter, dialogs, output, temp);
  WinDriveInfo drives;
  WizardModel model(WizardDataOf(ctx), host, drives, dialogs);
  progress.SetModel(&model);
  host.SetModel(&model);
  host.SetStartRecovery(std::move(recovery));
  ScopeGuard unset([&progress] { progress.SetModel(nullptr); });
  if (!silent) {
    const int code = RunInWindow(model, ctx, reporter, options.Debug);
    if (!model.ElevationRequested()) return code;
    // Everyone picked on the Scope page: the elevated copy installs.
    WinElevation elevation;
    return RunForEveryone(elevation, Utf16ToUtf8(WideToU16(GetCommandLineW())), dialogs, ctx.Languages);
  }
  if (!SetPagesUp(model, ctx, reporter, output)) return ctx.Record.ExitCode();
  return RunSilentWizard(model, ctx, host.Facts(), [&log](std::string_view line) { log.Line(line); });
}

}  // namespace ferry
