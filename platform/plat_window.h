// PLAT windows and messages: window classes with a procedure, window records,
// the per-thread message queue, key translation through accelerator tables,
// the list box model and message boxes.
//
// A window belongs to the thread that created it; its messages go to that
// thread's queue. Posting works from any thread; sending calls the procedure
// at once and is for the owner thread. A post to a destroyed or unknown
// window fails, and messages still queued for a window that is destroyed are
// dropped.
//
// Key messages carry in lParam, besides the repeat count in bits 0-15, the
// code page 1250 character that the key types in bits 16-23 (0 for none),
// Shift in bit 25, Ctrl in bit 26 and Alt in bit 29. A backend builds them
// with PLAT_KeyLParam; PLAT_TranslateMessage turns the character into
// WM_CHAR, or WM_SYSCHAR for a system key (Alt held).
#pragma once
#include <cstdint>
#include <string>
#include <vector>
#include "platform/wintypes.h"

constexpr LPARAM PLAT_KEY_SHIFT = LPARAM(1) << 25;
constexpr LPARAM PLAT_KEY_CTRL = LPARAM(1) << 26;
constexpr LPARAM PLAT_KEY_ALT = LPARAM(1) << 29;

constexpr LPARAM PLAT_KeyLParam(uint8_t character, LPARAM modifiers)
{
    return 1 | (LPARAM(character) << 16) | modifiers;
}

struct PLAT_WNDCLASS {
    const char* className;           // matched without regard to case
    WNDPROC proc;
    const MENU_ENTRY* menu;          // shown by the desktop backend; may be null
    uint32_t menuCount;
};

struct PLAT_RECT {
    int32_t left, top, right, bottom;
};

// The classes "static" (a text, or a picture: plat_dialog.h) and "button"
// (a push button or, with BS_GROUPBOX, a group frame) are built in; their
// text is the window's title, WM_SETTEXT changes it.
constexpr const char* PLAT_STATIC_CLASS = "static";
constexpr const char* PLAT_BUTTON_CLASS = "button";
// A static control keeps this many pixels free at either side of its text.
constexpr int32_t PLAT_CONTROL_TEXT_INSET = 2;
// The class "listbox" is built in: a list of text lines driven by the LB_
// messages (LB_ADDSTRING and LB_GETTEXT take a zero-terminated text in lParam).
uint32_t PLAT_RegisterClass(const PLAT_WNDCLASS* cls);
void PLAT_UnregisterClass(const char* className);

// Creates a window; the procedure receives WM_CREATE (lParam = createParam)
// before this returns, and a result of -1 there fails the creation. 0 on failure.
HWND PLAT_CreateWindow(const char* className, const char* title, uint32_t style, int32_t x, int32_t y,
                       int32_t width, int32_t height, HWND parent, uint32_t controlId, void* createParam);
// Delivers WM_DESTROY at once (also from inside the window's own procedure),
// then destroys the children. 0 for an unknown window.
uint32_t PLAT_DestroyWindow(HWND window);
uint32_t PLAT_IsWindow(HWND window);
uint32_t PLAT_GetWindowId(HWND window);
HWND PLAT_GetParent(HWND window);
uint32_t PLAT_ShowWindow(HWND window, int showState);
// 1 when the window was shown (a top-level window starts hidden).
uint32_t PLAT_IsWindowVisible(HWND window);
uint32_t PLAT_IsIconic(HWND window);
uint32_t PLAT_MoveWindow(HWND window, int32_t x, int32_t y, int32_t width, int32_t height, uint32_t repaint);
uint32_t PLAT_GetClientRect(HWND window, PLAT_RECT* rect);
// The window's position (in its parent, or on the screen) and size.
uint32_t PLAT_GetWindowRect(HWND window, PLAT_RECT* rect);
uint32_t PLAT_GetWindowStyle(HWND window);
// The child of a window with the given control id; 0 if none.
HWND PLAT_FindChild(HWND parent, uint32_t controlId);
// Every child of a window, in the order they were created.
std::vector<HWND> PLAT_GetChildren(HWND parent);
std::string PLAT_GetClassName(HWND window);
void PLAT_InvalidateWindow(HWND window);
// The oldest top-level window still alive (a run's main window); 0 if none.
HWND PLAT_GetMainWindow();

