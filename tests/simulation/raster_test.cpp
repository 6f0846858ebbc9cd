// Projected-area raster: scan conversion, union counting, the count and sums
// against the pixels themselves, mapping limits and recycled recordings.
#include <gtest/gtest.h>
#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <random>
#include <set>
#include <string>
#include <vector>
#include "foundation/log.h"
#include "simulation/raster.h"

namespace {

class RasterTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        LOG_Init();
        RASTER_Reset();
        ASSERT_EQ(RASTER_Init(), 1u);
        RASTER_SetRangeX(0.0, 511.0);  // plane units are pixels
        RASTER_SetRangeY(0.0, 511.0);
    }
    void TearDown() override { RASTER_Done(); }
};

RASTER_PIXEL Px(int x, int y) { return RASTER_PIXEL{static_cast<int16_t>(x), static_cast<int16_t>(y)}; }

uint32_t Count()
{
    uint32_t n;
    RASTER_GetPixelCount(&n);
    return n;
}

std::vector<bool> Covered()
{
    const uint8_t* b = RASTER_GetBuffer();
    std::vector<bool> covered(512 * 512);
    for (int i = 0; i < 512 * 512; ++i) covered[i] = b[i] == 255;
    return covered;
}

// The count and the centroid agree with the pixels of the buffer, and every
// pixel is either empty or covered.
void ExpectConsistent()
{
    const uint8_t* b = RASTER_GetBuffer();
    uint32_t n = 0;
    double xs = 0, ys = 0;
    for (int y = 0; y < 512; ++y)
        for (int x = 0; x < 512; ++x) {
            ASSERT_TRUE(b[y * 512 + x] == 0 || b[y * 512 + x] == 255);
            if (b[y * 512 + x]) {
                ++n;
                xs += x;
                ys += y;
            }
        }
    ASSERT_EQ(Count(), n);
    double cx, cy;
    RASTER_GetPixelCentroid(&cx, &cy);
    EXPECT_DOUBLE_EQ(cx, n ? xs / n : 0.0);
    EXPECT_DOUBLE_EQ(cy, n ? ys / n : 0.0);
}

std::vector<int> CoveredInRow(int row)
{
    std::vector<int> columns;
    const uint8_t* b = RASTER_GetBuffer();
    for (int x = 0; x < 512; ++x)
        if (b[row * 512 + x]) columns.push_back(x);
    return columns;
}

TEST_F(RasterTest, FullRangeQuadCoversEveryPixelAndEraseEmptiesIt)
{
    RASTER_SetRangeX(-0.05, 0.05);
    RASTER_SetRangeY(0.0, 0.2);
    RASTER_POINT quad[4] = {{-0.05, 0.0}, {0.05, 0.0}, {0.05, 0.2}, {-0.05, 0.2}};
    RASTER_AddQuad(quad);
    EXPECT_EQ(Count(), 262144u);
    double area, x, y;
    RASTER_GetArea(&area);
    EXPECT_NEAR(area, 512.0 * 512.0 / (511.0 / 0.1) / (511.0 / 0.2), 1e-15);
    RASTER_GetCentroid(&x, &y);
    EXPECT_NEAR(x, 256.0 / (511.0 / 0.1) - 0.05, 1e-15);
    ExpectConsistent();
    RASTER_ErasePlaneQuad(quad);
    EXPECT_EQ(Count(), 0u);
    ExpectConsistent();
    RASTER_GetArea(&area);
    RASTER_GetCentroid(&x, &y);
    EXPECT_EQ(area, 0.0);  // nothing covered: no division by the zero count
    EXPECT_EQ(x, 0.0);
    EXPECT_EQ(y, 0.0);
}

