// ATTITUDE: the rigid-body attitude block of a satellite, integrated in ECI.
#pragma once
#include <cstdint>
#include "foundation/vecmath.h"

enum ATTITUDE_METHOD : uint32_t {
    ATTITUDE_EULER = 1,
    ATTITUDE_SECOND_ORDER = 2,
    ATTITUDE_SECOND_ORDER_AUGMENTED = 3,
    ATTITUDE_THIRD_ORDER = 4,
    ATTITUDE_FOURTH_ORDER = 5,
};

struct ATTITUDE_STATE {
    uint32_t method;
    MAT33 inertia;
    QUAT attitude;             // body -> world
    VEC3 angularVelocity;      // rad/s, world
    VEC3 torque;               // N m, world, for the next step
    double damping;
    MAT33 inverseInertia;
    MAT33 worldInverseInertia;
    MAT33 rotation;            // body -> world
    MAT33 rotationT;
    VEC3 angularMomentum;
    double energy;
    uint32_t firstStep;
    // The derivatives of the free body's rate that the method's turn uses.
    uint32_t computeRateDerivative[3];
    VEC3 omegaDot;
    VEC3 omegaDDot;
    VEC3 omegaDDDot;
    // Set once from the inertia; a step does not read them.
    MAT33 principalMoments;
    MAT33 principalAxes;
};

void ATTITUDE_ModuleInit();
void ATTITUDE_ModuleDone();
void ATTITUDE_SetMethod(ATTITUDE_STATE* a, uint32_t method);
void ATTITUDE_SetInertia(ATTITUDE_STATE* a, const MAT33* inertia);
void ATTITUDE_SetQuaternion(ATTITUDE_STATE* a, const QUAT* q);
void ATTITUDE_SetAngularVelocity(ATTITUDE_STATE* a, const VEC3* w);
void ATTITUDE_SetTorque(ATTITUDE_STATE* a, const VEC3* torque);
void ATTITUDE_SetDamping(ATTITUDE_STATE* a, double damping);
// 1, or 0 when the inertia cannot be inverted or has no principal axes.
uint32_t ATTITUDE_Init(ATTITUDE_STATE* a);
// Advances the block by dt seconds under the torque and damping last set.
void ATTITUDE_Step(ATTITUDE_STATE* a, double dt);

void ATTITUDE_GetRotation(const ATTITUDE_STATE* a, MAT33* r);
void ATTITUDE_GetRotationT(const ATTITUDE_STATE* a, MAT33* rt);
void ATTITUDE_GetPrincipalAxes(const ATTITUDE_STATE* a, MAT33* axes);
void ATTITUDE_GetQuaternion(const ATTITUDE_STATE* a, QUAT* q);
void ATTITUDE_GetAngularVelocity(const ATTITUDE_STATE* a, VEC3* w);
void ATTITUDE_GetTorque(const ATTITUDE_STATE* a, VEC3* torque);
void ATTITUDE_GetInertia(const ATTITUDE_STATE* a, MAT33* inertia);
// The three principal moments, largest first.
void ATTITUDE_GetPrincipalMoments(const ATTITUDE_STATE* a, VEC3* moments);
