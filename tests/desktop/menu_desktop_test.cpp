// A whole run on the desktop (under xvfb-run) with the 3-D view and an
// information window: the 3-D frame and the log lines on the screen, every key
// of the accelerator table pressed in the main window (its list box focused),
// in the 3-D window and in the information window, a click on one item of each
// menu, screenshots of the information window and of the about box; Alt+X
// starts the next run and F10 ends the program. A title changed by the
// program reaches its X window.
#include <gtest/gtest.h>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>
#include "platform/plat_backend.h"
#include "platform/plat_text.h"
#include "platform/plat_window.h"
#include "resources/orbit_resources.h"
#include "simulation/main.h"
#include "tests/support/test_support.h"

namespace {

void Pause(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

using testsupport::Shell;

bool HaveDisplayAndTools()
{
    const char* display = getenv("DISPLAY");
    return display && *display &&
           system("command -v xdotool >/dev/null && command -v xwd >/dev/null && command -v convert >/dev/null") == 0;
}

// The first visible X window whose name starts with the text, looking 150
// times with a wait (100 ms unless given) between; "" if none.
std::string Find(const std::string& name, const std::function<void()>& wait = [] { Pause(100); })
{
    for (int i = 0; i < 150; ++i) {
        std::string id = Shell("xdotool search --onlyvisible --name '^" + name + "' 2>/dev/null | head -1");
        if (!id.empty())
            return id.erase(id.find_last_not_of('\n') + 1);
        wait();
    }
    return "";
}

// The window's position on the screen.
void Origin(const std::string& id, int* x, int* y)
{
    std::string geometry = Shell("xdotool getwindowgeometry --shell " + id);
    size_t px = geometry.find("X="), py = geometry.find("Y=");
    *x = px == std::string::npos ? 0 : atoi(geometry.c_str() + px + 2);
    *y = py == std::string::npos ? 0 : atoi(geometry.c_str() + py + 2);
}

// How many pixels of a screenshot ("-root" or "-id <window>"), cut to a
// rectangle if one is given, are lit, or dark (text and frames); the shot is
// kept as a PNG file, its width given back if asked for.
int CountPixels(const std::string& what, const std::string& crop, const std::string& png, bool lit, int* width = nullptr)
{
    std::string size = Shell("xwd " + what + " -silent | convert xwd:- " + (crop.empty() ? "" : "-crop " + crop + " +repage ") +
                             "-write '" + png + "' -format '%w' info:");
    if (width)
        *width = atoi(size.c_str());
    std::string gray = Shell("convert '" + png + "' -colorspace gray -depth 8 gray:-");
    return static_cast<int>(
        std::count_if(gray.begin(), gray.end(), [lit](char c) { return lit ? (uint8_t)c > 40 : (uint8_t)c < 64; }));
}

// The xdotool name of an accelerator's key.
std::string KeyName(const ACCEL& a)
{
    std::string name;
    if (a.fVirt & FALT) name += "alt+";
    if (a.fVirt & FSHIFT) name += "shift+";
    if (a.fVirt & FCONTROL) name += "ctrl+";
    const bool virtualKey = a.fVirt & FVIRTKEY;
    static const struct {
        bool virtualKey;
        int key;
        const char* name;
    } kNames[] = {{false, '+', "plus"},    {false, '-', "minus"},  {false, ' ', "space"},   {false, '/', "slash"},
                  {false, '?', "question"}, {true, VK_HOME, "Home"}, {true, VK_LEFT, "Left"}, {true, VK_RIGHT, "Right"},
                  {true, VK_UP, "Up"},      {true, VK_DOWN, "Down"}, {true, VK_PRIOR, "Prior"}, {true, VK_NEXT, "Next"},
                  {true, VK_TAB, "Tab"}};
    for (const auto& k : kNames)
        if (k.virtualKey == virtualKey && k.key == a.key)
            return name + k.name;
    // Virtual keys of letters are upper case; xdotool names them in lower case.
    bool letter = virtualKey && a.key >= 'A' && a.key <= 'Z';
    return name + static_cast<char>(letter ? a.key - 'A' + 'a' : a.key);
}

std::atomic<uint32_t> g_runsEnded{0};
std::mutex g_mutex;
std::vector<uint16_t> g_commands;

void Record(uint16_t command)
{
    std::lock_guard<std::mutex> lock(g_mutex);
    g_commands.push_back(command);
}

// Waits until the main window has received the number of commands, at most 10 s.
void AwaitCommands(size_t count)
{
    for (int i = 0; i < 200; ++i) {
        {
            std::lock_guard<std::mutex> lock(g_mutex);
            if (g_commands.size() >= count)
                break;
        }
        Pause(50);
    }
    Pause(200);   // and no more come
}

std::vector<uint16_t> TakeCommands()
{
    std::lock_guard<std::mutex> lock(g_mutex);
    std::vector<uint16_t> taken;
    taken.swap(g_commands);
    std::sort(taken.begin(), taken.end());
    return taken;
}

using testsupport::WriteBitmap;

const char* const kFiles[] = {"Objects.cfg", "Orbit.cfg", "Multipass.cfg", "Space.cfg", "leo.tle",
                              "cube.mass",   "cube.surf", "Earth.bmp",     "Sun.bmp",   "Moon.bmp",
                              "Star.bmp"};

class MenuDesktopTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!HaveDisplayAndTools())
            GTEST_SKIP() << "no X display or X tools";
        unsetenv("ORBIT_HEADLESS");
        unsetenv("ORBIT_VIRTUAL_TIME");
        unsetenv("ORBIT_TEST_COMMANDS");
        dir_ = std::filesystem::read_symlink("/proc/self/exe").parent_path();
        shots_ = testsupport::MakeTempDir("menu_desktop");
        std::string source = std::string(ORBIT_SOURCE_DIR) + "/examples/scene/";
        for (const char* name : {"Space.cfg", "leo.tle"})
            std::filesystem::copy_file(source + name, dir_ / name, std::filesystem::copy_options::overwrite_existing);
        for (const char* name : {"Earth.bmp", "Sun.bmp", "Moon.bmp", "Star.bmp"})
            WriteBitmap((dir_ / name).string());
        testsupport::InstallModelPair(dir_.string());
        Write("Objects.cfg", "satelit\n  name = \"LEO\"\n  orbit_model = SGP4\n  tle = \"leo.tle\"\n"
                             "  info_window = ANO\n" + testsupport::kModelPairLines + "end\n");
        Write("Orbit.cfg", "OrbitGraphics = ANO\nOrbitWindow_X = 520\nOrbitWindow_Y = 0\n"
                           "OrbitWindow_DX = 320\nOrbitWindow_DY = 180\n");
        Write("Multipass.cfg", "starttime = UT(\"10.11.2006, 00:00\")\nendtime = UT(\"20.11.2006, 00:00\")\n"
                               "simulationspeed = REAL\nparameter \"N\", RAMP\n  start = 1\n  stop = 3\n  step = 1\nend\n");
        TakeCommands();
        MAIN_SetCommandObserver(Record);
        g_runsEnded = 0;
        MAIN_SetRunObserver([](uint32_t run) { g_runsEnded = run; });
    }
    void TearDown() override
    {
        MAIN_SetCommandObserver(nullptr);
        MAIN_SetRunObserver(nullptr);
        for (const char* name : kFiles)
            std::filesystem::remove(dir_ / name);
    }
    void Write(const char* name, const std::string& text) { testsupport::WriteFile((dir_ / name).string(), text); }

    std::filesystem::path dir_;
    std::string shots_;
};

