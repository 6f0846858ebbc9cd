// On-board module images: loaded, then run from reset within a clock budget
// (a fifth of a millisecond's worth less than a reset run's, so that images
// that never return keep the fuzzer fast).
#include "onboard/sim51.h"
#include "tests/fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FUZZ_BeginInput();
    FUZZ_WriteFile("module.bin", data, size);
    SIM51_CPU* cpu = SIM51_CreateCpu();
    if (cpu) {
        if (SIM51_LoadImage(cpu, FUZZ_Path("module.bin"))) SIM51_Run(cpu, 0x0000, 200000);
        SIM51_DestroyCpu(cpu);
    }
    FUZZ_EndInput();
    return 0;
}
