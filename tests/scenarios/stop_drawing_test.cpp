// A stop signal while the 3-D view draws a frame that is slow (a driver that
// takes seconds) or that hangs: the program as a user starts it, with a
// library that makes the Earth's sphere slow.
#include <gtest/gtest.h>
#include <csignal>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include "tests/scenarios/scenario_support.h"
#include "tests/support/test_support.h"

namespace {

size_t Occurrences(const std::string& text, const std::string& part)
{
    size_t n = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
    return n;
}

// The scene example recording a movie, started with the Earth's sphere taking
// earthMs asleep in every frame; stopped by SIGTERM stopAfterMs after the
// first slow sphere began. The exit status.
int RunStoppedWhileDrawing(const std::string& dir, const char* earthMs, int stopAfterMs)
{
    testsupport::WriteFile(dir + "/DataOutput.cfg",
                           "datafile CSV, \"rows.csv\"\n    interval = 1m\n    timeunit = 1m\nend\n");
    testsupport::WriteFile(dir + "/Orbit.cfg",
                           "OrbitWindow_DX = 200\nOrbitWindow_DY = 150\nMovieRecording = ANO\n"
                           "MovieRecordingRunning = ANO\nMovieCodec = \"MJPG\"\nMovieFilename = \"m.avi\"\n"
                           "MovieFPS = 10\n");
    std::string asan = getenv("ASAN_OPTIONS") ? getenv("ASAN_OPTIONS") : "";
    setenv("LD_PRELOAD", ORBIT_SLOW_EARTH, 1);
    setenv("ORBIT_TEST_EARTH_MS", earthMs, 1);
    // The library comes before the sanitizers' runtime in a sanitizer build.
    setenv("ASAN_OPTIONS", (asan + (asan.empty() ? "" : ":") + "verify_asan_link_order=0").c_str(), 1);
    scenario::Program program = scenario::StartIn(dir);
    unsetenv("LD_PRELOAD");
    unsetenv("ORBIT_TEST_EARTH_MS");
    if (asan.empty()) unsetenv("ASAN_OPTIONS");
    else setenv("ASAN_OPTIONS", asan.c_str(), 1);
    EXPECT_TRUE(scenario::WaitForFile(dir + "/earth_begun", 60000));
    std::this_thread::sleep_for(std::chrono::milliseconds(stopAfterMs));
    kill(program.pid, SIGTERM);
    return scenario::Wait(program, 120000);
}

uint32_t RiffSize(const std::string& path)
{
    std::string bytes = testsupport::ReadFile(path);
    uint32_t size = 0;
    if (bytes.size() >= 8) memcpy(&size, bytes.data() + 4, 4);
    return size;
}

}  // namespace

// Frames of 1.8 s: the frame drawn at the stop is waited for, the movie is
// completed and the program ends as after any stop.
TEST(StopWhileDrawing, ASlowFrameIsFinishedAndTheMovieCompleted)
{
    std::string dir = scenario::SceneExample("stop_slow_frame");
    EXPECT_EQ(RunStoppedWhileDrawing(dir, "1800", 2500), 0) << testsupport::ReadFile(dir + "/stdout.txt");
    std::string log = testsupport::ReadFile(dir + "/Zendrix.log");
    ASSERT_TRUE(std::filesystem::exists(dir + "/m.avi")) << log;
    EXPECT_NE(RiffSize(dir + "/m.avi"), 0xFFFFFFFFu);
    EXPECT_EQ(log.find("zůstává běžet"), std::string::npos) << log;
    EXPECT_EQ(testsupport::ReadFile(dir + "/stdout.txt").find("Chyba spr"), std::string::npos);
}

// A frame that hangs from the movie's first frame on: the thread is left
// after 5 s without progress, the movie is said lost although it had no
// frame yet and no file is left, the rows and the log are finished, and the
// program ends without a leak report.
TEST(StopWhileDrawing, AHangingFrameIsLeftAndTheProgramEndsWithItsFiles)
{
    std::string dir = scenario::SceneExample("stop_hanging_frame");
    EXPECT_EQ(RunStoppedWhileDrawing(dir, "600000", 500), 1) << testsupport::ReadFile(dir + "/stdout.txt");
    std::string out = testsupport::ReadFile(dir + "/stdout.txt");
    std::string log = testsupport::ReadFile(dir + "/Zendrix.log");
    EXPECT_EQ(Occurrences(log, "vykreslovací vlákno po požadavku na ukončení 5000 ms nepokračovalo"), 1u) << log;
    EXPECT_EQ(Occurrences(log, "OGW: film \"m.avi\" nelze dokončit (vykreslovací vlákno neskončilo), film se ztrácí."),
              1u)
        << log;
    EXPECT_NE(out.find("OGW: film \"m.avi\" nelze dokon"), std::string::npos) << out;   // on the terminal too
    EXPECT_FALSE(std::filesystem::exists(dir + "/m.avi"));
    EXPECT_EQ(out.find("Chyba spr"), std::string::npos) << out;   // no leak report
    EXPECT_EQ(log.find("Byly nalezeny neuvolněné"), std::string::npos);
    std::string rows = testsupport::ReadFile(dir + "/rows.csv");
    EXPECT_NE(rows.find("\"10.11.2006, 00:00.00.000\""), std::string::npos) << rows;
    EXPECT_NE(log.find("Satelit LEO: "), std::string::npos) << log;
}
