// The attitude update of a satellite record against closed forms: gravity-
// gradient libration, B-dot detumbling, the dipole sum and the projection timing.
#include <gtest/gtest.h>
#include <cmath>
#include <cstring>
#include <vector>
#include "foundation/iotxt.h"
#include "foundation/log.h"
#include "foundation/pool.h"
#include "models/ephemeris.h"
#include "simulation/coil.h"
#include "simulation/main.h"
#include "simulation/orbit.h"
#include "simulation/raster.h"
#include "simulation/satelit.h"
#include "simulation/surfmodel.h"
#include "tests/foundation/iotxt_test_support.h"
#include "tests/support/test_support.h"

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kCubeInertia = 0.0017346938775510;
// The March equinox of 2005, where the Sun stands on the ECI x axis.
const TIME_MS kStart = testsupport::MsOf(2005, 3, 20, 12, 33, 1, 100);

MAT33 Diagonal(double a, double b, double c) { return MAT33{{a, 0, 0, 0, b, 0, 0, 0, c}}; }

// A satellite record with only what the attitude update reads.
struct TestSatellite {
    SATELIT sat;
    TestSatellite(const MAT33& inertia, VEC3 w, QUAT q = QUAT{1, 0, 0, 0})
    {
        memset(static_cast<void*>(&sat), 0, sizeof sat);
        g_simClock.clock = kStart;
        ORBIT_InitEphemeris();
        VEC3 zero{0, 0, 0};
        ATTITUDE_SetMethod(&sat.attitude, ATTITUDE_FOURTH_ORDER);
        ATTITUDE_SetInertia(&sat.attitude, &inertia);
        ATTITUDE_SetQuaternion(&sat.attitude, &q);
        ATTITUDE_SetAngularVelocity(&sat.attitude, &w);
        ATTITUDE_SetTorque(&sat.attitude, &zero);
        EXPECT_EQ(ATTITUDE_Init(&sat.attitude), 1u);
        sat.lastAttitudeTime = kStart;
        sat.nextProjectionTime = kStart;
    }
    // A steady environment from the clock on: the satellite moves on along its velocity.
    void Place(const VEC3& position, const VEC3& velocity, const VEC3& field, double airDensity = 0.0)
    {
        testsupport::PlaceSatellite(&sat, position, velocity, field, airDensity);
    }
    void Field(const VEC3& field) { Place(VEC3{7000, 0, 0}, VEC3{0, 0, 0}, field); }
    void Advance(TIME_MS ms)
    {
        g_simClock.clock += ms;
        SATELIT_UpdateAttitude(&sat);
    }
};

TEST(SatelitAttitude, ABareSatelliteFeelsNoMagneticTorqueAndAnUpdateAtTheSameMillisecondDoesNotIntegrate)
{
    TestSatellite t(Diagonal(kCubeInertia, kCubeInertia, kCubeInertia), VEC3{0.01, 0, 0});
    t.Field(VEC3{20000, 10000, -30000});
    for (int i = 0; i < 100; ++i) t.Advance(10);
    EXPECT_TRUE(VEC_IsZero(&t.sat.magneticTorqueVector));
    EXPECT_TRUE(VEC_IsZero(&t.sat.totalDipole));
    EXPECT_NEAR(t.sat.attitude.angularVelocity.x, 0.01, 1e-15);
    // The body-frame field follows the body: a quarter turn later x has moved on.
    EXPECT_NEAR(VEC_Length(&t.sat.fieldBody), std::sqrt(20000.0 * 20000 + 10000.0 * 10000 + 30000.0 * 30000), 1e-9);

    t.sat.eciTestTorqueGiven = 1;
    t.sat.eciTestTorque = VEC3{1e-6, 0, 0};
    const double before = t.sat.attitude.angularVelocity.x;
    t.Advance(0);
    EXPECT_EQ(t.sat.attitude.angularVelocity.x, before);
    t.Advance(1000);
    EXPECT_NEAR(t.sat.attitude.angularVelocity.x, before + 1e-6 / kCubeInertia, 1e-12);
}

TEST(SatelitAttitude, PermanentMagnetAndResidualDipoleAddUp)
{
    TestSatellite t(Diagonal(kCubeInertia, kCubeInertia, kCubeInertia), VEC3{0, 0, 0});
    t.Field(VEC3{0, 0, 50000});
    t.sat.permanentMagnet = VEC3{0.1, 0, 0};
    t.sat.residualDipole = VEC3{0, 0.02, 0};
    t.Advance(10);
    EXPECT_NEAR(t.sat.totalDipole.y, 0.0, 1e-15);  // the residual dipole needs its switch
    t.sat.magneticTorque = 1;
    t.Advance(10);
    EXPECT_NEAR(t.sat.totalDipole.x, 0.1, 1e-9);
    EXPECT_NEAR(t.sat.totalDipole.y, 0.02, 1e-9);
    // m x B = (0.1, 0.02, 0) x (0, 0, 5e-5)
    EXPECT_NEAR(t.sat.magneticTorqueVector.x, 1e-6, 1e-10);
    EXPECT_NEAR(t.sat.magneticTorqueVector.y, -5e-6, 1e-10);
}

