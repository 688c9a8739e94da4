// Writes a compiled setup back as script text: the setting lines that give
// its setup information, its command lines with labels at every jump target,
// and one directive per group-0 file.
//
// Script line n is compiled line n - 1, so every compiled line keeps its
// place: commands stay where they are, labels go on the lines their jumps
// name ("line12:" for line 12), and settings and directives fill the other
// lines that do nothing. Compiled again with the files laid out as `files`
// says (ferryc extract does this), the script gives the same bytes. Where a
// setup cannot be written back exactly (it was not made by ferryc, or is
// damaged), `notes` says why.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "formats/pak/pak_reader.h"
#include "formats/setup/comp_lines.h"
#include "formats/setup/product_info.h"
#include "formats/setup/setup_info.h"

namespace ferry::tool {

struct WriteBackFile {
  size_t EntryIndex;    // into the archive directory
  std::string RelPath;  // where the script expects it, relative to the script, backslashes
};

struct WriteBack {
  std::vector<std::string> Lines;  // the script, one entry per line
  std::vector<WriteBackFile> Files;
  std::vector<std::string> Notes;

  std::string Text() const;  // lines joined with CR LF
};

// Folders the write-back puts group-0 files and language tables in.
inline constexpr char kDataFolder[] = "setup-data";
inline constexpr char kLanguageFolder[] = "languages";

// `product` is what the "ProductInfo" entry says (empty when there is none),
// nullopt when the entry is damaged; `zstd`: entries are zstd frames;
// `baseText`: what the "DeltaBase" entry says (the "@base" line), or empty.
WriteBack WriteBackScript(const SetupInfoRecord& info, const CompLineList& lines, const std::vector<PakFile>& directory,
                          const std::optional<ProductInformation>& product = ProductInformation{},
                          bool zstd = false, const std::string& baseText = {});

}  // namespace ferry::tool
