// SAT: the keywords of a "satelit" block of "Objects.cfg".
#include <cmath>
#include <cstring>
#include "foundation/iotxt.h"
#include "foundation/log.h"
#include "foundation/memory.h"
#include "foundation/pool.h"
#include "simulation/main.h"
#include "simulation/satelit.h"
#include "simulation/satelit_parse_internal.h"
#include "simulation/satelit_values.h"

SAT_PARSE_FLAGS g_satParseFlags;

static uint32_t Line() { return IOTXT_GetLineNumber(); }

static uint32_t Fail(const char* format)
{
    LOG_Printf(format, Line());
    return 0;
}

uint32_t SAT_ExpectEndOfLine()
{
    if (IOTXT_IsEndOfLine()) return 1;
    return Fail("SAT: očekávám konec řádku na řádku %d.\n");
}

uint32_t SAT_ExpectEquals()
{
    if (IOTXT_MatchEquals()) return 1;
    return Fail("SAT: očekávám rovnítko na řádku %d.\n");
}

static const SAT_COLOR kDefaultModelColor{93, 251, 85};

uint32_t SAT_SetDefaults(SATELIT* sat)
{
    memset(&g_satParseFlags, 0, sizeof g_satParseFlags);
    sat->lightTimeAccuracy = 30000;
    sat->lightStateStart = g_simClock.clock;
    sat->kepler.kepler_dot_mean_motion = KEPLER_DOT_NOT_GIVEN;
    sat->fieldModel = SAT_FIELD_REAL;
    sat->atmosphereModel = SAT_ATMO_UASA2000;
    sat->initialAttitude = QUAT{1.0, 0.0, 0.0, 0.0};
    sat->meanReflectivity = 0.95;
    sat->dragCoefficient = 0.0;
    sat->graphicsModel = SAT_GRAPHICS_SPHERE;
    sat->radius = 0.1;
    sat->modelColor = kDefaultModelColor;
    sat->texture = -1;
    sat->trackColor = SAT_COLOR{128, 128, 128};
    sat->sunVectorColor = SAT_COLOR{237, 239, 73};
    sat->magVectorColor = SAT_COLOR{219, 66, 252};
    sat->sunProjectionDistance = 5.0;
    sat->sunProjectionColor = SAT_COLOR{231, 164, 169};
    sat->dragProjectionDistance = 5.0;
    sat->dragProjectionColor = SAT_COLOR{220, 164, 169};
    sat->extraColors[0] = SAT_COLOR{246, 164, 34};
    sat->extraColors[1] = SAT_COLOR{231, 255, 159};
    sat->lightDuration = -1.0;
    sat->shadowDuration = -1.0;
    sat->historySpacing = 25.0;
    sat->historyCapacity = SAT_ORBIT_HISTORY_CAPACITY;
    return 1;
}

// ---- identity and orbit ------------------------------------------------------

static uint32_t ParseName(SATELIT* sat)
{
    if (!SAT_ExpectEquals()) return 0;
    MEMORY_SetTag("SATELIT-name");
    char* name = IOTXT_ReadQuotedString();
    if (!name) return Fail("SAT: očekávám jméno satelitu na řádku %d.\n");
    if (sat->name) POOL_Free(sat->name);
    sat->name = name;
    return SAT_ExpectEndOfLine();
}

static uint32_t ParseOrbitModel(SATELIT* sat)
{
    static const char* const names[] = {"NEWTON", "SIMPLE_KEPLER", "ENHANCED_KEPLER", "SGP0",
                                        "SGP4", "SDP4", "SGP8", "SDP8"};
    if (!SAT_ExpectEquals()) return 0;
    for (uint32_t i = 0; i < 8; ++i) {
        if (IOTXT_MatchWord(names[i])) {
            sat->orbitModel = i + 1;
            return SAT_ExpectEndOfLine();
        }
    }
    return Fail("SAT: neznámý druh orbitálního modelu na řádku %d.\n");
}

static uint32_t ParseTle(SATELIT* sat)
{
    if (!SAT_ExpectEquals()) return 0;
    SAT_PARSE_FLAGS& f = g_satParseFlags;
    if (f.tle) return Fail("SAT: TLE nelze definovat vícekrát na řádku %d.\n");
    if (f.vectors) return Fail("SAT: stavové proměnné satelitu už byly určeny pomocí vektorů na řádku %d.\n");
    if (f.kepler) return Fail("SAT: stavové proměnné satelitu už byly určeny pomocí kepleriánů na řádku %d.\n");
    MEMORY_SetTag("SATELIT-tle-name");
    char* file = IOTXT_ReadQuotedString();
    if (!file) return Fail("SAT: očekávám název TLE souboru na řádku %d.\n");
    sat->tleFileName = file;
    f.tle = 1;
    return SAT_ExpectEndOfLine();
}

