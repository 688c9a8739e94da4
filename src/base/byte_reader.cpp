#include "base/byte_reader.h"

#include <algorithm>

namespace ferry {

uint64_t ByteReader::ReadLe(size_t width) {
  if (width > Remaining()) {
    failed_ = true;
    pos_ = data_.size();
    return 0;
  }
  uint64_t value = 0;
  for (size_t i = 0; i < width; ++i) value |= uint64_t{data_[pos_ + i]} << (8 * i);
  pos_ += width;
  return value;
}

uint8_t ByteReader::U8() { return static_cast<uint8_t>(ReadLe(1)); }
uint16_t ByteReader::U16() { return static_cast<uint16_t>(ReadLe(2)); }
uint32_t ByteReader::U32() { return static_cast<uint32_t>(ReadLe(4)); }
uint64_t ByteReader::U64() { return ReadLe(8); }

std::span<const uint8_t> ByteReader::Bytes(size_t n) {
  size_t take = n;
  if (n > Remaining()) {
    failed_ = true;
    take = Remaining();
  }
  auto out = data_.subspan(pos_, take);
  pos_ += take;
  return out;
}

std::string ByteReader::String(size_t n) {
  auto bytes = Bytes(n);
  return std::string(bytes.begin(), bytes.end());
}

std::string ByteReader::LenString() { return String(U16()); }

void ByteReader::Skip(size_t n) { Bytes(n); }

void ByteReader::Seek(size_t pos) {
  if (pos > data_.size()) {
    failed_ = true;
    pos_ = data_.size();
    return;
  }
  pos_ = pos;
}

}  // namespace ferry
