// An open VFS archive (VfsFile) with its directory tree (VfsTree) and its
// side hash table (VfsHashFile).
//
// Call sequence of an update:
//   VfsFile f(files);  f.OpenArchive(path, fullTree);
//   f.Tree().UpdateFile(name, data, length);   ... once per file
//   f.FlushArchive();  f.CloseArchive();
// Every change goes to the archive as it is made, behind a rollback journal
// (vfs_journal.h): closing without FlushArchive, a crash, or RollBack()
// leaves the archive as it was at open. Damaged archives are refused with a
// SetupError before anything is written.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "formats/vfs/vfs_format.h"
#include "formats/vfs/vfs_journal.h"

namespace ferry {

class RandomAccessFile;
class VfsFile;
class FileSystem;

struct TreeFileInfo {
  int32_t Index = -1;  // own slot; -1 when the slot is free
  std::string Path;    // "dir\sub\name", names as stored
  VfsDirRecord* Info = nullptr;  // the root-table record, or Owned
  std::vector<int32_t> Children;  // listing order; -1 marks a removed child
  int32_t Parent = -1;
  uint8_t RootSlot = 255;
  // Bookkeeping of this implementation.
  std::unique_ptr<VfsDirRecord> Owned;
  bool ListingLoaded = false;  // the directory's children are in the tree
  size_t PlaceInParent = 0;    // index in the parent's Children
  size_t Holes = 0;            // count of -1 in Children
  uint32_t Depth = 0;
};

class VfsTree {
 public:
  explicit VfsTree(VfsFile& file) : file_(file) {}

  // Lookups: a node number, or -1.
  int32_t FindByPath(std::string_view path) const;
  int32_t FindChild(int32_t parent, std::string_view name) const;
  int32_t FindDeepestDirectory(std::string_view dirPath) const;
  size_t FileCount() const;

  // Adds or replaces the file at `path` (entry name of the setup archive,
  // "\" separated). `data` may be null for empty content. Returns its node.
  int32_t UpdateFile(std::string_view path, const uint8_t* data, uint32_t length);

  void LoadListing(int32_t node);
  void LoadPathListings(std::string_view dirPath);
  void LoadAllListings();  // every directory, the walk of FullTree
  int32_t CreateEntry(int32_t parent, std::string_view name, uint32_t flags, bool writeNow);
  int32_t EnsureDirectories(std::string_view dirPath);
  void DeleteEntry(int32_t node, bool deferParent);
  void RewriteListing(int32_t node);
  void WriteRootSlot(int32_t node);
  void FreeChain(int32_t node);
  void RebuildHashTable();

  // Node slots.
  void Clear();
  void AddRootNodes();
  int32_t AddNode(int32_t parent, VfsDirRecord* info, std::unique_ptr<VfsDirRecord> owned, uint8_t rootSlot);
  void FreeNode(int32_t node);
  size_t SlotCount() const { return nodes_.size(); }
  bool InUse(int32_t node) const { return node >= 0 && size_t(node) < nodes_.size() && nodes_[node].Index >= 0; }
  const TreeFileInfo& Node(int32_t node) const { return nodes_.at(node); }
  // Parent's Path + "/" + name; the name alone at the root.
  std::string HashKey(int32_t node) const;
  std::vector<VfsDirRecord> BuildListing(int32_t dirNode) const;

 private:
  TreeFileInfo& N(int32_t node) { return nodes_.at(node); }
  void IndexAdd(int32_t node);
  void IndexRemove(int32_t node);
  int32_t FindChildWhere(int32_t parent, std::string_view name, bool directoriesOnly) const;
  bool HoldsListings(std::string_view dirPath) const;
  void LoadSubtree(int32_t node);
  void CheckRoom(std::string_view dirPath, std::string_view name, int32_t old, uint32_t contentLength,
                 std::string_view path);
  uint64_t ChainBlocks(int32_t node) const;

  VfsFile& file_;
  std::vector<TreeFileInfo> nodes_;
  std::set<int32_t> free_slots_;
  // Lower-cased Path -> node slots in ascending order.
  std::unordered_map<std::string, std::vector<int32_t>> by_path_;
  size_t live_nodes_ = 0;
};

class VfsHashFile {
 public:
  explicit VfsHashFile(VfsFile& file) : file_(file) {}

  bool Loaded() const { return loaded_; }
  void LoadHashTable();
  void SaveHashTable();
  void UpdateHashRecord(int32_t node, bool pathFound);
  std::vector<VfsHashRecord> Records() const;
  void Clear();

