// The headless backend: windows exist only as records; list box lines go to
// standard output and message boxes to standard error, converted to UTF-8.
#include "platform/plat_backend.h"
#include <cstdio>
#include "platform/plat_text.h"

namespace {

// The line last echoed is left open, so that a continued line is echoed as
// the rest of it rather than as a second, longer line.
std::string g_openLine;
bool g_lineOpen = false;

void CloseLine()
{
    if (g_lineOpen) fputc('\n', stdout);
    g_lineOpen = false;
    g_openLine.clear();
}

void WindowCreated(HWND, const char*, const char*, HWND, const MENU_ENTRY*, uint32_t) {}

void WindowDestroyed(HWND)
{
    CloseLine();
    fflush(stdout);
}

void WindowShown(HWND, int) {}

void ListBoxAdded(HWND, const char* text, uint32_t replacesLast)
{
    std::string line = PLAT_Cp1250ToUtf8(text);
    if (replacesLast && g_lineOpen && line.compare(0, g_openLine.size(), g_openLine) == 0) {
        fputs(line.c_str() + g_openLine.size(), stdout);
    } else {
        CloseLine();
        fputs(line.c_str(), stdout);
    }
    g_openLine = line;
    g_lineOpen = true;
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
    "headless", WindowCreated, WindowDestroyed, WindowShown, nullptr, ListBoxAdded, Wake, nullptr, nullptr, MessageBox, nullptr, nullptr, nullptr,
};

const PLAT_BACKEND* g_backend = &g_headless;

}

const PLAT_BACKEND* PLAT_HeadlessBackend() { return &g_headless; }
const PLAT_BACKEND* PLAT_GetBackend() { return g_backend; }
void PLAT_SetBackend(const PLAT_BACKEND* backend) { g_backend = backend ? backend : &g_headless; }
