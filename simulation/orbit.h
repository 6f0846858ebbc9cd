// ORBIT run control: the start and end of a run and the choice of the step length.
#pragma once
#include <cstdint>
#include "foundation/time.h"
#include "foundation/vecmath.h"
#include "platform/plat_thread.h"

// A model's update period (ms of simulation time) and the clock of its last update.
struct ORBIT_MODEL_TIMER {
    uint32_t period;
    TIME_MS lastUpdate;
};

// The run state of the ORBIT module, reset by ORBIT_InitRun and set by
// ORBIT_Start; the per-step scheduler reads and updates the timers.
struct ORBIT_RUN_STATE {
    uint32_t started;                   // the scheduler does nothing until ORBIT_Start succeeded
    uint32_t cameraMode;
    uint32_t defaultCamera;
    uint32_t graphics;                  // a 3-D window exists
    ORBIT_MODEL_TIMER earthRotation;
    ORBIT_MODEL_TIMER sun;
    ORBIT_MODEL_TIMER moon;
    ORBIT_MODEL_TIMER satOrbits;
    ORBIT_MODEL_TIMER attitude;
    ORBIT_MODEL_TIMER modules;
    ORBIT_MODEL_TIMER ground;
    uint64_t fullUpdateRealMark;        // SIM_CLOCK real total at the last full update
    uint32_t lastRedrawRealTime;        // tick count of the last redraw request
    double earthAngle;                  // Earth rotation angle, degrees
    VEC3 sunVector;                     // km, ECI
    VEC3 moonVector;                    // km, ECI
    uint32_t labelFont;                 // font slot, 0xFFFFFFFF none
};

extern ORBIT_RUN_STATE g_orbit;

// Index values of ORBIT_GetDisplayParam.
enum ORBIT_DISPLAY_PARAM : uint32_t {
    ORBIT_PARAM_SCALE = 0,
    ORBIT_PARAM_LABEL_FONT = 1,
    ORBIT_PARAM_SUN = 2,
    ORBIT_PARAM_MOON = 3,
    ORBIT_PARAM_EARTH_ANGLE = 4,
};

void ORBIT_InitRun();
uint32_t ORBIT_Start(uint32_t cameraMode);
void ORBIT_Stop();
void ORBIT_DoneRun();
uint32_t ORBIT_GetMinUpdatePeriod();
void ORBIT_GetDisplayParam(uint32_t index, void* out);
// The ORBIT lock (Moon vector and drawing copies), valid between
// ORBIT_InitRun and ORBIT_DoneRun.
PLAT_LOCK* ORBIT_GetLock();
