// What the window library's own files share.
#pragma once
#include <cstdint>
#include "platform/plat_thread.h"
#include "view/ogw.h"

PLAT_LOCK* OGW_GetLock();
// Render threads that wait for the lock to take a frame's snapshot.
uint32_t OGW_FramesWaitingForLock();

// A font or texture loaded while the window's context was not current: made
// there by run, with the context current, before the context's next use
// (0: it could not be made); freed by drop when the window goes first.
struct OGW_PENDING {
    uint32_t (*run)(OGW_WINDOW* window, OGW_PENDING* work);
    void (*drop)(OGW_PENDING* work);
    int32_t slot;
    void* data;
    void (*call)();
    OGW_PENDING* next;
};
// 1 when the calling thread loads into the window (OGW_BeginLoading).
uint32_t OGW_IsLoading(OGW_WINDOW* window);
// Appends a copy of the work to the window's pending list; 0 when out of memory.
uint32_t OGW_AddPending(OGW_WINDOW* window, const OGW_PENDING& work);
void OGW_WindowClosed(OGW_WINDOW* window);
// With keyboard navigation on: Page Up and Page Down zoom the pending eye,
// the arrows turn it about the z axis or tilt it. 1 when the key was one of these.
uint32_t OGW_NavigateKey(OGW_WINDOW* window, uint32_t key);
// Render thread, after drawing: the movie frames due by the clock at now,
// then the screenshot if one is due.
void OGW_WriteMovieFrames(OGW_WINDOW* window, uint32_t now);
void OGW_CaptureIfDue(OGW_WINDOW* window, uint32_t now);
// Frees the glyph tables of the fonts still in the record (their textures
// and the text program go with the rendering context).
void OGW_FreeFonts(OGW_WINDOW* window);
// Completes and frees the movie writer (the AVI file is finished).
void OGW_DeleteMovieWriter(OGW_WINDOW* window);
