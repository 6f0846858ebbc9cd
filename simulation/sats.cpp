// SATS: the satellite list of a run: set-up, loading of "Objects.cfg", the
// per-step loops and the lookups.
#include "simulation/sats.h"
#include "foundation/constants.h"
#include <cmath>
#include <cstring>
#include <strings.h>
#include "foundation/iotxt.h"
#include "foundation/log.h"
#include "foundation/memory.h"
#include "foundation/pool.h"
#include "models/atmo.h"
#include "onboard/swmodule.h"
#include "platform/plat_thread.h"
#include "simulation/coil.h"
#include "simulation/main.h"
#include "simulation/massmodel.h"
#include "simulation/surfmodel.h"
#include "simulation/satelit.h"
#include "simulation/satelit_draw.h"
#include "view/satwindow.h"

static SATELIT* s_head = nullptr;
static SATELIT* s_tail = nullptr;
static SATELIT* s_parsing = nullptr;
static const char* s_fileName = "Objects.cfg";
static double s_cosOneDegree = 1.0;
static bool s_modulesReady = false;
static PLAT_LOCK s_fieldHistoryLock;
static PLAT_LOCK s_sunProjectionLock;
static PLAT_LOCK s_dragProjectionLock;

void SATS_LockFieldHistory() { PLAT_EnterLock(&s_fieldHistoryLock); }
void SATS_UnlockFieldHistory() { PLAT_LeaveLock(&s_fieldHistoryLock); }
void SATS_LockSunProjection() { PLAT_EnterLock(&s_sunProjectionLock); }
void SATS_UnlockSunProjection() { PLAT_LeaveLock(&s_sunProjectionLock); }
void SATS_LockDragProjection() { PLAT_EnterLock(&s_dragProjectionLock); }
void SATS_UnlockDragProjection() { PLAT_LeaveLock(&s_dragProjectionLock); }
double SATS_CosOneDegree() { return s_cosOneDegree; }

void SATS_Init()
{
    s_head = s_tail = s_parsing = nullptr;
    s_fileName = "Objects.cfg";
    SATS_InitModules();
}

void SATS_InitModules()
{
    s_cosOneDegree = cos(CONST_DEG_TO_RAD);
    MASSMODEL_Init();
    SURFMODEL_Init();
    ATTITUDE_ModuleInit();
    BDOT_Init();
    BCROSS_Init();
    COIL_Init();
    ATMO_Init();
    SWMODULE_InitGlobals();
    SATELIT_RegisterFieldVariables();
    SATELIT_InitDrawing();
    SATWINDOW_Init();
    s_modulesReady = true;
}

void SATS_CleanupModules()
{
    if (!s_modulesReady) return;
    SATWINDOW_Cleanup();
    MASSMODEL_Done();
    SURFMODEL_Cleanup();
    ATTITUDE_ModuleDone();
    BDOT_Done();
    BCROSS_Done();
    COIL_Done();
    SWMODULE_FreeGlobals();
    ATMO_Done();
    SATELIT_DoneDrawing();
    s_modulesReady = false;
}

void SATS_FreeSatellite(SATELIT* sat)
{
    if (!sat) return;
    SATELIT_Free(sat);
    POOL_FreeLine(sat);
}

void SATS_LogRunSummary()
{
    for (SATELIT* sat = s_head; sat; sat = sat->next) {
        SAT_STATE state;
        SATELIT_StateAt(sat, g_simClock.clock, &state);
        LOG_Printf("Satelit %s: %u kroků dráhy, výška %.1f km, zem. délka %.2f°, šířka %.2f°.\n", sat->name,
                   sat->orbitStepCount, state.altitude, state.longitude, state.latitude);
    }
}

// ---- the largest distance of a pair of satellites ----------------------------------

// Kept over the orbit steps of the two satellites themselves, so that neither
// the readers nor the other satellites of the run change it.
struct SATS_DISTANCE_WATCH {
    SATELIT* a;
    SATELIT* b;
    double maximum;   // km
    SATS_DISTANCE_WATCH* next;
};

static SATS_DISTANCE_WATCH* s_watches = nullptr;

