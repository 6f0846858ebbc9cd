// SIM51: the 8051 instruction set. The run loop executes the instructions of
// the active CPU; the table steps one instruction at a time on g_sim51Active:
// each entry is entered with PC past the opcode byte, fetches its own operands
// and adds its fixed clock cost once.
#pragma once
#include <cstdint>

typedef void (*SIM51_OPCODE_FN)();

extern const SIM51_OPCODE_FN SIM51_OPCODE_TABLE[256];

// Runs instructions from the active PC until the stack pointer falls below
// startSp or the clock count passes clockLimit, checked after each instruction.
void SIM51_RunLoop(uint8_t startSp, uint32_t clockLimit);

// The module service trap (opcode 0xA5); it adds no clocks itself.
void SIM51_OpA5Backcall();

// 1 when the byte has an odd number of one bits.
uint8_t SIM51_Parity(uint8_t value);
