#include "core/path_safety.h"

#include <functional>

namespace ferry {

namespace {

bool IsSeparator(char c) { return c == '\\' || c == '/'; }

// Calls `step` with every name between separators; stops at the first false.
bool EveryName(std::string_view path, const std::function<bool(std::string_view)>& step) {
  size_t start = 0;
  while (start < path.size()) {
    size_t end = start;
    while (end < path.size() && !IsSeparator(path[end])) ++end;
    if (end > start && !step(path.substr(start, end - start))) return false;
    start = end + 1;
  }
  return true;
}

bool OnlyDotsAndBlanks(std::string_view name) { return name.find_first_not_of(". ") == std::string_view::npos; }

bool IsDriveLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

}  // namespace

bool IsBelowDriveRoot(std::string_view path) {
  if (path.size() < 4 || !IsDriveLetter(path[0]) || path[1] != ':' || !IsSeparator(path[2])) return false;
  std::string_view below = path.substr(3);
  if (below.find_first_of("*?:") != std::string_view::npos) return false;
  bool named = false;
  bool safe = EveryName(below, [&named](std::string_view name) {
    named = true;
    return !OnlyDotsAndBlanks(name);
  });
  return safe && named;
}

bool StaysBelow(std::string_view relative) {
  if (!relative.empty() && IsSeparator(relative.front())) return false;
  if (relative.find(':') != std::string_view::npos) return false;
  // "." stays where it is; "..", "..." and the like may climb.
  return EveryName(relative, [](std::string_view name) { return !(OnlyDotsAndBlanks(name) && name != "."); });
}

}  // namespace ferry
