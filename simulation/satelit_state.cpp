// SATELIT: the satellite between the grid points of its orbit steps. Every
// reader, the attitude, data output, the on-board sensors and the view, gets
// the orbit and environment for its own time: the position and velocity of
// the orbit model at that time (for the attitude, and for the NEWTON
// integration, from the cubic Hermite curve through the two grid points
// around it), the field and the air density on straight lines between the
// grid points, and the Earth's rotation and the Sun computed for that time.
// Reading changes nothing that is simulated.
#include <cmath>
#include "foundation/constants.h"
#include "models/ephemeris.h"
#include "models/kepler.h"
#include "models/magfield.h"
#include "simulation/satelit.h"

namespace {

VEC3 Sum(const VEC3& a, const VEC3& b) { return VEC3{a.x + b.x, a.y + b.y, a.z + b.z}; }
VEC3 Diff(const VEC3& a, const VEC3& b) { return VEC3{a.x - b.x, a.y - b.y, a.z - b.z}; }
VEC3 Scaled(const VEC3& a, double k) { return VEC3{a.x * k, a.y * k, a.z * k}; }

// a + u b, the form every interpolation here is evaluated in.
VEC3 Along(const VEC3& a, const VEC3& b, double u) { return VEC3{a.x + u * b.x, a.y + u * b.y, a.z + u * b.z}; }

// The fraction of the span at t; a span of no length stays at its start.
double SpanFraction(const SAT_ORBIT_SPAN* span, TIME_MS t)
{
    if (!(span->seconds > 0.0)) return 0.0;
    return static_cast<double>(t - span->start) / (span->seconds * 1000.0);
}

}  // namespace

// Hermite basis in power form: with h the span length, v0 h and v1 h are the
// end tangents, and the curve meets both points with both velocities.
void SATELIT_SetSpan(SATELIT* sat)
{
    const SAT_ORBIT_POINT& a = sat->orbitPoints[0];
    const SAT_ORBIT_POINT& b = sat->orbitPoints[1];
    SAT_ORBIT_SPAN& span = sat->span;
    span.start = a.time;
    span.seconds = static_cast<double>(b.time - a.time) / 1000.0;
    double h = span.seconds;
    VEC3 t0 = Scaled(a.velocity, h), t1 = Scaled(b.velocity, h);
    VEC3 chord = Diff(b.position, a.position);
    span.curve[0] = a.position;
    span.curve[1] = t0;
    span.curve[2] = Diff(Diff(Scaled(chord, 3.0), Scaled(t0, 2.0)), t1);
    span.curve[3] = Sum(Sum(Scaled(chord, -2.0), t0), t1);
    span.field[0] = a.fieldEci;
    span.field[1] = Diff(b.fieldEci, a.fieldEci);
    span.density[0] = a.airDensity;
    span.density[1] = b.airDensity - a.airDensity;
    sat->orbitRead.valid = 0;
}

void SATELIT_EnvironmentAt(const SAT_ORBIT_SPAN* span, TIME_MS t, SAT_ORBIT_POINT* out)
{
    double u = SpanFraction(span, t);
    const VEC3* c = span->curve;
    out->time = t;
    out->position = Along(c[0], Along(c[1], Along(c[2], c[3], u), u), u);
    VEC3 slope = Along(c[1], Along(Scaled(c[2], 2.0), Scaled(c[3], 3.0), u), u);
    out->velocity = span->seconds > 0.0 ? Scaled(slope, 1.0 / span->seconds) : VEC3{0.0, 0.0, 0.0};
    out->fieldEci = Along(span->field[0], span->field[1], u);
    out->airDensity = span->density[0] + u * span->density[1];
}

uint32_t SATELIT_IsFiniteState(const VEC3* position, const VEC3* velocity)
{
    auto finite = [](const VEC3& v) { return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z); };
    return finite(*position) && finite(*velocity);
}

