// Satellite accessors: the named vectors and the getters that data output reads.
#include <gtest/gtest.h>
#include <cmath>
#include <cstring>
#include "simulation/satelit.h"
#include "simulation/satelit_access.h"

namespace {

TEST(SatelitAccessTest, VectorNamesMatchWithoutCaseAndUnknownGivesZero)
{
    EXPECT_EQ(SATELIT_FindVectorId("positionvector_eci_km"), SATELIT_VECTOR_POSITION_ECI);
    EXPECT_EQ(SATELIT_FindVectorId("AngularVelocityBodyWorld_BODY_rads"), SATELIT_VECTOR_ANGULAR_VELOCITY_BODY);
    EXPECT_EQ(SATELIT_FindVectorId("PositionVector_ECI"), 0u);
    SATELIT sat;
    memset(static_cast<void*>(&sat), 0, sizeof sat);
    sat.position = {1, 2, 3};
    VEC3 v{9, 9, 9};
    SATELIT_GetVector(&sat, 0, &v);
    EXPECT_EQ(v.x, 0.0);
    EXPECT_EQ(v.y, 0.0);
    EXPECT_EQ(v.z, 0.0);
}

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
