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

class Sweep {
public:
    Sweep(const std::vector<POLYGON_SNAPSEG>& input, POLYGON_SNAPRESULT* result) : input_(input), result_(result) {}
    void Run();

private:
    void PushCrossing(int32_t x, int32_t y, uint32_t flags, uint32_t seg, uint32_t other);
    void TakeEvent(const SWEEP_EVENT& e);
    void SortEnds();
    void TakeBatch();
    void Reorder(int64_t x2);
    void Swap(int32_t i);
    void RecordCrossing(uint32_t u, uint32_t v);
    void CrossVerticals();
    void InsertStarts();
    void RemoveEnds();
    void InsertAt(int32_t index, uint32_t seg);
    void EraseAt(int32_t index);
    void TestNeighbours();
    void TestPair(int32_t lower);
    void Snap();
    void SnapEventSegment(uint32_t seg);
    void WalkFrom(int64_t row, int32_t start, int step);
    bool CoversRow(uint32_t seg, int64_t row);
    void RowRange(uint32_t seg, int64_t* from, int64_t* to);
    void EmitRows(uint32_t seg);
    bool Spans(const SWEEP_SEG& s) const { return s.x1 < X_ && s.x2 > X_; }

    const std::vector<POLYGON_SNAPSEG>& input_;
    POLYGON_SNAPRESULT* result_;
    std::vector<SWEEP_SEG> segs_;
    // The event queue: the ends of all segments, known from the start, in one
    // sorted run, and the crossings found on the way in a binary heap.
    std::vector<SWEEP_EVENT> ends_sorted_;
    size_t nextEnd_ = 0;
    std::vector<SWEEP_EVENT> crossings_;
    uint32_t serial_ = 0;
    std::vector<uint32_t> status_;

    // The current batch.
    int64_t X_ = 0;
    uint32_t batch_ = 0;
    std::vector<SWEEP_EVENT> elist_;
    std::vector<int64_t> tsel_;                  // hot rows of the column
    uint32_t firstPixel_ = 0;                    // pixel number of tsel_[0]
    std::vector<uint32_t> starts_, ends_, verticals_, touched_, work_;
    std::vector<std::pair<uint32_t, uint32_t>> emitted_;   // (segment, pixel) in emission order
};

// Ends and starts carry no side keys: their order is x, y, type and creation,
// x, y and type packed into a 44-bit key sorted by a stable radix sort.
void Sweep::SortEnds()
{
    constexpr int DIGIT_BITS = 11;
    constexpr uint32_t DIGITS = 1u << DIGIT_BITS;
    size_t n = ends_sorted_.size();
    std::vector<std::pair<uint64_t, uint32_t>> keys(n), spare(n);
    for (uint32_t i = 0; i < n; i++) {
        const SWEEP_EVENT& e = ends_sorted_[i];
        uint64_t x = uint64_t(int64_t(e.x) - POLYGON_INT20_MIN), y = uint64_t(int64_t(e.y) - POLYGON_INT20_MIN);
        keys[i] = {x << 22 | y << 2 | (e.flags & EVENT_TYPE_MASK), i};
    }
    std::vector<uint32_t> count(DIGITS);
    for (int shift = 0; shift < 44; shift += DIGIT_BITS) {
        std::fill(count.begin(), count.end(), 0);
        for (const auto& k : keys)
            count[(k.first >> shift) & (DIGITS - 1)]++;
        uint32_t sum = 0;
        for (uint32_t& c : count) {
            uint32_t here = c;
            c = sum;
            sum += here;
        }
        for (const auto& k : keys)
            spare[count[(k.first >> shift) & (DIGITS - 1)]++] = k;
        keys.swap(spare);
    }
    std::vector<SWEEP_EVENT> sorted(n);
    for (uint32_t i = 0; i < n; i++)
        sorted[i] = ends_sorted_[keys[i].second];
    ends_sorted_.swap(sorted);
}

void Sweep::PushCrossing(int32_t x, int32_t y, uint32_t flags, uint32_t seg, uint32_t other)
{
    crossings_.push_back(SWEEP_EVENT{serial_++, x, y, flags, seg, other});
    std::push_heap(crossings_.begin(), crossings_.end(), HeapOrder());
}

