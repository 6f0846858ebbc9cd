// The window record, its life cycle and the render thread.
#include "view/ogw.h"
#include <GL/gl.h>
#include <GL/glu.h>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <new>
#include "foundation/log.h"
#include "foundation/memory.h"
#include "foundation/pool.h"
#include "foundation/util.h"
#include "platform/plat_gl.h"
#include "platform/plat_process.h"
#include "platform/plat_thread.h"
#include "platform/plat_time.h"
#include "view/gldraw.h"
#include "view/ogw_internal.h"
#include "view/ogw_movie.h"

namespace {

constexpr uint32_t OGW_DEFAULT_STYLE = 0x80000000u | 0x10000000u | 0x00C00000u | 0x00080000u;
constexpr uint32_t OGW_JOIN_GRACE_MS = 500;
constexpr uint32_t OGW_DISABLE_WAIT_MS = 1000;
// A frame may take seconds when other programs keep every processor busy (the
// render thread gives way to everything): past the waits above the owner logs
// and waits on, up to this, rather than free what the frame still draws from.
// Only a render thread stuck for good is left running.
constexpr uint32_t OGW_STUCK_FRAME_MS = 30000;
// After a stop request a render thread that goes on (it uses a processor, or
// waits for one) is waited for: a slow frame still ends, with its movie. One
// that has done neither for this long sleeps in a call that no signal ends (a
// driver that hangs) and is left running, with its record.
constexpr uint32_t OGW_STOP_STALL_MS = 5000;
// Whatever the thread does, the waits after a stop end this long after the
// request: one deadline for every wait of every window.
constexpr uint32_t OGW_STOP_DEADLINE_MS = OGW_STUCK_FRAME_MS;
// The waits for the render thread look at the stop request this often.
constexpr uint32_t OGW_WAIT_SLICE_MS = 10;
constexpr uint32_t OGW_IDLE_POLL_MS = 5;
constexpr uint32_t OGW_FRAME_MS = 20;
constexpr uint32_t OGW_FAST_FRAME_MS = 15;
constexpr uint32_t OGW_HANDOVER_WAIT_MS = 2;

// One lock for all windows; it exists for the whole process, so a window
// used outside a run's OGW_Init and OGW_Done still finds it.
PLAT_LOCK g_lockObject;
PLAT_LOCK* const g_lock = &g_lockObject;
uint32_t g_windowCounter = 0;
thread_local OGW_WINDOW* t_current = nullptr;
thread_local OGW_WINDOW* t_loading = nullptr;
// A render thread was left running: what it may still touch is not freed.
std::atomic<uint32_t> g_threadLeft{0};

// The hand-over of the lock to a frame's snapshot. The simulation holds the
// lock over batches of steps and leaves it only for a moment between them: a
// render thread woken by that leave mostly found the lock taken again, and was
// woken again and again, each time a system call for the simulation. Now a
// render thread says that it waits, and the owner who leaves the lock waits in
// OGW_HandOverLock until one has taken it.
std::atomic<uint32_t> g_lockWanted{0};
std::atomic<uint32_t> g_lockHandedOver{0};   // snapshots that got the lock
std::mutex g_handOverMutex;
std::condition_variable g_handOver;
uint32_t g_handOverGaveUpAt = 0xFFFFFFFF;    // owner only

// The owner's waits for the render thread are measured on the real clock: the
// virtual one does not move while the owner waits.
using RealClock = std::chrono::steady_clock;

// After a stop: whether the window's render thread went on within the last
// OGW_STOP_STALL_MS: it finished a step of a frame, used 10 ms of processor
// time, or was ready to run and waited for a processor in ten looks in a row
// (100 ms). A thread that sleeps in a call uses a few microseconds at each of
// the layer's interrupts after a stop, far less than that, and is ready to
// run only until a processor takes it, even on a machine busy with others. The first look gives
// every thread that yields its normal priority back, so that a frame is not
// starved by other programs.
bool RenderThreadGoesOn(OGW_WINDOW* w)
{
    constexpr int64_t kLookUs = 10000;
    constexpr uint64_t kWorkNs = 10000000;
    constexpr uint32_t kRunnableLooks = 10;
    int64_t now = PLAT_PerfCounterMicroseconds();
    auto& watch = w->watch;
    if (!watch.started) {
        watch.started = 1;
        PLAT_RestoreYieldingThreads();
        watch.progressAt = watch.lookedAt = now;
        watch.beat = w->renderBeat.load();
        watch.processorNs = PLAT_ThreadProcessorTime(w->renderThread);
    }
    if (now - watch.lookedAt >= kLookUs) {
        watch.lookedAt = now;
        watch.runnableLooks = PLAT_ThreadRunnable(w->renderThread) ? watch.runnableLooks + 1 : 0;
        uint32_t beat = w->renderBeat.load();
        uint64_t used = PLAT_ThreadProcessorTime(w->renderThread);
        if (beat != watch.beat || used >= watch.processorNs + kWorkNs || watch.runnableLooks >= kRunnableLooks) {
            watch.progressAt = now;
            watch.beat = beat;
            watch.processorNs = used;
            watch.runnableLooks = 0;
        }
    }
    return now - watch.progressAt < int64_t{OGW_STOP_STALL_MS} * 1000;
}

// Why a wait for the render thread gave up after a stop.
enum class StopCut { NONE, STALLED, DEADLINE };

// The end of one of the owner's waits for the window's render thread: its own
// bound, or once a stop has been requested the stop's rules: the thread has
// not gone on for OGW_STOP_STALL_MS, or the stop's deadline has come.
class WaitBound {
public:
    WaitBound(OGW_WINDOW* w, uint32_t ms) : w_(w), start_(RealClock::now()), bound_(std::chrono::milliseconds(ms)) {}
    bool Over()
    {
        if (cut_ == StopCut::NONE && PLAT_StopRequested()) {
            if (PLAT_StopRequestedFor(OGW_STOP_DEADLINE_MS))
                cut_ = StopCut::DEADLINE;
            else if (!RenderThreadGoesOn(w_))
                cut_ = StopCut::STALLED;
        }
        return cut_ != StopCut::NONE || RealClock::now() - start_ >= bound_;
    }
    // Whether and why a stop cut the wait short.
    StopCut CutByStop() const { return cut_; }
    // Waits on the window's hand-shake until the condition holds or the
    // bound is over; whether it holds. The wake lock is held.
    template <typename Condition>
    bool AwaitHandShake(std::unique_lock<std::mutex>& lock, Condition done)
    {
        while (!done() && !Over())
            w_->wake.wait_for(lock, std::chrono::milliseconds(OGW_WAIT_SLICE_MS), done);
        return done();
    }
    // Waits while the thread runs; 1 when it ended.
    uint32_t AwaitThreadEnd()
    {
        while (PLAT_IsThreadRunning(w_->renderThread) && !Over())
            PLAT_Sleep(1);
        return !PLAT_IsThreadRunning(w_->renderThread);
    }

private:
    OGW_WINDOW* w_;
    RealClock::time_point start_;
    std::chrono::milliseconds bound_;
    StopCut cut_ = StopCut::NONE;
};

// A render thread's taking of the lock for its frame.
void EnterLockForFrame()
{
    g_lockWanted.fetch_add(1);
    PLAT_EnterLock(g_lock);
    {
        std::lock_guard<std::mutex> guard(g_handOverMutex);
        g_lockWanted.fetch_sub(1);
        g_lockHandedOver.fetch_add(1);
    }
    g_handOver.notify_all();
}

void SetDefaults(OGW_WINDOW* w)
{
    w->liveEye = VEC3{0, 0, 10};
    w->liveTarget = VEC3{0, 0, 0};
    w->liveUp = VEC3{1, 0, 0};
    w->liveNear = 0;
    w->liveFar = 1000.0;
    w->fieldOfView = 45.0;
    w->style = OGW_DEFAULT_STYLE;
    w->clientWidth = w->clientHeight = w->windowWidth = w->windowHeight = 100;
    w->navigationDistance[1] = 10.0;
    w->zoomFactor = 1.01;
    w->fourcc[0] = w->fourcc[1] = w->fourcc[2] = w->fourcc[3] = ' ';
    w->frameRate = 8;
    w->dataRate = 500;
    w->keyFrameInterval = 10000;
    for (uint32_t& slot : w->fontSlots)
        slot = OGW_FREE_SLOT;
    for (uint32_t& slot : w->textureSlots)
        slot = OGW_FREE_SLOT;
}

// The virtual clock waits while a frame is asked for or being drawn. The
// request is looked at first: the render thread marks a frame in progress
// before it takes the request, so a request gone means a frame marked.
uint32_t FrameBusy(void* param)
{
    OGW_WINDOW* w = static_cast<OGW_WINDOW*>(param);
    if (w->setupState.load() == OGW_SETUP_FAILED)
        return 0;
    if (w->drawingEnabled.load() && !w->closed.load() && w->redrawCounter.load() > 0)
        return 1;
    return w->frameInProgress.load();
}

// Sets a flag of the render thread's hand-shake and wakes whoever waits for it.
void Signal(OGW_WINDOW* w, std::atomic<uint32_t>& flag, uint32_t value)
{
    {
        std::lock_guard<std::mutex> guard(w->wakeMutex);
        flag = value;
    }
    w->wake.notify_all();
}

void AcknowledgeDisable(OGW_WINDOW* w)
{
    if (w->disableRequest.load()) {
        w->drawingEnabled = 0;
        Signal(w, w->disableRequest, 0);
    }
}

// The render thread's pause between frames or polls; a disable or stop
// request ends it at once, so the owner's wait is not paced by it.
void Rest(OGW_WINDOW* w, uint32_t ms)
{
    std::unique_lock<std::mutex> lock(w->wakeMutex);
    w->wake.wait_for(lock, std::chrono::milliseconds(ms),
                     [w] { return w->disableRequest.load() || w->stopRequest.load(); });
}

void CopyPendingCamera(OGW_WINDOW* w)
{
    EnterLockForFrame();
    w->liveEye = w->pendingEye;
    w->liveUp = w->pendingUp;
    w->liveTarget = w->pendingTarget;
    w->liveNear = w->pendingNear;
    w->liveFar = w->pendingFar;
    w->liveKeyAngle = w->pendingKeyAngle;
    w->liveRotation = w->pendingRotation;
    w->liveInverseRotation = w->pendingInverseRotation;
    if (w->preDrawCallback)
        w->preDrawCallback(w);
    PLAT_LeaveLock(g_lock);
}

void ReadViewMatrix(OGW_WINDOW* w)
{
    glGetDoublev(GL_MODELVIEW_MATRIX, w->viewMatrix);
    const double* m = w->viewMatrix;
    w->viewRight = VEC3{m[0], m[4], m[8]};
    w->viewUp = VEC3{m[1], m[5], m[9]};
    w->viewBack = VEC3{m[2], m[6], m[10]};
}

void ResizeTarget(OGW_WINDOW* w, int32_t* width, int32_t* height)
{
    uint32_t size = w->targetSize.load();
    *width = static_cast<int32_t>(size >> 16);
    *height = static_cast<int32_t>(size & 0xFFFF);
    PLAT_ResizeGLTarget(w->renderingContext, *width, *height);
    PLAT_GetGLTargetSize(w->renderingContext, width, height);
}

void ShowFrame(OGW_WINDOW* w, int32_t width, int32_t height)
{
    if (!PLAT_WantsFrames() || !w->window)
        return;
    uint32_t size = PLAT_FrameStride(width) * static_cast<uint32_t>(height);
    if (size > w->shownFrameSize) {
        delete[] w->shownFrame;
        w->shownFrame = new (std::nothrow) uint8_t[size];
        w->shownFrameSize = w->shownFrame ? size : 0;
        if (!w->shownFrame)
            return;
    }
    glPixelStorei(GL_PACK_ALIGNMENT, 4);
    glReadPixels(0, 0, width, height, GL_RGB, GL_UNSIGNED_BYTE, w->shownFrame);
    PLAT_ShowFrame(w->window, w->shownFrame, width, height, PLAT_FrameStride(width));
}

// Makes what was loaded for the context, in the order it was loaded; the
// context is current on the calling thread.
void RunPending(OGW_WINDOW* w)
{
    std::lock_guard<std::mutex> guard(w->pendingMutex);
    while (OGW_PENDING* work = w->pending) {
        w->pending = work->next;
        if (!work->run(w, work))
            w->loadFailed = 1;
        delete work;
    }
}

void DropPending(OGW_WINDOW* w)
{
    std::lock_guard<std::mutex> guard(w->pendingMutex);
    while (OGW_PENDING* work = w->pending) {
        w->pending = work->next;
        if (work->drop)
            work->drop(work);
        delete work;
    }
}

uint32_t RunCall(OGW_WINDOW*, OGW_PENDING* work)
{
    work->call();
    return 1;
}

// In real time a frame whose drawing was asked to stop while it was drawn
// is of use to nobody unless a movie records it: it is left unrasterized, so
// that the stop (the run's end) does not wait for it. In virtual time the
// stop waits for every frame asked for, and each is finished.
bool FrameUnwanted(OGW_WINDOW* w)
{
    return w->disableRequest.load() && !w->recording.load() && !PLAT_IsVirtualTime();
}

// The drawn frame rasterized, recorded and shown.
void FinishFrame(OGW_WINDOW* w, int32_t width, int32_t height)
{
    glFlush();
    glFinish();
    glPopMatrix();
    uint32_t now = PLAT_GetTickCount();
    OGW_WriteMovieFrames(w, now);
    if (!w->disableRequest.load())
        OGW_CaptureIfDue(w, now);
    ShowFrame(w, width, height);
}

void DrawFrame(OGW_WINDOW* w)
{
    // The snapshot may have waited for the owner, who may have stopped the drawing meanwhile.
    CopyPendingCamera(w);
    w->renderBeat.fetch_add(1);
    if (FrameUnwanted(w))
        return;
    t_current = w;
    PLAT_MakeGLCurrent(w->renderingContext);
    RunPending(w);
    int32_t width, height;
    ResizeTarget(w, &width, &height);
    glViewport(0, 0, width, height);
    glClearColor(w->clearColor[0], w->clearColor[1], w->clearColor[2], w->clearColor[3]);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glPushMatrix();
    if (w->perspective) {
        glMatrixMode(GL_PROJECTION);
        glLoadIdentity();
        gluPerspective(w->fieldOfView, static_cast<float>(width) / static_cast<float>(height), w->liveNear,
                       w->liveFar);
        glMatrixMode(GL_MODELVIEW);
    }
    if (w->lookAt) {
        glLoadIdentity();
        gluLookAt(w->liveEye.x, w->liveEye.y, w->liveEye.z, w->liveTarget.x, w->liveTarget.y, w->liveTarget.z,
                  w->liveUp.x, w->liveUp.y, w->liveUp.z);
    }
    ReadViewMatrix(w);
    if (w->drawCallback)
        w->drawCallback(w);
    w->renderBeat.fetch_add(1);
    if (FrameUnwanted(w))
        glPopMatrix();
    else
        FinishFrame(w, width, height);
    PLAT_MakeGLCurrent(nullptr);
    t_current = nullptr;
}

void InitGLState()
{
    glEnable(GL_TEXTURE_2D);
    glShadeModel(GL_SMOOTH);
    glEnable(GL_DEPTH_TEST);
    glClearDepth(1.0);
    glDepthFunc(GL_LEQUAL);
    glDepthRange(0.0, 1.0);
    glHint(GL_PERSPECTIVE_CORRECTION_HINT, GL_NICEST);
    glEnable(GL_CULL_FACE);
}

// The context at the target size with the window's initial GL state; the
// owner waiting for it is woken either way.
bool SetUpContext(OGW_WINDOW* w)
{
    uint32_t size = w->targetSize.load();
    w->renderingContext = PLAT_CreateGLContext(static_cast<int32_t>(size >> 16), static_cast<int32_t>(size & 0xFFFF));
    if (w->renderingContext && PLAT_MakeGLCurrent(w->renderingContext)) {
        InitGLState();
        PLAT_MakeGLCurrent(nullptr);
        Signal(w, w->setupState, OGW_SETUP_READY);
        return true;
    }
    Signal(w, w->setupState, OGW_SETUP_FAILED);
    return false;
}

uint32_t RenderThread(void* param)
{
    OGW_WINDOW* w = static_cast<OGW_WINDOW*>(param);
    if (!SetUpContext(w)) {
        w->finished = 1;
        return 0;
    }
    bool virtualTime = PLAT_IsVirtualTime();
    // In real time frames give way to the simulation when both want the same
    // processor: the run is what the user waits for, a late frame only skips.
    // In virtual time the clock waits for every frame, so they keep pace.
    if (!virtualTime)
        PLAT_YieldToOtherThreads();
    bool drawnBefore = false;
    for (;;) {
        if (w->stopRequest.load()) {
            w->finished = 1;
            return 0;
        }
        // Marked before the counter is taken, so the virtual clock never sees
        // a request gone and no frame in progress in between.
        w->frameInProgress = 1;
        if (!w->drawingEnabled.load() || w->closed.load() || w->redrawCounter.exchange(0) < 1) {
            w->frameInProgress = 0;
            AcknowledgeDisable(w);
            Rest(w, virtualTime ? 1 : OGW_IDLE_POLL_MS);
            continue;
        }
        uint32_t start = PLAT_GetTickCount();
        if (!drawnBefore) {
            // The first drawn frame takes the first screenshot, however long
            // after the thread's start the capture was configured.
            w->lastCaptureTick = start - w->captureInterval;
            drawnBefore = true;
        }
        DrawFrame(w);
        w->renderBeat.fetch_add(1);
        w->frameInProgress = 0;
        AcknowledgeDisable(w);
        // In virtual time frames follow the clock, not the wall.
        if (!virtualTime) {
            uint32_t frameTime = PLAT_GetTickCount() - start;
            Rest(w, frameTime < OGW_FAST_FRAME_MS ? OGW_FRAME_MS - frameTime : OGW_IDLE_POLL_MS);
        }
        AcknowledgeDisable(w);
    }
}

// Everything of the record that no thread can still be using.
void FreeRecord(OGW_WINDOW* w)
{
    DropPending(w);
    OGW_DeleteMovieWriter(w);
    OGW_FreeFonts(w);
    if (w->movieFileName)
        POOL_Free(w->movieFileName);
    if (w->captureName)
        POOL_Free(w->captureName);
    if (t_loading == w)
        t_current = t_loading = nullptr;
    if (w->renderingContext) {
        if (t_current == w)
            t_current = nullptr;
        PLAT_DestroyGLContext(w->renderingContext);
    }
    delete[] w->shownFrame;
    if (w->titleCopy)
        POOL_Free(w->titleCopy);
    w->~OGW_WINDOW();
    POOL_Free(w);
}

}

