#include "base/text_replace.h"

#include <vector>

namespace ferry {

namespace {

template <typename Char>
Char FoldAscii(Char c) {
  return (c >= Char('A') && c <= Char('Z')) ? Char(c - 'A' + 'a') : c;
}

template <typename Char>
bool EqualAt(std::basic_string_view<Char> text, size_t at, std::basic_string_view<Char> pattern) {
  for (size_t i = 0; i < pattern.size(); ++i)
    if (FoldAscii(text[at + i]) != FoldAscii(pattern[i])) return false;
  return true;
}

template <typename Char>
size_t FindNoCaseT(std::basic_string_view<Char> text, std::basic_string_view<Char> pattern, size_t from) {
  if (pattern.empty() || pattern.size() > text.size()) return std::basic_string_view<Char>::npos;
  for (size_t i = from; i <= text.size() - pattern.size(); ++i)
    if (EqualAt(text, i, pattern)) return i;
  return std::basic_string_view<Char>::npos;
}

// Builds the result left to right. An occurrence is only ever completed by
// the character just appended, and all occurrences have the pattern's
// length, so the first one to end is the leftmost: this gives exactly the
// result of searching again from the start after each replacement, without
// the quadratic rescans. In rescan mode the replacement goes back through
// the input so that it can join the text before it; otherwise it is copied
// to the output and no occurrence may start inside it (the barrier).
template <typename Char>
std::basic_string<Char> ReplaceAllT(std::basic_string_view<Char> text, std::basic_string_view<Char> pattern,
                                    std::basic_string_view<Char> replacement) {
  std::basic_string<Char> out;
  if (pattern.empty() || FindNoCaseT(text, pattern, 0) == std::basic_string_view<Char>::npos)
    return std::basic_string<Char>(text);
  const bool rescan = FindNoCaseT(replacement, pattern, 0) == std::basic_string_view<Char>::npos;
  const size_t m = pattern.size();
  out.reserve(text.size());

  std::vector<Char> pending(text.rbegin(), text.rend());  // input, next character last
  size_t barrier = 0;  // no occurrence may start before this output index
  while (!pending.empty()) {
    out.push_back(pending.back());
    pending.pop_back();
    if (out.size() < m || out.size() - m < barrier) continue;
    if (!EqualAt(std::basic_string_view<Char>(out), out.size() - m, pattern)) continue;
    out.resize(out.size() - m);
    if (rescan) {
      pending.insert(pending.end(), replacement.rbegin(), replacement.rend());
    } else {
      out.append(replacement);
      barrier = out.size();
    }
  }
  return out;
}

}  // namespace

std::string ReplaceAll(std::string_view text, std::string_view pattern, std::string_view replacement) {
  return ReplaceAllT(text, pattern, replacement);
}

std::u16string ReplaceAll(std::u16string_view text, std::u16string_view pattern, std::u16string_view replacement) {
  return ReplaceAllT(text, pattern, replacement);
}

size_t FindNoCase(std::string_view text, std::string_view pattern, size_t from) {
  return FindNoCaseT(text, pattern, from);
}

size_t FindNoCase(std::u16string_view text, std::u16string_view pattern, size_t from) {
  return FindNoCaseT(text, pattern, from);
}

}  // namespace ferry
