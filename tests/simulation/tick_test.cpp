// The tick and the step scheduler, driven by a fake tick count: no test here
// depends on wall-clock time.
#include <gtest/gtest.h>
#include <vector>
#include "foundation/events.h"
#include "simulation/multipass.h"
#include "simulation/orbit_step.h"
#include "simulation/tick.h"
#include "tests/simulation/program_run.h"

namespace {

constexpr TIME_MS kDefaultStart = 12780547200000LL;  // 2006-01-01 00:00:00.000
constexpr TIME_MS kStart = kDefaultStart;
constexpr TIME_MS kTenDays = 864000000LL;

uint32_t g_now = 0;
uint32_t g_msPerStep = 0;  // fake real time each step costs
int g_steps = 0;
int g_endRuns = 0;
int g_rowsWritten = 0;
int g_redraws = 0;
TIME_MS g_snapTo = -1;  // the step whose clock passes this pulls back to it and writes a row
std::vector<TIME_MS> g_stepClocks;
std::vector<TIME_MS> g_attitudeClocks;
std::vector<TIME_MS> g_firedClocks;
int g_earthUpdates = 0;

uint32_t FakeNow() { return g_now; }
void EndRun()
{
    g_endRuns++;
    g_simClock.running = 0;  // the destroyed window gets no more ticks
}
uint32_t Snap()
{
    g_steps++;
    g_now += g_msPerStep;
    if (g_snapTo >= 0 && g_simClock.clock > g_snapTo) {
        g_simClock.clock = g_snapTo;
        g_snapTo = -1;
        return 1;
    }
    return 0;
}
void WriteRow() { g_rowsWritten++; }
void Satellites() { g_stepClocks.push_back(g_simClock.clock); }
void Attitude() { g_attitudeClocks.push_back(g_simClock.clock); }
void Earth() { g_earthUpdates++; }
void Fire(uint32_t reason, EVENT*)
{
    if (reason == EVENT_REASON_FIRE) g_firedClocks.push_back(g_simClock.clock);
}
void NoLock() {}
void NoCamera(uint32_t) {}
void CountRedraw() { g_redraws++; }

class TickTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        g_now = 1000;
        g_msPerStep = 0;
        g_steps = g_endRuns = g_rowsWritten = g_redraws = g_earthUpdates = 0;
        g_snapTo = -1;
        g_stepClocks.clear();
        g_attitudeClocks.clear();
        g_firedClocks.clear();

        MAIN_SetTickCountSource(FakeNow);
        MAIN_TICK_HOOKS hooks{nullptr, EndRun, nullptr};
        MAIN_SetTickHooks(&hooks);
        MAIN_STEP_OUTPUT output{Snap, WriteRow, nullptr};
        MAIN_SetStepOutput(&output);
        MULTIPASS_Init();
        EVENTS_Init();
        EVENTS_StartRun();
        ORBIT_TakeSpeedSteps();

        g_simClock = SIM_CLOCK{};
        g_simClock.clock = g_simClock.runStart = kStart;
        g_simClock.runEnd = kStart + kTenDays;
        g_simClock.stepLength = 10;
        g_simClock.speedFactor = 1.0;
        g_simClock.running = 1;
        g_simClock.lastTickTime = g_simClock.lastStepRealTime = g_now;
        g_simClock.nodePeriod = 0xFFFFFFFF;
        g_simClock.lastNodeUpdate = kStart;

        ORBIT_SetModelPeriod(ORBIT_STEP_EARTH_ROTATION, 30000);
        ORBIT_SetModelPeriod(ORBIT_STEP_SUN, 600000);
        ORBIT_SetModelPeriod(ORBIT_STEP_MOON, 30000);
        ORBIT_SetModelPeriod(ORBIT_STEP_SATELLITES, 10);
        ORBIT_SetModelPeriod(ORBIT_STEP_ATTITUDE, 10);
        ORBIT_SetModelPeriod(ORBIT_STEP_MODULES, 0xFFFFFFFF);
        ORBIT_SetModelPeriod(ORBIT_STEP_GROUND, 20000);
        ORBIT_SetModelUpdate(ORBIT_STEP_SATELLITES, Satellites);
        ORBIT_SetModelUpdate(ORBIT_STEP_ATTITUDE, Attitude);
        ORBIT_SetModelUpdate(ORBIT_STEP_EARTH_ROTATION, Earth);
        ORBIT_SetSceneHooks(nullptr);
        ORBIT_ResetStepMarks();
        ORBIT_SetStepsEnabled(1);
    }
    void TearDown() override
    {
        EVENTS_Done();
        for (uint32_t m = 0; m < ORBIT_STEP_MODEL_COUNT; m++)
            ORBIT_SetModelUpdate(static_cast<ORBIT_STEP_MODEL>(m), nullptr);
        ORBIT_SetStepsEnabled(0);
        MAIN_SetStepOutput(nullptr);
        MAIN_SetTickHooks(nullptr);
        MAIN_SetTickCountSource(nullptr);
    }
    static void TickAfter(uint32_t ms)
    {
        g_now += ms;
        MAIN_Tick();
    }
    static void ScheduleAt(TIME_MS due, uint32_t word)
    {
        EVENT e;
        EVENTS_ClearEvent(&e);
        e.dueTime = due;
        e.callback = Fire;
        e.word = word;
        EVENTS_Schedule(&e);
    }
};

