// Archives built byte by byte, so tests can say exactly what lies in them
// (including what the writer would never write).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "base/byte_writer.h"

namespace ferry::test {

struct RawEntry {
  std::string name;
  uint32_t checksum = 0;
  uint32_t offset = 0;
  uint32_t compSize = 0;
  uint32_t origSize = 0;
  uint16_t group = 0;
};

inline void AppendDirectory(std::vector<uint8_t>& file, const std::vector<RawEntry>& entries,
                            uint32_t dataStart, uint16_t countField) {
  ByteWriter w;
  uint32_t dirOffset = static_cast<uint32_t>(file.size());
  for (const RawEntry& e : entries) {
    w.LenString(e.name);
    w.U32(e.checksum);
    w.U32(e.offset);
    w.U32(e.compSize);
    w.U32(e.origSize);
    w.U16(e.group);
  }
  w.String("RKPF");
  w.U16(1);
  w.U16(countField);
  w.U32(dataStart);
  w.U32(dirOffset);
  file.insert(file.end(), w.Data().begin(), w.Data().end());
}

inline void AppendDirectory(std::vector<uint8_t>& file, const std::vector<RawEntry>& entries,
                            uint32_t dataStart = 0) {
  AppendDirectory(file, entries, dataStart, static_cast<uint16_t>(entries.size()));
}

inline std::vector<uint8_t> Bytes(std::string_view s) { return {s.begin(), s.end()}; }

}  // namespace ferry::test
