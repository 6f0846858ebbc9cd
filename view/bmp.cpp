// Bitmap objects over the platform's BMP reader and control pictures.
#include "view/bmp.h"
#include <cstring>
#include "foundation/memory.h"
#include "foundation/pool.h"
#include "platform/plat_bmp.h"
#include "platform/plat_dialog.h"

extern const uint8_t ORBIT_MOVINGBITMAP_BMP[];
extern const uint32_t ORBIT_MOVINGBITMAP_BMP_SIZE;

namespace {

constexpr uint16_t BMP_DEFAULT_WIDTH = 100;
constexpr uint16_t BMP_DEFAULT_HEIGHT = 50;
constexpr uint16_t BMP_FAILED_SIZE = 10;

struct Resource {
    const char* name;
    const uint8_t* data;
    const uint32_t* size;
};

const Resource RESOURCES[] = {
    {"MOVINGBITMAP", ORBIT_MOVINGBITMAP_BMP, &ORBIT_MOVINGBITMAP_BMP_SIZE},
};

// Takes the image, or notes the failure as a 10 x 10 object without one.
void Adopt(BMP_OBJECT* object, PLAT_IMAGE* image)
{
    PLAT_FreeImage(object->bitmap);
    object->bitmap = image;
    object->width = image ? static_cast<uint16_t>(image->width) : BMP_FAILED_SIZE;
    object->height = image ? static_cast<uint16_t>(image->height) : BMP_FAILED_SIZE;
}

}

void BMP_Init() {}
void BMP_Done() {}

BMP_OBJECT* BMP_Create()
{
    MEMORY_SetTag("BMP-OBJECT");
    BMP_OBJECT* object = static_cast<BMP_OBJECT*>(POOL_Alloc(sizeof(BMP_OBJECT) + 1));
    if (!object)
        return nullptr;
    object->width = BMP_DEFAULT_WIDTH;
    object->height = BMP_DEFAULT_HEIGHT;
    object->bitmap = nullptr;
    return object;
}

void BMP_LoadResource(BMP_OBJECT* object, const char* resourceName)
{
    if (!object)
        return;
    PLAT_IMAGE* image = nullptr;
    for (const Resource& r : RESOURCES)
        if (resourceName && strcmp(r.name, resourceName) == 0)
            image = PLAT_ReadBmpFromMemory(r.data, *r.size);
    Adopt(object, image);
}

void BMP_LoadFromFile(BMP_OBJECT* object, const char* fileName)
{
    if (object)
        Adopt(object, PLAT_ReadBmp(fileName));
}

void BMP_LoadFromFileTransparent(BMP_OBJECT* object, const char* fileName)
{
    if (!object)
        return;
    PLAT_IMAGE* image = PLAT_ReadBmp(fileName);
    if (image) {
        // The top-left pixel is the last row's first in the bottom-up rows.
        size_t pixels = static_cast<size_t>(image->width) * image->height;
        uint8_t key[3];
        memcpy(key, image->rgb + (pixels - image->width) * 3, 3);
        for (size_t i = 0; i < pixels; ++i)
            if (memcmp(image->rgb + i * 3, key, 3) == 0)
                memset(image->rgb + i * 3, 255, 3);
    }
    Adopt(object, image);
}

void BMP_Draw(BMP_OBJECT* object, HWND target, int32_t x, int32_t y)
{
    if (object)
        BMP_DrawStretched(object, target, 0, 0, object->width, object->height, x, y, object->width, object->height);
}

void BMP_DrawPart(BMP_OBJECT* object, HWND target, int32_t sx, int32_t sy, int32_t dx, int32_t dy, int32_t width,
                  int32_t height)
{
    BMP_DrawStretched(object, target, sx, sy, width, height, dx, dy, width, height);
}

void BMP_DrawStretched(BMP_OBJECT* object, HWND target, int32_t sx, int32_t sy, int32_t sw, int32_t sh, int32_t dx,
                       int32_t dy, int32_t dw, int32_t dh)
{
    if (object && object->bitmap)
        PLAT_StretchImage(target, object->bitmap, sx, sy, sw, sh, dx, dy, dw, dh);
}

void BMP_Destroy(BMP_OBJECT* object)
{
    if (!object)
        return;
    PLAT_FreeImage(object->bitmap);
    POOL_Free(object);
}