TEST_F(TickTest, RealSpeedMakesWholeStepsAndOneRemainderStep)
{
    TickAfter(20);
    EXPECT_EQ(g_steps, 2);
    EXPECT_EQ(g_simClock.clock, kStart + 20);
    TickAfter(23);
    EXPECT_EQ(g_steps, 5);
    EXPECT_EQ(g_simClock.clock, kStart + 43);
    EXPECT_EQ(g_simClock.realTotal, 43u);
    // A tick less than 20 ms after the last working one does nothing, and the
    // time is not lost: it counts at the next tick.
    TickAfter(12);
    EXPECT_EQ(g_simClock.clock, kStart + 43);
    TickAfter(8);
    EXPECT_EQ(g_simClock.clock, kStart + 63);
}

TEST_F(TickTest, PauseHoldsClockAndRealTotalAndRedrawsAboutEvery50ms)
{
    ORBIT_SCENE_HOOKS scene{NoLock, NoLock, NoCamera, CountRedraw};
    ORBIT_SetSceneHooks(&scene);
    TickAfter(20);
    g_redraws = 0;
    g_simClock.paused = 1;
    g_simClock.endRunRequest = 1;  // waits for the pause to end
    for (int i = 0; i < 50; i++) TickAfter(20);
    EXPECT_EQ(g_simClock.clock, kStart + 20);
    EXPECT_EQ(g_simClock.realTotal, 20u);
    EXPECT_GE(g_redraws, 14);
    EXPECT_LE(g_redraws, 20);
    EXPECT_EQ(g_endRuns, 0);
    g_simClock.paused = 0;
    TickAfter(20);
    EXPECT_EQ(g_simClock.clock, kStart + 40);
    EXPECT_EQ(g_endRuns, 1);
}

// Ticks at other speeds: half speed carries the half milliseconds; a run end
// inside a tick drops the remaining steps (a clock equal to the end still runs);
// catching up stops after 15 ms of real time; a long stall at high speed
// advances by at most the 32-bit range.
TEST_F(TickTest, SpeedsRunEndsAndStallsLimitTheSteps)
{
    const struct {
        double speed;
        uint32_t msPerStep, stepLength, ticks, tickMs;
        TIME_MS runEnd;
        int steps, endRuns;
        TIME_MS clock;
    } cases[] = {
        {0.5, 0, 10, 10, 21, kStart + kTenDays, -1, 0, kStart + 105},
        {1.0, 0, 10, 1, 45, kStart + 20, 2, 1, kStart + 30},
        {10.0, 4, 10, 1, 20, kStart + kTenDays, 4, 0, kStart + 40},
        {864000, 0, 1000000, 1, 60000, INT64_MAX, -1, 0, kStart + 4294967295LL},
    };
    for (const auto& c : cases) {
        g_simClock.speedFactor = c.speed;
        g_msPerStep = c.msPerStep;
        g_simClock.stepLength = c.stepLength;
        g_simClock.runEnd = c.runEnd;
        for (uint32_t i = 0; i < c.ticks; i++) TickAfter(c.tickMs);
        if (c.steps >= 0) {
            EXPECT_EQ(g_steps, c.steps) << c.speed;
        }
        EXPECT_EQ(g_endRuns, c.endRuns) << c.speed;
        EXPECT_EQ(g_simClock.clock, c.clock) << c.speed;
        TearDown();  // a fresh clock and scheduler for the next case
        SetUp();
    }
}

TEST_F(TickTest, EventInsideAStepFiresAtItsTimeAfterTheModelsReachedIt)
{
    ScheduleAt(kStart + 15, 1);
    TickAfter(20);
    ASSERT_EQ(g_firedClocks.size(), 1u);
    EXPECT_EQ(g_firedClocks[0], kStart + 15);
    EXPECT_EQ(g_attitudeClocks.back(), kStart + 15);
    // The step grid goes on from the event's time.
    TickAfter(20);
    EXPECT_EQ(g_simClock.clock, kStart + 35);
}

