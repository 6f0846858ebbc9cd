// KEPLER: the simple and enhanced Kepler orbit models, conversions between
// state vectors, Kepler elements and SGP element sets, and the fit of the
// enhanced model's quadratic mean-anomaly term to SGP4.
#pragma once
#include <cstdint>
#include "foundation/time.h"
#include "foundation/vecmath.h"
#include "models/sgp_tle.h"

// The Kepler-model group of a satellite record: configured elements, their
// epoch, the values derived by the set-up functions and the dot mean motion.
struct KEPLER_ORBIT {
    double kepler_raan;           // deg
    double kepler_inclination;    // deg
    double kepler_argument;       // argument of perigee, deg
    double kepler_excentricity;
    double kepler_meanmotion;     // rev/day
    double kepler_meananomaly;    // deg at kepler_time
    TIME_MS kepler_time;
    double simple_semi_major_axis;   // km
    double simple_semi_minor_axis;   // km
    double simple_a2n;               // a^2 * n, km^2/s
    double simple_sqrt_1_e2;
    MAT33 simple_rotation;           // perifocal to ECI
    double enhanced_mean_motion;     // rad/s
    double enhanced_semi_major_axis; // km
    double enhanced_semi_minor_axis; // km
    double enhanced_a2n;             // km^2/s
    double enhanced_sqrt_1_e2;
    MAT33 inclination_rotation;      // turn by i about x
    double perigee_rate;             // rad/s
    double node_rate;                // rad/s
    double kepler_dot_mean_motion;   // rad/s^2, KEPLER_DOT_NOT_GIVEN when not configured
};

// Value of kepler_dot_mean_motion meaning "not given"; values at or above
// KEPLER_DOT_GIVEN_LIMIT count as not given.
constexpr double KEPLER_DOT_NOT_GIVEN = 1e100;
constexpr double KEPLER_DOT_GIVEN_LIMIT = 1e99;

// Order of the six elements KEPLER_ElementsFromState writes (the order of the
// first six fields of KEPLER_ORBIT).
enum KEPLER_ELEMENT_INDEX {
    KEPLER_RAAN = 0,
    KEPLER_INCLINATION = 1,
    KEPLER_ARGUMENT = 2,
    KEPLER_EXCENTRICITY = 3,
    KEPLER_MEANMOTION = 4,
    KEPLER_MEANANOMALY = 5,
};

// Set-up from the configured elements.
void KEPLER_Setup(KEPLER_ORBIT* orbit);
void KEPLER_SecularRates(KEPLER_ORBIT* orbit);

// Position (km) and velocity (km/s) in ECI at time t.
void KEPLER_PropagateSimple(const KEPLER_ORBIT* orbit, TIME_MS t, VEC3* position, VEC3* velocity);
void KEPLER_PropagateEnhanced(const KEPLER_ORBIT* orbit, TIME_MS t, VEC3* position, VEC3* velocity);

// The element set propagated by SGP_Propagate with the given model variant;
// a refused variant gives zero vectors.
void KEPLER_PropagateSgp(const SGP_ELEMENTS* elements, uint32_t variant, TIME_MS t,
                         VEC3* position, VEC3* velocity);

// Classical elements of an ECI state (km, km/s) in KEPLER_ELEMENT_INDEX order.
// Returns 0 with a message for a state that is not a bound orbit.
int KEPLER_ElementsFromState(const double position[3], const double velocity[3], double elements[6]);

// Configured elements and kepler_time from an SGP element set, and back;
// the latter returns the new set's deep_space flag.
void KEPLER_ElementsFromSgp4(KEPLER_ORBIT* orbit, const SGP_ELEMENTS* elements);
uint8_t KEPLER_Sgp4FromElements(const KEPLER_ORBIT* orbit, SGP_ELEMENTS* elements);

// Fits kepler_dot_mean_motion to SGP4 (SDP4) positions of the element set.
// Needs KEPLER_SecularRates done. Returns 0 with a message, leaving the dot
// mean motion unchanged, when the enhanced model does not respond to it.
int KEPLER_FitDotMeanMotion(KEPLER_ORBIT* orbit, const SGP_ELEMENTS* elements);
