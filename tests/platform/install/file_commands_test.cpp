#include <gtest/gtest.h>
#include <windows.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include "engine/commands/command_runtime.h"
#include "platform/registry.h"
#include "platform/win_file_system.h"
#include "platform/win_text.h"
#include "platform/install/install_test_support.h"

namespace ferry {
namespace {

using testing::InstallFixture;
using testing::ReadText;
using testing::WriteText;

std::vector<std::string> Strings(std::initializer_list<const char*> items) {
  return std::vector<std::string>(items.begin(), items.end());
}

// ---- file ----------------------------------------------------------------

class FileCommandTest : public ::testing::Test {
 protected:
  FileCommandTest() : f_("filecmd") {
    f_.SetPayload({{"readme.txt", "read me", 1},
                   {"maps\\coast.map", "coast", 1},
                   {"tides.tbl", "tides", 2},
                   {"old.map", "old", 3}});
  }
  InstallFixture f_;
};

TEST_F(FileCommandTest, GroupOnlyExtractsIntoTheInstallDirectoryAndLogsEveryFileAndNewFolder) {
  f_.Run("file", Strings({"Files\\", "1"}));
  EXPECT_EQ(ReadText(f_.InstallDir() + "readme.txt"), "read me");
  EXPECT_EQ(ReadText(f_.InstallDir() + "maps\\coast.map"), "coast");
  EXPECT_FALSE(FileExists(f_.InstallDir() + "tides.tbl"));
  EXPECT_EQ(f_.ctx.InstallLog.Files(), Strings({"$INSTDIR\\readme.txt", "$INSTDIR\\maps\\coast.map"}));
  EXPECT_EQ(f_.ctx.InstallLog.Directories(), (std::vector<std::string>{f_.InstallDir(), f_.InstallDir() + "maps\\"}));
  EXPECT_EQ(f_.sinks.status,
            (std::vector<std::u16string>{u"Extracting readme.txt", u"Extracting maps\\coast.map"}));
  EXPECT_EQ(f_.sinks.positions, (std::vector<int32_t>{1, 2}));
  EXPECT_TRUE(f_.ctx.Record.FilesNotWritten().empty());
}

// A large entry is copied in chunks, the status line naming the bytes done.
TEST(FileCommandLargeEntry, TheStatusLineCountsTheCopiedBytes) {
  InstallFixture f("filecmd-large");
  f.SetPayload({{"big.dat", std::string(kLargeEntryThreshold, 'x'), 1}});
  f.Run("file", Strings({"Files\\", "1"}));
  EXPECT_EQ(f.sinks.status, (std::vector<std::u16string>{u"Extracting big.dat",
                                                        u"Extracting big.dat - 0.00 Bytes / 70.00 MB",
                                                        u"Extracting big.dat - 25.00 MB / 70.00 MB",
                                                        u"Extracting big.dat - 50.00 MB / 70.00 MB"}));
  EXPECT_EQ(std::filesystem::file_size(AnsiToWide(f.InstallDir() + "big.dat")), kLargeEntryThreshold);
}

TEST_F(FileCommandTest, ASubfolderIsCreatedBelowTheInstallDirectoryAndLogged) {
  f_.Run("file", Strings({"Data\\", "bin", "2"}));
  EXPECT_EQ(ReadText(f_.InstallDir() + "bin\\tides.tbl"), "tides");
  EXPECT_EQ(f_.ctx.InstallLog.Directories(), (std::vector<std::string>{f_.InstallDir(), f_.InstallDir() + "bin\\"}));
  ASSERT_EQ(f_.ctx.InstallLog.Files().size(), 1u);
  // Folded at the install directory, which ends in a backslash itself.
  EXPECT_EQ(f_.ctx.InstallLog.Files()[0], "$INSTDIRbin\\\\tides.tbl");
  EXPECT_EQ(f_.ctx.ExpandPathVars(f_.ctx.InstallLog.Files()[0]), f_.InstallDir() + "bin\\tides.tbl");
}

TEST_F(FileCommandTest, ASubfolderThatClimbsOutIsRefusedAndReported) {
  for (const char* bad : {"..\\outside", "bin\\..\\..\\x", "C:\\Windows", "\\root"}) {
    f_.Run("file", Strings({"Data\\", bad, "2"}));
  }
  EXPECT_FALSE(FileExists(f_.Temp() + "outside\\tides.tbl"));
  EXPECT_FALSE(FileExists(f_.Temp() + "x\\tides.tbl"));
  EXPECT_FALSE(DirectoryExists(f_.InstallDir()));
  EXPECT_EQ(f_.ctx.Record.FilesNotWritten().size(), 4u);
  EXPECT_TRUE(f_.ctx.InstallLog.Files().empty());
}

TEST_F(FileCommandTest, FiveParametersShowTheCountMessageAndExtractNothing) {
  f_.Run("file", Strings({"Data\\", "bin", "HKCU", "Software\\X", "2"}));
  ASSERT_EQ(f_.dialogs.Shown().size(), 1u);
  EXPECT_EQ(f_.dialogs.Shown()[0].Text, u"TFileCommand.SFXProcess - Param Count Invalid!!!");
  EXPECT_EQ(f_.dialogs.Shown()[0].Caption, u"Error");
  EXPECT_EQ(f_.dialogs.Shown()[0].Buttons, DialogButtons::kOk);
  EXPECT_FALSE(DirectoryExists(f_.InstallDir()));
}

// Whether the read-only attribute stops a write here (not for root under Wine).
bool ReadOnlyStopsWrites(const std::string& dir) {
  std::string probe = dir + "probe.txt";
  WriteFileCreatingDirs(probe, {}, nullptr);
  SetFileAttributesOf(probe, FILE_ATTRIBUTE_READONLY);
  bool stops = !WriteFileCreatingDirs(probe, testing::Bytes("x"), nullptr);
  SetFileAttributesOf(probe, FILE_ATTRIBUTE_NORMAL);
  DeleteFileAt(probe);
  return stops;
}

TEST_F(FileCommandTest, AFileThatCannotBeWrittenIsReportedAndTheRestIsWritten) {
  if (!ReadOnlyStopsWrites(f_.Temp())) GTEST_SKIP() << "read-only files can be written here";
  WriteText(f_.InstallDir() + "readme.txt", "older");
  ASSERT_TRUE(SetFileAttributesOf(f_.InstallDir() + "readme.txt", FILE_ATTRIBUTE_READONLY));
  f_.Run("file", Strings({"Files\\", "1"}));
  EXPECT_EQ(ReadText(f_.InstallDir() + "readme.txt"), "older");
  EXPECT_EQ(ReadText(f_.InstallDir() + "maps\\coast.map"), "coast");
  auto failures = f_.ctx.Record.FilesNotWritten();
  ASSERT_EQ(failures.size(), 1u);
  EXPECT_EQ(failures[0].Path, f_.InstallDir() + "\\readme.txt");
  ASSERT_EQ(f_.sinks.problems.size(), 1u);
  EXPECT_NE(f_.sinks.problems[0].find("readme.txt"), std::string::npos);
  EXPECT_EQ(f_.sinks.positions, (std::vector<int32_t>{1, 2}));  // the gauge still steps
  SetFileAttributesOf(f_.InstallDir() + "readme.txt", FILE_ATTRIBUTE_NORMAL);
}

TEST_F(FileCommandTest, AFolderWhereAFileShouldGoIsReported) {
  ASSERT_TRUE(CreateDirectoryAt(f_.InstallDir()));
  ASSERT_TRUE(CreateDirectoryAt(f_.InstallDir() + "readme.txt"));
  f_.Run("file", Strings({"Files\\", "1"}));
  auto failures = f_.ctx.Record.FilesNotWritten();
  ASSERT_EQ(failures.size(), 1u);
  EXPECT_EQ(failures[0].Path, f_.InstallDir() + "readme.txt");  // one separator, as the user writes it
  EXPECT_EQ(ReadText(f_.InstallDir() + "maps\\coast.map"), "coast");
  EXPECT_EQ(f_.sinks.positions, (std::vector<int32_t>{1, 2}));  // the gauge still steps
}

TEST_F(FileCommandTest, AFileHeldOpenByAnotherProgramIsReported) {
  WriteText(f_.InstallDir() + "maps\\coast.map", "older");
  HANDLE lock = CreateFileW(AnsiToWide(f_.InstallDir() + "maps\\coast.map").c_str(), GENERIC_READ, 0, nullptr,
                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(lock, INVALID_HANDLE_VALUE);
  f_.Run("file", Strings({"Files\\", "1"}));
  CloseHandle(lock);
  auto failures = f_.ctx.Record.FilesNotWritten();
  ASSERT_EQ(failures.size(), 1u);
  EXPECT_NE(failures[0].Path.find("coast.map"), std::string::npos);
  EXPECT_EQ(ReadText(f_.InstallDir() + "readme.txt"), "read me");
}

class FileConditionTest : public FileCommandTest {
 protected:
  FileConditionTest() { key_ = "Software\\FerryInstallTest\\" + std::to_string(GetCurrentProcessId()); }
  ~FileConditionTest() override { DeleteRegKey(HKEY_CURRENT_USER, "Software\\FerryInstallTest"); }

  // Runs the eight-parameter form; whether group 3 was extracted.
  bool Extracts(const std::string& expected, const std::string& negate) {
    std::string target = f_.InstallDir() + "legacy\\old.map";
    DeleteFileAt(target);
    f_.Run("file", {"Legacy\\", "legacy", "HKCU", key_, "Skip", expected, negate, "3"});
    return FileExists(target);
  }
  void SetValue(const std::string& value) {
    RegKey k = RegKey::Open(HKEY_CURRENT_USER, key_, true);
    ASSERT_TRUE(k.WriteString("Skip", value));
  }
  std::string key_;
};

TEST_F(FileConditionTest, AMissingKeyIsCreatedAndReadsEmpty) {
  ASSERT_FALSE(RegKeyExists(HKEY_CURRENT_USER, key_));
  EXPECT_TRUE(Extracts("", "1"));
  EXPECT_TRUE(RegKeyExists(HKEY_CURRENT_USER, key_));
  EXPECT_EQ(f_.ctx.InstallLog.Directories().back(), f_.InstallDir() + "legacy\\");
}

TEST_F(FileConditionTest, EmptyExpectedExtractsUnlessNegated) {
  EXPECT_TRUE(Extracts("", "1"));
  EXPECT_TRUE(Extracts("", "true"));
  EXPECT_TRUE(Extracts("", ""));
  EXPECT_FALSE(Extracts("", "0"));
  EXPECT_FALSE(Extracts("", "false"));
  EXPECT_FALSE(Extracts("", "F"));
}

TEST_F(FileConditionTest, ASetValueComparesExactly) {
  SetValue("yes");
  EXPECT_FALSE(Extracts("", "1"));
  EXPECT_TRUE(Extracts("", "f"));
  EXPECT_TRUE(Extracts("yes", "1"));
  EXPECT_FALSE(Extracts("YES", "1"));  // case matters
  EXPECT_FALSE(Extracts("yes", "FALSE"));
}

// ---- copyfile, rename, delete ------------------------------------------

TEST(CopyFileCommand, CopiesCreatingAndLoggingTheTargetFolders) {
  InstallFixture f("copyfile");
  WriteText(f.Temp() + "src\\a.dat", "payload");
  f.Run("copyfile", {f.Temp() + "src\\a.dat", "$INSTDIR\\copies\\deep\\a.dat"});
  EXPECT_EQ(ReadText(f.InstallDir() + "copies\\deep\\a.dat"), "payload");
  EXPECT_EQ(f.ctx.InstallLog.Directories(),
            (std::vector<std::string>{f.InstallDir(), f.InstallDir() + "copies\\", f.InstallDir() + "copies\\deep\\"}));
  // The expanded target, folded at the install directory (which ends in a backslash).
  EXPECT_EQ(f.ctx.InstallLog.Files(), Strings({"$INSTDIRcopies\\deep\\a.dat"}));
  EXPECT_EQ(f.sinks.status, (std::vector<std::u16string>{u"Copying File a.dat"}));
  // Overwrites an existing target.
  WriteText(f.Temp() + "src\\a.dat", "newer");
  f.Run("copyfile", {f.Temp() + "src\\a.dat", "$INSTDIR\\copies\\deep\\a.dat"});
  EXPECT_EQ(ReadText(f.InstallDir() + "copies\\deep\\a.dat"), "newer");
  EXPECT_EQ(f.ctx.InstallLog.Files().size(), 1u);
  EXPECT_TRUE(f.ctx.Record.FilesNotWritten().empty());
}

TEST(CopyFileCommand, AMissingSourceIsNotedAndTheTargetStillLogged) {
  InstallFixture f("copymissing");
  f.Run("copyfile", {f.Temp() + "nothing.dat", "$INSTDIR\\x.dat"});
  EXPECT_FALSE(FileExists(f.InstallDir() + "x.dat"));
  EXPECT_EQ(f.ctx.InstallLog.Files(), Strings({"$INSTDIRx.dat"}));
  EXPECT_EQ(f.sinks.problems.size(), 1u);
  EXPECT_TRUE(f.ctx.Record.FilesNotWritten().empty());
}

TEST(CopyFileCommand, AnUnwritableTargetIsAFailedFile) {
  InstallFixture f("copyro");
  WriteText(f.Temp() + "a.dat", "new");
  WriteText(f.InstallDir() + "a.dat", "old");
  HANDLE lock = CreateFileW(AnsiToWide(f.InstallDir() + "a.dat").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(lock, INVALID_HANDLE_VALUE);
  f.Run("copyfile", {f.Temp() + "a.dat", "$INSTDIR\\a.dat"});
  CloseHandle(lock);
  EXPECT_EQ(ReadText(f.InstallDir() + "a.dat"), "old");
  EXPECT_EQ(f.ctx.Record.FilesNotWritten().size(), 1u);
}

TEST(RenameCommand, MovesAFileAndStoresTheExpandedPaths) {
  InstallFixture f("rename");
  WriteText(f.InstallDir() + "old.txt", "x");
  int line = f.Line("rename", {"$INSTDIR\\old.txt", "$instdir\\new.txt"});
  f.RunLine(line);
  EXPECT_FALSE(FileExists(f.InstallDir() + "old.txt"));
  EXPECT_EQ(ReadText(f.InstallDir() + "new.txt"), "x");
  EXPECT_EQ(f.ctx.CompLines.Lines[line].Param(1), f.InstallDir() + "old.txt");
  EXPECT_EQ(f.ctx.CompLines.Lines[line].Param(2), f.InstallDir() + "new.txt");
  EXPECT_TRUE(f.ctx.InstallLog.Files().empty());
}

TEST(RenameCommand, ToAnExistingFileLeavesBothAsTheyWere) {
  InstallFixture f("renameexists");
  WriteText(f.InstallDir() + "a.txt", "a");
  WriteText(f.InstallDir() + "b.txt", "b");
  f.Run("rename", {"$INSTDIR\\a.txt", "$INSTDIR\\b.txt"});
  EXPECT_EQ(ReadText(f.InstallDir() + "a.txt"), "a");
  EXPECT_EQ(ReadText(f.InstallDir() + "b.txt"), "b");
  EXPECT_EQ(f.ctx.Record.ExitCode(), kExitIncomplete);  // a step not done
}

TEST(DeleteAndRenameCommands, AFileInUseFailsTheRunAndStays) {
  for (const std::string keyword : {"delete", "rename"}) {
    InstallFixture f("inuse" + keyword);
    WriteText(f.InstallDir() + "held.txt", "h");
    HANDLE hold = CreateFileW(AnsiToWide(f.InstallDir() + "held.txt").c_str(), GENERIC_READ, 0, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(hold, INVALID_HANDLE_VALUE);
    f.Run(keyword, {"$INSTDIR\\held.txt", "$INSTDIR\\moved.txt"});
    CloseHandle(hold);
    EXPECT_EQ(ReadText(f.InstallDir() + "held.txt"), "h") << keyword;
    const auto failed = f.ctx.Record.FilesNotWritten();
    ASSERT_EQ(failed.size(), 1u) << keyword;
    EXPECT_EQ(failed[0].Path, f.InstallDir() + "held.txt");
    EXPECT_EQ(f.ctx.Record.ExitCode(), kExitFailed);
  }
}

TEST(DeleteCommand, DeletesAFileButNotAFolder) {
  InstallFixture f("delete");
  WriteText(f.InstallDir() + "gone.txt", "x");
  ASSERT_TRUE(CreateDirectoryAt(f.InstallDir() + "folder"));
  f.Run("delete", {"$INSTDIR\\gone.txt"});
  f.Run("delete", {"$INSTDIR\\folder"});
  f.Run("delete", {"$INSTDIR\\never.txt"});
  EXPECT_FALSE(FileExists(f.InstallDir() + "gone.txt"));
  EXPECT_TRUE(DirectoryExists(f.InstallDir() + "folder"));
}

// ---- rmdir, createdirectory -----------------------------------------------

TEST(RmDirCommand, ClearsTheWholeTree) {
  InstallFixture f("rmdir");
  WriteText(f.InstallDir() + "cache\\a.txt", "a");
  WriteText(f.InstallDir() + "cache\\sub\\b.txt", "b");
  WriteText(f.InstallDir() + "cache\\sub\\deeper\\c.txt", "c");
  ASSERT_TRUE(CreateDirectoryAt(f.InstallDir() + "cache\\empty"));
  WriteText(f.InstallDir() + "keep.txt", "k");
  f.Run("rmdir", {"$INSTDIR\\cache", "1"});
  EXPECT_FALSE(DirectoryExists(f.InstallDir() + "cache"));
  EXPECT_EQ(ReadText(f.InstallDir() + "keep.txt"), "k");
  f.Run("rmdir", {"$INSTDIR\\cache", "0"});  // gone already: nothing happens
  EXPECT_TRUE(f.ctx.InstallLog.Directories().empty());
}

TEST(RmDirCommand, AFileThatCannotBeDeletedKeepsItsFoldersAndTheCommandEnds) {
  InstallFixture f("rmdirlocked");
  WriteText(f.InstallDir() + "cache\\a.txt", "a");
  WriteText(f.InstallDir() + "cache\\sub\\locked.txt", "l");
  WriteText(f.InstallDir() + "cache\\other\\b.txt", "b");
  HANDLE lock = CreateFileW(AnsiToWide(f.InstallDir() + "cache\\sub\\locked.txt").c_str(), GENERIC_READ, 0,
                            nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(lock, INVALID_HANDLE_VALUE);
  f.Run("rmdir", {"$INSTDIR\\cache", "1"});
  CloseHandle(lock);
  EXPECT_TRUE(FileExists(f.InstallDir() + "cache\\sub\\locked.txt"));
  EXPECT_FALSE(FileExists(f.InstallDir() + "cache\\a.txt"));
  EXPECT_FALSE(DirectoryExists(f.InstallDir() + "cache\\other"));
  // What stayed fails the run: the file, then the two folders that held it.
  const auto stayed = f.ctx.Record.FilesNotWritten();
  ASSERT_EQ(stayed.size(), 3u);
  EXPECT_EQ(stayed[0].Path, f.InstallDir() + "cache\\sub\\locked.txt");
}

TEST(RmDirCommand, RefusesRootsRelativePathsAndParentSteps) {
  InstallFixture f("rmdirbad");
  WriteText(f.InstallDir() + "x\\a.txt", "a");
  f.ctx.SetupInfo.InstallDir.clear();
  f.Run("rmdir", {"$INSTDIR", "1"});  // an empty install directory: ""
  f.Run("rmdir", {"x", "1"});
  f.Run("rmdir", {"C:\\", "1"});
  f.Run("rmdir", {f.Temp() + "app\\x\\..", "1"});
  // Windows reads "x\." and "x\..." as x itself ("C:\." would be the drive).
  f.Run("rmdir", {f.Temp() + "app\\x\\.", "1"});
  f.Run("rmdir", {f.Temp() + "app\\x\\...", "1"});
  EXPECT_EQ(ReadText(f.Temp() + "app\\x\\a.txt"), "a");
  EXPECT_EQ(f.sinks.problems.size(), 6u);
  f.ctx.SetupInfo.InstallDir = f.Temp() + "app\\";
}

TEST(ClearFolderTree, ALinkedFolderIsUnlinkedNotEntered) {
  InstallFixture f("rmdirlink");
  WriteText(f.Temp() + "outside\\precious.txt", "p");
  WriteText(f.InstallDir() + "tree\\a.txt", "a");
  std::wstring link = AnsiToWide(f.InstallDir() + "tree\\link");
  std::wstring target = AnsiToWide(f.Temp() + "outside");
  if (!CreateSymbolicLinkW(link.c_str(), target.c_str(), SYMBOLIC_LINK_FLAG_DIRECTORY))
    GTEST_SKIP() << "no directory links here";
  ClearFolderTree(WinFiles(), f.InstallDir() + "tree");
  EXPECT_EQ(ReadText(f.Temp() + "outside\\precious.txt"), "p");
}

TEST(CreateDirectoryCommand, LogsNewFoldersAndTheFolderItselfEveryTime) {
  InstallFixture f("createdir");
  f.Run("createdirectory", {"$INSTDIR\\saves\\slot1"});
  EXPECT_TRUE(DirectoryExists(f.InstallDir() + "saves\\slot1"));
  EXPECT_EQ(f.ctx.InstallLog.Directories(),
            (std::vector<std::string>{f.InstallDir(), f.InstallDir() + "saves\\", f.InstallDir() + "saves\\slot1",
                                      f.InstallDir() + "saves\\slot1"}));
  f.Run("createdirectory", {"$INSTDIR\\saves\\slot1"});
  EXPECT_EQ(f.ctx.InstallLog.Directories().size(), 5u);
  EXPECT_EQ(f.ctx.InstallLog.Directories().back(), f.InstallDir() + "saves\\slot1");
}

// ---- execute ---------------------------------------------------------------

std::string SleeperPath() {
  // Built on the Linux side: its path there, seen through Wine's Z: drive.
  std::string unix = FERRY_SLEEPER_EXE;
  std::string path = "Z:" + unix;
  for (char& c : path)
    if (c == '/') c = '\\';
  return path;
}

TEST(ExecuteCommand, WaitsForTheProgramToEnd) {
  InstallFixture f("execute");
  std::string marker = f.Temp() + "marker.txt";
  f.Run("execute", {SleeperPath(), "300 \"" + marker + "\""});
  EXPECT_EQ(ReadText(marker), "done");
}

TEST(ExecuteCommand, AnAbortEndsTheWait) {
  InstallFixture f("executeabort");
  std::string marker = f.Temp() + "marker.txt";
  std::thread aborter([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    f.ctx.Record.Stop("");
  });
  auto start = std::chrono::steady_clock::now();
  f.Run("execute", {SleeperPath(), "forever \"" + marker + "\""});
  auto waited = std::chrono::steady_clock::now() - start;
  aborter.join();
  EXPECT_LT(waited, std::chrono::seconds(10));
  EXPECT_FALSE(FileExists(marker));
}

TEST(ExecuteCheckCommand, TheProgramsExitCodeDecidesTheRun) {
  struct Case {
    const char* exit;
    const char* codes;  // "": the default, 0
    int exitCode;
  };
  const Case cases[] = {
      {"0", "", kExitDone},          {"3", "", kExitFailed},      {"3", "0, 3", kExitDone},
      {"3010", "", kExitRestartNeeded}, {"1641", "0", kExitRestartNeeded},
  };
  for (const Case& c : cases) {
    InstallFixture f("executecheck");
    std::vector<std::string> params = {"cmd.exe", std::string("/c exit ") + c.exit};
    if (*c.codes) params.push_back(c.codes);
    f.Run("executecheck", params);
    EXPECT_EQ(f.ctx.Record.ExitCode(), c.exitCode) << c.exit << " [" << c.codes << "]";
  }
}

TEST(ExecuteCommand, AProgramThatCannotStartIsNotedAndTheRunGoesOn) {
  InstallFixture f("executemissing");
  int line = f.Line("execute", {"$INSTDIR\\missing.exe"});
  f.RunLine(line);
  EXPECT_EQ(f.ctx.CompLines.Lines[line].Param(1), f.InstallDir() + "missing.exe");
  EXPECT_EQ(f.sinks.problems.size(), 1u);
  EXPECT_TRUE(f.ctx.Record.FilesNotWritten().empty());
}

// ---- jumps and failure ------------------------------------------------------

TEST(IfFileExistsCommand, AFileTakesTheFirstTargetAFolderOrNothingTheSecond) {
  InstallFixture f("iffile");
  WriteText(f.InstallDir() + "here.txt", "x");
  ASSERT_TRUE(CreateDirectoryAt(f.InstallDir() + "folder"));
  f.ctx.CurrentLine = 0;
  f.Run("iffileexists", {"$INSTDIR\\here.txt", "7", "9"});
  EXPECT_EQ(f.ctx.CurrentLine, 7);
  f.Run("iffileexists", {"$INSTDIR\\folder", "7", "9"});
  EXPECT_EQ(f.ctx.CurrentLine, 9);
  f.Run("iffileexists", {"$INSTDIR\\missing.txt", "3", "4"});
  EXPECT_EQ(f.ctx.CurrentLine, 4);
  f.ctx.CurrentLine = 1;
  f.Run("iffileexists", {"$INSTDIR\\missing.txt", "3", "-1"});
  EXPECT_EQ(f.ctx.CurrentLine, 1);
  f.Run("iffileexists", {"$INSTDIR\\here.txt", "-1", "5"});
  EXPECT_EQ(f.ctx.CurrentLine, 1);
}

TEST(GotoCommand, JumpsOnlyToALineIndex) {
  InstallFixture f("goto");
  f.ctx.CurrentLine = 2;
  f.Run("goto", {"abc"});
  EXPECT_EQ(f.ctx.CurrentLine, 2);
  f.Run("goto", {"-3"});
  EXPECT_EQ(f.ctx.CurrentLine, 2);
  f.Run("goto", {"0"});
  EXPECT_EQ(f.ctx.CurrentLine, 0);
  f.Run("goto", {"12"});
  EXPECT_EQ(f.ctx.CurrentLine, 12);
}

TEST(FailureCommand, ShowsTheFailureTextAndAbortsTheRun) {
  InstallFixture f("failure");
  f.Run("failure", {});
  EXPECT_TRUE(f.ctx.Record.MustStop());
  EXPECT_EQ(f.sinks.messages, (std::vector<std::u16string>{u"Setup failed to install patch."}));
}

// ---- install log commands --------------------------------------------------

TEST(UninstallLogCommands, SaveAndLoadWithAndWithoutPrefix) {
  InstallFixture f("logcmds");
  ASSERT_TRUE(CreateDirectoryAt(f.InstallDir()));
  f.ctx.InstallLog.AddFile(f.InstallDir() + "a.txt");
  f.ctx.InstallLog.AddRegistryEntry("\"HKCU\" \"Software\\X\" \"V\" \"1\"");
  f.ctx.InstallLog.AddDirectory(f.InstallDir());
  f.Run("uninstalllogsave", {"$INSTDIR", "Demo_"});
  f.Run("uninstalllogsave", {"$INSTDIR"});
  EXPECT_TRUE(FileExists(f.InstallDir() + "Demo_install.log"));
  EXPECT_TRUE(FileExists(f.InstallDir() + "install.log"));

  UninstallList saved = f.ctx.InstallLog;
  f.ctx.InstallLog.Clear();
  f.ctx.InstallLog.AddFile("C:\\other.txt");
  f.Run("uninstalllogload", {"$INSTDIR", "Demo_"});
  EXPECT_EQ(f.ctx.InstallLog.Files(), saved.Files());
  EXPECT_EQ(f.ctx.InstallLog.RegistryEntries(), saved.RegistryEntries());
  EXPECT_EQ(f.ctx.InstallLog.Directories(), saved.Directories());

  // A log that is not there leaves the lists alone.
  f.Run("uninstalllogload", {"$INSTDIR", "None_"});
  EXPECT_EQ(f.ctx.InstallLog.Files(), saved.Files());
}

TEST(UninstallLogCommands, AFolderThatCannotTakeTheLogIsAFailedFile) {
  InstallFixture f("logfail");
  f.Run("uninstalllogsave", {f.Temp() + "missing\\folder"});
  ASSERT_EQ(f.ctx.Record.FilesNotWritten().size(), 1u);
  EXPECT_NE(f.ctx.Record.FilesNotWritten()[0].Path.find("install.log"), std::string::npos);
}

}  // namespace
}  // namespace ferry
