// Size-class pools over the tracked heap. Freed small blocks wait on their
// pool's free list for reuse; blocks of 256 bytes and more go straight to the
// tracked heap.
#include "foundation/pool.h"
#include <cstring>
#include "foundation/memory.h"

namespace {

constexpr uint32_t POOL_SLOTS = 32;
constexpr uint32_t POOL_SIZE_CLASSES = 8;
constexpr uint32_t POOL_CLASS_STEP = 32;
constexpr uint16_t POOL_MAX_CACHED = 8000;
constexpr uint32_t POOL_LARGE = 256;
constexpr uint8_t POOL_INDEX_LARGE = 255;
constexpr uint32_t POOL_SLACK = 3;              // usable bytes beyond the class size

// Before every block handed out; its size keeps the caller's block aligned
// for any type.
struct alignas(16) POOL_HEADER {
    POOL_HEADER* next;                          // used only on a free list
    uint8_t poolIndex;
};

struct POOL_SLOT {
    uint32_t inUse;
    uint16_t blockSize;
    uint16_t maxCached;
    POOL_HEADER* freeHead;
    uint32_t cached;
    uint32_t handedOut;
};

POOL_SLOT g_slots[POOL_SLOTS];

POOL_BLOCK BlockOf(POOL_HEADER* h) { return reinterpret_cast<char*>(h) + sizeof(POOL_HEADER); }

POOL_HEADER* HeaderOf(POOL_BLOCK block)
{
    return reinterpret_cast<POOL_HEADER*>(static_cast<char*>(block) - sizeof(POOL_HEADER));
}

// A new tracked block with room for the header and size usable bytes.
POOL_HEADER* NewBlock(uint32_t size, uint8_t poolIndex)
{
    if (size > UINT32_MAX - sizeof(POOL_HEADER) - POOL_SLACK)
        return nullptr;
    auto* h = static_cast<POOL_HEADER*>(MEMORY_AllocBlock(static_cast<uint32_t>(size + sizeof(POOL_HEADER) + POOL_SLACK)));
    if (!h)
        return nullptr;
    h->next = nullptr;
    h->poolIndex = poolIndex;
    return h;
}

POOL_BLOCK TakeFromPool(uint32_t index, bool retag)
{
    POOL_SLOT& slot = g_slots[index];
    POOL_HEADER* h = slot.freeHead;
    if (h) {
        slot.freeHead = h->next;
        slot.cached--;
        h->next = nullptr;
        h->poolIndex = static_cast<uint8_t>(index);
        if (retag)
            MEMORY_RetagBlock(h);
    } else {
        h = NewBlock(slot.blockSize, static_cast<uint8_t>(index));
        if (!h)
            return nullptr;
    }
    slot.handedOut++;
    return BlockOf(h);
}

void ReleaseCached(POOL_SLOT& slot)
{
    while (slot.freeHead) {
        POOL_HEADER* h = slot.freeHead;
        slot.freeHead = h->next;
        MEMORY_FreeBlock(h);
    }
    slot.cached = 0;
}

}

void POOL_Init()
{
    // Blocks cached by an earlier start in the same process go back to the heap.
    POOL_Done();
    memset(g_slots, 0, sizeof g_slots);
    for (uint32_t i = 0; i < POOL_SIZE_CLASSES; ++i)
        POOL_Create(static_cast<uint16_t>((i + 1) * POOL_CLASS_STEP), POOL_MAX_CACHED);
}

int32_t POOL_Create(uint16_t blockSize, uint16_t maxCached)
{
    for (uint32_t i = 0; i < POOL_SLOTS; ++i) {
        if (g_slots[i].inUse)
            continue;
        g_slots[i] = POOL_SLOT{1, blockSize, maxCached, nullptr, 0, 0};
        return static_cast<int32_t>(i);
    }
    return -1;
}

