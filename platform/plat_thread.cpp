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
    // 1 once the thread may no longer open or write an output file; shared
    // the same way.
    std::shared_ptr<std::atomic<uint32_t>> fileOutputDenied;
};

namespace {

// The calling thread's denial, for a thread made by PLAT_CreateThread; its
// function holds the flag for as long as it runs.
thread_local const std::atomic<uint32_t>* t_fileOutputDenied = nullptr;

// Marks the thread's function ended however it returns.
struct EndMark {
    std::atomic<uint32_t>* ended;
    ~EndMark() { ended->store(1); }
};

}

PLAT_THREAD* PLAT_CreateThread(PLAT_THREAD_FUNC fn, void* parameter)
{
    PLAT_THREAD* t = new (std::nothrow) PLAT_THREAD;
    if (!t)
        return nullptr;
    try {
        t->ended = std::make_shared<std::atomic<uint32_t>>(0);
        t->fileOutputDenied = std::make_shared<std::atomic<uint32_t>>(0);
        auto ended = t->ended;
        auto denied = t->fileOutputDenied;
        t->thread = std::thread([fn, parameter, ended, denied] {
            t_fileOutputDenied = denied.get();
            EndMark mark{ended.get()};
            // A stop reaches the thread as it reaches the GUI thread: a call
            // that waits on a pipe or a terminal is cut short.
            PLAT_InterruptAtStopScope interrupted;
            fn(parameter);
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

void PLAT_DenyFileOutput(PLAT_THREAD* thread)
{
    if (thread)
        thread->fileOutputDenied->store(1);
}

uint32_t PLAT_FileOutputDenied()
{
    return t_fileOutputDenied && t_fileOutputDenied->load();
}

uint32_t PLAT_YieldToOtherThreads()
{
    // On Linux the nice value of PRIO_PROCESS with a thread id is the thread's own.
    // The lowest one: at 10 a thread that shares a processor with the
    // simulation still took a tenth of it, at 19 about one and a half hundredths.
    constexpr int kBackgroundNice = 19;
    return setpriority(PRIO_PROCESS, static_cast<id_t>(gettid()), kBackgroundNice) == 0;
}
