// SATELIT drawing: one satellite in the 3-D scene from its drawing copy: the
// body model, data items, axes, vectors, the field and orbit history, the
// label, the line to the Earth, the surface borders and the Sun vector.
#include <GL/gl.h>
#include <GL/glu.h>
#include <cstdio>
#include "simulation/orbit.h"
#include "simulation/raster.h"
#include "simulation/satelit.h"
#include "simulation/satelit_draw.h"
#include "simulation/sats.h"
#include "view/drawlist.h"
#include "view/gldraw.h"
#include "view/ogw.h"

namespace {

constexpr double kModelKm = 20.0;          // one model unit
constexpr double kFieldScale = 15000.0;    // nT per size unit
constexpr double kHistoryTurnKm2 = 1000000.0;

GLUquadric* g_flat = nullptr;
GLUquadric* g_smooth = nullptr;
GLUquadric* g_textured = nullptr;

struct SAT_AXIS_LOOK {
    uint8_t positive[3];
    uint8_t negative[3];
};

const SAT_AXIS_LOOK kBodyLook[3] = {
    {{29, 93, 255}, {141, 0, 250}}, {{189, 255, 29}, {127, 171, 7}}, {{255, 119, 29}, {158, 63, 0}}};
const SAT_AXIS_LOOK kOrbitLook[3] = {
    {{249, 170, 127}, {208, 116, 66}}, {{171, 128, 242}, {119, 71, 199}}, {{124, 252, 154}, {93, 187, 115}}};
const SAT_AXIS_LOOK kEciLook[3] = {
    {{228, 22, 56}, {93, 37, 46}}, {{56, 228, 22}, {46, 93, 37}}, {{22, 56, 228}, {37, 46, 93}}};
const SAT_AXIS_LOOK kMagLook[3] = {
    {{253, 65, 171}, {163, 101, 136}}, {{65, 253, 180}, {93, 177, 144}}, {{65, 158, 253}, {107, 123, 139}}};

const VEC3 kUnitAxes[3] = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}};

double Scale() 
{
    double perMetre;
    ORBIT_GetDisplayParam(ORBIT_PARAM_SCALE, &perMetre);
    return perMetre * 1000.0;
}

int32_t LabelFont()
{
    uint32_t font;
    ORBIT_GetDisplayParam(ORBIT_PARAM_LABEL_FONT, &font);
    return (int32_t)font;
}

VEC3 Mul(const VEC3& v, double f) { return VEC3{v.x * f, v.y * f, v.z * f}; }
VEC3 Add(const VEC3& a, const VEC3& b) { return VEC3{a.x + b.x, a.y + b.y, a.z + b.z}; }

void Color(const uint8_t c[3]) { GLDRAW_Color3ub(c[0], c[1], c[2]); }
void Color(const SAT_COLOR& c) { GLDRAW_Color3ub(c.r, c.g, c.b); }

void Vertex(const VEC3& v) { glVertex3d(v.x, v.y, v.z); }

void Line(const VEC3& a, const VEC3& b)
{
    glBegin(GL_LINES);
    Vertex(a);
    Vertex(b);
    glEnd();
}

void Label(const VEC3& at, int32_t font, const char* text)
{
    glRasterPos3d(at.x, at.y, at.z);
    OGW_PrintText(font, "%s", text);
}

// A body-frame matrix for OpenGL from the row-major rotation (body -> ECI).
void MultiplyRotation(const MAT33& m)
{
    double g[16] = {m.m[0], m.m[3], m.m[6], 0, m.m[1], m.m[4], m.m[7], 0,
                    m.m[2], m.m[5], m.m[8], 0, 0,      0,      0,      1};
    glMultMatrixd(g);
}

VEC3 Column(const MAT33& m, int c) { return VEC3{m.m[c], m.m[3 + c], m.m[6 + c]}; }

void LightFromIllumination(double illumination)
{
    GLDRAW_SetLightIntensity(0, illumination / 30.0);
}