// The scan conversion written out plainly, with a division per row: the
// pixels of each row between the columns of its two edges.
std::vector<bool> PlainTriangle(RASTER_PIXEL v0, RASTER_PIXEL v1, RASTER_PIXEL v2)
{
    std::vector<bool> pixels(512 * 512, false);
    auto span = [&](int y, int x1, int x2) {
        for (int x = std::min(x1, x2); x <= std::max(x1, x2); ++x) pixels[y * 512 + x] = true;
    };
    auto column = [](int x0, int y0, int x1, int y1, int y) {
        int dx = x1 - x0, dy = y1 - y0, r = dx < 0 ? -(dy / 2) : dy / 2;
        return x0 + ((y - y0) * dx + r) / dy;
    };
    RASTER_PIXEL v[3] = {v0, v1, v2};
    int a = 0;
    for (int i = 1; i < 3; ++i)
        if (v[i].y <= v[a].y) a = i;
    int p = a == 0 ? 1 : 0, q = a == 2 ? 1 : 2;
    int b = v[q].x <= v[p].x ? q : p, c = b == q ? p : q;
    int m = v[b].y >= v[c].y ? c : b, t = m == b ? c : b;
    RASTER_PIXEL A = v[a], M = v[m], T = v[t];
    int longAtM = A.x;
    if (T.y != A.y && M.y == A.y) span(A.y, A.x, M.x);
    for (int y = A.y; T.y != A.y && M.y != A.y && y <= M.y; ++y) {
        longAtM = column(A.x, A.y, T.x, T.y, y);
        span(y, longAtM, column(A.x, A.y, M.x, M.y, y));
    }
    if (T.y == M.y) span(M.y, v[b].x, v[c].x);
    for (int y = M.y + 1; y <= T.y; ++y) span(y, column(longAtM, M.y, T.x, T.y, y), column(M.x, M.y, T.x, T.y, y));
    return pixels;
}

// Triangles of every shape, the longest and flattest edges included, cover
// exactly the pixels of the plain scan conversion.
TEST_F(RasterTest, TrianglesCoverThePixelsOfThePlainScan)
{
    std::mt19937 random(3);
    std::uniform_int_distribution<int> coordinate(0, 511), edge(0, 3);
    for (int i = 0; i < 400; ++i) {
        RASTER_PIXEL p[3];
        for (RASTER_PIXEL& q : p) {
            int x = coordinate(random), y = coordinate(random);
            q = Px(edge(random) ? x : x % 2 * 511, edge(random) ? y : y % 2 * 511);  // often on the border
        }
        RASTER_Clear();
        RASTER_FillTriangle(p[0], p[1], p[2]);
        ASSERT_TRUE(Covered() == PlainTriangle(p[0], p[1], p[2])) << i;
    }
}

TEST_F(RasterTest, DegenerateTrianglesAndFlatRows)
{
    // Three corners on one row: only the span between the first two.
    RASTER_FillTriangle(Px(100, 50), Px(120, 50), Px(300, 50));
    EXPECT_EQ(CoveredInRow(50).size(), 21u);
    EXPECT_EQ(CoveredInRow(50).front(), 100);
    RASTER_Clear();
    // Three corners in one pixel: that pixel.
    RASTER_FillTriangle(Px(7, 9), Px(7, 9), Px(7, 9));
    EXPECT_EQ(Count(), 1u);
    EXPECT_EQ(RASTER_GetBuffer()[9 * 512 + 7], 255);
    RASTER_Clear();
    // The middle corner on the lowest corner's row: that row is filled between
    // the two, whichever has the smaller column.
    for (int order = 0; order < 2; ++order) {
        RASTER_PIXEL top1 = Px(40, 10), top2 = Px(90, 10), bottom = Px(60, 80);
        if (order) std::swap(top1, top2);
        RASTER_FillTriangle(top1, bottom, top2);
        std::vector<int> row = CoveredInRow(10);
        ASSERT_EQ(row.size(), 51u);
        EXPECT_EQ(row.front(), 40);
        EXPECT_EQ(CoveredInRow(80), std::vector<int>{60});
        RASTER_Clear();
    }
    EXPECT_EQ(Count(), 0u);
    ExpectConsistent();
}

TEST_F(RasterTest, SpansGivenFromOutsideStayInside)
{
    RASTER_FillSpan(3, 600, 505);  // either order; the end beyond the raster is its last column
    EXPECT_EQ(CoveredInRow(3).size(), 7u);
    RASTER_FillSpan(512, 0, 10);  // no such row
    RASTER_FillSpan(3, 508, 509);  // covered already
    EXPECT_EQ(Count(), 7u);
    RASTER_EraseSpan(3, 0, 507);
    EXPECT_EQ(Count(), 4u);
    ExpectConsistent();
}

