// ORBIT view settings: "Orbit.cfg", read at every run start, with the switches
// of the scene, the window geometry, the movie and screenshot settings and the
// texture files.
#pragma once
#include <cstdint>
#include "foundation/time.h"

enum ORBIT_CAMERA_MODE : uint32_t {
    ORBIT_CAMERA_ECI_EARTH = 1,
    ORBIT_CAMERA_ECEF_EARTH = 2,
    ORBIT_CAMERA_SUN = 3,
    ORBIT_CAMERA_SATELIT_ORBIT = 4,
    ORBIT_CAMERA_SATELIT_INERTIAL = 5,
    ORBIT_CAMERA_SATELIT_BODY = 6,
    ORBIT_CAMERA_FREE = 7,
};

struct ORBIT_VIEW_CONFIG {
    uint32_t graphics;
    uint32_t defaultCamera;
    uint32_t drawInfoBar;
    uint32_t drawEciAxes;
    uint32_t drawEcfAxes;
    uint32_t drawSun;
    uint32_t drawMoon;
    uint32_t drawStars;
    int32_t windowX;
    int32_t windowY;
    uint16_t windowDX;
    uint16_t windowDY;
    uint16_t titleBarDY;
    uint32_t magfieldHeight;        // metres above the surface
    uint32_t startTimeGiven;
    TIME_MS startTime;
    uint32_t movieRecording;
    uint32_t movieRecordingRunning;
    char* movieCodec;
    char* movieFilename;
    uint8_t movieFps;
    uint32_t movieDataRate;
    uint32_t movieKeyFrameInterval;
    uint32_t captureScreenshots;
    uint32_t captureInterval;
    char* captureFilename;
    uint32_t captureQuality;
    char* textureEarth;
    char* textureSun;
    char* textureMoon;
    char* textureStar;
};

extern ORBIT_VIEW_CONFIG g_orbitView;

// Reads "Orbit.cfg"; a missing file or a bad value leaves the default. Never fails.
void ORBIT_LoadConfig();
// Frees the copied texts and clears every setting.
void ORBIT_FreeConfig();
// The mode of a camera name of "OrbitDefaultCamera" (blanks and quotes
// removed, any case); 0 when the name is none of the seven.
uint32_t ORBIT_CameraModeFromName(const char* name);
// The four-character code of a codec name: its bytes padded with zero bytes.
uint32_t ORBIT_FourCC(const char* codec);
