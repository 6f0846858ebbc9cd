// SATELIT accessors: how the data output, the camera, the information window
// and the on-board modules read a satellite.
#pragma once
#include <cstdint>
#include "foundation/time.h"
#include "foundation/vecmath.h"

struct SATELIT;
struct COIL;

// The named vectors of a satellite.
enum SATELIT_VECTOR_ID : uint32_t {
    SATELIT_VECTOR_NONE = 0,
    SATELIT_VECTOR_POSITION_ECI = 1,        // km
    SATELIT_VECTOR_VELOCITY_ECI = 2,        // km/s
    SATELIT_VECTOR_FIELD_MAG = 3,           // nT, north, east, down
    SATELIT_VECTOR_FIELD_ECI = 4,           // nT
    SATELIT_VECTOR_FIELD_BODY = 5,          // nT
    SATELIT_VECTOR_ANGULAR_VELOCITY_BODY = 6,  // rad/s, the world rate in body axes
};

// The id of a vector name, compared without regard to case; 0 when unknown.
uint32_t SATELIT_FindVectorId(const char* name);
// The vector of an id; any other id gives the zero vector.
void SATELIT_GetVector(const SATELIT* sat, uint32_t id, VEC3* out);

// The satellite's coil of a name compared without regard to case, or null.
COIL* SATELIT_FindCoil(SATELIT* sat, const char* name);

// Each getter writes one value for the simulation clock and does nothing for a
// null satellite. The orbit and environment are those at the clock itself
// (between the orbit steps, from the curve through the grid points around
// it); the attitude and the field in the body frame are those of the last
// attitude update, at most 10 ms old.
void SATELIT_GetPositionEci(const SATELIT* sat, VEC3* out);
void SATELIT_GetVelocityEci(const SATELIT* sat, VEC3* out);
void SATELIT_GetLongitude(const SATELIT* sat, double* out);
void SATELIT_GetAltitude(const SATELIT* sat, double* out);
void SATELIT_GetLatitude(const SATELIT* sat, double* out);
void SATELIT_GetFieldMagnitude(const SATELIT* sat, double* out);
void SATELIT_GetFieldRotationRate(const SATELIT* sat, double* out);
void SATELIT_GetFieldRotationPeriod(const SATELIT* sat, double* out);
void SATELIT_GetAngularSpeed(const SATELIT* sat, double* out);
// 2 pi / |w| seconds; 1e100 for a satellite that does not turn.
void SATELIT_GetRotationPeriod(const SATELIT* sat, double* out);
void SATELIT_GetIllumination(const SATELIT* sat, double* out);
void SATELIT_GetAirDensity(const SATELIT* sat, double* out);
void SATELIT_GetDragPressure(const SATELIT* sat, double* out);
void SATELIT_GetSolarPressure(const SATELIT* sat, double* out);
void SATELIT_GetLightRatio(const SATELIT* sat, double* out);
void SATELIT_GetAttitudeQuaternion(const SATELIT* sat, QUAT* out);
