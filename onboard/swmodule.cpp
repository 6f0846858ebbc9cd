// SWMODULE: the "onboard_module" block of a satellite, the loading of the
// module's 8051 image, the linking of its connections and its release.
#include "onboard/swmodule.h"
#include <cinttypes>
#include <cstddef>
#include <cstring>
#include <strings.h>
#include "foundation/iotxt.h"
#include "foundation/log.h"
#include "foundation/memory.h"
#include "foundation/pool.h"
#include "foundation/util.h"
#include "onboard/kombus.h"
#include "onboard/services.h"
#include "onboard/services_debug.h"
#include "onboard/sim51.h"

SWMODULE* SWMODULE_CurrentModule = nullptr;

namespace {

constexpr uint32_t kImageLength = 65535;

// Everything a block defines, gathered before the module record exists.
struct SWMODULE_DRAFT {
    char* name;
    uint32_t powerGiven;
    uint32_t powerKind;
    SW_CONNECTION powerSource;
    TIME_MS powerOutCold;
    TIME_MS delayPowerOn;
    TIME_MS delayPowerOff;
    uint32_t busGiven;
    uint32_t busKind;
    uint8_t busAddresses[SWMODULE_MAX_ADDRESSES];
    uint8_t addressCount;
    uint32_t buffersGiven;
    uint16_t receiveBuffers;
    uint16_t sendBuffers;
    SIM51_CPU* cpu;
    uint16_t inputCount;
    SWMODULE_INPUT inputs[SWMODULE_MAX_PORTS];
    uint16_t outputCount;
    SWMODULE_OUTPUT outputs[SWMODULE_MAX_PORTS];
};

int Line()
{
    return static_cast<int>(IOTXT_GetLineNumber());
}

void FreeText(char** text)
{
    if (*text) POOL_Free(*text);
    *text = nullptr;
}

void FreeDraft(SWMODULE_DRAFT* draft)
{
    FreeText(&draft->name);
    SWMODULE_FreeConnection(&draft->powerSource);
    SIM51_DestroyCpu(draft->cpu);
    draft->cpu = nullptr;
    for (uint16_t i = 0; i < draft->inputCount; ++i) {
        FreeText(&draft->inputs[i].name);
        SWMODULE_FreeConnection(&draft->inputs[i].source);
    }
    for (uint16_t i = 0; i < draft->outputCount; ++i) FreeText(&draft->outputs[i].name);
}

uint32_t ExpectEndOfLine(const char* message)
{
    if (IOTXT_IsEndOfLine()) return 1;
    LOG_Printf(message, Line());
    return 0;
}

const char* const kEndOfLineA = "SWMODULE: očekávám konec řádky na řádku %d.\n";
const char* const kEndOfLineU = "SWMODULE: očekávám konec řádku na řádku %d.\n";

uint32_t ParsePower(SWMODULE_DRAFT* d)
{
    if (!IOTXT_MatchEquals()) {
        LOG_Printf("SWMODULE: za slovem POWER očekávám rovnítko na řádku %d.\n", Line());
        return 0;
    }
    SWMODULE_FreeConnection(&d->powerSource);
    memset(&d->powerSource, 0, sizeof d->powerSource);
    d->powerGiven = 1;
    if (IOTXT_MatchWord("ALWAYS_POWERED")) {
        d->powerKind = SWMODULE_ALWAYS_POWERED;
        return ExpectEndOfLine(kEndOfLineA);
    }
    if (!SWMODULE_ParseConnection(&d->powerSource)) {
        LOG_Printf("SWMODULE: chybná specifikace napájení palubního modulu na řádku %d.\n", Line());
        return 0;
    }
    d->powerKind = SWMODULE_POWERED_BY_CONNECTION;
    return ExpectEndOfLine(kEndOfLineU);
}

uint32_t ParseDuration(const char* noEquals, TIME_MS* out)
{
    if (!IOTXT_MatchEquals()) {
        LOG_Printf(noEquals, Line());
        return 0;
    }
    int64_t ms;
    if (!IOTXT_ReadDuration(&ms)) {
        LOG_Printf("SWMODULE: očekávám určení intervalu na řádku %d.\n", Line());
        return 0;
    }
    *out = ms;
    return ExpectEndOfLine(kEndOfLineA);
}

uint32_t LoadImage(SWMODULE_DRAFT* d, const char* fileName)
{
    // A repeated code line replaces the earlier image and its machine.
    SIM51_DestroyCpu(d->cpu);
    d->cpu = SIM51_CreateCpu();
    if (!d->cpu) {
        LOG_Printf("SWMODULE: nedostatek paměti pro virtuální x51 stroj na řádku %d.\n", Line());
        return 0;
    }
    SIM51_ClearRam(d->cpu);
    char path[1000];
    if (!UTIL_ResolvePath(fileName, path, sizeof path) || !SIM51_LoadImage(d->cpu, path)) {
        LOG_Printf("SWMODULE: načtení binárního kódu ze souboru \"%s\" bylo neúspěšné na řádku %d.\n", fileName, Line());
        return 0;
    }
    if (d->cpu->imageLength != kImageLength) {
        LOG_Printf("SWMODULE: délka binárního kódu v souboru \"%s\" je nesprávná (má být 65535) na řádku %d.\n",
                   fileName, Line());
        return 0;
    }
    int major = d->cpu->code[SIM51_IMAGE_VERSION_MAJOR];
    int minor = d->cpu->code[SIM51_IMAGE_VERSION_MINOR];
    if (major == 0 || (major == 1 && minor < 3)) {
        LOG_Printf("SWMODULE: binárního kód v souboru \"%s\" není s touto verzí simulátoru kompatibilní,\n", fileName);
        LOG_Printf("          minimální povolená verze kódu je %d.%02d, v souboru je však verze %d.%02d.\n", 1, 3,
                   major, minor);
        LOG_Printf("SWMODULE: binární kód v souboru \"%s\" je nepoužitelný na řádku %d.\n", fileName, Line());
        return 0;
    }
    d->cpu->startSp = d->cpu->code[SIM51_IMAGE_START_SP];
    return KOM_RegisterServices(d->cpu);
}

uint32_t ParseCode(SWMODULE_DRAFT* d)
{
    if (!IOTXT_MatchEquals()) {
        LOG_Printf("SWMODULE: za slovem CODE očekávám rovnítko na řádku %d.\n", Line());
        return 0;
    }
    if (!IOTXT_MatchWord("X51")) {
        LOG_Printf("SWMODULE: neznámý nebo neimplementovaný typ binárního kódu na řádku %d.\n", Line());
        return 0;
    }
    if (!IOTXT_MatchComma()) {
        LOG_Printf("SWMODULE: za typem binárního kódu očekávám čárku na řádku %d.\n", Line());
        return 0;
    }
    MEMORY_SetTag("SWMODULE-code-filename");
    char* fileName = IOTXT_ReadQuotedString();
    if (!fileName) {
        LOG_Printf("SWMODULE: očekávám název souboru s binárním kódem na řádku %d.\n", Line());
        return 0;
    }
    uint32_t ok = LoadImage(d, fileName);
    POOL_Free(fileName);
    return ok;
}

uint32_t ParseInput(SWMODULE_DRAFT* d)
{
    if (d->inputCount >= SWMODULE_MAX_PORTS) {
        LOG_Printf("SWMODULE: příliš mnoho vstupů modulu na řádku %d.\n", Line());
        return 0;
    }
    MEMORY_SetTag("SWMODULE-input-name");
    char* name = IOTXT_ReadQuotedString();
    if (!name) {
        LOG_Printf("SWMODULE: očekávám název vstupu modulu na řádku %d.\n", Line());
        return 0;
    }
    if (!IOTXT_MatchEquals()) {
        LOG_Printf("SWMODULE: očekávám rovnítko a definici propojení na řádku %d.\n", Line());
        POOL_Free(name);
        return 0;
    }
    SW_CONNECTION source{};
    if (!SWMODULE_ParseConnection(&source)) {
        POOL_Free(name);
        return 0;
    }
    SWMODULE_INPUT& input = d->inputs[d->inputCount++];
    memset(&input, 0, sizeof input);
    input.name = name;
    input.source = source;
    return ExpectEndOfLine(kEndOfLineU);
}

uint32_t ParseOutput(SWMODULE_DRAFT* d)
{
    if (d->outputCount >= SWMODULE_MAX_PORTS) {
        LOG_Printf("SWMODULE: příliš mnoho výstupů modulu na řádku %d.\n", Line());
        return 0;
    }
    MEMORY_SetTag("SWMODULE-output-name");
    char* name = IOTXT_ReadQuotedString();
    if (!name) {
        LOG_Printf("SWMODULE: očekávám název výstupu modulu na řádku %d.\n", Line());
        return 0;
    }
    SWMODULE_OUTPUT& output = d->outputs[d->outputCount++];
    memset(&output, 0, sizeof output);
    output.name = name;
    return ExpectEndOfLine(kEndOfLineA);
}

uint32_t ParseBusKind(SWMODULE_DRAFT* d)
{
    if (d->busGiven) {
        LOG_Printf("SWMODULE: typ implementace komunikační sběrnice už byl určen na řádku %d.\n", Line());
        return 0;
    }
    if (!IOTXT_MatchEquals()) {
        LOG_Printf("SWMODULE: očekávám rovnítko na řádku %d.\n", Line());
        return 0;
    }
    if (IOTXT_MatchWord("NONE")) d->busKind = SWMODULE_BUS_NONE;
    else if (IOTXT_MatchWord("SMALL")) d->busKind = SWMODULE_BUS_SMALL;
    else if (IOTXT_MatchWord("LARGE")) d->busKind = SWMODULE_BUS_LARGE;
    else {
        LOG_Printf("SWMODULE: neznámá varianta implementace palubní sběrnice na řádku %d.\n", Line());
        return 0;
    }
    d->busGiven = 1;
    return ExpectEndOfLine(kEndOfLineA);
}

uint32_t ParseBusAddresses(SWMODULE_DRAFT* d)
{
    if (!d->busGiven) {
        LOG_Printf("SWMODULE: před komunikační adresou musí být nadefinován typ implementace komunikace na řádku %d.\n",
                   Line());
        return 0;
    }
    if (d->busKind == SWMODULE_BUS_NONE) {
        LOG_Printf("SWMODULE: komunikační adresy lze zadat pouze pro komunikující modul na řádku %d.\n", Line());
        return 0;
    }
    if (!IOTXT_MatchEquals()) {
        LOG_Printf("SWMODULE: očekávám rovnítko na řádku %d.\n", Line());
        return 0;
    }
    for (;;) {
        int64_t address;
        if (!IOTXT_ReadInt64(&address)) {
            LOG_Printf("SWMODULE: očekávám hodnotu komunikační adresy na řádku %d.\n", Line());
            return 0;
        }
        if (!KOMBUS_IsValidAddress(address)) {
            LOG_Printf("SWMODULE: hodnota komunikační adresy na řádku %d je chybná.\n", Line());
            return 0;
        }
        if (d->addressCount >= SWMODULE_MAX_ADDRESSES) {
            LOG_Printf("SWMODULE: příliš mnoho nadefinovaných komunikačních adres na řádku %d.\n", Line());
            return 0;
        }
        d->busAddresses[d->addressCount++] = static_cast<uint8_t>(address);
        if (IOTXT_IsEndOfLine()) return 1;
        if (!IOTXT_MatchComma()) {
            LOG_Printf("SWMODULE: očekávám čárku na řádku %d.\n", Line());
            return 0;
        }
    }
}

uint32_t ParseBusBuffers(SWMODULE_DRAFT* d)
{
    if (!d->busGiven) {
        LOG_Printf("SWMODULE: před počty komunikačních bufferů je nutno určit typ implementace komunikace na řádku %d.\n",
                   Line());
        return 0;
    }
    if (d->busKind != SWMODULE_BUS_LARGE) {
        LOG_Printf("SWMODULE: počty komunikačních bufferů lze zadat pouze pro LARGE variantu komunikace na řádku %d.\n",
                   Line());
        return 0;
    }
    if (d->buffersGiven) {
        LOG_Printf("SWMODULE: počty komunikačních bufferů nelze zadat vícekrát na řádku %d.\n", Line());
        return 0;
    }
    if (!IOTXT_MatchEquals()) {
        LOG_Printf("SWMODULE: očekávám rovnítko na řádku %d.\n", Line());
        return 0;
    }
    int64_t receive = 0, send = 0;
    if (!IOTXT_ReadInt64(&receive)) {
        LOG_Printf("SWMODULE: očekávám hodnotu počtu přijímacích bufferů na řádku %d.\n", Line());
        return 0;
    }
    if (!IOTXT_IsEndOfLine()) {
        if (!IOTXT_MatchComma()) {
            LOG_Printf("SWMODULE: očekávám čárku a hodnotu počtu vysílacích bufferů na řádku %d.\n", Line());
            return 0;
        }
        if (!IOTXT_ReadInt64(&send)) {
            LOG_Printf("SWMODULE: očekávám hodnotu počtu vysílacích bufferů na řádku %d.\n", Line());
            return 0;
        }
    }
    if (!KOMBUS_AreValidBufferCounts(receive, send)) {
        LOG_Printf("SWMODULE: počtu komunikačních bufferů %" PRId64 ", %" PRId64 " jsou chybné na řádku %d.\n", receive,
                   send, Line());
        return 0;
    }
    d->buffersGiven = 1;
    d->receiveBuffers = static_cast<uint16_t>(receive);
    d->sendBuffers = static_cast<uint16_t>(send);
    return ExpectEndOfLine(kEndOfLineA);
}

uint32_t ParseKeywordLine(SWMODULE_DRAFT* d)
{
    if (IOTXT_MatchWord("power")) return ParsePower(d);
    if (IOTXT_MatchWord("power_out_cold"))
        return ParseDuration(
            "SWMODULE: za slovem POWER_OUT_COLD očekávám rovnítko a interval výpadku do studeného startu na řádku %d.\n",
            &d->powerOutCold);
    if (IOTXT_MatchWord("delay_power_on"))
        return ParseDuration("SWMODULE: za slovem DELAY_POWER_ON očekávám rovnítko a interval na řádku %d.\n",
                             &d->delayPowerOn);
    if (IOTXT_MatchWord("delay_power_off"))
        return ParseDuration("SWMODULE: za slovem DELAY_POWER_OFF očekávám rovnítko a interval na řádku %d.\n",
                             &d->delayPowerOff);
    if (IOTXT_MatchWord("code")) return ParseCode(d);
    if (IOTXT_MatchWord("input")) return ParseInput(d);
    if (IOTXT_MatchWord("output")) return ParseOutput(d);
    if (IOTXT_MatchWord("kombus_implementation")) return ParseBusKind(d);
    if (IOTXT_MatchWord("kombus_address")) return ParseBusAddresses(d);
    if (IOTXT_MatchWord("kombus_buffers")) return ParseBusBuffers(d);
    LOG_Printf("SWMODULE: neznámé slovo v definici palubního modulu na řádku %d.\n", Line());
    return 0;
}

uint32_t CompleteDraft(SWMODULE_DRAFT* d)
{
    if (d->busKind != SWMODULE_BUS_NONE && d->addressCount == 0) {
        LOG_Printf("SWMODULE: druh komunikace byl definován, ale žádná komunikační adresa na řádku %d.\n", Line());
        return 0;
    }
    if (d->busKind == SWMODULE_BUS_SMALL) {
        d->receiveBuffers = 1;
        d->sendBuffers = 0;
    }
    if (!d->cpu) {
        LOG_Printf("SWMODULE: nebyl specifikován kód modulu na řádku %d.\n", Line());
        return 0;
    }
    if (!d->powerGiven) d->powerKind = SWMODULE_ALWAYS_POWERED;
    return 1;
}

static_assert(offsetof(SWMODULE, next) + sizeof(SWMODULE*) <= 2 * POOL_LINE,
              "the scheduling and a run read the first two lines of a module");

// The port arrays start on a line, as each of their records does.
template <typename T>
T* CopyArray(MEMORY_TAG tag, const T* items, uint16_t count)
{
    MEMORY_SetTag(tag);
    auto* array = static_cast<T*>(POOL_AllocLine(sizeof(T) * (count ? count : 1) + 1));
    if (array) memcpy(static_cast<void*>(array), items, sizeof(T) * count);
    return array;
}

SWMODULE* BuildModule(SWMODULE_DRAFT* d)
{
    SWMODULE_INPUT* inputs = CopyArray("SWMODULE:module input array", d->inputs, d->inputCount);
    SWMODULE_OUTPUT* outputs = CopyArray("SWMODULE:module output array", d->outputs, d->outputCount);
    if (!inputs || !outputs) {
        POOL_FreeLine(inputs);
        POOL_FreeLine(outputs);
        LOG_Printf("SWMODULE: nedostatek paměti na řádku %d.\n", Line());
        return nullptr;
    }
    MEMORY_SetTag("SWMODULE:onboard module struct");
    auto* m = static_cast<SWMODULE*>(POOL_AllocLine(sizeof(SWMODULE) + 1));
    if (!m) {
        POOL_FreeLine(inputs);
        POOL_FreeLine(outputs);
        LOG_Printf("SWMODULE: nedostatek paměti pro nový palubní modul.\n");
        return nullptr;
    }
    memset(static_cast<void*>(m), 0, sizeof *m);
    m->name = d->name;
    m->powerKind = d->powerKind;
    m->powerSource = d->powerSource;
    m->powerOutCold = d->powerOutCold;
    m->delayPowerOn = d->delayPowerOn;
    m->delayPowerOff = d->delayPowerOff;
    m->powerEvent = EVENT_HANDLE_NONE;
    m->busKind = d->busKind;
    m->lowestAddress = 255;
    for (uint8_t i = 0; i < d->addressCount; ++i) {
        uint8_t a = d->busAddresses[i];
        m->busAddresses[i] = a;
        if (a < m->lowestAddress) m->lowestAddress = a;
        if (a > m->highestAddress) m->highestAddress = a;
    }
    m->addressCount = d->addressCount;
    m->receiveBuffers = d->receiveBuffers;
    m->sendBuffers = d->sendBuffers;
    m->codeKind = SWMODULE_CODE_X51;
    m->cpu = d->cpu;
    m->inputCount = d->inputCount;
    m->inputs = inputs;
    m->outputCount = d->outputCount;
    m->outputs = outputs;
    m->period = SWMODULE_PERIOD_NONE;
    return m;
}

}  // namespace

