// KOMBUS: the simulated on-board bus. A token circulates among the powered
// communicating modules in address order; its holder transmits the first
// message of its send queue, which reaches its destination after a time that
// grows with its length and runs the destination's bus message entry.
// Each satellite has a bus of its own: messages, the token and addresses never
// pass from one satellite's bus to another's.
#pragma once
#include <cstdint>
#include "foundation/events.h"

struct SWMODULE;

constexpr uint32_t KOMBUS_MESSAGE_BYTES = 260;
constexpr uint32_t KOMBUS_EVENT_SLOTS = 256;
constexpr uint8_t KOMBUS_BROADCAST = 127;
constexpr uint32_t KOMBUS_MAX_BUFFERS = 64;

struct KOMBUS_BUFFER {
    uint8_t bytes[KOMBUS_MESSAGE_BYTES];   // [0] length with itself, [1] destination, payload
    KOMBUS_BUFFER* next;
};

struct KOMBUS_QUEUE {
    KOMBUS_BUFFER* head;
    KOMBUS_BUFFER* tail;
};

struct KOMBUS_BUS;

struct KOMBUS_MODULE {
    SWMODULE* owner;
    uint32_t tokenPending;
    uint32_t connected;
    uint32_t generation;
    KOMBUS_MODULE* successor;
    uint16_t tokenDelay;
    EVENT_HANDLE events[KOMBUS_EVENT_SLOTS];
    KOMBUS_BUFFER* takenReceived;
    KOMBUS_BUFFER* takenSend;
    uint32_t sharedBuffers;   // 1: sending borrows from the receive buffers
    uint8_t receiveCount;
    uint8_t sendCount;
    KOMBUS_QUEUE received;
    KOMBUS_BUFFER* receiveFree;
    KOMBUS_QUEUE sendQueue;
    KOMBUS_BUFFER* sendFree;
    uint32_t transmitting;    // a transmission of this record is in flight
    KOMBUS_BUS* satelliteBus; // the bus of the module's satellite
    KOMBUS_MODULE* next;      // the next record on that bus
};

// One satellite's bus: its records in creation order and whether its token
// circulates.
struct KOMBUS_BUS {
    KOMBUS_MODULE* head;
    KOMBUS_MODULE* tail;
    uint32_t active;
    KOMBUS_BUS* next;         // the next bus of the run
};

void KOMBUS_Init();
void KOMBUS_FreeAll();
// A new, empty bus for one satellite's modules; null when out of memory.
KOMBUS_BUS* KOMBUS_CreateBus();
KOMBUS_MODULE* KOMBUS_CreateModule(SWMODULE* module, KOMBUS_BUS* satelliteBus);
void KOMBUS_Connect(SWMODULE* module);
void KOMBUS_Disconnect(SWMODULE* module);
// The first record on the bus whose module owns the address, or null.
KOMBUS_MODULE* KOMBUS_FindByAddress(const KOMBUS_BUS* satelliteBus, uint8_t address);

// The module's side.
uint32_t KOMBUS_HasReceived(const KOMBUS_MODULE* bus);
uint32_t KOMBUS_IsReceivedTaken(const KOMBUS_MODULE* bus);
KOMBUS_BUFFER* KOMBUS_TakeReceived(KOMBUS_MODULE* bus);
void KOMBUS_ReleaseReceived(KOMBUS_MODULE* bus);
uint32_t KOMBUS_IsSendTaken(const KOMBUS_MODULE* bus);
uint32_t KOMBUS_TakeSendBuffer(KOMBUS_MODULE* bus);
// Copies the message at the xram address (its first byte gives its length,
// addresses wrap at 0xFFFF) into the taken send buffer and queues it.
void KOMBUS_QueueSend(KOMBUS_MODULE* bus, const uint8_t* xram, uint16_t address);
// Gives the taken send buffer back unsent.
void KOMBUS_ReturnSendBuffer(KOMBUS_MODULE* bus);

void KOMBUS_OnToken(uint32_t reason, EVENT* event);
void KOMBUS_OnTransmitEnd(uint32_t reason, EVENT* event);

uint32_t KOMBUS_IsValidAddress(int64_t address);
uint32_t KOMBUS_AreValidBufferCounts(int64_t receive, int64_t send);
// Whether the bus's token circulates, for inspection.
uint32_t KOMBUS_IsActive(const KOMBUS_BUS* satelliteBus);
