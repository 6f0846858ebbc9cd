// SATELIT: ownership of the satellite record: history buffers, release, display toggles.
#include "simulation/satelit.h"
#include <cstring>
#include <initializer_list>
#include "foundation/log.h"
#include "foundation/memory.h"
#include "foundation/pool.h"
#include "onboard/swmodule.h"
#include "simulation/coil.h"
#include "simulation/main.h"
#include "simulation/massmodel.h"
#include "simulation/surfmodel.h"
#include "view/dditem.h"
#include "view/drawlist.h"
#include "view/satwindow.h"

static SATELIT* s_currentSatellite = nullptr;

void SATELIT_SetCurrent(SATELIT* sat) { s_currentSatellite = sat; }
SATELIT* SATELIT_GetCurrent() { return s_currentSatellite; }

static VEC3* AllocHistoryBuffer(MEMORY_TAG tag)
{
    MEMORY_SetTag(tag);
    VEC3* buffer = static_cast<VEC3*>(POOL_Alloc((SAT_ORBIT_HISTORY_CAPACITY + 3) * sizeof(VEC3) + 1));
    if (buffer) memset(buffer, 0, (SAT_ORBIT_HISTORY_CAPACITY + 3) * sizeof(VEC3));
    return buffer;
}

// Ends the recorded history but keeps the drawing copy: the render thread
// may still be drawing a frame from it.
static void StopHistory(SATELIT* sat)
{
    if (sat->historyBuffer) POOL_Free(sat->historyBuffer);
    sat->historyBuffer = nullptr;
    sat->historyCount = 0;
    sat->historyNextIndex = 0;
}

uint32_t SATELIT_AllocHistory(SATELIT* sat)
{
    StopHistory(sat);
    sat->historySpacing = 25.0;
    sat->historyCapacity = SAT_ORBIT_HISTORY_CAPACITY;
    sat->historyBuffer = AllocHistoryBuffer("SATELIT:history");
    if (!sat->drawingHistory) sat->drawingHistory = AllocHistoryBuffer("SATELIT:draw-history");
    if (!sat->historyBuffer || !sat->drawingHistory) {
        StopHistory(sat);
        LOG_Printf("SATELIT: pro historii dráhy satelitu není dostatek paměti.\n");
        return 0;
    }
    return 1;
}

void SATELIT_FreeHistory(SATELIT* sat)
{
    StopHistory(sat);
    if (sat->drawingHistory) POOL_Free(sat->drawingHistory);
    sat->drawingHistory = nullptr;
}

static void FreeText(char** text)
{
    if (*text) POOL_Free(*text);
    *text = nullptr;
}

void SATELIT_Free(SATELIT* sat)
{
    if (!sat) return;
    // The window reads the record: it goes first.
    SATELIT_CloseInfoWindow(sat);
    FreeText(&sat->name);
    SATELIT_FreeHistory(sat);
    FreeText(&sat->tleFileName);
    // A texture that failed to load leaves its name without a textured model.
    FreeText(&sat->textureFileName);
    sat->texture = -1;
    for (SWMODULE* module = sat->modules; module;) {
        SWMODULE* next = module->next;
        SWMODULE_Destroy(module);
        module = next;
    }
    sat->modules = nullptr;
    for (MASSMODEL* model = sat->massModels; model;) {
        MASSMODEL* next = model->next;
        MASSMODEL_Free(model);
        model = next;
    }
    sat->massModels = sat->massModelInUse = nullptr;
    for (SAT_PROJECTION_BLOCK* block : {&sat->sunProjection, &sat->dragProjection}) {
        RASTER_FreeRecording(block->triangles);
        block->triangles = nullptr;
    }
    for (SURFMODEL* model = sat->surfaceModels; model;) {
        SURFMODEL* next = model->next;
        SURFMODEL_Free(model);
        model = next;
    }
    sat->surfaceModels = sat->surfaceModelInUse = nullptr;
    for (COIL* coil = sat->coils; coil;) {
        COIL* next = coil->next;
        COIL_Free(coil);
        coil = next;
    }
    sat->coils = nullptr;
    for (DDITEM* item = sat->dataItems; item;) {
        DDITEM* next = item->next;
        DDITEM_Free(item);
        item = next;
    }
    sat->dataItems = nullptr;
    DRAWLIST_Free(sat->userModel);
    sat->userModel = nullptr;
}

