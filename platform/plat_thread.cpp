// Threads over std::thread with a polled end and a bounded join.
#include "platform/plat_thread.h"
#include "platform/plat_process.h"
#include <chrono>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <memory>
#include <mutex>
#include <new>
#include <thread>
#include <vector>
#include <pthread.h>
#include <sys/resource.h>
#include <unistd.h>

struct PLAT_THREAD {
    std::thread thread;
    // Shared with the running function, which may outlive a detached record.
    std::shared_ptr<std::atomic<uint32_t>> ended;
    // The system's id of the thread, 0 until it has started.
    std::shared_ptr<std::atomic<pid_t>> tid;
    // 1 once the thread may no longer open or write an output file; shared
    // the same way.
    std::shared_ptr<std::atomic<uint32_t>> fileOutputDenied;
};

namespace {

// The threads that gave way to the others, by their system id.
struct YieldingThreads {
    std::mutex mutex;
    std::vector<pid_t> ids;
};

YieldingThreads& Yielding()
{
    // Never freed: the signal thread may read it while the process ends.
    static YieldingThreads* registry = new YieldingThreads;
    return *registry;
}

void ForgetYielding(pid_t id)
{
    YieldingThreads& registry = Yielding();
    std::lock_guard<std::mutex> lock(registry.mutex);
    for (auto it = registry.ids.begin(); it != registry.ids.end(); ++it)
        if (*it == id) {
            registry.ids.erase(it);
            return;
        }
}

// A thread that gave way leaves the registry when it ends, however it ends.
struct YieldingMark {
    pid_t id = 0;
    ~YieldingMark()
    {
        if (id)
            ForgetYielding(id);
    }
};

thread_local YieldingMark t_yielding;

// The scheduling state of a thread of this process: 'R' running or ready to
// run, 'S' or 'D' sleeping in a call; 0 when it cannot be read (it ended).
char SchedulingState(pid_t id)
{
    char path[64];
    snprintf(path, sizeof path, "/proc/self/task/%d/stat", static_cast<int>(id));
    FILE* f = fopen(path, "re");
    if (!f)
        return 0;
    char line[512];
    size_t n = fread(line, 1, sizeof line - 1, f);
    fclose(f);
    line[n] = 0;
    // The name in parentheses may hold anything: the state follows the last ')'.
    const char* close = strrchr(line, ')');
    return close && close[1] == ' ' ? close[2] : 0;
}

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
        t->tid = std::make_shared<std::atomic<pid_t>>(0);
        auto tid = t->tid;
        auto denied = t->fileOutputDenied;
        t->thread = std::thread([fn, parameter, ended, denied, tid] {
            tid->store(gettid());
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
    pid_t self = gettid();
    if (setpriority(PRIO_PROCESS, static_cast<id_t>(self), kBackgroundNice) != 0)
        return 0;
    if (t_yielding.id != self) {
        t_yielding.id = self;
        YieldingThreads& registry = Yielding();
        std::lock_guard<std::mutex> lock(registry.mutex);
        registry.ids.push_back(self);
    }
    return 1;
}

uint32_t PLAT_RestoreYieldingThreads()
{
    YieldingThreads& registry = Yielding();
    std::lock_guard<std::mutex> lock(registry.mutex);
    uint32_t all = 1;
    for (pid_t id : registry.ids)
        if (setpriority(PRIO_PROCESS, static_cast<id_t>(id), 0) != 0)
            all = 0;
    return all;
}

uint64_t PLAT_ThreadProcessorTime(const PLAT_THREAD* thread)
{
    clockid_t clock;
    timespec used{};
    if (!thread || thread->ended->load() || thread->tid->load() == 0 ||
        pthread_getcpuclockid(const_cast<std::thread&>(thread->thread).native_handle(), &clock) != 0 ||
        clock_gettime(clock, &used) != 0)
        return 0;
    return static_cast<uint64_t>(used.tv_sec) * 1000000000u + static_cast<uint64_t>(used.tv_nsec);
}

uint32_t PLAT_ThreadRunnable(const PLAT_THREAD* thread)
{
    pid_t id = thread && !thread->ended->load() ? thread->tid->load() : 0;
    return id != 0 && SchedulingState(id) == 'R';
}
