// EGL on Mesa's surfaceless platform, desktop OpenGL API, drawing into a
// framebuffer object with colour and depth renderbuffers.
#include "platform/plat_gl.h"
#include <EGL/egl.h>
#include <EGL/eglext.h>
#include <GL/gl.h>
#include <sched.h>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <new>
#include <string>

namespace {

constexpr GLenum FRAMEBUFFER = 0x8D40;
constexpr GLenum RENDERBUFFER = 0x8D41;
constexpr GLenum COLOR_ATTACHMENT0 = 0x8CE0;
constexpr GLenum DEPTH_ATTACHMENT = 0x8D00;
constexpr GLenum DEPTH_COMPONENT24 = 0x81A6;
constexpr GLenum FRAMEBUFFER_COMPLETE = 0x8CD5;

typedef void (*GenFn)(GLsizei, GLuint*);
typedef void (*DeleteFn)(GLsizei, const GLuint*);
typedef void (*BindFn)(GLenum, GLuint);
typedef void (*StorageFn)(GLenum, GLenum, GLsizei, GLsizei);
typedef void (*AttachFn)(GLenum, GLenum, GLenum, GLuint);
typedef GLenum (*StatusFn)(GLenum);

struct FboFunctions {
    GenFn genFramebuffers, genRenderbuffers;
    DeleteFn deleteFramebuffers, deleteRenderbuffers;
    BindFn bindFramebuffer, bindRenderbuffer;
    StorageFn renderbufferStorage;
    AttachFn framebufferRenderbuffer;
    StatusFn checkFramebufferStatus;
};

std::once_flag g_once;
EGLDisplay g_display = EGL_NO_DISPLAY;
EGLConfig g_config = nullptr;
FboFunctions g_fbo{};

template <typename T>
T Proc(const char* name)
{
    return reinterpret_cast<T>(eglGetProcAddress(name));
}

EGLDisplay OpenDisplay()
{
    auto getPlatformDisplay = Proc<PFNEGLGETPLATFORMDISPLAYEXTPROC>("eglGetPlatformDisplayEXT");
    if (!getPlatformDisplay)
        return EGL_NO_DISPLAY;
    EGLDisplay display = getPlatformDisplay(EGL_PLATFORM_SURFACELESS_MESA, EGL_DEFAULT_DISPLAY, nullptr);
    if (display == EGL_NO_DISPLAY || !eglInitialize(display, nullptr, nullptr))
        return EGL_NO_DISPLAY;
    return display;
}

// The first offered config with exactly 8 bits of red, green and blue (the
// list starts with 10-10-10-2 configs).
EGLConfig ChooseConfig(EGLDisplay display)
{
    const EGLint attributes[] = {EGL_SURFACE_TYPE, EGL_PBUFFER_BIT, EGL_RENDERABLE_TYPE, EGL_OPENGL_BIT, EGL_RED_SIZE, 8, EGL_GREEN_SIZE, 8,
                                 EGL_BLUE_SIZE, 8, EGL_NONE};
    EGLConfig configs[64];
    EGLint count = 0;
    if (!eglChooseConfig(display, attributes, configs, 64, &count))
        return nullptr;
    for (EGLint i = 0; i < count; ++i) {
        EGLint r, g, b;
        eglGetConfigAttrib(display, configs[i], EGL_RED_SIZE, &r);
        eglGetConfigAttrib(display, configs[i], EGL_GREEN_SIZE, &g);
        eglGetConfigAttrib(display, configs[i], EGL_BLUE_SIZE, &b);
        if (r == 8 && g == 8 && b == 8)
            return configs[i];
    }
    return nullptr;
}

void LoadFboFunctions()
{
    g_fbo.genFramebuffers = Proc<GenFn>("glGenFramebuffers");
    g_fbo.genRenderbuffers = Proc<GenFn>("glGenRenderbuffers");
    g_fbo.deleteFramebuffers = Proc<DeleteFn>("glDeleteFramebuffers");
    g_fbo.deleteRenderbuffers = Proc<DeleteFn>("glDeleteRenderbuffers");
    g_fbo.bindFramebuffer = Proc<BindFn>("glBindFramebuffer");
    g_fbo.bindRenderbuffer = Proc<BindFn>("glBindRenderbuffer");
    g_fbo.renderbufferStorage = Proc<StorageFn>("glRenderbufferStorage");
    g_fbo.framebufferRenderbuffer = Proc<AttachFn>("glFramebufferRenderbuffer");
    g_fbo.checkFramebufferStatus = Proc<StatusFn>("glCheckFramebufferStatus");
}

bool HaveFboFunctions()
{
    return g_fbo.genFramebuffers && g_fbo.genRenderbuffers && g_fbo.deleteFramebuffers &&
           g_fbo.deleteRenderbuffers && g_fbo.bindFramebuffer && g_fbo.bindRenderbuffer &&
           g_fbo.renderbufferStorage && g_fbo.framebufferRenderbuffer && g_fbo.checkFramebufferStatus;
}

// llvmpipe starts a rasterizer thread for each processor the program may
// use, and they take processor time from the simulation while a frame is
// drawn. Unless the user set LP_NUM_THREADS, one processor is left to the
// simulation and one to the render thread, which rasterizes by itself when
// no other is left.
void ChooseRasterThreads()
{
    cpu_set_t processors;
    int count = sched_getaffinity(0, sizeof processors, &processors) == 0 ? CPU_COUNT(&processors) : 1;
    setenv("LP_NUM_THREADS", std::to_string(count > 2 ? count - 2 : 0).c_str(), 0);
}

// The display and config are made once per process and never terminated:
// Mesa's leftovers after eglTerminate upset the leak checker.
void InitDisplay()
{
    ChooseRasterThreads();
    g_display = OpenDisplay();
    if (g_display == EGL_NO_DISPLAY) {
        fprintf(stderr, "OpenGL: no EGL surfaceless display\n");
        return;
    }
    g_config = ChooseConfig(g_display);
    if (!g_config)
        fprintf(stderr, "OpenGL: no EGL config with 8-bit colour\n");
    LoadFboFunctions();
    if (!HaveFboFunctions()) {
        fprintf(stderr, "OpenGL: no framebuffer objects\n");
        g_config = nullptr;
    }
}

thread_local PLAT_GL_CONTEXT* t_current = nullptr;

}

