// Paths as the system's file calls take them. The program's paths are 8-bit
// texts in the system code page; on Windows they reach the file calls as
// wide characters, and in the long form ("\\?\C:\..." or
// "\\?\UNC\server\share\...") once they are long enough to need it.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <system_error>

namespace ferry {

// From an 8-bit path in the system code page (Linux: the bytes as they are).
std::filesystem::path SystemPath(std::string_view codePagePath);
// From a setup's own path ("\" separators): SystemPath on Windows; on
// other hosts "\" is taken as "/" so the same paths work in tools and tests.
std::filesystem::path HostPath(std::string_view setupPath);
// From UTF-8 (the command line's pieces).
std::filesystem::path PathFromUtf8(std::string_view utf8);
// The long form of a path that needs it (from kLongFormFrom characters, the
// folder-name limit of the system), made absolute and normalised as the
// system would; every other path as it is. Linux: always as it is.
std::filesystem::path LongFormPath(std::filesystem::path path);
inline constexpr size_t kLongFormFrom = 248;
// For messages: the path in the system code page.
std::string PathText(const std::filesystem::path& path);

// The few file-system calls of the portable layers, on the long form (the
// C runtime's status calls do not take it on every Windows).
enum class PathKind { kMissing, kFile, kFolder };
PathKind KindOfPath(const std::filesystem::path& path);
// One folder; true when this call created it. An existing folder or file
// is no error (the caller asks KindOfPath).
bool CreateOneFolder(const std::filesystem::path& path, std::error_code& ec);
bool DeleteFileAtPath(const std::filesystem::path& path);

}  // namespace ferry
