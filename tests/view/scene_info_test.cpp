#include <gtest/gtest.h>
#include <algorithm>
#include <string>
#include "platform/plat_font.h"
#include "view/scene_info.h"

namespace {

std::string SpeedText(const ORBIT_SPEED_METER& m)
{
    char text[32];
    ORBIT_FormatSpeed(&m, text, sizeof text);
    return text;
}

}  // namespace

TEST(SceneInfo, SpeedTexts)
{
    ORBIT_SPEED_METER m;
    ORBIT_ResetSpeedMeter(&m, 0, 1000);
    EXPECT_EQ(SpeedText(m), "[---]");
    ORBIT_SampleSpeed(&m, 250, 1500);   // not more than 500 ms: no sample
    EXPECT_EQ(m.samples, 0u);
    ORBIT_SampleSpeed(&m, 300, 1600);
    EXPECT_EQ(SpeedText(m), "[---]");   // one sample only
    ORBIT_SampleSpeed(&m, 601, 2202);
    EXPECT_EQ(SpeedText(m), "[0.50 x]");
    struct Case {
        double speed;
        const char* text;
    } cases[] = {{3.14, "[3.1 x]"}, {42.4, "[42 x]"}, {555, "[550 x]"}, {12345, "[12300 x]"}};
    for (const Case& c : cases) {
        m.speed = c.speed;
        EXPECT_EQ(SpeedText(m), c.text);
    }
    for (int i = 0; i < 5; i++) ORBIT_SampleSpeed(&m, 0, 10000 + 1000 * i);
    EXPECT_EQ(m.samples, 3u);
    EXPECT_STREQ(ORBIT_CameraBarName(0), "???");   // no such mode: no read past the names
}

// At 800 x 600 with bars of 20 pixels every camera name stands whole in the
// info bar, right of the time and speed text.
TEST(SceneInfo, EveryCameraTextFitsTheInfoBar)
{
    const int32_t font = 20 - 4;
    int32_t x = ORBIT_CameraTextX(800, font);
    int32_t timeEnd = 300 + PLAT_MeasureText(ORBIT_FONT_FACE, font, 0, "Čas 28.12.2006 23:58:58 UTC [12300 x]");
    int32_t widest = 0;
    for (uint32_t mode = 0; mode <= 7; mode++) {
        char text[32];
        ORBIT_FormatCameraText(mode, text, sizeof text);
        widest = std::max(widest, PLAT_MeasureText(ORBIT_FONT_FACE, font, 0, text));
        EXPECT_LE(x + PLAT_MeasureText(ORBIT_FONT_FACE, font, 0, text), 798) << text;
        EXPECT_GT(x, timeEnd + 10) << text;
    }
    EXPECT_EQ(x, std::min(700, 798 - widest));   // the widest text measured in one go
}