 private:
  VfsFile& file_;
  bool loaded_ = false;
  // Records kept in a map while they are strictly ascending without empty
  // slots (every side file this code writes); otherwise the array as read,
  // worked on record by record.
  bool mapped_ = false;
  std::vector<VfsHashRecord> array_;
  std::map<uint32_t, VfsHashRecord> map_;
};

enum class VfsAccess {
  kUpdate,    // read and write; an interrupted update is rolled back first
  kReadOnly,  // for inspection; refused while an interrupted update is pending
};

class VfsFile {
 public:
  using ProgressCallback = std::function<void(uint64_t position, uint64_t total)>;

  explicit VfsFile(FileSystem& fs);
  ~VfsFile();  // closes without flushing: the journal undoes the changes

  void OpenArchive(const std::string& path, bool fullTree, ProgressCallback callback = {},
                   VfsAccess access = VfsAccess::kUpdate);
  void FlushArchive();
  void CloseArchive();
  // Undoes every change since open (or the last flush) and closes.
  void RollBack();
  bool IsOpen() const { return file_ != nullptr; }
  bool Recovered() const { return recovered_; }

  std::optional<VfsFileBuffer> ReadChain(const VfsDirRecord& record);
  void AllocateAndWrite(VfsDirRecord& record, const uint8_t* data, uint32_t length);
  void OverwriteChain(VfsDirRecord& record, const uint8_t* data, uint32_t length);
  int32_t FindFreeBlock(bool skipOne) const;
  // Returns the chain's blocks to the free pool (FreeChain of the tree).
  void FreeBlocks(const VfsDirRecord& record, std::string_view name);
  void WriteRecordAt(uint64_t offset, const VfsDirRecord& record);

  // Number of blocks of the chain from 1-based `firstBlock`.
  uint64_t ChainLength(uint32_t firstBlock) const;
  // Throws SetupError unless the record's chain starts inside the block
  // table, in a used block, and holds its StoredSize.
  void CheckChain(const VfsDirRecord& record, std::string_view path) const;
  uint32_t FreeBlockCount() const { return free_count_; }
  static uint64_t BlocksFor(uint64_t storedSize, uint32_t blockSize);

  const std::string& ArchivePath() const { return path_; }
  bool FullTree() const { return full_tree_; }
  const VfsHeader& Header() const { return header_; }
  VfsHeader& Header() { return header_; }
  const std::vector<VfsBlockEntry>& BlockTable() const { return blocks_; }
  std::vector<VfsDirRecord>& RootTable() { return roots_; }
  const std::vector<VfsDirRecord>& RootTable() const { return roots_; }
  VfsTree& Tree() { return *tree_; }
  const VfsTree& Tree() const { return *tree_; }
  VfsHashFile& HashFile() { return *hash_; }
  ferry::FileSystem& Files() { return fs_; }
  RandomAccessFile& File() { return *file_; }

  // The date stamped on written entries (DOS form); today unless set.
  void SetToday(uint32_t dosDate) { today_ = dosDate; }
  uint32_t Today() const { return today_ ? today_ : DosToday(); }

  // Every change to the archive goes through here, behind the journal.
  void Write(uint64_t offset, std::span<const uint8_t> bytes);
  // Before the side file is deleted or rewritten.
  void BeforeSideFileChange();

 private:
  void ReadBlockTable(const ProgressCallback& callback);
  void ReadRootTable(const ProgressCallback& callback);
  void CheckBlockTable() const;
  void SetEntry(uint32_t index0, VfsBlockEntry entry);
  void WriteEntry(uint32_t index0);
  void ComputeDigest();
  void Reset();

  ferry::FileSystem& fs_;
  std::unique_ptr<RandomAccessFile> file_;
  std::string path_;
  bool full_tree_ = false;
  bool recovered_ = false;
  uint64_t bytes_read_ = 0;
  VfsHeader header_;
  std::vector<VfsBlockEntry> blocks_;
  std::vector<VfsDirRecord> roots_;
  std::unique_ptr<VfsTree> tree_;
  std::unique_ptr<VfsHashFile> hash_;
  std::unique_ptr<VfsJournal> journal_;
  // Free blocks as set bits, for finding the lowest ones without a scan of
  // the whole table; `first_word_` is the lowest word that may hold one.
  std::vector<uint64_t> free_bits_;
  size_t first_word_ = 0;
  uint32_t free_count_ = 0;
  uint32_t today_ = 0;
};

// Content as stored: chunks of u32 length + zlib stream (level 9) of up to
// CompressChunkSize bytes each; nullopt when that would not be smaller.
std::optional<std::vector<uint8_t>> CompressData(const uint8_t* data, uint32_t length);
// The data back from chunks; throws SetupError when they are damaged or do
// not give `unpackedSize` bytes.
std::vector<uint8_t> DecompressChunks(std::span<const uint8_t> stored, uint32_t unpackedSize);

}  // namespace ferry
