// The tick and the step scheduler, driven by a fake tick count: no test here
// depends on wall-clock time.
#include <gtest/gtest.h>
#include <string>
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
uint32_t g_msPerStep = 0;  // fake real time each attitude update costs
int g_endRuns = 0;
int g_redraws = 0;
std::vector<TIME_MS> g_rowsDue;      // times of the fake result rows still to come
std::vector<std::string> g_order;    // what the steps did, in order
std::vector<TIME_MS> g_attitudeClocks;
std::vector<TIME_MS> g_firedClocks;
int g_earthUpdates = 0;

uint32_t FakeNow() { return g_now; }
void EndRun()
{
    g_endRuns++;
    g_simClock.running = 0;  // the destroyed window gets no more ticks
}
TIME_MS NextRow() { return g_rowsDue.empty() ? INT64_MAX : g_rowsDue.front(); }
void WriteRow()
{
    if (g_rowsDue.empty() || g_rowsDue.front() > g_simClock.clock) return;
    g_order.push_back("row " + std::to_string(g_simClock.clock - kStart));
    g_rowsDue.erase(g_rowsDue.begin());
}
void Attitude()
{
    g_attitudeClocks.push_back(g_simClock.clock);
    g_now += g_msPerStep;
}
void Earth() { g_earthUpdates++; }
void Fire(uint32_t reason, EVENT*)
{
    if (reason != EVENT_REASON_FIRE) return;
    g_firedClocks.push_back(g_simClock.clock);
    g_order.push_back("event " + std::to_string(g_simClock.clock - kStart));
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
        g_endRuns = g_redraws = g_earthUpdates = 0;
        g_rowsDue.clear();
        g_order.clear();
        g_attitudeClocks.clear();
        g_firedClocks.clear();

        MAIN_SetTickCountSource(FakeNow);
        MAIN_TICK_HOOKS hooks{nullptr, EndRun, nullptr, nullptr, nullptr};
        MAIN_SetTickHooks(&hooks);
        MAIN_STEP_OUTPUT output{NextRow, WriteRow, nullptr};
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

        for (auto [model, period] : {std::pair{ORBIT_STEP_EARTH_ROTATION, 30000u}, {ORBIT_STEP_SUN, 600000u},
                                     {ORBIT_STEP_MOON, 30000u}, {ORBIT_STEP_SATELLITES, 0xFFFFFFFFu},
                                     {ORBIT_STEP_ATTITUDE, 10u}, {ORBIT_STEP_MODULES, 0xFFFFFFFFu},
                                     {ORBIT_STEP_GROUND, 20000u}})
            ORBIT_SetModelPeriod(model, period);
        for (uint32_t m = 0; m < ORBIT_STEP_MODEL_COUNT; m++)
            ORBIT_SetModelNextDue(static_cast<ORBIT_STEP_MODEL>(m), nullptr);
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
    static void ScheduleAt(TIME_MS due, EVENT_CALLBACK callback = Fire)
    {
        EVENT e;
        EVENTS_ClearEvent(&e);
        e.dueTime = due;
        e.callback = callback;
        e.word = 1;  // an event asks for no update off the models' grids
        EVENTS_Schedule(&e);
    }
    static std::vector<TIME_MS> Since(const std::vector<TIME_MS>& clocks)
    {
        std::vector<TIME_MS> out;
        for (TIME_MS c : clocks) out.push_back(c - kStart);
        return out;
    }
};

TEST_F(TickTest, RealSpeedMovesTheClockByElapsedTimeAndStepsOnEveryDueTime)
{
    TickAfter(20);
    EXPECT_EQ(g_simClock.clock, kStart + 20);
    TickAfter(23);
    EXPECT_EQ(g_simClock.clock, kStart + 43);
    EXPECT_EQ(g_simClock.realTotal, 43u);
    // A tick less than 20 ms after the last working one does nothing, and the
    // time is not lost: it counts at the next tick.
    TickAfter(12);
    EXPECT_EQ(g_simClock.clock, kStart + 43);
    TickAfter(8);
    EXPECT_EQ(g_simClock.clock, kStart + 63);
    // The grid starts at the start clock and is not moved by where ticks end.
    EXPECT_EQ(Since(g_attitudeClocks), (std::vector<TIME_MS>{0, 10, 20, 30, 40, 50, 60}));
    EXPECT_EQ(g_earthUpdates, 1);
}

