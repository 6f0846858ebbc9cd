// SWMODULE: the start of a satellite's modules, module power with its delays
// and cold/warm starts, the periodic entries, the bus message entry, and the
// feeding of inputs and propagation of outputs around every entry run.
#include <cstring>
#include "foundation/log.h"
#include "foundation/memory.h"
#include "foundation/pool.h"
#include "onboard/kombus.h"
#include "onboard/services_debug.h"
#include "onboard/sim51.h"
#include "onboard/swmodule.h"
#include "foundation/time.h"

namespace {

constexpr uint32_t kStartBudget = 2000000;     // cold start, warm start, bus message
constexpr uint32_t k1msBudget = 100000;
constexpr uint32_t kPeriodicBudget = 200000;   // 10 ms and 1000 ms entries
constexpr TIME_MS kLongAgo = 100000000000LL;
constexpr uint32_t kMaxMillisecondRuns = 10;

TIME_MS Now()
{
    return g_simClock.clock;
}

void RunEntry(SWMODULE* module, uint32_t code, uint32_t budget)
{
    uint16_t address = module->entries[code - 1];
    if (!address) return;
    SWMODULE_CurrentModule = module;
    const SWMODULE_BINDINGS* bound = &module->bindings[code - 1];
    SWMODULE_FeedInputs(module, SWMODULE_BoundInputs(bound), bound->inputCount);
    if (module->codeKind == SWMODULE_CODE_X51) SIM51_Run(module->cpu, address, budget);
    SWMODULE_PropagateOutputs(module, SWMODULE_BoundOutputs(bound), bound->outputCount);
}

// ---- start -----------------------------------------------------------------

void ReportSharedAddresses(SWMODULE* first)
{
    for (SWMODULE* a = first; a; a = a->next)
        for (SWMODULE* b = a->next; b; b = b->next) {
            if (a->busKind == SWMODULE_BUS_NONE || b->busKind == SWMODULE_BUS_NONE) continue;
            for (uint8_t i = 0; i < a->addressCount; ++i)
                for (uint8_t j = 0; j < b->addressCount; ++j)
                    if (a->busAddresses[i] == b->busAddresses[j])
                        LOG_Printf("SWM: moduly \"%s\" a \"%s\" mají oba nadefinovanou komunikační adresu %d.\n",
                                   a->name, b->name, a->busAddresses[i]);
        }
}

bool PoweredBy(const SWMODULE* module, const SWMODULE_OUTPUT* output)
{
    return module->powerKind == SWMODULE_POWERED_BY_CONNECTION &&
           module->powerSource.kind == SW_CONN_MODULE_OUTPUT && module->powerSource.output == output;
}

uint32_t BuildPoweredLists(SWMODULE* first)
{
    for (SWMODULE* m = first; m; m = m->next)
        for (uint16_t o = 0; o < m->outputCount; ++o) {
            SWMODULE_OUTPUT* output = &m->outputs[o];
            uint16_t count = 0;
            for (SWMODULE* p = first; p; p = p->next) count = static_cast<uint16_t>(count + PoweredBy(p, output));
            if (count == 0 || output->powered) continue;
            MEMORY_SetTag("PoweredModules-pointers-array");
            output->powered = static_cast<SWMODULE**>(POOL_Alloc(count * sizeof(SWMODULE*) + 1));
            if (!output->powered) {
                LOG_Printf("SWMODULE: nedostatek paměti (power-array).\n");
                return 0;
            }
            for (SWMODULE* p = first; p; p = p->next)
                if (PoweredBy(p, output)) output->powered[output->poweredCount++] = p;
        }
    return 1;
}

void RunResets(SWMODULE* first)
{
    for (SWMODULE* m = first; m; m = m->next) {
        SWMODULE_CurrentModule = m;
        for (uint16_t i = 0; i < m->inputCount; ++i) SWMODULE_ClearValue(&m->inputs[i].value);
        for (uint16_t o = 0; o < m->outputCount; ++o) SWMODULE_ClearValue(&m->outputs[o].value);
        if (m->codeKind == SWMODULE_CODE_X51) SIM51_RunFromReset(m->cpu);
    }
}

uint32_t CheckDeclarations(SWMODULE* first)
{
    uint32_t ok = 1;
    for (SWMODULE* m = first; m; m = m->next) {
        for (uint16_t i = 0; i < m->inputCount; ++i)
            if (!m->inputs[i].declared) {
                LOG_Printf("SWMODULE: vstup \"%s\" modulu \"%s\" nebyl modulem nakonfigurován.\n", m->inputs[i].name,
                           m->name);
                ok = 0;
            }
        for (uint16_t o = 0; o < m->outputCount; ++o)
            if (!m->outputs[o].declared) {
                LOG_Printf("SWMODULE: výstup \"%s\" modulu \"%s\" nebyl modulem nakonfigurován.\n", m->outputs[o].name,
                           m->name);
                ok = 0;
            }
    }
    return ok;
}

// The satellite's own bus: the one its modules are on already, else a new one.
// Each satellite has a bus of its own, so twins with the same addresses never
// hear each other.
KOMBUS_BUS* SatelliteBus(SWMODULE* first)
{
    for (SWMODULE* m = first; m; m = m->next)
        if (m->bus) return m->bus->satelliteBus;
    return KOMBUS_CreateBus();
}

uint32_t CreateBusRecords(SWMODULE* first)
{
    KOMBUS_BUS* satelliteBus = nullptr;
    for (SWMODULE* m = first; m; m = m->next) {
        if (m->busKind == SWMODULE_BUS_NONE || m->bus) continue;
        if (!satelliteBus) satelliteBus = SatelliteBus(first);
        m->bus = satelliteBus ? KOMBUS_CreateModule(m, satelliteBus) : nullptr;
        if (!m->bus) {
            LOG_Printf("SWMODULE: modul \"%s\" se nepodařilo připojit k simulátoru palubní sběrnice\n", m->name);
            return 0;
        }
    }
    return 1;
}

uint32_t CheckPowerTypes(SWMODULE* first)
{
    uint32_t ok = 1;
    for (SWMODULE* m = first; m; m = m->next) {
        if (m->powerKind != SWMODULE_POWERED_BY_CONNECTION) continue;
        const SW_CONNECTION& c = m->powerSource;
        if (SWMODULE_ConnIsIntScalar(&c)) continue;
        const SW_VALUE* value = SWMODULE_ConnValue(&c);
        const char* typeName = SWTYPE_Name(value ? value->type : SWTYPE_NONE);
        if (c.kind == SW_CONN_GLOBAL_VARIABLE)
            LOG_Printf("SWMODULE: napájení modulu \"%s\" je připojeno na globální proměnnou \"%s\" typu \"%s\", a to je "
                       "chyba, je vyžadován celočíselný typ.\n",
                       m->name, c.variable ? c.variable->name : "", typeName);
        else
            LOG_Printf("SWMODULE: napájení modulu \"%s\" je připojeno na modul \"%s\", výstup \"%s\" typu \"%s\", a to "
                       "je chyba, je vyžadován celočíselný typ.\n",
                       m->name, c.moduleName, c.outputName, typeName);
        ok = 0;
    }
    return ok;
}

uint32_t PeriodOf(const SWMODULE* m)
{
    if (m->entries[SWMODULE_ENTRY_1MS - 1]) return 1;
    if (m->entries[SWMODULE_ENTRY_10MS - 1]) return 10;
    if (m->entries[SWMODULE_ENTRY_1000MS - 1]) return 1000;
    return SWMODULE_PERIOD_NONE;
}

void PreparePower(SWMODULE* first)
{
    for (SWMODULE* m = first; m; m = m->next) {
        m->period = PeriodOf(m);
        m->lastTick = Now();
        for (TIME_MS& t : m->lastRun) t = Now();
        m->powerState = SWMODULE_POWER_OFF;
        for (uint32_t& flag : m->firstTick) flag = 1;
        m->powerLostTime = Now() - kLongAgo;
        m->lastPowerChange = Now();
        m->firstPowerUp = 1;
        m->powerEvent = EVENT_HANDLE_NONE;
        if (m->powerKind == SWMODULE_ALWAYS_POWERED) {
            SWMODULE_SetPower(m, 1);
        } else if (m->powerSource.kind == SW_CONN_GLOBAL_VARIABLE) {
            LOG_Printf("SWMODULE: modul \"%s\" je napájen z globální proměnné, ta jej nezapíná; modul zůstane vypnutý.\n",
                       m->name);
        }
    }
}

// ---- power -------------------------------------------------------------------

SWMODULE* EventModule(const EVENT* event)
{
    SWMODULE* module;
    memcpy(&module, event->userData + 8, sizeof module);
    return module;
}

void SchedulePowerEvent(SWMODULE* module, TIME_MS delay, EVENT_CALLBACK callback)
{
    EVENT event;
    EVENTS_ClearEvent(&event);
    event.dueTime = Now() + delay;
    event.callback = callback;
    event.word = 1;
    memcpy(event.userData + 8, &module, sizeof module);
    module->powerEvent = EVENTS_Schedule(&event);
    if (module->powerEvent == EVENT_HANDLE_NONE && !module->powerEventFailReported) {
        module->powerEventFailReported = 1;
        LOG_Printf("SWMODULE: změnu napájení modulu \"%s\" nelze naplánovat, modul na ni bude čekat trvale.\n",
                   module->name);
    }
}

void CancelPowerEvent(SWMODULE* module)
{
    EVENT_HANDLE handle = module->powerEvent;
    module->powerEvent = EVENT_HANDLE_NONE;
    if (handle != EVENT_HANDLE_NONE) EVENTS_Cancel(handle);
}

// A fired or released event is forgotten, so that nothing cancels it later.
bool ForgetPowerEvent(uint32_t reason, EVENT* event, SWMODULE* module)
{
    if (module->powerEvent == event->handle) module->powerEvent = EVENT_HANDLE_NONE;
    return reason == EVENT_REASON_FIRE;
}

}  // namespace

