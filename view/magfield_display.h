// MAGFIELD field display: a grid of field vectors at a fixed height over the
// globe and 32 field lines traced from the surface, computed at most once per
// run from the field model for the run's start date, in the Earth-fixed frame
// and scene units.
#pragma once
#include <cstdint>
#include "foundation/vecmath.h"
#include "platform/plat_thread.h"

constexpr uint32_t MAGFIELD_GRID_LATITUDES = 21;
constexpr uint32_t MAGFIELD_GRID_LONGITUDES = 24;
constexpr uint32_t MAGFIELD_LINE_COUNT = 32;
constexpr uint32_t MAGFIELD_LINE_MAX_POINTS = 256;
// Trace steps of one line; a line whose field keeps it circling ends here.
constexpr uint32_t MAGFIELD_LINE_MAX_STEPS = 8192;

struct MAGFIELD_SEGMENT {
    VEC3 start;
    VEC3 end;
};

struct MAGFIELD_LINE {
    uint16_t count;
    VEC3* points;
};

enum MAGFIELD_PREP_STATE : uint32_t {
    MAGFIELD_PREP_DONE = 0,
    MAGFIELD_PREP_START_GRID = 1,
    MAGFIELD_PREP_GRID_POINT = 2,
    MAGFIELD_PREP_START_LINES = 3,
    MAGFIELD_PREP_START_LINE = 4,
    MAGFIELD_PREP_TRACE = 5,
    MAGFIELD_PREP_STORE_LINE = 6,
    MAGFIELD_PREP_FINISH = 7,
};

void MAGFIELD_Init();
void MAGFIELD_Done();
// Computes the grid at height metres and the lines, k scene units per km.
void MAGFIELD_PrepareDisplayData(uint32_t height, double k);
// The same for the simulation clock's date now, but computed only by the
// first MAGFIELD_EnsureDisplayData (GUI thread, before the display is shown):
// a run whose view never shows the field does not pay for it.
void MAGFIELD_RequestDisplayData(uint32_t height, double k);
void MAGFIELD_EnsureDisplayData();
void MAGFIELD_PrepareStep();
// The local north-east-down to Earth-fixed turn at a latitude and longitude (radians).
void MAGFIELD_LocalToEarthFixed(double latitude, double longitude, MAT33* m);

// Read access for the drawing (under MAGFIELD_GetDisplayLock) and the tests.
PLAT_LOCK* MAGFIELD_GetDisplayLock();
const MAGFIELD_SEGMENT* MAGFIELD_GetGridSegment(uint32_t latitudeIndex, uint32_t longitudeIndex);
const MAGFIELD_LINE* MAGFIELD_GetLine(uint32_t index);
uint32_t MAGFIELD_GetEvaluationCount();
uint32_t MAGFIELD_GetPrepareState();

// Drawing in the Earth-fixed frame (render thread).
void MAGFIELD_DrawVectors();
void MAGFIELD_DrawLines();
