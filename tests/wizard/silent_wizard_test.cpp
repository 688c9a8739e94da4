#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "base/dialogs.h"
#include "engine/setup_context.h"
#include "wizard/silent_install.h"
#include "base/text_replace.h"
#include "wizard/wizard_model.h"
#include "wizard/wizard_test_support.h"

namespace ferry {
namespace {

using testing::EntryMap;

class FakeDrives : public DriveInfo {
 public:
  std::map<char, DriveType> types{{'C', DriveType::kFixed}, {'D', DriveType::kCdRom}};
  int64_t free_bytes = 1'000'000;
  DriveType GetDriveType(const std::string& root) override {
    if (root.size() != 3 || root[1] != ':') return DriveType::kNoRootDir;
    auto it = types.find(static_cast<char>(std::toupper(static_cast<uint8_t>(root[0]))));
    return it == types.end() ? DriveType::kNoRootDir : it->second;
  }
  int64_t DiskFree(int) override { return free_bytes; }
  bool DirectoryExists(const std::string&) override { return false; }
};

class FakeHost : public WizardHost {
 public:
  FakeHost(SetupContext& ctx, SilentRunFacts& facts) : ctx_(ctx), facts_(facts) {}
  EntryMap entries;
  std::function<void()> work;  // what the "setup thread" does
  int installs = 0, stops = 0;
  std::vector<std::string> fatal;

  std::optional<std::vector<uint8_t>> LoadEntry(std::string_view name) override { return entries.Load(name); }
  uint32_t PayloadEntryCount() override { return 2; }
  std::string ExpandPathVars(std::string_view text) override { return ctx_.ExpandPathVars(text); }
  void AddInstallDirectory(const std::string& dir) override { ctx_.InstallLog.AddDirectory(dir); }
  void RunInstall() override {
    ++installs;
    facts_.InstallRan = true;
    if (work) work();
  }
  void RunUninstall() override {}
  void StopSetupThread() override { ++stops; }
  void RunFinaliser() override {}
  // Like the real host: the record has it.
  void ReportFatal(const std::string& message) override {
    fatal.push_back(message);
    ctx_.Record.Stop(message);
  }

 private:
  SetupContext& ctx_;
  SilentRunFacts& facts_;
};

constexpr const char* kPages =
    "[Pages]\r\nwelcome.txt\r\ndir.txt\r\nready.txt\r\nwork.txt\r\nfinish.txt\r\nmain.txt\r\n"
    "[PageTypes]\r\nWelcome\r\nInstallDir\r\nPatch\r\nPatching\r\nFinish\r\nMainLayout\r\n";

class SilentWizardTest : public ::testing::Test {
 protected:
  SilentWizardTest() {
    testing::AddStandardLanguages(ctx_.Languages, false);
    ctx_.Languages.Languages[0]->Items.push_back({23, u"Setup failed to install patch."});
    ctx_.SetupInfo.SetupTitle = "Demo";
    ctx_.SetupInfo.InstallDir = "$PROGRAMFILES\\Demo\\";
    ctx_.Folders.ProgramFilesDir = "C:\\Program Files\\";
    ctx_.SpaceRequired = 5000;
    host_.entries.Add("welcome.txt", "[WelcomeLabel]\r\nType=TLabel\r\nCaption=<LANG1>\r\n");
    host_.entries.Add("dir.txt", "[InstallDir_Edit]\r\nType=TEdit\r\n");
    host_.entries.Add("ready.txt", "[SpaceAvalible]\r\nType=TLabel\r\n");
    host_.entries.Add("work.txt",
                      "[patching_statuslabel]\r\nType=TLabel\r\n[patching_progressbar]\r\nType=TProgressBar\r\n");
    host_.entries.Add("finish.txt", "[finishtext]\r\nType=TLabel\r\nCaption=Done\r\n");
    host_.entries.Add("main.txt", "[Backdrop]\r\nType=TImage\r\n");
    host_.entries.Add("Pages.txt", kPages);
  }

  int Run() {
    model_ = std::make_unique<WizardModel>(WizardDataOf(ctx_), host_, drives_, dialogs_);
    model_->SetPagesUp();
    return RunSilentWizard(*model_, ctx_, facts_, [this](std::string_view line) { said_.emplace_back(line); });
  }

  bool Said(std::string_view part) const {
    for (const std::string& line : said_)
      if (line.find(part) != std::string::npos) return true;
    return false;
  }

