// Layout files are untrusted archive entries: any bytes must parse into
// controls or raise SetupError, never crash or read out of bounds.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "base/setup_error.h"
#include "formats/setup/text_macros.h"
#include "formats/languages/languages.h"
#include "formats/layout/layout_file.h"

namespace {

struct Fixture {
  ferry::LanguageList languages;
  ferry::TextMacroTable macros;
  std::string title = "Fuzz <%SETUPTITLE%> <LANG1>";
  Fixture() {
    auto lang = std::make_unique<ferry::LanguageTexts>();
    lang->Items.push_back({1, u"one <LANG2><BR>"});
    lang->Items.push_back({2, u"two <%SETUPTITLE%>"});
    languages.Languages.push_back(std::move(lang));
    languages.Current = 0;
    macros.AddMacro("<%SETUPTITLE%>", title);
  }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static Fixture fixture;
  ferry::LayoutEnv env;
  env.MissingEntry = [](const std::string&, const std::string&) {};  // the missing-file path runs too
  env.Languages = &fixture.languages;
  env.Macros = &fixture.macros;
  // Every entry a layout names exists except "missing*", so images and rich
  // edits load (and the missing-file path runs too).
  env.LoadEntry = [](std::string_view name) -> std::optional<std::vector<uint8_t>> {
    if (name.substr(0, 7) == "missing") return std::nullopt;
    return std::vector<uint8_t>(name.begin(), name.end());
  };
  ferry::ControlParser parser(env);
  try {
    parser.LoadLayoutData(std::span(data, size));
  } catch (const ferry::SetupError&) {
  }
  parser.HideAll();
  parser.ShowAll();
  try {
    parser.RefreshTexts();
  } catch (const ferry::SetupError&) {
  }
  return 0;
}
