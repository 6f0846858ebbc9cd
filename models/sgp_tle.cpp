// SGP: reading two-line element sets into the element record of the models.
#include "models/sgp_tle.h"
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include "models/sgp.h"

namespace {

const int kLineBuffer = 140;  // at most 139 characters a read

void ReadRow(FILE* file, char* row)
{
    row[0] = '\0';
    if (!fgets(row, kLineBuffer, file)) row[0] = '\0';
}

// Yields the field's characters; everything past the line's terminator is a blank.
template <typename Visit>
void WalkField(const char* line, uint16_t start, uint16_t length, Visit visit)
{
    size_t end = strnlen(line, (size_t)start + length);
    for (uint16_t i = 0; i < length; ++i) {
        size_t column = (size_t)start + i;
        visit(column < end ? line[column] : ' ', i);
    }
}

double ExponentScale(double mantissa, int exponent)
{
    return mantissa * 1e-5 * pow(10.0, exponent);
}

}  // namespace

int SGP_ReadTleFile(SGP_TLE_TEXT* text, const char* fileName)
{
    memset(text, 0, sizeof *text);
    FILE* file = fopen(fileName, "r");
    if (!file) return 0;
    ReadRow(file, text->rows[0]);
    ReadRow(file, text->rows[1]);
    if (text->rows[0][0] == '1' && text->rows[1][0] == '2') {
        memcpy(text->rows[2], text->rows[1], sizeof text->rows[2]);
        memcpy(text->rows[1], text->rows[0], sizeof text->rows[1]);
        memset(text->rows[0], 0, sizeof text->rows[0]);
        strcpy(text->rows[0], "<unnamed>");
    } else {
        ReadRow(file, text->rows[2]);
    }
    fclose(file);
    return text->rows[1][0] == '1' && text->rows[2][0] == '2';
}

double SGP_ParseRealField(const char* line, uint16_t start, uint16_t length)
{
    double value = 0.0;
    int negative = 0;
    int decimals = 0;
    WalkField(line, start, length, [&](char c, uint16_t i) {
        if (c >= '0' && c <= '9') value = value * 10.0 + (c - '0');
        else if (c == '.') decimals = length - i - 1;
        else if (c == '-') negative = 1;
    });
    if (decimals > 0) value /= pow(10.0, decimals);
    return negative ? -value : value;
}

int SGP_ParseIntField(const char* line, uint16_t start, uint16_t length)
{
    int64_t value = 0;
    int negative = 0;
    WalkField(line, start, length, [&](char c, uint16_t) {
        // A long field of digits stops growing instead of overflowing.
        if (c >= '0' && c <= '9') value = std::min<int64_t>(value * 10 + (c - '0'), INT32_MAX);
        else if (c == '-') negative = 1;
    });
    return (int)(negative ? -value : value);
}

void SGP_ParseTle(const SGP_TLE_TEXT* text, SGP_ELEMENTS* el)
{
    const char* line1 = text->rows[1];
    const char* line2 = text->rows[2];

    el->epoch = SGP_ParseRealField(line1, 18, 14);
    el->epoch_jd = SGP_JulianDateOfEpoch(el->epoch);
    el->ndot_2 = SGP_ParseRealField(line1, 33, 10);
    el->nddot_6 = SGP_ParseRealField(line1, 44, 6);
    int nddotExponent = SGP_ParseIntField(line1, 50, 2);
    el->bstar = SGP_ParseRealField(line1, 53, 6);
    int bstarExponent = SGP_ParseIntField(line1, 59, 2);

    el->inclination = SGP_Radians(SGP_ParseRealField(line2, 8, 8));
    el->raan = SGP_Radians(SGP_ParseRealField(line2, 17, 8));
    el->eccentricity = SGP_ParseRealField(line2, 26, 7) * 1e-7;
    el->arg_perigee = SGP_Radians(SGP_ParseRealField(line2, 34, 8));
    el->mean_anomaly = SGP_Radians(SGP_ParseRealField(line2, 43, 8));
    el->mean_motion = SGP_ParseRealField(line2, 52, 11);

    const double perDay = SGP_TWOPI / SGP_MIN_PER_DAY;
    el->nddot_6 = ExponentScale(el->nddot_6, nddotExponent) * perDay / SGP_Square(SGP_MIN_PER_DAY);
    el->bstar = ExponentScale(el->bstar, bstarExponent) / 1.0;
    el->ndot_2 = el->ndot_2 * perDay / SGP_MIN_PER_DAY;
    el->mean_motion = el->mean_motion * perDay;
    el->deep_space = (uint8_t)SGP_IsDeepSpace(el);
}

JULIAN_DATE SGP_JulianDateOfYear(double year)
{
    double y = year - 1.0;
    double a = floor(y / 100.0);
    double b = 2.0 - a + floor(a / 4.0);
    return floor(365.25 * y) + floor(30.6001 * 14.0) + 1720994.5 + b;
}

JULIAN_DATE SGP_JulianDateOfEpoch(double epoch)
{
    double yy = floor(epoch * 0.001);
    double year = yy < 57.0 ? yy + 2000.0 : yy + 1900.0;
    double day = epoch - yy * 1000.0;
    return SGP_JulianDateOfYear(year) + day;
}

int SGP_IsDeepSpace(const SGP_ELEMENTS* el)
{
    double n = el->mean_motion;
    double e = el->eccentricity;
    double cosi = cos(el->inclination);
    double a1 = pow(SGP_Xke() / n, SGP_TOTHRD);
    double t = SGP_CK2_X1_5 * (3.0 * cosi * cosi - 1.0) / pow(1.0 - e * e, 1.5);
    double del1 = t / (a1 * a1);
    double a0 = a1 * (1.0 - del1 * (1.0 / 3.0 + del1 * (1.0 + 134.0 / 81.0 * del1)));
    double del0 = t / (a0 * a0);
    double n0 = n / (1.0 + del0);
    return SGP_TWOPI / n0 >= 225.0 ? 1 : 0;
}

double SGP_Square(double x) { return x * x; }
double SGP_Cube(double x) { return pow(x, 3.0); }
double SGP_Radians(double degrees) { return degrees * 0.017453292519943295; }
