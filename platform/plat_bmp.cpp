// A reader of uncompressed Windows bitmaps (BITMAPINFOHEADER and its larger
// successors, or the old BITMAPCOREHEADER).
#include "platform/plat_bmp.h"
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

constexpr uint32_t FILE_HEADER_SIZE = 14;
constexpr uint32_t CORE_HEADER_SIZE = 12;
constexpr uint32_t INFO_HEADER_SIZE = 40;
constexpr uint32_t BI_RGB = 0;
constexpr uint32_t BI_BITFIELDS = 3;
constexpr int32_t MAX_SIDE = 32768;

uint32_t U16(const uint8_t* p) { return p[0] | (p[1] << 8); }
uint32_t U32(const uint8_t* p) { return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<uint32_t>(p[3]) << 24); }

bool ReadFile(const char* name, std::vector<uint8_t>* data)
{
    FILE* f = fopen(name, "rb");
    if (!f)
        return false;
    uint8_t buffer[65536];
    size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, f)) > 0)
        data->insert(data->end(), buffer, buffer + n);
    bool ok = !ferror(f);
    fclose(f);
    return ok;
}

struct Layout {
    int32_t width, height;
    bool topDown;
    uint32_t bits;
    uint32_t compression;
    uint32_t paletteOffset, paletteEntries, paletteEntrySize;
    uint32_t pixelOffset;
};

bool ParseHeaders(const std::vector<uint8_t>& d, Layout* l)
{
    if (d.size() < FILE_HEADER_SIZE + CORE_HEADER_SIZE || d[0] != 'B' || d[1] != 'M')
        return false;
    l->pixelOffset = U32(&d[10]);
    uint32_t headerSize = U32(&d[14]);
    if (headerSize < CORE_HEADER_SIZE || FILE_HEADER_SIZE + static_cast<uint64_t>(headerSize) > d.size())
        return false;
    const uint8_t* h = &d[FILE_HEADER_SIZE];
    if (headerSize == CORE_HEADER_SIZE) {
        l->width = static_cast<int32_t>(U16(h + 4));
        l->height = static_cast<int32_t>(U16(h + 6));
        l->bits = U16(h + 10);
        l->compression = BI_RGB;
        l->paletteEntrySize = 3;
        l->paletteEntries = 0;
    } else {
        if (headerSize < INFO_HEADER_SIZE)
            return false;
        l->width = static_cast<int32_t>(U32(h + 4));
        l->height = static_cast<int32_t>(U32(h + 8));
        l->bits = U16(h + 14);
        l->compression = U32(h + 16);
        l->paletteEntries = U32(h + 32);
        l->paletteEntrySize = 4;
    }
    l->topDown = l->height < 0;
    if (l->topDown)
        l->height = -l->height;
    l->paletteOffset = FILE_HEADER_SIZE + headerSize;
    // BI_BITFIELDS masks follow a plain 40-byte header.
    if (l->compression == BI_BITFIELDS && headerSize == INFO_HEADER_SIZE)
        l->paletteOffset += 12;
    if (l->bits <= 8 && l->paletteEntries == 0)
        l->paletteEntries = 1u << l->bits;
    return l->width > 0 && l->height > 0 && l->width <= MAX_SIDE && l->height <= MAX_SIDE;
}

bool SupportedFormat(const Layout& l)
{
    if (l.bits == 24 || l.bits == 32)
        return l.compression == BI_RGB || (l.compression == BI_BITFIELDS && l.bits == 32);
    return (l.bits == 1 || l.bits == 4 || l.bits == 8) && l.compression == BI_RGB && l.paletteEntries <= 256;
}

// The palette index of pixel x in a row of 1, 4 or 8 bits per pixel.
uint32_t PaletteIndex(const uint8_t* row, int32_t x, uint32_t bits)
{
    uint32_t bit = static_cast<uint32_t>(x) * bits;
    uint32_t byte = row[bit / 8];
    uint32_t shift = 8 - bits - bit % 8;
    return (byte >> shift) & ((1u << bits) - 1);
}

void ConvertRow(const std::vector<uint8_t>& d, const Layout& l, const uint8_t* src, uint8_t* dst)
{
    for (int32_t x = 0; x < l.width; ++x, dst += 3) {
        if (l.bits >= 24) {
            const uint8_t* p = src + static_cast<size_t>(x) * (l.bits / 8);
            dst[0] = p[2], dst[1] = p[1], dst[2] = p[0];
            continue;
        }
        uint32_t index = PaletteIndex(src, x, l.bits);
        if (index >= l.paletteEntries) {
            dst[0] = dst[1] = dst[2] = 0;
            continue;
        }
        const uint8_t* p = &d[l.paletteOffset + index * l.paletteEntrySize];
        dst[0] = p[2], dst[1] = p[1], dst[2] = p[0];
    }
}

}

PLAT_IMAGE* PLAT_ReadBmp(const char* fileName)
{
    std::vector<uint8_t> d;
    if (!fileName || !ReadFile(fileName, &d))
        return nullptr;
    return PLAT_ReadBmpFromMemory(d.data(), static_cast<uint32_t>(d.size()));
}

PLAT_IMAGE* PLAT_ReadBmpFromMemory(const uint8_t* data, uint32_t size)
{
    if (!data)
        return nullptr;
    std::vector<uint8_t> d(data, data + size);
    Layout l{};
    if (!ParseHeaders(d, &l) || !SupportedFormat(l))
        return nullptr;
    uint64_t stride = (static_cast<uint64_t>(l.width) * l.bits + 31) / 32 * 4;
    uint64_t paletteEnd = l.paletteOffset + static_cast<uint64_t>(l.paletteEntries) * l.paletteEntrySize;
    if (l.bits <= 8 && paletteEnd > d.size())
        return nullptr;
    if (l.pixelOffset + stride * l.height > d.size())
        return nullptr;
    PLAT_IMAGE* image = static_cast<PLAT_IMAGE*>(calloc(1, sizeof(PLAT_IMAGE)));
    if (!image)
        return nullptr;
    image->width = l.width;
    image->height = l.height;
    image->rgb = static_cast<uint8_t*>(malloc(static_cast<size_t>(l.width) * l.height * 3));
    if (!image->rgb) {
        free(image);
        return nullptr;
    }
    for (int32_t row = 0; row < l.height; ++row) {
        // Output row 0 is the bottom of the picture.
        int32_t fileRow = l.topDown ? l.height - 1 - row : row;
        const uint8_t* src = &d[l.pixelOffset + stride * fileRow];
        ConvertRow(d, l, src, image->rgb + static_cast<size_t>(row) * l.width * 3);
    }
    return image;
}

void PLAT_FreeImage(PLAT_IMAGE* image)
{
    if (!image)
        return;
    free(image->rgb);
    free(image);
}
