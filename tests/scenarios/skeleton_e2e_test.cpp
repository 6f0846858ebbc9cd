// Runs the built program as a user would: headless, with virtual time, in a
// scenario folder of its own.
#include <gtest/gtest.h>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <fcntl.h>
#include "tests/support/test_support.h"

namespace {

struct Program {
    pid_t pid = -1;
    std::string dir;
};

Program Start(const std::string& label, const char* testCommands, const char* multipass = nullptr)
{
    Program p;
    p.dir = testsupport::MakeTempDir(label);
    testsupport::WriteFile(p.dir + "/Objects.cfg", "; no satellites\n");
    testsupport::WriteFile(p.dir + "/Orbit.cfg", "OrbitGraphics = OFF\n");
    if (multipass)
        testsupport::WriteFile(p.dir + "/Multipass.cfg", multipass);
    std::string link = p.dir + "/orbit";
    std::filesystem::create_symlink(std::string(ORBIT_BINARY_DIR) + "/orbit", link);
    p.pid = fork();
    if (p.pid == 0) {
        if (chdir(p.dir.c_str()) != 0)
            _exit(126);
        int out = open("stdout.txt", O_WRONLY | O_CREAT | O_TRUNC, 0644);
        dup2(out, 1);
        dup2(out, 2);
        setenv("ORBIT_HEADLESS", "1", 1);
        setenv("ORBIT_VIRTUAL_TIME", "1", 1);
        if (testCommands)
            setenv("ORBIT_TEST_COMMANDS", testCommands, 1);
        execl("./orbit", "./orbit", static_cast<char*>(nullptr));
        _exit(127);
    }
    return p;
}

// The exit status, or -1 when the program has not ended within the timeout.
int Wait(const Program& p, int timeoutMs)
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

bool WaitForFile(const std::string& path, int timeoutMs)
{
    for (int waited = 0; waited < timeoutMs; waited += 10) {
        if (std::filesystem::exists(path))
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
}

TEST(SkeletonScenario, SigtermEndsTheRunAndTheProgramExitsCleanly)
{
    Program p = Start("sigterm", nullptr);
    ASSERT_GT(p.pid, 0);
    // The log exists once the stop signals are taken over.
    ASSERT_TRUE(WaitForFile(p.dir + "/Zendrix.log", 5000));
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    kill(p.pid, SIGTERM);
    EXPECT_EQ(Wait(p, 10000), 0) << testsupport::ReadFile(p.dir + "/stdout.txt");
    std::string log = testsupport::ReadFile(p.dir + "/Zendrix.log");
    EXPECT_EQ(log.find("Nezruseny"), std::string::npos) << log;
    EXPECT_EQ(log.find("CHYBA"), std::string::npos) << log;
}

TEST(SkeletonScenario, EndOfRunCommandEndsTheLastRun)
{
    Program p = Start("endrun", "100:166,200:105");
    ASSERT_GT(p.pid, 0);
    EXPECT_EQ(Wait(p, 10000), 0) << testsupport::ReadFile(p.dir + "/stdout.txt");
    EXPECT_TRUE(std::filesystem::exists(p.dir + "/Zendrix.log"));
    EXPECT_EQ(testsupport::ReadFile(p.dir + "/Zendrix.log").find("Nezruseny"), std::string::npos);
}

TEST(SkeletonScenario, DefaultRunAtFastestSpeedEndsByItself)
{
    Program p = Start("fastest", nullptr, "SimulationSpeed = FASTEST\n");
    ASSERT_GT(p.pid, 0);
    EXPECT_EQ(Wait(p, 20000), 0) << testsupport::ReadFile(p.dir + "/stdout.txt");
    EXPECT_EQ(testsupport::ReadFile(p.dir + "/Zendrix.log").find("Nezruseny"), std::string::npos);
}

TEST(SkeletonScenario, ConfigurationThatFailsToLoadGivesNonZeroStatus)
{
    Program p = Start("badcfg", nullptr, "StartTime = tomorrow\n");
    ASSERT_GT(p.pid, 0);
    EXPECT_EQ(Wait(p, 10000), 1);
    std::string log = testsupport::ReadFile(p.dir + "/Zendrix.log");
    EXPECT_NE(log.find("MULTIPASS: "), std::string::npos) << log;
    EXPECT_EQ(log.find("Nezruseny"), std::string::npos) << log;
}

}