uint32_t SWMODULE_StartModules(SWMODULE* firstModule)
{
    ReportSharedAddresses(firstModule);
    if (!BuildPoweredLists(firstModule)) return 0;
    RunResets(firstModule);
    if (!CheckDeclarations(firstModule)) return 0;
    if (!CreateBusRecords(firstModule)) return 0;
    uint32_t ok = CheckPowerTypes(firstModule);
    PreparePower(firstModule);
    return ok;
}

void SWMODULE_SetPower(SWMODULE* module, uint32_t on)
{
    switch (module->powerState) {
    case SWMODULE_POWER_OFF:
        if (!on) return;
        SchedulePowerEvent(module, module->delayPowerOn, SWMODULE_OnPowerOnDone);
        module->powerState = SWMODULE_POWER_GOING_ON;
        module->lastPowerChange = Now();
        return;
    case SWMODULE_POWER_GOING_ON:
        if (on) return;
        CancelPowerEvent(module);
        module->lastPowerChange = Now();
        module->powerLostTime = Now();
        module->powerState = SWMODULE_POWER_OFF;
        return;
    case SWMODULE_POWER_ON:
        if (on) return;
        SchedulePowerEvent(module, module->delayPowerOff, SWMODULE_OnPowerOffDone);
        module->powerState = SWMODULE_POWER_GOING_OFF;
        module->lastPowerChange = Now();
        module->powerLostTime = Now();
        return;
    case SWMODULE_POWER_GOING_OFF:
        if (!on) return;
        CancelPowerEvent(module);
        module->lastPowerChange = Now();
        module->powerState = SWMODULE_POWER_ON;
        return;
    default: module->powerState = SWMODULE_POWER_OFF; return;
    }
}

