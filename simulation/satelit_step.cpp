// SATELIT: start of a satellite and its orbit and environment step: propagation,
// geodetic position, orbit frame, magnetic field, density, illumination, histories.
#include <cmath>
#include "foundation/log.h"
#include "foundation/constants.h"
#include "models/atmo.h"
#include "models/kepler.h"
#include "models/magfield.h"
#include "onboard/swmodule.h"
#include "platform/plat_time.h"
#include "simulation/coil.h"
#include "simulation/main.h"
#include "simulation/massmodel.h"
#include "simulation/orbit.h"
#include "simulation/satelit.h"
#include "simulation/sats.h"
#include "simulation/surfmodel.h"
#include "view/dditem.h"

static constexpr uint32_t kNewtonPeriodMs = 200;
static constexpr uint32_t kModelPeriodMs = 30000;

static VEC3 SceneVector(uint32_t index)
{
    double v[3] = {0.0, 0.0, 0.0};
    ORBIT_GetDisplayParam(index, v);
    return VEC3{v[0], v[1], v[2]};
}

static double SiderealDegrees()
{
    double theta = 0.0;
    ORBIT_GetDisplayParam(4, &theta);
    return theta;
}

// ---- propagation -------------------------------------------------------------

void SATELIT_PointMassGravity(const VEC3* position, const VEC3* body, double mass, VEC3* acceleration)
{
    VEC3 d{(body->x - position->x) * 1000.0, (body->y - position->y) * 1000.0, (body->z - position->z) * 1000.0};
    double length = VEC_Length(&d);
    if (length <= 0.0) {
        VEC_Zero(acceleration);
        return;
    }
    double g = CONST_GRAVITATIONAL_CONSTANT * mass / (length * length);
    *acceleration = VEC3{d.x * g / length, d.y * g / length, d.z * g / length};
}

// A third body's pull on the satellite less its pull on the Earth: in the
// geocentric frame only the difference accelerates the orbit.
void SATELIT_ThirdBodyAcceleration(const VEC3* position, const VEC3* body, double mass, VEC3* acceleration)
{
    if (VEC_IsZero(body)) {
        VEC_Zero(acceleration);
        return;
    }
    VEC3 direct, onEarth;
    VEC3 origin{0.0, 0.0, 0.0};
    SATELIT_PointMassGravity(position, body, mass, &direct);
    SATELIT_PointMassGravity(&origin, body, mass, &onEarth);
    *acceleration = VEC3{direct.x - onEarth.x, direct.y - onEarth.y, direct.z - onEarth.z};
}

void SATELIT_NewtonStep(SATELIT* sat, TIME_MS t)
{
    double dt = static_cast<double>(t - sat->lastOrbitTime) / 1000.0;
    VEC3 origin{0.0, 0.0, 0.0};
    VEC3 earth, moon;
    SATELIT_PointMassGravity(&sat->position, &origin, CONST_EARTH_MASS_KG, &earth);
    VEC3 moonPosition = SceneVector(3);
    SATELIT_ThirdBodyAcceleration(&sat->position, &moonPosition, CONST_MOON_MASS_KG, &moon);
    sat->newtonVelocityChange.x += (earth.x + moon.x) * dt;
    sat->newtonVelocityChange.y += (earth.y + moon.y) * dt;
    sat->newtonVelocityChange.z += (earth.z + moon.z) * dt;
    sat->velocity.x = sat->newtonVelocityChange.x / 1000.0 + sat->newtonStartVelocity.x;
    sat->velocity.y = sat->newtonVelocityChange.y / 1000.0 + sat->newtonStartVelocity.y;
    sat->velocity.z = sat->newtonVelocityChange.z / 1000.0 + sat->newtonStartVelocity.z;
    sat->position.x += sat->velocity.x * dt;
    sat->position.y += sat->velocity.y * dt;
    sat->position.z += sat->velocity.z * dt;
}

static void Propagate(SATELIT* sat)
{
    TIME_MS now = g_simClock.clock;
    switch (sat->orbitModel) {
    case ORBIT_MODEL_NEWTON: SATELIT_NewtonStep(sat, now); break;
    case ORBIT_MODEL_SIMPLE_KEPLER: KEPLER_PropagateSimple(&sat->kepler, now, &sat->position, &sat->velocity); break;
    case ORBIT_MODEL_ENHANCED_KEPLER:
        KEPLER_PropagateEnhanced(&sat->kepler, now, &sat->position, &sat->velocity);
        break;
    case ORBIT_MODEL_SGP0:
    case ORBIT_MODEL_SGP4:
    case ORBIT_MODEL_SDP4:
    case ORBIT_MODEL_SGP8:
    case ORBIT_MODEL_SDP8:
        KEPLER_PropagateSgp(&sat->elements, sat->orbitModel - 4, now, &sat->position, &sat->velocity);
        break;
    default: break;
    }
}