static uint32_t ParseStateVector(SATELIT* sat, bool position)
{
    if (!SAT_ExpectEquals()) return 0;
    SAT_PARSE_FLAGS& f = g_satParseFlags;
    if (f.tle) return Fail("SAT: stavové proměnné satelitu už byly určeny pomocí TLE na řádku %d.\n");
    if (f.kepler) return Fail("SAT: stavové proměnné satelitu už byly určeny pomocí kepleriánů na řádku %d.\n");
    uint32_t& given = position ? f.position : f.velocity;
    if (given) {
        return Fail(position ? "SAT: vektor pozice nelze definovat vícekrát na řádku %d.\n"
                             : "SAT: vektor rychlosti nelze definovat vícekrát na řádku %d.\n");
    }
    if (!SAT_ReadVector(position ? &sat->initialPosition : &sat->initialVelocity)) return 0;
    given = 1;
    f.vectors = 1;
    return SAT_ExpectEndOfLine();
}

struct SAT_KEPLER_KEY {
    const char* keyword;
    const char* label;
    double high;        // values must lie in <0; high); 0 when there is no range
    const char* range;  // range text of the message
};

static const SAT_KEPLER_KEY kKeplerKeys[SAT_KEPLER_VALUE_COUNT] = {
    {"kepler_raan", "RAAN", 360.0, "<0;360)"},
    {"kepler_inclination", "INKLINACE", 180.0, "<0;180)"},
    {"kepler_argument", "ARG.PERIGEA", 360.0, "<0;360)"},
    {"kepler_excentricity", "EXCENTRICITA", 1.0, "<0;1)"},
    {"kepler_meanmotion", "MEAN MOTION", 0.0, nullptr},
    {"kepler_meananomaly", "MEAN ANOMALY", 360.0, "<0;360)"},
    {"kepler_time", "KEPLER TIME", 0.0, nullptr},
};

static double* KeplerValue(SATELIT* sat, int index)
{
    double* values[6] = {&sat->kepler.kepler_raan, &sat->kepler.kepler_inclination,
                         &sat->kepler.kepler_argument, &sat->kepler.kepler_excentricity,
                         &sat->kepler.kepler_meanmotion, &sat->kepler.kepler_meananomaly};
    return values[index];
}

static uint32_t KeplerError(const char* pattern, const char* label)
{
    LOG_Printf(pattern, label, Line());
    return 0;
}

static uint32_t ReadKeplerValue(SATELIT* sat, int index)
{
    const SAT_KEPLER_KEY& key = kKeplerKeys[index];
    if (index == SAT_KEPLER_TIME_INDEX) {
        SYSTEMTIME st{};
        if (!IOTXT_ReadUtTime(&st)) return KeplerError("SAT: chybně zadaný parametr %s na řádku %d.\n", key.label);
        sat->kepler.kepler_time = TIME_SystemTimeToMs(&st);
        return 1;
    }
    double value;
    if (!IOTXT_ReadDouble(&value)) return KeplerError("SAT: chybně zadaný parametr %s na řádku %d.\n", key.label);
    // A mean motion of zero or less has no orbit: refused like a number that does not read.
    if (index == 4 && !(value > 0.0)) return KeplerError("SAT: chybně zadaný parametr %s na řádku %d.\n", key.label);
    if (key.range && !(value >= 0.0 && value < key.high)) {
        LOG_Printf("SAT: parametr %s na řádku %d je mimo rozsah %s.\n", key.label, Line(), key.range);
        return 0;
    }
    *KeplerValue(sat, index) = value;
    return 1;
}

static uint32_t ParseKeplerValue(SATELIT* sat, int index)
{
    if (!SAT_ExpectEquals()) return 0;
    SAT_PARSE_FLAGS& f = g_satParseFlags;
    if (f.tle) return Fail("SAT: stavové proměnné satelitu už byly určeny pomocí TLE na řádku %d.\n");
    if (f.vectors) return Fail("SAT: stavové proměnné satelitu už byly určeny pomocí vektorů na řádku %d.\n");
    if (f.keplerValue[index]) {
        return KeplerError("SAT: parametr %s nelze zadat vícekrát na řádku %d.\n", kKeplerKeys[index].label);
    }
    if (!ReadKeplerValue(sat, index)) return 0;
    f.keplerValue[index] = 1;
    f.kepler = 1;
    return SAT_ExpectEndOfLine();
}

