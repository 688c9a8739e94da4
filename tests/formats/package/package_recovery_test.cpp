// An update that fails or is killed at any write leaves a package that opens
// with either its old directory or its new one.
#include <gtest/gtest.h>

#include <map>

#include "formats/pak/crc32.h"
#include "formats/package/package_updater.h"
#include "base/byte_writer.h"
#include "package_fakes.h"
#include "package_test_util.h"

namespace ferry {
namespace {

using test::FakeSetupSource;
using test::MemoryPackageFileSystem;
using test::PackageBuilder;
using Mode = MemoryPackageFileSystem::FaultMode;

constexpr char kDir[] = "C:\\Game";
constexpr char kPkg[] = "data.rkp";
constexpr char kPath[] = "C:\\Game\\data.rkp";

using Contents = std::map<std::string, std::string>;

// The text of the error `work` ends with; a failure when it ends without one.
template <class Work>
std::string ErrorText(Work work) {
  try {
    work();
  } catch (const SetupError& e) {
    return e.what();
  }
  ADD_FAILURE() << "no error";
  return {};
}

class RecoveryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    original = PackageBuilder()
                   .Add("same.txt", "unchanged text")
                   .Add("changed.txt", "before")
                   .Add("alone.txt", "not in the update")
                   .Rkp3({true, false, "pw"});
    setup.Add("same.txt", "unchanged text");
    setup.Add("changed.txt", "after, and longer");
    setup.Add("new1.txt", std::string(5000, 'n'));
    setup.Add("sub\\new2.txt", "second new file");
    old_contents = {{"same.txt", "unchanged text"}, {"changed.txt", "before"}, {"alone.txt", "not in the update"}};
    new_contents = old_contents;
    new_contents["changed.txt"] = "after, and longer";
    new_contents["new1.txt"] = std::string(5000, 'n');
    new_contents["sub\\new2.txt"] = "second new file";
  }

  PackageUpdaterHost Host() {
    PackageUpdaterHost h;
    h.Files = &fs;
    h.RandomKeyParam = [] { return uint8_t{4}; };
    h.Warning = [this](const std::string& t) { warnings.push_back(t); };
    return h;
  }

  // Opens the package as the next run would and reads every entry.
  Contents OpenAndRead() {
    PackageUpdater sys(Host());
    sys.OpenPackage(kPath);
    EXPECT_EQ(sys.ExtraInfo().Password, "pw");
    Contents c;
    auto bytes = fs.Get(kPath);
    for (const auto& e : sys.Entries()) {
      std::vector<uint8_t> stored(bytes.begin() + e.DataOffset, bytes.begin() + e.DataOffset + e.StoredSize);
      std::vector<uint8_t> out;
      EXPECT_TRUE(UnpackZlibEntry(stored, e.OrigSize, out)) << e.Name;
      c[e.Name] = std::string(out.begin(), out.end());
    }
    sys.Close();
    EXPECT_FALSE(fs.Has(TailBackupPath(kPath)));
    return c;
  }

  size_t CleanRunOps() {
    fs.Put(kPath, original);
    fs.FailAt(SIZE_MAX, Mode::kError);
    PackageUpdater sys(Host());
    sys.UpdatePackage(setup, 1, kDir, kPkg, "pw");
    EXPECT_EQ(sys.Stats().Written, 3u);
    EXPECT_EQ(sys.Stats().Unchanged, 1u);
    return fs.Ops();
  }

  MemoryPackageFileSystem fs;
  FakeSetupSource setup;
  std::vector<uint8_t> original;
  Contents old_contents, new_contents;
  std::string fatal;  // the text of the last error
  std::vector<std::string> warnings;
};

TEST_F(RecoveryTest, CleanUpdateGivesTheNewDirectory) {
  size_t ops = CleanRunOps();
  // Side file, cut, three entries, new tail, side file removed.
  EXPECT_EQ(ops, 8u);
  EXPECT_EQ(OpenAndRead(), new_contents);
}

TEST_F(RecoveryTest, AnErrorAtAnyWriteBeforeTheNewTailLeavesThePackageExactlyAsItWas) {
  size_t ops = CleanRunOps();
  // The last operation removes the side file: the new tail is on disk by then.
  for (size_t k = 0; k + 1 < ops; ++k) {
    SCOPED_TRACE("failing operation " + std::to_string(k));
    fs.Put(kPath, original);
    fs.FailAt(k, Mode::kError);
    fatal.clear();
    PackageUpdater sys(Host());
    fatal = ErrorText([&] { sys.UpdatePackage(setup, 1, kDir, kPkg, "pw"); });
    EXPECT_NE(fatal.find("The package was left as it was"), std::string::npos) << fatal;
    EXPECT_EQ(fs.Get(kPath), original);
    EXPECT_FALSE(fs.Has(TailBackupPath(kPath)));
    fs.NoFaults();
    EXPECT_EQ(OpenAndRead(), old_contents);
  }
  EXPECT_TRUE(warnings.empty());
}

