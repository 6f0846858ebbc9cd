// Provisional pools: plain malloc. Replaced by the full module.
#include "foundation/pool.h"
#include <cstdlib>
#include <cstring>

void POOL_Init() {}
int32_t POOL_Create(uint16_t, uint16_t) { return -1; }
POOL_BLOCK POOL_Alloc(uint32_t size) { return calloc(1, size ? size : 1); }
POOL_BLOCK POOL_AllocFromPool(uint32_t poolIndex) { return calloc(1, (poolIndex + 1) * 32 + 3); }
void POOL_Free(POOL_BLOCK block) { free(block); }
POOL_BLOCK POOL_Realloc(POOL_BLOCK oldBlock, uint32_t oldSize, uint32_t newSize)
{
    POOL_BLOCK b = POOL_Alloc(newSize + 3);
    if (!b) return nullptr;
    memcpy(b, oldBlock, oldSize < newSize ? oldSize : newSize);
    POOL_Free(oldBlock);
    return b;
}
void POOL_Destroy(uint32_t) {}
void POOL_Done() {}
