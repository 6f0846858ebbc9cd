// The built-in B-dot and B-cross controllers: sampling, saturation, the
// adaptive B-cross threshold and their parameter lines.
#include <gtest/gtest.h>
#include <cmath>
#include <string>
#include "foundation/iotxt.h"
#include "foundation/log.h"
#include "simulation/controllers.h"
#include "simulation/main.h"
#include "tests/foundation/iotxt_test_support.h"

namespace {

using iotxttest::LogText;

class ControllerTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        LOG_Init();
        g_simClock.clock = 1000000;
    }

    BDOT_CONTROLLER Started(double gain, double max, TIME_MS interval, bool cross = false)
    {
        BDOT_CONTROLLER c{};
        c.gain = gain;
        c.maxMoment[0] = c.maxMoment[1] = c.maxMoment[2] = max;
        c.interval = interval;
        if (cross) {
            BCROSS_Enable(&c);
            BCROSS_Start(&c);
        } else {
            BDOT_Enable(&c);
            BDOT_Start(&c);
        }
        return c;
    }

    // Feeds a field sample after `ms` and takes the command.
    // As the attitude update does: sample, step, then step again inside GetMoment.
    VEC3 Sample(BDOT_CONTROLLER* c, TIME_MS ms, VEC3 nanotesla, bool cross = false)
    {
        g_simClock.clock += ms;
        VEC3 tesla{nanotesla.x * 1e-9, nanotesla.y * 1e-9, nanotesla.z * 1e-9};
        VEC3 m;
        if (cross) {
            BCROSS_SetInput(c, &tesla);
            BCROSS_Step(c);
            BCROSS_GetMoment(c, &m);
        } else {
            BDOT_SetInput(c, &tesla);
            BDOT_Step(c);
            BDOT_GetMoment(c, &m);
        }
        return m;
    }
};

TEST_F(ControllerTest, BdotOpposesTheFieldRateAndSaturatesWithOneFactor)
{
    BDOT_CONTROLLER c = Started(1e5, 0.2, 1000);
    VEC3 first = Sample(&c, 1000, VEC3{20000, 10000, 5000});
    EXPECT_TRUE(VEC_IsZero(&first));  // the first acting step gives no command
    VEC3 m = Sample(&c, 1000, VEC3{21000, 9500, 5000});
    EXPECT_NEAR(m.x, -0.1, 1e-12);
    EXPECT_NEAR(m.y, 0.05, 1e-12);
    EXPECT_EQ(m.z, 0.0);

    BDOT_CONTROLLER s = Started(1e5, 0.05, 1000);
    Sample(&s, 1000, VEC3{20000, 10000, 5000});
    m = Sample(&s, 1000, VEC3{21000, 9500, 5000});
    EXPECT_NEAR(m.x, -0.05, 1e-12);
    EXPECT_NEAR(m.y, 0.025, 1e-12);

    // Between acting steps the command holds.
    VEC3 held = Sample(&s, 500, VEC3{0, 0, 0});
    EXPECT_NEAR(held.x, -0.05, 1e-12);
}

TEST_F(ControllerTest, BdotReadsWholeNanoteslaTowardZero)
{
    BDOT_CONTROLLER c = Started(1.0, 1.0, 0);
    g_simClock.clock += 10;
    VEC3 field{12345.6789e-9, -12345.6789e-9, std::nan("")};
    BDOT_SetInput(&c, &field);
    EXPECT_DOUBLE_EQ(c.latestField.x, 1.2345e-5);
    EXPECT_DOUBLE_EQ(c.latestField.y, -1.2345e-5);
    EXPECT_EQ(c.latestField.z, 0.0);
    VEC3 huge{1e10, -1e10, 0};
    BDOT_SetInput(&c, &huge);
    EXPECT_DOUBLE_EQ(c.latestField.x, 2147483647e-9);
    EXPECT_DOUBLE_EQ(c.latestField.y, -2147483648e-9);
}

TEST_F(ControllerTest, AZeroIntervalOrADisabledControllerGivesNoCommand)
{
    BDOT_CONTROLLER c = Started(1e5, 1.0, 0);
    Sample(&c, 100, VEC3{20000, 0, 0});
    VEC3 m = Sample(&c, 100, VEC3{25000, 0, 0});
    EXPECT_TRUE(VEC_IsZero(&m));  // the step inside GetMoment sees dt = 0

    BDOT_CONTROLLER off = Started(1e5, 1.0, 100);
    BDOT_Disable(&off);
    Sample(&off, 100, VEC3{20000, 0, 0});
    m = Sample(&off, 100, VEC3{25000, 0, 0});
    EXPECT_TRUE(VEC_IsZero(&m));
}

TEST_F(ControllerTest, BcrossSteersAcrossTheFieldAndStretchesItsThresholdOnSlowTurns)
{
    BDOT_CONTROLLER c = Started(0.1, 1.0, 100, true);
    EXPECT_DOUBLE_EQ(c.samplingThreshold, 0.002);
    VEC3 first = Sample(&c, 100, VEC3{30000, 0, 0}, true);
    EXPECT_TRUE(VEC_IsZero(&first));
    // A turn of 0.1 degrees per sample is too small: the threshold grows and
    // the first sample is kept until the turn adds up.
    double angle = 0.0;
    int steps = 0;
    VEC3 m{0, 0, 0};
    while (VEC_IsZero(&m) && steps < 100) {
        angle += 0.1 * 3.14159265358979 / 180.0;
        m = Sample(&c, 100, VEC3{30000 * std::cos(angle), 30000 * std::sin(angle), 0}, true);
        steps++;
    }
    EXPECT_GT(c.samplingThreshold, 0.002);
    EXPECT_GE(steps, 5);
    // The field turns toward +y: the command of length gain points against
    // the direction in which the field moves, (sin, -cos, 0).
    EXPECT_NEAR(m.x * std::sin(angle) - m.y * std::cos(angle), 0.1, 1e-9);
    EXPECT_EQ(m.z, 0.0);
}

class ControllerLineTest : public ::testing::TestWithParam<std::pair<const char*, bool>> {};

TEST_P(ControllerLineTest, ParameterLine)
{
    LOG_Init();
    iotxttest::ScopedText text(GetParam().first);
    BDOT_CONTROLLER c{};
    uint32_t ok = BDOT_ParseParams(&c);
    EXPECT_EQ(ok, GetParam().second ? 1u : 0u) << GetParam().first;
    if (!GetParam().second) {
        EXPECT_NE(LogText().find("SAT: očekávám parametry B-DOT ve formátu"), std::string::npos);
    }
}

INSTANTIATE_TEST_SUITE_P(Lines, ControllerLineTest,
                         ::testing::Values(std::make_pair("5000, 0.02, 0.02, 0.02, 1s", true),
                                           std::make_pair("0, 0, 0, 0, 500ms ; zero is allowed", true),
                                           std::make_pair("-5000, 0.02, 0.02, 0.02, 1s", true),
                                           std::make_pair("5000, -0.02, 0.02, 0.02, 1s", false),
                                           std::make_pair("5000, 0.02, 0.02, 1s", false),
                                           std::make_pair("5000, 0.02, 0.02, 0.02, 1s extra", false)));

}  // namespace
