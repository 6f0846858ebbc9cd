// The satellite information window: its value texts, the timed refresh that
// shows it, and the satellite's link to it through toggles and user closes.
#include <gtest/gtest.h>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include "foundation/log.h"
#include "foundation/memory.h"
#include "foundation/pool.h"
#include "foundation/time.h"
#include "models/ephemeris.h"
#include "models/kepler.h"
#include "platform/plat_font.h"
#include "platform/plat_window.h"
#include "simulation/satelit.h"
#include "tests/support/test_support.h"
#include "view/satwindow.h"

namespace {

std::string Text(HWND window)
{
    char buffer[256];
    PLAT_GetWindowText(window, buffer, sizeof buffer);
    return buffer;
}

std::string Angle(double degrees)
{
    char text[SATWINDOW_TEXT_SIZE];
    SATWINDOW_FormatAngle(degrees, text, sizeof text);
    return text;
}

// A state on a bound orbit about 500 km up.
// Puts the satellite at a geocentric latitude, longitude (deg) and altitude
// (km) at the clock, moving with the given velocity.
void PlaceAt(SATELIT* sat, double latitude, double longitude, double altitude, const VEC3& velocity)
{
    double r = altitude + 6378.135, phi = latitude * M_PI / 180.0;
    double lambda = (longitude + ORBIT_EarthRotationAngleAt(g_simClock.clock)) * M_PI / 180.0;
    VEC3 p{r * std::cos(phi) * std::cos(lambda), r * std::cos(phi) * std::sin(lambda), r * std::sin(phi)};
    testsupport::PlaceSatellite(sat, p, velocity);
}

SATWINDOW_STATE LeoState()
{
    SATWINDOW_STATE s{};
    s.position = VEC3{6878.0, 0.0, 0.0};
    s.velocity = VEC3{0.0, 5.0, 5.5};
    s.latitude = 0.0;
    s.longitude = 90.0;
    s.altitude = 100.0;
    return s;
}

// Angles carry the sign on the whole degrees only; a long name is cut to the
// title buffer.
TEST(SatWindowFormat, AnglesAndTitles)
{
    EXPECT_EQ(Angle(-0.5), "   0° 30' 00''");
    EXPECT_EQ(Angle(-45.25), " -45° 15' 00''");
    EXPECT_EQ(Angle(-179.999), "-179° 59' 56''");
    char title[SATWINDOW_TITLE_SIZE];
    SATWINDOW_FormatTitle("LEO-1", title, sizeof title);
    EXPECT_STREQ(title, "Info satelitu \"LEO-1\"");
    std::string name(300, 'N');
    SATWINDOW_FormatTitle(name.c_str(), title, sizeof title);
    EXPECT_EQ(strlen(title), SATWINDOW_TITLE_SIZE - 1);
    EXPECT_EQ(std::string(title).rfind("Info satelitu \"NNN", 0), 0u);
}

TEST(SatWindowFormat, PositionsVelocitiesAndKeplerElementsOfAState)
{
    LOG_Init();
    SATWINDOW_STATE s = LeoState();
    SATWINDOW_TEXTS t;
    SATWINDOW_FormatValues(&s, &t);
    auto text = [&](uint16_t id) { return std::string(t.text[id - SATWINDOW_FIRST_VALUE_ID]); };
    // Earth-fixed from the geographic position: 90° east on the equator.
    EXPECT_EQ(text(116), "  6478.1 km");
    EXPECT_EQ(text(119), "   100.0 km");
    EXPECT_EQ(text(123), "  5500.0 m/s");
    EXPECT_EQ(text(124), "  6878.0 km");
    char expected[64];
    snprintf(expected, sizeof expected, "%8.1f m/s", std::sqrt(25.0 + 30.25) * 1000.0);
    EXPECT_EQ(text(125), expected);

    double position[3] = {6878.0, 0.0, 0.0}, velocity[3] = {0.0, 5.0, 5.5}, e[6];
    ASSERT_TRUE(KEPLER_ElementsFromState(position, velocity, e));
    const struct {
        uint16_t id;
        const char* format;
        double value;
    } kepler[] = {
        {126, "%8.4f °", e[KEPLER_INCLINATION]}, {127, "%8.4f °", e[KEPLER_RAAN]},
        {128, "%8.4f °", e[KEPLER_ARGUMENT]},    {129, "%8.6f", e[KEPLER_EXCENTRICITY]},
        {130, "%8.5f", e[KEPLER_MEANMOTION]},    {131, "%8.4f °", e[KEPLER_MEANANOMALY]},
    };
    for (const auto& k : kepler) {
        snprintf(expected, sizeof expected, k.format, k.value);
        EXPECT_EQ(text(k.id), expected) << k.id;
    }
    EXPECT_EQ(text(126).substr(0, 8), " 47.7263") << "inclination of the state";

    // A state on no bound orbit leaves the Kepler texts empty.
    s.velocity = VEC3{0.0, 20.0, 0.0};
    SATWINDOW_FormatValues(&s, &t);
    EXPECT_EQ(text(112), "  6878.0 km");
    for (uint16_t id = 124; id <= 131; ++id)
        EXPECT_EQ(text(id), "") << id;
}

class SatWindowTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        LOG_Init();
        MEMORY_Init();
        POOL_Init();
        PLAT_ResetWindows();
        g_simClock = SIM_CLOCK{};
        g_simClock.realTotal = 5000;
        SATWINDOW_Init();
        sat_ = static_cast<SATELIT*>(calloc(1, sizeof(SATELIT)));
        sat_->name = name_;
        // The pools keep freed blocks for reuse: count after one window.
        SATELIT_OpenInfoWindow(sat_);
        SATELIT_CloseInfoWindow(sat_);
        blocksBefore_ = MEMORY_LiveBlockCount();
        // 6878.0 km along x, half a degree south of the equator.
        testsupport::PlaceSatellite(sat_, VEC3{6878.0, 0.0, -6878.0 * std::tan(0.5 * M_PI / 180.0)},
                                    VEC3{0.0, 5.0, 5.5});
    }
    void TearDown() override
    {
        SATELIT_CloseInfoWindow(sat_);
        SATWINDOW_Cleanup();
        free(sat_);
        PLAT_ResetWindows();
    }
    // Moves the run's real time on and refreshes, then handles what was posted.
    void Refresh(uint64_t advanceMs)
    {
        g_simClock.realTotal += advanceMs;
        SATWINDOW_RefreshAll();
        MSG msg;
        while (PLAT_PeekMessage(&msg))
            PLAT_DispatchMessage(&msg);
    }
    HWND Window() const { return sat_->infoWindow ? sat_->infoWindow->window : 0; }

    char name_[8] = "LEO";
    SATELIT* sat_ = nullptr;
    uint32_t blocksBefore_ = 0;
};

