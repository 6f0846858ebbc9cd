// Drawing helpers over OpenGL 1.1 immediate mode.
#include "foundation/constants.h"
#include "view/gldraw.h"
#include <GL/gl.h>
#include <cmath>
#include <cstring>

namespace {

constexpr GLenum LIGHT_IDS[GLDRAW_LIGHTS] = {GL_LIGHT0, GL_LIGHT1, GL_LIGHT2, GL_LIGHT3,
                                             GL_LIGHT4, GL_LIGHT5, GL_LIGHT6, GL_LIGHT7};
constexpr double PULL_LIMIT = 1000.0;
constexpr double CONE_STEP = 0.10471975511965977;   // 6 degrees
constexpr double SINGULAR_DETERMINANT = 1e-300;

struct LightState {
    double ambient[4];
    double diffuse[4];
    double specular[4];
    double percent;
};

LightState g_lights[GLDRAW_LIGHTS];
double g_values[GLDRAW_VALUE_STACK_SIZE];
uint32_t g_valueDepth = 0;
double g_rimX[GLDRAW_CONE_RIM_POINTS], g_rimY[GLDRAW_CONE_RIM_POINTS], g_rimZ[GLDRAW_CONE_RIM_POINTS];

VEC3 Add(const VEC3& a, const VEC3& b) { return VEC3{a.x + b.x, a.y + b.y, a.z + b.z}; }
VEC3 Sub(const VEC3& a, const VEC3& b) { return VEC3{a.x - b.x, a.y - b.y, a.z - b.z}; }
VEC3 Mul(const VEC3& a, double f) { return VEC3{a.x * f, a.y * f, a.z * f}; }
void Vertex(const VEC3& v) { glVertex3d(v.x, v.y, v.z); }

VEC3 LiveEye()
{
    VEC3 eye{0, 0, 0};
    if (OGW_WINDOW* w = OGW_GetCurrentWindow())
        OGW_GetLiveEye(w, &eye);
    return eye;
}

// A vector perpendicular to d of the given length.
VEC3 Perpendicular(const VEC3& d, double length)
{
    VEC3 v = d;
    VEC_MakePerpendicular(&v);
    VEC_SetLength(&v, length);
    return v;
}

void SetLightColours(uint32_t light, const double ambient[4], const double diffuse[4], const double specular[4])
{
    float a[4], d[4], s[4];
    for (int i = 0; i < 4; ++i) {
        a[i] = static_cast<float>(ambient[i]);
        d[i] = static_cast<float>(diffuse[i]);
        s[i] = static_cast<float>(specular[i]);
    }
    glLightfv(LIGHT_IDS[light], GL_AMBIENT, a);
    glLightfv(LIGHT_IDS[light], GL_DIFFUSE, d);
    glLightfv(LIGHT_IDS[light], GL_SPECULAR, s);
}

void DrawAxis(const GLDRAW_AXIS& a, OGW_FONT_SLOT font)
{
    GLfloat savedWidth = 1.0f;
    glGetFloatv(GL_LINE_WIDTH, &savedWidth);
    glLineWidth(static_cast<float>(a.lineWidth));
    if (a.stippleFactor) {
        glEnable(GL_LINE_STIPPLE);
        glLineStipple(a.stippleFactor, a.stipplePattern);
    }
    VEC3 end = Mul(a.direction, a.length);
    glBegin(GL_LINES);
    GLDRAW_Color3ub(a.negativeColor[0], a.negativeColor[1], a.negativeColor[2]);
    Vertex(Mul(end, -1.0));
    Vertex(VEC3{0, 0, 0});
    GLDRAW_Color3ub(a.positiveColor[0], a.positiveColor[1], a.positiveColor[2]);
    Vertex(VEC3{0, 0, 0});
    Vertex(end);
    glEnd();
    glDisable(GL_LINE_STIPPLE);
    if (a.ringA || a.ringB) {
        VEC3 points[8];
        VEC3 spoke = Perpendicular(a.direction, 1.0);
        QUAT turn;
        QUAT_FromAxisAngle(&turn, CONST_PI / 4, a.direction.x, a.direction.y, a.direction.z);
        VEC3 centre = Mul(a.direction, a.ringPosition);
        for (VEC3& p : points) {
            p = Add(Mul(spoke, a.ringRadius), centre);
            QUAT_RotateVector(&spoke, &turn);
        }
        const uint8_t* colours[2] = {a.negativeColor, a.positiveColor};
        const uint32_t flags[2] = {a.ringA, a.ringB};
        for (int ring = 0; ring < 2; ++ring) {
            if (!flags[ring])
                continue;
            GLDRAW_Color3ub(colours[ring][0], colours[ring][1], colours[ring][2]);
            glBegin(GL_LINE_LOOP);
            for (const VEC3& p : points)
                Vertex(p);
            glEnd();
        }
    }
    glLineWidth(savedWidth);
    if (a.label) {
        GLDRAW_Color3ub(a.labelColor[0], a.labelColor[1], a.labelColor[2]);
        VEC3 at = Add(end, a.labelOffset);
        glRasterPos3d(at.x, at.y, at.z);
        OGW_PrintText(font, "%s", a.label);
    }
}

bool EyePosition(VEC3* eye)
{
    double modelview[16], inverse[16];
    glGetDoublev(GL_MODELVIEW_MATRIX, modelview);
    uint32_t invertible = MAT44_Inverse(modelview, inverse);
    const double origin[4] = {0, 0, 0, 1};
    double out[4];
    MAT44_MulVector(origin, out, inverse);
    *eye = VEC3{out[0], out[1], out[2]};
    return invertible != 0;
}

double Minor3(const double m[16], int skipRow, int skipCol)
{
    double s[9];
    int k = 0;
    for (int c = 0; c < 4; ++c) {
        if (c == skipCol)
            continue;
        for (int r = 0; r < 4; ++r)
            if (r != skipRow)
                s[k++] = m[4 * c + r];
    }
    // s is column-major 3 x 3.
    return s[0] * (s[4] * s[8] - s[7] * s[5]) - s[3] * (s[1] * s[8] - s[7] * s[2]) + s[6] * (s[1] * s[5] - s[4] * s[2]);
}

}

