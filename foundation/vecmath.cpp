// VEC / MAT / QUAT / MATH: vectors, row-major 3x3 matrices, quaternions and
// small numeric helpers. Every function works on caller storage; products are
// formed in temporaries so that an output may alias an input.
#include "foundation/vecmath.h"
#include "foundation/util.h"
#include <cmath>
#include <cstdlib>
#include <limits>

// ---------------------------------------------------------------- scalars

int MATH_ApproxEqual(double a, double b)
{
    return (a >= b - MATH_TOLERANCE && a <= b + MATH_TOLERANCE) ? 1 : 0;
}

int MATH_ApproxEqualFine(double a, double b)
{
    return (a >= b - MATH_TOLERANCE_FINE && a <= b + MATH_TOLERANCE_FINE) ? 1 : 0;
}

void MATH_SnapTo(double* a, double b)
{
    if (MATH_ApproxEqual(*a, b)) *a = b;
}

void MATH_SnapToFine(double* a, double b)
{
    if (MATH_ApproxEqualFine(*a, b)) *a = b;
}

int MATH_InRange(double x, double lo, double hi)
{
    return (lo <= x && x <= hi) ? 1 : 0;
}

double MATH_NormalizeDegrees(double angle)
{
    double r = std::fmod(angle, 360.0);
    if (r < 0.0) r += 360.0;
    if (r >= 360.0) r = 0.0;   // a tiny negative remainder rounds up to 360
    return r;
}

// x + 0.5 truncated toward zero, held within the 32-bit range.
static int64_t RoundHalfUpToInt32(double x)
{
    double n = std::trunc(x + 0.5);
    if (!(n >= (double)INT32_MIN)) return INT32_MIN;   // also NaN
    if (n > (double)INT32_MAX) return INT32_MAX;
    return (int64_t)n;
}

MATH_DIV_RESULT MATH_RoundDiv(double x, int32_t d)
{
    int64_t n = RoundHalfUpToInt32(x);
    if (d == 0) return MATH_DIV_RESULT{0, (int32_t)n};
    int64_t e = std::llabs((long long)d);
    return MATH_DIV_RESULT{(int32_t)(n / e), (int32_t)(n % e)};
}

MATH_DIV_RESULT MATH_RoundDivNearest(double x, int32_t d)
{
    int64_t n = RoundHalfUpToInt32(x);
    if (d == 0) return MATH_DIV_RESULT{0, (int32_t)n};
    int64_t e = std::llabs((long long)d);
    int64_t shifted = n >= 0 ? n + e / 2 : n - e / 2;
    return MATH_DIV_RESULT{(int32_t)(shifted / e), (int32_t)(shifted % e)};
}

double MATH_RandomAround(double c, double w)
{
    uint32_t r = UTIL_Random() & 0xFFFFu;
    return c + w * ((double)r / 32768.0 - 1.0);
}

// ---------------------------------------------------------------- Jacobi

// One plane rotation applied to the pair (g, h) of matrix entries.
static inline void RotatePair(double* g, double* h, double s, double tau)
{
    double gv = *g, hv = *h;
    *g = gv - s * (hv + gv * tau);
    *h = hv + s * (gv - hv * tau);
}

// The tangent of the rotation angle that annihilates a_pq; h = d_q - d_p.
static double RotationTangent(double apq, double h, double g)
{
    if (std::fabs(h) + g == std::fabs(h)) return apq / h;
    double theta = 0.5 * h / apq;
    double t = 1.0 / (std::fabs(theta) + std::sqrt(1.0 + theta * theta));
    return theta < 0.0 ? -t : t;
}

struct JACOBI_WORK {
    double* a;
    uint16_t n;
    double* d;
    double* v;
    double* z;
};

// Zeroes a_pq by one rotation, updating a's upper triangle, d, z and v.
static void JacobiRotate(JACOBI_WORK* w, uint16_t p, uint16_t q, double g)
{
    double* a = w->a;
    uint16_t n = w->n;
    double apq = a[p * n + q];
    double t = RotationTangent(apq, w->d[q] - w->d[p], g);
    double c = 1.0 / std::sqrt(1.0 + t * t);
    double s = t * c;
    double tau = s / (1.0 + c);
    double h = t * apq;
    w->z[p] -= h;
    w->z[q] += h;
    w->d[p] -= h;
    w->d[q] += h;
    a[p * n + q] = 0.0;
    for (uint16_t j = 0; j < p; j++) RotatePair(&a[j * n + p], &a[j * n + q], s, tau);
    for (uint16_t j = p + 1; j < q; j++) RotatePair(&a[p * n + j], &a[j * n + q], s, tau);
    for (uint16_t j = q + 1; j < n; j++) RotatePair(&a[p * n + j], &a[q * n + j], s, tau);
    for (uint16_t j = 0; j < n; j++) RotatePair(&w->v[j * n + p], &w->v[j * n + q], s, tau);
}

