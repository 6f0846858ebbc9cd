// The tick: turns elapsed real time into simulation steps (GUI thread).
#pragma once
#include <cstdint>
#include "foundation/time.h"

// Handles one MAIN_TICK message of the main window.
void MAIN_Tick();
// At the end of a run: when result rows are due at the clock that no step has
// written (the run ends before its first tick), makes the step at the clock.
void MAIN_StepForDueRows();
// 1 when the clock has reached the next point of the node grid (one node period
// after the last node update, which then moves on to the grid point reached).
uint32_t MAIN_IsNodeUpdateDue();

// The real-time tick count in ms (wraps at 32 bits) that the tick and the
// scheduler measure with.
uint32_t MAIN_GetTickCount();
typedef uint32_t (*MAIN_TICK_COUNT_SOURCE)();
// Null restores the default source.
void MAIN_SetTickCountSource(MAIN_TICK_COUNT_SOURCE source);

// What the tick asks of the program entry. Each null member keeps its default.
struct MAIN_TICK_HOOKS {
    void (*tickDone)();   // decrement the pending-tick count under the tick lock
    void (*endRun)();     // destroy the main window: the run ends
    void (*aboutTick)();  // pass the tick on to the about box while it is open
    uint32_t (*inputWaiting)();   // a key, a command or a stop request waits
    uint32_t (*othersWaiting)();  // any message other than a tick waits
};
// Null restores the defaults.
void MAIN_SetTickHooks(const MAIN_TICK_HOOKS* hooks);

// The data output calls of one step. Each null member keeps its default
// (the DATAOUT functions).
struct MAIN_STEP_OUTPUT {
    TIME_MS (*nextSaveTime)();
    void (*writeDue)();
    void (*updateNodes)();
};
// Null restores the defaults.
void MAIN_SetStepOutput(const MAIN_STEP_OUTPUT* output);
