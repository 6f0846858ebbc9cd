// ATTITUDE: the rigid-body block of a satellite: set-up, accessors and the
// integrator that advances the attitude and the angular momentum in ECI.
#include "simulation/attitude.h"
#include <cmath>
#include <cstring>

void ATTITUDE_ModuleInit() {}
void ATTITUDE_ModuleDone() {}
void ATTITUDE_SetMethod(ATTITUDE_STATE* a, uint32_t method) { a->method = method; }
void ATTITUDE_SetInertia(ATTITUDE_STATE* a, const MAT33* inertia) { a->inertia = *inertia; }
void ATTITUDE_SetQuaternion(ATTITUDE_STATE* a, const QUAT* q) { a->attitude = *q; }
void ATTITUDE_SetAngularVelocity(ATTITUDE_STATE* a, const VEC3* w) { a->angularVelocity = *w; }
void ATTITUDE_SetTorque(ATTITUDE_STATE* a, const VEC3* torque) { a->torque = *torque; }
void ATTITUDE_SetDamping(ATTITUDE_STATE* a, double damping) { a->damping = damping; }

static void UpdateWorldInverseInertia(ATTITUDE_STATE* a);

static void ClearDerivatives(ATTITUDE_STATE* a)
{
    memset(a->computeRateDerivative, 0, sizeof a->computeRateDerivative);
    VEC_Zero(&a->omegaDot);
    VEC_Zero(&a->omegaDDot);
    VEC_Zero(&a->omegaDDDot);
}

uint32_t ATTITUDE_Init(ATTITUDE_STATE* a)
{
    MAT33 inverse = a->inertia;
    if (!MAT_Invert(&inverse)) return 0;
    double l1, l2, l3;
    VEC3 e1, e2, e3;
    if (!MAT_PrincipalAxes(&a->inertia, &l1, &l2, &l3, &e1, &e2, &e3)) return 0;
    a->inverseInertia = inverse;
    UpdateWorldInverseInertia(a);

    MAT33 worldInertia = a->rotationT;
    MAT_Multiply(&worldInertia, &a->inertia);
    MAT_Multiply(&worldInertia, &a->rotation);
    MAT_MulVectorTo(&worldInertia, &a->angularVelocity, &a->angularMomentum);
    MATH_SnapToFine(&a->angularMomentum.x, 0.0);
    MATH_SnapToFine(&a->angularMomentum.y, 0.0);
    MATH_SnapToFine(&a->angularMomentum.z, 0.0);

    MAT33 moments{};
    moments.m[0] = l1; moments.m[4] = l2; moments.m[8] = l3;
    a->principalMoments = moments;
    MAT33 axes{};
    const VEC3* cols[3] = {&e1, &e2, &e3};
    for (int c = 0; c < 3; ++c) {
        axes.m[c] = cols[c]->x; axes.m[3 + c] = cols[c]->y; axes.m[6 + c] = cols[c]->z;
    }
    a->principalAxes = axes;
    a->energy = 0.5 * VEC_Dot(&a->angularMomentum, &a->angularVelocity);
    a->firstStep = 1;
    a->damping = 0.0;
    ClearDerivatives(a);
    return 1;
}

void ATTITUDE_GetRotation(const ATTITUDE_STATE* a, MAT33* r) { *r = a->rotation; }
void ATTITUDE_GetRotationT(const ATTITUDE_STATE* a, MAT33* rt) { *rt = a->rotationT; }
void ATTITUDE_GetPrincipalAxes(const ATTITUDE_STATE* a, MAT33* axes) { *axes = a->principalAxes; }
void ATTITUDE_GetQuaternion(const ATTITUDE_STATE* a, QUAT* q) { *q = a->attitude; }
void ATTITUDE_GetAngularVelocity(const ATTITUDE_STATE* a, VEC3* w) { *w = a->angularVelocity; }
void ATTITUDE_GetTorque(const ATTITUDE_STATE* a, VEC3* torque) { *torque = a->torque; }
void ATTITUDE_GetInertia(const ATTITUDE_STATE* a, MAT33* inertia) { *inertia = a->inertia; }

