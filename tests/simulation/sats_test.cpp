// Satellites: the "satelit" block of Objects.cfg with its messages, the list
// operations, and the orbit and environment step.
#include <gtest/gtest.h>
#include <cmath>
#include <functional>
#include <set>
#include <string>
#include "foundation/iotxt.h"
#include "foundation/log.h"
#include "foundation/memory.h"
#include "foundation/pool.h"
#include "foundation/time.h"
#include "models/magfield.h"
#include "models/sgp_tle.h"
#include "simulation/main.h"
#include "simulation/massmodel.h"
#include "simulation/orbit.h"
#include "simulation/raster.h"
#include "simulation/surfmodel.h"
#include "simulation/satelit.h"
#include "simulation/sats.h"
#include "tests/foundation/iotxt_test_support.h"
#include "tests/support/test_support.h"

namespace {

using iotxttest::LogText;
using iotxttest::ScopedFile;

constexpr double kPi = 3.14159265358979323846;

class SatsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        LOG_Init();
        IOTXT_Init();
        testsupport::InstallModelPair(MEMORY_ProgramDirectory());
        g_simClock.clock = g_simClock.runStart = testsupport::MsOf(2006, 1, 1);
        g_orbit = ORBIT_RUN_STATE{};  // Earth angle 0: longitudes are ECI angles
        SATS_Init();
    }
    void TearDown() override { SATS_Cleanup(); }

    // Loads an Objects.cfg made of the given text.
    uint32_t Load(const std::string& text)
    {
        ScopedFile file("Objects.cfg", text);
        return SATS_Load();
    }
};

std::string KeplerBlock(const std::string& name, const std::string& extra = "")
{
    return "satelit\n  name = \"" + name +
           "\"\n  orbit_model = SIMPLE_KEPLER\n  kepler_meanmotion = 15.5\n  kepler_inclination = 30\n" + extra +
           testsupport::kModelPairLines + "end\n";
}

// A circular orbit in a homogeneous field of 30000 nT along the magnetic z axis.
std::string KeplerSat() { return KeplerBlock("Alpha", "  magnetic_field_model = HOMOGENOUS, VECTOR(0, 0, 30000)\n"); }

TEST_F(SatsTest, ListKeepsFileOrderAndWalksCyclically)
{
    ASSERT_EQ(Load(KeplerBlock("First") + "; a comment between blocks\n" + KeplerBlock("Second")), 1u);
    SATELIT* first = SATS_GetFirst();
    ASSERT_NE(first, nullptr);
    SATELIT* second = SATS_GetNext(first);
    EXPECT_STREQ(first->name, "First");
    EXPECT_STREQ(second->name, "Second");
    EXPECT_EQ(SATS_GetNext(second), first);
    EXPECT_EQ(SATS_GetPrevious(first), second);
    EXPECT_EQ(SATS_FindByName("sECOND"), second);
    EXPECT_EQ(SATS_FindByName("Third"), nullptr);
    EXPECT_EQ(SATS_MinOrbitStep(), 30000u);
    std::string log = LogText();
    EXPECT_NE(log.find("Satelit: First\n"), std::string::npos);
    EXPECT_NE(log.find("Satelit: Second\n"), std::string::npos);
}

TEST_F(SatsTest, MissingFileIsReportedAndAnEmptyOneLoadsNoSatellite)
{
    EXPECT_EQ(SATS_Load(), 0u);
    EXPECT_NE(LogText().find("SATS: konfigurační soubor \"Objects.cfg\" nelze otevřít"), std::string::npos);
    ASSERT_EQ(Load("; nothing here\n"), 1u);
    EXPECT_EQ(SATS_GetFirst(), nullptr);
    EXPECT_EQ(SATS_MinOrbitStep(), 0xFFFFFFFFu);
    EXPECT_EQ(SATS_MinModulePeriod(), 0xFFFFFFFFu);
}

