// Coefficient arrays of NRLMSISE-00 (generated data, models/nrlmsise00_data.cpp).
#pragma once

extern const double g_msis_pt[150];      // temperature
extern const double g_msis_pd[9][150];   // He, O, N2, TLB, O2, Ar, H, N, hot O densities
extern const double g_msis_ps[150];      // S parameter
extern const double g_msis_pdl[2][25];   // turbopause
extern const double g_msis_ptl[4][100];  // lower thermosphere temperature nodes
extern const double g_msis_pma[10][100]; // middle atmosphere temperature nodes
extern const double g_msis_sam[100];     // semiannual multiplier (not used by the model)
extern const double g_msis_ptm[10];      // lower boundary
extern const double g_msis_pdm[8][10];   // lower boundary densities and mixing
extern const double g_msis_pavgm[10];    // middle atmosphere averages
