#include "formats/pak/inflate_pipeline.h"

#include <algorithm>
#include <cstring>
#include <exception>

namespace ferry {

namespace {

// Thrown through the reader when the writer no longer wants the entry.
struct Dropped {};

}  // namespace

// A piece of an entry's unpacked bytes in its worker's ring; `Skip` bytes
// left unused at the ring's end before it, as a piece never wraps.
struct InflatePipeline::Piece {
  size_t Worker = 0;
  size_t Offset = 0;
  size_t Size = 0;
  size_t Skip = 0;
};

struct InflatePipeline::Slot {
  std::vector<Piece> Pieces;
  size_t Taken = 0;  // pieces handed to the writer
  bool Done = false;
  bool Dropped = false;
  bool WorkerWaiting = false;
  EntryVerdict Check;
};

// Bytes placed at the end and released from the start, in the same order.
// Its memory is made when the first piece comes and touched only as far as
// pieces reach.
class InflatePipeline::Ring {
 public:
  bool Fits(size_t size) const { return Used() + SkipFor(size) + size <= kPipelineRingBytes; }
  size_t Used() const { return static_cast<size_t>(placed_ - released_); }
  bool Waiting = false;  // its worker waits for room

  Piece Place(size_t worker, std::span<const uint8_t> bytes) {
    if (!bytes_) bytes_ = std::make_unique_for_overwrite<uint8_t[]>(kPipelineRingBytes);
    if (Used() == 0) placed_ = released_ = 0;  // an empty ring starts over at its start
    Piece piece{worker, 0, bytes.size(), SkipFor(bytes.size())};
    piece.Offset = static_cast<size_t>((placed_ + piece.Skip) % kPipelineRingBytes);
    std::memcpy(bytes_.get() + piece.Offset, bytes.data(), bytes.size());
    placed_ += piece.Skip + piece.Size;
    return piece;
  }

  std::span<const uint8_t> Bytes(const Piece& piece) const { return {bytes_.get() + piece.Offset, piece.Size}; }
  void Release(const Piece& piece) { released_ += piece.Skip + piece.Size; }

 private:
  size_t SkipFor(size_t size) const {
    const size_t at = Used() == 0 ? 0 : static_cast<size_t>(placed_ % kPipelineRingBytes);
    return at + size > kPipelineRingBytes ? kPipelineRingBytes - at : 0;
  }

  std::unique_ptr<uint8_t[]> bytes_;
  uint64_t placed_ = 0, released_ = 0;
};

InflatePipeline::InflatePipeline(RandomAccessFile& file, uint64_t archiveEnd, const std::vector<PakFile>& entries,
                                 std::vector<size_t> order, unsigned workers)
    : file_(file), end_(archiveEnd), entries_(entries), order_(std::move(order)), slots_(order_.size()) {
  const unsigned count = std::max(1u, std::min<unsigned>(workers, static_cast<unsigned>(order_.size())));
  for (unsigned i = 0; i < count; ++i) rings_.push_back(std::make_unique<Ring>());
  try {
    for (size_t i = 0; i < count && !order_.empty(); ++i) workers_.emplace_back([this, i] { Work(i); });
  } catch (...) {
    Stop();
    throw;
  }
}

InflatePipeline::~InflatePipeline() { Stop(); }

void InflatePipeline::Stop() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stop_ = true;
  }
  changed_.notify_all();
  for (std::thread& t : workers_) t.join();
  workers_.clear();
}

// Waiting workers are woken in batches, not per piece, since every wake is
// a round trip through the system: once their ring is half free and the
// entries ahead half taken, or at once when the writer waits for them.
void InflatePipeline::WakeWorkers() {
  if (workers_waiting_ == 0) return;
  const bool headWaits = head_ < slots_.size() && slots_[head_] && slots_[head_]->WorkerWaiting;
  const bool entriesDrained = next_ - std::min(next_, head_) <= kPipelineAheadEntries / 2;
  const bool ringDrained = std::any_of(rings_.begin(), rings_.end(), [](const std::unique_ptr<Ring>& ring) {
    return ring->Waiting && ring->Used() <= kPipelineRingBytes / 2;
  });
  if (headWaits || (entriesDrained && ringDrained)) changed_.notify_all();
}

