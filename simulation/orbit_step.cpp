// ORBIT per-step scheduler. Each model updates on a grid of its own: the next
// update is due exactly one period after the previous due time, whatever rows,
// events or the end of a tick made the clock stop in between, so neither
// recording nor the real clock changes what is simulated. The render thread is
// asked for one frame at the end of a tick, drawn from the whole state after
// the tick's steps.
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
constexpr uint32_t kFrameRateRealMs = 1000;
constexpr uint32_t kIdleRedrawMs = 100;
constexpr uint32_t kPausedRedrawMs = 50;

struct ORBIT_MODEL_ENTRY {
    ORBIT_MODEL_UPDATE builtIn;
    uint32_t underSceneLock;      // the render thread reads what it updates
    uint32_t countsAsUpdate;      // a change that needs a redraw
    uint32_t cameraModes[2];      // camera modes refreshed with it, inside the lock
    ORBIT_MODEL_UPDATE update;
    ORBIT_MODEL_NEXT_DUE nextDueOf;  // models whose parts keep grids of their own
    uint32_t period;
    TIME_MS nextDue;              // the next point of the model's grid
};

constexpr TIME_MS kNever = INT64_MAX;

ORBIT_MODEL_ENTRY g_models[ORBIT_STEP_MODEL_COUNT] = {
    {ORBIT_UpdateEarthRotation, 1, 1, {2, kNoCamera}, nullptr, nullptr, 30000, 0},
    {ORBIT_UpdateSun, 1, 1, {3, kNoCamera}, nullptr, nullptr, 600000, 0},
    {ORBIT_UpdateMoon, 0, 1, {kNoCamera, kNoCamera}, nullptr, nullptr, 30000, 0},
    {ORBIT_UpdateSatellites, 1, 1, {4, 5}, nullptr, nullptr, 0xFFFFFFFF, 0},
    {ORBIT_UpdateAttitude, 1, 1, {6, kNoCamera}, nullptr, nullptr, 10, 0},
    {ORBIT_RunModules, 0, 0, {kNoCamera, kNoCamera}, nullptr, nullptr, 0xFFFFFFFF, 0},
    {ORBIT_UpdateGround, 1, 1, {kNoCamera, kNoCamera}, nullptr, nullptr, 20000, 0},
};

uint32_t g_enabled = 0;
ORBIT_SCENE_HOOKS g_scene{};
uint32_t g_graphics = 0;
uint32_t g_updatedSinceRedraw = 0;
uint32_t g_lastRedrawTime = 0;
std::atomic<uint32_t> g_frameCounter{1};
uint32_t g_frameMark = 0;
uint64_t g_frameRateRealMark = 0;
double g_frameRate = 0.0;
std::atomic<int32_t> g_speedSteps{0};
std::atomic<TIME_MS> g_displayClock{0};
ORBIT_MODEL_UPDATE g_displayRefresh = nullptr;
ORBIT_MODEL_UPDATE g_sceneRefresh = nullptr;
TIME_MS g_lastDisplayedClock = 0;
uint32_t g_sceneHeld = 0;   // the scene lock, kept from step to step

// The scene lock is taken by the first step that updates what the render
// thread reads and kept over the following steps until ORBIT_ReleaseScene:
// the render thread still sees the scene only between steps, and the
// attitude, due every 10 ms of model time, does not pay a lock per step.
void HoldScene()
{
    if (g_sceneHeld) return;
    g_scene.lock();
    g_sceneHeld = 1;
}

TIME_MS ORBIT_ModelNextDue(const ORBIT_MODEL_ENTRY& m)
{
    if (m.nextDueOf) return m.nextDueOf();
    return m.period == 0xFFFFFFFF ? kNever : m.nextDue;
}

// The next grid point after the clock: due times stay one period apart
// whatever else made the clock stop in between.
void ORBIT_AdvanceGrid(ORBIT_MODEL_ENTRY& m)
{
    if (m.nextDueOf || m.period == 0xFFFFFFFF) return;
    TIME_MS period = m.period ? m.period : 1;
    TIME_MS behind = g_simClock.clock - m.nextDue;
    // Mostly the model is run at its due time: one period on, no division.
    if (behind >= 0 && behind < period) m.nextDue += period;
    else m.nextDue += (behind / period + 1) * period;
}

