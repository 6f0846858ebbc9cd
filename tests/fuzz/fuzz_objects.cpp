// "Objects.cfg": every "satelit" block with its nested blocks, validated and
// started as a run starts them, then freed.
#include "foundation/time.h"
#include "simulation/orbit.h"
#include "simulation/sats.h"
#include "tests/fuzz/fuzz_support.h"

// A small mass and surface model pair that a satellite of the input may name.
void WriteModelPair()
{
    static const char mass[] = "object \"body\", BLOCK\n A = -5 cm, -5 cm, -5 cm\n B = 5 cm, -5 cm, -5 cm\n"
                               " C = -5 cm, 5 cm, -5 cm\n D = -5 cm, -5 cm, 5 cm\n MASS = 1 kg\nend\n";
    static const char surface[] = "point \"a\", 0 m, 0 m, 0 m\npoint \"b\", 1 m, 0 m, 0 m\npoint \"c\", 1 m, 1 m, 0 m\n"
                                  "quad \"a\", \"b\", \"c\", \"a\"\n";
    FUZZ_WriteFile("cube.mass", reinterpret_cast<const uint8_t*>(mass), sizeof mass - 1);
    FUZZ_WriteFile("cube.surf", reinterpret_cast<const uint8_t*>(surface), sizeof surface - 1);
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FUZZ_BeginInput();
    WriteModelPair();
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
