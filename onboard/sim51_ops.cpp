// SIM51: the 256 opcode handlers, the run loop that executes them and a table
// of single steps. The handlers are small templates over the operand kinds and
// work on a CORE: the PC, the clock count, A, PSW and the register bank of the
// running machine. The run loop holds its CORE in locals, so that these stay
// in registers from one instruction to the next. While a CORE runs, the bytes
// ACC and PSW of the internal RAM image are stale: they are brought up to date
// before an instruction reads them through a direct or bit address, before a
// module service runs and when the run ends. SP, B, DPTR and the rest of the
// internal RAM live only in g_sim51Active. Every address computed from
// emulated state is an 8-bit or 16-bit value and so stays inside its memory.
#include "onboard/sim51_ops.h"
#include "onboard/sim51.h"
#include <array>
#include <bit>
#include <cstring>

// Every helper and handler is compiled into the run loop; a call left in it
// would force the CORE out of registers.
#define SIM51_INLINE [[gnu::always_inline]] inline

namespace {

constexpr std::array<uint8_t, 256> MakeParityTable()
{
    std::array<uint8_t, 256> table{};
    for (uint32_t v = 0; v < 256; ++v) {
        uint32_t ones = 0;
        for (uint32_t b = v; b; b >>= 1) ones += b & 1u;
        table[v] = static_cast<uint8_t>(ones & 1u);
    }
    return table;
}

// Byte address and mask of each bit address: 0x00..0x7F are the bits of
// bytes 0x20..0x2F, 0x80..0xFF the bits of the SFR at (bit & 0xF8).
constexpr std::array<uint8_t, 256> MakeBitByteTable()
{
    std::array<uint8_t, 256> table{};
    for (uint32_t bit = 0; bit < 256; ++bit)
        table[bit] = static_cast<uint8_t>(bit < 0x80 ? 0x20 + bit / 8 : bit & 0xF8);
    return table;
}

constexpr std::array<uint8_t, 256> MakeBitMaskTable()
{
    std::array<uint8_t, 256> table{};
    for (uint32_t bit = 0; bit < 256; ++bit) table[bit] = static_cast<uint8_t>(1u << (bit & 7));
    return table;
}

// CY, AC and OV of an addition or subtraction r = a +/- b (+/- carry), indexed
// by (a ^ b ^ r) & 0x1FF: bit 8 is the carry (borrow) out of bit 7, bit 4 the
// carry into bit 4, and bit 7 the carry into bit 7, which differs from the
// carry out exactly on a signed overflow.
constexpr std::array<uint8_t, 512> MakeArithmeticFlagTable()
{
    std::array<uint8_t, 512> table{};
    for (uint32_t x = 0; x < 512; ++x) {
        uint32_t cy = x >> 8 & 1u;
        uint32_t ov = (x >> 7 & 1u) ^ cy;
        table[x] = static_cast<uint8_t>((cy ? SIM51_PSW_CY : 0) | (x & 0x10 ? SIM51_PSW_AC : 0) |
                                        (ov ? SIM51_PSW_OV : 0));
    }
    return table;
}

constexpr std::array<uint8_t, 256> kParity = MakeParityTable();
constexpr std::array<uint8_t, 512> kArithmeticFlags = MakeArithmeticFlagTable();
constexpr std::array<uint8_t, 256> kBitByte = MakeBitByteTable();
constexpr std::array<uint8_t, 256> kBitMask = MakeBitMaskTable();

constexpr SIM51_ACTIVE& S = g_sim51Active;

// The registers of the running machine that the run loop keeps in locals.
// psw holds PSW except bit 0, which holds P XOR parity(A): writing A then
// only clears that bit, and the parity is looked up only when PSW is read.
// The clock count is kept as what is left of the run's clock limit, so that
// one subtraction per instruction both counts and tells when the limit is
// passed (the budget turns negative).
struct CORE {
    uint16_t pc;
    int64_t budget;   // the clock limit less the clocks so far
    int64_t limit;
    uint8_t a;
    uint8_t psw;
    uint8_t* bank;   // R0 of the register bank PSW selects
    const uint8_t* code;
    uint8_t* xram;
};

SIM51_INLINE uint8_t* Bank(uint8_t psw) { return &S.ram[psw & 0x18u]; }

SIM51_INLINE uint8_t PswValue(const CORE& c) { return static_cast<uint8_t>(c.psw ^ kParity[c.a]); }

SIM51_INLINE CORE CoreLoad(int64_t limit)
{
    uint8_t a = S.ram[SIM51_SFR_ACC];
    uint8_t psw = S.ram[SIM51_SFR_PSW];
    return CORE{S.pc, limit - S.clocks, limit, a, static_cast<uint8_t>(psw ^ kParity[a]), Bank(psw), S.code, S.xram};
}

// Brings ACC and PSW of the internal RAM image up to date.
SIM51_INLINE void SyncAccPsw(const CORE& c)
{
    S.ram[SIM51_SFR_ACC] = c.a;
    S.ram[SIM51_SFR_PSW] = PswValue(c);
}

SIM51_INLINE void CoreStore(const CORE& c)
{
    S.pc = c.pc;
    S.clocks = static_cast<uint32_t>(c.limit - c.budget);
    SyncAccPsw(c);
}

// ---- machine access -------------------------------------------------------

SIM51_INLINE uint8_t Fetch(CORE& c)
{
    uint8_t value = c.code[c.pc];
    c.pc = static_cast<uint16_t>(c.pc + 1);
    return value;
}

// The SFRs that are not held in the CORE.
SIM51_INLINE uint8_t& Sfr(uint8_t address) { return S.ram[address]; }
SIM51_INLINE uint8_t& Sp() { return S.ram[SIM51_SFR_SP]; }
SIM51_INLINE uint8_t Cy(const CORE& c) { return c.psw >> 7; }
SIM51_INLINE uint8_t& Reg(const CORE& c, uint32_t n) { return c.bank[n]; }
SIM51_INLINE uint8_t& Indirect(uint8_t address) { return S.ram[SIM51_IndirectIndex(address)]; }
SIM51_INLINE uint16_t P2Address(uint8_t low) { return static_cast<uint16_t>(S.ram[SIM51_SFR_P2] << 8 | low); }

// DPL and DPH are neighbours, so DPTR is one 16-bit access on a little-endian host.
static_assert(SIM51_SFR_DPH == SIM51_SFR_DPL + 1);
SIM51_INLINE uint16_t Dptr()
{
    if constexpr (std::endian::native != std::endian::little)
        return static_cast<uint16_t>(S.ram[SIM51_SFR_DPH] << 8 | S.ram[SIM51_SFR_DPL]);
    uint16_t value;
    memcpy(&value, &S.ram[SIM51_SFR_DPL], sizeof value);
    return value;
}

SIM51_INLINE void SetDptr(uint16_t value)
{
    S.ram[SIM51_SFR_DPL] = static_cast<uint8_t>(value);
    S.ram[SIM51_SFR_DPH] = static_cast<uint8_t>(value >> 8);
}

// A write of A; P follows it.
SIM51_INLINE void SetA(CORE& c, uint8_t value)
{
    c.a = value;
    c.psw &= static_cast<uint8_t>(~SIM51_PSW_P);
}

// ACC and PSW are the only direct addresses held in the CORE. They, B and
// 0xC0 are the addresses with (address & 0xCF) == 0xC0, so that one
// comparison keeps every other direct access on the short path.
SIM51_INLINE bool MayBeInCore(uint8_t address) { return (address & 0xCF) == 0xC0; }

SIM51_INLINE uint8_t ReadDirect(const CORE& c, uint8_t address)
{
    if (MayBeInCore(address)) SyncAccPsw(c);
    return S.ram[address];
}

// A write through a direct address: writing ACC this way updates P, writing
// PSW stores the P it is given.
SIM51_INLINE void WriteDirect(CORE& c, uint8_t address, uint8_t value)
{
    S.ram[address] = value;
    if (!MayBeInCore(address)) return;
    if (address == SIM51_SFR_ACC) {
        SetA(c, value);
    } else if (address == SIM51_SFR_PSW) {
        c.psw = static_cast<uint8_t>(value ^ kParity[c.a]);
        c.bank = Bank(value);
    }
}

SIM51_INLINE void SetCy(CORE& c, uint32_t carry)
{
    c.psw = static_cast<uint8_t>((c.psw & ~SIM51_PSW_CY) | (carry ? SIM51_PSW_CY : 0));
}

SIM51_INLINE bool ReadBit(const CORE& c, uint8_t bit)
{
    return (ReadDirect(c, kBitByte[bit]) & kBitMask[bit]) != 0;
}

SIM51_INLINE void WriteBit(CORE& c, uint8_t bit, bool value)
{
    uint8_t address = kBitByte[bit];
    uint8_t mask = kBitMask[bit];
    uint8_t old = ReadDirect(c, address);
    WriteDirect(c, address, static_cast<uint8_t>(value ? old | mask : old & ~mask));
}

SIM51_INLINE void Push(uint8_t value)
{
    uint8_t sp = ++Sp();
    Indirect(sp) = value;
}

SIM51_INLINE uint8_t Pop()
{
    uint8_t sp = Sp();
    Sp() = static_cast<uint8_t>(sp - 1);
    return Indirect(sp);
}

SIM51_INLINE void PushPc(const CORE& c)
{
    Push(static_cast<uint8_t>(c.pc));
    Push(static_cast<uint8_t>(c.pc >> 8));
}

SIM51_INLINE void Jump(CORE& c, uint8_t rel) { c.pc = static_cast<uint16_t>(c.pc + static_cast<int8_t>(rel)); }

// ---- operand kinds ----------------------------------------------------------

struct Imm {
    SIM51_INLINE static uint8_t Get(CORE& c) { return Fetch(c); }
};
struct Dir {
    SIM51_INLINE static uint8_t Get(CORE& c) { return ReadDirect(c, Fetch(c)); }
};
struct AccOp {
    SIM51_INLINE static uint8_t Get(CORE& c) { return c.a; }
};
template <uint32_t I> struct AtR {
    SIM51_INLINE static uint8_t& Ref(CORE& c) { return Indirect(Reg(c, I)); }
    SIM51_INLINE static uint8_t Get(CORE& c) { return Ref(c); }
};
template <uint32_t N> struct Rn {
    SIM51_INLINE static uint8_t& Ref(CORE& c) { return Reg(c, N); }
    SIM51_INLINE static uint8_t Get(CORE& c) { return Ref(c); }
};

// ---- arithmetic ---------------------------------------------------------------

// A = result of a +/- operand; CY, AC and OV from the carries, P from A.
SIM51_INLINE void SetArithmeticResult(CORE& c, uint32_t operand, uint32_t result)
{
    uint32_t carries = (c.a ^ operand ^ result) & 0x1FF;
    c.a = static_cast<uint8_t>(result);
    c.psw = static_cast<uint8_t>((c.psw & 0x3A) | kArithmeticFlags[carries]);
}

SIM51_INLINE void AddToA(CORE& c, uint8_t operand, uint32_t carryIn)
{
    SetArithmeticResult(c, operand, c.a + operand + carryIn);
}

SIM51_INLINE void SubFromA(CORE& c, uint8_t operand, uint32_t borrowIn)
{
    SetArithmeticResult(c, operand, c.a - operand - borrowIn);
}

template <class Src> SIM51_INLINE void Add(CORE& c) { AddToA(c, Src::Get(c), 0); }
template <class Src> SIM51_INLINE void Addc(CORE& c) { AddToA(c, Src::Get(c), Cy(c)); }
template <class Src> SIM51_INLINE void Subb(CORE& c) { SubFromA(c, Src::Get(c), Cy(c)); }

SIM51_INLINE void IncA(CORE& c) { SetA(c, static_cast<uint8_t>(c.a + 1)); }
SIM51_INLINE void DecA(CORE& c) { SetA(c, static_cast<uint8_t>(c.a - 1)); }

SIM51_INLINE void IncDir(CORE& c)
{
    uint8_t d = Fetch(c);
    WriteDirect(c, d, static_cast<uint8_t>(ReadDirect(c, d) + 1));
}

SIM51_INLINE void DecDir(CORE& c)
{
    uint8_t d = Fetch(c);
    WriteDirect(c, d, static_cast<uint8_t>(ReadDirect(c, d) - 1));
}

template <class R> SIM51_INLINE void IncRef(CORE& c) { ++R::Ref(c); }
template <class R> SIM51_INLINE void DecRef(CORE& c) { --R::Ref(c); }
SIM51_INLINE void IncDptr(CORE&) { SetDptr(static_cast<uint16_t>(Dptr() + 1)); }

SIM51_INLINE void MulAB(CORE& c)
{
    uint32_t product = static_cast<uint32_t>(c.a) * Sfr(SIM51_SFR_B);
    Sfr(SIM51_SFR_B) = static_cast<uint8_t>(product >> 8);
    SetA(c, static_cast<uint8_t>(product));
    uint8_t psw = c.psw & static_cast<uint8_t>(~(SIM51_PSW_CY | SIM51_PSW_OV));
    c.psw = static_cast<uint8_t>(psw | (product > 0xFF ? SIM51_PSW_OV : 0));
}

SIM51_INLINE void DivAB(CORE& c)
{
    uint8_t divisor = Sfr(SIM51_SFR_B);
    c.psw &= static_cast<uint8_t>(~(SIM51_PSW_CY | SIM51_PSW_OV));
    if (divisor == 0) {
        c.psw |= SIM51_PSW_OV;
        return;
    }
    uint8_t dividend = c.a;
    Sfr(SIM51_SFR_B) = static_cast<uint8_t>(dividend % divisor);
    SetA(c, static_cast<uint8_t>(dividend / divisor));
}

SIM51_INLINE void DaA(CORE& c)
{
    uint32_t a = c.a;
    uint32_t cy = Cy(c);
    if ((a & 0x0F) > 9 || (c.psw & SIM51_PSW_AC)) {
        a += 0x06;
        if (a > 0xFF) cy = 1;
        a &= 0xFF;
    }
    if ((a >> 4) > 9 || cy) {
        a += 0x60;
        if (a > 0xFF) cy = 1;
        a &= 0xFF;
    }
    SetCy(c, cy);
    SetA(c, static_cast<uint8_t>(a));
}

// ---- logic ----------------------------------------------------------------------

SIM51_INLINE uint8_t Or(uint8_t x, uint8_t y) { return x | y; }
SIM51_INLINE uint8_t And(uint8_t x, uint8_t y) { return x & y; }
SIM51_INLINE uint8_t Xor(uint8_t x, uint8_t y) { return x ^ y; }

template <uint8_t (*F)(uint8_t, uint8_t), class Src> SIM51_INLINE void LogicA(CORE& c)
{
    SetA(c, F(c.a, Src::Get(c)));
}

template <uint8_t (*F)(uint8_t, uint8_t)> SIM51_INLINE void LogicDirA(CORE& c)
{
    uint8_t d = Fetch(c);
    WriteDirect(c, d, F(ReadDirect(c, d), c.a));
}

template <uint8_t (*F)(uint8_t, uint8_t)> SIM51_INLINE void LogicDirImm(CORE& c)
{
    uint8_t d = Fetch(c);
    uint8_t value = Fetch(c);
    WriteDirect(c, d, F(ReadDirect(c, d), value));
}

SIM51_INLINE void ClrA(CORE& c) { SetA(c, 0); }
SIM51_INLINE void CplA(CORE& c) { SetA(c, static_cast<uint8_t>(~c.a)); }
SIM51_INLINE void SwapA(CORE& c) { SetA(c, static_cast<uint8_t>(c.a << 4 | c.a >> 4)); }
SIM51_INLINE void RrA(CORE& c) { SetA(c, static_cast<uint8_t>(c.a >> 1 | c.a << 7)); }
SIM51_INLINE void RlA(CORE& c) { SetA(c, static_cast<uint8_t>(c.a << 1 | c.a >> 7)); }

SIM51_INLINE void RrcA(CORE& c)
{
    uint8_t a = c.a;
    uint8_t result = static_cast<uint8_t>(a >> 1 | Cy(c) << 7);
    SetCy(c, a & 1u);
    SetA(c, result);
}

SIM51_INLINE void RlcA(CORE& c)
{
    uint8_t a = c.a;
    uint8_t result = static_cast<uint8_t>(a << 1 | Cy(c));
    SetCy(c, a >> 7);
    SetA(c, result);
}

// ---- bits -------------------------------------------------------------------------

SIM51_INLINE void ClrC(CORE& c) { SetCy(c, 0); }
SIM51_INLINE void SetbC(CORE& c) { SetCy(c, 1); }
SIM51_INLINE void CplC(CORE& c) { c.psw ^= SIM51_PSW_CY; }
SIM51_INLINE void ClrBit(CORE& c) { WriteBit(c, Fetch(c), false); }
SIM51_INLINE void SetbBit(CORE& c) { WriteBit(c, Fetch(c), true); }

SIM51_INLINE void CplBit(CORE& c)
{
    uint8_t bit = Fetch(c);
    WriteBit(c, bit, !ReadBit(c, bit));
}

SIM51_INLINE void MovCBit(CORE& c) { SetCy(c, ReadBit(c, Fetch(c))); }
SIM51_INLINE void MovBitC(CORE& c) { WriteBit(c, Fetch(c), Cy(c) != 0); }
SIM51_INLINE void OrlCBit(CORE& c) { if (ReadBit(c, Fetch(c))) SetCy(c, 1); }
SIM51_INLINE void OrlCNotBit(CORE& c) { if (!ReadBit(c, Fetch(c))) SetCy(c, 1); }
SIM51_INLINE void AnlCBit(CORE& c) { if (!ReadBit(c, Fetch(c))) SetCy(c, 0); }
SIM51_INLINE void AnlCNotBit(CORE& c) { if (ReadBit(c, Fetch(c))) SetCy(c, 0); }

// ---- data transfer ------------------------------------------------------------------

template <class Src> SIM51_INLINE void MovA(CORE& c) { SetA(c, Src::Get(c)); }

template <class Src> SIM51_INLINE void MovDir(CORE& c)
{
    uint8_t d = Fetch(c);
    WriteDirect(c, d, Src::Get(c));
}

SIM51_INLINE void MovDirDir(CORE& c)
{
    uint8_t source = Fetch(c);
    uint8_t destination = Fetch(c);
    WriteDirect(c, destination, ReadDirect(c, source));
}

template <class R, class Src> SIM51_INLINE void MovRef(CORE& c)
{
    uint8_t value = Src::Get(c);
    R::Ref(c) = value;
}

SIM51_INLINE void MovDptrImm(CORE& c)
{
    Sfr(SIM51_SFR_DPH) = Fetch(c);
    Sfr(SIM51_SFR_DPL) = Fetch(c);
}

SIM51_INLINE void MovcAPc(CORE& c) { SetA(c, c.code[static_cast<uint16_t>(c.pc + c.a)]); }
SIM51_INLINE void MovcADptr(CORE& c) { SetA(c, c.code[static_cast<uint16_t>(Dptr() + c.a)]); }
SIM51_INLINE void MovxADptr(CORE& c) { SetA(c, c.xram[Dptr()]); }
SIM51_INLINE void MovxDptrA(CORE& c) { c.xram[Dptr()] = c.a; }
template <uint32_t I> SIM51_INLINE void MovxAAtR(CORE& c) { SetA(c, c.xram[P2Address(Reg(c, I))]); }
template <uint32_t I> SIM51_INLINE void MovxAtRA(CORE& c) { c.xram[P2Address(Reg(c, I))] = c.a; }

// SP is raised before the source is read: PUSH SP pushes the raised value.
SIM51_INLINE void PushDir(CORE& c)
{
    uint8_t d = Fetch(c);
    uint8_t sp = ++Sp();
    Indirect(sp) = ReadDirect(c, d);
}

SIM51_INLINE void PopDir(CORE& c)
{
    uint8_t d = Fetch(c);
    WriteDirect(c, d, Pop());
}

SIM51_INLINE void XchDir(CORE& c)
{
    uint8_t d = Fetch(c);
    uint8_t value = ReadDirect(c, d);
    uint8_t a = c.a;
    // A first: a direct write of PSW keeps the bit 0 it is given.
    SetA(c, value);
    WriteDirect(c, d, a);
}

template <class R> SIM51_INLINE void XchRef(CORE& c)
{
    uint8_t& ref = R::Ref(c);
    uint8_t value = ref;
    ref = c.a;
    SetA(c, value);
}

template <uint32_t I> SIM51_INLINE void XchdA(CORE& c)
{
    uint8_t& ref = AtR<I>::Ref(c);
    uint8_t a = c.a;
    uint8_t value = ref;
    ref = static_cast<uint8_t>((value & 0xF0) | (a & 0x0F));
    SetA(c, static_cast<uint8_t>((a & 0xF0) | (value & 0x0F)));
}

// ---- program branching --------------------------------------------------------------

SIM51_INLINE void Nop(CORE&) {}

template <uint32_t Page> SIM51_INLINE void Ajmp(CORE& c)
{
    uint8_t low = Fetch(c);
    c.pc = static_cast<uint16_t>((c.pc & 0xF800) | Page << 8 | low);
}

template <uint32_t Page> SIM51_INLINE void Acall(CORE& c)
{
    uint8_t low = Fetch(c);
    PushPc(c);
    c.pc = static_cast<uint16_t>((c.pc & 0xF800) | Page << 8 | low);
}

SIM51_INLINE void Ljmp(CORE& c)
{
    uint8_t high = Fetch(c);
    uint8_t low = Fetch(c);
    c.pc = static_cast<uint16_t>(high << 8 | low);
}

SIM51_INLINE void Lcall(CORE& c)
{
    uint8_t high = Fetch(c);
    uint8_t low = Fetch(c);
    PushPc(c);
    c.pc = static_cast<uint16_t>(high << 8 | low);
}

SIM51_INLINE void Ret(CORE& c)
{
    uint8_t high = Pop();
    uint8_t low = Pop();
    c.pc = static_cast<uint16_t>(high << 8 | low);
}

SIM51_INLINE void JmpADptr(CORE& c) { c.pc = static_cast<uint16_t>(Dptr() + c.a); }

SIM51_INLINE void Sjmp(CORE& c) { Jump(c, Fetch(c)); }

template <bool Taken> SIM51_INLINE void JumpIf(CORE& c, bool condition)
{
    uint8_t rel = Fetch(c);
    if (condition == Taken) Jump(c, rel);
}

SIM51_INLINE void Jc(CORE& c) { JumpIf<true>(c, Cy(c)); }
SIM51_INLINE void Jnc(CORE& c) { JumpIf<false>(c, Cy(c)); }
SIM51_INLINE void Jz(CORE& c) { JumpIf<true>(c, c.a == 0); }
SIM51_INLINE void Jnz(CORE& c) { JumpIf<false>(c, c.a == 0); }
SIM51_INLINE void Jb(CORE& c) { JumpIf<true>(c, ReadBit(c, Fetch(c))); }
SIM51_INLINE void Jnb(CORE& c) { JumpIf<false>(c, ReadBit(c, Fetch(c))); }

SIM51_INLINE void Jbc(CORE& c)
{
    uint8_t bit = Fetch(c);
    uint8_t rel = Fetch(c);
    if (!ReadBit(c, bit)) return;
    WriteBit(c, bit, false);
    Jump(c, rel);
}

template <class Left, class Right> SIM51_INLINE void Cjne(CORE& c)
{
    uint8_t left = Left::Get(c);
    uint8_t right = Right::Get(c);
    uint8_t rel = Fetch(c);
    SetCy(c, left < right);
    if (left != right) Jump(c, rel);
}

SIM51_INLINE void DjnzDir(CORE& c)
{
    uint8_t d = Fetch(c);
    uint8_t rel = Fetch(c);
    uint8_t value = static_cast<uint8_t>(ReadDirect(c, d) - 1);
    WriteDirect(c, d, value);
    if (value) Jump(c, rel);
}

template <uint32_t N> SIM51_INLINE void DjnzRn(CORE& c)
{
    uint8_t rel = Fetch(c);
    if (--Reg(c, N)) Jump(c, rel);
}

// The module service works on g_sim51Active and may change any of it.
SIM51_INLINE void Trap(CORE& c)
{
    CoreStore(c);
    SIM51_OpA5Backcall();
    c = CoreLoad(c.limit);
}

// ---- table ----------------------------------------------------------------------------

typedef void (*CORE_FN)(CORE& c);

// Runs an instruction and adds its clock cost.
template <void (*F)(CORE&), uint32_t Clocks> SIM51_INLINE void Op(CORE& c)
{
    F(c);
    c.budget -= Clocks;
}

// Instruction families over @R0, @R1, R0..R7 (opcode columns 6..F).
#define SIM51_ROW_REGS(F, C) \
    Op<F<AtR<0>>, C>, Op<F<AtR<1>>, C>, Op<F<Rn<0>>, C>, Op<F<Rn<1>>, C>, Op<F<Rn<2>>, C>, \
    Op<F<Rn<3>>, C>, Op<F<Rn<4>>, C>, Op<F<Rn<5>>, C>, Op<F<Rn<6>>, C>, Op<F<Rn<7>>, C>

// Logic with A as destination over @R0, @R1, R0..R7.
#define SIM51_ROW_LOGIC(F, C) \
    Op<LogicA<F, AtR<0>>, C>, Op<LogicA<F, AtR<1>>, C>, Op<LogicA<F, Rn<0>>, C>, \
    Op<LogicA<F, Rn<1>>, C>, Op<LogicA<F, Rn<2>>, C>, Op<LogicA<F, Rn<3>>, C>, \
    Op<LogicA<F, Rn<4>>, C>, Op<LogicA<F, Rn<5>>, C>, Op<LogicA<F, Rn<6>>, C>, Op<LogicA<F, Rn<7>>, C>

#define SIM51_ROW_MOVREF(Src, C) \
    Op<MovRef<AtR<0>, Src>, C>, Op<MovRef<AtR<1>, Src>, C>, Op<MovRef<Rn<0>, Src>, C>, \
    Op<MovRef<Rn<1>, Src>, C>, Op<MovRef<Rn<2>, Src>, C>, Op<MovRef<Rn<3>, Src>, C>, \
    Op<MovRef<Rn<4>, Src>, C>, Op<MovRef<Rn<5>, Src>, C>, Op<MovRef<Rn<6>, Src>, C>, \
    Op<MovRef<Rn<7>, Src>, C>

#define SIM51_ROW_CJNE(C) \
    Op<Cjne<AtR<0>, Imm>, C>, Op<Cjne<AtR<1>, Imm>, C>, Op<Cjne<Rn<0>, Imm>, C>, \
    Op<Cjne<Rn<1>, Imm>, C>, Op<Cjne<Rn<2>, Imm>, C>, Op<Cjne<Rn<3>, Imm>, C>, \
    Op<Cjne<Rn<4>, Imm>, C>, Op<Cjne<Rn<5>, Imm>, C>, Op<Cjne<Rn<6>, Imm>, C>, Op<Cjne<Rn<7>, Imm>, C>

#define SIM51_ROW_DJNZ(C) \
    Op<XchdA<0>, C>, Op<XchdA<1>, C>, Op<DjnzRn<0>, C>, Op<DjnzRn<1>, C>, Op<DjnzRn<2>, C>, \
    Op<DjnzRn<3>, C>, Op<DjnzRn<4>, C>, Op<DjnzRn<5>, C>, Op<DjnzRn<6>, C>, Op<DjnzRn<7>, C>

// The table reads as the clock grid: each entry names its cost.
constexpr CORE_FN kOps[256] = {
    // 0x00
    Op<Nop, 4>, Op<Ajmp<0>, 12>, Op<Ljmp, 16>, Op<RrA, 4>, Op<IncA, 4>, Op<IncDir, 8>,
    SIM51_ROW_REGS(IncRef, 4),
    // 0x10
    Op<Jbc, 16>, Op<Acall<0>, 12>, Op<Lcall, 16>, Op<RrcA, 4>, Op<DecA, 4>, Op<DecDir, 8>,
    SIM51_ROW_REGS(DecRef, 4),
    // 0x20
    Op<Jb, 16>, Op<Ajmp<1>, 12>, Op<Ret, 16>, Op<RlA, 4>, Op<Add<Imm>, 8>, Op<Add<Dir>, 8>,
    SIM51_ROW_REGS(Add, 4),
    // 0x30
    Op<Jnb, 16>, Op<Acall<1>, 12>, Op<Ret, 16>, Op<RlcA, 4>, Op<Addc<Imm>, 8>, Op<Addc<Dir>, 8>,
    SIM51_ROW_REGS(Addc, 4),
    // 0x40
    Op<Jc, 12>, Op<Ajmp<2>, 12>, Op<LogicDirA<Or>, 8>, Op<LogicDirImm<Or>, 12>,
    Op<LogicA<Or, Imm>, 8>, Op<LogicA<Or, Dir>, 8>, SIM51_ROW_LOGIC(Or, 4),
    // 0x50
    Op<Jnc, 12>, Op<Acall<2>, 12>, Op<LogicDirA<And>, 8>, Op<LogicDirImm<And>, 12>,
    Op<LogicA<And, Imm>, 8>, Op<LogicA<And, Dir>, 8>, SIM51_ROW_LOGIC(And, 4),
    // 0x60
    Op<Jz, 12>, Op<Ajmp<3>, 12>, Op<LogicDirA<Xor>, 8>, Op<LogicDirImm<Xor>, 12>,
    Op<LogicA<Xor, Imm>, 8>, Op<LogicA<Xor, Dir>, 8>, SIM51_ROW_LOGIC(Xor, 4),
    // 0x70
    Op<Jnz, 12>, Op<Acall<3>, 12>, Op<OrlCBit, 8>, Op<JmpADptr, 12>, Op<MovA<Imm>, 8>,
    Op<MovDir<Imm>, 12>, SIM51_ROW_MOVREF(Imm, 8),
    // 0x80
    Op<Sjmp, 12>, Op<Ajmp<4>, 12>, Op<AnlCBit, 8>, Op<MovcAPc, 12>, Op<DivAB, 20>,
    Op<MovDirDir, 12>, Op<MovDir<AtR<0>>, 8>, Op<MovDir<AtR<1>>, 8>, Op<MovDir<Rn<0>>, 8>,
    Op<MovDir<Rn<1>>, 8>, Op<MovDir<Rn<2>>, 8>, Op<MovDir<Rn<3>>, 8>, Op<MovDir<Rn<4>>, 8>,
    Op<MovDir<Rn<5>>, 8>, Op<MovDir<Rn<6>>, 8>, Op<MovDir<Rn<7>>, 8>,
    // 0x90
    Op<MovDptrImm, 12>, Op<Acall<4>, 12>, Op<MovBitC, 8>, Op<MovcADptr, 12>, Op<Subb<Imm>, 8>,
    Op<Subb<Dir>, 8>, SIM51_ROW_REGS(Subb, 4),
    // 0xA0
    Op<OrlCNotBit, 8>, Op<Ajmp<5>, 12>, Op<MovCBit, 8>, Op<IncDptr, 12>, Op<MulAB, 20>,
    Op<Trap, 0>, SIM51_ROW_MOVREF(Dir, 8),
    // 0xB0
    Op<AnlCNotBit, 8>, Op<Acall<5>, 12>, Op<CplBit, 8>, Op<CplC, 4>, Op<Cjne<AccOp, Imm>, 16>,
    Op<Cjne<AccOp, Dir>, 16>, SIM51_ROW_CJNE(16),
    // 0xC0
    Op<PushDir, 8>, Op<Ajmp<6>, 12>, Op<ClrBit, 8>, Op<ClrC, 4>, Op<SwapA, 4>, Op<XchDir, 8>,
    Op<XchRef<AtR<0>>, 8>, Op<XchRef<AtR<1>>, 8>, Op<XchRef<Rn<0>>, 4>, Op<XchRef<Rn<1>>, 4>,
    Op<XchRef<Rn<2>>, 4>, Op<XchRef<Rn<3>>, 4>, Op<XchRef<Rn<4>>, 4>, Op<XchRef<Rn<5>>, 4>,
    Op<XchRef<Rn<6>>, 4>, Op<XchRef<Rn<7>>, 4>,
    // 0xD0
    Op<PopDir, 8>, Op<Acall<6>, 12>, Op<SetbBit, 8>, Op<SetbC, 4>, Op<DaA, 4>, Op<DjnzDir, 8>,
    SIM51_ROW_DJNZ(8),
    // 0xE0
    Op<MovxADptr, 12>, Op<Ajmp<7>, 12>, Op<MovxAAtR<0>, 12>, Op<MovxAAtR<1>, 12>, Op<ClrA, 4>,
    Op<MovA<Dir>, 4>, SIM51_ROW_REGS(MovA, 4),
    // 0xF0
    Op<MovxDptrA, 12>, Op<Acall<7>, 12>, Op<MovxAtRA<0>, 12>, Op<MovxAtRA<1>, 12>, Op<CplA, 4>,
    Op<MovDir<AccOp>, 4>, SIM51_ROW_MOVREF(AccOp, 4),
};

// The opcodes that can change SP: pushes, pops, calls, returns, the trap and
// every write through a direct address (bit addresses never reach 0x81, and
// indirect addresses above 0x7F are upper internal RAM). The run loop
// compares SP with the start SP only after these; no other opcode moves it.
constexpr std::array<bool, 256> MakeSpWriters()
{
    std::array<bool, 256> table{};
    for (uint32_t op : {0x05, 0x15, 0x42, 0x43, 0x52, 0x53, 0x62, 0x63, 0x75, 0x85, 0xC5, 0xD5, 0xF5,
                        0xC0, 0xD0, 0x12, 0x22, 0x32, 0xA5})
        table[op] = true;
    for (uint32_t op = 0x86; op <= 0x8F; ++op) table[op] = true;   // MOV direct,@Ri / Rn
    for (uint32_t op = 0x11; op <= 0xF1; op += 0x20) table[op] = true;   // ACALL
    return table;
}

constexpr std::array<bool, 256> kSpWriters = MakeSpWriters();

// One instruction on g_sim51Active.
template <uint32_t Opcode> void Step()
{
    CORE c = CoreLoad(UINT32_MAX);
    kOps[Opcode](c);
    CoreStore(c);
}

}  // namespace

