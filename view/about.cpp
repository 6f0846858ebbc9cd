// The about box's dialog procedure.
#include "view/about.h"
#include "platform/plat_dialog.h"
#include "platform/plat_time.h"
#include "platform/plat_window.h"
#include "resources/orbit_resources.h"
#include "simulation/main.h"

namespace {

constexpr uint32_t FIRST_STEP_AGO_MS = 10000;

ABOUT_STATE g_about = {0, nullptr, 0, 0};

void InitDialog(HWND dialog)
{
    g_about.bitmap = BMP_Create();
    BMP_LoadResource(g_about.bitmap, "MOVINGBITMAP");
    g_about.lastStepTick = PLAT_GetTickCount() - FIRST_STEP_AGO_MS;
    g_about.dialog = dialog;
    g_about.frame = 65535;   // the first step wraps it to 0
    MAIN_SetAboutBox(dialog);
}

void Step(HWND dialog)
{
    uint32_t now = PLAT_GetTickCount();
    if (now - g_about.lastStepTick <= ABOUT_STEP_MS)
        return;
    g_about.frame = static_cast<uint16_t>(g_about.frame + 1);
    if (g_about.frame >= ABOUT_FRAMES)
        g_about.frame = 0;
    HWND picture = PLAT_GetDlgItem(dialog, ORBIT_ABOUT_PICTURE_ID);
    PLAT_RECT client;
    if (picture && PLAT_GetClientRect(picture, &client))
        BMP_DrawStretched(g_about.bitmap, picture, g_about.frame * ABOUT_FRAME_WIDTH, 0, ABOUT_FRAME_WIDTH,
                          ABOUT_FRAME_HEIGHT, 0, 0, client.right + 2, client.bottom + 2);
    g_about.lastStepTick = now;
}

}

LRESULT MAIN_AboutDlgProc(HWND dialog, uint32_t message, WPARAM wParam, LPARAM)
{
    switch (message) {
    case WM_INITDIALOG:
        InitDialog(dialog);
        return 1;
    case MAIN_TICK:
        Step(dialog);
        return 1;
    case WM_COMMAND:
        if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) {
            PLAT_EndDialog(dialog, LOWORD(wParam));
            return 1;
        }
        return 0;
    case WM_DESTROY:
        if (MAIN_GetAboutBox() == dialog)
            MAIN_SetAboutBox(0);
        g_about.dialog = 0;
        BMP_Destroy(g_about.bitmap);
        g_about.bitmap = nullptr;
        return 1;
    default:
        return 0;
    }
}

int32_t MAIN_ShowAboutBox(HWND owner)
{
    return PLAT_DialogBox(owner, &ORBIT_ABOUTBOX, MAIN_AboutDlgProc);
}

const ABOUT_STATE* MAIN_GetAboutState()
{
    return &g_about;
}
