// The uninstall registration (engine/product_identity.h says under which
// key), through which the system lists the program and starts its
// uninstaller.
#pragma once

#include <string>

#include "engine/product_version.h"

namespace ferry {

class PrivateFolder;
class System;
struct SetupContext;

// A run that asks for an uninstaller, through the run's (journaled) system.
// Before its first command (finished false): when the archive has entries,
// the uninstaller file (uninstaller_file.h, built in `temp`), then the
// registration (DisplayName marked not finished, UninstallString,
// QuietUninstallString, DisplayIcon, InstallLocation, EstimatedSize,
// NoModify, NoRepair and the product information's values). After the
// install log (finished true): DisplayName unmarked. Problems go to
// ctx.Record; one that leaves the product without either fails the run.
void RegisterUninstall(SetupContext& ctx, System* system, PrivateFolder& temp, bool finished);

// Deletes the registration's values and then its key when nothing else is
// below it.
void RemoveRegistration(const ProductIdentity& identity, const std::string& folder);

}  // namespace ferry
