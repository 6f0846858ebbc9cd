// CFG: the key-value configuration store. Reads a file of "name = text" lines
// and hands out its items by name, each getter with a default that is used
// (result 0) when the item is missing or does not read.
#pragma once
#include <cstdint>
#include "foundation/time.h"

struct CFG_ITEM {
    char* name;
    char* value;
    CFG_ITEM* next;
};

struct CFG_OBJECT {
    uint32_t count;
    CFG_ITEM* first;
    CFG_ITEM* last;
};

CFG_OBJECT* CFG_Create();
// Null (with a message) when the file does not open; bad lines are reported and skipped.
CFG_OBJECT* CFG_Load(const char* name);
void CFG_Free(CFG_OBJECT* object);
// Every getter accepts a null object: default, result 0, no message.
uint32_t CFG_GetInt64(CFG_OBJECT* object, const char* name, int64_t* out, int64_t min, int64_t max, int64_t def);
uint32_t CFG_GetInt(CFG_OBJECT* object, const char* name, uint32_t* out, uint32_t min, uint32_t max, uint32_t def);
uint32_t CFG_GetTime(CFG_OBJECT* object, const char* name, TIME_MS* out, TIME_MS def);
uint32_t CFG_GetBool(CFG_OBJECT* object, const char* name, uint32_t* out, uint32_t def);
// out points into the item's text, valid until CFG_Free.
uint32_t CFG_GetString(CFG_OBJECT* object, const char* name, char** out, char* def);
void CFG_Save(CFG_OBJECT* object, const char* fileName);
