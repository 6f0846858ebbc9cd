// Polygon library timings.
//
// Triangulation: a star-shaped outline with radii uniform in R/2 .. R
// (R = 400000) and one hole of a tenth of the vertices, at 10^3, 10^4 and
// 10^5 vertices in all; "per_vertex" is the time per vertex, which stays
// nearly flat for an O(n log* n) method.
//
// Boolean operations: ours side by side with Clipper on the same operands of
// 10^4 vertices each.
//
// Two families, each operand an outer contour with a hole of a tenth as many
// vertices, centres 80000 apart, vertices at angles 2 pi (i + u_i) / n with u_i
// uniform in 0.1 .. 0.9 and R = 400000:
// - "outline": radius R (0.8 + 0.12 sin(5t + p1) + 0.06 sin(11t + p2) + 0.02 sin(23t + p3)),
//   jittered by half the vertex spacing: a few crossings;
// - "spiky": radius uniform in R/2 .. R: some 10^5 crossings and tens of
//   thousands of result contours.
// "HoleCheck" times the check, made for both operands of every operation,
// that the hole of one operand lies inside its outer contour.
#include <benchmark/benchmark.h>
#include <polyclipping/clipper.hpp>
#include <algorithm>
#include <cmath>
#include <random>
#include <vector>
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

// ---------------------------------------------------------------------------
// Boolean operations

constexpr int kVertices = 10000;

using Ring = std::vector<POLYGON_IPOINT>;

enum Family { OUTLINE, SPIKY };

Ring MakeRing(std::mt19937& rng, Family family, double cx, double cy, int n, double scale, bool hole)
{
    std::uniform_real_distribution<double> u(0.1, 0.9), phase(0, 2 * M_PI), spike(0.5, 1.0);
    double spacing = 2 * M_PI * kRadius * scale / n;
    std::uniform_real_distribution<double> jitter(-spacing / 2, spacing / 2);
    double p1 = phase(rng), p2 = phase(rng), p3 = phase(rng);
    Ring ring;
    for (int i = 0; i < n; i++) {
        double t = 2 * M_PI * (i + u(rng)) / n;
        double r = family == SPIKY
                       ? kRadius * scale * spike(rng)
                       : kRadius * scale * (0.8 + 0.12 * std::sin(5 * t + p1) + 0.06 * std::sin(11 * t + p2) +
                                       0.02 * std::sin(23 * t + p3)) +
                             jitter(rng);
        ring.push_back({int32_t(std::lround(cx + r * std::cos(t))), int32_t(std::lround(cy + r * std::sin(t)))});
    }
    if (hole)
        std::reverse(ring.begin(), ring.end());
    return ring;
}

struct Operand {
    std::vector<Ring> rings;
    POLYGON_AREA* area = nullptr;
    ClipperLib::Paths paths;
};

Operand MakeOperand(std::mt19937& rng, Family family, double cx)
{
    Operand op;
    op.rings.push_back(MakeRing(rng, family, cx, 0, kVertices, 1.0, false));
    op.rings.push_back(MakeRing(rng, family, cx, 0, kVertices / 10, 0.35, true));
    for (const Ring& r : op.rings) {
        POLYGON_CONTOUR* c = POLYGON_NewContour(r[0].x, r[0].y);
        for (size_t i = 1; i < r.size(); i++)
            POLYGON_AppendPoint(c, r[i].x, r[i].y);
        POLYGON_CheckContour(c);
        POLYGON_InsertContour(&op.area, c);
        ClipperLib::Path path;
        for (const auto& p : r)
            path.push_back(ClipperLib::IntPoint(p.x, p.y));
        op.paths.push_back(path);
    }
    return op;
}

struct Pair {
    Operand a, b;
};

const Pair& Operands(Family family)
{
    static Pair* pairs[2] = {nullptr, nullptr};
    if (!pairs[family]) {
        StartLibrary();
        std::mt19937 rng(family == OUTLINE ? 11 : 23);
        pairs[family] = new Pair{MakeOperand(rng, family, -40000), MakeOperand(rng, family, 40000)};
    }
    return *pairs[family];
}

