#include "formats/package/package_updater.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <set>

#include "formats/pak/digit_key.h"
#include "formats/pak/tarlo_encryption.h"
#include "formats/package/package_commands.h"
#include "formats/sound/sound_entry.h"
#include "base/dialogs.h"
#include "package_fakes.h"
#include "package_test_util.h"
#include "wav_builder.h"

namespace ferry {
namespace {

using test::FakeSetupSource;
using test::MemoryPackageFileSystem;
using test::PackageBuilder;
using test::RecordingProgress;

constexpr char kDir[] = "C:\\Game";
constexpr char kPkg[] = "data.rkp";
constexpr char kPath[] = "C:\\Game\\data.rkp";
const uint32_t kDay1 = DosDateTime(2026, 1, 2);
const uint32_t kDay2 = DosDateTime(2026, 3, 4);

// Dialogs whose answers can change the world (unlock a file on Retry).
class ScriptedDialogs : public Dialogs {
 public:
  std::function<DialogAnswer(std::string_view)> answer = [](std::string_view) { return DialogAnswer::kCancel; };
  std::vector<std::string> texts;
  DialogAnswer Show(std::string_view text, std::string_view caption, DialogButtons buttons,
                    DialogIcon icon) override {
    texts.emplace_back(text);
    return answer(text);
  }
  DialogAnswer ShowUnicode(std::u16string_view, std::u16string_view, DialogButtons, DialogIcon) override {
    ADD_FAILURE() << "no 16-bit boxes expected";
    return DialogAnswer::kCancel;
  }
};

class PakSystemTest : public ::testing::Test {
 protected:
  PackageUpdaterHost Host() {
    PackageUpdaterHost h;
    h.Files = &fs;
    h.Progress = &progress;
    h.RetryOpen = [this](const std::string&, const std::string& why) {
      return dialogs.Show(why, "Error", DialogButtons::kRetryCancel, DialogIcon::kWarning) == DialogAnswer::kRetry;
    };
    h.RandomKeyParam = [this] { return static_cast<uint8_t>(2 + (next_key++ % 5)); };
    h.Today = [this] { return today; };
    return h;
  }
  PackageTail Tail() {
    MemoryFile f(fs.Get(kPath));
    return ReadPackageTail(f);
  }
  std::string Unpack(const PackageEntry& e) {
    auto bytes = fs.Get(kPath);
    std::vector<uint8_t> stored(bytes.begin() + e.DataOffset, bytes.begin() + e.DataOffset + e.StoredSize);
    std::vector<uint8_t> out;
    EXPECT_TRUE(UnpackZlibEntry(stored, e.OrigSize, out)) << e.Name;
    return std::string(out.begin(), out.end());
  }
  void Update(const std::string& password = "") {
    PackageUpdater sys(Host());
    try {
      sys.UpdatePackage(setup, 1, kDir, kPkg, password);
    } catch (const SetupError& e) {
      fatal.push_back(e.what());
      throw;
    }
    stats = sys.Stats();
  }

