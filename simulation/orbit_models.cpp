// ORBIT model updates of the per-step scheduler: the Earth's rotation, the Sun
// and the Moon into the scene state, the satellites' orbit, attitude and
// on-board modules, and the ground stations.
#include "simulation/orbit_models.h"
#include "models/ephemeris.h"
#include "simulation/ground.h"
#include "simulation/orbit.h"
#include "simulation/orbit_step.h"
#include "simulation/sats.h"
#include "view/satwindow.h"

static void UpdateEarthRotation() { g_orbit.earthAngle = ORBIT_EarthRotationAngle(); }
static void UpdateSun() { ORBIT_SunDirection(&g_orbit.sunVector); }

static void UpdateMoon()
{
    ORBIT_MoonPosition();
    ORBIT_GetMoonVector(&g_orbit.moonVector);
}

static void EnterOrbitLock()
{
    if (PLAT_LOCK* lock = ORBIT_GetLock()) PLAT_EnterLock(lock);
}

static void LeaveOrbitLock()
{
    if (PLAT_LOCK* lock = ORBIT_GetLock()) PLAT_LeaveLock(lock);
}

void ORBIT_InstallModelUpdates()
{
    ORBIT_SetSceneLockHooks(EnterOrbitLock, LeaveOrbitLock);
    ORBIT_SetModelUpdate(ORBIT_STEP_EARTH_ROTATION, UpdateEarthRotation);
    ORBIT_SetModelUpdate(ORBIT_STEP_SUN, UpdateSun);
    ORBIT_SetModelUpdate(ORBIT_STEP_MOON, UpdateMoon);
    ORBIT_SetModelUpdate(ORBIT_STEP_SATELLITES, SATS_StepAll);
    ORBIT_SetModelUpdate(ORBIT_STEP_ATTITUDE, SATS_UpdateAttitudeAll);
    ORBIT_SetModelUpdate(ORBIT_STEP_MODULES, SATS_RunModulesAll);
    ORBIT_SetModelUpdate(ORBIT_STEP_GROUND, GROUND_Update);
    ORBIT_SetModelNextDue(ORBIT_STEP_SATELLITES, SATS_NextOrbitDue);
    ORBIT_SetModelNextDue(ORBIT_STEP_MODULES, SATS_NextModuleDue);
    ORBIT_SetDisplayRefresh(SATWINDOW_RefreshAll);
}

void ORBIT_UpdateSceneNow()
{
    ORBIT_InitEphemeris();
    UpdateEarthRotation();
    UpdateSun();
    UpdateMoon();
}
