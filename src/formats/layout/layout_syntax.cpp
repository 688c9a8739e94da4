#include "formats/layout/layout_syntax.h"

#include "base/setup_error.h"
#include "base/text.h"

namespace ferry {

namespace {

bool IsTrimmed(char c) { return static_cast<uint8_t>(c) <= ' '; }

std::string Trim(std::string_view s) {
  size_t b = 0;
  size_t e = s.size();
  while (b < e && IsTrimmed(s[b])) ++b;
  while (e > b && IsTrimmed(s[e - 1])) --e;
  return std::string(s.substr(b, e - b));
}

[[noreturn]] void ThrowNotInteger(std::string_view text) {
  throw SetupError("'" + std::string(text) + "' is not a valid integer value");
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

bool IsAsciiAlpha(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_'; }

}  // namespace

std::vector<std::string> SplitLines(std::span<const uint8_t> data) {
  std::string_view text(reinterpret_cast<const char*>(data.data()), data.size());
  size_t nul = text.find('\0');
  if (nul != std::string_view::npos) text = text.substr(0, nul);

  std::vector<std::string> lines;
  size_t start = 0;
  while (start < text.size()) {
    size_t cr = text.find('\r', start);
    if (cr == std::string_view::npos) {
      lines.push_back(Trim(text.substr(start)));
      break;
    }
    lines.push_back(Trim(text.substr(start, cr - start)));
    start = cr + 1;
  }
  return lines;
}

std::vector<LayoutSection> SplitSections(const std::vector<std::string>& lines) {
  std::vector<LayoutSection> sections;
  for (const std::string& line : lines) {
    if (line.empty()) continue;
    if (line[0] == '[' || sections.empty()) sections.emplace_back();
    sections.back().push_back(line);
  }
  return sections;
}

std::string SectionName(std::string_view header) {
  if (header.size() < 2) return {};
  return std::string(header.substr(1, header.size() - 2));
}

int32_t LayoutStrToInt(std::string_view text) {
  size_t i = 0;
  while (i < text.size() && text[i] == ' ') ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';

  bool hex = false;
  if (i < text.size() && (text[i] == '$' || text[i] == 'x' || text[i] == 'X')) {
    hex = true;
    ++i;
  } else if (i + 1 < text.size() && text[i] == '0' && (text[i + 1] == 'x' || text[i + 1] == 'X')) {
    hex = true;
    i += 2;
  }
  if (i == text.size()) ThrowNotInteger(text);

  uint64_t value = 0;
  const uint64_t limit = hex ? 0xFFFFFFFFull : (negative ? 0x80000000ull : 0x7FFFFFFFull);
  for (; i < text.size(); ++i) {
    int d = hex ? HexDigit(text[i]) : (text[i] >= '0' && text[i] <= '9' ? text[i] - '0' : -1);
    if (d < 0) ThrowNotInteger(text);
    value = value * (hex ? 16 : 10) + static_cast<uint64_t>(d);
    if (value > limit) ThrowNotInteger(text);
  }
  uint32_t bits = static_cast<uint32_t>(value);
  if (negative) bits = 0u - bits;
  return static_cast<int32_t>(bits);
}

bool LayoutStrToBool(std::string_view text) { return EqualsNoCase(text, "true"); }

uint32_t LayoutStrToColour(std::string_view text) { return static_cast<uint32_t>(LayoutStrToInt(text)); }

bool IsValidComponentName(std::string_view name) {
  if (name.empty()) return true;
  if (!IsAsciiAlpha(name[0])) return false;
  for (char c : name)
    if (!IsAsciiAlpha(c) && !(c >= '0' && c <= '9')) return false;
  return true;
}

}  // namespace ferry
