#include <gtest/gtest.h>

#include <filesystem>

#include "formats/pak/digit_key.h"
#include "base/file_system.h"
#include "formats/install_log/uninstall_list.h"
#include "base/random_access_file.h"
#include "base/text.h"

namespace ferry {
namespace {

UninstallList Sample() {
  UninstallList log;
  log.AddFile("$INSTDIR\\game.exe");
  log.AddFile("$INSTDIR\\data\\x.dat");
  log.AddRegistryEntry("\"HKLM\" \"Software\\Vendor\\Product\" \"Path\" \"$INSTDIR\"");
  log.AddDirectory("C:\\Games\\Product");
  log.AddDirectory("C:\\Games\\Product\\data\\");
  log.AddDirectory("C:\\Games\\Product");
  return log;
}

TEST(InstallLog, ThreeZeroCountsAreSixBytesAndLoadAsEmptyLists) {
  UninstallList empty;
  std::vector<uint8_t> bytes = empty.SaveToBuffer();
  EXPECT_EQ(bytes, (std::vector<uint8_t>{0, 0, 0, 0, 0, 0}));

  UninstallList log = Sample();
  log.LoadFromBuffer(bytes);
  EXPECT_TRUE(log.Files().empty());
  EXPECT_TRUE(log.RegistryEntries().empty());
  EXPECT_TRUE(log.Directories().empty());
  EXPECT_FALSE(log.HasFile("$INSTDIR\\game.exe"));  // the index is replaced too
}

TEST(InstallLog, LayoutIsCountsThenEncipheredStringsListByList) {
  UninstallList log;
  log.AddFile("ab");
  log.AddDirectory("c");
  std::vector<uint8_t> bytes = log.SaveToBuffer();
  std::string a = DigitKeyEncode(kInstallLogKey, "ab");
  std::string c = DigitKeyEncode(kInstallLogKey, "c");  // the key restarts for every string
  std::vector<uint8_t> expected{1, 0, 0, 0, 1, 0, 2, 0};
  expected.insert(expected.end(), a.begin(), a.end());
  expected.insert(expected.end(), {1, 0});
  expected.insert(expected.end(), c.begin(), c.end());
  EXPECT_EQ(bytes, expected);
  EXPECT_NE(a, "ab");
}

TEST(InstallLog, SavedAndLoadedLogKeepsAllThreeLists) {
  UninstallList log = Sample();
  UninstallList back;
  back.LoadFromBuffer(log.SaveToBuffer());
  EXPECT_EQ(back.Files(), log.Files());
  EXPECT_EQ(back.RegistryEntries(), log.RegistryEntries());
  EXPECT_EQ(back.Directories(), log.Directories());
  EXPECT_EQ(back.Directories().size(), 3u);  // folders may repeat
  EXPECT_TRUE(back.HasFile("$instdir\\GAME.exe"));
  EXPECT_FALSE(back.AddFile("$INSTDIR\\Game.EXE"));
}

TEST(InstallLog, FileRoundTripUsesPrefixAndReplacesTheLists) {
  auto dir = std::filesystem::temp_directory_path() / "ferry_install_log_test";
  std::filesystem::create_directories(dir);
  std::string folder = dir.string();

  UninstallList log = Sample();
  ASSERT_TRUE(log.SaveToFile(DiskFileSystem(), folder, "Demo_"));
  EXPECT_TRUE(std::filesystem::exists(dir / "Demo_install.log"));
  EXPECT_EQ(ReadFileBytes(dir / "Demo_install.log"), log.SaveToBuffer());

  UninstallList back;
  back.AddFile("stale");
  ASSERT_TRUE(back.LoadFromFile(DiskFileSystem(), folder, "Demo_"));
  EXPECT_EQ(back.Files(), log.Files());
  EXPECT_EQ(back.Directories(), log.Directories());

  // A missing log leaves the lists as they were.
  EXPECT_FALSE(back.LoadFromFile(DiskFileSystem(), folder, ""));
  EXPECT_EQ(back.Files(), log.Files());
  std::filesystem::remove_all(dir);
}

TEST(InstallLog, DuplicatesInOtherLetterCaseAreRefused) {
  UninstallList log;
  EXPECT_TRUE(log.AddFile("$INSTDIR\\Data\\X.dat"));
  EXPECT_FALSE(log.AddFile("$instdir\\data\\x.DAT"));
  EXPECT_TRUE(log.AddFile("$INSTDIR\\Data\\Y.dat"));
  EXPECT_EQ(log.Files(), (std::vector<std::string>{"$INSTDIR\\Data\\X.dat", "$INSTDIR\\Data\\Y.dat"}));

  EXPECT_TRUE(log.AddRegistryEntry("\"HKLM\" \"Key\" \"V\" \"1\""));
  EXPECT_FALSE(log.AddRegistryEntry("\"hklm\" \"KEY\" \"v\" \"1\""));
  EXPECT_TRUE(log.HasRegistryEntry("\"HKLM\" \"key\" \"V\" \"1\""));
  EXPECT_EQ(log.RegistryEntries().size(), 1u);

  log.Clear();
  EXPECT_TRUE(log.AddFile("$INSTDIR\\Data\\X.dat"));
}

// Past many growths of the index, and back from a saved log: every entry is
// found in any letter case, and nothing that was not added.
TEST(InstallLog, ManyEntriesAreFoundInAnyLetterCase) {
  UninstallList log;
  auto path = [](size_t i) { return "$INSTDIR\\Dir" + std::to_string(i % 37) + "\\File" + std::to_string(i) + ".Dat"; };
  for (size_t i = 0; i < 5000; ++i) ASSERT_TRUE(log.AddFile(path(i)));
  UninstallList loaded;
  loaded.LoadFromBuffer(log.SaveToBuffer());
  for (const UninstallList* list : {&log, &loaded}) {
    for (size_t i = 0; i < 5000; ++i) ASSERT_TRUE(list->HasFile(AsciiLowerCopy(path(i)))) << i;
    EXPECT_FALSE(list->HasFile(path(5000)));
  }
  for (size_t i = 0; i < 5000; i += 7) EXPECT_FALSE(log.AddFile(AsciiLowerCopy(path(i))));
  EXPECT_EQ(log.Files().size(), 5000u);
}

TEST(InstallLog, AddFileFoldsThePathFirst) {
  UninstallList log;
  log.SetPathFolder([](std::string_view p) {
    std::string s(p);
    if (s.rfind("C:\\Game", 0) == 0) s = "$INSTDIR" + s.substr(7);
    return s;
  });
  EXPECT_TRUE(log.AddFile("C:\\Game\\a.txt"));
  EXPECT_EQ(log.Files()[0], "$INSTDIR\\a.txt");
  EXPECT_FALSE(log.AddFile("$INSTDIR\\A.TXT"));
  EXPECT_TRUE(log.HasFile("$INSTDIR\\a.txt"));
}

TEST(InstallLog, ListsStopAtWhatTheFormatCanHold) {
  UninstallList log;
  for (size_t i = 0; i < UninstallList::kMaxEntries; ++i) ASSERT_TRUE(log.AddDirectory("d"));
  EXPECT_FALSE(log.AddDirectory("d"));
  EXPECT_FALSE(log.AddFile(std::string(70000, 'x')));
  std::vector<uint8_t> bytes = log.SaveToBuffer();
  EXPECT_EQ(bytes[4], 0xFF);
  EXPECT_EQ(bytes[5], 0xFF);
  UninstallList back;
  back.LoadFromBuffer(bytes);
  EXPECT_EQ(back.Directories().size(), UninstallList::kMaxEntries);
}

TEST(InstallLog, DamagedCountsCreateOnlyWhatTheBytesHold) {
  // 65,535 files promised, one string present and cut short.
  std::vector<uint8_t> bytes{0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 5, 0};
  std::string enc = DigitKeyEncode(kInstallLogKey, "abc");
  bytes.insert(bytes.end(), enc.begin(), enc.end());
  UninstallList log;
  log.LoadFromBuffer(bytes);
  EXPECT_EQ(log.Files(), (std::vector<std::string>{"abc"}));
  EXPECT_TRUE(log.RegistryEntries().empty());
  EXPECT_TRUE(log.Directories().empty());

  log.LoadFromBuffer(std::span<const uint8_t>(bytes.data(), 3));
  EXPECT_TRUE(log.Files().empty());
}

}  // namespace
}  // namespace ferry
