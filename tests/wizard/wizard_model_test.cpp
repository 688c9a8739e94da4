#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <set>
#include <thread>

#include "base/dialogs.h"
#include "base/setup_error.h"
#include "engine/setup_context.h"
#include "base/text_helpers.h"
#include "base/text_replace.h"
#include "wizard/progress_handover.h"
#include "wizard/wizard_model.h"
#include "wizard/wizard_test_support.h"

namespace ferry {
namespace {

using testing::EntryMap;

class FakeDrives : public DriveInfo {
 public:
  std::map<char, DriveType> types{{'C', DriveType::kFixed}, {'D', DriveType::kCdRom}, {'E', DriveType::kFixed}};
  std::map<int, int64_t> free{{3, 1000}, {5, 50}};
  std::set<std::string> dirs{"c:", "c:\\program files", "e:"};  // lower-cased: paths ignore case

  DriveType GetDriveType(const std::string& root) override {
    if (root.size() != 3 || root[1] != ':' || root[2] != '\\') return DriveType::kNoRootDir;
    auto it = types.find(static_cast<char>(std::toupper(static_cast<uint8_t>(root[0]))));
    return it == types.end() ? DriveType::kNoRootDir : it->second;
  }
  int64_t DiskFree(int drive) override {
    asked_drives.push_back(drive);
    auto it = free.find(drive);
    return it == free.end() ? -1 : it->second;
  }
  bool DirectoryExists(const std::string& path) override { return dirs.count(AsciiLowerCopy(path)) != 0; }

  std::vector<int> asked_drives;
};

class FakeHost : public WizardHost {
 public:
  EntryMap entries;
  uint32_t payload = 3;
  std::vector<std::string> install_dirs;
  std::function<void()> on_install;
  std::function<void()> on_uninstall;
  int installs = 0, uninstalls = 0, stops = 0, finalisers = 0;
  std::vector<std::string> fatal;

  std::optional<std::vector<uint8_t>> LoadEntry(std::string_view name) override { return entries.Load(name); }
  uint32_t PayloadEntryCount() override { return payload; }
  std::string ExpandPathVars(std::string_view text) override {
    const std::string user = ReplaceAll(text, "$USERPROGRAMFILES", "C:\\Users\\me\\Programs\\");
    return ReplaceAll(ReplaceAll(user, "$PROGRAMFILES", "C:\\Program Files\\"), "\\\\", "\\");
  }
  void AddInstallDirectory(const std::string& dir) override { install_dirs.push_back(dir); }
  void RunInstall() override {
    ++installs;
    if (on_install) on_install();
  }
  void RunUninstall() override {
    ++uninstalls;
    if (on_uninstall) on_uninstall();
  }
  void StopSetupThread() override { ++stops; }
  void RunFinaliser() override { ++finalisers; }
  void ReportFatal(const std::string& message) override { fatal.push_back(message); }
  bool MachineNeedsElevation() override { return needs_elevation; }
  bool needs_elevation = false;
};

class RecordingObserver : public WizardObserver {
 public:
  int changes = 0, closed = 0;
  std::vector<std::pair<std::string, bool>> navigations;
  void StateChanged() override { ++changes; }
  void NavigateTree(const std::string& dir, bool expand) override { navigations.push_back({dir, expand}); }
  void Closed() override { ++closed; }
};

constexpr const char* kStandardList =
    "[Pages]\r\nwelcome.txt\r\ndir.txt\r\nready.txt\r\nwork.txt\r\nfinish.txt\r\nmain.txt\r\n"
    "[PageTypes]\r\nWelcome\r\nInstallDir\r\nPatch\r\nPatching\r\nFinish\r\nMainLayout\r\n"
    "[Settings]\r\ncolour $332211\r\n";

class WizardModelTest : public ::testing::Test {
 protected:
  WizardModelTest() {
    testing::AddStandardLanguages(languages_);
    info_.SetupTitle = "Demo Setup";
    info_.ShortTitle = "Demo";
    info_.InstallDir = "$PROGRAMFILES\\Demo\\";
    macros_.AddMacro("<%SETUPTITLE%>", info_.SetupTitle);
    macros_.AddMacro("<%SPACEAVA%>", space_available_text_);
    host_.entries.Add("welcome.txt", "[WelcomeLabel]\r\nType=TLabel\r\nCaption=<LANG1>\r\n");
    host_.entries.Add("dir.txt",
                      "[InstallDir_Edit]\r\nType=TEdit\r\n[installdir_shelltreeview]\r\nType=TShellTreeView\r\n");
    host_.entries.Add("ready.txt", "[SpaceAvalible]\r\nType=TLabel\r\nCaption=layout text\r\n");
    host_.entries.Add("work.txt",
                      "[patching_statuslabel]\r\nType=TLabel\r\n[patching_progressbar]\r\nType=TProgressBar\r\n");
    host_.entries.Add("finish.txt", "[finishtext]\r\nType=TLabel\r\nCaption=Done\r\n");
    host_.entries.Add("main.txt", "[Backdrop]\r\nType=TImage\r\n");
    host_.entries.Add("Pages.txt", kStandardList);
  }

