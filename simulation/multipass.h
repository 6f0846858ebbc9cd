// MULTIPASS: series of runs with ramped parameters, and the simulation speed table.
#pragma once
#include <cstdint>

void MULTIPASS_Init();
void MULTIPASS_Done();
// Reads "Multipass.cfg" (a missing file is success); may set run start, end and clock.
uint32_t MULTIPASS_Load();
// Moves to the next pass (run start, end and clock included); 0 when the series is over.
uint32_t MULTIPASS_NextPass();
double MULTIPASS_GetSpeed();
double MULTIPASS_Faster();
double MULTIPASS_Slower();
// The current value of a parameter as a double; 0 when there is no such parameter.
uint32_t MULTIPASS_GetParamValue(const char* name, double* value);