uint32_t SATELIT_EvaluateModel(const SATELIT* sat, TIME_MS t, VEC3* position, VEC3* velocity)
{
    switch (sat->orbitModel) {
    case ORBIT_MODEL_SIMPLE_KEPLER: KEPLER_PropagateSimple(&sat->kepler, t, position, velocity); return 1;
    case ORBIT_MODEL_ENHANCED_KEPLER: KEPLER_PropagateEnhanced(&sat->kepler, t, position, velocity); return 1;
    case ORBIT_MODEL_SGP0:
    case ORBIT_MODEL_SGP4:
    case ORBIT_MODEL_SDP4:
    case ORBIT_MODEL_SGP8:
    case ORBIT_MODEL_SDP8:
        KEPLER_PropagateSgp(&sat->elements, sat->orbitModel - 4, t, position, velocity);
        return 1;
    default: return 0;
    }
}

// The published models are exact at any time (the curve between the grid
// points deviates from them by about a metre, the models' own roughness);
// the last read is kept, as the columns of a row read one time many times.
void SATELIT_OrbitAt(const SATELIT* sat, TIME_MS t, VEC3* position, VEC3* velocity)
{
    auto& read = sat->orbitRead;
    if (!read.valid || read.time != t) {
        if (!SATELIT_EvaluateModel(sat, t, &read.position, &read.velocity) ||
            !SATELIT_IsFiniteState(&read.position, &read.velocity)) {
            SAT_ORBIT_POINT env;
            SATELIT_EnvironmentAt(&sat->span, t, &env);
            read.position = env.position;
            read.velocity = env.velocity;
        }
        read.time = t;
        read.valid = 1;
    }
    *position = read.position;
    *velocity = read.velocity;
}

void SATELIT_ReadAt(const SATELIT* sat, TIME_MS t, SAT_ORBIT_POINT* out)
{
    SATELIT_EnvironmentAt(&sat->span, t, out);
    SATELIT_OrbitAt(sat, t, &out->position, &out->velocity);
}

// On a sphere: the longitude is the ECI right ascension less the Earth's
// rotation, brought into [-180, 180).
void SATELIT_Geocentric(const VEC3* position, double theta, double* longitude, double* latitude, double* altitude)
{
    double r, lambda0, phi;
    VEC_ToSpherical(position, &r, &lambda0, &phi);
    *altitude = r - CONST_EARTH_RADIUS_KM;
    double l = lambda0 * 180.0 / CONST_PI + 180.0 - theta;
    if (l < 0.0) l += 720.0;
    *longitude = l - 360.0 * floor(l / 360.0) - 180.0;
    *latitude = phi * 180.0 / CONST_PI;
}

// z towards the Earth's centre (nadir), y across the track, x completing the
// frame along it.
void SATELIT_OrbitFrame(const VEC3* position, const VEC3* velocity, VEC3 axes[3], MAT33* matrix)
{
    VEC3 z{-position->x, -position->y, -position->z};
    VEC_Normalize(&z);
    VEC3 y;
    VEC_Cross(&z, velocity, &y);
    VEC_Normalize(&y);
    VEC3 x;
    VEC_Cross(&y, &z, &x);
    VEC_Normalize(&x);
    axes[0] = x;
    axes[1] = y;
    axes[2] = z;
    for (int i = 0; i < 3; ++i) {
        matrix->m[3 * i] = axes[i].x;
        matrix->m[3 * i + 1] = axes[i].y;
        matrix->m[3 * i + 2] = axes[i].z;
    }
}

// Down along the ellipsoid's normal at the geodetic latitude, north across
// it in the meridian, east completing the frame: the frame the field model
// gives its components in.
void SATELIT_NedToEci(const VEC3* position, double theta, MAT33* m)
{
    double longitude, geocentric, altitude, latitude, height;
    SATELIT_Geocentric(position, theta, &longitude, &geocentric, &altitude);
    MAGFIELD_GeodeticFromAxial(hypot(position->x, position->y), position->z, &latitude, &height);
    SATELIT_NedToEciAt(latitude, longitude, theta, m);
}

void SATELIT_NedToEciAt(double latitude, double longitude, double theta, MAT33* m)
{
    MAT33 factor;
    MAT_AxisRotation(m, 1, CONST_PI / 2.0);
    MAT_AxisRotation(&factor, 1, latitude * CONST_PI / 180.0);
    MAT_Multiply(m, &factor);
    MAT_AxisRotation(&factor, 2, -longitude * CONST_PI / 180.0);
    MAT_Multiply(m, &factor);
    MAT_AxisRotation(&factor, 2, -theta * CONST_PI / 180.0);
    MAT_Multiply(m, &factor);
}

