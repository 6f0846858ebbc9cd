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
POOL_BLOCK POOL_Realloc(POOL_BLOCK oldBlock, uint32_t oldSize, uint32_t newSize);
void POOL_Destroy(uint32_t slot);
void POOL_Done();