void SWMODULE_OnPowerOnDone(uint32_t reason, EVENT* event)
{
    SWMODULE* module = EventModule(event);
    if (!ForgetPowerEvent(reason, event, module)) return;
    TIME_MS offTime = Now() - module->powerLostTime;
    if (module->firstPowerUp || offTime >= module->powerOutCold) {
        module->firstPowerUp = 0;
        SWMODULE_RunEntry2(module);
    } else {
        SWMODULE_RunEntry1(module);
    }
    if (module->bus) KOMBUS_Connect(module);
    module->powerState = SWMODULE_POWER_ON;
    module->powerOnTime = Now();
}

void SWMODULE_OnPowerOffDone(uint32_t reason, EVENT* event)
{
    SWMODULE* module = EventModule(event);
    if (!ForgetPowerEvent(reason, event, module)) return;
    module->powerState = SWMODULE_POWER_OFF;
    if (module->bus) KOMBUS_Disconnect(module);
    // A stopped module's unfinished line is whole from here on.
    KOM_LogEndLine(module);
}

void SWMODULE_RunEntry1(SWMODULE* module)
{
    RunEntry(module, SWMODULE_ENTRY_WARM_START, kStartBudget);
}

void SWMODULE_RunEntry2(SWMODULE* module)
{
    RunEntry(module, SWMODULE_ENTRY_COLD_START, kStartBudget);
    RunEntry(module, SWMODULE_ENTRY_WARM_START, kStartBudget);
}

// ---- periodic entries --------------------------------------------------------

namespace {

void RunTimes(SWMODULE* module, uint32_t code, TIME_MS runs, uint32_t budget)
{
    for (TIME_MS i = 0; i < runs; ++i) RunEntry(module, code, budget);
}

// Runs due after a first tick: one, whatever time has passed.
TIME_MS FirstTickRuns(SWMODULE* module, uint32_t slot, TIME_MS runs)
{
    if (!module->firstTick[slot]) return runs;
    module->firstTick[slot] = 0;
    return 1;
}

}  // namespace