void SATELIT_ToggleHistory(SATELIT* sat)
{
    if (sat->orbitHistoryOn) {
        StopHistory(sat);
        sat->orbitHistoryOn = 0;
    } else if (SATELIT_AllocHistory(sat)) {
        sat->orbitHistoryOn = 1;
    }
}

uint32_t SATELIT_OpenInfoWindow(SATELIT* sat)
{
    SATWINDOW* window = SATWINDOW_Create(sat);
    if (!window) {
        LOG_Printf("SATELIT: nelze vytvořit informační okno pro satelit \"%s\"\n", sat->name);
        return 0;
    }
    sat->infoWindow = window;
    SATWINDOW_Move(window, 500, 200);
    SATWINDOW_RequestShow(window);
    sat->infoWindowWanted = 1;
    return 1;
}

void SATELIT_CloseInfoWindow(SATELIT* sat)
{
    SATWINDOW* window = sat->infoWindow;
    sat->infoWindow = nullptr;
    sat->infoWindowWanted = 0;
    if (window && SATWINDOW_Exists(window)) SATWINDOW_Destroy(window);
}

void SATELIT_ToggleInfoWindow(SATELIT* sat)
{
    if (sat->infoWindowWanted && sat->infoWindow && SATWINDOW_Exists(sat->infoWindow))
        SATELIT_CloseInfoWindow(sat);
    else
        SATELIT_OpenInfoWindow(sat);
}

static void Flip(uint32_t* flag) { *flag = *flag ? 0 : 1; }

void SATELIT_ToggleLinearVelocity(SATELIT* s) { Flip(&s->linearVelocity); }
void SATELIT_ToggleRotationAxis(SATELIT* s) { Flip(&s->rotationAxis); }
void SATELIT_ToggleTitleInfo(SATELIT* s) { Flip(&s->drawTitleInfo); }
void SATELIT_ToggleTrackLine(SATELIT* s) { Flip(&s->trackLine); }
void SATELIT_ToggleVisibilityBorder(SATELIT* s) { Flip(&s->visibilityBorder); }
void SATELIT_ToggleSunVector(SATELIT* s) { Flip(&s->sunVector); }
void SATELIT_ToggleMagVector(SATELIT* s) { Flip(&s->magVector); }
void SATELIT_ToggleMagVectorComponents(SATELIT* s) { Flip(&s->magVectorComponents); }
void SATELIT_ToggleMagVectorHistory(SATELIT* s) { Flip(&s->fieldHistoryOn); }
void SATELIT_ToggleLocalEciAxes(SATELIT* s) { Flip(&s->localEciAxes); }
void SATELIT_ToggleLocalMagAxes(SATELIT* s) { Flip(&s->localMagAxes); }
void SATELIT_ToggleLocalBodyAxes(SATELIT* s) { Flip(&s->localBodyAxes); }
void SATELIT_ToggleLocalOrbitAxes(SATELIT* s) { Flip(&s->localOrbitAxes); }
void SATELIT_ToggleAngularVelocity(SATELIT* s) { Flip(&s->angularVelocity); }
void SATELIT_TogglePrincipalInertiaAxes(SATELIT* s) { Flip(&s->principalInertiaAxes); }
void SATELIT_ToggleGravityTorque(SATELIT* s) { Flip(&s->drawGravityTorque); }
void SATELIT_ToggleSolarTorque(SATELIT* s) { Flip(&s->drawSolarTorque); }
void SATELIT_ToggleMagneticTorque(SATELIT* s) { Flip(&s->drawMagneticTorque); }
void SATELIT_ToggleTotalTorque(SATELIT* s) { Flip(&s->drawTotalTorque); }
void SATELIT_ToggleMagneticDipole(SATELIT* s) { Flip(&s->drawMagneticDipole); }

void SATELIT_MarkAttitudeDirty(SATELIT* sat)
{
    sat->attitudePending = 1;
    sat->coilDipoleStale = 1;
}
