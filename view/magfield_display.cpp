// MAGFIELD field display data: a small state machine that evaluates the field
// model over the grid and along the field lines, one evaluation per step, run
// to its end at once, or at the first use of the display for the date the run
// start asked for.
#include "view/magfield_display.h"
#include <cmath>
#include <cstring>
#include <memory>
#include "foundation/constants.h"
#include "foundation/log.h"
#include "foundation/memory.h"
#include "foundation/pool.h"
#include "foundation/time.h"
#include "models/magfield.h"

namespace {

constexpr double kEarthRadiusKm = CONST_EARTH_RADIUS_KM;
constexpr double kLineEndKm = 31890.675;          // five Earth radii
constexpr double kGridFieldKm = 600.0;            // 60000 nT give 600 km
constexpr double kTraceStepKm = 300.0;            // 60000 nT give a step of 300 km
constexpr double kFieldUnitNt = 60000.0;

const double kLatitudes[MAGFIELD_GRID_LATITUDES] = {-89, -85, -80, -70, -60, -50, -40, -30, -20, -10, 0,
                                                    10,  20,  30,  40,  50,  60,  70,  80,  85,  89};

const float kLineStarts[MAGFIELD_LINE_COUNT][3] = {
    {0.9238795f, 0.2705981f, 0.2705981f},   {0.2705981f, 0.2705981f, 0.9238795f},
    {0.5773503f, 0.5773503f, 0.5773503f},   {0.2705981f, 0.9238795f, 0.2705981f},
    {-0.2705981f, 0.9238795f, 0.2705981f},  {-0.2705981f, 0.2705981f, 0.9238795f},
    {-0.5773503f, 0.5773503f, 0.5773503f},  {-0.9238795f, 0.2705981f, 0.2705981f},
    {-0.9238795f, -0.2705981f, 0.2705981f}, {-0.2705981f, -0.2705981f, 0.9238795f},
    {-0.5773503f, -0.5773503f, 0.5773503f}, {-0.2705981f, -0.9238795f, 0.2705981f},
    {0.2705981f, -0.9238795f, 0.2705981f},  {0.2705981f, -0.2705981f, 0.9238795f},
    {0.5773503f, -0.5773503f, 0.5773503f},  {0.9238795f, -0.2705981f, 0.2705981f},
    {0.9238795f, 0.2705981f, -0.2705981f},  {0.2705981f, 0.9238795f, -0.2705981f},
    {0.5773503f, 0.5773503f, -0.5773503f},  {0.2705981f, 0.2705981f, -0.9238795f},
    {-0.2705981f, 0.9238795f, -0.2705981f}, {-0.9238795f, 0.2705981f, -0.2705981f},
    {-0.5773503f, 0.5773503f, -0.5773503f}, {-0.2705981f, 0.2705981f, -0.9238795f},
    {-0.9238795f, -0.2705981f, -0.2705981f}, {-0.2705981f, -0.9238795f, -0.2705981f},
    {-0.5773503f, -0.5773503f, -0.5773503f}, {-0.2705981f, -0.2705981f, -0.9238795f},
    {0.2705981f, -0.9238795f, -0.2705981f}, {0.9238795f, -0.2705981f, -0.2705981f},
    {0.5773503f, -0.5773503f, -0.5773503f}, {0.2705981f, -0.2705981f, -0.9238795f},
};

enum MAGFIELD_SENSE : uint32_t { SENSE_OPEN = 0, SENSE_WITH = 1, SENSE_AGAINST = 2 };

struct MAGFIELD_TRACE {
    VEC3 points[MAGFIELD_LINE_MAX_POINTS];
    uint16_t count;
    VEC3 p;
    double longitude;
    double latitude;
    double height;          // metres
    double distance;        // km x k from the centre
    uint32_t sense;
    uint32_t steps;
};

struct MAGFIELD_DISPLAY {
    MAGFIELD_SEGMENT grid[MAGFIELD_GRID_LATITUDES][MAGFIELD_GRID_LONGITUDES];
    MAGFIELD_LINE lines[MAGFIELD_LINE_COUNT];
    MAGFIELD_TRACE trace;
    uint32_t height;
    double k;
    float year;
    MAT33 b0;
    uint32_t counter;
    uint32_t state;
    uint32_t done;
    uint32_t requested;     // asked for by the run start, not yet computed
    uint32_t latIndex;
    uint32_t lonIndex;
    uint32_t lineIndex;
};

MAGFIELD_DISPLAY g_md{};
std::unique_ptr<PLAT_LOCK> g_lock;

float DecimalYear()
{
    SYSTEMTIME st{};
    TIME_MsToSystemTime(g_simClock.clock, &st);
    return (float)(st.wYear + ((st.wMonth - 1) * 30.5 + st.wDay - 1) / 365.25);
}

// The field at a point, turned to the Earth-fixed frame and scaled to the
// length |B| / 60000 x lengthKm x k.
VEC3 FieldVector(double latitude, double longitude, double height, double lengthKm)
{
    float n, e, d;
    MAGFIELD_WmmFieldAt((float)(latitude * CONST_RAD_TO_DEG), (float)(longitude * CONST_RAD_TO_DEG), (float)height,
                        g_md.year, &n, &e, &d);
    g_md.counter++;
    double f = lengthKm * g_md.k / kFieldUnitNt;
    VEC3 v{n * f, e * f, d * f};
    MAT33 m;
    MAGFIELD_LocalToEarthFixed(latitude, longitude, &m);
    MAT_MulVector(&m, &v);
    return v;
}

void GridPoint()
{
    double phi = kLatitudes[g_md.latIndex] * CONST_DEG_TO_RAD;
    double lambda = (-180.0 + 15.0 * g_md.lonIndex) * CONST_DEG_TO_RAD;
    VEC3 v = FieldVector(phi, lambda, g_md.height, kGridFieldKm);
    double r = (g_md.height / 1000) + kEarthRadiusKm;
    VEC3 p{cos(phi) * cos(lambda) * r * g_md.k, cos(phi) * sin(lambda) * r * g_md.k, sin(phi) * r * g_md.k};
    {
        PLAT_LockGuard guard(g_lock.get());
        g_md.grid[g_md.latIndex][g_md.lonIndex] = MAGFIELD_SEGMENT{p, VEC3{p.x + v.x, p.y + v.y, p.z + v.z}};
    }
    if (++g_md.lonIndex < MAGFIELD_GRID_LONGITUDES) return;
    g_md.lonIndex = 0;
    if (++g_md.latIndex >= MAGFIELD_GRID_LATITUDES) g_md.state = MAGFIELD_PREP_START_LINES;
}

void TakePosition(MAGFIELD_TRACE& t)
{
    t.longitude = atan2(t.p.y, t.p.x);
    t.latitude = atan2(t.p.z, sqrt(t.p.x * t.p.x + t.p.y * t.p.y));
}

void StartLine()
{
    MAGFIELD_TRACE& t = g_md.trace;
    const float* s = kLineStarts[g_md.lineIndex];
    double r = kEarthRadiusKm * g_md.k;
    t.p = VEC3{s[0] * r, s[1] * r, s[2] * r};
    TakePosition(t);
    t.height = 0.0;
    t.distance = kEarthRadiusKm;
    t.points[0] = t.p;
    t.count = 1;
    t.sense = SENSE_OPEN;
    t.steps = 0;
    g_md.counter++;
    g_md.state = MAGFIELD_PREP_TRACE;
}

void TraceStep()
{
    MAGFIELD_TRACE& t = g_md.trace;
    VEC3 v = FieldVector(t.latitude, t.longitude, t.height, kTraceStepKm);
    if (t.sense == SENSE_OPEN) t.sense = VEC_Dot(&v, &t.p) < 0 ? SENSE_AGAINST : SENSE_WITH;
    double sign = t.sense == SENSE_WITH ? 1.0 : -1.0;
    t.p = VEC3{t.p.x + sign * v.x, t.p.y + sign * v.y, t.p.z + sign * v.z};
    t.distance = VEC_Length(&t.p);
    t.steps++;
    if (t.distance < kEarthRadiusKm * g_md.k || t.distance > kLineEndKm * g_md.k ||
        t.steps >= MAGFIELD_LINE_MAX_STEPS) {
        g_md.state = MAGFIELD_PREP_STORE_LINE;
        return;
    }
    if (VEC_Distance(&t.p, &t.points[t.count - 1]) >= kTraceStepKm * g_md.k) {
        t.points[t.count++] = t.p;
        if (t.count >= MAGFIELD_LINE_MAX_POINTS) {
            g_md.state = MAGFIELD_PREP_STORE_LINE;
            return;
        }
    }
    TakePosition(t);
    t.height = (t.distance / g_md.k - kEarthRadiusKm) * 1000.0;
}

void StoreLine()
{
    MAGFIELD_TRACE& t = g_md.trace;
    MEMORY_SetTag("MAGFIELD:magline-points");
    VEC3* points = static_cast<VEC3*>(POOL_Alloc(t.count * sizeof(VEC3) + 1));
    {
        PLAT_LockGuard guard(g_lock.get());
        MAGFIELD_LINE& line = g_md.lines[g_md.lineIndex];
        POOL_Free(line.points);
        line.points = points;
        line.count = points ? t.count : 0;
        if (points) memcpy(points, t.points, t.count * sizeof(VEC3));
    }
    g_md.lineIndex++;
    g_md.state = g_md.lineIndex < MAGFIELD_LINE_COUNT ? MAGFIELD_PREP_START_LINE : MAGFIELD_PREP_FINISH;
}

}  // namespace

