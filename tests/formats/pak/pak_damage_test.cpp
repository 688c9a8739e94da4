// Archives are untrusted: each case names the field that is wrong.
#include <gtest/gtest.h>
#include <zlib.h>
#include <zstd.h>

#include <functional>
#include <span>
#include <string>
#include <vector>

#include "formats/pak/crc32.h"
#include "formats/pak/pak_codec.h"
#include "formats/pak/pak_reader.h"
#include "formats/pak/pak_writer.h"
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

TEST(PakDamage, ChecksumMismatchGivesNoneWithoutALength) {
  auto stored = Zlib(kText);
  auto bytes = OneEntry(stored, static_cast<uint32_t>(kText.size()), static_cast<uint32_t>(stored.size()));
  bytes[4 + 5] ^= 0x40;  // one bit of the stored stream
  MemoryFile file(bytes);
  PakReader pak(file);
  EXPECT_FALSE(pak.LoadEntry(0).has_value());
  EXPECT_EQ(pak.LastLoadError(), "checksum mismatch");
  EXPECT_FALSE(pak.VerifyEntry(0));
  EXPECT_FALSE(pak.LastVerdict().WrongLength);
}

// The verdict names the length the stream really unpacked to, also past OrigSize.
TEST(PakDamage, WrongOrigSizeNamesTheRealLength) {
  auto stored = Zlib(kText);
  for (uint32_t claimed : {10u, static_cast<uint32_t>(kText.size() + 1), 0xFFFFFFFFu}) {
    MemoryFile file(OneEntry(stored, claimed, static_cast<uint32_t>(stored.size())));
    PakReader pak(file);
    EXPECT_FALSE(pak.LoadEntry(0).has_value()) << claimed;
    EXPECT_EQ(pak.LastVerdict().WrongLength, std::optional<uint64_t>(kText.size()));
    EXPECT_EQ(pak.LastLoadError(), "unpacked length differs from OrigSize");
  }
}

TEST(PakDamage, StreamThatDoesNotInflateIsAFailedLoad) {
  // Checksum right, zlib bytes wrong: header fine, deflate data garbage.
  std::vector<uint8_t> stored = {0x78, 0xDA, 0xFF, 0xFF, 0xFF, 0xFF, 0x00, 0x11, 0x22};
  MemoryFile file(OneEntry(stored, 100, static_cast<uint32_t>(stored.size())));
  PakReader pak(file);
  EXPECT_FALSE(pak.LoadEntry(0).has_value());
  EXPECT_NE(pak.LastLoadError().find("decompression error"), std::string::npos) << pak.LastLoadError();
  EXPECT_FALSE(pak.VerifyEntry(0));
  EXPECT_FALSE(pak.LastVerdict().WrongLength);
}

TEST(PakDamage, CutStreamIsAFailedLoad) {
  auto stored = Zlib(kText);
  stored.resize(stored.size() - 6);  // no Adler-32, part of the data gone
  MemoryFile file(OneEntry(stored, static_cast<uint32_t>(kText.size()), static_cast<uint32_t>(stored.size())));
  PakReader pak(file);
  EXPECT_FALSE(pak.LoadEntry(0).has_value());
  EXPECT_NE(pak.LastLoadError().find("decompression error"), std::string::npos) << pak.LastLoadError();
}

TEST(PakDamage, StoredBytesPastTheEnd) {
  std::vector<uint8_t> bytes = Bytes("host-and-some-data");
  AppendDirectory(bytes, {{"past", 0, 10, 0, 1000, 1},              // runs past the end
                          {"wrap", 0, 0xFFFFFFF0u, 0x20, 5, 1},     // offset + size overflows u32
                          {"far", 0, 0xFFFFFFFFu, 0, 0xFFFFFFFFu, 1}});
  MemoryFile file(bytes);
  PakReader pak(file);
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
  PakReader pak(file);
  EXPECT_TRUE(pak.HasMagic());
  EXPECT_FALSE(pak.IsValid());
  EXPECT_EQ(pak.EntryCount(), 0u);
}

