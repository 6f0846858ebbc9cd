// SURFMODEL: surface models: the definition file of points and quads, the
// rotation and projection of the points, the filling of the quads into the
// projected-area raster, and the life of the raster buffer that all models share.
#include "simulation/surfmodel.h"
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <strings.h>
#include <utility>
#include <vector>
#include "foundation/iotxt.h"
#include "foundation/log.h"
#include "foundation/memory.h"
#include "foundation/pool.h"

// Set once the raster buffer has been allocated through this module.
static uint32_t s_rasterPrepared = 0;
// Whether projections record their filled triangles for drawing.
static uint32_t s_keepTriangles = 1;

void SURFMODEL_Init()
{
    RASTER_Reset();
    s_rasterPrepared = 0;
    s_keepTriangles = 1;
}

void SURFMODEL_KeepTriangles(uint32_t keep) { s_keepTriangles = keep; }

void SURFMODEL_Cleanup()
{
    if (s_rasterPrepared) RASTER_FreeBuffer();
    s_rasterPrepared = 0;
    RASTER_Done();
}

uint32_t SURFMODEL_PrepareRaster(SURFMODEL*)
{
    if (s_rasterPrepared) return 1;
    if (!RASTER_Init()) return 0;
    s_rasterPrepared = 1;
    return 1;
}

// ---- freeing ----------------------------------------------------------------------------

void SURFMODEL_FreeQuad(SURFMODEL_QUAD* quad)
{
    if (quad) POOL_Free(quad);
}

void SURFMODEL_FreePoint(SURFMODEL_POINT* point)
{
    if (!point) return;
    if (point->name) POOL_Free(point->name);
    POOL_Free(point);
}

static void FreeLists(SURFMODEL_POINT* points, SURFMODEL_QUAD* quads)
{
    while (quads) {
        SURFMODEL_QUAD* next = quads->next;
        SURFMODEL_FreeQuad(quads);
        quads = next;
    }
    while (points) {
        SURFMODEL_POINT* next = points->next;
        SURFMODEL_FreePoint(points);
        points = next;
    }
}

// Gathered records leave with their block; the points' names are their own.
static void FreeGathered(SURFMODEL* model)
{
    for (SURFMODEL_POINT* p = model->points; p; p = p->next)
        if (p->name) POOL_Free(p->name);
    POOL_Free(model->records);
}

void SURFMODEL_Free(SURFMODEL* model)
{
    if (!model) return;
    if (model->records) FreeGathered(model);
    else FreeLists(model->points, model->quads);
    if (model->name) POOL_Free(model->name);
    POOL_Free(model);
    if (s_rasterPrepared) {
        RASTER_FreeBuffer();
        s_rasterPrepared = 0;
    }
}

// ---- reading ------------------------------------------------------------------------------

static uint32_t Fail(const char* format)
{
    LOG_Printf(format, static_cast<int>(IOTXT_GetLineNumber()));
    return 0;
}

SURFMODEL_POINT* SURFMODEL_FindByName(SURFMODEL_POINT* head, const char* name)
{
    for (SURFMODEL_POINT* p = head; p; p = p->next) {
        if (strcasecmp(p->name, name) == 0) return p;
    }
    return nullptr;
}

static uint32_t ReadCoordinates(VEC3* position)
{
    static const char* const messages[] = {
        "SURFACE_MODEL: chybné určení X-ové souřadnice bodu na řádku %d\n",
        "SURFACE_MODEL: chybné určení Y-ové souřadnice bodu na řádku %d\n",
        "SURFACE_MODEL: chybné určení Z-ové souřadnice bodu na řádku %d\n",
    };
    double v[3];
    for (int i = 0; i < 3; ++i) {
        if (!IOTXT_MatchComma()) return Fail("SURFACE_MODEL: očekává se čárka a souřadnice bodu na řádku %d\n");
        if (!IOTXT_ReadLength(&v[i])) return Fail(messages[i]);
    }
    if (!IOTXT_IsEndOfLine())
        return Fail("SURFACE_MODEL: za souřadnicemi bodu se očekává konec řádku na řádku %d.\n");
    *position = VEC3{v[0], v[1], v[2]};
    return 1;
}

