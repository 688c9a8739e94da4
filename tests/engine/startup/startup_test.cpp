#include "engine/startup.h"

#include <gtest/gtest.h>

#include <algorithm>

#include <map>
#include <set>

#include "formats/pak/pak_reader.h"
#include "base/dialogs.h"
#include "base/setup_error.h"
#include "base/text.h"
#include "engine/setup_context.h"
#include "engine/startup/setup_builder.h"

namespace ferry {
namespace {

using testing::BytesOf;
using testing::SetupBuilder;

class FakeEnv : public StartupEnvironment {
 public:
  uint16_t LangId = 0x0409;
  std::string OwnPath = "C:\\dl\\setup.exe";
  std::map<std::string, std::vector<uint8_t>> Files;  // archive files by path
  std::set<std::string> Existing;
  std::map<std::string, std::string> Registry;  // "root|key|value" -> data
  std::set<std::string> Keys;                   // "root|key"
  uint64_t Free = 5ull << 30;

  uint16_t DefaultLangId() override { return LangId; }
  NativePath OwnProgramPath() override { return SystemPath(OwnPath); }
  bool FileExists(const NativePath& p) override {
    return Files.count(PathText(p)) || Existing.count(PathText(p));
  }
  std::unique_ptr<RandomAccessFile> OpenArchive(const NativePath& p) override {
    auto it = Files.find(PathText(p));
    return it == Files.end() ? nullptr : std::make_unique<MemoryFile>(it->second);
  }
  std::string FindCdDrive() override { return "D:\\"; }
  std::string ProgramsDir() override { return "C:\\Start\\Programs\\"; }
  std::string ProgramFilesDir() override { return "C:\\Program Files\\"; }
  std::string SystemFolderDir(SystemFolder) override { return "\\"; }
  std::optional<std::string> ReadRegistryString(int root, const std::string& key, const std::string& value) override {
    std::string k = std::to_string(root) + "|" + key;
    if (!Keys.count(k)) return std::nullopt;
    auto it = Registry.find(k + "|" + value);
    return it == Registry.end() ? std::string() : it->second;
  }
  std::optional<uint64_t> FreeDiskBytes(const std::string& root) override {
    FreeAskedFor = root;
    return Free;
  }
  std::string FreeAskedFor;
};

class FakeView : public VerifyView {
 public:
  std::vector<std::string> Statuses;
  uint32_t Position = 0, Maximum = 0;
  uint32_t Held = 0;
  std::string ThrowAt;
  void SetStatus(const std::string& t) override {
    Statuses.push_back(t);
    if (t == ThrowAt) throw SetupError("view broke");
  }
  void SetProgress(uint32_t p, uint32_t m) override { Position = p, Maximum = m; }
  void Refresh() override {}
  void HoldAndClose(uint32_t ms) override { Held += ms; }
};

class FakeReporter : public ErrorReporter {
 public:
  std::vector<std::pair<std::string, std::string>> Reports;
  void Report(std::string_view text, std::string_view stage) override { Reports.emplace_back(text, stage); }
};

class Startup : public ::testing::Test {
 protected:
  Startup() {
    builder.AddLanguage("English", "0409;0809", u"Hello");
    builder.AddLanguage("Deutsch", "0407", u"Hallo");
    int file = builder.AddLine("file", {"$INSTDIR"});
    (void)file;
    builder.Extra.push_back({"data\\a.txt", BytesOf(std::string(3000, 'a')), 1});
    builder.Extra.push_back({"data\\b.txt", BytesOf("bb"), 1});
  }

  std::optional<int> Run(const std::string& commandLine = "setup.exe") {
    if (env.Files.empty()) env.Files[env.OwnPath] = builder.Build(BytesOf("MZ host program"));
    options = ParseStubCommandLine(commandLine);
    if (RunStartup(ctx, options, {env, dialogs, view, reporter}, state)) return std::nullopt;
    return ctx.Record.ExitCode();
  }
  std::string Message(size_t i = 0) const { return Utf16ToUtf8(dialogs.Shown().at(i).Text); }
  std::string Caption(size_t i = 0) const { return Utf16ToUtf8(dialogs.Shown().at(i).Caption); }