static double DistanceNow(const SATELIT* a, const SATELIT* b)
{
    VEC3 pa, pb, va, vb;
    SATELIT_OrbitAt(a, g_simClock.clock, &pa, &va);
    SATELIT_OrbitAt(b, g_simClock.clock, &pb, &vb);
    return VEC_Distance(&pa, &pb);
}

SATS_DISTANCE_WATCH* SATS_WatchDistance(SATELIT* a, SATELIT* b)
{
    MEMORY_SetTag("SATS:distance-watch");
    SATS_DISTANCE_WATCH* watch = static_cast<SATS_DISTANCE_WATCH*>(POOL_Alloc(sizeof(SATS_DISTANCE_WATCH) + 1));
    if (!watch) {
        LOG_Printf("SATS: nedostatek paměti pro sledování vzdálenosti satelitů.\n");
        return nullptr;
    }
    *watch = SATS_DISTANCE_WATCH{a, b, DistanceNow(a, b), s_watches};
    s_watches = watch;
    return watch;
}

double SATS_GetMaxDistance(const SATS_DISTANCE_WATCH* watch) { return watch ? watch->maximum : 0.0; }

static void UpdateDistanceWatches()
{
    for (SATS_DISTANCE_WATCH* w = s_watches; w; w = w->next) {
        if (w->a->lastOrbitTime != g_simClock.clock && w->b->lastOrbitTime != g_simClock.clock) continue;
        double distance = DistanceNow(w->a, w->b);
        if (distance > w->maximum) w->maximum = distance;
    }
}

static void FreeDistanceWatches()
{
    while (s_watches) {
        SATS_DISTANCE_WATCH* next = s_watches->next;
        POOL_Free(s_watches);
        s_watches = next;
    }
}

// Safe to call more than once: a failed run start and the run end both clean up.
void SATS_Cleanup()
{
    SATS_ForgetDueTimes();
    FreeDistanceWatches();
    SATELIT_SetCurrent(nullptr);
    // The module of the last run must not stay current past its end.
    SWMODULE_CurrentModule = nullptr;
    SATS_FreeSatellite(s_parsing);
    s_parsing = nullptr;
    for (SATELIT* sat = s_head; sat;) {
        SATELIT* next = sat->next;
        SATS_FreeSatellite(sat);
        sat = next;
    }
    s_head = s_tail = nullptr;
    SATS_CleanupModules();
}

static uint32_t LoadFail()
{
    SATS_FreeSatellite(s_parsing);
    s_parsing = nullptr;
    IOTXT_CloseFile();
    return 0;
}

// From this many satellites on, the rest of them are laid out in large pages.
static constexpr uint32_t kManySatellites = 10;
static uint32_t s_begun = 0;   // satellites begun in this load

static uint32_t BeginSatellite()
{
    if (!IOTXT_MatchWord("satelit")) {
        LOG_Printf("SATS: neznámé slovo na řádku %d konfiguračního souboru.\n", IOTXT_GetLineNumber());
        return 0;
    }
    if (!IOTXT_IsEndOfLine()) {
        LOG_Printf("SATS: za slovem \"satelit\" na řádku %d konfiguračního souboru nesmí být žádné znaky.\n",
                   IOTXT_GetLineNumber());
        return 0;
    }
    if (++s_begun == kManySatellites) MEMORY_UseLargePages();
    MEMORY_SetTag("SATELIT:satelit");
    SATELIT* sat = static_cast<SATELIT*>(POOL_AllocLine(sizeof(SATELIT) + 1));
    if (!sat) {
        LOG_Printf("SATS: pro vytvoření seznamu satelitů není dostatek paměti.\n");
        return 0;
    }
    memset(static_cast<void*>(sat), 0, sizeof(SATELIT));
    s_parsing = sat;
    return SAT_SetDefaults(sat);
}

