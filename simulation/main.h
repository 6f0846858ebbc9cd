// MAIN: the program entry, the run loop and the simulation clock.
#pragma once
#include <cstdint>
#include "foundation/time.h"

// The run clock state, owned by the GUI thread.
struct SIM_CLOCK {
    TIME_MS clock;
    TIME_MS runStart;
    TIME_MS runEnd;
    uint32_t stepLength;
    double speedFactor;
    uint64_t realTotal;
    uint32_t paused;
    uint32_t endRunRequest;
    uint32_t endAllRequest;
    uint32_t running;
    uint32_t lastTickTime;
    uint32_t lastStepRealTime;
    TIME_MS lastStepClock;
    double fractionAccumulator;
    uint32_t nodePeriod;
    TIME_MS lastNodeUpdate;
};

extern SIM_CLOCK g_simClock;

constexpr uint32_t MAIN_TICK = 40345;

int MAIN_Run(int argc, char** argv);