void Sphere(GLUquadric* q, double radius, int slices)
{
    if (q) gluSphere(q, radius, slices, slices);
}

// Texturing, colour-material and lighting go off again after the sphere, so
// later satellites and the bars are drawn plain.
void TexturedSphere(const SATELIT* sat, uint32_t lit)
{
    if (lit) {
        glEnable(GL_LIGHTING);
        LightFromIllumination(sat->drawing.illumination);
    }
    glColor3f(1.0f, 1.0f, 1.0f);
    glColorMaterial(GL_FRONT_AND_BACK, GL_AMBIENT_AND_DIFFUSE);
    glEnable(GL_COLOR_MATERIAL);
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
    glEnable(GL_TEXTURE_2D);
    OGW_BindTexture(sat->texture);
    Sphere(g_textured, sat->radius, 30);
    glDisable(GL_TEXTURE_2D);
    glDisable(GL_COLOR_MATERIAL);
    glDisable(GL_LIGHTING);
}

// Draws the body model in the body frame; the size unit it sets.
double DrawModel(const SATELIT* sat)
{
    double s = 1.5 * Scale();
    GLDRAW_PushLight(0);
    switch (sat->graphicsModel) {
    case SAT_GRAPHICS_SPHERE:
        Color(sat->modelColor);
        Sphere(g_flat, sat->radius, 30);
        s = 1.2 * sat->radius;
        break;
    case SAT_GRAPHICS_SPHERESHADED:
        glEnable(GL_LIGHTING);
        glColorMaterial(GL_FRONT_AND_BACK, GL_AMBIENT_AND_DIFFUSE);
        glEnable(GL_COLOR_MATERIAL);
        Color(sat->modelColor);
        LightFromIllumination(sat->drawing.illumination);
        Sphere(g_smooth, sat->radius, 32);
        glDisable(GL_COLOR_MATERIAL);
        glDisable(GL_LIGHTING);
        s = 1.2 * sat->radius;
        break;
    case SAT_GRAPHICS_SPHERETEXTURED:
        TexturedSphere(sat, 0);
        s = 1.2 * sat->radius;
        break;
    case SAT_GRAPHICS_SPHERESHADEDTEXTURED:
        TexturedSphere(sat, 1);
        s = 1.2 * sat->radius;
        break;
    case SAT_GRAPHICS_BILLBOARD: s = 1.2 * sat->billboardSize[1] / 2.0; break;
    case SAT_GRAPHICS_USER:
        LightFromIllumination(sat->drawing.illumination);
        DRAWLIST_Draw(sat->userModel, &s);
        break;
    default: break;
    }
    GLDRAW_PopLight(0);
    return s;
}

// A billboard faces the camera, so it is drawn with the inertial orientation.
void DrawBillboard(const SATELIT* sat)
{
    if (sat->graphicsModel != SAT_GRAPHICS_BILLBOARD) return;
    const VEC3 origin{0, 0, 0};
    GLDRAW_BillboardReplace(&origin, sat->texture, sat->billboardSize[0], sat->billboardSize[1]);
}

// Lines from -from x s to +to x s along each axis, the two halves in their colours.
void AxisSet(const VEC3 axes[3], const SAT_AXIS_LOOK look[3], double inner, double outer)
{
    for (int i = 0; i < 3; i++) {
        Color(look[i].positive);
        Line(Mul(axes[i], inner), Mul(axes[i], outer));
        Color(look[i].negative);
        Line(Mul(axes[i], -inner), Mul(axes[i], -outer));
    }
}

