// Ground stations: "Ground.cfg" with its messages and defaults, the
// observation geometry against closed forms, and the label.
#include <gtest/gtest.h>
#include <cmath>
#include <cstring>
#include <random>
#include <string>
#include "foundation/iotxt.h"
#include "foundation/log.h"
#include "simulation/ground.h"
#include "simulation/orbit.h"
#include "simulation/satelit.h"
#include "simulation/sats.h"
#include "tests/foundation/iotxt_test_support.h"
#include "tests/simulation/program_run.h"

namespace {

using iotxttest::LogText;
using iotxttest::ScopedFile;

constexpr double kPi = 3.14159265358979323846;
constexpr double kRe = GROUND_EARTH_RADIUS;

class GroundLoadTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        LOG_Init();
        IOTXT_Init();
        SATS_Init();
        GROUND_Init();
    }
    void TearDown() override
    {
        GROUND_Done();
        SATS_Cleanup();
    }
    uint32_t Load(const std::string& text)
    {
        ScopedFile file("Ground.cfg", text);
        return GROUND_Load();
    }
    // Loads a file that must fail and returns whether the log holds the message.
    bool FailsWith(const std::string& text, const std::string& message)
    {
        LOG_Init();
        GROUND_FreeAll();
        if (Load(text) != 0u) return false;
        return LogText().find(message) != std::string::npos;
    }
};

std::string Station(const std::string& body, const std::string& name = "Ondřejov")
{
    return "station \"" + name + "\"\n" + body + "end\n";
}

TEST_F(GroundLoadTest, StationsKeepFileOrderDefaultsAndAreFoundWithoutCase)
{
    EXPECT_EQ(GROUND_Load(), 1u);   // no file: no stations
    EXPECT_EQ(GROUND_GetFirst(), nullptr);
    ASSERT_EQ(Load("; two stations\n" + Station("  longitude = 14.78\n  latitude = 49.91\n") +
                   Station("  longitude = -180\n  latitude = 90 ; the pole\n  antenna_angle = 12.5\n"
                           "  altitude_draw_correction = 0.3\n  draw_observer_line = yes\n"
                           "  observer_line_color = rgb(1, 2, 3)\n",
                           "North")),
              1u);
    GROUND_STATION* first = GROUND_FindStation("ONDřEJOV");
    ASSERT_EQ(first, GROUND_GetFirst());
    EXPECT_EQ(first->antennaAngle, 30.0);
    EXPECT_EQ(first->satellite, nullptr);   // no satellites in this run
    GROUND_STATION* north = first->next;
    ASSERT_EQ(north, GROUND_FindStation("north"));
    EXPECT_EQ(north->latitude, 90.0);
    EXPECT_EQ(north->antennaAngle, 12.5);
    EXPECT_EQ(north->observerLineColor.g, 2);
    const std::string defaultAngle = "nebyl určen vyzařovací úhel antény, použije se default hodnota 30 stupňů.\n";
    std::string log = LogText();
    EXPECT_EQ(log.find(defaultAngle), log.rfind(defaultAngle));
    EXPECT_NE(log.find(defaultAngle), std::string::npos);
}

