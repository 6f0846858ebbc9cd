// COIL: the coil block of a satellite, its link to the driving module outputs,
// the current with its timed history, energy, average power and dipole.
#include "simulation/coil.h"
#include <cstddef>
#include <cstring>
#include "foundation/iotxt.h"
#include "foundation/log.h"
#include "foundation/memory.h"
#include "foundation/pool.h"
#include "simulation/satelit.h"

static constexpr int64_t kMinWindings = 2;
static constexpr int64_t kMaxWindings = 1000000;
static constexpr int64_t kOutputLimit = 10000;
static constexpr TIME_MS kRepeatSpacingMs = 1000;
static constexpr TIME_MS kHistorySpanMs = 65001;
static constexpr uint32_t kFirstHistoryCapacity = 64;

// The lines a module run and an attitude update touch; see the record.
static_assert(offsetof(COIL, current) == POOL_LINE && offsetof(COIL, sideA) == 2 * POOL_LINE,
              "a coil's hot fields fill its first two lines");

void COIL_Init() {}
void COIL_Done() {}

// ---- block ---------------------------------------------------------------------

static uint32_t Fail(const char* format)
{
    LOG_Printf(format, IOTXT_GetLineNumber());
    return 0;
}

static uint32_t EndOfValue()
{
    if (IOTXT_IsEndOfLine()) return 1;
    return Fail("COIL: očekávám konec řádky na řádku %d.\n");
}

uint32_t COIL_ReadVector(VEC3* out)
{
    if (!IOTXT_MatchWord("VECTOR")) return Fail("COIL: Chybné určení vektoru na řádce %d.\n");
    if (!IOTXT_MatchChar('(')) return Fail("COIL: Očekávám závorku na řádce %d.\n");
    double v[3];
    for (int i = 0; i < 3; ++i) {
        if ((i > 0 && !IOTXT_MatchComma()) || !IOTXT_ReadDouble(&v[i])) {
            return Fail("COIL: Chybné určení vektoru na řádce %d.\n");
        }
    }
    if (!IOTXT_MatchChar(')')) return Fail("COIL: Očekávám závorku na řádce %d.\n");
    *out = VEC3{v[0], v[1], v[2]};
    return 1;
}

static uint32_t ParseShape(COIL* coil)
{
    if (!IOTXT_MatchWord("RECTANGULAR")) return Fail("COIL: neznámý typ tvaru cívky na řádku %d.\n");
    if (!IOTXT_MatchComma()) return Fail("COIL: očekávám čárku a dva rozměry cívky na řádku %d.\n");
    if (!IOTXT_ReadLength(&coil->sideA)) return Fail("COIL: chyba určení prvního rozměru cívky na řádku %d.\n");
    if (!IOTXT_MatchComma()) return Fail("COIL: očekávám čárku a druhý rozměr cívky na řádku %d.\n");
    if (!IOTXT_ReadLength(&coil->sideB)) return Fail("COIL: chyba určení druhého rozměru cívky na řádku %d.\n");
    coil->shape = COIL_SHAPE_RECTANGULAR;
    return EndOfValue();
}

static uint32_t ParseCore(COIL* coil)
{
    if (!IOTXT_MatchWord("NONE")) return Fail("COIL: neznámý typ jádra cívky na řádku %d.\n");
    coil->core = COIL_CORE_NONE;
    return EndOfValue();
}

static uint32_t ParseWindings(COIL* coil)
{
    int64_t windings;
    if (!IOTXT_ReadInt64(&windings)) return Fail("COIL: chyba určení počtu závitů cívky na řádku %d.\n");
    if (windings < kMinWindings || windings > kMaxWindings) {
        return Fail("COIL: chybný počet závitů cívky na řádku %d.\n");
    }
    coil->windings = static_cast<uint32_t>(windings);
    return EndOfValue();
}

static uint32_t ParsePosition(COIL* coil)
{
    VEC3& p = coil->position;
    if (!IOTXT_ReadLength(&p.x)) return Fail("COIL: chybná X-ová souřadnice pozice cívky rovnítko na řádku %d.\n");
    if (!IOTXT_MatchComma()) return Fail("COIL: za X-ovou souřadnicí pozice cívky očekávám čárku na řádku %d.\n");
    if (!IOTXT_ReadLength(&p.y)) return Fail("COIL: chybná Y-ová souřadnice pozice cívky rovnítko na řádku %d.\n");
    if (!IOTXT_MatchComma()) return Fail("COIL: za Y-ovou souřadnicí pozice cívky očekávám čárku na řádku %d.\n");
    if (!IOTXT_ReadLength(&p.z)) return Fail("COIL: chybná Z-ová souřadnice pozice cívky rovnítko na řádku %d.\n");
    return EndOfValue();
}

