// KEPLER: the Kepler models' side of the SGP element sets: propagation of a
// set, conversion of elements both ways and the fit of the dot mean motion.
#include <cmath>
#include "foundation/log.h"
#include "foundation/constants.h"
#include "models/kepler.h"
#include "models/sgp_tle.h"

namespace {

constexpr int64_t MS_PER_DAY = 86400000;
constexpr uint32_t VARIANT_SGP4 = 1;
// The two-digit epoch of an element set reads years 1957 to 2056; later
// years are all written as 2057 and carry the rest in the day number.
constexpr int EPOCH_YEAR_FIRST = 1900;
constexpr int EPOCH_YEAR_LAST = 2057;

// Bracketing of the dot term: 1e-25 * 1.5^200 is far beyond any orbit that
// still responds; valid element sets finish in about 70 steps.
constexpr int BRACKET_STEP_LIMIT = 200;
constexpr double COS_2_DEGREES = 0.9993908270190958;
constexpr int FIT_DAYS[] = {2, 5, 10, 25, 60};
constexpr int FIT_ITERATIONS = 30;

JULIAN_DATE JulianDateOfMs(TIME_MS t)
{
    SYSTEMTIME st;
    TIME_MsToSystemTime(t, &st);
    return TIME_SystemTimeToJulianDate(&st);
}

double Cosine(const VEC3* p, const VEC3* q)
{
    return VEC_Dot(p, q) / (VEC_Length(p) * VEC_Length(q));
}

double Angle(const VEC3* p, const VEC3* q)
{
    double c = Cosine(p, q);
    return acos(c < -1.0 ? -1.0 : (c > 1.0 ? 1.0 : c));
}

VEC3 EnhancedPosition(KEPLER_ORBIT* orbit, double dot, TIME_MS t)
{
    VEC3 position, velocity;
    orbit->kepler_dot_mean_motion = dot;
    KEPLER_PropagateEnhanced(orbit, t, &position, &velocity);
    return position;
}

// Smallest dot term that turns the position one day after the epoch by more
// than 2 degrees when multiplied by ten; 0 when the model never responds.
int BracketDot(KEPLER_ORBIT* orbit, double* dot)
{
    TIME_MS t1 = orbit->kepler_time + MS_PER_DAY;
    double d = 1e-25;
    for (int step = 0; step < BRACKET_STEP_LIMIT; ++step) {
        VEC3 p = EnhancedPosition(orbit, d, t1);
        VEC3 q = EnhancedPosition(orbit, 10.0 * d, t1);
        if (COS_2_DEGREES > Cosine(&p, &q)) {
            *dot = d;
            return 1;
        }
        d *= 1.5;
    }
    return 0;
}

// Moves the dot term towards the one whose position best matches the SGP4
// position fitDay days after the epoch.
double RefineDot(KEPLER_ORBIT* orbit, const SGP_ELEMENTS* elements, double d, int fitDay)
{
    TIME_MS t = orbit->kepler_time + fitDay * MS_PER_DAY;
    VEC3 reference, velocity;
    KEPLER_PropagateSgp(elements, VARIANT_SGP4, t, &reference, &velocity);
    double step = d / 5.0;
    for (int i = 0; i < FIT_ITERATIONS; ++i) {
        VEC3 p0 = EnhancedPosition(orbit, d, t);
        VEC3 pMinus = EnhancedPosition(orbit, d - step, t);
        VEC3 pPlus = EnhancedPosition(orbit, d + step, t);
        double a0 = Angle(&reference, &p0);
        double aMinus = Angle(&reference, &pMinus);
        double aPlus = Angle(&reference, &pPlus);
        if (a0 < aMinus && a0 < aPlus) {
            step /= 1.5;
        } else if (aMinus < aPlus) {
            d -= step;
        } else {
            d += step;
        }
    }
    return d;
}

}  // namespace

void KEPLER_PropagateSgp(const SGP_ELEMENTS* elements, uint32_t variant, TIME_MS t,
                         VEC3* position, VEC3* velocity)
{
    double p[4], v[4];
    SGP_Propagate(variant, JulianDateOfMs(t), elements, p, v);
    *position = VEC3{p[0], p[1], p[2]};
    *velocity = VEC3{v[0], v[1], v[2]};
}

void KEPLER_ElementsFromSgp4(KEPLER_ORBIT* orbit, const SGP_ELEMENTS* elements)
{
    orbit->kepler_argument = elements->arg_perigee * 180.0 / CONST_PI;
    orbit->kepler_inclination = elements->inclination * 180.0 / CONST_PI;
    orbit->kepler_meananomaly = elements->mean_anomaly * 180.0 / CONST_PI;
    orbit->kepler_raan = elements->raan * 180.0 / CONST_PI;
    orbit->kepler_excentricity = elements->eccentricity;
    orbit->kepler_meanmotion = elements->mean_motion * 1440.0 / 2.0 / CONST_PI;
    SYSTEMTIME st;
    TIME_JulianDateToSystemTime(elements->epoch_jd, &st);
    orbit->kepler_time = TIME_SystemTimeToMs(&st);
}

uint8_t KEPLER_Sgp4FromElements(const KEPLER_ORBIT* orbit, SGP_ELEMENTS* elements)
{
    SYSTEMTIME st;
    TIME_MsToSystemTime(orbit->kepler_time, &st);
    JULIAN_DATE jd = TIME_SystemTimeToJulianDate(&st);
    int year = st.wYear;
    if (year < EPOCH_YEAR_FIRST) year = EPOCH_YEAR_FIRST;
    if (year > EPOCH_YEAR_LAST) year = EPOCH_YEAR_LAST;
    int yy = year >= 2000 ? year - 2000 : year - 1900;
    double day = jd - SGP_JulianDateOfYear((double)year);
    elements->epoch = 1000.0 * yy + day;
    elements->epoch_jd = jd;
    elements->mean_motion = orbit->kepler_meanmotion * 2.0 * CONST_PI / 1440.0;
    elements->bstar = 0.0;
    elements->inclination = orbit->kepler_inclination * CONST_DEG_TO_RAD;
    elements->mean_anomaly = orbit->kepler_meananomaly * CONST_DEG_TO_RAD;
    elements->arg_perigee = orbit->kepler_argument * CONST_DEG_TO_RAD;
    elements->raan = orbit->kepler_raan * CONST_DEG_TO_RAD;
    elements->eccentricity = orbit->kepler_excentricity;
    elements->ndot_2 = 0.0;
    elements->nddot_6 = 0.0;
    elements->deep_space = SGP_IsDeepSpace(elements);
    return elements->deep_space;
}

int KEPLER_FitDotMeanMotion(KEPLER_ORBIT* orbit, const SGP_ELEMENTS* elements)
{
    double given = orbit->kepler_dot_mean_motion;
    double d;
    if (!BracketDot(orbit, &d)) {
        orbit->kepler_dot_mean_motion = given;
        LOG_Printf("KEPLER: Změnu střední rychlosti nelze z elementů dráhy určit.\n");
        return 0;
    }
    for (int fitDay : FIT_DAYS) {
        d = RefineDot(orbit, elements, d, fitDay);
    }
    orbit->kepler_dot_mean_motion = d;
    return 1;
}