// Rows whose covered pixels are not one run between their first and last
// filled columns: two shapes side by side on the same rows, a hole erased in
// the middle, and an erased edge, at word boundaries and inside words.
TEST_F(RasterTest, RowsWithGapsAndHolesCountEachPixelOnce)
{
    const std::array<RASTER_PIXEL, 4> left{Px(10, 10), Px(63, 10), Px(63, 200), Px(10, 200)};
    RASTER_FillQuad(left.data());
    RASTER_FillQuad(std::array<RASTER_PIXEL, 4>{Px(65, 100), Px(300, 100), Px(300, 300), Px(65, 300)}.data());
    RASTER_FillQuad(left.data());  // again: nothing changes
    EXPECT_EQ(Count(), 54u * 191u + 236u * 201u);
    ExpectConsistent();
    RASTER_EraseQuad(std::array<RASTER_PIXEL, 4>{Px(128, 150), Px(191, 150), Px(191, 160), Px(128, 160)}.data());
    RASTER_EraseSpan(250, 65, 100);
    EXPECT_EQ(Count(), 54u * 191u + 236u * 201u - 64u * 11u - 36u);
    ExpectConsistent();
    RASTER_FillSpan(250, 65, 100);  // the erased edge filled again: one run once more
    RASTER_FillSpan(150, 64, 64);   // the gap between the two closed on one row
    EXPECT_EQ(Count(), 54u * 191u + 236u * 201u - 64u * 11u + 1u);
    ExpectConsistent();
}

// Triangles filled and erased one after another, thin ones side by side so
// that rows hold many runs at once: the raster always holds the union of what
// each filled alone, less what the erased ones covered alone.
TEST_F(RasterTest, FillsAndErasesInAnyOrderKeepTheUnionOfTheirPixels)
{
    std::mt19937 random(5);
    std::uniform_int_distribution<int> coordinate(0, 511), width(0, 40), percent(0, 99);
    for (int round = 0; round < 30; ++round) {
        struct Shape {
            RASTER_PIXEL p[3];
            bool erase;
            std::vector<bool> pixels;
        };
        std::vector<Shape> shapes(2 + random() % 14);
        for (Shape& shape : shapes) {
            int x = coordinate(random), narrow = percent(random) < 70;
            for (RASTER_PIXEL& q : shape.p)
                q = Px(narrow ? std::min(511, x + width(random)) : coordinate(random), coordinate(random));
            shape.erase = percent(random) < 20;
            RASTER_Clear();
            RASTER_FillTriangle(shape.p[0], shape.p[1], shape.p[2]);
            shape.pixels = Covered();
        }
        RASTER_Clear();
        std::vector<bool> model(512 * 512, false);
        for (const Shape& shape : shapes) {
            if (shape.erase) RASTER_EraseTriangle(shape.p[0], shape.p[1], shape.p[2]);
            else RASTER_FillTriangle(shape.p[0], shape.p[1], shape.p[2]);
            for (size_t i = 0; i < model.size(); ++i)
                model[i] = shape.erase ? model[i] && !shape.pixels[i] : model[i] || shape.pixels[i];
            ASSERT_EQ(Count(), static_cast<uint32_t>(std::count(model.begin(), model.end(), true))) << round;
        }
        ASSERT_TRUE(Covered() == model) << round;
        ExpectConsistent();
    }
}

