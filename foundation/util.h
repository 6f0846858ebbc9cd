// UTIL: small shared utilities: random generator, strings, paths, durations.
#pragma once
#include <cstdint>
#include "foundation/time.h"

uint32_t UTIL_Random();
uint32_t UTIL_GetRandomState();
uint32_t UTIL_SetRandomState(uint32_t state);
char* UTIL_StrDup(const char* text);
char* UTIL_DupUnquoted(const char* text);
// Joins a name to the program directory; 0 when it does not fit the buffer.
int UTIL_JoinPath(const char* name, char* buffer, uint32_t bufferSize);
int UTIL_FileExists(const char* name);
uint32_t UTIL_DayOfYear(const SYSTEMTIME* st);
const char* UTIL_FormatDuration(TIME_MS duration);
void UTIL_QueryPerfCounter(int64_t* counter);
uint32_t UTIL_MicrosecondsSince(const int64_t* counter);
