#include "base/memory_file_system.h"

#include "base/path_text.h"
#include "base/setup_error.h"

namespace ferry {

namespace {

// A view of a shared in-memory file that reports each change to its file system.
class MemoryView : public RandomAccessFile {
 public:
  MemoryView(MemoryFileSystem& fs, std::string path, std::shared_ptr<MemoryFile> file, bool writable)
      : fs_(fs), path_(std::move(path)), file_(std::move(file)), writable_(writable) {}

  uint64_t Size() override { return file_->Size(); }
  size_t ReadAt(uint64_t offset, std::span<uint8_t> out) override { return file_->ReadAt(offset, out); }
  void WriteAt(uint64_t offset, std::span<const uint8_t> data) override {
    Check();
    if (data.empty()) return;
    fs_.BeforeChange({MemoryFileSystem::Change::kWrite, path_, offset, data.size()});
    file_->WriteAt(offset, data);
  }
  void Truncate(uint64_t size) override {
    Check();
    fs_.BeforeChange({MemoryFileSystem::Change::kTruncate, path_, size, 0});
    file_->Truncate(size);
  }
  void Flush() override {}

 private:
  void Check() {
    if (!writable_) throw SetupError("Cannot write " + path_ + ": opened for reading");
  }

  MemoryFileSystem& fs_;
  std::string path_;
  std::shared_ptr<MemoryFile> file_;
  bool writable_;
};

}  // namespace

std::unique_ptr<RandomAccessFile> MemoryFileSystem::Open(const std::string& path, FileMode mode) {
  auto it = files_.find(path);
  if (IsCreateMode(mode)) {
    if (read_only_.count(path) || dirs_.count(path)) return nullptr;
    if (mode == FileMode::kCreateNew && it != files_.end()) return nullptr;
    BeforeChange({Change::kCreate, path, 0, 0});
    auto file = std::make_shared<MemoryFile>();
    files_[path] = file;
    return std::make_unique<MemoryView>(*this, path, file, true);
  }
  if (it == files_.end()) return nullptr;
  if (mode != FileMode::kRead && read_only_.count(path)) return nullptr;
  return std::make_unique<MemoryView>(*this, path, it->second, mode != FileMode::kRead);
}

bool MemoryFileSystem::MakeWritable(const std::string& path) {
  if (!files_.count(path) && !dirs_.count(path)) return false;
  read_only_.erase(path);
  return true;
}

bool MemoryFileSystem::RemoveFile(const std::string& path) {
  if (!files_.count(path)) return true;
  if (read_only_.count(path)) return false;
  BeforeChange({Change::kRemove, path, 0, 0});
  files_.erase(path);
  return true;
}

bool MemoryFileSystem::RenameFile(const std::string& from, const std::string& to) {
  auto it = files_.find(from);
  if (it == files_.end() || dirs_.count(to) || read_only_.count(to)) return false;
  BeforeChange({Change::kRename, from, 0, 0});
  auto file = it->second;
  files_.erase(it);
  files_[to] = std::move(file);
  if (read_only_.erase(from)) read_only_.insert(to);
  return true;
}

bool MemoryFileSystem::CopyFile(const std::string& from, const std::string& to, bool failIfExists) {
  auto it = files_.find(from);
  if (it == files_.end() || dirs_.count(to) || read_only_.count(to)) return false;
  if (failIfExists && files_.count(to)) return false;
  BeforeChange({Change::kCreate, to, 0, it->second->Size()});
  files_[to] = std::make_shared<MemoryFile>(it->second->Data());
  return true;
}

bool MemoryFileSystem::CreateDirectory(const std::string& path) {
  if (dirs_.count(path) || files_.count(path)) return false;
  BeforeChange({Change::kCreateDirectory, path, 0, 0});
  dirs_.insert(path);
  return true;
}

bool MemoryFileSystem::RemoveDirectory(const std::string& path) {
  if (!dirs_.count(path)) return false;
  std::string inside = path + '\\';
  for (const auto& [file, data] : files_)
    if (file.compare(0, inside.size(), inside) == 0) return false;
  for (const auto& dir : dirs_)
    if (dir.compare(0, inside.size(), inside) == 0) return false;
  BeforeChange({Change::kRemoveDirectory, path, 0, 0});
  dirs_.erase(path);
  return true;
}

std::vector<FoundFile> MemoryFileSystem::FindFiles(const std::string& pattern) {
  std::string folder = FolderOf(pattern, "\\");
  std::string mask = pattern.substr(folder.size());
  std::vector<FoundFile> found;
  auto consider = [&](const std::string& path, bool isDirectory, uint64_t size) {
    if (FolderOf(path, "\\") != folder) return;
    std::string name = path.substr(folder.size());
    if (MatchesFileMask(name, mask)) found.push_back({.Name = name, .IsDirectory = isDirectory, .IsReadOnly = read_only_.count(path) != 0, .Size = size});
  };
  for (const auto& dir : dirs_) consider(dir, true, 0);
  for (const auto& [path, file] : files_) consider(path, false, file->Size());
  return found;
}

void MemoryFileSystem::Put(const std::string& path, std::vector<uint8_t> bytes) {
  files_[path] = std::make_shared<MemoryFile>(std::move(bytes));
}

const std::vector<uint8_t>* MemoryFileSystem::Find(const std::string& path) const {
  auto it = files_.find(path);
  return it == files_.end() ? nullptr : &it->second->Data();
}

std::vector<std::string> MemoryFileSystem::Paths() const {
  std::vector<std::string> out;
  for (const auto& [path, file] : files_) out.push_back(path);
  return out;
}

}  // namespace ferry
