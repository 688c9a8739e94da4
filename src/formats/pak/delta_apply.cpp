// For ZSTD_d_stableOutBuffer: the result is decoded straight into our buffer.
#define ZSTD_STATIC_LINKING_ONLY
#include <zstd.h>

#include <algorithm>
#include <condition_variable>
#include <mutex>
#include <system_error>
#include <thread>

#include "formats/pak/delta_codec.h"

namespace ferry {

std::optional<DeltaHeader> ReadDeltaHeader(RandomAccessFile& archive, uint64_t archiveEnd, const PakFile& e,
                                           std::string* why) {
  if (e.CompSize == 0 || e.Offset > archiveEnd || e.CompSize > archiveEnd - e.Offset) {
    if (why) *why = "stored bytes past the end of the file";
    return std::nullopt;
  }
  std::vector<uint8_t> head = archive.ReadVector(e.Offset, std::min<size_t>(e.CompSize, kDeltaMaxHeaderSize));
  return ParseDeltaHeader(head, e.CompSize, e.OrigSize, why);
}

std::optional<Sha256Digest> HashFile(RandomAccessFile& file) {
  const uint64_t size = file.Size();
  std::vector<uint8_t> buffer;
  Sha256 hash;
  for (uint64_t done = 0; done < size;) {
    // Mapped a reference's worth at a time where the file allows it.
    const size_t length = static_cast<size_t>(std::min<uint64_t>(kDeltaMaxReference, size - done));
    if (std::unique_ptr<FileView> view = file.View(done, length)) {
      hash.Update(view->Bytes());
      done += length;
      continue;
    }
    buffer.resize(static_cast<size_t>(std::min<uint64_t>(size, kVerifyChunkSize)));
    std::span<uint8_t> part(buffer.data(), std::min(buffer.size(), length));
    if (file.ReadAt(done, part) != part.size()) return std::nullopt;
    hash.Update(part);
    done += part.size();
  }
  return hash.Final();
}

bool BaseMatches(RandomAccessFile& base, const DeltaHeader& header) {
  if (base.Size() != header.BaseSize) return false;
  std::optional<Sha256Digest> hash = HashFile(base);
  return hash && *hash == header.BaseHash;
}

namespace {

// A result this large is hashed on a thread of the applier's own, beside the
// decoding and the writing; a smaller one costs less than the hand-overs.
constexpr uint64_t kHashHelperFrom = 4 * kStreamChunkSize;

}  // namespace

// A chunk is decoded straight into one buffer of its length (zstd keeps no
// window of its own then, and copies nothing); its pieces are hashed by the
// helper while this thread writes them and decodes on. The buffer is reused
// only once the helper has hashed all of it.
struct DeltaApplier::State {
  ZSTD_DCtx* Dctx = nullptr;
  std::vector<uint8_t> Reference, In, Out;
  Sha256 ResultHash;      // of the entry's result

  std::thread Helper;
  std::mutex Mutex;
  std::condition_variable Changed;
  std::span<const uint8_t> Pending;  // handed to the helper, while busy
  bool Busy = false, Stop = false;

  ~State() {
    {
      std::lock_guard<std::mutex> lock(Mutex);
      Stop = true;
    }
    Changed.notify_all();
    if (Helper.joinable()) Helper.join();
    ZSTD_freeDCtx(Dctx);
  }

  // No thread to be had: every piece is hashed in turn.
  void StartHelper() {
    if (Helper.joinable()) return;
    try {
      Helper = std::thread([this] { HelpHash(); });
    } catch (const std::system_error&) {
    }
  }

  void HelpHash() {
    std::unique_lock<std::mutex> lock(Mutex);
    for (;;) {
      Changed.wait(lock, [this] { return Busy || Stop; });
      if (!Busy) return;
      const std::span<const uint8_t> bytes = Pending;
      lock.unlock();
      ResultHash.Update(bytes);
      lock.lock();
      Busy = false;
      Changed.notify_all();
    }
  }

  // Hands `bytes` over once the piece before is hashed.
  void Hash(std::span<const uint8_t> bytes, bool helped) {
    if (!helped || !Helper.joinable()) {
      ResultHash.Update(bytes);
      return;
    }
    std::unique_lock<std::mutex> lock(Mutex);
    Changed.wait(lock, [this] { return !Busy; });
    Pending = bytes;
    Busy = true;
    Changed.notify_all();
  }

