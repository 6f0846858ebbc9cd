// The satellite information windows: the list of open windows, their
// controls, the timed refresh and the values they show.
#include "view/satwindow.h"
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include "foundation/constants.h"
#include "foundation/memory.h"
#include "foundation/pool.h"
#include "foundation/time.h"
#include "models/kepler.h"
#include "platform/plat_window.h"
#include "simulation/satelit.h"
#include "view/dlg.h"

namespace {

const char* const CLASS_NAME = "VORLANE_SatWindow_CLASS";
// A caption with a close box, so the user can close it.
constexpr uint32_t WINDOW_STYLE = WS_CAPTION | WS_SYSMENU;
// Laid out for the default GUI font: the widest label ("vx =") and the
// widest value ("-10900.0 m/s", "-179° 59' 59''") stand whole with the text
// inset of a static control on either side.
constexpr int32_t LABEL_WIDTH = 28;
constexpr int32_t VALUE_WIDTH = 72;
constexpr int32_t ROW_HEIGHT = 16;
// Two columns of group frames; the rows stand 11 pixels inside a frame.
constexpr int32_t GROUP_WIDTH = 120;
constexpr int32_t LEFT = 9;
constexpr int32_t RIGHT = LEFT + GROUP_WIDTH + 11;
constexpr int32_t LEFT_ROW = LEFT + 11;
constexpr int32_t RIGHT_ROW = RIGHT + 11;

struct STUB {
    SATWINDOW* window;
    STUB* next;
};

struct GROUP {
    const char* text;
    int32_t x, y, height;
};

struct ROW {
    const char* label;
    int32_t x, y;          // label; the value stands right of it
    uint16_t id;
    const char* initial;
    uint32_t rightLabel;
};

constexpr GROUP GROUPS[] = {
    {" ECI ", LEFT, 5, 75},
    {" ECEF ", LEFT, 90, 75},
    {" Zeměpisné ", LEFT, 175, 75},
    {" Rychlost-ECI ", RIGHT, 5, 75},
    {" Kepler. parametry ", RIGHT, 90, 160},
};

constexpr ROW ROWS[] = {
    {"x =", LEFT_ROW, 23, 112, "XXXXX km", 0},    {"y =", LEFT_ROW, 40, 113, "XXXXX km", 0},
    {"z =", LEFT_ROW, 57, 114, "XXXXX km", 0},    {"x =", LEFT_ROW, 108, 115, "XXXXX km", 0},
    {"y =", LEFT_ROW, 125, 116, "XXXXX km", 0},   {"z =", LEFT_ROW, 142, 117, "XXXXX km", 0},
    {"š =", LEFT_ROW, 193, 118, "°", 0},          {"d =", LEFT_ROW, 210, 120, "°", 0},
    {"v =", LEFT_ROW, 227, 119, "km", 0},         {"vx =", RIGHT_ROW, 23, 121, "km/s", 0},
    {"vy =", RIGHT_ROW, 40, 122, "km/s", 0},      {"vz =", RIGHT_ROW, 57, 123, "km/s", 0},
    {"r =", RIGHT_ROW, 108, 124, "", 1},          {"v =", RIGHT_ROW, 125, 125, "", 1},
    {"i =", RIGHT_ROW, 142, 126, "", 1},          {"R =", RIGHT_ROW, 159, 127, "", 1},
    {"o =", RIGHT_ROW, 176, 128, "", 1},          {"e =", RIGHT_ROW, 193, 129, "", 1},
    {"n =", RIGHT_ROW, 210, 130, "", 1},          {"M =", RIGHT_ROW, 227, 131, "", 1},
};

STUB* g_head = nullptr;
STUB* g_tail = nullptr;
uint64_t g_lastRefresh = 0;
uint64_t g_lastTimer = 0;
char g_text[256];

uint32_t ValueIndex(uint16_t id) { return static_cast<uint32_t>(id - SATWINDOW_FIRST_VALUE_ID); }

void Append(STUB* stub)
{
    stub->next = nullptr;
    if (g_tail)
        g_tail->next = stub;
    else
        g_head = stub;
    g_tail = stub;
}

// Takes the window's node out of the list and returns it; null if not listed.
STUB* Unlink(const SATWINDOW* window)
{
    STUB* previous = nullptr;
    for (STUB* stub = g_head; stub; previous = stub, stub = stub->next) {
        if (stub->window != window)
            continue;
        if (previous)
            previous->next = stub->next;
        else
            g_head = stub->next;
        if (g_tail == stub)
            g_tail = previous;
        return stub;
    }
    return nullptr;
}

uint32_t CreateControls(SATWINDOW* sw)
{
    for (const GROUP& g : GROUPS)
        if (!DLG_CreateGroupBox(sw->window, g.text, g.x, g.y, GROUP_WIDTH, g.height))
            return 0;
    for (const ROW& row : ROWS) {
        HWND label = row.rightLabel ? DLG_CreateRightLabel(sw->window, row.label, row.x, row.y, LABEL_WIDTH, ROW_HEIGHT)
                                    : DLG_CreateLabel(sw->window, row.label, row.x, row.y, LABEL_WIDTH, ROW_HEIGHT);
        HWND value = DLG_CreateValueField(sw->window, row.initial, row.id, row.x + LABEL_WIDTH, row.y, VALUE_WIDTH,
                                          ROW_HEIGHT);
        if (!label || !value)
            return 0;
        sw->values[ValueIndex(row.id)] = value;
    }
    return 1;
}

// The satellite at the clock, which the window shows at the end of a tick.
void ReadState(const SATELIT* sat, SATWINDOW_STATE* state)
{
    SAT_STATE now;
    SATELIT_StateAt(sat, g_simClock.clock, &now);
    state->position = now.position;
    state->velocity = now.velocity;
    state->latitude = now.latitude;
    state->longitude = now.longitude;
    state->altitude = now.altitude;
}

void Fill(SATWINDOW* sw)
{
    SATWINDOW_STATE state;
    SATWINDOW_TEXTS texts;
    ReadState(sw->satellite, &state);
    SATWINDOW_FormatValues(&state, &texts);
    for (uint32_t i = 0; i < SATWINDOW_VALUE_COUNT; ++i)
        SATWINDOW_SetText(sw->values[i], "%s", texts.text[i]);
    sw->filled = 1;
}

// The window is gone: its satellite forgets it and no longer wants one.
void Release(SATWINDOW* sw)
{
    if (sw->satellite && sw->satellite->infoWindow == sw) {
        sw->satellite->infoWindow = nullptr;
        sw->satellite->infoWindowWanted = 0;
    }
    POOL_Free(Unlink(sw));
    POOL_Free(sw);
}

void OnDestroy(HWND window)
{
    SATWINDOW* sw = static_cast<SATWINDOW*>(PLAT_GetWindowData(window));
    if (!sw)
        return;
    PLAT_SetWindowData(window, nullptr);
    Release(sw);
}

void Format(char* text, uint32_t size, const char* format, double value)
{
    snprintf(text, size, format, value);
}

}

