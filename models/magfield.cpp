// MAGFIELD: World Magnetic Model 2005 evaluated as the published geomag routine does,
// every intermediate value in single precision.
#include "models/magfield.h"
#include <cmath>
#include "foundation/log.h"

namespace {

constexpr int kSize = MAGFIELD_WMM_MAX_DEGREE + 1;

// WGS-84 spheroid, semi-axes squared (km^2) as single-precision numbers, and the
// quantities the coordinate conversion derives from them, all in single precision.
constexpr float kA2 = 40680632.0f;
constexpr float kB2 = 40408300.0f;
constexpr float kC2 = kA2 - kB2;
constexpr float kA4 = kA2 * kA2;
constexpr float kB4 = kB2 * kB2;
constexpr float kC4 = kA4 - kB4;
constexpr float kMeanRadius = 6371.2f;  // reference radius of the expansion, km
constexpr float kDegToRad = 0.017453292f;
// The years the published coefficients are made for.
constexpr float kSpanFirstYear = 2005.0f;
constexpr float kSpanLastYear = 2010.0f;

bool g_spanWarned = false;   // the warning for a date outside the span was logged this run

// Work state of one evaluation. Coefficients of degree n and order m are kept at
// [m][n] (g and its rate) and at [n][m - 1] (h and its rate).
struct WMM_WORK {
    float c[kSize][kSize];      // Schmidt-normalised coefficients
    float cd[kSize][kSize];     // their secular rates
    float tc[kSize][kSize];     // coefficients at the evaluation time
    float snorm[kSize][kSize];  // normalisation factors, [m][n]
    float k[kSize][kSize];      // Legendre recursion factors, [m][n]
    float p[kSize][kSize];      // associated Legendre functions, [m][n]
    float dp[kSize][kSize];     // their derivatives by the colatitude, [m][n]
    float pp[kSize];            // Legendre functions of order 1 at a pole
    float sp[kSize];            // sin(m * longitude)
    float cp[kSize];            // cos(m * longitude)
    float fn[kSize];            // n + 1
    float fm[kSize];            // n, used as the order factor m
};

// Spherical position of a geodetic point, in the terms the summation needs.
struct WMM_SPHERE {
    float ct, st;  // cosine and sine of the geocentric colatitude
    float r;       // geocentric distance, km
    float ca, sa;  // cosine and sine of geocentric minus geodetic latitude
};

struct WMM_SUMS {
    float br, bt, bp;
};

float SqrtF(float x) { return static_cast<float>(std::sqrt(static_cast<double>(x))); }
float SinF(float x) { return static_cast<float>(std::sin(static_cast<double>(x))); }
float CosF(float x) { return static_cast<float>(std::cos(static_cast<double>(x))); }

void LoadCoefficients(WMM_WORK* w)
{
    for (int i = 0; i < kSize; i++) {
        for (int j = 0; j < kSize; j++) {
            w->c[i][j] = 0.0f;
            w->cd[i][j] = 0.0f;
            w->snorm[i][j] = 0.0f;
            w->k[i][j] = 0.0f;
            w->p[i][j] = 0.0f;
            w->dp[i][j] = 0.0f;
            w->tc[i][j] = 0.0f;
        }
    }
    for (const MAGFIELD_WMM_COEF& row : g_magfieldWmm2005) {
        w->c[row.m][row.n] = row.g;
        w->cd[row.m][row.n] = row.gdot;
        if (row.m != 0) {
            w->c[row.n][row.m - 1] = row.h;
            w->cd[row.n][row.m - 1] = row.hdot;
        }
    }
}

// Schmidt quasi-normalisation factors applied to the coefficients, and the
// recursion and degree factors.
void NormaliseCoefficients(WMM_WORK* w)
{
    w->snorm[0][0] = 1.0f;
    w->fn[0] = 1.0f;
    w->fm[0] = 0.0f;  // the m = 0 terms carry no longitudinal part
    for (int n = 1; n <= MAGFIELD_WMM_MAX_DEGREE; n++) {
        w->snorm[0][n] = w->snorm[0][n - 1] * static_cast<float>(2 * n - 1) / static_cast<float>(n);
        int j = 2;
        for (int m = 0; m <= n; m++) {
            w->k[m][n] = static_cast<float>((n - 1) * (n - 1) - m * m) /
                         static_cast<float>((2 * n - 1) * (2 * n - 3));
            if (m > 0) {
                float flnmj = static_cast<float>((n - m + 1) * j) / static_cast<float>(n + m);
                w->snorm[m][n] = w->snorm[m - 1][n] * SqrtF(flnmj);
                j = 1;
                w->c[n][m - 1] = w->snorm[m][n] * w->c[n][m - 1];
                w->cd[n][m - 1] = w->snorm[m][n] * w->cd[n][m - 1];
            }
            w->c[m][n] = w->snorm[m][n] * w->c[m][n];
            w->cd[m][n] = w->snorm[m][n] * w->cd[m][n];
        }
        w->fn[n] = static_cast<float>(n + 1);
        w->fm[n] = static_cast<float>(n);
    }
    w->k[1][1] = 0.0f;
}

WMM_SPHERE GeodeticToSpherical(float altKm, float srlat, float crlat)
{
    float srlat2 = srlat * srlat;
    float crlat2 = crlat * crlat;
    float q = SqrtF(kA2 - kC2 * srlat2);
    float q1 = altKm * q;
    float q2 = ((q1 + kA2) / (q1 + kB2)) * ((q1 + kA2) / (q1 + kB2));
    WMM_SPHERE s;
    s.ct = srlat / SqrtF(q2 * crlat2 + srlat2);
    s.st = SqrtF(1.0f - s.ct * s.ct);
    float r2 = altKm * altKm + 2.0f * q1 + (kA4 - kC4 * srlat2) / (q * q);
    s.r = SqrtF(r2);
    float d = SqrtF(kA2 * crlat2 + kB2 * srlat2);
    s.ca = (altKm + d) / s.r;
    s.sa = kC2 * crlat * srlat / (s.r * d);
    return s;
}

void LongitudeMultiples(WMM_WORK* w, float rlon)
{
    w->sp[0] = 0.0f;
    w->cp[0] = 1.0f;
    w->sp[1] = SinF(rlon);
    w->cp[1] = CosF(rlon);
    for (int m = 2; m <= MAGFIELD_WMM_MAX_DEGREE; m++) {
        w->sp[m] = w->sp[1] * w->cp[m - 1] + w->cp[1] * w->sp[m - 1];
        w->cp[m] = w->cp[1] * w->cp[m - 1] - w->sp[1] * w->sp[m - 1];
    }
}

// Unnormalised associated Legendre function of degree n, order m and its derivative.
void LegendreStep(WMM_WORK* w, const WMM_SPHERE* s, int n, int m)
{
    if (n == m) {
        w->p[m][n] = s->st * w->p[m - 1][n - 1];
        w->dp[m][n] = s->st * w->dp[m - 1][n - 1] + s->ct * w->p[m - 1][n - 1];
        return;
    }
    if (n == 1 && m == 0) {
        w->p[m][n] = s->ct * w->p[m][n - 1];
        w->dp[m][n] = s->ct * w->dp[m][n - 1] - s->st * w->p[m][n - 1];
        return;
    }
    if (m > n - 2) {
        w->p[m][n - 2] = 0.0f;
        w->dp[m][n - 2] = 0.0f;
    }
    w->p[m][n] = s->ct * w->p[m][n - 1] - w->k[m][n] * w->p[m][n - 2];
    w->dp[m][n] = s->ct * w->dp[m][n - 1] - s->st * w->p[m][n - 1] - w->k[m][n] * w->dp[m][n - 2];
}

WMM_SUMS SumExpansion(WMM_WORK* w, const WMM_SPHERE* s, float dt)
{
    WMM_SUMS sum = {0.0f, 0.0f, 0.0f};
    float bpp = 0.0f;  // longitudinal sum of the pole recursion
    float aor = kMeanRadius / s->r;
    float ar = aor * aor;
    w->p[0][0] = 1.0f;
    w->dp[0][0] = 0.0f;
    w->pp[0] = 1.0f;
    for (int n = 1; n <= MAGFIELD_WMM_MAX_DEGREE; n++) {
        ar = ar * aor;
        for (int m = 0; m <= n; m++) {
            LegendreStep(w, s, n, m);
            w->tc[m][n] = w->c[m][n] + dt * w->cd[m][n];
            if (m != 0) w->tc[n][m - 1] = w->c[n][m - 1] + dt * w->cd[n][m - 1];

            float par = ar * w->p[m][n];
            float temp1, temp2;
            if (m == 0) {
                temp1 = w->tc[m][n] * w->cp[m];
                temp2 = w->tc[m][n] * w->sp[m];
            } else {
                temp1 = w->tc[m][n] * w->cp[m] + w->tc[n][m - 1] * w->sp[m];
                temp2 = w->tc[m][n] * w->sp[m] - w->tc[n][m - 1] * w->cp[m];
            }
            sum.bt = sum.bt - ar * temp1 * w->dp[m][n];
            sum.bp += w->fm[m] * temp2 * par;
            sum.br += w->fn[n] * temp1 * par;

            // At a geographic pole the longitudinal term is 0/0; take it from the
            // order-1 recursion without the sine of the colatitude.
            if (s->st == 0.0f && m == 1) {
                if (n == 1)
                    w->pp[n] = w->pp[n - 1];
                else
                    w->pp[n] = s->ct * w->pp[n - 1] - w->k[m][n] * w->pp[n - 2];
                float parp = ar * w->pp[n];
                bpp += w->fm[m] * temp2 * parp;
            }
        }
    }
    if (s->st == 0.0f)
        sum.bp = bpp;
    else
        sum.bp /= s->st;
    return sum;
}

// Beyond its span the model only extrapolates its secular variation, which
// grows less accurate with every year: the first such date of a run is logged.
void WarnOutsideSpan(float year)
{
    if (g_spanWarned || (year >= kSpanFirstYear && year <= kSpanLastYear)) return;
    g_spanWarned = true;
    LOG_Printf("MAGFIELD: rok %.2f je mimo platnost modelu WMM-2005 (2005.0 až 2010.0), "
               "pole se počítá lineární extrapolací sekulárních změn.\n",
               static_cast<double>(year));
}

}  // namespace

