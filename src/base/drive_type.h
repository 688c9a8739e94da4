// The type of a drive, numbered as Windows numbers them (DRIVE_UNKNOWN to
// DRIVE_RAMDISK): the wizard's rules and the system query share it.
#pragma once

#include <cstdint>

namespace ferry {

// Drive types as Windows reports them for a root such as "C:\".
enum class DriveType : uint8_t {
  kUnknown = 0,
  kNoRootDir = 1,
  kRemovable = 2,
  kFixed = 3,
  kRemote = 4,
  kCdRom = 5,
  kRamDisk = 6,
};

}  // namespace ferry
