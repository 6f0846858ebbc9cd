// PLAT dialogs: modal dialogs made from a template of controls, with a
// nested message loop that keeps dispatching (so ticks go on) but
// translates no accelerators; pictures shown in static controls.
#pragma once
#include <cstdint>
#include "platform/plat_bmp.h"
#include "platform/wintypes.h"

struct PLAT_DIALOG_ITEM {
    const char* className;   // "static" or "button"
    const char* text;
    uint16_t id;
    int32_t x, y, width, height;   // pixels in the dialog's client area
    uint32_t style;
};

struct PLAT_DIALOG {
    const char* caption;
    int32_t width, height;   // client size in pixels
    const PLAT_DIALOG_ITEM* items;
    uint32_t itemCount;
};

// Shows the dialog over its owner and runs its loop until PLAT_EndDialog;
// the procedure gets WM_INITDIALOG once the controls exist. Escape ends it
// with IDCANCEL and Enter with IDOK, unless the procedure takes those
// commands itself. F10 and the quit message end it and go on to the outer
// loop. Returns the value given to PLAT_EndDialog, -1 when it cannot be made.
int32_t PLAT_DialogBox(HWND owner, const PLAT_DIALOG* dialog, WNDPROC proc);
uint32_t PLAT_EndDialog(HWND dialog, int32_t result);
HWND PLAT_GetDlgItem(HWND dialog, uint16_t id);

// Copies a part of an image, stretched (nearest pixel), onto a picture of a
// static control (the control's client size, black at first). 0 for an
// unknown window.
uint32_t PLAT_StretchImage(HWND control, const PLAT_IMAGE* image, int32_t sx, int32_t sy, int32_t sw, int32_t sh,
                           int32_t dx, int32_t dy, int32_t dw, int32_t dh);
// The control's picture as top-down RGB rows of width x 3 bytes; null if none.
const uint8_t* PLAT_GetControlPicture(HWND control, int32_t* width, int32_t* height);