// Elapsed times are signed: the clock may be set back, and a difference of
// zero or less is not due.
void SWMODULE_Tick(SWMODULE* module)
{
    if (module->powerState != SWMODULE_POWER_ON) {
        for (uint32_t& flag : module->firstTick) flag = 1;
        return;
    }
    TIME_MS now = Now();
    if (module->entries[SWMODULE_ENTRY_1MS - 1]) {
        TIME_MS elapsed = now - module->lastRun[0];
        if (elapsed > 0) {
            module->lastRun[0] = now;
            TIME_MS runs = elapsed < kMaxMillisecondRuns ? elapsed : kMaxMillisecondRuns;
            RunTimes(module, SWMODULE_ENTRY_1MS, FirstTickRuns(module, 0, runs), k1msBudget);
        }
    }
    if (module->entries[SWMODULE_ENTRY_10MS - 1]) {
        TIME_MS elapsed = now - module->lastRun[1];
        if (elapsed >= 10) {
            module->lastRun[1] = now - elapsed % 10;
            RunTimes(module, SWMODULE_ENTRY_10MS, FirstTickRuns(module, 1, elapsed / 10), kPeriodicBudget);
        }
    }
    if (module->entries[SWMODULE_ENTRY_1000MS - 1]) {
        TIME_MS elapsed = now - module->lastRun[2];
        if (elapsed >= 1000) {
            module->lastRun[2] = now - elapsed % 1000;
            RunTimes(module, SWMODULE_ENTRY_1000MS, FirstTickRuns(module, 2, elapsed / 1000), kPeriodicBudget);
        }
    }
}

// The message is released afterwards only if it is still the one taken here:
// the entry may have released it itself and taken the next one.
void SWMODULE_DeliverMessage(SWMODULE* module)
{
    KOMBUS_MODULE* bus = module->bus;
    if (!bus) return;
    KOMBUS_BUFFER* message = KOMBUS_TakeReceived(bus);
    if (!message) return;
    if (module->codeKind == SWMODULE_CODE_X51) {
        uint16_t address = SWMODULE_CodeWord(module, SWMODULE_CELL_RECEIVE_BUFFER);
        for (uint32_t i = 0; i < message->bytes[0]; ++i)
            module->cpu->xram[static_cast<uint16_t>(address + i)] = message->bytes[i];
        SIM51_WriteDirectWord(module->cpu, module->cpu->code[SWMODULE_CELL_MESSAGE_IRAM], address);
        SWMODULE_CurrentModule = module;
        RunEntry(module, SWMODULE_ENTRY_BUS_MESSAGE, kStartBudget);
    }
    if (bus->takenReceived == message) KOMBUS_ReleaseReceived(bus);
}

void SWMODULE_FeedInputs(SWMODULE* module, const uint16_t* indexes, uint16_t count)
{
    for (uint16_t n = 0; n < count; ++n) {
        SWMODULE_INPUT* input = &module->inputs[indexes[n]];
        SW_CONNECTION& source = input->source;
        if (source.kind == SW_CONN_GLOBAL_VARIABLE && source.variable) {
            SW_GLOBVAR* variable = source.variable;
            if (variable->provider) variable->provider(variable);
            variable->refreshStamp = static_cast<uint32_t>(Now());
            SWTYPE_Convert(&variable->value, &input->value);
            SWMODULE_WriteVariable(module, input);
        } else if (source.kind == SW_CONN_MODULE_OUTPUT && source.output) {
            SWMODULE_ReadVariable(source.module, source.output);
            source.output->refreshStamp = static_cast<uint32_t>(Now());
            SWTYPE_Convert(&source.output->value, &input->value);
            SWMODULE_WriteVariable(module, input);
        } else {
            SWMODULE_ClearVariable(module, input);
        }
    }
}

namespace {

void CallReferers(SWMODULE_OUTPUT* output, uint32_t phase)
{
    for (SW_REFERER* r = output->referers; r; r = r->next)
        if (r->callback) r->callback(phase, r->owner, r->tag, &output->value);
    if (output->refererCallback)
        output->refererCallback(phase, output->refererOwner, output->refererTag, &output->value);
}

}  // namespace

void SWMODULE_PropagateOutputs(SWMODULE* module, const uint16_t* indexes, uint16_t count)
{
    for (uint16_t n = 0; n < count; ++n) CallReferers(&module->outputs[indexes[n]], 1);
    for (uint16_t n = 0; n < count; ++n) {
        SWMODULE_OUTPUT* output = &module->outputs[indexes[n]];
        SWMODULE_ReadVariable(module, output);
        output->refreshStamp = static_cast<uint32_t>(Now());
        for (uint16_t p = 0; p < output->poweredCount; ++p)
            SWMODULE_SetPower(output->powered[p], SWTYPE_GetIntValue(&output->value) != 0);
        CallReferers(output, 2);
    }
    for (uint16_t n = 0; n < count; ++n) CallReferers(&module->outputs[indexes[n]], 3);
}
