// A DLL as a web page might drop it beside a downloaded setup. Loaded, it
// leaves a marker named after itself (msimg32.dll.loaded) in the folder that
// FERRY_PLANT_MARKS names, holding the program that loaded it, and refuses to
// load. planted_dll.def exports AlphaBlend, so that a program importing it
// gets as far as this DllMain.
#include <windows.h>

extern "C" BOOL WINAPI PlantedAlphaBlend() { return FALSE; }

BOOL WINAPI DllMain(HINSTANCE self, DWORD reason, LPVOID) {
  if (reason != DLL_PROCESS_ATTACH) return TRUE;
  wchar_t path[MAX_PATH], module[MAX_PATH];
  DWORD n = GetEnvironmentVariableW(L"FERRY_PLANT_MARKS", path, MAX_PATH);
  DWORD m = GetModuleFileNameW(self, module, MAX_PATH);
  if (n == 0 || m == 0 || n + m + 10 >= MAX_PATH) return FALSE;
  const wchar_t* name = module;
  for (const wchar_t* c = module; *c; ++c)
    if (*c == L'\\' || *c == L'/') name = c + 1;
  lstrcatW(path, L"\\");
  lstrcatW(path, name);
  lstrcatW(path, L".loaded");
  HANDLE file = CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file != INVALID_HANDLE_VALUE) {
    char program[MAX_PATH];
    DWORD len = GetModuleFileNameA(nullptr, program, MAX_PATH), written = 0;
    WriteFile(file, program, len, &written, nullptr);
    CloseHandle(file);
  }
  return FALSE;
}
