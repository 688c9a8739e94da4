// Checks of what a script writes that the setup would only find wrong while
// it runs: path variables, registry roots and language references. Each adds
// its findings to `out`, naming `file` and `line`.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "formats/languages/languages.h"
#include "script_compiler.h"

namespace ferry::tool {

// The name of `names` nearest to `word` (ASCII case ignored) when it is near
// enough to be a slip of the keyboard; empty otherwise.
std::string NearestName(std::string_view word, const std::vector<std::string_view>& names);

// "$" and letters that begin no path variable: an error. A variable directly
// followed by more letters or digits: a warning, since the setup expands the
// variable and keeps the rest. "$$" is a dollar sign.
void CheckPathVariables(std::string_view text, const std::string& file, int line, std::vector<Diagnostic>& out);

// A registry root the setup does not know (it reads any other text as HKLM).
void CheckRegistryRoot(std::string_view root, const std::string& file, int line, std::vector<Diagnostic>& out);

struct LanguageTable {
  std::string Name;  // as the script names it
  LanguageTexts Table;
  int Line = 0;  // its "language" or "uninstalllanguage" line
};

// Each "<LANGn>" of text must be a text of every table. `line` counts from
// `firstLine` at each line end of text.
void CheckLangRefs(std::string_view text, const std::vector<LanguageTable>& tables, const std::string& file,
                   int firstLine, std::vector<Diagnostic>& out);

// Each table must hold every text the setup asks for by number itself
// (buttons, status lines, the failure message): one error per missing
// number, on the table's line.
void CheckProgramTexts(const std::vector<LanguageTable>& tables, const std::string& file,
                       std::vector<Diagnostic>& out);

}  // namespace ferry::tool