TEST_F(TickTest, EventOnAStepClockFiresOneStepLaterAndNoClockIsSteppedTwice)
{
    ScheduleAt(kStart + 20, 0);
    TickAfter(40);
    ASSERT_EQ(g_firedClocks.size(), 1u);
    EXPECT_EQ(g_firedClocks[0], kStart + 20);
    // Steps at 10, 20, 30 (pulled back to 20); the fourth lands on 30 again
    // and is skipped, so the grid goes on from the event's time.
    EXPECT_EQ(g_steps, 3);
    EXPECT_EQ(g_simClock.clock, kStart + 30);
    TickAfter(20);
    EXPECT_EQ(g_steps, 5);
    EXPECT_EQ(g_simClock.clock, kStart + 50);
}

TEST_F(TickTest, DueRowTakesPrecedenceOverADueEventInTheSameStep)
{
    ScheduleAt(kStart + 12, 0);
    g_snapTo = kStart + 15;
    TickAfter(20);
    EXPECT_EQ(g_rowsWritten, 1);
    EXPECT_TRUE(g_firedClocks.empty());
    TickAfter(20);
    ASSERT_EQ(g_firedClocks.size(), 1u);
    EXPECT_EQ(g_firedClocks[0], kStart + 12);
}

TEST_F(TickTest, SlowestFactorMakesOnlyTheForcedStepAtTheStartClock)
{
    MULTIPASS_Init();
    for (int i = 0; i < 59; i++) ORBIT_AddSpeedSteps(-1);
    g_simClock.lastStepClock = 0;
    for (int i = 0; i < 50; i++) TickAfter(20);
    EXPECT_EQ(g_simClock.speedFactor, 2.4e-89);
    EXPECT_EQ(g_steps, 1);
    EXPECT_EQ(g_simClock.clock, kStart);
    EXPECT_EQ(g_simClock.lastStepRealTime, 1000u + 120u);
}

TEST_F(TickTest, SpeedStepsApplyAtTheNextWorkingTick)
{
    ORBIT_AddSpeedSteps(1);
    ORBIT_AddSpeedSteps(1);
    ORBIT_AddSpeedSteps(-1);
    TickAfter(10);
    EXPECT_EQ(g_simClock.speedFactor, 1.0);
    TickAfter(10);
    EXPECT_DOUBLE_EQ(g_simClock.speedFactor, 12.0 / 11.0);
    EXPECT_EQ(ORBIT_TakeSpeedSteps(), 0);
}

TEST_F(TickTest, SchedulerUpdatesEachModelAtItsPeriodAndEverythingEvery101msOfRealTime)
{
    g_simClock.realTotal = 0;
    ORBIT_ResetStepMarks();
    g_simClock.clock = kStart + 30000;  // Earth: more than the period is needed
    ORBIT_StepModels(0);
    EXPECT_EQ(g_earthUpdates, 0);
    EXPECT_EQ(g_stepClocks.size(), 1u);  // satellites: at least the period
    g_simClock.clock = kStart + 30001;
    ORBIT_StepModels(0);
    EXPECT_EQ(g_earthUpdates, 1);
    // Pulled back before the last update: nothing is due.
    g_simClock.clock = kStart + 29000;
    ORBIT_StepModels(0);
    EXPECT_EQ(g_stepClocks.size(), 1u);
    g_simClock.realTotal = 100;
    ORBIT_StepModels(0);
    EXPECT_EQ(g_earthUpdates, 1);
    g_simClock.realTotal = 101;
    ORBIT_StepModels(0);
    EXPECT_EQ(g_earthUpdates, 2);
    EXPECT_EQ(g_stepClocks.size(), 2u);
    ORBIT_StepModels(1);
    EXPECT_EQ(g_earthUpdates, 3);
    ORBIT_SetStepsEnabled(0);
    ORBIT_StepModels(1);
    EXPECT_EQ(g_earthUpdates, 3);
}

TEST_F(TickTest, NodeUpdateFallsDueAfterItsPeriodAndNeverOnAPulledBackClock)
{
    g_simClock.nodePeriod = 100;
    g_simClock.clock = kStart + 99;
    EXPECT_EQ(MAIN_IsNodeUpdateDue(), 0u);
    g_simClock.clock = kStart + 100;
    EXPECT_EQ(MAIN_IsNodeUpdateDue(), 1u);
    EXPECT_EQ(g_simClock.lastNodeUpdate, kStart + 100);
    g_simClock.clock = kStart + 50;
    EXPECT_EQ(MAIN_IsNodeUpdateDue(), 0u);
}

}  // namespace

using TickRunTest = ProgramRunTest;

TEST_F(TickRunTest, FastestRunCoversTheDefaultTenDaysInFiftyTicks)
{
    Write("Multipass.cfg", "simulationspeed = FASTEST\n");
    ASSERT_EQ(Run(), 0);
    // Fifty working ticks reach the run end exactly; the first step of the
    // fifty-first passes it and ends the run.
    EXPECT_EQ(g_simClock.realTotal, 51u * 20u);
    EXPECT_EQ(g_simClock.clock, kDefaultStart + kTenDays + 10);
}
