// The current time, as the FAT date and time words that boot sectors and entries store.
#ifndef TOLVEN_PLATFORM_CLOCK_H
#define TOLVEN_PLATFORM_CLOCK_H

#include <cstdint>

// The host's local time, as FAT entries carry it: date = (year - 1980) * 512 + month * 32 + day,
// time = hours * 2048 + minutes * 32 + seconds / 2.
void currentLocalFatDateTime(uint16_t* date, uint16_t* time);

// Packs a broken-down time; years before 1980 give 1980-01-01 and after 2107 give 2107-12-31,
// the ends of what the 7-bit year field can hold.
void packFatDateTime(int year, int month, int day, int hours, int minutes, int seconds,
                     uint16_t* date, uint16_t* time);

// The broken-down local time of FAT date and time words: year, month, day, hours, minutes,
// seconds. False when a field is out of range (a month 0, a day 0, hour 24 and the like), as in
// entries that never had a time.
bool unpackFatDateTime(uint16_t date, uint16_t time, int fields[6]);

#endif
