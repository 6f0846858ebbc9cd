// The run start of the scene with the settings of Orbit.cfg.
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>
#include <condition_variable>
#include <mutex>
#include "platform/plat_process.h"
#include "tests/support/watchdog.h"
#include "view/scene_run.h"
#include "foundation/util.h"
#include "platform/plat_time.h"
#include "tests/view/frame_support.h"
#include "view/camera.h"
#include "view/orbit_config.h"

using iotxttest::LogText;
using iotxttest::ProgramFile;

namespace {

class SceneStart : public ::testing::Test {
protected:
    void SetUp() override
    {
        ResetHeadless();
        testsupport::WriteFile(ProgramFile("Objects.cfg"), "; none\n");
        for (const char* name : {"Earth.bmp", "Sun.bmp", "Star.bmp"}) WriteBitmap(name, 90, 90, 90);
        g_simClock = SIM_CLOCK{};
        g_simClock.clock = testsupport::MsOf(2006, 1, 1);
    }
    void TearDown() override
    {
        for (const char* name : {"Orbit.cfg", "Objects.cfg", "Earth.bmp", "Sun.bmp", "Star.bmp", "Moon.bmp"})
            std::filesystem::remove(ProgramFile(name));
    }
    // Starts a run and hands it to check before ending it; the run's end
    // closes the 3-D window.
    template <typename Check>
    void WithRun(const std::string& orbitCfg, Check check)
    {
        testsupport::WriteFile(ProgramFile("Orbit.cfg"), orbitCfg);
        OGW_Init();
        ORBIT_InitRun();
        mark_ = LogText().size();
        uint32_t started = ORBIT_Start(0);
        check(started);
        if (started) ORBIT_Stop();
        EXPECT_EQ(g_scene.window, nullptr);
        ORBIT_DoneRun();
        OGW_Done();
    }
    bool LoggedSinceStart(const char* text) { return LogText().find(text, mark_) != std::string::npos; }

    size_t mark_ = 0;
};

}  // namespace

TEST_F(SceneStart, SettingsDecideWhatTheStartNeeds)
{
    struct Case {
        const char* cfg;
        uint32_t starts;
        uint32_t window;
        const char* message;
    } cases[] = {
        {"Draw_Moon = NE\n", 1, 1, nullptr},
        {"Draw_Moon = ANO\n", 0, 0, "ORBIT: nelze načíst texturu Měsíce: \"Moon.bmp\".\n"},
        {"OrbitGraphics = OFF\nDraw_Moon = ANO\n", 1, 0, nullptr},
        {"Draw_Moon = NE\nMovieCodec = XVID5\n", 1, 1, nullptr},
        {"Draw_Moon = NE\nMovieRecording = ANO\nMovieCodec = XVID5\n", 0, 0,
         "ORBIT: název kodeku smí být jen 4 písmena dlouhý (FourCC code).\n"},
        {"Draw_Moon = NE\nCaptureScreenshots = ANO\nCaptureFilename = \"\"\n", 0, 0,
         "ORBIT: chyba konfigurace záznamu snímků obrazovky\n"},
        {"Draw_Moon = NE\nTexture_Earth = Planet.bmp\n", 0, 0,
         "ORBIT: nelze načíst texturu povrchu Země: \"Planet.bmp\".\n"},
    };
    for (const Case& c : cases)
        WithRun(c.cfg, [&](uint32_t started) {
            EXPECT_EQ(started, c.starts) << c.cfg;
            EXPECT_EQ(g_scene.window != nullptr, c.window != 0) << c.cfg;
            EXPECT_TRUE(!c.message || LoggedSinceStart(c.message)) << c.cfg;
        });
}

TEST_F(SceneStart, FramesLeaveTheSimulationsRandomNumbersAlone)
{
    WithRun("Draw_Moon = NE\n", [&](uint32_t started) {
        ASSERT_TRUE(started);
        // Looking from the Earth at the Sun, whose sprite flickers at every frame.
        VEC3 sun = g_orbit.sunVector, eye = sun, up{0, 0, 1};
        VEC_SetLength(&eye, 100.0);
        VEC_SetLength(&sun, 200.0);
        OGW_SetTarget(g_scene.window, sun.x, sun.y, sun.z);
        OGW_SetEyeUp(g_scene.window, &eye, &up);
        uint32_t state = UTIL_GetRandomState();
        for (int frame = 0; frame < 2; frame++) {
            uint32_t before = g_scene.frame;
            OGW_RequestRedraw(g_scene.window);
            for (int i = 0; i < 5000 && g_scene.frame == before; i++) PLAT_Sleep(1);
            EXPECT_GT(g_scene.frame, before);
        }
        EXPECT_EQ(UTIL_GetRandomState(), state);
    });
}

