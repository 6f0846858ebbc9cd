#include <atomic>
#include <chrono>
#include <csignal>
#include <ctime>
#include <filesystem>
#include <thread>
#include <pthread.h>
#include "platform/plat_backend.h"
#include "platform/plat_text.h"
#include "resources/orbit_resources.h"
#include "simulation/main_run.h"
#include "simulation/orbit.h"
#include "simulation/orbit_step.h"
#include "tests/simulation/program_run.h"

namespace {

class MainRunTest : public ProgramRunTest {
protected:
    void Schedule(uint32_t tick, uint16_t command)
    {
        PLAT_ScheduleTestMessage(tick, WM_COMMAND, MAKEWPARAM(command, 0), 0);
    }
};

TEST_F(MainRunTest, RunControlCommandsSetTheirFlags)
{
    Schedule(100, CMD_PAUSE);
    Schedule(120, CMD_END_RUN);
    Schedule(140, CMD_FASTER);
    Schedule(160, CMD_END_RUN_NOW);
    EXPECT_EQ(Run(), 0);
    EXPECT_EQ(g_simClock.paused, 1u);          // the pause outlives the run
    EXPECT_EQ(g_simClock.endRunRequest, 1u);
    EXPECT_EQ(g_simClock.endAllRequest, 0u);
}

TEST_F(MainRunTest, F10EndsAllRuns)
{
    Schedule(60, CMD_END_ALL);
    PLAT_ScheduleTestMessage(100, WM_SYSKEYDOWN, VK_F10, PLAT_KeyLParam(0, 0));
    EXPECT_EQ(Run(), 0);
    EXPECT_EQ(g_simClock.endAllRequest, 1u);
}

size_t ThreadCount()
{
    size_t count = 0;
    for ([[maybe_unused]] const auto& task : std::filesystem::directory_iterator("/proc/self/task")) ++count;
    return count;
}

// The program's signal thread ends with the run loop: no thread of the
// program is left, and a stop signal that comes after MAIN_Run has returned
// is answered by nobody (it waits, blocked), where a thread left behind would
// post it to the message queues that the process's exit frees.
TEST_F(MainRunTest, NoThreadOutlivesTheProgramToAnswerALateStopSignal)
{
    WriteMultipass("00:01");
    size_t before = ThreadCount();
    EXPECT_EQ(Run(), 0);
    EXPECT_EQ(ThreadCount(), before);
    kill(getpid(), SIGTERM);
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    sigset_t pending;
    sigpending(&pending);
    EXPECT_TRUE(sigismember(&pending, SIGTERM));
    sigset_t term;
    sigemptyset(&term);
    sigaddset(&term, SIGTERM);
    const timespec now{0, 0};
    sigtimedwait(&term, nullptr, &now);
}

TEST_F(MainRunTest, ZeroStepLengthIsRaisedToOneMillisecond)
{
    ORBIT_InitRun();
    ORBIT_Start(0);
    EXPECT_EQ(ORBIT_GetMinUpdatePeriod(), 10u);
    ORBIT_SetModelPeriod(ORBIT_STEP_ATTITUDE, 0);
    MAIN_ChooseStepLength();
    EXPECT_EQ(g_simClock.stepLength, 1u);
    ORBIT_DoneRun();
}

// A satellite whose mass model weighs nothing cannot turn: its start fails with
// one message, the program ends with status 1 and leaves nothing allocated.
TEST_F(MainRunTest, SatelliteWithoutMassEndsTheProgramWithFailure)
{
    testsupport::InstallModelPair(programDir_.string());
    Write("hollow.mass", "object \"a\", POINT\n A = 0 m, 0 m, 0 m\n MASS = 1 kg\nend\n"
                         "object \"hole\", POINT\n A = 0 m, 0 m, 0 m\n MASS = -1 kg\nend\n");
    Write("Objects.cfg", "satelit\n name = \"Hollow\"\n orbit_model = SIMPLE_KEPLER\n kepler_meanmotion = 15\n"
                         " mass_model \"hollow\", \"hollow.mass\"\n surface_model = \"cube\", \"cube.surf\"\nend\n");
    EXPECT_EQ(Run(), 1);
    std::string log = Log();
    EXPECT_NE(log.find("MASSMODEL: hmotný model \"hollow\" satelitu \"Hollow\" má celkovou hmotnost 0 kg"),
              std::string::npos)
        << log;
    EXPECT_NE(log.find("    COG not computed.\n"), std::string::npos) << log;
    ExpectNoLeak();
}

// The headless terminal shows the whole log: what is logged before the first
// run (a DataOutput.cfg that fails) and after the run's window has gone (the
// run-end summary) as well. Alt+X ends the run and the program exits cleanly.
TEST_F(MainRunTest, HeadlessTerminalShowsTheWholeLogAndAltXEndsTheRunCleanly)
{
    Write("DataOutput.cfg", "nonsense\n");
    EXPECT_EQ(Run(), 1);
    EXPECT_NE(out_.find(PLAT_Cp1250ToUtf8("DATAOUT: neznámé slovo na řádku 1.\n")), std::string::npos) << out_;
    std::filesystem::remove(programDir_ / "DataOutput.cfg");

    Write("Objects.cfg", Satellite("Echo"));
    PLAT_ScheduleTestMessage(200, WM_SYSKEYDOWN, 'X', PLAT_KeyLParam('x', PLAT_KEY_ALT));
    EXPECT_EQ(Run(), 0);
    std::string log = Log();
    EXPECT_NE(log.find("Satelit Echo: "), std::string::npos) << log;
    EXPECT_EQ(out_, PLAT_Cp1250ToUtf8(log.c_str()));
    ExpectNoLeak();
    EXPECT_EQ(g_simClock.running, 0u);
    EXPECT_EQ(g_simClock.endAllRequest, 0u);
    EXPECT_EQ(MAIN_GetMainWindow(), 0u);
    EXPECT_EQ(MAIN_GetListBox(), 0u);
    EXPECT_GE(PLAT_GetTickCount(), 200u);
}

// Result files that cannot be written, the results file of the whole series
// included, are reported on standard error and end the program with status 1.
TEST_F(MainRunTest, LostResultDataEndsTheProgramWithFailure)
{
    Write("DataOutput.cfg", "datafile CSV, \"missing/track.csv\"\n interval = 10ms\nend\n"
                            "datafile CSV, \"missing/summary.csv\"\n results\nend\n");
    PLAT_ScheduleTestMessage(200, WM_SYSKEYDOWN, 'X', PLAT_KeyLParam('x', PLAT_KEY_ALT));
    EXPECT_EQ(Run(), 1);
    for (const char* name : {"missing/track.csv", "missing/summary.csv"})
        EXPECT_NE(err_.find(std::string("DATAOUT: do datov\xC3\xA9ho souboru \"") + name), std::string::npos) << err_;
}

// A run that needs the field model at a date outside the model's years says so
// once, however many satellites and steps need it; each run of a series again.
TEST_F(MainRunTest, FieldModelOutsideItsYearsWarnsOncePerRun)
{
    Write("Multipass.cfg", "starttime = UT(\"01.06.2024, 00:00\")\nendtime = UT(\"01.06.2024, 00:10\")\n"
                           "simulationspeed = FASTEST\nparameter \"pass\", RAMP\n start = 1\n stop = 3\nend\n");
    Write("Objects.cfg", Satellite("A") + Satellite("B"));
    EXPECT_EQ(Run(), 0);
    std::string log = Log();
    const std::string warning = "MAGFIELD: rok 2024.42 je mimo platnost modelu WMM-2005 (2005.0 až 2010.0)";
    size_t count = 0;
    for (size_t at = log.find(warning); at != std::string::npos; at = log.find(warning, at + 1)) ++count;
    EXPECT_EQ(count, 2u) << log;
}

// A window procedure that takes ticks without handing them back.
uint32_t g_ticksSeen = 0;
LRESULT TickSink(HWND window, uint32_t message, WPARAM wParam, LPARAM lParam)
{
    if (message == MAIN_TICK)
        g_ticksSeen++;
    return PLAT_DefWindowProc(window, message, wParam, lParam);
}

class TickCountTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        oldDir_ = std::filesystem::current_path();
        std::filesystem::current_path(testsupport::MakeTempDir("timethread"));
        PLAT_ResetWindows();
        MAIN_InitTickLock();
        PLAT_WNDCLASS cls{"TickSink", TickSink, nullptr, 0};
        PLAT_RegisterClass(&cls);
        g_ticksSeen = 0;
    }
    void TearDown() override
    {
        MAIN_StopTimeThread();
        PLAT_SetBackend(nullptr);
        PLAT_ResetWindows();
        PLAT_SetVirtualTime(0);
        std::filesystem::current_path(oldDir_);
    }
    HWND NewWindow() { return PLAT_CreateWindow("TickSink", "", 0, 0, 0, 1, 1, 0, 0, nullptr); }
    void Pump(int count, bool handBack = false)
    {
        MSG msg;
        for (int i = 0; i < count && PLAT_GetMessage(&msg); ++i) {
            PLAT_DispatchMessage(&msg);
            if (handBack)
                MAIN_TickDone();
        }
    }
    std::filesystem::path oldDir_;
};

