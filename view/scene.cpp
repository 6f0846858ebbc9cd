// ORBIT scene drawing: the snapshot of the simulation's scene state and one
// frame drawn from it: light, stars, axes, Earth, Sun, Moon, field display,
// satellites and the two bars of the view.
#include "view/scene.h"
#include <GL/gl.h>
#include <GL/glu.h>
#include <cmath>
#include <cstdio>
#include <cstring>
#include "foundation/constants.h"
#include "models/ephemeris.h"
#include "simulation/ground.h"
#include "simulation/orbit.h"
#include "simulation/orbit_step.h"
#include "simulation/satelit.h"
#include "simulation/satelit_draw.h"
#include "view/gldraw.h"
#include "view/magfield_display.h"
#include "view/ogw.h"
#include "view/ogw_movie.h"
#include "view/orbit_config.h"

ORBIT_SCENE g_scene{};

namespace {

constexpr double kKmToUnits = 0.01;
constexpr double kEarthRadius = 63.78135;
constexpr double kEquatorRadius = 63.88135;
constexpr double kTropicRadius = 63.80135;
constexpr double kObliquity = 0.40909262775014904;

const GLDRAW_AXIS kEciAxes[3] = {
    {"x-I = VE", {1, 0, 0}, 100, {93, 37, 46}, {228, 22, 56}, 1, 1, 0.3, 63.83135, {160, 160, 160},
     {-0.3, 0.3, 0.5}, 2, 0, 0},
    {"y-I", {0, 1, 0}, 100, {46, 93, 37}, {56, 228, 22}, 1, 1, 0.3, 63.83135, {160, 160, 160}, {0.3, -0.3, 0.5},
     2, 0, 0},
    {"z-I", {0, 0, 1}, 80, {37, 46, 93}, {22, 56, 228}, 1, 1, 0.3, 63.83135, {160, 160, 160}, {0, 0, 0.5}, 2, 0,
     0},
};

const GLDRAW_AXIS kEcfAxes[3] = {
    {"x-E", {1, 0, 0}, 100, {93, 37, 46}, {228, 22, 56}, 1, 1, 0.3, 63.83135, {160, 160, 160}, {-0.3, 0.3, 0.5},
     1, 2, 0xAAAA},
    {"y-E", {0, 1, 0}, 100, {46, 93, 37}, {56, 228, 22}, 1, 1, 0.3, 63.83135, {160, 160, 160}, {0.3, -0.3, 0.5},
     1, 2, 0xAAAA},
    {"z-E", {0, 0, 1}, 80, {37, 46, 93}, {22, 56, 228}, 1, 1, 0.3, 63.83135, {160, 160, 160}, {0, 0, 2.5}, 1, 2,
     0xAAAA},
};

// The Sun's flicker: a generator of the render thread's own.
uint32_t NextFlicker()
{
    g_scene.flickerState = g_scene.flickerState * 1103515245u + 12345u;
    return (g_scene.flickerState >> 16) & 0x7FFF;
}

void Circle(double radius, double z, uint32_t points)
{
    glBegin(GL_LINE_LOOP);
    for (uint32_t i = 0; i < points; i++) {
        double a = CONST_TWO_PI * i / points;
        glVertex3d(radius * cos(a), radius * sin(a), z);
    }
    glEnd();
}

void Line(const VEC3& a, const VEC3& b)
{
    glBegin(GL_LINES);
    glVertex3d(a.x, a.y, a.z);
    glVertex3d(b.x, b.y, b.z);
    glEnd();
}

void BindModulated(int32_t texture)
{
    OGW_BindTexture(texture);
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
}

void Text(int32_t x, int32_t y, const char* text)
{
    glRasterPos2i(x, y);
    OGW_PrintText(g_scene.barFont, "%s", text);
}

void Bar(int32_t x0, int32_t y0, int32_t x1, int32_t y1)
{
    glEnable(GL_BLEND);
    GLDRAW_Color4ub(109, 85, 179, 200);
    glBegin(GL_QUADS);
    glVertex2i(x0, y0);
    glVertex2i(x1, y0);
    glVertex2i(x1, y1);
    glVertex2i(x0, y1);
    glEnd();
    glDisable(GL_BLEND);
}

void SnapshotTitle()
{
    SATELIT* sat = g_scene.currentSatellite;
    g_scene.titleValid = sat != nullptr;
    if (!sat) return;
    snprintf(g_scene.titleName, sizeof g_scene.titleName, "%s", sat->name ? sat->name : "");
    g_scene.titleLongitude = sat->display.longitude;
    g_scene.titleLatitude = sat->display.latitude;
    g_scene.titleAltitude = sat->display.altitude;
    g_scene.titleEnergy = sat->attitude.energy;
}

// True when the whole Earth, at the world's origin, lies beyond the near
// clipping plane of a perspective view, so that no front face is clipped away
// to show a back face. The camera's matrix is the one the frame read (a query
// of the GL here would flush the immediate-mode vertices early, and with that
// change how later primitives are split).
bool EarthWhollyAhead()
{
    OGW_WINDOW* w = OGW_GetCurrentWindow();
    return w && w->perspective && -w->viewMatrix[14] - kEarthRadius > w->liveNear;
}

// The Earth's sphere. The overlay of the previous frame left face culling
// off; the back half of the sphere, hidden behind the front half, is culled
// again whenever it cannot show, as in the first frame. That halves the
// sphere's cost in a software rasterizer.
void EarthSphere()
{
    bool cull = EarthWhollyAhead() && !glIsEnabled(GL_CULL_FACE);
    if (cull) glEnable(GL_CULL_FACE);
    gluSphere(g_scene.quadric, kEarthRadius, 128, 128);
    if (cull) glDisable(GL_CULL_FACE);
}

}  // namespace