TEST(SatelitAttitude, ACoilDipoleActsOverTheIntervalAfterItsChange)
{
    TestSatellite t(Diagonal(kCubeInertia, kCubeInertia, kCubeInertia), VEC3{0, 0, 0});
    t.Field(VEC3{0, 0, 50000});
    // Allocated as the parser allocates it, so that its history goes with it.
    COIL& coil = *static_cast<COIL*>(POOL_AllocLine(sizeof(COIL) + 1));
    memset(static_cast<void*>(&coil), 0, sizeof(COIL));
    coil.windings = 200;
    coil.sideA = coil.sideB = 0.08;
    coil.direction = VEC3{1, 0, 0};
    coil.resistance = 25;
    coil.energyTime = g_simClock.clock;
    coil.satellite = &t.sat;
    t.sat.coils = &coil;
    t.Advance(10);
    COIL_SetCurrent(&coil, 0.1);
    EXPECT_EQ(t.sat.attitudePending, 1u);
    // The update owed at the same millisecond only takes the new coil dipole in.
    SATELIT_UpdateAttitude(&t.sat);
    EXPECT_TRUE(VEC_IsZero(&t.sat.totalDipole));
    EXPECT_NEAR(t.sat.coilDipoleSum.x, 0.128, 1e-12);
    t.Advance(10);
    EXPECT_NEAR(t.sat.totalDipole.x, 0.128, 1e-12);
    EXPECT_NEAR(t.sat.magneticTorqueVector.y, -0.128 * 5e-5, 1e-12);
    // Steps without a change keep the sum; a later change is summed again.
    t.Advance(10);
    COIL_SetCurrent(&coil, -0.05);
    t.Advance(10);
    EXPECT_NEAR(t.sat.coilDipoleSum.x, -0.064, 1e-12);
    t.Advance(10);
    EXPECT_NEAR(t.sat.totalDipole.x, -0.064, 1e-12);
    COIL_Free(&coil);
}

TEST(SatelitAttitude, ProjectionsFollowOneDegreeOfTurnOrOneSecond)
{
    TestSatellite rest(Diagonal(kCubeInertia, kCubeInertia, kCubeInertia), VEC3{0, 0, 0});
    rest.Advance(10);
    EXPECT_EQ(rest.sat.nextProjectionTime, kStart + 10 + 1000);
    TestSatellite spin(Diagonal(kCubeInertia, kCubeInertia, kCubeInertia), VEC3{0, 0, 1.0});
    spin.sat.projectionsSkipped = 1;
    spin.Advance(10);
    EXPECT_EQ(spin.sat.nextProjectionTime, kStart);  // the first update skips them
    spin.Advance(10);
    EXPECT_EQ(spin.sat.nextProjectionTime, kStart + 20 + 17);
}

// Between two measurements a projection's torque goes on along its last
// change, for at most as long as that change took; the pressure is held, so a
// measurement in the shadow gives no torque at all rather than one turned round.
TEST(SatelitAttitude, ProjectionTorqueFollowsItsLastChange)
{
    SAT_PROJECTION_BLOCK block{};
    block.torquePerPressure = VEC3{1.0, 0.0, 0.0};
    block.measuredAt = block.previouslyMeasuredAt = kStart;
    block.pressure = 2.0;
    EXPECT_EQ(SATELIT_ProjectionTorqueAt(&block, kStart + 500).x, 2.0);   // one measurement: held
    block.previousTorquePerPressure = VEC3{0.5, 0.0, 0.0};
    block.measuredAt = kStart + 100;
    EXPECT_DOUBLE_EQ(SATELIT_ProjectionTorqueAt(&block, kStart + 100).x, 2.0);
    EXPECT_DOUBLE_EQ(SATELIT_ProjectionTorqueAt(&block, kStart + 150).x, 2.5);
    EXPECT_DOUBLE_EQ(SATELIT_ProjectionTorqueAt(&block, kStart + 1000).x, 3.0);
    block.pressure = 0.0;
    EXPECT_EQ(SATELIT_ProjectionTorqueAt(&block, kStart + 150).x, 0.0);
}

