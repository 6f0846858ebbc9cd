// SGP: constants and helpers shared by the Spacetrack Report No. 3 models.
// Inside the models distances are in Earth radii and times in minutes.
#pragma once
#include <cstdint>
#include "models/sgp_tle.h"

constexpr double SGP_PI = 3.141592653589793;
constexpr double SGP_TWOPI = 6.283185307179586;

constexpr double SGP_XKMPER = 6378.135;          // Earth radius, km
constexpr double SGP_MU_3600 = 1434962880.0;     // 3600 * 398600.8 km^3/s^2
constexpr double SGP_J2 = 1.0826158e-3;
constexpr double SGP_CK2 = 5.413079e-4;          // J2 / 2
constexpr double SGP_CK2_X1_5 = 8.1196185e-4;
constexpr double SGP_CK2_X3 = 1.6239237e-3;
constexpr double SGP_CK2_HALF = 2.7065395e-4;
constexpr double SGP_CK2_QUARTER = 1.35326975e-4;
constexpr double SGP_CK2_X2 = 1.0826158e-3;
constexpr double SGP_CK2_X0_75 = 4.05980925e-4;
constexpr double SGP_J3 = -2.53881e-6;
constexpr double SGP_A3OVK2 = 4.690140306468833e-3;  // -J3 / ck2
constexpr double SGP_CK4 = 6.209887499999999e-7;     // -0.375 J4
constexpr double SGP_CK4_X1_25 = 7.762359374999998e-7;
constexpr double SGP_Q0 = 1.018814277214264;          // 1 + 120 km
constexpr double SGP_S = 1.0122292801892716;          // 1 + 78 km
constexpr double SGP_RHO = 0.15696590235;             // reference density term of SGP8/SDP8
constexpr double SGP_E6A = 1e-6;
constexpr double SGP_TOTHRD = 0.6666666666666666;
constexpr double SGP_MIN_PER_DAY = 1440.0;
constexpr int SGP_KEPLER_STEPS = 10;

// 1 + cos i vanishes for an inclination of 180 degrees; the models divide by it.
constexpr double SGP_MIN_ONE_PLUS_COS = 1.5e-12;

double SGP_Xke();
double SGP_Qoms2t();
double SGP_Modulus(double a, double b);
double SGP_FMod2p(double x);
double SGP_AcTan(double sinx, double cosx);
double SGP_OnePlusCos(double cosi);

// Solves E + ayn cos E - axn sin E = capu from `start` by Newton steps limited
// to 0.95 rad each, until successive values differ by 1e-12 or after 50 steps.
// The models take it only where their ten plain steps did not settle: for
// eccentricities near 1 a full step overshoots and the plain loop ends far
// from the solution, so they start it again from capu (the root lies within
// the eccentricity of capu).
double SGP_KeplerLimitedSteps(double capu, double axn, double ayn, double start);

// Values every model derives from the element set first: the Brouwer mean
// motion and semi-major axis and the terms of the inclination and eccentricity.
struct SGP_MEAN_ELEMENTS {
    double cosio, sinio, theta2, x3thm1;
    double eosq, betao2, betao;
    double xnodp, aodp;
};
void SGP_RecoverMeanElements(const SGP_ELEMENTS* el, SGP_MEAN_ELEMENTS* m);

// The initialisation of SGP4, shared with SDP4 (which reads only part of it).
struct SGP4_INIT {
    SGP_MEAN_ELEMENTS m;
    int isimp;
    double s4, qoms24, eta;
    double c1, c4, c5, x1mth2, x7thm1;
    double xmdot, omgdot, xnodot, omgcof, xmcof, xnodcf, t2cof, xlcof, aycof, delmo, sinmo;
    double d2, d3, d4, t3cof, t4cof, t5cof;
};
void SGP_Sgp4Initialise(const SGP_ELEMENTS* el, SGP4_INIT* k);
// Long-period periodics, Kepler's equation, short periodics and the state.
void SGP_Sgp4Finish(const SGP4_INIT* k, double a, double e, double xl, double omega, double xnode,
                    double xinc, double pos[4], double vel[4]);

