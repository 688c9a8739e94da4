#include "base/file_system.h"

#include <vector>

namespace ferry {

namespace {

bool IsSeparator(char c) { return c == '\\' || c == '/'; }

// Where creating stops: nothing left, a root ("\", "C:", "C:\") or the
// share of a network path ("\\server\share").
bool IsTop(const std::string& dir) {
  if (dir.empty() || (dir.size() == 1 && IsSeparator(dir[0]))) return true;
  if (dir.size() == 2 && dir[1] == ':') return true;
  if (dir.size() > 2 && IsSeparator(dir[0]) && IsSeparator(dir[1])) {
    size_t server = dir.find_first_of("\\/", 2);
    return server == std::string::npos || dir.find_first_of("\\/", server + 1) == std::string::npos;
  }
  return false;
}

std::string WithoutTrailingSeparators(std::string dir) {
  while (dir.size() > 1 && IsSeparator(dir.back())) dir.pop_back();
  return dir;
}

std::string ParentOf(const std::string& dir) {
  size_t slash = dir.find_last_of("\\/");
  if (slash == std::string::npos) return {};
  if (slash == 0) return dir.substr(0, 1);
  return WithoutTrailingSeparators(dir.substr(0, slash));
}

}  // namespace

void ForceDirectories(FileSystem& files, const std::string& path, const DirectoryCreatedFn& created) {
  std::vector<std::string> missing;
  for (std::string dir = WithoutTrailingSeparators(path); !IsTop(dir); dir = ParentOf(dir)) {
    if (files.DirectoryExists(dir)) break;
    missing.push_back(dir);
  }
  for (auto it = missing.rbegin(); it != missing.rend(); ++it) {
    if (!files.CreateDirectory(*it)) return;  // nothing below it can be made either
    if (created) created(*it + '\\');
  }
}

}  // namespace ferry
