// IOTXT: the typed value readers of the configuration language. Each reads at
// the reader's current position, moves past what it read and returns 1 or 0;
// texts come back as pool blocks owned by the caller.
#include "foundation/time.h"
#include "foundation/iotxt.h"
#include "foundation/log.h"
#include "foundation/memory.h"
#include "foundation/pool.h"
#include "foundation/util.h"
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <cstring>

static IOTXT_PARAM_LOOKUP s_paramLookup = nullptr;

void IOTXT_SetParamLookup(IOTXT_PARAM_LOOKUP lookup)
{
    s_paramLookup = lookup;
}

namespace {

// The longest number text a reader collects.
constexpr size_t NUMBER_TEXT_MAX = 98;

bool IsDigit(char c)
{
    return c >= '0' && c <= '9';
}

bool IsLetter(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

bool IsIdentStart(char c)
{
    return IsLetter(c) || c == '_';
}

bool IsBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}

// A pool copy of [start, start + length) under the given tag; when
// onlyIfUnset is set, a tag the caller has set beforehand is kept.
char* CopyText(const char* tag, bool onlyIfUnset, const char* start, uint32_t length)
{
    if (onlyIfUnset)
        MEMORY_SetTagIfUnset(tag);
    else
        MEMORY_SetTag(tag);
    return UTIL_StrDupN(start, length);
}

// Decimal text of a signed 64-bit integer; fails beyond the range.
bool ConvertInt64(const char* text, int64_t* value)
{
    const char* digits = text[0] == '-' ? text + 1 : text;
    if (!IsDigit(*digits)) return false;
    errno = 0;
    char* end;
    long long v = strtoll(text, &end, 10);
    if (errno == ERANGE || *end != 0) return false;
    *value = v;
    return true;
}

// Bounds of the quoted text at p (which must stand at the opening quote).
struct QUOTED_SPAN {
    char* start;
    uint32_t length;
    char* after;
};

bool ScanQuoted(char* p, QUOTED_SPAN* span)
{
    if (*p != '"') return false;
    char* q = p + 1;
    while (*q && *q != '"') {
        if (*q == '\\') {
            if (q[1] == 0) return false;
            q += 2;
        } else {
            q++;
        }
    }
    span->start = p + 1;
    span->length = (uint32_t)(q - span->start);
    if (*q == '"') {
        span->after = q + 1;
    } else {
        // Unterminated: the text runs to the end of the line, without the line end.
        span->after = q;
        while (span->length > 0 && (span->start[span->length - 1] == '\n' || span->start[span->length - 1] == '\r'))
            span->length--;
    }
    return true;
}

// Reads a quoted text at the position into a block with the given tag.
char* ReadQuotedTagged(const char* tag, bool onlyIfUnset)
{
    if (!IOTXT_HasCurrentText()) return nullptr;
    IOTXT_SkipBlanks();
    QUOTED_SPAN span;
    if (!ScanQuoted(IOTXT_GetPosition(), &span)) return nullptr;
    char* text = CopyText(tag, onlyIfUnset, span.start, span.length);
    if (!text) return nullptr;
    IOTXT_SetPosition(span.after);
    return text;
}

// The PARAMETER("name") form; the word itself has been matched.
uint32_t ReadParameter(double* value)
{
    if (!IOTXT_MatchChar('(')) {
        LOG_Printf("IOTXT: očekávám závorku u definice PARAMETER.\n");
        return 0;
    }
    char* name = ReadQuotedTagged("IOTXT-parameter-name", false);
    if (!name) {
        LOG_Printf("IOTXT: očekávám název MULTIPASS-PARAMETRU u definice PARAMETER.\n");
        return 0;
    }
    if (!IOTXT_MatchChar(')')) {
        POOL_Free(name);
        LOG_Printf("IOTXT: očekávám závorku u definice PARAMETER.\n");
        return 0;
    }
    double v = 0.0;
    uint32_t found = s_paramLookup ? s_paramLookup(name, &v) : 0;
    POOL_Free(name);
    if (!found) {
        LOG_Printf("IOTXT: neznámý název MULTIPASS-PARAMETRU u definice PARAMETER.\n");
        return 0;
    }
    *value = v;
    return 1;
}

// Collects the characters of a real: signs before the digits of the mantissa
// or of the exponent ("+" dropped), digits and ".", one "e" or "E".
bool CollectReal(char text[NUMBER_TEXT_MAX + 1], size_t* length)
{
    char* p = IOTXT_GetPosition();
    size_t n = 0;
    bool signAllowed = true, exponentSeen = false, ok = true;
    for (;; p++) {
        char c = *p;
        if (c == '+' || c == '-') {
            if (!signAllowed) {
                ok = false;
                break;
            }
            signAllowed = false;
            if (c == '+') continue;
        } else if (IsDigit(c) || c == '.') {
            signAllowed = false;
        } else if (c == 'e' || c == 'E') {
            if (exponentSeen) {
                ok = false;
                break;
            }
            exponentSeen = true;
            signAllowed = true;
        } else {
            break;
        }
        if (n >= NUMBER_TEXT_MAX) {
            ok = false;
            break;
        }
        text[n++] = c;
    }
    text[n] = 0;
    *length = n;
    IOTXT_SetPosition(p);
    return ok;
}

// A unit word after a number: the first of the table that matches.
struct UNIT {
    const char* word;
    double factor;
};

template <size_t N>
bool MatchUnit(const UNIT (&units)[N], double* factor)
{
    for (const UNIT& unit : units) {
        if (IOTXT_MatchWord(unit.word)) {
            *factor = unit.factor;
            return true;
        }
    }
    return false;
}

bool ReadScaled(const UNIT* units, size_t count, double* out)
{
    double value;
    if (!IOTXT_ReadDouble(&value)) return false;
    for (size_t i = 0; i < count; i++) {
        if (IOTXT_MatchWord(units[i].word)) {
            *out = value * units[i].factor;
            return true;
        }
    }
    return false;
}

// A formatted scan of a date text: "%0Nd" reads an optional sign and at most
// N digits after optional white space, a blank matches any run of white space,
// other characters match themselves. Returns the number of fields converted.
int ScanFields(const char* text, const char* pattern, int* fields)
{
    int converted = 0;
    const char* t = text;
    for (const char* p = pattern; *p; p++) {
        if (*p == '%') {
            int width = 0;
            for (p++; IsDigit(*p); p++) width = width * 10 + (*p - '0');
            while (IsBlank(*t)) t++;
            int sign = 1;
            if (*t == '+' || *t == '-') sign = (*t++ == '-') ? -1 : 1;
            int value = 0, digits = 0;
            while (digits < width && IsDigit(*t)) value = value * 10 + (*t++ - '0'), digits++;
            if (digits == 0) return converted;
            fields[converted++] = sign * value;
        } else if (IsBlank(*p)) {
            while (IsBlank(*t)) t++;
        } else if (*t == *p) {
            t++;
        } else {
            return converted;
        }
    }
    return converted;
}

bool ParseUtText(const char* text, SYSTEMTIME* st)
{
    static const struct {
        const char* pattern;
        int fields;
    } forms[] = {{"%02d.%02d.%04d, %02d:%02d:%02d.%03d", 7}, {"%02d.%02d.%04d, %02d:%02d:%02d", 6},
                 {"%02d.%02d.%04d, %02d:%02d", 5}};
    int f[7] = {0, 0, 0, 0, 0, 0, 0};
    bool matched = false;
    for (const auto& form : forms) {
        int g[7] = {0, 0, 0, 0, 0, 0, 0};
        if (ScanFields(text, form.pattern, g) == form.fields) {
            memcpy(f, g, sizeof f);
            matched = true;
            break;
        }
    }
    if (!matched) return false;
    int day = f[0], month = f[1], year = f[2];
    if (year < 1950 || year > 2200 || month < 1 || month > 12) return false;
    if (day < 1 || day > TIME_DaysInMonth(year, month)) return false;   // 30.02. does not exist
    if (f[3] < 0 || f[3] > 23 || f[4] < 0 || f[4] > 59 || f[5] < 0 || f[5] > 59 || f[6] < 0 || f[6] > 999)
        return false;
    st->wYear = (uint16_t)year;
    st->wMonth = (uint16_t)month;
    st->wDay = (uint16_t)day;
    st->wHour = (uint16_t)f[3];
    st->wMinute = (uint16_t)f[4];
    st->wSecond = (uint16_t)f[5];
    st->wMilliseconds = (uint16_t)f[6];
    return true;
}

bool ReadInt64InRange(int64_t lo, int64_t hi, int64_t* value)
{
    return IOTXT_ReadInt64(value) && *value >= lo && *value <= hi;
}

uint32_t IdentLength(const char* p)
{
    if (!IsIdentStart(*p)) return 0;
    uint32_t n = 1;
    while (IsIdentStart(p[n]) || IsDigit(p[n])) n++;
    return n;
}

}  // namespace