uint8_t SIM51_Parity(uint8_t value) { return kParity[value]; }

#define SIM51_EACH_LOW(M, h) \
    M(h, 0) M(h, 1) M(h, 2) M(h, 3) M(h, 4) M(h, 5) M(h, 6) M(h, 7) \
    M(h, 8) M(h, 9) M(h, A) M(h, B) M(h, C) M(h, D) M(h, E) M(h, F)
#define SIM51_EACH(M) \
    SIM51_EACH_LOW(M, 0) SIM51_EACH_LOW(M, 1) SIM51_EACH_LOW(M, 2) SIM51_EACH_LOW(M, 3) \
    SIM51_EACH_LOW(M, 4) SIM51_EACH_LOW(M, 5) SIM51_EACH_LOW(M, 6) SIM51_EACH_LOW(M, 7) \
    SIM51_EACH_LOW(M, 8) SIM51_EACH_LOW(M, 9) SIM51_EACH_LOW(M, A) SIM51_EACH_LOW(M, B) \
    SIM51_EACH_LOW(M, C) SIM51_EACH_LOW(M, D) SIM51_EACH_LOW(M, E) SIM51_EACH_LOW(M, F)

#define SIM51_STEP(h, l) Step<0x##h##l>,
const SIM51_OPCODE_FN SIM51_OPCODE_TABLE[256] = {SIM51_EACH(SIM51_STEP)};

