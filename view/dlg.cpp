// Child controls with the standard GUI font.
#include "view/dlg.h"
#include "platform/plat_window.h"

namespace {

constexpr WPARAM DEFAULT_GUI_FONT = 17;

HWND Create(const char* className, uint32_t style, HWND parent, const char* text, uint16_t id, int32_t x, int32_t y,
            int32_t width, int32_t height)
{
    HWND control = PLAT_CreateWindow(className, text, WS_CHILD | WS_VISIBLE | style, x, y, width, height, parent, id,
                                     nullptr);
    if (control)
        PLAT_SendMessage(control, WM_SETFONT, DEFAULT_GUI_FONT, 1);
    return control;
}

}

HWND DLG_CreateGroupBox(HWND parent, const char* text, int32_t x, int32_t y, int32_t width, int32_t height)
{
    return Create(PLAT_BUTTON_CLASS, BS_GROUPBOX, parent, text, 0, x, y, width, height);
}

HWND DLG_CreateLabel(HWND parent, const char* text, int32_t x, int32_t y, int32_t width, int32_t height)
{
    return Create(PLAT_STATIC_CLASS, SS_LEFT, parent, text, 0, x, y, width, height);
}

HWND DLG_CreateRightLabel(HWND parent, const char* text, int32_t x, int32_t y, int32_t width, int32_t height)
{
    return Create(PLAT_STATIC_CLASS, SS_RIGHT, parent, text, 0, x, y, width, height);
}

HWND DLG_CreateValueField(HWND parent, const char* text, uint16_t controlId, int32_t x, int32_t y, int32_t width,
                          int32_t height)
{
    return Create(PLAT_STATIC_CLASS, SS_RIGHT, parent, text, controlId, x, y, width, height);
}
