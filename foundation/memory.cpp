// Provisional tracked heap: plain malloc. Replaced by the full module.
#include "foundation/memory.h"
#include <cstdlib>

void MEMORY_Init() {}
void MEMORY_SetTag(MEMORY_TAG) {}
void MEMORY_SetTagIfUnset(MEMORY_TAG) {}
void* MEMORY_AllocBlock(uint32_t size) { return malloc(size ? size : 1); }
void MEMORY_RetagBlock(void*) {}
void MEMORY_FreeBlock(void* data) { free(data); }
void MEMORY_ReportLeaks() {}
void MEMORY_CheckHeap(const char*) {}
const char* MEMORY_ProgramDirectory() { return "."; }