struct PLAT_GL_CONTEXT {
    EGLContext context = EGL_NO_CONTEXT;
    GLuint framebuffer = 0;
    GLuint colour = 0;
    GLuint depth = 0;
    int32_t width = 0;
    int32_t height = 0;
};

namespace {

bool AllocateTarget(PLAT_GL_CONTEXT* c, int32_t width, int32_t height)
{
    if (width < 1) width = 1;
    if (height < 1) height = 1;
    g_fbo.bindRenderbuffer(RENDERBUFFER, c->colour);
    g_fbo.renderbufferStorage(RENDERBUFFER, GL_RGBA8, width, height);
    g_fbo.bindRenderbuffer(RENDERBUFFER, c->depth);
    g_fbo.renderbufferStorage(RENDERBUFFER, DEPTH_COMPONENT24, width, height);
    g_fbo.bindFramebuffer(FRAMEBUFFER, c->framebuffer);
    g_fbo.framebufferRenderbuffer(FRAMEBUFFER, COLOR_ATTACHMENT0, RENDERBUFFER, c->colour);
    g_fbo.framebufferRenderbuffer(FRAMEBUFFER, DEPTH_ATTACHMENT, RENDERBUFFER, c->depth);
    c->width = width;
    c->height = height;
    return g_fbo.checkFramebufferStatus(FRAMEBUFFER) == FRAMEBUFFER_COMPLETE;
}

}

PLAT_GL_CONTEXT* PLAT_CreateGLContext(int32_t width, int32_t height)
{
    std::call_once(g_once, InitDisplay);
    if (!g_config)
        return nullptr;
    eglBindAPI(EGL_OPENGL_API);
    const EGLint attributes[] = {EGL_CONTEXT_OPENGL_PROFILE_MASK, EGL_CONTEXT_OPENGL_COMPATIBILITY_PROFILE_BIT,
                                 EGL_NONE};
    EGLContext context = eglCreateContext(g_display, g_config, EGL_NO_CONTEXT, attributes);
    if (context == EGL_NO_CONTEXT)
        return nullptr;
    PLAT_GL_CONTEXT* c = new (std::nothrow) PLAT_GL_CONTEXT;
    if (!c) {
        eglDestroyContext(g_display, context);
        return nullptr;
    }
    c->context = context;
    PLAT_GL_CONTEXT* previous = t_current;
    if (!PLAT_MakeGLCurrent(c)) {
        PLAT_DestroyGLContext(c);
        return nullptr;
    }
    g_fbo.genFramebuffers(1, &c->framebuffer);
    g_fbo.genRenderbuffers(1, &c->colour);
    g_fbo.genRenderbuffers(1, &c->depth);
    bool complete = AllocateTarget(c, width, height);
    PLAT_MakeGLCurrent(previous);
    if (!complete) {
        PLAT_DestroyGLContext(c);
        return nullptr;
    }
    return c;
}

void PLAT_DestroyGLContext(PLAT_GL_CONTEXT* context)
{
    if (!context)
        return;
    if (t_current == context)
        PLAT_MakeGLCurrent(nullptr);
    // The renderbuffers and framebuffer go with the context.
    eglDestroyContext(g_display, context->context);
    delete context;
}

uint32_t PLAT_MakeGLCurrent(PLAT_GL_CONTEXT* context)
{
    // Nothing to release touches the display, which another thread may be making.
    if (!context && !t_current)
        return 1;
    if (g_display == EGL_NO_DISPLAY)
        return context == nullptr;
    eglBindAPI(EGL_OPENGL_API);
    if (!context) {
        eglMakeCurrent(g_display, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
        t_current = nullptr;
        return 1;
    }
    if (!eglMakeCurrent(g_display, EGL_NO_SURFACE, EGL_NO_SURFACE, context->context))
        return 0;
    t_current = context;
    if (context->framebuffer)
        g_fbo.bindFramebuffer(FRAMEBUFFER, context->framebuffer);
    return 1;
}

uint32_t PLAT_ResizeGLTarget(PLAT_GL_CONTEXT* context, int32_t width, int32_t height)
{
    if (!context || t_current != context)
        return 0;
    if (context->width == width && context->height == height)
        return 1;
    return AllocateTarget(context, width, height) ? 1 : 0;
}

void PLAT_GetGLTargetSize(const PLAT_GL_CONTEXT* context, int32_t* width, int32_t* height)
{
    *width = context ? context->width : 0;
    *height = context ? context->height : 0;
}

void* PLAT_GetGLFunction(const char* name)
{
    return reinterpret_cast<void*>(eglGetProcAddress(name));
}