TEST(SatelitAttitude, BdotDetumblesTheCubeExponentially)
{
    // 30,000 nT, gain 1e5 A m^2 s/T: omega across B decays with I/(k B^2) = 19.27 s.
    TestSatellite t(Diagonal(kCubeInertia, kCubeInertia, kCubeInertia), VEC3{0.1, 0, 0.02});
    t.Field(VEC3{0, 0, 30000});
    t.sat.bdotGiven = 1;
    t.sat.bdot.gain = 1e5;
    t.sat.bdot.maxMoment[0] = t.sat.bdot.maxMoment[1] = t.sat.bdot.maxMoment[2] = 1.0;
    t.sat.bdot.interval = 100;
    BDOT_Enable(&t.sat.bdot);
    BDOT_Start(&t.sat.bdot);
    for (int second = 1; second <= 40; ++second) {
        for (int i = 0; i < 100; ++i) t.Advance(10);
        if (second % 10) continue;
        const VEC3& w = t.sat.attitude.angularVelocity;
        double across = std::hypot(w.x, w.y);
        EXPECT_NEAR(across, 0.1 * std::exp(-second / 19.27), 0.02 * 0.1 * std::exp(-second / 19.27)) << second;
        EXPECT_NEAR(w.z, 0.02, 1e-6) << second;
    }
    EXPECT_GT(VEC_Length(&t.sat.bdotDipole), 0.0);
}

// A 0.05 x 0.05 x 1 m rod of 1 kg in a circular equatorial orbit of 15 rev/day,
// its long axis along the radius but for a pitch of 0.1 rad: it librates about
// the local vertical.
TEST(SatelitAttitude, GravityGradientPitchLibratesWithTheClosedFormPeriod)
{
    const double n = 15.0 * 2.0 * kPi / 86400.0;
    const double a = std::cbrt(398600.4418 / (n * n));
    const double transverse = (0.05 * 0.05 + 1.0) / 12.0, axial = (0.05 * 0.05 * 2) / 12.0;
    QUAT q;
    QUAT_FromAxisAngle(&q, 0.1, 0, 0, 1);
    TestSatellite t(Diagonal(axial, transverse, transverse), VEC3{0, 0, n}, q);
    t.sat.gravityTorque = 1;
    auto place = [&](double seconds) {
        double u = n * seconds;
        t.Place(VEC3{a * std::cos(u), a * std::sin(u), 0}, VEC3{-a * n * std::sin(u), a * n * std::cos(u), 0},
                VEC3{0, 0, 0});
    };
    place(0);
    std::vector<double> crossings;
    double previous = 0.1;
    for (long ms = 10; ms <= 8000000; ms += 10) {
        if (ms % 1000 == 0) place(ms / 1000.0);
        t.Advance(10);
        double u = n * ms / 1000.0;
        double pitch = std::atan2(t.sat.attitude.rotation.m[3], t.sat.attitude.rotation.m[0]) - u;
        pitch = std::remainder(pitch, 2 * kPi);
        if (previous < 0 && pitch >= 0) crossings.push_back(ms / 1000.0);
        previous = pitch;
    }
    ASSERT_GE(crossings.size(), 2u);
    double period = (crossings.back() - crossings.front()) / (crossings.size() - 1);
    EXPECT_NEAR(period, 3342.2, 3342.2 * 0.005);
    EXPECT_FALSE(VEC_IsZero(&t.sat.gravityGradientTorque));
}

// A 0.2 m square plate across the x axis, its centre 0.5 m along body y.
const char* kOffsetPlate =
    "point \"a\", 0 mm, 400 mm, -100 mm\n"
    "point \"b\", 0 mm, 600 mm, -100 mm\n"
    "point \"c\", 0 mm, 600 mm, 100 mm\n"
    "point \"d\", 0 mm, 400 mm, 100 mm\n"
    "quad \"a\", \"b\", \"c\", \"d\"\n";

class ProjectionTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        LOG_Init();
        IOTXT_Init();
        SURFMODEL_Init();
        iotxttest::ScopedFile file("plate.surf", kOffsetPlate);
        iotxttest::ScopedFile host("host.cfg", "= \"plate\", \"plate.surf\"\n");
        EXPECT_EQ(IOTXT_OpenFile("host.cfg"), 1u);
        IOTXT_NextLine();
        EXPECT_EQ(SURFMODEL_ParseDefinition(&plate_), 1u);
        IOTXT_CloseFile();
        EXPECT_EQ(SURFMODEL_PrepareRaster(plate_), 1u);
        g_orbit = ORBIT_RUN_STATE{};
    }
    void TearDown() override
    {
        SURFMODEL_Free(plate_);
        SURFMODEL_Cleanup();
    }

    // The cube's inertia with the plate as its surface, in full sunlight
    // along ECI x from a position on the x axis.
    void Prepare(TestSatellite* t, VEC3 centreOfMass)
    {
        t->sat.surfaceModelInUse = plate_;
        t->sat.centreOfMass = centreOfMass;
        t->Place(VEC3{7000, 0, 0}, VEC3{0, 0, 0}, VEC3{0, 0, 0});
        t->sat.meanReflectivity = 0.95;
        t->sat.solarTorque = 1;
    }

    // |omega| after 30 s of 10 ms updates.
    double SpinAfter30s(TestSatellite* t)
    {
        for (int i = 0; i < 3000; ++i) t->Advance(10);
        double w = VEC_Length(&t->sat.attitude.angularVelocity);
        for (SAT_PROJECTION_BLOCK* b : {&t->sat.sunProjection, &t->sat.dragProjection}) {
            if (b->triangles) RASTER_FreeRecording(b->triangles);
        }
        return w;
    }

    SURFMODEL* plate_ = nullptr;
};

