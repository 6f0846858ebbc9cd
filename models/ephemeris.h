// ORBIT ephemeris: the Earth's rotation angle, Greenwich sidereal time and the
// positions of the Sun and the Moon at the simulation clock, in the inertial
// frame (x towards the vernal equinox, z towards the north pole), km.
#pragma once
#include "foundation/time.h"
#include "foundation/vecmath.h"

// Enter and leave the scene lock; the run control installs them so that the
// Moon vector is written under the lock the render thread's snapshot takes.
typedef void (*ORBIT_LOCK_HOOK)();
void ORBIT_SetSceneLockHooks(ORBIT_LOCK_HOOK enter, ORBIT_LOCK_HOOK leave);

// Run start: the obliquity quaternion, the reference time (the March equinox
// of 2005) and the Earth's rotation angle at it.
void ORBIT_InitEphemeris();

double ORBIT_GreenwichSiderealTime(TIME_MS t);   // hours in [0, 24)
double ORBIT_EarthRotationAngle();               // degrees, (-360, 360)
void ORBIT_SunDirection(VEC3* out);              // km
void ORBIT_MoonPosition();                       // stores the Moon vector

// The same for any time t: pure functions of t (after the run start's
// constants), so that whoever reads them gets the value at its own time.
double ORBIT_EarthRotationAngleAt(TIME_MS t);
void ORBIT_SunDirectionAt(TIME_MS t, VEC3* out);
void ORBIT_MoonAt(TIME_MS t, VEC3* out);

// The last stored Moon vector (km); readers on other threads hold the scene lock.
void ORBIT_GetMoonVector(VEC3* out);
