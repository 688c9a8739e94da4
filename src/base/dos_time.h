// DOS date and time stamps, as package and VFS archives store them: the
// date in the high 16 bits, the time (two-second steps) in the low 16 bits.
#pragma once

#include <cstdint>

namespace ferry {

uint32_t DosDateTime(int year, int month, int day, int hour = 0, int minute = 0, int second = 0);
// Today's local date at 00:00:00.
uint32_t DosToday();

}  // namespace ferry
