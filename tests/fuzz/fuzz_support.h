// Shared frame of the fuzz targets: the program's services are set up once,
// each input becomes a file of the program directory that the real loader
// reads through the configuration reader, and after the target has freed what
// it loaded the tracked heap must hold exactly what it held before.
#pragma once
#include <cstddef>
#include <cstdint>

// Once per process: heap, pools, log (file only) and configuration reader.
void FUZZ_Setup();
// Writes the input as the named file of the program directory.
void FUZZ_WriteFile(const char* name, const uint8_t* data, size_t size);
// The full path of a file of the program directory (static buffer).
const char* FUZZ_Path(const char* name);
// Around one input: the first records the tracked blocks, the second returns
// the pools' cached blocks and aborts when any block loaded is still live.
void FUZZ_BeginInput();
void FUZZ_EndInput();
