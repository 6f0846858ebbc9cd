// The detumble example as a user runs it: headless, in virtual time, three
// orbits of a tumbling CubeSat under every torque and the built-in B-dot.
#include <gtest/gtest.h>
#include <cstdlib>
#include <filesystem>
#include <string>
#include "tests/scenarios/scenario_support.h"
#include "tests/support/test_support.h"

namespace {

std::string CopyExample(const char* name)
{
    std::string dir = testsupport::MakeTempDir(name);
    std::filesystem::copy(std::string(ORBIT_SOURCE_DIR) + "/examples/" + name, dir,
                          std::filesystem::copy_options::recursive | std::filesystem::copy_options::overwrite_existing);
    std::filesystem::remove(dir + "/orbit");
    return dir;
}

TEST(ExampleScenario, DetumbleRunsThreeOrbitsAndFreesEverything)
{
    std::string dir = CopyExample("detumble");
    ASSERT_EQ(scenario::Wait(scenario::StartIn(dir), 120000), 0) << testsupport::ReadFile(dir + "/stdout.txt");
    std::string log = testsupport::ReadFile(dir + "/Zendrix.log");
    EXPECT_NE(log.find("Satelit: CUBESAT\n"), std::string::npos) << log;
    EXPECT_EQ(log.find("Nezruseny"), std::string::npos) << log;
}

// The twin: three coils follow an on-board B-dot module built with sdcc.
TEST(ExampleScenario, DetumbleWithCoilsRunsItsModuleAndFreesEverything)
{
    if (std::system("command -v sdcc >/dev/null 2>&1") != 0) GTEST_SKIP() << "sdcc is not installed";
    std::string dir = CopyExample("detumble_coils");
    std::string build = "bash '" ORBIT_SOURCE_DIR "/scripts/build_module.sh' '" + dir + "/bdot.c' '" + dir + "/bdot.img'";
    ASSERT_EQ(std::system(build.c_str()), 0);
    ASSERT_EQ(scenario::Wait(scenario::StartIn(dir), 120000), 0) << testsupport::ReadFile(dir + "/stdout.txt");
    std::string log = testsupport::ReadFile(dir + "/Zendrix.log");
    EXPECT_NE(log.find("Satelit: CUBESAT\n"), std::string::npos) << log;
    EXPECT_EQ(log.find("COIL"), std::string::npos) << log;
    EXPECT_EQ(log.find("Nezruseny"), std::string::npos) << log;
}

}  // namespace
