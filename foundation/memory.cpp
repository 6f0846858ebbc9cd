// The tracked heap: every block carries its size and a copy of its allocation
// tag, and all live blocks form one list in allocation order, so that the
// blocks never freed can be listed at program exit.
#include "foundation/memory.h"
#include <cstdlib>
#include <cstring>
#if defined(__linux__) && defined(__GLIBC__)
#include <malloc.h>
#include <sys/mman.h>
#include <unistd.h>
#endif
#include <mutex>
#include <new>
#include <unordered_set>
#include "foundation/log.h"
#include "foundation/util.h"
#include "platform/plat_process.h"
#include "platform/plat_time.h"
#include "platform/plat_window.h"

namespace {

constexpr const char* MEMORY_NO_TAG = "???";
constexpr uint32_t MEMORY_TAG_SPARE = 10;       // room for a longer tag when retagged
constexpr uint32_t MEMORY_DUMP_BYTES = 32;
constexpr uint32_t MEMORY_DIRECTORY_SIZE = 998;
constexpr uint32_t MEMORY_MAGIC = 0x4D454D42;

// The header sits before the caller data and keeps it aligned for any type.
struct alignas(16) MEMORY_BLOCK_HEADER {
    uint32_t size;
    uint32_t magic;
    char* tagText;
    uint16_t tagArea;
    MEMORY_BLOCK_HEADER* prev;
    MEMORY_BLOCK_HEADER* next;
};

std::recursive_mutex g_heapLock;
MEMORY_BLOCK_HEADER* g_head = nullptr;
MEMORY_BLOCK_HEADER* g_tail = nullptr;
std::unordered_set<const MEMORY_BLOCK_HEADER*>* g_live = nullptr;
MEMORY_TAG g_pendingTag = MEMORY_NO_TAG;
char g_programDirectory[MEMORY_DIRECTORY_SIZE + 1] = ".";

MEMORY_BLOCK_HEADER* HeaderOf(void* data)
{
    return reinterpret_cast<MEMORY_BLOCK_HEADER*>(static_cast<char*>(data) - sizeof(MEMORY_BLOCK_HEADER));
}

char* DataOf(MEMORY_BLOCK_HEADER* h)
{
    return reinterpret_cast<char*>(h) + sizeof(MEMORY_BLOCK_HEADER);
}

std::unordered_set<const MEMORY_BLOCK_HEADER*>& Live()
{
    if (!g_live)
        g_live = new std::unordered_set<const MEMORY_BLOCK_HEADER*>;
    return *g_live;
}

void Link(MEMORY_BLOCK_HEADER* h)
{
    h->prev = g_tail;
    h->next = nullptr;
    if (g_tail)
        g_tail->next = h;
    else
        g_head = h;
    g_tail = h;
    Live().insert(h);
}

void Unlink(MEMORY_BLOCK_HEADER* h)
{
    if (h->prev)
        h->prev->next = h->next;
    else
        g_head = h->next;
    if (h->next)
        h->next->prev = h->prev;
    else
        g_tail = h->prev;
    Live().erase(h);
}

void CopyTag(MEMORY_BLOCK_HEADER* h, MEMORY_TAG tag)
{
    size_t n = strlen(tag);
    if (n > h->tagArea)
        n = h->tagArea;
    memcpy(h->tagText, tag, n);
    h->tagText[n] = 0;
}

void RecordProgramDirectory()
{
    char path[MEMORY_DIRECTORY_SIZE + 1];
    PLAT_GetProgramPath(path, sizeof path);
    char* slash = strrchr(path, '/');
    if (slash == path)
        slash[1] = 0;
    else if (slash)
        *slash = 0;
    memcpy(g_programDirectory, path, strlen(path) + 1);
}

void WriteLeakLine(MEMORY_BLOCK_HEADER* h)
{
    LOG_WriteFile("MEMORY: Nezruseny blok (%s) %p: len=%d", h->tagText, static_cast<void*>(h),
                  static_cast<int>(h->size));
    char dump[MEMORY_DUMP_BYTES + 1];
    const unsigned char* data = reinterpret_cast<const unsigned char*>(DataOf(h));
    uint32_t n = h->size < MEMORY_DUMP_BYTES ? h->size : MEMORY_DUMP_BYTES;
    for (uint32_t i = 0; i < n; ++i)
        dump[i] = data[i] < 32 || data[i] >= 128 ? '.' : static_cast<char>(data[i]);
    dump[n] = 0;
    LOG_WriteFile("  >%s<\n", dump);
}

}

