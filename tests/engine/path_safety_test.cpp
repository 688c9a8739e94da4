#include "engine/path_safety.h"

#include <gtest/gtest.h>

#include <string>

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

TEST(IsDriveRoot, RootsOfDrivesAndSharesWithNothingBelow) {
  for (const char* root : {"C:\\", "C:", "d:/", "C:\\\\", "C:\\.", "C:\\...", "C:\\Games\\..", "C:\\Games\\..\\..\\. ",
                           "\\\\server\\share", "\\\\server\\share\\", "//server/share/", "\\\\server\\share\\a\\..",
                           "\\\\server", "\\", "\\\\?\\C:\\", "\\\\?\\UNC\\server\\share\\"})
    EXPECT_TRUE(IsDriveRoot(root)) << root;
  for (const char* below : {"C:\\Games", "C:\\Games\\", "C:Games", "C:\\a\\..\\b", "C:\\...\\x", "\\\\server\\share\\Games",
                            "\\Games", "\\\\?\\C:\\Games", "\\\\?\\UNC\\server\\share\\Games", "Games", "", "$INSTDIR"})
    EXPECT_FALSE(IsDriveRoot(below)) << below;
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

TEST(WindowsNameProblem, NamesWindowsCannotCreateAreRefusedWithTheReason) {
  struct Case {
    std::string name;
    std::string problem;  // part of the reason; "" when the name can be created
  };
  const Case cases[] = {
      {"a.txt", ""},
      {"maps\\coast.map", ""},
      {"maps/v1.2/read.me.txt", ""},
      {".\\extras\\\\b", ""},  // "." and empty steps are skipped
      {"\xC4rger \xFC" "ber.tar.gz", ""},  // upper half of the code page
      {"console.txt", ""},
      {"com10", ""},
      {"lpt0.txt", ""},
      {"nul_x", ""},
      {" lead", ""},
      {std::string(255, 'x'), ""},
      {"", "empty"},
      {".", "names no file"},
      {"\\windows", "root"},
      {"/etc", "root"},
      {"a\\..\\b", "'..' leads out"},
      {"...", "only dots and blanks"},
      {"a\\ .", "only dots and blanks"},
      {"a?b.txt", "'?'"},
      {"a*b", "'*'"},
      {"<", "'<'"},
      {">", "'>'"},
      {"x|y", "'|'"},
      {"\"q\"", "'\"'"},
      {"C:x", "':'"},
      {"a.txt:stream", "':'"},
      {std::string("a\x01" "b"), "control character 0x01"},
      {"tab\there", "control character 0x09"},
      {std::string("nul\0x", 5), "control character 0x00"},
      {"dir\\name.", "ends in a dot"},
      {"name ", "ends in a blank"},
      {std::string(256, 'x'), "longer than 255"},
      {"CON", "device"},
      {"sub\\con.txt", "'con.txt' is a device"},
      {"Com1.log.txt", "device"},
      {"nul.txt", "device"},
      {"PRN", "device"},
      {"aux.c", "device"},
      {"lpt9", "device"},
      {"con .txt", "device"},
      {"com\xB9.txt", "device"},  // superscript one
      {"lPt\xB3", "device"},      // superscript three
  };
  for (const Case& c : cases) {
    std::string problem = WindowsNameProblem(c.name);
    if (c.problem.empty()) EXPECT_EQ(problem, "") << c.name;
    else EXPECT_NE(problem.find(c.problem), std::string::npos) << c.name << " -> " << problem;
  }
}

}  // namespace
}  // namespace ferry
