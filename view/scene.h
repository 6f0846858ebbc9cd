// ORBIT scene: the 3-D window of a run with its fonts, textures and quadric,
// the drawing copies of the Sun, the Moon and the Earth's rotation, and the
// two callbacks that snapshot and draw a frame.
#pragma once
#include <cstdint>
#include "foundation/vecmath.h"
#include "view/scene_info.h"

struct OGW_WINDOW;
struct SATELIT;
struct GLUquadric;

enum ORBIT_FIELD_DISPLAY_MODE : uint32_t {
    ORBIT_FIELD_DISPLAY_OFF = 0,
    ORBIT_FIELD_DISPLAY_VECTORS = 1,
    ORBIT_FIELD_DISPLAY_LINES = 2,
};

struct ORBIT_SCENE {
    OGW_WINDOW* window;             // none while graphics are off
    int32_t labelFont;
    int32_t barFont;
    int32_t starFont;
    int32_t textureEarth;
    int32_t textureSun;
    int32_t textureMoon;
    int32_t textureStar;
    GLUquadric* quadric;
    SATELIT* currentSatellite;
    uint32_t fieldDisplayMode;
    // Drawing copies, written by the snapshot only.
    VEC3 sunVector;
    VEC3 moonVector;
    double earthAngle;
    // Info bar.
    ORBIT_SPEED_METER speed;
    TIME_MS clock;                  // the simulation clock at the snapshot
    uint64_t realTotal;
    uint32_t frame;
    double frameRate;
    int32_t cameraTextX;            // pixels from the left
    // The current satellite's title bar values at the snapshot.
    uint32_t titleValid;
    char titleName[64];
    double titleLongitude, titleLatitude, titleAltitude, titleEnergy;
    // The Sun's flicker has its own generator, so drawing leaves the
    // simulation's random numbers alone.
    uint32_t flickerState;
};

extern ORBIT_SCENE g_scene;

void ORBIT_SnapshotState(OGW_WINDOW* window);
void ORBIT_DrawScene(OGW_WINDOW* window);
void ORBIT_LoadCameraMatrix();
void ORBIT_LoadEarthMatrix();
void ORBIT_DrawEarth();
void ORBIT_DrawSun();
void ORBIT_DrawMoon();
void ORBIT_DrawMagField();
void ORBIT_DrawSatellites();
void ORBIT_DrawGroundStations();
void ORBIT_BeginOverlay();
void ORBIT_DrawTitleBar();
void ORBIT_DrawInfoBar();
void ORBIT_DrawStarField();
void ORBIT_RequestRedraw();