// Every message of the block with its line; an empty message means the block loads.
TEST_F(SatsTest, BlockMessagesNameTheirLine)
{
    const struct { const char* body; const char* message; } cases[] = {
        {"  orbit_model = SIMPLE_KEPLER\n  kepler_inclination = 180\n",
         "SAT: parametr INKLINACE na řádku 4 je mimo rozsah <0;180).\n"},
        {"  orbit_model = SIMPLE_KEPLER\n  kepler_inclination = 179.999\n", ""},
        {"  orbit_model = SIMPLE_KEPLER\n  kepler_excentricity = 1\n",
         "SAT: parametr EXCENTRICITA na řádku 4 je mimo rozsah <0;1).\n"},
        {"  orbit_model = NEWTON\n  kepler_raan = 5\n  position_vector = VECTOR(7000, 0, 0)\n",
         "SAT: stavové proměnné satelitu už byly určeny pomocí kepleriánů na řádku 5.\n"},
        {"  tle = \"x.tle\"\n  kepler_raan = 5\n",
         "SAT: stavové proměnné satelitu už byly určeny pomocí TLE na řádku 4.\n"},
        {"  orbit_model = SGP4\n", "SAT: pro satelit \"S\" nebyly zadány výchozí parametry.\n"},
        {"  kepler_meanmotion = 15\n", "SAT: satelit \"S\" nemá určený model ¨pro počítání dráhy.\n"},
        {"  orbit_model = SIMPLE_KEPLER\n  kepler_meanmotion = 0\n",
         "SAT: chybně zadaný parametr MEAN MOTION na řádku 4.\n"},
        {"  orbit_model = SIMPLE_KEPLER\n  kepler_raan = 5\n  kepler_raan = 6\n",
         "SAT: parametr RAAN nelze zadat vícekrát na řádku 5.\n"},
        {"  angular_velocity = RAD_PER_SECOND(1)\n",
         "SAT: před rychlostí rotace je nutno určit osu rotace satelitu na řádku 3 konfiguračního souboru.\n"},
        {"  rotation_axis = VECTOR(0, 0, 0)\n",
         "SAT: určení počáteční osy rotace satelitu na řádku 3 konfiguračního souboru je chybné.\n"},
        {"  light_time_accuracy = 90s\n", "SAT: parametr intervalu sledování světla na řádku 3 je mimo rozsah.\n"},
        {"  attitude = EULER_ANGLES(360, 0, 0)\n",
         "SAT: úhel pootočení ROLL na řádku 3 je mimo rozsah (-360;360).\n"},
        {"  attitude = AXIS_ROTATION(0, 0, 0, 90)\n",
         "SAT: určení počáteční orientace satelitu na řádku 3 konfiguračního souboru je chybné.\n"},
        {"  attitude = DCM_MATRIX(1, 0, 0, 0, 1, 0, 0, 0, -1)\n",
         "SAT: zadaná matice nesplňuje podmínky pro rotační matici na řádku 3.\n"},
        {"  position_vector = SPHERICAL(1, 2, 3)\n", "SAT: Chybné určení vektoru na řádce 3.\n"},
        {"  name \"T\"\n", "SAT: očekávám rovnítko na řádku 3.\n"},
        {"  track_line = YES extra\n", "SAT: očekávám konec řádku na řádku 3.\n"},
        {"  orbit_model = SGP4\n  tle = \"/nonexistent.tle\"\n",
         "SAT: pro satelit \"S\" nelze načíst TLE soubor \"/nonexistent.tle\".\n"},
        {"  graphics_model = SPHERE, 0.5, rgb(1, 2, 3)\n  graphics_model = SPHERE, 0.5, rgb(1, 2, 3)\n",
         "SAT: grafický model již byl určen na řádku 4.\n"},
        {"  graphics_model = SPHERE, 6000, rgb(1, 2, 3)\n", "SAT: chybná hodnota poloměru na řádku 3.\n"},
        {"  magnetic_torque = ON\n  orbit_model = SIMPLE_KEPLER\n  kepler_meanmotion = 15\n",
         "nemá určený zbytkový magnetický moment"},
        {"  internal_b_dot_controller = 5000, 0.02, 0.02, 0.02, 1s\n"
         "  internal_b_dot_controller = 5000, 0.02, 0.02, 0.02, 1s\n",
         "SAT: konfigurace B-dot regulátoru už byl zadána na řádku 4 konfiguračního souboru.\n"},
        {"  internal_b_cross_controller = 1, -1, 1, 1, 1s\n",
         "SAT: b-cross regulátor byl specifikován nesprávně na řádku 3 konfiguračního souboru.\n"}};
    for (const auto& c : cases) {
        LOG_Init();  // each case is judged by its own messages
        uint32_t loaded = Load(std::string("satelit\n  name = \"S\"\n") + c.body + testsupport::kModelPairLines + "end\n");
        std::string log = LogText();
        EXPECT_EQ(loaded, c.message[0] ? 0u : 1u) << c.body << log;
        if (c.message[0]) {
            EXPECT_NE(log.find(c.message), std::string::npos) << log;
        }
    }
}

