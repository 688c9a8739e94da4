// Small text helpers shared by the formats and the tools.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace ferry {

// ASCII letters only; other bytes stay as they are (the system code page's
// upper half is left alone, as the formats compare "ignoring ASCII case").
char AsciiLower(char c);
std::string AsciiLowerCopy(std::string_view s);
bool EqualsNoCase(std::string_view a, std::string_view b);
// An ASCII letter, as drive letters are.
inline bool IsDriveLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }
bool StartsWithNoCase(std::string_view s, std::string_view prefix);

// UTF-16 <-> UTF-8, for tools, tests and logs. Invalid input is replaced
// with U+FFFD rather than rejected.
std::string Utf16ToUtf8(std::u16string_view s);
std::u16string Utf8ToUtf16(std::string_view s);
// 8-bit text of the system code page <-> UTF-16. The Windows programs use
// the system's ANSI code page, as every Windows call of theirs does; the
// portable side (Linux tools and tests) takes it as Windows-1252. What the
// code page cannot hold becomes "?", never a look-alike such as "\".
std::u16string CodePageToUtf16(std::string_view s);
std::string CodePageFromUtf16(std::u16string_view s);
// The same text only when the code page holds every character; none when a
// "?" or a best-fit look-alike would have to stand in (a folder name so
// changed names another folder).
std::optional<std::string> CodePageFromUtf16Exactly(std::u16string_view s);
// Lower-cases as the system's ANSI lower-casing does (on the portable side:
// ASCII letters and the accented capitals of Windows-1252).
std::string CodePageLower(std::string_view s);

}  // namespace ferry
