// RASTER: the projected-area raster. Projected quads are filled into a 512 x 512
// grid of byte pixels; the covered pixels give the area of the silhouette (faces
// that overlap count once) and its centroid. The filled triangles can be recorded
// into lists that a satellite keeps for drawing; their records are recycled.
// There is one raster, serving one projection at a time.
#pragma once
#include <cstdint>

constexpr uint16_t RASTER_SIZE = 512;

// A point in plane coordinates (metres along the projection's two plane axes).
struct RASTER_POINT {
    double x, y;
};

// A pixel: column and row, within 0 .. 511 after mapping.
struct RASTER_PIXEL {
    int16_t x, y;
};

struct RASTER_TRIANGLE {
    RASTER_POINT corners[3];
    RASTER_TRIANGLE* next;
};

struct RASTER_TRIANGLE_LIST {
    uint32_t count;              // triangles in the list
    RASTER_TRIANGLE* head;       // newest first
    RASTER_TRIANGLE_LIST* link;  // next header while in the free chain
    RASTER_TRIANGLE* tail;       // the oldest, last in the list (null: not kept)
};

// Allocates and clears the buffer; 0 with a message when there is no memory.
uint32_t RASTER_Init();
void RASTER_FreeBuffer();
// Forgets the buffer, the free chains and the recording without freeing them
// (the module's per-run initialiser).
void RASTER_Reset();
// Frees the buffer, the current recording and every recycled record.
void RASTER_Done();
// Empties every pixel, the count and the sums; recording goes off and an
// untaken recording goes back for reuse.
void RASTER_Clear();
void RASTER_StartRecording();
void RASTER_SetRangeX(double min, double max);
void RASTER_SetRangeY(double min, double max);
void RASTER_PlaneToPixel(const RASTER_POINT* point, RASTER_PIXEL* pixel);

// Maps the four plane points, fills the quad and records its two triangles
// (0, 1, 2) and (0, 2, 3) when recording is on.
void RASTER_AddQuad(const RASTER_POINT points[4]);
void RASTER_FillQuad(const RASTER_PIXEL points[4]);
void RASTER_EraseQuad(const RASTER_PIXEL points[4]);
void RASTER_FillTriangle(RASTER_PIXEL p0, RASTER_PIXEL p1, RASTER_PIXEL p2);
void RASTER_EraseTriangle(RASTER_PIXEL p0, RASTER_PIXEL p1, RASTER_PIXEL p2);
void RASTER_FillPlaneTriangle(const RASTER_POINT* p0, const RASTER_POINT* p1, const RASTER_POINT* p2);
void RASTER_ErasePlaneTriangle(const RASTER_POINT* p0, const RASTER_POINT* p1, const RASTER_POINT* p2);
void RASTER_ErasePlaneQuad(const RASTER_POINT points[4]);
// One row between x1 and x2 inclusive, in either order.
void RASTER_FillSpan(uint16_t row, uint16_t x1, uint16_t x2);
void RASTER_EraseSpan(uint16_t row, uint16_t x1, uint16_t x2);

void RASTER_GetPixelCount(uint32_t* count);
// Mean column and row of the covered pixels; (0, 0) when none is covered.
void RASTER_GetPixelCentroid(double* x, double* y);
// The covered area in plane units squared.
void RASTER_GetArea(double* area);
// The centroid in plane coordinates; (0, 0) when no pixel is covered.
void RASTER_GetCentroid(double* x, double* y);
// Detaches the current recording: the caller owns it until RASTER_FreeRecording.
RASTER_TRIANGLE_LIST* RASTER_TakeRecording();
// The list's records go to the front of the free chain, so the next
// recording reuses the records used last.
void RASTER_FreeRecording(RASTER_TRIANGLE_LIST* list);
uint16_t RASTER_GetWidth();
uint16_t RASTER_GetHeight();
// The pixels, row-major (column x of row y is byte y * 512 + x): 0 empty,
// 255 covered, written from the coverage when asked for. Read only, and valid
// until the raster next changes.
const uint8_t* RASTER_GetBuffer();
void RASTER_DebugPrintSpan(int16_t first, int16_t last);