void MAGFIELD_WmmResetSpanWarning() { g_spanWarned = false; }

void MAGFIELD_WmmInitConstants()
{
    // The spheroid constants and the work arrays need no set-up: the constants are
    // compile-time values and every evaluation rebuilds its model.
}

void MAGFIELD_WmmFieldAt(float latitude, float longitude, float altitude, float year,
                         float* north, float* east, float* down)
{
    WarnOutsideSpan(year);
    WMM_WORK w;
    LoadCoefficients(&w);
    NormaliseCoefficients(&w);

    float altKm = altitude / 1000.0f;
    float dt = year - MAGFIELD_WMM_EPOCH;
    float rlon = longitude * kDegToRad;
    float rlat = latitude * kDegToRad;
    float srlat = SinF(rlat);
    float crlat = CosF(rlat);

    WMM_SPHERE sphere = GeodeticToSpherical(altKm, srlat, crlat);
    LongitudeMultiples(&w, rlon);
    WMM_SUMS sum = SumExpansion(&w, &sphere, dt);

    // Spherical components turned to the geodetic frame.
    *north = -sum.bt * sphere.ca - sum.br * sphere.sa;
    *east = sum.bp;
    *down = sum.bt * sphere.sa - sum.br * sphere.ca;
}

// ---- geodetic coordinates on the WGS-84 ellipsoid -------------------------------