TEST_F(RecoveryTest, FinishedUpdateWhoseSideFileWillNotGoStaysFinished) {
  size_t ops = CleanRunOps();
  fs.Put(kPath, original);
  fs.FailAt(ops - 1, Mode::kError);
  {
    PackageUpdater sys(Host());
    sys.UpdatePackage(setup, 1, kDir, kPkg, "pw");
    EXPECT_TRUE(sys.Stats().SideFileLeft);
  }
  EXPECT_TRUE(fatal.empty()) << fatal;
  ASSERT_EQ(warnings.size(), 1u);
  EXPECT_NE(warnings[0].find("is complete"), std::string::npos) << warnings[0];
  EXPECT_NE(warnings[0].find("marked as finished"), std::string::npos) << warnings[0];
  // Left behind, marked: never played back.
  ASSERT_TRUE(fs.Has(TailBackupPath(kPath)));
  PackageTailBackup side;
  ASSERT_TRUE(DecodeTailBackup(fs.Get(TailBackupPath(kPath)), side));
  EXPECT_TRUE(side.Finished);
  fs.NoFaults();
  auto updated = fs.Get(kPath);
  {
    PackageUpdater sys(Host());
    sys.OpenPackage(kPath);
    EXPECT_EQ(sys.Stats().Recovery, TailRecovery::kFinished);
  }
  EXPECT_EQ(fs.Get(kPath), updated);
  EXPECT_EQ(OpenAndRead(), new_contents);
}

TEST_F(RecoveryTest, FinishedUpdateWithAnUnmarkableSideFileIsNotRolledBackLater) {
  // Neither deleted nor marked (another program holds it): the package reads
  // on its own, so the side file is stale and goes on the next open.
  size_t ops = CleanRunOps();
  fs.Put(kPath, original);
  fs.FailAt(ops - 1, Mode::kError);
  fs.LockAfterCreate(TailBackupPath(kPath));
  {
    PackageUpdater sys(Host());
    sys.UpdatePackage(setup, 1, kDir, kPkg, "pw");
  }
  ASSERT_EQ(warnings.size(), 1u);
  EXPECT_NE(warnings[0].find("delete it by hand"), std::string::npos) << warnings[0];
  ASSERT_TRUE(fs.Has(TailBackupPath(kPath)));
  fs.NoFaults();
  fs.NodeAt(TailBackupPath(kPath)).locked = false;
  auto updated = fs.Get(kPath);
  {
    PackageUpdater sys(Host());
    sys.OpenPackage(kPath);
    EXPECT_EQ(sys.Stats().Recovery, TailRecovery::kStale);
  }
  EXPECT_EQ(fs.Get(kPath), updated);
  EXPECT_EQ(OpenAndRead(), new_contents);
}

// An interrupted update: the side file written and the package cut, with
// some new data after the cut.
void Interrupt(MemoryPackageFileSystem& fs, const std::vector<uint8_t>& package, size_t extra = 100) {
  MemoryFile f(package);
  PackageTail t = ReadPackageTail(f);
  PackageTailBackup b;
  b.OldLength = package.size();
  b.CutPosition = t.CutPosition;
  b.Tail.assign(package.begin() + static_cast<ptrdiff_t>(t.CutPosition), package.end());
  ASSERT_TRUE(TakeCutWindow(f, b));
  fs.Put(TailBackupPath(kPath), EncodeTailBackup(b));
  std::vector<uint8_t> cut(package.begin(), package.begin() + static_cast<ptrdiff_t>(t.CutPosition));
  cut.resize(cut.size() + extra, 0x5A);
  fs.Put(kPath, cut);
}

TEST_F(RecoveryTest, SideFileIsNotPutOntoAPackageReplacedSince) {
  // Restored from a backup or reinstalled: another package that reads.
  Interrupt(fs, original);
  auto replacement = PackageBuilder().Add("other.txt", "a reinstalled package").Rkp3({true, false, "pw"});
  fs.Put(kPath, replacement);
  {
    PackageUpdater sys(Host());
    sys.OpenPackage(kPath);
    EXPECT_EQ(sys.Stats().Recovery, TailRecovery::kStale);
    EXPECT_NE(sys.FindEntry("other.txt"), nullptr);
  }
  EXPECT_EQ(fs.Get(kPath), replacement);
  EXPECT_FALSE(fs.Has(TailBackupPath(kPath)));
}

