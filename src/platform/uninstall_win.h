// The uninstaller's Windows side: the registration with Windows, the
// uninstaller program with its own archive and icon, the work of the
// Uninstall page, the finishing program and the removal of the uninstaller
// itself once it has ended.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "engine/uninstall/uninstall_work.h"

namespace ferry {

struct TSetupContext;

inline constexpr char kUninstallRegistryKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";

// InstallDir and UninstallExeName joined by one backslash.
std::string UninstallerPath(const TSetupContext& ctx);

// The end of an install that asks for an uninstaller (setup thread): the
// registration under HKEY_LOCAL_MACHINE (DisplayName, UninstallString,
// QuietUninstallString, DisplayIcon, InstallLocation, EstimatedSize,
// NoModify, NoRepair), then, when the archive has entries, the uninstaller:
// the host part of the running program, its icon from "UNINSTALL_ICON.ICO",
// then an archive of the "UNINSTALL_" entries without their prefix and the
// setup information with IsUninstaller set. The running setup's own record
// keeps IsUninstaller 0: its wizard must not start a finishing program that
// belongs to the uninstaller. Problems go to ctx.Progress.
void RegisterUninstall(TSetupContext& ctx);

// Puts the first image of an icon file into the program as its icon
// resource 1 (language neutral), and adds an icon group naming it when the
// program has none. True when the update was committed.
bool ReplaceIcon(const std::string& iconFile, const std::string& programFile);

// Deletes one recorded registry value (see core/uninstall/registry_record.h);
// false when the record does not split or the value would not go.
bool DeleteRegistryEntry(const std::string& record);

// The work of an Uninstall page. The install log is read again from its
// file and checked first: a damaged or missing log raises SetupError and
// nothing is removed.
TUninstallOutcome RunUninstallWorkOnPage(TSetupContext& ctx, TUninstallView& view);

// Writes the archive's "FINALISE.EXE" to the temporary folder and starts
// it with the uninstaller's path in double quotes. Without such an entry
// nothing is written or started. True when it was started.
bool RunFinaliser(TSetupContext& ctx);

// After the uninstall work: the running uninstaller cannot delete its own
// file, so a copy of the running program in the temporary folder waits for
// this process to end, deletes `programPath`, removes the folders of
// `directories` (last first) that are then empty, and has its own file
// deleted. Paths of any length and letters reach it through its
// environment. True when the copy was started.
bool ScheduleSelfRemoval(const std::string& programPath, const std::vector<std::string>& directories);

// First thing in the main of a program that calls ScheduleSelfRemoval: in
// the copy it started, does the removal and gives the exit code; elsewhere
// nothing (nullopt).
std::optional<int> RunSelfRemovalIfAsked();

// Whether two paths name one file: the same volume and file index when both
// open (so a short 8.3 name, another drive letter mapped to the same disk or
// a share name the same file), else the same text ignoring case and doubled
// backslashes.
bool IsSameFile(const std::string& a, const std::string& b);

// When the uninstaller's wizard closes on its Finish page: RunFinaliser,
// then, after a completed uninstall work and when the running program is
// the registered uninstaller (IsSameFile, however it was started),
// ScheduleSelfRemoval of it with the recorded folders and its own.
void FinishUninstaller(TSetupContext& ctx, bool workDone);

}  // namespace ferry
