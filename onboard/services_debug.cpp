// KOM: the formatter of M_DEBUG_Printf and the readers of strings in emulated
// memory that the debug and declaration services share.
#include "onboard/services_debug.h"
#include <cinttypes>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include "foundation/memory.h"
#include "foundation/pool.h"

namespace {

constexpr uint32_t kConversionLimit = 32;
// Width and precision beyond this are clamped: the host formatter would
// otherwise fill a billion characters for "%0999999999d".
constexpr uint32_t kFieldLimit = 256;
constexpr uint32_t kNameStep = 30;

}  // namespace

void KOM_DebugAppend(KOM_DEBUG_OUTPUT* out, const char* format, ...)
{
    char piece[600];
    va_list ap;
    va_start(ap, format);
    int n = vsnprintf(piece, sizeof piece, format, ap);
    va_end(ap);
    if (n <= 0) return;
    // A piece with a zero byte logs only up to it, as the log's formatter would.
    uint32_t size = static_cast<uint32_t>(strnlen(piece, sizeof piece));
    if (out->length + size >= sizeof out->text) KOM_DebugFlush(out);
    memcpy(out->text + out->length, piece, size);
    out->length += size;
}

void KOM_DebugFlush(KOM_DEBUG_OUTPUT* out)
{
    if (out->length == 0) return;
    out->text[out->length] = 0;
    KOM_LogOutput(out->text);
    out->length = 0;
}

uint32_t KOM_SpaceSize(uint8_t space)
{
    return space == 0 ? 256 : 65536;
}

void KOM_ReportUnterminated(const SIM51_GENERIC_PTR* start)
{
    KOM_Log("SWMODULE: chyba modulu: řetězec v paměťové oblasti %02X od adresy %04X nemá ukončovací nulu.\n",
               start->space, start->address);
}

char* KOM_ReadName(uint8_t space, uint16_t address)
{
    SIM51_GENERIC_PTR p;
    if (!SIM51_PtrInit(&p, space, address)) return nullptr;
    SIM51_GENERIC_PTR start = p;
    uint32_t capacity = kNameStep;
    uint32_t length = 0;
    MEMORY_SetTag("SWMODULE-get-string-memory");
    char* name = static_cast<char*>(POOL_Alloc(capacity + 4));
    bool failed = name == nullptr;
    uint32_t terminated = KOM_WalkString(&p, [&](uint8_t c) {
        if (failed) return;
        if (length + 1 >= capacity) {
            MEMORY_SetTag("SWMODULE-get-string-memory");
            // Doubling keeps a long name's reading linear in its length.
            char* grown = static_cast<char*>(POOL_Realloc(name, capacity + 4, 2 * capacity + 4));
            if (!grown) {
                failed = true;
                return;
            }
            name = grown;
            capacity *= 2;
        }
        name[length++] = static_cast<char>(c);
    });
    if (!terminated) KOM_ReportUnterminated(&start);
    if (failed || !terminated) {
        if (name) POOL_Free(name);
        return nullptr;
    }
    name[length] = 0;
    return name;
}

const char* KOM_ShowText(const char* raw, size_t length, char* shown, size_t size)
{
    if (size == 0) return shown;
    size_t n = 0;
    for (size_t i = 0; i < length; ++i) {
        uint8_t c = static_cast<uint8_t>(raw[i]);
        bool control = c < 0x20 || c == 0x7F;
        size_t width = control ? 4 : 1;
        if (n + width >= size) break;
        if (control) snprintf(shown + n, size - n, "\\x%02X", c);
        else shown[n] = static_cast<char>(c);
        n += width;
    }
    shown[n] = 0;
    return shown;
}

