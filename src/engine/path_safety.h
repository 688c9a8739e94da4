// Checks on paths from a script or an install log before anything is
// removed or written with them.
#pragma once

#include <string>
#include <string_view>

namespace ferry {

// A root and nothing below it: "X:\", "X:", "\\server\share\",
// "\\server\share", "\" (either separator, also after the "\\?\" long-form
// prefix), where "." and ".." steps and names Windows cuts to nothing
// ("...", " .") name nothing below it: "C:\Games\.." is "C:\". An install
// folder there would put the uninstaller and its log in the root.
bool IsDriveRoot(std::string_view path);

// "X:\" with at least one name below it. Refused: relative paths, wildcards,
// stream names, and any name made only of dots and blanks ("." and ".."
// steps, or "..." and " ." which Windows cuts to nothing, so "C:\." or
// "C:\..." would name the drive itself).
bool IsBelowDriveRoot(std::string_view path);

// A folder given relative to another one that stays below it: no drive or
// stream colon, no leading separator, no ".." (or longer run of dots) step.
bool StaysBelow(std::string_view relative);

// Why Windows cannot create `name` below a folder, or "" when it can. `name`
// is a relative path (names separated by "\" or "/") in the system code page,
// as archive entries and payload names are. Refused: no name at all, a
// leading separator, a name of dots and blanks only (".." climbs, "..."
// Windows cuts to nothing), the characters < > : " | ? * and control
// characters, a name ending in a dot or a blank, a name longer than 255
// characters, and device names (CON, PRN, AUX, NUL, COM1-COM9, LPT1-LPT9, in
// any case and also with an extension: "nul.txt", "Com1.log.txt"). Empty and
// "." steps are skipped, as Windows skips them.
std::string WindowsNameProblem(std::string_view name);

}  // namespace ferry
