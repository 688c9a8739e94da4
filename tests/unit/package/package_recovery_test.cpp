// An update that fails or is killed at any write leaves a package that opens
// with either its old directory or its new one.
#include <gtest/gtest.h>

#include <map>

#include "archive/pak_system.h"
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

  PakSystemHost Host() {
    PakSystemHost h;
    h.Files = &fs;
    h.RandomKeyParam = [] { return uint8_t{4}; };
    h.FatalExit = [this](const std::string& t) { fatal = t; };
    return h;
  }

  // Opens the package as the next run would and reads every entry.
  Contents OpenAndRead() {
    TPakSystem sys(Host());
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
    TPakSystem sys(Host());
    sys.UpdatePackage(setup, 1, kDir, kPkg, "pw");
    EXPECT_EQ(sys.Stats().Written, 3u);
    EXPECT_EQ(sys.Stats().Unchanged, 1u);
    return fs.Ops();
  }

  MemoryPackageFileSystem fs;
  FakeSetupSource setup;
  std::vector<uint8_t> original;
  Contents old_contents, new_contents;
  std::string fatal;
};

TEST_F(RecoveryTest, CleanUpdateGivesTheNewDirectory) {
  size_t ops = CleanRunOps();
  // Side file, cut, three entries, new tail, side file removed.
  EXPECT_EQ(ops, 8u);
  EXPECT_EQ(OpenAndRead(), new_contents);
}

TEST_F(RecoveryTest, AnErrorAtAnyWriteLeavesThePackageExactlyAsItWas) {
  size_t ops = CleanRunOps();
  for (size_t k = 0; k < ops; ++k) {
    SCOPED_TRACE("failing operation " + std::to_string(k));
    fs.Put(kPath, original);
    fs.FailAt(k, Mode::kError);
    fatal.clear();
    TPakSystem sys(Host());
    EXPECT_THROW(sys.UpdatePackage(setup, 1, kDir, kPkg, "pw"), PackageFatalError);
    EXPECT_NE(fatal.find("The package was left as it was"), std::string::npos) << fatal;
    EXPECT_EQ(fs.Get(kPath), original);
    EXPECT_FALSE(fs.Has(TailBackupPath(kPath)));
    fs.NoFaults();
    EXPECT_EQ(OpenAndRead(), old_contents);
  }
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
        TPakSystem sys(Host());
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
    TPakSystem sys(Host());
    EXPECT_THROW(sys.UpdatePackage(setup, 1, kDir, kPkg, "pw"), SetupError);
  }
  fs.Reboot(false);
  ASSERT_TRUE(fs.Has(TailBackupPath(kPath)));
  MemoryFile cut(fs.Get(kPath));
  EXPECT_NE(ReadPackageTail(cut).Status, PackageReadStatus::kOk);

  TPakSystem sys(Host());
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
  TPakSystem sys(Host());
  sys.OpenPackage(kPath);
  EXPECT_EQ(sys.Stats().Recovery, TailRecovery::kDiscarded);
  sys.Close();
  EXPECT_EQ(fs.Get(kPath), original);
  EXPECT_FALSE(fs.Has(TailBackupPath(kPath)));
}

TEST(TailBackup, EncodingChecksEverything) {
  PackageTailBackup b{1000, 900, std::vector<uint8_t>(100, 7)};
  auto bytes = EncodeTailBackup(b);
  PackageTailBackup out;
  ASSERT_TRUE(DecodeTailBackup(bytes, out));
  EXPECT_EQ(out.OldLength, 1000u);
  EXPECT_EQ(out.CutPosition, 900u);
  EXPECT_EQ(out.Tail, b.Tail);
  for (size_t i = 0; i < bytes.size(); ++i) {
    auto bad = bytes;
    bad[i] ^= 1;
    EXPECT_FALSE(DecodeTailBackup(bad, out)) << "byte " << i;
  }
  PackageTailBackup lie{1000, 800, std::vector<uint8_t>(100, 7)};  // lengths do not add up
  EXPECT_FALSE(DecodeTailBackup(EncodeTailBackup(lie), out));
}

}  // namespace
}  // namespace ferry
