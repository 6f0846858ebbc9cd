// A headless 3-D window for view tests: the window library started, one
// window of a given size opened, and a way to run one frame and look at it.
#pragma once
#include <gtest/gtest.h>
#include <GL/gl.h>
#include <array>
#include <atomic>
#include <functional>
#include <vector>
#include "foundation/log.h"
#include "foundation/memory.h"
#include "foundation/pool.h"
#include "platform/plat_gl.h"
#include "platform/plat_time.h"
#include "platform/plat_window.h"
#include "view/ogw.h"

namespace viewtest {

// The draw callback runs this; the frame's pixels are read back after it.
inline std::function<void(OGW_WINDOW*)> g_draw;
inline std::vector<uint8_t> g_pixels;   // bottom-up BGR rows, padded to 4 bytes
inline std::atomic<int> g_frames{0};

inline void Draw(OGW_WINDOW* w)
{
    if (g_draw)
        g_draw(w);
    int32_t width = w->clientWidth, height = w->clientHeight;
    g_pixels.assign(PLAT_FrameStride(width) * height, 0);
    glReadPixels(0, 0, width, height, GL_BGR, GL_UNSIGNED_BYTE, g_pixels.data());
    g_frames.fetch_add(1);
}

// Projection and modelview that map drawing units to pixels.
inline void PixelProjectionOf(OGW_WINDOW* w)
{
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(0, w->clientWidth, 0, w->clientHeight, -1, 1);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_CULL_FACE);
    glDisable(GL_TEXTURE_2D);
    glDisable(GL_LIGHTING);
}

class ViewTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        LOG_Init();
        MEMORY_Init();
        POOL_Init();
        PLAT_ResetWindows();
        PLAT_SetVirtualTime(0);
        OGW_Init();
        g_draw = nullptr;
        g_frames = 0;
    }
    void TearDown() override
    {
        if (window_) {
            OGW_DisableRedraw(window_);
            OGW_DestroyWindow(window_);
        }
        window_ = nullptr;
        OGW_Done();
        PLAT_ResetWindows();
        POOL_Done();
    }
    // An open window with drawing enabled and a fixed 2-D pixel projection.
    OGW_WINDOW* Open(uint16_t width, uint16_t height, OGW_DRAW_CALLBACK preDraw = nullptr)
    {
        window_ = OGW_CreateWindowRecord("test", nullptr, Draw, preDraw);
        EXPECT_NE(window_, nullptr);
        OGW_SetClientSize(window_, width, height);
        EXPECT_EQ(OGW_OpenWindow(window_), 1u);
        OGW_EnableRedraw(window_);
        return window_;
    }
    // Asks for one frame and waits (at most 5 s) until it was drawn.
    bool Frame()
    {
        int before = g_frames.load();
        OGW_RequestRedraw(window_);
        for (int i = 0; i < 5000 && g_frames.load() == before; ++i)
            PLAT_Sleep(1);
        OGW_DisableRedraw(window_);
        OGW_EnableRedraw(window_);
        return g_frames.load() > before;
    }
    // The pixel at (x, y) from the bottom left, as RGB.
    std::array<int, 3> Pixel(int x, int y) const
    {
        const uint8_t* p = &g_pixels[y * PLAT_FrameStride(window_->clientWidth) + x * 3];
        return {p[2], p[1], p[0]};
    }
    static void PixelProjection(OGW_WINDOW* w) { PixelProjectionOf(w); }
    OGW_WINDOW* window_ = nullptr;
};

}
