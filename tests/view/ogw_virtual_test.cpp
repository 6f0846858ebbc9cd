#include <string>
#include "tests/support/test_support.h"
#include "tests/view/view_fixture.h"
#include "view/ogw_movie.h"

namespace {

using viewtest::g_draw;

constexpr int TICKS = 60;

struct Loop {
    OGW_WINDOW* window;
    int ticks;
};

// The idle step of virtual time: one redraw request per 20 ms tick, then quit.
void OnTick(void* param)
{
    Loop* loop = static_cast<Loop*>(param);
    if (++loop->ticks > TICKS)
        PLAT_PostQuitMessage(0);
    else
        OGW_RequestRedraw(loop->window);
}

// A picture that moves with the clock.
void Moving(OGW_WINDOW* w)
{
    viewtest::PixelProjectionOf(w);
    double t = PLAT_GetTickCount() / 1000.0;
    glColor3f(1.0f, 0.5f, 0.2f);
    glBegin(GL_TRIANGLES);
    glVertex2d(10 + 50 * t, 10), glVertex2d(60 + 50 * t, 20), glVertex2d(30, 50 + 10 * t);
    glEnd();
}

class OgwVirtualTest : public viewtest::ViewTest {
protected:
    // One headless run of the message loop in virtual time with a movie and
    // screenshots; returns the folder of its files.
    std::string RecordRun(const std::string& label)
    {
        PLAT_ResetWindows();
        PLAT_SetVirtualTime(1);
        g_draw = Moving;
        Open(96, 64);
        std::string dir = testsupport::MakeTempDir(label);
        movie_ = dir + "/movie.avi";
        shots_ = dir + "/shot###.jpg";
        EXPECT_EQ(OGW_ConfigureMovie(window_, movie_.c_str(), "MJPG", 8, 500, 10000), 1u);
        EXPECT_EQ(OGW_ConfigureCapture(window_, 300, shots_.c_str(), 80), 1u);
        OGW_StartMovie(window_);
        Loop loop{window_, 0};
        PLAT_SetIdleTimer(OnTick, &loop, 20);
        MSG msg;
        while (PLAT_GetMessage(&msg))
            PLAT_DispatchMessage(&msg);
        PLAT_SetIdleTimer(nullptr, nullptr, 20);
        frames_ = window_->movieWriter ? window_->movieWriter->avi.frameIndex : 0;
        OGW_DisableRedraw(window_);
        OGW_DestroyWindow(window_);
        window_ = nullptr;
        return dir;
    }
    std::string movie_, shots_;
    uint32_t frames_ = 0;
};

TEST_F(OgwVirtualTest, TwoRunsRecordTheSameBytes)
{
    std::string a = RecordRun("virtual_a");
    uint32_t framesA = frames_;
    std::string b = RecordRun("virtual_b");
    // Frames at 20 ms .. 1200 ms: the clock ran 1180 ms at 8 frames per second.
    EXPECT_EQ(framesA, (1180u * 8 + 500) / 1000);
    EXPECT_EQ(frames_, framesA);
    std::string movieA = testsupport::ReadFile(a + "/movie.avi");
    EXPECT_GT(movieA.size(), 1000u);
    EXPECT_EQ(movieA, testsupport::ReadFile(b + "/movie.avi"));
    // Shots at 20, 320, 620, 920 and 1220 ms of the clock: four in the run.
    for (const char* shot : {"/shot001.jpg", "/shot002.jpg", "/shot003.jpg", "/shot004.jpg"}) {
        std::string shotA = testsupport::ReadFile(a + shot);
        EXPECT_FALSE(shotA.empty()) << shot;
        EXPECT_EQ(shotA, testsupport::ReadFile(b + shot)) << shot;
    }
    EXPECT_TRUE(testsupport::ReadFile(a + "/shot005.jpg").empty());
}

}