static bool IsFinite(const VEC3& v) { return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z); }

// A decayed orbit gives a state that is not finite; it is reported once, and
// the satellite keeps its last finite state so nothing downstream sees NaN.
static bool PropagateChecked(SATELIT* sat)
{
    VEC3 position = sat->position, velocity = sat->velocity;
    Propagate(sat);
    if (IsFinite(sat->position) && IsFinite(sat->velocity)) return true;
    bool lastFinite = IsFinite(position) && IsFinite(velocity);
    sat->position = lastFinite ? position : VEC3{0.0, 0.0, 0.0};
    sat->velocity = lastFinite ? velocity : VEC3{0.0, 0.0, 0.0};
    if (!sat->stateInvalidReported) {
        LOG_Printf("SATELIT: dráha satelitu %s nedává konečnou polohu, satelit zůstává na poslední platné poloze.\n",
                   sat->name ? sat->name : "");
        sat->stateInvalidReported = 1;
    }
    return false;
}

// ---- geodetic position and frames ---------------------------------------------

static void ComputeGeodetic(SATELIT* sat)
{
    double r, lambda0, phi;
    VEC_ToSpherical(&sat->position, &r, &lambda0, &phi);
    sat->altitude = r - CONST_EARTH_RADIUS_KM;
    double l = lambda0 * 180.0 / CONST_PI + 180.0 - SiderealDegrees();
    if (l < 0.0) l += 720.0;
    sat->longitude = l - 360.0 * floor(l / 360.0) - 180.0;
    sat->latitude = phi * 180.0 / CONST_PI;
}

void SATELIT_ComputeOrbitFrame(SATELIT* sat)
{
    VEC3 z{-sat->position.x, -sat->position.y, -sat->position.z};
    VEC_Normalize(&z);
    VEC3 y;
    VEC_Cross(&z, &sat->velocity, &y);
    VEC_Normalize(&y);
    VEC3 x;
    VEC_Cross(&y, &z, &x);
    VEC_Normalize(&x);
    sat->orbitAxes[0] = x;
    sat->orbitAxes[1] = y;
    sat->orbitAxes[2] = z;
    const VEC3* rows[3] = {&x, &y, &z};
    for (int i = 0; i < 3; ++i) {
        sat->orbitMatrix.m[3 * i] = rows[i]->x;
        sat->orbitMatrix.m[3 * i + 1] = rows[i]->y;
        sat->orbitMatrix.m[3 * i + 2] = rows[i]->z;
    }
}

// The rotation that turns the local north-east-down frame into ECI.
static void MagToEciMatrix(const SATELIT* sat, MAT33* m)
{
    double lambda = sat->longitude * CONST_PI / 180.0;
    double phi = sat->latitude * CONST_PI / 180.0;
    double theta = SiderealDegrees() * CONST_PI / 180.0;
    MAT33 factor;
    MAT_AxisRotation(m, 1, CONST_PI / 2.0);
    MAT_AxisRotation(&factor, 1, phi);
    MAT_Multiply(m, &factor);
    MAT_AxisRotation(&factor, 2, -lambda);
    MAT_Multiply(m, &factor);
    MAT_AxisRotation(&factor, 2, -theta);
    MAT_Multiply(m, &factor);
}

static float DecimalYear(TIME_MS t)
{
    SYSTEMTIME st{};
    TIME_MsToSystemTime(t, &st);
    return static_cast<float>(st.wYear + ((st.wMonth - 1) * 30.5 + st.wDay - 1) / 365.25);
}

void SATELIT_ComputeMagneticField(SATELIT* sat)
{
    MAT33 m;
    MagToEciMatrix(sat, &m);
    if (sat->fieldModel == SAT_FIELD_HOMOGENOUS) {
        sat->fieldEci = sat->homogeneousField;
        MAT33 mt = m;
        MAT_Transpose(&mt);
        MAT_MulVectorTo(&mt, &sat->fieldEci, &sat->fieldMag);
        return;
    }
    float north = 0.0f, east = 0.0f, down = 0.0f;
    MAGFIELD_WmmFieldAt(static_cast<float>(sat->latitude), static_cast<float>(sat->longitude),
                        static_cast<float>(sat->altitude * 1000.0), DecimalYear(g_simClock.clock), &north, &east, &down);
    sat->fieldMag = VEC3{north, east, down};
    MAT_MulVectorTo(&m, &sat->fieldMag, &sat->fieldEci);
}

