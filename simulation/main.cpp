// The program entry: program-wide start, one run after another, program exit.
#include "simulation/main.h"
#include <unistd.h>
#include "dataout/dataout.h"
#include "foundation/iotxt.h"
#include "foundation/log.h"
#include "foundation/memory.h"
#include "foundation/pool.h"
#include "foundation/time.h"
#include "platform/plat_backend.h"
#include "platform/plat_file.h"
#include "platform/plat_process.h"
#include "platform/plat_time.h"
#include "platform/plat_window.h"
#include "foundation/events.h"
#include "simulation/main_run.h"
#include "simulation/multipass.h"
#include "simulation/orbit.h"
#include "simulation/orbit_step.h"
#include "simulation/sats.h"
#include "simulation/tick.h"
#include "view/bmp.h"
#include "view/ogw.h"
#include "view/ogw_movie.h"

namespace {

constexpr TIME_MS MAIN_DEFAULT_RUN_LENGTH = 864000000;   // 10 days
constexpr SYSTEMTIME MAIN_DEFAULT_START = {2006, 1, 0, 1, 0, 0, 0, 0};
constexpr uint32_t MAIN_MIN_STEP = 1;

// What one run has set up, so that its end undoes exactly that.
struct MAIN_RUN {
    HWND mainWindow;
    uint32_t orbitInitialised;
    uint32_t timeThreadStarted;
    uint32_t dataOutputStarted;
};

int g_showState = SW_SHOWNORMAL;

void StartProgram()
{
    MAIN_InitTickLock();
    // A headless program shows its whole log on the terminal, also what is
    // logged before the first run's window exists and after the last one's.
    LOG_SetEcho(PLAT_IsHeadless() ? PLAT_EchoLog : nullptr);
    LOG_Init();
    LOG_SetClock(&g_simClock.clock);
    MEMORY_Init();
    POOL_Init();
    EVENTS_Init();
    IOTXT_Init();
    MULTIPASS_Init();
    DATAOUT_Init();
    BMP_Init();
    MAIN_RegisterWindowClass();
    MAIN_InstallTickHooks();
    g_simClock.realTotal = 0;
    g_simClock.runStart = TIME_SystemTimeToMs(&MAIN_DEFAULT_START);
    g_simClock.runEnd = g_simClock.runStart + MAIN_DEFAULT_RUN_LENGTH;
    g_simClock.clock = g_simClock.runStart;
    g_simClock.lastStepClock = 0;
    g_simClock.paused = 0;
    MAIN_SetAboutBox(0);
}

// A render thread left running may still use the program's memory and its
// locks: once the result files (at each run's end) and the log are finished,
// the process ends at once, without freeing or checking memory and without
// exit handlers that could run beside the thread.
[[noreturn]] void EndLeavingRenderThread(int exitCode)
{
    LOG_Done();
    _exit(exitCode);
}

void ExitProgram()
{
    BMP_Done();
    DATAOUT_Done();
    MULTIPASS_Done();
    IOTXT_Done();
    EVENTS_Done();
    POOL_Done();
    MEMORY_ReportLeaks();
    LOG_Done();
    LOG_SetEcho(nullptr);
    MAIN_DoneTickLock();
}

}

void MAIN_ChooseStepLength()
{
    g_simClock.stepLength = ORBIT_GetMinUpdatePeriod();
    g_simClock.nodePeriod = DATAOUT_GetMinAccuracy();
    g_simClock.lastNodeUpdate = g_simClock.clock;
    if (g_simClock.nodePeriod < g_simClock.stepLength)
        g_simClock.stepLength = g_simClock.nodePeriod;
    if (g_simClock.stepLength < MAIN_MIN_STEP)
        g_simClock.stepLength = MAIN_MIN_STEP;
}

