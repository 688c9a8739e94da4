// What the uninstall work does to Windows: files, folders, registry values,
// the registration and the install log.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "engine/uninstall/uninstall_work.h"

namespace ferry {

class PrivateFolder;

class WinUninstallSystem : public UninstallSystem {
 public:
  // logPath: the install log this uninstall replays; own: the run's folder,
  // whose owner is the one this process's files get.
  WinUninstallSystem(std::string logPath, PrivateFolder& own) : log_path_(std::move(logPath)), own_(own) {}

  bool FileExists(const std::string& path) override;
  bool DeleteOneFile(const std::string& path) override;
  bool DirectoryExists(const std::string& path) override;
  bool RemoveEmptyFolder(const std::string& path) override;
  bool DeleteRegistryValue(int root, const std::string& key, const std::string& valueName) override;
  void RemoveRegistration(const ProductIdentity& identity, const std::string& folder) override;
  // SetupError when a program of lesser rights may have written the log
  // (platform/file_trust.h): it names what to delete.
  std::optional<std::vector<uint8_t>> ReadInstallLog() override;
  bool DeleteInstallLog() override;

 private:
  std::string log_path_;
  PrivateFolder& own_;
};

// Deletes one recorded registry value (formats/install_log/registry_record.h)
// as the uninstall does; false when the record does not split or the value
// would not go.
bool DeleteRegistryEntry(const std::string& record);

}  // namespace ferry