void ATTITUDE_GetPrincipalMoments(const ATTITUDE_STATE* a, VEC3* moments)
{
    *moments = VEC3{a->principalMoments.m[0], a->principalMoments.m[4], a->principalMoments.m[8]};
}

// ---- the step ------------------------------------------------------------------

static VEC3 Add(const VEC3& a, const VEC3& b) { return VEC3{a.x + b.x, a.y + b.y, a.z + b.z}; }
static VEC3 Sub(const VEC3& a, const VEC3& b) { return VEC3{a.x - b.x, a.y - b.y, a.z - b.z}; }
static VEC3 Scale(const VEC3& a, double k) { return VEC3{a.x * k, a.y * k, a.z * k}; }
static VEC3 Cross(const VEC3& a, const VEC3& b) { return VEC_CrossValue(&a, &b); }

static VEC3 Mul(const MAT33& m, const VEC3& v)
{
    VEC3 out;
    MAT_MulVectorTo(&m, &v, &out);
    return out;
}

// The orders of the rate derivatives each method needs.
static void SetSwitchesForMethod(ATTITUDE_STATE* a)
{
    uint32_t order = 0;
    switch (a->method) {
    case ATTITUDE_SECOND_ORDER:
    case ATTITUDE_SECOND_ORDER_AUGMENTED: order = 1; break;
    case ATTITUDE_THIRD_ORDER: order = 2; break;
    case ATTITUDE_FOURTH_ORDER: order = 3; break;
    default: break;
    }
    for (uint32_t i = 0; i < 3; ++i) a->computeRateDerivative[i] = i < order ? 1 : 0;
}

// The damping torque opposes the rotation. A body at rest has no direction to
// damp, and one step never takes away more momentum than the body has along
// its rotation, so damping brings a body to rest instead of turning it back.
static VEC3 DampingTorque(const ATTITUDE_STATE* a, double dt)
{
    if (a->damping <= 0.0) return VEC3{0.0, 0.0, 0.0};
    double speed = VEC_Length(&a->angularVelocity);
    if (MATH_ApproxEqualFine(speed, 0.0)) return VEC3{0.0, 0.0, 0.0};
    VEC3 axis = Scale(a->angularVelocity, 1.0 / speed);
    double momentumAlong = VEC_Dot(&a->angularMomentum, &axis);
    double magnitude = a->damping;
    if (momentumAlong < magnitude * dt) magnitude = momentumAlong > 0.0 ? momentumAlong / dt : 0.0;
    return Scale(axis, -magnitude);
}

// Time derivatives of the world angular velocity of the free body, from
// L' = 0 and omega = Iw^-1 L, where Iw^-1 turns with the body. The torque has
// already changed L in the step's kick, so the turn follows only the free
// rotation: counting the torque here once more would damp every swing.
static void ComputeFreeRateDerivatives(ATTITUDE_STATE* a)
{
    const MAT33& iw = a->worldInverseInertia;
    const VEC3& w = a->angularVelocity;
    const VEC3& L = a->angularMomentum;
    VEC3 wL = Cross(w, L);
    if (a->computeRateDerivative[0]) a->omegaDot = Mul(iw, Scale(wL, -1.0));
    const VEC3& wd = a->omegaDot;
    VEC3 wwL = Cross(w, wL);
    if (a->computeRateDerivative[1]) a->omegaDDot = Add(Cross(w, wd), Mul(iw, Sub(wwL, Cross(wd, L))));
    if (a->computeRateDerivative[2]) {
        const VEC3& wdd = a->omegaDDot;
        VEC3 e = Sub(Cross(wd, wL), Cross(wdd, L));
        e = Add(e, Scale(Cross(w, Cross(wd, L)), 2.0));
        e = Sub(e, Cross(w, wwL));
        a->omegaDDDot = Add(Sub(Mul(iw, e), Cross(w, Cross(w, wd))), Scale(Cross(w, wdd), 2.0));
    }
}

