// The directory tree of an open archive and the update of one file in it.
#include <algorithm>

#include "base/byte_writer.h"
#include "base/path_text.h"
#include "base/setup_error.h"
#include "base/text.h"
#include "formats/vfs/vfs_archive.h"
#include "formats/vfs/vfs_fs.h"

namespace ferry {

namespace {

// Deeper trees are refused as damaged: listings that contain themselves
// would otherwise be read without end.
constexpr uint32_t kMaxDepth = 1000;

std::vector<std::string> SplitPath(std::string_view path) {
  std::vector<std::string> parts;
  size_t start = 0;
  while (true) {
    size_t slash = path.find('\\', start);
    parts.emplace_back(path.substr(start, slash == std::string_view::npos ? std::string_view::npos : slash - start));
    if (slash == std::string_view::npos) break;
    start = slash + 1;
  }
  return parts;
}

std::string CutName(std::string_view name) { return std::string(name.substr(0, kVfsNameLength)); }

bool IsDirectory(const TreeFileInfo& n) { return (n.Info->Flags & kVfsDirectory) != 0; }

}  // namespace

// ---- node slots and the path index ----

void VfsTree::Clear() {
  nodes_.clear();
  free_slots_.clear();
  by_path_.clear();
  live_nodes_ = 0;
}

void VfsTree::AddRootNodes() {
  auto& roots = file_.RootTable();
  for (size_t k = 0; k < roots.size(); ++k)
    if (!roots[k].Name.empty()) AddNode(-1, &roots[k], nullptr, static_cast<uint8_t>(k));
}

int32_t VfsTree::AddNode(int32_t parent, VfsDirRecord* info, std::unique_ptr<VfsDirRecord> owned,
                          uint8_t rootSlot) {
  // Each live entry owns at least one block of its own; more nodes than
  // blocks means listings share blocks.
  if (live_nodes_ >= file_.Header().BlockCount)
    throw SetupError("VFS archive " + file_.ArchivePath() + " is damaged: more entries than blocks");
  uint32_t depth = parent < 0 ? 0 : N(parent).Depth + 1;
  if (depth > kMaxDepth)
    throw SetupError("VFS archive " + file_.ArchivePath() + " is damaged: directories nested too deep");
  int32_t slot;
  if (!free_slots_.empty()) {
    slot = *free_slots_.begin();
    free_slots_.erase(free_slots_.begin());
  } else {
    slot = static_cast<int32_t>(nodes_.size());
    nodes_.emplace_back();
  }
  TreeFileInfo& n = nodes_[slot];
  n = TreeFileInfo{};
  n.Index = slot;
  n.Owned = std::move(owned);
  n.Info = n.Owned ? n.Owned.get() : info;
  n.Parent = parent;
  n.RootSlot = parent < 0 ? rootSlot : 255;
  n.Depth = depth;
  n.Path = parent < 0 ? n.Info->Name : nodes_[parent].Path + "\\" + n.Info->Name;
  n.ListingLoaded = IsDirectory(n) && n.Info->StoredSize == 0;
  if (parent >= 0) {
    TreeFileInfo& p = nodes_[parent];
    size_t place = p.Children.size();
    if (p.Holes > 0) {
      place = static_cast<size_t>(std::find(p.Children.begin(), p.Children.end(), -1) - p.Children.begin());
      p.Children[place] = slot;
      --p.Holes;
    } else {
      p.Children.push_back(slot);
    }
    nodes_[slot].PlaceInParent = place;
  }
  IndexAdd(slot);
  ++live_nodes_;
  return slot;
}

void VfsTree::FreeNode(int32_t node) {
  IndexRemove(node);
  nodes_[node] = TreeFileInfo{};
  free_slots_.insert(node);
  --live_nodes_;
}

void VfsTree::IndexAdd(int32_t node) {
  auto& slots = by_path_[AsciiLowerCopy(nodes_[node].Path)];
  slots.insert(std::lower_bound(slots.begin(), slots.end(), node), node);
}

void VfsTree::IndexRemove(int32_t node) {
  auto it = by_path_.find(AsciiLowerCopy(nodes_[node].Path));
  if (it == by_path_.end()) return;
  auto& slots = it->second;
  slots.erase(std::remove(slots.begin(), slots.end(), node), slots.end());
  if (slots.empty()) by_path_.erase(it);
}

std::string VfsTree::HashKey(int32_t node) const {
  const auto& n = nodes_.at(node);
  if (n.Parent < 0) return n.Info->Name;
  return nodes_[n.Parent].Path + "/" + n.Info->Name;
}

size_t VfsTree::FileCount() const {
  size_t count = 0;
  for (const auto& n : nodes_)
    if (n.Index >= 0 && (n.Info->Flags & kVfsFile)) ++count;
  return count;
}

// ---- lookups ----

int32_t VfsTree::FindByPath(std::string_view path) const {
  auto it = by_path_.find(AsciiLowerCopy(path));
  return it == by_path_.end() ? -1 : it->second.front();
}

int32_t VfsTree::FindChild(int32_t parent, std::string_view name) const {
  if (parent < 0) return FindByPath(name);
  return FindChildWhere(parent, name, false);
}

// The first child of `parent` (the root entries for -1) named `name`, case
// ignored, in listing order (slot order at the root).
int32_t VfsTree::FindChildWhere(int32_t parent, std::string_view name, bool directoriesOnly) const {
  std::string key = parent < 0 ? std::string(name) : nodes_[parent].Path + "\\" + std::string(name);
  auto it = by_path_.find(AsciiLowerCopy(key));
  if (it == by_path_.end()) return -1;
  int32_t best = -1;
  for (int32_t slot : it->second) {
    const auto& n = nodes_[slot];
    if (n.Parent != parent || (directoriesOnly && !IsDirectory(n))) continue;
    if (parent < 0) return slot;
    if (best < 0 || n.PlaceInParent < nodes_[best].PlaceInParent) best = slot;
  }
  return best;
}

int32_t VfsTree::FindDeepestDirectory(std::string_view dirPath) const {
  std::string path(dirPath);
  if (!path.empty() && path.back() == '\\') path.pop_back();
  while (!path.empty()) {
    int32_t n = FindByPath(path);
    if (n >= 0 && IsDirectory(nodes_[n])) return n;
    path = ParentFolderOf(path, "\\");
  }
  return -1;
}

// ---- listings ----

void VfsTree::LoadListing(int32_t node) {
  std::string owner = N(node).Path;
  auto content = file_.ReadChain(*N(node).Info);
  N(node).ListingLoaded = true;
  if (!content) return;
  auto records = ParseListing(content->Bytes(), owner);
  for (auto& rec : records) {
    file_.CheckChain(rec, owner + "\\" + rec.Name);
    AddNode(node, nullptr, std::make_unique<VfsDirRecord>(std::move(rec)), 255);
  }
}

void VfsTree::LoadAllListings() {
  for (size_t i = 0; i < nodes_.size(); ++i) {
    const auto& n = nodes_[i];
    if (n.Index >= 0 && IsDirectory(n) && !n.ListingLoaded) LoadListing(static_cast<int32_t>(i));
  }
}

// Each component is looked up among the children of the directory found for
// the one before it, so the listings read are those of the path's own
// directories and not of a same-named directory elsewhere.
void VfsTree::LoadPathListings(std::string_view dirPath) {
  int32_t current = -1;
  for (const auto& part : SplitPath(dirPath)) {
    int32_t dir = FindChildWhere(current, CutName(part), true);
    if (dir < 0) return;
    if (!N(dir).ListingLoaded) LoadListing(dir);
    current = dir;
  }
}

bool VfsTree::HoldsListings(std::string_view dirPath) const {
  int32_t current = -1;
  for (const auto& part : SplitPath(dirPath)) {
    int32_t dir = FindChildWhere(current, CutName(part), true);
    if (dir < 0) return true;  // the rest does not exist yet
    if (!nodes_[dir].ListingLoaded) return false;
    current = dir;
  }
  return true;
}

void VfsTree::LoadSubtree(int32_t node) {
  std::vector<int32_t> todo{node};
  while (!todo.empty()) {
    int32_t n = todo.back();
    todo.pop_back();
    if (!IsDirectory(N(n))) continue;
    if (!N(n).ListingLoaded) LoadListing(n);
    for (int32_t c : N(n).Children)
      if (c >= 0) todo.push_back(c);
  }
}

std::vector<VfsDirRecord> VfsTree::BuildListing(int32_t dirNode) const {
  std::vector<VfsDirRecord> out;
  for (int32_t c : nodes_.at(dirNode).Children)
    if (c >= 0) out.push_back(*nodes_[c].Info);
  return out;
}

// ---- changes ----

int32_t VfsTree::CreateEntry(int32_t parent, std::string_view name, uint32_t flags, bool writeNow) {
  VfsDirRecord fresh;
  fresh.Name = VfsStoredName(name);
  fresh.Flags = flags;
  int32_t node;
  if (parent < 0) {
    auto& roots = file_.RootTable();
    auto slot = std::find_if(roots.begin(), roots.end(), [](const VfsDirRecord& r) { return r.Name.empty(); });
    if (slot == roots.end()) throw SetupError("CreateNewFileDir: ROOT Result = Cardinal(-1)");
    *slot = fresh;
    node = AddNode(-1, &*slot, nullptr, static_cast<uint8_t>(slot - roots.begin()));
  } else {
    node = AddNode(parent, nullptr, std::make_unique<VfsDirRecord>(fresh), 255);
  }
  if (flags & kVfsDirectory) N(node).ListingLoaded = true;
  if (writeNow) {
    file_.AllocateAndWrite(*N(node).Info, nullptr, 0);
    if (parent < 0)
      WriteRootSlot(node);
    else
      RewriteListing(node);
  }
  return node;
}

// A component that names a file is refused: making a directory under a file
// would write a listing over the file's content.
int32_t VfsTree::EnsureDirectories(std::string_view dirPath) {
  int32_t current = -1;
  for (const auto& part : SplitPath(dirPath)) {
    std::string name = CutName(part);
    int32_t dir = FindChildWhere(current, name, true);
    if (dir < 0) {
      if (FindChildWhere(current, name, false) >= 0)
        throw SetupError("Cannot make the directory " + std::string(dirPath) + " in " + file_.ArchivePath() +
                         ": " + name + " is a file");
      dir = CreateEntry(current, name, kVfsDirectory, true);
    }
    current = dir;
  }
  return current;
}

void VfsTree::FreeChain(int32_t node) { file_.FreeBlocks(*N(node).Info, N(node).Path); }

void VfsTree::DeleteEntry(int32_t node, bool deferParent) {
  std::vector<int32_t> children = N(node).Children;
  for (int32_t c : children)
    if (c >= 0) DeleteEntry(c, true);
  FreeChain(node);
  int32_t parent = N(node).Parent;
  if (parent < 0) {
    uint8_t slot = N(node).RootSlot;
    file_.RootTable()[slot] = VfsDirRecord{};
    file_.WriteRecordAt(file_.Header().RootTableOffset() + kVfsDirRecordSize * slot, VfsDirRecord{});
    FreeNode(node);
    return;
  }
  TreeFileInfo& p = N(parent);
  p.Children[N(node).PlaceInParent] = -1;
  ++p.Holes;
  if (!deferParent) RewriteListing(node);
  FreeNode(node);
}

void VfsTree::RewriteListing(int32_t node) {
  int32_t parent = N(node).Parent;
  if (parent < 0) throw SetupError("RewriteListing: a root entry has no listing");
  auto records = BuildListing(parent);
  std::vector<const VfsDirRecord*> refs;
  for (const auto& r : records) refs.push_back(&r);
  auto bytes = BuildListingBytes(refs);
  uint32_t size = static_cast<uint32_t>(bytes.size());
  VfsDirRecord& rec = *N(parent).Info;
  if (size == rec.StoredSize) {
    file_.OverwriteChain(rec, bytes.data(), size);
    return;
  }
  FreeChain(parent);
  file_.AllocateAndWrite(rec, size ? bytes.data() : nullptr, size);
  if (N(parent).Parent < 0)
    WriteRootSlot(parent);
  else
    RewriteListing(parent);
}

void VfsTree::WriteRootSlot(int32_t node) {
  const auto& n = N(node);
  file_.WriteRecordAt(file_.Header().RootTableOffset() + kVfsDirRecordSize * n.RootSlot, *n.Info);
}

uint64_t VfsTree::ChainBlocks(int32_t node) const {
  uint64_t total = file_.ChainLength(nodes_[node].Info->FirstBlock);
  for (int32_t c : nodes_[node].Children)
    if (c >= 0) total += ChainBlocks(c);
  return total;
}

// Refuses the update of one file before it writes anything when the archive
// lacks the free blocks or the root slot it needs. Frees always come before
// the allocations that use them, so the net count decides.
void VfsTree::CheckRoom(std::string_view dirPath, std::string_view name, int32_t old, uint32_t contentLength,
                         std::string_view path) {
  uint32_t blockSize = file_.Header().BlockSize;
  auto blocks = [&](uint64_t size) { return static_cast<int64_t>(VfsFile::BlocksFor(size, blockSize)); };
  int64_t need = blocks(contentLength);
  bool needRootSlot = false;

  int32_t existing = -1;
  size_t missing = 0;
  if (!dirPath.empty()) {
    auto parts = SplitPath(dirPath);
    for (size_t i = 0; i < parts.size(); ++i) {
      std::string part = CutName(parts[i]);
      int32_t dir = FindChildWhere(existing, part, true);
      if (dir < 0) {
        if (FindChildWhere(existing, part, false) >= 0)
          throw SetupError("Cannot make the directory " + std::string(dirPath) + " in " + file_.ArchivePath() +
                           ": " + part + " is a file");
        missing = parts.size() - i;
        break;
      }
      existing = dir;
    }
  }
  if (missing > 0) {
    // Each new directory ends up with a listing of one record.
    need += static_cast<int64_t>(missing) * blocks(kVfsDirRecordSize);
    if (existing < 0) {
      needRootSlot = true;
    } else {
      uint64_t size = N(existing).Info->StoredSize;
      need += blocks(size + kVfsDirRecordSize) - blocks(size);
    }
  } else if (old >= 0) {
    need -= static_cast<int64_t>(ChainBlocks(old));
  } else if (existing >= 0) {
    uint64_t size = N(existing).Info->StoredSize;
    need += blocks(size + kVfsDirRecordSize) - blocks(size);
  } else {
    needRootSlot = true;
  }
  if (needRootSlot) {
    const auto& roots = file_.RootTable();
    if (std::none_of(roots.begin(), roots.end(), [](const VfsDirRecord& r) { return r.Name.empty(); }))
      throw SetupError("CreateNewFileDir: ROOT Result = Cardinal(-1)");
  }
  if (need > static_cast<int64_t>(file_.FreeBlockCount()))
    throw SetupError("VFS archive " + file_.ArchivePath() + " has " + std::to_string(file_.FreeBlockCount()) +
                     " free blocks, " + std::string(path) + " needs " + std::to_string(need));
}

int32_t VfsTree::UpdateFile(std::string_view path, const uint8_t* data, uint32_t length) {
  if (length == 0 && data) throw SetupError("WriteFile: Error Buffer is Assigned but size is 0");
  // Directory part only for names with both a "." and a "\"; the name is
  // what follows the last "\" or ":".
  std::string dir;
  if (path.find('.') != std::string_view::npos && path.find('\\') != std::string_view::npos)
    dir = ParentFolderOf(path, "\\");
  size_t cut = path.find_last_of("\\:");
  std::string name(cut == std::string_view::npos ? path : path.substr(cut + 1));
  if (name.empty() || (!dir.empty() && std::ranges::any_of(SplitPath(dir), [](auto& p) { return p.empty(); })))
    throw SetupError("Cannot write \"" + std::string(path) + "\" into " + file_.ArchivePath() +
                     ": the path has an empty name");
  std::string stored = VfsStoredName(name);

  if (!dir.empty() && !HoldsListings(dir)) {
    Clear();
    AddRootNodes();
    LoadPathListings(dir);
  }

  auto packed = CompressData(data, length);
  const uint8_t* content = packed ? packed->data() : data;
  uint32_t contentLength = packed ? static_cast<uint32_t>(packed->size()) : length;

  // The parent as it stands before any change, and the entry the new file replaces.
  int32_t parent = -1;
  bool parentExists = true;
  if (!dir.empty()) {
    parent = FindDeepestDirectory(dir);
    if (parent < 0 || N(parent).Path != dir) {
      parent = -1;
      for (const auto& part : SplitPath(dir)) {
        int32_t d = FindChildWhere(parent, CutName(part), true);
        if (d < 0) {
          parentExists = false;
          break;
        }
        parent = d;
      }
    }
  }
  // Looked up by the name as it will be stored, among the parent's own
  // children: a long name replaces its earlier copy instead of adding another.
  int32_t old = parentExists ? FindChildWhere(parent, stored, false) : -1;
  if (old >= 0) LoadSubtree(old);
  CheckRoom(dir, stored, old, contentLength, path);

  if (!dir.empty()) {
    parent = FindDeepestDirectory(dir);
    if (parent < 0 || N(parent).Path != dir) parent = EnsureDirectories(dir);
  }
  if (old >= 0) DeleteEntry(old, true);
  int32_t node = CreateEntry(parent, stored, kVfsFile, false);
  VfsDirRecord& rec = *N(node).Info;
  rec.StoredSize = length;
  rec.FileDate = file_.Today();
  rec.UnpackedSize = length;
  if (packed) {
    rec.Flags = kVfsFile | kVfsCompressed;
  } else {
    rec.UnpackedSize = 0;
  }
  file_.AllocateAndWrite(rec, content, contentLength);
  if (parent < 0)
    WriteRootSlot(node);
  else
    RewriteListing(node);
  if (!file_.FullTree()) file_.HashFile().UpdateHashRecord(node, FindByPath(path) != -1);
  return node;
}

void VfsTree::RebuildHashTable() {
  std::string side = HashFilePath(file_.ArchivePath());
  file_.BeforeSideFileChange();
  RemoveVfsFile(file_.Files(), side);
  std::vector<std::pair<uint32_t, int32_t>> files;
  for (size_t i = 0; i < nodes_.size(); ++i) {
    const auto& n = nodes_[i];
    if (n.Index < 0 || !(n.Info->Flags & kVfsFile)) continue;
    files.emplace_back(PathHash(HashKey(static_cast<int32_t>(i))), static_cast<int32_t>(i));
  }
  if (files.empty()) return;
  // One sort gives what inserting the files one by one in slot order gives:
  // the first file of a hash keeps the record, later ones only clear Unique,
  // and hash 0 (an empty slot) never gets a record.
  std::stable_sort(files.begin(), files.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
  std::vector<VfsHashRecord> records;
  for (size_t i = 0; i < files.size();) {
    size_t j = i;
    while (j < files.size() && files[j].first == files[i].first) ++j;
    if (files[i].first != 0) {
      const VfsDirRecord& r = *nodes_[files[i].second].Info;
      records.push_back({files[i].first, r.Flags, r.StoredSize, r.UnpackedSize, r.FirstBlock,
                         static_cast<uint8_t>(j - i == 1 ? 1 : 0)});
    }
    i = j;
  }
  auto out = file_.Files().Open(side, FileMode::kCreate);
  if (!out) throw SetupError("Cannot create " + side);
  out->WriteAt(0, BuildHashFile(records));
  out->Flush();
}

}  // namespace ferry