TEST_F(SatWindowTest, ANewWindowShowsItsValuesAtTheSecondRefreshAndNotWhilePaused)
{
    ASSERT_TRUE(SATELIT_OpenInfoWindow(sat_));
    HWND window = Window();
    ASSERT_NE(window, 0u);
    EXPECT_EQ(Text(window), "Info satelitu \"LEO\"");
    PLAT_RECT rect;
    ASSERT_TRUE(PLAT_GetWindowRect(window, &rect));
    EXPECT_EQ(rect.left, 500);
    EXPECT_EQ(rect.top, 200);
    EXPECT_EQ(rect.right - rect.left, SATWINDOW_WIDTH);
    HWND latitude = PLAT_FindChild(window, 118);
    EXPECT_EQ(Text(latitude), "°");

    Refresh(200);   // paused or too early: nothing happens
    Refresh(0);
    EXPECT_FALSE(PLAT_IsWindowVisible(window));
    EXPECT_EQ(Text(latitude), "°");

    Refresh(1);     // the first refresh fills the values, too late to show them
    EXPECT_FALSE(PLAT_IsWindowVisible(window));
    EXPECT_EQ(Text(latitude), "   0° 30' 00''");
    EXPECT_EQ(Text(PLAT_FindChild(window, 112)), "  6878.0 km");
    Refresh(200);
    EXPECT_FALSE(PLAT_IsWindowVisible(window));
    Refresh(1);
    EXPECT_TRUE(PLAT_IsWindowVisible(window));

    PlaceAt(sat_, 10.25, 0.0, 500.0, VEC3{0.0, 5.0, 5.5});
    Refresh(201);
    EXPECT_EQ(Text(latitude), "  10° 15' 00''");
}

TEST_F(SatWindowTest, AUsersCloseUnlinksTheWindowAndTheNextToggleOpensANewOne)
{
    sat_->infoWindowWanted = 0;
    SATELIT_ToggleInfoWindow(sat_);
    ASSERT_NE(sat_->infoWindow, nullptr);
    EXPECT_EQ(sat_->infoWindowWanted, 1u);
    EXPECT_EQ(SATWINDOW_Count(), 1u);
    HWND first = Window();

    // The close box: the default processing destroys the window.
    PLAT_PostMessage(first, WM_CLOSE, 0, 0);
    Refresh(0);
    EXPECT_FALSE(PLAT_IsWindow(first));
    EXPECT_EQ(sat_->infoWindow, nullptr);
    EXPECT_EQ(sat_->infoWindowWanted, 0u);
    EXPECT_EQ(SATWINDOW_Count(), 0u);
    EXPECT_EQ(MEMORY_LiveBlockCount(), blocksBefore_);
    SATELIT_CloseInfoWindow(sat_);   // the run's end after a user's close

    SATELIT_ToggleInfoWindow(sat_);
    ASSERT_NE(sat_->infoWindow, nullptr);
    EXPECT_NE(Window(), first);
    EXPECT_EQ(sat_->infoWindowWanted, 1u);
    SATELIT_ToggleInfoWindow(sat_);
    EXPECT_EQ(sat_->infoWindow, nullptr);
    EXPECT_EQ(sat_->infoWindowWanted, 0u);
    EXPECT_EQ(SATWINDOW_Count(), 0u);
    EXPECT_EQ(MEMORY_LiveBlockCount(), blocksBefore_);
}

