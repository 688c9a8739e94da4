// Block-level operations of an open archive: open, the block table, chains,
// flush with the digest, close.
#include <algorithm>
#include <bit>

#include "base/byte_reader.h"
#include "base/byte_writer.h"
#include "base/random_access_file.h"
#include "base/scope_guard.h"
#include "base/setup_error.h"
#include "base/md5.h"
#include "formats/vfs/vfs_archive.h"
#include "formats/vfs/vfs_fs.h"

namespace ferry {

namespace {

[[noreturn]] void Damaged(const std::string& path, const std::string& what) {
  throw SetupError("VFS archive " + path + " is damaged: " + what);
}

}  // namespace

VfsFile::VfsFile(FileSystem& fs)
    : fs_(fs), tree_(std::make_unique<VfsTree>(*this)), hash_(std::make_unique<VfsHashFile>(*this)) {}


// Closing only releases memory and handles; the journal stays on disk.
VfsFile::~VfsFile() { CloseArchive(); }

void VfsFile::Reset() {
  tree_->Clear();
  hash_->Clear();
  if (journal_) journal_->Abandon();
  journal_.reset();
  header_ = VfsHeader{};
  blocks_.clear();
  roots_.clear();
  free_bits_.clear();
  first_word_ = 0;
  free_count_ = 0;
  file_.reset();
}

void VfsFile::OpenArchive(const std::string& path, bool fullTree, ProgressCallback callback, VfsAccess access) {
  if (IsOpen()) CloseArchive();
  path_ = path;
  full_tree_ = fullTree;
  bytes_read_ = 0;
  recovered_ = false;
  if (callback) callback(0, 100);

  bool update = access == VfsAccess::kUpdate;
  // The product may hold its archive open while it runs; nobody is locked out.
  auto file = fs_.Open(path, update ? FileMode::kReadWriteShared : FileMode::kRead);
  if (!file) {
    if (fs_.FileExists(path)) throw SetupError("Cannot open the VFS archive " + path + (update ? " for writing" : ""));
    throw SetupError("VFS archive not found: " + path);
  }
  ScopeGuard reset([this] { Reset(); });
  if (update) {
    recovered_ = VfsJournal::Recover(fs_, path, *file);
  } else if (fs_.FileExists(VfsJournal::PathFor(path))) {
    throw SetupError("VFS archive " + path + " has an interrupted update; open it for writing to roll it back");
  }
  header_ = VfsHeader::Read(*file, path);
  bytes_read_ = header_.BlockTableOffset();
  file_ = std::move(file);
  uint64_t total = uint64_t{header_.BlockCount} + header_.RootCount;
  if (callback) callback(0, total);
  ReadBlockTable(callback);
  CheckBlockTable();
  ReadRootTable(callback);
  if (update) journal_ = std::make_unique<VfsJournal>(fs_, path);
  if (full_tree_)
    tree_->LoadAllListings();
  else
    hash_->LoadHashTable();
  reset.Dismiss();
}

void VfsFile::ReadBlockTable(const ProgressCallback& callback) {
  uint32_t count = header_.BlockCount;
  auto bytes = file_->ReadVector(header_.BlockTableOffset(), size_t{count} * kVfsBlockEntrySize);
  ByteReader r(bytes);
  blocks_.assign(count, VfsBlockEntry{});
  free_bits_.assign((size_t{count} + 63) / 64, 0);
  free_count_ = 0;
  for (uint32_t i = 0; i < count; ++i) {
    blocks_[i].InUse = r.U32();
    blocks_[i].Next = r.I32();
    if (blocks_[i].Next == 0) {
      free_bits_[i / 64] |= uint64_t{1} << (i % 64);
      ++free_count_;
    }
    if (callback) callback(i, uint64_t{count} + header_.RootCount);
  }
  if (r.Failed()) Damaged(path_, "the block table is cut short");
  first_word_ = 0;
  bytes_read_ += bytes.size();
}

// Every chain must stay inside the table, never run into a free block and
// end: a walk over such a table cannot leave it or loop.
void VfsFile::CheckBlockTable() const {
  uint32_t count = header_.BlockCount;
  for (uint32_t i = 0; i < count; ++i) {
    int32_t next = blocks_[i].Next;
    if (next == 0 || next == -1) continue;
    if (next < -1 || uint32_t(next) > count)
      Damaged(path_, "block " + std::to_string(i + 1) + " points to block " + std::to_string(next) +
                         ", outside the block table");
    if (blocks_[next - 1].Next == 0)
      Damaged(path_, "block " + std::to_string(i + 1) + " points to the free block " + std::to_string(next));
  }
  // 0 unvisited, 1 on the current walk, 2 known to reach the end.
  std::vector<uint8_t> state(count, 0);
  std::vector<uint32_t> walk;
  for (uint32_t i = 0; i < count; ++i) {
    if (state[i] || blocks_[i].Next == 0) continue;
    walk.clear();
    uint32_t b = i;
    while (true) {
      if (state[b] == 2) break;
      if (state[b] == 1) Damaged(path_, "the chain through block " + std::to_string(b + 1) + " loops");
      state[b] = 1;
      walk.push_back(b);
      if (blocks_[b].Next == -1) break;
      b = uint32_t(blocks_[b].Next - 1);
    }
    for (uint32_t w : walk) state[w] = 2;
  }
}

void VfsFile::ReadRootTable(const ProgressCallback& callback) {
  tree_->Clear();
  uint32_t count = header_.RootCount;
  auto bytes = file_->ReadVector(header_.RootTableOffset(), size_t{count} * kVfsDirRecordSize);
  ByteReader r(bytes);
  roots_.assign(count, VfsDirRecord{});
  for (uint32_t k = 0; k < count; ++k) {
    roots_[k] = VfsDirRecord::Read(r);
    if (!roots_[k].Name.empty()) CheckChain(roots_[k], roots_[k].Name);
    if (callback) callback(k + header_.BlockCount, uint64_t{header_.BlockCount} + count);
  }
  if (r.Failed()) Damaged(path_, "the root table is cut short");
  bytes_read_ += bytes.size();
  tree_->AddRootNodes();
}

uint64_t VfsFile::BlocksFor(uint64_t storedSize, uint32_t blockSize) {
  return storedSize == 0 ? 1 : (storedSize + blockSize - 1) / blockSize;
}

uint64_t VfsFile::ChainLength(uint32_t firstBlock) const {
  uint64_t n = 0;
  int64_t b = int64_t{firstBlock} - 1;
  while (b >= 0 && b < int64_t(blocks_.size()) && blocks_[b].Next != 0 && n <= blocks_.size()) {
    ++n;
    if (blocks_[b].Next == -1) break;
    b = blocks_[b].Next - 1;
  }
  return n;
}

void VfsFile::CheckChain(const VfsDirRecord& record, std::string_view path) const {
  std::string who(path);
  if (record.FirstBlock == 0 || record.FirstBlock > header_.BlockCount)
    Damaged(path_, "the chain of " + who + " starts at block " + std::to_string(record.FirstBlock) +
                       ", outside the block table");
  if (blocks_[record.FirstBlock - 1].Next == 0)
    Damaged(path_, "the chain of " + who + " starts at the free block " + std::to_string(record.FirstBlock));
  // No file holds more than the archive itself (checked only when the
  // record spans blocks, to spare a look at the file's length).
  if (record.StoredSize > header_.BlockSize && record.StoredSize > file_->Size())
    Damaged(path_, who + " claims " + std::to_string(record.StoredSize) + " bytes, more than the archive holds");
  uint64_t need = BlocksFor(record.StoredSize, header_.BlockSize);
  uint64_t have = ChainLength(record.FirstBlock);
  if (have < need)
    Damaged(path_, "the chain of " + who + " has " + std::to_string(have) + " blocks for " +
                       std::to_string(record.StoredSize) + " bytes");
}

void VfsFile::SetEntry(uint32_t index0, VfsBlockEntry entry) {
  bool wasFree = blocks_[index0].Next == 0;
  bool isFree = entry.Next == 0;
  blocks_[index0] = entry;
  if (wasFree == isFree) return;
  size_t word = index0 / 64;
  uint64_t bit = uint64_t{1} << (index0 % 64);
  if (isFree) {
    free_bits_[word] |= bit;
    ++free_count_;
    first_word_ = std::min(first_word_, word);
  } else {
    free_bits_[word] &= ~bit;
    --free_count_;
    while (first_word_ < free_bits_.size() && free_bits_[first_word_] == 0) ++first_word_;
  }
}

void VfsFile::WriteEntry(uint32_t index0) {
  ByteWriter w;
  w.U32(blocks_[index0].InUse);
  w.U32(static_cast<uint32_t>(blocks_[index0].Next));
  Write(header_.BlockTableOffset() + uint64_t{index0} * kVfsBlockEntrySize, w.Data());
}

int32_t VfsFile::FindFreeBlock(bool skipOne) const {
  bool skipped = !skipOne;
  for (size_t word = first_word_; word < free_bits_.size(); ++word) {
    uint64_t bits = free_bits_[word];
    while (bits) {
      int bit = std::countr_zero(bits);
      if (skipped) return static_cast<int32_t>(word * 64 + bit);
      skipped = true;
      bits &= bits - 1;
    }
  }
  return -1;
}

void VfsFile::Write(uint64_t offset, std::span<const uint8_t> bytes) {
  if (!journal_) throw SetupError("VFS archive " + path_ + " is open for reading only");
  journal_->BeforeWrite(*file_, offset, bytes.size());
  file_->WriteAt(offset, bytes);
}

void VfsFile::BeforeSideFileChange() {
  if (!journal_) throw SetupError("VFS archive " + path_ + " is open for reading only");
  journal_->BeforeSideFileChange(*file_, HashFilePath(path_));
}

void VfsFile::WriteRecordAt(uint64_t offset, const VfsDirRecord& record) { Write(offset, record.Bytes()); }

std::optional<VfsFileBuffer> VfsFile::ReadChain(const VfsDirRecord& record) {
  if (record.StoredSize == 0) return std::nullopt;
  if (record.FirstBlock == 0 || record.FirstBlock > header_.BlockCount)
    throw SetupError("Error: block " + std::to_string(int64_t{record.FirstBlock} - 1) + "\r" + record.Name);
  std::vector<uint8_t> out(record.StoredSize);
  size_t done = 0;
  int64_t b = int64_t{record.FirstBlock} - 1;
  while (done < out.size() && b >= 0 && b < int64_t(blocks_.size())) {
    size_t n = std::min<size_t>(out.size() - done, header_.BlockSize);
    // Bytes past the end of the file read as zeros.
    file_->ReadAt(header_.BlockOffset(uint32_t(b)), std::span(out).subspan(done, n));
    done += n;
    if (blocks_[b].Next <= 0) break;
    b = blocks_[b].Next - 1;
  }
  return VfsFileBuffer(std::move(out));
}

void VfsFile::AllocateAndWrite(VfsDirRecord& record, const uint8_t* data, uint32_t length) {
  if (length == 0 && data) throw SetupError("WriteFile: Error Buffer is Assigned but size is 0");
  int32_t first = FindFreeBlock(false);
  if (first < 0) throw SetupError("VFS archive " + path_ + " has no free block left for " + record.Name);
  record.FirstBlock = uint32_t(first) + 1;
  record.StoredSize = length;
  record.FileDate = Today();

  uint32_t blockSize = header_.BlockSize;
  std::vector<uint8_t> zeros;
  if (length == 0) zeros.assign(blockSize, 0);
  uint32_t current = uint32_t(first);
  uint64_t written = 0;
  do {
    int32_t next = -1;
    if (written + blockSize < length) {
      int32_t free = FindFreeBlock(true);
      if (free < 0) throw SetupError("VFS archive " + path_ + " has no free block left for " + record.Name);
      next = free + 1;
    }
    SetEntry(current, VfsBlockEntry{1, next});
    WriteEntry(current);
    std::span<const uint8_t> piece =
        length == 0 ? std::span<const uint8_t>(zeros)
                    : std::span<const uint8_t>(data + written, std::min<uint64_t>(blockSize, length - written));
    Write(header_.BlockOffset(current), piece);
    header_.UsedBlocks += 1;
    current = uint32_t(next - 1);
    written += blockSize;
  } while (written < length);
}

void VfsFile::OverwriteChain(VfsDirRecord& record, const uint8_t* data, uint32_t length) {
  record.FileDate = Today();
  uint32_t blockSize = header_.BlockSize;
  int64_t b = int64_t{record.FirstBlock} - 1;
  uint64_t written = 0;
  do {
    if (b < 0 || b >= int64_t(blocks_.size()))
      Damaged(path_, "the chain of " + record.Name + " is shorter than its content");
    uint64_t n = std::min<uint64_t>(blockSize, length - written);
    if (n) Write(header_.BlockOffset(uint32_t(b)), std::span<const uint8_t>(data + written, n));
    written += blockSize;
    b = blocks_[b].Next - 1;
  } while (written < length);
}

void VfsFile::FreeBlocks(const VfsDirRecord& record, std::string_view name) {
  int64_t b = int64_t{record.FirstBlock} - 1;
  for (size_t steps = 0; steps <= blocks_.size(); ++steps) {
    if (b < 0 || b >= int64_t(blocks_.size()) || blocks_[b].Next == 0)
      Damaged(path_, "the chain of " + std::string(name) + " runs into a free block (blocks shared by two entries)");
    VfsBlockEntry old = blocks_[b];
    SetEntry(uint32_t(b), VfsBlockEntry{});
    WriteEntry(uint32_t(b));
    header_.UsedBlocks -= 1;
    if (old.Next == -1) return;
    b = old.Next - 1;
  }
}

void VfsFile::ComputeDigest() {
  Md5 md5;
  if (!md5.Available()) return;
  uint64_t size = file_->Size();
  std::vector<uint8_t> piece(kDigestChunkSize);
  for (uint64_t pos = kVfsDigestStart; pos < size;) {
    size_t n = static_cast<size_t>(std::min<uint64_t>(kDigestChunkSize, size - pos));
    size_t got = file_->ReadAt(pos, std::span(piece).first(n));
    if (got != n) throw SetupError("Cannot read " + path_ + " for its digest");
    md5.Update(std::span(piece).first(n));
    pos += n;
  }
  header_.Digest = md5.Final();
}

void VfsFile::FlushArchive() {
  if (!IsOpen()) return;
  Write(kVfsDigestStart, header_.TailBytes());
  ComputeDigest();
  Write(0, header_.HeadBytes());
  if (full_tree_)
    tree_->RebuildHashTable();
  else if (hash_->Loaded())
    hash_->SaveHashTable();
  // The archive reaches the disk before the journal that could undo it goes.
  file_->Flush();
  journal_->Commit();
}

void VfsFile::CloseArchive() {
  if (!IsOpen()) return;
  Reset();
}

void VfsFile::RollBack() {
  if (!IsOpen()) return;
  bool pending = journal_ && journal_->Active();
  if (journal_) journal_->Abandon();
  if (pending) VfsJournal::Recover(fs_, path_, *file_);
  Reset();
}

}  // namespace ferry
