// ORBIT: hands data output the accessors through which its quantities read
// the run's satellites, their on-board module outputs and coils, and the ground
// stations.
#include "dataout/dohan.h"
#include "onboard/swvalue.h"
#include "simulation/coil.h"
#include "simulation/ground.h"
#include "simulation/orbit.h"
#include "simulation/satelit.h"
#include "simulation/satelit_access.h"
#include "simulation/sats.h"

static double CoilAveragePower(const COIL* coil, uint32_t periodMs) { return COIL_GetAveragePower(coil, periodMs); }

void ORBIT_InstallDataServices()
{
    DOHAN_SERVICES services{};
    services.findSatellite = SATS_FindByNameExact;
    services.getPosition = SATELIT_GetPositionEci;
    services.watchDistance = SATS_WatchDistance;
    services.maxDistance = SATS_GetMaxDistance;
    services.findVectorId = SATELIT_FindVectorId;
    services.getVector = SATELIT_GetVector;
    services.getScalar[DOHAN_LONGITUDE] = SATELIT_GetLongitude;
    services.getScalar[DOHAN_LATITUDE] = SATELIT_GetLatitude;
    services.getScalar[DOHAN_ALTITUDE] = SATELIT_GetAltitude;
    services.getScalar[DOHAN_FIELD_MAGNITUDE] = SATELIT_GetFieldMagnitude;
    services.getScalar[DOHAN_FIELD_ROTATION_RATE] = SATELIT_GetFieldRotationRate;
    services.getScalar[DOHAN_FIELD_ROTATION_PERIOD] = SATELIT_GetFieldRotationPeriod;
    services.getScalar[DOHAN_ANGULAR_SPEED] = SATELIT_GetAngularSpeed;
    services.getScalar[DOHAN_ROTATION_PERIOD] = SATELIT_GetRotationPeriod;
    services.getScalar[DOHAN_ILLUMINATION] = SATELIT_GetIllumination;
    services.getScalar[DOHAN_LIGHT_RATIO] = SATELIT_GetLightRatio;
    services.getScalar[DOHAN_AIR_DENSITY] = SATELIT_GetAirDensity;
    services.getScalar[DOHAN_DRAG_PRESSURE] = SATELIT_GetDragPressure;
    services.getScalar[DOHAN_SOLAR_PRESSURE] = SATELIT_GetSolarPressure;
    services.findStation = GROUND_FindStation;
    services.observe = GROUND_ObserveSatellite;
    services.findModuleOutput = SATELIT_FindModuleVariable;
    services.isVector3 = SWTYPE_IsVector3;
    services.getVector3 = SWTYPE_GetVector3;
    services.findCoil = SATELIT_FindCoil;
    services.coilEnergy = COIL_GetTotalEnergy;
    services.coilPower = CoilAveragePower;
    services.readCoilPower = COIL_MarkPowerRead;
    DOHAN_SetServices(&services);
}
