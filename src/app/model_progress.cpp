#include "app/model_progress.h"

#include <windows.h>

#include <string>

#include "base/text.h"
#include "platform/run_log.h"
#include "platform/ui_task.h"
#include "platform/win_text.h"
#include "wizard/silent_install.h"
#include "wizard/wizard_model.h"

namespace ferry {

namespace {

// About 40 times a second: a gauge that moves smoothly, and a window that
// redraws no more often than that however small the files are.
constexpr uint64_t kShowEveryMs = 25;

// Work-page status captions may already begin with "Status:" ("Status: 0 of
// 164 items remaining"); the log line does not repeat it.
std::string StatusLine(std::u16string_view text) {
  std::string utf8 = Utf16ToUtf8(text);
  return utf8.starts_with("Status:") ? utf8 : "Status: " + utf8;
}

// A "Progress: N%" line when the percentage moved.
void LogPercent(RunLog* log, int64_t position, int64_t maximum, int& lastPercent) {
  if (!log) return;
  int percent = GaugePercent(position, maximum);
  if (percent != lastPercent) log->Line("Progress: " + std::to_string(percent) + "%");
  lastPercent = percent;
}

void LogProblem(RunLog* log, std::string_view text) {
  if (log) log->Line("Problem: " + AnsiToUtf8(text));
}

}  // namespace

void ModelProgress::SetStatusText(std::u16string_view text) {
  if (log_) log_->Line(StatusLine(text));
  latest_.SetStatusText(text);
  ShowIfOnMainThread();
}

void ModelProgress::SetMessageText(std::u16string_view text, bool) {
  if (log_) log_->Line("Message: " + Utf16ToUtf8(text));
  latest_.SetMessageText(text);
  ShowIfOnMainThread();
}

void ModelProgress::SetGaugePosition(int32_t position) {
  LogPercent(log_, position, gauge_max_, last_percent_);
  latest_.SetGaugePosition(position);
  ShowIfOnMainThread();
}

void ModelProgress::ReportProblem(std::string_view text) { LogProblem(log_, text); }

void ModelProgress::ReportNote(std::string_view text) {
  if (log_) log_->Line(AnsiToUtf8(text));
}

void ModelProgress::ShowLatest(bool paced) {
  if (paced) {
    const uint64_t now = GetTickCount64();
    if (now - last_shown_ms_ < kShowEveryMs) return;
    last_shown_ms_ = now;
  }
  latest_.ShowOn(model_);
}

void ModelProgress::ShowIfOnMainThread() {
  if (ui_.OnMainThread()) ShowLatest();
}

void ModelUninstallView::SetStatusText(std::u16string_view text) {
  model_.SetStatusText(text);
  if (log_) log_->Line(StatusLine(text));
}

void ModelUninstallView::SetGauge(int32_t position, int32_t maximum) {
  model_.SetGaugeMax(maximum);
  model_.SetGaugePosition(position);
  LogPercent(log_, position, maximum, last_percent_);
}

void ModelUninstallView::Problem(std::string_view text) { LogProblem(log_, text); }

}  // namespace ferry
