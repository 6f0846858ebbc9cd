// What the s51 comparison cannot check: our clock costs, and that addresses
// computed from emulated state wrap inside their memories. Flags, arithmetic,
// compares and jumps are compared with s51 in sim51_s51_test.cpp.
#include "onboard/sim51.h"
#include "onboard/sim51_ops.h"
#include <gtest/gtest.h>
#include <cstring>
#include <initializer_list>
#include <random>

namespace {

// Clock cost per opcode: rows are the high nibble, columns _0.._7, and the
// last column holds _8.._F; 0 marks the trap.
constexpr uint8_t kGrid[16][9] = {
    {4, 12, 16, 4, 4, 8, 4, 4, 4},      {16, 12, 16, 4, 4, 8, 4, 4, 4},
    {16, 12, 16, 4, 8, 8, 4, 4, 4},     {16, 12, 16, 4, 8, 8, 4, 4, 4},
    {12, 12, 8, 12, 8, 8, 4, 4, 4},     {12, 12, 8, 12, 8, 8, 4, 4, 4},
    {12, 12, 8, 12, 8, 8, 4, 4, 4},     {12, 12, 8, 12, 8, 12, 8, 8, 8},
    {12, 12, 8, 12, 20, 12, 8, 8, 8},   {12, 12, 8, 12, 8, 8, 4, 4, 4},
    {8, 12, 8, 12, 20, 0, 8, 8, 8},     {8, 12, 8, 4, 16, 16, 16, 16, 16},
    {8, 12, 8, 4, 4, 8, 8, 8, 4},       {8, 12, 8, 4, 4, 8, 8, 8, 8},
    {12, 12, 12, 12, 4, 4, 4, 4, 4},    {12, 12, 12, 12, 4, 4, 4, 4, 4},
};

uint32_t GridCost(uint32_t opcode)
{
    uint32_t column = opcode & 0x0F;
    return kGrid[opcode >> 4][column < 8 ? column : 8];
}

class Sim51Ops : public ::testing::Test {
protected:
    void SetUp() override
    {
        cpu_ = SIM51_CreateCpu();
        ASSERT_NE(cpu_, nullptr);
        cpu_->startSp = 0x40;
        SIM51_Run(cpu_, 0xFFF0, 0);   // a NOP there makes the CPU active
    }
    void TearDown() override { SIM51_DestroyCpu(cpu_); }

    uint8_t& Ram(uint8_t direct) { return g_sim51Active.ram[direct]; }
    uint8_t& Upper(uint8_t address) { return g_sim51Active.ram[SIM51_IndirectIndex(address)]; }
    uint8_t& A() { return Ram(SIM51_SFR_ACC); }
    uint8_t& Psw() { return Ram(SIM51_SFR_PSW); }

    // Executes the one instruction given at the address; returns its clocks.
    uint32_t Exec(std::initializer_list<uint8_t> bytes, uint16_t at = 0x0100)
    {
        uint16_t address = at;
        for (uint8_t b : bytes) cpu_->code[address++] = b;
        SIM51_Run(cpu_, at, 0);
        return g_sim51Active.clocks;
    }

