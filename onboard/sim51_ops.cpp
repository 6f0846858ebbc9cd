// SIM51: the 256 opcode handlers and their table. The handlers are small
// templates over the operand kinds; each table entry names its clock cost, so
// the table reads as the cost grid. Every address computed from emulated state
// is an 8-bit or 16-bit value and therefore stays inside its memory.
#include "onboard/sim51_ops.h"
#include "onboard/sim51.h"
#include <array>

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

constexpr std::array<uint8_t, 256> kParity = MakeParityTable();
constexpr std::array<uint8_t, 256> kBitByte = MakeBitByteTable();
constexpr std::array<uint8_t, 256> kBitMask = MakeBitMaskTable();

constexpr SIM51_ACTIVE& S = g_sim51Active;

// ---- machine access -------------------------------------------------------

inline uint8_t Fetch() { return S.code[S.pc++]; }
inline uint8_t& Acc() { return S.ram[SIM51_SFR_ACC]; }
inline uint8_t& Psw() { return S.ram[SIM51_SFR_PSW]; }
inline uint8_t& Sp() { return S.ram[SIM51_SFR_SP]; }
inline uint8_t Cy() { return Psw() >> 7; }
inline uint8_t& Reg(uint32_t n) { return S.ram[(Psw() & 0x18u) + n]; }
inline uint8_t& Indirect(uint8_t address) { return S.ram[SIM51_IndirectIndex(address)]; }
inline uint16_t Dptr() { return static_cast<uint16_t>(S.ram[SIM51_SFR_DPH] << 8 | S.ram[SIM51_SFR_DPL]); }
inline uint16_t P2Address(uint8_t low) { return static_cast<uint16_t>(S.ram[SIM51_SFR_P2] << 8 | low); }

inline void SetA(uint8_t value)
{
    Acc() = value;
    Psw() = static_cast<uint8_t>((Psw() & ~SIM51_PSW_P) | kParity[value]);
}

// A write through a direct address; writing ACC this way updates P.
inline void WriteDirect(uint8_t address, uint8_t value)
{
    if (address == SIM51_SFR_ACC) SetA(value);
    else S.ram[address] = value;
}

inline void SetCy(uint32_t carry)
{
    Psw() = static_cast<uint8_t>((Psw() & ~SIM51_PSW_CY) | (carry ? SIM51_PSW_CY : 0));
}

inline bool ReadBit(uint8_t bit) { return (S.ram[kBitByte[bit]] & kBitMask[bit]) != 0; }

inline void WriteBit(uint8_t bit, bool value)
{
    uint8_t address = kBitByte[bit];
    uint8_t mask = kBitMask[bit];
    WriteDirect(address, static_cast<uint8_t>(value ? S.ram[address] | mask : S.ram[address] & ~mask));
}

inline void Push(uint8_t value) { Indirect(++Sp()) = value; }

inline uint8_t Pop()
{
    uint8_t value = Indirect(Sp());
    --Sp();
    return value;
}

inline void PushPc()
{
    Push(static_cast<uint8_t>(S.pc));
    Push(static_cast<uint8_t>(S.pc >> 8));
}

inline void Jump(uint8_t rel) { S.pc = static_cast<uint16_t>(S.pc + static_cast<int8_t>(rel)); }

// ---- operand kinds ----------------------------------------------------------

struct Imm {
    static uint8_t Get() { return Fetch(); }
};
struct Dir {
    static uint8_t Get() { return S.ram[Fetch()]; }
};
struct AccOp {
    static uint8_t Get() { return Acc(); }
};
template <uint32_t I> struct AtR {
    static uint8_t& Ref() { return Indirect(Reg(I)); }
    static uint8_t Get() { return Ref(); }
};
template <uint32_t N> struct Rn {
    static uint8_t& Ref() { return Reg(N); }
    static uint8_t Get() { return Ref(); }
};

// ---- arithmetic ---------------------------------------------------------------

inline void AddToA(uint8_t operand, uint32_t carryIn)
{
    uint32_t a = Acc();
    uint32_t sum = a + operand + carryIn;
    uint32_t cy = sum >> 8;
    uint32_t ac = ((a & 0x0F) + (operand & 0x0F) + carryIn) >> 4;
    uint32_t c6 = ((a & 0x7F) + (operand & 0x7F) + carryIn) >> 7;
    uint8_t result = static_cast<uint8_t>(sum);
    uint8_t psw = Psw() & 0x3A;
    psw |= static_cast<uint8_t>((cy << 7) | (ac << 6) | ((c6 ^ cy) << 2) | kParity[result]);
    Acc() = result;
    Psw() = psw;
}