TEST_F(SatsTest, BlockWithoutNameOrEndFailsAndAnUnknownWordIsSkipped)
{
    EXPECT_EQ(Load("satelit\n  orbit_model = NEWTON\nend\n"), 0u);
    EXPECT_NE(LogText().find("SATS: satelit musí být pojmenován.\n"), std::string::npos);
    EXPECT_EQ(Load("satelit\n  name = \"S\"\n\n"), 0u);
    EXPECT_NE(LogText().find("SATS: definice satelitu není dokončena na řádce 3.\n"), std::string::npos);
    ASSERT_EQ(Load(KeplerBlock("S", "  colour_of_paint = blue\n")), 1u);
    EXPECT_NE(LogText().find("SAT: neznámé slovo na řádku 6 konfiguračního souboru.\n"), std::string::npos);
}

// ---- mass models -------------------------------------------------------------------

std::string BlockWithModels(const std::string& name, const std::string& models)
{
    return "satelit\n  name = \"" + name + "\"\n  orbit_model = SIMPLE_KEPLER\n  kepler_meanmotion = 15.5\n" + models +
           "end\n";
}

// Each model is required, named once per satellite and a failed load names its
// line; a mass model whose tensor is singular cannot start the satellite.
TEST_F(SatsTest, ModelsAreRequiredNamedOnceAndReportedWhenTheyFail)
{
    ScopedFile line("line.mass", "object \"boom\", LINE\n A = 0 m, 0 m, 0 m\n B = 1 m, 0 m, 0 m\n MASS = 1 kg\nend\n");
    const std::string pair = testsupport::kModelPairLines;
    const struct { std::string models; const char* message; } cases[] = {
        {"  mass_model \"cube\", \"cube.mass\"\n",
         "SAT: satelit \"S\" nemá určený žádný model povrchu pro výpočty tlaku slunečního záření a odporu atmosféry.\n"},
        {pair + "  surface_model = \"Cube\", \"cube.surf\"\n", "SAT: název povrchového modelu byl již použit na řádku 7.\n"},
        {"  surface_model \"s\", \"cube.surf\"\n",
         "SURFMODEL: očekává se rovnítko a název modelu na řádku 5.\n"
         "SAT: načtení modelu povrchu tělesa bylo neúspěšné na řádku 5.\n"},
        {"  surface_model = \"cube\", \"cube.surf\"\n",
         "SAT: satelit \"S\" nemá určený žádný model hmoty pro výpočty rotace a orientace.\n"},
        {pair + "  mass_model \"CUBE\", \"cube.mass\"\n", "SAT: název hmotného modelu byl již použit na řádku 7.\n"},
        {"  mass_model \"m\", \"none.mass\"\n",
         "MASSMODEL: souboru \"none.mass\" s definicí hmotného modelu nebyl nalezen na řádku 5.\n"
         "SAT: načtení modelu hmoty tělesa bylo neúspěšné na řádku 5.\n"},
        {"  mass_model \"rod\", \"line.mass\"\n  surface_model = \"cube\", \"cube.surf\"\n",
         "SATELIT: model hmoty pro satelit S má singulární tenzor setrvačnosti"},
    };
    for (const auto& c : cases) {
        LOG_Init();
        EXPECT_EQ(Load(BlockWithModels("S", c.models)), 0u) << c.message;
        EXPECT_NE(LogText().find(c.message), std::string::npos) << LogText();
    }
}

