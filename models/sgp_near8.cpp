// SGP: the near-Earth model SGP8, with the parts of it that SDP8 shares.
#include <cmath>
#include "models/sgp.h"

void SGP_Sgp8Initialise(const SGP_ELEMENTS* el, SGP8_INIT* k)
{
    SGP_RecoverMeanElements(el, &k->m);
    const SGP_MEAN_ELEMENTS& m = k->m;
    double eo = el->eccentricity;
    double xnodp = m.xnodp, aodp = m.aodp, theta2 = m.theta2;
    k->b = 2.0 * el->bstar / SGP_RHO;
    k->cosi = m.cosio;
    k->tthmun = m.x3thm1;

    double po = aodp * m.betao2;
    double pom2 = 1.0 / (po * po);
    k->sini = sin(el->inclination);
    k->sing = sin(el->arg_perigee);
    k->cosg = cos(el->arg_perigee);
    double temp = 0.5 * el->inclination;
    k->sinio2 = sin(temp);
    k->cosio2 = cos(temp);
    k->theta2 = theta2;
    double theta4 = theta2 * theta2;
    k->unm5th = 1.0 - 5.0 * theta2;
    k->unmth2 = 1.0 - theta2;
    k->a3cof = SGP_A3OVK2 * pow(1.0, 3.0);
    double pardt1 = SGP_CK2_X3 * pom2 * xnodp;
    double pardt2 = pardt1 * SGP_CK2 * pom2;
    double pardt4 = SGP_CK4_X1_25 * pom2 * pom2 * xnodp;
    k->xmdt1 = 0.5 * pardt1 * m.betao * k->tthmun;
    k->xgdt1 = -0.5 * pardt1 * k->unm5th;
    k->xhdt1 = -pardt1 * k->cosi;
    k->xlldot = xnodp + k->xmdt1 + 0.0625 * pardt2 * m.betao * (13.0 - 78.0 * theta2 + 137.0 * theta4);
    k->omgdt = k->xgdt1 + 0.0625 * pardt2 * (7.0 - 114.0 * theta2 + 395.0 * theta4) +
               pardt4 * (3.0 - 36.0 * theta2 + 49.0 * theta4);
    k->xnodot = k->xhdt1 + (0.5 * pardt2 * (4.0 - 19.0 * theta2) + 2.0 * pardt4 * (3.0 - 7.0 * theta2)) * k->cosi;

    k->tsi = 1.0 / (po - SGP_S);
    k->eta = eo * SGP_S * k->tsi;
    k->eta2 = k->eta * k->eta;
    k->psim2 = fabs(1.0 / (1.0 - k->eta2));
    k->alpha2 = 1.0 + m.eosq;
    k->eeta = eo * k->eta;
    k->cos2g = 2.0 * k->cosg * k->cosg - 1.0;
    k->d5 = k->tsi * k->psim2;
    k->d1 = k->d5 / po;
    k->d2 = 12.0 + k->eta2 * (36.0 + 4.5 * k->eta2);
    k->d3 = k->eta2 * (15.0 + 2.5 * k->eta2);
    k->d4 = k->eta * (5.0 + 3.75 * k->eta2);
    k->b1 = SGP_CK2 * k->tthmun;
    k->b2 = -SGP_CK2 * k->unmth2;
    k->b3 = k->a3cof * k->sini;
    k->c0 = 0.5 * k->b * SGP_RHO * SGP_Qoms2t() * xnodp * aodp * pow(k->tsi, 4.0) * pow(k->psim2, 3.5) /
            sqrt(k->alpha2);
    k->c1 = 1.5 * xnodp * k->alpha2 * k->alpha2 * k->c0;
    k->c4 = k->d1 * k->d3 * k->b2;
    k->c5 = k->d5 * k->d4 * k->b3;
    k->xndt = k->c1 * ((2.0 + k->eta2 * (3.0 + 34.0 * m.eosq) + 5.0 * k->eeta * (4.0 + k->eta2) + 8.5 * m.eosq) +
                       k->d1 * k->d2 * k->b1 + k->c4 * k->cos2g + k->c5 * k->sing);
    k->xndtn = k->xndt / xnodp;
    k->edot = -SGP_TOTHRD * k->xndtn * (1.0 - eo);
}

