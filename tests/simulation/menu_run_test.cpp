// Menu commands and information windows in whole headless runs: the about
// box keeps the run going, and windows asked for in Objects.cfg live with
// their satellites.
#include <algorithm>
#include <string>
#include "platform/plat_window.h"
#include "resources/orbit_resources.h"
#include "simulation/sats.h"
#include "simulation/satelit.h"
#include "tests/simulation/program_run.h"
#include "view/about.h"
#include "view/satwindow.h"

namespace {

constexpr uint16_t PROBE = 165;   // a command with no handler: the tests look around

struct Seen {
    TIME_MS clockAtAbout = 0;
    TIME_MS clockAtEscape = 0;
    uint16_t frameAtEscape = 0;
    uint32_t windows = 0;
    uint32_t visible = 0;
    std::string latitudeText;
};
Seen g_seen;

void AboutObserver(uint16_t command)
{
    if (command == CMD_ABOUT)
        g_seen.clockAtAbout = g_simClock.clock;
    if (command == PROBE && MAIN_GetAboutBox()) {
        g_seen.clockAtEscape = g_simClock.clock;
        g_seen.frameAtEscape = MAIN_GetAboutState()->frame;
        PLAT_PostMessage(MAIN_GetAboutBox(), WM_KEYDOWN, VK_ESCAPE, PLAT_KeyLParam(27, 0));
    }
}

void WindowObserver(uint16_t command)
{
    if (command != PROBE)
        return;
    SATELIT* sat = SATS_GetFirst();
    g_seen.windows = SATWINDOW_Count();
    if (!sat || !sat->infoWindow)
        return;
    g_seen.visible = PLAT_IsWindowVisible(sat->infoWindow->window);
    char text[64];
    PLAT_GetWindowText(PLAT_FindChild(sat->infoWindow->window, 118), text, sizeof text);
    g_seen.latitudeText = text;
}

class MenuRunTest : public ProgramRunTest {
protected:
    void SetUp() override
    {
        ProgramRunTest::SetUp();
        g_seen = Seen{};
    }
    void TearDown() override
    {
        MAIN_SetCommandObserver(nullptr);
        ProgramRunTest::TearDown();
    }
    void Schedule(uint32_t tick, uint16_t command)
    {
        PLAT_ScheduleTestMessage(tick, WM_COMMAND, MAKEWPARAM(command, 0), 0);
    }
    void WriteSatellite(const char* extra)
    {
        Write("Objects.cfg", Satellite("Alpha", std::string("  kepler_inclination = 51.6\n") + extra));
    }
};

TEST_F(MenuRunTest, TheAboutBoxKeepsTicksAndRowsGoingAndEscapeClosesItCleanly)
{
    WriteSatellite("");
    Write("Multipass.cfg", "starttime = UT(\"01.01.2006, 00:00\")\nendtime = UT(\"02.01.2006, 00:00\")\n"
                           "simulationspeed = 6 model hours in 1 real seconds\n");
    Write("DataOutput.cfg", "datafile CSV, \"track.csv\"\n interval = 1h\nend\n");
    MAIN_SetCommandObserver(AboutObserver);
    Schedule(100, CMD_ABOUT);
    Schedule(1000, PROBE);
    ASSERT_EQ(Run(), 0);
    EXPECT_GT(g_seen.clockAtEscape, g_seen.clockAtAbout + 3600000) << "the simulation went on under the about box";
    EXPECT_NE(g_seen.frameAtEscape, 65535) << "the about box got ticks";
    EXPECT_EQ(MAIN_GetAboutState()->dialog, 0u);
    EXPECT_EQ(MAIN_GetAboutState()->bitmap, nullptr);
    std::string rows = testsupport::ReadFile("track.csv");
    EXPECT_EQ(std::count(rows.begin(), rows.end(), '\n'), 26) << rows;
    ExpectNoLeak();
}

TEST_F(MenuRunTest, AWindowAskedForInObjectsCfgShowsValuesAndEndsWithItsSatellite)
{
    WriteSatellite("  info_window = ANO\n");
    MAIN_SetCommandObserver(WindowObserver);
    Schedule(1000, PROBE);
    Schedule(1100, CMD_END_RUN_NOW);
    ASSERT_EQ(Run(), 0);
    EXPECT_EQ(g_seen.windows, 1u);
    EXPECT_EQ(g_seen.visible, 1u);
    EXPECT_NE(g_seen.latitudeText.find("° "), std::string::npos) << g_seen.latitudeText;
    EXPECT_EQ(SATWINDOW_Count(), 0u);
    ExpectNoLeak();
}

}
