// RASTER: the projected-area raster: plane ranges and mapping, exact triangle
// scan conversion, span filling, and the recording of filled triangles in
// recycled records.
//
// A row's covered pixels are kept as up to two runs of columns, first and last:
// a span that overlaps or touches a run widens it (joining the two runs when it
// bridges them), one that touches neither becomes the second run. That holds
// all but a few rows of a box seen from any side, whatever the order of its
// faces. A row that would need a third run moves to one bit per pixel, 64-pixel
// words per row, where it stays until the next clear; a span there sets (or
// clears) the eight words of its row at once, with the masks of its first and
// last column taken from two tables. The covered count and the column and row
// sums are counted from the runs and the bits when first asked for after a
// change, and the byte pixels are written only when the buffer is read, so the
// many projections that only want the area and the centroid never touch them.
// The rows filled since the last clear are remembered, so clearing and counting
// touch only those. The integer results are those of a pixel-by-pixel fill.
#include "simulation/raster.h"
#include <algorithm>
#include <bit>
#include <cstring>
#include <iterator>
#include "foundation/log.h"
#include "foundation/memory.h"
#include "foundation/pool.h"

static constexpr int kSize = RASTER_SIZE;
static constexpr int kWordsPerRow = kSize / 64;
static constexpr double kRangeWidening = 1e-20;

static uint8_t* s_buffer = nullptr;
static uint32_t s_bufferSize = 0;
// The sums of the covered pixels, valid unless s_sumsStale; the byte pixels,
// valid unless s_bytesStale.
static uint32_t s_count = 0;
static int64_t s_xSum = 0;
static int64_t s_ySum = 0;
static bool s_sumsStale = false;
static bool s_bytesStale = false;
static double s_xMin = 0.0, s_xMax = 0.0, s_xScale = 1.0;
static double s_yMin = 0.0, s_yMax = 0.0, s_yScale = 1.0;
static uint32_t s_recording = 0;
static RASTER_TRIANGLE_LIST* s_current = nullptr;
static RASTER_TRIANGLE* s_freeTriangles = nullptr;
static RASTER_TRIANGLE_LIST* s_freeLists = nullptr;

// The bits of the rows in bits; all zero in the others.
alignas(64) static uint64_t s_rowBits[kSize][kWordsPerRow];
// The row masks of the columns from x on and of the columns up to x.
alignas(64) static uint64_t s_fromColumn[kSize][kWordsPerRow];
alignas(64) static uint64_t s_toColumn[kSize][kWordsPerRow];
// What a row holds: no covered pixel, one run, two runs, or its bits.
enum RASTER_ROW_STATE : uint8_t { RASTER_ROW_EMPTY, RASTER_ROW_ONE_RUN, RASTER_ROW_TWO_RUNS, RASTER_ROW_BITS };
// A row's runs, each from its first to its last column, the first left of the
// second with at least one empty column between them. A row in bits keeps in
// its first run the first and last column filled since the last clear: no
// pixel outside them is covered. An empty row's first run is the empty range
// from kEmptyFirst to kEmptyLast, so that widening it by a span gives the
// span. The first runs of neighbouring rows lie side by side, so that a block
// of rows is widened at once.
// Rows are filled sixteen at a time; the row arrays reach sixteen rows past
// the raster so that the block of the last rows stays inside them.
constexpr int kBlockRows = 16;
constexpr int kPaddedSize = kSize + kBlockRows;
static constexpr int16_t kEmptyFirst = INT16_MAX;
static constexpr int16_t kEmptyLast = INT16_MIN;
alignas(64) static int16_t s_runFirst[kPaddedSize];
alignas(64) static int16_t s_runLast[kPaddedSize];
alignas(64) static int16_t s_runFirst2[kPaddedSize];
alignas(64) static int16_t s_runLast2[kPaddedSize];
alignas(64) static uint8_t s_rowState[kPaddedSize];
// The rows that went to bits since the last clear, in the order they went.
static int16_t s_bitsRows[kSize];
static int s_bitsRowCount = 0;
// The rows filled since the last clear (first > last: none).
static int s_filledRowFirst = kSize;
static int s_filledRowLast = -1;

// ---- buffer and module life --------------------------------------------------------

static void MakeColumnMasks()
{
    for (int x = 0; x < kSize; ++x) {
        for (int w = 0; w < kWordsPerRow; ++w) {
            int first = x - (w << 6);
            s_fromColumn[x][w] = first <= 0 ? ~0ull : first >= 64 ? 0 : ~0ull << first;
            s_toColumn[x][w] = first < 0 ? 0 : first >= 63 ? ~0ull : ~(~0ull << (first + 1));
        }
    }
}

