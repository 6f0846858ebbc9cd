// POLYGON: where points and contours lie relative to grid contours, and the
// check that every hole lies inside its outer contour.
//
// A hole lies inside when it nowhere leaves the closed inside of its outer
// contour: every hole vertex lies inside or on the outer contour, no hole edge
// crosses an outer edge, and wherever the hole meets the outer boundary it goes
// on inside. Compared edge by edge this costs the product of the two vertex
// counts; a plane sweep over the edges of both gives the same answers in
// O((n + m) log(n + m)) wherever the outer contour is simple and the holes
// cross neither themselves nor each other, and leaves the rest to the pairs.
#include <algorithm>
#include <memory_resource>
#include <set>
#include <vector>
#include "polygon/polygon_internal_inside.h"
#include "polygon/polygon_internal_snap.h"

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
// Only the direction of p from v counts.
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

// An inner vertex v at the outer vertex w: both of its edges leave it towards
// the inside (or along the boundary).
bool TurnsInsideAtCorner(const POLYGON_VNODE* w, const POLYGON_VNODE* v, bool ccw)
{
    return IntoCorner(w, v->prev->point.g, ccw) && IntoCorner(w, v->next->point.g, ccw);
}

// The same for an inner vertex v within the outer edge from w to its successor.
bool TurnsInsideOnEdge(const POLYGON_VNODE* w, const POLYGON_VNODE* v, bool ccw)
{
    int64_t before = POLYGON_Cross(w->point.g, w->next->point.g, v->prev->point.g);
    int64_t after = POLYGON_Cross(w->point.g, w->next->point.g, v->next->point.g);
    return ccw ? before >= 0 && after >= 0 : before <= 0 && after <= 0;
}

// An inner edge from a to b that passes through the outer vertex w stays
// inside on both sides of it.
bool PassesInsideAtCorner(const POLYGON_VNODE* w, const POLYGON_IPOINT& a, const POLYGON_IPOINT& b, bool ccw)
{
    return IntoCorner(w, a, ccw) && IntoCorner(w, b, ccw);
}

// Whether q lies on the segment from a to b, strictly between its ends.
bool WithinSegment(const POLYGON_IPOINT& a, const POLYGON_IPOINT& b, const POLYGON_IPOINT& q)
{
    if (POLYGON_Cross(a, b, q) != 0 || POLYGON_SamePoint(a, q) || POLYGON_SamePoint(b, q))
        return false;
    return (q.x - a.x) * int64_t(q.x - b.x) <= 0 && (q.y - a.y) * int64_t(q.y - b.y) <= 0;
}

// An inner vertex on the outer boundary, at the first outer vertex or edge
// from the head that holds it.
bool StaysInsideAtVertex(const POLYGON_VNODE* v, const POLYGON_CONTOUR* outer, bool ccw)
{
    const POLYGON_IPOINT& at = v->point.g;
    const POLYGON_VNODE* w = outer->head;
    for (uint32_t i = 0; i < outer->count; i++, w = w->next) {
        if (POLYGON_SamePoint(w->point.g, at))
            return TurnsInsideAtCorner(w, v, ccw);
        if (WithinSegment(w->point.g, w->next->point.g, at))
            return TurnsInsideOnEdge(w, v, ccw);
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
        if (WithinSegment(a, b, w->point.g) && !PassesInsideAtCorner(w, a, b, ccw))
            return false;
    }
    return true;
}

bool InsideBox(const POLYGON_CONTOUR* inner, const POLYGON_CONTOUR* outer)
{
    return inner->boxMin.g.x >= outer->boxMin.g.x && inner->boxMin.g.y >= outer->boxMin.g.y &&
           inner->boxMax.g.x <= outer->boxMax.g.x && inner->boxMax.g.y <= outer->boxMax.g.y;
}

