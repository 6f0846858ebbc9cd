// SGP: the front end of the Spacetrack Report No. 3 models, their shared
// helpers, and the near-Earth models SGP and SGP4 (SGP8 is in sgp_near8.cpp).
#include <algorithm>
#include <cmath>
#include <cstring>
#include "models/sgp.h"

// ---------------------------------------------------------------------------
// Front end

int SGP_Propagate(uint32_t variant, JULIAN_DATE time, const SGP_ELEMENTS* el,
                  double position[4], double velocity[4])
{
    for (int i = 0; i < 4; ++i) position[i] = velocity[i] = 0.0;
    switch (variant) {
    case SGP_VARIANT_SGP0: SGP_RunSgp(time, position, velocity, el); break;
    case SGP_VARIANT_SGP4:
    case SGP_VARIANT_SDP4: SGP_RunSgp4(time, position, velocity, el); break;
    case SGP_VARIANT_SGP8:
    case SGP_VARIANT_SDP8: SGP_RunSgp8(time, position, velocity, el); break;
    default: return 0;
    }
    SGP_ConvertState(position, velocity);
    return 1;
}

int SGP_PropagateTle(uint32_t variant, JULIAN_DATE time, const SGP_TLE_TEXT* text,
                     double position[4], double velocity[4])
{
    SGP_ELEMENTS elements;
    SGP_ParseTle(text, &elements);
    return SGP_Propagate(variant, time, &elements, position, velocity);
}

static double MinutesSinceEpoch(JULIAN_DATE time, const SGP_ELEMENTS* el)
{
    return (time - el->epoch_jd) * SGP_MIN_PER_DAY;
}

void SGP_RunSgp(JULIAN_DATE time, double pos[4], double vel[4], const SGP_ELEMENTS* el)
{
    SGP_Sgp(MinutesSinceEpoch(time, el), pos, vel, el);
}

void SGP_RunSgp4(JULIAN_DATE time, double pos[4], double vel[4], const SGP_ELEMENTS* el)
{
    double tsince = MinutesSinceEpoch(time, el);
    if (el->deep_space) SGP_Sdp4(tsince, pos, vel, el);
    else SGP_Sgp4(tsince, pos, vel, el);
}

void SGP_RunSgp8(JULIAN_DATE time, double pos[4], double vel[4], const SGP_ELEMENTS* el)
{
    double tsince = MinutesSinceEpoch(time, el);
    if (el->deep_space) SGP_Sdp8(tsince, pos, vel, el);
    else SGP_Sgp8(tsince, pos, vel, el);
}

double SGP_Magnitude(const double v[4])
{
    return sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]);
}

void SGP_ConvertState(double pos[4], double vel[4])
{
    for (int i = 0; i < 3; ++i) {
        pos[i] *= SGP_XKMPER;
        vel[i] *= SGP_XKMPER / 60.0;
    }
    pos[3] = SGP_Magnitude(pos);
    vel[3] = SGP_Magnitude(vel);
}

// ---------------------------------------------------------------------------
// Shared helpers

double SGP_Xke() { return sqrt(SGP_MU_3600 / SGP_Cube(SGP_XKMPER)); }

double SGP_Qoms2t() { return pow(SGP_Q0 - SGP_S, 4.0); }

double SGP_Modulus(double a, double b)
{
    double r = a - floor(a / b) * b;
    return r < 0.0 ? r + b : r;
}

double SGP_FMod2p(double x) { return SGP_Modulus(x, SGP_TWOPI); }

double SGP_AcTan(double sinx, double cosx)
{
    double angle = atan2(sinx, cosx);
    return angle < 0.0 ? angle + SGP_TWOPI : angle;
}

double SGP_OnePlusCos(double cosi)
{
    double d = 1.0 + cosi;
    return fabs(d) > SGP_MIN_ONE_PLUS_COS ? d : SGP_MIN_ONE_PLUS_COS;
}

double SGP_KeplerLimitedSteps(double capu, double axn, double ayn, double start)
{
    constexpr double maxStep = 0.95;
    double e = start;
    for (int i = 0; i < 50; ++i) {
        double sine = sin(e), cose = cos(e);
        double step = (capu - ayn * cose + axn * sine - e) / (1.0 - axn * cose - ayn * sine);
        if (!std::isfinite(step)) break;
        step = std::clamp(step, -maxStep, maxStep);
        e += step;
        if (fabs(step) <= 1e-12) break;
    }
    return e;
}

