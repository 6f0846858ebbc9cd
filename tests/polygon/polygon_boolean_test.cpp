#include <gtest/gtest.h>
#include <polyclipping/clipper.hpp>
#include <cmath>
#include <random>
#include <set>
#include "tests/polygon/polygon_test_support.h"

using namespace polytest;

namespace {

class PolygonBooleanTest : public PolygonTest {};

constexpr int OPS[] = {POLYGON_OP_UNION, POLYGON_OP_INTERSECTION, POLYGON_OP_A_MINUS_B, POLYGON_OP_XOR};

// Holds the operands and one result at a time.
struct Areas {
    POLYGON_AREA* a = nullptr;
    POLYGON_AREA* b = nullptr;
    POLYGON_AREA* r = nullptr;
    ~Areas()
    {
        POLYGON_ApiFreeArea(&a);
        POLYGON_ApiFreeArea(&b);
        POLYGON_ApiFreeArea(&r);
    }
    int Run(int op)
    {
        POLYGON_ApiFreeArea(&r);
        return POLYGON_BooleanOp(a, b, &r, op);
    }
};

std::vector<const POLYGON_CONTOUR*> Contours(const POLYGON_AREA* ring)
{
    std::vector<const POLYGON_CONTOUR*> out;
    ForEachArea(ring, [&](const POLYGON_AREA* a) {
        for (const POLYGON_CONTOUR* c = a->cntr; c; c = c->next)
            out.push_back(c);
    });
    return out;
}

double AreaOf(const POLYGON_AREA* ring)
{
    double sum = 0;
    for (const POLYGON_CONTOUR* c : Contours(ring))
        sum += double(POLYGON_DoubledArea(c)) / 2;
    return sum;
}

struct Segment {
    POLYGON_IPOINT p, q;
    size_t contour;
};

// The edges of a ring's contours, each with the number of its contour.
std::vector<Segment> Edges(const POLYGON_AREA* ring)
{
    std::vector<Segment> out;
    std::vector<const POLYGON_CONTOUR*> contours = Contours(ring);
    for (size_t k = 0; k < contours.size(); k++) {
        Ring pts = Points(contours[k]);
        for (size_t i = 0; i < pts.size(); i++)
            out.push_back(Segment{pts[i], pts[(i + 1) % pts.size()], k});
    }
    return out;
}

// Simple contours in INT20 without zero-length edges, orientation matching the
// flag, the outer contour first with its holes inside, and no two edges of the
// result crossing.
void ExpectValid(const POLYGON_AREA* ring)
{
    ForEachArea(ring, [](const POLYGON_AREA* area) {
        ASSERT_NE(area->cntr, nullptr);
        EXPECT_TRUE(POLYGON_IsOuter(area->cntr));
        for (const POLYGON_CONTOUR* c = area->cntr->next; c; c = c->next) {
            EXPECT_FALSE(POLYGON_IsOuter(c));
            EXPECT_TRUE(POLYGON_ContourInside(c, area->cntr));
        }
    });
    for (const POLYGON_CONTOUR* c : Contours(ring)) {
        ASSERT_GE(c->count, 3u);
        EXPECT_EQ(POLYGON_DoubledArea(c) > 0, POLYGON_IsOuter(c));
        std::set<std::pair<int32_t, int32_t>> seen;
        for (const POLYGON_IPOINT& p : Points(c)) {
            EXPECT_TRUE(POLYGON_InGrid(p.x) && POLYGON_InGrid(p.y));
            EXPECT_TRUE(seen.insert({p.x, p.y}).second) << "repeated vertex " << p.x << "," << p.y;
        }
    }
    std::vector<Segment> edges = Edges(ring);
    for (size_t i = 0; i < edges.size(); i++)
        for (size_t j = i + 1; j < edges.size(); j++) {
            const Segment& e = edges[i];
            const Segment& f = edges[j];
            EXPECT_FALSE(ProperCrossing(e.p, e.q, f.p, f.q));
            if (e.contour != f.contour)
                continue;
            // Within one contour only neighbouring edges meet, at their shared vertex.
            bool shareStart = POLYGON_SamePoint(e.q, f.p) || POLYGON_SamePoint(f.q, e.p);
            if (!shareStart) {
                EXPECT_FALSE(OnSegment(e.p, e.q, f.p) || OnSegment(f.p, f.q, e.p));
            } else {
                EXPECT_FALSE(POLYGON_SamePoint(e.q, f.p) ? OnSegment(e.p, e.q, f.q) : OnSegment(f.p, f.q, e.q));
            }
        }
}

ClipperLib::Paths ToPaths(const POLYGON_AREA* ring)
{
    ClipperLib::Paths paths;
    for (const POLYGON_CONTOUR* c : Contours(ring)) {
        ClipperLib::Path path;
        for (const auto& p : Points(c))
            path.push_back(ClipperLib::IntPoint(p.x, p.y));
        paths.push_back(path);
    }
    return paths;
}

double ClipperArea(const POLYGON_AREA* a, const POLYGON_AREA* b, int op)
{
    static const ClipperLib::ClipType types[] = {ClipperLib::ctUnion, ClipperLib::ctIntersection,
                                                 ClipperLib::ctDifference, ClipperLib::ctXor};
    ClipperLib::Clipper clipper;
    clipper.AddPaths(ToPaths(a), ClipperLib::ptSubject, true);
    clipper.AddPaths(ToPaths(b), ClipperLib::ptClip, true);
    ClipperLib::Paths out;
    clipper.Execute(types[op], out, ClipperLib::pftEvenOdd, ClipperLib::pftEvenOdd);
    double sum = 0;
    for (const auto& p : out)
        sum += ClipperLib::Area(p);
    return sum;
}

double DistanceToSegment(double x, double y, const Segment& s)
{
    double dx = s.q.x - s.p.x, dy = s.q.y - s.p.y;
    double t = ((x - s.p.x) * dx + (y - s.p.y) * dy) / (dx * dx + dy * dy);
    t = std::max(0.0, std::min(1.0, t));
    return std::hypot(x - s.p.x - t * dx, y - s.p.y - t * dy);
}

// Snap rounding bends every edge through the hot pixels it passes (the grid
// points nearest to the crossings and to the other operand's vertices); each
// bend moves the area by at most the edge's length times one unit.
double RoundingBound(const POLYGON_AREA* a, const POLYGON_AREA* b)
{
    std::vector<Segment> ea = Edges(a), eb = Edges(b), all = ea;
    all.insert(all.end(), eb.begin(), eb.end());
    std::vector<std::pair<double, double>> hot;
    for (const Segment& e : all)
        hot.push_back({double(e.p.x), double(e.p.y)});
    for (const Segment& e : ea)
        for (const Segment& f : eb) {
            double rx = e.q.x - e.p.x, ry = e.q.y - e.p.y, sx = f.q.x - f.p.x, sy = f.q.y - f.p.y;
            double d = rx * sy - ry * sx;
            if (d == 0)
                continue;
            double t = ((f.p.x - e.p.x) * sy - (f.p.y - e.p.y) * sx) / d;
            double u = ((f.p.x - e.p.x) * ry - (f.p.y - e.p.y) * rx) / d;
            if (t >= 0 && t <= 1 && u >= 0 && u <= 1)
                hot.push_back({std::round(e.p.x + t * rx), std::round(e.p.y + t * ry)});
        }
    double bound = 1e-9;
    for (const Segment& e : all)
        for (const auto& h : hot) {
            bool end = (h.first == e.p.x && h.second == e.p.y) || (h.first == e.q.x && h.second == e.q.y);
            if (!end && DistanceToSegment(h.first, h.second, e) < 1)
                bound += std::hypot(double(e.q.x - e.p.x), double(e.q.y - e.p.y));
        }
    return bound;
}

bool Inside(const POLYGON_AREA* ring, int64_t x2, int64_t y2) { return POLYGON_PointInArea2(ring, x2, y2) > 0; }

bool Expected(int op, bool inA, bool inB)
{
    switch (op) {
    case POLYGON_OP_UNION: return inA || inB;
    case POLYGON_OP_INTERSECTION: return inA && inB;
    case POLYGON_OP_A_MINUS_B: return inA && !inB;
    default: return inA != inB;
    }
}

// All four operations: valid results, the operation's membership at points
// away from the operands' edges, areas as Clipper's within the rounding bound,
// and A(a | b) + A(a & b) = A(a) + A(b) within it.
void CheckAllOperations(Areas& t, std::mt19937& rng, int samples)
{
    double bound = RoundingBound(t.a, t.b);
    std::vector<Segment> inputEdges = Edges(t.a);
    for (const Segment& s : Edges(t.b))
        inputEdges.push_back(s);
    int32_t lo = INT32_MAX, hi = INT32_MIN;
    for (const Segment& s : inputEdges) {
        lo = std::min({lo, s.p.x, s.p.y});
        hi = std::max({hi, s.p.x, s.p.y});
    }
    std::vector<std::pair<int64_t, int64_t>> points;   // doubled coordinates
    std::uniform_int_distribution<int64_t> coord(2 * int64_t(lo) - 4, 2 * int64_t(hi) + 4);
    while (int(points.size()) < samples) {
        int64_t x2 = coord(rng), y2 = coord(rng);
        bool far = true;
        for (const Segment& s : inputEdges)
            far = far && DistanceToSegment(x2 / 2.0, y2 / 2.0, s) > 2;
        if (far)
            points.push_back({x2, y2});
    }
    double areas[4];
    for (int op : OPS) {
        ASSERT_EQ(t.Run(op), POLYGON_OK) << "op " << op;
        ExpectValid(t.r);
        if (::testing::Test::HasFailure())
            FAIL() << "op " << op;
        for (const auto& p : points) {
            bool inA = Inside(t.a, p.first, p.second), inB = Inside(t.b, p.first, p.second);
            ASSERT_EQ(Inside(t.r, p.first, p.second), Expected(op, inA, inB))
                << "op " << op << " at " << p.first / 2.0 << "," << p.second / 2.0;
        }
        areas[op] = AreaOf(t.r);
        EXPECT_NEAR(areas[op], ClipperArea(t.a, t.b, op), bound) << "op " << op;
    }
    EXPECT_NEAR(areas[POLYGON_OP_UNION] + areas[POLYGON_OP_INTERSECTION], AreaOf(t.a) + AreaOf(t.b), bound);
}

// Small operands with known results: the number of areas (0: no result), the
// area, the outer contour's vertex count (0: any) and whether the first area
// has a hole (-1: either). Results touching at a point are separate contours:
// two squares meeting at a corner, and a hole whose corner touches the outer
// boundary.
TEST_F(PolygonBooleanTest, SmallOperandsGiveTheirKnownResults)
{
    const std::vector<Ring> square = {Rect(0, 0, 10, 10)}, holed = {Rect(0, 0, 10, 10), Rect(3, 3, 6, 6, true)};
    const struct {
        const char* name;
        std::vector<Ring> a, b;
        int op;
        uint32_t areas;
        double area;
        uint32_t vertices;
        int hole;
    } cases[] = {
        {"disjoint", square, {Rect(20, 0, 30, 10)}, POLYGON_OP_UNION, 2, 200, 0, -1},
        {"disjoint", square, {Rect(20, 0, 30, 10)}, POLYGON_OP_INTERSECTION, 0, 0, 0, -1},
        {"disjoint", square, {Rect(20, 0, 30, 10)}, POLYGON_OP_A_MINUS_B, 1, 100, 0, -1},
        {"disjoint", square, {Rect(20, 0, 30, 10)}, POLYGON_OP_XOR, 2, 200, 0, -1},
        {"inside", {Rect(0, 0, 30, 30)}, {Rect(10, 10, 20, 20)}, POLYGON_OP_UNION, 1, 900, 0, 0},
        {"inside", {Rect(0, 0, 30, 30)}, {Rect(10, 10, 20, 20)}, POLYGON_OP_INTERSECTION, 1, 100, 0, 0},
        {"inside", {Rect(0, 0, 30, 30)}, {Rect(10, 10, 20, 20)}, POLYGON_OP_A_MINUS_B, 1, 800, 0, 1},
        {"inside", {Rect(0, 0, 30, 30)}, {Rect(10, 10, 20, 20)}, POLYGON_OP_XOR, 1, 800, 0, 1},
        {"shared edge", square, {Rect(10, 0, 20, 10)}, POLYGON_OP_UNION, 1, 200, 4, 0},
        {"identical", holed, holed, POLYGON_OP_UNION, 1, 91, 0, 1},
        {"identical", holed, holed, POLYGON_OP_INTERSECTION, 1, 91, 0, 1},
        {"identical", holed, holed, POLYGON_OP_A_MINUS_B, 0, 0, 0, -1},
        {"identical", holed, holed, POLYGON_OP_XOR, 0, 0, 0, -1},
        {"corner overlap", square, {Rect(5, 5, 15, 15)}, POLYGON_OP_UNION, 1, 175, 8, 0},   // both crossings are corners
        {"corner overlap", square, {Rect(5, 5, 15, 15)}, POLYGON_OP_INTERSECTION, 1, 25, 4, 0},
        {"corner touch", square, {Rect(10, 10, 20, 20)}, POLYGON_OP_UNION, 2, 200, 0, -1},
        {"hole touching", square, {{{0, 5}, {5, 2}, {7, 7}}}, POLYGON_OP_A_MINUS_B, 1, 100 - 15.5, 0, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.name << " op " << c.op);
        Areas t;
        t.a = MakeArea(c.a);
        t.b = MakeArea(c.b);
        ASSERT_EQ(t.Run(c.op), POLYGON_OK);
        ASSERT_EQ(AreaCount(t.r), c.areas);
        if (!c.areas)
            continue;
        ExpectValid(t.r);
        EXPECT_EQ(AreaOf(t.r), c.area);
        if (c.vertices) {
            EXPECT_EQ(t.r->cntr->count, c.vertices);
        }
        if (c.hole >= 0) {
            EXPECT_EQ(t.r->cntr->next != nullptr, c.hole == 1);
        }
    }
}

TEST_F(PolygonBooleanTest, TrivialOperandsAndInvalidInput)
{
    Areas t;
    t.b = MakeArea({Rect(0, 0, 10, 10)});
    for (int op : OPS) {
        ASSERT_EQ(t.Run(op), POLYGON_OK);
        EXPECT_EQ(t.r != nullptr, op == POLYGON_OP_UNION || op == POLYGON_OP_XOR);
    }
    std::swap(t.a, t.b);
    for (int op : OPS) {
        ASSERT_EQ(t.Run(op), POLYGON_OK);
        EXPECT_EQ(t.r != nullptr, op != POLYGON_OP_INTERSECTION);
    }
    POLYGON_AREA* none = nullptr;
    EXPECT_EQ(POLYGON_BooleanOp(nullptr, nullptr, &none, POLYGON_OP_UNION), POLYGON_OK);
    EXPECT_EQ(none, nullptr);
    EXPECT_EQ(t.Run(7), POLYGON_ERR_DATA);
    // A vertex outside the grid and a broken ring are refused, the operand untouched.
    t.b = MakeArea({Rect(0, 0, 10, 10)});
    t.b->cntr->head->point.g.x = POLYGON_INT20_MAX + 1;
    EXPECT_EQ(t.Run(POLYGON_OP_UNION), POLYGON_ERR_DATA);
    EXPECT_EQ(t.r, nullptr);
    EXPECT_EQ(t.b->cntr->head->point.g.x, POLYGON_INT20_MAX + 1);
    t.b->cntr->head->point.g.x = 0;
    t.b->cntr->count = 7;
    EXPECT_EQ(t.Run(POLYGON_OP_UNION), POLYGON_ERR_DATA);
    t.b->cntr->count = 4;
    // A hole linked across the notch of its outer contour is refused, not
    // cut into a wrong area.
    POLYGON_ApiFreeArea(&t.a);
    t.a = MakeArea({{{0, 0}, {100, 0}, {100, 100}, {60, 100}, {50, 40}, {40, 100}, {0, 100}}});
    POLYGON_CONTOUR* hole = MakeContour({{30, 50}, {30, 60}, {70, 60}, {70, 50}});
    ASSERT_TRUE(POLYGON_CheckContour(hole));
    ASSERT_FALSE(POLYGON_IsOuter(hole));
    t.a->cntr->next = hole;
    POLYGON_ApiFreeArea(&t.b);
    t.b = MakeArea({Rect(20, 20, 120, 120)});
    EXPECT_EQ(t.Run(POLYGON_OP_INTERSECTION), POLYGON_ERR_DATA);
    EXPECT_EQ(t.r, nullptr);
}

TEST_F(PolygonBooleanTest, SelfIntersectingOperandsGiveAResultOrACode)
{
    std::mt19937 rng(5);
    std::uniform_int_distribution<int32_t> small(0, 40), wide(POLYGON_INT20_MIN, POLYGON_INT20_MAX);
    for (int round = 0; round < 200; round++) {
        Areas t;
        auto coord = [&] { return round % 4 == 3 ? wide(rng) : small(rng); };
        for (POLYGON_AREA** target : {&t.a, &t.b}) {
            Ring r;
            for (int i = 0; i < 3 + round % 7; i++)
                r.push_back({coord(), coord()});
            POLYGON_CONTOUR* c = MakeContour(r);
            if (!POLYGON_CheckContour(c)) {
                POLYGON_FreeContour(&c);
                continue;
            }
            if (!POLYGON_IsOuter(c))
                POLYGON_ReverseContour(c);
            POLYGON_InsertContour(target, c);
        }
        for (int op : OPS) {
            int code = t.Run(op);
            EXPECT_TRUE(code == POLYGON_OK || code == POLYGON_ERR_DATA);
        }
    }
}

// Star-shaped operands with holes, overlapping at random.
std::vector<Ring> StarWithHole(std::mt19937& rng, double cx, double cy, double size)
{
    // With six vertices or more the outer contour keeps 0.29 size away from
    // the centre, clear of the hole.
    std::vector<Ring> rings = {Star(rng, cx, cy, 6 + int(rng() % 20), size / 2, size, false)};
    if (rng() % 2)
        rings.push_back(Star(rng, cx, cy, 3 + int(rng() % 8), size / 10, size / 4, true));
    return rings;
}

TEST_F(PolygonBooleanTest, RandomOperandsAgreeWithMembershipAndClipper)
{
    for (int round = 0; round < 200; round++) {
        std::mt19937 rng(round);
        // Every other round small operands, where most crossings round off the
        // grid; every tenth round operands spanning the whole grid.
        bool small = round % 2 == 1, huge = round % 10 == 4;
        std::uniform_real_distribution<double> place(small ? -20 : -300, small ? 20 : 300);
        std::uniform_real_distribution<double> size(small ? 20 : (huge ? 480000 : 60), small ? 40 : (huge ? 520000 : 400));
        Areas t;
        double s = size(rng);
        t.a = MakeArea(StarWithHole(rng, place(rng), place(rng), s));
        std::vector<Ring> b = StarWithHole(rng, place(rng), place(rng), size(rng));
        if (round % 3 == 0 && !huge)   // a second, distant area
            for (const Ring& r : StarWithHole(rng, 2000, 2000, small ? 30 : 100))
                b.push_back(r);
        t.b = MakeArea(b);
        CheckAllOperations(t, rng, 40);
        if (HasFailure()) {
            ADD_FAILURE() << "round " << round;
            return;
        }
    }
}

// Rectangles, rectangles with holes and triangles on a coarse grid share
// edges, overlap along lines, touch at corners, put vertices on edges, lie
// inside each other or coincide.
std::vector<Ring> CoarseShape(std::mt19937& rng)
{
    auto c = [&] { return int32_t(rng() % 7) * 10; };
    for (;;) {
        int32_t x0 = c(), y0 = c(), x1 = c(), y1 = c();
        if (rng() % 3 == 0) {
            Ring tri = {{x0, y0}, {x1, y1}, {c(), c()}};
            int64_t cross = POLYGON_Cross(tri[0], tri[1], tri[2]);
            if (cross == 0)
                continue;
            if (cross < 0)
                std::swap(tri[1], tri[2]);
            return {tri};
        }
        if (x0 == x1 || y0 == y1)
            continue;
        std::vector<Ring> rings = {Rect(std::min(x0, x1), std::min(y0, y1), std::max(x0, x1), std::max(y0, y1))};
        if (std::abs(x1 - x0) >= 30 && std::abs(y1 - y0) >= 30 && rng() % 2)
            rings.push_back(Rect(std::min(x0, x1) + 10, std::min(y0, y1) + 10, std::max(x0, x1) - 10,
                                 std::max(y0, y1) - 10, true));
        return rings;
    }
}

TEST_F(PolygonBooleanTest, DegenerateOperandsAgreeWithMembershipAndClipper)
{
    for (int round = 0; round < 300; round++) {
        std::mt19937 rng(1000 + round);
        Areas t;
        std::vector<Ring> a = CoarseShape(rng);
        t.a = MakeArea(a);
        t.b = MakeArea(round % 10 == 0 ? a : CoarseShape(rng));
        CheckAllOperations(t, rng, 30);
        if (HasFailure()) {
            ADD_FAILURE() << "round " << round;
            return;
        }
    }
}


// Many areas with holes and islands inside the holes: the holes of the results
// are placed by the sweep rather than tested against every area.
TEST_F(PolygonBooleanTest, ManyAreasWithHolesAndIslands)
{
    std::vector<Ring> cells;
    for (int i = 0; i < 9; i++)
        for (int j = 0; j < 9; j++) {
            int32_t x = 100 * i, y = 100 * j;
            cells.push_back(Rect(x, y, x + 80, y + 80));
            cells.push_back(Rect(x + 20, y + 20, x + 60, y + 60, true));
            cells.push_back(Rect(x + 30, y + 30, x + 50, y + 50));
        }
    Areas t;
    t.a = MakeArea(cells);
    t.b = MakeArea({{{-10, 40}, {40, -10}, {900, 850}, {850, 900}}, Rect(610, -20, 690, 300)});
    std::mt19937 rng(3);
    CheckAllOperations(t, rng, 60);
}


// Every result, every refused operation and every operand goes back to the
// heap in full.
TEST_F(PolygonBooleanTest, NothingStaysAllocated)
{
    POOL_Done();
    POOL_Init();
    uint32_t before = MEMORY_LiveBlockCount();
    {
        std::mt19937 rng(9);
        Areas t;
        t.a = MakeArea(StarWithHole(rng, 0, 0, 300));
        t.b = MakeArea(StarWithHole(rng, 100, 50, 250));
        for (int op : OPS)
            ASSERT_EQ(t.Run(op), POLYGON_OK);
        t.b->cntr->head->point.g.y = POLYGON_INT20_MIN - 1;
        EXPECT_EQ(t.Run(POLYGON_OP_UNION), POLYGON_ERR_DATA);
        t.b->cntr->head->point.g.y = 0;
    }
    POOL_Done();
    EXPECT_EQ(MEMORY_LiveBlockCount(), before);
    POOL_Init();
}

}
