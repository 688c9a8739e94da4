#include "platform/drive_info.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "platform/files.h"
#include "platform/temp_dir.h"

namespace ferry {
namespace {

// A drive letter the system does not list, or 0 when all are taken.
char MissingDriveLetter() {
  std::vector<std::string> roots = LogicalDriveRoots();
  for (char c = 'Z'; c >= 'D'; --c)
    if (std::none_of(roots.begin(), roots.end(), [c](const std::string& r) { return r[0] == c; })) return c;
  return 0;
}

TEST(WinDriveInfo, DriveTypesDecideWhereAnInstallMayGo) {
  WinDriveInfo drives;
  DriveInfo& asked = drives;  // as the wizard calls it
  EXPECT_EQ(asked.GetDriveType("C:\\"), DriveType::kFixed);
  EXPECT_TRUE(DriveTakesInstall(asked.GetDriveType("C:\\")));
  char missing = MissingDriveLetter();
  ASSERT_NE(missing, 0);
  DriveType none = asked.GetDriveType(std::string{missing, ':', '\\'});
  EXPECT_FALSE(DriveTakesInstall(none)) << "drive " << missing << ": has type " << static_cast<int>(none);
  // What the model passes for a short edit text: not a drive root at all.
  EXPECT_FALSE(DriveTakesInstall(asked.GetDriveType("C")));
}

TEST(WinDriveInfo, FreeSpaceByDriveNumber) {
  WinDriveInfo drives;
  int64_t c = drives.DiskFree(3);
  EXPECT_GT(c, 0);
  std::optional<uint64_t> direct = FreeDiskBytes("C:\\");
  ASSERT_TRUE(direct.has_value());
  // Other tests write meanwhile: the same drive, not the same byte.
  EXPECT_NEAR(static_cast<double>(c), static_cast<double>(*direct), 256.0 * 1024 * 1024);
  // Numbers outside A..Z and drives that are not there read as -1.
  EXPECT_EQ(drives.DiskFree(0), -1);
  EXPECT_EQ(drives.DiskFree(-3), -1);
  EXPECT_EQ(drives.DiskFree(27), -1);
  char missing = MissingDriveLetter();
  ASSERT_NE(missing, 0);
  EXPECT_EQ(drives.DiskFree(missing - 'A' + 1), -1);
}

TEST(WinDriveInfo, FoldersAreNotFiles) {
  testing::TempDir tmp("driveinfo");
  WinDriveInfo drives;
  EXPECT_TRUE(drives.DirectoryExists(tmp.path()));
  std::string file = tmp.path() + "plain.txt";
  std::vector<uint8_t> one = {'x'};
  ASSERT_TRUE(WriteFileCreatingDirs(file, one, {}));
  EXPECT_FALSE(drives.DirectoryExists(file));
  EXPECT_FALSE(drives.DirectoryExists(tmp.path() + "absent\\"));
}

}  // namespace
}  // namespace ferry
