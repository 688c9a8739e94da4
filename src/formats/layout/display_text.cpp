#include "formats/layout/display_text.h"

#include "base/text_replace.h"

namespace ferry {

std::u16string ResolveDisplayText(const LanguageList& languages, const TextMacroTable& macros,
                                  std::u16string_view raw) {
  std::u16string text = languages.ResolveLangRefs(raw);
  text = ReplaceAll(text, u"<BR>", u"\r");
  return ApplyTextMacros(macros, text);
}

}  // namespace ferry
