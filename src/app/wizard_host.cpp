#include "app/wizard_host.h"

#include <windows.h>


#include "base/dialogs.h"
#include "base/setup_error.h"
#include "engine/run_journal/journaled_run.h"
#include "engine/setup_context.h"
#include "engine/setup_thread.h"
#include "engine/startup.h"
#include "engine/uninstall/uninstall_page.h"
#include "formats/pak/pak_reader.h"
#include "platform/private_folder.h"
#include "platform/run_log.h"
#include "platform/ui_task.h"
#include "platform/uninstall/finaliser.h"
#include "platform/uninstall/uninstall_system.h"
#include "platform/win_text.h"
#include "app/model_progress.h"

namespace ferry {

void ReportFolderClaim(const std::string& text, bool refused, Dialogs& dialogs, RunLog* log) {
  if (text.empty()) return;
  if (!log) {
    dialogs.Show(text, "Setup", DialogButtons::kOk, refused ? DialogIcon::kError : DialogIcon::kInformation);
    return;
  }
  // The run log writes standard error too: once is enough.
  log->Line(AnsiToUtf8(text));
}

std::optional<std::vector<uint8_t>> RunningWizardHost::LoadEntry(std::string_view name) {
  if (!ctx_.Pak) return std::nullopt;
  return ctx_.Pak->LoadByName(name, 0);
}

uint32_t RunningWizardHost::PayloadEntryCount() {
  return ctx_.Pak ? static_cast<uint32_t>(ctx_.Pak->CountPayloadEntries()) : 0;
}

std::string RunningWizardHost::ExpandPathVars(std::string_view text) { return ctx_.ExpandPathVars(text); }

void RunningWizardHost::AddInstallDirectory(const std::string& dir) { ctx_.InstallLog.AddDirectory(dir); }

void RunningWizardHost::RunInstall() {
  facts_.InstallRan = true;
  if (log_) log_->Line("Installing to \"" + AnsiToUtf8(ctx_.SetupInfo.InstallDir) + "\"");
  thread_.StartRun(run_);
  // The setup thread's progress shows at the main thread's pace while it
  // waits, and once more for what the run's last changes left.
  ui_.PumpUntil([this] {
    progress_.ShowLatest(true);
    return thread_.RunFinished() || thread_.Ended();
  });
  progress_.ShowLatest();
  facts_.Outcome = thread_.LastRun();
  if (facts_.Outcome.FolderBusy) ReportFolderClaim(FolderBusyMessage(ctx_.SetupInfo.InstallDir), true, dialogs_, log_);
}

void RunningWizardHost::StopSetupThread() {
  thread_.Stop();
  thread_.WaitFor();
}

void RunningWizardHost::RunUninstall() {
  if (!model_) throw SetupError("The uninstall page has no wizard.");
  if (log_) log_->Line("Uninstalling from \"" + AnsiToUtf8(ctx_.SetupInfo.InstallDir) + "\"");
  ModelUninstallView view(*model_, log_);
  WinUninstallSystem system(InstallLogPath(ctx_.SetupInfo), temp_);
  UninstallOutcome out = RunUninstallPage(ctx_, system, view, start_recovery_);
  facts_.UninstallRan = true;
  facts_.UninstallNotRemoved = out.NotRemoved;
  facts_.UninstallSkipped = out.Skipped;
}

void RunningWizardHost::RunFinaliser() { FinishUninstaller(ctx_, facts_.UninstallRan, temp_); }

bool RunningWizardHost::MachineNeedsElevation() { return !ProcessIsElevated(); }

void RunningWizardHost::ReportFatal(const std::string& message) {
  ctx_.Record.Stop(message);
  if (log_) log_->Line("Error: " + AnsiToUtf8(message));
  reporter_.Report(message, "");
  // The window's message loop ends with the run; a silent run ends by itself.
  if (!log_) PostQuitMessage(kExitFailed);
}

}  // namespace ferry