// One case per message group: file and block structure, value lines, and the
// required values and ranges checked at the block's end.
TEST_F(GroundLoadTest, MalformedFilesFailWithTheirMessage)
{
    const struct { std::string text; const char* message; } cases[] = {
        {"\nstanice \"A\"\n", "GROUND: neznámé slovo na řádku 2.\n"},
        {"station A\n", "GROUND: očekává se název stanice na řádku 1.\n"},
        {"station \"A\" x\n", "GROUND: očekává se konec řádku na řádku 1.\n"},
        {"station \"A\"\n longitude = 1\n\n", "GROUND: přerušená definice pozemní stanice na řádku"},
        {"station \"A\"\n longitude = 1\n latitude = 2\nend x\n",
         "GROUND: za slovem 'end' se očekává konec řádku na řádku 4.\n"},
        {Station(" height = 1\n"), "GROUND: neznámé slovo v definici pozemní stanice na řádku 2.\n"},
        {Station(" longitude = 1\n longitude = 2\n"),
         "GROUND: zeměpisná délka stanice smí být určena jen jednou na řádku 3.\n"},
        {Station(" longitude 1\n"), "GROUND: očekávám rovnítko a určení zeměpisné délky stanice na řádku 2.\n"},
        {Station(" longitude = east\n"), "GROUND: chybné určení zaměpisné délky stanice na řádku 2.\n"},
        {Station(" latitude = x\n"), "GROUND: chybné určení zaměpisné šířky stanice na řádku 2.\n"},
        {Station(" antenna_angle = 1\n antenna_angle = 1\n"),
         "GROUND: vyzařovací úhel antény smí být určen jen jednou na řádku 3.\n"},
        {Station(" draw_ground_axes\n"), "GROUND: očekávám rovnítko a příznak kreslení pozemních os na řádku 2.\n"},
        {Station(" draw_ground_axes = yes no\n"), "GROUND: očekává se konec řádku na řádku 2.\n"},
        {Station(" altitude_draw_correction\n"), "GROUND: očekávám rovnítko a určení korekce výšky na řádku 2.\n"},
        {Station(" draw_observer_line = 7\n"), "GROUND: chybné určení příznaku kreslení linky k satelitu na řádku 2.\n"},
        {Station(" transmitter_cone_color = 5\n"), "GROUND: chybné určení barvy kuželu vysílače na řádku 2.\n"},
        {Station(" latitude = 1\n"), "GROUND: nebyla určena zeměpisná délka stanice.\n"},
        {Station(" longitude = 1\n"), "GROUND: nebyla určena zeměpisná šířka stanice.\n"},
        {Station(" longitude = 180.000001\n latitude = 0\n"), "GROUND: chybná hodnota zeměpisné délky stanice.\n"},
        {Station(" longitude = 0\n latitude = -90.000001\n"), "GROUND: chybná hodnota zeměpisné šířky stanice.\n"},
    };
    for (const auto& c : cases) EXPECT_TRUE(FailsWith(c.text, c.message)) << c.text;
    // A station read before the error stays in the list until the run ends.
    EXPECT_TRUE(FailsWith(Station(" longitude = 1\n latitude = 2\n antenna_angle = 5\n") + "bad\n",
                          "GROUND: neznámé slovo na řádku 6.\n"));
    EXPECT_NE(GROUND_GetFirst(), nullptr);
    // The range limits themselves are allowed.
    GROUND_FreeAll();
    EXPECT_EQ(Load(Station(" longitude = 180\n latitude = -90\n") + Station(" longitude = -180\n latitude = 90\n")),
              1u);
}

// ---------------------------------------------------------------- observation

struct FakeSatellite {
    SATELIT sat;
    FakeSatellite(const VEC3& position, const VEC3& velocity = VEC3{0, 0, 0})
    {
        memset(static_cast<void*>(&sat), 0, sizeof sat);
        testsupport::PlaceSatellite(&sat, position, velocity);
    }
};

GROUND_OBSERVATION ObserveFrom(double longitude, double latitude, const VEC3& satPosition,
                               const VEC3& velocity = VEC3{0, 0, 0})
{
    VEC3 p{};
    GROUND_PositionAt(longitude, latitude, 0.0, &p);
    FakeSatellite s(satPosition, velocity);
    GROUND_OBSERVATION o{};
    GROUND_Observe(&p, &s.sat, &o);
    return o;
}

// A station stands on the sphere of the orbit models at its latitude taken as
// geocentric, without a height. Given the geodetic latitude of a map, 50 deg,
// it stands 21.1 km poleward of that point of the WGS-84 ellipsoid and 12.5 km
// above it.
TEST(GroundPositionTest, LatitudeIsGeocentricOnTheSphereWithoutHeight)
{
    for (double latitude : {-89.0, -30.0, 0.0, 49.91, 90.0}) {
        VEC3 p{};
        GROUND_PositionAt(14.78, latitude, 0.0, &p);
        EXPECT_NEAR(VEC_Length(&p), 6378.135, 1e-9) << latitude;
        EXPECT_NEAR(asin(p.z / VEC_Length(&p)) * 180 / kPi, latitude, 1e-9) << latitude;
    }
    const double a = 6378.137, f = 1 / 298.257223563, e2 = f * (2 - f), phi = 50 * kPi / 180;
    const double n = a / sqrt(1 - e2 * sin(phi) * sin(phi));
    VEC3 station{};
    GROUND_PositionAt(0, 50, 0.0, &station);
    VEC3 fromMap{station.x - n * cos(phi), 0, station.z - n * (1 - e2) * sin(phi)};
    VEC3 north{-sin(phi), 0, cos(phi)}, up{cos(phi), 0, sin(phi)};
    EXPECT_NEAR(VEC_Dot(&fromMap, &north), 21.07, 0.01);
    EXPECT_NEAR(VEC_Dot(&fromMap, &up), 12.54, 0.01);
}

