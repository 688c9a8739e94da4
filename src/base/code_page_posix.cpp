// The system code page of the portable side: Windows-1252.
#include "base/text.h"

namespace ferry {

std::u16string CodePageToUtf16(std::string_view s) {
  // Windows-1252 differs from Latin-1 only in 0x80..0x9F.
  static const char16_t kHigh[32] = {
      0x20AC, 0xFFFD, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
      0x2039, 0x0152, 0xFFFD, 0x017D, 0xFFFD, 0xFFFD, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
      0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0xFFFD, 0x017E, 0x0178};
  std::u16string out;
  out.reserve(s.size());
  for (char ch : s) {
    uint8_t b = static_cast<uint8_t>(ch);
    out += (b >= 0x80 && b < 0xA0) ? kHigh[b - 0x80] : static_cast<char16_t>(b);
  }
  return out;
}

std::string CodePageFromUtf16(std::u16string_view s) {
  std::string out;
  out.reserve(s.size());
  for (char16_t c : s) {
    if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) {
      out += static_cast<char>(c);
      continue;
    }
    static const std::u16string kHigh = [] {
      std::string bytes;
      for (int b = 0x80; b < 0xA0; ++b) bytes += static_cast<char>(b);
      return CodePageToUtf16(bytes);
    }();
    size_t at = c == 0xFFFD ? std::u16string::npos : kHigh.find(c);
    out += at == std::u16string::npos ? '?' : static_cast<char>(0x80 + at);
  }
  return out;
}

std::optional<std::string> CodePageFromUtf16Exactly(std::u16string_view s) {
  std::string out = CodePageFromUtf16(s);
  if (CodePageToUtf16(out) != s) return std::nullopt;
  return out;
}

std::string CodePageLower(std::string_view s) {
  std::string out(s);
  for (char& ch : out) {
    auto c = static_cast<uint8_t>(ch);
    if ((c >= 'A' && c <= 'Z') || (c >= 0xC0 && c <= 0xDE && c != 0xD7))
      c = static_cast<uint8_t>(c + 0x20);
    else if (c == 0x8A || c == 0x8C || c == 0x8E)
      c = static_cast<uint8_t>(c + 0x10);
    else if (c == 0x9F)
      c = 0xFF;
    ch = static_cast<char>(c);
  }
  return out;
}

}  // namespace ferry
