// SGP: two-line element sets, the element record of the Spacetrack Report No. 3 models.
#pragma once
#include <cstdint>
#include "foundation/time.h"

// Name line, element line 1, element line 2, each as read (line end kept).
struct SGP_TLE_TEXT {
    char rows[3][141];
};

struct SGP_ELEMENTS {
    double epoch;         // YYDDD.DDDDDDDD as written
    double epoch_jd;      // Julian date of the epoch
    double mean_motion;   // rad/min
    double bstar;         // 1/Earth radius
    double inclination;   // rad
    double eccentricity;
    double mean_anomaly;  // rad
    double arg_perigee;   // rad
    double raan;          // rad
    double ndot_2;        // rad/min^2
    double nddot_6;       // rad/min^3
    uint8_t deep_space;   // 1 for a period of 225 minutes or more
};

// Reads the first element set of a two-line element file (with or without a
// name line); 1 when rows 2 and 3 then start with '1' and '2'.
int SGP_ReadTleFile(SGP_TLE_TEXT* text, const char* fileName);
// Fills every field of the element set from rows 2 and 3 of the text.
void SGP_ParseTle(const SGP_TLE_TEXT* text, SGP_ELEMENTS* elements);

JULIAN_DATE SGP_JulianDateOfYear(double year);
JULIAN_DATE SGP_JulianDateOfEpoch(double epoch);
int SGP_IsDeepSpace(const SGP_ELEMENTS* elements);

// Fixed-column readers; start counts from 0. Columns past the end of the line read as blanks.
double SGP_ParseRealField(const char* line, uint16_t start, uint16_t length);
int SGP_ParseIntField(const char* line, uint16_t start, uint16_t length);

double SGP_Square(double x);
double SGP_Cube(double x);
double SGP_Radians(double degrees);

// Model variant of SGP_Propagate: ORBIT_MODEL - 4.
enum SGP_MODEL_VARIANT : uint32_t {
    SGP_VARIANT_SGP0 = 0,
    SGP_VARIANT_SGP4 = 1,
    SGP_VARIANT_SDP4 = 2,
    SGP_VARIANT_SGP8 = 3,
    SGP_VARIANT_SDP8 = 4,
};

// Position (km) and velocity (km/s) at a Julian date; the fourth element of
// each vector is its length. 0 and eight zeros for a variant above 4.
int SGP_Propagate(uint32_t variant, JULIAN_DATE time, const SGP_ELEMENTS* elements,
                  double position[4], double velocity[4]);
int SGP_PropagateTle(uint32_t variant, JULIAN_DATE time, const SGP_TLE_TEXT* text,
                     double position[4], double velocity[4]);
