// Recorded quantities in whole runs: every row of a result file agrees with
// closed forms from its other columns, links fail at run start, and the
// running maximum starts afresh in each multipass run.
#include <cmath>
#include <sstream>
#include <string>
#include <vector>
#include "tests/simulation/program_run.h"

namespace {

constexpr double kRe = 6378.135;
constexpr double kDeg = M_PI / 180.0;
constexpr double kEarthRate = 7.292115815600708e-5;   // rad/s

// Two satellites on one circular orbit, B ahead of A by the parameter "P" in
// degrees of mean anomaly, and a station on the equator at longitude 0.
std::string Objects()
{
    return "satelit\n  name = \"A\"\n  orbit_model = SIMPLE_KEPLER\n  kepler_inclination = 20\n"
           "  kepler_excentricity = 0\n  kepler_meanmotion = 15\n  kepler_meananomaly = 0\n"
           "  kepler_time = UT(\"01.01.2006, 00:00\")\n  rotation_axis = VECTOR(0, 0, 1)\n"
           "  angular_velocity = DEG_PER_SECOND(1)\n" +
           testsupport::kModelPairLines +
           "end\n"
           "satelit\n  name = \"B\"\n  orbit_model = SIMPLE_KEPLER\n  kepler_inclination = 20\n"
           "  kepler_excentricity = 0\n  kepler_meanmotion = 15\n  kepler_meananomaly = PARAMETER(\"P\")\n"
           "  kepler_time = UT(\"01.01.2006, 00:00\")\n" +
           testsupport::kModelPairLines + "end\n";
}

const char kMultipass[] =
    "starttime = UT(\"01.01.2006, 00:00\")\nendtime = UT(\"01.01.2006, 03:00\")\nsimulationspeed = FASTEST\n"
    "parameter \"P\", RAMP\n  start = 90\n  stop = 570\n  step = 240\nend\n";

const char* const kColumns[][2] = {
    {"x", "SATELIT_VECTOR_X(\"A\", \"PositionVector_ECI_km\")"},
    {"y", "SATELIT_VECTOR_Y(\"A\", \"PositionVector_ECI_km\")"},
    {"z", "SATELIT_VECTOR_Z(\"A\", \"positionvector_eci_km\")"},
    {"r", "SATELIT_VECTOR_MAGNITUDE(\"A\", \"PositionVector_ECI_km\")"},
    {"vx", "SATELIT_VECTOR_X(\"A\", \"VelocityVector_ECI_km\")"},
    {"vy", "SATELIT_VECTOR_Y(\"A\", \"VelocityVector_ECI_km\")"},
    {"vz", "SATELIT_VECTOR_Z(\"A\", \"VelocityVector_ECI_km\")"},
    {"alt", "SATELIT_ALTITUDE_KM(\"A\")"},
    {"lon", "SATELIT_LONGITUDE_DEG(\"A\")"},
    {"lat", "SATELIT_LATITUDE_DEG(\"A\")"},
    {"dist", "SATELITS_3D_DISTANCE_KM(\"A\", \"B\")"},
    {"angle", "SATELITS_ANGLEDEG_DISTANCE(\"A\", \"B\")"},
    {"self", "SATELITS_ANGLEDEG_DISTANCE(\"A\", \"A\")"},
    {"maxdist", "SATELITS_MAX3D_DISTANCE_KM(\"A\", \"B\")"},
    {"spin", "SATELIT_ANGULAR_VELOCITY_MAGNITUDE(\"A\")"},
    {"period", "SATELIT_ROTATION_PERIOD(\"B\")"},
    {"gdist", "GROUND_SATELIT_DISTANCE_KM(\"EQUATOR\", \"A\")"},
    {"gel", "GROUND_SATELIT_ELEVATION_DEG(\"Equator\", \"A\")"},
    {"gaz", "GROUND_SATELIT_AZIMUTH_DEG(\"Equator\", \"A\")"},
    {"grate", "GROUND_SATELIT_VELOCITY_MS(\"Equator\", \"A\")"},
};

std::string Column(const char* name, const char* source)
{
    return std::string("  value\n    name = \"") + name + "\"\n    type = FLOAT, 0, 9\n    data = " + source +
           "\n  end\n";
}

std::string DataOutput()
{
    std::string text = "datafile CSV, \"track_#(P).csv\"\n  interval = 5m\n";
    for (const auto& c : kColumns) text += Column(c[0], c[1]);
    text += "end\ndatafile CSV, \"summary.csv\"\n  results\n";
    text += Column("P", "PARAMETER(\"P\")") + Column("maxdist", "SATELITS_MAX3D_DISTANCE_KM(\"A\", \"B\")");
    return text + "end\n";
}

const auto ReadRows = &testsupport::ReadCsvValues;

enum { X, Y, Z, R, VX, VY, VZ, ALT, LON, LAT, DIST, ANGLE, SELF, MAXDIST, SPIN, PERIOD, GDIST, GEL, GAZ, GRATE };

double Dot(const double a[3], const double b[3]) { return a[0] * b[0] + a[1] * b[1] + a[2] * b[2]; }

class QuantitiesRunTest : public ProgramRunTest {
protected:
    void SetUp() override
    {
        ProgramRunTest::SetUp();
        testsupport::InstallModelPair(programDir_.string());
    }
};

// The station on the equator at longitude 0 sees the satellite as the local
// frame of the sidereal angle that the satellite's longitude implies says.
void CheckStation(const std::vector<double>& row, double theta, int* visibleRows)
{
    const double p[3] = {kRe * cos(theta), kRe * sin(theta), 0.0};
    const double d[3] = {row[X] - p[0], row[Y] - p[1], row[Z] - p[2]};
    const double up[3] = {cos(theta), sin(theta), 0.0};
    const double east[3] = {-sin(theta), cos(theta), 0.0};
    const double north[3] = {0.0, 0.0, 1.0};
    const double v[3] = {row[VX], row[VY], row[VZ]};
    if (Dot(d, up) <= 0) {
        EXPECT_EQ(row[GDIST] + row[GEL] + row[GAZ] + row[GRATE], 0.0);
        return;
    }
    ++*visibleRows;
    double length = sqrt(Dot(d, d));
    EXPECT_NEAR(row[GDIST], length, 1e-3);
    EXPECT_NEAR(row[GEL], asin(Dot(d, up) / length) / kDeg, 1e-4);
    double az = atan2(Dot(d, east), Dot(d, north)) / kDeg;
    EXPECT_NEAR(row[GAZ], az <= 0 ? az + 360 : az, 1e-4);
    EXPECT_NEAR(row[GRATE], -Dot(d, v) / length * 1000.0, 1e-2);
}

TEST_F(QuantitiesRunTest, RowsAgreeWithClosedFormsAndTheMaximumStartsAfreshInEachRun)
{
    Write("Multipass.cfg", kMultipass);
    Write("Objects.cfg", Objects());
    Write("Ground.cfg", "station \"Equator\"\n  longitude = 0\n  latitude = 0\n  antenna_angle = 30\nend\n");
    Write("DataOutput.cfg", DataOutput());
    ASSERT_EQ(Run(), 0) << Log();
    ExpectNoLeak();

    const double separation[2] = {90.0, 30.0};
    for (int pass = 0; pass < 2; ++pass) {
        auto rows = ReadRows(pass == 0 ? "track_90.csv" : "track_330.csv", 2);
        ASSERT_EQ(rows.size(), 37u) << pass;   // 00:00 to 03:00 every 5 minutes
        int visibleRows = 0;
        double firstTheta = 0.0;
        for (size_t i = 0; i < rows.size(); ++i) {
            const auto& row = rows[i];
            ASSERT_EQ(row.size(), 20u);
            const double r = sqrt(row[X] * row[X] + row[Y] * row[Y] + row[Z] * row[Z]);
            EXPECT_NEAR(row[R], r, 1e-6);
            EXPECT_NEAR(row[ALT], r - kRe, 1e-6);
            EXPECT_NEAR(row[LAT], asin(row[Z] / r) / kDeg, 1e-6);
            EXPECT_NEAR(row[ANGLE], separation[pass], 1e-6);
            EXPECT_NEAR(row[DIST], 2 * r * sin(separation[pass] / 2 * kDeg), 1e-4);
            EXPECT_EQ(row[SELF], 0.0);
            EXPECT_NEAR(row[MAXDIST], row[DIST], 1e-4);
            EXPECT_NEAR(row[SPIN], kDeg, 1e-9);
            EXPECT_EQ(row[PERIOD], 1e100);
            // The sidereal angle implied by the longitude turns with the Earth.
            double theta = atan2(row[Y], row[X]) - row[LON] * kDeg;
            if (i == 0) firstTheta = theta;
            double turned = remainder(theta - firstTheta - kEarthRate * 300.0 * (double)i, 2 * M_PI);
            EXPECT_NEAR(turned, 0.0, 1e-7) << i;
            CheckStation(row, theta, &visibleRows);
        }
        EXPECT_GT(visibleRows, 0) << pass;
    }
    auto results = ReadRows("summary.csv", 0);
    ASSERT_EQ(results.size(), 2u);
    EXPECT_EQ(results[0][0], 90.0);
    EXPECT_EQ(results[1][0], 330.0);
    EXPECT_NEAR(results[1][1], ReadRows("track_330.csv", 2)[0][DIST], 1e-3);
    EXPECT_GT(results[0][1], results[1][1]);
}

TEST_F(QuantitiesRunTest, NamesThatCannotBeLinkedFailTheRunStart)
{
    Write("Multipass.cfg", kMultipass);
    Write("Objects.cfg", Objects());
    Write("Ground.cfg", "station \"Equator\"\n  longitude = 0\n  latitude = 0\nend\n");
    struct Case {
        const char* source;
        const char* message;
    };
    const Case cases[] = {
        {"SATELIT_ALTITUDE_KM(\"a\")", "DATAOUT: satelit \"a\" nenalezen.\n"},
        {"SATELIT_VECTOR_X(\"A\", \"Position\")", "DATAOUT: vektor \"Position\" nebyl nalezen.\n"},
        {"GROUND_SATELIT_AZIMUTH_DEG(\"Pole\", \"A\")", "DATAOUT: pozorovací místo \"Pole\" nenalezeno.\n"},
        {"GROUND_SATELIT_AZIMUTH_DEG(\"Equator\", \"b\")", "DATAOUT: satelit \"b\" nenalezen.\n"},
    };
    for (const Case& c : cases) {
        Write("DataOutput.cfg", "datafile CSV, \"q.csv\"\n  interval = 1s\n" + Column("q", c.source) + "end\n");
        EXPECT_EQ(Run(), 1) << c.source;
        std::string log = Log();
        EXPECT_NE(log.find(c.message), std::string::npos) << c.source << "\n" << log;
        EXPECT_NE(log.find("Satelit: A\n"), std::string::npos) << log;   // the load itself went through
        ExpectNoLeak();
    }
}

// Nodes fed by the latitude of a circular orbit inclined by 30 degrees with a
// period of 96 minutes, starting at its ascending node.
const char kOneSatellite[] = "  kepler_inclination = 30\n  kepler_excentricity = 0\n  kepler_meananomaly = 0\n"
                            "  kepler_time = UT(\"01.01.2006, 00:00\")\n";

const char kLatitudeNodes[] =
    "datavalue \"north\", GREATER\n  value1 = SATELIT_LATITUDE_DEG(\"S\")\n  value2 = 0\n"
    "  ignore_value1 = SATELIT_ALTITUDE_KM(\"S\")\n  ignore_value1 = -1000 ; replaces the line above\nend\n"
    "datavalue \"north time\", TIME_ACCOUNTING\n  value = datavalue(\"north\")\n  interval = 96m\n"
    "  accuracy = 1s\nend\n"
    "datavalue \"highest\", MAXIMUM\n  value = SATELIT_LATITUDE_DEG(\"S\")\nend\n"
    "datavalue \"lowest\", MINIMUM\n  value = SATELIT_LATITUDE_DEG(\"S\")\nend\n"
    "datavalue \"near equator\", COUNT_IN_INTERVAL\n  value = SATELIT_LATITUDE_DEG(\"S\")\n"
    "  low_interval = -10\n  high_interval = 10.0\n  interval = 6m\nend\n"
    "datavalue \"north passes\", COUNT_PULSE_WIDTH\n  value = datavalue(\"north\")\n  low_interval = 47m\n"
    "  high_interval = 49m\n  accuracy = 1s\nend\n"
    "datafile CSV, \"nodes.csv\"\n  results\n";

TEST_F(QuantitiesRunTest, NodesFollowTheLatitudeOfACircularOrbit)
{
    WriteMultipass("06:00");
    Write("Objects.cfg", Satellite("S", kOneSatellite));
    std::string config = kLatitudeNodes;
    for (const char* node : {"north time", "highest", "lowest", "near equator", "north passes"})
        config += Column(node, (std::string("datavalue(\"") + node + "\")").c_str());
    Write("DataOutput.cfg", config + "end\n");
    ASSERT_EQ(Run(), 0) << Log();
    ExpectNoLeak();

    auto rows = ReadRows("nodes.csv", 0);
    ASSERT_EQ(rows.size(), 1u);
    const auto& row = rows[0];
    EXPECT_NEAR(row[0], 2880.0, 2.0);   // half of each 96-minute interval
    EXPECT_NEAR(row[1], 30.0, 1e-3);
    EXPECT_NEAR(row[2], -30.0, 1e-3);
    // Samples every 6 minutes after the start; latitude = asin(sin 30 sin u).
    int expected = 0;
    for (int k = 1; k * 360 <= 6 * 3600; ++k) {
        double u = 2 * M_PI * k * 360.0 / 5760.0;
        if (fabs(asin(sin(30 * kDeg) * sin(u)) / kDeg) <= 10.0) ++expected;
    }
    EXPECT_EQ(row[3], expected);
    EXPECT_EQ(row[4], 4.0);   // northern half-orbits ending at 48, 144, 240 and 336 minutes
}

// A cube (equal principal moments, no torque) spinning at 1 degree a second
// about its z axis in a field that stands still in ECI: its body-frame rate is
// constant and the body-frame field turns back at the same rate.
const char kSpinningCube[] = "  kepler_time = UT(\"01.01.2006, 00:00\")\n"
                            "  magnetic_field_model = HOMOGENOUS, VECTOR(30000, 0, 0)\n"
                            "  attitude_model = FOURTH_ORDER\n  attitude = EULER_ANGLES(0, 0, 0)\n"
                            "  rotation_axis = VECTOR(0, 0, 1)\n  angular_velocity = DEG_PER_SECOND(1)\n";

TEST_F(QuantitiesRunTest, BodyFrameQuantitiesFollowTheTurningAttitude)
{
    WriteMultipass("00:10");
    Write("Objects.cfg", Satellite("S", kSpinningCube));
    std::string text = "datafile CSV, \"spin.csv\"\n  interval = 10s\n";
    for (const char* axis : {"X", "Y", "Z"})
        text += Column(axis, (std::string("SATELIT_VECTOR_") + axis + "(\"S\", \"MagneticField_BODY_nT\")").c_str());
    for (const char* axis : {"X", "Y", "Z"})
        text += Column(axis, (std::string("SATELIT_VECTOR_") + axis + "(\"S\", \"AngularVelocityBodyWorld_BODY_rads\")")
                                 .c_str());
    text += Column("spin", "SATELIT_ANGULAR_VELOCITY_MAGNITUDE(\"S\")");
    text += Column("period", "SATELIT_ROTATION_PERIOD(\"S\")");
    Write("DataOutput.cfg", text + "end\n");
    ASSERT_EQ(Run(), 0) << Log();

    auto rows = ReadRows("spin.csv", 2);
    ASSERT_EQ(rows.size(), 61u);
    double lag = 0.0;
    for (size_t i = 0; i < rows.size(); ++i) {
        const auto& r = rows[i];
        EXPECT_NEAR(std::hypot(r[0], r[1], r[2]), 30000.0, 1e-3) << i;
        // The field seen from the body turns by -1 degree a second about z; the
        // attitude may trail the row by less than its 10 ms step.
        double turned = std::remainder(std::atan2(r[1], r[0]) + 10.0 * i * kDeg, 2 * M_PI);
        EXPECT_NEAR(turned, 0.0, 0.01 * kDeg) << i;
        if (i == 1) lag = turned;
        if (i >= 1) {
            EXPECT_NEAR(turned, lag, 1e-6) << i;
        }
        const double rates[] = {0.0, 0.0, kDeg, kDeg};   // body-frame rate, then the spin
        for (int k = 0; k < 4; ++k) EXPECT_NEAR(r[3 + k], rates[k], 1e-9) << i;
        EXPECT_NEAR(r[7], 360.0, 1e-6);
    }
}

}  // namespace
