// ATMO: the density front end over the altitude table and NRLMSISE-00.
#include "models/atmo.h"
#include <cmath>
#include "models/nrlmsise00.h"

namespace {

// Fixed activity fed to NRLMSISE-00: moderate solar flux, quiet geomagnetic field.
constexpr double kF107Average = 150.0;
constexpr double kF107Daily = 150.0;
constexpr double kApDaily = 4.0;

constexpr int64_t kMsPerDay = 86400000;
constexpr int64_t kDaysFrom1601To1970 = 134774;

// Switch 0 off (centimetres and grams), every variation on, daily Ap.
NRLMSISE_FLAGS StandardFlags()
{
    NRLMSISE_FLAGS flags = {};
    flags.switches[0] = 0;
    for (int i = 1; i < 24; i++) flags.switches[i] = 1;
    return flags;
}

ATMO_MODEL g_atmoModel = ATMO_MODEL_UASA2000;
NRLMSISE_FLAGS g_atmoFlags = StandardFlags();

// Calendar date and time of day of a TIME_MS value (proleptic Gregorian calendar).
struct ATMO_DATE {
    int64_t year;
    int32_t month, day;
    int32_t secondOfDay;  // milliseconds dropped
};

int64_t FloorDiv(int64_t a, int64_t b)
{
    int64_t q = a / b;
    return (a % b != 0 && (a < 0) != (b < 0)) ? q - 1 : q;
}

ATMO_DATE DateOf(TIME_MS time)
{
    int64_t days = FloorDiv(time, kMsPerDay);
    int64_t msOfDay = time - days * kMsPerDay;
    // Civil date from a day count relative to 1970-01-01 (era arithmetic).
    int64_t z = days - kDaysFrom1601To1970 + 719468;
    int64_t era = FloorDiv(z, 146097);
    int64_t doe = z - era * 146097;
    int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    int64_t mp = (5 * doy + 2) / 153;
    ATMO_DATE d;
    d.day = static_cast<int32_t>(doy - (153 * mp + 2) / 5 + 1);
    d.month = static_cast<int32_t>(mp < 10 ? mp + 3 : mp - 9);
    d.year = yoe + era * 400 + (d.month <= 2 ? 1 : 0);
    d.secondOfDay = static_cast<int32_t>(msOfDay / 1000);
    return d;
}

// Day of the year with 1 January as 1, Gregorian leap years.
int32_t DayOfYear(const ATMO_DATE* d)
{
    static const int32_t kBefore[12] = {0, 31, 59, 90, 120, 151, 181, 212, 243, 273, 304, 334};
    bool leap = (d->year % 4 == 0 && d->year % 100 != 0) || d->year % 400 == 0;
    return kBefore[d->month - 1] + d->day + (leap && d->month > 2 ? 1 : 0);
}

double MsisDensity(double altitude, double longitude, double latitude, TIME_MS time)
{
    ATMO_DATE date = DateOf(time);
    NRLMSISE_INPUT in = {};
    in.year = static_cast<int32_t>(date.year);
    in.doy = DayOfYear(&date);
    in.sec = static_cast<double>(date.secondOfDay);
    in.alt = altitude;
    in.g_lat = latitude;
    in.g_long = longitude;
    in.lst = in.sec / 3600.0 + longitude / 15.0;
    in.f107A = kF107Average;
    in.f107 = kF107Daily;
    in.ap = kApDaily;
    in.ap_a = nullptr;  // the daily Ap switch never reads the history
    NRLMSISE_OUTPUT out;
    gtd7(&in, &g_atmoFlags, &out);
    return out.d[5] * 1000.0;  // g/cm^3 to kg/m^3
}

}  // namespace

void ATMO_Init()
{
    g_atmoModel = ATMO_MODEL_UASA2000;
    g_atmoFlags = StandardFlags();
}

void ATMO_Done() {}

void ATMO_SetModel(ATMO_MODEL model) { g_atmoModel = model; }

double ATMO_GetDensity(double altitude, double longitude, double latitude, TIME_MS time)
{
    switch (g_atmoModel) {
    case ATMO_MODEL_UASA2000:
        return ATMO_TableByAltitude(altitude);
    case ATMO_MODEL_NRLMSISE00:
        return MsisDensity(altitude, longitude, latitude, time);
    default:
        return 0.0;
    }
}

double ATMO_TableByAltitude(double altitude)
{
    if (std::isnan(altitude) || altitude >= ATMO_TABLE_LAST_KM) return g_atmoDensityTable[ATMO_TABLE_ENTRIES - 1];
    if (altitude < ATMO_TABLE_FIRST_KM) return g_atmoDensityTable[0];
    return g_atmoDensityTable[static_cast<int>(altitude) - ATMO_TABLE_FIRST_KM];
}
