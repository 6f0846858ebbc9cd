// ORBIT per-step scheduler: updates every model on its own grid of due times
// and hands the scene to the render thread by one redraw request per tick. GUI thread, except ORBIT_CountFrame and
// the speed-step counter.
#pragma once
#include <cstdint>
#include "foundation/time.h"

// The models in the order in which one step updates them.
enum ORBIT_STEP_MODEL : uint32_t {
    ORBIT_STEP_EARTH_ROTATION = 0,
    ORBIT_STEP_SUN,
    ORBIT_STEP_MOON,
    ORBIT_STEP_SATELLITES,
    ORBIT_STEP_ATTITUDE,
    ORBIT_STEP_MODULES,
    ORBIT_STEP_GROUND,
    ORBIT_STEP_MODEL_COUNT
};

typedef void (*ORBIT_MODEL_UPDATE)();
// The earliest due time of a model whose parts keep grids of their own.
typedef TIME_MS (*ORBIT_MODEL_NEXT_DUE)();

// What the scheduler needs of the 3-D window: its lock, the camera refresh of
// one camera mode (a no-op unless that mode is the current one), the redraw
// request, whether the window's set-up failed after the run had started, and
// the end of drawing at the run's end. Installed by the run start when
// graphics are on; none means graphics off.
struct ORBIT_SCENE_HOOKS {
    void (*lock)();
    void (*unlock)();
    void (*refreshCamera)(uint32_t cameraMode);
    void (*requestRedraw)();
    uint32_t (*failed)();
    void (*stopDrawing)();
};

// Updates every model whose due time the clock has reached.
void ORBIT_StepModels();
// The earliest due time of any model (INT64_MAX: none is ever due).
TIME_MS ORBIT_NextModelDue();
// End of a tick: measures the frame rate and asks for one frame when a model
// changed since the last one, or when 100 ms of real time passed without one.
void ORBIT_EndTick();
// Lets the render thread at the scene that the steps since the last release kept locked.
void ORBIT_ReleaseScene();
// The clock at the end of the last tick: the time the display shows (any thread).
TIME_MS ORBIT_GetDisplayClock();
// Called at the end of every tick to refresh what shows values (information windows).
void ORBIT_SetDisplayRefresh(ORBIT_MODEL_UPDATE refresh);
// Called at the end of every tick that moved the clock, with graphics on and
// under the scene lock: computes the scene the view shows for the clock.
void ORBIT_SetSceneRefresh(ORBIT_MODEL_UPDATE refresh);
void ORBIT_ThrottledRedraw();
void ORBIT_AddSpeedSteps(int32_t n);
int32_t ORBIT_TakeSpeedSteps();

// Run start: the update period of a model (0xFFFFFFFF: never due); its grid
// starts at the current clock, where its first update falls due.
void ORBIT_SetModelPeriod(ORBIT_STEP_MODEL model, uint32_t period);
uint32_t ORBIT_GetModelPeriod(ORBIT_STEP_MODEL model);
// A model whose due times come from its parts (null: the model's own grid).
void ORBIT_SetModelNextDue(ORBIT_STEP_MODEL model, ORBIT_MODEL_NEXT_DUE nextDue);
// Replaces a model's update call; null restores the built-in one.
void ORBIT_SetModelUpdate(ORBIT_STEP_MODEL model, ORBIT_MODEL_UPDATE update);
// Run start: frame counter 1, frame rate 0, the frame-rate mark at the
// current real total, the last redraw now.
void ORBIT_ResetStepMarks();
// The scheduler works only between a successful run start (1) and the run's end (0).
void ORBIT_SetStepsEnabled(uint32_t enabled);
uint32_t ORBIT_StepsEnabled();
// Graphics on with the given hooks; null for graphics off.
void ORBIT_SetSceneHooks(const ORBIT_SCENE_HOOKS* hooks);
// 1 when the 3-D window could not be set up: the run ends and fails.
uint32_t ORBIT_SceneFailed();
// The run ends: the scene draws no more frames, and the one that waits for
// the scene lock is not drawn once the lock is let go (real time only).
void ORBIT_StopDrawing();
// Counted by the render thread per drawn frame.
void ORBIT_CountFrame();
// Frames per second of unpaused real time, measured about once a second.
double ORBIT_GetFrameRate();
