// Bitmap fonts as glyph textures, and the texture table of a window.
#include <GL/gl.h>
#include <GL/glext.h>
#include <GL/glu.h>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include "foundation/memory.h"
#include "foundation/pool.h"
#include "foundation/util.h"
#include "platform/plat_bmp.h"
#include "platform/plat_font.h"
#include "platform/plat_gl.h"
#include "view/ogw.h"
#include "view/ogw_internal.h"

struct OGW_GLYPH {
    int16_t x, y, width, height;       // the bitmap's texels in the font's texture; width 0: none
    float originX, originY, advance;   // as glBitmap's xorig, yorig and xmove
};

struct OGW_FONT {
    float texelWidth, texelHeight;   // 1 / the texture's size
    OGW_GLYPH glyphs[256];
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

// Each glyph's bitmap lies in one alpha texture per font (255 where a bit is
// set, 0 elsewhere), packed in rows, one texel apart.
constexpr int32_t ATLAS_WIDTH = 512;
constexpr int32_t ATLAS_GAP = 1;

// Places the glyphs in rows of the atlas; its height. The atlas widens for a
// glyph wider than it.
int32_t PackGlyphs(const PLAT_GLYPH_SET* set, OGW_FONT* font, int32_t* width)
{
    *width = ATLAS_WIDTH;
    for (const PLAT_GLYPH& g : set->glyphs)
        while (g.width + ATLAS_GAP > *width) *width *= 2;
    int32_t x = 0, y = 0, rowHeight = 0;
    for (uint32_t i = 0; i < 256; ++i) {
        const PLAT_GLYPH& g = set->glyphs[i];
        OGW_GLYPH& cell = font->glyphs[i];
        cell = OGW_GLYPH{0, 0, 0, 0, g.originX, g.originY, g.advance};
        if (g.width < 1 || g.height < 1)
            continue;
        if (x + g.width + ATLAS_GAP > *width)
            x = 0, y += rowHeight + ATLAS_GAP, rowHeight = 0;
        cell.x = static_cast<int16_t>(x), cell.y = static_cast<int16_t>(y);
        cell.width = static_cast<int16_t>(g.width), cell.height = static_cast<int16_t>(g.height);
        x += g.width + ATLAS_GAP;
        if (g.height > rowHeight) rowHeight = g.height;
    }
    return y + rowHeight > 0 ? y + rowHeight : 1;
}

// The glyphs' bits as alpha texels, rows bottom-up as the bitmaps have them.
void FillAtlas(const PLAT_GLYPH_SET* set, const OGW_FONT* font, uint8_t* texels, int32_t width)
{
    for (uint32_t i = 0; i < 256; ++i) {
        const PLAT_GLYPH& g = set->glyphs[i];
        const OGW_GLYPH& cell = font->glyphs[i];
        int32_t rowBytes = (cell.width + 7) / 8;
        for (int32_t row = 0; row < cell.height; ++row)
            for (int32_t col = 0; col < cell.width; ++col)
                if (g.bits[row * rowBytes + col / 8] & (0x80 >> (col % 8)))
                    texels[static_cast<long>(cell.y + row) * width + cell.x + col] = 255;
    }
}

// The font's texture on the current context (the caller's binding kept), and
// the texel size in the font record; 0 when it cannot be made.
GLuint MakeGlyphTexture(const PLAT_GLYPH_SET* set, OGW_FONT* font)
{
    int32_t width = 0;
    int32_t height = PackGlyphs(set, font, &width);
    uint8_t* texels = static_cast<uint8_t*>(calloc(static_cast<size_t>(width) * height, 1));
    if (!texels)
        return 0;
    FillAtlas(set, font, texels, width);
    GLint bound = 0;
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
    GLuint name = 0;
    glGenTextures(1, &name);
    glBindTexture(GL_TEXTURE_2D, name);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_ALPHA8, width, height, 0, GL_ALPHA, GL_UNSIGNED_BYTE, texels);
    GLint made = 0;
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &made);
    glBindTexture(GL_TEXTURE_2D, static_cast<GLuint>(bound));
    free(texels);
    if (made != width) {
        glDeleteTextures(1, &name);
        return 0;
    }
    font->texelWidth = 1.0f / static_cast<float>(width);
    font->texelHeight = 1.0f / static_cast<float>(height);
    return name;
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

// The glyphs of a text are textured quads drawn by a small program of the
// window's context: it takes clip coordinates, keeps the fragments whose
// texel is a set bit and paints them in one colour. Text is drawn as glBitmap
// draws it: in the raster position's colour and at its depth, each glyph's
// lower-left corner at floor(x + 0.0001 - xorig), floor(y + 0.0001 - yorig)
// in window pixels, the fragments going through the caller's depth test,
// blending and masks. Other matrices or viewports would cost llvmpipe far
// more than the glyphs. The texture goes to unit 0, the only one the view
// uses.
const char* const TEXT_VERTEX_SHADER = "#version 110\n"
                                       "void main()\n"
                                       "{\n"
                                       "    gl_Position = gl_Vertex;\n"
                                       "    gl_FrontColor = gl_Color;\n"
                                       "    gl_TexCoord[0] = gl_MultiTexCoord0;\n"
                                       "}\n";
