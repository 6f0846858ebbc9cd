// Two-line element files: read, parsed and propagated by every model.
#include "models/sgp_tle.h"
#include "tests/fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FUZZ_BeginInput();
    FUZZ_WriteFile("fuzz.tle", data, size);
    SGP_TLE_TEXT text;
    if (SGP_ReadTleFile(&text, FUZZ_Path("fuzz.tle"))) {
        SGP_ELEMENTS elements;
        SGP_ParseTle(&text, &elements);
        double position[4], velocity[4];
        for (uint32_t variant = SGP_VARIANT_SGP0; variant <= SGP_VARIANT_SDP8; ++variant)
            SGP_Propagate(variant, elements.epoch_jd + 0.1, &elements, position, velocity);
    }
    FUZZ_EndInput();
    return 0;
}