void SGP_RecoverMeanElements(const SGP_ELEMENTS* el, SGP_MEAN_ELEMENTS* m)
{
    double a1 = pow(SGP_Xke() / el->mean_motion, SGP_TOTHRD);
    m->cosio = cos(el->inclination);
    m->sinio = sin(el->inclination);
    m->theta2 = m->cosio * m->cosio;
    m->x3thm1 = 3.0 * m->theta2 - 1.0;
    m->eosq = el->eccentricity * el->eccentricity;
    m->betao2 = 1.0 - m->eosq;
    m->betao = sqrt(m->betao2);
    double del1 = SGP_CK2_X1_5 * m->x3thm1 / (a1 * a1 * m->betao * m->betao2);
    double ao = a1 * (1.0 - del1 * (0.5 * SGP_TOTHRD + del1 * (1.0 + 134.0 / 81.0 * del1)));
    double delo = SGP_CK2_X1_5 * m->x3thm1 / (ao * ao * m->betao * m->betao2);
    m->xnodp = el->mean_motion / (1.0 + delo);
    m->aodp = ao / (1.0 - delo);
}

void SGP_OrientState(double rk, double uk, double xnodek, double xinck, double rdotk,
                     double rfdotk, double pos[4], double vel[4])
{
    double sinuk = sin(uk), cosuk = cos(uk);
    double sinik = sin(xinck), cosik = cos(xinck);
    double sinnok = sin(xnodek), cosnok = cos(xnodek);
    double xmx = -sinnok * cosik;
    double xmy = cosnok * cosik;
    double u[3] = {xmx * sinuk + cosnok * cosuk, xmy * sinuk + sinnok * cosuk, sinik * sinuk};
    double v[3] = {xmx * cosuk - cosnok * sinuk, xmy * cosuk - sinnok * sinuk, sinik * cosuk};
    for (int i = 0; i < 3; ++i) {
        pos[i] = rk * u[i];
        vel[i] = rdotk * u[i] + rfdotk * v[i];
    }
}

// ---------------------------------------------------------------------------
// SGP

namespace {

struct SGP_INIT {
    double ao, qo, xlo, d1o, d2o, d3o, d4o, omgdt, xnodot, c5, c6;
};

void SgpInitialise(const SGP_ELEMENTS* el, SGP_INIT* k)
{
    const double c1 = SGP_CK2_X1_5;
    const double c2 = SGP_CK2_QUARTER;
    const double c3 = SGP_CK2_HALF;
    const double c4 = SGP_J3 * pow(1.0, 3.0) / (4.0 * SGP_CK2);
    double eo = el->eccentricity;
    double cosio = cos(el->inclination);
    double sinio = sin(el->inclination);
    double a1 = pow(SGP_Xke() / el->mean_motion, SGP_TOTHRD);
    double d1 = c1 / a1 / a1 * (3.0 * cosio * cosio - 1.0) / pow(1.0 - eo * eo, 1.5);
    k->ao = a1 * (1.0 - 1.0 / 3.0 * d1 - d1 * d1 - 134.0 / 81.0 * d1 * d1 * d1);
    double po = k->ao * (1.0 - eo * eo);
    k->qo = k->ao * (1.0 - eo);
    k->xlo = el->mean_anomaly + el->arg_perigee + el->raan;
    k->d1o = c3 * sinio * sinio;
    k->d2o = c2 * (7.0 * cosio * cosio - 1.0);
    k->d3o = c1 * cosio;
    k->d4o = k->d3o * sinio;
    double po2no = el->mean_motion / (po * po);
    k->omgdt = c1 * po2no * (5.0 * cosio * cosio - 1.0);
    k->xnodot = -2.0 * k->d3o * po2no;
    k->c5 = 0.5 * c4 * sinio * (3.0 + 5.0 * cosio) / SGP_OnePlusCos(cosio);
    k->c6 = c4 * sinio;
}

// Newton steps for the modified eccentric longitude, E = U at the start.
double SgpKepler(double u, double axnsl, double aynsl)
{
    double e = u;
    for (int i = 0; i < SGP_KEPLER_STEPS; ++i) {
        double sine = sin(e), cose = cos(e);
        double step = (u - aynsl * cose + axnsl * sine - e) / (1.0 - axnsl * cose - aynsl * sine);
        e += step;
        if (fabs(step) <= SGP_E6A) return e;
    }
    return SGP_KeplerLimitedSteps(u, axnsl, aynsl, u);
}

}  // namespace