void BodyAxes(const SATELIT* sat, double s, int32_t font)
{
    const SATELIT_DRAWING_COPY& c = sat->drawing;
    static const char* const kBodyNames[3] = {"x-BODY", "y-BODY", "z-BODY"};
    if (sat->localBodyAxes || sat->principalInertiaAxes) {
        glLineWidth(2.0f);
        glLineStipple(1, 0xCCCC);
        glEnable(GL_LINE_STIPPLE);
    }
    if (sat->localBodyAxes) {
        AxisSet(kUnitAxes, kBodyLook, 0.0, 3.0 * s);
        GLDRAW_Color3ub(200, 200, 200);
        for (int i = 0; i < 3; i++) {
            VEC3 at = Add(Mul(kUnitAxes[i], 3.0 * s), Mul(VEC3{1, 1, 1}, 0.07 * s));
            at = Add(at, Mul(kUnitAxes[i], -0.07 * s));
            Label(at, font, kBodyNames[i]);
        }
    }
    if (sat->principalInertiaAxes) {
        VEC3 axes[3] = {Column(c.principalAxes, 0), Column(c.principalAxes, 1), Column(c.principalAxes, 2)};
        static const char* const kFormats[3] = {"x-P (%lg)", "y-P (%lg)", "z-P (%lg)"};
        for (int i = 0; i < 3; i++) {
            Color(kBodyLook[i].positive);
            Line(VEC3{0, 0, 0}, Mul(axes[i], 3.0 * s));
            Color(kBodyLook[i].negative);
            Line(VEC3{0, 0, 0}, Mul(axes[i], -3.0 * s));
        }
        GLDRAW_Color3ub(200, 200, 200);
        for (int i = 0; i < 3; i++) {
            char text[64];
            snprintf(text, sizeof text, kFormats[i], c.principalMoments[i]);
            Label(Add(Mul(axes[i], 3.0 * s), Mul(VEC3{1, 1, 1}, 0.07 * s)), font, text);
        }
    }
    glDisable(GL_LINE_STIPPLE);
}

void LabelledFrame(const VEC3 axes[3], const SAT_AXIS_LOOK look[3], const char* const names[3], double s,
                   int32_t font)
{
    glLineWidth(2.0f);
    AxisSet(axes, look, 0.0, 4.0 * s);
    GLDRAW_Color3ub(160, 160, 160);
    for (int i = 0; i < 3; i++) Label(Add(Mul(axes[i], 4.07 * s), Mul(VEC3{1, 1, 1}, 0.07 * s)), font, names[i]);
}

void Rotation(const SATELIT* sat, double s, int32_t font)
{
    const VEC3& w = sat->drawing.angularVelocity;
    double length = VEC_Length(&w);
    // A body at rest has no axis of rotation to draw.
    if (length <= 1e-19) return;
    VEC3 unit = Mul(w, 1.0 / length);
    if (sat->rotationAxis) {
        glLineStipple(1, 0xFF18);
        glEnable(GL_LINE_STIPPLE);
        glLineWidth(2.0f);
        GLDRAW_Color3ub(180, 180, 180);
        Line(Mul(unit, -4.0 * s), Mul(unit, 4.0 * s));
        glDisable(GL_LINE_STIPPLE);
    }
    if (sat->angularVelocity) {
        char text[128];
        snprintf(text, sizeof text, "o=%.4lg [%.3lg,%.3lg,%.3lg]", length, w.x, w.y, w.z);
        glLineWidth(2.0f);
        Color(sat->extraColors[0]);
        GLDRAW_Arrow(VEC3{0, 0, 0}, Mul(unit, SATELIT_AngularVelocityArrowLength(length, s)), text, font);
    }
}

struct SAT_VECTOR_ARROW {
    uint32_t SATELIT::*flag;
    VEC3 SATELIT_DRAWING_COPY::*vector;
    double length;
    int colorIndex;           // -1: the fixed colour
    uint8_t color[3];
    const char* format;
};

