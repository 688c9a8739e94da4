#include "wizard/progress_handover.h"

#include <utility>

#include "wizard/wizard_model.h"

namespace ferry {

void ProgressHandover::SetStatusText(std::u16string_view text) {
  std::u16string copy(text);
  std::lock_guard<std::mutex> lock(mutex_);
  latest_.Status = std::move(copy);
}

void ProgressHandover::SetMessageText(std::u16string_view text) {
  std::u16string copy(text);
  std::lock_guard<std::mutex> lock(mutex_);
  latest_.Message = std::move(copy);
}

void ProgressHandover::SetGaugePosition(int32_t position) {
  std::lock_guard<std::mutex> lock(mutex_);
  latest_.Gauge = position;
}

bool ProgressHandover::ShowOn(WizardModel* model) {
  Latest shown;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    shown = std::exchange(latest_, {});
  }
  if (!shown.Status && !shown.Message && !shown.Gauge) return false;
  if (!model) return true;
  if (shown.Gauge) model->SetGaugePosition(*shown.Gauge);
  if (shown.Status) model->SetStatusText(*shown.Status);
  if (shown.Message) model->SetMessageText(*shown.Message);
  return true;
}

}  // namespace ferry
