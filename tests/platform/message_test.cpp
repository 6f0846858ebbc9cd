#include <gtest/gtest.h>
#include <atomic>
#include <csignal>
#include <thread>
#include <unistd.h>
#include <string>
#include <vector>
#include "platform/plat_process.h"
#include "platform/plat_time.h"
#include "platform/plat_window.h"
#include "resources/orbit_resources.h"

namespace {

struct Received {
    uint32_t message;
    WPARAM wParam;
};

std::vector<Received> g_received;
bool g_destroyInProc = false;

LRESULT RecordingProc(HWND window, uint32_t message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_CREATE || message == WM_WINDOWPOSCHANGED)
        return 0;
    g_received.push_back(Received{message, wParam});
    if (message == WM_USER + 9 && g_destroyInProc)
        PLAT_DestroyWindow(window);
    return PLAT_DefWindowProc(window, message, wParam, lParam);
}

class MessageTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        PLAT_ResetWindows();
        PLAT_SetVirtualTime(0);
        g_received.clear();
        g_destroyInProc = false;
        PLAT_WNDCLASS cls{"TestWindow", RecordingProc, nullptr, 0};
        ASSERT_TRUE(PLAT_RegisterClass(&cls));
        window_ = PLAT_CreateWindow("testwindow", "t", 0, 0, 0, 10, 10, 0, 0, nullptr);
        ASSERT_NE(window_, 0u);
    }
    void TearDown() override { PLAT_ResetWindows(); }

    // Runs the program's own loop shape until the quit message.
    int32_t Loop()
    {
        MSG msg;
        while (PLAT_GetMessage(&msg)) {
            if (!PLAT_TranslateAccelerator(msg.hwnd, ORBITACCELERATORS, ORBITACCELERATORS_COUNT, &msg)) {
                PLAT_TranslateMessage(&msg);
                PLAT_DispatchMessage(&msg);
            }
        }
        return static_cast<int32_t>(msg.wParam);
    }
    void Drain()
    {
        PLAT_PostQuitMessage(0);
        Loop();
    }
    std::vector<WPARAM> Commands()
    {
        std::vector<WPARAM> ids;
        for (const Received& r : g_received)
            if (r.message == WM_COMMAND)
                ids.push_back(LOWORD(r.wParam));
        return ids;
    }
    void Key(uint32_t message, uint32_t vk, uint8_t character, LPARAM modifiers)
    {
        ASSERT_TRUE(PLAT_PostMessage(window_, message, vk, PLAT_KeyLParam(character, modifiers)));
    }

    HWND window_ = 0;
};

TEST_F(MessageTest, PostsFromAnotherThreadArriveInOrder)
{
    std::thread poster([this] {
        for (uint32_t i = 0; i < 200; ++i)
            PLAT_PostMessage(window_, WM_USER, i, 0);
        PLAT_PostMessage(window_, WM_CLOSE, 0, 0);
    });
    MSG msg;
    uint32_t next = 0;
    while (PLAT_GetMessage(&msg)) {
        if (msg.message == WM_USER) {
            EXPECT_EQ(msg.wParam, next++);
        }
        if (msg.message == WM_CLOSE) {
            PLAT_DispatchMessage(&msg);   // destroys the window
            PLAT_PostQuitMessage(7);
        }
    }
    poster.join();
    EXPECT_EQ(next, 200u);
    EXPECT_EQ(msg.wParam, 7u);
    EXPECT_FALSE(PLAT_IsWindow(window_));
}

TEST_F(MessageTest, MessagesOfADestroyedWindowAreDropped)
{
    PLAT_PostMessage(window_, WM_USER, 1, 0);
    PLAT_PostMessage(window_, WM_USER, 2, 0);
    EXPECT_TRUE(PLAT_DestroyWindow(window_));
    MSG msg;
    EXPECT_FALSE(PLAT_PeekMessage(&msg));
    EXPECT_FALSE(PLAT_PostMessage(window_, WM_USER, 3, 0));
    EXPECT_FALSE(PLAT_DestroyWindow(window_));
    ASSERT_EQ(g_received.size(), 1u);
    EXPECT_EQ(g_received[0].message, WM_DESTROY);
}

TEST_F(MessageTest, WindowMayDestroyItselfInsideItsProcedure)
{
    HWND child = PLAT_CreateWindow("listbox", "", 0, 0, 0, 5, 5, window_, 1000, nullptr);
    ASSERT_NE(child, 0u);
    EXPECT_EQ(PLAT_GetWindowId(child), 1000u);
    g_destroyInProc = true;
    PLAT_PostMessage(window_, WM_USER + 9, 0, 0);
    PLAT_PostMessage(window_, WM_USER + 10, 0, 0);
    Drain();
    EXPECT_FALSE(PLAT_IsWindow(window_));
    EXPECT_FALSE(PLAT_IsWindow(child));
    ASSERT_EQ(g_received.size(), 2u);
    EXPECT_EQ(g_received[1].message, WM_DESTROY);
}

