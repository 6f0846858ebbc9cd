// EVENTS: the timed event queue as a calendar tree. Each level (year, month,
// day, hour, minute, second) is a sorted singly linked list of nodes; a second
// node holds the events of that second sorted by due time. A node exists only
// while it has at least one event below it.
#include "foundation/events.h"
#include <cstring>
#include <unordered_map>
#include "foundation/log.h"
#include "foundation/memory.h"
#include "foundation/pool.h"

namespace {

constexpr int EVENTS_LEVELS = 6;
constexpr int EVENTS_SECOND_LEVEL = EVENTS_LEVELS - 1;

struct EVENTS_NODE {
    uint16_t value;       // year, month, day, hour, minute or second
    EVENTS_NODE* child;   // first node of the level below (not on the second level)
    EVENT* firstEvent;    // second level only
    EVENT* lastEvent;
    EVENTS_NODE* next;
};

const char* const kNodeTags[EVENTS_LEVELS] = {
    "EVENTS:CreateYear", "EVENTS:CreateMonth", "EVENTS:CreateDay",
    "EVENTS:CreateHour", "EVENTS:CreateMin", "EVENTS:CreateSec",
};
const char* const kNodeNoMemory[EVENTS_LEVELS] = {
    "EVENT: Nedostatek paměti pro událost (year).\n", "EVENT: Nedostatek paměti pro událost (month).\n",
    "EVENT: Nedostatek paměti pro událost (day).\n", "EVENT: Nedostatek paměti pro událost (hour).\n",
    "EVENT: Nedostatek paměti pro událost (min).\n", "EVENT: Nedostatek paměti pro událost (sec).\n",
};

EVENTS_NODE* g_years = nullptr;
TIME_MS g_lastFired = 0;  // 0: nothing fired yet
EVENT_HANDLE g_lastHandle = 0;
// Queued copies by handle: a handle is honoured only while its copy is queued.
std::unordered_map<EVENT_HANDLE, EVENT*> g_queued;
EVENT* g_firing = nullptr;  // the event whose fire callback runs

// The path of one due time through the tree: for each level, the link that
// holds the node (head, parent's child or predecessor's next) and the node.
struct EVENTS_PATH {
    EVENTS_NODE** link[EVENTS_LEVELS];
    EVENTS_NODE* node[EVENTS_LEVELS];
};

uint32_t EVENTS_SplitTime(TIME_MS time, uint16_t keys[EVENTS_LEVELS])
{
    SYSTEMTIME st{};
    if (!TIME_MsToSystemTime(time, &st)) return 0;
    keys[0] = st.wYear;
    keys[1] = st.wMonth;
    keys[2] = st.wDay;
    keys[3] = st.wHour;
    keys[4] = st.wMinute;
    keys[5] = st.wSecond;
    return 1;
}

// Walks to the first node whose value is equal or greater.
EVENTS_NODE** EVENTS_SeekLink(EVENTS_NODE** link, uint16_t value)
{
    while (*link && (*link)->value < value) link = &(*link)->next;
    return link;
}

// Finds the exact path of a due time; 0 when some level has no such node.
uint32_t EVENTS_FindPath(TIME_MS time, EVENTS_PATH* path)
{
    uint16_t keys[EVENTS_LEVELS];
    if (!EVENTS_SplitTime(time, keys)) return 0;
    EVENTS_NODE** link = &g_years;
    for (int level = 0; level < EVENTS_LEVELS; level++) {
        link = EVENTS_SeekLink(link, keys[level]);
        if (!*link || (*link)->value != keys[level]) return 0;
        path->link[level] = link;
        path->node[level] = *link;
        link = &(*link)->child;
    }
    return 1;
}

EVENT* EVENTS_Earliest()
{
    EVENTS_NODE* node = g_years;
    if (!node) return nullptr;
    for (int level = 0; level < EVENTS_SECOND_LEVEL; level++) node = node->child;
    return node->firstEvent;
}

// The copy leaves the queue: it no longer answers to its handle, its owner is
// told (reason 2) and it is freed.
void EVENTS_Release(EVENT* event)
{
    g_queued.erase(event->handle);
    if (event->callback) event->callback(EVENT_REASON_RELEASE, event);
    POOL_Free(event);
}

void EVENTS_FreeNodes(EVENTS_NODE* node, int level)
{
    while (node) {
        EVENTS_NODE* next = node->next;
        if (level == EVENTS_SECOND_LEVEL) {
            EVENT* event = node->firstEvent;
            while (event) {
                EVENT* nextEvent = event->next;
                EVENTS_Release(event);
                event = nextEvent;
            }
        } else {
            EVENTS_FreeNodes(node->child, level + 1);
        }
        POOL_Free(node);
        node = next;
    }
}

// Releases the whole tree. It is detached first, so callbacks that schedule
// meanwhile build a new tree instead of walking into the one being freed.
void EVENTS_FreeAll()
{
    EVENTS_NODE* years = g_years;
    g_years = nullptr;
    EVENTS_FreeNodes(years, 0);
}

// Takes a queued copy out of the tree and frees the nodes that became empty,
// climbing until a node that still has children. 0 when it is not in the tree.
uint32_t EVENTS_Unlink(EVENT* event)
{
    EVENTS_PATH path;
    if (!EVENTS_FindPath(event->dueTime, &path)) return 0;
    EVENTS_NODE* second = path.node[EVENTS_SECOND_LEVEL];
    EVENT* prev = nullptr;
    EVENT* cur = second->firstEvent;
    while (cur && cur != event) {
        prev = cur;
        cur = cur->next;
    }
    if (!cur) return 0;
    if (prev) prev->next = event->next;
    else second->firstEvent = event->next;
    if (second->lastEvent == event) second->lastEvent = prev;
    event->next = nullptr;

    for (int level = EVENTS_SECOND_LEVEL; level >= 0; level--) {
        EVENTS_NODE* node = path.node[level];
        uint32_t empty = level == EVENTS_SECOND_LEVEL ? node->firstEvent == nullptr : node->child == nullptr;
        if (!empty) break;
        *path.link[level] = node->next;
        POOL_Free(node);
    }
    return 1;
}

EVENT* EVENTS_CopyEvent(const EVENT* event)
{
    MEMORY_SetTag("EVENTS:CopyEvent");
    EVENT* copy = static_cast<EVENT*>(POOL_Alloc(sizeof(EVENT) + 1));
    if (!copy) {
        LOG_Printf("EVENT: Nedostatek paměti pro událost.\n");
        return nullptr;
    }
    memcpy(copy, event, sizeof(EVENT));
    copy->next = nullptr;
    copy->handle = EVENT_HANDLE_NONE;
    return copy;
}

// Frees a branch that was never linked into the tree, with its copy; the copy
// was never queued, so its callback is not called.
void EVENTS_DiscardBranch(EVENTS_NODE* node, int level, EVENT* copy)
{
    while (node) {
        EVENTS_NODE* child = level == EVENTS_SECOND_LEVEL ? nullptr : node->child;
        POOL_Free(node);
        node = child;
        level++;
    }
    POOL_Free(copy);
}

// Builds the nodes from the given level down to the second, innermost first,
// holding a copy of the event.
EVENTS_NODE* EVENTS_BuildBranch(int top, const uint16_t keys[EVENTS_LEVELS], const EVENT* event, EVENT** copyOut)
{
    EVENT* copy = EVENTS_CopyEvent(event);
    if (!copy) return nullptr;
    EVENTS_NODE* below = nullptr;
    for (int level = EVENTS_SECOND_LEVEL; level >= top; level--) {
        MEMORY_SetTag(kNodeTags[level]);
        EVENTS_NODE* node = static_cast<EVENTS_NODE*>(POOL_Alloc(sizeof(EVENTS_NODE) + 1));
        if (!node) {
            LOG_Printf("%s", kNodeNoMemory[level]);
            EVENTS_DiscardBranch(below, level + 1, copy);
            return nullptr;
        }
        memset(node, 0, sizeof(EVENTS_NODE));
        node->value = keys[level];
        if (level == EVENTS_SECOND_LEVEL) {
            node->firstEvent = copy;
            node->lastEvent = copy;
        } else {
            node->child = below;
        }
        below = node;
    }
    *copyOut = copy;
    return below;
}

// Inserts a copy before the first event of the second that is due at the same
// time or later: events of one millisecond fire newest first.
EVENT* EVENTS_InsertIntoSecond(EVENTS_NODE* second, const EVENT* event)
{
    EVENT* copy = EVENTS_CopyEvent(event);
    if (!copy) return nullptr;
    EVENT* prev = nullptr;
    EVENT* cur = second->firstEvent;
    while (cur && cur->dueTime < event->dueTime) {
        prev = cur;
        cur = cur->next;
    }
    copy->next = cur;
    if (prev) prev->next = copy;
    else second->firstEvent = copy;
    if (!cur) second->lastEvent = copy;
    return copy;
}

EVENT_HANDLE EVENTS_Register(EVENT* copy)
{
    copy->handle = ++g_lastHandle;
    g_queued[copy->handle] = copy;
    return copy->handle;
}

}  // namespace

