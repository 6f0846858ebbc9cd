// EVENTS: the timed event queue. Callbacks due at a simulation time to the
// millisecond, kept in a calendar tree (years, months, days, hours, minutes,
// seconds); the step pulls the clock back to a due event and fires it.
// GUI thread only.
#pragma once
#include <cstdint>
#include "foundation/time.h"

struct EVENT;

// Reason 1: the event fires. Reason 2: the queued copy is being released; it
// must not be used afterwards.
typedef void (*EVENT_CALLBACK)(uint32_t reason, EVENT* event);

constexpr uint32_t EVENT_REASON_FIRE = 1;
constexpr uint32_t EVENT_REASON_RELEASE = 2;

// Identifies one queued copy. Handles are never reused, so a handle kept after
// its event fired or was cancelled is recognised as stale.
typedef int64_t EVENT_HANDLE;
constexpr EVENT_HANDLE EVENT_HANDLE_NONE = -1;

// Filled by the caller (after EVENTS_ClearEvent), copied by the queue.
struct EVENT {
    TIME_MS dueTime;
    EVENT_CALLBACK callback;  // may be null
    uint32_t word;            // non-zero: the step that reaches the event updates every model
    // The caller's data. Sixteen bytes so that a 64-bit pointer fits in the last eight.
    uint8_t userData[16];
    EVENT* next;              // link in its second's list (queue's own)
    EVENT_HANDLE handle;      // handle of the queued copy (queue's own)
};

void EVENTS_Init();
// Frees the whole queue; every queued event gets reason 2.
void EVENTS_Done();
// Run start: forgets the last fired time, so a new run may schedule events
// earlier than the last event of the previous run.
void EVENTS_StartRun();
// Run end: releases every queued event (reason 2); nothing outlives its run.
void EVENTS_EndRun();

void EVENTS_ClearEvent(EVENT* event);
// Queues a copy; EVENT_HANDLE_NONE when refused (earlier than the last fired
// event) or out of memory.
EVENT_HANDLE EVENTS_Schedule(const EVENT* event);
// Removes a queued event (reason 2). -1 and 0 are ignored; a handle that names
// no queued event is reported and changes nothing. An event may cancel itself
// inside its own callback.
void EVENTS_Cancel(EVENT_HANDLE handle);
EVENT_HANDLE EVENTS_GetHandle(const EVENT* event);

// Sets the clock back to a due event's time; 1 when it did, with that event's word.
uint32_t EVENTS_ClampClockToNext(uint32_t* word);
// Fires the earliest event (reason 1, then reason 2). Nothing on an empty queue.
void EVENTS_FireNext();
// The due time of the earliest queued event; INT64_MAX when none is queued.
TIME_MS EVENTS_NextDueTime();
// One log line per queued event, in queue order.
void EVENTS_Dump();
// Number of queued events.
uint32_t EVENTS_Count();