inline void SubFromA(uint8_t operand, uint32_t borrowIn)
{
    uint32_t a = Acc();
    uint32_t diff = a - operand - borrowIn;
    uint8_t result = static_cast<uint8_t>(diff);
    uint32_t cy = a < operand + borrowIn;
    uint32_t ac = (a & 0x0F) < (operand & 0x0Fu) + borrowIn;
    uint32_t ov = ((a ^ operand) & (a ^ result) & 0x80) >> 7;
    uint8_t psw = Psw() & 0x3A;
    psw |= static_cast<uint8_t>((cy << 7) | (ac << 6) | (ov << 2) | kParity[result]);
    Acc() = result;
    Psw() = psw;
}

template <class Src> void Add() { AddToA(Src::Get(), 0); }
template <class Src> void Addc() { AddToA(Src::Get(), Cy()); }
template <class Src> void Subb() { SubFromA(Src::Get(), Cy()); }

void IncA() { SetA(static_cast<uint8_t>(Acc() + 1)); }
void DecA() { SetA(static_cast<uint8_t>(Acc() - 1)); }
void IncDir() { uint8_t d = Fetch(); WriteDirect(d, static_cast<uint8_t>(S.ram[d] + 1)); }
void DecDir() { uint8_t d = Fetch(); WriteDirect(d, static_cast<uint8_t>(S.ram[d] - 1)); }
template <class R> void IncRef() { ++R::Ref(); }
template <class R> void DecRef() { --R::Ref(); }

void IncDptr()
{
    if (++S.ram[SIM51_SFR_DPL] == 0) ++S.ram[SIM51_SFR_DPH];
}

void MulAB()
{
    uint32_t product = static_cast<uint32_t>(Acc()) * S.ram[SIM51_SFR_B];
    uint8_t low = static_cast<uint8_t>(product);
    S.ram[SIM51_SFR_B] = static_cast<uint8_t>(product >> 8);
    Acc() = low;
    uint8_t psw = Psw() & static_cast<uint8_t>(~(SIM51_PSW_CY | SIM51_PSW_OV | SIM51_PSW_P));
    Psw() = static_cast<uint8_t>(psw | (product > 0xFF ? SIM51_PSW_OV : 0) | kParity[low]);
}

void DivAB()
{
    uint8_t divisor = S.ram[SIM51_SFR_B];
    uint8_t psw = Psw() & static_cast<uint8_t>(~(SIM51_PSW_CY | SIM51_PSW_OV));
    if (divisor == 0) {
        Psw() = psw | SIM51_PSW_OV;
        return;
    }
    uint8_t dividend = Acc();
    uint8_t quotient = static_cast<uint8_t>(dividend / divisor);
    S.ram[SIM51_SFR_B] = static_cast<uint8_t>(dividend % divisor);
    Acc() = quotient;
    Psw() = static_cast<uint8_t>((psw & ~SIM51_PSW_P) | kParity[quotient]);
}

void DaA()
{
    uint32_t a = Acc();
    uint32_t cy = Cy();
    if ((a & 0x0F) > 9 || (Psw() & SIM51_PSW_AC)) {
        a += 0x06;
        if (a > 0xFF) cy = 1;
        a &= 0xFF;
    }
    if ((a >> 4) > 9 || cy) {
        a += 0x60;
        if (a > 0xFF) cy = 1;
        a &= 0xFF;
    }
    SetCy(cy);
    SetA(static_cast<uint8_t>(a));
}

// ---- logic ----------------------------------------------------------------------

inline uint8_t Or(uint8_t x, uint8_t y) { return x | y; }
inline uint8_t And(uint8_t x, uint8_t y) { return x & y; }
inline uint8_t Xor(uint8_t x, uint8_t y) { return x ^ y; }

template <uint8_t (*F)(uint8_t, uint8_t), class Src> void LogicA() { SetA(F(Acc(), Src::Get())); }

template <uint8_t (*F)(uint8_t, uint8_t)> void LogicDirA()
{
    uint8_t d = Fetch();
    WriteDirect(d, F(S.ram[d], Acc()));
}

template <uint8_t (*F)(uint8_t, uint8_t)> void LogicDirImm()
{
    uint8_t d = Fetch();
    uint8_t value = Fetch();
    WriteDirect(d, F(S.ram[d], value));
}

void ClrA() { SetA(0); }
void CplA() { SetA(static_cast<uint8_t>(~Acc())); }
void SwapA() { SetA(static_cast<uint8_t>(Acc() << 4 | Acc() >> 4)); }
void RrA() { SetA(static_cast<uint8_t>(Acc() >> 1 | Acc() << 7)); }
void RlA() { SetA(static_cast<uint8_t>(Acc() << 1 | Acc() >> 7)); }

void RrcA()
{
    uint8_t a = Acc();
    uint8_t result = static_cast<uint8_t>(a >> 1 | Cy() << 7);
    SetCy(a & 1u);
    SetA(result);
}

