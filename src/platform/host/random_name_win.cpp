#include <windows.h>
// RtlGenRandom is advapi32's SystemFunction036; ntsecapi.h declares it.
#include <ntsecapi.h>

#include "base/random_name.h"

namespace ferry {

bool SystemRandomBytes(std::span<uint8_t> out) {
  return RtlGenRandom(out.data(), static_cast<ULONG>(out.size())) != FALSE;
}

}  // namespace ferry
