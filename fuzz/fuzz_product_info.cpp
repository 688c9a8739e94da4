// Product information record from untrusted bytes: parsing never reads
// outside the data, and what was parsed writes back and parses the same.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "formats/setup/product_info.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::optional<ferry::ProductInformation> info = ferry::ReadProductInfo({data, size});
  if (info && ferry::ReadProductInfo(ferry::WriteProductInfo(*info)) != info) std::abort();
  return 0;
}
