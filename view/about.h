// The about box: a modal dialog with a turning satellite, animated by the
// main window's ticks.
#pragma once
#include <cstdint>
#include "platform/wintypes.h"
#include "view/bmp.h"

constexpr uint32_t ABOUT_FRAMES = 96;
constexpr int32_t ABOUT_FRAME_WIDTH = 50;
constexpr int32_t ABOUT_FRAME_HEIGHT = 52;
constexpr uint32_t ABOUT_STEP_MS = 100;

// Module-wide state of the open about box.
struct ABOUT_STATE {
    HWND dialog;          // 0 while closed
    BMP_OBJECT* bitmap;
    uint32_t lastStepTick;
    uint16_t frame;
};

LRESULT MAIN_AboutDlgProc(HWND dialog, uint32_t message, WPARAM wParam, LPARAM lParam);
// Opens ORBIT_ABOUTBOX over the owner and returns when it is closed.
int32_t MAIN_ShowAboutBox(HWND owner);
const ABOUT_STATE* MAIN_GetAboutState();