// The first satellite computes its model; the second names the same file in
// another letter case and takes the results over.
TEST_F(SatsTest, SatellitesShareTheMassModelOfOneFile)
{
    ASSERT_EQ(Load(KeplerBlock("First") +
                   BlockWithModels("Second", "  mass_model \"other\", \"Cube.Mass\"\n"
                                             "  surface_model = \"cube\", \"cube.surf\"\n")),
              1u)
        << LogText();
    std::string log = LogText();
    size_t got = log.find("Got COG\nGot IT\n");
    EXPECT_NE(got, std::string::npos) << log;
    EXPECT_EQ(log.find("Got COG", got + 1), std::string::npos) << log;
    SATELIT* first = SATS_GetFirst();
    SATELIT* second = SATS_GetNext(first);
    for (int i = 0; i < 9; ++i) EXPECT_EQ(first->attitude.inertia.m[i], second->attitude.inertia.m[i]);
    EXPECT_NEAR(first->attitude.inertia.m[0], 0.0017346938775510, 1e-15);
    EXPECT_EQ(second->massModelInUse->objects->inertiaComputed, 0u);  // its elements were never evaluated
}

// Each value form is converted on load; a zero quaternion falls back to identity.
TEST_F(SatsTest, ValueFormsAreConvertedAndASecondNameReplacesTheFirst)
{
    ASSERT_EQ(Load(KeplerBlock("Old",
                               "  name = \"New\"\n"
                               "  attitude = QUATERNION(0, 0, 0, 0)\n"
                               "  rotation_axis = VECTOR(0, 0, 2)\n"
                               "  angular_velocity = REV_PER_MINUTE(1)\n"
                               "  light_time_accuracy = 86399ms\n"
                               "  kepler_dot_mean_motion = PER_DAY(86.4)\n"
                               "  energy_damping = JOULE_PER_RAD(2)\n"
                               "  distance_border = 1000, rgb(1, 2, 3)\n"
                               "  track_color = rgb(9, 8, 7)\n")),
              1u);
    SATELIT* s = SATS_GetFirst();
    EXPECT_STREQ(s->name, "New");
    EXPECT_DOUBLE_EQ(s->initialAttitude.w, 1.0);
    EXPECT_DOUBLE_EQ(s->initialAngularVelocity.z, 2.0 * kPi / 60.0);
    EXPECT_EQ(s->lightTimeAccuracy, 86399u);
    EXPECT_DOUBLE_EQ(s->kepler.kepler_dot_mean_motion, 0.001);
    EXPECT_DOUBLE_EQ(s->energyDamping, 2.0);
    EXPECT_EQ(s->distanceBorderCount, 1);
    EXPECT_EQ(s->trackColor.r, 9);
}

TEST_F(SatsTest, NinthDistanceBorderIsRefusedBeforeItsValue)
{
    std::string borders;
    for (int i = 0; i < 8; ++i) borders += "  distance_border = 100, rgb(1, 1, 1)\n";
    borders += "  distance_border = garbage\n";
    EXPECT_EQ(Load(KeplerBlock("S", borders)), 0u);
    EXPECT_NE(LogText().find("SAT: překročen maximální počet zobrazovaných oblastí max. vzdálenosti na řádku 14.\n"),
              std::string::npos);
}

// ---- the step ---------------------------------------------------------------------

