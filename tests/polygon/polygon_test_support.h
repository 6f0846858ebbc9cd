// Helpers shared by the polygon tests: building grid contours and areas from
// point lists, and a fresh log, heap and pools per test.
#pragma once
#include <gtest/gtest.h>
#include <cstdint>
#include <filesystem>
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

inline uint32_t AreaCount(const POLYGON_AREA* area)
{
    uint32_t n = 0;
    const POLYGON_AREA* a = area;
    if (a)
        do {
            n++;
            a = a->next;
        } while (a != area);
    return n;
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
