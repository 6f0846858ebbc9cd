// SIM51: processor records, image loading, the run loop, the module service
// trap and the readers through which native services see emulated memory.
#include "onboard/sim51.h"
#include "onboard/sim51_ops.h"
#include "foundation/log.h"
#include "foundation/memory.h"
#include "foundation/pool.h"
#include <cstdio>
#include <cstring>
#include <memory>

SIM51_ACTIVE g_sim51Active;
SIM51_BACKCALL_REGS g_sim51BackcallRegs;

// A code space and the number of CPUs that run it. Loaded images are listed,
// so that a CPU loading the same bytes again takes the listed copy.
struct SIM51_CODE_IMAGE {
    uint8_t bytes[SIM51_CODE_SIZE];
    uint32_t users;
    uint32_t listed;
    SIM51_CODE_IMAGE* next;
};

namespace {

SIM51_CODE_IMAGE* s_loadedImages = nullptr;

SIM51_CODE_IMAGE* SIM51_NewImage()
{
    MEMORY_SetTag("SIM51:code");
    auto* image = static_cast<SIM51_CODE_IMAGE*>(POOL_Alloc(sizeof(SIM51_CODE_IMAGE) + 1));
    if (!image) return nullptr;
    memset(image, 0, sizeof *image);
    image->users = 1;
    return image;
}

void SIM51_Unlist(SIM51_CODE_IMAGE* image)
{
    if (!image->listed) return;
    for (SIM51_CODE_IMAGE** link = &s_loadedImages; *link; link = &(*link)->next)
        if (*link == image) {
            *link = image->next;
            break;
        }
    image->listed = 0;
}

void SIM51_ReleaseImage(SIM51_CODE_IMAGE* image)
{
    if (!image || --image->users > 0) return;
    SIM51_Unlist(image);
    POOL_Free(image);
}

SIM51_CODE_IMAGE* SIM51_FindLoaded(const uint8_t* bytes)
{
    for (SIM51_CODE_IMAGE* image = s_loadedImages; image; image = image->next)
        if (memcmp(image->bytes, bytes, SIM51_CODE_SIZE) == 0) return image;
    return nullptr;
}

// Gives the CPU the code space bytes: a listed copy of them, its own image
// rewritten when no other CPU runs it, or a new image.
int SIM51_TakeCode(SIM51_CPU* cpu, const uint8_t* bytes)
{
    SIM51_CODE_IMAGE* image = SIM51_FindLoaded(bytes);
    if (image) {
        if (image == cpu->image) return 1;
        image->users++;
        SIM51_ReleaseImage(cpu->image);
    } else if (cpu->image->users == 1) {
        image = cpu->image;
        memcpy(image->bytes, bytes, SIM51_CODE_SIZE);
    } else {
        image = SIM51_NewImage();
        if (!image) {
            LOG_Printf("SIM51: nedostatek paměti pro kód.\n");
            return 0;
        }
        memcpy(image->bytes, bytes, SIM51_CODE_SIZE);
        SIM51_ReleaseImage(cpu->image);
    }
    if (!image->listed) {
        image->next = s_loadedImages;
        s_loadedImages = image;
        image->listed = 1;
    }
    cpu->image = image;
    cpu->code = image->bytes;
    if (g_sim51Active.cpu == cpu) g_sim51Active.code = cpu->code;
    return 1;
}

inline uint8_t& RecordIndirect(SIM51_CPU* cpu, uint8_t address)
{
    return address < 0x80 ? cpu->iram[address] : cpu->upperIram[address - 0x80];
}

inline uint8_t* ActiveIndirect(uint8_t address)
{
    return &g_sim51Active.ram[SIM51_IndirectIndex(address)];
}

// Chunk k of the internal RAM: iram then upperIram, as in SIM51_ACTIVE::ram.
uint8_t* RecordChunk(SIM51_CPU* cpu, uint32_t k)
{
    constexpr uint32_t lower = SIM51_IRAM_SIZE / SIM51_RAM_CHUNK;
    return k < lower ? cpu->iram + k * SIM51_RAM_CHUNK : cpu->upperIram + (k - lower) * SIM51_RAM_CHUNK;
}

bool IsZero(const uint8_t* bytes)
{
    uint64_t any = 0;
    for (uint32_t i = 0; i < SIM51_RAM_CHUNK; i += sizeof any) {
        uint64_t word;
        memcpy(&word, bytes + i, sizeof word);
        any |= word;
    }
    return any == 0;
}

// Chunks that stayed zero are neither read nor written: a program that uses
// part of its internal RAM costs only those lines of its record at a switch.
void SaveWorkingRam(SIM51_CPU* cpu)
{
    uint32_t live = cpu->liveChunks;
    for (uint32_t k = 0; k < SIM51_RAM_CHUNKS; ++k) {
        const uint8_t* working = g_sim51Active.ram + k * SIM51_RAM_CHUNK;
        if (!(live >> k & 1)) {
            if (IsZero(working)) continue;
            live |= 1u << k;
        }
        memcpy(RecordChunk(cpu, k), working, SIM51_RAM_CHUNK);
    }
    cpu->liveChunks = static_cast<uint8_t>(live);
}

void LoadWorkingRam(SIM51_CPU* cpu)
{
    const uint32_t live = cpu->liveChunks;
    for (uint32_t k = 0; k < SIM51_RAM_CHUNKS; ++k) {
        uint8_t* working = g_sim51Active.ram + k * SIM51_RAM_CHUNK;
        if (live >> k & 1) memcpy(working, RecordChunk(cpu, k), SIM51_RAM_CHUNK);
        else memset(working, 0, SIM51_RAM_CHUNK);
    }
}

// Makes the CPU the active one: the working internal RAM goes back to the
// record of the CPU active so far, and the CPU's own images come in.
void SIM51_Activate(SIM51_CPU* cpu)
{
    SIM51_ACTIVE& active = g_sim51Active;
    if (active.cpu == cpu) return;
    if (active.cpu) SaveWorkingRam(active.cpu);
    LoadWorkingRam(cpu);
    active.code = cpu->code;
    active.xram = cpu->xram;
    active.backcalls = cpu->backcalls;
    active.cpu = cpu;
}

const SIM51_BACKCALL* SIM51_FindBackcall(uint16_t address)
{
    const SIM51_BACKCALL* table = g_sim51Active.backcalls;
    for (uint32_t slot = 0; slot < SIM51_BACKCALL_SLOTS; ++slot) {
        if (table[slot].address == address && table[slot].function) return &table[slot];
        if (table[slot].address == 0) break;
    }
    return nullptr;
}

void SIM51_PopReturnAddress()
{
    SIM51_ACTIVE& active = g_sim51Active;
    uint8_t sp = active.ram[SIM51_SFR_SP];
    uint8_t high = *ActiveIndirect(sp);
    uint8_t low = *ActiveIndirect(static_cast<uint8_t>(sp - 1));
    active.ram[SIM51_SFR_SP] = static_cast<uint8_t>(sp - 2);
    active.pc = static_cast<uint16_t>(high << 8 | low);
    active.clocks += 16;
}

}  // namespace

