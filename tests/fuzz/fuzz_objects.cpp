// "Objects.cfg": every "satelit" block with its nested blocks, validated and
// started as a run starts them, then freed.
#include "foundation/time.h"
#include "simulation/orbit.h"
#include "simulation/sats.h"
#include "tests/fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FUZZ_BeginInput();
    FUZZ_WriteFile("Objects.cfg", data, size);
    SYSTEMTIME start{2006, 1, 0, 1, 0, 0, 0, 0};
    g_simClock.clock = g_simClock.runStart = TIME_SystemTimeToMs(&start);
    g_orbit = ORBIT_RUN_STATE{};
    SATS_InitModules();
    SATS_Init();
    SATS_Load();
    SATS_Cleanup();
    SATS_CleanupModules();
    FUZZ_EndInput();
    return 0;
}
