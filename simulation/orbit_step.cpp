// Provisional scheduler: no models. Replaced by the full scheduler.
#include "simulation/orbit_step.h"
void ORBIT_StepModels(uint32_t) {}
void ORBIT_ThrottledRedraw() {}
void ORBIT_AddSpeedSteps(int32_t) {}
int32_t ORBIT_TakeSpeedSteps() { return 0; }
