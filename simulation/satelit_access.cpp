// SATELIT accessors: the named vector table and the getters of single values.
#include "simulation/satelit_access.h"
#include <array>
#include <cmath>
#include <strings.h>
#include "foundation/constants.h"
#include "models/ephemeris.h"
#include "simulation/coil.h"
#include "simulation/satelit.h"

namespace {

struct VECTOR_NAME {
    uint32_t id;
    const char* name;
};

constexpr std::array<VECTOR_NAME, 6> kVectorNames{{
    {SATELIT_VECTOR_POSITION_ECI, "PositionVector_ECI_km"},
    {SATELIT_VECTOR_VELOCITY_ECI, "VelocityVector_ECI_km"},
    {SATELIT_VECTOR_FIELD_MAG, "MagneticField_MAG_nT"},
    {SATELIT_VECTOR_FIELD_ECI, "MagneticField_ECI_nT"},
    {SATELIT_VECTOR_FIELD_BODY, "MagneticField_BODY_nT"},
    {SATELIT_VECTOR_ANGULAR_VELOCITY_BODY, "AngularVelocityBodyWorld_BODY_rads"},
}};

constexpr double kNoRotationPeriod = 1e100;
constexpr double kZeroLength = 1e-19;

}  // namespace

uint32_t SATELIT_FindVectorId(const char* name)
{
    if (!name) return SATELIT_VECTOR_NONE;
    for (const VECTOR_NAME& entry : kVectorNames)
        if (strcasecmp(entry.name, name) == 0) return entry.id;
    return SATELIT_VECTOR_NONE;
}

namespace {

// The orbit and environment at the clock.
SAT_ORBIT_POINT EnvironmentNow(const SATELIT* sat)
{
    SAT_ORBIT_POINT env;
    SATELIT_ReadAt(sat, g_simClock.clock, &env);
    return env;
}

// The field in the local north-east-down frame at the clock.
VEC3 FieldMagNow(const SATELIT* sat)
{
    SAT_ORBIT_POINT env = EnvironmentNow(sat);
    return SATELIT_FieldInNed(&env.position, ORBIT_EarthRotationAngleAt(g_simClock.clock), &env.fieldEci);
}

struct GEOCENTRIC {
    double longitude, latitude, altitude;
};

GEOCENTRIC GeocentricNow(const SATELIT* sat)
{
    GEOCENTRIC g;
    VEC3 p = EnvironmentNow(sat).position;
    SATELIT_Geocentric(&p, ORBIT_EarthRotationAngleAt(g_simClock.clock), &g.longitude, &g.latitude, &g.altitude);
    return g;
}

}  // namespace

void SATELIT_GetVector(const SATELIT* sat, uint32_t id, VEC3* out)
{
    VEC_Zero(out);
    if (!sat) return;
    switch (id) {
    case SATELIT_VECTOR_POSITION_ECI: *out = EnvironmentNow(sat).position; break;
    case SATELIT_VECTOR_VELOCITY_ECI: *out = EnvironmentNow(sat).velocity; break;
    case SATELIT_VECTOR_FIELD_MAG: *out = FieldMagNow(sat); break;
    case SATELIT_VECTOR_FIELD_ECI: *out = EnvironmentNow(sat).fieldEci; break;
    case SATELIT_VECTOR_FIELD_BODY: *out = sat->fieldBody; break;
    case SATELIT_VECTOR_ANGULAR_VELOCITY_BODY:
        MAT_MulVectorTo(&sat->attitude.rotationT, &sat->attitude.angularVelocity, out);
        break;
    default: break;
    }
}

COIL* SATELIT_FindCoil(SATELIT* sat, const char* name)
{
    if (!sat || !name) return nullptr;
    for (COIL* coil = sat->coils; coil; coil = coil->next)
        if (coil->name && strcasecmp(coil->name, name) == 0) return coil;
    return nullptr;
}

void SATELIT_GetPositionEci(const SATELIT* sat, VEC3* out) { if (sat) *out = EnvironmentNow(sat).position; }
void SATELIT_GetVelocityEci(const SATELIT* sat, VEC3* out) { if (sat) *out = EnvironmentNow(sat).velocity; }
void SATELIT_GetLongitude(const SATELIT* sat, double* out) { if (sat) *out = GeocentricNow(sat).longitude; }
void SATELIT_GetAltitude(const SATELIT* sat, double* out) { if (sat) *out = GeocentricNow(sat).altitude; }
void SATELIT_GetLatitude(const SATELIT* sat, double* out) { if (sat) *out = GeocentricNow(sat).latitude; }

void SATELIT_GetFieldMagnitude(const SATELIT* sat, double* out)
{
    if (!sat) return;
    VEC3 field = EnvironmentNow(sat).fieldEci;
    *out = VEC_Length(&field);
}

void SATELIT_GetFieldRotationRate(const SATELIT* sat, double* out) { if (sat) *out = sat->fieldRate; }
void SATELIT_GetFieldRotationPeriod(const SATELIT* sat, double* out) { if (sat) *out = sat->fieldPeriod; }
void SATELIT_GetIllumination(const SATELIT* sat, double* out)
{
    if (!sat) return;
    VEC3 position = EnvironmentNow(sat).position, sun;
    ORBIT_SunDirectionAt(g_simClock.clock, &sun);
    *out = SATELIT_Illumination(&position, &sun);
}

void SATELIT_GetAirDensity(const SATELIT* sat, double* out) { if (sat) *out = EnvironmentNow(sat).airDensity; }

void SATELIT_GetDragPressure(const SATELIT* sat, double* out)
{
    if (!sat) return;
    SAT_ORBIT_POINT env = EnvironmentNow(sat);
    *out = SATELIT_DragPressure(sat, env.airDensity, &env.velocity);
}

void SATELIT_GetSolarPressure(const SATELIT* sat, double* out) { if (sat) *out = SATELIT_SolarPressure(sat); }
void SATELIT_GetLightRatio(const SATELIT* sat, double* out) { if (sat) *out = sat->lightRatio; }
void SATELIT_GetAttitudeQuaternion(const SATELIT* sat, QUAT* out) { if (sat) ATTITUDE_GetQuaternion(&sat->attitude, out); }

void SATELIT_GetAngularSpeed(const SATELIT* sat, double* out)
{
    if (sat) *out = VEC_Length(&sat->attitude.angularVelocity);
}

void SATELIT_GetRotationPeriod(const SATELIT* sat, double* out)
{
    if (!sat) return;
    double speed = VEC_Length(&sat->attitude.angularVelocity);
    *out = speed <= kZeroLength ? kNoRotationPeriod : CONST_TWO_PI / speed;
}
