#include <gtest/gtest.h>

#include <atomic>

#include "base/file_system.h"
#include "engine/setup_thread.h"
#include "engine/system.h"
#include "platform/setup_thread_win.h"
#include "engine/startup.h"
#include "platform/ui_task.h"
#include "formats/vfs/vfs_archive.h"
#include "formats/vfs/vfs_check.h"
#include "formats/vfs/vfs_journal.h"
#include "platform/install/install_test_support.h"


namespace ferry {
namespace {

using testing::InstallFixture;
using testing::ReadText;

class RecordingReporter : public ErrorReporter {
 public:
  std::vector<std::pair<std::string, std::string>> reports;
  void Report(std::string_view text, std::string_view stage) override {
    reports.push_back({std::string(text), std::string(stage)});
  }
};

class RunCommandsTest : public ::testing::Test {
 protected:
  RunCommandsTest() : f_("runcmds"), platform_(reporter_) {
    f_.SetPayload({{"readme.txt", "read me", 1}, {"maps\\coast.map", "coast", 1}});
    f_.ctx.SetupInfo.MakeUninstaller = 1;
    f_.ctx.SetupInfo.UninstallPrefix = "Demo_";
    // Before the first line, the uninstaller is written through the run's
    // journal (an undone run takes it away); registered_ counts the ends.
    f_.ctx.RegisterUninstall = [this](SetupContext& ctx, System* system, bool finished) {
      if (finished) ++registered_;
      else if (auto file = system->Files().Open(ctx.SetupInfo.InstallDir + "uninstall.exe", FileMode::kCreate))
        file->WriteAt(0, std::vector<uint8_t>{'M', 'Z'});
    };
  }

  RunOutcome Run() {
    return RunCommands(f_.ctx, platform_, f_.RunArgs());
  }

