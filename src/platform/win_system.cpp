#include "platform/win_system.h"

#include <windows.h>

#include "platform/dialogs_win.h"
#include "platform/files.h"
#include "platform/registry.h"
#include "platform/shell.h"
#include "platform/system.h"
#include "platform/win_file_system.h"

namespace ferry {

namespace {

class WinStartedProgram : public StartedProgram {
 public:
  explicit WinStartedProgram(ProcessHandle process) : process_(std::move(process)) {}
  bool Wait(uint32_t milliseconds) override { return process_.Wait(milliseconds).has_value(); }

 private:
  ProcessHandle process_;
};

}  // namespace

FileSystem& WinSystem::Files() { return WinFiles(); }

std::string WinSystem::ResolveCdDrivePath(const std::string& path) { return ferry::ResolveCdDrivePath(path); }

std::optional<std::string> WinSystem::ReadRegistryString(int root, const std::string& key, const std::string& name) {
  RegKey k = RegKey::Open(root, key, true);
  if (!k.IsOpen()) return std::nullopt;
  return k.ReadString(name).value_or(std::string());
}

RegistryWrite WinSystem::WriteRegistryString(int root, const std::string& key, const std::string& name,
                                             const std::string& value) {
  RegKey k = RegKey::Open(root, key, true);
  if (!k.IsOpen()) return RegistryWrite::kKeyNotOpened;
  return k.WriteString(name, value) ? RegistryWrite::kDone : RegistryWrite::kValueNotWritten;
}

bool WinSystem::CreateShellLink(const ShellLink& link) {
  ShellLinkArgs args;
  args.LinkPath = link.LinkPath;
  args.Target = link.Target;
  args.Arguments = link.Arguments;
  args.WorkingDirectory = link.WorkingDirectory;
  args.IconPath = link.IconPath;
  args.ShowCommand = SW_SHOWNORMAL;
  return ferry::CreateShellLink(args);
}

bool WinSystem::StartProgram(const std::string& file, const std::string& parameters,
                             std::unique_ptr<StartedProgram>* program) {
  ExecuteArgs args;
  args.File = file;
  args.Parameters = parameters;
  args.Show = SW_SHOWNORMAL;
  ProcessHandle process;
  if (!ShellExecuteWithProcess(args, &process)) return false;
  if (program && process.IsValid()) *program = std::make_unique<WinStartedProgram>(std::move(process));
  return true;
}

void WinSystem::FatalExit(const std::string& text, Dialogs* boxes) {
  auto* silent = dynamic_cast<SilentDialogs*>(boxes);
  ferry::FatalExit(text, silent ? &silent->Log() : nullptr);
}

void WinSystem::ExitProcess(int code) { ::ExitProcess(static_cast<UINT>(code)); }

}  // namespace ferry
