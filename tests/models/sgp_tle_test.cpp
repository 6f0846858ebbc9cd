// Two-line element files: reading, fixed-column parsing, epochs and the
// deep-space flag.
#include <gtest/gtest.h>
#include <cstring>
#include <string>
#include "models/sgp.h"
#include "models/sgp_tle.h"
#include "tests/models/sgp_test_support.h"
#include "tests/support/test_support.h"

using sgptest::Parse;
using sgptest::TextOf;

namespace {

const char* const kLine1 = sgptest::kNearLine1;
const char* const kLine2 = sgptest::kNearLine2;

std::string WriteTle(const std::string& name, const std::string& content)
{
    std::string path = testsupport::MakeTempDir("sgp_tle") + "/" + name;
    testsupport::WriteFile(path, content);
    return path;
}

std::string WithField(std::string line, size_t column1, const std::string& field)
{
    line.replace(column1 - 1, field.size(), field);
    return line;
}

}  // namespace

TEST(SgpTleFile, NameLineIsOptional)
{
    SGP_TLE_TEXT text;
    std::string two = WriteTle("two.tle", std::string(kLine1) + "\n" + kLine2 + "\n");
    ASSERT_EQ(SGP_ReadTleFile(&text, two.c_str()), 1);
    EXPECT_STREQ(text.rows[0], "<unnamed>");
    EXPECT_EQ(std::string(text.rows[1]), std::string(kLine1) + "\n");
    EXPECT_EQ(std::string(text.rows[2]), std::string(kLine2) + "\n");

    // A name line starting with '1' is still a name line: the next line starts with '1'.
    std::string named = WriteTle("named.tle", std::string("1ST SAT\r\n") + kLine1 + "\r\n" + kLine2 + "\r\n" +
                                                  kLine1 + "\r\n" + kLine2 + "\r\n");
    ASSERT_EQ(SGP_ReadTleFile(&text, named.c_str()), 1);
    EXPECT_STREQ(text.rows[0], "1ST SAT\r\n");
    SGP_ELEMENTS fromFile, fromLines = Parse(kLine1, kLine2);
    SGP_ParseTle(&text, &fromFile);
    EXPECT_EQ(fromFile.mean_motion, fromLines.mean_motion);
    EXPECT_EQ(fromFile.epoch_jd, fromLines.epoch_jd);
}

TEST(SgpTleFile, MissingFileOrWrongLinesFail)
{
    SGP_TLE_TEXT text;
    EXPECT_EQ(SGP_ReadTleFile(&text, "/nonexistent/none.tle"), 0);
    std::string swapped = WriteTle("swapped.tle", std::string("NAME\n") + kLine2 + "\n" + kLine1 + "\n");
    EXPECT_EQ(SGP_ReadTleFile(&text, swapped.c_str()), 0);
    std::string shortFile = WriteTle("short.tle", std::string("NAME\n") + kLine1 + "\n");
    EXPECT_EQ(SGP_ReadTleFile(&text, shortFile.c_str()), 0);
    EXPECT_STREQ(text.rows[2], "");
}

TEST(SgpTleParse, ReportSetInModelUnits)
{
    SGP_ELEMENTS el = Parse(kLine1, kLine2);
    const double perDay = SGP_TWOPI / 1440.0, deg = SGP_PI / 180.0;
    EXPECT_DOUBLE_EQ(el.epoch, 80275.98708465);
    EXPECT_EQ(el.deep_space, 0);
    const struct { double got, want, tolerance; } fields[] = {
        {el.epoch_jd, 2444238.5 + 275.98708465, 1e-8},   // 1980 January 0 is JD 2444238.5
        {el.ndot_2, 0.00073094 * perDay / 1440.0, 1e-20}, {el.nddot_6, 1.3844e-4 * perDay / (1440.0 * 1440.0), 1e-24},
        {el.bstar, 6.6816e-5, 1e-18}, {el.inclination, 72.8435 * deg, 1e-14}, {el.raan, 115.9689 * deg, 1e-14},
        {el.eccentricity, 0.0086731, 1e-16}, {el.arg_perigee, 52.6988 * deg, 1e-14},
        {el.mean_anomaly, 110.5714 * deg, 1e-14}, {el.mean_motion, 16.05824518 * perDay, 1e-15}};
    for (const auto& f : fields) EXPECT_NEAR(f.got, f.want, f.tolerance) << &f - fields;
}