// ---------------------------------------------------------------------------
// The sweep
//
// The sweep visits vertices by (x, then y), which is a left-to-right sweep in
// coordinates sheared just enough that no edge stands vertical: x' = x 2^20 +
// y, and no two grid points share an x'. Its status holds the edges that span
// the sweep position, ordered from below to above; two edges are tested
// whenever they become neighbours there, so that the first crossing of any
// two edges is found before the sweep passes it (Shamos and Hoey). A hole
// edge crossing an outer edge settles the answer; edges of one kind crossing,
// or overlapping along a line, leave the sweep undecided. So do outer edges
// that touch other than at the vertex they share: the test by pairs then
// decides which of them a hole vertex on them meets first.
//
// Only the stretch from the first to the last hole vertex matters: the sweep
// starts there with the outer edges that span its start, in their order
// there, and ends at the last hole vertex.
//
// At each point the sweep takes the outer vertex or the outer edge through
// the point that the test by pairs would take, and tests hole vertices there
// and hole edges passing outer vertices as that test does. A hole vertex off
// the outer boundary lies inside when the number of outer edges above it is
// odd: a ray from it crosses the outer contour that often. Each status place
// keeps the parity of the outer edges above it; every point of a closed
// contour starts or ends an even number of its edges, so the parity changes
// only for the places at the point the sweep is at.
//
// Most vertices pass the sweep line: one of their edges ends, the other starts
// where it ended, and the new edge takes over the old one's place. Edges of
// zero length (repeated vertices) never enter the status: the test by pairs
// finds nothing on them either.

enum class SWEEP_STEP { GOES_ON, OUTSIDE, UNDECIDED };

// One vertex: the outer contour's first, in ring order from the head, then
// each hole's.
struct SWEEP_VERTEX {
    const POLYGON_VNODE* node;
    POLYGON_IPOINT at;       // its point, kept here for the sweep's many looks
    uint32_t prev, next;     // the ring neighbours' places
};

// The edge from a vertex to its ring successor, its ends by (x, then y).
struct SWEEP_EDGE {
    POLYGON_IPOINT l, r;
};

struct SWEEP_EVENT {
    uint64_t key;            // the point by (x, then y)
    uint32_t vertex;
};

// A point looked up in the status.
struct SWEEP_POINT {
    POLYGON_IPOINT p;
};

struct SWEEP;

// Status order of places, from below to above. A point sorts after the
// places below it.
struct SWEEP_ORDER {
    using is_transparent = void;
    const SWEEP* s;
    bool operator()(uint32_t a, uint32_t b) const;
    bool operator()(uint32_t a, const SWEEP_POINT& q) const;
};

using SWEEP_STATUS = std::pmr::set<uint32_t, SWEEP_ORDER>;
using SWEEP_PLACE = SWEEP_STATUS::iterator;

struct SWEEP {
    std::vector<SWEEP_VERTEX> vertices;
    std::vector<SWEEP_EDGE> edges;              // numbered by their first vertex in ring order
    uint32_t outerCount = 0;                    // vertices and edges of the outer contour come first
    bool ccw = false;                           // the outer contour's orientation
    bool starting = false;                      // the status is filled in order, place by place
    std::vector<uint32_t> edgeAt;               // per status place: the edge that holds it
    std::vector<uint8_t> parity;                // per status place: outer edges above it, mod 2
    uint32_t places = 0;                        // status places handed out
    std::vector<SWEEP_PLACE> where;             // per edge in the status: its place
    std::vector<uint32_t> here;                 // the vertices at the sweep point
};

int Sign(int64_t v) { return (v > 0) - (v < 0); }
bool IsOuter(const SWEEP& s, uint32_t e) { return e < s.outerCount; }
bool IsPoint(const SWEEP_EDGE& e) { return POLYGON_SamePoint(e.l, e.r); }
bool Through(const SWEEP_EDGE& e, const POLYGON_IPOINT& q) { return POLYGON_Cross(e.l, e.r, q) == 0; }
uint32_t EdgeIn(const SWEEP& s, SWEEP_PLACE place) { return s.edgeAt[*place]; }

// Where edge e lies against edge f where both span the sweep position: +1
// above, -1 below, 0 on one line. Edges that do not cross keep this order
// wherever both span.
int Against(const SWEEP_EDGE& e, const SWEEP_EDGE& f)
{
    if (POLYGON_IntLess(e.l, f.l)) {
        int s = Sign(POLYGON_Cross(e.l, e.r, f.l));
        return -(s != 0 ? s : Sign(POLYGON_Cross(e.l, e.r, f.r)));
    }
    int s = Sign(POLYGON_Cross(f.l, f.r, e.l));
    return s != 0 ? s : Sign(POLYGON_Cross(f.l, f.r, e.r));
}

