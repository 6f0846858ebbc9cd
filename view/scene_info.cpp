// ORBIT scene texts.
#include "view/scene_info.h"
#include <algorithm>
#include <cmath>
#include <cstdio>
#include "platform/plat_font.h"

namespace {

constexpr uint64_t kSampleRealMs = 500;
constexpr uint32_t kMaxSamples = 3;
constexpr int32_t kCameraTextX = 700;
constexpr int32_t kBarMargin = 2;

const char* const kCameraNames[] = {"ECI", "ECEF", "SUN", "ORBIT-O", "ORBIT-I", "ORBIT-B", "FREE"};

}  // namespace

void ORBIT_ResetSpeedMeter(ORBIT_SPEED_METER* meter, TIME_MS simTime, uint64_t realTime)
{
    *meter = ORBIT_SPEED_METER{0, simTime, realTime, 0.0};
}

void ORBIT_SampleSpeed(ORBIT_SPEED_METER* meter, TIME_MS simTime, uint64_t realTime)
{
    uint64_t realSpan = realTime - meter->lastRealTime;
    if (realTime < meter->lastRealTime || realSpan <= kSampleRealMs) return;
    meter->speed = (double)(simTime - meter->lastSimTime) / (double)realSpan;
    if (meter->samples < kMaxSamples) meter->samples++;
    meter->lastSimTime = simTime;
    meter->lastRealTime = realTime;
}

void ORBIT_FormatSpeed(const ORBIT_SPEED_METER* meter, char* text, size_t size)
{
    double s = meter->speed;
    if (meter->samples < 2) snprintf(text, size, "[---]");
    else if (s < 1) snprintf(text, size, "[%.2lf x]", s);
    else if (s < 10) snprintf(text, size, "[%.1lf x]", s);
    else if (s < 100) snprintf(text, size, "[%.0lf x]", s);
    else if (s < 1000) snprintf(text, size, "[%.0lf x]", floor(s / 10) * 10);
    else snprintf(text, size, "[%.0lf x]", floor(s / 100) * 100);
}

const char* ORBIT_CameraBarName(uint32_t mode)
{
    return mode >= 1 && mode <= 7 ? kCameraNames[mode - 1] : "???";
}

void ORBIT_FormatCameraText(uint32_t mode, char* text, size_t size)
{
    snprintf(text, size, "Kamera: %s", ORBIT_CameraBarName(mode));
}

int32_t ORBIT_CameraTextX(int32_t windowWidth, int32_t barFontHeight)
{
    char texts[8][32];
    const char* pointers[8];
    for (uint32_t mode = 0; mode <= 7; mode++) {
        ORBIT_FormatCameraText(mode, texts[mode], sizeof texts[mode]);
        pointers[mode] = texts[mode];
    }
    int32_t widest = std::max(0, PLAT_MeasureWidest(ORBIT_FONT_FACE, barFontHeight, 0, pointers, 8));
    return std::min(kCameraTextX, windowWidth - kBarMargin - widest);
}
