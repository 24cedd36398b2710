#include "platform/clock.h"

#include <ctime>

void currentLocalFatDateTime(uint16_t* date, uint16_t* time) {
    std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    packFatDateTime(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour,
                    local.tm_min, local.tm_sec, date, time);
}
