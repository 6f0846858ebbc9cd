// The executable: hands the process over to the program entry.
#include "platform/plat_file.h"
#include "platform/plat_process.h"
#include "simulation/main.h"

namespace {

// The first code of the program's own that runs: the system's loader calls
// it once the shared libraries are loaded, before their initialisers and the
// program's. A stop signal from here on waits for the signal thread, which
// ends the run as F10 does, and a closed standard descriptor is held on
// /dev/null before any file can take its number.
void TakeStandardStateFirst(int, char**, char**)
{
    PLAT_BlockStopSignals();
    PLAT_HoldStandardDescriptors();
}

__attribute__((section(".preinit_array"), used)) void (*const g_first)(int, char**, char**) = TakeStandardStateFirst;

}

int main(int argc, char** argv)
{
    return MAIN_Run(argc, argv);
}
