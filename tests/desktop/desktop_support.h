// Helpers of the desktop tests: shell commands, X windows found by name and
// their positions, and the check that an X display and the X tools are there.
#pragma once
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>

namespace desktoptest {

inline void Pause(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

// What the command writes to its standard output.
inline std::string Shell(const std::string& command)
{
    std::string out;
    FILE* p = popen(command.c_str(), "r");
    if (!p)
        return out;
    char buffer[65536];
    size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, p)) > 0)
        out.append(buffer, n);
    pclose(p);
    return out;
}

inline bool HaveDisplayAndTools()
{
    const char* display = getenv("DISPLAY");
    return display && *display &&
           system("command -v xdotool >/dev/null && command -v xwd >/dev/null && command -v convert >/dev/null") == 0;
}

// The first visible X window whose name starts with the text, waiting up to 15 s; "" if none.
inline std::string Find(const std::string& name)
{
    for (int i = 0; i < 150; ++i) {
        std::string id = Shell("xdotool search --onlyvisible --name '^" + name + "' 2>/dev/null | head -1");
        if (!id.empty()) {
            id.erase(id.find_last_not_of('\n') + 1);
            return id;
        }
        Pause(100);
    }
    return "";
}

// The window's position on the screen.
inline void Origin(const std::string& id, int* x, int* y)
{
    std::string geometry = Shell("xdotool getwindowgeometry --shell " + id);
    size_t px = geometry.find("X="), py = geometry.find("Y=");
    *x = px == std::string::npos ? 0 : atoi(geometry.c_str() + px + 2);
    *y = py == std::string::npos ? 0 : atoi(geometry.c_str() + py + 2);
}

}
