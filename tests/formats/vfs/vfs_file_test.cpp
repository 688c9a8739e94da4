#include <gtest/gtest.h>

#include "base/byte_writer.h"
#include "base/setup_error.h"
#include "base/md5.h"
#include "vfs_test_util.h"

namespace ferry {
namespace {

using namespace vfstest;

void SetEntry(std::vector<uint8_t>& bytes, uint32_t block1, uint32_t inUse, int32_t next) {
  VfsHeader h = HeaderOf(bytes);
  ByteWriter w;
  w.U32(inUse);
  w.U32(uint32_t(next));
  std::copy(w.Data().begin(), w.Data().end(), bytes.begin() + h.BlockTableOffset() + 8 * (block1 - 1));
}

void SetRootSlot(std::vector<uint8_t>& bytes, uint32_t slot, const VfsDirRecord& rec) {
  VfsHeader h = HeaderOf(bytes);
  auto b = rec.Bytes();
  std::copy(b.begin(), b.end(), bytes.begin() + h.RootTableOffset() + 88 * slot);
}

class VfsFileTest : public ::testing::Test {
 protected:
  void SetUp() override { CreateVfsArchive(fs, kPath, Small()); }
  std::vector<uint8_t>& Bytes() { return const_cast<std::vector<uint8_t>&>(*fs.Find(kPath)); }
  MemoryFileSystem fs;
};

TEST(VfsMd5, KnownDigests) {
  Md5 empty;
  ASSERT_TRUE(empty.Available());
  auto d = empty.Final();
  EXPECT_EQ(d[0], 0xd4);
  EXPECT_EQ(d[15], 0x7e);
  Md5 abc;
  const uint8_t text[] = {'a', 'b', 'c'};
  abc.Update(text);
  d = abc.Final();
  EXPECT_EQ(d[0], 0x90);
  EXPECT_EQ(d[1], 0x01);
  EXPECT_EQ(d[15], 0x72);
}

TEST_F(VfsFileTest, LowestFreeBlocksInAscendingOrder) {
  // Free blocks (1-based) 5, 9, 12 and up: a three-block content takes 5, 9, 12.
  auto& bytes = Bytes();
  for (uint32_t b : {1, 2, 3, 4, 6, 7, 8, 10, 11}) SetEntry(bytes, b, 1, -1);
  VfsFile f(fs);
  Open(f);
  EXPECT_EQ(f.FindFreeBlock(false), 4);
  EXPECT_EQ(f.FindFreeBlock(true), 8);
  VfsDirRecord rec;
  auto data = Noise(600);
  f.AllocateAndWrite(rec, data.data(), 600);
  EXPECT_EQ(rec.FirstBlock, 5u);
  EXPECT_EQ(rec.StoredSize, 600u);
  EXPECT_EQ(rec.FileDate, kDate);
  EXPECT_EQ(EntryOf(bytes, 5).Next, 9);
  EXPECT_EQ(EntryOf(bytes, 9).Next, 12);
  EXPECT_EQ(EntryOf(bytes, 12).Next, -1);
  EXPECT_EQ(EntryOf(bytes, 12).InUse, 1u);
  EXPECT_EQ(f.Header().UsedBlocks, 3u);
  auto back = f.ReadChain(rec);
  ASSERT_TRUE(back);
  EXPECT_EQ(back->Bytes(), data);
  // The last block is written only as far as the data reaches.
  VfsHeader h = HeaderOf(bytes);
  EXPECT_EQ(bytes.size(), h.BlockOffset(11) + 600 - 512);
}

TEST_F(VfsFileTest, BlockSizeBoundaryAndEmptyContent) {
  VfsFile f(fs);
  Open(f);
  VfsDirRecord one, two, empty;
  auto a = Noise(256), b = Noise(257);
  f.AllocateAndWrite(one, a.data(), 256);
  f.AllocateAndWrite(two, b.data(), 257);
  f.AllocateAndWrite(empty, nullptr, 0);
  EXPECT_EQ(f.ChainLength(one.FirstBlock), 1u);
  EXPECT_EQ(f.BlockTable()[one.FirstBlock - 1].Next, -1);
  EXPECT_EQ(f.ChainLength(two.FirstBlock), 2u);
  EXPECT_EQ(f.ChainLength(empty.FirstBlock), 1u);
  EXPECT_EQ(empty.StoredSize, 0u);
  EXPECT_FALSE(f.ReadChain(empty));
  // The empty content's block is written whole, as zeros.
  VfsHeader h = HeaderOf(Bytes());
  EXPECT_EQ(Bytes().size(), h.BlockOffset(empty.FirstBlock - 1) + 256);
  uint8_t x = 1;
  EXPECT_THROW(f.AllocateAndWrite(empty, &x, 0), SetupError);
}

TEST_F(VfsFileTest, FreeingAChainZeroesItsEntriesAtOnce) {
  VfsFile f(fs);
  Open(f);
  auto data = Noise(700);
  int32_t n = Put(f, "big.bin", data);
  uint32_t first = f.Tree().Node(n).Info->FirstBlock;
  ASSERT_EQ(f.ChainLength(first), 3u);
  uint32_t used = f.Header().UsedBlocks;
  f.Tree().FreeChain(n);
  EXPECT_EQ(f.Header().UsedBlocks, used - 3);
  for (uint32_t b = first; b < first + 3; ++b) {
    EXPECT_EQ(EntryOf(Bytes(), b).Next, 0);
    EXPECT_EQ(EntryOf(Bytes(), b).InUse, 0u);
  }
}

TEST_F(VfsFileTest, OverwriteChainKeepsTheBlockTable) {
  VfsFile f(fs);
  Open(f);
  VfsDirRecord rec;
  auto a = Noise(600, 1), b = Noise(600, 2);
  f.AllocateAndWrite(rec, a.data(), 600);
  auto table = f.BlockTable();
  f.OverwriteChain(rec, b.data(), 600);
  EXPECT_EQ(f.ReadChain(rec)->Bytes(), b);
  EXPECT_EQ(f.BlockTable().size(), table.size());
  for (size_t i = 0; i < table.size(); ++i) EXPECT_EQ(f.BlockTable()[i].Next, table[i].Next);
}

TEST_F(VfsFileTest, DigestCoversTheFileFromOffset44) {
  {
    VfsFile f(fs);
    Open(f);
    Put(f, "a.txt", Text(1000));
    Put(f, "b.bin", Noise(3000));
    f.FlushArchive();
  }
  const auto& bytes = Bytes();
  Md5 md5;
  md5.Update(std::span(bytes).subspan(44));
  EXPECT_EQ(HeaderOf(bytes).Digest, md5.Final());
  EXPECT_TRUE(CheckVfsArchive(fs, kPath).Ok());
  EXPECT_FALSE(fs.FileExists(VfsJournal::PathFor(kPath)));
}

TEST_F(VfsFileTest, SideFileOnlyWhenItExisted) {
  {
    VfsFile f(fs);
    Open(f);
    Put(f, "a.txt", Text(100));
    f.FlushArchive();
  }
  EXPECT_FALSE(fs.FileExists(kSide));

  CreateVfsArchive(fs, kPath, Small(256, 64, 8, true));
  {
    VfsFile f(fs);
    Open(f);
    EXPECT_TRUE(f.HashFile().Loaded());
    Put(f, "a.txt", Text(100));
    f.FlushArchive();
  }
  ASSERT_TRUE(fs.FileExists(kSide));
  auto recs = ParseHashFile(*fs.Find(kSide));
  ASSERT_EQ(recs.size(), 1u);
  EXPECT_EQ(recs[0].Hash, PathHash("a.txt"));
  EXPECT_EQ(recs[0].Unique, 1);

  // A side file that holds no record is deleted at flush and not rewritten.
  fs.Put(kSide, BuildHashFile({}));
  {
    VfsFile f(fs);
    Open(f);
    f.FlushArchive();
  }
  EXPECT_FALSE(fs.FileExists(kSide));
}

TEST_F(VfsFileTest, DamagedArchivesAreRefusedBeforeAnyWrite) {
  VfsDirRecord root{"a.txt", kVfsFile, kDate, 2, 600, 0};
  auto clean = Bytes();
  auto refused = [&](const std::function<void(std::vector<uint8_t>&)>& damage, const char* what) {
    auto bytes = clean;
    damage(bytes);
    fs.Put(kPath, bytes);
    VfsFile f(fs);
    f.SetToday(kDate);
    EXPECT_THROW(f.OpenArchive(kPath, false), SetupError) << what;
    EXPECT_FALSE(f.IsOpen());
    EXPECT_EQ(*fs.Find(kPath), bytes) << what;
    EXPECT_FALSE(fs.FileExists(VfsJournal::PathFor(kPath))) << what;
  };
  refused([&](auto& b) { SetEntry(b, 1, 1, 65); }, "chain leaves the table");
  refused([&](auto& b) { SetEntry(b, 1, 1, -7); }, "negative next");
  refused([&](auto& b) { SetEntry(b, 1, 1, 2); }, "chain runs into a free block");
  refused([&](auto& b) { SetEntry(b, 1, 1, 2); SetEntry(b, 2, 1, 3); SetEntry(b, 3, 1, 1); }, "loop");
  refused([&](auto& b) { SetEntry(b, 4, 1, 4); }, "self loop");
  refused([&](auto& b) { SetEntry(b, 2, 1, 3); SetEntry(b, 3, 1, -1); root.FirstBlock = 70; SetRootSlot(b, 0, root); },
          "root chain outside the table");
  root.FirstBlock = 2;
  refused([&](auto& b) { SetEntry(b, 2, 1, -1); SetRootSlot(b, 0, root); }, "chain too short for its size");
  refused([&](auto& b) { SetRootSlot(b, 0, root); }, "chain starts in a free block");
  // A chain long enough for a size that the file, cut after its tables,
  // cannot hold: refused before its zeros are read into memory.
  refused([&](auto& b) {
    b.resize(HeaderOf(b).DataOffset());
    for (uint32_t block = 2; block < 20; ++block) SetEntry(b, block, 1, int32_t(block + 1));
    SetEntry(b, 20, 1, -1);
    root.StoredSize = uint32_t(b.size()) + 1;
    SetRootSlot(b, 0, root);
  }, "more bytes than the archive");
}

TEST_F(VfsFileTest, ListingThatIsNotWholeRecordsIsRefused) {
  {
    VfsFile f(fs);
    Open(f);
    Put(f, "dir\\a.txt", Text(10));
    f.FlushArchive();
  }
  auto bytes = Bytes();
  VfsDirRecord dir = RootSlotOf(bytes, 0);
  ASSERT_EQ(dir.StoredSize, 88u);
  dir.StoredSize = 87;
  SetRootSlot(bytes, 0, dir);
  fs.Put(kPath, bytes);
  VfsFile full(fs);
  EXPECT_THROW(full.OpenArchive(kPath, true), SetupError);
  // Lazily the listing is read on the way to a file, still before any write.
  VfsFile lazy(fs);
  Open(lazy);
  EXPECT_THROW(Put(lazy, "dir\\b.txt", Text(10)), SetupError);
  lazy.CloseArchive();
  EXPECT_EQ(*fs.Find(kPath), bytes);
}

class ReadOnlyFs : public MemoryFileSystem {
 public:
  std::unique_ptr<RandomAccessFile> Open(const std::string& path, FileMode mode) override {
    if (mode != FileMode::kRead) return nullptr;
    return MemoryFileSystem::Open(path, mode);
  }
};

TEST(VfsOpen, AnArchiveThatCannotBeOpenedForWritingIsAnError) {
  ReadOnlyFs fs;
  MemoryFileSystem maker;
  CreateVfsArchive(maker, kPath, Small());
  fs.Put(kPath, *maker.Find(kPath));
  VfsFile f(fs);
  try {
    f.OpenArchive(kPath, false);
    FAIL() << "opened";
  } catch (const SetupError& e) {
    EXPECT_NE(std::string(e.what()).find("for writing"), std::string::npos);
  }
  EXPECT_FALSE(f.IsOpen());
  // Reading is still possible.
  f.OpenArchive(kPath, true, {}, VfsAccess::kReadOnly);
  EXPECT_TRUE(f.IsOpen());
  EXPECT_THROW(Put(f, "a.txt", Text(5)), SetupError);

  VfsFile missing(fs);
  EXPECT_THROW(missing.OpenArchive("C:\\nothing.vfs", false), SetupError);
}

TEST_F(VfsFileTest, OpenReportsProgress) {
  std::vector<std::pair<uint64_t, uint64_t>> calls;
  VfsFile f(fs);
  f.OpenArchive(kPath, false, [&](uint64_t p, uint64_t t) { calls.emplace_back(p, t); });
  ASSERT_EQ(calls.size(), 2u + 64 + 8);
  EXPECT_EQ(calls[0], std::make_pair(uint64_t{0}, uint64_t{100}));
  EXPECT_EQ(calls[1], std::make_pair(uint64_t{0}, uint64_t{72}));
  EXPECT_EQ(calls.back(), std::make_pair(uint64_t{71}, uint64_t{72}));
}

}  // namespace
}  // namespace ferry
