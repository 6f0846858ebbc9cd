// KOMBUS: bus records of the communicating modules, their buffers and queues,
// the token ring, transmissions and delivery, on one bus per satellite.
// Everything runs on the simulation thread inside event callbacks and module
// runs.
#include "onboard/kombus.h"
#include <cstring>
#include "foundation/log.h"
#include "foundation/memory.h"
#include "foundation/pool.h"
#include "onboard/swmodule.h"
#include "foundation/time.h"

namespace {

// The buses of the run, in creation order.
KOMBUS_BUS* s_head = nullptr;
KOMBUS_BUS* s_tail = nullptr;

constexpr TIME_MS kTokenStartDelay = 5;
constexpr uint16_t kLoneTokenDelay = 40;

// ---- event data: the record in the last eight bytes, a generation in the first four

void SetEventData(EVENT* event, KOMBUS_MODULE* bus, uint32_t generation)
{
    memcpy(event->userData, &generation, sizeof generation);
    memcpy(event->userData + 8, &bus, sizeof bus);
}

KOMBUS_MODULE* EventRecord(const EVENT* event)
{
    KOMBUS_MODULE* bus;
    memcpy(&bus, event->userData + 8, sizeof bus);
    return bus;
}

uint32_t EventGeneration(const EVENT* event)
{
    uint32_t generation;
    memcpy(&generation, event->userData, sizeof generation);
    return generation;
}

// ---- event-handle slots ------------------------------------------------------

uint8_t HandleHash(EVENT_HANDLE handle)
{
    uint32_t sum = 0;
    for (uint32_t i = 0; i < sizeof handle; ++i) sum += static_cast<uint8_t>(static_cast<uint64_t>(handle) >> (8 * i));
    return static_cast<uint8_t>(sum);
}

void RememberEvent(KOMBUS_MODULE* bus, EVENT_HANDLE handle)
{
    if (handle == EVENT_HANDLE_NONE) return;
    uint8_t hash = HandleHash(handle);
    for (uint32_t step = 1; step < KOMBUS_EVENT_SLOTS; ++step) {
        EVENT_HANDLE& slot = bus->events[static_cast<uint8_t>(hash + step)];
        if (slot != EVENT_HANDLE_NONE) continue;
        slot = handle;
        return;
    }
}

void ForgetEvent(KOMBUS_MODULE* bus, EVENT_HANDLE handle)
{
    if (handle == EVENT_HANDLE_NONE) return;
    uint8_t hash = HandleHash(handle);
    for (uint32_t step = 1; step < KOMBUS_EVENT_SLOTS; ++step) {
        EVENT_HANDLE& slot = bus->events[static_cast<uint8_t>(hash + step)];
        if (slot != handle) continue;
        slot = EVENT_HANDLE_NONE;
        return;
    }
}

// Cancels every recorded event; their callbacks forget them on reason 2.
void CancelEvents(KOMBUS_MODULE* bus)
{
    EVENT_HANDLE pending[KOMBUS_EVENT_SLOTS];
    memcpy(pending, bus->events, sizeof pending);
    for (EVENT_HANDLE handle : pending)
        if (handle != EVENT_HANDLE_NONE) EVENTS_Cancel(handle);
    for (EVENT_HANDLE& slot : bus->events) slot = EVENT_HANDLE_NONE;
}

EVENT_HANDLE Schedule(KOMBUS_MODULE* bus, TIME_MS delay, EVENT_CALLBACK callback, uint32_t generation)
{
    EVENT event;
    EVENTS_ClearEvent(&event);
    event.dueTime = g_simClock.clock + delay;
    event.callback = callback;
    event.word = 0;
    SetEventData(&event, bus, generation);
    EVENT_HANDLE handle = EVENTS_Schedule(&event);
    RememberEvent(bus, handle);
    return handle;
}

// ---- buffers and queues ------------------------------------------------------

void Push(KOMBUS_BUFFER** list, KOMBUS_BUFFER* buffer)
{
    buffer->next = *list;
    *list = buffer;
}

KOMBUS_BUFFER* Pop(KOMBUS_BUFFER** list)
{
    KOMBUS_BUFFER* buffer = *list;
    if (buffer) *list = buffer->next;
    return buffer;
}

void Append(KOMBUS_QUEUE* queue, KOMBUS_BUFFER* buffer)
{
    buffer->next = nullptr;
    if (queue->tail) queue->tail->next = buffer; else queue->head = buffer;
    queue->tail = buffer;
}

KOMBUS_BUFFER* Dequeue(KOMBUS_QUEUE* queue)
{
    KOMBUS_BUFFER* buffer = queue->head;
    if (!buffer) return nullptr;
    queue->head = buffer->next;
    if (!queue->head) queue->tail = nullptr;
    return buffer;
}

void FreeList(KOMBUS_BUFFER* list)
{
    while (KOMBUS_BUFFER* buffer = Pop(&list)) POOL_Free(buffer);
}

uint32_t AllocBuffers(KOMBUS_BUFFER** list, uint32_t count, MEMORY_TAG tag)
{
    for (uint32_t i = 0; i < count; ++i) {
        MEMORY_SetTag(tag);
        auto* buffer = static_cast<KOMBUS_BUFFER*>(POOL_Alloc(sizeof(KOMBUS_BUFFER) + 1));
        if (!buffer) {
            LOG_Printf("KOMBUS: nedostatek paměti pro simulaci sběrnice.\n");
            return 0;
        }
        memset(buffer, 0, sizeof *buffer);
        Push(list, buffer);
    }
    return 1;
}

KOMBUS_BUFFER** SendFreeList(KOMBUS_MODULE* bus)
{
    return bus->sharedBuffers ? &bus->receiveFree : &bus->sendFree;
}

void Destroy(KOMBUS_MODULE* bus)
{
    CancelEvents(bus);
    while (KOMBUS_BUFFER* b = Dequeue(&bus->received)) POOL_Free(b);
    while (KOMBUS_BUFFER* b = Dequeue(&bus->sendQueue)) POOL_Free(b);
    FreeList(bus->receiveFree);
    FreeList(bus->sendFree);
    if (bus->takenSend) POOL_Free(bus->takenSend);
    POOL_Free(bus);
}

// ---- the ring --------------------------------------------------------------

uint8_t Lowest(const KOMBUS_MODULE* bus)
{
    return bus->owner->lowestAddress;
}

uint8_t Highest(const KOMBUS_MODULE* bus)
{
    return bus->owner->highestAddress;
}

// The successor of a connected record and the gap to it in addresses; null when alone.
KOMBUS_MODULE* FindSuccessor(const KOMBUS_MODULE* r, int* gap)
{
    KOMBUS_MODULE* above = nullptr;
    KOMBUS_MODULE* wrapped = nullptr;
    KOMBUS_MODULE* following = nullptr;
    int followingGap = 0;
    for (KOMBUS_MODULE* o = r->satelliteBus->head; o; o = o->next) {
        if (o == r || !o->connected) continue;
        if (Lowest(o) > Highest(r) && (!above || Lowest(o) < Lowest(above))) above = o;
        if (Highest(o) < Lowest(r) && (!wrapped || Highest(o) < Highest(wrapped))) wrapped = o;
        // Interleaved or equal address sets: the next lowest address upward
        // from R's highest, wrapping after 10; the same address is a full turn.
        int d = (Lowest(o) - Highest(r) + 10) % 10;
        if (d == 0) d = 10;
        if (!following || d < followingGap) {
            following = o;
            followingGap = d;
        }
    }
    if (above) {
        *gap = Lowest(above) - Highest(r);
        return above;
    }
    if (wrapped) {
        *gap = Highest(wrapped) - Lowest(r) + 10;
        return wrapped;
    }
    *gap = followingGap;
    return following;
}

void BuildRing(KOMBUS_BUS* satelliteBus)
{
    for (KOMBUS_MODULE* r = satelliteBus->head; r; r = r->next) {
        if (!r->connected) continue;
        int gap = 0;
        KOMBUS_MODULE* successor = FindSuccessor(r, &gap);
        r->successor = successor ? successor : r;
        r->tokenDelay = successor ? static_cast<uint16_t>(3 * gap + 2) : kLoneTokenDelay;
    }
}

void StartToken(KOMBUS_BUS* satelliteBus)
{
    KOMBUS_MODULE* first = nullptr;
    for (KOMBUS_MODULE* r = satelliteBus->head; r; r = r->next)
        if (r->connected && (!first || Lowest(r) < Lowest(first))) first = r;
    satelliteBus->active = first ? 1 : 0;
    if (!first) return;
    if (Schedule(first, kTokenStartDelay, KOMBUS_OnToken, first->generation) != EVENT_HANDLE_NONE)
        first->tokenPending = 1;
}

void DeliverToModule(KOMBUS_MODULE* bus, const KOMBUS_BUFFER* message)
{
    KOMBUS_BUFFER* buffer = Pop(&bus->receiveFree);
    if (!buffer) return;
    memcpy(buffer->bytes, message->bytes, sizeof buffer->bytes);
    Append(&bus->received, buffer);
    SWMODULE_DeliverMessage(bus->owner);
}

void Deliver(KOMBUS_MODULE* sender, const KOMBUS_BUFFER* message)
{
    uint8_t destination = message->bytes[1];
    if (destination == KOMBUS_BROADCAST) {
        for (KOMBUS_MODULE* r = sender->satelliteBus->head; r; r = r->next)
            if (r != sender && r->connected) DeliverToModule(r, message);
        return;
    }
    KOMBUS_MODULE* target = KOMBUS_FindByAddress(sender->satelliteBus, destination);
    if (target && target->connected && target != sender) DeliverToModule(target, message);
}

}  // namespace