TEST_F(ProjectionTest, SolarTorqueActsBetweenRecomputations)
{
    // F = A (1 + 0.95) 1370/c on a lever of 0.5 m: omega = 3.08e-3 rad/s after 30 s.
    TestSatellite t(Diagonal(kCubeInertia, kCubeInertia, kCubeInertia), VEC3{0, 0, 0});
    Prepare(&t, VEC3{0, 0, 0});
    EXPECT_NEAR(SpinAfter30s(&t), 3.08e-3, 3.08e-3 * 0.02);
    EXPECT_GT(t.sat.solarTorqueVector.z, 0.0);
    EXPECT_LT(t.sat.sunProjection.force.x, 0.0);
    EXPECT_NEAR(t.sat.sunProjection.direction.x, 1.0, 1e-9);   // the Sun moves on by 6e-6 rad in 30 s
}

TEST_F(ProjectionTest, LeverRunsFromTheTurnedCentreOfMass)
{
    // The centre of mass 0.2 m toward the plate leaves a lever of 0.3 m,
    // also with the body turned half round.
    for (double turn : {0.0, 3.14159265358979323846}) {
        QUAT q;
        QUAT_FromAxisAngle(&q, turn, 0, 0, 1);
        TestSatellite t(Diagonal(kCubeInertia, kCubeInertia, kCubeInertia), VEC3{0, 0, 0}, q);
        Prepare(&t, VEC3{0, 0.2, 0});
        EXPECT_NEAR(SpinAfter30s(&t), 1.85e-3, 1.85e-3 * 0.02) << turn;
    }
}

// A body that a torque speeds up from rest: its first measurement, at rest,
// puts the next a second later, but the body has turned a degree after 59
// steps of 10 ms at 0.1 rad/s^2 (0.1 * 0.01^2 * 59 * 60 / 2 rad), and the
// projections are measured again at the next update, 600 ms in.
TEST_F(ProjectionTest, ABodySpeedingUpIsMeasuredOnceItHasTurnedADegree)
{
    TestSatellite t(Diagonal(kCubeInertia, kCubeInertia, kCubeInertia), VEC3{0, 0, 0});
    Prepare(&t, VEC3{0, 0, 0});
    t.sat.eciTestTorqueGiven = 1;
    t.sat.eciTestTorque = VEC3{0, 0, 0.1 * kCubeInertia};
    t.Advance(10);
    EXPECT_EQ(t.sat.sunProjection.measuredAt, kStart + 10);
    EXPECT_EQ(t.sat.nextProjectionTime, kStart + 10 + 1000);
    while (t.sat.sunProjection.measuredAt == kStart + 10 && g_simClock.clock < kStart + 2000) t.Advance(10);
    EXPECT_EQ(t.sat.sunProjection.measuredAt, kStart + 600);
    EXPECT_EQ(t.sat.sunProjection.previouslyMeasuredAt, kStart + 10);
    SpinAfter30s(&t);
}

TEST_F(ProjectionTest, ShadowAndDragScaleTheirForces)
{
    TestSatellite t(Diagonal(kCubeInertia, kCubeInertia, kCubeInertia), VEC3{0, 0, 0});
    Prepare(&t, VEC3{0, 0, 0});
    // Behind the Earth, flying along x through air that presses with 1e-5 N/m^2.
    t.sat.dragTorque = 1;
    t.sat.dragCoefficient = 1.0;
    t.Place(VEC3{-7000, 0, 0}, VEC3{7.5, 0, 0}, VEC3{0, 0, 0}, 1e-5 / (0.5 * 7.5 * 7.5 * 1e6));
    t.Advance(10);
    EXPECT_EQ(VEC_Length(&t.sat.solarTorqueVector), 0.0);
    // 0.04 m^2 (to the raster's resolution) at 1e-5 N/m^2 on a 0.5 m lever.
    EXPECT_NEAR(t.sat.dragTorqueVector.z, 0.5 * 0.04 * 1e-5, 0.5 * 0.04 * 1e-5 * 0.01);
    EXPECT_NE(t.sat.dragProjection.triangles, nullptr);
    SpinAfter30s(&t);
}

}  // namespace
