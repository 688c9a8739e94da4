#include <gtest/gtest.h>

#include <functional>

#include "base/byte_writer.h"
#include "base/setup_error.h"
#include "vfs_test_util.h"

namespace ferry {
namespace {

using namespace vfstest;

TEST(VfsPathHash, KnownValuesAndKeys) {
  EXPECT_EQ(PathHash("abc"), 807794786u);
  EXPECT_EQ(PathHash(""), 0u);
  // h * 65599 + b, modulo 2^32, over unsigned bytes.
  uint32_t h = 0;
  for (unsigned char c : std::string("a\\b/\xE9t\xFF.txt")) h = h * 65599u + c;
  EXPECT_EQ(PathHash("a\\b/\xE9t\xFF.txt"), h);
  EXPECT_NE(PathHash("Abc"), PathHash("abc"));  // no case folding
}

TEST(VfsInsertSorted, OrdersAndMarksDuplicates) {
  std::vector<VfsHashRecord> recs(3);
  for (uint32_t h : {300u, 200u, 100u}) EXPECT_TRUE(InsertSorted(recs, recs.size(), {h, 1, 0, 0, 0, 1}));
  ASSERT_EQ(recs.size(), 3u);
  EXPECT_EQ(recs[0].Hash, 100u);
  EXPECT_EQ(recs[1].Hash, 200u);
  EXPECT_EQ(recs[2].Hash, 300u);
  for (const auto& r : recs) EXPECT_EQ(r.Unique, 1);

  EXPECT_FALSE(InsertSorted(recs, recs.size(), {200, 9, 9, 9, 9, 1}));
  EXPECT_EQ(recs[1].Unique, 0);
  EXPECT_EQ(recs[1].Flags, 1u);  // the first record keeps its data
  EXPECT_EQ(recs[0].Unique, 1);
}

TEST(VfsInsertSorted, LargeHashesCompareUnsignedAndLastSlotIsGivenUp) {
  std::vector<VfsHashRecord> recs(3);
  InsertSorted(recs, 3, {0x90000000u, 0, 0, 0, 0, 1});
  InsertSorted(recs, 3, {5, 0, 0, 0, 0, 1});
  EXPECT_EQ(recs[0].Hash, 5u);
  EXPECT_EQ(recs[1].Hash, 0x90000000u);
  // Full array: a record in front pushes the last one out.
  recs = {{10, 0, 0, 0, 0, 1}, {20, 0, 0, 0, 0, 1}};
  InsertSorted(recs, 2, {15, 0, 0, 0, 0, 1});
  EXPECT_EQ(recs[0].Hash, 10u);
  EXPECT_EQ(recs[1].Hash, 15u);
  // A hash bigger than all goes to the last place.
  InsertSorted(recs, 2, {99, 0, 0, 0, 0, 1});
  EXPECT_EQ(recs[1].Hash, 99u);
}

TEST(VfsInsertSorted, HashZeroNeverGetsARecord) {
  std::vector<VfsHashRecord> recs(2);
  EXPECT_FALSE(InsertSorted(recs, 2, {0, 1, 2, 3, 4, 1}));
  EXPECT_EQ(recs[0], VfsHashRecord{});
}

TEST(VfsHashFilePath, ReplacesTheExtension) {
  EXPECT_EQ(HashFilePath("gamedata.vfs"), "gamedata.ht");
  EXPECT_EQ(HashFilePath("C:\\a.b\\gamedata"), "C:\\a.b\\gamedata.ht");
  EXPECT_EQ(HashFilePath("dir/x.tar.vfs"), "dir/x.tar.ht");
}

TEST(VfsDirRecord, NamesOf65And66Characters) {
  VfsDirRecord r;
  r.Name = std::string(65, 'n');
  r.Flags = kVfsFile;
  r.FirstBlock = 7;
  auto bytes = r.Bytes();
  ASSERT_EQ(bytes.size(), 88u);
  EXPECT_EQ(bytes[64], 'n');  // no terminating NUL
  EXPECT_EQ(bytes[65], 0);
  ByteReader rd(bytes);
  EXPECT_EQ(VfsDirRecord::Read(rd).Name, r.Name);

  r.Name = std::string(66, 'm');
  auto cut = r.Bytes();
  ByteReader rd2(cut);
  EXPECT_EQ(VfsDirRecord::Read(rd2).Name, std::string(65, 'm'));
  EXPECT_EQ(VfsStoredName(std::string("ab\0cd", 5)), "ab");
}

TEST(VfsListing, ParseBuildAndPartialRecords) {
  VfsDirRecord a{"a.txt", kVfsFile, kDate, 3, 10, 0};
  VfsDirRecord b{"sub", kVfsDirectory, kDate, 4, 0, 0};
  const VfsDirRecord* refs[] = {&a, &b};
  auto bytes = BuildListingBytes(refs);
  ASSERT_EQ(bytes.size(), 176u);
  // Field order inside the record: flags, date, first block, stored, unpacked.
  ByteReader r(bytes);
  r.Seek(68);
  EXPECT_EQ(r.U32(), kVfsFile);
  EXPECT_EQ(r.U32(), kDate);
  EXPECT_EQ(r.U32(), 3u);
  EXPECT_EQ(r.U32(), 10u);
  auto parsed = ParseListing(bytes, "x");
  ASSERT_EQ(parsed.size(), 2u);
  EXPECT_EQ(parsed[1].Name, "sub");
  EXPECT_EQ(parsed[1].Flags, kVfsDirectory);
  bytes.pop_back();
  EXPECT_THROW(ParseListing(bytes, "x"), SetupError);
}

TEST(VfsHashFile, RoundTripAndShortFiles) {
  std::vector<VfsHashRecord> recs{{1, kVfsFile, 2, 3, 4, 1}, {9, 9, 8, 7, 6, 0}};
  auto bytes = BuildHashFile(recs);
  ASSERT_EQ(bytes.size(), 4u + 42u);
  // The first block comes after the two sizes.
  ByteReader r(bytes);
  r.Seek(4 + 16);
  EXPECT_EQ(r.U32(), 4u);
  EXPECT_EQ(ParseHashFile(bytes), recs);
  // A count larger than the records present keeps only those present.
  bytes.resize(4 + 21 + 10);
  EXPECT_EQ(ParseHashFile(bytes).size(), 1u);
  EXPECT_TRUE(ParseHashFile({}).empty());
}

TEST(VfsFileBuffer, ReadsUpToTheEnd) {
  uint8_t src[6] = {1, 0, 0, 0, 'x', 0};
  VfsFileBuffer b(src, 6);
  EXPECT_EQ(b.ReadU32(), 1u);
  EXPECT_EQ(b.ReadChars(2), std::string("x\0", 2));
  uint8_t out[4];
  EXPECT_EQ(b.Read(out, 4), 0u);
  VfsFileBuffer empty(nullptr, 0);
  EXPECT_EQ(empty.Read(out, 4), 0u);
}

TEST(VfsCompress, ChunksOfFiftyThousand) {
  auto data = Text(1550000);
  auto packed = CompressData(data.data(), uint32_t(data.size()));
  ASSERT_TRUE(packed);
  ByteReader r(*packed);
  int chunks = 0;
  while (!r.AtEnd()) {
    uint32_t l = r.U32();
    auto s = r.Bytes(l);
    EXPECT_EQ(s[0], 0x78);
    EXPECT_EQ(s[1], 0xDA);
    ++chunks;
  }
  EXPECT_EQ(chunks, 31);
  EXPECT_EQ(DecompressChunks(*packed, uint32_t(data.size())), data);
  EXPECT_THROW(DecompressChunks(*packed, uint32_t(data.size() + 1)), SetupError);
  // A size no chunk count could give is refused without allocating it.
  EXPECT_THROW(DecompressChunks(std::vector<uint8_t>(8, 0), 0xFFFFFFFFu), SetupError);
}

TEST(VfsCompress, NoResultForDataThatDoesNotShrinkOrIsEmpty) {
  auto noise = Noise(5000);
  EXPECT_FALSE(CompressData(noise.data(), uint32_t(noise.size())));
  EXPECT_FALSE(CompressData(nullptr, 0));
  auto tiny = Text(3);
  EXPECT_FALSE(CompressData(tiny.data(), 3));
}

TEST(VfsHeader, LayoutOffsetsAndRefusals) {
  VfsHeader h;
  h.DescriptionSize = 256;
  h.BlockCount = 433;
  h.RootCount = 64;
  h.BlockSize = 4096;
  EXPECT_EQ(h.BlockTableOffset(), 308u);
  EXPECT_EQ(h.RootTableOffset(), 3772u);
  EXPECT_EQ(h.DataOffset(), 9404u);

  MemoryFileSystem fs;
  CreateVfsArchive(fs, kPath, Small());
  auto good = *fs.Find(kPath);
  auto refused = [&](const std::function<void(std::vector<uint8_t>&)>& mutate) {
    std::vector<uint8_t> bytes = good;
    mutate(bytes);
    MemoryFile f(bytes);
    EXPECT_THROW(VfsHeader::Read(f, "t"), SetupError);
  };
  auto setU32 = [](std::vector<uint8_t>& b, size_t at, uint32_t v) {
    ByteWriter w;
    w.U32(v);
    std::copy(w.Data().begin(), w.Data().end(), b.begin() + at);
  };
  refused([](auto& b) { b.resize(100); });                        // short header
  refused([&](auto& b) { setU32(b, 44, 255); });                  // DescriptionSize below 256
  refused([&](auto& b) { setU32(b, 4, 0); });                     // BlockSize 0
  refused([&](auto& b) { setU32(b, 8, 0); });                     // BlockCount 0
  refused([&](auto& b) { setU32(b, 12, 0); });                    // RootCount 0
  refused([&](auto& b) { setU32(b, 12, 300); });                  // more root slots than a byte numbers
  refused([&](auto& b) { setU32(b, 8, 1000000); });               // tables beyond the file
  refused([&](auto& b) { setU32(b, 44, 0x7FFFFFFF); });           // description beyond the file
  MemoryFile ok(good);
  EXPECT_EQ(VfsHeader::Read(ok, "t").UsedBlocks, 0u);
}

TEST(VfsHeader, DescriptionAndReservedFieldsSurviveAnUpdate) {
  MemoryFileSystem fs;
  CreateVfsArchive(fs, kPath, Small());
  // A longer description area with an extra part and odd reserved values.
  auto bytes = *fs.Find(kPath);
  VfsHeader h = HeaderOf(bytes);
  h.Reserved1 = 0xDEADBEEF;
  h.DescriptionSize = 260;
  h.Description = std::string("made by hand\0\x01\x02", 15);
  h.Description.resize(256, '\x7f');
  h.DescriptionExtra = {9, 8, 7, 6};
  std::vector<uint8_t> rebuilt = h.HeadBytes();
  auto tail = h.TailBytes();
  rebuilt.insert(rebuilt.end(), tail.begin(), tail.end());
  rebuilt.insert(rebuilt.end(), bytes.begin() + 308, bytes.end());
  fs.Put(kPath, rebuilt);
  {
    VfsFile f(fs);
    Open(f);
    Put(f, "a.txt", Text(10));
    f.FlushArchive();
  }
  VfsHeader after = HeaderOf(*fs.Find(kPath));
  EXPECT_EQ(after.Reserved1, 0xDEADBEEFu);
  EXPECT_EQ(after.Reserved2, 64u);
  EXPECT_EQ(after.Reserved3, 50000u);
  EXPECT_EQ(after.Description, h.Description);
  EXPECT_EQ(after.DescriptionExtra, h.DescriptionExtra);
  EXPECT_EQ(after.Version, 1.0f);
  EXPECT_EQ(after.UsedBlocks, 1u);
}

}  // namespace
}  // namespace ferry
