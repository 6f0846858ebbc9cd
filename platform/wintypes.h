// Plain records and codes the modules share with the platform layer.
#pragma once
#include <cstdint>

// Broken-down date and time; the day of the week is not used.
struct SYSTEMTIME {
    uint16_t wYear;
    uint16_t wMonth;
    uint16_t wDayOfWeek;
    uint16_t wDay;
    uint16_t wHour;
    uint16_t wMinute;
    uint16_t wSecond;
    uint16_t wMilliseconds;
};
