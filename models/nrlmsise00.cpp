// NRLMSISE-00: the published model's computation. The internal routines keep the
// model's own names (gts7, globe7, glob7s, densu, densm, ...) so they can be read
// beside its documentation; what the published code keeps in common blocks lives
// in one work record per call, so every call computes from scratch.
#include "models/nrlmsise00.h"
#include <cmath>
#include <cstdio>
#include "models/nrlmsise00_data.h"

namespace {

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

const double kZn2[4] = {72.5, 55.0, 45.0, 32.5};
const double kZn3[5] = {32.5, 20.0, 15.0, 10.0, 0.0};

void tselec(NRLMSISE_FLAGS* flags)
{
    for (int i = 0; i < 24; i++) {
        if (i != 9) {
            flags->sw[i] = flags->switches[i] == 1 ? 1 : 0;
            flags->swc[i] = flags->switches[i] > 0 ? 1 : 0;
        } else {
            flags->sw[i] = flags->switches[i];
            flags->swc[i] = flags->switches[i];
        }
    }
}

// Latitude variation of gravity and the effective Earth radius.
void glatf(double lat, double* gv, double* reff)
{
    double c2 = std::cos(2.0 * kDgtr * lat);
    *gv = 980.616 * (1.0 - 0.0026373 * c2);
    *reff = 2.0 * (*gv) / (3.085462E-6 + 2.27E-9 * c2) * 1.0E-5;
}

// Chemistry / dissociation correction: r target ratio, h1 transition scale length,
// zh altitude of half the ratio.
double ccor(double alt, double r, double h1, double zh)
{
    double e = (alt - zh) / h1;
    if (e > 70) return std::exp(0.0);
    if (e < -70) return std::exp(r);
    return std::exp(r / (1.0 + std::exp(e)));
}

// The same with a second transition scale length h2.
double ccor2(double alt, double r, double h1, double zh, double h2)
{
    double e1 = (alt - zh) / h1;
    double e2 = (alt - zh) / h2;
    if (e1 > 70 || e2 > 70) return std::exp(0.0);
    if (e1 < -70 && e2 < -70) return std::exp(r);
    return std::exp(r / (1.0 + 0.5 * (std::exp(e1) + std::exp(e2))));
}

double scalh(const MSIS_WORK* w, double alt, double xm, double temp)
{
    double g = w->gsurf / std::pow(1.0 + alt / w->re, 2.0);
    return kRgas * temp / (g * xm);
}

// Turbopause correction: combines the diffusive density dd and the fully mixed
// density dm over the transition scale length zhm.
double dnet(double dd, double dm, double zhm, double xmm, double xm)
{
    double a = zhm / (xmm - xm);
    if (!(dm > 0 && dd > 0)) {
        printf("dnet log error %e %e %e\n", dm, dd, xm);
        if (dd == 0 && dm == 0) dd = 1;
        if (dm == 0) return dd;
        if (dd == 0) return dm;
    }
    double ylog = a * std::log(dm / dd);
    if (ylog < -10) return dd;
    if (ylog > 10) return dm;
    return dd * std::pow(1.0 + std::exp(ylog), 1.0 / a);
}

// Integral of the cubic spline from xa[0] to x.
void splini(const double* xa, const double* ya, const double* y2a, int n, double x, double* y)
{
    double yi = 0;
    int klo = 0;
    int khi = 1;
    while (x > xa[klo] && khi < n) {
        double xx = x;
        if (khi < n - 1) xx = x < xa[khi] ? x : xa[khi];
        double h = xa[khi] - xa[klo];
        double a = (xa[khi] - xx) / h;
        double b = (xx - xa[klo]) / h;
        double a2 = a * a;
        double b2 = b * b;
        yi += ((1.0 - a2) * ya[klo] / 2.0 + b2 * ya[khi] / 2.0 +
               ((-(1.0 + a2 * a2) / 4.0 + a2 / 2.0) * y2a[klo] + (b2 * b2 / 4.0 - b2 / 2.0) * y2a[khi]) * h * h / 6.0) *
              h;
        klo++;
        khi++;
    }
    *y = yi;
}

// Cubic spline value at x.
void splint(const double* xa, const double* ya, const double* y2a, int n, double x, double* y)
{
    int klo = 0;
    int khi = n - 1;
    while (khi - klo > 1) {
        int k = (khi + klo) / 2;
        if (xa[k] > x)
            khi = k;
        else
            klo = k;
    }
    double h = xa[khi] - xa[klo];
    if (h == 0.0) printf("bad XA input to splint");
    double a = (xa[khi] - x) / h;
    double b = (x - xa[klo]) / h;
    *y = a * ya[klo] + b * ya[khi] + ((a * a * a - a) * y2a[klo] + (b * b * b - b) * y2a[khi]) * h * h / 6.0;
}

// Second derivatives of the cubic spline through (x, y); end derivatives yp1, ypn,
// values of 1e30 and more meaning a zero second derivative there.
void spline(const double* x, const double* y, int n, double yp1, double ypn, double* y2)
{
    double u[kMaxSplineNodes];
    if (yp1 > 0.99E30) {
        y2[0] = 0;
        u[0] = 0;
    } else {
        y2[0] = -0.5;
        u[0] = (3.0 / (x[1] - x[0])) * ((y[1] - y[0]) / (x[1] - x[0]) - yp1);
    }
    for (int i = 1; i < n - 1; i++) {
        double sig = (x[i] - x[i - 1]) / (x[i + 1] - x[i - 1]);
        double p = sig * y2[i - 1] + 2.0;
        y2[i] = (sig - 1.0) / p;
        u[i] = (6.0 * ((y[i + 1] - y[i]) / (x[i + 1] - x[i]) - (y[i] - y[i - 1]) / (x[i] - x[i - 1])) /
                    (x[i + 1] - x[i - 1]) -
                sig * u[i - 1]) /
               p;
    }
    double qn = 0;
    double un = 0;
    if (!(ypn > 0.99E30)) {
        qn = 0.5;
        un = (3.0 / (x[n - 1] - x[n - 2])) * (ypn - (y[n - 1] - y[n - 2]) / (x[n - 1] - x[n - 2]));
    }
    y2[n - 1] = (un - qn * u[n - 2]) / (qn * y2[n - 2] + 1.0);
    for (int k = n - 2; k >= 0; k--) y2[k] = y2[k] * y2[k + 1] + u[k];
}

double zeta(const MSIS_WORK* w, double zz, double zl)
{
    return (zz - zl) * (w->re + zl) / (w->re + zz);
}

// One spline section of the lower atmosphere: temperature at alt from the inverse
// temperature nodes, and when xm is not 0 the density carried down from d0.
struct MSIS_SECTION {
    int mn;
    const double* zn;
    const double* tn;
    const double* tgn;
};

double DensmSection(const MSIS_WORK* w, const MSIS_SECTION* sec, double z, double d0, double xm, double* tz)
{
    double xs[kMaxSplineNodes], ys[kMaxSplineNodes], y2out[kMaxSplineNodes];
    int mn = sec->mn;
    double z1 = sec->zn[0];
    double z2 = sec->zn[mn - 1];
    double t1 = sec->tn[0];
    double t2 = sec->tn[mn - 1];
    double zg = zeta(w, z, z1);
    double zgdif = zeta(w, z2, z1);
    for (int k = 0; k < mn; k++) {
        xs[k] = zeta(w, sec->zn[k], z1) / zgdif;
        ys[k] = 1.0 / sec->tn[k];
    }
    double yd1 = -sec->tgn[0] / (t1 * t1) * zgdif;
    double yd2 = -sec->tgn[1] / (t2 * t2) * zgdif * std::pow((w->re + z2) / (w->re + z1), 2.0);
    spline(xs, ys, mn, yd1, yd2, y2out);
    double x = zg / zgdif;
    double y;
    splint(xs, ys, y2out, mn, x, &y);
    *tz = 1.0 / y;
    if (xm == 0.0) return d0;
    double glb = w->gsurf / std::pow(1.0 + z1 / w->re, 2.0);
    double gamm = xm * glb * zgdif / kRgas;
    double yi;
    splini(xs, ys, y2out, mn, x, &yi);
    double expl = gamm * yi;
    if (expl > 50.0) expl = 50.0;
    return d0 * (t1 / *tz) * std::exp(-expl);
}

// Temperature and density profiles of the lower atmosphere (below zn2[0]); returns
// the temperature when xm is 0, else the density.
double densm(const MSIS_WORK* w, double alt, double d0, double xm, double* tz)
{
    if (alt > kZn2[0]) return xm == 0.0 ? *tz : d0;

    // Stratosphere / mesosphere.
    MSIS_SECTION upper = {4, kZn2, w->meso_tn2, w->meso_tgn2};
    double z = alt > kZn2[3] ? alt : kZn2[3];
    double density = DensmSection(w, &upper, z, d0, xm, tz);
    if (alt > kZn3[0]) return xm == 0.0 ? *tz : density;

    // Troposphere / stratosphere.
    MSIS_SECTION lower = {5, kZn3, w->meso_tn3, w->meso_tgn3};
    density = DensmSection(w, &lower, alt, density, xm, tz);
    return xm == 0.0 ? *tz : density;
}

// Thermosphere profile shared by every species of one gts7 call.
struct MSIS_THERMO {
    double tinf;  // exospheric temperature
    double tlb;   // temperature at the lower boundary
    double s;     // temperature gradient shape
    double zlb;   // lower boundary altitude
    double zn1[5];
};

// Temperature and density profiles above the lower thermosphere (Bates profile
// with a spline below za); returns the temperature when xm is 0, else the density.
double densu(MSIS_WORK* w, const MSIS_THERMO* th, double alt, double dlb, double tinf, double tlb, double xm,
             double alpha, double* tz)
{
    const double* zn1 = th->zn1;
    const int mn1 = 5;
    double* tn1 = w->meso_tn1;
    double* tgn1 = w->meso_tgn1;
    double za = zn1[0];
    double z = alt > za ? alt : za;

    // Geopotential altitude difference from the lower boundary, Bates temperature.
    double zg2 = zeta(w, z, th->zlb);
    double tt = tinf - (tinf - tlb) * std::exp(-th->s * zg2);
    double ta = tt;
    *tz = tt;
    double densu_temp = *tz;

    double xs[5], ys[5], y2out[5];
    double x = 0, z1 = 0, t1 = 0, zgdif = 0;
    if (alt < za) {
        // Temperature below za, the gradient at za taken from the Bates profile.
        double dta = (tinf - ta) * th->s * std::pow((w->re + th->zlb) / (w->re + za), 2.0);
        tgn1[0] = dta;
        tn1[0] = ta;
        z = alt > zn1[mn1 - 1] ? alt : zn1[mn1 - 1];
        z1 = zn1[0];
        double z2 = zn1[mn1 - 1];
        t1 = tn1[0];
        double t2 = tn1[mn1 - 1];
        double zg = zeta(w, z, z1);
        zgdif = zeta(w, z2, z1);
        for (int k = 0; k < mn1; k++) {
            xs[k] = zeta(w, zn1[k], z1) / zgdif;
            ys[k] = 1.0 / tn1[k];
        }
        double yd1 = -tgn1[0] / (t1 * t1) * zgdif;
        double yd2 = -tgn1[1] / (t2 * t2) * zgdif * std::pow((w->re + z2) / (w->re + z1), 2.0);
        spline(xs, ys, mn1, yd1, yd2, y2out);
        x = zg / zgdif;
        double y;
        splint(xs, ys, y2out, mn1, x, &y);
        *tz = 1.0 / y;
        densu_temp = *tz;
    }
    if (xm == 0) return densu_temp;

    // Density above za.
    double glb = w->gsurf / std::pow(1.0 + th->zlb / w->re, 2.0);
    double gamma = xm * glb / (th->s * kRgas * tinf);
    double expl = std::exp(-th->s * gamma * zg2);
    if (expl > 50.0) expl = 50.0;
    if (tt <= 0) expl = 50.0;
    double densa = dlb * std::pow(tlb / tt, 1.0 + alpha + gamma) * expl;
    densu_temp = densa;
    if (alt >= za) return densu_temp;

    // Density below za from the integrated spline temperatures.
    glb = w->gsurf / std::pow(1.0 + z1 / w->re, 2.0);
    double gamm = xm * glb * zgdif / kRgas;
    double yi;
    splini(xs, ys, y2out, mn1, x, &yi);
    expl = gamm * yi;
    if (expl > 50.0) expl = 50.0;
    if (*tz <= 0) expl = 50.0;
    return densu_temp * std::pow(t1 / *tz, 1.0 + alpha) * std::exp(-expl);
}

// 3-hour magnetic activity functions (eq. A24a, A24c, A24d of the model paper).
double g0(double a, const double* p, double p24)
{
    return a - 4.0 + (p[25] - 1.0) * (a - 4.0 + (std::exp(-std::sqrt(p24 * p24) * (a - 4.0)) - 1.0) / std::sqrt(p24 * p24));
}

double sumex(double ex)
{
    return 1.0 + (1.0 - std::pow(ex, 19.0)) / (1.0 - ex) * std::pow(ex, 0.5);
}

double sg0(double ex, const double* p, double p24, const double* ap)
{
    return (g0(ap[1], p, p24) +
            (g0(ap[2], p, p24) * ex + g0(ap[3], p, p24) * ex * ex + g0(ap[4], p, p24) * std::pow(ex, 3.0) +
             (g0(ap[5], p, p24) * std::pow(ex, 4.0) + g0(ap[6], p, p24) * std::pow(ex, 12.0)) *
                 (1.0 - std::pow(ex, 8.0)) / (1.0 - ex))) /
           sumex(ex);
}

void LegendrePolynomials(MSIS_WORK* w, double lat)
{
    double c = std::sin(lat * kDgtr);
    double s = std::cos(lat * kDgtr);
    double c2 = c * c;
    double c4 = c2 * c2;
    double s2 = s * s;
    double (*plg)[9] = w->plg;
    plg[0][1] = c;
    plg[0][2] = 0.5 * (3.0 * c2 - 1.0);
    plg[0][3] = 0.5 * (5.0 * c * c2 - 3.0 * c);
    plg[0][4] = (35.0 * c4 - 30.0 * c2 + 3.0) / 8.0;
    plg[0][5] = (63.0 * c2 * c2 * c - 70.0 * c2 * c + 15.0 * c) / 8.0;
    plg[0][6] = (11.0 * c * plg[0][5] - 5.0 * plg[0][4]) / 6.0;
    plg[1][1] = s;
    plg[1][2] = 3.0 * c * s;
    plg[1][3] = 1.5 * (5.0 * c2 - 1.0) * s;
    plg[1][4] = 2.5 * (7.0 * c2 * c - 3.0 * c) * s;
    plg[1][5] = 1.875 * (21.0 * c4 - 14.0 * c2 + 1.0) * s;
    plg[1][6] = (11.0 * c * plg[1][5] - 6.0 * plg[1][4]) / 5.0;
    plg[2][2] = 3.0 * s2;
    plg[2][3] = 15.0 * s2 * c;
    plg[2][4] = 7.5 * (7.0 * c2 - 1.0) * s2;
    plg[2][5] = 3.0 * c * plg[2][4] - 2.0 * plg[2][3];
    plg[2][6] = (11.0 * c * plg[2][5] - 7.0 * plg[2][4]) / 4.0;
    plg[2][7] = (13.0 * c * plg[2][6] - 8.0 * plg[2][5]) / 5.0;
    plg[3][3] = 15.0 * s2 * s;
    plg[3][4] = 105.0 * s2 * s * c;
    plg[3][5] = (9.0 * c * plg[3][4] - 7. * plg[3][3]) / 2.0;
    plg[3][6] = (11.0 * c * plg[3][5] - 8. * plg[3][4]) / 3.0;
}

// Annual and semiannual phase cosines of one parameter set.
struct MSIS_SEASON {
    double cd32, cd18, cd14, cd39;
};

MSIS_SEASON Season(const double* p, int doy)
{
    MSIS_SEASON s;
    s.cd32 = std::cos(kDr * (doy - p[31]));
    s.cd18 = std::cos(2.0 * kDr * (doy - p[17]));
    s.cd14 = std::cos(kDr * (doy - p[13]));
    s.cd39 = std::cos(2.0 * kDr * (doy - p[38]));
    return s;
}

// Magnetic activity term of globe7 (t[8]); sets the Ap functions of the work record.
double Globe7Activity(MSIS_WORK* w, const double* p, const NRLMSISE_INPUT* in, const NRLMSISE_FLAGS* f,
                      double cd14, double tloc)
{
    const double* plg0 = w->plg[0];
    const double* plg1 = w->plg[1];
    if (f->sw[9] == -1) {
        if (p[51] == 0) return 0;
        double exp1 = std::exp(-10800.0 * std::sqrt(p[51] * p[51]) /
                               (1.0 + p[138] * (45.0 - std::sqrt(in->g_lat * in->g_lat))));
        if (exp1 > 0.99999) exp1 = 0.99999;
        double p24 = p[24] < 1.0E-4 ? 1.0E-4 : p[24];
        w->apt[0] = sg0(exp1, p, p24, in->ap_a->a);
        return w->apt[0] * (p[50] + p[96] * plg0[2] + p[54] * plg0[4] +
                            (p[125] * plg0[1] + p[126] * plg0[3] + p[127] * plg0[5]) * cd14 * f->swc[5] +
                            (p[128] * plg1[1] + p[129] * plg1[3] + p[130] * plg1[5]) * f->swc[7] *
                                std::cos(kHr * (tloc - p[131])));
    }
    double apd = in->ap - 4.0;
    double p44 = p[43];
    double p45 = p[44];
    if (p44 < 0) p44 = 1.0E-5;
    w->apdf = apd + (p45 - 1.0) * (apd + (std::exp(-p44 * apd) - 1.0) / p44);
    if (!f->sw[9]) return 0;
    return w->apdf * (p[32] + p[45] * plg0[2] + p[34] * plg0[4] +
                      (p[100] * plg0[1] + p[101] * plg0[3] + p[102] * plg0[5]) * cd14 * f->swc[5] +
                      (p[121] * plg1[1] + p[122] * plg1[3] + p[123] * plg1[5]) * f->swc[7] *
                          std::cos(kHr * (tloc - p[124])));
}

// Longitudinal, UT and mixed UT/longitude/activity terms of globe7 (t[10..12]).
void Globe7Longitude(const MSIS_WORK* w, const double* p, const NRLMSISE_INPUT* in, const NRLMSISE_FLAGS* f,
                     double cd14, double* t)
{
    if (!(f->sw[10] && in->g_long > -1000.0)) return;
    const double* plg0 = w->plg[0];
    const double* plg1 = w->plg[1];
    const double* plg2 = w->plg[2];
    double dfa = w->dfa;
    if (f->sw[11]) {
        t[10] = (1.0 + p[80] * dfa * f->swc[1]) *
                ((p[64] * plg1[2] + p[65] * plg1[4] + p[66] * plg1[6] + p[103] * plg1[1] + p[104] * plg1[3] +
                  p[105] * plg1[5] + f->swc[5] * (p[109] * plg1[1] + p[110] * plg1[3] + p[111] * plg1[5]) * cd14) *
                     std::cos(kDgtr * in->g_long) +
                 (p[90] * plg1[2] + p[91] * plg1[4] + p[92] * plg1[6] + p[106] * plg1[1] + p[107] * plg1[3] +
                  p[108] * plg1[5] + f->swc[5] * (p[112] * plg1[1] + p[113] * plg1[3] + p[114] * plg1[5]) * cd14) *
                     std::sin(kDgtr * in->g_long));
    }
    if (f->sw[12]) {
        t[11] = (1.0 + p[95] * plg0[1]) * (1.0 + p[81] * dfa * f->swc[1]) *
                (1.0 + p[119] * plg0[1] * f->swc[5] * cd14) *
                ((p[68] * plg0[1] + p[69] * plg0[3] + p[70] * plg0[5]) * std::cos(kSr * (in->sec - p[71])));
        t[11] += f->swc[11] * (p[76] * plg2[3] + p[77] * plg2[5] + p[78] * plg2[7]) *
                 std::cos(kSr * (in->sec - p[79]) + 2.0 * kDgtr * in->g_long) * (1.0 + p[137] * dfa * f->swc[1]);
    }
    if (!f->sw[13]) return;
    if (f->sw[9] == -1) {
        if (p[51] == 0) return;
        double apt = w->apt[0];
        t[12] = apt * f->swc[11] * (1. + p[132] * plg0[1]) *
                    ((p[52] * plg1[2] + p[98] * plg1[4] + p[67] * plg1[6]) * std::cos(kDgtr * (in->g_long - p[97]))) +
                apt * f->swc[11] * f->swc[5] * (p[133] * plg1[1] + p[134] * plg1[3] + p[135] * plg1[5]) * cd14 *
                    std::cos(kDgtr * (in->g_long - p[136])) +
                apt * f->swc[12] * (p[55] * plg0[1] + p[56] * plg0[3] + p[57] * plg0[5]) *
                    std::cos(kSr * (in->sec - p[58]));
    } else {
        double apdf = w->apdf;
        t[12] = apdf * f->swc[11] * (1.0 + p[120] * plg0[1]) *
                    ((p[60] * plg1[2] + p[61] * plg1[4] + p[62] * plg1[6]) * std::cos(kDgtr * (in->g_long - p[63]))) +
                apdf * f->swc[11] * f->swc[5] * (p[115] * plg1[1] + p[116] * plg1[3] + p[117] * plg1[5]) * cd14 *
                    std::cos(kDgtr * (in->g_long - p[118])) +
                apdf * f->swc[12] * (p[83] * plg0[1] + p[84] * plg0[3] + p[85] * plg0[5]) *
                    std::cos(kSr * (in->sec - p[75]));
    }
}

// G(L) expansion of the upper thermosphere for the parameter set p.
double globe7(MSIS_WORK* w, const double* p, const NRLMSISE_INPUT* in, const NRLMSISE_FLAGS* f)
{
    double t[15] = {0};
    double tloc = in->lst;
    LegendrePolynomials(w, in->g_lat);
    const double* plg0 = w->plg[0];
    const double* plg1 = w->plg[1];
    const double* plg2 = w->plg[2];
    const double* plg3 = w->plg[3];

    if (!(f->sw[7] == 0 && f->sw[8] == 0 && f->sw[14] == 0)) {
        w->stloc = std::sin(kHr * tloc);
        w->ctloc = std::cos(kHr * tloc);
        w->s2tloc = std::sin(2.0 * kHr * tloc);
        w->c2tloc = std::cos(2.0 * kHr * tloc);
        w->s3tloc = std::sin(3.0 * kHr * tloc);
        w->c3tloc = std::cos(3.0 * kHr * tloc);
    }
    MSIS_SEASON sn = Season(p, in->doy);

    // F10.7 effect.
    double df = in->f107 - in->f107A;
    w->dfa = in->f107A - 150.0;
    double dfa = w->dfa;
    t[0] = p[19] * df * (1.0 + p[59] * dfa) + p[20] * df * df + p[21] * dfa + p[29] * std::pow(dfa, 2.0);
    double f1 = 1.0 + (p[47] * dfa + p[19] * df + p[20] * df * df) * f->swc[1];
    double f2 = 1.0 + (p[49] * dfa + p[19] * df + p[20] * df * df) * f->swc[1];

    // Time independent, symmetrical and asymmetrical annual and semiannual.
    t[1] = (p[1] * plg0[2] + p[2] * plg0[4] + p[22] * plg0[6]) + (p[14] * plg0[2]) * dfa * f->swc[1] + p[26] * plg0[1];
    t[2] = p[18] * sn.cd32;
    t[3] = (p[15] + p[16] * plg0[2]) * sn.cd18;
    t[4] = f1 * (p[9] * plg0[1] + p[10] * plg0[3]) * sn.cd14;
    t[5] = p[37] * plg0[1] * sn.cd39;

    if (f->sw[7]) {  // diurnal
        double t71 = (p[11] * plg1[2]) * sn.cd14 * f->swc[5];
        double t72 = (p[12] * plg1[2]) * sn.cd14 * f->swc[5];
        t[6] = f2 * ((p[3] * plg1[1] + p[4] * plg1[3] + p[27] * plg1[5] + t71) * w->ctloc +
                     (p[6] * plg1[1] + p[7] * plg1[3] + p[28] * plg1[5] + t72) * w->stloc);
    }
    if (f->sw[8]) {  // semidiurnal
        double t81 = (p[23] * plg2[3] + p[35] * plg2[5]) * sn.cd14 * f->swc[5];
        double t82 = (p[33] * plg2[3] + p[36] * plg2[5]) * sn.cd14 * f->swc[5];
        t[7] = f2 * ((p[5] * plg2[2] + p[41] * plg2[4] + t81) * w->c2tloc +
                     (p[8] * plg2[2] + p[42] * plg2[4] + t82) * w->s2tloc);
    }
    if (f->sw[14]) {  // terdiurnal
        t[13] = f2 * ((p[39] * plg3[3] + (p[93] * plg3[4] + p[46] * plg3[6]) * sn.cd14 * f->swc[5]) * w->s3tloc +
                      (p[40] * plg3[3] + (p[94] * plg3[4] + p[48] * plg3[6]) * sn.cd14 * f->swc[5]) * w->c3tloc);
    }
    t[8] = Globe7Activity(w, p, in, f, sn.cd14, tloc);
    Globe7Longitude(w, p, in, f, sn.cd14, t);

    double tinf = p[30];
    for (int i = 0; i < 14; i++) tinf = tinf + std::fabs(f->sw[i + 1]) * t[i];
    return tinf;
}

// G(L) expansion of the lower atmosphere; uses the Legendre polynomials, local time
// terms and activity functions of the last globe7 call.
double glob7s(const MSIS_WORK* w, const double* p, const NRLMSISE_INPUT* in, const NRLMSISE_FLAGS* f)
{
    const double pset = 2.0;
    double p99 = p[99] == 0 ? pset : p[99];
    if (p99 != pset) {
        printf("Wrong parameter set for glob7s\n");
        return -1;
    }
    const double* plg0 = w->plg[0];
    const double* plg1 = w->plg[1];
    const double* plg2 = w->plg[2];
    const double* plg3 = w->plg[3];
    double t[14] = {0};
    MSIS_SEASON sn = Season(p, in->doy);

    t[0] = p[21] * w->dfa;
    t[1] = p[1] * plg0[2] + p[2] * plg0[4] + p[22] * plg0[6] + p[26] * plg0[1] + p[14] * plg0[3] + p[59] * plg0[5];
    t[2] = (p[18] + p[47] * plg0[2] + p[29] * plg0[4]) * sn.cd32;
    t[3] = (p[15] + p[16] * plg0[2] + p[30] * plg0[4]) * sn.cd18;
    t[4] = (p[9] * plg0[1] + p[10] * plg0[3] + p[20] * plg0[5]) * sn.cd14;
    t[5] = (p[37] * plg0[1]) * sn.cd39;
    if (f->sw[7]) {
        double t71 = p[11] * plg1[2] * sn.cd14 * f->swc[5];
        double t72 = p[12] * plg1[2] * sn.cd14 * f->swc[5];
        t[6] = (p[3] * plg1[1] + p[4] * plg1[3] + t71) * w->ctloc + (p[6] * plg1[1] + p[7] * plg1[3] + t72) * w->stloc;
    }
    if (f->sw[8]) {
        double t81 = (p[23] * plg2[3] + p[35] * plg2[5]) * sn.cd14 * f->swc[5];
        double t82 = (p[33] * plg2[3] + p[36] * plg2[5]) * sn.cd14 * f->swc[5];
        t[7] = (p[5] * plg2[2] + p[41] * plg2[4] + t81) * w->c2tloc + (p[8] * plg2[2] + p[42] * plg2[4] + t82) * w->s2tloc;
    }
    if (f->sw[14]) t[13] = p[39] * plg3[3] * w->s3tloc + p[40] * plg3[3] * w->c3tloc;
    if (f->sw[9]) {
        if (f->sw[9] == 1) t[8] = w->apdf * (p[32] + p[45] * plg0[2] * f->swc[2]);
        if (f->sw[9] == -1) t[8] = p[50] * w->apt[0] + p[96] * plg0[2] * w->apt[0] * f->swc[2];
    }
    if (!(f->sw[10] == 0 || f->sw[11] == 0 || in->g_long <= -1000.0)) {
        t[10] = (1.0 +
                 plg0[1] * (p[80] * f->swc[5] * std::cos(kDr * (in->doy - p[81])) +
                            p[85] * f->swc[6] * std::cos(2.0 * kDr * (in->doy - p[86]))) +
                 p[83] * f->swc[3] * std::cos(kDr * (in->doy - p[84])) +
                 p[87] * f->swc[4] * std::cos(2.0 * kDr * (in->doy - p[88]))) *
                ((p[64] * plg1[2] + p[65] * plg1[4] + p[66] * plg1[6] + p[74] * plg1[1] + p[75] * plg1[3] +
                  p[76] * plg1[5]) *
                     std::cos(kDgtr * in->g_long) +
                 (p[90] * plg1[2] + p[91] * plg1[4] + p[92] * plg1[6] + p[77] * plg1[1] + p[78] * plg1[3] +
                  p[79] * plg1[5]) *
                     std::sin(kDgtr * in->g_long));
    }
    double tt = 0;
    for (int i = 0; i < 14; i++) tt += std::fabs(f->sw[i + 1]) * t[i];
    return tt;
}

// Lower thermosphere temperature nodes (tn1) and the gradient at their bottom.
void LowerThermosphereNodes(MSIS_WORK* w, const NRLMSISE_INPUT* in, const NRLMSISE_FLAGS* f)
{
    const double* ptm = g_msis_ptm;
    double base4 = ptm[4] * g_msis_ptl[3][0];
    if (in->alt < 300.0) {
        // Lower thermosphere variations matter for the density only below 300 km.
        w->meso_tn1[1] = ptm[6] * g_msis_ptl[0][0] / (1.0 - f->sw[18] * glob7s(w, g_msis_ptl[0], in, f));
        w->meso_tn1[2] = ptm[2] * g_msis_ptl[1][0] / (1.0 - f->sw[18] * glob7s(w, g_msis_ptl[1], in, f));
        w->meso_tn1[3] = ptm[7] * g_msis_ptl[2][0] / (1.0 - f->sw[18] * glob7s(w, g_msis_ptl[2], in, f));
        w->meso_tn1[4] = base4 / (1.0 - f->sw[18] * f->sw[20] * glob7s(w, g_msis_ptl[3], in, f));
        w->meso_tgn1[1] = ptm[8] * g_msis_pma[8][0] * (1.0 + f->sw[18] * f->sw[20] * glob7s(w, g_msis_pma[8], in, f)) *
                          w->meso_tn1[4] * w->meso_tn1[4] / std::pow(base4, 2.0);
    } else {
        w->meso_tn1[1] = ptm[6] * g_msis_ptl[0][0];
        w->meso_tn1[2] = ptm[2] * g_msis_ptl[1][0];
        w->meso_tn1[3] = ptm[7] * g_msis_ptl[2][0];
        w->meso_tn1[4] = base4;
        w->meso_tgn1[1] = ptm[8] * g_msis_pma[8][0] * w->meso_tn1[4] * w->meso_tn1[4] / std::pow(base4, 2.0);
    }
}

// Species context of gts7: molecular weights and what every species shares.
struct MSIS_SPECIES {
    MSIS_WORK* w;
    const MSIS_THERMO* th;
    double z;      // altitude
    double xmm;    // mean molecular weight of the mixed atmosphere
    double zhm28;  // turbopause transition scale length
    double b28;    // N2 mixed density at its turbopause
};

double DensuSpecies(const MSIS_SPECIES* sp, double alt, double dlb, double xm, double alpha)
{
    double tz;
    return densu(sp->w, sp->th, alt, dlb, sp->th->tinf, sp->th->tlb, xm, alpha, &tz);
}

// Diffusive density at Zlb of the species with the parameter set p.
double DiffusiveAtZlb(const MSIS_SPECIES* sp, const double* p, double pdm0, const NRLMSISE_INPUT* in,
                      const NRLMSISE_FLAGS* f)
{
    double g = f->sw[21] * globe7(sp->w, p, in, f);
    return pdm0 * std::exp(g) * p[0];
}

// Net density at the altitude of a species mixed below the turbopause zh: returns
// the combined density and the mixed density at zh in *b.
double NetWithMixing(const MSIS_SPECIES* sp, double diffusive, double db, double zh, double xm, double alpha,
                     double* b)
{
    *b = DensuSpecies(sp, zh, db, xm - sp->xmm, alpha - 1.0);
    double dm = DensuSpecies(sp, sp->z, *b, sp->xmm, 0.0);
    return dnet(diffusive, dm, sp->zhm28, sp->xmm, xm);
}

constexpr double kAlpha[9] = {-0.38, 0.0, 0.0, 0.0, 0.17, 0.0, -0.38, 0.0, 0.0};
constexpr double kAltl[8] = {200.0, 300.0, 160.0, 250.0, 240.0, 450.0, 320.0, 450.0};

void DensityN2(MSIS_SPECIES* sp, const NRLMSISE_INPUT* in, const NRLMSISE_FLAGS* f, double zhf, double* out)
{
    const double(*pdm)[10] = g_msis_pdm;
    double db28 = DiffusiveAtZlb(sp, g_msis_pd[2], pdm[2][0], in, f);
    *out = DensuSpecies(sp, sp->z, db28, 28.0, kAlpha[2]);
    double zh28 = pdm[2][2] * zhf;
    sp->zhm28 = pdm[2][3] * g_msis_pdl[1][5];
    sp->b28 = DensuSpecies(sp, zh28, db28, 28.0 - sp->xmm, kAlpha[2] - 1.0);
    if (f->sw[15] && sp->z <= kAltl[2]) {
        sp->w->dm28 = DensuSpecies(sp, sp->z, sp->b28, sp->xmm, kAlpha[2]);
        *out = dnet(*out, sp->w->dm28, sp->zhm28, sp->xmm, 28.0);
    }
}

void DensityHe(const MSIS_SPECIES* sp, const NRLMSISE_INPUT* in, const NRLMSISE_FLAGS* f, double* out)
{
    const double(*pdm)[10] = g_msis_pdm;
    double db04 = DiffusiveAtZlb(sp, g_msis_pd[0], pdm[0][0], in, f);
    *out = DensuSpecies(sp, sp->z, db04, 4.0, kAlpha[0]);
    if (!(f->sw[15] && sp->z < kAltl[0])) return;
    double b04;
    *out = NetWithMixing(sp, *out, db04, pdm[0][2], 4.0, kAlpha[0], &b04);
    // Correction to the specified mixing ratio at the ground.
    double rl = std::log(sp->b28 * pdm[0][1] / b04);
    *out *= ccor(sp->z, rl, pdm[0][5] * g_msis_pdl[1][1], pdm[0][4] * g_msis_pdl[1][0]);
}

void DensityO(const MSIS_SPECIES* sp, const NRLMSISE_INPUT* in, const NRLMSISE_FLAGS* f, double* out)
{
    const double(*pdm)[10] = g_msis_pdm;
    const double(*pdl)[25] = g_msis_pdl;
    double db16 = DiffusiveAtZlb(sp, g_msis_pd[1], pdm[1][0], in, f);
    *out = DensuSpecies(sp, sp->z, db16, 16.0, kAlpha[1]);
    if (!(f->sw[15] && sp->z <= kAltl[1])) return;
    double b16;
    *out = NetWithMixing(sp, *out, db16, pdm[1][2], 16.0, kAlpha[1], &b16);
    double rl = pdm[1][1] * pdl[1][16] * (1.0 + f->sw[1] * pdl[0][23] * (in->f107A - 150.0));
    *out *= ccor2(sp->z, rl, pdm[1][5] * pdl[1][3], pdm[1][4] * pdl[1][2], pdm[1][5] * pdl[1][4]);
    // Chemistry correction.
    *out *= ccor(sp->z, pdm[1][3] * pdl[1][14], pdm[1][7] * pdl[1][13], pdm[1][6] * pdl[1][12]);
}

void DensityO2(const MSIS_SPECIES* sp, const NRLMSISE_INPUT* in, const NRLMSISE_FLAGS* f, double* out)
{
    const double(*pdm)[10] = g_msis_pdm;
    const double(*pdl)[25] = g_msis_pdl;
    double db32 = DiffusiveAtZlb(sp, g_msis_pd[4], pdm[3][0], in, f);
    *out = DensuSpecies(sp, sp->z, db32, 32.0, kAlpha[3]);
    if (!f->sw[15]) return;
    if (sp->z <= kAltl[3]) {
        double b32;
        *out = NetWithMixing(sp, *out, db32, pdm[3][2], 32.0, kAlpha[3], &b32);
        double rl = std::log(sp->b28 * pdm[3][1] / b32);
        *out *= ccor(sp->z, rl, pdm[3][5] * pdl[1][7], pdm[3][4] * pdl[1][6]);
    }
    // Correction for the general departure from diffusive equilibrium above Zlb.
    double rc32 = pdm[3][3] * pdl[1][23] * (1. + f->sw[1] * pdl[0][23] * (in->f107A - 150.));
    *out *= ccor2(sp->z, rc32, pdm[3][7] * pdl[1][22], pdm[3][6] * pdl[1][21], pdm[3][7] * pdl[0][22]);
}

void DensityAr(const MSIS_SPECIES* sp, const NRLMSISE_INPUT* in, const NRLMSISE_FLAGS* f, double* out)
{
    const double(*pdm)[10] = g_msis_pdm;
    double db40 = DiffusiveAtZlb(sp, g_msis_pd[5], pdm[4][0], in, f);
    *out = DensuSpecies(sp, sp->z, db40, 40.0, kAlpha[4]);
    if (!(f->sw[15] && sp->z <= kAltl[4])) return;
    double b40;
    *out = NetWithMixing(sp, *out, db40, pdm[4][2], 40.0, kAlpha[4], &b40);
    double rl = std::log(sp->b28 * pdm[4][1] / b40);
    *out *= ccor(sp->z, rl, pdm[4][5] * g_msis_pdl[1][9], pdm[4][4] * g_msis_pdl[1][8]);
}

void DensityH(const MSIS_SPECIES* sp, const NRLMSISE_INPUT* in, const NRLMSISE_FLAGS* f, double* out)
{
    const double(*pdm)[10] = g_msis_pdm;
    const double(*pdl)[25] = g_msis_pdl;
    double db01 = DiffusiveAtZlb(sp, g_msis_pd[6], pdm[5][0], in, f);
    *out = DensuSpecies(sp, sp->z, db01, 1.0, kAlpha[6]);
    if (!(f->sw[15] && sp->z <= kAltl[6])) return;
    double b01;
    *out = NetWithMixing(sp, *out, db01, pdm[5][2], 1.0, kAlpha[6], &b01);
    double rl = std::log(sp->b28 * pdm[5][1] * std::sqrt(pdl[1][17] * pdl[1][17]) / b01);
    *out *= ccor(sp->z, rl, pdm[5][5] * pdl[1][11], pdm[5][4] * pdl[1][10]);
    *out *= ccor(sp->z, pdm[5][3] * pdl[1][20], pdm[5][7] * pdl[1][19], pdm[5][6] * pdl[1][18]);
}

void DensityN(const MSIS_SPECIES* sp, const NRLMSISE_INPUT* in, const NRLMSISE_FLAGS* f, double* out)
{
    const double(*pdm)[10] = g_msis_pdm;
    const double(*pdl)[25] = g_msis_pdl;
    double db14 = DiffusiveAtZlb(sp, g_msis_pd[7], pdm[6][0], in, f);
    *out = DensuSpecies(sp, sp->z, db14, 14.0, kAlpha[7]);
    if (!(f->sw[15] && sp->z <= kAltl[7])) return;
    double b14;
    *out = NetWithMixing(sp, *out, db14, pdm[6][2], 14.0, kAlpha[7], &b14);
    double rl = std::log(sp->b28 * pdm[6][1] * std::sqrt(pdl[0][2] * pdl[0][2]) / b14);
    *out *= ccor(sp->z, rl, pdm[6][5] * pdl[0][1], pdm[6][4] * pdl[0][0]);
    *out *= ccor(sp->z, pdm[6][3] * pdl[0][5], pdm[6][7] * pdl[0][4], pdm[6][6] * pdl[0][3]);
}

void DensityAnomalousO(const MSIS_SPECIES* sp, const NRLMSISE_INPUT* in, const NRLMSISE_FLAGS* f, double* out)
{
    const double(*pdm)[10] = g_msis_pdm;
    double db16h = DiffusiveAtZlb(sp, g_msis_pd[8], pdm[7][0], in, f);
    double tho = pdm[7][9] * g_msis_pdl[0][6];
    double tz;
    double dd = densu(sp->w, sp->th, sp->z, db16h, tho, tho, 16., kAlpha[8], &tz);
    double zsht = pdm[7][5];
    double zmho = pdm[7][4];
    double zsho = scalh(sp->w, zmho, 16.0, tho);
    *out = dd * std::exp(-zsht / zsho * (std::exp(-(sp->z - zmho) / zsht) - 1.));
}

double TotalMass(const double* d)
{
    return 1.66E-24 * (4.0 * d[0] + 16.0 * d[1] + 28.0 * d[2] + 32.0 * d[3] + 40.0 * d[4] + d[6] + 14.0 * d[7]);
}

// Thermospheric part of the model, for altitudes of 72.5 km and more.
void gts7(MSIS_WORK* w, const NRLMSISE_INPUT* in, const NRLMSISE_FLAGS* f, NRLMSISE_OUTPUT* out)
{
    const double* ptm = g_msis_ptm;
    MSIS_THERMO th;
    th.zlb = ptm[5];
    th.zn1[0] = g_msis_pdl[1][15];
    th.zn1[1] = 110.0;
    th.zn1[2] = 100.0;
    th.zn1[3] = 90.0;
    th.zn1[4] = 72.5;
    for (double& d : out->d) d = 0;

    // Exospheric temperature variations do not matter below za, the gradient
    // variations not below zn1[4].
    th.tinf = ptm[0] * g_msis_pt[0];
    if (in->alt > th.zn1[0]) th.tinf *= 1.0 + f->sw[16] * globe7(w, g_msis_pt, in, f);
    out->t[0] = th.tinf;
    double g0 = ptm[3] * g_msis_ps[0];
    if (in->alt > th.zn1[4]) g0 *= 1.0 + f->sw[19] * globe7(w, g_msis_ps, in, f);
    th.tlb = ptm[1] * (1.0 + f->sw[17] * globe7(w, g_msis_pd[3], in, f)) * g_msis_pd[3][0];
    th.s = g0 / (th.tinf - th.tlb);
    LowerThermosphereNodes(w, in, f);

    // Variation of the turbopause height.
    double zhf = g_msis_pdl[1][24] * (1.0 + f->sw[5] * g_msis_pdl[0][24] * std::sin(kDgtr * in->g_lat) *
                                                std::cos(kDr * (in->doy - g_msis_pt[13])));
    MSIS_SPECIES sp = {w, &th, in->alt, g_msis_pdm[2][4], 0.0, 0.0};
    DensityN2(&sp, in, f, zhf, &out->d[2]);
    DensityHe(&sp, in, f, &out->d[0]);
    DensityO(&sp, in, f, &out->d[1]);
    DensityO2(&sp, in, f, &out->d[3]);
    DensityAr(&sp, in, f, &out->d[4]);
    DensityH(&sp, in, f, &out->d[6]);
    DensityN(&sp, in, f, &out->d[7]);
    DensityAnomalousO(&sp, in, f, &out->d[8]);
    out->d[5] = TotalMass(out->d);

    // Temperature at the altitude.
    double z = std::sqrt(in->alt * in->alt);
    densu(w, &th, z, 1.0, th.tinf, th.tlb, 0.0, 0.0, &out->t[1]);
    if (f->sw[0]) {
        for (double& d : out->d) d = d * 1.0E6;
        out->d[5] = out->d[5] / 1000;
    }
}

// Inverse-temperature nodes of the lower mesosphere / upper stratosphere (tn2) and,
// when the altitude reaches them, of the lower stratosphere / troposphere (tn3).
void MiddleAtmosphereNodes(MSIS_WORK* w, const NRLMSISE_INPUT* in, const NRLMSISE_FLAGS* f)
{
    const double(*pma)[100] = g_msis_pma;
    const double* pavgm = g_msis_pavgm;
    const double* sw = f->sw;
    w->meso_tgn2[0] = w->meso_tgn1[1];
    w->meso_tn2[0] = w->meso_tn1[4];
    w->meso_tn2[1] = pma[0][0] * pavgm[0] / (1.0 - sw[20] * glob7s(w, pma[0], in, f));
    w->meso_tn2[2] = pma[1][0] * pavgm[1] / (1.0 - sw[20] * glob7s(w, pma[1], in, f));
    w->meso_tn2[3] = pma[2][0] * pavgm[2] / (1.0 - sw[20] * sw[22] * glob7s(w, pma[2], in, f));
    w->meso_tgn2[1] = pavgm[8] * pma[9][0] * (1.0 + sw[20] * sw[22] * glob7s(w, pma[9], in, f)) * w->meso_tn2[3] *
                      w->meso_tn2[3] / std::pow(pma[2][0] * pavgm[2], 2.0);
    w->meso_tn3[0] = w->meso_tn2[3];
    // The lower nodes are needed from zn3[0] down, that altitude included.
    if (!(in->alt <= kZn3[0])) return;
    w->meso_tgn3[0] = w->meso_tgn2[1];
    for (int i = 1; i <= 4; i++)
        w->meso_tn3[i] = pma[i + 2][0] * pavgm[i + 2] / (1.0 - sw[22] * glob7s(w, pma[i + 2], in, f));
    w->meso_tgn3[1] = pma[7][0] * pavgm[7] * (1.0 + sw[22] * glob7s(w, pma[7], in, f)) * w->meso_tn3[4] *
                      w->meso_tn3[4] / std::pow(pma[6][0] * pavgm[6], 2.0);
}

void Gtd7Work(MSIS_WORK* w, const NRLMSISE_INPUT* input, NRLMSISE_FLAGS* flags, NRLMSISE_OUTPUT* output)
{
    const double zmix = 62.5;
    tselec(flags);
    const double* sw = flags->sw;

    // Latitude variation of gravity (none for sw[2] = 0).
    double xlat = sw[2] == 0 ? 45.0 : input->g_lat;
    glatf(xlat, &w->gsurf, &w->re);
    double xmm = g_msis_pdm[2][4];

    // Thermosphere / mesosphere, evaluated at zn2[0] at the least.
    NRLMSISE_INPUT upper = *input;
    upper.alt = input->alt > kZn2[0] ? input->alt : kZn2[0];
    NRLMSISE_OUTPUT soutput;
    gts7(w, &upper, flags, &soutput);
    double dm28m = sw[0] ? w->dm28 * 1.0E6 : w->dm28;
    output->t[0] = soutput.t[0];
    output->t[1] = soutput.t[1];
    if (input->alt >= kZn2[0]) {
        for (int i = 0; i < 9; i++) output->d[i] = soutput.d[i];
        return;
    }

    MiddleAtmosphereNodes(w, input, flags);

    // Linear transition to full mixing below zn2[0].
    double dmc = 0;
    if (input->alt > zmix) dmc = 1.0 - (kZn2[0] - input->alt) / (kZn2[0] - zmix);
    double dz28 = soutput.d[2];
    double tz = 0;
    double* d = output->d;
    double dmr = soutput.d[2] / dm28m - 1.0;
    d[2] = densm(w, input->alt, dm28m, xmm, &tz) * (1.0 + dmr * dmc);
    dmr = soutput.d[0] / (dz28 * g_msis_pdm[0][1]) - 1.0;
    d[0] = d[2] * g_msis_pdm[0][1] * (1.0 + dmr * dmc);
    d[1] = 0;
    d[8] = 0;
    dmr = soutput.d[3] / (dz28 * g_msis_pdm[3][1]) - 1.0;
    d[3] = d[2] * g_msis_pdm[3][1] * (1.0 + dmr * dmc);
    dmr = soutput.d[4] / (dz28 * g_msis_pdm[4][1]) - 1.0;
    d[4] = d[2] * g_msis_pdm[4][1] * (1.0 + dmr * dmc);
    d[6] = 0;
    d[7] = 0;
    d[5] = TotalMass(d);
    if (sw[0]) d[5] = d[5] / 1000;

    densm(w, input->alt, 1.0, 0, &tz);
    output->t[1] = tz;
}

// Input as the model reads it: the 3-hour Ap history is asked for but missing, so
// the daily Ap stands for all of it.
const NRLMSISE_INPUT* WithApHistory(const NRLMSISE_INPUT* input, const NRLMSISE_FLAGS* flags,
                                    NRLMSISE_INPUT* copy, NRLMSISE_AP_ARRAY* history)
{
    if (flags->switches[9] != -1 || input->ap_a) return input;
    *copy = *input;
    for (double& a : history->a) a = input->ap;
    copy->ap_a = history;
    return copy;
}

}  // namespace

