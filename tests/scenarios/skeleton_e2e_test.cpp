// Runs the built program as a user would: headless, with virtual time, in a
// scenario folder of its own.
#include <gtest/gtest.h>
#include "platform/plat_text.h"
#include "tests/scenarios/scenario_support.h"

namespace {

using scenario::Program;
using scenario::Wait;
using scenario::WaitForFile;

Program Start(const std::string& label, const char* testCommands, const char* multipass = nullptr)
{
    std::string dir = testsupport::MakeTempDir(label);
    testsupport::WriteFile(dir + "/Objects.cfg", "; no satellites\n");
    if (multipass)
        testsupport::WriteFile(dir + "/Multipass.cfg", multipass);
    return scenario::StartIn(dir, testCommands);
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

// The default run at the fastest speed ends by itself, also with the about box open
// (about 9 s under the sanitizers; the bound only catches a run that never ends).
TEST(SkeletonScenario, TheRunGoesOnToItsEndWhileTheAboutBoxIsOpen)
{
    Program p = Start("aboutbox", "20:104", "SimulationSpeed = FASTEST\n");
    ASSERT_GT(p.pid, 0);
    EXPECT_EQ(Wait(p, 60000), 0) << testsupport::ReadFile(p.dir + "/stdout.txt");
    EXPECT_EQ(testsupport::ReadFile(p.dir + "/Zendrix.log").find("Nezruseny"), std::string::npos);
}

// A Multipass.cfg that cannot be read, whose run would end before it starts,
// or whose parameter has no quoted name, ends the program with status 1 and
// its message on the terminal.
TEST(SkeletonScenario, ConfigurationThatFailsToLoadGivesNonZeroStatus)
{
    const char* files[] = {"StartTime = tomorrow\n",
                           "StartTime = UT(\"01.01.2006, 12:00\")\nEndTime = UT(\"01.01.2006, 11:00\")\n",
                           "parameter\n", "parameter x, RAMP\n", "PARAMETER(\"x\")\n"};
    for (const char* multipass : files) {
        Program p = Start("badcfg", nullptr, multipass);
        ASSERT_GT(p.pid, 0);
        EXPECT_EQ(Wait(p, 10000), 1) << multipass;
        std::string log = testsupport::ReadFile(p.dir + "/Zendrix.log");
        size_t at = log.find("MULTIPASS: ");
        ASSERT_NE(at, std::string::npos) << log;
        EXPECT_EQ(log.find("Nezruseny"), std::string::npos) << log;
        std::string message = PLAT_Cp1250ToUtf8(log.substr(at, log.find('\n', at) - at).c_str());
        EXPECT_NE(testsupport::ReadFile(p.dir + "/stdout.txt").find(message), std::string::npos) << message;
    }
}

// A texture or draw list of Objects.cfg that does not load, with the 3-D view
// on: the satellite's line is reported on the terminal, after the draw list's
// file, line and fault, the program ends with status 1 and leaves nothing
// allocated.
TEST(SkeletonScenario, SatelliteGraphicsThatDoNotLoadAreReported)
{
    const char* const texture = "SAT: chyba načtení souboru textury na řádku 4.";
    const char* const drawList = "SAT: chyba načtení definičního souboru grafiky na řádku 4.";
    struct CASE {
        const char* model;
        const char* message;
        const char* cause;
    };
    const CASE cases[] = {
        {"SPHERETEXTURED, 0.05, \"missing.bmp\"", texture, texture},
        {"USER, \"missing.def\"", drawList, "DRAWLIST: soubor \"missing.def\" nelze otevřít."},
        {"USER, \"number.def\"", drawList,
         "DRAWLIST: chybné hodnoty položky color_sphere na řádku 2 souboru \"number.def\", očekává se: střed x, y, z, "
         "poloměr, rgb(r, g, b)."},
        {"USER, \"quad.def\"", drawList,
         "DRAWLIST: bitmapu \"bad.bmp\" nelze načíst na řádku 1 souboru \"quad.def\"."}};
    for (const auto& [model, message, cause] : cases) {
        std::string dir = testsupport::MakeTempDir("graphics");
        testsupport::InstallModelPair(dir);
        testsupport::WriteFile(dir + "/Objects.cfg", "satelit\n name = \"SAT\"\n orbit_model = SIMPLE_KEPLER\n"
                                                     " graphics_model = " + std::string(model) + "\n" +
                                                         testsupport::kModelPairLines + "end\n");
        testsupport::WriteFile(dir + "/number.def", "object_size 1\ncolor_sphere 0, 0, 0, x, rgb(1, 2, 3)\n");
        testsupport::WriteFile(dir + "/quad.def", "texture_quad 0,0,0, 1,0,0, 1,1,0, 0,1,0, \"bad.bmp\"\n");
        testsupport::WriteFile(dir + "/bad.bmp", "BM not a bitmap");
        testsupport::WriteFile(dir + "/Orbit.cfg", "Draw_Sun = NE\nDraw_Moon = NE\nDraw_stars = NE\n");
        scenario::WriteBitmap(dir + "/Earth.bmp");
        Program p = scenario::StartIn(dir);
        ASSERT_GT(p.pid, 0);
        EXPECT_EQ(Wait(p, 20000), 1) << model;
        std::string out = testsupport::ReadFile(dir + "/stdout.txt");
        EXPECT_NE(out.find(PLAT_Cp1250ToUtf8(message)), std::string::npos) << model << "\n" << out;
        EXPECT_NE(out.find(PLAT_Cp1250ToUtf8(cause)), std::string::npos) << model << "\n" << out;
        EXPECT_EQ(testsupport::ReadFile(dir + "/Zendrix.log").find("Nezruseny"), std::string::npos) << model;
    }
}

// Without Orbit.cfg every view setting takes its default: the 3-D view is on,
// drawn headless too, and needs its four texture bitmaps. Without them the run
// fails at its start with the Earth's texture; with them it runs.
TEST(SkeletonScenario, WithoutOrbitCfgTheViewIsOnAndNeedsItsTextures)
{
    for (bool bitmaps : {false, true}) {
        std::string dir = testsupport::MakeTempDir("no-orbit-cfg");
        testsupport::WriteFile(dir + "/Objects.cfg", "; no satellites\n");
        testsupport::WriteFile(dir + "/Multipass.cfg", "starttime = UT(\"01.01.2006, 00:00\")\n"
                                                       "endtime = UT(\"01.01.2006, 00:01\")\n"
                                                       "simulationspeed = FASTEST\n");
        if (bitmaps)
            for (const char* name : {"Earth.bmp", "Sun.bmp", "Moon.bmp", "Star.bmp"})
                scenario::WriteBitmap(dir + "/" + name);
        Program p = scenario::StartIn(dir, nullptr, true, false);
        ASSERT_GT(p.pid, 0);
        EXPECT_EQ(Wait(p, 20000), bitmaps ? 0 : 1);
        std::string log = testsupport::ReadFile(dir + "/Zendrix.log");
        EXPECT_NE(log.find("CFG: konfigurační soubor \"Orbit.cfg\" nelze otevřít"), std::string::npos) << log;
        bool failed = log.find("ORBIT: nelze načíst texturu povrchu Země: \"Earth.bmp\".") != std::string::npos;
        EXPECT_EQ(failed, !bitmaps) << log;
        EXPECT_EQ(log.find("Nezruseny"), std::string::npos) << log;
    }
}

}
