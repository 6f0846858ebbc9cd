// The menu and accelerator commands of the main window: the tables, the
// keys of the table pressed in each window of a run, the display switches
// of the current satellite and the movie command.
#include <gtest/gtest.h>
#include <atomic>
#include <cstdlib>
#include <set>
#include <thread>
#include <vector>
#include "foundation/time.h"
#include "resources/orbit_resources.h"
#include "simulation/main.h"
#include "simulation/main_run.h"
#include "simulation/satelit.h"
#include "simulation/satelit_draw.h"
#include "tests/support/test_support.h"
#include "tests/view/view_fixture.h"
#include "view/main_commands.h"
#include "view/ogw_movie.h"
#include "view/orbit_config.h"
#include "view/satwindow.h"
#include "view/scene.h"

namespace {

std::vector<uint16_t> g_commands;
void Record(uint16_t command) { g_commands.push_back(command); }

// The key message a keyboard sends for an accelerator entry.
MSG KeyFor(const ACCEL& a)
{
    LPARAM modifiers = 0;
    if (a.fVirt & FSHIFT) modifiers |= PLAT_KEY_SHIFT;
    if (a.fVirt & FCONTROL) modifiers |= PLAT_KEY_CTRL;
    if (a.fVirt & FALT) modifiers |= PLAT_KEY_ALT;
    uint32_t message = (a.fVirt & FALT) ? WM_SYSKEYDOWN : WM_KEYDOWN;
    if (a.fVirt & FVIRTKEY) {
        bool letter = a.key >= 'A' && a.key <= 'Z';
        uint8_t typed = (a.fVirt & FCONTROL) && letter ? static_cast<uint8_t>(a.key - 'A' + 1) : 0;
        return MSG{0, message, a.key, PLAT_KeyLParam(typed, modifiers), 0};
    }
    WPARAM vk = a.key;
    switch (a.key) {
    case '+': vk = 0xBB; modifiers |= PLAT_KEY_SHIFT; break;
    case '-': vk = 0xBD; break;
    case '/': vk = 0xBF; break;
    case '?': vk = 0xBF; modifiers |= PLAT_KEY_SHIFT; break;
    case ' ': vk = VK_SPACE; break;
    default:
        if (a.key >= 'a' && a.key <= 'z')
            vk = a.key - 'a' + 'A';
    }
    return MSG{0, message, vk, PLAT_KeyLParam(static_cast<uint8_t>(a.key), modifiers), 0};
}

void NoDrawing(OGW_WINDOW*) {}

class MainCommandsTest : public viewtest::ViewTest {
protected:
    void SetUp() override
    {
        ViewTest::SetUp();
        g_simClock = SIM_CLOCK{};
        g_commands.clear();
        ASSERT_TRUE(MAIN_RegisterWindowClass());
        MAIN_SetCommandObserver(Record);
        CreateMainWindow();
        SATWINDOW_Init();
        sat_ = static_cast<SATELIT*>(calloc(1, sizeof(SATELIT)));
        sat_->name = name_;
        testsupport::PlaceSatellite(sat_, VEC3{6878.0, 0.0, 0.0}, VEC3{0.0, 5.0, 5.5});
    }
    void TearDown() override
    {
        g_scene.currentSatellite = nullptr;
        g_scene.window = nullptr;
        g_orbitView.movieRecording = 0;
        MAIN_SetCommandObserver(nullptr);
        SATELIT_CloseInfoWindow(sat_);
        SATELIT_FreeHistory(sat_);
        SATWINDOW_Cleanup();
        free(sat_);
        if (PLAT_IsWindow(main_))
            PLAT_DestroyWindow(main_);
        ViewTest::TearDown();
    }
    void CreateMainWindow()
    {
        main_ = PLAT_CreateWindow(MAIN_GetClassName(), MAIN_GetTitle(), WS_OVERLAPPEDWINDOW, 0, 0, 400, 300, 0, 0,
                                  nullptr);
        ASSERT_NE(main_, 0u);
    }
    // One key pressed in a window, run through the program's message loop;
    // the commands the main window received.
    std::vector<uint16_t> Press(HWND window, MSG key)
    {
        g_commands.clear();
        PLAT_PostMessage(window, key.message, key.wParam, key.lParam);
        PLAT_PostQuitMessage(0);
        MAIN_MessageLoop();
        if (!PLAT_IsWindow(main_))
            CreateMainWindow();   // Alt+X destroyed it
        return g_commands;
    }
    void Command(uint16_t id) { PLAT_SendMessage(main_, WM_COMMAND, MAKEWPARAM(id, 0), 0); }