static double UpperTriangleSum(const double* a, uint16_t n)
{
    double sum = 0.0;
    for (uint16_t p = 0; p + 1 < n; p++)
        for (uint16_t q = p + 1; q < n; q++) sum += std::fabs(a[p * n + q]);
    return sum;
}

// One sweep over the upper triangle.
static void JacobiSweep(JACOBI_WORK* w, int sweep, double threshold, uint16_t* rotations)
{
    uint16_t n = w->n;
    for (uint16_t p = 0; p + 1 < n; p++) {
        for (uint16_t q = p + 1; q < n; q++) {
            double apq = w->a[p * n + q];
            double g = 100.0 * std::fabs(apq);
            if (sweep > 4 && std::fabs(w->d[p]) + g == std::fabs(w->d[p]) &&
                std::fabs(w->d[q]) + g == std::fabs(w->d[q])) {
                w->a[p * n + q] = 0.0;
            } else if (std::fabs(apq) > threshold) {
                JacobiRotate(w, p, q, g);
                (*rotations)++;
            }
        }
    }
}

// Cyclic Jacobi eigenvalue method for a real symmetric matrix.
int MATH_Jacobi(double* a, uint16_t n, double* d, double* v, uint16_t* rotations)
{
    double* b = (double*)malloc(sizeof(double) * (n ? n : 1));
    double* z = (double*)malloc(sizeof(double) * (n ? n : 1));
    if (!b || !z) {
        free(b);
        free(z);
        return 0;
    }
    for (uint16_t p = 0; p < n; p++) {
        for (uint16_t q = 0; q < n; q++) v[p * n + q] = (p == q) ? 1.0 : 0.0;
        b[p] = d[p] = a[p * n + p];
        z[p] = 0.0;
    }
    *rotations = 0;
    JACOBI_WORK w{a, n, d, v, z};
    int converged = 0;
    for (int sweep = 1; sweep <= 50; sweep++) {
        double sum = UpperTriangleSum(a, n);
        if (sum == 0.0) {
            converged = 1;
            break;
        }
        double threshold = sweep < 4 ? 0.2 * sum / ((double)n * n) : 0.0;
        JacobiSweep(&w, sweep, threshold, rotations);
        for (uint16_t p = 0; p < n; p++) {
            b[p] += z[p];
            d[p] = b[p];
            z[p] = 0.0;
        }
    }
    free(b);
    free(z);
    return converged;
}

// ---------------------------------------------------------------- vectors

void VEC_Zero(VEC3* v)
{
    v->x = v->y = v->z = 0.0;
}

double VEC_Length(const VEC3* v)
{
    return std::sqrt(v->x * v->x + v->y * v->y + v->z * v->z);
}

double VEC_Distance(const VEC3* a, const VEC3* b)
{
    VEC3 d{a->x - b->x, a->y - b->y, a->z - b->z};
    return VEC_Length(&d);
}

double VEC_Dot(const VEC3* a, const VEC3* b)
{
    return a->x * b->x + a->y * b->y + a->z * b->z;
}

VEC3 VEC_CrossValue(const VEC3* a, const VEC3* b)
{
    return VEC3{a->y * b->z - a->z * b->y, a->z * b->x - a->x * b->z, a->x * b->y - a->y * b->x};
}

void VEC_Cross(const VEC3* a, const VEC3* b, VEC3* out)
{
    *out = VEC_CrossValue(a, b);
}

void VEC_DoubleCross(const VEC3* a, const VEC3* b, VEC3* out)
{
    VEC3 ab = VEC_CrossValue(a, b);
    *out = VEC_CrossValue(&ab, a);
}

void VEC_SetLength(VEC3* v, double length)
{
    double current = VEC_Length(v);
    if (MATH_ApproxEqualFine(current, 0.0)) {
        *v = VEC3{length, 0.0, 0.0};
        return;
    }
    double f = length / current;
    v->x *= f;
    v->y *= f;
    v->z *= f;
}

void VEC_Normalize(VEC3* v)
{
    VEC_SetLength(v, 1.0);
}

