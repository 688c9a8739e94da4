#include "formats/pak/pe_image.h"

#include <vector>

#include "base/byte_reader.h"

namespace ferry {

namespace {

constexpr size_t kDosHeaderSize = 64;
constexpr size_t kLfanewOffset = 0x3C;
constexpr size_t kFileHeaderSize = 20;
constexpr size_t kCheckSumOffset = 64;
constexpr uint32_t kSecurityIndex = 4;
constexpr size_t kDirectorySize = 8;
constexpr size_t kCertificateHeaderSize = 8;

// Where the fields this module reads and clears lie in the file.
struct PeLayout {
  uint64_t CheckSumAt = 0;
  uint64_t SecurityEntryAt = 0;
  uint64_t HeadersEnd = 0;  // end of the optional header
  uint32_t TableAddress = 0;
  uint32_t TableSize = 0;
};

// Where the optional header lies: none for anything that is not a PE image.
struct PeHeaders {
  uint64_t NtAt = 0;          // the "PE\0\0" signature
  uint64_t OptionalAt = 0;    // from NtAt
  uint16_t OptionalSize = 0;
  size_t CountAt = 0;         // NumberOfRvaAndSizes, from the optional header
  std::vector<uint8_t> Nt;    // the headers read, from NtAt
  uint64_t CheckSumAt() const { return NtAt + OptionalAt + kCheckSumOffset; }
};

std::optional<PeHeaders> ReadHeaders(RandomAccessFile& file) {
  std::vector<uint8_t> dos = file.ReadVector(0, kDosHeaderSize);
  ByteReader d(dos);
  if (d.String(2) != "MZ") return std::nullopt;
  d.Seek(kLfanewOffset);
  PeHeaders h;
  h.NtAt = d.U32();
  if (d.Failed()) return std::nullopt;

  // Signature, file header and the longest optional header with its
  // directories up to the security entry (PE32+: 112 + 5 x 8 bytes).
  constexpr size_t kWanted = 4 + kFileHeaderSize + 112 + (kSecurityIndex + 1) * kDirectorySize;
  h.Nt = file.ReadVector(h.NtAt, kWanted);
  ByteReader r(h.Nt);
  if (r.String(4) != std::string("PE\0\0", 4)) return std::nullopt;
  r.Skip(16);
  h.OptionalSize = r.U16();
  r.Skip(2);
  h.OptionalAt = r.Position();
  const uint16_t magic = r.U16();
  if (r.Failed()) return std::nullopt;
  if (magic == 0x10B) h.CountAt = 92;
  else if (magic == 0x20B) h.CountAt = 108;
  else return std::nullopt;
  return h;
}

// None for anything that is not a PE image whose optional header holds a
// security directory entry: such a file carries no signature.
std::optional<PeLayout> ReadLayout(RandomAccessFile& file) {
  std::optional<PeHeaders> h = ReadHeaders(file);
  if (!h) return std::nullopt;
  ByteReader r(h->Nt);
  const uint64_t ntAt = h->NtAt;
  const uint64_t optionalAt = h->OptionalAt;
  const uint16_t optionalSize = h->OptionalSize;
  const size_t countAt = h->CountAt;
  const size_t securityAt = countAt + 4 + kSecurityIndex * kDirectorySize;
  if (optionalSize < securityAt + kDirectorySize) return std::nullopt;
  r.Seek(optionalAt + countAt);
  if (r.U32() <= kSecurityIndex) return std::nullopt;
  r.Seek(optionalAt + securityAt);
  PeLayout layout;
  layout.TableAddress = r.U32();
  layout.TableSize = r.U32();
  if (r.Failed()) return std::nullopt;
  layout.CheckSumAt = h->CheckSumAt();
  layout.SecurityEntryAt = ntAt + optionalAt + securityAt;
  layout.HeadersEnd = ntAt + optionalAt + optionalSize;
  return layout;
}

// The entries' lengths, each rounded up to 8, add up to the table exactly.
bool EntriesCoverTable(std::span<const uint8_t> table) {
  ByteReader r(table);
  while (!r.AtEnd()) {
    if (!r.Has(kCertificateHeaderSize)) return false;
    const uint64_t length = r.U32();
    r.Skip(4);  // revision, type
    const uint64_t padded = (length + kPeTableAlignment - 1) / kPeTableAlignment * kPeTableAlignment;
    if (length < kCertificateHeaderSize || padded - kCertificateHeaderSize > r.Remaining()) return false;
    r.Skip(padded - kCertificateHeaderSize);
  }
  return true;
}

}  // namespace

std::optional<uint64_t> PeAppendedDataEnd(RandomAccessFile& file) {
  const uint64_t size = file.Size();
  std::optional<PeLayout> layout = ReadLayout(file);
  if (!layout || (layout->TableAddress == 0 && layout->TableSize == 0)) return size;
  const uint64_t address = layout->TableAddress;
  const uint64_t tableSize = layout->TableSize;
  if (address < layout->HeadersEnd || address % kPeTableAlignment != 0) return std::nullopt;
  if (address > size || tableSize != size - address) return std::nullopt;
  if (tableSize < kCertificateHeaderSize || tableSize > kMaxCertificateTable) return std::nullopt;
  std::vector<uint8_t> table = file.ReadVector(address, static_cast<size_t>(tableSize));
  if (table.size() != tableSize || !EntriesCoverTable(table)) return std::nullopt;
  return address;
}

bool PeClearSecurityEntry(RandomAccessFile& image) {
  std::optional<PeLayout> layout = ReadLayout(image);
  if (!layout) return false;
  const uint8_t zeros[kDirectorySize] = {};
  image.WriteAt(layout->SecurityEntryAt, std::span(zeros, kDirectorySize));
  image.WriteAt(layout->CheckSumAt, std::span(zeros, 4));
  return true;
}

bool PeClearCheckSum(RandomAccessFile& image) {
  std::optional<PeHeaders> h = ReadHeaders(image);
  if (!h || image.Size() < h->CheckSumAt() + 4) return false;
  const uint8_t zeros[4] = {};
  image.WriteAt(h->CheckSumAt(), zeros);
  return true;
}

bool PeWriteCheckSum(RandomAccessFile& image) {
  std::optional<PeLayout> layout = ReadLayout(image);
  if (!layout) return false;
  const uint64_t size = image.Size();
  uint64_t sum = 0;
  std::vector<uint8_t> chunk(64u << 10);  // even, so words never straddle chunks
  for (uint64_t at = 0; at < size; at += chunk.size()) {
    size_t got = image.ReadAt(at, chunk);
    if (got == 0) return false;
    for (size_t i = 0; i < got; i += 2) {
      const uint64_t pos = at + i;
      if (pos >= layout->CheckSumAt && pos < layout->CheckSumAt + 4) continue;
      sum += chunk[i] | (i + 1 < got ? uint32_t{chunk[i + 1]} << 8 : 0u);
      sum = (sum & 0xFFFF) + (sum >> 16);
    }
  }
  sum = (sum & 0xFFFF) + (sum >> 16);
  const uint32_t checkSum = static_cast<uint32_t>(sum + size);
  const uint8_t field[4] = {static_cast<uint8_t>(checkSum), static_cast<uint8_t>(checkSum >> 8),
                            static_cast<uint8_t>(checkSum >> 16), static_cast<uint8_t>(checkSum >> 24)};
  image.WriteAt(layout->CheckSumAt, field);
  return true;
}

}  // namespace ferry