void SATWINDOW_Init()
{
    PLAT_WNDCLASS cls{CLASS_NAME, SATWINDOW_WndProc, nullptr, 0};
    PLAT_RegisterClass(&cls);
    g_head = g_tail = nullptr;
    g_lastRefresh = g_lastTimer = g_simClock.realTotal;
}

SATWINDOW* SATWINDOW_Create(SATELIT* satellite)
{
    MEMORY_SetTag("SATWINDOW-OBJ");
    SATWINDOW* sw = static_cast<SATWINDOW*>(POOL_Alloc(sizeof(SATWINDOW) + 1));
    MEMORY_SetTag("SATWINDOW-STUB");
    STUB* stub = static_cast<STUB*>(POOL_Alloc(sizeof(STUB) + 1));
    if (!sw || !stub) {
        POOL_Free(sw);
        POOL_Free(stub);
        return nullptr;
    }
    memset(static_cast<void*>(sw), 0, sizeof(SATWINDOW));
    sw->satellite = satellite;
    char title[SATWINDOW_TITLE_SIZE];
    SATWINDOW_FormatTitle(satellite->name, title, sizeof title);
    sw->window = PLAT_CreateWindow(CLASS_NAME, title, WINDOW_STYLE, 0, 0, SATWINDOW_WIDTH, SATWINDOW_HEIGHT, 0, 0, sw);
    if (!sw->window || !CreateControls(sw)) {
        if (sw->window) {
            PLAT_SetWindowData(sw->window, nullptr);
            PLAT_DestroyWindow(sw->window);
        }
        POOL_Free(sw);
        POOL_Free(stub);
        return nullptr;
    }
    stub->window = sw;
    Append(stub);
    return sw;
}

