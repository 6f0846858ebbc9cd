// Provisional event queue: empty. Replaced by the full module.
#include "simulation/events.h"
void EVENTS_Init() {}
void EVENTS_Done() {}
uint32_t EVENTS_ClampClockToNext(uint32_t*) { return 0; }
void EVENTS_FireNext() {}