TEST_F(SatWindowTest, TheCleanupClosesEveryWindowAndItsSatellitesForgetThem)
{
    SATELIT* other = static_cast<SATELIT*>(calloc(1, sizeof(SATELIT)));
    char otherName[] = "Druhý";
    other->name = otherName;
    ASSERT_TRUE(SATELIT_OpenInfoWindow(sat_));
    ASSERT_TRUE(SATELIT_OpenInfoWindow(other));
    EXPECT_EQ(SATWINDOW_Count(), 2u);
    EXPECT_TRUE(SATWINDOW_Exists(other->infoWindow));
    HWND otherWindow = other->infoWindow->window;
    SATWINDOW_Cleanup();
    EXPECT_EQ(SATWINDOW_Count(), 0u);
    EXPECT_FALSE(PLAT_IsWindow(otherWindow));
    EXPECT_EQ(sat_->infoWindow, nullptr);
    EXPECT_EQ(other->infoWindow, nullptr);
    EXPECT_EQ(other->infoWindowWanted, 0u);

    // Windows the message layer already forgot are released all the same.
    SATWINDOW_Init();
    ASSERT_TRUE(SATELIT_OpenInfoWindow(other));
    PLAT_ResetWindows();
    SATWINDOW_Cleanup();
    EXPECT_EQ(SATWINDOW_Count(), 0u);
    EXPECT_EQ(other->infoWindow, nullptr);
    free(other);
}

// A window that cannot be made (its class is gone): the message says so on a
// line of its own, and the satellite still wants no window.
TEST_F(SatWindowTest, AWindowThatCannotBeMadeIsSaidOnALineOfItsOwn)
{
    SATWINDOW_Cleanup();
    LOG_Init();
    sat_->infoWindowWanted = 0;
    EXPECT_FALSE(SATELIT_OpenInfoWindow(sat_));
    LOG_Printf("next\n");
    EXPECT_EQ(testsupport::ReadFile("Zendrix.log"),
              "SATELIT: nelze vytvořit informační okno pro satelit \"LEO\"\nnext\n");
    EXPECT_EQ(sat_->infoWindow, nullptr);
    EXPECT_EQ(sat_->infoWindowWanted, 0u);
}

// At the default GUI font every label, value and frame caption stands whole in
// its control, for values as wide as an Earth orbit makes them: far out with
// every component negative, and fast at the perigee of an eccentric orbit.
TEST_F(SatWindowTest, EveryTextFitsItsControlAtTheDefaultFont)
{
    ASSERT_TRUE(SATELIT_OpenInfoWindow(sat_));
    const struct {
        VEC3 position, velocity;
    } states[] = {{{-26000.0, -26000.0, -20000.0}, {-1.8, -1.8, -1.5}},
                  {{-6700.0, -100.0, -100.0}, {-0.1, -10.3, -0.1}},
                  {{-6878.0, 0.0, 0.0}, {0.0, -5.0, -5.5}}};
    const struct {
        double latitude, longitude, altitude;
    } places[] = {{-89.99, -179.99, 35786.0}, {-0.99, -99.99, 330.0}, {-10.0, -10.0, 500.0}};
    for (size_t i = 0; i < 6; ++i) {
        if (i < 3) testsupport::PlaceSatellite(sat_, states[i].position, states[i].velocity);
        else PlaceAt(sat_, places[i - 3].latitude, places[i - 3].longitude, places[i - 3].altitude, states[i - 3].velocity);
        Refresh(201);
        std::vector<HWND> controls = PLAT_GetChildren(Window());
        EXPECT_EQ(controls.size(), 45u);
        for (HWND control : controls) {
            PLAT_RECT r;
            ASSERT_TRUE(PLAT_GetWindowRect(control, &r));
            std::string text = Text(control);
            int32_t width = PLAT_MeasureText(PLAT_GUI_FONT_FACE, PLAT_GUI_FONT_HEIGHT, 0, text.c_str());
            ASSERT_GT(width, 0) << text;
            EXPECT_LE(width + 2 * PLAT_CONTROL_TEXT_INSET, r.right - r.left) << "\"" << text << "\"";
        }
    }
}

}
