#include "platform/clock.h"

void packFatDateTime(int year, int month, int day, int hours, int minutes, int seconds,
                     uint16_t* date, uint16_t* time) {
    // Outside what a FAT date holds: the nearest end of its range.
    if (year < 1980) return packFatDateTime(1980, 1, 1, 0, 0, 0, date, time);
    if (year > 2107) return packFatDateTime(2107, 12, 31, 23, 59, 58, date, time);
    *date = static_cast<uint16_t>((year - 1980) * 512 + month * 32 + day);
    *time = static_cast<uint16_t>(hours * 2048 + minutes * 32 + seconds / 2);
}
