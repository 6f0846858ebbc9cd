// Bitmap fonts and the texture table of a window.
#include <GL/gl.h>
#include <GL/glext.h>
#include <GL/glu.h>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <vector>
#include "foundation/memory.h"
#include "foundation/pool.h"
#include "foundation/util.h"
#include "platform/plat_bmp.h"
#include "platform/plat_font.h"
#include "platform/plat_gl.h"
#include "view/ogw.h"

// A glyph's set bits as rectangles of pixels from its bitmap's lower left:
// the runs of each row, a run growing up while the row above has the same.
struct OGW_GLYPH_RECT {
    int16_t x0, y0, x1, y1;   // pixels [x0, x1) x [y0, y1)
};

struct OGW_GLYPH {
    uint32_t first, count;             // its rectangles in the font's list
    float originX, originY, advance;   // as glBitmap's xorig, yorig and xmove
};

struct OGW_FONT {
    OGW_GLYPH glyphs[256];
    OGW_GLYPH_RECT* rects;   // in the same block, after the record
};

namespace {

constexpr uint32_t OGW_PATH_SIZE = 4096;

int32_t FirstFree(const uint32_t* slots, uint32_t count)
{
    for (uint32_t i = 0; i < count; ++i)
        if (slots[i] == OGW_FREE_SLOT)
            return static_cast<int32_t>(i);
    return -1;
}

bool BitSet(const PLAT_GLYPH& g, int32_t x, int32_t row)
{
    return g.bits[row * ((g.width + 7) / 8) + x / 8] & (0x80 >> (x % 8));
}

// A run of the row: grows the glyph's rectangle that ends below it with the
// same span, else starts one.
void AddRun(std::vector<OGW_GLYPH_RECT>* rects, size_t first, int32_t x0, int32_t x1, int32_t row)
{
    for (size_t i = first; i < rects->size(); ++i) {
        OGW_GLYPH_RECT& r = (*rects)[i];
        if (r.y1 == row && r.x0 == x0 && r.x1 == x1) {
            r.y1 = static_cast<int16_t>(row + 1);
            return;
        }
    }
    rects->push_back(OGW_GLYPH_RECT{static_cast<int16_t>(x0), static_cast<int16_t>(row), static_cast<int16_t>(x1),
                                    static_cast<int16_t>(row + 1)});
}

void GlyphRects(const PLAT_GLYPH& g, std::vector<OGW_GLYPH_RECT>* rects)
{
    size_t first = rects->size();
    for (int32_t row = 0; row < g.height; ++row)
        for (int32_t x = 0; x < g.width; ++x) {
            if (!BitSet(g, x, row))
                continue;
            int32_t end = x + 1;
            while (end < g.width && BitSet(g, end, row)) ++end;
            AddRun(rects, first, x, end, row);
            x = end;
        }
}

// The glyphs of a set as a font record (tracked, "OGW:font"); null when
// memory runs out.
OGW_FONT* MakeFont(const PLAT_GLYPH_SET* set)
{
    std::vector<OGW_GLYPH_RECT> rects;
    OGW_GLYPH glyphs[256];
    for (uint32_t i = 0; i < 256; ++i) {
        const PLAT_GLYPH& g = set->glyphs[i];
        glyphs[i] = OGW_GLYPH{static_cast<uint32_t>(rects.size()), 0, g.originX, g.originY, g.advance};
        GlyphRects(g, &rects);
        glyphs[i].count = static_cast<uint32_t>(rects.size()) - glyphs[i].first;
    }
    MEMORY_SetTag("OGW:font");
    OGW_FONT* font = static_cast<OGW_FONT*>(POOL_Alloc(sizeof(OGW_FONT) + rects.size() * sizeof(OGW_GLYPH_RECT) + 1));
    if (!font)
        return nullptr;
    memcpy(font->glyphs, glyphs, sizeof glyphs);
    font->rects = reinterpret_cast<OGW_GLYPH_RECT*>(font + 1);
    if (!rects.empty())
        memcpy(font->rects, rects.data(), rects.size() * sizeof(OGW_GLYPH_RECT));
    return font;
}

OGW_FONT* UsedFont(OGW_WINDOW* w, OGW_FONT_SLOT slot)
{
    if (!w || slot < 0 || static_cast<uint32_t>(slot) >= OGW_FONT_SLOTS || w->fontSlots[slot] == OGW_FREE_SLOT)
        return nullptr;
    return w->fonts[slot];
}

void FreeFont(OGW_WINDOW* w, uint32_t slot)
{
    if (w->fonts[slot])
        POOL_Free(w->fonts[slot]);
    w->fonts[slot] = nullptr;
    w->fontSlots[slot] = OGW_FREE_SLOT;
}

// Glyph rectangles are drawn by a small program of the window's context that
// takes clip coordinates and paints one colour. Text is drawn as glBitmap
// draws it: in the raster position's colour and at its depth, each glyph's
// lower-left corner at floor(x + 0.0001 - xorig), floor(y + 0.0001 - yorig)
// in window pixels, the fragments going through the caller's depth test,
// blending and masks. No texture, other matrices or viewport: llvmpipe pays
// for each change of those far more than for the glyphs.
const char* const TEXT_VERTEX_SHADER =
    "#version 110\nvoid main() { gl_Position = gl_Vertex; gl_FrontColor = gl_Color; }\n";
const char* const TEXT_FRAGMENT_SHADER = "#version 110\nvoid main() { gl_FragColor = gl_Color; }\n";

struct ShaderFunctions {
    PFNGLCREATESHADERPROC createShader;
    PFNGLSHADERSOURCEPROC shaderSource;
    PFNGLCOMPILESHADERPROC compileShader;
    PFNGLCREATEPROGRAMPROC createProgram;
    PFNGLATTACHSHADERPROC attachShader;
    PFNGLLINKPROGRAMPROC linkProgram;
    PFNGLGETPROGRAMIVPROC getProgramiv;
    PFNGLUSEPROGRAMPROC useProgram;
};

template <typename T>
T Function(const char* name)
{
    return reinterpret_cast<T>(PLAT_GetGLFunction(name));
}

const ShaderFunctions& Shaders()
{
    static const ShaderFunctions f{Function<PFNGLCREATESHADERPROC>("glCreateShader"),
                                   Function<PFNGLSHADERSOURCEPROC>("glShaderSource"),
                                   Function<PFNGLCOMPILESHADERPROC>("glCompileShader"),
                                   Function<PFNGLCREATEPROGRAMPROC>("glCreateProgram"),
                                   Function<PFNGLATTACHSHADERPROC>("glAttachShader"),
                                   Function<PFNGLLINKPROGRAMPROC>("glLinkProgram"),
                                   Function<PFNGLGETPROGRAMIVPROC>("glGetProgramiv"),
                                   Function<PFNGLUSEPROGRAMPROC>("glUseProgram")};
    return f;
}

bool HaveShaders(const ShaderFunctions& f)
{
    return f.createShader && f.shaderSource && f.compileShader && f.createProgram && f.attachShader &&
           f.linkProgram && f.getProgramiv && f.useProgram;
}

GLuint Shader(const ShaderFunctions& f, GLenum type, const char* source)
{
    GLuint shader = f.createShader(type);
    f.shaderSource(shader, 1, &source, nullptr);
    f.compileShader(shader);
    return shader;
}

// The window's text program, made on its current context the first time;
// false when the driver cannot make it.
bool MakeTextProgram(OGW_WINDOW* w)
{
    const ShaderFunctions& f = Shaders();
    if (w->textProgram || !HaveShaders(f))
        return w->textProgram != 0;
    GLuint program = f.createProgram();
    f.attachShader(program, Shader(f, GL_VERTEX_SHADER, TEXT_VERTEX_SHADER));
    f.attachShader(program, Shader(f, GL_FRAGMENT_SHADER, TEXT_FRAGMENT_SHADER));
    f.linkProgram(program);
    GLint linked = GL_FALSE;
    f.getProgramiv(program, GL_LINK_STATUS, &linked);
    if (linked != GL_TRUE)
        return false;
    w->textProgram = program;
    return true;
}

// Where the current raster position and viewport put a text.
struct TEXT_PLACE {
    float x, y;                   // window pixels
    float z;                      // clip z that gives the raster depth
    float colour[4];              // the raster colour
    float left, bottom, sx, sy;   // window pixels to clip coordinates: (x - left) * sx - 1
};

// The raster position, its colour and the viewport; false when the raster
// position is invalid (glBitmap draws nothing then).
bool PlaceText(TEXT_PLACE* at)
{
    GLboolean valid = GL_FALSE;
    glGetBooleanv(GL_CURRENT_RASTER_POSITION_VALID, &valid);
    if (!valid)
        return false;
    GLint viewport[4];
    float raster[4], range[2];
    glGetIntegerv(GL_VIEWPORT, viewport);
    glGetFloatv(GL_CURRENT_RASTER_POSITION, raster);
    glGetFloatv(GL_CURRENT_RASTER_COLOR, at->colour);
    glGetFloatv(GL_DEPTH_RANGE, range);
    at->x = raster[0], at->y = raster[1];
    at->z = range[1] != range[0] ? (2.0f * raster[2] - range[0] - range[1]) / (range[1] - range[0]) : 0.0f;
    at->left = static_cast<float>(viewport[0]);
    at->bottom = static_cast<float>(viewport[1]);
    at->sx = 2.0f / static_cast<float>(viewport[2] > 0 ? viewport[2] : 1);
    at->sy = 2.0f / static_cast<float>(viewport[3] > 0 ? viewport[3] : 1);
    return true;
}

// What the caller had that the glyphs change: the program in use, face
// culling and the current colour (which a colour material follows, so
// restoring it restores the material too).
struct TEXT_SAVED {
    GLint program;
    GLboolean culling;
    float colour[4];
};

void BeginGlyphs(const OGW_WINDOW* w, const TEXT_PLACE& at, TEXT_SAVED* saved)
{
    glGetIntegerv(GL_CURRENT_PROGRAM, &saved->program);
    saved->culling = glIsEnabled(GL_CULL_FACE);
    if (saved->culling)
        glDisable(GL_CULL_FACE);
    glGetFloatv(GL_CURRENT_COLOR, saved->colour);
    Shaders().useProgram(w->textProgram);
    glColor4fv(at.colour);
}

void EndGlyphs(const TEXT_SAVED& saved)
{
    Shaders().useProgram(static_cast<GLuint>(saved.program));
    if (saved.culling)
        glEnable(GL_CULL_FACE);
    glColor4fv(saved.colour);
}

void ClipVertex(const TEXT_PLACE& at, float x, float y)
{
    glVertex3f((x - at.left) * at.sx - 1.0f, (y - at.bottom) * at.sy - 1.0f, at.z);
}

// The glyphs' rectangles from the raster position on; the advance of the
// whole text.
float DrawGlyphs(const OGW_FONT* font, const char* text, const TEXT_PLACE& at)
{
    const float epsilon = 0.0001f;
    float x = at.x;
    glBegin(GL_QUADS);
    for (const char* c = text; *c; ++c) {
        const OGW_GLYPH& g = font->glyphs[static_cast<uint8_t>(*c)];
        float left = std::floor(x + epsilon - g.originX), bottom = std::floor(at.y + epsilon - g.originY);
        for (uint32_t i = g.first; i < g.first + g.count; ++i) {
            const OGW_GLYPH_RECT& r = font->rects[i];
            float x0 = left + r.x0, x1 = left + r.x1, y0 = bottom + r.y0, y1 = bottom + r.y1;
            ClipVertex(at, x0, y0), ClipVertex(at, x1, y0), ClipVertex(at, x1, y1), ClipVertex(at, x0, y1);
        }
        x += g.advance;
    }
    glEnd();
    return x - at.x;
}

// A slot of the current window whose texture exists; -1 otherwise.
bool UsedTextureSlot(OGW_WINDOW* w, OGW_TEXTURE_SLOT slot)
{
    return w && slot >= 0 && static_cast<uint32_t>(slot) < OGW_TEXTURE_SLOTS &&
           w->textureSlots[slot] != OGW_FREE_SLOT;
}

}

