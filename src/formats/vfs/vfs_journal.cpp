#include "formats/vfs/vfs_journal.h"

#include <zlib.h>

#include <algorithm>

#include "base/byte_reader.h"
#include "base/byte_writer.h"
#include "base/setup_error.h"
#include "formats/vfs/vfs_format.h"
#include "formats/vfs/vfs_fs.h"

namespace ferry {

namespace {

constexpr uint32_t kMagic = 0x314A5646;  // "FVJ1"
constexpr size_t kHeaderSize = 24;

uint32_t Crc(std::span<const uint8_t> bytes) {
  uLong crc = crc32(0L, Z_NULL, 0);
  // zlib takes a uInt count; records are far below 4 GiB.
  return static_cast<uint32_t>(crc32(crc, bytes.data(), static_cast<uInt>(bytes.size())));
}

void SealRecord(ByteWriter& w) { w.U32(Crc(w.Data())); }

}  // namespace

VfsJournal::VfsJournal(FileSystem& fs, std::string archivePath) : fs_(fs), archive_path_(std::move(archivePath)) {}

void VfsJournal::Start(RandomAccessFile& archive) {
  std::string path = PathFor(archive_path_);
  file_ = fs_.Open(path, FileMode::kCreate);
  if (!file_) throw SetupError("Cannot create the journal " + path);
  original_length_ = archive.Size();
  ByteWriter w;
  w.U32(kMagic);
  w.U32(kPageSize);
  w.U64(original_length_);
  w.U32(0);
  SealRecord(w);
  file_->WriteAt(0, w.Data());
  file_->Flush();
  size_ = w.Size();
  pages_.clear();
  side_saved_ = false;
}

void VfsJournal::Append(const std::vector<uint8_t>& record) {
  file_->WriteAt(size_, record);
  size_ += record.size();
}

void VfsJournal::BeforeWrite(RandomAccessFile& archive, uint64_t offset, uint64_t length) {
  if (length == 0) return;
  if (!file_) Start(archive);
  if (offset >= original_length_) return;
  uint64_t last = std::min(offset + length, original_length_) - 1;
  bool appended = false;
  for (uint64_t page = offset / kPageSize; page <= last / kPageSize; ++page) {
    if (!pages_.insert(page).second) continue;
    uint64_t start = page * kPageSize;
    size_t n = static_cast<size_t>(std::min<uint64_t>(kPageSize, original_length_ - start));
    auto old = archive.ReadVector(start, n);
    old.resize(n);
    ByteWriter w;
    w.U8(1);
    w.U64(start);
    w.U32(static_cast<uint32_t>(n));
    w.Bytes(old);
    SealRecord(w);
    Append(w.Data());
    appended = true;
  }
  if (appended) file_->Flush();
}

void VfsJournal::BeforeSideFileChange(RandomAccessFile& archive, const std::string& sidePath) {
  if (!file_) Start(archive);
  if (side_saved_) return;
  ByteWriter w;
  w.U8(2);
  auto side = fs_.Open(sidePath, FileMode::kRead);
  std::vector<uint8_t> old;
  if (side) {
    uint64_t size = side->Size();
    if (size > UINT32_MAX) throw SetupError("Side file " + sidePath + " is too large");
    old = side->ReadVector(0, static_cast<size_t>(size));
  }
  w.U8(side ? 1 : 0);
  w.U32(static_cast<uint32_t>(old.size()));
  w.Bytes(old);
  SealRecord(w);
  Append(w.Data());
  file_->Flush();
  side_saved_ = true;
}

void VfsJournal::Commit() {
  if (!file_) return;
  file_.reset();
  RemoveVfsFile(fs_, PathFor(archive_path_));
  pages_.clear();
  side_saved_ = false;
}

void VfsJournal::Abandon() {
  file_.reset();
  pages_.clear();
  side_saved_ = false;
}

bool VfsJournal::Recover(FileSystem& fs, const std::string& archivePath, RandomAccessFile& archive) {
  std::string path = PathFor(archivePath);
  std::vector<uint8_t> journal;
  {
    auto file = fs.Open(path, FileMode::kRead);
    if (!file) return false;
    journal = file->ReadVector(0, static_cast<size_t>(file->Size()));
  }
  ByteReader r(journal);
  uint32_t magic = r.U32();
  r.U32();  // page size: records carry their own lengths
  uint64_t original = r.U64();
  r.U32();
  uint32_t crc = r.U32();
  // A header that never reached the disk whole means no archive byte was
  // written after it: there is nothing to undo.
  if (!r.Failed() && magic == kMagic && crc == Crc(std::span(journal).first(kHeaderSize - 4))) {
    std::string sidePath = HashFilePath(archivePath);
    while (!r.AtEnd()) {
      size_t start = r.Position();
      uint8_t type = r.U8();
      uint64_t offset = 0;
      bool existed = false;
      if (type == 1) {
        offset = r.U64();
      } else if (type == 2) {
        existed = r.U8() != 0;
      } else {
        break;
      }
      uint32_t length = r.U32();
      if (!r.Has(length) || !r.Has(size_t{length} + 4)) break;
      auto bytes = r.Bytes(length);
      size_t end = r.Position();
      if (r.U32() != Crc(std::span(journal).subspan(start, end - start)) || r.Failed()) break;
      if (type == 1) {
        archive.WriteAt(offset, bytes);
      } else if (existed) {
        auto side = fs.Open(sidePath, FileMode::kCreate);
        if (!side) throw SetupError("Cannot restore " + sidePath);
        side->WriteAt(0, bytes);
        side->Flush();
      } else {
        RemoveVfsFile(fs, sidePath);
      }
    }
    archive.Truncate(original);
    archive.Flush();
  }
  RemoveVfsFile(fs, path);
  return true;
}

}  // namespace ferry
