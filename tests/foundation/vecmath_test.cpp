#include <gtest/gtest.h>
#include <algorithm>
#include <cmath>
#include "foundation/util.h"
#include "foundation/vecmath.h"

namespace {

constexpr double kPi = 3.14159265358979323846;

QUAT RandomUnitQuat()
{
    QUAT q{MATH_RandomAround(0, 1), MATH_RandomAround(0, 1), MATH_RandomAround(0, 1), MATH_RandomAround(0, 1)};
    double n = std::sqrt(q.w * q.w + q.x * q.x + q.y * q.y + q.z * q.z);
    return QUAT{q.w / n, q.x / n, q.y / n, q.z / n};
}

void ExpectSameRotation(const QUAT& a, const QUAT& b)
{
    double sign = (a.w * b.w + a.x * b.x + a.y * b.y + a.z * b.z) < 0 ? -1.0 : 1.0;
    EXPECT_NEAR(a.w, sign * b.w, 1e-12);
    EXPECT_NEAR(a.x, sign * b.x, 1e-12);
    EXPECT_NEAR(a.y, sign * b.y, 1e-12);
    EXPECT_NEAR(a.z, sign * b.z, 1e-12);
}

}  // namespace

TEST(Math, ScalarHelpers)
{
    EXPECT_TRUE(MATH_ApproxEqual(1.0, 1.0 + 1e-10));
    EXPECT_FALSE(MATH_ApproxEqual(1.0, 1.0 + 2e-10));
    EXPECT_DOUBLE_EQ(MATH_NormalizeDegrees(-30), 330);
    EXPECT_DOUBLE_EQ(MATH_NormalizeDegrees(720), 0);
    double tiny = MATH_NormalizeDegrees(-1e-20);
    EXPECT_GE(tiny, 0.0);
    EXPECT_LT(tiny, 360.0);
    // Quotients and remainders of both roundings; a zero or huge divisor gives 0, no overflow.
    const struct { double n; int32_t d; bool nearest; int32_t quot, rem; } divs[] = {
        {249.6, 100, false, 2, 50}, {-250, 100, false, -2, -49}, {5, 0, false, 0, 0}, {1e30, INT32_MIN, false, 0, 0},
        {149, 100, true, 1, 0}, {150, 100, true, 2, 0}, {-151, 100, true, -2, 0}};
    for (const auto& c : divs) {
        MATH_DIV_RESULT r = c.nearest ? MATH_RoundDivNearest(c.n, c.d) : MATH_RoundDiv(c.n, c.d);
        EXPECT_EQ(r.quot, c.quot) << c.n << " / " << c.d;
        if (c.rem) {
            EXPECT_EQ(r.rem, c.rem) << c.n << " / " << c.d;
        }
    }
    UTIL_SetRandomState(0);
    for (int i = 0; i < 1000; i++) {
        double v = MATH_RandomAround(10, 2);
        EXPECT_GE(v, 8.0);
        EXPECT_LT(v, 12.0);
    }
}

TEST(Vec, ZeroVectorsAndPerpendiculars)
{
    VEC3 v{0, 0, 0};
    VEC_SetLength(&v, 5);
    EXPECT_EQ(v.x, 5);
    VEC3 w{1e-20, 0, 0};
    VEC_Normalize(&w);
    EXPECT_EQ(w.x, 1);
    const struct { VEC3 in, out; } perpendiculars[] = {
        {{1, 2, 0}, {0, 0, -1}}, {{0, 0, 3}, {1, 0, 0}}, {{1, 1, 1}, {1, 1, -2}}};
    for (const auto& c : perpendiculars) {
        VEC3 p = c.in;
        VEC_MakePerpendicular(&p);
        EXPECT_TRUE(p.x == c.out.x && p.y == c.out.y && p.z == c.out.z) << p.x << " " << p.y << " " << p.z;
    }
    // Cross product into one of its inputs.
    VEC3 a{1, 0, 0}, b{0, 1, 0};
    VEC_Cross(&a, &b, &a);
    EXPECT_EQ(a.z, 1);
    EXPECT_EQ(a.x, 0);
}