int64_t Sheared(const POLYGON_IPOINT& p) { return int64_t(p.x) * (int64_t(1) << 20) + p.y; }

// The same just before the sweep reaches q, for edges that both span q and
// may have crossed before: by their height at q, then the steeper one below.
int AgainstAt(const SWEEP_EDGE& e, const SWEEP_EDGE& f, const POLYGON_IPOINT& q)
{
    int64_t de = Sheared(e.r) - Sheared(e.l), df = Sheared(f.r) - Sheared(f.l);
    __int128 ye = __int128(e.l.y) * de + __int128(Sheared(q) - Sheared(e.l)) * (int64_t(e.r.y) - e.l.y);
    __int128 yf = __int128(f.l.y) * df + __int128(Sheared(q) - Sheared(f.l)) * (int64_t(f.r.y) - f.l.y);
    __int128 hl = ye * df, hr = yf * de;
    if (hl != hr)
        return hl < hr ? -1 : 1;
    __int128 sl = __int128(int64_t(e.r.y) - e.l.y) * df, sr = __int128(int64_t(f.r.y) - f.l.y) * de;
    return sl == sr ? 0 : (sl > sr ? -1 : 1);
}

// Edges on one line go by number, which puts outer edges first.
bool SWEEP_ORDER::operator()(uint32_t a, uint32_t b) const
{
    if (s->starting)
        return a < b;
    uint32_t e = s->edgeAt[a], f = s->edgeAt[b];
    int against = Against(s->edges[e], s->edges[f]);
    return against != 0 ? against < 0 : e < f;
}

bool SWEEP_ORDER::operator()(uint32_t a, const SWEEP_POINT& q) const
{
    const SWEEP_EDGE& e = s->edges[s->edgeAt[a]];
    return POLYGON_Cross(e.l, e.r, q.p) > 0;
}

// Adds a contour's vertices and edges; false when a coordinate lies outside
// INT20.
bool AddContour(SWEEP* s, const POLYGON_CONTOUR* c)
{
    uint32_t first = uint32_t(s->vertices.size());
    const POLYGON_VNODE* v = c->head;
    for (uint32_t i = 0; i < c->count; i++, v = v->next) {
        if (!POLYGON_InGrid(v->point.g.x) || !POLYGON_InGrid(v->point.g.y))
            return false;
        uint32_t prev = i == 0 ? first + c->count - 1 : first + i - 1;
        uint32_t next = i + 1 == c->count ? first : first + i + 1;
        s->vertices.push_back(SWEEP_VERTEX{v, v->point.g, prev, next});
    }
    for (uint32_t i = first; i < s->vertices.size(); i++) {
        const POLYGON_IPOINT& p = s->vertices[i].at;
        const POLYGON_IPOINT& q = s->vertices[s->vertices[i].next].at;
        s->edges.push_back(POLYGON_IntLess(q, p) ? SWEEP_EDGE{q, p} : SWEEP_EDGE{p, q});
    }
    return true;
}

// POLYGON_DoubledArea of the outer contour, from its edges.
int64_t OuterDoubledArea(const SWEEP& s)
{
    int64_t area = 0;
    for (uint32_t i = 0; i < s.outerCount; i++) {
        const POLYGON_IPOINT& p = s.vertices[i].at;
        const POLYGON_IPOINT& q = s.vertices[s.vertices[i].next].at;
        area += (int64_t(p.x) - q.x) * (int64_t(p.y) + q.y);
    }
    return area;
}

// Two edges that became neighbours in the status.
SWEEP_STEP TestNeighbours(const SWEEP& s, uint32_t e, uint32_t f)
{
    const SWEEP_EDGE& a = s.edges[e];
    const SWEEP_EDGE& b = s.edges[f];
    bool oneKind = IsOuter(s, e) == IsOuter(s, f);
    int64_t c1 = POLYGON_Cross(a.l, a.r, b.l), c2 = POLYGON_Cross(a.l, a.r, b.r);
    if (c1 == 0 && c2 == 0) {
        // On one line: an overlap longer than a point.
        const POLYGON_IPOINT& from = POLYGON_IntLess(a.l, b.l) ? b.l : a.l;
        const POLYGON_IPOINT& to = POLYGON_IntLess(a.r, b.r) ? a.r : b.r;
        return oneKind && POLYGON_IntLess(from, to) ? SWEEP_STEP::UNDECIDED : SWEEP_STEP::GOES_ON;
    }
    // A proper crossing has the ends of each edge strictly on both sides of
    // the other; most neighbours fail the first half already.
    if ((c1 >= 0 && c2 >= 0) || (c1 <= 0 && c2 <= 0) || !ProperCrossing(a.l, a.r, b.l, b.r))
        return SWEEP_STEP::GOES_ON;
    return oneKind ? SWEEP_STEP::UNDECIDED : SWEEP_STEP::OUTSIDE;
}

