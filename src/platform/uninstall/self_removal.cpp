#include "platform/uninstall/self_removal.h"

#include <windows.h>

#include <cwchar>
#include <utility>
#include <vector>

#include "base/number_text.h"
#include "base/scope_guard.h"
#include "base/system_path.h"
#include "platform/files.h"
#include "platform/private_folder.h"
#include "platform/win_text.h"

namespace ferry {

namespace {

// std::to_wstring goes through the printf family.
std::wstring WideDecimal(uint64_t value) {
  const std::string digits = DecimalText(value);
  return std::wstring(digits.begin(), digits.end());
}

// What the helper copy is told through its environment.
constexpr wchar_t kRemoveWait[] = L"FERRY_RM_WAIT";        // inherited handle of the uninstaller's process
constexpr wchar_t kRemoveProgram[] = L"FERRY_RM_PROGRAM";  // the uninstaller's file
constexpr wchar_t kRemoveDirs[] = L"FERRY_RM_DIRS";        // how many FERRY_RM_DIR<n> follow
constexpr wchar_t kRemoveDir[] = L"FERRY_RM_DIR";          // folders in the order they go, from 1
constexpr wchar_t kRemoveFolder[] = L"FERRY_RM_FOLDER";    // the private folder that holds it
constexpr DWORD kRemoveWaitMs = 60000;

std::wstring EnvironmentValue(const wchar_t* name) {
  std::wstring value(64, L'\0');
  for (;;) {
    DWORD n = GetEnvironmentVariableW(name, value.data(), static_cast<DWORD>(value.size()));
    if (n < value.size()) return value.substr(0, n);
    value.resize(n);
  }
}

// This process's environment with the removal values added (any earlier
// FERRY_RM_ values left out), as CreateProcessW takes it.
std::wstring RemovalEnvironment(const std::vector<std::pair<std::wstring, std::wstring>>& values) {
  std::wstring block;
  if (wchar_t* own = GetEnvironmentStringsW()) {
    for (const wchar_t* p = own; *p; p += wcslen(p) + 1)
      if (_wcsnicmp(p, L"FERRY_RM_", 9) != 0) block.append(p).push_back(L'\0');
    FreeEnvironmentStringsW(own);
  }
  for (const auto& [name, value] : values) block.append(name).append(L"=").append(value).push_back(L'\0');
  block.push_back(L'\0');
  return block;
}

// Starts a program without a window in the system folder, so that it keeps
// no folder of the install in use. Of our handles it inherits `inherit`
// alone.
bool StartDetached(const std::wstring& program, std::wstring commandLine, const std::wstring* environment,
                   std::vector<HANDLE> inherit) {
  wchar_t system[MAX_PATH] = {};
  if (GetSystemDirectoryW(system, MAX_PATH) == 0) return false;
  STARTUPINFOEXW si = {};
  si.StartupInfo.cb = sizeof(si);
  DWORD flags = CREATE_NO_WINDOW | CREATE_NEW_PROCESS_GROUP | CREATE_UNICODE_ENVIRONMENT;
  std::vector<char> attributes;
  if (!inherit.empty()) {
    SIZE_T size = 0;
    InitializeProcThreadAttributeList(nullptr, 1, 0, &size);
    attributes.resize(size);
    si.lpAttributeList = reinterpret_cast<LPPROC_THREAD_ATTRIBUTE_LIST>(attributes.data());
    if (!InitializeProcThreadAttributeList(si.lpAttributeList, 1, 0, &size)) return false;
    if (!UpdateProcThreadAttribute(si.lpAttributeList, 0, PROC_THREAD_ATTRIBUTE_HANDLE_LIST, inherit.data(),
                                   inherit.size() * sizeof(HANDLE), nullptr, nullptr)) {
      DeleteProcThreadAttributeList(si.lpAttributeList);
      return false;
    }
    si.StartupInfo.cb = sizeof(si);
    flags |= EXTENDED_STARTUPINFO_PRESENT;
  }
  PROCESS_INFORMATION pi = {};
  const BOOL ok = CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, !inherit.empty(), flags,
                                 environment ? const_cast<wchar_t*>(environment->data()) : nullptr, system,
                                 &si.StartupInfo, &pi);
  if (!inherit.empty()) DeleteProcThreadAttributeList(si.lpAttributeList);
  if (!ok) return false;
  CloseHandle(pi.hThread);
  CloseHandle(pi.hProcess);
  return true;
}

// The helper's last act: the command interpreter removes the private
// folder with the helper's file (and the finishing program's) once the
// helper has ended (until then its file cannot go), trying once a second for
// half a minute. Each "if" holds the rest of the line, so the tries stop
// once the folder is gone. The line names the folder only through the
// environment.
void DeleteHelperLater() {
  wchar_t system[MAX_PATH] = {};
  if (GetSystemDirectoryW(system, MAX_PATH) == 0) return;
  const std::wstring cmd = std::wstring(system) + L"\\cmd.exe";
  const std::wstring del = L"rmdir /s /q \"%FERRY_RM_FOLDER%\" >nul 2>&1";
  std::wstring line = del;
  for (int i = 0; i < 30; ++i)
    line += L" & if exist \"%FERRY_RM_FOLDER%\" ping -n 2 127.0.0.1 >nul & " + del;
  StartDetached(cmd, L"\"" + cmd + L"\" /d /s /c \"" + line + L"\"", nullptr, {});
}

}  // namespace

