// Entries read on several threads: what the caller sees is what one thread
// reading in directory order would see.
#include <gtest/gtest.h>

#include <chrono>
#include <stdexcept>
#include <thread>
#include <string>
#include <vector>

#include "formats/pak/inflate_pipeline.h"
#include "formats/pak/pak_reader.h"
#include "formats/pak/pak_writer.h"

namespace ferry {
namespace {

// Entry i: text-like bytes of a size that varies with i; entry `big` is
// 12 MiB, more than the workers may hold ahead.
std::vector<uint8_t> EntryData(size_t i, size_t big) {
  const size_t size = i == big ? 12u << 20 : 1 + (i * 7919) % 40000;
  std::vector<uint8_t> data(size);
  for (size_t k = 0; k < size; ++k) data[k] = static_cast<uint8_t>("entry data "[k % 11] + (k / 4096 + i) % 3);
  return data;
}

MemoryFile Archive(size_t count, size_t big, size_t fixedSize = 0) {
  MemoryFile file;
  PakWriter writer = PakWriter::Create(file);
  for (size_t i = 0; i < count; ++i) {
    writer.AddEntry("e" + std::to_string(i), "", 1);
    std::vector<uint8_t> data = EntryData(i, big);
    if (fixedSize != 0) data.resize(fixedSize, 'x');
    writer.StoreBuffer(i, data);
  }
  writer.WriteDirectory();
  return file;
}

// The stored bytes of entry i flipped in the middle.
void Damage(MemoryFile& file, size_t i) {
  PakReader pak(file);
  const PakFile& e = *pak.Entry(i);
  file.Data()[e.Offset + e.CompSize / 2] ^= 0x10;
}

TEST(PakParallel, VerificationReportsInOrderAndStopsAtTheFirstDamagedEntry) {
  for (unsigned threads : {1u, 2u, 4u}) {
    SCOPED_TRACE(threads);
    MemoryFile file = Archive(60, 5);
    PakReader sound(file);
    std::vector<size_t> seen;
    EXPECT_EQ(sound.VerifyEntries(threads, [&](size_t i) { seen.push_back(i); }), std::nullopt);
    ASSERT_EQ(seen.size(), 60u);
    for (size_t i = 0; i < seen.size(); ++i) EXPECT_EQ(seen[i], i);

    // The big entry's damage shows last, long after the other one's.
    Damage(file, 41);
    Damage(file, 5);
    PakReader damaged(file);
    seen.clear();
    EXPECT_EQ(damaged.VerifyEntries(threads, [&](size_t i) { seen.push_back(i); }), std::optional<size_t>(5));
    EXPECT_EQ(seen.size(), 5u);
    EXPECT_EQ(damaged.LastLoadError(), "checksum mismatch");
  }
}

TEST(PakParallel, PipelineHandsEachEntryAsALoadWould) {
  MemoryFile file = Archive(40, 9);
  Damage(file, 30);
  PakReader pak(file);
  std::vector<size_t> order;
  for (size_t i = 0; i < 40; ++i) order.push_back(i);
  InflatePipeline pipeline(file, pak.ArchiveEnd(), pak.Files(), order, 2);
  // Every third entry is passed by; entry 20's writer fails half way.
  for (size_t i = 0; i < 40; ++i) {
    SCOPED_TRACE(i);
    if (i % 3 == 2) continue;
    std::vector<uint8_t> taken;
    auto sink = [&](std::span<const uint8_t> bytes) {
      if (i == 20) throw std::runtime_error("disk full");
      taken.insert(taken.end(), bytes.begin(), bytes.end());
    };
    if (i == 20) {
      EXPECT_THROW(pipeline.Take(i, sink), std::runtime_error);
      continue;
    }
    EntryVerdict check = pipeline.Take(i, sink);
    std::optional<std::vector<uint8_t>> loaded = pak.LoadEntry(i);
    EXPECT_EQ(check.Sound, loaded.has_value());
    EXPECT_EQ(check.Error, pak.LastLoadError());
    if (loaded) EXPECT_EQ(taken, *loaded);
  }
  EXPECT_FALSE(pipeline.Take(3, {}).Sound);  // behind the writer: not in the pipeline
}

// A writer slower than the workers: each worker holds no more than its
// ring ahead, and the bytes come out whole through the rings' wrapping.
TEST(PakParallel, PipelineHoldsNoMoreThanARingAWorker) {
  struct Case {
    size_t Count, Big, FixedSize;
    unsigned Workers;
  };
  for (const Case& c : {Case{1500, SIZE_MAX, 3000, 1}, Case{300, 7, 0, 2}}) {
    SCOPED_TRACE(c.Count);
    MemoryFile file = Archive(c.Count, c.Big, c.FixedSize);
    PakReader pak(file);
    std::vector<size_t> order;
    for (size_t i = 0; i < c.Count; ++i) order.push_back(i);
    InflatePipeline pipeline(file, pak.ArchiveEnd(), pak.Files(), order, c.Workers);
    for (size_t i = 0; i < c.Count; ++i) {
      std::vector<uint8_t> taken;
      ASSERT_TRUE(pipeline
                      .Take(i,
                            [&](std::span<const uint8_t> bytes) {
                              if (i % 50 == 0) std::this_thread::sleep_for(std::chrono::milliseconds(2));
                              taken.insert(taken.end(), bytes.begin(), bytes.end());
                            })
                      .Sound);
      ASSERT_EQ(taken, *pak.LoadEntry(i)) << i;
    }
    EXPECT_GT(pipeline.PeakHeldBytes(), kPipelineRingBytes / 2);
    EXPECT_LE(pipeline.PeakHeldBytes(), kPipelineRingBytes * c.Workers);
  }
}

}  // namespace
}  // namespace ferry
