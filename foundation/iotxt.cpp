// IOTXT: the line-oriented configuration reader. A stack of open files, each
// with its current line and read position; every matching function works on
// the topmost file (or on a text made current with IOTXT_BeginString).
#include "foundation/iotxt.h"
#include "foundation/log.h"
#include "foundation/util.h"
#include <cstdio>
#include <cstring>

namespace {

constexpr uint16_t IOTXT_MAX_FILES = 16;
constexpr uint16_t IOTXT_NO_FILE = 65535;
constexpr uint32_t IOTXT_PATH_SIZE = 1000;
constexpr uint32_t IOTXT_LINE_SIZE = 502;
// The longest line the reader accepts, line end not counted.
constexpr uint32_t IOTXT_LINE_MAX = 496;
// What a line that is too long is replaced by: a character that no keyword,
// value or comment accepts, so that the loader reports the line as faulty.
constexpr char IOTXT_FAULTY_LINE[] = "\x01\n";

struct IOTXT_FILE_SLOT {
    char path[IOTXT_PATH_SIZE];
    FILE* stream;
    char line[IOTXT_LINE_SIZE];
    char* position;
    uint32_t lineNumber;
};

IOTXT_FILE_SLOT s_slots[IOTXT_MAX_FILES];
uint16_t s_top = IOTXT_NO_FILE;
bool s_borrowed = false;
char s_emptyText[1] = {0};

// The topmost slot, or null when neither a file nor a borrowed text is current.
IOTXT_FILE_SLOT* Top()
{
    return s_top < IOTXT_MAX_FILES ? &s_slots[s_top] : nullptr;
}

bool IsBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}

bool IsLetter(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

char FoldCase(char c)
{
    return (c >= 'A' && c <= 'Z') ? (char)(c - 'A' + 'a') : c;
}

bool IsCommentOrEnd(const char* p)
{
    return *p == 0 || *p == ';' || (p[0] == '/' && p[1] == '/');
}

// Reads one physical line into the slot's buffer as a text-mode read would
// give it (CR LF becomes LF). Returns 0 at end of file, 2 when the line holds
// more than IOTXT_LINE_MAX characters (the whole line is consumed), else 1.
int ReadPhysicalLine(IOTXT_FILE_SLOT* slot)
{
    uint32_t count = 0;
    bool newline = false;
    int c;
    while ((c = getc(slot->stream)) != EOF) {
        if (c == '\n') {
            newline = true;
            break;
        }
        if (count <= IOTXT_LINE_MAX) slot->line[count] = (char)c;   // one spare for a CR
        count++;
    }
    if (count == 0 && !newline) return 0;
    if (newline && count > 0 && count <= IOTXT_LINE_MAX + 1 && slot->line[count - 1] == '\r') count--;
    if (count > IOTXT_LINE_MAX) return 2;
    if (newline) slot->line[count++] = '\n';
    slot->line[count] = 0;
    return 1;
}

}  // namespace

void IOTXT_Init()
{
    for (IOTXT_FILE_SLOT& slot : s_slots) {
        slot.stream = nullptr;
        slot.line[0] = 0;
        slot.position = slot.line;
        slot.lineNumber = 0;
    }
    s_top = IOTXT_NO_FILE;
    s_borrowed = false;
}

void IOTXT_Done() {}

uint32_t IOTXT_OpenFile(const char* name)
{
    uint16_t top = (s_top == IOTXT_NO_FILE) ? 0 : (uint16_t)(s_top + 1);
    if (top >= IOTXT_MAX_FILES) return 0;
    IOTXT_FILE_SLOT* slot = &s_slots[top];
    if (!UTIL_JoinPath(name, slot->path, IOTXT_PATH_SIZE)) return 0;
    if (slot->stream) {
        fclose(slot->stream);
        slot->stream = nullptr;
    }
    slot->stream = fopen(slot->path, "rb");
    if (!slot->stream) return 0;
    slot->lineNumber = 0;
    slot->line[0] = 0;
    slot->position = slot->line;
    s_top = top;
    return 1;
}

