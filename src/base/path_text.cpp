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

std::string JoinPath(std::string_view folder, std::string_view name) {
  while (!folder.empty() && kPathSeparators.find(folder.back()) != std::string_view::npos) folder.remove_suffix(1);
  while (!name.empty() && kPathSeparators.find(name.front()) != std::string_view::npos) name.remove_prefix(1);
  return std::string(folder) + "\\" + std::string(name);
}

std::string WithSingleSeparators(std::string_view path) {
  auto separator = [](char c) { return kPathSeparators.find(c) != std::string_view::npos; };
  size_t lead = 0;
  while (lead < 2 && lead < path.size() && separator(path[lead])) ++lead;
  std::string out(path.substr(0, lead));
  for (size_t i = lead; i < path.size(); ++i)
    if (!separator(path[i]) || out.empty() || !separator(out.back())) out += path[i];
  return out;
}

}  // namespace ferry
