// POLYGON: triangulation and boolean operations on polygons with holes on a
// 20-bit integer grid. The library keeps no state between calls beyond its
// allocations; nothing else in the program calls it.
//
// Coordinates live in two modes in the same records: floating (two doubles per
// point, any range) and grid (two int32 per point within INT20). The caller
// knows the mode; POLYGON_AreaToGrid and POLYGON_AreaFromGrid convert in place.
//
// Errors travel inside the library as a POLYGON_EXCEPTION carrying the code
// (1 memory exhausted, 2 file input or output failed, 3 invalid polygon data
// or a broken internal invariant). Every public entry point catches them and
// returns the code; 0 is success.
#pragma once
#include <cstddef>
#include <cstdint>
#include <new>

constexpr int32_t POLYGON_INT20_MIN = -524288;
constexpr int32_t POLYGON_INT20_MAX = 524287;

constexpr int POLYGON_OK = 0;
constexpr int POLYGON_ERR_MEMORY = 1;
constexpr int POLYGON_ERR_FILE = 2;
constexpr int POLYGON_ERR_DATA = 3;

// Boolean operation codes.
constexpr int POLYGON_OP_UNION = 0;
constexpr int POLYGON_OP_INTERSECTION = 1;
constexpr int POLYGON_OP_A_MINUS_B = 2;
constexpr int POLYGON_OP_XOR = 3;

// Contour flags: an outer boundary runs counter-clockwise with y up, a hole
// clockwise; bits 0-1 hold the contour's label during a boolean operation.
constexpr uint32_t POLYGON_CONTOUR_OUTER = 256;
constexpr uint32_t POLYGON_CONTOUR_LABEL_MASK = 3;

struct POLYGON_IPOINT {
    int32_t x, y;
};
struct POLYGON_FPOINT {
    double x, y;
};
// One point in either mode, sharing its storage.
union POLYGON_POINT {
    POLYGON_IPOINT g;   // grid mode
    POLYGON_FPOINT f;   // floating mode
};

// An edge-end record of the boolean operation's sweep (defined by it).
struct POLYGON_EDGEEND;

// One vertex; zeroed at allocation.
struct POLYGON_VNODE {
    POLYGON_VNODE* next;        // ring links of the contour's vertices
    POLYGON_VNODE* prev;
    uint32_t flags;             // boolean operation bookkeeping: label, visited, operand
    POLYGON_POINT point;
    struct {
        POLYGON_EDGEEND* o;     // the end of the outgoing edge at this point
        POLYGON_EDGEEND* i;     // the end of the incoming edge at this point
    } lnk;
    uint32_t index;             // triangulation: the vertex's number within its area
};

// One closed polyline.
struct POLYGON_CONTOUR {
    POLYGON_CONTOUR* next;      // next contour of the same area
    POLYGON_VNODE* head;
    uint32_t count;             // number of vertices, at least 3 when valid
    uint32_t flags;             // POLYGON_CONTOUR_OUTER, label bits
    POLYGON_POINT boxMin;       // bounding box in the contour's mode
    POLYGON_POINT boxMax;
};

// Three vertices of an area, counter-clockwise.
struct POLYGON_TRIANGLE {
    POLYGON_VNODE* v[3];
};

// One polygon with holes; rings of areas make a multi-polygon. A ring is
// referred to by any of its areas; an empty result is no area at all.
struct POLYGON_AREA {
    POLYGON_AREA* next;         // ring links to the other areas of the same result
    POLYGON_AREA* prev;
    POLYGON_CONTOUR* cntr;      // the outer contour first, then its holes
    POLYGON_TRIANGLE* triangles;
    uint32_t triangleCount;
};

// ---------------------------------------------------------------------------
// Public entry points: 0 or the error code where an int is returned.

int POLYGON_ReadArea(const char* fileName, POLYGON_AREA** area);
int POLYGON_WriteArea(const char* fileName, const POLYGON_AREA* area);
int POLYGON_ReadContour(const char* fileName, POLYGON_CONTOUR** contour);
int POLYGON_WriteContour(const char* fileName, const POLYGON_CONTOUR* contour);
void POLYGON_FreeContour(POLYGON_CONTOUR** contour);
// The result is set to none first; the operands are not changed.
int POLYGON_BooleanOp(const POLYGON_AREA* a, const POLYGON_AREA* b, POLYGON_AREA** result, int op);
// Fills the triangles of every area of a ring in grid mode.
int POLYGON_ApiTriangulate(POLYGON_AREA* area);
void POLYGON_ApiFreeArea(POLYGON_AREA** area);
uint32_t POLYGON_TriangleCount(const POLYGON_AREA* area);
// The i-th triangle over the ring (areas in ring order), grid values as
// doubles; six zeros for an index beyond the last.
void POLYGON_GetTriangle(const POLYGON_AREA* area, uint32_t index, double* x0, double* y0, double* x1, double* y1,
                         double* x2, double* y2);