void EVENTS_Init()
{
    g_years = nullptr;
    g_lastFired = 0;
    g_firing = nullptr;
    g_queued.clear();
}

void EVENTS_Done()
{
    EVENTS_FreeAll();
}

void EVENTS_StartRun()
{
    g_lastFired = 0;
}

void EVENTS_EndRun()
{
    EVENTS_FreeAll();
}

void EVENTS_ClearEvent(EVENT* event)
{
    memset(event, 0, sizeof(EVENT));
}

EVENT_HANDLE EVENTS_Schedule(const EVENT* event)
{
    if (g_lastFired != 0 && event->dueTime < g_lastFired) return EVENT_HANDLE_NONE;
    uint16_t keys[EVENTS_LEVELS];
    if (!EVENTS_SplitTime(event->dueTime, keys)) return EVENT_HANDLE_NONE;

    EVENTS_NODE** link = &g_years;
    for (int level = 0; level < EVENTS_LEVELS; level++) {
        link = EVENTS_SeekLink(link, keys[level]);
        if (!*link || (*link)->value != keys[level]) {
            EVENT* copy = nullptr;
            EVENTS_NODE* branch = EVENTS_BuildBranch(level, keys, event, &copy);
            if (!branch) return EVENT_HANDLE_NONE;
            branch->next = *link;
            *link = branch;
            return EVENTS_Register(copy);
        }
        if (level == EVENTS_SECOND_LEVEL) {
            EVENT* copy = EVENTS_InsertIntoSecond(*link, event);
            return copy ? EVENTS_Register(copy) : EVENT_HANDLE_NONE;
        }
        link = &(*link)->child;
    }
    return EVENT_HANDLE_NONE;
}

