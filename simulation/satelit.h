// SATELIT: the record of one simulated satellite, its ownership operations and
// the display switches the 3-D view toggles.
#pragma once
#include <cstdint>
#include "foundation/time.h"
#include "foundation/vecmath.h"
#include "models/kepler.h"
#include "models/sgp_tle.h"
#include "simulation/attitude.h"
#include "simulation/controllers.h"
#include "simulation/satelit_draw.h"

struct SWMODULE;
struct COIL;
struct MASSMODEL;
struct SURFMODEL;
struct RASTER_TRIANGLE_LIST;
struct DDITEM;
struct DRAWLIST_OBJECT;
struct SATWINDOW;

enum ORBIT_MODEL : uint32_t {
    ORBIT_MODEL_NONE = 0,
    ORBIT_MODEL_NEWTON = 1,
    ORBIT_MODEL_SIMPLE_KEPLER = 2,
    ORBIT_MODEL_ENHANCED_KEPLER = 3,
    ORBIT_MODEL_SGP0 = 4,
    ORBIT_MODEL_SGP4 = 5,
    ORBIT_MODEL_SDP4 = 6,
    ORBIT_MODEL_SGP8 = 7,
    ORBIT_MODEL_SDP8 = 8,
};

enum ATMO_MODEL_CODE : uint32_t { SAT_ATMO_UASA2000 = 1, SAT_ATMO_NRLMSISE00 = 2 };
enum SAT_FIELD_MODEL : uint32_t { SAT_FIELD_HOMOGENOUS = 1, SAT_FIELD_REAL = 2 };
enum SAT_GRAPHICS_MODEL : uint32_t {
    SAT_GRAPHICS_SPHERE = 1,
    SAT_GRAPHICS_SPHERESHADED = 2,
    SAT_GRAPHICS_SPHERETEXTURED = 3,
    SAT_GRAPHICS_SPHERESHADEDTEXTURED = 4,
    SAT_GRAPHICS_BILLBOARD = 5,
    SAT_GRAPHICS_USER = 6,
};

struct SAT_COLOR { uint8_t r, g, b; };

struct SAT_DISTANCE_BORDER {
    double distanceKm;
    SAT_COLOR color;
};

// The last projection of the body along one direction (the Sun's or the
// airflow's): the filled triangles kept for drawing (none in a run without a
// window), the plane axes u and w they are given in, the unit direction and
// the force (N, ECI); then what the torque between two measurements is worked
// out from: the torque per unit of pressure (N·m per N/m², ECI) of the last
// two measurements with their times, and the pressure of the last one.
struct SAT_PROJECTION_BLOCK {
    RASTER_TRIANGLE_LIST* triangles;
    VEC3 u;
    VEC3 w;
    VEC3 direction;
    VEC3 force;
    VEC3 torquePerPressure;
    VEC3 previousTorquePerPressure;
    TIME_MS measuredAt;
    TIME_MS previouslyMeasuredAt;
    double pressure;
    uint32_t measured;
};

// The orbit and environment at one time: a point of a satellite's grid of
// orbit steps, or what the attitude reads between them.
struct SAT_ORBIT_POINT {
    TIME_MS time;
    VEC3 position;       // km, ECI
    VEC3 velocity;       // km/s, ECI
    VEC3 fieldEci;       // nT
    double airDensity;   // kg/m^3
};

// The satellite between two grid points of its orbit steps: the cubic Hermite
// curve through their positions and velocities, and the straight lines
// between their fields and densities, in u = (t - start) / length, which runs
// from 0 at the first point to 1 at the second.
struct SAT_ORBIT_SPAN {
    TIME_MS start;
    double seconds;      // length, s
    VEC3 curve[4];       // position(u) = c0 + u (c1 + u (c2 + u c3)), km
    VEC3 field[2];       // fieldEci(u) = f0 + u f1, nT
    double density[2];   // airDensity(u) = d0 + u d1, kg/m^3
};