// A zero direction has no axis to point the dipole along and is refused.
static uint32_t ParseDirection(COIL* coil)
{
    if (!COIL_ReadVector(&coil->direction) || VEC_IsZero(&coil->direction)) {
        return Fail("COIL: chybné určení směru momentu cívky na řádku %d.\n");
    }
    return EndOfValue();
}

// Only a positive resistance gives a finite current and a power.
static uint32_t ParseResistance(COIL* coil)
{
    if (!IOTXT_ReadDouble(&coil->resistance) || !(coil->resistance > 0.0)) {
        return Fail("COIL: chybné určení činného odporu cívky na řádku %d.\n");
    }
    return EndOfValue();
}

static uint32_t ParseConnectionAfterComma(SW_CONNECTION* connection, const char* noComma, const char* bad)
{
    if (!IOTXT_MatchComma()) return Fail(noComma);
    if (!SWMODULE_ParseConnection(connection)) return Fail(bad);
    return 1;
}

static uint32_t ParsePwmDriving(COIL* coil)
{
    static const char* kNoComma = "COIL: očekávám čárku a určení prvního řídícího výstupu na řádku %d.\n";
    if (!IOTXT_MatchComma()) return Fail("COIL: očekávám čárku a určení napětí na řádku %d.\n");
    if (!IOTXT_ReadDouble(&coil->pwmVoltage)) return Fail("COIL: chybné určení napájecího napětí cívky na řádku %d.\n");
    coil->driving = COIL_DRIVING_PWM_VOLTAGE;
    if (!ParseConnectionAfterComma(&coil->pwmPlusInput, kNoComma,
                                   "COIL: chybné určení prvního řídícího výstupu na řádku %d.\n") ||
        !ParseConnectionAfterComma(&coil->pwmMinusInput, kNoComma,
                                   "COIL: chybné určení druhého řídícího výstupu na řádku %d.\n")) {
        return 0;
    }
    return EndOfValue();
}

static uint32_t ReadOutputLimit(int64_t* out, const char* noComma, const char* bad)
{
    if (!IOTXT_MatchComma()) return Fail(noComma);
    if (!IOTXT_ReadInt64(out)) return Fail(bad);
    return 1;
}

// VOLTAGE maps the output range linearly onto the voltage range; a range of
// one value would divide by zero and is refused.
static uint32_t ParseVoltageDriving(COIL* coil)
{
    if (!IOTXT_MatchComma()) return Fail("COIL: očekávám čárku a určení napětí na řádku %d.\n");
    if (!IOTXT_ReadDouble(&coil->minVoltage)) return Fail("COIL: chybné určení MIN napětí cívky na řádku %d.\n");
    if (!IOTXT_MatchComma()) return Fail("COIL: očekávám čárku a určení MAX napětí cívky na řádku %d.\n");
    if (!IOTXT_ReadDouble(&coil->maxVoltage)) return Fail("COIL: chybné určení MAX napětí cívky na řádku %d.\n");
    int64_t low, high;
    if (!ReadOutputLimit(&low, "COIL: očekávám čárku a určení MIN výstupu modulu na řádku %d.\n",
                         "COIL: chybné určení MIN výstupu modulu na řádku %d.\n")) {
        return 0;
    }
    if (low < -kOutputLimit) return Fail("COIL: minimální hodnota výstupu modulu je příliš malá (<-10000)na řádku %d.\n");
    if (!ReadOutputLimit(&high, "COIL: očekávám čárku a určení MAX výstupu modulu na řádku %d.\n",
                         "COIL: chybné určení MAX výstupu modulu na řádku %d.\n")) {
        return 0;
    }
    if (high > kOutputLimit) return Fail("COIL: maximální hodnota výstupu modulu je příliš velká (>10000)na řádku %d.\n");
    // Either end outside the range would overflow the output arithmetic.
    if (low > kOutputLimit) return Fail("COIL: chybné určení MIN výstupu modulu na řádku %d.\n");
    if (high == low || high < -kOutputLimit) return Fail("COIL: chybné určení MAX výstupu modulu na řádku %d.\n");
    coil->minOutput = static_cast<int32_t>(low);
    coil->maxOutput = static_cast<int32_t>(high);
    coil->driving = COIL_DRIVING_VOLTAGE;
    if (!ParseConnectionAfterComma(&coil->voltageInput,
                                   "COIL: očekávám čárku a určení řídícího výstupu modulu na řádku %d.\n",
                                   "COIL: chybné určení řídícího výstupu napětí na řádku %d.\n")) {
        return 0;
    }
    return EndOfValue();
}

