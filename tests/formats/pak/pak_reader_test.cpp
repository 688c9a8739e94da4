#include <gtest/gtest.h>
#include <zlib.h>

#include <string>
#include <vector>

#include "formats/pak/pak_reader.h"
#include "formats/pak/pak_writer.h"
#include "formats/pak/pak_test_util.h"

namespace ferry {
namespace {

using test::Bytes;

// A setup-like archive written by the writer after a small host program.
class PakReaderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    file_.Data() = Bytes("MZ-host-program");
    PakWriter w = PakWriter::Append(file_);
    Add(w, "SetupInfo", 0, "info info info info info info");
    Add(w, "CompiledLines", 0, "lines lines lines lines lines");
    Add(w, "units\\a.txt", 1, "payload a payload a payload a");
    Add(w, "Pages.txt", 0, "pages pages pages pages pages");
    Add(w, "units\\b.txt", 1, "payload b payload b payload b");
    Add(w, "setupinfo", 0, "second of the same name, never found first");
    Add(w, "c.txt", 3, "payload c payload c payload c");
    w.WriteDirectory();
  }

  void Add(PakWriter& w, const std::string& name, uint16_t group, const std::string& text) {
    size_t i = w.AddEntry(name, "", group);
    ASSERT_TRUE(w.StoreBuffer(i, Bytes(text)));
  }

  static std::string Text(const std::optional<std::vector<uint8_t>>& data) {
    return data ? std::string(data->begin(), data->end()) : "<none>";
  }

  MemoryFile file_;
};

TEST_F(PakReaderTest, ReadsTrailerAndDirectory) {
  PakReader pak(file_);
  EXPECT_TRUE(pak.HasMagic());
  EXPECT_TRUE(pak.IsValid());
  EXPECT_EQ(pak.Trailer().Version, 1);
  EXPECT_EQ(pak.Trailer().EntryCount, 7);
  EXPECT_EQ(pak.Trailer().DataStart, 15u);
  ASSERT_EQ(pak.EntryCount(), 7u);
  EXPECT_EQ(pak.Files()[0].Offset, 15u);
  EXPECT_EQ(pak.Files()[2].Name, "units\\a.txt");
  EXPECT_EQ(pak.Files()[2].Group, 1);
  EXPECT_EQ(pak.Entry(7), nullptr);
  EXPECT_EQ(pak.CountPayloadEntries(), 3u);
  EXPECT_EQ(pak.CountGroup(0), 4u);
  EXPECT_EQ(pak.CountGroup(1), 2u);
  EXPECT_EQ(pak.CountGroup(2), 0u);
  // The trailer alone, without the directory.
  std::optional<PakTrailer> trailer = ReadPakTrailer(file_);
  ASSERT_TRUE(trailer.has_value());
  EXPECT_EQ(trailer->DataStart, 15u);
  EXPECT_EQ(trailer->DirectoryOffset, pak.Trailer().DirectoryOffset);
  EXPECT_EQ(trailer->EntryCount, 7);
}

TEST_F(PakReaderTest, LoadByNameIgnoresCaseButNotGroup) {
  PakReader pak(file_);
  uint32_t size = 99;
  EXPECT_EQ(Text(pak.LoadByName("setupinfo", 0, &size)), "info info info info info info");
  EXPECT_EQ(size, 29u);
  EXPECT_EQ(Text(pak.LoadByName("SETUPINFO", 1, &size)), "<none>");
  EXPECT_EQ(size, 0u);
  EXPECT_EQ(Text(pak.LoadByName("UNITS\\A.TXT", 1)), "payload a payload a payload a");
  // Whole names only: no separator folding, no prefixes.
  EXPECT_EQ(Text(pak.LoadByName("units/a.txt", 1)), "<none>");
  EXPECT_EQ(Text(pak.LoadByName("units", 1)), "<none>");
}

// The Western code page's capitals fold too, as the system's lower-casing does.
TEST(PakReader, LoadByNameFoldsAccentedCapitals) {
  MemoryFile file;
  {
    PakWriter w = PakWriter::Create(file);
    w.StoreBuffer(w.AddEntry("\xC4RGER-\x8A.txt", "", 0), Bytes("umlaut"));
    w.WriteDirectory();
  }
  PakReader pak(file);
  EXPECT_TRUE(pak.LoadByName("\xE4rger-\x9A.TXT", 0).has_value());
  EXPECT_FALSE(pak.LoadByName("arger-s.txt", 0).has_value());
}

