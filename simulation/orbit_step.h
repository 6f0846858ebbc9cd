// ORBIT per-step scheduler: updates every model when its period has passed.
#pragma once
#include <cstdint>

void ORBIT_StepModels(uint32_t force);
void ORBIT_ThrottledRedraw();
void ORBIT_AddSpeedSteps(int32_t n);
int32_t ORBIT_TakeSpeedSteps();
