#include "base/dialogs.h"

#include "base/text.h"

namespace ferry {

DialogAnswer RecordingDialogs::Show(std::string_view text, std::string_view caption, DialogButtons buttons,
                                    DialogIcon icon) {
  return ShowUnicode(CodePageToUtf16(text), CodePageToUtf16(caption), buttons, icon);
}

DialogAnswer RecordingDialogs::ShowUnicode(std::u16string_view text, std::u16string_view caption,
                                           DialogButtons buttons, DialogIcon icon) {
  shown_.push_back({std::u16string(text), std::u16string(caption), buttons});
  if (answers_.empty()) return default_answer_;
  DialogAnswer a = answers_.front();
  answers_.erase(answers_.begin());
  return a;
}

}  // namespace ferry