void ORBIT_SnapshotState(OGW_WINDOW* window)
{
    PLAT_LOCK* lock = ORBIT_GetLock();
    if (lock) PLAT_EnterLock(lock);
    g_scene.sunVector = g_orbit.sunVector;
    g_scene.moonVector = g_orbit.moonVector;
    g_scene.earthAngle = g_orbit.earthAngle;
    g_scene.clock = ORBIT_GetDisplayClock();   // the time of everything the scene copied
    g_scene.realTotal = g_simClock.realTotal;
    g_scene.frameRate = ORBIT_GetFrameRate();
    SnapshotTitle();
    SATS_SnapshotAll(window);
    GROUND_SnapshotForDrawing();
    if (lock) PLAT_LeaveLock(lock);
}

void ORBIT_RequestRedraw()
{
    if (!g_scene.window) return;
    OGW_RequestRedraw(g_scene.window);
    OGW_ReportRecordingLoss(g_scene.window);   // a movie or screenshot the render thread lost
}

void ORBIT_LoadCameraMatrix()
{
    glMatrixMode(GL_MODELVIEW);
    OGW_LoadViewMatrix();
}

void ORBIT_LoadEarthMatrix()
{
    ORBIT_LoadCameraMatrix();
    glRotated(g_scene.earthAngle, 0.0, 0.0, 1.0);
}

void ORBIT_DrawEarth()
{
    ORBIT_LoadEarthMatrix();
    if (g_orbitView.drawEcfAxes) GLDRAW_Axes(kEcfAxes, g_scene.labelFont);
    glPushMatrix();
    glEnable(GL_LIGHTING);
    glRotated(90.0, 0.0, 0.0, 1.0);
    BindModulated(g_scene.textureEarth);
    glColor3f(1.0f, 1.0f, 1.0f);
    glEnable(GL_COLOR_MATERIAL);
    glMaterialf(GL_FRONT_AND_BACK, GL_SHININESS, 17.8f);
    glEnable(GL_TEXTURE_2D);
    EarthSphere();
    glDisable(GL_TEXTURE_2D);
    glDisable(GL_COLOR_MATERIAL);
    glDisable(GL_LIGHTING);
    glPopMatrix();
    GLDRAW_Color3ub(160, 160, 160);
    Circle(kEquatorRadius, 0.0, 80);
    glLineWidth(1.0f);
    glLineStipple(1, 0xAAAA);
    glEnable(GL_LINE_STIPPLE);
    GLDRAW_Color3ub(150, 150, 150);
    Circle(cos(kObliquity) * kTropicRadius, sin(kObliquity) * kTropicRadius, 100);
    Circle(cos(kObliquity) * kTropicRadius, -sin(kObliquity) * kTropicRadius, 100);
    glDisable(GL_LINE_STIPPLE);
}

void ORBIT_DrawSun()
{
    ORBIT_LoadCameraMatrix();
    VEC3 q;
    double f = GLDRAW_PullTowardEye(&g_scene.sunVector, &q, kKmToUnits);
    double r = 6960.0 / f;
    GLDRAW_Color3ub(255, 250, 180);
    GLDRAW_Billboard(&q, g_scene.textureSun, 18.0 * r, 18.0 * r, GL_MODULATE, (double)(NextFlicker() % 50));
    glEnable(GL_BLEND);
    GLDRAW_Color4ub(255, 241, 187, 88);
    Line(VEC3{0, 0, 0}, q);
    glDisable(GL_BLEND);
    GLDRAW_Color3ub(200, 200, 200);
    GLDRAW_TextAt(&q, 4.0 * r, 5.0 * r, g_scene.labelFont, "Slunce");
}

void ORBIT_DrawMoon()
{
    ORBIT_LoadCameraMatrix();
    VEC3 q;
    double f = GLDRAW_PullTowardEye(&g_scene.moonVector, &q, kKmToUnits);
    double r = 17.36 / f;
    glPushMatrix();
    glTranslated(q.x, q.y, q.z);
    glEnable(GL_LIGHTING);
    BindModulated(g_scene.textureMoon);
    glEnable(GL_TEXTURE_2D);
    gluSphere(g_scene.quadric, r, 32, 32);
    glDisable(GL_TEXTURE_2D);
    glDisable(GL_LIGHTING);
    glPopMatrix();
    ORBIT_LoadCameraMatrix();
    glEnable(GL_BLEND);
    GLDRAW_Color4ub(255, 241, 187, 88);
    Line(VEC3{0, 0, 0}, q);
    glDisable(GL_BLEND);
    GLDRAW_Color3ub(200, 200, 200);
    GLDRAW_TextAbove(&q, 2.0 * r, g_scene.labelFont, "Měsíc");
}

