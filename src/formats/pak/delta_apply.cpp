#include <zstd.h>

#include <algorithm>

#include "formats/pak/delta_codec.h"

namespace ferry {

std::optional<DeltaHeader> ReadDeltaHeader(RandomAccessFile& archive, uint64_t archiveEnd, const TPakFile& e,
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
  std::vector<uint8_t> buffer(static_cast<size_t>(std::min<uint64_t>(size, kVerifyChunkSize)));
  Sha256 hash;
  for (uint64_t done = 0; done < size;) {
    std::span<uint8_t> part(buffer.data(), static_cast<size_t>(std::min<uint64_t>(buffer.size(), size - done)));
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

struct DeltaApplier::State {
  ZSTD_DCtx* dctx = nullptr;
  std::vector<uint8_t> reference, in, out;
  ~State() { ZSTD_freeDCtx(dctx); }
};

DeltaApplier::DeltaApplier() : state_(std::make_unique<State>()) {}
DeltaApplier::~DeltaApplier() = default;

EntryVerdict DeltaApplier::Apply(RandomAccessFile& archive, uint64_t archiveEnd, const TPakFile& e,
                                 RandomAccessFile& base, const ByteSink& sink) {
  std::string why;
  std::optional<DeltaHeader> header = ReadDeltaHeader(archive, archiveEnd, e, &why);
  if (!header) return EntryVerdict::Damaged(why);
  if (!state_->dctx) state_->dctx = ZSTD_createDCtx();
  if (!state_->dctx) return EntryVerdict::Damaged("cannot start zstd");
  Sha256 hash;
  uint64_t frameOffset = e.Offset + header->Size();
  for (const DeltaChunk& c : header->Chunks) {
    EntryVerdict chunk = ApplyChunk(archive, frameOffset, c, base, sink, hash);
    if (!chunk.Sound) return chunk;
    frameOffset += c.FrameLength;
  }
  if (hash.Final() != header->ResultHash) return EntryVerdict::Damaged("the patched file is not the one the delta records");
  EntryVerdict sound;
  sound.Sound = true;
  return sound;
}

// The reference is read into a buffer of its own (at most kDeltaMaxReference
// bytes); the decoder keeps at most one chunk of result, since every frame
// records its content size.
EntryVerdict DeltaApplier::ApplyChunk(RandomAccessFile& archive, uint64_t frameOffset, const DeltaChunk& chunk,
                                      RandomAccessFile& base, const ByteSink& sink, Sha256& hash) {
  State& s = *state_;
  s.reference.resize(chunk.BaseLength);
  if (base.ReadAt(chunk.BaseOffset, s.reference) != s.reference.size()) return EntryVerdict::Damaged("the base file is cut short");
  ZSTD_DCtx_reset(s.dctx, ZSTD_reset_session_and_parameters);
  ZSTD_DCtx_setParameter(s.dctx, ZSTD_d_windowLogMax, kDeltaWindowLog);
  if (ZSTD_isError(ZSTD_DCtx_refPrefix(s.dctx, s.reference.data(), s.reference.size())))
    return EntryVerdict::Damaged("cannot start zstd");
  s.in.resize(std::min<size_t>(chunk.FrameLength, kStreamChunkSize));
  s.out.resize(kStreamChunkSize);
  uint64_t produced = 0;
  size_t rc = 1;
  for (uint64_t done = 0; done < chunk.FrameLength;) {
    std::span<uint8_t> part(s.in.data(), static_cast<size_t>(std::min<uint64_t>(s.in.size(), chunk.FrameLength - done)));
    if (archive.ReadAt(frameOffset + done, part) != part.size()) return EntryVerdict::Damaged("short read");
    done += part.size();
    ZSTD_inBuffer source{part.data(), part.size(), 0};
    // Drain the output too, also once the input is taken.
    for (;;) {
      ZSTD_outBuffer dest{s.out.data(), s.out.size(), 0};
      rc = ZSTD_decompressStream(s.dctx, &dest, &source);
      if (ZSTD_isError(rc)) return EntryVerdict::Damaged(std::string("delta decompression error: ") + ZSTD_getErrorName(rc));
      if (dest.pos > 0) {
        if (dest.pos > chunk.ResultLength - produced) return EntryVerdict::Damaged("a delta chunk makes more than its length");
        std::span<const uint8_t> bytes(s.out.data(), dest.pos);
        hash.Update(bytes);
        if (sink) sink(bytes);
        produced += dest.pos;
      }
      if (rc == 0 || (source.pos == source.size && dest.pos < dest.size)) break;
    }
    if (rc == 0 && (source.pos < source.size || done < chunk.FrameLength))
      return EntryVerdict::Damaged("a delta frame ends before its stored size");
  }
  if (rc != 0 || produced != chunk.ResultLength) return EntryVerdict::Damaged("a delta chunk is cut short");
  return EntryVerdict{true, {}, std::nullopt};
}

}  // namespace ferry
