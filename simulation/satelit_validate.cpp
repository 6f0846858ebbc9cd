// SAT: completion of a satellite definition at its "end": defaults of the Kepler
// values, the initial state of the chosen orbit model, and the required models.
#include <cmath>
#include "foundation/log.h"
#include "foundation/util.h"
#include "models/kepler.h"
#include "models/sgp_tle.h"
#include "onboard/swmodule.h"
#include "simulation/main.h"
#include "simulation/satelit.h"
#include "simulation/satelit_parse_internal.h"

struct SAT_KEPLER_DEFAULT {
    int index;
    double value;
    const char* message;
};

static void DefaultMissingKeplerValues(SATELIT* sat)
{
    static const SAT_KEPLER_DEFAULT defaults[] = {
        {0, 0.0, "SAT: pro satelit \"%s\" nebyla zadána rektascenze (RAAN), bude default 0.\n"},
        {1, 0.0, "SAT: pro satelit \"%s\" nebyla zadána inklinace (i), bude default 0.\n"},
        {2, 0.0, "SAT: pro satelit \"%s\" nebyl zadán argument perigea (omega), bude default 0.\n"},
        {3, 0.0, "SAT: pro satelit \"%s\" nebyla zadána excentricita dráhy (e), bude default 0.\n"},
        {4, 14.4, "SAT: pro satelit \"%s\" nebyl zadán mean motion (n), bude default 1/6000 sec.\n"},
        {5, 0.0, "SAT: pro satelit \"%s\" nebyla zadána mean anomaly (M), bude default 0.\n"},
    };
    double* values[6] = {&sat->kepler.kepler_raan, &sat->kepler.kepler_inclination,
                         &sat->kepler.kepler_argument, &sat->kepler.kepler_excentricity,
                         &sat->kepler.kepler_meanmotion, &sat->kepler.kepler_meananomaly};
    for (const SAT_KEPLER_DEFAULT& d : defaults) {
        if (g_satParseFlags.keplerValue[d.index]) continue;
        *values[d.index] = d.value;
        LOG_Printf(d.message, sat->name);
    }
    if (!g_satParseFlags.keplerValue[SAT_KEPLER_TIME_INDEX]) {
        sat->kepler.kepler_time = g_simClock.clock;
        LOG_Printf("SAT: pro satelit \"%s\" nebyla zadán čas, pro který kepleriány platí, bude default aktuální čas.\n",
                   sat->name);
    }
}

// A mean motion of zero or less, or an eccentricity outside [0, 1), has no orbit.
static uint32_t CheckTleElements(SATELIT* sat)
{
    const SGP_ELEMENTS& el = sat->elements;
    if (!(el.mean_motion > 0.0) || !(el.eccentricity >= 0.0 && el.eccentricity < 1.0)) {
        LOG_Printf("SAT: pro satelit \"%s\" nelze načíst TLE soubor \"%s\".\n", sat->name, sat->tleFileName);
        return 0;
    }
    return 1;
}

static uint32_t LoadInitialStateSource(SATELIT* sat)
{
    SAT_PARSE_FLAGS& f = g_satParseFlags;
    if (f.kepler) {
        DefaultMissingKeplerValues(sat);
        return 1;
    }
    if (f.tle) {
        // A name written on Windows may use "\\" and another letter case.
        char path[1000];
        if (!UTIL_ResolvePath(sat->tleFileName, path, sizeof path) || !SGP_ReadTleFile(&sat->tleText, path)) {
            LOG_Printf("SAT: pro satelit \"%s\" nelze načíst TLE soubor \"%s\".\n", sat->name, sat->tleFileName);
            return 0;
        }
        SGP_ParseTle(&sat->tleText, &sat->elements);
        return CheckTleElements(sat);
    }
    if (!f.position && !f.velocity) {
        LOG_Printf("SAT: pro satelit \"%s\" nebyly zadány výchozí parametry.\n", sat->name);
        return 0;
    }
    if (!f.position) {
        LOG_Printf("SAT: pro satelit \"%s\" nebyla zadána výchozí pozice v ECI.\n", sat->name);
        return 0;
    }
    if (!f.velocity) {
        LOG_Printf("SAT: pro satelit \"%s\" nebyla zadána výchozí rychlost v ECI.\n", sat->name);
        return 0;
    }
    return 1;
}

// Kepler values from the configured state vectors, valid at the current clock.
static uint32_t ElementsFromVectors(SATELIT* sat)
{
    double p[3] = {sat->initialPosition.x, sat->initialPosition.y, sat->initialPosition.z};
    double v[3] = {sat->initialVelocity.x, sat->initialVelocity.y, sat->initialVelocity.z};
    double e[6];
    if (!KEPLER_ElementsFromState(p, v, e)) return 0;
    sat->kepler.kepler_raan = e[KEPLER_RAAN];
    sat->kepler.kepler_inclination = e[KEPLER_INCLINATION];
    sat->kepler.kepler_argument = e[KEPLER_ARGUMENT];
    sat->kepler.kepler_excentricity = e[KEPLER_EXCENTRICITY];
    sat->kepler.kepler_meanmotion = e[KEPLER_MEANMOTION];
    sat->kepler.kepler_meananomaly = e[KEPLER_MEANANOMALY];
    sat->kepler.kepler_time = g_simClock.clock;
    return 1;
}

