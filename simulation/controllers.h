// BDOT / BCROSS: the built-in magnetic attitude controllers of a satellite.
// B-dot opposes the rate of change of the body-frame field; B-cross steers the
// dipole across the field from the field's turn between samples. Both command
// a body-frame dipole, saturated per axis with one common factor.
#pragma once
#include <cstdint>
#include "foundation/time.h"
#include "foundation/vecmath.h"

// One record serves both controllers; only B-cross uses the sampling threshold.
struct BDOT_CONTROLLER {
    uint32_t enabled;
    double gain;                 // B-dot A m^2 s/T, B-cross A m^2
    double maxMoment[3];         // A m^2 per body axis
    TIME_MS interval;            // shortest time between two steps
    TIME_MS lastStepTime;
    double samplingThreshold;    // s
    VEC3 previousField;          // T, body
    TIME_MS previousSampleTime;
    VEC3 latestField;            // T, body
    TIME_MS latestSampleTime;
    uint32_t sampleGiven;
    uint32_t firstStepPending;
    VEC3 moment;                 // A m^2, body, the command
};
typedef BDOT_CONTROLLER BCROSS_CONTROLLER;

void BDOT_Init();
void BDOT_Done();
// Reads "<gain>, <max x>, <max y>, <max z>, <interval>" to the end of the line.
uint32_t BDOT_ParseParams(BDOT_CONTROLLER* c);
void BDOT_Enable(BDOT_CONTROLLER* c);
void BDOT_Start(BDOT_CONTROLLER* c);
void BDOT_Disable(BDOT_CONTROLLER* c);
void BDOT_SetInput(BDOT_CONTROLLER* c, const VEC3* fieldTesla);
void BDOT_Step(BDOT_CONTROLLER* c);
void BDOT_GetMoment(BDOT_CONTROLLER* c, VEC3* moment);

void BCROSS_Init();
void BCROSS_Done();
uint32_t BCROSS_ParseParams(BCROSS_CONTROLLER* c);
void BCROSS_Enable(BCROSS_CONTROLLER* c);
void BCROSS_Start(BCROSS_CONTROLLER* c);
void BCROSS_Disable(BCROSS_CONTROLLER* c);
void BCROSS_SetInput(BCROSS_CONTROLLER* c, const VEC3* fieldTesla);
void BCROSS_Step(BCROSS_CONTROLLER* c);
void BCROSS_GetMoment(BCROSS_CONTROLLER* c, VEC3* moment);
