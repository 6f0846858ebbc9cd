// SATELIT: the attitude update of a satellite: the external torques (gravity
// gradient, dipoles with the built-in controllers and coils, test torques,
// solar radiation pressure and drag) summed and integrated by the attitude block.
#include <cmath>
#include "foundation/constants.h"
#include "models/ephemeris.h"
#include "simulation/coil.h"
#include "simulation/main.h"
#include "simulation/orbit.h"
#include "simulation/raster.h"
#include "simulation/satelit.h"
#include "simulation/sats.h"
#include "simulation/surfmodel.h"

static constexpr double kOneDegreeMs = 17.453292;   // ms to turn by one degree at 1 rad/s
static constexpr TIME_MS kLongestProjectionGap = 1000;
static constexpr double kOneDegree = M_PI / 180.0;

static VEC3 Mul(const MAT33& m, const VEC3& v)
{
    VEC3 out;
    MAT_MulVectorTo(&m, &v, &out);
    return out;
}

static void Accumulate(VEC3* sum, const VEC3& v)
{
    sum->x += v.x;
    sum->y += v.y;
    sum->z += v.z;
}

static void SnapSmallToZero(VEC3* v)
{
    MATH_SnapToFine(&v->x, 0.0);
    MATH_SnapToFine(&v->y, 0.0);
    MATH_SnapToFine(&v->z, 0.0);
}

// Gravity-gradient torque in the body frame, 3 mu / r^3 r x (I r) with r the
// unit vector away from the Earth's centre in the body, mu the Earth's G M and
// r its distance: the gradient of the field at the satellite's own distance,
// which the square of the orbital rate equals only on a circular orbit.
static VEC3 GravityGradientTorque(SATELIT* sat, const SAT_ORBIT_POINT& env, const MAT33& rt)
{
    static constexpr double kEarthMu = CONST_GRAVITATIONAL_CONSTANT * CONST_EARTH_MASS_KG;  // m^3/s^2
    double radius = VEC_Length(&env.position);
    if (!(radius > 0.0)) return VEC3{0.0, 0.0, 0.0};
    VEC3 up{env.position.x / radius, env.position.y / radius, env.position.z / radius};
    double metres = radius * 1000.0;
    VEC3 rb = Mul(rt, up);
    VEC3 ir = Mul(sat->attitude.inertia, rb);
    VEC3 torque = VEC_CrossValue(&rb, &ir);
    double k = 3.0 * kEarthMu / (metres * metres * metres);
    torque = VEC3{k * torque.x, k * torque.y, k * torque.z};
    SnapSmallToZero(&torque);
    return torque;
}

// The controllers' commands for the field of this update, added to the dipole.
static void AddControllerDipoles(SATELIT* sat, const VEC3& fieldTesla, const MAT33& r, VEC3* dipole)
{
    VEC3 moment;
    if (sat->bdotGiven) {
        BDOT_SetInput(&sat->bdot, &fieldTesla);
        BDOT_Step(&sat->bdot);
        BDOT_GetMoment(&sat->bdot, &moment);
        Accumulate(dipole, moment);
        sat->bdotDipole = Mul(r, moment);
    }
    if (sat->bcrossGiven) {
        BCROSS_SetInput(&sat->bcross, &fieldTesla);
        BCROSS_Step(&sat->bcross);
        BCROSS_GetMoment(&sat->bcross, &moment);
        Accumulate(dipole, moment);
        sat->bcrossDipole = Mul(r, moment);
    }
}

// Summed again only after a coil's current has changed: the same currents give
// the same sum, and the coils' records need not be read every step.
static void SumCoilDipoles(SATELIT* sat)
{
    if (!sat->coilDipoleStale) return;
    sat->coilDipoleStale = 0;
    VEC_Zero(&sat->coilDipoleSum);
    for (const COIL* coil = sat->coils; coil; coil = coil->next) {
        VEC3 moment;
        COIL_GetMoment(coil, &moment);
        Accumulate(&sat->coilDipoleSum, moment);
    }
}

// Body-frame dipole of the magnets, controllers and coils, and its torque.
static VEC3 MagneticTorque(SATELIT* sat, const VEC3& fieldTesla, const MAT33& r)
{
    VEC3 dipole = sat->permanentMagnet;
    if (sat->magneticTorque) Accumulate(&dipole, sat->residualDipole);
    AddControllerDipoles(sat, fieldTesla, r, &dipole);
    // The coils' moments acted over the interval that ends now.
    Accumulate(&dipole, sat->coilDipoleSum);
    SumCoilDipoles(sat);
    sat->totalDipole = Mul(r, dipole);
    if (MATH_ApproxEqualFine(VEC_Dot(&dipole, &dipole), 0.0)) return VEC3{0.0, 0.0, 0.0};
    VEC3 torque = VEC_CrossValue(&dipole, &fieldTesla);
    sat->magneticTorqueVector = Mul(r, torque);
    return torque;
}

