// MULTIPASS: reads "Multipass.cfg" (run interval, simulation speed, ramped
// parameters), steps the parameters from pass to pass, and keeps the table of
// speed factors through which the user's speed commands move.
#include "simulation/multipass.h"
#include <cinttypes>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <strings.h>
#include "dataout/dataout.h"
#include "foundation/iotxt.h"
#include "foundation/log.h"
#include "foundation/memory.h"
#include "foundation/pool.h"
#include "foundation/time.h"
#include "simulation/main.h"

namespace {

// Simulated milliseconds per real millisecond, from the fastest to the slowest.
// Two entries stand twice (indices 4-5 and 11-12), so one step there keeps the factor.
constexpr double kSpeedTable[MULTIPASS_SPEED_COUNT] = {
    864000, 691200, 432000, 259200, 172800, 172800, 86400, 57600, 43200, 28800,
    17280, 10800, 10800, 5760, 4320, 2880, 1920, 1440, 1200, 960,
    720, 480, 288, 192, 144, 96, 72, 48, 32, 24,
    16, 12, 8, 4.8, 4, 2.4, 2, 12.0 / 7.0, 4.0 / 3.0, 1.2,
    12.0 / 11.0, 1, 12.0 / 13.0, 0.8, 2.0 / 3.0, 0.6, 0.5, 0.4, 1.0 / 3.0, 2.0 / 7.0,
    0.25, 0.2, 1.0 / 6.0, 1.0 / 7.0, 0.125, 1.0 / 9.0, 0.1, 0.05, 0.025, 2.4e-89,
};

constexpr double kDoubleStepTolerance = 1e-10;
constexpr double kCountLimit = 18446744073709551616.0;  // 2^64: the value count must stay below

MULTIPASS_PARAM* g_firstParam = nullptr;
MULTIPASS_PARAM* g_lastParam = nullptr;
SYSTEMTIME g_startSt{};
SYSTEMTIME g_endSt{};
TIME_MS g_start = 0;
TIME_MS g_end = 0;
double g_speed = 1.0;
uint32_t g_speedIndex = MULTIPASS_SPEED_REAL;
uint32_t g_offTable = 0;

void MULTIPASS_SetSpeedIndex(uint32_t index)
{
    g_speedIndex = index;
    g_speed = kSpeedTable[index];
    g_offTable = 0;
}

// The factor itself; the index of the slowest entry that is at least the ratio.
void MULTIPASS_SetSpeedRatio(double ratio)
{
    if (ratio > kSpeedTable[MULTIPASS_SPEED_FASTEST]) {
        LOG_Printf("MULTIPASS: příliš vysoká rychlost simulace na řádku %d.\n", IOTXT_GetLineNumber());
        MULTIPASS_SetSpeedIndex(MULTIPASS_SPEED_FASTEST);
        return;
    }
    if (!(ratio >= kSpeedTable[MULTIPASS_SPEED_STOPPED])) {
        LOG_Printf("MULTIPASS: příliš vysoká rychlost simulace na řádku %d.\n", IOTXT_GetLineNumber());
        MULTIPASS_SetSpeedIndex(MULTIPASS_SPEED_STOPPED);
        return;
    }
    uint32_t index = MULTIPASS_SPEED_STOPPED;
    while (kSpeedTable[index] < ratio) index--;
    g_speedIndex = index;
    g_speed = ratio;
    g_offTable = kSpeedTable[index] != ratio;
}

uint32_t MULTIPASS_ExpectLineEnd()
{
    if (IOTXT_IsEndOfLine()) return 1;
    LOG_Printf("MULTIPASS: očekává se konec řádku na řádku %d.\n", IOTXT_GetLineNumber());
    return 0;
}

uint32_t MULTIPASS_ExpectBlockLineEnd()
{
    if (IOTXT_IsEndOfLine()) return 1;
    LOG_Printf("MULTIPASS: očekávám konec řádku na řádku %d.\n", IOTXT_GetLineNumber());
    return 0;
}

uint32_t MULTIPASS_ReadTime(SYSTEMTIME* st, TIME_MS* ms, const char* noEquals, const char* bad)
{
    if (!IOTXT_MatchEquals()) {
        LOG_Printf(noEquals, IOTXT_GetLineNumber());
        return 0;
    }
    if (!IOTXT_ReadUtTime(st)) {
        LOG_Printf(bad, IOTXT_GetLineNumber());
        return 0;
    }
    *ms = TIME_SystemTimeToMs(st);
    return MULTIPASS_ExpectLineEnd();
}

uint32_t MULTIPASS_ReadSpeed()
{
    if (!IOTXT_MatchEquals()) {
        LOG_Printf("MULTIPASS: očekávám rovnítko a určení rychlosti simulace na řádku %d.\n", IOTXT_GetLineNumber());
        return 0;
    }
    if (IOTXT_MatchWord("FASTEST")) MULTIPASS_SetSpeedIndex(MULTIPASS_SPEED_FASTEST);
    else if (IOTXT_MatchWord("STOPPED")) MULTIPASS_SetSpeedIndex(MULTIPASS_SPEED_STOPPED);
    else if (IOTXT_MatchWord("REAL")) MULTIPASS_SetSpeedIndex(MULTIPASS_SPEED_REAL);
    else {
        double ratio = 0.0;
        if (!IOTXT_ReadSpeedRatio(&ratio)) {
            LOG_Printf("MULTIPASS: chybné určení rychlosti simulace na řádku %d.\n", IOTXT_GetLineNumber());
            return 0;
        }
        MULTIPASS_SetSpeedRatio(ratio);
    }
    return MULTIPASS_ExpectLineEnd();
}

// One item of a RAMP block as read: present, and integer or double.
struct MULTIPASS_ITEM {
    uint32_t present;
    uint32_t isDouble;
    int64_t integer;
    double real;
    double AsDouble() const { return isDouble ? real : static_cast<double>(integer); }
};

enum { ITEM_START, ITEM_STOP, ITEM_STEP, ITEM_COUNT };

const char* const kItemWords[ITEM_COUNT] = {"start", "stop", "step"};
const char* const kItemErrors[ITEM_COUNT] = {
    "MULTIPASS: chybné určení položky START na řádku %d.\n",
    "MULTIPASS: chybné určení položky STOP na řádku %d.\n",
    "MULTIPASS: chybné určení položky STEP na řádku %d.\n",
};

uint32_t MULTIPASS_ReadItem(MULTIPASS_ITEM items[ITEM_COUNT])
{
    int which = 0;
    while (which < ITEM_COUNT && !IOTXT_MatchWord(kItemWords[which])) which++;
    if (which == ITEM_COUNT) {
        LOG_Printf("MULTIPASS: neznámý parametr RAMP na řádku %d.\n", IOTXT_GetLineNumber());
        return 0;
    }
    if (!IOTXT_MatchEquals()) {
        LOG_Printf("MULTIPASS: očekávám rovnítko na řádku %d.\n", IOTXT_GetLineNumber());
        return 0;
    }
    uint32_t type = 0;
    int64_t integer = 0;
    double real = 0.0;
    char* text = nullptr;
    uint32_t read = IOTXT_ReadGenericValue(&type, &integer, &real, &text);
    if (text) POOL_Free(text);
    if (!read || (type != IOTXT_TYPE_INT64 && type != IOTXT_TYPE_DOUBLE)) {
        LOG_Printf(kItemErrors[which], IOTXT_GetLineNumber());
        return 0;
    }
    items[which] = {1, type == IOTXT_TYPE_DOUBLE, integer, real};
    return MULTIPASS_ExpectLineEnd();
}

// Reads the block's lines up to "end"; the end of the file closes it too.
uint32_t MULTIPASS_ReadRampBlock(MULTIPASS_ITEM items[ITEM_COUNT])
{
    while (IOTXT_NextLine()) {
        if (IOTXT_MatchWord("end")) return MULTIPASS_ExpectBlockLineEnd();
        if (!MULTIPASS_ReadItem(items)) return 0;
    }
    return 1;
}

// Number of values from start towards stop, computed without overflow.
uint64_t MULTIPASS_IntValueCount(int64_t start, int64_t stop, int64_t step)
{
    if (step == 0 || start == stop) return 0;
    uint64_t distance = stop > start ? static_cast<uint64_t>(stop) - static_cast<uint64_t>(start)
                                     : static_cast<uint64_t>(start) - static_cast<uint64_t>(stop);
    uint64_t stride = step > 0 ? static_cast<uint64_t>(step) : 0 - static_cast<uint64_t>(step);
    return distance / stride;
}

uint32_t MULTIPASS_CheckInt(MULTIPASS_PARAM* p)
{
    int64_t start = p->intStart, stop = p->intStop, step = p->intStep;
    if ((start > stop && step >= 0) || (start < stop && step <= 0)) return 0;
    p->valueCount = MULTIPASS_IntValueCount(start, stop, step);
    return 1;
}

// A count that is not a number or does not fit 64 bits is refused like a bad item.
uint32_t MULTIPASS_CheckDouble(MULTIPASS_PARAM* p)
{
    double start = p->doubleStart, stop = p->doubleStop, step = p->doubleStep;
    if (start > stop && step >= 0) return 0;
    if (start < stop && (step <= 0 || std::isnan(step))) return 0;
    if (std::fabs(step) < kDoubleStepTolerance) {
        p->valueCount = 0;
        return 1;
    }
    double count = std::trunc((stop - start) / step);
    if (std::isnan(count) || count >= kCountLimit) return 0;
    p->valueCount = count > 0 ? static_cast<uint64_t>(count) : 0;
    return 1;
}

void MULTIPASS_SetCurrent(MULTIPASS_PARAM* p)
{
    if (p->isDouble) {
        p->currentDouble = p->doubleStart + static_cast<double>(p->counter) * p->doubleStep;
    } else {
        uint64_t offset = p->counter * static_cast<uint64_t>(p->intStep);
        p->currentInt = static_cast<int64_t>(static_cast<uint64_t>(p->intStart) + offset);
    }
}

// Builds the parameter from its items, checks it and appends it; frees the
// name on every failure.
uint32_t MULTIPASS_AddParam(char* name, const MULTIPASS_ITEM items[ITEM_COUNT])
{
    uint32_t line = IOTXT_GetLineNumber();
    if (!items[ITEM_START].present) {
        LOG_Printf("MULTIPASS: chybějící položka START pro RAMP parametr na řádku %d.\n", line);
        POOL_Free(name);
        return 0;
    }
    if (!items[ITEM_STOP].present) {
        LOG_Printf("MULTIPASS: chybějící položka STOP pro RAMP parametr na řádku %d.\n", line);
        POOL_Free(name);
        return 0;
    }
    MULTIPASS_ITEM step = items[ITEM_STEP].present ? items[ITEM_STEP] : MULTIPASS_ITEM{1, 0, 1, 0.0};
    MULTIPASS_PARAM p{};
    p.kind = MULTIPASS_KIND_RAMP;
    p.name = name;
    p.isDouble = items[ITEM_START].isDouble || items[ITEM_STOP].isDouble || step.isDouble;
    if (p.isDouble) {
        p.doubleStart = items[ITEM_START].AsDouble();
        p.doubleStop = items[ITEM_STOP].AsDouble();
        p.doubleStep = step.AsDouble();
        if (!MULTIPASS_CheckDouble(&p)) {
            LOG_Printf("MULTIPASS: chybné FLOAT položky START-STOP-STEP pro RAMP parametr na řádku %d.\n", line);
            POOL_Free(name);
            return 0;
        }
    } else {
        p.intStart = items[ITEM_START].integer;
        p.intStop = items[ITEM_STOP].integer;
        p.intStep = step.integer;
        if (!MULTIPASS_CheckInt(&p)) {
            LOG_Printf("MULTIPASS: chybné INT položky START-STOP-STEP pro RAMP parametr na řádku %d.\n", line);
            POOL_Free(name);
            return 0;
        }
    }
    MEMORY_SetTag("MULTIPASS-ITEM");
    auto* record = static_cast<MULTIPASS_PARAM*>(POOL_Alloc(sizeof(MULTIPASS_PARAM) + 1));
    if (!record) {
        LOG_Printf("MULTIPASS: nedostatek paměti na řádku %d.\n", line);
        POOL_Free(name);
        return 0;
    }
    memset(record, 0, sizeof(MULTIPASS_PARAM) + 1);
    *record = p;
    // Later parameters may already refer to this one's value with PARAMETER("name").
    MULTIPASS_SetCurrent(record);
    if (g_lastParam) g_lastParam->next = record;
    else g_firstParam = record;
    g_lastParam = record;
    return 1;
}

uint32_t MULTIPASS_ReadParameter()
{
    MEMORY_SetTag("MULTIPASS-parameter-name");
    char* name = IOTXT_ReadQuotedString();
    if (!name) {
        LOG_Printf("MULTIPASS: očekávám název parametru v uvozovkách na řádku %d.\n", IOTXT_GetLineNumber());
        return 0;
    }
    const char* error = nullptr;
    if (!IOTXT_MatchComma()) error = "MULTIPASS: očekávám čárku a určení typu parametru na řádku %d.\n";
    else if (!IOTXT_MatchWord("RAMP")) error = "MULTIPASS: neznámý typ parametru na řádku %d.\n";
    else if (!IOTXT_IsEndOfLine()) error = "MULTIPASS: očekávám konec řádku na řádku %d.\n";
    if (error) {
        LOG_Printf(error, IOTXT_GetLineNumber());
        POOL_Free(name);
        return 0;
    }
    MULTIPASS_ITEM items[ITEM_COUNT] = {};
    if (!MULTIPASS_ReadRampBlock(items)) {
        POOL_Free(name);
        return 0;
    }
    return MULTIPASS_AddParam(name, items);
}

// The lines that gave the start and the end of the run (0: not given).
struct MULTIPASS_TIME_LINES {
    uint32_t start;
    uint32_t end;
};

uint32_t MULTIPASS_ReadLine(MULTIPASS_TIME_LINES* lines)
{
    if (IOTXT_MatchWord("starttime")) {
        lines->start = IOTXT_GetLineNumber();
        return MULTIPASS_ReadTime(&g_startSt, &g_start,
                                  "MULTIPASS: očekávám rovnítko a určení startovního času simulace na řádku %d.\n",
                                  "MULTIPASS: chybné určení startovního času simulace na řádku %d.\n");
    }
    if (IOTXT_MatchWord("endtime")) {
        lines->end = IOTXT_GetLineNumber();
        return MULTIPASS_ReadTime(&g_endSt, &g_end,
                                  "MULTIPASS: očekávám rovnítko a určení koncového času simulace na řádku %d.\n",
                                  "MULTIPASS: chybné určení koncového času simulace na řádku %d.\n");
    }
    if (IOTXT_MatchWord("simulationspeed")) return MULTIPASS_ReadSpeed();
    if (IOTXT_MatchWord("parameter")) return MULTIPASS_ReadParameter();
    LOG_Printf("MULTIPASS: neznámé slovo na řádku %d.\n", IOTXT_GetLineNumber());
    return 0;
}

// A run must end after it starts; the later of the two lines is named.
uint32_t MULTIPASS_CheckInterval(const MULTIPASS_TIME_LINES* lines)
{
    if (!lines->start || !lines->end || g_end > g_start) return 1;
    LOG_Printf("MULTIPASS: koncový čas simulace není pozdější než startovní čas na řádku %u.\n",
               lines->end > lines->start ? lines->end : lines->start);
    return 0;
}

void MULTIPASS_FreeParams()
{
    MULTIPASS_PARAM* p = g_firstParam;
    while (p) {
        MULTIPASS_PARAM* next = p->next;
        if (p->name) POOL_Free(p->name);
        POOL_Free(p);
        p = next;
    }
    g_firstParam = g_lastParam = nullptr;
}

const MULTIPASS_PARAM* MULTIPASS_FindParam(const char* name)
{
    if (!name) return nullptr;
    for (const MULTIPASS_PARAM* p = g_firstParam; p; p = p->next)
        if (strcasecmp(p->name, name) == 0) return p;
    return nullptr;
}

}  // namespace