PLAT_LOCK* OGW_GetLock() { return g_lock; }
uint32_t OGW_FramesWaitingForLock() { return g_lockWanted.load(); }

void OGW_Init()
{
    g_windowCounter = 0;
    t_current = nullptr;
    GLDRAW_Reset();
}

void OGW_Done() {}

void OGW_Lock() { PLAT_EnterLock(g_lock); }
void OGW_Unlock() { PLAT_LeaveLock(g_lock); }

void OGW_HandOverLock()
{
    // Read first: a frame that takes the lock after this counts as handed over.
    uint32_t handed = g_lockHandedOver.load();
    if (g_lockWanted.load() == 0)
        return;
    // A render thread that did not come in time (its processor busy with
    // others) is not waited for again: it takes the lock between two steps.
    if (handed == g_handOverGaveUpAt)
        return;
    std::unique_lock<std::mutex> lock(g_handOverMutex);
    if (!g_handOver.wait_for(lock, std::chrono::milliseconds(OGW_HANDOVER_WAIT_MS),
                             [handed] { return g_lockHandedOver.load() != handed; }))
        g_handOverGaveUpAt = handed;
}

OGW_WINDOW* OGW_GetCurrentWindow() { return t_current; }

OGW_WINDOW* OGW_CreateWindowRecord(const char* title, WNDPROC windowProc, OGW_DRAW_CALLBACK drawCallback,
                                   OGW_DRAW_CALLBACK preDrawCallback)
{
    MEMORY_SetTag("OGW:opengl-window");
    void* block = POOL_Alloc(sizeof(OGW_WINDOW) + 1);
    if (!block)
        return nullptr;
    OGW_WINDOW* w = new (block) OGW_WINDOW{};
    SetDefaults(w);
    w->title = title ? title : "";
    snprintf(w->className, sizeof w->className, "OpenGL_Window_wndclass_num_%08ld", static_cast<long>(g_windowCounter));
    g_windowCounter++;
    w->windowClass = PLAT_WNDCLASS{w->className, windowProc ? windowProc : OGW_WindowProc, nullptr, 0};
    MEMORY_SetTag("OGW:copy-string");
    w->titleCopy = UTIL_StrDup(w->title);
    w->drawCallback = drawCallback;
    w->preDrawCallback = preDrawCallback;
    w->targetSize = (uint32_t{w->clientWidth} << 16) | w->clientHeight;
    w->setupState = OGW_SETUP_READY;   // a window never opened has no context to wait for
    return w;
}

