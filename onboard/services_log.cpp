// KOM: the log of the module services. Each text a service logs for the
// current module is counted line by line; a line that the module has logged
// KOM_REPEAT_LIMIT times in the run is left out of the log from then on.
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
constexpr uint64_t kHashStart = 14695981039346656037ull;
constexpr uint64_t kHashPrime = 1099511628211ull;

}  // namespace

struct KOM_LINE_COUNT {
    uint64_t hash;
    uint32_t count;
};

// One module's log lines in one run (tag "SWMODULE-log-lines"), freed with the module.
struct KOM_LOG_GATE {
    KOM_LINE_COUNT lines[kCountedLines];
    uint32_t lineCount;
    uint32_t limited;         // lines that have reached the limit
    uint64_t leftOut;         // their repeats since, not logged
    uint64_t hash;            // FNV-1a of the unfinished line
    uint32_t lineStarted;
    uint32_t holding;         // the unfinished line is held back, not yet logged
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

void ReleaseHeld(KOM_LOG_GATE* gate)
{
    if (gate->heldLength) {
        gate->held[gate->heldLength] = 0;
        Emit(gate->held, gate->heldStamp);
    }
    gate->holding = gate->heldLength = gate->heldStamp = 0;
}

// The count of a line; a line not yet counted takes a free place or that of
// the line counted least, unless every line there has reached the limit.
KOM_LINE_COUNT* CountOf(KOM_LOG_GATE* gate, uint64_t hash)
{
    KOM_LINE_COUNT* least = nullptr;
    for (uint32_t i = 0; i < gate->lineCount; ++i) {
        if (gate->lines[i].hash == hash) return &gate->lines[i];
        if (!least || gate->lines[i].count < least->count) least = &gate->lines[i];
    }
    if (gate->lineCount < kCountedLines) least = &gate->lines[gate->lineCount++];
    else if (least->count >= KOM_REPEAT_LIMIT) return nullptr;
    *least = KOM_LINE_COUNT{hash, 0};
    return least;
}

void EndLine(const SWMODULE* module, KOM_LOG_GATE* gate)
{
    KOM_LINE_COUNT* line = CountOf(gate, gate->hash);
    if (line && line->count >= KOM_REPEAT_LIMIT && gate->holding) {
        gate->leftOut++;
        gate->holding = gate->heldLength = gate->heldStamp = 0;
    } else {
        ReleaseHeld(gate);
        if (line && ++line->count == KOM_REPEAT_LIMIT) {
            gate->limited++;
            LOG_Printf("SWMODULE: modul \"%s\" zapsal tentýž řádek %u krát, další jeho opakování se do logu "
                       "nezapisují.\n",
                       module->name, KOM_REPEAT_LIMIT);
        }
    }
    gate->hash = kHashStart;
    gate->lineStarted = 0;
}

// One piece of a line (ending with its line end or not). A line is held back
// while the module has limited lines; a held line that grows too long, or a
// stamp in its middle, lets it out.
void PassPiece(const SWMODULE* module, KOM_LOG_GATE* gate, const char* piece, size_t length, uint32_t stamp)
{
    if (!gate->lineStarted) {
        gate->lineStarted = 1;
        gate->holding = gate->limited > 0;
    }
    gate->hash = Hash(gate->hash, piece, length);
    if (gate->holding && (gate->heldLength + length >= kTextRoom || (stamp && gate->heldLength)))
        ReleaseHeld(gate);
    if (gate->holding) {
        memcpy(gate->held + gate->heldLength, piece, length);
        gate->heldLength += static_cast<uint32_t>(length);
        gate->heldStamp = gate->heldStamp || stamp;
    } else {
        char text[kTextRoom];
        memcpy(text, piece, length);
        text[length] = 0;
        Emit(text, stamp);
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
    while (*text) {
        const char* lineEnd = strchr(text, '\n');
        size_t length = lineEnd ? static_cast<size_t>(lineEnd - text) + 1 : strlen(text);
        PassPiece(module, gate, text, length, stamp);
        stamp = 0;
        text += length;
    }
}

void LogFormatted(uint32_t stamp, const char* format, va_list ap)
{
    char text[kTextRoom];
    vsnprintf(text, sizeof text, format, ap);
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
        ReleaseHeld(gate);
        if (gate->leftOut)
            LOG_Printf("SWMODULE: modul \"%s\": %" PRIu64 " opakování řádků nebylo zapsáno do logu.\n", module->name,
                       gate->leftOut);
    }
}