void Sweep::Run()
{
    segs_.resize(input_.size());
    for (uint32_t i = 0; i < input_.size(); i++) {
        const POLYGON_SNAPSEG& in = input_[i];
        POLYGON_Require(POLYGON_InGrid(in.a.x) && POLYGON_InGrid(in.a.y) && POLYGON_InGrid(in.b.x) &&
                        POLYGON_InGrid(in.b.y));
        POLYGON_Require(!POLYGON_IntLess(in.b, in.a));
        SWEEP_SEG& s = segs_[i];
        s = SWEEP_SEG{in.a.x, in.a.y, in.b.x, in.b.y, int64_t(in.b.x) - in.a.x, int64_t(in.b.y) - in.a.y, -1, 0, 0, -1};
        ends_sorted_.push_back(SWEEP_EVENT{serial_++, in.a.x, in.a.y, EVENT_START, i, i});
        ends_sorted_.push_back(SWEEP_EVENT{serial_++, in.b.x, in.b.y, EVENT_END, i, i});
    }
    SortEnds();
    while (nextEnd_ < ends_sorted_.size() || !crossings_.empty()) {
        batch_++;
        TakeBatch();
        Reorder(2 * X_);
        CrossVerticals();
        InsertStarts();
        RemoveEnds();
        Reorder(2 * X_ + 1);
        std::sort(tsel_.begin(), tsel_.end());
        tsel_.erase(std::unique(tsel_.begin(), tsel_.end()), tsel_.end());
        POLYGON_Require(!tsel_.empty());
        Snap();
        TestNeighbours();
    }
    // Each segment's pixels in emission order, which is the order along it.
    result_->first.assign(input_.size() + 1, 0);
    for (const auto& h : emitted_)
        result_->first[h.first + 1]++;
    for (size_t i = 1; i < result_->first.size(); i++)
        result_->first[i] += result_->first[i - 1];
    result_->hits.resize(emitted_.size());
    std::vector<uint32_t> fill(result_->first.begin(), result_->first.end() - 1);
    for (const auto& h : emitted_)
        result_->hits[fill[h.first]++] = h.second;
}

// Takes every event of the next column; their ends and starts are hot rows.
void Sweep::TakeBatch()
{
    elist_.clear();
    tsel_.clear();
    starts_.clear();
    ends_.clear();
    verticals_.clear();
    touched_.clear();
    work_.clear();
    bool fromEnds = nextEnd_ < ends_sorted_.size() &&
                    (crossings_.empty() || EventBefore(ends_sorted_[nextEnd_], crossings_.front()));
    X_ = fromEnds ? ends_sorted_[nextEnd_].x : crossings_.front().x;
    for (;;) {
        bool endHere = nextEnd_ < ends_sorted_.size() && ends_sorted_[nextEnd_].x == X_;
        bool crossingHere = !crossings_.empty() && crossings_.front().x == X_;
        if (!endHere && !crossingHere)
            break;
        if (endHere && (!crossingHere || EventBefore(ends_sorted_[nextEnd_], crossings_.front()))) {
            TakeEvent(ends_sorted_[nextEnd_++]);
        } else {
            std::pop_heap(crossings_.begin(), crossings_.end(), HeapOrder());
            TakeEvent(crossings_.back());
            crossings_.pop_back();
        }
    }
}

void Sweep::TakeEvent(const SWEEP_EVENT& e)
{
    elist_.push_back(e);
    uint32_t type = e.flags & EVENT_TYPE_MASK;
    const SWEEP_SEG& s = segs_[e.seg];
    if (type == EVENT_CROSSING) {
        work_.push_back(e.seg);
        work_.push_back(e.other);
        touched_.push_back(e.seg);
        touched_.push_back(e.other);
        return;
    }
    tsel_.push_back(e.y);
    if (s.dx == 0) {
        if (type == EVENT_START)
            verticals_.push_back(e.seg);
    } else if (type == EVENT_START) {
        starts_.push_back(e.seg);
    } else {
        ends_.push_back(e.seg);
    }
}

// Swaps neighbours that are out of order at the doubled abscissa x2 until the
// status is ordered there; equal y keeps the order they had.
void Sweep::Reorder(int64_t x2)
{
    uint32_t guard = 0;
    while (!work_.empty()) {
        uint32_t seg = work_.back();
        work_.pop_back();
        int32_t i = segs_[seg].pos;
        if (i < 0)
            continue;
        POLYGON_Require(++guard != 0);
        if (i > 0 && CompareAt(segs_[status_[i - 1]], segs_[seg], x2) > 0)
            Swap(i - 1);
        else if (i + 1 < int32_t(status_.size()) && CompareAt(segs_[seg], segs_[status_[i + 1]], x2) > 0)
            Swap(i);
    }
}

