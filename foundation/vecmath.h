// VEC / MAT / QUAT / MATH: vectors, row-major 3x3 matrices, quaternions (scalar first).
#pragma once
#include <cstdint>

struct VEC3 { double x, y, z; };
struct MAT33 { double m[9]; };
struct QUAT { double w, x, y, z; };

constexpr double MATH_TOLERANCE = 1e-10;
constexpr double MATH_TOLERANCE_FINE = 1e-19;

struct MATH_DIV_RESULT { int32_t quot; int32_t rem; };

int MATH_ApproxEqual(double a, double b);
int MATH_ApproxEqualFine(double a, double b);
void MATH_SnapTo(double* a, double b);
void MATH_SnapToFine(double* a, double b);
int MATH_InRange(double x, double lo, double hi);
double MATH_NormalizeDegrees(double angle);
MATH_DIV_RESULT MATH_RoundDiv(double x, int32_t d);
MATH_DIV_RESULT MATH_RoundDivNearest(double x, int32_t d);
double MATH_RandomAround(double c, double w);
int MATH_Jacobi(double* a, uint16_t n, double* d, double* v, uint16_t* rotations);

void VEC_Zero(VEC3* v);
double VEC_Length(const VEC3* v);
double VEC_Distance(const VEC3* a, const VEC3* b);
double VEC_Dot(const VEC3* a, const VEC3* b);
VEC3 VEC_CrossValue(const VEC3* a, const VEC3* b);
void VEC_Cross(const VEC3* a, const VEC3* b, VEC3* out);
void VEC_DoubleCross(const VEC3* a, const VEC3* b, VEC3* out);
void VEC_SetLength(VEC3* v, double length);
void VEC_Normalize(VEC3* v);
int VEC_LengthAtLeast(const VEC3* v, double limitSquared);
int VEC_ApproxEqual(const VEC3* a, const VEC3* b);
int VEC_IsZero(const VEC3* v);
void VEC_RemoveComponent(const VEC3* v, const VEC3* n, VEC3* out);
void VEC_Combine(const double coefficients[2], VEC3* out, const VEC3* u, const VEC3* w);
void VEC_MakePerpendicular(VEC3* v);
void VEC_OrthonormalPair(const VEC3* a, const VEC3* ref, VEC3* out2, VEC3* out1);
void VEC_ToSpherical(const VEC3* v, double* length, double* longitude, double* latitude);
void VEC_AddNoise(VEC3* v, double w);

void MAT_Identity(MAT33* m);
void MAT_AxisRotation(MAT33* m, uint8_t axis, double angle);
void MAT_AxisRotationInverse(MAT33* m, uint8_t axis, double angle);
void MAT_FromEulerAngles(MAT33* m, double a1, double a2, double a3);
void MAT_Multiply(MAT33* a, const MAT33* b);   // a = b * a
void MAT_MulVector(const MAT33* m, VEC3* v);
void MAT_MulVectorTo(const MAT33* m, const VEC3* v, VEC3* out);
void MAT_Transpose(MAT33* m);
double MAT_Determinant(const MAT33* m);
int MAT_Invert(MAT33* m);
int MAT_IsIdentity(const MAT33* m);
int MAT_IsRotation(const MAT33* m);
int MAT_PrincipalAxes(const MAT33* m, double* l1, double* l2, double* l3, VEC3* e1, VEC3* e2, VEC3* e3);

void QUAT_FromAxisAngle(QUAT* q, double angle, double ax, double ay, double az);
void QUAT_FromAxisAngleInverse(QUAT* q, double angle, double ax, double ay, double az);
void QUAT_Multiply(const QUAT* a, const QUAT* b, QUAT* out);
void QUAT_RotateVector(VEC3* v, const QUAT* q);
void QUAT_ToMatrix(const QUAT* q, MAT33* m);
void QUAT_FromMatrix(const MAT33* m, QUAT* q);
