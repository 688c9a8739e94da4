#include <gtest/gtest.h>

#include "engine/path_vars.h"
#include "engine/setup_context.h"
#include "base/text_replace.h"

namespace ferry {
namespace {

TEST(ReplaceAll, IgnoresAsciiCaseAndRescansFromTheStart) {
  EXPECT_EQ(ReplaceAll("a<br>b<Br>c<BR>", "<BR>", "\r"), "a\rb\rc\r");
  EXPECT_EQ(ReplaceAll("C:\\\\\\dir\\\\\\\\x", "\\\\", "\\"), "C:\\dir\\x");
  // A replacement can join the text before it into a new occurrence.
  EXPECT_EQ(ReplaceAll("aab", "ab", "b"), "b");
  EXPECT_EQ(ReplaceAll("text", "", "x"), "text");
  EXPECT_EQ(ReplaceAll("", "a", "b"), "");
  // Only A-Z fold: other bytes compare exactly.
  EXPECT_EQ(ReplaceAll("\xC4x", "\xE4X", "y"), "\xC4x");
}

TEST(ReplaceAll, EndsWhenTheReplacementHoldsThePattern) {
  EXPECT_EQ(ReplaceAll("a$X b $x", "$X", "[$x]"), "a[$x] b [$x]");
  EXPECT_EQ(ReplaceAll("aaa", "a", "aa"), "aaaaaa");
  EXPECT_EQ(ReplaceAll(u"1 <br> 2", u"<BR>", u"<br><br>"), u"1 <br><br> 2");
}

TEST(ReplaceAll, LongRunsCollapseInLinearTime) {
  std::string run(200000, '\\');
  EXPECT_EQ(ReplaceAll(run, "\\\\", "\\"), "\\");
}

class PathVars : public ::testing::Test {
 protected:
  PathFolders folders{"C:\\Users\\me\\Start Menu\\Programs\\", "C:\\Program Files\\", "D:\\"};
};

TEST_F(PathVars, VariablesExpandInAnyCaseAndDoubleBackslashesCollapse) {
  EXPECT_EQ(ExpandPathVars("$instdir\\a.txt", "C:\\Game", folders), "C:\\Game\\a.txt");
  EXPECT_EQ(ExpandPathVars("$INSTALLDIR\\a.txt", "C:\\Game\\", folders), "C:\\Game\\a.txt");
  EXPECT_EQ(ExpandPathVars("$PROGRAMFILES\\Game", "", folders), "C:\\Program Files\\Game");
  EXPECT_EQ(ExpandPathVars("$SMPROGRAMS\\Game\\Play.lnk", "", folders),
            "C:\\Users\\me\\Start Menu\\Programs\\Game\\Play.lnk");
  EXPECT_EQ(ExpandPathVars("$CDDRIVE\\setup.exe", "", folders), "D:\\setup.exe");
  EXPECT_EQ(ExpandPathVars("\\\\server\\share", "", folders), "\\server\\share");
}

TEST_F(PathVars, SystemFoldersLongestNameFirstAndDoubleDollar) {
  folders.System[static_cast<size_t>(SystemFolder::kProgramFiles32)] = "C:\\Program Files (x86)\\";
  folders.System[static_cast<size_t>(SystemFolder::kTemp)] = "C:\\Temp\\";
  folders.System[static_cast<size_t>(SystemFolder::kAppData)] = "C:\\Roaming\\";
  const struct {
    const char* text;
    const char* expanded;
  } cases[] = {
      {"$PROGRAMFILES32\\Game", "C:\\Program Files (x86)\\Game"},
      {"$programfiles32Game", "C:\\Program Files (x86)\\Game"},
      {"$PROGRAMFILESShared\\x", "C:\\Program Files\\Shared\\x"},  // the shorter name, then the text
      {"$TEMP\\a $APPDATA\\b", "C:\\Temp\\a C:\\Roaming\\b"},
      {"$$INSTDIR costs $$5 $ $INSTDIR", "$INSTDIR costs $5 $ C:\\Game"},
      {"$$$TEMP", "$C:\\Temp\\"},
      {"$WINDIR\\x", "\\x"},  // a folder start-up did not fill expands to nothing
  };
  for (const auto& c : cases) EXPECT_EQ(ExpandPathVars(c.text, "C:\\Game", folders), c.expanded) << c.text;
  // A folded path reads back as it was, also where "64" follows the folder.
  const std::string folded = FoldPathVars("C:\\Program Files\\64bit\\x", "C:\\Game", folders);
  EXPECT_EQ(folded, "$PROGRAMFILES\\64bit\\x");
  EXPECT_EQ(ExpandPathVars(folded, "C:\\Game", folders), "C:\\Program Files\\64bit\\x");
}

TEST_F(PathVars, StoredDefaultInstallDirIsExpandedByTheLaterStep) {
  EXPECT_EQ(ExpandPathVars("$INSTDIR\\bin\\x.exe", "$PROGRAMFILES\\Demo\\", folders),
            "C:\\Program Files\\Demo\\bin\\x.exe");
}

TEST_F(PathVars, NoCdDriveLeavesARootedPath) {
  folders.CdDrive.clear();
  EXPECT_EQ(ExpandPathVars("$CDDRIVE\\setup.exe", "", folders), "\\setup.exe");
}

TEST_F(PathVars, FolderValueNamingItsOwnVariableIsSubstitutedOnce) {
  EXPECT_EQ(ExpandPathVars("$INSTDIR\\a", "$INSTDIR", folders), "$INSTDIR\\a");
  EXPECT_EQ(ExpandPathVars("$INSTDIR\\a", "x$instdir", folders), "x$instdir\\a");
  folders.ProgramFilesDir = "$ProgramFiles\\";
  EXPECT_EQ(ExpandPathVars("$PROGRAMFILES\\a", "", folders), "$ProgramFiles\\a");
}

TEST_F(PathVars, FoldReplacesFoldersByVariablesAndExpandsBack) {
  const std::string installDir = "C:\\Games\\Product";
  std::string folded = FoldPathVars("C:\\Games\\Product\\data\\x.dat", installDir, folders);
  EXPECT_EQ(folded, "$INSTDIR\\data\\x.dat");
  // Folder values end in a backslash, which the variable takes along; the
  // expansion gives it back.
  std::string shared = FoldPathVars("c:\\program files\\Shared\\y.dll", installDir, folders);
  EXPECT_EQ(shared, "$PROGRAMFILESShared\\y.dll");
  EXPECT_EQ(ExpandPathVars(shared, installDir, folders), "C:\\Program Files\\Shared\\y.dll");
  EXPECT_EQ(FoldPathVars("C:\\Users\\me\\Start Menu\\Programs\\G\\P.lnk", installDir, folders),
            "$SMPROGRAMSG\\P.lnk");
  // The uninstaller finds the file again under its own install directory.
  EXPECT_EQ(ExpandPathVars(folded, "E:\\Elsewhere", folders), "E:\\Elsewhere\\data\\x.dat");
  EXPECT_EQ(FoldPathVars("C:\\x", "", PathFolders{}), "C:\\x");
}

TEST(SetupContext, TextMacrosAndPathFoldingFollowTheLiveValues) {
  SetupContext ctx;
  ctx.SetupInfo.SetupTitle = "Demo Patch";
  ctx.SetupInfo.InstallDir = "C:\\Games\\Demo";
  EXPECT_EQ(ApplyTextMacros(ctx.TextMacros, u"Welcome to <%setuptitle%>"), u"Welcome to Demo Patch");
  ctx.SpaceAvailableText = "1.50 KB";
  EXPECT_EQ(ApplyTextMacros(ctx.TextMacros, u"Space available <%SPACEAVA%>"), u"Space available 1.50 KB");
  ctx.SetupInfo.SetupTitle = "Other";
  EXPECT_EQ(ApplyTextMacros(ctx.TextMacros, u"<%SETUPTITLE%>"), u"Other");

  ASSERT_TRUE(ctx.InstallLog.AddFile("C:\\Games\\Demo\\a.txt"));
  EXPECT_EQ(ctx.InstallLog.Files().back(), "$INSTDIR\\a.txt");
  ctx.SetupInfo.InstallDir = "D:\\Moved";
  ASSERT_TRUE(ctx.InstallLog.AddFile("D:\\Moved\\b.txt"));
  EXPECT_EQ(ctx.InstallLog.Files().back(), "$INSTDIR\\b.txt");
  EXPECT_EQ(ctx.ExpandPathVars("$INSTDIR\\c"), "D:\\Moved\\c");
  EXPECT_EQ(ctx.CurrentLine, -1);
  EXPECT_FALSE(ctx.Record.MustStop());
}

}  // namespace
}  // namespace ferry
