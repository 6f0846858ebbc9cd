// The view's menu commands: camera, field display, display switches of the
// current satellite and the movie.
#include "view/main_commands.h"
#include "simulation/satelit.h"
#include "view/camera.h"
#include "view/ogw.h"
#include "view/ogw_movie.h"
#include "view/orbit_config.h"
#include "view/scene.h"

namespace {

// The render thread copies the satellite's display state and buffers under
// the window library's lock, so a switch that changes them takes it too.
void OnCurrentSatellite(void (*toggle)(SATELIT* sat))
{
    if (!g_scene.currentSatellite)
        return;
    bool drawing = g_scene.window != nullptr;
    if (drawing) OGW_Lock();
    toggle(g_scene.currentSatellite);
    if (drawing) OGW_Unlock();
    ORBIT_RequestRedraw();
}

struct VIEW_COMMAND {
    uint16_t id;
    void (*handler)();
};

constexpr VIEW_COMMAND COMMANDS[] = {
    {132, [] { ORBIT_SetCameraMode(1); }},
    {135, [] { ORBIT_SetCameraMode(2); }},
    {136, [] { ORBIT_SetCameraMode(3); }},
    {162, [] { ORBIT_SetCameraMode(4); }},
    {163, [] { ORBIT_SetCameraMode(5); }},
    {164, [] { ORBIT_SetCameraMode(6); }},
    {138, [] { ORBIT_SetCameraMode(7); }},
    {157, ORBIT_NextCameraMode},
    {158, ORBIT_CmdCameraHome},
    {147, [] { ORBIT_CmdZoomIn(0); }},
    {148, [] { ORBIT_CmdZoomOut(0); }},
    {141, [] { ORBIT_CmdTurnLeft(0); }},
    {142, [] { ORBIT_CmdTurnRight(0); }},
    {144, [] { ORBIT_CmdTurnUp(0); }},
    {143, [] { ORBIT_CmdTurnDown(0); }},
    {145, [] { ORBIT_CmdTiltLeft(0); }},
    {146, [] { ORBIT_CmdTiltRight(0); }},
    {155, [] { ORBIT_CmdZoomIn(1); }},
    {156, [] { ORBIT_CmdZoomOut(1); }},
    {149, [] { ORBIT_CmdTurnLeft(1); }},
    {150, [] { ORBIT_CmdTurnRight(1); }},
    {152, [] { ORBIT_CmdTurnUp(1); }},
    {151, [] { ORBIT_CmdTurnDown(1); }},
    {153, [] { ORBIT_CmdTiltLeft(1); }},
    {154, [] { ORBIT_CmdTiltRight(1); }},
    {177, MAIN_CmdSatInfoWindow},
    {30000, MAIN_CmdVelocityVector},
    {167, MAIN_CmdPositionHistory},
    {168, MAIN_CmdLabelDetails},
    {169, MAIN_CmdGroundLine},
    {170, MAIN_CmdVisibilityBoundary},
    {171, MAIN_CmdSunVector},
    {172, MAIN_CmdMagFieldVector},
    {173, MAIN_CmdMagFieldComponents},
    {174, MAIN_CmdMagFieldHistory},
    {175, MAIN_CmdEciAxes},
    {176, MAIN_CmdEcemAxes},
    {32792, MAIN_CmdBodyAxes},
    {1700, MAIN_CmdOrbitAxes},
    {2121, MAIN_CmdDipoleMomentVector},
    {3568, MAIN_CmdRotationAxis},
    {32793, MAIN_CmdAngularVelocityVector},
    {5555, MAIN_CmdPrincipalAxes},
    {3331, MAIN_CmdGravityTorqueVector},
    {1690, MAIN_CmdSolarPressureTorqueVector},
    {12321, MAIN_CmdMagneticTorqueVector},
    {4534, MAIN_CmdTotalTorqueVector},
    {159, ORBIT_CmdMagFieldVectors},
    {160, ORBIT_CmdMagFieldLines},
    {161, ORBIT_CmdCycleMagFieldDisplay},
    {178, ORBIT_CmdNextSatellite},
    {371, MAIN_CmdToggleMovieRecording},
};

const VIEW_COMMAND* Find(uint16_t command)
{
    for (const VIEW_COMMAND& c : COMMANDS)
        if (c.id == command)
            return &c;
    return nullptr;
}

}

uint32_t MAIN_ViewCommand(uint16_t command)
{
    const VIEW_COMMAND* c = Find(command);
    if (!c)
        return 0;
    c->handler();
    return 1;
}

uint32_t MAIN_IsViewCommand(uint16_t command) { return Find(command) != nullptr; }

void MAIN_CmdSatInfoWindow() { OnCurrentSatellite(SATELIT_ToggleInfoWindow); }
void MAIN_CmdVelocityVector() { OnCurrentSatellite(SATELIT_ToggleLinearVelocity); }
void MAIN_CmdPositionHistory() { OnCurrentSatellite(SATELIT_ToggleHistory); }
void MAIN_CmdLabelDetails() { OnCurrentSatellite(SATELIT_ToggleTitleInfo); }
void MAIN_CmdGroundLine() { OnCurrentSatellite(SATELIT_ToggleTrackLine); }
void MAIN_CmdVisibilityBoundary() { OnCurrentSatellite(SATELIT_ToggleVisibilityBorder); }
void MAIN_CmdSunVector() { OnCurrentSatellite(SATELIT_ToggleSunVector); }
void MAIN_CmdMagFieldVector() { OnCurrentSatellite(SATELIT_ToggleMagVector); }
void MAIN_CmdMagFieldComponents() { OnCurrentSatellite(SATELIT_ToggleMagVectorComponents); }
void MAIN_CmdMagFieldHistory() { OnCurrentSatellite(SATELIT_ToggleMagVectorHistory); }
void MAIN_CmdEciAxes() { OnCurrentSatellite(SATELIT_ToggleLocalEciAxes); }
void MAIN_CmdEcemAxes() { OnCurrentSatellite(SATELIT_ToggleLocalMagAxes); }
void MAIN_CmdBodyAxes() { OnCurrentSatellite(SATELIT_ToggleLocalBodyAxes); }
void MAIN_CmdOrbitAxes() { OnCurrentSatellite(SATELIT_ToggleLocalOrbitAxes); }
void MAIN_CmdDipoleMomentVector() { OnCurrentSatellite(SATELIT_ToggleMagneticDipole); }
void MAIN_CmdRotationAxis() { OnCurrentSatellite(SATELIT_ToggleRotationAxis); }
void MAIN_CmdAngularVelocityVector() { OnCurrentSatellite(SATELIT_ToggleAngularVelocity); }
void MAIN_CmdPrincipalAxes() { OnCurrentSatellite(SATELIT_TogglePrincipalInertiaAxes); }
void MAIN_CmdGravityTorqueVector() { OnCurrentSatellite(SATELIT_ToggleGravityTorque); }
void MAIN_CmdSolarPressureTorqueVector() { OnCurrentSatellite(SATELIT_ToggleSolarTorque); }
void MAIN_CmdMagneticTorqueVector() { OnCurrentSatellite(SATELIT_ToggleMagneticTorque); }
void MAIN_CmdTotalTorqueVector() { OnCurrentSatellite(SATELIT_ToggleTotalTorque); }

void MAIN_CmdToggleMovieRecording()
{
    if (g_scene.window && g_orbitView.movieRecording)
        OGW_ToggleMovie(g_scene.window);
}