uint32_t OGW_OpenWindow(OGW_WINDOW* w)
{
    if (!w || !PLAT_RegisterClass(&w->windowClass))
        return 0;
    w->window = PLAT_CreateWindow(w->className, w->titleCopy, w->style, w->x, w->y, w->windowWidth, w->windowHeight,
                                  0, w->menu, w);
    if (!w->window) {
        PLAT_UnregisterClass(w->className);
        return 0;
    }
    PLAT_SetWindowData(w->window, w);
    PLAT_ShowWindow(w->window, SW_SHOW);
    // Set before the thread starts: the owner may stop the drawing while the
    // thread still makes the context.
    w->setupState = OGW_SETUP_PENDING;
    w->firstFrame = 1;
    w->framesWritten = 0;
    w->captureCounter = 0;
    w->disableRequest = 0;
    w->redrawCounter = 0;
    w->drawingEnabled = 0;
    w->stopRequest = 0;
    w->finished = 0;
    PLAT_AddIdleGate(FrameBusy, w);
    w->renderThread = PLAT_CreateThread(RenderThread, w);
    if (!w->renderThread) {
        w->setupState = OGW_SETUP_FAILED;
        PLAT_RemoveIdleGate(FrameBusy, w);
        PLAT_DestroyWindow(w->window);
        w->window = 0;
        PLAT_UnregisterClass(w->className);
        return 0;
    }
    return 1;
}

