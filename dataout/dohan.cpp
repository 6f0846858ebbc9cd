// The table of recordable quantities: each row reads its parenthesised list
// of quoted names, links the names to the run's satellites, stations, coils
// and module outputs at every run start, and computes a real value.
#include "dataout/dohan.h"
#include <cmath>
#include "foundation/constants.h"
#include "foundation/iotxt.h"
#include "foundation/log.h"
#include "foundation/memory.h"
#include "foundation/pool.h"
#include "foundation/vecmath.h"

namespace {

DOHAN_SERVICES s_services{};

constexpr double kShortestPosition = 1e-10;

const char kMissingBracket[] = "DATAOUT: očekává se závorka na řádku %d.\n";
const char kMissingComma[] = "DATAOUT: očekává se čárka na řádku %d.\n";
const char kMissingFirstSat[] = "DATAOUT: očekává se jméno prvního satelitu v uvozovkách na řádku %d.\n";
const char kMissingSecondSat[] = "DATAOUT: očekává se jméno druhého satelitu v uvozovkách na řádku %d.\n";
const char kMissingSat[] = "DATAOUT: očekává se jméno satelitu v uvozovkách na řádku %d.\n";
const char kMissingVector[] = "DATAOUT: očekává se jméno vektoru satelitu v uvozovkách na řádku %d.\n";
const char kMissingModule[] = "DATAOUT: očekává se jméno palubního modulu v uvozovkách na řádku %d.\n";
const char kMissingStation[] = "DATAOUT: očekává se název pozorovacího místa v uvozovkách na řádku %d.\n";
const char kNoMemory[] = "DATAOUT: nedostatek paměti pro datový zdroj na řádku %d.\n";

uint32_t LineError(const char* format)
{
    LOG_Printf(format, (int)IOTXT_GetLineNumber());
    return 0;
}

void FreeText(char** text)
{
    if (*text) POOL_Free(*text);
    *text = nullptr;
}

// One quoted name of an argument list: the message when it is missing and
// the allocation tag of its text.
struct ARGUMENT {
    const char* missing;
    MEMORY_TAG tag;
};

// "(" name {"," name} ")" into names[0..count-1]; on failure the names read
// so far are freed and one message is written.
uint32_t ParseArguments(const ARGUMENT* args, int count, char** names)
{
    for (int i = 0; i < count; ++i) names[i] = nullptr;
    uint32_t ok = IOTXT_MatchChar('(') ? 1 : LineError(kMissingBracket);
    for (int i = 0; ok && i < count; ++i) {
        if (i > 0 && !IOTXT_MatchComma()) {
            ok = LineError(kMissingComma);
            break;
        }
        MEMORY_SetTag(args[i].tag);
        names[i] = IOTXT_ReadQuotedString();
        if (!names[i]) ok = LineError(args[i].missing);
    }
    if (ok && !IOTXT_MatchChar(')')) ok = LineError(kMissingBracket);
    if (!ok)
        for (int i = 0; i < count; ++i) FreeText(&names[i]);
    return ok;
}

// A new private record holding its value-initialised fields; null after the
// memory message.
template <class RECORD>
RECORD* NewRecord(MEMORY_TAG tag)
{
    MEMORY_SetTag(tag);
    RECORD* record = static_cast<RECORD*>(POOL_Alloc(sizeof(RECORD) + 1));
    if (!record) {
        LineError(kNoMemory);
        return nullptr;
    }
    *record = RECORD{};
    return record;
}

uint32_t LinkSatellite(const char* name, SATELIT** sat)
{
    *sat = s_services.findSatellite ? s_services.findSatellite(name) : nullptr;
    if (*sat) return 1;
    LOG_Printf("DATAOUT: satelit \"%s\" nenalezen.\n", name);
    return 0;
}

uint32_t SetReal(uint32_t* type, double* out, double value)
{
    *type = IOTXT_TYPE_DOUBLE;
    *out = value;
    return 1;
}

// ---------------------------------------------------------------- two satellites

struct TWO_SATELLITES {
    char* name1;
    char* name2;
    SATELIT* sat1;
    SATELIT* sat2;
};

struct MAX_DISTANCE {
    char* name1;
    char* name2;
    SATELIT* sat1;
    SATELIT* sat2;
    SATS_DISTANCE_WATCH* watch;   // the maximum is kept by the simulation on its orbit steps
};

const ARGUMENT kTwoSatellites[] = {{kMissingFirstSat, "DOHAN_Sat3DDistance-sat1"},
                                   {kMissingSecondSat, "DOHAN_Sat3DDistance-sat2"}};

template <class RECORD>
uint32_t ParseTwoSatellites(void** data, MEMORY_TAG tag)
{
    char* names[2];
    if (!ParseArguments(kTwoSatellites, 2, names)) return 0;
    RECORD* r = NewRecord<RECORD>(tag);
    if (!r) {
        FreeText(&names[0]);
        FreeText(&names[1]);
        return 0;
    }
    r->name1 = names[0];
    r->name2 = names[1];
    *data = r;
    return 1;
}

uint32_t ParseDistance(void** data) { return ParseTwoSatellites<TWO_SATELLITES>(data, "DOHAN-DATA:Satelit3DDistance"); }
uint32_t ParseAngle(void** data) { return ParseTwoSatellites<TWO_SATELLITES>(data, "DOHAN-DATA:SatelitAngleDistance"); }
uint32_t ParseMaxDistance(void** data) { return ParseTwoSatellites<MAX_DISTANCE>(data, "DOHAN-DATA:SatelitMax3DDistance"); }

template <class RECORD>
uint32_t LinkTwoSatellites(void* data)
{
    RECORD* r = static_cast<RECORD*>(data);
    return LinkSatellite(r->name1, &r->sat1) && LinkSatellite(r->name2, &r->sat2);
}

template <class RECORD>
void FreeTwoSatellites(void* data)
{
    RECORD* r = static_cast<RECORD*>(data);
    FreeText(&r->name1);
    FreeText(&r->name2);
}

// Each run starts its maximum afresh, at the run's start.
uint32_t LinkMaxDistance(void* data)
{
    MAX_DISTANCE* r = static_cast<MAX_DISTANCE*>(data);
    r->watch = nullptr;
    if (!LinkTwoSatellites<MAX_DISTANCE>(data)) return 0;
    if (!s_services.watchDistance) return 1;
    r->watch = s_services.watchDistance(r->sat1, r->sat2);
    return r->watch ? 1 : 0;
}

// The ECI position of a linked satellite, km; zero for none.
VEC3 Position(const SATELIT* sat)
{
    VEC3 p{0.0, 0.0, 0.0};
    if (sat && s_services.getPosition) s_services.getPosition(sat, &p);
    return p;
}

double Distance(const SATELIT* sat1, const SATELIT* sat2)
{
    VEC3 p1 = Position(sat1), p2 = Position(sat2);
    return VEC_Distance(&p1, &p2);
}

uint32_t ComputeDistance(void* data, uint32_t* type, double* value, char**)
{
    if (!data) return 0;
    const TWO_SATELLITES* r = static_cast<const TWO_SATELLITES*>(data);
    return SetReal(type, value, Distance(r->sat1, r->sat2));
}

// Only read: the largest distance over the orbit steps up to the clock.
uint32_t ComputeMaxDistance(void* data, uint32_t* type, double* value, char**)
{
    if (!data) return 0;
    const MAX_DISTANCE* r = static_cast<const MAX_DISTANCE*>(data);
    double maximum = r->watch && s_services.maxDistance ? s_services.maxDistance(r->watch) : 0.0;
    return SetReal(type, value, maximum);
}

// The angle is taken from the cross and dot products rather than from the
// arc cosine of p1.p2 / |p1| / |p2|: rounding pushes that cosine just past 1
// for one satellite named twice (NaN), or just below it (a false angle),
// while the cross product of a vector with itself is exactly zero.
uint32_t ComputeAngle(void* data, uint32_t* type, double* value, char**)
{
    if (!data) return 0;
    const TWO_SATELLITES* r = static_cast<const TWO_SATELLITES*>(data);
    VEC3 p1 = Position(r->sat1), p2 = Position(r->sat2);
    double l1 = VEC_Length(&p1), l2 = VEC_Length(&p2);
    if (l1 < kShortestPosition || l2 < kShortestPosition) return SetReal(type, value, 0.0);
    VEC3 cross{};
    VEC_Cross(&p1, &p2, &cross);
    return SetReal(type, value, atan2(VEC_Length(&cross), VEC_Dot(&p1, &p2)) * CONST_RAD_TO_DEG);
}

// ---------------------------------------------------------------- one satellite

struct ONE_SATELLITE {
    char* name;
    SATELIT* sat;
};

const ARGUMENT kOneSatellite[] = {{kMissingSat, "DOHAN_SatValue-sat"}};

uint32_t ParseOneSatellite(void** data)
{
    char* name = nullptr;
    if (!ParseArguments(kOneSatellite, 1, &name)) return 0;
    ONE_SATELLITE* r = NewRecord<ONE_SATELLITE>("DOHAN-DATA:SatelitValue");
    if (!r) {
        FreeText(&name);
        return 0;
    }
    r->name = name;
    *data = r;
    return 1;
}

uint32_t LinkOneSatellite(void* data)
{
    ONE_SATELLITE* r = static_cast<ONE_SATELLITE*>(data);
    return LinkSatellite(r->name, &r->sat);
}

void FreeOneSatellite(void* data) { FreeText(&static_cast<ONE_SATELLITE*>(data)->name); }

template <DOHAN_SCALAR SCALAR>
uint32_t ComputeScalar(void* data, uint32_t* type, double* value, char**)
{
    if (!data) return 0;
    double x = 0.0;
    const SATELIT* sat = static_cast<const ONE_SATELLITE*>(data)->sat;
    if (sat && s_services.getScalar[SCALAR]) s_services.getScalar[SCALAR](sat, &x);
    return SetReal(type, value, x);
}

// ---------------------------------------------------------------- satellite vector

struct SATELLITE_VECTOR {
    char* satName;
    char* vectorName;
    SATELIT* sat;
    uint32_t vectorId;
};

const ARGUMENT kSatelliteVector[] = {{kMissingSat, "DOHAN_SatVector-sat"},
                                     {kMissingVector, "DOHAN_SatVector-vector"}};

uint32_t ParseSatelliteVector(void** data)
{
    char* names[2];
    if (!ParseArguments(kSatelliteVector, 2, names)) return 0;
    SATELLITE_VECTOR* r = NewRecord<SATELLITE_VECTOR>("DOHAN-DATA:SatelitVector");
    if (!r) {
        FreeText(&names[0]);
        FreeText(&names[1]);
        return 0;
    }
    r->satName = names[0];
    r->vectorName = names[1];
    *data = r;
    return 1;
}

uint32_t LinkSatelliteVector(void* data)
{
    SATELLITE_VECTOR* r = static_cast<SATELLITE_VECTOR*>(data);
    if (!LinkSatellite(r->satName, &r->sat)) return 0;
    r->vectorId = s_services.findVectorId ? s_services.findVectorId(r->vectorName) : 0;
    if (r->vectorId) return 1;
    LOG_Printf("DATAOUT: vektor \"%s\" nebyl nalezen.\n", r->vectorName);
    return 0;
}

void FreeSatelliteVector(void* data)
{
    SATELLITE_VECTOR* r = static_cast<SATELLITE_VECTOR*>(data);
    FreeText(&r->satName);
    FreeText(&r->vectorName);
}

// Component 0 is the length, 1..3 are x, y, z.
double Component(const VEC3& v, int component)
{
    switch (component) {
    case 1: return v.x;
    case 2: return v.y;
    case 3: return v.z;
    default: return VEC_Length(&v);
    }
}

template <int COMPONENT>
uint32_t ComputeSatelliteVector(void* data, uint32_t* type, double* value, char**)
{
    if (!data) return 0;
    const SATELLITE_VECTOR* r = static_cast<const SATELLITE_VECTOR*>(data);
    VEC3 v{0.0, 0.0, 0.0};
    if (r->sat && s_services.getVector) s_services.getVector(r->sat, r->vectorId, &v);
    return SetReal(type, value, Component(v, COMPONENT));
}

// ---------------------------------------------------------------- module vector

struct MODULE_VECTOR {
    char* satName;
    char* moduleName;
    char* outputName;
    SW_VALUE* value;
    SATELIT* sat;
};

const ARGUMENT kModuleVector[] = {{kMissingSat, "DOHAN_ModuleVector-sat"},
                                  {kMissingModule, "DOHAN_ModuleVector-module"},
                                  {kMissingVector, "DOHAN_ModuleVector-output"}};

uint32_t ParseModuleVector(void** data)
{
    char* names[3];
    if (!ParseArguments(kModuleVector, 3, names)) return 0;
    MODULE_VECTOR* r = NewRecord<MODULE_VECTOR>("DOHAN-DATA:ModuleVector");
    if (!r) {
        for (char*& name : names) FreeText(&name);
        return 0;
    }
    r->satName = names[0];
    r->moduleName = names[1];
    r->outputName = names[2];
    *data = r;
    return 1;
}

uint32_t LinkModuleVector(void* data)
{
    MODULE_VECTOR* r = static_cast<MODULE_VECTOR*>(data);
    r->value = nullptr;
    if (!LinkSatellite(r->satName, &r->sat)) return 0;
    if (s_services.findModuleOutput) r->value = s_services.findModuleOutput(r->sat, r->moduleName, r->outputName);
    if (!r->value) {
        LOG_Printf("DATAOUT: výstup \"%s\" modulu \"%s\" nebyl nalezen.\n", r->outputName, r->moduleName);
        return 0;
    }
    if (!s_services.isVector3 || !s_services.isVector3(r->value)) {
        LOG_Printf("DATAOUT: výstup \"%s\" modulu \"%s\" není vektorového typu.\n", r->outputName, r->moduleName);
        r->value = nullptr;
        return 0;
    }
    return 1;
}

void FreeModuleVector(void* data)
{
    MODULE_VECTOR* r = static_cast<MODULE_VECTOR*>(data);
    FreeText(&r->satName);
    FreeText(&r->moduleName);
    FreeText(&r->outputName);
}

template <int COMPONENT>
uint32_t ComputeModuleVector(void* data, uint32_t* type, double* value, char**)
{
    if (!data) return 0;
    const MODULE_VECTOR* r = static_cast<const MODULE_VECTOR*>(data);
    double v[3] = {0.0, 0.0, 0.0};
    if (r->value && s_services.getVector3) s_services.getVector3(r->value, v);
    return SetReal(type, value, Component(VEC3{v[0], v[1], v[2]}, COMPONENT));
}

// ---------------------------------------------------------------- coil

struct SATELLITE_COIL {
    char* satName;
    char* coilName;
    SATELIT* sat;
    COIL* coil;
};

const ARGUMENT kSatelliteCoil[] = {{kMissingSat, "DOHAN_SatCoil-sat"}, {kMissingVector, "DOHAN_SatCoil-coil"}};

uint32_t ParseSatelliteCoil(void** data)
{
    char* names[2];
    if (!ParseArguments(kSatelliteCoil, 2, names)) return 0;
    SATELLITE_COIL* r = NewRecord<SATELLITE_COIL>("DOHAN-DATA:SatelitCoil");
    if (!r) {
        FreeText(&names[0]);
        FreeText(&names[1]);
        return 0;
    }
    r->satName = names[0];
    r->coilName = names[1];
    *data = r;
    return 1;
}

uint32_t LinkSatelliteCoil(void* data)
{
    SATELLITE_COIL* r = static_cast<SATELLITE_COIL*>(data);
    r->coil = nullptr;
    if (!LinkSatellite(r->satName, &r->sat)) return 0;
    if (s_services.findCoil) r->coil = s_services.findCoil(r->sat, r->coilName);
    if (r->coil) return 1;
    LOG_Printf("DATAOUT: cívka \"%s\" nebyla v satelitu \"%s\" nalezena.\n", r->coilName, r->satName);
    return 0;
}

uint32_t LinkSatelliteCoilPower(void* data)
{
    if (!LinkSatelliteCoil(data)) return 0;
    if (s_services.readCoilPower) s_services.readCoilPower(static_cast<SATELLITE_COIL*>(data)->coil);
    return 1;
}

void FreeSatelliteCoil(void* data)
{
    SATELLITE_COIL* r = static_cast<SATELLITE_COIL*>(data);
    FreeText(&r->satName);
    FreeText(&r->coilName);
}

uint32_t ComputeCoilEnergy(void* data, uint32_t* type, double* value, char**)
{
    if (!data) return 0;
    const SATELLITE_COIL* r = static_cast<const SATELLITE_COIL*>(data);
    double energy = r->coil && s_services.coilEnergy ? s_services.coilEnergy(r->coil) : 0.0;
    return SetReal(type, value, energy);
}

template <uint32_t PERIOD_MS>
uint32_t ComputeCoilPower(void* data, uint32_t* type, double* value, char**)
{
    if (!data) return 0;
    const SATELLITE_COIL* r = static_cast<const SATELLITE_COIL*>(data);
    double power = r->coil && s_services.coilPower ? s_services.coilPower(r->coil, PERIOD_MS) : 0.0;
    return SetReal(type, value, power);
}

// ---------------------------------------------------------------- station and satellite

struct STATION_SATELLITE {
    char* stationName;
    char* satName;
    GROUND_STATION* station;
    SATELIT* sat;
};

const ARGUMENT kStationSatellite[] = {{kMissingStation, "DOHAN_GroundSat-station"},
                                      {kMissingSat, "DOHAN_GroundSat-sat"}};

uint32_t ParseStationSatellite(void** data)
{
    char* names[2];
    if (!ParseArguments(kStationSatellite, 2, names)) return 0;
    STATION_SATELLITE* r = NewRecord<STATION_SATELLITE>("DOHAN-DATA:GroundSatelit");
    if (!r) {
        FreeText(&names[0]);
        FreeText(&names[1]);
        return 0;
    }
    r->stationName = names[0];
    r->satName = names[1];
    *data = r;
    return 1;
}

uint32_t LinkStationSatellite(void* data)
{
    STATION_SATELLITE* r = static_cast<STATION_SATELLITE*>(data);
    r->station = s_services.findStation ? s_services.findStation(r->stationName) : nullptr;
    if (!r->station) {
        LOG_Printf("DATAOUT: pozorovací místo \"%s\" nenalezeno.\n", r->stationName);
        return 0;
    }
    return LinkSatellite(r->satName, &r->sat);
}

void FreeStationSatellite(void* data)
{
    STATION_SATELLITE* r = static_cast<STATION_SATELLITE*>(data);
    FreeText(&r->stationName);
    FreeText(&r->satName);
}

enum OBSERVED { OBSERVED_DISTANCE, OBSERVED_RANGE_RATE, OBSERVED_AZIMUTH, OBSERVED_ELEVATION };

template <OBSERVED OUTPUT>
uint32_t ComputeStationSatellite(void* data, uint32_t* type, double* value, char**)
{
    if (!data) return 0;
    const STATION_SATELLITE* r = static_cast<const STATION_SATELLITE*>(data);
    double azimuth = 0.0, elevation = 0.0, distance = 0.0, rangeRate = 0.0;
    uint32_t visible = 0;
    if (r->station && r->sat && s_services.observe)
        s_services.observe(r->station, r->sat, &azimuth, &elevation, &distance, &rangeRate, &visible);
    const double outputs[] = {distance, rangeRate, azimuth, elevation};
    return SetReal(type, value, outputs[OUTPUT]);
}

// ---------------------------------------------------------------- rows

constexpr DOHAN_ROW TwoSatelliteRow(const char* keyword, uint32_t (*parse)(void**),
                                    uint32_t (*compute)(void*, uint32_t*, double*, char**))
{
    return {keyword, parse, LinkTwoSatellites<TWO_SATELLITES>, compute, FreeTwoSatellites<TWO_SATELLITES>};
}

constexpr DOHAN_ROW ScalarRow(const char* keyword, uint32_t (*compute)(void*, uint32_t*, double*, char**))
{
    return {keyword, ParseOneSatellite, LinkOneSatellite, compute, FreeOneSatellite};
}

constexpr DOHAN_ROW VectorRow(const char* keyword, uint32_t (*compute)(void*, uint32_t*, double*, char**))
{
    return {keyword, ParseSatelliteVector, LinkSatelliteVector, compute, FreeSatelliteVector};
}

constexpr DOHAN_ROW ModuleRow(const char* keyword, uint32_t (*compute)(void*, uint32_t*, double*, char**))
{
    return {keyword, ParseModuleVector, LinkModuleVector, compute, FreeModuleVector};
}

constexpr DOHAN_ROW CoilRow(const char* keyword, uint32_t (*compute)(void*, uint32_t*, double*, char**))
{
    return {keyword, ParseSatelliteCoil, LinkSatelliteCoil, compute, FreeSatelliteCoil};
}

constexpr DOHAN_ROW CoilPowerRow(const char* keyword, uint32_t (*compute)(void*, uint32_t*, double*, char**))
{
    return {keyword, ParseSatelliteCoil, LinkSatelliteCoilPower, compute, FreeSatelliteCoil};
}

constexpr DOHAN_ROW GroundRow(const char* keyword, uint32_t (*compute)(void*, uint32_t*, double*, char**))
{
    return {keyword, ParseStationSatellite, LinkStationSatellite, compute, FreeStationSatellite};
}

}  // namespace

