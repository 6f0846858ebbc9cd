// ORBIT scene texts: the measured simulation speed of the info bar, the
// camera names and the texts of the two bars, kept apart from the drawing.
#pragma once
#include <cstddef>
#include <cstdint>
#include "foundation/time.h"

// Samples of simulated against real running time, at most one per 500 ms.
struct ORBIT_SPEED_METER {
    uint32_t samples;          // 0..3
    TIME_MS lastSimTime;
    uint64_t lastRealTime;
    double speed;
};

void ORBIT_ResetSpeedMeter(ORBIT_SPEED_METER* meter, TIME_MS simTime, uint64_t realTime);
// Takes a sample once more than 500 ms of real running time have passed.
void ORBIT_SampleSpeed(ORBIT_SPEED_METER* meter, TIME_MS simTime, uint64_t realTime);
// "[---]" until two samples exist, else the speed rounded to its scale.
void ORBIT_FormatSpeed(const ORBIT_SPEED_METER* meter, char* text, size_t size);
// The info bar's camera name of a mode ("???" for an unknown one).
const char* ORBIT_CameraBarName(uint32_t mode);
// The info bar's camera text of a mode: "Kamera: " and its name.
void ORBIT_FormatCameraText(uint32_t mode, char* text, size_t size);
// Where the camera text starts in the info bar: at 700 pixels, or further
// left so that the widest camera text ends 2 pixels inside the window.
int32_t ORBIT_CameraTextX(int32_t windowWidth, int32_t barFontHeight);

// The face of the scene's bitmap fonts.
constexpr const char* ORBIT_FONT_FACE = "Arial";