// `point "<name>", x, y, z`: the point goes to the head of the list.
static uint32_t ReadPoint(SURFMODEL_POINT** points)
{
    MEMORY_SetTag("SURFACE_MODEL:point name");
    char* name = IOTXT_ReadQuotedString();
    if (!name) return Fail("SURFACE_MODEL: očekává se název bodu povrchového modelu na řádce %d\n");
    VEC3 position;
    if (!ReadCoordinates(&position)) {
        POOL_Free(name);
        return 0;
    }
    MEMORY_SetTag("SURFACE_MODEL:point struct");
    SURFMODEL_POINT* point = static_cast<SURFMODEL_POINT*>(POOL_Alloc(sizeof(SURFMODEL_POINT) + 1));
    if (!point) {
        POOL_Free(name);
        LOG_Printf("SURFACE_MODEL: nedostatek paměti pro bod.\n");
        return 0;
    }
    memset(static_cast<void*>(point), 0, sizeof(SURFMODEL_POINT));
    point->name = name;
    point->position = position;
    point->next = *points;
    *points = point;
    return 1;
}

// One corner name of a quad, looked up among the points read so far.
static SURFMODEL_POINT* ReadCorner(int index, SURFMODEL_POINT* points)
{
    static const char* const commaMessages[] = {
        "",
        "SURFACE_MODEL: očekává se čárka a název druhého bodu QUADU bodu na řádku %d\n",
        "SURFACE_MODEL: očekává se čárka a název třetího bodu QUADU bodu na řádku %d\n",
        "SURFACE_MODEL: očekává se čárka a název čtvrtého bodu QUADU bodu na řádku %d\n",
    };
    static const char* const nameMessages[] = {
        "SURFACE_MODEL: očekává se název prvního bodu QUADU na řádce %d\n",
        "SURFACE_MODEL: očekává se název druhého bodu QUADU na řádce %d\n",
        "SURFACE_MODEL: očekává se název třetího bodu QUADU na řádce %d\n",
        "SURFACE_MODEL: očekává se název čtvrtého bodu QUADU na řádce %d\n",
    };
    if (index > 0 && !IOTXT_MatchComma()) {
        Fail(commaMessages[index]);
        return nullptr;
    }
    MEMORY_SetTag("SURFACE_MODEL:quad point name");
    char* name = IOTXT_ReadQuotedString();
    if (!name) {
        Fail(nameMessages[index]);
        return nullptr;
    }
    SURFMODEL_POINT* point = SURFMODEL_FindByName(points, name);
    if (!point)
        LOG_Printf("SURFACE_MODEL: bod jménem \"%s\" nebyl definován na řádce %d\n", name,
                   static_cast<int>(IOTXT_GetLineNumber()));
    POOL_Free(name);
    return point;
}

// `quad "<p1>", "<p2>", "<p3>", "<p4>"`; the rest of the line is not read.
static uint32_t ReadQuad(SURFMODEL_POINT* points, SURFMODEL_QUAD** quads)
{
    SURFMODEL_POINT* corners[4];
    for (int i = 0; i < 4; ++i) {
        corners[i] = ReadCorner(i, points);
        if (!corners[i]) return 0;
    }
    MEMORY_SetTag("SURFACE_MODEL:quad struct");
    SURFMODEL_QUAD* quad = static_cast<SURFMODEL_QUAD*>(POOL_Alloc(sizeof(SURFMODEL_QUAD) + 1));
    if (!quad) {
        LOG_Printf("SURFACE_MODEL: Nedostatek paměti pro vytvoření objektu povrchového modelu.\n");
        return 0;
    }
    memset(static_cast<void*>(quad), 0, sizeof(SURFMODEL_QUAD));
    quad->kind = SURFMODEL_QUAD_KIND_QUAD;
    memcpy(quad->corners, corners, sizeof corners);
    quad->next = *quads;
    *quads = quad;
    return 1;
}

static uint32_t ReadLines(SURFMODEL_POINT** points, SURFMODEL_QUAD** quads)
{
    while (IOTXT_NextLine()) {
        uint32_t ok;
        if (IOTXT_MatchWord("point")) ok = ReadPoint(points);
        else if (IOTXT_MatchWord("quad")) ok = ReadQuad(*points, quads);
        else ok = Fail("SURFMODEL: neznámé slovo v definici modelu povrchuna řádku %d.\n");
        if (!ok) return 0;
    }
    return 1;
}

