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
        for (const char* name : {"Objects.cfg", "Multipass.cfg", "DataOutput.cfg", "Orbit.cfg", "Ground.cfg",
                                 "cube.mass", "cube.surf", "cubesat.mass", "cubesat.surf", "hollow.mass"})
            std::filesystem::remove(programDir_ / name);
    }
    void Write(const char* name, const std::string& text) { testsupport::WriteFile((programDir_ / name).string(), text); }
    // A run from 1 January 2006 to the given time of that day at the fastest speed.
    void WriteMultipass(const char* end, const std::string& extra = "")
    {
        Write("Multipass.cfg", std::string("starttime = UT(\"01.01.2006, 00:00\")\nendtime = UT(\"01.01.2006, ") + end +
                                   "\")\nsimulationspeed = FASTEST\n" + extra);
    }
    // A satellite on a simple Kepler orbit with the tests' model pair installed.
    std::string Satellite(const std::string& name, const std::string& extra = "")
    {
        testsupport::InstallModelPair(programDir_.string());
        return "satelit\n  name = \"" + name + "\"\n  orbit_model = SIMPLE_KEPLER\n  kepler_meanmotion = 15\n" +
               testsupport::kModelPairLines + extra + "end\n";
    }
    static std::string Log() { return testsupport::ReadFile("Zendrix.log"); }
    // The run left no tracked block unfreed.
    static void ExpectNoLeak() { EXPECT_EQ(Log().find("Nezruseny"), std::string::npos) << Log(); }
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
