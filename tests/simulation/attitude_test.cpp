// The rigid-body integrator against closed forms: conserved momentum and
// energy, torque-free precession, a magnetic pendulum and linear damping.
#include <gtest/gtest.h>
#include <cmath>
#include <cstring>
#include <vector>
#include "simulation/attitude.h"

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kCubeInertia = 0.0017346938775510;  // the 0.1 m, 1 kg cube

MAT33 Diagonal(double a, double b, double c) { return MAT33{{a, 0, 0, 0, b, 0, 0, 0, c}}; }

ATTITUDE_STATE MakeBody(uint32_t method, const MAT33& inertia, VEC3 w, QUAT q = QUAT{1, 0, 0, 0})
{
    ATTITUDE_STATE a{};
    VEC3 zero{0, 0, 0};
    ATTITUDE_SetMethod(&a, method);
    ATTITUDE_SetInertia(&a, &inertia);
    ATTITUDE_SetQuaternion(&a, &q);
    ATTITUDE_SetAngularVelocity(&a, &w);
    ATTITUDE_SetTorque(&a, &zero);
    EXPECT_EQ(ATTITUDE_Init(&a), 1u);
    return a;
}

// Relative change of the kinetic energy over a torque-free run.
double EnergyDrift(uint32_t method, double dt, double seconds, const MAT33& inertia, VEC3 w)
{
    ATTITUDE_STATE a = MakeBody(method, inertia, w);
    double e0 = a.energy;
    long steps = std::lround(seconds / dt);
    for (long i = 0; i < steps; ++i) ATTITUDE_Step(&a, dt);
    return (a.energy - e0) / e0;
}

VEC3 BodyRate(const ATTITUDE_STATE& a)
{
    VEC3 w;
    MAT_MulVectorTo(&a.rotationT, &a.angularVelocity, &w);
    return w;
}

TEST(AttitudeInit, RefusesASingularInertia)
{
    ATTITUDE_STATE a{};
    MAT33 zero{};
    ATTITUDE_SetInertia(&a, &zero);
    a.attitude = QUAT{1, 0, 0, 0};
    EXPECT_EQ(ATTITUDE_Init(&a), 0u);
}

TEST(AttitudeInit, AStepOfNoTimeChangesNothing)
{
    ATTITUDE_STATE a = MakeBody(ATTITUDE_FOURTH_ORDER, Diagonal(2e-3, 3e-3, 4e-3), VEC3{0.1, 0.05, -0.08});
    VEC3 torque{1e-3, 0, 0};
    ATTITUDE_SetTorque(&a, &torque);
    ATTITUDE_STATE before = a;
    ATTITUDE_Step(&a, 0.0);
    EXPECT_EQ(memcmp(&a.attitude, &before.attitude, sizeof a.attitude), 0);
    EXPECT_EQ(memcmp(&a.angularMomentum, &before.angularMomentum, sizeof a.angularMomentum), 0);
    EXPECT_EQ(a.firstStep, 1u);
    ATTITUDE_Step(&a, 0.01);
    EXPECT_TRUE(std::isfinite(a.omegaDDDot.x));
}

TEST(AttitudeTorqueFree, AngularMomentumStaysBitForBit)
{
    MAT33 inertia = Diagonal(2e-3, 3e-3, 4e-3);
    for (uint32_t method = ATTITUDE_EULER; method <= ATTITUDE_FOURTH_ORDER; ++method) {
        ATTITUDE_STATE a = MakeBody(method, inertia, VEC3{0.1, 0.05, -0.08});
        VEC3 l0 = a.angularMomentum;
        for (int i = 0; i < 5000; ++i) ATTITUDE_Step(&a, 0.01);
        EXPECT_EQ(a.angularMomentum.x, l0.x) << method;
        EXPECT_EQ(a.angularMomentum.y, l0.y) << method;
        EXPECT_EQ(a.angularMomentum.z, l0.z) << method;
        double qLength = std::sqrt(a.attitude.w * a.attitude.w + a.attitude.x * a.attitude.x +
                                   a.attitude.y * a.attitude.y + a.attitude.z * a.attitude.z);
        EXPECT_NEAR(qLength, 1.0, 1e-12) << method;
    }
}

