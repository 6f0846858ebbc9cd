// ORBIT scene at the run's start and end.
#include "view/scene_run.h"
#include <GL/gl.h>
#include <GL/glu.h>
#include <cstring>
#include "foundation/log.h"
#include "simulation/main_run.h"
#include "simulation/orbit.h"
#include "simulation/orbit_step.h"
#include "simulation/sats.h"
#include "view/camera.h"
#include "view/ogw.h"
#include "view/ogw_movie.h"
#include "view/orbit_config.h"
#include "view/scene.h"

namespace {

constexpr double kFieldOfView = 40.0;
constexpr double kNearClip = 0.01;
constexpr double kFarClip = 1e13;

void LockScene() { OGW_Lock(); }
void UnlockScene()
{
    OGW_Unlock();
    OGW_HandOverLock();
}

void RefreshCamera(uint32_t mode)
{
    if (mode == g_orbit.cameraMode) ORBIT_UpdateCamera();
}

uint32_t SceneFailed();
void StopDrawing() { OGW_StopDrawingSoon(g_scene.window); }

const ORBIT_SCENE_HOOKS kHooks = {LockScene, UnlockScene, RefreshCamera, ORBIT_RequestRedraw, SceneFailed, StopDrawing};

void ResetScene()
{
    g_scene = ORBIT_SCENE{};
    g_scene.labelFont = g_scene.barFont = g_scene.starFont = -1;
    g_scene.textureEarth = g_scene.textureSun = g_scene.textureMoon = g_scene.textureStar = -1;
    g_scene.frame = 1;
    g_scene.flickerState = 1;
    g_orbit.labelFont = 0xFFFFFFFF;
}

uint32_t ConfigureMovie()
{
    const ORBIT_VIEW_CONFIG& v = g_orbitView;
    if (!v.movieRecording) return 1;
    if (!v.movieFilename || !v.movieFilename[0]) {
        LOG_Printf("ORBIT: nebyl zadán název souboru pro filmový záznam (MovieFilename).\n");
        return 0;
    }
    if (!v.movieCodec || !v.movieCodec[0]) {
        LOG_Printf("ORBIT: nebyl zadán název kodeku pro filmový záznam (MovieCodec).\n");
        return 0;
    }
    if (strlen(v.movieCodec) > 4) {
        LOG_Printf("ORBIT: název kodeku smí být jen 4 písmena dlouhý (FourCC code).\n");
        return 0;
    }
    char fourcc[4] = {0, 0, 0, 0};
    memcpy(fourcc, v.movieCodec, strlen(v.movieCodec));
    if (!OGW_ConfigureMovie(g_scene.window, v.movieFilename, fourcc, v.movieFps, v.movieDataRate,
                            v.movieKeyFrameInterval)) {
        LOG_Printf("ORBIT: chyba konfigurace záznamu filmu\n");
        return 0;
    }
    if (v.movieRecordingRunning) OGW_StartMovie(g_scene.window);
    else OGW_StopMovie(g_scene.window);
    return 1;
}

uint32_t ConfigureCapture()
{
    const ORBIT_VIEW_CONFIG& v = g_orbitView;
    if (!v.captureScreenshots) return 1;
    // An empty template would fail the start without a word.
    if (!v.captureFilename || !v.captureFilename[0] ||
        !OGW_ConfigureCapture(g_scene.window, v.captureInterval, v.captureFilename, v.captureQuality)) {
        LOG_Printf("ORBIT: chyba konfigurace záznamu snímků obrazovky\n");
        return 0;
    }
    return 1;
}

uint32_t MakeFonts()
{
    g_scene.labelFont = OGW_CreateFont(g_scene.window, ORBIT_FONT_FACE, 10, 0);
    g_scene.barFont = OGW_CreateFont(g_scene.window, ORBIT_FONT_FACE, g_orbitView.titleBarDY - 4, 0);
    g_scene.starFont = OGW_CreateFont(g_scene.window, ORBIT_FONT_FACE, 9, 0);
    g_scene.cameraTextX = ORBIT_CameraTextX(g_orbitView.windowDX, g_orbitView.titleBarDY - 4);
    g_orbit.labelFont = (uint32_t)g_scene.labelFont;
    return g_scene.labelFont >= 0 && g_scene.barFont >= 0 && g_scene.starFont >= 0;
}

void DeleteFonts()
{
    for (int32_t* font : {&g_scene.labelFont, &g_scene.barFont, &g_scene.starFont}) {
        if (*font >= 0) OGW_DeleteFont(g_scene.window, *font);
        *font = -1;
    }
    g_orbit.labelFont = 0xFFFFFFFF;
}

void SetGLState()
{
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glDisable(GL_TEXTURE_2D);
    glDisable(GL_BLEND);
    glEnable(GL_LIGHTING);
}

void MakeQuadric()
{
    g_scene.quadric = gluNewQuadric();
    if (!g_scene.quadric) return;
    gluQuadricDrawStyle(g_scene.quadric, GLU_FILL);
    gluQuadricNormals(g_scene.quadric, GLU_SMOOTH);
    gluQuadricTexture(g_scene.quadric, GL_TRUE);
}

uint32_t LoadTexture(uint32_t wanted, const char* name, int32_t* slot, const char* message)
{
    *slot = -1;
    if (!wanted) return 1;
    *slot = name ? OGW_LoadTexture(name) : -1;
    if (*slot >= 0) return 1;
    LOG_Printf(message, name ? name : "");
    return 0;
}

uint32_t LoadTextures()
{
    const ORBIT_VIEW_CONFIG& v = g_orbitView;
    return LoadTexture(1, v.textureEarth, &g_scene.textureEarth,
                       "ORBIT: nelze načíst texturu povrchu Země: \"%s\".\n") &&
           LoadTexture(v.drawSun, v.textureSun, &g_scene.textureSun, "ORBIT: nelze načíst texturu Slunce: \"%s\".\n") &&
           LoadTexture(v.drawMoon, v.textureMoon, &g_scene.textureMoon,
                       "ORBIT: nelze načíst texturu Měsíce: \"%s\".\n") &&
           LoadTexture(v.drawStars, v.textureStar, &g_scene.textureStar, "ORBIT: nelze načíst texturu hvězd: \"%s\".\n");
}

// Fonts, GL state, quadric and textures. They are read here, and made on
// the window's context by the render thread once it has made the context.
uint32_t PrepareWindow()
{
    OGW_BeginLoading(g_scene.window);
    uint32_t ok = MakeFonts() && OGW_CallWithContext(g_scene.window, SetGLState);
    if (ok) MakeQuadric();
    ok = ok && LoadTextures();
    OGW_BeginLoading(nullptr);
    return ok;
}

uint32_t SceneFailed() { return OGW_SetupFailed(g_scene.window); }

// The fonts and the quadric are drawn with by the render thread: they go
// only once it has ended. A render thread left running keeps the whole scene
// as it is, and the program ends without freeing it.
void DestroyScene()
{
    if (!OGW_EndRenderThread(g_scene.window)) {
        OGW_DestroyWindow(g_scene.window);
        return;
    }
    OGW_MakeCurrent(g_scene.window);
    DeleteFonts();
    if (g_scene.quadric) gluDeleteQuadric(g_scene.quadric);
    g_scene.quadric = nullptr;
    OGW_MakeCurrent(nullptr);
    OGW_DestroyWindow(g_scene.window);
    g_scene.window = nullptr;
}

void SetupStartCamera(uint32_t mode)
{
    g_orbit.cameraMode = mode;
    if (ORBIT_IsSatelliteCamera(mode)) return;
    // Every mode starts from the home position: the modes that only follow
    // the Earth, the Sun or the user would otherwise start from no camera.
    g_orbit.cameraMode = ORBIT_CAMERA_ECI_EARTH;
    ORBIT_SetupCamera(1);
    g_orbit.cameraMode = mode;
    ORBIT_SetupCamera(1);
}

}  // namespace

