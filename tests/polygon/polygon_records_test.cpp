#include <gtest/gtest.h>
#include <new>
#include <set>
#include "tests/polygon/polygon_test_support.h"

using namespace polytest;

namespace {

class PolygonRecordsTest : public PolygonTest {};

TEST_F(PolygonRecordsTest, ContourCheckDropsCollinearVerticesAndSetsOrientation)
{
    POLYGON_CONTOUR* c = MakeContour({{0, 0}, {1, 0}, {2, 0}, {2, 2}, {0, 2}});
    ASSERT_TRUE(POLYGON_CheckContour(c));
    EXPECT_EQ(Text(Points(c)), Text({{0, 0}, {2, 0}, {2, 2}, {0, 2}}));
    EXPECT_TRUE(POLYGON_IsOuter(c));
    EXPECT_EQ(c->boxMin.g.x, 0);
    EXPECT_EQ(c->boxMax.g.y, 2);
    POLYGON_FreeContour(&c);
    EXPECT_EQ(c, nullptr);

    c = MakeContour({{0, 2}, {2, 2}, {2, 0}, {1, 0}, {0, 0}});
    ASSERT_TRUE(POLYGON_CheckContour(c));
    EXPECT_EQ(c->count, 4u);
    EXPECT_FALSE(POLYGON_IsOuter(c));
    POLYGON_FreeContour(&c);
}

TEST_F(PolygonRecordsTest, ContourCheckRemovesRepeatsSpikesAndRejectsDegenerateRings)
{
    // A repeated point, a spike out and back, and a collinear run across the head.
    POLYGON_CONTOUR* c = MakeContour({{5, 0}, {10, 0}, {10, 0}, {10, 10}, {10, 20}, {10, 10}, {0, 10}, {0, 0}});
    ASSERT_TRUE(POLYGON_CheckContour(c));
    EXPECT_EQ(c->count, 4u);
    EXPECT_EQ(POLYGON_DoubledArea(c), 200);
    POLYGON_FreeContour(&c);

    // Collinear, one point, and a figure eight: four corners, but zero signed area.
    for (const Ring& r : {Ring{{0, 0}, {5, 5}, {10, 10}, {3, 3}}, Ring{{1, 1}, {1, 1}, {1, 1}},
                          Ring{{0, 0}, {2, 2}, {2, 0}, {0, 2}}}) {
        c = MakeContour(r);
        EXPECT_FALSE(POLYGON_CheckContour(c)) << Text(r);
        POLYGON_FreeContour(&c);
    }
}

TEST_F(PolygonRecordsTest, ReversingFlipsTheRingAndItsFlag)
{
    POLYGON_CONTOUR* c = MakeContour({{0, 0}, {4, 0}, {0, 4}});
    ASSERT_TRUE(POLYGON_CheckContour(c));
    POLYGON_ReverseContour(c);
    EXPECT_FALSE(POLYGON_IsOuter(c));
    EXPECT_EQ(Text(Points(c)), Text({{0, 0}, {0, 4}, {4, 0}}));
    EXPECT_LT(POLYGON_DoubledArea(c), 0);
    POLYGON_CheckRing(c, true);
    POLYGON_FreeContour(&c);
}

TEST_F(PolygonRecordsTest, ClassifyQuad)
{
    POLYGON_IPOINT p[4] = {{0, 0}, {0, 0}, {1, 0}, {0, 1}};
    uint16_t kind = 99;
    POLYGON_ClassifyQuad(&p[0], &p[1], &p[2], &p[3], &kind);
    EXPECT_EQ(kind, 3);
    EXPECT_TRUE(POLYGON_SamePoint(p[0], {0, 0}) && POLYGON_SamePoint(p[1], {1, 0}) && POLYGON_SamePoint(p[2], {0, 1}));

    POLYGON_IPOINT q[4] = {{0, 0}, {1, 0}, {2, 0}, {5, 5}};
    POLYGON_ClassifyQuad(&q[0], &q[1], &q[2], &q[3], &kind);
    EXPECT_EQ(kind, 0);
    POLYGON_IPOINT r[4] = {{0, 0}, {4, 0}, {4, 4}, {0, 4}};
    POLYGON_ClassifyQuad(&r[0], &r[1], &r[2], &r[3], &kind);
    EXPECT_EQ(kind, 4);
    r[3] = r[0];
    POLYGON_ClassifyQuad(&r[0], &r[1], &r[2], &r[3], &kind);
    EXPECT_EQ(kind, 3);
    POLYGON_IPOINT s[4] = {{0, 0}, {4, 0}, {4, 0}, {8, 0}};
    POLYGON_ClassifyQuad(&s[0], &s[1], &s[2], &s[3], &kind);
    EXPECT_EQ(kind, 0);

    POLYGON_ClearPoints(&p[0], &p[1], &p[2]);
    EXPECT_TRUE(POLYGON_SamePoint(p[1], {0, 0}) && POLYGON_SamePoint(p[2], {0, 0}));
}

struct Big {
    double a[5];
};

TEST_F(PolygonRecordsTest, PoolHandsOutBlocksOfSixteen)
{
    POLYGON_FREELIST<Big> pool;
    std::set<Big*> seen;
    Big* objs[17];
    for (int i = 0; i < 16; i++) {
        objs[i] = pool.Alloc();
        objs[i]->a[0] = i + 1;
        seen.insert(objs[i]);
    }
    EXPECT_EQ(pool.BlockCount(), 1u);
    objs[16] = pool.Alloc();
    EXPECT_EQ(pool.BlockCount(), 2u);
    EXPECT_TRUE(pool.InNewestBlock(objs[16]));
    EXPECT_FALSE(pool.InNewestBlock(objs[0]));
    EXPECT_EQ(objs[16]->a[0], 0.0);
    seen.insert(objs[16]);
    EXPECT_EQ(seen.size(), 17u);

    // The iterator visits exactly the objects in use.
    pool.Free(objs[3]);
    pool.Free(objs[16]);
    int visited = 0;
    for (Big& b : pool) {
        EXPECT_NE(&b, objs[3]);
        EXPECT_NE(&b, objs[16]);
        visited++;
    }
    EXPECT_EQ(visited, 15);
    // A slot given back is reused first; giving it back twice is refused.
    EXPECT_EQ(pool.Alloc(), objs[16]);
    EXPECT_THROW(pool.Free(objs[3]), POLYGON_EXCEPTION);
    EXPECT_THROW(pool.Free(nullptr), POLYGON_EXCEPTION);
    pool.Clear();
    EXPECT_EQ(pool.BlockCount(), 0u);
    EXPECT_TRUE(pool.begin() == pool.end());
}

TEST_F(PolygonRecordsTest, EntryPointsTurnExceptionsIntoCodes)
{
    EXPECT_EQ(POLYGON_Catch([] {}), 0);
    EXPECT_EQ(POLYGON_Catch([] { POLYGON_Error(2); }), 2);
    EXPECT_EQ(POLYGON_Catch([] { throw std::bad_alloc(); }), 1);
    EXPECT_EQ(POLYGON_Catch([] { throw 42; }), 3);
    EXPECT_EQ(POLYGON_Alloc(SIZE_MAX / 2, 4), nullptr);
    void* block = POLYGON_Alloc(3, 5);
    ASSERT_NE(block, nullptr);
    POLYGON_Free(block);
    POLYGON_Free(nullptr);
}

TEST_F(PolygonRecordsTest, TriangleCountAndLookupAcrossTheRing)
{
    POLYGON_AREA* ring = MakeArea({{{0, 0}, {10, 0}, {10, 10}, {0, 10}}, {{20, 0}, {30, 0}, {30, 10}}});
    ASSERT_EQ(AreaCount(ring), 2u);
    POLYGON_AREA* second = ring->next;
    ring->triangles = static_cast<POLYGON_TRIANGLE*>(POLYGON_AllocOrRaise(2, sizeof(POLYGON_TRIANGLE)));
    ring->triangleCount = 2;
    second->triangles = static_cast<POLYGON_TRIANGLE*>(POLYGON_AllocOrRaise(5, sizeof(POLYGON_TRIANGLE)));
    second->triangleCount = 5;
    POLYGON_VNODE* h = second->cntr->head;
    for (int i = 0; i < 5; i++)
        second->triangles[i] = POLYGON_TRIANGLE{{h, h->next, h->next->next}};
    EXPECT_EQ(POLYGON_TriangleCount(ring), 7u);
    EXPECT_EQ(POLYGON_TriangleCount(nullptr), 0u);

    double x[3], y[3];
    POLYGON_GetTriangle(ring, 6, &x[0], &y[0], &x[1], &y[1], &x[2], &y[2]);
    EXPECT_EQ(x[0], 20.0);
    EXPECT_EQ(x[1], 30.0);
    EXPECT_EQ(y[2], 10.0);
    POLYGON_GetTriangle(ring, 7, &x[0], &y[0], &x[1], &y[1], &x[2], &y[2]);
    for (int i = 0; i < 3; i++)
        EXPECT_TRUE(x[i] == 0.0 && y[i] == 0.0);
    POLYGON_ApiFreeArea(&ring);
    EXPECT_EQ(ring, nullptr);
}

TEST_F(PolygonRecordsTest, HolesGoIntoTheSmallestEnclosingArea)
{
    // Two nested outer boundaries (an island inside a hole of a big square).
    POLYGON_AREA* ring = MakeArea({{{0, 0}, {100, 0}, {100, 100}, {0, 100}},
                                   {{10, 10}, {10, 90}, {90, 90}, {90, 10}},
                                   {{20, 20}, {80, 20}, {80, 80}, {20, 80}}});
    ASSERT_EQ(AreaCount(ring), 2u);
    POLYGON_CONTOUR* hole = MakeContour({{30, 30}, {30, 40}, {40, 40}, {40, 30}});
    ASSERT_TRUE(POLYGON_CheckContour(hole));
    POLYGON_InsertContour(&ring, hole);
    POLYGON_AREA* island = ring->next;
    EXPECT_EQ(island->cntr->next, hole);
    EXPECT_EQ(ring->cntr->next->next, nullptr);
    // A hole touching its outer contour along an edge still belongs to it.
    POLYGON_CONTOUR* touching = MakeContour({{20, 20}, {20, 30}, {25, 30}, {25, 20}});
    ASSERT_TRUE(POLYGON_CheckContour(touching));
    POLYGON_InsertContour(&ring, touching);
    EXPECT_EQ(island->cntr->next, touching);

    POLYGON_CONTOUR* stray = MakeContour({{200, 200}, {200, 210}, {210, 210}});
    ASSERT_TRUE(POLYGON_CheckContour(stray));
    EXPECT_EQ(POLYGON_Catch([&] { POLYGON_InsertContour(&ring, stray); }), 3);
    // Inside (1), outside (-1) or on the boundary (0), at doubled coordinates.
    const int points[][3] = {{5, 5, 1}, {15, 15, -1}, {50, 50, 1}, {35, 35, -1}, {10, 50, 0}};
    for (const auto& p : points)
        EXPECT_EQ(POLYGON_PointInArea2(ring, 2 * p[0], 2 * p[1]), p[2]) << p[0] << "," << p[1];

    POLYGON_AREA* copy = POLYGON_CopyArea(ring);
    EXPECT_EQ(AreaCount(copy), 2u);
    EXPECT_EQ(Text(Points(copy->next->cntr->next)), Text(Points(touching)));
    POLYGON_CheckGridArea(copy);
    POLYGON_FreeArea(&copy);
    POLYGON_FreeArea(&ring);
}

TEST_F(PolygonRecordsTest, GridAreaCheckRefusesBrokenRecords)
{
    POLYGON_AREA* ring = MakeArea({{{0, 0}, {10, 0}, {10, 10}}});
    POLYGON_CheckGridArea(ring);
    ring->cntr->head->point.g.x = POLYGON_INT20_MAX + 1;
    EXPECT_EQ(POLYGON_Catch([&] { POLYGON_CheckGridArea(ring); }), 3);
    ring->cntr->head->point.g.x = 0;
    ring->cntr->count = 4;  // the ring does not close after four steps
    EXPECT_EQ(POLYGON_Catch([&] { POLYGON_CheckGridArea(ring); }), 3);
    ring->cntr->count = 3;
    POLYGON_FreeArea(&ring);
}

TEST_F(PolygonRecordsTest, RandomNumbersAreFifteenBitsAndRepeatForASeed)
{
    POLYGON_SeedRandom(12345);
    uint32_t first[50];
    uint32_t top = 0;
    for (uint32_t& r : first) {
        r = POLYGON_Random15();
        top |= r;
    }
    EXPECT_LE(top, 0x7FFFu);
    EXPECT_GT(top, 0x4000u);
    POLYGON_SetTestSeed(12345);
    POLYGON_SeedFromTime();
    for (uint32_t r : first)
        EXPECT_EQ(POLYGON_Random15(), r);
}

}
