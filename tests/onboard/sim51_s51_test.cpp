// Compares our 8051 emulator with the s51 simulator of sdcc-ucsim: programs
// are assembled or compiled with sdcc's tools, run to the stop address on
// both, and the final internal RAM, the register SFRs and external RAM must
// agree byte for byte.
//
// Where our emulator deliberately differs from s51, the programs avoid it:
// - 0xA5 is our module service trap; s51 executes it as a one-byte no-op.
//   Programs stop at 0xFF00 (our trap, s51's breakpoint) and hold no other A5.
// - Our SFRs are plain bytes; s51 models ports, timers, the serial port and
//   interrupts. Programs use only ACC, B, PSW, SP, DPL, DPH and P2 as SFRs.
// - Clock counts: s51 counts machine cycles of the published core; our costs
//   follow our own grid (see sim51_ops_test.cpp), so clocks are not compared.
// - Writing RS0 or RS1 as a bit (SETB, CLR, CPL, MOV bit,C, JBC on PSW.3 and
//   PSW.4) switches our register bank at once; s51 keeps using the old bank
//   until PSW is written as a byte. Random programs leave those two bits alone.
// - After a reset s51 holds 0xFF in P2 and keeps the code of an earlier file
//   where the new one has none; the commands clear both before each program.
// A direct write of PSW keeps the P bit it is given (P disagrees with A until
// A is written again); s51 does the same, so that case is compared too.
#include "tests/onboard/sim51_harness.h"
#include "tests/support/test_support.h"
#include <gtest/gtest.h>
#include <set>

using namespace sim51test;

