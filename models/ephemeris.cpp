// ORBIT ephemeris: Earth rotation, sidereal time, and low-precision Sun and
// Moon positions for the scene, the illumination and the solar pressure.
#include "models/ephemeris.h"
#include "foundation/constants.h"
#include <cmath>
#include <cstdint>

namespace {

constexpr double J2000 = 2451545.0;
constexpr double OBLIQUITY = 0.40909262775014904;          // rad
constexpr double EARTH_ROTATION_RATE = 7.292115815600708e-5;  // rad/s
constexpr double TROPICAL_YEAR_SECONDS = 31556925.260928;
constexpr double SUN_DISTANCE = 1.466e8;                     // km
constexpr double MOON_EARTH_RADIUS = 6372.795;               // km

// Module state set at run start.
TIME_MS s_referenceTime = 0;
double s_startAngle = 0.0;
QUAT s_obliquity = {1.0, 0.0, 0.0, 0.0};
VEC3 s_moon = {0.0, 0.0, 0.0};
ORBIT_LOCK_HOOK s_lockEnter = nullptr;
ORBIT_LOCK_HOOK s_lockLeave = nullptr;

// The March equinox of 2005, 2005-03-20 12:33:01.100 UTC.
TIME_MS ReferenceTime()
{
    SYSTEMTIME st{};
    st.wYear = 2005;
    st.wMonth = 3;
    st.wDay = 20;
    st.wHour = 12;
    st.wMinute = 33;
    st.wSecond = 1;
    st.wMilliseconds = 100;
    return TIME_SystemTimeToMs(&st);
}

double Reduce360(double degrees)
{
    return degrees - 360.0 * floor(degrees / 360.0);
}

double ReducedRadians(double degrees)
{
    return Reduce360(degrees) * CONST_DEG_TO_RAD;
}

// Days since 2000-01-00 00:00 UTC (1999-12-31 00:00), integer day count as
// the low-precision series expects it, plus the fraction of the day.
double MoonDayNumber(const SYSTEMTIME* st)
{
    int32_t y = st->wYear, m = st->wMonth, D = st->wDay;
    int32_t days = 367 * y - 7 * (y + (m + 9) / 12) / 4 + 275 * m / 9 + D - 730530;
    double seconds = st->wMilliseconds / 1000.0 + st->wSecond + st->wMinute * 60.0 + st->wHour * 3600.0;
    return days + seconds / 86400.0;
}

// Moon's mean orbit: elements at day d, angles in radians.
struct MOON_ORBIT {
    double node, perigee, meanAnomaly;
};

MOON_ORBIT MoonElements(double d)
{
    return MOON_ORBIT{ReducedRadians(125.1228 - 0.0529538083 * d),
                      ReducedRadians(318.0634 + 0.1643573223 * d),
                      ReducedRadians(115.3654 + 13.0649929509 * d)};
}

// Geocentric ecliptic longitude, latitude (rad) and distance (km) of the
// unperturbed Moon.
void MoonEllipse(const MOON_ORBIT* o, double* longitude, double* latitude, double* distance)
{
    const double a = 384066.687147;   // 60.2666 Earth radii
    const double e = 0.0549;
    const double incl = 0.08980417133211624;
    double M = o->meanAnomaly;
    double E = M;
    for (int i = 0; i < 4; ++i) {
        E += (M + e * sin(E) - E) / (1.0 - e * cos(E));
    }
    double xv = a * (cos(E) - e);
    double yv = a * sqrt(1.0 - e * e) * sin(E);
    double v = atan2(yv, xv);
    double r = sqrt(xv * xv + yv * yv);
    double vw = v + o->perigee;
    double xh = r * (cos(o->node) * cos(vw) - sin(o->node) * sin(vw) * cos(incl));
    double yh = r * (sin(o->node) * cos(vw) + cos(o->node) * sin(vw) * cos(incl));
    double zh = r * sin(vw) * sin(incl);
    *longitude = atan2(yh, xh);
    *latitude = atan2(zh, sqrt(xh * xh + yh * yh));
    *distance = r;
}

// Perturbations by the Sun: longitude and latitude (deg), distance (Earth radii).
void MoonPerturbations(const MOON_ORBIT* o, double d, double* dLongitude, double* dLatitude,
                       double* dDistance)
{
    double Ms = ReducedRadians(356.047 + 0.9856002585 * d);
    double ws = ReducedRadians(282.9404 + 4.70935e-5 * d);
    double M = o->meanAnomaly;
    double Ls = Ms + ws;
    double Lm = M + o->perigee + o->node;
    double De = Lm - Ls;
    double F = Lm - o->node;
    *dLongitude = -1.274 * sin(M - 2 * De) + 0.658 * sin(2 * De) - 0.186 * sin(Ms)
        - 0.059 * sin(2 * M - 2 * De) - 0.057 * sin(M - 2 * De + Ms) + 0.053 * sin(M + 2 * De)
        + 0.046 * sin(2 * De - Ms) + 0.041 * sin(M - Ms) - 0.035 * sin(De) - 0.031 * sin(M + Ms)
        - 0.015 * sin(2 * F - 2 * De) + 0.011 * sin(M - 4 * De);
    *dLatitude = -0.173 * sin(F - 2 * De) - 0.055 * sin(M - F - 2 * De) - 0.046 * sin(M + F - 2 * De)
        + 0.033 * sin(F + 2 * De) + 0.017 * sin(2 * M + F);
    *dDistance = -0.58 * cos(M - 2 * De) - 0.46 * cos(2 * De);
}

// Precession from the mean equinox of the day number to that of the date's
// epoch year, degrees in [0, 360).
double MoonPrecession(const SYSTEMTIME* st, double d)
{
    double epochYear = st->wYear + (st->wDay + 0.5 * st->wMonth) / 365.25;
    return Reduce360(((epochYear - 2000.0) * 365.2422 - d) * 3.82394e-5);
}

VEC3 MoonAt(TIME_MS t)
{
    SYSTEMTIME st;
    TIME_MsToSystemTime(t, &st);
    double d = MoonDayNumber(&st);
    double ecl = (23.4393 - 3.563e-7 * d) * CONST_DEG_TO_RAD;
    MOON_ORBIT orbit = MoonElements(d);
    double lambda, beta, r;
    MoonEllipse(&orbit, &lambda, &beta, &r);
    lambda += MoonPrecession(&st, d) * CONST_DEG_TO_RAD;
    double dLambda, dBeta, dR;
    MoonPerturbations(&orbit, d, &dLambda, &dBeta, &dR);
    lambda += dLambda * CONST_DEG_TO_RAD;
    beta += dBeta * CONST_DEG_TO_RAD;
    r += dR * MOON_EARTH_RADIUS;
    double xe = r * cos(lambda) * cos(beta);
    double ye = r * sin(lambda) * cos(beta);
    double ze = r * sin(beta);
    return VEC3{xe, ye * cos(ecl) - ze * sin(ecl), ye * sin(ecl) + ze * cos(ecl)};
}

}  // namespace

