#include <gtest/gtest.h>

#include "base/setup_error.h"
#include "vfs_test_util.h"

namespace ferry {
namespace {

using namespace vfstest;
using Change = MemoryFileSystem::Change;

class VfsTreeTest : public ::testing::Test {
 protected:
  void SetUp() override { CreateVfsArchive(fs, kPath, Small(256, 128, 8, true)); }
  const std::vector<uint8_t>& Bytes() { return *fs.Find(kPath); }
  VfsHeader H() { return HeaderOf(Bytes()); }
  // Writes to the archive itself (not the journal or side file) while `body` runs.
  std::vector<std::pair<uint64_t, uint64_t>> ArchiveWrites(const std::function<void()>& body) {
    std::vector<std::pair<uint64_t, uint64_t>> writes;
    fs.SetChangeHook([&](const Change& c) {
      if (c.Kind == Change::kWrite && c.Path == kPath) writes.emplace_back(c.Offset, c.Length);
    });
    body();
    fs.SetChangeHook({});
    return writes;
  }
  void ExpectSound() {
    auto report = CheckVfsArchive(fs, kPath);
    for (const auto& e : report.Errors) ADD_FAILURE() << e;
  }
  MemoryFileSystem fs;
};

TEST_F(VfsTreeTest, NewRootFileWritesEntryBlockThenSlot) {
  VfsHeader h = H();
  VfsFile f(fs);
  Open(f);
  auto data = Noise(300);
  auto writes = ArchiveWrites([&] { Put(f, "d.txt", data); });
  std::vector<std::pair<uint64_t, uint64_t>> expected{
      {h.BlockTableOffset(), 8}, {h.BlockOffset(0), 256}, {h.BlockTableOffset() + 8, 8}, {h.BlockOffset(1), 44},
      {h.RootTableOffset(), 88}};
  EXPECT_EQ(writes, expected);
  VfsDirRecord slot = RootSlotOf(Bytes(), 0);
  EXPECT_EQ(slot.Name, "d.txt");
  EXPECT_EQ(slot.Flags, kVfsFile);
  EXPECT_EQ(slot.StoredSize, 300u);
  EXPECT_EQ(slot.UnpackedSize, 0u);
  EXPECT_EQ(slot.FirstBlock, 1u);
  EXPECT_EQ(slot.FileDate, kDate);
  EXPECT_EQ(f.Tree().HashKey(f.Tree().FindByPath("d.txt")), "d.txt");
  f.FlushArchive();
  ExpectSound();
}

TEST_F(VfsTreeTest, MissingDirectoriesAreCreatedOnceEachWithOneZeroBlock) {
  VfsFile f(fs);
  Open(f);
  auto text = Text(5000);
  int32_t n = Put(f, "units\\configs\\training.txt", text);
  const VfsTree& t = f.Tree();
  EXPECT_EQ(t.Node(n).Path, "units\\configs\\training.txt");
  EXPECT_EQ(t.HashKey(n), "units\\configs/training.txt");
  EXPECT_EQ(t.Node(n).Info->Flags, kVfsFile | kVfsCompressed);
  EXPECT_EQ(t.Node(n).Info->UnpackedSize, 5000u);
  Put(f, "units\\configs\\second.txt", Text(10));
  f.FlushArchive();
  f.CloseArchive();

  VfsFile g(fs);
  Open(g, true);
  int dirs = 0;
  for (size_t i = 0; i < g.Tree().SlotCount(); ++i)
    if (g.Tree().InUse(int32_t(i)) && (g.Tree().Node(int32_t(i)).Info->Flags & kVfsDirectory)) ++dirs;
  EXPECT_EQ(dirs, 2);
  int32_t configs = g.Tree().FindByPath("UNITS\\configs");
  ASSERT_GE(configs, 0);
  EXPECT_EQ(g.Tree().Node(configs).Info->StoredSize, 176u);
  EXPECT_EQ(g.Tree().Node(g.Tree().FindByPath("units")).Info->StoredSize, 88u);
  EXPECT_EQ(g.Tree().FileCount(), 2u);
  g.CloseArchive();
  EXPECT_EQ(ReadBack(fs, "units\\configs\\training.txt"), text);
  ExpectSound();
}

TEST_F(VfsTreeTest, EmptyDirectoryOwnsOneZeroBlock) {
  VfsFile f(fs);
  Open(f);
  int32_t d = f.Tree().CreateEntry(-1, "empty", kVfsDirectory, true);
  const VfsDirRecord& rec = *f.Tree().Node(d).Info;
  EXPECT_EQ(rec.StoredSize, 0u);
  EXPECT_EQ(f.ChainLength(rec.FirstBlock), 1u);
  EXPECT_EQ(RootSlotOf(Bytes(), 0).Name, "empty");
  f.FlushArchive();
  ExpectSound();
}

TEST_F(VfsTreeTest, SameSizeReplacementOverwritesTheListingInPlace) {
  VfsFile f(fs);
  Open(f);
  Put(f, "maps\\a.dat", Noise(100, 1));
  Put(f, "maps\\b.dat", Noise(100, 2));
  VfsHeader h = H();
  VfsDirRecord dirBefore = RootSlotOf(Bytes(), 0);
  auto writes = ArchiveWrites([&] { Put(f, "maps\\a.dat", Noise(120, 3)); });
  // Nothing in the root table: the directory's own record stays as it was.
  for (auto [off, len] : writes)
    EXPECT_FALSE(off >= h.RootTableOffset() && off < h.DataOffset()) << "root table written at " << off;
  VfsDirRecord dirAfter = RootSlotOf(Bytes(), 0);
  EXPECT_EQ(dirAfter.FirstBlock, dirBefore.FirstBlock);
  EXPECT_EQ(dirAfter.StoredSize, 176u);
  // The old record's place is taken again, and its freed block reused.
  int32_t maps = f.Tree().FindByPath("maps");
  auto listing = f.Tree().BuildListing(maps);
  ASSERT_EQ(listing.size(), 2u);
  EXPECT_EQ(listing[0].Name, "a.dat");
  EXPECT_EQ(listing[0].StoredSize, 120u);
  f.FlushArchive();
  ExpectSound();
}

TEST_F(VfsTreeTest, GrowingListingMovesAndRewritesUpToTheRoot) {
  VfsFile f(fs);
  Open(f);
  Put(f, "a\\b\\one.txt", Noise(10, 1));
  Put(f, "a\\b\\two.txt", Noise(10, 2));
  Put(f, "a\\b\\three.txt", Noise(10, 3));
  VfsDirRecord aBefore = RootSlotOf(Bytes(), 0);
  f.FlushArchive();
  f.CloseArchive();
  // a\b's listing grows from 264 to 352 bytes (two blocks): a\b gets a new chain
  // and its record in a's listing changes; a's listing keeps its size.
  VfsFile g(fs);
  Open(g);
  Put(g, "a\\b\\four.txt", Noise(10, 4));
  int32_t b = g.Tree().FindByPath("a\\b");
  EXPECT_EQ(g.Tree().Node(b).Info->StoredSize, 352u);
  EXPECT_EQ(g.ChainLength(g.Tree().Node(b).Info->FirstBlock), 2u);
  VfsDirRecord aAfter = RootSlotOf(Bytes(), 0);
  EXPECT_EQ(aAfter.FirstBlock, aBefore.FirstBlock);
  EXPECT_EQ(aAfter.StoredSize, 88u);
  g.FlushArchive();
  ExpectSound();
}

TEST_F(VfsTreeTest, PathWithBackslashButNoDotGoesToTheRoot) {
  VfsFile f(fs);
  Open(f);
  int32_t n = Put(f, "bin\\tool", Noise(20));
  EXPECT_EQ(f.Tree().Node(n).Path, "tool");
  EXPECT_EQ(f.Tree().Node(n).Parent, -1);
  EXPECT_EQ(RootSlotOf(Bytes(), 0).Name, "tool");
  f.FlushArchive();
  ExpectSound();
}

TEST_F(VfsTreeTest, ReplacingARootFileFreesItsSlotAndTakesTheLowestFree) {
  VfsFile f(fs);
  Open(f);
  Put(f, "first.txt", Noise(10, 1));
  Put(f, "second.txt", Noise(10, 2));
  f.Tree().DeleteEntry(f.Tree().FindByPath("first.txt"), true);
  EXPECT_EQ(RootSlotOf(Bytes(), 0).Name, "");
  Put(f, "second.txt", Noise(10, 3));
  // second.txt's slot 1 was cleared; slot 0 was the lowest free one.
  EXPECT_EQ(RootSlotOf(Bytes(), 0).Name, "second.txt");
  EXPECT_EQ(RootSlotOf(Bytes(), 1), VfsDirRecord{});
  EXPECT_EQ(f.Tree().Node(f.Tree().FindByPath("second.txt")).RootSlot, 0);
  f.FlushArchive();
  ExpectSound();
}

// Root folders "units" and "data", and units\data holding files: a file
// written to units\data must keep the files already there.
TEST_F(VfsTreeTest, PathListingsFollowThePathNotAnyDirectoryOfThatName) {
  {
    VfsFile f(fs);
    Open(f);
    Put(f, "units\\readme.txt", Noise(10, 1));
    Put(f, "data\\root_data.txt", Noise(10, 2));
    Put(f, "units\\data\\kept1.txt", Noise(10, 3));
    Put(f, "units\\data\\kept2.txt", Noise(10, 4));
    f.FlushArchive();
  }
  {
    VfsFile f(fs);
    Open(f);
    Put(f, "units\\data\\new.txt", Noise(10, 5));
    f.FlushArchive();
  }
  VfsFile g(fs);
  g.OpenArchive(kPath, true, {}, VfsAccess::kReadOnly);
  for (const char* p : {"units\\data\\kept1.txt", "units\\data\\kept2.txt", "units\\data\\new.txt",
                        "data\\root_data.txt", "units\\readme.txt"})
    EXPECT_GE(g.Tree().FindByPath(p), 0) << p;
  EXPECT_EQ(g.Tree().BuildListing(g.Tree().FindByPath("units\\data")).size(), 3u);
  EXPECT_EQ(g.Tree().BuildListing(g.Tree().FindByPath("data")).size(), 1u);
  g.CloseArchive();
  ExpectSound();
}

TEST_F(VfsTreeTest, CaseAndLongNamesReplaceInsteadOfDuplicating) {
  VfsFile f(fs);
  Open(f);
  std::string longName = std::string(70, 'x') + ".txt";
  Put(f, "Units\\Configs\\A.txt", Noise(10, 1));
  Put(f, "units\\configs\\a.txt", Noise(10, 2));
  Put(f, "units\\" + longName, Noise(10, 3));
  Put(f, "units\\" + longName, Noise(10, 4));
  std::string longDir = std::string(80, 'd');
  Put(f, longDir + "\\x.txt", Noise(10, 5));
  Put(f, longDir + "\\y.txt", Noise(10, 6));
  f.FlushArchive();
  f.CloseArchive();
  VfsFile g(fs);
  g.OpenArchive(kPath, true, {}, VfsAccess::kReadOnly);
  EXPECT_EQ(g.Tree().FileCount(), 4u);
  int32_t units = g.Tree().FindByPath("units");
  EXPECT_EQ(g.Tree().BuildListing(units).size(), 2u);  // Configs and the long-named file
  int32_t configs = g.Tree().FindByPath("units\\configs");
  auto listing = g.Tree().BuildListing(configs);
  ASSERT_EQ(listing.size(), 1u);
  EXPECT_EQ(listing[0].Name, "a.txt");  // the new entry carries the name it was written under
  g.CloseArchive();
  EXPECT_EQ(ReadBack(fs, "units\\configs\\a.txt"), Noise(10, 2));
  ExpectSound();
}

TEST_F(VfsTreeTest, EmptyEntryBecomesAnEmptyFile) {
  VfsFile f(fs);
  Open(f);
  int32_t n = Put(f, "dir\\empty.txt", {});
  const VfsDirRecord& r = *f.Tree().Node(n).Info;
  EXPECT_EQ(r.StoredSize, 0u);
  EXPECT_EQ(r.Flags, kVfsFile);
  EXPECT_EQ(r.UnpackedSize, 0u);
  EXPECT_EQ(f.ChainLength(r.FirstBlock), 1u);
  f.FlushArchive();
  ExpectSound();
}

TEST_F(VfsTreeTest, ReplacingADirectoryByAFileFreesEverythingBelowIt) {
  {
    VfsFile f(fs);
    Open(f);
    Put(f, "pack\\inner.d\\a.txt", Noise(600, 1));
    Put(f, "pack\\inner.d\\deep\\b.txt", Noise(600, 2));
    f.FlushArchive();
  }
  VfsFile f(fs);
  Open(f);
  uint32_t freeBefore = f.FreeBlockCount();
  Put(f, "pack\\inner.d", Noise(10, 3));
  // inner.d, deep: 1 block each, two 3-block files; the new file takes 1.
  EXPECT_EQ(f.FreeBlockCount(), freeBefore + 1 + 1 + 3 + 3 - 1);
  f.FlushArchive();
  ExpectSound();
}

TEST_F(VfsTreeTest, AFileInTheWayOfADirectoryIsRefused) {
  VfsFile f(fs);
  Open(f);
  Put(f, "a\\b.txt", Noise(10));
  f.FlushArchive();
  auto before = Bytes();
  EXPECT_THROW(Put(f, "a\\b.txt\\c.txt", Noise(10)), SetupError);
  EXPECT_EQ(Bytes(), before);
  EXPECT_THROW(Put(f, "a\\\\c.txt", Noise(10)), SetupError);
  EXPECT_THROW(Put(f, "a.b\\", Noise(10)), SetupError);
  EXPECT_EQ(Bytes(), before);
}

TEST_F(VfsTreeTest, NotEnoughFreeBlocksIsRefusedBeforeAnyWrite) {
  CreateVfsArchive(fs, kPath, Small(256, 8, 8));
  VfsFile f(fs);
  Open(f);
  Put(f, "a.bin", Noise(256 * 5));  // 5 of 8 blocks
  f.FlushArchive();
  auto before = Bytes();
  // A directory block and three content blocks, with three free.
  auto writes = ArchiveWrites([&] { EXPECT_THROW(Put(f, "dir\\b.bin", Noise(256 * 3)), SetupError); });
  EXPECT_TRUE(writes.empty());
  EXPECT_EQ(Bytes(), before);
  // Replacing a.bin frees its five blocks first, so eight fit.
  Put(f, "a.bin", Noise(256 * 8));
  f.FlushArchive();
  EXPECT_NE(Bytes(), before);
  ExpectSound();
}

TEST_F(VfsTreeTest, NoFreeRootSlot) {
  CreateVfsArchive(fs, kPath, Small(256, 64, 2));
  VfsFile f(fs);
  Open(f);
  Put(f, "a.txt", Noise(10));
  Put(f, "d\\b.txt", Noise(10));
  auto writes = ArchiveWrites([&] {
    try {
      Put(f, "c.txt", Noise(10));
      ADD_FAILURE() << "no error";
    } catch (const SetupError& e) {
      EXPECT_STREQ(e.what(), "CreateNewFileDir: ROOT Result = Cardinal(-1)");
    }
    EXPECT_THROW(Put(f, "e\\f.txt", Noise(10)), SetupError);
  });
  EXPECT_TRUE(writes.empty());
  Put(f, "a.txt", Noise(12));  // a replacement reuses its own slot
  Put(f, "d\\g.txt", Noise(12));
}

TEST_F(VfsTreeTest, HashRecordsFollowTheWrites) {
  VfsFile f(fs);
  Open(f);
  Put(f, "a.txt", Noise(10, 1));
  Put(f, "dir\\b.txt", Noise(10, 2));
  f.FlushArchive();
  f.CloseArchive();
  auto recs = ParseHashFile(*fs.Find(kSide));
  ASSERT_EQ(recs.size(), 2u);
  EXPECT_LT(recs[0].Hash, recs[1].Hash);
  EXPECT_TRUE((recs[0].Hash == PathHash("a.txt") && recs[1].Hash == PathHash("dir/b.txt")) ||
              (recs[1].Hash == PathHash("a.txt") && recs[0].Hash == PathHash("dir/b.txt")));

  VfsFile g(fs);
  Open(g);
  int32_t n = Put(g, "dir\\b.txt", Text(3000));
  g.FlushArchive();
  recs = ParseHashFile(*fs.Find(kSide));
  ASSERT_EQ(recs.size(), 2u);
  const VfsDirRecord& r = *g.Tree().Node(n).Info;
  for (const auto& rec : recs) {
    if (rec.Hash != PathHash("dir/b.txt")) continue;
    EXPECT_EQ(rec.Flags, kVfsFile | kVfsCompressed);
    EXPECT_EQ(rec.UnpackedSize, 3000u);
    EXPECT_EQ(rec.StoredSize, r.StoredSize);
    EXPECT_EQ(rec.FirstBlock, r.FirstBlock);
    EXPECT_EQ(rec.Unique, 1);
  }
  g.CloseArchive();
  ExpectSound();
}

TEST_F(VfsTreeTest, FullTreeRebuildsTheSideFileLikeTheLazyUpdate) {
  {
    VfsFile f(fs);
    Open(f);
    for (int i = 0; i < 20; ++i) Put(f, "d" + std::to_string(i % 3) + "\\f" + std::to_string(i) + ".txt", Noise(30, i));
    f.FlushArchive();
  }
  auto lazy = *fs.Find(kSide);
  fs.RemoveFile(kSide);
  {
    VfsFile f(fs);
    Open(f, true);
    f.FlushArchive();
  }
  EXPECT_EQ(*fs.Find(kSide), lazy);
  ExpectSound();
}

TEST_F(VfsTreeTest, LookupsIgnoreCaseAndFindTheDeepestDirectory) {
  VfsFile f(fs);
  Open(f);
  Put(f, "Alpha\\Beta\\c.txt", Noise(10));
  const VfsTree& t = f.Tree();
  int32_t beta = t.FindByPath("alpha\\BETA");
  ASSERT_GE(beta, 0);
  EXPECT_EQ(t.FindChild(t.FindByPath("ALPHA"), "beta"), beta);
  EXPECT_EQ(t.FindChild(-1, "alpha"), t.FindByPath("Alpha"));
  EXPECT_EQ(t.FindDeepestDirectory("alpha\\beta\\gamma\\delta\\"), beta);
  EXPECT_EQ(t.FindDeepestDirectory("alpha\\beta\\c.txt"), beta);
  EXPECT_EQ(t.FindDeepestDirectory("zeta"), -1);
  EXPECT_EQ(t.FindByPath("alpha\\beta\\c.txt\\x"), -1);
}

}  // namespace
}  // namespace ferry
