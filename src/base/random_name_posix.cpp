#include <sys/random.h>

#include "base/random_name.h"

namespace ferry {

bool SystemRandomBytes(std::span<uint8_t> out) {
  return getrandom(out.data(), out.size(), 0) == static_cast<ssize_t>(out.size());
}

}  // namespace ferry