// The edge arriving at vertex u; the one leaving it has u's number.
uint32_t EdgeBefore(const SWEEP& s, uint32_t u) { return s.vertices[u].prev; }

// Whether a hole vertex off the outer boundary lies inside: the outer edges
// above it, from the first place above.
bool OddAbove(const SWEEP& s, const SWEEP_STATUS& status, SWEEP_PLACE above)
{
    return above != status.end() && (s.parity[*above] ^ uint8_t(IsOuter(s, EdgeIn(s, above)))) != 0;
}

// The outer edges spanning the start q, in their order just before it.
SWEEP_STEP StartStatus(SWEEP& s, SWEEP_STATUS& status, const POLYGON_IPOINT& q)
{
    std::vector<uint32_t> spanning;
    for (uint32_t e = 0; e < s.outerCount; e++)
        if (POLYGON_IntLess(s.edges[e].l, q) && !POLYGON_IntLess(s.edges[e].r, q))
            spanning.push_back(e);
    std::sort(spanning.begin(), spanning.end(), [&](uint32_t e, uint32_t f) {
        int against = AgainstAt(s.edges[e], s.edges[f], q);
        return against != 0 ? against < 0 : e < f;
    });
    s.starting = true;
    for (size_t i = 0; i < spanning.size(); i++) {
        uint32_t place = s.places++;
        s.edgeAt[place] = spanning[i];
        s.parity[place] = uint8_t((spanning.size() - 1 - i) & 1);
        s.where[spanning[i]] = status.insert(status.end(), place);
    }
    s.starting = false;
    for (size_t i = 1; i < spanning.size(); i++) {
        SWEEP_STEP step = TestNeighbours(s, spanning[i - 1], spanning[i]);
        if (step != SWEEP_STEP::GOES_ON)
            return step;
    }
    return SWEEP_STEP::GOES_ON;
}

// Calls visit for each edge at the sweep point that ends there (or starts
// there), until one of the calls settles the answer.
template <typename VISIT>
SWEEP_STEP ForEdgesAt(const SWEEP& s, const POLYGON_IPOINT& q, bool ending, VISIT visit)
{
    for (uint32_t u : s.here)
        for (uint32_t e : {EdgeBefore(s, u), u}) {
            const SWEEP_EDGE& edge = s.edges[e];
            if (IsPoint(edge) || !POLYGON_SamePoint(ending ? edge.r : edge.l, q))
                continue;
            SWEEP_STEP step = visit(e);
            if (step != SWEEP_STEP::GOES_ON)
                return step;
        }
    return SWEEP_STEP::GOES_ON;
}

// Takes the edges that end at the point out of the status.
SWEEP_STEP RemoveEnding(SWEEP& s, SWEEP_STATUS& status, const POLYGON_IPOINT& q)
{
    return ForEdgesAt(s, q, true, [&](uint32_t e) {
        SWEEP_PLACE it = s.where[e];
        SWEEP_PLACE above = std::next(it);
        bool hasBelow = it != status.begin();
        SWEEP_PLACE below = hasBelow ? std::prev(it) : it;
        status.erase(it);
        if (!hasBelow || above == status.end())
            return SWEEP_STEP::GOES_ON;
        return TestNeighbours(s, EdgeIn(s, below), EdgeIn(s, above));
    });
}

