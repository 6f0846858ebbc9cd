// SW: connections of module inputs, module power, coils and data items to
// their sources, the referers that follow module outputs, and the run's
// registry of global variables.
#include <cstdio>
#include <cstring>
#include <strings.h>
#include "foundation/iotxt.h"
#include "foundation/log.h"
#include "foundation/memory.h"
#include "foundation/pool.h"
#include "foundation/util.h"
#include "onboard/kombus.h"
#include "onboard/swmodule.h"
#include "onboard/swvalue.h"
#include "foundation/time.h"

namespace {

SW_GLOBVAR* s_globalsHead = nullptr;
SW_GLOBVAR* s_globalsTail = nullptr;

char* ReadName(MEMORY_TAG tag)
{
    MEMORY_SetTag(tag);
    return IOTXT_ReadQuotedString();
}

void FreeText(char** text)
{
    if (*text) POOL_Free(*text);
    *text = nullptr;
}

uint32_t ParseGlobalVariable(SW_CONNECTION* connection)
{
    if (!IOTXT_MatchChar('(')) {
        LOG_Printf("SWMODULE: Očekávám název globální proměnné v závorce na řádku %d.\n", IOTXT_GetLineNumber());
        return 0;
    }
    char* name = ReadName("SWMODULE-global-variable-name");
    if (!name) {
        LOG_Printf("SWMODULE: Očekávám název globální proměnné v uvozovkách na řádku %d.\n", IOTXT_GetLineNumber());
        return 0;
    }
    SW_GLOBVAR* variable = SWMODULE_FindGlobalVariable(name);
    if (!variable) {
        LOG_Printf("SWMODULE: Globální proměnná \"%s\" neexistuje na řádku %d.\n", name, IOTXT_GetLineNumber());
        POOL_Free(name);
        return 0;
    }
    POOL_Free(name);
    if (!IOTXT_MatchChar(')')) {
        LOG_Printf("SWMODULE: chybí ukončovací závorka na řádku %d.\n", IOTXT_GetLineNumber());
        return 0;
    }
    memset(connection, 0, sizeof *connection);
    connection->kind = SW_CONN_GLOBAL_VARIABLE;
    connection->variable = variable;
    return 1;
}

uint32_t ParseModuleOutput(SW_CONNECTION* connection)
{
    if (!IOTXT_MatchChar('(')) {
        LOG_Printf("SWMODULE: Očekávám název závorku na řádku %d.\n", IOTXT_GetLineNumber());
        return 0;
    }
    char* moduleName = ReadName("SWMODULE-target-module-name");
    if (!moduleName) {
        LOG_Printf("SWMODULE: Očekávám název cílového modulu na řádku %d.\n", IOTXT_GetLineNumber());
        return 0;
    }
    if (!IOTXT_MatchComma()) {
        LOG_Printf("SWMODULE: Očekávám čárku a název cílového výstupu na řádku %d.\n", IOTXT_GetLineNumber());
        POOL_Free(moduleName);
        return 0;
    }
    char* outputName = ReadName("SWMODULE-target-output-name");
    if (!outputName) {
        LOG_Printf("SWMODULE: Očekávám název cílového výstupu na řádku %d.\n", IOTXT_GetLineNumber());
        POOL_Free(moduleName);
        return 0;
    }
    if (!IOTXT_MatchChar(')')) {
        LOG_Printf("SWMODULE: chybí ukončovací závorka na řádku %d.\n", IOTXT_GetLineNumber());
        POOL_Free(moduleName);
        POOL_Free(outputName);
        return 0;
    }
    memset(connection, 0, sizeof *connection);
    connection->kind = SW_CONN_MODULE_OUTPUT;
    connection->moduleName = moduleName;
    connection->outputName = outputName;
    return 1;
}

}  // namespace

uint32_t SWMODULE_ParseConnection(SW_CONNECTION* connection)
{
    IOTXT_SkipBlanks();
    if (IOTXT_MatchWord("GLOBAL_VARIABLE")) return ParseGlobalVariable(connection);
    if (IOTXT_MatchWord("MODULE_OUTPUT")) return ParseModuleOutput(connection);
    LOG_Printf("SWMODULE: Neznámý druh datového propojení na řádku %d.\n", IOTXT_GetLineNumber());
    return 0;
}

void SWMODULE_FreeConnection(SW_CONNECTION* connection)
{
    if (connection->kind != SW_CONN_MODULE_OUTPUT) return;
    FreeText(&connection->moduleName);
    FreeText(&connection->outputName);
}

uint32_t SWMODULE_ResolveConnection(SW_CONNECTION* connection, SWMODULE* firstModule)
{
    if (connection->kind != SW_CONN_MODULE_OUTPUT) return 1;
    connection->module = nullptr;
    connection->output = nullptr;
    SWMODULE* module = SWMODULE_FindByName(firstModule, connection->moduleName);
    if (!module) return 0;
    SWMODULE_OUTPUT* output = SWMODULE_FindOutput(module, connection->outputName, nullptr);
    if (!output) return 0;
    connection->module = module;
    connection->output = output;
    return 1;
}

uint32_t SWMODULE_AddReferer(SWMODULE* module, const char* outputName, SW_REFERER_CALLBACK callback, void* owner,
                             uint32_t tag)
{
    SWMODULE_OUTPUT* output = SWMODULE_FindOutput(module, outputName, nullptr);
    if (!output) return 0;
    if (!output->refererCallback && callback) {
        output->refererCallback = callback;
        output->refererOwner = owner;
        output->refererTag = tag;
        return 1;
    }
    MEMORY_SetTag("SWMODULE:referer");
    auto* referer = static_cast<SW_REFERER*>(POOL_Alloc(sizeof(SW_REFERER) + 1));
    if (!referer) {
        LOG_Printf("SWMODULE: nedostatek paměti pro připojení odkazu na výstup.\n");
        return 0;
    }
    referer->callback = callback;
    referer->owner = owner;
    referer->tag = tag;
    referer->next = output->referers;
    output->referers = referer;
    return 1;
}

