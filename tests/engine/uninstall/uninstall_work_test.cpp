#include "engine/uninstall/uninstall_work.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>

#include <map>
#include <set>

#include "formats/install_log/uninstall_list.h"
#include "base/text.h"
#include "formats/install_log/registry_record.h"
#include "formats/languages/languages.h"
#include "wizard/wizard_test_support.h"

namespace ferry {
namespace {

using testing::MakeLanguage;

LanguageList English() {
  LanguageList l;
  l.Languages.push_back(MakeLanguage(u"English", {{19, u"Removing <%RKPNAME%> <%FNUM%> of <%FTOTAL%>"},
                                                  {24, u"registry value"},
                                                  {25, u"folder"}}));
  l.Current = 0;
  return l;
}

// A file system and registry in memory, recording the order of the calls.
class FakeSystem : public UninstallSystem {
 public:
  std::set<std::string> files, dirs;
  std::map<std::string, bool> values;  // "root|key|name"
  std::set<std::string> undeletable;
  std::vector<std::string> calls;

  bool FileExists(const std::string& p) override { return files.count(p) != 0; }
  bool DeleteOneFile(const std::string& p) override {
    calls.push_back("file " + p);
    if (undeletable.count(p)) return false;
    return files.erase(p) != 0;
  }
  bool DirectoryExists(const std::string& p) override { return dirs.count(p) != 0; }
  bool RemoveEmptyFolder(const std::string& p) override {
    calls.push_back("dir " + p);
    for (const std::string& f : files)
      if (f.rfind(p, 0) == 0) return false;
    for (const std::string& d : dirs)
      if (d != p && d.rfind(p, 0) == 0) return false;
    dirs.erase(p);
    return true;
  }
  bool DeleteRegistryValue(int root, const std::string& key, const std::string& name) override {
    std::string id = std::to_string(root) + "|" + key + "|" + name;
    calls.push_back("value " + id);
    values.erase(id);
    return true;
  }
  void RemoveRegistration(const std::string& title) override { calls.push_back("registration " + title); }
  std::optional<std::vector<uint8_t>> ReadInstallLog() override { return std::nullopt; }
  bool DeleteInstallLog() override {
    calls.push_back("log");
    return true;
  }
};

class RecordingView : public UninstallView {
 public:
  std::vector<std::u16string> status;
  std::vector<std::pair<int32_t, int32_t>> gauge;
  std::vector<std::string> problems;
  void SetStatusText(std::u16string_view t) override { status.emplace_back(t); }
  void SetGauge(int32_t p, int32_t m) override { gauge.emplace_back(p, m); }
  void Problem(std::string_view t) override { problems.emplace_back(t); }
};

std::string Expand(std::string_view p) {
  std::string s(p);
  const std::string var = "$INSTDIR";
  if (s.rfind(var, 0) == 0) s = "C:\\Game" + s.substr(var.size());
  return s;
}

TEST(ProgressDueTest, FromTheItemThatReachesAHundredthOfTheList) {
  EXPECT_FALSE(ProgressDue(1, 500));
  EXPECT_FALSE(ProgressDue(4, 500));
  for (uint32_t i = 5; i <= 500; ++i) EXPECT_TRUE(ProgressDue(i, 500)) << i;
  EXPECT_TRUE(ProgressDue(1, 100));
  EXPECT_TRUE(ProgressDue(1, 1));
  EXPECT_FALSE(ProgressDue(0, 10));
  EXPECT_FALSE(ProgressDue(1, 0));
  EXPECT_FALSE(ProgressDue(1, 101));
  EXPECT_TRUE(ProgressDue(2, 101));
}

TEST(FormatProgressTextTest, ReplacesNameNumberAndTotalInThatOrder) {
  LanguageList l = English();
  EXPECT_EQ(FormatProgressText(l, u"folder", 3, 10), u"Removing folder 3 of 10");
  EXPECT_EQ(FormatProgressText(l, u"", 7, 150), u"Removing  7 of 150");
  // A name holding a later macro is replaced by it too: the order is fixed.
  EXPECT_EQ(FormatProgressText(l, u"<%FNUM%>", 2, 4), u"Removing 2 2 of 4");
  EXPECT_EQ(UninstallStartText(164), u"Status: 0 of 164 items remaining");
}

class ReplayTest : public ::testing::Test {
 protected:
  UninstallOutcome Run() {
    UninstallWorkArgs args{log, languages, Expand, "Tidewater Atlas"};
    return RunUninstallWork(args, system, view);
  }
  UninstallList log;
  LanguageList languages = English();
  FakeSystem system;
  RecordingView view;
};

TEST_F(ReplayTest, OneHundredFiftyFilesTenFoldersFourValues) {
  for (int i = 0; i < 150; ++i) {
    std::string f = "$INSTDIR\\f" + std::to_string(i);
    log.AddFile(f);
    system.files.insert(Expand(f));
  }
  for (int i = 0; i < 10; ++i) {
    std::string d = "C:\\Game\\d" + std::to_string(i) + "\\";
    log.AddDirectory(d);
    system.dirs.insert(d);
  }
  for (int i = 0; i < 4; ++i)
    log.AddRegistryEntry(MakeRegistryRecord("HKCU", "Software\\G", "v" + std::to_string(i), "x"));
  UninstallOutcome out = Run();
  EXPECT_EQ(out.Total, 164u);
  ASSERT_FALSE(view.status.empty());
  EXPECT_EQ(view.status.front(), u"Status: 0 of 164 items remaining");
  EXPECT_EQ(view.gauge.front(), (std::pair<int32_t, int32_t>{0, 164}));
  EXPECT_EQ(view.gauge.back(), (std::pair<int32_t, int32_t>{164, 164}));
  EXPECT_EQ(view.status.back(), u"Removing registry value 4 of 4");
  // The folders' gauge positions follow the files'.
  EXPECT_NE(std::find(view.gauge.begin(), view.gauge.end(), std::pair<int32_t, int32_t>{151, 164}), view.gauge.end());
  EXPECT_NE(std::find(view.status.begin(), view.status.end(), u"Removing folder 10 of 10"), view.status.end());
  EXPECT_EQ(out.FilesDeleted, 150u);
  EXPECT_EQ(out.DirectoriesRemoved, 10u);
  EXPECT_EQ(out.RegistryValuesDeleted, 4u);
  EXPECT_TRUE(system.files.empty());
  EXPECT_TRUE(system.dirs.empty());
  EXPECT_TRUE(view.problems.empty());
}

TEST_F(ReplayTest, FiveHundredFilesTheFirstFourUpdateNothing) {
  for (int i = 0; i < 500; ++i) log.AddFile("$INSTDIR\\f" + std::to_string(i));
  Run();
  // The start, then files 5 to 500, then nothing else (no folders, no values).
  ASSERT_EQ(view.status.size(), 1u + 496u);
  EXPECT_EQ(view.status[1], u"Removing f4 5 of 500");  // named by the file it removes
  ASSERT_EQ(view.gauge.size(), 1u + 496u);
  EXPECT_EQ(view.gauge[1].first, 5);
  EXPECT_EQ(view.gauge.back().first, 500);
}

TEST_F(ReplayTest, OrderIsFilesThenFoldersLastFirstThenValuesThenRegistrationThenLog) {
  log.AddFile("$INSTDIR\\a.txt");
  log.AddFile("$INSTDIR\\sub\\b.txt");
  log.AddDirectory("C:\\Game\\");
  log.AddDirectory("C:\\Game\\sub\\");
  log.AddRegistryEntry(MakeRegistryRecord("hkcu", "Software\\G\\", "Version", "1"));
  log.AddRegistryEntry(MakeRegistryRecord("Bogus", "Software\\G\\", "", ""));
  system.files = {"C:\\Game\\a.txt", "C:\\Game\\sub\\b.txt"};
  system.dirs = {"C:\\Game\\", "C:\\Game\\sub\\"};
  Run();
  EXPECT_EQ(system.calls, (std::vector<std::string>{"file C:\\Game\\a.txt", "file C:\\Game\\sub\\b.txt",
                                                    "dir C:\\Game\\sub\\", "dir C:\\Game\\",
                                                    "value 1|Software\\G\\|Version", "value 0|Software\\G\\|",
                                                    "registration Tidewater Atlas", "log"}));
}

TEST_F(ReplayTest, AFolderHoldingAUserFileStaysWithItsParents) {
  log.AddFile("$INSTDIR\\saves\\game.sav");
  log.AddDirectory("C:\\Game\\");
  log.AddDirectory("C:\\Game\\saves\\");
  system.files = {"C:\\Game\\saves\\game.sav", "C:\\Game\\saves\\mine.sav"};
  system.dirs = {"C:\\Game\\", "C:\\Game\\saves\\"};
  UninstallOutcome out = Run();
  EXPECT_EQ(system.files, (std::set<std::string>{"C:\\Game\\saves\\mine.sav"}));
  EXPECT_EQ(system.dirs.size(), 2u);
  EXPECT_EQ(out.DirectoriesKept, 2u);
  EXPECT_TRUE(view.problems.empty());
}

TEST_F(ReplayTest, MissingThingsArePassedOverSilently) {
  log.AddFile("$INSTDIR\\gone.txt");
  log.AddDirectory("C:\\Game\\gone\\");
  UninstallOutcome out = Run();
  EXPECT_EQ(out.FilesDeleted, 0u);
  EXPECT_EQ(out.NotRemoved, 0u);
  EXPECT_TRUE(view.problems.empty());
  EXPECT_EQ(system.calls, (std::vector<std::string>{"registration Tidewater Atlas", "log"}));
}

TEST_F(ReplayTest, UnsafeFilePathsAndMalformedRecordsAreSkippedAndReported) {
  for (const char* bad : {"$INSTDIR\\*.*", "C:\\Game\\?.txt", "relative\\x.txt", "\\\\server\\share\\x",
                          "C:\\Game\\..\\Windows\\win.ini", "C:\\", "C:\\Game\\x.txt:stream"})
    log.AddFile(bad);
  log.AddRegistryEntry("\"HKLM\" \"Software\\X");
  log.AddRegistryEntry("justoneword");
  system.files = {"C:\\Game\\*.*"};
  UninstallOutcome out = Run();
  EXPECT_EQ(out.Skipped, 9u);
  EXPECT_EQ(view.problems.size(), 9u);
  for (const std::string& c : system.calls) {
    EXPECT_NE(c.rfind("file ", 0), 0u) << c;
    EXPECT_NE(c.rfind("value ", 0), 0u) << c;
  }
}

TEST_F(ReplayTest, AFileThatWillNotGoIsCountedAndReported) {
  log.AddFile("$INSTDIR\\locked.dll");
  system.files = {"C:\\Game\\locked.dll"};
  system.undeletable = {"C:\\Game\\locked.dll"};
  UninstallOutcome out = Run();
  EXPECT_EQ(out.NotRemoved, 1u);
  ASSERT_EQ(view.problems.size(), 1u);
  EXPECT_NE(view.problems[0].find("C:\\Game\\locked.dll"), std::string::npos);
}

TEST(CheckInstallLogTest, ASavedLogIsSoundAndDamageIsNamed) {
  UninstallList list;
  list.AddFile("$INSTDIR\\a");
  list.AddRegistryEntry(MakeRegistryRecord("HKCU", "K", "V", "D"));
  list.AddDirectory("C:\\Game\\");
  std::vector<uint8_t> bytes = list.SaveToBuffer();
  EXPECT_FALSE(CheckInstallLog(bytes));
  EXPECT_FALSE(CheckInstallLog(std::vector<uint8_t>(6, 0)));

  auto cut = bytes;
  cut.pop_back();
  ASSERT_TRUE(CheckInstallLog(cut));
  EXPECT_NE(CheckInstallLog(cut)->find("folder entry 1"), std::string::npos);

  auto longer = bytes;
  longer.push_back(0);
  ASSERT_TRUE(CheckInstallLog(longer));
  EXPECT_NE(CheckInstallLog(longer)->find("1 bytes follow"), std::string::npos);

  auto counts = bytes;
  counts[0] = 0xFF;  // 255 files promised
  EXPECT_TRUE(CheckInstallLog(counts));
  EXPECT_TRUE(CheckInstallLog(std::vector<uint8_t>{1, 0, 0}));
  EXPECT_TRUE(CheckInstallLog(std::vector<uint8_t>{}));
}

}  // namespace
}  // namespace ferry
