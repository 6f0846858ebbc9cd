// The tick: on every MAIN_TICK, the real time since the last working tick times
// the speed factor moves the clock on, with a step at every time on the way at
// which a model, a node, a result row or an event is due. The real clock
// decides only how far a tick goes, never what a step does: a tick stops
// catching up after 15 ms of real time (not in virtual time) or when input
// waits, and the models keep their own grids of due times.
#include "simulation/tick.h"
#include <chrono>
#include "dataout/dataout.h"
#include "foundation/events.h"
#include "platform/plat_time.h"
#include "simulation/main.h"
#include "simulation/multipass.h"
#include "simulation/orbit_step.h"

namespace {

constexpr uint32_t kMinTickMs = 20;        // a tick works once this much real time passed
constexpr uint32_t kCatchUpBudgetMs = 15;  // real time one tick may spend stepping
// Steps between two looks at the message queue for keys, commands and stop
// requests: often enough to answer within a few ms, rare enough to cost nothing.
constexpr uint32_t kStepsPerInputCheck = 256;
// The largest advance of one tick: the truncation to 32 bits must not overflow
// (a long stall at a high speed factor).
constexpr double kMaxAdvanceMs = 4294967295.0;

uint32_t MAIN_SteadyTickCount()
{
    using namespace std::chrono;
    return static_cast<uint32_t>(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

void MAIN_NoHook() {}
uint32_t MAIN_NoInput() { return 0; }
uint32_t MAIN_AlwaysOthers() { return 1; }

MAIN_TICK_COUNT_SOURCE g_tickCount = MAIN_SteadyTickCount;
MAIN_TICK_HOOKS g_hooks = {MAIN_NoHook, MAIN_NoHook, MAIN_NoHook, MAIN_NoInput, MAIN_AlwaysOthers};
MAIN_STEP_OUTPUT g_output = {DATAOUT_NextSaveTime, DATAOUT_WriteDue, DATAOUT_UpdateNodes};

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

// The time of the next node update: one node period after the last one.
TIME_MS MAIN_NextNodeDue()
{
    if (g_simClock.nodePeriod == 0xFFFFFFFF) return INT64_MAX;
    return g_simClock.lastNodeUpdate + (g_simClock.nodePeriod ? g_simClock.nodePeriod : 1);
}

// The next time at which anything is due: a model update, a node update, a
// result row or an event.
TIME_MS MAIN_NextDueTime()
{
    TIME_MS next = ORBIT_NextModelDue();
    TIME_MS other[] = {MAIN_NextNodeDue(), g_output.nextSaveTime(), EVENTS_NextDueTime()};
    for (TIME_MS t : other)
        if (t < next) next = t;
    return next;
}

// One step at the clock: the models due update on their own grids, then the
// nodes, then the due rows read the state, then one due event fires (further
// events due at the same time fire in further steps at the same clock).
void MAIN_Step()
{
    g_simClock.lastStepClock = g_simClock.clock;
    ORBIT_StepModels();
    if (MAIN_IsNodeUpdateDue()) g_output.updateNodes();
    g_output.writeDue();
    if (EVENTS_NextDueTime() > g_simClock.clock) return;
    ORBIT_ReleaseScene();   // an event may do anything, wait for a frame too
    EVENTS_FireNext();
}

// At FASTEST in real time a tick whose 15 ms are spent does not leave the
// processor idle until the next tick: while nothing but ticks waits in the
// queue (and the 3-D window has not failed) it hands the display a frame and
// goes on stepping.
uint32_t MAIN_KeepsStepping()
{
    return MULTIPASS_GetSpeedIndex() == MULTIPASS_SPEED_FASTEST && !g_hooks.othersWaiting() && !ORBIT_SceneFailed();
}

// The real time a tick has spent stepping, looked at only as often as needed:
// after n steps in e ms the steps take at most (e + 1) / n ms each, so half of
// what is left of the budget allows that many more steps before the next look.
// Slow steps are looked at after every step; fast ones cost no clock reading.
struct MAIN_BUDGET {
    uint32_t start;        // real time of the budget's start
    uint32_t steps;        // steps since the start
    uint32_t nextLook;     // the step count of the next look at the clock
    uint32_t sinceInput;   // steps since the last look at the message queue
};

void MAIN_StartBudget(MAIN_BUDGET* b, uint32_t now)
{
    b->start = now;
    b->steps = 0;
    b->nextLook = 1;
}

// True when the budget is spent; otherwise sets the next look.
bool MAIN_BudgetSpent(MAIN_BUDGET* b)
{
    if (++b->steps < b->nextLook) return false;
    uint32_t spent = MAIN_GetTickCount() - b->start;
    if (spent > kCatchUpBudgetMs) return true;
    uint64_t more = static_cast<uint64_t>(kCatchUpBudgetMs - spent) * b->steps / (2 * (spent + 1));
    b->nextLook = b->steps + static_cast<uint32_t>(more < 1 ? 1 : more > 65536 ? 65536 : more);
    return false;
}

// A tick stops stepping early when its real time is spent (not in virtual
// time, where the real clock must not decide how far a tick goes) or when a
// key, a command or a stop request waits: the message loop handles it at once.
uint32_t MAIN_ShouldYield(MAIN_BUDGET* budget)
{
    if (!PLAT_IsVirtualTime() && MAIN_BudgetSpent(budget)) {
        if (!MAIN_KeepsStepping()) return 1;
        ORBIT_EndTick();
        MAIN_StartBudget(budget, MAIN_GetTickCount());
    }
    if (++budget->sinceInput < kStepsPerInputCheck) return 0;
    budget->sinceInput = 0;
    ORBIT_ReleaseScene();
    return g_hooks.inputWaiting();
}

// Moves the clock on to the time (never back: something scheduled for a time
// already passed is done now). 0 when that would pass the run's end: the clock
// then stops at the end itself, where the results rows read the run's last
// state, whatever the speed, the tick or the rows' grid would have made it
// overshoot by.
uint32_t MAIN_AdvanceClock(TIME_MS time)
{
    TIME_MS to = time > g_simClock.clock ? time : g_simClock.clock;
    if (to <= g_simClock.runEnd) {
        g_simClock.clock = to;
        return 1;
    }
    if (g_simClock.clock < g_simClock.runEnd) g_simClock.clock = g_simClock.runEnd;
    return 0;
}

// Moves the clock to every due time up to the tick's target and makes a step
// there; the clock then rests at the target. 0 when the run's end is passed.
uint32_t MAIN_StepUntil(uint32_t now, TIME_MS target, uint32_t* stepped)
{
    MAIN_BUDGET budget{};
    MAIN_StartBudget(&budget, now);
    for (;;) {
        TIME_MS next = MAIN_NextDueTime();
        if (next > target) break;
        if (!MAIN_AdvanceClock(next)) return 0;
        MAIN_Step();
        *stepped = 1;
        if (MAIN_ShouldYield(&budget)) return 1;
    }
    return MAIN_AdvanceClock(target);
}

// The steps up to the target; the scene the steps kept locked is released
// before the run ends or the tick returns. 0 when the run ended.
uint32_t MAIN_StepTo(uint32_t now, TIME_MS target, uint32_t* stepped)
{
    uint32_t going = MAIN_StepUntil(now, target, stepped);
    if (!going) ORBIT_StopDrawing();
    ORBIT_ReleaseScene();
    if (!going) g_hooks.endRun();
    return going;
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
    if (!MAIN_StepTo(now, g_simClock.clock + advance, &stepped)) return;
    if (stepped) g_simClock.lastStepRealTime = now;
    g_simClock.lastTickTime = now;
    uint32_t ending = g_simClock.endRunRequest || g_simClock.endAllRequest || ORBIT_SceneFailed();
    if (ending) ORBIT_StopDrawing();
    ORBIT_EndTick();
    if (ending) g_hooks.endRun();
}

// Rows due at the clock that no step has written yet mean that the run ends
// before its first tick: the step the first tick would have made at the clock
// writes them, from the state at that time.
void MAIN_StepForDueRows()
{
    if (g_simClock.clock > g_simClock.runEnd || g_output.nextSaveTime() > g_simClock.clock) return;
    MAIN_Step();
    ORBIT_ReleaseScene();
}

uint32_t MAIN_IsNodeUpdateDue()
{
    TIME_MS due = MAIN_NextNodeDue();
    if (g_simClock.clock < due) return 0;
    TIME_MS period = due - g_simClock.lastNodeUpdate;
    g_simClock.lastNodeUpdate = due + (g_simClock.clock - due) / period * period;
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
    g_hooks = {MAIN_NoHook, MAIN_NoHook, MAIN_NoHook, MAIN_NoInput, MAIN_AlwaysOthers};
    if (!hooks) return;
    if (hooks->inputWaiting) g_hooks.inputWaiting = hooks->inputWaiting;
    if (hooks->othersWaiting) g_hooks.othersWaiting = hooks->othersWaiting;
    if (hooks->tickDone) g_hooks.tickDone = hooks->tickDone;
    if (hooks->endRun) g_hooks.endRun = hooks->endRun;
    if (hooks->aboutTick) g_hooks.aboutTick = hooks->aboutTick;
}

void MAIN_SetStepOutput(const MAIN_STEP_OUTPUT* output)
{
    g_output = {DATAOUT_NextSaveTime, DATAOUT_WriteDue, DATAOUT_UpdateNodes};
    if (!output) return;
    if (output->nextSaveTime) g_output.nextSaveTime = output->nextSaveTime;
    if (output->writeDue) g_output.writeDue = output->writeDue;
    if (output->updateNodes) g_output.updateNodes = output->updateNodes;
}
