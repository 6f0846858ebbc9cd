// ORBIT run control: what a run sets up before its first tick and takes down
// after its last. The 3-D window, the star field, the satellites and the
// ground stations join here as their modules are built; until then a run has
// no graphics and only the Earth, Sun, Moon and attitude timers.
#include "simulation/orbit.h"
#include <cstring>
#include <memory>
#include "simulation/main.h"
#include "simulation/orbit_step.h"

ORBIT_RUN_STATE g_orbit{};

namespace {

constexpr uint32_t ORBIT_EARTH_PERIOD = 30000;
constexpr uint32_t ORBIT_SUN_PERIOD = 600000;
constexpr uint32_t ORBIT_MOON_PERIOD = 30000;
constexpr uint32_t ORBIT_ATTITUDE_PERIOD = 10;
constexpr uint32_t ORBIT_GROUND_PERIOD = 20000;
constexpr uint32_t ORBIT_NO_PERIOD = 0xFFFFFFFF;   // no satellite, no on-board module
constexpr uint32_t ORBIT_NO_SLOT = 0xFFFFFFFF;
constexpr double ORBIT_DRAWING_SCALE = 1e-05;

std::unique_ptr<PLAT_LOCK> g_lock;

void SetTimer(ORBIT_MODEL_TIMER* timer, uint32_t period)
{
    timer->period = period;
    timer->lastUpdate = g_simClock.clock;
}

}

void ORBIT_InitRun()
{
    g_lock = std::make_unique<PLAT_LOCK>();
    g_orbit = ORBIT_RUN_STATE{};
    g_orbit.defaultCamera = 0;
    g_orbit.labelFont = ORBIT_NO_SLOT;
}

uint32_t ORBIT_Start(uint32_t cameraMode)
{
    ORBIT_TakeSpeedSteps();   // speed steps asked for before the start are dropped
    g_orbit.cameraMode = cameraMode ? cameraMode : g_orbit.defaultCamera;
    SetTimer(&g_orbit.earthRotation, ORBIT_EARTH_PERIOD);
    SetTimer(&g_orbit.sun, ORBIT_SUN_PERIOD);
    SetTimer(&g_orbit.moon, ORBIT_MOON_PERIOD);
    g_orbit.fullUpdateRealMark = g_simClock.realTotal;
    SetTimer(&g_orbit.satOrbits, ORBIT_NO_PERIOD);
    SetTimer(&g_orbit.modules, ORBIT_NO_PERIOD);
    SetTimer(&g_orbit.attitude, ORBIT_ATTITUDE_PERIOD);
    SetTimer(&g_orbit.ground, ORBIT_GROUND_PERIOD);
    g_orbit.started = 1;
    return 1;
}

void ORBIT_Stop()
{
    // With no 3-D window there is nothing to close.
}

void ORBIT_DoneRun()
{
    g_orbit.started = 0;
    g_lock.reset();
}

uint32_t ORBIT_GetMinUpdatePeriod()
{
    uint32_t periods[] = {g_orbit.earthRotation.period, g_orbit.sun.period, g_orbit.moon.period,
                          g_orbit.satOrbits.period, g_orbit.modules.period, g_orbit.attitude.period};
    uint32_t least = ORBIT_NO_PERIOD;
    for (uint32_t p : periods)
        if (p < least)
            least = p;
    return least;
}

void ORBIT_GetDisplayParam(uint32_t index, void* out)
{
    switch (index) {
    case ORBIT_PARAM_SCALE:
        memcpy(out, &ORBIT_DRAWING_SCALE, sizeof(double));
        break;
    case ORBIT_PARAM_LABEL_FONT:
        memcpy(out, &g_orbit.labelFont, sizeof(uint32_t));
        break;
    case ORBIT_PARAM_SUN:
        memcpy(out, &g_orbit.sunVector, sizeof(VEC3));
        break;
    case ORBIT_PARAM_MOON:
        memcpy(out, &g_orbit.moonVector, sizeof(VEC3));
        break;
    case ORBIT_PARAM_EARTH_ANGLE:
        memcpy(out, &g_orbit.earthAngle, sizeof(double));
        break;
    default:
        break;
    }
}

PLAT_LOCK* ORBIT_GetLock() { return g_lock.get(); }
