// Versions from untrusted text (a registration's DisplayVersion, a script's
// "patchfor"): comparing is a total order on what it reads, and a range
// parsed contains both its ends.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "engine/product_version.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const size_t cut = text.find('\n');
  const std::string_view a = text.substr(0, cut);
  const std::string_view b = cut == std::string_view::npos ? std::string_view() : text.substr(cut + 1);
  const int ab = ferry::CompareVersions(a, b), ba = ferry::CompareVersions(b, a);
  if ((ab > 0) != (ba < 0) || (ab == 0) != (ba == 0) || ferry::CompareVersions(a, a) != 0) std::abort();
  if (std::optional<ferry::VersionRange> range = ferry::ParseVersionRange(a)) {
    if (!range->Contains(range->From) || !range->Contains(range->To)) std::abort();
  }
  return 0;
}
