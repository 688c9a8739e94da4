#include "formats/pak/delta_format.h"

#include <algorithm>
#include <cstring>

#include "base/byte_reader.h"
#include "base/byte_writer.h"

namespace ferry {

namespace {

bool Fail(std::string* why, const char* text) {
  if (why) *why = text;
  return false;
}

// The chunk records agree with the sizes the header and the entry give.
bool ChunksAddUp(const DeltaHeader& h, uint64_t storedSize, std::string* why) {
  uint64_t result = 0, frames = 0;
  for (const DeltaChunk& c : h.Chunks) {
    if (c.ResultLength == 0 || c.ResultLength > kDeltaChunkSize) return Fail(why, "a delta chunk's result size is out of range");
    if (c.FrameLength == 0) return Fail(why, "a delta chunk has no frame");
    if (c.BaseLength > kDeltaMaxReference) return Fail(why, "a delta chunk refers to too much of its base");
    if (c.BaseOffset > h.BaseSize || c.BaseLength > h.BaseSize - c.BaseOffset)
      return Fail(why, "a delta chunk refers past the end of its base");
    result += c.ResultLength;
    frames += c.FrameLength;
  }
  if (result != h.ResultSize) return Fail(why, "the delta chunks do not add up to the file's size");
  if (storedSize < h.Size() || frames != storedSize - h.Size())
    return Fail(why, "the delta frames do not add up to the entry's stored size");
  return true;
}

}  // namespace

std::optional<DeltaHeader> ParseDeltaHeader(std::span<const uint8_t> bytes, uint64_t storedSize,
                                            uint64_t resultSize, std::string* why) {
  ByteReader r(bytes);
  std::span<const uint8_t> magic = r.Bytes(4);
  if (r.Failed() || std::memcmp(magic.data(), kDeltaMagic, 4) != 0) {
    Fail(why, "the delta entry has no delta header");
    return std::nullopt;
  }
  if (r.U16() != kDeltaVersion) {
    Fail(why, "the delta header is of an unknown version");
    return std::nullopt;
  }
  if (r.U16() != 0) {
    Fail(why, "the delta header has flags this setup does not know");
    return std::nullopt;
  }
  DeltaHeader h;
  h.BaseSize = r.U64();
  std::span<const uint8_t> baseHash = r.Bytes(32);
  std::copy(baseHash.begin(), baseHash.end(), h.BaseHash.begin());
  h.ResultSize = r.U64();
  std::span<const uint8_t> resultHash = r.Bytes(32);
  std::copy(resultHash.begin(), resultHash.end(), h.ResultHash.begin());
  const uint32_t count = r.U32();
  if (r.Failed()) {
    Fail(why, "the delta header is cut short");
    return std::nullopt;
  }
  if (count == 0 || count > kDeltaMaxChunks || !r.Has(size_t{count} * kDeltaChunkRecordSize)) {
    Fail(why, count == 0 || count > kDeltaMaxChunks ? "the delta's chunk count is out of range"
                                                    : "the delta's chunk table is cut short");
    return std::nullopt;
  }
  h.Chunks.resize(count);
  for (DeltaChunk& c : h.Chunks) {
    c.BaseOffset = r.U64();
    c.BaseLength = r.U32();
    c.ResultLength = r.U32();
    c.FrameLength = r.U32();
  }
  if (h.ResultSize != resultSize) {
    Fail(why, "the delta makes a file of another size than the entry's");
    return std::nullopt;
  }
  if (!ChunksAddUp(h, storedSize, why)) return std::nullopt;
  return h;
}

std::vector<uint8_t> WriteDeltaHeader(const DeltaHeader& header) {
  ByteWriter w;
  w.String(std::string_view(kDeltaMagic, 4));
  w.U16(kDeltaVersion);
  w.U16(0);
  w.U64(header.BaseSize);
  w.Bytes(header.BaseHash);
  w.U64(header.ResultSize);
  w.Bytes(header.ResultHash);
  w.U32(static_cast<uint32_t>(header.Chunks.size()));
  for (const DeltaChunk& c : header.Chunks) {
    w.U64(c.BaseOffset);
    w.U32(c.BaseLength);
    w.U32(c.ResultLength);
    w.U32(c.FrameLength);
  }
  return w.Data();
}

std::vector<DeltaChunk> PlanDeltaChunks(uint64_t baseSize, uint64_t resultSize) {
  std::vector<DeltaChunk> chunks;
  // Past the base's end a chunk still refers to the base's last part.
  const uint64_t lastStart = baseSize - std::min(baseSize, kDeltaMaxReference);
  for (uint64_t at = 0; at < resultSize; at += kDeltaChunkSize) {
    DeltaChunk c;
    c.ResultLength = static_cast<uint32_t>(std::min(kDeltaChunkSize, resultSize - at));
    c.BaseOffset = std::min(at - std::min(at, kDeltaReferenceSlack), lastStart);
    c.BaseLength = static_cast<uint32_t>(std::min(kDeltaMaxReference, baseSize - c.BaseOffset));
    chunks.push_back(c);
  }
  return chunks;
}

}  // namespace ferry
