// What the window's waits after a stop read of a thread: its processor time,
// whether it waits for a processor, and its priority given back.
#include <gtest/gtest.h>
#include <atomic>
#include <condition_variable>
#include <mutex>
#include <sys/resource.h>
#include <unistd.h>
#include "platform/plat_thread.h"
#include "platform/plat_time.h"

namespace {

std::atomic<int> g_mode{0};   // 0 sleep in a wait, 1 spin, 2 end
std::atomic<pid_t> g_tid{0};
std::mutex g_mutex;
std::condition_variable g_changed;

void SetMode(int mode)
{
    {
        std::lock_guard<std::mutex> lock(g_mutex);
        g_mode = mode;
    }
    g_changed.notify_all();
}

uint32_t Worker(void*)
{
    g_tid = gettid();
    PLAT_YieldToOtherThreads();
    for (;;) {
        int mode = g_mode.load();
        if (mode == 2)
            return 0;
        if (mode == 0) {
            std::unique_lock<std::mutex> lock(g_mutex);
            g_changed.wait(lock, [] { return g_mode.load() != 0; });
        }
    }
}

}  // namespace

TEST(ThreadWatch, AThreadAsleepInAWaitUsesNoProcessorAndOneThatSpinsDoes)
{
    SetMode(0);
    g_tid = 0;
    PLAT_THREAD* thread = PLAT_CreateThread(Worker, nullptr);
    ASSERT_NE(thread, nullptr);
    for (int i = 0; i < 2000 && g_tid.load() == 0; ++i)
        PLAT_Sleep(1);
    PLAT_Sleep(50);
    uint64_t asleep = PLAT_ThreadProcessorTime(thread);
    EXPECT_GT(asleep, 0u);
    EXPECT_EQ(PLAT_ThreadRunnable(thread), 0u);
    PLAT_Sleep(100);
    EXPECT_LT(PLAT_ThreadProcessorTime(thread) - asleep, 1000000u);   // < 1 ms in 100 ms

    // A thread that gave way runs at the lowest priority until it is given
    // back the normal one (which needs the right to raise a priority).
    EXPECT_EQ(getpriority(PRIO_PROCESS, static_cast<id_t>(g_tid.load())), 19);
    if (PLAT_RestoreYieldingThreads()) {
        EXPECT_EQ(getpriority(PRIO_PROCESS, static_cast<id_t>(g_tid.load())), 0);
    }

    SetMode(1);
    uint64_t before = PLAT_ThreadProcessorTime(thread);
    uint32_t runnableLooks = 0;
    for (int i = 0; i < 20; ++i) {
        PLAT_Sleep(5);
        runnableLooks += PLAT_ThreadRunnable(thread);
    }
    EXPECT_GT(PLAT_ThreadProcessorTime(thread), before + 10000000u);   // spun more than 10 ms of 100
    EXPECT_GE(runnableLooks, 15u);
    SetMode(2);
    EXPECT_EQ(PLAT_JoinThread(thread, 5000), 1u);
}