static void ForgetFilledExtents()
{
    memset(s_rowState, RASTER_ROW_EMPTY, sizeof s_rowState);
    std::fill(std::begin(s_runFirst), std::end(s_runFirst), kEmptyFirst);
    std::fill(std::begin(s_runLast), std::end(s_runLast), kEmptyLast);
    s_filledRowFirst = kSize;
    s_filledRowLast = -1;
    s_bitsRowCount = 0;
}

uint32_t RASTER_Init()
{
    RASTER_FreeBuffer();
    s_bufferSize = static_cast<uint32_t>(kSize) * kSize;
    MEMORY_SetTag("RASTER:buffer");
    s_buffer = static_cast<uint8_t*>(POOL_Alloc(s_bufferSize + 1));
    if (!s_buffer) {
        LOG_Printf("RASTER: nedostatek paměti.\n");
        return 0;
    }
    memset(s_buffer, 0, s_bufferSize);
    memset(s_rowBits, 0, sizeof s_rowBits);
    MakeColumnMasks();
    ForgetFilledExtents();
    s_bytesStale = false;
    RASTER_Clear();
    return 1;
}

void RASTER_FreeBuffer()
{
    if (s_buffer) POOL_Free(s_buffer);
    s_buffer = nullptr;
}

void RASTER_Reset()
{
    s_buffer = nullptr;
    s_freeTriangles = nullptr;
    s_freeLists = nullptr;
    s_recording = 0;
    s_current = nullptr;
    s_count = 0;
    s_xSum = s_ySum = 0;
    s_sumsStale = false;
}

void RASTER_Done()
{
    RASTER_FreeBuffer();
    if (s_current) RASTER_FreeRecording(s_current);
    s_current = nullptr;
    while (s_freeTriangles) {
        RASTER_TRIANGLE* next = s_freeTriangles->next;
        POOL_Free(s_freeTriangles);
        s_freeTriangles = next;
    }
    while (s_freeLists) {
        RASTER_TRIANGLE_LIST* next = s_freeLists->link;
        POOL_Free(s_freeLists);
        s_freeLists = next;
    }
    s_recording = 0;
}

// Only the rows filled since the last clear can hold covered pixels, and only
// those of them in bits have bits to clear.
static void ClearFilledPixels()
{
    for (int i = 0; i < s_bitsRowCount; ++i) memset(s_rowBits[s_bitsRows[i]], 0, sizeof s_rowBits[0]);
    s_bitsRowCount = 0;
    if (s_filledRowFirst <= s_filledRowLast) {
        int first = s_filledRowFirst, rows = s_filledRowLast - s_filledRowFirst + 1;
        memset(&s_rowState[first], RASTER_ROW_EMPTY, rows);
        std::fill_n(&s_runFirst[first], rows, kEmptyFirst);
        std::fill_n(&s_runLast[first], rows, kEmptyLast);
    }
    s_filledRowFirst = kSize;
    s_filledRowLast = -1;
    s_bytesStale = true;
}

void RASTER_Clear()
{
    if (s_buffer) ClearFilledPixels();
    s_count = 0;
    s_xSum = s_ySum = 0;
    s_sumsStale = false;
    s_recording = 0;
    if (s_current) RASTER_FreeRecording(s_current);
    s_current = nullptr;
}

void RASTER_StartRecording() { s_recording = 1; }

// ---- ranges and mapping ----------------------------------------------------------------

static void SetRange(double min, double max, double* storedMin, double* storedMax, double* scale)
{
    if (!(min + kRangeWidening < max)) {
        min -= kRangeWidening;
        max += kRangeWidening;
    }
    *storedMin = min;
    *storedMax = max;
    *scale = (kSize - 1) / (max - min);
}

void RASTER_SetRangeX(double min, double max) { SetRange(min, max, &s_xMin, &s_xMax, &s_xScale); }
void RASTER_SetRangeY(double min, double max) { SetRange(min, max, &s_yMin, &s_yMax, &s_yScale); }

// Truncated toward zero and clamped to the raster. The clamp is done on the
// double, before the conversion, so that huge or infinite coordinates cannot
// overflow the integer and a NaN maps to 0.
static int16_t ToPixel(double value)
{
    if (!(value >= 0.0)) return 0;
    if (value >= kSize) return kSize - 1;
    return static_cast<int16_t>(value);
}

void RASTER_PlaneToPixel(const RASTER_POINT* point, RASTER_PIXEL* pixel)
{
    pixel->x = ToPixel((point->x - s_xMin) * s_xScale);
    pixel->y = ToPixel((point->y - s_yMin) * s_yScale);
}

// ---- spans ---------------------------------------------------------------------------------

// Called before rows first to last (within the raster) are filled or erased.
template <bool kFill>
static inline void MarkRows(int first, int last)
{
    if (kFill) {
        if (first < s_filledRowFirst) s_filledRowFirst = first;
        if (last > s_filledRowLast) s_filledRowLast = last;
    }
    s_sumsStale = true;
    s_bytesStale = true;
}