  // Every piece handed over is hashed.
  void Drain() {
    std::unique_lock<std::mutex> lock(Mutex);
    Changed.wait(lock, [this] { return !Busy; });
  }
};

DeltaApplier::DeltaApplier() : state_(std::make_unique<State>()) {}
DeltaApplier::~DeltaApplier() = default;

EntryVerdict DeltaApplier::Apply(RandomAccessFile& archive, uint64_t archiveEnd, const PakFile& e,
                                 RandomAccessFile& base, const ByteSink& sink) {
  std::string why;
  std::optional<DeltaHeader> header = ReadDeltaHeader(archive, archiveEnd, e, &why);
  if (!header) return EntryVerdict::Damaged(why);
  State& s = *state_;
  if (!s.Dctx) s.Dctx = ZSTD_createDCtx();
  if (!s.Dctx) return EntryVerdict::Damaged("cannot start zstd");
  // A sink that threw may have left a piece with the helper.
  s.Drain();
  s.ResultHash = Sha256();
  const bool helped = header->ResultSize >= kHashHelperFrom;
  if (helped) s.StartHelper();
  uint64_t frameOffset = e.Offset + header->Size();
  for (const DeltaChunk& c : header->Chunks) {
    EntryVerdict chunk = ApplyChunk(archive, frameOffset, c, base, sink, helped);
    if (!chunk.Sound) return chunk;
    frameOffset += c.FrameLength;
  }
  s.Drain();
  if (s.ResultHash.Final() != header->ResultHash)
    return EntryVerdict::Damaged("the patched file is not the one the delta records");
  EntryVerdict sound;
  sound.Sound = true;
  return sound;
}

// The reference is a view of the base where the file can be mapped (its
// pages are the file's, not the process's), else read into a buffer of at
// most kDeltaMaxReference bytes; the result is one buffer of the chunk's
// length, at most kDeltaChunkSize.
EntryVerdict DeltaApplier::ApplyChunk(RandomAccessFile& archive, uint64_t frameOffset, const DeltaChunk& chunk,
                                      RandomAccessFile& base, const ByteSink& sink, bool helped) {
  State& s = *state_;
  std::unique_ptr<FileView> view = chunk.BaseLength > 0 ? base.View(chunk.BaseOffset, chunk.BaseLength) : nullptr;
  std::span<const uint8_t> reference;
  if (view) {
    reference = view->Bytes();
  } else {
    s.Reference.resize(chunk.BaseLength);
    if (base.ReadAt(chunk.BaseOffset, s.Reference) != s.Reference.size())
      return EntryVerdict::Damaged("the installed file could not be read whole (shortened, or a read error)");
    reference = s.Reference;
  }
  ZSTD_DCtx_reset(s.Dctx, ZSTD_reset_session_and_parameters);
  ZSTD_DCtx_setParameter(s.Dctx, ZSTD_d_windowLogMax, kDeltaWindowLog);
  ZSTD_DCtx_setParameter(s.Dctx, ZSTD_d_stableOutBuffer, 1);
  if (ZSTD_isError(ZSTD_DCtx_refPrefix(s.Dctx, reference.data(), reference.size())))
    return EntryVerdict::Damaged("cannot start zstd");
  s.In.resize(std::min<size_t>(chunk.FrameLength, kStreamChunkSize));
  s.Drain();  // the last chunk's bytes are hashed: its buffer is free
  s.Out.resize(chunk.ResultLength);
  ZSTD_outBuffer dest{s.Out.data(), s.Out.size(), 0};
  size_t handed = 0;
  size_t rc = 1;
  for (uint64_t done = 0; done < chunk.FrameLength;) {
    std::span<uint8_t> part(s.In.data(), static_cast<size_t>(std::min<uint64_t>(s.In.size(), chunk.FrameLength - done)));
    if (archive.ReadAt(frameOffset + done, part) != part.size()) return EntryVerdict::Damaged("short read");
    done += part.size();
    ZSTD_inBuffer source{part.data(), part.size(), 0};
    for (;;) {
      const size_t taken = source.pos, made = dest.pos;
      rc = ZSTD_decompressStream(s.Dctx, &dest, &source);
      if (ZSTD_isError(rc)) return EntryVerdict::Damaged(std::string("delta decompression error: ") + ZSTD_getErrorName(rc));
      // Handed on a kStreamChunkSize or more at a time, the rest at the frame's end.
      if (dest.pos - handed >= kStreamChunkSize || (rc == 0 && dest.pos > handed)) {
        std::span<const uint8_t> bytes(s.Out.data() + handed, dest.pos - handed);
        s.Hash(bytes, helped);
        if (sink) sink(bytes);
        handed = dest.pos;
      }
      if (rc == 0) break;
      if (source.pos == taken && dest.pos == made) {
        if (source.pos == source.size) break;  // wants the next piece
        // The buffer is full and the frame wants more room.
        return EntryVerdict::Damaged("a delta chunk makes more than its length");
      }
    }
    if (rc == 0 && (source.pos < source.size || done < chunk.FrameLength))
      return EntryVerdict::Damaged("a delta frame ends before its stored size");
  }
  const uint64_t produced = dest.pos;
  if (rc != 0 || produced != chunk.ResultLength) return EntryVerdict::Damaged("a delta chunk is cut short");
  return EntryVerdict{true, {}, std::nullopt};
}

}  // namespace ferry
