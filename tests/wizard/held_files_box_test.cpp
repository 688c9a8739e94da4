#include <gtest/gtest.h>

#include "base/dialogs.h"
#include "formats/languages/text_ids.h"
#include "wizard/held_files_box.h"
#include "wizard/wizard_test_support.h"

namespace ferry {
namespace {

const std::vector<HeldFile> kHeld = {{"C:\\App\\game.exe", {"Game", "Editor"}}, {"C:\\App\\a.dll", {}}};

TEST(HeldFilesBox, OffersTheRestartOnlyWhenTheScriptAllowsItAndEveryFileCanWait) {
  using A = HeldFilesAnswer;
  const struct {
    const char* what;
    HeldFilesBoxOptions options;
    bool possible;  // no product archive among the held files
    DialogAnswer clicked;
    A expected;
    std::optional<DialogButtons> shown;  // none: no box
  } cases[] = {
      {"no setting: Retry", {}, true, DialogAnswer::kRetry, A::kRetry, DialogButtons::kRetryCancel},
      {"no setting: Cancel", {}, true, DialogAnswer::kCancel, A::kCancel, DialogButtons::kRetryCancel},
      {"allowed: Continue", {.OfferRestart = true}, true, DialogAnswer::kContinue, A::kAtRestart,
       DialogButtons::kCancelTryContinue},
      {"allowed: Try Again", {.OfferRestart = true}, true, DialogAnswer::kRetry, A::kRetry,
       DialogButtons::kCancelTryContinue},
      {"allowed: Cancel", {.OfferRestart = true}, true, DialogAnswer::kCancel, A::kCancel,
       DialogButtons::kCancelTryContinue},
      {"allowed, an archive held", {.OfferRestart = true}, false, DialogAnswer::kCancel, A::kCancel,
       DialogButtons::kRetryCancel},
      {"/RESTARTOK asks nobody", {.RestartOk = true}, true, DialogAnswer::kCancel, A::kAtRestart, std::nullopt},
  };
  LanguageList languages;
  testing::AddStandardLanguages(languages, false);
  for (const auto& c : cases) {
    RecordingDialogs dialogs;
    dialogs.QueueAnswer(c.clicked);
    HeldFilesBox box(dialogs, languages, c.options);
    EXPECT_EQ(box.Ask(kHeld, c.possible), c.expected) << c.what;
    ASSERT_EQ(dialogs.Shown().size(), c.shown ? 1u : 0u) << c.what;
    if (c.shown) EXPECT_EQ(dialogs.Shown()[0].Buttons, *c.shown) << c.what;
  }
}

TEST(HeldFilesBox, TextsComeFromTheLanguageTableOrEnglishForOlderTables) {
  LanguageList languages;
  languages.Languages.push_back(testing::MakeLanguage(
      u"Deutsch", {{kTextHeldFilesCaption, u"Dateien in Verwendung"},
                   {kTextHeldFilesLead, u"Laufende Programme:"},
                   {kTextHeldFilesRetry, u"Wiederholen oder Abbrechen."},
                   {kTextHeldFilesRestart, u"Wiederholen, Weiter oder Abbrechen."}}));
  languages.Languages.push_back(testing::MakeLanguage(u"Old", {}));
  languages.Current = 0;
  EXPECT_EQ(HeldFilesBoxText(languages, kHeld, true),
            u"Laufende Programme:\r\n\r\nC:\\App\\game.exe (Game, Editor)\r\nC:\\App\\a.dll\r\n\r\n"
            u"Wiederholen, Weiter oder Abbrechen.");
  RecordingDialogs dialogs;
  HeldFilesBox(dialogs, languages, {}).Ask(kHeld, true);
  EXPECT_EQ(dialogs.Shown()[0].Caption, u"Dateien in Verwendung");
  EXPECT_NE(dialogs.Shown()[0].Text.find(u"Wiederholen oder Abbrechen."), std::u16string::npos);
  languages.Current = 1;
  const std::u16string english = HeldFilesBoxText(languages, kHeld, false);
  EXPECT_EQ(english.rfind(kHeldFilesLeadEnglish, 0), 0u);
  EXPECT_NE(english.find(kHeldFilesRetryEnglish), std::u16string::npos);
}

}  // namespace
}  // namespace ferry
