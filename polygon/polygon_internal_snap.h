// Snap rounding of a set of grid segments, internal to the polygon library.
//
// Every grid cell that holds a segment end or a crossing of two segments is a
// hot pixel; every segment that passes through a hot pixel gets a vertex at its
// grid point. The crossings are found by a plane sweep in exact integer
// arithmetic; the result lists, per segment, the hot pixels it passes through
// in order from its first end to its second.
#pragma once
#include <cstdint>
#include <vector>
#include "polygon/polygonlibrary.h"

// One input segment; a is the smaller end by (x, then y).
struct POLYGON_SNAPSEG {
    POLYGON_IPOINT a, b;
};

struct POLYGON_SNAPRESULT {
    std::vector<POLYGON_IPOINT> pixels;   // the hot pixels' grid points, by pixel number
    std::vector<uint32_t> first;          // per segment the start of its run in hits; one more entry at the end
    std::vector<uint32_t> hits;           // pixel numbers, each segment's run from a to b
};

// Whether p comes before q by (x, then y).
inline bool POLYGON_IntLess(const POLYGON_IPOINT& p, const POLYGON_IPOINT& q)
{
    return p.x < q.x || (p.x == q.x && p.y < q.y);
}

// The nearest integer to num / den (den > 0), halves rounded up, and on which
// side of it the exact value lies (+1 above, -1 below, 0 exact).
int64_t POLYGON_RoundDiv(int64_t num, int64_t den, int* side);

// Exact crossing or touching point of two segments, rounded to the grid, with
// the side keys of x and y. False for parallel segments and for segments that
// do not meet.
bool POLYGON_SegmentCrossing(const POLYGON_SNAPSEG& u, const POLYGON_SNAPSEG& v, POLYGON_IPOINT* at, int* keyX,
                             int* keyY);

// Raises 3 for coordinates outside INT20 or segments whose ends are not in
// order, 1 when memory runs out.
void POLYGON_SnapRound(const std::vector<POLYGON_SNAPSEG>& segments, POLYGON_SNAPRESULT* result);
