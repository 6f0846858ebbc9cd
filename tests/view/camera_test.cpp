#include <gtest/gtest.h>
#include <cmath>
#include "foundation/pool.h"
#include "simulation/orbit.h"
#include "simulation/orbit_step.h"
#include "simulation/satelit.h"
#include "tests/foundation/iotxt_test_support.h"
#include "view/camera.h"
#include "view/ogw.h"
#include "view/orbit_config.h"
#include "view/scene.h"

namespace {

const uint32_t kNo = 0, kYes = 1;

class Camera : public ::testing::Test {
protected:
    void SetUp() override
    {
        LOG_Init();
        MEMORY_Init();
        POOL_Init();
        OGW_Init();
        g_scene = ORBIT_SCENE{};
        g_cameraTrack = ORBIT_CAMERA_TRACK{};
        g_orbit = ORBIT_RUN_STATE{};
        window_ = OGW_CreateWindowRecord("camera", nullptr, nullptr, nullptr);
        g_scene.window = window_;
        sat_ = SATELIT{};
        sat_.display.position = VEC3{7000.0, 0.0, 0.0};
        sat_.display.velocity = VEC3{0.0, 7.5, 0.0};
        sat_.attitude.attitude = QUAT{1.0, 0.0, 0.0, 0.0};
    }
    void TearDown() override
    {
        g_scene.window = nullptr;
        OGW_DestroyWindow(window_);
        OGW_Done();
    }
    void Place(const VEC3& eye, const VEC3& target, const VEC3& up)
    {
        OGW_SetTarget(window_, target.x, target.y, target.z);
        OGW_SetEyeUp(window_, &eye, &up);
    }
    VEC3 Eye()
    {
        VEC3 eye;
        OGW_GetEye(window_, &eye);
        return eye;
    }
    double Distance()
    {
        VEC3 eye = Eye(), target;
        OGW_GetTarget(window_, &target);
        return VEC_Distance(&eye, &target);
    }
    void Key(uint32_t code, uint32_t shift, uint32_t control)
    {
        ORBIT_KeyCommand(window_, 1, code, &shift, &control);
    }

    OGW_WINDOW* window_ = nullptr;
    SATELIT sat_{};
};

}  // namespace

TEST_F(Camera, ZoomStopsAtTheModesLimits)
{
    g_orbit.cameraMode = ORBIT_CAMERA_ECI_EARTH;
    Place(VEC3{63.9, 0, 0}, VEC3{0, 0, 0}, VEC3{0, 0, 1});
    Key(33, kNo, kNo);
    EXPECT_NEAR(Distance(), 63.88135, 1e-12);
    Key(33, kNo, kNo);
    EXPECT_NEAR(Distance(), 63.88135, 1e-12);
    Key(34, kNo, kNo);   // out by at least 0.1
    EXPECT_NEAR(Distance(), 63.98135, 1e-12);

    g_orbit.cameraMode = ORBIT_CAMERA_SATELIT_ORBIT;
    Place(VEC3{71, 0, 0}, VEC3{70, 0, 0}, VEC3{0, 0, 1});
    Key(33, kYes, kNo);
    EXPECT_NEAR(Distance(), 0.9, 1e-12);

    g_orbit.cameraMode = ORBIT_CAMERA_FREE;
    Key(33, kNo, kNo);   // eye and target move together
    EXPECT_NEAR(Distance(), 0.9, 1e-12);
    EXPECT_NEAR(Eye().x, 70.7, 1e-12);
}

TEST_F(Camera, TurnsAndTilts)
{
    auto turn = [&](uint32_t mode, uint32_t control) {
        g_orbit.cameraMode = mode;
        Place(VEC3{200, 0, 0}, VEC3{0, 0, 0}, VEC3{0, 0, 1});
        Key(37, kNo, control);
        VEC3 eye, up;
        OGW_GetEyeUp(window_, &eye, &up);
        return std::pair<VEC3, VEC3>(eye, up);
    };
    auto eci = turn(ORBIT_CAMERA_ECI_EARTH, kNo);
    auto free = turn(ORBIT_CAMERA_FREE, kNo);
    EXPECT_NEAR(eci.first.y, -200 * sin(0.008726646259971648), 1e-9);
    EXPECT_NEAR(free.first.y, -eci.first.y, 1e-9);
    auto eciTilt = turn(ORBIT_CAMERA_ECI_EARTH, kYes);
    auto freeTilt = turn(ORBIT_CAMERA_FREE, kYes);
    EXPECT_NEAR(eciTilt.first.x, 200, 1e-9);   // a tilt turns about the line of sight
    EXPECT_NEAR(eciTilt.second.y, freeTilt.second.y, 1e-12);
    EXPECT_NE(eciTilt.second.y, 0.0);

    // A turn that would take the eye inside the Earth is dropped.
    g_orbit.cameraMode = ORBIT_CAMERA_FREE;
    Place(VEC3{64, 0, 0}, VEC3{64, 10, 0}, VEC3{0, 0, 1});
    Key(39, kYes, kNo);
    EXPECT_NEAR(Eye().x, 64, 1e-12);
}