// Every step of a run with many satellites touches a few lines in each of
// many pages, more pages than the processor keeps translations for. The heap
// is then laid out once, large enough for such a run, and asked for pages of
// 2 MiB: large blocks come from it too and it is not given back while the
// program runs, so the blocks stay inside the advised range. A small run does
// not ask for them: a 2 MiB page is cleared whole when it is first touched,
// which costs more than a few small pages would.
void MEMORY_UseLargePages()
{
#if defined(__linux__) && defined(__GLIBC__)
    static bool done = false;
    if (done)
        return;
    done = true;
    constexpr int kReserve = 64 << 20;
    mallopt(M_MMAP_THRESHOLD, kReserve);
    mallopt(M_TRIM_THRESHOLD, 4 * kReserve);
    mallopt(M_TOP_PAD, kReserve);
    // A block larger than the free top of the heap makes it grow by the pad.
    void* probe = malloc(1 << 20);
    if (!probe)
        return;
    auto page = static_cast<uintptr_t>(sysconf(_SC_PAGESIZE));
    auto start = reinterpret_cast<uintptr_t>(probe) & ~(page - 1);
    auto end = reinterpret_cast<uintptr_t>(sbrk(0));
    if (end > start && end - start <= 4u * kReserve)
        madvise(reinterpret_cast<void*>(start), end - start, MADV_HUGEPAGE);
    free(probe);
#endif
}

void MEMORY_Init()
{
    std::lock_guard<std::recursive_mutex> lock(g_heapLock);
    // The block list starts empty with the process. It is not cleared here, so a
    // process that starts the program more than once (the tests do) keeps
    // tracking, and can free, the blocks that are still live.
    g_pendingTag = MEMORY_NO_TAG;
    RecordProgramDirectory();
    UTIL_SetRandomState(PLAT_GetTickCount());
}

void MEMORY_SetTag(MEMORY_TAG tag) { g_pendingTag = tag ? tag : MEMORY_NO_TAG; }

void MEMORY_SetTagIfUnset(MEMORY_TAG tag)
{
    if (!g_pendingTag || strncmp(g_pendingTag, "??", 2) == 0)
        MEMORY_SetTag(tag);
}

void* MEMORY_AllocBlock(uint32_t size)
{
    std::lock_guard<std::recursive_mutex> lock(g_heapLock);
    MEMORY_TAG tag = g_pendingTag;
    g_pendingTag = MEMORY_NO_TAG;
    size_t tagArea = strlen(tag) + MEMORY_TAG_SPARE;
    if (tagArea > 0xFFFF)
        tagArea = 0xFFFF;
    size_t total = sizeof(MEMORY_BLOCK_HEADER) + static_cast<size_t>(size) + tagArea + 1;
    auto* h = static_cast<MEMORY_BLOCK_HEADER*>(malloc(total));
    if (!h)
        return nullptr;
    h->size = size;
    h->magic = MEMORY_MAGIC;
    h->tagText = DataOf(h) + size;
    h->tagArea = static_cast<uint16_t>(tagArea);
    CopyTag(h, tag);
    try {
        Link(h);
    } catch (const std::bad_alloc&) {
        free(h);
        return nullptr;
    }
    return DataOf(h);
}

void MEMORY_RetagBlock(void* data)
{
    std::lock_guard<std::recursive_mutex> lock(g_heapLock);
    MEMORY_TAG tag = g_pendingTag;
    g_pendingTag = MEMORY_NO_TAG;
    if (!data)
        return;
    MEMORY_BLOCK_HEADER* h = HeaderOf(data);
    if (Live().count(h))
        CopyTag(h, tag);
}

