// ORBIT view settings read from "Orbit.cfg" through the key-value store. Every
// key has a default, so a missing file or a bad value never stops a run.
#include "view/orbit_config.h"
#include <strings.h>
#include <cstring>
#include "foundation/cfg.h"
#include "foundation/log.h"
#include "foundation/pool.h"
#include "foundation/util.h"

ORBIT_VIEW_CONFIG g_orbitView{};

namespace {

struct ORBIT_CAMERA_NAME {
    const char* name;
    uint32_t mode;
    const char* logLine;
};

const ORBIT_CAMERA_NAME kCameraNames[] = {
    {"ECI_EARTH", ORBIT_CAMERA_ECI_EARTH, "ORBIT: Default kamera je ECI-EARTH.\n"},
    {"ECEF_EARTH", ORBIT_CAMERA_ECEF_EARTH, "ORBIT: Default kamera je ECEF-EARTH.\n"},
    {"SUN", ORBIT_CAMERA_SUN, "ORBIT: Default kamera je SUN.\n"},
    {"SATELIT_O", ORBIT_CAMERA_SATELIT_ORBIT, "ORBIT: Default kamera je SATELIT-ORBIT.\n"},
    {"SATELIT_I", ORBIT_CAMERA_SATELIT_INERTIAL, "ORBIT: Default kamera je SATELIT-INERTIAL.\n"},
    {"SATELIT_B", ORBIT_CAMERA_SATELIT_BODY, "ORBIT: Default kamera je SATELIT-BODY.\n"},
    {"FREE", ORBIT_CAMERA_FREE, "ORBIT: Default kamera je FREE.\n"},
};

const ORBIT_CAMERA_NAME* FindCamera(const char* unquoted)
{
    for (const ORBIT_CAMERA_NAME& c : kCameraNames)
        if (strcasecmp(c.name, unquoted) == 0) return &c;
    return nullptr;
}

// A text kept beyond the load: the store's text without blanks and quotes.
char* GetText(CFG_OBJECT* cfg, const char* key, const char* def)
{
    char* text;
    CFG_GetString(cfg, key, &text, const_cast<char*>(def));
    return UTIL_DupUnquoted(text);
}

uint32_t GetBool(CFG_OBJECT* cfg, const char* key, uint32_t def)
{
    uint32_t value;
    CFG_GetBool(cfg, key, &value, def);
    return value;
}

int64_t GetInt64(CFG_OBJECT* cfg, const char* key, int64_t min, int64_t max, int64_t def)
{
    int64_t value;
    CFG_GetInt64(cfg, key, &value, min, max, def);
    return value;
}

uint32_t GetInt(CFG_OBJECT* cfg, const char* key, uint32_t min, uint32_t max, uint32_t def)
{
    uint32_t value;
    CFG_GetInt(cfg, key, &value, min, max, def);
    return value;
}

void ReadCamera(CFG_OBJECT* cfg)
{
    char* name = GetText(cfg, "OrbitDefaultCamera", "ECI_EARTH");
    const ORBIT_CAMERA_NAME* camera = name ? FindCamera(name) : nullptr;
    if (camera) {
        g_orbitView.defaultCamera = camera->mode;
        LOG_Printf("%s", camera->logLine);
    } else {
        g_orbitView.defaultCamera = ORBIT_CAMERA_ECI_EARTH;
        if (name) LOG_Printf("ORBIT: Neznámý typ kamery v Orbit.cfg, použije se default ECI-EARTH.\n");
    }
    POOL_Free(name);
}

void FreeText(char** text)
{
    POOL_Free(*text);
    *text = nullptr;
}

}  // namespace

uint32_t ORBIT_CameraModeFromName(const char* name)
{
    char* unquoted = UTIL_DupUnquoted(name);
    const ORBIT_CAMERA_NAME* camera = unquoted ? FindCamera(unquoted) : nullptr;
    POOL_Free(unquoted);
    return camera ? camera->mode : 0;
}