// The element-set file is named as on Windows: a backslash and another letter
// case. Between two orbit steps the satellite is where SGP4 puts it at that
// time, to well under a metre: the curve through the grid points is read, the
// propagator is not called again.
TEST_F(SatsTest, BetweenOrbitStepsAnSgpSatelliteIsWhereThePropagatorPutsIt)
{
    ScopedFile tle("Near.TLE",
                   "LEO-DEMO\n"
                   "1 90001U 06001A   06001.00000000  .00002000  00000-0  30000-4 0  9993\n"
                   "2 90001  51.6400 100.0000 0007000  90.0000 270.0000 15.72000000  1000\n");
    std::string dir = tle.path.substr(0, tle.path.rfind('/'));
    ASSERT_EQ(Load("satelit\n name = \"N\"\n orbit_model = SGP4\n tle = \"" + dir + "\\near.tle\"\n" +
                   testsupport::kModelPairLines + "end\n"),
              1u)
        << LogText();
    SATELIT* s = SATS_GetFirst();
    g_simClock.clock += 3600000;
    SATELIT_Step(s);
    for (TIME_MS offset : {0, 1, 7000, 15000, 22999, 29999}) {
        SAT_STATE state;
        SATELIT_StateAt(s, g_simClock.clock + offset, &state);
        SYSTEMTIME st{};
        TIME_MsToSystemTime(g_simClock.clock + offset, &st);
        double p[4], v[4];
        SGP_Propagate(1, TIME_SystemTimeToJulianDate(&st), &s->elements, p, v);
        VEC3 expected{p[0], p[1], p[2]}, expectedVelocity{v[0], v[1], v[2]};
        EXPECT_LT(VEC_Distance(&state.position, &expected), 1e-3) << offset;
        EXPECT_LT(VEC_Distance(&state.velocity, &expectedVelocity), 1e-4) << offset;
    }
}

TEST_F(SatsTest, GeocentricPositionOfKnownPoints)
{
    struct { VEC3 p; double lon, lat; } points[] = {
        {{7000, 0, 0}, 0.0, 0.0},
        {{0, 7000, 0}, 90.0, 0.0},
        {{-7000, 1e-9, 0}, 180.0, 0.0},      // just west of -180 comes out just below 180
        {{0, 0, 7000}, 0.0, 90.0},
        {{3500, 0, -3500}, 0.0, -45.0},
    };
    for (const auto& pt : points) {
        double lon, lat, alt;
        SATELIT_Geocentric(&pt.p, 0.0, &lon, &lat, &alt);
        EXPECT_NEAR(lon, pt.lon, 1e-6);
        EXPECT_NEAR(lat, pt.lat, 1e-6);
        EXPECT_NEAR(alt, VEC_Length(&pt.p) - 6378.135, 1e-6);
        EXPECT_GE(lon, -180.0);
        EXPECT_LT(lon, 180.0);
        SATELIT_Geocentric(&pt.p, 30.0, &lon, &lat, &alt);   // the Earth turned on by 30 degrees
        EXPECT_NEAR(std::remainder(lon - (pt.lon - 30.0), 360.0), 0.0, 1e-6);
    }
}

// The magnetic frame is the local geodetic north-east-down frame: on the
// equator north is +z; at 45 degrees geocentric latitude "down" leans
// from the Earth's centre toward the equator by the difference of the
// geodetic and the geocentric latitude, about 0.19 degrees at 700 km.
TEST_F(SatsTest, MagneticFrameIsTheLocalGeodeticNorthEastDown)
{
    ASSERT_EQ(Load(KeplerSat()), 1u);
    SATELIT* s = SATS_GetFirst();
    s->orbitModel = ORBIT_MODEL_NONE;  // read where the test places it
    SAT_STATE state;
    testsupport::PlaceSatellite(s, VEC3{7000, 0, 0}, VEC3{0, 0, 0}, VEC3{0, 0, 30000});
    SATELIT_StateAt(s, g_simClock.clock, &state);
    EXPECT_NEAR(state.fieldMag.x, 30000.0, 1e-6);
    EXPECT_NEAR(state.fieldMag.y, 0.0, 1e-6);
    EXPECT_NEAR(state.fieldMag.z, 0.0, 1e-6);
    double r = 7078.135 / std::sqrt(2.0), latitude, height;
    VEC3 p{r, 0, r};
    testsupport::PlaceSatellite(s, p, VEC3{0, 0, 0}, VEC3{-1000 * p.x / 7078.135, 0, -1000 * p.z / 7078.135});
    SATELIT_StateAt(s, g_simClock.clock, &state);
    MAGFIELD_GeodeticFromAxial(r, r, &latitude, &height);
    double tilt = (latitude - 45.0) * kPi / 180.0;
    EXPECT_GT(latitude - 45.0, 0.15);
    EXPECT_LT(latitude - 45.0, 0.25);
    EXPECT_NEAR(state.fieldMag.z, 1000.0 * std::cos(tilt), 1e-6);   // a field toward the centre is mostly down
    EXPECT_NEAR(state.fieldMag.x, 1000.0 * std::sin(tilt), 1e-6);   // and a little north of it
}

