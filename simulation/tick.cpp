// Provisional tick: nothing moves. Replaced by the full tick.
#include "simulation/tick.h"
void MAIN_Tick() {}
uint32_t MAIN_IsNodeUpdateDue() { return 0; }