static uint32_t EndSatellite()
{
    if (!IOTXT_IsEndOfLine()) {
        LOG_Printf("SATS: za slovem \"end\" na řádku %d konfiguračního souboru nesmí být žádné znaky.\n",
                   IOTXT_GetLineNumber());
        return 0;
    }
    if (!s_parsing->name) {
        LOG_Printf("SATS: satelit musí být pojmenován.\n");
        return 0;
    }
    if (!SAT_Validate(s_parsing)) return 0;
    if (s_tail) s_tail->next = s_parsing; else s_head = s_parsing;
    s_tail = s_parsing;
    s_parsing = nullptr;
    return 1;
}

static uint32_t StartAll()
{
    for (SATELIT* sat = s_head; sat; sat = sat->next) {
        if (!SATS_StartSatellite(sat)) return 0;
        sat->lastOrbitTime = g_simClock.clock;
    }
    for (SATELIT* sat = s_head; sat; sat = sat->next) LOG_Printf("Satelit: %s\n", sat->name);
    return 1;
}

uint32_t SATS_Load()
{
    SATS_ForgetDueTimes();
    s_begun = 0;
    if (!IOTXT_OpenFile(s_fileName)) {
        LOG_Printf("SATS: konfigurační soubor \"%s\" nelze otevřít, satelity nebudou načteny.\n", s_fileName);
        return 0;
    }
    while (IOTXT_NextLine()) {
        uint32_t ok;
        if (!s_parsing) ok = BeginSatellite();
        else if (IOTXT_MatchWord("end")) ok = EndSatellite();
        else ok = SAT_ParseKeyword(s_parsing);
        if (!ok) return LoadFail();
    }
    if (s_parsing) {
        LOG_Printf("SATS: definice satelitu není dokončena na řádce %d.\n", IOTXT_GetLineNumber());
        return LoadFail();
    }
    uint32_t started = StartAll();
    IOTXT_CloseFile();
    return started;
}

// A mass model read from the same definition file as a model of a satellite
// already listed takes over its computed results instead of computing them again.
static void ShareMassResults(SATELIT* sat)
{
    if (!sat->massModelInUse) return;
    for (SATELIT* listed = s_head; listed; listed = listed->next) {
        if (MASSMODEL_ShareResults(sat->massModelInUse, listed->massModels)) return;
    }
}

uint32_t SATS_StartSatellite(SATELIT* sat)
{
    ShareMassResults(sat);
    SATS_ForgetDueTimes();
    SATELIT_SetCurrent(sat);
    uint32_t ok = SATELIT_Start(sat);
    SATELIT_SetCurrent(nullptr);
    return ok;
}

// Each satellite steps on its own grid of orbit periods, so a satellite's
// results do not depend on which others share the run.
// The earliest due times are asked for before every step: they are kept and
// worked out again only after the satellites or modules they come from moved.
static TIME_MS s_nextOrbitDue = INT64_MIN;
static TIME_MS s_nextModuleDue = INT64_MIN;

static TIME_MS OrbitDue(const SATELIT* sat) { return sat->lastOrbitTime + sat->orbitPeriod; }

void SATS_StepAll()
{
    for (SATELIT* sat = s_head; sat; sat = sat->next) {
        if (g_simClock.clock < OrbitDue(sat)) continue;
        SATELIT_Step(sat);
        if (sat->attitudePending) {
            SATELIT_UpdateAttitude(sat);
            sat->attitudePending = 0;
        }
        sat->lastOrbitTime = g_simClock.clock;
    }
    UpdateDistanceWatches();
    s_nextOrbitDue = INT64_MIN;  // worked out when next asked: every 30 s or so
}


static TIME_MS EarliestOrbitDue()
{
    TIME_MS next = INT64_MAX;
    for (const SATELIT* sat = s_head; sat; sat = sat->next) {
        if (sat->orbitPeriod == 0xFFFFFFFFu) continue;
        if (OrbitDue(sat) < next) next = OrbitDue(sat);
    }
    return next;
}

// The state every satellite shows at the clock, for the view and the cameras.
void SATS_RefreshDisplay()
{
    for (SATELIT* sat = s_head; sat; sat = sat->next) SATELIT_StateAt(sat, g_simClock.clock, &sat->display);
}

TIME_MS SATS_NextOrbitDue()
{
    if (s_nextOrbitDue == INT64_MIN) s_nextOrbitDue = EarliestOrbitDue();
    return s_nextOrbitDue;
}

