// Needs the SGP propagators; built once their header is part of the tree.
#if __has_include("models/sgp.h") || __has_include("models/sgp_near.h")
#include <gtest/gtest.h>
#include <cmath>
#include "models/kepler.h"
#include "models/sgp_tle.h"
#include "tests/models/sgp_test_support.h"
#include "tests/support/test_support.h"

namespace {

constexpr double PI = 3.14159265358979323846;
constexpr double DEG = PI / 180.0;
constexpr TIME_MS MINUTE = 60000;

// The near-Earth element set of the report's test cases (88888).
SGP_ELEMENTS NearSet() { return sgptest::Parse(sgptest::kNearLine1, sgptest::kNearLine2); }

double AngleDegrees(const VEC3& a, const VEC3& b)
{
    double c = VEC_Dot(&a, &b) / (VEC_Length(&a) * VEC_Length(&b));
    return acos(c > 1.0 ? 1.0 : c) / DEG;
}

}  // namespace

TEST(KeplerSgp, ElementSetToElementsAndBack)
{
    SGP_ELEMENTS set = NearSet();
    KEPLER_ORBIT k{};
    KEPLER_ElementsFromSgp4(&k, &set);
    const std::pair<double, double> degrees[] = {{k.kepler_raan, 115.9689}, {k.kepler_inclination, 72.8435},
        {k.kepler_argument, 52.6988}, {k.kepler_meananomaly, 110.5714}, {k.kepler_meanmotion, 16.05824518}};
    for (const auto& [got, want] : degrees) EXPECT_NEAR(got, want, 1e-12);
    EXPECT_EQ(k.kepler_excentricity, 0.0086731);
    // 1980-10-01 23:41:24.113760 rounded to the millisecond.
    EXPECT_NEAR(k.kepler_time, testsupport::MsOf(1980, 10, 1, 23, 41, 24, 114), 1);

    // Back to a set without drag terms, whatever the record held before.
    SGP_ELEMENTS back{};
    back.bstar = back.ndot_2 = 1.0;
    EXPECT_EQ(KEPLER_Sgp4FromElements(&k, &back), 0);
    EXPECT_NEAR(back.epoch, set.epoch, 1e-7);
    EXPECT_NEAR(back.epoch_jd, set.epoch_jd, 1e-7);
    const std::pair<double, double> radians[] = {{back.mean_motion, set.mean_motion}, {back.raan, set.raan},
        {back.inclination, set.inclination}, {back.arg_perigee, set.arg_perigee},
        {back.mean_anomaly, set.mean_anomaly}};
    for (const auto& [got, want] : radians) EXPECT_NEAR(got, want, 1e-15);
    EXPECT_EQ(back.eccentricity, set.eccentricity);
    for (double drag : {back.bstar, back.ndot_2, back.nddot_6}) EXPECT_EQ(drag, 0.0);
    EXPECT_EQ(back.deep_space, 0);
}

// Epochs of dates outside the two-digit years of element sets; a period of 12
// hours makes a deep-space set.
TEST(KeplerSgp, EpochOfDatesOutsideTheTwoDigitYears)
{
    KEPLER_ORBIT k{};
    k.kepler_meanmotion = 2.0;
    SGP_ELEMENTS set{};
    k.kepler_time = testsupport::MsOf(2006, 1, 2);
    EXPECT_EQ(KEPLER_Sgp4FromElements(&k, &set), 1);
    EXPECT_EQ(set.deep_space, 1);
    EXPECT_NEAR(set.epoch, 6002.0, 1e-9);
    k.kepler_time = testsupport::MsOf(2058, 1, 1);   // counted from 2057
    KEPLER_Sgp4FromElements(&k, &set);
    EXPECT_NEAR(set.epoch, 57366.0, 1e-9);
    EXPECT_NEAR(set.epoch_jd, 2472729.5, 1e-9);
    k.kepler_time = testsupport::MsOf(1899, 12, 31);   // counted from 1900
    KEPLER_Sgp4FromElements(&k, &set);
    EXPECT_NEAR(set.epoch, 0.0, 1e-9);
}

