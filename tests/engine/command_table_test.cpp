#include <gtest/gtest.h>

#include "engine/command_list.h"
#include "engine/compile_context.h"

namespace ferry {
namespace {

struct Row {
  int number;
  const char* keyword;
  bool setting;
  int group;
  int params;
};

// The stream format fixes these numbers; a compiled setup relies on them.
const Row kTable[] = {
    {1, "goto", false, 0, 1},           {2, "name", true, 0, 1},
    {3, "outfile", true, 0, 1},         {4, "installdir", true, 0, 1},
    {5, "installdirregkey", true, 0, 3}, {6, "iffileexists", false, 0, 3},
    {7, "file", false, 1, 1},           {8, "delete", false, 0, 1},
    {9, "writeregstr", false, 0, 4},    {10, "changelog", true, 0, 1},
    {11, "rkpupdate", false, 2, 3},     {12, "rmdir", false, 0, 2},
    {13, "createdirectory", false, 0, 1}, {14, "createshortcut", false, 0, 3},
    {15, "message", false, 0, 1},       {16, "messagebox", false, 0, 4},
    {17, "copyfile", false, 0, 2},      {18, "language", false, 0, 1},
    {19, "failure", false, 0, 0},       {20, "pages", true, 0, 1},
    {21, "shortname", true, 0, 1},      {22, "uninstallpages", true, 0, 1},
    {23, "uninstalllanguage", false, 0, 1}, {24, "prefix", true, 0, 1},
    {25, "uninstalllogload", false, 0, 1}, {26, "uninstalllogsave", false, 0, 1},
    {27, "rkpofficial", false, 0, 3},   {28, "duplicateentry", false, 0, 3},
    {29, "writeregstr_url", false, 0, 3}, {30, "vfsupdate", false, 2, 2},
    {31, "rename", false, 0, 2},        {32, "execute", false, 0, 1},
    {33, "executecheck", false, 0, 1},
    {34, "patchfor", false, 0, 1},
};

TEST(CommandTable, TheCommandsInTheirFixedOrder) {
  CommandList list;
  RegisterCommands(list);
  ASSERT_EQ(list.Count(), kCommandCount);
  ASSERT_EQ(std::size(kTable), static_cast<size_t>(kCommandCount));
  for (const Row& row : kTable) {
    SCOPED_TRACE(row.keyword);
    CommandClass* command = list.Find(row.number);
    ASSERT_NE(command, nullptr);
    EXPECT_EQ(command->Keyword, row.keyword);
    EXPECT_EQ(command->IsSetting, row.setting);
    EXPECT_EQ(command->GroupKind(), row.group);
    EXPECT_EQ(command->MinParams, row.params);
    EXPECT_EQ(list.FindKeyword(row.keyword), row.number);
  }
}

// What the compiler and the decompiler read from the table beyond the basics.
TEST(CommandTable, ParametersWithAMeaningOfTheirOwn) {
  struct Special {
    const char* keyword;
    uint16_t jumps;
    bool zeroMeansNoJump;
    uint16_t enciphered;
    uint16_t subfolders;
    const char* languagePrefix;
  };
  const Special kSpecial[] = {
      {"goto", ParamBit(1), false, 0, 0, nullptr},
      {"iffileexists", ParamBit(2) | ParamBit(3), true, 0, 0, nullptr},
      {"messagebox", ParamBit(3) | ParamBit(4), true, 0, 0, nullptr},
      {"rkpupdate", 0, false, ParamBit(2), 0, nullptr},
      {"rkpofficial", 0, false, ParamBit(2), 0, nullptr},
      {"file", 0, false, 0, ParamBit(2), nullptr},
      {"language", 0, false, 0, 0, "LANGUAGE-"},
      {"uninstalllanguage", 0, false, 0, 0, "UNINSTALL_LANGUAGE-"},
      {"delete", 0, false, 0, 0, nullptr},
  };
  CommandList list;
  RegisterCommands(list);
  for (const Special& row : kSpecial) {
    SCOPED_TRACE(row.keyword);
    const CommandDescriptor& descriptor = list.Find(list.FindKeyword(row.keyword))->Descriptor();
    EXPECT_EQ(descriptor.JumpParams, row.jumps);
    EXPECT_EQ(descriptor.ZeroMeansNoJump, row.zeroMeansNoJump);
    EXPECT_EQ(descriptor.EncipheredParams, row.enciphered);
    EXPECT_EQ(descriptor.SubfolderParams, row.subfolders);
    EXPECT_EQ(std::string(descriptor.LanguageEntryPrefix ? descriptor.LanguageEntryPrefix : ""),
              row.languagePrefix ? row.languagePrefix : "");
  }
}

TEST(CommandTable, NumbersOutsideTheTableFindNoCommand) {
  CommandList list;
  RegisterCommands(list);
  EXPECT_EQ(list.Find(0), nullptr);
  EXPECT_EQ(list.Find(-1), nullptr);
  EXPECT_EQ(list.Find(kCommandCount + 1), nullptr);
  EXPECT_EQ(list.FindKeyword("FILE"), 7);
  EXPECT_EQ(list.FindKeyword("nosuch"), -1);
}

TEST(CommandTable, GroupKindsNumberThePayloadLinesInOrder) {
  CommandList list;
  RegisterCommands(list);
  CompLineList lines;
  for (int no : {2, 7, -1, 30, 9, 7, 11, 99}) {
    CompLine line;
    line.CommandNo = no;
    lines.Lines.push_back(line);
  }
  EXPECT_EQ(BuildGroupKinds(lines, list), (std::vector<uint8_t>{0, 0, 1, 0, 1}));
}

// A small compiler: one line per (keyword, params...), labels as "label:<name>".
class Compile : public ::testing::Test {
 protected:
  Compile() : ctx(info, lines) { RegisterCommands(commands); }