void GLDRAW_Reset()
{
    memset(g_lights, 0, sizeof g_lights);
    g_valueDepth = 0;
}

void GLDRAW_Color3ub(uint8_t r, uint8_t g, uint8_t b)
{
    glColor3f(r / 255.0f, g / 255.0f, b / 255.0f);
}

void GLDRAW_Color4ub(uint8_t r, uint8_t g, uint8_t b, uint8_t a)
{
    glColor4f(r / 255.0f, g / 255.0f, b / 255.0f, a / 255.0f);
}

void GLDRAW_Axes(const GLDRAW_AXIS axes[3], OGW_FONT_SLOT font)
{
    for (int i = 0; i < 3; ++i)
        DrawAxis(axes[i], font);
}

void GLDRAW_TexturedQuad(OGW_TEXTURE_SLOT slot, const VEC3* c1, const VEC3* c2, const VEC3* c3, const VEC3* c4)
{
    if (slot != -1)
        OGW_BindTexture(slot);
    VEC3 e1 = Sub(*c2, *c1), e2 = Sub(*c4, *c1);
    VEC3 normal;
    VEC_Cross(&e1, &e2, &normal);
    VEC_Normalize(&normal);
    glBegin(GL_QUADS);
    glNormal3d(normal.x, normal.y, normal.z);
    glTexCoord2d(0, 0);
    Vertex(*c1);
    glTexCoord2d(1, 0);
    Vertex(*c2);
    glTexCoord2d(1, 1);
    Vertex(*c3);
    glTexCoord2d(0, 1);
    Vertex(*c4);
    glEnd();
}

void GLDRAW_Billboard(const VEC3* centre, OGW_TEXTURE_SLOT slot, double width, double height, int32_t envMode,
                      double angleDegrees)
{
    OGW_WINDOW* w = OGW_GetCurrentWindow();
    if (!w)
        return;
    VEC3 right, up, eye;
    OGW_GetViewRight(w, &right);
    OGW_GetViewUp(w, &up);
    OGW_GetLiveEye(w, &eye);
    VEC3 r = Mul(right, width / 2), u = Mul(up, height / 2);
    VEC3 c1 = Sub(Sub(*centre, r), u), c2 = Sub(Add(*centre, r), u);
    VEC3 c3 = Add(Add(*centre, r), u), c4 = Add(Sub(*centre, r), u);
    bool rotated = angleDegrees > 0.0;
    if (rotated) {
        VEC3 axis = Sub(eye, *centre);
        glPushMatrix();
        glTranslated(eye.x, eye.y, eye.z);
        glRotated(angleDegrees, axis.x, axis.y, axis.z);
        glTranslated(-eye.x, -eye.y, -eye.z);
    }
    glEnable(GL_TEXTURE_2D);
    OGW_BindTexture(slot);
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, envMode);
    glBegin(GL_QUADS);
    glTexCoord2d(0, 0);
    Vertex(c1);
    glTexCoord2d(0, 1);
    Vertex(c2);
    glTexCoord2d(1, 1);
    Vertex(c3);
    glTexCoord2d(1, 0);
    Vertex(c4);
    glEnd();
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
    glDisable(GL_TEXTURE_2D);
    if (rotated)
        glPopMatrix();
}

void GLDRAW_BillboardReplace(const VEC3* centre, OGW_TEXTURE_SLOT slot, double width, double height)
{
    GLDRAW_Billboard(centre, slot, width, height, GL_REPLACE, 0.0);
}

