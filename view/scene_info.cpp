// ORBIT scene texts.
#include "view/scene_info.h"
#include <cmath>
#include <cstdio>

namespace {

constexpr uint64_t kSampleRealMs = 500;
constexpr uint32_t kMaxSamples = 3;

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
