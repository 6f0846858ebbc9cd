// OGW: the OpenGL window with its own render thread. The owner creates a
// record, configures camera, projection, movie and screenshots, opens the
// window and enables drawing; from then on it writes scene state under the
// OGW lock and asks for redraws, and the render thread draws a frame for
// each request. The window owns its bitmap fonts and texture table.
#pragma once
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include "foundation/vecmath.h"
#include "platform/plat_window.h"

struct OGW_WINDOW;
struct OGW_FONT;
struct OGW_MOVIE_WRITER;
struct OGW_PENDING;
struct PLAT_THREAD;
struct PLAT_GL_CONTEXT;

typedef void (*OGW_DRAW_CALLBACK)(OGW_WINDOW* window);
// (record, pressed flag: 1 key down, 0 character; key code, key data, 0, 0)
typedef void (*OGW_KEY_CALLBACK)(OGW_WINDOW* window, uint32_t pressed, WPARAM key, LPARAM keyData, uint32_t,
                                 uint32_t);
typedef int32_t OGW_FONT_SLOT;      // 0..63, -1 none
typedef int32_t OGW_TEXTURE_SLOT;   // 0..6399, -1 none

constexpr uint32_t OGW_FONT_SLOTS = 64;
constexpr uint32_t OGW_TEXTURE_SLOTS = 6400;
constexpr uint32_t OGW_FREE_SLOT = 0xFFFFFFFFu;
constexpr uint32_t OGW_FONT_BOLD = 1;
constexpr uint32_t OGW_FONT_ITALIC = 2;
constexpr uint32_t OGW_FONT_UNDERLINE = 4;
constexpr uint32_t OGW_CLASS_NAME_SIZE = 80;
constexpr uint32_t OGW_TEXT_MAX = 199;

struct OGW_WINDOW {
    uint32_t lookAt;
    VEC3 liveEye, liveTarget, liveUp;
    VEC3 pendingEye, pendingUp, pendingTarget;
    uint32_t perspective;
    double liveNear, liveFar;
    double fieldOfView;
    double pendingNear, pendingFar;
    const char* title;
    char className[OGW_CLASS_NAME_SIZE];
    PLAT_WNDCLASS windowClass;
    char* titleCopy;
    uint32_t style;
    int32_t x, y;   // signed: a position may lie left of or above the screen
    uint16_t clientWidth, clientHeight, windowWidth, windowHeight;
    uint32_t menu;
    HWND window;
    PLAT_THREAD* renderThread;
    uint32_t renderThreadId;
    std::atomic<uint32_t> stopRequest, finished;
    void* deviceContext;
    PLAT_GL_CONTEXT* renderingContext;
    OGW_DRAW_CALLBACK drawCallback, preDrawCallback;
    OGW_KEY_CALLBACK keyCallback;
    float clearColor[4];
    std::atomic<uint32_t> drawingEnabled, disableRequest;
    std::atomic<int32_t> redrawCounter;
    double navigationDistance[2];
    uint32_t keyNavigation;
    double liveKeyAngle;
    MAT33 liveRotation, liveInverseRotation;
    double zoomFactor;
    double pendingKeyAngle;
    MAT33 pendingRotation, pendingInverseRotation;
    double viewMatrix[16];
    VEC3 viewUp, viewRight, viewBack;
    VEC3 cameraUp, cameraRight, cameraBack;
    // Movie and screenshots (ogw_movie).
    std::atomic<uint32_t> recording;
    OGW_MOVIE_WRITER* movieWriter;
    char fourcc[4];
    uint8_t frameRate;
    char* movieFileName;
    uint32_t dataRate;
    uint32_t keyFrameInterval;
    uint32_t startTick, framesWritten, firstFrame;
    uint32_t capture, captureInterval;
    const char* captureTemplate;
    uint32_t captureQuality, captureCounter, lastCaptureTick;
    char* captureName;
    uint32_t templateLength;
    // Losses noted by the render thread and said once by the owner's thread:
    // 0 none, 1 to be said, 2 said. The first screenshot lost, with its reason.
    std::atomic<uint32_t> movieLoss, screenshotLoss;
    std::string lostScreenshot;
    int32_t screenshotError;
    uint32_t fontSlots[OGW_FONT_SLOTS];   // the glyph texture of each font
    OGW_FONT* fonts[OGW_FONT_SLOTS];       // where each glyph lies in it
    uint32_t textProgram;                   // the shader program that draws glyphs
    uint32_t textureSlots[OGW_TEXTURE_SLOTS];
    // Render thread state beyond the window's own: a frame is being drawn
    // (virtual time waits for it), the window was closed by its user, the
    // target size of the frame, the read-back buffer of shown frames.
    std::atomic<uint32_t> frameInProgress;
    std::atomic<uint32_t> closed;
    std::atomic<uint32_t> targetSize;   // width << 16 | height, set by OGW_SetClientSize
    uint8_t* shownFrame;
    uint32_t shownFrameSize;
    uint32_t writerFailureLogged;
    // The render thread makes the context (OGW_SETUP_*); fonts and textures
    // loaded before it exists wait in the pending list (under pendingMutex)
    // for the first use of the context, which marks loadFailed when one of
    // them cannot be made.
    std::atomic<uint32_t> setupState;
    // Bumped by the render thread at every step of a frame: a sign of life
    // that the owner's waits after a stop look at.
    std::atomic<uint32_t> renderBeat;
    // The owner's watch of the render thread after a stop: when it last went
    // on (real clock, us), its beat and processor time then, when it was
    // last looked at and in how many looks in a row it was ready to run.
    struct {
        uint32_t started;
        int64_t progressAt, lookedAt;
        uint32_t beat;
        uint64_t processorNs;
        uint32_t runnableLooks;
    } watch;
    uint32_t threadLeft;   // the render thread was left running
    std::atomic<uint32_t> loadFailed;
    OGW_PENDING* pending;
    std::mutex pendingMutex;
    // Ends the render thread's rest between frames when drawing is disabled or
    // the thread is stopped, and the owner's wait once a disable is acknowledged.
    std::mutex wakeMutex;
    std::condition_variable wake;
};

