#include "platform/clock.h"

void packFatDateTime(int year, int month, int day, int hours, int minutes, int seconds,
                     uint16_t* date, uint16_t* time) {
    if (year < 1980) {
        year = 1980;
        month = 1;
        day = 1;
        hours = 0;
        minutes = 0;
        seconds = 0;
    } else if (year > 2107) {
        year = 2107;
        month = 12;
        day = 31;
        hours = 23;
        minutes = 59;
        seconds = 58;
    }
    *date = static_cast<uint16_t>((year - 1980) * 512 + month * 32 + day);
    *time = static_cast<uint16_t>(hours * 2048 + minutes * 32 + seconds / 2);
}
