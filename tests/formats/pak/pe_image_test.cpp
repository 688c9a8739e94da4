// Setups signed after they were compiled: the archive ends where the
// certificate table starts (less the signer's padding), and nothing else may
// follow it.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "formats/pak/crc32.h"
#include "formats/pak/pak_reader.h"
#include "formats/pak/pe_image.h"
#include "formats/pak/pak_test_util.h"
#include "formats/pak/pe_test_util.h"

namespace ferry {
namespace {

using test::AppendCertificates;
using test::AppendDirectory;
using test::Bytes;
using test::PeImage;
using test::SetSecurityEntry;

const std::vector<uint8_t> kPayload = Bytes("signed payload");

void AppendArchive(std::vector<uint8_t>& file) {
  const uint32_t at = static_cast<uint32_t>(file.size());
  file.insert(file.end(), kPayload.begin(), kPayload.end());
  AppendDirectory(file, {{"readme.txt", Crc32(kPayload), at, 0, static_cast<uint32_t>(kPayload.size()), 1}}, at);
}

// A compiled setup whose archive ends `pad` bytes before a multiple of 8.
std::vector<uint8_t> Setup(bool plus, size_t pad = 0) {
  for (size_t body = 100;; ++body) {
    std::vector<uint8_t> file = PeImage(plus, body);
    AppendArchive(file);
    if ((file.size() + pad) % 8 == 0) return file;
  }
}

std::vector<uint8_t> Signed(bool plus, size_t pad, const std::vector<uint32_t>& lengths = {1500}) {
  std::vector<uint8_t> file = Setup(plus, pad);
  AppendCertificates(file, plus, pad, lengths);
  return file;
}

struct Case {
  std::string name;
  std::vector<uint8_t> file;
  std::optional<uint64_t> dataEnd;  // PeAppendedDataEnd
  uint64_t archiveEnd;              // where the reader finds the trailer's end; 0: no archive
};

std::vector<Case> Cases() {
  std::vector<Case> cases;
  auto add = [&](std::string name, std::vector<uint8_t> file, std::optional<uint64_t> end, uint64_t archiveEnd) {
    cases.push_back({std::move(name), std::move(file), end, archiveEnd});
  };
  std::vector<uint8_t> plain = Bytes("host");
  AppendArchive(plain);
  add("no program, a plain archive", plain, plain.size(), plain.size());
  for (bool plus : {false, true}) {
    const std::string kind = plus ? "PE32+ " : "PE32 ";
    add(kind + "without table", Setup(plus), Setup(plus).size(), Setup(plus).size());
    for (size_t pad = 0; pad < 8; ++pad) {
      const uint64_t end = Setup(plus, pad).size();
      add(kind + "signed, padding " + std::to_string(pad), Signed(plus, pad), end + pad, end);
    }
  }
  const uint64_t table = Setup(false).size();  // where the table of the cases below starts
  add("two certificates", Signed(false, 0, {1000, 77}), table, table);

  std::vector<uint8_t> eightZeros = Setup(false);
  AppendCertificates(eightZeros, false, 8, {1500});
  add("eight bytes of padding", eightZeros, table + 8, 0);

  std::vector<uint8_t> garbage = Setup(false, 3);
  garbage.push_back('x');
  AppendCertificates(garbage, false, 2, {1500});
  add("garbage between archive and table", garbage, garbage.size() - 1504, 0);

  std::vector<uint8_t> after = Signed(false, 0);
  after.insert(after.end(), 8, 0);
  add("bytes after the table", after, std::nullopt, 0);

  std::vector<uint8_t> short_ = Signed(false, 0);
  SetSecurityEntry(short_, false, static_cast<uint32_t>(table), 1496);
  add("table not at the end", short_, std::nullopt, 0);

  std::vector<uint8_t> past = Setup(false);
  SetSecurityEntry(past, false, static_cast<uint32_t>(past.size() + 8), 1504);
  add("address past the end", past, std::nullopt, 0);

  std::vector<uint8_t> empty = Setup(false);
  SetSecurityEntry(empty, false, static_cast<uint32_t>(empty.size()), 0);
  add("empty table at the end", empty, std::nullopt, 0);

  std::vector<uint8_t> inHeaders = Setup(false);
  SetSecurityEntry(inHeaders, false, 0, static_cast<uint32_t>(inHeaders.size()));
  add("table over the headers", inHeaders, std::nullopt, 0);

  std::vector<uint8_t> unaligned = Setup(false, 4);
  AppendCertificates(unaligned, false, 0, {1500});
  add("table off a multiple of 8", unaligned, std::nullopt, 0);

  add("dwLength below its header", Signed(false, 0, {4}), std::nullopt, 0);
  std::vector<uint8_t> longer = Signed(false, 0);
  test::PutLe(longer, table, 1505, 4);
  add("dwLength past the table", longer, std::nullopt, 0);

  std::vector<uint8_t> uncovered = Signed(false, 0);
  uncovered.insert(uncovered.end(), 8, 0);
  SetSecurityEntry(uncovered, false, static_cast<uint32_t>(table), 1512);
  add("entries leave the table's end uncovered", uncovered, std::nullopt, 0);
  return cases;
}

TEST(PeImage, ArchiveEndsAtTheCertificateTableOrNowhere) {
  for (const Case& c : Cases()) {
    MemoryFile file(c.file);
    EXPECT_EQ(PeAppendedDataEnd(file), c.dataEnd) << c.name;
    PakReader pak(file);
    EXPECT_EQ(pak.IsValid(), c.archiveEnd != 0) << c.name;
    EXPECT_EQ(pak.ArchiveEnd(), c.archiveEnd) << c.name;
    if (c.archiveEnd == 0) {
      EXPECT_EQ(pak.EntryCount(), 0u) << c.name;
      continue;
    }
    auto data = pak.LoadEntry(0);
    ASSERT_TRUE(data.has_value()) << c.name << ": " << pak.LastLoadError();
    EXPECT_EQ(*data, kPayload) << c.name;
  }
}

// Stored bytes that reach into the certificate table are not the archive's
// (the range is checked before the checksum).
TEST(PeImage, EntryReachingIntoTheTableDoesNotLoad) {
  std::vector<uint8_t> file = PeImage(false, 100);
  const uint32_t at = static_cast<uint32_t>(file.size());
  file.insert(file.end(), kPayload.begin(), kPayload.end());
  const uint32_t tooLong = static_cast<uint32_t>(kPayload.size()) + 200;  // the directory, trailer and table
  AppendDirectory(file, {{"readme.txt", 0, at, 0, tooLong, 1}}, at);
  const size_t pad = (8 - file.size() % 8) % 8;
  AppendCertificates(file, false, pad, {1500});
  MemoryFile disk(file);
  PakReader pak(disk);
  ASSERT_EQ(pak.EntryCount(), 1u);
  EXPECT_FALSE(pak.LoadEntry(0).has_value());
  EXPECT_EQ(pak.LastLoadError(), "stored bytes past the end of the file");
}

TEST(PeImage, ClearingTheSecurityEntryLeavesAnUnsignedProgram) {
  for (bool plus : {false, true}) {
    std::vector<uint8_t> before = Signed(plus, 3);
    MemoryFile image(before);
    ASSERT_TRUE(PeClearSecurityEntry(image)) << plus;
    std::vector<uint8_t> expected = before;
    SetSecurityEntry(expected, plus, 0, 0);
    test::PutLe(expected, test::kPeCheckSumAt, 0, 4);
    EXPECT_EQ(image.Data(), expected) << plus;
    // The table's bytes stay, and are now just bytes after the archive.
    EXPECT_EQ(PeAppendedDataEnd(image), before.size()) << plus;
  }
  for (std::vector<uint8_t> notPe : {Bytes("MZ plain bytes"), Bytes(""), PeImage(false, 0)}) {
    if (notPe.size() > 0x98) notPe[0x98] = 0x07;  // an optional header of no known kind
    MemoryFile file(notPe);
    EXPECT_FALSE(PeClearSecurityEntry(file));
    EXPECT_EQ(file.Data(), notPe);
  }
}

// The values osslsigncode calculates for these images ("Calculated PE
// checksum"); the last one spans several read chunks.
TEST(PeImage, CheckSumIsTheOneCheckingToolsCalculate) {
  struct {
    bool plus;
    size_t body;
    uint32_t expected;
  } cases[] = {{true, 204, 0x3F16}, {false, 100, 0xA3F4}, {true, 3'000'000, 0x2E6B70}};
  for (const auto& c : cases) {
    MemoryFile image(PeImage(c.plus, c.body));
    ASSERT_TRUE(PeWriteCheckSum(image)) << c.body;
    std::vector<uint8_t> expected = PeImage(c.plus, c.body);
    test::PutLe(expected, test::kPeCheckSumAt, c.expected, 4);
    EXPECT_EQ(image.Data(), expected) << c.body;
  }
  MemoryFile plain(Bytes("no program"));
  EXPECT_FALSE(PeWriteCheckSum(plain));
}

}  // namespace
}  // namespace ferry