// ---- gathering -------------------------------------------------------------------------------

// The points and quads are read one by one, each record in the heap between
// names and allocation records of its own. A projection walks them all, and
// with many satellites every record was a cache miss of its own, waited for
// before the next could be found. Once the model is read they are moved, in
// list order, into one block; the lists and the corners then point into it.
// Without the memory for the block the records stay where they are.

// The new place of each point, looked up by its old address.
using POINT_MOVES = std::vector<std::pair<uintptr_t, SURFMODEL_POINT*>>;

static SURFMODEL_POINT* MovePoints(SURFMODEL_POINT* from, SURFMODEL_POINT* to, POINT_MOVES* moves)
{
    SURFMODEL_POINT* head = from ? to : nullptr;
    while (from) {
        SURFMODEL_POINT* next = from->next;
        *to = *from;
        to->next = next ? to + 1 : nullptr;
        moves->emplace_back(reinterpret_cast<uintptr_t>(from), to);
        POOL_Free(from);   // its name now belongs to the moved point
        from = next;
        ++to;
    }
    std::sort(moves->begin(), moves->end());
    return head;
}

static SURFMODEL_POINT* MovedPoint(const POINT_MOVES& moves, const SURFMODEL_POINT* old)
{
    uintptr_t address = reinterpret_cast<uintptr_t>(old);
    auto it = std::lower_bound(moves.begin(), moves.end(), address,
                               [](const auto& move, uintptr_t a) { return move.first < a; });
    return it != moves.end() && it->first == address ? it->second : nullptr;
}

static SURFMODEL_QUAD* MoveQuads(SURFMODEL_QUAD* from, SURFMODEL_QUAD* to, const POINT_MOVES& moves)
{
    SURFMODEL_QUAD* head = from ? to : nullptr;
    while (from) {
        SURFMODEL_QUAD* next = from->next;
        *to = *from;
        for (SURFMODEL_POINT*& corner : to->corners) corner = MovedPoint(moves, corner);
        to->next = next ? to + 1 : nullptr;
        SURFMODEL_FreeQuad(from);
        from = next;
        ++to;
    }
    return head;
}

static void GatherRecords(SURFMODEL* model)
{
    size_t pointCount = 0, quadCount = 0;
    for (const SURFMODEL_POINT* p = model->points; p; p = p->next) ++pointCount;
    for (const SURFMODEL_QUAD* q = model->quads; q; q = q->next) ++quadCount;
    size_t size = pointCount * sizeof(SURFMODEL_POINT) + quadCount * sizeof(SURFMODEL_QUAD);
    if (size == 0 || size >= 0xFFFFFFFFu) return;
    POINT_MOVES moves;
    moves.reserve(pointCount);
    MEMORY_SetTag("SURFACE_MODEL:points and quads");
    auto* block = static_cast<uint8_t*>(POOL_Alloc(static_cast<uint32_t>(size + 1)));
    if (!block) return;
    auto* points = reinterpret_cast<SURFMODEL_POINT*>(block);
    auto* quads = reinterpret_cast<SURFMODEL_QUAD*>(block + pointCount * sizeof(SURFMODEL_POINT));
    model->points = MovePoints(model->points, points, &moves);
    model->quads = MoveQuads(model->quads, quads, moves);
    model->records = block;
}

static SURFMODEL* CreateModel(char* name, SURFMODEL_POINT* points, SURFMODEL_QUAD* quads)
{
    MEMORY_SetTag("SURFMODEL-objekt");
    SURFMODEL* model = static_cast<SURFMODEL*>(POOL_Alloc(sizeof(SURFMODEL) + 1));
    if (!model) {
        Fail("SURFMODEL: nedostatek paměti pro model povrchuna řádku %d.\n");
        return nullptr;
    }
    memset(static_cast<void*>(model), 0, sizeof(SURFMODEL));
    model->name = name;
    model->points = points;
    model->quads = quads;
    GatherRecords(model);
    return model;
}

