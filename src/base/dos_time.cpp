#include "base/dos_time.h"

#include <ctime>

namespace ferry {

uint32_t DosDateTime(int year, int month, int day, int hour, int minute, int second) {
  uint32_t date = static_cast<uint32_t>(((year - 1980) << 9) | (month << 5) | day) & 0xFFFF;
  uint32_t time = static_cast<uint32_t>((hour << 11) | (minute << 5) | (second / 2)) & 0xFFFF;
  return (date << 16) | time;
}

uint32_t DosToday() {
  std::time_t now = std::time(nullptr);
  std::tm tm{};
#ifdef _WIN32
  localtime_s(&tm, &now);
#else
  localtime_r(&now, &tm);
#endif
  return DosDateTime(tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday);
}

}  // namespace ferry
