// Read cursor over a memory block it does not own, and the counted-string
// helpers shared by the setup information record and the command stream.
//
// A thin layer over ByteReader/ByteWriter: reading past the end yields
// nothing (a count that cannot be read is 0, missing characters are not
// added, a missing byte is 0) and never touches memory outside the block.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "base/byte_reader.h"
#include "base/byte_writer.h"
#include "base/random_access_file.h"

namespace ferry {

class BufferManager {
 public:
  BufferManager(const void* data, size_t size) : reader_(data, size) {}
  explicit BufferManager(std::span<const uint8_t> data) : reader_(data) {}

  // The next min(n, left) bytes; empty at the end. The vector owns them.
  std::vector<uint8_t> ReadBlock(size_t n);
  // Copies the next min(n, left) bytes into place; returns how many.
  size_t ReadInto(size_t n, void* place);
  void SetPosition(size_t p) { reader_.Seek(p); }
  size_t Position() const { return reader_.Position(); }
  size_t Remaining() const { return reader_.Remaining(); }

  uint8_t ReadByte() { return reader_.U8(); }
  uint16_t ReadU16() { return reader_.U16(); }
  int32_t ReadI32() { return reader_.I32(); }

  ByteReader& Reader() { return reader_; }

 private:
  ByteReader reader_;
};

// u16 count, then that many 8-bit characters (those present).
std::string ReadLenString(BufferManager& buffer);
std::string ReadLenString(ByteReader& reader);
// Same bytes from an open file at *offset, which moves past the string.
std::string ReadLenString(RandomAccessFile& file, uint64_t& offset);

// Writes the u16 count and the characters. Texts over 65,535 characters do
// not fit the count and raise SetupError.
void WriteLenString(ByteWriter& writer, std::string_view text);
// The same at *offset, which moves past the string; false when the file
// refused the bytes (the offset then stays).
bool WriteLenString(RandomAccessFile& file, uint64_t& offset, std::string_view text);

}  // namespace ferry
