// Internal to the setup archive: 8-bit (system code page) path strings as
// file-system paths.
#pragma once

#include <filesystem>
#include <string>

namespace ferry {

// `ansi` is a path in the system code page. With foldSeparators, the
// backslashes of archive names become the host's separator (a no-op on
// Windows, where both are separators).
std::filesystem::path PakNativePath(const std::string& ansi, bool foldSeparators);

}  // namespace ferry
