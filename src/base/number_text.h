// Numbers as text without the C runtime's printf family, which on mingw-w64
// is its own implementation of about 35 KB in every setup and uninstaller.
// The results are those of printf's conversions named beside each function,
// "." as the decimal separator whatever the locale.
#pragma once

#include <cstdint>
#include <string>

namespace ferry {

// "%0*llu": decimal digits, zero-padded on the left to `width`.
std::string DecimalText(uint64_t value, int width = 0);
// "%0*llx" or "%0*llX": hexadecimal digits, zero-padded to `width`.
std::string HexText(uint64_t value, int width, bool upper);
// "%.*Lf": `decimals` digits after the point, rounded half to even on the
// exact binary value.
std::string FixedText(long double value, int decimals);
// "%.*Lg": `digits` significant digits (0 counts as 1), trailing zeros and a
// bare point dropped, the exponent form below 1e-4 and from 10^digits.
std::string GeneralText(long double value, int digits);

}  // namespace ferry