void Sweep::Swap(int32_t i)
{
    uint32_t u = status_[i], v = status_[i + 1];
    status_[i] = v;
    status_[i + 1] = u;
    segs_[v].pos = i;
    segs_[u].pos = i + 1;
    RecordCrossing(u, v);
    work_.push_back(u);
    work_.push_back(v);
    touched_.push_back(u);
    touched_.push_back(v);
}

// Two neighbours swapped: they cross inside the column, and the rounded
// crossing is a hot pixel.
void Sweep::RecordCrossing(uint32_t u, uint32_t v)
{
    POLYGON_IPOINT at;
    int kx, ky;
    POLYGON_Require(POLYGON_SegmentCrossing(input_[u], input_[v], &at, &kx, &ky));
    POLYGON_Require(at.x == X_);
    tsel_.push_back(at.y);
    segs_[u].swapBatch = batch_;
    segs_[v].swapBatch = batch_;
}

// The status is ordered at X: each vertical segment of the column meets the
// segments whose y at X lies within it.
void Sweep::CrossVerticals()
{
    for (uint32_t w : verticals_) {
        const SWEEP_SEG& vs = segs_[w];
        auto first = std::partition_point(status_.begin(), status_.end(), [&](uint32_t s) {
            return CompareWithValue(segs_[s], 2 * X_, vs.y1) < 0;
        });
        for (auto it = first; it != status_.end() && CompareWithValue(segs_[*it], 2 * X_, vs.y2) <= 0; ++it) {
            int side;
            tsel_.push_back(POLYGON_RoundDiv(YNum(segs_[*it], 2 * X_), 2 * segs_[*it].dx, &side));
        }
    }
}

// New segments enter at their start's y, the flatter one first at equal y.
void Sweep::InsertStarts()
{
    for (uint32_t seg : starts_) {
        const SWEEP_SEG& s = segs_[seg];
        auto at = std::partition_point(status_.begin(), status_.end(), [&](uint32_t o) {
            int c = CompareWithValue(segs_[o], 2 * X_, s.y1);
            if (c != 0)
                return c < 0;
            const SWEEP_SEG& t = segs_[o];
            return __int128(t.dy) * s.dx < __int128(s.dy) * t.dx;
        });
        InsertAt(int32_t(at - status_.begin()), seg);
        work_.push_back(seg);
        touched_.push_back(seg);
    }
}

void Sweep::RemoveEnds()
{
    for (uint32_t seg : ends_) {
        int32_t i = segs_[seg].pos;
        POLYGON_Require(i >= 0);
        EraseAt(i);
        if (i > 0) {
            work_.push_back(status_[i - 1]);
            touched_.push_back(status_[i - 1]);
        }
        if (i < int32_t(status_.size())) {
            work_.push_back(status_[i]);
            touched_.push_back(status_[i]);
        }
    }
    // Segments that crossed left of X were checked there; check them again on
    // the right half of the column.
    for (uint32_t seg : touched_)
        work_.push_back(seg);
}

void Sweep::InsertAt(int32_t index, uint32_t seg)
{
    status_.insert(status_.begin() + index, seg);
    for (int32_t j = index; j < int32_t(status_.size()); j++)
        segs_[status_[j]].pos = j;
}

void Sweep::EraseAt(int32_t index)
{
    segs_[status_[index]].pos = -1;
    status_.erase(status_.begin() + index);
    for (int32_t j = index; j < int32_t(status_.size()); j++)
        segs_[status_[j]].pos = j;
}

// New neighbours are tested for a crossing right of the column.
void Sweep::TestNeighbours()
{
    for (uint32_t seg : touched_) {
        int32_t i = segs_[seg].pos;
        if (i < 0)
            continue;
        if (i > 0)
            TestPair(i - 1);
        if (i + 1 < int32_t(status_.size()))
            TestPair(i);
    }
}

void Sweep::TestPair(int32_t lower)
{
    uint32_t u = status_[lower], v = status_[lower + 1];
    if (segs_[u].testedAbove == int32_t(v))
        return;
    segs_[u].testedAbove = int32_t(v);
    POLYGON_IPOINT at;
    int kx, ky;
    if (POLYGON_SegmentCrossing(input_[u], input_[v], &at, &kx, &ky) && at.x > X_)
        PushCrossing(at.x, at.y, CrossingFlags(kx, ky), u, v);
}