SWMODULE* SWMODULE_ParseDefinition()
{
    auto* d = new SWMODULE_DRAFT();
    MEMORY_SetTag("SWMODULE-module-label");
    d->name = IOTXT_ReadQuotedString();
    uint32_t ok = 1;
    if (!d->name) {
        LOG_Printf("SWMODULE: očekávám jméno palubního modulu na řádku %d.\n", Line());
        ok = 0;
    } else if (!IOTXT_IsEndOfLine()) {
        LOG_Printf("SWMODULE: za jménem palubního modulu očekávám konec řádky na řádku %d.\n", Line());
        ok = 0;
    }
    while (ok && IOTXT_NextLine()) {
        if (IOTXT_MatchWord("end")) {
            ok = ExpectEndOfLine("SWMODULE: očekávám konec řádky za slovem END na řádku %d.\n");
            break;
        }
        ok = ParseKeywordLine(d);
    }
    SWMODULE* module = ok && CompleteDraft(d) ? BuildModule(d) : nullptr;
    if (!module) FreeDraft(d);
    delete d;
    return module;
}

uint32_t SWMODULE_LinkConnections(SWMODULE* module, SWMODULE* firstModule)
{
    uint32_t ok = 1;
    for (uint16_t i = 0; i < module->inputCount; ++i) {
        SWMODULE_INPUT* input = &module->inputs[i];
        if (SWMODULE_ResolveConnection(&input->source, firstModule)) continue;
        LOG_Printf("SWMODULE: vstup \"%s\" modulu \"%s\" nelze propojit na cílový modul \"%s\", výstup \"%s\".\n",
                   input->name, module->name, input->source.moduleName, input->source.outputName);
        ok = 0;
    }
    if (!SWMODULE_ResolveConnection(&module->powerSource, firstModule)) {
        LOG_Printf("SWMODULE: napájení modulu \"%s\" nelze propojit na cílový modul \"%s\", výstup \"%s\".\n",
                   module->name, module->powerSource.moduleName, module->powerSource.outputName);
        return 0;
    }
    return ok;
}

