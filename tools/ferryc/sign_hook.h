// The signing hook: a command line of the team's own signer (osslsigncode,
// signtool, a cloud signer's client) run by the command interpreter with
// "{file}" standing for the file to sign, which it signs where it lies.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

#include "base/shell_command.h"

namespace ferry::tool {

inline constexpr std::string_view kSignFilePlaceholder = "{file}";

// `command` with each "{file}" replaced by `file` quoted for the command
// interpreter (single quotes for a POSIX shell, double quotes for cmd.exe).
std::string SignCommandLine(std::string_view command, const std::filesystem::path& file);

// Runs the hook on `file` and waits for it.
ShellCommandResult RunSignHook(std::string_view command, const std::filesystem::path& file);

}  // namespace ferry::tool
