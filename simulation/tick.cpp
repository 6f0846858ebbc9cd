// The tick: on every MAIN_TICK, the real time since the last working tick times
// the speed factor becomes whole steps of the step length plus one remainder
// step. A tick stops catching up after 15 ms of real time, a step is forced
// when none was made for 100 ms, and no step is ever made twice at one clock.
#include "simulation/tick.h"
#include <chrono>
#include "dataout/dataout.h"
#include "foundation/events.h"
#include "simulation/main.h"
#include "simulation/multipass.h"
#include "simulation/orbit_step.h"

namespace {

constexpr uint32_t kMinTickMs = 20;        // a tick works once this much real time passed
constexpr uint32_t kCatchUpBudgetMs = 15;  // real time one tick may spend stepping
constexpr uint32_t kForcedStepMs = 100;    // real time without a step that forces one
// The largest advance of one tick: the truncation to 32 bits must not overflow
// (a long stall at a high speed factor).
constexpr double kMaxAdvanceMs = 4294967295.0;

uint32_t MAIN_SteadyTickCount()
{
    using namespace std::chrono;
    return static_cast<uint32_t>(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

void MAIN_NoHook() {}

MAIN_TICK_COUNT_SOURCE g_tickCount = MAIN_SteadyTickCount;
MAIN_TICK_HOOKS g_hooks = {MAIN_NoHook, MAIN_NoHook, MAIN_NoHook};
MAIN_STEP_OUTPUT g_output = {DATAOUT_SnapTimeToSave, DATAOUT_WriteDue, DATAOUT_UpdateNodes};

void MAIN_ApplySpeedSteps()
{
    int32_t n = ORBIT_TakeSpeedSteps();
    for (; n < 0; n++) g_simClock.speedFactor = MULTIPASS_Slower();
    for (; n > 0; n--) g_simClock.speedFactor = MULTIPASS_Faster();
}

// Elapsed real time times the speed factor, in whole ms; the sub-millisecond
// remainders are collected and paid out once they make a whole millisecond.
uint32_t MAIN_TakeAdvance(uint32_t elapsed)
{
    double exact = elapsed * g_simClock.speedFactor;
    if (!(exact >= 0.0)) exact = 0.0;
    if (exact > kMaxAdvanceMs) exact = kMaxAdvanceMs;
    uint32_t advance = static_cast<uint32_t>(exact);
    g_simClock.fractionAccumulator += exact - advance;
    double whole = static_cast<double>(static_cast<uint32_t>(g_simClock.fractionAccumulator));
    if (whole > 0 && advance <= kMaxAdvanceMs - whole) {
        g_simClock.fractionAccumulator -= whole;
        advance += static_cast<uint32_t>(whole);
    }
    return advance;
}

// Data output may pull the clock back to a result row that fell due, else the
// event queue to an event that did; the models are stepped to that time before
// the row is written or the event fired.
void MAIN_Step()
{
    g_simClock.lastStepClock = g_simClock.clock;
    uint32_t snapped = g_output.snapTimeToSave();
    uint32_t word = 0;
    uint32_t eventDue = snapped ? 0 : EVENTS_ClampClockToNext(&word);
    uint32_t nodeDue = MAIN_IsNodeUpdateDue();
    ORBIT_StepModels(snapped || nodeDue || word != 0);
    if (nodeDue) g_output.updateNodes();
    if (snapped) g_output.writeDue();
    else if (eventDue) EVENTS_FireNext();
}

enum MAIN_ADVANCE_RESULT { ADVANCE_STEPPED, ADVANCE_SKIPPED, ADVANCE_RUN_OVER };

// Moves the clock by delta and makes a step there unless one was made at that
// clock already. A clock past the run end ends the run.
MAIN_ADVANCE_RESULT MAIN_AdvanceAndStep(uint32_t delta)
{
    g_simClock.clock += delta;
    if (g_simClock.clock > g_simClock.runEnd) {
        g_hooks.endRun();
        return ADVANCE_RUN_OVER;
    }
    if (g_simClock.clock == g_simClock.lastStepClock) return ADVANCE_SKIPPED;
    MAIN_Step();
    return ADVANCE_STEPPED;
}

// Makes the steps of one tick; 0 when the run ended.
uint32_t MAIN_StepTick(uint32_t now, uint32_t advance, uint32_t* stepped)
{
    uint32_t stepLength = g_simClock.stepLength ? g_simClock.stepLength : 1;
    uint32_t count = advance / stepLength;
    for (uint32_t i = 0; i < count; i++) {
        MAIN_ADVANCE_RESULT r = MAIN_AdvanceAndStep(stepLength);
        if (r == ADVANCE_RUN_OVER) return 0;
        if (r == ADVANCE_SKIPPED) continue;
        *stepped = 1;
        // Out of real time for this tick: the rest of its advance is dropped.
        if (MAIN_GetTickCount() - now > kCatchUpBudgetMs) return 1;
    }
    uint32_t rem = advance % stepLength;
    if (rem > 0) {
        MAIN_ADVANCE_RESULT r = MAIN_AdvanceAndStep(rem);
        if (r == ADVANCE_RUN_OVER) return 0;
        if (r == ADVANCE_STEPPED) *stepped = 1;
    }
    if (*stepped) return 1;
    if (g_simClock.clock > g_simClock.runEnd) {
        g_hooks.endRun();
        return 0;
    }
    if (now - g_simClock.lastStepRealTime > kForcedStepMs && g_simClock.clock != g_simClock.lastStepClock) {
        MAIN_Step();
        *stepped = 1;
    }
    return 1;
}

}  // namespace

void MAIN_Tick()
{
    g_hooks.tickDone();
    if (!g_simClock.running) return;
    uint32_t now = MAIN_GetTickCount();
    uint32_t elapsed = now - g_simClock.lastTickTime;
    if (elapsed >= kMinTickMs) g_hooks.aboutTick();
    if (g_simClock.paused) {
        elapsed = 0;
        g_simClock.lastTickTime = now;
        ORBIT_ThrottledRedraw();
    }
    // The last tick time is kept, so real time accumulates until a tick works.
    if (elapsed < kMinTickMs) return;

    MAIN_ApplySpeedSteps();
    g_simClock.realTotal += elapsed;
    uint32_t advance = MAIN_TakeAdvance(elapsed);
    uint32_t stepped = 0;
    if (!MAIN_StepTick(now, advance, &stepped)) return;
    if (stepped) g_simClock.lastStepRealTime = now;
    g_simClock.lastTickTime = now;
    if (g_simClock.endRunRequest || g_simClock.endAllRequest) g_hooks.endRun();
}

uint32_t MAIN_IsNodeUpdateDue()
{
    int64_t since = g_simClock.clock - g_simClock.lastNodeUpdate;
    if (since < 0 || since < static_cast<int64_t>(g_simClock.nodePeriod)) return 0;
    g_simClock.lastNodeUpdate = g_simClock.clock;
    return 1;
}

uint32_t MAIN_GetTickCount()
{
    return g_tickCount();
}

void MAIN_SetTickCountSource(MAIN_TICK_COUNT_SOURCE source)
{
    g_tickCount = source ? source : MAIN_SteadyTickCount;
}

void MAIN_SetTickHooks(const MAIN_TICK_HOOKS* hooks)
{
    g_hooks = {MAIN_NoHook, MAIN_NoHook, MAIN_NoHook};
    if (!hooks) return;
    if (hooks->tickDone) g_hooks.tickDone = hooks->tickDone;
    if (hooks->endRun) g_hooks.endRun = hooks->endRun;
    if (hooks->aboutTick) g_hooks.aboutTick = hooks->aboutTick;
}

void MAIN_SetStepOutput(const MAIN_STEP_OUTPUT* output)
{
    g_output = {DATAOUT_SnapTimeToSave, DATAOUT_WriteDue, DATAOUT_UpdateNodes};
    if (!output) return;
    if (output->snapTimeToSave) g_output.snapTimeToSave = output->snapTimeToSave;
    if (output->writeDue) g_output.writeDue = output->writeDue;
    if (output->updateNodes) g_output.updateNodes = output->updateNodes;
}
