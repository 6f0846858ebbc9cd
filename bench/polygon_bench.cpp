// Polygon library timings.
//
// Triangulation: a star-shaped outline with radii uniform in R/2 .. R
// (R = 400000) and one hole of a tenth of the vertices, at 10^3, 10^4 and
// 10^5 vertices in all; "per_vertex" is the time per vertex, which stays
// nearly flat for an O(n log* n) method.
#include <benchmark/benchmark.h>
#include <cmath>
#include <random>
#include "foundation/log.h"
#include "foundation/memory.h"
#include "foundation/pool.h"
#include "polygon/polygonlibrary.h"

namespace {

constexpr double kRadius = 400000.0;

void StartLibrary()
{
    static bool started = false;
    if (started)
        return;
    LOG_Init();
    MEMORY_Init();
    POOL_Init();
    started = true;
}

// n vertices at angles 2 pi (i + u) / n, u uniform in 0.1 .. 0.9, radius
// r times a factor uniform in lo .. 1, around (cx, cy); clockwise when asked.
POLYGON_CONTOUR* StarContour(std::mt19937& rng, double cx, double cy, double r, uint32_t n, double lo, bool clockwise)
{
    std::uniform_real_distribution<double> u(0.1, 0.9), factor(lo, 1.0);
    POLYGON_CONTOUR* c = nullptr;
    for (uint32_t k = 0; k < n; k++) {
        uint32_t i = clockwise ? n - 1 - k : k;
        double angle = 2 * M_PI * (i + u(rng)) / n;
        double radius = r * factor(rng);
        int32_t x = int32_t(std::lround(cx + radius * std::cos(angle)));
        int32_t y = int32_t(std::lround(cy + radius * std::sin(angle)));
        if (!c)
            c = POLYGON_NewContour(x, y);
        else
            POLYGON_AppendPoint(c, x, y);
    }
    POLYGON_CheckContour(c);
    return c;
}

// A spiky outline of 0.9 n vertices around a hole of 0.1 n vertices.
POLYGON_AREA* SpikyAreaWithHole(uint32_t n, uint32_t seed)
{
    std::mt19937 rng(seed);
    POLYGON_AREA* area = nullptr;
    POLYGON_InsertContour(&area, StarContour(rng, 0, 0, kRadius, n - n / 10, 0.5, false));
    POLYGON_InsertContour(&area, StarContour(rng, 0, 0, kRadius / 5, n / 10, 0.5, true));
    return area;
}

void Triangulate(benchmark::State& state)
{
    StartLibrary();
    uint32_t n = static_cast<uint32_t>(state.range(0));
    POLYGON_AREA* area = SpikyAreaWithHole(n, 2024);
    for (auto _ : state) {
        if (POLYGON_ApiTriangulate(area) != 0) {
            state.SkipWithError("triangulation failed");
            break;
        }
        benchmark::DoNotOptimize(area->triangles);
    }
    state.counters["triangles"] = POLYGON_TriangleCount(area);
    state.counters["per_vertex"] =
        benchmark::Counter(n, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
    POLYGON_ApiFreeArea(&area);
}
BENCHMARK(Triangulate)->Arg(1000)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);

}
