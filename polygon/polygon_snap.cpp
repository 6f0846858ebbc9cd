// POLYGON snap rounding: a Bentley-Ottmann sweep over the segments in exact
// integer arithmetic, batched by grid column, with hot-pixel snapping of its
// output (Hobby; Guibas and Marimont).
//
// The sweep takes all events of one grid column X at once. The status holds the
// active non-vertical segments ordered by their y at X - 1/2 when a batch
// begins; it is brought in order at X (crossings left of X), the segments that
// end at X leave and those that start at X enter, and it is brought in order at
// X + 1/2 (crossings right of X). Each reordering swaps neighbours only, and
// every swap is a crossing inside the column, so the status stays ordered
// within the column whatever order the rounded crossing events come in.
#include <algorithm>
#include <memory>
#include "polygon/polygon_internal_snap.h"

namespace {

constexpr uint32_t EVENT_END = 0;
constexpr uint32_t EVENT_CROSSING = 1;
constexpr uint32_t EVENT_START = 2;
constexpr uint32_t EVENT_TYPE_MASK = 3;

struct SWEEP_EVENT {
    uint32_t serial;
    int32_t x, y;
    uint32_t flags;            // type in bits 0-1; a crossing's side keys in bits 2-3 (x) and 4-5 (y)
    uint32_t seg, other;       // the segment, and a crossing's second segment
};

int KeyOf(uint32_t flags, int shift)
{
    return int((flags >> shift) & 3) - 1;
}

uint32_t CrossingFlags(int keyX, int keyY)
{
    return EVENT_CROSSING | uint32_t(keyX + 1) << 2 | uint32_t(keyY + 1) << 4;
}

// The event order, smallest first: x; a crossing's x key; y; its y key; end
// before crossing before start; creation order.
bool EventBefore(const SWEEP_EVENT* p, const SWEEP_EVENT* q)
{
    if (p->x != q->x)
        return p->x < q->x;
    int pt = int(p->flags & EVENT_TYPE_MASK), qt = int(q->flags & EVENT_TYPE_MASK);
    int pk = pt == int(EVENT_CROSSING) ? KeyOf(p->flags, 2) : 0;
    int qk = qt == int(EVENT_CROSSING) ? KeyOf(q->flags, 2) : 0;
    if (pk != qk)
        return pk < qk;
    if (p->y != q->y)
        return p->y < q->y;
    pk = pt == int(EVENT_CROSSING) ? KeyOf(p->flags, 4) : 0;
    qk = qt == int(EVENT_CROSSING) ? KeyOf(q->flags, 4) : 0;
    if (pk != qk)
        return pk < qk;
    if (pt != qt)
        return pt < qt;
    return p->serial < q->serial;
}

bool EventBefore(const SWEEP_EVENT& p, const SWEEP_EVENT& q) { return EventBefore(&p, &q); }

struct HeapOrder {
    bool operator()(const SWEEP_EVENT& p, const SWEEP_EVENT& q) const { return EventBefore(&q, &p); }
};

// Sweep state of one segment.
struct SWEEP_SEG {
    int64_t x1, y1, x2, y2;
    int64_t dx, dy;
    int32_t pos;               // place in the status, -1 when not in it
    uint32_t swapBatch;        // the last batch in which it took part in a swap
    uint32_t snapBatch;        // the last batch in which its pixels were collected
    int32_t testedAbove;       // the segment above it at its last crossing test
};

// A segment's y at the doubled abscissa x2 as num / den, den = 2 dx > 0.
int64_t YNum(const SWEEP_SEG& s, int64_t x2)
{
    return s.y1 * 2 * s.dx + (x2 - 2 * s.x1) * s.dy;
}

// Sign of y_u - y_v at the doubled abscissa x2.
int CompareAt(const SWEEP_SEG& u, const SWEEP_SEG& v, int64_t x2)
{
    __int128 l = __int128(YNum(u, x2)) * (2 * v.dx);
    __int128 r = __int128(YNum(v, x2)) * (2 * u.dx);
    return l < r ? -1 : (l > r ? 1 : 0);
}

// Sign of y_s(x2) - value.
int CompareWithValue(const SWEEP_SEG& s, int64_t x2, int64_t value)
{
    __int128 l = YNum(s, x2);
    __int128 r = __int128(value) * (2 * s.dx);
    return l < r ? -1 : (l > r ? 1 : 0);
}

// The state of one sweep: the segments, the event queue, the status and the
// current batch.
struct SWEEP {
    const std::vector<POLYGON_SNAPSEG>* input = nullptr;
    POLYGON_SNAPRESULT* result = nullptr;
    std::vector<SWEEP_SEG> segs;
    // The event queue: the ends of all segments, known from the start, in one
    // sorted run, and the crossings found on the way in a binary heap.
    std::vector<SWEEP_EVENT> endEvents;
    size_t nextEnd = 0;
    std::vector<SWEEP_EVENT> crossings;
    uint32_t serial = 0;
    std::vector<uint32_t> status;

