// Frames of the scene drawn offscreen by the window's render thread, probed
// pixel by pixel.
#include "simulation/raster.h"
#include "simulation/satelit.h"
#include "tests/view/frame_support.h"
#include "view/orbit_config.h"

namespace {

class SceneFrame : public SceneFrameTest {
protected:
    void SetUp() override
    {
        WriteBitmap("Green.bmp", 0, 255, 0);
        StartScene("Draw_ECI_axes = NE\nDraw_ECF_axes = NE\nDraw_Moon = NE\nDraw_stars = NE\n", {});
        written_.push_back("Green.bmp");
    }
};

void ExpectColor(RGB p, RGB c, int tolerance, const char* what)
{
    EXPECT_NEAR(p.r, c.r, tolerance) << what;
    EXPECT_NEAR(p.g, c.g, tolerance) << what;
    EXPECT_NEAR(p.b, c.b, tolerance) << what;
}

SATELIT Sphere(uint32_t model, const VEC3& km, SAT_COLOR color, int32_t texture)
{
    SATELIT s{};
    s.graphicsModel = model;
    s.radius = 10.0;
    s.modelColor = color;
    s.texture = texture;
    s.drawing.position = km;
    MAT_Identity(&s.drawing.rotation);
    s.drawing.illumination = 100.0;
    return s;
}

}  // namespace

TEST_F(SceneFrame, EarthLightAndBars)
{
    VEC3 sun = g_orbit.sunVector;
    VEC_SetLength(&sun, 400.0);
    Look(sun, VEC3{0, 0, 0});
    Frame();
    ExpectColor(Pixel(170, 130), RGB{200, 100, 50}, 1, "day side");
    ExpectColor(Pixel(317, 2), RGB{85, 67, 140}, 1, "bottom bar");
    ExpectColor(Pixel(317, 237), RGB{85, 67, 140}, 1, "top bar");
    EXPECT_FALSE(AnyPixel(0, 21, RGB{230, 230, 230}));   // no satellite, no text
    EXPECT_EQ(glGetError(), (GLenum)GL_NO_ERROR);
    Release();

    SATELIT sat = Sphere(SAT_GRAPHICS_SPHERE, VEC3{0, 0, 0}, SAT_COLOR{0, 0, 0}, -1);
    char name[] = "TEST";
    sat.name = name;
    g_scene.currentSatellite = &sat;
    Look(VEC3{-sun.x, -sun.y, -sun.z}, VEC3{0, 0, 0});
    Frame();
    ExpectColor(Pixel(170, 130), RGB{60, 30, 15}, 1, "night side");
    EXPECT_TRUE(AnyPixel(0, 21, RGB{230, 230, 230}));
    Release();
    g_scene.currentSatellite = nullptr;
}

TEST_F(SceneFrame, SatelliteModelsLeaveNoStateBehind)
{
    Look(VEC3{400, 0, 0}, VEC3{300, 0, 0});
    Frame();
    int32_t green = OGW_LoadTexture("Green.bmp");
    ASSERT_GE(green, 0);
    SATELIT sats[4] = {
        Sphere(SAT_GRAPHICS_SPHERETEXTURED, VEC3{30000, -1000, 0}, SAT_COLOR{0, 0, 0}, green),
        Sphere(SAT_GRAPHICS_SPHERE, VEC3{30000, 1000, 0}, SAT_COLOR{255, 0, 0}, -1),
        Sphere(SAT_GRAPHICS_SPHERESHADED, VEC3{30000, 0, 0}, SAT_COLOR{0, 0, 255}, -1),
        Sphere(SAT_GRAPHICS_SPHERESHADED, VEC3{30000, 0, 0}, SAT_COLOR{0, 0, 255}, -1),
    };
    int x[4], y[4];
    for (int i = 0; i < 4; i++)
        Project(VEC3{300, sats[i].drawing.position.y * 0.01, 0}, &x[i], &y[i]);
    auto draw = [&](int from, int to) {
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        glMatrixMode(GL_MODELVIEW);
        OGW_LoadViewMatrix();
        for (int i = from; i < to; i++) SATELIT_Draw(&sats[i], window_);
        glFinish();
    };
    draw(0, 2);
    ExpectColor(Pixel(x[0], y[0]), RGB{0, 255, 0}, 1, "textured sphere");
    ExpectColor(Pixel(x[1], y[1]), RGB{255, 0, 0}, 1, "sphere after a textured one");
    // Two shaded satellites in the same place and light, one after the other.
    draw(2, 3);
    RGB first = Pixel(x[2], y[2]);
    draw(3, 4);
    EXPECT_GT(first.b, 0);
    ExpectColor(Pixel(x[3], y[3]), first, 0, "second shaded sphere");
    EXPECT_EQ(glGetError(), (GLenum)GL_NO_ERROR);
    Release();
}

TEST_F(SceneFrame, ProjectionTrianglesBeforeTheSatellite)
{
    Look(VEC3{400, 0, 0}, VEC3{300, 0, 0});
    Frame();
    SATELIT sat = Sphere(SAT_GRAPHICS_SPHERE, VEC3{30000, 0, 0}, SAT_COLOR{0, 0, 255}, -1);
    // One triangle of 100 x 100 m around the centre, across the line of sight.
    RASTER_TRIANGLE triangle{{{-50, -50}, {50, -50}, {0, 50}}, nullptr};
    RASTER_TRIANGLE_LIST list{1, &triangle, nullptr, &triangle};
    for (SAT_PROJECTION_BLOCK* block : {&sat.sunProjection, &sat.dragProjection}) {
        block->triangles = &list;
        block->u = VEC3{0, 1, 0};
        block->w = VEC3{0, 0, 1};
    }
    sat.drawing.sunProjectionDirection = VEC3{1, 0, 0};
    sat.drawing.dragProjectionDirection = VEC3{1, 0, 0};
    sat.sunProjectionDistance = sat.dragProjectionDistance = 2.0;
    sat.sunProjectionColor = SAT_COLOR{250, 200, 0};
    sat.dragProjectionColor = SAT_COLOR{0, 200, 250};
    int x, y;
    Project(VEC3{300, 0, -0.5}, &x, &y);
    auto draw = [&]() {
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        glMatrixMode(GL_MODELVIEW);
        OGW_LoadViewMatrix();
        glEnable(GL_CULL_FACE);
        SATELIT_Draw(&sat, window_);
        glFinish();
        return Pixel(x, y);
    };
    ExpectColor(draw(), RGB{0, 0, 255}, 1, "no projection asked for");
    sat.drawSunProjection = 1;
    ExpectColor(draw(), RGB{250, 200, 0}, 1, "Sun projection in front of the satellite");
    sat.drawing.illumination = 0.0;
    ExpectColor(draw(), RGB{0, 0, 255}, 1, "no Sun projection in the shadow");
    sat.drawDragProjection = 1;
    ExpectColor(draw(), RGB{0, 200, 250}, 1, "drag projection in the shadow too");
    EXPECT_EQ(glGetError(), (GLenum)GL_NO_ERROR);
    Release();
    sat.sunProjection.triangles = sat.dragProjection.triangles = nullptr;
}
