// "Ground.cfg": every "station" block, loaded as a run loads it (without
// satellites), updated once, then freed.
#include "simulation/ground.h"
#include "tests/fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FUZZ_BeginInput();
    FUZZ_WriteFile("Ground.cfg", data, size);
    GROUND_Init();
    if (GROUND_Load()) GROUND_Update();
    GROUND_Done();
    FUZZ_EndInput();
    return 0;
}
