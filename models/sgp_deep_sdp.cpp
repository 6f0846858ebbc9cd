// SGP: the deep-space models SDP4 and SDP8: the near-Earth models' gravity
// and drag terms with the deep-space part's secular and periodic terms.
#include <cmath>
#include "models/sgp.h"

namespace {

void DeepInitFromModel(const SGP_MEAN_ELEMENTS& m, double sinio, double cosio, double sing, double cosg,
                       double xmdot, double omgdot, double xnodot, const SGP_ELEMENTS* el)
{
    double values[13] = {m.eosq, sinio, cosio, m.betao, m.aodp, m.theta2, sing, cosg,
                         m.betao2, xmdot, omgdot, xnodot, m.xnodp};
    SGP_DeepInit(values, el);
}

// In: mean anomaly (xll), perigee, node, mean motion; out: the same with
// eccentricity and inclination.
void DeepSecular(double t, double* xll, double* omega, double* xnode, double* em, double* xinc, double* xn,
                 const SGP_ELEMENTS* el)
{
    double v[7] = {*xll, *omega, *xnode, 0.0, 0.0, *xn, t};
    SGP_DeepSecular(v, el);
    *xll = v[0];
    *omega = v[1];
    *xnode = v[2];
    *em = v[3];
    *xinc = v[4];
    *xn = v[5];
}

void DeepPeriodic(double* e, double* xinc, double* omega, double* xnode, double* xll, const SGP_ELEMENTS* el)
{
    double v[5] = {*e, *xinc, *omega, *xnode, *xll};
    SGP_DeepPeriodic(v, el);
    *e = v[0];
    *xinc = v[1];
    *omega = v[2];
    *xnode = v[3];
    *xll = v[4];
}

}  // namespace

void SGP_Sdp4(double tsince, double pos[4], double vel[4], const SGP_ELEMENTS* el)
{
    SGP4_INIT k;
    SGP_Sgp4Initialise(el, &k);
    DeepInitFromModel(k.m, k.m.sinio, k.m.cosio, sin(el->arg_perigee), cos(el->arg_perigee), k.xmdot, k.omgdot,
                      k.xnodot, el);
    double t = tsince;

    // Secular gravity and drag
    double xmdf = el->mean_anomaly + k.xmdot * t;
    double omgadf = el->arg_perigee + k.omgdot * t;
    double xnoddf = el->raan + k.xnodot * t;
    double tsq = t * t;
    double xnode = xnoddf + k.xnodcf * tsq;
    double tempa = 1.0 - k.c1 * t;
    double tempe = el->bstar * k.c4 * t;
    double templ = k.t2cof * tsq;
    double xn = k.m.xnodp;
    double em, xinc;
    DeepSecular(t, &xmdf, &omgadf, &xnode, &em, &xinc, &xn, el);
    double a = pow(SGP_Xke() / xn, SGP_TOTHRD) * tempa * tempa;
    double e = em - tempe;
    double xmam = xmdf + k.m.xnodp * templ;
    DeepPeriodic(&e, &xinc, &omgadf, &xnode, &xmam, el);
    double xl = xmam + omgadf + xnode;
    SGP_Sgp4Finish(&k, a, e, xl, omgadf, xnode, xinc, pos, vel);
}

void SGP_Sdp8(double tsince, double pos[4], double vel[4], const SGP_ELEMENTS* el)
{
    SGP8_INIT k;
    SGP_Sgp8Initialise(el, &k);
    DeepInitFromModel(k.m, k.sini, k.cosi, k.sing, k.cosg, k.xlldot, k.omgdt, k.xnodot, el);
    double t = tsince;

    // Secular gravity and drag
    double z1 = 0.5 * k.xndt * t * t;
    double z7 = 3.5 * SGP_TOTHRD * z1 / k.m.xnodp;
    double xmamdf = el->mean_anomaly + k.xlldot * t;
    double omgasm = el->arg_perigee + k.omgdt * t + z7 * k.xgdt1;
    double xnodes = el->raan + k.xnodot * t + z7 * k.xhdt1;
    double xn = k.m.xnodp;
    double em, xinc;
    DeepSecular(t, &xmamdf, &omgasm, &xnodes, &em, &xinc, &xn, el);
    xn = xn + k.xndt * t;
    em = em + k.edot * t;
    double xmam = xmamdf + z1 + z7 * k.xmdt1;
    DeepPeriodic(&em, &xinc, &omgasm, &xnodes, &xmam, el);
    xmam = SGP_FMod2p(xmam);
    SGP_Sgp8Finish(&k, xmam, em, xn, omgasm, xnodes, sin(0.5 * xinc), pos, vel);
}
