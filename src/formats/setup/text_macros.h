// Text macros of language texts ("<%SETUPTITLE%>", ...), bound to live
// values: the value is read each time a text is shown, so a later change
// (the space figures on the ready page) shows in the next resolution.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "formats/setup/setup_info.h"

namespace ferry {

struct TextMacroBinding {
  std::string Key;                     // as written in texts, stored lower-cased
  const std::string* ValueRef = nullptr;  // the variable holding the current value
};

class TextMacroTable {
 public:
  // The value must outlive this table.
  void AddMacro(std::string_view key, const std::string& value);
  const std::vector<TextMacroBinding>& Items() const { return items_; }
  void Clear() { items_.clear(); }

 private:
  std::vector<TextMacroBinding> items_;
};

// Applies every macro in registration order with ReplaceAll; values are
// 8-bit text of the system code page.
std::u16string ApplyTextMacros(const TextMacroTable& macros, std::u16string_view text);

// Binds the five macros of the setup: "<%SETUPTITLE%>", "<%SETUPSHORTTITLE%>",
// "<%CHANGELOG%>" to the record's fields, "<%SPACEREQ%>" and "<%SPACEAVA%>"
// to the two space texts.
void BindTextMacros(TextMacroTable& macros, const SetupInfoRecord& info, const std::string& spaceRequiredText,
                    const std::string& spaceAvailableText);

}  // namespace ferry
