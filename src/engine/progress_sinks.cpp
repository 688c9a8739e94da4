#include "engine/progress_sinks.h"

namespace ferry {

void TProgress::SetStatusText(std::u16string_view text) {
  if (gauge_pending_) {
    gauge_pending_ = false;
    if (sinks_) sinks_->SetGaugeAndStatusText(steps_, text);
    return;
  }
  if (sinks_) sinks_->SetStatusText(text);
}

void TProgress::SetMessageText(std::u16string_view text, bool repaintNow) {
  FlushGauge();
  if (sinks_) sinks_->SetMessageText(text, repaintNow);
}

void TProgress::StepGauge(bool show) {
  FlushGauge();
  ++steps_;
  if (show && sinks_) sinks_->SetGaugePosition(steps_);
}

void TProgress::DeferGaugeStep() {
  FlushGauge();
  ++steps_;
  gauge_pending_ = true;
}

void TProgress::FlushGauge() {
  if (!gauge_pending_) return;
  gauge_pending_ = false;
  if (sinks_) sinks_->SetGaugePosition(steps_);
}

void TProgress::FileNotWritten(std::string_view path, std::string_view reason) {
  {
    std::lock_guard<std::mutex> lock(failures_mutex_);
    failures_.push_back({std::string(path), std::string(reason)});
  }
  std::string text = "Cannot write " + std::string(path);
  if (!reason.empty()) text += ": " + std::string(reason);
  Problem(text);
}

void TProgress::Problem(std::string_view text) {
  FlushGauge();
  if (sinks_) sinks_->ReportProblem(text);
}

std::vector<TWriteFailure> TProgress::WriteFailures() const {
  std::lock_guard<std::mutex> lock(failures_mutex_);
  return failures_;
}

}  // namespace ferry
