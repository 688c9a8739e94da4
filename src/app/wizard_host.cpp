#include "app/wizard_host.h"

#include <windows.h>

#include "base/setup_error.h"
#include "engine/setup_context.h"
#include "engine/setup_thread.h"
#include "engine/startup.h"
#include "engine/uninstall/uninstall_page.h"
#include "formats/pak/pak_file.h"
#include "platform/run_log.h"
#include "platform/ui_task.h"
#include "platform/uninstall/finaliser.h"
#include "platform/uninstall/uninstall_system.h"
#include "platform/win_text.h"
#include "app/model_progress.h"

namespace ferry {

std::optional<std::vector<uint8_t>> TRunningWizardHost::LoadEntry(std::string_view name) {
  if (!ctx_.Pak) return std::nullopt;
  return ctx_.Pak->LoadByName(name, 0);
}

uint32_t TRunningWizardHost::PayloadEntryCount() {
  return ctx_.Pak ? static_cast<uint32_t>(ctx_.Pak->CountPayloadEntries()) : 0;
}

std::string TRunningWizardHost::ExpandPathVars(std::string_view text) { return ctx_.ExpandPathVars(text); }

void TRunningWizardHost::AddInstallDirectory(const std::string& dir) { ctx_.InstallLog.AddDirectory(dir); }

void TRunningWizardHost::RunInstall() {
  facts_.InstallRan = true;
  if (log_) log_->Line("Installing to \"" + AnsiToUtf8(ctx_.SetupInfo.InstallDir) + "\"");
  ctx_.CurrentLine = -1;
  ctx_.RunRequested.store(1);
  ui_.PumpUntil([this] { return ctx_.RunRequested.load() == 0 || thread_.Ended(); });
  facts_.Outcome = thread_.LastRun();
}

void TRunningWizardHost::StopSetupThread() {
  thread_.Stop();
  thread_.WaitFor();
}

void TRunningWizardHost::RunUninstall() {
  if (!model_) throw SetupError("The uninstall page has no wizard.");
  if (log_) log_->Line("Uninstalling from \"" + AnsiToUtf8(ctx_.SetupInfo.InstallDir) + "\"");
  TModelUninstallView view(*model_, log_);
  TWinUninstallSystem system(InstallLogPath(ctx_.SetupInfo));
  TUninstallOutcome out = RunUninstallPage(ctx_, system, view);
  facts_.UninstallRan = true;
  facts_.UninstallNotRemoved = out.NotRemoved;
  facts_.UninstallSkipped = out.Skipped;
}

void TRunningWizardHost::RunFinaliser() { FinishUninstaller(ctx_, facts_.UninstallRan); }

void TRunningWizardHost::ReportFatal(const std::string& message) {
  fatal_ = true;
  if (log_) log_->Line("Error: " + AnsiToUtf8(message));
  reporter_.Report(message, "");
  // The window's message loop ends with the run; a silent run ends by itself.
  if (!log_) PostQuitMessage(kExitFailed);
}

}  // namespace ferry
