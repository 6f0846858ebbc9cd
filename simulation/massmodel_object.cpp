// MASSOBJECT: one mass element of a mass model: its entry in the definition
// file, its centre and its inertia tensor, sampled as a grid of point masses.
#include <cstring>
#include "foundation/iotxt.h"
#include "foundation/log.h"
#include "foundation/memory.h"
#include "foundation/pool.h"
#include "simulation/massmodel.h"

// The point about which element tensors are taken: the centre of mass of the
// model whose elements are being evaluated.
static VEC3 s_referencePoint = {0.0, 0.0, 0.0};

static const char* const kKindNames[] = {"", "POINT", "LINE", "PLATE", "BLOCK"};
static const char* const kKindTags[] = {"", "MASSOBJECT-point", "MASSOBJECT-line", "MASSOBJECT-plate",
                                        "MASSOBJECT-block"};
static const char* const kPointWords[] = {"A", "B", "C", "D"};
static const char* const kOrdinals[] = {"první", "druhý", "třetí", "čtvrtý"};

// Edges shorter than this are degenerate for the inertia.
static constexpr double kShortestEdge = 0.0003;
static constexpr double kShortestStep = 1e-4;
static constexpr double kZeroMassReplacement = 1e-6;

void MASSOBJECT_Init() {}
void MASSOBJECT_Done() {}

// ---- reading -------------------------------------------------------------------

struct MASSOBJECT_DRAFT {
    uint32_t kind;
    VEC3 points[4];
    uint32_t pointGiven[4];
    double mass;
    uint32_t massGiven;
};

static uint32_t Fail(const char* format)
{
    LOG_Printf(format, static_cast<int>(IOTXT_GetLineNumber()));
    return 0;
}

// A coordinate failure names the missing piece, then that three were expected.
static uint32_t CoordinateFail(const char* format)
{
    Fail(format);
    return Fail("MASSOBJECT: očekávám tři souřadnice bodu na řádku %d\n");
}

static uint32_t ExpectEndOfLine()
{
    if (IOTXT_IsEndOfLine()) return 1;
    return Fail("MASSOBJECT: očekávám konec řádky na řádku %d\n");
}

static uint32_t ReadPointLine(VEC3* point)
{
    static const char* const componentMessages[] = {
        "MASSOBJECT: očekávám X-ovou složku na řádku %d\n",
        "MASSOBJECT: očekávám Y-ovou složku na řádku %d\n",
        "MASSOBJECT: očekávám Z-ovou složku na řádku %d\n",
    };
    static const char* const commaMessages[] = {
        "MASSOBJECT: očekávám čárku za X-ovou složkou na řádku %d\n",
        "MASSOBJECT: očekávám čárku za Y-ovou složkou na řádku %d\n",
    };
    if (!IOTXT_MatchEquals()) return Fail("MASSOBJECT: očekávám rovnítko na řádku %d\n");
    double v[3];
    for (int i = 0; i < 3; ++i) {
        if (i > 0 && !IOTXT_MatchComma()) return CoordinateFail(commaMessages[i - 1]);
        if (!IOTXT_ReadLength(&v[i])) return CoordinateFail(componentMessages[i]);
    }
    if (!ExpectEndOfLine()) return 0;
    *point = VEC3{v[0], v[1], v[2]};
    return 1;
}

static uint32_t ReadMassLine(double* mass)
{
    if (!IOTXT_MatchEquals()) return Fail("MASSOBJECT: očekávám rovnítko na řádku %d\n");
    double m;
    if (!IOTXT_ReadMass(&m)) return Fail("MASSOBJECT: chybně zadaná hmotnost na řádku %d\n");
    if (!ExpectEndOfLine()) return 0;
    // A zero mass would leave the element without weight in the averages.
    *mass = MATH_ApproxEqual(m, 0.0) ? kZeroMassReplacement : m;
    return 1;
}

