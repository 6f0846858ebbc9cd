// MAGFIELD field display drawing, in the Earth-fixed frame the scene has set.
#include <GL/gl.h>
#include "view/gldraw.h"
#include "view/magfield_display.h"

void MAGFIELD_DrawVectors()
{
    PLAT_LOCK* lock = MAGFIELD_GetDisplayLock();
    if (!lock) return;
    glBegin(GL_LINES);
    for (uint32_t i = 0; i < MAGFIELD_GRID_LATITUDES; i++) {
        for (uint32_t j = 0; j < MAGFIELD_GRID_LONGITUDES; j++) {
            PLAT_LockGuard guard(lock);
            const MAGFIELD_SEGMENT* s = MAGFIELD_GetGridSegment(i, j);
            GLDRAW_Color3ub(91, 25, 69);
            glVertex3d(s->start.x, s->start.y, s->start.z);
            GLDRAW_Color3ub(255, 87, 198);
            glVertex3d(s->end.x, s->end.y, s->end.z);
        }
    }
    glEnd();
}

void MAGFIELD_DrawLines()
{
    PLAT_LOCK* lock = MAGFIELD_GetDisplayLock();
    if (!lock) return;
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    GLDRAW_Color4ub(255, 87, 198, 180);
    for (uint32_t i = 0; i < MAGFIELD_LINE_COUNT; i++) {
        PLAT_LockGuard guard(lock);
        const MAGFIELD_LINE* line = MAGFIELD_GetLine(i);
        if (line->count < 2) continue;
        glBegin(GL_LINE_STRIP);
        for (uint32_t p = 0; p < line->count; p++) glVertex3d(line->points[p].x, line->points[p].y, line->points[p].z);
        glEnd();
    }
    glDisable(GL_BLEND);
}
