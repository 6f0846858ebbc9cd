// The simulation clock record, the pending-tick count and the time thread
// that posts the tick to the main window every 20 ms.
#include <atomic>
#include <chrono>
#include <memory>
#include <thread>
#include "foundation/log.h"
#include "platform/plat_thread.h"
#include "platform/plat_time.h"
#include "platform/plat_window.h"
#include "simulation/main.h"
#include "simulation/main_run.h"


namespace {

constexpr uint32_t MAIN_TICK_PERIOD_MS = 20;
constexpr uint32_t MAIN_MAX_PENDING_TICKS = 2;
constexpr uint32_t MAIN_TIME_THREAD_GRACE_MS = 500;

// What one time thread reads: its own stop flag and window. A thread that was
// left running after its grace keeps its flag set, so it ends as soon as it
// wakes and never posts to a later run's window.
struct MAIN_TIME_THREAD_ARGS {
    std::shared_ptr<std::atomic<uint32_t>> stop;
    HWND window;
};

std::unique_ptr<PLAT_LOCK> g_tickLock;
uint32_t g_pendingTicks = 0;                // guarded by the tick lock
std::shared_ptr<std::atomic<uint32_t>> g_timeStop;
std::atomic<HWND> g_tickWindow{0};
PLAT_THREAD* g_timeThread = nullptr;
bool g_idleTimer = false;

PLAT_LOCK* TickLock()
{
    if (!g_tickLock)
        g_tickLock = std::make_unique<PLAT_LOCK>();
    return g_tickLock.get();
}

// Posts one tick unless two are waiting; a tick counts only once it is queued.
void PostTickTo(HWND window)
{
    PLAT_LockGuard lock(TickLock());
    if (g_pendingTicks < MAIN_MAX_PENDING_TICKS && PLAT_PostMessage(window, MAIN_TICK, 0, 0))
        g_pendingTicks++;
}

void PostTick(void*)
{
    PostTickTo(g_tickWindow.load());
}

uint32_t TimeThread(void* parameter)
{
    std::unique_ptr<MAIN_TIME_THREAD_ARGS> args(static_cast<MAIN_TIME_THREAD_ARGS*>(parameter));
    auto next = std::chrono::steady_clock::now();
    while (!args->stop->load()) {
        PostTickTo(args->window);
        // Paced by deadlines so the period does not drift.
        next += std::chrono::milliseconds(MAIN_TICK_PERIOD_MS);
        auto now = std::chrono::steady_clock::now();
        if (next < now)
            next = now;
        std::this_thread::sleep_until(next);
    }
    return 1;
}

}

void MAIN_InitTickLock()
{
    TickLock();
    PLAT_LockGuard lock(TickLock());
    g_pendingTicks = 0;
}

void MAIN_DoneTickLock()
{
    g_tickLock.reset();
}

void MAIN_TickDone()
{
    PLAT_LockGuard lock(TickLock());
    if (g_pendingTicks > 0)
        g_pendingTicks--;
}

uint32_t MAIN_GetPendingTicks()
{
    PLAT_LockGuard lock(TickLock());
    return g_pendingTicks;
}

uint32_t MAIN_StartTimeThread(HWND mainWindow)
{
    {
        // Ticks left for an earlier run's window were dropped with it.
        PLAT_LockGuard lock(TickLock());
        g_pendingTicks = 0;
    }
    g_tickWindow = mainWindow;
    if (PLAT_IsVirtualTime()) {
        PLAT_SetIdleTimer(PostTick, nullptr, MAIN_TICK_PERIOD_MS);
        g_idleTimer = true;
        return 1;
    }
    g_timeStop = std::make_shared<std::atomic<uint32_t>>(0);
    auto* args = new MAIN_TIME_THREAD_ARGS{g_timeStop, mainWindow};
    g_timeThread = PLAT_CreateThread(TimeThread, args);
    if (!g_timeThread) {
        delete args;
        LOG_Printf("MAIN: nelze spustit time thread.\n");
        return 0;
    }
    return 1;
}

void MAIN_StopTimeThread()
{
    if (g_idleTimer) {
        PLAT_SetIdleTimer(nullptr, nullptr, 0);
        g_idleTimer = false;
    }
    if (!g_timeThread)
        return;
    g_timeStop->store(1);
    if (!PLAT_JoinThread(g_timeThread, MAIN_TIME_THREAD_GRACE_MS))
        LOG_WriteFile("CHYBA: Time thread musel být násilně ukončen.\n");
    g_timeThread = nullptr;
}
