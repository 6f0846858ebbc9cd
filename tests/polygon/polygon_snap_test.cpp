#include <gtest/gtest.h>
#include <algorithm>
#include <random>
#include <set>
#include "polygon/polygon_internal_snap.h"
#include "tests/polygon/polygon_test_support.h"

using namespace polytest;

namespace {

class PolygonSnapTest : public PolygonTest {};

POLYGON_SNAPSEG Seg(int32_t x1, int32_t y1, int32_t x2, int32_t y2)
{
    POLYGON_IPOINT p{x1, y1}, q{x2, y2};
    if (POLYGON_IntLess(q, p))
        std::swap(p, q);
    return POLYGON_SNAPSEG{p, q};
}

// floor(n / d + 1/2) for d > 0, in wide arithmetic.
int64_t RoundHalfUp(__int128 n, __int128 d)
{
    __int128 a = 2 * n + d, b = 2 * d;
    __int128 q = a / b;
    if (a % b != 0 && a < 0)
        q--;
    return int64_t(q);
}

// Brute force: every end and every pairwise crossing gives a hot pixel; a
// segment gets each hot pixel whose row lies within its rounded y range over
// the pixel's column, in order along the segment.
std::vector<std::vector<POLYGON_IPOINT>> Reference(const std::vector<POLYGON_SNAPSEG>& segs)
{
    std::set<std::pair<int32_t, int32_t>> hot;
    for (const auto& s : segs) {
        hot.insert({s.a.x, s.a.y});
        hot.insert({s.b.x, s.b.y});
    }
    for (size_t i = 0; i < segs.size(); i++)
        for (size_t j = i + 1; j < segs.size(); j++) {
            POLYGON_IPOINT at;
            int kx, ky;
            if (POLYGON_SegmentCrossing(segs[i], segs[j], &at, &kx, &ky))
                hot.insert({at.x, at.y});
        }
    std::vector<std::vector<POLYGON_IPOINT>> out(segs.size());
    for (size_t i = 0; i < segs.size(); i++) {
        const auto& s = segs[i];
        __int128 dx = s.b.x - s.a.x, dy = s.b.y - s.a.y;
        for (const auto& h : hot) {
            if (h.first < s.a.x || h.first > s.b.x)
                continue;
            int64_t lo, hi;
            if (dx == 0) {
                lo = s.a.y;
                hi = s.b.y;
            } else {
                auto yAt = [&](int64_t x2) {   // y at the doubled abscissa, rounded
                    return RoundHalfUp(__int128(s.a.y) * 2 * dx + (x2 - 2 * __int128(s.a.x)) * dy, 2 * dx);
                };
                int64_t l = std::max<int64_t>(2 * int64_t(h.first) - 1, 2 * int64_t(s.a.x));
                int64_t r = std::min<int64_t>(2 * int64_t(h.first) + 1, 2 * int64_t(s.b.x));
                lo = yAt(l);
                hi = yAt(r);
                if (lo > hi)
                    std::swap(lo, hi);
            }
            if (h.second >= lo && h.second <= hi)
                out[i].push_back(POLYGON_IPOINT{h.first, h.second});
        }
        bool falling = dy < 0 && dx != 0;
        std::sort(out[i].begin(), out[i].end(), [&](const POLYGON_IPOINT& p, const POLYGON_IPOINT& q) {
            if (p.x != q.x)
                return p.x < q.x;
            return falling ? p.y > q.y : p.y < q.y;
        });
    }
    return out;
}

std::vector<std::vector<POLYGON_IPOINT>> Swept(const std::vector<POLYGON_SNAPSEG>& segs)
{
    POLYGON_SNAPRESULT r;
    POLYGON_SnapRound(segs, &r);
    std::vector<std::vector<POLYGON_IPOINT>> out(segs.size());
    for (size_t i = 0; i < segs.size(); i++)
        for (uint32_t k = r.first[i]; k < r.first[i + 1]; k++)
            out[i].push_back(r.pixels[r.hits[k]]);
    return out;
}

void ExpectSameAsReference(const std::vector<POLYGON_SNAPSEG>& segs)
{
    auto want = Reference(segs);
    auto got = Swept(segs);
    for (size_t i = 0; i < segs.size(); i++) {
        ASSERT_EQ(Text(got[i]), Text(want[i])) << "segment " << i << " (" << segs[i].a.x << "," << segs[i].a.y << ")-("
                                               << segs[i].b.x << "," << segs[i].b.y << ")";
    }
}

TEST_F(PolygonSnapTest, RoundingAndExactCrossings)
{
    // Halves round up (2.5 and -2.5); the side tells where the exact value lies.
    const struct { int64_t n, d, rounded; int side; } divs[] = {
        {5, 2, 3, -1}, {-5, 2, -2, -1}, {7, 3, 2, 1}, {-6, 3, -2, 0}};
    for (const auto& c : divs) {
        int side = 99;
        EXPECT_EQ(POLYGON_RoundDiv(c.n, c.d, &side), c.rounded) << c.n << " / " << c.d;
        EXPECT_EQ(side, c.side) << c.n << " / " << c.d;
    }

    POLYGON_IPOINT at;
    int kx, ky;
    ASSERT_TRUE(POLYGON_SegmentCrossing(Seg(0, 0, 3, 1), Seg(0, 1, 3, 0), &at, &kx, &ky));   // at (1.5, 0.5)
    EXPECT_EQ(at.x, 2);
    EXPECT_EQ(at.y, 1);
    EXPECT_EQ(kx, -1);
    EXPECT_EQ(ky, -1);
    ASSERT_TRUE(POLYGON_SegmentCrossing(Seg(0, 0, 4, 4), Seg(2, 2, 5, 0), &at, &kx, &ky));   // touching at an end
    EXPECT_EQ(at.x, 2);
    EXPECT_EQ(kx, 0);
    EXPECT_FALSE(POLYGON_SegmentCrossing(Seg(0, 0, 4, 4), Seg(1, 1, 6, 6), &at, &kx, &ky));  // collinear
    EXPECT_FALSE(POLYGON_SegmentCrossing(Seg(0, 0, 4, 4), Seg(3, 0, 5, 1), &at, &kx, &ky));  // apart
    // Extreme grid coordinates stay exact.
    ASSERT_TRUE(POLYGON_SegmentCrossing(Seg(POLYGON_INT20_MIN, POLYGON_INT20_MIN, POLYGON_INT20_MAX, POLYGON_INT20_MAX),
                                        Seg(POLYGON_INT20_MIN, POLYGON_INT20_MAX, POLYGON_INT20_MAX, POLYGON_INT20_MIN),
                                        &at, &kx, &ky));
    EXPECT_EQ(at.x, 0);   // -0.5 rounds up
    EXPECT_EQ(at.y, 0);
}

// Two diagonals cross at (1.5, 0.5), which goes to the pixel (2, 1); a third
// segment passing through that pixel bends through it as well. Collinear
// overlaps get each other's ends.
TEST_F(PolygonSnapTest, SmallSetsBendThroughCrossingsAndOverlappingEnds)
{
    std::vector<POLYGON_SNAPSEG> segs = {Seg(0, 0, 3, 1), Seg(0, 1, 3, 0), Seg(0, 3, 4, -1)};
    for (const auto& s : Swept(segs))
        EXPECT_TRUE(std::any_of(s.begin(), s.end(), [](const POLYGON_IPOINT& p) { return p.x == 2 && p.y == 1; }));
    ExpectSameAsReference(segs);
    segs = {Seg(0, 0, 10, 5), Seg(4, 2, 14, 7), Seg(6, 0, 6, 10), Seg(6, 3, 6, 8)};
    auto got = Swept(segs);
    ASSERT_EQ(got[0].size(), 4u);   // its ends, the other's start and the vertical's crossing at (6, 3)
    EXPECT_EQ(got[0][1].x, 4);
    EXPECT_EQ(got[0][2].x, 6);
    ExpectSameAsReference(segs);
}

TEST_F(PolygonSnapTest, OutOfRangeCoordinatesAreRefused)
{
    POLYGON_SNAPRESULT r;
    std::vector<POLYGON_SNAPSEG> segs = {Seg(0, 0, POLYGON_INT20_MAX + 1, 0)};
    EXPECT_EQ(POLYGON_Catch([&] { POLYGON_SnapRound(segs, &r); }), POLYGON_ERR_DATA);
}

// Random sets on small grids are full of shared ends, collinear overlaps,
// vertical segments and crossings that round onto each other.
TEST_F(PolygonSnapTest, RandomSegmentSetsMatchBruteForce)
{
    for (int round = 0; round < 300; round++) {
        std::mt19937 rng(round);
        int range = round % 3 == 0 ? 8 : (round % 3 == 1 ? 40 : 3000);
        std::uniform_int_distribution<int32_t> coord(-range, range);
        int count = 5 + int(rng() % 60);
        std::vector<POLYGON_SNAPSEG> segs;
        for (int i = 0; i < count; i++) {
            int32_t x1 = coord(rng), y1 = coord(rng), x2 = coord(rng), y2 = coord(rng);
            switch (rng() % 6) {
            case 0: x2 = x1; break;                    // vertical
            case 1: y2 = y1; break;                    // horizontal
            case 2:                                    // along an earlier segment's line
                if (!segs.empty()) {
                    const auto& o = segs[rng() % segs.size()];
                    int32_t k = int32_t(rng() % 3) - 1, m = int32_t(rng() % 3) + 1;
                    x1 = o.a.x + k * (o.b.x - o.a.x);
                    y1 = o.a.y + k * (o.b.y - o.a.y);
                    x2 = o.a.x + m * (o.b.x - o.a.x) / 2;
                    y2 = o.a.y + m * (o.b.y - o.a.y) / 2;
                }
                break;
            default: break;
            }
            segs.push_back(Seg(x1, y1, x2, y2));
        }
        ExpectSameAsReference(segs);
        if (HasFatalFailure()) {
            ADD_FAILURE() << "round " << round;
            return;
        }
    }
}

TEST_F(PolygonSnapTest, ManyCrossingsOnAWideGridMatchBruteForce)
{
    std::mt19937 rng(77);
    std::uniform_int_distribution<int32_t> coord(POLYGON_INT20_MIN, POLYGON_INT20_MAX);
    std::vector<POLYGON_SNAPSEG> segs;
    for (int i = 0; i < 300; i++)
        segs.push_back(Seg(coord(rng), coord(rng), coord(rng), coord(rng)));
    ExpectSameAsReference(segs);
}

}
