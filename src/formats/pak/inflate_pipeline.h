// Entries of a group unpacked ahead on worker threads and taken, in the
// order given, by one writing thread: the writer sees each entry's bytes and
// verdict exactly as a read of its own would give them, while the next
// entries are being unpacked. What is held ahead is bounded (a few MiB per
// worker), whatever the entries' sizes.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "formats/pak/entry_reader.h"

namespace ferry {

// Bytes unpacked ahead of the writer, per worker; the entry the writer is
// taking may hold kPipelineHeadBytes more, so a worker is never stuck behind
// it.
inline constexpr size_t kPipelineAheadBytes = 1u << 20;
inline constexpr size_t kPipelineHeadBytes = 512u << 10;
// Entries unpacked ahead at most (small files each cost a slot).
inline constexpr size_t kPipelineAheadEntries = 512;

class InflatePipeline {
 public:
  // `order`: indexes into `entries`, each of OrigSize 1 to below
  // kLargeEntryThreshold (those StepFor in group_extractor.h sends to
  // kUnpack), in the order the writer will take them. `file`
  // must allow concurrent ReadAt and outlive the pipeline.
  InflatePipeline(RandomAccessFile& file, uint64_t archiveEnd, const std::vector<PakFile>& entries,
                  std::vector<size_t> order, unsigned workers);
  // Stops the workers (entries not taken are dropped) and joins them.
  ~InflatePipeline();
  InflatePipeline(const InflatePipeline&) = delete;
  InflatePipeline& operator=(const InflatePipeline&) = delete;

  // Hands entry `index`'s bytes to `sink` as PakEntryReader::Stream would and
  // returns its verdict. Entries of the order before it that were not taken
  // are dropped; an index not ahead in the order is damage ("not in the
  // pipeline"). An exception of `sink` drops the entry and passes through.
  EntryVerdict Take(size_t index, const ByteSink& sink);

 private:
  struct Slot;
  void Stop();
  void Work();
  void Unpack(PakEntryReader& reader, size_t position, const std::shared_ptr<Slot>& slot);
  void Push(Slot& slot, size_t position, std::span<const uint8_t> bytes);
  void Drop(size_t position);
  bool Drained() const;
  void WakeWorkers();

  RandomAccessFile& file_;
  const uint64_t end_;
  const std::vector<PakFile>& entries_;
  const std::vector<size_t> order_;
  const size_t ahead_bytes_;  // kPipelineAheadBytes per worker

  std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<std::shared_ptr<Slot>> slots_;  // by position in order_, while in flight
  size_t next_ = 0;      // the next position a worker claims
  size_t head_ = 0;      // the position the writer takes next
  size_t buffered_ = 0;  // bytes unpacked and not yet taken
  size_t workers_waiting_ = 0;
  bool writer_waiting_ = false;
  bool stop_ = false;
  std::vector<std::thread> workers_;
};

}  // namespace ferry