TEST(Vec, OrthonormalPairAlwaysPerpendicular)
{
    const VEC3 firsts[] = {{0, 0, 1}, {0, 0, 1e-12}, {1, 0, 0}, {1, 2, 3}, {0, 0, -7}};
    const VEC3 refs[] = {{0, 0, 0}, {0, 0, 1e-12}, {0, 0, 2}, {1, 0, 0}, {2, 4, 6}};
    for (const VEC3& a : firsts) {
        for (const VEC3& ref : refs) {
            VEC3 o1, o2;
            VEC_OrthonormalPair(&a, &ref, &o2, &o1);
            VEC3 unit = a;
            VEC_Normalize(&unit);
            EXPECT_NEAR(VEC_Dot(&o1, &unit), 0, 1e-9) << a.x << a.y << a.z << " ref " << ref.x << ref.y << ref.z;
            EXPECT_NEAR(VEC_Dot(&o2, &unit), 0, 1e-9);
            EXPECT_NEAR(VEC_Dot(&o1, &o2), 0, 1e-9);
            EXPECT_NEAR(VEC_Length(&o1), 1, 1e-12);
            EXPECT_NEAR(VEC_Length(&o2), 1, 1e-12);
        }
    }
}

TEST(Mat, ConventionsOfRotationAndProduct)
{
    MAT33 m;
    MAT_AxisRotation(&m, 0, kPi / 2);
    VEC3 v{0, 1, 0};
    MAT_MulVector(&m, &v);
    EXPECT_NEAR(v.y, 0, 1e-15);
    EXPECT_NEAR(v.z, -1, 1e-15);
    MAT_AxisRotation(&m, 3, 1.0);
    for (double e : m.m) EXPECT_EQ(e, 0);

    MAT33 a{{1, 2, 0, 0, 1, 0, 0, 0, 1}}, b{{1, 0, 0, 3, 1, 0, 0, 0, 1}};
    MAT_Multiply(&a, &b);   // a = b * a
    EXPECT_EQ(a.m[0], 1);
    EXPECT_EQ(a.m[1], 2);
    EXPECT_EQ(a.m[3], 3);
    EXPECT_EQ(a.m[4], 7);

    MAT33 reflection{{1, 0, 0, 0, 1, 0, 0, 0, -1}};
    EXPECT_FALSE(MAT_IsRotation(&reflection));
    MAT_FromEulerAngles(&m, 0.3, -0.4, 1.2);
    EXPECT_TRUE(MAT_IsRotation(&m));
    MAT33 inv = m;
    ASSERT_TRUE(MAT_Invert(&inv));
    MAT_Multiply(&inv, &m);
    EXPECT_TRUE(MAT_IsIdentity(&inv));
    MAT33 singular{{1, 2, 3, 2, 4, 6, 0, 0, 1}}, copy = singular;
    EXPECT_FALSE(MAT_Invert(&singular));
    for (int i = 0; i < 9; i++) EXPECT_EQ(singular.m[i], copy.m[i]);
}

TEST(Quat, AxisAngleAndZeroAxis)
{
    QUAT q;
    QUAT_FromAxisAngle(&q, kPi / 2, 0, 0, 2);
    EXPECT_NEAR(q.w, std::cos(kPi / 4), 1e-15);
    EXPECT_NEAR(q.z, std::sin(kPi / 4), 1e-15);
    QUAT_FromAxisAngle(&q, kPi / 2, 0, 0, 1e-11);
    EXPECT_EQ(q.w, 0);
    EXPECT_EQ(q.z, 0);
}

