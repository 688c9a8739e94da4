// The uninstaller's reading of an install log from disk: the strict check of
// the log, then every registry record split into its fields.
#include <cstddef>
#include <cstdint>
#include <span>

#include "formats/install_log/uninstall_list.h"
#include "engine/path_safety.h"
#include "formats/install_log/registry_record.h"
#include "engine/uninstall/uninstall_work.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::span<const uint8_t> bytes(data, size);
  bool sound = !ferry::CheckInstallLog(bytes);
  ferry::UninstallList list;
  list.LoadFromBuffer(bytes);
  // A log the check passes loads whole and saves back to the same bytes.
  if (sound && list.SaveToBuffer() != std::vector<uint8_t>(data, data + size)) __builtin_trap();
  for (const std::string& record : list.RegistryEntries()) {
    auto r = ferry::SplitRegistryRecord(record);
    if (r && r->Key.empty()) __builtin_trap();
  }
  // A recorded path that passes names no drive root and has no "." or ".." step.
  for (const std::string& path : list.Files()) {
    if (!ferry::IsBelowDriveRoot(path)) continue;
    std::string name;
    bool named = false;
    for (size_t i = 3; i <= path.size(); ++i) {
      if (i == path.size() || path[i] == '\\' || path[i] == '/') {
        if (name == "." || name == "..") __builtin_trap();
        named = named || !name.empty();
        name.clear();
      } else {
        name += path[i];
      }
    }
    if (!named) __builtin_trap();
  }
  return 0;
}
