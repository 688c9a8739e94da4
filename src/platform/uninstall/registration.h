// The uninstall registration under HKEY_LOCAL_MACHINE, through which the
// system lists the program and starts its uninstaller.
#pragma once

#include <string>

namespace ferry {

class PrivateFolder;
struct SetupContext;

inline constexpr char kUninstallRegistryKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";

// The end of an install that asks for an uninstaller (setup thread): the
// registration (DisplayName, UninstallString, QuietUninstallString,
// DisplayIcon, InstallLocation, EstimatedSize, NoModify, NoRepair and the
// product information's values), then, when the archive has entries, the
// uninstaller file (uninstaller_file.h), built in `temp`. Problems go to
// ctx.Progress.
void RegisterUninstall(SetupContext& ctx, PrivateFolder& temp);

// Deletes the registration's values and then its key when nothing else is
// below it.
void RemoveRegistration(const std::string& shortTitle);

}  // namespace ferry
