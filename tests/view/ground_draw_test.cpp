// Ground stations in frames of the scene drawn offscreen: the marker where the
// station is, its label, and the line of sight and axes only toward a
// satellite above the horizon.
#include <tuple>
#include "simulation/ground.h"
#include "simulation/satelit.h"
#include "tests/view/frame_support.h"

namespace {

const RGB kMarker{11, 16, 239};
const RGB kLabel{192, 192, 192};
const RGB kObserverLine{186, 199, 242};
const RGB kRed{255, 0, 0};

class GroundFrame : public SceneFrameTest {
protected:
    void SetUp() override
    {
        StartScene("Draw_ECI_axes = NE\nDraw_ECF_axes = NE\nDraw_Moon = NE\nDraw_stars = NE\nDraw_Sun = NE\n",
                   {{"Ground.cfg", "station \"Ondrejov\"\nlongitude = 0\nlatitude = 0\n"
                                   "draw_observer_line = ANO\ndraw_ground_axes = ANO\n"
                                   "draw_transmitter_cone = ANO\nend\n"}});
        if (HasFatalFailure()) return;
        GROUND_Update();
        station_ = GROUND_GetFirst();
        ASSERT_NE(station_, nullptr);
        marker_ = VEC3{station_->position.x * 0.01, station_->position.y * 0.01, station_->position.z * 0.01};
    }
    // Looks down at the station from 128 km above it.
    void LookAtStation() { Look(VEC3{marker_.x * 1.02, marker_.y * 1.02, marker_.z * 1.02}, marker_); }
    // Any pixel of the colour between the title and the info bar.
    bool AnyPixel(RGB c) { return SceneFrameTest::AnyPixel(25, kHeight - 25, c); }
    // A satellite 600 km up and 3000 km east of the station, as the station reports it.
    void ObserveSatellite(SATELIT* sat, uint32_t visible)
    {
        station_->satellite = sat;
        station_->visible = visible;
        station_->satellitePosition = VEC3{station_->position.x + 600, station_->position.y + 3000,
                                           station_->position.z};
        station_->horizontal = VEC3{0, 1, 0};
        station_->north = VEC3{0, 0, 1};
    }

    GROUND_STATION* station_ = nullptr;
    VEC3 marker_{};
};

}  // namespace

// Without a satellite and toward one below the horizon: the marker and the
// name only; above the horizon the line of sight and the axes as well.
TEST_F(GroundFrame, LineOfSightAndAxesOnlyAboveTheHorizon)
{
    SATELIT sat{};
    char name[] = "SAT";
    sat.name = name;
    LookAtStation();
    int x, y;
    for (bool observed : {false, true}) {
        if (observed) ObserveSatellite(&sat, 0);
        Frame();
        Project(marker_, &x, &y);
        RGB p = Pixel(x, y);
        EXPECT_EQ(std::tie(p.r, p.g, p.b), std::tie(kMarker.r, kMarker.g, kMarker.b)) << observed;
        EXPECT_TRUE(AnyPixel(kLabel));
        EXPECT_FALSE(AnyPixel(kObserverLine));
        EXPECT_FALSE(AnyPixel(kRed));
        EXPECT_EQ(glGetError(), (GLenum)GL_NO_ERROR);
        Release();
    }

    ObserveSatellite(&sat, 1);
    Frame();
    EXPECT_TRUE(AnyPixel(kRed));
    EXPECT_EQ(glGetError(), (GLenum)GL_NO_ERROR);
    Release();
    // The east axis and the antenna's cone cover the line seen from above: look without them.
    station_->drawTransmitterCone = 0;
    station_->drawGroundAxes = 0;
    Frame();
    EXPECT_TRUE(AnyPixel(kObserverLine));
    Project(marker_, &x, &y);
    EXPECT_EQ(Pixel(x, y).b, kMarker.b) << "the marker stays on top of the Earth";
    EXPECT_EQ(glGetError(), (GLenum)GL_NO_ERROR);
    Release();
    station_->satellite = nullptr;
}
