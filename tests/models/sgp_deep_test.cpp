// The deep-space part of SDP4 and SDP8: the sidereal angle, the resonance
// classes, the shared state block and the low-inclination forms.
#include <gtest/gtest.h>
#include <cmath>
#include <cstring>
#include "models/sgp.h"
#include "models/sgp_tle.h"
#include "tests/models/sgp_test_support.h"

namespace {

// The report's deep-space test set (period 630 minutes, e = 0.73).
SGP_ELEMENTS DeepSet()
{
    return sgptest::Parse("1 11801U          80230.29629788  .01431103  00000-0  14311-1        ",
                          "2 11801  46.7916 230.4354 7318036  47.4722  10.4117  2.28537848      ");
}

void PropagateMinutes(uint32_t variant, const SGP_ELEMENTS& el, double minutes, double pos[4], double vel[4])
{
    SGP_Propagate(variant, el.epoch_jd + minutes / 1440.0, &el, pos, vel);
}

bool Finite(const double v[4])
{
    return std::isfinite(v[0]) && std::isfinite(v[1]) && std::isfinite(v[2]) && std::isfinite(v[3]);
}

// Largest departure of r(t + 1 min) - r(t) from the trapezoid rule of the two
// velocities, minute by minute: well below 1 km for a smooth trajectory.
double LargestStepError(uint32_t variant, const SGP_ELEMENTS& el, double fromMin, double toMin)
{
    double worst = 0.0;
    double p0[4], v0[4], p1[4], v1[4];
    PropagateMinutes(variant, el, fromMin, p0, v0);
    for (double t = fromMin + 1.0; t <= toMin; t += 1.0) {
        PropagateMinutes(variant, el, t, p1, v1);
        double d = 0.0;
        for (int i = 0; i < 3; ++i) d += std::pow(p1[i] - p0[i] - 0.5 * (v0[i] + v1[i]) * 60.0, 2.0);
        worst = std::fmax(worst, std::sqrt(d));
        memcpy(p0, p1, sizeof p0);
        memcpy(v0, v1, sizeof v0);
    }
    return worst;
}

}  // namespace

TEST(SgpDeep, ThetaGOfTheYear2000)
{
    double ds50 = 0.0;
    double theta = SGP_ThetaG(1.0, &ds50);
    EXPECT_DOUBLE_EQ(ds50, 18263.0);
    // GMST at 2000-01-01 0h UT is 6h 39m 52.27s.
    EXPECT_NEAR(theta, (6.0 + 39.0 / 60.0 + 52.2707 / 3600.0) / 24.0 * SGP_TWOPI, 1e-6);
    SGP_ThetaG(80230.29629788, &ds50);
    EXPECT_NEAR(ds50, 11187.29629788, 1e-8);
}

TEST(SgpDeep, ResonanceClassesFollowMeanMotionAndEccentricity)
{
    SGP_ELEMENTS el = DeepSet();
    double pos[4], vel[4];
    struct Case { double revPerDay, e; } cases[] = {{1.0027, 0.001}, {2.006, 0.7}, {2.006, 0.1}, {2.006, 0.66}};
    for (const Case& c : cases) {
        el.mean_motion = c.revPerDay * SGP_TWOPI / 1440.0;
        el.eccentricity = c.e;
        el.deep_space = (uint8_t)SGP_IsDeepSpace(&el);
        ASSERT_EQ(el.deep_space, 1);
        // Before and after the epoch, across many integrator steps.
        for (double t : {-20000.0, -700.0, 0.0, 700.0, 20000.0}) {
            for (uint32_t variant : {1u, 3u}) {
                PropagateMinutes(variant, el, t, pos, vel);
                EXPECT_TRUE(Finite(pos) && Finite(vel)) << c.revPerDay << " " << c.e << " " << t;
                EXPECT_GT(pos[3], 6378.135);
                EXPECT_LT(pos[3], 80000.0);
            }
        }
    }
}

TEST(SgpDeep, AlternatingSatellitesMatchSeparateRuns)
{
    SGP_ELEMENTS a = DeepSet();
    SGP_ELEMENTS b = DeepSet();
    b.epoch = 81002.5;  // another day: the lunar terms are recomputed
    b.epoch_jd = SGP_JulianDateOfEpoch(b.epoch);
    b.mean_motion = 1.0027 * SGP_TWOPI / 1440.0;
    b.eccentricity = 0.01;
    double alone[2][4], vel[4], mixed[4];
    PropagateMinutes(2, a, 3000.0, alone[0], vel);
    PropagateMinutes(4, b, 3000.0, alone[1], vel);
    for (int round = 0; round < 3; ++round) {
        PropagateMinutes(2, a, 3000.0, mixed, vel);
        for (int i = 0; i < 4; ++i) EXPECT_EQ(mixed[i], alone[0][i]);
        PropagateMinutes(4, b, 3000.0, mixed, vel);
        for (int i = 0; i < 4; ++i) EXPECT_EQ(mixed[i], alone[1][i]);
    }
}

// The report's set-up divides the lunar-solar node term (0 below 3 degrees)
// by sin i, which is 0 for an equatorial orbit.
TEST(SgpDeep, EquatorialOrbitGivesFinitePositions)
{
    SGP_ELEMENTS el = DeepSet();
    el.inclination = 0.0;
    double pos[4], vel[4];
    for (uint32_t variant : {1u, 3u}) {
        for (double t : {0.0, 360.0, 1440.0}) {
            PropagateMinutes(variant, el, t, pos, vel);
            EXPECT_TRUE(Finite(pos) && Finite(vel)) << variant << " " << t;
            EXPECT_LT(std::fabs(pos[2]), 100.0);
        }
    }
}

