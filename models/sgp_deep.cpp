// SGP: the deep-space part of SDP4 and SDP8 (lunar and solar perturbations
// and the resonance of 12-hour and 24-hour orbits), on one program-wide block.
#include <cmath>
#include "models/sgp.h"

namespace {

// Solar and lunar constants
const double ZNS = 1.19459e-5, C1SS = 2.9864797e-6, ZES = 0.01675;
const double ZNL = 1.5835218e-4, C1L = 4.7968065e-7, ZEL = 0.05490;
const double ZCOSIS = 0.91744867, ZSINIS = 0.39785416, ZSINGS = -0.98088458, ZCOSGS = 0.1945905;
// Resonance constants
const double Q22 = 1.7891679e-6, Q31 = 2.1460748e-6, Q33 = 2.2123015e-7;
const double G22 = 5.7686396, G32 = 0.95240898, G44 = 1.8014998, G52 = 1.0508330, G54 = 4.4108898;
const double ROOT22 = 1.7891679e-6, ROOT32 = 3.7393792e-7, ROOT44 = 7.3636953e-9;
const double ROOT52 = 1.1428639e-7, ROOT54 = 2.1765803e-9;
const double THDT = 4.3752691e-3;
const double FASX2 = 0.13130908, FASX4 = 2.8843198, FASX6 = 0.37448087;
const double STEPP = 720.0, STEPN = -720.0, STEP2 = 259200.0;

// The terms one perturbing body (Sun or Moon) contributes.
struct SGP_DEEP_BODY {
    double se, si, sl, sgh, sh;
    double e2, e3, i2, i3, l2, l3, l4, gh2, gh3, gh4, h2, h3;
};

struct SGP_DEEP_STATE {
    // Values handed over by the model at initialisation
    double eqsq, siniq, cosiq, rteqsq, ao, cosq2, sinomo, cosomo, bsq, xlldot, omgdt, xnodot, xnodp;
    // Values of the secular and periodic entries
    double xll, omgasm, xnodes, em, xinc, xn, t;
    // Epoch
    double thgr, ds50;
    double eq, xnq, aqnv, xqncl, xmao, xpidot, sinq, cosq, omegaq;
    // Lunar orbit, kept for the day number of the last initialisation
    double preep;
    double zcosil, zsinil, zsinhl, zcoshl, zcosgl, zsingl, zmol, zmos;
    // Lunar-solar secular rates and periodic coefficients
    double sse, ssi, ssl, ssh, ssg;
    SGP_DEEP_BODY sun, moon;
    // Lunar-solar periodics, kept for the time of the last computation
    double savtsn;
    double pe, pinc, pl, sghs, sghl, shs, shl;
    // Resonance
    int iresfl, isynfl;
    double del1, del2, del3;
    double d2201, d2211, d3210, d3222, d4410, d4422, d5220, d5232, d5421, d5433;
    double xlamo, xfact, xli, xni, atime;
    double xndot, xnddt, xldot;
};

SGP_DEEP_STATE g_deep;

void LunarOrbit(SGP_DEEP_STATE* s, double day)
{
    double xnodce = 4.5236020 - 9.2422029e-4 * day;
    double stem = sin(xnodce), ctem = cos(xnodce);
    s->zcosil = 0.91375164 - 0.03568096 * ctem;
    s->zsinil = sqrt(1.0 - s->zcosil * s->zcosil);
    s->zsinhl = 0.089683511 * stem / s->zsinil;
    s->zcoshl = sqrt(1.0 - s->zsinhl * s->zsinhl);
    double c = 4.7199672 + 0.22997150 * day;
    double gam = 5.8351514 + 0.0019443680 * day;
    s->zmol = SGP_FMod2p(c - gam);
    double zx = 0.39785416 * stem / s->zsinil;
    double zy = s->zcoshl * ctem + 0.91744867 * s->zsinhl * stem;
    zx = SGP_AcTan(zx, zy);
    zx = gam + zx - xnodce;
    s->zcosgl = cos(zx);
    s->zsingl = sin(zx);
    s->zmos = SGP_FMod2p(6.2565837 + 0.017201977 * day);
}

struct BODY_ORBIT {
    double zcosg, zsing, zcosi, zsini, zcosh, zsinh, cc, zn, ze;
};

void BodyTerms(const SGP_DEEP_STATE* s, const BODY_ORBIT* o, SGP_DEEP_BODY* b)
{
    double a1 = o->zcosg * o->zcosh + o->zsing * o->zcosi * o->zsinh;
    double a3 = -o->zsing * o->zcosh + o->zcosg * o->zcosi * o->zsinh;
    double a7 = -o->zcosg * o->zsinh + o->zsing * o->zcosi * o->zcosh;
    double a8 = o->zsing * o->zsini;
    double a9 = o->zsing * o->zsinh + o->zcosg * o->zcosi * o->zcosh;
    double a10 = o->zcosg * o->zsini;
    double a2 = s->cosiq * a7 + s->siniq * a8;
    double a4 = s->cosiq * a9 + s->siniq * a10;
    double a5 = -s->siniq * a7 + s->cosiq * a8;
    double a6 = -s->siniq * a9 + s->cosiq * a10;

    double x1 = a1 * s->cosomo + a2 * s->sinomo;
    double x2 = a3 * s->cosomo + a4 * s->sinomo;
    double x3 = -a1 * s->sinomo + a2 * s->cosomo;
    double x4 = -a3 * s->sinomo + a4 * s->cosomo;
    double x5 = a5 * s->sinomo;
    double x6 = a6 * s->sinomo;
    double x7 = a5 * s->cosomo;
    double x8 = a6 * s->cosomo;

    double eqsq = s->eqsq;
    double z31 = 12.0 * x1 * x1 - 3.0 * x3 * x3;
    double z32 = 24.0 * x1 * x2 - 6.0 * x3 * x4;
    double z33 = 12.0 * x2 * x2 - 3.0 * x4 * x4;
    double z1 = 3.0 * (a1 * a1 + a2 * a2) + z31 * eqsq;
    double z2 = 6.0 * (a1 * a3 + a2 * a4) + z32 * eqsq;
    double z3 = 3.0 * (a3 * a3 + a4 * a4) + z33 * eqsq;
    double z11 = -6.0 * a1 * a5 + eqsq * (-24.0 * x1 * x7 - 6.0 * x3 * x5);
    double z12 = -6.0 * (a1 * a6 + a3 * a5) + eqsq * (-24.0 * (x2 * x7 + x1 * x8) - 6.0 * (x3 * x6 + x4 * x5));
    double z13 = -6.0 * a3 * a6 + eqsq * (-24.0 * x2 * x8 - 6.0 * x4 * x6);
    double z21 = 6.0 * a2 * a5 + eqsq * (24.0 * x1 * x5 - 6.0 * x3 * x7);
    double z22 = 6.0 * (a4 * a5 + a2 * a6) + eqsq * (24.0 * (x2 * x5 + x1 * x6) - 6.0 * (x4 * x7 + x3 * x8));
    double z23 = 6.0 * a4 * a6 + eqsq * (24.0 * x2 * x6 - 6.0 * x4 * x8);
    z1 = z1 + z1 + s->bsq * z31;
    z2 = z2 + z2 + s->bsq * z32;
    z3 = z3 + z3 + s->bsq * z33;
    double s3 = o->cc / s->xnq;
    double s2 = -0.5 * s3 / s->rteqsq;
    double s4 = s3 * s->rteqsq;
    double s1 = -15.0 * s->eq * s4;
    double s5 = x1 * x3 + x2 * x4;
    double s6 = x2 * x3 + x1 * x4;
    double s7 = x2 * x4 - x1 * x3;
    double zn = o->zn;
    b->se = s1 * zn * s5;
    b->si = s2 * zn * (z11 + z13);
    b->sl = -zn * s3 * (z1 + z3 - 14.0 - 6.0 * eqsq);
    b->sgh = s4 * zn * (z31 + z33 - 6.0);
    b->sh = -zn * s2 * (z21 + z23);
    if (s->xqncl < 5.2359877e-2) b->sh = 0.0;
    b->e2 = 2.0 * s1 * s6;
    b->e3 = 2.0 * s1 * s7;
    b->i2 = 2.0 * s2 * z12;
    b->i3 = 2.0 * s2 * (z13 - z11);
    b->l2 = -2.0 * s3 * z2;
    b->l3 = -2.0 * s3 * (z3 - z1);
    b->l4 = -2.0 * s3 * (-21.0 - 9.0 * eqsq) * o->ze;
    b->gh2 = 2.0 * s4 * z32;
    b->gh3 = 2.0 * s4 * (z33 - z31);
    b->gh4 = -18.0 * s4 * o->ze;
    b->h2 = -2.0 * s2 * z22;
    b->h3 = -2.0 * s2 * (z23 - z21);
}

// sh / sin i and (cos i / sin i) sh: the node term is dropped below 3 degrees,
// and an equatorial orbit (sin i = 0) would otherwise give 0 / 0.
double NodeRate(double sh, double siniq) { return sh == 0.0 ? 0.0 : sh / siniq; }
double NodePerigeeRate(double sh, double siniq, double cosiq)
{
    return sh == 0.0 ? 0.0 : cosiq / siniq * sh;
}

void LunarSolarTerms(SGP_DEEP_STATE* s)
{
    BODY_ORBIT sun = {ZCOSGS, ZSINGS, ZCOSIS, ZSINIS, s->cosq, s->sinq, C1SS, ZNS, ZES};
    BodyTerms(s, &sun, &s->sun);
    s->sse = s->sun.se;
    s->ssi = s->sun.si;
    s->ssl = s->sun.sl;
    s->ssh = NodeRate(s->sun.sh, s->siniq);
    s->ssg = s->sun.sgh - s->cosiq * s->ssh;

    BODY_ORBIT moon = {s->zcosgl, s->zsingl, s->zcosil, s->zsinil,
                       s->zcoshl * s->cosq + s->zsinhl * s->sinq,
                       s->sinq * s->zcoshl - s->cosq * s->zsinhl, C1L, ZNL, ZEL};
    BodyTerms(s, &moon, &s->moon);
    s->sse = s->sse + s->moon.se;
    s->ssi = s->ssi + s->moon.si;
    s->ssl = s->ssl + s->moon.sl;
    s->ssg = s->ssg + s->moon.sgh - NodePerigeeRate(s->moon.sh, s->siniq, s->cosiq);
    s->ssh = s->ssh + NodeRate(s->moon.sh, s->siniq);
}

void HalfDayResonance(SGP_DEEP_STATE* s, const SGP_ELEMENTS* el)
{
    double eq = s->eq, eqsq = s->eqsq, eoc = eq * eqsq;
    double g201 = -0.306 - (eq - 0.64) * 0.440;
    double g211, g310, g322, g410, g422, g520, g533, g521, g532;
    if (eq < 0.65) {
        g211 = 3.616 - 13.247 * eq + 16.290 * eqsq;
        g310 = -19.302 + 117.390 * eq - 228.419 * eqsq + 156.591 * eoc;
        g322 = -18.9068 + 109.7927 * eq - 214.6334 * eqsq + 146.5816 * eoc;
        g410 = -41.122 + 242.694 * eq - 471.094 * eqsq + 313.953 * eoc;
        g422 = -146.407 + 841.880 * eq - 1629.014 * eqsq + 1083.435 * eoc;
        g520 = -532.114 + 3017.977 * eq - 5740.0 * eqsq + 3708.276 * eoc;
    } else {
        g211 = -72.099 + 331.819 * eq - 508.738 * eqsq + 266.724 * eoc;
        g310 = -346.844 + 1582.851 * eq - 2415.925 * eqsq + 1246.113 * eoc;
        g322 = -342.585 + 1554.908 * eq - 2366.899 * eqsq + 1215.972 * eoc;
        g410 = -1052.797 + 4758.686 * eq - 7193.992 * eqsq + 3651.957 * eoc;
        g422 = -3581.69 + 16178.11 * eq - 24462.77 * eqsq + 12422.52 * eoc;
        if (eq <= 0.715) g520 = 1464.74 - 4664.75 * eq + 3763.64 * eqsq;
        else g520 = -5149.66 + 29936.92 * eq - 54087.36 * eqsq + 31324.56 * eoc;
    }
    if (eq < 0.7) {
        g533 = -919.2277 + 4988.61 * eq - 9064.77 * eqsq + 5542.21 * eoc;
        g521 = -822.71072 + 4568.6173 * eq - 8491.4146 * eqsq + 5337.524 * eoc;
        g532 = -853.666 + 4690.25 * eq - 8624.77 * eqsq + 5341.4 * eoc;
    } else {
        g533 = -37995.78 + 161616.52 * eq - 229838.2 * eqsq + 109377.94 * eoc;
        g521 = -51752.104 + 218913.95 * eq - 309468.16 * eqsq + 146349.42 * eoc;
        g532 = -40023.88 + 170470.89 * eq - 242699.48 * eqsq + 115605.82 * eoc;
    }
    double siniq = s->siniq, cosiq = s->cosiq, cosq2 = s->cosq2;
    double sini2 = siniq * siniq;
    double f220 = 0.75 * (1.0 + 2.0 * cosiq + cosq2);
    double f221 = 1.5 * sini2;
    double f321 = 1.875 * siniq * (1.0 - 2.0 * cosiq - 3.0 * cosq2);
    double f322 = -1.875 * siniq * (1.0 + 2.0 * cosiq - 3.0 * cosq2);
    double f441 = 35.0 * sini2 * f220;
    double f442 = 39.3750 * sini2 * sini2;
    double f522 = 9.84375 * siniq *
                  (sini2 * (1.0 - 2.0 * cosiq - 5.0 * cosq2) + 0.33333333 * (-2.0 + 4.0 * cosiq + 6.0 * cosq2));
    double f523 = siniq * (4.92187512 * sini2 * (-2.0 - 4.0 * cosiq + 10.0 * cosq2) +
                           6.56250012 * (1.0 + 2.0 * cosiq - 3.0 * cosq2));
    double f542 = 29.53125 * siniq * (2.0 - 8.0 * cosiq + cosq2 * (-12.0 + 8.0 * cosiq + 10.0 * cosq2));
    double f543 = 29.53125 * siniq * (-2.0 - 8.0 * cosiq + cosq2 * (12.0 + 8.0 * cosiq - 10.0 * cosq2));
    double xno2 = s->xnq * s->xnq;
    double ainv2 = s->aqnv * s->aqnv;
    double temp1 = 3.0 * xno2 * ainv2;
    double temp = temp1 * ROOT22;
    s->d2201 = temp * f220 * g201;
    s->d2211 = temp * f221 * g211;
    temp1 = temp1 * s->aqnv;
    temp = temp1 * ROOT32;
    s->d3210 = temp * f321 * g310;
    s->d3222 = temp * f322 * g322;
    temp1 = temp1 * s->aqnv;
    temp = 2.0 * temp1 * ROOT44;
    s->d4410 = temp * f441 * g410;
    s->d4422 = temp * f442 * g422;
    temp1 = temp1 * s->aqnv;
    temp = temp1 * ROOT52;
    s->d5220 = temp * f522 * g520;
    s->d5232 = temp * f523 * g532;
    temp = 2.0 * temp1 * ROOT54;
    s->d5421 = temp * f542 * g521;
    s->d5433 = temp * f543 * g533;
    s->xlamo = s->xmao + el->raan + el->raan - s->thgr - s->thgr;
    double bfact = s->xlldot + s->xnodot + s->xnodot - THDT - THDT;
    bfact = bfact + s->ssl + s->ssh + s->ssh;
    s->xfact = bfact - s->xnq;
}

void SynchronousResonance(SGP_DEEP_STATE* s, const SGP_ELEMENTS* el)
{
    double eqsq = s->eqsq, cosiq = s->cosiq, siniq = s->siniq;
    double g200 = 1.0 + eqsq * (-2.5 + 0.8125 * eqsq);
    double g310 = 1.0 + 2.0 * eqsq;
    double g300 = 1.0 + eqsq * (-6.0 + 6.60937 * eqsq);
    double f220 = 0.75 * (1.0 + cosiq) * (1.0 + cosiq);
    double f311 = 0.9375 * siniq * siniq * (1.0 + 3.0 * cosiq) - 0.75 * (1.0 + cosiq);
    double f330 = 1.0 + cosiq;
    f330 = 1.875 * f330 * f330 * f330;
    double del1 = 3.0 * s->xnq * s->xnq * s->aqnv * s->aqnv;
    s->del2 = 2.0 * del1 * f220 * g200 * Q22;
    s->del3 = 3.0 * del1 * f330 * g300 * Q33 * s->aqnv;
    s->del1 = del1 * f311 * g310 * Q31 * s->aqnv;
    s->xlamo = s->xmao + el->raan + el->arg_perigee - s->thgr;
    double bfact = s->xlldot + s->xpidot - THDT;
    bfact = bfact + s->ssl + s->ssg + s->ssh;
    s->xfact = bfact - s->xnq;
}

void DeepInitialise(SGP_DEEP_STATE* s, const SGP_ELEMENTS* el)
{
    s->thgr = SGP_ThetaG(el->epoch, &s->ds50);
    s->eq = el->eccentricity;
    s->xnq = s->xnodp;
    s->aqnv = 1.0 / s->ao;
    s->xqncl = el->inclination;
    s->xmao = el->mean_anomaly;
    s->xpidot = s->omgdt + s->xnodot;
    s->sinq = sin(el->raan);
    s->cosq = cos(el->raan);
    s->omegaq = el->arg_perigee;

    double day = s->ds50 + 18261.5;
    if (day != s->preep) {
        s->preep = day;
        LunarOrbit(s, day);
    }
    s->savtsn = 1e20;
    LunarSolarTerms(s);

    s->iresfl = 0;
    s->isynfl = 0;
    if (s->xnq < 0.0052359877 && s->xnq > 0.0034906585) {
        s->iresfl = 1;
        s->isynfl = 1;
        SynchronousResonance(s, el);
    } else if (s->xnq >= 8.26e-3 && s->xnq <= 9.24e-3 && s->eq >= 0.5) {
        s->iresfl = 1;
        HalfDayResonance(s, el);
    }
    s->xli = s->xlamo;
    s->xni = s->xnq;
    s->atime = 0.0;
}

// Rates of the resonant mean motion and longitude at the integrator's state.
void ResonanceRates(SGP_DEEP_STATE* s)
{
    double xli = s->xli;
    if (s->isynfl) {
        s->xndot = s->del1 * sin(xli - FASX2) + s->del2 * sin(2.0 * (xli - FASX4)) +
                   s->del3 * sin(3.0 * (xli - FASX6));
        s->xnddt = s->del1 * cos(xli - FASX2) + 2.0 * s->del2 * cos(2.0 * (xli - FASX4)) +
                   3.0 * s->del3 * cos(3.0 * (xli - FASX6));
    } else {
        double xomi = s->omegaq + s->omgdt * s->atime;
        double x2omi = xomi + xomi;
        double x2li = xli + xli;
        s->xndot = s->d2201 * sin(x2omi + xli - G22) + s->d2211 * sin(xli - G22) +
                   s->d3210 * sin(xomi + xli - G32) + s->d3222 * sin(-xomi + xli - G32) +
                   s->d4410 * sin(x2omi + x2li - G44) + s->d4422 * sin(x2li - G44) +
                   s->d5220 * sin(xomi + xli - G52) + s->d5232 * sin(-xomi + xli - G52) +
                   s->d5421 * sin(xomi + x2li - G54) + s->d5433 * sin(-xomi + x2li - G54);
        s->xnddt = s->d2201 * cos(x2omi + xli - G22) + s->d2211 * cos(xli - G22) +
                   s->d3210 * cos(xomi + xli - G32) + s->d3222 * cos(-xomi + xli - G32) +
                   s->d5220 * cos(xomi + xli - G52) + s->d5232 * cos(-xomi + xli - G52) +
                   2.0 * (s->d4410 * cos(x2omi + x2li - G44) + s->d4422 * cos(x2li - G44) +
                          s->d5421 * cos(xomi + x2li - G54) + s->d5433 * cos(-xomi + x2li - G54));
    }
    s->xldot = s->xni + s->xfact;
    s->xnddt = s->xnddt * s->xldot;
}

void IntegratorStep(SGP_DEEP_STATE* s, double delt)
{
    ResonanceRates(s);
    s->xli = s->xli + s->xldot * delt + s->xndot * STEP2;
    s->xni = s->xni + s->xndot * delt + s->xnddt * STEP2;
    s->atime = s->atime + delt;
}

// Moves the integrator to within one step of t, restarting from the epoch
// when it stands at the epoch or on the other side of it.
void IntegrateTo(SGP_DEEP_STATE* s, double t)
{
    for (;;) {
        int restart = s->atime == 0.0 || (t >= 0.0 && s->atime < 0.0) || (t < 0.0 && s->atime >= 0.0);
        if (restart) {
            s->atime = 0.0;
            s->xni = s->xnq;
            s->xli = s->xlamo;
            break;
        }
        if (fabs(t) >= fabs(s->atime)) break;
        IntegratorStep(s, t >= 0.0 ? STEPN : STEPP);  // back toward the epoch
    }
    double delt = t > 0.0 ? STEPP : STEPN;
    if (s->atime == 0.0) delt = t >= 0.0 ? STEPP : STEPN;
    while (fabs(t - s->atime) >= STEPP) IntegratorStep(s, delt);
}

void DeepSecular(SGP_DEEP_STATE* s, const SGP_ELEMENTS* el)
{
    double t = s->t;
    s->xll = s->xll + s->ssl * t;
    s->omgasm = s->omgasm + s->ssg * t;
    s->xnodes = s->xnodes + s->ssh * t;
    s->em = el->eccentricity + s->sse * t;
    s->xinc = el->inclination + s->ssi * t;
    if (s->xinc < 0.0) {
        s->xinc = -s->xinc;
        s->xnodes = s->xnodes + SGP_PI;
        s->omgasm = s->omgasm - SGP_PI;
    }
    if (!s->iresfl) return;
    IntegrateTo(s, t);
    double ft = t - s->atime;
    ResonanceRates(s);
    s->xn = s->xni + s->xndot * ft + s->xnddt * ft * ft * 0.5;
    double xl = s->xli + s->xldot * ft + s->xndot * ft * ft * 0.5;
    double temp = -s->xnodes + s->thgr + t * THDT;
    s->xll = s->isynfl ? xl - s->omgasm + temp : xl + temp + temp;
}

void PeriodicTerms(SGP_DEEP_STATE* s, double t)
{
    double zm = s->zmos + ZNS * t;
    double zf = zm + 2.0 * ZES * sin(zm);
    double sinzf = sin(zf);
    double f2 = 0.5 * sinzf * sinzf - 0.25;
    double f3 = -0.5 * sinzf * cos(zf);
    const SGP_DEEP_BODY& sun = s->sun;
    double ses = sun.e2 * f2 + sun.e3 * f3;
    double sis = sun.i2 * f2 + sun.i3 * f3;
    double sls = sun.l2 * f2 + sun.l3 * f3 + sun.l4 * sinzf;
    s->sghs = sun.gh2 * f2 + sun.gh3 * f3 + sun.gh4 * sinzf;
    s->shs = sun.h2 * f2 + sun.h3 * f3;

    zm = s->zmol + ZNL * t;
    zf = zm + 2.0 * ZEL * sin(zm);
    sinzf = sin(zf);
    f2 = 0.5 * sinzf * sinzf - 0.25;
    f3 = -0.5 * sinzf * cos(zf);
    const SGP_DEEP_BODY& moon = s->moon;
    double sel = moon.e2 * f2 + moon.e3 * f3;
    double sil = moon.i2 * f2 + moon.i3 * f3;
    double sll = moon.l2 * f2 + moon.l3 * f3 + moon.l4 * sinzf;
    s->sghl = moon.gh2 * f2 + moon.gh3 * f3 + moon.gh4 * sinzf;
    s->shl = moon.h2 * f2 + moon.h3 * f3;
    s->pe = ses + sel;
    s->pinc = sis + sil;
    s->pl = sls + sll;
}

// The angle (given in [0, 2 pi)) moved by whole turns to within pi of the
// reference. The perigee below is computed from the node together with the
// unreduced secular node, so both must count the same turns.
double NearestTurn(double angle, double reference)
{
    if (fabs(angle - reference) <= SGP_PI) return angle;
    return angle + SGP_TWOPI * floor((reference - angle) / SGP_TWOPI + 0.5);
}

void DeepPeriodic(SGP_DEEP_STATE* s)
{
    double t = s->t;
    double sinis = sin(s->xinc);
    double cosis = cos(s->xinc);
    if (fabs(s->savtsn - t) > 30.0) {
        s->savtsn = t;
        PeriodicTerms(s, t);
    }
    double pgh = s->sghs + s->sghl;
    double ph = s->shs + s->shl;
    s->xinc = s->xinc + s->pinc;
    s->em = s->em + s->pe;
    if (s->xqncl > 0.2) {
        ph = ph / s->siniq;
        pgh = pgh - s->cosiq * ph;
        s->omgasm = s->omgasm + pgh;
        s->xnodes = s->xnodes + ph;
        s->xll = s->xll + s->pl;
        return;
    }
    // Lyddane's form, free of the division by sin i
    double sinok = sin(s->xnodes), cosok = cos(s->xnodes);
    double alfdp = sinis * sinok;
    double betdp = sinis * cosok;
    double dalf = ph * cosok + s->pinc * cosis * sinok;
    double dbet = -ph * sinok + s->pinc * cosis * cosok;
    alfdp = alfdp + dalf;
    betdp = betdp + dbet;
    double xls = s->xll + s->omgasm + cosis * s->xnodes;
    double dls = s->pl + pgh - s->pinc * s->xnodes * sinis;
    xls = xls + dls;
    s->xnodes = NearestTurn(SGP_AcTan(alfdp, betdp), s->xnodes);
    s->xll = s->xll + s->pl;
    s->omgasm = xls - s->xll - cos(s->xinc) * s->xnodes;
}

}  // namespace

