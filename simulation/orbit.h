// ORBIT run control: the start and end of a run and the choice of the step length.
#pragma once
#include <cstdint>
#include "foundation/time.h"
#include "foundation/vecmath.h"
#include "platform/plat_thread.h"

// The run state of the ORBIT module, reset by ORBIT_InitRun and set by
// ORBIT_Start. The model update periods live with the per-step scheduler
// (simulation/orbit_step.h).
struct ORBIT_RUN_STATE {
    uint32_t started;                   // ORBIT_Start succeeded in this run
    uint32_t cameraMode;
    uint32_t defaultCamera;
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
// Gives data output the accessors of satellites and ground stations.
void ORBIT_InstallDataServices();
// The ORBIT lock (Moon vector and drawing copies), valid between
// ORBIT_InitRun and ORBIT_DoneRun.
PLAT_LOCK* ORBIT_GetLock();