    HWND main_ = 0;
    char name_[8] = "LEO";
    SATELIT* sat_ = nullptr;
};

TEST_F(MainCommandsTest, EveryMenuAndAcceleratorIdHasAHandlerAndOthersGoToTheDefault)
{
    std::set<uint16_t> menuIds;
    for (const MENU_ENTRY& e : ORBITMENU)
        if (e.kind == MENU_ITEM && e.id) {
            menuIds.insert(e.id);
            EXPECT_TRUE(MAIN_HasCommandHandler(e.id)) << e.id;
        }
    EXPECT_EQ(menuIds.size(), 58u);
    for (const ACCEL& a : ORBITACCELERATORS) {
        EXPECT_TRUE(MAIN_HasCommandHandler(a.cmd)) << a.cmd;
        EXPECT_TRUE(menuIds.count(a.cmd) || a.cmd == CMD_END_RUN_NOW) << a.cmd;
    }
    EXPECT_FALSE(MAIN_HasCommandHandler(165));
    EXPECT_FALSE(MAIN_HasCommandHandler(9999));
    Command(165);
    Command(9999);
    EXPECT_EQ(g_commands, (std::vector<uint16_t>{165, 9999}));
    EXPECT_TRUE(PLAT_IsWindow(main_));
}

TEST_F(MainCommandsTest, EveryTableKeyActsInTheMainTheViewAndAnInformationWindow)
{
    OGW_WINDOW* view = Open(64, 48);
    ASSERT_TRUE(SATELIT_OpenInfoWindow(sat_));
    HWND info = sat_->infoWindow->window;
    struct Target {
        const char* name;
        const HWND* window;   // Alt+X makes a new main window
    } targets[] = {{"main", &main_}, {"3-D", &view->window}, {"info", &info}};
    for (const Target& t : targets)
        for (const ACCEL& a : ORBITACCELERATORS)
            EXPECT_EQ(Press(*t.window, KeyFor(a)), std::vector<uint16_t>{a.cmd})
                << t.name << " window, key " << a.key << " flags " << int(a.fVirt);
    EXPECT_TRUE(PLAT_IsWindow(info));

    MSG up{0, WM_KEYDOWN, VK_UP, PLAT_KeyLParam(0, 0), 0};
    MSG down{0, WM_KEYDOWN, VK_DOWN, PLAT_KeyLParam(0, 0), 0};
    MSG shiftC{0, WM_KEYDOWN, 'C', PLAT_KeyLParam('C', PLAT_KEY_SHIFT), 0};
    MSG shiftM{0, WM_KEYDOWN, 'M', PLAT_KeyLParam('M', PLAT_KEY_SHIFT), 0};
    EXPECT_EQ(Press(view->window, up), std::vector<uint16_t>{144});
    EXPECT_EQ(Press(view->window, down), std::vector<uint16_t>{143});
    EXPECT_TRUE(Press(main_, shiftC).empty());
    EXPECT_TRUE(Press(view->window, shiftM).empty());
}

TEST_F(MainCommandsTest, DisplaySwitchesToggleOnTheCurrentSatelliteOnly)
{
    const struct {
        uint16_t id;
        uint32_t SATELIT::*flag;
    } switches[] = {
        {177, &SATELIT::infoWindowWanted},     {30000, &SATELIT::linearVelocity},
        {167, &SATELIT::orbitHistoryOn},       {168, &SATELIT::drawTitleInfo},
        {169, &SATELIT::trackLine},            {170, &SATELIT::visibilityBorder},
        {171, &SATELIT::sunVector},            {172, &SATELIT::magVector},
        {173, &SATELIT::magVectorComponents},  {174, &SATELIT::fieldHistoryOn},
        {175, &SATELIT::localEciAxes},         {176, &SATELIT::localMagAxes},
        {32792, &SATELIT::localBodyAxes},      {1700, &SATELIT::localOrbitAxes},
        {2121, &SATELIT::drawMagneticDipole},  {3568, &SATELIT::rotationAxis},
        {32793, &SATELIT::angularVelocity},    {5555, &SATELIT::principalInertiaAxes},
        {3331, &SATELIT::drawGravityTorque},   {1690, &SATELIT::drawSolarTorque},
        {12321, &SATELIT::drawMagneticTorque}, {4534, &SATELIT::drawTotalTorque},
    };
    auto flags = [&] {
        std::vector<uint32_t> v;
        for (const auto& s : switches)
            v.push_back(sat_->*(s.flag));
        return v;
    };
    const std::vector<uint32_t> allOff = flags();

    // No current satellite: nothing changes.
    for (const auto& s : switches)
        Command(s.id);
    EXPECT_EQ(flags(), allOff);
    EXPECT_EQ(sat_->infoWindow, nullptr);

    g_scene.currentSatellite = sat_;
    for (size_t i = 0; i < std::size(switches); ++i) {
        Command(switches[i].id);
        std::vector<uint32_t> expected = allOff;
        expected[i] = 1;
        EXPECT_EQ(flags(), expected) << switches[i].id;
        Command(switches[i].id);
        EXPECT_EQ(flags(), allOff) << switches[i].id;
    }
    // The info window and the history follow their switches.
    Command(177);
    EXPECT_TRUE(SATWINDOW_Exists(sat_->infoWindow));
    Command(167);
    EXPECT_NE(sat_->historyBuffer, nullptr);
    Command(167);
    EXPECT_EQ(sat_->historyBuffer, nullptr);
}

// The history switch pressed again and again while another thread takes
// frames' copies the way the render thread does: under the lock, then read
// outside it. No frame reads a buffer the switch has freed.
TEST_F(MainCommandsTest, TheHistorySwitchFreesNothingAFrameStillReads)
{
    g_scene.window = Open(64, 48, NoDrawing);
    g_scene.currentSatellite = sat_;
    std::atomic<bool> done{false};
    std::atomic<uint32_t> frames{0};
    std::thread render([&] {
        while (!done.load()) {
            OGW_Lock();
            SATELIT_SnapshotForDrawing(sat_);
            SATELIT_DRAWING_COPY c = sat_->drawing;
            OGW_Unlock();
            double sum = 0.0;
            for (uint32_t i = 0; c.history && i < SAT_ORBIT_HISTORY_CAPACITY; ++i) sum += c.history[i].x;
            EXPECT_EQ(sum, 0.0);
            frames.fetch_add(1);
        }
    });
    for (int i = 0; i < 2000 || frames.load() < 50; ++i) Command(167);
    done = true;
    render.join();
    EXPECT_GT(frames.load(), 0u);
}

TEST_F(MainCommandsTest, TheMovieCommandNeedsTheWindowAndMovieRecording)
{
    std::string file = testsupport::MakeTempDir("menu_movie") + "/movie.avi";
    g_orbitView.movieRecording = 1;
    Command(371);   // no 3-D window: nothing
    OGW_WINDOW* view = Open(64, 48, NoDrawing);
    ASSERT_EQ(OGW_ConfigureMovie(view, file.c_str(), "DIB ", 8, 500, 10000), 1u);
    g_scene.window = view;
    g_orbitView.movieRecording = 0;
    Command(371);
    EXPECT_EQ(view->recording.load(), 0u);
    EXPECT_EQ(view->movieWriter, nullptr);

    g_orbitView.movieRecording = 1;
    Command(371);
    EXPECT_EQ(view->recording.load(), 1u);
    OGW_MOVIE_WRITER* writer = view->movieWriter;
    ASSERT_NE(writer, nullptr);
    Command(371);
    EXPECT_EQ(view->recording.load(), 0u);
    Command(371);
    EXPECT_EQ(view->recording.load(), 1u);
    EXPECT_EQ(view->movieWriter, writer) << "recording goes on in the same file";
    Command(371);
}

}