void MULTIPASS_Init()
{
    g_firstParam = g_lastParam = nullptr;
    IOTXT_SetParamLookup(MULTIPASS_GetParamValue);
    DATAOUT_SetParamLookups(MULTIPASS_GetParamValue, MULTIPASS_FormatParamValue);
    MULTIPASS_SetSpeedIndex(MULTIPASS_SPEED_REAL);
}

void MULTIPASS_Done()
{
    MULTIPASS_FreeParams();
}

uint32_t MULTIPASS_Load()
{
    MULTIPASS_SetSpeedIndex(MULTIPASS_SPEED_REAL);
    if (!IOTXT_OpenFile("Multipass.cfg")) return 1;
    MULTIPASS_TIME_LINES lines{0, 0};
    while (IOTXT_NextLine()) {
        if (!MULTIPASS_ReadLine(&lines)) {
            IOTXT_CloseFile();
            return 0;
        }
    }
    if (!MULTIPASS_CheckInterval(&lines)) {
        IOTXT_CloseFile();
        return 0;
    }
    if (!lines.start || !lines.end) {
        LOG_Printf("MULTIPASS: nebyl určen startovní nebo koncový čas simulace, použije se default.\n");
        g_start = g_simClock.runStart;
        g_end = g_simClock.runEnd;
        TIME_MsToSystemTime(g_start, &g_startSt);
        TIME_MsToSystemTime(g_end, &g_endSt);
    }
    for (MULTIPASS_PARAM* p = g_firstParam; p; p = p->next) {
        p->counter = 0;
        MULTIPASS_SetCurrent(p);
    }
    MULTIPASS_ApplyTimes();
    IOTXT_CloseFile();
    return 1;
}

