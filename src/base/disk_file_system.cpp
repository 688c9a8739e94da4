// The host's disk through std::filesystem: what tools, tests and benchmarks
// use; the Windows programs get the Win32 file system from the app.
#include <filesystem>
#include <system_error>

#include "base/file_system.h"
#include "base/system_path.h"
#include "base/text_helpers.h"

namespace ferry {

namespace {

namespace fs = std::filesystem;

class DiskFiles : public FileSystem {
 public:
  std::unique_ptr<RandomAccessFile> Open(const std::string& path, FileMode mode) override {
    return OpenDiskFile(HostPath(path), mode);
  }
  bool FileExists(const std::string& path) override { return KindOfPath(HostPath(path)) == PathKind::kFile; }
  bool DirectoryExists(const std::string& path) override {
    return KindOfPath(HostPath(path)) == PathKind::kFolder;
  }
  bool IsReadOnly(const std::string& path) override {
    std::error_code ec;
    auto status = fs::status(HostPath(path), ec);
    return !ec && (status.permissions() & fs::perms::owner_write) == fs::perms::none;
  }
  bool MakeWritable(const std::string& path) override {
    std::error_code ec;
    fs::permissions(HostPath(path), fs::perms::owner_write, fs::perm_options::add, ec);
    return !ec;
  }
  bool RemoveFile(const std::string& path) override {
    auto p = HostPath(path);
    if (KindOfPath(p) == PathKind::kMissing) return true;
    return DeleteFileAtPath(p) || KindOfPath(p) == PathKind::kMissing;
  }
  bool RenameFile(const std::string& from, const std::string& to) override {
    std::error_code ec;
    fs::rename(HostPath(from), HostPath(to), ec);
    return !ec;
  }
  bool CopyFile(const std::string& from, const std::string& to, bool failIfExists) override {
    std::error_code ec;
    auto options = failIfExists ? fs::copy_options::none : fs::copy_options::overwrite_existing;
    return fs::copy_file(HostPath(from), HostPath(to), options, ec) && !ec;
  }
  bool CreateDirectory(const std::string& path) override {
    std::error_code ec;
    return CreateOneFolder(HostPath(path), ec) && !ec;
  }
  bool RemoveDirectory(const std::string& path) override {
    auto p = HostPath(path);
    std::error_code ec;
    return KindOfPath(p) == PathKind::kFolder && fs::remove(p, ec) && !ec;
  }
  std::vector<FoundFile> FindFiles(const std::string& pattern) override {
    size_t slash = pattern.find_last_of('\\');
    std::string folder = slash == std::string::npos ? "." : pattern.substr(0, slash + 1);
    std::string mask = slash == std::string::npos ? pattern : pattern.substr(slash + 1);
    std::vector<FoundFile> found;
    std::error_code ec;
    for (fs::directory_iterator it(HostPath(folder), ec), end; !ec && it != end; it.increment(ec)) {
      FoundFile f;
      f.Name = PathText(it->path().filename());
      if (!MatchesFileMask(f.Name, mask)) continue;
      std::error_code statusError;
      f.IsDirectory = it->is_directory(statusError);
      if (!f.IsDirectory) f.Size = it->file_size(statusError);
      f.IsReadOnly = (it->status(statusError).permissions() & fs::perms::owner_write) == fs::perms::none;
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
