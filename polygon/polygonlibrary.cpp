// POLYGON: records, allocation, errors, the contour check and the contour and
// area helpers shared by the triangulation, the boolean operations and the
// text format.
#include "polygon/polygonlibrary.h"
#include <cstring>
#include <ctime>
#include "foundation/log.h"
#include "foundation/memory.h"
#include "foundation/pool.h"

namespace {

uint64_t g_randomState = 1;
bool g_testSeedSet = false;
uint64_t g_testSeed = 0;

// Grid boxes start empty and widen with every vertex.
void ResetGridBox(POLYGON_CONTOUR* c)
{
    c->boxMin.g = POLYGON_IPOINT{POLYGON_INT20_MAX, POLYGON_INT20_MAX};
    c->boxMax.g = POLYGON_IPOINT{POLYGON_INT20_MIN, POLYGON_INT20_MIN};
}

void WidenGridBox(POLYGON_CONTOUR* c, int32_t x, int32_t y)
{
    if (x < c->boxMin.g.x) c->boxMin.g.x = x;
    if (y < c->boxMin.g.y) c->boxMin.g.y = y;
    if (x > c->boxMax.g.x) c->boxMax.g.x = x;
    if (y > c->boxMax.g.y) c->boxMax.g.y = y;
}

void FreeVertices(POLYGON_CONTOUR* c)
{
    POLYGON_VNODE* v = c->head;
    for (uint32_t i = 0; v && i < c->count; i++) {
        POLYGON_VNODE* next = v->next;
        POLYGON_Free(v);
        if (next == c->head)
            break;
        v = next;
    }
    c->head = nullptr;
    c->count = 0;
}

void FreeOneArea(POLYGON_AREA* a)
{
    POLYGON_FreeContourList(&a->cntr);
    POLYGON_Free(a->triangles);
    POLYGON_Free(a);
}

// The area of a ring whose outer contour contains the hole and is smallest.
POLYGON_AREA* SmallestEnclosingArea(POLYGON_AREA* ring, const POLYGON_CONTOUR* hole)
{
    POLYGON_AREA* best = nullptr;
    int64_t bestArea = 0;
    POLYGON_AREA* a = ring;
    do {
        POLYGON_Require(a->next && a->next->prev == a);
        if (a->cntr && POLYGON_ContourInside(hole, a->cntr)) {
            int64_t area = POLYGON_DoubledArea(a->cntr);
            if (area < 0) area = -area;
            if (!best || area < bestArea) {
                best = a;
                bestArea = area;
            }
        }
        a = a->next;
    } while (a != ring);
    return best;
}

}

// ---------------------------------------------------------------------------
// Allocation and errors

void POLYGON_Error(int code) { throw POLYGON_EXCEPTION{code}; }

void* POLYGON_AllocUnfilled(size_t count, size_t size)
{
    if (size && count > (UINT32_MAX - 1) / size)
        return nullptr;
    MEMORY_SetTag("POLYGON:alloc");
    return POOL_Alloc(static_cast<uint32_t>(count * size) + 1);
}

void* POLYGON_Alloc(size_t count, size_t size)
{
    void* block = POLYGON_AllocUnfilled(count, size);
    if (block)
        memset(block, 0, count * size + 1);
    return block;
}

void POLYGON_Free(void* block)
{
    if (block)
        POOL_Free(block);
}

void* POLYGON_AllocOrRaise(size_t count, size_t size)
{
    void* block = POLYGON_Alloc(count, size);
    if (!block)
        POLYGON_Error(POLYGON_ERR_MEMORY);
    return block;
}

// ---------------------------------------------------------------------------
// Random numbers of the triangulation

uint32_t POLYGON_Random15()
{
    g_randomState = g_randomState * 214013u + 2531011u;
    return static_cast<uint32_t>((g_randomState >> 16) & 0x7FFF);
}

void POLYGON_SeedRandom(uint64_t seed) { g_randomState = seed; }

void POLYGON_SetTestSeed(uint64_t seed)
{
    g_testSeedSet = true;
    g_testSeed = seed;
}

void POLYGON_ClearTestSeed() { g_testSeedSet = false; }

// Used by the triangulation before each area.
void POLYGON_SeedFromTime()
{
    if (g_testSeedSet) {
        POLYGON_SeedRandom(g_testSeed);
        return;
    }
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    POLYGON_SeedRandom(static_cast<uint64_t>(now.tv_sec) * 1000000000u + static_cast<uint64_t>(now.tv_nsec));
}

// ---------------------------------------------------------------------------
// Vertices and contours

POLYGON_VNODE* POLYGON_NewVertex()
{
    return static_cast<POLYGON_VNODE*>(POLYGON_AllocOrRaise(1, sizeof(POLYGON_VNODE)));
}

