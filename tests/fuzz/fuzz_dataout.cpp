// "DataOutput.cfg": files, columns, sources and nodes.
#include "dataout/dataout.h"
#include "simulation/multipass.h"
#include "tests/fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FUZZ_BeginInput();
    FUZZ_WriteFile("DataOutput.cfg", data, size);
    MULTIPASS_Init();
    DATAOUT_Init();
    DATAOUT_LoadConfigFile("DataOutput.cfg");
    DATAOUT_Done();
    MULTIPASS_Done();
    FUZZ_EndInput();
    return 0;
}
