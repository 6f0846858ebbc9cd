// The detumble example as a user runs it: headless, in virtual time, three
// orbits of a tumbling CubeSat under every torque and the built-in B-dot.
#include <gtest/gtest.h>
#include <cmath>
#include <filesystem>
#include <string>
#include <vector>
#include "tests/scenarios/scenario_support.h"
#include "tests/support/test_support.h"

namespace {

// The numbers of the one row of a results file.
std::vector<double> ResultRow(const std::string& path)
{
    auto rows = testsupport::ReadCsvValues(path, 0);
    EXPECT_EQ(rows.size(), 1u) << path;
    return rows.empty() ? std::vector<double>{} : rows[0];
}

TEST(ExampleScenario, DetumbleRunsThreeOrbitsAndFreesEverything)
{
    std::string dir = scenario::CopyExample("detumble");
    ASSERT_EQ(scenario::Wait(scenario::StartIn(dir), 120000), 0) << testsupport::ReadFile(dir + "/stdout.txt");
    std::string log = testsupport::ReadFile(dir + "/Zendrix.log");
    EXPECT_NE(log.find("Satelit: CUBESAT\n"), std::string::npos) << log;
    EXPECT_EQ(log.find("Nezruseny"), std::string::npos) << log;
    // From 10 deg/s to below 0.5 deg/s, finite.
    std::vector<double> result = ResultRow(dir + "/detumble_result.csv");
    ASSERT_EQ(result.size(), 1u);
    EXPECT_TRUE(std::isfinite(result[0]));
    EXPECT_LT(result[0] * 180.0 / 3.14159265358979, 0.5);
}

// The twin: three coils follow an on-board B-dot module built with sdcc.
TEST(ExampleScenario, DetumbleWithCoilsRunsItsModuleAndFreesEverything)
{
    if (!scenario::SdccPresent()) GTEST_SKIP() << "sdcc is not installed";
    std::string dir = scenario::CopyExample("detumble_coils", {"bdot"});
    ASSERT_EQ(scenario::Wait(scenario::StartIn(dir), 120000), 0) << testsupport::ReadFile(dir + "/stdout.txt");
    std::string log = testsupport::ReadFile(dir + "/Zendrix.log");
    EXPECT_NE(log.find("Satelit: CUBESAT\n"), std::string::npos) << log;
    EXPECT_EQ(log.find("COIL"), std::string::npos) << log;
    EXPECT_EQ(log.find("Nezruseny"), std::string::npos) << log;
    // Brought to rest; each coil has used some energy.
    std::vector<double> result = ResultRow(dir + "/detumble_coils_result.csv");
    ASSERT_EQ(result.size(), 4u);
    EXPECT_LT(result[0] * 180.0 / 3.14159265358979, 0.5);
    for (int i = 1; i < 4; ++i) EXPECT_GT(result[i], 0.0) << i;
}

}  // namespace
