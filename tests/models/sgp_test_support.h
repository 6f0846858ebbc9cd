// Two-line element sets for the model tests: the text of two lines, the set
// parsed from them, and the near-Earth set of the report's test cases.
#pragma once
#include <cstring>
#include <string>
#include "models/sgp_tle.h"

namespace sgptest {

inline const char* const kNearLine1 = "1 88888U          80275.98708465  .00073094  13844-3  66816-4 0     8";
inline const char* const kNearLine2 = "2 88888  72.8435 115.9689 0086731  52.6988 110.5714 16.05824518   105";

inline SGP_TLE_TEXT TextOf(const std::string& line1, const std::string& line2)
{
    SGP_TLE_TEXT text;
    memset(&text, 0, sizeof text);
    strcpy(text.rows[0], "<unnamed>");
    strncpy(text.rows[1], line1.c_str(), 140);
    strncpy(text.rows[2], line2.c_str(), 140);
    return text;
}

inline SGP_ELEMENTS Parse(const std::string& line1, const std::string& line2)
{
    SGP_TLE_TEXT text = TextOf(line1, line2);
    SGP_ELEMENTS el;
    SGP_ParseTle(&text, &el);
    return el;
}

}  // namespace sgptest