// Sets (or clears) the bits of row y from x1 to x2 inclusive, x1 <= x2.
template <bool kFill>
static inline void SpanBits(int y, int x1, int x2)
{
    uint64_t* bits = s_rowBits[y];
    const uint64_t* from = s_fromColumn[x1];
    const uint64_t* to = s_toColumn[x2];
    for (int w = 0; w < kWordsPerRow; ++w) {
        if (kFill) bits[w] |= from[w] & to[w];
        else bits[w] &= ~(from[w] & to[w]);
    }
}

// The runs of row y (one or two) go into its bits, where its coverage stays
// until the next clear.
static void MoveRowToBits(int y)
{
    SpanBits<true>(y, s_runFirst[y], s_runLast[y]);
    if (s_rowState[y] == RASTER_ROW_TWO_RUNS) {
        SpanBits<true>(y, s_runFirst2[y], s_runLast2[y]);
        s_runLast[y] = s_runLast2[y];
    }
    s_rowState[y] = RASTER_ROW_BITS;
    s_bitsRows[s_bitsRowCount++] = static_cast<int16_t>(y);
}

static inline bool Touches(int x1, int x2, int16_t first, int16_t last) { return x1 <= last + 1 && x2 >= first - 1; }

static inline void Widen(int16_t* first, int16_t* last, int x1, int x2)
{
    *first = static_cast<int16_t>(std::min<int>(*first, x1));
    *last = static_cast<int16_t>(std::max<int>(*last, x2));
}

// Fills one row from x1 to x2 inclusive, x1 <= x2, both within the raster; the
// row has been marked.
static inline __attribute__((always_inline)) void FillRow(int y, int x1, int x2)
{
    int16_t &first = s_runFirst[y], &last = s_runLast[y];
    int16_t &first2 = s_runFirst2[y], &last2 = s_runLast2[y];
    switch (s_rowState[y]) {
    case RASTER_ROW_EMPTY:
        first = static_cast<int16_t>(x1);
        last = static_cast<int16_t>(x2);
        s_rowState[y] = RASTER_ROW_ONE_RUN;
        return;
    case RASTER_ROW_ONE_RUN:
        if (Touches(x1, x2, first, last)) {
            Widen(&first, &last, x1, x2);
            return;
        }
        if (x2 < first) {
            first2 = first;
            last2 = last;
            first = static_cast<int16_t>(x1);
            last = static_cast<int16_t>(x2);
        } else {
            first2 = static_cast<int16_t>(x1);
            last2 = static_cast<int16_t>(x2);
        }
        s_rowState[y] = RASTER_ROW_TWO_RUNS;
        return;
    case RASTER_ROW_TWO_RUNS: {
        bool touchesFirst = Touches(x1, x2, first, last), touchesSecond = Touches(x1, x2, first2, last2);
        if (touchesFirst && touchesSecond) {
            Widen(&first, &last, x1, std::max<int>(x2, last2));
            s_rowState[y] = RASTER_ROW_ONE_RUN;
            return;
        }
        if (touchesFirst || touchesSecond) {
            if (touchesFirst) Widen(&first, &last, x1, x2);
            else Widen(&first2, &last2, x1, x2);
            return;
        }
        MoveRowToBits(y);
        break;
    }
    default: break;
    }
    SpanBits<true>(y, x1, x2);
    Widen(&first, &last, x1, x2);
}

// Erases one row from x1 to x2 inclusive, x1 <= x2, both within the raster: a
// row with covered pixels goes to bits first.
static void EraseRow(int y, int x1, int x2)
{
    if (s_rowState[y] == RASTER_ROW_EMPTY) return;
    if (s_rowState[y] != RASTER_ROW_BITS) MoveRowToBits(y);
    SpanBits<false>(y, x1, x2);
}

template <bool kFill>
static inline __attribute__((always_inline)) void Span(int y, int x1, int x2)
{
    if (kFill) FillRow(y, x1, x2);
    else EraseRow(y, x1, x2);
}

template <bool kFill>
static inline __attribute__((always_inline)) void OrderedSpan(int y, int x1, int x2)
{
    if (x1 > x2) std::swap(x1, x2);
    Span<kFill>(y, x1, x2);
}

// Spans given from outside are kept inside the raster.
template <bool kFill>
static void CheckedSpan(uint16_t row, uint16_t x1, uint16_t x2)
{
    if (!s_buffer || row >= kSize) return;
    MarkRows<kFill>(row, row);
    OrderedSpan<kFill>(row, std::min<int>(x1, kSize - 1), std::min<int>(x2, kSize - 1));
}

void RASTER_FillSpan(uint16_t row, uint16_t x1, uint16_t x2) { CheckedSpan<true>(row, x1, x2); }
void RASTER_EraseSpan(uint16_t row, uint16_t x1, uint16_t x2) { CheckedSpan<false>(row, x1, x2); }

// ---- triangle scan conversion --------------------------------------------------------------