  SetupContext ctx_;
  SilentRunFacts facts_;
  FakeHost host_{ctx_, facts_};
  FakeDrives drives_;
  RecordingDialogs dialogs_{DialogAnswer::kYes};
  std::unique_ptr<WizardModel> model_;
  std::vector<std::string> said_;
};

TEST_F(SilentWizardTest, EveryPageIsPassedTheWorkRunsAndTheWizardCloses) {
  host_.work = [&] { EXPECT_EQ(model_->CurrentPageType(), PageKind::Patching); };
  EXPECT_EQ(Run(), 0);
  EXPECT_EQ(host_.installs, 1);
  EXPECT_TRUE(model_->Closed());
  EXPECT_EQ(host_.stops, 1);
  // The default install directory, expanded, went through the wizard's own rule.
  EXPECT_EQ(ctx_.SetupInfo.InstallDir, "C:\\Program Files\\Demo\\");
  EXPECT_EQ(ctx_.InstallLog.Directories(), (std::vector<std::string>{"C:\\Program Files\\Demo\\"}));
  EXPECT_TRUE(Said("installed to \"C:\\Program Files\\Demo\\\""));
  EXPECT_TRUE(dialogs_.Shown().empty());  // no closing question on the Finish page
}

TEST_F(SilentWizardTest, AGivenDirectoryWithoutBackslashGetsOne) {
  ctx_.SetupInfo.InstallDir = "C:\\Games\\Atlas";
  EXPECT_EQ(Run(), 0);
  EXPECT_EQ(ctx_.SetupInfo.InstallDir, "C:\\Games\\Atlas\\");
}

TEST_F(SilentWizardTest, TooLittleSpaceStopsOnTheReadyPageWithoutInstalling) {
  drives_.free_bytes = 1000;
  EXPECT_EQ(Run(), 1);
  EXPECT_EQ(host_.installs, 0);
  EXPECT_EQ(model_->CurrentPageType(), PageKind::Patch);
  EXPECT_TRUE(Said("Not enough free space"));
  EXPECT_TRUE(Said("4.88 KB needed, 1000.00 Bytes available"));
}

TEST_F(SilentWizardTest, AnUnreadableDriveCountsAsTooLittleSpace) {
  drives_.free_bytes = -1;
  EXPECT_EQ(Run(), 1);
  EXPECT_TRUE(Said("an unknown amount available"));
}

TEST_F(SilentWizardTest, ADriveRootIsRefusedBeforeThePages) {
  ctx_.SetupInfo.InstallDir = "$PROGRAMFILES\\..";  // a root only once expanded
  EXPECT_EQ(Run(), 3);
  EXPECT_EQ(host_.installs, 0);
  EXPECT_EQ(model_->CurrentPage(), 0);
  EXPECT_TRUE(Said("Error: The folder \"C:\\Program Files\\..\" cannot be used: it is the root of a drive"));
}

TEST_F(SilentWizardTest, AFolderOnACdRomOrWithoutADriveIsRefused) {
  const struct {
    const char* dir;
    const char* said;
  } cases[] = {
      {"D:\\Atlas\\", "Cannot install to \"D:\\Atlas\\\": the drive D:\\ cannot take an install"},
      {"relative\\dir\\", "Cannot install to \"relative\\dir\\\": the folder must start with a drive letter"},
  };
  for (const auto& c : cases) {
    ctx_.SetupInfo.InstallDir = c.dir;
    EXPECT_EQ(Run(), 1) << c.dir;
    EXPECT_EQ(host_.installs, 0) << c.dir;
    EXPECT_TRUE(Said(c.said)) << c.dir;
  }
}

TEST_F(SilentWizardTest, AFailureLineGivesExitOneAndTheFailureText) {
  host_.work = [&] { ctx_.Record.Stop(""); };
  EXPECT_EQ(Run(), 1);
  EXPECT_TRUE(model_->Closed());
  EXPECT_TRUE(Said("Setup failed: Setup failed to install patch."));
}

TEST_F(SilentWizardTest, FilesThatCouldNotBeWrittenAreNamedAndFailTheRun) {
  host_.work = [&] {
    ctx_.Record.FileNotWritten("C:\\Program Files\\Demo\\a.dat", "locked");
    ctx_.Record.FileNotWritten("C:\\Program Files\\Demo\\b.dat", "");
  };
  EXPECT_EQ(Run(), 1);
  EXPECT_TRUE(Said("2 files could not be written:"));
  EXPECT_TRUE(Said("  C:\\Program Files\\Demo\\a.dat (locked)"));
  EXPECT_TRUE(Said("  C:\\Program Files\\Demo\\b.dat"));
  EXPECT_FALSE(Said("installed to"));
}

TEST_F(SilentWizardTest, AStoppedCycleFailsTheRun) {
  host_.work = [&] {
    facts_.Outcome.CycleStopped = true;
    facts_.Outcome.LinesRun = 12345;
    facts_.Outcome.StoppedAt = 7;
    ctx_.Record.Stop(CycleStoppedMessage(facts_.Outcome));
  };
  EXPECT_EQ(Run(), 1);
  EXPECT_TRUE(Said("stopped after 12345 lines"));
}

TEST_F(SilentWizardTest, WorkThatRaisesEndsWithExitOneAndAReport) {
  host_.work = [] { throw std::runtime_error("broken"); };
  EXPECT_EQ(Run(), 1);
  EXPECT_EQ(host_.fatal, (std::vector<std::string>{"broken"}));
}

TEST_F(SilentWizardTest, APageListWithoutWorkOrFinishPageEndsQuietly) {
  host_.entries.Add("Pages.txt", "[Pages]\r\nwelcome.txt\r\nmain.txt\r\n[PageTypes]\r\nWelcome\r\nMainLayout\r\n");
  EXPECT_EQ(Run(), 0);
  EXPECT_EQ(host_.installs, 0);
  EXPECT_TRUE(model_->Closed());
  EXPECT_TRUE(Said("nothing was installed"));
}

TEST(GaugePercentTest, CutsAndClamps) {
  EXPECT_EQ(GaugePercent(0, 0), 0);
  EXPECT_EQ(GaugePercent(5, 0), 0);
  EXPECT_EQ(GaugePercent(2, 3), 66);
  EXPECT_EQ(GaugePercent(3, 3), 100);
  EXPECT_EQ(GaugePercent(7, 3), 100);
  EXPECT_EQ(GaugePercent(-1, 3), 0);
}

}  // namespace
}  // namespace ferry