static uint32_t SetUpNewton(SATELIT* sat)
{
    SAT_PARSE_FLAGS& f = g_satParseFlags;
    if (f.kepler) {
        KEPLER_Setup(&sat->kepler);
        KEPLER_PropagateSimple(&sat->kepler, g_simClock.clock, &sat->initialPosition, &sat->initialVelocity);
    } else if (f.tle) {
        KEPLER_PropagateSgp(&sat->elements, 3, g_simClock.clock, &sat->initialPosition, &sat->initialVelocity);
    }
    return 1;
}

static uint32_t SetUpKepler(SATELIT* sat, bool enhanced)
{
    SAT_PARSE_FLAGS& f = g_satParseFlags;
    if (f.tle) {
        KEPLER_ElementsFromSgp4(&sat->kepler, &sat->elements);
    } else if (!f.kepler && !ElementsFromVectors(sat)) {
        return 0;
    }
    KEPLER_Setup(&sat->kepler);
    if (!enhanced) return 1;
    KEPLER_SecularRates(&sat->kepler);
    if (f.tle && f.dotMeanMotionAuto && !KEPLER_FitDotMeanMotion(&sat->kepler, &sat->elements)) return 0;
    if (sat->kepler.kepler_dot_mean_motion >= KEPLER_DOT_GIVEN_LIMIT) sat->kepler.kepler_dot_mean_motion = 0.0;
    return 1;
}

static uint32_t SetUpSgp(SATELIT* sat)
{
    SAT_PARSE_FLAGS& f = g_satParseFlags;
    if (f.tle) return 1;
    if (!f.kepler && !ElementsFromVectors(sat)) return 0;
    sat->elements.deep_space = KEPLER_Sgp4FromElements(&sat->kepler, &sat->elements);
    return 1;
}

static uint32_t SetUpOrbitModel(SATELIT* sat)
{
    switch (sat->orbitModel) {
    case ORBIT_MODEL_NEWTON: return SetUpNewton(sat);
    case ORBIT_MODEL_SIMPLE_KEPLER: return SetUpKepler(sat, false);
    case ORBIT_MODEL_ENHANCED_KEPLER: return SetUpKepler(sat, true);
    case ORBIT_MODEL_SGP0:
    case ORBIT_MODEL_SGP4:
    case ORBIT_MODEL_SDP4:
    case ORBIT_MODEL_SGP8:
    case ORBIT_MODEL_SDP8: return SetUpSgp(sat);
    default:
        LOG_Printf("SAT: satelit \"%s\" nemá určený model ¨pro počítání dráhy.\n", sat->name);
        return 0;
    }
}

// The attitude needs the body's inertia from a mass model, the solar and drag
// torques the areas of a surface model, the magnetic disturbance torque the
// residual dipole.
static uint32_t CheckRequiredModels(SATELIT* sat)
{
    if (!sat->massModels) {
        LOG_Printf("SAT: satelit \"%s\" nemá určený žádný model hmoty pro výpočty rotace a orientace.\n", sat->name);
        return 0;
    }
    if (!sat->surfaceModels) {
        LOG_Printf("SAT: satelit \"%s\" nemá určený žádný model povrchu pro výpočty tlaku slunečního záření a odporu "
                   "atmosféry.\n",
                   sat->name);
        return 0;
    }
    if (sat->magneticTorque && !g_satParseFlags.residualDipole) {
        LOG_Printf("SAT: satelit \"%s\" nemá určený zbytkový magnetický moment pro výpočet magnetického rušivého momentu.\n",
                   sat->name);
        return 0;
    }
    sat->massModelInUse = sat->massModels;
    sat->surfaceModelInUse = sat->surfaceModels;
    return 1;
}

static void CompleteAttitude(SATELIT* sat)
{
    if (!g_satParseFlags.attitudeModel) {
        LOG_Printf("SAT: satelit \"%s\" nemá určený matematický model pro výpočty rotace a orientace, použije se Eulerův.\n",
                   sat->name);
        sat->attitudeMethod = ATTITUDE_EULER;
    }
    if (!g_satParseFlags.attitude) sat->initialAttitude = QUAT{1.0, 0.0, 0.0, 0.0};
    if (!(g_satParseFlags.rotationAxis && g_satParseFlags.angularVelocity)) VEC_Zero(&sat->initialAngularVelocity);
}

uint32_t SAT_Validate(SATELIT* sat)
{
    sat->lastOrbitTime = g_simClock.clock;
    if (!LoadInitialStateSource(sat)) return 0;
    if (!SetUpOrbitModel(sat)) return 0;
    for (SWMODULE* module = sat->modules; module; module = module->next)
        if (!SWMODULE_LinkConnections(module, sat->modules)) return 0;
    if (!CheckRequiredModels(sat)) return 0;
    CompleteAttitude(sat);
    return 1;
}