// The column of an edge from (x0, y0) to (x1, y1), dy = y1 - y0 > 0, at row
// y0 + i, 0 <= i <= dy: x0 + (i dx + r) / dy truncated toward zero, r = dy / 2
// negated with dx, which is x0 + sign(dx) floor((i |dx| + dy / 2) / dy).
//
// The quotient is taken in single precision, as n (1 / dy) + 2^-10 truncated,
// n = i |dx| + dy / 2. On the raster n < 2^18 is exact as a float, the true
// quotient is below 2^9 and the three roundings move it by less than 2^-12,
// while a quotient that is not a whole number lies at least 1 / dy > 2^-9
// below the next one: the lift of 2^-10 keeps whole quotients whole and never
// reaches the next one. (Every dx and dy of the raster was checked against
// the integer division.) So the columns of many rows are computed side by side
// in vector registers.
struct SCAN_EDGE {
    int x0;
    int sign;          // 0 or -1: the column moves right or left
    int start;         // dy / 2
    int step;          // |dx|
    float reciprocal;  // 1 / dy
};

static constexpr float kQuotientLift = 1.0f / 1024.0f;

static SCAN_EDGE StartEdge(int x0, int y0, int x1, int y1)
{
    SCAN_EDGE e;
    int dx = x1 - x0, dy = y1 - y0;
    e.x0 = x0;
    e.sign = dx < 0 ? -1 : 0;
    e.step = dx < 0 ? -dx : dx;
    e.start = dy / 2;
    e.reciprocal = 1.0f / static_cast<float>(dy);
    return e;
}

// The column of the edge at its row i (counted from its start row).
static inline __attribute__((always_inline)) int EdgeColumn(const SCAN_EDGE& e, int i)
{
    float numerator = static_cast<float>(e.start + i * e.step);
    int quotient = static_cast<int>(numerator * e.reciprocal + kQuotientLift);
    return e.x0 + ((quotient ^ e.sign) - e.sign);
}

// Eight columns of an edge at a time: a vector of 256 bits.
constexpr int kEdgeLanes = 8;
typedef int32_t EDGE_INTS __attribute__((vector_size(kEdgeLanes * sizeof(int32_t))));
typedef float EDGE_FLOATS __attribute__((vector_size(kEdgeLanes * sizeof(float))));
typedef int16_t EDGE_COLUMNS __attribute__((vector_size(kEdgeLanes * sizeof(int16_t))));

// The columns of the edge at its rows first to first + count - 1, into
// columns[0 .. count - 1], computed a whole block of rows at a time, with the
// same single-precision steps as EdgeColumn: up to fifteen columns past the
// edge's end are computed too (they stay within 16 bits) and are not filled.
static inline __attribute__((always_inline)) void EdgeColumns(const SCAN_EDGE& e, int first, int count,
                                                              int16_t* columns)
{
    const EDGE_INTS lanes = {0, 1, 2, 3, 4, 5, 6, 7};
    EDGE_INTS numerator = e.start + (first + lanes) * e.step;
    const int32_t laneStep = kEdgeLanes * e.step;
    int blocks = (count + kBlockRows - 1) / kBlockRows;
    for (int i = 0; i < blocks * kBlockRows; i += kEdgeLanes, numerator += laneStep) {
        EDGE_FLOATS n = __builtin_convertvector(numerator, EDGE_FLOATS);
        EDGE_INTS quotient = __builtin_convertvector(n * e.reciprocal + kQuotientLift, EDGE_INTS);
        EDGE_INTS column = e.x0 + ((quotient ^ e.sign) - e.sign);
        EDGE_COLUMNS narrow = __builtin_convertvector(column, EDGE_COLUMNS);
        memcpy(&columns[i], &narrow, sizeof narrow);
    }
}

// Sixteen rows' columns, runs or states side by side.
typedef int16_t ROW_BLOCK __attribute__((vector_size(kBlockRows * sizeof(int16_t))));
typedef uint8_t STATE_BLOCK __attribute__((vector_size(kBlockRows)));
typedef uint64_t BLOCK_WORDS __attribute__((vector_size(kBlockRows * sizeof(int16_t))));

template <class BLOCK, class T>
static inline __attribute__((always_inline)) void LoadBlock(BLOCK* block, const T* p)
{
    memcpy(block, p, sizeof *block);
}

