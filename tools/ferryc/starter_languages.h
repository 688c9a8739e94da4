// The language tables `ferryc new` writes: every text the starter's pages,
// its uninstaller and the setup itself show, in ten languages. The first is
// the one a setup falls back to.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

namespace ferry::tool {

struct StarterLanguage {
  std::string_view File;   // languages\FILE.wri, named by the script's "language FILE"
  std::string_view Table;  // UTF-8: the name, the language ids, then "n text" lines
};

std::span<const StarterLanguage> StarterLanguages();

// A table as the setup reads it: UTF-16LE with a byte-order mark and CR LF
// line ends.
std::vector<uint8_t> LanguageTableBytes(std::string_view utf8);

}  // namespace ferry::tool