// What the user does; every finding goes into the result, checked after the run.
struct Findings {
    bool windowsFound = false;
    int infoDark = 0, infoWidth = 0, aboutDark = 0, aboutWidth = 0, viewLit = 0, logDark = 0;
    std::vector<uint16_t> tableKeys;   // the table's commands but the about box and Alt+X, sorted
    std::vector<uint16_t> mainKeys, viewKeys, infoKeys, menuClicks, aboutKeys;
};

void Click(int x, int y)
{
    Shell("xdotool mousemove " + std::to_string(x) + " " + std::to_string(y) + " click 1");
    Pause(500);
}

void EscapeAboutBox()
{
    std::string about = Find("O programu");
    if (!about.empty())
        Shell("xdotool windowfocus --sync " + about + " key Escape");
    Pause(300);
}

void User(const std::string& shots, Findings* f)
{
    std::string main = Find("Vizualizace satelitu"), view = Find("Orbit"), info = Find("Info satelitu");
    f->windowsFound = !main.empty() && !view.empty() && !info.empty();
    if (f->windowsFound) {
        Pause(500);
        f->infoDark = CountPixels("-id " + info, "", shots + "/info.png", false, &f->infoWidth);
        // The 3-D window shows its frame and the main window's list the log lines.
        int x0 = 0, y0 = 0, xView = 0, yView = 0;
        Origin(main, &x0, &y0);
        Origin(view, &xView, &yView);
        f->viewLit = CountPixels("-root", "320x180+" + std::to_string(xView) + "+" + std::to_string(yView),
                                 shots + "/view.png", true);
        f->logDark = CountPixels("-id " + main, "300x80+0+30", shots + "/log.png", false);
        // A click gives the list box the focus; the table keys still act.
        Click(x0 + 50, y0 + 80);
        std::string keys, infoKeys;
        for (const ACCEL& a : ORBITACCELERATORS)
            if (a.cmd != CMD_ABOUT && a.cmd != CMD_END_RUN_NOW) {
                keys += " " + KeyName(a);
                f->tableKeys.push_back(a.cmd);
                // Ctrl+W would close the information window under the keys.
                if (a.cmd != 177)
                    infoKeys += " " + KeyName(a);
            }
        std::sort(f->tableKeys.begin(), f->tableKeys.end());
        const size_t keyCount = f->tableKeys.size();
        // Ctrl+W closes the information window in the first round and opens
        // a new one in the second.
        for (auto [window, result] : {std::pair{main, &f->mainKeys}, std::pair{view, &f->viewKeys}}) {
            TakeCommands();
            Shell("xdotool windowfocus --sync " + window + " key --delay 40" + keys);
            AwaitCommands(keyCount);
            *result = TakeCommands();
        }
        info = Find("Info satelitu");
        if (!info.empty()) {
            Shell("xdotool windowfocus --sync " + info + " key --delay 40" + infoKeys);
            AwaitCommands(keyCount - 1);
            f->infoKeys = TakeCommands();
        }
        // The about box from its keys in both windows; a screenshot of the first.
        Shell("xdotool windowfocus --sync " + main + " key alt+slash");
        std::string about = Find("O programu");
        if (!about.empty()) {
            Pause(500);
            f->aboutDark = CountPixels("-id " + about, "", shots + "/about.png", false, &f->aboutWidth);
        }
        EscapeAboutBox();
        Shell("xdotool windowfocus --sync " + view + " key alt+question");
        EscapeAboutBox();
        AwaitCommands(2);
        f->aboutKeys = TakeCommands();
        // One item of each menu: titles along the bar, items below it, in
        // pixels from the main window's corner.
        const int titleY = 12, firstItemY = 36, secondItemY = 57;
        const struct {
            int titleX, itemY;
        } clicks[] = {{41, firstItemY}, {118, secondItemY}, {199, firstItemY}, {276, secondItemY}, {456, firstItemY}};
        for (const auto& c : clicks) {
            Click(x0 + c.titleX, y0 + titleY);
            Click(x0 + c.titleX, y0 + c.itemY);
        }
        EscapeAboutBox();
        AwaitCommands(5);
        f->menuClicks = TakeCommands();
        // A menu left open would hold the program in its loop.
        Shell("xdotool key Escape");
        // Alt+X ends the run at once and the next run opens a main window
        // again; F10 there ends the program.
        Shell("xdotool windowfocus --sync " + main + " key alt+x");
        for (int i = 0; i < 100 && g_runsEnded < 1; ++i)
            Pause(100);
        std::string next = Find("Vizualizace satelitu");
        Pause(500);
        Shell("xdotool windowfocus --sync " + next + " key F10");
    }
    Pause(2000);
    PLAT_PostMessage(PLAT_GetMainWindow(), WM_SYSKEYDOWN, VK_F10, PLAT_KeyLParam(0, 0));
}

