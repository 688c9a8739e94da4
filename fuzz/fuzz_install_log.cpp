// Install logs from untrusted bytes: bounded allocation, no read outside the
// data, and a stable round trip of whatever was loaded.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>

#include "formats/install_log/uninstall_list.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  ferry::UninstallList log;
  log.LoadFromBuffer(std::span<const uint8_t>(data, size));
  size_t strings = log.Files().size() + log.RegistryEntries().size() + log.Directories().size();
  if (strings > size / 2) std::abort();

  ferry::UninstallList again;
  again.LoadFromBuffer(log.SaveToBuffer());
  if (again.Files() != log.Files() || again.RegistryEntries() != log.RegistryEntries() ||
      again.Directories() != log.Directories())
    std::abort();
  return 0;
}
