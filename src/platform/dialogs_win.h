// The two real answerers of the Dialogs interface (base/dialogs.h):
// WinDialogs shows Windows message boxes; SilentDialogs shows nothing,
// writes each message to the run log and answers with the default of its
// buttons:
//   OK             -> OK
//   OK / Cancel    -> OK
//   Retry / Cancel -> Cancel  (nobody is there to fix what failed)
//   Cancel / Try Again / Continue -> Cancel
//   Yes / No       -> Yes
#pragma once

#include <windows.h>

#include "base/dialogs.h"
#include "platform/run_log.h"

namespace ferry {

class WinDialogs : public Dialogs {
 public:
  explicit WinDialogs(HWND owner = nullptr) : owner_(owner) {}
  void SetOwner(HWND owner) { owner_ = owner; }

  DialogAnswer Show(std::string_view text, std::string_view caption, DialogButtons buttons,
                    DialogIcon icon) override;
  DialogAnswer ShowUnicode(std::u16string_view text, std::u16string_view caption, DialogButtons buttons,
                           DialogIcon icon) override;

 private:
  HWND owner_;
};

class SilentDialogs : public Dialogs {
 public:
  explicit SilentDialogs(RunLog& log) : log_(log) {}
  bool AnswersItself() const override { return true; }

  DialogAnswer Show(std::string_view text, std::string_view caption, DialogButtons buttons,
                    DialogIcon icon) override;
  DialogAnswer ShowUnicode(std::u16string_view text, std::u16string_view caption, DialogButtons buttons,
                           DialogIcon icon) override;

  static DialogAnswer DefaultAnswer(DialogButtons buttons);
  static const char* AnswerName(DialogAnswer a);
  // Where the silent run writes its lines.
  RunLog& Log() { return log_; }

 private:
  DialogAnswer Answered(DialogButtons buttons);

  RunLog& log_;
};

}  // namespace ferry