// The rows a segment covers in the column: its rounded y at X - 1/2 and X + 1/2,
// or its own end's y where that end lies at X.
void Sweep::RowRange(uint32_t seg, int64_t* from, int64_t* to)
{
    const SWEEP_SEG& s = segs_[seg];
    if (s.dx == 0) {
        *from = s.y1;
        *to = s.y2;
        return;
    }
    int side;
    *from = s.x1 == X_ ? s.y1 : POLYGON_RoundDiv(YNum(s, 2 * X_ - 1), 2 * s.dx, &side);
    *to = s.x2 == X_ ? s.y2 : POLYGON_RoundDiv(YNum(s, 2 * X_ + 1), 2 * s.dx, &side);
}

bool Sweep::CoversRow(uint32_t seg, int64_t row)
{
    int64_t from, to;
    RowRange(seg, &from, &to);
    return row >= std::min(from, to) && row <= std::max(from, to);
}

// Gives the segment a vertex at every hot row of its range, in its direction.
void Sweep::EmitRows(uint32_t seg)
{
    segs_[seg].snapBatch = batch_;
    int64_t from, to;
    RowRange(seg, &from, &to);
    if (from <= to) {
        auto it = std::lower_bound(tsel_.begin(), tsel_.end(), from);
        for (; it != tsel_.end() && *it <= to; ++it)
            emitted_.emplace_back(seg, firstPixel_ + uint32_t(it - tsel_.begin()));
    } else {
        auto it = std::upper_bound(tsel_.begin(), tsel_.end(), from);
        while (it != tsel_.begin() && *(it - 1) >= to) {
            --it;
            emitted_.emplace_back(seg, firstPixel_ + uint32_t(it - tsel_.begin()));
        }
    }
}

void Sweep::SnapEventSegment(uint32_t seg)
{
    if (segs_[seg].snapBatch != batch_)
        EmitRows(seg);
}

// Hot pixels of the column. Segments with an end at X are known; the others
// span the column and are found by walking the status (ordered at X + 1/2) up
// and down from each hot row.
void Sweep::Snap()
{
    firstPixel_ = uint32_t(result_->pixels.size());
    for (int64_t row : tsel_)
        result_->pixels.push_back(POLYGON_IPOINT{int32_t(X_), int32_t(row)});
    for (uint32_t seg : verticals_)
        SnapEventSegment(seg);
    for (uint32_t seg : ends_)
        SnapEventSegment(seg);
    for (uint32_t seg : starts_)
        SnapEventSegment(seg);
    for (int64_t row : tsel_) {
        auto at = std::partition_point(status_.begin(), status_.end(), [&](uint32_t s) {
            return CompareWithValue(segs_[s], 2 * X_ + 1, row) < 0;
        });
        int32_t start = int32_t(at - status_.begin());
        WalkFrom(row, start, 1);
        WalkFrom(row, start - 1, -1);
    }
}

// Walks the status from start in direction step (+1 up, -1 down). A segment
// that spans the column, took part in no swap here, keeps at least a row away
// from the hot row, and is strictly apart at X + 1/2 from the next one out,
// shields everything beyond it: a segment beyond that entered the hot pixel
// would have crossed it inside the column.
void Sweep::WalkFrom(int64_t row, int32_t start, int step)
{
    for (int32_t i = start; i >= 0 && i < int32_t(status_.size()); i += step) {
        uint32_t seg = status_[i];
        const SWEEP_SEG& s = segs_[seg];
        if (segs_[seg].snapBatch != batch_ && CoversRow(seg, row)) {
            EmitRows(seg);
            continue;
        }
        if (!Spans(s) || s.swapBatch == batch_)
            continue;
        int64_t edge = row + step;
        int cl = CompareWithValue(s, 2 * X_ - 1, edge), cr = CompareWithValue(s, 2 * X_ + 1, edge);
        bool away = step > 0 ? (cl >= 0 && cr >= 0) : (cl <= 0 && cr <= 0);
        if (!away)
            continue;
        int32_t j = i + step;
        if (j < 0 || j >= int32_t(status_.size()))
            return;
        int c = CompareAt(segs_[status_[j]], s, 2 * X_ + 1);
        if (step > 0 ? c > 0 : c < 0)
            return;
    }
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
    Sweep sweep(segments, result);
    sweep.Run();
}
