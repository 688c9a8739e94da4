// How the commands of a run report progress: the status line and the
// message line of the wizard, the gauge, and the problems of the run.
//
// Commands call RunProgress (one per setup context) on the setup thread.
// RunProgress counts gauge steps and forwards to a ProgressSinks, which the
// program binds to its pages: the window's controls, or in silent mode the
// run log. A sink must not change what the main thread owns from the setup
// thread: it keeps the change for the main thread (wizard/progress_handover.h).
// Until a sink is bound the calls change nothing but the step counter.
#pragma once

#include <cstdint>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

namespace ferry {

class ProgressSinks {
 public:
  virtual ~ProgressSinks() = default;
  // The control named "patching_statuslabel".
  virtual void SetStatusText(std::u16string_view text) = 0;
  // The control named "finishtext"; repaintNow: show it at once.
  virtual void SetMessageText(std::u16string_view text, bool repaintNow) = 0;
  // The gauge named "patching_progressbar".
  virtual void SetGaugePosition(int32_t position) = 0;
  // SetGaugePosition, then SetStatusText: extraction ends every file with a
  // gauge step and begins the next with a status text, so a sink that pays
  // per change can pay once for both.
  virtual void SetGaugeAndStatusText(int32_t position, std::u16string_view text) {
    SetGaugePosition(position);
    SetStatusText(text);
  }
  // Something the run could not do and goes on without (a payload file that
  // could not be written, a path that was refused). 8-bit text of the
  // system code page, like the paths in it.
  virtual void ReportProblem(std::string_view text) {}
  // A fact for the log that is no problem (a program's exit code). 8-bit
  // text of the system code page.
  virtual void ReportNote(std::string_view text) {}
};

class RunProgress {
 public:
  // A run ends with FlushGauge, so binding between runs loses no step.
  void Bind(ProgressSinks* sinks) { sinks_ = sinks; }
  ProgressSinks* Sinks() const { return sinks_; }

  // Both first move the gauge to a step that DeferGaugeStep held back.
  void SetStatusText(std::u16string_view text);
  void SetMessageText(std::u16string_view text, bool repaintNow);
  // Adds one to the step counter; with show, moves the gauge to it.
  void StepGauge(bool show);
  // StepGauge(true) whose gauge move rides with the next status text (one
  // sink call for both). Any other call, and FlushGauge, moves it first, so
  // the sinks see the same changes in the same order.
  void DeferGaugeStep();
  void FlushGauge();
  // Steps counted since program start; never reset.
  int32_t GaugeSteps() const { return steps_; }

  // A problem line for the sink; the run's record (run_record.h) decides
  // what it means for the run.
  void Problem(std::string_view text);
  // A line for the log that is no problem.
  void Note(std::string_view text);

 private:
  ProgressSinks* sinks_ = nullptr;
  int32_t steps_ = 0;
  bool gauge_pending_ = false;
};

}  // namespace ferry
