#include "formats/setup/text_macros.h"

#include "base/text.h"
#include "base/text_replace.h"

namespace ferry {

void TextMacroTable::AddMacro(std::string_view key, const std::string& value) {
  items_.push_back({AsciiLowerCopy(key), &value});
}

std::u16string ApplyTextMacros(const TextMacroTable& macros, std::u16string_view text) {
  std::u16string out(text);
  for (const TextMacroBinding& item : macros.Items()) {
    if (!item.ValueRef) continue;
    out = ReplaceAll(out, CodePageToUtf16(item.Key), CodePageToUtf16(*item.ValueRef));
  }
  return out;
}

void BindTextMacros(TextMacroTable& macros, const SetupInfoRecord& info, const std::string& spaceRequiredText,
                    const std::string& spaceAvailableText) {
  macros.AddMacro("<%SETUPTITLE%>", info.SetupTitle);
  macros.AddMacro("<%SETUPSHORTTITLE%>", info.ShortTitle);
  macros.AddMacro("<%CHANGELOG%>", info.ChangelogName);
  macros.AddMacro("<%SPACEREQ%>", spaceRequiredText);
  macros.AddMacro("<%SPACEAVA%>", spaceAvailableText);
}

}  // namespace ferry