constexpr uint32_t OGW_SETUP_PENDING = 0;
constexpr uint32_t OGW_SETUP_READY = 1;
constexpr uint32_t OGW_SETUP_FAILED = 2;

// Life cycle. OGW_OpenWindow returns once the window and its render thread
// exist; the thread makes the rendering context, so that the owner goes on
// meanwhile. Whatever needs the context on the owner's thread waits for it.
void OGW_Init();
void OGW_Done();
OGW_WINDOW* OGW_CreateWindowRecord(const char* title, WNDPROC windowProc, OGW_DRAW_CALLBACK drawCallback,
                                   OGW_DRAW_CALLBACK preDrawCallback);
uint32_t OGW_OpenWindow(OGW_WINDOW* window);
void OGW_EnableRedraw(OGW_WINDOW* window);
void OGW_DisableRedraw(OGW_WINDOW* window);
// In real time: no frame is started or finished from now on, without waiting
// for the render thread (OGW_DisableRedraw still waits for it). In virtual
// time nothing: every frame asked for is drawn.
void OGW_StopDrawingSoon(OGW_WINDOW* window);
void OGW_RequestRedraw(OGW_WINDOW* window);
// Asks the render thread to end and waits for it: 1 when it ended (or there
// was none). A thread that does not end is left running with the record
// (0): before a stop after 30 s; after a stop once it has neither used nor
// waited for a processor for 5 s, and at the latest 30 s after the stop. It
// may then no longer write any file, its movie is said lost, and nothing it
// draws from (the record, fonts, quadrics, the scene) may be freed: the
// program ends without further runs. Called again for a record left
// before: 1 once the thread's function has returned.
uint32_t OGW_EndRenderThread(OGW_WINDOW* window);
// Ends the render thread (OGW_EndRenderThread) and frees the record; a
// record whose thread was left stays allocated.
void OGW_DestroyWindow(OGW_WINDOW* window);
// 1 once a render thread has been left running.
uint32_t OGW_RenderThreadLeft();
void OGW_Lock();
void OGW_Unlock();
// Called by the lock's owner right after its outermost OGW_Unlock: when a
// render thread waits for the lock to take a frame's snapshot, waits (at most
// a few ms) until it has the lock, so that the owner does not take it again first.
void OGW_HandOverLock();
OGW_WINDOW* OGW_GetCurrentWindow();
void OGW_MakeCurrent(OGW_WINDOW* window);
// Makes the window current on the calling thread for loading only, without
// its context: fonts and textures are read now (and fail now when they
// cannot be read) and reach the context before its next frame. Null, or
// OGW_MakeCurrent, ends the loading.
void OGW_BeginLoading(OGW_WINDOW* window);
// Runs the function with the window's context current before its next frame,
// after what was loaded before it. 0 when out of memory.
uint32_t OGW_CallWithContext(OGW_WINDOW* window, void (*function)());
// 1 when the context could not be made or something loaded into it could
// not be made there; the window then draws nothing more.
uint32_t OGW_SetupFailed(OGW_WINDOW* window);
LRESULT OGW_WindowProc(HWND window, uint32_t message, WPARAM wParam, LPARAM lParam);
// The record of an open window's handle; null for another window.
OGW_WINDOW* OGW_FromHandle(HWND window);

