// EVENTS: the timed event queue.
#pragma once
#include <cstdint>
#include "foundation/time.h"

void EVENTS_Init();
void EVENTS_Done();
// Sets the clock back to a due event's time; 1 when it did, with that event's word.
uint32_t EVENTS_ClampClockToNext(uint32_t* word);
void EVENTS_FireNext();
