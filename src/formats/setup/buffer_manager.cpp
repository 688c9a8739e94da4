#include "formats/setup/buffer_manager.h"

#include <algorithm>
#include <cstring>

#include "base/setup_error.h"

namespace ferry {

std::vector<uint8_t> BufferManager::ReadBlock(size_t n) {
  auto bytes = reader_.Bytes(std::min(n, reader_.Remaining()));
  return {bytes.begin(), bytes.end()};
}

size_t BufferManager::ReadInto(size_t n, void* place) {
  auto bytes = reader_.Bytes(std::min(n, reader_.Remaining()));
  if (!bytes.empty()) std::memcpy(place, bytes.data(), bytes.size());
  return bytes.size();
}

std::string ReadLenString(BufferManager& buffer) { return buffer.Reader().LenString(); }

std::string ReadLenString(ByteReader& reader) { return reader.LenString(); }

std::string ReadLenString(RandomAccessFile& file, uint64_t& offset) {
  uint8_t countBytes[2] = {0, 0};
  size_t got = file.ReadAt(offset, countBytes);
  offset += got;
  if (got < 2) return {};
  size_t count = countBytes[0] | (size_t{countBytes[1]} << 8);
  std::vector<uint8_t> chars = file.ReadVector(offset, count);
  offset += chars.size();
  return std::string(chars.begin(), chars.end());
}

void WriteLenString(ByteWriter& writer, std::string_view text) { writer.LenString(text); }

bool WriteLenString(RandomAccessFile& file, uint64_t& offset, std::string_view text) {
  ByteWriter w;
  w.LenString(text);
  try {
    file.WriteAt(offset, w.Data());
  } catch (const SetupError&) {
    return false;
  }
  offset += w.Size();
  return true;
}

}  // namespace ferry
