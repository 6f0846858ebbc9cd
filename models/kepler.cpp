// KEPLER: the simple and enhanced Kepler models and the elements of a state.
#include "models/kepler.h"
#include "foundation/constants.h"
#include <cmath>
#include "foundation/log.h"

namespace {

// Semi-major axis of an orbit of one revolution per day, m.
constexpr double ONE_REV_PER_DAY_AXIS = 42244259.0;
// Gravitational parameter of the same orbit, m^3/s^2.
constexpr double MU = 398690011199999.94;
constexpr double J2 = 0.00108284;
constexpr double EARTH_RADIUS_SQUARED = 40680606078225.0;   // m^2
constexpr double REV_PER_DAY_FROM_RAD_PER_S = 13750.987083139758;
constexpr double CIRCULAR_LIMIT = 1e-10;
constexpr double EQUATORIAL_LIMIT = 1e-6;

// Semi-major axis in metres of an orbit of n rev/day.
double AxisFromMeanMotion(double revPerDay)
{
    return exp(-(2.0 / 3.0) * log(revPerDay)) * ONE_REV_PER_DAY_AXIS;
}

double RadPerSecond(double revPerDay)
{
    return revPerDay / CONST_SECONDS_PER_DAY * 2.0 * CONST_PI;
}

// Fixed four Newton steps: constant cost per step, no convergence test.
double EccentricAnomaly(double meanAnomaly, double e)
{
    double E = meanAnomaly;
    for (int i = 0; i < 4; ++i) {
        E += (e * sin(E) + meanAnomaly - E) / (1.0 - e * cos(E));
    }
    return E;
}

// Position and velocity from the eccentric anomaly, turned by the
// perifocal-to-ECI rotation.
void PerifocalState(const MAT33* rotation, double E, double a, double b, double e,
                    double a2n, double sqrt1e2, VEC3* position, VEC3* velocity)
{
    double x = a * (cos(E) - e);
    double y = b * sin(E);
    *position = VEC3{x, y, 0.0};
    MAT_MulVector(rotation, position);
    double k = a2n / sqrt(x * x + y * y);
    *velocity = VEC3{-k * sin(E), k * sqrt1e2 * cos(E), 0.0};
    MAT_MulVector(rotation, velocity);
}

// A_z(node) * A_x(i) * A_z(perigee), all counter-clockwise turns.
void OrbitRotation(MAT33* m, double node, const MAT33* inclination, double perigee)
{
    MAT33 turn;
    MAT_AxisRotationInverse(m, 2, perigee);
    MAT_Multiply(m, inclination);
    MAT_AxisRotationInverse(&turn, 2, node);
    MAT_Multiply(m, &turn);
}

double Clamp(double x, double lo, double hi)
{
    return x < lo ? lo : (x > hi ? hi : x);
}

double Dot3(const double a[3], const double b[3])
{
    return a[0] * b[0] + a[1] * b[1] + a[2] * b[2];
}

}  // namespace

void KEPLER_Setup(KEPLER_ORBIT* orbit)
{
    double n = orbit->kepler_meanmotion;
    double e = orbit->kepler_excentricity;
    double a = AxisFromMeanMotion(n) / 1000.0;
    orbit->simple_semi_major_axis = a;
    orbit->simple_a2n = a * a * RadPerSecond(n);
    orbit->simple_sqrt_1_e2 = sqrt(1.0 - e * e);
    orbit->simple_semi_minor_axis = a * orbit->simple_sqrt_1_e2;
    MAT33 inclination;
    MAT_AxisRotationInverse(&inclination, 0, orbit->kepler_inclination * CONST_DEG_TO_RAD);
    OrbitRotation(&orbit->simple_rotation, orbit->kepler_raan * CONST_DEG_TO_RAD, &inclination,
                  orbit->kepler_argument * CONST_DEG_TO_RAD);
}

void KEPLER_SecularRates(KEPLER_ORBIT* orbit)
{
    double n = orbit->kepler_meanmotion;
    double e = orbit->kepler_excentricity;
    double am = AxisFromMeanMotion(n);
    double nu = RadPerSecond(n);
    double oneMinusE2 = 1.0 - e * e;
    double K = nu * EARTH_RADIUS_SQUARED / (am * am * oneMinusE2 * oneMinusE2) * J2;
    double c = cos(orbit->kepler_inclination * CONST_DEG_TO_RAD);
    double f = 5.0 * c * c - 1.0;
    // Lunar and solar terms in degrees per day, independent of the orbit's size.
    orbit->perigee_rate = 0.75 * K * f
        + (5.133333333333333e-5 * f + 1.1266666666666668e-4 * f) * CONST_DEG_TO_RAD / CONST_SECONDS_PER_DAY;
    orbit->node_rate = -1.5 * K * c
        + (-2.2533333333333335e-4 * c - 1.0266666666666666e-4 * c) * CONST_DEG_TO_RAD / CONST_SECONDS_PER_DAY;
    orbit->enhanced_mean_motion = nu;
    orbit->enhanced_semi_major_axis = am / 1000.0;
    orbit->enhanced_sqrt_1_e2 = sqrt(oneMinusE2);
    orbit->enhanced_semi_minor_axis = am * orbit->enhanced_sqrt_1_e2 / 1000.0;
    orbit->enhanced_a2n = am * am * nu / 1e6;
    MAT_AxisRotationInverse(&orbit->inclination_rotation, 0, orbit->kepler_inclination * CONST_DEG_TO_RAD);
}