uint32_t IOTXT_ReadInt64(int64_t* value)
{
    if (!IOTXT_HasCurrentText()) return 0;
    IOTXT_SkipBlanks();
    char* p = IOTXT_GetPosition();
    char text[NUMBER_TEXT_MAX + 1];
    size_t n = 0;
    bool signSeen = false, digitSeen = false, ok = true;
    for (;; p++) {
        char c = *p;
        if (c == '+' || c == '-') {
            if (signSeen || digitSeen) {
                ok = false;
                break;
            }
            signSeen = true;
            if (c == '+') continue;
        } else if (IsDigit(c)) {
            digitSeen = true;
        } else {
            break;
        }
        if (n >= NUMBER_TEXT_MAX) {
            ok = false;
            break;
        }
        text[n++] = c;
    }
    text[n] = 0;
    IOTXT_SetPosition(p);
    return (ok && ConvertInt64(text, value)) ? 1 : 0;
}

uint32_t IOTXT_ReadDouble(double* value)
{
    if (!IOTXT_HasCurrentText()) return 0;
    IOTXT_SkipBlanks();
    if (IOTXT_MatchWord("PARAMETER")) return ReadParameter(value);
    char text[NUMBER_TEXT_MAX + 1];
    size_t n;
    if (!CollectReal(text, &n)) return 0;
    double v;
    auto result = std::from_chars(text, text + n, v);
    if (result.ec != std::errc()) return 0;
    *value = v;
    return 1;
}

