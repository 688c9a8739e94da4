// The compile-time directives: lines starting with '@' that add a file of the
// setup's own data (group 0) under a name the setup looks for.
//
//   @data FILE [ENTRY]       any file, under ENTRY or its own file name
//   @layout FILE [ENTRY]     a page layout
//   @pages FILE              the page list, carried as "Pages.txt"
//   @image FILE [ENTRY]      a picture for layouts: .bmp .jpg .jpeg .ico .emf .wmf
//   @changelog FILE [ENTRY]  the rich-text change log ("changelog" names it)
//   @uninstall FILE [ENTRY]  uninstaller material, carried as "UNINSTALL_" + ENTRY
//   @icon FILE               the uninstaller's icon, "UNINSTALL_ICON.ICO"
//   @finaliser FILE          the program an uninstall ends with, "UNINSTALL_FINALISE.EXE"
//
// Entries whose names end in ".txt" get CR LF line ends.
//
// Three directives take a text instead of a file and describe the product;
// they go into the "ProductInfo" record and the setup's version resource:
//   @version TEXT            the product's version, starting with numbers: 1.2, 1.2.3.4 beta
//   @publisher TEXT          who makes it
//   @helpurl URL             where to read about it
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "formats/setup/product_info.h"

namespace ferry::tool {

enum class DirectiveCheck { kNone, kImage, kIcon, kProgram };

struct DirectiveForm {
  const char* Name;        // without '@'
  int MinParams;
  int MaxParams;
  const char* FixedEntry;  // the entry name, or nullptr: ENTRY or the file's own name
  const char* Prefix;      // put before the entry name
  DirectiveCheck Check;
  const char* Usage;       // for messages
};

const std::vector<DirectiveForm>& Directives();
const DirectiveForm* FindDirective(std::string_view name);

// The entry name a directive gives, after the checks of its kind; nullopt
// with `problem` set when the name or the data is not acceptable.
std::optional<std::string> DirectiveEntryName(const DirectiveForm& form, const std::string& baseName,
                                              const std::vector<uint8_t>& data, std::string& problem);

struct ProductDirective {
  const char* Name;  // without '@'
  std::string ProductInformation::*Field;
};
const ProductDirective* FindProductDirective(std::string_view name);

bool EndsWithNoCase(std::string_view s, std::string_view suffix);

}  // namespace ferry::tool