// The torque of a projection at a time after its last measurement. The body
// turns between two measurements (about a degree, or for a second), and a
// torque held at its measured value would lag the body's swing: a panel that
// the airflow or the light swings to and fro would gain energy at every
// swing. So the geometric part, the torque per unit of pressure, goes on
// along its change between the last two measurements, for at most as long as
// that change took; the pressure (with the illumination) is held, so entering
// the shadow stops the torque at once instead of turning it round.
VEC3 SATELIT_ProjectionTorqueAt(const SAT_PROJECTION_BLOCK* block, TIME_MS t)
{
    double ahead = 0.0;
    TIME_MS measuredOver = block->measuredAt - block->previouslyMeasuredAt;
    if (measuredOver > 0 && t > block->measuredAt)
        ahead = std::fmin(static_cast<double>(t - block->measuredAt) / static_cast<double>(measuredOver), 1.0);
    const VEC3& now = block->torquePerPressure;
    const VEC3& before = block->previousTorquePerPressure;
    double p = block->pressure;
    return VEC3{p * (now.x + ahead * (now.x - before.x)), p * (now.y + ahead * (now.y - before.y)),
                p * (now.z + ahead * (now.z - before.z))};
}

// Recomputes the projections when due: once the body has turned by a degree
// since they were measured, or when the rate of that measurement says it will
// have, and at least once a second. The rate of the measurement alone is not
// enough: a swing measured near its turning point, where the rate is small,
// would wait up to a second while the restoring torque swings it back through
// many degrees, and the torque followed along its last change would give the
// swing energy from nothing. Between the recomputations their torques act as
// SATELIT_ProjectionTorqueAt gives them.
static void AddProjectionTorques(SATELIT* sat, const SAT_ORBIT_POINT& env, const MAT33& r, VEC3* torque)
{
    TIME_MS now = g_simClock.clock;
    uint32_t due = now >= sat->nextProjectionTime || sat->turnSinceProjection >= kOneDegree;
    if (!sat->projectionsSkipped && due) {
        if (sat->solarTorque) SATELIT_ComputeSolarTorque(sat, &env, &r);
        if (sat->dragTorque) SATELIT_ComputeDragTorque(sat, &env, &r);
        double speed = VEC_Length(&sat->attitude.angularVelocity);
        TIME_MS gap = kLongestProjectionGap;
        if (speed >= 0.001) gap = static_cast<TIME_MS>(std::fmin(kOneDegreeMs / speed, 1000.0));
        sat->nextProjectionTime = now + gap;
        sat->turnSinceProjection = 0.0;
    }
    if (sat->solarTorque) Accumulate(torque, SATELIT_ProjectionTorqueAt(&sat->sunProjection, now));
    if (sat->dragTorque) Accumulate(torque, SATELIT_ProjectionTorqueAt(&sat->dragProjection, now));
}

void SATELIT_UpdateAttitude(SATELIT* sat)
{
    if (sat->bdotGiven) BDOT_Step(&sat->bdot);
    if (sat->bcrossGiven) BCROSS_Step(&sat->bcross);
    double dt = static_cast<double>(g_simClock.clock - sat->lastAttitudeTime) / 1000.0;
    if (dt <= 0.0) {
        SumCoilDipoles(sat);
        return;
    }
    sat->lastAttitudeTime = g_simClock.clock;
    // The orbit and environment at this update's own time.
    SAT_ORBIT_POINT env;
    SATELIT_EnvironmentAt(&sat->span, g_simClock.clock, &env);
    MAT33 r, rt;
    ATTITUDE_GetRotation(&sat->attitude, &r);
    ATTITUDE_GetRotationT(&sat->attitude, &rt);
    sat->fieldBody = Mul(rt, env.fieldEci);
    VEC3 fieldTesla{sat->fieldBody.x * 1e-9, sat->fieldBody.y * 1e-9, sat->fieldBody.z * 1e-9};

    VEC3 bodyTorque{0.0, 0.0, 0.0};
    if (sat->gravityTorque) {
        VEC3 gravity = GravityGradientTorque(sat, env, rt);
        sat->gravityGradientTorque = Mul(r, gravity);
        Accumulate(&bodyTorque, gravity);
    }
    Accumulate(&bodyTorque, MagneticTorque(sat, fieldTesla, r));
    if (sat->bodyTestTorqueGiven) Accumulate(&bodyTorque, sat->bodyTestTorque);
    VEC3 torque = Mul(r, bodyTorque);
    if (sat->eciTestTorqueGiven) Accumulate(&torque, sat->eciTestTorque);
    AddProjectionTorques(sat, env, r, &torque);

    SnapSmallToZero(&torque);
    ATTITUDE_SetTorque(&sat->attitude, &torque);
    ATTITUDE_SetDamping(&sat->attitude, sat->energyDamping);
    ATTITUDE_Step(&sat->attitude, dt);
    if (sat->solarTorque || sat->dragTorque)
        sat->turnSinceProjection += VEC_Length(&sat->attitude.angularVelocity) * dt;
    sat->projectionsSkipped = 0;
}

