// Bounds-checked little-endian reader over a byte span.
//
// Every untrusted byte goes through here. A read past the end does not throw:
// it yields zeros (or an empty span/string), sets the sticky Failed() flag and
// moves the position to the end, so a parser reports damage the way its format
// defines it ("missing bytes read as 0 or empty").
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

namespace ferry {

class ByteReader {
 public:
  explicit ByteReader(std::span<const uint8_t> data) : data_(data) {}
  ByteReader(const void* data, size_t size)
      : data_(static_cast<const uint8_t*>(data), size) {}

  uint8_t U8();
  uint16_t U16();
  uint32_t U32();
  uint64_t U64();
  int32_t I32() { return static_cast<int32_t>(U32()); }

  // n bytes, or the bytes that are left (and Failed()) when fewer remain.
  std::span<const uint8_t> Bytes(size_t n);
  // n bytes as an 8-bit string; short like Bytes().
  std::string String(size_t n);
  // Counted string: u16 character count, then that many 8-bit characters.
  std::string LenString();

  void Skip(size_t n);
  void Seek(size_t pos);  // past the end: position at end, Failed()

  size_t Position() const { return pos_; }
  size_t Size() const { return data_.size(); }
  size_t Remaining() const { return data_.size() - pos_; }
  bool AtEnd() const { return pos_ == data_.size(); }
  bool Failed() const { return failed_; }
  // True when n more bytes can be read without failing.
  bool Has(size_t n) const { return n <= data_.size() - pos_; }

 private:
  uint64_t ReadLe(size_t width);

  std::span<const uint8_t> data_;
  size_t pos_ = 0;
  bool failed_ = false;
};

}  // namespace ferry
