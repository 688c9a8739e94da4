#include "formats/vfs/vfs_check.h"

#include <algorithm>
#include <map>

#include "base/setup_error.h"
#include "base/md5.h"
#include "formats/vfs/vfs_archive.h"
#include "formats/vfs/vfs_fs.h"

namespace ferry {

void CreateVfsArchive(FileSystem& fs, const std::string& path, const VfsCreateOptions& options) {
  if (options.BlockSize == 0 || options.BlockSize > kVfsMaxBlockSize)
    throw SetupError("block size must be 1 to " + std::to_string(kVfsMaxBlockSize));
  if (options.BlockCount == 0) throw SetupError("block count must be at least 1");
  if (options.RootCount == 0 || options.RootCount > kVfsMaxRootCount)
    throw SetupError("root count must be 1 to " + std::to_string(kVfsMaxRootCount));
  if (options.Description.size() > kVfsDescriptionSize) throw SetupError("description longer than 256 bytes");
  VfsHeader h;
  h.BlockSize = options.BlockSize;
  h.BlockCount = options.BlockCount;
  h.RootCount = options.RootCount;
  h.Reserved2 = 64;
  h.Reserved3 = 50000;
  h.Description = options.Description;
  h.Description.resize(kVfsDescriptionSize, '\0');
  std::vector<uint8_t> bytes = h.HeadBytes();
  auto tail = h.TailBytes();
  bytes.insert(bytes.end(), tail.begin(), tail.end());
  bytes.resize(h.DataOffset(), 0);
  Md5 md5;
  if (md5.Available()) {
    md5.Update(std::span(bytes).subspan(kVfsDigestStart));
    h.Digest = md5.Final();
    auto head = h.HeadBytes();
    std::copy(head.begin(), head.end(), bytes.begin());
  }
  RemoveVfsFile(fs, VfsJournal::PathFor(path));
  auto out = fs.Open(path, FileMode::kCreate);
  if (!out) throw SetupError("Cannot create " + path);
  out->WriteAt(0, bytes);
  out->Flush();
  std::string side = HashFilePath(path);
  RemoveVfsFile(fs, side);
  if (options.SideFile) {
    auto s = fs.Open(side, FileMode::kCreate);
    if (!s) throw SetupError("Cannot create " + side);
    s->WriteAt(0, BuildHashFile({}));
  }
}

namespace {

class Checker {
 public:
  Checker(VfsFile& f, VfsCheckReport& report) : f_(f), r_(report) {}

  void Run(FileSystem& fs) {
    CheckDigest();
    CheckEntries();
    CheckBlockCounts();
    CheckSideFile(fs);
  }

 private:
  void Error(std::string s) { r_.Errors.push_back(std::move(s)); }

  void CheckDigest() {
    Md5 md5;
    if (!md5.Available()) {
      r_.Warnings.push_back("no MD5 provider: digest not checked");
      return;
    }
    RandomAccessFile& file = f_.File();
    uint64_t size = file.Size();
    std::vector<uint8_t> piece(kDigestChunkSize);
    for (uint64_t pos = kVfsDigestStart; pos < size; pos += kDigestChunkSize) {
      size_t n = file.ReadAt(pos, piece);
      md5.Update(std::span(piece).first(n));
    }
    if (md5.Final() != f_.Header().Digest) Error("Digest does not match the file from offset 44");
  }

  void CheckEntries() {
    const VfsTree& tree = f_.Tree();
    const VfsHeader& h = f_.Header();
    uint64_t fileSize = f_.File().Size();
    owner_.assign(h.BlockCount, -1);
    for (size_t i = 0; i < tree.SlotCount(); ++i) {
      if (!tree.InUse(int32_t(i))) continue;
      const auto& n = tree.Node(int32_t(i));
      const VfsDirRecord& rec = *n.Info;
      if (rec.Flags & kVfsDirectory) ++r_.Directories;
      if (rec.Flags & kVfsFile) ++r_.Files;
      uint64_t need = VfsFile::BlocksFor(rec.StoredSize, h.BlockSize);
      uint64_t count = 0;
      int64_t b = int64_t{rec.FirstBlock} - 1;
      uint64_t remaining = rec.StoredSize;
      while (b >= 0 && b < int64_t(h.BlockCount)) {
        if (owner_[b] >= 0) {
          Error("block " + std::to_string(b + 1) + " belongs to both " + tree.Node(owner_[b]).Path + " and " + n.Path);
          break;
        }
        owner_[b] = int32_t(i);
        ++count;
        uint64_t inBlock = std::min<uint64_t>(remaining, h.BlockSize);
        if (count <= need && inBlock > 0 && h.BlockOffset(uint32_t(b)) + inBlock > fileSize)
          Error(n.Path + ": block " + std::to_string(b + 1) + " lies past the end of the file");
        remaining -= inBlock;
        int32_t next = f_.BlockTable()[b].Next;
        if (next <= 0) break;
        b = next - 1;
      }
      if (count != need)
        Error(n.Path + ": chain of " + std::to_string(count) + " blocks for " + std::to_string(rec.StoredSize) +
              " bytes (" + std::to_string(need) + " expected)");
      if (rec.Flags & kVfsFile) CheckContent(n.Path, rec);
    }
  }

