// The zstd compressor of the writer (see pak_codec.h for why it stands apart).
#include <zstd.h>

#include <algorithm>

#include "formats/pak/pak_codec.h"

namespace ferry {

namespace {

// Below this the level's own search already sees every repeat.
constexpr size_t kLongMatchMinSize = 4u << 20;

}  // namespace

std::optional<std::vector<uint8_t>> ZstdPack(std::span<const uint8_t> data, int level) {
  level = std::clamp(level, 1, kZstdMaxLevel);
  std::unique_ptr<ZSTD_CCtx, size_t (*)(ZSTD_CCtx*)> cctx(ZSTD_createCCtx(), ZSTD_freeCCtx);
  if (!cctx) return std::nullopt;
  // Levels up to 19 keep to a window of 2^23 bytes or less on their own.
  ZSTD_CCtx_setParameter(cctx.get(), ZSTD_c_compressionLevel, level);
  // The frame carries a hash of its content: start-up checks a zstd entry
  // without unpacking it, so the decoding at extraction must find any damage.
  ZSTD_CCtx_setParameter(cctx.get(), ZSTD_c_checksumFlag, 1);
  // Long-distance matching finds repeats the level's own search misses in
  // large entries; small ones gain nothing from it. It would widen the
  // window past what the setup's decoder accepts unless told not to.
  if (data.size() > kLongMatchMinSize) {
    ZSTD_CCtx_setParameter(cctx.get(), ZSTD_c_enableLongDistanceMatching, 1);
    ZSTD_CCtx_setParameter(cctx.get(), ZSTD_c_windowLog, kZstdWindowLogMax);
  }
  std::vector<uint8_t> out(ZSTD_compressBound(data.size()));
  const size_t n = ZSTD_compress2(cctx.get(), out.data(), out.size(), data.data(), data.size());
  if (ZSTD_isError(n)) return std::nullopt;
  out.resize(n);
  return out;
}

}  // namespace ferry