const SAT_VECTOR_ARROW kArrows[] = {
    {&SATELIT::drawTotalTorque, &SATELIT_DRAWING_COPY::totalTorque, 2.3, 1, {0, 0, 0}, "t=%.4lg [%.3lg,%.3lg,%.3lg]"},
    {&SATELIT::drawSolarTorque, &SATELIT_DRAWING_COPY::solarTorque, 2.3, 1, {0, 0, 0},
     "t(S)=%.4lg [%.3lg,%.3lg,%.3lg]"},
    {&SATELIT::drawDragTorque, &SATELIT_DRAWING_COPY::dragTorque, 2.3, 1, {0, 0, 0}, "t(A)=%.4lg [%.3lg,%.3lg,%.3lg]"},
    {&SATELIT::drawMagneticDipole, &SATELIT_DRAWING_COPY::dipoleSum, 1.7, -1, {238, 156, 231},
     "M=%.4lg [%.3lg,%.3lg,%.3lg]"},
    {&SATELIT::drawGravityTorque, &SATELIT_DRAWING_COPY::gravityTorque, 1.7, 1, {0, 0, 0},
     "t(G)=%.4lg [%.3lg,%.3lg,%.3lg]"},
    {&SATELIT::drawMagneticTorque, &SATELIT_DRAWING_COPY::magneticTorque, 1.7, 1, {0, 0, 0},
     "t(M)=%.4lg [%.3lg,%.3lg,%.3lg]"},
};

void VectorArrows(const SATELIT* sat, double s, int32_t font)
{
    glLineWidth(1.0f);
    char text[128];
    for (const SAT_VECTOR_ARROW& a : kArrows) {
        const VEC3& v = sat->drawing.*a.vector;
        double length = VEC_Length(&v);
        if (!(sat->*a.flag) || length <= 1e-19) continue;
        if (a.colorIndex >= 0) Color(sat->extraColors[a.colorIndex]);
        else Color(a.color);
        snprintf(text, sizeof text, a.format, length, v.x, v.y, v.z);
        GLDRAW_Arrow(VEC3{0, 0, 0}, Mul(v, a.length * s / length), text, font);
    }
    const VEC3& v = sat->drawing.velocity;
    double speed = VEC_Length(&v);
    if (sat->linearVelocity && speed > 1e-19) {
        GLDRAW_Color3ub(215, 1, 11);
        snprintf(text, sizeof text, "v=%.0lf m/s", speed * 1000.0);
        GLDRAW_Arrow(VEC3{0, 0, 0}, Mul(v, 1.8 * s / speed), text, font);
    }
}

void ScaleTicks(const VEC3& axis, const VEC3& across, double f, double half, int32_t font)
{
    static const char* const kPositive[4] = {"10000", "20000", "30000", "40000"};
    static const char* const kNegative[4] = {"-10000", "-20000", "-30000", "-40000"};
    for (int i = 0; i < 4; i++) {
        double value = 10000.0 * (i + 1);
        SATELIT_DrawScaleTick(value, kPositive[i], f, half, axis, across);
        SATELIT_DrawScaleTick(-value, kNegative[i], f, half, axis, across);
    }
    (void)font;
}

void MagAxes(const SATELIT* sat, const VEC3 axes[3], double s, int32_t font)
{
    static const char* const kNames[3] = {"x-MAG", "y-MAG", "z-MAG"};
    glLineWidth(2.0f);
    AxisSet(axes, kMagLook, 0.0, 4.0 * s);
    if (sat->magVectorComponents) {
        glLineWidth(1.0f);
        for (int i = 0; i < 3; i++) ScaleTicks(axes[i], axes[(i + 1) % 3], s / kFieldScale, 0.02 * s, font);
    }
    GLDRAW_Color3ub(160, 160, 160);
    for (int i = 0; i < 3; i++) Label(Mul(Add(axes[i], VEC3{0.0175, 0.0175, 0.0175}), 4.0 * s), font, kNames[i]);
}