TEST_F(SceneStart, CamerasThatOnlyFollowStartFromTheHomePosition)
{
    for (const char* camera : {"SUN", "ECEF_EARTH", "FREE"}) {
        WithRun(std::string("Draw_Moon = NE\nOrbitDefaultCamera = ") + camera + "\n", [&](uint32_t started) {
            ASSERT_TRUE(started);
            VEC3 eye, target;
            OGW_GetEye(g_scene.window, &eye);
            OGW_GetTarget(g_scene.window, &target);
            EXPECT_EQ(eye.x, 200.0) << camera;
            EXPECT_EQ(eye.z, 20.0) << camera;
            EXPECT_EQ(VEC_Length(&target), 0.0) << camera;
            EXPECT_EQ(g_orbit.cameraMode, ORBIT_CameraModeFromName(camera));
            // The tracking starts from the state of the run's start.
            if (g_orbit.cameraMode == ORBIT_CAMERA_ECEF_EARTH) {
                EXPECT_EQ(g_cameraTrack.lastEarthAngle, g_orbit.earthAngle);
            }
            if (g_orbit.cameraMode == ORBIT_CAMERA_SUN) {
                EXPECT_EQ(g_cameraTrack.lastSun.x, g_orbit.sunVector.x);
            }
        });
    }
}

TEST_F(SceneStart, SatelliteTexturesLoadOnlyWithAWindow)
{
    testsupport::WriteFile(ProgramFile("sat.tle"),
                           "SAT\n"
                           "1 25544U 98067A   06001.00000000  .00020137  00000-0  16538-3 0  9993\n"
                           "2 25544  51.6416 247.4627 0006703 130.5360 325.0288 15.72125391563537\n");
    testsupport::WriteFile(ProgramFile("Objects.cfg"),
                           "satelit\n    name = \"SAT\"\n    orbit_model = SGP4\n    tle = \"sat.tle\"\n"
                           "    graphics_model = SPHERETEXTURED, 0.05, \"missing.bmp\"\n" +
                               testsupport::kModelPairLines + "end\n");
    testsupport::InstallModelPair(MEMORY_ProgramDirectory());
    WithRun("OrbitGraphics = NE\n", [&](uint32_t started) { EXPECT_TRUE(started) << LogText(); });
    WithRun("Draw_Moon = NE\n", [&](uint32_t started) {
        EXPECT_FALSE(started);
        EXPECT_TRUE(LoggedSinceStart("SAT: chyba načtení souboru textury na řádku 5.\n")) << LogText();
    });
    for (const char* name : {"sat.tle", "cube.mass", "cube.surf"}) std::filesystem::remove(ProgramFile(name));
}

namespace {

// The scene's frame, held before it draws: asleep in a call, as in a driver
// that hangs, until the test lets it go.
std::mutex g_holdMutex;
std::condition_variable g_holdChanged;
bool g_holding = false, g_held = false;

void HeldSceneFrame(OGW_WINDOW* window)
{
    {
        std::unique_lock<std::mutex> lock(g_holdMutex);
        g_held = true;
        g_holdChanged.notify_all();
        g_holdChanged.wait(lock, [] { return !g_holding; });
    }
    ORBIT_DrawScene(window);
}

void SetHold(bool holding)
{
    std::lock_guard<std::mutex> lock(g_holdMutex);
    g_holding = holding;
    g_held = false;
    g_holdChanged.notify_all();
}

}  // namespace

// A stop while the scene's frame is held: the run's end leaves the render
// thread running and keeps everything the frame draws with (the window, its
// fonts, the quadric), so that the frame, let go afterwards, draws the whole
// scene; the scene is freed once the thread has ended.
TEST_F(SceneStart, AStopLeavesAStalledFrameItsFontsAndQuadric)
{
    testsupport::WriteFile(ProgramFile("Orbit.cfg"), "Draw_Moon = NE\n");
    PLAT_InstallStopSignals();
    testsupport::Watchdog watchdog(60);
    OGW_Init();
    ORBIT_InitRun();
    ASSERT_EQ(ORBIT_Start(0), 1u);
    OGW_WINDOW* window = g_scene.window;
    SetHold(true);
    window->drawCallback = HeldSceneFrame;
    OGW_RequestRedraw(window);
    {
        std::unique_lock<std::mutex> lock(g_holdMutex);
        ASSERT_TRUE(g_holdChanged.wait_for(lock, std::chrono::seconds(10), [] { return g_held; }));
    }
    uint32_t frames = g_scene.frame;
    kill(getpid(), SIGTERM);
    for (int i = 0; i < 5000 && !PLAT_StopRequested(); ++i) PLAT_Sleep(1);
    ORBIT_Stop();
    EXPECT_EQ(OGW_RenderThreadLeft(), 1u);
    ASSERT_EQ(g_scene.window, window);
    EXPECT_NE(g_scene.quadric, nullptr);
    EXPECT_GE(g_scene.labelFont, 0);
    SetHold(false);
    for (int i = 0; i < 10000 && !window->finished.load(); ++i) PLAT_Sleep(1);
    ASSERT_TRUE(window->finished.load());
    EXPECT_GT(g_scene.frame, frames);
    PLAT_EndStopSignals();
    ORBIT_CloseScene();   // the thread has ended: now the scene goes
    EXPECT_EQ(g_scene.window, nullptr);
    ORBIT_DoneRun();
    OGW_Done();
}