// The mean angular velocity over the step, to the order of the method.
static VEC3 EffectiveRate(const ATTITUDE_STATE* a, double dt)
{
    const VEC3& w = a->angularVelocity;
    const VEC3& wd = a->omegaDot;
    const VEC3& wdd = a->omegaDDot;
    double h = dt / 2.0;
    switch (a->method) {
    case ATTITUDE_SECOND_ORDER: return Add(w, Scale(wd, h));
    case ATTITUDE_SECOND_ORDER_AUGMENTED:
        return Add(w, Scale(Add(Scale(wd, 0.5), Scale(Cross(wd, w), dt / 12.0)), dt));
    case ATTITUDE_THIRD_ORDER: {
        VEC3 turn = Cross(Add(wd, Scale(wdd, dt / 3.0)), w);
        VEC3 mean = Add(Add(Scale(wd, 0.5), Scale(wdd, dt / 6.0)), Scale(turn, dt / 12.0));
        return Add(w, Scale(mean, dt));
    }
    case ATTITUDE_FOURTH_ORDER: {
        VEC3 inner = Scale(Add(a->omegaDDDot, Cross(wdd, w)), dt / 4.0);
        inner = Add(Add(Scale(Cross(wd, w), 0.5), wdd), inner);
        return Add(w, Scale(Add(wd, Scale(inner, dt / 3.0)), h));
    }
    default: return w;
    }
}

// q <- q + h (0, rate) q, renormalised.
static void TurnQuaternion(QUAT* q, const VEC3& rate, double h)
{
    VEC3 v{q->x, q->y, q->z};
    double w = q->w - h * VEC_Dot(&rate, &v);
    VEC3 turned = Add(v, Scale(Add(Scale(rate, q->w), Cross(rate, v)), h));
    double length = sqrt(w * w + VEC_Dot(&turned, &turned));
    if (MATH_ApproxEqual(length, 0.0)) {
        *q = QUAT{w, turned.x, turned.y, turned.z};
        return;
    }
    *q = QUAT{w / length, turned.x / length, turned.y / length, turned.z / length};
}

static void UpdateWorldInverseInertia(ATTITUDE_STATE* a)
{
    QUAT_ToMatrix(&a->attitude, &a->rotation);
    a->rotationT = a->rotation;
    MAT_Transpose(&a->rotationT);
    // R I^-1 R^T (MAT_Multiply(A, B) leaves B A in A)
    MAT33 w = a->rotationT;
    MAT_Multiply(&w, &a->inverseInertia);
    MAT_Multiply(&w, &a->rotation);
    a->worldInverseInertia = w;
}

// One step is a kick and a drift. The torque, taken in the attitude at the
// step's start, first changes the momentum; the body then turns with the rate
// of the new momentum, to the order of the method, and the rate follows the
// turned inertia. Turning with the old rate first (the explicit step) would add
// a share of the swing's energy at every step under any restoring torque; the
// kick first is the symplectic step, whose swing keeps its energy.
void ATTITUDE_Step(ATTITUDE_STATE* a, double dt)
{
    if (!(dt > 0.0)) return;
    if (a->firstStep) {
        SetSwitchesForMethod(a);
        a->firstStep = 0;
    }
    VEC3 kick = Scale(Add(a->torque, DampingTorque(a, dt)), dt);
    a->angularMomentum = Add(a->angularMomentum, kick);
    a->angularVelocity = Add(a->angularVelocity, Mul(a->worldInverseInertia, kick));
    ComputeFreeRateDerivatives(a);
    if (a->method >= ATTITUDE_EULER && a->method <= ATTITUDE_FOURTH_ORDER) {
        TurnQuaternion(&a->attitude, EffectiveRate(a, dt), dt / 2.0);
    }
    UpdateWorldInverseInertia(a);
    a->angularVelocity = Mul(a->worldInverseInertia, a->angularMomentum);
    a->energy = 0.5 * VEC_Dot(&a->angularMomentum, &a->angularVelocity);
}
