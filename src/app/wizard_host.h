// What the wizard asks of the running setup, answered alike with a window
// and silently: entries of the archive, path variables, the install log,
// the setup thread's run while the main thread's messages flow, the
// uninstall work and the uninstaller's finish. A silent run also writes what
// happens to the run log (log: nullptr with a window).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/run_journal/run_recovery.h"
#include "engine/setup_thread.h"
#include "wizard/silent_install.h"
#include "wizard/wizard_model.h"

namespace ferry {

class Dialogs;
class PrivateFolder;
class RunLog;
class ErrorReporter;
class ModelProgress;
class SetupThread;
class UiTaskWindow;
struct SetupContext;

// Says what claiming the install folder found (text: FolderClaimText): in a
// box with a window; in the run log and once more on standard error without.
// refused: nothing may run there.
void ReportFolderClaim(const std::string& text, bool refused, Dialogs& dialogs, RunLog* log);

class RunningWizardHost : public WizardHost {
 public:
  // run: what the install's run is started with.
  RunningWizardHost(SetupContext& ctx, UiTaskWindow& ui, SetupThread& thread, const RunArguments& run,
                    ModelProgress& progress, ErrorReporter& reporter, Dialogs& dialogs, RunLog* log,
                    PrivateFolder& temp)
      : ctx_(ctx), ui_(ui), thread_(thread), run_(run), progress_(progress), reporter_(reporter), dialogs_(dialogs),
        log_(log), temp_(temp) {}
  void SetModel(WizardModel* model) { model_ = model; }
  // What undoing an unfinished run at start did (the uninstall finishes it).
  void SetStartRecovery(RecoveryReport recovery) { start_recovery_ = std::move(recovery); }
  // What the run did, for the silent run's exit code.
  const SilentRunFacts& Facts() const { return facts_; }

  std::optional<std::vector<uint8_t>> LoadEntry(std::string_view name) override;
  uint32_t PayloadEntryCount() override;
  std::string ExpandPathVars(std::string_view text) override;
  void AddInstallDirectory(const std::string& dir) override;
  void RunInstall() override;
  void StopSetupThread() override;
  void RunUninstall() override;
  void RunFinaliser() override;
  bool MachineNeedsElevation() override;
  void ReportFatal(const std::string& message) override;

 private:
  SetupContext& ctx_;
  UiTaskWindow& ui_;
  SetupThread& thread_;
  const RunArguments run_;
  ModelProgress& progress_;
  ErrorReporter& reporter_;
  Dialogs& dialogs_;
  RunLog* log_;
  PrivateFolder& temp_;
  WizardModel* model_ = nullptr;
  SilentRunFacts facts_;
  RecoveryReport start_recovery_;
};

}  // namespace ferry
