#include "base/path_text.h"

namespace ferry {

std::string FolderOf(std::string_view path, std::string_view separators) {
  const size_t slash = path.find_last_of(separators);
  return slash == std::string_view::npos ? std::string() : std::string(path.substr(0, slash + 1));
}

std::string ParentFolderOf(std::string_view path, std::string_view separators) {
  const size_t slash = path.find_last_of(separators);
  return slash == std::string_view::npos ? std::string() : std::string(path.substr(0, slash));
}

}  // namespace ferry
