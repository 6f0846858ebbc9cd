// ATTITUDE: set-up of the rigid-body block. The integrator and the torques are
// added with the attitude dynamics; until then a satellite keeps its attitude.
#include "simulation/attitude.h"
#include <cstring>

void ATTITUDE_ModuleInit() {}
void ATTITUDE_ModuleDone() {}
void ATTITUDE_SetMethod(ATTITUDE_STATE* a, uint32_t method) { a->method = method; }
void ATTITUDE_SetInertia(ATTITUDE_STATE* a, const MAT33* inertia) { a->inertia = *inertia; }
void ATTITUDE_SetQuaternion(ATTITUDE_STATE* a, const QUAT* q) { a->attitude = *q; }
void ATTITUDE_SetAngularVelocity(ATTITUDE_STATE* a, const VEC3* w) { a->angularVelocity = *w; }
void ATTITUDE_SetTorque(ATTITUDE_STATE* a, const VEC3* torque) { a->torque = *torque; }
void ATTITUDE_SetDamping(ATTITUDE_STATE* a, double damping) { a->damping = damping; }

static void ClearHistories(ATTITUDE_STATE* a)
{
    memset(a->keepTorque, 0, sizeof a->keepTorque);
    memset(a->computeRateDerivative, 0, sizeof a->computeRateDerivative);
    VEC3* vectors[] = {&a->stepTorque, &a->previousTorque, &a->torqueRate, &a->previousTorqueRate,
                       &a->torqueAcceleration, &a->previousTorqueAcceleration,
                       &a->omegaDot, &a->omegaDDot, &a->omegaDDDot};
    for (VEC3* v : vectors) VEC_Zero(v);
}

uint32_t ATTITUDE_Init(ATTITUDE_STATE* a)
{
    MAT33 inverse = a->inertia;
    if (!MAT_Invert(&inverse)) return 0;
    double l1, l2, l3;
    VEC3 e1, e2, e3;
    if (!MAT_PrincipalAxes(&a->inertia, &l1, &l2, &l3, &e1, &e2, &e3)) return 0;
    a->inverseInertia = inverse;
    QUAT_ToMatrix(&a->attitude, &a->rotation);
    a->rotationT = a->rotation;
    MAT_Transpose(&a->rotationT);

    // world inverse inertia = R I^-1 R^T (MAT_Multiply(A, B) leaves B A in A)
    MAT33 w = a->rotationT;
    MAT_Multiply(&w, &a->inverseInertia);
    MAT_Multiply(&w, &a->rotation);
    a->worldInverseInertia = w;

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
    ClearHistories(a);
    return 1;
}