void OGW_FreeFonts(OGW_WINDOW* w)
{
    for (uint32_t slot = 0; slot < OGW_FONT_SLOTS; ++slot)
        if (w->fonts[slot])
            FreeFont(w, slot);
}

OGW_FONT_SLOT OGW_CreateFont(OGW_WINDOW* w, const char* faceName, int32_t points, uint32_t style)
{
    if (!w || !w->renderingContext)
        return -1;
    int32_t slot = FirstFree(w->fontSlots, OGW_FONT_SLOTS);
    if (slot < 0)
        return -1;
    // The caller's current window is restored afterwards, so fonts can be
    // made while it loads textures into the same window.
    OGW_WINDOW* previous = OGW_GetCurrentWindow();
    OGW_MakeCurrent(w);
    bool program = OGW_GetCurrentWindow() == w && MakeTextProgram(w);
    OGW_MakeCurrent(previous);
    PLAT_GLYPH_SET* set = program ? PLAT_RenderGlyphs(faceName, points < 0 ? -points : points, style) : nullptr;
    OGW_FONT* font = set ? MakeFont(set) : nullptr;
    PLAT_FreeGlyphs(set);
    if (!font)
        return -1;
    w->fontSlots[slot] = static_cast<uint32_t>(slot);
    w->fonts[slot] = font;
    return slot;
}

