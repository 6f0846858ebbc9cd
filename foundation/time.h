// TIME: the millisecond time scale (since 1601-01-01 UTC), calendar dates and Julian dates.
#pragma once
#include <cstdint>
#include "platform/wintypes.h"

typedef int64_t TIME_MS;
typedef double JULIAN_DATE;

// A date that does not exist, or lies before 1601 or after 30827, gives 0.
TIME_MS TIME_SystemTimeToMs(const SYSTEMTIME* st);
// 0 with the record zeroed for a negative time or one beyond year 30828.
int TIME_MsToSystemTime(TIME_MS ms, SYSTEMTIME* st);
JULIAN_DATE TIME_SystemTimeToJulianDate(const SYSTEMTIME* st);
int TIME_JulianDateToSystemTime(JULIAN_DATE jd, SYSTEMTIME* st);
// 1 when every field of the record names an existing moment in 1601..30827.
int TIME_IsValidSystemTime(const SYSTEMTIME* st);
// Days of the month in the Gregorian calendar; 0 for a month outside 1..12.
int TIME_DaysInMonth(int year, int month);

int TIME_FormatSystemTimeMs(char* buffer, const SYSTEMTIME* st);
int TIME_FormatDateTimeSec(char* buffer, const SYSTEMTIME* st);
int TIME_FormatSystemTimeMin(char* buffer, const SYSTEMTIME* st);
int TIME_FormatClockMs(char* buffer, const SYSTEMTIME* st);
int TIME_FormatClockSec(char* buffer, const SYSTEMTIME* st);
int TIME_FormatClockMin(char* buffer, const SYSTEMTIME* st);
const char* TIME_FormatMs(TIME_MS ms);

// The run clock state, owned by the GUI thread: the program entry and the
// tick move it, every module reads the simulation time from it.
struct SIM_CLOCK {
    TIME_MS clock;
    TIME_MS runStart;
    TIME_MS runEnd;
    uint32_t stepLength;
    double speedFactor;
    uint64_t realTotal;
    uint32_t paused;
    uint32_t endRunRequest;
    uint32_t endAllRequest;
    uint32_t running;
    uint32_t lastTickTime;
    uint32_t lastStepRealTime;
    TIME_MS lastStepClock;
    double fractionAccumulator;
    uint32_t nodePeriod;
    TIME_MS lastNodeUpdate;
};

extern SIM_CLOCK g_simClock;