// Opens the definition file named by `, "<file>"` at the end of the line; the
// name is released as soon as the file is open.
static uint32_t OpenDefinitionFile()
{
    if (!IOTXT_MatchComma()) return Fail("SURFMODEL: za názvem modelu se očekává čárka na řádku %d.\n");
    MEMORY_SetTag("SURFMODEL-filename");
    char* fileName = IOTXT_ReadQuotedString();
    if (!fileName) return Fail("SURFACE_MODEL: očekává se název souboru s definicí povrchového modelu na řádku %d.\n");
    uint32_t opened = 0;
    if (!IOTXT_IsEndOfLine()) {
        Fail("SURFACE_MODEL: za názvem souboru se očekává konec řádku na řádku %d.\n");
    } else if (!IOTXT_OpenFile(fileName)) {
        LOG_Printf("SURFACE_MODEL: souboru \"%s\" s definicí povrchového modelu nebyl nalezen na řádku %d.\n", fileName,
                   static_cast<int>(IOTXT_GetLineNumber()));
    } else {
        opened = 1;
    }
    POOL_Free(fileName);
    return opened;
}

uint32_t SURFMODEL_ParseDefinition(SURFMODEL** model)
{
    *model = nullptr;
    if (!IOTXT_MatchEquals()) return Fail("SURFMODEL: očekává se rovnítko a název modelu na řádku %d.\n");
    MEMORY_SetTag("SURFMODEL-name");
    char* name = IOTXT_ReadQuotedString();
    if (!name) return Fail("MASSMODEL: očekává se název modelu povrchu na řádku %d.\n");
    if (!OpenDefinitionFile()) {
        POOL_Free(name);
        return 0;
    }
    SURFMODEL_POINT* points = nullptr;
    SURFMODEL_QUAD* quads = nullptr;
    if (ReadLines(&points, &quads)) *model = CreateModel(name, points, quads);
    IOTXT_CloseFile();
    if (*model) return 1;
    FreeLists(points, quads);
    POOL_Free(name);
    return 0;
}

// ---- projection -----------------------------------------------------------------------------

void SURFMODEL_TransformPoints(SURFMODEL* model, const MAT33* rotation)
{
    for (SURFMODEL_POINT* p = model->points; p; p = p->next) MAT_MulVectorTo(rotation, &p->position, &p->rotated);
}

void SURFMODEL_ProjectPoints(SURFMODEL* model, VEC3 direction)
{
    VEC_Normalize(&direction);
    for (SURFMODEL_POINT* p = model->points; p; p = p->next) VEC_RemoveComponent(&p->rotated, &direction, &p->projected);
}

void SURFMODEL_SetupRaster(SURFMODEL* model, const VEC3* u, const VEC3* v)
{
    double minX = 1e300, minY = 1e300, maxX = -1e300, maxY = -1e300;
    for (SURFMODEL_QUAD* q = model->quads; q; q = q->next) {
        if (q->kind != SURFMODEL_QUAD_KIND_QUAD) continue;
        for (int i = 0; i < 4; ++i) {
            double x = VEC_Dot(&q->corners[i]->projected, u), y = VEC_Dot(&q->corners[i]->projected, v);
            q->plane[i] = RASTER_POINT{x, y};
            if (!std::isfinite(x) || !std::isfinite(y)) continue;  // such a quad is not filled
            minX = std::min(minX, x);
            maxX = std::max(maxX, x);
            minY = std::min(minY, y);
            maxY = std::max(maxY, y);
        }
    }
    RASTER_Clear();
    if (s_keepTriangles) RASTER_StartRecording();
    RASTER_SetRangeX(minX, maxX);
    RASTER_SetRangeY(minY, maxY);
}

static bool IsFinite(const RASTER_POINT plane[4])
{
    for (int i = 0; i < 4; ++i)
        if (!std::isfinite(plane[i].x) || !std::isfinite(plane[i].y)) return false;
    return true;
}

// A quad with a corner that is not a finite number (an attitude gone wrong)
// covers nothing rather than a pixel at the edge of the raster.
void SURFMODEL_RasterizeProjection(SURFMODEL* model, const MAT33* rotation, const VEC3* direction, const VEC3* u,
                                   const VEC3* v)
{
    SURFMODEL_TransformPoints(model, rotation);
    SURFMODEL_ProjectPoints(model, *direction);
    SURFMODEL_SetupRaster(model, u, v);
    for (SURFMODEL_QUAD* q = model->quads; q; q = q->next) {
        if (q->kind == SURFMODEL_QUAD_KIND_QUAD && IsFinite(q->plane)) RASTER_AddQuad(q->plane);
    }
}
