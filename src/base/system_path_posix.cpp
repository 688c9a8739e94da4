// Paths on the portable side: the file calls take them as they are.
#include "base/system_path.h"

#include <algorithm>
#include <string>

namespace ferry {

std::filesystem::path SystemPath(std::string_view codePagePath) { return std::filesystem::path(codePagePath); }

std::filesystem::path HostPath(std::string_view setupPath) {
  std::string path(setupPath);
  std::replace(path.begin(), path.end(), '\\', '/');
  return std::filesystem::path(path);
}

std::filesystem::path PathFromUtf8(std::string_view utf8) { return std::filesystem::path(utf8); }

std::filesystem::path LongFormPath(std::filesystem::path path) { return path; }

std::string PathText(const std::filesystem::path& path) { return path.string(); }

PathKind KindOfPath(const std::filesystem::path& path) {
  std::error_code ec;
  auto status = std::filesystem::status(path, ec);
  if (ec || !std::filesystem::exists(status)) return PathKind::kMissing;
  return std::filesystem::is_directory(status) ? PathKind::kFolder : PathKind::kFile;
}

bool CreateOneFolder(const std::filesystem::path& path, std::error_code& ec) {
  bool created = std::filesystem::create_directory(path, ec);
  if (ec && KindOfPath(path) != PathKind::kMissing) ec.clear();
  return created;
}

bool DeleteFileAtPath(const std::filesystem::path& path) {
  std::error_code ec;
  return KindOfPath(path) == PathKind::kFile && std::filesystem::remove(path, ec) && !ec;
}

}  // namespace ferry
