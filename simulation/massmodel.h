// MASSMODEL / MASSOBJECT: a satellite body as a list of mass elements (points,
// lines, plates and blocks) read from a mass-model definition file, with its
// centre of mass and its inertia tensor about that centre (body frame, metres,
// kilograms, kg m^2).
#pragma once
#include <cstdint>
#include "foundation/vecmath.h"

enum MASSOBJECT_KIND : uint32_t {
    MASSOBJECT_POINT = 1,
    MASSOBJECT_LINE = 2,
    MASSOBJECT_PLATE = 3,
    MASSOBJECT_BLOCK = 4,
};

// One element. LINE is the segment AB; PLATE the parallelogram with corner A
// and edges AB, AC; BLOCK the parallelepiped with corner A and edges AB, AC, AD.
// Points the kind does not use stay zero.
struct MASSOBJECT {
    char* name;
    uint32_t kind;
    double mass;  // kg
    VEC3 a, b, c, d;
    uint32_t cogComputed;
    VEC3 cog;
    uint32_t inertiaComputed;
    MAT33 inertia;  // about the module reference point at the time it was computed
    MASSOBJECT* next;
};

struct MASSMODEL {
    char* name;
    char* fileName;
    MASSOBJECT* objects;
    uint32_t cogComputed;
    VEC3 cog;
    uint32_t inertiaComputed;
    MAT33 inertia;  // about the centre of mass, symmetric
    MASSMODEL* next;
};

// Reads `"<model name>", "<definition file>"` from the current line, then the file.
MASSMODEL* MASSMODEL_Load();
// The centre of mass stays unknown (flag 0) while the masses sum to zero.
void MASSMODEL_ComputeCog(MASSMODEL* model);
// The tensor stays unknown while the centre of mass is.
void MASSMODEL_ComputeInertia(MASSMODEL* model);
void MASSMODEL_GetCog(MASSMODEL* model, VEC3* cog);
void MASSMODEL_GetInertia(MASSMODEL* model, MAT33* inertia);
void MASSMODEL_ComputeAndPrint(MASSMODEL* model);
void MASSMODEL_Print(const MASSMODEL* model);
// Copies the computed results of the first other model of the list that was read
// from the same definition file (names compared without regard to case); 1 when
// such a model exists.
uint32_t MASSMODEL_ShareResults(MASSMODEL* model, MASSMODEL* list);
double MASSMODEL_TotalMass(const MASSMODEL* model);
// 1 when the model can carry a satellite's attitude: its total mass is positive.
// Otherwise one message naming the satellite and the model.
uint32_t MASSMODEL_CheckUsable(const MASSMODEL* model, const char* satelliteName);
void MASSMODEL_Free(MASSMODEL* model);
void MASSMODEL_Init();
void MASSMODEL_Done();

MASSOBJECT* MASSOBJECT_Load();
void MASSOBJECT_ComputeCog(MASSOBJECT* object);
void MASSOBJECT_ComputeInertia(MASSOBJECT* object);
void MASSOBJECT_SetReferencePoint(double x, double y, double z);
// The point masses of a sampled element, added to a tensor about the reference point.
void MASSOBJECT_AddPointMass(MAT33* inertia, double mass, const VEC3* p);
void MASSOBJECT_AddLineMass(MAT33* inertia, double mass, const VEC3* p, const VEC3* q);
void MASSOBJECT_AddPlateMass(MAT33* inertia, double mass, const VEC3* p, const VEC3* q, const VEC3* r);
void MASSOBJECT_AddBlockMass(MAT33* inertia, double mass, const VEC3* p, const VEC3* q, const VEC3* r,
                             const VEC3* s);
// 1 when the two points are closer than 0.0003 m.
uint32_t MASSOBJECT_IsTooShort(const VEC3* from, const VEC3* to);
void MASSOBJECT_Free(MASSOBJECT* object);
void MASSOBJECT_Init();
void MASSOBJECT_Done();
