#include "formats/package/package_format.h"

#include <zlib.h>

#include <algorithm>
#include <cstring>
#include <ctime>

#include "formats/pak/crc32.h"
#include "formats/pak/tarlo_encryption.h"
#include "base/byte_reader.h"
#include "base/byte_writer.h"
#include "base/number_text.h"
#include "base/setup_error.h"

namespace ferry {

namespace {

bool IsAsciiAlnum(uint8_t c) {
  return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

bool BeginsWith(std::span<const uint8_t> bytes, std::string_view tag) {
  return bytes.size() >= tag.size() && std::memcmp(bytes.data(), tag.data(), tag.size()) == 0;
}

// The "RKP3" tag is looked for from the end of the file backwards; i is the
// length of the password block that follows it.
void ReadRkp3(std::span<const uint8_t> last, PackageTrailer& t) {
  for (size_t i = 0; i <= kMaxPasswordBlock; ++i) {
    if (i + kRkp3TagSize > last.size()) return;
    auto tag = last.subspan(last.size() - i - kRkp3TagSize, kRkp3TagSize);
    if (!BeginsWith(tag, "RKP3")) continue;
    std::copy(tag.begin(), tag.end(), t.Rkp3Tag.begin());
    if (i == 0) return;  // a tag with no block: no trailer
    t.Form = PackageTrailerForm::kRkp3;
    t.Length = i + kRkp3TagSize;
    auto block = last.subspan(last.size() - i);
    if (!BeginsWith(block, "EIH1") && !BeginsWith(block, "EIH2")) return;
    ByteReader r(block);
    t.BlockTag = r.String(4);
    t.KeyParam1 = r.U8();
    t.KeyParam2 = r.U8();
    std::string enciphered = r.String(r.U16());
    TarloEncryptionType enc;
    enc.KeyParam1 = t.KeyParam1;
    enc.KeyParam2 = t.KeyParam2;
    t.Info.Password = enc.Decrypt(enciphered);
    t.Info.HasPassword = !t.Info.Password.empty();
    if (t.BlockTag == "EIH2") t.Info.Official = r.U8() != 0;
    return;
  }
}

PackageTail Damaged(PackageTail tail, PackageReadStatus status, std::string problem) {
  tail.Status = status;
  tail.Problem = std::move(problem);
  tail.Entries.clear();
  return tail;
}

}  // namespace

PackageTrailer ReadPackageTrailer(RandomAccessFile& file) {
  PackageTrailer t;
  uint64_t size = file.Size();
  size_t want = static_cast<size_t>(std::min<uint64_t>(size, kMaxPasswordBlock + kRkp3TagSize));
  std::vector<uint8_t> last = file.ReadVector(size - want, want);
  if (last.size() >= kRkp2TrailerSize) {
    auto rkp2 = std::span<const uint8_t>(last).subspan(last.size() - kRkp2TrailerSize);
    if (BeginsWith(rkp2, "RKP2")) {
      t.Form = PackageTrailerForm::kRkp2;
      t.Length = kRkp2TrailerSize;
      std::copy(rkp2.begin(), rkp2.end(), t.Rkp2.begin());
      for (size_t i = 4; i < rkp2.size() && IsAsciiAlnum(rkp2[i]); ++i)
        t.Info.Password.push_back(static_cast<char>(rkp2[i]));
      t.Info.HasPassword = !t.Info.Password.empty();
      return t;
    }
  }
  ReadRkp3(last, t);
  return t;
}

PackageEntry DecodePackageEntry(std::span<const uint8_t> record) {
  ByteReader r(record);
  PackageEntry e;
  e.Marker = r.U16();
  e.Kind = r.U8();
  e.Spare = r.U8();
  e.FileDate = r.U32();
  e.StoredSize = r.U32();
  e.OrigSize = r.U32();
  e.DataOffset = r.U32();
  e.RunTimeSlot = r.U32();
  size_t len = std::min<size_t>(r.U8(), kPackageNameMax);
  e.Name = r.String(len);
  return e;
}

void EncodePackageEntry(const PackageEntry& e, std::vector<uint8_t>& out) {
  ByteWriter w;
  w.U16(e.Marker);
  w.U8(e.Kind);
  w.U8(e.Spare);
  w.U32(e.FileDate);
  w.U32(e.StoredSize);
  w.U32(e.OrigSize);
  w.U32(e.DataOffset);
  w.U32(e.RunTimeSlot);
  std::string_view name(e.Name);
  name = name.substr(0, kPackageNameMax);
  w.U8(static_cast<uint8_t>(name.size()));
  w.String(name);
  const auto& bytes = w.Data();
  out.insert(out.end(), bytes.begin(), bytes.end());
  out.resize(out.size() + (kPackageEntrySize - bytes.size()), 0);
}

PackageTail ReadPackageTail(RandomAccessFile& file) {
  PackageTail tail;
  tail.FileSize = file.Size();
  tail.Trailer = ReadPackageTrailer(file);
  uint64_t behind = tail.Trailer.Length + kPackageHeaderSize;
  if (tail.FileSize < behind)
    return Damaged(std::move(tail), PackageReadStatus::kCorruptHeader, "file too short for a header");
  uint64_t headerPos = tail.FileSize - behind;
  auto hb = file.ReadVector(headerPos, kPackageHeaderSize);
  ByteReader hr(hb);
  PackageHeader& h = tail.Header;
  h.DirCompSize = hr.U32();
  h.DirSize = hr.U32();
  h.FormatVersion = hr.U32();
  h.EntryCount = hr.U32();
  h.Reserved = hr.U32();
  if (h.FormatVersion != kPackageFormatVersion || h.Reserved != 0)
    return Damaged(std::move(tail), PackageReadStatus::kCorruptHeader, "format version or reserved field");
  if (h.DirCompSize > headerPos)
    return Damaged(std::move(tail), PackageReadStatus::kCorruptHeader, "directory starts before the file");
  if (uint64_t{h.EntryCount} * kPackageEntrySize != h.DirSize)
    return Damaged(std::move(tail), PackageReadStatus::kCorruptHeader, "directory size and entry count differ");
  // Deflate cannot expand more than about 1032:1; a larger claim is damage,
  // refused before anything is allocated.
  if (h.DirSize > uint64_t{h.DirCompSize} * 1032 + 64)
    return Damaged(std::move(tail), PackageReadStatus::kCorruptHeader, "directory size beyond its stream");
  tail.CutPosition = headerPos - h.DirCompSize;
  auto stream = file.ReadVector(tail.CutPosition, h.DirCompSize);
  if (stream.size() != h.DirCompSize)
    return Damaged(std::move(tail), PackageReadStatus::kCorruptHeader, "directory stream cannot be read");
  std::vector<uint8_t> dir;
  switch (PackageInflate(stream, h.DirSize, dir)) {
    case InflateStatus::kOk: break;
    case InflateStatus::kWrongLength:
      return Damaged(std::move(tail), PackageReadStatus::kCorruptHeader, "directory inflates to another size");
    case InflateStatus::kBadStream:
      return Damaged(std::move(tail), PackageReadStatus::kInflateError, "directory stream does not inflate");
  }
  tail.Entries.reserve(h.EntryCount);
  for (size_t i = 0; i < h.EntryCount; ++i) {
    PackageEntry e = DecodePackageEntry(std::span<const uint8_t>(dir).subspan(i * kPackageEntrySize,
                                                                               kPackageEntrySize));
    e.RunTimeSlot = 0;
    tail.Entries.push_back(std::move(e));
  }
  return tail;
}

namespace {

// Directory stream and header: everything of the tail but the trailer.
std::vector<uint8_t> BuildDirectoryAndHeader(std::span<const PackageEntry> entries, const PackageExtraInfo& info) {
  if (info.Password.size() > kMaxPackagePasswordLength)
    throw SetupError("A package password is at most " + std::to_string(kMaxPackagePasswordLength) +
                     " characters long");
  if (entries.size() > UINT32_MAX / kPackageEntrySize) throw SetupError("Too many package entries");
  std::vector<uint8_t> records;
  records.reserve(entries.size() * kPackageEntrySize);
  for (const auto& e : entries) EncodePackageEntry(e, records);
  std::vector<uint8_t> stream = PackageDeflate(records);
  if (stream.size() > UINT32_MAX) throw SetupError("Package directory too large");

  ByteWriter w;
  w.Bytes(stream);
  w.U32(static_cast<uint32_t>(stream.size()));
  w.U32(static_cast<uint32_t>(records.size()));
  w.U32(kPackageFormatVersion);
  w.U32(static_cast<uint32_t>(entries.size()));
  w.U32(0);
  return w.Take();
}

void AppendTrailer(std::vector<uint8_t>& out, const PackageExtraInfo& info, uint8_t rkp3Reserved, uint8_t keyParam1,
                   uint8_t keyParam2) {
  ByteWriter w;
  w.String("RKP3");
  w.U8(1);
  w.U8(rkp3Reserved);
  w.String("EIH2");
  w.U8(keyParam1);
  w.U8(keyParam2);
  TarloEncryptionType enc;
  enc.KeyParam1 = keyParam1;
  enc.KeyParam2 = keyParam2;
  w.LenString(enc.Encrypt(info.Password));
  w.U8(info.Official ? 1 : 0);
  out.insert(out.end(), w.Data().begin(), w.Data().end());
}

// `tail` ends in a header and a trailer of `trailerLength` bytes.
bool ReadsBack(std::span<const uint8_t> tail, size_t trailerLength, const PackageExtraInfo& info) {
  // The reader never looks further back than the header and the last 56 bytes.
  size_t keep = std::min(tail.size(), trailerLength + kPackageHeaderSize + kMaxPasswordBlock + kRkp3TagSize);
  MemoryFile file(std::vector<uint8_t>(tail.end() - static_cast<ptrdiff_t>(keep), tail.end()));
  PackageTrailer t = ReadPackageTrailer(file);
  // The trailer found where it was written puts the header where it was written.
  return t.Form == PackageTrailerForm::kRkp3 && t.Length == trailerLength && t.BlockTag == "EIH2" &&
         t.Info.Password == info.Password && t.Info.Official == info.Official;
}

}  // namespace

bool PackageTailReadsBack(std::span<const uint8_t> tail, const PackageExtraInfo& info) {
  size_t trailer = kRkp3TagSize + 4 + 2 + 2 + info.Password.size() + 1;
  return tail.size() >= trailer + kPackageHeaderSize && ReadsBack(tail, trailer, info);
}

std::vector<uint8_t> BuildPackageTail(std::span<const PackageEntry> entries, const PackageExtraInfo& info,
                                      uint8_t rkp3Reserved, uint8_t keyParam1, uint8_t keyParam2) {
  std::vector<uint8_t> out = BuildDirectoryAndHeader(entries, info);
  AppendTrailer(out, info, rkp3Reserved, keyParam1, keyParam2);
  if (!PackageTailReadsBack(out, info))
    throw SetupError("This password under key parameters " + std::to_string(keyParam1) + " and " +
                     std::to_string(keyParam2) + " gives a trailer that reads back wrongly");
  return out;
}

std::vector<uint8_t> BuildPackageTail(std::span<const PackageEntry> entries, const PackageExtraInfo& info,
                                      uint8_t rkp3Reserved, const std::function<uint8_t()>& drawKeyParam,
                                      uint8_t* keyParam1, uint8_t* keyParam2) {
  std::vector<uint8_t> head = BuildDirectoryAndHeader(entries, info);
  size_t headerEnd = head.size();
  auto attempt = [&](uint8_t k1, uint8_t k2) {
    head.resize(headerEnd);
    AppendTrailer(head, info, rkp3Reserved, k1, k2);
    if (!PackageTailReadsBack(head, info)) return false;
    if (keyParam1) *keyParam1 = k1;
    if (keyParam2) *keyParam2 = k2;
    return true;
  };
  for (int i = 0; i < kKeyParamDraws; ++i) {
    uint8_t k1 = drawKeyParam();
    uint8_t k2 = drawKeyParam();
    if (attempt(k1, k2)) return head;
  }
  // A source that keeps giving bad pairs: every pair in turn.
  for (uint8_t k1 = kMinKeyParam; k1 <= kMaxKeyParam; ++k1)
    for (uint8_t k2 = kMinKeyParam; k2 <= kMaxKeyParam; ++k2)
      if (attempt(k1, k2)) return head;
  throw SetupError("No key parameters give a package trailer that reads back for this password");
}

bool PackagePasswordStorable(const PackageExtraInfo& info) {
  if (info.Password.size() > kMaxPackagePasswordLength) return false;
  std::vector<uint8_t> tail(kPackageHeaderSize, 0);
  for (uint8_t k1 = kMinKeyParam; k1 <= kMaxKeyParam; ++k1)
    for (uint8_t k2 = kMinKeyParam; k2 <= kMaxKeyParam; ++k2) {
      tail.resize(kPackageHeaderSize);
      AppendTrailer(tail, info, 0, k1, k2);
      if (PackageTailReadsBack(tail, info)) return true;
    }
  return false;
}

void ScrambleHead(std::span<uint8_t> stored) {
  if (stored.size() <= 4) return;
  uint32_t crc = Crc32(stored.subspan(4));
  for (int i = 0; i < 4; ++i) stored[i] ^= static_cast<uint8_t>(crc >> (8 * i));
}

std::vector<uint8_t> PackageDeflate(std::span<const uint8_t> data) {
  z_stream z{};
  if (deflateInit(&z, 9) != Z_OK) throw SetupError("zlib: cannot start compression");
  std::vector<uint8_t> out(64 + data.size() + data.size() / 1000);
  size_t inPos = 0;
  int rc = Z_OK;
  while (rc != Z_STREAM_END) {
    if (z.total_out >= out.size()) out.resize(out.size() * 2);
    size_t chunkIn = std::min<size_t>(data.size() - inPos, 1u << 30);
    size_t chunkOut = std::min<size_t>(out.size() - z.total_out, 1u << 30);
    size_t outDone = z.total_out;
    z.next_in = const_cast<Bytef*>(data.data() + inPos);
    z.avail_in = static_cast<uInt>(chunkIn);
    z.next_out = out.data() + outDone;
    z.avail_out = static_cast<uInt>(chunkOut);
    bool last = inPos + chunkIn == data.size();
    rc = deflate(&z, last ? Z_FINISH : Z_NO_FLUSH);
    inPos += chunkIn - z.avail_in;
    if (rc == Z_STREAM_ERROR) {
      deflateEnd(&z);
      throw SetupError("zlib: compression failed");
    }
  }
  out.resize(z.total_out);
  deflateEnd(&z);
  return out;
}

InflateStatus PackageInflate(std::span<const uint8_t> stream, size_t expected, std::vector<uint8_t>& out) {
  out.clear();
  // Deflate expands at most about 1032:1: a larger claim is refused before
  // anything that size is allocated.
  if (expected > stream.size() * uint64_t{1032} + 64) return InflateStatus::kWrongLength;
  out.assign(expected, 0);
  z_stream z{};
  if (inflateInit(&z) != Z_OK) throw SetupError("zlib: cannot start decompression");
  size_t inPos = 0, outPos = 0;
  uint8_t spare = 0;  // one byte past `expected` tells a stream that is too long
  InflateStatus status = InflateStatus::kBadStream;
  for (;;) {
    size_t chunkIn = std::min<size_t>(stream.size() - inPos, 1u << 30);
    z.next_in = const_cast<Bytef*>(stream.data() + inPos);
    z.avail_in = static_cast<uInt>(chunkIn);
    bool intoSpare = outPos == expected;
    size_t chunkOut = intoSpare ? 1 : std::min<size_t>(expected - outPos, 1u << 30);
    z.next_out = intoSpare ? &spare : out.data() + outPos;
    z.avail_out = static_cast<uInt>(chunkOut);
    int rc = inflate(&z, Z_NO_FLUSH);
    inPos += chunkIn - z.avail_in;
    size_t produced = chunkOut - z.avail_out;
    if (intoSpare && produced > 0) {
      status = InflateStatus::kWrongLength;
      break;
    }
    outPos += produced;
    if (rc == Z_STREAM_END) {
      status = outPos == expected ? InflateStatus::kOk : InflateStatus::kWrongLength;
      break;
    }
    if (rc != Z_OK && rc != Z_BUF_ERROR) break;  // data, dictionary or memory error
    // No progress: the input ended inside the stream.
    if (produced == 0 && chunkIn == z.avail_in) break;
  }
  inflateEnd(&z);
  if (status != InflateStatus::kOk) out.clear();
  return status;
}

bool UnpackZlibEntry(std::span<const uint8_t> stored, uint32_t origSize, std::vector<uint8_t>& out) {
  std::vector<uint8_t> copy(stored.begin(), stored.end());
  ScrambleHead(copy);
  return PackageInflate(copy, origSize, out) == InflateStatus::kOk;
}

std::string FormatDosDateTime(uint32_t dos) {
  return DecimalText(1980 + (dos >> 25), 4) + "-" + DecimalText((dos >> 21) & 15, 2) + "-" +
         DecimalText((dos >> 16) & 31, 2) + " " + DecimalText((dos >> 11) & 31, 2) + ":" +
         DecimalText((dos >> 5) & 63, 2) + ":" + DecimalText((dos & 31) * 2, 2);
}

}  // namespace ferry
