// Every message box and question of the program goes through this one
// interface: the interactive implementation shows real Windows message
// boxes (src/platform), the silent one answers with documented defaults and
// writes the text to standard error and the log, tests record what was asked.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace ferry {

// kCancelTryContinue: Try Again answers kRetry, Continue kContinue.
enum class DialogButtons { kOk, kOkCancel, kRetryCancel, kYesNo, kCancelTryContinue };
enum class DialogIcon { kNone, kInformation, kQuestion, kWarning, kError };
enum class DialogAnswer { kOk, kCancel, kRetry, kYes, kNo, kContinue };

class Dialogs {
 public:
  virtual ~Dialogs() = default;
  // 8-bit text in the system code page (fixed English messages, names).
  virtual DialogAnswer Show(std::string_view text, std::string_view caption, DialogButtons buttons,
                            DialogIcon icon) = 0;
  // 16-bit text (language tables).
  virtual DialogAnswer ShowUnicode(std::u16string_view text, std::u16string_view caption,
                                   DialogButtons buttons, DialogIcon icon) = 0;
  // Whether nobody sees the boxes: they are answered by the program itself
  // (a silent run).
  virtual bool AnswersItself() const { return false; }
};

// For tests and tools: remembers every message and answers from a script
// (the default answer when the script runs out).
class RecordingDialogs : public Dialogs {
 public:
  struct ShownBox {
    std::u16string Text;
    std::u16string Caption;
    DialogButtons Buttons;
  };

  explicit RecordingDialogs(DialogAnswer defaultAnswer = DialogAnswer::kOk)
      : default_answer_(defaultAnswer) {}

  DialogAnswer Show(std::string_view text, std::string_view caption, DialogButtons buttons,
                    DialogIcon icon) override;
  DialogAnswer ShowUnicode(std::u16string_view text, std::u16string_view caption, DialogButtons buttons,
                           DialogIcon icon) override;

  void QueueAnswer(DialogAnswer a) { answers_.push_back(a); }
  const std::vector<ShownBox>& Shown() const { return shown_; }

 private:
  DialogAnswer default_answer_;
  std::vector<DialogAnswer> answers_;
  std::vector<ShownBox> shown_;
};

}  // namespace ferry
