// The same scenario run without and with the 3-D view, headless in virtual
// time: drawing the view must not change what the simulation computes.
#include <gtest/gtest.h>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <sys/wait.h>
#include "tests/scenarios/scenario_support.h"
#include "tests/support/test_support.h"

namespace {

using scenario::WriteBitmap;

// Runs the scenario with the given Orbit.cfg; its folder.
std::string RunScenario(const std::string& label, const std::string& orbitCfg)
{
    std::string dir = testsupport::MakeTempDir(label);
    std::string source = std::string(ORBIT_SOURCE_DIR) + "/examples/scene/";
    for (const char* name : {"Objects.cfg", "leo.tle", "Space.cfg", "cubesat.mass", "cubesat.surf"})
        std::filesystem::copy_file(source + name, dir + "/" + name);
    for (const char* name : {"Earth.bmp", "Sun.bmp", "Moon.bmp", "Star.bmp"}) WriteBitmap(dir + "/" + name);
    // Early November: the Sun stands in the home camera's view.
    testsupport::WriteFile(dir + "/Multipass.cfg",
                           "starttime = UT(\"10.11.2006, 00:00\")\nendtime = UT(\"10.11.2006, 01:00\")\n"
                           "simulationspeed = 1 model hours in 4 real seconds\n");
    testsupport::WriteFile(dir + "/DataOutput.cfg",
                           "datafile CSV, \"rows.csv\"\n    interval = 1m\n    timeunit = 1m\nend\n");
    testsupport::WriteFile(dir + "/Orbit.cfg", orbitCfg);
    std::filesystem::create_symlink(std::string(ORBIT_BINARY_DIR) + "/orbit", dir + "/orbit");
    std::string command = "cd '" + dir + "' && ORBIT_HEADLESS=1 ORBIT_VIRTUAL_TIME=1 ./orbit > stdout.txt 2>&1";
    int status = std::system(command.c_str());
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << testsupport::ReadFile(dir + "/stdout.txt");
    return dir;
}

std::string SummaryLine(const std::string& dir)
{
    std::string log = testsupport::ReadFile(dir + "/Zendrix.log");
    size_t at = log.find("Satelit LEO: ");
    return at == std::string::npos ? "" : log.substr(at, log.find('\n', at) - at);
}

}  // namespace

TEST(SceneGraphics, ResultsAreTheSameWithAndWithoutTheView)
{
    std::string off = RunScenario("view_off", "OrbitGraphics = NE\n");
    std::string on = RunScenario("view_on",
                                 "OrbitWindow_DX = 200\nOrbitWindow_DY = 150\n"
                                 "CaptureScreenshots = ANO\nCaptureInterval = 500\nCaptureFilename = \"shot##.jpg\"\n");
    std::string rows = testsupport::ReadFile(off + "/rows.csv");
    EXPECT_NE(rows.find("\"10.11.2006, 01:00.00.000\""), std::string::npos) << rows;
    EXPECT_EQ(testsupport::ReadFile(on + "/rows.csv"), rows);
    EXPECT_NE(SummaryLine(off), "");
    EXPECT_EQ(SummaryLine(on), SummaryLine(off));
    // The view was drawn: screenshots were taken along the run.
    EXPECT_TRUE(std::filesystem::exists(on + "/shot01.jpg"));
    EXPECT_FALSE(std::filesystem::exists(off + "/shot01.jpg"));
}