void OGW_EnableRedraw(OGW_WINDOW* w)
{
    if (w && !w->closed.load())
        w->drawingEnabled = 1;
}

void OGW_DisableRedraw(OGW_WINDOW* w)
{
    if (!w)
        return;
    if (!w->renderThread || w->stopRequest.load() || w->setupState.load() == OGW_SETUP_FAILED) {
        w->drawingEnabled = 0;
        return;
    }
    // In virtual time a frame asked for is a frame drawn: the clock already
    // waited for it, so the movie gets the same frames on every machine.
    WaitBound firstWait(w, OGW_DISABLE_WAIT_MS), stuckWait(w, OGW_STUCK_FRAME_MS);
    while (PLAT_IsVirtualTime() && FrameBusy(w) && !firstWait.Over())
        PLAT_Sleep(1);
    w->drawingEnabled = 0;
    Signal(w, w->disableRequest, 1);
    std::unique_lock<std::mutex> lock(w->wakeMutex);
    auto acknowledged = [w] { return !w->disableRequest.load() || w->setupState.load() == OGW_SETUP_FAILED; };
    if (firstWait.AwaitHandShake(lock, acknowledged)) return;
    if (firstWait.CutByStop() == StopCut::NONE)
        LOG_WriteFile("OGW_DisableRedraw: vykreslovací vlákno nedokončilo snímek včas.\n");
    stuckWait.AwaitHandShake(lock, acknowledged);
}

