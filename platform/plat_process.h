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
// SIGPIPE is ignored (a failed write to a closed pipe returns an error). SIGINT,
// SIGTERM, SIGHUP and SIGQUIT then act as F10: a WM_SYSKEYDOWN of VK_F10 is posted to
// the calling thread's queue. Call before any other thread is started.
void PLAT_InstallStopSignals();