POOL_BLOCK POOL_Alloc(uint32_t size)
{
    if (size < POOL_LARGE) {
        uint32_t index = size / POOL_CLASS_STEP;
        if (g_slots[index].inUse)
            return TakeFromPool(index, true);
    }
    POOL_HEADER* h = NewBlock(size, POOL_INDEX_LARGE);
    return h ? BlockOf(h) : nullptr;
}

// The pool block that holds the line-aligned one lies just before it, its
// address kept in the word before the aligned start.
POOL_BLOCK POOL_AllocLine(uint32_t size)
{
    if (size > UINT32_MAX - POOL_LINE - sizeof(void*))
        return nullptr;
    auto* outer = static_cast<char*>(POOL_Alloc(size + POOL_LINE + sizeof(void*)));
    if (!outer)
        return nullptr;
    uintptr_t start = (reinterpret_cast<uintptr_t>(outer) + sizeof(void*) + POOL_LINE - 1) & ~uintptr_t{POOL_LINE - 1};
    auto* block = reinterpret_cast<char*>(start);
    memcpy(block - sizeof(void*), &outer, sizeof outer);
    return block;
}

void POOL_FreeLine(POOL_BLOCK block)
{
    if (!block)
        return;
    void* outer = nullptr;
    memcpy(&outer, static_cast<char*>(block) - sizeof outer, sizeof outer);
    POOL_Free(outer);
}

POOL_BLOCK POOL_AllocFromPool(uint32_t poolIndex)
{
    if (poolIndex >= POOL_SLOTS || !g_slots[poolIndex].inUse)
        return nullptr;
    return TakeFromPool(poolIndex, false);
}

void POOL_Free(POOL_BLOCK block)
{
    if (!block)
        return;
    POOL_HEADER* h = HeaderOf(block);
    if (h->poolIndex >= POOL_SLOTS || !g_slots[h->poolIndex].inUse) {
        MEMORY_FreeBlock(h);
        return;
    }
    POOL_SLOT& slot = g_slots[h->poolIndex];
    if (slot.handedOut)
        slot.handedOut--;
    if (slot.cached < slot.maxCached) {
        h->next = slot.freeHead;
        slot.freeHead = h;
        slot.cached++;
    } else {
        MEMORY_FreeBlock(h);
    }
}

POOL_BLOCK POOL_Realloc(POOL_BLOCK oldBlock, uint32_t oldSize, uint32_t newSize)
{
    if (newSize > UINT32_MAX - POOL_SLACK)
        return nullptr;
    POOL_BLOCK b = POOL_Alloc(newSize + POOL_SLACK);
    if (!b)
        return nullptr;   // the old block stays with the caller, untouched
    if (oldBlock) {
        memcpy(b, oldBlock, oldSize < newSize ? oldSize : newSize);
        POOL_Free(oldBlock);
    }
    return b;
}

void POOL_Destroy(uint32_t slot)
{
    if (slot >= POOL_SLOTS || !g_slots[slot].inUse)
        return;
    ReleaseCached(g_slots[slot]);
    g_slots[slot] = POOL_SLOT{};
}

void POOL_Done()
{
    for (POOL_SLOT& slot : g_slots)
        if (slot.inUse)
            ReleaseCached(slot);
}

void POOL_FreeWithBuffer(POOL_BLOCK object)
{
    if (!object)
        return;
    POOL_BLOCK buffer = static_cast<POOL_BLOCK*>(object)[1];
    if (buffer)
        POOL_Free(buffer);
    POOL_Free(object);
}

namespace {

// Frees every entry's block, then the entry array, then the table.
template <typename TABLE>
void FreeTableOfBlocks(TABLE* table)
{
    if (!table)
        return;
    if (table->entries) {
        for (uint32_t i = 0; i < table->count; ++i)
            if (table->entries[i].block)
                POOL_Free(table->entries[i].block);
        POOL_Free(table->entries);
    }
    POOL_Free(table);
}

}

void POOL_FreePairTable(POOL_PAIR_TABLE* table) { FreeTableOfBlocks(table); }

void POOL_FreeRecordTable(POOL_RECORD_TABLE* table) { FreeTableOfBlocks(table); }
