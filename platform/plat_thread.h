// PLAT threads, locks and interlocked counters.
//
// A thread is stopped by a flag that its function polls; there is no forced
// termination. PLAT_JoinThread waits for the function to return within a
// grace time and otherwise detaches the thread (the caller logs that).
#pragma once
#include <atomic>
#include <cstdint>
#include <mutex>

typedef uint32_t (*PLAT_THREAD_FUNC)(void* parameter);

struct PLAT_THREAD;   // opaque

// Starts fn(parameter) on a new thread; null when the thread cannot be made.
PLAT_THREAD* PLAT_CreateThread(PLAT_THREAD_FUNC fn, void* parameter);
// 1 while the thread's function has not returned.
uint32_t PLAT_IsThreadRunning(const PLAT_THREAD* thread);
// Waits up to graceMs for the function to return. 1: joined and freed;
// 0: still running, detached and freed (it keeps running on its own).
uint32_t PLAT_JoinThread(PLAT_THREAD* thread, uint32_t graceMs);
// From this call on the thread may no longer open or write any output file:
// the layer's output-file opens, its write routine (PLAT_WriteAll) and
// PLAT_WriteJpeg fail at once for it with ECANCELED, writing nothing and
// creating no file. For a thread that is to be left running (detached by
// PLAT_JoinThread) while the program finishes its files; it stays denied.
void PLAT_DenyFileOutput(PLAT_THREAD* thread);
// 1 when the calling thread was denied file output.
uint32_t PLAT_FileOutputDenied();
// The calling thread gives way to the program's other threads when they
// compete for a processor (a higher nice value); 0 when the system refused.
uint32_t PLAT_YieldToOtherThreads();
// Every thread that gave way with PLAT_YieldToOtherThreads runs at the normal
// priority again: after a stop a frame still drawn is waited for, and must
// not starve behind other programs. The system refuses it to a user without
// the right to raise a priority (RLIMIT_NICE); 0 then.
uint32_t PLAT_RestoreYieldingThreads();
// The processor time the thread has used, in nanoseconds; 0 before it has
// started and once it has ended.
uint64_t PLAT_ThreadProcessorTime(const PLAT_THREAD* thread);
// 1 when the thread runs or is ready to run and waits only for a processor;
// 0 when it sleeps in a call (or has ended).
uint32_t PLAT_ThreadRunnable(const PLAT_THREAD* thread);

// A lock that the thread holding it may take again (a critical section).
struct PLAT_LOCK {
    std::recursive_mutex mutex;
};

inline void PLAT_EnterLock(PLAT_LOCK* lock) { lock->mutex.lock(); }
inline void PLAT_LeaveLock(PLAT_LOCK* lock) { lock->mutex.unlock(); }

// Holds a lock for the lifetime of a scope.
class PLAT_LockGuard {
public:
    explicit PLAT_LockGuard(PLAT_LOCK* lock) : lock_(lock) { PLAT_EnterLock(lock_); }
    ~PLAT_LockGuard() { PLAT_LeaveLock(lock_); }
    PLAT_LockGuard(const PLAT_LockGuard&) = delete;
    PLAT_LockGuard& operator=(const PLAT_LockGuard&) = delete;
private:
    PLAT_LOCK* lock_;
};

// Interlocked counters; each returns the new value (exchange: the old one).
typedef std::atomic<int32_t> PLAT_COUNTER;
inline int32_t PLAT_InterlockedIncrement(PLAT_COUNTER* c) { return c->fetch_add(1) + 1; }
inline int32_t PLAT_InterlockedDecrement(PLAT_COUNTER* c) { return c->fetch_sub(1) - 1; }
inline int32_t PLAT_InterlockedAdd(PLAT_COUNTER* c, int32_t n) { return c->fetch_add(n) + n; }
inline int32_t PLAT_InterlockedExchange(PLAT_COUNTER* c, int32_t v) { return c->exchange(v); }