TEST_F(RasterTest, MappingClampsAndEqualBoundsWiden)
{
    RASTER_SetRangeX(2.0, 4.0);
    RASTER_SetRangeY(0.0, 0.0);  // widened by 1e-20 on each side
    RASTER_PIXEL p;
    const double inf = std::numeric_limits<double>::infinity();
    struct { double x; int column; } cases[] = {
        {2.0, 0}, {4.0, 511}, {3.0, 255}, {1.0, 0}, {5.0, 511}, {1e300, 511}, {-1e300, 0}, {inf, 511}, {-inf, 0},
        {std::nan(""), 0},
    };
    for (const auto& c : cases) {
        RASTER_POINT point{c.x, 0.0};
        RASTER_PlaneToPixel(&point, &p);
        EXPECT_EQ(p.x, c.column) << c.x;
    }
    RASTER_POINT top{3.0, 1e-20};
    RASTER_PlaneToPixel(&top, &p);
    EXPECT_EQ(p.y, 511);
    RASTER_POINT middle{3.0, 0.0};
    RASTER_PlaneToPixel(&middle, &p);
    EXPECT_EQ(p.y, 255);
}

std::set<const RASTER_TRIANGLE*> Triangles(const RASTER_TRIANGLE_LIST* list)
{
    std::set<const RASTER_TRIANGLE*> set;
    for (const RASTER_TRIANGLE* t = list->head; t; t = t->next) set.insert(t);
    return set;
}

void Measure(const RASTER_POINT* quads, int count)
{
    RASTER_Clear();
    RASTER_StartRecording();
    RASTER_SetRangeX(0.0, 1.0);
    RASTER_SetRangeY(0.0, 1.0);
    for (int i = 0; i < count; ++i) RASTER_AddQuad(quads + 4 * i);
}

// A recording holds the two triangles of each quad, newest first, in plane
// coordinates; returned records are reused, the last returned first, so steady
// measuring allocates nothing.
TEST_F(RasterTest, RecordingsAreTakenReturnedAndReused)
{
    const RASTER_POINT quads[12] = {{0.1, 0.1}, {0.5, 0.1}, {0.5, 0.5}, {0.1, 0.5}, {0.2, 0.2}, {0.9, 0.2},
                                    {0.9, 0.9}, {0.2, 0.9}, {0.0, 0.0}, {0.3, 0.0}, {0.3, 0.3}, {0.0, 0.3}};
    Measure(quads, 3);
    RASTER_TRIANGLE_LIST* first = RASTER_TakeRecording();
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first->count, 6u);
    EXPECT_EQ(first->head->corners[1].x, 0.3);  // (0, 2, 3) of the last quad
    EXPECT_EQ(first->head->corners[2].y, 0.3);
    EXPECT_EQ(first->tail->corners[1].x, 0.5);  // (0, 1, 2) of the first quad
    EXPECT_EQ(first->tail->next, nullptr);
    EXPECT_EQ(RASTER_TakeRecording(), nullptr);

    Measure(quads, 3);
    RASTER_TRIANGLE_LIST* second = RASTER_TakeRecording();
    std::set<const RASTER_TRIANGLE*> pool = Triangles(first);
    for (const RASTER_TRIANGLE* t : Triangles(second)) pool.insert(t);
    RASTER_FreeRecording(first);
    for (int cycle = 0; cycle < 50; ++cycle) {
        Measure(quads, 3);
        RASTER_TRIANGLE_LIST* next = RASTER_TakeRecording();
        for (const RASTER_TRIANGLE* t : Triangles(next)) EXPECT_TRUE(pool.count(t)) << cycle;
        RASTER_FreeRecording(second);
        second = next;
    }
    std::set<const RASTER_TRIANGLE*> returned = Triangles(second);
    RASTER_FreeRecording(second);
    Measure(quads, 3);
    second = RASTER_TakeRecording();
    EXPECT_TRUE(Triangles(second) == returned);  // the records returned last, at once
    // A clear with an untaken recording gives its records back as well.
    Measure(quads, 3);
    RASTER_Clear();
    Measure(quads, 3);
    RASTER_TRIANGLE_LIST* afterClear = RASTER_TakeRecording();
    for (const RASTER_TRIANGLE* t : Triangles(afterClear)) EXPECT_TRUE(pool.count(t));
    RASTER_FreeRecording(afterClear);
    RASTER_FreeRecording(second);
    // Recording off: the pixels are filled, nothing is recorded.
    RASTER_Clear();
    RASTER_AddQuad(quads);
    EXPECT_EQ(RASTER_TakeRecording(), nullptr);
    EXPECT_GT(Count(), 0u);
}

}  // namespace