void GLDRAW_Arrow(VEC3 from, VEC3 to, const char* label, OGW_FONT_SLOT font)
{
    glBegin(GL_LINES);
    Vertex(from);
    Vertex(to);
    glEnd();
    VEC3 d = Sub(to, from);
    VEC3 base = Add(from, Mul(d, 0.95));
    VEC3 spoke = Perpendicular(d, 0.01 * VEC_Length(&d));
    QUAT turn;
    QUAT_FromAxisAngle(&turn, CONST_PI / 4, d.x, d.y, d.z);
    VEC3 rim[8];
    for (VEC3& p : rim) {
        p = Add(base, spoke);
        QUAT_RotateVector(&spoke, &turn);
    }
    glLineWidth(1.0f);
    glBegin(GL_TRIANGLES);
    for (int k = 0; k < 8; ++k) {
        int next = (k + 1) % 8;
        Vertex(to), Vertex(rim[k]), Vertex(rim[next]);
        Vertex(rim[k]), Vertex(rim[next]), Vertex(base);
    }
    glEnd();
    if (label) {
        VEC3 at = Add(to, Mul(d, 0.05));
        glRasterPos3d(at.x, at.y, at.z);
        OGW_PrintText(font, "%s", label);
    }
}

void GLDRAW_TranslucentCone(OGW_WINDOW*, const VEC3* apex, const VEC3* baseCentre, double angle)
{
    VEC3 d = Sub(*baseCentre, *apex);
    double radius = std::tan(angle / 2) * VEC_Length(&d);
    VEC3 eye;
    // A singular modelview leaves no eye to sort the cone by: skip it.
    if (!EyePosition(&eye))
        return;
    VEC3 spoke = Perpendicular(d, radius);
    QUAT turn;
    QUAT_FromAxisAngle(&turn, CONE_STEP, d.x, d.y, d.z);
    int far = 0;
    double farDistance = -1.0;
    for (uint32_t i = 0; i < GLDRAW_CONE_RIM_POINTS; ++i) {
        VEC3 p = Add(*baseCentre, spoke);
        g_rimX[i] = p.x, g_rimY[i] = p.y, g_rimZ[i] = p.z;
        double distance = VEC_Distance(&p, &eye);
        if (distance > farDistance)
            farDistance = distance, far = static_cast<int>(i);
        QUAT_RotateVector(&spoke, &turn);
    }
    auto rim = [](int i) {
        int n = static_cast<int>(GLDRAW_CONE_RIM_POINTS);
        int k = ((i % n) + n) % n;   // never negative
        return VEC3{g_rimX[k], g_rimY[k], g_rimZ[k]};
    };
    glEnable(GL_BLEND);
    glBegin(GL_TRIANGLES);
    for (int k = 0; k < 30; ++k) {
        Vertex(*apex), Vertex(rim(far + k)), Vertex(rim(far + k + 1));
        Vertex(*apex), Vertex(rim(far - k)), Vertex(rim(far - k - 1));
    }
    glEnd();
    glDisable(GL_BLEND);
}

double GLDRAW_PullTowardEye(const VEC3* position, VEC3* result, double scale)
{
    VEC3 eye = LiveEye();
    VEC3 v = Sub(Mul(*position, scale), eye);
    double length = VEC_Length(&v);
    double factor = 1.0;
    if (length >= PULL_LIMIT) {
        factor = length / PULL_LIMIT;
        v = Mul(v, 1.0 / factor);
    }
    *result = Add(v, eye);
    return factor;
}

void GLDRAW_TextAt(const VEC3* position, double upOffset, double eyeOffset, OGW_FONT_SLOT font, const char* text)
{
    OGW_WINDOW* w = OGW_GetCurrentWindow();
    if (!w)
        return;
    VEC3 up, eye;
    OGW_GetViewUp(w, &up);
    OGW_GetLiveEye(w, &eye);
    VEC3 toward = Sub(*position, eye);
    VEC_Normalize(&toward);
    VEC3 at = Sub(Add(*position, Mul(up, upOffset)), Mul(toward, eyeOffset));
    glRasterPos3d(at.x, at.y, at.z);
    OGW_PrintText(font, "%s", text);
}

void GLDRAW_TextAbove(const VEC3* position, double upOffset, OGW_FONT_SLOT font, const char* text)
{
    OGW_WINDOW* w = OGW_GetCurrentWindow();
    if (!w)
        return;
    VEC3 up;
    OGW_GetViewUp(w, &up);
    VEC3 at = Add(*position, Mul(up, upOffset));
    glRasterPos3d(at.x, at.y, at.z);
    OGW_PrintText(font, "%s", text);
}

