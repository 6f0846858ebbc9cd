// ORBIT scene at the run's start and end: the 3-D window "Orbit" with its
// placement, camera, projection, movie, screenshots, fonts, GL state, quadric
// and textures, and the hooks through which the scheduler reaches it.
#pragma once
#include <cstdint>

// With "OrbitGraphics" on: makes and opens the window (camera mode 0: the
// configured one). 1 on success; on failure what was made is undone.
uint32_t ORBIT_OpenScene(uint32_t cameraMode);
// After the satellites are loaded: the current satellite, a satellite
// camera's set-up, the scheduler's hooks and the first frame.
void ORBIT_EnableScene();
// Loads textures into the window from the calling thread (0: ends loading).
void ORBIT_LoadIntoScene(uint32_t loading);
// Stops the drawing and destroys the window with its fonts and textures.
void ORBIT_CloseScene();
// Places the window next to the main window at the configured size.
void ORBIT_PlaceWindow();
