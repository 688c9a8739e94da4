// Program files made byte by byte: the headers a linker writes and the
// certificate table a signer appends, so tests can say where each field lies.
#pragma once

#include <algorithm>
#include <cstdint>
#include <vector>

namespace ferry::test {

inline constexpr size_t kPeAt = 0x80;                  // e_lfanew
inline constexpr size_t kOptionalAt = kPeAt + 4 + 20;  // the optional header
inline constexpr size_t kPeCheckSumAt = kOptionalAt + 64;

inline void PutLe(std::vector<uint8_t>& b, size_t at, uint64_t value, int width) {
  for (int i = 0; i < width; ++i) b[at + i] = static_cast<uint8_t>(value >> (8 * i));
}

inline size_t PeSecurityEntryAt(bool plus) { return kOptionalAt + (plus ? 144 : 128); }

// "MZ", e_lfanew, "PE\0\0", a file header and a PE32 or PE32+ optional header
// with 16 data directories (all empty) and CheckSum 0x1234, then `body` bytes of 0xCC.
inline std::vector<uint8_t> PeImage(bool plus, size_t body) {
  const size_t optionalSize = plus ? 240 : 224;
  std::vector<uint8_t> b(kOptionalAt + optionalSize, 0);
  b[0] = 'M';
  b[1] = 'Z';
  PutLe(b, 0x3C, kPeAt, 4);
  b[kPeAt] = 'P';
  b[kPeAt + 1] = 'E';
  PutLe(b, kPeAt + 4 + 16, optionalSize, 2);
  PutLe(b, kOptionalAt, plus ? 0x20B : 0x10B, 2);
  PutLe(b, kPeCheckSumAt, 0x1234, 4);
  PutLe(b, kOptionalAt + (plus ? 108 : 92), 16, 4);
  b.insert(b.end(), body, 0xCC);
  return b;
}

inline void SetSecurityEntry(std::vector<uint8_t>& image, bool plus, uint32_t address, uint32_t size) {
  PutLe(image, PeSecurityEntryAt(plus), address, 4);
  PutLe(image, PeSecurityEntryAt(plus) + 4, size, 4);
}

// Signs as a signer does: `pad` zero bytes, then a table of one
// WIN_CERTIFICATE per length (dwLength as given, each padded to 8 bytes),
// and the security entry pointing at it.
inline void AppendCertificates(std::vector<uint8_t>& image, bool plus, size_t pad,
                               const std::vector<uint32_t>& lengths) {
  image.insert(image.end(), pad, 0);
  const size_t table = image.size();
  for (uint32_t length : lengths) {
    const size_t at = image.size();
    image.resize(at + std::max<size_t>(8, (length + 7) / 8 * 8), 0x5A);
    PutLe(image, at, length, 4);
    PutLe(image, at + 4, 0x0200, 2);
    PutLe(image, at + 6, 0x0002, 2);
  }
  SetSecurityEntry(image, plus, static_cast<uint32_t>(table), static_cast<uint32_t>(image.size() - table));
}

}  // namespace ferry::test
