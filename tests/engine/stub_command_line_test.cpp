#include <gtest/gtest.h>

#include "engine/stub_command_line.h"

namespace ferry {
namespace {

TEST(StubCommandLine, SplitsLikeTheRuntime) {
  EXPECT_EQ(SplitCommandLine("\"C:\\Program Files\\setup.exe\" a \"b c\" d\\\"e \"\""),
            (std::vector<std::string>{"C:\\Program Files\\setup.exe", "a", "b c", "d\"e", ""}));
  EXPECT_EQ(SplitCommandLine("setup.exe C:\\dir\\ x"), (std::vector<std::string>{"setup.exe", "C:\\dir\\", "x"}));
  EXPECT_EQ(SplitCommandLine("setup.exe \"a\\\\\" b"), (std::vector<std::string>{"setup.exe", "a\\", "b"}));
  EXPECT_TRUE(SplitCommandLine("   ").empty());
}

TEST(StubCommandLine, SwitchesAndTheArchiveArgument) {
  StubOptions o = ParseStubCommandLine("setup.exe /s /LOG=C:\\t\\run.log /Debug /AllowDowngrade /RestartOK other.exe");
  EXPECT_TRUE(o.Silent);
  EXPECT_TRUE(o.Debug);
  EXPECT_TRUE(o.AllowDowngrade);
  EXPECT_TRUE(o.RestartOk);
  EXPECT_TRUE(o.UnknownSwitch.empty());
  EXPECT_EQ(o.LogFile, "C:\\t\\run.log");
  EXPECT_EQ(o.ArchiveArgument, "other.exe");
  EXPECT_FALSE(o.InstallDir.has_value());
  EXPECT_EQ(o.Params.size(), 6u);

  StubOptions none = ParseStubCommandLine("setup.exe");
  EXPECT_FALSE(none.Silent);
  EXPECT_FALSE(none.AllowDowngrade);
  EXPECT_FALSE(none.RestartOk);
  EXPECT_TRUE(none.ArchiveArgument.empty());
  EXPECT_TRUE(none.Params.empty());
  // A switch is never taken for the archive.
  EXPECT_TRUE(ParseStubCommandLine("setup.exe /S /X").ArchiveArgument.empty());
  EXPECT_EQ(ParseStubCommandLine("setup.exe a.exe b.exe").ArchiveArgument, "a.exe");
  // Whom an "either" setup installs for: the last of the two switches wins.
  EXPECT_FALSE(none.ForAllUsers.has_value());
  EXPECT_EQ(ParseStubCommandLine("setup.exe /allusers").ForAllUsers, true);
  EXPECT_EQ(ParseStubCommandLine("setup.exe /ALLUSERS /CurrentUser").ForAllUsers, false);
  EXPECT_TRUE(ParseStubCommandLine("setup.exe /elevated").ElevatedCopy);
}

TEST(StubCommandLine, InstallDirRunsToTheEndWithBlanks) {
  StubOptions o = ParseStubCommandLine("setup.exe /S /D=C:\\Program Files\\My Game  ");
  ASSERT_TRUE(o.InstallDir.has_value());
  EXPECT_EQ(*o.InstallDir, "C:\\Program Files\\My Game");
  EXPECT_TRUE(o.Silent);
  EXPECT_EQ(ParseStubCommandLine("setup.exe /d=\"C:\\a b\"").InstallDir, "C:\\a b");
  EXPECT_EQ(ParseStubCommandLine("setup.exe \"/D=C:\\a b\"").InstallDir, "C:\\a b");
  // Switches after /D= belong to the folder.
  EXPECT_EQ(ParseStubCommandLine("setup.exe /D=C:\\x /S").InstallDir, "C:\\x /S");
  EXPECT_FALSE(ParseStubCommandLine("setup.exe /D=C:\\x /S").Silent);
  EXPECT_EQ(ParseStubCommandLine("setup.exe /D=").InstallDir, "");
}

TEST(StubCommandLine, UnknownSwitchesAndHelp) {
  struct Case {
    const char* line;
    bool help;
    const char* unknown;  // "" for none
  };
  const Case cases[] = {
      // Every accepted form, the uninstaller's "/S" and the archive argument included.
      {"setup.exe", false, ""},
      {"setup.exe /S /DEBUG /LOG=run.log other.exe /D=C:\\x /BOGUS", false, ""},
      {"setup.exe /s /debug /log=", false, ""},
      {"\"C:\\Games\\FP_Uninstall.exe\" /S", false, ""},
      {"setup.exe -x", false, ""},
      {"setup.exe /S /j /secret 1.2.3.4", false, ""},  // not a switch: a file name that may not exist
      {"setup.exe /?", true, ""},
      {"setup.exe /help", true, ""},
      {"setup.exe /S /HeLp", true, ""},
      {"setup.exe /BOGUS", false, "/BOGUS"},
      {"setup.exe /SILENT /X", false, "/SILENT"},
      {"setup.exe /D", false, "/D"},
      {"setup.exe /LOG", false, "/LOG"},
      {"setup.exe /", false, "/"},
      {"setup.exe /S /Sx", false, "/Sx"},
  };
  for (const Case& c : cases) {
    StubOptions o = ParseStubCommandLine(c.line);
    EXPECT_EQ(o.Help, c.help) << c.line;
    EXPECT_EQ(o.UnknownSwitch, c.unknown) << c.line;
  }
  // The two parameters after /J are its own, not the archive.
  StubOptions joined = ParseStubCommandLine("setup.exe /J secret 1.2.3.4 a.exe");
  EXPECT_EQ(joined.ArchiveArgument, "a.exe");
  EXPECT_EQ(joined.Params.size(), 4u);
  EXPECT_EQ(UnknownSwitchMessage("/BOGUS").rfind("Unknown switch \"/BOGUS\".\n\nUsage: setup.exe ", 0), 0u);
}

}  // namespace
}  // namespace ferry
