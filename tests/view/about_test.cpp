#include <gtest/gtest.h>
#include <vector>
#include "foundation/log.h"
#include "foundation/memory.h"
#include "foundation/pool.h"
#include "platform/plat_dialog.h"
#include "platform/plat_time.h"
#include "platform/plat_window.h"
#include "resources/orbit_resources.h"
#include "simulation/main.h"
#include "view/about.h"
#include "view/dlg.h"

namespace {

struct Ticks {
    int count = 0;
    int escapeAt = 0;
    std::vector<int> frames;   // the frame after each tick
};

// Every 50 ms of the virtual clock: note the frame the last tick left, pass
// the next tick to the about box, and press Escape at the end.
void OnIdle(void* param)
{
    Ticks* t = static_cast<Ticks*>(param);
    const ABOUT_STATE* about = MAIN_GetAboutState();
    if (t->count > 0)
        t->frames.push_back(about->frame);
    if (++t->count == t->escapeAt)
        PLAT_PostMessage(about->dialog, WM_KEYDOWN, VK_ESCAPE, PLAT_KeyLParam(27, 0));
    else
        PLAT_PostMessage(about->dialog, MAIN_TICK, 0, 0);
}

class AboutTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        LOG_Init();
        MEMORY_Init();
        POOL_Init();
        PLAT_ResetWindows();
        PLAT_SetVirtualTime(1);
    }
    void TearDown() override
    {
        PLAT_SetIdleTimer(nullptr, nullptr, 20);
        PLAT_ResetWindows();
        PLAT_SetVirtualTime(0);
    }
};

TEST_F(AboutTest, TicksFiftyMillisecondsApartAnimateEveryThirdAndEscapeFreesTheBitmap)
{
    Ticks ticks;
    ticks.escapeAt = 3 * 97 + 1;
    PLAT_SetIdleTimer(OnIdle, &ticks, 50);
    EXPECT_EQ(MAIN_ShowAboutBox(0), IDCANCEL);
    ASSERT_EQ(ticks.frames.size(), 3u * 97);
    // The first tick animates at once; then a step needs more than 100 ms.
    for (size_t i = 0; i < ticks.frames.size(); ++i)
        EXPECT_EQ(ticks.frames[i], static_cast<int>(i / 3 % 96)) << i;
    const ABOUT_STATE* about = MAIN_GetAboutState();
    EXPECT_EQ(about->dialog, 0u);
    EXPECT_EQ(about->bitmap, nullptr);
    EXPECT_EQ(MAIN_GetAboutBox(), 0u);
}

TEST_F(AboutTest, TheStripIsDrawnIntoThePictureControl)
{
    struct Probe {
        bool lit = false;
        int32_t width = 0, height = 0;
    } probe;
    PLAT_SetIdleTimer(
        [](void* param) {
            Probe* p = static_cast<Probe*>(param);
            const ABOUT_STATE* about = MAIN_GetAboutState();
            if (p->width) {
                PLAT_PostCommand(about->dialog, IDOK);
                return;
            }
            PLAT_SendMessage(about->dialog, MAIN_TICK, 0, 0);
            HWND picture = PLAT_GetDlgItem(about->dialog, ORBIT_ABOUT_PICTURE_ID);
            const uint8_t* rgb = PLAT_GetControlPicture(picture, &p->width, &p->height);
            for (int32_t i = 0; rgb && i < p->width * p->height * 3; ++i)
                p->lit = p->lit || rgb[i] > 150;
        },
        &probe, 50);
    EXPECT_EQ(MAIN_ShowAboutBox(0), IDOK);
    EXPECT_EQ(probe.width, ORBIT_DLU_X(60));
    EXPECT_EQ(probe.height, ORBIT_DLU_Y(60));
    EXPECT_TRUE(probe.lit);
}

TEST_F(AboutTest, ControlsCarryTheirIdsTextsAndStyles)
{
    PLAT_WNDCLASS cls{"InfoWindow", PLAT_DefWindowProc, nullptr, 0};
    ASSERT_TRUE(PLAT_RegisterClass(&cls));
    HWND window = PLAT_CreateWindow("InfoWindow", "info", 0, 0, 0, 300, 200, 0, 0, nullptr);
    HWND group = DLG_CreateGroupBox(window, "Poloha", 5, 5, 200, 100);
    HWND value = DLG_CreateValueField(window, "0,0", 1234, 10, 20, 80, 14);
    ASSERT_NE(group, 0u);
    EXPECT_EQ(PLAT_GetWindowStyle(group) & 0xF, BS_GROUPBOX);
    EXPECT_EQ(PLAT_FindChild(window, 1234), value);
    EXPECT_TRUE(PLAT_GetWindowStyle(value) & SS_RIGHT);
}

}
