#include "formats/setup/carried_uninstaller.h"

#include <gtest/gtest.h>

namespace ferry {
namespace {

TEST(CarriedUninstaller, TheSideFileTakesTheUninstallersNameWithDat) {
  const struct {
    const char* uninstaller;
    const char* side;
  } cases[] = {
      {"C:\\App\\FST_Uninstall.exe", "C:\\App\\FST_Uninstall.dat"},
      {"C:\\App\\a.b.EXE", "C:\\App\\a.b.dat"},
      {"C:\\App.v2\\uninstall", "C:\\App.v2\\uninstall.dat"},  // a dot in the folder is no extension
      {"C:\\App\\.hidden", "C:\\App\\.hidden.dat"},
      {"/opt/app/un.exe", "/opt/app/un.dat"},
      {"un.exe", "un.dat"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(UninstallSideFilePath(c.uninstaller), c.side) << c.uninstaller;
    EXPECT_EQ(UninstallSideFileOf(SystemPath(c.uninstaller)), SystemPath(c.side)) << c.uninstaller;
  }
}

}  // namespace
}  // namespace ferry
