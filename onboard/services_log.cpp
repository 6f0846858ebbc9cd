// KOM: the log of the module services. A module's own output (the debug
// services) is gathered into its line until the line ends, so that each line
// reaches the log whole and no other text lands inside it. Each whole line a
// service logs for the current module is counted: a line that the module has
// logged KOM_REPEAT_LIMIT times in the run, or whose copies filled
// KOM_REPEAT_BYTES_LIMIT, is left out of the log from then on, and so is all
// of the module's text once it has logged KOM_MODULE_LOG_LIMIT bytes.
#include <cinttypes>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include "foundation/log.h"
#include "foundation/memory.h"
#include "foundation/pool.h"
#include "onboard/services_debug.h"
#include "onboard/swmodule.h"

namespace {

constexpr uint32_t kCountedLines = 128;
constexpr uint32_t kTextRoom = 4000;   // the log's own room for one message
// A line of the log holds at most kLineRoom bytes before its line end: the
// same 3999 bytes in all that a message cut to the log's room keeps.
constexpr uint32_t kLineRoom = kTextRoom - 2;
constexpr uint64_t kHashStart = 14695981039346656037ull;
constexpr uint64_t kHashPrime = 1099511628211ull;

}  // namespace

struct KOM_LINE_COUNT {
    uint64_t hash;
    uint32_t count;
    uint32_t capped;          // its repeats are left out
    uint64_t bytes;           // of its copies logged so far
};

// One module's log in one run (tag "SWMODULE-log-lines"), freed with the module.
struct KOM_LOG_GATE {
    KOM_LINE_COUNT lines[kCountedLines];
    uint32_t lineCount;
    uint64_t leftOut;         // repeats of capped lines, not logged
    uint64_t written;         // bytes the module has logged in the run
    uint32_t silenced;        // the module has used up KOM_MODULE_LOG_LIMIT
    uint64_t leftOutBytes;    // bytes not logged: after the limit, or beyond a cut line's room
    uint32_t cutting;         // the open line was cut at its room: the rest up to its end is left out
    uint32_t cutLeftOut;      // the cut line was left out: its own line end, when it comes, is too
    uint32_t openLength;
    char open[kTextRoom];     // the module's output since its last line end
};

