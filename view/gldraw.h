// GLDRAW: immediate-mode drawing primitives for the window's draw callback:
// colours from bytes, labelled axes, arrows, translucent cones, textured
// quads and billboards, text beside 3-D points, the eight lights with a
// save/restore stack, and 4 x 4 matrices. Render thread only, with the
// window's context current.
#pragma once
#include <cstdint>
#include "foundation/vecmath.h"
#include "view/ogw.h"

struct GLDRAW_AXIS {
    const char* label;   // null: none
    VEC3 direction;
    double length;
    uint8_t negativeColor[3];
    uint8_t positiveColor[3];
    uint32_t ringA;
    uint32_t ringB;
    double ringRadius;
    double ringPosition;
    uint8_t labelColor[3];
    VEC3 labelOffset;
    double lineWidth;
    uint16_t stippleFactor;   // 0: solid
    uint16_t stipplePattern;
};

constexpr uint32_t GLDRAW_LIGHTS = 8;
constexpr uint32_t GLDRAW_VALUE_STACK_SIZE = 256;
constexpr uint32_t GLDRAW_CONE_RIM_POINTS = 60;

// Clears the value stack and the light state (window library start).
void GLDRAW_Reset();

void GLDRAW_Color3ub(uint8_t r, uint8_t g, uint8_t b);
void GLDRAW_Color4ub(uint8_t r, uint8_t g, uint8_t b, uint8_t a);
void GLDRAW_Axes(const GLDRAW_AXIS axes[3], OGW_FONT_SLOT font);
void GLDRAW_TexturedQuad(OGW_TEXTURE_SLOT slot, const VEC3* c1, const VEC3* c2, const VEC3* c3, const VEC3* c4);
void GLDRAW_Billboard(const VEC3* centre, OGW_TEXTURE_SLOT slot, double width, double height, int32_t envMode,
                      double angleDegrees);
void GLDRAW_BillboardReplace(const VEC3* centre, OGW_TEXTURE_SLOT slot, double width, double height);
void GLDRAW_Arrow(VEC3 from, VEC3 to, const char* label, OGW_FONT_SLOT font);
void GLDRAW_TranslucentCone(OGW_WINDOW* window, const VEC3* apex, const VEC3* baseCentre, double angle);
double GLDRAW_PullTowardEye(const VEC3* position, VEC3* result, double scale);
void GLDRAW_TextAt(const VEC3* position, double upOffset, double eyeOffset, OGW_FONT_SLOT font, const char* text);
void GLDRAW_TextAbove(const VEC3* position, double upOffset, OGW_FONT_SLOT font, const char* text);

void GLDRAW_SetLight(uint32_t light, const double ambient[4], const double diffuse[4], const double specular[4]);
void GLDRAW_SetLightPosition(uint32_t light, double x, double y, double z);
void GLDRAW_EnableLight(uint32_t light);
void GLDRAW_SetLightIntensity(uint32_t light, double percent);
double GLDRAW_GetLightIntensity(uint32_t light);
void GLDRAW_PushLight(uint32_t light);
void GLDRAW_PopLight(uint32_t light);
void GLDRAW_PushValue(double value);
void GLDRAW_PopValue(double* value);
void GLDRAW_GetEyePosition(VEC3* eye);

// 4 x 4 matrices in OpenGL's column-major order (row r, column c at 4c + r).
void MAT44_Transpose(const double in[16], double out[16]);
void MAT44_MulVector(const double vector[4], double out[4], const double matrix[16]);
void MAT44_Multiply(const double a[16], const double b[16], double out[16]);
void MAT44_Scale(double matrix[16], double factor);
double MAT44_Determinant(const double matrix[16]);
// The inverse; a singular matrix (|determinant| below 1e-300) gives the
// identity and 0, else 1.
uint32_t MAT44_Inverse(const double in[16], double out[16]);
