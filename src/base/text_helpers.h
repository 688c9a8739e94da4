// Small text helpers shared by the commands, start-up and the wizard.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>

namespace ferry {

// Registry roots by index: 0 HKLM, 1 HKCU, 2 HKCR, 3 HKU, 4 HKCC.
// RootKeyIndex upper-cases the name and knows only the short names; any other
// text (including "HKEY_CURRENT_USER") gives 0.
int RootKeyIndex(std::string_view name);
// The long name ("HKEY_LOCAL_MACHINE", ...); any other index gives "!ERROR!".
std::string RootKeyName(int index);
// The short name ("HKLM", ...); any other index gives "".
std::string RootKeyShortName(int index);

// "0.00 Bytes", "1023.00 Bytes", "1.00 KB", "1.50 KB", "5.00 GB", "5120.00 GB":
// divided by 1024 while the integer part stays above 0, up to GB.
std::string FormatByteSize(uint64_t count);

// Appends "\" unless the text is empty or already ends with one.
std::string IncludeTrailingBackslash(std::string_view text);

// The install folder is kept 8-bit (setup information, install log, path
// variables): a folder the system code page cannot hold is refused with
// this message before anything is written.
std::u16string FolderNotInCodePageMessage(std::u16string_view folder);
// ... and so is the root of a drive or network share.
std::u16string FolderIsDriveRootMessage(std::u16string_view folder);

// The decimal value (optional sign, digits, 32-bit range), or -1.
int32_t StrToIntOrMinus1(std::string_view text);

// {text before the first "=", text after it}; without "=": {"", text}.
std::pair<std::string, std::string> SplitAtEquals(std::string_view text);

}  // namespace ferry
