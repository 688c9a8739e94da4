// An uninstaller made, and signed, when the setup was compiled. The setup
// carries it whole as the group-0 entry kCarriedUninstallerEntry and the
// install writes those bytes unchanged, so a signature on them holds.
//
// Its own archive holds the setup information as compiled and the empty
// marker entry kInstallInfoBesideEntry: what the install decided (the
// folder, anything its commands changed) cannot go into signed bytes, so it
// is in the side file beside the uninstaller (UninstallSideFilePath),
// written by the install: an archive of its own holding the "SetupInfo"
// and "ProductInfo" records an unsigned uninstaller carries.
// Uninstallers without the marker carry that record in their archive.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/system_path.h"

namespace ferry {

inline constexpr char kCarriedUninstallerEntry[] = "Uninstaller.exe";
inline constexpr char kInstallInfoBesideEntry[] = "InstallInfoBeside";
// The uninstaller's icon: a resource of its program, not an entry.
inline constexpr char kUninstallIconEntry[] = "UNINSTALL_ICON.ICO";

struct SetupInfoRecord;

// The name a setup's entry has in its uninstaller's archive: group-0
// entries named "UNINSTALL_<name>" go there as "<name>", the icon excepted;
// none for every other entry.
std::optional<std::string> UninstallerEntryName(std::string_view setupEntry, uint16_t group);

// The setup information as an uninstaller carries it: marked as an
// uninstaller's, so that it starts an uninstall.
std::vector<uint8_t> UninstallerSetupInfo(const SetupInfoRecord& info);

// The uninstaller's path with the extension of its file name replaced by
// ".dat" (added when it has none): "C:\App\FST_Uninstall.exe" gives
// "C:\App\FST_Uninstall.dat".
std::string UninstallSideFilePath(std::string_view uninstallerPath);
NativePath UninstallSideFileOf(const NativePath& uninstallerPath);

}  // namespace ferry