void SGP_Sgp(double tsince, double pos[4], double vel[4], const SGP_ELEMENTS* el)
{
    SGP_INIT k;
    SgpInitialise(el, &k);
    const double xke = SGP_Xke();
    double xno = el->mean_motion;
    double t = tsince;

    // Secular gravity and drag
    double a = xno + (2.0 * el->ndot_2 + 3.0 * el->nddot_6 * t) * t;
    a = k.ao * pow(xno / a, SGP_TOTHRD);
    double e = a > k.qo ? 1.0 - k.qo / a : SGP_E6A;
    double p = a * (1.0 - e * e);
    double xnodes = el->raan + k.xnodot * t;
    double omgas = el->arg_perigee + k.omgdt * t;
    double xls = SGP_FMod2p(k.xlo + (xno + k.omgdt + k.xnodot + (el->ndot_2 + el->nddot_6 * t) * t) * t);

    // Long-period periodics
    double axnsl = e * cos(omgas);
    double aynsl = e * sin(omgas) - k.c6 / p;
    double xl = SGP_FMod2p(xls - k.c5 / p * axnsl);

    double u = SGP_FMod2p(xl - xnodes);
    double eo1 = SgpKepler(u, axnsl, aynsl);
    double sineo1 = sin(eo1), coseo1 = cos(eo1);

    // Short-period preliminary quantities
    double ecose = axnsl * coseo1 + aynsl * sineo1;
    double esine = axnsl * sineo1 - aynsl * coseo1;
    double el2 = axnsl * axnsl + aynsl * aynsl;
    double pl = a * (1.0 - el2);
    double pl2 = pl * pl;
    double r = a * (1.0 - ecose);
    double rdot = xke * sqrt(a) / r * esine;
    double rvdot = xke * sqrt(pl) / r;
    double temp = esine / (1.0 + sqrt(1.0 - el2));
    double sinu = a / r * (sineo1 - aynsl - axnsl * temp);
    double cosu = a / r * (coseo1 - axnsl + aynsl * temp);
    double su = SGP_AcTan(sinu, cosu);

    // Short periodics
    double sin2u = (cosu + cosu) * sinu;
    double cos2u = 1.0 - 2.0 * sinu * sinu;
    double rk = r + k.d1o / pl * cos2u;
    double uk = su - k.d2o / pl2 * sin2u;
    double xnodek = xnodes + k.d3o * sin2u / pl2;
    double xinck = el->inclination + k.d4o / pl2 * cos2u;
    SGP_OrientState(rk, uk, xnodek, xinck, rdot, rvdot, pos, vel);
}

// ---------------------------------------------------------------------------
// SGP4 (its initialisation and its final steps are shared with SDP4)