namespace {

std::string Hex2(uint32_t v)
{
    char b[8];
    snprintf(b, sizeof b, "0x%02x", v & 0xFF);
    return b;
}

const char* kHeader = "\t.area CSEG (ABS,CODE)\n\t.org 0\n";

// Stores A and PSW at the next two bytes of external RAM.
const char* kStoreAPsw = "\tmovx @dptr,a\n\tinc dptr\n\tmov a,psw\n\tmovx @dptr,a\n\tinc dptr\n";

const uint8_t kEdgeValues[] = {0x00, 0x01, 0x09, 0x0F, 0x10, 0x7F, 0x80, 0x81, 0x99, 0xF0, 0xFE, 0xFF};

// ADD, ADDC and SUBB in all four operand forms, over edge values with the
// carry clear and set, and the auxiliary carry of the PSW set beforehand.
std::string ArithmeticProgram()
{
    std::string t = kHeader;
    t += "\tmov sp,#0x60\n\tmov dptr,#0x0000\n\tmov r0,#0x40\n";
    static const char* ops[] = {"add", "addc", "subb"};
    int form = 0;
    for (const char* op : ops)
        for (uint8_t x : kEdgeValues)
            for (uint8_t y : kEdgeValues)
                for (int psw : {0x00, 0xC0}) {
                    t += "\tmov psw,#" + Hex2(psw) + "\n\tmov a,#" + Hex2(x) + "\n";
                    switch (form++ % 4) {
                    case 0: t += std::string("\t") + op + " a,#" + Hex2(y) + "\n"; break;
                    case 1: t += "\tmov 0x30,#" + Hex2(y) + "\n\t" + op + " a,0x30\n"; break;
                    case 2: t += "\tmov @r0,#" + Hex2(y) + "\n\t" + op + " a,@r0\n"; break;
                    default: t += "\tmov r5,#" + Hex2(y) + "\n\t" + op + " a,r5\n"; break;
                    }
                    t += kStoreAPsw;
                }
    t += "\tmov a,#0x05\n\tsetb c\n\tmov r1,#0x41\n\tmov @r1,#0x0f\n\taddc a,@r1\n";
    t += kStoreAPsw;
    t += "\tljmp 0xff00\n";
    return t;
}

// DA A over every A with each combination of CY and AC; MUL and DIV over
// edge values including division by zero; INC and DEC in every form.
std::string DecimalMulDivProgram()
{
    std::string t = kHeader;
    t += "\tmov sp,#0x60\n\tmov dptr,#0x0000\n";
    for (uint32_t a = 0; a < 256; ++a)
        for (int psw : {0x00, 0x40, 0x80, 0xC0}) {
            t += "\tmov psw,#" + Hex2(psw) + "\n\tmov a,#" + Hex2(a) + "\n\tda a\n";
            t += kStoreAPsw;
        }
    for (uint8_t x : kEdgeValues)
        for (uint8_t y : {0x00, 0x01, 0x03, 0x10, 0x7F, 0xFF}) {
            for (const char* op : {"mul ab", "div ab"}) {
                t += "\tmov psw,#0xc4\n\tmov a,#" + Hex2(x) + "\n\tmov b,#" + Hex2(y) + "\n\t" + op + "\n";
                t += kStoreAPsw;
                t += "\tmov a,b\n\tmovx @dptr,a\n\tinc dptr\n";
            }
        }
    t += "\tmov a,#0xff\n\tinc a\n\tinc a\n\tdec a\n\tdec a\n\tmov 0x30,#0xff\n\tinc 0x30\n\tdec 0x30\n\tdec 0x30\n";
    t += "\tmov r0,#0x90\n\tmov @r0,#0x00\n\tdec @r0\n\tmov r1,#0x31\n\tinc @r1\n\tinc @r1\n";
    for (int r = 0; r < 8; ++r) t += "\tinc r" + std::to_string(r) + "\n\tdec r" + std::to_string(r) + "\n\tdec r" + std::to_string(r) + "\n";
    t += "\tmov dptr,#0x12ff\n\tinc dptr\n\tmov 0x32,dpl\n\tmov 0x33,dph\n\tmov dptr,#0xffff\n\tinc dptr\n";
    t += "\tmov 0x34,dpl\n\tmov 0x35,dph\n\tljmp 0xff00\n";
    return t;
}

// Logic in every operand form, rotations, SWAP, CPL, CLR, XCH, XCHD, and
// writes of ACC through its direct address (parity follows).
std::string LogicProgram()
{
    std::string t = kHeader;
    t += "\tmov sp,#0x60\n\tmov dptr,#0x0000\n\tmov r0,#0x50\n\tmov r1,#0xa0\n";
    int form = 0;
    for (const char* op : {"orl", "anl", "xrl"})
        for (uint8_t x : kEdgeValues)
            for (uint8_t y : {0x00, 0x0F, 0x5A, 0xFF}) {
                t += "\tmov a,#" + Hex2(x) + "\n";
                switch (form++ % 6) {
                case 0: t += std::string("\t") + op + " a,#" + Hex2(y) + "\n"; break;
                case 1: t += "\tmov 0x30,#" + Hex2(y) + "\n\t" + op + " a,0x30\n"; break;
                case 2: t += "\tmov @r1,#" + Hex2(y) + "\n\t" + op + " a,@r1\n"; break;
                case 3: t += "\tmov r" + std::to_string(form % 8) + ",#" + Hex2(y) + "\n\t" + op + " a,r" +
                             std::to_string(form % 8) + "\n\tmov r0,#0x50\n\tmov r1,#0xa0\n"; break;
                case 4: t += "\tmov 0x31,#" + Hex2(y) + "\n\t" + op + " 0x31,a\n\tmov a,0x31\n"; break;
                default: t += "\tmov 0x32,a\n\t" + std::string(op) + " 0x32,#" + Hex2(y) + "\n\tmov a,0x32\n"; break;
                }
                t += kStoreAPsw;
            }
    for (uint8_t x : kEdgeValues)
        for (const char* op : {"rr a", "rrc a", "rl a", "rlc a", "swap a", "cpl a", "clr a"})
            for (const char* carry : {"clr c", "setb c"}) {
                t += std::string("\t") + carry + "\n\tmov a,#" + Hex2(x) + "\n\t" + op + "\n";
                t += kStoreAPsw;
            }
    t += "\tmov a,#0x12\n\tmov 0x40,#0x34\n\txch a,0x40\n\tmov r0,#0x41\n\tmov @r0,#0x56\n\txch a,@r0\n";
    t += "\tmov r7,#0x78\n\txch a,r7\n\tmov r1,#0xc0\n\tmov @r1,#0x9a\n\txchd a,@r1\n\tmov r0,#0x42\n";
    t += "\tmov @r0,#0xbc\n\txchd a,@r0\n\tmov 0x43,a\n";
    t += "\tmov a,#0x01\n\txrl 0xe0,a\n\tmov 0x44,psw\n\tmov a,#0x03\n\torl 0xe0,#0x04\n\tmov 0x45,psw\n";
    t += "\tmov a,#0x01\n\tmov psw,#0x00\n\tmov 0x46,psw\n\tmov 0xe0,#0x07\n\tmov 0x47,psw\n";
    t += "\tmov a,#0x10\n\txch a,0xd0\n\tmov 0x48,a\n\tmov 0x49,psw\n";
    t += "\tmov a,#0x55\n\tpush acc\n\tmov a,#0x00\n\tpop acc\n\tmov 0x4a,psw\n\tljmp 0xff00\n";
    return t;
}

// Bit operations on bits of lower RAM, ACC, B and PSW, and the conditional
// jumps on bits in both directions.
std::string BitProgram()
{
    std::string t = kHeader;
    t += "\tmov sp,#0x60\n\tmov 0x20,#0xa5\n\tmov 0x2f,#0x3c\n\tmov a,#0x00\n\tmov b,#0xff\n";
    int n = 0;
    for (uint32_t bit : {0x00u, 0x07u, 0x3Cu, 0x7Fu, 0xE0u, 0xE3u, 0xE7u, 0xF0u, 0xF5u, 0xD1u, 0xD5u, 0xD7u}) {
        std::string b = Hex2(bit);
        std::string s = std::to_string(n++);
        t += "\tsetb " + b + "\n\tmov 0x30,psw\n\tcpl " + b + "\n\tmov 0x31,psw\n\tcpl " + b + "\n";
        t += "\tmov c," + b + "\n\tmov 0x32,psw\n\tclr " + b + "\n\torl c," + b + "\n\tanl c,/" + b + "\n";
        t += "\tmov 0x33,psw\n\tsetb c\n\tanl c," + b + "\n\torl c,/" + b + "\n\tmov " + b + ",c\n";
        t += "\tjb " + b + ",jb" + s + "\n\tinc 0x34\njb" + s + ":\n\tjnb " + b + ",jnb" + s + "\n\tinc 0x35\njnb" + s + ":\n";
        t += "\tjbc " + b + ",jbc" + s + "\n\tinc 0x36\njbc" + s + ":\n\tjbc " + b + ",jbd" + s + "\n\tinc 0x37\njbd" + s + ":\n";
        t += "\tmov a,0x20\n\tadd a,0x30\n\tadd a,0x31\n\tadd a,0x32\n\tadd a,0x33\n\tmov 0x20,a\n";
        t += "\tmov r7,psw\n\tmov a,r7\n\txrl 0x2f,a\n\tmov psw,#0\n";
    }
    t += "\tcpl c\n\tmov 0x38,psw\n\tcpl c\n\tmov 0x39,psw\n\tclr c\n\tmov 0x3a,psw\n\tljmp 0xff00\n";
    return t;
}

// Jumps, calls and returns at 2 KB page edges, relative jumps both ways,
// the jump table through JMP @A+DPTR, CJNE and DJNZ in every form.
std::string JumpProgram()
{
    std::string t = kHeader;
    t += "\tmov sp,#0x60\n\tmov 0x30,#0\n\tljmp start\n";
    // sdld checks the 2 KB page against the instruction's own address, the
    // processor against the address after it: these two are written as bytes.
    t += "\t.org 0x07fe\n\t.db 0x11,0x40\n\tmov 0x31,sp\n\tljmp back0\n";
    t += "\t.org 0x0840\npage1:\n\tmov 0x32,sp\n\tmov r0,sp\n\tmov 0x33,@r0\n\tdec r0\n\tmov 0x34,@r0\n\tret\n";
    t += "\t.org 0x0ffe\n\t.db 0x01,0x00\n\t.org 0x1000\nover:\n\tmov 0x35,#0x99\n\treti\n";
    t += "\t.org 0x0100\nstart:\n\tljmp 0x07fe\nback0:\n";
    t += "\tacall 0x0140\n\tljmp skip\n\t.org 0x0140\n\tinc 0x30\n\tret\n\t.org 0x0150\nskip:\n";
    t += "\tmov r2,#0x10\nloop:\n\tinc 0x36\n\tdjnz r2,loop\n\tmov 0x37,#0x05\nloop2:\n\tinc 0x38\n\tdjnz 0x37,loop2\n";
    t += "\tmov 0x3f,#0\n";
    for (int r = 0; r < 8; ++r) {
        std::string s = std::to_string(r);
        t += "\tmov r" + s + ",#" + s + "\nd" + s + ":\n\tinc 0x3f\n\tdjnz r" + s + ",d" + s + "\n";
    }
    t += "\tlcall 0x0ffe\n\tmov 0x39,#0\n\tmov dptr,#table\n";
    for (int k = 0; k < 4; ++k) {
        t += "\tmov a,#" + std::to_string(k * 2) + "\n\tjmp @a+dptr\nret" + std::to_string(k) + ":\n";
    }
    t += "\tsjmp cj\ntable:\n\tsjmp t0\n\tsjmp t1\n\tsjmp t2\n\tsjmp t3\n";
    for (int k = 0; k < 4; ++k)
        t += "t" + std::to_string(k) + ":\n\torl 0x39,#" + Hex2(1u << k) + "\n\tljmp ret" + std::to_string(k) + "\n";
    t += "cj:\n\tmov dptr,#0x0000\n";
    int n = 0;
    for (uint8_t x : {0x05, 0x10, 0x11})
        for (int form = 0; form < 11; ++form) {
            std::string s = std::to_string(n++);
            t += "\tmov a,#" + Hex2(x) + "\n\tmov 0x40,#0x10\n\tmov r0,#0x41\n\tmov @r0,#" + Hex2(x) + "\n";
            t += "\tmov r1,#0x90\n\tmov @r1,#" + Hex2(x) + "\n";
            switch (form) {
            case 0: t += "\tcjne a,#0x10,c" + s + "\n"; break;
            case 1: t += "\tcjne a,0x40,c" + s + "\n"; break;
            case 2: t += "\tcjne @r0,#0x10,c" + s + "\n"; break;
            case 3: t += "\tcjne @r1,#0x10,c" + s + "\n"; break;
            default: {
                std::string r = std::to_string(form - 3);
                t += "\tmov r" + r + ",#" + Hex2(x) + "\n\tcjne r" + r + ",#0x10,c" + s + "\n";
            }
            }
            t += "\tmov a,#0xee\n\tsjmp e" + s + "\nc" + s + ":\n\tmov a,#0x11\ne" + s + ":\n" + kStoreAPsw;
        }
    t += "\tmov r0,#0x10\n\tcjne r0,#0x10,bad\n\tcjne r1,#0x10,good\nbad:\n\tmov 0x3e,#0xbb\ngood:\n";
    t += "\tmov a,#0\n\tjz z1\n\tinc 0x3d\nz1:\n\tjnz z2\n\tinc 0x3d\nz2:\n\tsetb c\n\tjc z3\n\tinc 0x3d\nz3:\n";
    t += "\tjnc z4\n\tinc 0x3d\nz4:\n\tclr c\n\tjnc z5\n\tinc 0x3c\nz5:\n\tmov a,#1\n\tjnz z6\n\tinc 0x3c\nz6:\n";
    t += "\tnop\n\tljmp 0xff00\n";
    return t;
}

// Every instruction over each of R0..R7 and @R0, @R1; the registers of bank 2.
std::string RegisterFormsProgram()
{
    std::string t = kHeader;
    t += "\tmov sp,#0x60\n\tmov dptr,#0x0000\n\tmov psw,#0x10\n";
    for (int n = 0; n < 8; ++n) {
        std::string r = "r" + std::to_string(n);
        t += "\tmov " + r + ",#" + Hex2(0x37 * n + 0x15) + "\n\tmov a," + r + "\n";
        for (const char* op : {"add", "addc", "subb", "orl", "anl", "xrl"})
            t += std::string("\t") + op + " a," + r + "\n" + kStoreAPsw;
        t += "\tmov " + Hex2(0x30 + n) + "," + r + "\n\tmov " + r + "," + Hex2(0x2f - n) + "\n";
        t += "\tinc " + r + "\n\tinc " + r + "\n\tdec " + r + "\n\txch a," + r + "\n\tcpl a\n\tmov " + r + ",a\n";
        t += "\tmov " + Hex2(0x38 + n) + "," + r + "\n\tmov a,#" + Hex2(n * 29) + "\n";
    }
    for (int i = 0; i < 2; ++i) {
        std::string ri = "@r" + std::to_string(i);
        std::string setup = "\tmov r" + std::to_string(i) + ",#" + Hex2(i ? 0x9c : 0x5c) + "\n";
        t += setup + "\tmov " + ri + ",#0x6b\n\tmov a," + ri + "\n";
        for (const char* op : {"add", "addc", "subb", "orl", "anl", "xrl"})
            t += std::string("\t") + op + " a," + ri + "\n" + kStoreAPsw;
        t += "\tmov " + Hex2(0x40 + i) + "," + ri + "\n\tmov " + ri + ",0x2e\n\tinc " + ri + "\n\tinc " + ri +
             "\n\tdec " + ri + "\n\txch a," + ri + "\n\txchd a," + ri + "\n\tmov " + Hex2(0x42 + i) + ",a\n";
        t += "\tmov a,#0x3c\n\tmov " + ri + ",a\n\tmov p2,#0x01\n\tmovx " + ri + ",a\n\tinc " + ri +
             "\n\tmov a," + ri + "\n\tmovx a," + ri + "\n\tmov " + Hex2(0x44 + i) + ",a\n";
    }
    t += "\tljmp 0xff00\n";
    return t;
}

// ACALL and AJMP to each of the eight 256-byte blocks of a 2 KB page.
std::string PageProgram()
{
    std::string t = kHeader;
    t += "\tmov sp,#0x60\n";
    for (int k = 1; k < 8; ++k) t += "\tacall s" + std::to_string(k) + "\n";
    t += "\tacall s0\n\tajmp j1\nfinish:\n\tmov 0x32,#0x77\n\tljmp 0xff00\ns0:\n\tinc 0x33\n\tret\n";
    for (int k = 1; k < 8; ++k) {
        std::string page = std::to_string(k);
        t += "\t.org 0x0" + page + "00\ns" + page + ":\n\tinc 0x30\n\tmov a,0x30\n\tadd a,#" + page +
             "\n\tmov 0x30,a\n\tret\n";
        t += "\t.org 0x0" + page + "10\nj" + page + ":\n\tinc 0x31\n\tajmp " +
             (k < 7 ? "j" + std::to_string(k + 1) : std::string("finish")) + "\n";
    }
    return t;
}

// MOVC in both forms, MOVX through DPTR and through P2 with R0 and R1, the
// stack wrapping over 0xFF, and PUSH and POP of SP itself.
std::string MemoryProgram()
{
    std::string t = kHeader;
    t += "\tmov sp,#0x60\n\tmov dptr,#data\n\tmov r0,#0x40\n";
    for (int k = 0; k < 8; ++k) t += "\tmov a,#" + std::to_string(k * 31 % 16) + "\n\tmovc a,@a+dptr\n\tmov @r0,a\n\tinc r0\n";
    t += "\tmov a,#4\n\tmovc a,@a+pc\n\tsjmp pcdone\n\t.db 0x11,0x22,0x33,0x44,0x55,0x66\npcdone:\n\tmov 0x48,a\n";
    t += "\tmov dptr,#0x0123\n\tmov a,#0x5a\n\tmovx @dptr,a\n\tinc dptr\n\tcpl a\n\tmovx @dptr,a\n";
    t += "\tmov p2,#0x02\n\tmov r0,#0x34\n\tmov a,#0x77\n\tmovx @r0,a\n\tmov r1,#0xff\n\tinc a\n\tmovx @r1,a\n";
    t += "\tmov dptr,#0x0234\n\tmovx a,@dptr\n\tmov 0x49,a\n\tmov p2,#0x01\n\tmov r1,#0x24\n\tmovx a,@r1\n";
    t += "\tmov 0x4a,a\n\tmov r0,#0x23\n\tmovx a,@r0\n\tmov 0x4b,a\n";
    t += "\tmov sp,#0xfd\n\tmov a,#0xa1\n\tpush acc\n\tinc a\n\tpush acc\n\tinc a\n\tpush acc\n\tinc a\n\tpush acc\n";
    t += "\tlcall sub\n\tpop 0x4c\n\tpop 0x4d\n\tpop 0x4e\n\tpop 0x4f\n\tpop 0x50\n\tmov 0x51,sp\n";
    t += "\tmov sp,#0x70\n\tpush sp\n\tmov 0x52,sp\n\tmov 0x72,#0x33\n\tmov sp,#0x72\n\tpop sp\n\tmov 0x53,sp\n";
    t += "\tmov sp,#0x7e\n\tpush 0x40\n\tpush 0x41\n\tpush 0x42\n\tmov r0,#0x80\n\tmov 0x54,@r0\n\tmov 0x55,sp\n";
    t += "\tmov b,#0x66\n\tmov r1,#0xf0\n\tmov 0x56,@r1\n\tmov @r1,#0x67\n\tmov 0x57,b\n";
    t += "\tljmp 0xff00\nsub:\n\tmov 0x58,sp\n\tret\n";
    t += "data:\n\t.db 0x10,0x21,0x32,0x43,0x54,0x65,0x76,0x87,0x98,0xa9,0xba,0xcb,0xdc,0xed,0xfe,0x0f\n";
    return t;
}

const char* kCrcProgram = R"(
#include <stdint.h>
__xdata uint8_t buf[64];
__xdata uint16_t result[4];
uint16_t crc16(const uint8_t __xdata* p, uint8_t n)
{
    uint16_t c = 0xFFFF;
    while (n--) {
        uint8_t i;
        c ^= *p++;
        for (i = 0; i < 8; i++) c = (c & 1) ? (c >> 1) ^ 0xA001 : c >> 1;
    }
    return c;
}
void main(void)
{
    uint8_t i;
    for (i = 0; i < 64; i++) buf[i] = i * 7 + 3;
    result[0] = crc16(buf, 64);
    result[1] = crc16(buf + 3, 17);
    ((void (*)(void))0xFF00)();
}
)";

