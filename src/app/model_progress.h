// Where a run shows its progress: the wizard model, which the window
// observes, and in a silent run the run log as well ("Status: ...",
// "Message: ...", "Progress: N%", "Problem: ..."; log: nullptr with a window).
#pragma once

#include <cstdint>
#include <string_view>

#include "engine/progress_sinks.h"
#include "engine/uninstall/uninstall_work.h"

namespace ferry {

class RunLog;
class UiTaskWindow;
class WizardModel;

// The setup thread's progress: each change is handed to the main thread,
// which owns the model, and carried out there, in the order it happened,
// before the thread goes on.
class ModelProgress : public ProgressSinks {
 public:
  // gaugeMax: the gauge position that stands for 100% in the log.
  ModelProgress(UiTaskWindow& ui, RunLog* log, int64_t gaugeMax) : ui_(ui), log_(log), gauge_max_(gaugeMax) {}
  // Main thread; nullptr once the model is gone.
  void SetModel(WizardModel* model) { model_ = model; }

  void SetStatusText(std::u16string_view text) override;
  void SetMessageText(std::u16string_view text, bool repaintNow) override;
  void SetGaugePosition(int32_t position) override;
  // One hand-over for the step after a file and the next file's name.
  void SetGaugeAndStatusText(int32_t position, std::u16string_view text) override;
  void ReportProblem(std::string_view text) override;

 private:
  // Main thread.
  void ShowStatus(std::u16string_view text);
  void ShowGauge(int32_t position);

  UiTaskWindow& ui_;
  RunLog* log_;
  int64_t gauge_max_;
  int last_percent_ = -1;
  WizardModel* model_ = nullptr;
};

// The uninstall work's progress on the Uninstall page; the work runs on the
// main thread, so it goes straight to the model.
class ModelUninstallView : public UninstallView {
 public:
  ModelUninstallView(WizardModel& model, RunLog* log) : model_(model), log_(log) {}
  void SetStatusText(std::u16string_view text) override;
  void SetGauge(int32_t position, int32_t maximum) override;
  void Problem(std::string_view text) override;

 private:
  WizardModel& model_;
  RunLog* log_;
  int last_percent_ = -1;
};

}  // namespace ferry
