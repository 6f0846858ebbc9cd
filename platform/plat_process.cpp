// Layer start-up, program path and stop signals.
#include "platform/plat_process.h"
#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits.h>
#include <mutex>
#include <pthread.h>
#include <string>
#include <thread>
#include <vector>
#include <unistd.h>
#include "platform/plat_backend.h"
#include "platform/plat_thread.h"
#include "platform/plat_time.h"
#include "platform/plat_window.h"

namespace {

std::string g_programPath;
uint32_t g_headless = 1;
std::atomic<uint32_t> g_stopRequested{0};
std::atomic<int64_t> g_stopRequestedAt{0};   // PLAT_PerfCounterMicroseconds of the first stop
pthread_t g_guiThread;
// The signal thread, from PLAT_InstallStopSignals to PLAT_EndStopSignals.
std::thread* g_watcher = nullptr;
pthread_t g_watcherHandle;

// The signal that interrupts the program's threads after a stop: its default
// action is to do nothing, so one sent from outside harms no thread.
constexpr int PLAT_INTERRUPT_SIGNAL = SIGURG;
constexpr long PLAT_INTERRUPT_PERIOD_NS = 50000000;   // 50 ms
// Set by PLAT_EndStopSignals before it wakes the signal thread with the
// interrupt signal: every wake-up of that thread reads it first, so that the
// end needs no value carried by a signal (a queued signal loses its value
// when the user's queue is full) and no signal from outside can end it.
std::atomic<uint32_t> g_watcherEnd{0};

// The other threads interrupted with the GUI thread after a stop. Never
// freed: a thread left running past its grace may leave it after the
// process's exit handlers ran.
struct InterruptedThreads {
    std::mutex mutex;
    std::vector<pthread_t> threads;
};

InterruptedThreads& Interrupted()
{
    static InterruptedThreads* registry = new InterruptedThreads;
    return *registry;
}

// The executable's directory made absolute, with the last part kept as given.
std::string PathFromArgv0(const char* argv0)
{
    if (!argv0 || !strchr(argv0, '/'))
        return "";
    std::string path(argv0);
    size_t slash = path.rfind('/');
    std::string dir = slash == 0 ? "/" : path.substr(0, slash);
    char resolved[PATH_MAX];
    if (!realpath(dir.c_str(), resolved))
        return path;
    std::string result(resolved);
    if (result != "/")
        result += '/';
    return result + path.substr(slash + 1);
}

std::string SelfExe()
{
    char buffer[PATH_MAX];
    ssize_t n = readlink("/proc/self/exe", buffer, sizeof buffer - 1);
    if (n <= 0)
        return "";
    buffer[n] = 0;
    return buffer;
}

void ScheduleTestCommands(const char* list)
{
    while (list && *list) {
        char* end;
        unsigned long tick = strtoul(list, &end, 10);
        if (*end != ':')
            return;
        unsigned long cmd = strtoul(end + 1, &end, 10);
        PLAT_ScheduleTestMessage(static_cast<uint32_t>(tick), WM_COMMAND, MAKEWPARAM(static_cast<uint16_t>(cmd), 0), 0);
        if (*end != ',')
            return;
        list = end + 1;
    }
}

// The handler does nothing: the signal is there to make a call that waits
// return with EINTR.
void InterruptHandler(int) {}

void InterruptThreads()
{
    pthread_kill(g_guiThread, PLAT_INTERRUPT_SIGNAL);
    InterruptedThreads& registry = Interrupted();
    std::lock_guard<std::mutex> lock(registry.mutex);
    for (pthread_t thread : registry.threads)
        pthread_kill(thread, PLAT_INTERRUPT_SIGNAL);
}

bool IsStop(int sig)
{
    return sig == SIGINT || sig == SIGTERM || sig == SIGHUP || sig == SIGQUIT;
}

// A stop signal posts F10 to the GUI thread's queue. The GUI thread, or
// another thread of the program, may be waiting in a call that no message
// reaches (opening or writing a named pipe that nobody reads, a terminal that
// does not drain): from then on, until the program has stopped, those threads
// are interrupted every 50 ms, so that such a call fails and the program goes
// on to its end. Calls on regular files and the waits of the layer's own
// locks and queues are not cut short by a signal. Ends when PLAT_EndStopSignals
// tells it to, before the queue it posts to goes.
void WatchSignals(sigset_t set, uint32_t queue)
{
    // The interrupt signal, blocked in this thread from its start, wakes it
    // for its end: it is waited for here, never handled.
    sigaddset(&set, PLAT_INTERRUPT_SIGNAL);
    const timespec period{0, PLAT_INTERRUPT_PERIOD_NS};
    for (;;) {
        siginfo_t info{};
        int sig = g_stopRequested ? sigtimedwait(&set, &info, &period) : sigwaitinfo(&set, &info);
        if (g_watcherEnd)
            return;
        if (IsStop(sig)) {
            // The time first: whoever sees the request sees its time.
            if (!g_stopRequested) {
                g_stopRequestedAt = PLAT_PerfCounterMicroseconds();
                g_stopRequested = 1;
                // A frame still drawn is waited for: it no longer gives way.
                PLAT_RestoreYieldingThreads();
            }
            PLAT_PostThreadMessage(queue, WM_SYSKEYDOWN, VK_F10, PLAT_KeyLParam(0, 0));
        }
        if (g_stopRequested)
            InterruptThreads();
    }
}

}