void KEPLER_PropagateSimple(const KEPLER_ORBIT* orbit, TIME_MS t, VEC3* position, VEC3* velocity)
{
    int64_t delta = t - orbit->kepler_time;
    double revolutions = orbit->kepler_meananomaly / 360.0
        + (double)delta * orbit->kepler_meanmotion / CONST_SECONDS_PER_DAY / 1000.0;
    double M = 2.0 * CONST_PI * (revolutions - floor(revolutions));
    double e = orbit->kepler_excentricity;
    double E = EccentricAnomaly(M, e);
    PerifocalState(&orbit->simple_rotation, E, orbit->simple_semi_major_axis,
                   orbit->simple_semi_minor_axis, e, orbit->simple_a2n,
                   orbit->simple_sqrt_1_e2, position, velocity);
}

void KEPLER_PropagateEnhanced(const KEPLER_ORBIT* orbit, TIME_MS t, VEC3* position, VEC3* velocity)
{
    double dt = (double)(t - orbit->kepler_time) / 1000.0;
    double M = orbit->kepler_meananomaly * CONST_DEG_TO_RAD
        + (dt * orbit->kepler_dot_mean_motion + orbit->enhanced_mean_motion) * dt;
    M -= trunc(M / (2.0 * CONST_PI)) * 2.0 * CONST_PI;   // a negative M stays negative
    double e = orbit->kepler_excentricity;
    double E = EccentricAnomaly(M, e);
    MAT33 rotation;
    OrbitRotation(&rotation, orbit->kepler_raan * CONST_DEG_TO_RAD + dt * orbit->node_rate,
                  &orbit->inclination_rotation, orbit->kepler_argument * CONST_DEG_TO_RAD + dt * orbit->perigee_rate);
    PerifocalState(&rotation, E, orbit->enhanced_semi_major_axis, orbit->enhanced_semi_minor_axis,
                   e, orbit->enhanced_a2n, orbit->enhanced_sqrt_1_e2, position, velocity);
}

namespace {

// Argument of latitude of a position: the angle from the node direction N to
// the position, counted in the direction of motion. Near the equator the
// in-plane form is used, as z / sin i loses all precision there (and has the
// wrong sense for retrograde equatorial orbits).
double ArgumentOfLatitude(const double p[3], const double hUnit[3], double nx, double ny, double incl)
{
    if (sin(incl) >= EQUATORIAL_LIMIT) {
        return atan2(p[2] / sin(incl), nx * p[0] + ny * p[1]);
    }
    // h x N with N = (nx, ny, 0)
    double crossX = -hUnit[2] * ny;
    double crossY = hUnit[2] * nx;
    double crossZ = hUnit[0] * ny - hUnit[1] * nx;
    return atan2(crossX * p[0] + crossY * p[1] + crossZ * p[2], nx * p[0] + ny * p[1]);
}

}  // namespace

int KEPLER_ElementsFromState(const double position[3], const double velocity[3], double elements[6])
{
    double r = sqrt(Dot3(position, position)) * 1000.0;
    double v = sqrt(Dot3(velocity, velocity)) * 1000.0;
    double energy = r > 0.0 ? MU / r - v * v / 2.0 : 0.0;
    double h[3] = {position[1] * velocity[2] - position[2] * velocity[1],
                   position[2] * velocity[0] - position[0] * velocity[2],
                   position[0] * velocity[1] - position[1] * velocity[0]};
    double hLength = sqrt(Dot3(h, h));
    // Bound orbits only: a positive semi-major axis and an angular momentum
    // that is not lost in the rounding of a radial state.
    if (!(energy > 0.0) || !(hLength > 1e-12 * (r / 1000.0) * (v / 1000.0))) {
        LOG_Printf("KEPLER: Ze stavového vektoru nelze určit eliptickou dráhu.\n");
        return 0;
    }
    double a = MU / (2.0 * energy);
    double hUnit[3] = {h[0] / hLength, h[1] / hLength, h[2] / hLength};
    double incl = acos(Clamp(hUnit[2], -1.0, 1.0));

    double s = sqrt(h[0] * h[0] + h[1] * h[1]);
    double nx = 1.0, ny = 0.0;
    if (s >= 1e-6) {
        nx = -h[1] / s;
        ny = h[0] / s;
    }
    double raan = MATH_NormalizeDegrees(atan2(ny, nx) / CONST_DEG_TO_RAD);
    double u = ArgumentOfLatitude(position, hUnit, nx, ny, incl);

    double hSi = hLength * 1e6;
    double e = sqrt(std::fmax(0.0, 1.0 - hSi * hSi / (MU * a)));
    double E, nu;
    double argument = 0.0;
    if (e < CIRCULAR_LIMIT) {
        // No perigee: measure the anomalies from the node.
        E = nu = u;
    } else {
        double cosE = (a - r) / (a * e);
        double sinE = Dot3(position, velocity) * 1e6 / (sqrt(a * MU) * e);
        E = atan2(sinE, cosE);
        double denominator = 1.0 - e * cos(E);
        nu = atan2(sqrt(1.0 - e * e) * sin(E) / denominator, (cos(E) - e) / denominator);
        argument = MATH_NormalizeDegrees((u - nu) / CONST_DEG_TO_RAD);
    }
    elements[KEPLER_RAAN] = raan;
    elements[KEPLER_INCLINATION] = incl / CONST_DEG_TO_RAD;
    elements[KEPLER_ARGUMENT] = argument;
    elements[KEPLER_EXCENTRICITY] = e;
    elements[KEPLER_MEANMOTION] = sqrt(MU / (a * a * a)) * REV_PER_DAY_FROM_RAD_PER_S;
    elements[KEPLER_MEANANOMALY] = (E - e * sin(E)) / CONST_DEG_TO_RAD;
    return 1;
}
