// The main window of a run: its procedure, the run-control commands and the
// message loop with its key handling.
#include <cstdio>
#include "foundation/log.h"
#include "platform/plat_time.h"
#include "platform/plat_window.h"
#include "resources/orbit_resources.h"
#include "simulation/main.h"
#include "simulation/main_run.h"
#include "simulation/orbit_step.h"
#include "simulation/tick.h"
#include "view/about.h"
#include "view/main_commands.h"

namespace {

char g_className[64];
const char* const g_title = "Vizualizace satelitu";
HWND g_mainWindow = 0;
HWND g_listBox = 0;
HWND g_aboutBox = 0;
MAIN_COMMAND_OBSERVER g_commandObserver = nullptr;

void CreateListBox(HWND window)
{
    g_listBox = PLAT_CreateWindow("listbox", "", WS_CHILD | WS_VISIBLE | WS_VSCROLL, 0, 0, 100, 100, window,
                                  MAIN_LISTBOX_ID, nullptr);
    LOG_SetListBox(g_listBox);
    PLAT_SendMessage(g_listBox, WM_SETFONT, 0, 0);
}

void FitListBox(HWND window)
{
    PLAT_RECT rect;
    if (PLAT_IsIconic(window) || !PLAT_GetClientRect(window, &rect))
        return;
    PLAT_MoveWindow(g_listBox, rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top, 1);
}

void OnDestroy()
{
    LOG_SetListBox(0);
    g_listBox = 0;
    g_mainWindow = 0;
    // Only a window destroyed while its run's loop runs ends that run.
    if (g_simClock.running)
        PLAT_PostQuitMessage(0);
}

// 1 when the command is the run's or the view's; the others get the default processing.
uint32_t OnCommand(HWND window, uint16_t command)
{
    if (g_commandObserver)
        g_commandObserver(command);
    switch (command) {
    case CMD_FASTER:
        ORBIT_AddSpeedSteps(+1);
        return 1;
    case CMD_SLOWER:
        ORBIT_AddSpeedSteps(-1);
        return 1;
    case CMD_PAUSE:
        g_simClock.paused = !g_simClock.paused;
        return 1;
    case CMD_END_RUN:
        g_simClock.endRunRequest = 1;
        return 1;
    case CMD_END_ALL:
        g_simClock.endAllRequest = 1;
        return 1;
    case CMD_END_RUN_NOW:
        PLAT_DestroyWindow(window);
        return 1;
    case CMD_ABOUT:
        MAIN_ShowAboutBox(window);
        return 1;
    default:
        return MAIN_ViewCommand(command);
    }
}

void EndRunFromTick()
{
    PLAT_DestroyWindow(g_mainWindow);
}

void PassTickToAboutBox()
{
    if (g_aboutBox)
        PLAT_PostMessage(g_aboutBox, MAIN_TICK, 0, 0);
}

bool IsKeyMessage(uint32_t message)
{
    return message >= WM_KEYFIRST && message <= WM_KEYLAST;
}

}

uint32_t MAIN_RegisterWindowClass()
{
    snprintf(g_className, sizeof g_className, "Orbit_Window_Class_%08lu",
             static_cast<unsigned long>(PLAT_GetTickCount()));
    PLAT_WNDCLASS cls{g_className, MAIN_WndProc, ORBITMENU, ORBITMENU_COUNT};
    return PLAT_RegisterClass(&cls);
}

static uint32_t OthersThanTickWaiting() { return PLAT_MessagesWaitingBesides(MAIN_TICK); }

void MAIN_InstallTickHooks()
{
    MAIN_SetTickCountSource(PLAT_GetTickCount);
    MAIN_TICK_HOOKS hooks{MAIN_TickDone, EndRunFromTick, PassTickToAboutBox, PLAT_InputWaiting, OthersThanTickWaiting};
    MAIN_SetTickHooks(&hooks);
}

const char* MAIN_GetClassName() { return g_className; }
const char* MAIN_GetTitle() { return g_title; }

LRESULT MAIN_WndProc(HWND window, uint32_t message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_CREATE:
        g_mainWindow = window;
        CreateListBox(window);
        return 0;
    case WM_WINDOWPOSCHANGED:
        FitListBox(window);
        return 0;
    case WM_DESTROY:
        OnDestroy();
        return 0;
    case WM_PAINT:
        return 0;
    case WM_COMMAND:
        if (OnCommand(window, LOWORD(wParam)))
            return 0;
        return PLAT_DefWindowProc(window, message, wParam, lParam);
    case MAIN_TICK:
        MAIN_Tick();
        return 0;
    default:
        return PLAT_DefWindowProc(window, message, wParam, lParam);
    }
}

int32_t MAIN_MessageLoop()
{
    MSG msg;
    while (PLAT_GetMessage(&msg)) {
        if (msg.message == WM_SYSKEYDOWN && msg.wParam == VK_F10) {
            g_simClock.endAllRequest = 1;
            PLAT_PostQuitMessage(0);
        }
        if (!PLAT_TranslateAccelerator(msg.hwnd, ORBITACCELERATORS, ORBITACCELERATORS_COUNT, &msg)) {
            PLAT_TranslateMessage(&msg);
            PLAT_DispatchMessage(&msg);
        } else if (PLAT_GetWindowId(msg.hwnd) != 0) {
            PLAT_DispatchMessage(&msg);
        } else if (msg.hwnd != g_mainWindow && IsKeyMessage(msg.message)) {
            // A key of the table pressed in another window acts in the main window.
            PLAT_PostMessage(g_mainWindow, msg.message, msg.wParam, msg.lParam);
        }
    }
    return static_cast<int32_t>(msg.wParam);
}

HWND MAIN_GetMainWindow() { return g_mainWindow; }
HWND MAIN_GetListBox() { return g_listBox; }
HWND MAIN_GetAboutBox() { return g_aboutBox; }
void MAIN_SetAboutBox(HWND aboutBox) { g_aboutBox = aboutBox; }
void MAIN_SetCommandObserver(MAIN_COMMAND_OBSERVER observer) { g_commandObserver = observer; }

uint32_t MAIN_HasCommandHandler(uint16_t command)
{
    switch (command) {
    case CMD_FASTER:
    case CMD_SLOWER:
    case CMD_PAUSE:
    case CMD_END_RUN:
    case CMD_END_ALL:
    case CMD_END_RUN_NOW:
    case CMD_ABOUT:
        return 1;
    default:
        return MAIN_IsViewCommand(command);
    }
}