void GLDRAW_SetLight(uint32_t light, const double ambient[4], const double diffuse[4], const double specular[4])
{
    if (light >= GLDRAW_LIGHTS)
        return;
    LightState& s = g_lights[light];
    memcpy(s.ambient, ambient, sizeof s.ambient);
    memcpy(s.diffuse, diffuse, sizeof s.diffuse);
    memcpy(s.specular, specular, sizeof s.specular);
    SetLightColours(light, ambient, diffuse, specular);
}

void GLDRAW_SetLightPosition(uint32_t light, double x, double y, double z)
{
    if (light >= GLDRAW_LIGHTS)
        return;
    const float position[4] = {static_cast<float>(x), static_cast<float>(y), static_cast<float>(z), 1.0f};
    glLightfv(LIGHT_IDS[light], GL_POSITION, position);
}

void GLDRAW_EnableLight(uint32_t light)
{
    if (light < GLDRAW_LIGHTS)
        glEnable(LIGHT_IDS[light]);
}

void GLDRAW_SetLightIntensity(uint32_t light, double percent)
{
    if (light >= GLDRAW_LIGHTS)
        return;
    LightState& s = g_lights[light];
    double f = percent / 100.0;
    double diffuse[4] = {s.diffuse[0] * f, s.diffuse[1] * f, s.diffuse[2] * f, s.diffuse[3]};
    double specular[4] = {s.specular[0] * f, s.specular[1] * f, s.specular[2] * f, s.specular[3]};
    GLDRAW_SetLight(light, s.ambient, diffuse, specular);
    s.percent = percent;
}

double GLDRAW_GetLightIntensity(uint32_t light)
{
    return light < GLDRAW_LIGHTS ? g_lights[light].percent : 0.0;
}

void GLDRAW_PushLight(uint32_t light)
{
    if (light >= GLDRAW_LIGHTS)
        return;
    const LightState& s = g_lights[light];
    for (const double* colour : {s.ambient, s.diffuse, s.specular})
        for (int i = 0; i < 4; ++i)
            GLDRAW_PushValue(colour[i]);
}

void GLDRAW_PopLight(uint32_t light)
{
    if (light >= GLDRAW_LIGHTS)
        return;
    double ambient[4], diffuse[4], specular[4];
    for (double* colour : {specular, diffuse, ambient})
        for (int i = 3; i >= 0; --i)
            GLDRAW_PopValue(&colour[i]);
    GLDRAW_SetLight(light, ambient, diffuse, specular);
}

void GLDRAW_PushValue(double value)
{
    if (g_valueDepth < GLDRAW_VALUE_STACK_SIZE)
        g_values[g_valueDepth++] = value;
}

void GLDRAW_PopValue(double* value)
{
    *value = g_valueDepth > 0 ? g_values[--g_valueDepth] : 0.0;
}

void GLDRAW_GetEyePosition(VEC3* eye)
{
    EyePosition(eye);
}

void MAT44_Transpose(const double in[16], double out[16])
{
    double t[16];
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c)
            t[4 * r + c] = in[4 * c + r];
    memcpy(out, t, sizeof t);
}

void MAT44_MulVector(const double vector[4], double out[4], const double matrix[16])
{
    double t[4];
    for (int r = 0; r < 4; ++r)
        t[r] = matrix[r] * vector[0] + matrix[4 + r] * vector[1] + matrix[8 + r] * vector[2] + matrix[12 + r] * vector[3];
    memcpy(out, t, sizeof t);
}

void MAT44_Multiply(const double a[16], const double b[16], double out[16])
{
    double t[16];
    for (int c = 0; c < 4; ++c)
        for (int r = 0; r < 4; ++r) {
            double sum = 0;
            for (int k = 0; k < 4; ++k)
                sum += a[4 * k + r] * b[4 * c + k];
            t[4 * c + r] = sum;
        }
    memcpy(out, t, sizeof t);
}

void MAT44_Scale(double matrix[16], double factor)
{
    for (int i = 0; i < 16; ++i)
        matrix[i] *= factor;
}

double MAT44_Determinant(const double m[16])
{
    double det = 0;
    for (int c = 0; c < 4; ++c) {
        double sign = (c % 2) ? -1.0 : 1.0;
        det += sign * m[4 * c] * Minor3(m, 0, c);
    }
    return det;
}

uint32_t MAT44_Inverse(const double in[16], double out[16])
{
    double det = MAT44_Determinant(in);
    if (std::fabs(det) < SINGULAR_DETERMINANT) {
        for (int i = 0; i < 16; ++i)
            out[i] = (i % 5 == 0) ? 1.0 : 0.0;
        return 0;
    }
    double t[16];
    // Inverse = adjugate / det; the adjugate is the transposed cofactor matrix.
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c) {
            double sign = ((r + c) % 2) ? -1.0 : 1.0;
            t[4 * r + c] = sign * Minor3(in, r, c) / det;
        }
    memcpy(out, t, sizeof t);
    return 1;
}
