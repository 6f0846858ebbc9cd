#include <gtest/gtest.h>
#include <cmath>
#include <random>
#include <set>
#include "tests/polygon/polygon_test_support.h"

using namespace polytest;

namespace {

class PolygonTriangulateTest : public PolygonTest {};

// Checks every area of a triangulated ring: the count n + 2(c - 1) - 2, each
// triangle counter-clockwise and non-degenerate with corners among the area's
// vertices, and the doubled triangle areas summing exactly to the area's.
void ExpectValidTriangulation(const POLYGON_AREA* ring)
{
    const POLYGON_AREA* a = ring;
    do {
        std::set<const POLYGON_VNODE*> vertices;
        uint32_t n = 0, contours = 0;
        int64_t area = 0;
        for (const POLYGON_CONTOUR* c = a->cntr; c; c = c->next, contours++) {
            const POLYGON_VNODE* v = c->head;
            for (uint32_t i = 0; i < c->count; i++, v = v->next)
                vertices.insert(v);
            n += c->count;
            int64_t s = POLYGON_DoubledArea(c);
            area += contours == 0 ? std::llabs(s) : -std::llabs(s);
        }
        ASSERT_EQ(a->triangleCount, n + 2 * (contours - 1) - 2);
        int64_t sum = 0;
        for (uint32_t i = 0; i < a->triangleCount; i++) {
            const POLYGON_TRIANGLE& t = a->triangles[i];
            for (const POLYGON_VNODE* v : t.v)
                ASSERT_TRUE(vertices.count(v)) << "triangle " << i;
            int64_t cross = POLYGON_Cross(t.v[0]->point.g, t.v[1]->point.g, t.v[2]->point.g);
            ASSERT_GT(cross, 0) << "triangle " << i;
            sum += cross;
        }
        EXPECT_EQ(sum, area);
        a = a->next;
    } while (a != ring);
}

// A star-shaped ring around (cx, cy): n vertices at angles 2 pi (i + u) / n,
// u in 0.1 .. 0.9, radius r (lo .. 1); clockwise when asked.
Ring StarRing(std::mt19937& rng, int64_t cx, int64_t cy, double r, uint32_t n, double lo, bool clockwise)
{
    std::uniform_real_distribution<double> u(0.1, 0.9), rad(lo, 1.0);
    Ring ring;
    for (uint32_t i = 0; i < n; i++) {
        double angle = 2 * M_PI * (i + u(rng)) / n;
        double radius = r * rad(rng);
        ring.push_back({int32_t(cx + std::lround(radius * std::cos(angle))),
                        int32_t(cy + std::lround(radius * std::sin(angle)))});
    }
    if (clockwise)
        std::reverse(ring.begin(), ring.end());
    return ring;
}

// A star outline of radius R with star-shaped holes in disjoint discs well
// inside it.
std::vector<Ring> StarWithHoles(std::mt19937& rng, uint32_t n, uint32_t holes, uint32_t holeVertices)
{
    const double R = 400000;
    std::vector<Ring> rings{StarRing(rng, 0, 0, R, n, 0.6, false)};
    const double holeRadius = 0.06 * R;
    std::uniform_real_distribution<double> place(-0.4 * R, 0.4 * R);
    std::vector<std::pair<double, double>> centres;
    for (int tries = 0; centres.size() < holes && tries < 10000; tries++) {
        double x = place(rng), y = place(rng);
        if (std::hypot(x, y) > 0.4 * R)
            continue;
        bool apart = true;
        for (auto& c : centres)
            apart = apart && std::hypot(c.first - x, c.second - y) > 2.2 * holeRadius;
        if (!apart)
            continue;
        centres.push_back({x, y});
        rings.push_back(StarRing(rng, std::lround(x), std::lround(y), holeRadius, holeVertices, 0.5, true));
    }
    return rings;
}

// A skyline on a coarse grid: a flat bottom, steps of random height along
// the top and rectangular or diamond holes below the lowest step, so that
// many vertices share their y and many edges are horizontal or vertical.
std::vector<Ring> Skyline(std::mt19937& rng, uint32_t columns, uint32_t holes)
{
    std::uniform_int_distribution<int> height(6, 12), shape(0, 1);
    std::vector<int> h(columns);
    for (int& v : h)
        v = height(rng) * 10;
    Ring outer{{0, 0}, {int32_t(columns * 20), 0}};
    for (int i = int(columns) - 1; i >= 0; i--) {
        outer.push_back({int32_t((i + 1) * 20), h[i]});
        outer.push_back({int32_t(i * 20), h[i]});
    }
    std::vector<Ring> rings{outer};
    std::vector<uint32_t> cells(columns);
    for (uint32_t i = 0; i < columns; i++)
        cells[i] = i;
    std::shuffle(cells.begin(), cells.end(), rng);
    for (uint32_t k = 0; k < holes && k < columns; k++) {
        int32_t x = cells[k] * 20;
        int32_t y = 10 + 20 * (k % 2);
        if (shape(rng))
            rings.push_back({{x + 5, y}, {x + 5, y + 10}, {x + 15, y + 10}, {x + 15, y}});
        else
            rings.push_back({{x + 10, y}, {x + 5, y + 5}, {x + 10, y + 10}, {x + 15, y + 5}});
    }
    return rings;
}

POLYGON_AREA* Triangulated(const std::vector<Ring>& rings)
{
    POLYGON_AREA* area = MakeArea(rings);
    EXPECT_EQ(POLYGON_ApiTriangulate(area), 0);
    return area;
}

TEST_F(PolygonTriangulateTest, SmallAreasGiveTheirTriangleCounts)
{
    POLYGON_AREA* a = Triangulated({{{0, 0}, {10, 0}, {0, 10}}});
    ASSERT_EQ(POLYGON_TriangleCount(a), 1u);
    double x[3], y[3];
    POLYGON_GetTriangle(a, 0, &x[0], &y[0], &x[1], &y[1], &x[2], &y[2]);
    std::set<std::pair<double, double>> corners{{x[0], y[0]}, {x[1], y[1]}, {x[2], y[2]}};
    EXPECT_EQ(corners, (std::set<std::pair<double, double>>{{0, 0}, {10, 0}, {0, 10}}));
    ExpectValidTriangulation(a);
    POLYGON_ApiFreeArea(&a);

    a = Triangulated({{{0, 0}, {10, 2}, {12, 9}, {1, 8}}});
    EXPECT_EQ(POLYGON_TriangleCount(a), 2u);
    ExpectValidTriangulation(a);
    POLYGON_ApiFreeArea(&a);

    a = Triangulated({{{0, 0}, {30, 0}, {30, 30}, {0, 30}}, {{10, 10}, {10, 20}, {20, 20}, {20, 10}}});
    EXPECT_EQ(POLYGON_TriangleCount(a), 8u);
    ExpectValidTriangulation(a);
    // A second call replaces the triangles.
    EXPECT_EQ(POLYGON_ApiTriangulate(a), 0);
    EXPECT_EQ(POLYGON_TriangleCount(a), 8u);
    POLYGON_ApiFreeArea(&a);

    // Two areas of one ring, one with an outer ring running clockwise in
    // its record: both are done, all triangles counter-clockwise.
    a = MakeArea({{{0, 0}, {10, 0}, {10, 10}, {0, 10}}, {{20, 0}, {30, 0}, {25, 10}, {20, 5}}});
    POLYGON_ReverseContour(a->next->cntr);
    ASSERT_EQ(POLYGON_ApiTriangulate(a), 0);
    EXPECT_EQ(POLYGON_TriangleCount(a), 4u);
    ExpectValidTriangulation(a);
    POLYGON_ApiFreeArea(&a);
}

TEST_F(PolygonTriangulateTest, RandomStarsWithHoles)
{
    for (uint64_t seed : {1u, 2u, 3u, 17u, 12345u}) {
        std::mt19937 rng(seed);
        POLYGON_SetTestSeed(seed * 7919);
        for (uint32_t n : {3u, 4u, 7u, 40u, 300u, 2000u}) {
            uint32_t holes = n >= 40 ? 1 + seed % 9 : 0;
            POLYGON_AREA* a = Triangulated(StarWithHoles(rng, n, holes, 3 + n / 40));
            ASSERT_NE(a, nullptr);
            SCOPED_TRACE(testing::Message() << "seed " << seed << " n " << n);
            ExpectValidTriangulation(a);
            POLYGON_ApiFreeArea(&a);
        }
    }
}

TEST_F(PolygonTriangulateTest, RandomSkylinesShareHeightsAndAxisEdges)
{
    for (uint64_t seed : {5u, 6u, 7u, 8u}) {
        std::mt19937 rng(seed);
        POLYGON_SetTestSeed(seed);
        for (uint32_t columns : {2u, 5u, 30u, 200u}) {
            POLYGON_AREA* a = Triangulated(Skyline(rng, columns, columns / 2));
            ASSERT_NE(a, nullptr);
            SCOPED_TRACE(testing::Message() << "seed " << seed << " columns " << columns);
            ExpectValidTriangulation(a);
            POLYGON_ApiFreeArea(&a);
        }
    }
}

TEST_F(PolygonTriangulateTest, TimeSeededOrdersGiveValidTriangulations)
{
    std::mt19937 rng(99);
    std::vector<Ring> rings = StarWithHoles(rng, 500, 6, 12);
    for (int run = 0; run < 5; run++) {
        POLYGON_AREA* a = Triangulated(rings);
        ExpectValidTriangulation(a);
        POLYGON_ApiFreeArea(&a);
    }
}

TEST_F(PolygonTriangulateTest, InvalidAreasAreRefused)
{
    EXPECT_EQ(POLYGON_ApiTriangulate(nullptr), 3);

    // Fewer than three vertices.
    POLYGON_AREA* a = POLYGON_NewArea();
    a->next = a->prev = a;
    a->cntr = MakeContour({{0, 0}, {5, 5}});
    EXPECT_EQ(POLYGON_ApiTriangulate(a), 3);
    EXPECT_EQ(POLYGON_TriangleCount(a), 0u);
    POLYGON_ApiFreeArea(&a);

    // A hole touching the outer ring at a vertex.
    a = MakeArea({{{0, 0}, {30, 0}, {30, 30}, {0, 30}}, {{0, 0}, {10, 20}, {20, 10}}});
    EXPECT_EQ(POLYGON_ApiTriangulate(a), 3);
    POLYGON_ApiFreeArea(&a);

    // A figure eight with a crossing and other self-intersecting rings give
    // an error or triangles, never a crash or a hang; the seeds vary the
    // order in which the crossing segments meet.
    for (uint64_t seed = 1; seed <= 40; seed++) {
        POLYGON_SetTestSeed(seed);
        a = POLYGON_NewArea();
        a->next = a->prev = a;
        a->cntr = MakeContour({{0, 0}, {20, 0}, {0, 10}, {20, 10}, {20, 20}, {0, 20}});
        int code = POLYGON_ApiTriangulate(a);
        EXPECT_TRUE(code == 0 || code == 3);
        if (code == 3) {
            EXPECT_EQ(POLYGON_TriangleCount(a), 0u);
        }
        POLYGON_ApiFreeArea(&a);

        std::mt19937 rng(seed);
        std::uniform_int_distribution<int> coord(0, 50);
        Ring ring;
        for (int i = 0; i < 12; i++)
            ring.push_back({coord(rng), coord(rng)});
        a = POLYGON_NewArea();
        a->next = a->prev = a;
        a->cntr = MakeContour(ring);
        code = POLYGON_ApiTriangulate(a);
        EXPECT_TRUE(code == 0 || code == 3);
        POLYGON_ApiFreeArea(&a);
    }

    // A grid coordinate outside 20 bits.
    a = MakeArea({{{0, 0}, {10, 0}, {0, 10}}});
    a->cntr->head->point.g.x = POLYGON_INT20_MAX + 1;
    EXPECT_EQ(POLYGON_ApiTriangulate(a), 3);
    POLYGON_ApiFreeArea(&a);
}

}
