// Content compression: chunks of CompressChunkSize bytes, each one zlib
// stream at level 9 behind its u32 length.
#include <zlib.h>

#include <algorithm>

#include "base/byte_reader.h"
#include "base/setup_error.h"
#include "formats/vfs/vfs_archive.h"

namespace ferry {

std::optional<std::vector<uint8_t>> CompressData(const uint8_t* data, uint32_t length) {
  std::vector<uint8_t> out;
  out.reserve(length);
  std::vector<uint8_t> stream(compressBound(kCompressChunkSize));
  uint64_t consumed = 0;
  do {
    uint32_t n = static_cast<uint32_t>(std::min<uint64_t>(kCompressChunkSize, length - consumed));
    uLongf streamLength = static_cast<uLongf>(stream.size());
    static const uint8_t kNothing = 0;
    const uint8_t* src = n ? data + consumed : &kNothing;
    if (compress2(stream.data(), &streamLength, src, n, 9) != Z_OK) throw SetupError("Compression failed");
    if (out.size() + 4 + streamLength > length) return std::nullopt;
    uint32_t l = static_cast<uint32_t>(streamLength);
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(l >> (8 * i)));
    out.insert(out.end(), stream.begin(), stream.begin() + streamLength);
    consumed += n;
  } while (consumed < length);
  return out;
}

std::vector<uint8_t> DecompressChunks(std::span<const uint8_t> stored, uint32_t unpackedSize) {
  // Every chunk takes at least its 4-byte length and unpacks to at most one
  // chunk's size: a larger claim is refused before anything is allocated.
  if (unpackedSize > (uint64_t{stored.size()} / 4) * kCompressChunkSize)
    throw SetupError("an unpacked size of " + std::to_string(unpackedSize) + " bytes cannot come from " +
                     std::to_string(stored.size()) + " stored bytes");
  std::vector<uint8_t> out(unpackedSize);
  ByteReader r(stored);
  size_t produced = 0;
  while (!r.AtEnd()) {
    uint32_t l = r.U32();
    if (r.Failed() || !r.Has(l)) throw SetupError("compressed chunk at " + std::to_string(r.Position()) + " is cut short");
    auto chunk = r.Bytes(l);
    size_t want = std::min<size_t>(kCompressChunkSize, out.size() - produced);
    if (want == 0) throw SetupError("more compressed chunks than the unpacked size holds");
    uLongf got = static_cast<uLongf>(want);
    int rc = uncompress(out.data() + produced, &got, chunk.data(), static_cast<uLong>(chunk.size()));
    if (rc != Z_OK || got != want) throw SetupError("compressed chunk does not unpack to " + std::to_string(want) + " bytes");
    produced += want;
  }
  if (produced != out.size())
    throw SetupError("compressed chunks give " + std::to_string(produced) + " of " + std::to_string(out.size()) +
                     " bytes");
  return out;
}

}  // namespace ferry
