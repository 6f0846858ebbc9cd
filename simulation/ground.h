// GROUND: ground stations read from "Ground.cfg", fixed points on a spherical
// rotating Earth that observe the first satellite of the list.
#pragma once
#include <cstddef>
#include <cstdint>
#include "foundation/constants.h"
#include "foundation/vecmath.h"

struct SATELIT;
struct OGW_WINDOW;

struct GROUND_COLOR {
    uint8_t r, g, b;
};

// What one station sees of one satellite.
struct GROUND_OBSERVATION {
    double azimuth;      // deg from north through east
    double elevation;    // deg
    double distance;     // km
    double rangeRate;    // m/s, positive while the satellite approaches
    uint32_t visible;    // 1 above the horizon
    VEC3 horizontal;     // unit, toward the satellite along the local horizontal
    VEC3 north;          // unit, local north
};

struct GROUND_STATION {
    char* name;
    double longitude;                 // deg, east positive
    double latitude;                  // deg
    double antennaAngle;              // deg
    double altitudeDrawCorrection;    // km added to the drawn radius
    uint32_t drawObserverLine;
    GROUND_COLOR observerLineColor;
    uint32_t drawTransmitterCone;
    GROUND_COLOR transmitterConeColor;
    uint32_t drawGroundAxes;
    VEC3 position;                    // km, ECI, at the last update
    SATELIT* satellite;               // the observed satellite, or null
    VEC3 satellitePosition;           // km, ECI, at the last update
    double azimuth;
    double elevation;
    double distance;
    double rangeRate;
    uint32_t visible;
    VEC3 horizontal;
    VEC3 north;
    // Drawing copies, written by the snapshot.
    VEC3 drawnPosition;
    SATELIT* drawnSatellite;
    VEC3 drawnSatellitePosition;
    double drawnAzimuth;
    double drawnElevation;
    double drawnDistance;
    double drawnRangeRate;
    uint32_t drawnVisible;
    VEC3 drawnHorizontal;
    VEC3 drawnNorth;
    GROUND_STATION* next;
};

constexpr uint32_t GROUND_UPDATE_PERIOD = 20000;
constexpr double GROUND_EARTH_RADIUS = CONST_EARTH_RADIUS_KM;
constexpr size_t GROUND_LABEL_SIZE = 300;

void GROUND_Init();
// Reads "Ground.cfg"; a missing file leaves the list empty and succeeds.
uint32_t GROUND_Load();
uint32_t GROUND_LoadStation();
void GROUND_Update();
// One observation; the station's own record is left as it is.
void GROUND_ObserveSatellite(const GROUND_STATION* station, const SATELIT* sat, double* azimuth,
                             double* elevation, double* distance, double* rangeRate, uint32_t* visible);
// The same with the horizontal direction and north of the observation.
void GROUND_Observe(const VEC3* stationPosition, const SATELIT* sat, GROUND_OBSERVATION* out);
// The ECI position of a point on the sphere at a sidereal angle (deg).
void GROUND_PositionAt(double longitude, double latitude, double siderealAngle, VEC3* out);
uint32_t GROUND_GetUpdatePeriod();
GROUND_STATION* GROUND_FindStation(const char* name);
GROUND_STATION* GROUND_GetFirst();
void GROUND_SnapshotForDrawing();
// The label the view draws beside a station, from its drawing copies.
void GROUND_FormatLabel(const GROUND_STATION* station, char* text, size_t size);
// Draws every station from its drawing copies: render thread, inside the
// scene's camera matrix (scene units), with the window's context current.
void GROUND_Draw(OGW_WINDOW* window);
void GROUND_Done();
void GROUND_FreeList(GROUND_STATION* first);
void GROUND_FreeAll();
