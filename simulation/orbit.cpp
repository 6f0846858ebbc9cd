// ORBIT run control: what a run sets up before its first tick and takes down
// after its last. The 3-D window, the star field, the satellites and the
// ground stations join here as their modules are built; until then a run has
// no graphics and only the Earth, Sun, Moon and attitude timers.
#include "simulation/orbit.h"
#include <cstring>
#include <memory>
#include "models/magfield.h"
#include "onboard/services_debug.h"
#include "simulation/ground.h"
#include "simulation/main.h"
#include "simulation/orbit_models.h"
#include "simulation/orbit_step.h"
#include "simulation/satelit.h"
#include "simulation/sats.h"
#include "simulation/surfmodel.h"
#include "view/drawlist.h"
#include "view/magfield_display.h"
#include "view/orbit_config.h"
#include "view/scene_run.h"
#include "view/space.h"

ORBIT_RUN_STATE g_orbit{};

namespace {

constexpr uint32_t ORBIT_NO_PERIOD = 0xFFFFFFFF;   // no satellite, no on-board module
constexpr uint32_t ORBIT_NO_SLOT = 0xFFFFFFFF;
constexpr double ORBIT_DRAWING_SCALE = 1e-05;

std::unique_ptr<PLAT_LOCK> g_lock;

}

void ORBIT_InitRun()
{
    g_lock = std::make_unique<PLAT_LOCK>();
    g_orbit = ORBIT_RUN_STATE{};
    ORBIT_SetStepsEnabled(0);
    g_orbit.defaultCamera = 0;
    g_orbit.labelFont = ORBIT_NO_SLOT;
    ORBIT_FreeConfig();
    SPACE_LoadConfig();
    MAGFIELD_Init();
    MAGFIELD_WmmResetSpanWarning();
    SATS_Init();
    GROUND_Init();
    DRAWLIST_InitQuadric();
    SPACE_PrepareStars();
    ORBIT_InstallModelUpdates();
    ORBIT_InstallDataServices();
}

uint32_t ORBIT_Start(uint32_t cameraMode)
{
    ORBIT_LoadConfig();
    if (g_orbitView.startTimeGiven) g_simClock.clock = g_orbitView.startTime;
    ORBIT_TakeSpeedSteps();   // speed steps asked for before the start are dropped
    g_orbit.defaultCamera = g_orbitView.defaultCamera;
    g_orbit.cameraMode = cameraMode ? cameraMode : g_orbit.defaultCamera;
    ORBIT_SetSceneHooks(nullptr);   // the scene installs its hooks once it draws
    if (g_orbitView.graphics && !ORBIT_OpenScene(cameraMode)) return 0;
    // The Earth's rotation, the Sun and the Moon are computed for the time of
    // whoever reads them, and the scene follows the display clock at the end
    // of every tick: none of them, nor the stations' drawn state, is a model
    // of its own on the step grid.
    for (ORBIT_STEP_MODEL m : {ORBIT_STEP_EARTH_ROTATION, ORBIT_STEP_SUN, ORBIT_STEP_MOON, ORBIT_STEP_GROUND})
        ORBIT_SetModelPeriod(m, ORBIT_NO_PERIOD);
    ORBIT_ResetStepMarks();
    ORBIT_UpdateSceneNow();
    // Nothing shows the field display without a window, and a window computes
    // it only when the display is first switched on.
    if (g_orbitView.graphics) MAGFIELD_RequestDisplayData(g_orbitView.magfieldHeight, 0.01);
    SURFMODEL_KeepTriangles(g_orbitView.graphics);   // only a window draws the projections
    ORBIT_LoadIntoScene(1);   // satellites load their textures and draw lists
    uint32_t loaded = SATS_Load();
    ORBIT_LoadIntoScene(0);
    if (!loaded) {
        ORBIT_CloseScene();
        return 0;
    }
    if (!GROUND_Load()) {
        SATS_Cleanup();
        ORBIT_CloseScene();
        return 0;
    }
    ORBIT_SetModelPeriod(ORBIT_STEP_SATELLITES, SATS_MinOrbitStep());
    ORBIT_SetModelPeriod(ORBIT_STEP_MODULES, SATS_MinModulePeriod());
    ORBIT_SetModelPeriod(ORBIT_STEP_ATTITUDE, SATS_GetAttitudePeriod());
    ORBIT_RefreshSceneNow();
    ORBIT_EnableScene();
    g_orbit.started = 1;
    ORBIT_SetStepsEnabled(1);
    return 1;
}

void ORBIT_Stop()
{
    SATS_LogRunSummary();
    for (SATELIT* sat = SATS_GetFirst(); sat; sat = sat->next) KOM_LogRepeatSummary(sat->modules, sat->name);
    ORBIT_CloseScene();
}

void ORBIT_DoneRun()
{
    ORBIT_SetStepsEnabled(0);
    g_orbit.started = 0;
    ORBIT_FreeConfig();
    SPACE_Free();
    MAGFIELD_Done();
    SATS_Cleanup();
    GROUND_Done();
    DRAWLIST_DoneQuadric();
    g_lock.reset();
}

uint32_t ORBIT_GetMinUpdatePeriod()
{
    // The ground stations' period does not count.
    const ORBIT_STEP_MODEL models[] = {ORBIT_STEP_EARTH_ROTATION, ORBIT_STEP_SUN, ORBIT_STEP_MOON,
                                       ORBIT_STEP_SATELLITES, ORBIT_STEP_MODULES, ORBIT_STEP_ATTITUDE};
    uint32_t least = ORBIT_NO_PERIOD;
    for (ORBIT_STEP_MODEL m : models)
        if (ORBIT_GetModelPeriod(m) < least)
            least = ORBIT_GetModelPeriod(m);
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
