// The setup information record ("SetupInfo" entry of group 0).
//
// Layout, no header, padding or checksum: seven counted strings (SetupTitle,
// ShortTitle, SetupExeName, UninstallExeName, UninstallPrefix, InstallDir,
// ChangelogName), one byte RootKey, four counted strings (Key, ValueName,
// PageSet, UninstallPageSet), one byte IsUninstaller, one byte
// MakeUninstaller. A record of empty strings is 25 bytes.
//
// Reading is lenient by design: a short or damaged record loads with empty or
// partial fields (missing counts and bytes read as 0); bytes after the last
// field are ignored.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "base/system_path.h"

namespace ferry {

struct RegistryLocation {
  uint8_t RootKey = 0;    // 0..4, see RootKeyIndex
  std::string Key;        // key path below the root
  std::string ValueName;  // empty: no registry look-up at start-up

  bool operator==(const RegistryLocation&) const = default;
};

struct SetupInfoRecord {
  std::string SetupTitle;
  std::string ShortTitle;
  std::string SetupExeName;
  std::string UninstallExeName;
  std::string UninstallPrefix;
  std::string InstallDir;
  std::string ChangelogName;
  RegistryLocation InstallDirRegKey;
  std::string PageSet;
  std::string UninstallPageSet;
  uint8_t IsUninstaller = 0;
  uint8_t MakeUninstaller = 0;

  bool operator==(const SetupInfoRecord&) const = default;
};

// The record a compiler starts from before any setting line: the uninstaller
// is called "Uninstall.exe" unless a "prefix" line says otherwise.
SetupInfoRecord CompilerDefaultSetupInfo();

class SetupInfoFile : public SetupInfoRecord {
 public:
  // Assigns every field from the block (see the leniency rule above).
  void ReadFromBuffer(const void* data, size_t size);
  void ReadFromBuffer(std::span<const uint8_t> data) { ReadFromBuffer(data.data(), data.size()); }

  // The stored layout. Raises SetupError for a string over 65,535 bytes.
  std::vector<uint8_t> WriteToBuffer() const;
  // Creates or truncates the file and writes the layout. Returns false when
  // the file could not be written; callers may ignore it.
  bool WriteToFile(const NativePath& path) const;

  SetupInfoRecord& Info() { return *this; }
  const SetupInfoRecord& Info() const { return *this; }
};

}  // namespace ferry
