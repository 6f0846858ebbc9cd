// "Multipass.cfg": read, then the first passes of its series.
#include "simulation/multipass.h"
#include "tests/fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FUZZ_BeginInput();
    FUZZ_WriteFile("Multipass.cfg", data, size);
    MULTIPASS_Init();
    if (MULTIPASS_Load()) {
        MULTIPASS_ApplyTimes();
        for (int pass = 0; pass < 8 && MULTIPASS_NextPass(); ++pass) {
        }
    }
    MULTIPASS_Done();
    FUZZ_EndInput();
    return 0;
}
