#include "platform/win_system.h"

#include <windows.h>

#include <span>

#include "base/number_text.h"
#include "base/text.h"
#include "base/text_helpers.h"
#include "formats/pak/crc32.h"

#include "platform/dialogs_win.h"
#include "platform/file_trust.h"
#include "platform/files.h"
#include "platform/held_files.h"
#include "platform/registry.h"
#include "platform/shell.h"
#include "platform/system.h"
#include "platform/win_file_system.h"

namespace ferry {

namespace {

class WinStartedProgram : public StartedProgram {
 public:
  explicit WinStartedProgram(ProcessHandle process) : process_(std::move(process)) {}
  std::optional<uint32_t> Wait(uint32_t milliseconds) override { return process_.Wait(milliseconds); }

 private:
  ProcessHandle process_;
};

}  // namespace

FileSystem& WinSystem::Files() { return WinFiles(); }

std::vector<HeldFile> WinSystem::FindHeldFiles(const std::vector<std::string>& paths) {
  return ferry::FindHeldFiles(paths);
}

bool WinSystem::MoveAtRestart(const std::string& from, const std::string& to) { return ferry::MoveAtRestart(from, to); }

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

RegistryValueState WinSystem::QueryRegistryValue(int root, const std::string& key, const std::string& name) {
  RegistryValueState state;
  RegKey k = RegKey::Open(root, key, false, true);
  state.KeyExisted = k.IsOpen();
  if (state.KeyExisted) state.Value = k.ReadString(name);
  if (state.KeyExisted && !state.Value) state.Dword = k.ReadDword(name);
  return state;
}

RegistryWrite WinSystem::WriteRegistryDword(int root, const std::string& key, const std::string& name,
                                            uint32_t value) {
  RegKey k = RegKey::Open(root, key, true);
  if (!k.IsOpen()) return RegistryWrite::kKeyNotOpened;
  return k.WriteDword(name, value) ? RegistryWrite::kDone : RegistryWrite::kValueNotWritten;
}

bool WinSystem::RestoreRegistryValue(int root, const std::string& key, const std::string& name,
                                     const RegistryValueState& before) {
  RegKey k = RegKey::Open(root, key, false);
  if (!k.IsOpen()) return !before.Value && !before.Dword;  // gone already
  if (before.Value) return k.WriteString(name, *before.Value);
  if (before.Dword) return k.WriteDword(name, *before.Dword);
  if (k.HasValue(name) && !k.DeleteValue(name)) return false;
  if (!before.KeyExisted && k.IsEmpty()) {
    k.Close();
    DeleteLeafKey(RootKeyHandle(root), key);
  }
  return true;
}

namespace {

uint64_t StartTimeOf(HANDLE process) {
  FILETIME created{}, exited{}, kernel{}, user{};
  if (!GetProcessTimes(process, &created, &exited, &kernel, &user)) return 0;
  return (uint64_t{created.dwHighDateTime} << 32) | created.dwLowDateTime;
}

}  // namespace

ProcessIdentity WinSystem::CurrentProcess() {
  return {static_cast<uint32_t>(GetCurrentProcessId()), StartTimeOf(GetCurrentProcess())};
}

bool WinSystem::IsProcessRunning(const ProcessIdentity& process) {
  HANDLE h = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION | SYNCHRONIZE, FALSE, process.Id);
  if (!h) return false;
  bool running = WaitForSingleObject(h, 0) == WAIT_TIMEOUT && StartTimeOf(h) == process.Start;
  CloseHandle(h);
  return running;
}

bool WinSystem::ClaimInstallFolder(const std::string& folder) {
  static HANDLE held = nullptr;
  static std::string heldKey;
  std::string trimmed = folder;
  while (trimmed.size() > 3 && trimmed.back() == '\\') trimmed.pop_back();
  std::u16string upper = CodePageToUtf16(trimmed);
  std::wstring wide(upper.begin(), upper.end());
  CharUpperBuffW(wide.data(), static_cast<DWORD>(wide.size()));
  // Object names may not hold backslashes; the folder's CRC and length name it.
  std::string bytes(reinterpret_cast<const char*>(wide.data()), wide.size() * sizeof(wchar_t));
  const std::string name =
      "Global\\FerrySetupFolder-" +
      HexText(Crc32(std::span(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size())), 8, false) + "-" +
      DecimalText(wide.size());
  if (held && heldKey == name) return true;
  HANDLE h = CreateMutexA(nullptr, FALSE, name.c_str());
  if (!h) h = CreateMutexA(nullptr, FALSE, name.c_str() + 7);  // no right to the global names: this session's
  if (!h) return true;  // no named objects at all: nothing to claim with
  if (GetLastError() == ERROR_ALREADY_EXISTS) {
    CloseHandle(h);
    return false;
  }
  if (held) CloseHandle(held);
  held = h;
  heldKey = name;
  return true;
}

std::string WinSystem::WhyNotTrusted(const std::string& path) { return WhyFileNotTrusted(path, temp_); }

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


}  // namespace ferry