void MAGFIELD_LocalToEarthFixed(double latitude, double longitude, MAT33* m)
{
    // R2(-longitude) R1(latitude) B0: north, east, down to x, y, z.
    MAT33 r1, r2;
    MAT_AxisRotation(&r1, 1, latitude);
    MAT_AxisRotation(&r2, 2, -longitude);
    *m = g_md.b0;
    MAT_Multiply(m, &r1);
    MAT_Multiply(m, &r2);
}

void MAGFIELD_Init()
{
    g_lock = std::make_unique<PLAT_LOCK>();
    for (MAGFIELD_LINE& line : g_md.lines) line = MAGFIELD_LINE{0, nullptr};
    g_md.state = MAGFIELD_PREP_DONE;
    g_md.done = 0;
    g_md.requested = 0;
    MAT_AxisRotation(&g_md.b0, 1, CONST_PI / 2);
}

void MAGFIELD_Done()
{
    for (MAGFIELD_LINE& line : g_md.lines) {
        POOL_Free(line.points);
        line = MAGFIELD_LINE{0, nullptr};
    }
    g_md.requested = 0;
    g_lock.reset();
}

void MAGFIELD_PrepareDisplayData(uint32_t height, double k)
{
    MAGFIELD_RequestDisplayData(height, k);
    MAGFIELD_EnsureDisplayData();
}

