// Whether holes lie inside their outer contour, internal to the polygon
// library: the test by pairs of edges, and the plane sweep that gives the same
// answers in O((n + m) log(n + m)) for an outer contour of n and holes of m
// vertices together.
#pragma once
#include <cstddef>
#include "polygon/polygonlibrary.h"

// POLYGON_ContourInside by comparing every edge of inner with every edge of
// outer: quadratic, but the quicker way for small contours, and the reference
// where the sweep cannot tell.
bool POLYGON_ContourInsideByPairs(const POLYGON_CONTOUR* inner, const POLYGON_CONTOUR* outer);

// The sweep could not tell: a contour crosses itself, the outer contour
// touches or overlaps itself, holes cross or overlap each other, or a
// coordinate lies outside INT20.
constexpr int POLYGON_SWEEP_UNDECIDED = -1;

// One sweep over the edges of an outer contour and of holes (consistent grid
// rings): 1 when POLYGON_ContourInside holds for every hole, 0 when it fails for
// one, POLYGON_SWEEP_UNDECIDED when the sweep cannot tell.
int POLYGON_HolesInsideSweep(const POLYGON_CONTOUR* outer, const POLYGON_CONTOUR* const* holes, size_t count);
