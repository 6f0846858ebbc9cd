// TIME: the millisecond time scale (since 1601-01-01 UTC), calendar dates and Julian dates.
#pragma once
#include <cstdint>
#include "platform/wintypes.h"

typedef int64_t TIME_MS;
typedef double JULIAN_DATE;

TIME_MS TIME_SystemTimeToMs(const SYSTEMTIME* st);
int TIME_MsToSystemTime(TIME_MS ms, SYSTEMTIME* st);
JULIAN_DATE TIME_SystemTimeToJulianDate(const SYSTEMTIME* st);
int TIME_JulianDateToSystemTime(JULIAN_DATE jd, SYSTEMTIME* st);

int TIME_FormatSystemTimeMs(char* buffer, const SYSTEMTIME* st);
int TIME_FormatDateTimeSec(char* buffer, const SYSTEMTIME* st);
int TIME_FormatSystemTimeMin(char* buffer, const SYSTEMTIME* st);
int TIME_FormatClockMs(char* buffer, const SYSTEMTIME* st);
int TIME_FormatClockSec(char* buffer, const SYSTEMTIME* st);
int TIME_FormatClockMin(char* buffer, const SYSTEMTIME* st);
const char* TIME_FormatMs(TIME_MS ms);