void SATELIT_ComputeFieldRotationRate(SATELIT* sat)
{
    if (!sat->firstFieldStep) {
        double dt = static_cast<double>(g_simClock.clock - sat->previousFieldTime) / 1000.0;
        double lengths = VEC_Length(&sat->previousField) * VEC_Length(&sat->fieldEci);
        // A step at the same time, or a zero field, keeps the previous rate.
        if (dt > 0.0 && lengths > 0.0) {
            double c = VEC_Dot(&sat->previousField, &sat->fieldEci) / lengths;
            if (c > 1.0) c = 1.0;
            if (c < -1.0) c = -1.0;
            sat->fieldRate = acos(c) / dt;
            sat->fieldPeriod = sat->fieldRate < 1e-10 ? 1e10 : 2.0 * CONST_PI / sat->fieldRate;
        } else if (lengths <= 0.0) {
            sat->fieldRate = 0.0;
            sat->fieldPeriod = 1e10;
        }
    }
    sat->firstFieldStep = 0;
    sat->previousField = sat->fieldEci;
    sat->previousFieldTime = g_simClock.clock;
}

static void ComputeDensityAndPressures(SATELIT* sat)
{
    ATMO_SetModel(sat->atmosphereModel);
    sat->airDensity = ATMO_GetDensity(sat->altitude, sat->longitude, sat->latitude, g_simClock.clock);
    double v = VEC_Length(&sat->velocity);
    sat->dragPressure = 0.5 * sat->airDensity * v * v * 1e6 * sat->dragCoefficient;
    sat->solarPressure = (1.0 + sat->meanReflectivity) * CONST_SOLAR_CONSTANT / CONST_SPEED_OF_LIGHT;
}

static void StoreFieldHistory(SATELIT* sat)
{
    if (!sat->fieldHistoryOn) return;
    SATS_LockFieldHistory();
    bool store = sat->fieldHistoryCount == 0;
    if (!store) {
        double lengths = VEC_Length(&sat->lastStoredField) * VEC_Length(&sat->fieldEci);
        store = lengths > 0.0 && VEC_Dot(&sat->lastStoredField, &sat->fieldEci) / lengths < SATS_CosOneDegree();
    }
    if (store) {
        sat->fieldHistoryNewest = static_cast<uint16_t>((sat->fieldHistoryNewest + 1) % SAT_FIELD_HISTORY_SIZE);
        sat->fieldHistory[sat->fieldHistoryNewest] = sat->fieldEci;
        sat->lastStoredField = sat->fieldEci;
        if (sat->fieldHistoryCount < SAT_FIELD_HISTORY_SIZE) sat->fieldHistoryCount++;
    }
    SATS_UnlockFieldHistory();
}

// ---- illumination -----------------------------------------------------------------

static double ClampPercent(double x) { return x < 0.0 ? 0.0 : (x > 100.0 ? 100.0 : x); }

static double PartialIllumination(double theta, double rho, double d, double e2, double sLength)
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

void SATELIT_ComputeIllumination(SATELIT* sat)
{
    VEC3 sun = SceneVector(2);
    SATELIT_ComputeIlluminationFrom(sat, &sun);
}

void SATELIT_ComputeIlluminationFrom(SATELIT* sat, const VEC3* sunVector)
{
    const VEC3& sun = *sunVector;
    VEC3 e{-sat->position.x, -sat->position.y, -sat->position.z};
    VEC3 s{sun.x + e.x, sun.y + e.y, sun.z + e.z};
    double se = VEC_Dot(&s, &e);
    if (se < 0.0) {
        sat->illumination = 100.0;
        return;
    }
    double e2 = VEC_Dot(&e, &e);
    double sLength = VEC_Length(&s);
    // At or below the Earth's surface the Earth covers the whole sky toward the Sun.
    if (e2 <= CONST_EARTH_RADIUS_KM * CONST_EARTH_RADIUS_KM || sLength <= CONST_SUN_RADIUS_KM) {
        sat->illumination = 0.0;
        return;
    }
    double c = se / (sLength * sqrt(e2));
    if (c > 1.0) c = 1.0;
    double theta = acos(c);
    double rho = atan(CONST_EARTH_RADIUS_KM / sqrt(e2 - CONST_EARTH_RADIUS_KM * CONST_EARTH_RADIUS_KM));
    double d = 2.0 * atan(CONST_SUN_RADIUS_KM / sqrt(sLength * sLength - CONST_SUN_RADIUS_KM * CONST_SUN_RADIUS_KM));
    if (rho + d < theta) {
        sat->illumination = 100.0;
    } else if (theta + d <= rho) {
        sat->illumination = 0.0;
    } else {
        sat->illumination = PartialIllumination(theta, rho, d, e2, sLength);
    }
}

