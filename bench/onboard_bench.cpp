// On-board modules in C, built with sdcc at start: a service round trip, one
// logged M_DEBUG_Printf line, a 10 ms entry of a B-dot-like module with its
// feeding and propagation, an idle tick, and one bus message from the token
// to the delivered entry.
#include <benchmark/benchmark.h>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include "foundation/iotxt.h"
#include "foundation/log.h"
#include "foundation/memory.h"
#include "onboard/kombus.h"
#include "onboard/sim51.h"
#include "onboard/swmodule.h"
#include "foundation/events.h"
#include "simulation/main.h"
#include "simulation/satelit.h"

namespace {

const char* kRoundTrip = R"(
#include "module_services.h"
__xdata unsigned int sink;
void loop(void) { unsigned int i; for (i = 0; i < 1000; ++i) sink += M_GetTime10ms(); }
void main(void) { M_RegisterEntry(M_ENTRY_10MS, loop); }
)";

// The same loop around a local function: the difference to the loop above is
// what the service adds over an emulated call and return.
const char* kBaseline = R"(
#include "module_services.h"
__xdata unsigned int sink;
unsigned int local(void) { return 7; }
void loop(void) { unsigned int i; for (i = 0; i < 1000; ++i) sink += local(); }
void main(void) { M_RegisterEntry(M_ENTRY_10MS, loop); }
)";

const char* kPrintf = R"(
#include "module_services.h"
__xdata int value = 1234;
void line(void) { M_DEBUG_Printf("status: value %d, flag %c, ok   \n", value, (char)'y'); }
void main(void) { M_RegisterEntry(M_ENTRY_10MS, line); }
)";

// A B-dot law over a field input: m = -k dB/dt with clamping, about 450 instructions.
const char* kBdot = R"(
#include "module_services.h"
__xdata int field[3];
__xdata int dipole[3];
__xdata int previous[3];
void bdot(void)
{
    unsigned char i;
    for (i = 0; i < 3; ++i) {
        long command = -((long)field[i] - previous[i]) * 16;
        if (command > 32767) command = 32767;
        if (command < -32767) command = -32767;
        dipole[i] = (int)command;
        previous[i] = field[i];
    }
}
void main(void)
{
    M_RegisterEntry(M_ENTRY_10MS, bdot);
    SetupInput(M_CODE_NAME("Field"), M_TYPE_3xINT, field);
    BindInput(M_CODE_NAME("Field"), M_ENTRY_10MS);
    SetupOutput(M_CODE_NAME("Dipole"), M_TYPE_3xINT, dipole);
    BindOutput(M_CODE_NAME("Dipole"), M_ENTRY_10MS);
}
)";

const char* kTalker = R"(
#include "module_services.h"
void heard(void) {}
void main(void) { M_RegisterEntry(M_ENTRY_BUS_MESSAGE, heard); }
)";

struct World {
    std::string dir;
    std::string error;
    SWMODULE* modules = nullptr;
    SATELIT satellite{};
};

bool Build(const std::string& dir, const char* name, const char* source, std::string* error)
{
    std::ofstream(dir + "/" + name + ".c") << source;
    std::string command = "bash '" ORBIT_SOURCE_DIR "/scripts/build_module.sh' '" + dir + "/" + name + ".c' '" + dir +
                          "/" + name + ".img' >'" + dir + "/build.log' 2>&1";
    if (std::system(command.c_str()) == 0) return true;
    *error = std::string("cannot build ") + name;
    return false;
}

std::string Block(const std::string& dir, const char* name, const std::string& lines)
{
    return std::string("onboard_module \"") + name + "\"\n  code = X51, \"" + dir + "/" + name + ".img\"\n" + lines +
           "end\n";
}

void CountReferer(uint32_t, void* owner, uint32_t, SW_VALUE*)
{
    ++*static_cast<uint64_t*>(owner);
}

uint64_t g_refererCalls = 0;

