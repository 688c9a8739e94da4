#include <gtest/gtest.h>

#include <filesystem>

#include "base/random_access_file.h"
#include "formats/setup/buffer_manager.h"
#include "formats/setup/setup_info.h"

namespace ferry {
namespace {

void AppendLen(std::vector<uint8_t>& out, std::string_view s) {
  out.push_back(static_cast<uint8_t>(s.size()));
  out.push_back(static_cast<uint8_t>(s.size() >> 8));
  out.insert(out.end(), s.begin(), s.end());
}

// The "Demo Patch" record, written out byte by byte.
std::vector<uint8_t> DemoPatchBytes() {
  std::vector<uint8_t> b;
  AppendLen(b, "Demo Patch");
  AppendLen(b, "Demo");
  AppendLen(b, "demo_patch.exe");
  AppendLen(b, "Uninstall.exe");
  AppendLen(b, "");
  AppendLen(b, "$PROGRAMFILES\\Demo\\");
  AppendLen(b, "ChangeLog");
  b.push_back(0);
  AppendLen(b, "Software\\Demo\\");
  AppendLen(b, "Path");
  AppendLen(b, "Patch");
  AppendLen(b, "");
  b.push_back(0);
  b.push_back(0);
  return b;
}

TEST(SetupInfo, DemoPatchRecordParsesToItsTwelveValuesAndWritesBackTheSameBytes) {
  std::vector<uint8_t> bytes = DemoPatchBytes();
  ASSERT_EQ(bytes[0], 0x0A);
  ASSERT_EQ(bytes[1], 0x00);

  SetupInfoFile file;
  file.ReadFromBuffer(bytes);
  EXPECT_EQ(file.SetupTitle, "Demo Patch");
  EXPECT_EQ(file.ShortTitle, "Demo");
  EXPECT_EQ(file.SetupExeName, "demo_patch.exe");
  EXPECT_EQ(file.UninstallExeName, "Uninstall.exe");
  EXPECT_EQ(file.UninstallPrefix, "");
  EXPECT_EQ(file.InstallDir, "$PROGRAMFILES\\Demo\\");
  EXPECT_EQ(file.ChangelogName, "ChangeLog");
  EXPECT_EQ(file.InstallDirRegKey.RootKey, 0);
  EXPECT_EQ(file.InstallDirRegKey.Key, "Software\\Demo\\");
  EXPECT_EQ(file.InstallDirRegKey.ValueName, "Path");
  EXPECT_EQ(file.PageSet, "Patch");
  EXPECT_EQ(file.UninstallPageSet, "");
  EXPECT_EQ(file.IsUninstaller, 0);
  EXPECT_EQ(file.MakeUninstaller, 0);

  EXPECT_EQ(file.WriteToBuffer(), bytes);

  auto path = std::filesystem::temp_directory_path() / "ferry_setupinfo_test.bin";
  ASSERT_TRUE(file.WriteToFile(path));
  EXPECT_EQ(ReadFileBytes(path), bytes);
  std::filesystem::remove(path);
}

TEST(SetupInfo, EmptyRecordIsTwentyFiveBytesAndModeBytesRoundTrip) {
  SetupInfoFile file;
  EXPECT_EQ(file.WriteToBuffer().size(), 25u);

  file.InstallDirRegKey.RootKey = 4;
  file.IsUninstaller = 1;
  file.MakeUninstaller = 1;
  file.UninstallPrefix = "Demo_";
  SetupInfoFile back;
  back.ReadFromBuffer(file.WriteToBuffer());
  EXPECT_EQ(back.Info(), file.Info());
}

TEST(SetupInfo, RecordEndingAfterFieldSevenLeavesTheRestEmpty) {
  std::vector<uint8_t> bytes = DemoPatchBytes();
  // Fields 1..7 end just before the RootKey byte.
  size_t field7_end = 2 + 10 + 2 + 4 + 2 + 14 + 2 + 13 + 2 + 2 + 19 + 2 + 9;
  bytes.resize(field7_end);
  SetupInfoFile file;
  file.InstallDirRegKey.ValueName = "stale";
  file.MakeUninstaller = 1;
  file.ReadFromBuffer(bytes);
  EXPECT_EQ(file.ChangelogName, "ChangeLog");
  EXPECT_EQ(file.InstallDirRegKey, RegistryLocation{});
  EXPECT_EQ(file.PageSet, "");
  EXPECT_EQ(file.MakeUninstaller, 0);
}

TEST(SetupInfo, StringCutByTheEndKeepsTheCharactersPresent) {
  const uint8_t bytes[] = {0x0A, 0x00, 'D', 'e', 'm'};
  SetupInfoFile file;
  file.ReadFromBuffer(bytes, sizeof bytes);
  EXPECT_EQ(file.SetupTitle, "Dem");
  EXPECT_EQ(file.ShortTitle, "");

  SetupInfoFile none;
  none.ReadFromBuffer(nullptr, 0);
  EXPECT_EQ(none.Info(), SetupInfoRecord{});
}

TEST(SetupInfo, CompilerStartsWithTheDefaultUninstallerName) {
  EXPECT_EQ(CompilerDefaultSetupInfo().UninstallExeName, "Uninstall.exe");
  EXPECT_EQ(CompilerDefaultSetupInfo().UninstallPrefix, "");
}

TEST(LenString, ThreeHundredCharactersStoreTheirCountAs2C01) {
  ByteWriter w;
  WriteLenString(w, std::string(300, 'x'));
  ASSERT_EQ(w.Size(), 302u);
  EXPECT_EQ(w.Data()[0], 0x2C);
  EXPECT_EQ(w.Data()[1], 0x01);

  BufferManager buffer(w.Data());
  EXPECT_EQ(ReadLenString(buffer), std::string(300, 'x'));
  EXPECT_EQ(buffer.Remaining(), 0u);
}

TEST(LenString, FileVariantWritesTheSameBytesAndReadsThemBack) {
  MemoryFile file;
  uint64_t offset = 0;
  EXPECT_TRUE(WriteLenString(file, offset, "abc"));
  EXPECT_TRUE(WriteLenString(file, offset, ""));
  EXPECT_EQ(file.Data(), (std::vector<uint8_t>{3, 0, 'a', 'b', 'c', 0, 0}));
  uint64_t read = 0;
  EXPECT_EQ(ReadLenString(file, read), "abc");
  EXPECT_EQ(ReadLenString(file, read), "");
  EXPECT_EQ(read, offset);
  EXPECT_EQ(ReadLenString(file, read), "");  // past the end: nothing
}

TEST(BufferManager, BlocksStopAtTheEndOfTheData) {
  const uint8_t bytes[] = {1, 2, 3, 4, 5};
  BufferManager buffer(bytes, sizeof bytes);
  EXPECT_EQ(buffer.ReadBlock(2), (std::vector<uint8_t>{1, 2}));
  uint8_t place[8] = {};
  EXPECT_EQ(buffer.ReadInto(8, place), 3u);
  EXPECT_EQ(place[2], 5);
  EXPECT_TRUE(buffer.ReadBlock(4).empty());
  EXPECT_EQ(buffer.ReadInto(1, place), 0u);
  buffer.SetPosition(3);
  EXPECT_EQ(buffer.ReadU16(), 0x0504);
  EXPECT_EQ(buffer.ReadI32(), 0);  // missing number reads as 0
}

}  // namespace
}  // namespace ferry
