#include <gtest/gtest.h>
#include <random>
#include <string>
#include "tests/polygon/polygon_test_support.h"

using namespace polytest;

namespace {

class PolygonTextTest : public PolygonTest {
protected:
    int ReadContourText(const std::string& text, POLYGON_CONTOUR** c)
    {
        testsupport::WriteFile(Path("c.txt"), text);
        return POLYGON_ReadContour(Path("c.txt").c_str(), c);
    }
    int ReadAreaText(const std::string& text, POLYGON_AREA** a)
    {
        testsupport::WriteFile(Path("a.txt"), text);
        return POLYGON_ReadArea(Path("a.txt").c_str(), a);
    }
};

POLYGON_AREA* FloatingTriangleArea(double x0, double y0, double x1, double y1, double x2, double y2)
{
    POLYGON_CONTOUR* c = POLYGON_NewContourF(x0, y0);
    POLYGON_AppendPointF(c, x1, y1);
    POLYGON_AppendPointF(c, x2, y2);
    c->flags = POLYGON_CONTOUR_OUTER;
    POLYGON_AREA* a = nullptr;
    POLYGON_AppendArea(&a, POLYGON_NewArea());
    a->cntr = c;
    return a;
}

TEST_F(PolygonTextTest, ContourFilesReadAndWrite)
{
    POLYGON_CONTOUR* tri = MakeContour({{0, 0}, {10, 0}, {0, 10}});
    ASSERT_EQ(POLYGON_WriteContour(Path("t.txt").c_str(), tri), 0);
    EXPECT_EQ(testsupport::ReadFile(Path("t.txt")), "3\n0,0\n10,0\n0,10\n");
    POLYGON_FreeContour(&tri);

    POLYGON_CONTOUR* c = nullptr;
    // White space, line ends and signs may precede every number.
    ASSERT_EQ(ReadContourText(" 4\n\n-5,  -5\n+5,-5\r\n 5,5\n-5,\t5", &c), 0);
    ASSERT_NE(c, nullptr);
    EXPECT_EQ(c->count, 4u);
    EXPECT_TRUE(POLYGON_IsOuter(c));
    EXPECT_EQ(c->head->prev->point.g.y, 5);
    POLYGON_FreeContour(&c);
}

TEST_F(PolygonTextTest, ContourReaderRefusesBadFiles)
{
    struct {
        const char* text;
        int code;
    } cases[] = {
        {"2\n0,0\n1,1\n", 3},                     // too few vertices
        {"3\n0,0\n10,0\n", 2},                    // ends before the last point
        {"3\n0,0\n10 ,0\n0,10\n", 2},             // the comma must follow x directly
        {"3\n0,0\n10;0\n0,10\n", 2},
        {"x\n", 2},
        {"", 2},
        {"3\n0,0\n524288,0\n0,10\n", 3},          // outside the 20-bit grid
        {"3\n0,0\n-524289,0\n0,10\n", 3},
        {"3\n0,0\n99999999999999999999999,0\n0,10\n", 3},  // would overflow "%d"
        {"99999999999\n0,0\n", 2},                // a count beyond "%d"
        {"-7\n", 3},
        {"3\n0,0\n5,5\n10,10\n", 3},              // collinear: no area
    };
    for (const auto& k : cases) {
        POLYGON_CONTOUR* c = reinterpret_cast<POLYGON_CONTOUR*>(1);
        EXPECT_EQ(ReadContourText(k.text, &c), k.code) << k.text;
        EXPECT_EQ(c, nullptr);
    }
    POLYGON_CONTOUR* c = nullptr;
    EXPECT_EQ(POLYGON_ReadContour(Path("missing.txt").c_str(), &c), 2);
    POLYGON_CONTOUR* tri = MakeContour({{0, 0}, {10, 0}, {0, 10}});
    EXPECT_EQ(POLYGON_WriteContour(Path("no/such/dir.txt").c_str(), tri), 2);
    EXPECT_EQ(POLYGON_WriteContour("/dev/full", tri), 2);
    POLYGON_FreeContour(&tri);
}

TEST_F(PolygonTextTest, AreaFilesRoundTripAndPlaceHoles)
{
    // The hole of the second group is written counter-clockwise and is turned;
    // the second group's hole lies in the first area and goes there.
    const char* text =
        "2\n"
        "2\n4\n0,0\n100,0\n100,100\n0,100\n4\n10,10\n20,10\n20,20\n10,20\n"
        "2\n3\n200,0\n300,0\n200,100\n4\n50,50\n50,60\n60,60\n60,50\n";
    POLYGON_AREA* a = nullptr;
    ASSERT_EQ(ReadAreaText(text, &a), 0);
    ASSERT_EQ(AreaCount(a), 2u);
    int holes = 0;
    for (POLYGON_CONTOUR* c = a->cntr->next; c; c = c->next, holes++)
        EXPECT_FALSE(POLYGON_IsOuter(c));
    EXPECT_EQ(holes, 2);
    EXPECT_EQ(a->next->cntr->next, nullptr);

    // Each hole goes right after its outer contour, so every reading turns
    // the order of an area's holes around: two round trips restore the file.
    ASSERT_EQ(POLYGON_WriteArea(Path("out.txt").c_str(), a), 0);
    EXPECT_EQ(testsupport::ReadFile(Path("out.txt")).substr(0, 16), "2\n3\n4\n0,0\n100,0\n");
    POLYGON_AREA* b = nullptr;
    ASSERT_EQ(POLYGON_ReadArea(Path("out.txt").c_str(), &b), 0);
    ASSERT_EQ(POLYGON_WriteArea(Path("out2.txt").c_str(), b), 0);
    POLYGON_AREA* c = nullptr;
    ASSERT_EQ(POLYGON_ReadArea(Path("out2.txt").c_str(), &c), 0);
    ASSERT_EQ(POLYGON_WriteArea(Path("out3.txt").c_str(), c), 0);
    EXPECT_NE(testsupport::ReadFile(Path("out.txt")), testsupport::ReadFile(Path("out2.txt")));
    EXPECT_EQ(testsupport::ReadFile(Path("out.txt")), testsupport::ReadFile(Path("out3.txt")));
    POLYGON_ApiFreeArea(&a);
    POLYGON_ApiFreeArea(&b);
    POLYGON_ApiFreeArea(&c);

    struct {
        const char* text;
        int code;
    } bad[] = {
        {"0\n", 2},
        {"1\n0\n", 2},
        {"1\n1\n3\n0,0\n10,0\n", 2},
        {"1\n2\n3\n0,0\n10,0\n0,10\n3\n50,50\n60,50\n50,60\n", 3},  // hole outside
        // A hole across the notch of its outer contour, every vertex inside.
        {"1\n2\n7\n0,0\n100,0\n100,100\n60,100\n50,40\n40,100\n0,100\n4\n30,50\n30,60\n70,60\n70,50\n", 3},
        {"2\n1\n3\n0,0\n10,0\n0,10\n1\n3\n0,0\n1,1\n2,2\n", 3},     // a flat contour
    };
    for (const auto& k : bad) {
        POLYGON_AREA* r = reinterpret_cast<POLYGON_AREA*>(1);
        EXPECT_EQ(ReadAreaText(k.text, &r), k.code) << k.text;
        EXPECT_EQ(r, nullptr);
    }
    // Holes that touch the notch's tip from below, along an edge and at a vertex, lie inside.
    for (const char* hole : {"4\n30,30\n70,30\n70,40\n30,40\n", "3\n30,50\n50,40\n50,20\n"}) {
        POLYGON_AREA* r = nullptr;
        EXPECT_EQ(ReadAreaText(std::string("1\n2\n7\n0,0\n100,0\n100,100\n60,100\n50,40\n40,100\n0,100\n") + hole, &r),
                  0)
            << hole;
        POLYGON_ApiFreeArea(&r);
    }
}

TEST_F(PolygonTextTest, RandomBytesAndMutatedFilesNeverSucceedWrongly)
{
    std::mt19937 rng(7);
    const std::string valid = "1\n2\n4\n0,0\n100,0\n100,100\n0,100\n3\n10,10\n10,20\n20,10\n";
    for (int round = 0; round < 200; round++) {
        std::string text;
        if (round % 2 == 0) {
            text.resize(rng() % 64);
            for (char& ch : text)
                ch = static_cast<char>(rng());
        } else {
            text = valid;
            for (int k = 0; k < 3; k++)
                text[rng() % text.size()] = "0123456789,-\n 9"[rng() % 16];
        }
        POLYGON_AREA* a = nullptr;
        int code = ReadAreaText(text, &a);
        if (round % 2 == 0)
            EXPECT_TRUE(code == 2 || code == 3) << code;
        else
            EXPECT_TRUE(code == 0 || code == 2 || code == 3) << code;
        EXPECT_EQ(code == 0, a != nullptr);
        if (a)
            POLYGON_CheckGridArea(a);
        POLYGON_ApiFreeArea(&a);
        POLYGON_CONTOUR* c = nullptr;
        code = ReadContourText(text, &c);
        EXPECT_TRUE(code == 0 || code == 2 || code == 3);
        POLYGON_FreeContour(&c);
    }
}

TEST_F(PolygonTextTest, GridMappingAtTheBoundsAndBack)
{
    const double lo[2] = {0, 0}, hi[2] = {1, 1};
    POLYGON_AREA* a = FloatingTriangleArea(0, 0, 1, 0.5, 0.5, 1);
    ASSERT_EQ(POLYGON_AreaToGrid(&a, lo, hi), 0);
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(Text(Points(a->cntr)), "-524288,-524288 524287,0 0,524287 ");
    EXPECT_EQ(a->cntr->boxMax.g.x, 524287);
    EXPECT_TRUE(POLYGON_IsOuter(a->cntr));

    ASSERT_EQ(POLYGON_AreaFromGrid(a, lo, hi), 0);
    EXPECT_EQ(a->cntr->head->point.f.x, 0.0);
    EXPECT_EQ(a->cntr->head->next->point.f.x, 1.0);
    EXPECT_NEAR(a->cntr->head->next->point.f.y, 0.5, 1e-6);
    EXPECT_EQ(a->cntr->boxMax.f.y, 1.0);

    double vMin[2] = {10, 10}, vMax[2] = {-10, -10};
    POLYGON_AreaBounds(a, vMin, vMax);
    EXPECT_EQ(vMin[0], 0.0);
    EXPECT_EQ(vMax[1], 1.0);
    POLYGON_ApiFreeArea(&a);
}

TEST_F(PolygonTextTest, GridConversionDropsCollapsedVerticesContoursAndAreas)
{
    const double lo[2] = {0, 0}, hi[2] = {1048575, 1048575};
    // Two vertices on one grid point become one.
    POLYGON_AREA* a = FloatingTriangleArea(0, 0, 100, 0, 100.2, 0.1);
    POLYGON_AppendPointF(a->cntr, 0, 100);
    ASSERT_EQ(POLYGON_AreaToGrid(&a, lo, hi), 0);
    EXPECT_EQ(a->cntr->count, 3u);
    POLYGON_ApiFreeArea(&a);

    // A last vertex that rounds onto the head leaves no zero-length edge.
    a = FloatingTriangleArea(0, 0, 100, 0, 100, 100);
    POLYGON_AppendPointF(a->cntr, 0.3, 0.2);
    ASSERT_EQ(POLYGON_AreaToGrid(&a, lo, hi), 0);
    EXPECT_EQ(a->cntr->count, 3u);
    POLYGON_CheckGridArea(a);
    POLYGON_IPOINT prev = a->cntr->head->prev->point.g;
    EXPECT_FALSE(POLYGON_SamePoint(prev, a->cntr->head->point.g));

    // A hole that collapses to two points goes; its area stays.
    POLYGON_ApiFreeArea(&a);
    a = FloatingTriangleArea(0, 0, 100, 0, 0, 100);
    POLYGON_CONTOUR* hole = POLYGON_NewContourF(10, 10);
    POLYGON_AppendPointF(hole, 10.1, 10.1);
    POLYGON_AppendPointF(hole, 20, 10);
    a->cntr->next = hole;
    // A second area whose outer boundary collapses goes with it.
    POLYGON_AREA* second = FloatingTriangleArea(500, 500, 500.2, 500.2, 500.1, 499.9);
    POLYGON_AppendArea(&a, second);
    ASSERT_EQ(POLYGON_AreaToGrid(&a, lo, hi), 0);
    EXPECT_EQ(AreaCount(a), 1u);
    EXPECT_EQ(a->cntr->next, nullptr);
    POLYGON_ApiFreeArea(&a);

    // When the last area collapses the reference becomes none.
    a = FloatingTriangleArea(5, 5, 5.1, 5.1, 5.2, 5);
    ASSERT_EQ(POLYGON_AreaToGrid(&a, lo, hi), 0);
    EXPECT_EQ(a, nullptr);
}

TEST_F(PolygonTextTest, GridConversionRefusesBadBounds)
{
    POLYGON_AREA* a = FloatingTriangleArea(0, 0, 10, 0, 0, 10);
    const double lo[2] = {0, 0}, hi[2] = {10, 10}, flat[2] = {10, 0}, tight[2] = {10, 9};
    EXPECT_EQ(POLYGON_AreaToGrid(&a, lo, flat), 3);
    EXPECT_EQ(POLYGON_AreaToGrid(&a, hi, lo), 3);
    EXPECT_EQ(POLYGON_AreaToGrid(&a, lo, tight), 3);
    // Nothing was converted by the refusals.
    EXPECT_EQ(a->cntr->head->next->point.f.x, 10.0);
    ASSERT_EQ(POLYGON_AreaToGrid(&a, lo, hi), 0);
    EXPECT_EQ(POLYGON_AreaFromGrid(a, hi, lo), 3);
    POLYGON_ApiFreeArea(&a);
}

}
