#include "formats/pak/inflate_pipeline.h"

#include <algorithm>
#include <deque>
#include <exception>

namespace ferry {

namespace {

// Thrown through the reader when the writer no longer wants the entry.
struct Dropped {};

}  // namespace

struct InflatePipeline::Slot {
  std::deque<std::vector<uint8_t>> Chunks;
  size_t Bytes = 0;  // in chunks
  bool Done = false;
  bool Dropped = false;
  bool WorkerWaiting = false;
  EntryVerdict Check;
};

InflatePipeline::InflatePipeline(RandomAccessFile& file, uint64_t archiveEnd, const std::vector<PakFile>& entries,
                                 std::vector<size_t> order, unsigned workers)
    : file_(file),
      end_(archiveEnd),
      entries_(entries),
      order_(std::move(order)),
      ahead_bytes_(kPipelineAheadBytes * std::max(1u, workers)),
      slots_(order_.size()) {
  const unsigned count = std::max(1u, std::min<unsigned>(workers, static_cast<unsigned>(order_.size())));
  try {
    for (unsigned i = 0; i < count && !order_.empty(); ++i) workers_.emplace_back([this] { Work(); });
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

// Room again for the waiting workers: they are woken in batches, not per
// entry, since every wake is a round trip through the system.
bool InflatePipeline::Drained() const {
  return buffered_ <= ahead_bytes_ / 2 && next_ - std::min(next_, head_) <= kPipelineAheadEntries / 2;
}

void InflatePipeline::WakeWorkers() {
  if (workers_waiting_ == 0) return;
  const bool headWaits = head_ < slots_.size() && slots_[head_] && slots_[head_]->WorkerWaiting;
  if (Drained() || headWaits) changed_.notify_all();
}

void InflatePipeline::Work() {
  PakEntryReader reader(kWorkerChunkSize);
  for (;;) {
    std::shared_ptr<Slot> slot;
    size_t position = 0;
    {
      std::unique_lock<std::mutex> lock(mutex_);
      // Entries the writer passed by are not unpacked.
      auto room = [this] {
        const size_t claim = std::max(next_, head_);
        return stop_ || claim >= order_.size() || (claim - head_ < kPipelineAheadEntries && buffered_ < ahead_bytes_);
      };
      if (!room()) {
        ++workers_waiting_;
        changed_.wait(lock, room);
        --workers_waiting_;
      }
      next_ = std::max(next_, head_);
      if (stop_ || next_ >= order_.size()) return;
      position = next_++;
      slot = slots_[position] = std::make_shared<Slot>();
    }
    Unpack(reader, position, slot);
  }
}

void InflatePipeline::Unpack(PakEntryReader& reader, size_t position, const std::shared_ptr<Slot>& slot) {
  EntryVerdict check;
  try {
    check = reader.Stream(file_, end_, entries_[order_[position]],
                          [&](std::span<const uint8_t> bytes) { Push(*slot, position, bytes); });
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

void InflatePipeline::Push(Slot& slot, size_t position, std::span<const uint8_t> bytes) {
  std::vector<uint8_t> chunk(bytes.begin(), bytes.end());
  std::unique_lock<std::mutex> lock(mutex_);
  auto room = [&] {
    return stop_ || slot.Dropped || buffered_ < ahead_bytes_ ||
           (position == head_ && slot.Bytes < kPipelineHeadBytes);
  };
  if (!room()) {
    slot.WorkerWaiting = true;
    ++workers_waiting_;
    changed_.wait(lock, room);
    --workers_waiting_;
    slot.WorkerWaiting = false;
  }
  if (stop_ || slot.Dropped) throw Dropped{};
  slot.Bytes += chunk.size();
  buffered_ += chunk.size();
  slot.Chunks.push_back(std::move(chunk));
  if (writer_waiting_ && position == head_) changed_.notify_all();
}

void InflatePipeline::Drop(size_t position) {
  std::shared_ptr<Slot>& slot = slots_[position];
  if (!slot) return;
  slot->Dropped = true;
  buffered_ -= slot->Bytes;
  slot->Chunks.clear();
  slot->Bytes = 0;
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
    if (slot && !slot->Chunks.empty()) {
      std::vector<uint8_t> chunk = std::move(slot->Chunks.front());
      slot->Chunks.pop_front();
      slot->Bytes -= chunk.size();
      buffered_ -= chunk.size();
      WakeWorkers();
      lock.unlock();
      try {
        if (sink) sink(chunk);
      } catch (...) {
        lock.lock();
        Drop(position);
        head_ = position + 1;
        WakeWorkers();
        throw;
      }
      lock.lock();
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
