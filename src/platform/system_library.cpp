#include "platform/system_library.h"

#include <string>

namespace ferry {

void RestrictDllSearchToSystem() {
  // Looked up rather than imported: the stub still starts where kernel32 lacks it.
  using SetDirs = BOOL(WINAPI*)(DWORD);
  auto set = reinterpret_cast<SetDirs>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "SetDefaultDllDirectories")));
  if (set) set(LOAD_LIBRARY_SEARCH_SYSTEM32);
}

void LoadWindowLibraries() {
  // The theming DLL and the DLLs it loads itself, which the system DLLs load
  // by bare name on the wizard's behalf, not always through the default
  // directories (nor with them where the call above is missing): loaded
  // here first, from the system folder, a load by name finds them loaded.
  for (const wchar_t* name : {L"uxtheme.dll", L"msimg32.dll", L"dwmapi.dll"}) LoadSystemLibrary(name);
}

HMODULE LoadSystemLibrary(const wchar_t* name) {
  if (HMODULE module = LoadLibraryExW(name, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32)) return module;
  // Systems without the search flags refuse them as an invalid parameter:
  // the full path in the system folder is as safe there.
  if (GetLastError() != ERROR_INVALID_PARAMETER) return nullptr;
  wchar_t dir[MAX_PATH];
  UINT n = GetSystemDirectoryW(dir, MAX_PATH);
  if (n == 0 || n >= MAX_PATH) return nullptr;
  std::wstring path(dir, n);
  path += L'\\';
  path += name;
  return LoadLibraryExW(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
}

FARPROC SystemProc(const wchar_t* dll, const char* proc) {
  HMODULE module = GetModuleHandleW(dll);
  if (!module) module = LoadSystemLibrary(dll);
  return module ? GetProcAddress(module, proc) : nullptr;
}

}  // namespace ferry
