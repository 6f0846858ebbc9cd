#include <gtest/gtest.h>
#include <string>
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