// Fills rows y to y + 15 between the column lists, side by side for the rows
// whose runs the span only widens, joins or adds to, as FillRow does for one
// row: a span into an empty row, a span touching one run or both of two runs,
// and a span beside a single run. The other rows (a third run, rows in bits)
// are then filled one by one.
static inline __attribute__((always_inline)) void FillBlock(int y, int rows, const int16_t* left,
                                                            const int16_t* right)
{
    const ROW_BLOCK lanes = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15};
    ROW_BLOCK inside = lanes < static_cast<int16_t>(rows);
    ROW_BLOCK a, b, first, last, first2, last2;
    STATE_BLOCK states;
    LoadBlock(&a, left);
    LoadBlock(&b, right);
    LoadBlock(&first, &s_runFirst[y]);
    LoadBlock(&last, &s_runLast[y]);
    LoadBlock(&first2, &s_runFirst2[y]);
    LoadBlock(&last2, &s_runLast2[y]);
    LoadBlock(&states, &s_rowState[y]);
    ROW_BLOCK x1 = a < b ? a : b, x2 = a < b ? b : a;
    ROW_BLOCK state = __builtin_convertvector(states, ROW_BLOCK);
    const int16_t empty = RASTER_ROW_EMPTY, oneRun = RASTER_ROW_ONE_RUN, twoRuns = RASTER_ROW_TWO_RUNS;
    ROW_BLOCK isEmpty = inside & (state == empty), isOne = inside & (state == oneRun);
    ROW_BLOCK isTwo = inside & (state == twoRuns);
    ROW_BLOCK touchesFirst = (x1 <= last + 1) & (x2 >= first - 1);
    ROW_BLOCK touchesSecond = (x1 <= last2 + 1) & (x2 >= first2 - 1);
    ROW_BLOCK widenFirst = isEmpty | (isOne & touchesFirst) | (isTwo & touchesFirst & ~touchesSecond);
    ROW_BLOCK join = isTwo & touchesFirst & touchesSecond;
    ROW_BLOCK widenSecond = isTwo & ~touchesFirst & touchesSecond;
    ROW_BLOCK addRun = isOne & ~touchesFirst;
    ROW_BLOCK addBefore = addRun & (x2 < first);
    ROW_BLOCK handled = widenFirst | join | widenSecond | addRun | ~inside;

    ROW_BLOCK lower = first < x1 ? first : x1, upper = last > x2 ? last : x2;
    ROW_BLOCK joinedUpper = upper > last2 ? upper : last2;
    ROW_BLOCK newFirst = (widenFirst | join) ? lower : addBefore ? x1 : first;
    ROW_BLOCK newLast = widenFirst ? upper : join ? joinedUpper : addBefore ? x2 : last;
    ROW_BLOCK newFirst2 = widenSecond ? (first2 < x1 ? first2 : x1) : addBefore ? first : addRun ? x1 : first2;
    ROW_BLOCK newLast2 = widenSecond ? (last2 > x2 ? last2 : x2) : addBefore ? last : addRun ? x2 : last2;
    ROW_BLOCK newState = (isEmpty | join) ? oneRun : addRun ? twoRuns : state;
    states = __builtin_convertvector(newState, STATE_BLOCK);
    memcpy(&s_runFirst[y], &newFirst, sizeof newFirst);
    memcpy(&s_runLast[y], &newLast, sizeof newLast);
    memcpy(&s_runFirst2[y], &newFirst2, sizeof newFirst2);
    memcpy(&s_runLast2[y], &newLast2, sizeof newLast2);
    memcpy(&s_rowState[y], &states, sizeof states);

    BLOCK_WORDS words;
    memcpy(&words, &handled, sizeof words);
    uint64_t all = ~0ull;
    for (int w = 0; w < static_cast<int>(sizeof words / sizeof words[0]); ++w) all &= words[w];
    if (all == ~0ull) return;
    for (int k = 0; k < rows; ++k)
        if (!handled[k]) OrderedSpan<true>(y + k, left[k], right[k]);
}

// Spans between two column lists for the rows from y on; filled a block of
// rows at a time.
template <bool kFill>
static inline __attribute__((always_inline)) void SpanRows(int y, int count, const int16_t* left,
                                                           const int16_t* right)
{
    if (kFill) {
        for (int i = 0; i < count; i += kBlockRows)
            FillBlock(y + i, std::min(count - i, kBlockRows), left + i, right + i);
        return;
    }
    for (int i = 0; i < count; ++i) OrderedSpan<kFill>(y + i, left[i], right[i]);
}

static RASTER_PIXEL ClampPixel(RASTER_PIXEL p)
{
    p.x = std::clamp<int16_t>(p.x, 0, kSize - 1);
    p.y = std::clamp<int16_t>(p.y, 0, kSize - 1);
    return p;
}

