#include "formats/pak/crc32.h"

#include <array>
#include <bit>
#include <cstring>

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#define FERRY_CRC_CLMUL 1
#endif

namespace ferry {

namespace {

// Table k gives the register contribution of a byte that still has k more
// bytes behind it in the same 8-byte step (slice-by-8); table 0 is the
// classic byte-at-a-time table.
using CrcTables = std::array<std::array<uint32_t, 256>, 8>;

constexpr CrcTables MakeTables() {
  CrcTables t{};
  for (uint32_t n = 0; n < 256; ++n) {
    uint32_t c = n;
    for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
    t[0][n] = c;
  }
  for (size_t k = 1; k < 8; ++k)
    for (uint32_t n = 0; n < 256; ++n) t[k][n] = (t[k - 1][n] >> 8) ^ t[0][t[k - 1][n] & 0xFF];
  return t;
}

constexpr CrcTables kTables = MakeTables();

uint32_t LoadLe32(const uint8_t* p) {
  uint32_t v;
  std::memcpy(&v, p, 4);
  if constexpr (std::endian::native == std::endian::big) v = __builtin_bswap32(v);
  return v;
}

uint32_t UpdateBytes(uint32_t reg, const uint8_t* p, size_t n) {
  for (size_t i = 0; i < n; ++i) reg = (reg >> 8) ^ kTables[0][(reg ^ p[i]) & 0xFF];
  return reg;
}

uint32_t UpdateSlice8(uint32_t reg, const uint8_t* p, size_t n) {
  for (; n >= 8; p += 8, n -= 8) {
    uint32_t lo = LoadLe32(p) ^ reg;
    uint32_t hi = LoadLe32(p + 4);
    reg = kTables[7][lo & 0xFF] ^ kTables[6][(lo >> 8) & 0xFF] ^ kTables[5][(lo >> 16) & 0xFF] ^
          kTables[4][lo >> 24] ^ kTables[3][hi & 0xFF] ^ kTables[2][(hi >> 8) & 0xFF] ^
          kTables[1][(hi >> 16) & 0xFF] ^ kTables[0][hi >> 24];
  }
  return UpdateBytes(reg, p, n);
}

#ifdef FERRY_CRC_CLMUL

// Carry-less multiply folding: four 128-bit lanes are carried forward by
// 512 bits at a time (x^(512+-32) mod P), then folded into one lane by
// 128 bits. The folded lane has the same remainder as everything it
// replaced, so the table finishes it from a zero register.
__attribute__((target("pclmul,sse2"))) inline __m128i Fold(__m128i x, __m128i k, __m128i next) {
  __m128i lo = _mm_clmulepi64_si128(x, k, 0x00);
  __m128i hi = _mm_clmulepi64_si128(x, k, 0x11);
  return _mm_xor_si128(_mm_xor_si128(lo, hi), next);
}

__attribute__((target("pclmul,sse2"))) uint32_t UpdateClmul(uint32_t reg, const uint8_t* p, size_t n) {
  auto load = [](const uint8_t* q) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(q)); };
  __m128i x0 = _mm_xor_si128(load(p), _mm_cvtsi32_si128(static_cast<int>(reg)));
  __m128i x1 = load(p + 16), x2 = load(p + 32), x3 = load(p + 48);
  p += 64;
  n -= 64;
  const __m128i k512 = _mm_set_epi64x(0x1c6e41596, 0x154442bd4);
  for (; n >= 64; p += 64, n -= 64) {
    x0 = Fold(x0, k512, load(p));
    x1 = Fold(x1, k512, load(p + 16));
    x2 = Fold(x2, k512, load(p + 32));
    x3 = Fold(x3, k512, load(p + 48));
  }
  const __m128i k128 = _mm_set_epi64x(0x0ccaa009e, 0x1751997d0);
  x0 = Fold(x0, k128, x1);
  x0 = Fold(x0, k128, x2);
  x0 = Fold(x0, k128, x3);
  for (; n >= 16; p += 16, n -= 16) x0 = Fold(x0, k128, load(p));
  uint8_t lane[16];
  _mm_storeu_si128(reinterpret_cast<__m128i*>(lane), x0);
  return UpdateSlice8(UpdateSlice8(0, lane, 16), p, n);
}

bool HaveClmul() {
  static const bool have = [] {
    __builtin_cpu_init();
    return __builtin_cpu_supports("pclmul") && __builtin_cpu_supports("sse2");
  }();
  return have;
}

#endif

uint32_t Update(uint32_t reg, const uint8_t* p, size_t n) {
#ifdef FERRY_CRC_CLMUL
  if (n >= 128 && HaveClmul()) return UpdateClmul(reg, p, n);
#endif
  return UpdateSlice8(reg, p, n);
}

}  // namespace

bool CalcCrc32(const void* buffer, size_t length, uint32_t& out) {
  if (length == 0) return true;
  if (!buffer) return false;
  out = Update(0xFFFFFFFFu, static_cast<const uint8_t*>(buffer), length) ^ 0xFFFFFFFFu;
  return true;
}

uint32_t Crc32(std::span<const uint8_t> data) {
  uint32_t crc = 0;
  CalcCrc32(data.data(), data.size(), crc);
  return crc;
}

uint32_t Crc32Update(uint32_t crc, std::span<const uint8_t> data) {
  if (data.empty()) return crc;
  return Update(crc ^ 0xFFFFFFFFu, data.data(), data.size()) ^ 0xFFFFFFFFu;
}

}  // namespace ferry
