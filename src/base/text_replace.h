// The program's one replace routine, for 8-bit and 16-bit text.
//
// Finds the pattern with ASCII letters A-Z compared without case (other
// characters exactly) and replaces occurrences one after another, searching
// again from the start after each replacement: so replacing a double
// backslash by one collapses any run of backslashes. An empty pattern
// changes nothing.
//
// When the replacement itself contains the pattern (ignoring ASCII case) the
// rescan would never end; then each occurrence of the original text is
// replaced once and the search goes on after the inserted text.
#pragma once

#include <string>
#include <string_view>

namespace ferry {

std::string ReplaceAll(std::string_view text, std::string_view pattern, std::string_view replacement);
std::u16string ReplaceAll(std::u16string_view text, std::u16string_view pattern,
                          std::u16string_view replacement);

// Index of the first occurrence of pattern at or after from, ASCII case
// ignored; npos when none. An empty pattern is never found.
size_t FindNoCase(std::string_view text, std::string_view pattern, size_t from = 0);
size_t FindNoCase(std::u16string_view text, std::u16string_view pattern, size_t from = 0);

}  // namespace ferry
