// Surface-model definition files: read as a satellite's "surface_model" line
// reads them, projected onto the raster from a few directions (the recordings
// taken and returned as a satellite does), then freed with the raster.
#include "foundation/iotxt.h"
#include "simulation/raster.h"
#include "simulation/surfmodel.h"
#include "tests/fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FUZZ_BeginInput();
    FUZZ_WriteFile("fuzz.surf", data, size);
    SURFMODEL_Init();
    char line[] = "= \"fuzz\", \"fuzz.surf\"";
    IOTXT_BeginString(line);
    SURFMODEL* model = nullptr;
    SURFMODEL_ParseDefinition(&model);
    IOTXT_EndString();
    if (model && SURFMODEL_PrepareRaster(model)) {
        MAT33 rotation;
        MAT_AxisRotation(&rotation, 2, 0.7);
        const VEC3 axes[3][3] = {{{0, 0, 1}, {1, 0, 0}, {0, 1, 0}},
                                 {{0.6, 0.8, 0}, {-0.8, 0.6, 0}, {0, 0, 1}},
                                 {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}}};
        RASTER_TRIANGLE_LIST* held = nullptr;
        for (const auto& k : axes) {
            SURFMODEL_RasterizeProjection(model, &rotation, &k[0], &k[1], &k[2]);
            double area, x, y;
            RASTER_GetArea(&area);
            RASTER_GetCentroid(&x, &y);
            RASTER_FreeRecording(held);
            held = RASTER_TakeRecording();
        }
        RASTER_FreeRecording(held);
    }
    SURFMODEL_Free(model);
    SURFMODEL_Cleanup();
    FUZZ_EndInput();
    return 0;
}
