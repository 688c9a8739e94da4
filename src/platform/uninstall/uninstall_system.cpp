#include "platform/uninstall/uninstall_system.h"

#include <windows.h>

#include "base/path_text.h"
#include "base/setup_error.h"
#include "formats/install_log/registry_record.h"
#include "platform/file_trust.h"
#include "platform/files.h"
#include "platform/registry.h"
#include "platform/uninstall/registration.h"

namespace ferry {

namespace {

// Deletes `key` and its parents along the path while they hold nothing.
void PruneEmptyKeys(HKEY root, std::string key) {
  while (!key.empty() && key.back() == '\\') key.pop_back();
  while (!key.empty()) {
    if (!RegKey::Open(root, key, false, true).IsEmpty()) return;
    if (!DeleteLeafKey(root, key)) return;
    key = ParentFolderOf(key, "\\");
    while (!key.empty() && key.back() == '\\') key.pop_back();
  }
}

bool DeleteValueAndEmptyKeys(int root, const std::string& key, const std::string& valueName) {
  HKEY rootKey = RootKeyHandle(root);
  {
    RegKey k = RegKey::Open(rootKey, key, false);
    if (!k.IsOpen()) return true;  // nothing there
    if (!k.DeleteValue(valueName) && k.HasValue(valueName)) return false;
  }
  PruneEmptyKeys(rootKey, key);
  return true;
}

}  // namespace

bool WinUninstallSystem::FileExists(const std::string& path) { return ferry::FileExists(path); }

bool WinUninstallSystem::DeleteOneFile(const std::string& path) {
  if (DeleteFileAt(path)) return true;
  // A read-only file the install wrote is still the install's.
  SetFileAttributesOf(path, FILE_ATTRIBUTE_NORMAL);
  return DeleteFileAt(path);
}

bool WinUninstallSystem::DirectoryExists(const std::string& path) { return ferry::DirectoryExists(path); }

bool WinUninstallSystem::RemoveEmptyFolder(const std::string& path) { return RemoveDirectoryAt(path); }

bool WinUninstallSystem::DeleteRegistryValue(int root, const std::string& key, const std::string& valueName) {
  return DeleteValueAndEmptyKeys(root, key, valueName);
}

void WinUninstallSystem::RemoveRegistration(const ProductIdentity& identity, const std::string& folder) {
  ferry::RemoveRegistration(identity, folder);
}

std::optional<std::vector<uint8_t>> WinUninstallSystem::ReadInstallLog() {
  if (ferry::FileExists(log_path_)) {
    if (std::string why = WhyFileNotTrusted(log_path_, own_); !why.empty())
      throw SetupError("The install log \"" + log_path_ + "\" was not replayed: " + why + ".");
  }
  return ReadWholeFile(log_path_);
}

bool WinUninstallSystem::DeleteInstallLog() { return DeleteFileAt(log_path_) || !ferry::FileExists(log_path_); }

bool DeleteRegistryEntry(const std::string& record) {
  std::optional<RegistryRecord> r = SplitRegistryRecord(record);
  if (!r) return false;
  return DeleteValueAndEmptyKeys(RecordRootIndex(r->Root), r->Key, r->ValueName);
}

}  // namespace ferry
