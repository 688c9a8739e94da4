#include "engine/progress_sinks.h"

namespace ferry {

void RunProgress::SetStatusText(std::u16string_view text) {
  if (gauge_pending_) {
    gauge_pending_ = false;
    if (sinks_) sinks_->SetGaugeAndStatusText(steps_, text);
    return;
  }
  if (sinks_) sinks_->SetStatusText(text);
}

void RunProgress::SetMessageText(std::u16string_view text, bool repaintNow) {
  FlushGauge();
  if (sinks_) sinks_->SetMessageText(text, repaintNow);
}

void RunProgress::StepGauge(bool show) {
  FlushGauge();
  ++steps_;
  if (show && sinks_) sinks_->SetGaugePosition(steps_);
}

void RunProgress::DeferGaugeStep() {
  FlushGauge();
  ++steps_;
  gauge_pending_ = true;
}

void RunProgress::FlushGauge() {
  if (!gauge_pending_) return;
  gauge_pending_ = false;
  if (sinks_) sinks_->SetGaugePosition(steps_);
}

void RunProgress::Note(std::string_view text) {
  FlushGauge();
  if (sinks_) sinks_->ReportNote(text);
}

void RunProgress::Problem(std::string_view text) {
  FlushGauge();
  if (sinks_) sinks_->ReportProblem(text);
}

}  // namespace ferry