void CountResult(const POLYGON_AREA* ring, uint32_t* contours, uint32_t* vertices)
{
    *contours = *vertices = 0;
    const POLYGON_AREA* a = ring;
    if (a)
        do {
            for (const POLYGON_CONTOUR* c = a->cntr; c; c = c->next) {
                (*contours)++;
                *vertices += c->count;
            }
            a = a->next;
        } while (a != ring);
}

void Ours(benchmark::State& state, Family family, int op)
{
    const Pair& pair = Operands(family);
    uint32_t contours = 0, vertices = 0;
    for (auto _ : state) {
        POLYGON_AREA* result = nullptr;
        if (POLYGON_BooleanOp(pair.a.area, pair.b.area, &result, op) != POLYGON_OK)
            state.SkipWithError("boolean operation failed");
        CountResult(result, &contours, &vertices);
        POLYGON_ApiFreeArea(&result);
    }
    state.counters["contours"] = contours;
    state.counters["vertices"] = vertices;
}

void Clipper(benchmark::State& state, Family family, int op)
{
    static const ClipperLib::ClipType types[] = {ClipperLib::ctUnion, ClipperLib::ctIntersection,
                                                 ClipperLib::ctDifference, ClipperLib::ctXor};
    const Pair& pair = Operands(family);
    size_t contours = 0, vertices = 0;
    for (auto _ : state) {
        ClipperLib::Clipper clipper;
        clipper.AddPaths(pair.a.paths, ClipperLib::ptSubject, true);
        clipper.AddPaths(pair.b.paths, ClipperLib::ptClip, true);
        ClipperLib::Paths out;
        clipper.Execute(types[op], out, ClipperLib::pftEvenOdd, ClipperLib::pftEvenOdd);
        contours = out.size();
        vertices = 0;
        for (const auto& path : out)
            vertices += path.size();
    }
    state.counters["contours"] = double(contours);
    state.counters["vertices"] = double(vertices);
}

// The check that every hole of an operand lies inside its outer contour, which
// each boolean operation makes for both operands.
void HoleCheck(benchmark::State& state, Family family)
{
    const Pair& pair = Operands(family);
    for (auto _ : state) {
        int code = POLYGON_Catch([&] { POLYGON_CheckHoles(pair.a.area); });
        if (code != POLYGON_OK)
            state.SkipWithError("hole check failed");
    }
}
BENCHMARK_CAPTURE(HoleCheck, outline, OUTLINE)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime();
BENCHMARK_CAPTURE(HoleCheck, spiky, SPIKY)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime();

#define POLYGON_BOOLEAN_BENCH(family, op, name)                                                      \
    BENCHMARK_CAPTURE(Ours, name, family, op)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime(); \
    BENCHMARK_CAPTURE(Clipper, name, family, op)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime();

POLYGON_BOOLEAN_BENCH(OUTLINE, POLYGON_OP_UNION, outline_union)
POLYGON_BOOLEAN_BENCH(OUTLINE, POLYGON_OP_INTERSECTION, outline_intersection)
POLYGON_BOOLEAN_BENCH(OUTLINE, POLYGON_OP_A_MINUS_B, outline_difference)
POLYGON_BOOLEAN_BENCH(OUTLINE, POLYGON_OP_XOR, outline_xor)
POLYGON_BOOLEAN_BENCH(SPIKY, POLYGON_OP_UNION, spiky_union)
POLYGON_BOOLEAN_BENCH(SPIKY, POLYGON_OP_INTERSECTION, spiky_intersection)
POLYGON_BOOLEAN_BENCH(SPIKY, POLYGON_OP_A_MINUS_B, spiky_difference)
POLYGON_BOOLEAN_BENCH(SPIKY, POLYGON_OP_XOR, spiky_xor)

}
