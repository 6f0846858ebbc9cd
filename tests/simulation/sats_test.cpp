// Satellites: the "satelit" block of Objects.cfg with its messages, the list
// operations, and the orbit and environment step.
#include <gtest/gtest.h>
#include <cmath>
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

// The element-set file is named as on Windows: a backslash and another letter case.
TEST_F(SatsTest, SgpSatelliteMatchesThePropagatorDirectly)
{
    ScopedFile tle("Near.TLE",
                   "NEAR\n"
                   "1 88888U          80275.98708465  .00073094  13844-3  66816-4 0     8\n"
                   "2 88888  72.8435 115.9689 0086731  52.6988 110.5714 16.05824518   105\n");
    std::string dir = tle.path.substr(0, tle.path.rfind('/'));
    ASSERT_EQ(Load("satelit\n name = \"N\"\n orbit_model = SGP4\n tle = \"" + dir + "\\near.tle\"\n" +
                   testsupport::kModelPairLines + "end\n"),
              1u)
        << LogText();
    SATELIT* s = SATS_GetFirst();
    g_simClock.clock += 3600000;
    SATELIT_Step(s);
    SYSTEMTIME st{};
    TIME_MsToSystemTime(g_simClock.clock, &st);
    double p[4], v[4];
    SGP_Propagate(1, TIME_SystemTimeToJulianDate(&st), &s->elements, p, v);
    EXPECT_NEAR(s->position.x, p[0], 1e-6);
    EXPECT_NEAR(s->position.y, p[1], 1e-6);
    EXPECT_NEAR(s->velocity.z, v[2], 1e-9);
}

TEST_F(SatsTest, GeodeticPositionOfKnownPoints)
{
    ASSERT_EQ(Load(KeplerSat()), 1u);
    SATELIT* s = SATS_GetFirst();
    s->orbitModel = ORBIT_MODEL_NONE;  // keep the position set by the test
    struct { VEC3 p; double lon, lat; } points[] = {
        {{7000, 0, 0}, 0.0, 0.0},
        {{0, 7000, 0}, 90.0, 0.0},
        {{-7000, 1e-9, 0}, 180.0, 0.0},      // just west of -180 comes out just below 180
        {{0, 0, 7000}, 0.0, 90.0},
        {{3500, 0, -3500}, 0.0, -45.0},
    };
    for (const auto& pt : points) {
        s->position = pt.p;
        SATELIT_Step(s);
        EXPECT_NEAR(s->longitude, pt.lon, 1e-6);
        EXPECT_NEAR(s->latitude, pt.lat, 1e-6);
        EXPECT_NEAR(s->altitude, VEC_Length(&pt.p) - 6378.135, 1e-6);
        EXPECT_GE(s->longitude, -180.0);
        EXPECT_LT(s->longitude, 180.0);
    }
    // The homogeneous field turns into the magnetic frame: on the equator at
    // longitude 0 down is -x and north is +z.
    s->position = VEC3{7000, 0, 0};
    SATELIT_Step(s);
    EXPECT_NEAR(s->fieldMag.x, 30000.0, 1e-6);
    EXPECT_NEAR(s->fieldMag.y, 0.0, 1e-6);
    EXPECT_NEAR(s->fieldMag.z, 0.0, 1e-6);
}

TEST_F(SatsTest, RealFieldInMagFrameIsTheWorldModelAtThePosition)
{
    ASSERT_EQ(Load(KeplerBlock("Alpha", "  magnetic_field_model = REAL\n")), 1u) << LogText();
    SATELIT* s = SATS_GetFirst();
    g_simClock.clock += 600000;
    SATELIT_Step(s);
    float n, e, d;
    MAGFIELD_WmmFieldAt(static_cast<float>(s->latitude), static_cast<float>(s->longitude),
                        static_cast<float>(s->altitude * 1000.0), 2006.0f, &n, &e, &d);
    EXPECT_NEAR(s->fieldMag.x, n, 1e-3);
    EXPECT_NEAR(s->fieldMag.y, e, 1e-3);
    EXPECT_NEAR(s->fieldMag.z, d, 1e-3);
    EXPECT_NEAR(VEC_Length(&s->fieldEci), VEC_Length(&s->fieldMag), 1e-6);
}

TEST_F(SatsTest, IlluminationInSunlightShadowAndBelowTheSurface)
{
    ASSERT_EQ(Load(KeplerSat()), 1u);
    SATELIT* s = SATS_GetFirst();
    VEC3 sun{1.496e8, 0, 0};
    s->position = VEC3{7000, 0, 0};
    SATELIT_ComputeIlluminationFrom(s, &sun);
    EXPECT_DOUBLE_EQ(s->illumination, 100.0);
    s->position = VEC3{-7000, 0, 0};
    SATELIT_ComputeIlluminationFrom(s, &sun);
    EXPECT_DOUBLE_EQ(s->illumination, 0.0);
    s->position = VEC3{-7000, 6378.135 * 1.0003, 0};  // grazing the shadow's edge: partial
    SATELIT_ComputeIlluminationFrom(s, &sun);
    EXPECT_GT(s->illumination, 0.0);
    EXPECT_LT(s->illumination, 100.0);
    s->position = VEC3{-100, 0, 0};  // inside the Earth
    SATELIT_ComputeIlluminationFrom(s, &sun);
    EXPECT_DOUBLE_EQ(s->illumination, 0.0);
}

TEST_F(SatsTest, LightRatioWaitsForWholeLightAndShadowPeriods)
{
    ASSERT_EQ(Load(KeplerSat()), 1u);
    SATELIT* s = SATS_GetFirst();
    s->lightState = 0;
    auto feed = [&](double illumination, int64_t advance) {
        g_simClock.clock += advance;
        s->illumination = illumination;
        SATELIT_UpdateLightDarkTimer(s);
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
    VEC3 start = newton->position;
    SATELIT_Step(newton);  // stepped at its start time: must not move
    EXPECT_DOUBLE_EQ(VEC_Distance(&start, &newton->position), 0.0);
    double maxDistance = 0.0;
    for (int step = 0; step < 5830 * 5; ++step) {  // about one revolution in 200 ms steps
        g_simClock.clock += 200;
        SATELIT_Step(newton);
        newton->lastOrbitTime = g_simClock.clock;
        if (step % 150 == 0) {
            SATELIT_Step(kepler);
            maxDistance = std::max(maxDistance, VEC_Distance(&newton->position, &kepler->position));
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
    double r0 = VEC_Length(&s->position);
    for (int i = 0; i < 500; ++i) {
        g_simClock.clock += 30000;
        SATELIT_Step(s);
        EXPECT_NEAR(VEC_Length(&s->position), r0, 1e-6);
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
        EXPECT_TRUE(std::isfinite(s->position.x) && std::isfinite(s->altitude) && std::isfinite(s->airDensity))
            << day << " " << s->position.x << " " << s->altitude << " " << s->airDensity;
    }
    std::string log = LogText();
    size_t first = log.find("SATELIT: dráha satelitu D nedává konečnou polohu");
    ASSERT_NE(first, std::string::npos) << log;
    EXPECT_EQ(log.find("SATELIT: dráha satelitu D", first + 1), std::string::npos);
}

}  // namespace