void RlcA()
{
    uint8_t a = Acc();
    uint8_t result = static_cast<uint8_t>(a << 1 | Cy());
    SetCy(a >> 7);
    SetA(result);
}

// ---- bits -------------------------------------------------------------------------

void ClrC() { SetCy(0); }
void SetbC() { SetCy(1); }
void CplC() { Psw() ^= SIM51_PSW_CY; }
void ClrBit() { WriteBit(Fetch(), false); }
void SetbBit() { WriteBit(Fetch(), true); }
void CplBit() { uint8_t bit = Fetch(); WriteBit(bit, !ReadBit(bit)); }
void MovCBit() { SetCy(ReadBit(Fetch())); }
void MovBitC() { WriteBit(Fetch(), Cy() != 0); }
void OrlCBit() { if (ReadBit(Fetch())) SetCy(1); }
void OrlCNotBit() { if (!ReadBit(Fetch())) SetCy(1); }
void AnlCBit() { if (!ReadBit(Fetch())) SetCy(0); }
void AnlCNotBit() { if (ReadBit(Fetch())) SetCy(0); }

// ---- data transfer ------------------------------------------------------------------

template <class Src> void MovA() { SetA(Src::Get()); }

template <class Src> void MovDir()
{
    uint8_t d = Fetch();
    WriteDirect(d, Src::Get());
}

void MovDirDir()
{
    uint8_t source = Fetch();
    uint8_t destination = Fetch();
    WriteDirect(destination, S.ram[source]);
}

template <class R, class Src> void MovRef() { R::Ref() = Src::Get(); }

void MovDptrImm()
{
    S.ram[SIM51_SFR_DPH] = Fetch();
    S.ram[SIM51_SFR_DPL] = Fetch();
}

void MovcAPc() { SetA(S.code[static_cast<uint16_t>(S.pc + Acc())]); }
void MovcADptr() { SetA(S.code[static_cast<uint16_t>(Dptr() + Acc())]); }
void MovxADptr() { SetA(S.xram[Dptr()]); }
void MovxDptrA() { S.xram[Dptr()] = Acc(); }
template <uint32_t I> void MovxAAtR() { SetA(S.xram[P2Address(Reg(I))]); }
template <uint32_t I> void MovxAtRA() { S.xram[P2Address(Reg(I))] = Acc(); }

void PushDir()
{
    uint8_t d = Fetch();
    ++Sp();
    Indirect(Sp()) = S.ram[d];
}

void PopDir()
{
    uint8_t d = Fetch();
    WriteDirect(d, Pop());
}

void XchDir()
{
    uint8_t d = Fetch();
    uint8_t value = S.ram[d];
    uint8_t a = Acc();
    // A first: a direct write of PSW keeps the bit 0 it is given.
    SetA(value);
    WriteDirect(d, a);
}

template <class R> void XchRef()
{
    uint8_t& ref = R::Ref();
    uint8_t value = ref;
    ref = Acc();
    SetA(value);
}

template <uint32_t I> void XchdA()
{
    uint8_t& ref = AtR<I>::Ref();
    uint8_t a = Acc();
    uint8_t value = ref;
    ref = static_cast<uint8_t>((value & 0xF0) | (a & 0x0F));
    SetA(static_cast<uint8_t>((a & 0xF0) | (value & 0x0F)));
}

// ---- program branching --------------------------------------------------------------

void Nop() {}

template <uint32_t Page> void Ajmp()
{
    uint8_t low = Fetch();
    S.pc = static_cast<uint16_t>((S.pc & 0xF800) | Page << 8 | low);
}

template <uint32_t Page> void Acall()
{
    uint8_t low = Fetch();
    PushPc();
    S.pc = static_cast<uint16_t>((S.pc & 0xF800) | Page << 8 | low);
}

void Ljmp()
{
    uint8_t high = Fetch();
    uint8_t low = Fetch();
    S.pc = static_cast<uint16_t>(high << 8 | low);
}

void Lcall()
{
    uint8_t high = Fetch();
    uint8_t low = Fetch();
    PushPc();
    S.pc = static_cast<uint16_t>(high << 8 | low);
}

void Ret()
{
    uint8_t high = Pop();
    uint8_t low = Pop();
    S.pc = static_cast<uint16_t>(high << 8 | low);
}

void JmpADptr() { S.pc = static_cast<uint16_t>(Dptr() + Acc()); }

void Sjmp() { Jump(Fetch()); }
void Jc() { uint8_t rel = Fetch(); if (Cy()) Jump(rel); }
void Jnc() { uint8_t rel = Fetch(); if (!Cy()) Jump(rel); }
void Jz() { uint8_t rel = Fetch(); if (Acc() == 0) Jump(rel); }
void Jnz() { uint8_t rel = Fetch(); if (Acc() != 0) Jump(rel); }