void SWMODULE_Destroy(SWMODULE* module)
{
    if (!module) return;
    // A power event still queued would otherwise fire on a freed module.
    if (module->powerEvent != EVENT_HANDLE_NONE) EVENTS_Cancel(module->powerEvent);
    module->powerEvent = EVENT_HANDLE_NONE;
    if (SWMODULE_CurrentModule == module) SWMODULE_CurrentModule = nullptr;
    // The bus record lives to the end of the run; it no longer has a module.
    if (module->bus) {
        module->bus->owner = nullptr;
        module->bus->connected = 0;
    }
    if (module->logGate) {
        KOM_LogEndLine(module);
        POOL_Free(module->logGate);
    }
    FreeText(&module->name);
    SIM51_DestroyCpu(module->cpu);
    for (uint16_t i = 0; i < module->inputCount; ++i) {
        FreeText(&module->inputs[i].name);
        SWMODULE_FreeConnection(&module->inputs[i].source);
    }
    POOL_FreeLine(module->inputs);
    for (uint16_t i = 0; i < module->outputCount; ++i) {
        SWMODULE_OUTPUT* output = &module->outputs[i];
        FreeText(&output->name);
        if (output->powered) POOL_Free(output->powered);
        for (SW_REFERER* r = output->referers; r;) {
            SW_REFERER* next = r->next;
            POOL_Free(r);
            r = next;
        }
    }
    POOL_FreeLine(module->outputs);
    SWMODULE_FreeConnection(&module->powerSource);
    POOL_FreeLine(module);
}

