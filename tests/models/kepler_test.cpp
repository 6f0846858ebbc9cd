#include <gtest/gtest.h>
#include <cmath>
#include <random>
#include "models/kepler.h"

namespace {

constexpr double PI = 3.14159265358979323846;
constexpr TIME_MS EPOCH = 12790000000000;   // early 2006
constexpr TIME_MS DAY = 86400000;

KEPLER_ORBIT MakeOrbit(double raan, double incl, double argument, double e, double n, double meanAnomaly)
{
    KEPLER_ORBIT k{};
    k.kepler_raan = raan;
    k.kepler_inclination = incl;
    k.kepler_argument = argument;
    k.kepler_excentricity = e;
    k.kepler_meanmotion = n;
    k.kepler_meananomaly = meanAnomaly;
    k.kepler_time = EPOCH;
    k.kepler_dot_mean_motion = 0.0;
    KEPLER_Setup(&k);
    KEPLER_SecularRates(&k);
    return k;
}

void ExpectNear(const VEC3& a, const VEC3& b, double tolerance)
{
    EXPECT_NEAR(a.x, b.x, tolerance);
    EXPECT_NEAR(a.y, b.y, tolerance);
    EXPECT_NEAR(a.z, b.z, tolerance);
}

// Elements of the simple model's state at t, set up again with t as their
// epoch, must reproduce that state.
void ExpectRoundTrip(const KEPLER_ORBIT& orbit, TIME_MS t)
{
    VEC3 p, v;
    KEPLER_PropagateSimple(&orbit, t, &p, &v);
    double pos[3] = {p.x, p.y, p.z}, vel[3] = {v.x, v.y, v.z}, el[6];
    ASSERT_EQ(KEPLER_ElementsFromState(pos, vel, el), 1);
    for (double x : el) ASSERT_TRUE(std::isfinite(x));
    KEPLER_ORBIT back = MakeOrbit(el[0], el[1], el[2], el[3], el[4], el[5]);
    back.kepler_time = t;
    VEC3 p2, v2;
    KEPLER_PropagateSimple(&back, t, &p2, &v2);
    ExpectNear(p2, p, 1e-6 * VEC_Length(&p));
    ExpectNear(v2, v, 1e-6 * VEC_Length(&v));
}

}  // namespace

TEST(KeplerSimple, AxisSpeedAndCircularMotion)
{
    KEPLER_ORBIT k = MakeOrbit(0, 0, 0, 0, 14.4, 0);
    EXPECT_NEAR(k.simple_semi_major_axis, 7137.17, 0.01);
    EXPECT_NEAR(MakeOrbit(0, 0, 0, 0, 1.0, 0).simple_semi_major_axis, 42244.259, 1e-6);

    double a = k.simple_semi_major_axis;
    double an = a * 14.4 / 86400.0 * 2.0 * PI;
    VEC3 p, v;
    KEPLER_PropagateSimple(&k, EPOCH, &p, &v);
    ExpectNear(p, VEC3{a, 0, 0}, 1e-9);
    ExpectNear(v, VEC3{0, an, 0}, 1e-12);
    EXPECT_NEAR(an, 7.474, 0.001);
    for (TIME_MS t = EPOCH - DAY; t < EPOCH + DAY; t += 3777777) {
        KEPLER_PropagateSimple(&k, t, &p, &v);
        EXPECT_NEAR(VEC_Length(&p), a, 1e-8);
        EXPECT_NEAR(VEC_Length(&v), an, 1e-11);
        EXPECT_NEAR(VEC_Dot(&p, &v), 0.0, 1e-7);
    }
}

TEST(KeplerSimple, EccentricOrbitKeepsEnergyAndPeriod)
{
    KEPLER_ORBIT k = MakeOrbit(40, 63.4, 270, 0.5, 2.006, 10);
    const double mu = 398690011199999.94 / 1e9;   // km^3/s^2
    double a = k.simple_semi_major_axis;
    VEC3 p0, v0, p, v;
    KEPLER_PropagateSimple(&k, EPOCH, &p0, &v0);
    for (TIME_MS t = EPOCH; t < EPOCH + DAY; t += 1234567) {
        KEPLER_PropagateSimple(&k, t, &p, &v);
        double energy = VEC_Dot(&v, &v) / 2 - mu / VEC_Length(&p);
        EXPECT_NEAR(energy, -mu / (2 * a), 1e-7 * mu / a);
    }
    // One period later the satellite is back where it was.
    KEPLER_PropagateSimple(&k, EPOCH + (TIME_MS)std::llround(86400000.0 / 2.006), &p, &v);
    EXPECT_LT(VEC_Distance(&p, &p0), 0.01);
}

TEST(KeplerEnhanced, SecularRatesOfSunSynchronousOrbit)
{
    KEPLER_ORBIT k = MakeOrbit(0, 98, 0, 0, 14.4, 0);
    double perDay = 86400.0 * 180.0 / PI;
    EXPECT_NEAR(k.node_rate * perDay, 0.936, 0.005);
    EXPECT_NEAR(k.perigee_rate * perDay, -3.04, 0.01);
}

TEST(KeplerEnhanced, MatchesSimpleWithoutRatesAlsoBeforeEpoch)
{
    KEPLER_ORBIT k = MakeOrbit(123, 51.6, 77, 0.2, 15.5, 300);
    VEC3 ps, vs, pe, ve;
    KEPLER_PropagateEnhanced(&k, EPOCH, &pe, &ve);
    KEPLER_PropagateSimple(&k, EPOCH, &ps, &vs);
    ExpectNear(pe, ps, 1e-8);
    k.node_rate = k.perigee_rate = 0.0;
    for (TIME_MS t : {EPOCH - 5 * DAY + 12345, EPOCH - 1000, EPOCH + 3 * DAY}) {
        KEPLER_PropagateEnhanced(&k, t, &pe, &ve);
        KEPLER_PropagateSimple(&k, t, &ps, &vs);
        ExpectNear(pe, ps, 1e-6);
        ExpectNear(ve, vs, 1e-9);
    }
}