void FieldBox(const VEC3 axes[3], const VEC3& b, double f, const VEC3& tip)
{
    VEC3 x = Mul(axes[0], f * VEC_Dot(&b, &axes[0]));
    VEC3 y = Mul(axes[1], f * VEC_Dot(&b, &axes[1]));
    VEC3 z = Mul(axes[2], f * VEC_Dot(&b, &axes[2]));
    glLineStipple(1, 0xAAAA);
    glEnable(GL_LINE_STIPPLE);
    glEnable(GL_BLEND);
    GLDRAW_Color4ub(160, 160, 160, 100);
    glBegin(GL_LINE_LOOP);
    for (const VEC3& p : {x, Add(x, y), y, Add(y, z), z, Add(x, z)}) Vertex(p);
    glEnd();
    Line(Add(x, y), tip);
    Line(Add(x, z), tip);
    Line(Add(y, z), tip);
    glDisable(GL_BLEND);
    glDisable(GL_LINE_STIPPLE);
    GLDRAW_Color3ub(192, 192, 192);
    for (const VEC3& p : {x, y, z}) {
        glPushMatrix();
        glTranslated(p.x, p.y, p.z);
        Sphere(g_flat, 0.01 * f * kFieldScale, 4);
        glPopMatrix();
    }
}

void FieldHistory(const SATELIT* sat, double f, const VEC3& tip)
{
    const SATELIT_DRAWING_COPY& c = sat->drawing;
    if (!sat->fieldHistoryOn || c.fieldHistoryCount == 0) return;
    glEnable(GL_BLEND);
    VEC3 previous = tip;
    glBegin(GL_TRIANGLES);
    for (uint32_t i = 0; i < c.fieldHistoryCount; i++) {
        VEC3 p = Mul(c.fieldHistory[i], f);
        const SAT_COLOR& col = sat->magVectorColor;
        GLDRAW_Color4ub(col.r, col.g, col.b, (uint8_t)(100 - 50 * i / c.fieldHistoryCount));
        Vertex(VEC3{0, 0, 0});
        Vertex(previous);
        Vertex(p);
        previous = p;
    }
    glEnd();
    glDisable(GL_BLEND);
}

void MagVector(const SATELIT* sat, const VEC3 axes[3], double s, int32_t font)
{
    const VEC3& b = sat->drawing.fieldEci;
    double f = s / kFieldScale;
    VEC3 tip = Mul(b, f);
    char text[128];
    snprintf(text, sizeof text, "B=%d [%d,%d,%d]", (int)VEC_Length(&b), (int)b.x, (int)b.y, (int)b.z);
    glLineWidth(2.0f);
    Color(sat->magVectorColor);
    GLDRAW_Arrow(VEC3{0, 0, 0}, tip, text, font);
    if (sat->magVectorComponents) FieldBox(axes, b, f, tip);
    FieldHistory(sat, f, tip);
}

void NameLabel(const SATELIT* sat, OGW_WINDOW* window, double s, int32_t font)
{
    if (!sat->name) return;
    const SATELIT_DRAWING_COPY& c = sat->drawing;
    VEC3 up;
    OGW_GetViewUp(window, &up);
    char text[256];
    if (sat->drawTitleInfo)
        snprintf(text, sizeof text, "%s [%6.2f, %6.2f at %6.2f km, osvětlení %6.2f]", sat->name, c.longitude,
                 c.latitude, c.altitude, c.illumination);
    else
        snprintf(text, sizeof text, "%s", sat->name);
    GLDRAW_Color3ub(255, 255, 255);
    Label(Mul(up, s), font, text);
}

// One projection's filled triangles, moved `distance` size units along its
// direction. The simulation replaces the triangles under the lock.
void Projection(const SAT_PROJECTION_BLOCK& block, const VEC3& direction, double distance, const SAT_COLOR& color,
                double s, void (*lock)(), void (*unlock)())
{
    glPushAttrib(GL_ENABLE_BIT);
    glDisable(GL_CULL_FACE);
    glPushMatrix();
    VEC3 at = Mul(direction, distance * s);
    glTranslated(at.x, at.y, at.z);
    Color(color);
    lock();
    if (block.triangles) {
        glBegin(GL_TRIANGLES);
        for (const RASTER_TRIANGLE* t = block.triangles->head; t; t = t->next)
            for (const RASTER_POINT& p : t->corners) Vertex(Add(Mul(block.u, p.x), Mul(block.w, p.y)));
        glEnd();
    }
    unlock();
    glPopMatrix();
    glPopAttrib();
}

