#include <gtest/gtest.h>
#include <cmath>
#include <limits>
#include "models/atmo.h"
#include "models/nrlmsise00.h"
#include "tests/support/test_support.h"

using testsupport::MsOf;

namespace {

double Table(int km) { return g_atmoDensityTable[km - ATMO_TABLE_FIRST_KM]; }

// Density NRLMSISE-00 gives for the front end's fixed activity, kg/m^3.
double MsisExpected(int doy, double sec, double alt, double lon, double lat)
{
    NRLMSISE_FLAGS flags = {};
    for (int i = 1; i < 24; i++) flags.switches[i] = 1;
    NRLMSISE_INPUT in = {0, doy, sec, alt, lat, lon, sec / 3600.0 + lon / 15.0, 150.0, 150.0, 4.0, nullptr};
    NRLMSISE_OUTPUT out;
    gtd7(&in, &flags, &out);
    return out.d[5] * 1000.0;
}

}  // namespace

TEST(AtmoTable, PassesThroughTheAnchorRowsAndFallsMonotonically)
{
    EXPECT_EQ(Table(86), 6.958e-06);
    EXPECT_EQ(Table(100), 5.604e-07);
    EXPECT_EQ(Table(500), 5.215e-13);
    EXPECT_EQ(Table(1000), 3.561e-15);
    for (int km = ATMO_TABLE_FIRST_KM + 1; km <= ATMO_TABLE_LAST_KM; km++)
        ASSERT_LT(Table(km), Table(km - 1)) << km;
}

// An altitude that is not a number never indexes the table.
TEST(AtmoTable, LookupTruncatesAndClamps)
{
    const double inf = std::numeric_limits<double>::infinity();
    const struct { double km; int row; } cases[] = {{85.9, 86}, {86.7, 86}, {400.0, 400}, {999.99, 999},
        {1000.0, 1000}, {inf, 1000}, {-inf, 86}, {std::nan(""), 1000}};
    for (const auto& c : cases) EXPECT_EQ(ATMO_TableByAltitude(c.km), Table(c.row)) << c.km;
}

TEST(AtmoFrontEnd, SelectsTheModel)
{
    ATMO_Init();
    TIME_MS t = MsOf(2006, 1, 1);
    EXPECT_EQ(ATMO_GetDensity(400.5, 10.0, 20.0, t), Table(400));  // model 1 after the initialiser
    ATMO_SetModel(ATMO_MODEL_NRLMSISE00);
    // The total mass density of gtd7 turned from g/cm^3 to kg/m^3.
    EXPECT_EQ(ATMO_GetDensity(400.5, 10.0, 20.0, t), MsisExpected(1, 0.0, 400.5, 10.0, 20.0));
    ATMO_SetModel(0);
    EXPECT_EQ(ATMO_GetDensity(400.0, 0.0, 0.0, t), 0.0);
    ATMO_SetModel(3);
    EXPECT_EQ(ATMO_GetDensity(400.0, 0.0, 0.0, t), 0.0);
    ATMO_Init();
    EXPECT_EQ(ATMO_GetDensity(400.0, 0.0, 0.0, t), Table(400));
    ATMO_Done();
}

TEST(AtmoFrontEnd, MsisGetsDayOfYearAndSecondsOfDay)
{
    ATMO_Init();
    ATMO_SetModel(ATMO_MODEL_NRLMSISE00);
    struct {
        TIME_MS t;
        int doy;
        double sec;
    } cases[] = {
        {MsOf(2006, 1, 1, 0, 0, 0), 1, 0.0},
        {MsOf(2004, 12, 31, 23, 59, 59, 999), 366, 86399.0},  // leap year, milliseconds dropped
        {MsOf(2000, 12, 31, 12), 366, 43200.0},               // century divisible by 400: leap
        {MsOf(1900, 12, 31, 12), 365, 43200.0},               // century not divisible by 400: common
        {MsOf(2006, 3, 1, 8, 3, 20, 500), 60, 29000.0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "doy " << c.doy << " sec " << c.sec);
        double got = ATMO_GetDensity(250.0, -70.0, 60.0, c.t);
        EXPECT_EQ(got, MsisExpected(c.doy, c.sec, 250.0, -70.0, 60.0));
        EXPECT_NE(got, MsisExpected(c.doy == 1 ? 2 : c.doy - 1, c.sec, 250.0, -70.0, 60.0));
    }
}