// ---- projections ---------------------------------------------------------------------

struct SAT_PROJECTION_LOCK {
    void (*enter)();
    void (*leave)();
};

// The first measurement has no change to go on along.
static void KeepMeasurement(SAT_PROJECTION_BLOCK* block, const VEC3& torquePerPressure, double pressure)
{
    TIME_MS now = g_simClock.clock;
    block->previousTorquePerPressure = block->measured ? block->torquePerPressure : torquePerPressure;
    block->previouslyMeasuredAt = block->measured ? block->measuredAt : now;
    block->torquePerPressure = torquePerPressure;
    block->measuredAt = now;
    block->pressure = pressure;
    block->measured = 1;
}

// Projects the surface model in use along d, keeps the triangles and the plane
// axes for drawing, and gives the torque of a force of `pressure` per square
// metre of projected area pushing along d at the centre of pressure. The lever
// runs from the centre of mass, turned into ECI with the body, to that centre.
static VEC3 ProjectionTorque(SATELIT* sat, const VEC3& position, const MAT33* r, VEC3 d, double pressure,
                             SAT_PROJECTION_BLOCK* block, const SAT_PROJECTION_LOCK& lock)
{
    VEC_Normalize(&d);
    VEC3 u, w;
    VEC_OrthonormalPair(&d, &position, &u, &w);
    double area = 0.0, along[2] = {0.0, 0.0};
    RASTER_TRIANGLE_LIST* triangles = nullptr;
    if (sat->surfaceModelInUse) {
        SURFMODEL_RasterizeProjection(sat->surfaceModelInUse, r, &d, &u, &w);
        RASTER_GetArea(&area);
        RASTER_GetCentroid(&along[0], &along[1]);
        triangles = RASTER_TakeRecording();
    }
    VEC3 pressureCentre;
    VEC_Combine(along, &pressureCentre, &u, &w);
    lock.enter();
    if (block->triangles) RASTER_FreeRecording(block->triangles);
    block->triangles = triangles;
    block->u = u;
    block->w = w;
    lock.leave();
    VEC3 cog = Mul(*r, sat->centreOfMass);
    VEC3 lever{pressureCentre.x - cog.x, pressureCentre.y - cog.y, pressureCentre.z - cog.z};
    double f = -area * pressure;
    block->direction = d;
    block->force = VEC3{f * d.x, f * d.y, f * d.z};
    VEC3 perPressure{-area * d.x, -area * d.y, -area * d.z};
    KeepMeasurement(block, VEC_CrossValue(&lever, &perPressure), pressure);
    return VEC_CrossValue(&lever, &block->force);
}

void SATELIT_ComputeSolarTorque(SATELIT* sat, const SAT_ORBIT_POINT* env, const MAT33* r)
{
    VEC3 sun;
    ORBIT_SunDirectionAt(g_simClock.clock, &sun);
    VEC3 d{sun.x - env->position.x, sun.y - env->position.y, sun.z - env->position.z};
    double pressure = SATELIT_SolarPressure(sat) * SATELIT_Illumination(&env->position, &sun) / 100.0;
    sat->solarTorqueVector =
        ProjectionTorque(sat, env->position, r, d, pressure, &sat->sunProjection,
                         SAT_PROJECTION_LOCK{SATS_LockSunProjection, SATS_UnlockSunProjection});
}

void SATELIT_ComputeDragTorque(SATELIT* sat, const SAT_ORBIT_POINT* env, const MAT33* r)
{
    double pressure = SATELIT_DragPressure(sat, env->airDensity, &env->velocity);
    sat->dragTorqueVector =
        ProjectionTorque(sat, env->position, r, env->velocity, pressure, &sat->dragProjection,
                         SAT_PROJECTION_LOCK{SATS_LockDragProjection, SATS_UnlockDragProjection});
}

void SATELIT_PerpendicularBasis(const VEC3* d, VEC3* a, VEC3* b, VEC3* c)
{
    VEC3 up{0.0, 0.0, 10000.0};
    VEC3 across = VEC_CrossValue(d, &up);
    *a = VEC_CrossValue(&across, d);
    VEC_Normalize(a);
    *c = VEC3{-d->x, -d->y, -d->z};
    VEC_Normalize(c);
    *b = VEC_CrossValue(c, a);
    VEC_Normalize(b);
}
