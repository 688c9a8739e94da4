#include "formats/package/package_format.h"

#include <gtest/gtest.h>

#include "formats/pak/crc32.h"
#include "formats/pak/tarlo_encryption.h"
#include "base/byte_writer.h"
#include "base/setup_error.h"
#include "base/text.h"
#include "package_test_util.h"

namespace ferry {
namespace {

using test::PackageBuilder;

PackageTail Read(const std::vector<uint8_t>& bytes) {
  MemoryFile f(bytes);
  return ReadPackageTail(f);
}

TEST(PackageFormat, TailRoundTrip) {
  PackageBuilder b;
  b.Add("Data\\Units.txt", "units").Add("readme", "hello hello hello");
  PackageExtraInfo info{true, true, "Secret42"};
  auto pkg = b.Rkp3(info, 5, 6);
  PackageTail t = Read(pkg);
  ASSERT_EQ(t.Status, PackageReadStatus::kOk) << t.Problem;
  EXPECT_EQ(t.Trailer.Form, PackageTrailerForm::kRkp3);
  EXPECT_EQ(t.Trailer.BlockTag, "EIH2");
  EXPECT_EQ(t.Trailer.KeyParam1, 5);
  EXPECT_EQ(t.Trailer.KeyParam2, 6);
  EXPECT_EQ(t.Trailer.Info.Password, "Secret42");
  EXPECT_TRUE(t.Trailer.Info.HasPassword);
  EXPECT_TRUE(t.Trailer.Info.Official);
  EXPECT_EQ(t.CutPosition, b.bytes.size());
  EXPECT_EQ(t.Header.EntryCount, 2u);
  EXPECT_EQ(t.Header.DirSize, 2 * kPackageEntrySize);
  ASSERT_EQ(t.Entries.size(), 2u);
  EXPECT_EQ(t.Entries[0].Name, "Data\\Units.txt");
  EXPECT_EQ(t.Entries[1].DataOffset, b.entries[1].DataOffset);
  // The stored password is enciphered, not plain.
  std::string plain = "Secret42";
  EXPECT_EQ(std::search(pkg.begin(), pkg.end(), plain.begin(), plain.end()), pkg.end());
  // And the entry data unpack.
  std::vector<uint8_t> out;
  auto stored = std::vector<uint8_t>(pkg.begin() + t.Entries[1].DataOffset,
                                     pkg.begin() + t.Entries[1].DataOffset + t.Entries[1].StoredSize);
  ASSERT_TRUE(UnpackZlibEntry(stored, t.Entries[1].OrigSize, out));
  EXPECT_EQ(std::string(out.begin(), out.end()), "hello hello hello");
}

TEST(PackageFormat, RecordLayout) {
  PackageEntry e;
  e.Marker = kPackageEntryMarker;
  e.Kind = 2;
  e.Spare = 7;
  e.FileDate = 0x11223344;
  e.StoredSize = 5;
  e.OrigSize = 6;
  e.DataOffset = 0x01020304;
  e.RunTimeSlot = 9;
  e.Name = "ab";
  std::vector<uint8_t> rec;
  EncodePackageEntry(e, rec);
  ASSERT_EQ(rec.size(), kPackageEntrySize);
  EXPECT_EQ(rec[0], 0x0D);
  EXPECT_EQ(rec[1], 0x0A);
  EXPECT_EQ(rec[3], 7);
  EXPECT_EQ(rec[16], 0x04);
  EXPECT_EQ(rec[24], 2);
  EXPECT_EQ(rec[25], 'a');
  EXPECT_EQ(rec[27], 0);
  EXPECT_EQ(rec[151], 0);
  // A name of 200 characters is cut to 127.
  e.Name.assign(200, 'n');
  rec.clear();
  EncodePackageEntry(e, rec);
  EXPECT_EQ(rec.size(), kPackageEntrySize);
  EXPECT_EQ(DecodePackageEntry(rec).Name.size(), 127u);
  // A damaged length byte above 127 reads no further than 127 characters.
  rec[24] = 255;
  EXPECT_EQ(DecodePackageEntry(rec).Name.size(), 127u);
}

TEST(PackageFormat, Rkp2PasswordIsTheLeadingLettersAndDigits) {
  PackageBuilder b;
  b.Add("a", "x");
  PackageTail t = Read(b.Rkp2(std::string("abc\0\0\0\0\0\0", 9)));
  ASSERT_EQ(t.Status, PackageReadStatus::kOk) << t.Problem;
  EXPECT_EQ(t.Trailer.Form, PackageTrailerForm::kRkp2);
  EXPECT_EQ(t.Trailer.Length, 13u);
  EXPECT_EQ(t.Trailer.Info.Password, "abc");
  EXPECT_TRUE(t.Trailer.Info.HasPassword);
  EXPECT_EQ(t.Entries.size(), 1u);

  EXPECT_EQ(Read(b.Rkp2("Ab9-zzzzz")).Trailer.Info.Password, "Ab9");
  auto none = Read(b.Rkp2(std::string(9, '\0'))).Trailer.Info;
  EXPECT_FALSE(none.HasPassword);
}

TEST(PackageFormat, Eih1BlockHasNoOfficialFlag) {
  PackageBuilder b;
  b.Add("a", "x");
  TarloEncryptionType enc;
  enc.KeyParam1 = 4;
  enc.KeyParam2 = 2;
  PackageTail t = Read(b.Eih1(enc.Encrypt("pw"), 4, 2, 0x5C));
  ASSERT_EQ(t.Status, PackageReadStatus::kOk) << t.Problem;
  EXPECT_EQ(t.Trailer.BlockTag, "EIH1");
  EXPECT_EQ(t.Trailer.Info.Password, "pw");
  EXPECT_FALSE(t.Trailer.Info.Official);
  EXPECT_EQ(t.Trailer.Rkp3Tag[5], 0x5C);
  EXPECT_EQ(t.Trailer.Length, 6u + 4 + 2 + 2 + 2);
}

TEST(PackageFormat, NoTrailer) {
  PackageBuilder b;
  b.Add("a", "x");
  PackageTail t = Read(b.NoTrailer());
  ASSERT_EQ(t.Status, PackageReadStatus::kOk) << t.Problem;
  EXPECT_EQ(t.Trailer.Form, PackageTrailerForm::kNone);
  EXPECT_FALSE(t.Trailer.Info.HasPassword);
  EXPECT_EQ(t.Entries.size(), 1u);
}

TEST(PackageFormat, LongestPasswordIsFoundAgainAndLongerIsRefused) {
  PackageBuilder b;
  std::string p41(41, 'q');
  PackageTail t = Read(b.Rkp3({true, false, p41}));
  ASSERT_EQ(t.Status, PackageReadStatus::kOk);
  EXPECT_EQ(t.Trailer.Info.Password, p41);
  EXPECT_EQ(t.Trailer.Length, 56u);
  EXPECT_THROW(BuildPackageTail({}, {true, false, std::string(42, 'q')}, 0, 2, 2), SetupError);
}

TEST(PackageFormat, DamagedHeadersAreReportedNotRead) {
  PackageBuilder b;
  b.Add("a", "some text");
  auto good = b.NoTrailer();
  size_t h = good.size() - kPackageHeaderSize;

  auto v4 = good;
  v4[h + 8] = 4;
  EXPECT_EQ(Read(v4).Status, PackageReadStatus::kCorruptHeader);

  auto reserved = good;
  reserved[h + 16] = 1;
  EXPECT_EQ(Read(reserved).Status, PackageReadStatus::kCorruptHeader);

  auto count = good;  // entry count no longer matches the inflated size
  count[h + 12] = 2;
  EXPECT_EQ(Read(count).Status, PackageReadStatus::kCorruptHeader);

  auto comp = good;  // stream longer than the file before the header
  comp[h + 3] = 0x7F;
  EXPECT_EQ(Read(comp).Status, PackageReadStatus::kCorruptHeader);

  auto huge = good;  // four billion records claimed
  huge[h + 4] = 0x00;
  huge[h + 5] = 0x00;
  huge[h + 6] = 0x00;
  huge[h + 7] = 0x98;
  huge[h + 12] = 0x00;
  huge[h + 13] = 0x00;
  huge[h + 14] = 0x00;
  huge[h + 15] = 0x01;
  EXPECT_EQ(Read(huge).Status, PackageReadStatus::kCorruptHeader);

  auto garbage = good;  // the stream itself damaged
  uint32_t dcs = good[h] | good[h + 1] << 8;
  for (size_t i = h - dcs; i < h; ++i) garbage[i] ^= 0xA5;
  EXPECT_EQ(Read(garbage).Status, PackageReadStatus::kInflateError);

  EXPECT_EQ(Read({1, 2, 3}).Status, PackageReadStatus::kCorruptHeader);
  EXPECT_EQ(Read({}).Status, PackageReadStatus::kCorruptHeader);
}

TEST(PackageFormat, TagAtTheVeryEndIsNoTrailer) {
  PackageBuilder b;
  auto pkg = b.NoTrailer();
  pkg.insert(pkg.end(), {'R', 'K', 'P', '3', 1, 0});
  PackageTail t = Read(pkg);
  EXPECT_EQ(t.Trailer.Form, PackageTrailerForm::kNone);
  EXPECT_EQ(t.Trailer.Length, 0u);
  EXPECT_EQ(t.Status, PackageReadStatus::kCorruptHeader);  // the header is then read from the tag
}

TEST(PackageFormat, ScrambleHeadXorsTheCrcOfTheRest) {
  std::vector<uint8_t> s = {0x78, 0xDA, 1, 2, 3, 4, 5};
  auto orig = s;
  uint32_t crc = Crc32(std::span<const uint8_t>(s).subspan(4));
  ScrambleHead(s);
  EXPECT_EQ(s[0], static_cast<uint8_t>(0x78 ^ crc));
  EXPECT_EQ(s[3], static_cast<uint8_t>(2 ^ (crc >> 24)));
  EXPECT_EQ(s[4], 3);
  ScrambleHead(s);
  EXPECT_EQ(s, orig);
  std::vector<uint8_t> four = {1, 2, 3, 4};
  ScrambleHead(four);
  EXPECT_EQ(four, (std::vector<uint8_t>{1, 2, 3, 4}));
}

TEST(PackageFormat, InflateChecksTheExactLength) {
  std::vector<uint8_t> data(1000, 'z');
  auto z = PackageDeflate(data);
  std::vector<uint8_t> out;
  EXPECT_EQ(PackageInflate(z, 1000, out), InflateStatus::kOk);
  EXPECT_EQ(out, data);
  EXPECT_EQ(PackageInflate(z, 999, out), InflateStatus::kWrongLength);
  EXPECT_EQ(PackageInflate(z, 1001, out), InflateStatus::kWrongLength);
  EXPECT_EQ(PackageInflate(std::span<const uint8_t>(z).first(z.size() / 2), 1000, out), InflateStatus::kBadStream);
  EXPECT_EQ(z[0], 0x78);
  EXPECT_EQ(z[1], 0xDA);
}

TEST(PackageFormat, NamesLowerCaseLikeTheCodePage) {
  EXPECT_EQ(CodePageLower("Data\\UNITS.TXT"), "data\\units.txt");
  EXPECT_EQ(CodePageLower("\xC9T\xC9"), "\xE9t\xE9");
  EXPECT_EQ(CodePageLower("\xD7\x8A\x9F"), "\xD7\x9A\xFF");
}

TEST(PackageFormat, DosDates) {
  uint32_t d = DosDateTime(2026, 12, 7);
  EXPECT_EQ(d & 0xFFFF, 0u);
  EXPECT_EQ(d >> 16, static_cast<uint32_t>((46 << 9) | (12 << 5) | 7));
  EXPECT_EQ(FormatDosDateTime(DosDateTime(2001, 2, 3, 4, 5, 6)), "2001-02-03 04:05:06");
  EXPECT_EQ(DosToday() & 0xFFFF, 0u);
}

// The writer picks key parameters 2 to 6; their keys must have the digits of
// extended precision (reference values from 40-digit arithmetic, rounded to
// 15 significant digits).
TEST(PackageFormat, KeysOfTheWritersParameters) {
  const char* first[] = {"99297426825682", "14112859867", "7568249537928", "958924274663138", "279415498198926"};
  const char* second[] = {"416146836547142", "9899924966445", "65364362863612", "283662185463226",
                          "961728665366"};
  for (int p = 2; p <= 6; ++p) {
    EXPECT_EQ(TarloEncryptionType::FirstKey(static_cast<uint8_t>(p)), first[p - 2]) << "sin " << p;
    EXPECT_EQ(TarloEncryptionType::SecondKey(static_cast<uint8_t>(p)), second[p - 2]) << "cos " << p;
  }
}


// The password and key parameters an auditor found: the enciphered password
// holds "RKP3" itself, so a reader scanning back from the end stops there.
constexpr char kTagPassword[] = "C1Oc0FHG";

TEST(PackageTrailerReadBack, EncipheredPasswordHoldingTheTagIsNeverWritten) {
  TarloEncryptionType enc;
  enc.KeyParam1 = 5;
  enc.KeyParam2 = 2;
  ASSERT_EQ(enc.Encrypt(kTagPassword), "RKP3p]>O");

  PackageExtraInfo info{true, false, kTagPassword};
  // Written as it used to be, the package reads with another trailer and so
  // another header: corrupt on every later run.
  PackageBuilder b;
  b.Add("a.txt", "alpha");
  auto good = b.Rkp3(info, 3, 4);
  size_t trailer = PackageBuilder::TrailerLength(good);
  std::vector<uint8_t> bad(good.begin(), good.end() - static_cast<ptrdiff_t>(trailer));
  ByteWriter w;
  w.String("RKP3");
  w.U8(1);
  w.U8(0);
  w.String("EIH2");
  w.U8(5);
  w.U8(2);
  w.LenString(enc.Encrypt(kTagPassword));
  w.U8(0);
  bad.insert(bad.end(), w.Data().begin(), w.Data().end());
  EXPECT_EQ(Read(bad).Status, PackageReadStatus::kCorruptHeader);
  EXPECT_FALSE(PackageTailReadsBack(bad, info));
  EXPECT_TRUE(PackageTailReadsBack(good, info));

  // The writer refuses that pair outright...
  EXPECT_THROW(BuildPackageTail(b.entries, info, 0, 5, 2), SetupError);
  // ...and, drawing, takes the next pair the source gives.
  std::vector<uint8_t> draws = {5, 2, 3, 6};
  size_t next = 0;
  uint8_t k1 = 0, k2 = 0;
  auto tail = BuildPackageTail(b.entries, info, 0, [&] { return draws.at(next++); }, &k1, &k2);
  EXPECT_EQ(next, 4u);
  EXPECT_EQ(k1, 3);
  EXPECT_EQ(k2, 6);
  std::vector<uint8_t> pkg = b.bytes;
  pkg.insert(pkg.end(), tail.begin(), tail.end());
  PackageTail t = Read(pkg);
  ASSERT_EQ(t.Status, PackageReadStatus::kOk) << t.Problem;
  EXPECT_EQ(t.Trailer.Info.Password, kTagPassword);
  EXPECT_EQ(t.Trailer.KeyParam1, 3);
  EXPECT_EQ(t.Trailer.KeyParam2, 6);
  EXPECT_EQ(t.Entries.size(), 1u);
}

TEST(PackageTrailerReadBack, SourceThatOnlyGivesTheBadPairStillEnds) {
  PackageExtraInfo info{true, true, kTagPassword};
  EXPECT_TRUE(PackagePasswordStorable(info));
  size_t draws = 0;
  uint8_t k1 = 0, k2 = 0;
  auto tail = BuildPackageTail({}, info, 0, [&] { return static_cast<uint8_t>(++draws % 2 ? 5 : 2); }, &k1, &k2);
  EXPECT_EQ(draws, 2u * kKeyParamDraws);
  EXPECT_FALSE(k1 == 5 && k2 == 2);
  EXPECT_TRUE(PackageTailReadsBack(tail, info));
  PackageTail t = Read(tail);
  ASSERT_EQ(t.Status, PackageReadStatus::kOk) << t.Problem;
  EXPECT_TRUE(t.Trailer.Info.Official);
}

TEST(PackageTrailerReadBack, RkpTwoInsideThePasswordIsCaughtToo) {
  // Enciphered bytes that put "RKP2" 13 bytes from the end make the reader
  // take the short form: under every pair, the password enciphered to that.
  for (uint8_t k1 = kMinKeyParam; k1 <= kMaxKeyParam; ++k1)
    for (uint8_t k2 = kMinKeyParam; k2 <= kMaxKeyParam; ++k2) {
      TarloEncryptionType enc;
      enc.KeyParam1 = k1;
      enc.KeyParam2 = k2;
      // Enciphered "RKP2" + 8 more bytes: the official byte ends the trailer,
      // so "RKP2" must start 12 bytes before the last enciphered byte.
      std::string wanted = "RKP2xxxxxxxx";
      std::string password = enc.Decrypt(wanted);
      PackageExtraInfo info{true, false, password};
      EXPECT_THROW(BuildPackageTail({}, info, 0, k1, k2), SetupError) << int(k1) << " " << int(k2);
    }
}

}  // namespace
}  // namespace ferry
