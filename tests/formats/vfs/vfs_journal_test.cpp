#include <gtest/gtest.h>

#include "base/setup_error.h"
#include "vfs_test_util.h"

namespace ferry {
namespace {

using namespace vfstest;
using Change = MemoryFileSystem::Change;

struct Killed {};

void CopyFiles(const MemoryFileSystem& from, MemoryFileSystem& to) {
  for (const auto& p : from.Paths()) to.Put(p, *from.Find(p));
}

std::vector<uint8_t> FileOr(const MemoryFileSystem& fs, const std::string& path) {
  const auto* f = fs.Find(path);
  return f ? *f : std::vector<uint8_t>{0xDE, 0xAD};
}

// An archive with a side file, some directories and files of each kind.
void MakeBase(MemoryFileSystem& fs) {
  CreateVfsArchive(fs, kPath, Small(256, 200, 4, true));
  VfsFile f(fs);
  Open(f);
  Put(f, "readme.txt", Text(900));
  Put(f, "units\\a.dat", Noise(300, 1));
  Put(f, "units\\b.dat", Noise(40, 2));
  Put(f, "units\\data\\c.txt", Text(5000, 'c'));
  Put(f, "data\\d.bin", Noise(700, 3));
  f.FlushArchive();
}

// Adds, replaces (same size, other size, compressed), creates directories,
// grows listings and replaces a root file.
void SampleUpdate(MemoryFileSystem& fs) {
  VfsFile f(fs);
  Open(f);
  Put(f, "units\\a.dat", Noise(300, 11));
  Put(f, "units\\b.dat", Noise(900, 12));
  Put(f, "units\\data\\new.txt", Text(20000, 'n'));
  Put(f, "maps\\north\\east\\m.map", Noise(1000, 13));
  Put(f, "readme.txt", Noise(50, 14));
  Put(f, "data\\empty.txt", {});
  f.FlushArchive();
  f.CloseArchive();
}

TEST(VfsJournal, AnUpdateKilledAfterAnyWriteLeavesOldOrNewContent) {
  MemoryFileSystem base;
  MakeBase(base);
  const auto oldArchive = *base.Find(kPath);
  const auto oldSide = *base.Find(kSide);

  MemoryFileSystem whole;
  CopyFiles(base, whole);
  size_t changes = 0;
  whole.SetChangeHook([&](const Change&) { ++changes; });
  SampleUpdate(whole);
  whole.SetChangeHook({});
  const auto newArchive = *whole.Find(kPath);
  const auto newSide = *whole.Find(kSide);
  ASSERT_NE(oldArchive, newArchive);
  ASSERT_FALSE(whole.FileExists(VfsJournal::PathFor(kPath)));
  ASSERT_GT(changes, 40u);

  size_t sawOld = 0, sawNew = 0;
  for (size_t k = 0; k <= changes; ++k) {
    MemoryFileSystem fs;
    CopyFiles(base, fs);
    size_t count = 0;
    fs.SetChangeHook([&](const Change&) {
      if (count++ == k) throw Killed{};
    });
    bool killed = false;
    try {
      SampleUpdate(fs);
    } catch (const Killed&) {
      killed = true;
    }
    EXPECT_EQ(killed, k < changes) << "k=" << k;

    // Killed again while rolling back: the journal is played back again from the start.
    if (fs.FileExists(VfsJournal::PathFor(kPath))) {
      count = 0;
      fs.SetChangeHook([&](const Change&) {
        if (count++ == 1) throw Killed{};
      });
      try {
        VfsFile f(fs);
        f.OpenArchive(kPath, false);
      } catch (const Killed&) {
      }
    }
    fs.SetChangeHook({});
    VfsCheckReport report = CheckVfsArchive(fs, kPath);
    for (const auto& e : report.Errors) ADD_FAILURE() << "k=" << k << ": " << e;
    EXPECT_FALSE(fs.FileExists(VfsJournal::PathFor(kPath))) << "k=" << k;
    const auto& archive = FileOr(fs, kPath);
    const auto& side = FileOr(fs, kSide);
    bool isOld = archive == oldArchive && side == oldSide;
    bool isNew = archive == newArchive && side == newSide;
    EXPECT_TRUE(isOld || isNew) << "k=" << k;
    sawOld += isOld;
    sawNew += isNew;
  }
  EXPECT_GT(sawOld, 0u);
  EXPECT_GT(sawNew, 0u);
}

TEST(VfsJournal, CloseWithoutFlushAndRollBackRestoreTheArchive) {
  MemoryFileSystem fs;
  MakeBase(fs);
  const auto before = *fs.Find(kPath);
  {
    VfsFile f(fs);
    Open(f);
    Put(f, "units\\z.txt", Noise(500));
    EXPECT_NE(*fs.Find(kPath), before);
    f.RollBack();
    EXPECT_FALSE(f.IsOpen());
  }
  EXPECT_EQ(*fs.Find(kPath), before);
  EXPECT_FALSE(fs.FileExists(VfsJournal::PathFor(kPath)));
  {
    VfsFile f(fs);
    Open(f);
    Put(f, "units\\z.txt", Noise(500));
    f.CloseArchive();
  }
  EXPECT_TRUE(fs.FileExists(VfsJournal::PathFor(kPath)));
  VfsFile g(fs);
  Open(g);
  EXPECT_TRUE(g.Recovered());
  EXPECT_EQ(*fs.Find(kPath), before);
  EXPECT_EQ(g.Tree().FindByPath("units\\z.txt"), -1);
}

TEST(VfsJournal, ReadOnlyOpenRefusesAPendingJournal) {
  MemoryFileSystem fs;
  MakeBase(fs);
  {
    VfsFile f(fs);
    Open(f);
    Put(f, "x.txt", Noise(10));
  }
  VfsFile g(fs);
  EXPECT_THROW(g.OpenArchive(kPath, true, {}, VfsAccess::kReadOnly), SetupError);
}

TEST(VfsJournal, TornJournalHeaderMeansNothingToUndo) {
  MemoryFileSystem fs;
  MakeBase(fs);
  const auto before = *fs.Find(kPath);
  fs.Put(VfsJournal::PathFor(kPath), {0x46, 0x56, 0x4A});
  VfsFile f(fs);
  Open(f);
  EXPECT_TRUE(f.Recovered());
  EXPECT_EQ(*fs.Find(kPath), before);
  EXPECT_FALSE(fs.FileExists(VfsJournal::PathFor(kPath)));
}

}  // namespace
}  // namespace ferry
