#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "base/random_access_file.h"
#include "formats/pak/delta_codec.h"
#include "formats/pak/pak_reader.h"
#include "formats/pak/pak_writer.h"

namespace ferry {
namespace {

std::vector<uint8_t> RandomBytes(size_t n, uint32_t seed) {
  std::mt19937 gen(seed);
  std::vector<uint8_t> v(n);
  for (auto& b : v) b = static_cast<uint8_t>(gen());
  return v;
}

// A base the system will not map (a share, a removable drive): read instead.
class UnmappedFile : public MemoryFile {
 public:
  using MemoryFile::MemoryFile;
  std::unique_ptr<FileView> View(uint64_t, size_t) override { return nullptr; }
};

constexpr uint64_t C = kDeltaChunkSize, S = kDeltaReferenceSlack, M = kDeltaMaxReference;

// Each chunk makes at most C bytes and refers to at most M bytes of the base,
// around its own place; one chunk while the result fits in one.
TEST(DeltaChunks, CutAtTheChunkSize) {
  struct Case {
    uint64_t base, result;
    std::vector<DeltaChunk> chunks;  // FrameLength 0
  };
  const Case cases[] = {
      {100, 1, {{0, 100, 1, 0}}},
      {M, C, {{0, static_cast<uint32_t>(M), static_cast<uint32_t>(C), 0}}},
      {M + 1, C, {{0, static_cast<uint32_t>(M), static_cast<uint32_t>(C), 0}}},
      {M, C + 1, {{0, static_cast<uint32_t>(M), static_cast<uint32_t>(C), 0}, {0, static_cast<uint32_t>(M), 1, 0}}},
      {3 * C, 2 * C + 5,
       {{0, static_cast<uint32_t>(M), static_cast<uint32_t>(C), 0},
        {C - S, static_cast<uint32_t>(M), static_cast<uint32_t>(C), 0},
        {3 * C - M, static_cast<uint32_t>(M), 5, 0}}},
      {0, 10, {{0, 0, 10, 0}}},
  };
  for (const Case& c : cases) {
    std::vector<DeltaChunk> got = PlanDeltaChunks(c.base, c.result);
    ASSERT_EQ(got.size(), c.chunks.size()) << c.base << " " << c.result;
    for (size_t i = 0; i < got.size(); ++i) {
      EXPECT_EQ(got[i].BaseOffset, c.chunks[i].BaseOffset) << c.base << " " << c.result << " chunk " << i;
      EXPECT_EQ(got[i].BaseLength, c.chunks[i].BaseLength) << c.base << " " << c.result << " chunk " << i;
      EXPECT_EQ(got[i].ResultLength, c.chunks[i].ResultLength) << c.base << " " << c.result << " chunk " << i;
    }
  }
}

// A result one byte past a chunk, with an insertion before the boundary:
// two frames, stored in an archive, verified as stored and applied back.
TEST(DeltaEntry, RoundTripAcrossTheChunkBoundary) {
  std::vector<uint8_t> base = RandomBytes(C, 1);
  std::vector<uint8_t> result = RandomBytes(4096, 2);
  result.insert(result.end(), base.begin(), base.end() - 4095);
  result[C / 2] ^= 0xFF;
  ASSERT_EQ(result.size(), C + 1);
  std::optional<std::vector<uint8_t>> delta = MakeDelta(base, result, 1);
  ASSERT_TRUE(delta);
  EXPECT_LT(delta->size(), 64u << 10);

  MemoryFile archive;
  PakWriter w = PakWriter::Create(archive);
  w.AddEntry("big.bin", "", 1);
  std::vector<uint8_t> stored = w.PackDelta(0, std::move(*delta), result.size());
  w.StorePacked(0, stored);
  w.WriteDirectory();
  PakReader pak(archive);
  ASSERT_EQ(pak.EntryCount(), 1u);
  EXPECT_EQ(pak.Files()[0].Kind, kEntryDelta);
  EXPECT_TRUE(pak.VerifyEntry(0)) << pak.LastLoadError();
  EXPECT_FALSE(pak.StreamEntry(0, {}));  // only against its base

  std::optional<DeltaHeader> header = ReadDeltaHeader(archive, pak.ArchiveEnd(), pak.Files()[0], nullptr);
  ASSERT_TRUE(header);
  EXPECT_EQ(header->Chunks.size(), 2u);
  MemoryFile mapped(base);
  UnmappedFile unmapped(base);
  for (RandomAccessFile* baseFile : {static_cast<RandomAccessFile*>(&mapped), static_cast<RandomAccessFile*>(&unmapped)}) {
    EXPECT_TRUE(BaseMatches(*baseFile, *header));
    std::vector<uint8_t> made;
    EntryVerdict v = DeltaApplier().Apply(archive, pak.ArchiveEnd(), pak.Files()[0], *baseFile,
                                          [&](std::span<const uint8_t> b) { made.insert(made.end(), b.begin(), b.end()); });
    EXPECT_TRUE(v.Sound) << v.Error;
    EXPECT_TRUE(made == result);
  }
  // Shortened after the check: a failure naming why, from either road.
  mapped.Truncate(C / 2);
  unmapped.Truncate(C / 2);
  for (RandomAccessFile* baseFile : {static_cast<RandomAccessFile*>(&mapped), static_cast<RandomAccessFile*>(&unmapped)}) {
    EntryVerdict v = DeltaApplier().Apply(archive, pak.ArchiveEnd(), pak.Files()[0], *baseFile, {});
    EXPECT_FALSE(v.Sound);
    EXPECT_NE(v.Error.find("could not be read whole"), std::string::npos) << v.Error;
  }

  // Another base: not the one recorded, and the result's hash says so.
  base[100] ^= 1;
  MemoryFile otherBase(base);
  EXPECT_FALSE(BaseMatches(otherBase, *header));
  EXPECT_FALSE(DeltaApplier().Apply(archive, pak.ArchiveEnd(), pak.Files()[0], otherBase, {}).Sound);
}

// Headers that do not add up are damage, each with its reason.
TEST(DeltaHeader, RefusesWhatDoesNotAddUp) {
  DeltaHeader h;
  h.BaseSize = 1000;
  h.ResultSize = 500;
  h.Chunks = {{0, 1000, 500, 40}};
  const std::vector<uint8_t> sound = WriteDeltaHeader(h);
  const uint64_t stored = sound.size() + 40;
  std::string why;
  ASSERT_TRUE(ParseDeltaHeader(sound, stored, 500, &why)) << why;
  struct Case {
    const char* what;
    std::vector<uint8_t> bytes;
    uint64_t stored, result;
  };
  auto with = [&](size_t at, uint8_t value) {
    std::vector<uint8_t> b = sound;
    b[at] = value;
    return b;
  };
  const Case cases[] = {
      {"cut short", std::vector<uint8_t>(sound.begin(), sound.end() - 1), stored, 500},
      {"no magic", with(0, 'X'), stored, 500},
      {"flags it does not know (found by fuzz_delta_header)", with(6, 0x10), stored, 500},
      {"another size than the entry's", sound, stored, 501},
      {"frames past the stored size", sound, stored + 1, 500},
      {"no chunks", with(88, 0), stored, 500},
      {"base part past the base", with(92, 1), stored, 500},  // BaseOffset 1 + 1000 > 1000
  };
  for (const Case& c : cases) EXPECT_FALSE(ParseDeltaHeader(c.bytes, c.stored, c.result, nullptr)) << c.what;
}

}  // namespace
}  // namespace ferry