void MULTIPASS_ApplyTimes()
{
    g_simClock.runStart = g_start;
    g_simClock.runEnd = g_end;
    g_simClock.clock = g_start;
}

uint32_t MULTIPASS_NextPass()
{
    for (MULTIPASS_PARAM* p = g_firstParam; p; p = p->next) {
        p->counter++;
        if (p->counter < p->valueCount) {
            MULTIPASS_SetCurrent(p);
            MULTIPASS_ApplyTimes();
            return 1;
        }
        p->counter = 0;
        MULTIPASS_SetCurrent(p);
    }
    return 0;
}

double MULTIPASS_GetSpeed()
{
    return g_speed;
}

// From a ratio off the table, one step faster lands on the slowest entry that
// is at least the ratio.
double MULTIPASS_Faster()
{
    if (g_offTable) {
        g_offTable = 0;
        if (g_speedIndex < MULTIPASS_SPEED_STOPPED) g_speedIndex++;
    }
    if (g_speedIndex > MULTIPASS_SPEED_FASTEST) g_speedIndex--;
    g_speed = kSpeedTable[g_speedIndex];
    return g_speed;
}

double MULTIPASS_Slower()
{
    g_offTable = 0;
    if (g_speedIndex < MULTIPASS_SPEED_STOPPED) g_speedIndex++;
    g_speed = kSpeedTable[g_speedIndex];
    return g_speed;
}

uint32_t MULTIPASS_GetSpeedIndex()
{
    return g_speedIndex;
}

uint32_t MULTIPASS_IsSpeedOffTable()
{
    return g_offTable;
}

double MULTIPASS_GetTableSpeed(uint32_t index)
{
    return index < MULTIPASS_SPEED_COUNT ? kSpeedTable[index] : 0.0;
}

uint32_t MULTIPASS_GetParamValue(const char* name, double* value)
{
    const MULTIPASS_PARAM* p = MULTIPASS_FindParam(name);
    if (!p) {
        *value = 0.0;
        return 0;
    }
    *value = p->isDouble ? p->currentDouble : static_cast<double>(p->currentInt);
    return 1;
}

const char* MULTIPASS_FormatParamValue(const char* name)
{
    static char buffer[64];
    const MULTIPASS_PARAM* p = MULTIPASS_FindParam(name);
    if (!p) return nullptr;
    if (p->isDouble) snprintf(buffer, sizeof buffer, "%g", p->currentDouble);
    else snprintf(buffer, sizeof buffer, "%" PRId64, p->currentInt);
    return buffer;
}

const MULTIPASS_PARAM* MULTIPASS_GetFirstParam()
{
    return g_firstParam;
}
