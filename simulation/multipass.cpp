// Provisional multipass module: one run at real speed. Replaced by the full module.
#include "simulation/multipass.h"
void MULTIPASS_Init() {}
void MULTIPASS_Done() {}
uint32_t MULTIPASS_Load() { return 1; }
uint32_t MULTIPASS_NextPass() { return 0; }
double MULTIPASS_GetSpeed() { return 1.0; }
double MULTIPASS_Faster() { return 1.0; }
double MULTIPASS_Slower() { return 1.0; }
uint32_t MULTIPASS_GetParamValue(const char*, double*) { return 0; }