// The render thread's end, waited for past the grace (logged) up to the
// bound; whether it ended, and whether and why a stop cut the wait short.
static uint32_t AwaitRenderThreadEnd(OGW_WINDOW* w, StopCut* cutByStop)
{
    WaitBound grace(w, OGW_JOIN_GRACE_MS), stuck(w, OGW_STUCK_FRAME_MS);
    if (grace.AwaitThreadEnd()) return 1;
    *cutByStop = grace.CutByStop();
    if (*cutByStop != StopCut::NONE) return 0;
    LOG_WriteFile("OGW_DestroyWindow: vykreslovací vlákno neskončilo do %u ms, čeká se na ně.\n", OGW_JOIN_GRACE_MS);
    uint32_t ended = stuck.AwaitThreadEnd();
    *cutByStop = stuck.CutByStop();
    return ended;
}

// The render thread did not end: it may no longer open or write a file, the
// movie it records is lost, and it is left running with the record, its
// context, fonts and writer, none of which is freed under it. Said once.
static void LeaveRenderThread(OGW_WINDOW* w, StopCut cut)
{
    OGW_AbandonRecording(w);
    w->threadLeft = 1;
    g_threadLeft = 1;
    if (cut == StopCut::STALLED)
        LOG_WriteFile("OGW_EndRenderThread: vykreslovací vlákno po požadavku na ukončení %u ms nepokračovalo a "
                      "zůstává běžet; program skončí bez něj.\n", OGW_STOP_STALL_MS);
    else if (cut == StopCut::DEADLINE)
        LOG_WriteFile("OGW_EndRenderThread: vykreslovací vlákno neskončilo do %u ms po požadavku na ukončení a "
                      "zůstává běžet; program skončí bez něj.\n", OGW_STOP_DEADLINE_MS);
    else
        LOG_WriteFile("OGW_EndRenderThread: vykreslovací vlákno neskončilo do %u ms a zůstává běžet; program "
                      "skončí bez něj.\n", OGW_STUCK_FRAME_MS);
}

