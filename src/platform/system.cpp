#include "platform/system.h"

#include <windows.h>
#include <x86intrin.h>

#include <cstdlib>

#include "platform/win_text.h"

namespace ferry {

uint16_t SystemDefaultLangId() { return GetSystemDefaultLangID(); }

uint16_t UserDefaultLangId() { return GetUserDefaultLangID(); }

WindowsVersion QueryWindowsVersion() {
  WindowsVersion v;
  OSVERSIONINFOA basic = {};
  basic.dwOSVersionInfoSize = sizeof(basic);
// The queries are deprecated but they are what tells the edition bits.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
  if (GetVersionExA(&basic)) {
    v.HaveBasic = true;
    v.PlatformId = basic.dwPlatformId;
    v.Major = basic.dwMajorVersion;
    v.Minor = basic.dwMinorVersion;
    v.Build = basic.dwBuildNumber;
    v.CSDVersion.assign(basic.szCSDVersion, strnlen(basic.szCSDVersion, sizeof(basic.szCSDVersion)));
  }
  OSVERSIONINFOEXA ex = {};
  ex.dwOSVersionInfoSize = sizeof(ex);
  if (GetVersionExA(reinterpret_cast<OSVERSIONINFOA*>(&ex))) {
#pragma GCC diagnostic pop
    v.HaveExtended = true;
    v.ServicePackMajor = ex.wServicePackMajor;
    v.ServicePackMinor = ex.wServicePackMinor;
    v.SuiteMask = ex.wSuiteMask;
    v.ProductType = ex.wProductType;
  }
  return v;
}

uint64_t TotalPhysicalMemory() {
  MEMORYSTATUS status = {};
  status.dwLength = sizeof(status);
  GlobalMemoryStatus(&status);
  return status.dwTotalPhys;
}

int SystemMetric(int index) { return GetSystemMetrics(index); }

uint32_t TickCount() { return GetTickCount(); }

uint64_t ReadCycleCounter() { return __rdtsc(); }

void SleepMs(uint32_t milliseconds) { Sleep(milliseconds); }

Priorities CurrentPriorities() {
  return {GetPriorityClass(GetCurrentProcess()), GetThreadPriority(GetCurrentThread())};
}

void SetPriorities(const Priorities& p) {
  SetThreadPriority(GetCurrentThread(), p.Thread);
  SetPriorityClass(GetCurrentProcess(), p.ProcessClass);
}

void RaiseToRealTime() {
  SetPriorityClass(GetCurrentProcess(), REALTIME_PRIORITY_CLASS);
  SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_TIME_CRITICAL);
}

}  // namespace ferry