// Builds the modules once, reads their blocks, starts them and powers them on.
World& TheWorld()
{
    static World w;
    static bool ready = false;
    if (ready) return w;
    ready = true;
    char pattern[] = "/tmp/onboard-bench-XXXXXX";
    if (!mkdtemp(pattern)) {
        w.error = "no temporary folder";
        return w;
    }
    w.dir = pattern;
    std::filesystem::current_path(w.dir);
    if (!Build(w.dir, "roundtrip", kRoundTrip, &w.error) ||
        !Build(w.dir, "baseline", kBaseline, &w.error) || !Build(w.dir, "printer", kPrintf, &w.error) ||
        !Build(w.dir, "bdot", kBdot, &w.error) || !Build(w.dir, "talker", kTalker, &w.error))
        return w;
    MEMORY_Init();
    LOG_Init();
    IOTXT_Init();
    g_simClock.clock = 1000000;
    EVENTS_Init();
    EVENTS_StartRun();
    SWMODULE_InitGlobals();
    SATELIT_RegisterFieldVariables();
    std::string text = Block(w.dir, "roundtrip", "") + Block(w.dir, "baseline", "") + Block(w.dir, "printer", "") +
                       Block(w.dir, "bdot",
                             "  input \"Field\" = GLOBAL_VARIABLE(\"MagVector_Body_10nT_I3_ROUND\")\n"
                             "  output \"Dipole\"\n") +
                       Block(w.dir, "talker", "  kombus_implementation = SMALL\n  kombus_address = 2\n") +
                       Block(w.dir, "talker", "  kombus_implementation = SMALL\n  kombus_address = 5\n");
    // The second talker needs its own name.
    size_t second = text.rfind("onboard_module \"talker\"");
    text.replace(second, 23, "onboard_module \"listener\"");
    std::ofstream(std::string(MEMORY_ProgramDirectory()) + "/Bench.cfg") << text;
    if (!IOTXT_OpenFile("Bench.cfg")) {
        w.error = "cannot open Bench.cfg";
        return w;
    }
    SWMODULE** tail = &w.modules;
    while (IOTXT_NextLine() && IOTXT_MatchWord("onboard_module")) {
        *tail = SWMODULE_ParseDefinition();
        if (!*tail) break;
        tail = &(*tail)->next;
    }
    IOTXT_CloseFile();
    for (SWMODULE* m = w.modules; m; m = m->next) SWMODULE_LinkConnections(m, w.modules);
    if (!SWMODULE_StartModules(w.modules)) {
        w.error = "modules did not start";
        return w;
    }
    SWMODULE_AddReferer(SWMODULE_FindByName(w.modules, "bdot"), "Dipole", CountReferer, &g_refererCalls, 1000);
    // Power every module on: the power-on events are due now and fire once
    // the clock has passed them.
    uint32_t word;
    g_simClock.clock += 1;
    while (EVENTS_ClampClockToNext(&word)) {
        EVENTS_FireNext();
        g_simClock.clock += 1;
    }
    w.satellite.fieldBody = VEC3{12345.6, -2345.6, 34567.8};
    SATELIT_SetCurrent(&w.satellite);
    LOG_Init();
    return w;
}

SWMODULE* Ready(benchmark::State& state, const char* name)
{
    World& w = TheWorld();
    if (!w.error.empty()) {
        state.SkipWithError(w.error.c_str());
        return nullptr;
    }
    return SWMODULE_FindByName(w.modules, name);
}

void BM_ServiceRoundTrip(benchmark::State& state)
{
    SWMODULE* m = Ready(state, "roundtrip");
    if (!m) return;
    for (auto _ : state) SIM51_Run(m->cpu, m->entries[SWMODULE_ENTRY_10MS - 1], 200000000);
    state.SetItemsProcessed(state.iterations() * 1000);   // calls of M_GetTime10ms
}
BENCHMARK(BM_ServiceRoundTrip);

void BM_LocalCallLoop(benchmark::State& state)
{
    SWMODULE* m = Ready(state, "baseline");
    if (!m) return;
    for (auto _ : state) SIM51_Run(m->cpu, m->entries[SWMODULE_ENTRY_10MS - 1], 200000000);
    state.SetItemsProcessed(state.iterations() * 1000);
}
BENCHMARK(BM_LocalCallLoop);

void BM_PrintfLineToLog(benchmark::State& state)
{
    SWMODULE* m = Ready(state, "printer");
    if (!m) return;
    SWMODULE_CurrentModule = m;
    for (auto _ : state) SIM51_Run(m->cpu, m->entries[SWMODULE_ENTRY_10MS - 1], 200000);
    state.SetItemsProcessed(state.iterations());
    LOG_Init();
}
BENCHMARK(BM_PrintfLineToLog);

void BM_TickBdotEntry(benchmark::State& state)
{
    SWMODULE* m = Ready(state, "bdot");
    if (!m) return;
    for (auto _ : state) {
        g_simClock.clock += 10;
        SWMODULE_Tick(m);
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_TickBdotEntry);

void BM_TickBdotFeedAndPropagateOnly(benchmark::State& state)
{
    SWMODULE* m = Ready(state, "bdot");
    if (!m) return;
    const SWMODULE_BINDINGS* bound = &m->bindings[SWMODULE_ENTRY_10MS - 1];
    for (auto _ : state) {
        SWMODULE_FeedInputs(m, SWMODULE_BoundInputs(bound), bound->inputCount);
        SWMODULE_PropagateOutputs(m, SWMODULE_BoundOutputs(bound), bound->outputCount);
    }
}
BENCHMARK(BM_TickBdotFeedAndPropagateOnly);

void BM_IdleTick(benchmark::State& state)
{
    SWMODULE* m = Ready(state, "bdot");
    if (!m) return;
    for (auto _ : state) SWMODULE_Tick(m);   // the clock stands: nothing is due
}
BENCHMARK(BM_IdleTick);

// Queues a 10-byte message from "talker" to "listener" and runs the event
// queue until it is delivered: token, transmission end and the entry.
void BM_BusMessage(benchmark::State& state)
{
    SWMODULE* talker = Ready(state, "talker");
    if (!talker) return;
    KOMBUS_MODULE* bus = talker->bus;
    uint8_t message[10] = {10, 5, 1, 2, 3, 4, 5, 6, 7, 8};
    uint32_t word;
    for (auto _ : state) {
        if (!KOMBUS_TakeSendBuffer(bus)) {
            state.SkipWithError("no send buffer");
            return;
        }
        KOMBUS_QueueSend(bus, message, 0);
        while (bus->sendQueue.head) {
            g_simClock.clock += 1;
            while (EVENTS_ClampClockToNext(&word)) EVENTS_FireNext();
        }
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_BusMessage);

}  // namespace