TEST_F(MenuDesktopTest, KeysMenusAndWindowsOfARunWithTheView)
{
    Findings f;
    std::thread user(User, shots_, &f);
    char name[] = "orbit";
    char* argv[] = {name, nullptr};
    int rc = MAIN_Run(1, argv);
    user.join();
    EXPECT_EQ(rc, 0) << "F10 ends the program";
    ASSERT_TRUE(f.windowsFound) << "main, 3-D and information window";
    EXPECT_EQ(g_runsEnded.load(), 2u) << "Alt+X started the next run";

    EXPECT_GT(f.viewLit, 5000) << "the 3-D window's frame in " << shots_ << "/view.png";
    EXPECT_GT(f.logDark, 500) << "log lines in " << shots_ << "/log.png";
    EXPECT_EQ(f.infoWidth, 500);
    EXPECT_GT(f.infoDark, 300) << "frames, labels and values in " << shots_ << "/info.png";
    EXPECT_GT(f.aboutWidth, 0);
    EXPECT_GT(f.aboutDark, 100) << "texts of " << shots_ << "/about.png";

    std::vector<uint16_t> expected = f.tableKeys;
    EXPECT_EQ(f.mainKeys, expected) << "keys in the main window";
    EXPECT_EQ(f.viewKeys, expected) << "keys in the 3-D window";
    expected.erase(std::find(expected.begin(), expected.end(), 177));
    EXPECT_EQ(f.infoKeys, expected) << "keys in the information window";
    EXPECT_EQ(f.aboutKeys, (std::vector<uint16_t>{CMD_ABOUT, CMD_ABOUT}));
    EXPECT_EQ(f.menuClicks, (std::vector<uint16_t>{CMD_ABOUT, 139, 157, 177, 178}));
}

