// Setup information record from untrusted bytes: parsing never reads outside
// the data, and what was parsed writes back and parses to the same record.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "formats/setup/setup_info.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  ferry::SetupInfoFile info;
  info.ReadFromBuffer(data, size);
  ferry::SetupInfoFile again;
  again.ReadFromBuffer(info.WriteToBuffer());
  if (!(again.Info() == info.Info())) std::abort();
  return 0;
}
