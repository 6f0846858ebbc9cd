// CFG: the key-value configuration store over the configuration reader.
#include "foundation/cfg.h"
#include "foundation/iotxt.h"
#include "foundation/log.h"
#include "foundation/memory.h"
#include "foundation/pool.h"
#include <cctype>
#include <cerrno>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <strings.h>

namespace {

const char* const CFG_NO_MEMORY_MSG = "CFG: pro načtení konfigurace není dostatek paměti, použije se default konfigurace.\n";

CFG_ITEM* FindItem(CFG_OBJECT* object, const char* name)
{
    if (!object) return nullptr;
    for (CFG_ITEM* item = object->first; item; item = item->next)
        if (strcasecmp(item->name, name) == 0) return item;
    return nullptr;
}

void FreeTexts(char* name, char* value)
{
    if (name) POOL_Free(name);
    if (value) POOL_Free(value);
}

void Append(CFG_OBJECT* object, CFG_ITEM* item)
{
    item->next = nullptr;
    if (object->last)
        object->last->next = item;
    else
        object->first = item;
    object->last = item;
    object->count++;
}

// Reads "name = rest of line" from the current line; 0 when the line does not fit.
bool ReadItemLine(char** name, char** value)
{
    *name = IOTXT_ReadIdent();
    *value = nullptr;
    if (!*name || !IOTXT_MatchChar('=')) return false;
    *value = IOTXT_ReadRestOfLine();
    return *value != nullptr;
}

// Decimal integer at the start of the text (leading white space skipped,
// what follows the digits ignored); fails beyond the 64-bit range.
bool ParseLeadingInt64(const char* text, int64_t* value)
{
    while (isspace((unsigned char)*text)) text++;
    const char* digits = (*text == '-' || *text == '+') ? text + 1 : text;
    if (!isdigit((unsigned char)*digits)) return false;
    errno = 0;
    long long v = strtoll(text, nullptr, 10);
    if (errno == ERANGE) return false;
    *value = v;
    return true;
}

}  // namespace

CFG_OBJECT* CFG_Create()
{
    MEMORY_SetTag("ObjektKonfigurace");
    CFG_OBJECT* object = (CFG_OBJECT*)POOL_Alloc(sizeof(CFG_OBJECT) + 1);
    if (!object) {
        LOG_Printf("CFG: nedostatek paměti pro vytvoření konfigurace.\n");
        return nullptr;
    }
    object->count = 0;
    object->first = object->last = nullptr;
    return object;
}

CFG_OBJECT* CFG_Load(const char* name)
{
    CFG_OBJECT* object = CFG_Create();
    if (!object) {
        LOG_Printf("%s", CFG_NO_MEMORY_MSG);
        return nullptr;
    }
    if (!IOTXT_OpenFile(name)) {
        LOG_Printf("CFG: konfigurační soubor \"%s\" nelze otevřít, použije se default konfigurace.\n", name);
        CFG_Free(object);
        return nullptr;
    }
    while (IOTXT_NextLine()) {
        char *itemName, *value;
        if (!ReadItemLine(&itemName, &value)) {
            FreeTexts(itemName, value);
            LOG_Printf("CFG: na řádku %u souboru \"%s\" je chyba, řádek bude ignorován.\n", IOTXT_GetLineNumber(),
                       name);
            continue;
        }
        MEMORY_SetTag("ItemKonfigurace");
        CFG_ITEM* item = (CFG_ITEM*)POOL_Alloc(sizeof(CFG_ITEM) + 1);
        if (!item) {
            FreeTexts(itemName, value);
            CFG_Free(object);
            LOG_Printf("%s", CFG_NO_MEMORY_MSG);
            IOTXT_CloseFile();
            return nullptr;
        }
        item->name = itemName;
        item->value = value;
        Append(object, item);
    }
    IOTXT_CloseFile();
    return object;
}

void CFG_Free(CFG_OBJECT* object)
{
    if (!object) return;
    CFG_ITEM* item = object->first;
    while (item) {
        CFG_ITEM* next = item->next;
        FreeTexts(item->name, item->value);
        POOL_Free(item);
        item = next;
    }
    POOL_Free(object);
}

uint32_t CFG_GetInt64(CFG_OBJECT* object, const char* name, int64_t* out, int64_t min, int64_t max, int64_t def)
{
    *out = def;
    CFG_ITEM* item = FindItem(object, name);
    if (!item) return 0;
    int64_t value;
    if (!ParseLeadingInt64(item->value, &value)) {
        LOG_Printf("CFG: parametr \"%s\" je zapsán chybně, bude použita default hodnota.\n", name);
        return 0;
    }
    if (value < min) {
        LOG_Printf("CFG: parametr \"%s\" je menší než minimální hodnota %" PRId64 ", bude použita default hodnota.\n",
                   name, min);
        return 0;
    }
    if (value > max) {
        LOG_Printf("CFG: parametr \"%s\" je větší než maximální hodnota, bude použita default hodnota.\n", name);
        return 0;
    }
    *out = value;
    return 1;
}

uint32_t CFG_GetInt(CFG_OBJECT* object, const char* name, uint32_t* out, uint32_t min, uint32_t max, uint32_t def)
{
    int64_t value;
    uint32_t ok = CFG_GetInt64(object, name, &value, (int64_t)min, (int64_t)max, (int64_t)def);
    *out = (uint32_t)value;
    return ok;
}

uint32_t CFG_GetTime(CFG_OBJECT* object, const char* name, TIME_MS* out, TIME_MS def)
{
    *out = def;
    CFG_ITEM* item = FindItem(object, name);
    if (!item) return 0;
    SYSTEMTIME st{};
    IOTXT_BeginString(item->value);
    uint32_t ok = IOTXT_ReadUtTime(&st);
    IOTXT_EndString();
    if (!ok) {
        LOG_Printf("CFG: formát času \"%s\" je chybný, bude použita default hodnota.\n", name);
        return 0;
    }
    *out = TIME_SystemTimeToMs(&st);
    return 1;
}

uint32_t CFG_GetBool(CFG_OBJECT* object, const char* name, uint32_t* out, uint32_t def)
{
    *out = def;
    CFG_ITEM* item = FindItem(object, name);
    if (!item) return 0;
    uint32_t value;
    IOTXT_BeginString(item->value);
    uint32_t ok = IOTXT_ReadBool(&value);
    IOTXT_EndString();
    if (!ok) return 0;
    *out = value;
    return 1;
}

uint32_t CFG_GetString(CFG_OBJECT* object, const char* name, char** out, char* def)
{
    *out = def;
    CFG_ITEM* item = FindItem(object, name);
    if (!item) return 0;
    char* text = item->value;
    while (isspace((unsigned char)*text)) text++;
    *out = text;
    return 1;
}

void CFG_Save(CFG_OBJECT* object, const char* fileName)
{
    FILE* f = fopen(fileName, "w");
    if (!f) {
        LOG_Printf("CFG: nemlze otevřít soubor \"%s\" pro zápis konfigurace.\n", fileName);
        return;
    }
    if (object)
        for (CFG_ITEM* item = object->first; item; item = item->next) fprintf(f, "%-30s = %s\n", item->name, item->value);
    fclose(f);
}
