// The delta compressor of the writer (see delta_codec.h for why it stands apart).
#include <zstd.h>

#include <algorithm>
#include <memory>

#include "formats/pak/delta_codec.h"
#include "formats/pak/pak_codec.h"

namespace ferry {

namespace {

using CCtx = std::unique_ptr<ZSTD_CCtx, size_t (*)(ZSTD_CCtx*)>;

Sha256Digest HashOf(std::span<const uint8_t> bytes) {
  Sha256 hash;
  hash.Update(bytes);
  return hash.Final();
}

// One chunk's frame: its result against its part of the base. The window
// covers both, so every byte of the reference can be matched.
std::optional<std::vector<uint8_t>> PackChunk(ZSTD_CCtx* cctx, std::span<const uint8_t> reference,
                                              std::span<const uint8_t> result, int level) {
  ZSTD_CCtx_reset(cctx, ZSTD_reset_session_and_parameters);
  ZSTD_CCtx_setParameter(cctx, ZSTD_c_compressionLevel, level);
  ZSTD_CCtx_setParameter(cctx, ZSTD_c_windowLog, kDeltaWindowLog);
  ZSTD_CCtx_setParameter(cctx, ZSTD_c_enableLongDistanceMatching, 1);
  if (ZSTD_isError(ZSTD_CCtx_refPrefix(cctx, reference.data(), reference.size()))) return std::nullopt;
  std::vector<uint8_t> frame(ZSTD_compressBound(result.size()));
  const size_t n = ZSTD_compress2(cctx, frame.data(), frame.size(), result.data(), result.size());
  if (ZSTD_isError(n)) return std::nullopt;
  frame.resize(n);
  return frame;
}

}  // namespace

std::optional<std::vector<uint8_t>> MakeDelta(std::span<const uint8_t> base, std::span<const uint8_t> result,
                                              int level) {
  if (result.empty()) return std::nullopt;
  level = std::clamp(level, 1, kZstdMaxLevel);
  CCtx cctx(ZSTD_createCCtx(), ZSTD_freeCCtx);
  if (!cctx) return std::nullopt;
  DeltaHeader header;
  header.BaseSize = base.size();
  header.BaseHash = HashOf(base);
  header.ResultSize = result.size();
  header.ResultHash = HashOf(result);
  header.Chunks = PlanDeltaChunks(base.size(), result.size());
  std::vector<uint8_t> frames;
  uint64_t at = 0;
  for (DeltaChunk& c : header.Chunks) {
    std::optional<std::vector<uint8_t>> frame =
        PackChunk(cctx.get(), base.subspan(static_cast<size_t>(c.BaseOffset), c.BaseLength),
                  result.subspan(static_cast<size_t>(at), c.ResultLength), level);
    if (!frame || frame->size() > UINT32_MAX) return std::nullopt;
    c.FrameLength = static_cast<uint32_t>(frame->size());
    frames.insert(frames.end(), frame->begin(), frame->end());
    at += c.ResultLength;
  }
  std::vector<uint8_t> stored = WriteDeltaHeader(header);
  stored.insert(stored.end(), frames.begin(), frames.end());
  return stored;
}

}  // namespace ferry
