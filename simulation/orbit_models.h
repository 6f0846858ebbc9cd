// ORBIT model updates: what the per-step scheduler calls for each model.
#pragma once

// Installs the scheduler's update calls of the Earth, Sun, Moon, satellites,
// attitude and on-board modules.
void ORBIT_InstallModelUpdates();
// Run start: the ephemeris constants, then the Earth angle, Sun and Moon at the clock.
void ORBIT_UpdateSceneNow();
