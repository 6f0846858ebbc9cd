// Helpers shared by the polygon tests: building grid contours and areas from
// point lists, and a fresh log, heap and pools per test.
#pragma once
#include <gtest/gtest.h>
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <filesystem>
#include <random>
#include <string>
#include <vector>
#include "foundation/log.h"
#include "foundation/memory.h"
#include "foundation/pool.h"
#include "polygon/polygonlibrary.h"
#include "tests/support/test_support.h"

namespace polytest {

using Ring = std::vector<POLYGON_IPOINT>;

inline POLYGON_CONTOUR* MakeContour(const Ring& points)
{
    POLYGON_CONTOUR* c = POLYGON_NewContour(points[0].x, points[0].y);
    for (size_t i = 1; i < points.size(); i++)
        POLYGON_AppendPoint(c, points[i].x, points[i].y);
    return c;
}

inline std::vector<POLYGON_IPOINT> Points(const POLYGON_CONTOUR* c)
{
    std::vector<POLYGON_IPOINT> out;
    const POLYGON_VNODE* v = c->head;
    for (uint32_t i = 0; i < c->count; i++, v = v->next)
        out.push_back(v->point.g);
    return out;
}

// Points as text, "x,y " each, for comparisons that show the whole ring.
inline std::string Text(const Ring& points)
{
    std::string out;
    for (const auto& p : points)
        out += std::to_string(p.x) + "," + std::to_string(p.y) + " ";
    return out;
}

// An area ring from contours given outer first, each checked and inserted by
// the area-insertion rule.
inline POLYGON_AREA* MakeArea(const std::vector<Ring>& contours)
{
    POLYGON_AREA* area = nullptr;
    for (const Ring& r : contours) {
        POLYGON_CONTOUR* c = MakeContour(r);
        EXPECT_TRUE(POLYGON_CheckContour(c));
        POLYGON_InsertContour(&area, c);
    }
    return area;
}

// Calls f for every area of a ring.
template <typename F>
void ForEachArea(const POLYGON_AREA* ring, F f)
{
    const POLYGON_AREA* a = ring;
    if (a)
        do {
            f(a);
            a = a->next;
        } while (a != ring);
}

inline uint32_t AreaCount(const POLYGON_AREA* area)
{
    uint32_t n = 0;
    ForEachArea(area, [&](const POLYGON_AREA*) { n++; });
    return n;
}

inline Ring Rect(int32_t x0, int32_t y0, int32_t x1, int32_t y1, bool hole = false)
{
    Ring r = {{x0, y0}, {x1, y0}, {x1, y1}, {x0, y1}};
    if (hole)
        std::reverse(r.begin(), r.end());
    return r;
}

// A star-shaped ring around (cx, cy): n vertices at angles 2 pi (i + u) / n,
// u in 0.1 .. 0.9, radius rMin .. rMax; clockwise for a hole.
inline Ring Star(std::mt19937& rng, double cx, double cy, int n, double rMin, double rMax, bool hole)
{
    std::uniform_real_distribution<double> u(0.1, 0.9), radius(rMin, rMax);
    Ring r;
    for (int i = 0; i < n; i++) {
        double angle = 2 * M_PI * (i + u(rng)) / n, rad = radius(rng);
        r.push_back(
            {int32_t(std::lround(cx + rad * std::cos(angle))), int32_t(std::lround(cy + rad * std::sin(angle)))});
    }
    if (hole)
        std::reverse(r.begin(), r.end());
    return r;
}

inline bool OnSegment(const POLYGON_IPOINT& p, const POLYGON_IPOINT& q, const POLYGON_IPOINT& x)
{
    return POLYGON_Cross(p, q, x) == 0 && x.x >= std::min(p.x, q.x) && x.x <= std::max(p.x, q.x) &&
           x.y >= std::min(p.y, q.y) && x.y <= std::max(p.y, q.y);
}

inline bool ProperCrossing(const POLYGON_IPOINT& p1, const POLYGON_IPOINT& p2, const POLYGON_IPOINT& q1,
                           const POLYGON_IPOINT& q2)
{
    auto sign = [](int64_t v) { return (v > 0) - (v < 0); };
    int a = sign(POLYGON_Cross(p1, p2, q1)), b = sign(POLYGON_Cross(p1, p2, q2));
    int c = sign(POLYGON_Cross(q1, q2, p1)), d = sign(POLYGON_Cross(q1, q2, p2));
    return a * b < 0 && c * d < 0;
}

class PolygonTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        oldDir_ = std::filesystem::current_path();
        dir_ = testsupport::MakeTempDir("polygon");
        std::filesystem::current_path(dir_);
        LOG_Init();
        MEMORY_Init();
        POOL_Init();
    }
    void TearDown() override
    {
        POLYGON_ClearTestSeed();
        POOL_Done();
        std::filesystem::current_path(oldDir_);
    }
    std::string Path(const char* name) const { return dir_ + "/" + name; }

    std::filesystem::path oldDir_;
    std::string dir_;
};

}
