#include <gtest/gtest.h>
#include <zlib.h>

#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "formats/pak/pak_reader.h"
#include "formats/pak/pak_writer.h"

#include "formats/pak/crc32.h"
#include "base/setup_error.h"
#include "formats/pak/pak_test_util.h"

namespace ferry {
namespace {

using test::Bytes;

std::vector<uint8_t> RandomBytes(size_t n, uint32_t seed) {
  std::mt19937 gen(seed);
  std::vector<uint8_t> v(n);
  for (auto& b : v) b = static_cast<uint8_t>(gen());
  return v;
}

std::vector<uint8_t> TextBytes(size_t n) {
  std::string s;
  while (s.size() < n) s += "Units and configs, line " + std::to_string(s.size() % 97) + "\r\n";
  s.resize(n);
  return Bytes(s);
}

uint32_t ZlibCrc(const uint8_t* p, size_t n) { return static_cast<uint32_t>(crc32(0, p, static_cast<uInt>(n))); }

size_t ZlibLevel9Size(const std::vector<uint8_t>& data) {
  uLongf len = compressBound(static_cast<uLong>(data.size()));
  std::vector<uint8_t> out(len);
  EXPECT_EQ(compress2(out.data(), &len, data.data(), static_cast<uLong>(data.size()), 9), Z_OK);
  return len;
}

TEST(PakWriter, EntriesReadBackOneForOne) {
  std::vector<std::pair<std::string, std::vector<uint8_t>>> entries = {
      {"text.txt", TextBytes(50'000)}, {"noise.bin", RandomBytes(20'000, 1)},
      {"one", Bytes("x")},             {"mixed", TextBytes(3000)},
      {"dir\\x.dat", RandomBytes(70'000, 2)}};
  entries[3].second.insert(entries[3].second.end(), entries[1].second.begin(), entries[1].second.end());

  MemoryFile file(Bytes("host program bytes"));
  {
    PakWriter w = PakWriter::Append(file);
    for (size_t i = 0; i < entries.size(); ++i) {
      size_t index = w.AddEntry(entries[i].first, "", static_cast<uint16_t>(i % 3));
      ASSERT_EQ(index, i);
      ASSERT_TRUE(w.StoreBuffer(index, entries[i].second));
    }
    w.WriteDirectory();
  }
  PakReader pak(file);
  ASSERT_EQ(pak.EntryCount(), entries.size());
  EXPECT_EQ(pak.Trailer().DataStart, 18u);
  uint32_t expectedOffset = 18;
  for (size_t i = 0; i < entries.size(); ++i) {
    const PakFile& e = pak.Files()[i];
    EXPECT_EQ(e.Name, entries[i].first);
    EXPECT_EQ(e.Group, i % 3);
    EXPECT_EQ(e.OrigSize, entries[i].second.size());
    EXPECT_EQ(e.Offset, expectedOffset) << "entries lie back to back";
    uint32_t stored = e.CompSize ? e.CompSize : e.OrigSize;
    expectedOffset += stored;
    EXPECT_EQ(e.Checksum, ZlibCrc(file.Data().data() + e.Offset, stored));
    auto data = pak.LoadEntry(i);
    ASSERT_TRUE(data.has_value()) << pak.LastLoadError();
    EXPECT_EQ(*data, entries[i].second) << e.Name;
  }
  EXPECT_EQ(pak.Trailer().DirectoryOffset, expectedOffset);
  // Compressible data is stored as a level-9 zlib stream and its checksum is
  // that of the zlib bytes, not of the text; noise and a single byte are raw.
  const PakFile& text = pak.Files()[0];
  ASSERT_NE(text.CompSize, 0u);
  EXPECT_EQ(file.Data()[text.Offset], 0x78);
  EXPECT_EQ(file.Data()[text.Offset + 1], 0xDA);
  EXPECT_NE(text.Checksum, ZlibCrc(entries[0].second.data(), entries[0].second.size()));
  EXPECT_EQ(pak.Files()[1].CompSize, 0u);
  EXPECT_EQ(pak.Files()[2].CompSize, 0u);
  EXPECT_EQ(pak.Files()[1].Checksum, ZlibCrc(entries[1].second.data(), entries[1].second.size()));
}

// Data whose zlib form is exactly as long as itself keeps the zlib form; one
// byte longer and it is stored as it is. The inputs are found by asking zlib
// itself: zeros in front of noise shrink the stream a byte at a time.
TEST(PakWriter, PackBufferKeepsZlibUpToEqualLength) {
  std::vector<uint8_t> noise = RandomBytes(2000, 3);
  std::optional<std::vector<uint8_t>> equal, longer;
  for (size_t zeros = 0; zeros < 200 && !(equal && longer); ++zeros) {
    std::vector<uint8_t> data(zeros, 0);
    data.insert(data.end(), noise.begin(), noise.end());
    size_t packed = ZlibLevel9Size(data);
    if (packed == data.size() && !equal) equal = data;
    if (packed == data.size() + 1 && !longer) longer = data;
  }
  ASSERT_TRUE(equal && longer) << "no boundary input found";

  MemoryFile file;
  PakWriter w = PakWriter::Create(file);
  size_t a = w.AddEntry("equal", "", 0), b = w.AddEntry("longer", "", 0);
  auto storedA = w.PackBuffer(a, *equal);
  auto storedB = w.PackBuffer(b, *longer);
  ASSERT_TRUE(storedA && storedB);
  EXPECT_EQ(w.Files()[a].CompSize, equal->size());
  EXPECT_EQ((*storedA)[0], 0x78);
  EXPECT_EQ(w.Files()[b].CompSize, 0u);
  EXPECT_EQ(*storedB, *longer);
  EXPECT_EQ(w.Files()[b].Checksum, ZlibCrc(longer->data(), longer->size()));
  EXPECT_FALSE(w.PackBuffer(2, *equal).has_value());  // no such entry
}

TEST(PakWriter, LargeEntriesAreNeverCompressed) {
  MemoryFile file;
  PakWriter w = PakWriter::Create(file);
  size_t large = w.AddEntry("large", "", 1), below = w.AddEntry("below", "", 1);
  std::vector<uint8_t> zeros(kLargeEntryThreshold, 0);
  auto stored = w.PackBuffer(large, zeros);
  ASSERT_TRUE(stored);
  EXPECT_EQ(w.Files()[large].CompSize, 0u);
  EXPECT_EQ(w.Files()[large].OrigSize, kLargeEntryThreshold);
  EXPECT_EQ(stored->size(), zeros.size());
  zeros.pop_back();
  stored = w.PackBuffer(below, zeros);
  ASSERT_TRUE(stored);
  EXPECT_GT(w.Files()[below].CompSize, 0u);
  EXPECT_LT(stored->size(), 200'000u);
}

TEST(PakWriter, ZeroLengthBufferStoresNothing) {
  MemoryFile file;
  PakWriter w = PakWriter::Create(file);
  size_t i = w.AddEntry("empty", "", 0);
  EXPECT_FALSE(w.StoreBuffer(i, {}));
  EXPECT_FALSE(w.StoreBuffer(5, Bytes("abc")));
  EXPECT_EQ(file.Data().size(), 0u);
}

TEST(PakWriter, UntilTheDirectoryIsWrittenAReaderSeesNothing) {
  MemoryFile file;
  PakWriter w = PakWriter::Create(file);
  ASSERT_TRUE(w.StoreBuffer(w.AddEntry("a", "", 0), TextBytes(100)));
  EXPECT_EQ(PakReader(file).EntryCount(), 0u);
  w.WriteDirectory();
  EXPECT_EQ(PakReader(file).EntryCount(), 1u);
}

TEST(PakWriter, RefusesWhatTheFormatCannotHold) {
  MemoryFile file;
  PakWriter w = PakWriter::Create(file);
  EXPECT_THROW(w.AddEntry(std::string(70'000, 'n'), "", 0), SetupError);
  for (int i = 0; i < 0xFFFF; ++i) w.AddEntry("e", "", 0);
  EXPECT_THROW(w.AddEntry("one too many", "", 0), SetupError);
}

class PakDiskWriterTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = std::filesystem::temp_directory_path() /
           ("ferry_pak_writer_" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "_" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::remove_all(dir_);
    std::filesystem::create_directories(dir_);
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }
  std::string P(const char* name) const { return (dir_ / name).string(); }
  std::filesystem::path dir_;
};

TEST_F(PakDiskWriterTest, AppendAfterAHostAndReadBackFromDisk) {
  std::vector<uint8_t> host = RandomBytes(4096, 5);
  WriteFileBytes(P("setup.exe"), host);
  WriteFileBytes(P("source.txt"), TextBytes(10'000));
  {
    PakWriter w = PakWriter::Append(std::filesystem::path(P("setup.exe")));
    EXPECT_EQ(w.Trailer().DataStart, 4096u);
    size_t i = w.AddEntry("SetupInfo", P("source.txt"), 0);
    ASSERT_TRUE(w.StoreFile(i));
    size_t j = w.AddEntry("raw", "", 2);
    ASSERT_TRUE(w.StoreBuffer(j, RandomBytes(100, 6)));
    w.WriteDirectory();
    w.Close();
  }
  auto all = ReadFileBytes(P("setup.exe"));
  EXPECT_TRUE(std::equal(host.begin(), host.end(), all.begin())) << "the host stays as it was";
  PakReader pak(std::filesystem::path(P("setup.exe")));
  ASSERT_EQ(pak.EntryCount(), 2u);
  EXPECT_EQ(pak.Files()[0].Offset, 4096u);
  EXPECT_EQ(*pak.LoadByName("setupinfo", 0), TextBytes(10'000));
  EXPECT_EQ(*pak.LoadEntry(1), RandomBytes(100, 6));
}

TEST_F(PakDiskWriterTest, NewWriterTruncatesAndMissingSourceThrows) {
  WriteFileBytes(P("out.pak"), RandomBytes(1000, 7));
  PakWriter w = PakWriter::Create(std::filesystem::path(P("out.pak")));
  EXPECT_EQ(w.Trailer().DataStart, 0u);
  size_t i = w.AddEntry("gone", P("missing.txt"), 1);
  EXPECT_THROW(w.StoreFile(i), SetupError);
  EXPECT_THROW(w.PackFile(i), SetupError);
  w.WriteDirectory();
  w.Close();
  EXPECT_EQ(std::filesystem::file_size(P("out.pak")), 16u + 20u + 4u);
  EXPECT_THROW(PakWriter::Append(std::filesystem::path(P("no_dir/x.pak"))), SetupError);
}

// A large source file is stored as it is (streamed) with the CRC-32 of its
// bytes, reads back whole, and one byte flipped in it fails verification.
TEST_F(PakDiskWriterTest, LargeSourceFileIsStoredRawWithItsChecksum) {
  std::vector<uint8_t> data(kLargeEntryThreshold, 0);
  for (size_t i = 0; i < data.size(); i += 65536) data[i] = static_cast<uint8_t>(i >> 16);
  WriteFileBytes(P("large.bin"), data);
  {
    PakWriter w = PakWriter::Create(std::filesystem::path(P("setup.pak")));
    ASSERT_TRUE(w.StoreBuffer(w.AddEntry("first", "", 0), Bytes("first")));
    size_t i = w.AddEntry("large.bin", P("large.bin"), 1);
    ASSERT_TRUE(w.StoreFile(i));
    EXPECT_EQ(w.Files()[i].CompSize, 0u);
    EXPECT_EQ(w.Files()[i].Checksum, Crc32(data));
    EXPECT_EQ(w.Files()[i].Offset, 5u);
    w.WriteDirectory();
  }
  PakReader pak(std::filesystem::path(P("setup.pak")));
  ASSERT_EQ(pak.EntryCount(), 2u);
  EXPECT_EQ(pak.Files()[1].OrigSize, kLargeEntryThreshold);
  EXPECT_TRUE(pak.VerifyEntry(1));
  auto file = OpenDiskFile(P("setup.pak"), FileMode::kReadWrite);
  EXPECT_EQ(file->ReadVector(5, data.size()), data);
  // Past the first verify chunk, so the damage is not in the first read.
  const uint64_t at = 5 + kVerifyChunkSize + 12345;
  const uint8_t flipped[1] = {static_cast<uint8_t>(data[at - 5] ^ 0x20)};
  file->WriteAt(at, flipped);
  EXPECT_FALSE(pak.VerifyEntry(1));
  EXPECT_EQ(pak.LastLoadError(), "checksum mismatch");
}

}  // namespace
}  // namespace ferry