// Sorts a degenerate quadrilateral: see polygonlibrary.cpp.
void POLYGON_ClassifyQuad(POLYGON_IPOINT* p0, POLYGON_IPOINT* p1, POLYGON_IPOINT* p2, POLYGON_IPOINT* p3,
                          uint16_t* kind);
void POLYGON_ClearPoints(POLYGON_IPOINT* a, POLYGON_IPOINT* b, POLYGON_IPOINT* c);
void POLYGON_DebugPrint(const POLYGON_AREA* area);
// Widens the caller's bounds by every vertex of the ring (floating mode).
void POLYGON_AreaBounds(const POLYGON_AREA* area, double vMin[2], double vMax[2]);
// Floating to grid in place; areas whose outer contour collapses go, and the
// reference becomes none when the last one goes. Refuses (3) bounds with
// vMax <= vMin or that miss a vertex.
int POLYGON_AreaToGrid(POLYGON_AREA** area, const double vMin[2], const double vMax[2]);
// Grid to floating in place, vertices and contour boxes.
int POLYGON_AreaFromGrid(POLYGON_AREA* area, const double vMin[2], const double vMax[2]);

// ---------------------------------------------------------------------------
// Library internals shared by its parts. These raise POLYGON_EXCEPTION.

struct POLYGON_EXCEPTION {
    int code;
};
[[noreturn]] void POLYGON_Error(int code);
// An invariant of the library's own structures: a violation is error 3.
inline void POLYGON_Require(bool condition)
{
    if (!condition)
        POLYGON_Error(POLYGON_ERR_DATA);
}

// Runs an entry point's body and turns what it raises into a code: the
// library's codes as they are, the language's allocation failure 1, anything
// else 3.
template <typename BODY>
int POLYGON_Catch(BODY&& body)
{
    try {
        body();
        return POLYGON_OK;
    } catch (const POLYGON_EXCEPTION& e) {
        return e.code;
    } catch (const std::bad_alloc&) {
        return POLYGON_ERR_MEMORY;
    } catch (...) {
        return POLYGON_ERR_DATA;
    }
}

// Zeroed block of count * size bytes from the pool allocator (tag
// "POLYGON:alloc", one byte longer); none when memory is exhausted or the size
// overflows. Callers raise error 1 on none.
void* POLYGON_Alloc(size_t count, size_t size);
void POLYGON_Free(void* block);
// POLYGON_Alloc that raises error 1 instead of returning none.
void* POLYGON_AllocOrRaise(size_t count, size_t size);
// POLYGON_Alloc without the zero fill, for working storage that is written
// before it is read: filling tens of megabytes costs more than the work.
void* POLYGON_AllocUnfilled(size_t count, size_t size);

// A pool of fixed-size objects of one type, in blocks of 16 slots. Each slot
// is the object followed by a pointer-sized link word: the next free slot
// while free, the in-use mark while handed out. A block's last word links it
// to the previously allocated block. Pools live for one operation and are
// cleared at its end.
template <typename T>
class POLYGON_FREELIST {
public:
    static constexpr uint32_t BLOCK_OBJECTS = 16;

    POLYGON_FREELIST() = default;
    POLYGON_FREELIST(const POLYGON_FREELIST&) = delete;
    POLYGON_FREELIST& operator=(const POLYGON_FREELIST&) = delete;
    ~POLYGON_FREELIST() { Clear(); }

    // One object, zero-filled when asked; error 1 when no block can be had.
    T* Alloc(bool zero = true)
    {
        if (!m_FreeList)
            AddBlock();
        SLOT_LINK* link = m_FreeList;
        m_FreeList = link->next;
        link->next = InUse();
        T* obj = ObjectOf(link);
        if (zero)
            *obj = T{};
        return obj;
    }

    // Gives a live object of this pool back.
    void Free(T* _pObj)
    {
        POLYGON_Require(_pObj != nullptr);
        SLOT_LINK* link = LinkOf(_pObj);
        POLYGON_Require(link->next == InUse());
        link->next = m_FreeList;
        m_FreeList = link;
    }

    // Frees every block at once.
    void Clear()
    {
        while (m_Blocks) {
            unsigned char* block = m_Blocks;
            m_Blocks = *BlockLinkOf(block);
            ::operator delete(block);
        }
        m_FreeList = nullptr;
        m_BlockCount = 0;
    }

