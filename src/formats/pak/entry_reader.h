// Reading one archive entry's stored bytes: their CRC-32 taken and (when
// compressed) unpacked on the way, through a few fixed buffers. A reader holds
// no file position, so readers of their own on several threads may read one
// archive at once (its RandomAccessFile must allow concurrent ReadAt).
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "formats/pak/pak_codec.h"
#include "formats/pak/pak_format.h"
#include "base/random_access_file.h"

namespace ferry {

// The pieces entries are read and unpacked in: small, as several readers may
// run at once, and large enough that a read costs little per byte.
inline constexpr size_t kWorkerChunkSize = 128u << 10;

// How far Verify looks into a compressed entry.
enum class VerifyDepth {
  kUnpack,  // every compressed entry is unpacked
  // A zstd frame that records its content size is checked by the CRC-32 of
  // its stored bytes, its header and that size against OrigSize, and not
  // unpacked: extraction decodes it, which checks the rest of the frame.
  kZstdHead,
};

class PakEntryReader {
 public:
  // Stored bytes are read, and unpacked bytes handed on, in pieces of at
  // most `chunkSize` (at most kStreamChunkSize).
  explicit PakEntryReader(size_t chunkSize = kStreamChunkSize);
  ~PakEntryReader();
  PakEntryReader(const PakEntryReader&) = delete;
  PakEntryReader& operator=(const PakEntryReader&) = delete;

  // The entry's unpacked bytes handed to `sink` in order, in pieces of at most
  // the chunk size and no more than OrigSize of them (the rest is counted).
  // The stored bytes must end by `archiveEnd`. Damage shows only at the end.
  EntryVerdict Stream(RandomAccessFile& file, uint64_t archiveEnd, const PakFile& e, const ByteSink& sink);
  // Stream without a sink; a large entry (OrigSize >= kLargeEntryThreshold)
  // is sound when the CRC-32 of its OrigSize raw bytes equals Checksum, or
  // unread when Checksum is 0; a delta entry (which Stream refuses: it needs
  // its base) when the CRC-32 of its CompSize stored bytes equals Checksum
  // and its header is sound. A zstd entry as `depth` says.
  EntryVerdict Verify(RandomAccessFile& file, uint64_t archiveEnd, const PakFile& e,
                      VerifyDepth depth = VerifyDepth::kUnpack);

 private:
  EntryVerdict Unpack(RandomAccessFile& file, const PakFile& e, uint64_t stored, const ByteSink& sink);
  EntryVerdict VerifyLarge(RandomAccessFile& file, uint64_t archiveEnd, const PakFile& e);
  EntryVerdict VerifyDelta(RandomAccessFile& file, uint64_t archiveEnd, const PakFile& e);
  EntryVerdict VerifyStored(RandomAccessFile& file, uint64_t archiveEnd, const PakFile& e, uint64_t stored);
  std::optional<EntryVerdict> VerifyZstdHead(RandomAccessFile& file, uint64_t archiveEnd, const PakFile& e);
  // The CRC-32 of `stored` bytes at the entry's Offset; none on a short read.
  std::optional<uint32_t> StoredCrc(RandomAccessFile& file, const PakFile& e, uint64_t stored);
  PakDecoder& Decoder(PakCodec codec);

  std::unique_ptr<PakDecoder> decoders_[2];  // zlib, zstd: made when first needed
  const size_t chunk_size_;
  std::vector<uint8_t> in_buffer_, out_buffer_;  // chunk_size_ each once used
};

}  // namespace ferry
