// TIME: conversions between TIME_MS (milliseconds since 1601-01-01 UTC), the
// broken-down SYSTEMTIME and Julian dates, by our own calendar arithmetic over
// the proleptic Gregorian calendar; and the text formats of dates and clocks.
#include "foundation/time.h"
#include <cmath>
#include <cstdio>
#include <cstring>

SIM_CLOCK g_simClock{};

namespace {

constexpr int64_t MS_PER_DAY = 86400000;
// Chronological Julian day number of 1601-01-01, the first day of TIME_MS.
constexpr int64_t JDN_EPOCH_1601 = 2305814;
// The largest TIME_MS whose file time (100 ns units) still fits in 63 bits.
constexpr int64_t TIME_MS_MAX = INT64_MAX / 10000;

// Day number of a civil date (the Julian day number of its noon).
int64_t DayNumber(int64_t year, int64_t month, int64_t day)
{
    int64_t y = year, m = month;
    if (m < 3) {
        y -= 1;
        m += 12;
    }
    return day + (153 * m - 457) / 5 + 365 * y + y / 4 - y / 100 + y / 400 + 1721119;
}

// Civil date of a day number (Fliegel and Van Flandern).
void CivilDate(int64_t jdn, int64_t* year, int64_t* month, int64_t* day)
{
    int64_t l = jdn + 68569;
    int64_t n = 4 * l / 146097;
    l = l - (146097 * n + 3) / 4;
    int64_t i = 4000 * (l + 1) / 1461001;
    l = l - 1461 * i / 4 + 31;
    int64_t j = 80 * l / 2447;
    *day = l - 2447 * j / 80;
    l = j / 11;
    *month = j + 2 - 12 * l;
    *year = 100 * (n - 49) + i + l;
}

int IsLeapYear(int64_t year)
{
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

void ClearSystemTime(SYSTEMTIME* st)
{
    memset(st, 0, sizeof *st);
}

}  // namespace

int TIME_DaysInMonth(int year, int month)
{
    static const int days[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (month < 1 || month > 12) return 0;
    return days[month - 1] + ((month == 2 && IsLeapYear(year)) ? 1 : 0);
}

int TIME_IsValidSystemTime(const SYSTEMTIME* st)
{
    if (!st || st->wYear < 1601 || st->wYear > 30827) return 0;
    if (st->wMonth < 1 || st->wMonth > 12) return 0;
    if (st->wDay < 1 || st->wDay > TIME_DaysInMonth(st->wYear, st->wMonth)) return 0;
    return st->wHour < 24 && st->wMinute < 60 && st->wSecond < 60 && st->wMilliseconds < 1000;
}

TIME_MS TIME_SystemTimeToMs(const SYSTEMTIME* st)
{
    if (!TIME_IsValidSystemTime(st)) return 0;
    int64_t days = DayNumber(st->wYear, st->wMonth, st->wDay) - JDN_EPOCH_1601;
    int64_t ms = ((st->wHour * 60 + st->wMinute) * 60 + st->wSecond) * 1000 + st->wMilliseconds;
    return days * MS_PER_DAY + ms;
}

int TIME_MsToSystemTime(TIME_MS ms, SYSTEMTIME* st)
{
    if (ms < 0 || ms > TIME_MS_MAX) {
        ClearSystemTime(st);
        return 0;
    }
    int64_t days = ms / MS_PER_DAY, rest = ms % MS_PER_DAY;
    int64_t year, month, day;
    CivilDate(days + JDN_EPOCH_1601, &year, &month, &day);
    st->wYear = (uint16_t)year;
    st->wMonth = (uint16_t)month;
    st->wDay = (uint16_t)day;
    st->wDayOfWeek = (uint16_t)((days + 1) % 7);   // 1601-01-01 was a Monday
    st->wHour = (uint16_t)(rest / 3600000);
    st->wMinute = (uint16_t)(rest / 60000 % 60);
    st->wSecond = (uint16_t)(rest / 1000 % 60);
    st->wMilliseconds = (uint16_t)(rest % 1000);
    return 1;
}

JULIAN_DATE TIME_SystemTimeToJulianDate(const SYSTEMTIME* st)
{
    if (!st) return 0.0;
    double n = (double)DayNumber(st->wYear, st->wMonth, st->wDay);
    double seconds = 3600.0 * st->wHour + 60.0 * st->wMinute + st->wSecond + st->wMilliseconds / 1000.0;
    return n + (seconds - 43200.0) / 86400.0;
}

int TIME_JulianDateToSystemTime(JULIAN_DATE jd, SYSTEMTIME* st)
{
    // Day numbers of 1601-01-01 and of the last representable day, with margin
    // so that the integer arithmetic below cannot overflow.
    if (!(jd >= (double)JDN_EPOCH_1601 - 1.0 && jd <= 1.3e7)) {
        ClearSystemTime(st);
        return 0;
    }
    double f = jd - std::floor(jd);
    int64_t jdn = (int64_t)jd;
    int64_t year, month, day;
    CivilDate(jdn, &year, &month, &day);
    int64_t midnight = (DayNumber(year, month, day) - JDN_EPOCH_1601) * MS_PER_DAY;
    int64_t ms = midnight + (int64_t)((f + 0.5) * 86400.0 * 1000.0);
    return TIME_MsToSystemTime(ms, st);
}

int TIME_FormatSystemTimeMs(char* buffer, const SYSTEMTIME* st)
{
    return sprintf(buffer, "%02d.%02d.%04d %02d:%02d:%02d.%03d", st->wDay, st->wMonth, st->wYear, st->wHour,
                   st->wMinute, st->wSecond, st->wMilliseconds);
}

int TIME_FormatDateTimeSec(char* buffer, const SYSTEMTIME* st)
{
    return sprintf(buffer, "%02d.%02d.%04d %02d:%02d:%02d", st->wDay, st->wMonth, st->wYear, st->wHour,
                   st->wMinute, st->wSecond);
}

int TIME_FormatSystemTimeMin(char* buffer, const SYSTEMTIME* st)
{
    return sprintf(buffer, "%02d.%02d.%04d %02d:%02d", st->wDay, st->wMonth, st->wYear, st->wHour, st->wMinute);
}

int TIME_FormatClockMs(char* buffer, const SYSTEMTIME* st)
{
    return sprintf(buffer, "%02d:%02d:%02d.%03d", st->wHour, st->wMinute, st->wSecond, st->wMilliseconds);
}

int TIME_FormatClockSec(char* buffer, const SYSTEMTIME* st)
{
    return sprintf(buffer, "%02d:%02d:%02d", st->wHour, st->wMinute, st->wSecond);
}

int TIME_FormatClockMin(char* buffer, const SYSTEMTIME* st)
{
    return sprintf(buffer, "%02d:%02d", st->wHour, st->wMinute);
}

const char* TIME_FormatMs(TIME_MS ms)
{
    static char text[64];
    SYSTEMTIME st;
    TIME_MsToSystemTime(ms, &st);
    TIME_FormatSystemTimeMs(text, &st);
    return text;
}
