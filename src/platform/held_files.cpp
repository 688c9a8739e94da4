#include "platform/held_files.h"

#include <windows.h>
#include <restartmanager.h>

#include <algorithm>

#include "platform/system_library.h"
#include "platform/win_text.h"

namespace ferry {

namespace {

// Loaded when asked for, so the program's import table stays as it is; a
// system without it (or Wine, whose list is empty) names no program.
using RmStartSessionFn = DWORD(WINAPI*)(DWORD*, DWORD, WCHAR*);
using RmRegisterResourcesFn = DWORD(WINAPI*)(DWORD, UINT, LPCWSTR*, UINT, RM_UNIQUE_PROCESS*, UINT, LPCWSTR*);
using RmGetListFn = DWORD(WINAPI*)(DWORD, UINT*, UINT*, RM_PROCESS_INFO*, DWORD*);
using RmEndSessionFn = DWORD(WINAPI*)(DWORD);

std::vector<std::string> ProgramsHolding(const std::wstring& path) {
  auto start = SystemFunction<RmStartSessionFn>(L"rstrtmgr.dll", "RmStartSession");
  auto add = SystemFunction<RmRegisterResourcesFn>(L"rstrtmgr.dll", "RmRegisterResources");
  auto list = SystemFunction<RmGetListFn>(L"rstrtmgr.dll", "RmGetList");
  auto end = SystemFunction<RmEndSessionFn>(L"rstrtmgr.dll", "RmEndSession");
  std::vector<std::string> programs;
  if (!start || !add || !list || !end) return programs;
  DWORD session = 0;
  WCHAR key[CCH_RM_SESSION_KEY + 1] = {};
  if (start(&session, 0, key) != ERROR_SUCCESS) return programs;
  LPCWSTR files[] = {path.c_str()};
  UINT needed = 0, count = 0;
  DWORD reasons = 0;
  std::vector<RM_PROCESS_INFO> infos;
  if (add(session, 1, files, 0, nullptr, 0, nullptr) == ERROR_SUCCESS &&
      list(session, &needed, &count, nullptr, &reasons) == ERROR_MORE_DATA && needed > 0) {
    infos.resize(needed);
    count = needed;
    if (list(session, &needed, &count, infos.data(), &reasons) != ERROR_SUCCESS) count = 0;
    for (UINT i = 0; i < count && i < infos.size(); ++i) programs.push_back(WideToAnsi(infos[i].strAppName));
  }
  end(session);
  return programs;
}

// Refused for another program's sharing (not for rights or absence).
bool RefusedBySharing(const std::wstring& path) {
  const DWORD attributes = GetFileAttributesW(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY)) return false;
  // The rights a replacement (a move aside) and an update in place need,
  // sharing all: refused only where a program's own sharing forbids them.
  HANDLE h = CreateFileW(path.c_str(), GENERIC_WRITE | DELETE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                         nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (h != INVALID_HANDLE_VALUE) {
    CloseHandle(h);
    return false;
  }
  const DWORD error = GetLastError();
  return error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION;
}

// A virus scanner, an indexer or the shell reading a file just written lets
// it go within moments: such a file is not one a program holds.
constexpr DWORD kHoldSettlesWithinMs = 2000;
constexpr DWORD kHoldCheckEveryMs = 100;

}  // namespace

std::vector<HeldFile> FindHeldFiles(const std::vector<std::string>& paths) {
  std::vector<std::string> refused;
  for (const std::string& path : paths)
    if (std::find(refused.begin(), refused.end(), path) == refused.end() && RefusedBySharing(WinPath(path)))
      refused.push_back(path);
  for (DWORD waited = 0; !refused.empty() && waited < kHoldSettlesWithinMs; waited += kHoldCheckEveryMs) {
    Sleep(kHoldCheckEveryMs);
    std::erase_if(refused, [](const std::string& path) { return !RefusedBySharing(WinPath(path)); });
  }
  std::vector<HeldFile> held;
  for (const std::string& path : refused) held.push_back({path, ProgramsHolding(WinPath(path))});
  return held;
}

bool MoveAtRestart(const std::string& from, const std::string& to) {
  const std::wstring source = WinPath(from);
  if (to.empty()) return MoveFileExW(source.c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT) != 0;
  return MoveFileExW(source.c_str(), WinPath(to).c_str(), MOVEFILE_DELAY_UNTIL_REBOOT | MOVEFILE_REPLACE_EXISTING) != 0;
}

}  // namespace ferry