TEST(SgpTleParse, SignsAndExponents)
{
    std::string line1 = WithField(kLine1, 34, "-.00073094");
    line1 = WithField(line1, 54, "-11606-4");
    SGP_ELEMENTS el = Parse(line1.c_str(), kLine2);
    EXPECT_LT(el.ndot_2, 0.0);
    EXPECT_NEAR(el.bstar, -1.1606e-5, 1e-18);
    for (const char* zero : {"+0", "-0", " 0"}) {
        el = Parse(WithField(kLine1, 60, zero).c_str(), kLine2);
        EXPECT_NEAR(el.bstar, 0.66816, 1e-14) << zero;
    }
}

TEST(SgpTleParse, EpochYearsAndJulianDates)
{
    EXPECT_DOUBLE_EQ(SGP_JulianDateOfYear(2000.0), 2451543.5);
    EXPECT_DOUBLE_EQ(SGP_JulianDateOfEpoch(1.0), 2451544.5);
    EXPECT_DOUBLE_EQ(SGP_JulianDateOfEpoch(56001.0), SGP_JulianDateOfYear(2056.0) + 1.0);
    EXPECT_DOUBLE_EQ(SGP_JulianDateOfEpoch(57001.0), SGP_JulianDateOfYear(1957.0) + 1.0);
    EXPECT_DOUBLE_EQ(SGP_JulianDateOfYear(1957.0), 2435838.5);
}

TEST(SgpTleParse, DeepSpaceFlagFromThePeriod)
{
    EXPECT_EQ(Parse(kLine1, WithField(kLine2, 53, " 2.00563000").c_str()).deep_space, 1);
    EXPECT_EQ(Parse(kLine1, WithField(kLine2, 53, "15.50000000").c_str()).deep_space, 0);
}

// A line cut short leaves the rest of the row as it was: the readers must
// see blanks there, not what an earlier line left behind.
TEST(SgpTleParse, ShortLineReadsBlanksPastItsEnd)
{
    SGP_TLE_TEXT text = TextOf(kLine1, kLine2);
    memset(text.rows[2], '9', sizeof text.rows[2] - 1);
    memcpy(text.rows[2], kLine2, 58);  // ends inside the mean motion field: "16.058"
    text.rows[2][58] = '\0';
    SGP_ELEMENTS el;
    SGP_ParseTle(&text, &el);
    EXPECT_DOUBLE_EQ(el.mean_motion, SGP_ParseRealField("16.058     ", 0, 11) * SGP_TWOPI / 1440.0);
    EXPECT_DOUBLE_EQ(SGP_ParseRealField("12", 0, 6), 12.0);
    EXPECT_EQ(SGP_ParseIntField("-3", 0, 8), -3);
    EXPECT_EQ(SGP_ParseIntField("", 0, 2), 0);
    EXPECT_EQ(SGP_ParseIntField("-99999999999999999999", 0, 21), -INT32_MAX);
}

TEST(SgpTleParse, PropagateTleMatchesParsedSet)
{
    SGP_TLE_TEXT text = TextOf(kLine1, kLine2);
    SGP_ELEMENTS el = Parse(kLine1, kLine2);
    double a[4], va[4], b[4], vb[4];
    EXPECT_EQ(SGP_PropagateTle(1, el.epoch_jd + 0.5, &text, a, va), 1);
    SGP_Propagate(1, el.epoch_jd + 0.5, &el, b, vb);
    for (int i = 0; i < 4; ++i) EXPECT_EQ(a[i], b[i]);
}