static uint32_t ParseDriving(COIL* coil)
{
    if (IOTXT_MatchWord("PWM_VOLTAGE")) return ParsePwmDriving(coil);
    if (IOTXT_MatchWord("VOLTAGE")) return ParseVoltageDriving(coil);
    if (IOTXT_MatchWord("OFF")) {
        coil->driving = COIL_DRIVING_OFF;
        return 1;
    }
    return Fail("COIL: neznámý režim řízení cívky na řádku %d.\n");
}

struct COIL_KEY {
    const char* word;
    uint32_t (*parse)(COIL*);
    const char* twice;
    const char* noEquals;
    const char* missing;
};

static const COIL_KEY kKeys[] = {
    {"shape", ParseShape, "COIL: tvar a rozměry cívky nelze definovat vícekrát na řádku %d.\n",
     "COIL: za slovem SHAPE očekávám rovnítko na řádku %d.\n",
     "COIL: nebyl určen tvar a rozměry cívky (shape) na řádku %d.\n"},
    {"core", ParseCore, "COIL: typ a parametry jádra cívky nelze definovat vícekrát na řádku %d.\n",
     "COIL: za slovem CORE očekávám rovnítko na řádku %d.\n",
     "COIL: nebyl určen typ a parametry jádra cívky (core) na řádku %d.\n"},
    {"windings", ParseWindings, "COIL: počet závitů cívky nelze definovat vícekrát na řádku %d.\n",
     "COIL: za slovem WINDINGS očekávám rovnítko na řádku %d.\n",
     "COIL: nebyl určen počet závitů cívky (windings) na řádku %d.\n"},
    {"position", ParsePosition, "COIL: pozici cívky nelze definovat vícekrát na řádku %d.\n",
     "COIL: za slovem POSITION očekávám rovnítko na řádku %d.\n",
     "COIL: nebyla určena pozice cívky (position) na řádku %d.\n"},
    {"direction", ParseDirection, "COIL: směr momentu cívky nelze definovat vícekrát na řádku %d.\n",
     "COIL: za slovem DIRECTION očekávám rovnítko na řádku %d.\n",
     "COIL: nebyl určen směr momentu cívky (direction) na řádku %d.\n"},
    {"resistance", ParseResistance, "COIL: činný odpor cívky nelze definovat vícekrát na řádku %d.\n",
     "COIL: za slovem RESISTANCE očekávám rovnítko na řádku %d.\n",
     "COIL: nebyl určen činný odpor cívky (resistance) na řádku %d.\n"},
    {"driving", ParseDriving, "COIL: řízení cívky nelze definovat vícekrát na řádku %d.\n",
     "COIL: za slovem DRIVING očekávám rovnítko na řádku %d.\n",
     "COIL: nebyl určen způsob řízení cívky (driving) na řádku %d.\n"},
};
constexpr int kKeyCount = sizeof kKeys / sizeof kKeys[0];

static uint32_t ParseKeyLine(COIL* coil, uint32_t given[kKeyCount])
{
    for (int i = 0; i < kKeyCount; ++i) {
        const COIL_KEY& key = kKeys[i];
        if (!IOTXT_MatchWord(key.word)) continue;
        if (given[i]) return Fail(key.twice);
        if (!IOTXT_MatchEquals()) return Fail(key.noEquals);
        given[i] = 1;
        return key.parse(coil);
    }
    return Fail("COIL: neznámé slovo v definici cívky na řádku %d.\n");
}

static uint32_t ParseBody(COIL* coil)
{
    uint32_t given[kKeyCount] = {};
    while (IOTXT_NextLine()) {
        if (IOTXT_MatchWord("end")) {
            if (!IOTXT_IsEndOfLine()) return Fail("COIL: očekávám konec řádky za slovem END na řádku %d.\n");
            break;
        }
        if (!ParseKeyLine(coil, given)) return 0;
    }
    for (int i = 0; i < kKeyCount; ++i) {
        if (!given[i]) return Fail(kKeys[i].missing);
    }
    return 1;
}

