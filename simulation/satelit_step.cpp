// SATELIT: start of a satellite and its orbit steps: each step moves the grid
// of orbit points on (propagation, field and density at the new point one
// step ahead) and keeps what the steps time and record: the field's turn
// rate, the light and shadow periods, the field and orbit histories.
#include <cmath>
#include "foundation/log.h"
#include "foundation/constants.h"
#include "models/atmo.h"
#include "models/ephemeris.h"
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

// One step of the integration from a grid point to t, with the Earth's pull
// and the Moon's tidal pull at the step's start; the velocity is updated
// before the position.
void SATELIT_NewtonStep(SATELIT* sat, const SAT_ORBIT_POINT* from, TIME_MS t, VEC3* position, VEC3* velocity)
{
    double dt = static_cast<double>(t - from->time) / 1000.0;
    VEC3 origin{0.0, 0.0, 0.0};
    VEC3 earth, moon, moonPosition;
    SATELIT_PointMassGravity(&from->position, &origin, CONST_EARTH_MASS_KG, &earth);
    ORBIT_MoonAt(from->time, &moonPosition);
    SATELIT_ThirdBodyAcceleration(&from->position, &moonPosition, CONST_MOON_MASS_KG, &moon);
    sat->newtonVelocityChange.x += (earth.x + moon.x) * dt;
    sat->newtonVelocityChange.y += (earth.y + moon.y) * dt;
    sat->newtonVelocityChange.z += (earth.z + moon.z) * dt;
    velocity->x = sat->newtonVelocityChange.x / 1000.0 + sat->newtonStartVelocity.x;
    velocity->y = sat->newtonVelocityChange.y / 1000.0 + sat->newtonStartVelocity.y;
    velocity->z = sat->newtonVelocityChange.z / 1000.0 + sat->newtonStartVelocity.z;
    position->x = from->position.x + velocity->x * dt;
    position->y = from->position.y + velocity->y * dt;
    position->z = from->position.z + velocity->z * dt;
}

// The orbit at to->time; the analytic models need nothing of the point before,
// the integration starts from it. Another model code keeps the point before.
static void Propagate(SATELIT* sat, const SAT_ORBIT_POINT* from, SAT_ORBIT_POINT* to)
{
    if (SATELIT_EvaluateModel(sat, to->time, &to->position, &to->velocity)) return;
    if (sat->orbitModel == ORBIT_MODEL_NEWTON) {
        SATELIT_NewtonStep(sat, from, to->time, &to->position, &to->velocity);
        return;
    }
    to->position = from->position;
    to->velocity = from->velocity;
}

// A decayed orbit gives a state that is not finite; it is reported once, and
// the satellite keeps its last finite state so nothing downstream sees NaN.
static void PropagateChecked(SATELIT* sat, const SAT_ORBIT_POINT* from, SAT_ORBIT_POINT* to)
{
    Propagate(sat, from, to);
    if (SATELIT_IsFiniteState(&to->position, &to->velocity)) return;
    bool lastFinite = SATELIT_IsFiniteState(&from->position, &from->velocity);
    to->position = lastFinite ? from->position : VEC3{0.0, 0.0, 0.0};
    to->velocity = lastFinite ? from->velocity : VEC3{0.0, 0.0, 0.0};
    if (!sat->stateInvalidReported) {
        LOG_Printf("SATELIT: dráha satelitu %s nedává konečnou polohu, satelit zůstává na poslední platné poloze.\n",
                   sat->name ? sat->name : "");
        sat->stateInvalidReported = 1;
    }
}

// ---- environment at a grid point ----------------------------------------------------

static float DecimalYear(TIME_MS t)
{
    SYSTEMTIME st{};
    TIME_MsToSystemTime(t, &st);
    return static_cast<float>(st.wYear + ((st.wMonth - 1) * 30.5 + st.wDay - 1) / 365.25);
}