    // The current batch.
    int64_t X = 0;
    uint32_t batch = 0;
    std::vector<SWEEP_EVENT> elist;
    std::vector<int64_t> tsel;                  // hot rows of the column
    uint32_t firstPixel = 0;                    // pixel number of tsel[0]
    std::vector<uint32_t> starts, ends, verticals, touched, work;
    std::vector<std::pair<uint32_t, uint32_t>> emitted;   // (segment, pixel) in emission order
};

// Ends and starts carry no side keys: their order is x, y, type and creation,
// x, y and type packed into a 44-bit key sorted by a stable radix sort. The
// events are made in that order from the keys: segment i's start is created
// as event 2 i, its end as 2 i + 1.
void SortEnds(SWEEP& sw)
{
    constexpr int DIGIT_BITS = 11;
    constexpr uint32_t DIGITS = 1u << DIGIT_BITS;
    constexpr uint64_t COORD_MASK = (uint64_t(1) << 20) - 1;
    struct SORT_KEY {
        uint64_t key;
        uint32_t index;
    };
    auto keyOf = [](const POLYGON_IPOINT& p, uint32_t type) {
        uint64_t x = uint64_t(int64_t(p.x) - POLYGON_INT20_MIN), y = uint64_t(int64_t(p.y) - POLYGON_INT20_MIN);
        return x << 22 | y << 2 | type;
    };
    size_t n = 2 * sw.input->size();
    std::unique_ptr<SORT_KEY[]> keys(new SORT_KEY[n]), spare(new SORT_KEY[n]);
    for (uint32_t i = 0; i < sw.input->size(); i++) {
        keys[2 * i] = SORT_KEY{keyOf((*sw.input)[i].a, EVENT_START), 2 * i};
        keys[2 * i + 1] = SORT_KEY{keyOf((*sw.input)[i].b, EVENT_END), 2 * i + 1};
    }
    uint32_t count[DIGITS];
    for (int shift = 0; shift < 44; shift += DIGIT_BITS) {
        std::fill(count, count + DIGITS, 0);
        for (size_t i = 0; i < n; i++)
            count[(keys[i].key >> shift) & (DIGITS - 1)]++;
        uint32_t sum = 0;
        for (uint32_t& c : count) {
            uint32_t here = c;
            c = sum;
            sum += here;
        }
        for (size_t i = 0; i < n; i++)
            spare[count[(keys[i].key >> shift) & (DIGITS - 1)]++] = keys[i];
        keys.swap(spare);
    }
    sw.endEvents.reserve(n);
    for (size_t i = 0; i < n; i++) {
        uint64_t key = keys[i].key;
        int32_t x = int32_t(int64_t(key >> 22) + POLYGON_INT20_MIN);
        int32_t y = int32_t(int64_t((key >> 2) & COORD_MASK) + POLYGON_INT20_MIN);
        uint32_t seg = keys[i].index / 2;
        sw.endEvents.push_back(SWEEP_EVENT{keys[i].index, x, y, uint32_t(key & EVENT_TYPE_MASK), seg, seg});
    }
    sw.serial = uint32_t(n);
}

void PushCrossing(SWEEP& sw, int32_t x, int32_t y, uint32_t flags, uint32_t seg, uint32_t other)
{
    sw.crossings.push_back(SWEEP_EVENT{sw.serial++, x, y, flags, seg, other});
    std::push_heap(sw.crossings.begin(), sw.crossings.end(), HeapOrder());
}

void TakeEvent(SWEEP& sw, const SWEEP_EVENT& e)
{
    sw.elist.push_back(e);
    uint32_t type = e.flags & EVENT_TYPE_MASK;
    const SWEEP_SEG& s = sw.segs[e.seg];
    if (type == EVENT_CROSSING) {
        sw.work.push_back(e.seg);
        sw.work.push_back(e.other);
        sw.touched.push_back(e.seg);
        sw.touched.push_back(e.other);
        return;
    }
    sw.tsel.push_back(e.y);
    if (s.dx == 0) {
        if (type == EVENT_START)
            sw.verticals.push_back(e.seg);
    } else if (type == EVENT_START) {
        sw.starts.push_back(e.seg);
    } else {
        sw.ends.push_back(e.seg);
    }
}

// Takes every event of the next column; their ends and starts are hot rows.
void TakeBatch(SWEEP& sw)
{
    sw.elist.clear();
    sw.tsel.clear();
    sw.starts.clear();
    sw.ends.clear();
    sw.verticals.clear();
    sw.touched.clear();
    sw.work.clear();
    bool fromEnds = sw.nextEnd < sw.endEvents.size() &&
                    (sw.crossings.empty() || EventBefore(sw.endEvents[sw.nextEnd], sw.crossings.front()));
    sw.X = fromEnds ? sw.endEvents[sw.nextEnd].x : sw.crossings.front().x;
    for (;;) {
        bool endHere = sw.nextEnd < sw.endEvents.size() && sw.endEvents[sw.nextEnd].x == sw.X;
        bool crossingHere = !sw.crossings.empty() && sw.crossings.front().x == sw.X;
        if (!endHere && !crossingHere)
            break;
        if (endHere && (!crossingHere || EventBefore(sw.endEvents[sw.nextEnd], sw.crossings.front()))) {
            TakeEvent(sw, sw.endEvents[sw.nextEnd++]);
        } else {
            std::pop_heap(sw.crossings.begin(), sw.crossings.end(), HeapOrder());
            TakeEvent(sw, sw.crossings.back());
            sw.crossings.pop_back();
        }
    }
}

// Two neighbours swapped: they cross inside the column, and the rounded
// crossing is a hot pixel.
void RecordCrossing(SWEEP& sw, uint32_t u, uint32_t v)
{
    POLYGON_IPOINT at;
    int kx, ky;
    POLYGON_Require(POLYGON_SegmentCrossing((*sw.input)[u], (*sw.input)[v], &at, &kx, &ky));
    POLYGON_Require(at.x == sw.X);
    sw.tsel.push_back(at.y);
    sw.segs[u].swapBatch = sw.batch;
    sw.segs[v].swapBatch = sw.batch;
}

void Swap(SWEEP& sw, int32_t i)
{
    uint32_t u = sw.status[i], v = sw.status[i + 1];
    sw.status[i] = v;
    sw.status[i + 1] = u;
    sw.segs[v].pos = i;
    sw.segs[u].pos = i + 1;
    RecordCrossing(sw, u, v);
    sw.work.push_back(u);
    sw.work.push_back(v);
    sw.touched.push_back(u);
    sw.touched.push_back(v);
}

// Swaps neighbours that are out of order at the doubled abscissa x2 until the
// status is ordered there; equal y keeps the order they had.
void Reorder(SWEEP& sw, int64_t x2)
{
    // Each swap removes one of at most n (n - 1) / 2 inversions and adds two
    // entries to the work list.
    uint64_t n = sw.status.size(), steps = 0, limit = sw.work.size() + 3 * n * n + 16;
    while (!sw.work.empty()) {
        POLYGON_Require(++steps <= limit);
        uint32_t seg = sw.work.back();
        sw.work.pop_back();
        int32_t i = sw.segs[seg].pos;
        if (i < 0)
            continue;
        if (i > 0 && CompareAt(sw.segs[sw.status[i - 1]], sw.segs[seg], x2) > 0)
            Swap(sw, i - 1);
        else if (i + 1 < int32_t(sw.status.size()) && CompareAt(sw.segs[seg], sw.segs[sw.status[i + 1]], x2) > 0)
            Swap(sw, i);
    }
}

// The status is ordered at X: each vertical segment of the column meets the
// segments whose y at X lies within it.
void CrossVerticals(SWEEP& sw)
{
    for (uint32_t w : sw.verticals) {
        const SWEEP_SEG& vs = sw.segs[w];
        auto first = std::partition_point(sw.status.begin(), sw.status.end(), [&](uint32_t s) {
            return CompareWithValue(sw.segs[s], 2 * sw.X, vs.y1) < 0;
        });
        for (auto it = first; it != sw.status.end() && CompareWithValue(sw.segs[*it], 2 * sw.X, vs.y2) <= 0; ++it) {
            int side;
            sw.tsel.push_back(POLYGON_RoundDiv(YNum(sw.segs[*it], 2 * sw.X), 2 * sw.segs[*it].dx, &side));
        }
    }
}

void InsertAt(SWEEP& sw, int32_t index, uint32_t seg)
{
    sw.status.insert(sw.status.begin() + index, seg);
    for (int32_t j = index; j < int32_t(sw.status.size()); j++)
        sw.segs[sw.status[j]].pos = j;
}

void EraseAt(SWEEP& sw, int32_t index)
{
    sw.segs[sw.status[index]].pos = -1;
    sw.status.erase(sw.status.begin() + index);
    for (int32_t j = index; j < int32_t(sw.status.size()); j++)
        sw.segs[sw.status[j]].pos = j;
}

// New segments enter at their start's y, the flatter one first at equal y.
void InsertStarts(SWEEP& sw)
{
    for (uint32_t seg : sw.starts) {
        const SWEEP_SEG& s = sw.segs[seg];
        auto at = std::partition_point(sw.status.begin(), sw.status.end(), [&](uint32_t o) {
            int c = CompareWithValue(sw.segs[o], 2 * sw.X, s.y1);
            if (c != 0)
                return c < 0;
            const SWEEP_SEG& t = sw.segs[o];
            return __int128(t.dy) * s.dx < __int128(s.dy) * t.dx;
        });
        InsertAt(sw, int32_t(at - sw.status.begin()), seg);
        sw.touched.push_back(seg);
    }
}

void RemoveEnds(SWEEP& sw)
{
    for (uint32_t seg : sw.ends) {
        int32_t i = sw.segs[seg].pos;
        POLYGON_Require(i >= 0);
        EraseAt(sw, i);
        if (i > 0)
            sw.touched.push_back(sw.status[i - 1]);
        if (i < int32_t(sw.status.size()))
            sw.touched.push_back(sw.status[i]);
    }
    // Every segment touched in the column is checked on its right half: new
    // ones and new neighbours, and those that crossed left of X, checked
    // there already.
    for (uint32_t seg : sw.touched)
        sw.work.push_back(seg);
}

void TestPair(SWEEP& sw, int32_t lower)
{
    uint32_t u = sw.status[lower], v = sw.status[lower + 1];
    if (sw.segs[u].testedAbove == int32_t(v))
        return;
    sw.segs[u].testedAbove = int32_t(v);
    POLYGON_IPOINT at;
    int kx, ky;
    if (POLYGON_SegmentCrossing((*sw.input)[u], (*sw.input)[v], &at, &kx, &ky) && at.x > sw.X)
        PushCrossing(sw, at.x, at.y, CrossingFlags(kx, ky), u, v);
}

// New neighbours are tested for a crossing right of the column.
void TestNeighbours(SWEEP& sw)
{
    for (uint32_t seg : sw.touched) {
        int32_t i = sw.segs[seg].pos;
        if (i < 0)
            continue;
        if (i > 0)
            TestPair(sw, i - 1);
        if (i + 1 < int32_t(sw.status.size()))
            TestPair(sw, i);
    }
}

// The rows a segment covers in the column: its rounded y at X - 1/2 and X + 1/2,
// or its own end's y where that end lies at X.
void RowRange(SWEEP& sw, uint32_t seg, int64_t* from, int64_t* to)
{
    const SWEEP_SEG& s = sw.segs[seg];
    if (s.dx == 0) {
        *from = s.y1;
        *to = s.y2;
        return;
    }
    int side;
    *from = s.x1 == sw.X ? s.y1 : POLYGON_RoundDiv(YNum(s, 2 * sw.X - 1), 2 * s.dx, &side);
    *to = s.x2 == sw.X ? s.y2 : POLYGON_RoundDiv(YNum(s, 2 * sw.X + 1), 2 * s.dx, &side);
}

bool CoversRow(SWEEP& sw, uint32_t seg, int64_t row)
{
    int64_t from, to;
    RowRange(sw, seg, &from, &to);
    return row >= std::min(from, to) && row <= std::max(from, to);
}

// Gives the segment a vertex at every hot row of its range, in its direction.
void EmitRows(SWEEP& sw, uint32_t seg)
{
    sw.segs[seg].snapBatch = sw.batch;
    int64_t from, to;
    RowRange(sw, seg, &from, &to);
    if (from <= to) {
        auto it = std::lower_bound(sw.tsel.begin(), sw.tsel.end(), from);
        for (; it != sw.tsel.end() && *it <= to; ++it)
            sw.emitted.emplace_back(seg, sw.firstPixel + uint32_t(it - sw.tsel.begin()));
    } else {
        auto it = std::upper_bound(sw.tsel.begin(), sw.tsel.end(), from);
        while (it != sw.tsel.begin() && *(it - 1) >= to) {
            --it;
            sw.emitted.emplace_back(seg, sw.firstPixel + uint32_t(it - sw.tsel.begin()));
        }
    }
}

void SnapEventSegment(SWEEP& sw, uint32_t seg)
{
    if (sw.segs[seg].snapBatch != sw.batch)
        EmitRows(sw, seg);
}

// Whether a segment crosses the whole column, its ends lying outside it.
bool Spans(const SWEEP& sw, const SWEEP_SEG& s)
{
    return s.x1 < sw.X && s.x2 > sw.X;
}

// Walks the status from start in direction step (+1 up, -1 down). A segment
// that spans the column, took part in no swap here, keeps at least a row away
// from the hot row, and is strictly apart at X + 1/2 from the next one out,
// shields everything beyond it: a segment beyond that entered the hot pixel
// would have crossed it inside the column.
void WalkFrom(SWEEP& sw, int64_t row, int32_t start, int step)
{
    for (int32_t i = start; i >= 0 && i < int32_t(sw.status.size()); i += step) {
        uint32_t seg = sw.status[i];
        const SWEEP_SEG& s = sw.segs[seg];
        if (sw.segs[seg].snapBatch != sw.batch && CoversRow(sw, seg, row)) {
            EmitRows(sw, seg);
            continue;
        }
        if (!Spans(sw, s) || s.swapBatch == sw.batch)
            continue;
        int64_t edge = row + step;
        int cl = CompareWithValue(s, 2 * sw.X - 1, edge), cr = CompareWithValue(s, 2 * sw.X + 1, edge);
        bool away = step > 0 ? (cl >= 0 && cr >= 0) : (cl <= 0 && cr <= 0);
        if (!away)
            continue;
        int32_t j = i + step;
        if (j < 0 || j >= int32_t(sw.status.size()))
            return;
        int c = CompareAt(sw.segs[sw.status[j]], s, 2 * sw.X + 1);
        if (step > 0 ? c > 0 : c < 0)
            return;
    }
}

// Hot pixels of the column. Segments with an end at X are known; the others
// span the column and are found by walking the status (ordered at X + 1/2) up
// and down from each hot row.
void Snap(SWEEP& sw)
{
    sw.firstPixel = uint32_t(sw.result->pixels.size());
    for (int64_t row : sw.tsel)
        sw.result->pixels.push_back(POLYGON_IPOINT{int32_t(sw.X), int32_t(row)});
    for (uint32_t seg : sw.verticals)
        SnapEventSegment(sw, seg);
    for (uint32_t seg : sw.ends)
        SnapEventSegment(sw, seg);
    for (uint32_t seg : sw.starts)
        SnapEventSegment(sw, seg);
    for (int64_t row : sw.tsel) {
        auto at = std::partition_point(sw.status.begin(), sw.status.end(), [&](uint32_t s) {
            return CompareWithValue(sw.segs[s], 2 * sw.X + 1, row) < 0;
        });
        int32_t start = int32_t(at - sw.status.begin());
        WalkFrom(sw, row, start, 1);
        WalkFrom(sw, row, start - 1, -1);
    }
}

void Run(SWEEP& sw)
{
    sw.segs.reserve(sw.input->size());
    sw.emitted.reserve(2 * sw.input->size() + 16);
    for (uint32_t i = 0; i < sw.input->size(); i++) {
        const POLYGON_SNAPSEG& in = (*sw.input)[i];
        POLYGON_Require(POLYGON_InGrid(in.a.x) && POLYGON_InGrid(in.a.y) && POLYGON_InGrid(in.b.x) &&
                        POLYGON_InGrid(in.b.y));
        POLYGON_Require(!POLYGON_IntLess(in.b, in.a));
        sw.segs.push_back(
            SWEEP_SEG{in.a.x, in.a.y, in.b.x, in.b.y, int64_t(in.b.x) - in.a.x, int64_t(in.b.y) - in.a.y, -1, 0, 0, -1});
    }
    SortEnds(sw);
    while (sw.nextEnd < sw.endEvents.size() || !sw.crossings.empty()) {
        sw.batch++;
        TakeBatch(sw);
        Reorder(sw, 2 * sw.X);
        CrossVerticals(sw);
        InsertStarts(sw);
        RemoveEnds(sw);
        Reorder(sw, 2 * sw.X + 1);
        std::sort(sw.tsel.begin(), sw.tsel.end());
        sw.tsel.erase(std::unique(sw.tsel.begin(), sw.tsel.end()), sw.tsel.end());
        POLYGON_Require(!sw.tsel.empty());
        Snap(sw);
        TestNeighbours(sw);
    }
    // Each segment's pixels in emission order, which is the order along it.
    sw.result->first.assign(sw.input->size() + 1, 0);
    for (const auto& h : sw.emitted)
        sw.result->first[h.first + 1]++;
    for (size_t i = 1; i < sw.result->first.size(); i++)
        sw.result->first[i] += sw.result->first[i - 1];
    sw.result->hits.resize(sw.emitted.size());
    std::vector<uint32_t> fill(sw.result->first.begin(), sw.result->first.end() - 1);
    for (const auto& h : sw.emitted)
        sw.result->hits[fill[h.first]++] = h.second;
}
}