// The initialisation of SGP8 common with SDP8 (the drag's simplified form).
struct SGP8_INIT {
    SGP_MEAN_ELEMENTS m;
    double b, cosi, sini, sing, cosg, sinio2, cosio2, theta2, tthmun, unm5th, unmth2, a3cof;
    double xmdt1, xgdt1, xhdt1, xlldot, omgdt, xnodot;
    double tsi, eta, eta2, psim2, alpha2, eeta, cos2g;
    double d1, d2, d3, d4, d5, b1, b2, b3, c0, c1, c4, c5;
    double xndt, xndtn, edot;
};
void SGP_Sgp8Initialise(const SGP_ELEMENTS* el, SGP8_INIT* k);
// The full drag form of SGP8: the drag rate of the eccentricity, the second
// and third derivatives of the mean motion and the second of the
// eccentricity, and the power laws fitted to them.
struct SGP8_DRAG {
    double edot, xnddt, eddot, xntrdt;
    double gamma, pp, qq, xnd, ed, ovgpp;
};
void SGP_Sgp8DragTerms(const SGP_ELEMENTS* el, const SGP8_INIT* k, SGP8_DRAG* g);
// Kepler's equation, short-period periodics and the state; sinHalfI is the
// sine of half the inclination used in the orientation terms.
void SGP_Sgp8Finish(const SGP8_INIT* k, double xmam, double em, double xn, double omgasm, double xnodes,
                    double sinHalfI, double pos[4], double vel[4]);

// Position and velocity from radius, argument of latitude, node and inclination
// through the orientation vectors of the report (SGP, SGP4, SDP4).
void SGP_OrientState(double rk, double uk, double xnodek, double xinck, double rdotk,
                     double rfdotk, double pos[4], double vel[4]);

// The models: tsince in minutes; output in Earth radii and Earth radii per minute.
void SGP_Sgp(double tsince, double pos[4], double vel[4], const SGP_ELEMENTS* el);
void SGP_Sgp4(double tsince, double pos[4], double vel[4], const SGP_ELEMENTS* el);
void SGP_Sgp8(double tsince, double pos[4], double vel[4], const SGP_ELEMENTS* el);
void SGP_Sdp4(double tsince, double pos[4], double vel[4], const SGP_ELEMENTS* el);
void SGP_Sdp8(double tsince, double pos[4], double vel[4], const SGP_ELEMENTS* el);

// Drivers: time as a Julian date.
void SGP_RunSgp(JULIAN_DATE time, double pos[4], double vel[4], const SGP_ELEMENTS* el);
void SGP_RunSgp4(JULIAN_DATE time, double pos[4], double vel[4], const SGP_ELEMENTS* el);
void SGP_RunSgp8(JULIAN_DATE time, double pos[4], double vel[4], const SGP_ELEMENTS* el);

void SGP_ConvertState(double pos[4], double vel[4]);
double SGP_Magnitude(const double v[4]);

// The deep-space part shared by SDP4 and SDP8, working on one program-wide block.
enum { SGP_DEEP_INIT = 1, SGP_DEEP_SECULAR = 2, SGP_DEEP_PERIODIC = 3 };
void SGP_Deep(int entry, const SGP_ELEMENTS* el);
// values: e^2, sin i, cos i, beta0, a0'', cos^2 i, sin w, cos w, beta0^2,
//         mean anomaly rate, perigee rate, node rate, n0''
void SGP_DeepInit(double values[13], const SGP_ELEMENTS* el);
// values: xll, perigee, node, e, i, n, tsince (e and i are outputs only)
void SGP_DeepSecular(double values[7], const SGP_ELEMENTS* el);
// values: e, i, perigee, node, xll
void SGP_DeepPeriodic(double values[5], const SGP_ELEMENTS* el);
double SGP_ThetaG(double epoch, double* ds50);
