#include <windows.h>
// RtlGenRandom is advapi32's SystemFunction036; ntsecapi.h declares it.
#include <ntsecapi.h>

#include <cstdint>

#include "base/random_name.h"
#include "base/setup_error.h"

namespace ferry {

std::string RandomNameToken() {
  uint8_t bytes[8];
  if (!RtlGenRandom(bytes, sizeof bytes)) throw SetupError("The system gave no random bytes for a file name.");
  static constexpr char kHex[] = "0123456789abcdef";
  std::string out;
  for (uint8_t b : bytes) {
    out += kHex[b >> 4];
    out += kHex[b & 15];
  }
  return out;
}

}  // namespace ferry