// Puts the edges that start at the point into the status.
SWEEP_STEP InsertStarting(SWEEP& s, SWEEP_STATUS& status, const POLYGON_IPOINT& q)
{
    return ForEdgesAt(s, q, false, [&](uint32_t e) {
        uint32_t place = s.places++;
        s.edgeAt[place] = e;
        SWEEP_PLACE it = status.insert(place).first;
        s.where[e] = it;
        SWEEP_STEP step = SWEEP_STEP::GOES_ON;
        if (it != status.begin())
            step = TestNeighbours(s, EdgeIn(s, std::prev(it)), e);
        if (step == SWEEP_STEP::GOES_ON && std::next(it) != status.end())
            step = TestNeighbours(s, e, EdgeIn(s, std::next(it)));
        return step;
    });
}

// What the sweep knows at a point after the edges ending there are gone: the
// outer and the hole edge passing through it (UINT32_MAX when there is none)
// and the first place above it.
struct SWEEP_AT {
    uint32_t outerEdge = UINT32_MAX, holeEdge = UINT32_MAX;
    SWEEP_PLACE above;
};

SWEEP_STEP PassingEdges(const SWEEP& s, SWEEP_STATUS& status, const POLYGON_IPOINT& q, SWEEP_AT* at)
{
    SWEEP_PLACE it = status.lower_bound(SWEEP_POINT{q});
    for (; it != status.end() && Through(s.edges[EdgeIn(s, it)], q); ++it) {
        uint32_t e = EdgeIn(s, it);
        uint32_t& slot = IsOuter(s, e) ? at->outerEdge : at->holeEdge;
        if (slot != UINT32_MAX)
            return SWEEP_STEP::UNDECIDED;   // overlapping or crossing, found already
        slot = e;
    }
    at->above = it;
    return SWEEP_STEP::GOES_ON;
}

// The outer vertex at the point that comes first from the head, none when the
// outer contour has no vertex there; undecided when the contour passes the
// point more than once.
SWEEP_STEP OuterVertexAt(const SWEEP& s, const POLYGON_IPOINT& q, const POLYGON_VNODE** first)
{
    uint32_t visits = 0, best = UINT32_MAX;
    for (uint32_t u : s.here) {
        if (!IsOuter(s, u))
            continue;
        if (!POLYGON_SamePoint(s.vertices[s.vertices[u].prev].at, q))
            visits++;
        best = std::min(best, u);   // outer vertices are numbered from the head
    }
    *first = best == UINT32_MAX ? nullptr : s.vertices[best].node;
    return best != UINT32_MAX && visits != 1 ? SWEEP_STEP::UNDECIDED : SWEEP_STEP::GOES_ON;
}

// The tests of the pairwise check at one point: hole vertices there, and hole
// edges passing outer vertices there.
SWEEP_STEP TestPoint(const SWEEP& s, const SWEEP_STATUS& status, const POLYGON_IPOINT& q, const SWEEP_AT& at)
{
    const POLYGON_VNODE* corner = nullptr;
    if (OuterVertexAt(s, q, &corner) != SWEEP_STEP::GOES_ON)
        return SWEEP_STEP::UNDECIDED;
    if (corner && at.outerEdge != UINT32_MAX)
        return SWEEP_STEP::UNDECIDED;   // the outer contour touches itself
    for (uint32_t u : s.here) {
        const POLYGON_VNODE* v = s.vertices[u].node;
        bool ok = true;
        if (IsOuter(s, u)) {
            if (at.holeEdge != UINT32_MAX)
                ok = PassesInsideAtCorner(v, s.edges[at.holeEdge].l, s.edges[at.holeEdge].r, s.ccw);
        } else if (corner) {
            ok = TurnsInsideAtCorner(corner, v, s.ccw);
        } else if (at.outerEdge != UINT32_MAX) {
            ok = TurnsInsideOnEdge(s.vertices[at.outerEdge].node, v, s.ccw);
        } else {
            ok = OddAbove(s, status, at.above);
        }
        if (!ok)
            return SWEEP_STEP::OUTSIDE;
    }
    return SWEEP_STEP::GOES_ON;
}

// Sets the parity of the places at the point, from the first place above.
void UpdateParity(SWEEP& s, SWEEP_STATUS& status, const POLYGON_IPOINT& q)
{
    SWEEP_PLACE first = status.lower_bound(SWEEP_POINT{q});
    SWEEP_PLACE it = first;
    while (it != status.end() && Through(s.edges[EdgeIn(s, it)], q))
        ++it;
    uint8_t above = it == status.end() ? 0 : s.parity[*it] ^ uint8_t(IsOuter(s, EdgeIn(s, it)));
    while (it != first) {
        --it;
        s.parity[*it] = above;
        above ^= uint8_t(IsOuter(s, EdgeIn(s, it)));
    }
}

