// Archives in memory for the VFS tests.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "base/byte_reader.h"
#include "formats/vfs/vfs_archive.h"
#include "formats/vfs/vfs_check.h"
#include "formats/vfs/vfs_format.h"
#include "base/memory_file_system.h"

namespace ferry::vfstest {

inline const uint32_t kDate = DosDateTime(2024, 5, 17);
inline const std::string kPath = "C:\\game\\data.vfs";
inline const std::string kSide = "C:\\game\\data.ht";

inline VfsCreateOptions Small(uint32_t blockSize = 256, uint32_t blocks = 64, uint32_t roots = 8, bool side = false) {
  VfsCreateOptions o;
  o.BlockSize = blockSize;
  o.BlockCount = blocks;
  o.RootCount = roots;
  o.SideFile = side;
  return o;
}

// Bytes that zlib cannot shrink (a fixed pseudo-random sequence).
inline std::vector<uint8_t> Noise(size_t n, uint32_t seed = 1) {
  std::vector<uint8_t> out(n);
  uint32_t x = seed * 2654435761u + 1;
  for (auto& b : out) {
    x ^= x << 13;
    x ^= x >> 17;
    x ^= x << 5;
    b = static_cast<uint8_t>(x);
  }
  return out;
}

inline std::vector<uint8_t> Text(size_t n, char c = 'a') {
  std::vector<uint8_t> out(n);
  for (size_t i = 0; i < n; ++i) out[i] = static_cast<uint8_t>(c + i % 7);
  return out;
}

inline VfsHeader HeaderOf(const std::vector<uint8_t>& bytes) {
  MemoryFile f(bytes);
  return VfsHeader::Read(f, "test");
}

inline VfsBlockEntry EntryOf(const std::vector<uint8_t>& bytes, uint32_t block1) {
  VfsHeader h = HeaderOf(bytes);
  ByteReader r(bytes);
  r.Seek(h.BlockTableOffset() + 8 * uint64_t(block1 - 1));
  VfsBlockEntry e;
  e.InUse = r.U32();
  e.Next = r.I32();
  return e;
}

inline VfsDirRecord RootSlotOf(const std::vector<uint8_t>& bytes, uint32_t slot) {
  VfsHeader h = HeaderOf(bytes);
  ByteReader r(bytes);
  r.Seek(h.RootTableOffset() + 88 * uint64_t(slot));
  return VfsDirRecord::Read(r);
}

// Opens an archive in memory with a fixed date.
inline void Open(VfsFile& f, bool fullTree = false) {
  f.SetToday(kDate);
  f.OpenArchive(kPath, fullTree);
}

inline int32_t Put(VfsFile& f, const std::string& name, const std::vector<uint8_t>& data) {
  return f.Tree().UpdateFile(name, data.empty() ? nullptr : data.data(), static_cast<uint32_t>(data.size()));
}

// The file's data as stored (compressed chunks unpacked), read with a fresh open.
inline std::vector<uint8_t> ReadBack(FileSystem& fs, const std::string& name) {
  VfsFile f(fs);
  f.OpenArchive(kPath, true, {}, VfsAccess::kReadOnly);
  int32_t n = f.Tree().FindByPath(name);
  if (n < 0) return {0xEE};
  const VfsDirRecord& rec = *f.Tree().Node(n).Info;
  auto c = f.ReadChain(rec);
  std::vector<uint8_t> data = c ? c->Bytes() : std::vector<uint8_t>();
  if (rec.Flags & kVfsCompressed) data = DecompressChunks(data, rec.UnpackedSize);
  return data;
}

}  // namespace ferry::vfstest