static void UpdateLightRatio(SATELIT* sat)
{
    if (sat->lightDuration >= 0.0 && sat->shadowDuration >= 0.0 && sat->lightDuration + sat->shadowDuration > 0.0) {
        sat->lightRatio = sat->lightDuration / (sat->lightDuration + sat->shadowDuration) * 100.0;
    }
}

void SATELIT_UpdateLightDarkTimer(SATELIT* sat)
{
    bool light = sat->illumination >= 100.0;
    TIME_MS now = g_simClock.clock;
    switch (sat->lightState) {
    case 0:
        sat->lightDuration = sat->shadowDuration = -1.0;
        sat->lightRatio = light ? 100.0 : 0.0;
        sat->lightState = light ? 1 : 2;
        break;
    case 1:
        if (!light) { sat->lightStateStart = now; sat->lightState = 3; }
        break;
    case 2:
        if (light) { sat->lightStateStart = now; sat->lightState = 4; }
        break;
    case 3:
        if (light) {
            sat->shadowDuration = static_cast<double>(now - sat->lightStateStart);
            sat->lightStateStart = now;
            sat->lightState = 4;
            UpdateLightRatio(sat);
        }
        break;
    case 4:
        if (!light) {
            sat->lightDuration = static_cast<double>(now - sat->lightStateStart);
            sat->lightStateStart = now;
            sat->lightState = 3;
            UpdateLightRatio(sat);
        }
        break;
    default: sat->lightState = 0; break;
    }
}

static void StoreOrbitHistory(SATELIT* sat)
{
    if (!sat->orbitHistoryOn || !sat->historyBuffer) return;
    VEC3 d{sat->lastHistoryPoint.x - sat->position.x, sat->lastHistoryPoint.y - sat->position.y,
           sat->lastHistoryPoint.z - sat->position.z};
    if (VEC_Dot(&d, &d) < sat->historySpacing) return;
    sat->historyBuffer[sat->historyNextIndex] = sat->position;
    sat->historyNextIndex = (sat->historyNextIndex + 1) % sat->historyCapacity;
    if (sat->historyCount < sat->historyCapacity) sat->historyCount++;
    sat->lastHistoryPoint = sat->position;
}

void SATELIT_Step(SATELIT* sat)
{
    sat->orbitStepCount++;
    PropagateChecked(sat);
    ComputeGeodetic(sat);
    SATELIT_ComputeOrbitFrame(sat);
    SATELIT_ComputeMagneticField(sat);
    SATELIT_ComputeFieldRotationRate(sat);
    ComputeDensityAndPressures(sat);
    StoreFieldHistory(sat);
    SATELIT_ComputeIllumination(sat);
    SATELIT_UpdateLightDarkTimer(sat);
    StoreOrbitHistory(sat);
}

// ---- start ----------------------------------------------------------------------

static void StartOrbit(SATELIT* sat)
{
    TIME_MS now = g_simClock.clock;
    if (sat->orbitModel == ORBIT_MODEL_NEWTON) {
        sat->orbitPeriod = kNewtonPeriodMs;
        VEC_Zero(&sat->newtonVelocityChange);
        sat->newtonStartVelocity = sat->velocity;
        SATELIT_NewtonStep(sat, now);
    } else {
        sat->orbitPeriod = kModelPeriodMs;
        PropagateChecked(sat);
    }
    if (sat->lightTimeAccuracy < sat->orbitPeriod) sat->orbitPeriod = sat->lightTimeAccuracy;
    sat->lastOrbitTime = now;
    sat->startRealTime = g_simClock.realTotal;
}

