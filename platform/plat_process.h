// PLAT process: start-up of the layer, the choice of backend, the program's
// path and the stop signals.
#pragma once
#include <cstddef>
#include <cstdint>

// Records the path the program was started by, reads ORBIT_HEADLESS,
// DISPLAY, ORBIT_VIRTUAL_TIME and ORBIT_TEST_COMMANDS, and chooses the backend.
// ORBIT_TEST_COMMANDS is a comma-separated list of tick:command pairs; each
// command id is posted as WM_COMMAND to the main window once the tick count
// reaches its tick.
void PLAT_Init(const char* argv0);
uint32_t PLAT_IsHeadless();
// The full path of the executable: the path it was started by when that
// names a folder (a symbolic link in its last part is not followed, so a link
// inside a scenario folder runs that scenario), /proc/self/exe otherwise.
// Cut to fit the buffer; returns the length written.
uint32_t PLAT_GetProgramPath(char* buffer, uint32_t bufferSize);
// Blocks SIGINT, SIGTERM, SIGHUP and SIGQUIT in the calling thread, and so in
// every thread it starts: a stop that comes before PLAT_InstallStopSignals
// waits, and the signal thread takes it when it starts. Called as the first
// thing the program does.
void PLAT_BlockStopSignals();
// SIGPIPE and SIGXFSZ are ignored (a write to a closed pipe or past the file
// size limit returns an error). SIGINT, SIGTERM, SIGHUP and SIGQUIT then act
// as F10: a WM_SYSKEYDOWN of VK_F10 is posted to the calling thread's queue,
// and from the first of them on that thread, and every thread that asked for
// it with PLAT_InterruptAtStop, is interrupted by a signal every 50 ms, so
// that a call waiting on a pipe, a named pipe or a terminal fails with EINTR
// instead of holding the program. A thread of the layer waits for the
// signals. Call from the GUI thread before any other thread is started.
void PLAT_InstallStopSignals();
// The program is done: the signal thread ends (it is waited for) before the
// queue it posts to goes with the process, and the stop request is cleared.
// It is told by a flag and woken by a signal that needs no room in the
// system's queue of signals; no signal from outside can end it.
// Stop signals that come later stay blocked and unanswered. The signals may
// be installed again.
void PLAT_EndStopSignals();
// 1 from the first stop signal on: a call that failed with EINTR was cut
// short to end the program and is not to be repeated.
uint32_t PLAT_StopRequested();
// How long after a stop a write through which no byte goes is given before
// it is given up (the 3-D window's waits for its drawing thread have bounds
// of their own).
constexpr uint32_t PLAT_STOP_GRACE_MS = 1000;
// When the stop was requested, on PLAT_PerfCounterMicroseconds's clock; 0
// before a stop.
int64_t PLAT_StopRequestedAt();
// 1 when the stop was requested at least this many milliseconds ago, on the
// real clock also in virtual time: a wait for another thread ends then.
uint32_t PLAT_StopRequestedFor(uint32_t ms);
// 1: the calling thread is interrupted with the GUI thread after a stop (it
// handles EINTR as the GUI thread does); 0: no longer. A thread that asked
// for it says 0 before it ends: PLAT_InterruptAtStopScope does, however the
// scope is left.
void PLAT_InterruptAtStop(uint32_t on);

// Signs the calling thread up for the stop's interrupts for the lifetime of
// a scope.
class PLAT_InterruptAtStopScope {
public:
    PLAT_InterruptAtStopScope() { PLAT_InterruptAtStop(1); }
    ~PLAT_InterruptAtStopScope() { PLAT_InterruptAtStop(0); }
    PLAT_InterruptAtStopScope(const PLAT_InterruptAtStopScope&) = delete;
    PLAT_InterruptAtStopScope& operator=(const PLAT_InterruptAtStopScope&) = delete;
};
