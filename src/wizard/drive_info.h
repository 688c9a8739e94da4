// What the wizard asks of the drives when it checks an install folder.
// The Windows implementation is platform/drive_info.h; tests use fakes.
#pragma once

#include <cstdint>
#include <string>

#include "base/drive_type.h"

// Where <windows.h> came first, its GetDriveType macro would rename the query.
#undef GetDriveType

namespace ferry {

// Whether an install can go to a drive of this type: not to an unknown
// type, a path without root directory, a CD-ROM or a RAM disk.
bool DriveTakesInstall(DriveType type);

class DriveInfo {
 public:
  virtual ~DriveInfo() = default;
  virtual DriveType GetDriveType(const std::string& root) = 0;
  // Free bytes of drive number `drive` (1 = A:, 3 = C:); -1 when the drive
  // cannot be read.
  virtual int64_t DiskFree(int drive) = 0;
  virtual bool DirectoryExists(const std::string& path) = 0;
};

}  // namespace ferry