namespace {

uint32_t StartRun(MAIN_RUN* run)
{
    OGW_Init();
    run->mainWindow = PLAT_CreateWindow(MAIN_GetClassName(), MAIN_GetTitle(), WS_OVERLAPPEDWINDOW, MAIN_WINDOW_X,
                                        MAIN_WINDOW_Y, MAIN_WINDOW_WIDTH, MAIN_WINDOW_HEIGHT, 0, 0, nullptr);
    if (!run->mainWindow)
        return 0;
    PLAT_ShowWindow(run->mainWindow, g_showState);
    // The time thread starts before the 3-D window's render thread: creating
    // a thread waits for the loader's lock, which the render thread holds
    // for tens of milliseconds while it loads the GL driver. Ticks posted
    // meanwhile wait in the queue (at most two) until the message loop runs.
    if (!MAIN_StartTimeThread(run->mainWindow)) {
        PLAT_DestroyWindow(run->mainWindow);
        return 0;
    }
    run->timeThreadStarted = 1;
    g_simClock.speedFactor = MULTIPASS_GetSpeed();
    g_simClock.fractionAccumulator = 0;
    EVENTS_StartRun();
    ORBIT_InitRun();
    run->orbitInitialised = 1;
    if (!ORBIT_Start(0)) {
        PLAT_DestroyWindow(run->mainWindow);
        return 0;
    }
    if (!DATAOUT_Start()) {
        ORBIT_Stop();
        PLAT_DestroyWindow(run->mainWindow);
        return 0;
    }
    run->dataOutputStarted = 1;
    SATS_DropUnreadCoilHistories();
    MAIN_ChooseStepLength();
    g_simClock.endRunRequest = 0;
    g_simClock.endAllRequest = 0;
    g_simClock.lastTickTime = g_simClock.lastStepRealTime = PLAT_GetTickCount();
    return 1;
}

// Data output is finished while the satellites and ground stations it reads
// still exist, before ORBIT_DoneRun frees them.
void EndRun(MAIN_RUN* run, uint32_t failed)
{
    if (!failed && run->dataOutputStarted) {
        MAIN_StepForDueRows();
        DATAOUT_Finish();
    }
    if (!failed)
        ORBIT_Stop();
    if (PLAT_IsWindow(run->mainWindow))
        PLAT_DestroyWindow(run->mainWindow);
    // A render thread left running may still draw from the run's satellites,
    // stations and scene: nothing of them is freed, and no run follows.
    if (OGW_RenderThreadLeft()) {
        if (run->timeThreadStarted)
            MAIN_StopTimeThread();
        return;
    }
    // Events of this run are released while the modules they belong to live.
    EVENTS_EndRun();
    if (run->orbitInitialised)
        ORBIT_DoneRun();
    if (run->timeThreadStarted)
        MAIN_StopTimeThread();
    OGW_Done();
}

// One run; 1 when it ran to its end, 0 when it failed.
uint32_t DoRun()
{
    MAIN_RUN run{};
    if (!StartRun(&run)) {
        EndRun(&run, 1);
        return 0;
    }
    g_simClock.running = 1;
    MAIN_MessageLoop();
    g_simClock.running = 0;
    // The 3-D window sets itself up while the run goes on; when it could not,
    // the run fails as it would have at its start.
    uint32_t viewFailed = ORBIT_SceneFailed();
    EndRun(&run, 0);
    return !viewFailed;
}

}

static MAIN_RUN_OBSERVER s_runObserver = nullptr;

void MAIN_SetRunObserver(MAIN_RUN_OBSERVER observer)
{
    s_runObserver = observer;
}

int MAIN_Run(int argc, char** argv)
{
    // Before any file is opened: no file takes the number of a closed
    // standard descriptor (the executable did so already, earlier still).
    PLAT_HoldStandardDescriptors();
    PLAT_Init(argc > 0 ? argv[0] : nullptr);
    PLAT_InstallStopSignals();
    StartProgram();
    int exitCode = 0;
    if (!MULTIPASS_Load() || !DATAOUT_LoadConfig()) {
        exitCode = 1;
    } else {
        for (uint32_t run = 1;; ++run) {
            uint32_t ran = DoRun();
            if (s_runObserver) s_runObserver(run);
            if (!ran) {
                exitCode = 1;
                break;
            }
            if (g_simClock.endAllRequest || OGW_RenderThreadLeft() || !MULTIPASS_NextPass())
                break;
        }
    }
    // Result data, a movie, a screenshot or a log that could not be written
    // makes the whole program fail.
    if (DATAOUT_LostData() || OGW_RecordingLost() || LOG_FileFailed())
        exitCode = 1;
    if (OGW_RenderThreadLeft())
        EndLeavingRenderThread(exitCode);
    ExitProgram();
    // Nothing writes to a terminal or a pipe any more: the signal thread ends
    // here, before the exit handlers free the queues it posts to.
    PLAT_EndStopSignals();
    return exitCode;
}