  InstallFixture f_;
  RecordingReporter reporter_;
  WinSetupRunPlatform platform_;
  int registered_ = 0;
};

TEST_F(RunCommandsTest, JumpsConditionsAndFailureFollowTheScript) {
  f_.Line("file", {"Files\\", "1"});                                 // 0
  f_.Line("iffileexists", {"$INSTDIR\\readme.txt", "3", "-1"});      // 1
  f_.Line("failure", {});                                            // 2: jumped over
  f_.Label();                                                        // 3
  f_.Line("createdirectory", {"$INSTDIR\\saves"});                   // 4
  f_.Line("goto", {"7"});                                            // 5
  f_.Line("failure", {});                                            // 6: jumped over
  f_.Label();                                                        // 7
  f_.Line("copyfile", {"$INSTDIR\\readme.txt", "$INSTDIR\\docs\\copy.txt"});  // 8
  f_.Line("failure", {});                                            // 9
  f_.Line("createdirectory", {"$INSTDIR\\never"});                   // 10: not reached
  RunOutcome outcome = Run();

  EXPECT_FALSE(outcome.CycleStopped);
  EXPECT_EQ(f_.ctx.CurrentLine, 9);
  EXPECT_TRUE(f_.ctx.Record.MustStop());
  EXPECT_EQ(f_.sinks.messages, (std::vector<std::u16string>{u"Setup failed to install patch."}));
  // The failure undid the run: nothing of it is left, no log, no registration.
  EXPECT_TRUE(outcome.RolledBack);
  EXPECT_TRUE(outcome.NotUndone.empty());
  EXPECT_FALSE(DirectoryExists(f_.InstallDir()));
  EXPECT_FALSE(outcome.LogSaved);
  EXPECT_EQ(registered_, 0);
  // What the log held before that.
  const UninstallList& saved = f_.ctx.InstallLog;
  // Extraction logs folder + "\\" + name, copyfile the expanded path; both
  // are folded at the install directory, which ends in a backslash.
  EXPECT_EQ(saved.Files(), (std::vector<std::string>{"$INSTDIR\\readme.txt", "$INSTDIR\\maps\\coast.map",
                                                      "$INSTDIRdocs\\copy.txt"}));
  EXPECT_EQ(f_.ctx.ExpandPathVars(saved.Files()[2]), f_.InstallDir() + "docs\\copy.txt");
  EXPECT_EQ(saved.Directories(),
            (std::vector<std::string>{f_.InstallDir(), f_.InstallDir() + "maps\\", f_.InstallDir() + "saves",
                                      f_.InstallDir() + "saves", f_.InstallDir() + "docs\\"}));
  EXPECT_TRUE(reporter_.reports.empty());
}

TEST_F(RunCommandsTest, AVfsArchiveLeftOpenIsFlushedWhenItsNextLineIsJumpedOver) {
  // Group 1 goes into the archive and leaves it open for line 2, which the
  // goto skips; an empty file of the group is stored as an empty file.
  f_.SetPayload({{"units\\a.txt", "alpha", 1}, {"units\\empty.txt", "", 1}, {"c.txt", "gamma", 2}});
  const std::string archive = f_.InstallDir() + "data.vfs";
  ForceDirectories(DiskFileSystem(), f_.InstallDir());
  CreateVfsArchive(DiskFileSystem(), archive, {.BlockSize = 256, .BlockCount = 64, .RootCount = 8});
  f_.Line("vfsupdate", {"Data\\", "data.vfs", "0", "1"});  // 0
  f_.Line("goto", {"3"});                                   // 1
  f_.Line("vfsupdate", {"Data\\", "data.vfs", "1", "2"});  // 2: jumped over
  f_.Label();                                               // 3
  Run();

  EXPECT_FALSE(f_.ctx.Record.MustStop());
  EXPECT_TRUE(reporter_.reports.empty());
  EXPECT_FALSE(FileExists(VfsJournal::PathFor(archive)));
  VfsCheckReport check = CheckVfsArchive(DiskFileSystem(), archive);
  EXPECT_TRUE(check.Ok()) << (check.Errors.empty() ? "" : check.Errors[0]);
  EXPECT_FALSE(check.RolledBack);
  EXPECT_EQ(check.Files, 2u);
  VfsFile stored(DiskFileSystem());
  stored.OpenArchive(archive, true, {}, VfsAccess::kReadOnly);
  int32_t a = stored.Tree().FindByPath("units\\a.txt");
  int32_t empty = stored.Tree().FindByPath("units\\empty.txt");
  ASSERT_GE(a, 0);
  ASSERT_GE(empty, 0);
  EXPECT_EQ(stored.Tree().Node(a).Info->StoredSize, 5u);
  EXPECT_EQ(stored.Tree().Node(empty).Info->StoredSize, 0u);
  EXPECT_LT(stored.Tree().FindByPath("c.txt"), 0);
}

TEST_F(RunCommandsTest, AFailureOnTheFirstLineLeavesNoFolderAndNoLog) {
  f_.Line("failure", {});
  f_.Line("file", {"Files\\", "1"});
  RunOutcome outcome = Run();
  EXPECT_TRUE(outcome.RolledBack);
  EXPECT_FALSE(DirectoryExists(f_.InstallDir()));
  EXPECT_EQ(registered_, 0);
}

TEST_F(RunCommandsTest, AGotoCycleIsStoppedAndReported) {
  f_.Label();                                         // 0
  f_.Line("goto", {"0"});                             // 1
  f_.Line("createdirectory", {"$INSTDIR\\after"});    // 2
  RunOutcome outcome = Run();
  EXPECT_TRUE(outcome.CycleStopped);
  EXPECT_TRUE(f_.ctx.Record.MustStop());
  EXPECT_FALSE(DirectoryExists(f_.InstallDir() + "after"));
  ASSERT_EQ(reporter_.reports.size(), 1u);
  EXPECT_EQ(reporter_.reports[0].second, "Setup Thread");
  EXPECT_FALSE(DirectoryExists(f_.InstallDir()));  // a failed run: undone
  EXPECT_EQ(registered_, 0);
}

// The thread, the hand-over window and the main thread's pump together.
class HandOverSinks : public ProgressSinks {
 public:
  explicit HandOverSinks(UiTaskWindow& ui) : ui_(ui) {}
  void SetStatusText(std::u16string_view text) override {
    ui_.Send([&] {
      threads.push_back(GetCurrentThreadId());
      status.emplace_back(text);
    });
  }
  void SetMessageText(std::u16string_view, bool) override {}
  void SetGaugePosition(int32_t position) override {
    ui_.Send([&] { positions.push_back(position); });
  }
  std::vector<DWORD> threads;
  std::vector<std::u16string> status;
  std::vector<int32_t> positions;

 private:
  UiTaskWindow& ui_;
};

TEST_F(RunCommandsTest, TheSetupThreadHandsProgressToTheMainThread) {
  UiTaskWindow ui;
  HandOverSinks sinks(ui);
  f_.ctx.Progress.Bind(&sinks);
  f_.Line("file", {"Files\\", "1"});
  f_.Label();
  {
    SetupThread thread(f_.ctx, platform_);
    thread.StartRun(f_.RunArgs());
    ui.PumpUntil([&] { return thread.RunFinished() || thread.Ended(); });
    EXPECT_TRUE(thread.RunFinished());
    EXPECT_FALSE(thread.Ended());
  }
  f_.ctx.Progress.Bind(&f_.sinks);
  EXPECT_EQ(sinks.status, (std::vector<std::u16string>{u"Extracting readme.txt", u"Extracting maps\\coast.map"}));
  for (DWORD id : sinks.threads) EXPECT_EQ(id, GetCurrentThreadId());
  EXPECT_EQ(sinks.positions, (std::vector<int32_t>{1, 2}));
  EXPECT_EQ(ReadText(f_.InstallDir() + "maps\\coast.map"), "coast");
}

}  // namespace
}  // namespace ferry
