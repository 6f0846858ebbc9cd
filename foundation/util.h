// UTIL: small shared utilities: random generator, strings, paths, durations.
#pragma once
#include <cstdint>
#include "foundation/time.h"

uint32_t UTIL_Random();
uint32_t UTIL_GetRandomState();
uint32_t UTIL_SetRandomState(uint32_t state);
char* UTIL_StrDup(const char* text);
char* UTIL_DupUnquoted(const char* text);
// A pool copy of the first length characters of text, zero-terminated.
char* UTIL_StrDupN(const char* text, uint32_t length);
// Joins a name to the program directory; 0 when it does not fit the buffer.
// The result is resolved as UTIL_ResolvePath does.
int UTIL_JoinPath(const char* name, char* buffer, uint32_t bufferSize);
// A file name as written in a configuration file, made usable here: every
// backslash becomes "/", and a component that does not exist as written is
// replaced by one of the same name in another letter case, if its directory
// holds one. 0 when the name does not fit the buffer.
int UTIL_ResolvePath(const char* path, char* buffer, uint32_t bufferSize);
// 1 when the file (resolved as above) opens for reading.
int UTIL_FileExists(const char* name);
// 0-based day of the year (1 January = 0), Gregorian leap years.
uint32_t UTIL_DayOfYear(const SYSTEMTIME* st);
const char* UTIL_FormatDuration(TIME_MS duration);
void UTIL_QueryPerfCounter(int64_t* counter);
uint32_t UTIL_MicrosecondsSince(const int64_t* counter);