void KOMBUS_Init()
{
    s_head = s_tail = nullptr;
}

void KOMBUS_FreeAll()
{
    for (KOMBUS_BUS* satelliteBus = s_head; satelliteBus;) {
        for (KOMBUS_MODULE* bus = satelliteBus->head; bus;) {
            KOMBUS_MODULE* next = bus->next;
            Destroy(bus);
            bus = next;
        }
        KOMBUS_BUS* next = satelliteBus->next;
        POOL_Free(satelliteBus);
        satelliteBus = next;
    }
    KOMBUS_Init();
}

// A zeroed record from the pool, or null with the message logged.
static void* AllocZeroed(MEMORY_TAG tag, size_t size)
{
    MEMORY_SetTag(tag);
    void* record = POOL_Alloc(static_cast<uint32_t>(size) + 1);
    if (!record) {
        LOG_Printf("KOMBUS: nedostatek paměti.\n");
        return nullptr;
    }
    memset(record, 0, size);
    return record;
}

KOMBUS_BUS* KOMBUS_CreateBus()
{
    auto* satelliteBus = static_cast<KOMBUS_BUS*>(AllocZeroed("Kombus-bus", sizeof(KOMBUS_BUS)));
    if (!satelliteBus) return nullptr;
    if (s_tail) s_tail->next = satelliteBus; else s_head = satelliteBus;
    s_tail = satelliteBus;
    return satelliteBus;
}