TEST(PakDamage, DirectoryClaimingMoreEntriesThanFit) {
  std::vector<uint8_t> bytes = Bytes("host");
  AppendDirectory(bytes, {{"a", 0, 0, 0, 0, 0}}, 0, 0xFFFF);
  MemoryFile file(bytes);
  PakReader pak(file);
  EXPECT_FALSE(pak.IsValid());
  EXPECT_EQ(pak.EntryCount(), 0u);
  // Enough room for the fixed part of two entries, but the second name runs
  // into the trailer.
  bytes = Bytes("host");
  AppendDirectory(bytes, {{"a", 0, 0, 0, 0, 0}, {std::string(30, 'n'), 0, 0, 0, 0, 0}}, 0, 2);
  bytes.erase(bytes.end() - 16 - 25, bytes.end() - 16);
  MemoryFile cut(bytes);
  PakReader pak2(cut);
  EXPECT_FALSE(pak2.IsValid());
  EXPECT_EQ(pak2.EntryCount(), 0u);
}

TEST(PakDamage, TruncatedFilesHaveNoTrailer) {
  MemoryFile written;
  {
    PakWriter w = PakWriter::Create(written);
    w.StoreBuffer(w.AddEntry("a", "", 0), Bytes(kText));
    w.WriteDirectory();
  }
  for (size_t keep = 0; keep < written.Data().size(); ++keep) {
    MemoryFile file(std::vector<uint8_t>(written.Data().begin(), written.Data().begin() + keep));
    PakReader pak(file);
    EXPECT_EQ(pak.EntryCount(), 0u) << keep;
  }
}

// Both codecs: the same damage gives the same verdict, in the same order.
std::vector<uint8_t> Text(size_t size) {
  std::vector<uint8_t> data;
  for (size_t i = 0; data.size() < size; ++i) {
    std::string line = "line " + std::to_string(i * 7919 % 1000) + ": " + kText + "\n";
    data.insert(data.end(), line.begin(), line.end());
  }
  data.resize(size);
  return data;
}

struct Codec {
  const char* name;
  std::function<std::vector<uint8_t>(std::span<const uint8_t>)> pack;
};

const Codec kCodecs[] = {
    {"zlib", [](std::span<const uint8_t> d) { return Zlib(std::string(d.begin(), d.end())); }},
    {"zstd", [](std::span<const uint8_t> d) { return *ZstdPack(d, 3); }},
};

TEST(PakDamage, EveryCodecReportsDamageAlike) {
  const std::vector<uint8_t> data = Text(5000);
  const uint32_t size = static_cast<uint32_t>(data.size());
  for (const Codec& c : kCodecs) {
    SCOPED_TRACE(c.name);
    const std::vector<uint8_t> stored = c.pack(data);
    EXPECT_EQ(CodecOf(stored), std::string(c.name) == "zstd" ? PakCodec::kZstd : PakCodec::kZlib);
    std::vector<uint8_t> cut(stored.begin(), stored.end() - 3);
    struct Case {
      const char* what;
      std::vector<uint8_t> file;
      std::string error;  // its start
      bool wrongLength;
      bool zstdPassesStartup;  // its CRC and header are sound: extraction finds it
    } cases[] = {
        {"sound", OneEntry(stored, size, static_cast<uint32_t>(stored.size())), "", false, true},
        {"flipped", OneEntry(stored, size, static_cast<uint32_t>(stored.size())), "checksum mismatch", false, false},
        {"cut", OneEntry(cut, size, static_cast<uint32_t>(cut.size())), "decompression error in data.txt", false,
         true},
        {"origsize", OneEntry(stored, size + 1, static_cast<uint32_t>(stored.size())),
         "unpacked length differs from OrigSize", true, false},
    };
    cases[1].file[4 + stored.size() / 2] ^= 0x08;
    for (Case& k : cases) {
      SCOPED_TRACE(k.what);
      MemoryFile file(k.file);
      PakReader pak(file);
      auto loaded = pak.LoadEntry(0);
      EXPECT_EQ(loaded.has_value(), k.error.empty());
      if (loaded) EXPECT_EQ(*loaded, data);
      EXPECT_EQ(pak.LastLoadError().substr(0, k.error.size()), k.error);
      EXPECT_EQ(pak.VerifyEntry(0), k.error.empty());
      EXPECT_EQ(pak.LastLoadError().substr(0, k.error.size()), k.error);
      EXPECT_EQ(pak.LastVerdict().WrongLength.has_value(), k.wrongLength);
      // Start-up unpacks zlib entries only.
      const bool passes = c.name == std::string("zstd") ? k.zstdPassesStartup : k.error.empty();
      EXPECT_EQ(pak.VerifyEntries(1, {}).has_value(), !passes);
      if (!passes) {
        EXPECT_EQ(pak.LastLoadError().substr(0, k.error.size()), k.error);
        EXPECT_EQ(pak.LastVerdict().WrongLength.has_value(), k.wrongLength);
      }
    }
  }
}

