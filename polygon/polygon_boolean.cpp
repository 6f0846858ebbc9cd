// POLYGON boolean operations: union, intersection, difference and exclusive or
// of two grid multi-polygons.
//
// Both operands are cut at every crossing and touching point by snap rounding,
// so that they meet only at shared vertices. At every such point the edge ends
// of both operands are sorted counter-clockwise; each edge then knows, from the
// ends around its start, whether it runs inside or outside the other operand or
// along one of its edges (same way or opposite). Where a point holds no edge of
// the other operand, the position is carried along the contour from the
// previous point, and contours that never meet the other operand are placed by
// one sweep over its edges. The edges the operation selects are traced into
// contours, turning at each point onto the first selected edge clockwise after
// the incoming one, so that results touching at a point come out as separate
// contours.
//
// The operation's rule is applied to the windings of both operands on either
// side of an edge, which gives the published selection (union: outside or
// shared the same way, forward; intersection: inside or shared the same way;
// a minus b: a's edges outside or shared the opposite way forward, b's edges
// inside backward; exclusive or: outside forward, inside backward) and stays
// sound where snap rounding folds an operand's edges onto each other.
#include <algorithm>
#include <cstdlib>
#include <set>
#include "polygon/polygon_internal_snap.h"

namespace {

// Owns an area ring for the length of a scope.
struct AREA_HOLDER {
    POLYGON_AREA* area = nullptr;
    AREA_HOLDER() = default;
    AREA_HOLDER(const AREA_HOLDER&) = delete;
    AREA_HOLDER& operator=(const AREA_HOLDER&) = delete;
    ~AREA_HOLDER() { POLYGON_FreeArea(&area); }
};

// Owns a list of contours linked through next.
struct CONTOUR_LIST {
    POLYGON_CONTOUR* first = nullptr;
    CONTOUR_LIST() = default;
    CONTOUR_LIST(const CONTOUR_LIST&) = delete;
    CONTOUR_LIST& operator=(const CONTOUR_LIST&) = delete;
    ~CONTOUR_LIST() { POLYGON_FreeContourList(&first); }
    void Push(POLYGON_CONTOUR* c)
    {
        c->next = first;
        first = c;
    }
    POLYGON_CONTOUR* Pop()
    {
        POLYGON_CONTOUR* c = first;
        if (c) {
            first = c->next;
            c->next = nullptr;
        }
        return c;
    }
};

constexpr uint8_t OPERAND_A = 0;
constexpr uint8_t OPERAND_B = 1;
constexpr int8_t WINDING_UNKNOWN = -1;

// Contours as rings of points, a's first, then b's.
struct RINGS {
    std::vector<uint32_t> start;     // per ring; one more entry at the end
    std::vector<uint8_t> operand;
    std::vector<uint32_t> at;        // per vertex: a point number
    uint32_t Count() const { return uint32_t(operand.size()); }
    uint32_t Next(uint32_t ring, uint32_t v) const { return v + 1 == start[ring + 1] ? start[ring] : v + 1; }
    uint32_t Prev(uint32_t ring, uint32_t v) const { return v == start[ring] ? start[ring + 1] - 1 : v - 1; }
};

// The end of an edge at one point: the edge leaves the point (out) or arrives
// at it (in, then the direction points back along it).
struct EDGE_END {
    uint32_t vertex;
    uint32_t other;                  // the point at the edge's other end
    int8_t kind;                     // +1 out, -1 in
    uint8_t operand;
    int32_t dx, dy;
};

// Ends leaving one point in one direction, with the windings of both operands
// in the sector counter-clockwise from it.
struct END_GROUP {
    int32_t net[2];
    int32_t winding[2];
    uint32_t nearest;                // the closest other point in this direction
};

struct POINT_INFO {
    uint32_t firstGroup, groupCount;
    bool decided[2];                 // the operand has edges of nonzero net here
    int8_t constant[2];              // otherwise its winding around the point
};

struct RESULT_EDGE {
    uint32_t to;
    int32_t dx, dy;
    bool visited;
};

// Appends a point to the ring that starts at first, dropping the points that
// become collinear with their neighbours (repeats and spikes included).
void AppendCorner(std::vector<POLYGON_IPOINT>* ring, size_t first, const POLYGON_IPOINT& p)
{
    while (ring->size() - first >= 2 && POLYGON_Cross((*ring)[ring->size() - 2], ring->back(), p) == 0)
        ring->pop_back();
    if (ring->size() - first == 1 && POLYGON_SamePoint(ring->back(), p))
        return;
    ring->push_back(p);
}

// The same where the ring closes: its last points against its first ones.
void CloseRing(std::vector<POLYGON_IPOINT>* ring, size_t first)
{
    size_t head = first;
    for (bool changed = true; changed && ring->size() - head >= 3;) {
        changed = false;
        const POLYGON_IPOINT& last = ring->back();
        if (POLYGON_Cross((*ring)[ring->size() - 2], last, (*ring)[head]) == 0) {
            ring->pop_back();
            changed = true;
        } else if (POLYGON_Cross(last, (*ring)[head], (*ring)[head + 1]) == 0) {
            head++;
            changed = true;
        }
    }
    ring->erase(ring->begin() + first, ring->begin() + head);
}

int64_t RingArea(const std::vector<POLYGON_IPOINT>& ring, size_t first)
{
    int64_t s = 0;
    for (size_t i = first; i < ring.size(); i++) {
        const POLYGON_IPOINT& p = ring[i == first ? ring.size() - 1 : i - 1];
        s += (int64_t(p.x) - ring[i].x) * (int64_t(p.y) + ring[i].y);
    }
    return s;
}

// The hole-placing sweep: result edges from left to right, the result's
// interior above the rightward ones.
struct OWNER_EDGE {
    int64_t x1, y1, x2, y2;
    uint32_t contour;
    bool rightward;
};

struct OWNER_SWEEP {
    std::vector<OWNER_EDGE> edges;
    int64_t x = 0;
};

// y of an edge at the sweep line as num / (x2 - x1).
__int128 OwnerYNum(const OWNER_EDGE& e, int64_t x)
{
    return __int128(e.y1) * (e.x2 - e.x1) + __int128(x - e.x1) * (e.y2 - e.y1);
}

// Result edges do not cross, so their order by y where an edge enters (equal y
// broken by the slope) holds for as long as they are in. Looking up a point
// finds the first edge not below the point just left of it, where an edge
// through the point itself is below when it rises.
struct OWNER_ORDER {
    using is_transparent = void;
    const OWNER_SWEEP* sweep;
    bool operator()(uint32_t e, uint32_t f) const
    {
        const OWNER_EDGE& a = sweep->edges[e];
        const OWNER_EDGE& b = sweep->edges[f];
        __int128 l = OwnerYNum(a, sweep->x) * (b.x2 - b.x1), r = OwnerYNum(b, sweep->x) * (a.x2 - a.x1);
        if (l != r)
            return l < r;
        __int128 sa = __int128(a.y2 - a.y1) * (b.x2 - b.x1), sb = __int128(b.y2 - b.y1) * (a.x2 - a.x1);
        return sa != sb ? sa < sb : e < f;
    }
    bool Below(uint32_t e, const POLYGON_IPOINT& p) const
    {
        const OWNER_EDGE& a = sweep->edges[e];
        __int128 l = OwnerYNum(a, sweep->x), r = __int128(p.y) * (a.x2 - a.x1);
        return l < r || (l == r && a.y2 > a.y1);
    }
    bool operator()(uint32_t e, const POLYGON_IPOINT* p) const { return Below(e, *p); }
    bool operator()(const POLYGON_IPOINT* p, uint32_t e) const { return !Below(e, *p); }
};

// Sweeps edges from left to right and, for each query point, calls
// visit(query, status, first) where the entries before first are the edges
// below the point just left of it, the nearest last.
template <typename VISIT>
void SweepQueries(OWNER_SWEEP& sweep, const std::vector<POLYGON_IPOINT>& queries, VISIT visit)
{
    struct OWNER_EVENT {
        int64_t x;
        int type;                // 0 a query, 1 an edge leaves, 2 an edge enters
        uint32_t index;
    };
    std::vector<OWNER_EVENT> events;
    events.reserve(2 * sweep.edges.size() + queries.size());
    for (uint32_t i = 0; i < sweep.edges.size(); i++) {
        events.push_back(OWNER_EVENT{sweep.edges[i].x1, 2, i});
        events.push_back(OWNER_EVENT{sweep.edges[i].x2, 1, i});
    }
    for (uint32_t i = 0; i < queries.size(); i++)
        events.push_back(OWNER_EVENT{queries[i].x, 0, i});
    std::sort(events.begin(), events.end(), [](const OWNER_EVENT& e, const OWNER_EVENT& f) {
        return e.x != f.x ? e.x < f.x : e.type < f.type;
    });
    std::set<uint32_t, OWNER_ORDER> status(OWNER_ORDER{&sweep});
    std::vector<std::set<uint32_t, OWNER_ORDER>::iterator> where(sweep.edges.size());
    for (const OWNER_EVENT& ev : events) {
        sweep.x = ev.x;
        if (ev.type == 2)
            where[ev.index] = status.insert(ev.index).first;
        else if (ev.type == 1)
            status.erase(where[ev.index]);
        else
            visit(ev.index, status, status.lower_bound(&queries[ev.index]));
    }
}

// An edge of the sweep from p to q (not vertical).
void AddSweepEdge(OWNER_SWEEP* sweep, POLYGON_IPOINT p, POLYGON_IPOINT q, uint32_t contour)
{
    bool rightward = p.x < q.x;
    if (!rightward)
        std::swap(p, q);
    sweep->edges.push_back(OWNER_EDGE{p.x, p.y, q.x, q.y, contour, rightward});
}

int Quadrant(int64_t dx, int64_t dy)
{
    if (dx > 0 && dy >= 0) return 0;
    if (dx <= 0 && dy > 0) return 1;
    if (dx < 0 && dy <= 0) return 2;
    return 3;
}

// Counter-clockwise order of directions from the positive x axis: -1, 0 or +1.
int CompareDirections(int64_t ax, int64_t ay, int64_t bx, int64_t by)
{
    int qa = Quadrant(ax, ay), qb = Quadrant(bx, by);
    if (qa != qb)
        return qa < qb ? -1 : 1;
    int64_t cross = ax * by - ay * bx;
    return cross > 0 ? -1 : (cross < 0 ? 1 : 0);
}

bool Selected(int op, bool inA, bool inB)
{
    switch (op) {
    case POLYGON_OP_UNION: return inA || inB;
    case POLYGON_OP_INTERSECTION: return inA && inB;
    case POLYGON_OP_A_MINUS_B: return inA && !inB;
    default: return inA != inB;
    }
}

// The state of one operation: the operands' contours as rings over the snapped
// points, the edge ends and their groups at every point, and the selected edges.
struct BOOLEAN_OP {
    int op = POLYGON_OP_UNION;
    RINGS rings;
    std::vector<POLYGON_IPOINT> pixels;
    std::vector<uint32_t> endStart;        // per point; one more entry at the end
    std::vector<EDGE_END> ends;
    std::vector<uint32_t> outGroup;        // per vertex: the group of its outgoing edge
    std::vector<END_GROUP> groups;
    std::vector<POINT_INFO> info;
    std::vector<uint32_t> edgeStart;       // per point; one more entry at the end
    std::vector<RESULT_EDGE> edges;
    std::vector<uint32_t> seenAt, stack;   // splitting traced paths
};

// The operand's contours as the contour check leaves them: repeated and
// collinear vertices go, and contours with fewer than 3 vertices or no area are
// dropped. The operand itself stays as it is.
void AddOperand(BOOLEAN_OP& bo, const POLYGON_AREA* area, uint8_t operand, std::vector<POLYGON_IPOINT>* points,
                           std::vector<uint32_t>* ringStart)
{
    if (!area)
        return;
    const POLYGON_AREA* a = area;
    do {
        for (const POLYGON_CONTOUR* c = a->cntr; c; c = c->next) {
            size_t first = points->size();
            const POLYGON_VNODE* v = c->head;
            for (uint32_t i = 0; i < c->count; i++, v = v->next)
                AppendCorner(points, first, v->point.g);
            CloseRing(points, first);
            if (points->size() - first < 3 || RingArea(*points, first) == 0) {
                points->resize(first);
                continue;
            }
            ringStart->push_back(uint32_t(points->size()));
            bo.rings.operand.push_back(operand);
        }
        a = a->next;
    } while (a != area);
}

// Cuts every edge at the hot pixels it passes; the rings then run over pixels.
void Snap(BOOLEAN_OP& bo, const std::vector<POLYGON_IPOINT>& points, const std::vector<uint32_t>& ringStart)
{
    std::vector<POLYGON_SNAPSEG> segs(points.size());
    std::vector<bool> forward(points.size());
    for (uint32_t r = 0; r + 1 < ringStart.size(); r++)
        for (uint32_t i = ringStart[r]; i < ringStart[r + 1]; i++) {
            uint32_t j = i + 1 == ringStart[r + 1] ? ringStart[r] : i + 1;
            forward[i] = POLYGON_IntLess(points[i], points[j]);
            segs[i] = forward[i] ? POLYGON_SNAPSEG{points[i], points[j]} : POLYGON_SNAPSEG{points[j], points[i]};
        }
    POLYGON_SNAPRESULT snap;
    POLYGON_SnapRound(segs, &snap);
    bo.pixels = std::move(snap.pixels);
    bo.rings.start.assign(1, 0);
    for (uint32_t r = 0; r + 1 < ringStart.size(); r++) {
        for (uint32_t i = ringStart[r]; i < ringStart[r + 1]; i++) {
            uint32_t from = snap.first[i], to = snap.first[i + 1];
            POLYGON_Require(to - from >= 2);
            // The edge's pixels from its start up to, not including, its end.
            if (forward[i])
                for (uint32_t k = from; k + 1 < to; k++)
                    bo.rings.at.push_back(snap.hits[k]);
            else
                for (uint32_t k = to - 1; k > from; k--)
                    bo.rings.at.push_back(snap.hits[k]);
        }
        bo.rings.start.push_back(uint32_t(bo.rings.at.size()));
    }
}

// Both ends of every edge, gathered by point and sorted counter-clockwise.
void SortEnds(BOOLEAN_OP& bo)
{
    uint32_t nPoints = uint32_t(bo.pixels.size());
    bo.endStart.assign(nPoints + 1, 0);
    for (uint32_t p : bo.rings.at)
        bo.endStart[p + 1] += 2;
    for (uint32_t p = 0; p < nPoints; p++)
        bo.endStart[p + 1] += bo.endStart[p];
    bo.ends.resize(bo.rings.at.size() * 2);
    std::vector<uint32_t> fill(bo.endStart.begin(), bo.endStart.end() - 1);
    for (uint32_t r = 0; r < bo.rings.Count(); r++)
        for (uint32_t v = bo.rings.start[r]; v < bo.rings.start[r + 1]; v++) {
            uint32_t p = bo.rings.at[v];
            const POLYGON_IPOINT& here = bo.pixels[p];
            for (int8_t kind : {int8_t(1), int8_t(-1)}) {
                uint32_t q = bo.rings.at[kind > 0 ? bo.rings.Next(r, v) : bo.rings.Prev(r, v)];
                int32_t dx = bo.pixels[q].x - here.x, dy = bo.pixels[q].y - here.y;
                POLYGON_Require(dx != 0 || dy != 0);
                bo.ends[fill[p]++] = EDGE_END{v, q, kind, bo.rings.operand[r], dx, dy};
            }
        }
    auto before = [](const EDGE_END& e, const EDGE_END& f) {
        int c = CompareDirections(e.dx, e.dy, f.dx, f.dy);
        return c != 0 ? c < 0 : e.kind > f.kind;
    };
    // Few ends meet at most points: a stable insertion sort there.
    for (uint32_t p = 0; p < nPoints; p++) {
        if (bo.endStart[p + 1] - bo.endStart[p] > 16) {
            std::stable_sort(bo.ends.begin() + bo.endStart[p], bo.ends.begin() + bo.endStart[p + 1], before);
            continue;
        }
        for (uint32_t i = bo.endStart[p] + 1; i < bo.endStart[p + 1]; i++) {
            EDGE_END e = bo.ends[i];
            uint32_t j = i;
            for (; j > bo.endStart[p] && before(e, bo.ends[j - 1]); j--)
                bo.ends[j] = bo.ends[j - 1];
            bo.ends[j] = e;
        }
    }
}

// Ends in one direction form a group. Going counter-clockwise over an out end
// enters its operand (the interior lies left of every edge), over an in end
// leaves it; where an operand has groups of nonzero net at a point, its
// windings in the sectors follow, the lowest being outside.
void GroupEnds(BOOLEAN_OP& bo)
{
    uint32_t nPoints = uint32_t(bo.pixels.size());
    bo.info.assign(nPoints, POINT_INFO{});
    bo.outGroup.assign(bo.rings.at.size(), 0);
    bo.groups.clear();
    bo.groups.reserve(bo.ends.size());   // at most one group per end
    for (uint32_t p = 0; p < nPoints; p++) {
        POINT_INFO& info = bo.info[p];
        info.firstGroup = uint32_t(bo.groups.size());
        int64_t nearest = 0;   // the distance of the group's nearest point, |dx| + |dy|
        for (uint32_t e = bo.endStart[p]; e < bo.endStart[p + 1]; e++) {
            const EDGE_END& end = bo.ends[e];
            int64_t distance = std::abs(int64_t(end.dx)) + std::abs(int64_t(end.dy));
            if (e == bo.endStart[p] || CompareDirections(bo.ends[e - 1].dx, bo.ends[e - 1].dy, end.dx, end.dy) != 0) {
                bo.groups.push_back(END_GROUP{{0, 0}, {0, 0}, end.other});
                nearest = distance;
            }
            END_GROUP& g = bo.groups.back();
            g.net[end.operand] += end.kind;
            if (distance < nearest) {
                g.nearest = end.other;
                nearest = distance;
            }
            if (end.kind > 0)
                bo.outGroup[end.vertex] = uint32_t(bo.groups.size() - 1);
        }
        info.groupCount = uint32_t(bo.groups.size()) - info.firstGroup;
        for (uint8_t o : {OPERAND_A, OPERAND_B}) {
            int32_t sum = 0, low = 0;
            bool decided = false;
            for (uint32_t g = info.firstGroup; g < info.firstGroup + info.groupCount; g++) {
                sum += bo.groups[g].net[o];
                bo.groups[g].winding[o] = sum;
                low = std::min(low, sum);
                decided = decided || bo.groups[g].net[o] != 0;
            }
            POLYGON_Require(sum == 0);
            for (uint32_t g = info.firstGroup; g < info.firstGroup + info.groupCount; g++)
                bo.groups[g].winding[o] -= low;
            info.decided[o] = decided;
            info.constant[o] = WINDING_UNKNOWN;
        }
    }
}

// Places each ring that never meets the other operand: that operand's winding
// at the ring's first point, from the edges of the other operand below it.
// Edges along the same line count by direction (the interior lies left of
// each); where they cancel, the next ones down decide.
void LocateRings(BOOLEAN_OP& bo, const std::vector<uint32_t>& rings, uint8_t operand)
{
    if (rings.empty())
        return;
    OWNER_SWEEP sweep;
    for (uint32_t r = 0; r < bo.rings.Count(); r++) {
        if (bo.rings.operand[r] != operand)
            continue;
        for (uint32_t v = bo.rings.start[r]; v < bo.rings.start[r + 1]; v++) {
            const POLYGON_IPOINT& p = bo.pixels[bo.rings.at[v]];
            const POLYGON_IPOINT& q = bo.pixels[bo.rings.at[bo.rings.Next(r, v)]];
            if (p.x != q.x)
                AddSweepEdge(&sweep, p, q, r);
        }
    }
    std::vector<POLYGON_IPOINT> query(rings.size());
    for (size_t i = 0; i < rings.size(); i++)
        query[i] = bo.pixels[bo.rings.at[bo.rings.start[rings[i]]]];
    SweepQueries(sweep, query, [&](uint32_t q, const std::set<uint32_t, OWNER_ORDER>& status, auto first) {
        int8_t winding = 0;
        auto it = first;
        while (it != status.begin()) {
            const OWNER_EDGE& e = sweep.edges[*std::prev(it)];
            int32_t net = 0;
            while (it != status.begin()) {
                const OWNER_EDGE& f = sweep.edges[*std::prev(it)];
                if (f.x1 != e.x1 || f.y1 != e.y1 || f.x2 != e.x2 || f.y2 != e.y2)
                    break;
                net += f.rightward ? 1 : -1;
                --it;
            }
            if (net != 0) {
                winding = net > 0 ? 1 : 0;
                break;
            }
        }
        bo.info[bo.rings.at[bo.rings.start[rings[q]]]].constant[operand] = winding;
    });
}

// Even-odd position of a point relative to the snapped contours of an operand.
int8_t PointInOperand(const BOOLEAN_OP& bo, uint32_t point, uint8_t operand)
{
    const POLYGON_IPOINT& p = bo.pixels[point];
    bool inside = false;
    for (uint32_t r = 0; r < bo.rings.Count(); r++) {
        if (bo.rings.operand[r] != operand)
            continue;
        for (uint32_t v = bo.rings.start[r]; v < bo.rings.start[r + 1]; v++) {
            const POLYGON_IPOINT& a = bo.pixels[bo.rings.at[v]];
            const POLYGON_IPOINT& b = bo.pixels[bo.rings.at[bo.rings.Next(r, v)]];
            if ((a.y > p.y) != (b.y > p.y)) {
                int64_t cross = (int64_t(b.x) - a.x) * (int64_t(p.y) - a.y) - (int64_t(b.y) - a.y) * (int64_t(p.x) - a.x);
                if (b.y > a.y ? cross > 0 : cross < 0)
                    inside = !inside;
            }
        }
    }
    return inside ? 1 : 0;
}

void CarryAlong(BOOLEAN_OP& bo, uint32_t ring, uint8_t other)
{
    uint32_t first = bo.rings.start[ring], end = bo.rings.start[ring + 1];
    uint32_t startAt = first;
    for (uint32_t v = first; v < end; v++)
        if (bo.info[bo.rings.at[v]].decided[other]) {
            startAt = v;
            break;
        }
    POINT_INFO& head = bo.info[bo.rings.at[startAt]];
    if (!head.decided[other] && head.constant[other] == WINDING_UNKNOWN)
        head.constant[other] = PointInOperand(bo, bo.rings.at[startAt], other);
    int8_t carry = WINDING_UNKNOWN;
    uint32_t v = startAt;
    for (uint32_t step = 0; step < end - first; step++, v = bo.rings.Next(ring, v)) {
        POINT_INFO& info = bo.info[bo.rings.at[v]];
        if (info.decided[other]) {
            const END_GROUP& g = bo.groups[bo.outGroup[v]];
            carry = g.net[other] != 0 ? WINDING_UNKNOWN : int8_t(std::min(g.winding[other], int32_t(1)));
        } else {
            if (info.constant[other] == WINDING_UNKNOWN)
                info.constant[other] = carry;
            carry = info.constant[other];
        }
    }
}

// Where an operand has no edge of nonzero net at a point, its winding there is
// that of the open fragment arriving along a contour of the other operand.
void CarryWindings(BOOLEAN_OP& bo)
{
    std::vector<uint32_t> apart[2];   // rings without a point where the other operand decides
    for (uint32_t r = 0; r < bo.rings.Count(); r++) {
        uint8_t other = bo.rings.operand[r] == OPERAND_A ? OPERAND_B : OPERAND_A;
        bool meets = false;
        for (uint32_t v = bo.rings.start[r]; v < bo.rings.start[r + 1] && !meets; v++)
            meets = bo.info[bo.rings.at[v]].decided[other];
        if (!meets)
            apart[other].push_back(r);
    }
    LocateRings(bo, apart[OPERAND_A], OPERAND_A);
    LocateRings(bo, apart[OPERAND_B], OPERAND_B);
    for (uint32_t r = 0; r < bo.rings.Count(); r++)
        CarryAlong(bo, r, bo.rings.operand[r] == OPERAND_A ? OPERAND_B : OPERAND_A);
    // Whatever a ring could not reach (a fragment shared only in part) is tested.
    for (uint32_t p = 0; p < bo.info.size(); p++)
        for (uint8_t o : {OPERAND_A, OPERAND_B})
            if (!bo.info[p].decided[o] && bo.info[p].constant[o] == WINDING_UNKNOWN)
                bo.info[p].constant[o] = PointInOperand(bo, p, o);
}

// An operand's winding in the sector counter-clockwise from a group.
int32_t Winding(const BOOLEAN_OP& bo, uint32_t point, uint32_t group, uint8_t operand)
{
    const POINT_INFO& info = bo.info[point];
    return info.decided[operand] ? bo.groups[group].winding[operand] : info.constant[operand];
}

// A direction carries a result edge away from the point when the result lies
// on its left and not on its right.
void SelectEdges(BOOLEAN_OP& bo)
{
    uint32_t nPoints = uint32_t(bo.pixels.size());
    bo.edgeStart.assign(nPoints + 1, 0);
    bo.edges.clear();
    for (uint32_t p = 0; p < nPoints; p++) {
        const POINT_INFO& info = bo.info[p];
        for (uint32_t k = 0; k < info.groupCount; k++) {
            uint32_t g = info.firstGroup + k;
            uint32_t before = info.firstGroup + (k == 0 ? info.groupCount - 1 : k - 1);
            bool left = Selected(bo.op, Winding(bo, p, g, OPERAND_A) > 0, Winding(bo, p, g, OPERAND_B) > 0);
            bool right = Selected(bo.op, Winding(bo, p, before, OPERAND_A) > 0, Winding(bo, p, before, OPERAND_B) > 0);
            if (left && !right) {
                uint32_t q = bo.groups[g].nearest;
                bo.edges.push_back(RESULT_EDGE{q, bo.pixels[q].x - bo.pixels[p].x, bo.pixels[q].y - bo.pixels[p].y, false});
            }
        }
        bo.edgeStart[p + 1] = uint32_t(bo.edges.size());
    }
}

// The selected edge at a point that comes first clockwise after the direction
// back along the incoming edge; the start edge closes the contour, other used
// edges are passed over. None when every edge there is used.
uint32_t NextEdge(BOOLEAN_OP& bo, uint32_t point, int32_t backX, int32_t backY, uint32_t startEdge)
{
    uint32_t from = bo.edgeStart[point], to = bo.edgeStart[point + 1];
    uint32_t n = to - from;
    if (n == 0)
        return UINT32_MAX;
    uint32_t below = 0;   // edges counter-clockwise before the back direction
    while (below < n && CompareDirections(bo.edges[from + below].dx, bo.edges[from + below].dy, backX, backY) < 0)
        below++;
    for (uint32_t k = 0; k < n; k++) {
        uint32_t e = from + (below + n - 1 - k) % n;
        if (e == startEdge || !bo.edges[e].visited)
            return e;
    }
    return UINT32_MAX;
}

void EmitContour(BOOLEAN_OP& bo, const uint32_t* path, size_t count, CONTOUR_LIST* outers, CONTOUR_LIST* holes)
{
    if (count < 3)
        return;
    POLYGON_CONTOUR* c = POLYGON_NewContour(bo.pixels[path[0]].x, bo.pixels[path[0]].y);
    CONTOUR_LIST own;
    own.Push(c);
    for (size_t k = 1; k < count; k++)
        POLYGON_AppendPoint(c, bo.pixels[path[k]].x, bo.pixels[path[k]].y);
    if (!POLYGON_CheckContour(c))
        return;
    own.Pop();
    (POLYGON_IsOuter(c) ? outers : holes)->Push(c);
}

// A traced path that passes a point twice is split there into simple loops.
void EmitLoops(BOOLEAN_OP& bo, const std::vector<uint32_t>& path, CONTOUR_LIST* outers, CONTOUR_LIST* holes)
{
    std::vector<uint32_t>& seenAt = bo.seenAt;
    if (seenAt.size() < bo.pixels.size())
        seenAt.assign(bo.pixels.size(), 0);
    std::vector<uint32_t>& stack = bo.stack;
    stack.clear();
    for (uint32_t p : path) {
        uint32_t mark = seenAt[p];   // one more than the point's place on the stack
        if (mark != 0) {
            EmitContour(bo, stack.data() + mark - 1, stack.size() - mark + 1, outers, holes);
            for (size_t k = mark; k < stack.size(); k++)
                seenAt[stack[k]] = 0;
            stack.resize(mark);
            continue;
        }
        stack.push_back(p);
        seenAt[p] = uint32_t(stack.size());
    }
    EmitContour(bo, stack.data(), stack.size(), outers, holes);
    for (uint32_t p : stack)
        seenAt[p] = 0;
}

// For each hole: the contour (outers numbered first, then holes) whose edge lies
// right below the point just left of the hole's smallest vertex by (x, then
// y), when the result's interior lies above that edge; otherwise none.
std::vector<uint32_t> HoleOwners(const std::vector<POLYGON_CONTOUR*>& outers,
                                            const std::vector<POLYGON_CONTOUR*>& holes)
{
    OWNER_SWEEP sweep;
    std::vector<POLYGON_IPOINT> query(holes.size());
    for (size_t k = 0; k < outers.size() + holes.size(); k++) {
        const POLYGON_CONTOUR* c = k < outers.size() ? outers[k] : holes[k - outers.size()];
        const POLYGON_VNODE* v = c->head;
        POLYGON_IPOINT least = v->point.g;
        for (uint32_t i = 0; i < c->count; i++, v = v->next) {
            if (POLYGON_IntLess(v->point.g, least))
                least = v->point.g;
            if (v->point.g.x != v->next->point.g.x)
                AddSweepEdge(&sweep, v->point.g, v->next->point.g, uint32_t(k));
        }
        if (k >= outers.size())
            query[k - outers.size()] = least;
    }
    std::vector<uint32_t> owner(holes.size(), UINT32_MAX);
    SweepQueries(sweep, query, [&](uint32_t q, const std::set<uint32_t, OWNER_ORDER>& status, auto first) {
        if (first == status.begin())
            return;
        const OWNER_EDGE& e = sweep.edges[*std::prev(first)];
        if (e.rightward)
            owner[q] = e.contour;
    });
    return owner;
}

// Every hole joins the area around it. With one area that is the one; with
// few holes and areas the area-insertion rule tests them; otherwise a sweep
// finds, left of each hole's first vertex, the nearest result edge below: the
// area whose interior lies above that edge holds the hole.
void PlaceHoles(const std::vector<POLYGON_CONTOUR*>& outers, std::vector<POLYGON_CONTOUR*>& holes,
                           POLYGON_AREA** result)
{
    auto insertAfter = [](POLYGON_AREA* area, POLYGON_CONTOUR* hole) {
        hole->next = area->cntr->next;
        area->cntr->next = hole;
    };
    // Holes not yet in an area are freed if anything fails.
    struct HOLES_GUARD {
        std::vector<POLYGON_CONTOUR*>& list;
        size_t placed = 0;
        ~HOLES_GUARD()
        {
            for (size_t i = placed; i < list.size(); i++)
                POLYGON_FreeContour(&list[i]);
        }
    } guard{holes};
    if (holes.empty())
        return;
    if (outers.size() == 1) {
        for (; guard.placed < holes.size(); guard.placed++)
            insertAfter(*result, holes[guard.placed]);
        return;
    }
    if (outers.size() * holes.size() <= 4096) {
        for (; guard.placed < holes.size(); guard.placed++) {
            POLYGON_CONTOUR* c = holes[guard.placed];
            holes[guard.placed] = nullptr;
            POLYGON_InsertContour(result, c);
        }
        return;
    }
    std::vector<POLYGON_AREA*> areaOf(outers.size());
    POLYGON_AREA* a = *result;
    for (size_t i = 0; i < outers.size(); i++, a = a->next)
        areaOf[i] = a;
    std::vector<uint32_t> owner = HoleOwners(outers, holes);
    for (; guard.placed < holes.size(); guard.placed++) {
        // Follow holes seen below a hole up to the outer contour of their area;
        // a hole left without one goes by the area-insertion rule.
        uint32_t o = owner[guard.placed];
        for (size_t step = 0; o >= outers.size() && o != UINT32_MAX; step++) {
            POLYGON_Require(step < holes.size());
            o = owner[o - outers.size()];
        }
        POLYGON_CONTOUR* c = holes[guard.placed];
        if (o != UINT32_MAX) {
            insertAfter(areaOf[o], c);
        } else {
            holes[guard.placed] = nullptr;
            POLYGON_InsertContour(result, c);
        }
    }
}

void Trace(BOOLEAN_OP& bo, POLYGON_AREA** result)
{
    CONTOUR_LIST outers, holes;
    std::vector<uint32_t> path;
    for (uint32_t p = 0; p + 1 < bo.edgeStart.size(); p++)
        for (uint32_t e0 = bo.edgeStart[p]; e0 < bo.edgeStart[p + 1]; e0++) {
            if (bo.edges[e0].visited)
                continue;
            path.clear();
            uint32_t at = p, e = e0;
            for (size_t guard = 0; guard <= bo.edges.size(); guard++) {
                path.push_back(at);
                bo.edges[e].visited = true;
                uint32_t next = bo.edges[e].to;
                uint32_t f = NextEdge(bo, next, -bo.edges[e].dx, -bo.edges[e].dy, e0);
                if (f == e0 || f == UINT32_MAX)
                    break;
                at = next;
                e = f;
            }
            EmitLoops(bo, path, &outers, &holes);
        }
    // Outer boundaries open areas first; then every hole joins the smallest
    // area around it.
    std::vector<POLYGON_CONTOUR*> outerList, holeList;
    while (POLYGON_CONTOUR* c = outers.Pop()) {
        POLYGON_InsertContour(result, c);
        outerList.push_back(c);
    }
    while (POLYGON_CONTOUR* c = holes.Pop())
        holeList.push_back(c);
    PlaceHoles(outerList, holeList, result);
}

void Run(BOOLEAN_OP& bo, const POLYGON_AREA* a, const POLYGON_AREA* b, POLYGON_AREA** result)
{
    std::vector<POLYGON_IPOINT> points;
    std::vector<uint32_t> ringStart(1, 0);
    AddOperand(bo, a, OPERAND_A, &points, &ringStart);
    AddOperand(bo, b, OPERAND_B, &points, &ringStart);
    Snap(bo, points, ringStart);
    SortEnds(bo);
    GroupEnds(bo);
    CarryWindings(bo);
    SelectEdges(bo);
    AREA_HOLDER out;
    Trace(bo, &out.area);
    *result = out.area;
    out.area = nullptr;
}
}

int POLYGON_BooleanOp(const POLYGON_AREA* a, const POLYGON_AREA* b, POLYGON_AREA** result, int op)
{
    if (!result)
        return POLYGON_ERR_DATA;
    *result = nullptr;
    return POLYGON_Catch([&] {
        POLYGON_Require(op >= POLYGON_OP_UNION && op <= POLYGON_OP_XOR);
        POLYGON_CheckGridArea(a);
        POLYGON_CheckGridArea(b);
        POLYGON_CheckHoles(a);
        POLYGON_CheckHoles(b);
        if (!a && !b)
            return;
        if (!a) {
            if (op == POLYGON_OP_UNION || op == POLYGON_OP_XOR)
                *result = POLYGON_CopyArea(b);
            return;
        }
        if (!b) {
            if (op != POLYGON_OP_INTERSECTION)
                *result = POLYGON_CopyArea(a);
            return;
        }
        BOOLEAN_OP bo;
        bo.op = op;
        Run(bo, a, b, result);
    });
}
