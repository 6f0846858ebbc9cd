// SATELIT: a satellite's on-board modules as other subsystems reach them, and
// the providers of the global variables that carry the current satellite's
// magnetic field to the on-board software.
#include <cmath>
#include "foundation/vecmath.h"
#include "onboard/swmodule.h"
#include "onboard/swvalue.h"
#include "simulation/satelit.h"

SWMODULE* SATELIT_FindModule(SATELIT* sat, const char* name)
{
    return sat ? SWMODULE_FindByName(sat->modules, name) : nullptr;
}

SW_VALUE* SATELIT_FindModuleVariable(SATELIT* sat, const char* moduleName, const char* outputName)
{
    SWMODULE* module = SATELIT_FindModule(sat, moduleName);
    return module ? SWMODULE_FindOutputValue(module, outputName) : nullptr;
}

namespace {

enum FIELD_ROUNDING { FIELD_TRUNC, FIELD_ROUND };

// The BODY field of the current satellite, with noise of the given amplitude
// added to a copy; false when no satellite or module is current.
bool CurrentField(double noise, VEC3* field)
{
    SATELIT* sat = SATELIT_GetCurrent();
    if (!sat || !SWMODULE_CurrentModule) return false;
    *field = sat->fieldBody;
    if (noise > 0.0) VEC_AddNoise(field, noise);
    return true;
}

void WriteZeros(SW_GLOBVAR* variable, SW_VALUE_TYPE type)
{
    variable->value.type = type;
    SWMODULE_ClearValue(&variable->value);
}

void ProvideScaled(SW_GLOBVAR* variable, int32_t step, double noise, FIELD_ROUNDING rounding)
{
    VEC3 field;
    if (!CurrentField(noise, &field)) {
        WriteZeros(variable, SWTYPE_3xINT);
        return;
    }
    variable->value.type = SWTYPE_3xINT;
    const double components[3] = {field.x, field.y, field.z};
    for (uint32_t i = 0; i < 3; ++i) {
        double whole = std::trunc(components[i]);
        MATH_DIV_RESULT r = rounding == FIELD_TRUNC ? MATH_RoundDiv(whole, step) : MATH_RoundDivNearest(whole, step);
        SWTYPE_SetIntComponent(&variable->value, i, r.quot);
    }
}

}  // namespace

void SATELIT_GvMagBodyNtL3(SW_GLOBVAR* variable)
{
    VEC3 field;
    if (!CurrentField(0.0, &field)) {
        WriteZeros(variable, SWTYPE_3xLONG);
        return;
    }
    variable->value.type = SWTYPE_3xLONG;
    const double components[3] = {field.x, field.y, field.z};
    for (uint32_t i = 0; i < 3; ++i) {
        double whole = std::trunc(components[i]);
        int64_t value = std::fabs(whole) < 2147483648.0 ? static_cast<int64_t>(whole) : 0;
        SWTYPE_SetIntComponent(&variable->value, i, value);
    }
}

void SATELIT_GvMagBody100nTTrunc(SW_GLOBVAR* v) { ProvideScaled(v, 100, 0.0, FIELD_TRUNC); }
void SATELIT_GvMagBody100nTTruncNoise(SW_GLOBVAR* v) { ProvideScaled(v, 100, 100.0, FIELD_TRUNC); }
void SATELIT_GvMagBody100nTRound(SW_GLOBVAR* v) { ProvideScaled(v, 100, 0.0, FIELD_ROUND); }
void SATELIT_GvMagBody100nTRoundNoise(SW_GLOBVAR* v) { ProvideScaled(v, 100, 100.0, FIELD_ROUND); }
void SATELIT_GvMagBody10nTTrunc(SW_GLOBVAR* v) { ProvideScaled(v, 10, 0.0, FIELD_TRUNC); }
void SATELIT_GvMagBody10nTTruncNoise(SW_GLOBVAR* v) { ProvideScaled(v, 10, 10.0, FIELD_TRUNC); }
void SATELIT_GvMagBody10nTRound(SW_GLOBVAR* v) { ProvideScaled(v, 10, 0.0, FIELD_ROUND); }
void SATELIT_GvMagBody10nTRoundNoise(SW_GLOBVAR* v) { ProvideScaled(v, 10, 10.0, FIELD_ROUND); }
void SATELIT_GvMagBody2nTTrunc(SW_GLOBVAR* v) { ProvideScaled(v, 2, 0.0, FIELD_TRUNC); }
void SATELIT_GvMagBody2nTTruncNoise(SW_GLOBVAR* v) { ProvideScaled(v, 2, 2.0, FIELD_TRUNC); }
void SATELIT_GvMagBody2nTRound(SW_GLOBVAR* v) { ProvideScaled(v, 2, 0.0, FIELD_ROUND); }
void SATELIT_GvMagBody2nTRoundNoise(SW_GLOBVAR* v) { ProvideScaled(v, 2, 2.0, FIELD_ROUND); }

