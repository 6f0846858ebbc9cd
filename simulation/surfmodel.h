// SURFMODEL: the outer surface of a satellite body as named points and quads
// between them, read from a surface-model definition file. The points are
// turned with the attitude, projected along a direction and the quads filled
// into the projected-area raster, which then gives the area and the centroid
// that the Sun or the airflow sees. The module owns the life of the raster buffer.
#pragma once
#include <cstdint>
#include "foundation/vecmath.h"
#include "simulation/raster.h"

struct SURFMODEL_POINT {
    char* name;
    VEC3 position;   // metres, body frame, as read
    VEC3 rotated;    // after the last rotation
    VEC3 projected;  // rotated, less its component along the last projection direction
    SURFMODEL_POINT* next;
};

enum SURFMODEL_QUAD_KIND : uint32_t { SURFMODEL_QUAD_KIND_QUAD = 1 };

struct SURFMODEL_QUAD {
    uint32_t kind;
    SURFMODEL_POINT* corners[4];  // points of the same model, in the order written
    RASTER_POINT plane[4];        // the corners along the plane axes of the last projection
    SURFMODEL_QUAD* next;
};

struct SURFMODEL {
    char* name;
    SURFMODEL_POINT* points;  // newest first
    SURFMODEL_QUAD* quads;    // newest first
    void* records;            // the block holding the points, then the quads; null while each is its own
    SURFMODEL* next;
};

// Reads `= "<model name>", "<definition file>"` from the current line, then the file.
uint32_t SURFMODEL_ParseDefinition(SURFMODEL** model);
SURFMODEL_POINT* SURFMODEL_FindByName(SURFMODEL_POINT* head, const char* name);
// Allocates the shared raster buffer on the first call; 0 when that fails.
uint32_t SURFMODEL_PrepareRaster(SURFMODEL* model);
// Whether the projections record their filled triangles (on after init). Only
// drawing reads them, so a run without a window does not record them.
void SURFMODEL_KeepTriangles(uint32_t keep);
void SURFMODEL_TransformPoints(SURFMODEL* model, const MAT33* rotation);
void SURFMODEL_ProjectPoints(SURFMODEL* model, VEC3 direction);
void SURFMODEL_SetupRaster(SURFMODEL* model, const VEC3* u, const VEC3* v);
// Turns the model by R, projects it along d onto the plane of the unit vectors u
// and v (both across d) and fills every quad. RASTER_GetArea (m^2),
// RASTER_GetCentroid (metres along u and v) and RASTER_TakeRecording then give
// the results.
void SURFMODEL_RasterizeProjection(SURFMODEL* model, const MAT33* rotation, const VEC3* direction, const VEC3* u,
                                   const VEC3* v);
void SURFMODEL_Free(SURFMODEL* model);
void SURFMODEL_FreeQuad(SURFMODEL_QUAD* quad);
void SURFMODEL_FreePoint(SURFMODEL_POINT* point);
void SURFMODEL_Init();
void SURFMODEL_Cleanup();