TEST_F(RecoveryTest, SideFileIsNotPutOntoAPackagePatchedByTheProductSince) {
  // The product appended after the cut and wrote its own directory: the
  // bytes before the cut are the same, but the package reads.
  Interrupt(fs, original);
  PackageBuilder patched;
  patched.Add("same.txt", "unchanged text").Add("changed.txt", "before").Add("alone.txt", "not in the update");
  patched.Add("product.txt", "the product's own patch");
  auto bytes = patched.Rkp3({true, false, "pw"});
  fs.Put(kPath, bytes);
  PackageUpdater sys(Host());
  sys.OpenPackage(kPath);
  EXPECT_EQ(sys.Stats().Recovery, TailRecovery::kStale);
  EXPECT_NE(sys.FindEntry("product.txt"), nullptr);
  sys.Close();
  EXPECT_EQ(fs.Get(kPath), bytes);
}

TEST_F(RecoveryTest, UnreadablePackageChangedBeforeTheCutKeepsItsSideFile) {
  Interrupt(fs, original);
  auto changed = fs.Get(kPath);
  changed[10] ^= 0xFF;  // inside the window before the cut
  fs.Put(kPath, changed);
  auto side = fs.Get(TailBackupPath(kPath));
  {
    PackageUpdater sys(Host());
    fatal = ErrorText([&] { sys.OpenPackage(kPath); });
    EXPECT_EQ(sys.Stats().Recovery, TailRecovery::kMismatch);
  }
  EXPECT_NE(fatal.find("has corrupted header"), std::string::npos) << fatal;
  EXPECT_EQ(fs.Get(kPath), changed);
  EXPECT_EQ(fs.Get(TailBackupPath(kPath)), side);

  // Shorter than the cut position: not what an update leaves either.
  Interrupt(fs, original);
  auto shorter = fs.Get(kPath);
  shorter.resize(20);
  fs.Put(kPath, shorter);
  {
    PackageUpdater sys(Host());
    fatal = ErrorText([&] { sys.OpenPackage(kPath); });
    EXPECT_EQ(sys.Stats().Recovery, TailRecovery::kMismatch);
  }
  EXPECT_EQ(fs.Get(kPath), shorter);
  EXPECT_TRUE(fs.Has(TailBackupPath(kPath)));
}

TEST_F(RecoveryTest, PackageThatWasNeverCutIsNotWritten) {
  Interrupt(fs, original);
  fs.Put(kPath, original);  // the side file was written, the cut never happened
  size_t writes = fs.Writes();
  PackageUpdater sys(Host());
  sys.OpenPackage(kPath);
  EXPECT_EQ(sys.Stats().Recovery, TailRecovery::kRestored);
  sys.Close();
  EXPECT_EQ(fs.Writes(), writes);
  EXPECT_EQ(fs.Get(kPath), original);
  EXPECT_FALSE(fs.Has(TailBackupPath(kPath)));
}

TEST_F(RecoveryTest, SideFileOfTheFirstLayoutStillPutsBackACutPackage) {
  Interrupt(fs, original);
  PackageTailBackup b;
  ASSERT_TRUE(DecodeTailBackup(fs.Get(TailBackupPath(kPath)), b));
  // Magic, the two lengths, the tail length, the tail, the CRC: no window.
  ByteWriter w;
  w.String("FRKPTAIL");
  w.U64(b.OldLength);
  w.U64(b.CutPosition);
  w.U32(static_cast<uint32_t>(b.Tail.size()));
  w.Bytes(b.Tail);
  w.U32(Crc32(w.Data()));
  fs.Put(TailBackupPath(kPath), w.Take());
  EXPECT_EQ(OpenAndRead(), old_contents);
  EXPECT_EQ(fs.Get(kPath), original);
}

TEST_F(RecoveryTest, AKillAtAnyWriteOpensWithTheOldOrTheNewDirectory) {
  size_t ops = CleanRunOps();
  for (bool lose_unflushed : {false, true}) {
    size_t saw_old = 0, saw_new = 0;
    for (size_t k = 0; k <= ops; ++k) {
      SCOPED_TRACE("killed at operation " + std::to_string(k) + (lose_unflushed ? ", unflushed lost" : ""));
      fs.Put(kPath, original);
      fs.FailAt(k, Mode::kCrash);
      {
        PackageUpdater sys(Host());
        try {
          sys.UpdatePackage(setup, 1, kDir, kPkg, "pw");
        } catch (const SetupError&) {
          // The process is gone: whatever it tried afterwards never happened.
        }
      }
      fs.Reboot(lose_unflushed);
      Contents c = OpenAndRead();
      if (c == old_contents) {
        ++saw_old;
        EXPECT_EQ(fs.Get(kPath), original);
      } else {
        EXPECT_EQ(c, new_contents);
        ++saw_new;
      }
    }
    EXPECT_GT(saw_old, 0u);
    EXPECT_GT(saw_new, 0u);
  }
}

