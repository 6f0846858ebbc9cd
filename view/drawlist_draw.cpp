// DRAWLIST drawing: the items of a draw list in the satellite's body frame,
// and the textures and the sphere quadric the list needs.
#include <GL/gl.h>
#include <GL/glu.h>
#include "foundation/constants.h"
#include "view/drawlist.h"
#include "view/gldraw.h"
#include "view/ogw.h"

namespace {

GLUquadric* g_sphere = nullptr;


void Quad(int32_t texture, const VEC3 c[4])
{
    GLDRAW_TexturedQuad(texture, &c[0], &c[1], &c[2], &c[3]);
}

void DrawTextureQuad(const DRAWLIST_TEXTURE_QUAD_DATA* d)
{
    glEnable(GL_TEXTURE_2D);
    glEnable(GL_LIGHTING);
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
    Quad(d->texture, d->corners);
    glDisable(GL_LIGHTING);
    glDisable(GL_TEXTURE_2D);
}

void DrawColorQuad(const DRAWLIST_COLOR_QUAD_DATA* d)
{
    glEnable(GL_LIGHTING);
    GLDRAW_Color3ub(d->color[0], d->color[1], d->color[2]);
    GLDRAW_PushLight(0);
    GLDRAW_SetLightIntensity(0, 15.0);
    glColorMaterial(GL_FRONT_AND_BACK, GL_AMBIENT_AND_DIFFUSE);
    glEnable(GL_COLOR_MATERIAL);
    Quad(-1, d->corners);
    glDisable(GL_COLOR_MATERIAL);
    glDisable(GL_LIGHTING);
    GLDRAW_PopLight(0);
}

void DrawSphere(const DRAWLIST_SPHERE_DATA* d)
{
    GLDRAW_Color3ub(d->color[0], d->color[1], d->color[2]);
    glPushMatrix();
    glTranslated(d->centre.x, d->centre.y, d->centre.z);
    glEnable(GL_LIGHTING);
    if (g_sphere) gluSphere(g_sphere, d->radius, 16, 16);
    glDisable(GL_LIGHTING);
    glPopMatrix();
}

void DrawLine(const DRAWLIST_LINE_DATA* d)
{
    glLineWidth((float)d->width);
    GLDRAW_Color3ub(d->color[0], d->color[1], d->color[2]);
    glBegin(GL_LINES);
    glVertex3d(d->from.x, d->from.y, d->from.z);
    glVertex3d(d->to.x, d->to.y, d->to.z);
    glEnd();
}

void DrawCone(const DRAWLIST_CONE_DATA* d)
{
    GLDRAW_Color4ub(d->color[0], d->color[1], d->color[2], d->alpha);
    glEnable(GL_BLEND);
    VEC3 base{d->apex.x + d->axis.x, d->apex.y + d->axis.y, d->apex.z + d->axis.z};
    GLDRAW_TranslucentCone(nullptr, &d->apex, &base, d->halfAngle * CONST_DEG_TO_RAD);
    glDisable(GL_BLEND);
}

}  // namespace

uint32_t DRAWLIST_Draw(DRAWLIST_OBJECT* object, double* size)
{
    *size = 1.0;
    glPushMatrix();
    for (DRAWLIST_ITEM* item = object ? object->first : nullptr; item; item = item->next) {
        switch (item->kind) {
        case DRAWLIST_SCALE: {
            auto* d = static_cast<DRAWLIST_SCALE_DATA*>(item->data);
            glScaled(d->x, d->y, d->z);
            break;
        }
        case DRAWLIST_SIZE: *size = static_cast<DRAWLIST_SIZE_DATA*>(item->data)->size; break;
        case DRAWLIST_TEXTURE_QUAD: DrawTextureQuad(static_cast<DRAWLIST_TEXTURE_QUAD_DATA*>(item->data)); break;
        case DRAWLIST_COLOR_QUAD: DrawColorQuad(static_cast<DRAWLIST_COLOR_QUAD_DATA*>(item->data)); break;
        case DRAWLIST_COLOR_SPHERE: DrawSphere(static_cast<DRAWLIST_SPHERE_DATA*>(item->data)); break;
        case DRAWLIST_COLOR_LINE: DrawLine(static_cast<DRAWLIST_LINE_DATA*>(item->data)); break;
        case DRAWLIST_CONE: DrawCone(static_cast<DRAWLIST_CONE_DATA*>(item->data)); break;
        default: break;
        }
    }
    glPopMatrix();
    return 1;
}

uint32_t DRAWLIST_LoadQuadTexture(const char* bitmapName, int32_t* slot)
{
    *slot = -1;
    if (!OGW_GetCurrentWindow()) return 1;
    *slot = OGW_LoadTexture(bitmapName);
    return *slot >= 0;
}

void DRAWLIST_DeleteQuadTexture(int32_t slot)
{
    if (slot >= 0) OGW_DeleteTexture(slot);
}

void DRAWLIST_InitQuadric()
{
    DRAWLIST_DoneQuadric();
    g_sphere = gluNewQuadric();
    if (!g_sphere) return;
    gluQuadricDrawStyle(g_sphere, GLU_FILL);
    gluQuadricNormals(g_sphere, GLU_SMOOTH);
    gluQuadricTexture(g_sphere, GL_FALSE);
}

void DRAWLIST_DoneQuadric()
{
    if (g_sphere) gluDeleteQuadric(g_sphere);
    g_sphere = nullptr;
}
