// Archives are untrusted: each case names the field that is wrong.
#include <gtest/gtest.h>
#include <zlib.h>

#include <string>
#include <vector>

#include "formats/pak/crc32.h"
#include "formats/pak/pak_file.h"
#include "base/dialogs.h"
#include "base/text.h"
#include "formats/pak/pak_test_util.h"

namespace ferry {
namespace {

using test::AppendDirectory;
using test::Bytes;
using test::RawEntry;

std::vector<uint8_t> Zlib(const std::string& text) {
  uLongf len = compressBound(static_cast<uLong>(text.size()));
  std::vector<uint8_t> out(len);
  compress2(out.data(), &len, reinterpret_cast<const Bytef*>(text.data()), static_cast<uLong>(text.size()), 9);
  out.resize(len);
  return out;
}

// One compressed entry "data.txt" at offset 4 after a 4-byte host.
std::vector<uint8_t> OneEntry(const std::vector<uint8_t>& stored, uint32_t origSize, uint32_t compSize) {
  std::vector<uint8_t> file = Bytes("host");
  file.insert(file.end(), stored.begin(), stored.end());
  AppendDirectory(file, {{"data.txt", Crc32(stored), 4, compSize, origSize, 1}}, 4);
  return file;
}

const std::string kText = "the quick brown fox jumps over the lazy dog, again and again and again";

TEST(PakDamage, ChecksumMismatchGivesNoneWithoutMessage) {
  auto stored = Zlib(kText);
  auto bytes = OneEntry(stored, static_cast<uint32_t>(kText.size()), static_cast<uint32_t>(stored.size()));
  bytes[4 + 5] ^= 0x40;  // one bit of the stored stream
  MemoryFile file(bytes);
  RecordingDialogs dialogs;
  TPak pak(file, PakMode::kReader, &dialogs);
  EXPECT_FALSE(pak.LoadEntry(0).has_value());
  EXPECT_EQ(pak.LastLoadError(), "checksum mismatch");
  EXPECT_FALSE(pak.VerifyEntry(0));
  EXPECT_TRUE(dialogs.shown().empty());
}

TEST(PakDamage, WrongOrigSizeShowsTheDecompSizeBox) {
  auto stored = Zlib(kText);
  for (uint32_t claimed : {10u, static_cast<uint32_t>(kText.size() + 1), 0xFFFFFFFFu}) {
    MemoryFile file(OneEntry(stored, claimed, static_cast<uint32_t>(stored.size())));
    RecordingDialogs dialogs;
    TPak pak(file, PakMode::kReader, &dialogs);
    EXPECT_FALSE(pak.LoadEntry(0).has_value()) << claimed;
    ASSERT_EQ(dialogs.shown().size(), 1u);
    EXPECT_EQ(Utf16ToUtf8(dialogs.shown()[0].text),
              "data.txt\r\rError: DecompSize - " + std::to_string(kText.size()) + " OrigSize - " +
                  std::to_string(claimed));
    EXPECT_EQ(Utf16ToUtf8(dialogs.shown()[0].caption), "Error");
    EXPECT_EQ(dialogs.shown()[0].buttons, DialogButtons::kOk);
    // Without a Dialogs there is no box, and still no data.
    TPak quiet(file, PakMode::kReader);
    EXPECT_FALSE(quiet.LoadEntry(0).has_value());
  }
}

TEST(PakDamage, StreamThatDoesNotInflateIsAFailedLoad) {
  // Checksum right, zlib bytes wrong: header fine, deflate data garbage.
  std::vector<uint8_t> stored = {0x78, 0xDA, 0xFF, 0xFF, 0xFF, 0xFF, 0x00, 0x11, 0x22};
  MemoryFile file(OneEntry(stored, 100, static_cast<uint32_t>(stored.size())));
  RecordingDialogs dialogs;
  TPak pak(file, PakMode::kReader, &dialogs);
  EXPECT_FALSE(pak.LoadEntry(0).has_value());
  EXPECT_NE(pak.LastLoadError().find("decompression error"), std::string::npos) << pak.LastLoadError();
  EXPECT_FALSE(pak.VerifyEntry(0));
  EXPECT_TRUE(dialogs.shown().empty());
}

TEST(PakDamage, CutStreamIsAFailedLoad) {
  auto stored = Zlib(kText);
  stored.resize(stored.size() - 6);  // no Adler-32, part of the data gone
  MemoryFile file(OneEntry(stored, static_cast<uint32_t>(kText.size()), static_cast<uint32_t>(stored.size())));
  TPak pak(file, PakMode::kReader);
  EXPECT_FALSE(pak.LoadEntry(0).has_value());
  EXPECT_NE(pak.LastLoadError().find("decompression error"), std::string::npos) << pak.LastLoadError();
}

TEST(PakDamage, StoredBytesPastTheEnd) {
  std::vector<uint8_t> bytes = Bytes("host-and-some-data");
  AppendDirectory(bytes, {{"past", 0, 10, 0, 1000, 1},              // runs past the end
                          {"wrap", 0, 0xFFFFFFF0u, 0x20, 5, 1},     // offset + size overflows u32
                          {"far", 0, 0xFFFFFFFFu, 0, 0xFFFFFFFFu, 1}});
  MemoryFile file(bytes);
  TPak pak(file, PakMode::kReader);
  ASSERT_EQ(pak.EntryCount(), 3u);
  for (size_t i = 0; i < 3; ++i) {
    EXPECT_FALSE(pak.LoadEntry(i).has_value()) << i;
    EXPECT_EQ(pak.LastLoadError(), "stored bytes past the end of the file") << i;
  }
}

TEST(PakDamage, DirectoryOffsetPastTheEnd) {
  std::vector<uint8_t> bytes = Bytes("host");
  AppendDirectory(bytes, {{"a", 0, 0, 0, 0, 0}});
  bytes[bytes.size() - 4] = 0xF0;  // DirectoryOffset low byte
  bytes[bytes.size() - 1] = 0x7F;  // ... and high byte
  MemoryFile file(bytes);
  TPak pak(file, PakMode::kReader);
  EXPECT_TRUE(pak.HasMagic());
  EXPECT_FALSE(pak.IsValid());
  EXPECT_EQ(pak.EntryCount(), 0u);
}

TEST(PakDamage, DirectoryClaimingMoreEntriesThanFit) {
  std::vector<uint8_t> bytes = Bytes("host");
  AppendDirectory(bytes, {{"a", 0, 0, 0, 0, 0}}, 0, 0xFFFF);
  MemoryFile file(bytes);
  TPak pak(file, PakMode::kReader);
  EXPECT_FALSE(pak.IsValid());
  EXPECT_EQ(pak.EntryCount(), 0u);
  // Enough room for the fixed part of two entries, but the second name runs
  // into the trailer.
  bytes = Bytes("host");
  AppendDirectory(bytes, {{"a", 0, 0, 0, 0, 0}, {std::string(30, 'n'), 0, 0, 0, 0, 0}}, 0, 2);
  bytes.erase(bytes.end() - 16 - 25, bytes.end() - 16);
  MemoryFile cut(bytes);
  TPak pak2(cut, PakMode::kReader);
  EXPECT_FALSE(pak2.IsValid());
  EXPECT_EQ(pak2.EntryCount(), 0u);
}

TEST(PakDamage, TruncatedFilesHaveNoTrailer) {
  MemoryFile written;
  {
    TPak w(written, PakMode::kNewWriter);
    w.StoreBuffer(w.AddEntry("a", "", 0), Bytes(kText));
    w.WriteDirectory();
  }
  for (size_t keep = 0; keep < written.Data().size(); ++keep) {
    MemoryFile file(std::vector<uint8_t>(written.Data().begin(), written.Data().begin() + keep));
    TPak pak(file, PakMode::kReader);
    EXPECT_EQ(pak.EntryCount(), 0u) << keep;
  }
}

}  // namespace
}  // namespace ferry
