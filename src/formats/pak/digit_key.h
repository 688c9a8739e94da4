// The digit-key transform: adds (encode) or subtracts (decode) the decimal
// digits of a fixed key byte by byte, modulo 256, the key restarting at its
// first digit for every string. It keeps the install log and the package
// passwords of the command stream from being read at a glance; it is not
// encryption.
#pragma once

#include <string>
#include <string_view>

namespace ferry {

// 244 decimal digits each; the compiler and the stub share them.
extern const std::string_view kInstallLogKey;
extern const std::string_view kCommandParamKey;

std::string DigitKeyEncode(std::string_view key, std::string_view text);
std::string DigitKeyDecode(std::string_view key, std::string_view text);

}  // namespace ferry
