// Glyph bitmaps through FreeType's monochrome renderer.
#include "platform/plat_font.h"
#include <ft2build.h>
#include FT_FREETYPE_H
#include <cstdlib>
#include <cstring>
#include <string>
#include <strings.h>
#include "platform/plat_text.h"

namespace {

const char* const FONT_DIR = "/usr/share/fonts/truetype/liberation/";
const char* const FALLBACK_DIR = "/usr/share/fonts/truetype/dejavu/";

const char* LiberationFile(const char* faceName, uint32_t style)
{
    bool serif = faceName && (strcasestr(faceName, "times") || strcasestr(faceName, "serif"));
    bool mono = faceName && (strcasestr(faceName, "courier") || strcasestr(faceName, "mono"));
    static const char* const sans[4] = {"LiberationSans-Regular.ttf", "LiberationSans-Bold.ttf",
                                        "LiberationSans-Italic.ttf", "LiberationSans-BoldItalic.ttf"};
    static const char* const serifs[4] = {"LiberationSerif-Regular.ttf", "LiberationSerif-Bold.ttf",
                                          "LiberationSerif-Italic.ttf", "LiberationSerif-BoldItalic.ttf"};
    static const char* const monos[4] = {"LiberationMono-Regular.ttf", "LiberationMono-Bold.ttf",
                                         "LiberationMono-Italic.ttf", "LiberationMono-BoldItalic.ttf"};
    const char* const* table = serif ? serifs : mono ? monos : sans;
    return table[style & (PLAT_FONT_BOLD | PLAT_FONT_ITALIC)];
}

const char* DejaVuFile(uint32_t style)
{
    static const char* const files[4] = {"DejaVuSans.ttf", "DejaVuSans-Bold.ttf", "DejaVuSans-Oblique.ttf",
                                         "DejaVuSans-BoldOblique.ttf"};
    return files[style & (PLAT_FONT_BOLD | PLAT_FONT_ITALIC)];
}

FT_Face OpenFace(FT_Library library, const char* faceName, uint32_t style)
{
    const char* const candidates[][2] = {{FONT_DIR, LiberationFile(faceName, style)},
                                         {FONT_DIR, LiberationFile(faceName, 0)},
                                         {FALLBACK_DIR, DejaVuFile(style)},
                                         {FALLBACK_DIR, DejaVuFile(0)}};
    for (const auto& candidate : candidates) {
        std::string file = candidate[0];
        file += candidate[1];
        FT_Face face;
        if (FT_New_Face(library, file.c_str(), 0, &face) == 0)
            return face;
    }
    return nullptr;
}

uint8_t* EmptyBits()
{
    return static_cast<uint8_t*>(calloc(1, 1));
}

// Copies FreeType's top-down rows (pitch bytes each) into tight bottom-up
// rows of a cell width x height, placing the glyph's rows at rowOffset from
// the cell's bottom.
void CopyRows(const FT_Bitmap& bitmap, uint8_t* bits, int32_t rowBytes, int32_t height, int32_t rowOffset)
{
    for (uint32_t r = 0; r < bitmap.rows; ++r) {
        const uint8_t* src = bitmap.buffer + static_cast<long>(r) * bitmap.pitch;
        int32_t dstRow = rowOffset + static_cast<int32_t>(bitmap.rows - 1 - r);
        if (dstRow < 0 || dstRow >= height)
            continue;
        memcpy(bits + dstRow * rowBytes, src, static_cast<size_t>((bitmap.width + 7) / 8));
    }
}

void SetBit(uint8_t* bits, int32_t rowBytes, int32_t x, int32_t row)
{
    bits[row * rowBytes + x / 8] |= static_cast<uint8_t>(0x80 >> (x % 8));
}

// A glyph without underline: the rendered bitmap as it is.
bool PlainGlyph(FT_GlyphSlot slot, PLAT_GLYPH* g)
{
    const FT_Bitmap& bitmap = slot->bitmap;
    g->width = static_cast<int32_t>(bitmap.width);
    g->height = static_cast<int32_t>(bitmap.rows);
    g->originX = static_cast<float>(-slot->bitmap_left);
    g->originY = static_cast<float>(g->height - slot->bitmap_top);
    g->advance = static_cast<float>(slot->advance.x >> 6);
    int32_t rowBytes = (g->width + 7) / 8;
    size_t size = static_cast<size_t>(rowBytes) * g->height;
    g->bits = static_cast<uint8_t*>(calloc(size ? size : 1, 1));
    if (!g->bits)
        return false;
    CopyRows(bitmap, g->bits, rowBytes, g->height, 0);
    return true;
}

// A glyph drawn in a cell from the left of the advance down to the underline,
// with the underline across the whole advance (as a Windows font cell has it).
bool UnderlinedGlyph(FT_Face face, FT_GlyphSlot slot, PLAT_GLYPH* g)
{
    const FT_Bitmap& bitmap = slot->bitmap;
    int32_t advance = static_cast<int32_t>(slot->advance.x >> 6);
    int32_t lineY = static_cast<int32_t>(FT_MulFix(face->underline_position, face->size->metrics.y_scale) >> 6);
    int32_t thickness = static_cast<int32_t>(FT_MulFix(face->underline_thickness, face->size->metrics.y_scale) >> 6);
    if (thickness < 1) thickness = 1;
    if (lineY > -1) lineY = -1;
    int32_t left = slot->bitmap_left < 0 ? slot->bitmap_left : 0;
    int32_t right = slot->bitmap_left + static_cast<int32_t>(bitmap.width);
    if (right < advance) right = advance;
    int32_t bottom = lineY - thickness + 1;                       // lowest row, baseline 0
    int32_t glyphBottom = slot->bitmap_top - static_cast<int32_t>(bitmap.rows);
    if (bitmap.rows && glyphBottom < bottom) bottom = glyphBottom;
    int32_t top = bitmap.rows ? slot->bitmap_top : 0;
    if (top < lineY + 1) top = lineY + 1;
    g->width = right - left;
    g->height = top - bottom;
    g->originX = static_cast<float>(-left);
    g->originY = static_cast<float>(-bottom);
    g->advance = static_cast<float>(advance);
    int32_t rowBytes = (g->width + 7) / 8;
    g->bits = static_cast<uint8_t*>(calloc(static_cast<size_t>(rowBytes) * g->height + 1, 1));
    if (!g->bits)
        return false;
    // Glyph columns shift by its left bearing inside the cell.
    for (uint32_t r = 0; r < bitmap.rows; ++r) {
        const uint8_t* src = bitmap.buffer + static_cast<long>(r) * bitmap.pitch;
        int32_t row = slot->bitmap_top - 1 - static_cast<int32_t>(r) - bottom;
        for (uint32_t c = 0; c < bitmap.width; ++c)
            if (src[c / 8] & (0x80 >> (c % 8)))
                SetBit(g->bits, rowBytes, static_cast<int32_t>(c) + slot->bitmap_left - left, row);
    }
    for (int32_t t = 0; t < thickness; ++t)
        for (int32_t x = 0; x < advance; ++x)
            SetBit(g->bits, rowBytes, x - left, lineY - t - bottom);
    return true;
}

// Renders the glyph of a code page 1250 byte into the face's slot. Control
// characters, undefined bytes and characters the face lacks have none.
bool LoadGlyph(FT_Face face, uint8_t byte)
{
    uint32_t unicode = PLAT_Cp1250ToUnicode(byte);
    return unicode >= 0x20 && FT_Get_Char_Index(face, unicode) != 0 &&
           FT_Load_Char(face, unicode, FT_LOAD_RENDER | FT_LOAD_TARGET_MONO) == 0 &&
           face->glyph->bitmap.pixel_mode == FT_PIXEL_MODE_MONO;
}

bool RenderGlyph(FT_Face face, uint32_t byte, uint32_t style, PLAT_GLYPH* g)
{
    memset(g, 0, sizeof *g);
    if (!LoadGlyph(face, static_cast<uint8_t>(byte))) {
        g->bits = EmptyBits();
        return g->bits != nullptr;
    }
    if (style & PLAT_FONT_UNDERLINE)
        return UnderlinedGlyph(face, face->glyph, g);
    return PlainGlyph(face->glyph, g);
}

// The face at a pixel height; null (and the library ended) when none loads.
FT_Face OpenSizedFace(FT_Library* library, const char* faceName, int32_t pixelHeight, uint32_t style)
{
    if (pixelHeight < 1 || FT_Init_FreeType(library) != 0)
        return nullptr;
    FT_Face face = OpenFace(*library, faceName, style);
    if (face && FT_Set_Pixel_Sizes(face, 0, static_cast<FT_UInt>(pixelHeight)) == 0)
        return face;
    if (face)
        FT_Done_Face(face);
    FT_Done_FreeType(*library);
    return nullptr;
}

}