// A is the corner with the smallest row (the later one on a tie); of the other
// two, B has the smaller column (the later one on a tie) and C is the other; M is
// the one of B and C with the smaller row (C on a tie) and T the other. Rows A to
// M are filled between the edges A-T and A-M, then rows below M between the edge
// from the A-T column at row M to T and the edge M-T. The columns of each part
// are computed before its spans are filled.
template <bool kFill>
static inline __attribute__((always_inline)) void ScanTriangle(RASTER_PIXEL p0, RASTER_PIXEL p1, RASTER_PIXEL p2)
{
    if (!s_buffer) return;
    const RASTER_PIXEL v[3] = {ClampPixel(p0), ClampPixel(p1), ClampPixel(p2)};
    int a = 0;
    for (int i = 1; i < 3; ++i)
        if (v[i].y <= v[a].y) a = i;
    int p = a == 0 ? 1 : 0, q = a == 2 ? 1 : 2;
    int b = v[q].x <= v[p].x ? q : p;
    int c = b == q ? p : q;
    int m = v[b].y >= v[c].y ? c : b;
    int t = m == b ? c : b;
    const RASTER_PIXEL &A = v[a], &B = v[b], &C = v[c], &M = v[m], &T = v[t];
    MarkRows<kFill>(A.y, T.y);

    int16_t left[kPaddedSize], right[kPaddedSize];
    int longColumnAtM = A.x;
    if (T.y == A.y) {
        // all three on one row: only the span between B and C below
    } else if (M.y == A.y) {
        OrderedSpan<kFill>(A.y, A.x, M.x);
    } else {
        int rows = M.y - A.y + 1;
        SCAN_EDGE longEdge = StartEdge(A.x, A.y, T.x, T.y);
        EdgeColumns(longEdge, 0, rows, left);
        EdgeColumns(StartEdge(A.x, A.y, M.x, M.y), 0, rows, right);
        longColumnAtM = EdgeColumn(longEdge, rows - 1);
        SpanRows<kFill>(A.y, rows, left, right);
    }
    if (T.y == M.y) {
        OrderedSpan<kFill>(M.y, B.x, C.x);
        return;
    }
    int rows = T.y - M.y;
    EdgeColumns(StartEdge(longColumnAtM, M.y, T.x, T.y), 1, rows, left);
    EdgeColumns(StartEdge(M.x, M.y, T.x, T.y), 1, rows, right);
    SpanRows<kFill>(M.y + 1, rows, left, right);
}

// The scans as plain functions, each also built for 256-bit vectors.
__attribute__((target_clones("avx2", "default"))) static void FillScan(RASTER_PIXEL p0, RASTER_PIXEL p1,
                                                                       RASTER_PIXEL p2)
{
    ScanTriangle<true>(p0, p1, p2);
}

__attribute__((target_clones("avx2", "default"))) static void EraseScan(RASTER_PIXEL p0, RASTER_PIXEL p1,
                                                                        RASTER_PIXEL p2)
{
    ScanTriangle<false>(p0, p1, p2);
}

void RASTER_FillTriangle(RASTER_PIXEL p0, RASTER_PIXEL p1, RASTER_PIXEL p2) { FillScan(p0, p1, p2); }
void RASTER_EraseTriangle(RASTER_PIXEL p0, RASTER_PIXEL p1, RASTER_PIXEL p2) { EraseScan(p0, p1, p2); }

void RASTER_FillQuad(const RASTER_PIXEL points[4])
{
    FillScan(points[0], points[1], points[2]);
    FillScan(points[0], points[2], points[3]);
}

void RASTER_EraseQuad(const RASTER_PIXEL points[4])
{
    EraseScan(points[0], points[1], points[2]);
    EraseScan(points[0], points[2], points[3]);
}

template <bool kFill>
static void PlaneTriangle(const RASTER_POINT* p0, const RASTER_POINT* p1, const RASTER_POINT* p2)
{
    RASTER_PIXEL v[3];
    RASTER_PlaneToPixel(p0, &v[0]);
    RASTER_PlaneToPixel(p1, &v[1]);
    RASTER_PlaneToPixel(p2, &v[2]);
    if (kFill) FillScan(v[0], v[1], v[2]);
    else EraseScan(v[0], v[1], v[2]);
}

void RASTER_FillPlaneTriangle(const RASTER_POINT* p0, const RASTER_POINT* p1, const RASTER_POINT* p2)
{
    PlaneTriangle<true>(p0, p1, p2);
}

void RASTER_ErasePlaneTriangle(const RASTER_POINT* p0, const RASTER_POINT* p1, const RASTER_POINT* p2)
{
    PlaneTriangle<false>(p0, p1, p2);
}

static void MapQuad(const RASTER_POINT points[4], RASTER_PIXEL pixels[4])
{
    for (int i = 0; i < 4; ++i) RASTER_PlaneToPixel(&points[i], &pixels[i]);
}

void RASTER_ErasePlaneQuad(const RASTER_POINT points[4])
{
    RASTER_PIXEL pixels[4];
    MapQuad(points, pixels);
    RASTER_EraseQuad(pixels);
}

// ---- recording -------------------------------------------------------------------------------

static RASTER_TRIANGLE_LIST* StartList()
{
    RASTER_TRIANGLE_LIST* list = s_freeLists;
    if (list) {
        s_freeLists = list->link;
    } else {
        MEMORY_SetTag("RASTER:triangle-list");
        list = static_cast<RASTER_TRIANGLE_LIST*>(POOL_Alloc(sizeof(RASTER_TRIANGLE_LIST) + 1));
        if (!list) return nullptr;
    }
    list->count = 0;
    list->head = list->tail = nullptr;
    list->link = nullptr;
    return list;
}

