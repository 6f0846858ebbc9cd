// SATS: the run's satellite list, its loader of "Objects.cfg" and the loops the
// scheduler runs over all satellites.
#pragma once
#include <cstdint>
#include "foundation/time.h"

struct SATELIT;
struct SATS_DISTANCE_WATCH;

void SATS_Init();
void SATS_Cleanup();
void SATS_InitModules();
void SATS_CleanupModules();
uint32_t SATS_Load();
uint32_t SATS_StartSatellite(SATELIT* sat);
void SATS_FreeSatellite(SATELIT* sat);

void SATS_StepAll();
void SATS_UpdateAttitudeAll();
// Once the data output is linked: coils whose average power no row reads
// keep no current history.
void SATS_DropUnreadCoilHistories();
void SATS_RunModulesAll();
// The largest distance (km) between two satellites over their orbit steps in
// this run, from the clock on; kept until the run's clean-up. Null after the
// memory message.
SATS_DISTANCE_WATCH* SATS_WatchDistance(SATELIT* a, SATELIT* b);
double SATS_GetMaxDistance(const SATS_DISTANCE_WATCH* watch);
// Every satellite's display state at the clock (GUI thread, under the scene lock).
void SATS_RefreshDisplay();
uint32_t SATS_MinOrbitStep();
// The earliest next orbit step of any satellite, and the earliest next tick
// of any on-board module (INT64_MAX: none).
TIME_MS SATS_NextOrbitDue();
TIME_MS SATS_NextModuleDue();
// The list or its satellites' grids changed outside a step (load, start, clean-up).
void SATS_ForgetDueTimes();
uint32_t SATS_GetAttitudePeriod();
uint32_t SATS_MinModulePeriod();

SATELIT* SATS_FindByName(const char* name);
// The satellite whose name equals the given one exactly, case included.
SATELIT* SATS_FindByNameExact(const char* name);
SATELIT* SATS_GetFirst();
SATELIT* SATS_GetNext(SATELIT* sat);
SATELIT* SATS_GetPrevious(SATELIT* sat);
void SATS_CloseInfoWindows();
// Logs what each satellite did in the run: its orbit steps and last position.
void SATS_LogRunSummary();

// The field-history lock and cos(1 degree), prepared once per run.
void SATS_LockFieldHistory();
void SATS_UnlockFieldHistory();
double SATS_CosOneDegree();
// The locks under which a satellite's projection triangle lists are replaced
// and copied for drawing.
void SATS_LockSunProjection();
void SATS_UnlockSunProjection();
void SATS_LockDragProjection();
void SATS_UnlockDragProjection();