  MemoryPackageFileSystem fs;
  ScriptedDialogs dialogs;
  RecordingProgress progress;
  FakeSetupSource setup;
  std::vector<std::string> fatal;  // texts of the errors Update() saw
  int next_key = 0;
  uint32_t today = kDay1;
  PackageUpdateStats stats;
};

TEST_F(PakSystemTest, UpdateAddsTheGroupsEntries) {
  fs.Put(kPath, PackageBuilder().Add("old.txt", "old").Rkp3());
  setup.Add("Units\\a.txt", "alpha alpha alpha");
  setup.Add("b.bin", std::vector<uint8_t>{});  // an empty file
  setup.Add("other.txt", "not in the group", 2);
  Update("pw");
  EXPECT_EQ(stats.Written, 2u);
  PackageTail t = Tail();
  ASSERT_EQ(t.Status, PackageReadStatus::kOk) << t.Problem;
  ASSERT_EQ(t.Entries.size(), 3u);
  EXPECT_EQ(t.Entries[0].Name, "old.txt");
  const auto& a = t.Entries[1];
  EXPECT_EQ(a.Name, "Units\\a.txt");
  EXPECT_EQ(a.Marker, kPackageEntryMarker);
  EXPECT_EQ(a.Kind, kZlibEntryKind);
  EXPECT_EQ(a.FileDate, kDay1);
  EXPECT_EQ(a.OrigSize, 17u);
  EXPECT_EQ(Unpack(a), "alpha alpha alpha");
  EXPECT_EQ(Unpack(t.Entries[2]), "");
  EXPECT_EQ(Unpack(t.Entries[0]), "old");
  EXPECT_EQ(t.Trailer.BlockTag, "EIH2");
  EXPECT_EQ(t.Trailer.Info.Password, "pw");
  EXPECT_EQ(t.Trailer.KeyParam1, 2);
  EXPECT_EQ(t.Trailer.KeyParam2, 3);
  EXPECT_FALSE(fs.Has(TailBackupPath(kPath)));
  EXPECT_TRUE(fatal.empty());
  // The new data start where the old directory began.
  EXPECT_EQ(a.DataOffset, PackageBuilder().Add("old.txt", "old").bytes.size());
}

class TrailerForms : public PakSystemTest, public ::testing::WithParamInterface<int> {};

TEST_P(TrailerForms, EveryFormOpensAndLeavesRkp3Eih2) {
  PackageBuilder b;
  b.Add("keep.txt", "kept");
  TarloEncryptionType enc;
  enc.KeyParam1 = 6;
  enc.KeyParam2 = 5;
  switch (GetParam()) {
    case 0: fs.Put(kPath, b.NoTrailer()); break;
    case 1: fs.Put(kPath, b.Rkp2(std::string("abc\0\0\0\0\0\0", 9))); break;
    case 2: fs.Put(kPath, b.Eih1(enc.Encrypt("abc"), 6, 5, 0x33)); break;
  }
  setup.Add("new.txt", "new");
  Update(GetParam() == 0 ? "" : "abc");
  ASSERT_TRUE(fatal.empty()) << fatal[0];
  PackageTail t = Tail();
  ASSERT_EQ(t.Status, PackageReadStatus::kOk);
  EXPECT_EQ(t.Trailer.Form, PackageTrailerForm::kRkp3);
  EXPECT_EQ(t.Trailer.BlockTag, "EIH2");
  EXPECT_EQ(t.Trailer.Rkp3Tag[5], GetParam() == 2 ? 0x33 : 0);  // the reserved byte as it was read
  EXPECT_EQ(t.Trailer.Info.Password, GetParam() == 0 ? "" : "abc");
  ASSERT_EQ(t.Entries.size(), 2u);
  EXPECT_EQ(Unpack(t.Entries[0]), "kept");
  EXPECT_EQ(Unpack(t.Entries[1]), "new");
}

INSTANTIATE_TEST_SUITE_P(Forms, TrailerForms, ::testing::Values(0, 1, 2));

TEST_F(PakSystemTest, WrongPasswordEndsWithThePasswordErrorAndAnUntouchedFile) {
  auto pkg = PackageBuilder().Add("a", "x").Rkp3({true, false, "Right"});
  fs.Put(kPath, pkg);
  setup.Add("b", "y");
  EXPECT_THROW(Update("right"), SetupError);  // letter case counts
  ASSERT_EQ(fatal.size(), 1u);
  EXPECT_EQ(fatal[0], "Error Incorrect Password\rFile: data.rkp");
  EXPECT_EQ(fs.Get(kPath), pkg);
  EXPECT_FALSE(fs.Has(TailBackupPath(kPath)));
  EXPECT_EQ(fs.Ops(), 0u);
  EXPECT_EQ(setup.loads, 0u);
}

TEST_F(PakSystemTest, PackageWithoutPasswordTakesTheCommands) {
  fs.Put(kPath, PackageBuilder().Rkp3());
  Update("NewOne");
  EXPECT_EQ(Tail().Trailer.Info.Password, "NewOne");
  Update("NewOne");
  EXPECT_TRUE(fatal.empty());
  EXPECT_THROW(Update("Other"), SetupError);
}

// A password the trailer cannot hold would make the package unreadable.
TEST_F(PakSystemTest, OverlongPasswordIsRefusedBeforeAnythingIsWritten) {
  auto pkg = PackageBuilder().Add("a", "x").Rkp3();
  fs.Put(kPath, pkg);
  setup.Add("b", "y");
  EXPECT_THROW(Update(std::string(42, 'p')), SetupError);
  EXPECT_EQ(fs.Get(kPath), pkg);
  EXPECT_EQ(fs.Ops(), 0u);
  Update(std::string(41, 'p'));
  EXPECT_EQ(Tail().Trailer.Info.Password, std::string(41, 'p'));
}

TEST_F(PakSystemTest, CorruptedHeaderIsFatalAndLeavesTheFile) {
  auto pkg = PackageBuilder().Add("a", "x").NoTrailer();
  pkg[pkg.size() - kPackageHeaderSize + 8] = 4;
  fs.Put(kPath, pkg);
  setup.Add("b", "y");
  EXPECT_THROW(Update(), SetupError);
  ASSERT_EQ(fatal.size(), 1u);
  EXPECT_EQ(fatal[0], "File C:\\Game\\data.rkp has corrupted header.");
  EXPECT_EQ(fs.Get(kPath), pkg);
}

TEST_F(PakSystemTest, UndecodableDirectoryRaisesTheDecompressionError) {
  auto pkg = PackageBuilder().Add("a", "x").NoTrailer();
  pkg[PackageBuilder().Add("a", "x").bytes.size()] ^= 0xFF;  // first byte of the directory stream
  fs.Put(kPath, pkg);
  EXPECT_THROW(Update(), SetupError);
  ASSERT_EQ(fatal.size(), 1u);
  EXPECT_NE(fatal[0].find("Decompression error"), std::string::npos) << fatal[0];
  EXPECT_EQ(fs.Get(kPath), pkg);
}

TEST_F(PakSystemTest, ADamagedEntryIsRefusedBeforeAnythingIsWritten) {
  const std::string text(3000, 'm');
  const struct {
    const char* what;
    std::function<void(PackageBuilder&)> damage;
    const char* problem;
  } cases[] = {
      {"a stored byte changed", [](PackageBuilder& b) { b.bytes[b.entries[1].DataOffset + 6] ^= 0x10; },
       "entry maps\\b.map its zlib stream is damaged"},
      // The head is scrambled with the CRC of the rest: a cut shows as damage.
      {"cut short", [](PackageBuilder& b) { b.entries[1].StoredSize -= 3; },
       "entry maps\\b.map its zlib stream is damaged"},
      {"another size", [](PackageBuilder& b) { b.entries[1].OrigSize += 1; },
       "entry maps\\b.map inflates to 3000 bytes, not 3001"},
      {"past the entry data", [](PackageBuilder& b) { b.entries[1].DataOffset += 40; },
       "entry maps\\b.map its stored bytes run past the entry data"},
      {"an unknown kind", [](PackageBuilder& b) { b.entries[1].Kind = 7; }, "entry maps\\b.map is of an unknown kind 7"},
      {"a sound entry without its header", [](PackageBuilder& b) { b.entries[1].Kind = kSoundEntryKind; },
       "entry maps\\b.map is shorter than a sound entry's header"},
      {"a sound entry cut short",
       [](PackageBuilder& b) {
         auto wav = test::MakeWav({}, test::Samples16(test::Sine(5000, 1, 300, 22050, 9000)));
         std::vector<uint8_t> sound = BuildSoundEntry("a.wav", wav).Bytes;
         sound.resize(sound.size() - 10);
         b.entries[1].Kind = kSoundEntryKind;
         b.entries[1].DataOffset = static_cast<uint32_t>(b.bytes.size());
         b.entries[1].StoredSize = static_cast<uint32_t>(sound.size());
         b.bytes.insert(b.bytes.end(), sound.begin(), sound.end());
       },
       "entry maps\\b.map holds 2520 bytes of sound, its header says 2530"},
  };
  for (const auto& c : cases) {
    PackageBuilder b;
    b.Add("a.txt", "alpha").Add("maps\\b.map", text).Add("c.txt", "gamma");
    c.damage(b);
    const auto pkg = b.Rkp3();
    fs.Put(kPath, pkg);
    fatal.clear();
    setup = FakeSetupSource();
    setup.Add("a.txt", "new alpha");
    EXPECT_THROW(Update(), SetupError) << c.what;
    ASSERT_EQ(fatal.size(), 1u) << c.what;
    EXPECT_EQ(fatal[0].rfind(std::string("The package archive C:\\Game\\data.rkp is damaged (") + c.problem, 0), 0u)
        << c.what << ": " << fatal[0];
    EXPECT_EQ(fs.Get(kPath), pkg) << c.what;
    EXPECT_FALSE(fs.Has(TailBackupPath(kPath))) << c.what;
  }
}

TEST_F(PakSystemTest, APackageIsCheckedOnceARun) {
  std::set<std::string> checked;
  auto update = [&] {
    PackageUpdaterHost host = Host();
    host.Checked = &checked;
    PackageUpdater(host).UpdatePackage(setup, 1, kDir, kPkg, "");
  };
  fs.Put(kPath, PackageBuilder().Add("a.txt", "alpha").Rkp3());
  setup.Add("b.txt", "beta");
  update();
  EXPECT_EQ(checked, std::set<std::string>{"c:\\game\\data.rkp"});
  // Damage after the run's first check goes unseen: the run's own writes
  // are not read back again.
  PackageBuilder damaged;
  damaged.Add("a.txt", std::string(3000, 'm'));
  damaged.bytes[damaged.entries[0].DataOffset + 6] ^= 0x10;
  fs.Put(kPath, damaged.Rkp3());
  EXPECT_NO_THROW(update());
  checked.clear();
  EXPECT_THROW(update(), SetupError);
}

TEST_F(PakSystemTest, SecondIdenticalUpdateWritesNoData) {
  fs.Put(kPath, PackageBuilder().Rkp3());
  setup.Add("a.txt", "aaaa");
  setup.Add("sub\\b.txt", "bbbbbbbb");
  setup.Add("c.wav", test::MakeWav({}, test::Samples16(test::Sine(3000, 1, 200, 22050, 9000))));
  Update();
  auto first = Tail();
  size_t writes = fs.Writes();
  today = kDay2;
  Update();
  EXPECT_EQ(stats.Written, 0u);
  EXPECT_EQ(stats.Unchanged, 3u);
  EXPECT_EQ(stats.BytesWritten, 0u);
  auto second = Tail();
  EXPECT_EQ(second.FileSize, first.FileSize);
  ASSERT_EQ(second.Entries.size(), 3u);
  for (size_t i = 0; i < 3; ++i) {
    EXPECT_EQ(second.Entries[i].FileDate, kDay1);
    EXPECT_EQ(second.Entries[i].DataOffset, first.Entries[i].DataOffset);
  }
  // Only the side file and the new tail were written.
  EXPECT_EQ(fs.Writes() - writes, 2u);
}

TEST_F(PakSystemTest, ChangedContentOfTheSameSizesIsAppendedAndMovesToTheEnd) {
  fs.Put(kPath, PackageBuilder().Add("First.txt", "a").Add("second.txt", "zz").Rkp3());
  auto before = Tail();
  setup.Add("FIRST.TXT", "b");  // same stored and unpacked length, other CRC
  today = kDay2;
  Update();
  auto t = Tail();
  ASSERT_EQ(t.Entries.size(), 2u);
  EXPECT_EQ(t.Entries[0].Name, "second.txt");
  EXPECT_EQ(t.Entries[1].Name, "First.txt");  // keeps its letter case
  EXPECT_EQ(t.Entries[1].FileDate, kDay2);
  EXPECT_EQ(t.Entries[1].StoredSize, before.Entries[0].StoredSize);
  EXPECT_EQ(t.Entries[1].DataOffset, before.CutPosition);
  EXPECT_EQ(Unpack(t.Entries[1]), "b");
}

TEST_F(PakSystemTest, ProgressTextsAndGaugeSteps) {
  fs.Put(kPath, PackageBuilder().Rkp3());
  for (int i = 0; i < 3; ++i) setup.Add("f" + std::to_string(i), "data");
  Update();
  std::vector<std::string> want = {
      "19 <%RKPNAME%>=data.rkp <%FNUM%>=0 <%FTOTAL%>=3", "19 <%RKPNAME%>=data.rkp <%FNUM%>=0 <%FTOTAL%>=3",
      "19 <%RKPNAME%>=data.rkp <%FNUM%>=1 <%FTOTAL%>=3", "19 <%RKPNAME%>=data.rkp <%FNUM%>=2 <%FTOTAL%>=3",
      "20 <%RKPNAME%>=data.rkp"};
  EXPECT_EQ(progress.status, want);
  EXPECT_EQ(progress.steps, (std::vector<bool>{false, true, true}));  // 0 %, 33 %, 66 %

  progress.steps.clear();
  for (int i = 3; i < 250; ++i) setup.Add("f" + std::to_string(i), "data");
  Update();
  ASSERT_EQ(progress.steps.size(), 250u);
  size_t shown = std::count(progress.steps.begin(), progress.steps.end(), true);
  EXPECT_EQ(shown, 99u);  // every whole percentage from 1 to 99, once
  EXPECT_FALSE(progress.steps[2]);  // 2 * 100 / 250 = 0
  EXPECT_TRUE(progress.steps[3]);   // 300 / 250 = 1
}

TEST_F(PakSystemTest, RejectedSoundFileIsSkippedAndTheOldEntryKept) {
  fs.Put(kPath, PackageBuilder().Add("snd\\a.wav", "old entry").Rkp3());
  setup.Add("snd\\a.wav", "RIFF but not really a wave file, long enough to pass 44 bytes.");
  setup.Add("snd\\b.WAV", test::MakeWav({}, test::Samples16(test::Sine(5000, 1, 300, 22050, 9000))));
  Update();
  EXPECT_EQ(stats.Skipped, 1u);
  auto t = Tail();
  ASSERT_EQ(t.Entries.size(), 2u);
  EXPECT_EQ(Unpack(t.Entries[0]), "old entry");
  EXPECT_EQ(t.Entries[1].Kind, kSoundEntryKind);
  EXPECT_EQ(t.Entries[1].StoredSize, 2588u);
  EXPECT_EQ(t.Entries[1].OrigSize, 10044u);
}

TEST_F(PakSystemTest, EntryThatCannotBeReadLeavesThePackageAsItWas) {
  auto pkg = PackageBuilder().Add("a", "x").Rkp3();
  fs.Put(kPath, pkg);
  setup.Add("b", "written first");
  setup.Add("c", "cannot be read");
  setup.entries[1].readable = false;
  EXPECT_THROW(Update(), SetupError);
  ASSERT_EQ(fatal.size(), 1u);
  EXPECT_NE(fatal[0].find("Cannot read c"), std::string::npos) << fatal[0];
  EXPECT_EQ(fs.Get(kPath), pkg);
  EXPECT_FALSE(fs.Has(TailBackupPath(kPath)));
}

TEST_F(PakSystemTest, FullDiskLeavesThePackageAsItWasAndSaysSo) {
  auto pkg = PackageBuilder().Add("a", "x").Rkp3();
  fs.Put(kPath, pkg);
  std::string big(20000, '\0');
  uint32_t x = 2463534242u;  // xorshift: data that do not compress
  for (char& c : big) {
    x ^= x << 13;
    x ^= x >> 17;
    x ^= x << 5;
    c = static_cast<char>(x);
  }
  setup.Add("big", big);
  fs.SetQuota(pkg.size() * 2 + 1000);
  EXPECT_THROW(Update(), SetupError);
  ASSERT_EQ(fatal.size(), 1u);
  EXPECT_NE(fatal[0].find("The package was left as it was"), std::string::npos) << fatal[0];
  EXPECT_EQ(fs.Get(kPath), pkg);
  EXPECT_FALSE(fs.Has(TailBackupPath(kPath)));
}

TEST_F(PakSystemTest, SetOfficialFlagTexts) {
  fs.Put(kPath, PackageBuilder().Add("a", "x").Rkp3({true, false, "pw"}));
  PackageUpdater sys(Host());
  sys.SetOfficial(kDir, kPkg, "KESTREL", "TRUE");
  EXPECT_TRUE(Tail().Trailer.Info.Official);
  EXPECT_EQ(Tail().Trailer.Info.Password, "pw");
  sys.SetOfficial(kDir, kPkg, std::string(kPackageAccessCode), "yes");
  EXPECT_FALSE(Tail().Trailer.Info.Official);
  sys.SetOfficial(kDir, kPkg, std::string(kPackageAccessCode), "1");
  EXPECT_TRUE(Tail().Trailer.Info.Official);
  EXPECT_TRUE(IsOfficialFlag("t") && IsOfficialFlag("True") && !IsOfficialFlag("2") && !IsOfficialFlag(""));

  auto before = fs.Get(kPath);
  fs.FailAt(0, MemoryPackageFileSystem::FaultMode::kNone);
  sys.SetOfficial(kDir, kPkg, "sparrow", "0");
  EXPECT_EQ(fs.Get(kPath), before);
  EXPECT_EQ(fs.Ops(), 0u);
  sys.SetOfficial(kDir, "missing.rkp", "wrong", "1");  // not even opened: no box
  EXPECT_TRUE(dialogs.texts.empty());
}

TEST_F(PakSystemTest, DuplicateEntrySharesTheData) {
  fs.Put(kPath, PackageBuilder().Add("Maps\\One.map", "map data").Add("other", "zz").Rkp3());
  PackageUpdater sys(Host());
  sys.DuplicateEntry(kDir, kPkg, "maps\\one.MAP", "Maps\\Copy.MAP");
  auto t = Tail();
  ASSERT_EQ(t.Entries.size(), 3u);
  EXPECT_EQ(t.Entries[2].Name, "maps\\copy.map");
  EXPECT_EQ(t.Entries[2].DataOffset, t.Entries[0].DataOffset);
  EXPECT_EQ(t.Entries[2].FileDate, t.Entries[0].FileDate);
  EXPECT_EQ(t.Entries[2].Marker, kPackageEntryMarker);
  EXPECT_EQ(Unpack(t.Entries[2]), "map data");

  // An existing, different entry keeps its data.
  sys.DuplicateEntry(kDir, kPkg, "other", "maps\\copy.map");
  t = Tail();
  ASSERT_EQ(t.Entries.size(), 3u);
  EXPECT_EQ(Unpack(t.Entries[2]), "map data");

  // A missing source leaves the package untouched.
  auto before = fs.Get(kPath);
  fs.FailAt(0, MemoryPackageFileSystem::FaultMode::kNone);
  sys.DuplicateEntry(kDir, kPkg, "nope", "x");
  EXPECT_EQ(fs.Get(kPath), before);
  EXPECT_EQ(fs.Ops(), 0u);
}

TEST_F(PakSystemTest, ReadOnlyPackageIsMadeWritable) {
  fs.Put(kPath, PackageBuilder().Rkp3());
  fs.NodeAt(kPath).read_only = true;
  setup.Add("a", "x");
  Update();
  EXPECT_FALSE(fs.NodeAt(kPath).read_only);
  EXPECT_EQ(Tail().Entries.size(), 1u);
  EXPECT_TRUE(dialogs.texts.empty());
}

TEST_F(PakSystemTest, LockedPackageAsksRetryOrCancel) {
  fs.Put(kPath, PackageBuilder().Rkp3());
  fs.NodeAt(kPath).locked = true;
  setup.Add("a", "x");
  dialogs.answer = [this](std::string_view) {
    fs.NodeAt(kPath).locked = false;  // the user closed the other program
    return DialogAnswer::kRetry;
  };
  Update();
  ASSERT_EQ(dialogs.texts.size(), 1u);
  EXPECT_EQ(dialogs.texts[0],
            "Unable to modify file:\"C:\\Game\\data.rkp\", file may be in use or drive is write protected...");
  EXPECT_EQ(Tail().Entries.size(), 1u);
}

TEST_F(PakSystemTest, APackageNotTriedAgainIsAnErrorInTheBoxsWordsAndStaysUntouched) {
  dialogs.answer = [](std::string_view) { return DialogAnswer::kCancel; };
  EXPECT_THROW(Update(), SetupError);
  ASSERT_EQ(dialogs.texts.size(), 1u);
  EXPECT_EQ(dialogs.texts[0], "File not found: \"C:\\Game\\data.rkp\".");
  EXPECT_EQ(fatal.back(), dialogs.texts[0]);

  fs.Put(kPath, PackageBuilder().Rkp3());
  fs.NodeAt(kPath).read_only = true;
  fs.NodeAt(kPath).read_only_sticks = true;
  EXPECT_THROW(Update(), SetupError);
  EXPECT_EQ(dialogs.texts.back(), "Unable to modify \"C:\\Game\\data.rkp\" attributes");

  const auto bytes = PackageBuilder().Add("a", "x").Rkp3();
  fs.Put(kPath, bytes);
  fs.NodeAt(kPath).locked = true;
  PackageUpdater sys(Host());
  EXPECT_THROW(sys.DuplicateEntry(kDir, kPkg, "a", "b"), SetupError);
  EXPECT_EQ(fs.Get(kPath), bytes);
}

TEST_F(PakSystemTest, KeyParametersAreFreshForEverySave) {
  fs.Put(kPath, PackageBuilder().Rkp3({true, false, "pw"}));
  PackageUpdaterHost h = Host();
  h.RandomKeyParam = nullptr;  // the real random source
  PackageUpdater sys(h);
  std::set<std::pair<int, int>> seen;
  for (int i = 0; i < 60; ++i) {
    sys.SetOfficial(kDir, kPkg, "kestrel", "t");
    auto t = Tail().Trailer;
    ASSERT_GE(t.KeyParam1, 2);
    ASSERT_LE(t.KeyParam1, 6);
    ASSERT_GE(t.KeyParam2, 2);
    ASSERT_LE(t.KeyParam2, 6);
    ASSERT_EQ(t.Info.Password, "pw");
    seen.insert({t.KeyParam1, t.KeyParam2});
  }
  EXPECT_GT(seen.size(), 5u);
}

TEST_F(PakSystemTest, SaveDrawsKeyParametersAgainWhenTheTrailerWouldMisread) {
  fs.Put(kPath, PackageBuilder().Add("a.txt", "x").Rkp3({true, false, "C1Oc0FHG"}));
  std::vector<uint8_t> draws = {5, 2, 4, 4};
  size_t next = 0;
  PackageUpdaterHost h = Host();
  h.RandomKeyParam = [&] { return draws.at(next++); };
  PackageUpdater sys(h);
  sys.SetOfficial(kDir, kPkg, "kestrel", "1");
  EXPECT_EQ(next, 4u);
  EXPECT_EQ(sys.Stats().KeyParam1, 4);
  PackageTail t = Tail();
  ASSERT_EQ(t.Status, PackageReadStatus::kOk) << t.Problem;
  EXPECT_EQ(t.Trailer.Info.Password, "C1Oc0FHG");
  EXPECT_TRUE(t.Trailer.Info.Official);
  EXPECT_EQ(t.Trailer.KeyParam1, 4);
  EXPECT_EQ(t.Trailer.KeyParam2, 4);
  EXPECT_EQ(t.Entries.size(), 1u);
}

TEST_F(PakSystemTest, CompiledLineParameters) {
  fs.Put(kPath, PackageBuilder().Rkp3());
  setup.Add("g3.txt", "three", 3);
  PackageUpdater sys(Host());
  // "rkpupdate": source folder, enciphered password, package file, group.
  std::vector<std::string> update = {"C:\\src", DigitKeyEncode(kCommandParamKey, "Secret"), kPkg, "3"};
  RunRkpUpdateCommand(sys, setup, kDir, update);
  auto t = Tail();
  EXPECT_EQ(t.Trailer.Info.Password, "Secret");
  ASSERT_EQ(t.Entries.size(), 1u);
  EXPECT_EQ(t.Entries[0].Name, "g3.txt");

  // "rkpofficial": package file, enciphered access code, flag.
  std::vector<std::string> official = {kPkg, DigitKeyEncode(kCommandParamKey, "Kestrel"), "true"};
  RunRkpOfficialCommand(sys, kDir, official);
  EXPECT_TRUE(Tail().Trailer.Info.Official);
  official[1] = "kestrel";  // not enciphered: the wrong code
  official[2] = "0";
  RunRkpOfficialCommand(sys, kDir, official);
  EXPECT_TRUE(Tail().Trailer.Info.Official);

  std::vector<std::string> dup = {kPkg, "G3.TXT", "copy.txt"};
  RunDuplicateEntryCommand(sys, kDir, dup);
  EXPECT_EQ(Tail().Entries.size(), 2u);

  std::vector<std::string> bad_group = {"src", "", kPkg, "three"};
  EXPECT_THROW(RunRkpUpdateCommand(sys, setup, kDir, bad_group), SetupError);
  EXPECT_THROW(RunDuplicateEntryCommand(sys, kDir, std::vector<std::string>{kPkg}), SetupError);
}

}  // namespace
}  // namespace ferry
