// A satellite between its orbit steps: the field model at the geodetic
// position of a grid point, and what the attitude and the readers see
// between two grid points and across an orbit step.
#include <gtest/gtest.h>
#include <cmath>
#include <cstring>
#include <sstream>
#include <string>
#include "models/ephemeris.h"
#include "models/magfield.h"
#include "simulation/satelit.h"
#include "tests/support/test_support.h"

namespace {

constexpr double kDeg = M_PI / 180.0;

// The ECI position of a geodetic point at the Earth rotation angle theta (deg).
VEC3 GeodeticToEci(double latitude, double longitude, double heightKm, double theta)
{
    double rho, z;
    MAGFIELD_AxialFromGeodetic(latitude, heightKm, &rho, &z);
    double lambda = (longitude + theta) * kDeg;
    return VEC3{rho * std::cos(lambda), rho * std::sin(lambda), z};
}

// The published test points of WMM-2005 (and the poles, 400 km up and the
// extrapolated year 2012) turned into satellite positions: the field at the
// grid point, turned back into the local geodetic north-east-down frame,
// gives the published components.
TEST(SatelitState, FieldAtAGridPointIsTheWorldModelAtItsGeodeticPosition)
{
    ORBIT_InitEphemeris();
    SATELIT sat;
    memset(static_cast<void*>(&sat), 0, sizeof sat);
    sat.fieldModel = SAT_FIELD_REAL;
    sat.atmosphereModel = SAT_ATMO_UASA2000;
    std::istringstream lines(testsupport::ReadFile(ORBIT_TEST_DATA_DIR "/wmm2005/test-values.txt"));
    std::string line;
    int points = 0;
    while (std::getline(lines, line)) {
        if (line.empty() || line[0] == '#') continue;
        std::istringstream in(line);
        double year, altitude, latitude, longitude, x, y, z;
        std::string published, bar;
        in >> year >> altitude >> latitude >> longitude >> published >> bar >> x >> y >> z;
        ASSERT_TRUE(in) << line;
        SAT_ORBIT_POINT point{};
        point.time = testsupport::MsOf(static_cast<int>(year), 1, 1);
        double theta = ORBIT_EarthRotationAngleAt(point.time);
        point.position = GeodeticToEci(latitude, longitude, altitude, theta);
        SATELIT_EnvironmentAtPoint(&sat, &point);
        MAT33 ned;
        SATELIT_NedToEci(&point.position, theta, &ned);
        MAT_Transpose(&ned);
        VEC3 field;
        MAT_MulVectorTo(&ned, &point.fieldEci, &field);
        EXPECT_NEAR(field.x, x, 0.6) << line;
        EXPECT_NEAR(field.y, y, 0.6) << line;
        EXPECT_NEAR(field.z, z, 0.6) << line;
        ++points;
    }
    EXPECT_EQ(points, 36);
}

TEST(SatelitState, GeodeticCoordinatesRoundTripFromTheCentreToGeostationaryHeight)
{
    for (double latitude : {-90.0, -51.6, -0.001, 0.0, 23.4, 49.91, 89.999, 90.0}) {
        for (double height : {-20.0, 0.0, 400.0, 35786.0}) {
            double rho, z, back, backHeight;
            MAGFIELD_AxialFromGeodetic(latitude, height, &rho, &z);
            MAGFIELD_GeodeticFromAxial(rho, z, &back, &backHeight);
            EXPECT_NEAR(back, latitude, 1e-9) << latitude << " " << height;
            EXPECT_NEAR(backHeight, height, 1e-6) << latitude << " " << height;
        }
    }
    // A point at 50 degrees on the 6378.135 km sphere lies 12.6 km above the
    // ellipsoid, at a geodetic latitude 0.19 degrees (21 km) further north.
    double latitude, height;
    MAGFIELD_GeodeticFromAxial(6378.135 * std::cos(50 * kDeg), 6378.135 * std::sin(50 * kDeg), &latitude, &height);
    EXPECT_NEAR(height, 12.6, 0.05);
    EXPECT_NEAR(latitude - 50.0, 0.19, 0.005);
}

// Two grid points 30 s apart on a circular orbit: the curve meets both with
// their velocities, keeps the radius between them to a few centimetres, and
// the field and density run straight from one point to the other.
TEST(SatelitState, TheSpanMeetsItsPointsAndStaysOnTheOrbit)
{
    SATELIT sat;
    memset(static_cast<void*>(&sat), 0, sizeof sat);
    const double r = 6878.0, n = std::sqrt(398600.4418 / (r * r * r));
    auto circular = [&](TIME_MS t, double field, double density) {
        double u = n * t / 1000.0;
        return SAT_ORBIT_POINT{t, {r * std::cos(u), r * std::sin(u), 0}, {-r * n * std::sin(u), r * n * std::cos(u), 0},
                               {0, 0, field}, density};
    };
    sat.orbitPoints[0] = circular(0, 20000.0, 2e-12);
    sat.orbitPoints[1] = circular(30000, 21000.0, 4e-12);
    SATELIT_SetSpan(&sat);
    for (TIME_MS t = 0; t <= 30000; t += 1000) {
        SAT_ORBIT_POINT env;
        SATELIT_EnvironmentAt(&sat.span, t, &env);
        SAT_ORBIT_POINT exact = circular(t, 0.0, 0.0);
        EXPECT_LT(VEC_Distance(&env.position, &exact.position), 5e-5) << t;
        EXPECT_LT(VEC_Distance(&env.velocity, &exact.velocity), 1e-5) << t;
        EXPECT_NEAR(env.fieldEci.z, 20000.0 + 1000.0 * t / 30000.0, 1e-9) << t;
        EXPECT_NEAR(env.airDensity, 2e-12 + 2e-12 * t / 30000.0, 1e-24) << t;
    }
    SAT_ORBIT_POINT end;
    SATELIT_EnvironmentAt(&sat.span, 30000, &end);
    EXPECT_NEAR(VEC_Distance(&end.position, &sat.orbitPoints[1].position), 0.0, 1e-9);
}

}  // namespace