void Jb()
{
    uint8_t bit = Fetch();
    uint8_t rel = Fetch();
    if (ReadBit(bit)) Jump(rel);
}

void Jnb()
{
    uint8_t bit = Fetch();
    uint8_t rel = Fetch();
    if (!ReadBit(bit)) Jump(rel);
}

void Jbc()
{
    uint8_t bit = Fetch();
    uint8_t rel = Fetch();
    if (!ReadBit(bit)) return;
    WriteBit(bit, false);
    Jump(rel);
}

template <class Left, class Right> void Cjne()
{
    uint8_t left = Left::Get();
    uint8_t right = Right::Get();
    uint8_t rel = Fetch();
    SetCy(left < right);
    if (left != right) Jump(rel);
}

void DjnzDir()
{
    uint8_t d = Fetch();
    uint8_t rel = Fetch();
    uint8_t value = static_cast<uint8_t>(S.ram[d] - 1);
    WriteDirect(d, value);
    if (value) Jump(rel);
}

template <uint32_t N> void DjnzRn()
{
    uint8_t rel = Fetch();
    if (--Reg(N)) Jump(rel);
}

// ---- table ----------------------------------------------------------------------------

// Runs an instruction and adds its clock cost.
// Always compiled into its caller, so that the run loop's switch holds every
// handler whole; the table keeps an out-of-line copy of each.
template <void (*F)(), uint32_t Clocks> [[gnu::always_inline]] inline void Op()
{
    F();
    S.clocks += Clocks;
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

}  // namespace

uint8_t SIM51_Parity(uint8_t value) { return kParity[value]; }

constexpr SIM51_OPCODE_FN SIM51_OPCODE_TABLE[256] = {
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
    SIM51_OpA5Backcall, SIM51_ROW_MOVREF(Dir, 8),
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

// The run loop is threaded: every handler is compiled into it, and each ends
// with its own jump to the next instruction's handler (a label address of the
// GNU extension), which the processor predicts far better than one shared
// jump. The stop conditions are checked after every instruction.
#define SIM51_NEXT \
    if (Sp() < startSp || S.clocks > clockLimit) return; \
    goto* kLabels[Fetch()];
#define SIM51_OP(h, l) \
    op_##h##l : SIM51_OPCODE_TABLE[0x##h##l](); \
    SIM51_NEXT
#define SIM51_ROW(h) \
    SIM51_OP(h, 0) SIM51_OP(h, 1) SIM51_OP(h, 2) SIM51_OP(h, 3) SIM51_OP(h, 4) SIM51_OP(h, 5) SIM51_OP(h, 6) \
    SIM51_OP(h, 7) SIM51_OP(h, 8) SIM51_OP(h, 9) SIM51_OP(h, A) SIM51_OP(h, B) SIM51_OP(h, C) SIM51_OP(h, D) \
    SIM51_OP(h, E) SIM51_OP(h, F)
#define SIM51_LABEL_ROW(h) \
    &&op_##h##0, &&op_##h##1, &&op_##h##2, &&op_##h##3, &&op_##h##4, &&op_##h##5, &&op_##h##6, &&op_##h##7, \
    &&op_##h##8, &&op_##h##9, &&op_##h##A, &&op_##h##B, &&op_##h##C, &&op_##h##D, &&op_##h##E, &&op_##h##F

void SIM51_RunLoop(uint8_t startSp, uint32_t clockLimit)
{
    static const void* const kLabels[256] = {
        SIM51_LABEL_ROW(0), SIM51_LABEL_ROW(1), SIM51_LABEL_ROW(2), SIM51_LABEL_ROW(3),
        SIM51_LABEL_ROW(4), SIM51_LABEL_ROW(5), SIM51_LABEL_ROW(6), SIM51_LABEL_ROW(7),
        SIM51_LABEL_ROW(8), SIM51_LABEL_ROW(9), SIM51_LABEL_ROW(A), SIM51_LABEL_ROW(B),
        SIM51_LABEL_ROW(C), SIM51_LABEL_ROW(D), SIM51_LABEL_ROW(E), SIM51_LABEL_ROW(F),
    };
    goto* kLabels[Fetch()];
    SIM51_ROW(0) SIM51_ROW(1) SIM51_ROW(2) SIM51_ROW(3) SIM51_ROW(4) SIM51_ROW(5) SIM51_ROW(6) SIM51_ROW(7)
    SIM51_ROW(8) SIM51_ROW(9) SIM51_ROW(A) SIM51_ROW(B) SIM51_ROW(C) SIM51_ROW(D) SIM51_ROW(E) SIM51_ROW(F)
}