// A satellite's orbit and environment at one time, as every reader sees it.
struct SAT_STATE {
    TIME_MS time;
    VEC3 position;       // km, ECI
    VEC3 velocity;       // km/s, ECI
    double altitude;     // km above the 6378.135 km sphere
    double longitude;    // deg, -180..180
    double latitude;     // deg, geocentric
    VEC3 orbitAxes[3];   // x along the track, y across, z towards the Earth's centre
    MAT33 orbitMatrix;   // rows x, y, z: ECI into orbit-frame components
    VEC3 fieldEci;       // nT
    VEC3 fieldMag;       // nT, local geodetic north, east, down
    double airDensity;   // kg/m^3
    double dragPressure; // N/m^2
    VEC3 sunVector;      // km, ECI, from the Earth's centre
    double illumination; // % of the Sun's disc
};

constexpr uint32_t SAT_FIELD_HISTORY_SIZE = 100;
constexpr uint32_t SAT_ORBIT_HISTORY_CAPACITY = 400;
constexpr uint32_t SAT_MAX_DISTANCE_BORDERS = 8;

struct SATELIT {
    // What every 10 ms attitude step and module run reads or writes, kept
    // together at the head of the record, which starts on a cache line: with
    // many satellites each step then brings few lines of each satellite back in.
    SATELIT* next;
    SWMODULE* modules;
    COIL* coils;
    TIME_MS lastAttitudeTime;
    TIME_MS nextProjectionTime;
    double turnSinceProjection;   // rad the body has turned since the projections were measured
    uint32_t attitudePending;
    uint32_t coilDipoleStale;   // a coil's current has changed since the sum
    uint32_t projectionsSkipped;
    uint32_t gravityTorque;
    uint32_t magneticTorque;
    uint32_t bodyTestTorqueGiven;
    uint32_t eciTestTorqueGiven;
    uint32_t bdotGiven;
    uint32_t bcrossGiven;
    uint32_t solarTorque;
    uint32_t dragTorque;
    double energyDamping;
    // The orbit and environment between the last orbit step and the next one:
    // what the attitude reads at its own time.
    SAT_ORBIT_SPAN span;
    VEC3 fieldBody;       // nT, at the last attitude update
    VEC3 permanentMagnet;
    VEC3 residualDipole;
    VEC3 coilDipoleSum;
    // Torques and dipoles (ECI)
    VEC3 totalDipole;
    VEC3 gravityGradientTorque;
    VEC3 magneticTorqueVector;
    VEC3 solarTorqueVector;
    VEC3 dragTorqueVector;
    ATTITUDE_STATE attitude;
    VEC3 bodyTestTorque;    // read only when given
    VEC3 eciTestTorque;

    // Orbit definition and propagation. The configured state vectors (km,
    // km/s, ECI) hold at the start time; they start the NEWTON integration
    // and give the Kepler elements of a satellite defined by them.
    VEC3 initialPosition;
    VEC3 initialVelocity;
    uint32_t orbitModel;
    TIME_MS lastOrbitTime;
    // The grid points of the orbit steps around the clock: [0] at the last
    // orbit step, [1] one orbit period ahead of it.
    SAT_ORBIT_POINT orbitPoints[2];
    uint64_t startRealTime;
    uint32_t orbitPeriod;
    char* tleFileName;
    SGP_TLE_TEXT tleText;
    SGP_ELEMENTS elements;
    KEPLER_ORBIT kepler;          // configured elements, element time, derived values, dot mean motion
    uint32_t lightTimeAccuracy;
    uint32_t lightState;
    TIME_MS lightStateStart;
    uint32_t fieldModel;
    VEC3 homogeneousField;
    uint32_t atmosphereModel;

    // Attitude definition and state
    VEC3 centreOfMass;
    uint32_t attitudeMethod;
    QUAT initialAttitude;
    VEC3 initialAngularVelocity;
    BDOT_CONTROLLER bdot;
    BCROSS_CONTROLLER bcross;
    MASSMODEL* massModels;
    MASSMODEL* massModelInUse;
    SURFMODEL* surfaceModels;
    SURFMODEL* surfaceModelInUse;
    double meanReflectivity;
    double dragCoefficient;
    SAT_PROJECTION_BLOCK sunProjection;
    SAT_PROJECTION_BLOCK dragProjection;
    DDITEM* dataItems;