static uint32_t ReadKeyLine(MASSOBJECT_DRAFT* draft)
{
    uint32_t count = draft->kind;  // POINT has one point, LINE two, PLATE three, BLOCK four
    for (uint32_t i = 0; i < count; ++i) {
        if (!IOTXT_MatchWord(kPointWords[i])) continue;
        if (!ReadPointLine(&draft->points[i])) return 0;
        draft->pointGiven[i] = 1;
        return 1;
    }
    if (IOTXT_MatchWord("MASS")) {
        if (!ReadMassLine(&draft->mass)) return 0;
        draft->massGiven = 1;
        return 1;
    }
    LOG_Printf("MASSOBJECT: Neznámé slovo v definici prvku %s na řádku %d\n", kKindNames[draft->kind],
               static_cast<int>(IOTXT_GetLineNumber()));
    return 0;
}

static uint32_t CheckComplete(const MASSOBJECT_DRAFT* draft)
{
    for (uint32_t i = 0; i < draft->kind; ++i) {
        if (draft->pointGiven[i]) continue;
        LOG_Printf("MASSOBJECT: nebyl určen %s bod prvku %s na řádku %d.\n", kOrdinals[i], kKindNames[draft->kind],
                   static_cast<int>(IOTXT_GetLineNumber()));
        return 0;
    }
    if (draft->massGiven) return 1;
    LOG_Printf("MASSOBJECT: nebyla určena hmotnost prvku %s na řádku %d.\n", kKindNames[draft->kind],
               static_cast<int>(IOTXT_GetLineNumber()));
    return 0;
}

// The element's lines up to its "end".
static uint32_t ReadBody(MASSOBJECT_DRAFT* draft)
{
    for (;;) {
        if (!IOTXT_NextLine()) return Fail("MASSOBJECT: Definice hmotného prvku není ukončena na řádku %d\n");
        if (IOTXT_MatchWord("end")) {
            if (!IOTXT_IsEndOfLine()) return Fail("MASSOBJECT: za slovem END očekávám konec řádky na řádku %d\n");
            return CheckComplete(draft);
        }
        if (!ReadKeyLine(draft)) return 0;
    }
}

static uint32_t ReadHeader(MASSOBJECT_DRAFT* draft)
{
    if (!IOTXT_MatchComma()) return Fail("MASSOBJECT: za názvem hmotného prvku očekávám čárku na řádku %d\n");
    for (uint32_t kind = MASSOBJECT_POINT; kind <= MASSOBJECT_BLOCK; ++kind) {
        if (!IOTXT_MatchWord(kKindNames[kind])) continue;
        draft->kind = kind;
        if (!IOTXT_IsEndOfLine()) return Fail("MASSOBJECT: Očekávám konec řádky na řádku %d\n");
        return 1;
    }
    return Fail("MASSOBJECT: Neznámý druh hmotného prvku na řádku %d\n");
}

static MASSOBJECT* CreateObject(const MASSOBJECT_DRAFT* draft, char* name)
{
    MEMORY_SetTag(kKindTags[draft->kind]);
    MASSOBJECT* object = static_cast<MASSOBJECT*>(POOL_Alloc(sizeof(MASSOBJECT) + 1));
    if (!object) {
        LOG_Printf("MASSOBJECT - nedostatek paměti.\n");
        return nullptr;
    }
    memset(static_cast<void*>(object), 0, sizeof(MASSOBJECT));
    object->name = name;
    object->kind = draft->kind;
    object->mass = draft->mass;
    VEC3* points[] = {&object->a, &object->b, &object->c, &object->d};
    for (uint32_t i = 0; i < draft->kind; ++i) *points[i] = draft->points[i];
    return object;
}

MASSOBJECT* MASSOBJECT_Load()
{
    MEMORY_SetTag("MASSOBJECT-name");
    char* name = IOTXT_ReadQuotedString();
    if (!name) {
        Fail("MASSOBJECT: očekává se název hmotného prvku na řádku %d\n");
        return nullptr;
    }
    MASSOBJECT_DRAFT draft{};
    MASSOBJECT* object = nullptr;
    if (ReadHeader(&draft) && ReadBody(&draft)) object = CreateObject(&draft, name);
    if (!object) POOL_Free(name);
    return object;
}

