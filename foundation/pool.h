// POOL: size-class pools over the tracked heap. Set the tag with MEMORY_SetTag
// right before POOL_Alloc; records get their size + 1, strings their length + 4.
#pragma once
#include <cstddef>
#include <cstdint>

typedef void* POOL_BLOCK;

void POOL_Init();
int32_t POOL_Create(uint16_t blockSize, uint16_t maxCached);
POOL_BLOCK POOL_Alloc(uint32_t size);
POOL_BLOCK POOL_AllocFromPool(uint32_t poolIndex);
void POOL_Free(POOL_BLOCK block);
// A block that starts on a cache line, for records whose leading fields every
// step of every satellite reads: so placed, they take as few lines as they can.
// Free it with POOL_FreeLine only.
constexpr uint32_t POOL_LINE = 64;
POOL_BLOCK POOL_AllocLine(uint32_t size);
void POOL_FreeLine(POOL_BLOCK block);
POOL_BLOCK POOL_Realloc(POOL_BLOCK oldBlock, uint32_t oldSize, uint32_t newSize);
void POOL_Destroy(uint32_t slot);
void POOL_Done();

// Freeing helpers for common layouts (a word is a pointer): an object whose
// second word holds a block; a table {count; entries} of two-word entries whose
// second word holds a block; the same with three-word entries, block in the third.
struct POOL_PAIR_ENTRY { void* key; POOL_BLOCK block; };
struct POOL_PAIR_TABLE { uint32_t count; POOL_PAIR_ENTRY* entries; };
struct POOL_RECORD_ENTRY { void* first; void* second; POOL_BLOCK block; };
struct POOL_RECORD_TABLE { uint32_t count; POOL_RECORD_ENTRY* entries; };
void POOL_FreeWithBuffer(POOL_BLOCK object);
void POOL_FreePairTable(POOL_PAIR_TABLE* table);
void POOL_FreeRecordTable(POOL_RECORD_TABLE* table);
