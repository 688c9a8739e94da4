// VFS archive: the on-disk records, the path hash and the side hash table.
//
// Archive layout (little-endian):
//   0   Version (float 1.0), BlockSize, BlockCount, RootCount, Reserved1..3
//   28  Digest: MD5 of every byte from offset 44 to the end of the file
//   44  DescriptionSize (>= 256), 256 description bytes, DescriptionExtra
//   48 + DescriptionSize   UsedBlocks
//   52 + DescriptionSize   block table: BlockCount x {InUse u32, Next i32}
//   then                   root table: RootCount x 88-byte directory record
//   then                   data area: block n (1-based) at data + (n-1) x BlockSize
// Side file (".ht"): u32 count, then count x 21-byte hash records sorted by hash.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "base/dos_time.h"

namespace ferry {

class ByteReader;
class ByteWriter;
class RandomAccessFile;

constexpr uint32_t kVfsFile = 1;
constexpr uint32_t kVfsDirectory = 2;
constexpr uint32_t kVfsCompressed = 8;

constexpr size_t kVfsNameLength = 65;
constexpr size_t kVfsDirRecordSize = 88;
constexpr size_t kVfsBlockEntrySize = 8;
constexpr size_t kVfsHashRecordSize = 21;
constexpr uint32_t kVfsDescriptionSize = 256;
constexpr uint64_t kVfsDigestStart = 44;  // the first byte the digest covers
constexpr uint32_t kCompressChunkSize = 50000;
constexpr uint32_t kDigestChunkSize = 262144;
// Caps on header fields: root slots are numbered by a byte, and a block is
// held in memory whole when it is written.
constexpr uint32_t kVfsMaxRootCount = 256;
constexpr uint32_t kVfsMaxBlockSize = 16u << 20;

struct VfsHeader {
  float Version = 1.0f;
  uint32_t BlockSize = 0;
  uint32_t BlockCount = 0;
  uint32_t RootCount = 0;
  uint32_t Reserved1 = 0;
  uint32_t Reserved2 = 0;
  uint32_t Reserved3 = 0;
  std::array<uint8_t, 16> Digest{};
  uint32_t DescriptionSize = kVfsDescriptionSize;
  std::string Description = std::string(kVfsDescriptionSize, '\0');
  std::vector<uint8_t> DescriptionExtra;
  uint32_t UsedBlocks = 0;

  uint64_t BlockTableOffset() const { return 52 + uint64_t{DescriptionSize}; }
  uint64_t RootTableOffset() const { return BlockTableOffset() + kVfsBlockEntrySize * uint64_t{BlockCount}; }
  uint64_t DataOffset() const { return RootTableOffset() + kVfsDirRecordSize * uint64_t{RootCount}; }
  uint64_t BlockOffset(uint32_t index0) const { return DataOffset() + uint64_t{index0} * BlockSize; }

  // Reads and checks the header; throws SetupError naming `path` and the
  // field when the file is too short for its tables or a field is out of range.
  static VfsHeader Read(RandomAccessFile& file, const std::string& path);
  // The 44 bytes before the digested range.
  std::vector<uint8_t> HeadBytes() const;
  // From offset 44: DescriptionSize, description, extra, UsedBlocks.
  std::vector<uint8_t> TailBytes() const;
};

struct VfsBlockEntry {
  uint32_t InUse = 0;
  int32_t Next = 0;  // 1-based next block, -1 on the last, 0 when free
};

// A directory record in memory form (the three pad bytes are not kept).
struct VfsDirRecord {
  std::string Name;  // at most 65 characters, cut at the first NUL
  uint32_t Flags = 0;
  uint32_t FileDate = 0;
  uint32_t FirstBlock = 0;
  uint32_t StoredSize = 0;
  uint32_t UnpackedSize = 0;

  static VfsDirRecord Read(ByteReader& r);
  void Write(ByteWriter& w) const;
  std::vector<uint8_t> Bytes() const;
  bool operator==(const VfsDirRecord&) const = default;
};

struct VfsHashRecord {
  uint32_t Hash = 0;
  uint32_t Flags = 0;
  uint32_t StoredSize = 0;
  uint32_t UnpackedSize = 0;
  uint32_t FirstBlock = 0;
  uint8_t Unique = 0;

  bool operator==(const VfsHashRecord&) const = default;
};

// A private copy of a byte range, read front to back.
class VfsFileBuffer {
 public:
  VfsFileBuffer(const uint8_t* bytes, size_t count) : bytes_(bytes, bytes + count) {}
  explicit VfsFileBuffer(std::vector<uint8_t> bytes) : bytes_(std::move(bytes)) {}

  // Copies min(count, remaining) bytes; returns how many.
  size_t Read(void* destination, size_t count);
  uint32_t ReadU32();  // 0 for the bytes that are missing
  std::string ReadChars(size_t count);

  size_t Size() const { return bytes_.size(); }
  size_t Position() const { return position_; }
  const std::vector<uint8_t>& Bytes() const { return bytes_; }

 private:
  std::vector<uint8_t> bytes_;
  size_t position_ = 0;
};

// Name as stored: cut at the first NUL and at 65 characters.
std::string VfsStoredName(std::string_view name);

// The 32-bit hash of a hash key (h * 65599 + byte over the key's bytes).
uint32_t PathHash(std::string_view key);

// Adds `record` to the first `length` slots of `records`, kept sorted by hash
// with empty slots (hash 0) at the end. A record whose hash is already there
// is not added: the existing one loses its Unique flag. Returns whether the
// record was stored. The last slot is given up to make room, so callers add
// an empty slot first.
bool InsertSorted(std::vector<VfsHashRecord>& records, size_t length, const VfsHashRecord& record);

// Side file beside an archive: the extension (from the last "." of the file
// name) replaced by ".ht", or ".ht" appended.
std::string HashFilePath(std::string_view archivePath);

// Side file contents. Parsing keeps the records the file really holds when
// its count claims more.
std::vector<VfsHashRecord> ParseHashFile(std::span<const uint8_t> data);
std::vector<uint8_t> BuildHashFile(std::span<const VfsHashRecord> records);

// Listing of a directory: back-to-back 88-byte records. Throws SetupError
// when the size is not a whole number of records.
std::vector<VfsDirRecord> ParseListing(std::span<const uint8_t> data, std::string_view owner);
std::vector<uint8_t> BuildListingBytes(std::span<const VfsDirRecord* const> records);


}  // namespace ferry
