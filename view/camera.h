// ORBIT camera: the seven camera modes of the 3-D view, the tracking that
// moves the camera with the simulation, and the view commands of the keyboard
// and the menu. Every camera value goes to the 3-D window's pending camera.
#pragma once
#include <cstdint>
#include "foundation/vecmath.h"

struct OGW_WINDOW;

constexpr double ORBIT_EARTH_RADIUS_UNITS = 63.78135;

// What the camera remembers to follow its mode.
struct ORBIT_CAMERA_TRACK {
    double lastEarthAngle;       // degrees
    VEC3 lastSun;                // km
    VEC3 previousPosition;       // km
    VEC3 lastVelocity;           // km/s
    double lastSpeed;
    QUAT lastAttitude;
};

extern ORBIT_CAMERA_TRACK g_cameraTrack;

uint32_t ORBIT_IsSatelliteCamera(uint32_t mode);
uint32_t ORBIT_IsOutsideEarth(const VEC3* point);
void ORBIT_SetupCamera(uint32_t reset);
void ORBIT_SetCameraMode(uint32_t mode);
void ORBIT_NextCameraMode();
void ORBIT_UpdateCamera();
// One view command: a key (keyFlag 1, virtual-key code) or a character
// (keyFlag 0). A null shift or control is read from the keyboard.
void ORBIT_KeyCommand(OGW_WINDOW* window, uint32_t keyFlag, uint32_t code, const uint32_t* shift,
                      const uint32_t* control);
void ORBIT_RotateCamera(OGW_WINDOW* window, const QUAT* q);

void ORBIT_CmdZoomIn(uint32_t fast);
void ORBIT_CmdZoomOut(uint32_t fast);
void ORBIT_CmdTurnLeft(uint32_t fast);
void ORBIT_CmdTurnRight(uint32_t fast);
void ORBIT_CmdTurnUp(uint32_t fast);
void ORBIT_CmdTurnDown(uint32_t fast);
void ORBIT_CmdTiltLeft(uint32_t fast);
void ORBIT_CmdTiltRight(uint32_t fast);
void ORBIT_CmdCameraHome();
void ORBIT_CmdCycleMagFieldDisplay();
void ORBIT_CmdNextSatellite();
void ORBIT_CmdMagFieldVectors();
void ORBIT_CmdMagFieldLines();
// Off, vectors or lines (ORBIT_FIELD_DISPLAY_MODE); the field is computed the first time it shows.
void ORBIT_SetFieldDisplayMode(uint32_t mode);
