#include "engine/startup.h"

#include <gtest/gtest.h>

#include <algorithm>

#include <map>
#include <set>

#include "formats/pak/pak_reader.h"
#include "base/dialogs.h"
#include "base/setup_error.h"
#include "base/text.h"
#include "engine/elevated_run.h"
#include "engine/product_identity.h"
#include "engine/setup_context.h"
#include "formats/setup/product_info.h"
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
  bool IsElevated() override { return Elevated; }
  std::string FreeAskedFor;
  bool Elevated = true;
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

// Recording dialogs that say whether they answer themselves (a silent run).
class SilentAnswering : public Dialogs {
 public:
  SilentAnswering(RecordingDialogs& inner, bool silent) : inner_(inner), silent_(silent) {}
  DialogAnswer Show(std::string_view t, std::string_view c, DialogButtons b, DialogIcon i) override {
    return inner_.Show(t, c, b, i);
  }
  DialogAnswer ShowUnicode(std::u16string_view t, std::u16string_view c, DialogButtons b, DialogIcon i) override {
    return inner_.ShowUnicode(t, c, b, i);
  }
  bool AnswersItself() const override { return silent_; }

 private:
  RecordingDialogs& inner_;
  bool silent_;
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

// The product's registration names where it is installed: that wins over
// installdirregkey, and /D= over both.
TEST_F(Startup, AnInstalledProductIsFoundByItsRegistration) {
  const std::string key = std::string(kUninstallRegistryKey) + "Demo";
  builder.Info.InstallDirRegKey = {1, "Software\\Demo", "Path"};
  env.Keys = {"1|Software\\Demo", "0|" + key};
  env.Registry["1|Software\\Demo|Path"] = "E:\\Old";
  env.Registry["0|" + key + "|InstallLocation"] = "F:\\Demo";
  ASSERT_EQ(Run(), std::nullopt);
  EXPECT_EQ(ctx.SetupInfo.InstallDir, "F:\\Demo");
  EXPECT_EQ(env.FreeAskedFor, "F:\\");
}

TEST_F(Startup, CommandLineFolderWinsOverTheInstalledOne) {
  const std::string key = std::string(kUninstallRegistryKey) + "Demo";
  env.Keys = {"0|" + key};
  env.Registry["0|" + key + "|InstallLocation"] = "F:\\Demo";
  ASSERT_EQ(Run("setup.exe /S /D=G:\\Elsewhere"), std::nullopt);
  EXPECT_EQ(ctx.SetupInfo.InstallDir, "G:\\Elsewhere");
}

TEST_F(Startup, WhomAnEitherSetupInstallsFor) {
  struct Case {
    const char* commandLine;
    const char* installedRoot;  // "0" HKLM, "1" HKCU, "" not installed
    bool elevated;
    DialogAnswer answer;  // the wizard's question, when it is asked
    bool forUser;
    bool asked;
    bool needsElevation;
  } cases[] = {
      {"setup.exe /S /CURRENTUSER", "", false, DialogAnswer::kYes, true, false, false},
      {"setup.exe /S /ALLUSERS", "", true, DialogAnswer::kYes, false, false, false},
      {"setup.exe /S /ALLUSERS", "", false, DialogAnswer::kYes, false, false, true},
      {"setup.exe /S /ELEVATED /ALLUSERS", "", false, DialogAnswer::kYes, false, false, false},
      {"setup.exe /S", "", false, DialogAnswer::kYes, true, false, false},  // silent: the rights decide
      {"setup.exe /S", "", true, DialogAnswer::kYes, false, false, false},
      {"setup.exe", "", true, DialogAnswer::kNo, true, true, false},
      {"setup.exe", "", false, DialogAnswer::kYes, false, true, true},
      // Installed: where it is, unasked.
      {"setup.exe", "1", true, DialogAnswer::kNo, true, false, false},
      {"setup.exe /S", "0", true, DialogAnswer::kNo, false, false, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.commandLine) + (c.elevated ? " elevated" : ""));
    SetupBuilder b;
    b.Info.InstallDir = "$PROGRAMFILES\\Demo\\";
    b.Extra.push_back({kProductInfoEntry, WriteProductInfo({.Scope = InstallScope::kEither}), 0});
    FakeEnv e;
    e.Elevated = c.elevated;
    const std::string key = std::string(kUninstallRegistryKey) + "Demo";
    if (*c.installedRoot) {
      e.Keys.insert(std::string(c.installedRoot) + "|" + key);
      e.Registry[std::string(c.installedRoot) + "|" + key + "|InstallLocation"] = "F:\\Demo";
    }
    e.Files[e.OwnPath] = b.Build(BytesOf("MZ"));
    RecordingDialogs asked(c.answer);
    SetupContext context;
    StartupState st;
    const StubOptions o = ParseStubCommandLine(c.commandLine);
    const bool silent = o.Silent;
    SilentAnswering answering(asked, silent);
    RunStartup(context, o, {e, answering, view, reporter}, st);
    EXPECT_EQ(context.InstallForUser, c.forUser);
    EXPECT_EQ(asked.Shown().size(), c.asked ? 1u : 0u);
    EXPECT_EQ(st.NeedsElevation, c.needsElevation);
    if (!c.needsElevation && !*c.installedRoot)
      EXPECT_EQ(context.SetupInfo.InstallDir, c.forUser ? "$USERPROGRAMFILES\\Demo\\" : "$PROGRAMFILES\\Demo\\");
    if (*c.installedRoot) EXPECT_EQ(context.SetupInfo.InstallDir, "F:\\Demo");
  }
}

