// ORBIT per-step scheduler. Each model has its update period in simulated
// milliseconds and the clock of its last update; a step updates the models
// whose period has passed, all of them when forced and once per 100 ms of real
// time, and asks the render thread for a redraw when anything changed.
#include "simulation/orbit_step.h"
#include <atomic>
#include "simulation/main.h"
#include "simulation/tick.h"

namespace {

// The model calls. Models that are not part of the program yet are no-ops
// here; each is wired to its module's call when that module lands:
//   Earth rotation: the angle of ORBIT_EarthRotationAngle() stored as the Earth angle
//   Sun:            ORBIT_SunDirection() stored as the Sun vector
//   Moon:           ORBIT_MoonPosition() (takes the ORBIT lock itself)
//   satellites:     SATS_StepAll()
//   attitude:       SATS_UpdateAttitudeAll()
//   modules:        SATS_RunModulesAll()
//   ground:         GROUND_Update()
void ORBIT_UpdateEarthRotation() {}
void ORBIT_UpdateSun() {}
void ORBIT_UpdateMoon() {}
void ORBIT_UpdateSatellites() {}
void ORBIT_UpdateAttitude() {}
void ORBIT_RunModules() {}
void ORBIT_UpdateGround() {}

constexpr uint32_t kNoCamera = 0;
constexpr uint32_t kFullUpdateRealMs = 100;
constexpr uint32_t kFrameRateRealMs = 1000;
constexpr uint32_t kIdleRedrawMs = 100;
constexpr uint32_t kPausedRedrawMs = 50;

struct ORBIT_MODEL_ENTRY {
    ORBIT_MODEL_UPDATE builtIn;
    uint32_t dueOnlyAfterPeriod;  // due when more than the period passed (else: at least the period)
    uint32_t underSceneLock;      // the render thread reads what it updates
    uint32_t countsAsUpdate;      // a change that needs a redraw
    uint32_t cameraModes[2];      // camera modes refreshed with it, inside the lock
    ORBIT_MODEL_UPDATE update;
    uint32_t period;
    TIME_MS lastUpdate;
};

ORBIT_MODEL_ENTRY g_models[ORBIT_STEP_MODEL_COUNT] = {
    {ORBIT_UpdateEarthRotation, 1, 1, 1, {2, kNoCamera}, nullptr, 30000, 0},
    {ORBIT_UpdateSun, 1, 1, 1, {3, kNoCamera}, nullptr, 600000, 0},
    {ORBIT_UpdateMoon, 1, 0, 1, {kNoCamera, kNoCamera}, nullptr, 30000, 0},
    {ORBIT_UpdateSatellites, 0, 1, 1, {4, 5}, nullptr, 0xFFFFFFFF, 0},
    {ORBIT_UpdateAttitude, 0, 1, 1, {6, kNoCamera}, nullptr, 10, 0},
    {ORBIT_RunModules, 0, 0, 0, {kNoCamera, kNoCamera}, nullptr, 0xFFFFFFFF, 0},
    {ORBIT_UpdateGround, 0, 1, 1, {kNoCamera, kNoCamera}, nullptr, 20000, 0},
};

uint32_t g_enabled = 0;
ORBIT_SCENE_HOOKS g_scene{};
uint32_t g_graphics = 0;
uint64_t g_fullUpdateRealMark = 0;
uint32_t g_lastRedrawTime = 0;
std::atomic<uint32_t> g_frameCounter{1};
uint32_t g_frameMark = 0;
uint64_t g_frameRateRealMark = 0;
double g_frameRate = 0.0;
std::atomic<int32_t> g_speedSteps{0};

uint32_t ORBIT_IsModelDue(const ORBIT_MODEL_ENTRY& m)
{
    // Signed: a clock pulled back before the last update is never due.
    int64_t since = g_simClock.clock - m.lastUpdate;
    int64_t period = m.period;
    return m.dueOnlyAfterPeriod ? since > period : since >= period;
}

void ORBIT_RunModel(ORBIT_MODEL_ENTRY& m)
{
    m.lastUpdate = g_simClock.clock;
    ORBIT_MODEL_UPDATE update = m.update ? m.update : m.builtIn;
    uint32_t locked = m.underSceneLock && g_graphics;
    if (locked) g_scene.lock();
    update();
    if (g_graphics) {
        for (uint32_t mode : m.cameraModes)
            if (mode != kNoCamera) g_scene.refreshCamera(mode);
    }
    if (locked) g_scene.unlock();
}

void ORBIT_MeasureFrameRate()
{
    uint64_t realSpan = g_simClock.realTotal - g_frameRateRealMark;
    if (realSpan <= kFrameRateRealMs) return;
    uint32_t frames = g_frameCounter.load();
    g_frameRate = (frames - g_frameMark) * 1000.0 / static_cast<double>(realSpan);
    g_frameMark = frames;
    g_frameRateRealMark = g_simClock.realTotal;
}

// A forced step updates everything; otherwise everything once the real total
// is more than 100 ms past the last full update.
uint32_t ORBIT_IsFullUpdate(uint32_t force)
{
    if (force || g_simClock.realTotal - g_fullUpdateRealMark > kFullUpdateRealMs) {
        g_fullUpdateRealMark = g_simClock.realTotal;
        return 1;
    }
    return 0;
}

void ORBIT_RequestRedraw()
{
    if (g_graphics) g_scene.requestRedraw();
    g_lastRedrawTime = MAIN_GetTickCount();
}

}  // namespace

