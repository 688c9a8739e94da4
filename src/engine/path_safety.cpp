#include "engine/path_safety.h"

#include <functional>

#include "base/number_text.h"
#include "base/text.h"

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

// Where the first separator at or after `from` ends the path's part, or its size.
size_t SeparatorAt(std::string_view path, size_t from) {
  size_t at = path.find_first_of("\\/", from);
  return at == std::string_view::npos ? path.size() : at;
}

// Length of the root a path starts with ("C:\" 3, "C:" 2, "\\server\share\"
// with its last separator, "\" 1), the long-form prefix included; 0 for a
// relative path.
size_t RootLength(std::string_view path) {
  auto separatorAt = [&path](size_t i) { return i < path.size() && IsSeparator(path[i]); };
  size_t start = 0;   // the drive letter or the single separator
  size_t server = 0;  // where a share's server name starts; 0 for none
  if (separatorAt(0) && separatorAt(1) && path.size() > 2 && path[2] == '?' && separatorAt(3)) {
    start = 4;
    if (path.size() >= 8 && EqualsNoCase(path.substr(4, 3), "UNC") && separatorAt(7)) server = 8;
  } else if (separatorAt(0) && separatorAt(1)) {
    server = 2;
  }
  if (server != 0) {
    size_t share = SeparatorAt(path, server);
    if (share == path.size()) return share;
    size_t end = SeparatorAt(path, share + 1);
    return end == path.size() ? end : end + 1;
  }
  if (path.size() >= start + 2 && IsDriveLetter(path[start]) && path[start + 1] == ':')
    return start + (separatorAt(start + 2) ? 3 : 2);
  return separatorAt(start) ? start + 1 : 0;
}

// The part before the first dot, less trailing blanks, names a device: Windows
// opens the device for "con", "CON.txt" and "con .log" alike. The superscript
// digits count as digits there.
bool IsDeviceName(std::u16string_view name) {
  std::u16string_view base = name.substr(0, name.find(u'.'));
  while (!base.empty() && base.back() == u' ') base.remove_suffix(1);
  std::string lower;
  for (char16_t c : base) lower += c < 0x80 ? AsciiLower(static_cast<char>(c)) : '\x7f';
  if (lower == "con" || lower == "prn" || lower == "aux" || lower == "nul") return true;
  if (base.size() != 4 || (lower.compare(0, 3, "com") != 0 && lower.compare(0, 3, "lpt") != 0)) return false;
  char16_t digit = base[3];
  return (digit >= u'1' && digit <= u'9') || digit == u'\u00b9' || digit == u'\u00b2' || digit == u'\u00b3';
}

// Why Windows cannot create the single name `step`; "" when it can.
std::string StepProblem(std::string_view step) {
  const std::string quoted = "'" + std::string(step) + "'";
  if (OnlyDotsAndBlanks(step))
    return quoted + (step == ".." ? " leads out of the folder" : " is only dots and blanks, which Windows cuts away");
  std::u16string wide = CodePageToUtf16(step);
  if (wide.empty()) return quoted + " is not text of the system code page";
  for (char16_t c : wide) {
    if (c < 32) {
      return quoted + " holds the control character 0x" + HexText(c, 2, true);
    }
    if (std::u16string_view(u"<>:\"|?*").find(c) != std::u16string_view::npos)
      return quoted + " holds '" + static_cast<char>(c) + "'";
  }
  if (wide.back() == u'.') return quoted + " ends in a dot, which Windows drops";
  if (wide.back() == u' ') return quoted + " ends in a blank, which Windows drops";
  if (wide.size() > 255) return quoted + " is longer than 255 characters";
  if (IsDeviceName(wide)) return quoted + " is a device name on Windows";
  return {};
}

}  // namespace

bool IsDriveRoot(std::string_view path) {
  const size_t root = RootLength(path);
  if (root == 0) return false;
  // How far below the root the path ends once Windows has folded its steps.
  int depth = 0;
  EveryName(path.substr(root), [&depth](std::string_view name) {
    if (name == "..") depth = depth > 0 ? depth - 1 : 0;
    else if (!OnlyDotsAndBlanks(name)) ++depth;
    return true;
  });
  return depth == 0;
}

bool IsBelowDriveRoot(std::string_view path) {
  if (RootLength(path) != 3 || path[1] != ':') return false;
  std::string_view below = path.substr(3);
  if (below.find_first_of("*?:") != std::string_view::npos) return false;
  return EveryName(below, [](std::string_view name) { return !OnlyDotsAndBlanks(name); }) && !IsDriveRoot(path);
}

bool StaysBelow(std::string_view relative) {
  if (!relative.empty() && IsSeparator(relative.front())) return false;
  if (relative.find(':') != std::string_view::npos) return false;
  // "." stays where it is; "..", "..." and the like may climb.
  return EveryName(relative, [](std::string_view name) { return !(OnlyDotsAndBlanks(name) && name != "."); });
}

std::string WindowsNameProblem(std::string_view name) {
  if (name.empty()) return "the name is empty";
  if (IsSeparator(name.front())) return "'" + std::string(name) + "' starts at the root of a drive";
  std::string problem;
  bool named = false;
  EveryName(name, [&](std::string_view step) {
    if (step == ".") return true;
    named = true;
    problem = StepProblem(step);
    return problem.empty();
  });
  if (problem.empty() && !named) problem = "'" + std::string(name) + "' names no file or folder";
  return problem;
}

}  // namespace ferry