void SGP_Deep(int entry, const SGP_ELEMENTS* el)
{
    switch (entry) {
    case SGP_DEEP_INIT: DeepInitialise(&g_deep, el); break;
    case SGP_DEEP_SECULAR: DeepSecular(&g_deep, el); break;
    case SGP_DEEP_PERIODIC: DeepPeriodic(&g_deep); break;
    default: break;
    }
}

void SGP_DeepInit(double v[13], const SGP_ELEMENTS* el)
{
    SGP_DEEP_STATE* s = &g_deep;
    double* fields[13] = {&s->eqsq, &s->siniq, &s->cosiq, &s->rteqsq, &s->ao, &s->cosq2, &s->sinomo,
                          &s->cosomo, &s->bsq, &s->xlldot, &s->omgdt, &s->xnodot, &s->xnodp};
    for (int i = 0; i < 13; ++i) *fields[i] = v[i];
    SGP_Deep(SGP_DEEP_INIT, el);
    for (int i = 0; i < 13; ++i) v[i] = *fields[i];
}

void SGP_DeepSecular(double v[7], const SGP_ELEMENTS* el)
{
    SGP_DEEP_STATE* s = &g_deep;
    s->xll = v[0];
    s->omgasm = v[1];
    s->xnodes = v[2];
    s->t = v[6];
    s->xn = v[5];
    SGP_Deep(SGP_DEEP_SECULAR, el);
    double out[7] = {s->xll, s->omgasm, s->xnodes, s->em, s->xinc, s->xn, s->t};
    for (int i = 0; i < 7; ++i) v[i] = out[i];
}

void SGP_DeepPeriodic(double v[5], const SGP_ELEMENTS* el)
{
    SGP_DEEP_STATE* s = &g_deep;
    double* fields[5] = {&s->em, &s->xinc, &s->omgasm, &s->xnodes, &s->xll};
    for (int i = 0; i < 5; ++i) *fields[i] = v[i];
    SGP_Deep(SGP_DEEP_PERIODIC, el);
    for (int i = 0; i < 5; ++i) v[i] = *fields[i];
}

double SGP_ThetaG(double epoch, double* ds50)
{
    double yy = floor(epoch * 0.001);
    double year = yy < 57.0 ? yy + 2000.0 : yy + 1900.0;
    double day = epoch - yy * 1000.0;
    double ut = day - floor(day);
    day = floor(day);
    double jd = SGP_JulianDateOfYear(year) + day;
    *ds50 = jd - 2433281.5 + ut;
    double tu = (jd - 2451545.0) / 36525.0;
    double gmst = 24110.54841 + tu * (8640184.812866 + tu * (0.093104 - tu * 6.2e-6));
    gmst = SGP_Modulus(gmst + 86636.555366976 * ut, 86400.0);
    return SGP_TWOPI * gmst / 86400.0;
}