void ORBIT_StepModels(uint32_t force)
{
    if (!g_enabled) return;
    ORBIT_MeasureFrameRate();
    uint32_t all = ORBIT_IsFullUpdate(force);
    uint32_t updated = 0;
    for (ORBIT_MODEL_ENTRY& m : g_models) {
        if (!all && !ORBIT_IsModelDue(m)) continue;
        ORBIT_RunModel(m);
        if (m.countsAsUpdate) updated = 1;
    }
    if (!updated && MAIN_GetTickCount() - g_lastRedrawTime > kIdleRedrawMs) updated = 1;
    if (updated) ORBIT_RequestRedraw();
}

void ORBIT_ThrottledRedraw()
{
    uint32_t now = MAIN_GetTickCount();
    if (now - g_lastRedrawTime <= kPausedRedrawMs) return;
    if (g_graphics) g_scene.requestRedraw();
    g_lastRedrawTime = now;
}

void ORBIT_AddSpeedSteps(int32_t n)
{
    g_speedSteps.fetch_add(n);
}

int32_t ORBIT_TakeSpeedSteps()
{
    return g_speedSteps.exchange(0);
}

void ORBIT_SetModelPeriod(ORBIT_STEP_MODEL model, uint32_t period)
{
    if (model >= ORBIT_STEP_MODEL_COUNT) return;
    g_models[model].period = period;
    g_models[model].lastUpdate = g_simClock.clock;
}

uint32_t ORBIT_GetModelPeriod(ORBIT_STEP_MODEL model)
{
    return model < ORBIT_STEP_MODEL_COUNT ? g_models[model].period : 0xFFFFFFFF;
}

TIME_MS ORBIT_GetModelLastUpdate(ORBIT_STEP_MODEL model)
{
    return model < ORBIT_STEP_MODEL_COUNT ? g_models[model].lastUpdate : 0;
}

void ORBIT_SetModelUpdate(ORBIT_STEP_MODEL model, ORBIT_MODEL_UPDATE update)
{
    if (model < ORBIT_STEP_MODEL_COUNT) g_models[model].update = update;
}

void ORBIT_ResetStepMarks()
{
    g_frameCounter.store(1);
    g_frameMark = 0;
    g_frameRate = 0.0;
    g_frameRateRealMark = g_simClock.realTotal;
    g_fullUpdateRealMark = g_simClock.realTotal;
    g_lastRedrawTime = MAIN_GetTickCount();
}

void ORBIT_SetStepsEnabled(uint32_t enabled)
{
    g_enabled = enabled;
}

uint32_t ORBIT_StepsEnabled()
{
    return g_enabled;
}

void ORBIT_SetSceneHooks(const ORBIT_SCENE_HOOKS* hooks)
{
    g_graphics = hooks && hooks->lock && hooks->unlock && hooks->refreshCamera && hooks->requestRedraw;
    g_scene = g_graphics ? *hooks : ORBIT_SCENE_HOOKS{};
}

void ORBIT_CountFrame()
{
    g_frameCounter.fetch_add(1);
}

double ORBIT_GetFrameRate()
{
    return g_frameRate;
}
