#include "tests/view/view_fixture.h"
#include "view/gldraw.h"

namespace {

using viewtest::g_draw;

class GldrawTest : public viewtest::ViewTest {};

std::array<float, 12> LightColours(GLenum light)
{
    std::array<float, 12> c{};
    glGetLightfv(light, GL_AMBIENT, &c[0]);
    glGetLightfv(light, GL_DIFFUSE, &c[4]);
    glGetLightfv(light, GL_SPECULAR, &c[8]);
    return c;
}

TEST_F(GldrawTest, LightIntensityScalesFromTheRememberedColoursAndPopRestores)
{
    Open(8, 8);
    OGW_MakeCurrent(window_);
    const double ambient[4] = {0.1, 0.2, 0.3, 1.0};
    const double diffuse[4] = {0.8, 0.6, 0.4, 0.5};
    const double specular[4] = {1.0, 1.0, 1.0, 1.0};
    GLDRAW_SetLight(2, ambient, diffuse, specular);
    std::array<float, 12> before = LightColours(GL_LIGHT2);
    GLDRAW_PushLight(2);
    GLDRAW_SetLightIntensity(2, 50);
    EXPECT_FLOAT_EQ(LightColours(GL_LIGHT2)[4], 0.4f);
    EXPECT_FLOAT_EQ(LightColours(GL_LIGHT2)[7], 0.5f);   // alpha kept
    EXPECT_DOUBLE_EQ(GLDRAW_GetLightIntensity(2), 50.0);
    GLDRAW_PopLight(2);
    EXPECT_EQ(LightColours(GL_LIGHT2), before);
    // Without push and pop the intensity compounds: twice 50 % is a quarter.
    GLDRAW_SetLightIntensity(2, 50);
    GLDRAW_SetLightIntensity(2, 50);
    EXPECT_FLOAT_EQ(LightColours(GL_LIGHT2)[4], 0.2f);
    EXPECT_FLOAT_EQ(LightColours(GL_LIGHT2)[8], 0.25f);
    EXPECT_FLOAT_EQ(LightColours(GL_LIGHT2)[0], 0.1f);
    // Light numbers beyond 7 are ignored.
    GLDRAW_SetLight(8, ambient, diffuse, specular);
    EXPECT_EQ(GLDRAW_GetLightIntensity(8), 0.0);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
    OGW_MakeCurrent(nullptr);
}

TEST(Gldraw, ValueStackDropsOverflowAndGivesZeroWhenEmpty)
{
    GLDRAW_Reset();
    for (uint32_t i = 0; i < GLDRAW_VALUE_STACK_SIZE + 5; ++i)
        GLDRAW_PushValue(i);
    double v;
    GLDRAW_PopValue(&v);
    EXPECT_EQ(v, GLDRAW_VALUE_STACK_SIZE - 1.0);
    for (uint32_t i = 1; i < GLDRAW_VALUE_STACK_SIZE; ++i)
        GLDRAW_PopValue(&v);
    EXPECT_EQ(v, 0.0);
    v = 7;
    GLDRAW_PopValue(&v);
    EXPECT_EQ(v, 0.0);
}

TEST(Gldraw, FarPointsArePulledTo1000UnitsFromTheEye)
{
    VEC3 far{5000, 0, 0}, out;
    EXPECT_DOUBLE_EQ(GLDRAW_PullTowardEye(&far, &out, 1.0), 5.0);   // no window: the eye is the origin
    EXPECT_NEAR(out.x, 1000.0, 1e-9);
    VEC3 near{10, 20, 0};
    EXPECT_DOUBLE_EQ(GLDRAW_PullTowardEye(&near, &out, 2.0), 1.0);
    EXPECT_DOUBLE_EQ(out.y, 40.0);
}

TEST(Gldraw, MatrixInverseOfRegularAndSingularMatrices)
{
    // Column-major: a rotation about z with a translation and a scale.
    const double m[16] = {0, 2, 0, 0, -2, 0, 0, 0, 0, 0, 2, 0, 3, 4, 5, 1};
    double inverse[16], product[16];
    EXPECT_EQ(MAT44_Inverse(m, inverse), 1u);
    MAT44_Multiply(m, inverse, product);
    for (int i = 0; i < 16; ++i)
        EXPECT_NEAR(product[i], i % 5 == 0 ? 1.0 : 0.0, 1e-12) << i;
    EXPECT_DOUBLE_EQ(MAT44_Determinant(m), 8.0);
    const double v[4] = {1, 0, 0, 1};
    double out[4];
    MAT44_MulVector(v, out, m);
    EXPECT_DOUBLE_EQ(out[0], 3.0);
    EXPECT_DOUBLE_EQ(out[1], 6.0);
    const double singular[16] = {1, 2, 3, 4, 2, 4, 6, 8, 0, 0, 1, 0, 0, 0, 0, 1};
    EXPECT_EQ(MAT44_Inverse(singular, inverse), 0u);
    for (int i = 0; i < 16; ++i)
        EXPECT_EQ(inverse[i], i % 5 == 0 ? 1.0 : 0.0);
}

TEST_F(GldrawTest, ShapesDrawWithoutErrorsAndAConeNeedsAnInvertibleView)
{
    static GLenum s_error;
    static int s_drawn;
    g_draw = [](OGW_WINDOW* w) {
        PixelProjection(w);
        GLDRAW_Color3ub(255, 255, 255);
        GLDRAW_Arrow(VEC3{5, 5, 0}, VEC3{5, 5, 0}, nullptr, -1);   // length 0
        GLDRAW_Arrow(VEC3{2, 2.5, 0}, VEC3{30, 2.5, 0}, nullptr, -1);
        VEC3 apex{16, 16, 0}, base{16, 30, 0};
        GLDRAW_TranslucentCone(nullptr, &apex, &base, 1.0);
        GLDRAW_AXIS axes[3] = {};
        for (int i = 0; i < 3; ++i) {
            axes[i].direction = VEC3{i == 0 ? 1.0 : 0.0, i == 1 ? 1.0 : 0.0, i == 2 ? 1.0 : 0.0};
            axes[i].length = 10, axes[i].lineWidth = 1, axes[i].ringA = 1, axes[i].ringRadius = 2;
            axes[i].positiveColor[0] = 255;
        }
        glTranslated(16, 16, 0);
        GLDRAW_Axes(axes, -1);
        s_error = glGetError();
        glLoadIdentity();
        glScaled(0, 0, 0);   // a singular view: the cone is left out
        GLDRAW_TranslucentCone(nullptr, &apex, &base, 1.0);
        s_drawn = 1;
    };
    Open(32, 32);
    ASSERT_TRUE(Frame());
    EXPECT_EQ(s_error, static_cast<GLenum>(GL_NO_ERROR));
    EXPECT_EQ(s_drawn, 1);
    EXPECT_GT(Pixel(20, 2)[0], 128);   // the arrow's line
}

}