TEST_F(SatsTest, IlluminationInSunlightShadowAndBelowTheSurface)
{
    VEC3 sun{1.496e8, 0, 0};
    auto at = [&](VEC3 p) { return SATELIT_Illumination(&p, &sun); };
    EXPECT_DOUBLE_EQ(at(VEC3{7000, 0, 0}), 100.0);
    EXPECT_DOUBLE_EQ(at(VEC3{-7000, 0, 0}), 0.0);
    double partial = at(VEC3{-7000, 6378.135 * 1.0003, 0});  // grazing the shadow's edge
    EXPECT_GT(partial, 0.0);
    EXPECT_LT(partial, 100.0);
    EXPECT_DOUBLE_EQ(at(VEC3{-100, 0, 0}), 0.0);  // inside the Earth
}

TEST_F(SatsTest, LightRatioWaitsForWholeLightAndShadowPeriods)
{
    ASSERT_EQ(Load(KeplerSat()), 1u);
    SATELIT* s = SATS_GetFirst();
    s->lightState = 0;
    auto feed = [&](double illumination, int64_t advance) {
        g_simClock.clock += advance;
        SATELIT_UpdateLightDarkTimer(s, illumination);
    };
    feed(100, 0);      // state 1, ratio 100
    feed(0, 1000);     // shadow starts: timed from here
    EXPECT_DOUBLE_EQ(s->lightRatio, 100.0);
    feed(100, 2000);   // shadow of 2000 ms
    EXPECT_DOUBLE_EQ(s->shadowDuration, 2000.0);
    EXPECT_DOUBLE_EQ(s->lightRatio, 100.0);
    feed(0, 6000);     // light of 6000 ms
    EXPECT_DOUBLE_EQ(s->lightDuration, 6000.0);
    EXPECT_DOUBLE_EQ(s->lightRatio, 75.0);
}

// Steps a loaded satellite as the scheduler does, its orbit on its grid and
// its attitude every 10 ms, for the given time.
void Fly(SATELIT* s, TIME_MS duration, const std::function<void()>& afterEachUpdate)
{
    for (TIME_MS end = g_simClock.clock + duration; g_simClock.clock < end;) {
        g_simClock.clock += 10;
        if (g_simClock.clock >= s->orbitPoints[1].time) {
            SATELIT_Step(s);
            s->lastOrbitTime = g_simClock.clock;
        }
        SATELIT_UpdateAttitude(s);
        afterEachUpdate();
    }
}

// The attitude reads the field at its own time: across the orbit steps the
// body-frame field of a satellite at rest moves on by well under a nanotesla
// per 10 ms update (it turned through some 2,000 nT at each step when the
// field was held between them).
TEST_F(SatsTest, FieldSeenByTheAttitudeHasNoJumpAtOrbitSteps)
{
    ASSERT_EQ(Load(KeplerBlock("Alpha", "  magnetic_field_model = REAL\n")), 1u) << LogText();
    SATELIT* s = SATS_GetFirst();
    VEC3 previous = s->fieldBody;
    double largest = 0.0;
    Fly(s, 95000, [&] {
        largest = std::max(largest, VEC_Distance(&previous, &s->fieldBody));
        previous = s->fieldBody;
    });
    EXPECT_EQ(s->orbitStepCount, 4u);
    EXPECT_GT(largest, 0.05);
    EXPECT_LT(largest, 1.0);
}