    // What the orbit steps keep from one step to the next: the light and
    // shadow periods, and the turn rate of the field over the current span.
    double lightDuration;
    double shadowDuration;
    double lightRatio;
    double fieldRate;
    double fieldPeriod;

    // The controllers' dipoles (ECI) and the propagators' working values
    VEC3 bdotDipole;
    VEC3 bcrossDipole;
    double keplerWork[2];
    VEC3 newtonVelocityChange;   // m/s since start
    VEC3 newtonStartVelocity;    // km/s

    // Identity and drawing definition
    char* name;
    SATWINDOW* infoWindow;
    uint32_t graphicsModel;
    double radius;
    double billboardSize[2];
    SAT_COLOR modelColor;
    char* textureFileName;
    int32_t texture;
    DRAWLIST_OBJECT* userModel;
    uint32_t drawTitleInfo;
    VEC3* drawingHistory;        // drawing copy of the orbit history buffer

    // Display switches
    uint32_t trackLine;
    SAT_COLOR trackColor;
    uint8_t distanceBorderCount;
    SAT_DISTANCE_BORDER distanceBorders[SAT_MAX_DISTANCE_BORDERS];
    uint32_t visibilityBorder;
    SAT_COLOR visibilityColor;
    uint32_t linearVelocity;
    uint32_t sunVector;
    SAT_COLOR sunVectorColor;
    uint32_t magVector;
    SAT_COLOR magVectorColor;
    uint32_t localEciAxes;
    uint32_t localMagAxes;
    uint32_t magVectorComponents;
    uint32_t localBodyAxes;
    uint32_t principalInertiaAxes;
    uint32_t localOrbitAxes;
    uint32_t rotationAxis;
    uint32_t angularVelocity;
    uint32_t drawGravityTorque;
    uint32_t drawSolarTorque;
    uint32_t drawSunProjection;
    double sunProjectionDistance;
    SAT_COLOR sunProjectionColor;
    uint32_t drawDragTorque;
    uint32_t drawDragProjection;
    double dragProjectionDistance;
    SAT_COLOR dragProjectionColor;
    uint32_t drawMagneticTorque;
    uint32_t drawMagneticDipole;
    uint32_t drawTotalTorque;
    SAT_COLOR extraColors[2];
    uint32_t infoWindowWanted;
    uint32_t fieldHistoryOn;

    // History rings
    uint16_t fieldHistoryCount;
    VEC3 lastStoredField;
    uint16_t fieldHistoryNewest;
    VEC3 fieldHistory[SAT_FIELD_HISTORY_SIZE];
    uint32_t orbitHistoryOn;
    double historySpacing;
    VEC3 lastHistoryPoint;
    uint32_t historyCapacity;
    uint32_t historyCount;
    uint32_t historyNextIndex;
    VEC3* historyBuffer;

    // Set when a propagated state was not finite, so it is reported once.
    uint32_t stateInvalidReported;
    // Orbit and environment steps made in this run.
    uint32_t orbitStepCount;

    // The orbit last read at a time between the grid points (GUI thread only):
    // a row reads a satellite's position once per column.
    mutable struct {
        TIME_MS time;
        VEC3 position, velocity;
        uint32_t valid;
    } orbitRead;
    // The state at the display clock, for the view and the cameras; written at
    // the end of every tick under the scene lock.
    SAT_STATE display;
    // What the 3-D view draws, copied at each frame's snapshot.
    SATELIT_DRAWING_COPY drawing;

};

uint32_t SATELIT_AllocHistory(SATELIT* sat);
void SATELIT_FreeHistory(SATELIT* sat);
void SATELIT_Free(SATELIT* sat);
void SATELIT_ToggleHistory(SATELIT* sat);
// The information window: opened at (500, 200) and shown at a later refresh;
// the info-window-wanted switch follows the window's existence.
uint32_t SATELIT_OpenInfoWindow(SATELIT* sat);
void SATELIT_CloseInfoWindow(SATELIT* sat);
void SATELIT_ToggleInfoWindow(SATELIT* sat);

