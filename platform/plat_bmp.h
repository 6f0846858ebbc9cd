// PLAT BMP: reading Windows bitmap files into RGB rows.
#pragma once
#include <cstdint>

// An image of width x height pixels as red-green-blue bytes, rows bottom-up
// (the first row is the bottom of the picture, as OpenGL textures take it),
// each row width x 3 bytes with no padding.
struct PLAT_IMAGE {
    int32_t width;
    int32_t height;
    uint8_t* rgb;
};

// Reads an uncompressed BMP of 24 or 32 bits per pixel, or 1, 4 or 8 bits
// with a palette, stored bottom-up or top-down. Null when the file cannot be
// read or is not such a bitmap (sizes and offsets are checked against the
// file's length).
PLAT_IMAGE* PLAT_ReadBmp(const char* fileName);
// The same from the bytes of a bitmap file in memory.
PLAT_IMAGE* PLAT_ReadBmpFromMemory(const uint8_t* data, uint32_t size);
void PLAT_FreeImage(PLAT_IMAGE* image);
