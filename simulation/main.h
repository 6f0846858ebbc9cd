// MAIN: the program entry, the run loop and the simulation clock.
#pragma once
#include <cstdint>
#include "foundation/time.h"
#include "platform/wintypes.h"

constexpr uint32_t MAIN_TICK = 40345;

// The program: initialisation, one run after another, exit. Returns 0 after
// normal completion, 1 when a configuration file failed to load, a run failed
// or result data was lost.
int MAIN_Run(int argc, char** argv);

// Called after each run of a series has ended and freed what it held, with the
// run's number from 1; tests watch the tracked heap from run to run through it.
typedef void (*MAIN_RUN_OBSERVER)(uint32_t run);
void MAIN_SetRunObserver(MAIN_RUN_OBSERVER observer);

// The main window procedure (the tick message goes to MAIN_Tick).
LRESULT MAIN_WndProc(HWND window, uint32_t message, WPARAM wParam, LPARAM lParam);

// The tick calls this first, once per MAIN_TICK message it handles: under the
// tick lock the pending-tick count goes down by one (never below 0), so the
// time thread may post the next tick.
void MAIN_TickDone();
// The pending-tick count (0, 1 or 2).
uint32_t MAIN_GetPendingTicks();

// The current run's main window and log list box; 0 between runs.
HWND MAIN_GetMainWindow();
HWND MAIN_GetListBox();
// The about box while it is open (0 otherwise); set and cleared by the about box.
HWND MAIN_GetAboutBox();
void MAIN_SetAboutBox(HWND aboutBox);
// Called with the id of every command the main window receives, before its
// handler runs (tests record the commands with it). Null removes it.
typedef void (*MAIN_COMMAND_OBSERVER)(uint16_t command);
void MAIN_SetCommandObserver(MAIN_COMMAND_OBSERVER observer);
// 1 when the main window handles the command id itself (the others go to
// the default processing).
uint32_t MAIN_HasCommandHandler(uint16_t command);