void SATELIT_ToggleLinearVelocity(SATELIT* sat);
void SATELIT_ToggleRotationAxis(SATELIT* sat);
void SATELIT_ToggleTitleInfo(SATELIT* sat);
void SATELIT_ToggleTrackLine(SATELIT* sat);
void SATELIT_ToggleVisibilityBorder(SATELIT* sat);
void SATELIT_ToggleSunVector(SATELIT* sat);
void SATELIT_ToggleMagVector(SATELIT* sat);
void SATELIT_ToggleMagVectorComponents(SATELIT* sat);
void SATELIT_ToggleMagVectorHistory(SATELIT* sat);
void SATELIT_ToggleLocalEciAxes(SATELIT* sat);
void SATELIT_ToggleLocalMagAxes(SATELIT* sat);
void SATELIT_ToggleLocalBodyAxes(SATELIT* sat);
void SATELIT_ToggleLocalOrbitAxes(SATELIT* sat);
void SATELIT_ToggleAngularVelocity(SATELIT* sat);
void SATELIT_TogglePrincipalInertiaAxes(SATELIT* sat);
void SATELIT_ToggleGravityTorque(SATELIT* sat);
void SATELIT_ToggleSolarTorque(SATELIT* sat);
void SATELIT_ToggleMagneticTorque(SATELIT* sat);
void SATELIT_ToggleTotalTorque(SATELIT* sat);
void SATELIT_ToggleMagneticDipole(SATELIT* sat);

// Start and step (orbit and environment).
uint32_t SATELIT_Start(SATELIT* sat);
// The orbit step at the clock: the grid moves on to the clock when it has
// reached the next grid point (or passed it: the grid then restarts at the
// clock), and what the steps keep is updated at the new last grid point.
void SATELIT_Step(SATELIT* sat);
// NEWTON propagation from a grid point to t.
void SATELIT_NewtonStep(SATELIT* sat, const SAT_ORBIT_POINT* from, TIME_MS t, VEC3* position, VEC3* velocity);
void SATELIT_PointMassGravity(const VEC3* position, const VEC3* body, double mass, VEC3* acceleration);
// A third body's pull on the satellite less its pull on the Earth (m/s^2).
void SATELIT_ThirdBodyAcceleration(const VEC3* position, const VEC3* body, double mass, VEC3* acceleration);
// An analytic orbit model (the Kepler models, SGP0 to SDP8) at t; 0 for the
// NEWTON integration and other codes, which need the state before.
uint32_t SATELIT_EvaluateModel(const SATELIT* sat, TIME_MS t, VEC3* position, VEC3* velocity);
uint32_t SATELIT_IsFiniteState(const VEC3* position, const VEC3* velocity);
// The field (nT, ECI) and the air density (kg/m^3) at a point of the orbit at
// time t, from the satellite's field and atmosphere models.
void SATELIT_EnvironmentAtPoint(const SATELIT* sat, SAT_ORBIT_POINT* point);
// Light and shadow periods from the illumination at the clock.
void SATELIT_UpdateLightDarkTimer(SATELIT* sat, double illumination);

