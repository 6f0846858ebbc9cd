// "Space.cfg": the constellations and stars of the sky, with each star's
// drawing values prepared as a run start prepares them, then freed.
#include "tests/fuzz/fuzz_support.h"
#include "view/space.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FUZZ_BeginInput();
    FUZZ_WriteFile("Space.cfg", data, size);
    SPACE_LoadConfig();
    SPACE_PrepareStars();
    SPACE_Free();
    FUZZ_EndInput();
    return 0;
}