TEST(AttitudeTorqueFree, EnergyDriftShrinksWithTheOrderOfTheMethod)
{
    MAT33 inertia = Diagonal(2e-3, 3e-3, 4e-3);
    VEC3 w{0.1, 0.05, -0.08};
    struct Expect { uint32_t method; double low, high; };
    const Expect expects[] = {{ATTITUDE_EULER, 1.7, 2.3},
                              {ATTITUDE_SECOND_ORDER, 3.5, 6.5},
                              {ATTITUDE_THIRD_ORDER, 7.5, 8.5},
                              {ATTITUDE_FOURTH_ORDER, 7.5, 8.5}};
    for (const Expect& e : expects) {
        double coarse = EnergyDrift(e.method, 0.02, 1200.0, inertia, w);
        double fine = EnergyDrift(e.method, 0.01, 1200.0, inertia, w);
        EXPECT_GT(coarse / fine, e.low) << e.method << " " << coarse << " " << fine;
        EXPECT_LT(coarse / fine, e.high) << e.method << " " << coarse << " " << fine;
    }
    EXPECT_NEAR(EnergyDrift(ATTITUDE_FOURTH_ORDER, 0.02, 1200.0, inertia, w), -1.5e-8, 0.1e-8);
    EXPECT_NEAR(EnergyDrift(ATTITUDE_FOURTH_ORDER, 0.01, 1200.0, inertia, w), -1.9e-9, 0.1e-9);
}

TEST(AttitudeTorqueFree, EulerKeepsTheRateOnlyWhereNothingPrecesses)
{
    // Isotropic inertia and a spin about a principal axis keep omega exactly.
    ATTITUDE_STATE iso = MakeBody(ATTITUDE_EULER, Diagonal(kCubeInertia, kCubeInertia, kCubeInertia),
                                  VEC3{0.1, -0.2, 0.3});
    ATTITUDE_STATE axis = MakeBody(ATTITUDE_EULER, Diagonal(2e-3, 3e-3, 4e-3), VEC3{0, 0.2, 0});
    for (int i = 0; i < 2000; ++i) {
        ATTITUDE_Step(&iso, 0.01);
        ATTITUDE_Step(&axis, 0.01);
    }
    EXPECT_NEAR(iso.angularVelocity.x, 0.1, 1e-12);
    EXPECT_NEAR(iso.angularVelocity.z, 0.3, 1e-12);
    EXPECT_NEAR(axis.angularVelocity.y, 0.2, 1e-12);
    EXPECT_NEAR(axis.angularVelocity.x, 0.0, 1e-12);
    // A general spin of an asymmetric body moves omega even with EULER.
    ATTITUDE_STATE general = MakeBody(ATTITUDE_EULER, Diagonal(2e-3, 3e-3, 4e-3), VEC3{0.1, 0.05, -0.08});
    for (int i = 0; i < 2000; ++i) ATTITUDE_Step(&general, 0.01);
    EXPECT_GT(std::fabs(general.angularVelocity.x - 0.1), 1e-3);
}

// Angle of a vector's projection on the plane across n, measured from a.
double AngleAcross(const VEC3& v, const VEC3& n, const VEC3& a)
{
    VEC3 b = VEC_CrossValue(&n, &a);
    return std::atan2(VEC_Dot(&v, &b), VEC_Dot(&v, &a));
}

double Unwrap(double angle, double previous)
{
    while (angle - previous > kPi) angle -= 2 * kPi;
    while (angle - previous < -kPi) angle += 2 * kPi;
    return angle;
}