void MAGFIELD_RequestDisplayData(uint32_t height, double k)
{
    if (!g_lock) MAGFIELD_Init();
    g_md.height = height;
    g_md.k = k;
    g_md.year = DecimalYear();
    g_md.requested = 1;
}

// Computes the data asked for, at most once per request.
void MAGFIELD_EnsureDisplayData()
{
    if (!g_md.requested) return;
    g_md.requested = 0;
    g_md.state = MAGFIELD_PREP_START_GRID;
    MAGFIELD_WmmInitConstants();
    MAT_AxisRotation(&g_md.b0, 1, CONST_PI / 2);
    g_md.counter = 0;
    if (!g_md.done) LOG_Printf("MAGFIELD: připravuji data pro zobrazení magnetického pole.\n");
    while (g_md.state != MAGFIELD_PREP_DONE) MAGFIELD_PrepareStep();
    g_md.done = 1;
    LOG_Printf("MAGFIELD: příprava dat pro zobrazení mag. pole dokončena, celkem %u bodů.\n", g_md.counter);
}

void MAGFIELD_PrepareStep()
{
    switch (g_md.state) {
    case MAGFIELD_PREP_START_GRID:
        g_md.latIndex = 0;
        g_md.lonIndex = 0;
        g_md.state = MAGFIELD_PREP_GRID_POINT;
        break;
    case MAGFIELD_PREP_GRID_POINT: GridPoint(); break;
    case MAGFIELD_PREP_START_LINES:
        g_md.lineIndex = 0;
        g_md.state = MAGFIELD_PREP_START_LINE;
        break;
    case MAGFIELD_PREP_START_LINE: StartLine(); break;
    case MAGFIELD_PREP_TRACE: TraceStep(); break;
    case MAGFIELD_PREP_STORE_LINE: StoreLine(); break;
    default: g_md.state = MAGFIELD_PREP_DONE; break;
    }
}

PLAT_LOCK* MAGFIELD_GetDisplayLock() { return g_lock.get(); }

const MAGFIELD_SEGMENT* MAGFIELD_GetGridSegment(uint32_t latitudeIndex, uint32_t longitudeIndex)
{
    if (latitudeIndex >= MAGFIELD_GRID_LATITUDES || longitudeIndex >= MAGFIELD_GRID_LONGITUDES) return nullptr;
    return &g_md.grid[latitudeIndex][longitudeIndex];
}

const MAGFIELD_LINE* MAGFIELD_GetLine(uint32_t index)
{
    return index < MAGFIELD_LINE_COUNT ? &g_md.lines[index] : nullptr;
}

uint32_t MAGFIELD_GetEvaluationCount() { return g_md.counter; }
uint32_t MAGFIELD_GetPrepareState() { return g_md.state; }
