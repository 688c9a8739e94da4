#include <gtest/gtest.h>

#include "base/setup_error.h"
#include "formats/layout/page_list.h"
#include "wizard/wizard_test_support.h"

namespace ferry {
namespace {

using testing::EntryMap;

class PageListTest : public ::testing::Test {
 protected:
  PageListTest() {
    testing::AddStandardLanguages(languages_);
    entries_.Add("welcome.txt", "[WelcomeLabel]\r\nType=TLabel\r\nCaption=<LANG1>\r\n");
    entries_.Add("dir.txt", "[installdir_edit]\r\nType=TEdit\r\n");
    entries_.Add("ready.txt", "[spaceavalible]\r\nType=TLabel\r\n");
    entries_.Add("work.txt", "[patching_statuslabel]\r\nType=TLabel\r\n");
    entries_.Add("finish.txt", "[finishtext]\r\nType=TLabel\r\n");
    entries_.Add("main.txt", "[Backdrop]\r\nType=TImage\r\n[Logo]\r\nType=TImage\r\n");
  }

  PageList& Load(std::string_view list) {
    entries_.Add("Pages.txt", list);
    pages_ = std::make_unique<PageList>(LayoutEnv{entries_.Loader(), Missing(), &languages_, nullptr},
                                              buttons_);
    pages_->LoadPageSet("Pages.txt");
    return *pages_;
  }

  std::vector<PageKind> Types() const {
    std::vector<PageKind> out;
    for (size_t i = 0; i < pages_->PageCount(); ++i) out.push_back(pages_->Page(i).PageType);
    return out;
  }

  bool PageVisible(size_t page) const {
    const auto& controls = pages_->Page(page).Controls();
    return !controls.empty() && controls[0].Visible;
  }