void Projections(const SATELIT* sat, double s)
{
    const SATELIT_DRAWING_COPY& c = sat->drawing;
    if (sat->drawSunProjection && c.illumination > 0.0)
        Projection(sat->sunProjection, c.sunProjectionDirection, sat->sunProjectionDistance, sat->sunProjectionColor,
                   s, SATS_LockSunProjection, SATS_UnlockSunProjection);
    if (sat->drawDragProjection)
        Projection(sat->dragProjection, c.dragProjectionDirection, sat->dragProjectionDistance,
                   sat->dragProjectionColor, s, SATS_LockDragProjection, SATS_UnlockDragProjection);
}

// Everything drawn about the satellite with the inertial orientation.
void InertialFrame(SATELIT* sat, OGW_WINDOW* window, double s, int32_t font)
{
    static const char* const kOrbitNames[3] = {"x-ORBIT", "y-ORBIT", "z-ORBIT"};
    static const char* const kEciNames[3] = {"x-ECI", "y-ECI", "z-ECI"};
    DrawBillboard(sat);
    Projections(sat, s);
    if (sat->localOrbitAxes) LabelledFrame(sat->drawing.orbitAxes, kOrbitLook, kOrbitNames, s, font);
    if (sat->localEciAxes) LabelledFrame(kUnitAxes, kEciLook, kEciNames, s, font);
    Rotation(sat, s, font);
    VectorArrows(sat, s, font);
    VEC3 magAxes[3];
    SATELIT_LocalFieldAxes(&sat->drawing.position, magAxes);
    if (sat->localMagAxes) MagAxes(sat, magAxes, s, font);
    if (sat->magVector) MagVector(sat, magAxes, s, font);
    NameLabel(sat, window, s, font);
}

void Border(const SATELIT* sat, double d, const SAT_COLOR& color, double k)
{
    VEC3 points[SATELIT_BORDER_MAX_POINTS];
    uint32_t n = SATELIT_BorderPoints(&sat->drawing.position, d, sat->drawing.altitude, points);
    if (n == 0) return;
    GLDRAW_Color4ub(color.r, color.g, color.b, 240);
    glEnable(GL_BLEND);
    glLineWidth(1.0f);
    glBegin(GL_LINE_LOOP);
    for (uint32_t i = 0; i < n; i++) Vertex(Mul(points[i], k));
    glEnd();
    glDisable(GL_BLEND);
}

void History(const SATELIT* sat, double k)
{
    const SATELIT_DRAWING_COPY& c = sat->drawing;
    if (!c.history || c.historyCount == 0) return;
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glLineWidth(2.0f);
    glBegin(GL_LINE_STRIP);
    GLDRAW_Color4ub(200, 200, 200, 250);
    Vertex(Mul(c.position, k));
    uint32_t index = c.historyNextIndex;
    uint32_t capacity = SAT_ORBIT_HISTORY_CAPACITY;
    bool wentAway = false;
    for (uint32_t i = 0; i < c.historyCount; i++) {
        index = (index + capacity - 1) % capacity;
        const VEC3& p = c.history[index];
        GLDRAW_Color4ub((uint8_t)(200 - 90 * i / c.historyCount), (uint8_t)(200 - 90 * i / c.historyCount),
                        (uint8_t)(200 - 90 * i / c.historyCount), (uint8_t)(250 - 100 * i / c.historyCount));
        Vertex(Mul(p, k));
        double dx = p.x - c.position.x, dy = p.y - c.position.y, dz = p.z - c.position.z;
        double d2 = dx * dx + dy * dy + dz * dz;
        if (d2 > kHistoryTurnKm2) wentAway = true;
        else if (wentAway) break;
    }
    glEnd();
    glDisable(GL_BLEND);
}