void SATS_UpdateAttitudeAll()
{
    for (SATELIT* sat = s_head; sat; sat = sat->next) {
        SATELIT_UpdateAttitude(sat);
        sat->attitudePending = 0;
    }
}

void SATS_DropUnreadCoilHistories()
{
    for (SATELIT* sat = s_head; sat; sat = sat->next)
        for (COIL* coil = sat->coils; coil; coil = coil->next) COIL_DropUnreadHistory(coil);
}

static uint32_t HasPeriod(const SWMODULE* module) { return module->period != SWMODULE_PERIOD_NONE; }
static TIME_MS ModuleDue(const SWMODULE* module) { return module->lastTick + module->period; }

// A module is due on its own grid of periods from its start. The earliest
// next due time comes out of the same walk.
void SATS_RunModulesAll()
{
    TIME_MS next = INT64_MAX;
    for (SATELIT* sat = s_head; sat; sat = sat->next) {
        SATELIT_SetCurrent(sat);
        for (SWMODULE* module = sat->modules; module; module = module->next) {
            if (!HasPeriod(module)) continue;
            if (g_simClock.clock >= ModuleDue(module)) {
                module->lastTick = g_simClock.clock;
                SWMODULE_Tick(module);
            }
            if (ModuleDue(module) < next) next = ModuleDue(module);
        }
        if (sat->attitudePending) {
            SATELIT_UpdateAttitude(sat);
            sat->attitudePending = 0;
        }
    }
    SATELIT_SetCurrent(nullptr);
    s_nextModuleDue = next;
}

static TIME_MS EarliestModuleDue()
{
    TIME_MS next = INT64_MAX;
    for (const SATELIT* sat = s_head; sat; sat = sat->next)
        for (const SWMODULE* module = sat->modules; module; module = module->next)
            if (HasPeriod(module) && ModuleDue(module) < next) next = ModuleDue(module);
    return next;
}

TIME_MS SATS_NextModuleDue()
{
    if (s_nextModuleDue == INT64_MIN) s_nextModuleDue = EarliestModuleDue();
    return s_nextModuleDue;
}

void SATS_ForgetDueTimes()
{
    s_nextOrbitDue = s_nextModuleDue = INT64_MIN;
}

uint32_t SATS_MinOrbitStep()
{
    uint32_t least = 0xFFFFFFFFu;
    for (SATELIT* sat = s_head; sat; sat = sat->next) {
        if (sat->orbitPeriod < least) least = sat->orbitPeriod;
    }
    return least;
}

uint32_t SATS_GetAttitudePeriod() { return 10; }

uint32_t SATS_MinModulePeriod()
{
    uint32_t least = 0xFFFFFFFFu;
    for (SATELIT* sat = s_head; sat; sat = sat->next)
        for (SWMODULE* module = sat->modules; module; module = module->next)
            if (module->period < least) least = module->period;
    return least;
}

SATELIT* SATS_FindByName(const char* name)
{
    for (SATELIT* sat = s_head; sat; sat = sat->next) {
        if (sat->name && strcasecmp(sat->name, name) == 0) return sat;
    }
    return nullptr;
}

SATELIT* SATS_FindByNameExact(const char* name)
{
    for (SATELIT* sat = s_head; sat; sat = sat->next) {
        if (sat->name && name && strcmp(sat->name, name) == 0) return sat;
    }
    return nullptr;
}

SATELIT* SATS_GetFirst() { return s_head; }

SATELIT* SATS_GetNext(SATELIT* sat)
{
    if (!sat || !sat->next) return s_head;
    return sat->next;
}

SATELIT* SATS_GetPrevious(SATELIT* sat)
{
    if (!sat) return nullptr;
    if (sat == s_head) return s_tail;
    for (SATELIT* p = s_head; p; p = p->next) {
        if (p->next == sat) return p;
    }
    return nullptr;
}

void SATS_CloseInfoWindows()
{
    for (SATELIT* sat = s_head; sat; sat = sat->next) SATELIT_CloseInfoWindow(sat);
}
