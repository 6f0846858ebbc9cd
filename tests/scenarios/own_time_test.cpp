// Every value belongs to its own time: the rows and nodes of the leo example,
// recorded every second at the default 30 s orbit step, against SGP4 and the
// station's look angles computed independently at each row's own time.
#include <gtest/gtest.h>
#include <algorithm>
#include <cmath>
#include <filesystem>
#include <regex>
#include <string>
#include <vector>
#include "models/ephemeris.h"
#include "models/sgp_tle.h"
#include "tests/scenarios/scenario_support.h"
#include "tests/support/test_support.h"

namespace {

constexpr double kDeg = M_PI / 180.0;
constexpr double kEarthRadius = 6378.135;        // km, the sphere stations stand on
constexpr double kStationLongitude = 14.78;      // the station of examples/leo
constexpr double kStationLatitude = 49.91;
const char kGround[] = "station \"Station\"\n longitude = 14.78\n latitude = 49.91\nend\n";

// Three hours of the leo example from 05:00, with two passes over the station,
// the higher one at about 78 degrees.
const char kMultipass[] = "starttime = UT(\"01.01.2006, 05:00\")\nendtime = UT(\"01.01.2006, 08:00\")\n"
                          "simulationspeed = FASTEST\n";

const char kDataOutput[] =
    "datavalue \"visible\", GREATER\n value1 = GROUND_SATELIT_ELEVATION_DEG(\"Station\", \"LEO\")\n value2 = 0\nend\n"
    "datavalue \"visible per hour\", TIME_ACCOUNTING\n value = datavalue(\"visible\")\n interval = 1h\n"
    " accuracy = 1s\n default_value = -1\nend\n"
    "datavalue \"highest\", MAXIMUM\n value = GROUND_SATELIT_ELEVATION_DEG(\"Station\", \"LEO\")\n"
    " default_value = -90\nend\n"
    "datafile CSV, \"second.csv\"\n interval = 1s\n timeunit = 1s\n"
    " value\n  name = \"x\"\n  type = FLOAT, 0, 6\n  data = SATELIT_VECTOR_X(\"LEO\", \"PositionVector_ECI_km\")\n end\n"
    " value\n  name = \"y\"\n  type = FLOAT, 0, 6\n  data = SATELIT_VECTOR_Y(\"LEO\", \"PositionVector_ECI_km\")\n end\n"
    " value\n  name = \"z\"\n  type = FLOAT, 0, 6\n  data = SATELIT_VECTOR_Z(\"LEO\", \"PositionVector_ECI_km\")\n end\n"
    " value\n  name = \"lat\"\n  type = FLOAT, 0, 6\n  data = SATELIT_LATITUDE_DEG(\"LEO\")\n end\n"
    " value\n  name = \"lon\"\n  type = FLOAT, 0, 6\n  data = SATELIT_LONGITUDE_DEG(\"LEO\")\n end\n"
    " value\n  name = \"el\"\n  type = FLOAT, 0, 6\n  data = GROUND_SATELIT_ELEVATION_DEG(\"Station\", \"LEO\")\n end\n"
    " value\n  name = \"az\"\n  type = FLOAT, 0, 6\n  data = GROUND_SATELIT_AZIMUTH_DEG(\"Station\", \"LEO\")\n end\n"
    " value\n  name = \"visible s\"\n  type = FLOAT, 0, 0\n  data = datavalue(\"visible per hour\")\n end\n"
    " value\n  name = \"highest\"\n  type = FLOAT, 0, 6\n  data = datavalue(\"highest\")\n end\n"
    "end\n";

enum COLUMN { TIME, X, Y, Z, LAT, LON, EL, AZ, VISIBLE, HIGHEST };

// SGP4 of the example's element set at a time, directly.
struct Reference {
    SGP_ELEMENTS elements{};
    explicit Reference(const std::string& tleFile)
    {
        SGP_TLE_TEXT text{};
        EXPECT_EQ(SGP_ReadTleFile(&text, tleFile.c_str()), 1);
        SGP_ParseTle(&text, &elements);
    }
    VEC3 PositionAt(TIME_MS t) const
    {
        SYSTEMTIME st{};
        TIME_MsToSystemTime(t, &st);
        double p[4], v[4];
        SGP_Propagate(SGP_VARIANT_SGP4, TIME_SystemTimeToJulianDate(&st), &elements, p, v);
        return VEC3{p[0], p[1], p[2]};
    }
};

// Elevation and azimuth (deg) of an ECI position from the station at the
// Earth rotation angle theta (deg), in the station's east-north-up frame.
void LookAngles(const VEC3& p, double theta, double* elevation, double* azimuth)
{
    double lambda = (kStationLongitude + theta) * kDeg, phi = kStationLatitude * kDeg;
    double up[3] = {std::cos(phi) * std::cos(lambda), std::cos(phi) * std::sin(lambda), std::sin(phi)};
    double east[3] = {-std::sin(lambda), std::cos(lambda), 0.0};
    double north[3] = {-std::sin(phi) * std::cos(lambda), -std::sin(phi) * std::sin(lambda), std::cos(phi)};
    double d[3] = {p.x - kEarthRadius * up[0], p.y - kEarthRadius * up[1], p.z - kEarthRadius * up[2]};
    auto dot = [&](const double* a) { return a[0] * d[0] + a[1] * d[1] + a[2] * d[2]; };
    double range = std::sqrt(dot(d));
    *elevation = std::asin(dot(up) / range) / kDeg;
    *azimuth = std::fmod(std::atan2(dot(east), dot(north)) / kDeg + 360.0, 360.0);
}

double AngleDifference(double a, double b) { return std::fabs(std::remainder(a - b, 360.0)); }

class OwnTime : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        dir_ = scenario::CopyExample("leo");
        std::string objects = testsupport::ReadFile(dir_ + "/Objects.cfg");
        // The default orbit step of 30 s.
        objects = std::regex_replace(objects, std::regex("\\n *light_time_accuracy[^\\n]*"), "");
        testsupport::WriteFile(dir_ + "/Objects.cfg", objects);
        testsupport::WriteFile(dir_ + "/Multipass.cfg", kMultipass);
        testsupport::WriteFile(dir_ + "/DataOutput.cfg", kDataOutput);
        testsupport::WriteFile(dir_ + "/Ground.cfg", kGround);
        status_ = scenario::Wait(scenario::StartIn(dir_), 120000);
        rows_ = testsupport::ReadCsvValues(dir_ + "/second.csv", 1);
        start_ = testsupport::MsOf(2006, 1, 1, 5);
    }
    void SetUp() override
    {
        ASSERT_EQ(status_, 0) << testsupport::ReadFile(dir_ + "/stdout.txt");
        ASSERT_EQ(rows_.size(), 3u * 3600 + 1);
        ORBIT_InitEphemeris();
    }
    TIME_MS RowTime(const std::vector<double>& row) const { return start_ + std::llround(row[TIME] * 1000.0); }

    static std::string dir_;
    static int status_;
    static std::vector<std::vector<double>> rows_;
    static TIME_MS start_;
};