const char* const TEXT_FRAGMENT_SHADER = "#version 110\n"
                                         "uniform sampler2D glyphs;\n"
                                         "void main()\n"
                                         "{\n"
                                         "    if (texture2D(glyphs, gl_TexCoord[0].st).a < 0.5)\n"
                                         "        discard;\n"
                                         "    gl_FragColor = gl_Color;\n"
                                         "}\n";

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

// What the caller had that the glyphs change: the program in use, the
// texture bound and face culling.
struct TEXT_SAVED {
    GLint program, texture;
    GLboolean culling;
};

void BeginGlyphs(const OGW_WINDOW* w, GLuint texture, TEXT_SAVED* saved)
{
    glGetIntegerv(GL_CURRENT_PROGRAM, &saved->program);
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &saved->texture);
    saved->culling = glIsEnabled(GL_CULL_FACE);
    if (saved->culling)
        glDisable(GL_CULL_FACE);
    Shaders().useProgram(w->textProgram);
    glBindTexture(GL_TEXTURE_2D, texture);
}

void EndGlyphs(const TEXT_SAVED& saved)
{
    Shaders().useProgram(static_cast<GLuint>(saved.program));
    glBindTexture(GL_TEXTURE_2D, static_cast<GLuint>(saved.texture));
    if (saved.culling)
        glEnable(GL_CULL_FACE);
}

// A glyph corner as GL_T2F_C4F_N3F_V3F has it: texture coordinates, colour,
// a normal the text program does not read, clip coordinates.
struct TEXT_VERTEX {
    float s, t, r, g, b, a, nx, ny, nz, x, y, z;
};

// The quads of the glyphs with bits, from the raster position on; their
// vertex count, and the advance of the whole text.
GLsizei GlyphQuads(const OGW_FONT* font, const char* text, const TEXT_PLACE& at, TEXT_VERTEX* v, float* advance)
{
    const float epsilon = 0.0001f;
    float x = at.x;
    GLsizei n = 0;
    for (const char* ch = text; *ch; ++ch) {
        const OGW_GLYPH& g = font->glyphs[static_cast<uint8_t>(*ch)];
        if (g.width > 0) {
            float x0 = std::floor(x + epsilon - g.originX), y0 = std::floor(at.y + epsilon - g.originY);
            float x1 = x0 + g.width, y1 = y0 + g.height;
            x0 = (x0 - at.left) * at.sx - 1.0f, x1 = (x1 - at.left) * at.sx - 1.0f;
            y0 = (y0 - at.bottom) * at.sy - 1.0f, y1 = (y1 - at.bottom) * at.sy - 1.0f;
            float s0 = g.x * font->texelWidth, t0 = g.y * font->texelHeight;
            float s1 = (g.x + g.width) * font->texelWidth, t1 = (g.y + g.height) * font->texelHeight;
            const float* c = at.colour;
            v[n++] = TEXT_VERTEX{s0, t0, c[0], c[1], c[2], c[3], 0.0f, 0.0f, 1.0f, x0, y0, at.z};
            v[n++] = TEXT_VERTEX{s1, t0, c[0], c[1], c[2], c[3], 0.0f, 0.0f, 1.0f, x1, y0, at.z};
            v[n++] = TEXT_VERTEX{s1, t1, c[0], c[1], c[2], c[3], 0.0f, 0.0f, 1.0f, x1, y1, at.z};
            v[n++] = TEXT_VERTEX{s0, t1, c[0], c[1], c[2], c[3], 0.0f, 0.0f, 1.0f, x0, y1, at.z};
        }
        x += g.advance;
    }
    *advance = x - at.x;
    return n;
}