namespace {

struct PRINTF_STATE {
    SIM51_STACK_READER stack;
    KOM_DEBUG_OUTPUT out;
    char conversion[kConversionLimit + 8];
    uint32_t length;
};

uint64_t PopValue(PRINTF_STATE* s, uint32_t bytes)
{
    uint64_t v = 0;
    for (uint32_t i = 0; i < bytes; ++i) v = v << 8 | SIM51_StackPop(&s->stack);
    return v;
}

// A module error ends the service; the output so far goes first.
bool Fail(PRINTF_STATE* s, const char* message)
{
    KOM_DebugFlush(&s->out);
    KOM_Log("%s", message);
    return false;
}

bool AppendConversion(PRINTF_STATE* s, char c)
{
    if (s->length >= kConversionLimit)
        return Fail(s, "SWMODULE: chyba modulu: formátovací povel M_DEBUG_Printf je příliš dlouhý.\n");
    s->conversion[s->length++] = c;
    s->conversion[s->length] = 0;
    return true;
}

// The collected conversion with every number above the field limit clamped
// (leading zeros are the zero flag and stay), followed by the suffix.
void FinishConversion(const PRINTF_STATE* s, const char* suffix, char* out, size_t size)
{
    size_t n = 0;
    const char* p = s->conversion;
    while (*p && n + 8 < size) {
        if (*p < '1' || *p > '9') {
            out[n++] = *p++;
            continue;
        }
        uint64_t value = 0;
        while (*p >= '0' && *p <= '9') {
            if (value <= kFieldLimit) value = value * 10 + static_cast<uint64_t>(*p - '0');
            ++p;
        }
        if (value > kFieldLimit) value = kFieldLimit;
        n += static_cast<size_t>(snprintf(out + n, size - n, "%u", static_cast<unsigned>(value)));
    }
    snprintf(out + n, size - n, "%s", suffix);
}

bool IsIntegerLetter(char c)
{
    return c && strchr("diouxX", c) != nullptr;
}

void FormatInteger16(PRINTF_STATE* s, char letter, bool withH)
{
    char text[64];
    char suffix[3] = {withH ? 'h' : letter, withH ? letter : '\0', '\0'};
    FinishConversion(s, suffix, text, sizeof text);
    uint16_t raw = static_cast<uint16_t>(PopValue(s, 2));
    bool isSigned = letter == 'd' || letter == 'i' || (withH && letter == 'o');
    if (isSigned) KOM_DebugAppend(&s->out, text, static_cast<int>(static_cast<int16_t>(raw)));
    else KOM_DebugAppend(&s->out, text, static_cast<unsigned>(raw));
}

void FormatInteger32(PRINTF_STATE* s, char letter)
{
    char text[64];
    char suffix[3] = {'l', letter, 0};
    FinishConversion(s, suffix, text, sizeof text);
    uint32_t raw = static_cast<uint32_t>(PopValue(s, 4));
    if (letter == 'd' || letter == 'i') KOM_DebugAppend(&s->out, text, static_cast<long>(static_cast<int32_t>(raw)));
    else KOM_DebugAppend(&s->out, text, static_cast<unsigned long>(raw));
}

void FormatInteger64(PRINTF_STATE* s, char letter)
{
    const char* suffix = PRIu64;
    switch (letter) {
    case 'd': suffix = PRId64; break;
    case 'i': suffix = PRIi64; break;
    case 'o': suffix = PRIo64; break;
    case 'x': suffix = PRIx64; break;
    case 'X': suffix = PRIX64; break;
    default: break;
    }
    char text[64];
    FinishConversion(s, suffix, text, sizeof text);
    uint64_t raw = PopValue(s, 8);
    if (letter == 'd' || letter == 'i') KOM_DebugAppend(&s->out, text, static_cast<int64_t>(raw));
    else KOM_DebugAppend(&s->out, text, raw);
}

void FormatFloat(PRINTF_STATE* s, char letter)
{
    char text[64];
    char suffix[2] = {letter, 0};
    FinishConversion(s, suffix, text, sizeof text);
    uint32_t bits = static_cast<uint32_t>(PopValue(s, 4));
    float f;
    memcpy(&f, &bits, sizeof f);
    KOM_DebugAppend(&s->out, text, static_cast<double>(f));
}

void FormatGenericPointer(PRINTF_STATE* s, bool lower)
{
    uint8_t space = static_cast<uint8_t>(PopValue(s, 1));
    uint16_t address = static_cast<uint16_t>(PopValue(s, 2));
    const char* pattern = "G?:%%04%c";
    if (space == 0) pattern = (address & 0xFF) >= 0x80 ? "GI:%%02%c" : "GD:%%02%c";
    else if (space == 1) pattern = "GX:%%04%c";
    else if (space == 2) pattern = "GC:%%04%c";
    char text[16];
    snprintf(text, sizeof text, pattern, lower ? 'x' : 'X');
    KOM_DebugAppend(&s->out, text, static_cast<unsigned>(space == 0 ? address & 0xFF : address));
}

// "%P" and the character after it; returns whether that character was used.
bool FormatPointer(PRINTF_STATE* s, char kind)
{
    switch (kind) {
    case 'C': KOM_DebugAppend(&s->out, "C:%04X", static_cast<unsigned>(PopValue(s, 2))); return true;
    case 'c': KOM_DebugAppend(&s->out, "C:%04x", static_cast<unsigned>(PopValue(s, 2))); return true;
    case 'X': KOM_DebugAppend(&s->out, "X:%04X", static_cast<unsigned>(PopValue(s, 2))); return true;
    case 'x': KOM_DebugAppend(&s->out, "X:%04x", static_cast<unsigned>(PopValue(s, 2))); return true;
    case 'D':
    case 'd': {
        unsigned byte = static_cast<unsigned>(PopValue(s, 1));
        bool lower = kind == 'd';
        if (byte >= 0x80) KOM_DebugAppend(&s->out, lower ? "I:%02x" : "I:%02X", byte);
        else KOM_DebugAppend(&s->out, lower ? "D:%02x" : "D:%02X", byte);
        return true;
    }
    case 'G': FormatGenericPointer(s, false); return true;
    case 'g': FormatGenericPointer(s, true); return true;
    default: FormatGenericPointer(s, false); return false;
    }
}

// Reads the next format character; 0 at the zero byte or at the end of the space.
struct FORMAT_READER {
    SIM51_GENERIC_PTR p;
    SIM51_GENERIC_PTR start;
    uint32_t read;
    uint32_t limit;
    bool overrun;

