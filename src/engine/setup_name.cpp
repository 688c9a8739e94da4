#include "engine/setup_name.h"

namespace ferry {

namespace {

bool IsCopyNumber(std::string_view inside) {
  for (char c : inside)
    if (c < '1' || c > '9') return false;
  return true;  // empty counts too: "name().exe"
}

std::string DropCopyNumbers(std::string_view text, char open, char close) {
  std::string out;
  size_t pos = 0;
  while (pos < text.size()) {
    size_t start = text.find(open, pos);
    if (start == std::string_view::npos) break;
    out.append(text.substr(pos, start - pos));
    size_t end = text.find(close, start + 1);
    if (end == std::string_view::npos) {
      pos = start;  // unclosed: the rest stays as it is
      break;
    }
    std::string_view inside = text.substr(start + 1, end - start - 1);
    if (!IsCopyNumber(inside)) out.append(text.substr(start, end - start + 1));
    pos = end + 1;
  }
  if (pos < text.size()) out.append(text.substr(pos));
  return out;
}

}  // namespace

std::string NormaliseSetupName(std::string_view found) {
  return DropCopyNumbers(DropCopyNumbers(found, '(', ')'), '[', ']');
}

bool MatchesSetupName(std::string_view found, std::string_view expected) {
  return NormaliseSetupName(found) == expected;
}

}  // namespace ferry
