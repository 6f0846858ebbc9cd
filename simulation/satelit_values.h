// SAT value forms of the satellite block; each reader writes its own message on failure
// where the form has one, and returns 1 or 0.
#pragma once
#include <cstdint>
#include "foundation/vecmath.h"

// VECTOR_ECI(x, y, z), VECTOR(x, y, z) or POLAR_ECEF(lon, lat, r).
uint32_t SAT_ReadVector(VEC3* out);
// PER_SECOND(x) ... PER_DAY(x), as a value per second (no message).
uint32_t SAT_ReadRatePerTime(double* perSecond);
// RAD_/REV_/DEG_PER_SECOND/MINUTE/HOUR/DAY(x), in rad/s (no message).
uint32_t SAT_ReadAngularRate(double* radPerSecond);
// JOULE_PER_DEG(x) or JOULE_PER_RAD(x), in J/rad (no message).
uint32_t SAT_ReadDamping(double* joulePerRad);
// One of the five attitude forms, as a unit quaternion.
uint32_t SAT_ReadAttitude(QUAT* q);