void SATWINDOW_Destroy(SATWINDOW* sw)
{
    if (!sw)
        return;
    HWND window = sw->window;
    sw->window = 0;
    PLAT_DestroyWindow(window);
}

void SATWINDOW_Move(SATWINDOW* sw, int32_t x, int32_t y)
{
    PLAT_RECT rect;
    if (!sw || !PLAT_GetWindowRect(sw->window, &rect))
        return;
    PLAT_MoveWindow(sw->window, x, y, rect.right - rect.left, rect.bottom - rect.top, 1);
}

void SATWINDOW_RequestShow(SATWINDOW* sw)
{
    if (sw && PLAT_IsWindow(sw->window))
        sw->showRequest = 1;
}

uint32_t SATWINDOW_Exists(const SATWINDOW* sw)
{
    for (STUB* stub = g_head; stub; stub = stub->next)
        if (stub->window == sw)
            return 1;
    return 0;
}

uint32_t SATWINDOW_Count()
{
    uint32_t count = 0;
    for (STUB* stub = g_head; stub; stub = stub->next)
        ++count;
    return count;
}

// A window posted its first fill at one refresh is shown at the next: the
// fill is handled after the refresh has looked at the filled flag.
void SATWINDOW_RefreshAll()
{
    uint64_t now = g_simClock.realTotal;
    if (now - g_lastRefresh >= SATWINDOW_REFRESH_MS) {
        g_lastRefresh = now;
        for (STUB* stub = g_head; stub; stub = stub->next) {
            SATWINDOW* sw = stub->window;
            PLAT_PostMessage(sw->window, SATWINDOW_FILL, 0, 0);
            if (sw->filled && sw->showRequest) {
                PLAT_ShowWindow(sw->window, SW_SHOWNORMAL);
                PLAT_InvalidateWindow(sw->window);
                sw->showRequest = 0;
            }
        }
    }
    if (now - g_lastTimer >= SATWINDOW_TIMER_MS) {
        g_lastTimer = now;
        for (STUB* stub = g_head; stub; stub = stub->next)
            PLAT_PostMessage(stub->window->window, WM_TIMER, 0, 0);
    }
}

void SATWINDOW_Cleanup()
{
    while (g_head) {
        SATWINDOW* sw = g_head->window;
        SATWINDOW_Destroy(sw);
        // A window the message layer no longer knows left its object behind.
        if (g_head && g_head->window == sw)
            Release(sw);
    }
    PLAT_UnregisterClass(CLASS_NAME);
}

void SATWINDOW_SetText(HWND control, const char* format, ...)
{
    va_list args;
    va_start(args, format);
    vsnprintf(g_text, sizeof g_text, format, args);
    va_end(args);
    PLAT_SetWindowText(control, g_text);
}

