#include "formats/vfs/vfs_fs.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

#include "base/setup_error.h"
#include "base/system_path.h"

namespace ferry {

namespace {

std::filesystem::path HostPath(const std::string& path) {
#ifdef _WIN32
  return SystemPath(path);
#else
  std::string p = path;
  std::replace(p.begin(), p.end(), '\\', '/');
  return std::filesystem::path(p);
#endif
}

class DiskFs : public VfsFileSystem {
 public:
  std::unique_ptr<RandomAccessFile> Open(const std::string& path, FileMode mode) override {
    return OpenDiskFile(HostPath(path), mode);
  }
  bool Exists(const std::string& path) override {
    return KindOfPath(HostPath(path)) == PathKind::kFile;
  }
  void Remove(const std::string& path) override {
    auto p = HostPath(path);
    if (KindOfPath(p) == PathKind::kMissing) return;
    if (!DeleteFileAtPath(p) && KindOfPath(p) != PathKind::kMissing) throw SetupError("Cannot delete " + path);
  }
};

// A view of a shared in-memory file that reports each change to its file system.
class MemoryView : public RandomAccessFile {
 public:
  MemoryView(MemoryVfsFileSystem& fs, std::string path, std::shared_ptr<MemoryFile> file, bool writable)
      : fs_(fs), path_(std::move(path)), file_(std::move(file)), writable_(writable) {}

  uint64_t Size() override { return file_->Size(); }
  size_t ReadAt(uint64_t offset, std::span<uint8_t> out) override { return file_->ReadAt(offset, out); }
  void WriteAt(uint64_t offset, std::span<const uint8_t> data) override {
    Check();
    if (data.empty()) return;
    fs_.BeforeChange({MemoryVfsFileSystem::Change::kWrite, path_, offset, data.size()});
    file_->WriteAt(offset, data);
  }
  void Truncate(uint64_t size) override {
    Check();
    fs_.BeforeChange({MemoryVfsFileSystem::Change::kTruncate, path_, size, 0});
    file_->Truncate(size);
  }
  void Flush() override {}

 private:
  void Check() {
    if (!writable_) throw SetupError("Cannot write " + path_ + ": opened for reading");
  }

  MemoryVfsFileSystem& fs_;
  std::string path_;
  std::shared_ptr<MemoryFile> file_;
  bool writable_;
};

}  // namespace

VfsFileSystem& DiskVfsFileSystem() {
  static DiskFs fs;
  return fs;
}

std::unique_ptr<RandomAccessFile> MemoryVfsFileSystem::Open(const std::string& path, FileMode mode) {
  auto it = files_.find(path);
  if (mode == FileMode::kCreate) {
    BeforeChange({Change::kCreate, path, 0, 0});
    auto file = std::make_shared<MemoryFile>();
    files_[path] = file;
    return std::make_unique<MemoryView>(*this, path, file, true);
  }
  if (it == files_.end()) return nullptr;
  return std::make_unique<MemoryView>(*this, path, it->second, mode != FileMode::kRead);
}

bool MemoryVfsFileSystem::Exists(const std::string& path) { return files_.count(path) != 0; }

void MemoryVfsFileSystem::Remove(const std::string& path) {
  if (!files_.count(path)) return;
  BeforeChange({Change::kRemove, path, 0, 0});
  files_.erase(path);
}

void MemoryVfsFileSystem::Put(const std::string& path, std::vector<uint8_t> bytes) {
  files_[path] = std::make_shared<MemoryFile>(std::move(bytes));
}

const std::vector<uint8_t>* MemoryVfsFileSystem::Find(const std::string& path) const {
  auto it = files_.find(path);
  return it == files_.end() ? nullptr : &it->second->Data();
}

std::vector<std::string> MemoryVfsFileSystem::Paths() const {
  std::vector<std::string> out;
  for (const auto& [path, file] : files_) out.push_back(path);
  return out;
}

}  // namespace ferry
