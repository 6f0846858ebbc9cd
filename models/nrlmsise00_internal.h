// NRLMSISE-00 internals shared by its source files: the work record of one call
// and the model's routines under their published names.
#pragma once
#include "models/nrlmsise00.h"

namespace nrlmsise {

constexpr double kDgtr = 1.74533E-2;  // degrees to radians as the model has it
constexpr double kDr = 1.72142E-2;    // days to radians of the year
constexpr double kHr = 0.2618;        // hours to radians
constexpr double kSr = 7.2722E-5;     // seconds to radians
constexpr double kRgas = 831.4;
constexpr int kMaxSplineNodes = 10;

// Model state shared between the routines of one call.
struct MSIS_WORK {
    double gsurf, re;  // gravity and effective radius at the latitude
    double dm28;       // N2 mixed density of the thermosphere part
    double meso_tn1[5], meso_tn2[4], meso_tn3[5];
    double meso_tgn1[2], meso_tgn2[2], meso_tgn3[2];
    double dfa;        // f107A - 150
    double plg[4][9];  // associated Legendre polynomials of the latitude
    double ctloc, stloc, c2tloc, s2tloc, c3tloc, s3tloc;
    double apdf;       // daily Ap function
    double apt[4];     // 3-hour Ap function
};

constexpr double kZn2[4] = {72.5, 55.0, 45.0, 32.5};
constexpr double kZn3[5] = {32.5, 20.0, 15.0, 10.0, 0.0};

// Thermosphere profile shared by every species of one gts7 call.
struct MSIS_THERMO {
    double tinf;  // exospheric temperature
    double tlb;   // temperature at the lower boundary
    double s;     // temperature gradient shape
    double zlb;   // lower boundary altitude
    double zn1[5];
};

void tselec(NRLMSISE_FLAGS* flags);
void glatf(double lat, double* gv, double* reff);
double ccor(double alt, double r, double h1, double zh);
double ccor2(double alt, double r, double h1, double zh, double h2);
double scalh(const MSIS_WORK* w, double alt, double xm, double temp);
double dnet(double dd, double dm, double zhm, double xmm, double xm);
double densm(const MSIS_WORK* w, double alt, double d0, double xm, double* tz);
double densu(MSIS_WORK* w, const MSIS_THERMO* th, double alt, double dlb, double tinf, double tlb, double xm,
             double alpha, double* tz);
double globe7(MSIS_WORK* w, const double* p, const NRLMSISE_INPUT* in, const NRLMSISE_FLAGS* f);
double glob7s(const MSIS_WORK* w, const double* p, const NRLMSISE_INPUT* in, const NRLMSISE_FLAGS* f);

}  // namespace nrlmsise
