// On-board module images: loaded, then run from reset within a clock budget
// (a fifth of a millisecond's worth less than a reset run's, so that images
// that never return keep the fuzzer fast). An input of exactly an image's
// length is also read as an on-board module and its reset run within the
// same budget as that module, and each periodic entry it registers is run a
// few times within a smaller budget: the code reaches the module services,
// output written a piece per run is gathered into the module's lines, and
// what it logs passes the module's line counts (the log is emptied for every
// input).
#include <cstdio>
#include <string>
#include "foundation/events.h"
#include "foundation/iotxt.h"
#include "foundation/log.h"
#include "foundation/time.h"
#include "onboard/services_debug.h"
#include "onboard/sim51.h"
#include "onboard/swmodule.h"
#include "tests/fuzz/fuzz_support.h"

namespace {

constexpr size_t kImageLength = 65535;
constexpr uint32_t kBudget = 200000;
constexpr uint32_t kEntryRuns = 50;
constexpr uint32_t kEntryBudget = 4000;

SWMODULE* ReadModuleBlock()
{
    std::string block = std::string("onboard_module \"FUZZ\"\n code = X51, \"") + FUZZ_Path("module.bin") +
                        "\"\n input \"Field\" = GLOBAL_VARIABLE(\"Module_System_Time_10ms\")\n output \"Out\"\nend\n";
    FUZZ_WriteFile("Modules.cfg", reinterpret_cast<const uint8_t*>(block.data()), block.size());
    if (!IOTXT_OpenFile("Modules.cfg")) return nullptr;
    SWMODULE* module = nullptr;
    if (IOTXT_NextLine() && IOTXT_MatchWord("onboard_module")) module = SWMODULE_ParseDefinition();
    IOTXT_CloseFile();
    return module;
}

void RunPeriodicEntries(SWMODULE* module)
{
    for (uint32_t code : {SWMODULE_ENTRY_1MS, SWMODULE_ENTRY_10MS, SWMODULE_ENTRY_1000MS}) {
        uint16_t entry = module->entries[code - 1];
        for (uint32_t i = 0; entry && i < kEntryRuns; ++i) SIM51_Run(module->cpu, entry, kEntryBudget);
    }
}

void StartAsModule()
{
    LOG_Init();
    LOG_SetOutput(2);
    SYSTEMTIME start{2006, 1, 0, 1, 0, 0, 0, 0};
    g_simClock.clock = g_simClock.runStart = TIME_SystemTimeToMs(&start);
    EVENTS_StartRun();
    SWMODULE_InitGlobals();
    SWMODULE* module = ReadModuleBlock();
    if (module && SWMODULE_LinkConnections(module, module)) {
        module->satelliteName = "FUZZ";
        SWMODULE_CurrentModule = module;
        SIM51_Run(module->cpu, 0x0000, kBudget);
        RunPeriodicEntries(module);
        KOM_LogRepeatSummary(module, "FUZZ");
    }
    EVENTS_EndRun();
    SWMODULE_Destroy(module);
    SWMODULE_CurrentModule = nullptr;
    SWMODULE_FreeGlobals();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FUZZ_BeginInput();
    FUZZ_WriteFile("module.bin", data, size);
    SIM51_CPU* cpu = SIM51_CreateCpu();
    if (cpu) {
        if (SIM51_LoadImage(cpu, FUZZ_Path("module.bin"))) SIM51_Run(cpu, 0x0000, kBudget);
        SIM51_DestroyCpu(cpu);
    }
    if (size == kImageLength) StartAsModule();
    FUZZ_EndInput();
    return 0;
}
