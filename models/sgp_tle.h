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
