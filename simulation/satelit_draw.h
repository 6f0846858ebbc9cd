// SATELIT drawing: the drawing copy of a satellite's state, filled by the
// render thread's snapshot while the simulation is held off, and the geometry
// that the satellite drawing derives from it.
#pragma once
#include <cstdint>
#include "foundation/vecmath.h"

struct SATELIT;
struct OGW_WINDOW;

constexpr uint32_t SATELIT_DRAW_FIELD_HISTORY = 100;
constexpr uint32_t SATELIT_BORDER_MAX_POINTS = 100;

struct SATELIT_DRAWING_COPY {
    VEC3 position;              // km, ECI
    VEC3 velocity;              // km/s, ECI
    const VEC3* history;        // the satellite's drawing history buffer, or null
    uint32_t historyCount;      // points in it
    uint32_t historyNextIndex;
    double longitude, latitude, altitude, illumination;
    VEC3 fieldEci;              // nT
    VEC3 fieldMag;              // nT, local north-east-down
    VEC3 fieldHistory[SATELIT_DRAW_FIELD_HISTORY];   // newest first
    uint16_t fieldHistoryCount;
    MAT33 rotation;             // body -> ECI
    MAT33 principalAxes;        // columns
    double principalMoments[3];
    VEC3 centreOfMass;          // body
    VEC3 angularVelocity;       // rad/s
    VEC3 dipoleSum;
    VEC3 gravityTorque;
    VEC3 magneticTorque;
    VEC3 solarTorque;
    VEC3 sunProjectionDirection;
    VEC3 dragTorque;
    VEC3 dragProjectionDirection;
    VEC3 totalTorque;
    // Read by the drawing in the same frame as the rest, so they are copied too.
    VEC3 orbitAxes[3];
    VEC3 sunVector;             // km, ECI, from the Earth's centre
    double energy;              // rotational kinetic energy
};

// Render thread, inside the window library's lock and the scene lock.
void SATELIT_SnapshotForDrawing(SATELIT* sat);
void SATELIT_Draw(SATELIT* sat, OGW_WINDOW* window);
void SATS_SnapshotAll(OGW_WINDOW* window);
void SATS_DrawAll(OGW_WINDOW* window);
// The module state of the satellite drawing: scale, label font and quadrics.
void SATELIT_InitDrawing();
void SATELIT_DoneDrawing();

// A tick across an axis at value x axis x scale, 2 x half long, with its label.
void SATELIT_DrawScaleTick(double value, const char* label, double scale, double half, const VEC3& axis,
                           const VEC3& across);
// The satellite's data items in its body frame.
void SATELIT_DrawDataItems(SATELIT* sat, double s, int32_t font);

// Length of the angular-velocity arrow for |w| rad/s in size units s.
double SATELIT_AngularVelocityArrowLength(double w, double s);
// Horizon distance (km) seen from an altitude h km.
double SATELIT_HorizonDistance(double h);
// Angle at the Earth's centre between the point under the satellite and the
// circle at slant distance d (km) from altitude h; 0 when no circle is drawn
// (d below h - 10 km).
uint32_t SATELIT_BorderAngle(double d, double h, double* theta);
// The points (km, ECI) of that circle, 30, 50 or 100 of them; 0 when none.
uint32_t SATELIT_BorderPoints(const VEC3* position, double d, double h, VEC3 points[SATELIT_BORDER_MAX_POINTS]);
// The local north-east-down axes at a position: x north across the
// position, y east, z towards the Earth's centre.
void SATELIT_LocalFieldAxes(const VEC3* position, VEC3 axes[3]);