std::string OwnTime::dir_;
int OwnTime::status_ = -1;
std::vector<std::vector<double>> OwnTime::rows_;
TIME_MS OwnTime::start_ = 0;

// Position within a metre, geocentric latitude and longitude and the look
// angles within 0.001 degrees, at every row between the orbit steps.
TEST_F(OwnTime, RowsEverySecondShowTheSatelliteAtTheirOwnTime)
{
    Reference sgp4(dir_ + "/leo.tle");
    double worstPosition = 0.0, worstAngle = 0.0;
    for (const auto& row : rows_) {
        TIME_MS t = RowTime(row);
        VEC3 p = sgp4.PositionAt(t);
        VEC3 recorded{row[X], row[Y], row[Z]};
        worstPosition = std::max(worstPosition, VEC_Distance(&p, &recorded));
        double theta = ORBIT_EarthRotationAngleAt(t);
        double r = VEC_Length(&p);
        double latitude = std::asin(p.z / r) / kDeg, longitude = std::atan2(p.y, p.x) / kDeg - theta;
        worstAngle = std::max({worstAngle, AngleDifference(row[LAT], latitude), AngleDifference(row[LON], longitude)});
        double elevation, azimuth;
        LookAngles(p, theta, &elevation, &azimuth);
        if (elevation <= 0.0) continue;
        worstAngle = std::max({worstAngle, AngleDifference(row[EL], elevation), AngleDifference(row[AZ], azimuth)});
    }
    EXPECT_LT(worstPosition, 1e-3);
    EXPECT_LT(worstAngle, 1e-3);
}