  WizardModel& Start() {
    model_ = std::make_unique<WizardModel>(
        WizardData{info_, languages_, macros_, space_required_, space_available_, space_available_text_,
                   scope_for_user_},
        host_,
        drives_, dialogs_);
    model_->SetObserver(&observer_);
    model_->SetPagesUp();
    return *model_;
  }

  // Next until the page of that type is shown.
  void NextTo(PageKind type) {
    for (int i = 0; i < 10 && model_->CurrentPageType() != type; ++i) ASSERT_TRUE(model_->Next());
    ASSERT_EQ(model_->CurrentPageType(), type);
  }

  const WizardButtons& Buttons() { return model_->Buttons(); }

  SetupInfoRecord info_;
  LanguageList languages_;
  TextMacroTable macros_;
  uint64_t space_required_ = 100;
  uint64_t space_available_ = 0;
  std::string space_available_text_;
  bool* scope_for_user_ = nullptr;  // set: the Scope page picks
  FakeHost host_;
  FakeDrives drives_;
  RecordingDialogs dialogs_{DialogAnswer::kNo};
  RecordingObserver observer_;
  std::unique_ptr<WizardModel> model_;
};

constexpr const char* kScopeList =
    "[Pages]\r\nwelcome.txt\r\nscope.txt\r\ndir.txt\r\nready.txt\r\nwork.txt\r\nfinish.txt\r\n"
    "[PageTypes]\r\nWelcome\r\nScope\r\nInstallDir\r\nPatch\r\nPatching\r\nFinish\r\n";

class ScopePageTest : public WizardModelTest {
 protected:
  ScopePageTest() {
    host_.entries.Add("Pages.txt", kScopeList);
    host_.entries.Add("scope.txt", "[scope_user]\r\nType=TRadioButton\r\n[scope_machine]\r\nType=TRadioButton\r\n");
  }
  std::u16string FolderShown() {
    NextTo(PageKind::InstallDir);
    return model_->InstallDirEdit()->Text;
  }
};

// A setup whose scope is decided (by its script, a switch or where the
// product is installed) never shows the page, going either way.
TEST_F(ScopePageTest, PassedOverWhenTheChoiceIsMade) {
  auto& m = Start();
  ASSERT_TRUE(m.Next());
  EXPECT_EQ(m.CurrentPageType(), PageKind::InstallDir);
  ASSERT_TRUE(m.Back());
  EXPECT_EQ(m.CurrentPageType(), PageKind::Welcome);
}

TEST_F(ScopePageTest, TheFolderFollowsTheChoice) {
  struct Case {
    bool pickUser;
    const char16_t* folder;
  } cases[] = {
      {true, u"C:\\Users\\me\\Programs\\Demo\\"},
      {false, u"C:\\Program Files\\Demo\\"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.pickUser);
    info_.InstallDir = "$PROGRAMFILES\\Demo\\";
    bool forUser = true;
    scope_for_user_ = &forUser;
    auto& m = Start();
    NextTo(PageKind::Scope);
    EXPECT_TRUE(m.ScopeUserChoice()->Checked);  // for me only, first
    m.ScopeChosen(c.pickUser);
    EXPECT_EQ(m.ScopeMachineChoice()->Checked, !c.pickUser);
    EXPECT_EQ(FolderShown(), c.folder);
    EXPECT_EQ(forUser, c.pickUser);
    // Back to the choice and the other one: the other one's folder.
    while (m.CurrentPageType() != PageKind::Scope) ASSERT_TRUE(m.Back());
    m.ScopeChosen(!c.pickUser);
    EXPECT_NE(FolderShown(), c.folder);
    EXPECT_EQ(forUser, !c.pickUser);
  }
}

// Everyone, without the rights: the wizard closes before anything runs and
// the host starts the elevated copy.
TEST_F(ScopePageTest, EveryoneWithoutTheRightsClosesForTheElevatedCopy) {
  bool forUser = true;
  scope_for_user_ = &forUser;
  host_.needs_elevation = true;
  auto& m = Start();
  NextTo(PageKind::Scope);
  m.ScopeChosen(false);
  m.Next();
  EXPECT_TRUE(m.ElevationRequested());
  EXPECT_TRUE(m.Closed());
  EXPECT_EQ(observer_.closed, 1);
  EXPECT_EQ(host_.installs, 0);
  EXPECT_TRUE(dialogs_.Shown().empty());  // no quit question
}

TEST_F(WizardModelTest, SetUpBuildsTitlesCaptionsAndFirstPage) {
  auto& m = Start();
  EXPECT_EQ(m.ApplicationTitle(), u"Demo Setup");
  EXPECT_EQ(m.Caption(), u" Demo Setup");
  EXPECT_EQ(m.PanelColour(), 0x332211u);
  EXPECT_EQ(m.CurrentPage(), 0);
  EXPECT_FALSE(Buttons().Back.Visible);
  EXPECT_EQ(Buttons().Back.Caption, u"< Back");
  EXPECT_EQ(Buttons().Next.Caption, u"Next >");
  EXPECT_EQ(Buttons().Cancel.Caption, u"Cancel");
  EXPECT_EQ(Buttons().Language.Caption, u"English");
  EXPECT_TRUE(Buttons().Language.Visible);
  EXPECT_EQ(m.PageSet().Page(0).Controls()[0].Text, u"Welcome to Demo Setup");
  EXPECT_FALSE(m.InstallDirShown());
  EXPECT_FALSE(m.Working());
  EXPECT_TRUE(dialogs_.Shown().empty());
}

TEST_F(WizardModelTest, UninstallerTitleIsShortTitleAndText26) {
  info_.IsUninstaller = 1;
  auto& m = Start();
  EXPECT_EQ(m.ApplicationTitle(), u"Demo Uninstall");
  EXPECT_EQ(m.Caption(), u" Demo Uninstall");
}

TEST_F(WizardModelTest, NamedControlsAreFoundWithoutCase) {
  auto& m = Start();
  ASSERT_NE(m.InstallDirEdit(), nullptr);
  EXPECT_EQ(m.InstallDirEdit()->Name, "InstallDir_Edit");
  ASSERT_NE(m.InstallDirTree(), nullptr);
  ASSERT_NE(m.SpaceAvailableLabel(), nullptr);
  EXPECT_EQ(m.SpaceAvailableLabel()->Name, "SpaceAvalible");
  ASSERT_NE(m.PatchingStatusLabel(), nullptr);
  ASSERT_NE(m.PatchingProgressBar(), nullptr);
  EXPECT_EQ(m.PatchingProgressBar()->Kind, ControlKind::kProgressBar);
  ASSERT_NE(m.FinishTextLabel(), nullptr);
}

TEST_F(WizardModelTest, SetUpExpandsTheInstallDirectoryIntoEditAndTree) {
  auto& m = Start();
  EXPECT_EQ(info_.InstallDir, "C:\\Program Files\\Demo\\");
  EXPECT_EQ(m.InstallDirEdit()->Text, u"C:\\Program Files\\Demo\\");
  // The tree goes to the nearest existing folder, without expanding.
  ASSERT_EQ(observer_.navigations.size(), 1u);
  EXPECT_EQ(observer_.navigations[0], (std::pair<std::string, bool>{"C:\\Program Files\\", false}));
  EXPECT_EQ(m.TreeTarget(), "C:\\Program Files\\");
}

TEST_F(WizardModelTest, OneLanguageHidesTheLanguageButton) {
  languages_.Languages.pop_back();
  Start();
  EXPECT_FALSE(Buttons().Language.Visible);
}

TEST_F(WizardModelTest, InstallDirIsFilledOnlyOnTheFirstArrival) {
  auto& m = Start();
  m.InstallDirEditChanged(u"X:\\Changed early");  // off its page: only the text changes
  EXPECT_FALSE(m.InstallDirShown());
  NextTo(PageKind::InstallDir);
  EXPECT_TRUE(m.InstallDirShown());
  EXPECT_EQ(m.InstallDirEdit()->Text, u"C:\\Program Files\\Demo\\");
  m.InstallDirEditChanged(u"E:\\Games\\Demo");
  EXPECT_EQ(info_.InstallDir, "E:\\Games\\Demo\\");
  ASSERT_TRUE(m.Back());
  ASSERT_TRUE(m.Next());
  EXPECT_EQ(m.InstallDirEdit()->Text, u"E:\\Games\\Demo");
  EXPECT_EQ(info_.InstallDir, "E:\\Games\\Demo\\");
}

TEST_F(WizardModelTest, EditChangesOffTheInstallDirPageDoNothing) {
  auto& m = Start();
  m.InstallDirEditChanged(u"D:\\");
  EXPECT_TRUE(Buttons().Next.Enabled);
  EXPECT_EQ(info_.InstallDir, "C:\\Program Files\\Demo\\");
  EXPECT_TRUE(drives_.asked_drives.empty());
}

TEST_F(WizardModelTest, RefusedDrivesDisableNextAndFixedOnesStoreTheDirectory) {
  auto& m = Start();
  NextTo(PageKind::InstallDir);
  EXPECT_TRUE(Buttons().Next.Enabled);

  m.InstallDirEditChanged(u"D:\\Demo");  // CD-ROM
  EXPECT_FALSE(Buttons().Next.Enabled);
  EXPECT_EQ(info_.InstallDir, "C:\\Program Files\\Demo\\");
  EXPECT_FALSE(m.Next());
  EXPECT_EQ(m.CurrentPageType(), PageKind::InstallDir);

  for (DriveType refused : {DriveType::kRamDisk, DriveType::kUnknown, DriveType::kNoRootDir}) {
    drives_.types['E'] = refused;
    m.InstallDirEditChanged(u"E:\\Demo");
    EXPECT_FALSE(Buttons().Next.Enabled);
  }
  for (DriveType taken : {DriveType::kFixed, DriveType::kRemovable, DriveType::kRemote}) {
    drives_.types['E'] = taken;
    m.InstallDirEditChanged(u"E:\\Demo");
    EXPECT_TRUE(Buttons().Next.Enabled);
  }
  m.InstallDirEditChanged(u"c:\\Apps\\Demo");
  EXPECT_TRUE(Buttons().Next.Enabled);
  EXPECT_EQ(info_.InstallDir, "c:\\Apps\\Demo\\");
  m.InstallDirEditChanged(u"C:\\Apps\\Demo2\\");
  EXPECT_EQ(info_.InstallDir, "C:\\Apps\\Demo2\\");  // no second backslash
  m.InstallDirEditChanged(u"Q");  // too short to name a root
  EXPECT_FALSE(Buttons().Next.Enabled);
}

TEST_F(WizardModelTest, EditChangeReadsTheFreeSpaceOfTheInstallDrive) {
  auto& m = Start();
  NextTo(PageKind::InstallDir);
  m.InstallDirEditChanged(u"e:\\Demo");
  ASSERT_FALSE(drives_.asked_drives.empty());
  EXPECT_EQ(drives_.asked_drives.back(), 5);  // "E" is drive 5
  EXPECT_EQ(space_available_, 50u);
  EXPECT_EQ(space_available_text_, FormatByteSize(50));
  // The tree follows the edit, expanding, to the nearest existing folder.
  EXPECT_EQ(observer_.navigations.back(), (std::pair<std::string, bool>{"e:\\", true}));
}

TEST_F(WizardModelTest, ReadyPageDisablesNextWhenSpaceIsShort) {
  auto& m = Start();
  NextTo(PageKind::InstallDir);
  m.InstallDirEditChanged(u"E:\\Demo");  // 50 free, 100 required
  ASSERT_TRUE(m.Next());
  EXPECT_EQ(m.CurrentPageType(), PageKind::Patch);
  EXPECT_EQ(Buttons().Next.Caption, u"Patch");
  EXPECT_FALSE(Buttons().Next.Enabled);
  EXPECT_EQ(m.SpaceAvailableLabel()->Text, u"Space available " + CodePageToUtf16(FormatByteSize(50)));

  // Back, another drive, and the ready page is judged again.
  ASSERT_TRUE(m.Back());
  m.InstallDirEditChanged(u"C:\\Demo");  // 1000 free
  ASSERT_TRUE(m.Next());
  EXPECT_TRUE(Buttons().Next.Enabled);
}

TEST_F(WizardModelTest, UnreadableDriveCountsAsTooLittleSpace) {
  auto& m = Start();
  drives_.free.erase(3);  // C: reports -1
  NextTo(PageKind::InstallDir);
  EXPECT_EQ(static_cast<int64_t>(space_available_), -1);
  ASSERT_TRUE(m.Next());
  EXPECT_FALSE(Buttons().Next.Enabled);
}

TEST_F(WizardModelTest, EqualSpaceIsEnough) {
  auto& m = Start();
  space_required_ = 1000;
  NextTo(PageKind::Patch);
  EXPECT_TRUE(Buttons().Next.Enabled);
  (void)m;
}

TEST_F(WizardModelTest, PatchingPageRunsTheInstallWithTheWizardLocked) {
  auto& m = Start();
  bool checked = false;
  host_.on_install = [&] {
    EXPECT_TRUE(m.Working());
    EXPECT_EQ(m.CurrentPageType(), PageKind::Patching);
    EXPECT_EQ(m.PatchingStatusLabel()->Text, u"Status: 0 of 3 files extracted");
    EXPECT_EQ(m.PatchingProgressBar()->Position, 0);
    EXPECT_EQ(m.PatchingProgressBar()->Max, 3);
    EXPECT_FALSE(Buttons().Back.Visible);
    EXPECT_FALSE(Buttons().Next.Enabled);
    EXPECT_FALSE(Buttons().Cancel.Enabled);
    EXPECT_FALSE(Buttons().Language.Visible);
    EXPECT_EQ(host_.install_dirs, (std::vector<std::string>{"C:\\Program Files\\Demo\\"}));
    // Closing is refused without a word while the work runs.
    EXPECT_FALSE(m.RequestClose());
    EXPECT_TRUE(dialogs_.Shown().empty());
    m.SetStatusText(u"Extracting a.dat");
    m.SetGaugePosition(3);
    m.SetMessageText(u"All done");
    checked = true;
  };
  NextTo(PageKind::Patch);
  ASSERT_TRUE(m.Next());
  EXPECT_TRUE(checked);
  EXPECT_EQ(host_.installs, 1);
  EXPECT_FALSE(m.Working());
  EXPECT_FALSE(m.Closed());
  EXPECT_EQ(m.CurrentPageType(), PageKind::Finish);
  EXPECT_FALSE(Buttons().Back.Visible);
  EXPECT_FALSE(Buttons().Next.Visible);
  EXPECT_TRUE(Buttons().Cancel.Enabled);
  EXPECT_EQ(Buttons().Cancel.Caption, u"Finish");
  EXPECT_EQ(m.PatchingStatusLabel()->Text, u"Extracting a.dat");
  EXPECT_EQ(m.PatchingProgressBar()->Position, 3);
  EXPECT_EQ(m.FinishTextLabel()->Text, u"All done");
}

// Another thread's changes reach the model only when the main thread shows
// them, each control at its latest value; shown changes are not shown again.
TEST_F(WizardModelTest, HandedOverProgressShowsItsLatestStateOnce) {
  auto& m = Start();
  NextTo(PageKind::Patch);
  ProgressHandover handover;
  EXPECT_FALSE(handover.ShowOn(&m));
  std::thread([&] {
    for (int32_t i = 1; i <= 3; ++i) {
      handover.SetGaugePosition(i);
      handover.SetStatusText(u"Extracting " + std::u16string(1, static_cast<char16_t>(u'a' + i)));
    }
    handover.SetMessageText(u"All done");
  }).join();
  EXPECT_NE(m.PatchingStatusLabel()->Text, u"Extracting d");  // not before it is shown
  const int before = observer_.changes;
  EXPECT_TRUE(handover.ShowOn(&m));
  EXPECT_EQ(m.PatchingStatusLabel()->Text, u"Extracting d");
  EXPECT_EQ(m.PatchingProgressBar()->Position, 3);
  EXPECT_EQ(m.FinishTextLabel()->Text, u"All done");
  EXPECT_EQ(observer_.changes - before, 3);
  EXPECT_FALSE(handover.ShowOn(&m));
  handover.SetStatusText(u"gone");
  EXPECT_TRUE(handover.ShowOn(nullptr));  // no model: dropped
  EXPECT_FALSE(handover.ShowOn(&m));
  EXPECT_EQ(m.PatchingStatusLabel()->Text, u"Extracting d");
}

TEST_F(WizardModelTest, InstallErrorIsReportedAndEndsTheWizard) {
  auto& m = Start();
  host_.on_install = [] { throw SetupError("disk on fire"); };
  NextTo(PageKind::Patch);
  m.Next();
  EXPECT_EQ(host_.fatal, (std::vector<std::string>{"disk on fire"}));
  EXPECT_TRUE(m.Terminated());
  EXPECT_FALSE(m.Working());
  EXPECT_FALSE(m.Next());
}

TEST_F(WizardModelTest, WorkPageWithoutStatusControlsStillRuns) {
  host_.entries.Add("work.txt", "[Other]\r\nType=TLabel\r\n");
  auto& m = Start();
  NextTo(PageKind::Patch);
  ASSERT_TRUE(m.Next());
  EXPECT_EQ(host_.installs, 1);
  EXPECT_TRUE(host_.fatal.empty());
  EXPECT_EQ(m.CurrentPageType(), PageKind::Finish);
  m.SetStatusText(u"nobody listens");  // absent sinks do nothing
}

TEST_F(WizardModelTest, CancelAsksWithTexts27And28AndNoKeepsTheWizard) {
  auto& m = Start();
  EXPECT_FALSE(m.Cancel());
  ASSERT_EQ(dialogs_.Shown().size(), 1u);
  EXPECT_EQ(dialogs_.Shown()[0].Text, u"Are you sure you want to quit the patch?");
  EXPECT_EQ(dialogs_.Shown()[0].Caption, u"Quit");
  EXPECT_EQ(dialogs_.Shown()[0].Buttons, DialogButtons::kYesNo);
  EXPECT_FALSE(m.Closed());
  EXPECT_EQ(host_.stops, 0);
  EXPECT_TRUE(m.Next());  // still usable

  dialogs_.QueueAnswer(DialogAnswer::kYes);
  EXPECT_TRUE(m.Cancel());
  EXPECT_TRUE(m.Closed());
  EXPECT_EQ(host_.stops, 1);
  EXPECT_EQ(host_.finalisers, 0);
  EXPECT_EQ(observer_.closed, 1);
  EXPECT_FALSE(m.Next());
}

TEST_F(WizardModelTest, FinishPageClosesWithoutAsking) {
  auto& m = Start();
  NextTo(PageKind::Finish);
  EXPECT_TRUE(m.Cancel());
  EXPECT_TRUE(dialogs_.Shown().empty());
  EXPECT_EQ(host_.stops, 1);
  EXPECT_EQ(host_.finalisers, 0);  // not an uninstaller
}

TEST_F(WizardModelTest, NextLandingOnFinishClosesAndAnUninstallerFinalisesOnce) {
  info_.IsUninstaller = 1;
  host_.entries.Add("Pages.txt", "[Pages]\r\nwelcome.txt\r\nwork.txt\r\nfinish.txt\r\n"
                                 "[PageTypes]\r\nwelcome\r\nuninstall\r\nfinish\r\n");
  host_.entries.Add("two.txt", "[Later]\r\nType=TLabel\r\n");
  auto& m = Start();
  // Uninstall work: runs on arrival, then the next page (Finish) is shown.
  host_.on_uninstall = [&] {
    EXPECT_TRUE(m.Working());
    EXPECT_FALSE(Buttons().Language.Visible);
  };
  ASSERT_TRUE(m.Next());
  EXPECT_EQ(host_.uninstalls, 1);
  EXPECT_EQ(m.CurrentPageType(), PageKind::Finish);
  EXPECT_FALSE(m.Closed());
  EXPECT_TRUE(m.Cancel());
  EXPECT_TRUE(m.RequestClose());
  EXPECT_EQ(host_.finalisers, 1);
  EXPECT_EQ(host_.stops, 1);
}

TEST_F(WizardModelTest, NextOntoAFinishPageClosesAtOnce) {
  info_.IsUninstaller = 1;
  host_.entries.Add("Pages.txt", "[Pages]\r\nwelcome.txt\r\nfinish.txt\r\n[PageTypes]\r\nwelcome\r\nfinish\r\n");
  auto& m = Start();
  ASSERT_TRUE(m.Next());
  EXPECT_TRUE(m.Closed());
  EXPECT_TRUE(dialogs_.Shown().empty());
  EXPECT_EQ(host_.finalisers, 1);
}

TEST_F(WizardModelTest, LanguageSwitchOnFinishKeepsCancelAtText16) {
  auto& m = Start();
  NextTo(PageKind::Finish);
  m.SelectLanguage(1);
  EXPECT_EQ(Buttons().Cancel.Caption, u"Fertig");
  EXPECT_EQ(Buttons().Back.Caption, u"< Zur\u00FCck");
  EXPECT_EQ(Buttons().Language.Caption, u"Deutsch");
  EXPECT_FALSE(Buttons().Next.Visible);
  EXPECT_FALSE(Buttons().Back.Visible);
  EXPECT_EQ(m.PageSet().Page(0).Controls()[0].Text, u"Willkommen");
  auto menu = m.LanguageMenu();
  ASSERT_EQ(menu.size(), 2u);
  EXPECT_FALSE(menu[0].Checked);
  EXPECT_TRUE(menu[1].Checked);
  EXPECT_EQ(menu[1].Caption, u"Deutsch");
}

TEST_F(WizardModelTest, LanguageSwitchKeepsThePageRules) {
  auto& m = Start();
  NextTo(PageKind::InstallDir);
  m.InstallDirEditChanged(u"E:\\Demo");
  ASSERT_TRUE(m.Next());
  ASSERT_FALSE(Buttons().Next.Enabled);
  m.SelectLanguage(1);
  EXPECT_EQ(Buttons().Next.Caption, u"Patchen");
  EXPECT_FALSE(Buttons().Next.Enabled);  // still too little space
  ASSERT_TRUE(m.Back());
  m.InstallDirEditChanged(u"D:\\Demo");
  m.SelectLanguage(0);
  EXPECT_FALSE(Buttons().Next.Enabled);  // still a CD-ROM
  m.SelectLanguage(7);                    // no such language: nothing happens
  EXPECT_EQ(languages_.Current, 0);
}

TEST_F(WizardModelTest, TreeSelectionFillsTheEditOnRealDrivesOnly) {
  auto& m = Start();
  NextTo(PageKind::InstallDir);
  m.TreeSelectionChanged(u"D:\\Stuff");
  EXPECT_EQ(m.InstallDirEdit()->Text, u"C:\\Program Files\\Demo\\");
  m.TreeSelectionChanged(u"E:\\Games");
  EXPECT_EQ(m.InstallDirEdit()->Text, u"E:\\Games");
  EXPECT_EQ(info_.InstallDir, "E:\\Games\\");
  ASSERT_TRUE(m.Back());
  m.TreeSelectionChanged(u"C:\\Other");  // not on the install-directory page
  EXPECT_EQ(m.InstallDirEdit()->Text, u"E:\\Games");
}

TEST_F(WizardModelTest, AFolderTheCodePageCannotHoldKeepsThePage) {
  auto& m = Start();
  NextTo(PageKind::InstallDir);
  const std::u16string folder = u"C:\\\u4E0B\u8F7D";
  m.TreeSelectionChanged(folder);
  EXPECT_FALSE(m.Next());
  EXPECT_EQ(m.CurrentPageType(), PageKind::InstallDir);
  ASSERT_EQ(dialogs_.Shown().size(), 1u);
  EXPECT_NE(dialogs_.Shown()[0].Text.find(folder), std::u16string::npos);
  m.InstallDirEditChanged(u"C:\\Caf\u00E9");
  EXPECT_TRUE(m.Next());
  EXPECT_EQ(info_.InstallDir, "C:\\Caf\xE9\\");
}

TEST_F(WizardModelTest, ADriveRootKeepsThePage) {
  auto& m = Start();
  NextTo(PageKind::InstallDir);
  // "C:" and shares the drive rule already refuses.
  for (const char16_t* root : {u"C:\\", u"E:\\Games\\.."}) {
    const size_t shown = dialogs_.Shown().size();
    m.InstallDirEditChanged(root);
    EXPECT_FALSE(m.Next()) << Utf16ToUtf8(root);
    EXPECT_EQ(m.CurrentPageType(), PageKind::InstallDir);
    ASSERT_EQ(dialogs_.Shown().size(), shown + 1);
    EXPECT_EQ(dialogs_.Shown().back().Text, FolderIsDriveRootMessage(root));
  }
  m.InstallDirEditChanged(u"C:\\Games");
  EXPECT_TRUE(m.Next());
}

TEST_F(WizardModelTest, ADriveRootNoPageCouldChangeStopsBeforeTheWork) {
  host_.entries.Add("Pages.txt", "[Pages]\r\nready.txt\r\nwork.txt\r\nfinish.txt\r\n"
                                 "[PageTypes]\r\nPatch\r\nPatching\r\nFinish\r\n");
  info_.InstallDir = "C:\\";
  space_available_ = 1000;
  auto& m = Start();
  m.Next();
  EXPECT_EQ(m.CurrentPageType(), PageKind::Patch);
  EXPECT_EQ(host_.installs, 0);
  ASSERT_EQ(dialogs_.Shown().size(), 1u);
  EXPECT_EQ(dialogs_.Shown()[0].Text, FolderIsDriveRootMessage(u"C:\\"));
}

TEST_F(WizardModelTest, MissingPageListLeavesButtonsAndAsksOnClose) {
  host_.entries.Add("Pages.txt", "");
  FakeHost empty;
  host_.entries = empty.entries;
  auto& m = Start();
  ASSERT_EQ(dialogs_.Shown().size(), 1u);
  EXPECT_EQ(dialogs_.Shown()[0].Text, u"Error File Missing: Pages.txt");
  EXPECT_EQ(m.PageSet().PageCount(), 0u);
  EXPECT_TRUE(Buttons().Back.Visible);
  EXPECT_TRUE(m.Next());
  EXPECT_EQ(m.CurrentPage(), 0);
  m.InstallDirEditChanged(u"D:\\");
  EXPECT_FALSE(m.Cancel());
  EXPECT_EQ(dialogs_.Shown().size(), 2u);
  EXPECT_EQ(dialogs_.Shown()[1].Caption, u"Quit");
}

TEST_F(WizardModelTest, ListWithoutTypesMovesThroughPagesWithoutActions) {
  host_.entries.Add("Pages.txt", "[Pages]\r\nwelcome.txt\r\ndir.txt\r\nwork.txt\r\nfinish.txt\r\n");
  auto& m = Start();
  for (int i = 1; i <= 3; ++i) {
    ASSERT_TRUE(m.Next());
    EXPECT_EQ(m.CurrentPage(), i);
    EXPECT_EQ(m.CurrentPageType(), PageKind::Welcome);
  }
  EXPECT_FALSE(m.InstallDirShown());
  EXPECT_EQ(host_.installs, 0);
  EXPECT_FALSE(m.Closed());
  // The last page: Next stays where it is.
  ASSERT_TRUE(m.Next());
  EXPECT_EQ(m.CurrentPage(), 3);
}

TEST_F(WizardModelTest, MainLayoutStaysVisibleWhileMoving) {
  auto& m = Start();
  const auto& backdrop = m.PageSet().Page(5).Controls()[0];
  EXPECT_TRUE(backdrop.Visible);
  NextTo(PageKind::Patch);
  EXPECT_TRUE(backdrop.Visible);
  EXPECT_FALSE(m.PageSet().Page(0).Controls()[0].Visible);
  EXPECT_EQ(m.PageSet().ZOrder().front(), (ControlRef{5, 0}));
}

TEST_F(WizardModelTest, LayoutErrorsEscapeSetUp) {
  host_.entries.Add("welcome.txt", "[WelcomeLabel]\r\nType=TLabel\r\nTop=high\r\n");
  EXPECT_THROW(Start(), SetupError);
}

TEST_F(WizardModelTest, ProcessWideObjectsDriveTheWizard) {
  // The same rules over the program's own context: the free-space macro of
  // text 7 reads the figure the install-directory page stored.
  SetupContext context;
  testing::AddStandardLanguages(context.Languages);
  context.SetupInfo.SetupTitle = "Context Setup";
  context.SetupInfo.InstallDir = "E:\\Demo\\";
  context.SpaceRequired = 10;
  WizardModel m(WizardDataOf(context), host_, drives_, dialogs_);
  m.SetPagesUp();
  EXPECT_EQ(m.Caption(), u" Context Setup");
  EXPECT_EQ(m.PageSet().Page(0).Controls()[0].Text, u"Welcome to Context Setup");
  ASSERT_TRUE(m.Next());
  EXPECT_EQ(context.SpaceAvailable, 50u);
  ASSERT_TRUE(m.Next());
  EXPECT_TRUE(m.Buttons().Next.Enabled);
  EXPECT_EQ(m.SpaceAvailableLabel()->Text, u"Space available " + CodePageToUtf16(FormatByteSize(50)));
  m.InstallDirEditChanged(u"ignored on the ready page");
  ASSERT_TRUE(m.Back());
  m.InstallDirEditChanged(u"C:\\Apps");
  EXPECT_EQ(context.SetupInfo.InstallDir, "C:\\Apps\\");
}

TEST_F(WizardModelTest, ObserverHearsOfChanges) {
  auto& m = Start();
  int before = observer_.changes;
  m.Next();
  EXPECT_GT(observer_.changes, before);
}

}  // namespace
}  // namespace ferry
