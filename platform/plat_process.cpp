// Layer start-up, program path and stop signals.
#include "platform/plat_process.h"
#include <atomic>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits.h>
#include <pthread.h>
#include <string>
#include <thread>
#include <unistd.h>
#include "platform/plat_backend.h"
#include "platform/plat_time.h"
#include "platform/plat_window.h"

namespace {

std::string g_programPath;
uint32_t g_headless = 1;
bool g_signalsInstalled = false;
std::atomic<uint32_t> g_stopRequested{0};
pthread_t g_guiThread;

// The signal that interrupts the GUI thread: its default action is to do
// nothing, so one sent from outside harms no thread.
constexpr int PLAT_INTERRUPT_SIGNAL = SIGURG;
constexpr long PLAT_INTERRUPT_PERIOD_NS = 50000000;   // 50 ms

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
void Interrupted(int) {}

// A stop signal posts F10 to the GUI thread's queue. The GUI thread may be
// waiting in a call that no message reaches (opening or writing a named pipe
// that nobody reads, a terminal that does not drain): from then on, until
// the program has stopped, the GUI thread is interrupted every 50 ms, so
// that such a call fails and the program goes on to its end. Calls on
// regular files and the waits of the layer's own locks and queues are not
// cut short by a signal.
void WatchSignals(sigset_t set, uint32_t queue)
{
    const timespec period{0, PLAT_INTERRUPT_PERIOD_NS};
    for (;;) {
        int sig = g_stopRequested ? sigtimedwait(&set, nullptr, &period) : sigwaitinfo(&set, nullptr);
        if (sig > 0) {
            g_stopRequested = 1;
            PLAT_PostThreadMessage(queue, WM_SYSKEYDOWN, VK_F10, PLAT_KeyLParam(0, 0));
        }
        if (g_stopRequested)
            pthread_kill(g_guiThread, PLAT_INTERRUPT_SIGNAL);
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

void PLAT_InstallStopSignals()
{
    if (g_signalsInstalled)
        return;
    g_signalsInstalled = true;
    // Standard output is only a copy of the log: a reader that goes away
    // (`| head`, a pager quit) makes its writes fail, which the log notes,
    // instead of ending the program in the middle of a run.
    signal(SIGPIPE, SIG_IGN);
    // A file size limit (ulimit -f) makes a write that would pass it fail,
    // as a full disk does, instead of killing the program without a word.
    signal(SIGXFSZ, SIG_IGN);
    struct sigaction interrupt {};
    interrupt.sa_handler = Interrupted;
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
    std::thread(WatchSignals, set, PLAT_GetCurrentThreadQueue()).detach();
}

uint32_t PLAT_StopRequested() { return g_stopRequested; }

void PLAT_ClearStopRequest() { g_stopRequested = 0; }