uint32_t IOTXT_ReadDuration(int64_t* ms)
{
    static const struct {
        const char* word;
        int64_t factor;
    } units[] = {{"ms", 1}, {"s", 1000}, {"m", 60000}, {"h", 3600000}, {"d", 86400000}};
    if (!IOTXT_HasCurrentText()) return 0;
    int lastUnit = 5;   // units must come in falling order, each at most once
    int64_t total = 0;
    int pieces = 0;
    for (;;) {
        IOTXT_SkipBlanks();
        if (!IsDigit(*IOTXT_GetPosition())) break;
        int64_t number;
        if (!IOTXT_ReadInt64(&number) || number < 0) return 0;
        int unit = 0;
        while (unit < 5 && !IOTXT_MatchWord(units[unit].word)) unit++;
        if (unit == 5 || unit >= lastUnit) return 0;
        lastUnit = unit;
        int64_t part;
        if (__builtin_mul_overflow(number, units[unit].factor, &part) || __builtin_add_overflow(total, part, &total))
            return 0;
        pieces++;
    }
    if (pieces == 0) return 0;
    *ms = total;
    return 1;
}

uint32_t IOTXT_ReadTimeFromStart(int64_t* time)
{
    int64_t duration;
    if (!IOTXT_MatchWord("TIME_FROM_START") || !IOTXT_MatchChar('(')) return 0;
    if (!IOTXT_ReadDuration(&duration) || !IOTXT_MatchChar(')')) return 0;
    int64_t result;
    if (__builtin_add_overflow(g_simClock.clock, duration, &result)) return 0;
    *time = result;
    return 1;
}