void SGP_Sgp8DragTerms(const SGP_ELEMENTS* el, const SGP8_INIT* k, SGP8_DRAG* g)
{
    const double eo = el->eccentricity;
    const double eosq = k->m.eosq, betao2 = k->m.betao2, aodp = k->m.aodp, xnodp = k->m.xnodp;
    const double eta = k->eta, eta2 = k->eta2, eeta = k->eeta, tsi = k->tsi, psim2 = k->psim2;
    const double alpha2 = k->alpha2, sing = k->sing, cosg = k->cosg;
    const double cos2g = k->cos2g, b1 = k->b1, b2 = k->b2, b3 = k->b3, c0 = k->c0, c1 = k->c1;
    const double d1 = k->d1, d2 = k->d2, d3 = k->d3, d4 = k->d4, d5 = k->d5;
    const double c4 = k->c4, c5 = k->c5, xgdt1 = k->xgdt1, xndt = k->xndt, xndtn = k->xndtn;

    double d6 = eta * (30.0 + 22.5 * eta2);
    double d7 = eta * (5.0 + 12.5 * eta2);
    double d8 = 1.0 + eta2 * (6.75 + eta2);
    double c8 = d1 * d7 * b2;
    double c9 = d5 * d8 * b3;
    double edot = -c0 * (eta * (4.0 + eta2 + eosq * (15.5 + 7.0 * eta2)) + eo * (5.0 + 15.0 * eta2) +
                         d1 * d6 * b1 + c8 * cos2g + c9 * sing);
    double d20 = 0.5 * SGP_TOTHRD * xndtn;
    double aldtal = eo * edot / alpha2;
    double tsdtts = 2.0 * aodp * tsi * (d20 * betao2 + eo * edot);
    double etdt = (edot + eo * tsdtts) * tsi * SGP_S;
    double psdtps = -eta * etdt * psim2;
    double sin2g = 2.0 * sing * cosg;
    double c0dtc0 = d20 + 4.0 * tsdtts - aldtal - 7.0 * psdtps;
    double c1dtc1 = xndtn + 4.0 * aldtal + c0dtc0;
    double d9 = eta * (6.0 + 68.0 * eosq) + eo * (20.0 + 15.0 * eta2);
    double d10 = 5.0 * eta * (4.0 + eta2) + eo * (17.0 + 68.0 * eta2);
    double d11 = eta * (72.0 + 18.0 * eta2);
    double d12 = eta * (30.0 + 10.0 * eta2);
    double d13 = 5.0 + 11.25 * eta2;
    double d14 = tsdtts - 2.0 * psdtps;
    double d15 = 2.0 * (d20 + eo * edot / betao2);
    double d1dt = d1 * (d14 + d15);
    double d2dt = etdt * d11;
    double d3dt = etdt * d12;
    double d4dt = etdt * d13;
    double d5dt = d5 * d14;
    double c4dt = b2 * (d1dt * d3 + d1 * d3dt);
    double c5dt = b3 * (d5dt * d4 + d5 * d4dt);
    double d16 = d9 * etdt + d10 * edot + b1 * (d1dt * d2 + d1 * d2dt) + c4dt * cos2g + c5dt * sing +
                 xgdt1 * (c5 * cosg - 2.0 * c4 * sin2g);
    double xnddt = c1dtc1 * xndt + c1 * d16;
    double eddot =
        c0dtc0 * edot -
        c0 * ((4.0 + 3.0 * eta2 + 30.0 * eeta + eosq * (15.5 + 21.0 * eta2)) * etdt +
              (5.0 + 15.0 * eta2 + eeta * (31.0 + 14.0 * eta2)) * edot +
              b1 * (d1dt * d6 + d1 * etdt * (30.0 + 67.5 * eta2)) +
              b2 * (d1dt * d7 + d1 * etdt * (5.0 + 37.5 * eta2)) * cos2g +
              b3 * (d5dt * d8 + d5 * etdt * eta * (13.5 + 4.0 * eta2)) * sing +
              xgdt1 * (c9 * cosg - 2.0 * c8 * sin2g));
    double d25 = edot * edot;
    double d17 = xnddt / xnodp - xndtn * xndtn;
    double tsddts = 2.0 * tsdtts * (tsdtts - d20) +
                    aodp * tsi * (SGP_TOTHRD * betao2 * d17 - 4.0 * d20 * eo * edot + 2.0 * (d25 + eo * eddot));
    double etddt = (eddot + 2.0 * edot * tsdtts) * tsi * SGP_S + tsddts * eta;
    double d18 = tsddts - tsdtts * tsdtts;
    // psdtps^2 / eta^2 is (etdt psim2)^2; a circular orbit (eta = 0) would give 0 / 0.
    double psdtpsOverEtaSq = eta2 != 0.0 ? psdtps * psdtps / eta2 : SGP_Square(etdt * psim2);
    double d19 = -psdtpsOverEtaSq - eta * etddt * psim2 - psdtps * psdtps;
    double d23 = etdt * etdt;
    double d1ddt = d1dt * (d14 + d15) +
                   d1 * (d18 - 2.0 * d19 + SGP_TOTHRD * d17 + 2.0 * (alpha2 * d25 / betao2 + eo * eddot) / betao2);
    double xntrdt =
        xndt * (2.0 * SGP_TOTHRD * d17 + 3.0 * (d25 + eo * eddot) / alpha2 - 6.0 * aldtal * aldtal + 4.0 * d18 -
                7.0 * d19) +
        c1dtc1 * xnddt +
        c1 * (c1dtc1 * d16 + d9 * etddt + d10 * eddot + d23 * (6.0 + 30.0 * eeta + 68.0 * eosq) +
              etdt * edot * (40.0 + 30.0 * eta2 + 272.0 * eeta) + d25 * (17.0 + 68.0 * eta2) +
              b1 * (d1ddt * d2 + 2.0 * d1dt * d2dt + d1 * (etddt * d11 + d23 * (72.0 + 54.0 * eta2))) +
              b2 * (d1ddt * d3 + 2.0 * d1dt * d3dt + d1 * (etddt * d12 + d23 * (30.0 + 30.0 * eta2))) * cos2g +
              b3 * ((d5dt * d14 + d5 * (d18 - 2.0 * d19)) * d4 + 2.0 * d4dt * d5dt +
                    d5 * (etddt * d13 + 22.5 * eta * d23)) *
                  sing +
              xgdt1 * ((7.0 * d20 + 4.0 * eo * edot / betao2) * (c5 * cosg - 2.0 * c4 * sin2g) +
                       ((2.0 * c5dt * cosg - 4.0 * c4dt * sin2g) - xgdt1 * (c5 * sing + 4.0 * c4 * cos2g))));
    double tmnddt = xnddt * 1e9;
    double temp = tmnddt * tmnddt - xndt * 1e18 * xntrdt;
    g->pp = (temp + tmnddt * tmnddt) / temp;
    g->gamma = -xntrdt / (xnddt * (g->pp - 2.0));
    g->xnd = xndt / (g->pp * g->gamma);
    g->qq = 1.0 - eddot / (edot * g->gamma);
    g->ed = edot / (g->qq * g->gamma);
    g->ovgpp = 1.0 / (g->gamma * (g->pp + 1.0));
    g->edot = edot;
    g->xnddt = xnddt;
    g->eddot = eddot;
    g->xntrdt = xntrdt;
}

