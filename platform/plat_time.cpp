// Real and virtual time, and the proleptic Gregorian calendar of file times.
#include "platform/plat_time.h"
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <thread>

namespace {

std::atomic<uint32_t> g_virtual{0};
std::atomic<uint32_t> g_virtualTicks{0};
const auto g_realStart = std::chrono::steady_clock::now();

constexpr int64_t FILETIME_PER_MS = 10000;
constexpr int64_t MS_PER_DAY = 86400000;
// Days from 1601-01-01 to 1970-01-01.
constexpr int64_t DAYS_1601_TO_1970 = 134774;

// Days since 1970-01-01 of a civil date (proleptic Gregorian).
int64_t DaysFromCivil(int64_t y, unsigned m, unsigned d)
{
    y -= m <= 2;
    const int64_t era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<int64_t>(doe) - 719468;
}

void CivilFromDays(int64_t z, int64_t* y, unsigned* m, unsigned* d)
{
    z += 719468;
    const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const unsigned doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    *d = doy - (153 * mp + 2) / 5 + 1;
    *m = mp < 10 ? mp + 3 : mp - 9;
    *y = static_cast<int64_t>(yoe) + era * 400 + (*m <= 2);
}

bool IsLeap(unsigned y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }

unsigned DaysInMonth(unsigned y, unsigned m)
{
    static const unsigned days[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return m == 2 && IsLeap(y) ? 29 : days[m - 1];
}

}

void PLAT_InitTime()
{
    const char* v = getenv("ORBIT_VIRTUAL_TIME");
    PLAT_SetVirtualTime(v && strcmp(v, "1") == 0);
}

uint32_t PLAT_IsVirtualTime() { return g_virtual.load(); }

void PLAT_SetVirtualTime(uint32_t on)
{
    g_virtual = on ? 1 : 0;
    g_virtualTicks = 0;
}

uint32_t PLAT_GetTickCount()
{
    if (g_virtual.load())
        return g_virtualTicks.load();
    auto elapsed = std::chrono::steady_clock::now() - g_realStart;
    return static_cast<uint32_t>(std::chrono::duration_cast<std::chrono::milliseconds>(elapsed).count());
}

void PLAT_AdvanceVirtualTime(uint32_t ms)
{
    if (g_virtual.load())
        g_virtualTicks.fetch_add(ms);
}

void PLAT_Sleep(uint32_t ms)
{
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

int64_t PLAT_PerfCounterMicroseconds()
{
    auto elapsed = std::chrono::steady_clock::now() - g_realStart;
    return std::chrono::duration_cast<std::chrono::microseconds>(elapsed).count();
}

void PLAT_GetSystemTime(SYSTEMTIME* st)
{
    auto now = std::chrono::system_clock::now().time_since_epoch();
    int64_t ms = std::chrono::duration_cast<std::chrono::milliseconds>(now).count();
    PLAT_FileTimeToSystemTime((ms + DAYS_1601_TO_1970 * MS_PER_DAY) * FILETIME_PER_MS, st);
}

uint32_t PLAT_SystemTimeToFileTime(const SYSTEMTIME* st, int64_t* fileTime)
{
    if (st->wYear < 1601 || st->wYear > 30827 || st->wMonth < 1 || st->wMonth > 12 || st->wDay < 1 ||
        st->wDay > DaysInMonth(st->wYear, st->wMonth) || st->wHour > 23 || st->wMinute > 59 ||
        st->wSecond > 59 || st->wMilliseconds > 999)
        return 0;
    int64_t days = DaysFromCivil(st->wYear, st->wMonth, st->wDay) + DAYS_1601_TO_1970;
    int64_t ms = days * MS_PER_DAY + ((st->wHour * 60 + st->wMinute) * 60 + st->wSecond) * 1000LL +
                 st->wMilliseconds;
    *fileTime = ms * FILETIME_PER_MS;
    return 1;
}

uint32_t PLAT_FileTimeToSystemTime(int64_t fileTime, SYSTEMTIME* st)
{
    if (fileTime < 0)
        return 0;
    int64_t ms = fileTime / FILETIME_PER_MS;
    int64_t days = ms / MS_PER_DAY;
    int64_t rest = ms % MS_PER_DAY;
    int64_t y;
    unsigned m, d;
    CivilFromDays(days - DAYS_1601_TO_1970, &y, &m, &d);
    if (y > 30827)
        return 0;
    st->wYear = static_cast<uint16_t>(y);
    st->wMonth = static_cast<uint16_t>(m);
    st->wDay = static_cast<uint16_t>(d);
    st->wDayOfWeek = static_cast<uint16_t>((days + 1) % 7);   // 1601-01-01 was a Monday
    st->wHour = static_cast<uint16_t>(rest / 3600000);
    st->wMinute = static_cast<uint16_t>(rest / 60000 % 60);
    st->wSecond = static_cast<uint16_t>(rest / 1000 % 60);
    st->wMilliseconds = static_cast<uint16_t>(rest % 1000);
    return 1;
}