TEST_F(PakReaderTest, FindFirstAndNextWalkOneGroupInOrder) {
  PakReader pak(file_);
  PakFound f = pak.FindFirst(1, true);
  EXPECT_EQ(f.Name, "units\\a.txt");
  EXPECT_EQ(Text(f.Data), "payload a payload a payload a");
  EXPECT_EQ(pak.Cursor(), 3u);
  f = pak.FindNext(1, false);
  EXPECT_EQ(f.Name, "units\\b.txt");
  EXPECT_EQ(f.Size, 29u);
  EXPECT_FALSE(f.Data.has_value());
  f = pak.FindNext(1, true);
  EXPECT_EQ(f.Name, "");
  EXPECT_EQ(f.Size, 0u);
  EXPECT_FALSE(f.Data.has_value());
  // FindFirst starts over.
  EXPECT_EQ(pak.FindFirst(3, false).Name, "c.txt");
  EXPECT_EQ(pak.FindFirst(9, false).Name, "");
}

TEST_F(PakReaderTest, IndexEnumerationAndForEach) {
  PakReader pak(file_);
  std::vector<size_t> seen;
  for (auto i = pak.FindFirstIndex(0); i; i = pak.FindNextIndex(0)) seen.push_back(*i);
  EXPECT_EQ(seen, (std::vector<size_t>{0, 1, 3, 5}));
  seen.clear();
  pak.ForEachInGroup(1, [&](size_t i) { seen.push_back(i); });
  EXPECT_EQ(seen, (std::vector<size_t>{2, 4}));
  pak.ForEachInGroup(1, nullptr);
  EXPECT_FALSE(pak.FindFirstIndex(2).has_value());
}

TEST_F(PakReaderTest, EveryEntryVerifiesAndBadIndexesGiveNothing) {
  PakReader pak(file_);
  for (size_t i = 0; i < pak.EntryCount(); ++i) EXPECT_TRUE(pak.VerifyEntry(i)) << i;
  EXPECT_FALSE(pak.VerifyEntry(7));
  EXPECT_FALSE(pak.LoadEntry(7).has_value());
  EXPECT_FALSE(pak.LoadEntry(SIZE_MAX).has_value());
}

TEST_F(PakReaderTest, CloseEndsReading) {
  PakReader pak(file_);
  pak.Close();
  EXPECT_FALSE(pak.LoadEntry(0).has_value());
  EXPECT_EQ(pak.EntryCount(), 7u);  // the directory stays for lookups
}

TEST(PakReader, WithoutMagicThereAreNoEntries) {
  MemoryFile file(Bytes("just a program, no archive here at all"));
  PakReader pak(file);
  EXPECT_FALSE(pak.HasMagic());
  EXPECT_FALSE(pak.IsValid());
  EXPECT_EQ(pak.EntryCount(), 0u);
  EXPECT_FALSE(pak.LoadByName("SetupInfo", 0).has_value());
  EXPECT_EQ(pak.FindFirst(0, false).Name, "");
  EXPECT_EQ(pak.CountGroup(0), 0u);
  EXPECT_FALSE(ReadPakTrailer(file).has_value());
}

TEST(PakReader, MissingDiskFileOpensBlank) {
  PakReader pak(std::filesystem::path("no/such/archive.exe"));
  EXPECT_FALSE(pak.HasMagic());
  EXPECT_EQ(pak.EntryCount(), 0u);
  EXPECT_FALSE(pak.LoadEntry(0).has_value());
}

TEST(PakReader, EmptyEntryLoadsAsNoneWithoutALength) {
  MemoryFile file;
  {
    PakWriter w = PakWriter::Create(file);
    size_t i = w.AddEntry("empty", "", 0);
    EXPECT_FALSE(w.StoreBuffer(i, {}));
    w.WriteDirectory();
  }
  PakReader pak(file);
  ASSERT_EQ(pak.EntryCount(), 1u);
  const PakFile& e = pak.Files()[0];
  EXPECT_EQ(e.Offset, 0u);
  EXPECT_EQ(e.CompSize, 0u);
  EXPECT_EQ(e.OrigSize, 0u);
  EXPECT_EQ(e.Checksum, 0u);
  EXPECT_FALSE(pak.LoadEntry(0).has_value());
  EXPECT_FALSE(pak.VerifyEntry(0));
  EXPECT_FALSE(pak.LastVerdict().WrongLength);
}

// A large entry with checksum 0 (an older archive) is sound unread, even
// with its bytes missing; with a checksum it is read, and bytes that are not
// there fail, as does one byte less than large, which is loaded.
TEST(PakReader, LargeEntriesAreCheckedOnlyWithAChecksum) {
  std::vector<uint8_t> bytes = Bytes("host");
  test::AppendDirectory(bytes, {{"unchecked", 0, 4, 0, kLargeEntryThreshold, 1},
                                {"checked", 0x1234, 4, 0, kLargeEntryThreshold, 1},
                                {"almost", 0, 4, 0, kLargeEntryThreshold - 1, 1}});
  MemoryFile file(bytes);
  PakReader pak(file);
  EXPECT_TRUE(pak.VerifyEntry(0));
  EXPECT_FALSE(pak.VerifyEntry(1));
  EXPECT_EQ(pak.LastLoadError(), "stored bytes past the end of the file");
  EXPECT_FALSE(pak.VerifyEntry(2));
}

}  // namespace
}  // namespace ferry
