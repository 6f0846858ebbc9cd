// SWMODULE: an on-board module of a satellite: its definition in an
// "onboard_module" block, its 8051 image, its inputs and outputs with their
// declarations and bindings, its start, power and scheduling.
#pragma once
#include <cstdint>
#include "foundation/time.h"
#include "onboard/swvalue.h"
#include "foundation/events.h"

struct SIM51_CPU;
struct KOMBUS_MODULE;
struct KOM_LOG_GATE;

enum SWMODULE_ENTRY_CODE : uint32_t {
    SWMODULE_ENTRY_WARM_START = 1,
    SWMODULE_ENTRY_COLD_START = 2,
    SWMODULE_ENTRY_1MS = 3,
    SWMODULE_ENTRY_10MS = 4,
    SWMODULE_ENTRY_1000MS = 5,
    SWMODULE_ENTRY_BUS_MESSAGE = 6,
};
constexpr uint32_t SWMODULE_ENTRY_COUNT = 6;

enum SWMODULE_POWER_STATE : uint32_t {
    SWMODULE_POWER_OFF = 1,
    SWMODULE_POWER_GOING_ON = 2,
    SWMODULE_POWER_ON = 3,
    SWMODULE_POWER_GOING_OFF = 4,
};

enum SWMODULE_POWER_KIND : uint32_t { SWMODULE_ALWAYS_POWERED = 1, SWMODULE_POWERED_BY_CONNECTION = 2 };
enum SWMODULE_BUS_KIND : uint32_t { SWMODULE_BUS_NONE = 0, SWMODULE_BUS_SMALL = 1, SWMODULE_BUS_LARGE = 2 };
constexpr uint32_t SWMODULE_CODE_X51 = 1;
constexpr uint32_t SWMODULE_MAX_PORTS = 64;       // inputs, outputs, and bindings per entry
constexpr uint32_t SWMODULE_MAX_ADDRESSES = 4;
constexpr uint32_t SWMODULE_PERIOD_NONE = 0xFFFFFFFFu;

// Cells of the module image.
constexpr uint16_t SWMODULE_CELL_ENTRY_ADDRESS = 0xFF80;
constexpr uint16_t SWMODULE_CELL_INPUT_TYPE = 0xFF82;
constexpr uint16_t SWMODULE_CELL_INPUT_ADDRESS = 0xFF84;
constexpr uint16_t SWMODULE_CELL_INPUT_ENTRY = 0xFF86;
constexpr uint16_t SWMODULE_CELL_OUTPUT_TYPE = 0xFF88;
constexpr uint16_t SWMODULE_CELL_OUTPUT_ADDRESS = 0xFF8A;
constexpr uint16_t SWMODULE_CELL_OUTPUT_ENTRY = 0xFF8C;
constexpr uint16_t SWMODULE_CELL_MESSAGE_IRAM = 0xFF8F;
constexpr uint16_t SWMODULE_CELL_RECEIVE_BUFFER = 0xFF90;
constexpr uint16_t SWMODULE_CELL_SEND_BUFFER = 0xFF92;

// The fields that feeding and propagation touch come first in the port
// records; every record of an array starts on a line of its own.
struct alignas(64) SWMODULE_INPUT {
    uint16_t address;
    SW_VALUE value;
    SW_CONNECTION source;
    uint32_t declared;
    char* name;
};

// The fields propagation touches fill the first line.
struct alignas(64) SWMODULE_OUTPUT {
    uint16_t address;
    uint16_t poweredCount;
    uint32_t refreshStamp;
    SW_VALUE value;
    // The first referer registered lives in the record, so that an output
    // with one follower reaches it without a separate block; later ones,
    // newest first, are in the list and are called before it.
    uint32_t refererTag;
    SW_REFERER_CALLBACK refererCallback;   // null while unused
    void* refererOwner;
    SW_REFERER* referers;
    SWMODULE** powered;
    char* name;
    uint32_t declared;
};

