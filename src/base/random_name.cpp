#include "base/random_name.h"

#include "base/setup_error.h"

namespace ferry {

std::string RandomNameToken() {
  uint8_t bytes[8];
  if (!SystemRandomBytes(bytes)) throw SetupError("The system gave no random bytes for a file name.");
  static constexpr char kHex[] = "0123456789abcdef";
  std::string out;
  for (uint8_t b : bytes) {
    out += kHex[b >> 4];
    out += kHex[b & 15];
  }
  return out;
}

std::string RandomScratchPath(const std::string& folder) {
  std::string path = folder;
  if (!path.empty() && path.back() != '\\') path += '\\';
  return path + kScratchPrefix + RandomNameToken() + kScratchSuffix;
}

}  // namespace ferry
