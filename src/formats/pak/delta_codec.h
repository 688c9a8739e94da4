// Making and applying delta entries (the layout is in delta_format.h), on
// zstd: each chunk is compressed with its part of the base as the
// reference prefix and long-distance matching, and decompressed with the
// same prefix.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "base/random_access_file.h"
#include "formats/pak/delta_format.h"
#include "formats/pak/pak_format.h"

namespace ferry {

// The stored bytes of a delta entry that makes `result` from `base` (header
// and frames), at zstd `level`; none when the codec fails. Its own
// translation unit, so that the stub carries no zstd compressor.
std::optional<std::vector<uint8_t>> MakeDelta(std::span<const uint8_t> base, std::span<const uint8_t> result,
                                              int level);

// The header of delta entry `e`, read from the archive; none with *why set
// when it lies outside the archive or is damaged.
std::optional<DeltaHeader> ReadDeltaHeader(RandomAccessFile& archive, uint64_t archiveEnd, const PakFile& e,
                                           std::string* why);

// The SHA-256 of a whole file, through views of it (else one buffer of
// kVerifyChunkSize); none when it cannot be read to its end.
std::optional<Sha256Digest> HashFile(RandomAccessFile& file);
// Whether `base` is the file the delta was made against: its size and SHA-256.
bool BaseMatches(RandomAccessFile& base, const DeltaHeader& header);

// Applies delta entries, one after another, through fixed buffers (one
// chunk's decoding window, a piece of stored bytes, two pieces of result)
// and a view of the base's part each chunk refers to (a buffer of it where
// the base cannot be mapped). A large result is hashed on a thread of the
// applier's own while it is decoded and written.
class DeltaApplier {
 public:
  DeltaApplier();
  ~DeltaApplier();
  DeltaApplier(const DeltaApplier&) = delete;
  DeltaApplier& operator=(const DeltaApplier&) = delete;

  // The file delta entry `e` makes from `base`, handed to `sink` in order.
  // Sound only when every frame decodes to its chunk's length and the
  // result's SHA-256 is the recorded one; damage shows only at the end (the
  // sink may have had bytes). The base is read as it is now: a base that is
  // not the one recorded, or changes meanwhile, fails the result's hash.
  EntryVerdict Apply(RandomAccessFile& archive, uint64_t archiveEnd, const PakFile& e, RandomAccessFile& base,
                     const ByteSink& sink);

 private:
  EntryVerdict ApplyChunk(RandomAccessFile& archive, uint64_t frameOffset, const DeltaChunk& chunk,
                          RandomAccessFile& base, const ByteSink& sink, bool helped);

  struct State;
  std::unique_ptr<State> state_;
};

}  // namespace ferry