  SetupBuilder builder;
  FakeEnv env;
  FakeView view;
  FakeReporter reporter;
  RecordingDialogs dialogs;
  SetupContext ctx;
  StubOptions options;
  StartupState state;
};

TEST_F(Startup, GoodSetupLoadsEverythingAndCountsUp) {
  ASSERT_EQ(Run(), std::nullopt) << (dialogs.Shown().empty() ? "" : Message());
  EXPECT_TRUE(dialogs.Shown().empty());
  EXPECT_TRUE(reporter.Reports.empty());
  size_t n = state.Pak->EntryCount();
  ASSERT_EQ(n, 6u);
  EXPECT_EQ(view.Statuses.front(), "Loading Header");
  EXPECT_EQ(view.Statuses[1], "Status: 0 out of 6 files verifyed");
  EXPECT_EQ(view.Statuses.back(), "Status: 6 out of 6 files verifyed");
  EXPECT_EQ(view.Position, 6u);
  EXPECT_EQ(view.Maximum, 6u);
  EXPECT_EQ(view.Held, 500u);
  EXPECT_EQ(ctx.Pak, state.Pak.get());
  EXPECT_EQ(ctx.SetupInfo.SetupTitle, "Demo Game Patch");
  EXPECT_EQ(ctx.CompLines.Count(), 1u);
  EXPECT_EQ(ctx.Commands.Count(), kCommandCount);
  EXPECT_EQ(state.GroupKinds, (std::vector<uint8_t>{0, 0}));
  EXPECT_EQ(ctx.SpaceRequired, 3002u);  // an extracting group counts OrigSize
  EXPECT_EQ(ctx.SpaceRequiredText, "2.93 KB");
  EXPECT_EQ(ctx.Languages.Count(), 2);
  EXPECT_EQ(ctx.Languages.Current, 0);
  EXPECT_EQ(ctx.Folders.CdDrive, "D:\\");
  EXPECT_EQ(ctx.Folders.ProgramFilesDir, "C:\\Program Files\\");
  EXPECT_EQ(ctx.Folders.StartMenuProgramsDir, "C:\\Start\\Programs\\");
  EXPECT_EQ(ctx.SetupInfo.InstallDir, "C:\\Games\\Demo");
  EXPECT_EQ(env.FreeAskedFor, "C:\\");
  EXPECT_EQ(ctx.SpaceAvailableText, "5.00 GB");
  EXPECT_FALSE(state.ArchiveFromArgument);
}

TEST_F(Startup, LanguageFollowsTheSystemIdentifierElseTheFirst) {
  env.LangId = 0x0407;
  ASSERT_EQ(Run(), std::nullopt);
  EXPECT_EQ(ctx.Languages.Current, 1);
  EXPECT_EQ(ctx.Languages.GetText(1), u"Hallo");
}

TEST_F(Startup, UnknownLanguageIdentifierSelectsTheFirst) {
  env.LangId = 0x0411;
  ASSERT_EQ(Run(), std::nullopt);
  EXPECT_EQ(ctx.Languages.Current, 0);
}

TEST_F(Startup, WrongMagicFailsWithTheHeaderMessage) {
  std::vector<uint8_t> file = builder.Build(BytesOf("MZ"));
  file[file.size() - 16] = 'X';
  env.Files[env.OwnPath] = file;
  EXPECT_EQ(Run(), kExitStartupError);
  ASSERT_EQ(dialogs.Shown().size(), 1u);
  EXPECT_EQ(Message(), "Invalid Setup Header. No Contents or Corrupted Contents.");
  EXPECT_EQ(Caption(), "Error");
  EXPECT_EQ(view.Statuses, (std::vector<std::string>{"Loading Header"}));
}

TEST_F(Startup, CorruptEntryNamesItsIndexAndName) {
  std::vector<uint8_t> file = builder.Build(BytesOf("MZ"));
  file[testing::EntryOffset(file, "data\\a.txt") + 3] ^= 0x55;
  env.Files[env.OwnPath] = file;
  EXPECT_EQ(Run(), kExitStartupError);
  ASSERT_EQ(dialogs.Shown().size(), 1u);
  EXPECT_EQ(Message(), "Error: Verification Failed. Setup is corrupt.\rID: 4 Filename: data\\a.txt");
  EXPECT_EQ(Caption(), "Verification Error");
  EXPECT_EQ(view.Statuses.back(), "Status: 4 out of 6 files verifyed");
}

// An entry that unpacks to a length other than its OrigSize names both first.
TEST_F(Startup, EntryOfAnotherLengthShowsTheDecompSizeBoxFirst) {
  std::vector<uint8_t> file = builder.Build(BytesOf("MZ"));
  const std::string name = "data\\a.txt";
  // Its directory record: the name, then Checksum, Offset, CompSize, OrigSize (3000).
  auto origSize = std::find_end(file.begin(), file.end(), name.begin(), name.end()) + name.size() + 12;
  ++*origSize;
  env.Files[env.OwnPath] = file;
  EXPECT_EQ(Run(), kExitStartupError);
  ASSERT_EQ(dialogs.Shown().size(), 2u);
  EXPECT_EQ(Message(0), "data\\a.txt\r\rError: DecompSize - 3000 OrigSize - 3001");
  EXPECT_EQ(Caption(0), "Error");
  EXPECT_EQ(dialogs.Shown()[0].Buttons, DialogButtons::kOk);
  EXPECT_EQ(Message(1), "Error: Verification Failed. Setup is corrupt.\rID: 4 Filename: data\\a.txt");
}

TEST_F(Startup, EmptyEntryIsCountedButNotVerified) {
  builder.Extra.push_back({"empty.txt", {}, 1});
  ASSERT_EQ(Run(), std::nullopt) << Message();
  EXPECT_EQ(view.Statuses.back(), "Status: 7 out of 7 files verifyed");
}

TEST_F(Startup, MissingSetupInfo) {
  builder.WithSetupInfo = false;
  EXPECT_EQ(Run(), kExitStartupError);
  EXPECT_EQ(Message(), "Error: Setup Information Missing. Setup is corrupt");
  EXPECT_EQ(Caption(), "Verification Error");
}

TEST_F(Startup, MissingCompiledLines) {
  builder.WithCompiledLines = false;
  EXPECT_EQ(Run(), kExitStartupError);
  EXPECT_EQ(Message(), "Error: Compiled Lines Missing. Setup is corrupt");
  EXPECT_EQ(Caption(), "Verification Error");
}

TEST_F(Startup, UninstallModeNeedsTheInstallLog) {
  builder.Info.IsUninstaller = 1;
  builder.Info.UninstallPrefix = "demo_";
  builder.WithCompiledLines = false;
  EXPECT_EQ(Run(), kExitStartupError);
  EXPECT_EQ(Message(), "Error: install log is missing");
  EXPECT_EQ(Caption(), "Setup Error");
}

TEST_F(Startup, UninstallModeSkipsLinesSpaceAndNameChecks) {
  builder.Info.IsUninstaller = 1;
  builder.Info.UninstallPrefix = "demo_";
  builder.Info.InstallDir = "";
  builder.WithCompiledLines = false;
  env.OwnPath = "C:\\dl\\renamed(10).exe";
  env.Files[env.OwnPath] = builder.Build(BytesOf("MZ host program"));
  env.Files["\\demo_install.log"] = UninstallList().SaveToBuffer();
  ASSERT_EQ(Run(), std::nullopt) << Message();
  EXPECT_EQ(ctx.SpaceRequired, 0u);
  EXPECT_EQ(ctx.SpaceRequiredText, "0.00 Bytes");
  EXPECT_TRUE(ctx.SpaceAvailableText.empty());
  EXPECT_EQ(ctx.CompLines.Count(), 0u);
}

TEST_F(Startup, RenamedCopiesPassWithSmallNumbers) {
  env.OwnPath = "C:\\dl\\Setup(3).exe";
  EXPECT_EQ(Run(), std::nullopt);
}

TEST_F(Startup, RenamedSetupFailsWithBothNames) {
  env.OwnPath = "C:\\dl\\Setup(10).exe";
  EXPECT_EQ(Run(), kExitStartupError);
  EXPECT_EQ(Message(), "Error: Setup`s filename has been renamed\r\rExpected: \rsetup.exe\r\rFound: \rSetup(10).exe");
  EXPECT_EQ(Caption(), "Error");
}

TEST_F(Startup, ArchiveArgumentTurnsTheNameCheckOff) {
  env.OwnPath = "C:\\dl\\stub(10).exe";
  env.Files["C:\\other\\game.exe"] = builder.Build(BytesOf("MZ other"));
  env.Files[env.OwnPath] = BytesOf("no archive here at all");
  EXPECT_EQ(Run("stub.exe C:\\other\\game.exe"), std::nullopt);
  EXPECT_TRUE(state.ArchiveFromArgument);
  EXPECT_EQ(PathText(state.ArchivePath), "C:\\other\\game.exe");
}

TEST_F(Startup, ArgumentThatIsNoFileMeansTheOwnArchiveAndTheCheck) {
  env.OwnPath = "C:\\dl\\stub(10).exe";
  EXPECT_EQ(Run("stub.exe C:\\no\\such.exe"), kExitStartupError);
  EXPECT_FALSE(state.ArchiveFromArgument);
  EXPECT_EQ(Caption(), "Error");
  EXPECT_NE(Message().find("renamed"), std::string::npos);
}

TEST_F(Startup, RegistryValueReplacesTheInstallDir) {
  builder.Info.InstallDirRegKey = {1, "Software\\Demo", "Path"};
  env.Keys.insert("1|Software\\Demo");
  env.Registry["1|Software\\Demo|Path"] = "E:\\Demo";
  ASSERT_EQ(Run(), std::nullopt);
  EXPECT_EQ(ctx.SetupInfo.InstallDir, "E:\\Demo");
  EXPECT_EQ(env.FreeAskedFor, "E:\\");
}

TEST_F(Startup, OpenKeyWithoutTheValueFails) {
  builder.Info.InstallDirRegKey = {1, "Software\\Demo", "Path"};
  env.Keys.insert("1|Software\\Demo");
  EXPECT_EQ(Run(), kExitStartupError);
  EXPECT_EQ(Message(), "Error: Registry Key Not Found. Please Install Software");
  EXPECT_EQ(Caption(), "Error");
}

TEST_F(Startup, MissingKeyKeepsTheStoredDirWithoutFreeSpace) {
  builder.Info.InstallDirRegKey = {0, "Software\\Demo", "Path"};
  ASSERT_EQ(Run(), std::nullopt);
  EXPECT_EQ(ctx.SetupInfo.InstallDir, "C:\\Games\\Demo");
  EXPECT_TRUE(ctx.SpaceAvailableText.empty());
  EXPECT_TRUE(env.FreeAskedFor.empty());
}

TEST_F(Startup, MissingKeyAndNoStoredDirFails) {
  builder.Info.InstallDirRegKey = {0, "Software\\Demo", "Path"};
  builder.Info.InstallDir = "";
  EXPECT_EQ(Run(), kExitStartupError);
  EXPECT_EQ(Message(), "Error: Registry Key Not Found. Please Install Software");
}

TEST_F(Startup, NoValueNameAndNoDirFails) {
  builder.Info.InstallDir = "";
  EXPECT_EQ(Run(), kExitStartupError);
  EXPECT_EQ(Message(), "Error: Registry Key Not Found. Please Install Software");
}

TEST_F(Startup, CommandLineFolderWinsOverTheRegistry) {
  builder.Info.InstallDirRegKey = {1, "Software\\Demo", "Path"};
  builder.Info.InstallDir = "";
  ASSERT_EQ(Run("setup.exe /S /D=F:\\My Games\\Demo"), std::nullopt) << Message();
  EXPECT_EQ(ctx.SetupInfo.InstallDir, "F:\\My Games\\Demo");
  EXPECT_EQ(env.FreeAskedFor, "F:\\");
}

// The command line is UTF-8; the folder must become 8-bit, whole.
TEST_F(Startup, CommandLineFolderInTheCodePage) {
  ASSERT_EQ(Run("setup.exe /S /D=C:\\Caf\xC3\xA9"), std::nullopt) << Message();
  EXPECT_EQ(ctx.SetupInfo.InstallDir, "C:\\Caf\xE9");
}

TEST_F(Startup, CommandLineFolderTheCodePageCannotHoldIsRefused) {
  const std::string folder = "C:\\\xE4\xB8\x8B\xE8\xBD\xBD folder";
  EXPECT_EQ(Run("setup.exe /S /D=" + folder), kExitStartupError);
  ASSERT_EQ(dialogs.Shown().size(), 1u);
  EXPECT_NE(Message().find("\"" + folder + "\" cannot be used"), std::string::npos) << Message();
  EXPECT_EQ(ctx.SetupInfo.InstallDir, "C:\\Games\\Demo");  // the stored folder, untouched
}

TEST_F(Startup, BrokenLanguageFileIsReportedWithoutStage) {
  builder.Extra.push_back({"LANGUAGE-Broken", BytesOf("\xFF\xFEx"), 0});
  EXPECT_EQ(Run(), kExitStartupError);
  ASSERT_EQ(reporter.Reports.size(), 1u);
  EXPECT_EQ(reporter.Reports[0].second, "");
  EXPECT_TRUE(dialogs.Shown().empty());
}

TEST_F(Startup, VerificationStageErrorIsReportedAndLoadingGoesOn) {
  view.ThrowAt = "Status: 2 out of 6 files verifyed";
  ASSERT_EQ(Run(), std::nullopt);
  ASSERT_EQ(reporter.Reports.size(), 1u);
  EXPECT_EQ(reporter.Reports[0], (std::pair<std::string, std::string>{"view broke", "Verification Stage"}));
  EXPECT_EQ(ctx.SetupInfo.SetupTitle, "Demo Game Patch");
}

TEST(StartupSpace, UpdatingGroupsCountStoredBytes) {
  SetupBuilder b;
  b.Extra.push_back({"x.bin", std::vector<uint8_t>(10000, 0), 1});  // compresses well
  b.Extra.push_back({"y.bin", BytesOf("q"), 1});                       // stored as is
  b.Extra.push_back({"z.bin", BytesOf("zzzz"), 2});                    // group without a line
  MemoryFile file(b.Build());
  PakReader pak(file);
  uint32_t comp = pak.Files()[2].CompSize;
  ASSERT_GT(comp, 0u);
  EXPECT_EQ(PayloadSpace(pak, {0, 1}), comp + 1u);
  EXPECT_EQ(PayloadSpace(pak, {0, 0}), 10001u);
  EXPECT_EQ(PayloadSpace(pak, {0}), 0u);
}

TEST(StartupNames, FileNamePartAndMatch) {
  EXPECT_EQ(FileNamePart("C:\\a\\b\\Setup.EXE"), "Setup.EXE");
  EXPECT_EQ(FileNamePart("plain.exe"), "plain.exe");
  EXPECT_TRUE(OwnNameMatches("C:\\x\\SETUP[1].exe", "setup.exe"));
  EXPECT_TRUE(OwnNameMatches("C:\\x\\setup().exe", "C:\\build\\setup.exe"));
  EXPECT_FALSE(OwnNameMatches("C:\\x\\setup(0).exe", "setup.exe"));
  EXPECT_FALSE(OwnNameMatches("C:\\x\\setup (copy).exe", "setup.exe"));
}

}  // namespace
}  // namespace ferry
