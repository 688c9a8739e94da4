// 8-bit names in a system code page other than Windows-1252. The suite runs
// this test a second time with LC_ALL=ru_RU.UTF-8, under which Wine's ANSI
// code page is 1251 (FERRY_EXPECT_ACP says so, and the test then insists).
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "base/file_system.h"
#include "formats/pak/group_extractor.h"
#include "formats/pak/pak_reader.h"
#include "formats/pak/pak_writer.h"
#include "formats/install_log/uninstall_list.h"
#include "base/random_access_file.h"
#include "base/text.h"
#include "platform/files.h"
#include "platform/win_text.h"
#include "platform/temp_dir.h"


namespace ferry {
namespace {

using testing::TempDir;

TEST(SystemCodePage, EightBitNamesNameWhatWindowsNamesThatWay) {
  const char* expected = std::getenv("FERRY_EXPECT_ACP");
  if (expected) ASSERT_EQ(GetACP(), std::stoul(expected));
  const std::u16string folder = u"\u041A\u0430\u0440\u0442\u0430";  // "Map" in Cyrillic letters
  const std::string ansi = CodePageFromUtf16(folder);
  if (ansi.find('?') != std::string::npos) {
    ASSERT_EQ(expected, nullptr) << "code page " << expected << " should hold Cyrillic letters";
    GTEST_SKIP() << "code page " << GetACP() << " has no Cyrillic letters";
  }
  EXPECT_EQ(ansi.size(), folder.size());
  EXPECT_EQ(CodePageFromUtf16Exactly(folder), ansi);
  EXPECT_FALSE(CodePageFromUtf16Exactly(u"\u4E0B\u8F7D"));  // Chinese: no
  EXPECT_FALSE(CodePageFromUtf16Exactly(u"\u0100"));         // best fit "A": no
  EXPECT_EQ(CodePageToUtf16(ansi), folder);
  EXPECT_EQ(CodePageToUtf16(ansi), AnsiToU16(ansi));  // the same reading as every Windows call
  // Names compare lower-cased as the code page lower-cases ("\u0427" and
  // "\u042F" sit where Windows-1252 has letters without a lower case).
  EXPECT_EQ(CodePageLower(CodePageFromUtf16(u"\u0427\u0410\u042F.TXT")),
            CodePageFromUtf16(u"\u0447\u0430\u044F.txt"));

  TempDir tmp("codepage");
  const std::string dir = tmp.path() + ansi + "\\";
  const std::filesystem::path wideDir = std::filesystem::path(AnsiToWide(tmp.path())) / U16ToWide(folder);

  // An entry extracted below the 8-bit folder name.
  MemoryFile archive;
  {
    PakWriter writer = PakWriter::Create(archive);
    std::vector<uint8_t> data{'m', 'a', 'p'};
    writer.StoreBuffer(writer.AddEntry(ansi + "\\" + ansi + ".txt", "", 1), data);
    writer.WriteDirectory();
  }
  PakReader reader(archive);
  ASSERT_TRUE(GroupExtractor(reader, DiskFileSystem(), {}).Extract(tmp.path() + ansi, 1));
  EXPECT_TRUE(std::filesystem::is_regular_file(wideDir / U16ToWide(folder) / (U16ToWide(folder) + L".txt")));
  EXPECT_TRUE(DirectoryExists(dir + ansi));

  // The install log in that folder, where the uninstaller looks for it.
  UninstallList log;
  log.AddFile(dir + ansi + "\\" + ansi + ".txt");
  ASSERT_TRUE(log.SaveToFile(DiskFileSystem(), dir, "Atlas_"));
  EXPECT_TRUE(std::filesystem::is_regular_file(wideDir / L"Atlas_install.log"));
  EXPECT_TRUE(FileExists(dir + "Atlas_install.log"));
  UninstallList loaded;
  ASSERT_TRUE(loaded.LoadFromFile(DiskFileSystem(), dir, "Atlas_"));
  EXPECT_EQ(loaded.Files(), log.Files());
}

}  // namespace
}  // namespace ferry
