#include <gtest/gtest.h>
#include <cmath>
#include "models/ephemeris.h"
#include "simulation/main.h"
#include "tests/support/test_support.h"

using testsupport::MsOf;

namespace {

constexpr double PI = 3.14159265358979323846;
constexpr double DEG = PI / 180.0;

// Angle in degrees between a vector and the direction of right ascension
// and declination (degrees).
double DegreesFrom(const VEC3& v, double ra, double dec)
{
    VEC3 d{cos(dec * DEG) * cos(ra * DEG), cos(dec * DEG) * sin(ra * DEG), sin(dec * DEG)};
    double c = VEC_Dot(&v, &d) / VEC_Length(&v);
    return acos(c > 1.0 ? 1.0 : c) / DEG;
}

class Ephemeris : public testing::Test {
protected:
    void SetUp() override { ORBIT_InitEphemeris(); }
    void TearDown() override { g_simClock.clock = 0; }
    VEC3 SunAt(TIME_MS t)
    {
        g_simClock.clock = t;
        VEC3 sun;
        ORBIT_SunDirection(&sun);
        return sun;
    }
    VEC3 MoonAt(TIME_MS t)
    {
        g_simClock.clock = t;
        ORBIT_MoonPosition();
        VEC3 moon;
        ORBIT_GetMoonVector(&moon);
        return moon;
    }
};

}  // namespace

TEST_F(Ephemeris, SiderealTimeAtKnownDates)
{
    EXPECT_NEAR(ORBIT_GreenwichSiderealTime(MsOf(2000, 1, 1, 12, 0)), 18.697374558, 1e-6);
    // 1987-04-10 0h UT: 13h10m46.3668s (Meeus, Astronomical Algorithms, ex. 12.a).
    EXPECT_NEAR(ORBIT_GreenwichSiderealTime(MsOf(1987, 4, 10, 0, 0)), 13.0 + 10.0 / 60 + 46.3668 / 3600, 1e-5);
    // 1987-04-10 19:21 UT: 8h34m57.0896s (ex. 12.b).
    EXPECT_NEAR(ORBIT_GreenwichSiderealTime(MsOf(1987, 4, 10, 19, 21)), 8.0 + 34.0 / 60 + 57.0896 / 3600, 1e-5);
}

TEST_F(Ephemeris, EarthAngleTurnsFromTheReferenceEquinox)
{
    TIME_MS reference = MsOf(2005, 3, 20, 12, 33, 1, 100);
    double start = ORBIT_GreenwichSiderealTime(reference) / 24.0 * 360.0;
    g_simClock.clock = reference;
    EXPECT_DOUBLE_EQ(ORBIT_EarthRotationAngle(), start);
    // One sidereal day later the same angle again.
    g_simClock.clock = reference + 86164091;
    EXPECT_NEAR(ORBIT_EarthRotationAngle(), start, 0.01);
    // The angle follows the sidereal time of the date.
    g_simClock.clock = MsOf(2006, 7, 1, 3, 0);
    EXPECT_NEAR(ORBIT_EarthRotationAngle(), ORBIT_GreenwichSiderealTime(g_simClock.clock) * 15.0, 0.01);
    for (int year : {1990, 2004}) {
        g_simClock.clock = MsOf(year, 6, 1, 0, 0);
        double angle = ORBIT_EarthRotationAngle();
        EXPECT_LT(angle, 0.0);
        EXPECT_GT(angle, -360.0);
    }
}

TEST_F(Ephemeris, SunOnEquinoxAxisAndWholeSeconds)
{
    TIME_MS reference = MsOf(2005, 3, 20, 12, 33, 1, 100);
    VEC3 sun = SunAt(reference);
    EXPECT_NEAR(sun.x, 1.466e8, 1e-6);
    EXPECT_NEAR(sun.y, 0.0, 1e-6);
    EXPECT_NEAR(sun.z, 0.0, 1e-6);
    VEC3 a = SunAt(reference + 5000);
    VEC3 b = SunAt(reference + 5999);
    EXPECT_EQ(a.x, b.x);
    EXPECT_EQ(a.y, b.y);
    EXPECT_EQ(a.z, b.z);
    VEC3 c = SunAt(reference + 6000);
    EXPECT_NE(a.y, c.y);
}

// The Sun moves uniformly from the March equinox, so its direction departs
// from the true one by up to twice the equation of the centre (about 4
// degrees, greatest near the September equinox); the declination keeps the
// obliquity exactly.
TEST_F(Ephemeris, SunAgainstAlmanac)
{
    struct { TIME_MS t; double ra, dec, tolerance; } almanac[] = {
        {MsOf(2005, 6, 21, 6, 46), 90.0, 23.438, 2.5},          // June solstice
        {MsOf(2005, 9, 22, 22, 23), 180.0, 0.0, 4.0},           // September equinox
        {MsOf(2005, 12, 21, 18, 35), 270.0, -23.438, 2.5},      // December solstice
        {MsOf(1992, 10, 13, 0, 0), 198.38083, -7.78507, 4.0},   // Meeus ex. 25.a
        {MsOf(2006, 3, 20, 18, 26), 0.0, 0.0, 0.2},             // next March equinox
    };
    for (auto& a : almanac) {
        VEC3 sun = SunAt(a.t);
        EXPECT_NEAR(VEC_Length(&sun), 1.466e8, 1.0);
        EXPECT_LT(DegreesFrom(sun, a.ra, a.dec), a.tolerance) << TIME_FormatMs(a.t);
    }
}

TEST_F(Ephemeris, MoonAgainstAlmanac)
{
    // 1992-04-12 0h TD (Meeus, ex. 47.a): apparent RA 134.688470 deg,
    // declination 13.768368 deg, distance 368409.7 km.
    VEC3 moon = MoonAt(MsOf(1992, 4, 12, 0, 0));
    EXPECT_LT(DegreesFrom(moon, 134.688470, 13.768368), 0.1);
    EXPECT_NEAR(VEC_Length(&moon), 368409.7, 1000.0);
}

TEST_F(Ephemeris, MoonStoredUnderSceneLock)
{
    static int depth, entered;
    depth = entered = 0;
    ORBIT_SetSceneLockHooks([] { ++depth; ++entered; }, [] { --depth; });
    VEC3 moon = MoonAt(MsOf(2006, 1, 1, 0, 0));
    ORBIT_SetSceneLockHooks(nullptr, nullptr);
    EXPECT_EQ(entered, 1);
    EXPECT_EQ(depth, 0);
    EXPECT_GT(VEC_Length(&moon), 356000.0);
    EXPECT_LT(VEC_Length(&moon), 407000.0);
}
