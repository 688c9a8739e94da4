#include "core/path_safety.h"

#include <gtest/gtest.h>

namespace ferry {
namespace {

TEST(IsBelowDriveRoot, NamesBelowADriveRootOnly) {
  EXPECT_TRUE(IsBelowDriveRoot("C:\\Game\\a.txt"));
  EXPECT_TRUE(IsBelowDriveRoot("d:\\x"));
  EXPECT_TRUE(IsBelowDriveRoot("C:/Game/cache/"));
  EXPECT_TRUE(IsBelowDriveRoot("C:\\Game\\v1.2\\.hidden"));
  EXPECT_TRUE(IsBelowDriveRoot("C:\\Game\\ leading blank"));

  EXPECT_FALSE(IsBelowDriveRoot(""));
  EXPECT_FALSE(IsBelowDriveRoot("C:\\"));
  EXPECT_FALSE(IsBelowDriveRoot("C:\\\\\\"));
  EXPECT_FALSE(IsBelowDriveRoot("C:a.txt"));
  EXPECT_FALSE(IsBelowDriveRoot("$INSTDIR\\a.txt"));
  EXPECT_FALSE(IsBelowDriveRoot("\\\\server\\share\\x"));
  EXPECT_FALSE(IsBelowDriveRoot("1:\\x"));
  EXPECT_FALSE(IsBelowDriveRoot("C:\\Game\\*"));
  EXPECT_FALSE(IsBelowDriveRoot("C:\\Game\\a?.txt"));
  EXPECT_FALSE(IsBelowDriveRoot("C:\\Game\\a.txt:stream"));
}

TEST(IsBelowDriveRoot, NoStepThatWindowsCutsToNothing) {
  // Each of these names the drive or a folder above the one written.
  for (const char* path : {"C:\\.", "C:\\.\\", "C:\\...", "C:\\ .", "C:\\. ", "C:\\Game\\..", "C:\\Game\\..\\x",
                           "C:\\Game\\.\\x", "C:\\Game\\...\\x", "C:/Game/../x"})
    EXPECT_FALSE(IsBelowDriveRoot(path)) << path;
}

TEST(StaysBelow, RelativeFoldersThatCannotClimb) {
  EXPECT_TRUE(StaysBelow(""));
  EXPECT_TRUE(StaysBelow("extras\\"));
  EXPECT_TRUE(StaysBelow("a\\b\\c"));
  EXPECT_TRUE(StaysBelow(".\\extras"));
  EXPECT_TRUE(StaysBelow("v1.2\\"));

  EXPECT_FALSE(StaysBelow("\\windows"));
  EXPECT_FALSE(StaysBelow("/etc"));
  EXPECT_FALSE(StaysBelow("C:\\x"));
  EXPECT_FALSE(StaysBelow("C:x"));
  EXPECT_FALSE(StaysBelow("a:stream"));
  EXPECT_FALSE(StaysBelow(".."));
  EXPECT_FALSE(StaysBelow("a\\..\\..\\b"));
  EXPECT_FALSE(StaysBelow("a\\...\\b"));
  EXPECT_FALSE(StaysBelow("a/../b"));
}

}  // namespace
}  // namespace ferry