static void FreeConnections(COIL* coil)
{
    SWMODULE_FreeConnection(&coil->pwmPlusInput);
    SWMODULE_FreeConnection(&coil->pwmMinusInput);
    SWMODULE_FreeConnection(&coil->voltageInput);
}

COIL* COIL_Parse(SATELIT* satellite)
{
    MEMORY_SetTag("COIL-name");
    char* name = IOTXT_ReadQuotedString();
    if (!name) {
        Fail("COIL: očekává se název cívky na řádku %d.\n");
        return nullptr;
    }
    if (!IOTXT_IsEndOfLine()) {
        POOL_Free(name);
        Fail("COIL: očekává se konec řádky na řádku %d.\n");
        return nullptr;
    }
    MEMORY_SetTag("COIL-struct");
    COIL* coil = static_cast<COIL*>(POOL_AllocLine(sizeof(COIL) + 1));
    if (!coil) {
        POOL_Free(name);
        Fail("COIL: nedostatek paměti pro model cívky na řádku %d.\n");
        return nullptr;
    }
    memset(static_cast<void*>(coil), 0, sizeof(COIL));
    coil->name = name;
    coil->satellite = satellite;
    coil->historyKept = 1;
    if (!ParseBody(coil)) {
        // Every connection read so far is freed with the record.
        FreeConnections(coil);
        POOL_Free(coil->name);
        POOL_FreeLine(coil);
        return nullptr;
    }
    return coil;
}

// ---- link ----------------------------------------------------------------------

static uint32_t LinkFail(const COIL* coil, const char* format, const SW_CONNECTION* connection)
{
    LOG_Printf(format, coil->name, SWMODULE_ConnToText(connection));
    return 0;
}

// A global variable calls no referer, so a coil driven by one keeps its
// current 0; the coil still loads, with one warning.
static bool WarnGlobalDrive(const COIL* coil, const SW_CONNECTION* connection)
{
    if (connection->kind != SW_CONN_GLOBAL_VARIABLE) return false;
    LOG_Printf("COIL: cívka \"%s\" je řízena globální proměnnou \"%s\", ta cívku neovládá a její proud zůstane "
               "nulový.\n",
               coil->name, SWMODULE_ConnToText(connection));
    return true;
}

static uint32_t LinkPwm(COIL* coil, SWMODULE* firstModule)
{
    SW_CONNECTION* plus = &coil->pwmPlusInput;
    SW_CONNECTION* minus = &coil->pwmMinusInput;
    if (!SWMODULE_ResolveConnection(plus, firstModule)) {
        return LinkFail(coil, "COIL: chyba propojení cívky \"%s\", řídící vstup PLUS \"%s\"\n", plus);
    }
    if (!SWMODULE_ResolveConnection(minus, firstModule)) {
        return LinkFail(coil, "COIL: chyba propojení cívky \"%s\", řídící vstup MINUS \"%s\"\n", minus);
    }
    if (!SWMODULE_ConnIsIntScalar(plus)) {
        return LinkFail(coil, "COIL: chyba propojení cívky \"%s\", řídící vstup PLUS \"%s\" je chybného typu\n", plus);
    }
    if (!SWMODULE_ConnIsIntScalar(minus)) {
        return LinkFail(coil, "COIL: chyba propojení cívky \"%s\", řídící vstup MINUS \"%s\" je chybného typu\n",
                        minus);
    }
    if (!SWMODULE_RegisterReferer(plus, coil, COIL_TAG_PWM_PLUS, COIL_OnModuleOutput) ||
        !SWMODULE_RegisterReferer(minus, coil, COIL_TAG_PWM_MINUS, COIL_OnModuleOutput)) {
        return 0;
    }
    if (!WarnGlobalDrive(coil, plus)) WarnGlobalDrive(coil, minus);
    coil->pwmPlusValue = coil->pwmMinusValue = 0;
    coil->pwmPending = 0;
    return 1;
}

static uint32_t LinkVoltage(COIL* coil, SWMODULE* firstModule)
{
    SW_CONNECTION* input = &coil->voltageInput;
    if (!SWMODULE_ResolveConnection(input, firstModule)) {
        return LinkFail(coil, "COIL: chyba propojení cívky \"%s\", řídící vstup napětí \"%s\"\n", input);
    }
    if (!SWMODULE_ConnIsIntScalar(input)) {
        return LinkFail(coil, "COIL: chyba propojení cívky \"%s\", řídící vstup napětí \"%s\" je chybného typu\n",
                        input);
    }
    if (!SWMODULE_RegisterReferer(input, coil, COIL_TAG_VOLTAGE, COIL_OnModuleOutput)) return 0;
    WarnGlobalDrive(coil, input);
    coil->voltageValue = 0;
    return 1;
}