VEC3 SATELIT_FieldInNed(const VEC3* position, double theta, const VEC3* fieldEci)
{
    MAT33 ned;
    SATELIT_NedToEci(position, theta, &ned);
    MAT_Transpose(&ned);
    VEC3 out;
    MAT_MulVectorTo(&ned, fieldEci, &out);
    return out;
}

// ---- illumination -----------------------------------------------------------------

namespace {

double ClampPercent(double x) { return x < 0.0 ? 0.0 : (x > 100.0 ? 100.0 : x); }

double PartialIllumination(double theta, double rho, double d, double e2, double sLength)
{
    double rPrime = CONST_SUN_RADIUS_KM * sqrt(e2 - CONST_EARTH_RADIUS_KM * CONST_EARTH_RADIUS_KM) / sLength;
    double x = d / 2.0 + theta - rho;
    double y = 2.0 * x * rPrime / d;
    double f = ClampPercent(100.0 * y / (2.0 * rPrime));
    double g = (f - 50.0) / 25.0;
    double a = 1.31 * (1.0 + 0.01 * exp(g));
    double b = a / (1.0 + 0.99 * exp(g));
    return ClampPercent(((1.16 - b) * 100.0 - 50.0) / 0.98 + 50.0);
}

}  // namespace

double SATELIT_Illumination(const VEC3* position, const VEC3* sunVector)
{
    VEC3 e{-position->x, -position->y, -position->z};
    VEC3 s = Sum(*sunVector, e);
    double se = VEC_Dot(&s, &e);
    if (se < 0.0) return 100.0;
    double e2 = VEC_Dot(&e, &e);
    double sLength = VEC_Length(&s);
    // At or below the Earth's surface the Earth covers the whole sky toward the Sun.
    if (e2 <= CONST_EARTH_RADIUS_KM * CONST_EARTH_RADIUS_KM || sLength <= CONST_SUN_RADIUS_KM) return 0.0;
    double c = se / (sLength * sqrt(e2));
    if (c > 1.0) c = 1.0;
    double theta = acos(c);
    double rho = atan(CONST_EARTH_RADIUS_KM / sqrt(e2 - CONST_EARTH_RADIUS_KM * CONST_EARTH_RADIUS_KM));
    double d = 2.0 * atan(CONST_SUN_RADIUS_KM / sqrt(sLength * sLength - CONST_SUN_RADIUS_KM * CONST_SUN_RADIUS_KM));
    if (rho + d < theta) return 100.0;
    if (theta + d <= rho) return 0.0;
    return PartialIllumination(theta, rho, d, e2, sLength);
}

double SATELIT_DragPressure(const SATELIT* sat, double airDensity, const VEC3* velocity)
{
    double v = VEC_Length(velocity);
    return 0.5 * airDensity * v * v * 1e6 * sat->dragCoefficient;
}

// Computed from the reflectivity where it is used, so nothing has to keep a
// copy of it up to date.
double SATELIT_SolarPressure(const SATELIT* sat)
{
    return (1.0 + sat->meanReflectivity) * CONST_SOLAR_CONSTANT / CONST_SPEED_OF_LIGHT;
}

// ---- the whole state ----------------------------------------------------------------

void SATELIT_StateAt(const SATELIT* sat, TIME_MS t, SAT_STATE* out)
{
    SAT_ORBIT_POINT env;
    SATELIT_ReadAt(sat, t, &env);
    double theta = ORBIT_EarthRotationAngleAt(t);
    out->time = t;
    out->position = env.position;
    out->velocity = env.velocity;
    SATELIT_Geocentric(&env.position, theta, &out->longitude, &out->latitude, &out->altitude);
    SATELIT_OrbitFrame(&env.position, &env.velocity, out->orbitAxes, &out->orbitMatrix);
    out->fieldEci = env.fieldEci;
    out->fieldMag = SATELIT_FieldInNed(&env.position, theta, &env.fieldEci);
    out->airDensity = env.airDensity;
    out->dragPressure = SATELIT_DragPressure(sat, env.airDensity, &env.velocity);
    ORBIT_SunDirectionAt(t, &out->sunVector);
    out->illumination = SATELIT_Illumination(&env.position, &out->sunVector);
}