LRESULT PlainWindowProc(HWND window, uint32_t message, WPARAM wParam, LPARAM lParam)
{
    return PLAT_DefWindowProc(window, message, wParam, lParam);
}

// Recording a movie renames the 3-D window "Orbit" to "Orbit - Záznam běží".
TEST(DesktopTitle, ATitleChangeReachesTheXWindow)
{
    if (!HaveDisplayAndTools())
        GTEST_SKIP() << "no X display or X tools";
    const PLAT_BACKEND* desktop = PLAT_DesktopBackend();
    ASSERT_NE(desktop, nullptr);
    PLAT_SetBackend(desktop);
    PLAT_WNDCLASS cls{"TitleProbe", PlainWindowProc, nullptr, 0};
    PLAT_RegisterClass(&cls);
    HWND window = PLAT_CreateWindow("TitleProbe", "Orbit", WS_POPUP | WS_CAPTION, 0, 0, 200, 100, 0, 0, nullptr);
    PLAT_ShowWindow(window, SW_SHOWNORMAL);
    // The window's events are handled on this thread while looking for it.
    auto events = [desktop] { desktop->waitEvents(50); };
    ASSERT_NE(Find("Orbit$", events), "");
    PLAT_SetWindowText(window, "Orbit - Záznam běží");
    std::string id = Find("Orbit - Z", events);
    std::string name = id.empty() ? "" : Shell("xdotool getwindowname " + id);
    EXPECT_EQ(name, PLAT_Cp1250ToUtf8("Orbit - Záznam běží\n"));
    PLAT_DestroyWindow(window);
    desktop->waitEvents(50);
    PLAT_ResetWindows();
    PLAT_SetBackend(nullptr);
}

}
