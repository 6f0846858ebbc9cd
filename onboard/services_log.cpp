// KOM: the log of the module services. Each text a service logs for the
// current module is counted line by line; a line that the module has logged
// KOM_REPEAT_LIMIT times in the run, or whose copies filled
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
// A line is known by its first kLineKey bytes: longer lines that agree there
// count as one line, and a held line never outgrows the held text.
constexpr uint32_t kLineKey = kTextRoom - 1;
constexpr uint64_t kHashStart = 14695981039346656037ull;
constexpr uint64_t kHashPrime = 1099511628211ull;

}  // namespace

struct KOM_LINE_COUNT {
    uint64_t hash;
    uint32_t count;
    uint32_t capped;          // its repeats are left out
    uint64_t bytes;           // of its copies logged so far
};

// One module's log lines in one run (tag "SWMODULE-log-lines"), freed with the module.
struct KOM_LOG_GATE {
    KOM_LINE_COUNT lines[kCountedLines];
    uint32_t lineCount;
    uint32_t limited;         // lines that are capped
    uint64_t leftOut;         // their repeats since, not logged
    uint64_t hash;            // FNV-1a of the unfinished line's first kLineKey bytes
    uint64_t lineBytes;       // of the unfinished line so far
    uint32_t lineStarted;
    uint32_t holding;         // the unfinished line is held back, not yet logged
    uint32_t dropping;        // the unfinished line repeats a capped line: left out
    uint32_t lineOpen;        // the module's last logged text did not end its line
    uint64_t written;         // bytes the module has logged in the run
    uint32_t silenced;        // the module has used up KOM_MODULE_LOG_LIMIT
    uint64_t silencedBytes;   // its bytes since, not logged
    uint32_t heldStamp;
    uint32_t heldLength;
    char held[kTextRoom];
};