void InflatePipeline::Work(size_t worker) {
  PakEntryReader reader(kWorkerChunkSize);
  Ring& ring = *rings_[worker];
  for (;;) {
    std::shared_ptr<Slot> slot;
    size_t position = 0;
    {
      std::unique_lock<std::mutex> lock(mutex_);
      // Entries the writer passed by are not unpacked.
      auto room = [&] {
        const size_t claim = std::max(next_, head_);
        return stop_ || claim >= order_.size() ||
               (claim - head_ < kPipelineAheadEntries && ring.Used() < kPipelineRingBytes);
      };
      if (!room()) {
        ++workers_waiting_;
        ring.Waiting = true;
        changed_.wait(lock, room);
        ring.Waiting = false;
        --workers_waiting_;
      }
      next_ = std::max(next_, head_);
      if (stop_ || next_ >= order_.size()) return;
      position = next_++;
      slot = slots_[position] = std::make_shared<Slot>();
    }
    Unpack(reader, worker, position, slot);
  }
}

void InflatePipeline::Unpack(PakEntryReader& reader, size_t worker, size_t position,
                             const std::shared_ptr<Slot>& slot) {
  EntryVerdict check;
  try {
    check = reader.Stream(file_, end_, entries_[order_[position]],
                          [&](std::span<const uint8_t> bytes) { Push(*slot, worker, position, bytes); });
  } catch (const Dropped&) {
    return;
  } catch (const std::exception& e) {
    check = EntryVerdict{false, e.what(), std::nullopt};
  } catch (...) {
    check = EntryVerdict{false, "the entry could not be unpacked", std::nullopt};
  }
  std::lock_guard<std::mutex> lock(mutex_);
  if (slot->Dropped) return;
  slot->Check = std::move(check);
  slot->Done = true;
  if (writer_waiting_ && position == head_) changed_.notify_all();
}

// The bytes are copied into the worker's ring once it has room for them.
void InflatePipeline::Push(Slot& slot, size_t worker, size_t position, std::span<const uint8_t> bytes) {
  std::unique_lock<std::mutex> lock(mutex_);
  Ring& ring = *rings_[worker];
  auto room = [&] { return stop_ || slot.Dropped || ring.Fits(bytes.size()); };
  if (!room()) {
    slot.WorkerWaiting = true;
    ring.Waiting = true;
    ++workers_waiting_;
    changed_.wait(lock, room);
    --workers_waiting_;
    ring.Waiting = false;
    slot.WorkerWaiting = false;
  }
  if (stop_ || slot.Dropped) throw Dropped{};
  slot.Pieces.push_back(ring.Place(worker, bytes));
  peak_held_ = std::max(peak_held_, HeldBytes());
  if (writer_waiting_ && position == head_) changed_.notify_all();
}

void InflatePipeline::Release(const Piece& piece) { rings_[piece.Worker]->Release(piece); }

size_t InflatePipeline::HeldBytes() const {
  size_t held = 0;
  for (const std::unique_ptr<Ring>& ring : rings_) held += ring->Used();
  return held;
}

size_t InflatePipeline::PeakHeldBytes() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return peak_held_;
}

void InflatePipeline::Drop(size_t position) {
  std::shared_ptr<Slot>& slot = slots_[position];
  if (!slot) return;
  slot->Dropped = true;
  for (size_t i = slot->Taken; i < slot->Pieces.size(); ++i) Release(slot->Pieces[i]);
  slot->Pieces.clear();
  if (slot->WorkerWaiting) changed_.notify_all();
  slot.reset();
}

EntryVerdict InflatePipeline::Take(size_t index, const ByteSink& sink) {
  std::unique_lock<std::mutex> lock(mutex_);
  size_t position = head_;
  while (position < order_.size() && order_[position] != index) ++position;
  if (position == order_.size()) return EntryVerdict{false, "not in the pipeline", std::nullopt};
  for (; head_ < position; ++head_) Drop(head_);
  WakeWorkers();
  for (;;) {
    Slot* slot = slots_[position].get();
    if (slot && slot->Taken < slot->Pieces.size()) {
      // The piece stays in its ring, unreleased, while the sink has its bytes.
      const Piece piece = slot->Pieces[slot->Taken++];
      const std::span<const uint8_t> bytes = rings_[piece.Worker]->Bytes(piece);
      lock.unlock();
      try {
        if (sink) sink(bytes);
      } catch (...) {
        lock.lock();
        Release(piece);
        Drop(position);
        head_ = position + 1;
        WakeWorkers();
        throw;
      }
      lock.lock();
      Release(piece);
      WakeWorkers();
      continue;
    }
    if (slot && slot->Done) break;
    writer_waiting_ = true;
    changed_.wait(lock);
    writer_waiting_ = false;
  }
  EntryVerdict check = std::move(slots_[position]->Check);
  slots_[position].reset();
  head_ = position + 1;
  WakeWorkers();
  return check;
}

}  // namespace ferry