TEST_F(Camera, SatelliteModes)
{
    // Without satellites a satellite camera becomes the free one.
    g_orbit.cameraMode = ORBIT_CAMERA_ECI_EARTH;
    ORBIT_SetCameraMode(ORBIT_CAMERA_SATELIT_ORBIT);
    EXPECT_EQ(g_orbit.cameraMode, ORBIT_CAMERA_FREE);

    g_scene.currentSatellite = &sat_;
    g_orbit.cameraMode = ORBIT_CAMERA_ECI_EARTH;
    ORBIT_SetCameraMode(ORBIT_CAMERA_SATELIT_ORBIT);
    EXPECT_EQ(g_orbit.cameraMode, ORBIT_CAMERA_SATELIT_ORBIT);
    EXPECT_NEAR(Distance(), 0.15, 1e-12);
    VEC3 eye = Eye();
    EXPECT_LT(eye.y, 0.0);   // behind the satellite
    EXPECT_GT(eye.x, 70.0);  // lifted away from the Earth

    // The camera follows the satellite's move.
    sat_.display.position = VEC3{7000.0, 75.0, 0.0};
    ORBIT_UpdateCamera();
    EXPECT_NEAR(Eye().y - eye.y, 0.75, 1e-9);
    EXPECT_NEAR(Distance(), 0.15, 1e-9);

    // A velocity along z (a polar orbit over the equator) still gives an up.
    sat_.display.velocity = VEC3{0.0, 0.0, 7.5};
    g_orbit.cameraMode = ORBIT_CAMERA_ECI_EARTH;
    ORBIT_SetCameraMode(ORBIT_CAMERA_SATELIT_INERTIAL);
    VEC3 up;
    OGW_GetUp(window_, &up);
    EXPECT_GT(VEC_Length(&up), 0.01);
    EXPECT_FALSE(std::isnan(Eye().x));
    EXPECT_NEAR(Distance(), 0.15, 1e-12);
}

TEST_F(Camera, SunModeTurnsOnceTheAccumulatedTurnPassesItsThreshold)
{
    g_orbit.cameraMode = ORBIT_CAMERA_SUN;
    g_orbit.sunVector = VEC3{1.466e8, 0, 0};
    Place(VEC3{200, 0, 0}, VEC3{0, 0, 0}, VEC3{0, 0, 1});
    ORBIT_SetupCamera(0);
    const double step = 0.6e-5 * 3.14159265358979 / 180;   // below the 1e-5 degree threshold
    g_orbit.sunVector = VEC3{1.466e8 * cos(step), 1.466e8 * sin(step), 0};
    ORBIT_UpdateCamera();
    EXPECT_EQ(Eye().y, 0.0);
    g_orbit.sunVector = VEC3{1.466e8 * cos(2 * step), 1.466e8 * sin(2 * step), 0};
    ORBIT_UpdateCamera();
    EXPECT_NEAR(Eye().y, 200 * sin(2 * step), 1e-12);
}

TEST_F(Camera, WithoutWindowCommandsDoNothing)
{
    g_scene.window = nullptr;
    g_orbit.cameraMode = ORBIT_CAMERA_ECI_EARTH;
    ORBIT_SetCameraMode(ORBIT_CAMERA_SUN);
    ORBIT_CmdZoomIn(1);
    EXPECT_EQ(g_orbit.cameraMode, ORBIT_CAMERA_ECI_EARTH);
    ORBIT_CmdCycleMagFieldDisplay();
    EXPECT_EQ(g_scene.fieldDisplayMode, 0u);
    ORBIT_CmdMagFieldLines();
    EXPECT_EQ(g_scene.fieldDisplayMode, 2u);
}
