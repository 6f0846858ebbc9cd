// SW / SWTYPE: the typed values that on-board modules exchange with the
// satellite and with each other, the connections that name a value's source
// (a global variable or another module's output), the run's registry of
// global variables, and the referers that follow a module output.
#pragma once
#include <cstdint>

struct SWMODULE;
struct SWMODULE_INPUT;
struct SWMODULE_OUTPUT;

// Code = 1 + 4 * base + (components - 1); 0 is no type.
typedef uint32_t SW_VALUE_TYPE;
enum SWTYPE_BASE : uint32_t {
    SWTYPE_BASE_BYTE = 0,
    SWTYPE_BASE_INT = 1,
    SWTYPE_BASE_WORD = 2,
    SWTYPE_BASE_LONG = 3,
    SWTYPE_BASE_DWORD = 4,
    SWTYPE_BASE_FLOAT = 5,
};
constexpr SW_VALUE_TYPE SWTYPE_NONE = 0;
constexpr SW_VALUE_TYPE SWTYPE_BYTE = 1;
constexpr SW_VALUE_TYPE SWTYPE_INT = 5;
constexpr SW_VALUE_TYPE SWTYPE_3xINT = 7;
constexpr SW_VALUE_TYPE SWTYPE_WORD = 9;
constexpr SW_VALUE_TYPE SWTYPE_LONG = 13;
constexpr SW_VALUE_TYPE SWTYPE_3xLONG = 15;
constexpr SW_VALUE_TYPE SWTYPE_DWORD = 17;
constexpr SW_VALUE_TYPE SWTYPE_1xFLOAT = 21;
constexpr SW_VALUE_TYPE SWTYPE_3xFLOAT = 23;
constexpr SW_VALUE_TYPE SWTYPE_LAST = 24;
constexpr uint32_t SW_VALUE_BYTES = 16;

// The components one after another from bytes[0], each least significant byte first.
struct SW_VALUE {
    SW_VALUE_TYPE type;
    uint8_t bytes[SW_VALUE_BYTES];
};

struct SW_GLOBVAR;
// Writes the variable's current value (of its registered type).
typedef void (*SW_GLOBVAR_PROVIDER)(SW_GLOBVAR* variable);

struct SW_GLOBVAR {
    char* name;
    uint32_t refreshStamp;   // low 32 bits of the clock at the last refresh
    SW_VALUE value;
    SW_GLOBVAR_PROVIDER provider;
    SW_GLOBVAR* next;
};

enum SW_CONNECTION_KIND : uint32_t {
    SW_CONN_NONE = 0,
    SW_CONN_GLOBAL_VARIABLE = 1,
    SW_CONN_MODULE_OUTPUT = 2,
};

// Embedded in its holder; the holder frees the names with SWMODULE_FreeConnection.
struct SW_CONNECTION {
    uint32_t kind;
    SW_GLOBVAR* variable;       // GLOBAL_VARIABLE
    char* moduleName;           // MODULE_OUTPUT
    char* outputName;
    SWMODULE* module;           // MODULE_OUTPUT once resolved
    SWMODULE_OUTPUT* output;
};

// Phase 1 before a run's outputs are read, 2 for each output read, 3 after them.
typedef void (*SW_REFERER_CALLBACK)(uint32_t phase, void* owner, uint32_t tag, SW_VALUE* value);

struct SW_REFERER {
    SW_REFERER_CALLBACK callback;
    void* owner;
    uint32_t tag;
    SW_REFERER* next;
};

// Types.
const char* SWTYPE_Name(SW_VALUE_TYPE type);
uint32_t SWTYPE_IsValid(uint8_t type);
uint32_t SWTYPE_ComponentCount(SW_VALUE_TYPE type);
uint32_t SWTYPE_ComponentSize(SW_VALUE_TYPE type);
uint32_t SWTYPE_IsIntScalar(SW_VALUE_TYPE type);
uint32_t SWTYPE_IsIntScalarRec(const SW_VALUE* value);
uint32_t SWTYPE_IsVector3(const SW_VALUE* value);
int32_t SWTYPE_GetIntValue(const SW_VALUE* value);
void SWTYPE_GetIntValueRec(const SW_VALUE* value, int32_t* out);
void SWTYPE_GetVector3(const SW_VALUE* value, double out[3]);
void SWTYPE_Convert(const SW_VALUE* source, SW_VALUE* target);
// Component i of an integer value, sign- or zero-extended by its base.
int64_t SWTYPE_GetIntComponent(const SW_VALUE* value, uint32_t index);
void SWTYPE_SetIntComponent(SW_VALUE* value, uint32_t index, int64_t component);
float SWTYPE_GetFloatComponent(const SW_VALUE* value, uint32_t index);
void SWTYPE_SetFloatComponent(SW_VALUE* value, uint32_t index, float component);

// Variables in a module's external RAM; every byte address wraps at 0xFFFF.
void SWMODULE_ReadVariable(SWMODULE* module, SWMODULE_OUTPUT* output);
void SWMODULE_WriteVariable(SWMODULE* module, SWMODULE_INPUT* input);
void SWMODULE_ClearVariable(SWMODULE* module, SWMODULE_INPUT* input);
// Zeroes the value bytes, keeping the type.
void SWMODULE_ClearValue(SW_VALUE* value);

// Connections.
uint32_t SWMODULE_ParseConnection(SW_CONNECTION* connection);
void SWMODULE_FreeConnection(SW_CONNECTION* connection);
uint32_t SWMODULE_ResolveConnection(SW_CONNECTION* connection, SWMODULE* firstModule);
uint32_t SWMODULE_RegisterReferer(SW_CONNECTION* connection, void* owner, uint32_t tag, SW_REFERER_CALLBACK callback);
uint32_t SWMODULE_AddReferer(SWMODULE* module, const char* outputName, SW_REFERER_CALLBACK callback, void* owner,
                             uint32_t tag);
uint32_t SWMODULE_ConnIsIntScalar(const SW_CONNECTION* connection);
uint32_t SWMODULE_ConnIsVector3(const SW_CONNECTION* connection);
uint32_t SWMODULE_ConnGetVector3(const SW_CONNECTION* connection, double out[3]);
// The value behind a connection, null for NONE and unresolved outputs.
const SW_VALUE* SWMODULE_ConnValue(const SW_CONNECTION* connection);
// Text in one static buffer, overwritten by the next call.
const char* SWMODULE_ConnToText(const SW_CONNECTION* connection);
SW_VALUE* SWMODULE_FindOutputValue(SWMODULE* module, const char* outputName);

// The run's global variables.
void SWMODULE_InitGlobals();
void SWMODULE_FreeGlobals();
void SWMODULE_RegisterGlobalVariable(const char* name, SW_VALUE_TYPE type, SW_GLOBVAR_PROVIDER provider);
SW_GLOBVAR* SWMODULE_FindGlobalVariable(const char* name);
void SWMODULE_TimeVarProvider(SW_GLOBVAR* variable);