void MASSOBJECT_Free(MASSOBJECT* object)
{
    if (!object) return;
    if (object->name) POOL_Free(object->name);
    POOL_Free(object);
}

// ---- geometry ------------------------------------------------------------------

static VEC3 Sum(const VEC3& a, const VEC3& b) { return VEC3{a.x + b.x, a.y + b.y, a.z + b.z}; }
static VEC3 Difference(const VEC3& a, const VEC3& b) { return VEC3{a.x - b.x, a.y - b.y, a.z - b.z}; }
static VEC3 Scaled(const VEC3& a, double k) { return VEC3{a.x * k, a.y * k, a.z * k}; }

void MASSOBJECT_ComputeCog(MASSOBJECT* o)
{
    if (o->cogComputed) return;
    switch (o->kind) {
    case MASSOBJECT_POINT: o->cog = o->a; break;
    case MASSOBJECT_LINE: o->cog = Scaled(Sum(o->a, o->b), 0.5); break;
    case MASSOBJECT_PLATE: o->cog = Scaled(Sum(o->b, o->c), 0.5); break;
    case MASSOBJECT_BLOCK: o->cog = Scaled(Difference(Sum(Sum(o->b, o->c), o->d), o->a), 0.5); break;
    default: VEC_Zero(&o->cog); break;
    }
    o->cogComputed = 1;
}

void MASSOBJECT_SetReferencePoint(double x, double y, double z) { s_referencePoint = VEC3{x, y, z}; }

uint32_t MASSOBJECT_IsTooShort(const VEC3* from, const VEC3* to)
{
    return VEC_Distance(from, to) < kShortestEdge ? 1 : 0;
}

void MASSOBJECT_AddPointMass(MAT33* inertia, double mass, const VEC3* p)
{
    double x = p->x - s_referencePoint.x, y = p->y - s_referencePoint.y, z = p->z - s_referencePoint.z;
    double* m = inertia->m;
    m[0] += mass * (y * y + z * z);
    m[4] += mass * (x * x + z * z);
    m[8] += mass * (x * x + y * y);
    m[1] -= mass * x * y;
    m[3] -= mass * x * y;
    m[2] -= mass * x * z;
    m[6] -= mass * x * z;
    m[5] -= mass * y * z;
    m[7] -= mass * y * z;
}

// Samples along an edge of the given length: the step is a divisor-th of the
// length but at least 0.1 mm, and the count is the length over the step,
// truncated; the grid includes both end points. Where the step is a divisor-th
// of the length the count is the divisor itself: dividing the length by its own
// fraction can fall a rounding short of it (0.05 / 0.0005 gives 99.999...).
static uint32_t SampleCount(double length, double divisor)
{
    double step = length / divisor;
    if (step >= kShortestStep) return static_cast<uint32_t>(divisor);
    uint32_t n = static_cast<uint32_t>(length / kShortestStep);
    return n < 1 ? 1 : n;
}

// The spacing of n samples spread from the edge's start to its end.
static VEC3 SampleSpacing(const VEC3& edge, uint32_t n)
{
    return n > 1 ? Scaled(edge, 1.0 / static_cast<double>(n - 1)) : VEC3{0.0, 0.0, 0.0};
}

void MASSOBJECT_AddLineMass(MAT33* inertia, double mass, const VEC3* p, const VEC3* q)
{
    double length = VEC_Distance(p, q);
    uint32_t n = length < 2.0 * kShortestStep ? 1 : SampleCount(length, 100.0);
    if (n <= 2) {
        MASSOBJECT_AddPointMass(inertia, mass, p);
        return;
    }
    VEC3 step = SampleSpacing(Difference(*q, *p), n);
    double share = mass / n;
    for (uint32_t k = 0; k < n; ++k) {
        VEC3 point = Sum(*p, Scaled(step, k));
        MASSOBJECT_AddPointMass(inertia, share, &point);
    }
}