static POLYGON_CONTOUR* NewEmptyContour()
{
    return static_cast<POLYGON_CONTOUR*>(POLYGON_AllocOrRaise(1, sizeof(POLYGON_CONTOUR)));
}

POLYGON_CONTOUR* POLYGON_NewContour(int32_t x, int32_t y)
{
    POLYGON_CONTOUR* c = NewEmptyContour();
    ResetGridBox(c);
    try {
        POLYGON_AppendPoint(c, x, y);
    } catch (...) {
        POLYGON_Free(c);
        throw;
    }
    return c;
}

void POLYGON_AppendVertex(POLYGON_CONTOUR* contour, POLYGON_VNODE* vertex)
{
    POLYGON_VNODE* head = contour->head;
    if (!head) {
        vertex->next = vertex->prev = vertex;
        contour->head = vertex;
    } else {
        vertex->next = head;
        vertex->prev = head->prev;
        head->prev->next = vertex;
        head->prev = vertex;
    }
    contour->count++;
}

void POLYGON_AppendPoint(POLYGON_CONTOUR* contour, int32_t x, int32_t y)
{
    POLYGON_VNODE* v = POLYGON_NewVertex();
    v->point.g = POLYGON_IPOINT{x, y};
    POLYGON_AppendVertex(contour, v);
    WidenGridBox(contour, x, y);
}

POLYGON_CONTOUR* POLYGON_NewContourF(double x, double y)
{
    POLYGON_CONTOUR* c = NewEmptyContour();
    c->boxMin.f = c->boxMax.f = POLYGON_FPOINT{x, y};
    try {
        POLYGON_AppendPointF(c, x, y);
    } catch (...) {
        POLYGON_Free(c);
        throw;
    }
    return c;
}

void POLYGON_AppendPointF(POLYGON_CONTOUR* contour, double x, double y)
{
    POLYGON_VNODE* v = POLYGON_NewVertex();
    v->point.f = POLYGON_FPOINT{x, y};
    POLYGON_AppendVertex(contour, v);
    if (x < contour->boxMin.f.x) contour->boxMin.f.x = x;
    if (y < contour->boxMin.f.y) contour->boxMin.f.y = y;
    if (x > contour->boxMax.f.x) contour->boxMax.f.x = x;
    if (y > contour->boxMax.f.y) contour->boxMax.f.y = y;
}

void POLYGON_RemoveVertex(POLYGON_CONTOUR* contour, POLYGON_VNODE* vertex)
{
    POLYGON_Require(contour->count > 1 && vertex->next != vertex);
    vertex->prev->next = vertex->next;
    vertex->next->prev = vertex->prev;
    if (contour->head == vertex)
        contour->head = vertex->next;
    contour->count--;
    POLYGON_Free(vertex);
}

void POLYGON_ReverseContour(POLYGON_CONTOUR* contour)
{
    POLYGON_VNODE* v = contour->head;
    for (uint32_t i = 0; i < contour->count; i++) {
        POLYGON_VNODE* next = v->next;
        v->next = v->prev;
        v->prev = next;
        v = next;
    }
    contour->flags ^= POLYGON_CONTOUR_OUTER;
}

POLYGON_CONTOUR* POLYGON_CopyContour(const POLYGON_CONTOUR* contour)
{
    POLYGON_CONTOUR* c = NewEmptyContour();
    c->flags = contour->flags;
    c->boxMin = contour->boxMin;
    c->boxMax = contour->boxMax;
    try {
        const POLYGON_VNODE* v = contour->head;
        for (uint32_t i = 0; i < contour->count; i++, v = v->next) {
            POLYGON_VNODE* copy = POLYGON_NewVertex();
            copy->flags = v->flags;
            copy->point = v->point;
            POLYGON_AppendVertex(c, copy);
        }
    } catch (...) {
        POLYGON_FreeContour(&c);
        throw;
    }
    return c;
}

POLYGON_AREA* POLYGON_CopyArea(const POLYGON_AREA* area)
{
    if (!area)
        return nullptr;
    POLYGON_AREA* ring = nullptr;
    try {
        const POLYGON_AREA* a = area;
        do {
            POLYGON_AREA* copy = POLYGON_NewArea();
            POLYGON_AppendArea(&ring, copy);
            POLYGON_CONTOUR** tail = &copy->cntr;
            for (const POLYGON_CONTOUR* c = a->cntr; c; c = c->next) {
                *tail = POLYGON_CopyContour(c);
                tail = &(*tail)->next;
            }
            a = a->next;
        } while (a && a != area);
    } catch (...) {
        POLYGON_FreeArea(&ring);
        throw;
    }
    return ring;
}

void POLYGON_FreeContour(POLYGON_CONTOUR** contour)
{
    if (!contour || !*contour)
        return;
    FreeVertices(*contour);
    POLYGON_Free(*contour);
    *contour = nullptr;
}

