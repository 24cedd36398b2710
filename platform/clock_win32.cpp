#include "platform/clock.h"

#include <windows.h>

void currentLocalFatDateTime(uint16_t* date, uint16_t* time) {
    FILETIME now, local;
    GetSystemTimeAsFileTime(&now);
    WORD d = 0, t = 0;
    if (!FileTimeToLocalFileTime(&now, &local) || !FileTimeToDosDateTime(&local, &d, &t)) {
        d = static_cast<WORD>(1 * 32 + 1);  // 1980-01-01 00:00:00, the earliest FAT time
        t = 0;
    }
    *date = d;
    *time = t;
}