TEST(GroundObserveTest, OverheadTheFourQuartersTheHorizonAndThePole)
{
    GROUND_OBSERVATION up = ObserveFrom(0, 0, VEC3{kRe + 500, 0, 0});
    EXPECT_EQ(up.visible, 1u);
    EXPECT_NEAR(up.distance, 500.0, 1e-9);
    EXPECT_EQ(up.elevation, 90.0);
    EXPECT_EQ(up.azimuth, 0.0);
    EXPECT_NEAR(up.horizontal.z, 1.0, 1e-12);   // overhead: h is north

    struct Case {
        VEC3 offset;
        double azimuth;
    };
    const Case quarters[] = {{{100, 0, 1000}, 360.0}, {{100, 1000, 0}, 90.0}, {{100, 0, -1000}, 180.0},
                             {{100, -1000, 0}, 270.0}};
    for (const Case& c : quarters) {
        GROUND_OBSERVATION o = ObserveFrom(0, 0, VEC3{kRe + c.offset.x, c.offset.y, c.offset.z});
        EXPECT_NEAR(o.azimuth, c.azimuth, 1e-9);
        EXPECT_NEAR(o.elevation, atan2(100.0, 1000.0) * 180 / kPi, 1e-9);
        EXPECT_FALSE(std::isnan(o.azimuth));
    }
    // On the horizon plane: not visible, and nothing measured.
    GROUND_OBSERVATION flat = ObserveFrom(0, 0, VEC3{kRe, 3000, 0}, VEC3{0, -7, 0});
    EXPECT_EQ(flat.visible, 0u);
    EXPECT_EQ(flat.azimuth + flat.elevation + flat.distance + flat.rangeRate, 0.0);
    // At the north pole the station keeps the tiny offset from the axis that
    // cos 90 degrees leaves: north points away from its meridian's longitude.
    EXPECT_NEAR(ObserveFrom(0, 90, VEC3{-1000, 0, kRe + 100}).azimuth, 360.0, 1e-6);
    EXPECT_NEAR(ObserveFrom(0, 90, VEC3{0, 1000, kRe + 100}).azimuth, 90.0, 1e-6);
}

// A circular pass overhead at 500 km: at the station's horizon the line of sight
// meets the orbit at the angle whose cosine is Re / r.
TEST(GroundObserveTest, RangeRateAtTheHorizonOfAnOverheadPass)
{
    const double r = kRe + 500.0;
    const double v = sqrt(398600.4418 / r);
    const double phi = acos(kRe / r);   // orbit angle from the zenith to the horizon
    const double nudge = 1e-9;          // just above the horizon
    VEC3 s{r * cos(phi - nudge), r * sin(phi - nudge), 0};
    VEC3 approaching{v * sin(phi - nudge), -v * cos(phi - nudge), 0};
    GROUND_OBSERVATION o = ObserveFrom(0, 0, s, approaching);
    ASSERT_EQ(o.visible, 1u);
    EXPECT_NEAR(o.rangeRate, v * kRe / r * 1000.0, 1e-2);
    EXPECT_NEAR(o.rangeRate, 7059.0, 1.0);
    EXPECT_NEAR(o.azimuth, 90.0, 1e-6);
    EXPECT_NEAR(o.elevation, 0.0, 1e-4);
}

