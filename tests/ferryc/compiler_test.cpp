// The compile-time contract between ferryc and the stub, rule by rule.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

#include "formats/pak/digit_key.h"
#include "base/text.h"
#include "engine/command_list.h"
#include "formats/languages/text_ids.h"
#include "script_lexer.h"
#include "test_util.h"

namespace ferry::tool {
namespace {

using test::Compile;
using test::Errors;
using test::FindEntry;
using test::TempDir;

constexpr const char* kHead = "outfile setup.exe\ninstalldir C:\\Demo\\\n";  // lines 1 and 2

int CommandNo(const char* keyword) {
  CommandList list;
  RegisterCommands(list);
  return list.FindKeyword(keyword);
}

bool IsInert(const CompLine& l) { return l.CommandNo == -1 && l.LineNo == -1 && l.Params.empty(); }

bool HasError(const CompileResult& r, int line, const std::string& text) {
  for (const Diagnostic& d : r.Diagnostics)
    if (!d.Warning && d.Line == line && d.Message.find(text) != std::string::npos && d.File == "test.fss") return true;
  return false;
}

TEST(Compiler, IdentityLinesAndWhatAScopeRefuses) {
  TempDir dir;
  CompileResult r = Compile(dir, std::string(kHead) + "productid Tidewater.Atlas\nscope either\nsidebyside\nreplaceatrestart\n");
  ASSERT_TRUE(r.Ok) << Errors(r);
  EXPECT_EQ(r.Setup.Product, (ProductInformation{"", "", "", "Tidewater.Atlas", InstallScope::kEither, true, true}));
  for (int line : {3, 4, 5, 6}) EXPECT_TRUE(IsInert(r.Setup.Lines.Lines[static_cast<size_t>(line - 1)]));
  const struct {
    const char* lines;
    const char* message;  // "" none
  } cases[] = {
      {"productid Atlas\\Charts\n", "test.fss:3: error: 'productid': a backslash would name a key below another"},
      {"scope everyone\n", "test.fss:3: error: 'scope' takes \"user\", \"machine\" or \"either\""},
      {"sidebyside yes\n", "test.fss:3: error: 'sidebyside' takes nothing"},
      {"replaceatrestart yes\n", "test.fss:3: error: 'replaceatrestart' takes nothing"},
      {"scope user\nwriteregstr HKLM Software\\X V D\n",
       "test.fss:4: error: HKLM is the machine's: a user without administrator rights cannot write there"},
      {"scope user\ncreateshortcut $COMMONPROGRAMS\\A.lnk $INSTDIR\\a.exe \"\"\n",
       "test.fss:4: error: $COMMONPROGRAMS is the machine's"},
      {"scope user\ninstalldir $PROGRAMFILES\\Demo\\\n", "test.fss:4: error: $PROGRAMFILES is the machine's"},
      {"scope user\ncreateshortcut $SMPROGRAMS\\A.lnk $PROGRAMFILES\\a.exe \"\"\nwriteregstr HKCU K V $WINDIR\n", ""},
      {"scope either\ninstalldir $PROGRAMFILES\\Demo\\\n", ""},
      {"scope either\ncopyfile $INSTDIR\\a $COMMONFILES\\a\n", "test.fss:4: warning: $COMMONFILES is the machine's"},
      {"scope machine\nwriteregstr HKCU Software\\X V D\n", "test.fss:4: warning: HKCU is the installing person's own"},
      {"scope machine\ncreateshortcut $DESKTOP\\A.lnk $INSTDIR\\a.exe \"\"\n", "test.fss:4: warning: $DESKTOP is the"},
      {"writeregstr HKCU Software\\X V D\n", ""},  // no scope line: as before
  };
  for (const auto& c : cases) {
    CompileResult one = Compile(dir, std::string(kHead) + c.lines);
    std::vector<std::string> shown;
    for (const Diagnostic& d : one.Diagnostics)
      if (d.Line > 0) shown.push_back(FormatDiagnostic(d));
    if (*c.message == '\0') {
      EXPECT_TRUE(shown.empty()) << c.lines << Errors(one);
      continue;
    }
    ASSERT_EQ(shown.size(), 1u) << c.lines << Errors(one);
    EXPECT_EQ(shown[0].rfind(c.message, 0), 0u) << c.lines << shown[0];
  }
}

TEST(Compiler, SettingLinesFillTheRecordAndBecomeInertLines) {
  TempDir dir;
  CompileResult r = Compile(dir,
                            "name \"Demo Patch\"\n"
                            "outfile demo_patch.exe\n"
                            "installdir $PROGRAMFILES\\Demo\\\n"
                            "installdirregkey hkcu Software\\Demo\\ Path\n"
                            "changelog ChangeLog\n"
                            "pages Patch\n");
  ASSERT_TRUE(r.Ok) << Errors(r);
  const SetupInfoRecord& i = r.Setup.Info;
  EXPECT_EQ(i.SetupTitle, "Demo Patch");
  EXPECT_EQ(i.ShortTitle, "Demo Patch");  // "name" alone gives both
  EXPECT_EQ(i.SetupExeName, "demo_patch.exe");
  EXPECT_EQ(i.InstallDir, "$PROGRAMFILES\\Demo\\");
  EXPECT_EQ(i.InstallDirRegKey.RootKey, 1);
  EXPECT_EQ(i.InstallDirRegKey.Key, "Software\\Demo\\");
  EXPECT_EQ(i.InstallDirRegKey.ValueName, "Path");
  EXPECT_EQ(i.ChangelogName, "ChangeLog");
  EXPECT_EQ(i.PageSet, "Patch");
  EXPECT_EQ(i.UninstallExeName, "Uninstall.exe");  // no "prefix" line
  EXPECT_EQ(i.UninstallPrefix, "");
  EXPECT_EQ(i.MakeUninstaller, 0);
  ASSERT_EQ(r.Setup.Lines.Count(), 6u);
  for (const CompLine& l : r.Setup.Lines.Lines) EXPECT_TRUE(IsInert(l));
  // The record travels as the "SetupInfo" entry, just before "CompiledLines".
  ASSERT_GE(r.Setup.Entries.size(), 2u);
  EXPECT_EQ(r.Setup.Entries[r.Setup.Entries.size() - 2].Name, "SetupInfo");
  EXPECT_EQ(r.Setup.Entries.back().Name, "CompiledLines");
}

TEST(Compiler, ShortnameAfterNameWinsAndPrefixNamesTheUninstaller) {
  TempDir dir;
  CompileResult r = Compile(dir, std::string(kHead) + "name \"Long Title\"\nshortname Short\nprefix Demo\n");
  ASSERT_TRUE(r.Ok) << Errors(r);
  EXPECT_EQ(r.Setup.Info.SetupTitle, "Long Title");
  EXPECT_EQ(r.Setup.Info.ShortTitle, "Short");
  EXPECT_EQ(r.Setup.Info.UninstallPrefix, "Demo_");
  EXPECT_EQ(r.Setup.Info.UninstallExeName, "Demo_Uninstall.exe");
}

TEST(Compiler, UninstallpagesSetsMakeUninstaller) {
  TempDir dir;
  CompileResult r = Compile(dir, std::string(kHead) + "uninstallpages Uninstall\n");
  ASSERT_TRUE(r.Ok) << Errors(r);
  EXPECT_EQ(r.Setup.Info.UninstallPageSet, "Uninstall");
  EXPECT_EQ(r.Setup.Info.MakeUninstaller, 1);
  EXPECT_TRUE(IsInert(r.Setup.Lines.Lines[2]));
}

TEST(Compiler, LabelsResolveToLineIndexesIgnoringCase) {
  TempDir dir;
  CompileResult r = Compile(dir, std::string(kHead) +
                                     "goto FINISH\n"                       // index 2
                                     "Start:\n"                            // index 3
                                     "iffileexists $INSTDIR\\a start Finish\n"  // index 4
                                     "messagebox Go? Title START finish\n"  // index 5
                                     "finish:\n");                         // index 6
  ASSERT_TRUE(r.Ok) << Errors(r);
  const auto& L = r.Setup.Lines.Lines;
  EXPECT_EQ(L[2].CommandNo, CommandNo("goto"));
  EXPECT_EQ(L[2].LineNo, 2);
  EXPECT_EQ(L[2].Params, (std::vector<std::string>{"6"}));
  EXPECT_TRUE(IsInert(L[3]));  // label lines do nothing
  EXPECT_EQ(L[4].Params, (std::vector<std::string>{"$INSTDIR\\a", "3", "6"}));
  EXPECT_EQ(L[5].Params, (std::vector<std::string>{"Go?", "Title", "3", "6"}));
  EXPECT_TRUE(IsInert(L[6]));
}

TEST(Compiler, ZeroMeansNoJumpForIffileexistsAndMessagebox) {
  TempDir dir;
  CompileResult r = Compile(dir, std::string(kHead) +
                                     "iffileexists x.txt 0 there\n"
                                     "messagebox Text Caption 0 0\n"
                                     "there:\n");
  ASSERT_TRUE(r.Ok) << Errors(r);
  EXPECT_EQ(r.Setup.Lines.Lines[2].Params, (std::vector<std::string>{"x.txt", "-1", "4"}));
  EXPECT_EQ(r.Setup.Lines.Lines[3].Params, (std::vector<std::string>{"Text", "Caption", "-1", "-1"}));
}

TEST(Compiler, UnknownLabelsAreErrorsWithTheirLine) {
  TempDir dir;
  // "goto 0" names a label "0", which cannot exist.
  CompileResult r = Compile(dir, std::string(kHead) + "goto nowhere\nmessagebox a b 0 Elsewhere\ngoto 0\n");
  EXPECT_FALSE(r.Ok);
  EXPECT_TRUE(HasError(r, 3, "Label not found - nowhere")) << Errors(r);
  EXPECT_TRUE(HasError(r, 4, "Label not found - Elsewhere")) << Errors(r);
  EXPECT_TRUE(HasError(r, 5, "Label not found - 0")) << Errors(r);
}

TEST(Compiler, MessageTextsWithBrokenLanguageReferencesAreRefused) {
  TempDir dir;
  CompileResult r = Compile(dir, std::string(kHead) +
                                     "message \"Step <LANG12> of <LANG13>\"\n"  // line 3: fine
                                     "message \"<LANG12\"\n"                     // no ">"
                                     "message \"<LANGx> done\"\n"                // not a number
                                     "message \"<lang12 is only text\"\n");     // lower case: no reference
  EXPECT_FALSE(r.Ok);
  size_t errors = 0;
  for (const Diagnostic& d : r.Diagnostics) errors += d.Warning ? 0 : 1;
  EXPECT_EQ(errors, 2u) << Errors(r);
  EXPECT_TRUE(HasError(r, 4, "message text: '12' is not a valid integer value")) << Errors(r);
  EXPECT_TRUE(HasError(r, 5, "message text: 'x' is not a valid integer value")) << Errors(r);
}

TEST(Compiler, DuplicateLabelsAndMessageboxJumpsToLineOneAreRefused) {
  TempDir dir;
  CompileResult r = Compile(dir, "top:\n" + std::string(kHead) + "messagebox a b top 0\nTOP:\n");
  EXPECT_FALSE(r.Ok);
  EXPECT_TRUE(HasError(r, 5, "duplicate label")) << Errors(r);
  EXPECT_TRUE(HasError(r, 4, "first line")) << Errors(r);
}

TEST(Compiler, PayloadLinesGetConsecutiveGroupsAcrossFileRkpupdateAndVfsupdate) {
  TempDir dir;
  dir.Write("Base/readme.txt", "r");
  dir.Write("Base/sub/b.dat", "bb");
  dir.Write("Base/sub/a.dat", "a");
  dir.Write("Base/Z.txt", "z");
  dir.Write("Pak/units.txt", "u");
  dir.Write("Vfs/data/x.bin", "x");
  CompileResult r = Compile(dir, std::string(kHead) +
                                     "file Base\\ bin\n"
                                     "message hello\n"
                                     "rkpupdate Pak\\ secret data\\main.rkp\n"
                                     "vfsupdate Vfs gamedata.vfs\n");
  ASSERT_TRUE(r.Ok) << Errors(r);
  const auto& L = r.Setup.Lines.Lines;
  EXPECT_EQ(L[2].Params, (std::vector<std::string>{"Base\\", "bin", "1"}));
  EXPECT_EQ(L[3].Params, (std::vector<std::string>{"hello"}));
  EXPECT_EQ(L[4].Params.back(), "2");
  EXPECT_EQ(L[5].Params, (std::vector<std::string>{"Vfs", "gamedata.vfs", "3"}));

  std::vector<std::pair<int, std::string>> payload;
  for (const ArchiveSource& e : r.Setup.Entries)
    if (e.Group != 0) payload.push_back({e.Group, e.Name});
  // Sorted by the bytes of the Windows name: upper case before lower case.
  std::vector<std::pair<int, std::string>> expected = {
      {1, "Z.txt"}, {1, "readme.txt"}, {1, "sub\\a.dat"}, {1, "sub\\b.dat"},
      {2, "units.txt"}, {3, "data\\x.bin"}};
  EXPECT_EQ(payload, expected);
  const ArchiveSource* last = FindEntry(r, "CompiledLines");
  ASSERT_NE(last, nullptr);
  EXPECT_EQ(last->Group, 0);
}

TEST(Compiler, PackagePasswordsAreEnciphered) {
  TempDir dir;
  dir.Write("Pak/a.txt", "a");
  CompileResult r = Compile(dir, std::string(kHead) +
                                     "rkpupdate Pak \"open sesame\" data.rkp\n"
                                     "rkpofficial data.rkp code42 true\n"
                                     "duplicateentry data.rkp a.txt b.txt\n");
  ASSERT_TRUE(r.Ok) << Errors(r);
  const auto& L = r.Setup.Lines.Lines;
  EXPECT_NE(L[2].Params[1], "open sesame");
  EXPECT_EQ(L[2].Params[1], DigitKeyEncode(kCommandParamKey, "open sesame"));
  EXPECT_EQ(DigitKeyDecode(kCommandParamKey, L[2].Params[1]), "open sesame");
  EXPECT_EQ(L[3].Params[1], DigitKeyEncode(kCommandParamKey, "code42"));
  EXPECT_EQ(L[3].Params[2], "true");
  EXPECT_EQ(L[4].Params[1], "a.txt");  // other commands keep their text
}

TEST(Compiler, PackagePasswordsTheTrailerCannotHoldAreRefused) {
  TempDir dir;
  dir.Write("Pak/a.txt", "a");
  CompileResult ok = Compile(dir, std::string(kHead) + "rkpupdate Pak " + std::string(41, 'p') + " data.rkp\n");
  EXPECT_TRUE(ok.Ok) << Errors(ok);
  CompileResult r = Compile(dir, std::string(kHead) + "rkpupdate Pak " + std::string(42, 'p') + " data.rkp\n");
  EXPECT_FALSE(r.Ok);
  EXPECT_TRUE(HasError(r, 3, "package password is at most 41")) << Errors(r);
}

TEST(Compiler, MinimumParameterCountsAndUnknownKeywords) {
  TempDir dir;
  CompileResult r = Compile(dir, std::string(kHead) + "writeregstr HKCU Software\\X Name\nfiel Files\nfailure\n");
  EXPECT_FALSE(r.Ok);
  EXPECT_TRUE(HasError(r, 3, "\"writeregstr\" needs at least 4 parameters, found 3")) << Errors(r);
  EXPECT_TRUE(HasError(r, 4, "unknown keyword 'fiel'")) << Errors(r);
  size_t errors = 0;
  for (const Diagnostic& d : r.Diagnostics) errors += !d.Warning;
  EXPECT_EQ(errors, 2u) << Errors(r);  // "failure" takes no parameters
}

// The checks of what the setup would find wrong only while it runs; each
// row's lines start at line 3 and give the one message shown (or none).
TEST(Compiler, ChecksOfVariablesRootsLanguageReferencesAndPages) {
  TempDir dir;
  dir.WriteLanguage("English");
  dir.WriteLanguage("Short", "1 Hello\r\n", kTextFinishButton);
  dir.Write("Files/a.txt", "a");
  dir.Write("ui/Pages.txt", "[Pages]\nwelcome.txt\n");
  dir.Write("ui/welcome.txt", "[A]\nCaption=<LANG1>\n");
  dir.Write("ui/extra.txt", "[A]\n");
  dir.Write("ui/bad.txt", "[A]\nCaption=<LANG9>\n");
  const struct {
    const char* lines;
    const char* message;
  } cases[] = {
      {"copyfile $INSTDIR\\a $PROGRAMFILE\\b\n",
       "test.fss:3: error: unknown path variable '$PROGRAMFILE', did you mean $PROGRAMFILES?"},
      {"delete $Foo\\a\n", "test.fss:3: error: unknown path variable '$Foo' (write $$ for a dollar sign)"},
      {"delete $PROGRAMFILESX\\a\n", "test.fss:3: warning: '$PROGRAMFILESX' reads as $PROGRAMFILES followed by 'X'"},
      {"delete $$Foo\\$programfiles64\\$TEMP\n", ""},
      {"message $Foo\n", ""},  // a message expands no path variables
      {"writeregstr HKEY_CURRENT_USER Software\\X V D\n",
       "test.fss:3: error: unknown registry root 'HKEY_CURRENT_USER', did you mean HKCU?"},
      {"file Files\\ sub HKXX Software\\X V E 0\n", "test.fss:3: error: unknown registry root 'HKXX'"},
      {"writeregstr hkcu Software\\X V D\n", ""},
      {"language English\nmessage <LANG9>\n",
       "test.fss:4: error: <LANG9> is not a text of the language table 'English'"},
      {"language English\n@layout ui\\bad.txt\n",
       "ui/bad.txt:2: error: <LANG9> is not a text of the language table 'English'"},
      {"language English\nlanguage Short\n",
       "test.fss:4: error: the language table 'Short' has no text 16, which the setup shows itself"},
      {"uninstalllanguage Short\n",
       "test.fss:3: error: the language table 'Short' has no text 16, which the setup shows itself"},
      {"@pages ui\\Pages.txt\n",
       "test.fss:3: error: \"Pages.txt\" names the layout 'welcome.txt', which the setup does not carry"},
      {"@pages ui\\Pages.txt\n@layout ui\\welcome.txt\n@layout ui\\extra.txt\n",
       "test.fss:5: warning: no page list names the layout 'extra.txt'"},
      {"delete a b\n", "test.fss:3: error: \"delete\" takes at most 1 parameter, found 2"},
      {"uninstallpages Uninstall\n", "test.fss:3: warning: the uninstaller carries no language table"},
      {"uninstallpages Uninstall\nuninstalllanguage English\n", ""},
  };
  for (const auto& c : cases) {
    CompileResult r = Compile(dir, std::string(kHead) + c.lines);
    std::vector<std::string> shown;
    for (const Diagnostic& d : r.Diagnostics)
      if (d.Line > 0) shown.push_back(FormatDiagnostic(d));
    if (*c.message == '\0') {
      EXPECT_TRUE(shown.empty()) << c.lines << Errors(r);
      continue;
    }
    ASSERT_EQ(shown.size(), 1u) << c.lines << Errors(r);
    EXPECT_EQ(shown[0].rfind(c.message, 0), 0u) << c.lines << Errors(r);
    EXPECT_EQ(r.Ok, std::string(c.message).find(": warning: ") != std::string::npos) << c.lines;
  }
}

// "signcommand" is ferryc's own too; the command must name the file.
TEST(Compiler, SignCommandLinesNeedTheFileAndTheLastOneWins) {
  TempDir dir;
  const struct {
    const char* lines;
    const char* command;  // nullptr: an error on line 3
  } cases[] = {
      {"", ""},
      {"signcommand \"sign -in {file}\"\n", "sign -in {file}"},
      {"SIGNCOMMAND \"a {file}\"\nsigncommand \"b {file}\"\n", "b {file}"},
      {"signcommand sign\n", nullptr},
      {"signcommand sign {file}\n", nullptr},
      {"signcommand\n", nullptr},
  };
  for (const auto& c : cases) {
    CompileResult r = Compile(dir, std::string(kHead) + c.lines);
    EXPECT_EQ(r.Ok, c.command != nullptr) << c.lines << Errors(r);
    if (!c.command) {
      EXPECT_TRUE(HasError(r, 3, "signcommand takes one command")) << Errors(r);
      continue;
    }
    EXPECT_EQ(r.Setup.SignCommand, c.command);
    if (r.Setup.Lines.Lines.size() > 2) EXPECT_TRUE(IsInert(r.Setup.Lines.Lines[2])) << c.lines;
  }
}

// "compression" is ferryc's own setting: its line stays empty in the stream.
TEST(Compiler, CompressionLinesChooseTheCodecAndTheLastOneWins) {
  TempDir dir;
  const struct {
    const char* lines;
    int level;  // -1: an error on line 3
  } cases[] = {
      {"", 0},
      {"compression zstd\n", 19},
      {"COMPRESSION Zstd 7\n", 7},
      {"compression zstd 1\ncompression zlib\n", 0},
      {"compression zstd 20\n", -1},
      {"compression zstd 0\n", -1},
      {"compression zstd 3x\n", -1},
      {"compression lzma\n", -1},
      {"compression zlib 9\n", -1},
      {"compression\n", -1},
  };
  for (const auto& c : cases) {
    CompileResult r = Compile(dir, std::string(kHead) + c.lines);
    EXPECT_EQ(r.Ok, c.level >= 0) << c.lines << Errors(r);
    if (c.level < 0) {
      EXPECT_TRUE(HasError(r, 3, "compression") || HasError(r, 3, "zstd level")) << Errors(r);
      continue;
    }
    EXPECT_EQ(r.Setup.ZstdLevel, c.level) << c.lines;
    if (r.Setup.Lines.Lines.size() > 2) EXPECT_TRUE(IsInert(r.Setup.Lines.Lines[2])) << c.lines;
  }
}

TEST(Compiler, LanguageTablesComeFromTheLanguagesFolder) {
  TempDir dir;
  dir.WriteLanguage("English");
  dir.WriteLanguage("Deutsch");
  CompileResult r = Compile(dir, std::string(kHead) + "LANGUAGE english\nuninstalllanguage Deutsch\n");
  ASSERT_TRUE(r.Ok) << Errors(r);
  // The lines stay in the stream, with their command numbers.
  EXPECT_EQ(r.Setup.Lines.Lines[2].CommandNo, CommandNo("language"));
  EXPECT_EQ(r.Setup.Lines.Lines[3].CommandNo, CommandNo("uninstalllanguage"));
  ASSERT_GE(r.Setup.Entries.size(), 2u);
  EXPECT_EQ(r.Setup.Entries[0].Name, "LANGUAGE-english");
  EXPECT_EQ(r.Setup.Entries[1].Name, "UNINSTALL_LANGUAGE-Deutsch");
  EXPECT_EQ(r.Setup.Entries[0].Data[0], 0xFF);
}

TEST(Compiler, BadLanguageTablesAreRefused) {
  TempDir dir;
  dir.Write("languages/Ascii.wri", "Ascii\r\n0409\r\n1 x\r\n");
  dir.WriteLanguage("Broken", "one Hello\r\n");
  CompileResult r = Compile(dir, std::string(kHead) + "language Ascii\nlanguage Broken\nlanguage Missing\n"
                                                       "language ..\\escape\n");
  EXPECT_FALSE(r.Ok);
  EXPECT_TRUE(HasError(r, 3, "byte-order mark")) << Errors(r);
  EXPECT_TRUE(HasError(r, 4, "not a valid integer")) << Errors(r);
  EXPECT_TRUE(HasError(r, 5, "Missing.wri' not found")) << Errors(r);
  EXPECT_TRUE(HasError(r, 6, "invalid language name")) << Errors(r);
}

TEST(Compiler, DirectivesAddGroupZeroEntriesUnderTheirNames) {
  TempDir dir;
  dir.Write("ui/Pages.txt", "[Pages]\nwelcome.txt\n");
  dir.Write("ui/welcome.txt", "[A]\nType=TLabel\n");
  dir.Write("ui/side.bmp", "BM");
  dir.Write("Changes.rtf", "{\\rtf1}");
  dir.Write("ui/u.txt", "[B]\r\nType=TLabel\r\n");
  dir.WriteBytes("icon.ico", {0, 0, 1, 0, 1, 0, 32, 32, 0, 0, 1, 0, 32, 0, 0, 0, 0, 0, 22, 0, 0, 0});
  dir.Write("fin.exe", "MZ....");
  CompileResult r = Compile(dir, std::string(kHead) +
                                     "@pages ui/Pages.txt\n"
                                     "@layout ui\\welcome.txt\n"
                                     "@image UI\\SIDE.BMP side.bmp\n"
                                     "@changelog Changes.rtf Changelog\n"
                                     "@uninstall ui\\u.txt Pages.txt\n"
                                     "@icon icon.ico\n"
                                     "@finaliser fin.exe\n"
                                     "@data Changes.rtf copy.rtf\n");
  ASSERT_TRUE(r.Ok) << Errors(r);
  std::vector<std::string> names;
  for (const ArchiveSource& e : r.Setup.Entries) names.push_back(e.Name);
  EXPECT_EQ(names, (std::vector<std::string>{"Pages.txt", "welcome.txt", "side.bmp", "Changelog",
                                             "UNINSTALL_Pages.txt", "UNINSTALL_ICON.ICO", "UNINSTALL_FINALISE.EXE",
                                             "copy.rtf", "SetupInfo", "CompiledLines"}));
  // Directive lines do nothing at run time.
  for (size_t i = 2; i < 10; ++i) EXPECT_TRUE(IsInert(r.Setup.Lines.Lines[i]));
  // Text entries are split at CR by the setup: LF line ends become CR LF.
  const ArchiveSource* pages = FindEntry(r, "Pages.txt");
  ASSERT_NE(pages, nullptr);
  EXPECT_EQ(std::string(pages->Data.begin(), pages->Data.end()), "[Pages]\r\nwelcome.txt\r\n");
  EXPECT_EQ(FindEntry(r, "UNINSTALL_Pages.txt")->Data.size(), 18u);  // already CR LF: unchanged
}

TEST(Compiler, DirectiveMistakesAreErrors) {
  TempDir dir;
  dir.Write("a.txt", "x");
  dir.Write("folder/b.txt", "y");
  CompileResult r = Compile(dir, std::string(kHead) +
                                     "@layout missing.txt\n"       // 3
                                     "@layout a.txt\n"             // 4
                                     "@data a.txt A.TXT\n"         // 5: same name, other case
                                     "@icon a.txt\n"               // 6: not an icon
                                     "@image a.txt\n"              // 7: no picture extension
                                     "@data a.txt SetupInfo\n"     // 8
                                     "@data a.txt LANGUAGE-x\n"    // 9
                                     "@data folder\n"              // 10
                                     "@sound a.txt\n"              // 11
                                     "@pages a.txt extra\n");      // 12
  EXPECT_FALSE(r.Ok);
  EXPECT_TRUE(HasError(r, 3, "file not found - missing.txt")) << Errors(r);
  EXPECT_TRUE(HasError(r, 5, "already carries")) << Errors(r);
  EXPECT_TRUE(HasError(r, 6, "not an icon")) << Errors(r);
  EXPECT_TRUE(HasError(r, 7, "extension")) << Errors(r);
  EXPECT_TRUE(HasError(r, 8, "compiler itself")) << Errors(r);
  EXPECT_TRUE(HasError(r, 9, "language")) << Errors(r);
  EXPECT_TRUE(HasError(r, 10, "is a folder")) << Errors(r);
  EXPECT_TRUE(HasError(r, 11, "unknown directive")) << Errors(r);
  EXPECT_TRUE(HasError(r, 12, "takes FILE")) << Errors(r);
  EXPECT_FALSE(HasError(r, 4, "")) << Errors(r);
}

TEST(Compiler, ProductDirectivesAddTheirOwnRecordAndLeaveTheRestAsItWas) {
  TempDir dir;
  const std::string plain = std::string(kHead) + "name Demo\n\n\n\n\n";
  const std::string product = std::string(kHead) +
                              "name Demo\n"
                              "@version 1.2\n"
                              "@VERSION \"1.2.0.5 beta\"\n"  // the last one wins
                              "@publisher \"Tidewater Charts\"\n"
                              "@helpurl https://example.invalid/atlas\n";
  CompileResult a = Compile(dir, plain);
  CompileResult b = Compile(dir, product);
  ASSERT_TRUE(a.Ok && b.Ok) << Errors(a) << Errors(b);
  EXPECT_EQ(FindEntry(a, "ProductInfo"), nullptr);
  for (const char* record : {"SetupInfo", "CompiledLines"})
    EXPECT_EQ(FindEntry(a, record)->Data, FindEntry(b, record)->Data) << record;
  EXPECT_EQ(b.Setup.Entries.back().Name, "ProductInfo");
  EXPECT_EQ(ReadProductInfo(b.Setup.Entries.back().Data),
            (ProductInformation{"1.2.0.5 beta", "Tidewater Charts", "https://example.invalid/atlas"}));

  CompileResult bad = Compile(dir, std::string(kHead) +
                                       "@version beta\n"           // 3
                                       "@version 1.70000\n"        // 4
                                       "@publisher\n"              // 5
                                       "@helpurl \"\"\n");         // 6
  EXPECT_TRUE(HasError(bad, 3, "starts with up to four numbers")) << Errors(bad);
  EXPECT_TRUE(HasError(bad, 4, "starts with up to four numbers")) << Errors(bad);
  EXPECT_TRUE(HasError(bad, 5, "takes one text")) << Errors(bad);
  EXPECT_TRUE(HasError(bad, 6, "takes one text")) << Errors(bad);
  dir.Write("a.txt", "x");
  EXPECT_TRUE(HasError(Compile(dir, std::string(kHead) + "@data a.txt ProductInfo\n"), 3, "compiler itself"));
}

TEST(Compiler, MissingSourceFoldersAndLimitsAreErrors) {
  TempDir dir;
  dir.Write("plain.txt", "x");
  CompileResult r = Compile(dir, std::string(kHead) + "file NoSuchFolder\\\nfile plain.txt\nmessage " +
                                     std::string(70000, 'x') + "\n");
  EXPECT_FALSE(r.Ok);
  EXPECT_TRUE(HasError(r, 3, "source folder not found - NoSuchFolder\\")) << Errors(r);
  EXPECT_TRUE(HasError(r, 4, "not a folder")) << Errors(r);
  EXPECT_TRUE(HasError(r, 5, "65,535")) << Errors(r);
}

TEST(Compiler, MoreThan65535LinesIsAnError) {
  TempDir dir;
  std::string script = kHead;
  for (int i = 0; i < 65535; ++i) script += "; filler\n";
  CompileResult r = Compile(dir, script);
  EXPECT_FALSE(r.Ok);
  EXPECT_TRUE(HasError(r, 65536, "at most 65,535")) << Errors(r);
}

TEST(Compiler, SetupsNeedAnOutfileAndSyntaxErrorsNameTheirLine) {
  TempDir dir;
  CompileResult r = Compile(dir, "installdir C:\\x\\\nmessage \"open\n");
  EXPECT_FALSE(r.Ok);
  EXPECT_TRUE(HasError(r, 0, "outfile")) << Errors(r);
  EXPECT_TRUE(HasError(r, 2, "missing closing quote")) << Errors(r);
  EXPECT_EQ(FormatDiagnostic(r.Diagnostics[0]).rfind("test.fss:2: error: ", 0), 0u) << Errors(r);
}

TEST(Compiler, LineEndNormalisation) {
  EXPECT_EQ(NormaliseTextLineEnds({'a', '\n', 'b', '\r', '\n', '\n'}),
            (std::vector<uint8_t>{'a', '\r', '\n', 'b', '\r', '\n', '\r', '\n'}));
  EXPECT_EQ(NormaliseUtf16LineEnds({0xFF, 0xFE, 'a', 0, '\n', 0, '\r', 0, '\n', 0, 'x'}),
            (std::vector<uint8_t>{0xFF, 0xFE, 'a', 0, '\r', 0, '\n', 0, '\r', 0, '\n', 0, 'x'}));
}

TEST(Compiler, NamesThatDifferOnlyInCaseCannotShareAGroup) {
  TempDir dir;
  dir.Write("P/Read.txt", "1");
  dir.Write("P/read.txt", "2");
  size_t files = 0;
  for (const auto& e : std::filesystem::directory_iterator(dir.path() / "P")) files += e.is_regular_file();
  if (files != 2) GTEST_SKIP() << "file names ignore case here";
  CompileResult r = Compile(dir, std::string(kHead) + "file p\n");  // the folder is found ignoring case
  EXPECT_FALSE(r.Ok);
  EXPECT_TRUE(HasError(r, 3, "differ only in letter case")) << Errors(r);
}

// Payload names and "file" target folders the setup could not create on
// Windows ("Cannot write" at run time) are refused where they enter.
TEST(Compiler, NamesWindowsCannotCreateAreRefusedWhereverTheyEnter) {
  const std::string forbidden[] = {"a?b.txt", "a*b", "<",       ">",       "|",     "\"",
                                   ":",       "CON", "nul.txt", "com1.log", "dot.", "blank ",
                                   "c\x01",   std::string(256, 'x')};
  TempDir dir;
  // Lines 3 and 4 are sound: a dotted folder name, and "." for the install folder itself.
  std::string script = std::string(kHead) + "file Ok\\ extras\\v1.2\nfile Ok\\ .\n";
  std::vector<std::pair<int, std::string>> expected;  // line, name
  int line = 4;
  for (size_t i = 0; i < std::size(forbidden); ++i) {
    const std::string& name = forbidden[i];
    std::string folder = "F" + std::to_string(i);
    std::filesystem::create_directories(dir.path() / folder);
    std::ofstream(dir.path() / folder / name) << "x";
    // The host may refuse the name itself (Windows does): then only the target is tried.
    auto it = std::filesystem::directory_iterator(dir.path() / folder);
    if (it != std::filesystem::directory_iterator() && it->path().filename() == name) {
      script += "file " + folder + "\\\n";
      expected.emplace_back(++line, name);
    }
    script += "file Ok\\ " + QuoteParam("sub\\" + name) + "\n";
    expected.emplace_back(++line, name);
  }
  std::filesystem::create_directories(dir.path() / "Ok");
  std::ofstream(dir.path() / "Ok" / std::filesystem::path(u8"\u00c4rger.v1.2.txt")) << "ok";
  CompileResult r = Compile(dir, script);
  EXPECT_FALSE(r.Ok);
  for (const auto& [at, name] : expected) {
    bool found = false;
    for (const Diagnostic& d : r.Diagnostics)
      found = found || (FormatDiagnostic(d).rfind("test.fss:" + std::to_string(at) + ": error: ", 0) == 0 &&
                        d.Message.find("'" + name + "'") != std::string::npos);
    EXPECT_TRUE(found) << "line " << at << " (" << name << ")\n" << Errors(r);
  }
  EXPECT_FALSE(HasError(r, 3, "")) << Errors(r);
  EXPECT_FALSE(HasError(r, 4, "")) << Errors(r);
  EXPECT_NE(FindEntry(r, CodePageFromUtf16(u"\u00c4rger.v1.2.txt")), nullptr) << Errors(r);
}

}  // namespace
}  // namespace ferry::tool