uint32_t OGW_EndRenderThread(OGW_WINDOW* w)
{
    if (!w)
        return 1;
    // A thread left before: the record is free to go once its function returned.
    if (w->threadLeft)
        return w->finished.load();
    if (!w->renderThread)
        return 1;
    Signal(w, w->stopRequest, 1);
    StopCut cut = StopCut::NONE;
    bool ended = AwaitRenderThreadEnd(w, &cut);
    PLAT_THREAD* thread = w->renderThread;
    // Told before it is let go: from here on no file of it is opened or written.
    if (!ended)
        PLAT_DenyFileOutput(thread);
    w->renderThread = nullptr;
    if (PLAT_JoinThread(thread, 0))
        return 1;
    LeaveRenderThread(w, cut);
    return 0;
}

uint32_t OGW_RenderThreadLeft()
{
    return g_threadLeft.load();
}

void OGW_StopDrawingSoon(OGW_WINDOW* w)
{
    if (!w || !w->renderThread || PLAT_IsVirtualTime())
        return;
    w->drawingEnabled = 0;
    Signal(w, w->disableRequest, 1);
}

void OGW_RequestRedraw(OGW_WINDOW* w)
{
    if (w)
        w->redrawCounter.fetch_add(1);
}

void OGW_DestroyWindow(OGW_WINDOW* w)
{
    if (!w)
        return;
    if (w->window && PLAT_IsWindow(w->window))
        PLAT_DestroyWindow(w->window);
    w->window = 0;
    PLAT_UnregisterClass(w->className);
    PLAT_RemoveIdleGate(FrameBusy, w);
    if (OGW_EndRenderThread(w))
        FreeRecord(w);
}