static uint32_t ParseDotMeanMotion(SATELIT* sat)
{
    if (!SAT_ExpectEquals()) return 0;
    SAT_PARSE_FLAGS& f = g_satParseFlags;
    if (f.dotMeanMotion) return Fail("SAT: parametr DOT_MEAN_MOTION nelze zadat vícekrát na řádku %d.\n");
    if (IOTXT_MatchWord("auto")) {
        f.dotMeanMotionAuto = 1;
    } else {
        double perSecond;
        if (!SAT_ReadRatePerTime(&perSecond)) return Fail("SAT: chybně zadaný parametr DOT_MEAN_MOTION na řádku %d.\n");
        sat->kepler.kepler_dot_mean_motion = perSecond;
    }
    f.dotMeanMotion = 1;
    return SAT_ExpectEndOfLine();
}

// ---- environment and attitude -----------------------------------------------

static uint32_t ParseFieldModel(SATELIT* sat)
{
    if (!SAT_ExpectEquals()) return 0;
    if (g_satParseFlags.fieldModel) {
        return Fail("SAT: typ modelu magnetického pole satelitu už byl určen na řádku %d konfiguračního souboru.\n");
    }
    if (IOTXT_MatchWord("REAL")) {
        sat->fieldModel = SAT_FIELD_REAL;
    } else if (IOTXT_MatchWord("HOMOGENOUS")) {
        if (!IOTXT_MatchComma()) return Fail("SAT: očekávám čárku a určení vektoru homogenního pole na řádku %d.\n");
        if (!SAT_ReadVector(&sat->homogeneousField)) {
            return Fail("SAT: určení vektoru homogenního pole je chybné na řádku %d.\n");
        }
        sat->fieldModel = SAT_FIELD_HOMOGENOUS;
    } else {
        return Fail("SAT: neznámý název modelu magnetického pole na řádku %d.\n");
    }
    g_satParseFlags.fieldModel = 1;
    return SAT_ExpectEndOfLine();
}

static uint32_t ParseAtmosphereModel(SATELIT* sat)
{
    if (!SAT_ExpectEquals()) return 0;
    if (g_satParseFlags.atmosphereModel) {
        return Fail("SAT: typ modelu atmosféry už byl určen na řádku %d konfiguračního souboru.\n");
    }
    if (IOTXT_MatchWord("UASA2000")) {
        sat->atmosphereModel = SAT_ATMO_UASA2000;
    } else if (IOTXT_MatchWord("NRLMSISE00")) {
        sat->atmosphereModel = SAT_ATMO_NRLMSISE00;
    } else {
        return Fail("SAT: neznámý název modelu atmosféry na řádku %d.\n");
    }
    g_satParseFlags.atmosphereModel = 1;
    return SAT_ExpectEndOfLine();
}

static uint32_t ParseAttitude(SATELIT* sat)
{
    if (g_satParseFlags.attitude) {
        return Fail("SAT: orientace satelitu už byla zadána na řádku %d konfiguračního souboru.\n");
    }
    if (!IOTXT_MatchEquals()) {
        return Fail("SAT: očekává se rovnítko a určení orientace satelitu na řádku %d konfiguračního souboru.\n");
    }
    if (!SAT_ReadAttitude(&sat->initialAttitude)) {
        return Fail("SAT: určení počáteční orientace satelitu na řádku %d konfiguračního souboru je chybné.\n");
    }
    g_satParseFlags.attitude = 1;
    return SAT_ExpectEndOfLine();
}

static uint32_t ParseRotationAxis(SATELIT* sat)
{
    if (g_satParseFlags.rotationAxis) {
        return Fail("SAT: osa rotace satelitu už byla zadána na řádku %d konfiguračního souboru.\n");
    }
    if (!IOTXT_MatchEquals()) {
        return Fail("SAT: očekává se rovnítko a určení osy rotace satelitu na řádku %d konfiguračního souboru.\n");
    }
    VEC3 axis;
    if (!SAT_ReadVector(&axis)) {
        return Fail("SAT: určení počáteční osy rotace satelitu na řádku %d konfiguračního souboru je chybné.\n");
    }
    if (VEC_IsZero(&axis)) {
        // A zero axis has no direction; it would silently become the x axis.
        return Fail("SAT: určení počáteční osy rotace satelitu na řádku %d konfiguračního souboru je chybné.\n");
    }
    VEC_Normalize(&axis);
    sat->initialAngularVelocity = axis;
    g_satParseFlags.rotationAxis = 1;
    return SAT_ExpectEndOfLine();
}