// An "either" setup, installed for the user ("1"), the machine ("0") or not
// at all (""), its pages with a Scope page or without.
struct EitherRun {
  FakeEnv Env;
  RecordingDialogs Asked{DialogAnswer::kYes};
  SetupContext Context;
  StartupState State;
  bool Ready = false;

  EitherRun(const char* commandLine, const char* installedRoot, bool scopePage, bool elevated = false) {
    SetupBuilder b;
    b.Info.InstallDir = "$PROGRAMFILES\\Demo\\";
    b.Extra.push_back({kProductInfoEntry, WriteProductInfo({.Scope = InstallScope::kEither}), 0});
    if (scopePage)
      b.Extra.push_back({"Pages.txt", BytesOf("[Pages]\r\na.txt\r\nb.txt\r\n[PageTypes]\r\nWelcome\r\nScope\r\n"), 0});
    Env.Elevated = elevated;
    const std::string key = std::string(kUninstallRegistryKey) + "Demo";
    if (*installedRoot) {
      Env.Keys.insert(std::string(installedRoot) + "|" + key);
      Env.Registry[std::string(installedRoot) + "|" + key + "|InstallLocation"] = "F:\\Demo";
    }
    Env.Files[Env.OwnPath] = b.Build(BytesOf("MZ"));
    const StubOptions o = ParseStubCommandLine(commandLine);
    SilentAnswering answering(Asked, o.Silent);
    FakeView view;
    FakeReporter reporter;
    Ready = RunStartup(Context, o, {Env, answering, view, reporter}, State);
  }
};

// A switch against where the product is installed would leave it
// registered twice: refused before anything (elevation included) happens.
TEST_F(Startup, ASwitchAgainstWhereItIsInstalledIsRefused) {
  struct Case {
    const char* commandLine;
    const char* installedRoot;
    const char* named;
  } cases[] = {
      {"setup.exe /S /ALLUSERS", "1", "is installed for one user"},
      {"setup.exe /CURRENTUSER", "0", "is installed for everyone on this computer"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.commandLine);
    EitherRun run(c.commandLine, c.installedRoot, false);
    EXPECT_FALSE(run.Ready);
    EXPECT_FALSE(run.State.NeedsElevation);
    EXPECT_EQ(run.Context.Record.ExitCode(), kExitInstalledElsewhere);
    ASSERT_EQ(run.Asked.Shown().size(), 1u);
    const std::string message = Utf16ToUtf8(run.Asked.Shown()[0].Text);
    EXPECT_NE(message.find(c.named), std::string::npos) << message;
    EXPECT_NE(message.find("uninstall it first"), std::string::npos) << message;
  }
}