SIM51_CPU* SIM51_CreateCpu()
{
    MEMORY_SetTag("SIM51:cpu");
    static_assert(alignof(SIM51_CPU) <= POOL_LINE);
    auto* cpu = static_cast<SIM51_CPU*>(POOL_AllocLine(sizeof(SIM51_CPU)));
    if (!cpu) return nullptr;
    memset(cpu, 0, sizeof(SIM51_CPU));
    cpu->image = SIM51_NewImage();
    if (!cpu->image) {
        POOL_FreeLine(cpu);
        return nullptr;
    }
    cpu->code = cpu->image->bytes;
    return cpu;
}

void SIM51_DestroyCpu(SIM51_CPU* cpu)
{
    if (!cpu) return;
    if (g_sim51Active.cpu == cpu) {
        g_sim51Active.cpu = nullptr;
        g_sim51Active.code = nullptr;
        g_sim51Active.xram = nullptr;
        g_sim51Active.backcalls = nullptr;
    }
    SIM51_ReleaseImage(cpu->image);
    POOL_FreeLine(cpu);
}

void SIM51_ClearRam(SIM51_CPU* cpu)
{
    memset(cpu->xram, 0, sizeof cpu->xram);
    memset(cpu->iram, 0, sizeof cpu->iram);
    memset(cpu->upperIram, 0, sizeof cpu->upperIram);
    cpu->liveChunks = 0;
    // The working copies of an active CPU would otherwise bring the old
    // contents back at the next switch.
    if (g_sim51Active.cpu == cpu) memset(g_sim51Active.ram, 0, sizeof g_sim51Active.ram);
}

// The file is read whole into a buffer first, so that a file that cannot be
// read to its end leaves the code space as it was.
int SIM51_LoadImage(SIM51_CPU* cpu, const char* path)
{
    FILE* file = fopen(path, "rb");
    if (!file) {
        LOG_Printf("SIM51: soubor \"%s\" neexistuje.\n", path);
        return 0;
    }
    long length = -1;
    if (fseek(file, 0, SEEK_END) == 0) length = ftell(file);
    if (length > static_cast<long>(SIM51_CODE_SIZE)) {
        LOG_Printf("SIM51: délka binárního souboru \"%s\" je větší než 64KB.\n", path);
        fclose(file);
        return 0;
    }
    std::unique_ptr<uint8_t[]> buffer(new uint8_t[SIM51_CODE_SIZE]);
    // The read must end exactly at the end of the file: a folder opens but
    // fails to read, a file that changed since its length was taken differs.
    bool complete = length >= 0 && fseek(file, 0, SEEK_SET) == 0 &&
                    fread(buffer.get(), 1, static_cast<size_t>(length), file) == static_cast<size_t>(length) &&
                    fgetc(file) == EOF && !ferror(file);
    fclose(file);
    if (!complete) return 0;
    // Beyond the file the code space keeps what it held.
    memcpy(buffer.get() + length, cpu->code + length, SIM51_CODE_SIZE - static_cast<size_t>(length));
    if (!SIM51_TakeCode(cpu, buffer.get())) return 0;
    cpu->imageLength = static_cast<uint16_t>(length);
    if (length > SIM51_IMAGE_START_SP) cpu->startSp = cpu->code[SIM51_IMAGE_START_SP];
    return 1;
}

