// CRC-32 (ISO-HDLC: reflected polynomial 0xEDB88320, initial and final
// complement), equal to zlib's crc32 for every buffer.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace ferry {

// The archive's checksum call: true on success. A length of 0 succeeds and
// leaves `out` untouched; callers start it at a value they can tell apart.
bool CalcCrc32(const void* buffer, size_t length, uint32_t& out);

// Convenience for code that always has a buffer: CRC-32 of the bytes (0 for none).
uint32_t Crc32(std::span<const uint8_t> data);

// Continues a running CRC-32 over the next bytes, as zlib's crc32 does: start
// at 0, feed the bytes in any split, and the result equals Crc32 of them all.
uint32_t Crc32Update(uint32_t crc, std::span<const uint8_t> data);

}  // namespace ferry
