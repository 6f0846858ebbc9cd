// ORBIT star field drawing: each star a camera-facing sprite on a sphere
// around the eye, with its name and the lines of its constellation.
#include <GL/gl.h>
#include "view/gldraw.h"
#include "view/ogw.h"
#include "view/scene.h"
#include "view/space.h"

namespace {

void DrawStar(SPACE_STAR* star, const VEC3& eye)
{
    GLDRAW_Color3ub(star->color[0], star->color[1], star->color[2]);
    const VEC3& d = star->sceneDirection;
    star->drawnPosition = VEC3{d.x + eye.x, d.y + eye.y, d.z + eye.z};
    double side = 18.0 * star->size;
    GLDRAW_Billboard(&star->drawnPosition, g_scene.textureStar, side, side, GL_MODULATE, 0.0);
    if (!star->name || !star->name[0]) return;
    glEnable(GL_BLEND);
    GLDRAW_Color4ub(150, 150, 150, 140);
    GLDRAW_TextAt(&star->drawnPosition, 4.5 * star->size, 30.0 * star->size, g_scene.starFont, star->name);
    glDisable(GL_BLEND);
}

void DrawLines(const SPACE_CONSTELLATION* c)
{
    glEnable(GL_BLEND);
    GLDRAW_Color4ub(255, 241, 187, 40);
    glBegin(GL_LINES);
    for (uint32_t i = 0; i < c->lineCount; i++) {
        const VEC3& a = c->lines[i].from->drawnPosition;
        const VEC3& b = c->lines[i].to->drawnPosition;
        glVertex3d(a.x, a.y, a.z);
        glVertex3d(b.x, b.y, b.z);
    }
    glEnd();
    glDisable(GL_BLEND);
}

}  // namespace

void ORBIT_DrawStarField()
{
    VEC3 eye;
    OGW_GetLiveEye(g_scene.window, &eye);
    for (SPACE_CONSTELLATION* c = SPACE_GetConstellations(); c; c = c->next) {
        for (uint32_t i = 0; i < c->starCount; i++) DrawStar(c->stars[i], eye);
        DrawLines(c);
    }
}