uint32_t SWMODULE_RegisterReferer(SW_CONNECTION* connection, void* owner, uint32_t tag, SW_REFERER_CALLBACK callback)
{
    switch (connection->kind) {
    case SW_CONN_GLOBAL_VARIABLE: return 1;
    case SW_CONN_MODULE_OUTPUT:
        if (!connection->module ||
            !SWMODULE_AddReferer(connection->module, connection->outputName, callback, owner, tag)) {
            LOG_Printf("SWMODULE: nepodařilo se registrovat odkaz na výstup modulu.\n");
            return 0;
        }
        return 1;
    default:
        LOG_Printf("SWMODULE: pokus o registraci odkazu na nepropojený spoj.\n");
        return 0;
    }
}

const SW_VALUE* SWMODULE_ConnValue(const SW_CONNECTION* connection)
{
    switch (connection->kind) {
    case SW_CONN_GLOBAL_VARIABLE: return connection->variable ? &connection->variable->value : nullptr;
    case SW_CONN_MODULE_OUTPUT: return connection->output ? &connection->output->value : nullptr;
    default: return nullptr;
    }
}

uint32_t SWMODULE_ConnIsIntScalar(const SW_CONNECTION* connection)
{
    const SW_VALUE* value = SWMODULE_ConnValue(connection);
    return value ? SWTYPE_IsIntScalarRec(value) : 0;
}

uint32_t SWMODULE_ConnIsVector3(const SW_CONNECTION* connection)
{
    const SW_VALUE* value = SWMODULE_ConnValue(connection);
    return value ? SWTYPE_IsVector3(value) : 0;
}

uint32_t SWMODULE_ConnGetVector3(const SW_CONNECTION* connection, double out[3])
{
    const SW_VALUE* value = SWMODULE_ConnValue(connection);
    if (!value) return 0;
    SWTYPE_GetVector3(value, out);
    return 1;
}

// Names longer than the buffer are cut, so the text always fits.
const char* SWMODULE_ConnToText(const SW_CONNECTION* connection)
{
    static char text[256];
    switch (connection->kind) {
    case SW_CONN_NONE: return "NONE";
    case SW_CONN_GLOBAL_VARIABLE:
        snprintf(text, sizeof text, "GLOBVAR<%s>", connection->variable ? connection->variable->name : "");
        return text;
    case SW_CONN_MODULE_OUTPUT:
        snprintf(text, sizeof text, "MODOUT<%s.%s>", connection->moduleName ? connection->moduleName : "",
                 connection->outputName ? connection->outputName : "");
        return text;
    default: return "?unknown connection?";
    }
}

SW_VALUE* SWMODULE_FindOutputValue(SWMODULE* module, const char* outputName)
{
    SWMODULE_OUTPUT* output = module ? SWMODULE_FindOutput(module, outputName, nullptr) : nullptr;
    return output ? &output->value : nullptr;
}

void SWMODULE_InitGlobals()
{
    SWMODULE_FreeGlobals();
    SWMODULE_RegisterGlobalVariable("Module_System_Time_10ms", SWTYPE_WORD, SWMODULE_TimeVarProvider);
    KOMBUS_Init();
}

void SWMODULE_FreeGlobals()
{
    for (SW_GLOBVAR* variable = s_globalsHead; variable;) {
        SW_GLOBVAR* next = variable->next;
        FreeText(&variable->name);
        POOL_Free(variable);
        variable = next;
    }
    s_globalsHead = s_globalsTail = nullptr;
    KOMBUS_FreeAll();
}

SW_GLOBVAR* SWMODULE_FindGlobalVariable(const char* name)
{
    for (SW_GLOBVAR* variable = s_globalsHead; variable; variable = variable->next)
        if (strcasecmp(variable->name, name) == 0) return variable;
    return nullptr;
}

void SWMODULE_RegisterGlobalVariable(const char* name, SW_VALUE_TYPE type, SW_GLOBVAR_PROVIDER provider)
{
    if (SWMODULE_FindGlobalVariable(name)) {
        LOG_Printf("SWMODULE: opakovaná registrace globální proměnné %s.\n", name);
        return;
    }
    MEMORY_SetTag("SWMODULE:global variable struct");
    auto* variable = static_cast<SW_GLOBVAR*>(POOL_Alloc(sizeof(SW_GLOBVAR) + 1));
    char* copy = variable ? UTIL_StrDup(name) : nullptr;
    if (!copy) {
        if (variable) POOL_Free(variable);
        LOG_Printf("SWMODULE: nedostatek paměti pro vytvoření globální proměnné.\n");
        return;
    }
    memset(variable, 0, sizeof *variable);
    variable->name = copy;
    variable->value.type = type;
    variable->provider = provider;
    if (s_globalsTail) s_globalsTail->next = variable; else s_globalsHead = variable;
    s_globalsTail = variable;
}

void SWMODULE_TimeVarProvider(SW_GLOBVAR* variable)
{
    variable->value.type = SWTYPE_WORD;
    if (!SWMODULE_CurrentModule) {
        SWMODULE_ClearValue(&variable->value);
        return;
    }
    uint16_t ticks = static_cast<uint16_t>((g_simClock.clock - SWMODULE_CurrentModule->powerOnTime) / 10);
    SWTYPE_SetIntComponent(&variable->value, 0, ticks);
}
