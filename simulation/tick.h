// The tick: turns elapsed real time into simulation steps (GUI thread).
#pragma once
#include <cstdint>

// Handles one MAIN_TICK message of the main window.
void MAIN_Tick();
uint32_t MAIN_IsNodeUpdateDue();