  void CheckContent(const std::string& path, const VfsDirRecord& rec) {
    if (!(rec.Flags & kVfsCompressed)) {
      if (rec.UnpackedSize != 0) r_.Warnings.push_back(path + ": stored as is but UnpackedSize is not 0");
      return;
    }
    auto content = f_.ReadChain(rec);
    try {
      DecompressChunks(content ? std::span<const uint8_t>(content->Bytes()) : std::span<const uint8_t>(),
                       rec.UnpackedSize);
    } catch (const SetupError& e) {
      Error(path + ": " + e.what());
    }
  }

  void CheckBlockCounts() {
    const auto& table = f_.BlockTable();
    for (size_t b = 0; b < table.size(); ++b) {
      if (table[b].Next == 0) continue;
      ++r_.UsedBlocks;
      if (owner_[b] < 0) Error("block " + std::to_string(b + 1) + " is in use but belongs to no entry");
    }
    if (r_.UsedBlocks != f_.Header().UsedBlocks)
      Error("UsedBlocks is " + std::to_string(f_.Header().UsedBlocks) + " but " + std::to_string(r_.UsedBlocks) +
            " blocks are in use");
  }

  void CheckSideFile(FileSystem& fs) {
    std::string side = HashFilePath(f_.ArchivePath());
    if (!fs.FileExists(side)) return;
    auto in = fs.Open(side, FileMode::kRead);
    if (!in) {
      Error("cannot read " + side);
      return;
    }
    auto bytes = in->ReadVector(0, static_cast<size_t>(in->Size()));
    auto records = ParseHashFile(bytes);
    if (bytes.size() != 4 + records.size() * kVfsHashRecordSize)
      Error(side + ": " + std::to_string(bytes.size()) + " bytes do not hold a count and its records");
    std::map<uint32_t, const VfsHashRecord*> byHash;
    for (size_t i = 0; i < records.size(); ++i) {
      if (i > 0 && records[i - 1].Hash >= records[i].Hash) Error(side + ": records are not in ascending hash order");
      byHash.emplace(records[i].Hash, &records[i]);
    }
    const VfsTree& tree = f_.Tree();
    std::map<uint32_t, std::vector<int32_t>> files;
    for (size_t i = 0; i < tree.SlotCount(); ++i)
      if (tree.InUse(int32_t(i)) && (tree.Node(int32_t(i)).Info->Flags & kVfsFile))
        files[PathHash(tree.HashKey(int32_t(i)))].push_back(int32_t(i));
    for (const auto& [hash, nodes] : files) {
      if (hash == 0) continue;
      auto it = byHash.find(hash);
      if (it == byHash.end()) {
        Error(side + ": no record for " + tree.Node(nodes[0]).Path);
        continue;
      }
      const VfsHashRecord& h = *it->second;
      if (nodes.size() > 1 || !h.Unique) continue;  // a shared hash describes only one of its files
      const VfsDirRecord& rec = *tree.Node(nodes[0]).Info;
      if (h.Flags != rec.Flags || h.StoredSize != rec.StoredSize || h.UnpackedSize != rec.UnpackedSize ||
          h.FirstBlock != rec.FirstBlock)
        Error(side + ": record of " + tree.Node(nodes[0]).Path + " does not match its entry");
    }
    for (const auto& rec : records)
      if (!files.count(rec.Hash))
        r_.Warnings.push_back(side + ": record " + std::to_string(rec.Hash) + " has no file in the archive");
  }

  VfsFile& f_;
  VfsCheckReport& r_;
  std::vector<int32_t> owner_;
};

}  // namespace

VfsCheckReport CheckVfsArchive(FileSystem& fs, const std::string& path) {
  VfsCheckReport report;
  VfsFile f(fs);
  try {
    f.OpenArchive(path, true);
  } catch (const SetupError& e) {
    report.Errors.push_back(e.what());
    return report;
  }
  report.RolledBack = f.Recovered();
  Checker(f, report).Run(fs);
  f.CloseArchive();
  return report;
}

}  // namespace ferry