void EVENTS_Cancel(EVENT_HANDLE handle)
{
    if (handle == EVENT_HANDLE_NONE || handle == 0) return;
    auto found = g_queued.find(handle);
    if (found == g_queued.end()) {
        LOG_Printf("EVENT: interní chyba, pokus o zrušení nenaplánované události.\n");
        return;
    }
    EVENT* event = found->second;
    // An event that cancels itself while it fires is released by the firing
    // itself right after its callback returns.
    if (event == g_firing) return;
    if (!EVENTS_Unlink(event)) {
        LOG_Printf("EVENT: interní chyba, pokus o zrušení nenaplánované události.\n");
        return;
    }
    EVENTS_Release(event);
}

EVENT_HANDLE EVENTS_GetHandle(const EVENT* event)
{
    return event ? event->handle : EVENT_HANDLE_NONE;
}

uint32_t EVENTS_ClampClockToNext(uint32_t* word)
{
    *word = 0;
    EVENT* earliest = EVENTS_Earliest();
    if (!earliest || g_simClock.clock <= earliest->dueTime) return 0;
    g_simClock.clock = earliest->dueTime;
    *word = earliest->word;
    return 1;
}

TIME_MS EVENTS_NextDueTime()
{
    EVENT* earliest = EVENTS_Earliest();
    return earliest ? earliest->dueTime : INT64_MAX;
}

void EVENTS_FireNext()
{
    if (g_firing) return;  // a callback cannot fire the queue again
    EVENT* event = EVENTS_Earliest();
    if (!event) return;
    g_lastFired = event->dueTime;
    g_firing = event;
    if (event->callback) event->callback(EVENT_REASON_FIRE, event);
    g_firing = nullptr;
    // Events that the callback scheduled stay queued; one for the same
    // millisecond now stands before this one, so it is looked up again.
    if (EVENTS_Unlink(event)) EVENTS_Release(event);
}

void EVENTS_Dump()
{
    for (EVENTS_NODE* year = g_years; year; year = year->next)
        for (EVENTS_NODE* month = year->child; month; month = month->next)
            for (EVENTS_NODE* day = month->child; day; day = day->next)
                for (EVENTS_NODE* hour = day->child; hour; hour = hour->next)
                    for (EVENTS_NODE* minute = hour->child; minute; minute = minute->next)
                        for (EVENTS_NODE* second = minute->child; second; second = second->next)
                            for (EVENT* event = second->firstEvent; event; event = event->next) {
                                SYSTEMTIME st{};
                                TIME_MsToSystemTime(event->dueTime, &st);
                                LOG_Printf("          EVENT @%02d.%02d.%04d, %02d:%02d:%02d:%03d\n", st.wDay, st.wMonth,
                                           st.wYear, st.wHour, st.wMinute, st.wSecond, st.wMilliseconds);
                            }
}

uint32_t EVENTS_Count()
{
    return static_cast<uint32_t>(g_queued.size());
}
