// NRLMSISE-00: the G(L) expansions of the upper (globe7) and lower (glob7s) atmosphere.
#include <cmath>
#include <cstdio>
#include "models/nrlmsise00_internal.h"

namespace nrlmsise {

namespace {

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

}  // namespace

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

}  // namespace nrlmsise
