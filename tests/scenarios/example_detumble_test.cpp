// The detumble example as a user runs it: headless, in virtual time, three
// orbits of a tumbling CubeSat under every torque and the built-in B-dot.
#include <gtest/gtest.h>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <sys/wait.h>
#include "tests/support/test_support.h"

namespace {

int RunProgramIn(const std::string& dir)
{
    std::string command = "cd '" + dir + "' && ORBIT_HEADLESS=1 ORBIT_VIRTUAL_TIME=1 ./orbit > stdout.txt 2>&1";
    int status = std::system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string CopyExample(const char* name)
{
    std::string dir = testsupport::MakeTempDir(name);
    std::filesystem::copy(std::string(ORBIT_SOURCE_DIR) + "/examples/" + name, dir,
                          std::filesystem::copy_options::recursive | std::filesystem::copy_options::overwrite_existing);
    std::filesystem::remove(dir + "/orbit");
    std::filesystem::create_symlink(std::string(ORBIT_BINARY_DIR) + "/orbit", dir + "/orbit");
    return dir;
}

TEST(ExampleScenario, DetumbleRunsThreeOrbitsAndFreesEverything)
{
    std::string dir = CopyExample("detumble");
    ASSERT_EQ(RunProgramIn(dir), 0) << testsupport::ReadFile(dir + "/stdout.txt");
    std::string log = testsupport::ReadFile(dir + "/Zendrix.log");
    EXPECT_NE(log.find("Satelit: CUBESAT\n"), std::string::npos) << log;
    EXPECT_EQ(log.find("Nezruseny"), std::string::npos) << log;
}

}  // namespace