SWMODULE* SWMODULE_FindByName(SWMODULE* firstModule, const char* name)
{
    for (SWMODULE* m = firstModule; m; m = m->next)
        if (name && strcasecmp(m->name, name) == 0) return m;
    return nullptr;
}

SWMODULE_INPUT* SWMODULE_FindInput(SWMODULE* module, const char* name, uint16_t* index)
{
    for (uint16_t i = 0; i < module->inputCount; ++i) {
        if (strcasecmp(module->inputs[i].name, name) != 0) continue;
        if (index) *index = i;
        return &module->inputs[i];
    }
    return nullptr;
}

SWMODULE_OUTPUT* SWMODULE_FindOutput(SWMODULE* module, const char* name, uint16_t* index)
{
    for (uint16_t i = 0; i < module->outputCount; ++i) {
        if (!name || strcasecmp(module->outputs[i].name, name) != 0) continue;
        if (index) *index = i;
        return &module->outputs[i];
    }
    return nullptr;
}

void SWMODULE_AddBinding(SWMODULE_BINDINGS* bindings, bool output, uint16_t index)
{
    uint16_t* outputs = bindings->index + bindings->inputCount;
    if (output) {
        outputs[bindings->outputCount++] = index;
        return;
    }
    memmove(outputs + 1, outputs, bindings->outputCount * sizeof *outputs);
    outputs[0] = index;
    bindings->inputCount++;
}

uint16_t SWMODULE_CodeWord(const SWMODULE* module, uint16_t cell)
{
    const uint8_t* code = module->cpu->code;
    return static_cast<uint16_t>(code[cell] << 8 | code[static_cast<uint16_t>(cell + 1)]);
}
