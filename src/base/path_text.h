// Paths as 8-bit text ("C:\dir\name"): the folder part of a path, the same
// way everywhere a path is cut.
#pragma once

#include <string>
#include <string_view>

namespace ferry {

// Both separators a path may use. Paths that only Windows spells are cut at
// the backslash alone ("\\").
inline constexpr std::string_view kPathSeparators = "\\/";

// "dir\name" -> "dir\": up to and with the last separator; "" when there is none.
std::string FolderOf(std::string_view path, std::string_view separators = kPathSeparators);
// "dir\name" -> "dir": the same without that separator.
std::string ParentFolderOf(std::string_view path, std::string_view separators = kPathSeparators);
// "C:\dir\" + "name" and "C:\dir" + "name" -> "C:\dir\name": one backslash
// between, whatever either side brings.
std::string JoinPath(std::string_view folder, std::string_view name);
// A path as messages name it: each run of separators one, but for the two
// that begin a network or long path ("\\server\share", "\\?\C:\").
std::string WithSingleSeparators(std::string_view path);

}  // namespace ferry
