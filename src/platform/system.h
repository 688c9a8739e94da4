// System queries: language, version, memory, metrics, clocks, priorities.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace ferry {

uint16_t SystemDefaultLangId();
uint16_t UserDefaultLangId();

// The two version queries, read as the system answers them.
struct WindowsVersion {
  bool HaveBasic = false;     // the basic query succeeded
  bool HaveExtended = false;  // the extended query succeeded
  uint32_t PlatformId = 0;
  uint32_t Major = 0;
  uint32_t Minor = 0;
  uint32_t Build = 0;
  std::string CSDVersion;  // service-pack text, up to its NUL
  uint16_t ServicePackMajor = 0;
  uint16_t ServicePackMinor = 0;
  uint16_t SuiteMask = 0;
  uint8_t ProductType = 0;
};
WindowsVersion QueryWindowsVersion();

uint64_t TotalPhysicalMemory();
int SystemMetric(int index);
uint32_t TickCount();
uint64_t ReadCycleCounter();
void SleepMs(uint32_t milliseconds);

struct Priorities {
  uint32_t ProcessClass = 0;
  int Thread = 0;
};
Priorities CurrentPriorities();
void SetPriorities(const Priorities& p);
// Real-time process class and time-critical thread, for short measurements.
void RaiseToRealTime();

}  // namespace ferry
