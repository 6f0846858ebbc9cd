// MAIN view commands: the handlers of the menu and accelerator ids that act
// on the 3-D view, its current satellite and the movie. The run-control ids
// (speed, pause, run end, about box) stay with the main window.
#pragma once
#include <cstdint>

// Runs the handler of a view command id; 0 when the id is none of them.
uint32_t MAIN_ViewCommand(uint16_t command);
// 1 when the id is a view command.
uint32_t MAIN_IsViewCommand(uint16_t command);

// Display switches of the view's current satellite; nothing without one.
void MAIN_CmdSatInfoWindow();
void MAIN_CmdVelocityVector();
void MAIN_CmdPositionHistory();
void MAIN_CmdLabelDetails();
void MAIN_CmdGroundLine();
void MAIN_CmdVisibilityBoundary();
void MAIN_CmdSunVector();
void MAIN_CmdMagFieldVector();
void MAIN_CmdMagFieldComponents();
void MAIN_CmdMagFieldHistory();
void MAIN_CmdEciAxes();
void MAIN_CmdEcemAxes();
void MAIN_CmdBodyAxes();
void MAIN_CmdOrbitAxes();
void MAIN_CmdDipoleMomentVector();
void MAIN_CmdRotationAxis();
void MAIN_CmdAngularVelocityVector();
void MAIN_CmdPrincipalAxes();
void MAIN_CmdGravityTorqueVector();
void MAIN_CmdSolarPressureTorqueVector();
void MAIN_CmdMagneticTorqueVector();
void MAIN_CmdTotalTorqueVector();
// Stops a running movie or starts (continues) a stopped one, when the 3-D
// window exists and "MovieRecording" is on; otherwise nothing.
void MAIN_CmdToggleMovieRecording();
