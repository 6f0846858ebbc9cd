// Provisional run control. Replaced by the full module.
#include "simulation/orbit.h"
void ORBIT_InitRun() {}
uint32_t ORBIT_Start(uint32_t) { return 1; }
void ORBIT_Stop() {}
void ORBIT_DoneRun() {}
uint32_t ORBIT_GetMinUpdatePeriod() { return 10; }
void ORBIT_GetDisplayParam(uint32_t, void*) {}