void ORBIT_RunModel(ORBIT_MODEL_ENTRY& m)
{
    ORBIT_AdvanceGrid(m);
    ORBIT_MODEL_UPDATE update = m.update ? m.update : m.builtIn;
    // The on-board modules and the Moon run without the scene lock, as ever.
    if (m.underSceneLock && g_graphics) HoldScene();
    else ORBIT_ReleaseScene();
    update();
    if (g_graphics) {
        for (uint32_t mode : m.cameraModes)
            if (mode != kNoCamera) g_scene.refreshCamera(mode);
    }
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

void ORBIT_RequestRedraw()
{
    if (g_graphics) g_scene.requestRedraw();
    g_lastRedrawTime = MAIN_GetTickCount();
    g_updatedSinceRedraw = 0;
}

}  // namespace

void ORBIT_StepModels()
{
    if (!g_enabled) return;
    for (ORBIT_MODEL_ENTRY& m : g_models) {
        if (g_simClock.clock < ORBIT_ModelNextDue(m)) continue;
        ORBIT_RunModel(m);
        if (m.countsAsUpdate) g_updatedSinceRedraw = 1;
    }
}

TIME_MS ORBIT_NextModelDue()
{
    TIME_MS next = kNever;
    for (const ORBIT_MODEL_ENTRY& m : g_models) {
        TIME_MS due = ORBIT_ModelNextDue(m);
        if (due < next) next = due;
    }
    return next;
}

// At the end of every tick the view's scene is computed for the clock (the
// Earth's rotation, the Sun, the Moon, every satellite and station: the
// models are only read), the cameras that follow them are moved, and the
// information windows are refreshed.
void ORBIT_RefreshDisplay()
{
    g_displayClock = g_simClock.clock;
    if (g_displayRefresh) g_displayRefresh();
    if (!g_graphics || g_simClock.clock == g_lastDisplayedClock) return;
    g_lastDisplayedClock = g_simClock.clock;
    g_scene.lock();
    if (g_sceneRefresh) g_sceneRefresh();
    for (uint32_t mode : {2u, 3u, 4u, 5u}) g_scene.refreshCamera(mode);
    g_scene.unlock();
    g_updatedSinceRedraw = 1;
}

void ORBIT_ReleaseScene()
{
    if (!g_sceneHeld) return;
    g_sceneHeld = 0;
    g_scene.unlock();
}

void ORBIT_EndTick()
{
    ORBIT_ReleaseScene();
    if (!g_enabled) return;
    ORBIT_MeasureFrameRate();
    ORBIT_RefreshDisplay();
    if (g_updatedSinceRedraw || MAIN_GetTickCount() - g_lastRedrawTime > kIdleRedrawMs) ORBIT_RequestRedraw();
}

TIME_MS ORBIT_GetDisplayClock()
{
    return g_displayClock.load();
}

void ORBIT_SetDisplayRefresh(ORBIT_MODEL_UPDATE refresh)
{
    g_displayRefresh = refresh;
}

void ORBIT_SetSceneRefresh(ORBIT_MODEL_UPDATE refresh)
{
    g_sceneRefresh = refresh;
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
    g_models[model].nextDue = g_simClock.clock;
}

void ORBIT_SetModelNextDue(ORBIT_STEP_MODEL model, ORBIT_MODEL_NEXT_DUE nextDue)
{
    if (model < ORBIT_STEP_MODEL_COUNT) g_models[model].nextDueOf = nextDue;
}

uint32_t ORBIT_GetModelPeriod(ORBIT_STEP_MODEL model)
{
    return model < ORBIT_STEP_MODEL_COUNT ? g_models[model].period : 0xFFFFFFFF;
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
    g_updatedSinceRedraw = 0;
    g_displayClock = g_simClock.clock;
    g_lastDisplayedClock = g_simClock.clock;
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
    ORBIT_ReleaseScene();
    g_graphics = hooks && hooks->lock && hooks->unlock && hooks->refreshCamera && hooks->requestRedraw;
    g_scene = g_graphics ? *hooks : ORBIT_SCENE_HOOKS{};
}

uint32_t ORBIT_SceneFailed()
{
    return g_graphics && g_scene.failed && g_scene.failed();
}

void ORBIT_StopDrawing()
{
    if (g_graphics && g_scene.stopDrawing) g_scene.stopDrawing();
}

void ORBIT_CountFrame()
{
    g_frameCounter.fetch_add(1);
}

double ORBIT_GetFrameRate()
{
    return g_frameRate;
}
