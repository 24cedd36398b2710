#include "platform/clock.h"

void packFatDateTime(int year, int month, int day, int hours, int minutes, int seconds,
                     uint16_t* date, uint16_t* time) {
    // Outside what a FAT date holds: the nearest end of its range.
    if (year < 1980) return packFatDateTime(1980, 1, 1, 0, 0, 0, date, time);
    if (year > 2107) return packFatDateTime(2107, 12, 31, 23, 59, 58, date, time);
    *date = static_cast<uint16_t>((year - 1980) * 512 + month * 32 + day);
    *time = static_cast<uint16_t>(hours * 2048 + minutes * 32 + seconds / 2);
}

bool unpackFatDateTime(uint16_t date, uint16_t time, int fields[6]) {
    fields[0] = 1980 + (date >> 9);
    fields[1] = (date >> 5) & 15;
    fields[2] = date & 31;
    fields[3] = time >> 11;
    fields[4] = (time >> 5) & 63;
    fields[5] = (time & 31) * 2;
    static const int kDays[12] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return fields[1] >= 1 && fields[1] <= 12 && fields[2] >= 1 &&
           fields[2] <= kDays[fields[1] - 1] && fields[3] < 24 && fields[4] < 60 && fields[5] < 60;
}
