#include <gtest/gtest.h>
#include <cmath>
#include "simulation/satelit_draw.h"

TEST(SatelitDrawGeometry, AngularVelocityArrowBands)
{
    const double s = 2.0;
    struct Case {
        double w, length;
    } cases[] = {
        {0.0, 2.0},        {1e-5, 2.0},      {5.5e-5, 3.1},     {1e-4, 3.2},
        {1e-3, 3.6},       {1e-2, 4.2},      {0.1, 5.0},        {1.0, 6.0},
        {5.0, 2 * (3.0 + 0.6 * 4 / 9)},      {10.0, 7.2},       {100.0, 8.0},
    };
    for (const Case& c : cases) EXPECT_NEAR(SATELIT_AngularVelocityArrowLength(c.w, s), c.length, 1e-12) << c.w;
}

TEST(SatelitDrawGeometry, BordersOnTheSurface)
{
    double d = SATELIT_HorizonDistance(700.0);
    EXPECT_NEAR(d, 3069.1, 0.1);
    const VEC3 position{0.0, 7078.135 * 0.6, 7078.135 * 0.8};
    VEC3 points[SATELIT_BORDER_MAX_POINTS];
    ASSERT_EQ(SATELIT_BorderPoints(&position, d, 700.0, points), 100u);
    double theta;
    ASSERT_TRUE(SATELIT_BorderAngle(d, 700.0, &theta));
    // Every point lies just above the surface at the same angle from the sub-satellite point.
    for (const VEC3& p : points) {
        EXPECT_NEAR(VEC_Length(&p), 6380.135, 1e-6);
        EXPECT_NEAR(acos(VEC_Dot(&p, &position) / (6380.135 * 7078.135)), theta, 1e-9);
    }
    // The horizon circle seen from 700 km lies about 25.7 degrees away.
    EXPECT_NEAR(theta * 180 / M_PI, 25.7, 0.1);
    EXPECT_EQ(SATELIT_BorderPoints(&position, 1000.0, 700.0, points), 50u);
    EXPECT_EQ(SATELIT_BorderPoints(&position, 700.0, 700.0, points), 30u);
    // Shorter than the altitude less 10 km: nothing is drawn.
    EXPECT_EQ(SATELIT_BorderPoints(&position, 689.0, 700.0, points), 0u);
    // Beyond any reach the angle stays a number.
    ASSERT_TRUE(SATELIT_BorderAngle(1e6, 700.0, &theta));
    EXPECT_DOUBLE_EQ(theta, M_PI);
}

TEST(SatelitDrawGeometry, LocalFieldAxesAreNorthEastDown)
{
    VEC3 axes[3];
    const VEC3 equator{7000.0, 0.0, 0.0};
    SATELIT_LocalFieldAxes(&equator, axes);
    EXPECT_NEAR(axes[0].z, 1.0, 1e-12);
    EXPECT_NEAR(axes[1].y, 1.0, 1e-12);
    EXPECT_NEAR(axes[2].x, -1.0, 1e-12);
    const VEC3 pole{0.0, 0.0, 7000.0};
    SATELIT_LocalFieldAxes(&pole, axes);
    for (const VEC3& a : axes) EXPECT_NEAR(VEC_Length(&a), 1.0, 1e-12);
}