// 1 when queued, 0 when the window is unknown or destroyed.
uint32_t PLAT_PostMessage(HWND window, uint32_t message, WPARAM wParam, LPARAM lParam);
LRESULT PLAT_SendMessage(HWND window, uint32_t message, WPARAM wParam, LPARAM lParam);
// Posts WM_COMMAND with the command id in the low word (a menu command).
uint32_t PLAT_PostCommand(HWND window, uint16_t commandId);
LRESULT PLAT_DefWindowProc(HWND window, uint32_t message, WPARAM wParam, LPARAM lParam);

// The calling thread's queue, as a number for PLAT_PostThreadMessage.
uint32_t PLAT_GetCurrentThreadQueue();
uint32_t PLAT_PostThreadMessage(uint32_t queue, uint32_t message, WPARAM wParam, LPARAM lParam);
void PLAT_PostQuitMessage(int32_t exitCode);
// Waits for the next message of the calling thread. 0 for WM_QUIT (its exit
// code in wParam), 1 otherwise. WM_QUIT comes once the queue holds nothing else.
int32_t PLAT_GetMessage(MSG* msg);
// Takes the next message without waiting; 0 when there is none.
uint32_t PLAT_PeekMessage(MSG* msg);
// 1 when the calling thread's queue holds a key, a command, a close request or
// the quit message (the GUI thread first takes in the display's pending input),
// so that long work can stop and let the message loop answer.
uint32_t PLAT_InputWaiting();
// 1 when the calling thread's queue holds any message other than the given one.
uint32_t PLAT_MessagesWaitingBesides(uint32_t message);
uint32_t PLAT_TranslateMessage(const MSG* msg);
LRESULT PLAT_DispatchMessage(const MSG* msg);
// Turns a key message into the table's WM_COMMAND, sent to the given window
// (command id in the low word, 1 in the high word). 1 when it did.
uint32_t PLAT_TranslateAccelerator(HWND window, const ACCEL* table, uint32_t count, const MSG* msg);

// The idle timer of the calling thread, used in virtual time: whenever the
// queue is empty, the virtual tick count moves on by the period and fn runs.
// fn null removes it. In real time it is never called.
void PLAT_SetIdleTimer(void (*fn)(void* param), void* param, uint32_t periodMs);

// Sets and reads a window's title (code page 1250). Any thread.
uint32_t PLAT_SetWindowText(HWND window, const char* text);
uint32_t PLAT_GetWindowText(HWND window, char* buffer, uint32_t bufferSize);
// One pointer of the owner's data per window (a window long); 0 for an
// unknown window.
uint32_t PLAT_SetWindowData(HWND window, void* data);
void* PLAT_GetWindowData(HWND window);
// Hands a rendered frame to the backend for display: bottom-up rows of
// red-green-blue bytes, stride bytes apart. Any thread may call it; the
// headless backend ignores it. PLAT_WantsFrames says whether to bother.
void PLAT_ShowFrame(HWND window, const uint8_t* rgb, int32_t width, int32_t height, uint32_t stride);
uint32_t PLAT_WantsFrames();
// Virtual time waits while a gate reports work in progress (a frame being
// drawn in step with the clock): the idle step neither moves the counter nor
// runs the idle timer until every gate reports 0.
void PLAT_AddIdleGate(uint32_t (*busy)(void* param), void* param);
void PLAT_RemoveIdleGate(uint32_t (*busy)(void* param), void* param);

// Shows a message box (headless: prints caption and text to standard error).
int32_t PLAT_MessageBox(HWND owner, const char* text, const char* caption, uint32_t type);

// Test hook: when the tick count reaches atTick, the message is posted to the
// main window (PLAT_GetMainWindow) from the GUI thread's message loop.
void PLAT_ScheduleTestMessage(uint32_t atTick, uint32_t message, WPARAM wParam, LPARAM lParam);
void PLAT_ClearTestMessages();

// Forgets every window, class registration, queue and scheduled message
// (tests that start the message layer afresh).
void PLAT_ResetWindows();
