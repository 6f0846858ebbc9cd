// ORBIT run control: the start and end of a run and the choice of the step length.
#pragma once
#include <cstdint>

void ORBIT_InitRun();
uint32_t ORBIT_Start(uint32_t cameraMode);
void ORBIT_Stop();
void ORBIT_DoneRun();
uint32_t ORBIT_GetMinUpdatePeriod();
void ORBIT_GetDisplayParam(uint32_t index, void* out);