TEST_F(TickCountTest, AtMostTwoPendingAndResetForEachRun)
{
    PLAT_SetVirtualTime(1);
    HWND first = NewWindow();
    ASSERT_TRUE(MAIN_StartTimeThread(first));
    Pump(2);
    EXPECT_EQ(MAIN_GetPendingTicks(), 2u);
    // Nothing is handed back: no third tick is posted however long we wait.
    PLAT_PostMessage(first, WM_USER, 0, 0);
    Pump(1);
    EXPECT_EQ(g_ticksSeen, 2u);
    MAIN_TickDone();
    EXPECT_EQ(MAIN_GetPendingTicks(), 1u);
    PLAT_DestroyWindow(first);
    MAIN_StopTimeThread();

    HWND second = NewWindow();
    ASSERT_TRUE(MAIN_StartTimeThread(second));
    EXPECT_EQ(MAIN_GetPendingTicks(), 0u);
    Pump(1);
    EXPECT_EQ(g_ticksSeen, 3u);
    MAIN_TickDone();
    MAIN_TickDone();
    MAIN_TickDone();
    EXPECT_EQ(MAIN_GetPendingTicks(), 0u);   // never below zero
}

TEST_F(TickCountTest, TickToADestroyedWindowIsNotCounted)
{
    PLAT_SetVirtualTime(1);
    HWND gone = NewWindow();
    PLAT_DestroyWindow(gone);
    ASSERT_TRUE(MAIN_StartTimeThread(gone));
    NewWindow();
    // The idle timer runs three times before this arrives at tick 60.
    PLAT_ScheduleTestMessage(60, WM_USER, 0, 0);
    Pump(1);
    EXPECT_EQ(PLAT_GetTickCount(), 60u);
    EXPECT_EQ(MAIN_GetPendingTicks(), 0u);
}