const char* kMathProgram = R"(
#include <stdint.h>
__xdata int32_t out32[8];
__xdata int16_t out16[8];
__xdata float outf[4];
__xdata uint8_t sorted[16];
void main(void)
{
    int32_t a = 123456789, b = -9876;
    int16_t x = -1234, y = 57;
    float f = 3.25f, g = -0.125f;
    uint8_t i, j, t;
    out32[0] = a * b; out32[1] = a / b; out32[2] = a % b; out32[3] = a >> 5;
    out32[4] = (uint32_t)a * 3u; out32[5] = (int32_t)x * y;
    out16[0] = x * y; out16[1] = x / y; out16[2] = x % y; out16[3] = (uint16_t)x / 7u;
    outf[0] = f * g; outf[1] = f / g + 1.5f; outf[2] = (float)a; outf[3] = f - (float)x;
    for (i = 0; i < 16; i++) sorted[i] = (uint8_t)(i * 97 + 13);
    for (i = 0; i < 16; i++)
        for (j = i + 1; j < 16; j++)
            if (sorted[j] < sorted[i]) { t = sorted[i]; sorted[i] = sorted[j]; sorted[j] = t; }
    ((void (*)(void))0xFF00)();
}
)";

// The opcodes of the instructions in the linker's relocated listings: lines
// with a cycle count in brackets are instructions, their first byte the opcode.
std::set<uint32_t> ListedOpcodes(const std::string& dir, const std::vector<Program>& programs)
{
    std::set<uint32_t> opcodes;
    for (const Program& p : programs) {
        std::istringstream listing(ReadText(dir + "/" + p.name + ".rst"));
        for (std::string line; std::getline(listing, line);) {
            unsigned address, opcode;
            if (line.find('[') != std::string::npos && sscanf(line.c_str(), " %x %x", &address, &opcode) == 2)
                opcodes.insert(opcode);
        }
    }
    return opcodes;
}

