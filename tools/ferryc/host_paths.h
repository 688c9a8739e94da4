// Between the setup's 8-bit Windows names and the host's file system.
//
// Scripts, archive entry names and parameters are text in the Windows code
// page (Windows-1252); the compiler may run on Linux, whose names are UTF-8
// and whose letter case matters. These helpers convert in both directions
// and find a script's path on the host the way Windows would: backslashes as
// separators and, when the exact name is missing, a name that differs only in
// ASCII letter case.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace ferry::tool {

// A host path for 8-bit text (no separator folding).
std::filesystem::path PathFromAnsi(std::string_view ansi);

// The 8-bit form of a host name; nullopt when a character has no place in
// the code page.
std::optional<std::string> AnsiFromPath(const std::filesystem::path& path);

// Finds `scriptPath` (backslashes or slashes, relative to `base` unless it is
// absolute) on the host. Each component that does not exist as written is
// matched against the folder's entries ignoring ASCII case. nullopt when
// nothing matches.
std::optional<std::filesystem::path> ResolveScriptPath(const std::filesystem::path& base,
                                                       std::string_view scriptPath);

// True when `name` is a relative archive name that stays inside its folder:
// not empty, no drive, no leading separator, no "." or ".." component.
bool IsContainedName(std::string_view name);

// Folder of the running ferryc program (for its own languages folder).
std::filesystem::path CompilerDirectory();
void SetProgramArgument0(const char* argv0);

}  // namespace ferry::tool
