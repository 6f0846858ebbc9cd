// DLG: the child controls of the information windows, in the standard GUI font.
#pragma once
#include <cstdint>
#include "platform/wintypes.h"

HWND DLG_CreateGroupBox(HWND parent, const char* text, int32_t x, int32_t y, int32_t width, int32_t height);
HWND DLG_CreateLabel(HWND parent, const char* text, int32_t x, int32_t y, int32_t width, int32_t height);
HWND DLG_CreateRightLabel(HWND parent, const char* text, int32_t x, int32_t y, int32_t width, int32_t height);
// A right-aligned text that the window updates by its control id.
HWND DLG_CreateValueField(HWND parent, const char* text, uint16_t controlId, int32_t x, int32_t y, int32_t width,
                          int32_t height);