void DOHAN_SetServices(const DOHAN_SERVICES* services)
{
    s_services = services ? *services : DOHAN_SERVICES{};
}

const DOHAN_ROW DOHAN_Table[] = {
    TwoSatelliteRow("SATELITS_3D_DISTANCE_KM", ParseDistance, ComputeDistance),
    {"SATELITS_MAX3D_DISTANCE_KM", ParseMaxDistance, LinkMaxDistance, ComputeMaxDistance,
     FreeTwoSatellites<MAX_DISTANCE>},
    TwoSatelliteRow("SATELITS_ANGLEDEG_DISTANCE", ParseAngle, ComputeAngle),
    ScalarRow("SATELIT_LONGITUDE_DEG", ComputeScalar<DOHAN_LONGITUDE>),
    ScalarRow("SATELIT_LATITUDE_DEG", ComputeScalar<DOHAN_LATITUDE>),
    VectorRow("SATELIT_VECTOR_MAGNITUDE", ComputeSatelliteVector<0>),
    VectorRow("SATELIT_VECTOR_X", ComputeSatelliteVector<1>),
    VectorRow("SATELIT_VECTOR_Y", ComputeSatelliteVector<2>),
    VectorRow("SATELIT_VECTOR_Z", ComputeSatelliteVector<3>),
    ModuleRow("SATELIT_MODULE_VECTOR_MAGNITUDE", ComputeModuleVector<0>),
    ModuleRow("SATELIT_MODULE_VECTOR_X", ComputeModuleVector<1>),
    ModuleRow("SATELIT_MODULE_VECTOR_Y", ComputeModuleVector<2>),
    ModuleRow("SATELIT_MODULE_VECTOR_Z", ComputeModuleVector<3>),
    ScalarRow("SATELIT_ALTITUDE_KM", ComputeScalar<DOHAN_ALTITUDE>),
    ScalarRow("SATELIT_MAGVECTOR_MAGNITUDE_NT", ComputeScalar<DOHAN_FIELD_MAGNITUDE>),
    ScalarRow("SATELIT_MAGVECTOR_ANGULAR_VELOCITY_RADS", ComputeScalar<DOHAN_FIELD_ROTATION_RATE>),
    ScalarRow("SATELIT_MAGVECTOR_ROTATION_PERIOD_S", ComputeScalar<DOHAN_FIELD_ROTATION_PERIOD>),
    ScalarRow("SATELIT_ANGULAR_VELOCITY_MAGNITUDE", ComputeScalar<DOHAN_ANGULAR_SPEED>),
    ScalarRow("SATELIT_ROTATION_PERIOD", ComputeScalar<DOHAN_ROTATION_PERIOD>),
    ScalarRow("SATELIT_LIGHT_INTENSITY_PERCENT", ComputeScalar<DOHAN_ILLUMINATION>),
    ScalarRow("SATELIT_LIGHT_INTENSITY_RATIO_PERCENT", ComputeScalar<DOHAN_LIGHT_RATIO>),
    ScalarRow("SATELIT_ATMOSPHERE_DENSITY_KGM3", ComputeScalar<DOHAN_AIR_DENSITY>),
    ScalarRow("SATELIT_DRAG_FORCE_PER_M2_N", ComputeScalar<DOHAN_DRAG_PRESSURE>),
    ScalarRow("SATELIT_SOLAR_FORCE_PER_M2_N", ComputeScalar<DOHAN_SOLAR_PRESSURE>),
    CoilRow("SATELIT_COIL_TOTAL_CONSUMPTION_J", ComputeCoilEnergy),
    CoilPowerRow("SATELIT_COIL_AVG_POWER_10S_W", ComputeCoilPower<10000>),
    CoilPowerRow("SATELIT_COIL_AVG_POWER_60S_W", ComputeCoilPower<60000>),
    GroundRow("GROUND_SATELIT_DISTANCE_KM", ComputeStationSatellite<OBSERVED_DISTANCE>),
    GroundRow("GROUND_SATELIT_VELOCITY_MS", ComputeStationSatellite<OBSERVED_RANGE_RATE>),
    GroundRow("GROUND_SATELIT_AZIMUTH_DEG", ComputeStationSatellite<OBSERVED_AZIMUTH>),
    GroundRow("GROUND_SATELIT_ELEVATION_DEG", ComputeStationSatellite<OBSERVED_ELEVATION>),
    {nullptr, nullptr, nullptr, nullptr, nullptr},
};
