// SIM51: the 8051 processor emulator of the on-board modules. Each module owns
// one SIM51_CPU; one CPU at a time is active and its internal RAM lives in the
// program-wide working set g_sim51Active while it is. Code reaches native
// module services through the trap byte 0xA5 at registered code addresses.
#pragma once
#include <cstdint>

constexpr uint32_t SIM51_CODE_SIZE = 65536;
constexpr uint32_t SIM51_XRAM_SIZE = 65536;
constexpr uint32_t SIM51_IRAM_SIZE = 256;       // direct addresses; 0x80..0xFF are the SFRs
constexpr uint32_t SIM51_UPPER_SIZE = 128;      // indirect addresses 0x80..0xFF
constexpr uint32_t SIM51_BACKCALL_SLOTS = 256;
constexpr uint32_t SIM51_RESET_CLOCK_LIMIT = 11000000;
constexpr uint8_t SIM51_TRAP_OPCODE = 0xA5;

// Cells of the image that the module definition reads after loading.
constexpr uint16_t SIM51_IMAGE_START_SP = 0xFFFC;
constexpr uint16_t SIM51_IMAGE_VERSION_MAJOR = 0xFFFD;
constexpr uint16_t SIM51_IMAGE_VERSION_MINOR = 0xFFFE;

// Special function registers that instructions give a meaning to.
constexpr uint8_t SIM51_SFR_SP = 0x81;
constexpr uint8_t SIM51_SFR_DPL = 0x82;
constexpr uint8_t SIM51_SFR_DPH = 0x83;
constexpr uint8_t SIM51_SFR_P2 = 0xA0;
constexpr uint8_t SIM51_SFR_PSW = 0xD0;
constexpr uint8_t SIM51_SFR_ACC = 0xE0;
constexpr uint8_t SIM51_SFR_B = 0xF0;

// PSW bits.
constexpr uint8_t SIM51_PSW_CY = 0x80;
constexpr uint8_t SIM51_PSW_AC = 0x40;
constexpr uint8_t SIM51_PSW_OV = 0x04;
constexpr uint8_t SIM51_PSW_P = 0x01;

struct SIM51_CPU;

// The machine as a module service sees it. Only a, b, dpl, dph and pc are
// copied back into the machine when the service returns.
struct SIM51_BACKCALL_REGS {
    uint8_t a;
    uint8_t b;
    uint8_t dpl;
    uint8_t dph;
    uint16_t dptr;      // dph:dpl on entry
    uint16_t pc;        // the address after the trap byte: the service reached is pc - 1
    uint8_t* iram;      // the working 256-byte internal RAM image
    uint8_t* upperIram; // the working upper 128 bytes
    uint8_t* xram;
    uint8_t* code;
    SIM51_CPU* cpu;
};

typedef void (*SIM51_BACKCALL_FN)(SIM51_BACKCALL_REGS* regs);

struct SIM51_BACKCALL {
    uint16_t address;
    SIM51_BACKCALL_FN function;   // null: the slot is free
};

struct SIM51_CODE_IMAGE;

constexpr uint32_t SIM51_RAM_CHUNK = 64;
constexpr uint32_t SIM51_RAM_CHUNKS = (SIM51_IRAM_SIZE + SIM51_UPPER_SIZE) / SIM51_RAM_CHUNK;

// The internal RAM starts the record on a cache line, the fields a run reads
// follow it; the external RAM, of which a module uses a few lines, comes
// last. Write the internal RAM of the record only through this module's
// functions: a switch between CPUs skips the chunks it knows to be zero.
struct alignas(SIM51_RAM_CHUNK) SIM51_CPU {
    uint8_t iram[SIM51_IRAM_SIZE];
    uint8_t upperIram[SIM51_UPPER_SIZE];
    // The 64 KiB code space. A new CPU has its own, zeroed; once an image is
    // loaded, every CPU that loaded byte-identical code shares one copy, so
    // the code space is read only from then on.
    uint8_t* code;
    SIM51_CODE_IMAGE* image;   // the record that holds code
    uint8_t startSp;
    uint8_t liveChunks;        // bit k clear: 64-byte chunk k of iram, upperIram is zero
    uint16_t imageLength;   // bytes read by the loader (a 65536-byte file stores 0)
    SIM51_BACKCALL backcalls[SIM51_BACKCALL_SLOTS];
    uint8_t xram[SIM51_XRAM_SIZE];
};

// The working set of the active CPU. ram holds the 256-byte internal RAM image
// (direct addresses) followed by the 128 bytes of upper internal RAM, so that
// an indirect address a lands at ram[a + (a & 0x80)].
struct SIM51_ACTIVE {
    uint16_t pc;
    uint32_t clocks;
    uint8_t ram[SIM51_IRAM_SIZE + SIM51_UPPER_SIZE];
    uint8_t* code;
    uint8_t* xram;
    SIM51_BACKCALL* backcalls;
    SIM51_CPU* cpu;   // null when no CPU is active
};

extern SIM51_ACTIVE g_sim51Active;
extern SIM51_BACKCALL_REGS g_sim51BackcallRegs;

// A pointer into one memory of the active CPU: space 0 internal RAM by
// indirect addressing, 1 external RAM, 2 code space.
struct SIM51_GENERIC_PTR {
    uint8_t space;
    uint16_t address;
    uint8_t* host;
};

// Reads the active stack downward.
struct SIM51_STACK_READER {
    uint8_t address;
    uint8_t* host;
};

SIM51_CPU* SIM51_CreateCpu();
void SIM51_DestroyCpu(SIM51_CPU* cpu);
void SIM51_ClearRam(SIM51_CPU* cpu);
int SIM51_LoadImage(SIM51_CPU* cpu, const char* path);
int SIM51_RegisterBackcall(SIM51_CPU* cpu, uint16_t address, SIM51_BACKCALL_FN function);
void SIM51_Run(SIM51_CPU* cpu, uint16_t entry, uint32_t clockLimit);
void SIM51_RunFromReset(SIM51_CPU* cpu);
void SIM51_WriteDirectWord(SIM51_CPU* cpu, uint8_t address, uint16_t value);
void SIM51_BackcallReturn(SIM51_BACKCALL_REGS* regs);

int SIM51_PtrInit(SIM51_GENERIC_PTR* ptr, uint8_t space, uint16_t address);
uint8_t SIM51_PtrRead(const SIM51_GENERIC_PTR* ptr);
void SIM51_PtrNext(SIM51_GENERIC_PTR* ptr);

void SIM51_StackReaderInit(SIM51_STACK_READER* reader);
uint8_t SIM51_StackPop(SIM51_STACK_READER* reader);

// Index of an indirect internal address in SIM51_ACTIVE::ram.
inline uint32_t SIM51_IndirectIndex(uint8_t address)
{
    return static_cast<uint32_t>(address) + (address & 0x80u);
}
