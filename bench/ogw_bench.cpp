// Frame read-back, JPEG screenshots, movie frames and text at 800 x 600.
#include <benchmark/benchmark.h>
#include <GL/gl.h>
#include <GL/glu.h>
#include <cstdio>
#include <unistd.h>
#include <string>
#include <vector>
#include "foundation/log.h"
#include "foundation/memory.h"
#include "foundation/pool.h"
#include "platform/plat_gl.h"
#include "platform/plat_jpeg.h"
#include "platform/plat_movie.h"
#include "platform/plat_window.h"
#include "view/ogw.h"

namespace {

constexpr int32_t WIDTH = 800;
constexpr int32_t HEIGHT = 600;

// A context with a frame of coloured triangles drawn into it.
PLAT_GL_CONTEXT* DrawnContext()
{
    static PLAT_GL_CONTEXT* context = PLAT_CreateGLContext(WIDTH, HEIGHT);
    PLAT_MakeGLCurrent(context);
    glViewport(0, 0, WIDTH, HEIGHT);
    glClearColor(0.1f, 0.1f, 0.3f, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    glBegin(GL_TRIANGLES);
    for (int i = 0; i < 200; ++i) {
        glColor3f((i % 7) / 7.0f, (i % 5) / 5.0f, (i % 3) / 3.0f);
        float x = (i % 20) / 10.0f - 1, y = (i / 20) / 5.0f - 1;
        glVertex2f(x, y), glVertex2f(x + 0.15f, y), glVertex2f(x, y + 0.3f);
    }
    glEnd();
    glFinish();
    return context;
}

std::vector<uint8_t> ReadFrame()
{
    std::vector<uint8_t> frame(PLAT_FrameStride(WIDTH) * HEIGHT);
    glReadPixels(0, 0, WIDTH, HEIGHT, GL_BGR, GL_UNSIGNED_BYTE, frame.data());
    return frame;
}

void BM_ReadBack(benchmark::State& state)
{
    if (!DrawnContext()) {
        state.SkipWithError("no OpenGL context");
        return;
    }
    std::vector<uint8_t> frame(PLAT_FrameStride(WIDTH) * HEIGHT);
    for (auto _ : state) {
        glReadPixels(0, 0, WIDTH, HEIGHT, GL_BGR, GL_UNSIGNED_BYTE, frame.data());
        benchmark::DoNotOptimize(frame.data());
    }
    PLAT_MakeGLCurrent(nullptr);
}
BENCHMARK(BM_ReadBack)->Unit(benchmark::kMillisecond);

void BM_Jpeg(benchmark::State& state)
{
    if (!DrawnContext()) {
        state.SkipWithError("no OpenGL context");
        return;
    }
    std::vector<uint8_t> frame = ReadFrame();
    PLAT_MakeGLCurrent(nullptr);
    std::string name = "/tmp/orbit-bench-" + std::to_string(getpid()) + ".jpg";
    int32_t error = 0;
    for (auto _ : state)
        PLAT_WriteJpeg(name.c_str(), frame.data(), WIDTH, HEIGHT, PLAT_FrameStride(WIDTH), 75, &error);
    remove(name.c_str());
}
BENCHMARK(BM_Jpeg)->Unit(benchmark::kMillisecond);

void MovieFrame(benchmark::State& state, const char* fourcc)
{
    if (!DrawnContext()) {
        state.SkipWithError("no OpenGL context");
        return;
    }
    std::vector<uint8_t> frame = ReadFrame();
    PLAT_MakeGLCurrent(nullptr);
    std::string name = "/tmp/orbit-bench-" + std::to_string(getpid()) + ".avi";
    PLAT_MOVIE_SETTINGS settings{{fourcc[0], fourcc[1], fourcc[2], fourcc[3]}, 25, 4000000, 25, WIDTH, HEIGHT};
    PLAT_MOVIE_STATUS status;
    int32_t error = 0;
    PLAT_MOVIE* movie = PLAT_OpenMovie(name.c_str(), &settings, &status, &error);
    if (!movie) {
        state.SkipWithError("no movie");
        return;
    }
    for (auto _ : state)
        PLAT_WriteMovieFrame(movie, frame.data(), PLAT_FrameStride(WIDTH));
    PLAT_CloseMovie(movie, &error);
    remove(name.c_str());
}

void BM_MovieFrameMjpg(benchmark::State& state) { MovieFrame(state, "MJPG"); }
void BM_MovieFrameRaw(benchmark::State& state) { MovieFrame(state, "DIB "); }
BENCHMARK(BM_MovieFrameMjpg)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_MovieFrameRaw)->Unit(benchmark::kMillisecond);

}

namespace {

// Labels as a frame of ten satellites has them: short texts at points of a
// perspective view, depth-tested, in a few colours.
void BM_PrintText(benchmark::State& state)
{
    LOG_Init();
    MEMORY_Init();
    POOL_Init();
    PLAT_ResetWindows();
    OGW_Init();
    OGW_WINDOW* w = OGW_CreateWindowRecord("bench", nullptr, nullptr, nullptr);
    OGW_SetClientSize(w, WIDTH, HEIGHT);
    OGW_FONT_SLOT font = OGW_OpenWindow(w) ? OGW_CreateFont(w, "Arial", 10, 0) : -1;
    if (font < 0) {
        state.SkipWithError("no window or font");
        return;
    }
    OGW_MakeCurrent(w);
    glViewport(0, 0, WIDTH, HEIGHT);
    glMatrixMode(GL_PROJECTION);
    gluPerspective(45.0, double(WIDTH) / HEIGHT, 0.1, 100.0);
    glMatrixMode(GL_MODELVIEW);
    glDisable(GL_TEXTURE_2D);
    for (auto _ : state) {
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        for (int i = 0; i < state.range(0); ++i) {
            glColor3ub(static_cast<GLubyte>(100 + i % 150), 200, 160);
            glRasterPos3d((i % 25) * 0.4 - 5.0, (i / 25 % 20) * 0.3 - 3.0, -10.0 - i % 7);
            OGW_PrintText(font, "%d", -10000 * (i % 9));
        }
        glFinish();
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
    OGW_MakeCurrent(nullptr);
    OGW_DestroyWindow(w);
    OGW_Done();
    POOL_Done();
}
BENCHMARK(BM_PrintText)->Arg(500)->Unit(benchmark::kMillisecond);

}
