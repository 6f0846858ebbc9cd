// ORBIT model updates: what the per-step scheduler calls for each model.
#pragma once

// Installs the scheduler's update calls of the satellites, attitude and
// on-board modules, and the scene refresh at the end of every tick.
void ORBIT_InstallModelUpdates();
// Run start: the ephemeris constants, then the Earth angle, Sun and Moon at the clock.
void ORBIT_UpdateSceneNow();
// Run start, once the satellites and stations are loaded: the whole scene at the clock.
void ORBIT_RefreshSceneNow();