PLAT_GLYPH_SET* PLAT_RenderGlyphs(const char* faceName, int32_t pixelHeight, uint32_t style)
{
    FT_Library library;
    FT_Face face = OpenSizedFace(&library, faceName, pixelHeight, style);
    if (!face)
        return nullptr;
    PLAT_GLYPH_SET* set = static_cast<PLAT_GLYPH_SET*>(calloc(1, sizeof(PLAT_GLYPH_SET)));
    bool ok = set != nullptr;
    for (uint32_t b = 0; ok && b < 256; ++b)
        ok = RenderGlyph(face, b, style, &set->glyphs[b]);
    FT_Done_Face(face);
    FT_Done_FreeType(library);
    if (!ok) {
        PLAT_FreeGlyphs(set);
        return nullptr;
    }
    return set;
}

void PLAT_FreeGlyphs(PLAT_GLYPH_SET* set)
{
    if (!set)
        return;
    for (PLAT_GLYPH& g : set->glyphs)
        free(g.bits);
    free(set);
}

int32_t PLAT_MeasureText(const char* faceName, int32_t pixelHeight, uint32_t style, const char* text)
{
    return PLAT_MeasureWidest(faceName, pixelHeight, style, &text, 1);
}

int32_t PLAT_MeasureWidest(const char* faceName, int32_t pixelHeight, uint32_t style, const char* const* texts,
                           uint32_t count)
{
    FT_Library library;
    FT_Face face = OpenSizedFace(&library, faceName, pixelHeight, style);
    if (!face)
        return -1;
    int32_t widest = 0;
    for (uint32_t i = 0; i < count; ++i) {
        int32_t width = 0;
        for (const char* c = texts[i] ? texts[i] : ""; *c; ++c)
            if (LoadGlyph(face, static_cast<uint8_t>(*c)))
                width += static_cast<int32_t>(face->glyph->advance.x >> 6);
        widest = width > widest ? width : widest;
    }
    FT_Done_Face(face);
    FT_Done_FreeType(library);
    return widest;
}
