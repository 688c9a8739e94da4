#include "formats/vfs/vfs_format.h"

#include <algorithm>
#include <cstring>
#include <ctime>

#include "base/byte_reader.h"
#include "base/byte_writer.h"
#include "base/random_access_file.h"
#include "base/setup_error.h"

namespace ferry {

namespace {

[[noreturn]] void Malformed(const std::string& path, const std::string& what) {
  throw SetupError("VFS archive " + path + " is damaged: " + what);
}

}  // namespace

VfsHeader VfsHeader::Read(RandomAccessFile& file, const std::string& path) {
  uint64_t size = file.Size();
  if (size < 52 + uint64_t{kVfsDescriptionSize})
    Malformed(path, "the file is shorter than a header (" + std::to_string(size) + " bytes)");
  auto head = file.ReadVector(0, 48);
  ByteReader r(head);
  VfsHeader h;
  uint32_t versionBits = r.U32();
  std::memcpy(&h.Version, &versionBits, 4);
  h.BlockSize = r.U32();
  h.BlockCount = r.U32();
  h.RootCount = r.U32();
  h.Reserved1 = r.U32();
  h.Reserved2 = r.U32();
  h.Reserved3 = r.U32();
  auto digest = r.Bytes(16);
  std::copy(digest.begin(), digest.end(), h.Digest.begin());
  h.DescriptionSize = r.U32();

  if (h.DescriptionSize < kVfsDescriptionSize)
    Malformed(path, "DescriptionSize " + std::to_string(h.DescriptionSize) + " is below 256");
  if (h.BlockSize == 0 || h.BlockSize > kVfsMaxBlockSize)
    Malformed(path, "BlockSize " + std::to_string(h.BlockSize) + " is out of range");
  if (h.BlockCount == 0) Malformed(path, "BlockCount is 0");
  if (h.RootCount == 0 || h.RootCount > kVfsMaxRootCount)
    Malformed(path, "RootCount " + std::to_string(h.RootCount) + " is out of range (1 to 256)");
  if (h.DataOffset() > size)
    Malformed(path, "the file (" + std::to_string(size) + " bytes) ends before its root table does (" +
                        std::to_string(h.DataOffset()) + ")");

  auto rest = file.ReadVector(48, h.DescriptionSize + 4);
  ByteReader t(rest);
  h.Description = t.String(kVfsDescriptionSize);
  auto extra = t.Bytes(h.DescriptionSize - kVfsDescriptionSize);
  h.DescriptionExtra.assign(extra.begin(), extra.end());
  h.UsedBlocks = t.U32();
  if (t.Failed()) Malformed(path, "the header is cut short");
  return h;
}

std::vector<uint8_t> VfsHeader::HeadBytes() const {
  ByteWriter w;
  uint32_t versionBits;
  std::memcpy(&versionBits, &Version, 4);
  w.U32(versionBits);
  w.U32(BlockSize);
  w.U32(BlockCount);
  w.U32(RootCount);
  w.U32(Reserved1);
  w.U32(Reserved2);
  w.U32(Reserved3);
  w.Bytes(Digest);
  return w.Take();
}

std::vector<uint8_t> VfsHeader::TailBytes() const {
  ByteWriter w;
  w.U32(DescriptionSize);
  std::string desc = Description;
  desc.resize(kVfsDescriptionSize, '\0');
  w.String(desc);
  w.Bytes(DescriptionExtra);
  w.U32(UsedBlocks);
  return w.Take();
}

VfsDirRecord VfsDirRecord::Read(ByteReader& r) {
  VfsDirRecord rec;
  rec.Name = VfsStoredName(r.String(kVfsNameLength));
  r.Skip(3);
  rec.Flags = r.U32();
  rec.FileDate = r.U32();
  rec.FirstBlock = r.U32();
  rec.StoredSize = r.U32();
  rec.UnpackedSize = r.U32();
  return rec;
}

void VfsDirRecord::Write(ByteWriter& w) const {
  std::string name = Name.substr(0, kVfsNameLength);
  name.resize(kVfsNameLength + 3, '\0');
  w.String(name);
  w.U32(Flags);
  w.U32(FileDate);
  w.U32(FirstBlock);
  w.U32(StoredSize);
  w.U32(UnpackedSize);
}

std::vector<uint8_t> VfsDirRecord::Bytes() const {
  ByteWriter w;
  Write(w);
  return w.Take();
}

size_t VfsFileBuffer::Read(void* destination, size_t count) {
  size_t n = std::min(count, bytes_.size() - position_);
  if (n) std::memcpy(destination, bytes_.data() + position_, n);
  position_ += n;
  return n;
}

uint32_t VfsFileBuffer::ReadU32() {
  uint8_t b[4] = {0, 0, 0, 0};
  Read(b, 4);
  return b[0] | (b[1] << 8) | (b[2] << 16) | (uint32_t{b[3]} << 24);
}

std::string VfsFileBuffer::ReadChars(size_t count) {
  std::string s;
  for (size_t i = 0; i < count; ++i) {
    char c = 0;
    Read(&c, 1);
    s.push_back(c);
  }
  return s;
}

std::string VfsStoredName(std::string_view name) {
  name = name.substr(0, std::min(name.find('\0'), kVfsNameLength));
  return std::string(name);
}

uint32_t PathHash(std::string_view key) {
  uint32_t h = 0;
  for (char c : key) h = static_cast<uint8_t>(c) + (h << 6) + (h << 16) - h;
  return h;
}

bool InsertSorted(std::vector<VfsHashRecord>& records, size_t length, const VfsHashRecord& record) {
  length = std::min(length, records.size());
  if (length == 0) return false;
  for (size_t i = 0; i < length; ++i) {
    if (records[i].Hash == record.Hash) {
      records[i].Unique = 0;
      return false;
    }
  }
  size_t pos = length - 1;
  for (size_t i = 0; i < length; ++i) {
    if (records[i].Hash == 0 || records[i].Hash > record.Hash) {
      pos = i;
      break;
    }
  }
  for (size_t i = length - 1; i > pos; --i) records[i] = records[i - 1];
  records[pos] = record;
  return true;
}

std::string HashFilePath(std::string_view archivePath) {
  size_t nameStart = archivePath.find_last_of("\\/");
  nameStart = nameStart == std::string_view::npos ? 0 : nameStart + 1;
  size_t dot = archivePath.rfind('.');
  if (dot == std::string_view::npos || dot < nameStart) return std::string(archivePath) + ".ht";
  return std::string(archivePath.substr(0, dot)) + ".ht";
}

std::vector<VfsHashRecord> ParseHashFile(std::span<const uint8_t> data) {
  ByteReader r(data);
  uint32_t count = r.U32();
  size_t present = std::min<size_t>(count, r.Remaining() / kVfsHashRecordSize);
  std::vector<VfsHashRecord> records(present);
  for (auto& rec : records) {
    rec.Hash = r.U32();
    rec.Flags = r.U32();
    rec.StoredSize = r.U32();
    rec.UnpackedSize = r.U32();
    rec.FirstBlock = r.U32();
    rec.Unique = r.U8();
  }
  return records;
}

std::vector<uint8_t> BuildHashFile(std::span<const VfsHashRecord> records) {
  ByteWriter w;
  w.U32(static_cast<uint32_t>(records.size()));
  for (const auto& rec : records) {
    w.U32(rec.Hash);
    w.U32(rec.Flags);
    w.U32(rec.StoredSize);
    w.U32(rec.UnpackedSize);
    w.U32(rec.FirstBlock);
    w.U8(rec.Unique);
  }
  return w.Take();
}

std::vector<VfsDirRecord> ParseListing(std::span<const uint8_t> data, std::string_view owner) {
  if (data.size() % kVfsDirRecordSize != 0)
    throw SetupError("VFS listing of " + std::string(owner) + " is damaged: " + std::to_string(data.size()) +
                     " bytes are not a whole number of records");
  ByteReader r(data);
  std::vector<VfsDirRecord> out;
  out.reserve(data.size() / kVfsDirRecordSize);
  while (!r.AtEnd()) out.push_back(VfsDirRecord::Read(r));
  return out;
}

std::vector<uint8_t> BuildListingBytes(std::span<const VfsDirRecord* const> records) {
  ByteWriter w;
  for (const VfsDirRecord* rec : records) rec->Write(w);
  return w.Take();
}

}  // namespace ferry