void SGP_Sgp8Finish(const SGP8_INIT* k, double xmam, double em, double xn, double omgasm, double xnodes,
                    double sinHalfI, double pos[4], double vel[4])
{
    const double theta2 = k->theta2, cosi = k->cosi, sini = k->sini;

    // Kepler's equation: the terms of the last step's start value are kept.
    double zc2 = xmam + em * sin(xmam) * (1.0 + em * cos(xmam));
    double sine = 0, cose = 0, zc5 = 0;
    bool settled = false;
    for (int i = 0; i < SGP_KEPLER_STEPS && !settled; ++i) {
        sine = sin(zc2);
        cose = cos(zc2);
        zc5 = 1.0 / (1.0 - em * cose);
        double cape = (xmam + em * sine - zc2) * zc5 + zc2;
        settled = fabs(cape - zc2) <= SGP_E6A;
        if (!settled) zc2 = cape;
    }
    if (!settled) {
        zc2 = SGP_KeplerLimitedSteps(xmam, em, 0.0, xmam);
        sine = sin(zc2);
        cose = cos(zc2);
        zc5 = 1.0 / (1.0 - em * cose);
    }

    // Short-period preliminary quantities
    double am = pow(SGP_Xke() / xn, SGP_TOTHRD);
    double beta2m = 1.0 - em * em;
    double sinos = sin(omgasm), cosos = cos(omgasm);
    double axnm = em * cosos;
    double aynm = em * sinos;
    double pm = am * beta2m;
    double g1 = 1.0 / pm;
    double g2 = SGP_CK2_HALF * g1;
    double g3 = g2 * g1;
    double beta = sqrt(beta2m);
    double g4 = 0.25 * k->a3cof * sini;
    double g5 = 0.25 * k->a3cof * g1;
    double snf = beta * sine * zc5;
    double csf = (cose - em) * zc5;
    double fm = SGP_AcTan(snf, csf);
    double snfg = snf * cosos + csf * sinos;
    double csfg = csf * cosos - snf * sinos;
    double sn2f2g = 2.0 * snfg * csfg;
    double cs2f2g = 2.0 * csfg * csfg - 1.0;
    double ecosf = em * csf;
    double g10 = fm - xmam + em * snf;
    double rm = pm / (1.0 + ecosf);
    double aovr = am / rm;
    double g13 = xn * aovr;
    double g14 = -g13 * aovr;
    double dr = g2 * (k->unmth2 * cs2f2g - 3.0 * k->tthmun) - g4 * snfg;
    double diwc = 3.0 * g3 * sini * cs2f2g - g5 * aynm;
    double di = diwc * cosi;

    // Short-period periodics
    double sni2du = k->sinio2 * (g3 * (0.5 * (1.0 - 7.0 * theta2) * sn2f2g - 3.0 * k->unm5th * g10) -
                                 g5 * sini * csfg * (2.0 + ecosf)) -
                    0.5 * g5 * theta2 * axnm / k->cosio2;
    double xlamb = fm + omgasm + xnodes +
                   g3 * (0.5 * (1.0 + 6.0 * cosi - 7.0 * theta2) * sn2f2g - 3.0 * (k->unm5th + 2.0 * cosi) * g10) +
                   g5 * sini * (cosi * axnm / SGP_OnePlusCos(cosi) - (2.0 + ecosf) * csfg);
    double y4 = sinHalfI * snfg + csfg * sni2du + 0.5 * snfg * k->cosio2 * di;
    double y5 = sinHalfI * csfg - snfg * sni2du + 0.5 * csfg * k->cosio2 * di;
    double r = rm + dr;
    double rdot = xn * am * em * snf / beta + g14 * (2.0 * g2 * k->unmth2 * sn2f2g + g4 * csfg);
    double rvdot = xn * am * am * beta / rm + g14 * dr + am * g13 * sini * diwc;

    // Orientation vectors
    double snlamb = sin(xlamb), cslamb = cos(xlamb);
    double temp = 2.0 * (y5 * snlamb - y4 * cslamb);
    double u[3], v[3];
    u[0] = y4 * temp + cslamb;
    v[0] = y5 * temp - snlamb;
    temp = 2.0 * (y5 * cslamb + y4 * snlamb);
    u[1] = -y4 * temp + snlamb;
    v[1] = -y5 * temp + cslamb;
    temp = 2.0 * sqrt(1.0 - y4 * y4 - y5 * y5);
    u[2] = y4 * temp;
    v[2] = y5 * temp;
    for (int i = 0; i < 3; ++i) {
        pos[i] = r * u[i];
        vel[i] = rdot * u[i] + rvdot * v[i];
    }
}

