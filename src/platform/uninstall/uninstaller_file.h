// The uninstaller program written beside the install: the host part of the
// running program, its own icon and its own archive.
#pragma once

#include <span>
#include <string>

#include "base/system_path.h"

namespace ferry {

class PrivateFolder;
class System;
struct SetupContext;

// InstallDir and UninstallExeName joined by one backslash.
std::string UninstallerPath(const SetupContext& ctx);

// The uninstaller the setup carries (formats/setup/carried_uninstaller.h)
// as it is, with this install's setup information in the side file beside
// it. Without one: the host part of the running program, its icon from
// "UNINSTALL_ICON.ICO", then an archive of the "UNINSTALL_" entries without their prefix and the
// setup information with IsUninstaller set. The running setup's own record
// keeps IsUninstaller 0: its wizard must not start a finishing program that
// belongs to the uninstaller. Built in `temp` and moved into the install
// folder whole through `system`'s files (the run's journal). Problems go to
// ctx.Record.
void WriteUninstaller(SetupContext& ctx, System& system, PrivateFolder& temp);

// Puts the first image of an icon file into the program as its icon
// resource 1 (language neutral), and adds an icon group naming it when the
// program has none. True when the update was committed.
bool ReplaceIcon(std::span<const uint8_t> iconFile, const NativePath& programFile);

}  // namespace ferry
