// Emulated 8051 instructions per second of our emulator and, on the same
// programs in the same run, of the s51 simulator (sdcc-ucsim): a tight loop
// and a set of random programs. s51's figure uses its own "Host usage" time
// of each run command; ours times SIM51_Run.
#include "onboard/sim51.h"
#include "onboard/sim51_ops.h"
#include "tests/onboard/sim51_harness.h"
#include <benchmark/benchmark.h>
#include <cstdlib>
#include <cstring>
#include <sstream>

namespace {

using namespace sim51test;

// Three nested loops around INC A; ADD A,R1; MOV 0x30,A; XRL 0x31,A;
// DJNZ R7: about 13 million instructions.
std::string TightLoopSource()
{
    return "\t.area CSEG (ABS,CODE)\n\t.org 0\n\tmov r5,#40\nouter:\n\tmov r6,#0\nmiddle:\n"
           "\tmov r7,#0\ninner:\n\tinc a\n\tadd a,r1\n\tmov 0x30,a\n\txrl 0x31,a\n\tdjnz r7,inner\n"
           "\tdjnz r6,middle\n\tdjnz r5,outer\n\tljmp 0xff00\n";
}

// Back to the machine a program starts from: zero internal RAM and the
// external RAM window the programs use.
void ResetMachine(SIM51_CPU* cpu)
{
    if (g_sim51Active.cpu == cpu) {
        memset(g_sim51Active.ram, 0, sizeof g_sim51Active.ram);
    } else {
        memset(cpu->iram, 0, sizeof cpu->iram);
        memset(cpu->upperIram, 0, sizeof cpu->upperIram);
    }
    memset(cpu->xram, 0, 0x400);
}

struct BenchPrograms {
    bool ready = false;
    std::string error;
    std::string dir;
    std::vector<Program> programs;
    std::vector<uint64_t> instructions;   // per program, from a counting run
};

// The instructions one run executes, by the same table and stop rule.
uint64_t CountInstructions(const std::string& image)
{
    SIM51_CPU* cpu = LoadForRun(image);
    if (!cpu) return 0;
    SIM51_Run(cpu, 0xFFF0, 0);   // makes the CPU active
    ResetMachine(cpu);
    g_sim51Active.pc = 0;
    g_sim51Active.clocks = 0;
    g_stopReached = false;
    uint64_t count = 0;
    while (!g_stopReached && g_sim51Active.clocks <= kOurClockLimit) {
        uint8_t opcode = g_sim51Active.code[g_sim51Active.pc];
        g_sim51Active.pc = static_cast<uint16_t>(g_sim51Active.pc + 1);
        SIM51_OPCODE_TABLE[opcode]();
        ++count;
    }
    SIM51_DestroyCpu(cpu);
    return count - 1;   // the trap at the stop address is not an instruction
}

BenchPrograms& Programs()
{
    static BenchPrograms set;
    if (set.ready || !set.error.empty()) return set;
    if (!ToolsPresent()) {
        set.error = "sdcc tools or s51 not installed";
        return set;
    }
    char pattern[] = "/tmp/sim51-bench-XXXXXX";
    if (!mkdtemp(pattern)) {
        set.error = "no temporary folder";
        return set;
    }
    set.dir = pattern;
    set.programs.push_back({"loop", TightLoopSource(), false, 0x000F});
    for (uint32_t seed = 1; seed <= 100; ++seed) {
        ProgramGenerator generator(seed * 104729u);
        set.programs.push_back({"rnd" + std::to_string(seed), generator.Generate(200), false, 0x03FF});
    }
    if (!BuildPrograms(set.dir, set.programs, &set.error)) return set;
    for (const Program& p : set.programs) set.instructions.push_back(CountInstructions(ImagePath(set.dir, p)));
    set.ready = true;
    return set;
}

// Host seconds of each s51 run command, in the order of the programs.
std::vector<double> S51HostTimes(const BenchPrograms& set, const std::vector<Program>& programs)
{
    std::vector<double> times;
    std::vector<MachineState> states;
    std::string error;
    if (!RunS51(set.dir, programs, &states, &error)) return times;
    std::istringstream out(ReadText(set.dir + "/s51.out"));
    for (std::string line; std::getline(out, line);) {
        double seconds;
        if (sscanf(line.c_str(), "Host usage: %lf sec", &seconds) == 1) times.push_back(seconds);
    }
    return times;
}

void RunOursTimed(benchmark::State& state, size_t first, size_t last)
{
    BenchPrograms& set = Programs();
    if (!set.ready) {
        state.SkipWithError(set.error.c_str());
        return;
    }
    std::vector<SIM51_CPU*> cpus;
    uint64_t perPass = 0;
    for (size_t i = first; i < last; ++i) {
        cpus.push_back(LoadForRun(ImagePath(set.dir, set.programs[i])));
        perPass += set.instructions[i];
    }
    for (auto _ : state) {
        for (SIM51_CPU* cpu : cpus) {
            ResetMachine(cpu);
            SIM51_Run(cpu, 0x0000, kOurClockLimit);
        }
    }
    for (SIM51_CPU* cpu : cpus) SIM51_DestroyCpu(cpu);
    state.SetItemsProcessed(static_cast<int64_t>(perPass * state.iterations()));
}

void RunS51Timed(benchmark::State& state, size_t first, size_t last)
{
    BenchPrograms& set = Programs();
    if (!set.ready) {
        state.SkipWithError(set.error.c_str());
        return;
    }
    std::vector<Program> programs(set.programs.begin() + first, set.programs.begin() + last);
    uint64_t perPass = 0;
    for (size_t i = first; i < last; ++i) perPass += set.instructions[i];
    for (auto _ : state) {
        std::vector<double> times = S51HostTimes(set, programs);
        if (times.size() != programs.size()) {
            state.SkipWithError("s51 run failed");
            return;
        }
        double total = 0;
        for (double t : times) total += t;
        state.SetIterationTime(total);
    }
    state.SetItemsProcessed(static_cast<int64_t>(perPass * state.iterations()));
}

void BM_Sim51TightLoop(benchmark::State& state) { RunOursTimed(state, 0, 1); }
void BM_S51TightLoop(benchmark::State& state) { RunS51Timed(state, 0, 1); }
void BM_Sim51RandomPrograms(benchmark::State& state) { RunOursTimed(state, 1, Programs().programs.size()); }
void BM_S51RandomPrograms(benchmark::State& state) { RunS51Timed(state, 1, Programs().programs.size()); }

}  // namespace

BENCHMARK(BM_Sim51TightLoop)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_S51TightLoop)->UseManualTime()->Iterations(2)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Sim51RandomPrograms)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_S51RandomPrograms)->UseManualTime()->Iterations(2)->Unit(benchmark::kMicrosecond);