// Both the field model and the atmosphere are defined on the WGS-84
// ellipsoid: they get the geodetic latitude and the height above it, and the
// field's north-east-down answer is turned into ECI along the same normal.
void SATELIT_EnvironmentAtPoint(const SATELIT* sat, SAT_ORBIT_POINT* point)
{
    const VEC3* p = &point->position;
    double theta = ORBIT_EarthRotationAngleAt(point->time);
    double longitude, geocentric, radiusAltitude, latitude, height;
    SATELIT_Geocentric(p, theta, &longitude, &geocentric, &radiusAltitude);
    MAGFIELD_GeodeticFromAxial(hypot(p->x, p->y), p->z, &latitude, &height);
    if (sat->fieldModel == SAT_FIELD_HOMOGENOUS) {
        point->fieldEci = sat->homogeneousField;
    } else {
        float north = 0.0f, east = 0.0f, down = 0.0f;
        MAGFIELD_WmmFieldAt(static_cast<float>(latitude), static_cast<float>(longitude),
                            static_cast<float>(height * 1000.0), DecimalYear(point->time), &north, &east, &down);
        VEC3 ned{north, east, down};
        MAT33 m;
        SATELIT_NedToEciAt(latitude, longitude, theta, &m);
        MAT_MulVectorTo(&m, &ned, &point->fieldEci);
    }
    ATMO_SetModel(sat->atmosphereModel);
    point->airDensity = ATMO_GetDensity(height, longitude, latitude, point->time);
}

static void ComputePoint(SATELIT* sat, const SAT_ORBIT_POINT* from, TIME_MS t, SAT_ORBIT_POINT* to)
{
    to->time = t;
    PropagateChecked(sat, from, to);
    SATELIT_EnvironmentAtPoint(sat, to);
}

// ---- what the orbit steps keep ------------------------------------------------------

// The angle the field turns through over the span, per second: the turn rate
// of the field that the readers between the two points see.
static void UpdateFieldRotationRate(SATELIT* sat)
{
    const VEC3& a = sat->orbitPoints[0].fieldEci;
    const VEC3& b = sat->orbitPoints[1].fieldEci;
    double dt = sat->span.seconds;
    double lengths = VEC_Length(&a) * VEC_Length(&b);
    if (lengths <= 0.0) {
        sat->fieldRate = 0.0;
        sat->fieldPeriod = 1e10;
        return;
    }
    if (!(dt > 0.0)) return;   // a span of no length keeps the previous rate
    double c = VEC_Dot(&a, &b) / lengths;
    if (c > 1.0) c = 1.0;
    if (c < -1.0) c = -1.0;
    sat->fieldRate = acos(c) / dt;
    sat->fieldPeriod = sat->fieldRate < 1e-10 ? 1e10 : 2.0 * CONST_PI / sat->fieldRate;
}

static void StoreFieldHistory(SATELIT* sat, const VEC3& field)
{
    if (!sat->fieldHistoryOn) return;
    SATS_LockFieldHistory();
    bool store = sat->fieldHistoryCount == 0;
    if (!store) {
        double lengths = VEC_Length(&sat->lastStoredField) * VEC_Length(&field);
        store = lengths > 0.0 && VEC_Dot(&sat->lastStoredField, &field) / lengths < SATS_CosOneDegree();
    }
    if (store) {
        sat->fieldHistoryNewest = static_cast<uint16_t>((sat->fieldHistoryNewest + 1) % SAT_FIELD_HISTORY_SIZE);
        sat->fieldHistory[sat->fieldHistoryNewest] = field;
        sat->lastStoredField = field;
        if (sat->fieldHistoryCount < SAT_FIELD_HISTORY_SIZE) sat->fieldHistoryCount++;
    }
    SATS_UnlockFieldHistory();
}

static void UpdateLightRatio(SATELIT* sat)
{
    if (sat->lightDuration >= 0.0 && sat->shadowDuration >= 0.0 && sat->lightDuration + sat->shadowDuration > 0.0) {
        sat->lightRatio = sat->lightDuration / (sat->lightDuration + sat->shadowDuration) * 100.0;
    }
}