void SGP_Sgp8(double tsince, double pos[4], double vel[4], const SGP_ELEMENTS* el)
{
    SGP8_INIT k;
    SGP_Sgp8Initialise(el, &k);
    double t = tsince;
    double xnodp = k.m.xnodp;
    double eo = el->eccentricity;
    // Very small drag: mean motion linear and mean anomaly quadratic in time.
    int isimp = fabs(k.xndtn * SGP_MIN_PER_DAY) < 2.16e-3;

    // Secular gravity and drag
    double xmam = SGP_FMod2p(el->mean_anomaly + k.xlldot * t);
    double omgasm = el->arg_perigee + k.omgdt * t;
    double xnodes = el->raan + k.xnodot * t;
    double xn, em, z1;
    if (isimp) {
        xn = xnodp + k.xndt * t;
        em = eo + k.edot * t;
        z1 = 0.5 * k.xndt * t * t;
    } else {
        SGP8_DRAG g;
        SGP_Sgp8DragTerms(el, &k, &g);
        double temp = 1.0 - g.gamma * t;
        double temp1 = pow(temp, g.pp);
        xn = xnodp + g.xnd * (1.0 - temp1);
        em = eo + g.ed * (1.0 - pow(temp, g.qq));
        z1 = g.xnd * (t + g.ovgpp * (temp * temp1 - 1.0));
    }
    double z7 = 3.5 * SGP_TOTHRD * z1 / xnodp;
    xmam = SGP_FMod2p(xmam + z1 + z7 * k.xmdt1);
    omgasm = omgasm + z7 * k.xgdt1;
    xnodes = xnodes + z7 * k.xhdt1;
    SGP_Sgp8Finish(&k, xmam, em, xn, omgasm, xnodes, k.sinio2, pos, vel);
}
