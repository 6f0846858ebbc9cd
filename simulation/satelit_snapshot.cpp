// SATELIT drawing copy: what the satellite drawing reads, copied by the render
// thread while the simulation is held off by the window library's lock. The
// orbit and environment are the display state, computed for the display
// clock at the end of the last tick.
#include <cstring>
#include "simulation/orbit.h"
#include "simulation/satelit.h"
#include "simulation/orbit_step.h"
#include "simulation/satelit_access.h"
#include "simulation/satelit_draw.h"
#include "simulation/sats.h"
#include "view/dditem.h"

namespace {

VEC3 UnitOrZero(VEC3 v)
{
    if (!VEC_IsZero(&v)) VEC_Normalize(&v);
    return v;
}

void CopyHistory(SATELIT* sat, SATELIT_DRAWING_COPY& c)
{
    bool recording = sat->historyBuffer && sat->drawingHistory;
    if (recording) memcpy(sat->drawingHistory, sat->historyBuffer, SAT_ORBIT_HISTORY_CAPACITY * sizeof(VEC3));
    c.history = recording ? sat->drawingHistory : nullptr;
    c.historyCount = recording ? sat->historyCount : 0;
    c.historyNextIndex = sat->historyNextIndex;
}

void CopyAttitude(const ATTITUDE_STATE& a, SATELIT_DRAWING_COPY& c)
{
    c.rotation = a.rotation;
    c.principalAxes = a.principalAxes;
    for (int i = 0; i < 3; i++) c.principalMoments[i] = a.principalMoments.m[i * 4];
    c.angularVelocity = a.angularVelocity;
    c.totalTorque = a.torque;
    c.energy = a.energy;
}

// Newest first, walking the ring backwards from its newest entry.
void CopyFieldHistory(SATELIT* sat, SATELIT_DRAWING_COPY& c)
{
    SATS_LockFieldHistory();
    uint32_t count = sat->fieldHistoryCount < SATELIT_DRAW_FIELD_HISTORY ? sat->fieldHistoryCount
                                                                          : SATELIT_DRAW_FIELD_HISTORY;
    uint32_t index = sat->fieldHistoryNewest % SAT_FIELD_HISTORY_SIZE;
    for (uint32_t i = 0; i < count; i++) {
        c.fieldHistory[i] = sat->fieldHistory[index];
        index = index == 0 ? SAT_FIELD_HISTORY_SIZE - 1 : index - 1;
    }
    c.fieldHistoryCount = (uint16_t)count;
    SATS_UnlockFieldHistory();
}

}  // namespace

void SATELIT_SnapshotForDrawing(SATELIT* sat)
{
    SATELIT_DRAWING_COPY& c = sat->drawing;
    const SAT_STATE& d = sat->display;
    c.position = d.position;
    c.velocity = d.velocity;
    CopyHistory(sat, c);
    c.longitude = d.longitude;
    c.latitude = d.latitude;
    c.altitude = d.altitude;
    c.illumination = d.illumination;
    c.fieldEci = d.fieldEci;
    c.fieldMag = d.fieldMag;
    c.centreOfMass = sat->centreOfMass;
    CopyAttitude(sat->attitude, c);
    c.dipoleSum = sat->totalDipole;
    c.gravityTorque = sat->gravityGradientTorque;
    c.magneticTorque = sat->magneticTorqueVector;
    c.solarTorque = sat->solarTorqueVector;
    c.dragTorque = sat->dragTorqueVector;
    for (int i = 0; i < 3; i++) c.orbitAxes[i] = d.orbitAxes[i];
    c.sunVector = d.sunVector;
    c.sunProjectionDirection =
        UnitOrZero(VEC3{c.sunVector.x - c.position.x, c.sunVector.y - c.position.y, c.sunVector.z - c.position.z});
    c.dragProjectionDirection = UnitOrZero(c.velocity);
    for (DDITEM* item = sat->dataItems; item; item = item->next) DDITEM_SnapshotForDrawing(item);
    CopyFieldHistory(sat, c);
}

void SATS_SnapshotAll(OGW_WINDOW*)
{
    for (SATELIT* sat = SATS_GetFirst(); sat; sat = sat->next) SATELIT_SnapshotForDrawing(sat);
}