// Every mass model is computed once and printed, and every surface model
// prepares the raster; this dominates the start of a satellite, so its time is
// logged. Without a raster (no memory, reported by the raster) no projection
// could be measured, so the start fails.
static uint32_t StartSubModels(SATELIT* sat)
{
    uint32_t begin = PLAT_GetTickCount();
    LOG_Printf("SAT: probíhají výpočty hmotných modelů ... ");
    for (MASSMODEL* model = sat->massModels; model; model = model->next) MASSMODEL_ComputeAndPrint(model);
    LOG_Printf("výpočet MASS-MODELů trval %d milisekund.\n", static_cast<int>(PLAT_GetTickCount() - begin));
    begin = PLAT_GetTickCount();
    uint32_t prepared = 1;
    for (SURFMODEL* model = sat->surfaceModels; model; model = model->next) {
        if (!SURFMODEL_PrepareRaster(model)) prepared = 0;
    }
    LOG_Printf("startovní výpočet SURFACE-MODELů trval %d milisekund.\n", static_cast<int>(PLAT_GetTickCount() - begin));
    return prepared;
}

// The inertia and centre of mass come from the mass model in use; a model
// without positive mass has neither.
static uint32_t TakeMassProperties(SATELIT* sat, MAT33* inertia)
{
    MASSMODEL* model = sat->massModelInUse;
    if (!model) {
        MAT_Identity(inertia);
        VEC_Zero(&sat->centreOfMass);
        return 1;
    }
    if (!MASSMODEL_CheckUsable(model, sat->name)) return 0;
    MASSMODEL_GetInertia(model, inertia);
    MASSMODEL_GetCog(model, &sat->centreOfMass);
    return 1;
}

static uint32_t StartAttitude(SATELIT* sat)
{
    MAT33 inertia;
    if (!TakeMassProperties(sat, &inertia)) return 0;
    VEC3 zero{0.0, 0.0, 0.0};
    ATTITUDE_SetQuaternion(&sat->attitude, &sat->initialAttitude);
    ATTITUDE_SetInertia(&sat->attitude, &inertia);
    ATTITUDE_SetAngularVelocity(&sat->attitude, &sat->initialAngularVelocity);
    ATTITUDE_SetTorque(&sat->attitude, &zero);
    ATTITUDE_SetMethod(&sat->attitude, sat->attitudeMethod);
    if (!ATTITUDE_Init(&sat->attitude)) {
        LOG_Printf("SATELIT: model hmoty pro satelit %s má singulární tenzor setrvačnosti, ten není podporován.\n",
                   sat->name);
        return 0;
    }
    return 1;
}

static void StartControllers(SATELIT* sat)
{
    if (sat->bdotGiven) {
        BDOT_Enable(&sat->bdot);
        BDOT_Start(&sat->bdot);
    }
    if (sat->bcrossGiven) {
        BCROSS_Enable(&sat->bcross);
        BCROSS_Start(&sat->bcross);
    }
}

uint32_t SATELIT_Start(SATELIT* sat)
{
    StartOrbit(sat);
    if (sat->orbitHistoryOn && !SATELIT_AllocHistory(sat)) return 0;
    sat->firstFieldStep = 1;
    sat->fieldRate = 0.0;
    if (sat->infoWindowWanted && !SATELIT_OpenInfoWindow(sat)) sat->infoWindowWanted = 0;
    if (!StartSubModels(sat)) return 0;
    sat->nextProjectionTime = g_simClock.clock;
    if (!StartAttitude(sat)) return 0;
    sat->attitudePending = 0;
    VEC_Zero(&sat->coilDipoleSum);
    sat->coilDipoleStale = 1;
    StartControllers(sat);
    if (!SWMODULE_StartModules(sat->modules)) {
        LOG_Printf("SATELIT: start palubních modulů pro satelit %s nebyl úspěšný.\n", sat->name);
        return 0;
    }
    for (COIL* coil = sat->coils; coil; coil = coil->next) {
        if (!COIL_Link(coil, sat->modules)) {
            LOG_Printf("SATELIT: chyba startu cívky %s v satelitu %s.\n", coil->name, sat->name);
            return 0;
        }
    }
    for (DDITEM* item = sat->dataItems; item; item = item->next) {
        if (DDITEM_Link(item, sat)) continue;
        LOG_Printf("SATELIT: chyba startu vykreslovaného datového údaje v satelitu %s.\n", sat->name);
        return 0;
    }
    sat->lastAttitudeTime = g_simClock.clock - 1;
    sat->projectionsSkipped = 1;
    SATELIT_Step(sat);
    SATELIT_UpdateAttitude(sat);
    return 1;
}