void SATELIT_GvMagOrbitUnit(SW_GLOBVAR* variable)
{
    SATELIT* sat = SATELIT_GetCurrent();
    if (!sat || !SWMODULE_CurrentModule) {
        WriteZeros(variable, SWTYPE_3xFLOAT);
        return;
    }
    // The field in the orbit frame at the module's own time.
    SAT_ORBIT_POINT env;
    SATELIT_ReadAt(sat, g_simClock.clock, &env);
    VEC3 axes[3], field;
    MAT33 orbit;
    SATELIT_OrbitFrame(&env.position, &env.velocity, axes, &orbit);
    MAT_MulVectorTo(&orbit, &env.fieldEci, &field);
    variable->value.type = SWTYPE_3xFLOAT;
    SWTYPE_SetFloatComponent(&variable->value, 0, static_cast<float>(field.x));
    SWTYPE_SetFloatComponent(&variable->value, 1, static_cast<float>(field.y));
    SWTYPE_SetFloatComponent(&variable->value, 2, static_cast<float>(field.z));
}

struct SATELIT_FIELD_VARIABLE {
    const char* name;
    SW_VALUE_TYPE type;
    SW_GLOBVAR_PROVIDER provider;
};

void SATELIT_RegisterFieldVariables()
{
    static const SATELIT_FIELD_VARIABLE kVariables[] = {
        {"MagVector_Body_nT_L3", SWTYPE_3xLONG, SATELIT_GvMagBodyNtL3},
        {"MagVector_Body_100nT_I3_TRUNC", SWTYPE_3xINT, SATELIT_GvMagBody100nTTrunc},
        {"MagVector_Body_100nT_I3_TRUNC_noise_100nT", SWTYPE_3xINT, SATELIT_GvMagBody100nTTruncNoise},
        {"MagVector_Body_100nT_I3_ROUND", SWTYPE_3xINT, SATELIT_GvMagBody100nTRound},
        {"MagVector_Body_100nT_I3_ROUND_noise_100nT", SWTYPE_3xINT, SATELIT_GvMagBody100nTRoundNoise},
        {"MagVector_Body_10nT_I3_TRUNC", SWTYPE_3xINT, SATELIT_GvMagBody10nTTrunc},
        {"MagVector_Body_10nT_I3_TRUNC_noise_10nT", SWTYPE_3xINT, SATELIT_GvMagBody10nTTruncNoise},
        {"MagVector_Body_10nT_I3_ROUND", SWTYPE_3xINT, SATELIT_GvMagBody10nTRound},
        {"MagVector_Body_10nT_I3_ROUND_noise_10nT", SWTYPE_3xINT, SATELIT_GvMagBody10nTRoundNoise},
        {"MagVector_Body_2nT_I3_TRUNC", SWTYPE_3xINT, SATELIT_GvMagBody2nTTrunc},
        {"MagVector_Body_2nT_I3_TRUNC_noise_2nT", SWTYPE_3xINT, SATELIT_GvMagBody2nTTruncNoise},
        {"MagVector_Body_2nT_I3_ROUND", SWTYPE_3xINT, SATELIT_GvMagBody2nTRound},
        {"MagVector_Body_2nT_I3_ROUND_noise_2nT", SWTYPE_3xINT, SATELIT_GvMagBody2nTRoundNoise},
        {"MagVector_Orbit_Unit", SWTYPE_3xFLOAT, SATELIT_GvMagOrbitUnit},
    };
    for (const SATELIT_FIELD_VARIABLE& v : kVariables) SWMODULE_RegisterGlobalVariable(v.name, v.type, v.provider);
}
