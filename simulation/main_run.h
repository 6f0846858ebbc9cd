// Shared by the parts of the program entry (main.cpp, main_window.cpp,
// main_timer.cpp); not for other modules.
#pragma once
#include <cstdint>
#include "platform/wintypes.h"

constexpr uint32_t MAIN_LISTBOX_ID = 1000;
constexpr int32_t MAIN_WINDOW_X = 0;
constexpr int32_t MAIN_WINDOW_Y = 0;
constexpr int32_t MAIN_WINDOW_WIDTH = 500;
constexpr int32_t MAIN_WINDOW_HEIGHT = 300;

// Builds the class name from the tick count and registers the class; 1 on success.
uint32_t MAIN_RegisterWindowClass();
const char* MAIN_GetClassName();
const char* MAIN_GetTitle();
// Runs the message loop of a run until its quit message; returns the quit code.
int32_t MAIN_MessageLoop();

// The tick lock and the pending-tick count (program start and exit).
void MAIN_InitTickLock();
void MAIN_DoneTickLock();
// Starts the run's tick source for the main window: the time thread, or with
// virtual time the idle timer of the message layer. The pending-tick count
// starts at 0. 1 on success.
uint32_t MAIN_StartTimeThread(HWND mainWindow);
// Stops it; a time thread that does not end within 500 ms is left to run
// out on its own and logged.
void MAIN_StopTimeThread();
