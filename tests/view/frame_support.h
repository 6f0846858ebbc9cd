// Offscreen frames for the view tests: one frame drawn on the render thread,
// its context then made current here so that pixels can be read back.
#pragma once
#include <GL/gl.h>
#include <chrono>
#include <thread>
#include "view/ogw.h"

struct RGB {
    int r, g, b;
};

inline void DrawOneFrame(OGW_WINDOW* window)
{
    OGW_EnableRedraw(window);
    OGW_RequestRedraw(window);
    for (int i = 0; i < 5000 && (window->redrawCounter.load() > 0 || window->frameInProgress.load()); i++)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    OGW_DisableRedraw(window);
    OGW_MakeCurrent(window);
}

inline RGB ReadPixel(int x, int y)
{
    uint8_t p[3];
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(x, y, 1, 1, GL_RGB, GL_UNSIGNED_BYTE, p);
    return RGB{p[0], p[1], p[2]};
}
