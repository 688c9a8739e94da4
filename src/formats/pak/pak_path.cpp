#include "formats/pak/pak_path.h"

#include <algorithm>

#include "base/system_path.h"
#include "base/text.h"

namespace ferry {

std::filesystem::path PakNativePath(const std::string& ansi, bool foldSeparators) {
#ifdef _WIN32
  (void)foldSeparators;
  return SystemPath(ansi);
#else
  if (!foldSeparators) return std::filesystem::path(ansi);
  std::string s = ansi;
  std::replace(s.begin(), s.end(), '\\', '/');
  return std::filesystem::path(s);
#endif
}

}  // namespace ferry
