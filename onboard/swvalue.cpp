// SWTYPE: value type codes, component access and conversion; the variables of
// inputs and outputs in a module's external RAM.
#include "onboard/swvalue.h"
#include <cmath>
#include <cstring>
#include "onboard/sim51.h"
#include "onboard/swmodule.h"

namespace {

const char* const kTypeNames[SWTYPE_LAST + 1] = {
    "NoneType", "BYTE",    "2xBYTE",  "3xBYTE",  "4xBYTE",  "INT",     "2xINT",   "3xINT",   "4xINT",
    "WORD",     "2xWORD",  "3xWORD",  "4xWORD",  "LONG",    "2xLONG",  "3xLONG",  "4xLONG",  "DWORD",
    "2xDWORD",  "3xDWORD", "4xDWORD", "1xFLOAT", "2xFLOAT", "3xFLOAT", "4xFLOAT",
};

const uint32_t kBaseSize[] = {1, 2, 2, 4, 4, 4};

inline bool IsKnown(SW_VALUE_TYPE type)
{
    return type >= 1 && type <= SWTYPE_LAST;
}

inline uint32_t BaseOf(SW_VALUE_TYPE type)
{
    return (type - 1) / 4;
}

// The variable's byte count, 0 for no type and unknown codes.
uint32_t VariableSize(SW_VALUE_TYPE type)
{
    return SWTYPE_ComponentCount(type) * SWTYPE_ComponentSize(type);
}

uint64_t LoadLittleEndian(const uint8_t* bytes, uint32_t size)
{
    if (size == 2) return static_cast<uint64_t>(bytes[1]) << 8 | bytes[0];
    uint64_t v = 0;
    for (uint32_t i = size; i-- > 0;) v = v << 8 | bytes[i];
    return v;
}

void StoreLittleEndian(uint8_t* bytes, uint32_t size, uint64_t v)
{
    for (uint32_t i = 0; i < size; ++i, v >>= 8) bytes[i] = static_cast<uint8_t>(v);
}

// Truncation toward zero; values with no 64-bit integer (NaN, infinities,
// |x| >= 2^63) give INT64_MIN as the original platform's conversion did.
int64_t FloatToInteger(float f)
{
    double d = f;
    if (!(d > -9223372036854775808.0 && d < 9223372036854775808.0)) return INT64_MIN;
    return static_cast<int64_t>(d);
}

}  // namespace

const char* SWTYPE_Name(SW_VALUE_TYPE type)
{
    return type <= SWTYPE_LAST ? kTypeNames[type] : "?unknown_type?";
}

uint32_t SWTYPE_IsValid(uint8_t type)
{
    return IsKnown(type) ? 1 : 0;
}

uint32_t SWTYPE_ComponentCount(SW_VALUE_TYPE type)
{
    return IsKnown(type) ? (type - 1) % 4 + 1 : 0;
}

uint32_t SWTYPE_ComponentSize(SW_VALUE_TYPE type)
{
    return IsKnown(type) ? kBaseSize[BaseOf(type)] : 0;
}

uint32_t SWTYPE_IsIntScalar(SW_VALUE_TYPE type)
{
    return type == 1 || type == 5 || type == 9 || type == 13 || type == 17;
}

uint32_t SWTYPE_IsIntScalarRec(const SW_VALUE* value)
{
    return SWTYPE_IsIntScalar(value->type);
}

uint32_t SWTYPE_IsVector3(const SW_VALUE* value)
{
    return IsKnown(value->type) && SWTYPE_ComponentCount(value->type) == 3;
}

int64_t SWTYPE_GetIntComponent(const SW_VALUE* value, uint32_t index)
{
    uint32_t size = SWTYPE_ComponentSize(value->type);
    uint64_t raw = LoadLittleEndian(value->bytes + index * size, size);
    switch (BaseOf(value->type)) {
    case SWTYPE_BASE_INT: return static_cast<int16_t>(raw);
    case SWTYPE_BASE_LONG: return static_cast<int32_t>(raw);
    default: return static_cast<int64_t>(raw);
    }
}

void SWTYPE_SetIntComponent(SW_VALUE* value, uint32_t index, int64_t component)
{
    uint32_t size = SWTYPE_ComponentSize(value->type);
    StoreLittleEndian(value->bytes + index * size, size, static_cast<uint64_t>(component));
}

