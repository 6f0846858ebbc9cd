// UTIL: the program's random generator, string copies, file names joined to
// the program directory and resolved like Windows does, day of the year,
// duration texts and the performance counter.
#include "foundation/util.h"
#include "foundation/memory.h"
#include "foundation/pool.h"
#include <atomic>
#include <cctype>
#include <chrono>
#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <strings.h>
#include <sys/stat.h>

// ---------------------------------------------------------------- random

// Shared by the GUI thread and the render thread: each step is one atomic
// exchange, so the sequence is that of the linear congruential generator.
static std::atomic<uint32_t> s_randomState{0};

static uint32_t NextRandom(uint32_t state)
{
    return state * 214013u + 2531011u;
}

uint32_t UTIL_Random()
{
    uint32_t old = s_randomState.load(std::memory_order_relaxed);
    uint32_t next = NextRandom(old);
    while (!s_randomState.compare_exchange_weak(old, next, std::memory_order_relaxed)) next = NextRandom(old);
    return next;
}

uint32_t UTIL_GetRandomState()
{
    return s_randomState.load(std::memory_order_relaxed);
}

uint32_t UTIL_SetRandomState(uint32_t state)
{
    return s_randomState.exchange(state, std::memory_order_relaxed);
}

// ---------------------------------------------------------------- strings

char* UTIL_StrDupN(const char* text, uint32_t length)
{
    if (!text) return nullptr;
    char* copy = (char*)POOL_Alloc(length + 4);
    if (!copy) return nullptr;
    memcpy(copy, text, length);
    copy[length] = 0;
    return copy;
}

char* UTIL_StrDup(const char* text)
{
    if (!text) return nullptr;
    return UTIL_StrDupN(text, (uint32_t)strlen(text));
}

static int IsSpaceOrQuote(char c)
{
    return c == '"' || isspace((unsigned char)c);
}

char* UTIL_DupUnquoted(const char* text)
{
    if (!text) return nullptr;
    while (*text && IsSpaceOrQuote(*text)) text++;
    char* copy = UTIL_StrDup(text);
    if (!copy) return nullptr;
    size_t n = strlen(copy);
    while (n > 0 && IsSpaceOrQuote(copy[n - 1])) copy[--n] = 0;
    return copy;
}

// ---------------------------------------------------------------- file names

static int PathExists(const char* path)
{
    struct stat info;
    return stat(path, &info) == 0;
}

// Replaces the component [start, end) of path by a case-insensitive match
// found in the directory that precedes it; 0 when there is none.
static int MatchComponentCase(char* path, size_t start, size_t end)
{
    char saved = path[start];
    path[start] = 0;
    DIR* dir = opendir(start == 0 ? "." : path);
    path[start] = saved;
    if (!dir) return 0;
    size_t length = end - start;
    int found = 0;
    while (struct dirent* entry = readdir(dir)) {
        if (strlen(entry->d_name) == length && strncasecmp(entry->d_name, path + start, length) == 0) {
            memcpy(path + start, entry->d_name, length);
            found = 1;
            break;
        }
    }
    closedir(dir);
    return found;
}

// Walks the path component by component, fixing the case of each that does
// not exist as written.
static void ResolveCase(char* path)
{
    size_t start = 0;
    for (;;) {
        while (path[start] == '/') start++;
        if (!path[start]) return;
        size_t end = start;
        while (path[end] && path[end] != '/') end++;
        char saved = path[end];
        path[end] = 0;
        int exists = PathExists(path);
        if (!exists) exists = MatchComponentCase(path, start, end);
        path[end] = saved;
        if (!exists) return;   // the rest cannot exist either: keep it as written
        start = end;
    }
}

int UTIL_ResolvePath(const char* path, char* buffer, uint32_t bufferSize)
{
    size_t length = strlen(path);
    if (length + 1 > bufferSize) return 0;
    for (size_t i = 0; i <= length; i++) buffer[i] = path[i] == '\\' ? '/' : path[i];
    if (!PathExists(buffer)) ResolveCase(buffer);
    return 1;
}

int UTIL_JoinPath(const char* name, char* buffer, uint32_t bufferSize)
{
    char joined[4096];
    int n = snprintf(joined, sizeof joined, "%s/%s", MEMORY_ProgramDirectory(), name);
    if (n < 0 || (uint32_t)n + 1 > bufferSize || (size_t)n + 1 > sizeof joined) return 0;
    return UTIL_ResolvePath(joined, buffer, bufferSize);
}

int UTIL_FileExists(const char* name)
{
    char path[4096];
    if (!UTIL_ResolvePath(name, path, sizeof path)) return 0;
    FILE* f = fopen(path, "rb");
    if (!f) return 0;
    fclose(f);
    return 1;
}

// ---------------------------------------------------------------- dates and durations

uint32_t UTIL_DayOfYear(const SYSTEMTIME* st)
{
    static const uint16_t common[13] = {0, 0, 31, 59, 90, 120, 151, 181, 212, 243, 273, 304, 334};
    static const uint16_t leap[13] = {0, 0, 31, 60, 91, 121, 152, 182, 213, 244, 274, 305, 335};
    unsigned year = st->wYear;
    bool isLeap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    uint16_t month = st->wMonth <= 12 ? st->wMonth : 0;
    return (uint32_t)((isLeap ? leap : common)[month] + st->wDay - 1);
}

const char* UTIL_FormatDuration(TIME_MS duration)
{
    static char text[256];
    if (duration < 0) {
        snprintf(text, sizeof text, "%" PRId64 "milisekund", duration);
        return text;
    }
    size_t used = 0;
    auto append = [&](int64_t value, const char* unit) {
        used += (size_t)snprintf(text + used, sizeof text - used, "%" PRId64 "%s", value, unit);
    };
    TIME_MS rest = duration;
    if (rest > 86400000) {
        append(rest / 86400000, "dní,");
        rest %= 86400000;
    }
    if (rest > 3600000) {
        append(rest / 3600000, "hodin,");
        rest %= 3600000;
    }
    if (rest > 60000) {
        append(rest / 60000, "minut,");
        rest %= 60000;
    }
    if (rest > 1000) {
        append(rest / 1000, "sekund,");
        rest %= 1000;
    }
    append(rest, "milisekund");
    return text;
}

// ---------------------------------------------------------------- performance counter

// The counter counts nanoseconds of the steady clock.
void UTIL_QueryPerfCounter(int64_t* counter)
{
    *counter = std::chrono::duration_cast<std::chrono::nanoseconds>(
                   std::chrono::steady_clock::now().time_since_epoch()).count();
}

uint32_t UTIL_MicrosecondsSince(const int64_t* counter)
{
    int64_t now;
    UTIL_QueryPerfCounter(&now);
    return (uint32_t)((now - *counter) / 1000);
}
