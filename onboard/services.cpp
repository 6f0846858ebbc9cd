// KOM / module services: debug output, entry registration, declaration and
// binding of inputs and outputs, random numbers, time since power-on, reset,
// and the module's side of the on-board bus.
#include "onboard/services.h"
#include <cinttypes>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include "foundation/memory.h"
#include "foundation/pool.h"
#include "foundation/util.h"
#include "onboard/kombus.h"
#include "onboard/services_debug.h"
#include "onboard/sim51.h"
#include "onboard/swmodule.h"
#include "foundation/time.h"

namespace {

// ---- arguments -------------------------------------------------------------

// The xram argument address that a code cell names (big-endian).
uint16_t ArgumentAddress(const SIM51_BACKCALL_REGS* regs, uint16_t cell)
{
    return static_cast<uint16_t>(regs->code[cell] << 8 | regs->code[static_cast<uint16_t>(cell + 1)]);
}

uint8_t ByteArgument(const SIM51_BACKCALL_REGS* regs, uint16_t cell)
{
    return regs->xram[ArgumentAddress(regs, cell)];
}

uint16_t WordArgument(const SIM51_BACKCALL_REGS* regs, uint16_t cell)
{
    uint16_t address = ArgumentAddress(regs, cell);
    return static_cast<uint16_t>(regs->xram[address] | regs->xram[static_cast<uint16_t>(address + 1)] << 8);
}

void SetDptr(SIM51_BACKCALL_REGS* regs, uint16_t value)
{
    regs->dpl = static_cast<uint8_t>(value);
    regs->dph = static_cast<uint8_t>(value >> 8);
}

// ---- debug output ------------------------------------------------------------

// A zero character logs nothing, as "%c" of it would.
void M_DEBUG_Char(SIM51_BACKCALL_REGS* regs)
{
    char text[2] = {static_cast<char>(regs->dpl), 0};
    KOM_LogOutput(text);
    SIM51_BackcallReturn(regs);
}

void M_DEBUG_String(SIM51_BACKCALL_REGS* regs)
{
    KOM_DEBUG_OUTPUT out;
    out.length = 0;
    SIM51_GENERIC_PTR p;
    if (!SIM51_PtrInit(&p, regs->b, regs->dptr)) {
        KOM_Log("SWMODULE: chyba modulu: chybný kód paměťové oblasti %02X v ukazateli ve funkci M_DEBUG_String.\n",
                   regs->b);
    } else {
        SIM51_GENERIC_PTR start = p;
        uint32_t terminated = KOM_WalkString(&p, [&](uint8_t c) { KOM_DebugAppend(&out, "%c", c); });
        KOM_DebugFlush(&out);
        if (!terminated) KOM_ReportUnterminated(&start);
    }
    KOM_DebugFlush(&out);
    SIM51_BackcallReturn(regs);
}

void LogValue(const char* format, ...) __attribute__((format(printf, 1, 2)));
void LogValue(const char* format, ...)
{
    char text[64];
    va_list ap;
    va_start(ap, format);
    vsnprintf(text, sizeof text, format, ap);
    va_end(ap);
    KOM_LogOutput(text);
}

uint32_t RegisterValue(const SIM51_BACKCALL_REGS* regs)
{
    return static_cast<uint32_t>(regs->a) << 24 | static_cast<uint32_t>(regs->b) << 16 |
           static_cast<uint32_t>(regs->dph) << 8 | regs->dpl;
}

void M_DEBUG_ULong(SIM51_BACKCALL_REGS* regs)
{
    LogValue("%lu", static_cast<unsigned long>(RegisterValue(regs)));
    SIM51_BackcallReturn(regs);
}

void M_DEBUG_Long(SIM51_BACKCALL_REGS* regs)
{
    LogValue("%ld", static_cast<long>(static_cast<int32_t>(RegisterValue(regs))));
    SIM51_BackcallReturn(regs);
}

void M_DEBUG_Float(SIM51_BACKCALL_REGS* regs)
{
    uint32_t bits = RegisterValue(regs);
    float f;
    memcpy(&f, &bits, sizeof f);
    LogValue("%g", static_cast<double>(f));
    SIM51_BackcallReturn(regs);
}

// A block that crosses 0xFFFF continues at 0x0000.
void M_DEBUG_HexDump(SIM51_BACKCALL_REGS* regs)
{
    KOM_DEBUG_OUTPUT out;
    out.length = 0;
    uint8_t length = regs->xram[regs->dptr];
    for (uint32_t i = 0; i < length; ++i) KOM_DebugAppend(&out, "%02X ", regs->xram[static_cast<uint16_t>(regs->dptr + i)]);
    KOM_DebugFlush(&out);
    SIM51_BackcallReturn(regs);
}

void M_DEBUG_Printf(SIM51_BACKCALL_REGS* regs)
{
    KOM_FormatPrintf();
    SIM51_BackcallReturn(regs);
}

// ---- module control ----------------------------------------------------------

void M_SoftwareReset(SIM51_BACKCALL_REGS* regs)
{
    regs->pc = 0x0000;
}

void M_RegisterEntry(SIM51_BACKCALL_REGS* regs)
{
    uint8_t code = regs->dpl;
    uint16_t address = WordArgument(regs, SWMODULE_CELL_ENTRY_ADDRESS);
    SWMODULE* module = SWMODULE_CurrentModule;
    if (code < SWMODULE_ENTRY_WARM_START || code > SWMODULE_ENTRY_BUS_MESSAGE) {
        KOM_Log("SWMODULE: registrace chybné vstupní funkce kód %02X, adr %04X, ignorováno.\n", code, address);
    } else if (module) {
        module->entries[code - 1] = address;
    }
    SIM51_BackcallReturn(regs);
}

// What differs between the input and the output services.
struct PORT_TEXTS {
    const char* nameUnreadable;
    const char* notConfigured;
    const char* badType;
    const char* repeated;
    const char* bindUnknown;
    const char* bindBadEntry;
    const char* bindRepeated;
    const char* bindFull;
};

const PORT_TEXTS kInputTexts = {
    "SWMODULE: SetupInput: chyba načtení jména vstupu.\n",
    "SWMODULE: chyba modulu - volání funkce SetupInput pro neexistující vstup (%s).\n",
    "SWMODULE: chyba modulu - chybný typ proměnné při volání SetupInput (%s).\n",
    "SWMODULE: chyba modulu - opakované volání funkce SetupInput pro tentýž vstup (%s).\n",
    "SWMODULE: Chyba funkce BindInput: lokální jméno \"%s\" nebylo nakonfigurovanáno\n",
    "SWMODULE: chyba BindInput: vstup \"%s\" je připojen k chybné vstupní funkci kód %02X, ignorováno.\n",
    "SWMODULE: chyba BindInput: vstup \"%s\" je ke vstupní funkci kód %02X už připojen, ignorováno.\n",
    "SWMODULE: chyba BindInput: vstup \"%s\" ke vstupní funkci kód %02X nelze připojit, příliš mnoho vstupů.\n",
};

const PORT_TEXTS kOutputTexts = {
    "SWMODULE: SetupOutput: chyba načtení jména výstupu.\n",
    "SWMODULE: chyba modulu - volání funkce SetupOutput pro neexistující výstup (%s).\n",
    "SWMODULE: chyba modulu - chybný typ proměnné při volání SetupOutput (%s).\n",
    "SWMODULE: chyba modulu - opakované volání funkce SetupOutput pro tentýž výstup (%s).\n",
    "SWMODULE: Chyba funkce BindOutput: lokální jméno \"%s\" nebylo nakonfigurovanáno\n",
    "SWMODULE: chyba BindOutput: výstup \"%s\" je připojen k chybné vstupní funkci kód %02X, ignorováno.\n",
    "SWMODULE: chyba BindOutput: výstup \"%s\" je ke vstupní funkci kód %02X už připojen, ignorováno.\n",
    "SWMODULE: chyba BindOutput: výstup \"%s\" ke vstupní funkci kód %02X nelze připojit, příliš mnoho výstupů.\n",
};

// The declared flag, address and value of an input or an output.
struct PORT_VIEW {
    uint32_t* declared;
    uint16_t* address;
    SW_VALUE* value;
};

bool FindPort(SWMODULE* module, bool output, const char* name, PORT_VIEW* view, uint16_t* index)
{
    if (!module) return false;
    if (output) {
        SWMODULE_OUTPUT* o = SWMODULE_FindOutput(module, name, index);
        if (!o) return false;
        *view = PORT_VIEW{&o->declared, &o->address, &o->value};
    } else {
        SWMODULE_INPUT* i = SWMODULE_FindInput(module, name, index);
        if (!i) return false;
        *view = PORT_VIEW{&i->declared, &i->address, &i->value};
    }
    return true;
}

// The name the service was given, read from the module's memory, and its
// form for the messages (shown); null, the failure logged, when it cannot be read.
char* ReadPortName(const SIM51_BACKCALL_REGS* regs, const PORT_TEXTS& texts, char* shown, size_t size)
{
    char* name = KOM_ReadName(regs->b, regs->dptr);
    if (!name) KOM_Log("%s", texts.nameUnreadable);
    else KOM_ShowText(name, strlen(name), shown, size);
    return name;
}

void SetupPort(SIM51_BACKCALL_REGS* regs, bool output, uint16_t typeCell, uint16_t addressCell)
{
    const PORT_TEXTS& texts = output ? kOutputTexts : kInputTexts;
    char shown[KOM_SHOWN_ROOM];
    char* name = ReadPortName(regs, texts, shown, sizeof shown);
    if (!name) {
        SIM51_BackcallReturn(regs);
        return;
    }
    uint8_t type = ByteArgument(regs, typeCell);
    PORT_VIEW port;
    uint16_t index;
    if (!FindPort(SWMODULE_CurrentModule, output, name, &port, &index)) {
        KOM_Log(texts.notConfigured, shown);
    } else if (!SWTYPE_IsValid(type)) {
        KOM_Log(texts.badType, shown);
    } else if (*port.declared) {
        KOM_Log(texts.repeated, shown);
    } else {
        *port.declared = 1;
        *port.address = WordArgument(regs, addressCell);
        port.value->type = type;
    }
    POOL_Free(name);
    SIM51_BackcallReturn(regs);
}

void BindPort(SIM51_BACKCALL_REGS* regs, bool output, uint16_t entryCell)
{
    const PORT_TEXTS& texts = output ? kOutputTexts : kInputTexts;
    char shown[KOM_SHOWN_ROOM];
    char* name = ReadPortName(regs, texts, shown, sizeof shown);
    if (!name) {
        SIM51_BackcallReturn(regs);
        return;
    }
    uint8_t entry = ByteArgument(regs, entryCell);
    SWMODULE* module = SWMODULE_CurrentModule;
    PORT_VIEW port;
    uint16_t index = 0;
    if (!FindPort(module, output, name, &port, &index)) {
        KOM_Log(texts.bindUnknown, shown);
    } else if (entry < SWMODULE_ENTRY_WARM_START || entry > SWMODULE_ENTRY_BUS_MESSAGE) {
        KOM_Log(texts.bindBadEntry, shown, entry);
    } else {
        SWMODULE_BINDINGS* list = &module->bindings[entry - 1];
        const uint16_t* bound = output ? SWMODULE_BoundOutputs(list) : SWMODULE_BoundInputs(list);
        uint16_t count = output ? list->outputCount : list->inputCount;
        bool present = false;
        for (uint16_t i = 0; i < count; ++i) present = present || bound[i] == index;
        if (present) KOM_Log(texts.bindRepeated, shown, entry);
        else if (count >= SWMODULE_MAX_PORTS) KOM_Log(texts.bindFull, shown, entry);
        else SWMODULE_AddBinding(list, output, index);
    }
    POOL_Free(name);
    SIM51_BackcallReturn(regs);
}

void SetupInput(SIM51_BACKCALL_REGS* regs)
{
    SetupPort(regs, false, SWMODULE_CELL_INPUT_TYPE, SWMODULE_CELL_INPUT_ADDRESS);
}

void BindInput(SIM51_BACKCALL_REGS* regs)
{
    BindPort(regs, false, SWMODULE_CELL_INPUT_ENTRY);
}

void SetupOutput(SIM51_BACKCALL_REGS* regs)
{
    SetupPort(regs, true, SWMODULE_CELL_OUTPUT_TYPE, SWMODULE_CELL_OUTPUT_ADDRESS);
}

void BindOutput(SIM51_BACKCALL_REGS* regs)
{
    BindPort(regs, true, SWMODULE_CELL_OUTPUT_ENTRY);
}

void M_Random(SIM51_BACKCALL_REGS* regs)
{
    regs->dpl = static_cast<uint8_t>(UTIL_Random());
    SIM51_BackcallReturn(regs);
}

void M_GetTime10ms(SIM51_BACKCALL_REGS* regs)
{
    TIME_MS powerOn = SWMODULE_CurrentModule ? SWMODULE_CurrentModule->powerOnTime : 0;
    SetDptr(regs, static_cast<uint16_t>((g_simClock.clock - powerOn) / 10));
    SIM51_BackcallReturn(regs);
}

// ---- the bus -----------------------------------------------------------------

const char* ModuleName()
{
    return SWMODULE_CurrentModule ? SWMODULE_CurrentModule->name : "";
}

void BusMessage(const char* format)
{
    KOM_LogStamped(format, ModuleName());
}

// The current module's bus record; logs the configuration error when the
// module does not communicate.
KOMBUS_MODULE* Bus(const char* service)
{
    SWMODULE* module = SWMODULE_CurrentModule;
    if (module && module->bus) return module->bus;
    KOM_LogStamped("CHYBA KONFIGURACE: \"%s\" vyvolal funkci %s, i když byl deklarován bez komunikace.\n",
                   ModuleName(), service);
    return nullptr;
}

uint16_t ReceiveBufferAddress(const SIM51_BACKCALL_REGS* regs)
{
    return ArgumentAddress(regs, SWMODULE_CELL_RECEIVE_BUFFER);
}

uint16_t SendBufferAddress(const SIM51_BACKCALL_REGS* regs)
{
    return ArgumentAddress(regs, SWMODULE_CELL_SEND_BUFFER);
}

void KOM_Inicializace(SIM51_BACKCALL_REGS* regs)
{
    BusMessage("Modul \"%s\" vyvolal funkci KOM_Inicializace: v simulátoru se ignoruje.\n");
    SIM51_BackcallReturn(regs);
}

void KOM_TestVstupniZpravy(SIM51_BACKCALL_REGS* regs)
{
    regs->dpl = 0;
    if (KOMBUS_MODULE* bus = Bus("KOM_TestVstupniZpravy")) {
        if (KOMBUS_IsReceivedTaken(bus))
            BusMessage("VAROVÁNÍ MODULU: \"%s\" vyvolal funkci KOM_TestVstupniZpravy bez uvolnění předchozí zprávy.\n");
        regs->dpl = KOMBUS_HasReceived(bus) ? 1 : 0;
    }
    SIM51_BackcallReturn(regs);
}

void KOM_PripravitVstupniZpravu(SIM51_BACKCALL_REGS* regs)
{
    uint16_t address = ReceiveBufferAddress(regs);
    if (KOMBUS_MODULE* bus = Bus("KOM_PripravitVstupniZpravu")) {
        if (KOMBUS_IsReceivedTaken(bus)) {
            BusMessage("CHYBA MODULU: \"%s\" vyvolal funkci KOM_PripravitVstupniZpravu opakovaně bez uvolnění předchozí "
                       "zprávy.\n");
        } else if (KOMBUS_BUFFER* message = KOMBUS_TakeReceived(bus)) {
            for (uint32_t i = 0; i < message->bytes[0]; ++i)
                regs->xram[static_cast<uint16_t>(address + i)] = message->bytes[i];
        } else {
            BusMessage("CHYBA MODULU: \"%s\" vyvolal funkci KOM_PripravitVstupniZpravu, i když žádná zpráva není.\n");
        }
    }
    SetDptr(regs, address);
    SIM51_BackcallReturn(regs);
}

void KOM_UvolnitVstupniZpravu(SIM51_BACKCALL_REGS* regs)
{
    if (KOMBUS_MODULE* bus = Bus("KOM_UvolnitVstupniZpravu")) {
        if (!KOMBUS_IsReceivedTaken(bus))
            BusMessage("CHYBA MODULU: \"%s\" vyvolal funkci KOM_UvolnitVstupniZpravu, aniž by zprávu vyzvednul.\n");
        else
            KOMBUS_ReleaseReceived(bus);
    }
    SIM51_BackcallReturn(regs);
}

void KOM_PripravitVystupniZpravu(SIM51_BACKCALL_REGS* regs)
{
    regs->dpl = 0;
    if (KOMBUS_MODULE* bus = Bus("KOM_PripravitVystupniZpravu")) {
        if (KOMBUS_IsSendTaken(bus))
            BusMessage("CHYBA MODULU: \"%s\" vyvolal funkci KOM_PripravitVystupniZpravu opakovaně bez uvolnění "
                       "předchozí zprávy.\n");
        else
            regs->dpl = KOMBUS_TakeSendBuffer(bus) ? 1 : 0;
    }
    SIM51_BackcallReturn(regs);
}

void KOM_PointerVystupniZpravy(SIM51_BACKCALL_REGS* regs)
{
    if (KOMBUS_MODULE* bus = Bus("KOM_PointerVystupniZpravy")) {
        if (!KOMBUS_IsSendTaken(bus))
            BusMessage("CHYBA MODULU: \"%s\" vyvolal funkci KOM_PointerVystupniZpravy, aniž výstupní buffer "
                       "vyzvednul.\n");
    }
    SetDptr(regs, SendBufferAddress(regs));
    SIM51_BackcallReturn(regs);
}

void KOM_PripravSablonuOdpovedi(SIM51_BACKCALL_REGS* regs)
{
    Bus("KOM_PripravSablonuOdpovedi");
    SIM51_BackcallReturn(regs);
}

// A length byte below 2 holds no destination: such a message is refused and
// the taken buffer goes back to its free list.
void KOM_OdeslatVystupniZpravu(SIM51_BACKCALL_REGS* regs)
{
    if (KOMBUS_MODULE* bus = Bus("KOM_OdeslatVystupniZpravu")) {
        uint16_t address = SendBufferAddress(regs);
        if (!KOMBUS_IsSendTaken(bus)) {
            BusMessage("CHYBA MODULU: \"%s\" vyvolal funkci KOM_OdeslatVystupniZpravu, i když nevyzvedl vysílací "
                       "buffer.\n");
        } else if (regs->xram[address] < 2) {
            KOM_LogStamped("CHYBA MODULU: \"%s\" vyvolal funkci KOM_OdeslatVystupniZpravu se zprávou délky %u.\n",
                           ModuleName(), regs->xram[address]);
            KOMBUS_ReturnSendBuffer(bus);
        } else {
            KOMBUS_QueueSend(bus, regs->xram, address);
        }
    }
    SIM51_BackcallReturn(regs);
}

struct KOM_SERVICE {
    uint16_t address;
    SIM51_BACKCALL_FN function;
};

const KOM_SERVICE kServices[KOM_SERVICE_COUNT] = {
    {0xFF00, M_DEBUG_Char},
    {0xFF01, M_DEBUG_String},
    {0xFF02, M_DEBUG_ULong},
    {0xFF04, M_DEBUG_Long},
    {0xFF05, M_DEBUG_Float},
    {0xFF06, M_DEBUG_Printf},
    {0xFF03, M_DEBUG_HexDump},
    {0xFF20, M_SoftwareReset},
    {0xFF21, M_RegisterEntry},
    {0xFF22, SetupInput},
    {0xFF23, BindInput},
    {0xFF24, SetupOutput},
    {0xFF25, BindOutput},
    {0xFF26, M_Random},
    {0xFF27, M_GetTime10ms},
    {0xFF40, KOM_Inicializace},
    {0xFF41, KOM_TestVstupniZpravy},
    {0xFF42, KOM_PripravitVstupniZpravu},
    {0xFF43, KOM_UvolnitVstupniZpravu},
    {0xFF44, KOM_PripravitVystupniZpravu},
    {0xFF45, KOM_PointerVystupniZpravy},
    {0xFF46, KOM_PripravSablonuOdpovedi},
    {0xFF47, KOM_OdeslatVystupniZpravu},
};

}  // namespace

uint32_t KOM_RegisterServices(SIM51_CPU* cpu)
{
    for (const KOM_SERVICE& service : kServices)
        if (!SIM51_RegisterBackcall(cpu, service.address, service.function)) return 0;
    return 1;
}
