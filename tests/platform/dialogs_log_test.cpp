#include <gtest/gtest.h>

#include <cstdio>

#include "platform/dialogs_win.h"
#include "platform/files.h"
#include "platform/run_log.h"
#include "platform/win_text.h"
#include "platform/temp_dir.h"

namespace ferry {
namespace {

// Read while the log still holds the file open.
std::string ReadText(const std::string& path) {
  std::FILE* f = _wfopen(AnsiToWide(path).c_str(), L"rb");
  if (!f) return "<cannot open>";
  std::string text;
  char buffer[4096];
  size_t n;
  while ((n = std::fread(buffer, 1, sizeof(buffer), f)) > 0) text.append(buffer, n);
  std::fclose(f);
  return text;
}

TEST(RunLog, BreaksAreNormalisedPerTarget) {
  EXPECT_EQ(RunLog::NormaliseBreaks("a\rb\r\nc\nd", "\n"), "a\nb\nc\nd");
  EXPECT_EQ(RunLog::NormaliseBreaks("a\r\rb", "\r\n"), "a\r\n\r\nb");
  EXPECT_EQ(RunLog::NormaliseBreaks("", "\n"), "");
}

TEST(RunLog, FileGetsEveryLineWithCrLf) {
  testing::TempDir tmp("log");
  RunLog log(false);
  ASSERT_TRUE(log.OpenFile(tmp.path() + "run.log"));
  log.Line("first");
  log.Message("Error", "Invalid\rthing");
  EXPECT_EQ(ReadText(tmp.path() + "run.log"), "first\r\nError: Invalid\r\nthing\r\n");
  RunLog bad(false);
  EXPECT_FALSE(bad.OpenFile(tmp.path() + "no\\such\\dir\\x.log"));
  bad.Line("goes nowhere, no crash");
}

TEST(SilentDialogs, AnswerTheDocumentedDefaultsAndLogEverything) {
  testing::TempDir tmp("silent");
  RunLog log(false);
  ASSERT_TRUE(log.OpenFile(tmp.path() + "run.log"));
  SilentDialogs dialogs(log);
  EXPECT_EQ(dialogs.Show("Done", "Setup", DialogButtons::kOk, DialogIcon::kNone), DialogAnswer::kOk);
  EXPECT_EQ(dialogs.Show("Go on?", "Setup", DialogButtons::kOkCancel, DialogIcon::kQuestion), DialogAnswer::kOk);
  EXPECT_EQ(dialogs.Show("In use", "Setup", DialogButtons::kRetryCancel, DialogIcon::kWarning),
            DialogAnswer::kCancel);
  EXPECT_EQ(dialogs.ShowUnicode(u"Overwrite \u00e9?", u"Frage", DialogButtons::kYesNo, DialogIcon::kQuestion),
            DialogAnswer::kYes);
  EXPECT_EQ(ReadText(tmp.path() + "run.log"),
            "Setup: Done\r\n"
            "Setup: Go on?\r\n(answered OK)\r\n"
            "Setup: In use\r\n(answered Cancel)\r\n"
            "Frage: Overwrite \xc3\xa9?\r\n(answered Yes)\r\n");
}

}  // namespace
}  // namespace ferry
