// The interface between the message layer and a display backend. The layer
// keeps every window record, queue and list box model; a backend only shows
// them and feeds input in as posted messages. The headless backend shows
// nothing; a desktop backend mirrors windows as widgets.
#pragma once
#include <cstdint>
#include "platform/wintypes.h"

struct PLAT_BACKEND {
    const char* name;
    void (*windowCreated)(HWND window, const char* className, const char* title, HWND parent,
                          const MENU_ENTRY* menu, uint32_t menuCount);
    void (*windowDestroyed)(HWND window);
    void (*windowShown)(HWND window, int showState);
    // The window's position or size changed in the model (PLAT_MoveWindow); may be null.
    void (*windowMoved)(HWND window);
    // A line was added to a list box (already in the model); replacesLast when
    // it takes the place of the last line just removed (a continued line).
    void (*listBoxAdded)(HWND listBox, const char* text, uint32_t replacesLast);
    // A message was posted to the GUI thread's queue.
    void (*wake)();
    // Called by the GUI thread's PLAT_GetMessage when its queue is empty:
    // handle native events for at most timeoutMs. Null: the layer just waits.
    void (*waitEvents)(uint32_t timeoutMs);
    // Called by the GUI thread while it is busy: turn the display's pending
    // input into posted messages without waiting. Null: nothing to take in.
    void (*pollInput)();
    int32_t (*messageBox)(HWND owner, const char* text, const char* caption, uint32_t type);
    // Shows a rendered frame in a window (any thread): bottom-up RGB rows,
    // stride bytes apart. Null: frames are not shown.
    void (*showFrame)(HWND window, const uint8_t* rgb, int32_t width, int32_t height, uint32_t stride);
    // The window's title changed (any thread); may be null.
    void (*titleChanged)(HWND window, const char* title);
    // A static control's picture changed (GUI thread): top-down RGB rows.
    void (*pictureChanged)(HWND control, const uint8_t* rgb, int32_t width, int32_t height);
};

const PLAT_BACKEND* PLAT_HeadlessBackend();
// The headless program's copy of its log: the code page 1250 text, converted
// to UTF-8, on standard output. 1 when written; 0 with errno when standard
// output failed (a closed pipe, a full disk).
uint32_t PLAT_EchoLog(const char* text);
// The FLTK backend on the display named by DISPLAY; null (and one line on
// standard error) when the display cannot be opened.
const PLAT_BACKEND* PLAT_DesktopBackend();
const PLAT_BACKEND* PLAT_GetBackend();
void PLAT_SetBackend(const PLAT_BACKEND* backend);