void POLYGON_FreeContourList(POLYGON_CONTOUR** first)
{
    while (*first) {
        POLYGON_CONTOUR* c = *first;
        *first = c->next;
        POLYGON_FreeContour(&c);
    }
}

void POLYGON_FreeArea(POLYGON_AREA** area)
{
    if (!area || !*area)
        return;
    POLYGON_AREA* start = *area;
    POLYGON_AREA* a = start;
    do {
        POLYGON_AREA* next = a->next;
        FreeOneArea(a);
        a = next;
    } while (a && a != start);
    *area = nullptr;
}

void POLYGON_CheckRing(const POLYGON_CONTOUR* contour, bool grid)
{
    POLYGON_Require(contour->head != nullptr && contour->count >= 1);
    const POLYGON_VNODE* v = contour->head;
    for (uint32_t i = 0; i < contour->count; i++) {
        POLYGON_Require(v->next && v->next->prev == v);
        if (grid)
            POLYGON_Require(POLYGON_InGrid(v->point.g.x) && POLYGON_InGrid(v->point.g.y));
        v = v->next;
    }
    POLYGON_Require(v == contour->head);
}

void POLYGON_CheckGridArea(const POLYGON_AREA* area)
{
    if (!area)
        return;
    const POLYGON_AREA* a = area;
    do {
        POLYGON_Require(a->next && a->next->prev == a && a->cntr);
        // Floyd's two pointers keep a looping contour list from hanging the walk.
        const POLYGON_CONTOUR* slow = a->cntr;
        for (const POLYGON_CONTOUR* c = a->cntr; c; c = c->next) {
            POLYGON_CheckRing(c, true);
            POLYGON_Require(c->count >= 3);
            if (c->next && c->next->next) {
                slow = slow->next;
                POLYGON_Require(slow != c->next->next);
            }
        }
        a = a->next;
    } while (a != area);
}

// ---------------------------------------------------------------------------
// The contour check

int64_t POLYGON_DoubledArea(const POLYGON_CONTOUR* contour)
{
    int64_t s = 0;
    const POLYGON_VNODE* v = contour->head;
    for (uint32_t i = 0; i < contour->count; i++, v = v->next) {
        const POLYGON_IPOINT& p = v->prev->point.g;
        const POLYGON_IPOINT& q = v->point.g;
        s += (int64_t(p.x) - q.x) * (int64_t(p.y) + q.y);
    }
    return s;
}

void POLYGON_UpdateBox(POLYGON_CONTOUR* contour)
{
    ResetGridBox(contour);
    const POLYGON_VNODE* v = contour->head;
    for (uint32_t i = 0; i < contour->count; i++, v = v->next)
        WidenGridBox(contour, v->point.g.x, v->point.g.y);
}

bool POLYGON_CheckContour(POLYGON_CONTOUR* contour)
{
    POLYGON_CheckRing(contour, true);
    // Walk the ring; `kept` counts the vertices right behind the current one
    // known to be corners. Removing a vertex spoils the verdict on both of its
    // neighbours, so the walk steps back to the previous vertex.
    POLYGON_VNODE* v = contour->head;
    uint32_t kept = 0;
    while (contour->count >= 3 && kept < contour->count) {
        if (POLYGON_Cross(v->prev->point.g, v->point.g, v->next->point.g) != 0) {
            kept++;
            v = v->next;
            continue;
        }
        POLYGON_VNODE* back = v->prev;
        bool nextWasKept = kept + 1 >= contour->count;
        POLYGON_RemoveVertex(contour, v);
        if (kept > 0)
            kept--;  // the previous vertex is examined again
        if (nextWasKept && kept > 0)
            kept--;  // and so is the next one, the oldest of the run
        v = back;
    }
    if (contour->count < 3)
        return false;
    int64_t s = POLYGON_DoubledArea(contour);
    if (s == 0)
        return false;
    POLYGON_UpdateBox(contour);
    if (s > 0)
        contour->flags |= POLYGON_CONTOUR_OUTER;
    else
        contour->flags &= ~POLYGON_CONTOUR_OUTER;
    return true;
}

// ---------------------------------------------------------------------------
// Areas

POLYGON_AREA* POLYGON_NewArea()
{
    return static_cast<POLYGON_AREA*>(POLYGON_AllocOrRaise(1, sizeof(POLYGON_AREA)));
}

void POLYGON_AppendArea(POLYGON_AREA** ring, POLYGON_AREA* area)
{
    if (!*ring) {
        area->next = area->prev = area;
        *ring = area;
        return;
    }
    POLYGON_AREA* first = *ring;
    area->next = first;
    area->prev = first->prev;
    first->prev->next = area;
    first->prev = area;
}

