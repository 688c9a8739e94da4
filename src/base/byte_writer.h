// Little-endian writer that appends to a growing byte buffer.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace ferry {

class ByteWriter {
 public:
  void U8(uint8_t v) { bytes_.push_back(v); }
  void U16(uint16_t v) { WriteLe(v, 2); }
  void U32(uint32_t v) { WriteLe(v, 4); }
  void U64(uint64_t v) { WriteLe(v, 8); }
  void Bytes(std::span<const uint8_t> data) { bytes_.insert(bytes_.end(), data.begin(), data.end()); }
  void String(std::string_view s) { bytes_.insert(bytes_.end(), s.begin(), s.end()); }
  // Counted string (u16 count + bytes). Throws SetupError above 65,535 bytes:
  // the format cannot hold it and a silent cut would corrupt what follows.
  void LenString(std::string_view s);
  // Overwrites 4 bytes at an earlier position (for sizes known only later).
  void PatchU32(size_t pos, uint32_t v);

  size_t Size() const { return bytes_.size(); }
  const std::vector<uint8_t>& Data() const { return bytes_; }
  std::vector<uint8_t> Take() { return std::move(bytes_); }

 private:
  void WriteLe(uint64_t v, size_t width) {
    for (size_t i = 0; i < width; ++i) bytes_.push_back(static_cast<uint8_t>(v >> (8 * i)));
  }

  std::vector<uint8_t> bytes_;
};

}  // namespace ferry
