// The emulator core: runs from an entry to its return or budget, the module
// service trap, switching between CPUs, image loading and the readers that
// native services use on emulated memory.
#include "onboard/sim51.h"
#include "tests/support/test_support.h"
#include <gtest/gtest.h>
#include <initializer_list>
#include <string>

namespace {

SIM51_CPU* NewCpu(uint8_t startSp)
{
    SIM51_CPU* cpu = SIM51_CreateCpu();
    cpu->startSp = startSp;
    return cpu;
}

void Put(SIM51_CPU* cpu, uint16_t address, std::initializer_list<uint8_t> bytes)
{
    for (uint8_t b : bytes) cpu->code[address++] = b;
}

struct ServiceSeen {
    uint16_t pc;
    uint32_t clocks;
    int calls;
} g_seen;

void ReturningService(SIM51_BACKCALL_REGS* regs)
{
    g_seen = {regs->pc, g_sim51Active.clocks, g_seen.calls + 1};
    regs->a = 0x01;   // odd parity, but P is not recomputed
    regs->b = 0x22;
    regs->dph = 0x33;
    regs->dpl = 0x44;
    regs->iram[0x30] = 0x55;
    SIM51_BackcallReturn(regs);
}

TEST(Sim51Run, EntryThatReturnsRunsOneInstructionAndABudgetEndsALoop)
{
    SIM51_CPU* cpu = NewCpu(0x30);
    Put(cpu, 0x0200, {0x22, 0x00});   // RET; a NOP that must not run
    SIM51_Run(cpu, 0x0200, 1000);
    EXPECT_EQ(g_sim51Active.clocks, 16u);
    EXPECT_EQ(g_sim51Active.ram[SIM51_SFR_SP], 0x2E);
    // The budget ends an endless loop after the instruction that passes it.
    Put(cpu, 0x0000, {0x80, 0xFE});   // SJMP to itself, 12 clocks
    SIM51_Run(cpu, 0x0000, 100);
    EXPECT_EQ(g_sim51Active.clocks, 108u);
    SIM51_Run(cpu, 0x0000, 0);   // at least one instruction always runs
    EXPECT_EQ(g_sim51Active.clocks, 12u);
    SIM51_DestroyCpu(cpu);
}

TEST(Sim51Trap, ServiceSeesTheMachineAndReturnsToTheCaller)
{
    SIM51_CPU* cpu = NewCpu(0x30);
    cpu->code[0xFF21] = SIM51_TRAP_OPCODE;
    ASSERT_EQ(SIM51_RegisterBackcall(cpu, 0xFF21, ReturningService), 1);
    // LCALL 0xFF21; MOV 0x31,PSW; MOV 0x32,A; RET
    Put(cpu, 0x0100, {0x12, 0xFF, 0x21, 0x85, 0xD0, 0x31, 0xF5, 0x32, 0x22});
    g_seen = {};
    SIM51_Run(cpu, 0x0100, 100000);
    EXPECT_EQ(g_seen.calls, 1);
    EXPECT_EQ(g_seen.pc, 0xFF22);
    EXPECT_EQ(g_seen.clocks, 16u);   // the trap itself adds nothing
    const uint8_t* ram = g_sim51Active.ram;
    EXPECT_EQ(ram[0x30], 0x55);
    EXPECT_EQ(ram[0x31] & SIM51_PSW_P, 0);
    EXPECT_EQ(ram[0x32], 0x01);
    EXPECT_EQ(ram[SIM51_SFR_B], 0x22);
    EXPECT_EQ(ram[SIM51_SFR_DPH], 0x33);
    EXPECT_EQ(ram[SIM51_SFR_DPL], 0x44);
    EXPECT_EQ(g_sim51Active.clocks, 16u + 16u + 12u + 4u + 16u);
    SIM51_DestroyCpu(cpu);
}

TEST(Sim51Trap, UnregisteredTrapActsAsReturnAndTheTableHolds256Services)
{
    SIM51_CPU* cpu = NewCpu(0x30);
    cpu->code[0xFF30] = SIM51_TRAP_OPCODE;
    Put(cpu, 0x0100, {0x12, 0xFF, 0x30, 0x05, 0x40, 0x22});   // LCALL 0xFF30; INC 0x40; RET
    SIM51_Run(cpu, 0x0100, 100000);
    EXPECT_EQ(g_sim51Active.ram[0x40], 1);
    EXPECT_EQ(g_sim51Active.clocks, 16u + 16u + 8u + 16u);
    // The table holds 256 services and refuses the next.
    for (uint32_t i = 0; i < SIM51_BACKCALL_SLOTS; ++i)
        EXPECT_EQ(SIM51_RegisterBackcall(cpu, static_cast<uint16_t>(0xF000 + i), ReturningService), 1);
    EXPECT_EQ(SIM51_RegisterBackcall(cpu, 0xFFFE, ReturningService), 0);
    SIM51_DestroyCpu(cpu);
}

TEST(Sim51Cpus, EachRunSeesItsOwnInternalRam)
{
    SIM51_CPU* first = NewCpu(0x30);
    SIM51_CPU* second = NewCpu(0x30);
    Put(first, 0x0000, {0x05, 0x50, 0x22});    // INC 0x50; RET
    Put(second, 0x0000, {0x15, 0x50, 0x22});   // DEC 0x50; RET
    SIM51_Run(first, 0x0000, 1000);
    SIM51_Run(second, 0x0000, 1000);
    EXPECT_EQ(first->iram[0x50], 0x01);   // written back at the switch
    EXPECT_EQ(g_sim51Active.ram[0x50], 0xFF);
    SIM51_Run(first, 0x0000, 1000);
    EXPECT_EQ(g_sim51Active.ram[0x50], 0x02);
    EXPECT_EQ(second->iram[0x50], 0xFF);
    SIM51_DestroyCpu(first);
    EXPECT_EQ(g_sim51Active.cpu, nullptr);
    SIM51_Run(second, 0x0000, 1000);   // loads its record again
    EXPECT_EQ(g_sim51Active.ram[0x50], 0xFE);
    SIM51_ClearRam(second);
    EXPECT_EQ(g_sim51Active.ram[0x50], 0x00);
    SIM51_DestroyCpu(second);
}

// What a run or a direct word writes into internal RAM that was zero so far
// survives the switches to another CPU and back, and stays with its CPU.
TEST(Sim51Cpus, RamWrittenIntoZeroChunksSurvivesSwitches)
{
    SIM51_CPU* first = NewCpu(0x30);
    SIM51_CPU* second = NewCpu(0x30);
    Put(first, 0x0000, {0x78, 0xC0, 0x76, 0x77, 0x22});   // MOV R0,#0xC0; MOV @R0,#0x77; RET
    Put(first, 0x0010, {0x22});
    Put(second, 0x0000, {0x22});
    SIM51_Run(first, 0x0000, 1000);
    SIM51_WriteDirectWord(second, 0xF0, 0x1234);   // second is not active
    SIM51_Run(second, 0x0000, 1000);
    EXPECT_EQ(first->upperIram[0x40], 0x77);
    EXPECT_EQ(g_sim51Active.ram[SIM51_IndirectIndex(0xF0)], 0x34);
    EXPECT_EQ(g_sim51Active.ram[SIM51_IndirectIndex(0xF1)], 0x12);
    EXPECT_EQ(g_sim51Active.ram[SIM51_IndirectIndex(0xC0)], 0x00);
    SIM51_Run(first, 0x0010, 1000);
    EXPECT_EQ(g_sim51Active.ram[SIM51_IndirectIndex(0xC0)], 0x77);
    EXPECT_EQ(g_sim51Active.ram[SIM51_IndirectIndex(0xF0)], 0x00);
    SIM51_DestroyCpu(first);
    SIM51_DestroyCpu(second);
}

TEST(Sim51Readers, StackPopCrossesFromUpperToLowerRamAndWraps)
{
    SIM51_CPU* cpu = NewCpu(0x81);
    Put(cpu, 0x0000, {0x00});
    SIM51_Run(cpu, 0x0000, 0);   // leaves SP at 0x81
    uint8_t* ram = g_sim51Active.ram;
    ram[SIM51_IndirectIndex(0x81)] = 0xA1;
    ram[SIM51_IndirectIndex(0x80)] = 0xA0;
    ram[0x7F] = 0x7F;
    ram[0x81] = 0x81;   // the SP itself, never read as stack
    SIM51_STACK_READER reader;
    SIM51_StackReaderInit(&reader);
    EXPECT_EQ(SIM51_StackPop(&reader), 0xA1);
    EXPECT_EQ(SIM51_StackPop(&reader), 0xA0);
    EXPECT_EQ(SIM51_StackPop(&reader), 0x7F);
    ram[0x00] = 0x10;
    ram[SIM51_IndirectIndex(0xFF)] = 0xEF;
    reader.address = 0x00;
    reader.host = &ram[0];
    EXPECT_EQ(SIM51_StackPop(&reader), 0x10);
    EXPECT_EQ(SIM51_StackPop(&reader), 0xEF);
    SIM51_DestroyCpu(cpu);
}

TEST(Sim51Readers, GenericPointersAndDirectWordsWrap)
{
    SIM51_CPU* cpu = NewCpu(0x30);
    Put(cpu, 0x0000, {0x22});
    SIM51_Run(cpu, 0x0000, 0);
    cpu->xram[0xFFFF] = 0x11;
    cpu->xram[0x0000] = 0x22;
    SIM51_GENERIC_PTR ptr;
    ASSERT_EQ(SIM51_PtrInit(&ptr, 1, 0xFFFF), 1);
    EXPECT_EQ(SIM51_PtrRead(&ptr), 0x11);
    SIM51_PtrNext(&ptr);
    EXPECT_EQ(SIM51_PtrRead(&ptr), 0x22);
    g_sim51Active.ram[SIM51_IndirectIndex(0xFF)] = 0x33;
    ASSERT_EQ(SIM51_PtrInit(&ptr, 0, 0x01FF), 1);   // taken modulo 256, upper RAM
    EXPECT_EQ(SIM51_PtrRead(&ptr), 0x33);
    cpu->code[0x1234] = 0x44;
    ASSERT_EQ(SIM51_PtrInit(&ptr, 2, 0x1234), 1);
    EXPECT_EQ(SIM51_PtrRead(&ptr), 0x44);
    EXPECT_EQ(SIM51_PtrInit(&ptr, 3, 0), 0);

    SIM51_WriteDirectWord(cpu, 0x7F, 0xBBAA);
    EXPECT_EQ(cpu->iram[0x7F], 0xAA);
    EXPECT_EQ(cpu->upperIram[0x00], 0xBB);
    EXPECT_EQ(g_sim51Active.ram[0x7F], 0xAA);
    EXPECT_EQ(g_sim51Active.ram[SIM51_IndirectIndex(0x80)], 0xBB);
    SIM51_WriteDirectWord(cpu, 0xFF, 0xDDCC);
    EXPECT_EQ(cpu->upperIram[0x7F], 0xCC);
    EXPECT_EQ(cpu->iram[0x00], 0xDD);
    SIM51_DestroyCpu(cpu);
}

class Sim51Image : public ::testing::Test {
protected:
    void SetUp() override { dir_ = testsupport::MakeTempDir("sim51-image"); }
    std::string Image(const std::string& name, size_t length, char fill = '\x5A')
    {
        std::string bytes(length, fill);
        if (length > 0xFFFC) bytes[0xFFFC] = '\x70';
        testsupport::WriteFile(dir_ + "/" + name, bytes);
        return dir_ + "/" + name;
    }
    std::string dir_;
};

TEST_F(Sim51Image, LoadsUpTo64KAndRecordsTheLength)
{
    SIM51_CPU* cpu = SIM51_CreateCpu();
    ASSERT_EQ(SIM51_LoadImage(cpu, Image("module.bin", 65535).c_str()), 1);
    EXPECT_EQ(cpu->imageLength, 65535);
    EXPECT_EQ(cpu->code[0x1000], 0x5A);
    EXPECT_EQ(cpu->code[0xFFFF], 0x00);
    EXPECT_EQ(cpu->startSp, 0x70);
    ASSERT_EQ(SIM51_LoadImage(cpu, Image("full.bin", 65536).c_str()), 1);
    EXPECT_EQ(cpu->imageLength, 0);
    SIM51_DestroyCpu(cpu);
}

// Machines that loaded the same bytes run one copy of them; a machine that
// loads other bytes later gets its own again, and the copy outlives any one
// of its machines.
TEST_F(Sim51Image, IdenticalImagesShareOneCodeSpace)
{
    SIM51_CPU* a = SIM51_CreateCpu();
    SIM51_CPU* b = SIM51_CreateCpu();
    SIM51_CPU* c = SIM51_CreateCpu();
    std::string same = Image("same.bin", 65535);
    ASSERT_EQ(SIM51_LoadImage(a, same.c_str()), 1);
    ASSERT_EQ(SIM51_LoadImage(b, same.c_str()), 1);
    ASSERT_EQ(SIM51_LoadImage(c, Image("short.bin", 100).c_str()), 1);
    EXPECT_EQ(a->code, b->code);
    EXPECT_NE(a->code, c->code);
    EXPECT_EQ(c->code[0xFFFC], 0x00);
    SIM51_Run(b, 0x0000, 0);   // b active while its code changes under it
    ASSERT_EQ(SIM51_LoadImage(b, Image("other.bin", 200, '\x11').c_str()), 1);
    EXPECT_NE(a->code, b->code);
    EXPECT_EQ(g_sim51Active.code, b->code);
    EXPECT_EQ(b->code[150], 0x11);
    EXPECT_EQ(b->code[0xFFFC], 0x70);   // beyond the file the earlier image stays
    SIM51_DestroyCpu(b);
    SIM51_DestroyCpu(c);
    EXPECT_EQ(a->code[0xFFFC], 0x70);
    SIM51_DestroyCpu(a);
}

TEST_F(Sim51Image, RefusedFilesLeaveTheCodeSpaceUntouched)
{
    SIM51_CPU* cpu = SIM51_CreateCpu();
    EXPECT_EQ(SIM51_LoadImage(cpu, Image("big.bin", 65537).c_str()), 0);
    EXPECT_EQ(SIM51_LoadImage(cpu, (dir_ + "/missing.bin").c_str()), 0);
    EXPECT_EQ(SIM51_LoadImage(cpu, dir_.c_str()), 0);   // a folder cannot be read
    for (uint32_t a = 0; a < SIM51_CODE_SIZE; ++a) ASSERT_EQ(cpu->code[a], 0) << a;
    EXPECT_EQ(cpu->imageLength, 0);
    SIM51_DestroyCpu(cpu);
}

}  // namespace
