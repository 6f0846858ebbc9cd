// KOM / module services: the 23 native services that on-board module code
// reaches by calling fixed code addresses holding the trap byte. They act on
// SWMODULE_CurrentModule and on the active CPU.
#pragma once
#include <cstdint>

struct SIM51_CPU;

constexpr uint32_t KOM_SERVICE_COUNT = 23;

// Registers every service in the CPU's table, in their fixed order.
uint32_t KOM_RegisterServices(SIM51_CPU* cpu);