void SGP_Sgp4Initialise(const SGP_ELEMENTS* el, SGP4_INIT* k)
{
    SGP_RecoverMeanElements(el, &k->m);
    const SGP_MEAN_ELEMENTS& m = k->m;
    double eo = el->eccentricity;
    double bstar = el->bstar;
    double aodp = m.aodp, xnodp = m.xnodp, theta2 = m.theta2, x3thm1 = m.x3thm1;

    k->isimp = aodp * (1.0 - eo) < 1.034492841559484 ? 1 : 0;

    // Perigee below 156 km: s and qoms2t are altered.
    double s4 = SGP_S;
    double qoms24 = SGP_Qoms2t();
    double perige = (aodp * (1.0 - eo) - 1.0) * SGP_XKMPER;
    if (perige < 156.0) {
        s4 = perige > 98.0 ? perige - 78.0 : 20.0;
        qoms24 = pow((120.0 - s4) / SGP_XKMPER, 4.0);
        s4 = s4 / SGP_XKMPER + 1.0;
    }
    k->s4 = s4;
    k->qoms24 = qoms24;

    double pinvsq = 1.0 / (aodp * aodp * m.betao2 * m.betao2);
    double tsi = 1.0 / (aodp - s4);
    double eta = aodp * eo * tsi;
    double etasq = eta * eta;
    double eeta = eo * eta;
    double psisq = fabs(1.0 - etasq);
    double coef = qoms24 * pow(tsi, 4.0);
    double coef1 = coef / pow(psisq, 3.5);
    double c2 = coef1 * xnodp *
                (aodp * (1.0 + 1.5 * etasq + eeta * (4.0 + etasq)) +
                 SGP_CK2_X0_75 * tsi / psisq * x3thm1 * (8.0 + 3.0 * etasq * (8.0 + etasq)));
    k->c1 = bstar * c2;
    double sinio = m.sinio, cosio = m.cosio;
    double invEo = eo >= 1e-8 ? 1.0 / eo : 1e8;
    double c3 = coef * tsi * SGP_A3OVK2 * xnodp * sinio * invEo;
    k->x1mth2 = 1.0 - theta2;
    k->c4 = 2.0 * xnodp * coef1 * aodp * m.betao2 *
            (eta * (2.0 + 0.5 * etasq) + eo * (0.5 + 2.0 * etasq) -
             SGP_CK2_X2 * tsi / (aodp * psisq) *
                 (-3.0 * x3thm1 * (1.0 - 2.0 * eeta + etasq * (1.5 - 0.5 * eeta)) +
                  0.75 * k->x1mth2 * (2.0 * etasq - eeta * (1.0 + etasq)) * cos(2.0 * el->arg_perigee)));
    k->c5 = 2.0 * coef1 * aodp * m.betao2 * (1.0 + 2.75 * (etasq + eeta) + eeta * etasq);

    double theta4 = theta2 * theta2;
    double temp1 = SGP_CK2_X3 * pinvsq * xnodp;
    double temp2 = temp1 * SGP_CK2 * pinvsq;
    double temp3 = SGP_CK4_X1_25 * pinvsq * pinvsq * xnodp;
    k->xmdot = xnodp + 0.5 * temp1 * m.betao * x3thm1 +
               0.0625 * temp2 * m.betao * (13.0 - 78.0 * theta2 + 137.0 * theta4);
    double x1m5th = 1.0 - 5.0 * theta2;
    k->omgdot = -0.5 * temp1 * x1m5th + 0.0625 * temp2 * (7.0 - 114.0 * theta2 + 395.0 * theta4) +
                temp3 * (3.0 - 36.0 * theta2 + 49.0 * theta4);
    double xhdot1 = -temp1 * cosio;
    k->xnodot = xhdot1 + (0.5 * temp2 * (4.0 - 19.0 * theta2) + 2.0 * temp3 * (3.0 - 7.0 * theta2)) * cosio;
    k->omgcof = bstar * c3 * cos(el->arg_perigee);
    double invEeta = fabs(eeta) >= 1e-9 ? 1.0 / eeta : 1e9;
    k->xmcof = -SGP_TOTHRD * coef * bstar * invEeta;
    k->xnodcf = 3.5 * m.betao2 * xhdot1 * k->c1;
    k->t2cof = 1.5 * k->c1;
    k->xlcof = 0.125 * SGP_A3OVK2 * sinio * (3.0 + 5.0 * cosio) / SGP_OnePlusCos(cosio);
    k->aycof = 0.25 * SGP_A3OVK2 * sinio;
    k->eta = eta;
    k->delmo = pow(1.0 + eta * cos(el->mean_anomaly), 3.0);
    k->sinmo = sin(el->mean_anomaly);
    k->x7thm1 = 7.0 * theta2 - 1.0;
    k->d2 = k->d3 = k->d4 = k->t3cof = k->t4cof = k->t5cof = 0.0;
    if (k->isimp) return;
    double c1 = k->c1;
    double c1sq = c1 * c1;
    k->d2 = 4.0 * aodp * tsi * c1sq;
    double temp = k->d2 * tsi * c1 / 3.0;
    k->d3 = (17.0 * aodp + s4) * temp;
    k->d4 = 0.5 * temp * aodp * tsi * (221.0 * aodp + 31.0 * s4) * c1;
    k->t3cof = k->d2 + 2.0 * c1sq;
    k->t4cof = 0.25 * (3.0 * k->d3 + c1 * (12.0 * k->d2 + 10.0 * c1sq));
    k->t5cof = 0.2 * (3.0 * k->d4 + 12.0 * c1 * k->d3 + 6.0 * k->d2 * k->d2 + 15.0 * c1sq * (2.0 * k->d2 + c1sq));
}