int VEC_LengthAtLeast(const VEC3* v, double limitSquared)
{
    return (v->x * v->x + v->y * v->y + v->z * v->z >= limitSquared) ? 1 : 0;
}

int VEC_ApproxEqual(const VEC3* a, const VEC3* b)
{
    return MATH_ApproxEqual(a->x, b->x) && MATH_ApproxEqual(a->y, b->y) && MATH_ApproxEqual(a->z, b->z);
}

int VEC_IsZero(const VEC3* v)
{
    return MATH_ApproxEqualFine(v->x, 0.0) && MATH_ApproxEqualFine(v->y, 0.0) &&
           MATH_ApproxEqualFine(v->z, 0.0);
}

void VEC_RemoveComponent(const VEC3* v, const VEC3* n, VEC3* out)
{
    double k = VEC_Dot(v, n);
    *out = VEC3{v->x - k * n->x, v->y - k * n->y, v->z - k * n->z};
}

void VEC_Combine(const double coefficients[2], VEC3* out, const VEC3* u, const VEC3* w)
{
    double a0 = coefficients[0], a1 = coefficients[1];
    *out = VEC3{a0 * u->x + a1 * w->x, a0 * u->y + a1 * w->y, a0 * u->z + a1 * w->z};
}

void VEC_MakePerpendicular(VEC3* v)
{
    if (MATH_ApproxEqual(v->z, 0.0)) {
        *v = VEC3{0.0, 0.0, -1.0};
    } else if (MATH_ApproxEqual(v->x, 0.0) && MATH_ApproxEqual(v->y, 0.0)) {
        *v = VEC3{1.0, 0.0, 0.0};
    } else {
        v->z = -(v->x * v->x + v->y * v->y) / v->z;
    }
}

// A vector perpendicular to a when a x ref vanishes: ref turned perpendicular,
// which serves when ref is parallel to a; when ref is zero (or too short for
// the tolerances) that vector need not be perpendicular to a, so a itself is
// turned instead, at unit length.
static VEC3 FallbackPerpendicular(const VEC3* a, const VEC3* ref)
{
    VEC3 p = *ref;
    VEC_MakePerpendicular(&p);
    VEC3 unitA = *a, unitP = p;
    VEC_Normalize(&unitA);
    VEC_Normalize(&unitP);
    if (VEC_IsZero(a) || std::fabs(VEC_Dot(&unitA, &unitP)) <= 1e-9) return p;
    VEC_MakePerpendicular(&unitA);
    return unitA;
}

void VEC_OrthonormalPair(const VEC3* a, const VEC3* ref, VEC3* out2, VEC3* out1)
{
    VEC3 first = VEC_CrossValue(a, ref);
    if (VEC_IsZero(&first)) first = FallbackPerpendicular(a, ref);
    VEC_Normalize(&first);
    VEC3 second = VEC_CrossValue(&first, a);
    VEC_Normalize(&second);
    *out1 = first;
    *out2 = second;
}

void VEC_ToSpherical(const VEC3* v, double* length, double* longitude, double* latitude)
{
    if (length) *length = VEC_Length(v);
    if (longitude) *longitude = std::atan2(v->y, v->x);
    if (latitude) *latitude = std::atan2(v->z, std::sqrt(v->x * v->x + v->y * v->y));
}

void VEC_AddNoise(VEC3* v, double w)
{
    v->x = MATH_RandomAround(v->x, w);
    v->y = MATH_RandomAround(v->y, w);
    v->z = MATH_RandomAround(v->z, w);
}

// ---------------------------------------------------------------- matrices

void MAT_Identity(MAT33* m)
{
    for (int i = 0; i < 9; i++) m->m[i] = (i % 4 == 0) ? 1.0 : 0.0;
}

void MAT_AxisRotation(MAT33* m, uint8_t axis, double angle)
{
    double c = std::cos(angle), s = std::sin(angle);
    switch (axis) {
    case 0: *m = MAT33{{1, 0, 0, 0, c, s, 0, -s, c}}; break;
    case 1: *m = MAT33{{c, 0, -s, 0, 1, 0, s, 0, c}}; break;
    case 2: *m = MAT33{{c, s, 0, -s, c, 0, 0, 0, 1}}; break;
    default: *m = MAT33{{0, 0, 0, 0, 0, 0, 0, 0, 0}}; break;
    }
}

void MAT_AxisRotationInverse(MAT33* m, uint8_t axis, double angle)
{
    MAT_AxisRotation(m, axis, -angle);
}