bool ScheduleSelfRemoval(const std::string& programPath, const std::vector<std::string>& directories,
                         PrivateFolder& temp) {
  const std::wstring folder = temp.Folder().native();
  if (folder.empty()) return false;
  // In the private folder: a copy no other program can swap before it starts.
  const std::wstring helper = folder + L"ferry-remove.exe";
  if (!CopyFileW(LongFormPath(OwnProgramPath()).c_str(), helper.c_str(), TRUE)) return false;
  // A helper that was not started must not stay behind.
  ScopeGuard dropHelper([&helper] { DeleteFileW(helper.c_str()); });
  if (!temp.HoldAgainstWrites(NativePath(helper))) return false;
  HANDLE self = nullptr;
  if (!DuplicateHandle(GetCurrentProcess(), GetCurrentProcess(), GetCurrentProcess(), &self, SYNCHRONIZE, TRUE, 0))
    return false;
  ScopeGuard closeSelf([self] { CloseHandle(self); });
  // The helper holds the folder from now on; the command interpreter it
  // starts at its end removes it.
  HANDLE held = temp.HandOver();
  if (!held) return false;
  ScopeGuard closeHeld([held] { CloseHandle(held); });
  std::vector<std::pair<std::wstring, std::wstring>> values = {
      {kRemoveWait, WideDecimal(reinterpret_cast<uintptr_t>(self))},
      {kRemoveProgram, AnsiToWide(programPath)},
      {kRemoveFolder, folder.substr(0, folder.size() - 1)},
      {kRemoveDirs, WideDecimal(directories.size())}};
  size_t i = 0;
  for (auto it = directories.rbegin(); it != directories.rend(); ++it)
    values.push_back({kRemoveDir + WideDecimal(++i), AnsiToWide(*it)});
  const std::wstring environment = RemovalEnvironment(values);
  if (!StartDetached(helper, L"\"" + helper + L"\"", &environment, {self, held})) return false;
  dropHelper.Dismiss();
  return true;
}

std::optional<int> RunSelfRemovalIfAsked() {
  const std::wstring wait = EnvironmentValue(kRemoveWait);
  if (wait.empty()) return std::nullopt;
  HANDLE process = reinterpret_cast<HANDLE>(static_cast<uintptr_t>(std::wcstoull(wait.c_str(), nullptr, 10)));
  const DWORD waited = WaitForSingleObject(process, kRemoveWaitMs);
  CloseHandle(process);
  // Not started by ScheduleSelfRemoval: nothing to wait for, nothing to remove.
  if (waited == WAIT_FAILED) return 1;
  if (waited == WAIT_OBJECT_0) {
    const std::wstring program = LongFormPath(EnvironmentValue(kRemoveProgram)).native();
    // The image of a program that has just ended can stay in use a moment longer.
    for (int tries = 0; tries < 40; ++tries) {
      if (DeleteFileW(program.c_str()) || GetFileAttributesW(program.c_str()) == INVALID_FILE_ATTRIBUTES) break;
      Sleep(250);
    }
    const unsigned long count = std::wcstoul(EnvironmentValue(kRemoveDirs).c_str(), nullptr, 10);
    for (unsigned long i = 1; i <= count; ++i)
      RemoveDirectoryW(LongFormPath(EnvironmentValue((kRemoveDir + WideDecimal(i)).c_str())).c_str());
  }
  DeleteHelperLater();
  return 0;
}

}  // namespace ferry