TEST_F(TickCountTest, RealTimeThreadPostsAndStopsWithinItsGrace)
{
    PLAT_SetVirtualTime(0);
    HWND window = NewWindow();
    ASSERT_TRUE(MAIN_StartTimeThread(window));
    Pump(2);
    EXPECT_EQ(g_ticksSeen, 2u);
    EXPECT_EQ(MAIN_GetPendingTicks(), 2u);
    uint32_t before = PLAT_GetTickCount();
    MAIN_StopTimeThread();
    EXPECT_LT(PLAT_GetTickCount() - before, 200u);
    EXPECT_EQ(testsupport::ReadFile("Zendrix.log").find("CHYBA"), std::string::npos);
}

// A time thread that stalls past its grace: the first post records the
// thread, a signal then holds it for 700 ms outside the tick lock; posts it
// makes after the stall are counted.
std::atomic<uint32_t> g_strayPosts{0};
std::atomic<bool> g_strayKnown{false};
pthread_t g_strayThread;
void RecordingWake()
{
    if (!g_strayKnown.exchange(true))
        g_strayThread = pthread_self();
    else if (pthread_equal(pthread_self(), g_strayThread))
        g_strayPosts++;
}
void Stall(int)
{
    timespec t{0, 700000000};
    nanosleep(&t, nullptr);
}

TEST_F(TickCountTest, TimeThreadLeftRunningAfterItsGraceEndsInsteadOfJoiningTheNextRun)
{
    PLAT_SetVirtualTime(0);
    PLAT_BACKEND recording = *PLAT_HeadlessBackend();
    recording.wake = RecordingWake;
    PLAT_SetBackend(&recording);
    struct sigaction stall{}, previous{};
    stall.sa_handler = Stall;
    sigaction(SIGUSR1, &stall, &previous);
    g_strayPosts = 0;
    g_strayKnown = false;
    ASSERT_TRUE(MAIN_StartTimeThread(NewWindow()));
    Pump(1);
    std::this_thread::sleep_for(std::chrono::milliseconds(5));   // out of the tick lock, waiting
    pthread_kill(g_strayThread, SIGUSR1);
    MAIN_StopTimeThread();
    EXPECT_NE(testsupport::ReadFile("Zendrix.log").find("CHYBA: Time thread musel být násilně ukončen.\n"),
              std::string::npos);

    // The next run's thread posts while the left-over one comes back.
    ASSERT_TRUE(MAIN_StartTimeThread(NewWindow()));
    Pump(30, true);
    MAIN_StopTimeThread();
    EXPECT_EQ(g_strayPosts.load(), 0u);
    sigaction(SIGUSR1, &previous, nullptr);
}

}
