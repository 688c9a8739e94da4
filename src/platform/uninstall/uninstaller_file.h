// The uninstaller program written beside the install: the host part of the
// running program, its own icon and its own archive.
#pragma once

#include <string>

namespace ferry {

struct SetupContext;

// InstallDir and UninstallExeName joined by one backslash.
std::string UninstallerPath(const SetupContext& ctx);

// The host part of the running program, its icon from "UNINSTALL_ICON.ICO",
// then an archive of the "UNINSTALL_" entries without their prefix and the
// setup information with IsUninstaller set. The running setup's own record
// keeps IsUninstaller 0: its wizard must not start a finishing program that
// belongs to the uninstaller. Problems go to ctx.Progress.
void WriteUninstaller(SetupContext& ctx);

// Puts the first image of an icon file into the program as its icon
// resource 1 (language neutral), and adds an icon group naming it when the
// program has none. True when the update was committed.
bool ReplaceIcon(const std::string& iconFile, const std::string& programFile);

}  // namespace ferry