    SIM51_CPU* cpu_ = nullptr;
};

TEST_F(Sim51Ops, EveryOpcodeCostsItsGridValueOnEveryPath)
{
    for (uint32_t opcode = 0; opcode < 256; ++opcode) {
        if (opcode == SIM51_TRAP_OPCODE) continue;
        for (uint8_t fill : {0x00, 0xFF}) {
            memset(g_sim51Active.ram, fill, sizeof g_sim51Active.ram);
            uint32_t clocks = Exec({static_cast<uint8_t>(opcode), 0x20, 0x05});
            EXPECT_EQ(clocks, GridCost(opcode)) << "opcode " << std::hex << opcode << " fill " << int(fill);
        }
    }
}

TEST_F(Sim51Ops, AddressesWrapInsideTheirMemories)
{
    cpu_->code[0x0001] = 0x77;
    Ram(SIM51_SFR_DPH) = 0xFF; Ram(SIM51_SFR_DPL) = 0xFF; A() = 0x02;
    Exec({0x93});   // MOVC A,@A+DPTR
    EXPECT_EQ(A(), 0x77);
    cpu_->code[0x0000] = 0x66;
    A() = 0x01;
    Exec({0x83}, 0xFFFE);   // MOVC A,@A+PC from the top of the code space
    EXPECT_EQ(A(), 0x66);
    A() = 0x99;
    Exec({0xF0});   // MOVX @DPTR,A at 0xFFFF
    EXPECT_EQ(cpu_->xram[0xFFFF], 0x99);
    Ram(SIM51_SFR_DPL) = 0xFF;
    Exec({0xA3});   // INC DPTR
    EXPECT_EQ(Ram(SIM51_SFR_DPL) | Ram(SIM51_SFR_DPH), 0);
    cpu_->startSp = 0xFF;
    A() = 0x42;
    Exec({0xC0, 0xE0});   // PUSH ACC at SP 0xFF lands in byte 0x00
    EXPECT_EQ(Ram(SIM51_SFR_SP), 0x00);
    EXPECT_EQ(Ram(0x00), 0x42);
    cpu_->code[0x0000] = 0x12;
    cpu_->code[0x0001] = 0x34;
    Exec({0x02}, 0xFFFF);   // LJMP with its operands at 0x0000 and 0x0001
    EXPECT_EQ(g_sim51Active.pc, 0x1234);
    Ram(0x00) = 0xC5;
    Upper(0xC5) = 0x3C;
    Ram(0xC5) = 0x99;
    Exec({0xE6});   // MOV A,@R0 with R0 = 0xC5 reads upper RAM, not an SFR
    EXPECT_EQ(A(), 0x3C);
}

// The run ends after the first instruction that leaves SP below the start SP
// and runs on otherwise: every opcode on random machines, with operands that
// name SP half of the time and start SPs where a push wraps to 0x00.
TEST_F(Sim51Ops, EveryInstructionThatDropsSpBelowTheStartEndsTheRun)
{
    std::mt19937 rng(51);
    uint8_t saved[sizeof g_sim51Active.ram];
    for (uint32_t opcode = 0; opcode < 256; ++opcode) {
        if (opcode == SIM51_TRAP_OPCODE) continue;
        for (int round = 0; round < 64; ++round) {
            auto operand = [&] { return static_cast<uint8_t>(rng() % 2 ? SIM51_SFR_SP : rng()); };
            uint8_t first = operand();
            uint8_t second = operand();
            cpu_->startSp = static_cast<uint8_t>(rng() % 4 ? rng() : 0xFF);
            for (uint8_t& b : g_sim51Active.ram) b = static_cast<uint8_t>(rng());
            memcpy(saved, g_sim51Active.ram, sizeof saved);
            uint32_t one = Exec({static_cast<uint8_t>(opcode), first, second});
            bool dropped = Ram(SIM51_SFR_SP) < cpu_->startSp;
            memcpy(g_sim51Active.ram, saved, sizeof saved);
            SIM51_Run(cpu_, 0x0100, 1000);
            EXPECT_EQ(g_sim51Active.clocks == one, dropped) << "opcode " << std::hex << opcode;
        }
    }
}

// Random bytes in every memory: whatever runs must stay in the machine (the
// sanitizer build checks the accesses); the budget ends every run.
TEST_F(Sim51Ops, RandomCodeRunsToItsBudget)
{
    std::mt19937 rng(2024);
    for (int round = 0; round < 4; ++round) {
        for (uint32_t a = 0; a < SIM51_CODE_SIZE; ++a) {
            uint8_t b = static_cast<uint8_t>(rng());
            cpu_->code[a] = b == SIM51_TRAP_OPCODE ? 0x00 : b;
        }
        for (uint8_t& b : g_sim51Active.ram) b = static_cast<uint8_t>(rng());
        cpu_->startSp = 0;
        SIM51_Run(cpu_, static_cast<uint16_t>(rng()), 200000);
        EXPECT_GT(g_sim51Active.clocks, 200000u);
        EXPECT_LE(g_sim51Active.clocks, 200020u);
    }
}

}  // namespace
