// Offscreen frames for the view tests: one frame drawn on the render thread,
// its context then made current here so that pixels can be read back.
#pragma once
#include <gtest/gtest.h>
#include <GL/gl.h>
#include <GL/glu.h>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>
#include "foundation/iotxt.h"
#include "foundation/pool.h"
#include "foundation/time.h"
#include "platform/plat_window.h"
#include "simulation/orbit.h"
#include "tests/foundation/iotxt_test_support.h"
#include "tests/view/bitmap_support.h"
#include "view/ogw.h"
#include "view/scene.h"

struct RGB {
    int r, g, b;
};

inline void DrawOneFrame(OGW_WINDOW* window)
{
    OGW_EnableRedraw(window);
    OGW_RequestRedraw(window);
    for (int i = 0; i < 5000 && (window->redrawCounter.load() > 0 || window->frameInProgress.load()); i++)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    OGW_DisableRedraw(window);
    OGW_MakeCurrent(window);
}

inline RGB ReadPixel(int x, int y)
{
    uint8_t p[3];
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(x, y, 1, 1, GL_RGB, GL_UNSIGNED_BYTE, p);
    return RGB{p[0], p[1], p[2]};
}

// A fresh log, heap, pools, configuration reader and window list, headless.
inline void ResetHeadless()
{
    setenv("ORBIT_HEADLESS", "1", 1);
    LOG_Init();
    MEMORY_Init();
    POOL_Init();
    IOTXT_Init();
    PLAT_ResetWindows();
}

// A headless run of the scene in a 320 x 240 window, without satellites, with
// a plain Earth and Sun; the files written for it are removed at the end.
class SceneFrameTest : public ::testing::Test {
protected:
    static constexpr int kWidth = 320, kHeight = 240;

    // Writes the configuration (files: name, content) and starts the run.
    void StartScene(const std::string& orbitCfg, const std::vector<std::pair<std::string, std::string>>& files)
    {
        ResetHeadless();
        written_ = {"Orbit.cfg", "Objects.cfg", "Earth.bmp", "Sun.bmp"};
        testsupport::WriteFile(iotxttest::ProgramFile("Orbit.cfg"),
                               orbitCfg + "OrbitWindow_DX = 320\nOrbitWindow_DY = 240\n");
        testsupport::WriteFile(iotxttest::ProgramFile("Objects.cfg"), "; none\n");
        for (const auto& f : files) {
            testsupport::WriteFile(iotxttest::ProgramFile(f.first), f.second);
            written_.push_back(f.first);
        }
        WriteBitmap("Earth.bmp", 200, 100, 50);
        WriteBitmap("Sun.bmp", 255, 255, 255);
        g_simClock = SIM_CLOCK{};
        g_simClock.clock = testsupport::MsOf(2006, 1, 1);
        OGW_Init();
        ORBIT_InitRun();
        started_ = ORBIT_Start(0);
        ASSERT_TRUE(started_) << iotxttest::LogText();
        window_ = g_scene.window;
    }
    void TearDown() override
    {
        if (started_) ORBIT_Stop();
        ORBIT_DoneRun();
        OGW_Done();
        for (const std::string& name : written_) std::filesystem::remove(iotxttest::ProgramFile(name));
    }
    void Look(const VEC3& eye, const VEC3& target)
    {
        VEC3 up{0, 0, 1};
        OGW_SetTarget(window_, target.x, target.y, target.z);
        OGW_SetEyeUp(window_, &eye, &up);
    }
    void Frame() { DrawOneFrame(window_); }
    void Release() { OGW_MakeCurrent(nullptr); }
    RGB Pixel(int x, int y) { return ReadPixel(x, y); }
    // Any pixel of the colour in the rows y0 to y1 - 1.
    bool AnyPixel(int y0, int y1, RGB c)
    {
        for (int y = y0; y < y1; y++)
            for (int x = 0; x < kWidth; x++) {
                RGB p = Pixel(x, y);
                if (p.r == c.r && p.g == c.g && p.b == c.b) return true;
            }
        return false;
    }
    // Where a scene point lands in the last frame's view.
    void Project(const VEC3& p, int* x, int* y)
    {
        double projection[16];
        int viewport[4] = {0, 0, kWidth, kHeight};
        glMatrixMode(GL_PROJECTION);
        glLoadIdentity();
        gluPerspective(40.0, double(kWidth) / kHeight, 0.01, 1e13);
        glGetDoublev(GL_PROJECTION_MATRIX, projection);
        double wx, wy, wz;
        gluProject(p.x, p.y, p.z, window_->viewMatrix, projection, viewport, &wx, &wy, &wz);
        glMatrixMode(GL_MODELVIEW);   // as the next frame expects it
        *x = (int)lround(wx);
        *y = (int)lround(wy);
    }

    uint32_t started_ = 0;
    OGW_WINDOW* window_ = nullptr;
    std::vector<std::string> written_;
};