// With a Scope page the wizard picks: no box, no elevation yet, the folder
// left for the page to move. Without one (a setup made before the page
// existed) the box asks.
TEST_F(Startup, AScopePageLeavesTheChoiceToTheWizard) {
  EitherRun paged("setup.exe", "", true);
  EXPECT_TRUE(paged.Ready);
  EXPECT_TRUE(paged.Context.ScopeChoiceOpen);
  EXPECT_TRUE(paged.Context.InstallForUser);
  EXPECT_FALSE(paged.State.NeedsElevation);
  EXPECT_TRUE(paged.Asked.Shown().empty());
  EXPECT_EQ(paged.Context.SetupInfo.InstallDir, "$PROGRAMFILES\\Demo\\");

  EitherRun boxed("setup.exe", "", false, true);
  EXPECT_FALSE(boxed.Context.ScopeChoiceOpen);
  ASSERT_EQ(boxed.Asked.Shown().size(), 1u);
  EXPECT_NE(boxed.Asked.Shown()[0].Text.find(u"for everyone on this computer?"), std::u16string::npos);

  // A silent run and an installed product leave nothing open.
  EXPECT_FALSE(EitherRun("setup.exe /S", "", true).Context.ScopeChoiceOpen);
  EXPECT_FALSE(EitherRun("setup.exe", "1", true).Context.ScopeChoiceOpen);
}

// Wine gives every process administrator rights, so the elevated relaunch
// is exercised here: start-up told "not elevated", then a relaunch that
// records what it was given and accepts or declines the prompt.
class FakeElevation : public Elevation {
 public:
  std::optional<int> Answer;  // none: the prompt was declined
  std::vector<std::string> Started;
  std::optional<int> RunElevatedCopy(const std::string& parameters) override {
    Started.push_back(parameters);
    return Answer;
  }
};

TEST_F(Startup, AMachineRunWithoutTheRightsGoesToTheElevatedCopy) {
  struct Case {
    std::optional<int> answer;
    int exitCode;
  } cases[] = {{0, 0}, {1638, 1638}, {std::nullopt, kExitCancelled}};
  for (const Case& c : cases) {
    const char* line = "\"C:\\dl\\either.exe\" /S /LOG=x.log /ALLUSERS /D=C:\\Pro gram";
    EitherRun run(line, "", false);
    ASSERT_TRUE(run.State.NeedsElevation);
    FakeElevation elevation;
    elevation.Answer = c.answer;
    RecordingDialogs shown;
    EXPECT_EQ(RunForEveryone(elevation, line, shown, run.Context.Languages), c.exitCode);
    EXPECT_EQ(elevation.Started, std::vector<std::string>{"/ELEVATED /ALLUSERS /S /LOG=x.log /ALLUSERS /D=C:\\Pro gram"});
    // Only a declined prompt is said, and the run changed nothing.
    EXPECT_EQ(shown.Shown().size(), c.answer ? 0u : 1u);
    if (!c.answer) {
      EXPECT_NE(shown.Shown()[0].Text.find(u"Nothing was changed."), std::u16string::npos);
    }
  }
  EXPECT_EQ(ElevatedParameters("either.exe"), "/ELEVATED /ALLUSERS");
  // An uninstaller's declined prompt speaks of removing.
  FakeElevation declined;
  RecordingDialogs shown;
  EitherRun run("either.exe", "", false);
  EXPECT_EQ(RunForEveryone(declined, "either.exe", shown, run.Context.Languages, ElevatedWork::kRemove), kExitCancelled);
  ASSERT_EQ(shown.Shown().size(), 1u);
  EXPECT_NE(shown.Shown()[0].Text.find(u"Nothing was removed."), std::u16string::npos);
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
