// Language files from untrusted bytes: a file either loads or raises
// SetupError; every loaded text then goes through the display resolution
// (references, "<BR>", macros), which must end or raise SetupError.
#include <cstddef>
#include <cstdint>
#include <string>

#include "base/setup_error.h"
#include "formats/setup/text_macros.h"
#include "formats/layout/display_text.h"
#include "formats/languages/languages.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  ferry::LanguageList languages;
  try {
    languages.AddLanguage(data, size);
  } catch (const ferry::SetupError&) {
    return 0;
  }
  languages.SelectLanguage(0x0409);
  static const std::string title = "<%SETUPTITLE%> title";
  ferry::TextMacroTable macros;
  macros.AddMacro("<%SETUPTITLE%>", title);
  for (const ferry::LanguageText& item : languages.Languages[0]->Items) {
    try {
      ferry::ResolveDisplayText(languages, macros, item.Text);
    } catch (const ferry::SetupError&) {
    }
  }
  return 0;
}
