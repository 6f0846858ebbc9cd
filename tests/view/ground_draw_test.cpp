// Ground stations in frames of the scene drawn offscreen: the marker where the
// station is, its label, and the line of sight and axes only toward a
// satellite above the horizon.
#include <gtest/gtest.h>
#include <GL/gl.h>
#include <GL/glu.h>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <thread>
#include "foundation/iotxt.h"
#include "foundation/pool.h"
#include "foundation/time.h"
#include "platform/plat_window.h"
#include "simulation/ground.h"
#include "simulation/orbit.h"
#include "simulation/satelit.h"
#include "tests/foundation/iotxt_test_support.h"
#include "tests/view/bitmap_support.h"
#include "tests/view/frame_support.h"
#include "view/ogw.h"
#include "view/scene.h"

using iotxttest::LogText;
using iotxttest::ProgramFile;

namespace {

constexpr int kWidth = 320, kHeight = 240;
const RGB kMarker{11, 16, 239};
const RGB kLabel{192, 192, 192};
const RGB kObserverLine{186, 199, 242};
const RGB kRed{255, 0, 0};

class GroundFrame : public ::testing::Test {
protected:
    void SetUp() override
    {
        setenv("ORBIT_HEADLESS", "1", 1);
        LOG_Init();
        MEMORY_Init();
        POOL_Init();
        IOTXT_Init();
        PLAT_ResetWindows();
        testsupport::WriteFile(ProgramFile("Orbit.cfg"),
                               "Draw_ECI_axes = NE\nDraw_ECF_axes = NE\nDraw_Moon = NE\nDraw_stars = NE\n"
                               "Draw_Sun = NE\nOrbitWindow_DX = 320\nOrbitWindow_DY = 240\n");
        testsupport::WriteFile(ProgramFile("Objects.cfg"), "; none\n");
        testsupport::WriteFile(ProgramFile("Ground.cfg"),
                               "station \"Ondrejov\"\nlongitude = 0\nlatitude = 0\n"
                               "draw_observer_line = ANO\ndraw_ground_axes = ANO\n"
                               "draw_transmitter_cone = ANO\nend\n");
        WriteBitmap("Earth.bmp", 200, 100, 50);
        WriteBitmap("Sun.bmp", 255, 255, 255);
        g_simClock = SIM_CLOCK{};
        g_simClock.clock = testsupport::MsOf(2006, 1, 1);
        OGW_Init();
        ORBIT_InitRun();
        started_ = ORBIT_Start(0);
        ASSERT_TRUE(started_) << LogText();
        window_ = g_scene.window;
        GROUND_Update();
        station_ = GROUND_GetFirst();
        ASSERT_NE(station_, nullptr);
        marker_ = VEC3{station_->position.x * 0.01, station_->position.y * 0.01, station_->position.z * 0.01};
    }
    void TearDown() override
    {
        if (started_) ORBIT_Stop();
        ORBIT_DoneRun();
        OGW_Done();
        for (const char* name : {"Orbit.cfg", "Objects.cfg", "Ground.cfg", "Earth.bmp", "Sun.bmp"})
            std::filesystem::remove(ProgramFile(name));
    }
    // Looks down at the station from 128 km above it.
    void LookAtStation()
    {
        VEC3 eye{marker_.x * 1.02, marker_.y * 1.02, marker_.z * 1.02};
        VEC3 up{0, 0, 1};
        OGW_SetTarget(window_, marker_.x, marker_.y, marker_.z);
        OGW_SetEyeUp(window_, &eye, &up);
    }
    void Frame() { DrawOneFrame(window_); }
    void Release() { OGW_MakeCurrent(nullptr); }
    RGB Pixel(int x, int y) { return ReadPixel(x, y); }
    // Any pixel of the colour between the title and the info bar.
    bool AnyPixel(RGB c)
    {
        for (int y = 25; y < kHeight - 25; y++)
            for (int x = 0; x < kWidth; x++) {
                RGB p = Pixel(x, y);
                if (p.r == c.r && p.g == c.g && p.b == c.b) return true;
            }
        return false;
    }
    void Project(const VEC3& p, int* x, int* y)
    {
        double projection[16];
        int viewport[4] = {0, 0, kWidth, kHeight};
        glMatrixMode(GL_PROJECTION);
        glLoadIdentity();
        gluPerspective(40.0, (double)kWidth / kHeight, 0.01, 1e13);
        glGetDoublev(GL_PROJECTION_MATRIX, projection);
        double wx, wy, wz;
        gluProject(p.x, p.y, p.z, window_->viewMatrix, projection, viewport, &wx, &wy, &wz);
        *x = (int)lround(wx);
        *y = (int)lround(wy);
    }
    // A satellite 600 km up and 3000 km east of the station, as the station reports it.
    void ObserveSatellite(SATELIT* sat, uint32_t visible)
    {
        station_->satellite = sat;
        station_->visible = visible;
        station_->satellitePosition = VEC3{station_->position.x + 600, station_->position.y + 3000,
                                           station_->position.z};
        station_->horizontal = VEC3{0, 1, 0};
        station_->north = VEC3{0, 0, 1};
    }

    uint32_t started_ = 0;
    OGW_WINDOW* window_ = nullptr;
    GROUND_STATION* station_ = nullptr;
    VEC3 marker_{};
};

}  // namespace

TEST_F(GroundFrame, MarkerAndNameWithoutSatellite)
{
    LookAtStation();
    Frame();
    int x, y;
    Project(marker_, &x, &y);
    RGB p = Pixel(x, y);
    EXPECT_EQ(p.r, kMarker.r);
    EXPECT_EQ(p.g, kMarker.g);
    EXPECT_EQ(p.b, kMarker.b);
    EXPECT_TRUE(AnyPixel(kLabel));
    EXPECT_FALSE(AnyPixel(kObserverLine));
    EXPECT_FALSE(AnyPixel(kRed));
    EXPECT_EQ(glGetError(), (GLenum)GL_NO_ERROR);
    Release();
}

TEST_F(GroundFrame, LineOfSightAndAxesOnlyAboveTheHorizon)
{
    SATELIT sat{};
    char name[] = "SAT";
    sat.name = name;
    ObserveSatellite(&sat, 0);
    LookAtStation();
    Frame();
    EXPECT_FALSE(AnyPixel(kObserverLine));
    EXPECT_FALSE(AnyPixel(kRed));
    EXPECT_TRUE(AnyPixel(kLabel));
    Release();

    ObserveSatellite(&sat, 1);
    Frame();
    EXPECT_TRUE(AnyPixel(kRed));
    EXPECT_EQ(glGetError(), (GLenum)GL_NO_ERROR);
    Release();
    // The east axis and the antenna's cone cover the line seen from above: look without them.
    station_->drawTransmitterCone = 0;
    station_->drawGroundAxes = 0;
    Frame();
    EXPECT_TRUE(AnyPixel(kObserverLine));
    int x, y;
    Project(marker_, &x, &y);
    RGB p = Pixel(x, y);
    EXPECT_EQ(p.b, kMarker.b) << "the marker stays on top of the Earth";
    EXPECT_EQ(glGetError(), (GLenum)GL_NO_ERROR);
    Release();
    station_->satellite = nullptr;
}