TEST_F(RecoveryTest, InterruptedPackageIsUnreadableUntilPutBack) {
  fs.Put(kPath, original);
  fs.FailAt(3, Mode::kCrash);  // after the side file and the cut
  {
    PackageUpdater sys(Host());
    EXPECT_THROW(sys.UpdatePackage(setup, 1, kDir, kPkg, "pw"), SetupError);
  }
  fs.Reboot(false);
  ASSERT_TRUE(fs.Has(TailBackupPath(kPath)));
  MemoryFile cut(fs.Get(kPath));
  EXPECT_NE(ReadPackageTail(cut).Status, PackageReadStatus::kOk);

  PackageUpdater sys(Host());
  sys.OpenPackage(kPath);
  EXPECT_EQ(sys.Stats().Recovery, TailRecovery::kRestored);
  sys.Close();
  EXPECT_EQ(fs.Get(kPath), original);
}

TEST_F(RecoveryTest, TornSideFileIsDiscarded) {
  fs.Put(kPath, original);
  PackageTailBackup b{100, 90, std::vector<uint8_t>(10, 1)};
  auto side = EncodeTailBackup(b);
  side.pop_back();
  fs.Put(TailBackupPath(kPath), side);
  PackageUpdater sys(Host());
  sys.OpenPackage(kPath);
  EXPECT_EQ(sys.Stats().Recovery, TailRecovery::kDiscarded);
  sys.Close();
  EXPECT_EQ(fs.Get(kPath), original);
  EXPECT_FALSE(fs.Has(TailBackupPath(kPath)));
}

TEST(TailBackup, EncodingChecksEverything) {
  PackageTailBackup b{1000, 900, std::vector<uint8_t>(100, 7)};
  b.HasWindow = true;
  b.WindowLength = 900;
  b.WindowCrc = 0x12345678;
  auto bytes = EncodeTailBackup(b);
  PackageTailBackup out;
  ASSERT_TRUE(DecodeTailBackup(bytes, out));
  EXPECT_EQ(out.OldLength, 1000u);
  EXPECT_EQ(out.CutPosition, 900u);
  EXPECT_EQ(out.Tail, b.Tail);
  EXPECT_TRUE(out.HasWindow);
  EXPECT_EQ(out.WindowLength, 900u);
  EXPECT_EQ(out.WindowCrc, 0x12345678u);
  EXPECT_FALSE(out.Finished);
  for (size_t i = 0; i < bytes.size(); ++i) {
    auto bad = bytes;
    bad[i] ^= 1;
    EXPECT_FALSE(DecodeTailBackup(bad, out)) << "byte " << i;
  }
  PackageTailBackup lie{1000, 800, std::vector<uint8_t>(100, 7)};  // lengths do not add up
  EXPECT_FALSE(DecodeTailBackup(EncodeTailBackup(lie), out));
  PackageTailBackup wide = b;  // a window reaching before the file
  wide.CutPosition = 10;
  wide.OldLength = 110;
  EXPECT_FALSE(DecodeTailBackup(EncodeTailBackup(wide), out));
}

TEST(TailBackup, WindowIsTheBytesJustBeforeTheCut) {
  std::vector<uint8_t> package(200000);
  for (size_t i = 0; i < package.size(); ++i) package[i] = static_cast<uint8_t>(i * 7);
  MemoryFile f(package);
  PackageTailBackup b;
  b.CutPosition = 150000;
  ASSERT_TRUE(TakeCutWindow(f, b));
  EXPECT_EQ(b.WindowLength, kCutWindowMax);
  EXPECT_EQ(b.WindowCrc, Crc32(std::span(package).subspan(150000 - kCutWindowMax, kCutWindowMax)));
  b.CutPosition = 100;  // a small package: all of it
  ASSERT_TRUE(TakeCutWindow(f, b));
  EXPECT_EQ(b.WindowLength, 100u);
  b.CutPosition = 300000;  // past the end: cannot be read
  EXPECT_FALSE(TakeCutWindow(f, b));
}

}  // namespace
}  // namespace ferry