  void Run(const std::vector<std::vector<std::string>>& script) {
    for (const auto& words : script) {
      CompLine line;
      if (words[0].rfind("label:", 0) == 0) {
        ctx.AddLabel(words[0].substr(6), static_cast<int>(lines.Lines.size()));
      } else {
        line.CommandNo = commands.FindKeyword(words[0]);
        line.LineNo = static_cast<int32_t>(lines.Lines.size());
        for (size_t i = 1; i < words.size(); ++i) line.AddParam(words[i]);
      }
      lines.Lines.push_back(line);
    }
    for (size_t i = 0; i < lines.Lines.size(); ++i)
      if (CommandClass* c = commands.Find(lines.Lines[i].CommandNo)) c->CompileProcess(ctx, static_cast<int>(i));
  }

  SetupInfoRecord info = CompilerDefaultSetupInfo();
  CompLineList lines;
  CommandList commands;
  CompileContext ctx;
};

TEST_F(Compile, SettingLinesFillTheRecordAndBecomeInert) {
  Run({{"name", "Demo Patch"},
       {"outfile", "demo_patch.exe"},
       {"installdir", "$PROGRAMFILES\\Demo\\"},
       {"installdirregkey", "hkcu", "Software\\Demo\\", "Path"},
       {"changelog", "ChangeLog"},
       {"pages", "Patch"}});
  EXPECT_TRUE(ctx.Errors.empty());
  EXPECT_EQ(info.SetupTitle, "Demo Patch");
  EXPECT_EQ(info.ShortTitle, "Demo Patch");  // "name" alone: both titles equal
  EXPECT_EQ(info.SetupExeName, "demo_patch.exe");
  EXPECT_EQ(info.InstallDir, "$PROGRAMFILES\\Demo\\");
  EXPECT_EQ(info.InstallDirRegKey, (RegistryLocation{1, "Software\\Demo\\", "Path"}));
  EXPECT_EQ(info.ChangelogName, "ChangeLog");
  EXPECT_EQ(info.PageSet, "Patch");
  EXPECT_EQ(info.UninstallExeName, "Uninstall.exe");
  EXPECT_EQ(info.MakeUninstaller, 0);
  for (const CompLine& line : lines.Lines) {
    EXPECT_EQ(line.CommandNo, -1);
    EXPECT_EQ(line.LineNo, -1);
    EXPECT_EQ(line.ParamCount, 0);
  }
}

TEST_F(Compile, ShortNameAfterNameOverridesAndPrefixNamesTheUninstaller) {
  Run({{"name", "Demo Patch"}, {"shortname", "Demo"}, {"prefix", "Demo"}, {"uninstallpages", "Remove"}});
  EXPECT_EQ(info.SetupTitle, "Demo Patch");
  EXPECT_EQ(info.ShortTitle, "Demo");
  EXPECT_EQ(info.UninstallPrefix, "Demo_");
  EXPECT_EQ(info.UninstallExeName, "Demo_Uninstall.exe");
  EXPECT_EQ(info.UninstallPageSet, "Remove");
  EXPECT_EQ(info.MakeUninstaller, 1);
}

TEST_F(Compile, JumpLabelsBecomeLineIndexesAndZeroMeansNoJump) {
  Run({{"goto", "End"},
       {"iffileexists", "$INSTDIR\\a.txt", "0", "end"},
       {"messagebox", "Go on?", "Demo", "Start", "0"},
       {"label:start"},
       {"failure"},
       {"label:END"}});
  EXPECT_TRUE(ctx.Errors.empty());
  EXPECT_EQ(lines.Lines[0].Param(1), "5");
  EXPECT_EQ(lines.Lines[1].Param(2), "-1");
  EXPECT_EQ(lines.Lines[1].Param(3), "5");
  EXPECT_EQ(lines.Lines[2].Param(3), "3");
  EXPECT_EQ(lines.Lines[2].Param(4), "-1");
  EXPECT_EQ(lines.Lines[4].CommandNo, 19);
}

TEST_F(Compile, UnknownLabelIsReportedWithItsLine) {
  Run({{"name", "x"}, {"goto", "nowhere"}});
  ASSERT_EQ(ctx.Errors.size(), 1u);
  EXPECT_EQ(ctx.Errors[0].LineIndex, 1);
  EXPECT_EQ(ctx.Errors[0].Message, "Label not found - nowhere");
}

TEST_F(Compile, PayloadLinesGetTheNextGroupNumberAsLastParameter) {
  Run({{"file", "Data\\"}, {"writeregstr", "HKLM", "k", "v", "d"}, {"vfsupdate", "a.vfs", "Vfs\\"},
       {"file", "Bin\\", "bin"}});
  EXPECT_TRUE(ctx.Errors.empty());
  EXPECT_EQ(lines.Lines[0].Params, (std::vector<std::string>{"Data\\", "1"}));
  EXPECT_EQ(lines.Lines[1].ParamCount, 4);
  EXPECT_EQ(lines.Lines[2].Params, (std::vector<std::string>{"a.vfs", "Vfs\\", "2"}));
  EXPECT_EQ(lines.Lines[3].Params, (std::vector<std::string>{"Bin\\", "bin", "3"}));
  EXPECT_EQ(BuildGroupKinds(lines, commands), (std::vector<uint8_t>{0, 0, 1, 0}));
}

TEST_F(Compile, TooFewParametersAreRejected) {
  Run({{"writeregstr", "HKLM", "key", "value"}, {"installdirregkey", "HKLM"}, {"failure"}});
  ASSERT_EQ(ctx.Errors.size(), 2u);
  EXPECT_EQ(ctx.Errors[0].LineIndex, 0);
  EXPECT_EQ(ctx.Errors[0].Message, "\"writeregstr\" needs at least 4 parameters, found 3");
  EXPECT_EQ(ctx.Errors[1].LineIndex, 1);
  EXPECT_EQ(info.InstallDirRegKey, RegistryLocation{});  // a rejected setting changes nothing
}

TEST_F(Compile, LanguageLinesAddTheirTablesAndStayInTheStream) {
  std::vector<std::pair<std::string, std::string>> added;
  ctx.AddLanguageFile = [&](const std::string& entry, const std::string& name) { added.emplace_back(entry, name); };
  Run({{"language", "English"}, {"uninstalllanguage", "English"}});
  EXPECT_EQ(added, (std::vector<std::pair<std::string, std::string>>{{"LANGUAGE-English", "English"},
                                                                     {"UNINSTALL_LANGUAGE-English", "English"}}));
  EXPECT_EQ(lines.Lines[0].CommandNo, 18);
  EXPECT_EQ(lines.Lines[1].CommandNo, 23);
  EXPECT_EQ(lines.Lines[1].ParamCount, 1);
}

}  // namespace
}  // namespace ferry