// The run loop is threaded: every handler is compiled into it, and each ends
// with its own jump to the next instruction's handler (a label address of the
// GNU extension), which the processor predicts far better than one shared
// jump. The stop conditions are checked after every instruction (SP only
// where the instruction can have moved it).
#define SIM51_LABEL(h, l) &&op_##h##l,
#define SIM51_BODY(h, l) \
    op_##h##l : kOps[0x##h##l](c); \
    if (kSpWriters[0x##h##l] && Sp() < startSp) goto stop; \
    if (c.budget < 0) goto stop; \
    goto* kLabels[Fetch(c)];

// The priority colouring of the register allocator keeps the CORE and the
// address of the label table in registers throughout this function; the
// default colouring reloads the table's address in every handler and keeps
// part of the CORE in memory. The function starts on a 64-byte line, so that
// where its handlers fall within the processor's fetch blocks depends on its
// own code only, not on how much code the linker happens to place before it.
[[gnu::optimize("ira-algorithm=priority"), gnu::aligned(64)]] void SIM51_RunLoop(uint8_t startSp,
                                                                                uint32_t clockLimit)
{
    static const void* const kLabels[256] = {SIM51_EACH(SIM51_LABEL)};
    CORE c = CoreLoad(clockLimit);
    goto* kLabels[Fetch(c)];
    SIM51_EACH(SIM51_BODY)
stop:
    CoreStore(c);
}
