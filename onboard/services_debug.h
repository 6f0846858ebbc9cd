// KOM: helpers of the debug services: the output gathered by one service call,
// strings read from emulated memory, and the formatter of M_DEBUG_Printf.
#pragma once
#include <cstddef>
#include <cstdint>
#include "onboard/sim51.h"

struct SWMODULE;

// The module's own output (the debug services) is kept for the current module
// until its line ends and then logged as one line, so that no other module's
// text and none of the program's lands inside it; a line that fills the log's
// room (3998 bytes and its line end) is logged then, and the rest of it up to
// its line end is left out. KOM_LogEndLine ends a module's open line (the
// module stops, the run ends). The program's messages on behalf of the module
// (KOM_Log) are whole lines and go out at once.
// Every line logged for the current module goes through its line counts: once
// one line of a module has been logged 1000 times in a run, or its copies
// have filled 256 KiB, one line says so and its further repeats are only
// counted, so that a module caught in a loop cannot fill the disk. Once a
// module has logged 16 MiB in a run, one line says so and the rest of its
// text in that run is only counted. Without a current module the text goes
// to the log unchanged. Stamped: the log's time stamp goes before it.
void KOM_Log(const char* format, ...) __attribute__((format(printf, 1, 2)));
void KOM_LogStamped(const char* format, ...) __attribute__((format(printf, 1, 2)));
void KOM_LogOutput(const char* text);
void KOM_LogEndLine(SWMODULE* module);
// At the end of a run: ends the open lines, and for each module of the list
// (the modules of the named satellite) whose repeats were left out of the
// log, says how many there were, and how many bytes of a module's output were
// left out (after its 16 MiB, or beyond the room of a line): the bytes the
// module wrote that the log did not take; a line end that the program puts
// after a line the module left open is none of them.
void KOM_LogRepeatSummary(SWMODULE* firstModule, const char* satelliteName);
constexpr uint32_t KOM_REPEAT_LIMIT = 1000;
constexpr uint64_t KOM_REPEAT_BYTES_LIMIT = 256 * 1024;
constexpr uint32_t KOM_MODULE_LOG_MIB = 16;
constexpr uint64_t KOM_MODULE_LOG_LIMIT = uint64_t{KOM_MODULE_LOG_MIB} * 1024 * 1024;

// The pieces one service call logs, handed to the module's line in as few
// calls as the buffer allows; the line receives the same bytes as piece by piece.
struct KOM_DEBUG_OUTPUT {
    char text[3200];
    uint32_t length;
};

void KOM_DebugAppend(KOM_DEBUG_OUTPUT* out, const char* format, ...) __attribute__((format(printf, 2, 3)));
void KOM_DebugFlush(KOM_DEBUG_OUTPUT* out);

// Bytes a string may span in a memory space: 256 in internal RAM, 65536 elsewhere.
uint32_t KOM_SpaceSize(uint8_t space);

// Logs the module error of a string that has no zero byte within its space.
void KOM_ReportUnterminated(const SIM51_GENERIC_PTR* start);

// Calls visit for each character up to the zero byte. A string without one
// stops at the size of its space; returns 0 then (the caller reports it once
// its own output is out).
template <typename VISIT>
uint32_t KOM_WalkString(SIM51_GENERIC_PTR* p, VISIT visit)
{
    uint32_t limit = KOM_SpaceSize(p->space);
    for (uint32_t i = 0; i < limit; ++i, SIM51_PtrNext(p)) {
        uint8_t c = SIM51_PtrRead(p);
        if (c == 0) return 1;
        visit(c);
    }
    return 0;
}

// A native copy of a name (tag "SWMODULE-get-string-memory"), or null for an
// invalid space, a name without its zero byte, or no memory.
char* KOM_ReadName(uint8_t space, uint16_t address);

// Text from a module's memory (a name, a character of a format) as it stands
// inside one of the program's own messages: every control character (0x00 to
// 0x1F and 0x7F) is written as \xNN with two upper-case hex digits, so that
// the text can neither end the message's line early nor break it; other
// bytes are kept. The shown text takes at most size - 1 bytes (an escape is
// never split) and always ends with its zero byte; returns shown.
constexpr size_t KOM_SHOWN_ROOM = 4000;   // a message's room in the log
const char* KOM_ShowText(const char* raw, size_t length, char* shown, size_t size);

// M_DEBUG_Printf: reads the format and its arguments from the active stack.
void KOM_FormatPrintf();
