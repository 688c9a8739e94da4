// Where a run shows its progress: the wizard model, which the window
// observes, and in a silent run the run log as well ("Status: ...",
// "Message: ...", "Progress: N%", "Problem: ..."; log: nullptr with a window).
#pragma once

#include <cstdint>
#include <string_view>

#include "engine/progress_sinks.h"
#include "engine/uninstall/uninstall_work.h"
#include "wizard/progress_handover.h"

namespace ferry {

class RunLog;
class UiTaskWindow;
class WizardModel;

// The setup thread's progress: log lines are written at once, on the thread
// that makes the change, in the order it happened; the model, which the main
// thread owns, gets the latest state when the main thread comes to it
// (ShowLatest). A change made on the main thread shows at once.
class ModelProgress : public ProgressSinks {
 public:
  // gaugeMax: the gauge position that stands for 100% in the log.
  ModelProgress(UiTaskWindow& ui, RunLog* log, int64_t gaugeMax) : ui_(ui), log_(log), gauge_max_(gaugeMax) {}
  // Main thread; nullptr once the model is gone.
  void SetModel(WizardModel* model) { model_ = model; }
  // Main thread: puts the latest changes on the model. paced: at most every
  // few hundredths of a second (a window redraws its controls on each).
  void ShowLatest(bool paced = false);

  void SetStatusText(std::u16string_view text) override;
  void SetMessageText(std::u16string_view text, bool repaintNow) override;
  void SetGaugePosition(int32_t position) override;
  void ReportProblem(std::string_view text) override;
  void ReportNote(std::string_view text) override;

 private:
  // A change made on the main thread is shown at once.
  void ShowIfOnMainThread();

  UiTaskWindow& ui_;
  RunLog* log_;
  int64_t gauge_max_;
  int last_percent_ = -1;
  ProgressHandover latest_;
  uint64_t last_shown_ms_ = 0;
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