// Below 0.2 rad the periodics take Lyddane's form, which recomputes the node
// from its sine and cosine; when the secular node regresses through 0 the
// recomputed node must follow it rather than jump by 2 pi (which moved the
// satellite by about 1300 km here).
TEST(SgpDeep, LowInclinationNodeCrossingZeroIsContinuous)
{
    SGP_ELEMENTS el = DeepSet();
    el.inclination = 0.1;
    el.raan = SGP_Radians(0.3);  // the node passes 0 about a day after the epoch
    for (uint32_t variant : {1u, 3u}) {
        EXPECT_LT(LargestStepError(variant, el, 0.0, 4320.0), 1.0) << variant;
        SGP_ELEMENTS turned = el;
        turned.raan += SGP_TWOPI;
        for (double t : {0.0, 1000.0, 2000.0, 4000.0}) {
            double a[4], b[4], vel[4];
            PropagateMinutes(variant, el, t, a, vel);
            PropagateMinutes(variant, turned, t, b, vel);
            // A whole turn of the node changes only rounding and the small
            // Lyddane term that carries the node itself (about 1 m here).
            for (int i = 0; i < 3; ++i) EXPECT_NEAR(a[i], b[i], 0.01) << variant << " t=" << t;
        }
    }
}

TEST(SgpDeep, LyddaneBoundaryIsContinuous)
{
    // An epoch inclination of exactly 0.2 rad takes Lyddane's form; both
    // forms describe the same orbit, so the positions barely differ.
    SGP_ELEMENTS el = DeepSet();
    double at[4], above[4], vel[4];
    el.inclination = 0.2;
    PropagateMinutes(1, el, 1000.0, at, vel);
    el.inclination = std::nextafter(0.2, 1.0);
    PropagateMinutes(1, el, 1000.0, above, vel);
    for (int i = 0; i < 3; ++i) EXPECT_NEAR(at[i], above[i], 1.0);
}

// The lunar-solar periodics are kept until the time has moved on by more than
// 30 minutes from their last computation.
TEST(SgpDeep, PeriodicTermsKeptUpToThirtyMinutes)
{
    SGP_ELEMENTS el = DeepSet();
    SGP4_INIT k;
    SGP_Sgp4Initialise(&el, &k);
    double init[13] = {k.m.eosq,   k.m.sinio, k.m.cosio, k.m.betao, k.m.aodp,  k.m.theta2,  std::sin(el.arg_perigee),
                       std::cos(el.arg_perigee), k.m.betao2, k.xmdot, k.omgdot, k.xnodot, k.m.xnodp};
    auto eccentricityTermAt = [&](double t) {
        double secular[7] = {0.0, 0.0, 0.0, 0.0, 0.0, k.m.xnodp, t};
        SGP_DeepSecular(secular, &el);
        double periodic[5] = {0.5, 1.0, 0.0, 0.0, 0.0};
        SGP_DeepPeriodic(periodic, &el);
        return periodic[0] - 0.5;
    };
    SGP_DeepInit(init, &el);
    double atEpoch = eccentricityTermAt(0.0);
    EXPECT_EQ(eccentricityTermAt(30.0), atEpoch);
    EXPECT_EQ(eccentricityTermAt(-30.0), atEpoch);
    EXPECT_NE(eccentricityTermAt(30.5), atEpoch);
}

// A public verification set with e = 0.9728 and a period of 13.7 days: full
// Newton steps overshoot near perigee, so Kepler's equation needs the limited
// steps. Each position must lie between the mean perigee and apogee (with room
// for the periodic terms) and the track must be smooth minute by minute (the
// one-minute trapezoid near perigee and the deep-space periodics, renewed
// every 30 minutes, leave tens of km; an unsettled solution jumps by hundreds
// of thousands).
TEST(SgpDeep, NearParabolicSetStaysOnItsOrbit)
{
    SGP_ELEMENTS el = sgptest::Parse("1 23333U 94071A   94305.49999999 -.00172956  26967-3  10000-3 0    15",
                                     "2 23333  28.7490   2.3720 9728298  30.4360   1.3500  0.07309491    70");
    SGP_MEAN_ELEMENTS mean;
    SGP_RecoverMeanElements(&el, &mean);
    const double e = el.eccentricity;
    const double perigeeKm = mean.aodp * (1.0 - e) * SGP_XKMPER;
    const double apogeeKm = mean.aodp * (1.0 + e) * SGP_XKMPER;
    for (uint32_t variant : {SGP_VARIANT_SDP4, SGP_VARIANT_SDP8}) {
        for (double t = 0.0; t <= 1440.0; t += 20.0) {
            double p[4], v[4];
            PropagateMinutes(variant, el, t, p, v);
            ASSERT_TRUE(Finite(p)) << variant << " at " << t;
            double r = std::sqrt(p[0] * p[0] + p[1] * p[1] + p[2] * p[2]);
            EXPECT_GT(r, 0.9 * perigeeKm) << variant << " at " << t;
            EXPECT_LT(r, 1.02 * apogeeKm) << variant << " at " << t;
        }
        EXPECT_LT(LargestStepError(variant, el, 0.0, 1440.0), 50.0) << variant;
    }
}
