// Cost of one projection of the example CubeSat's surface model onto the raster
// (turn, project, fill the six faces, read the area and the centroid) from
// random directions, as the solar and drag torques make it.
#include <benchmark/benchmark.h>
#include <filesystem>
#include <random>
#include <vector>
#include "foundation/iotxt.h"
#include "foundation/log.h"
#include "foundation/memory.h"
#include "simulation/raster.h"
#include "simulation/surfmodel.h"
#include "bench/example_surface.h"

namespace {

struct DIRECTION {
    VEC3 d, u, v;
};

std::vector<DIRECTION> RandomDirections(int count)
{
    std::mt19937 random(7);
    std::normal_distribution<double> normal;
    std::vector<DIRECTION> directions;
    for (int i = 0; i < count; ++i) {
        DIRECTION k;
        k.d = VEC3{normal(random), normal(random), normal(random)};
        VEC_Normalize(&k.d);
        VEC3 reference{0.0, 0.0, 1.0};
        VEC_Cross(&k.d, &reference, &k.u);
        VEC_Normalize(&k.u);
        VEC_Cross(&k.d, &k.u, &k.v);
        directions.push_back(k);
    }
    return directions;
}

void RasterizeProjection(benchmark::State& state)
{
    SURFMODEL_Init();
    SURFMODEL* model = LoadCubeSat();
    if (!model || !SURFMODEL_PrepareRaster(model)) {
        state.SkipWithError("the example's surface model did not load");
        return;
    }
    std::vector<DIRECTION> directions = RandomDirections(1024);
    MAT33 rotation;
    MAT_Identity(&rotation);
    size_t i = 0;
    for (auto _ : state) {
        const DIRECTION& k = directions[i++ & 1023];
        SURFMODEL_RasterizeProjection(model, &rotation, &k.d, &k.u, &k.v);
        double area, x, y;
        RASTER_GetArea(&area);
        RASTER_GetCentroid(&x, &y);
        RASTER_FreeRecording(RASTER_TakeRecording());
        benchmark::DoNotOptimize(area + x + y);
    }
    SURFMODEL_Free(model);
    SURFMODEL_Cleanup();
}
BENCHMARK(RasterizeProjection)->Unit(benchmark::kMicrosecond);

}  // namespace