void OGW_DeleteFont(OGW_WINDOW* w, OGW_FONT_SLOT slot)
{
    if (UsedFont(w, slot))
        FreeFont(w, static_cast<uint32_t>(slot));
}

void OGW_PrintText(OGW_FONT_SLOT slot, const char* format, ...)
{
    OGW_WINDOW* w = OGW_GetCurrentWindow();
    const OGW_FONT* font = UsedFont(w, slot);
    if (!font)
        return;
    char text[OGW_TEXT_MAX + 1];
    va_list args;
    va_start(args, format);
    int n = vsnprintf(text, sizeof text, format, args);
    va_end(args);
    TEXT_PLACE at;
    if (n <= 0 || !w->textProgram || !PlaceText(&at))
        return;
    TEXT_SAVED saved;
    BeginGlyphs(w, at, &saved);
    float advance = DrawGlyphs(font, text, at);
    EndGlyphs(saved);
    // The raster position moves on past the text, as the glyph bitmaps moved it.
    glBitmap(0, 0, 0.0f, 0.0f, advance, 0.0f, nullptr);
}

OGW_TEXTURE_SLOT OGW_LoadTexture(const char* fileName)
{
    OGW_WINDOW* w = OGW_GetCurrentWindow();
    if (!fileName || !w)
        return -1;
    int32_t slot = FirstFree(w->textureSlots, OGW_TEXTURE_SLOTS);
    char path[OGW_PATH_SIZE];
    if (slot < 0 || !UTIL_JoinPath(fileName, path, sizeof path))
        return -1;
    PLAT_IMAGE* image = PLAT_ReadBmp(path);
    if (!image)
        return -1;
    GLuint name = 0;
    glGenTextures(1, &name);
    glBindTexture(GL_TEXTURE_2D, name);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glTexImage2D(GL_TEXTURE_2D, 0, 4, image->width, image->height, 0, GL_RGB, GL_UNSIGNED_BYTE, image->rgb);
    gluBuild2DMipmaps(GL_TEXTURE_2D, 3, image->width, image->height, GL_RGB, GL_UNSIGNED_BYTE, image->rgb);
    PLAT_FreeImage(image);
    w->textureSlots[slot] = name;
    return slot;
}

