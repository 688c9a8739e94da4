#include "formats/package/package_check.h"

#include <zlib.h>

#include <algorithm>
#include <array>

#include "base/random_access_file.h"
#include "formats/pak/crc32.h"
#include "formats/package/package_format.h"
#include "formats/sound/sound_entry.h"

namespace ferry {

namespace {

constexpr size_t kPiece = 1u << 20;
constexpr size_t kSoundHeaderSize = 58;

// The stored bytes from `from` on, in pieces; false on a short read.
template <typename Use>
bool ForEachPiece(RandomAccessFile& file, const PackageEntry& e, uint32_t from, Use use) {
  std::vector<uint8_t> piece(std::min<size_t>(kPiece, e.StoredSize));
  for (uint32_t done = from; done < e.StoredSize;) {
    const size_t n = std::min<size_t>(piece.size(), e.StoredSize - done);
    if (file.ReadAt(uint64_t{e.DataOffset} + done, std::span(piece).first(n)) != n) return false;
    if (!use(std::span<const uint8_t>(piece).first(n))) return true;
    done += static_cast<uint32_t>(n);
  }
  return true;
}

// Kind 2: the head is unscrambled with the CRC-32 of the bytes after it,
// then the stream is inflated into a small buffer and counted.
std::string ZlibEntryProblem(RandomAccessFile& file, const PackageEntry& e) {
  std::array<uint8_t, 4> head{};
  const size_t headLength = std::min<size_t>(4, e.StoredSize);
  if (file.ReadAt(e.DataOffset, std::span(head).first(headLength)) != headLength) return "cannot be read";
  if (e.StoredSize > 4) {
    uint32_t crc = 0;
    if (!ForEachPiece(file, e, 4, [&](std::span<const uint8_t> p) { return (crc = Crc32Update(crc, p)), true; }))
      return "cannot be read";
    for (int i = 0; i < 4; ++i) head[i] ^= static_cast<uint8_t>(crc >> (8 * i));
  }
  z_stream z{};
  if (inflateInit(&z) != Z_OK) return "cannot be inflated (zlib did not start)";
  std::vector<uint8_t> sink(64 * 1024);
  uint64_t produced = 0;
  int rc = Z_OK;
  auto feed = [&](std::span<const uint8_t> in) {
    z.next_in = const_cast<Bytef*>(in.data());
    z.avail_in = static_cast<uInt>(in.size());
    while (rc == Z_OK && (z.avail_in > 0 || z.avail_out == 0)) {
      z.next_out = sink.data();
      z.avail_out = static_cast<uInt>(sink.size());
      rc = inflate(&z, Z_NO_FLUSH);
      produced += sink.size() - z.avail_out;
      if (rc == Z_BUF_ERROR) rc = Z_OK;  // wants more input
      if (produced > e.OrigSize) return false;
      if (z.avail_out != 0 && z.avail_in == 0) break;
    }
    return rc == Z_OK;
  };
  const bool more = feed(std::span<const uint8_t>(head).first(headLength));
  const bool read = !more || ForEachPiece(file, e, static_cast<uint32_t>(headLength), feed);
  inflateEnd(&z);
  if (!read) return "cannot be read";
  if (produced > e.OrigSize) return "inflates to more than its size of " + std::to_string(e.OrigSize) + " bytes";
  if (rc != Z_STREAM_END) return rc == Z_OK ? "its zlib stream is cut short" : "its zlib stream is damaged";
  if (produced != e.OrigSize)
    return "inflates to " + std::to_string(produced) + " bytes, not " + std::to_string(e.OrigSize);
  return {};
}

// Kind 1: the header's payload length must be what is stored after it.
std::string SoundEntryProblem(RandomAccessFile& file, const PackageEntry& e) {
  std::vector<uint8_t> header(kSoundHeaderSize);
  SoundEntryHeader h;
  if (e.StoredSize < kSoundHeaderSize || file.ReadAt(e.DataOffset, header) != header.size() ||
      !ReadSoundEntryHeader(header, h))
    return "is shorter than a sound entry's header";
  if (uint64_t{kSoundHeaderSize} + h.PayloadLength != e.StoredSize)
    return "holds " + std::to_string(e.StoredSize - kSoundHeaderSize) + " bytes of sound, its header says " +
           std::to_string(h.PayloadLength);
  return {};
}

std::string EntryProblem(RandomAccessFile& file, const PackageEntry& e, uint64_t cut) {
  if (uint64_t{e.DataOffset} + e.StoredSize > cut) return "its stored bytes run past the entry data";
  if (e.Kind == kZlibEntryKind) return ZlibEntryProblem(file, e);
  if (e.Kind == kSoundEntryKind) return SoundEntryProblem(file, e);
  return "is of an unknown kind " + std::to_string(e.Kind);
}

}  // namespace

PackageCheckReport CheckPackageArchive(RandomAccessFile& file) {
  PackageCheckReport report;
  PackageTail tail = ReadPackageTail(file);
  if (tail.Status != PackageReadStatus::kOk) {
    report.Errors.push_back(tail.Problem);
    return report;
  }
  report.Entries = static_cast<uint32_t>(tail.Entries.size());
  for (const PackageEntry& e : tail.Entries) {
    std::string problem = EntryProblem(file, e, tail.CutPosition);
    if (!problem.empty()) report.Errors.push_back("entry " + e.Name + " " + problem);
  }
  return report;
}

}  // namespace ferry
