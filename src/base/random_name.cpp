#include "base/random_name.h"

namespace ferry {

std::string RandomScratchPath(const std::string& folder) {
  std::string path = folder;
  if (!path.empty() && path.back() != '\\') path += '\\';
  return path + kScratchPrefix + RandomNameToken() + kScratchSuffix;
}

}  // namespace ferry
