// Paths on the portable side: the file calls take them as they are.
#include "base/system_path.h"

#include <algorithm>
#include <filesystem>
#include <string>

namespace ferry {

namespace fs = std::filesystem;

NativePath SystemPath(std::string_view codePagePath) { return std::string(codePagePath); }

NativePath HostPath(std::string_view setupPath) {
  std::string path(setupPath);
  std::replace(path.begin(), path.end(), '\\', '/');
  return path;
}

NativePath PathFromUtf8(std::string_view utf8) { return std::string(utf8); }

NativePath LongFormPath(NativePath path) { return path; }

std::string PathText(const NativePath& path) { return path.native(); }

PathKind KindOfPath(const NativePath& path) {
  std::error_code ec;
  auto status = fs::status(path.native(), ec);
  if (ec || !fs::exists(status)) return PathKind::kMissing;
  return fs::is_directory(status) ? PathKind::kFolder : PathKind::kFile;
}

bool CreateOneFolder(const NativePath& path, std::error_code& ec) {
  bool created = fs::create_directory(path.native(), ec);
  if (ec && KindOfPath(path) != PathKind::kMissing) ec.clear();
  return created;
}

bool DeleteFileAtPath(const NativePath& path) {
  std::error_code ec;
  return KindOfPath(path) == PathKind::kFile && fs::remove(path.native(), ec) && !ec;
}

bool RemoveFolderAtPath(const NativePath& path) {
  std::error_code ec;
  return KindOfPath(path) == PathKind::kFolder && fs::remove(path.native(), ec) && !ec;
}

bool RenamePath(const NativePath& from, const NativePath& to) {
  std::error_code ec;
  fs::rename(from.native(), to.native(), ec);
  return !ec;
}

bool CopyFileAtPath(const NativePath& from, const NativePath& to, bool failIfExists) {
  std::error_code ec;
  auto options = failIfExists ? fs::copy_options::none : fs::copy_options::overwrite_existing;
  return fs::copy_file(from.native(), to.native(), options, ec) && !ec;
}

bool HasReadOnlyMark(const NativePath& path) {
  std::error_code ec;
  auto status = fs::status(path.native(), ec);
  return !ec && (status.permissions() & fs::perms::owner_write) == fs::perms::none;
}

bool ClearReadOnlyMark(const NativePath& path) {
  std::error_code ec;
  fs::permissions(path.native(), fs::perms::owner_write, fs::perm_options::add, ec);
  return !ec;
}

std::vector<FolderItem> ListFolder(const NativePath& folder) {
  std::vector<FolderItem> items;
  std::error_code ec;
  for (fs::directory_iterator it(folder.native(), ec), end; !ec && it != end; it.increment(ec)) {
    FolderItem item;
    item.Name = it->path().filename().string();
    std::error_code statusError;
    item.IsFolder = it->is_directory(statusError);
    if (!item.IsFolder) item.Size = it->file_size(statusError);
    item.IsReadOnly = (it->status(statusError).permissions() & fs::perms::owner_write) == fs::perms::none;
    items.push_back(std::move(item));
  }
  return items;
}

}  // namespace ferry
