// The desktop backend under an X server (the test runs under xvfb-run):
// windows appear, frames and log lines are on the screen, and real key
// presses reach the windows' procedures and the accelerator table.
#include <gtest/gtest.h>
#include <GL/gl.h>
#include <atomic>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>
#include "foundation/log.h"
#include "foundation/memory.h"
#include "foundation/pool.h"
#include "platform/plat_process.h"
#include "platform/plat_time.h"
#include "platform/plat_window.h"
#include "resources/orbit_resources.h"
#include "tests/desktop/desktop_support.h"
#include "tests/support/test_support.h"
#include "view/ogw.h"

namespace {

using desktoptest::Find;
using desktoptest::Origin;
using desktoptest::Pause;
using desktoptest::Shell;

// The screen as RGB rows, with its width.
struct Screen {
    int width = 0, height = 0;
    std::string rgb;
    const uint8_t* At(int x, int y) const { return reinterpret_cast<const uint8_t*>(rgb.data()) + (y * width + x) * 3; }
};

Screen Grab(const std::string& dir)
{
    Screen s;
    std::string size = Shell("xwd -root -silent | convert xwd:- -write '" + dir + "/screen.png' -format '%w %h' info:");
    if (sscanf(size.c_str(), "%d %d", &s.width, &s.height) != 2)
        return s;
    s.rgb = Shell("convert '" + dir + "/screen.png' -depth 8 rgb:-");
    return s;
}

std::vector<uint16_t> g_commands;
std::vector<std::pair<uint32_t, WPARAM>> g_keys3d;
HWND g_main = 0;

LRESULT MainProc(HWND window, uint32_t message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_COMMAND)
        g_commands.push_back(LOWORD(wParam));
    if (message == WM_DESTROY)
        PLAT_PostQuitMessage(0);
    return PLAT_DefWindowProc(window, message, wParam, lParam);
}

void KeyCallback(OGW_WINDOW*, uint32_t pressed, WPARAM key, LPARAM, uint32_t, uint32_t)
{
    g_keys3d.push_back({pressed, key});
}

void Green(OGW_WINDOW*)
{
    glClearColor(0, 1, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT);
}

class DesktopTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!desktoptest::HaveDisplayAndTools())
            GTEST_SKIP() << "no X display or X tools";
        unsetenv("ORBIT_HEADLESS");
        unsetenv("ORBIT_VIRTUAL_TIME");
        PLAT_Init("./test_desktop");
        ASSERT_FALSE(PLAT_IsHeadless());
        LOG_Init();
        MEMORY_Init();
        POOL_Init();
        OGW_Init();
    }
};

TEST_F(DesktopTest, FramesAndLogLinesShowAndKeysReachTheWindowsAndTheTable)
{
    std::string dir = testsupport::MakeTempDir("desktop");
    PLAT_WNDCLASS cls{"DesktopMain", MainProc, ORBITMENU, ORBITMENU_COUNT};
    ASSERT_TRUE(PLAT_RegisterClass(&cls));
    g_main = PLAT_CreateWindow("DesktopMain", "Hlavni okno", WS_OVERLAPPEDWINDOW, 0, 0, 400, 300, 0, 0, nullptr);
    HWND list = PLAT_CreateWindow("listbox", "", WS_CHILD | WS_VISIBLE, 0, 0, 400, 300, g_main, 1, nullptr);
    ASSERT_NE(list, 0u);
    PLAT_ShowWindow(g_main, SW_SHOW);
    for (const char* line : {"Měsíc a Slunce", "druhý řádek", "třetí řádek"})
        PLAT_SendMessage(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(line));

    OGW_WINDOW* w = OGW_CreateWindowRecord("Okno3D", nullptr, Green, nullptr);
    OGW_SetClientSize(w, 160, 120);
    OGW_SetPosition(w, 500, 0);
    OGW_SetKeyCallback(w, KeyCallback);
    ASSERT_EQ(OGW_OpenWindow(w), 1u);
    OGW_EnableRedraw(w);
    OGW_RequestRedraw(w);

    std::atomic<int> step{0};
    Screen screen;
    int x3d = 0, y3d = 0, xMain = 0, yMain = 0;
    std::thread user([&] {
        std::string id3d = Find("Okno3D"), idMain = Find("Hlavni okno");
        if (!id3d.empty() && !idMain.empty()) {
            Pause(500);
            Origin(id3d, &x3d, &y3d);
            Origin(idMain, &xMain, &yMain);
            screen = Grab(dir);
            Shell("xdotool windowfocus --sync " + id3d + " key Next a");
            Pause(300);
            // A click gives the list box the focus; Page Down still reaches the table.
            Shell("xdotool mousemove " + std::to_string(xMain + 50) + " " + std::to_string(yMain + 80) + " click 1");
            Shell("xdotool windowfocus --sync " + idMain + " key Next");
            Pause(300);
        }
        step = 1;
        PLAT_PostMessage(g_main, WM_CLOSE, 0, 0);
    });
    MSG msg;
    uint32_t lastRedraw = 0;
    while (PLAT_GetMessage(&msg)) {
        if (PLAT_GetTickCount() - lastRedraw > 50) {
            OGW_RequestRedraw(w);
            lastRedraw = PLAT_GetTickCount();
        }
        // Keys of the table act in the main window, wherever they were pressed.
        if (!PLAT_TranslateAccelerator(g_main, ORBITACCELERATORS, ORBITACCELERATORS_COUNT, &msg)) {
            PLAT_TranslateMessage(&msg);
            PLAT_DispatchMessage(&msg);
        }
    }
    user.join();
    OGW_DisableRedraw(w);
    OGW_DestroyWindow(w);

    ASSERT_GT(screen.width, 0) << "no screenshot";
    const uint8_t* p = screen.At(x3d + 80, y3d + 60);
    EXPECT_LT(p[0], 40);
    EXPECT_GT(p[1], 200) << "the 3-D window shows its green frame";
    int dark = 0;   // text of the log lines in the list box
    for (int y = yMain + 25; y < yMain + 90; ++y)
        for (int x = xMain + 2; x < xMain + 200; ++x)
            dark += screen.At(x, y)[0] < 80;
    EXPECT_GT(dark, 100);
    EXPECT_EQ(std::count(g_commands.begin(), g_commands.end(), 148), 2) << "Page Down in both windows";
    bool typed = false;
    for (auto& k : g_keys3d)
        typed = typed || (k.first == 0 && k.second == 'a');
    EXPECT_TRUE(typed) << "a typed in the 3-D window reaches its key callback";
}

}
