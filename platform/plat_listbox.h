// PLAT list box: the model behind windows of the built-in class "listbox".
// Lines are code page 1250 texts; the backend is told of every line added.
#pragma once
#include "platform/wintypes.h"

constexpr const char* PLAT_LISTBOX_CLASS = "listbox";

// The window procedure of the class: LB_ADDSTRING (lParam: text) -> index,
// LB_DELETESTRING (wParam: index) -> count left, LB_GETCOUNT, LB_GETTEXTLEN
// (wParam: index), LB_GETTEXT (wParam: index, lParam: buffer with room for the
// text and its terminator) -> length, LB_SETCURSEL, LB_GETCURSEL,
// LB_RESETCONTENT, WM_SETREDRAW. LB_ERR for an index out of range.
LRESULT PLAT_ListBoxProc(HWND window, uint32_t message, WPARAM wParam, LPARAM lParam);
void PLAT_ListBoxAttach(HWND window);
void PLAT_ListBoxDetach(HWND window);
