// ATMO: air density at a satellite's position, from a density table by altitude
// (model 1, UASA2000) or from NRLMSISE-00 with fixed solar and geomagnetic activity
// (model 2, NRLMSISE00).
#pragma once
#include <cstdint>
#include "foundation/time.h"

typedef uint32_t ATMO_MODEL;
constexpr ATMO_MODEL ATMO_MODEL_UASA2000 = 1;
constexpr ATMO_MODEL ATMO_MODEL_NRLMSISE00 = 2;

// Density table by whole kilometre of altitude, kg/m^3, strictly decreasing.
constexpr int ATMO_TABLE_FIRST_KM = 86;
constexpr int ATMO_TABLE_LAST_KM = 1000;
constexpr int ATMO_TABLE_ENTRIES = ATMO_TABLE_LAST_KM - ATMO_TABLE_FIRST_KM + 1;
extern const double g_atmoDensityTable[ATMO_TABLE_ENTRIES];

// Per run: model 1 selected, NRLMSISE-00 switches set (cgs output, every variation
// on, daily Ap).
void ATMO_Init();
void ATMO_Done();

// Model of the next density query; codes other than 1 and 2 give density 0.
void ATMO_SetModel(ATMO_MODEL model);

// Density in kg/m^3 at the altitude (km), longitude and latitude (degrees) and
// time, by the selected model.
double ATMO_GetDensity(double altitude, double longitude, double latitude, TIME_MS time);

// Model 1: the table entry of the altitude truncated to whole kilometres; below
// 86 km the 86 km entry, from 1000 km up (and for an altitude that is not a number)
// the 1000 km entry.
double ATMO_TableByAltitude(double altitude);