TEST(KeplerEnhanced, DotTermAdvancesMeanAnomalyQuadratically)
{
    KEPLER_ORBIT k = MakeOrbit(0, 0, 0, 0, 15.0, 0);
    k.node_rate = k.perigee_rate = 0.0;
    KEPLER_ORBIT dotted = k;
    dotted.kepler_dot_mean_motion = 1e-12;
    double dt = 86400.0;
    // The extra anomaly d * dt^2 shows as a turn of the circular position.
    VEC3 p, v, q;
    KEPLER_PropagateEnhanced(&k, EPOCH + DAY, &p, &v);
    KEPLER_PropagateEnhanced(&dotted, EPOCH + DAY, &q, &v);
    double turn = atan2(p.x * q.y - p.y * q.x, VEC_Dot(&p, &q));
    EXPECT_NEAR(turn, 1e-12 * dt * dt, 1e-9);
}

TEST(KeplerElements, ConfiguredElementsComeBack)
{
    KEPLER_ORBIT k = MakeOrbit(200, 63.4, 120, 0.3, 3.5, 45);
    VEC3 p, v;
    KEPLER_PropagateSimple(&k, EPOCH, &p, &v);
    double pos[3] = {p.x, p.y, p.z}, vel[3] = {v.x, v.y, v.z}, el[6];
    ASSERT_EQ(KEPLER_ElementsFromState(pos, vel, el), 1);
    // The state's gravitational parameter and the one of the mean-motion
    // axis agree within 1e-7, which bounds the agreement here.
    const struct { int index; double value, tolerance; } expected[] = {{KEPLER_RAAN, 200, 1e-8},
        {KEPLER_INCLINATION, 63.4, 1e-8}, {KEPLER_ARGUMENT, 120, 1e-4}, {KEPLER_EXCENTRICITY, 0.3, 1e-7},
        {KEPLER_MEANMOTION, 3.5, 1e-6}, {KEPLER_MEANANOMALY, 45, 1e-4}};
    for (const auto& e : expected) EXPECT_NEAR(el[e.index], e.value, e.tolerance) << e.index;
}

TEST(KeplerElements, RoundTripsOverRandomOrbits)
{
    std::mt19937 rng(20060101);
    std::uniform_real_distribution<double> angle(0.0, 360.0), incl(0.0, 180.0), ecc(0.0, 0.6),
        motion(1.0, 16.0);
    std::uniform_int_distribution<int64_t> when(-10 * DAY, 10 * DAY);
    for (int i = 0; i < 300; ++i) {
        double e = i % 4 == 0 ? 0.0 : ecc(rng);
        double in = i % 5 == 0 ? (i % 10 == 0 ? 0.0 : 180.0) : incl(rng);
        KEPLER_ORBIT k = MakeOrbit(angle(rng), in, angle(rng), e, motion(rng), angle(rng));
        SCOPED_TRACE(testing::Message() << "orbit " << i << " e=" << e << " i=" << in);
        ExpectRoundTrip(k, EPOCH + when(rng));
    }
}

TEST(KeplerElements, CircularAndEquatorialStatesGiveFiniteElements)
{
    // Exactly circular, exactly equatorial, both, and retrograde equatorial.
    const double speed = 7.5;
    const double r = 398690.01119999994 / (speed * speed);
    struct { double pos[3], vel[3]; } states[] = {
        {{r, 0, 0}, {0, speed, 0}},
        {{0, r, 0}, {-speed * 0.6, 0, speed * 0.8}},
        {{r, 0, 0}, {0, -speed, 0}},
        {{7000, 1000, 0}, {-1, 7.9, 0}},
        {{7000, 1000, 0}, {1, -7.9, 0}},
    };
    for (auto& s : states) {
        double el[6];
        ASSERT_EQ(KEPLER_ElementsFromState(s.pos, s.vel, el), 1);
        for (double x : el) EXPECT_TRUE(std::isfinite(x));
        if (&s == &states[0]) {
            EXPECT_LT(el[KEPLER_EXCENTRICITY], 1e-7);
            EXPECT_EQ(el[KEPLER_ARGUMENT], 0.0);
        }
        KEPLER_ORBIT k = MakeOrbit(el[0], el[1], el[2], el[3], el[4], el[5]);
        VEC3 p, v;
        KEPLER_PropagateSimple(&k, EPOCH, &p, &v);
        ExpectNear(p, VEC3{s.pos[0], s.pos[1], s.pos[2]}, 1e-6 * VEC_Length(&p));
        ExpectNear(v, VEC3{s.vel[0], s.vel[1], s.vel[2]}, 1e-6 * VEC_Length(&v));
    }
}

// Escape speed, radial motion, no position or no velocity: no elements.
TEST(KeplerElements, UnboundOrDegenerateStatesFail)
{
    double el[6] = {}, pos[3] = {7000, 0, 0}, escape[3] = {0, 11.0, 0}, radial[3] = {7.0, 0, 0}, zero[3] = {0, 0, 0};
    EXPECT_EQ(KEPLER_ElementsFromState(pos, escape, el), 0);
    EXPECT_EQ(KEPLER_ElementsFromState(pos, radial, el), 0);
    EXPECT_EQ(KEPLER_ElementsFromState(zero, escape, el), 0);
    EXPECT_EQ(KEPLER_ElementsFromState(pos, zero, el), 0);
}