KOMBUS_MODULE* KOMBUS_CreateModule(SWMODULE* module, KOMBUS_BUS* satelliteBus)
{
    auto* bus = static_cast<KOMBUS_MODULE*>(AllocZeroed("Kombus-module", sizeof(KOMBUS_MODULE)));
    if (!bus) return nullptr;
    for (EVENT_HANDLE& slot : bus->events) slot = EVENT_HANDLE_NONE;
    bus->owner = module;
    bus->sharedBuffers = module->busKind == SWMODULE_BUS_SMALL ? 1 : 0;
    bus->receiveCount = static_cast<uint8_t>(bus->sharedBuffers ? 1 : module->receiveBuffers);
    bus->sendCount = static_cast<uint8_t>(bus->sharedBuffers ? 0 : module->sendBuffers);
    if (!AllocBuffers(&bus->receiveFree, bus->receiveCount, "KOMBUS: rec buffer") ||
        !AllocBuffers(&bus->sendFree, bus->sendCount, "KOMBUS: snd buffer")) {
        bus->owner = nullptr;
        Destroy(bus);
        LOG_Printf("KOMBUS: nedostatek paměti.\n");
        return nullptr;
    }
    bus->satelliteBus = satelliteBus;
    if (satelliteBus->tail) satelliteBus->tail->next = bus; else satelliteBus->head = bus;
    satelliteBus->tail = bus;
    return bus;
}

void KOMBUS_Connect(SWMODULE* module)
{
    KOMBUS_MODULE* bus = module->bus;
    if (!bus) return;
    bus->connected = 1;
    ++bus->generation;
    BuildRing(bus->satelliteBus);
    if (!bus->satelliteBus->active) StartToken(bus->satelliteBus);
}

void KOMBUS_Disconnect(SWMODULE* module)
{
    KOMBUS_MODULE* bus = module->bus;
    if (!bus) return;
    bus->connected = 0;
    ++bus->generation;
    CancelEvents(bus);
    bus->transmitting = 0;
    while (KOMBUS_BUFFER* b = Dequeue(&bus->received)) Push(&bus->receiveFree, b);
    while (KOMBUS_BUFFER* b = Dequeue(&bus->sendQueue)) Push(SendFreeList(bus), b);
    bus->takenReceived = nullptr;
    BuildRing(bus->satelliteBus);
    if (bus->tokenPending) {
        bus->tokenPending = 0;
        StartToken(bus->satelliteBus);
    }
}

