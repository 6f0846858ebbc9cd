// ORBIT model updates of the per-step scheduler: the satellites' orbit,
// attitude and on-board modules; and the scene the view shows (the Earth's
// rotation, the Sun, the Moon, the satellites and the ground stations at the
// display clock), refreshed at the end of every tick.
#include "simulation/orbit_models.h"
#include "models/ephemeris.h"
#include "foundation/time.h"
#include "simulation/ground.h"
#include "simulation/orbit.h"
#include "simulation/orbit_step.h"
#include "simulation/sats.h"
#include "view/satwindow.h"

// The scene's Earth rotation, Sun and Moon at the clock. The models compute
// them for their own times; the scene keeps copies for the view.
static void UpdateEarthRotation() { g_orbit.earthAngle = ORBIT_EarthRotationAngleAt(g_simClock.clock); }
static void UpdateSun() { ORBIT_SunDirectionAt(g_simClock.clock, &g_orbit.sunVector); }

static void UpdateMoon()
{
    ORBIT_MoonPosition();
    ORBIT_GetMoonVector(&g_orbit.moonVector);
}

// At the end of a tick, under the scene lock: everything the view shows, at
// the clock the display shows.
static void RefreshScene()
{
    UpdateEarthRotation();
    UpdateSun();
    UpdateMoon();
    SATS_RefreshDisplay();
    GROUND_Update();
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
    ORBIT_SetModelUpdate(ORBIT_STEP_SATELLITES, SATS_StepAll);
    ORBIT_SetModelUpdate(ORBIT_STEP_ATTITUDE, SATS_UpdateAttitudeAll);
    ORBIT_SetModelUpdate(ORBIT_STEP_MODULES, SATS_RunModulesAll);
    ORBIT_SetSceneRefresh(RefreshScene);
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

void ORBIT_RefreshSceneNow() { RefreshScene(); }
