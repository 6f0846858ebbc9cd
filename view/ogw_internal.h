// What the window library's own files share.
#pragma once
#include <cstdint>
#include "platform/plat_thread.h"
#include "view/ogw.h"

PLAT_LOCK* OGW_GetLock();
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
