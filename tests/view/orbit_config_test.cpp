#include <gtest/gtest.h>
#include <string>
#include "foundation/iotxt.h"
#include "foundation/pool.h"
#include "tests/foundation/iotxt_test_support.h"
#include "view/orbit_config.h"

using iotxttest::LogText;
using iotxttest::ScopedFile;

namespace {

class OrbitConfig : public iotxttest::TextTest {
protected:
    void TearDown() override { ORBIT_FreeConfig(); }
};

bool Logged(const std::string& text) { return LogText().find(text) != std::string::npos; }

}  // namespace

// Without the file the run still gets a usable view: the graphics on, the
// default camera and the codec name turned into its four-character code.
TEST_F(OrbitConfig, WithoutFileTheViewIsOnWithItsDefaults)
{
    ORBIT_LoadConfig();
    const ORBIT_VIEW_CONFIG& v = g_orbitView;
    EXPECT_TRUE(Logged("CFG: konfigurační soubor \"Orbit.cfg\" nelze otevřít"));
    EXPECT_TRUE(Logged("ORBIT: Default kamera je ECI-EARTH.\n"));
    EXPECT_EQ(v.graphics, 1u);
    EXPECT_EQ(v.defaultCamera, ORBIT_CAMERA_ECI_EARTH);
    EXPECT_EQ(v.movieRecording + v.movieRecordingRunning + v.captureScreenshots, 0u);
    EXPECT_EQ(ORBIT_FourCC(v.movieCodec), 0x00424944u);
}

TEST_F(OrbitConfig, CameraNames)
{
    struct Case {
        const char* value;
        uint32_t mode;
        const char* log;
    } cases[] = {
        {"sun", ORBIT_CAMERA_SUN, "ORBIT: Default kamera je SUN.\n"},
        {"\"Satelit_B\"", ORBIT_CAMERA_SATELIT_BODY, "ORBIT: Default kamera je SATELIT-BODY.\n"},
        {"SATELIT-ORBIT", ORBIT_CAMERA_ECI_EARTH,
         "ORBIT: Neznámý typ kamery v Orbit.cfg, použije se default ECI-EARTH.\n"},
    };
    for (const Case& c : cases) {
        ScopedFile f("Orbit.cfg", std::string("OrbitDefaultCamera = ") + c.value + "\n");
        ORBIT_LoadConfig();
        EXPECT_EQ(g_orbitView.defaultCamera, c.mode) << c.value;
        EXPECT_TRUE(Logged(c.log)) << c.value;
    }
}

TEST_F(OrbitConfig, BadValuesFallBackToDefaultsWithTheStoreMessages)
{
    ScopedFile f("Orbit.cfg",
                 "OrbitWindow_DX = 50\r\n"
                 "OrbitWindow_DY = 5000\r\n"
                 "OrbitWindow_X = -1000\r\n"
                 "OrbitMagfield_H = many\r\n"
                 "Draw_Moon = NE\r\n"
                 "Draw_Sun = maybe\r\n"
                 "OrbitGraphics = OFF\r\n"
                 "StartTime = UT(\"02.03.2007, 04:05:06\")\r\n"
                 "MovieCodec = \"XVID5\"\r\n"
                 "Texture_Earth =  \"Planet.bmp\" \r\n");
    ORBIT_LoadConfig();
    const ORBIT_VIEW_CONFIG& v = g_orbitView;
    EXPECT_EQ(v.windowDX, 800);
    EXPECT_TRUE(Logged("CFG: parametr \"OrbitWindow_DX\" je menší než minimální hodnota 96, bude použita"));
    EXPECT_EQ(v.windowDY, 600);
    EXPECT_TRUE(Logged("CFG: parametr \"OrbitWindow_DY\" je větší než maximální hodnota"));
    EXPECT_EQ(v.windowX, -1000);
    EXPECT_EQ(v.magfieldHeight, 600000u);
    EXPECT_TRUE(Logged("CFG: parametr \"OrbitMagfield_H\" je zapsán chybně"));
    EXPECT_EQ(v.drawMoon, 0u);
    EXPECT_EQ(v.drawSun, 1u);
    EXPECT_EQ(v.graphics, 0u);
    EXPECT_EQ(v.startTimeGiven, 1u);
    EXPECT_EQ(v.startTime, testsupport::MsOf(2007, 3, 2, 4, 5, 6));
    EXPECT_STREQ(v.movieCodec, "XVID5");
    EXPECT_STREQ(v.textureEarth, "Planet.bmp");
}