// Waits until the render thread has made the window's context or failed to;
// 1 when it has made it. One that has not made it within the grace after a
// stop counts as failed.
static bool WaitForContext(OGW_WINDOW* w)
{
    std::unique_lock<std::mutex> lock(w->wakeMutex);
    WaitBound untilStopped(w, UINT32_MAX);
    untilStopped.AwaitHandShake(lock, [w] { return w->setupState.load() != OGW_SETUP_PENDING; });
    return w->setupState.load() == OGW_SETUP_READY;
}

void OGW_MakeCurrent(OGW_WINDOW* w)
{
    t_loading = nullptr;
    if (w && WaitForContext(w) && PLAT_MakeGLCurrent(w->renderingContext)) {
        t_current = w;
        RunPending(w);
        return;
    }
    PLAT_MakeGLCurrent(nullptr);
    t_current = nullptr;
}

void OGW_BeginLoading(OGW_WINDOW* w)
{
    PLAT_MakeGLCurrent(nullptr);
    t_current = t_loading = w;
}

uint32_t OGW_IsLoading(OGW_WINDOW* w)
{
    return w && t_loading == w;
}

uint32_t OGW_AddPending(OGW_WINDOW* w, const OGW_PENDING& work)
{
    OGW_PENDING* copy = new (std::nothrow) OGW_PENDING(work);
    if (!copy)
        return 0;
    copy->next = nullptr;
    std::lock_guard<std::mutex> guard(w->pendingMutex);
    OGW_PENDING** end = &w->pending;
    while (*end)
        end = &(*end)->next;
    *end = copy;
    return 1;
}