void MEMORY_FreeBlock(void* data)
{
    std::lock_guard<std::recursive_mutex> lock(g_heapLock);
    if (!data) {
        PLAT_MessageBox(0, "Byl zaznamenán pokus o uvolnění NULL pointeru.", "Chyba správce paměti", MB_OK);
        return;
    }
    MEMORY_BLOCK_HEADER* h = HeaderOf(data);
    if (!Live().count(h)) {
        LOG_WriteFile("MEMORY: uvolnuje se neznamy blok %p\n", static_cast<void*>(h));
        return;
    }
    Unlink(h);
    h->magic = 0;
    free(h);
}

void MEMORY_ReportLeaks()
{
    std::lock_guard<std::recursive_mutex> lock(g_heapLock);
    if (g_head)
        PLAT_MessageBox(0, "Byly nalezeny neuvolněné paměťové bloky.\nJejich výpis je v LOG souboru",
                        "Chyba správce paměti", MB_OK);
    for (MEMORY_BLOCK_HEADER* h = g_head; h; h = h->next)
        WriteLeakLine(h);
    g_pendingTag = MEMORY_NO_TAG;
}

uint32_t MEMORY_LiveBlockCount()
{
    std::lock_guard<std::recursive_mutex> lock(g_heapLock);
    return static_cast<uint32_t>(Live().size());
}

void MEMORY_CheckHeap(const char* label)
{
    std::lock_guard<std::recursive_mutex> lock(g_heapLock);
    for (MEMORY_BLOCK_HEADER* h = g_head; h; h = h->next) {
        if (h->magic != MEMORY_MAGIC || h->tagText != DataOf(h) + h->size) {
            LOG_Printf("%s: HEAP is corrupted.\n", label);
            return;
        }
    }
    LOG_Printf("%s: HEAP ok.\n", label);
}

namespace {

uint32_t DebugCreateWindow(const char* title, const uint32_t* exStyle, const char* className, const char* windowName,
                           uint32_t style, int32_t x, int32_t y, int32_t width, int32_t height, uint32_t parent,
                           uint32_t menu, void* instance, void* parameter)
{
    LOG_Printf("%s", title);
    if (exStyle)
        LOG_Printf("   dwexstyle:  %08lx\n", static_cast<unsigned long>(*exStyle));
    LOG_Printf("   classname:  %s\n", className ? className : "");
    LOG_Printf("   windowname: %s\n", windowName ? windowName : "");
    LOG_Printf("   dwstyle:    %08lx\n", static_cast<unsigned long>(style));
    LOG_Printf("   x:          %d\n", x);
    LOG_Printf("   y:          %d\n", y);
    LOG_Printf("   width:      %d\n", width);
    LOG_Printf("   heigth:     %d\n", height);
    LOG_Printf("   parent:     %d\n", static_cast<int>(parent));
    LOG_Printf("   menu:       %08lx\n", static_cast<unsigned long>(menu));
    LOG_Printf("   instance:   %08lx\n", static_cast<unsigned long>(reinterpret_cast<uintptr_t>(instance)));
    LOG_Printf("   lpParam:    %08lx\n", static_cast<unsigned long>(reinterpret_cast<uintptr_t>(parameter)));
    HWND window = PLAT_CreateWindow(className, windowName, style, x, y, width, height, parent, menu, parameter);
    LOG_Printf("-> result:     %08lx\n", static_cast<unsigned long>(window));
    return window;
}

}

uint32_t MEMORY_DebugCreateWindow(const char* className, const char* title, uint32_t style, int32_t x, int32_t y,
                                  int32_t width, int32_t height, uint32_t parent, uint32_t menu, void* instance,
                                  void* parameter)
{
    return DebugCreateWindow(">>>> CREATEWINDOW <<<<\n", nullptr, className, title, style, x, y, width, height,
                             parent, menu, instance, parameter);
}

uint32_t MEMORY_DebugCreateWindowEx(uint32_t exStyle, const char* className, const char* title, uint32_t style,
                                    int32_t x, int32_t y, int32_t width, int32_t height, uint32_t parent,
                                    uint32_t menu, void* instance, void* parameter)
{
    return DebugCreateWindow(">>>> CREATEWINDOWEX <<<<\n", &exStyle, className, title, style, x, y, width, height,
                             parent, menu, instance, parameter);
}

const char* MEMORY_ProgramDirectory() { return g_programDirectory; }