// Light and shadow are timed at the orbit steps: both periods are whole
// multiples of the orbit step, while the illumination a reader sees changes
// in between.
TEST_F(SatsTest, LightAndShadowAreTimedOnTheOrbitGrid)
{
    ASSERT_EQ(Load(KeplerSat()), 1u);
    SATELIT* s = SATS_GetFirst();
    std::set<double> seen;
    Fly(s, 3 * 5574000, [&] {
        if (g_simClock.clock % 1000) return;
        SAT_STATE state;
        SATELIT_StateAt(s, g_simClock.clock, &state);
        if (state.illumination > 0.0 && state.illumination < 100.0) seen.insert(state.illumination);
    });
    ASSERT_GT(s->lightDuration, 0.0);
    ASSERT_GT(s->shadowDuration, 0.0);
    EXPECT_EQ(std::fmod(s->lightDuration, 30000.0), 0.0);
    EXPECT_EQ(std::fmod(s->shadowDuration, 30000.0), 0.0);
    EXPECT_NEAR(s->lightRatio, 100.0 * s->lightDuration / (s->lightDuration + s->shadowDuration), 1e-9);
    EXPECT_GT(seen.size(), 5u);   // the partial shadow at the edges, second by second
}

VEC3 PositionNow(const SATELIT* s)
{
    SAT_STATE state;
    SATELIT_StateAt(s, g_simClock.clock, &state);
    return state.position;
}

TEST_F(SatsTest, NewtonOrbitFollowsKeplerOverOneRevolution)
{
    ASSERT_EQ(Load(std::string("satelit\n name = \"N\"\n orbit_model = NEWTON\n"
                               " position_vector = VECTOR(7000, 0, 0)\n velocity_vector = VECTOR(0, 5.0, 5.0)\n") +
                   testsupport::kModelPairLines + "end\n"
                   "satelit\n name = \"K\"\n orbit_model = SIMPLE_KEPLER\n"
                   " position_vector = VECTOR(7000, 0, 0)\n velocity_vector = VECTOR(0, 5.0, 5.0)\n" +
                   testsupport::kModelPairLines + "end\n"),
              1u)
        << LogText();
    SATELIT* newton = SATS_GetFirst();
    SATELIT* kepler = SATS_GetNext(newton);
    EXPECT_EQ(newton->orbitPeriod, 200u);
    VEC3 start{7000, 0, 0};
    SATELIT_Step(newton);  // stepped at its start time: must not move
    VEC3 now = PositionNow(newton);
    EXPECT_DOUBLE_EQ(VEC_Distance(&start, &now), 0.0);
    double maxDistance = 0.0;
    for (int step = 0; step < 5830 * 5; ++step) {  // about one revolution in 200 ms steps
        g_simClock.clock += 200;
        SATELIT_Step(newton);
        newton->lastOrbitTime = g_simClock.clock;
        if (step % 150 == 0) {
            SATELIT_Step(kepler);
            VEC3 a = PositionNow(newton), b = PositionNow(kepler);
            maxDistance = std::max(maxDistance, VEC_Distance(&a, &b));
        }
    }
    EXPECT_LT(maxDistance, 5.0);
}

// The Moon pulls the Earth almost as hard as a low satellite: only the
// difference moves the orbit. The direct pull alone would drift it by about
// 0.5 * 3.3e-5 m/s^2 * (86400 s)^2, over 100 km a day.
TEST(SatelitNewton, MoonActsByItsTidalDifference)
{
    VEC3 moon{384400.0, 0, 0};
    VEC3 satellite{7000.0, 0, 0};
    VEC3 tidal, direct;
    SATELIT_ThirdBodyAcceleration(&satellite, &moon, 7.347673e22, &tidal);
    SATELIT_PointMassGravity(&satellite, &moon, 7.347673e22, &direct);
    EXPECT_GT(VEC_Length(&direct), 3e-5);
    EXPECT_LT(VEC_Length(&tidal), 2e-6);
    EXPECT_GT(0.5 * VEC_Length(&direct) * 86400.0 * 86400.0 / 1000.0, 100.0);
    EXPECT_LT(0.5 * VEC_Length(&tidal) * 86400.0 * 86400.0 / 1000.0, 10.0);
}

