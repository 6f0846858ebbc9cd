// POLYGON: triangulation of polygons with holes by Seidel's randomized
// incremental method (R. Seidel, Computational Geometry 1(1), 1991).
//
// Each area is done on its own. The segments of its contours are inserted in
// random order into a trapezoidal decomposition with a query structure; the
// trapezoids inside the area give diagonals that split it into pieces
// monotone in y; each piece is triangulated with a stack.
//
// All geometry is exact on the grid coordinates. Points are ordered by y and,
// for equal y, by x, as if the plane were sheared infinitesimally: no two
// distinct points then share a height, and orientation tests keep their sign
// under the shear. Everything the structure must satisfy is checked: a broken
// invariant, which only invalid input can cause, raises error 3, and every
// walk along links is bounded.
#include <cmath>
#include <cstring>
#include <initializer_list>
#include "polygon/polygonlibrary.h"

namespace {

// No vertex, segment, trapezoid or node.
constexpr int32_t NONE = -1;

// The structure outgrows the processor's caches on large areas, and every
// insertion lands at a random place in it. So records refer to each other
// by index into arrays and keep together what a search or a split reads
// (a query node holds the points it compares with); the searches of a batch
// of segments go down together, so that their fetches from memory overlap;
// and the first relocation follows the contours through the trapezoids
// rather than searching from the root.
constexpr size_t CACHE_LINE = 64;

enum QNODE_KIND : uint8_t { QNODE_VERTEX, QNODE_SEGMENT, QNODE_SINK };

// A query node is named by its offset in bytes in the array of nodes, so
// that a search goes from node to node without arithmetic on the way.
using NODEREF = uint32_t;
constexpr NODEREF NO_NODE = UINT32_MAX;

// A node of the query structure. A vertex node sends points below its
// vertex `a` to `left` and points above it to `right`; a segment node (from
// its lower end `a` to its upper end `b`) sends points left of it to `left`,
// right of it to `right`; a sink names a trapezoid.
struct alignas(32) QNODE {
    QNODE_KIND kind;
    int32_t item;       // the vertex or the segment of the node
    NODEREF left;
    union {
        NODEREF right;
        int32_t trap;   // sink: its trapezoid
    };
    POLYGON_IPOINT a, b;
};
static_assert(sizeof(QNODE) == 32, "two query nodes to a cache line");

// A trapezoid between two horizontal lines through its top and bottom
// vertices and between two segments. Unbounded sides are NONE. Up to two
// neighbours above and below, left one first; a single one is in u0 / d0.
// A free record has no sink and links the next free one through u0.
struct alignas(16) TRAP {
    int32_t top, bottom;
    int32_t lseg, rseg;
    int32_t u0, u1, d0, d1;
    NODEREF sink;
    POLYGON_IPOINT bottomPt;    // the point of the bottom vertex
};
static_assert(sizeof(TRAP) == 48, "trapezoid records stay small");

// Segment i runs from vertex v0 = i to v1, the next vertex of its contour,
// with the area's inside on its left.
struct alignas(32) SEGMENT {
    int32_t upper, lower;   // its end points by the order of points
    // The other segment at the upper end when it also runs down from there,
    // and the one at the lower end when it also rises from there; else NONE.
    int32_t downFromUpper, upFromLower;
    NODEREF from0;          // the node where the search for v0 (towards v1) starts
    NODEREF from1;          // the node where the search for v1 (towards v0) starts
    bool inserted;
};
static_assert(sizeof(SEGMENT) == 32, "two segments to a cache line");

// The edges that leave one vertex once the diagonals are in: its two contour
// edges and at most three diagonals, kept in counter-clockwise order.
constexpr uint32_t CHAIN_LINKS = 6;
struct CHAINVERTEX {
    int32_t link[CHAIN_LINKS];
    uint8_t count;
    uint8_t traced;         // bit k: the edge along link[k] is on a traced piece
};

// An array of working storage, starting on a cache line.
template <typename T>
struct ARRAY {
    T* p = nullptr;
    size_t capacity = 0;
    T& operator[](size_t i) const { return p[i]; }
};

// A block of working storage, released on every way out. It is not filled:
// every record is written before it is read.
struct BLOCK {
    BLOCK() = default;
    BLOCK(const BLOCK&) = delete;
    BLOCK& operator=(const BLOCK&) = delete;
    ~BLOCK() { POLYGON_Free(p); }
    // Replaces the block by one of the given bytes; returns where its first
    // cache line starts.
    uintptr_t Allocate(size_t bytes)
    {
        POLYGON_Free(p);
        p = POLYGON_AllocUnfilled(bytes + CACHE_LINE, 1);
        if (!p)
            POLYGON_Error(POLYGON_ERR_MEMORY);
        size = bytes;
        return (reinterpret_cast<uintptr_t>(p) + CACHE_LINE - 1) & ~uintptr_t(CACHE_LINE - 1);
    }
    void* p = nullptr;
    size_t size = 0;
};

// Places an array of count records at offset `at` from `base`, rounded up to
// a cache line, and moves `at` past it.
template <typename T>
void Place(uintptr_t base, size_t& at, ARRAY<T>& array, size_t count)
{
    at = (at + CACHE_LINE - 1) & ~(CACHE_LINE - 1);
    array.p = reinterpret_cast<T*>(base + at);
    array.capacity = count;
    at += count * sizeof(T);
}

// The working state of one area, in two blocks: the query nodes, whose
// block later holds the monotone pieces, and everything else.
struct TRIANGULATION {
    TRIANGULATION(POLYGON_AREA* a, uint32_t vertices) : area(a), n(vertices)
    {
        Lay(block.Allocate(Lay(0)));
        memset(vertexInserted.p, 0, n);
        // Query nodes come to about seven per vertex; more move to a larger block.
        GrowNodes(size_t(vertices) * 15 / 2 + 64);
    }
    // Lays the arrays out from base; returns the bytes they take.
    size_t Lay(uintptr_t base)
    {
        size_t at = 0;
        Place(base, at, seg, n);
        Place(base, at, trap, 2 * size_t(n) + 4);
        Place(base, at, pt, n);
        Place(base, at, order, n);
        Place(base, at, vertexInserted, n);
        Place(base, at, down, n);
        Place(base, at, next, n);
        Place(base, at, prev, n);
        Place(base, at, vnode, n);
        return at;
    }
    void GrowNodes(size_t count)
    {
        BLOCK old;
        old.p = nodeBlock.p;
        nodeBlock.p = nullptr;
        ARRAY<QNODE> kept = node;
        size_t at = 0;
        Place(nodeBlock.Allocate(count * sizeof(QNODE)), at, node, count);
        if (nodeCount)
            memcpy(static_cast<void*>(node.p), kept.p, nodeCount * sizeof(QNODE));
    }
    // Once the trapezoids are done the query nodes go, and the arrays of the
    // monotone pieces take their block.
    size_t LayPieces(uintptr_t base)
    {
        size_t at = 0;
        Place(base, at, chain, n);
        Place(base, at, piece, n);
        Place(base, at, sorted, n);
        Place(base, at, stack, n);
        Place(base, at, chainOf, n);
        return at;
    }
    QNODE& Node(NODEREF r) const { return *reinterpret_cast<QNODE*>(reinterpret_cast<char*>(node.p) + r); }
    bool IsNode(NODEREF r) const { return r < nodeCount * sizeof(QNODE); }
    void StartPieces()
    {
        node = ARRAY<QNODE>{};
        nodeCount = 0;
        size_t bytes = LayPieces(0);
        uintptr_t base = (reinterpret_cast<uintptr_t>(nodeBlock.p) + CACHE_LINE - 1) & ~uintptr_t(CACHE_LINE - 1);
        LayPieces(bytes <= nodeBlock.size ? base : nodeBlock.Allocate(bytes));
    }
    POLYGON_AREA* area;
    uint32_t n;
    BLOCK block;
    BLOCK nodeBlock;
    ARRAY<SEGMENT> seg;
    // Each vertex and each segment adds one trapezoid to the first, and a
    // freed record is taken again before a new one: 2n + 1 are live at the
    // end and at most two more on the way.
    ARRAY<TRAP> trap;
    ARRAY<QNODE> node;
    ARRAY<POLYGON_IPOINT> pt;
    ARRAY<uint32_t> order;          // the random order of insertion
    ARRAY<uint8_t> vertexInserted;
    ARRAY<uint8_t> down;            // whether a segment runs downwards
    ARRAY<int32_t> next;            // along the contour, inside on the left
    ARRAY<int32_t> prev;
    ARRAY<POLYGON_VNODE*> vnode;
    // The monotone pieces: the edges at each vertex, one piece's vertices,
    // and the scratch arrays that triangulate it.
    ARRAY<CHAINVERTEX> chain;
    ARRAY<int32_t> piece, sorted, stack;
    ARRAY<uint8_t> chainOf;
    uint32_t trapCount = 0;         // records used so far, free ones included
    int32_t freeTrap = NONE;
    uint32_t nodeCount = 0;
    NODEREF root = NO_NODE;
    uint32_t written = 0;           // triangles written so far
    uint32_t capacity = 0;          // triangles the area must give
    __int128 doubledArea = 0;       // of the area, holes taken off
};

// ---------------------------------------------------------------------------
// Predicates

// Whether p lies above q: higher, or as high and further right.
bool Above(const POLYGON_IPOINT& p, const POLYGON_IPOINT& q)
{
    return p.y > q.y || (p.y == q.y && p.x > q.x);
}

// Vertex v1 of segment s.
int32_t EndOf(const SEGMENT& sg, int32_t s) { return sg.upper == s ? sg.lower : sg.upper; }

// ---------------------------------------------------------------------------
// Structure records

int32_t NewTrap(TRIANGULATION& t)
{
    int32_t i = t.freeTrap;
    if (i != NONE) {
        t.freeTrap = t.trap[i].u0;
    } else {
        POLYGON_Require(t.trapCount < t.trap.capacity);
        i = static_cast<int32_t>(t.trapCount++);
    }
    TRAP& tr = t.trap[i];
    tr.top = tr.bottom = tr.lseg = tr.rseg = NONE;
    tr.u0 = tr.u1 = tr.d0 = tr.d1 = NONE;
    tr.sink = NO_NODE;
    return i;
}

// Gives a live trapezoid's record back.
void FreeTrap(TRIANGULATION& t, int32_t i)
{
    TRAP& tr = t.trap[i];
    POLYGON_Require(tr.sink != NO_NODE);
    tr.sink = NO_NODE;
    tr.u0 = t.freeTrap;
    t.freeTrap = i;
}

NODEREF NewSink(TRIANGULATION& t, int32_t tr)
{
    if (t.nodeCount == t.node.capacity) {
        size_t more = t.node.capacity / 2 + 16;
        if ((t.node.capacity + more) * sizeof(QNODE) >= NO_NODE)
            POLYGON_Error(POLYGON_ERR_MEMORY);
        t.GrowNodes(t.node.capacity + more);
    }
    NODEREF i = t.nodeCount++ * sizeof(QNODE);
    QNODE& node = t.Node(i);
    node.kind = QNODE_SINK;
    node.item = NONE;
    node.trap = tr;
    t.trap[tr].sink = i;
    return i;
}

// A trapezoid that starts at `top` between two segments, with its own sink.
int32_t NewPiece(TRIANGULATION& t, int32_t top, int32_t lseg, int32_t rseg)
{
    int32_t i = NewTrap(t);
    TRAP& tr = t.trap[i];
    tr.top = top;
    tr.lseg = lseg;
    tr.rseg = rseg;
    NewSink(t, i);
    return i;
}

// The sink of a trapezoid that is about to become an inner node.
QNODE& SinkOf(TRIANGULATION& t, int32_t tr)
{
    NODEREF i = t.trap[tr].sink;
    POLYGON_Require(t.IsNode(i));
    QNODE& node = t.Node(i);
    POLYGON_Require(node.kind == QNODE_SINK && node.trap == tr);
    return node;
}

// Turns the sink of a trapezoid into the node of segment s; the trapezoid goes.
void MakeSegmentNode(TRIANGULATION& t, int32_t tr, int32_t s, NODEREF left, NODEREF right)
{
    QNODE& node = SinkOf(t, tr);
    const SEGMENT& sg = t.seg[s];
    node.kind = QNODE_SEGMENT;
    node.item = s;
    node.left = left;
    node.right = right;
    node.a = t.pt[sg.lower];
    node.b = t.pt[sg.upper];
}

void ReplaceUpper(TRAP& tr, int32_t old, int32_t by)
{
    if (tr.u0 == old)
        tr.u0 = by;
    else if (tr.u1 == old)
        tr.u1 = by;
    else
        POLYGON_Error(POLYGON_ERR_DATA);
}

void ReplaceLower(TRAP& tr, int32_t old, int32_t by)
{
    if (tr.d0 == old)
        tr.d0 = by;
    else if (tr.d1 == old)
        tr.d1 = by;
    else
        POLYGON_Error(POLYGON_ERR_DATA);
}

// ---------------------------------------------------------------------------
// Locating points

// One step of a search for point p moved an infinitesimal step towards q,
// the other end of its segment, from the inner node `node`; NO_NODE where
// the point's segment overlaps the node's. Inlined: the searches spend their
// time here.
[[gnu::always_inline]] inline NODEREF TryStep(const QNODE& node, const POLYGON_IPOINT& p, const POLYGON_IPOINT& q)
{
    if (node.kind == QNODE_VERTEX) {
        bool above = POLYGON_SamePoint(p, node.a) ? Above(q, node.a) : Above(p, node.a);
        return above ? node.right : node.left;
    }
    int64_t side = POLYGON_Cross(node.a, node.b, p);
    if (side == 0)
        side = POLYGON_Cross(node.a, node.b, q);
    if (side == 0)
        return NO_NODE;
    return side > 0 ? node.left : node.right;
}

[[gnu::always_inline]] inline NODEREF Step(const QNODE& node, const POLYGON_IPOINT& p, const POLYGON_IPOINT& q)
{
    NODEREF next = TryStep(node, p, q);
    // Overlapping collinear segments.
    POLYGON_Require(next != NO_NODE);
    return next;
}

// The sink that search reaches from node i.
NODEREF Locate(const TRIANGULATION& t, NODEREF i, const POLYGON_IPOINT& p, const POLYGON_IPOINT& q)
{
    for (uint32_t steps = 0;; steps++) {
        POLYGON_Require(t.IsNode(i) && steps <= t.nodeCount);
        const QNODE& node = t.Node(i);
        if (node.kind == QNODE_SINK)
            break;
        i = Step(node, p, q);
    }
    POLYGON_Require(t.Node(i).trap >= 0 && uint32_t(t.Node(i).trap) < t.trapCount);
    return i;
}

// Segments whose searches go down together.
constexpr uint32_t BATCH = 16;

// Asks the processor to fetch trapezoid i, if any. A hint only. The
// prefetching helpers are always inlined: the compiler takes a function that
// only prefetches for one without effect and drops its calls.
[[gnu::always_inline]] inline void PrefetchTrap(const TRIANGULATION& t, int32_t i)
{
    if (i != NONE)
        __builtin_prefetch(&t.trap[i]);
}

// The same for the neighbours of trapezoid i.
[[gnu::always_inline]] inline void PrefetchNeighbours(const TRIANGULATION& t, int32_t i)
{
    const TRAP& tr = t.trap[i];
    PrefetchTrap(t, tr.u0);
    PrefetchTrap(t, tr.u1);
    PrefetchTrap(t, tr.d0);
    PrefetchTrap(t, tr.d1);
}

// Takes the searches for both ends of up to BATCH segments down to the sinks
// they reach now, one level for all of them at a time, so that the processor
// fetches the nodes of all of them at once instead of one after another. A
// search that starts further down its own path ends where it would have
// ended, as inner nodes never change: the segments' insertions, and later
// searches for them, start from these sinks. A search that meets an
// overlapping segment stops short, and the insertion's own search then
// refuses the area, as it would have.
void Descend(TRIANGULATION& t, const uint32_t* segs, uint32_t count)
{
    // Walk w searches for the point of vertex `from` of segment w / 2 moved
    // towards its other end `to`.
    NODEREF at[2 * BATCH];
    int32_t from[2 * BATCH], to[2 * BATCH];
    uint8_t walking[2 * BATCH];
    for (uint32_t k = 0; k < count; k++) {
        __builtin_prefetch(&t.seg[segs[k]]);
        __builtin_prefetch(&t.pt[segs[k]]);
    }
    for (uint32_t k = 0; k < count; k++) {
        int32_t s = static_cast<int32_t>(segs[k]);
        const SEGMENT& sg = t.seg[s];
        at[2 * k] = sg.from0;
        at[2 * k + 1] = sg.from1;
        from[2 * k] = to[2 * k + 1] = s;
        from[2 * k + 1] = to[2 * k] = EndOf(sg, s);
        walking[2 * k] = uint8_t(2 * k);
        walking[2 * k + 1] = uint8_t(2 * k + 1);
    }
    uint32_t left = 2 * count;
    for (uint32_t steps = 0; left; steps++) {
        POLYGON_Require(steps <= t.nodeCount);
        for (uint32_t i = 0; i < left; i++) {
            POLYGON_Require(t.IsNode(at[walking[i]]));
            __builtin_prefetch(&t.Node(at[walking[i]]));
        }
        uint32_t still = 0;
        for (uint32_t i = 0; i < left; i++) {
            uint32_t w = walking[i];
            const QNODE& node = t.Node(at[w]);
            if (node.kind == QNODE_SINK) {
                __builtin_prefetch(&t.trap[node.trap]);
                continue;
            }
            NODEREF next = TryStep(node, t.pt[from[w]], t.pt[to[w]]);
            if (next == NO_NODE)
                continue;
            at[w] = next;
            walking[still++] = uint8_t(w);
        }
        left = still;
    }
    for (uint32_t k = 0; k < count; k++) {
        SEGMENT& sg = t.seg[segs[k]];
        sg.from0 = at[2 * k];
        sg.from1 = at[2 * k + 1];
    }
}

// ---------------------------------------------------------------------------
// Inserting a segment

// Splits the trapezoid holding vertex p (at point P, its segment running
// towards Q) by the horizontal line through it.
void InsertVertex(TRIANGULATION& t, int32_t p, const POLYGON_IPOINT& P, const POLYGON_IPOINT& Q, NODEREF from)
{
    NODEREF node = Locate(t, from, P, Q);
    int32_t upper = t.Node(node).trap;
    TRAP& up = t.trap[upper];
    POLYGON_Require(up.sink == node);
    // The vertex lies strictly between the trapezoid's lines; a second vertex
    // on the same point would sit on one of them.
    POLYGON_Require(up.top == NONE || Above(t.pt[up.top], P));
    POLYGON_Require(up.bottom == NONE || Above(P, up.bottomPt));
    int32_t lower = NewTrap(t);
    TRAP& lo = t.trap[lower];
    lo.top = p;
    lo.bottom = up.bottom;
    lo.bottomPt = up.bottomPt;
    lo.lseg = up.lseg;
    lo.rseg = up.rseg;
    lo.d0 = up.d0;
    lo.d1 = up.d1;
    if (lo.d0 != NONE)
        ReplaceUpper(t.trap[lo.d0], upper, lower);
    if (lo.d1 != NONE)
        ReplaceUpper(t.trap[lo.d1], upper, lower);
    lo.u0 = upper;
    up.d0 = lower;
    up.d1 = NONE;
    up.bottom = p;
    up.bottomPt = P;
    NODEREF below = NewSink(t, lower);
    NODEREF above = NewSink(t, upper);
    QNODE& x = t.Node(node);
    x.kind = QNODE_VERTEX;
    x.item = p;
    x.left = below;
    x.right = above;
    x.a = P;
    t.vertexInserted[p] = true;
}

// The first trapezoid crossed by segment s, split at the top end into the
// pieces l and r: they take over its upper neighbours.
void LinkTop(TRIANGULATION& t, const SEGMENT& sg, TRAP& tr, int32_t self, int32_t l, int32_t r)
{
    TRAP& L = t.trap[l];
    TRAP& R = t.trap[r];
    if (tr.u1 != NONE) {
        // A segment rises from the top end between the two upper neighbours.
        L.u0 = tr.u0;
        R.u0 = tr.u1;
        ReplaceLower(t.trap[tr.u0], self, l);
        ReplaceLower(t.trap[tr.u1], self, r);
        return;
    }
    int32_t u = tr.u0;
    POLYGON_Require(u != NONE);
    if (tr.rseg != NONE && tr.rseg == sg.downFromUpper) {
        // The right piece closes to a point at the top end.
        L.u0 = u;
        ReplaceLower(t.trap[u], self, l);
    } else if (tr.lseg != NONE && tr.lseg == sg.downFromUpper) {
        R.u0 = u;
        ReplaceLower(t.trap[u], self, r);
    } else {
        TRAP& U = t.trap[u];
        POLYGON_Require(U.d0 == self && U.d1 == NONE);
        L.u0 = R.u0 = u;
        U.d0 = l;
        U.d1 = r;
    }
}

// The last trapezoid crossed, ending at the bottom end: the pieces take over
// its lower neighbours.
void LinkBottom(TRIANGULATION& t, const SEGMENT& sg, TRAP& tr, int32_t self, int32_t l, int32_t r)
{
    TRAP& L = t.trap[l];
    TRAP& R = t.trap[r];
    if (tr.d1 != NONE) {
        L.d0 = tr.d0;
        R.d0 = tr.d1;
        ReplaceUpper(t.trap[tr.d0], self, l);
        ReplaceUpper(t.trap[tr.d1], self, r);
        return;
    }
    int32_t d = tr.d0;
    POLYGON_Require(d != NONE);
    if (tr.rseg != NONE && tr.rseg == sg.upFromLower) {
        L.d0 = d;
        ReplaceUpper(t.trap[d], self, l);
    } else if (tr.lseg != NONE && tr.lseg == sg.upFromLower) {
        R.d0 = d;
        ReplaceUpper(t.trap[d], self, r);
    } else {
        TRAP& D = t.trap[d];
        POLYGON_Require(D.u0 == self && D.u1 == NONE);
        L.d0 = R.d0 = d;
        D.u0 = l;
        D.u1 = r;
    }
}

// The segment passes the vertex between trapezoids prev (above) and cur
// (below) on the vertex's right, so the vertex's line still separates the
// left pieces: `above` ends there and `below` starts. Neighbours of prev and
// cur left of the vertex pass to them.
void LinkAcrossLeft(TRIANGULATION& t, int32_t prev, int32_t cur, int32_t above, int32_t below)
{
    const TRAP& P = t.trap[prev];
    const TRAP& C = t.trap[cur];
    int32_t d0 = NONE;
    if (P.d1 != NONE) {
        POLYGON_Require(P.d1 == cur);
        d0 = P.d0;
    } else {
        POLYGON_Require(P.d0 == cur);
    }
    int32_t u0 = NONE;
    if (C.u1 != NONE) {
        POLYGON_Require(C.u1 == prev);
        u0 = C.u0;
    } else {
        POLYGON_Require(C.u0 == prev);
    }
    TRAP& A = t.trap[above];
    TRAP& B = t.trap[below];
    A.d0 = d0 != NONE ? d0 : below;
    A.d1 = d0 != NONE ? below : NONE;
    B.u0 = u0 != NONE ? u0 : above;
    B.u1 = u0 != NONE ? above : NONE;
    if (d0 != NONE)
        ReplaceUpper(t.trap[d0], prev, above);
    if (u0 != NONE)
        ReplaceLower(t.trap[u0], cur, below);
}

// The mirror image: the vertex lies right of the segment.
void LinkAcrossRight(TRIANGULATION& t, int32_t prev, int32_t cur, int32_t above, int32_t below)
{
    const TRAP& P = t.trap[prev];
    const TRAP& C = t.trap[cur];
    POLYGON_Require(P.d0 == cur);
    int32_t d1 = P.d1;
    POLYGON_Require(C.u0 == prev);
    int32_t u1 = C.u1;
    TRAP& A = t.trap[above];
    TRAP& B = t.trap[below];
    A.d0 = below;
    A.d1 = d1;
    B.u0 = above;
    B.u1 = u1;
    if (d1 != NONE)
        ReplaceUpper(t.trap[d1], prev, above);
    if (u1 != NONE)
        ReplaceLower(t.trap[u1], cur, below);
}

// Threads segment s through the trapezoids it crosses, from its upper end
// down, splitting each into a left and a right piece. Where the line of the
// vertex between two crossed trapezoids ends at s, the pieces on the other
// side of s from that vertex merge into one.
void ThreadSegment(TRIANGULATION& t, int32_t s)
{
    const SEGMENT& sg = t.seg[s];
    int32_t a = sg.upper, b = sg.lower;
    NODEREF from = a == s ? sg.from0 : sg.from1;
    const POLYGON_IPOINT A = t.pt[a], B = t.pt[b];
    int32_t cur = t.Node(Locate(t, from, A, B)).trap;
    POLYGON_Require(t.trap[cur].top == a);
    int32_t prev = NONE, left = NONE, right = NONE;
    int64_t prevSide = 0;
    for (uint32_t steps = 0;; steps++) {
        POLYGON_Require(steps <= t.trapCount);
        TRAP& c = t.trap[cur];
        PrefetchNeighbours(t, cur);
        int32_t l, r;
        if (prev == NONE) {
            l = NewPiece(t, a, c.lseg, s);
            r = NewPiece(t, a, s, c.rseg);
            LinkTop(t, sg, c, cur, l, r);
        } else if (prevSide > 0) {
            POLYGON_Require(t.trap[right].rseg == c.rseg);
            r = right;
            l = NewPiece(t, c.top, c.lseg, s);
            LinkAcrossLeft(t, prev, cur, left, l);
        } else {
            POLYGON_Require(t.trap[left].lseg == c.lseg);
            l = left;
            r = NewPiece(t, c.top, s, c.rseg);
            LinkAcrossRight(t, prev, cur, right, r);
        }
        t.trap[l].bottom = t.trap[r].bottom = c.bottom;
        t.trap[l].bottomPt = t.trap[r].bottomPt = c.bottomPt;
        MakeSegmentNode(t, cur, s, t.trap[l].sink, t.trap[r].sink);
        if (prev != NONE)
            FreeTrap(t, prev);
        if (c.bottom == b) {
            LinkBottom(t, sg, c, cur, l, r);
            FreeTrap(t, cur);
            return;
        }
        // The segment must reach b before it leaves the trapezoids above b.
        POLYGON_Require(c.bottom != NONE && Above(c.bottomPt, B));
        int64_t side = POLYGON_Cross(B, A, c.bottomPt);
        POLYGON_Require(side != 0);
        int32_t next = c.d1 != NONE ? (side > 0 ? c.d1 : c.d0) : c.d0;
        POLYGON_Require(next != NONE && t.trap[next].top == c.bottom);
        if (t.trap[next].sink != NO_NODE)
            __builtin_prefetch(&t.Node(t.trap[next].sink));
        prev = cur;
        prevSide = side;
        left = l;
        right = r;
        cur = next;
    }
}

void AddSegment(TRIANGULATION& t, int32_t s)
{
    SEGMENT& sg = t.seg[s];
    POLYGON_Require(!sg.inserted);
    int32_t v1 = EndOf(sg, s);
    if (!t.vertexInserted[s])
        InsertVertex(t, s, t.pt[s], t.pt[v1], sg.from0);
    if (!t.vertexInserted[v1])
        InsertVertex(t, v1, t.pt[v1], t.pt[s], sg.from1);
    ThreadSegment(t, s);
    sg.inserted = true;
}

// Asks the processor to fetch what the insertion of segment s reads once
// its searches are done: the marks of its vertices and the neighbours of the
// trapezoids found, which the splits relink. A hint only.
[[gnu::always_inline]] inline void PrefetchInsertion(const TRIANGULATION& t, uint32_t s)
{
    const SEGMENT& sg = t.seg[s];
    __builtin_prefetch(&t.vertexInserted[sg.upper]);
    __builtin_prefetch(&t.vertexInserted[sg.lower]);
    for (NODEREF from : {sg.from0, sg.from1})
        if (t.Node(from).kind == QNODE_SINK)
            PrefetchNeighbours(t, t.Node(from).trap);
}

// Inserts the segments order[done .. end) a batch at a time, their searches
// taken down together first.
void InsertInOrder(TRIANGULATION& t, uint32_t done, uint32_t end)
{
    while (done < end) {
        uint32_t count = end - done < BATCH ? end - done : BATCH;
        Descend(t, &t.order[done], count);
        for (uint32_t k = 0; k < count; k++) {
            if (k + 1 < count)
                PrefetchInsertion(t, t.order[done + k + 1]);
            AddSegment(t, t.order[done + k]);
        }
        done += count;
    }
}

// Whether the point p moved an infinitesimal step towards q lies above
// vertex point v, as a search decides it.
bool NudgedAbove(const POLYGON_IPOINT& p, const POLYGON_IPOINT& q, const POLYGON_IPOINT& v)
{
    return POLYGON_SamePoint(p, v) ? Above(q, v) : Above(p, v);
}

// Where point p lies against segment s seen from its lower end to its
// upper end: positive left, negative right, zero on its line.
int64_t SideOf(const TRIANGULATION& t, int32_t s, const POLYGON_IPOINT& p)
{
    int64_t side = POLYGON_Cross(t.pt[s], t.pt[t.next[s]], p);
    return t.down[s] ? -side : side;
}

// Whether the point p moved towards q lies inside trapezoid i, off all its
// sides, by the comparisons a search makes. The trapezoids cover the plane
// without overlap, so a search for that point ends at the sink of i.
bool Holds(const TRIANGULATION& t, int32_t i, const POLYGON_IPOINT& p, const POLYGON_IPOINT& q)
{
    const TRAP& tr = t.trap[i];
    if (tr.sink == NO_NODE || (tr.top != NONE && NudgedAbove(p, q, t.pt[tr.top])) ||
        (tr.bottom != NONE && !NudgedAbove(p, q, tr.bottomPt)))
        return false;
    int64_t left = tr.lseg == NONE ? -1 : SideOf(t, tr.lseg, p);
    if (left == 0)
        left = SideOf(t, tr.lseg, q);
    int64_t right = tr.rseg == NONE ? 1 : SideOf(t, tr.rseg, p);
    if (right == 0)
        right = SideOf(t, tr.rseg, q);
    return left < 0 && right > 0;
}

// Whether point p lies strictly inside trapezoid i, on none of its lines:
// then p moved any way lies inside it.
bool HoldsWhole(const TRIANGULATION& t, int32_t i, const POLYGON_IPOINT& p)
{
    const TRAP& tr = t.trap[i];
    return tr.sink != NO_NODE && (tr.top == NONE || Above(t.pt[tr.top], p)) &&
           (tr.bottom == NONE || Above(p, tr.bottomPt)) && (tr.lseg == NONE || SideOf(t, tr.lseg, p) < 0) &&
           (tr.rseg == NONE || SideOf(t, tr.rseg, p) > 0);
}

// Follows the segment from p to q through the trapezoids it crosses, from
// trapezoid i that holds p moved towards q, as the insertion of the segment
// would; returns the one that holds q moved towards p, or NONE where the way
// is not clear (the segment runs through a vertex, a link is missing).
int32_t Follow(const TRIANGULATION& t, int32_t i, const POLYGON_IPOINT& p, const POLYGON_IPOINT& q)
{
    bool down = Above(p, q);
    const POLYGON_IPOINT& lower = down ? q : p;
    const POLYGON_IPOINT& upper = down ? p : q;
    for (uint32_t steps = 0; i != NONE && steps <= t.trapCount; steps++) {
        const TRAP& tr = t.trap[i];
        int32_t v = down ? tr.bottom : tr.top;
        if (v == NONE)
            return i;
        const POLYGON_IPOINT& V = down ? tr.bottomPt : t.pt[v];
        // q moved towards p still lies within this trapezoid's lines.
        if (NudgedAbove(q, p, V) == down)
            return i;
        int64_t side = POLYGON_Cross(lower, upper, V);
        if (side == 0)
            return NONE;
        int32_t one = down ? tr.d0 : tr.u0, other = down ? tr.d1 : tr.u1;
        i = other != NONE && side > 0 ? other : one;
    }
    return NONE;
}

// Asks the processor to fetch the first nodes of the searches of the
// segments a few places after s along the contours. A hint only.
[[gnu::always_inline]] inline void PrefetchSearches(const TRIANGULATION& t, uint32_t s)
{
    if (s + 8 < t.n) {
        const SEGMENT& sg = t.seg[s + 8];
        __builtin_prefetch(&t.Node(sg.from0));
        __builtin_prefetch(&t.Node(sg.from1));
    }
    if (s + 4 < t.n) {
        const SEGMENT& sg = t.seg[s + 4];
        for (NODEREF from : {sg.from0, sg.from1}) {
            const QNODE& node = t.Node(from);
            if (node.kind != QNODE_SINK) {
                __builtin_prefetch(&t.Node(node.left));
                __builtin_prefetch(&t.Node(node.right));
            }
        }
    }
}

// Locates both ends of every segment still to come, so that its insertion
// starts near its place: searches the query structure from where the last
// search for each end stopped, along the contours, so that neighbouring
// searches share their paths.
void Relocate(TRIANGULATION& t)
{
    for (uint32_t s = 0; s < t.n; s++) {
        PrefetchSearches(t, s);
        SEGMENT& sg = t.seg[s];
        if (sg.inserted)
            continue;
        const POLYGON_IPOINT& p = t.pt[s];
        const POLYGON_IPOINT& q = t.pt[EndOf(sg, int32_t(s))];
        sg.from0 = Locate(t, sg.from0, p, q);
        sg.from1 = Locate(t, sg.from1, q, p);
    }
}

// The same the first time, when every search would start at the root: a
// segment is followed instead from the trapezoid that holds its start to the
// one that holds its end, which holds the start of the next segment too
// where that vertex lies inside it. Where following cannot tell, the query
// structure is searched. (Later, the searches start close to their ends in
// a structure too large for following to find its trapezoids in the cache.)
void RelocateFollowing(TRIANGULATION& t)
{
    int32_t carried = NONE;     // where the segment before ended
    bool whole = false;         // its end lies strictly inside there
    for (uint32_t s = 0; s < t.n; s++) {
        SEGMENT& sg = t.seg[s];
        if (sg.inserted || t.prev[s] != int32_t(s) - 1)
            carried = NONE;
        if (sg.inserted)
            continue;
        const POLYGON_IPOINT& p = t.pt[s];
        const POLYGON_IPOINT& q = t.pt[EndOf(sg, int32_t(s))];
        int32_t start = carried;
        if (start != NONE && (whole || Holds(t, start, p, q))) {
            sg.from0 = t.trap[start].sink;
        } else {
            sg.from0 = Locate(t, sg.from0, p, q);
            start = t.Node(sg.from0).trap;
        }
        int32_t end = Follow(t, start, p, q);
        whole = end != NONE && HoldsWhole(t, end, q);
        if (whole || (end != NONE && Holds(t, end, q, p))) {
            sg.from1 = t.trap[end].sink;
        } else {
            sg.from1 = Locate(t, sg.from1, q, p);
            end = t.Node(sg.from1).trap;
        }
        carried = end;
    }
}

// How often the natural logarithm can be applied to n before the value drops
// below 1, less one.
uint32_t LogStar(uint32_t n)
{
    uint32_t count = 0;
    for (double v = n; v >= 1.0; v = std::log(v))
        count++;
    return count ? count - 1 : 0;
}

// ceil(n / ln^h(n)), the segments inserted by the end of phase h.
uint32_t PhaseEnd(uint32_t n, uint32_t h)
{
    double v = n;
    for (uint32_t i = 0; i < h; i++)
        v = std::log(v);
    double end = std::ceil(n / v);
    return end >= n ? n : static_cast<uint32_t>(end);
}

// Inserts the segments in their random order in phases: after each phase
// the ends of the segments still to come are located again.
void Trapezoidate(TRIANGULATION& t)
{
    t.root = NewSink(t, NewTrap(t));
    for (uint32_t i = 0; i < t.n; i++)
        t.seg[i].from0 = t.seg[i].from1 = t.root;
    uint32_t done = 0;
    uint32_t phases = LogStar(t.n);
    for (uint32_t h = 1; h <= phases; h++) {
        uint32_t end = PhaseEnd(t.n, h);
        InsertInOrder(t, done, end);
        done = end > done ? end : done;
        if (h == 1)
            RelocateFollowing(t);
        else
            Relocate(t);
    }
    InsertInOrder(t, done, t.n);
}

// ---------------------------------------------------------------------------
// Monotone pieces

void AddLink(CHAINVERTEX& c, int32_t to)
{
    POLYGON_Require(c.count < CHAIN_LINKS);
    c.link[c.count++] = to;
}

// Whether direction d comes before e counter-clockwise from the positive x
// axis; a repeated direction is an overlap and error 3.
bool BeforeCcw(int64_t dx, int64_t dy, int64_t ex, int64_t ey)
{
    int dh = (dy < 0 || (dy == 0 && dx < 0)) ? 1 : 0;
    int eh = (ey < 0 || (ey == 0 && ex < 0)) ? 1 : 0;
    if (dh != eh)
        return dh < eh;
    int64_t cross = dx * ey - dy * ex;
    POLYGON_Require(cross != 0);
    return cross > 0;
}

void SortLinks(const TRIANGULATION& t, int32_t v, CHAINVERTEX& c)
{
    const POLYGON_IPOINT& o = t.pt[v];
    for (uint32_t i = 1; i < c.count; i++) {
        int32_t w = c.link[i];
        int64_t wx = int64_t(t.pt[w].x) - o.x, wy = int64_t(t.pt[w].y) - o.y;
        uint32_t j = i;
        while (j > 0) {
            const POLYGON_IPOINT& q = t.pt[c.link[j - 1]];
            if (!BeforeCcw(wx, wy, int64_t(q.x) - o.x, int64_t(q.y) - o.y))
                break;
            c.link[j] = c.link[j - 1];
            j--;
        }
        c.link[j] = w;
    }
}

// Every trapezoid inside the area whose top and bottom vertices are not the
// ends of one of its sides gets the diagonal between them. The diagonals cut
// the area into pieces monotone in y.
void AddDiagonals(TRIANGULATION& t)
{
    const ARRAY<CHAINVERTEX>& chain = t.chain;
    for (uint32_t i = 0; i < t.trapCount; i++) {
        const TRAP& tr = t.trap[i];
        if (tr.sink == NO_NODE || tr.top == NONE || tr.bottom == NONE || tr.lseg == NONE || tr.rseg == NONE)
            continue;
        // The inside lies right of a segment that runs downwards, from its
        // first vertex to the next.
        if (!t.down[tr.lseg])
            continue;
        POLYGON_Require(!t.down[tr.rseg]);
        if ((tr.lseg == tr.top && t.next[tr.lseg] == tr.bottom) || (t.next[tr.rseg] == tr.top && tr.rseg == tr.bottom))
            continue;
        AddLink(chain[tr.top], tr.bottom);
        AddLink(chain[tr.bottom], tr.top);
    }
}

// Writes one triangle, counter-clockwise; a degenerate one or one beyond the
// computed count is error 3.
void Emit(TRIANGULATION& t, int32_t a, int32_t b, int32_t c)
{
    int64_t cross = POLYGON_Cross(t.pt[a], t.pt[b], t.pt[c]);
    POLYGON_Require(cross != 0);
    if (cross < 0) {
        int32_t swap = b;
        b = c;
        c = swap;
        cross = -cross;
    }
    POLYGON_Require(t.written < t.capacity);
    POLYGON_TRIANGLE& tri = t.area->triangles[t.written++];
    tri.v[0] = t.vnode[a];
    tri.v[1] = t.vnode[b];
    tri.v[2] = t.vnode[c];
    t.doubledArea -= cross;
}

// Triangulates a piece given counter-clockwise, monotone in y, with a stack
// (the standard sweep from the top). `sorted`, `chainOf` and `stack` are
// scratch arrays of at least m entries.
void TriangulateMonotone(TRIANGULATION& t, const int32_t* piece, uint32_t m, int32_t* sorted, uint8_t* chainOf,
                         int32_t* stack)
{
    POLYGON_Require(m >= 3);
    uint32_t top = 0, bottom = 0;
    for (uint32_t i = 1; i < m; i++) {
        if (Above(t.pt[piece[i]], t.pt[piece[top]]))
            top = i;
        if (Above(t.pt[piece[bottom]], t.pt[piece[i]]))
            bottom = i;
    }
    // Counter-clockwise from the top runs down the left chain (0); the right
    // chain (1) runs down against the ring. Merge both into one descending list.
    enum { LEFT = 0, RIGHT = 1 };
    uint32_t l = (top + 1) % m, r = (top + m - 1) % m;
    sorted[0] = piece[top];
    chainOf[0] = LEFT;
    uint32_t k = 1;
    for (; l != bottom || r != bottom; k++) {
        POLYGON_Require(k < m);
        bool takeLeft = r == bottom || (l != bottom && Above(t.pt[piece[l]], t.pt[piece[r]]));
        uint32_t i = takeLeft ? l : r;
        // Each chain must descend.
        POLYGON_Require(Above(t.pt[sorted[k - 1]], t.pt[piece[i]]));
        sorted[k] = piece[i];
        chainOf[k] = takeLeft ? LEFT : RIGHT;
        if (takeLeft)
            l = (l + 1) % m;
        else
            r = (r + m - 1) % m;
    }
    POLYGON_Require(k == m - 1 && Above(t.pt[sorted[k - 1]], t.pt[piece[bottom]]));
    sorted[k] = piece[bottom];
    chainOf[k] = LEFT;

    uint32_t depth = 0;
    stack[depth++] = 0;
    stack[depth++] = 1;
    for (uint32_t j = 2; j + 1 < m; j++) {
        if (chainOf[j] != chainOf[stack[depth - 1]]) {
            // Everything on the stack sees the new vertex across the piece.
            while (depth > 1) {
                int32_t x = stack[--depth];
                Emit(t, sorted[j], sorted[x], sorted[stack[depth - 1]]);
            }
            depth = 0;
            stack[depth++] = j - 1;
            stack[depth++] = j;
            continue;
        }
        int32_t last = stack[--depth];
        while (depth > 0) {
            int32_t x = stack[depth - 1];
            int64_t turn = POLYGON_Cross(t.pt[sorted[x]], t.pt[sorted[last]], t.pt[sorted[j]]);
            bool convex = chainOf[j] == LEFT ? turn > 0 : turn < 0;
            if (!convex)
                break;
            Emit(t, sorted[j], sorted[last], sorted[x]);
            last = x;
            depth--;
        }
        stack[depth++] = last;
        stack[depth++] = j;
    }
    while (depth > 1) {
        int32_t x = stack[--depth];
        Emit(t, sorted[m - 1], sorted[x], sorted[stack[depth - 1]]);
    }
}

// Cuts the area along the diagonals and triangulates every piece. Each piece
// is traced once, keeping it on the left: from an edge u -> w the next edge
// leaves w as the first one clockwise from w -> u.
void TriangulatePieces(TRIANGULATION& t)
{
    t.StartPieces();
    const ARRAY<CHAINVERTEX>& chain = t.chain;
    for (uint32_t v = 0; v < t.n; v++) {
        chain[v].count = chain[v].traced = 0;
        AddLink(chain[v], t.next[v]);
        AddLink(chain[v], t.prev[v]);
    }
    AddDiagonals(t);
    uint64_t edges = 0;
    for (uint32_t v = 0; v < t.n; v++) {
        SortLinks(t, v, chain[v]);
        edges += chain[v].count;
        // The outside of the contour edges is no piece.
        for (uint32_t k = 0; k < chain[v].count; k++)
            if (chain[v].link[k] == t.prev[v])
                chain[v].traced |= uint8_t(1u << k);
    }
    uint64_t steps = 0;
    for (uint32_t v = 0; v < t.n; v++) {
        for (uint32_t k = 0; k < chain[v].count; k++) {
            if (chain[v].traced & (1u << k))
                continue;
            uint32_t m = 0;
            int32_t u = static_cast<int32_t>(v);
            uint32_t slot = k;
            do {
                POLYGON_Require(++steps <= edges && m < t.n);
                CHAINVERTEX& cu = chain[u];
                POLYGON_Require(!(cu.traced & (1u << slot)));
                cu.traced |= uint8_t(1u << slot);
                t.piece[m++] = u;
                int32_t w = cu.link[slot];
                CHAINVERTEX& cw = chain[w];
                uint32_t back = 0;
                while (back < cw.count && cw.link[back] != u)
                    back++;
                POLYGON_Require(back < cw.count);
                slot = (back + cw.count - 1) % cw.count;
                u = w;
            } while (!(u == static_cast<int32_t>(v) && slot == k));
            TriangulateMonotone(t, t.piece.p, m, t.sorted.p, t.chainOf.p, t.stack.p);
        }
    }
}

// ---------------------------------------------------------------------------
// One area

uint32_t CountVertices(const POLYGON_AREA* area, uint32_t* contours)
{
    uint64_t n = 0;
    *contours = 0;
    for (const POLYGON_CONTOUR* c = area->cntr; c; c = c->next) {
        n += c->count;
        (*contours)++;
    }
    POLYGON_Require(*contours >= 1 && n >= 3 && n < (uint64_t(1) << 28));
    return static_cast<uint32_t>(n);
}

// Takes the vertices contour by contour so that the inside lies left of
// every segment: the outer contour counter-clockwise, holes clockwise,
// whatever way their rings run.
void LoadVertices(TRIANGULATION& t)
{
    uint32_t i = 0;
    bool outer = true;
    for (POLYGON_CONTOUR* c = t.area->cntr; c; c = c->next, outer = false) {
        int64_t s = POLYGON_DoubledArea(c);
        POLYGON_Require(s != 0);
        bool forward = outer ? s > 0 : s < 0;
        t.doubledArea += outer ? (s > 0 ? s : -s) : -(s > 0 ? s : -s);
        uint32_t first = i;
        POLYGON_VNODE* v = c->head;
        for (uint32_t k = 0; k < c->count; k++, i++) {
            t.vnode[i] = v;
            t.pt[i] = v->point.g;
            v->index = i;
            v = forward ? v->next : v->prev;
        }
        for (uint32_t k = first; k < i; k++) {
            t.next[k] = k + 1 < i ? k + 1 : first;
            t.prev[k] = k > first ? k - 1 : i - 1;
        }
    }
    for (uint32_t s = 0; s < t.n; s++) {
        SEGMENT& sg = t.seg[s];
        int32_t v1 = t.next[s];
        POLYGON_Require(!POLYGON_SamePoint(t.pt[s], t.pt[v1]));
        bool down = Above(t.pt[s], t.pt[v1]);
        t.down[s] = down;
        sg.upper = down ? s : v1;
        sg.lower = down ? v1 : s;
        sg.inserted = false;
    }
    // The segment before vertex s ends there, the one after it starts there.
    for (uint32_t s = 0; s < t.n; s++) {
        SEGMENT& sg = t.seg[s];
        int32_t atUpper = sg.upper == int32_t(s) ? t.prev[s] : t.next[s];
        int32_t atLower = sg.lower == int32_t(s) ? t.prev[s] : t.next[s];
        sg.downFromUpper = t.seg[atUpper].upper == sg.upper ? atUpper : NONE;
        sg.upFromLower = t.seg[atLower].lower == sg.lower ? atLower : NONE;
    }
}

// The random order of insertion: n swaps with j from two 15-bit numbers.
void Shuffle(TRIANGULATION& t)
{
    for (uint32_t i = 0; i < t.n; i++)
        t.order[i] = i;
    POLYGON_SeedFromTime();
    for (uint32_t i = 0; i < t.n; i++) {
        uint64_t r1 = POLYGON_Random15();
        uint64_t r2 = POLYGON_Random15();
        uint32_t j = static_cast<uint32_t>((r1 * 65535u + r2) % t.n);
        uint32_t swap = t.order[i];
        t.order[i] = t.order[j];
        t.order[j] = swap;
    }
}

void TriangulateArea(POLYGON_AREA* area)
{
    uint32_t contours = 0;
    uint32_t n = CountVertices(area, &contours);
    // The working state is taken before the triangles are: the triangles,
    // which outlive it, then lie above it in the heap, and its memory stays
    // with the heap for the next call rather than going back to the system
    // and being faulted in again page by page.
    TRIANGULATION t(area, n);
    POLYGON_Free(area->triangles);
    area->triangles = nullptr;
    area->triangleCount = 0;
    uint32_t count = n + 2 * (contours - 1) - 2;
    area->triangles = static_cast<POLYGON_TRIANGLE*>(POLYGON_AllocOrRaise(count, sizeof(POLYGON_TRIANGLE)));
    area->triangleCount = count;
    t.capacity = count;
    LoadVertices(t);
    Shuffle(t);
    Trapezoidate(t);
    TriangulatePieces(t);
    // Every triangle written and together they cover the area exactly.
    POLYGON_Require(t.written == t.capacity && t.doubledArea == 0);
}

void ClearTriangles(POLYGON_AREA* ring)
{
    POLYGON_AREA* a = ring;
    do {
        POLYGON_Free(a->triangles);
        a->triangles = nullptr;
        a->triangleCount = 0;
        a = a->next;
    } while (a != ring);
}

}

void POLYGON_Triangulate(POLYGON_AREA* area)
{
    POLYGON_Require(area != nullptr);
    POLYGON_CheckGridArea(area);
    try {
        POLYGON_AREA* a = area;
        do {
            TriangulateArea(a);
            a = a->next;
        } while (a != area);
    } catch (...) {
        // A failed call leaves no triangles behind.
        ClearTriangles(area);
        throw;
    }
}

int POLYGON_ApiTriangulate(POLYGON_AREA* area)
{
    return POLYGON_Catch([&] { POLYGON_Triangulate(area); });
}
