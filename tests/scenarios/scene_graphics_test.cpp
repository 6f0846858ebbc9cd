// The same scenario run without and with the 3-D view, headless in virtual
// time: drawing the view must not change what the simulation computes.
#include <gtest/gtest.h>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <csignal>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>
#include "tests/scenarios/scenario_support.h"
#include "tests/support/test_support.h"

namespace {

// Runs the scenario with the given Orbit.cfg, through the launcher when one is
// given (taskset); its folder.
std::string RunScenario(const std::string& label, const std::string& orbitCfg, const std::string& launcher = "")
{
    std::string dir = scenario::SceneExample(label);
    testsupport::WriteFile(dir + "/DataOutput.cfg",
                           "datafile CSV, \"rows.csv\"\n    interval = 1m\n    timeunit = 1m\nend\n");
    testsupport::WriteFile(dir + "/Orbit.cfg", orbitCfg);
    std::filesystem::create_symlink(std::string(ORBIT_BINARY_DIR) + "/orbit", dir + "/orbit");
    std::string command =
        "cd '" + dir + "' && ORBIT_HEADLESS=1 ORBIT_VIRTUAL_TIME=1 " + launcher + " ./orbit > stdout.txt 2>&1";
    int status = std::system(command.c_str());
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << testsupport::ReadFile(dir + "/stdout.txt");
    return dir;
}

// Processes that only spin, to load the machine.
std::vector<pid_t> BusyProcesses(int count)
{
    std::vector<pid_t> pids;
    for (int i = 0; i < count; i++) {
        pid_t pid = fork();
        volatile unsigned spin = 0;
        if (pid == 0)
            for (;;) spin = spin + 1;
        pids.push_back(pid);
    }
    return pids;
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

// In virtual time frames are drawn in lockstep with the ticks, from the whole
// state after each tick: the movie and the screenshots are the same bytes on
// one processor and on two shared with busy processes.
TEST(SceneGraphics, MoviesAndScreenshotsAreTheSameOnAnyNumberOfProcessors)
{
    if (std::system("command -v taskset >/dev/null 2>&1") != 0) GTEST_SKIP() << "taskset is missing";
    const std::string orbitCfg =
        "OrbitWindow_DX = 200\nOrbitWindow_DY = 152\nOrbitDefaultCamera = SATELIT_O\n"
        "MovieRecording = ANO\nMovieRecordingRunning = ANO\nMovieCodec = \"MJPG\"\nMovieFilename = \"m.avi\"\n"
        "MovieFPS = 25\nCaptureScreenshots = ANO\nCaptureInterval = 700\nCaptureFilename = \"shot##.jpg\"\n";
    std::string single = RunScenario("lockstep_1", orbitCfg, "taskset -c 0");
    std::string movie = testsupport::ReadFile(single + "/m.avi");
    ASSERT_GT(movie.size(), 1000u);
    for (int attempt = 0; attempt < 2; attempt++) {
        std::vector<pid_t> busy = BusyProcesses(3);
        std::string shared = RunScenario("lockstep_2", orbitCfg, "taskset -c 0,1");
        for (pid_t pid : busy) {
            kill(pid, SIGKILL);
            waitpid(pid, nullptr, 0);
        }
        EXPECT_TRUE(testsupport::ReadFile(shared + "/m.avi") == movie) << "movies differ";
        for (const char* shot : {"/shot01.jpg", "/shot03.jpg", "/shot05.jpg"})
            EXPECT_TRUE(testsupport::ReadFile(shared + shot) == testsupport::ReadFile(single + shot)) << shot;
    }
}
