#include "formats/pak/entry_reader.h"

#include <algorithm>

#include "formats/pak/crc32.h"
#include "formats/pak/delta_codec.h"

namespace ferry {

namespace {

EntryVerdict Sound() {
  EntryVerdict check;
  check.Sound = true;
  return check;
}

// The smallest output buffer: an entry claiming a tiny OrigSize may unpack to more.
constexpr uint64_t kMinOutBuffer = 4096;

// The stored bytes lie within the archive.
bool StoredInside(const PakFile& e, uint64_t stored, uint64_t archiveEnd) {
  return e.Offset <= archiveEnd && stored <= archiveEnd - e.Offset;
}

}  // namespace

PakEntryReader::PakEntryReader(size_t chunkSize)
    : chunk_size_(std::clamp<size_t>(chunkSize, kMinOutBuffer, kStreamChunkSize)) {}
PakEntryReader::~PakEntryReader() = default;

EntryVerdict PakEntryReader::Stream(RandomAccessFile& file, uint64_t archiveEnd, const PakFile& e,
                                  const ByteSink& sink) {
  if (e.OrigSize == 0) return EntryVerdict::Damaged("empty entry");
  if (e.Kind == kEntryDelta) return EntryVerdict::Damaged("a delta entry is made only against its base file");
  if (e.Kind > kEntryWholeFallback) return EntryVerdict::Damaged("an entry of an unknown kind");
  const uint64_t stored = e.CompSize != 0 ? e.CompSize : e.OrigSize;
  if (!StoredInside(e, stored, archiveEnd)) return EntryVerdict::Damaged("stored bytes past the end of the file");
  return Unpack(file, e, stored, sink);
}

EntryVerdict PakEntryReader::Verify(RandomAccessFile& file, uint64_t archiveEnd, const PakFile& e,
                                    VerifyDepth depth) {
  if (e.Kind == kEntryDelta) return VerifyDelta(file, archiveEnd, e);
  if (e.OrigSize >= kLargeEntryThreshold) return VerifyLarge(file, archiveEnd, e);
  if (depth == VerifyDepth::kZstdHead)
    if (std::optional<EntryVerdict> check = VerifyZstdHead(file, archiveEnd, e)) return *check;
  return Stream(file, archiveEnd, e, {});
}

// A zstd entry's verdicts in the order Unpack gives them (short read,
// checksum, the codec's, the length), from its stored bytes' CRC-32 and the
// frame's header alone. None when the entry is not such a frame, or its
// frame does not record its size: it is unpacked then.
std::optional<EntryVerdict> PakEntryReader::VerifyZstdHead(RandomAccessFile& file, uint64_t archiveEnd,
                                                           const PakFile& e) {
  if (e.CompSize == 0 || e.OrigSize == 0 || e.Kind > kEntryWholeFallback || !StoredInside(e, e.CompSize, archiveEnd))
    return std::nullopt;  // Stream says what is wrong
  uint8_t headBytes[kZstdFrameHeadMax];
  std::span<uint8_t> head(headBytes, std::min<size_t>(e.CompSize, sizeof headBytes));
  if (file.ReadAt(e.Offset, head) != head.size() || CodecOf(head) != PakCodec::kZstd) return std::nullopt;
  const ZstdFrameHead frame = ReadZstdFrameHead(head);
  if (frame.Sound && !frame.ContentSize) return std::nullopt;
  const std::optional<uint32_t> crc = StoredCrc(file, e, e.CompSize);
  if (!crc) return EntryVerdict::Damaged("short read");
  if (*crc != e.Checksum) return EntryVerdict::Damaged("checksum mismatch");
  if (!frame.Sound) return EntryVerdict::Damaged("decompression error in " + e.Name + ": " + frame.Error);
  if (*frame.ContentSize != e.OrigSize) {
    EntryVerdict check = EntryVerdict::Damaged("unpacked length differs from OrigSize");
    check.WrongLength = *frame.ContentSize;
    return check;
  }
  return Sound();
}

std::optional<uint32_t> PakEntryReader::StoredCrc(RandomAccessFile& file, const PakFile& e, uint64_t stored) {
  const size_t need = static_cast<size_t>(std::min<uint64_t>(stored, chunk_size_));
  if (in_buffer_.size() < need) in_buffer_.resize(need);
  uint32_t crc = 0;
  for (uint64_t done = 0; done < stored;) {
    std::span<uint8_t> part(in_buffer_.data(), static_cast<size_t>(std::min<uint64_t>(in_buffer_.size(), stored - done)));
    if (file.ReadAt(e.Offset + done, part) != part.size()) return std::nullopt;
    crc = Crc32Update(crc, part);
    done += part.size();
  }
  return crc;
}

// One pass over the stored bytes, in chunks: their CRC-32 is taken and they
// are unpacked (or, stored as they are, handed on) on the way. The verdicts
// keep the order of a load of the whole entry: short read, checksum, then the
// codec's, then the unpacked length, so every damaged entry reads as before.
EntryVerdict PakEntryReader::Unpack(RandomAccessFile& file, const PakFile& e, uint64_t stored, const ByteSink& sink) {
  const bool packed = e.CompSize != 0;
  // Buffers grow to what the entries need, up to the chunk size: a setup of
  // small files never touches a full chunk.
  const size_t inNeed = static_cast<size_t>(std::min<uint64_t>(stored, chunk_size_));
  const size_t outNeed = static_cast<size_t>(std::clamp<uint64_t>(e.OrigSize, kMinOutBuffer, chunk_size_));
  if (in_buffer_.size() < inNeed) in_buffer_.resize(inNeed);
  if (packed && out_buffer_.size() < outNeed) out_buffer_.resize(outNeed);
  uint64_t length = 0;  // unpacked bytes, also those past OrigSize
  auto hand = [&](std::span<const uint8_t> bytes) {
    if (sink && length < e.OrigSize)
      sink(bytes.first(static_cast<size_t>(std::min<uint64_t>(bytes.size(), e.OrigSize - length))));
    length += bytes.size();
  };
  PakDecoder* decoder = nullptr;
  enum class State { kRunning, kEnded, kDamaged } state = State::kRunning;
  uint32_t crc = 0;
  for (uint64_t done = 0; done < stored;) {
    std::span<uint8_t> part(in_buffer_.data(), static_cast<size_t>(std::min<uint64_t>(in_buffer_.size(), stored - done)));
    if (file.ReadAt(e.Offset + done, part) != part.size()) return EntryVerdict::Damaged("short read");
    crc = Crc32Update(crc, part);
    if (!packed) {
      hand(part);
    } else {
      if (!decoder) decoder = &Decoder(CodecOf(part));
      std::span<const uint8_t> rest = part;
      while (state == State::kRunning) {
        const size_t before = rest.size();
        size_t produced = 0;
        PakDecoder::Step step = decoder->Run(rest, out_buffer_, &produced);
        hand(std::span<const uint8_t>(out_buffer_.data(), produced));
        if (step == PakDecoder::Step::kEnd) state = State::kEnded;
        else if (step == PakDecoder::Step::kError) state = State::kDamaged;
        else if (produced == 0 && rest.size() == before) break;  // it wants the next chunk
      }
    }
    done += part.size();
  }
  if (crc != e.Checksum) return EntryVerdict::Damaged("checksum mismatch");
  if (packed && state != State::kEnded) {  // damaged, or cut short
    const std::string& why = decoder ? decoder->Error() : std::string();
    return EntryVerdict::Damaged("decompression error in " + e.Name + (why.empty() ? std::string() : ": " + why));
  }
  if (length != e.OrigSize) {
    EntryVerdict check = EntryVerdict::Damaged("unpacked length differs from OrigSize");
    check.WrongLength = length;
    return check;
  }
  return Sound();
}

// Large entries are copied raw by extraction, so the bytes checked are the
// OrigSize bytes at Offset, read through one fixed buffer.
EntryVerdict PakEntryReader::VerifyLarge(RandomAccessFile& file, uint64_t archiveEnd, const PakFile& e) {
  if (e.Checksum == 0) return Sound();
  return VerifyStored(file, archiveEnd, e, e.OrigSize);
}

// A delta entry is made only against its base, so what is checked here is
// what it stores: its CRC-32 and a sound header and chunk table.
EntryVerdict PakEntryReader::VerifyDelta(RandomAccessFile& file, uint64_t archiveEnd, const PakFile& e) {
  if (e.OrigSize == 0) return EntryVerdict::Damaged("empty entry");
  EntryVerdict stored = VerifyStored(file, archiveEnd, e, e.CompSize);
  if (!stored.Sound) return stored;
  std::string why;
  if (!ReadDeltaHeader(file, archiveEnd, e, &why)) return EntryVerdict::Damaged(why);
  return Sound();
}

EntryVerdict PakEntryReader::VerifyStored(RandomAccessFile& file, uint64_t archiveEnd, const PakFile& e,
                                          uint64_t stored) {
  if (!StoredInside(e, stored, archiveEnd)) return EntryVerdict::Damaged("stored bytes past the end of the file");
  const std::optional<uint32_t> crc = StoredCrc(file, e, stored);
  if (!crc) return EntryVerdict::Damaged("short read");
  if (*crc != e.Checksum) return EntryVerdict::Damaged("checksum mismatch");
  return Sound();
}

PakDecoder& PakEntryReader::Decoder(PakCodec codec) {
  std::unique_ptr<PakDecoder>& d = decoders_[codec == PakCodec::kZstd ? 1 : 0];
  if (d) d->Reset();
  else d = std::make_unique<PakDecoder>(codec);
  return *d;
}

}  // namespace ferry