void POLYGON_RemoveArea(POLYGON_AREA** ring, POLYGON_AREA* area)
{
    if (area->next == area) {
        *ring = nullptr;
    } else {
        area->prev->next = area->next;
        area->next->prev = area->prev;
        if (*ring == area)
            *ring = area->next;
    }
    FreeOneArea(area);
}

void POLYGON_InsertContour(POLYGON_AREA** area, POLYGON_CONTOUR* contour)
{
    contour->next = nullptr;
    if (POLYGON_IsOuter(contour)) {
        POLYGON_AREA* a = nullptr;
        try {
            a = POLYGON_NewArea();
        } catch (...) {
            POLYGON_FreeContour(&contour);
            throw;
        }
        a->cntr = contour;
        POLYGON_AppendArea(area, a);
        return;
    }
    POLYGON_AREA* owner = *area ? SmallestEnclosingArea(*area, contour) : nullptr;
    if (!owner) {
        POLYGON_FreeContour(&contour);
        POLYGON_Error(POLYGON_ERR_DATA);
    }
    contour->next = owner->cntr->next;
    owner->cntr->next = contour;
}

// ---------------------------------------------------------------------------
// Plain-function entry points

void POLYGON_ApiFreeArea(POLYGON_AREA** area) { POLYGON_FreeArea(area); }

uint32_t POLYGON_TriangleCount(const POLYGON_AREA* area)
{
    if (!area)
        return 0;
    uint32_t total = 0;
    const POLYGON_AREA* a = area;
    do {
        total += a->triangleCount;
        a = a->next;
    } while (a && a != area);
    return total;
}

void POLYGON_GetTriangle(const POLYGON_AREA* area, uint32_t index, double* x0, double* y0, double* x1, double* y1,
                         double* x2, double* y2)
{
    *x0 = *y0 = *x1 = *y1 = *x2 = *y2 = 0.0;
    if (!area)
        return;
    const POLYGON_AREA* a = area;
    do {
        if (index < a->triangleCount) {
            const POLYGON_TRIANGLE& t = a->triangles[index];
            if (!t.v[0] || !t.v[1] || !t.v[2])
                return;
            *x0 = t.v[0]->point.g.x;
            *y0 = t.v[0]->point.g.y;
            *x1 = t.v[1]->point.g.x;
            *y1 = t.v[1]->point.g.y;
            *x2 = t.v[2]->point.g.x;
            *y2 = t.v[2]->point.g.y;
            return;
        }
        index -= a->triangleCount;
        a = a->next;
    } while (a && a != area);
}

// Two corners that coincide reduce a quadrilateral to a triangle, which is
// moved to the first three points (kind 3); a collinear corner gives 0; a real
// quadrilateral 4, or 3 when its last point repeats the first or the third.
void POLYGON_ClassifyQuad(POLYGON_IPOINT* p0, POLYGON_IPOINT* p1, POLYGON_IPOINT* p2, POLYGON_IPOINT* p3,
                          uint16_t* kind)
{
    if (!POLYGON_SamePoint(*p1, *p0) && !POLYGON_SamePoint(*p2, *p1)) {
        if (POLYGON_Cross(*p0, *p1, *p2) == 0)
            *kind = 0;
        else if (POLYGON_SamePoint(*p3, *p0) || POLYGON_SamePoint(*p3, *p2))
            *kind = 3;
        else
            *kind = 4;
        return;
    }
    if (POLYGON_Cross(*p3, *p0, *p2) == 0) {
        *kind = 0;
        return;
    }
    *p1 = *p2;
    *p2 = *p3;
    *kind = 3;
}

void POLYGON_ClearPoints(POLYGON_IPOINT* a, POLYGON_IPOINT* b, POLYGON_IPOINT* c)
{
    *a = *b = *c = POLYGON_IPOINT{0, 0};
}

void POLYGON_DebugPrint(const POLYGON_AREA* area)
{
    LOG_Printf("Polygon:\n");
    int areas = 0;
    const POLYGON_AREA* a = area;
    if (a) {
        do {
            areas++;
            a = a->next;
        } while (a && a != area);
    }
    LOG_Printf("   NumAreas = %d\n", areas);
    a = area;
    for (int i = 0; i < areas; i++, a = a->next) {
        LOG_Printf("   Area:\n");
        int lines = 0;
        for (const POLYGON_CONTOUR* c = a->cntr; c; c = c->next)
            lines++;
        LOG_Printf("     NumLines = %d\n", lines);
        for (const POLYGON_CONTOUR* c = a->cntr; c; c = c->next) {
            LOG_Printf("     Points = %d\n", static_cast<int>(c->count));
            const POLYGON_VNODE* v = c->head;
            for (uint32_t k = 0; k < c->count; k++, v = v->next)
                LOG_Printf("     pt: %d,%d\n", v->point.g.x, v->point.g.y);
        }
    }
}