void ORBIT_SetSceneLockHooks(ORBIT_LOCK_HOOK enter, ORBIT_LOCK_HOOK leave)
{
    s_lockEnter = enter;
    s_lockLeave = leave;
}

void ORBIT_InitEphemeris()
{
    QUAT_FromAxisAngle(&s_obliquity, OBLIQUITY, 1.0, 0.0, 0.0);
    s_referenceTime = ReferenceTime();
    s_startAngle = ORBIT_GreenwichSiderealTime(s_referenceTime) / 24.0 * 360.0;
}

double ORBIT_GreenwichSiderealTime(TIME_MS t)
{
    SYSTEMTIME st;
    TIME_MsToSystemTime(t, &st);
    JULIAN_DATE jd = TIME_SystemTimeToJulianDate(&st);
    st.wHour = st.wMinute = st.wSecond = st.wMilliseconds = 0;
    JULIAN_DATE jd0 = TIME_SystemTimeToJulianDate(&st);
    double D = jd - J2000;
    double D0 = jd0 - J2000;
    double H = (jd - jd0) * 24.0;
    double T = D / 36525.0;
    double G = 6.697374558 + 0.06570982441908 * D0 + 1.00273790935 * H + 0.000026 * T * T;
    return G - 24.0 * floor(G / 24.0);
}

double ORBIT_EarthRotationAngleAt(TIME_MS t)
{
    double delta = (double)(int64_t)(t - s_referenceTime);
    double A = delta / 1000.0 * EARTH_ROTATION_RATE * 180.0 / CONST_PI + s_startAngle;
    return A - 360.0 * (double)(int64_t)(A / 360.0);
}

double ORBIT_EarthRotationAngle() { return ORBIT_EarthRotationAngleAt(g_simClock.clock); }

void ORBIT_SunDirectionAt(TIME_MS t, VEC3* out)
{
    int64_t seconds = (t - s_referenceTime) / 1000;   // whole seconds
    double theta = 2.0 * (double)seconds * CONST_PI / TROPICAL_YEAR_SECONDS;
    *out = VEC3{cos(theta) * SUN_DISTANCE, sin(theta) * SUN_DISTANCE, 0.0};
    QUAT_RotateVector(out, &s_obliquity);
}

void ORBIT_SunDirection(VEC3* out) { ORBIT_SunDirectionAt(g_simClock.clock, out); }

void ORBIT_MoonAt(TIME_MS t, VEC3* out) { *out = MoonAt(t); }

void ORBIT_MoonPosition()
{
    VEC3 moon = MoonAt(g_simClock.clock);
    if (s_lockEnter) s_lockEnter();
    s_moon = moon;
    if (s_lockLeave) s_lockLeave();
}

void ORBIT_GetMoonVector(VEC3* out)
{
    *out = s_moon;
}
