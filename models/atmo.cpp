// ATMO: the density front end over the altitude table and NRLMSISE-00.
#include "models/atmo.h"
#include <cmath>
#include "foundation/util.h"
#include "models/nrlmsise00.h"

namespace {

// Fixed activity fed to NRLMSISE-00: moderate solar flux, quiet geomagnetic field.
constexpr double kF107Average = 150.0;
constexpr double kF107Daily = 150.0;
constexpr double kApDaily = 4.0;

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

double MsisDensity(double altitude, double longitude, double latitude, TIME_MS time)
{
    SYSTEMTIME st;
    TIME_MsToSystemTime(time, &st);
    NRLMSISE_INPUT in = {};
    in.year = st.wYear;
    in.doy = static_cast<int32_t>(UTIL_DayOfYear(&st) + 1);
    in.sec = static_cast<double>(st.wHour * 3600 + st.wMinute * 60 + st.wSecond);
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