// One draw of the text's quads from vertex arrays, colour included: setting
// the current colour or immediate-mode vertices would change how Mesa lays
// out and splits the caller's next immediate-mode primitives, and with that
// the phase of stippled lines.
float DrawGlyphs(const OGW_FONT* font, const char* text, const TEXT_PLACE& at)
{
    TEXT_VERTEX vertices[OGW_TEXT_MAX * 4];
    float advance = 0.0f;
    GLsizei count = GlyphQuads(font, text, at, vertices, &advance);
    if (count > 0) {
        glPushClientAttrib(GL_CLIENT_VERTEX_ARRAY_BIT);
        glInterleavedArrays(GL_T2F_C4F_N3F_V3F, 0, vertices);
        glDrawArrays(GL_QUADS, 0, count);
        glPopClientAttrib();
    }
    return advance;
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

namespace {

// The glyph texture of a reserved font slot, on the current context; the
// glyph set is freed.
uint32_t MakeFontTexture(OGW_WINDOW* w, OGW_PENDING* work)
{
    PLAT_GLYPH_SET* set = static_cast<PLAT_GLYPH_SET*>(work->data);
    GLuint texture = MakeTextProgram(w) ? MakeGlyphTexture(set, w->fonts[work->slot]) : 0;
    PLAT_FreeGlyphs(set);
    w->fontSlots[work->slot] = texture;
    return texture != 0;
}

void DropGlyphs(OGW_PENDING* work) { PLAT_FreeGlyphs(static_cast<PLAT_GLYPH_SET*>(work->data)); }

// A new texture, bound, with linear filtering and byte-aligned rows to upload.
GLuint NewBoundTexture()
{
    GLuint name = 0;
    glGenTextures(1, &name);
    glBindTexture(GL_TEXTURE_2D, name);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    return name;
}

// The texture of a reserved texture slot, on the current context; the image is freed.
uint32_t MakeTexture(OGW_WINDOW* w, OGW_PENDING* work)
{
    PLAT_IMAGE* image = static_cast<PLAT_IMAGE*>(work->data);
    GLuint name = NewBoundTexture();
    glTexImage2D(GL_TEXTURE_2D, 0, 4, image->width, image->height, 0, GL_RGB, GL_UNSIGNED_BYTE, image->rgb);
    gluBuild2DMipmaps(GL_TEXTURE_2D, 3, image->width, image->height, GL_RGB, GL_UNSIGNED_BYTE, image->rgb);
    PLAT_FreeImage(image);
    w->textureSlots[work->slot] = name;
    return 1;
}

void DropImage(OGW_PENDING* work) { PLAT_FreeImage(static_cast<PLAT_IMAGE*>(work->data)); }

// Makes the work on the window's context now, or, while the calling thread
// loads into the window, before the context's next use. The slot stays
// reserved (0) until then; 0 when the work failed or could not wait.
uint32_t MakeOrDefer(OGW_WINDOW* w, OGW_PENDING work)
{
    if (OGW_IsLoading(w) && OGW_AddPending(w, work))
        return 1;
    if (OGW_IsLoading(w)) {
        work.drop(&work);
        return 0;
    }
    // The caller's current window is restored afterwards, so fonts can be
    // made while it loads textures into the same window.
    OGW_WINDOW* previous = OGW_GetCurrentWindow();
    OGW_MakeCurrent(w);
    uint32_t made = 0;
    if (OGW_GetCurrentWindow() == w)
        made = work.run(w, &work);
    else
        work.drop(&work);
    OGW_MakeCurrent(previous);
    return made;
}

}

OGW_FONT_SLOT OGW_CreateFont(OGW_WINDOW* w, const char* faceName, int32_t points, uint32_t style)
{
    // A window never opened has no context to make the font on.
    if (!w || (!OGW_IsLoading(w) && !w->renderThread && !w->renderingContext))
        return -1;
    int32_t slot = FirstFree(w->fontSlots, OGW_FONT_SLOTS);
    if (slot < 0)
        return -1;
    MEMORY_SetTag("OGW:font");
    OGW_FONT* font = static_cast<OGW_FONT*>(POOL_Alloc(sizeof(OGW_FONT) + 1));
    PLAT_GLYPH_SET* set = font ? PLAT_RenderGlyphs(faceName, points < 0 ? -points : points, style) : nullptr;
    if (!set) {
        if (font)
            POOL_Free(font);
        return -1;
    }
    w->fonts[slot] = font;
    w->fontSlots[slot] = 0;
    if (MakeOrDefer(w, OGW_PENDING{MakeFontTexture, DropGlyphs, slot, set, nullptr, nullptr}))
        return slot;
    FreeFont(w, static_cast<uint32_t>(slot));
    return -1;
}

void OGW_DeleteFont(OGW_WINDOW* w, OGW_FONT_SLOT slot)
{
    if (!UsedFont(w, slot))
        return;
    GLuint texture = w->fontSlots[slot];
    glDeleteTextures(1, &texture);
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
    BeginGlyphs(w, w->fontSlots[slot], &saved);
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
    OGW_PENDING work{MakeTexture, DropImage, slot, image, nullptr, nullptr};
    if (!OGW_IsLoading(w)) {
        MakeTexture(w, &work);
        return slot;
    }
    w->textureSlots[slot] = 0;
    if (OGW_AddPending(w, work))
        return slot;
    PLAT_FreeImage(image);
    w->textureSlots[slot] = OGW_FREE_SLOT;
    return -1;
}

OGW_TEXTURE_SLOT OGW_CreateTextureFromPixels(int32_t width, int32_t height, const uint8_t* pixels)
{
    OGW_WINDOW* w = OGW_GetCurrentWindow();
    if (!w || !pixels || width < 1 || height < 1)
        return -1;
    int32_t slot = FirstFree(w->textureSlots, OGW_TEXTURE_SLOTS);
    if (slot < 0)
        return -1;
    GLuint name = NewBoundTexture();
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