// Everything drawn in the world frame.
void WorldFrame(const SATELIT* sat, double s, double k, int32_t font)
{
    const SATELIT_DRAWING_COPY& c = sat->drawing;
    VEC3 p = Mul(c.position, k);
    if (sat->trackLine) {
        glEnable(GL_BLEND);
        GLDRAW_Color4ub(sat->trackColor.r, sat->trackColor.g, sat->trackColor.b, 155);
        glLineWidth(2.0f);
        Line(VEC3{0, 0, 0}, p);
        glDisable(GL_BLEND);
    }
    for (uint32_t i = 0; i < sat->distanceBorderCount && i < SAT_MAX_DISTANCE_BORDERS; i++)
        Border(sat, sat->distanceBorders[i].distanceKm, sat->distanceBorders[i].color, k);
    if (sat->visibilityBorder) Border(sat, SATELIT_HorizonDistance(c.altitude), sat->visibilityColor, k);
    if (sat->sunVector) {
        VEC3 d{c.sunVector.x - c.position.x, c.sunVector.y - c.position.y, c.sunVector.z - c.position.z};
        if (!VEC_IsZero(&d)) {
            VEC_SetLength(&d, 3.0 * s * kModelKm * k);
            glLineWidth(2.0f);
            Color(sat->sunVectorColor);
            GLDRAW_Arrow(p, Add(p, d), "Sun", font);
        }
    }
    History(sat, k);
}

void DrawOne(SATELIT* sat, OGW_WINDOW* window)
{
    double k = Scale();
    int32_t font = LabelFont();
    const SATELIT_DRAWING_COPY& c = sat->drawing;
    glPushMatrix();
    glTranslated(c.position.x * k, c.position.y * k, c.position.z * k);
    glScaled(kModelKm * k, kModelKm * k, kModelKm * k);
    glPushMatrix();
    MultiplyRotation(c.rotation);
    glPushMatrix();
    glTranslated(-c.centreOfMass.x, -c.centreOfMass.y, -c.centreOfMass.z);
    double s = DrawModel(sat);
    glPopMatrix();
    SATELIT_DrawDataItems(sat, s, font);
    BodyAxes(sat, s, font);
    glPopMatrix();
    InertialFrame(sat, window, s, font);
    glPopMatrix();
    WorldFrame(sat, s, k, font);
    glLineWidth(1.0f);
}

}  // namespace

void SATELIT_DrawScaleTick(double value, const char* label, double scale, double half, const VEC3& axis,
                           const VEC3& across)
{
    VEC3 at = Mul(axis, value * scale);
    Line(Add(at, Mul(across, -half)), Add(at, Mul(across, half)));
    if (!label) return;
    GLDRAW_Color3ub(160, 160, 160);
    uint32_t font;
    ORBIT_GetDisplayParam(ORBIT_PARAM_LABEL_FONT, &font);
    Label(Add(at, Mul(across, 2.0 * half)), (int32_t)font, label);
}

void SATELIT_Draw(SATELIT* sat, OGW_WINDOW* window)
{
    DrawOne(sat, window);
}

void SATS_DrawAll(OGW_WINDOW* window)
{
    for (SATELIT* sat = SATS_GetFirst(); sat; sat = sat->next) SATELIT_Draw(sat, window);
}

void SATELIT_InitDrawing()
{
    SATELIT_DoneDrawing();
    g_flat = gluNewQuadric();
    g_smooth = gluNewQuadric();
    g_textured = gluNewQuadric();
    for (GLUquadric* q : {g_flat, g_smooth, g_textured})
        if (q) gluQuadricDrawStyle(q, GLU_FILL);
    if (g_flat) gluQuadricNormals(g_flat, GLU_FLAT);
    if (g_smooth) gluQuadricNormals(g_smooth, GLU_SMOOTH);
    if (g_textured) {
        gluQuadricNormals(g_textured, GLU_SMOOTH);
        gluQuadricTexture(g_textured, GL_TRUE);
    }
}

void SATELIT_DoneDrawing()
{
    for (GLUquadric** q : {&g_flat, &g_smooth, &g_textured}) {
        if (*q) gluDeleteQuadric(*q);
        *q = nullptr;
    }
}