// The enhanced model with its fitted dot term stays close to SGP4 over the
// first day: the mean elements taken as osculating ones leave the J2
// short-period terms (some ten kilometres) and a small along-track drift.
TEST(KeplerSgp, EnhancedModelAgainstSgp4OverADay)
{
    SGP_ELEMENTS set = NearSet();
    KEPLER_ORBIT k{};
    KEPLER_ElementsFromSgp4(&k, &set);
    KEPLER_Setup(&k);
    KEPLER_SecularRates(&k);
    k.kepler_dot_mean_motion = KEPLER_DOT_NOT_GIVEN;
    ASSERT_EQ(KEPLER_FitDotMeanMotion(&k, &set), 1);
    EXPECT_GT(k.kepler_dot_mean_motion, 0.0);
    EXPECT_LT(k.kepler_dot_mean_motion, 1e-10);
    double worst = 0.0;
    for (TIME_MS t = k.kepler_time; t <= k.kepler_time + 1440 * MINUTE; t += 10 * MINUTE) {
        VEC3 pe, ve, ps, vs;
        KEPLER_PropagateEnhanced(&k, t, &pe, &ve);
        KEPLER_PropagateSgp(&set, 1, t, &ps, &vs);
        worst = std::fmax(worst, VEC_Distance(&pe, &ps));
    }
    EXPECT_LT(worst, 60.0);
}

TEST(KeplerSgp, DraglessSetFollowsTheEnhancedModel)
{
    KEPLER_ORBIT k{};
    k.kepler_raan = 30;
    k.kepler_inclination = 98;
    k.kepler_argument = 90;
    k.kepler_excentricity = 0.001;
    k.kepler_meanmotion = 14.4;
    k.kepler_meananomaly = 0;
    k.kepler_time = testsupport::MsOf(2006, 1, 1);
    k.kepler_dot_mean_motion = 0.0;
    KEPLER_Setup(&k);
    KEPLER_SecularRates(&k);
    SGP_ELEMENTS set{};
    KEPLER_Sgp4FromElements(&k, &set);
    for (TIME_MS t = k.kepler_time; t <= k.kepler_time + 1440 * MINUTE; t += 30 * MINUTE) {
        VEC3 pe, ve, ps, vs;
        KEPLER_PropagateEnhanced(&k, t, &pe, &ve);
        KEPLER_PropagateSgp(&set, 1, t, &ps, &vs);
        EXPECT_LT(VEC_Distance(&pe, &ps), 40.0);
        EXPECT_LT(AngleDegrees(ve, vs), 1.0);
    }
}

// A refused variant gives a zero state; a fit of elements without an orbit
// (positions that are not numbers) fails and leaves the term not given.
TEST(KeplerSgp, RefusedVariantAndUnusableElementsFail)
{
    SGP_ELEMENTS set = NearSet();
    VEC3 p{1, 1, 1}, v{1, 1, 1};
    KEPLER_PropagateSgp(&set, 5, testsupport::MsOf(1980, 10, 2), &p, &v);
    for (double c : {p.x, p.y, p.z, v.x, v.y, v.z}) EXPECT_EQ(c, 0.0);
    KEPLER_ORBIT k{};
    KEPLER_ElementsFromSgp4(&k, &set);
    k.kepler_meanmotion = 0.0;
    KEPLER_Setup(&k);
    KEPLER_SecularRates(&k);
    k.kepler_dot_mean_motion = KEPLER_DOT_NOT_GIVEN;
    EXPECT_EQ(KEPLER_FitDotMeanMotion(&k, &set), 0);
    EXPECT_EQ(k.kepler_dot_mean_motion, KEPLER_DOT_NOT_GIVEN);
}

#endif