// A frame that would make the decoder take more than the window the writer
// keeps to is damage, not an allocation the archive may ask for.
TEST(PakDamage, ZstdFramesWithAWiderWindowAreRefused) {
  std::vector<uint8_t> data(9u << 20);
  uint32_t x = 1;
  for (uint8_t& b : data) b = static_cast<uint8_t>((x = x * 1103515245u + 12345u) >> 24);
  ZSTD_CCtx* cctx = ZSTD_createCCtx();
  ZSTD_CCtx_setParameter(cctx, ZSTD_c_compressionLevel, 1);
  ZSTD_CCtx_setParameter(cctx, ZSTD_c_windowLog, kZstdWindowLogMax + 1);
  std::vector<uint8_t> stored(ZSTD_compressBound(data.size()));
  stored.resize(ZSTD_compress2(cctx, stored.data(), stored.size(), data.data(), data.size()));
  ZSTD_freeCCtx(cctx);
  MemoryFile file(OneEntry(stored, static_cast<uint32_t>(data.size()), static_cast<uint32_t>(stored.size())));
  PakReader pak(file);
  EXPECT_FALSE(pak.VerifyEntry(0));
  EXPECT_EQ(pak.LastLoadError().rfind("decompression error in data.txt: ", 0), 0u) << pak.LastLoadError();
  EXPECT_EQ(pak.VerifyEntries(1, {}), 0u);  // from its header alone
  EXPECT_EQ(pak.LastLoadError().rfind("decompression error in data.txt: ", 0), 0u) << pak.LastLoadError();
  // Packed by the writer, the same data stays within the window.
  std::vector<uint8_t> packed = *ZstdPack(data, 1);
  MemoryFile sound(OneEntry(packed, static_cast<uint32_t>(data.size()), static_cast<uint32_t>(packed.size())));
  PakReader ok(sound);
  EXPECT_TRUE(ok.VerifyEntry(0)) << ok.LastLoadError();
}

// Only a frame that records its size is checked from its header: another
// is unpacked at start-up as before.
TEST(PakDamage, ZstdFramesWithoutTheirSizeAreUnpackedAtStartUp) {
  const std::vector<uint8_t> data = Text(5000);
  ZSTD_CCtx* cctx = ZSTD_createCCtx();
  ZSTD_CCtx_setParameter(cctx, ZSTD_c_contentSizeFlag, 0);
  std::vector<uint8_t> stored(ZSTD_compressBound(data.size()));
  stored.resize(ZSTD_compress2(cctx, stored.data(), stored.size(), data.data(), data.size()));
  ZSTD_freeCCtx(cctx);
  stored.resize(stored.size() - 3);
  MemoryFile file(OneEntry(stored, static_cast<uint32_t>(data.size()), static_cast<uint32_t>(stored.size())));
  PakReader pak(file);
  EXPECT_EQ(pak.VerifyEntries(1, {}), 0u);
  EXPECT_EQ(pak.LastLoadError().rfind("decompression error in data.txt", 0), 0u) << pak.LastLoadError();
}

}  // namespace
}  // namespace ferry