    char Peek() const { return read < limit ? static_cast<char>(SIM51_PtrRead(&p)) : 0; }
    char Next()
    {
        if (read >= limit) {
            overrun = true;
            return 0;
        }
        char c = static_cast<char>(SIM51_PtrRead(&p));
        if (c) {
            SIM51_PtrNext(&p);
            ++read;
        }
        return c;
    }
};

// One conversion after its "%"; false ends the service.
bool Conversion(PRINTF_STATE* s, FORMAT_READER* f)
{
    s->length = 0;
    AppendConversion(s, '%');
    if (f->Peek() == '%') {
        f->Next();
        KOM_DebugAppend(&s->out, "%%");
        return true;
    }
    for (;;) {
        char c = f->Next();
        if (c == '*') continue;   // takes no argument; the host formatter would read one
        if (c && strchr("#-.0123456789", c)) {
            if (!AppendConversion(s, c)) return false;
            continue;
        }
        if (c == '%') {
            return Fail(s, "SWMODULE: chyba modulu: chyba %% ve formátovacím řetězci M_DEBUG_Printf.\n");
        }
        if (IsIntegerLetter(c)) {
            FormatInteger16(s, c, false);
            return true;
        }
        if (c == 'h') {
            char letter = f->Next();
            if (!IsIntegerLetter(letter)) {
                return Fail(s, "SWMODULE: chyba modulu: formátovací povel M_DEBUG_Printf obsahuje chybu v prefixu 'h'.\n");
            }
            FormatInteger16(s, letter, true);
            return true;
        }
        if (c == 'l') {
            char letter = f->Next();
            if (!IsIntegerLetter(letter)) {
                return Fail(s, "SWMODULE: chyba modulu: formátovací povel M_DEBUG_Printf obsahuje chybu v prefixu 'l'.\n");
            }
            FormatInteger32(s, letter);
            return true;
        }
        if (c == 'I') {
            if (f->Next() != '6' || f->Next() != '4') {
                return Fail(s, "SWMODULE: chyba modulu: formátovací povel M_DEBUG_Printf má chybu v I64 prefixu.\n");
            }
            char letter = f->Next();
            if (!IsIntegerLetter(letter)) {
                return Fail(s, "SWMODULE: chyba modulu: formátovací povel M_DEBUG_Printf obsahuje chybu v prefixu 'I64'.\n");
            }
            FormatInteger64(s, letter);
            return true;
        }
        if (c == 'c') {
            char text[64];
            FinishConversion(s, "c", text, sizeof text);
            KOM_DebugAppend(&s->out, text, static_cast<int>(PopValue(s, 1)));
            return true;
        }
        if (c && strchr("eEfgG", c)) {
            FormatFloat(s, c);
            return true;
        }
        if (c == 'P') {
            if (FormatPointer(s, f->Peek())) f->Next();
            return true;
        }
        if (f->overrun) return false;
        KOM_DebugFlush(&s->out);
        char shown[8];
        KOM_Log("SWMODULE: chyba modulu: formátovací povel M_DEBUG_Printf obsahuje chybný typový znak '%s'.\n",
                KOM_ShowText(&c, 1, shown, sizeof shown));
        return false;
    }
}

}  // namespace

void KOM_FormatPrintf()
{
    PRINTF_STATE state{};
    PRINTF_STATE* s = &state;
    SIM51_StackReaderInit(&s->stack);
    PopValue(s, 2);   // the return address
    uint8_t space = static_cast<uint8_t>(PopValue(s, 1));
    uint16_t address = static_cast<uint16_t>(PopValue(s, 2));
    FORMAT_READER f{};
    if (!SIM51_PtrInit(&f.p, space, address)) {
        KOM_Log("SWMODULE: chyba modulu: chybný kód paměťové oblasti %02X v ukazateli FORMAT ve funkci "
                   "M_DEBUG_Printf.\n",
                   space);
        return;
    }
    f.start = f.p;
    f.limit = KOM_SpaceSize(space);
    for (;;) {
        char c = f.Next();
        if (c == 0) break;
        if (c != '%') KOM_DebugAppend(&s->out, "%c", c);
        else if (!Conversion(s, &f)) break;
    }
    KOM_DebugFlush(&s->out);
    if (f.overrun) KOM_ReportUnterminated(&f.start);
}