void SGP_Sgp4Finish(const SGP4_INIT* k, double a, double e, double xl, double omega, double xnode,
                    double xinc, double pos[4], double vel[4])
{
    const double xke = SGP_Xke();
    const SGP_MEAN_ELEMENTS& m = k->m;
    double beta = sqrt(1.0 - e * e);
    double xn = xke / pow(a, 1.5);

    // Long-period periodics
    double axn = e * cos(omega);
    double temp = 1.0 / (a * beta * beta);
    double xll = temp * k->xlcof * axn;
    double aynl = temp * k->aycof;
    double xlt = xl + xll;
    double ayn = e * sin(omega) + aynl;

    // Kepler's equation: the terms of the last step's start value are kept.
    double capu = SGP_FMod2p(xlt - xnode);
    double temp2 = capu;
    double sinepw = 0, cosepw = 0, temp3 = 0, temp4 = 0, temp5 = 0, temp6 = 0;
    bool settled = false;
    for (int i = 0; i < SGP_KEPLER_STEPS && !settled; ++i) {
        sinepw = sin(temp2);
        cosepw = cos(temp2);
        temp3 = axn * sinepw;
        temp4 = ayn * cosepw;
        temp5 = axn * cosepw;
        temp6 = ayn * sinepw;
        double epw = (capu - temp4 + temp3 - temp2) / (1.0 - temp5 - temp6) + temp2;
        settled = fabs(epw - temp2) <= SGP_E6A;
        if (!settled) temp2 = epw;
    }
    if (!settled) {
        temp2 = SGP_KeplerLimitedSteps(capu, axn, ayn, capu);
        sinepw = sin(temp2);
        cosepw = cos(temp2);
        temp3 = axn * sinepw;
        temp4 = ayn * cosepw;
        temp5 = axn * cosepw;
        temp6 = ayn * sinepw;
    }

    // Short-period preliminary quantities
    double ecose = temp5 + temp6;
    double esine = temp3 - temp4;
    double elsq = axn * axn + ayn * ayn;
    temp = 1.0 - elsq;
    double pl = a * temp;
    double r = a * (1.0 - ecose);
    double temp1 = 1.0 / r;
    double rdot = xke * sqrt(a) * esine * temp1;
    double rfdot = xke * sqrt(pl) * temp1;
    temp2 = a * temp1;
    double betal = sqrt(temp);
    temp3 = 1.0 / (1.0 + betal);
    double cosu = temp2 * (cosepw - axn + ayn * esine * temp3);
    double sinu = temp2 * (sinepw - ayn - axn * esine * temp3);
    double u = SGP_AcTan(sinu, cosu);
    double sin2u = 2.0 * sinu * cosu;
    double cos2u = 2.0 * cosu * cosu - 1.0;
    temp = 1.0 / pl;
    temp1 = SGP_CK2 * temp;
    temp2 = temp1 * temp;

    // Short periodics
    double rk = r * (1.0 - 1.5 * temp2 * betal * m.x3thm1) + 0.5 * temp1 * k->x1mth2 * cos2u;
    double uk = u - 0.25 * temp2 * k->x7thm1 * sin2u;
    double xnodek = xnode + 1.5 * temp2 * m.cosio * sin2u;
    double xinck = xinc + 1.5 * temp2 * m.cosio * m.sinio * cos2u;
    double rdotk = rdot - xn * temp1 * k->x1mth2 * sin2u;
    double rfdotk = rfdot + xn * temp1 * (k->x1mth2 * cos2u + 1.5 * m.x3thm1);
    SGP_OrientState(rk, uk, xnodek, xinck, rdotk, rfdotk, pos, vel);
}

void SGP_Sgp4(double tsince, double pos[4], double vel[4], const SGP_ELEMENTS* el)
{
    SGP4_INIT k;
    SGP_Sgp4Initialise(el, &k);
    double t = tsince;
    double bstar = el->bstar;

    // Secular gravity and drag
    double xmdf = el->mean_anomaly + k.xmdot * t;
    double omgadf = el->arg_perigee + k.omgdot * t;
    double xnoddf = el->raan + k.xnodot * t;
    double omega = omgadf;
    double xmp = xmdf;
    double tsq = t * t;
    double xnode = xnoddf + k.xnodcf * tsq;
    double tempa = 1.0 - k.c1 * t;
    double tempe = bstar * k.c4 * t;
    double templ = k.t2cof * tsq;
    if (!k.isimp) {
        double delomg = k.omgcof * t;
        double delm = k.xmcof * (pow(1.0 + k.eta * cos(xmdf), 3.0) - k.delmo);
        double temp = delomg + delm;
        xmp = xmdf + temp;
        omega = omgadf - temp;
        double tcube = tsq * t;
        double tfour = t * tcube;
        tempa = tempa - k.d2 * tsq - k.d3 * tcube - k.d4 * tfour;
        tempe = tempe + bstar * k.c5 * (sin(xmp) - k.sinmo);
        templ = templ + k.t3cof * tcube + tfour * (k.t4cof + t * k.t5cof);
    }
    double a = k.m.aodp * tempa * tempa;
    double e = el->eccentricity - tempe;
    double xl = xmp + omega + xnode + k.m.xnodp * templ;
    SGP_Sgp4Finish(&k, a, e, xl, omega, xnode, el->inclination, pos, vel);
}
