// BMP: bitmap objects that load a picture from the program's resources or a
// file and copy it, or a part of it, onto a static control's picture (the
// "device context" of the calls is the control's window).
#pragma once
#include <cstdint>
#include "platform/wintypes.h"

struct PLAT_IMAGE;

struct BMP_OBJECT {
    uint16_t width;
    uint16_t height;
    PLAT_IMAGE* bitmap;   // null: nothing to draw
};

void BMP_Init();
void BMP_Done();
BMP_OBJECT* BMP_Create();
void BMP_LoadResource(BMP_OBJECT* object, const char* resourceName);
void BMP_LoadFromFile(BMP_OBJECT* object, const char* fileName);
// As BMP_LoadFromFile; pixels of the top-left pixel's colour become the
// window colour (white).
void BMP_LoadFromFileTransparent(BMP_OBJECT* object, const char* fileName);
void BMP_Draw(BMP_OBJECT* object, HWND target, int32_t x, int32_t y);
void BMP_DrawPart(BMP_OBJECT* object, HWND target, int32_t sx, int32_t sy, int32_t dx, int32_t dy, int32_t width,
                  int32_t height);
void BMP_DrawStretched(BMP_OBJECT* object, HWND target, int32_t sx, int32_t sy, int32_t sw, int32_t sh, int32_t dx,
                       int32_t dy, int32_t dw, int32_t dh);
void BMP_Destroy(BMP_OBJECT* object);