static void FreeQueue(COIL* coil)
{
    if (coil->queue) POOL_Free(coil->queue);
    coil->queue = nullptr;
    coil->queueCapacity = coil->queueCount = coil->queueOldest = 0;
    coil->queueExpiry = INT64_MAX;
}

uint32_t COIL_Link(COIL* coil, SWMODULE* firstModule)
{
    uint32_t ok = 1;
    if (coil->driving == COIL_DRIVING_PWM_VOLTAGE) ok = LinkPwm(coil, firstModule);
    else if (coil->driving == COIL_DRIVING_VOLTAGE) ok = LinkVoltage(coil, firstModule);
    if (!ok) return 0;
    coil->power = coil->energy = coil->current = 0.0;
    coil->energyTime = g_simClock.clock;
    FreeQueue(coil);
    return 1;
}

// ---- driving ---------------------------------------------------------------------

static void OnPwmOutput(COIL* coil, uint32_t phase, uint32_t tag, const SW_VALUE* value)
{
    if (phase == 1) {
        coil->pwmPending = 1;
    } else if (phase == 2) {
        if (tag == COIL_TAG_PWM_PLUS) SWTYPE_GetIntValueRec(value, &coil->pwmPlusValue);
        if (tag == COIL_TAG_PWM_MINUS) SWTYPE_GetIntValueRec(value, &coil->pwmMinusValue);
    } else if (phase == 3 && coil->pwmPending) {
        double current = 0.0;
        bool plus = coil->pwmPlusValue != 0, minus = coil->pwmMinusValue != 0;
        if (plus && minus) {
            LOG_StampNext();
            LOG_Printf("COIL \"%s\" chyba: PWM_VOLTAGE: zakázaná kombinace PLUS+MINUS.\n", coil->name);
        } else if (plus) {
            current = coil->pwmVoltage / coil->resistance;
        } else if (minus) {
            current = -coil->pwmVoltage / coil->resistance;
        }
        COIL_SetCurrent(coil, current);
        coil->pwmPending = 0;
    }
}

// Outside the output range the value is clamped; a reversed range is clamped
// between its two ends the same way.
static void OnVoltageOutput(COIL* coil, uint32_t phase, uint32_t tag, const SW_VALUE* value)
{
    if (phase == 2 && tag == COIL_TAG_VOLTAGE) SWTYPE_GetIntValueRec(value, &coil->voltageValue);
    if (phase != 3) return;
    int32_t low = coil->minOutput < coil->maxOutput ? coil->minOutput : coil->maxOutput;
    int32_t high = coil->minOutput < coil->maxOutput ? coil->maxOutput : coil->minOutput;
    int32_t v = coil->voltageValue < low ? low : (coil->voltageValue > high ? high : coil->voltageValue);
    double u = static_cast<double>(v - coil->minOutput) * (coil->maxVoltage - coil->minVoltage) /
                   static_cast<double>(coil->maxOutput - coil->minOutput) +
               coil->minVoltage;
    COIL_SetCurrent(coil, u / coil->resistance);
}

void COIL_OnModuleOutput(uint32_t phase, void* owner, uint32_t tag, SW_VALUE* value)
{
    COIL* coil = static_cast<COIL*>(owner);
    switch (coil->driving) {
    case COIL_DRIVING_PWM_VOLTAGE: OnPwmOutput(coil, phase, tag, value); break;
    case COIL_DRIVING_VOLTAGE: OnVoltageOutput(coil, phase, tag, value); break;
    default: COIL_SetCurrent(coil, 0.0); break;
    }
}

// ---- current and its history -----------------------------------------------------

const COIL_QUEUE_ITEM* COIL_HistoryItem(const COIL* coil, uint32_t i)
{
    return &coil->queue[(coil->queueOldest + i) & (coil->queueCapacity - 1)];
}

static COIL_QUEUE_ITEM* Item(COIL* coil, uint32_t i)
{
    return &coil->queue[(coil->queueOldest + i) & (coil->queueCapacity - 1)];
}

static void SetExpiry(COIL* coil)
{
    coil->queueExpiry = coil->queueCount > 1 ? Item(coil, 1)->time + kHistorySpanMs : INT64_MAX;
}