// The state between grid points (simulation/satelit_state.cpp). Pure
// functions of the grid and t: reading never changes the satellite.
void SATELIT_SetSpan(SATELIT* sat);
// The attitude's view: the curve and the straight lines of the span at t.
void SATELIT_EnvironmentAt(const SAT_ORBIT_SPAN* span, TIME_MS t, SAT_ORBIT_POINT* out);
// The readers' view of the orbit: an analytic orbit model evaluated at t
// itself; the NEWTON integration (and an orbit that gives no finite state)
// from the curve of the span. GUI thread.
void SATELIT_OrbitAt(const SATELIT* sat, TIME_MS t, VEC3* position, VEC3* velocity);
// The orbit as readers see it and the environment of the span, at t. GUI thread.
void SATELIT_ReadAt(const SATELIT* sat, TIME_MS t, SAT_ORBIT_POINT* out);
// Everything a reader sees of the satellite at t. GUI thread.
void SATELIT_StateAt(const SATELIT* sat, TIME_MS t, SAT_STATE* out);
// Geocentric longitude, latitude (deg) and altitude above the 6378.135 km
// sphere (km) of an ECI position at the Earth rotation angle theta (deg).
void SATELIT_Geocentric(const VEC3* position, double theta, double* longitude, double* latitude, double* altitude);
// The orbit frame of a position and velocity.
void SATELIT_OrbitFrame(const VEC3* position, const VEC3* velocity, VEC3 axes[3], MAT33* matrix);
// The rotation that turns the local geodetic north-east-down frame at an ECI
// position into ECI, at the Earth rotation angle theta (deg).
void SATELIT_NedToEci(const VEC3* position, double theta, MAT33* m);
// The same from the geodetic latitude and the longitude (deg) already known.
void SATELIT_NedToEciAt(double latitude, double longitude, double theta, MAT33* m);
// An ECI field (nT) in that frame's north, east and down components.
VEC3 SATELIT_FieldInNed(const VEC3* position, double theta, const VEC3* fieldEci);
// The illumination (% of the Sun's disc) at a position for a Sun vector (km, ECI).
double SATELIT_Illumination(const VEC3* position, const VEC3* sunVector);
double SATELIT_DragPressure(const SATELIT* sat, double airDensity, const VEC3* velocity);
// N/m^2 in full sunlight: the solar constant over c, times (1 + mean reflectivity).
double SATELIT_SolarPressure(const SATELIT* sat);

// The attitude update owed after an orbit step or a module run.
void SATELIT_UpdateAttitude(SATELIT* sat);
// The solar and drag projections of the surface model turned by r (body ->
// ECI) and their torques, in the environment at the clock.
void SATELIT_ComputeSolarTorque(SATELIT* sat, const SAT_ORBIT_POINT* env, const MAT33* r);
void SATELIT_ComputeDragTorque(SATELIT* sat, const SAT_ORBIT_POINT* env, const MAT33* r);
// A frame across the direction d for drawing a projection: a, b across d, c = -d.
VEC3 SATELIT_ProjectionTorqueAt(const SAT_PROJECTION_BLOCK* block, TIME_MS t);
void SATELIT_PerpendicularBasis(const VEC3* d, VEC3* a, VEC3* b, VEC3* c);
void SATELIT_MarkAttitudeDirty(SATELIT* sat);
// The satellite on whose behalf on-board modules and providers run.
void SATELIT_SetCurrent(SATELIT* sat);
SATELIT* SATELIT_GetCurrent();

// On-board modules and the providers of the field variables they read.
struct SW_VALUE;
struct SW_GLOBVAR;
SWMODULE* SATELIT_FindModule(SATELIT* sat, const char* name);
SW_VALUE* SATELIT_FindModuleVariable(SATELIT* sat, const char* moduleName, const char* outputName);
void SATELIT_RegisterFieldVariables();
void SATELIT_GvMagBodyNtL3(SW_GLOBVAR* variable);
void SATELIT_GvMagBody100nTTrunc(SW_GLOBVAR* variable);
void SATELIT_GvMagBody100nTTruncNoise(SW_GLOBVAR* variable);
void SATELIT_GvMagBody100nTRound(SW_GLOBVAR* variable);
void SATELIT_GvMagBody100nTRoundNoise(SW_GLOBVAR* variable);
void SATELIT_GvMagBody10nTTrunc(SW_GLOBVAR* variable);
void SATELIT_GvMagBody10nTTruncNoise(SW_GLOBVAR* variable);
void SATELIT_GvMagBody10nTRound(SW_GLOBVAR* variable);
void SATELIT_GvMagBody10nTRoundNoise(SW_GLOBVAR* variable);
void SATELIT_GvMagBody2nTTrunc(SW_GLOBVAR* variable);
void SATELIT_GvMagBody2nTTruncNoise(SW_GLOBVAR* variable);
void SATELIT_GvMagBody2nTRound(SW_GLOBVAR* variable);
void SATELIT_GvMagBody2nTRoundNoise(SW_GLOBVAR* variable);
void SATELIT_GvMagOrbitUnit(SW_GLOBVAR* variable);

// Definition in "Objects.cfg".
uint32_t SAT_SetDefaults(SATELIT* sat);
uint32_t SAT_ParseKeyword(SATELIT* sat);
uint32_t SAT_Validate(SATELIT* sat);