void gtd7(const NRLMSISE_INPUT* input, NRLMSISE_FLAGS* flags, NRLMSISE_OUTPUT* output)
{
    MSIS_WORK w = {};
    NRLMSISE_INPUT copy;
    NRLMSISE_AP_ARRAY history;
    Gtd7Work(&w, WithApHistory(input, flags, &copy, &history), flags, output);
}

void gtd7d(const NRLMSISE_INPUT* input, NRLMSISE_FLAGS* flags, NRLMSISE_OUTPUT* output)
{
    gtd7(input, flags, output);
    const double* d = output->d;
    output->d[5] = 1.66E-24 * (4.0 * d[0] + 16.0 * d[1] + 28.0 * d[2] + 32.0 * d[3] + 40.0 * d[4] + d[6] +
                               14.0 * d[7] + 16.0 * d[8]);
    if (flags->sw[0]) output->d[5] = output->d[5] / 1000;
}

void ghp7(NRLMSISE_INPUT* input, NRLMSISE_FLAGS* flags, NRLMSISE_OUTPUT* output, double press)
{
    const double bm = 1.3806E-19;
    const double test = 0.00043;
    const int ltest = 12;
    double pl = std::log10(press);
    double z;
    if (pl >= -5.0) {
        double zi;
        if (pl > 2.5)
            zi = 18.06 * (3.00 - pl);
        else if (pl > 0.075 && pl <= 2.5)
            zi = 14.98 * (3.08 - pl);
        else if (pl > -1 && pl <= 0.075)
            zi = 17.80 * (2.72 - pl);
        else if (pl > -2 && pl <= -1)
            zi = 14.28 * (3.64 - pl);
        else if (pl > -4 && pl <= -2)
            zi = 12.72 * (4.32 - pl);
        else
            zi = 25.3 * (0.11 - pl);
        double cl = input->g_lat / 90.0;
        double cl2 = cl * cl;
        double cd = input->doy < 182 ? (1.0 - static_cast<double>(input->doy)) / 91.25
                                     : static_cast<double>(input->doy) / 91.25 - 3.0;
        double ca = 0;
        if (pl > -1.11 && pl <= -0.23) ca = 1.0;
        if (pl > -0.23) ca = (2.79 - pl) / (2.79 + 0.23);
        if (pl <= -1.11 && pl > -3) ca = (-2.93 - pl) / (-2.93 + 1.11);
        z = zi - 4.87 * cl * cd * ca - 1.64 * cl2 * ca + 0.31 * ca * cl;
    } else {
        z = 22.0 * std::pow(pl + 4.0, 2.0) + 110.0;
    }

    // Iterate the altitude with the local scale height.
    for (int l = 1;; l++) {
        input->alt = z;
        MSIS_WORK w = {};
        NRLMSISE_INPUT copy;
        NRLMSISE_AP_ARRAY history;
        Gtd7Work(&w, WithApHistory(input, flags, &copy, &history), flags, output);
        const double* d = output->d;
        double xn = d[0] + d[1] + d[2] + d[3] + d[4] + d[6] + d[7];
        double p = bm * xn * output->t[1];
        if (flags->sw[0]) p = p * 1.0E-6;
        double diff = pl - std::log10(p);
        if (std::sqrt(diff * diff) < test) return;
        if (l == ltest) {
            printf("ERROR: ghp7 not converging for press %e, diff %e", press, diff);
            return;
        }
        double xm = d[5] / xn / 1.66E-24;
        if (flags->sw[0]) xm = xm * 1.0E3;
        double g = w.gsurf / std::pow(1.0 + z / w.re, 2.0);
        double sh = kRgas * output->t[1] / (xm * g);
        z = l < 6 ? z - sh * diff * 2.302 : z - sh * diff;
    }
}