    uint32_t BlockCount() const { return m_BlockCount; }
    // Whether an object lies in the most recently allocated block.
    bool InNewestBlock(const T* obj) const
    {
        auto* p = reinterpret_cast<const unsigned char*>(obj);
        return m_Blocks && p >= m_Blocks && p < m_Blocks + BLOCK_OBJECTS * SLOT_SIZE;
    }

    // Visits the objects in use, block by block.
    class iterator {
    public:
        iterator(unsigned char* block, uint32_t slot) : m_Block(block), m_Slot(slot) { SkipFree(); }
        T& operator*() const { return *reinterpret_cast<T*>(m_Block + m_Slot * SLOT_SIZE); }
        T* operator->() const { return &**this; }
        iterator& operator++()
        {
            m_Slot++;
            SkipFree();
            return *this;
        }
        bool operator==(const iterator& other) const { return m_Block == other.m_Block && m_Slot == other.m_Slot; }
        bool operator!=(const iterator& other) const { return !(*this == other); }

    private:
        void SkipFree()
        {
            while (m_Block) {
                if (m_Slot == BLOCK_OBJECTS) {
                    m_Block = *BlockLinkOf(m_Block);
                    m_Slot = 0;
                    continue;
                }
                auto* link = reinterpret_cast<SLOT_LINK*>(m_Block + m_Slot * SLOT_SIZE + OBJECT_SIZE);
                if (link->next == InUse())
                    return;
                m_Slot++;
            }
            m_Slot = 0;
        }
        unsigned char* m_Block;
        uint32_t m_Slot;
    };
    iterator begin() { return iterator(m_Blocks, 0); }
    iterator end() { return iterator(nullptr, 0); }

private:
    struct SLOT_LINK {
        SLOT_LINK* next;
    };
    static constexpr size_t WORD = sizeof(void*);
    static_assert(alignof(T) <= WORD, "pool objects align to a pointer");
    static constexpr size_t OBJECT_SIZE = (sizeof(T) + WORD - 1) / WORD * WORD;
    static constexpr size_t SLOT_SIZE = OBJECT_SIZE + WORD;
    static constexpr size_t BLOCK_SIZE = BLOCK_OBJECTS * SLOT_SIZE + WORD;

    static SLOT_LINK* InUse() { return reinterpret_cast<SLOT_LINK*>(~uintptr_t{0}); }
    static SLOT_LINK* LinkOf(T* obj) { return reinterpret_cast<SLOT_LINK*>(reinterpret_cast<unsigned char*>(obj) + OBJECT_SIZE); }
    static T* ObjectOf(SLOT_LINK* link) { return reinterpret_cast<T*>(reinterpret_cast<unsigned char*>(link) - OBJECT_SIZE); }
    static unsigned char** BlockLinkOf(unsigned char* block)
    {
        return reinterpret_cast<unsigned char**>(block + BLOCK_OBJECTS * SLOT_SIZE);
    }

    void AddBlock()
    {
        auto* block = static_cast<unsigned char*>(::operator new(BLOCK_SIZE, std::nothrow));
        if (!block)
            POLYGON_Error(POLYGON_ERR_MEMORY);
        *BlockLinkOf(block) = m_Blocks;
        m_Blocks = block;
        m_BlockCount++;
        // Pushed last slot first, so that the block hands out its slots in order.
        for (uint32_t i = BLOCK_OBJECTS; i-- > 0;) {
            auto* link = reinterpret_cast<SLOT_LINK*>(block + i * SLOT_SIZE + OBJECT_SIZE);
            link->next = m_FreeList;
            m_FreeList = link;
        }
    }

    SLOT_LINK* m_FreeList = nullptr;
    unsigned char* m_Blocks = nullptr;
    uint32_t m_BlockCount = 0;
};

// Grid helpers.
inline bool POLYGON_InGrid(int64_t v) { return v >= POLYGON_INT20_MIN && v <= POLYGON_INT20_MAX; }
inline bool POLYGON_SamePoint(const POLYGON_IPOINT& a, const POLYGON_IPOINT& b) { return a.x == b.x && a.y == b.y; }
// (a - o) x (b - o), exact for grid points.
inline int64_t POLYGON_Cross(const POLYGON_IPOINT& o, const POLYGON_IPOINT& a, const POLYGON_IPOINT& b)
{
    return (int64_t(a.x) - o.x) * (int64_t(b.y) - o.y) - (int64_t(a.y) - o.y) * (int64_t(b.x) - o.x);
}

