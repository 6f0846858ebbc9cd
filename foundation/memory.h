// MEMORY: the tracked heap. Every block carries its allocation tag so that
// unfreed blocks are reported at program exit.
#pragma once
#include <cstddef>
#include <cstdint>

typedef const char* MEMORY_TAG;

void MEMORY_Init();
void MEMORY_SetTag(MEMORY_TAG tag);
void MEMORY_SetTagIfUnset(MEMORY_TAG tag);
void* MEMORY_AllocBlock(uint32_t size);
void MEMORY_RetagBlock(void* data);
void MEMORY_FreeBlock(void* data);
void MEMORY_ReportLeaks();
void MEMORY_CheckHeap(const char* label);
// The program's directory, recorded by MEMORY_Init.
const char* MEMORY_ProgramDirectory();