void SATELIT_UpdateLightDarkTimer(SATELIT* sat, double illumination)
{
    bool light = illumination >= 100.0;
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

static void StoreOrbitHistory(SATELIT* sat, const VEC3& position)
{
    if (!sat->orbitHistoryOn || !sat->historyBuffer) return;
    VEC3 d{sat->lastHistoryPoint.x - position.x, sat->lastHistoryPoint.y - position.y,
           sat->lastHistoryPoint.z - position.z};
    if (VEC_Dot(&d, &d) < sat->historySpacing) return;
    sat->historyBuffer[sat->historyNextIndex] = position;
    sat->historyNextIndex = (sat->historyNextIndex + 1) % sat->historyCapacity;
    if (sat->historyCount < sat->historyCapacity) sat->historyCount++;
    sat->lastHistoryPoint = position;
}

// The grid moves on by one period; a step that comes after the next grid
// point (not in a run, whose steps land on the grid) restarts the grid at the
// clock, so the state is never read outside the span around it.
static void AdvanceGrid(SATELIT* sat)
{
    TIME_MS now = g_simClock.clock;
    SAT_ORBIT_POINT* points = sat->orbitPoints;
    if (now == points[1].time) points[0] = points[1];
    else ComputePoint(sat, &points[1], now, &points[0]);
    ComputePoint(sat, &points[0], now + sat->orbitPeriod, &points[1]);
    SATELIT_SetSpan(sat);
}

// The light and shadow periods are timed at the orbit steps: a transition is
// seen at the first step after it, so they are accurate to the orbit step
// (the light-time accuracy).
void SATELIT_Step(SATELIT* sat)
{
    if (g_simClock.clock >= sat->orbitPoints[1].time) AdvanceGrid(sat);
    sat->orbitStepCount++;
    const SAT_ORBIT_POINT& now = sat->orbitPoints[0];
    UpdateFieldRotationRate(sat);
    StoreFieldHistory(sat, now.fieldEci);
    VEC3 sun;
    ORBIT_SunDirectionAt(now.time, &sun);
    SATELIT_UpdateLightDarkTimer(sat, SATELIT_Illumination(&now.position, &sun));
    StoreOrbitHistory(sat, now.position);
}

// ---- start ----------------------------------------------------------------------

// The grid starts at the clock from the configured state: a NEWTON satellite
// integrates from its state vectors, the other models propagate to the clock.
static void StartOrbit(SATELIT* sat)
{
    TIME_MS now = g_simClock.clock;
    SAT_ORBIT_POINT initial{now, sat->initialPosition, sat->initialVelocity, {0.0, 0.0, 0.0}, 0.0};
    if (sat->orbitModel == ORBIT_MODEL_NEWTON) {
        sat->orbitPeriod = kNewtonPeriodMs;
        VEC_Zero(&sat->newtonVelocityChange);
        sat->newtonStartVelocity = sat->initialVelocity;
    } else {
        sat->orbitPeriod = kModelPeriodMs;
    }
    if (sat->lightTimeAccuracy < sat->orbitPeriod) sat->orbitPeriod = sat->lightTimeAccuracy;
    ComputePoint(sat, &initial, now, &sat->orbitPoints[0]);
    ComputePoint(sat, &sat->orbitPoints[0], now + sat->orbitPeriod, &sat->orbitPoints[1]);
    SATELIT_SetSpan(sat);
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
    sat->fieldRate = 0.0;
    if (sat->infoWindowWanted && !SATELIT_OpenInfoWindow(sat)) sat->infoWindowWanted = 0;
    if (!StartSubModels(sat)) return 0;
    sat->nextProjectionTime = g_simClock.clock;
    sat->turnSinceProjection = 0.0;
    if (!StartAttitude(sat)) return 0;
    sat->attitudePending = 0;
    VEC_Zero(&sat->coilDipoleSum);
    sat->coilDipoleStale = 1;
    StartControllers(sat);
    // The modules' log lines name their satellite: twins may carry modules of one name.
    for (SWMODULE* module = sat->modules; module; module = module->next) module->satelliteName = sat->name;
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
    SATELIT_StateAt(sat, g_simClock.clock, &sat->display);
    return 1;
}
