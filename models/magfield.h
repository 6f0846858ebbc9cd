// MAGFIELD: the Earth's main magnetic field by the World Magnetic Model 2005
// (spherical harmonics of degree and order 12, epoch 2005.0), in single precision.
#pragma once
#include <cstdint>

// Field at a point in geodetic north, east and down components, nT.
struct WMM_FIELD_NED {
    float north;
    float east;
    float down;
};

// One row of the published coefficient set: degree n, order m, main field g, h (nT)
// and secular variation gdot, hdot (nT per year).
struct MAGFIELD_WMM_COEF {
    uint8_t n;
    uint8_t m;
    float g;
    float h;
    float gdot;
    float hdot;
};

constexpr int MAGFIELD_WMM_ROWS = 90;
constexpr int MAGFIELD_WMM_MAX_DEGREE = 12;
constexpr float MAGFIELD_WMM_EPOCH = 2005.0f;

extern const MAGFIELD_WMM_COEF g_magfieldWmm2005[MAGFIELD_WMM_ROWS];

// Kept for the run start's call order; the spheroid constants are compile-time
// constants, so the field is correct whether or not this ran first.
void MAGFIELD_WmmInitConstants();

// Arms the warning for a year outside the model's span again; each run start
// calls it, so every run that needs such a year says so once.
void MAGFIELD_WmmResetSpanWarning();

// Field at geodetic latitude and longitude (degrees, east positive), altitude above
// the WGS-84 ellipsoid (metres) and decimal year. Years outside 2005..2010 are
// extrapolated linearly; the first such year after MAGFIELD_WmmResetSpanWarning
// logs one warning. Equal inputs always give bit-identical outputs.
void MAGFIELD_WmmFieldAt(float latitude, float longitude, float altitude, float year,
                         float* north, float* east, float* down);

// Geodetic coordinates on the WGS-84 ellipsoid, in which the field model is
// defined: latitude (deg) and height above the ellipsoid (km) of a point given
// by its distance from the Earth's axis rho and its height z above the
// equatorial plane (km), and the inverse.
void MAGFIELD_GeodeticFromAxial(double rho, double z, double* latitude, double* height);
void MAGFIELD_AxialFromGeodetic(double latitude, double height, double* rho, double* z);