static uint32_t ParseAngularVelocity(SATELIT* sat)
{
    if (g_satParseFlags.angularVelocity) {
        return Fail("SAT: počáteční rychlost rotace satelitu už byla zadána na řádku %d konfiguračního souboru.\n");
    }
    if (!g_satParseFlags.rotationAxis) {
        return Fail("SAT: před rychlostí rotace je nutno určit osu rotace satelitu na řádku %d konfiguračního souboru.\n");
    }
    if (!IOTXT_MatchEquals()) {
        return Fail("SAT: očekává se rovnítko a určení počáteční rychlosti rotace satelitu na řádku %d konfiguračního souboru.\n");
    }
    double rate;
    if (!SAT_ReadAngularRate(&rate)) {
        return Fail("SAT: určení počáteční rychlosti rotace satelitu na řádku %d konfiguračního souboru je chybné.\n");
    }
    VEC_SetLength(&sat->initialAngularVelocity, rate);
    g_satParseFlags.angularVelocity = 1;
    return SAT_ExpectEndOfLine();
}

static uint32_t ParseAttitudeModel(SATELIT* sat)
{
    static const char* const names[] = {"EULER", "SECOND_ORDER", "SECOND_ORDER_AUGMENTED", "THIRD_ORDER", "FOURTH_ORDER"};
    if (!SAT_ExpectEquals()) return 0;
    // SECOND_ORDER_AUGMENTED is tested before SECOND_ORDER would match its prefix:
    // whole-word matching already refuses the prefix, so table order is safe.
    for (uint32_t i = 0; i < 5; ++i) {
        if (IOTXT_MatchWord(names[i])) {
            sat->attitudeMethod = i + 1;
            g_satParseFlags.attitudeModel = 1;
            return SAT_ExpectEndOfLine();
        }
    }
    return Fail("SAT: naznámý název matematického modelu orientace na rádku %d.\n");
}

struct SAT_BODY_VECTOR_KEY {
    const char* twice;
    const char* bad;
};

static uint32_t ParseBodyVector(VEC3* out, uint32_t* given, const SAT_BODY_VECTOR_KEY& key)
{
    if (*given) return Fail(key.twice);
    if (!IOTXT_MatchEquals()) {
        return Fail("SAT: očekává se rovnítko a určení vektoru na řádku %d konfiguračního souboru.\n");
    }
    if (!SAT_ReadVector(out)) return Fail(key.bad);
    *given = 1;
    return SAT_ExpectEndOfLine();
}

static uint32_t ParseResidualDipole(SATELIT* sat)
{
    static const SAT_BODY_VECTOR_KEY key{
        "SAT: zbytkový dipólový moment už byl zadán na řádku %d konfiguračního souboru.\n",
        "SAT: určení zbytkového dipólového momentu na řádku %d konfiguračního souboru je chybné.\n"};
    return ParseBodyVector(&sat->residualDipole, &g_satParseFlags.residualDipole, key);
}

static uint32_t ParsePermanentMagnet(SATELIT* sat)
{
    static const SAT_BODY_VECTOR_KEY key{
        "SAT: Moment permanentního magnetu už byl zadán na řádku %d konfiguračního souboru.\n",
        "SAT: určení momentu permanentního magnetu na řádku %d konfiguračního souboru je chybné.\n"};
    return ParseBodyVector(&sat->permanentMagnet, &g_satParseFlags.permanentMagnet, key);
}

static uint32_t ParseTestTorqueBody(SATELIT* sat)
{
    static const SAT_BODY_VECTOR_KEY key{
        "SAT: testovací vektor body-momentu už byla zadán na řádku %d konfiguračního souboru.\n",
        "SAT: určení testovacího body-momentu na řádku %d konfiguračního souboru je chybné.\n"};
    return ParseBodyVector(&sat->bodyTestTorque, &sat->bodyTestTorqueGiven, key);
}

static uint32_t ParseTestTorqueEci(SATELIT* sat)
{
    static const SAT_BODY_VECTOR_KEY key{
        "SAT: testovací vektor eci-momentu už byla zadán na řádku %d konfiguračního souboru.\n",
        "SAT: určení testovacího eci-momentu na řádku %d konfiguračního souboru je chybné.\n"};
    return ParseBodyVector(&sat->eciTestTorque, &sat->eciTestTorqueGiven, key);
}