KOMBUS_MODULE* KOMBUS_FindByAddress(const KOMBUS_BUS* satelliteBus, uint8_t address)
{
    for (KOMBUS_MODULE* bus = satelliteBus->head; bus; bus = bus->next)
        for (uint8_t i = 0; bus->owner && i < bus->owner->addressCount; ++i)
            if (bus->owner->busAddresses[i] == address) return bus;
    return nullptr;
}

uint32_t KOMBUS_HasReceived(const KOMBUS_MODULE* bus)
{
    return bus->received.head ? 1 : 0;
}

uint32_t KOMBUS_IsReceivedTaken(const KOMBUS_MODULE* bus)
{
    return bus->takenReceived ? 1 : 0;
}

KOMBUS_BUFFER* KOMBUS_TakeReceived(KOMBUS_MODULE* bus)
{
    if (bus->takenReceived || !bus->received.head) return nullptr;
    bus->takenReceived = bus->received.head;
    return bus->takenReceived;
}

void KOMBUS_ReleaseReceived(KOMBUS_MODULE* bus)
{
    if (!bus->takenReceived) return;
    // The taken message is always the head of the received queue.
    KOMBUS_BUFFER* buffer = Dequeue(&bus->received);
    Push(&bus->receiveFree, buffer);
    bus->takenReceived = nullptr;
}

uint32_t KOMBUS_IsSendTaken(const KOMBUS_MODULE* bus)
{
    return bus->takenSend ? 1 : 0;
}

uint32_t KOMBUS_TakeSendBuffer(KOMBUS_MODULE* bus)
{
    if (bus->takenSend) return 0;
    bus->takenSend = Pop(SendFreeList(bus));
    return bus->takenSend ? 1 : 0;
}

void KOMBUS_QueueSend(KOMBUS_MODULE* bus, const uint8_t* xram, uint16_t address)
{
    KOMBUS_BUFFER* buffer = bus->takenSend;
    if (!buffer) return;
    uint8_t length = xram[address];
    memset(buffer->bytes, 0, sizeof buffer->bytes);
    for (uint32_t i = 0; i < length; ++i) buffer->bytes[i] = xram[static_cast<uint16_t>(address + i)];
    bus->takenSend = nullptr;
    Append(&bus->sendQueue, buffer);
}

void KOMBUS_ReturnSendBuffer(KOMBUS_MODULE* bus)
{
    if (!bus->takenSend) return;
    Push(SendFreeList(bus), bus->takenSend);
    bus->takenSend = nullptr;
}

// A transmission starts only when none of the record's is in flight: a long
// message may outlast the token's round trip, and a second end event would
// send the next message before its time.
void KOMBUS_OnToken(uint32_t reason, EVENT* event)
{
    KOMBUS_MODULE* r = EventRecord(event);
    if (reason != EVENT_REASON_FIRE) {
        ForgetEvent(r, event->handle);
        return;
    }
    if (r->sendQueue.head && !r->transmitting) {
        TIME_MS duration = (r->sendQueue.head->bytes[0] + 6) / 5;
        if (Schedule(r, duration, KOMBUS_OnTransmitEnd, r->generation) != EVENT_HANDLE_NONE) r->transmitting = 1;
    }
    r->tokenPending = 0;
    ForgetEvent(r, event->handle);
    KOMBUS_MODULE* successor = r->successor ? r->successor : r;
    if (Schedule(successor, r->tokenDelay, KOMBUS_OnToken, successor->generation) != EVENT_HANDLE_NONE)
        successor->tokenPending = 1;
}

void KOMBUS_OnTransmitEnd(uint32_t reason, EVENT* event)
{
    KOMBUS_MODULE* r = EventRecord(event);
    ForgetEvent(r, event->handle);
    if (reason != EVENT_REASON_FIRE || EventGeneration(event) != r->generation) return;
    r->transmitting = 0;
    KOMBUS_BUFFER* message = Dequeue(&r->sendQueue);
    if (!message) return;
    Deliver(r, message);
    Push(SendFreeList(r), message);
}

uint32_t KOMBUS_IsValidAddress(int64_t address)
{
    return address >= 1 && address <= 10 ? 1 : 0;
}

uint32_t KOMBUS_AreValidBufferCounts(int64_t receive, int64_t send)
{
    return receive >= 0 && receive <= KOMBUS_MAX_BUFFERS && send >= 0 && send <= KOMBUS_MAX_BUFFERS ? 1 : 0;
}

uint32_t KOMBUS_IsActive(const KOMBUS_BUS* satelliteBus)
{
    return satelliteBus->active;
}
