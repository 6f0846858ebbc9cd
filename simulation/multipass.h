// MULTIPASS: series of runs with ramped parameters, and the simulation speed table.
#pragma once
#include <cstdint>

// A ramped parameter of "Multipass.cfg"; the series steps the parameters like
// the wheels of an odometer, the first one fastest.
struct MULTIPASS_PARAM {
    uint32_t kind;  // 1 = RAMP
    char* name;
    uint32_t isDouble;
    int64_t intStart, intStop, intStep;
    double doubleStart, doubleStop, doubleStep;
    uint64_t valueCount;  // trunc((stop - start) / step), never below 0
    uint64_t counter;     // index of the current value
    double currentDouble;
    int64_t currentInt;
    MULTIPASS_PARAM* next;
};

constexpr uint32_t MULTIPASS_KIND_RAMP = 1;
constexpr uint32_t MULTIPASS_SPEED_COUNT = 60;
constexpr uint32_t MULTIPASS_SPEED_FASTEST = 0;
constexpr uint32_t MULTIPASS_SPEED_REAL = 41;
constexpr uint32_t MULTIPASS_SPEED_STOPPED = 59;

void MULTIPASS_Init();
void MULTIPASS_Done();
// Reads "Multipass.cfg" (a missing file is success); may set run start, end and clock.
uint32_t MULTIPASS_Load();
// Run start, run end and clock from the configured interval.
void MULTIPASS_ApplyTimes();
// Moves to the next pass (run start, end and clock included); 0 when the series is over.
uint32_t MULTIPASS_NextPass();
double MULTIPASS_GetSpeed();
double MULTIPASS_Faster();
double MULTIPASS_Slower();
// Position in the speed table and whether the factor is a ratio off the table.
uint32_t MULTIPASS_GetSpeedIndex();
uint32_t MULTIPASS_IsSpeedOffTable();
// The factor of one entry of the speed table (0 fastest .. 59 stopped).
double MULTIPASS_GetTableSpeed(uint32_t index);
// The current value of a parameter (name without regard to case) as a double;
// 0 and the value 0.0 when there is no such parameter.
uint32_t MULTIPASS_GetParamValue(const char* name, double* value);
// The current value as text (an integer in decimal, a double as "%g") in a
// static buffer that the next call overwrites; null when there is no such parameter.
const char* MULTIPASS_FormatParamValue(const char* name);
// The parameters in file order (null when none).
const MULTIPASS_PARAM* MULTIPASS_GetFirstParam();
