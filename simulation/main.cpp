// Provisional program entry. Replaced by the full run loop.
#include "simulation/main.h"
#include "foundation/log.h"

SIM_CLOCK g_simClock{};

int MAIN_Run(int, char**)
{
    LOG_Init();
    LOG_Printf("MAIN: start.\n");
    LOG_Done();
    return 0;
}
