// The built program started as a user would in a scenario folder: headless, in
// virtual time, its output in "stdout.txt" of the folder.
#pragma once
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <initializer_list>
#include <filesystem>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include "tests/support/test_support.h"

namespace scenario {

struct Program {
    pid_t pid = -1;
    std::string dir;
};

// Links the program into the folder and starts it there (in virtual time
// unless told otherwise). A folder without an Orbit.cfg of its own runs
// without the 3-D view, unless it is to run as a user's folder would.
inline Program StartIn(const std::string& dir, const char* testCommands = nullptr, bool virtualTime = true,
                       bool viewOffWithoutOrbitCfg = true)
{
    Program p;
    p.dir = dir;
    if (viewOffWithoutOrbitCfg && !std::filesystem::exists(dir + "/Orbit.cfg"))
        testsupport::WriteFile(dir + "/Orbit.cfg", "OrbitGraphics = OFF\n");
    std::filesystem::create_symlink(std::string(ORBIT_BINARY_DIR) + "/orbit", dir + "/orbit");
    p.pid = fork();
    if (p.pid == 0) {
        if (chdir(p.dir.c_str()) != 0)
            _exit(126);
        int out = open("stdout.txt", O_WRONLY | O_CREAT | O_TRUNC, 0644);
        dup2(out, 1);
        dup2(out, 2);
        setenv("ORBIT_HEADLESS", "1", 1);
        if (virtualTime)
            setenv("ORBIT_VIRTUAL_TIME", "1", 1);
        else
            unsetenv("ORBIT_VIRTUAL_TIME");
        if (testCommands)
            setenv("ORBIT_TEST_COMMANDS", testCommands, 1);
        execl("./orbit", "./orbit", static_cast<char*>(nullptr));
        _exit(127);
    }
    return p;
}

// The exit status, or -1 when the program has not ended within the timeout.
inline int Wait(const Program& p, int timeoutMs)
{
    for (int waited = 0; waited < timeoutMs; waited += 10) {
        int status = 0;
        if (waitpid(p.pid, &status, WNOHANG) == p.pid)
            return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    kill(p.pid, SIGKILL);
    waitpid(p.pid, nullptr, 0);
    return -1;
}

inline bool WaitForFile(const std::string& path, int timeoutMs)
{
    for (int waited = 0; waited < timeoutMs; waited += 10) {
        if (std::filesystem::exists(path))
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
}

using testsupport::WriteBitmap;

inline bool SdccPresent() { return std::system("command -v sdcc >/dev/null 2>&1") == 0; }

// Builds an on-board module image with the project's build step; its status.
inline int BuildModule(const std::string& source, const std::string& image)
{
    std::string command = "bash '" ORBIT_SOURCE_DIR "/scripts/build_module.sh' '" + source + "' '" + image + "'";
    return std::system(command.c_str());
}

// A copy of examples/<name> in a folder of its own, each named module built
// from "<module>.c" into "<module>.img".
inline std::string CopyExample(const std::string& name, std::initializer_list<const char*> modules = {})
{
    std::string dir = testsupport::MakeTempDir(name);
    std::filesystem::copy(std::string(ORBIT_SOURCE_DIR) + "/examples/" + name, dir,
                          std::filesystem::copy_options::recursive | std::filesystem::copy_options::overwrite_existing);
    std::filesystem::remove(dir + "/orbit");
    for (const char* module : modules)
        EXPECT_EQ(BuildModule(dir + "/" + module + ".c", dir + "/" + module + ".img"), 0) << module;
    return dir;
}

// A folder with the scene example's files, grey bitmaps for its textures and a
// one-hour run in November (the Sun stands in the home camera's view).
inline std::string SceneExample(const std::string& label)
{
    std::string dir = testsupport::MakeTempDir(label);
    std::string source = std::string(ORBIT_SOURCE_DIR) + "/examples/scene/";
    for (const char* name : {"Objects.cfg", "leo.tle", "Space.cfg", "cubesat.mass", "cubesat.surf"})
        std::filesystem::copy_file(source + name, dir + "/" + name);
    for (const char* name : {"Earth.bmp", "Sun.bmp", "Moon.bmp", "Star.bmp"}) WriteBitmap(dir + "/" + name);
    testsupport::WriteFile(dir + "/Multipass.cfg",
                           "starttime = UT(\"10.11.2006, 00:00\")\nendtime = UT(\"10.11.2006, 01:00\")\n"
                           "simulationspeed = 1 model hours in 4 real seconds\n");
    return dir;
}

// The scene example's files with a small view that records a movie and takes
// a screenshot every second, in a run of 5 model minutes (some 70 frames),
// with the program linked in.
inline std::string SceneWithMovie(const std::string& label)
{
    std::string dir = SceneExample(label);
    testsupport::WriteFile(dir + "/Multipass.cfg", "starttime = UT(\"10.11.2006, 00:00\")\n"
                                                   "endtime = UT(\"10.11.2006, 00:05\")\n"
                                                   "simulationspeed = 1 model hours in 16 real seconds\n");
    testsupport::WriteFile(dir + "/Orbit.cfg", "OrbitWindow_DX = 160\nOrbitWindow_DY = 120\n"
                                               "MovieRecording = ANO\nMovieRecordingRunning = ANO\n"
                                               "MovieCodec = \"MJPG\"\nMovieFilename = \"m.avi\"\nMovieFPS = 10\n"
                                               "CaptureScreenshots = ANO\nCaptureInterval = 1000\n"
                                               "CaptureFilename = \"shot#.jpg\"\n");
    std::filesystem::create_symlink(std::string(ORBIT_BINARY_DIR) + "/orbit", dir + "/orbit");
    return dir;
}

}  // namespace scenario
