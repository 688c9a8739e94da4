// Checks on paths from a script or an install log before anything is
// removed or written with them.
#pragma once

#include <string_view>

namespace ferry {

// "X:\" with at least one name below it. Refused: relative paths, wildcards,
// stream names, and any name made only of dots and blanks ("." and ".."
// steps, or "..." and " ." which Windows cuts to nothing, so "C:\." or
// "C:\..." would name the drive itself).
bool IsBelowDriveRoot(std::string_view path);

// A folder given relative to another one that stays below it: no drive or
// stream colon, no leading separator, no ".." (or longer run of dots) step.
bool StaysBelow(std::string_view relative);

}  // namespace ferry