SWEEP_STEP SweepPoint(SWEEP& s, SWEEP_STATUS& status, const POLYGON_IPOINT& q)
{
    SWEEP_STEP step = RemoveEnding(s, status, q);
    SWEEP_AT at;
    if (step == SWEEP_STEP::GOES_ON)
        step = PassingEdges(s, status, q, &at);
    if (step == SWEEP_STEP::GOES_ON)
        step = TestPoint(s, status, q, at);
    if (step == SWEEP_STEP::GOES_ON)
        step = InsertStarting(s, status, q);
    if (step == SWEEP_STEP::GOES_ON)
        UpdateParity(s, status, q);
    return step;
}

// A lone vertex that passes the sweep line, with no other edge through its
// point: the edge that starts there takes the place of the one that ends
// there. False when the vertex is not such a one.
bool PassVertex(SWEEP& s, SWEEP_STATUS& status, uint32_t u, SWEEP_STEP* step)
{
    uint32_t in = EdgeBefore(s, u), out = u;
    const POLYGON_IPOINT& q = s.vertices[u].at;
    if (IsPoint(s.edges[in]) || IsPoint(s.edges[out]))
        return false;
    bool inEnds = POLYGON_SamePoint(s.edges[in].r, q), outEnds = POLYGON_SamePoint(s.edges[out].r, q);
    if (inEnds == outEnds)
        return false;
    uint32_t ending = inEnds ? in : out, starting = inEnds ? out : in;
    SWEEP_PLACE it = s.where[ending], above = std::next(it);
    bool hasBelow = it != status.begin();
    SWEEP_PLACE below = hasBelow ? std::prev(it) : it;
    if ((hasBelow && Through(s.edges[EdgeIn(s, below)], q)) ||
        (above != status.end() && Through(s.edges[EdgeIn(s, above)], q)))
        return false;
    s.edgeAt[*it] = starting;
    s.where[starting] = it;
    *step = SWEEP_STEP::GOES_ON;
    if (!IsOuter(s, u) && !OddAbove(s, status, above))
        *step = SWEEP_STEP::OUTSIDE;
    if (*step == SWEEP_STEP::GOES_ON && hasBelow)
        *step = TestNeighbours(s, EdgeIn(s, below), starting);
    if (*step == SWEEP_STEP::GOES_ON && above != status.end())
        *step = TestNeighbours(s, starting, EdgeIn(s, above));
    return true;
}

// Least significant byte first, stable: the events by their keys.
void SortEvents(std::vector<SWEEP_EVENT>* events)
{
    std::vector<SWEEP_EVENT> sorted(events->size());
    for (int shift = 0; shift < 40; shift += 8) {
        size_t start[257] = {};
        for (const SWEEP_EVENT& e : *events)
            start[((e.key >> shift) & 255) + 1]++;
        if (std::find(start + 1, start + 257, events->size()) != start + 257)
            continue;   // one byte value for all
        for (int b = 0; b < 256; b++)
            start[b + 1] += start[b];
        for (const SWEEP_EVENT& e : *events)
            sorted[start[(e.key >> shift) & 255]++] = e;
        events->swap(sorted);
    }
}

uint64_t SweepKey(const POLYGON_IPOINT& p)
{
    return uint64_t(int64_t(p.x) - POLYGON_INT20_MIN) << 20 | uint64_t(int64_t(p.y) - POLYGON_INT20_MIN);
}

// The hole vertices and the outer vertices between the first and the last of
// them, in sweep order.
std::vector<SWEEP_EVENT> SweepEvents(const SWEEP& s)
{
    std::vector<SWEEP_EVENT> events;
    uint64_t first = UINT64_MAX, last = 0;
    for (uint32_t u = s.outerCount; u < s.vertices.size(); u++) {
        uint64_t key = SweepKey(s.vertices[u].at);
        first = std::min(first, key);
        last = std::max(last, key);
        events.push_back(SWEEP_EVENT{key, u});
    }
    for (uint32_t u = 0; u < s.outerCount; u++) {
        uint64_t key = SweepKey(s.vertices[u].at);
        if (key >= first && key <= last)
            events.push_back(SWEEP_EVENT{key, u});
    }
    SortEvents(&events);
    return events;
}

