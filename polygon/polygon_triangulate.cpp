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
#include <initializer_list>
#include "polygon/polygonlibrary.h"

namespace {

constexpr int32_t NONE = -1;

struct TRAP;

enum QNODE_KIND : uint8_t { QNODE_VERTEX, QNODE_SEGMENT, QNODE_SINK };

// A node of the query structure. A vertex node sends points below the vertex
// to `left` and points above it to `right`; a segment node sends points left
// of the segment to `left`, right of it to `right`; a sink names a trapezoid.
// Kept small: searches walk many of them.
struct QNODE {
    QNODE_KIND kind;
    int32_t item;       // the vertex or the segment of the node
    QNODE* left;
    union {
        QNODE* right;
        TRAP* trap;     // sink: its trapezoid
    };
};

// A trapezoid between two horizontal lines through its top and bottom
// vertices and between two segments. Unbounded sides are NONE. Up to two
// neighbours above and below, left one first; a single one is in u0 / d0.
struct TRAP {
    int32_t top, bottom;
    int32_t lseg, rseg;
    TRAP* u0;
    TRAP* u1;
    TRAP* d0;
    TRAP* d1;
    QNODE* sink;
};

// Segment i runs from vertex v0 = i to v1, the next vertex of its contour,
// with the area's inside on its left.
struct SEGMENT {
    int32_t v0, v1;
    int32_t upper, lower;   // its end points by the order of points
    bool inserted;
    QNODE* from0;           // where the search for v0 (towards v1) starts
    QNODE* from1;           // where the search for v1 (towards v0) starts
};

// The end points of a segment, lower first, apart from the rest of its
// record so that searches read little.
struct SEGMENT_ENDS {
    POLYGON_IPOINT lower, upper;
};

// The edges that leave one vertex once the diagonals are in: its two contour
// edges and at most three diagonals, kept in counter-clockwise order.
constexpr uint32_t CHAIN_LINKS = 6;
struct CHAINVERTEX {
    int32_t link[CHAIN_LINKS];
    uint8_t count;
    uint8_t traced;         // bit k: the edge along link[k] is on a traced piece
};

// Working storage of one area, released on every way out.
template <typename T>
struct SCRATCH {
    T* p = nullptr;
    explicit SCRATCH(size_t count) { p = static_cast<T*>(POLYGON_AllocOrRaise(count ? count : 1, sizeof(T))); }
    ~SCRATCH() { POLYGON_Free(p); }
    SCRATCH(const SCRATCH&) = delete;
    SCRATCH& operator=(const SCRATCH&) = delete;
    T& operator[](size_t i) const { return p[i]; }
};

struct TRIANGULATION {
    TRIANGULATION(POLYGON_AREA* a, uint32_t vertices)
        : area(a), n(vertices), pt(vertices), vnode(vertices), next(vertices), prev(vertices), seg(vertices),
          ends(vertices), order(vertices), vertexInserted(vertices)
    {
    }
    POLYGON_AREA* area;
    uint32_t n;
    SCRATCH<POLYGON_IPOINT> pt;
    SCRATCH<POLYGON_VNODE*> vnode;
    SCRATCH<int32_t> next;          // along the contour, inside on the left
    SCRATCH<int32_t> prev;
    SCRATCH<SEGMENT> seg;
    SCRATCH<SEGMENT_ENDS> ends;
    SCRATCH<uint32_t> order;        // the random order of insertion
    SCRATCH<bool> vertexInserted;
    POLYGON_FREELIST<QNODE> qnodes;
    POLYGON_FREELIST<TRAP> traps;
    uint64_t qnodesMade = 0;        // bounds for the walks through the structure
    uint64_t trapsMade = 0;
    QNODE* root = nullptr;
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

// Positive when p lies left of the segment seen from its lower end to its
// upper end, negative right of it, zero on its line.
int64_t SideOf(const TRIANGULATION& t, int32_t s, const POLYGON_IPOINT& p)
{
    return POLYGON_Cross(t.ends[s].lower, t.ends[s].upper, p);
}

// ---------------------------------------------------------------------------
// Structure records

TRAP* NewTrap(TRIANGULATION& t)
{
    TRAP* tr = t.traps.Alloc();
    t.trapsMade++;
    tr->top = tr->bottom = tr->lseg = tr->rseg = NONE;
    return tr;
}

QNODE* NewSink(TRIANGULATION& t, TRAP* tr)
{
    QNODE* node = t.qnodes.Alloc();
    t.qnodesMade++;
    node->kind = QNODE_SINK;
    node->item = NONE;
    node->trap = tr;
    tr->sink = node;
    return node;
}

// A trapezoid that starts at `top` between two segments, with its own sink.
TRAP* NewPiece(TRIANGULATION& t, int32_t top, int32_t lseg, int32_t rseg)
{
    TRAP* tr = NewTrap(t);
    tr->top = top;
    tr->lseg = lseg;
    tr->rseg = rseg;
    NewSink(t, tr);
    return tr;
}

// Turns the sink of a trapezoid into the node of segment s; the trapezoid goes.
void MakeSegmentNode(TRAP* tr, int32_t s, QNODE* left, QNODE* right)
{
    QNODE* node = tr->sink;
    POLYGON_Require(node && node->kind == QNODE_SINK && node->trap == tr);
    node->kind = QNODE_SEGMENT;
    node->item = s;
    node->left = left;
    node->right = right;
}

void ReplaceUpper(TRAP* tr, TRAP* old, TRAP* by)
{
    if (tr->u0 == old)
        tr->u0 = by;
    else if (tr->u1 == old)
        tr->u1 = by;
    else
        POLYGON_Error(POLYGON_ERR_DATA);
}

void ReplaceLower(TRAP* tr, TRAP* old, TRAP* by)
{
    if (tr->d0 == old)
        tr->d0 = by;
    else if (tr->d1 == old)
        tr->d1 = by;
    else
        POLYGON_Error(POLYGON_ERR_DATA);
}

// ---------------------------------------------------------------------------
// Locating points

// The sink reached by point p moved an infinitesimal step towards q, the other
// end of its segment, starting from `node`.
QNODE* Locate(const TRIANGULATION& t, QNODE* node, int32_t p, int32_t q)
{
    const POLYGON_IPOINT& P = t.pt[p];
    const POLYGON_IPOINT& Q = t.pt[q];
    POLYGON_Require(node != nullptr);
    for (uint64_t steps = 0; node->kind != QNODE_SINK; steps++) {
        POLYGON_Require(steps <= t.qnodesMade);
        if (node->kind == QNODE_VERTEX) {
            const POLYGON_IPOINT& V = t.pt[node->item];
            bool above = POLYGON_SamePoint(P, V) ? Above(Q, V) : Above(P, V);
            node = above ? node->right : node->left;
        } else {
            POLYGON_Require(node->kind == QNODE_SEGMENT);
            int64_t side = SideOf(t, node->item, P);
            if (side == 0)
                side = SideOf(t, node->item, Q);
            // Overlapping collinear segments.
            POLYGON_Require(side != 0);
            node = side > 0 ? node->left : node->right;
        }
        POLYGON_Require(node != nullptr);
    }
    POLYGON_Require(node->trap != nullptr);
    return node;
}

// ---------------------------------------------------------------------------
// Inserting a segment

// Splits the trapezoid holding vertex p by the horizontal line through it.
void InsertVertex(TRIANGULATION& t, int32_t p, int32_t q, QNODE* from)
{
    TRAP* upper = Locate(t, from, p, q)->trap;
    // The vertex lies strictly between the trapezoid's lines; a second vertex
    // on the same point would sit on one of them.
    POLYGON_Require(upper->top == NONE || Above(t.pt[upper->top], t.pt[p]));
    POLYGON_Require(upper->bottom == NONE || Above(t.pt[p], t.pt[upper->bottom]));
    TRAP* lower = NewTrap(t);
    lower->top = p;
    lower->bottom = upper->bottom;
    lower->lseg = upper->lseg;
    lower->rseg = upper->rseg;
    lower->d0 = upper->d0;
    lower->d1 = upper->d1;
    if (lower->d0)
        ReplaceUpper(lower->d0, upper, lower);
    if (lower->d1)
        ReplaceUpper(lower->d1, upper, lower);
    lower->u0 = upper;
    upper->d0 = lower;
    upper->d1 = nullptr;
    upper->bottom = p;
    QNODE* node = upper->sink;
    POLYGON_Require(node && node->kind == QNODE_SINK && node->trap == upper);
    QNODE* below = NewSink(t, lower);
    QNODE* above = NewSink(t, upper);
    node->kind = QNODE_VERTEX;
    node->item = p;
    node->left = below;
    node->right = above;
    t.vertexInserted[p] = true;
}

// The first trapezoid crossed by segment s, split at the top end a into the
// pieces l and r: they take over its upper neighbours.
void LinkTop(const TRIANGULATION& t, TRAP* tr, TRAP* l, TRAP* r, int32_t a)
{
    if (tr->u1) {
        // A segment rises from a between the two upper neighbours.
        l->u0 = tr->u0;
        r->u0 = tr->u1;
        ReplaceLower(tr->u0, tr, l);
        ReplaceLower(tr->u1, tr, r);
        return;
    }
    TRAP* u = tr->u0;
    POLYGON_Require(u != nullptr);
    if (tr->rseg != NONE && t.seg[tr->rseg].upper == a) {
        // The right piece closes to a point at a.
        l->u0 = u;
        ReplaceLower(u, tr, l);
    } else if (tr->lseg != NONE && t.seg[tr->lseg].upper == a) {
        r->u0 = u;
        ReplaceLower(u, tr, r);
    } else {
        POLYGON_Require(u->d0 == tr && u->d1 == nullptr);
        l->u0 = r->u0 = u;
        u->d0 = l;
        u->d1 = r;
    }
}

// The last trapezoid crossed, ending at the bottom end b: the pieces take over
// its lower neighbours.
void LinkBottom(const TRIANGULATION& t, TRAP* tr, TRAP* l, TRAP* r, int32_t b)
{
    if (tr->d1) {
        l->d0 = tr->d0;
        r->d0 = tr->d1;
        ReplaceUpper(tr->d0, tr, l);
        ReplaceUpper(tr->d1, tr, r);
        return;
    }
    TRAP* d = tr->d0;
    POLYGON_Require(d != nullptr);
    if (tr->rseg != NONE && t.seg[tr->rseg].lower == b) {
        l->d0 = d;
        ReplaceUpper(d, tr, l);
    } else if (tr->lseg != NONE && t.seg[tr->lseg].lower == b) {
        r->d0 = d;
        ReplaceUpper(d, tr, r);
    } else {
        POLYGON_Require(d->u0 == tr && d->u1 == nullptr);
        l->d0 = r->d0 = d;
        d->u0 = l;
        d->u1 = r;
    }
}

// The segment passes the vertex between trapezoids prev (above) and cur
// (below) on the vertex's right, so the vertex's line still separates the
// left pieces: `above` ends there and `below` starts. Neighbours of prev and
// cur left of the vertex pass to them.
void LinkAcrossLeft(TRAP* prev, TRAP* cur, TRAP* above, TRAP* below)
{
    TRAP* d0 = nullptr;
    if (prev->d1) {
        POLYGON_Require(prev->d1 == cur);
        d0 = prev->d0;
    } else {
        POLYGON_Require(prev->d0 == cur);
    }
    TRAP* u0 = nullptr;
    if (cur->u1) {
        POLYGON_Require(cur->u1 == prev);
        u0 = cur->u0;
    } else {
        POLYGON_Require(cur->u0 == prev);
    }
    above->d0 = d0 ? d0 : below;
    above->d1 = d0 ? below : nullptr;
    below->u0 = u0 ? u0 : above;
    below->u1 = u0 ? above : nullptr;
    if (d0)
        ReplaceUpper(d0, prev, above);
    if (u0)
        ReplaceLower(u0, cur, below);
}

// The mirror image: the vertex lies right of the segment.
void LinkAcrossRight(TRAP* prev, TRAP* cur, TRAP* above, TRAP* below)
{
    POLYGON_Require(prev->d0 == cur);
    TRAP* d1 = prev->d1;
    POLYGON_Require(cur->u0 == prev);
    TRAP* u1 = cur->u1;
    above->d0 = below;
    above->d1 = d1;
    below->u0 = above;
    below->u1 = u1;
    if (d1)
        ReplaceUpper(d1, prev, above);
    if (u1)
        ReplaceLower(u1, cur, below);
}

// Threads segment s through the trapezoids it crosses, from its upper end
// down, splitting each into a left and a right piece. Where the line of the
// vertex between two crossed trapezoids ends at s, the pieces on the other
// side of s from that vertex merge into one.
void ThreadSegment(TRIANGULATION& t, int32_t s)
{
    const SEGMENT& sg = t.seg[s];
    int32_t a = sg.upper, b = sg.lower;
    QNODE* from = a == sg.v0 ? sg.from0 : sg.from1;
    TRAP* cur = Locate(t, from, a, b)->trap;
    POLYGON_Require(cur->top == a);
    TRAP* prev = nullptr;
    TRAP* left = nullptr;
    TRAP* right = nullptr;
    int64_t prevSide = 0;
    for (uint64_t steps = 0;; steps++) {
        POLYGON_Require(steps <= t.trapsMade);
        TRAP* l;
        TRAP* r;
        if (!prev) {
            l = NewPiece(t, a, cur->lseg, s);
            r = NewPiece(t, a, s, cur->rseg);
            LinkTop(t, cur, l, r, a);
        } else if (prevSide > 0) {
            POLYGON_Require(right->rseg == cur->rseg);
            r = right;
            l = NewPiece(t, cur->top, cur->lseg, s);
            LinkAcrossLeft(prev, cur, left, l);
        } else {
            POLYGON_Require(left->lseg == cur->lseg);
            l = left;
            r = NewPiece(t, cur->top, s, cur->rseg);
            LinkAcrossRight(prev, cur, right, r);
        }
        l->bottom = r->bottom = cur->bottom;
        MakeSegmentNode(cur, s, l->sink, r->sink);
        if (prev)
            t.traps.Free(prev);
        if (cur->bottom == b) {
            LinkBottom(t, cur, l, r, b);
            t.traps.Free(cur);
            return;
        }
        // The segment must reach b before it leaves the trapezoids above b.
        POLYGON_Require(cur->bottom != NONE && Above(t.pt[cur->bottom], t.pt[b]));
        int64_t side = SideOf(t, s, t.pt[cur->bottom]);
        POLYGON_Require(side != 0);
        TRAP* next = cur->d1 ? (side > 0 ? cur->d1 : cur->d0) : cur->d0;
        POLYGON_Require(next != nullptr && next->top == cur->bottom);
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
    if (!t.vertexInserted[sg.v0])
        InsertVertex(t, sg.v0, sg.v1, sg.from0);
    if (!t.vertexInserted[sg.v1])
        InsertVertex(t, sg.v1, sg.v0, sg.from1);
    ThreadSegment(t, s);
    sg.inserted = true;
}

// Asks the processor to fetch what the insertion of the k-th segment in
// order will read first, in stages a few insertions ahead: the segment
// record, then the nodes its searches start from, then their trapezoids.
// A hint only: it changes no result.
void PrefetchInsertion(const TRIANGULATION& t, uint32_t k)
{
    if (k + 8 < t.n)
        __builtin_prefetch(&t.seg[t.order[k + 8]]);
    if (k + 4 < t.n) {
        const SEGMENT& sg = t.seg[t.order[k + 4]];
        __builtin_prefetch(sg.from0);
        __builtin_prefetch(sg.from1);
    }
    if (k + 2 < t.n) {
        const SEGMENT& sg = t.seg[t.order[k + 2]];
        for (const QNODE* from : {sg.from0, sg.from1}) {
            if (from->kind == QNODE_SINK)
                __builtin_prefetch(from->trap);
            else
                __builtin_prefetch(from->left), __builtin_prefetch(from->right);
        }
    }
    if (k + 1 < t.n) {
        const SEGMENT& sg = t.seg[t.order[k + 1]];
        for (const QNODE* from : {sg.from0, sg.from1}) {
            if (from->kind == QNODE_SINK) {
                const TRAP* tr = from->trap;
                __builtin_prefetch(tr->d0);
                __builtin_prefetch(tr->u0);
            }
        }
    }
}

// Locates both ends of a segment still to come, so that its insertion starts
// near its place.
void Relocate(TRIANGULATION& t, int32_t s)
{
    SEGMENT& sg = t.seg[s];
    sg.from0 = Locate(t, sg.from0, sg.v0, sg.v1);
    sg.from1 = Locate(t, sg.from1, sg.v1, sg.v0);
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
    TRAP* all = NewTrap(t);
    t.root = NewSink(t, all);
    for (uint32_t i = 0; i < t.n; i++)
        t.seg[i].from0 = t.seg[i].from1 = t.root;
    uint32_t done = 0;
    uint32_t phases = LogStar(t.n);
    for (uint32_t h = 1; h <= phases; h++) {
        uint32_t end = PhaseEnd(t.n, h);
        for (; done < end; done++) {
            PrefetchInsertion(t, done);
            AddSegment(t, t.order[done]);
        }
        // Along the contours, so that neighbouring searches share their paths.
        for (uint32_t s = 0; s < t.n; s++)
            if (!t.seg[s].inserted)
                Relocate(t, s);
    }
    for (; done < t.n; done++) {
        PrefetchInsertion(t, done);
        AddSegment(t, t.order[done]);
    }
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
void AddDiagonals(TRIANGULATION& t, CHAINVERTEX* chain)
{
    for (TRAP& tr : t.traps) {
        if (tr.top == NONE || tr.bottom == NONE || tr.lseg == NONE || tr.rseg == NONE)
            continue;
        const SEGMENT& ls = t.seg[tr.lseg];
        // The inside lies right of a segment that runs downwards.
        if (ls.v0 != ls.upper)
            continue;
        const SEGMENT& rs = t.seg[tr.rseg];
        POLYGON_Require(rs.v0 == rs.lower);
        if ((ls.upper == tr.top && ls.lower == tr.bottom) || (rs.upper == tr.top && rs.lower == tr.bottom))
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
    SCRATCH<CHAINVERTEX> chain(t.n);
    for (uint32_t v = 0; v < t.n; v++) {
        AddLink(chain[v], t.next[v]);
        AddLink(chain[v], t.prev[v]);
    }
    AddDiagonals(t, chain.p);
    uint64_t edges = 0;
    for (uint32_t v = 0; v < t.n; v++) {
        SortLinks(t, v, chain[v]);
        edges += chain[v].count;
        // The outside of the contour edges is no piece.
        for (uint32_t k = 0; k < chain[v].count; k++)
            if (chain[v].link[k] == t.prev[v])
                chain[v].traced |= uint8_t(1u << k);
    }
    SCRATCH<int32_t> piece(t.n), sorted(t.n), stack(t.n);
    SCRATCH<uint8_t> chainOf(t.n);
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
                piece[m++] = u;
                int32_t w = cu.link[slot];
                CHAINVERTEX& cw = chain[w];
                uint32_t back = 0;
                while (back < cw.count && cw.link[back] != u)
                    back++;
                POLYGON_Require(back < cw.count);
                slot = (back + cw.count - 1) % cw.count;
                u = w;
            } while (!(u == static_cast<int32_t>(v) && slot == k));
            TriangulateMonotone(t, piece.p, m, sorted.p, chainOf.p, stack.p);
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
        sg.v0 = s;
        sg.v1 = t.next[s];
        POLYGON_Require(!POLYGON_SamePoint(t.pt[sg.v0], t.pt[sg.v1]));
        bool up = Above(t.pt[sg.v0], t.pt[sg.v1]);
        sg.upper = up ? sg.v0 : sg.v1;
        sg.lower = up ? sg.v1 : sg.v0;
        t.ends[s] = SEGMENT_ENDS{t.pt[sg.lower], t.pt[sg.upper]};
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
    POLYGON_Free(area->triangles);
    area->triangles = nullptr;
    area->triangleCount = 0;
    uint32_t count = n + 2 * (contours - 1) - 2;
    area->triangles = static_cast<POLYGON_TRIANGLE*>(POLYGON_AllocOrRaise(count, sizeof(POLYGON_TRIANGLE)));
    area->triangleCount = count;
    TRIANGULATION t(area, n);
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
