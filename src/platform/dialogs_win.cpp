#include "platform/dialogs_win.h"

#include "base/text.h"
#include "platform/win_text.h"

namespace ferry {

namespace {

UINT Style(DialogButtons buttons, DialogIcon icon) {
  UINT style = MB_OK;
  switch (buttons) {
    case DialogButtons::kOk: style = MB_OK; break;
    case DialogButtons::kOkCancel: style = MB_OKCANCEL; break;
    case DialogButtons::kRetryCancel: style = MB_RETRYCANCEL; break;
    case DialogButtons::kYesNo: style = MB_YESNO; break;
    case DialogButtons::kCancelTryContinue: style = MB_CANCELTRYCONTINUE; break;
  }
  switch (icon) {
    case DialogIcon::kNone: break;
    case DialogIcon::kInformation: style |= MB_ICONINFORMATION; break;
    case DialogIcon::kQuestion: style |= MB_ICONQUESTION; break;
    case DialogIcon::kWarning: style |= MB_ICONWARNING; break;
    case DialogIcon::kError: style |= MB_ICONERROR; break;
  }
  return style;
}

// A box that could not be shown (no display) answers like the silent mode.
DialogAnswer Answer(int rc, DialogButtons buttons) {
  switch (rc) {
    case IDOK: return DialogAnswer::kOk;
    case IDCANCEL: return DialogAnswer::kCancel;
    case IDRETRY:
    case IDTRYAGAIN: return DialogAnswer::kRetry;
    case IDCONTINUE: return DialogAnswer::kContinue;
    case IDYES: return DialogAnswer::kYes;
    case IDNO: return DialogAnswer::kNo;
    default: return SilentDialogs::DefaultAnswer(buttons);
  }
}

}  // namespace

DialogAnswer WinDialogs::Show(std::string_view text, std::string_view caption, DialogButtons buttons,
                              DialogIcon icon) {
  std::string t(text), c(caption);
  return Answer(MessageBoxA(owner_, t.c_str(), c.c_str(), Style(buttons, icon)), buttons);
}

DialogAnswer WinDialogs::ShowUnicode(std::u16string_view text, std::u16string_view caption,
                                     DialogButtons buttons, DialogIcon icon) {
  std::wstring t = U16ToWide(text), c = U16ToWide(caption);
  return Answer(MessageBoxW(owner_, t.c_str(), c.c_str(), Style(buttons, icon)), buttons);
}

DialogAnswer SilentDialogs::DefaultAnswer(DialogButtons buttons) {
  switch (buttons) {
    case DialogButtons::kOk:
    case DialogButtons::kOkCancel: return DialogAnswer::kOk;
    case DialogButtons::kRetryCancel:
    case DialogButtons::kCancelTryContinue: return DialogAnswer::kCancel;
    case DialogButtons::kYesNo: return DialogAnswer::kYes;
  }
  return DialogAnswer::kOk;
}

// A question's answer is logged too, so the log tells what the run decided.
DialogAnswer SilentDialogs::Answered(DialogButtons buttons) {
  DialogAnswer a = DefaultAnswer(buttons);
  if (buttons != DialogButtons::kOk) log_.Line(std::string("(answered ") + AnswerName(a) + ")");
  return a;
}

const char* SilentDialogs::AnswerName(DialogAnswer a) {
  switch (a) {
    case DialogAnswer::kOk: return "OK";
    case DialogAnswer::kCancel: return "Cancel";
    case DialogAnswer::kRetry: return "Retry";
    case DialogAnswer::kYes: return "Yes";
    case DialogAnswer::kNo: return "No";
    case DialogAnswer::kContinue: return "Continue";
  }
  return "?";
}

DialogAnswer SilentDialogs::Show(std::string_view text, std::string_view caption, DialogButtons buttons,
                                 DialogIcon icon) {
  log_.Message(AnsiToUtf8(caption), AnsiToUtf8(text));
  return Answered(buttons);
}

DialogAnswer SilentDialogs::ShowUnicode(std::u16string_view text, std::u16string_view caption,
                                        DialogButtons buttons, DialogIcon icon) {
  log_.Message(Utf16ToUtf8(caption), Utf16ToUtf8(text));
  return Answered(buttons);
}

}  // namespace ferry
