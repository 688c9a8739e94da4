#include "wizard/held_files_box.h"

namespace ferry {

HeldFilesAnswer HeldFilesBox::Ask(const std::vector<HeldFile>& held, bool atRestartPossible) {
  if (restart_ok_) return HeldFilesAnswer::kAtRestart;
  // Nobody to close the programs: the run names the files and stops.
  if (dialogs_.AnswersItself()) return HeldFilesAnswer::kStop;
  const DialogAnswer answer =
      dialogs_.Show(HeldFilesQuestion(held), "Files in use", DialogButtons::kRetryCancel, DialogIcon::kWarning);
  return answer == DialogAnswer::kRetry ? HeldFilesAnswer::kRetry : HeldFilesAnswer::kCancel;
}

}  // namespace ferry
