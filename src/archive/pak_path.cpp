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

std::string PakAnsiLower(std::string_view s) {
  std::string out(s);
  for (char& ch : out) {
    auto c = static_cast<unsigned char>(ch);
    if (c >= 'A' && c <= 'Z') {
      c = static_cast<unsigned char>(c + 32);
    } else if (c >= 0xC0 && c <= 0xDE && c != 0xD7) {
      c = static_cast<unsigned char>(c + 32);
    } else if (c == 0x8A || c == 0x8C || c == 0x8E) {
      c = static_cast<unsigned char>(c + 16);
    } else if (c == 0x9F) {
      c = 0xFF;
    }
    ch = static_cast<char>(c);
  }
  return out;
}

}  // namespace ferry