void PLAT_Init(const char* argv0)
{
    g_programPath = PathFromArgv0(argv0);
    PLAT_InitTime();
    // ORBIT_HEADLESS=1 or a missing DISPLAY ask for the headless backend, and
    // so does a display that cannot be opened.
    const char* headless = getenv("ORBIT_HEADLESS");
    const char* display = getenv("DISPLAY");
    const PLAT_BACKEND* backend = nullptr;
    if (display && *display && !(headless && strcmp(headless, "1") == 0))
        backend = PLAT_DesktopBackend();
    g_headless = backend ? 0 : 1;
    PLAT_SetBackend(backend ? backend : PLAT_HeadlessBackend());
    ScheduleTestCommands(getenv("ORBIT_TEST_COMMANDS"));
}

uint32_t PLAT_IsHeadless() { return g_headless; }

uint32_t PLAT_GetProgramPath(char* buffer, uint32_t bufferSize)
{
    if (!buffer || bufferSize == 0)
        return 0;
    std::string path = g_programPath.empty() ? SelfExe() : g_programPath;
    uint32_t n = static_cast<uint32_t>(path.size());
    if (n >= bufferSize)
        n = bufferSize - 1;
    memcpy(buffer, path.data(), n);
    buffer[n] = 0;
    return n;
}

void PLAT_BlockStopSignals()
{
    sigset_t set;
    sigemptyset(&set);
    for (int stop : {SIGINT, SIGTERM, SIGHUP, SIGQUIT})
        sigaddset(&set, stop);
    pthread_sigmask(SIG_BLOCK, &set, nullptr);
}

void PLAT_InstallStopSignals()
{
    if (g_watcher)
        return;
    // Standard output is only a copy of the log: a reader that goes away
    // (`| head`, a pager quit) makes its writes fail, which the log notes,
    // instead of ending the program in the middle of a run.
    signal(SIGPIPE, SIG_IGN);
    // A file size limit (ulimit -f) makes a write that would pass it fail,
    // as a full disk does, instead of killing the program without a word.
    signal(SIGXFSZ, SIG_IGN);
    struct sigaction interrupt {};
    interrupt.sa_handler = InterruptHandler;
    sigemptyset(&interrupt.sa_mask);
    interrupt.sa_flags = 0;   // no SA_RESTART: a waiting call returns EINTR
    sigaction(PLAT_INTERRUPT_SIGNAL, &interrupt, nullptr);
    g_guiThread = pthread_self();
    sigset_t set;
    sigemptyset(&set);
    // A closed terminal or a dropped remote session (SIGHUP) and Ctrl+\ (SIGQUIT)
    // end the program as Ctrl+C does, so that no result row is lost.
    for (int stop : {SIGINT, SIGTERM, SIGHUP, SIGQUIT})
        sigaddset(&set, stop);
    pthread_sigmask(SIG_BLOCK, &set, nullptr);
    // The signal thread starts with the interrupt signal blocked, so that the
    // one that tells it to end waits for it however early that comes.
    sigset_t withInterrupt;
    sigset_t before;
    sigemptyset(&withInterrupt);
    sigaddset(&withInterrupt, PLAT_INTERRUPT_SIGNAL);
    pthread_sigmask(SIG_BLOCK, &withInterrupt, &before);
    g_watcher = new std::thread(WatchSignals, set, PLAT_GetCurrentThreadQueue());
    g_watcherHandle = g_watcher->native_handle();
    pthread_sigmask(SIG_SETMASK, &before, nullptr);
}

void PLAT_EndStopSignals()
{
    if (!g_watcher)
        return;
    g_watcherEnd = 1;
    // A signal already pending for the thread merges with this one, which
    // takes no room in the system's queue: the thread wakes either way.
    pthread_kill(g_watcherHandle, PLAT_INTERRUPT_SIGNAL);
    g_watcher->join();
    delete g_watcher;
    g_watcher = nullptr;
    g_watcherEnd = 0;
    g_stopRequested = 0;
    g_stopRequestedAt = 0;
}

uint32_t PLAT_StopRequested() { return g_stopRequested; }

int64_t PLAT_StopRequestedAt() { return g_stopRequested ? g_stopRequestedAt.load() : 0; }

uint32_t PLAT_StopRequestedFor(uint32_t ms)
{
    return g_stopRequested && PLAT_PerfCounterMicroseconds() - g_stopRequestedAt >= int64_t{ms} * 1000;
}

void PLAT_InterruptAtStop(uint32_t on)
{
    InterruptedThreads& registry = Interrupted();
    std::lock_guard<std::mutex> lock(registry.mutex);
    pthread_t self = pthread_self();
    for (auto it = registry.threads.begin(); it != registry.threads.end(); ++it)
        if (pthread_equal(*it, self)) {
            registry.threads.erase(it);
            break;
        }
    if (on)
        registry.threads.push_back(self);
}
