// The example scenario as a user runs it: headless, in virtual time, one day
// of a satellite in low Earth orbit at the fastest speed.
#include <gtest/gtest.h>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include "tests/support/test_support.h"

namespace {

int RunProgramIn(const std::string& dir)
{
    std::string command = "cd '" + dir + "' && ORBIT_HEADLESS=1 ORBIT_VIRTUAL_TIME=1 ./orbit > stdout.txt 2>&1";
    int status = std::system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST(ExampleScenario, LeoRunsOneDayAndRecordsItsRows)
{
    std::string dir = testsupport::MakeTempDir("leo");
    std::filesystem::copy(std::string(ORBIT_SOURCE_DIR) + "/examples/leo", dir,
                          std::filesystem::copy_options::recursive | std::filesystem::copy_options::overwrite_existing);
    std::filesystem::remove(dir + "/orbit");
    std::filesystem::create_symlink(std::string(ORBIT_BINARY_DIR) + "/orbit", dir + "/orbit");

    ASSERT_EQ(RunProgramIn(dir), 0) << testsupport::ReadFile(dir + "/stdout.txt");
    std::string log = testsupport::ReadFile(dir + "/Zendrix.log");
    EXPECT_NE(log.find("Satelit: LEO\n"), std::string::npos) << log;
    // The CubeSat's mass model is computed and printed at the start.
    EXPECT_NE(log.find("MASSMODEL: cubesat\nMODEL-COG at "), std::string::npos) << log;
    EXPECT_NE(log.find("MODEL-IT:     0.00"), std::string::npos) << log;
    // A step every 10 s of the day, besides those at the start.
    size_t summary = log.find("Satelit LEO: ");
    ASSERT_NE(summary, std::string::npos) << log;
    long steps = std::strtol(log.c_str() + summary + 13, nullptr, 10);
    EXPECT_GE(steps, 8640);
    EXPECT_LE(steps, 8643);
    EXPECT_EQ(log.find("Nezruseny"), std::string::npos) << log;

    std::string rows = testsupport::ReadFile(dir + "/leo_track.csv");
    EXPECT_NE(rows.find("\"01.01.2006, 00:10.00.000\";0,1666667\n"), std::string::npos);
    EXPECT_NE(rows.find("\"02.01.2006, 00:00.00.000\";24,0000000\n"), std::string::npos);
}

}  // namespace
