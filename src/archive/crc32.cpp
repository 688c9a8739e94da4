#include "archive/crc32.h"

#include <array>

namespace ferry {

namespace {

constexpr std::array<uint32_t, 256> MakeTable() {
  std::array<uint32_t, 256> t{};
  for (uint32_t n = 0; n < 256; ++n) {
    uint32_t c = n;
    for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
    t[n] = c;
  }
  return t;
}

constexpr auto kTable = MakeTable();

uint32_t Update(uint32_t reg, const uint8_t* p, size_t n) {
  for (size_t i = 0; i < n; ++i) reg = (reg >> 8) ^ kTable[(reg ^ p[i]) & 0xFF];
  return reg;
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

}  // namespace ferry