// A node updated every second sees every second: the highest elevation is the
// highest 1 s sample, and the visible seconds of each hour are those of the
// samples to within 2 s. The nodes sample first one second after the start.
TEST_F(OwnTime, NodesMeasureAtTheirAccuracy)
{
    Reference sgp4(dir_ + "/leo.tle");
    double highest = -90.0;
    std::vector<int> visibleSeconds(3, 0);
    for (const auto& row : rows_) {
        TIME_MS t = RowTime(row);
        double elevation, azimuth;
        LookAngles(sgp4.PositionAt(t), ORBIT_EarthRotationAngleAt(t), &elevation, &azimuth);
        size_t hour = static_cast<size_t>((t - start_ - 1) / 3600000);
        if (t > start_) {
            highest = std::max(highest, std::max(elevation, 0.0));   // below the horizon the station reports 0
            if (elevation > 0.0) visibleSeconds[hour]++;
        }
        EXPECT_NEAR(row[HIGHEST], highest, 1e-3) << row[TIME];
    }
    EXPECT_GT(highest, 70.0);
    for (size_t hour = 1; hour <= 3; ++hour) {
        const auto& row = rows_[hour * 3600];
        EXPECT_NEAR(row[VISIBLE], visibleSeconds[hour - 1], 2.0) << hour;
    }
    EXPECT_GT(visibleSeconds[0] + visibleSeconds[1] + visibleSeconds[2], 600);
}

// The reference CubeSat detumbled by its on-board B-dot module over its first
// four and a half hours, once at the default orbit step of 30 s and once at
// 1 s: the module reads a field that moves smoothly between the orbit steps,
// so the step changes the coils' energy and the time the rate takes to fall
// below 0.003 rad/s by less than 5 %.
struct DETUMBLING {
    double energy = 0.0;       // J, the three coils together
    double settled = -1.0;     // s, the first row below 0.003 rad/s
};

DETUMBLING Detumble(const std::string& dir)
{
    DETUMBLING d;
    auto rows = testsupport::ReadCsvValues(dir + "/energy.csv", 1);
    for (const auto& row : rows)
        if (d.settled < 0.0 && row[1] < 0.003) d.settled = row[0];
    if (!rows.empty()) d.energy = rows.back()[2] + rows.back()[3] + rows.back()[4];
    return d;
}

TEST(OwnTimeDetumbling, TheOrbitStepBuysAccuracyNotAStaircase)
{
    if (!scenario::SdccPresent()) GTEST_SKIP() << "sdcc is not installed";
    std::string energy = "datafile CSV, \"energy.csv\"\n interval = 60s\n timeunit = 1s\n"
                         " value\n  name = \"rate\"\n  type = FLOAT, 0, 7\n"
                         "  data = SATELIT_ANGULAR_VELOCITY_MAGNITUDE(\"CUBESAT\")\n end\n";
    for (const char* coil : {"X", "Y", "Z"})
        energy += std::string(" value\n  name = \"") + coil + "\"\n  type = FLOAT, 0, 6\n"
                  "  data = SATELIT_COIL_TOTAL_CONSUMPTION_J(\"CUBESAT\", \"" + coil + "\")\n end\n";
    energy += "end\n";
    std::vector<std::string> dirs;
    std::vector<scenario::Program> programs;
    for (const char* step : {"", "    light_time_accuracy = 1s\n"}) {
        std::string dir = scenario::CopyExample("reference", {"bdot"});
        std::string objects = testsupport::ReadFile(dir + "/Objects.cfg");
        objects.insert(objects.find("    tle = "), step);
        testsupport::WriteFile(dir + "/Objects.cfg", objects);
        testsupport::WriteFile(dir + "/DataOutput.cfg", energy);
        testsupport::WriteFile(dir + "/Multipass.cfg", "starttime = UT(\"01.01.2006, 00:00\")\n"
                                                       "endtime = UT(\"01.01.2006, 04:30\")\nsimulationspeed = FASTEST\n");
        dirs.push_back(dir);
        programs.push_back(scenario::StartIn(dir));
    }
    for (const auto& p : programs) ASSERT_EQ(scenario::Wait(p, 600000), 0) << testsupport::ReadFile(p.dir + "/stdout.txt");
    EXPECT_NE(testsupport::ReadFile(dirs[1] + "/Zendrix.log").find("Satelit CUBESAT: 16201 kroků dráhy"),
              std::string::npos);
    DETUMBLING coarse = Detumble(dirs[0]), fine = Detumble(dirs[1]);
    ASSERT_GT(coarse.settled, 0.0);
    ASSERT_GT(fine.settled, 0.0);
    EXPECT_NEAR(coarse.energy, fine.energy, 0.05 * fine.energy);
    EXPECT_NEAR(coarse.settled, fine.settled, 0.05 * fine.settled);
}

}  // namespace