uint32_t ORBIT_FourCC(const char* codec)
{
    uint8_t bytes[4] = {0, 0, 0, 0};
    for (uint32_t i = 0; i < 4 && codec && codec[i]; i++) bytes[i] = (uint8_t)codec[i];
    return bytes[0] | (bytes[1] << 8) | (bytes[2] << 16) | ((uint32_t)bytes[3] << 24);
}

void ORBIT_LoadConfig()
{
    ORBIT_FreeConfig();
    LOG_Printf("ORBIT: načítám konfiguraci zobrazení.\n");
    CFG_OBJECT* cfg = CFG_Load("Orbit.cfg");
    ORBIT_VIEW_CONFIG& v = g_orbitView;
    v.graphics = GetBool(cfg, "OrbitGraphics", 1);
    ReadCamera(cfg);
    v.drawInfoBar = GetBool(cfg, "Draw_info_bar", 1);
    v.drawEciAxes = GetBool(cfg, "Draw_ECI_axes", 1);
    v.drawEcfAxes = GetBool(cfg, "Draw_ECF_axes", 1);
    v.drawSun = GetBool(cfg, "Draw_Sun", 1);
    v.drawMoon = GetBool(cfg, "Draw_Moon", 1);
    v.drawStars = GetBool(cfg, "Draw_stars", 1);
    v.windowX = (int32_t)GetInt64(cfg, "OrbitWindow_X", -1000, 1000, 100);
    v.windowY = (int32_t)GetInt64(cfg, "OrbitWindow_Y", -1000, 1000, 80);
    v.windowDX = (uint16_t)GetInt64(cfg, "OrbitWindow_DX", 96, 1600, 800);
    v.windowDY = (uint16_t)GetInt64(cfg, "OrbitWindow_DY", 48, 1200, 600);
    v.titleBarDY = (uint16_t)GetInt64(cfg, "OrbitTitleBar_DY", 5, 100, 20);
    v.magfieldHeight = GetInt(cfg, "OrbitMagfield_H", 5000, 900000, 600000);
    v.startTimeGiven = CFG_GetTime(cfg, "StartTime", &v.startTime, 0);
    v.movieRecording = GetBool(cfg, "MovieRecording", 0);
    v.movieRecordingRunning = GetBool(cfg, "MovieRecordingRunning", 0);
    v.movieCodec = GetText(cfg, "MovieCodec", "DIB ");
    v.movieFilename = GetText(cfg, "MovieFilename", "Orbit.avi");
    v.movieFps = (uint8_t)GetInt(cfg, "MovieFPS", 1, 100, 10);
    v.movieDataRate = GetInt(cfg, "MovieDataRate", 100, 10000, 500);
    v.movieKeyFrameInterval = GetInt(cfg, "MovieKeyFrameInterval", 10, 100000, 5000);
    v.captureScreenshots = GetBool(cfg, "CaptureScreenshots", 0);
    v.captureInterval = GetInt(cfg, "CaptureInterval", 10, 100000, 3000);
    v.captureFilename = GetText(cfg, "CaptureFilename", "Orbit.jpg");
    v.captureQuality = GetInt(cfg, "CaptureQuality", 1, 1000, 100);
    v.textureEarth = GetText(cfg, "Texture_Earth", "Earth.bmp");
    v.textureSun = GetText(cfg, "Texture_Sun", "Sun.bmp");
    v.textureMoon = GetText(cfg, "Texture_Moon", "Moon.bmp");
    v.textureStar = GetText(cfg, "Texture_Star", "Star.bmp");
    CFG_Free(cfg);
}

void ORBIT_FreeConfig()
{
    ORBIT_VIEW_CONFIG& v = g_orbitView;
    FreeText(&v.movieCodec);
    FreeText(&v.movieFilename);
    FreeText(&v.captureFilename);
    FreeText(&v.textureEarth);
    FreeText(&v.textureSun);
    FreeText(&v.textureMoon);
    FreeText(&v.textureStar);
    v = ORBIT_VIEW_CONFIG{};
}
