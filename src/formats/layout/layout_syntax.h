// The text syntax shared by layout files and the page list: 8-bit lines split
// at CR and trimmed, "[Name]" section headers, and the
// value forms (integers in decimal or hexadecimal, booleans, colours).
//
// Conversions that fail raise SetupError with the program's conversion text
// ("'<value>' is not a valid integer value"); layouts are built at start-up,
// so such an error ends up in the start-up guard.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace ferry {

// Splits 8-bit text into trimmed lines. The text ends at the end of the data
// or at the first NUL byte. Lines end at CR; each piece loses leading and
// trailing bytes at or below the blank (so a LF after a CR disappears). Empty
// pieces are kept; a CR at the very end does not add an empty last line.
std::vector<std::string> SplitLines(std::span<const uint8_t> data);

// A section: line 0 is its header, the rest its body. A line starting with
// "[" starts a new section; lines before the first header form a section of
// their own whose first line stands as the header. Empty lines are dropped.
using LayoutSection = std::vector<std::string>;
std::vector<LayoutSection> SplitSections(const std::vector<std::string>& lines);

// The name a header gives: the line without its first and last character
// ("[WelcomeLabel]" -> "WelcomeLabel"); empty for lines shorter than two.
std::string SectionName(std::string_view header);

// Integer: optional leading blanks, optional sign, then decimal digits or
// hexadecimal digits after "$", "0x" or "x" (any case). Hexadecimal values
// take 32 bits and wrap into the signed range ("$FFFFFFFF" is -1); decimal
// values must fit in 32 signed bits. Nothing may follow the digits.
// Throws SetupError("'<text>' is not a valid integer value").
int32_t LayoutStrToInt(std::string_view text);

// "true" in any letter case; everything else is false.
bool LayoutStrToBool(std::string_view text);

// A colour is an integer in the layout 0x00BBGGRR ("$0000FF" is pure red).
uint32_t LayoutStrToColour(std::string_view text);

// Component names follow identifier rules: an ASCII letter or underscore,
// then letters, digits and underscores. The empty name is allowed (it names
// nothing and so can never clash).
bool IsValidComponentName(std::string_view name);

}  // namespace ferry