// Geometry.
void OGW_SetClientSize(OGW_WINDOW* window, uint16_t width, uint16_t height);
void OGW_SetPosition(OGW_WINDOW* window, int32_t x, int32_t y);

// Camera and projection: the pending camera, under the OGW lock.
void OGW_SetEye(OGW_WINDOW* window, double x, double y, double z);
void OGW_SetTarget(OGW_WINDOW* window, double x, double y, double z);
void OGW_SetUp(OGW_WINDOW* window, double x, double y, double z);
void OGW_SetEyeUp(OGW_WINDOW* window, const VEC3* eye, const VEC3* up);
void OGW_GetEye(OGW_WINDOW* window, VEC3* eye);
void OGW_GetTarget(OGW_WINDOW* window, VEC3* target);
void OGW_GetUp(OGW_WINDOW* window, VEC3* up);
void OGW_GetEyeUp(OGW_WINDOW* window, VEC3* eye, VEC3* up);
void OGW_GetCameraUpAxis(OGW_WINDOW* window, VEC3* axis);
void OGW_GetCameraRightAxis(OGW_WINDOW* window, VEC3* axis);
void OGW_GetCameraBackAxis(OGW_WINDOW* window, VEC3* axis);
void OGW_SetCameraUpAxis(OGW_WINDOW* window, const VEC3* axis);
void OGW_SetCameraRightAxis(OGW_WINDOW* window, const VEC3* axis);
void OGW_SetCameraBackAxis(OGW_WINDOW* window, const VEC3* axis);
void OGW_SetClipPlanes(OGW_WINDOW* window, double nearClip, double farClip);
void OGW_SetFieldOfView(OGW_WINDOW* window, double degrees);
void OGW_EnablePerspective(OGW_WINDOW* window);
void OGW_DisablePerspective(OGW_WINDOW* window);
void OGW_EnableLookAt(OGW_WINDOW* window);
void OGW_DisableLookAt(OGW_WINDOW* window);
// The axes of the last frame's view matrix (render thread, no lock).
void OGW_GetViewUp(OGW_WINDOW* window, VEC3* axis);
void OGW_GetViewRight(OGW_WINDOW* window, VEC3* axis);
void OGW_GetViewBack(OGW_WINDOW* window, VEC3* axis);
void OGW_SetViewUp(OGW_WINDOW* window, const VEC3* axis);
void OGW_SetViewRight(OGW_WINDOW* window, const VEC3* axis);
void OGW_SetViewBack(OGW_WINDOW* window, const VEC3* axis);
void OGW_LoadViewMatrix();
// The live camera (render thread, no lock).
void OGW_SetLiveEye(OGW_WINDOW* window, double x, double y, double z);
void OGW_GetLiveEye(OGW_WINDOW* window, VEC3* eye);
void OGW_SetLiveTarget(OGW_WINDOW* window, double x, double y, double z);
void OGW_GetLiveTarget(OGW_WINDOW* window, VEC3* target);
void OGW_SetLiveUp(OGW_WINDOW* window, double x, double y, double z);
void OGW_GetLiveUp(OGW_WINDOW* window, VEC3* up);
void OGW_GetLiveEyeUp(OGW_WINDOW* window, VEC3* eye, VEC3* up);

// Fonts.
OGW_FONT_SLOT OGW_CreateFont(OGW_WINDOW* window, const char* faceName, int32_t points, uint32_t style);
void OGW_DeleteFont(OGW_WINDOW* window, OGW_FONT_SLOT slot);
void OGW_PrintText(OGW_FONT_SLOT slot, const char* format, ...) __attribute__((format(printf, 2, 3)));

// Textures, on the current window.
OGW_TEXTURE_SLOT OGW_LoadTexture(const char* fileName);
OGW_TEXTURE_SLOT OGW_CreateTextureFromPixels(int32_t width, int32_t height, const uint8_t* pixels);
void OGW_BindTexture(OGW_TEXTURE_SLOT slot);
void OGW_DeleteTexture(OGW_TEXTURE_SLOT slot);

// Keyboard.
void OGW_SetKeyCallback(OGW_WINDOW* window, OGW_KEY_CALLBACK callback);
void OGW_EnableKeyNavigation(OGW_WINDOW* window);
void OGW_DisableKeyNavigation(OGW_WINDOW* window);
void OGW_SetNavigationDistances(OGW_WINDOW* window, double minimum, double second);
void OGW_SetKeyRotationAngle(OGW_WINDOW* window, double angle);