// The field history starts at index 1 and never holds more than 100 entries;
// the orbit history restarts empty when toggled off and on. The circular
// orbit keeps its radius meanwhile.
TEST_F(SatsTest, HistoriesStayBoundedAndRestartEmpty)
{
    ASSERT_EQ(Load(KeplerBlock("S", "  mag_vector_history = ON\n  draw_history = ON\n")), 1u);
    SATELIT* s = SATS_GetFirst();
    EXPECT_EQ(s->fieldHistoryCount, 1);
    EXPECT_EQ(s->fieldHistoryNewest, 1);
    VEC3 p = PositionNow(s);
    double r0 = VEC_Length(&p);
    for (int i = 0; i < 500; ++i) {
        g_simClock.clock += 30000;
        SATELIT_Step(s);
        p = PositionNow(s);
        EXPECT_NEAR(VEC_Length(&p), r0, 1e-6);
    }
    EXPECT_EQ(s->fieldHistoryCount, 100);
    EXPECT_GT(s->historyCount, 5u);
    SATELIT_ToggleHistory(s);
    EXPECT_EQ(s->historyBuffer, nullptr);
    SATELIT_ToggleHistory(s);
    EXPECT_EQ(s->historyCount, 0u);
    EXPECT_EQ(s->historyCapacity, 400u);
}

// A satellite holds the triangle lists of its last projections; freeing it
// returns them, and the run's clean-up (harmless when repeated) frees every
// model, record, buffer and the raster.
TEST_F(SatsTest, NothingStaysAllocatedAfterARunWithHeldProjections)
{
    SATS_Cleanup();
    POOL_Done();
    uint32_t before = MEMORY_LiveBlockCount();
    SATS_Init();
    ASSERT_EQ(Load(KeplerSat() + KeplerBlock("Second")), 1u);
    EXPECT_NE(RASTER_GetBuffer(), nullptr);  // prepared by the started surface models
    MAT33 identity;
    MAT_Identity(&identity);
    VEC3 d{0, 0, 1}, u{1, 0, 0}, v{0, 1, 0};
    for (SATELIT* s = SATS_GetFirst(); s; s = s->next) {
        for (SAT_PROJECTION_BLOCK* block : {&s->sunProjection, &s->dragProjection}) {
            SURFMODEL_RasterizeProjection(s->surfaceModelInUse, &identity, &d, &u, &v);
            block->triangles = RASTER_TakeRecording();
            ASSERT_NE(block->triangles, nullptr);
            EXPECT_EQ(block->triangles->count, 12u);
        }
    }
    double area;
    RASTER_GetArea(&area);
    EXPECT_NEAR(area, 0.01, 0.01 * 0.005);
    SATS_Cleanup();
    EXPECT_EQ(RASTER_GetBuffer(), nullptr);
    SATS_Cleanup();  // a second clean-up is harmless
    EXPECT_EQ(SATS_GetFirst(), nullptr);
    POOL_Done();
    EXPECT_EQ(MEMORY_LiveBlockCount(), before);
}

// An element set with enormous drag decays within days; the propagated state
// then stops being finite. It is reported once and never reaches the rest of
// the step.
TEST_F(SatsTest, DecayedOrbitIsReportedOnceAndKeepsAFiniteState)
{
    ScopedFile tle("decay.tle",
                   "DECAY\n"
                   "1 88888U          80275.98708465  .00073094  13844-3  99999-0 0     8\n"
                   "2 88888  72.8435 115.9689 0086731  52.6988 110.5714 16.05824518   105\n");
    ASSERT_EQ(Load("satelit\n name = \"D\"\n orbit_model = SGP4\n tle = \"" + tle.path + "\"\n" +
                   testsupport::kModelPairLines + "end\n"),
              1u)
        << LogText();
    SATELIT* s = SATS_GetFirst();
    for (int day = 0; day < 60; ++day) {
        g_simClock.clock += 86400000;
        SATELIT_Step(s);
        SAT_STATE st;
        SATELIT_StateAt(s, g_simClock.clock + 15000, &st);
        EXPECT_TRUE(std::isfinite(st.position.x) && std::isfinite(st.altitude) && std::isfinite(st.airDensity))
            << day << " " << st.position.x << " " << st.altitude << " " << st.airDensity;
    }
    std::string log = LogText();
    size_t first = log.find("SATELIT: dráha satelitu D nedává konečnou polohu");
    ASSERT_NE(first, std::string::npos) << log;
    EXPECT_EQ(log.find("SATELIT: dráha satelitu D", first + 1), std::string::npos);
}

}  // namespace
