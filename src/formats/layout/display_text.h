// Text resolution of every caption taken from a layout.
#pragma once

#include <string>
#include <string_view>

#include "formats/setup/text_macros.h"
#include "formats/languages/languages.h"

namespace ferry {

// ResolveLangRefs, then every "<BR>" (any case) to one CR, then the text
// macros. References go first so "<BR>" and macros inside table texts
// resolve too.
std::u16string ResolveDisplayText(const LanguageList& languages, const TextMacroTable& macros,
                                  std::u16string_view raw);

}  // namespace ferry
