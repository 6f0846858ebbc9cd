// DDITEM drawing: the item's vector as an arrow in the satellite's body frame.
#include <GL/gl.h>
#include <cmath>
#include <cstdio>
#include "simulation/satelit.h"
#include "simulation/satelit_draw.h"
#include "view/dditem.h"
#include "view/gldraw.h"

void DDITEM_Draw(DDITEM* item, double s, int32_t font)
{
    if (item->type != DDITEM_MODULE_VECTOR_BODY) return;
    const double* v = item->drawnVector;
    double length = sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]);
    if (length <= 1e-19) return;
    double a = DDITEM_ArrowLength(item, length, s) / length;
    char text[200];
    if (item->name) snprintf(text, sizeof text, "%s=%.4lg [%.3lg,%.3lg,%.3lg]", item->name, length, v[0], v[1], v[2]);
    glLineWidth(2.0f);
    GLDRAW_Color3ub(item->color[0], item->color[1], item->color[2]);
    GLDRAW_Arrow(VEC3{0, 0, 0}, VEC3{v[0] * a, v[1] * a, v[2] * a}, item->name ? text : nullptr, font);
    glLineWidth(1.0f);
}

void SATELIT_DrawDataItems(SATELIT* sat, double s, int32_t font)
{
    for (DDITEM* item = sat->dataItems; item; item = item->next) DDITEM_Draw(item, s, font);
}