void ORBIT_DrawMagField()
{
    ORBIT_LoadEarthMatrix();
    if (g_scene.fieldDisplayMode == ORBIT_FIELD_DISPLAY_VECTORS) MAGFIELD_DrawVectors();
    else if (g_scene.fieldDisplayMode == ORBIT_FIELD_DISPLAY_LINES) MAGFIELD_DrawLines();
}

void ORBIT_DrawSatellites()
{
    ORBIT_LoadCameraMatrix();
    SATS_DrawAll(g_scene.window);
}

void ORBIT_DrawGroundStations()
{
    ORBIT_LoadCameraMatrix();
    GROUND_Draw(g_scene.window);
}

void ORBIT_BeginOverlay()
{
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(0.0, g_orbitView.windowDX, 0.0, g_orbitView.windowDY, -1.0, 1.0);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glDisable(GL_CULL_FACE);
}

void ORBIT_DrawTitleBar()
{
    int32_t w = g_orbitView.windowDX, h = g_orbitView.titleBarDY;
    glDisable(GL_DEPTH_TEST);
    Bar(0, 0, w - 1, h + 1);
    if (g_scene.titleValid) {
        char text[256];
        snprintf(text, sizeof text, "%s na %6.2lf° v.d., %6.2lf° s.š. ve výšce %.3lf km, E=%.6g", g_scene.titleName,
                 g_scene.titleLongitude, g_scene.titleLatitude, g_scene.titleAltitude, g_scene.titleEnergy);
        GLDRAW_Color3ub(230, 230, 230);
        Text(2, h - 12, text);
    }
    glEnable(GL_DEPTH_TEST);
}

void ORBIT_DrawInfoBar()
{
    int32_t w = g_orbitView.windowDX, y = g_orbitView.windowDY, h = g_orbitView.titleBarDY;
    glDisable(GL_DEPTH_TEST);
    Bar(0, y - 1, w - 1, y - h - 1);
    char text[200];
    snprintf(text, sizeof text, "Snímek %d (FPS %4.1f)", (int)g_scene.frame++, g_scene.frameRate);
    GLDRAW_Color3ub(250, 250, 250);
    Text(2, y - h + 4, text);
    SYSTEMTIME st{};
    TIME_MsToSystemTime(g_scene.clock, &st);
    char time[64], speed[32];
    TIME_FormatDateTimeSec(time, &st);
    ORBIT_SampleSpeed(&g_scene.speed, g_scene.clock, g_scene.realTotal);
    ORBIT_FormatSpeed(&g_scene.speed, speed, sizeof speed);
    snprintf(text, sizeof text, "Čas %s UTC %s", time, speed);
    GLDRAW_Color3ub(220, 220, 220);
    Text(300, y - h + 4, text);
    ORBIT_FormatCameraText(g_orbit.cameraMode, text, sizeof text);
    Text(g_scene.cameraTextX, y - h + 4, text);
    glEnable(GL_DEPTH_TEST);
}

void ORBIT_DrawScene(OGW_WINDOW*)
{
    static const double ambient[4] = {0.1, 0.1, 0.1, 1.0};
    static const double diffuse[4] = {0.99, 0.99, 0.99, 0.1};
    static const double specular[4] = {0.1, 0.1, 0.1, 1.0};
    glEnable(GL_DEPTH_TEST);
    // The light's position goes through the camera's matrix to the world.
    ORBIT_LoadCameraMatrix();
    const VEC3& sun = g_scene.sunVector;
    GLDRAW_SetLightPosition(0, sun.x * kKmToUnits, sun.y * kKmToUnits, sun.z * kKmToUnits);
    GLDRAW_SetLight(0, ambient, diffuse, specular);
    GLDRAW_EnableLight(0);
    glDisable(GL_LIGHTING);
    ORBIT_LoadCameraMatrix();
    if (g_orbitView.drawStars) ORBIT_DrawStarField();
    if (g_orbitView.drawEciAxes) {
        ORBIT_LoadCameraMatrix();
        GLDRAW_Axes(kEciAxes, g_scene.labelFont);
    }
    ORBIT_DrawEarth();
    if (g_orbitView.drawSun) ORBIT_DrawSun();
    if (g_orbitView.drawMoon) ORBIT_DrawMoon();
    ORBIT_DrawMagField();
    ORBIT_DrawSatellites();
    ORBIT_DrawGroundStations();
    ORBIT_BeginOverlay();
    ORBIT_DrawTitleBar();
    if (g_orbitView.drawInfoBar) ORBIT_DrawInfoBar();
    ORBIT_CountFrame();
}
