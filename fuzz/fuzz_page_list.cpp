// The page list and the layouts it names are untrusted archive entries. The
// input serves as the page list and as every layout it names, so section
// handling, page types, settings and page building all see fuzzed bytes.
// Start-up's quick look for a page type must agree with the page set.
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "base/setup_error.h"
#include "formats/languages/languages.h"
#include "formats/layout/page_list.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const ferry::LanguageList languages;
  std::vector<uint8_t> bytes(data, data + size);
  ferry::LayoutEnv env;
  env.MissingEntry = [](const std::string&, const std::string&) {};  // the missing-file path runs too
  env.Languages = &languages;
  env.LoadEntry = [&bytes](std::string_view name) -> std::optional<std::vector<uint8_t>> {
    if (name.size() % 3 == 0) return std::nullopt;  // some pages miss their layout
    return bytes;
  };
  ferry::WizardButtons buttons;
  ferry::PageList pages(env, buttons);
  bool loaded = true;
  try {
    pages.LoadPageSetData(std::span(data, size));
  } catch (const ferry::SetupError&) {
    loaded = false;
  }
  if (loaded) {
    bool scope = false;
    for (size_t i = 0; i < pages.PageCount(); ++i) scope = scope || pages.Page(i).PageType == ferry::PageKind::Scope;
    if (scope != ferry::PageListHasType(std::span(data, size), ferry::PageKind::Scope)) __builtin_trap();
  }
  // Walk the pages as Next and Back would.
  for (int32_t i = -1; i <= static_cast<int32_t>(pages.PageCount()); ++i) pages.ShowPage(i);
  for (const ferry::ControlRef& ref : pages.ZOrder())
    if (!pages.Control(ref)) __builtin_trap();
  pages.RefreshTexts();
  return 0;
}
