// The headless backend: windows exist only as records; message boxes go to
// standard error, and the log is copied to standard output (PLAT_EchoLog),
// converted to UTF-8.
#include "platform/plat_backend.h"
#include <cerrno>
#include <cstdio>
#include "platform/plat_text.h"

namespace {

void WindowCreated(HWND, const char*, const char*, HWND, const MENU_ENTRY*, uint32_t) {}

void WindowDestroyed(HWND) {}

void WindowShown(HWND, int) {}

// The list box shows only part of the log (a run's lines, joined lines kept
// short); the terminal gets the whole log from PLAT_EchoLog instead.
void ListBoxAdded(HWND, const char*, uint32_t) {}

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

uint32_t PLAT_EchoLog(const char* text)
{
    if (fputs(PLAT_Cp1250ToUtf8(text).c_str(), stdout) < 0 || fflush(stdout) != 0) {
        int error = errno;
        clearerr(stdout);
        errno = error;
        return 0;
    }
    return 1;
}
