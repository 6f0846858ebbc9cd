#include <gtest/gtest.h>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>
#include "foundation/log.h"
#include "models/magfield.h"
#include "tests/support/test_support.h"

namespace {

struct WmmCase {
    float year, altKm, lat, lon;
    bool hasPublished;
    double declPub;
    double x, y, z, declCalc;
};

// Rows of the reference file: year alt lat lon D_pub | X Y Z H F I D_calc.
std::vector<WmmCase> LoadCases()
{
    std::string text = testsupport::ReadFile(ORBIT_TEST_DATA_DIR "/wmm2005/test-values.txt");
    std::vector<WmmCase> cases;
    std::istringstream lines(text);
    std::string line;
    while (std::getline(lines, line)) {
        if (line.empty() || line[0] == '#') continue;
        std::istringstream in(line);
        WmmCase c{};
        std::string pub, bar;
        double h, f, incl;
        in >> c.year >> c.altKm >> c.lat >> c.lon >> pub >> bar >> c.x >> c.y >> c.z >> h >> f >> incl >> c.declCalc;
        if (!in) continue;
        c.hasPublished = pub != "-";
        c.declPub = c.hasPublished ? std::stod(pub) : 0.0;
        cases.push_back(c);
    }
    return cases;
}

WMM_FIELD_NED Field(float lat, float lon, float altMetres, float year)
{
    WMM_FIELD_NED b;
    MAGFIELD_WmmFieldAt(lat, lon, altMetres, year, &b.north, &b.east, &b.down);
    return b;
}

// Declination in degrees, -180 .. 180.
double DeclinationDeg(const WMM_FIELD_NED& b)
{
    return std::atan2(static_cast<double>(b.east), static_cast<double>(b.north)) * 180.0 / M_PI;
}

}  // namespace

// The 30 published declinations, the computed components of those points and of
// the poles and the year 2012 (outside the model's span, extrapolated).
// The initialiser is deliberately not called: the spheroid constants must not
// depend on it.
TEST(MagfieldWmm, MatchesReferenceValues)
{
    std::vector<WmmCase> cases = LoadCases();
    ASSERT_EQ(cases.size(), 36u);
    int published = 0;
    for (const WmmCase& c : cases) {
        SCOPED_TRACE(testing::Message() << c.year << " " << c.altKm << " km " << c.lat << " " << c.lon);
        WMM_FIELD_NED b = Field(c.lat, c.lon, c.altKm * 1000.0f, c.year);
        EXPECT_NEAR(b.north, c.x, 0.5);
        EXPECT_NEAR(b.east, c.y, 0.5);
        EXPECT_NEAR(b.down, c.z, 0.5);
        if (c.hasPublished) {
            published++;
            EXPECT_NEAR(std::remainder(DeclinationDeg(b) - c.declPub, 360.0), 0.0, 0.012);
        }
    }
    EXPECT_EQ(published, 30);
}

TEST(MagfieldWmm, SamePointTwiceIsBitIdentical)
{
    WMM_FIELD_NED first = Field(48.1f, 17.1f, 650000.0f, 2006.3f);
    Field(-89.0f, 200.0f, 0.0f, 2009.0f);
    Field(90.0f, 0.0f, 400000.0f, 2012.0f);
    WMM_FIELD_NED again = Field(48.1f, 17.1f, 650000.0f, 2006.3f);
    EXPECT_EQ(std::memcmp(&first, &again, sizeof first), 0);
}

TEST(MagfieldWmm, PolesAreFiniteAndIndependentOfLongitudeInMagnitude)
{
    for (float lat : {90.0f, -90.0f}) {
        WMM_FIELD_NED a = Field(lat, 0.0f, 0.0f, 2006.0f);
        WMM_FIELD_NED b = Field(lat, 123.0f, 0.0f, 2006.0f);
        ASSERT_TRUE(std::isfinite(a.north) && std::isfinite(a.east) && std::isfinite(a.down));
        ASSERT_TRUE(std::isfinite(b.north) && std::isfinite(b.east) && std::isfinite(b.down));
        // Only the horizontal axes turn with the longitude at a pole.
        EXPECT_NEAR(std::hypot(a.north, a.east), std::hypot(b.north, b.east), 0.5);
        EXPECT_NEAR(a.down, b.down, 0.5);
    }
}

// A year outside 2005.0 .. 2010.0 is extrapolated and logged once until the
// warning is armed again (each run start does that); years inside, the span's
// ends included, log nothing.
TEST(MagfieldWmm, YearOutsideTheSpanWarnsOnceUntilReset)
{
    std::filesystem::path previous = std::filesystem::current_path();
    std::filesystem::current_path(testsupport::MakeTempDir("wmm-span"));
    LOG_Init();
    auto warnings = [] {
        std::string log = testsupport::ReadFile("Zendrix.log");
        size_t count = 0;
        for (size_t at = log.find("MAGFIELD: rok"); at != std::string::npos; at = log.find("MAGFIELD: rok", at + 1))
            ++count;
        return count;
    };
    MAGFIELD_WmmResetSpanWarning();
    for (float year : {2005.0f, 2007.5f, 2010.0f}) Field(50.0f, 15.0f, 500000.0f, year);
    EXPECT_EQ(warnings(), 0u);
    for (float year : {2024.5f, 2004.9f, 2031.0f}) Field(50.0f, 15.0f, 500000.0f, year);
    EXPECT_EQ(warnings(), 1u);
    EXPECT_NE(testsupport::ReadFile("Zendrix.log").find("rok 2024.50 je mimo platnost modelu WMM-2005"),
              std::string::npos);
    MAGFIELD_WmmResetSpanWarning();
    Field(50.0f, 15.0f, 500000.0f, 2004.9f);
    EXPECT_EQ(warnings(), 2u);
    std::filesystem::current_path(previous);
}