TEST(Quat, MatrixAgreesWithRotationForRandomQuaternions)
{
    UTIL_SetRandomState(12345);
    for (int i = 0; i < 500; i++) {
        QUAT q = RandomUnitQuat();
        MAT33 m;
        QUAT_ToMatrix(&q, &m);
        ASSERT_TRUE(MAT_IsRotation(&m));
        VEC3 v{MATH_RandomAround(0, 5), MATH_RandomAround(0, 5), MATH_RandomAround(0, 5)}, byMatrix, byQuat = v;
        MAT_MulVectorTo(&m, &v, &byMatrix);
        QUAT_RotateVector(&byQuat, &q);
        EXPECT_NEAR(byMatrix.x, byQuat.x, 1e-12);
        EXPECT_NEAR(byMatrix.y, byQuat.y, 1e-12);
        EXPECT_NEAR(byMatrix.z, byQuat.z, 1e-12);
        // q v q* through the Hamilton product.
        QUAT pv{0, v.x, v.y, v.z}, conj{q.w, -q.x, -q.y, -q.z}, t, r;
        QUAT_Multiply(&q, &pv, &t);
        QUAT_Multiply(&t, &conj, &r);
        EXPECT_NEAR(r.x, byQuat.x, 1e-12);
        EXPECT_NEAR(r.z, byQuat.z, 1e-12);
        QUAT back;
        QUAT_FromMatrix(&m, &back);
        ExpectSameRotation(q, back);
    }
}

TEST(Jacobi, RotatedMatricesWithKnownAndRepeatedEigenvalues)
{
    const double spectra[][3] = {{7, 4, 1}, {5, 5, 2}, {3, 3, 3}, {9, 1, 1}, {-2, 0.5, 4}};
    UTIL_SetRandomState(99);
    for (const auto& s : spectra) {
        QUAT q = RandomUnitQuat();
        MAT33 r, rt, m{{s[0], 0, 0, 0, s[1], 0, 0, 0, s[2]}};
        QUAT_ToMatrix(&q, &r);
        rt = r;
        MAT_Transpose(&rt);
        MAT_Multiply(&m, &r);    // m = r * diag
        MAT_Multiply(&rt, &m);   // rt = (r * diag) * r^T
        double l[3];
        VEC3 e[3];
        ASSERT_TRUE(MAT_PrincipalAxes(&rt, &l[0], &l[1], &l[2], &e[0], &e[1], &e[2]));
        double sorted[3] = {s[0], s[1], s[2]};
        std::sort(sorted, sorted + 3, [](double a, double b) { return a > b; });
        for (int i = 0; i < 3; i++) {
            EXPECT_NEAR(l[i], sorted[i], 1e-12);
            VEC3 me;
            MAT_MulVectorTo(&rt, &e[i], &me);   // M e = lambda e
            EXPECT_NEAR(me.x, l[i] * e[i].x, 1e-12);
            EXPECT_NEAR(me.y, l[i] * e[i].y, 1e-12);
            EXPECT_NEAR(me.z, l[i] * e[i].z, 1e-12);
        }
        VEC3 c = VEC_CrossValue(&e[0], &e[1]);
        EXPECT_NEAR(VEC_Dot(&c, &e[2]), 1.0, 1e-12);
    }
}

TEST(Jacobi, GeneralSizeCountsRotations)
{
    double a[16] = {4, 1, 0, 0, 1, 4, 1, 0, 0, 1, 4, 1, 0, 0, 1, 4};
    double d[4], v[16];
    uint16_t rotations = 999;
    ASSERT_TRUE(MATH_Jacobi(a, 4, d, v, &rotations));
    EXPECT_GT(rotations, 0);
    EXPECT_LT(rotations, 999);
    std::sort(d, d + 4);
    // Eigenvalues of the tridiagonal (1, 4, 1) matrix: 4 + 2 cos(k pi / 5).
    EXPECT_NEAR(d[0], 4 + 2 * std::cos(4 * kPi / 5), 1e-12);
    EXPECT_NEAR(d[3], 4 + 2 * std::cos(kPi / 5), 1e-12);
}