uint32_t IOTXT_ReadUtTime(SYSTEMTIME* st)
{
    if (!IOTXT_HasCurrentText()) return 0;
    IOTXT_SkipBlanks();
    if (!IOTXT_MatchWord("UT") || !IOTXT_MatchChar('(')) return 0;
    char* text = ReadQuotedTagged("IOTXT-loadtime-string", false);
    if (!text) return 0;
    bool ok = IOTXT_MatchChar(')') && ParseUtText(text, st);
    POOL_Free(text);
    return ok ? 1 : 0;
}

uint32_t IOTXT_ReadTriple(double* a, double* b, double* c)
{
    return (IOTXT_ReadDouble(a) && IOTXT_MatchComma() && IOTXT_ReadDouble(b) && IOTXT_MatchComma() &&
            IOTXT_ReadDouble(c)) ? 1 : 0;
}

uint32_t IOTXT_ReadNamedTriple(const char* word, double* a, double* b, double* c)
{
    return (IOTXT_MatchWord(word) && IOTXT_MatchChar('(') && IOTXT_ReadTriple(a, b, c) && IOTXT_MatchChar(')'))
               ? 1 : 0;
}

uint32_t IOTXT_ReadDoubleList(double* values, uint16_t count)
{
    if (!IOTXT_HasCurrentText()) return 0;
    for (uint16_t i = 0; i < count; i++) {
        if (i > 0 && !IOTXT_MatchComma()) return 0;
        if (!IOTXT_ReadDouble(&values[i])) return 0;
    }
    return 1;
}

uint32_t IOTXT_ReadRgb(uint8_t* r, uint8_t* g, uint8_t* b)
{
    int64_t c[3];
    if (!IOTXT_MatchWord("rgb") || !IOTXT_MatchChar('(')) return 0;
    for (int i = 0; i < 3; i++) {
        if (i > 0 && !IOTXT_MatchComma()) return 0;
        if (!ReadInt64InRange(0, 255, &c[i])) return 0;
    }
    if (!IOTXT_MatchChar(')')) return 0;
    *r = (uint8_t)c[0];
    *g = (uint8_t)c[1];
    *b = (uint8_t)c[2];
    return 1;
}

uint32_t IOTXT_ReadRightAscension(double* degrees)
{
    double h, m, s;
    if (!IOTXT_ReadNamedTriple("ra", &h, &m, &s)) return 0;
    *degrees = (h + m / 60.0 + s / 3600.0) * 15.0;
    return 1;
}

uint32_t IOTXT_ReadDeclination(double* degrees)
{
    double d, m, s;
    if (!IOTXT_ReadNamedTriple("dec", &d, &m, &s)) return 0;
    if (d > 0) {
        m = std::abs(m);
        s = std::abs(s);
    } else if (d < 0) {
        m = -std::abs(m);
        s = -std::abs(s);
    }
    *degrees = d + m / 60.0 + s / 3600.0;
    return 1;
}

uint32_t IOTXT_ReadLength(double* metres)
{
    static const UNIT units[] = {{"nm", 1e-9}, {"um", 1e-6}, {"mm", 0.001}, {"cm", 0.01},
                                 {"dm", 0.1},  {"m", 1.0},   {"km", 1000.0}};
    return ReadScaled(units, sizeof units / sizeof units[0], metres) ? 1 : 0;
}

uint32_t IOTXT_ReadMass(double* kilograms)
{
    static const UNIT units[] = {{"ug", 1e-9}, {"mg", 1e-6}, {"g", 0.001}, {"dkg", 0.01}, {"kg", 1.0}, {"t", 1000.0}};
    return ReadScaled(units, sizeof units / sizeof units[0], kilograms) ? 1 : 0;
}

