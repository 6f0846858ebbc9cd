// Bitmap fonts as display lists and the texture table of a window.
#include <GL/gl.h>
#include <GL/glu.h>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include "foundation/util.h"
#include "platform/plat_bmp.h"
#include "platform/plat_font.h"
#include "view/ogw.h"

namespace {

constexpr uint32_t OGW_PATH_SIZE = 4096;

int32_t FirstFree(const uint32_t* slots, uint32_t count)
{
    for (uint32_t i = 0; i < count; ++i)
        if (slots[i] == OGW_FREE_SLOT)
            return static_cast<int32_t>(i);
    return -1;
}

GLuint MakeGlyphLists(const PLAT_GLYPH_SET* set)
{
    GLuint base = glGenLists(256);
    if (!base)
        return 0;
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    for (uint32_t i = 0; i < 256; ++i) {
        const PLAT_GLYPH& g = set->glyphs[i];
        glNewList(base + i, GL_COMPILE);
        glBitmap(g.width, g.height, g.originX, g.originY, g.advance, 0.0f, g.bits);
        glEndList();
    }
    return base;
}

// A slot of the current window whose texture exists; -1 otherwise.
bool UsedTextureSlot(OGW_WINDOW* w, OGW_TEXTURE_SLOT slot)
{
    return w && slot >= 0 && static_cast<uint32_t>(slot) < OGW_TEXTURE_SLOTS &&
           w->textureSlots[slot] != OGW_FREE_SLOT;
}

}

OGW_FONT_SLOT OGW_CreateFont(OGW_WINDOW* w, const char* faceName, int32_t points, uint32_t style)
{
    if (!w || !w->renderingContext)
        return -1;
    int32_t slot = FirstFree(w->fontSlots, OGW_FONT_SLOTS);
    if (slot < 0)
        return -1;
    PLAT_GLYPH_SET* set = PLAT_RenderGlyphs(faceName, points < 0 ? -points : points, style);
    if (!set)
        return -1;
    // The caller's current window is restored afterwards, so fonts can be
    // made while it loads textures into the same window.
    OGW_WINDOW* previous = OGW_GetCurrentWindow();
    OGW_MakeCurrent(w);
    GLuint base = OGW_GetCurrentWindow() == w ? MakeGlyphLists(set) : 0;
    OGW_MakeCurrent(previous);
    PLAT_FreeGlyphs(set);
    if (!base)
        return -1;
    w->fontSlots[slot] = base;
    return slot;
}

void OGW_DeleteFont(OGW_WINDOW* w, OGW_FONT_SLOT slot)
{
    if (!w || slot < 0 || static_cast<uint32_t>(slot) >= OGW_FONT_SLOTS || w->fontSlots[slot] == OGW_FREE_SLOT)
        return;
    glDeleteLists(w->fontSlots[slot], 256);
    w->fontSlots[slot] = OGW_FREE_SLOT;
}

void OGW_PrintText(OGW_FONT_SLOT slot, const char* format, ...)
{
    OGW_WINDOW* w = OGW_GetCurrentWindow();
    if (!w || slot < 0 || static_cast<uint32_t>(slot) >= OGW_FONT_SLOTS || w->fontSlots[slot] == OGW_FREE_SLOT)
        return;
    char text[OGW_TEXT_MAX + 1];
    va_list args;
    va_start(args, format);
    int n = vsnprintf(text, sizeof text, format, args);
    va_end(args);
    if (n <= 0)
        return;
    glPushAttrib(GL_LIST_BIT);
    glListBase(w->fontSlots[slot]);
    glCallLists(static_cast<GLsizei>(strlen(text)), GL_UNSIGNED_BYTE, text);
    glPopAttrib();
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
