// NRLMSISE-00 empirical atmosphere model (Picone, Hedin, Drob), the published model
// with its published entries gtd7, gtd7d and ghp7. Input and output in the model's
// own units: km, degrees, hours, and cm^-3 / g cm^-3 unless switch 0 asks for SI.
#pragma once
#include <cstdint>

// Variation switches: 0 off, 1 on, 2 main effects off but cross terms on.
// switches[0] = 1 gives metres and kilograms; switches[9] = -1 uses the 3-hour Ap
// history of the input. The model fills sw and swc from switches on every call.
struct NRLMSISE_FLAGS {
    int32_t switches[24];
    double sw[24];
    double swc[24];
};

// Magnetic activity history: 0 daily Ap; 1 3-hour Ap now; 2, 3, 4 the 3-hour Ap 3, 6
// and 9 hours before; 5 and 6 the averages of eight 3-hour Ap from 12 to 33 and from
// 36 to 57 hours before.
struct NRLMSISE_AP_ARRAY {
    double a[7];
};

struct NRLMSISE_INPUT {
    int32_t year;    // ignored by the model
    int32_t doy;     // day of the year, 1 January = 1
    double sec;      // seconds of the day, UT
    double alt;      // altitude, km
    double g_lat;    // geodetic latitude, degrees
    double g_long;   // geodetic longitude, degrees
    double lst;      // local apparent solar time, hours
    double f107A;    // 81-day average of F10.7
    double f107;     // daily F10.7 of the previous day
    double ap;       // daily magnetic index
    const NRLMSISE_AP_ARRAY* ap_a;  // read only when switches[9] = -1
};

// d: He, O, N2, O2, Ar number densities, total mass density, H, N, anomalous O;
// t: exospheric temperature and temperature at the altitude (K).
struct NRLMSISE_OUTPUT {
    double d[9];
    double t[2];
};

// Neutral atmosphere from the ground to the lower exosphere. The total mass density
// d[5] sums He, O, N2, O2, Ar, H and N, without anomalous oxygen.
void gtd7(const NRLMSISE_INPUT* input, NRLMSISE_FLAGS* flags, NRLMSISE_OUTPUT* output);

// As gtd7, with d[5] the effective mass density for drag, anomalous oxygen included.
void gtd7d(const NRLMSISE_INPUT* input, NRLMSISE_FLAGS* flags, NRLMSISE_OUTPUT* output);

// Outputs at the pressure press (mbar) instead of an altitude; the altitude found is
// left in input->alt.
void ghp7(NRLMSISE_INPUT* input, NRLMSISE_FLAGS* flags, NRLMSISE_OUTPUT* output, double press);
