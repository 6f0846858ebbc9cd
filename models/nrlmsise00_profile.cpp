// NRLMSISE-00: corrections, splines and the temperature and density profiles.
#include <cmath>
#include <cstdio>
#include "models/nrlmsise00_internal.h"

namespace nrlmsise {

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

namespace {

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
    if (h == 0.0) printf("bad XA input to splint\n");
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

}  // namespace

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

}  // namespace nrlmsise