OGW_TEXTURE_SLOT OGW_CreateTextureFromPixels(int32_t width, int32_t height, const uint8_t* pixels)
{
    OGW_WINDOW* w = OGW_GetCurrentWindow();
    if (!w || !pixels || width < 1 || height < 1)
        return -1;
    int32_t slot = FirstFree(w->textureSlots, OGW_TEXTURE_SLOTS);
    if (slot < 0)
        return -1;
    GLuint name = 0;
    glGenTextures(1, &name);
    glBindTexture(GL_TEXTURE_2D, name);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glTexImage2D(GL_TEXTURE_2D, 0, 4, width, height, 0, GL_LUMINANCE_ALPHA, GL_UNSIGNED_BYTE, pixels);
    w->textureSlots[slot] = name;
    return slot;
}

void OGW_BindTexture(OGW_TEXTURE_SLOT slot)
{
    OGW_WINDOW* w = OGW_GetCurrentWindow();
    if (UsedTextureSlot(w, slot))
        glBindTexture(GL_TEXTURE_2D, w->textureSlots[slot]);
}

void OGW_DeleteTexture(OGW_TEXTURE_SLOT slot)
{
    OGW_WINDOW* w = OGW_GetCurrentWindow();
    if (!UsedTextureSlot(w, slot))
        return;
    GLuint name = w->textureSlots[slot];
    glDeleteTextures(1, &name);
    w->textureSlots[slot] = OGW_FREE_SLOT;
}