// A full ring doubles, its items moved to the start of the new one in order.
static uint32_t GrowHistory(COIL* coil)
{
    uint32_t capacity = coil->queueCapacity ? coil->queueCapacity * 2 : kFirstHistoryCapacity;
    MEMORY_SetTag("COIL: queue");
    auto* ring = static_cast<COIL_QUEUE_ITEM*>(POOL_Alloc(capacity * sizeof(COIL_QUEUE_ITEM) + 1));
    if (!ring) {
        LOG_Printf("COIL: nedostatek paměti pro historii proudu cívky \"%s\".\n", coil->name);
        return 0;
    }
    for (uint32_t i = 0; i < coil->queueCount; ++i) ring[i] = *Item(coil, i);
    if (coil->queue) POOL_Free(coil->queue);
    coil->queue = ring;
    coil->queueCapacity = capacity;
    coil->queueOldest = 0;
    return 1;
}

static void AppendHistory(COIL* coil, double current)
{
    if (!coil->historyKept) return;
    TIME_MS now = g_simClock.clock;
    if (coil->queueCount && now - coil->newest.time < kRepeatSpacingMs &&
        MATH_ApproxEqualFine(coil->newest.current, current))
        return;
    // An item leaves once the item after it is itself older than the span:
    // the current in force at the start of the span stays on record.
    while (coil->queueCount > 1 && now >= coil->queueExpiry) {
        coil->queueOldest = (coil->queueOldest + 1) & (coil->queueCapacity - 1);
        coil->queueCount--;
        SetExpiry(coil);
    }
    if (coil->queueCount == coil->queueCapacity && !GrowHistory(coil)) return;
    coil->newest = COIL_QUEUE_ITEM{now, current};
    *Item(coil, coil->queueCount) = coil->newest;
    coil->queueCount++;
    if (coil->queueCount == 2) SetExpiry(coil);
}

void COIL_SetCurrent(COIL* coil, double current)
{
    TIME_MS now = g_simClock.clock;
    coil->energy += static_cast<double>(now - coil->energyTime) * coil->power / 1000.0;
    coil->energyTime = now;
    coil->power = current * coil->resistance * current;
    if (!MATH_ApproxEqualFine(current, coil->current)) {
        coil->current = current;
        if (coil->satellite) SATELIT_MarkAttitudeDirty(coil->satellite);
    }
    AppendHistory(coil, current);
}

void COIL_GetMoment(const COIL* coil, VEC3* moment)
{
    double size = coil->windings * coil->sideA * coil->sideB * coil->current;
    *moment = coil->direction;
    VEC_SetLength(moment, size);
}

double COIL_GetTotalEnergy(const COIL* coil) { return coil ? coil->energy : 0.0; }

void COIL_MarkPowerRead(COIL* coil) { coil->powerRead = 1; }

void COIL_DropUnreadHistory(COIL* coil)
{
    if (coil->powerRead) return;
    FreeQueue(coil);
    coil->historyKept = 0;
}

// Energy of the recorded currents over the window, divided by the time they
// cover; with no history, or none of it before now, the present power. The
// sum starts at the newest item older than the window's start (or the
// oldest), found by bisection: the items are in time order.
double COIL_GetAveragePower(const COIL* coil, TIME_MS window)
{
    if (!coil->queueCount) return coil->power;
    TIME_MS now = g_simClock.clock;
    TIME_MS from = now - window;
    uint32_t low = 0, high = coil->queueCount - 1;
    while (low < high) {
        uint32_t middle = (low + high + 1) / 2;
        if (COIL_HistoryItem(coil, middle)->time < from) low = middle;
        else high = middle - 1;
    }
    const COIL_QUEUE_ITEM* first = COIL_HistoryItem(coil, low);
    if (first->time > from) from = first->time;
    if (now <= from) return coil->power;
    double joules = 0.0;
    for (uint32_t i = low; i < coil->queueCount; ++i) {
        const COIL_QUEUE_ITEM* item = COIL_HistoryItem(coil, i);
        TIME_MS start = item->time > from ? item->time : from;
        TIME_MS end = i + 1 < coil->queueCount ? COIL_HistoryItem(coil, i + 1)->time : now;
        joules += coil->resistance * item->current * item->current * static_cast<double>(end - start) / 1000.0;
    }
    return joules / (static_cast<double>(now - from) / 1000.0);
}

void COIL_Free(COIL* coil)
{
    if (!coil) return;
    if (coil->name) POOL_Free(coil->name);
    FreeConnections(coil);
    FreeQueue(coil);
    POOL_FreeLine(coil);
}