void MAT_FromEulerAngles(MAT33* m, double a1, double a2, double a3)
{
    double c1 = std::cos(a1), s1 = std::sin(a1);
    double c2 = std::cos(a2), s2 = std::sin(a2);
    double c3 = std::cos(a3), s3 = std::sin(a3);
    *m = MAT33{{c1 * c2, c1 * s2 * s3 - s1 * c3, c1 * s2 * c3 + s1 * s3,
                s1 * c2, s1 * s2 * s3 + c1 * c3, s1 * s2 * c3 - c1 * s3,
                -s2, c2 * s3, c2 * c3}};
}

static MAT33 Product(const MAT33* a, const MAT33* b)
{
    MAT33 r;
    for (int i = 0; i < 3; i++)
        for (int j = 0; j < 3; j++)
            r.m[3 * i + j] = a->m[3 * i] * b->m[j] + a->m[3 * i + 1] * b->m[3 + j] + a->m[3 * i + 2] * b->m[6 + j];
    return r;
}

void MAT_Multiply(MAT33* a, const MAT33* b)
{
    *a = Product(b, a);
}

void MAT_MulVectorTo(const MAT33* m, const VEC3* v, VEC3* out)
{
    const double* e = m->m;
    *out = VEC3{e[0] * v->x + e[1] * v->y + e[2] * v->z,
                e[3] * v->x + e[4] * v->y + e[5] * v->z,
                e[6] * v->x + e[7] * v->y + e[8] * v->z};
}

void MAT_MulVector(const MAT33* m, VEC3* v)
{
    MAT_MulVectorTo(m, v, v);
}

static MAT33 Transposed(const MAT33* m)
{
    const double* e = m->m;
    return MAT33{{e[0], e[3], e[6], e[1], e[4], e[7], e[2], e[5], e[8]}};
}

void MAT_Transpose(MAT33* m)
{
    *m = Transposed(m);
}

double MAT_Determinant(const MAT33* m)
{
    const double* e = m->m;
    return e[0] * (e[4] * e[8] - e[5] * e[7]) - e[1] * (e[3] * e[8] - e[5] * e[6]) +
           e[2] * (e[3] * e[7] - e[4] * e[6]);
}

int MAT_Invert(MAT33* m)
{
    double det = MAT_Determinant(m);
    if (MATH_ApproxEqualFine(det, 0.0)) return 0;
    const double* e = m->m;
    MAT33 adj{{e[4] * e[8] - e[5] * e[7], e[2] * e[7] - e[1] * e[8], e[1] * e[5] - e[2] * e[4],
               e[5] * e[6] - e[3] * e[8], e[0] * e[8] - e[2] * e[6], e[2] * e[3] - e[0] * e[5],
               e[3] * e[7] - e[4] * e[6], e[1] * e[6] - e[0] * e[7], e[0] * e[4] - e[1] * e[3]}};
    for (int i = 0; i < 9; i++) m->m[i] = adj.m[i] / det;
    return 1;
}

int MAT_IsIdentity(const MAT33* m)
{
    for (int i = 0; i < 9; i++)
        if (!MATH_ApproxEqual(m->m[i], (i % 4 == 0) ? 1.0 : 0.0)) return 0;
    return 1;
}

int MAT_IsRotation(const MAT33* m)
{
    if (!MATH_ApproxEqual(MAT_Determinant(m), 1.0)) return 0;
    MAT33 t = Transposed(m);
    MAT33 tm = Product(&t, m);
    MAT33 mt = Product(m, &t);
    return MAT_IsIdentity(&tm) && MAT_IsIdentity(&mt);
}

// Eigenvalue order by a fixed comparison tree; writes the permutation.
static void OrderDescending(const double* l, int order[3])
{
    double a = l[0], b = l[1], c = l[2];
    static const int trees[6][3] = {{2, 0, 1}, {0, 1, 2}, {0, 2, 1}, {2, 1, 0}, {1, 0, 2}, {1, 2, 0}};
    int pick;
    if (b <= a)
        pick = (a <= c) ? 0 : (c <= b) ? 1 : 2;
    else
        pick = (b <= c) ? 3 : (c <= a) ? 4 : 5;
    for (int i = 0; i < 3; i++) order[i] = trees[pick][i];
}

static VEC3 Column(const double* v, int column)
{
    return VEC3{v[column], v[3 + column], v[6 + column]};
}

