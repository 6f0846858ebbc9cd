#include <gtest/gtest.h>
#include <cmath>
#include <cstring>
#include <vector>
#include "foundation/pool.h"
#include "models/magfield.h"
#include "simulation/main.h"
#include "tests/foundation/iotxt_test_support.h"
#include "view/camera.h"
#include "view/magfield_display.h"
#include "view/scene.h"

using iotxttest::LogText;

namespace {

class MagfieldDisplay : public ::testing::Test {
protected:
    void SetUp() override
    {
        LOG_Init();
        MEMORY_Init();
        POOL_Init();
        g_simClock.clock = testsupport::MsOf(2006, 1, 1);
        MAGFIELD_Init();
        MAGFIELD_PrepareDisplayData(600000, 0.01);
    }
    void TearDown() override { MAGFIELD_Done(); }
};

// North, east and down unit vectors at a latitude and longitude, Earth-fixed.
VEC3 NedToEcef(double phi, double lambda, double n, double e, double d)
{
    VEC3 north{-sin(phi) * cos(lambda), -sin(phi) * sin(lambda), cos(phi)};
    VEC3 east{-sin(lambda), cos(lambda), 0};
    VEC3 down{-cos(phi) * cos(lambda), -cos(phi) * sin(lambda), -sin(phi)};
    return VEC3{n * north.x + e * east.x + d * down.x, n * north.y + e * east.y + d * down.y,
                n * north.z + e * east.z + d * down.z};
}

}  // namespace

TEST_F(MagfieldDisplay, GridSegmentsFollowTheLocalField)
{
    const double lats[] = {-89, 0, 50, 89};
    const uint32_t latIndex[] = {0, 10, 15, 20};
    const uint32_t lonIndex[] = {0, 5, 13, 23};
    for (int i = 0; i < 4; i++) {
        for (uint32_t j : lonIndex) {
            const MAGFIELD_SEGMENT* s = MAGFIELD_GetGridSegment(latIndex[i], j);
            ASSERT_NE(s, nullptr);
            EXPECT_NEAR(VEC_Length(&s->start), 69.78135, 1e-9);
            double phi = lats[i] * M_PI / 180, lambda = (-180.0 + 15.0 * j) * M_PI / 180;
            float n, e, d;
            MAGFIELD_WmmFieldAt((float)lats[i], (float)(-180.0 + 15.0 * j), 600000.0f, 2006.0f, &n, &e, &d);
            VEC3 expected = NedToEcef(phi, lambda, n * 1e-4, e * 1e-4, d * 1e-4);   // 60000 nT give 6 units
            EXPECT_NEAR(s->end.x - s->start.x, expected.x, 1e-6) << lats[i] << " " << j;
            EXPECT_NEAR(s->end.y - s->start.y, expected.y, 1e-6);
            EXPECT_NEAR(s->end.z - s->start.z, expected.z, 1e-6);
        }
    }
}

TEST_F(MagfieldDisplay, LinesLeaveTheSurfaceAndEndWithinTheirLimits)
{
    uint32_t points = 0;
    for (uint32_t i = 0; i < MAGFIELD_LINE_COUNT; i++) {
        const MAGFIELD_LINE* line = MAGFIELD_GetLine(i);
        ASSERT_GT(line->count, 1u) << i;
        ASSERT_LE(line->count, MAGFIELD_LINE_MAX_POINTS);
        EXPECT_NEAR(VEC_Length(&line->points[0]), 63.78135, 1e-5);
        // Traced outwards, whichever way the field points at the start.
        EXPECT_GT(VEC_Length(&line->points[1]), 63.78135) << i;
        for (uint32_t p = 1; p < line->count; p++) {
            EXPECT_LE(VEC_Length(&line->points[p]), 318.90675 + 1e-9);
            EXPECT_GE(VEC_Distance(&line->points[p], &line->points[p - 1]), 3.0 - 1e-9);
        }
        points += line->count;
    }
    EXPECT_GT(points, 32u * 3);
    // 504 grid points, 32 line starts and the trace steps.
    EXPECT_GT(MAGFIELD_GetEvaluationCount(), 504u + 32u + points);
    char expected[120];
    snprintf(expected, sizeof expected, "celkem %u bodů.\n", MAGFIELD_GetEvaluationCount());
    EXPECT_NE(LogText().find(expected), std::string::npos);
    EXPECT_EQ(MAGFIELD_GetPrepareState(), MAGFIELD_PREP_DONE);
}

// A run start only asks for the data; switching the display on computes them
// for the date of that request, the same as computed at once, and only once.
TEST_F(MagfieldDisplay, RequestedDataAreComputedWhenTheDisplayIsSwitchedOn)
{
    std::vector<MAGFIELD_SEGMENT> grid(MAGFIELD_GetGridSegment(0, 0),
                                       MAGFIELD_GetGridSegment(0, 0) + MAGFIELD_GRID_LATITUDES * MAGFIELD_GRID_LONGITUDES);
    std::vector<std::vector<VEC3>> lines;
    for (uint32_t i = 0; i < MAGFIELD_LINE_COUNT; i++) {
        const MAGFIELD_LINE* line = MAGFIELD_GetLine(i);
        lines.emplace_back(line->points, line->points + line->count);
    }
    MAGFIELD_Done();
    LOG_Init();
    MAGFIELD_Init();
    MAGFIELD_RequestDisplayData(600000, 0.01);
    EXPECT_EQ(MAGFIELD_GetLine(0)->count, 0u);
    EXPECT_EQ(LogText().find("MAGFIELD"), std::string::npos);
    g_simClock.clock = testsupport::MsOf(2007, 7, 1);
    ORBIT_SetFieldDisplayMode(ORBIT_FIELD_DISPLAY_OFF);
    EXPECT_EQ(MAGFIELD_GetLine(0)->count, 0u);
    ORBIT_CmdMagFieldLines();
    ORBIT_CmdMagFieldVectors();
    EXPECT_EQ(memcmp(MAGFIELD_GetGridSegment(0, 0), grid.data(), grid.size() * sizeof(MAGFIELD_SEGMENT)), 0);
    for (uint32_t i = 0; i < MAGFIELD_LINE_COUNT; i++) {
        const MAGFIELD_LINE* line = MAGFIELD_GetLine(i);
        ASSERT_EQ(line->count, lines[i].size());
        EXPECT_EQ(memcmp(line->points, lines[i].data(), line->count * sizeof(VEC3)), 0) << i;
    }
    std::string log = LogText();
    size_t first = log.find("celkem");
    EXPECT_NE(first, std::string::npos);
    EXPECT_EQ(log.find("celkem", first + 1), std::string::npos);
    g_scene.fieldDisplayMode = ORBIT_FIELD_DISPLAY_OFF;
}