void CompareAll(const std::vector<Program>& programs, bool expectEveryOpcode = false)
{
    std::string dir = testsupport::MakeTempDir("sim51-s51");
    std::string error;
    ASSERT_TRUE(BuildPrograms(dir, programs, &error)) << error;
    if (expectEveryOpcode) {
        std::set<uint32_t> listed = ListedOpcodes(dir, programs);
        for (uint32_t opcode = 0; opcode < 256; ++opcode)
            if (opcode != SIM51_TRAP_OPCODE) {
                EXPECT_TRUE(listed.count(opcode)) << "opcode " << std::hex << opcode << " not exercised";
            }
    }
    std::vector<MachineState> theirs;
    ASSERT_TRUE(RunS51(dir, programs, &theirs, &error)) << error;
    for (size_t i = 0; i < programs.size(); ++i) {
        std::string ourError;
        MachineState ours = RunOurs(ImagePath(dir, programs[i]), programs[i].xramEnd, &ourError);
        EXPECT_EQ(ourError, "") << programs[i].name;
        std::string difference = Difference(ours, theirs[i]);
        EXPECT_EQ(difference, "") << programs[i].name << " (" << dir << ")";
    }
}

}  // namespace

TEST(Sim51AgainstS51, DirectedProgramsPerInstructionGroup)
{
    if (!ToolsPresent()) GTEST_SKIP() << "sdcc tools or s51 not installed";
    CompareAll({
        {"arith", ArithmeticProgram(), false, 0x07FF},
        {"decimal", DecimalMulDivProgram(), false, 0x0FFF},
        {"logic", LogicProgram(), false, 0x03FF},
        {"bits", BitProgram(), false, 0x00FF},
        {"jumps", JumpProgram(), false, 0x00FF},
        {"memory", MemoryProgram(), false, 0x03FF},
        {"pages", PageProgram(), false, 0x00FF},
        {"registers", RegisterFormsProgram(), false, 0x01FF},
    }, true);
}

TEST(Sim51AgainstS51, CompiledCPrograms)
{
    if (!ToolsPresent()) GTEST_SKIP() << "sdcc tools or s51 not installed";
    CompareAll({
        {"crc", kCrcProgram, true, 0x00FF},
        {"math", kMathProgram, true, 0x00FF},
    });
}

TEST(Sim51AgainstS51, RandomProgramsFromFixedSeeds)
{
    if (!ToolsPresent()) GTEST_SKIP() << "sdcc tools or s51 not installed";
    std::vector<Program> programs;
    for (uint32_t seed = 1; seed <= 150; ++seed) {
        ProgramGenerator generator(seed * 7919u);
        programs.push_back({"rnd" + std::to_string(seed), generator.Generate(160), false, 0x03FF});
    }
    CompareAll(programs);
}
