// Modal dialogs and control pictures.
#include "platform/plat_dialog.h"
#include <cstring>
#include <map>
#include <mutex>
#include <vector>
#include "platform/plat_backend.h"
#include "platform/plat_window.h"

namespace {

constexpr const char* DIALOG_CLASS = "#32770";

struct DialogState {
    WNDPROC proc;
    bool ended;
    int32_t result;
};

struct Picture {
    int32_t width, height;
    std::vector<uint8_t> rgb;
};

std::map<HWND, DialogState> g_dialogs;   // GUI thread only
std::mutex g_pictureMutex;
std::map<HWND, Picture> g_pictures;

LRESULT DialogWindowProc(HWND window, uint32_t message, WPARAM wParam, LPARAM lParam)
{
    auto it = g_dialogs.find(window);
    WNDPROC proc = it == g_dialogs.end() ? nullptr : it->second.proc;
    LRESULT handled = proc ? proc(window, message, wParam, lParam) : 0;
    if (handled)
        return handled;
    if (message == WM_CLOSE || (message == WM_COMMAND && (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL))) {
        PLAT_EndDialog(window, message == WM_CLOSE ? IDCANCEL : LOWORD(wParam));
        return 0;
    }
    return message == WM_CLOSE ? 0 : PLAT_DefWindowProc(window, message, wParam, lParam);
}

bool InDialog(HWND dialog, HWND window)
{
    return window && (window == dialog || PLAT_GetParent(window) == dialog);
}

// Keys a dialog handles itself; true when the message was used up.
bool DialogKey(HWND dialog, const MSG& msg)
{
    if (msg.message != WM_KEYDOWN || !InDialog(dialog, msg.hwnd))
        return false;
    if (msg.wParam == VK_ESCAPE || msg.wParam == VK_RETURN) {
        PLAT_SendMessage(dialog, WM_COMMAND, MAKEWPARAM(msg.wParam == VK_ESCAPE ? IDCANCEL : IDOK, 0), 0);
        return true;
    }
    return false;
}

HWND CreateDialogWindow(HWND owner, const PLAT_DIALOG* d)
{
    PLAT_WNDCLASS cls{DIALOG_CLASS, DialogWindowProc, nullptr, 0};
    PLAT_RegisterClass(&cls);   // already registered after the first dialog
    PLAT_RECT ownerRect{0, 0, 0, 0};
    PLAT_GetWindowRect(owner, &ownerRect);
    int32_t x = ownerRect.left + 40, y = ownerRect.top + 40;
    return PLAT_CreateWindow(DIALOG_CLASS, d->caption, WS_POPUP | WS_CAPTION | WS_SYSMENU, x, y, d->width, d->height,
                             0, 0, nullptr);
}

}

int32_t PLAT_DialogBox(HWND owner, const PLAT_DIALOG* d, WNDPROC proc)
{
    if (!d || !proc)
        return -1;
    HWND dialog = CreateDialogWindow(owner, d);
    if (!dialog)
        return -1;
    g_dialogs[dialog] = DialogState{proc, false, 0};
    for (uint32_t i = 0; i < d->itemCount; ++i) {
        const PLAT_DIALOG_ITEM& it = d->items[i];
        PLAT_CreateWindow(it.className, it.text, WS_CHILD | WS_VISIBLE | it.style, it.x, it.y, it.width, it.height,
                          dialog, it.id, nullptr);
    }
    PLAT_SendMessage(dialog, WM_INITDIALOG, 0, 0);
    PLAT_ShowWindow(dialog, SW_SHOW);
    MSG msg;
    while (!g_dialogs[dialog].ended) {
        if (!PLAT_GetMessage(&msg)) {
            PLAT_PostQuitMessage(static_cast<int32_t>(msg.wParam));
            break;
        }
        if (msg.message == WM_SYSKEYDOWN && msg.wParam == VK_F10) {
            // The end of everything: the outer loop must see it too.
            PLAT_PostThreadMessage(PLAT_GetCurrentThreadQueue(), msg.message, msg.wParam, msg.lParam);
            break;
        }
        if (DialogKey(dialog, msg))
            continue;
        PLAT_TranslateMessage(&msg);
        PLAT_DispatchMessage(&msg);
    }
    int32_t result = g_dialogs[dialog].ended ? g_dialogs[dialog].result : IDCANCEL;
    PLAT_DestroyWindow(dialog);
    g_dialogs.erase(dialog);
    return result;
}

uint32_t PLAT_EndDialog(HWND dialog, int32_t result)
{
    auto it = g_dialogs.find(dialog);
    if (it == g_dialogs.end())
        return 0;
    it->second.ended = true;
    it->second.result = result;
    return 1;
}

HWND PLAT_GetDlgItem(HWND dialog, uint16_t id)
{
    return PLAT_FindChild(dialog, id);
}

uint32_t PLAT_StretchImage(HWND control, const PLAT_IMAGE* image, int32_t sx, int32_t sy, int32_t sw, int32_t sh,
                           int32_t dx, int32_t dy, int32_t dw, int32_t dh)
{
    PLAT_RECT client;
    if (!image || !PLAT_GetClientRect(control, &client) || sw <= 0 || sh <= 0 || dw <= 0 || dh <= 0)
        return 0;
    std::lock_guard<std::mutex> lock(g_pictureMutex);
    Picture& p = g_pictures[control];
    if (p.width != client.right || p.height != client.bottom) {
        p.width = client.right;
        p.height = client.bottom;
        p.rgb.assign(static_cast<size_t>(p.width) * p.height * 3, 0);
    }
    for (int32_t y = 0; y < dh; ++y) {
        int32_t ty = dy + y;
        // Source rows count from the top of the picture; the image is bottom-up.
        int32_t srcY = sy + static_cast<int32_t>(static_cast<int64_t>(y) * sh / dh);
        if (ty < 0 || ty >= p.height || srcY < 0 || srcY >= image->height)
            continue;
        const uint8_t* row = image->rgb + static_cast<size_t>(image->height - 1 - srcY) * image->width * 3;
        for (int32_t x = 0; x < dw; ++x) {
            int32_t tx = dx + x;
            int32_t srcX = sx + static_cast<int32_t>(static_cast<int64_t>(x) * sw / dw);
            if (tx < 0 || tx >= p.width || srcX < 0 || srcX >= image->width)
                continue;
            memcpy(&p.rgb[(static_cast<size_t>(ty) * p.width + tx) * 3], row + srcX * 3, 3);
        }
    }
    if (PLAT_GetBackend()->pictureChanged)
        PLAT_GetBackend()->pictureChanged(control, p.rgb.data(), p.width, p.height);
    return 1;
}

const uint8_t* PLAT_GetControlPicture(HWND control, int32_t* width, int32_t* height)
{
    std::lock_guard<std::mutex> lock(g_pictureMutex);
    auto it = g_pictures.find(control);
    if (it == g_pictures.end())
        return nullptr;
    *width = it->second.width;
    *height = it->second.height;
    return it->second.rgb.data();
}
