// Threads over std::thread with a polled end and a bounded join.
#include "platform/plat_thread.h"
#include "platform/plat_process.h"
#include <chrono>
#include <memory>
#include <new>
#include <thread>
#include <sys/resource.h>
#include <unistd.h>

struct PLAT_THREAD {
    std::thread thread;
    // Shared with the running function, which may outlive a detached record.
    std::shared_ptr<std::atomic<uint32_t>> ended;
};

PLAT_THREAD* PLAT_CreateThread(PLAT_THREAD_FUNC fn, void* parameter)
{
    PLAT_THREAD* t = new (std::nothrow) PLAT_THREAD;
    if (!t)
        return nullptr;
    t->ended = std::make_shared<std::atomic<uint32_t>>(0);
    try {
        auto ended = t->ended;
        t->thread = std::thread([fn, parameter, ended] {
            // A stop reaches the thread as it reaches the GUI thread: a call
            // that waits on a pipe or a terminal is cut short.
            PLAT_InterruptAtStop(1);
            fn(parameter);
            PLAT_InterruptAtStop(0);
            ended->store(1);
        });
    } catch (...) {
        delete t;
        return nullptr;
    }
    return t;
}

uint32_t PLAT_IsThreadRunning(const PLAT_THREAD* thread)
{
    return thread && !thread->ended->load();
}

uint32_t PLAT_JoinThread(PLAT_THREAD* thread, uint32_t graceMs)
{
    if (!thread)
        return 1;
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(graceMs);
    while (!thread->ended->load() && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    uint32_t joined = thread->ended->load();
    if (joined)
        thread->thread.join();
    else
        thread->thread.detach();
    delete thread;
    return joined;
}

uint32_t PLAT_YieldToOtherThreads()
{
    // On Linux the nice value of PRIO_PROCESS with a thread id is the thread's own.
    // The lowest one: at 10 a thread that shares a processor with the
    // simulation still took a tenth of it, at 19 about one and a half hundredths.
    constexpr int kBackgroundNice = 19;
    return setpriority(PRIO_PROCESS, static_cast<id_t>(gettid()), kBackgroundNice) == 0;
}
