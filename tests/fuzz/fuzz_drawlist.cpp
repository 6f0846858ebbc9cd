// A draw list of a USER satellite model, read without a 3-D window (texture
// quads keep no texture), then freed.
#include "tests/fuzz/fuzz_support.h"
#include "view/drawlist.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FUZZ_BeginInput();
    FUZZ_WriteFile("shape.def", data, size);
    DRAWLIST_OBJECT* object = nullptr;
    if (DRAWLIST_Load("shape.def", &object)) DRAWLIST_Free(object);
    FUZZ_EndInput();
    return 0;
}
