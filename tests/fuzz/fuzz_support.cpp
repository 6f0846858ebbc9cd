#include "tests/fuzz/fuzz_support.h"
#include <cstdio>
#include <cstdlib>
#include "foundation/iotxt.h"
#include "foundation/log.h"
#include "foundation/memory.h"
#include "foundation/pool.h"

namespace {

uint32_t s_baseline = 0;
bool s_ready = false;

}  // namespace

void FUZZ_Setup()
{
    if (s_ready) return;
    MEMORY_Init();
    POOL_Init();
    LOG_Init();
    LOG_SetOutput(2);
    IOTXT_Init();
    s_ready = true;
}

const char* FUZZ_Path(const char* name)
{
    static char path[4096];
    snprintf(path, sizeof path, "%s/%s", MEMORY_ProgramDirectory(), name);
    return path;
}

void FUZZ_WriteFile(const char* name, const uint8_t* data, size_t size)
{
    FILE* f = fopen(FUZZ_Path(name), "wb");
    if (!f) abort();
    if (size && fwrite(data, 1, size, f) != size) abort();
    fclose(f);
}

void FUZZ_BeginInput()
{
    FUZZ_Setup();
    POOL_Done();
    s_baseline = MEMORY_LiveBlockCount();
}

void FUZZ_EndInput()
{
    while (IOTXT_HasCurrentText()) IOTXT_CloseFile();
    POOL_Done();
    uint32_t live = MEMORY_LiveBlockCount();
    if (live != s_baseline) {
        fprintf(stderr, "fuzz: %u tracked blocks before the input, %u after it was freed\n", s_baseline, live);
        MEMORY_ReportLeaks();
        abort();
    }
}
