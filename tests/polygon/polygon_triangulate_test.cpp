#include <gtest/gtest.h>
#include <algorithm>
#include <cmath>
#include <map>
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

// A star outline of radius R with star-shaped holes in disjoint discs well
// inside it.
std::vector<Ring> StarWithHoles(std::mt19937& rng, uint32_t n, uint32_t holes, uint32_t holeVertices)
{
    const double R = 400000;
    std::vector<Ring> rings{Star(rng, 0, 0, int(n), 0.6 * R, R, false)};
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
        rings.push_back(Star(rng, double(std::lround(x)), double(std::lround(y)), int(holeVertices), 0.5 * holeRadius,
                             holeRadius, true));
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

// Whether two closed segments share a point.
bool SegmentsMeet(POLYGON_IPOINT a, POLYGON_IPOINT b, POLYGON_IPOINT c, POLYGON_IPOINT d)
{
    return ProperCrossing(a, b, c, d) || OnSegment(a, b, c) || OnSegment(a, b, d) || OnSegment(c, d, a) ||
           OnSegment(c, d, b);
}

// Whether edges from vertex o to p and to q run along one line in one direction.
bool FoldsBack(POLYGON_IPOINT o, POLYGON_IPOINT p, POLYGON_IPOINT q)
{
    return POLYGON_Cross(o, p, q) == 0 && (int64_t(p.x) - o.x) * (q.x - o.x) + (int64_t(p.y) - o.y) * (q.y - o.y) > 0;
}

// The first pair of edges i < j of a ring that meet where they should not:
// edges apart that touch, or neighbours that fold back onto each other.
bool FindBadPair(const Ring& r, size_t* ei, size_t* ej)
{
    size_t n = r.size();
    for (size_t i = 0; i < n; i++) {
        for (size_t j = i + 1; j < n; j++) {
            POLYGON_IPOINT a = r[i], b = r[(i + 1) % n], c = r[j], d = r[(j + 1) % n];
            bool bad;
            if (j == i + 1)
                bad = FoldsBack(b, a, d);
            else if (i == 0 && j == n - 1)
                bad = FoldsBack(a, b, c);
            else
                bad = SegmentsMeet(a, b, c, d);
            if (bad) {
                *ei = i;
                *ej = j;
                return true;
            }
        }
    }
    return false;
}

// A simple ring through n distinct random points of a square grid, untangled
// by reversing the path between two edges that meet; none when the points
// repeat or the untangling does not settle.
bool RandomSimpleRing(std::mt19937& rng, int n, int range, Ring* ring)
{
    std::uniform_int_distribution<int> coord(0, range);
    Ring r;
    std::set<std::pair<int, int>> seen;
    for (int i = 0; i < n; i++) {
        r.push_back({coord(rng), coord(rng)});
        if (!seen.insert({r.back().x, r.back().y}).second)
            return false;
    }
    size_t i, j;
    for (int pass = 0; pass < 2000 && FindBadPair(r, &i, &j); pass++)
        std::reverse(r.begin() + i + 1, r.begin() + j + 1);
    if (FindBadPair(r, &i, &j))
        return false;
    *ring = r;
    return true;
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
    // A quadrilateral, a square with a hole, and two areas of one ring whose
    // second outer ring runs clockwise in its record: all triangles come out
    // counter-clockwise; a second call replaces the triangles.
    const struct { std::vector<Ring> rings; bool reverseSecond; uint32_t triangles; } cases[] = {
        {{{{0, 0}, {10, 2}, {12, 9}, {1, 8}}}, false, 2},
        {{{{0, 0}, {30, 0}, {30, 30}, {0, 30}}, {{10, 10}, {10, 20}, {20, 20}, {20, 10}}}, false, 8},
        {{{{0, 0}, {10, 0}, {10, 10}, {0, 10}}, {{20, 0}, {30, 0}, {25, 10}, {20, 5}}}, true, 4},
    };
    for (const auto& c : cases) {
        a = MakeArea(c.rings);
        if (c.reverseSecond)
            POLYGON_ReverseContour(a->next->cntr);
        for (int call = 0; call < 2; call++) {
            ASSERT_EQ(POLYGON_ApiTriangulate(a), 0);
            EXPECT_EQ(POLYGON_TriangleCount(a), c.triangles);
            ExpectValidTriangulation(a);
        }
        POLYGON_ApiFreeArea(&a);
    }
}

TEST_F(PolygonTriangulateTest, RandomStarsWithHoles)
{
    for (uint64_t seed : {1u, 2u, 3u, 17u, 12345u}) {
        std::mt19937 rng(seed);
        POLYGON_SetTestSeed(seed * 7919);
        // One large area, so that the random order swaps across more than
        // 2^15 segments.
        for (uint32_t n : {3u, 4u, 7u, 40u, 300u, 2000u, seed == 1 ? 40000u : 0u}) {
            if (n == 0)
                continue;
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

// The triangles of a ring as vertex numbers, counted along the contours.
std::vector<uint32_t> TriangleVertexNumbers(const POLYGON_AREA* ring)
{
    std::map<const POLYGON_VNODE*, uint32_t> number;
    std::vector<uint32_t> out;
    const POLYGON_AREA* a = ring;
    do {
        for (const POLYGON_CONTOUR* c = a->cntr; c; c = c->next) {
            const POLYGON_VNODE* v = c->head;
            for (uint32_t i = 0; i < c->count; i++, v = v->next)
                number.emplace(v, uint32_t(number.size()));
        }
        for (uint32_t i = 0; i < a->triangleCount; i++)
            for (const POLYGON_VNODE* v : a->triangles[i].v)
                out.push_back(number.at(v));
        a = a->next;
    } while (a != ring);
    return out;
}

// The decomposition into trapezoids does not depend on the order in which
// the segments go in, so neither do the triangles: areas large enough for
// every phase of the insertion, one with many equal heights, give the same
// triangles in the same order under different random orders.
TEST_F(PolygonTriangulateTest, TrianglesDoNotDependOnTheInsertionOrder)
{
    std::mt19937 rng(31);
    for (const std::vector<Ring>& rings : {StarWithHoles(rng, 12000, 6, 60), Skyline(rng, 1500, 700)}) {
        std::vector<uint32_t> first;
        for (uint64_t seed : {1u, 2u, 977u}) {
            POLYGON_SetTestSeed(seed);
            POLYGON_AREA* a = Triangulated(rings);
            ExpectValidTriangulation(a);
            std::vector<uint32_t> triangles = TriangleVertexNumbers(a);
            if (first.empty())
                first = triangles;
            else
                EXPECT_EQ(triangles, first) << "seed " << seed;
            POLYGON_ApiFreeArea(&a);
        }
    }
}

// An area of the given rings as they are, without the contour check.
POLYGON_AREA* RawArea(const std::vector<Ring>& rings)
{
    POLYGON_AREA* a = POLYGON_NewArea();
    a->next = a->prev = a;
    POLYGON_CONTOUR** tail = &a->cntr;
    for (const Ring& r : rings) {
        *tail = MakeContour(r);
        tail = &(*tail)->next;
    }
    return a;
}

// Vertices in the middle of straight edges are corners like any other.
TEST_F(PolygonTriangulateTest, CollinearVerticesAreKept)
{
    std::vector<std::vector<Ring>> cases = {
        {{{0, 0}, {5, 0}, {10, 0}, {10, 5}, {10, 10}, {5, 10}, {0, 10}, {0, 5}}},
        {{{0, 0}, {1, 0}, {2, 0}, {3, 0}, {4, 0}, {4, 1}, {3, 1}, {2, 1}, {1, 1}, {0, 1}}},
        {{{0, 0}, {30, 0}, {30, 30}, {0, 30}}, {{10, 10}, {10, 15}, {10, 20}, {15, 20}, {20, 20}, {20, 10}}},
    };
    // Random stars with holes whose even edges get their midpoints.
    for (uint64_t seed : {11u, 12u, 13u}) {
        std::mt19937 rng(seed);
        std::vector<Ring> rings = StarWithHoles(rng, 200, 3, 10);
        for (Ring& r : rings) {
            Ring split;
            for (size_t i = 0; i < r.size(); i++) {
                POLYGON_IPOINT a = r[i], b = r[(i + 1) % r.size()];
                split.push_back(a);
                if ((a.x + b.x) % 2 == 0 && (a.y + b.y) % 2 == 0)
                    split.push_back({(a.x + b.x) / 2, (a.y + b.y) / 2});
            }
            r = split;
        }
        cases.push_back(rings);
    }
    for (const auto& rings : cases) {
        for (uint64_t seed = 1; seed <= 10; seed++) {
            POLYGON_SetTestSeed(seed);
            POLYGON_AREA* a = RawArea(rings);
            ASSERT_EQ(POLYGON_ApiTriangulate(a), 0) << rings[0].size() << " vertices, seed " << seed;
            ExpectValidTriangulation(a);
            POLYGON_ApiFreeArea(&a);
        }
    }
}

// Arbitrary simple rings on grids from 12 to 100000 units wide: on the small
// grids many vertices share their y or x and many are collinear.
TEST_F(PolygonTriangulateTest, RandomSimpleRingsOnSmallAndLargeGrids)
{
    int done = 0;
    for (uint64_t seed = 1; seed <= 400; seed++) {
        std::mt19937 rng(seed);
        Ring ring;
        if (!RandomSimpleRing(rng, 4 + seed % 40, seed % 3 == 0 ? 12 : seed % 3 == 1 ? 40 : 100000, &ring))
            continue;
        POLYGON_SetTestSeed(seed);
        POLYGON_AREA* a = RawArea({ring});
        ASSERT_EQ(POLYGON_ApiTriangulate(a), 0) << "seed " << seed;
        ExpectValidTriangulation(a);
        POLYGON_ApiFreeArea(&a);
        done++;
    }
    EXPECT_GT(done, 200);
}

TEST_F(PolygonTriangulateTest, InvalidAreasAreRefused)
{
    EXPECT_EQ(POLYGON_ApiTriangulate(nullptr), 3);
    // Two vertices, a vertex outside the grid, and areas whose triangles cannot
    // number n + 2(c - 1) - 2: a hole touching the outer contour at a vertex, a
    // hole outside it, two holes crossing.
    const std::vector<std::vector<Ring>> refused = {
        {{{0, 0}, {5, 5}}},
        {{{POLYGON_INT20_MAX + 1, 0}, {10, 0}, {0, 10}}},
        {{{0, 0}, {30, 0}, {30, 30}, {0, 30}}, {{0, 0}, {10, 20}, {20, 10}}},
        {{{0, 0}, {30, 0}, {30, 30}, {0, 30}}, {{40, 10}, {40, 20}, {50, 20}, {50, 10}}},
        {{{0, 0}, {30, 0}, {30, 30}, {0, 30}},
         {{5, 5}, {5, 15}, {15, 15}, {15, 5}},
         {{10, 10}, {10, 20}, {20, 20}, {20, 10}}},
    };
    POLYGON_AREA* a;
    for (const auto& rings : refused) {
        a = RawArea(rings);
        EXPECT_EQ(POLYGON_ApiTriangulate(a), 3);
        EXPECT_EQ(POLYGON_TriangleCount(a), 0u);
        POLYGON_ApiFreeArea(&a);
    }

    // A ring of two areas whose second one fails keeps no triangles at all.
    a = MakeArea({{{0, 0}, {10, 0}, {10, 10}, {0, 10}}, {{20, 0}, {30, 0}, {30, 10}}});
    a->next->cntr->head->next->point.g = a->next->cntr->head->point.g;
    EXPECT_EQ(POLYGON_ApiTriangulate(a), 3);
    EXPECT_EQ(POLYGON_TriangleCount(a), 0u);
    POLYGON_ApiFreeArea(&a);

    // Self-intersecting rings give an error or triangles,
    // never a crash or a hang; the seeds vary the order in which the
    // crossing segments meet.
    for (uint64_t seed = 1; seed <= 40; seed++) {
        POLYGON_SetTestSeed(seed);
        std::mt19937 rng(seed);
        std::uniform_int_distribution<int> coord(0, 50);
        Ring ring;
        for (int i = 0; i < 12; i++)
            ring.push_back({coord(rng), coord(rng)});
        for (const auto& rings : std::vector<std::vector<Ring>>{
                 {{{0, 0}, {20, 0}, {0, 10}, {20, 10}, {20, 20}, {0, 20}}}, {ring}}) {
            a = RawArea(rings);
            int code = POLYGON_ApiTriangulate(a);
            EXPECT_TRUE(code == 0 || code == 3);
            if (code == 3) {
                EXPECT_EQ(POLYGON_TriangleCount(a), 0u);
            }
            POLYGON_ApiFreeArea(&a);
        }
    }
}

}
