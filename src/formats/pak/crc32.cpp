#include "formats/pak/crc32.h"

#include <zlib.h>

#if defined(__x86_64__) || defined(__i386__)
#include <cpuid.h>
#include <immintrin.h>
#define FERRY_CRC_CLMUL 1
#endif

namespace ferry {

namespace {

// The register without zlib's complement on entry and exit: the folding
// below leaves a lane whose remainder is finished from a zero register.
// zlib's table code serves short buffers and machines without the
// carry-less multiply; zlib's inflate links it anyway, so the stub keeps one
// table, not two.
uint32_t UpdateTable(uint32_t reg, const uint8_t* p, size_t n) {
  return ~static_cast<uint32_t>(crc32_z(~reg, p, n));
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
  return UpdateTable(UpdateTable(0, lane, 16), p, n);
}

bool HaveClmul() {
  // cpuid directly: __builtin_cpu_supports links libgcc's whole CPU table.
  static const bool have = [] {
    unsigned eax = 0, ebx = 0, ecx = 0, edx = 0;
    if (!__get_cpuid(1, &eax, &ebx, &ecx, &edx)) return false;
    return (ecx & bit_PCLMUL) != 0 && (edx & bit_SSE2) != 0;
  }();
  return have;
}

#endif

uint32_t Update(uint32_t reg, const uint8_t* p, size_t n) {
#ifdef FERRY_CRC_CLMUL
  if (n >= 128 && HaveClmul()) return UpdateClmul(reg, p, n);
#endif
  return UpdateTable(reg, p, n);
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