namespace {

constexpr double kWgs84A = 6378.137;                       // semi-major axis, km
constexpr double kWgs84F = 1.0 / 298.257223563;            // flattening
constexpr double kWgs84E2 = kWgs84F * (2.0 - kWgs84F);     // first eccentricity squared
constexpr double kRadToDeg = 57.29577951308232;
constexpr int kMostIterations = 10;
constexpr double kConverged = 1e-14;                       // rad

}  // namespace

// The latitude is the fixed point of phi = atan2(z + e^2 N(phi) sin phi, rho),
// which the iteration reaches with a factor of about e^2 per round from the
// geocentric start; the height is then measured along the ellipsoid's normal.
void MAGFIELD_GeodeticFromAxial(double rho, double z, double* latitude, double* height)
{
    double phi = atan2(z, rho * (1.0 - kWgs84E2));
    for (int i = 0; i < kMostIterations; ++i) {
        double s = sin(phi);
        double n = kWgs84A / sqrt(1.0 - kWgs84E2 * s * s);
        double next = atan2(z + kWgs84E2 * n * s, rho);
        bool done = fabs(next - phi) < kConverged;
        phi = next;
        if (done) break;
    }
    double s = sin(phi);
    *latitude = phi * kRadToDeg;
    *height = rho * cos(phi) + z * s - kWgs84A * sqrt(1.0 - kWgs84E2 * s * s);
}

void MAGFIELD_AxialFromGeodetic(double latitude, double height, double* rho, double* z)
{
    double phi = latitude / kRadToDeg;
    double s = sin(phi);
    double n = kWgs84A / sqrt(1.0 - kWgs84E2 * s * s);
    *rho = (n + height) * cos(phi);
    *z = (n * (1.0 - kWgs84E2) + height) * s;
}