int Sweep(SWEEP& s)
{
    std::vector<SWEEP_EVENT> events = SweepEvents(s);
    if (events.empty())
        return 1;
    std::pmr::monotonic_buffer_resource memory;
    SWEEP_STATUS status(SWEEP_ORDER{&s}, &memory);
    s.where.resize(s.edges.size());
    s.edgeAt.resize(s.edges.size());
    s.parity.assign(s.edges.size(), 0);
    SWEEP_STEP step = StartStatus(s, status, s.vertices[events[0].vertex].at);
    for (size_t i = 0; i < events.size() && step == SWEEP_STEP::GOES_ON;) {
        size_t j = i + 1;
        while (j < events.size() && events[j].key == events[i].key)
            j++;
        if (j == i + 1 && PassVertex(s, status, events[i].vertex, &step)) {
            i = j;
            continue;
        }
        s.here.clear();
        for (; i < j; i++)
            s.here.push_back(events[i].vertex);
        step = SweepPoint(s, status, s.vertices[s.here[0]].at);
    }
    if (step == SWEEP_STEP::OUTSIDE)
        return 0;
    return step == SWEEP_STEP::UNDECIDED ? POLYGON_SWEEP_UNDECIDED : 1;
}

// Below this product of vertex counts the pairs are quicker than the sweep.
constexpr uint64_t PAIRS_LIMIT = 4096;

}

bool POLYGON_ContourInsideByPairs(const POLYGON_CONTOUR* inner, const POLYGON_CONTOUR* outer)
{
    if (!InsideBox(inner, outer))
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

int POLYGON_HolesInsideSweep(const POLYGON_CONTOUR* outer, const POLYGON_CONTOUR* const* holes, size_t count)
{
    for (size_t i = 0; i < count; i++)
        if (!InsideBox(holes[i], outer))
            return 0;
    SWEEP s;
    size_t total = outer->count;
    for (size_t i = 0; i < count; i++)
        total += holes[i]->count;
    s.vertices.reserve(total);
    s.edges.reserve(total);
    s.outerCount = outer->count;
    if (!AddContour(&s, outer))
        return POLYGON_SWEEP_UNDECIDED;
    s.ccw = OuterDoubledArea(s) > 0;
    for (size_t i = 0; i < count; i++)
        if (!AddContour(&s, holes[i]))
            return POLYGON_SWEEP_UNDECIDED;
    return Sweep(s);
}

bool POLYGON_ContourInside(const POLYGON_CONTOUR* inner, const POLYGON_CONTOUR* outer)
{
    if (uint64_t(inner->count) * outer->count <= PAIRS_LIMIT)
        return POLYGON_ContourInsideByPairs(inner, outer);
    int inside = POLYGON_HolesInsideSweep(outer, &inner, 1);
    return inside == POLYGON_SWEEP_UNDECIDED ? POLYGON_ContourInsideByPairs(inner, outer) : inside == 1;
}

void POLYGON_CheckHoles(const POLYGON_AREA* area)
{
    if (!area)
        return;
    std::vector<const POLYGON_CONTOUR*> holes;
    const POLYGON_AREA* a = area;
    do {
        holes.clear();
        uint64_t pairs = 0;
        for (const POLYGON_CONTOUR* hole = a->cntr->next; hole; hole = hole->next) {
            holes.push_back(hole);
            pairs += uint64_t(hole->count) * a->cntr->count;
        }
        // All holes in one sweep; where it cannot tell, each hole on its own.
        int inside = pairs <= PAIRS_LIMIT ? POLYGON_SWEEP_UNDECIDED
                                          : POLYGON_HolesInsideSweep(a->cntr, holes.data(), holes.size());
        if (inside == POLYGON_SWEEP_UNDECIDED)
            for (const POLYGON_CONTOUR* hole : holes)
                POLYGON_Require(POLYGON_ContourInside(hole, a->cntr));
        else
            POLYGON_Require(inside == 1);
        a = a->next;
    } while (a != area);
}
