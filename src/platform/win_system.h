// The engine's System on Windows: WinFiles(), the registry, the shell and
// the process.
#pragma once

#include "engine/system.h"
#include "platform/private_folder.h"

namespace ferry {

class WinSystem : public System {
 public:
  FileSystem& Files() override;
  std::string ResolveCdDrivePath(const std::string& path) override;
  std::optional<std::string> ReadRegistryString(int root, const std::string& key, const std::string& name) override;
  RegistryWrite WriteRegistryString(int root, const std::string& key, const std::string& name,
                                    const std::string& value) override;
  RegistryWrite WriteRegistryDword(int root, const std::string& key, const std::string& name,
                                   uint32_t value) override;
  RegistryValueState QueryRegistryValue(int root, const std::string& key, const std::string& name) override;
  bool RestoreRegistryValue(int root, const std::string& key, const std::string& name,
                            const RegistryValueState& before) override;
  // The calling thread must have COM initialised (ComInit).
  bool CreateShellLink(const ShellLink& link) override;
  bool StartProgram(const std::string& file, const std::string& parameters,
                    std::unique_ptr<StartedProgram>* program) override;
  std::vector<HeldFile> FindHeldFiles(const std::vector<std::string>& paths) override;
  bool MoveAtRestart(const std::string& from, const std::string& to) override;
  ProcessIdentity CurrentProcess() override;
  bool IsProcessRunning(const ProcessIdentity& process) override;
  // A named object per folder (its upper-case path), alive while this
  // process is: the first process to make it holds the folder.
  bool ClaimInstallFolder(const std::string& folder) override;
  // Trusted: no link, one name, and an owner only this process's rights
  // give (the administrators, the system, or the owner its own new files get).
  std::string WhyNotTrusted(const std::string& path) override;

  // The run's folder for files outside the install folder.
  PrivateFolder& Temp() { return temp_; }

 private:
  PrivateFolder temp_;
};

}  // namespace ferry
