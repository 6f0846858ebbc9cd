// Whole runs of the program entry inside the test: headless, in virtual time
// (the tick count moves by 20 ms per tick and a step costs none of it), in a
// folder of its own, with the configuration files written to the program's folder.
#pragma once
#include <gtest/gtest.h>
#include <cstdlib>
#include <filesystem>
#include <string>
#include "platform/plat_time.h"
#include "platform/plat_window.h"
#include "simulation/main.h"
#include "tests/support/test_support.h"

class ProgramRunTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        oldDir_ = std::filesystem::current_path();
        std::filesystem::current_path(testsupport::MakeTempDir("run"));
        setenv("ORBIT_HEADLESS", "1", 1);
        setenv("ORBIT_VIRTUAL_TIME", "1", 1);
        unsetenv("ORBIT_TEST_COMMANDS");
        PLAT_ResetWindows();
        g_simClock = SIM_CLOCK{};
        programDir_ = std::filesystem::read_symlink("/proc/self/exe").parent_path();
        Write("Objects.cfg", "; no satellites\n");
        Write("Orbit.cfg", "OrbitGraphics = OFF\n");
    }
    void TearDown() override
    {
        PLAT_ResetWindows();
        PLAT_SetVirtualTime(0);
        std::filesystem::current_path(oldDir_);
        for (const char* name : {"Objects.cfg", "Multipass.cfg", "DataOutput.cfg", "Orbit.cfg", "Ground.cfg"})
            std::filesystem::remove(programDir_ / name);
    }
    void Write(const char* name, const std::string& text) { testsupport::WriteFile((programDir_ / name).string(), text); }
    int Run()
    {
        char name[] = "orbit";
        char* argv[] = {name, nullptr};
        testing::internal::CaptureStdout();
        testing::internal::CaptureStderr();
        int rc = MAIN_Run(1, argv);
        err_ = testing::internal::GetCapturedStderr();
        out_ = testing::internal::GetCapturedStdout();
        return rc;
    }

    std::string out_;   // the terminal of the last run: standard output and error
    std::string err_;
    std::filesystem::path oldDir_;
    std::filesystem::path programDir_;
};