TEST(AttitudeTorqueFree, AxisymmetricBlockPrecessesAtTheClosedFormRates)
{
    // A 0.1 x 0.1 x 0.2 m block of 1 kg: It = 0.05/12, Iz = 0.02/12.
    const double it = 0.05 / 12.0, iz = 0.02 / 12.0;
    ATTITUDE_STATE a = MakeBody(ATTITUDE_FOURTH_ORDER, Diagonal(it, it, iz), VEC3{0.03, 0, 0.1});
    VEC3 n = a.angularMomentum;
    VEC_Normalize(&n);
    VEC3 ref{1, 0, 0};
    VEC3 across;
    VEC_RemoveComponent(&ref, &n, &across);
    VEC_Normalize(&across);
    double world = AngleAcross(a.angularVelocity, n, across);
    VEC3 w0 = BodyRate(a);
    double body = std::atan2(w0.y, w0.x);
    const double world0 = world, body0 = body;
    const double dt = 0.01, seconds = 100.0;
    for (long i = 1; i <= std::lround(seconds / dt); ++i) {
        ATTITUDE_Step(&a, dt);
        world = Unwrap(AngleAcross(a.angularVelocity, n, across), world);
        VEC3 wb = BodyRate(a);
        body = Unwrap(std::atan2(wb.y, wb.x), body);
    }
    EXPECT_NEAR(std::fabs(world - world0) / seconds, 0.05, 0.05 * 1e-4);
    EXPECT_NEAR(std::fabs(body - body0) / seconds, 0.06, 0.06 * 1e-4);
    EXPECT_NEAR(BodyRate(a).z, 0.1, 1e-9);
}

// Times at which the pendulum angle crosses zero going up.
std::vector<double> PendulumCrossings(double startAngle, double seconds)
{
    // Dipole 0.1 A m^2 along body x, field 50,000 nT along world x; the
    // body turns about z and the dipole swings toward the field.
    const double m = 0.1, b = 50000e-9, dt = 0.01;
    QUAT q;
    QUAT_FromAxisAngle(&q, startAngle, 0, 0, 1);
    ATTITUDE_STATE a = MakeBody(ATTITUDE_FOURTH_ORDER, Diagonal(kCubeInertia, kCubeInertia, kCubeInertia),
                                VEC3{0, 0, 0}, q);
    std::vector<double> crossings;
    double previous = startAngle;
    for (long i = 1; i <= std::lround(seconds / dt); ++i) {
        VEC3 dipole{a.rotation.m[0] * m, a.rotation.m[3] * m, a.rotation.m[6] * m};
        VEC3 field{b, 0, 0};
        VEC3 torque = VEC_CrossValue(&dipole, &field);
        ATTITUDE_SetTorque(&a, &torque);
        ATTITUDE_Step(&a, dt);
        double angle = std::atan2(a.rotation.m[3], a.rotation.m[0]);
        if (previous < 0 && angle >= 0) crossings.push_back((i - 1) * dt + dt * (-previous) / (angle - previous));
        previous = angle;
    }
    return crossings;
}

TEST(AttitudeTorques, MagneticPendulumSwingsWithItsClosedFormPeriods)
{
    std::vector<double> small = PendulumCrossings(0.01, 600.0);
    ASSERT_GE(small.size(), 3u);
    EXPECT_NEAR((small.back() - small.front()) / (small.size() - 1), 117.03, 117.03 * 0.002);
    std::vector<double> large = PendulumCrossings(kPi / 2, 600.0);
    ASSERT_GE(large.size(), 3u);
    EXPECT_NEAR((large.back() - large.front()) / (large.size() - 1), 138.14, 138.14 * 0.002);
}

TEST(AttitudeTorques, DampingSlowsLinearlyAndThenHoldsTheBodyAtRest)
{
    MAT33 inertia = Diagonal(kCubeInertia, kCubeInertia, kCubeInertia);
    ATTITUDE_STATE a = MakeBody(ATTITUDE_FOURTH_ORDER, inertia, VEC3{0.1, 0, 0});
    ATTITUDE_SetDamping(&a, 1e-6);
    for (int i = 0; i < 10000; ++i) ATTITUDE_Step(&a, 0.01);
    EXPECT_NEAR(a.angularVelocity.x, 0.04235, 1e-5);
    for (int i = 0; i < 10000; ++i) ATTITUDE_Step(&a, 0.01);
    EXPECT_EQ(VEC_Length(&a.angularVelocity), 0.0);

    ATTITUDE_STATE rest = MakeBody(ATTITUDE_FOURTH_ORDER, inertia, VEC3{0, 0, 0});
    ATTITUDE_SetDamping(&rest, 1e-6);
    for (int i = 0; i < 1000; ++i) ATTITUDE_Step(&rest, 0.01);
    EXPECT_EQ(VEC_Length(&rest.angularVelocity), 0.0);
    EXPECT_EQ(rest.attitude.w, 1.0);
}

}  // namespace