// Indexes of the inputs and outputs bound to one entry: the inputs', then
// the outputs', each kind in binding order. Kept in one array, a run of an
// entry with few ports reads both kinds from one or two lines.
struct SWMODULE_BINDINGS {
    uint16_t inputCount;
    uint16_t outputCount;
    uint16_t index[2 * SWMODULE_MAX_PORTS];
};

inline const uint16_t* SWMODULE_BoundInputs(const SWMODULE_BINDINGS* b) { return b->index; }
inline const uint16_t* SWMODULE_BoundOutputs(const SWMODULE_BINDINGS* b) { return b->index + b->inputCount; }
// Adds the index after the others of its kind; the caller has checked that
// it is new and that its kind has room.
void SWMODULE_AddBinding(SWMODULE_BINDINGS* bindings, bool output, uint16_t index);

// The record starts on a cache line. The fields that the scheduling of every
// satellite reads at each step and a periodic run uses fill its first two
// lines, so that a run touches few lines of it.
struct SWMODULE {
    uint32_t period;
    uint32_t powerState;
    TIME_MS lastTick;
    TIME_MS lastRun[3];
    uint32_t firstTick[3];    // 1 ms, 10 ms, 1000 ms entries
    uint16_t entries[SWMODULE_ENTRY_COUNT];   // by entry code - 1; 0 = not registered
    uint32_t codeKind;
    uint16_t inputCount;
    uint16_t outputCount;
    SIM51_CPU* cpu;
    SWMODULE_INPUT* inputs;
    SWMODULE_OUTPUT* outputs;
    SWMODULE* next;
    char* name;
    uint32_t powerKind;
    SW_CONNECTION powerSource;
    TIME_MS powerOutCold;
    TIME_MS delayPowerOn;
    TIME_MS delayPowerOff;
    uint32_t firstPowerUp;
    TIME_MS lastPowerChange;
    TIME_MS powerLostTime;
    EVENT_HANDLE powerEvent;
    uint32_t powerEventFailReported;
    uint32_t busKind;
    uint8_t busAddresses[SWMODULE_MAX_ADDRESSES];
    uint8_t lowestAddress;    // 255 when none
    uint8_t highestAddress;   // 0 when none
    uint8_t addressCount;
    uint16_t receiveBuffers;
    uint16_t sendBuffers;
    KOMBUS_MODULE* bus;       // null when the module does not communicate
    TIME_MS powerOnTime;
    KOM_LOG_GATE* logGate;    // the module's open line and the counts of its lines in this run
    const char* satelliteName;   // of the satellite that runs it, for its log lines (not owned); null: none
    SWMODULE_BINDINGS bindings[SWMODULE_ENTRY_COUNT];
};

// The module on whose behalf emulated code runs.
extern SWMODULE* SWMODULE_CurrentModule;

// Definition.
SWMODULE* SWMODULE_ParseDefinition();
uint32_t SWMODULE_LinkConnections(SWMODULE* module, SWMODULE* firstModule);
void SWMODULE_Destroy(SWMODULE* module);
SWMODULE* SWMODULE_FindByName(SWMODULE* firstModule, const char* name);
SWMODULE_INPUT* SWMODULE_FindInput(SWMODULE* module, const char* name, uint16_t* index);
SWMODULE_OUTPUT* SWMODULE_FindOutput(SWMODULE* module, const char* name, uint16_t* index);
uint16_t SWMODULE_CodeWord(const SWMODULE* module, uint16_t cell);

// Start, power and scheduling.
uint32_t SWMODULE_StartModules(SWMODULE* firstModule);
void SWMODULE_SetPower(SWMODULE* module, uint32_t on);
void SWMODULE_OnPowerOnDone(uint32_t reason, EVENT* event);
void SWMODULE_OnPowerOffDone(uint32_t reason, EVENT* event);
void SWMODULE_RunEntry1(SWMODULE* module);
void SWMODULE_RunEntry2(SWMODULE* module);
void SWMODULE_Tick(SWMODULE* module);
void SWMODULE_DeliverMessage(SWMODULE* module);
void SWMODULE_FeedInputs(SWMODULE* module, const uint16_t* indexes, uint16_t count);
void SWMODULE_PropagateOutputs(SWMODULE* module, const uint16_t* indexes, uint16_t count);
