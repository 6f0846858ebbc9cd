// The key-value store that reads "Orbit.cfg", with reads of every value kind.
#include "foundation/cfg.h"
#include "tests/fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FUZZ_BeginInput();
    FUZZ_WriteFile("Orbit.cfg", data, size);
    CFG_OBJECT* cfg = CFG_Load("Orbit.cfg");
    if (cfg) {
        int64_t wide;
        uint32_t narrow, flag;
        TIME_MS time;
        char* text = nullptr;
        CFG_GetInt64(cfg, "OrbitWindow_X", &wide, -1000, 1000, 0);
        CFG_GetInt(cfg, "OrbitWindow_DX", &narrow, 96, 4096, 800);
        CFG_GetTime(cfg, "StartTime", &time, 0);
        CFG_GetBool(cfg, "OrbitGraphics", &flag, 1);
        CFG_GetString(cfg, "MovieCodec", &text, nullptr);
        CFG_Free(cfg);
    }
    FUZZ_EndInput();
    return 0;
}
