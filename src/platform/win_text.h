// Text at the Win32 edge: every Windows call takes wide characters, while the
// program's own 8-bit texts are in the system code page (CP_ACP).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace ferry {

std::wstring AnsiToWide(std::string_view s);
// An 8-bit path as the file calls take it: wide, and in the long form when
// it needs it (base/system_path.h). Every file-system call goes through it.
std::wstring WinPath(std::string_view path);
// Characters the code page cannot hold become its default character.
std::string WideToAnsi(std::wstring_view s);
std::wstring U16ToWide(std::u16string_view s);
std::u16string WideToU16(std::wstring_view s);
std::u16string AnsiToU16(std::string_view s);
std::string U16ToAnsi(std::u16string_view s);
// For logs and standard error, which are UTF-8.
std::string AnsiToUtf8(std::string_view s);

// The system's text for an error code (FormatMessage), without the
// trailing line break; "Error <code>" when the system has none.
std::string SystemErrorText(uint32_t code);

}  // namespace ferry
