#include <gtest/gtest.h>
#include <algorithm>
#include <cmath>
#include <random>
#include "polygon/polygon_internal_inside.h"
#include "tests/polygon/polygon_test_support.h"

using namespace polytest;

namespace {

class PolygonInsideTest : public PolygonTest {};

// Owns the contours of one test case.
struct Contours {
    std::vector<POLYGON_CONTOUR*> list;
    ~Contours()
    {
        for (POLYGON_CONTOUR*& c : list)
            POLYGON_FreeContour(&c);
    }
    POLYGON_CONTOUR* Add(const Ring& r)
    {
        list.push_back(MakeContour(r));
        return list.back();
    }
};

// Points at sorted random angles around the middle of a small grid: mostly a
// simple ring, with repeated and collinear points where they round together.
Ring StarRing(std::mt19937& rng, int n, int grid)
{
    std::uniform_real_distribution<double> angle(0, 2 * M_PI), radius(0.5, grid / 2.0);
    std::vector<double> angles(n);
    for (double& a : angles)
        a = angle(rng);
    std::sort(angles.begin(), angles.end());
    Ring r;
    for (double a : angles) {
        double rad = radius(rng);
        r.push_back({int32_t(std::lround(grid / 2.0 + rad * std::cos(a))), int32_t(std::lround(grid / 2.0 + rad * std::sin(a)))});
    }
    return r;
}

// Grid points on or inside the outer contour, in order of their angle around
// their middle: a hole that often touches the outer boundary or runs along it,
// and leaves it where the outer contour bends inwards.
Ring PointsWithin(std::mt19937& rng, const POLYGON_CONTOUR* outer, int n, int grid)
{
    std::uniform_int_distribution<int32_t> coord(0, grid);
    Ring r;
    for (int tries = 0; int(r.size()) < n && tries < 200; tries++) {
        POLYGON_IPOINT p{coord(rng), coord(rng)};
        if (POLYGON_PointInContour2(outer, 2 * int64_t(p.x), 2 * int64_t(p.y)) >= 0)
            r.push_back(p);
    }
    if (r.empty())
        r.push_back({coord(rng), coord(rng)});
    double cx = 0, cy = 0;
    for (const auto& p : r) {
        cx += p.x;
        cy += p.y;
    }
    cx /= r.size();
    cy /= r.size();
    std::sort(r.begin(), r.end(), [&](const POLYGON_IPOINT& a, const POLYGON_IPOINT& b) {
        return std::atan2(a.y - cy, a.x - cx) < std::atan2(b.y - cy, b.x - cx);
    });
    return r;
}

Ring RandomRing(std::mt19937& rng, int n, int grid)
{
    std::uniform_int_distribution<int32_t> coord(0, grid);
    Ring r(n);
    for (auto& p : r)
        p = {coord(rng), coord(rng)};
    return r;
}

// A small outer contour with one to three holes, of every kind of contact.
void RandomCase(std::mt19937& rng, Contours* c)
{
    std::uniform_int_distribution<int> kind(0, 9), vertices(3, 9), holes(1, 3), grid(4, 12);
    int g = grid(rng);
    POLYGON_CONTOUR* outer = c->Add(kind(rng) == 0 ? RandomRing(rng, vertices(rng), g) : StarRing(rng, vertices(rng), g));
    for (int h = holes(rng); h > 0; h--) {
        int k = kind(rng);
        Ring r = k < 6 ? PointsWithin(rng, outer, vertices(rng), g)
                       : (k < 9 ? StarRing(rng, vertices(rng), g) : RandomRing(rng, vertices(rng), g));
        while (r.size() < 3) {
            POLYGON_IPOINT last = r.back();
            r.push_back(last);
        }
        if (k % 2)
            std::reverse(r.begin(), r.end());
        c->Add(r);
    }
}

bool TouchesBoundary(const POLYGON_CONTOUR* hole, const POLYGON_CONTOUR* outer)
{
    for (const auto& p : Points(hole))
        if (POLYGON_PointInContour2(outer, 2 * int64_t(p.x), 2 * int64_t(p.y)) == 0)
            return true;
    return false;
}

TEST_F(PolygonInsideTest, SweepAgreesWithThePairsOnSmallAreas)
{
    std::mt19937 rng(4242);
    int inside = 0, outside = 0, touching = 0, undecided = 0, together = 0;
    for (int n = 0; n < 6000; n++) {
        Contours c;
        RandomCase(rng, &c);
        const POLYGON_CONTOUR* outer = c.list[0];
        bool all = true;
        for (size_t i = 1; i < c.list.size(); i++) {
            const POLYGON_CONTOUR* hole = c.list[i];
            bool exact = POLYGON_ContourInsideByPairs(hole, outer);
            all = all && exact;
            int swept = POLYGON_HolesInsideSweep(outer, &hole, 1);
            if (swept == POLYGON_SWEEP_UNDECIDED) {
                undecided++;
                continue;
            }
            ASSERT_EQ(swept, exact ? 1 : 0) << "outer " << Text(Points(outer)) << " hole " << Text(Points(hole));
            (exact ? inside : outside)++;
            touching += exact && TouchesBoundary(hole, outer);
        }
        int swept = POLYGON_HolesInsideSweep(outer, c.list.data() + 1, c.list.size() - 1);
        if (swept != POLYGON_SWEEP_UNDECIDED) {
            ASSERT_EQ(swept, all ? 1 : 0) << "outer " << Text(Points(outer));
            together++;
        }
    }
    // The sweep decides most cases, of both answers, touching ones among them.
    EXPECT_GT(inside, 1500);
    EXPECT_GT(outside, 1500);
    EXPECT_GT(touching, 500);
    EXPECT_LT(undecided, inside + outside);
    EXPECT_GT(together, 3000);
}

// Outer and hole as the benchmark draws them, with the hole moved about.
TEST_F(PolygonInsideTest, LargeContoursTakeTheSweepWithTheSameAnswers)
{
    std::mt19937 rng(7);
    Ring outerRing = Star(rng, 0, 0, 2000, 3000, 3050, false);
    Ring holeRing = Star(rng, 0, 0, 300, 1000, 2000, true);
    Contours c;
    POLYGON_CONTOUR* outer = c.Add(outerRing);
    POLYGON_CONTOUR* hole = c.Add(holeRing);
    EXPECT_EQ(POLYGON_HolesInsideSweep(outer, &hole, 1), 1);
    EXPECT_TRUE(POLYGON_ContourInside(hole, outer));

    // Holes that reach the outer contour: through one of its vertices, along
    // one of its edges, and out across it.
    for (int reach : {0, 1, 2}) {
        Ring r = holeRing;
        const POLYGON_IPOINT& a = outerRing[1000];
        const POLYGON_IPOINT& b = outerRing[1001];
        if (reach == 0)
            r[150] = a;
        else if (reach == 1)
            r.insert(r.begin() + 151, {b, a});
        else
            r[150] = {a.x * 2, a.y * 2};
        POLYGON_CONTOUR* h = c.Add(r);
        POLYGON_UpdateBox(h);
        bool exact = POLYGON_ContourInsideByPairs(h, outer);
        EXPECT_EQ(exact, reach != 2) << reach;
        EXPECT_EQ(POLYGON_HolesInsideSweep(outer, &h, 1), exact ? 1 : 0) << reach;
        EXPECT_EQ(POLYGON_ContourInside(h, outer), exact) << reach;
    }

    // A self-crossing outer contour leaves the sweep undecided; the pairs answer.
    Ring crossed = outerRing;
    std::swap(crossed[500], crossed[510]);
    POLYGON_CONTOUR* bent = c.Add(crossed);
    EXPECT_EQ(POLYGON_HolesInsideSweep(bent, &hole, 1), POLYGON_SWEEP_UNDECIDED);
    EXPECT_EQ(POLYGON_ContourInside(hole, bent), POLYGON_ContourInsideByPairs(hole, bent));
}

TEST_F(PolygonInsideTest, HoleCheckOfManyHoles)
{
    std::vector<Ring> rings = {Rect(0, 0, 2000, 2000)};
    for (int i = 0; i < 20; i++)
        for (int j = 0; j < 20; j++)
            rings.push_back(Rect(100 * i, 100 * j, 100 * i + 60, 100 * j + 60, true));
    POLYGON_AREA* area = MakeArea(rings);
    EXPECT_EQ(POLYGON_Catch([&] { POLYGON_CheckHoles(area); }), 0);
    // Holes crossing each other are not the check's concern: each lies inside.
    POLYGON_CONTOUR* across = MakeContour(Rect(30, 30, 130, 130, true));
    ASSERT_TRUE(POLYGON_CheckContour(across));
    POLYGON_InsertContour(&area, across);
    EXPECT_EQ(POLYGON_Catch([&] { POLYGON_CheckHoles(area); }), 0);
    // One hole reaching out of the outer contour fails the whole area.
    POLYGON_CONTOUR* out = MakeContour(Rect(1950, 500, 2050, 600, true));
    ASSERT_TRUE(POLYGON_CheckContour(out));
    out->next = area->cntr->next;
    area->cntr->next = out;
    EXPECT_EQ(POLYGON_Catch([&] { POLYGON_CheckHoles(area); }), 3);
    POLYGON_ApiFreeArea(&area);
}

}