uint32_t OGW_CallWithContext(OGW_WINDOW* w, void (*function)())
{
    return w && OGW_AddPending(w, OGW_PENDING{RunCall, nullptr, -1, nullptr, function, nullptr});
}

uint32_t OGW_SetupFailed(OGW_WINDOW* w)
{
    return w && (w->setupState.load() == OGW_SETUP_FAILED || w->loadFailed.load());
}


OGW_WINDOW* OGW_FromHandle(HWND window)
{
    return static_cast<OGW_WINDOW*>(PLAT_GetWindowData(window));
}

LRESULT OGW_WindowProc(HWND window, uint32_t message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_CREATE:
        PLAT_SetWindowData(window, reinterpret_cast<void*>(lParam));
        return 0;
    case WM_DESTROY:
        OGW_WindowClosed(OGW_FromHandle(window));
        return 0;
    case WM_KEYDOWN:
    case WM_CHAR: {
        OGW_WINDOW* w = OGW_FromHandle(window);
        if (w && message == WM_KEYDOWN && OGW_NavigateKey(w, static_cast<uint32_t>(wParam)))
            return 0;
        if (w && w->keyCallback)
            w->keyCallback(w, message == WM_KEYDOWN ? 1 : 0, wParam, lParam, 0, 0);
        return 0;
    }
    default:
        return PLAT_DefWindowProc(window, message, wParam, lParam);
    }
}

// The window went away while its record lives on (closed by its user, or
// destroyed from its procedure): drawing stops for good, without waiting
// beyond the bounded hand-shake, and the record keeps its movie for the run's end.
void OGW_WindowClosed(OGW_WINDOW* w)
{
    if (!w)
        return;
    if (w->drawingEnabled.load())
        OGW_DisableRedraw(w);
    w->closed = 1;
    w->window = 0;
}

void OGW_SetClientSize(OGW_WINDOW* w, uint16_t width, uint16_t height)
{
    if (!w)
        return;
    if (width < 1) width = 1;
    if (height < 1) height = 1;
    w->clientWidth = w->windowWidth = width;
    w->clientHeight = w->windowHeight = height;
    w->targetSize = (uint32_t{width} << 16) | height;
    if (w->window)
        PLAT_MoveWindow(w->window, w->x, w->y, width, height, 1);
}

void OGW_SetPosition(OGW_WINDOW* w, int32_t x, int32_t y)
{
    if (!w)
        return;
    w->x = x;
    w->y = y;
    if (w->window)
        PLAT_MoveWindow(w->window, x, y, w->windowWidth, w->windowHeight, 1);
}
