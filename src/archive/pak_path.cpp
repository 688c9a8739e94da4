#include "archive/pak_path.h"

#include <algorithm>

#include "base/text.h"

namespace ferry {

std::filesystem::path PakNativePath(const std::string& ansi, bool foldSeparators) {
#ifdef _WIN32
  (void)foldSeparators;
  // Handed over as wide characters: the path class's own conversions of
  // narrow and UTF-16 text do not read the system code page.
  const std::u16string wide = CodePageToUtf16(ansi);
  return std::filesystem::path(std::wstring(wide.begin(), wide.end()));
#else
  if (!foldSeparators) return std::filesystem::path(ansi);
  std::string s = ansi;
  std::replace(s.begin(), s.end(), '\\', '/');
  return std::filesystem::path(s);
#endif
}

}  // namespace ferry