LRESULT SATWINDOW_WndProc(HWND window, uint32_t message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_CREATE:
        PLAT_SetWindowData(window, reinterpret_cast<void*>(lParam));
        return 0;
    case WM_DESTROY:
        OnDestroy(window);
        return 0;
    case WM_KEYDOWN:
    case WM_CHAR:
    case WM_TIMER:
        return 0;
    case SATWINDOW_FILL: {
        SATWINDOW* sw = static_cast<SATWINDOW*>(PLAT_GetWindowData(window));
        if (sw)
            Fill(sw);
        return 0;
    }
    default:
        return PLAT_DefWindowProc(window, message, wParam, lParam);
    }
}

void SATWINDOW_FormatTitle(const char* name, char* title, uint32_t size)
{
    snprintf(title, size, "Info satelitu \"%s\"", name ? name : "");
}

void SATWINDOW_FormatAngle(double degrees, char* text, uint32_t size)
{
    int sign = degrees < 0.0 ? -1 : 1;
    double magnitude = fabs(degrees);
    int whole = static_cast<int>(magnitude);
    int minutes = static_cast<int>((magnitude - whole) * 60.0);
    int seconds = static_cast<int>((magnitude - whole - minutes / 60.0) * 3600.0);
    snprintf(text, size, "%4d° %02d' %02d''", sign * whole, minutes, seconds);
}

void SATWINDOW_FormatValues(const SATWINDOW_STATE* s, SATWINDOW_TEXTS* t)
{
    constexpr uint32_t n = SATWINDOW_TEXT_SIZE;
    Format(t->text[0], n, "%8.1f km", s->position.x);
    Format(t->text[1], n, "%8.1f km", s->position.y);
    Format(t->text[2], n, "%8.1f km", s->position.z);
    double r = s->altitude + CONST_EARTH_RADIUS_KM;
    double phi = s->latitude * CONST_DEG_TO_RAD, lambda = s->longitude * CONST_DEG_TO_RAD;
    Format(t->text[3], n, "%8.1f km", r * cos(phi) * cos(lambda));
    Format(t->text[4], n, "%8.1f km", r * cos(phi) * sin(lambda));
    Format(t->text[5], n, "%8.1f km", r * sin(phi));
    SATWINDOW_FormatAngle(s->latitude, t->text[ValueIndex(118)], n);
    Format(t->text[ValueIndex(119)], n, "%8.1f km", s->altitude);
    SATWINDOW_FormatAngle(s->longitude, t->text[ValueIndex(120)], n);
    Format(t->text[9], n, "%8.1f m/s", s->velocity.x * 1000.0);
    Format(t->text[10], n, "%8.1f m/s", s->velocity.y * 1000.0);
    Format(t->text[11], n, "%8.1f m/s", s->velocity.z * 1000.0);
    double position[3] = {s->position.x, s->position.y, s->position.z};
    double velocity[3] = {s->velocity.x, s->velocity.y, s->velocity.z};
    double e[6];
    if (!KEPLER_ElementsFromState(position, velocity, e)) {
        for (uint32_t i = 12; i < SATWINDOW_VALUE_COUNT; ++i)
            t->text[i][0] = 0;
        return;
    }
    Format(t->text[12], n, "%8.1f km", VEC_Length(&s->position));
    Format(t->text[13], n, "%8.1f m/s", VEC_Length(&s->velocity) * 1000.0);
    Format(t->text[14], n, "%8.4f °", e[KEPLER_INCLINATION]);
    Format(t->text[15], n, "%8.4f °", e[KEPLER_RAAN]);
    Format(t->text[16], n, "%8.4f °", e[KEPLER_ARGUMENT]);
    Format(t->text[17], n, "%8.6f", e[KEPLER_EXCENTRICITY]);
    Format(t->text[18], n, "%8.5f", e[KEPLER_MEANMOTION]);
    Format(t->text[19], n, "%8.4f °", e[KEPLER_MEANANOMALY]);
}
