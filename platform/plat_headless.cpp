// The headless backend: windows exist only as records; list box lines go to
// standard output and message boxes to standard error, converted to UTF-8.
#include "platform/plat_backend.h"
#include <cstdio>
#include "platform/plat_text.h"

namespace {

void WindowCreated(HWND, const char*, const char*, HWND, const MENU_ENTRY*, uint32_t) {}
void WindowDestroyed(HWND) {}
void WindowShown(HWND, int) {}

void ListBoxAdded(HWND, const char* text)
{
    std::string line = PLAT_Cp1250ToUtf8(text);
    fprintf(stdout, "%s\n", line.c_str());
    fflush(stdout);
}

void Wake() {}

int32_t MessageBox(HWND, const char* text, const char* caption, uint32_t)
{
    fprintf(stderr, "%s: %s\n", PLAT_Cp1250ToUtf8(caption).c_str(), PLAT_Cp1250ToUtf8(text).c_str());
    fflush(stderr);
    return IDOK;
}

const PLAT_BACKEND g_headless = {
    "headless", WindowCreated, WindowDestroyed, WindowShown, ListBoxAdded, Wake, nullptr, MessageBox,
};

const PLAT_BACKEND* g_backend = &g_headless;

}

const PLAT_BACKEND* PLAT_HeadlessBackend() { return &g_headless; }
const PLAT_BACKEND* PLAT_GetBackend() { return g_backend; }
void PLAT_SetBackend(const PLAT_BACKEND* backend) { g_backend = backend ? backend : &g_headless; }