TEST(GroundObserveTest, RandomGeometriesAgreeWithTheLocalFrame)
{
    std::mt19937 rng(7);
    std::uniform_real_distribution<double> lon(-180, 180), lat(-85, 85), off(-3000, 3000);
    int checked = 0;
    for (int i = 0; i < 200; ++i) {
        double lo = lon(rng), la = lat(rng);
        VEC3 p{};
        GROUND_PositionAt(lo, la, 0.0, &p);
        VEC3 up = p;
        VEC_Normalize(&up);
        VEC3 east{-sin(lo * kPi / 180), cos(lo * kPi / 180), 0};
        VEC3 north{};
        VEC_Cross(&up, &east, &north);
        VEC3 d{off(rng), off(rng), off(rng)};
        VEC3 s{p.x + d.x, p.y + d.y, p.z + d.z};
        GROUND_OBSERVATION o = ObserveFrom(lo, la, s);
        double dLength = VEC_Length(&d);
        if (VEC_Dot(&d, &up) <= 0) {
            EXPECT_EQ(o.visible, 0u);
            continue;
        }
        ++checked;
        EXPECT_NEAR(o.distance, dLength, 1e-9);
        EXPECT_NEAR(o.elevation, asin(VEC_Dot(&d, &up) / dLength) * 180 / kPi, 1e-7);
        double az = atan2(VEC_Dot(&d, &east), VEC_Dot(&d, &north)) * 180 / kPi;
        if (az <= 0) az += 360;
        EXPECT_NEAR(o.azimuth, az, 1e-6);
    }
    EXPECT_GT(checked, 50);
}

TEST(GroundObserveTest, ObservingForDataOutputLeavesTheStationsOwnViewAlone)
{
    GROUND_STATION station{};
    GROUND_PositionAt(0, 0, 0.0, &station.position);
    station.horizontal = VEC3{1, 2, 3};
    station.north = VEC3{4, 5, 6};
    FakeSatellite s(VEC3{kRe + 100, 1000, 0});
    double az = 0, el = 0, dist = 0, rate = 0;
    uint32_t visible = 0;
    GROUND_ObserveSatellite(&station, &s.sat, &az, &el, &dist, &rate, &visible);
    EXPECT_EQ(visible, 1u);
    EXPECT_NEAR(az, 90.0, 1e-9);
    EXPECT_EQ(station.horizontal.x, 1.0);
    EXPECT_EQ(station.north.z, 6.0);
}

TEST(GroundLabelTest, ThreeFormsAndLongNamesAreCut)
{
    GROUND_STATION station{};
    std::string longName(400, 'N');
    station.name = longName.data();
    char text[GROUND_LABEL_SIZE];
    GROUND_FormatLabel(&station, text, sizeof text);
    EXPECT_EQ(std::string(text), std::string(100, 'N'));

    FakeSatellite s(VEC3{0, 0, 0});
    std::string satName(400, 'S');
    s.sat.name = satName.data();
    station.drawnSatellite = &s.sat;
    station.drawnVisible = 1;
    station.drawnAzimuth = 90.04;
    station.drawnElevation = 12.36;
    station.drawnDistance = 1234.56;
    station.drawnRangeRate = -7000.0;
    GROUND_FormatLabel(&station, text, sizeof text);
    std::string visible = text;
    EXPECT_NE(visible.find(": Sat:SSS"), std::string::npos);
    EXPECT_NE(visible.find(" Az=90.0deg El=12.4deg Dist=1234.6km v=-7000.0m/s"), std::string::npos);
    station.drawnVisible = 0;
    GROUND_FormatLabel(&station, text, sizeof text);
    EXPECT_NE(std::string(text).find("S  satelit pod obzorem"), std::string::npos);
}


using GroundRunTest = ProgramRunTest;

TEST_F(GroundRunTest, FailedGroundLoadEndsTheProgramWithoutLeaks)
{
    WriteMultipass("00:01");
    Write("Objects.cfg", Satellite("S"));
    Write("Ground.cfg", Station(" longitude = 1\n latitude = 2\n") + "station \"B\"\n longitude = 1\n");
    EXPECT_EQ(Run(), 1);
    EXPECT_NE(Log().find("GROUND: přerušená definice pozemní stanice"), std::string::npos) << Log();
    ExpectNoLeak();
}

}  // namespace
