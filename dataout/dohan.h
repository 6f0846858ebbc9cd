// DOHAN: the table of recordable quantities that a data source can name.
#pragma once
#include <cstdint>
#include "foundation/vecmath.h"

struct SATELIT;
struct GROUND_STATION;
struct COIL;
struct SW_VALUE;
struct SATS_DISTANCE_WATCH;

// One recordable quantity: its keyword and the operations on its private record.
struct DOHAN_ROW {
    const char* keyword;
    // Reads the argument list after the keyword and creates the private record; 1 / 0.
    uint32_t (*parse)(void** data);
    // Resolves the record's names to the run's objects at run start; 1 / 0.
    uint32_t (*link)(void* data);
    // The current value: type out, real out, text out; 1 / 0.
    uint32_t (*compute)(void* data, uint32_t* type, double* value, char** text);
    // Releases what the record holds, not the record itself.
    void (*free)(void* data);
};

// The quantities in keyword order, ended by a row whose keyword is null.
extern const DOHAN_ROW DOHAN_Table[];

// The single values of a satellite that quantities record.
enum DOHAN_SCALAR : uint32_t {
    DOHAN_LONGITUDE,
    DOHAN_LATITUDE,
    DOHAN_ALTITUDE,
    DOHAN_FIELD_MAGNITUDE,
    DOHAN_FIELD_ROTATION_RATE,
    DOHAN_FIELD_ROTATION_PERIOD,
    DOHAN_ANGULAR_SPEED,
    DOHAN_ROTATION_PERIOD,
    DOHAN_ILLUMINATION,
    DOHAN_LIGHT_RATIO,
    DOHAN_AIR_DENSITY,
    DOHAN_DRAG_PRESSURE,
    DOHAN_SOLAR_PRESSURE,
    DOHAN_SCALAR_COUNT
};

// What the quantities read of the running simulation. The simulation installs
// its accessors here, so that data output itself includes none of its code.
struct DOHAN_SERVICES {
    // The satellite of exactly this name, or null.
    SATELIT* (*findSatellite)(const char* name);
    void (*getPosition)(const SATELIT* sat, VEC3* out);
    // Starts keeping the largest distance of two satellites over their orbit
    // steps (null after its message); that distance so far (km).
    SATS_DISTANCE_WATCH* (*watchDistance)(SATELIT* a, SATELIT* b);
    double (*maxDistance)(const SATS_DISTANCE_WATCH* watch);
    // A vector name's id, 0 when unknown; the vector of an id.
    uint32_t (*findVectorId)(const char* name);
    void (*getVector)(const SATELIT* sat, uint32_t id, VEC3* out);
    void (*getScalar[DOHAN_SCALAR_COUNT])(const SATELIT* sat, double* out);
    // The station of a name regardless of case, or null; one observation.
    GROUND_STATION* (*findStation)(const char* name);
    void (*observe)(const GROUND_STATION* station, const SATELIT* sat, double* azimuth, double* elevation,
                    double* distance, double* rangeRate, uint32_t* visible);
    // A module output's value record, or null; whether it has three
    // components; its components as doubles.
    SW_VALUE* (*findModuleOutput)(SATELIT* sat, const char* moduleName, const char* outputName);
    uint32_t (*isVector3)(const SW_VALUE* value);
    void (*getVector3)(const SW_VALUE* value, double out[3]);
    // A coil of a satellite, or null; its energy so far (J); its average
    // power over the last given milliseconds (W).
    COIL* (*findCoil)(SATELIT* sat, const char* name);
    double (*coilEnergy)(const COIL* coil);
    double (*coilPower)(const COIL* coil, uint32_t periodMs);
    // Tells a coil that a row reads its average power, so that it keeps the
    // history of its current.
    void (*readCoilPower)(COIL* coil);
};

void DOHAN_SetServices(const DOHAN_SERVICES* services);
