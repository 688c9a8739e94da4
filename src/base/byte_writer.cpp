#include "base/byte_writer.h"

#include "base/setup_error.h"

namespace ferry {

void ByteWriter::LenString(std::string_view s) {
  if (s.size() > 0xFFFF)
    throw SetupError("String too long for a counted string (" + std::to_string(s.size()) + " bytes)");
  U16(static_cast<uint16_t>(s.size()));
  String(s);
}

void ByteWriter::PatchU32(size_t pos, uint32_t v) {
  if (pos > bytes_.size() || 4 > bytes_.size() - pos) throw SetupError("PatchU32 outside the buffer");
  for (size_t i = 0; i < 4; ++i) bytes_[pos + i] = static_cast<uint8_t>(v >> (8 * i));
}

}  // namespace ferry