int SIM51_RegisterBackcall(SIM51_CPU* cpu, uint16_t address, SIM51_BACKCALL_FN function)
{
    for (uint32_t slot = 0; slot < SIM51_BACKCALL_SLOTS; ++slot) {
        if (cpu->backcalls[slot].function) continue;
        cpu->backcalls[slot].address = address;
        cpu->backcalls[slot].function = function;
        return 1;
    }
    return 0;
}

void SIM51_Run(SIM51_CPU* cpu, uint16_t entry, uint32_t clockLimit)
{
    SIM51_Activate(cpu);
    SIM51_ACTIVE& active = g_sim51Active;
    const uint8_t startSp = cpu->startSp;
    active.ram[SIM51_SFR_SP] = startSp;
    active.pc = entry;
    active.clocks = 0;
    SIM51_RunLoop(startSp, clockLimit);
}

void SIM51_RunFromReset(SIM51_CPU* cpu)
{
    SIM51_Run(cpu, 0x0000, SIM51_RESET_CLOCK_LIMIT);
}

void SIM51_WriteDirectWord(SIM51_CPU* cpu, uint8_t address, uint16_t value)
{
    uint8_t next = static_cast<uint8_t>(address + 1);
    RecordIndirect(cpu, address) = static_cast<uint8_t>(value);
    RecordIndirect(cpu, next) = static_cast<uint8_t>(value >> 8);
    for (uint8_t written : {address, next})
        cpu->liveChunks = static_cast<uint8_t>(cpu->liveChunks | 1u << SIM51_IndirectIndex(written) / SIM51_RAM_CHUNK);
    if (g_sim51Active.cpu != cpu) return;
    *ActiveIndirect(address) = static_cast<uint8_t>(value);
    *ActiveIndirect(next) = static_cast<uint8_t>(value >> 8);
}

void SIM51_OpA5Backcall()
{
    SIM51_ACTIVE& active = g_sim51Active;
    uint16_t trapAddress = static_cast<uint16_t>(active.pc - 1);
    const SIM51_BACKCALL* hit = SIM51_FindBackcall(trapAddress);
    if (!hit) {
        LOG_Printf("SIM51: neregistrovaná backcall funkce na adrese %04X\n", trapAddress);
        SIM51_PopReturnAddress();
        return;
    }
    SIM51_BACKCALL_REGS& regs = g_sim51BackcallRegs;
    regs.a = active.ram[SIM51_SFR_ACC];
    regs.b = active.ram[SIM51_SFR_B];
    regs.dpl = active.ram[SIM51_SFR_DPL];
    regs.dph = active.ram[SIM51_SFR_DPH];
    regs.dptr = static_cast<uint16_t>(regs.dph << 8 | regs.dpl);
    regs.pc = active.pc;
    regs.iram = active.ram;
    regs.upperIram = active.ram + SIM51_IRAM_SIZE;
    regs.xram = active.xram;
    regs.code = active.code;
    regs.cpu = active.cpu;
    hit->function(&regs);
    active.ram[SIM51_SFR_DPL] = regs.dpl;
    active.ram[SIM51_SFR_DPH] = regs.dph;
    active.ram[SIM51_SFR_ACC] = regs.a;
    active.ram[SIM51_SFR_B] = regs.b;
    active.pc = regs.pc;
}

void SIM51_BackcallReturn(SIM51_BACKCALL_REGS* regs)
{
    SIM51_PopReturnAddress();
    regs->pc = g_sim51Active.pc;
}

int SIM51_PtrInit(SIM51_GENERIC_PTR* ptr, uint8_t space, uint16_t address)
{
    if (space > 2 || !g_sim51Active.cpu) return 0;
    ptr->space = space;
    ptr->address = address;
    if (space == 0) ptr->host = ActiveIndirect(static_cast<uint8_t>(address));
    else if (space == 1) ptr->host = &g_sim51Active.xram[address];
    else ptr->host = &g_sim51Active.code[address];
    return 1;
}

uint8_t SIM51_PtrRead(const SIM51_GENERIC_PTR* ptr)
{
    return *ptr->host;
}

void SIM51_PtrNext(SIM51_GENERIC_PTR* ptr)
{
    SIM51_PtrInit(ptr, ptr->space, static_cast<uint16_t>(ptr->address + 1));
}

void SIM51_StackReaderInit(SIM51_STACK_READER* reader)
{
    reader->address = g_sim51Active.ram[SIM51_SFR_SP];
    reader->host = ActiveIndirect(reader->address);
}

// Below address 0x00 the reader continues at 0xFF (upper internal RAM), as
// the stack pointer itself would.
uint8_t SIM51_StackPop(SIM51_STACK_READER* reader)
{
    uint8_t value = *reader->host;
    reader->address = static_cast<uint8_t>(reader->address - 1);
    reader->host = ActiveIndirect(reader->address);
    return value;
}