void IOTXT_CloseFile()
{
    IOTXT_FILE_SLOT* slot = Top();
    if (!slot) return;
    if (slot->stream) {
        fclose(slot->stream);
        slot->stream = nullptr;
    }
    s_top = (s_top == 0) ? IOTXT_NO_FILE : (uint16_t)(s_top - 1);
}

uint32_t IOTXT_NextLine()
{
    IOTXT_FILE_SLOT* slot = Top();
    if (!slot || !slot->stream) return 0;
    for (;;) {
        int result = ReadPhysicalLine(slot);
        if (result == 0) return 0;
        slot->lineNumber++;
        if (result == 2) {
            LOG_Printf("IOTXT: řádek %u souboru \"%s\" je delší než %u znaků.\n", slot->lineNumber, slot->path,
                       IOTXT_LINE_MAX);
            memcpy(slot->line, IOTXT_FAULTY_LINE, sizeof IOTXT_FAULTY_LINE);
            slot->position = slot->line;
            return 1;
        }
        slot->position = slot->line;
        IOTXT_SkipBlanks();
        if (!IsCommentOrEnd(slot->position)) return 1;
    }
}

uint32_t IOTXT_GetLineNumber()
{
    IOTXT_FILE_SLOT* slot = Top();
    return slot ? slot->lineNumber : 0;
}

uint32_t IOTXT_HasCurrentText()
{
    return Top() ? 1 : 0;
}

void IOTXT_SkipBlanks()
{
    IOTXT_FILE_SLOT* slot = Top();
    if (!slot) return;
    while (IsBlank(*slot->position)) slot->position++;
}

uint32_t IOTXT_IsEndOfLine()
{
    IOTXT_FILE_SLOT* slot = Top();
    if (!slot) return 0;
    IOTXT_SkipBlanks();
    return IsCommentOrEnd(slot->position) ? 1 : 0;
}

uint32_t IOTXT_PeekWord(const char* word)
{
    IOTXT_FILE_SLOT* slot = Top();
    if (!slot) return 0;
    IOTXT_SkipBlanks();
    const char* p = slot->position;
    size_t n = strlen(word);
    for (size_t i = 0; i < n; i++)
        if (p[i] == 0 || FoldCase(p[i]) != FoldCase(word[i])) return 0;
    if (IsLetter(p[n]) || p[n] == '_') return 0;
    return 1;
}

uint32_t IOTXT_MatchWord(const char* word)
{
    if (!IOTXT_PeekWord(word)) return 0;
    Top()->position += strlen(word);
    return 1;
}

uint32_t IOTXT_MatchChar(char c)
{
    IOTXT_FILE_SLOT* slot = Top();
    if (!slot) return 0;
    IOTXT_SkipBlanks();
    if (*slot->position != c || c == 0) return 0;
    slot->position++;
    IOTXT_SkipBlanks();
    return 1;
}

uint32_t IOTXT_MatchComma()
{
    return IOTXT_MatchChar(',');
}

uint32_t IOTXT_MatchEquals()
{
    return IOTXT_MatchChar('=');
}

void IOTXT_SkipChar()
{
    IOTXT_FILE_SLOT* slot = Top();
    if (slot && *slot->position) slot->position++;
}

void IOTXT_SetPosition(char* text)
{
    IOTXT_FILE_SLOT* slot = Top();
    if (slot && text) slot->position = text;
}

char* IOTXT_GetPosition()
{
    IOTXT_FILE_SLOT* slot = Top();
    return slot ? slot->position : s_emptyText;
}

void IOTXT_BeginString(char* text)
{
    if (!Top()) {
        s_top = 0;
        s_borrowed = true;
    }
    Top()->position = text ? text : s_emptyText;
    IOTXT_SkipBlanks();
}

void IOTXT_EndString()
{
    if (s_borrowed) s_top = IOTXT_NO_FILE;
    s_borrowed = false;
}
