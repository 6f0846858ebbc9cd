// NRLMSISE-00: the thermosphere part (gts7), the lower atmosphere (gtd7) and the
// published entries. The internal routines keep the model's own names (gts7,
// globe7, glob7s, densu, densm, ...) so they can be read beside its documentation;
// what the published code keeps in common blocks lives in one work record per
// call, so every call computes from scratch.
#include "models/nrlmsise00.h"
#include <cmath>
#include <cstdio>
#include "models/nrlmsise00_data.h"
#include "models/nrlmsise00_internal.h"

namespace nrlmsise {
namespace {

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
}  // namespace nrlmsise

using namespace nrlmsise;

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
            printf("ERROR: ghp7 not converging for press %e, diff %e\n", press, diff);
            return;
        }
        double xm = d[5] / xn / 1.66E-24;
        if (flags->sw[0]) xm = xm * 1.0E3;
        double g = w.gsurf / std::pow(1.0 + z / w.re, 2.0);
        double sh = kRgas * output->t[1] / (xm * g);
        z = l < 6 ? z - sh * diff * 2.302 : z - sh * diff;
    }
}