static uint32_t ParseEnergyDamping(SATELIT* sat)
{
    if (!SAT_ExpectEquals()) return 0;
    if (!SAT_ReadDamping(&sat->energyDamping)) return Fail("SAT: chybně zadaný parametr ENERGY_DAMPING na řádku %d.\n");
    return SAT_ExpectEndOfLine();
}

static uint32_t ParseBoundedDouble(double* out, double lo, double hi, const char* missing, const char* range)
{
    if (!SAT_ExpectEquals()) return 0;
    double value;
    if (!IOTXT_ReadDouble(&value)) return Fail(missing);
    if (!(value >= lo && value <= hi)) return Fail(range);
    *out = value;
    return SAT_ExpectEndOfLine();
}

static uint32_t ParseReflectivity(SATELIT* sat)
{
    return ParseBoundedDouble(&sat->meanReflectivity, 0.0, 1.0,
                              "SAT: očekávám hodnotu střední reflektivity satelitu na řádku %d.\n",
                              "SAT: chybná hodnota reflektivity na řádku %d.\n");
}

static uint32_t ParseDragCoefficient(SATELIT* sat)
{
    return ParseBoundedDouble(&sat->dragCoefficient, 0.0, 3.0,
                              "SAT: očekávám hodnotu koeficientu odporu atmosféry satelitu na řádku %d.\n",
                              "SAT: chybná hodnota koeficientu odporu atmosféry na řádku %d.\n");
}

static uint32_t ParseLightTimeAccuracy(SATELIT* sat)
{
    if (!SAT_ExpectEquals()) return 0;
    int64_t ms;
    if (!IOTXT_ReadDuration(&ms)) {
        return Fail("SAT: očekávám určení intervalu pro výpočet poměru světlo/tma na řádku %d.\n");
    }
    if (ms < 1 || ms > 86399) return Fail("SAT: parametr intervalu sledování světla na řádku %d je mimo rozsah.\n");
    sat->lightTimeAccuracy = static_cast<uint32_t>(ms);
    return SAT_ExpectEndOfLine();
}

// ---- keyword table ------------------------------------------------------------

struct SAT_KEYWORD {
    const char* word;
    uint32_t (*parse)(SATELIT*);
};

template <int Index>
static uint32_t ParseKeplerAt(SATELIT* sat) { return ParseKeplerValue(sat, Index); }
static uint32_t ParsePositionVector(SATELIT* sat) { return ParseStateVector(sat, true); }
static uint32_t ParseVelocityVector(SATELIT* sat) { return ParseStateVector(sat, false); }

static const SAT_KEYWORD kKeywords[] = {
    {"name", ParseName},
    {"orbit_model", ParseOrbitModel},
    {"tle", ParseTle},
    {"position_vector", ParsePositionVector},
    {"velocity_vector", ParseVelocityVector},
    {"kepler_raan", ParseKeplerAt<0>},
    {"kepler_inclination", ParseKeplerAt<1>},
    {"kepler_argument", ParseKeplerAt<2>},
    {"kepler_excentricity", ParseKeplerAt<3>},
    {"kepler_meanmotion", ParseKeplerAt<4>},
    {"kepler_meananomaly", ParseKeplerAt<5>},
    {"kepler_time", ParseKeplerAt<6>},
    {"kepler_dot_mean_motion", ParseDotMeanMotion},
    {"magnetic_field_model", ParseFieldModel},
    {"atmosphere_model", ParseAtmosphereModel},
    {"attitude_model", ParseAttitudeModel},
    {"attitude", ParseAttitude},
    {"rotation_axis", ParseRotationAxis},
    {"angular_velocity", ParseAngularVelocity},
    {"residual_dipole", ParseResidualDipole},
    {"permanent_magnet", ParsePermanentMagnet},
    {"test_torque_body", ParseTestTorqueBody},
    {"test_torque_eci", ParseTestTorqueEci},
    {"energy_damping", ParseEnergyDamping},
    {"mean_reflectivity", ParseReflectivity},
    {"drag_coefficient", ParseDragCoefficient},
    {"light_time_accuracy", ParseLightTimeAccuracy},
};

uint32_t SAT_ParseKeyword(SATELIT* sat)
{
    for (const SAT_KEYWORD& k : kKeywords) {
        if (IOTXT_MatchWord(k.word)) return k.parse(sat);
    }
    uint32_t handled = 0;
    uint32_t result = SAT_ParseDisplayKeyword(sat, &handled);
    if (handled) return result;
    result = SAT_ParseNestedKeyword(sat, &handled);
    if (handled) return result;
    LOG_Printf("SAT: neznámé slovo na řádku %d konfiguračního souboru.\n", Line());
    return 1;
}