void MASSOBJECT_AddPlateMass(MAT33* inertia, double mass, const VEC3* p, const VEC3* q, const VEC3* r)
{
    VEC3 edgeQ = Difference(*q, *p), edgeR = Difference(*r, *p);
    uint32_t nQ = SampleCount(VEC_Length(&edgeQ), 100.0), nR = SampleCount(VEC_Length(&edgeR), 100.0);
    VEC3 stepQ = SampleSpacing(edgeQ, nQ), stepR = SampleSpacing(edgeR, nR);
    double share = mass / (static_cast<double>(nQ) * nR);
    for (uint32_t i = 0; i < nQ; ++i) {
        VEC3 row = Sum(*p, Scaled(stepQ, i));
        for (uint32_t j = 0; j < nR; ++j) {
            VEC3 point = Sum(row, Scaled(stepR, j));
            MASSOBJECT_AddPointMass(inertia, share, &point);
        }
    }
}

void MASSOBJECT_AddBlockMass(MAT33* inertia, double mass, const VEC3* p, const VEC3* q, const VEC3* r,
                             const VEC3* s)
{
    VEC3 edgeQ = Difference(*q, *p), edgeR = Difference(*r, *p), edgeS = Difference(*s, *p);
    uint32_t nQ = SampleCount(VEC_Length(&edgeQ), 50.0), nR = SampleCount(VEC_Length(&edgeR), 50.0),
             nS = SampleCount(VEC_Length(&edgeS), 50.0);
    VEC3 stepQ = SampleSpacing(edgeQ, nQ), stepR = SampleSpacing(edgeR, nR), stepS = SampleSpacing(edgeS, nS);
    double share = mass / (static_cast<double>(nQ) * nR * nS);
    for (uint32_t i = 0; i < nQ; ++i) {
        VEC3 plane = Sum(*p, Scaled(stepQ, i));
        for (uint32_t j = 0; j < nR; ++j) {
            VEC3 row = Sum(plane, Scaled(stepR, j));
            for (uint32_t k = 0; k < nS; ++k) {
                VEC3 point = Sum(row, Scaled(stepS, k));
                MASSOBJECT_AddPointMass(inertia, share, &point);
            }
        }
    }
}

// ---- element tensors -------------------------------------------------------------

static void Warn(const char* format, const MASSOBJECT* o) { LOG_Printf(format, o->name ? o->name : ""); }

static void LineInertia(MASSOBJECT* o, MAT33* t)
{
    if (!MASSOBJECT_IsTooShort(&o->a, &o->b)) {
        MASSOBJECT_AddLineMass(t, o->mass, &o->a, &o->b);
        return;
    }
    Warn("MASSOBJECT: Varování: objekt \"%s\" typu LINE je příliš malý, pro tenzor setrvačnosti se počítá jako POINT.\n",
         o);
    MASSOBJECT_AddPointMass(t, o->mass, &o->a);
}

static void PlateInertia(MASSOBJECT* o, MAT33* t)
{
    bool ab = MASSOBJECT_IsTooShort(&o->a, &o->b), ac = MASSOBJECT_IsTooShort(&o->a, &o->c);
    if (!ab && !ac) {
        MASSOBJECT_AddPlateMass(t, o->mass, &o->a, &o->b, &o->c);
    } else if (!ab) {
        Warn("MASSOBJECT: Varování: objekt \"%s\" typu PLATE je příliš úzký (AC), pro tenzor setrvačnosti se počítá jako LINE.\n",
             o);
        MASSOBJECT_AddLineMass(t, o->mass, &o->a, &o->b);
    } else if (!ac) {
        Warn("MASSOBJECT: Varování: objekt \"%s\" typu PLATE je příliš úzký (AB), pro tenzor setrvačnosti se počítá jako LINE.\n",
             o);
        MASSOBJECT_AddLineMass(t, o->mass, &o->a, &o->c);
    } else {
        Warn("MASSOBJECT: Varování: objekt \"%s\" typu PLATE je příliš malý, pro tenzor setrvačnosti se počítá jako POINT.\n",
             o);
        MASSOBJECT_AddPointMass(t, o->mass, &o->a);
    }
}