namespace {

uint64_t Hash(const char* text, size_t length)
{
    uint64_t hash = kHashStart;
    for (size_t i = 0; i < length; ++i) hash = (hash ^ static_cast<uint8_t>(text[i])) * kHashPrime;
    return hash;
}

KOM_LOG_GATE* Gate(SWMODULE* module)
{
    if (module->logGate) return module->logGate;
    MEMORY_SetTag("SWMODULE-log-lines");
    auto* gate = static_cast<KOM_LOG_GATE*>(POOL_Alloc(sizeof(KOM_LOG_GATE) + 1));
    if (!gate) return nullptr;
    memset(static_cast<void*>(gate), 0, sizeof *gate);
    module->logGate = gate;
    return gate;
}

const char* SatelliteOf(const SWMODULE* module)
{
    return module->satelliteName ? module->satelliteName : "";
}

void Emit(const char* text, uint32_t stamp)
{
    if (stamp) LOG_StampNext();
    LOG_Printf("%s", text);
}

// The module's line to the log while the module has bytes left in the run;
// the line that would pass them silences the module, on a line of its own.
// A line left out counts as the bytes the module wrote: without the line end
// that the program added (added = 1) to a line the module had left open.
void EmitCounted(const SWMODULE* module, KOM_LOG_GATE* gate, const char* text, size_t length, uint32_t stamp,
                 uint32_t added)
{
    if (!gate->silenced && gate->written + length > KOM_MODULE_LOG_LIMIT) {
        gate->silenced = 1;
        LOG_Printf("SWMODULE: modul \"%s\" satelitu \"%s\": zapsal do logu %u MB, další jeho výstup se do logu v "
                   "tomto běhu nezapisuje.\n",
                   module->name, SatelliteOf(module), KOM_MODULE_LOG_MIB);
    }
    if (gate->silenced) {
        gate->leftOutBytes += length - added;
        return;
    }
    gate->written += length;
    Emit(text, stamp);
}

KOM_LINE_COUNT* FindLine(KOM_LOG_GATE* gate, uint64_t hash)
{
    for (uint32_t i = 0; i < gate->lineCount; ++i)
        if (gate->lines[i].hash == hash) return &gate->lines[i];
    return nullptr;
}

// The count of a line; a line not yet counted takes a free place or that of
// the line counted least among those not capped; null when all are capped.
KOM_LINE_COUNT* CountOf(KOM_LOG_GATE* gate, uint64_t hash)
{
    if (KOM_LINE_COUNT* line = FindLine(gate, hash)) return line;
    KOM_LINE_COUNT* least = nullptr;
    if (gate->lineCount < kCountedLines) least = &gate->lines[gate->lineCount++];
    else
        for (KOM_LINE_COUNT& line : gate->lines)
            if (!line.capped && (!least || line.count < least->count)) least = &line;
    if (least) *least = KOM_LINE_COUNT{hash, 0, 0, 0};
    return least;
}

void CountCopy(const SWMODULE* module, KOM_LOG_GATE* gate, KOM_LINE_COUNT* line, size_t length)
{
    line->count++;
    line->bytes += length;
    if (line->count < KOM_REPEAT_LIMIT && line->bytes < KOM_REPEAT_BYTES_LIMIT) return;
    line->capped = 1;
    if (!gate->silenced)
        LOG_Printf("SWMODULE: modul \"%s\" satelitu \"%s\": zapsal tentýž řádek %u krát, další jeho opakování "
                   "se do logu nezapisují.\n",
                   module->name, SatelliteOf(module), line->count);
}

// One whole line of the module (with its line end, or the rest of a text
// without one): logged and counted, or left out as a capped line's repeat.
void PassLine(const SWMODULE* module, KOM_LOG_GATE* gate, const char* text, size_t length, uint32_t stamp,
              uint32_t added)
{
    if (gate->silenced) {
        gate->leftOutBytes += length - added;
        return;
    }
    KOM_LINE_COUNT* line = CountOf(gate, Hash(text, length));
    if (line && line->capped) {
        gate->leftOut++;
        return;
    }
    EmitCounted(module, gate, text, length, stamp, added);
    if (line) CountCopy(module, gate, line, length);
}

// The open line, ended, to the log; added: the line end is the program's,
// not one the module wrote.
void EndOpenLine(const SWMODULE* module, KOM_LOG_GATE* gate, uint32_t added)
{
    gate->open[gate->openLength++] = '\n';
    gate->open[gate->openLength] = 0;
    PassLine(module, gate, gate->open, gate->openLength, 0, added);
    gate->openLength = 0;
}

// A piece of the module's output up to a line end (ends) or the end of the
// text: added to the open line, which goes to the log when it ends or fills
// its room; the rest of a line cut at its room is left out up to its end.
// The line end that the program puts at the cut stands for the module's own
// one, unless the cut line was left out after the module's bytes ran out.
void TakePiece(const SWMODULE* module, KOM_LOG_GATE* gate, const char* piece, size_t length, bool ends)
{
    if (gate->cutting) {
        gate->leftOutBytes += length + (ends && gate->cutLeftOut ? 1 : 0);
    } else {
        size_t room = kLineRoom - gate->openLength;
        size_t taken = length < room ? length : room;
        memcpy(gate->open + gate->openLength, piece, taken);
        gate->openLength += static_cast<uint32_t>(taken);
        gate->leftOutBytes += length - taken;
        if (ends || gate->openLength == kLineRoom) {
            gate->cutting = !ends;
            EndOpenLine(module, gate, !ends);
            gate->cutLeftOut = gate->cutting && gate->silenced;
        }
    }
    if (ends) gate->cutting = 0;
}

void TakeOutput(const SWMODULE* module, KOM_LOG_GATE* gate, const char* text)
{
    while (*text) {
        const char* lineEnd = strchr(text, '\n');
        size_t length = lineEnd ? static_cast<size_t>(lineEnd - text) : strlen(text);
        TakePiece(module, gate, text, length, lineEnd != nullptr);
        text += length + (lineEnd ? 1 : 0);
    }
}

// The program's own text on behalf of the current module: each of its lines
// is whole already and passes at once, beside the module's open line.
void LogText(const char* text, uint32_t stamp)
{
    SWMODULE* module = SWMODULE_CurrentModule;
    KOM_LOG_GATE* gate = module && *text ? Gate(module) : nullptr;
    if (!gate) {
        Emit(text, stamp);
        return;
    }
    while (*text) {
        const char* lineEnd = strchr(text, '\n');
        size_t length = lineEnd ? static_cast<size_t>(lineEnd - text) + 1 : strlen(text);
        char line[kTextRoom];
        memcpy(line, text, length);
        line[length] = 0;
        PassLine(module, gate, line, length, stamp, 0);
        stamp = 0;
        text += length;
    }
}

// A text over the room is cut, keeping its line end: the line still ends and
// counts as a copy of the line its first part makes.
void LogFormatted(uint32_t stamp, const char* format, va_list ap)
{
    char text[kTextRoom];
    LOG_FormatCut(text, sizeof text, format, ap);
    LogText(text, stamp);
}

}  // namespace

void KOM_Log(const char* format, ...)
{
    va_list ap;
    va_start(ap, format);
    LogFormatted(0, format, ap);
    va_end(ap);
}

void KOM_LogStamped(const char* format, ...)
{
    va_list ap;
    va_start(ap, format);
    LogFormatted(1, format, ap);
    va_end(ap);
}

void KOM_LogOutput(const char* text)
{
    SWMODULE* module = SWMODULE_CurrentModule;
    KOM_LOG_GATE* gate = module && *text ? Gate(module) : nullptr;
    if (!gate) Emit(text, 0);
    else TakeOutput(module, gate, text);
}

void KOM_LogEndLine(SWMODULE* module)
{
    KOM_LOG_GATE* gate = module->logGate;
    if (!gate) return;
    if (gate->openLength) EndOpenLine(module, gate, 1);
    gate->cutting = 0;
}

void KOM_LogRepeatSummary(SWMODULE* firstModule, const char* satelliteName)
{
    for (SWMODULE* module = firstModule; module; module = module->next) {
        KOM_LOG_GATE* gate = module->logGate;
        if (!gate) continue;
        KOM_LogEndLine(module);
        if (gate->leftOut)
            LOG_Printf("SWMODULE: modul \"%s\" satelitu \"%s\": %" PRIu64 " opakování řádků nebylo zapsáno do logu.\n",
                       module->name, satelliteName, gate->leftOut);
        if (gate->leftOutBytes)
            LOG_Printf("SWMODULE: modul \"%s\" satelitu \"%s\": %" PRIu64
                       " bajtů jeho výstupu nebylo zapsáno do logu.\n",
                       module->name, satelliteName, gate->leftOutBytes);
    }
}