int64_t POLYGON_RoundDiv(int64_t num, int64_t den, int* side)
{
    int64_t q = num / den, r = num % den;
    if (r < 0) {
        q--;
        r += den;
    }
    // The exact value is q + r / den with 0 <= r < den.
    if (r == 0) {
        *side = 0;
        return q;
    }
    if (2 * r >= den) {
        *side = -1;
        return q + 1;
    }
    *side = 1;
    return q;
}

bool POLYGON_SegmentCrossing(const POLYGON_SNAPSEG& u, const POLYGON_SNAPSEG& v, POLYGON_IPOINT* at, int* keyX,
                             int* keyY)
{
    int64_t rx = int64_t(u.b.x) - u.a.x, ry = int64_t(u.b.y) - u.a.y;
    int64_t sx = int64_t(v.b.x) - v.a.x, sy = int64_t(v.b.y) - v.a.y;
    int64_t d = rx * sy - ry * sx;
    if (d == 0)
        return false;
    int64_t cx = int64_t(v.a.x) - u.a.x, cy = int64_t(v.a.y) - u.a.y;
    int64_t t = cx * sy - cy * sx;   // position along u, times d
    int64_t w = cx * ry - cy * rx;   // position along v, times d
    if (d < 0) {
        d = -d;
        t = -t;
        w = -w;
    }
    if (t < 0 || t > d || w < 0 || w > d)
        return false;
    at->x = int32_t(POLYGON_RoundDiv(int64_t(u.a.x) * d + rx * t, d, keyX));
    at->y = int32_t(POLYGON_RoundDiv(int64_t(u.a.y) * d + ry * t, d, keyY));
    return true;
}

void POLYGON_SnapRound(const std::vector<POLYGON_SNAPSEG>& segments, POLYGON_SNAPRESULT* result)
{
    result->pixels.clear();
    result->first.clear();
    result->hits.clear();
    SWEEP sw;
    sw.input = &segments;
    sw.result = result;
    Run(sw);
}
