// In-memory archive entries and language tables for the wizard tests.
#pragma once

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "base/text.h"
#include "formats/languages/languages.h"
#include "formats/layout/layout_file.h"

namespace ferry::testing {

// Group-0 entries by name, looked up without case like the archive does.
class EntryMap {
 public:
  void Add(std::string name, std::string_view text) {
    entries_[AsciiLowerCopy(name)] = std::vector<uint8_t>(text.begin(), text.end());
  }
  std::optional<std::vector<uint8_t>> Load(std::string_view name) const {
    auto it = entries_.find(AsciiLowerCopy(name));
    if (it == entries_.end()) return std::nullopt;
    return it->second;
  }
  EntryLoader Loader() const {
    return [this](std::string_view name) { return Load(name); };
  }

 private:
  std::map<std::string, std::vector<uint8_t>> entries_;
};

inline std::unique_ptr<LanguageTexts> MakeLanguage(std::u16string name,
                                               std::vector<std::pair<uint16_t, std::u16string>> texts) {
  auto lang = std::make_unique<LanguageTexts>();
  lang->Name = std::move(name);
  for (auto& [n, t] : texts) lang->Items.push_back({n, t});
  return lang;
}

// The button and prompt texts of an English table, and a second language.
inline void AddStandardLanguages(LanguageList& languages, bool second = true) {
  languages.Languages.push_back(MakeLanguage(
      u"English", {{1, u"Welcome to <%SETUPTITLE%>"},
                   {7, u"Space available <%SPACEAVA%>"},
                   {12, u"< Back"},
                   {13, u"Next >"},
                   {14, u"Cancel"},
                   {15, u"Patch"},
                   {16, u"Finish"},
                   {26, u"Uninstall"},
                   {27, u"Are you sure you want to quit the patch?"},
                   {28, u"Quit"}}));
  if (second)
    languages.Languages.push_back(MakeLanguage(u"Deutsch", {{1, u"Willkommen"},
                                                            {7, u"Frei <%SPACEAVA%>"},
                                                            {12, u"< Zur\u00FCck"},
                                                            {13, u"Weiter >"},
                                                            {14, u"Abbrechen"},
                                                            {15, u"Patchen"},
                                                            {16, u"Fertig"},
                                                            {27, u"Wirklich beenden?"},
                                                            {28, u"Beenden"}}));
  languages.Current = 0;
}

}  // namespace ferry::testing