// Vertices and contours. New contours start with an empty grid box
// (minimum INT20_MAX, maximum INT20_MIN) that widens with every vertex added
// through the grid helpers.
POLYGON_VNODE* POLYGON_NewVertex();
POLYGON_CONTOUR* POLYGON_NewContour(int32_t x, int32_t y);
// Appends a vertex at the end of the ring (before the head).
void POLYGON_AppendVertex(POLYGON_CONTOUR* contour, POLYGON_VNODE* vertex);
void POLYGON_AppendPoint(POLYGON_CONTOUR* contour, int32_t x, int32_t y);
// Floating mode: a contour whose box is its first point, and a vertex append
// that widens it.
POLYGON_CONTOUR* POLYGON_NewContourF(double x, double y);
void POLYGON_AppendPointF(POLYGON_CONTOUR* contour, double x, double y);
// Unlinks a vertex from its ring (never the last one) and frees it.
void POLYGON_RemoveVertex(POLYGON_CONTOUR* contour, POLYGON_VNODE* vertex);
// Reverses the ring and flips the orientation flag.
void POLYGON_ReverseContour(POLYGON_CONTOUR* contour);
inline bool POLYGON_IsOuter(const POLYGON_CONTOUR* contour) { return (contour->flags & POLYGON_CONTOUR_OUTER) != 0; }
// Copies of one contour (its next link empty) and of a whole area ring
// (triangles not copied).
POLYGON_CONTOUR* POLYGON_CopyContour(const POLYGON_CONTOUR* contour);
POLYGON_AREA* POLYGON_CopyArea(const POLYGON_AREA* area);
void POLYGON_FreeContourList(POLYGON_CONTOUR** first);
void POLYGON_FreeArea(POLYGON_AREA** area);
// Raises 3 unless the vertex ring of a contour is consistent: count vertices,
// next and prev links agreeing, back at the head. Grid mode also checks INT20.
void POLYGON_CheckRing(const POLYGON_CONTOUR* contour, bool grid);
// Raises 3 unless every contour of every area is a consistent ring in grid
// mode with at least 3 vertices and the area links agree.
void POLYGON_CheckGridArea(const POLYGON_AREA* area);

// Grid mode: removes every vertex collinear with its two neighbours (repeated
// points and spikes included); false when fewer than 3 vertices remain or the
// signed area is zero. Otherwise recomputes the box and sets the orientation
// flag from the sign of the doubled area.
bool POLYGON_CheckContour(POLYGON_CONTOUR* contour);
// Signed doubled area, positive counter-clockwise (exact).
int64_t POLYGON_DoubledArea(const POLYGON_CONTOUR* contour);
void POLYGON_UpdateBox(POLYGON_CONTOUR* contour);
// Where the point (x2 / 2, y2 / 2) lies relative to a grid contour: 1 inside,
// 0 on its boundary, -1 outside. Doubled coordinates reach edge midpoints.
int POLYGON_PointInContour2(const POLYGON_CONTOUR* contour, int64_t x2, int64_t y2);
// The same against a whole ring by the even-odd rule over all contours.
int POLYGON_PointInArea2(const POLYGON_AREA* area, int64_t x2, int64_t y2);
// Whether grid contour inner lies wholly inside grid contour outer (touching
// allowed; a simple outer contour of either orientation). Costs
// O((n + m) log(n + m)) for a simple outer contour of n vertices and an inner
// one of m that neither crosses nor overlaps itself.
bool POLYGON_ContourInside(const POLYGON_CONTOUR* inner, const POLYGON_CONTOUR* outer);
// Raises 3 unless every hole of every area lies wholly inside the area's
// outer contour (a checked grid ring, POLYGON_CheckGridArea). All holes of an
// area are checked in one sweep.
void POLYGON_CheckHoles(const POLYGON_AREA* area);
// Inserts a checked grid contour into a ring: an outer boundary opens a new
// area at the end of the ring; a hole goes right after the outer contour of
// the smallest area that contains it. A hole that none contains is error 3.
// The contour is always consumed (freed when refused).
void POLYGON_InsertContour(POLYGON_AREA** area, POLYGON_CONTOUR* contour);
POLYGON_AREA* POLYGON_NewArea();
// Links an area at the end of a ring (the ring may be none).
void POLYGON_AppendArea(POLYGON_AREA** ring, POLYGON_AREA* area);
// Unlinks an area from its ring and frees it; the reference moves on to
// another area or becomes none.
void POLYGON_RemoveArea(POLYGON_AREA** ring, POLYGON_AREA* area);

// The triangulation's own random numbers: 15 bits from a linear congruential
// generator with 64-bit arithmetic. Each triangulation seeds it from the time
// unless a test has fixed the seed.
uint32_t POLYGON_Random15();
void POLYGON_SeedRandom(uint64_t seed);
void POLYGON_SetTestSeed(uint64_t seed);
void POLYGON_ClearTestSeed();
// Seeds from the current time, or with the test seed when one is fixed.
void POLYGON_SeedFromTime();

// Triangulates every area of a grid ring; raises on failure.
void POLYGON_Triangulate(POLYGON_AREA* area);