int MAT_PrincipalAxes(const MAT33* m, double* l1, double* l2, double* l3, VEC3* e1, VEC3* e2, VEC3* e3)
{
    MAT33 work = *m;
    double d[3], v[9];
    uint16_t rotations;
    if (!MATH_Jacobi(work.m, 3, d, v, &rotations)) return 0;
    int order[3];
    OrderDescending(d, order);
    VEC3 a1 = Column(v, order[0]), a2 = Column(v, order[1]), a3 = Column(v, order[2]);
    VEC3 c12 = VEC_CrossValue(&a1, &a2);
    if (VEC_Dot(&c12, &a3) < 0.0) a3 = VEC3{-a3.x, -a3.y, -a3.z};
    VEC_Normalize(&a1);
    VEC_Normalize(&a2);
    VEC_Normalize(&a3);
    *l1 = d[order[0]];
    *l2 = d[order[1]];
    *l3 = d[order[2]];
    *e1 = a1;
    *e2 = a2;
    *e3 = a3;
    return 1;
}

// ---------------------------------------------------------------- quaternions

void QUAT_FromAxisAngle(QUAT* q, double angle, double ax, double ay, double az)
{
    double length = std::sqrt(ax * ax + ay * ay + az * az);
    if (MATH_ApproxEqual(length, 0.0)) {
        *q = QUAT{0.0, 0.0, 0.0, 0.0};
        return;
    }
    double s = std::sin(angle / 2.0) / length;
    *q = QUAT{std::cos(angle / 2.0), s * ax, s * ay, s * az};
}

void QUAT_FromAxisAngleInverse(QUAT* q, double angle, double ax, double ay, double az)
{
    QUAT_FromAxisAngle(q, -angle, ax, ay, az);
}

void QUAT_Multiply(const QUAT* a, const QUAT* b, QUAT* out)
{
    QUAT r;
    r.w = a->w * b->w - (a->x * b->x + a->y * b->y + a->z * b->z);
    r.x = a->w * b->x + b->w * a->x + (a->y * b->z - a->z * b->y);
    r.y = a->w * b->y + b->w * a->y + (a->z * b->x - a->x * b->z);
    r.z = a->w * b->z + b->w * a->z + (a->x * b->y - a->y * b->x);
    *out = r;
}

void QUAT_RotateVector(VEC3* v, const QUAT* q)
{
    double w = q->w, x = q->x, y = q->y, z = q->z;
    double ww = w * w, xx = x * x, yy = y * y, zz = z * z;
    VEC3 r;
    r.x = (ww + xx - yy - zz) * v->x + 2.0 * (x * y - w * z) * v->y + 2.0 * (w * y + x * z) * v->z;
    r.y = 2.0 * (x * y + w * z) * v->x + (ww - xx + yy - zz) * v->y + 2.0 * (y * z - w * x) * v->z;
    r.z = 2.0 * (x * z - w * y) * v->x + 2.0 * (y * z + w * x) * v->y + (ww - xx - yy + zz) * v->z;
    *v = r;
}

void QUAT_ToMatrix(const QUAT* q, MAT33* m)
{
    double w = q->w, x = q->x, y = q->y, z = q->z;
    *m = MAT33{{1 - 2 * y * y - 2 * z * z, 2 * x * y - 2 * w * z, 2 * x * z + 2 * w * y,
                2 * x * y + 2 * w * z, 1 - 2 * x * x - 2 * z * z, 2 * y * z - 2 * w * x,
                2 * x * z - 2 * w * y, 2 * y * z + 2 * w * x, 1 - 2 * x * x - 2 * y * y}};
}

void QUAT_FromMatrix(const MAT33* m, QUAT* q)
{
    const double* e = m->m;
    double t = e[0] + e[4] + e[8];
    if (t >= 0.0) {
        double s = std::sqrt(t + 1.0);
        double f = 0.5 / s;
        *q = QUAT{s / 2.0, (e[7] - e[5]) * f, (e[2] - e[6]) * f, (e[3] - e[1]) * f};
        return;
    }
    int i = 0;
    if (e[4] > e[0]) i = 1;
    if (e[8] > e[4 * i]) i = 2;
    int j = (i + 1) % 3, k = (i + 2) % 3;
    auto at = [e](int row, int col) { return e[3 * row + col]; };
    double s = std::sqrt(at(i, i) - (at(j, j) + at(k, k)) + 1.0);
    double f = 0.5 / s;
    double xyz[3];
    xyz[i] = s / 2.0;
    xyz[j] = (at(j, i) + at(i, j)) * f;
    xyz[k] = (at(k, i) + at(i, k)) * f;
    *q = QUAT{(at(k, j) - at(j, k)) * f, xyz[0], xyz[1], xyz[2]};
}
