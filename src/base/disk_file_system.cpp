// The host's disk through the file calls of base/system_path.h: what tools,
// tests and benchmarks use; the Windows programs get the Win32 file system
// from the app.
#include "base/file_system.h"
#include "base/path_text.h"
#include "base/system_path.h"
#include "base/text_helpers.h"

namespace ferry {

namespace {

class DiskFiles : public FileSystem {
 public:
  std::unique_ptr<RandomAccessFile> Open(const std::string& path, FileMode mode) override {
    return OpenDiskFile(HostPath(path), mode);
  }
  bool FileExists(const std::string& path) override { return KindOfPath(HostPath(path)) == PathKind::kFile; }
  bool DirectoryExists(const std::string& path) override {
    return KindOfPath(HostPath(path)) == PathKind::kFolder;
  }
  bool IsReadOnly(const std::string& path) override { return HasReadOnlyMark(HostPath(path)); }
  bool MakeWritable(const std::string& path) override { return ClearReadOnlyMark(HostPath(path)); }
  bool RemoveFile(const std::string& path) override {
    auto p = HostPath(path);
    if (KindOfPath(p) == PathKind::kMissing) return true;
    return DeleteFileAtPath(p) || KindOfPath(p) == PathKind::kMissing;
  }
  bool RenameFile(const std::string& from, const std::string& to) override {
    return RenamePath(HostPath(from), HostPath(to));
  }
  bool CopyFile(const std::string& from, const std::string& to, bool failIfExists) override {
    return CopyFileAtPath(HostPath(from), HostPath(to), failIfExists);
  }
  bool CreateDirectory(const std::string& path) override {
    std::error_code ec;
    return CreateOneFolder(HostPath(path), ec) && !ec;
  }
  bool RemoveDirectory(const std::string& path) override { return RemoveFolderAtPath(HostPath(path)); }
  std::vector<FoundFile> FindFiles(const std::string& pattern) override {
    const std::string folder = FolderOf(pattern, "\\");
    const std::string mask = pattern.substr(folder.size());
    std::vector<FoundFile> found;
    for (FolderItem& item : ListFolder(HostPath(folder.empty() ? "." : folder))) {
      if (!MatchesFileMask(item.Name, mask)) continue;
      FoundFile f;
      f.Name = std::move(item.Name);
      f.IsDirectory = item.IsFolder;
      f.IsReadOnly = item.IsReadOnly;
      f.Size = item.Size;
      found.push_back(std::move(f));
    }
    return found;
  }
};

}  // namespace

FileSystem& DiskFileSystem() {
  static DiskFiles files;
  return files;
}

}  // namespace ferry
