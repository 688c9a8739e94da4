#include "platform/drive_info.h"

namespace ferry {

DriveType WinDriveInfo::GetDriveType(const std::string& root) { return DriveTypeOf(root); }

int64_t WinDriveInfo::DiskFree(int drive) {
  if (drive < 1 || drive > 26) return -1;
  std::string root = {static_cast<char>('A' + drive - 1), ':', '\\'};
  std::optional<uint64_t> free = FreeDiskBytes(root);
  // Beyond the signed range cannot happen on a real drive; keep the
  // comparison with the space required meaningful anyway.
  if (!free) return -1;
  return *free > static_cast<uint64_t>(INT64_MAX) ? INT64_MAX : static_cast<int64_t>(*free);
}

bool WinDriveInfo::DirectoryExists(const std::string& path) { return ferry::DirectoryExists(path); }

}  // namespace ferry
