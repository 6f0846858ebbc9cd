// The headless backend: windows exist only as records; message boxes go to
// standard error, and the log is copied to standard output (PLAT_EchoLog),
// converted to UTF-8.
#include "platform/plat_backend.h"
#include <cerrno>
#include <string>
#include "platform/plat_file.h"
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
    std::string line = PLAT_Cp1250ToUtf8(caption) + ": " + PLAT_Cp1250ToUtf8(text) + "\n";
    int32_t error = 0;
    PLAT_WriteAll(2, line.data(), line.size(), &error);
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

// Any thread logs, the render thread too: each text goes out in one write,
// with no lock between the threads, so that a thread blocked on a standard
// output that does not drain holds no other thread up; a stop interrupts each.
uint32_t PLAT_EchoLog(const char* text)
{
    std::string utf8 = PLAT_Cp1250ToUtf8(text);
    int32_t error = 0;
    if (PLAT_WriteAll(1, utf8.data(), utf8.size(), &error))
        return 1;
    errno = error;
    return 0;
}
