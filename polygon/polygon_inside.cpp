// POLYGON: where points and contours lie relative to grid contours, and the
// check that every hole lies inside its outer contour.
#include "polygon/polygonlibrary.h"

namespace {

// Whether an edge from a to b (doubled coordinates) holds the point p.
bool OnSegment2(int64_t ax, int64_t ay, int64_t bx, int64_t by, int64_t px, int64_t py)
{
    if ((bx - ax) * (py - ay) - (by - ay) * (px - ax) != 0)
        return false;
    return px >= (ax < bx ? ax : bx) && px <= (ax < bx ? bx : ax) && py >= (ay < by ? ay : by) &&
           py <= (ay < by ? by : ay);
}

}

int POLYGON_PointInContour2(const POLYGON_CONTOUR* contour, int64_t x2, int64_t y2)
{
    bool inside = false;
    const POLYGON_VNODE* v = contour->head;
    for (uint32_t i = 0; i < contour->count; i++, v = v->next) {
        int64_t ax = 2 * int64_t(v->point.g.x), ay = 2 * int64_t(v->point.g.y);
        int64_t bx = 2 * int64_t(v->next->point.g.x), by = 2 * int64_t(v->next->point.g.y);
        if (OnSegment2(ax, ay, bx, by, x2, y2))
            return 0;
        // Crossing count of the ray to the right, half-open in y.
        if ((ay > y2) != (by > y2)) {
            int64_t cross = (bx - ax) * (y2 - ay) - (by - ay) * (x2 - ax);
            // The edge crosses right of the point when the point is on its left
            // for an upward edge, on its right for a downward one.
            if ((by > ay) ? cross > 0 : cross < 0)
                inside = !inside;
        }
    }
    return inside ? 1 : -1;
}

int POLYGON_PointInArea2(const POLYGON_AREA* area, int64_t x2, int64_t y2)
{
    if (!area)
        return -1;
    bool inside = false;
    const POLYGON_AREA* a = area;
    do {
        for (const POLYGON_CONTOUR* c = a->cntr; c; c = c->next) {
            int where = POLYGON_PointInContour2(c, x2, y2);
            if (where == 0)
                return 0;
            if (where > 0)
                inside = !inside;
        }
        a = a->next;
    } while (a && a != area);
    return inside ? 1 : -1;
}

