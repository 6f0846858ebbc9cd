// Satellite accessors: the body-frame rate and the period of a satellite at rest.
// (The other vectors and getters are checked through recorded result files.)
#include <gtest/gtest.h>
#include <cmath>
#include <cstring>
#include "simulation/satelit.h"
#include "simulation/satelit_access.h"

namespace {

// The body-frame angular velocity is the world rate turned by the transposed
// attitude matrix: a body turned 90 degrees about z sees a world x rate on -y.
TEST(SatelitAccessTest, BodyAngularVelocityAndRotationPeriod)
{
    SATELIT sat;
    memset(static_cast<void*>(&sat), 0, sizeof sat);
    double period = 0.0;
    SATELIT_GetRotationPeriod(&sat, &period);
    EXPECT_EQ(period, 1e100);

    sat.attitude.angularVelocity = {0.1, 0, 0};
    sat.attitude.rotationT = MAT33{{0, 1, 0, -1, 0, 0, 0, 0, 1}};
    VEC3 body{};
    SATELIT_GetVector(&sat, SATELIT_FindVectorId("AngularVelocityBodyWorld_BODY_rads"), &body);
    EXPECT_NEAR(body.x, 0.0, 1e-15);
    EXPECT_NEAR(body.y, -0.1, 1e-15);
    SATELIT_GetRotationPeriod(&sat, &period);
    EXPECT_NEAR(period, 2 * M_PI / 0.1, 1e-9);

    double untouched = 5.0;
    SATELIT_GetAltitude(nullptr, &untouched);
    EXPECT_EQ(untouched, 5.0);
}

}  // namespace
