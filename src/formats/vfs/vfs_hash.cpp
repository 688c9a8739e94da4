// The side hash table: loaded at open, kept up to date one record per
// written file, saved at flush.
#include <algorithm>

#include "base/setup_error.h"
#include "formats/vfs/vfs_archive.h"
#include "formats/vfs/vfs_fs.h"

namespace ferry {

void VfsHashFile::Clear() {
  loaded_ = false;
  mapped_ = false;
  array_.clear();
  map_.clear();
}

void VfsHashFile::LoadHashTable() {
  Clear();
  std::string side = HashFilePath(file_.ArchivePath());
  FileSystem& fs = file_.Files();
  if (!fs.FileExists(side)) return;
  auto in = fs.Open(side, FileMode::kRead);
  if (!in) throw SetupError("Cannot open " + side);
  uint64_t size = in->Size();
  if (size > (uint64_t{1} << 32) * kVfsHashRecordSize) throw SetupError("Side file " + side + " is too large");
  auto bytes = in->ReadVector(0, static_cast<size_t>(size));
  array_ = ParseHashFile(bytes);
  loaded_ = true;
  bool ascending = true;
  for (size_t i = 0; i < array_.size() && ascending; ++i)
    ascending = array_[i].Hash != 0 && (i == 0 || array_[i - 1].Hash < array_[i].Hash);
  if (ascending) {
    mapped_ = true;
    for (const auto& r : array_) map_.emplace_hint(map_.end(), r.Hash, r);
    array_.clear();
  }
}

std::vector<VfsHashRecord> VfsHashFile::Records() const {
  if (!mapped_) return array_;
  std::vector<VfsHashRecord> out;
  out.reserve(map_.size());
  for (const auto& [hash, r] : map_) out.push_back(r);
  return out;
}

void VfsHashFile::SaveHashTable() {
  std::string side = HashFilePath(file_.ArchivePath());
  FileSystem& fs = file_.Files();
  file_.BeforeSideFileChange();
  RemoveVfsFile(fs, side);
  auto records = Records();
  if (records.empty()) return;
  auto out = fs.Open(side, FileMode::kCreate);
  if (!out) throw SetupError("Cannot create " + side);
  out->WriteAt(0, BuildHashFile(records));
  out->Flush();
}

// A file whose hash is 0 gets no record: 0 marks an empty slot, and adding
// one would leave an empty record in the saved table.
void VfsHashFile::UpdateHashRecord(int32_t node, bool pathFound) {
  if (!loaded_) return;
  const VfsTree& tree = file_.Tree();
  const VfsDirRecord& info = *tree.Node(node).Info;
  uint32_t hash = PathHash(tree.HashKey(node));
  if (hash == 0) return;
  VfsHashRecord* found = nullptr;
  if (mapped_) {
    auto it = map_.find(hash);
    if (it != map_.end()) found = &it->second;
  } else {
    auto it = std::find_if(array_.begin(), array_.end(), [&](const VfsHashRecord& r) { return r.Hash == hash; });
    if (it != array_.end()) found = &*it;
  }
  if (found) {
    if (pathFound) {
      found->Flags = info.Flags;
      found->FirstBlock = info.FirstBlock;
      found->StoredSize = info.StoredSize;
      found->UnpackedSize = info.UnpackedSize;
    } else {
      found->Unique = 0;
    }
    return;
  }
  VfsHashRecord rec{hash, info.Flags, info.StoredSize, info.UnpackedSize, info.FirstBlock, 1};
  if (mapped_) {
    map_.emplace(hash, rec);
  } else {
    array_.push_back(VfsHashRecord{});
    InsertSorted(array_, array_.size(), rec);
  }
}

}  // namespace ferry
