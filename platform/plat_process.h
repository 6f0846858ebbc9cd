// PLAT process: start-up of the layer, the choice of backend, the program's
// path and the stop signals.
#pragma once
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
// SIGPIPE and SIGXFSZ are ignored (a write to a closed pipe or past the file
// size limit returns an error). SIGINT, SIGTERM, SIGHUP and SIGQUIT then act
// as F10: a WM_SYSKEYDOWN of VK_F10 is posted to the calling thread's queue,
// and from the first of them on that thread is interrupted by a signal every
// 50 ms, so that a call waiting on a pipe, a named pipe or a terminal fails
// with EINTR instead of holding the program. Call from the GUI thread before
// any other thread is started.
void PLAT_InstallStopSignals();
// 1 from the first stop signal on: a call that failed with EINTR was cut
// short to end the program and is not to be repeated.
uint32_t PLAT_StopRequested();
// The stop has been served (the program is done): the calling thread is no
// longer interrupted.
void PLAT_ClearStopRequest();