namespace {

// Whether the direction from the outer contour's vertex v towards p stays in
// the closed corner of the contour's inside at v. The inside lies left of
// the edges of a counter-clockwise contour: its corner turns counter-
// clockwise from the edge to the next vertex to the edge to the previous one.
bool IntoCorner(const POLYGON_VNODE* v, const POLYGON_IPOINT& p, bool ccw)
{
    const POLYGON_IPOINT& o = v->point.g;
    const POLYGON_IPOINT& from = ccw ? v->next->point.g : v->prev->point.g;
    const POLYGON_IPOINT& to = ccw ? v->prev->point.g : v->next->point.g;
    bool leftOfFrom = POLYGON_Cross(o, from, p) >= 0;
    bool rightOfTo = POLYGON_Cross(o, p, to) >= 0;
    if (POLYGON_Cross(o, from, to) > 0)
        return leftOfFrom && rightOfTo;
    return leftOfFrom || rightOfTo;
}

// Whether q lies on the segment from a to b, strictly between its ends.
bool WithinSegment(const POLYGON_IPOINT& a, const POLYGON_IPOINT& b, const POLYGON_IPOINT& q)
{
    if (POLYGON_Cross(a, b, q) != 0 || POLYGON_SamePoint(a, q) || POLYGON_SamePoint(b, q))
        return false;
    return (q.x - a.x) * int64_t(q.x - b.x) <= 0 && (q.y - a.y) * int64_t(q.y - b.y) <= 0;
}

// An inner vertex on the outer boundary: both of its inner edges must leave
// it towards the inside (or along the boundary).
bool StaysInsideAtVertex(const POLYGON_VNODE* v, const POLYGON_CONTOUR* outer, bool ccw)
{
    const POLYGON_IPOINT& at = v->point.g;
    const POLYGON_VNODE* w = outer->head;
    for (uint32_t i = 0; i < outer->count; i++, w = w->next) {
        if (POLYGON_SamePoint(w->point.g, at))
            return IntoCorner(w, v->prev->point.g, ccw) && IntoCorner(w, v->next->point.g, ccw);
        if (WithinSegment(w->point.g, w->next->point.g, at)) {
            int64_t before = POLYGON_Cross(w->point.g, w->next->point.g, v->prev->point.g);
            int64_t after = POLYGON_Cross(w->point.g, w->next->point.g, v->next->point.g);
            return ccw ? before >= 0 && after >= 0 : before <= 0 && after <= 0;
        }
    }
    return true;
}

bool ProperCrossing(const POLYGON_IPOINT& a, const POLYGON_IPOINT& b, const POLYGON_IPOINT& c, const POLYGON_IPOINT& d)
{
    int64_t c1 = POLYGON_Cross(a, b, c), c2 = POLYGON_Cross(a, b, d);
    int64_t c3 = POLYGON_Cross(c, d, a), c4 = POLYGON_Cross(c, d, b);
    return ((c1 > 0 && c2 < 0) || (c1 < 0 && c2 > 0)) && ((c3 > 0 && c4 < 0) || (c3 < 0 && c4 > 0));
}

// An inner edge must neither cross an outer edge nor pass an outer vertex
// on its way out of the inside.
bool EdgeStaysInside(const POLYGON_VNODE* v, const POLYGON_CONTOUR* outer, bool ccw)
{
    const POLYGON_IPOINT& a = v->point.g;
    const POLYGON_IPOINT& b = v->next->point.g;
    const POLYGON_VNODE* w = outer->head;
    for (uint32_t i = 0; i < outer->count; i++, w = w->next) {
        if (ProperCrossing(a, b, w->point.g, w->next->point.g))
            return false;
        if (WithinSegment(a, b, w->point.g) && !(IntoCorner(w, a, ccw) && IntoCorner(w, b, ccw)))
            return false;
    }
    return true;
}

}

// Exact: the inner boundary may touch the outer one but nowhere leave the
// closed inside. Every inner vertex lies inside or on the outer contour, and
// wherever the inner boundary meets the outer one it goes on inside.
bool POLYGON_ContourInside(const POLYGON_CONTOUR* inner, const POLYGON_CONTOUR* outer)
{
    if (inner->boxMin.g.x < outer->boxMin.g.x || inner->boxMin.g.y < outer->boxMin.g.y ||
        inner->boxMax.g.x > outer->boxMax.g.x || inner->boxMax.g.y > outer->boxMax.g.y)
        return false;
    bool ccw = POLYGON_DoubledArea(outer) > 0;
    const POLYGON_VNODE* v = inner->head;
    for (uint32_t i = 0; i < inner->count; i++, v = v->next) {
        int where = POLYGON_PointInContour2(outer, 2 * int64_t(v->point.g.x), 2 * int64_t(v->point.g.y));
        if (where < 0 || (where == 0 && !StaysInsideAtVertex(v, outer, ccw)))
            return false;
    }
    for (uint32_t i = 0; i < inner->count; i++, v = v->next)
        if (!EdgeStaysInside(v, outer, ccw))
            return false;
    return true;
}

void POLYGON_CheckHoles(const POLYGON_AREA* area)
{
    if (!area)
        return;
    const POLYGON_AREA* a = area;
    do {
        for (const POLYGON_CONTOUR* hole = a->cntr->next; hole; hole = hole->next)
            POLYGON_Require(POLYGON_ContourInside(hole, a->cntr));
        a = a->next;
    } while (a != area);
}