static uint32_t RecordTriangle(const RASTER_POINT& p0, const RASTER_POINT& p1, const RASTER_POINT& p2)
{
    RASTER_TRIANGLE* triangle = s_freeTriangles;
    if (triangle) {
        s_freeTriangles = triangle->next;
    } else {
        MEMORY_SetTag("RASTER:triangle");
        triangle = static_cast<RASTER_TRIANGLE*>(POOL_Alloc(sizeof(RASTER_TRIANGLE) + 1));
        if (!triangle) return 0;
    }
    triangle->corners[0] = p0;
    triangle->corners[1] = p1;
    triangle->corners[2] = p2;
    triangle->next = s_current->head;
    if (!s_current->head) s_current->tail = triangle;
    s_current->head = triangle;
    return 1;
}

// The pixels are filled first: a failed recording changes neither area nor centroid.
static void RecordQuad(const RASTER_POINT points[4])
{
    if (!s_current) {
        s_current = StartList();
        if (!s_current) {
            LOG_Printf("RASTER: nedostatek paměti (struktura).\n");
            return;
        }
    }
    if (!RecordTriangle(points[0], points[1], points[2])) {
        LOG_Printf("RASTER: nedostatek paměti (trojúhelník1).\n");
        return;
    }
    if (!RecordTriangle(points[0], points[2], points[3])) {
        LOG_Printf("RASTER: nedostatek paměti (trojúhelník2).\n");
        return;
    }
    s_current->count += 2;
}

void RASTER_AddQuad(const RASTER_POINT points[4])
{
    RASTER_PIXEL pixels[4];
    MapQuad(points, pixels);
    RASTER_FillQuad(pixels);
    if (s_recording) RecordQuad(points);
}

RASTER_TRIANGLE_LIST* RASTER_TakeRecording()
{
    RASTER_TRIANGLE_LIST* list = s_current;
    s_current = nullptr;
    return list;
}

void RASTER_FreeRecording(RASTER_TRIANGLE_LIST* list)
{
    if (!list) return;
    if (list->head) {
        RASTER_TRIANGLE* last = list->tail;
        if (!last)
            for (last = list->head; last->next;) last = last->next;
        last->next = s_freeTriangles;
        s_freeTriangles = list->head;
    }
    list->head = list->tail = nullptr;
    list->count = 0;
    list->link = s_freeLists;
    s_freeLists = list;
}

// ---- results ----------------------------------------------------------------------------------

// Adds the count and the column sum of the set bits of one word, run by run
// (the covered pixels of a row of a body are mostly one run).
static inline void SumRuns(uint64_t bits, int base, uint32_t* count, int64_t* columns)
{
    if (bits == ~0ull) {
        *count += 64;
        *columns += 64 * static_cast<int64_t>(base) + 63 * 64 / 2;
        return;
    }
    while (bits) {
        int low = std::countr_zero(bits);
        int run = std::countr_one(bits >> low);
        int64_t first = base + low;
        *count += static_cast<uint32_t>(run);
        *columns += run * first + ((static_cast<int64_t>(run) * (run - 1)) >> 1);
        if (low + run >= 64) return;
        bits &= ~0ull << (low + run);
    }
}

// Whether every pixel of row y from x1 to x2 (x1 <= x2) is covered.
static bool RowCoveredBetween(int y, int x1, int x2)
{
    const uint64_t* bits = s_rowBits[y];
    const uint64_t* from = s_fromColumn[x1];
    const uint64_t* to = s_toColumn[x2];
    uint64_t missing = 0;
    for (int w = 0; w < kWordsPerRow; ++w) missing |= from[w] & to[w] & ~bits[w];
    return missing == 0;
}

// Adds the count and the column sum of the run from first to last.
static inline void SumRun(int first, int last, uint32_t* count, int64_t* columns)
{
    uint32_t n = static_cast<uint32_t>(last - first + 1);
    *count += n;
    *columns += (static_cast<int64_t>(first) + last) * n / 2;
}

// The count and the column sum of a row in bits. No pixel outside its filled
// columns is covered, so a row covered from its first to its last filled
// column is one run.
static void SumRowBits(int y, uint32_t* count, int64_t* columns)
{
    int first = s_runFirst[y], last = s_runLast[y];
    if (first > last) return;
    if (RowCoveredBetween(y, first, last)) {
        SumRun(first, last, count, columns);
        return;
    }
    for (int w = first >> 6; w <= last >> 6; ++w) {
        if (s_rowBits[y][w]) SumRuns(s_rowBits[y][w], w << 6, count, columns);
    }
}

