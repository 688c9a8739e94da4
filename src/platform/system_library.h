// Where the program's DLLs come from. A setup is started from a download
// folder, where anything may lie beside it; the only static imports are
// KnownDLLs, everything else is loaded here, from the system folder and
// never from the program's own.
#pragma once

#include <windows.h>

namespace ferry {

// First thing in WinMain: every later load, ours and the system DLLs' own,
// searches the system folder only. Without the call (Windows 7 lacking
// KB2533623) LoadSystemLibrary still names the system folder itself.
void RestrictDllSearchToSystem();

// Before the first window or box: the DLLs that system DLLs load by name
// for windows, loaded from the system folder. A silent run never calls it,
// so it never maps the theming DLLs.
void LoadWindowLibraries();

// name ("msftedit.dll") from the system folder; nullptr when it is missing.
HMODULE LoadSystemLibrary(const wchar_t* name);

// The entry `proc` of the system DLL `dll`, loaded as above (once: the DLL
// stays loaded); nullptr when either is missing.
FARPROC SystemProc(const wchar_t* dll, const char* proc);
template <class F>
F SystemFunction(const wchar_t* dll, const char* proc) {
  return reinterpret_cast<F>(reinterpret_cast<void*>(SystemProc(dll, proc)));
}

}  // namespace ferry