namespace {

uint64_t Hash(uint64_t hash, const char* text, size_t length)
{
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
    gate->hash = kHashStart;
    module->logGate = gate;
    return gate;
}

void Emit(const char* text, uint32_t stamp)
{
    if (stamp) LOG_StampNext();
    LOG_Printf("%s", text);
}

// The module's text to the log while the module has bytes left in the run;
// the text that would pass them silences the module, on a line of its own.
void EmitCounted(const SWMODULE* module, KOM_LOG_GATE* gate, const char* text, size_t length, uint32_t stamp)
{
    if (!gate->silenced && gate->written + length > KOM_MODULE_LOG_LIMIT) {
        gate->silenced = 1;
        if (gate->lineOpen) LOG_Printf("\n");
        LOG_Printf("SWMODULE: modul \"%s\" zapsal do logu %u MB, další jeho výstup se do logu v tomto běhu "
                   "nezapisuje.\n",
                   module->name, KOM_MODULE_LOG_MIB);
    }
    if (gate->silenced) {
        gate->silencedBytes += length;
        return;
    }
    gate->written += length;
    gate->lineOpen = text[length - 1] != '\n';
    Emit(text, stamp);
}

void DropHeld(KOM_LOG_GATE* gate)
{
    gate->holding = gate->heldLength = gate->heldStamp = 0;
}

void ReleaseHeld(const SWMODULE* module, KOM_LOG_GATE* gate)
{
    if (gate->heldLength) {
        gate->held[gate->heldLength] = 0;
        EmitCounted(module, gate, gate->held, gate->heldLength, gate->heldStamp);
    }
    DropHeld(gate);
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

void CountCopy(const SWMODULE* module, KOM_LOG_GATE* gate, KOM_LINE_COUNT* line)
{
    line->count++;
    line->bytes += gate->lineBytes;
    if (line->count < KOM_REPEAT_LIMIT && line->bytes < KOM_REPEAT_BYTES_LIMIT) return;
    line->capped = 1;
    gate->limited++;
    if (!gate->silenced)
        LOG_Printf("SWMODULE: modul \"%s\" zapsal tentýž řádek %u krát, další jeho opakování se do logu "
                   "nezapisují.\n",
                   module->name, line->count);
}

void EndLine(const SWMODULE* module, KOM_LOG_GATE* gate)
{
    if (gate->dropping) {
        gate->leftOut++;
    } else {
        KOM_LINE_COUNT* line = CountOf(gate, gate->hash);
        if (line && line->capped && gate->holding) {
            gate->leftOut++;
            DropHeld(gate);
        } else {
            ReleaseHeld(module, gate);
            if (line && !line->capped) CountCopy(module, gate, line);
        }
    }
    gate->hash = kHashStart;
    gate->lineBytes = 0;
    gate->lineStarted = gate->dropping = 0;
}

void StartLine(KOM_LOG_GATE* gate)
{
    gate->lineStarted = 1;
    gate->holding = gate->limited > 0;
}

// A held line that outgrows its key is known now: the repeat of a capped line
// is left out up to its end, any other line is let out.
void SettleLongLine(const SWMODULE* module, KOM_LOG_GATE* gate)
{
    const KOM_LINE_COUNT* line = FindLine(gate, gate->hash);
    if (line && line->capped) {
        gate->dropping = 1;
        DropHeld(gate);
    } else {
        ReleaseHeld(module, gate);
    }
}

// One piece of a line (ending with its line end or not). A line is held back
// while the module has capped lines; a stamp in its middle lets it out.
void PassPiece(const SWMODULE* module, KOM_LOG_GATE* gate, const char* piece, size_t length, uint32_t stamp)
{
    if (!gate->lineStarted) StartLine(gate);
    if (gate->lineBytes < kLineKey) {
        size_t keyed = kLineKey - gate->lineBytes;
        gate->hash = Hash(gate->hash, piece, length < keyed ? length : keyed);
    }
    gate->lineBytes += length;
    if (gate->holding && gate->lineBytes > kLineKey) SettleLongLine(module, gate);
    if (gate->holding && stamp && gate->heldLength) ReleaseHeld(module, gate);
    if (gate->dropping) {
        // a capped line's repeat: nothing of it is kept
    } else if (gate->holding) {
        memcpy(gate->held + gate->heldLength, piece, length);
        gate->heldLength += static_cast<uint32_t>(length);
        gate->heldStamp = gate->heldStamp || stamp;
    } else {
        char text[kTextRoom];
        memcpy(text, piece, length);
        text[length] = 0;
        EmitCounted(module, gate, text, length, stamp);
    }
    if (piece[length - 1] == '\n') EndLine(module, gate);
}

void LogText(const char* text, uint32_t stamp)
{
    SWMODULE* module = SWMODULE_CurrentModule;
    KOM_LOG_GATE* gate = module && *text ? Gate(module) : nullptr;
    if (!gate) {
        Emit(text, stamp);
        return;
    }
    if (gate->silenced) {
        gate->silencedBytes += strlen(text);
        return;
    }
    while (*text) {
        const char* lineEnd = strchr(text, '\n');
        size_t length = lineEnd ? static_cast<size_t>(lineEnd - text) + 1 : strlen(text);
        PassPiece(module, gate, text, length, stamp);
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

void KOM_LogRepeatSummary(SWMODULE* firstModule)
{
    for (SWMODULE* module = firstModule; module; module = module->next) {
        KOM_LOG_GATE* gate = module->logGate;
        if (!gate) continue;
        ReleaseHeld(module, gate);
        if (gate->leftOut)
            LOG_Printf("SWMODULE: modul \"%s\": %" PRIu64 " opakování řádků nebylo zapsáno do logu.\n", module->name,
                       gate->leftOut);
        if (gate->silencedBytes)
            LOG_Printf("SWMODULE: modul \"%s\": %" PRIu64 " bajtů jeho výstupu nebylo zapsáno do logu.\n",
                       module->name, gate->silencedBytes);
    }
}