// Characters and keys become the commands of the table; Alt keys come as
// system characters, and what is no command reaches the window as it is.
TEST_F(MessageTest, CharactersAndKeysBecomeCommandsOfTheTable)
{
    Key(WM_KEYDOWN, VK_ADD, '+', 0);
    Key(WM_KEYDOWN, VK_SPACE, ' ', 0);
    Key(WM_KEYDOWN, VK_LEFT, 0, 0);
    Key(WM_KEYDOWN, VK_LEFT, 0, PLAT_KEY_SHIFT);
    Key(WM_KEYDOWN, VK_LEFT, 0, PLAT_KEY_SHIFT | PLAT_KEY_CTRL);
    Key(WM_KEYDOWN, '1', 0, PLAT_KEY_CTRL);
    Key(WM_KEYDOWN, 'V', 0x16, PLAT_KEY_SHIFT | PLAT_KEY_CTRL);
    Key(WM_KEYDOWN, 'C', 'C', PLAT_KEY_SHIFT);   // upper-case C is no command
    Key(WM_KEYDOWN, 'C', 'c', 0);
    Key(WM_SYSKEYDOWN, 'X', 'x', PLAT_KEY_ALT);
    Key(WM_SYSKEYDOWN, 0xBF, '/', PLAT_KEY_ALT);
    Key(WM_SYSKEYDOWN, 0xBF, '?', PLAT_KEY_ALT | PLAT_KEY_SHIFT);
    Key(WM_KEYDOWN, 'X', 'x', 0);   // plain x is no command
    Key(WM_SYSKEYDOWN, VK_F10, 0, 0);
    Drain();
    std::vector<WPARAM> expected = {139, 166, 141, 149, 153, 132, 30000, 157, 105, 104, 104};
    EXPECT_EQ(Commands(), expected);
    bool sawF10 = false, sawPlainX = false;
    for (const Received& r : g_received) {
        sawF10 |= r.message == WM_SYSKEYDOWN && r.wParam == VK_F10;
        sawPlainX |= r.message == WM_CHAR && r.wParam == 'x';
    }
    EXPECT_TRUE(sawF10);
    EXPECT_TRUE(sawPlainX);
}

TEST_F(MessageTest, QuitComesAfterQueuedMessages)
{
    PLAT_PostQuitMessage(3);
    PLAT_PostMessage(window_, WM_USER, 1, 0);
    EXPECT_EQ(Loop(), 3);
    ASSERT_EQ(g_received.size(), 1u);
}

std::atomic<int> g_idleCalls{0};
HWND g_idleWindow = 0;

void IdleTick(void*)
{
    g_idleCalls++;
    PLAT_PostMessage(g_idleWindow, WM_USER + 1, PLAT_GetTickCount(), 0);
}

TEST_F(MessageTest, VirtualTimeMovesOnlyWhenTheQueueIsEmpty)
{
    PLAT_SetVirtualTime(1);
    g_idleWindow = window_;
    g_idleCalls = 0;
    PLAT_SetIdleTimer(IdleTick, nullptr, 20);
    PLAT_ScheduleTestMessage(100, WM_COMMAND, MAKEWPARAM(CMD_PAUSE, 0), 0);
    MSG msg;
    std::vector<WPARAM> ticks;
    while (ticks.size() < 10 && PLAT_GetMessage(&msg)) {
        if (msg.message == WM_USER + 1)
            ticks.push_back(msg.wParam);
        PLAT_DispatchMessage(&msg);
    }
    PLAT_SetIdleTimer(nullptr, nullptr, 0);
    ASSERT_EQ(ticks.size(), 10u);
    for (size_t i = 0; i < ticks.size(); ++i)
        EXPECT_EQ(ticks[i], 20 * (i + 1));
    EXPECT_EQ(Commands(), std::vector<WPARAM>{CMD_PAUSE});
    PLAT_SetVirtualTime(0);
}

TEST_F(MessageTest, StopSignalsActAsF10)
{
    PLAT_InstallStopSignals();
    for (int stop : {SIGTERM, SIGINT, SIGHUP, SIGQUIT}) {
        kill(getpid(), stop);
        MSG msg;
        ASSERT_TRUE(PLAT_GetMessage(&msg));
        EXPECT_EQ(msg.message, WM_SYSKEYDOWN);
        EXPECT_EQ(msg.wParam, VK_F10);
    }
    EXPECT_EQ(PLAT_StopRequested(), 1u);
    PLAT_EndStopSignals();
}

TEST_F(MessageTest, ListBoxModel)
{
    HWND lb = PLAT_CreateWindow("ListBox", "", 0, 0, 0, 5, 5, window_, 1000, nullptr);
    EXPECT_EQ(PLAT_SendMessage(lb, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>("první")), 0);
    EXPECT_EQ(PLAT_SendMessage(lb, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>("two")), 1);
    EXPECT_EQ(PLAT_SendMessage(lb, LB_GETTEXTLEN, 0, 0), 5);
    EXPECT_EQ(PLAT_SendMessage(lb, LB_GETTEXTLEN, 2, 0), LB_ERR);
    EXPECT_EQ(PLAT_SendMessage(lb, LB_DELETESTRING, 0, 0), 1);
    char buffer[16];
    EXPECT_EQ(PLAT_SendMessage(lb, LB_GETTEXT, 0, reinterpret_cast<LPARAM>(buffer)), 3);
    EXPECT_STREQ(buffer, "two");
    EXPECT_EQ(PLAT_SendMessage(lb, LB_DELETESTRING, 5, 0), LB_ERR);
}

}

namespace {

TEST(PlatInit, ADisplayThatCannotBeOpenedLeavesTheProgramHeadless)
{
    const char* old = getenv("DISPLAY");
    std::string saved = old ? old : "";
    setenv("DISPLAY", ":4711", 1);
    unsetenv("ORBIT_HEADLESS");
    testing::internal::CaptureStderr();
    PLAT_Init("./orbit");
    std::string err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(PLAT_IsHeadless(), 1u);
    EXPECT_NE(err.find(":4711"), std::string::npos);
    if (old)
        setenv("DISPLAY", saved.c_str(), 1);
    else
        unsetenv("DISPLAY");
}

}