// A block with degenerate edges is evaluated as the plate, line or point that
// its remaining edges span.
static void BlockInertia(MASSOBJECT* o, MAT33* t)
{
    uint32_t shortEdges = (MASSOBJECT_IsTooShort(&o->a, &o->b) ? 4u : 0u) |
                          (MASSOBJECT_IsTooShort(&o->a, &o->c) ? 2u : 0u) |
                          (MASSOBJECT_IsTooShort(&o->a, &o->d) ? 1u : 0u);
    switch (shortEdges) {
    case 0: MASSOBJECT_AddBlockMass(t, o->mass, &o->a, &o->b, &o->c, &o->d); return;
    case 1:
        Warn("MASSOBJECT: Varování: objekt \"%s\" typu BLOCK je příliš plochý (AD), pro tenzor setrvačnosti se počítá jako PLATE.\n",
             o);
        MASSOBJECT_AddPlateMass(t, o->mass, &o->a, &o->b, &o->c);
        return;
    case 2:
        Warn("MASSOBJECT: Varování: objekt \"%s\" typu BLOCK je příliš plochý (AC), pro tenzor setrvačnosti se počítá jako PLATE.\n",
             o);
        MASSOBJECT_AddPlateMass(t, o->mass, &o->a, &o->b, &o->d);
        return;
    case 3:
        Warn("MASSOBJECT: Varování: objekt \"%s\" typu PLATE je příliš tenký (ACD), pro tenzor setrvačnosti se počítá jako LINE.\n",
             o);
        MASSOBJECT_AddLineMass(t, o->mass, &o->a, &o->b);
        return;
    case 4:
        Warn("MASSOBJECT: Varování: objekt \"%s\" typu BLOCK je příliš plochý (AB), pro tenzor setrvačnosti se počítá jako PLATE.\n",
             o);
        MASSOBJECT_AddPlateMass(t, o->mass, &o->a, &o->c, &o->d);
        return;
    case 5:
        Warn("MASSOBJECT: Varování: objekt \"%s\" typu PLATE je příliš tenký (ABD), pro tenzor setrvačnosti se počítá jako LINE.\n",
             o);
        MASSOBJECT_AddLineMass(t, o->mass, &o->a, &o->c);
        return;
    case 6:
        Warn("MASSOBJECT: Varování: objekt \"%s\" typu PLATE je příliš tenký (ABC), pro tenzor setrvačnosti se počítá jako LINE.\n",
             o);
        MASSOBJECT_AddLineMass(t, o->mass, &o->a, &o->d);
        return;
    default:
        Warn("MASSOBJECT: Varování: objekt \"%s\" typu PLATE je příliš malý, pro tenzor setrvačnosti se počítá jako POINT.\n",
             o);
        MASSOBJECT_AddPointMass(t, o->mass, &o->a);
        return;
    }
}

void MASSOBJECT_ComputeInertia(MASSOBJECT* o)
{
    if (o->inertiaComputed) return;
    MAT33 t{};
    switch (o->kind) {
    case MASSOBJECT_POINT: MASSOBJECT_AddPointMass(&t, o->mass, &o->a); break;
    case MASSOBJECT_LINE: LineInertia(o, &t); break;
    case MASSOBJECT_PLATE: PlateInertia(o, &t); break;
    case MASSOBJECT_BLOCK: BlockInertia(o, &t); break;
    default: break;
    }
    o->inertia = t;
    o->inertiaComputed = 1;
}
