// PLAT font: monochrome glyph bitmaps of the 256 code page 1250 bytes, made
// with FreeType from the installed TrueType faces, laid out as glBitmap
// takes them.
#pragma once
#include <cstdint>

constexpr uint32_t PLAT_FONT_BOLD = 1;
constexpr uint32_t PLAT_FONT_ITALIC = 2;
constexpr uint32_t PLAT_FONT_UNDERLINE = 4;

// One glyph: rows bottom-up, each (width + 7) / 8 bytes, most significant bit
// leftmost, as glBitmap with an unpack alignment of 1 takes them. An empty
// glyph has width 0 and still one byte of bits.
struct PLAT_GLYPH {
    int32_t width, height;
    float originX, originY;   // glBitmap's xorig, yorig
    float advance;            // glBitmap's xmove
    uint8_t* bits;
};

struct PLAT_GLYPH_SET {
    PLAT_GLYPH glyphs[256];
};

// Renders the face for "Arial" and other face names (Liberation Sans; DejaVu
// Sans when it is missing) at a pixel height with the style bits. Underline is
// drawn into every glyph's cell. Null when no face can be loaded.
PLAT_GLYPH_SET* PLAT_RenderGlyphs(const char* faceName, int32_t pixelHeight, uint32_t style);
void PLAT_FreeGlyphs(PLAT_GLYPH_SET* set);
// The width in pixels of a code page 1250 text in the face: the sum of the
// advances its glyphs have in PLAT_RenderGlyphs. -1 when no face can be loaded.
int32_t PLAT_MeasureText(const char* faceName, int32_t pixelHeight, uint32_t style, const char* text);
// The widest of count texts, measured as above with one loading of the face.
int32_t PLAT_MeasureWidest(const char* faceName, int32_t pixelHeight, uint32_t style, const char* const* texts,
                           uint32_t count);

// The default GUI font of dialog controls (8 points): its face and its
// height in pixels.
constexpr const char* PLAT_GUI_FONT_FACE = "Arial";
constexpr int32_t PLAT_GUI_FONT_HEIGHT = 11;
