// COIL: a magnetorquer of a satellite: a flat rectangular winding whose
// current, set by on-board module outputs, gives a dipole along a fixed body
// direction. Every change of current is timed, so the coil accounts for its
// energy and for its average power over a recent window.
#pragma once
#include <cstdint>
#include "foundation/time.h"
#include "foundation/vecmath.h"
#include "onboard/swvalue.h"

struct SATELIT;

enum COIL_DRIVING : uint32_t { COIL_DRIVING_OFF = 0, COIL_DRIVING_PWM_VOLTAGE = 1, COIL_DRIVING_VOLTAGE = 2 };
enum COIL_SHAPE : uint32_t { COIL_SHAPE_RECTANGULAR = 1 };
enum COIL_CORE : uint32_t { COIL_CORE_NONE = 1 };

constexpr uint32_t COIL_TAG_PWM_PLUS = 1000;
constexpr uint32_t COIL_TAG_PWM_MINUS = 1001;
constexpr uint32_t COIL_TAG_VOLTAGE = 1002;

// One change of current: from `time` on, `current` flowed.
struct COIL_QUEUE_ITEM {
    TIME_MS time;
    double current;
};

// The record starts on a cache line. A module run that sets the current
// reads and writes the first two lines only: the output's scale, the energy,
// the current and its history. The third holds what an attitude update
// reads besides the current: the winding's size and direction.
struct COIL {
    uint32_t driving;
    int32_t voltageValue;
    int32_t minOutput, maxOutput;
    double minVoltage, maxVoltage;
    double resistance;           // ohm
    double power;                // W
    double energy;               // J since the link
    TIME_MS energyTime;
    double current;              // A
    SATELIT* satellite;
    // The history: a ring of queueCapacity items (a power of two, 0 before
    // the first), queueCount of them held from index queueOldest on. The
    // oldest leaves at queueExpiry: when the one after it is a whole history
    // span old (never while fewer than two are held).
    COIL_QUEUE_ITEM* queue;
    uint32_t queueCount;
    uint32_t queueCapacity;
    uint32_t queueOldest;
    uint8_t historyKept;         // 0: no reader of the average power, so no history
    uint8_t powerRead;           // a reader of the average power was linked
    TIME_MS queueExpiry;
    COIL_QUEUE_ITEM newest;      // a copy of the newest item, read without touching the ring
    double sideA, sideB;         // m
    VEC3 direction;              // body, any length
    COIL* next;                  // the satellite's next coil, followed by the dipole sum
    int32_t pwmPlusValue;
    int32_t pwmMinusValue;
    uint32_t pwmPending;
    uint32_t windings;
    double pwmVoltage;           // V
    char* name;
    uint32_t shape;
    uint32_t core;
    VEC3 position;               // m, body
    SW_CONNECTION pwmPlusInput;
    SW_CONNECTION pwmMinusInput;
    SW_CONNECTION voltageInput;
};

void COIL_Init();
void COIL_Done();
// Reads `"<name>"` and the block up to "end"; null on failure (logged).
COIL* COIL_Parse(SATELIT* satellite);
// Reads VECTOR(<x>, <y>, <z>) of plain numbers.
uint32_t COIL_ReadVector(VEC3* out);
// Binds the driving inputs to the module outputs and zeroes the electrical state.
uint32_t COIL_Link(COIL* coil, SWMODULE* firstModule);
void COIL_OnModuleOutput(uint32_t phase, void* coil, uint32_t tag, SW_VALUE* value);
void COIL_SetCurrent(COIL* coil, double current);
// The dipole of the present current, A m^2, body frame.
void COIL_GetMoment(const COIL* coil, VEC3* moment);
double COIL_GetTotalEnergy(const COIL* coil);
// Mean power over the last `window` ms of the clock.
double COIL_GetAveragePower(const COIL* coil, TIME_MS window);
// A parsed coil keeps its current history from the link on. Once the run's
// readers are linked, a coil whose average power no reader asked for drops
// its history and keeps none: with many satellites the rings of coils nobody
// reads would only push the satellites' working data out of the caches.
void COIL_MarkPowerRead(COIL* coil);
void COIL_DropUnreadHistory(COIL* coil);
// The i-th item of the history, 0 the oldest (i < queueCount).
const COIL_QUEUE_ITEM* COIL_HistoryItem(const COIL* coil, uint32_t i);
void COIL_Free(COIL* coil);
