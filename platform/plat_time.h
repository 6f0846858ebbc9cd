// PLAT time: the millisecond tick count, sleeping, the current UTC date and
// the file-time conversions of dates.
//
// The tick count is real (a steady clock) by default. With the environment
// variable ORBIT_VIRTUAL_TIME=1 it is a counter of this layer that moves only
// when the message layer advances it (plat_window.h), so runs are reproducible.
#pragma once
#include <cstdint>
#include "platform/wintypes.h"

// Reads ORBIT_VIRTUAL_TIME; called by PLAT_Init, may be called again by tests.
void PLAT_InitTime();
uint32_t PLAT_IsVirtualTime();
// Switches virtual time on or off (tests); the virtual counter starts at 0.
void PLAT_SetVirtualTime(uint32_t on);
// Milliseconds since an arbitrary start; wraps at 2^32.
uint32_t PLAT_GetTickCount();
// Moves the virtual counter on; does nothing in real time.
void PLAT_AdvanceVirtualTime(uint32_t ms);
// Sleeps in real time in both modes (the virtual counter does not move).
void PLAT_Sleep(uint32_t ms);
// A high-resolution counter in microseconds.
int64_t PLAT_PerfCounterMicroseconds();
void PLAT_GetSystemTime(SYSTEMTIME* st);

// 100-nanosecond units since 1601-01-01 00:00 UTC. 1 on success, 0 on a date
// or value out of range.
uint32_t PLAT_SystemTimeToFileTime(const SYSTEMTIME* st, int64_t* fileTime);
uint32_t PLAT_FileTimeToSystemTime(int64_t fileTime, SYSTEMTIME* st);