uint32_t IOTXT_ReadSpeedRatio(double* ratio)
{
    static const UNIT units[] = {{"seconds", 1}, {"second", 1}, {"minutes", 60}, {"minute", 60},
                                 {"hours", 3600}, {"hour", 3600}};
    double x, y, unitX, unitY;
    if (!IOTXT_ReadDouble(&x) || !IOTXT_MatchWord("model") || !MatchUnit(units, &unitX)) return 0;
    if (!IOTXT_MatchWord("in") || !IOTXT_ReadDouble(&y) || !IOTXT_MatchWord("real") || !MatchUnit(units, &unitY))
        return 0;
    double realSeconds = y * unitY;
    if (realSeconds == 0.0) return 0;
    *ratio = x * unitX / realSeconds;
    return 1;
}

uint32_t IOTXT_ReadBool(uint32_t* value)
{
    static const char* const yes[] = {"ANO", "YES", "ON", "TRUE"};
    static const char* const no[] = {"NE", "NO", "OFF", "FALSE"};
    for (const char* word : yes) {
        if (IOTXT_MatchWord(word)) {
            *value = 1;
            return 1;
        }
    }
    for (const char* word : no) {
        if (IOTXT_MatchWord(word)) {
            *value = 0;
            return 1;
        }
    }
    return 0;
}

char* IOTXT_ReadQuotedString()
{
    return ReadQuotedTagged("IOTXT:load-name", true);
}

char* IOTXT_ReadIdent()
{
    if (!IOTXT_HasCurrentText()) return nullptr;
    IOTXT_SkipBlanks();
    char* p = IOTXT_GetPosition();
    uint32_t n = IdentLength(p);
    if (n == 0) return nullptr;
    char* ident = CopyText("IOTXT:get-ident", false, p, n);
    if (!ident) return nullptr;
    IOTXT_SetPosition(p + n);
    return ident;
}

char* IOTXT_IdentFromString(const char* text)
{
    if (!text) return nullptr;
    while (IsBlank(*text)) text++;
    uint32_t n = IdentLength(text);
    if (n == 0) return nullptr;
    return CopyText("IOTXT:get-ident", false, text, n);
}

uint32_t IOTXT_ReadGenericValue(uint32_t* type, int64_t* integer, double* real, char** text)
{
    if (!IOTXT_HasCurrentText()) return 0;
    IOTXT_SkipBlanks();
    const char* p = IOTXT_GetPosition();
    if (*p == '"') {
        char* value = ReadQuotedTagged("IOTXT-generic-value-string", false);
        if (!value) return 0;
        *type = IOTXT_TYPE_STRING;
        *text = value;
        return 1;
    }
    uint32_t kind = IOTXT_TYPE_NONE;
    if (IOTXT_PeekWord("PARAMETER")) {
        kind = IOTXT_TYPE_DOUBLE;
    } else {
        bool digit = false;
        for (; *p; p++) {
            if (*p == '-' || *p == '+') continue;
            if (IsDigit(*p)) {
                digit = true;
                continue;
            }
            if (*p == 'e' || *p == 'E' || *p == '.') kind = IOTXT_TYPE_DOUBLE;
            break;
        }
        if (kind == IOTXT_TYPE_NONE && digit) kind = IOTXT_TYPE_INT64;
    }
    *type = kind;
    if (kind == IOTXT_TYPE_INT64) return IOTXT_ReadInt64(integer);
    if (kind == IOTXT_TYPE_DOUBLE) return IOTXT_ReadDouble(real);
    return 0;
}

char* IOTXT_ReadRestOfLine()
{
    if (!IOTXT_HasCurrentText()) return nullptr;
    char* p = IOTXT_GetPosition();
    size_t n = strlen(p);
    while (n > 0 && IsBlank(p[n - 1])) p[--n] = 0;
    if (n == 0) return CopyText("CONFIG: empty line text", false, "", 0);
    return CopyText("CONFIG: line text", false, p, (uint32_t)n);
}
