// PLAT GL: OpenGL contexts without a display. Each context draws into a
// framebuffer object of the window's client size; the frame is read back
// from it. A context can be current in one thread at a time.
#pragma once
#include <cstdint>

struct PLAT_GL_CONTEXT;   // opaque

// A desktop OpenGL (compatibility profile) context with a width x height
// target; null when no context can be made (the reason goes to stderr once).
PLAT_GL_CONTEXT* PLAT_CreateGLContext(int32_t width, int32_t height);
// Releases the context if current on the calling thread, then frees it.
void PLAT_DestroyGLContext(PLAT_GL_CONTEXT* context);
// Makes the context and its frame target current on the calling thread;
// null releases whatever context the thread holds. 1 on success.
uint32_t PLAT_MakeGLCurrent(PLAT_GL_CONTEXT* context);
// Gives the frame target a new size; the context must be current. 1 on success.
uint32_t PLAT_ResizeGLTarget(PLAT_GL_CONTEXT* context, int32_t width, int32_t height);
void PLAT_GetGLTargetSize(const PLAT_GL_CONTEXT* context, int32_t* width, int32_t* height);
// The entry point of an OpenGL function beyond version 1.1 (extensions
// included); null when the driver has none.
void* PLAT_GetGLFunction(const char* name);

// Bytes of one read-back row of blue-green-red pixels, padded to 4 bytes as
// OpenGL's default pack alignment and a DIB row are.
inline uint32_t PLAT_FrameStride(int32_t width) { return (static_cast<uint32_t>(width) * 3 + 3) & ~3u; }