float SWTYPE_GetFloatComponent(const SW_VALUE* value, uint32_t index)
{
    float f;
    memcpy(&f, value->bytes + index * 4, 4);
    return f;
}

void SWTYPE_SetFloatComponent(SW_VALUE* value, uint32_t index, float component)
{
    memcpy(value->bytes + index * 4, &component, 4);
}

int32_t SWTYPE_GetIntValue(const SW_VALUE* value)
{
    if (!SWTYPE_IsIntScalar(value->type)) return 0;
    return static_cast<int32_t>(SWTYPE_GetIntComponent(value, 0));
}

void SWTYPE_GetIntValueRec(const SW_VALUE* value, int32_t* out)
{
    *out = SWTYPE_GetIntValue(value);
}

void SWTYPE_GetVector3(const SW_VALUE* value, double out[3])
{
    bool vector = SWTYPE_IsVector3(value);
    bool real = vector && BaseOf(value->type) == SWTYPE_BASE_FLOAT;
    for (uint32_t i = 0; i < 3; ++i) {
        if (!vector) out[i] = 0.0;
        else if (real) out[i] = SWTYPE_GetFloatComponent(value, i);
        else out[i] = static_cast<double>(SWTYPE_GetIntComponent(value, i));
    }
}

void SWTYPE_Convert(const SW_VALUE* source, SW_VALUE* target)
{
    if (!IsKnown(source->type) || !IsKnown(target->type)) return;
    // The same type is the same bytes; an input usually has its source's type.
    if (source->type == target->type) {
        memcpy(target->bytes, source->bytes, VariableSize(source->type));
        return;
    }
    uint32_t count = SWTYPE_ComponentCount(source->type);
    if (count != SWTYPE_ComponentCount(target->type)) return;
    bool fromReal = BaseOf(source->type) == SWTYPE_BASE_FLOAT;
    bool toReal = BaseOf(target->type) == SWTYPE_BASE_FLOAT;
    for (uint32_t i = 0; i < count; ++i) {
        if (fromReal && toReal) {
            SWTYPE_SetFloatComponent(target, i, SWTYPE_GetFloatComponent(source, i));
        } else if (fromReal) {
            SWTYPE_SetIntComponent(target, i, FloatToInteger(SWTYPE_GetFloatComponent(source, i)));
        } else if (toReal) {
            SWTYPE_SetFloatComponent(target, i, static_cast<float>(SWTYPE_GetIntComponent(source, i)));
        } else {
            SWTYPE_SetIntComponent(target, i, SWTYPE_GetIntComponent(source, i));
        }
    }
}

void SWMODULE_ClearValue(SW_VALUE* value)
{
    memset(value->bytes, 0, sizeof value->bytes);
}

// Module software is expected to keep its variables inside the 64 KB; a
// variable that runs past 0xFFFF continues at 0x0000.
void SWMODULE_ReadVariable(SWMODULE* module, SWMODULE_OUTPUT* output)
{
    if (!module->cpu) return;
    uint32_t size = VariableSize(output->value.type);
    if (output->address + size <= 0x10000) {
        memcpy(output->value.bytes, module->cpu->xram + output->address, size);
        return;
    }
    for (uint32_t i = 0; i < size; ++i)
        output->value.bytes[i] = module->cpu->xram[static_cast<uint16_t>(output->address + i)];
}

void SWMODULE_WriteVariable(SWMODULE* module, SWMODULE_INPUT* input)
{
    if (!module->cpu) return;
    uint32_t size = VariableSize(input->value.type);
    if (input->address + size <= 0x10000) {
        memcpy(module->cpu->xram + input->address, input->value.bytes, size);
        return;
    }
    for (uint32_t i = 0; i < size; ++i)
        module->cpu->xram[static_cast<uint16_t>(input->address + i)] = input->value.bytes[i];
}

void SWMODULE_ClearVariable(SWMODULE* module, SWMODULE_INPUT* input)
{
    if (!module->cpu) return;
    uint32_t size = VariableSize(input->value.type);
    for (uint32_t i = 0; i < size; ++i) module->cpu->xram[static_cast<uint16_t>(input->address + i)] = 0;
}
