// SATWINDOW: the satellite information window, a small tool window with the
// satellite's state in numbers (ECI and Earth-fixed position, geographic
// position, velocity and the osculating Kepler elements). The satellite loop
// refreshes the open windows by posted messages at most every 201 ms of the
// run's real time.
#pragma once
#include <cstdint>
#include "foundation/vecmath.h"
#include "platform/wintypes.h"

struct SATELIT;

constexpr uint32_t SATWINDOW_FILL = 40088;           // fills the values
constexpr uint32_t SATWINDOW_VALUE_COUNT = 20;
constexpr uint16_t SATWINDOW_FIRST_VALUE_ID = 112;   // ids 112..131
constexpr uint32_t SATWINDOW_REFRESH_MS = 201;
constexpr uint32_t SATWINDOW_TIMER_MS = 101;
constexpr int32_t SATWINDOW_WIDTH = 500;
constexpr int32_t SATWINDOW_HEIGHT = 300;
constexpr uint32_t SATWINDOW_TITLE_SIZE = 200;
constexpr uint32_t SATWINDOW_TEXT_SIZE = 64;

struct SATWINDOW {
    HWND window;
    uint32_t showRequest;
    uint32_t filled;
    SATELIT* satellite;
    HWND values[SATWINDOW_VALUE_COUNT];   // in the order of the ids 112..131
};

// What the window shows, as read from the satellite.
struct SATWINDOW_STATE {
    VEC3 position;     // km, ECI
    VEC3 velocity;     // km/s, ECI
    double latitude;   // deg
    double longitude;  // deg
    double altitude;   // km
};

// The texts of the value controls, in the order of their ids.
struct SATWINDOW_TEXTS {
    char text[SATWINDOW_VALUE_COUNT][SATWINDOW_TEXT_SIZE];
};

void SATWINDOW_Init();
SATWINDOW* SATWINDOW_Create(SATELIT* satellite);
void SATWINDOW_Destroy(SATWINDOW* window);
void SATWINDOW_Move(SATWINDOW* window, int32_t x, int32_t y);
void SATWINDOW_RequestShow(SATWINDOW* window);
uint32_t SATWINDOW_Exists(const SATWINDOW* window);
void SATWINDOW_RefreshAll();
void SATWINDOW_Cleanup();
void SATWINDOW_SetText(HWND control, const char* format, ...) __attribute__((format(printf, 2, 3)));
LRESULT SATWINDOW_WndProc(HWND window, uint32_t message, WPARAM wParam, LPARAM lParam);

// The window's title for a satellite name, cut to fit the title buffer.
void SATWINDOW_FormatTitle(const char* name, char* title, uint32_t size);
// An angle as whole degrees, minutes and seconds; the sign goes with the
// whole degrees only, so -0.5 shows "   0° 30' 00''".
void SATWINDOW_FormatAngle(double degrees, char* text, uint32_t size);
// Every value text of the window for a state. The Kepler texts are left
// empty when the state is no bound orbit.
void SATWINDOW_FormatValues(const SATWINDOW_STATE* state, SATWINDOW_TEXTS* texts);
// The number of open windows.
uint32_t SATWINDOW_Count();