// The count, twice the column sum and the row sum of the rows from first to
// last that hold one run; the others add nothing. Every sum fits in 32 bits
// on the raster, so the rows are summed side by side in vector registers.
// Twice the column sum of a run, (first + last) n, is a whole number.
struct RASTER_SUMS {
    int32_t count, twiceColumns, rows;
};

__attribute__((target_clones("avx2", "default"))) static RASTER_SUMS SumOneRunRows(int first, int last)
{
    int32_t count = 0, twiceColumns = 0, rows = 0;
    for (int y = first; y <= last; ++y) {
        int32_t runFirst = s_runFirst[y], runLast = s_runLast[y];
        int32_t oneRun = s_rowState[y] == RASTER_ROW_ONE_RUN;
        int32_t n = (runLast - runFirst + 1) * oneRun;
        count += n;
        twiceColumns += (runFirst + runLast) * n;
        rows += y * n;
    }
    return RASTER_SUMS{count, twiceColumns, rows};
}

// Whether a row from first to last holds two runs or bits.
static bool AnyRowBeyondOneRun(int first, int last)
{
    uint8_t beyond = 0;
    for (int y = first; y <= last; ++y) beyond |= s_rowState[y] > RASTER_ROW_ONE_RUN;
    return beyond != 0;
}

// Counts the covered pixels and their column and row sums from the runs and the bits.
static void CountCovered()
{
    RASTER_SUMS oneRun = SumOneRunRows(s_filledRowFirst, s_filledRowLast);
    uint32_t count = static_cast<uint32_t>(oneRun.count);
    int64_t columns = oneRun.twiceColumns / 2, rows = oneRun.rows;
    if (AnyRowBeyondOneRun(s_filledRowFirst, s_filledRowLast)) {
        for (int y = s_filledRowFirst; y <= s_filledRowLast; ++y) {
            uint32_t rowCount = 0;
            switch (s_rowState[y]) {
            case RASTER_ROW_EMPTY:
            case RASTER_ROW_ONE_RUN: continue;
            case RASTER_ROW_TWO_RUNS:
                SumRun(s_runFirst2[y], s_runLast2[y], &rowCount, &columns);
                SumRun(s_runFirst[y], s_runLast[y], &rowCount, &columns);
                break;
            default: SumRowBits(y, &rowCount, &columns); break;
            }
            count += rowCount;
            rows += static_cast<int64_t>(y) * rowCount;
        }
    }
    s_count = count;
    s_xSum = columns;
    s_ySum = rows;
    s_sumsStale = false;
}

static uint32_t CoveredCount()
{
    if (s_sumsStale) CountCovered();
    return s_count;
}

void RASTER_GetPixelCount(uint32_t* count) { *count = CoveredCount(); }

void RASTER_GetPixelCentroid(double* x, double* y)
{
    if (!CoveredCount()) {
        *x = *y = 0.0;
        return;
    }
    *x = static_cast<double>(s_xSum) / s_count;
    *y = static_cast<double>(s_ySum) / s_count;
}

void RASTER_GetArea(double* area)
{
    uint32_t count = CoveredCount();
    *area = count ? count / s_xScale / s_yScale : 0.0;
}

void RASTER_GetCentroid(double* x, double* y)
{
    if (!CoveredCount()) {
        *x = *y = 0.0;
        return;
    }
    double px, py;
    RASTER_GetPixelCentroid(&px, &py);
    *x = (px + 0.5) / s_xScale + s_xMin;
    *y = (py + 0.5) / s_yScale + s_yMin;
}

uint16_t RASTER_GetWidth() { return kSize; }
uint16_t RASTER_GetHeight() { return kSize; }
// Writes every row's bytes from its run or its bits.
static void WriteBytes()
{
    for (int y = 0; y < kSize; ++y) {
        uint8_t* row = s_buffer + y * kSize;
        if (s_rowState[y] != RASTER_ROW_BITS) {
            memset(row, 0, kSize);
            if (s_rowState[y] != RASTER_ROW_EMPTY) memset(row + s_runFirst[y], 255, s_runLast[y] - s_runFirst[y] + 1);
            if (s_rowState[y] == RASTER_ROW_TWO_RUNS)
                memset(row + s_runFirst2[y], 255, s_runLast2[y] - s_runFirst2[y] + 1);
            continue;
        }
        for (int w = 0; w < kWordsPerRow; ++w) {
            uint64_t bits = s_rowBits[y][w];
            for (int i = 0; i < 64; ++i) row[(w << 6) + i] = (bits >> i) & 1 ? 255 : 0;
        }
    }
    s_bytesStale = false;
}

const uint8_t* RASTER_GetBuffer()
{
    if (s_buffer && s_bytesStale) WriteBytes();
    return s_buffer;
}

void RASTER_DebugPrintSpan(int16_t first, int16_t last)
{
    for (int i = 0; i < first; ++i) LOG_Printf(" ");
    for (int i = first; i <= last; ++i) LOG_Printf("X");
    LOG_Printf("\n");
}
