// The wizard's drive queries answered by Windows: drive types, free space
// and folders, for the interactive and the silent run alike.
#pragma once

#include <windows.h>
// The Windows macro of that name would rename the wizard's query wherever
// <windows.h> comes in; the system's call is GetDriveTypeW.
#undef GetDriveType

#include "platform/files.h"
#include "wizard/drive_info.h"

namespace ferry {

class WinDriveInfo : public DriveInfo {
 public:
  DriveType GetDriveType(const std::string& root) override;
  int64_t DiskFree(int drive) override;
  bool DirectoryExists(const std::string& path) override;
};

}  // namespace ferry
