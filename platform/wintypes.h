// Plain records and codes the modules share with the platform layer.
#pragma once
#include <cstdint>

// Broken-down date and time; the day of the week is not used.
struct SYSTEMTIME {
    uint16_t wYear;
    uint16_t wMonth;
    uint16_t wDayOfWeek;
    uint16_t wDay;
    uint16_t wHour;
    uint16_t wMinute;
    uint16_t wSecond;
    uint16_t wMilliseconds;
};

// Handles, message parameters and message records of the window layer
// (platform/plat_window.h). A window handle is a number that is never reused
// within a process; 0 means no window.
typedef uint32_t HWND;
typedef uintptr_t WPARAM;
typedef intptr_t LPARAM;
typedef intptr_t LRESULT;

struct MSG {
    HWND hwnd;
    uint32_t message;
    WPARAM wParam;
    LPARAM lParam;
    uint32_t time;
};

typedef LRESULT (*WNDPROC)(HWND window, uint32_t message, WPARAM wParam, LPARAM lParam);

constexpr uint16_t LOWORD(uintptr_t v) { return static_cast<uint16_t>(v & 0xFFFF); }
constexpr uint16_t HIWORD(uintptr_t v) { return static_cast<uint16_t>((v >> 16) & 0xFFFF); }
constexpr WPARAM MAKEWPARAM(uint16_t lo, uint16_t hi) { return static_cast<WPARAM>(lo) | (static_cast<WPARAM>(hi) << 16); }

// Message ids.
constexpr uint32_t WM_NULL = 0x0000;
constexpr uint32_t WM_CREATE = 0x0001;
constexpr uint32_t WM_DESTROY = 0x0002;
constexpr uint32_t WM_SIZE = 0x0005;
constexpr uint32_t WM_SETREDRAW = 0x000B;
constexpr uint32_t WM_PAINT = 0x000F;
constexpr uint32_t WM_CLOSE = 0x0010;
constexpr uint32_t WM_QUIT = 0x0012;
constexpr uint32_t WM_SETTEXT = 0x000C;
constexpr uint32_t WM_SETFONT = 0x0030;
constexpr uint32_t WM_WINDOWPOSCHANGED = 0x0047;
constexpr uint32_t WM_KEYFIRST = 0x0100;
constexpr uint32_t WM_KEYDOWN = 0x0100;
constexpr uint32_t WM_KEYUP = 0x0101;
constexpr uint32_t WM_CHAR = 0x0102;
constexpr uint32_t WM_SYSKEYDOWN = 0x0104;
constexpr uint32_t WM_SYSKEYUP = 0x0105;
constexpr uint32_t WM_SYSCHAR = 0x0106;
constexpr uint32_t WM_KEYLAST = 0x0108;
constexpr uint32_t WM_INITDIALOG = 0x0110;
constexpr uint32_t WM_COMMAND = 0x0111;
constexpr uint32_t WM_TIMER = 0x0113;
constexpr uint32_t WM_USER = 0x0400;

// List box messages.
constexpr uint32_t LB_ADDSTRING = 0x0180;
constexpr uint32_t LB_DELETESTRING = 0x0182;
constexpr uint32_t LB_RESETCONTENT = 0x0184;
constexpr uint32_t LB_SETCURSEL = 0x0186;
constexpr uint32_t LB_GETCURSEL = 0x0188;
constexpr uint32_t LB_GETTEXT = 0x0189;
constexpr uint32_t LB_GETTEXTLEN = 0x018A;
constexpr uint32_t LB_GETCOUNT = 0x018B;
constexpr LRESULT LB_ERR = -1;

// Window styles (kept for the desktop backend; the headless one ignores them).
constexpr uint32_t WS_OVERLAPPEDWINDOW = 0x00CF0000;
constexpr uint32_t WS_CHILD = 0x40000000;
constexpr uint32_t WS_VISIBLE = 0x10000000;
constexpr uint32_t WS_VSCROLL = 0x00200000;
constexpr uint32_t WS_POPUP = 0x80000000;
constexpr uint32_t WS_CAPTION = 0x00C00000;
constexpr uint32_t WS_SYSMENU = 0x00080000;
constexpr uint32_t BS_GROUPBOX = 0x00000007;
constexpr uint32_t SS_LEFT = 0x00000000;
constexpr uint32_t SS_RIGHT = 0x00000002;
constexpr uint32_t SS_SUNKEN = 0x00001000;

// Show states.
constexpr int SW_HIDE = 0;
constexpr int SW_SHOWNORMAL = 1;
constexpr int SW_SHOWMINIMIZED = 2;
constexpr int SW_SHOW = 5;

// Message box types and results.
constexpr uint32_t MB_OK = 0x0000;
constexpr uint32_t MB_ICONERROR = 0x0010;
constexpr int IDOK = 1;
constexpr int IDCANCEL = 2;

// Virtual-key codes.
constexpr uint32_t VK_BACK = 0x08;
constexpr uint32_t VK_TAB = 0x09;
constexpr uint32_t VK_RETURN = 0x0D;
constexpr uint32_t VK_SHIFT = 0x10;
constexpr uint32_t VK_CONTROL = 0x11;
constexpr uint32_t VK_MENU = 0x12;
constexpr uint32_t VK_ESCAPE = 0x1B;
constexpr uint32_t VK_SPACE = 0x20;
constexpr uint32_t VK_PRIOR = 0x21;
constexpr uint32_t VK_NEXT = 0x22;
constexpr uint32_t VK_END = 0x23;
constexpr uint32_t VK_HOME = 0x24;
constexpr uint32_t VK_LEFT = 0x25;
constexpr uint32_t VK_UP = 0x26;
constexpr uint32_t VK_RIGHT = 0x27;
constexpr uint32_t VK_DOWN = 0x28;
constexpr uint32_t VK_ADD = 0x6B;
constexpr uint32_t VK_SUBTRACT = 0x6D;
constexpr uint32_t VK_F10 = 0x79;

// Accelerator entry flags.
constexpr uint8_t FVIRTKEY = 0x01;
constexpr uint8_t FSHIFT = 0x04;
constexpr uint8_t FCONTROL = 0x08;
constexpr uint8_t FALT = 0x10;

// One accelerator: a virtual key with exactly these modifiers (FVIRTKEY set),
// or a typed character (FVIRTKEY clear; FALT for the character typed with Alt).
struct ACCEL {
    uint8_t fVirt;
    uint16_t key;
    uint16_t cmd;
};

// One entry of a menu table, in display order. A popup opens a submenu that
// runs to its matching MENU_END; an item with id 0 and no text is a separator.
enum MENU_ENTRY_KIND : uint8_t { MENU_ITEM = 0, MENU_POPUP = 1, MENU_END = 2, MENU_SEPARATOR = 3 };
struct MENU_ENTRY {
    MENU_ENTRY_KIND kind;
    uint16_t id;
    const char* text;
    uint8_t rightJustify;   // the popup stands at the right end of the menu bar
};