// However real time is cut into ticks, and however many rows are recorded,
// every model update falls on the same clock values.
TEST_F(TickTest, TickLengthsRowsAndSpeedChangeNoUpdateTime)
{
    std::vector<TIME_MS> reference;
    const struct {
        uint32_t tickMs;
        double speed;
        TIME_MS rowInterval;
    } cases[] = {{20, 1.0, 0}, {23, 1.0, 7}, {47, 0.37, 1}, {20, 3.3, 3}, {61, 1.0, 10}};
    for (const auto& c : cases) {
        g_simClock.speedFactor = c.speed;
        if (c.rowInterval)
            for (TIME_MS t = 0; t <= 2000; t += c.rowInterval) g_rowsDue.push_back(kStart + t);
        while (g_simClock.clock < kStart + 1000) TickAfter(c.tickMs);
        std::vector<TIME_MS> clocks(g_attitudeClocks.begin(), g_attitudeClocks.begin() + 100);
        if (reference.empty()) reference = clocks;
        EXPECT_EQ(clocks, reference) << c.tickMs;
        TearDown();
        SetUp();
    }
}

TEST_F(TickTest, PauseHoldsClockAndRealTotalAndRedrawsAboutEvery50ms)
{
    ORBIT_SCENE_HOOKS scene{NoLock, NoLock, NoCamera, CountRedraw, nullptr, nullptr};
    ORBIT_SetSceneHooks(&scene);
    TickAfter(20);
    EXPECT_EQ(g_redraws, 1);  // one frame for the whole tick
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
// inside a tick drops the remaining steps (a clock equal to the end still runs)
// and stops the clock at the end itself, off the step grid and at a quarter
// speed too; catching up stops after 15 ms of real time; a long stall at high
// speed advances by at most the 32-bit range.
TEST_F(TickTest, SpeedsRunEndsAndStallsLimitTheSteps)
{
    const struct {
        double speed;
        uint32_t msPerStep, attitudePeriod, ticks, tickMs;
        TIME_MS runEnd;
        int endRuns;
        TIME_MS clock;
    } cases[] = {
        {0.5, 0, 10, 10, 21, kStart + kTenDays, 0, kStart + 105},
        {1.0, 0, 10, 1, 45, kStart + 20, 1, kStart + 20},
        {1.0, 0, 10, 1, 45, kStart + 25, 1, kStart + 25},
        {0.25, 0, 10, 3, 20, kStart + 12, 1, kStart + 12},
        {10.0, 4, 10, 1, 20, kStart + kTenDays, 0, kStart + 30},
        {10.0, 1, 10, 1, 20, kStart + kTenDays, 0, kStart + 150},   // 1 ms steps stop after 16 although the clock is read less often
        {864000, 0, 0xFFFFFFFF, 1, 60000, INT64_MAX, 0, kStart + 4294967295LL},
    };
    for (const auto& c : cases) {
        g_simClock.speedFactor = c.speed;
        g_msPerStep = c.msPerStep;
        ORBIT_SetModelPeriod(ORBIT_STEP_ATTITUDE, c.attitudePeriod);
        for (uint32_t m : {ORBIT_STEP_EARTH_ROTATION, ORBIT_STEP_SUN, ORBIT_STEP_MOON, ORBIT_STEP_GROUND})
            if (c.attitudePeriod == 0xFFFFFFFF) ORBIT_SetModelPeriod(static_cast<ORBIT_STEP_MODEL>(m), 0xFFFFFFFF);
        g_simClock.runEnd = c.runEnd;
        for (uint32_t i = 0; i < c.ticks; i++) TickAfter(c.tickMs);
        EXPECT_EQ(g_endRuns, c.endRuns) << c.speed;
        EXPECT_EQ(g_simClock.clock, c.clock) << c.speed;
        TearDown();  // a fresh clock and scheduler for the next case
        SetUp();
    }
}

// An event fires at its own time without moving any model's grid; a row and
// an event due together both happen in that step, the row first, so rows due
// at every step never hold an event back.
TEST_F(TickTest, EventsFireAtTheirTimeBesideRowsAndLeaveTheGrids)
{
    ScheduleAt(kStart + 15);
    ScheduleAt(kStart + 20);
    for (TIME_MS t = 0; t <= 40; t += 10) g_rowsDue.push_back(kStart + t);
    TickAfter(20);
    TickAfter(20);
    EXPECT_EQ(g_order, (std::vector<std::string>{"row 0", "row 10", "event 15", "row 20", "event 20", "row 30",
                                                 "row 40"}));
    EXPECT_EQ(Since(g_attitudeClocks), (std::vector<TIME_MS>{0, 10, 20, 30, 40}));
}

void Reschedule(uint32_t reason, EVENT* event)
{
    Fire(reason, event);
    static int again = 1;
    if (reason != EVENT_REASON_FIRE || !again--) return;
    EVENT e;
    EVENTS_ClearEvent(&e);
    e.dueTime = event->dueTime;
    e.callback = Reschedule;
    EVENTS_Schedule(&e);
}

int g_lockDepth = 0, g_locks = 0;
std::vector<int> g_depthSeen;   // the lock depth at each event and run end
void CountLock() { g_lockDepth++, g_locks++; }
void CountUnlock() { g_lockDepth--; }
void FireSeeingLock(uint32_t reason, EVENT* event)
{
    if (reason == EVENT_REASON_FIRE) g_depthSeen.push_back(g_lockDepth);
    Fire(reason, event);
}
void EndRunSeeingLock() { g_depthSeen.push_back(g_lockDepth), EndRun(); }
void StopDrawingSeeingLock() { g_depthSeen.push_back(g_lockDepth); }

// The scene lock is kept over the steps instead of taken for each attitude
// update, and let go before an event fires, before the run ends and when the
// tick returns, where the render thread may wait for it or be waited for.
// The drawing is stopped at the run's end while the lock is still held, so
// that no frame waiting for it starts.
TEST_F(TickTest, SceneLockIsKeptOverStepsAndLetGoBeforeEventsRunEndAndReturn)
{
    ORBIT_SCENE_HOOKS scene{CountLock, CountUnlock, NoCamera, CountRedraw, nullptr, StopDrawingSeeingLock};
    ORBIT_SetSceneHooks(&scene);
    MAIN_TICK_HOOKS hooks{nullptr, EndRunSeeingLock, nullptr, nullptr, nullptr};
    MAIN_SetTickHooks(&hooks);
    ScheduleAt(kStart + 505, FireSeeingLock);
    g_simClock.runEnd = kStart + 1000;
    TickAfter(600);
    EXPECT_EQ(g_attitudeClocks.size(), 61u);
    EXPECT_EQ(g_lockDepth, 0);
    // At the start the Moon runs without it; then the steps up to the event,
    // those after it and the tick's camera refresh.
    EXPECT_EQ(g_locks, 4);
    TickAfter(600);
    EXPECT_EQ(g_depthSeen, (std::vector<int>{0, 1, 0}));
    EXPECT_EQ(g_lockDepth, 0);
    EXPECT_EQ(g_endRuns, 1);
}

TEST_F(TickTest, EventThatItsCallbackSchedulesForTheSameTimeFiresInTheNextStep)
{
    ScheduleAt(kStart + 5, Reschedule);
    TickAfter(20);
    EXPECT_EQ(Since(g_firedClocks), (std::vector<TIME_MS>{5, 5}));
    EXPECT_EQ(g_simClock.clock, kStart + 20);
}

TEST_F(TickTest, SlowestFactorStepsOnlyAtTheStartClock)
{
    MULTIPASS_Init();
    for (int i = 0; i < 59; i++) ORBIT_AddSpeedSteps(-1);
    for (int i = 0; i < 50; i++) TickAfter(20);
    EXPECT_EQ(g_simClock.speedFactor, 2.4e-89);
    EXPECT_EQ(Since(g_attitudeClocks), (std::vector<TIME_MS>{0}));
    EXPECT_EQ(g_simClock.clock, kStart);
}

uint32_t g_othersWaiting = 0;
uint32_t OthersWaiting() { return g_othersWaiting; }
uint32_t SceneFails() { return 1; }

// At FASTEST a tick whose 15 ms are spent goes on stepping, with a frame
// asked for every 15 ms, while nothing but ticks waits; anything else waiting
// stops it as at any other speed. A 3-D window that failed to set itself up
// stops it too, and ends the run. Virtual time or not, the grid is the same.
TEST_F(TickTest, FastestKeepsSteppingWhileOnlyTicksWait)
{
    for (uint32_t stop : {0u, 1u, 2u}) {
        ORBIT_SCENE_HOOKS scene{NoLock, NoLock, NoCamera, CountRedraw, stop == 2 ? SceneFails : nullptr, nullptr};
        while (MULTIPASS_GetSpeedIndex() != MULTIPASS_SPEED_FASTEST) g_simClock.speedFactor = MULTIPASS_Faster();
        ORBIT_SetSceneHooks(&scene);
        MAIN_TICK_HOOKS hooks{nullptr, EndRun, nullptr, nullptr, OthersWaiting};
        MAIN_SetTickHooks(&hooks);
        g_othersWaiting = stop == 1;
        g_msPerStep = 1;
        TickAfter(20);
        if (stop) {
            EXPECT_EQ(g_attitudeClocks.size(), 16u);  // stopped once 15 ms were spent
            EXPECT_EQ(g_endRuns, stop == 2 ? 1 : 0);
        } else {
            EXPECT_EQ(g_simClock.clock, kStart + 20 * 864000);  // the whole advance
            EXPECT_GT(g_redraws, 1000);
        }
        TearDown();
        SetUp();
    }
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

// A model is due at each point of its grid; a clock that passes several points
// updates it once and the grid goes on from the last point passed. Real time
// forces no update.
TEST_F(TickTest, SchedulerUpdatesEachModelOnItsGridOnly)
{
    ORBIT_StepModels();
    EXPECT_EQ(g_earthUpdates, 1);  // the grid starts at the start clock
    g_simClock.clock = kStart + 29999;
    g_simClock.realTotal = 5000;
    ORBIT_StepModels();
    EXPECT_EQ(g_earthUpdates, 1);
    g_simClock.clock = kStart + 30000;
    ORBIT_StepModels();
    EXPECT_EQ(g_earthUpdates, 2);
    g_simClock.clock = kStart + 95000;
    EXPECT_EQ(ORBIT_NextModelDue(), kStart + 30010);  // the attitude's next point
    ORBIT_StepModels();
    EXPECT_EQ(g_earthUpdates, 3);
    ORBIT_SetModelPeriod(ORBIT_STEP_ATTITUDE, 0xFFFFFFFF);
    ORBIT_SetModelPeriod(ORBIT_STEP_GROUND, 0xFFFFFFFF);
    EXPECT_EQ(ORBIT_NextModelDue(), kStart + 120000);  // Earth and Moon: 90 s passed, 120 s next
    ORBIT_SetStepsEnabled(0);
    g_simClock.clock = kStart + 200000;
    ORBIT_StepModels();
    EXPECT_EQ(g_earthUpdates, 3);
}

TEST_F(TickTest, NodeUpdatesFallOnTheirGrid)
{
    g_simClock.nodePeriod = 100;
    g_simClock.clock = kStart + 99;
    EXPECT_EQ(MAIN_IsNodeUpdateDue(), 0u);
    g_simClock.clock = kStart + 100;
    EXPECT_EQ(MAIN_IsNodeUpdateDue(), 1u);
    EXPECT_EQ(MAIN_IsNodeUpdateDue(), 0u);
    g_simClock.clock = kStart + 250;
    EXPECT_EQ(MAIN_IsNodeUpdateDue(), 1u);
    EXPECT_EQ(g_simClock.lastNodeUpdate, kStart + 200);
}

}  // namespace

using TickRunTest = ProgramRunTest;

TEST_F(TickRunTest, FastestRunCoversTheDefaultTenDaysInFiftyTicks)
{
    Write("Multipass.cfg", "simulationspeed = FASTEST\n");
    ASSERT_EQ(Run(), 0);
    // Fifty working ticks reach the run end exactly; the first step of the
    // fifty-first would pass it and ends the run, the clock left at the end.
    EXPECT_EQ(g_simClock.realTotal, 51u * 20u);
    EXPECT_EQ(g_simClock.clock, kDefaultStart + kTenDays);
}

namespace {

// A run that ends before its first tick gets the step at its start, in which
// the row due there is written from the models' state at that time; after a
// tick, or without a row due, the end of the run makes no step.
TEST_F(TickTest, ARunEndingBeforeItsFirstTickStillWritesItsStartRow)
{
    g_rowsDue = {kStart, kStart + 100};
    MAIN_StepForDueRows();
    EXPECT_EQ(g_order, (std::vector<std::string>{"row 0"}));
    EXPECT_EQ(Since(g_attitudeClocks), (std::vector<TIME_MS>{0}));
    EXPECT_EQ(g_simClock.clock, kStart);
    MAIN_StepForDueRows();
    TickAfter(40);
    MAIN_StepForDueRows();
    EXPECT_EQ(g_order, (std::vector<std::string>{"row 0"}));
    EXPECT_EQ(Since(g_attitudeClocks), (std::vector<TIME_MS>{0, 10, 20, 30, 40}));
}

}  // namespace
