// CONST: the program's mathematical and physical constants, in one place.
// Published models keep their own constants where their publication differs
// (the report models' SGP_ values, the magnetic model's reference radius).
#pragma once
#include <numbers>

constexpr double CONST_PI = std::numbers::pi;
constexpr double CONST_TWO_PI = 2.0 * std::numbers::pi;
constexpr double CONST_DEG_TO_RAD = std::numbers::pi / 180.0;
constexpr double CONST_RAD_TO_DEG = 180.0 / std::numbers::pi;

constexpr double CONST_SECONDS_PER_DAY = 86400.0;

constexpr double CONST_EARTH_RADIUS_KM = 6378.135;          // equatorial radius of the orbit models
constexpr double CONST_EARTH_MASS_KG = 5.9736e24;
constexpr double CONST_MOON_MASS_KG = 7.347673e22;
constexpr double CONST_GRAVITATIONAL_CONSTANT = 6.6742e-11;  // m^3 / (kg s^2)
constexpr double CONST_SUN_RADIUS_KM = 696000.0;
constexpr double CONST_SOLAR_CONSTANT = 1370.0;              // W/m^2 at 1 AU
constexpr double CONST_SPEED_OF_LIGHT = 299792458.0;         // m/s