void ORBIT_PlaceWindow()
{
    // The main window of every run stands where the run loop puts it.
    OGW_SetClientSize(g_scene.window, g_orbitView.windowDX, g_orbitView.windowDY);
    OGW_SetPosition(g_scene.window, MAIN_WINDOW_X + g_orbitView.windowX, MAIN_WINDOW_Y + g_orbitView.windowY);
}

uint32_t ORBIT_OpenScene(uint32_t cameraMode)
{
    ResetScene();
    ORBIT_ResetSpeedMeter(&g_scene.speed, g_simClock.clock, g_simClock.realTotal);
    g_scene.window = OGW_CreateWindowRecord("Orbit", nullptr, ORBIT_DrawScene, ORBIT_SnapshotState);
    if (!g_scene.window) {
        LOG_Printf("ORBIT: nedostatek paměti pro okno zobrazení.\n");
        return 0;
    }
    ORBIT_PlaceWindow();
    OGW_EnableLookAt(g_scene.window);
    SetupStartCamera(cameraMode ? cameraMode : g_orbitView.defaultCamera);
    OGW_EnablePerspective(g_scene.window);
    OGW_SetFieldOfView(g_scene.window, kFieldOfView);
    OGW_SetClipPlanes(g_scene.window, kNearClip, kFarClip);
    if (!ConfigureMovie() || !ConfigureCapture() || !OGW_OpenWindow(g_scene.window) || !PrepareWindow()) {
        DestroyScene();
        return 0;
    }
    return 1;
}

void ORBIT_LoadIntoScene(uint32_t loading)
{
    if (g_scene.window) OGW_BeginLoading(loading ? g_scene.window : nullptr);
}

void ORBIT_EnableScene()
{
    if (!g_scene.window) return;
    g_scene.currentSatellite = SATS_GetFirst();
    // A satellite camera is placed now that the satellites exist; the others
    // take the Earth's angle and the Sun's direction they follow from here,
    // now that these are computed.
    ORBIT_SetupCamera(ORBIT_IsSatelliteCamera(g_orbit.cameraMode));
    ORBIT_SetSceneHooks(&kHooks);
    OGW_EnableRedraw(g_scene.window);
    OGW_RequestRedraw(g_scene.window);
}

void ORBIT_CloseScene()
{
    if (!g_scene.window) return;
    ORBIT_SetSceneHooks(nullptr);
    OGW_DisableRedraw(g_scene.window);
    SATS_CloseInfoWindows();
    DestroyScene();
}
