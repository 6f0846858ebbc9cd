// Builds 8051 programs with the sdcc tools, runs them on our emulator and on
// the s51 simulator, and compares the machines they leave behind. Shared by
// the comparison tests and the emulator benchmark.
#pragma once
#include "onboard/sim51.h"
#include <array>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

namespace sim51test {

// Every compared program ends by jumping to this address; our image holds the
// trap byte there, s51 stops at a breakpoint before it.
constexpr uint16_t kStopAddress = 0xFF00;
constexpr uint32_t kOurClockLimit = 400000000;

struct Program {
    std::string name;
    std::string source;     // assembly, or C when isC
    bool isC = false;
    uint16_t xramEnd = 0x03FF;   // external RAM 0..xramEnd is compared
};

struct MachineState {
    std::array<uint8_t, 256> iram{};   // by indirect address: lower 128, then upper 128
    std::array<uint8_t, 128> sfr{};    // 0x80..0xFF
    std::vector<uint8_t> xram;         // 0..xramEnd
    bool stopped = false;
};

// The special function registers that programs use as plain registers; the
// other SFR addresses drive s51's peripherals and are left alone.
inline const std::vector<uint8_t>& ComparedSfrs()
{
    static const std::vector<uint8_t> sfrs = {0x81, 0x82, 0x83, 0xA0, 0xD0, 0xE0, 0xF0};
    return sfrs;
}

inline bool ToolsPresent()
{
    return std::system("command -v sdas8051 >/dev/null 2>&1 && command -v sdld >/dev/null 2>&1 && "
                       "command -v makebin >/dev/null 2>&1 && command -v s51 >/dev/null 2>&1 && "
                       "command -v sdcc >/dev/null 2>&1") == 0;
}

inline std::string ReadText(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

inline void WriteText(const std::string& path, const std::string& text)
{
    std::ofstream out(path, std::ios::binary);
    out << text;
}

inline std::string ImagePath(const std::string& dir, const Program& program)
{
    return dir + "/" + program.name + ".img";
}

// Assembles or compiles every program in one shell run, then cuts each binary
// to the 65535 bytes of a module image with the trap byte at the stop address.
inline bool BuildPrograms(const std::string& dir, const std::vector<Program>& programs, std::string* error)
{
    std::string script = "set -e\ncd '" + dir + "'\n";
    for (const Program& p : programs) {
        if (p.isC) {
            WriteText(dir + "/" + p.name + ".c", p.source);
            script += "sdcc -mmcs51 " + p.name + ".c -o " + p.name + ".ihx\n";
        } else {
            WriteText(dir + "/" + p.name + ".asm", p.source);
            script += "sdas8051 -plosgff " + p.name + ".asm\n";
            script += "sdld -u -i " + p.name + ".ihx " + p.name + ".rel\n";
        }
        script += "makebin -s 65536 " + p.name + ".ihx " + p.name + ".bin\n";
    }
    WriteText(dir + "/build.sh", script);
    if (std::system(("bash '" + dir + "/build.sh' >'" + dir + "/build.log' 2>&1").c_str()) != 0) {
        *error = ReadText(dir + "/build.log");
        return false;
    }
    for (const Program& p : programs) {
        std::string image = ReadText(dir + "/" + p.name + ".bin");
        if (image.size() != 65536) {
            *error = "makebin output of " + p.name + " has " + std::to_string(image.size()) + " bytes";
            return false;
        }
        image.resize(65535);
        image[kStopAddress] = static_cast<char>(SIM51_TRAP_OPCODE);
        WriteText(ImagePath(dir, p), image);
    }
    return true;
}

inline std::string S51Commands(const std::vector<Program>& programs)
{
    char line[128];
    std::string commands = "set error stack off\nbreak 0xff00\n";
    for (const Program& p : programs) {
        // The code space not in the file must read 0xFF as in makebin's image;
        // after a reset s51 holds 0xFF in the port latches, ours start at 0.
        snprintf(line, sizeof line, "fill rom_chip 0 0xffff 0xff\nfile \"%s.ihx\"\nreset\nset memory sfr 0xa0 0\n",
                 p.name.c_str());
        commands += line;
        commands += "fill iram_chip 0 0xff 0\nfill xram_chip 0 0xffff 0\nrun 0\n";
        commands += "dump /h iram_chip 0 0xff 16\ndump /h sfr_chip 0 0x7f 16\n";
        snprintf(line, sizeof line, "dump /h xram_chip 0 0x%x 16\n", p.xramEnd);
        commands += line;
    }
    return commands + "quit\n";
}

// A dump line: "0x<address>" and sixteen hexadecimal bytes.
inline bool ParseDumpLine(const std::string& line, uint8_t bytes[16])
{
    if (line.compare(0, 2, "0x") != 0) return false;
    size_t pos = line.find(' ');
    if (pos == std::string::npos) return false;
    for (int i = 0; i < 16; ++i) {
        if (pos + 3 > line.size() || line[pos] != ' ') return false;
        unsigned value;
        if (sscanf(line.c_str() + pos + 1, "%2x", &value) != 1 || !isxdigit(line[pos + 1]) ||
            !isxdigit(line[pos + 2]))
            return false;
        bytes[i] = static_cast<uint8_t>(value);
        pos += 3;
    }
    return true;
}

// Runs all programs in one s51 session and reads back each machine.
inline bool RunS51(const std::string& dir, const std::vector<Program>& programs,
                   std::vector<MachineState>* states, std::string* error)
{
    WriteText(dir + "/s51.cmd", S51Commands(programs));
    std::string command = "cd '" + dir + "' && timeout 120 s51 -t 8052 -C s51.cmd </dev/null >s51.out 2>&1";
    if (std::system(command.c_str()) != 0) {
        *error = "s51 failed or timed out";
        return false;
    }
    std::istringstream out(ReadText(dir + "/s51.out"));
    std::vector<std::array<uint8_t, 16>> rows;
    size_t stops = 0;
    for (std::string line; std::getline(out, line);) {
        std::array<uint8_t, 16> row;
        if (ParseDumpLine(line, row.data())) rows.push_back(row);
        if (line.find("Stop at 0x00ff00") != std::string::npos) ++stops;
    }
    size_t next = 0;
    states->clear();
    for (const Program& p : programs) {
        size_t xramRows = (p.xramEnd + 1u) / 16;
        if (next + 24 + xramRows > rows.size()) {
            *error = "s51 output is short";
            return false;
        }
        MachineState state;
        for (int r = 0; r < 16; ++r) std::copy(rows[next + r].begin(), rows[next + r].end(), &state.iram[r * 16]);
        for (int r = 0; r < 8; ++r) std::copy(rows[next + 16 + r].begin(), rows[next + 16 + r].end(), &state.sfr[r * 16]);
        for (size_t r = 0; r < xramRows; ++r)
            state.xram.insert(state.xram.end(), rows[next + 24 + r].begin(), rows[next + 24 + r].end());
        next += 24 + xramRows;
        state.stopped = true;
        states->push_back(state);
    }
    if (stops != programs.size()) {
        *error = "s51 stopped " + std::to_string(stops) + " times at the stop address for " +
                 std::to_string(programs.size()) + " programs";
        return false;
    }
    return true;
}

inline bool g_stopReached = false;

inline void StopService(SIM51_BACKCALL_REGS*)
{
    g_stopReached = true;
    g_sim51Active.clocks = UINT32_MAX;   // ends the run after this instruction
}

// Loads the image into a fresh CPU with the stop service registered.
inline SIM51_CPU* LoadForRun(const std::string& imagePath)
{
    SIM51_CPU* cpu = SIM51_CreateCpu();
    if (!cpu) return nullptr;
    if (!SIM51_LoadImage(cpu, imagePath.c_str())) {
        SIM51_DestroyCpu(cpu);
        return nullptr;
    }
    cpu->startSp = 0;   // the compared programs move SP freely
    SIM51_RegisterBackcall(cpu, kStopAddress, StopService);
    return cpu;
}

inline MachineState CaptureState(const SIM51_CPU* cpu, uint16_t xramEnd)
{
    MachineState state;
    for (uint32_t a = 0; a < 256; ++a) state.iram[a] = g_sim51Active.ram[SIM51_IndirectIndex(static_cast<uint8_t>(a))];
    for (uint32_t a = 0; a < 128; ++a) state.sfr[a] = g_sim51Active.ram[0x80 + a];
    state.xram.assign(cpu->xram, cpu->xram + xramEnd + 1);
    state.stopped = g_stopReached;
    return state;
}

// Runs the program from address 0 to the stop address on our emulator.
inline MachineState RunOurs(const std::string& imagePath, uint16_t xramEnd, std::string* error)
{
    MachineState state;
    SIM51_CPU* cpu = LoadForRun(imagePath);
    if (!cpu) {
        *error = "cannot load " + imagePath;
        return state;
    }
    g_stopReached = false;
    SIM51_Run(cpu, 0x0000, kOurClockLimit);
    state = CaptureState(cpu, xramEnd);
    for (uint32_t a = 0x10000 - 1; a > xramEnd; --a)
        if (cpu->xram[a]) {
            *error = "external RAM written outside the compared window";
            break;
        }
    SIM51_DestroyCpu(cpu);
    return state;
}

// The differences between two machines, empty when they agree.
inline std::string Difference(const MachineState& ours, const MachineState& theirs)
{
    std::string text;
    char line[96];
    if (!ours.stopped) text += "our emulator did not reach the stop address\n";
    auto compare = [&](const char* format, uint32_t address, uint8_t our, uint8_t their) {
        if (our == their) return;
        snprintf(line, sizeof line, format, address, our, their);
        text += line;
    };
    for (uint32_t a = 0; a < 256; ++a) compare("iram %02X: ours %02X, s51 %02X\n", a, ours.iram[a], theirs.iram[a]);
    for (uint8_t sfr : ComparedSfrs())
        compare("sfr %02X: ours %02X, s51 %02X\n", sfr, ours.sfr[sfr - 0x80], theirs.sfr[sfr - 0x80]);
    for (uint32_t a = 0; a < ours.xram.size() && a < theirs.xram.size(); ++a)
        compare("xram %04X: ours %02X, s51 %02X\n", a, ours.xram[a], theirs.xram[a]);
    return text;
}

// ---- random programs ----------------------------------------------------------

class ProgramGenerator {
public:
    explicit ProgramGenerator(uint32_t seed) : rng_(seed) {}

    std::string Generate(int instructions)
    {
        count_ = instructions;
        std::string text = "\t.area CSEG (ABS,CODE)\n\t.org 0\n";
        text += Prologue();
        for (int i = 0; i < count_; ++i) text += Label(i) + ":\n" + Instruction(i);
        return text + Label(count_) + ":\n\tljmp 0xff00\n";
    }

private:
    uint32_t Next(uint32_t n) { return static_cast<uint32_t>(rng_() % n); }

    std::string Hex(uint32_t v)
    {
        char b[16];
        snprintf(b, sizeof b, "0x%02x", v);
        return b;
    }

    std::string Imm() { return "#" + Hex(Next(256)); }
    std::string Ri() { return Next(2) ? "@r1" : "@r0"; }
    std::string Rn() { return "r" + std::to_string(Next(8)); }
    // A source operand: immediate, direct, indirect, register or A.
    std::string Operand(uint32_t form)
    {
        switch (form) {
        case 0: return Imm();
        case 1: return Dir();
        case 2: return Ri();
        case 3: return Rn();
        default: return "a";
        }
    }

    std::string Dir()
    {
        static const uint8_t sfrs[] = {0xE0, 0xF0, 0xD0, 0x81, 0x82, 0x83, 0xA0};
        return Next(10) < 7 ? Hex(Next(0x80)) : Hex(sfrs[Next(sizeof sfrs)]);
    }

    std::string Bit()
    {
        static const uint8_t bytes[] = {0xE0, 0xF0, 0xD0, 0xA0};
        if (Next(10) < 6) return Hex(Next(0x80));
        uint32_t bit = bytes[Next(sizeof bytes)] + Next(8);
        // s51 does not switch the register bank when RS0 or RS1 is written as a bit.
        if (bit == 0xD3 || bit == 0xD4) bit = 0xD5;
        return Hex(bit);
    }

    // A label a few instructions ahead: jumps only go forward, so every
    // program ends.
    std::string Target(int i) { return Label(std::min(count_, i + 1 + static_cast<int>(Next(6)))); }

    static std::string Label(int i) { return "L" + std::to_string(i); }

    std::string Prologue()
    {
        std::string t = "\tmov psw,#0\n";
        for (int r = 0; r < 8; ++r) t += "\tmov r" + std::to_string(r) + "," + Imm() + "\n";
        for (int i = 0; i < 24; ++i) t += "\tmov " + Hex(0x08 + Next(0x78)) + "," + Imm() + "\n";
        for (int i = 0; i < 8; ++i) t += "\tmov r0,#" + Hex(0x80 + Next(0x80)) + "\n\tmov @r0," + Imm() + "\n";
        t += "\tmov r0," + Imm() + "\n\tmov r1," + Imm() + "\n";
        t += "\tmov dptr,#" + Hex(Next(0x10000)) + "\n\tmov p2," + Imm() + "\n\tmov b," + Imm() + "\n";
        t += "\tmov sp," + Imm() + "\n\tmov a," + Imm() + "\n\tmov psw," + Imm() + "\n";
        return t;
    }

    std::string Instruction(int i)
    {
        static const char* alu[] = {"add", "addc", "subb", "orl", "anl", "xrl"};
        static const char* logic[] = {"orl", "anl", "xrl"};
        static const char* unary[] = {"rr a", "rrc a", "rl a", "rlc a", "swap a", "clr a", "cpl a",
                                      "da a", "mul ab", "div ab", "inc a", "dec a", "inc dptr", "nop",
                                      "cpl c", "clr c", "setb c"};
        std::string t = "\t";
        switch (Next(24)) {
        case 0: return t + unary[Next(sizeof unary / sizeof *unary)] + "\n";
        case 1: {
            std::string op = alu[Next(6)];
            return t + op + " a," + Operand(Next(4)) + "\n";
        }
        case 2: return t + alu[Next(6)] + " a," + (Next(2) ? Rn() : Ri()) + "\n";
        case 3: {
            std::string op = logic[Next(3)];
            return t + op + " " + Dir() + "," + (Next(2) ? std::string("a") : Imm()) + "\n";
        }
        case 4: {
            std::string op = Next(2) ? "dec " : "inc ";
            return t + op + Operand(1 + Next(3)) + "\n";
        }
        case 5: {
            static const char* ops[] = {"orl c,", "orl c,/", "anl c,", "anl c,/", "mov c,", "cpl ", "clr ", "setb "};
            if (Next(8) == 0) return t + "mov " + Bit() + ",c\n";
            return t + ops[Next(8)] + Bit() + "\n";
        }
        case 6: return t + "mov a," + Operand(Next(4)) + "\n";
        case 7: {
            uint32_t form = Next(5);
            return t + "mov " + Dir() + "," + Operand(form) + "\n";
        }
        case 8: {
            std::string dest = Next(2) ? Ri() : Rn();
            static const uint32_t forms[] = {0, 1, 4};
            return t + "mov " + dest + "," + Operand(forms[Next(3)]) + "\n";
        }
        case 9: return t + "mov dptr,#" + Hex(Next(0x10000)) + "\n";
        case 10: return t + (Next(2) ? "push " : "pop ") + Dir() + "\n";
        case 11: {
            uint32_t form = Next(4);
            return t + (form == 3 ? "xchd a," + Ri() : "xch a," + Operand(1 + form)) + "\n";
        }
        case 12:
            switch (Next(4)) {
            case 0: return t + "anl 0x83,#0x03\n\tmovx a,@dptr\n";
            case 1: return t + "anl 0x83,#0x03\n\tmovx @dptr,a\n";
            case 2: return t + "anl 0xa0,#0x03\n\tmovx a," + Ri() + "\n";
            default: return t + "anl 0xa0,#0x03\n\tmovx " + Ri() + ",a\n";
            }
        case 13: return Next(2) ? t + "anl 0x83,#0x03\n\tmovc a,@a+dptr\n" : t + "movc a,@a+pc\n";
        case 14: {
            static const char* ops[] = {"sjmp ", "jc ", "jnc ", "jz ", "jnz ", "ajmp ", "ljmp ", "acall ", "lcall "};
            return t + ops[Next(9)] + Target(i) + "\n";
        }
        case 15: {
            static const char* ops[] = {"jb ", "jnb ", "jbc "};
            return t + ops[Next(3)] + Bit() + "," + Target(i) + "\n";
        }
        case 16:
            switch (Next(4)) {
            case 0: return t + "cjne a," + Imm() + "," + Target(i) + "\n";
            case 1: return t + "cjne a," + Dir() + "," + Target(i) + "\n";
            case 2: return t + "cjne " + Ri() + "," + Imm() + "," + Target(i) + "\n";
            default: return t + "cjne " + Rn() + "," + Imm() + "," + Target(i) + "\n";
            }
        case 17: return t + "djnz " + (Next(2) ? Rn() : Dir()) + "," + Target(i) + "\n";
        case 18: return t + "mov dptr,#" + Target(i) + "\n\tmov a,#0\n\tjmp @a+dptr\n";
        default: return t + alu[Next(6)] + " a," + (Next(2) ? Imm() : Dir()) + "\n";
        }
    }

    std::mt19937 rng_;
    int count_ = 0;
};

}  // namespace sim51test