  EntryMap entries_;
  // "caption: text" of each missing entry said.
  std::vector<std::string> missing_;
  std::function<void(const std::string&, const std::string&)> Missing() {
    return [this](const std::string& text, const std::string& caption) { missing_.push_back(caption + ": " + text); };
  }
  LanguageList languages_;
  WizardButtons buttons_;
  std::unique_ptr<PageList> pages_;
};

TEST_F(PageListTest, ExampleListMakesTypedPages) {
  auto& p = Load(
      "[Pages]\r\nwelcome.txt\r\ndir.txt\r\nready.txt\r\nwork.txt\r\nfinish.txt\r\nmain.txt\r\n"
      "[PageTypes]\r\nWelcome\r\nInstallDir\r\nPatch\r\nPatching\r\nFinish\r\nMainLayout\r\n"
      "[Settings]\r\ncolour $000000\r\n");
  EXPECT_EQ(p.PageCount(), 6u);
  EXPECT_EQ(Types(), (std::vector<PageKind>{PageKind::Welcome, PageKind::InstallDir, PageKind::Patch,
                                             PageKind::Patching, PageKind::Finish, PageKind::MainLayout}));
  EXPECT_EQ(p.Colour(), 0u);
  EXPECT_EQ(p.FontColour(), 0u);
  EXPECT_EQ(p.CurrentPage(), 0);
  EXPECT_TRUE(missing_.empty());
}

TEST_F(PageListTest, SectionNamesIgnoreCaseButNotBlanks) {
  Load("[pages]\r\nwelcome.txt\r\n[PAGES]\r\ndir.txt\r\n[ Pages ]\r\nready.txt\r\n");
  EXPECT_EQ(pages_->PageCount(), 2u);
  EXPECT_EQ(pages_->Page(1).Controls()[0].Name, "installdir_edit");
}

TEST_F(PageListTest, ColourSeparatorIsAnyOneCharacter) {
  EXPECT_EQ(Load("[Settings]\r\ncolour=$00FF00\r\n").Colour(), 0x00FF00u);
  EXPECT_EQ(Load("[settings]\r\nCOLOUR $123456\r\nfontcolour:$0000FF\r\n").Colour(), 0x123456u);
  EXPECT_EQ(pages_->FontColour(), 0x0000FFu);
  EXPECT_EQ(Load("[Settings]\r\nsomething else\r\n").Colour(), 0xFFFFFFu);  // white until set
  EXPECT_FALSE(pages_->DarkColour().has_value());
  EXPECT_EQ(Load("[Settings]\r\nDarkColour=$202020\r\ndarkfontcolour $E0E0E0\r\n").DarkColour(), 0x202020u);
  EXPECT_EQ(pages_->DarkFontColour(), 0xE0E0E0u);
  EXPECT_EQ(pages_->Colour(), 0xFFFFFFu);
}

TEST_F(PageListTest, ColourThatIsNoIntegerIsAConversionError) {
  try {
    Load("[Settings]\r\ncolour black\r\n");
    ADD_FAILURE();
  } catch (const SetupError& e) {
    EXPECT_STREQ(e.what(), "'black' is not a valid integer value");
  }
  EXPECT_THROW(Load("[Settings]\r\ncolour\r\n"), SetupError);
}

TEST_F(PageListTest, WithoutPageTypesEveryPageIsAWelcomePage) {
  Load("[Pages]\r\nwelcome.txt\r\ndir.txt\r\nfinish.txt\r\n");
  EXPECT_EQ(Types(), (std::vector<PageKind>(3, PageKind::Welcome)));
}

TEST_F(PageListTest, TypeLinesBeyondThePagesOrBeforeThemAreIgnored) {
  Load("[PageTypes]\r\nFinish\r\n[Pages]\r\nwelcome.txt\r\ndir.txt\r\n[PageTypes]\r\nPatch\r\nnonsense\r\nFinish\r\nPatching\r\n");
  EXPECT_EQ(Types(), (std::vector<PageKind>{PageKind::Patch, PageKind::Welcome}));
}

TEST_F(PageListTest, KeywordsOfEveryType) {
  for (auto [word, type] : std::vector<std::pair<const char*, PageKind>>{
           {"welcome", PageKind::Welcome}, {"CHANGELOG", PageKind::ChangeLog},
           {"InstallDir", PageKind::InstallDir}, {"patch", PageKind::Patch},
           {"Patching", PageKind::Patching}, {"finish", PageKind::Finish},
           {"MainLayout", PageKind::MainLayout}, {"Uninstall", PageKind::Uninstall}, {"scope", PageKind::Scope}})
    EXPECT_EQ(PageTypeFromKeyword(word), type) << word;
  EXPECT_FALSE(PageTypeFromKeyword("ready").has_value());
  EXPECT_EQ(static_cast<int>(PageKind::Uninstall), 7);
}

// Start-up asks without loading a layout, by the rules the page set reads.
TEST_F(PageListTest, WhetherAListTypesAPageScope) {
  struct Case {
    const char* list;
    bool has;
  } cases[] = {
      {"[Pages]\r\na.txt\r\nb.txt\r\n[PageTypes]\r\nWelcome\r\nScope\r\n", true},
      {"[pages]\r\na.txt\r\n[pagetypes]\r\nSCOPE\r\n", true},
      {"[Pages]\r\na.txt\r\n[PageTypes]\r\nWelcome\r\nScope\r\n", false},  // beyond the pages
      {"[PageTypes]\r\nScope\r\n[Pages]\r\na.txt\r\n", false},               // before them
      {"[Pages]\r\nscope.txt\r\n", false},
      {"[Pages]\r\na.txt\r\n[PageTypes]\r\nScope\r\n[PageTypes]\r\nWelcome\r\n", false},  // typed again
  };
  for (const Case& c : cases) {
    const std::string list = c.list;
    EXPECT_EQ(PageListHasType(std::vector<uint8_t>(list.begin(), list.end()), PageKind::Scope), c.has) << c.list;
  }
}

TEST_F(PageListTest, MissingListShowsTheBoxAndLeavesNoPages) {
  pages_ = std::make_unique<PageList>(LayoutEnv{entries_.Loader(), Missing(), &languages_, nullptr}, buttons_);
  pages_->LoadPageSet("Absent.txt");
  EXPECT_EQ(pages_->PageCount(), 0u);
  EXPECT_FALSE(pages_->CurrentPageType().has_value());
  ASSERT_EQ(missing_.size(), 1u);
  EXPECT_EQ(missing_[0], "Missing File: Error File Missing: Absent.txt");
}

TEST_F(PageListTest, MissingLayoutGivesAnEmptyPage) {
  Load("[Pages]\r\nwelcome.txt\r\nlost.txt\r\ndir.txt\r\n");
  EXPECT_EQ(pages_->PageCount(), 3u);
  EXPECT_TRUE(pages_->Page(1).Controls().empty());
  ASSERT_EQ(missing_.size(), 1u);
  EXPECT_NE(missing_[0].find("Error File Missing: |lost.txt|"), std::string::npos);
}

TEST_F(PageListTest, FirstPageIsShownAtOnceWithBackHidden) {
  Load("[Pages]\r\nwelcome.txt\r\ndir.txt\r\n");
  EXPECT_TRUE(PageVisible(0));
  EXPECT_FALSE(PageVisible(1));
  EXPECT_FALSE(buttons_.Back.Visible);
  EXPECT_TRUE(buttons_.Next.Visible);
  EXPECT_TRUE(buttons_.Next.Enabled);
  EXPECT_EQ(buttons_.Next.Caption, u"Next >");
}

TEST_F(PageListTest, ButtonsFollowThePageType) {
  Load("[Pages]\r\nwelcome.txt\r\nready.txt\r\nwork.txt\r\nfinish.txt\r\n[PageTypes]\r\nwelcome\r\npatch\r\npatching\r\nfinish\r\n");
  pages_->ShowPage(1);
  EXPECT_TRUE(buttons_.Back.Visible);
  EXPECT_EQ(buttons_.Next.Caption, u"Patch");
  pages_->ShowPage(0);
  EXPECT_EQ(buttons_.Next.Caption, u"Next >");
  pages_->ShowPage(2);
  EXPECT_FALSE(buttons_.Back.Visible);
  EXPECT_FALSE(buttons_.Next.Enabled);
  EXPECT_FALSE(buttons_.Cancel.Enabled);
  EXPECT_FALSE(buttons_.Language.Visible);
  pages_->ShowPage(3);
  EXPECT_FALSE(buttons_.Back.Visible);
  EXPECT_FALSE(buttons_.Next.Visible);
  EXPECT_TRUE(buttons_.Cancel.Visible);
  EXPECT_TRUE(buttons_.Cancel.Enabled);
  EXPECT_EQ(buttons_.Cancel.Caption, u"Finish");
  // Nothing shows Next or the language button again.
  pages_->ShowPage(0);
  EXPECT_FALSE(buttons_.Next.Visible);
  EXPECT_FALSE(buttons_.Language.Visible);
}

TEST_F(PageListTest, ShowPageOutOfRangeDoesNothing) {
  Load("[Pages]\r\nwelcome.txt\r\ndir.txt\r\n");
  pages_->ShowPage(1);
  pages_->ShowPage(2);
  pages_->ShowPage(-1);
  EXPECT_EQ(pages_->CurrentPage(), 1);
  EXPECT_TRUE(PageVisible(1));
}

TEST_F(PageListTest, MainLayoutStaysVisibleAndLiesBehind) {
  Load("[Pages]\r\nwelcome.txt\r\nmain.txt\r\ndir.txt\r\n[PageTypes]\r\nwelcome\r\nmainlayout\r\ninstalldir\r\n");
  for (int page : {0, 2}) {
    pages_->ShowPage(page);
    EXPECT_TRUE(PageVisible(1));
    EXPECT_TRUE(pages_->Page(1).Controls()[1].Visible);
  }
  EXPECT_FALSE(PageVisible(0));
  // Backmost first: the main layout's controls in their own order, then the rest by creation.
  EXPECT_EQ(pages_->ZOrder(),
            (std::vector<ControlRef>{{1, 0}, {1, 1}, {0, 0}, {2, 0}}));
}

TEST_F(PageListTest, RefreshTextsFollowsTheLanguage) {
  Load("[Pages]\r\nwelcome.txt\r\n");
  languages_.Current = 1;
  pages_->RefreshTexts();
  EXPECT_EQ(pages_->Page(0).Controls()[0].Text, u"Willkommen");
}

}  // namespace
}  // namespace ferry
