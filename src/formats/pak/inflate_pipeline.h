// Entries of a group unpacked ahead on worker threads and taken, in the
// order given, by one writing thread: the writer sees each entry's bytes and
// verdict exactly as a read of its own would give them, while the next
// entries are being unpacked.
//
// Each worker holds what it unpacked ahead in a ring of its own, made once
// for the group: a worker takes entries in order and the writer takes them
// in order, so the oldest bytes of a ring are always the next ones taken,
// and the worker of the entry the writer waits for always finds room as the
// writer takes its bytes. What is held ahead is one ring per worker,
// whatever the entries' sizes, and no buffer is made or freed per piece (a
// heap that keeps the room of blocks freed between live ones, as Wine's
// does, would grow with every piece).
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

// The bytes each worker may hold unpacked ahead of the writer: room for
// one piece being taken while the next is unpacked.
inline constexpr size_t kPipelineRingBytes = 2 * kWorkerChunkSize;
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

  // The most bytes held ahead at once, over all workers.
  size_t PeakHeldBytes() const;

 private:
  struct Piece;
  struct Slot;
  class Ring;
  void Stop();
  void Work(size_t worker);
  void Unpack(PakEntryReader& reader, size_t worker, size_t position, const std::shared_ptr<Slot>& slot);
  void Push(Slot& slot, size_t worker, size_t position, std::span<const uint8_t> bytes);
  void Release(const Piece& piece);
  void Drop(size_t position);
  void WakeWorkers();
  size_t HeldBytes() const;

  RandomAccessFile& file_;
  const uint64_t end_;
  const std::vector<PakFile>& entries_;
  const std::vector<size_t> order_;

  mutable std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<std::shared_ptr<Slot>> slots_;  // by position in order_, while in flight
  std::vector<std::unique_ptr<Ring>> rings_;  // one a worker
  size_t next_ = 0;  // the next position a worker claims
  size_t head_ = 0;  // the position the writer takes next
  size_t peak_held_ = 0;
  size_t workers_waiting_ = 0;
  bool writer_waiting_ = false;
  bool stop_ = false;
  std::vector<std::thread> workers_;
};

}  // namespace ferry
