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
// The number of tracked blocks not yet freed (pool caches included).
uint32_t MEMORY_LiveBlockCount();
// Lays the heap out for many satellites, in pages of 2 MiB; once per process.
void MEMORY_UseLargePages();
// Debugging aids: log every argument, create the window (the menu is the
// child window's control id; the instance and the extended style are only
// logged) and log the handle.
uint32_t MEMORY_DebugCreateWindow(const char* className, const char* title, uint32_t style, int32_t x, int32_t y,
                                  int32_t width, int32_t height, uint32_t parent, uint32_t menu, void* instance,
                                  void* parameter);
uint32_t MEMORY_DebugCreateWindowEx(uint32_t exStyle, const char* className, const char* title, uint32_t style,
                                    int32_t x, int32_t y, int32_t width, int32_t height, uint32_t parent,
                                    uint32_t menu, void* instance, void* parameter);
// The program's directory, recorded by MEMORY_Init.
const char* MEMORY_ProgramDirectory();
