// A delta entry of the setup archive: a file stored as what changed against
// the file of the same path that an earlier release installed (its base).
// Its directory entry has Kind kEntryDelta; its stored bytes (CompSize of
// them, covered by Checksum like any entry's) are this header, then one zstd
// frame per chunk, in order:
//
//   "RKPD", u16 Version (1), u16 flags (0: none are known),
//   u64 BaseSize,   32 bytes BaseHash    (SHA-256 of the base file),
//   u64 ResultSize, 32 bytes ResultHash  (SHA-256 of the file it makes; ResultSize = OrigSize),
//   u32 ChunkCount, then per chunk:
//     u64 BaseOffset, u32 BaseLength     (the part of the base its frame refers to),
//     u32 ResultLength, u32 FrameLength  (the bytes it makes, its frame's stored size)
//
// Each frame is decoded with its base part as the decoder's reference prefix
// and a window of at most 2^kDeltaWindowLog; the chunks' results, in order,
// are the file. A chunk makes at most kDeltaChunkSize bytes and refers to at
// most kDeltaMaxReference bytes of the base, so applying a delta of any size
// holds only those two buffers.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "base/sha256.h"

namespace ferry {

inline constexpr char kDeltaMagic[4] = {'R', 'K', 'P', 'D'};
inline constexpr uint16_t kDeltaVersion = 1;
// Result bytes per chunk, and how far before and after a chunk's own place
// in the base its reference reaches (so an insertion or a removal of up to
// this much still finds its old bytes).
inline constexpr uint64_t kDeltaChunkSize = 16ull << 20;
inline constexpr uint64_t kDeltaReferenceSlack = 8ull << 20;
inline constexpr uint64_t kDeltaMaxReference = kDeltaChunkSize + 2 * kDeltaReferenceSlack;
// Reference and result of a chunk fit in the window together.
inline constexpr int kDeltaWindowLog = 26;
static_assert(kDeltaMaxReference + kDeltaChunkSize <= (1ull << kDeltaWindowLog));
// An entry holds less than 4 GiB: 256 chunks at most.
inline constexpr uint32_t kDeltaMaxChunks = 256;
inline constexpr size_t kDeltaFixedHeaderSize = 92;
inline constexpr size_t kDeltaChunkRecordSize = 20;
inline constexpr size_t kDeltaMaxHeaderSize = kDeltaFixedHeaderSize + kDeltaMaxChunks * kDeltaChunkRecordSize;

struct DeltaChunk {
  uint64_t BaseOffset = 0;
  uint32_t BaseLength = 0;
  uint32_t ResultLength = 0;
  uint32_t FrameLength = 0;
};

struct DeltaHeader {
  uint64_t BaseSize = 0;
  Sha256Digest BaseHash{};
  uint64_t ResultSize = 0;
  Sha256Digest ResultHash{};
  std::vector<DeltaChunk> Chunks;

  size_t Size() const { return kDeltaFixedHeaderSize + Chunks.size() * kDeltaChunkRecordSize; }
};

// The header at the start of a delta entry's `storedSize` stored bytes
// (`bytes` holds at least its first part), checked against the caps above,
// against itself (chunks that add up to ResultSize and, with the header, to
// storedSize; base parts inside BaseSize) and against the entry's
// `resultSize`. None, with *why set, when it is damaged.
std::optional<DeltaHeader> ParseDeltaHeader(std::span<const uint8_t> bytes, uint64_t storedSize,
                                            uint64_t resultSize, std::string* why);
std::vector<uint8_t> WriteDeltaHeader(const DeltaHeader& header);

// The chunks a delta of a `resultSize`-byte file against a `baseSize`-byte
// base is cut into (FrameLength left 0): one when both fit, else one per
// kDeltaChunkSize of result, each referring to the base around its own place.
std::vector<DeltaChunk> PlanDeltaChunks(uint64_t baseSize, uint64_t resultSize);

}  // namespace ferry
