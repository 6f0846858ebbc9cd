// Mass-model definition files: read as a satellite's "mass_model" line reads
// them, computed, printed and checked, then freed.
#include "foundation/iotxt.h"
#include "simulation/massmodel.h"
#include "tests/fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FUZZ_BeginInput();
    FUZZ_WriteFile("fuzz.mass", data, size);
    MASSMODEL_Init();
    char line[] = "\"fuzz\", \"fuzz.mass\"";
    IOTXT_BeginString(line);
    MASSMODEL* model = MASSMODEL_Load();
    IOTXT_EndString();
    if (model) {
        MASSMODEL_ComputeAndPrint(model);
        MASSMODEL_CheckUsable(model, "fuzz");
        MASSMODEL_Free(model);
    }
    MASSMODEL_Done();
    FUZZ_EndInput();
    return 0;
}
