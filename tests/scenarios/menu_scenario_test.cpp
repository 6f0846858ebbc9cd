// View commands posted to a headless run through ORBIT_TEST_COMMANDS reach
// their handlers: the movie command starts and stops a recording that the
// configuration only allows.
#include <gtest/gtest.h>
#include <cstdlib>
#include <filesystem>
#include <string>
#include "tests/scenarios/scenario_support.h"

namespace {

// Runs the scene example for an hour of model time with the movie allowed
// but not running; the folder.
std::string RunWithCommands(const std::string& label, const char* commands)
{
    std::string dir = scenario::SceneExample(label);
    testsupport::WriteFile(dir + "/Orbit.cfg",
                           "OrbitGraphics = ANO\nOrbitWindow_DX = 160\nOrbitWindow_DY = 120\n"
                           "MovieRecording = ANO\nMovieRecordingRunning = NE\nMovieCodec = \"MJPG\"\n"
                           "MovieFilename = \"cmd.avi\"\nMovieFPS = 10\n");
    scenario::Program p = scenario::StartIn(dir, commands);
    EXPECT_EQ(scenario::Wait(p, 60000), 0) << testsupport::ReadFile(dir + "/stdout.txt");
    EXPECT_EQ(testsupport::ReadFile(dir + "/Zendrix.log").find("Nezruseny"), std::string::npos);
    return dir;
}

}  // namespace

TEST(MenuScenario, TheMovieCommandRecordsOnlyBetweenItsTwoPresses)
{
    std::string idle = RunWithCommands("menu_idle", nullptr);
    EXPECT_FALSE(std::filesystem::exists(idle + "/cmd.avi"));
    // Display switches and the info window toggle on the way do not disturb the run.
    std::string recorded = RunWithCommands("menu_movie", "500:371,700:177,800:167,900:30000,1500:371,2000:177");
    ASSERT_TRUE(std::filesystem::exists(recorded + "/cmd.avi"));
    EXPECT_GT(std::filesystem::file_size(recorded + "/cmd.avi"), 1000u);
    if (std::system("command -v ffprobe >/dev/null 2>&1") == 0) {
        // One second of the virtual clock at 10 frames a second.
        std::string frames = recorded + "/frames.txt";
        std::string command = "ffprobe -v error -count_frames -select_streams v:0 -show_entries "
                              "stream=nb_read_frames -of default=nw=1 '" + recorded + "/cmd.avi' > '" + frames + "'";
        ASSERT_EQ(std::system(command.c_str()), 0);
        EXPECT_EQ(testsupport::ReadFile(frames), "nb_read_frames=10\n");
    }
}
