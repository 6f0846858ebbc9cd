// ORBIT camera modes and view commands. Positions are in scene units of
// 100 km; satellite positions come in km and are scaled by 0.01.
#include "view/camera.h"
#include <algorithm>
#include <cmath>
#include "foundation/constants.h"
#include "simulation/orbit.h"
#include "simulation/satelit.h"
#include "simulation/satelit_access.h"
#include "simulation/sats.h"
#include "view/magfield_display.h"
#include "view/ogw.h"
#include "view/orbit_config.h"
#include "view/scene.h"

ORBIT_CAMERA_TRACK g_cameraTrack{};

namespace {

constexpr double kHomeEye[3] = {200.0, 200.0, 20.0};
constexpr double kSatelliteDistance = 0.15;
constexpr double kSatelliteLift = 0.3490658503988659;   // 20 degrees
constexpr double kTurn = 0.008726646259971648;           // 0.5 degree
constexpr double kFastTurn = 0.03490658503988659;        // 2 degrees
constexpr double kEarthZoomMin = 63.88135;
constexpr double kZoomMax = 3665000.0;
constexpr double kSatelliteZoomMin = 0.05;
constexpr double kMinTurnDegrees = 1e-5;
constexpr double kKmToUnits = 0.01;

enum : uint32_t {
    VK_TAB_CHAR = 9,
    KEY_PRIOR = 33,
    KEY_NEXT = 34,
    KEY_END = 35,
    KEY_HOME = 36,
    KEY_LEFT = 37,
    KEY_UP = 38,
    KEY_RIGHT = 39,
    KEY_DOWN = 40,
};

VEC3 Add(const VEC3& a, const VEC3& b) { return VEC3{a.x + b.x, a.y + b.y, a.z + b.z}; }
VEC3 Sub(const VEC3& a, const VEC3& b) { return VEC3{a.x - b.x, a.y - b.y, a.z - b.z}; }
VEC3 Scale(const VEC3& a, double f) { return VEC3{a.x * f, a.y * f, a.z * f}; }

VEC3 Rotated(VEC3 v, const QUAT& q)
{
    QUAT_RotateVector(&v, &q);
    return v;
}

// A rotation about an axis; 0 (no rotation) when the axis is zero.
uint32_t AxisRotation(QUAT* q, double angle, const VEC3& axis)
{
    if (VEC_IsZero(&axis)) return 0;
    QUAT_FromAxisAngle(q, angle, axis.x, axis.y, axis.z);
    return 1;
}

// The angle between two vectors, exact also for the tiny turns of one step
// (an arc cosine of a ratio near 1 would lose them).
double AngleBetween(const VEC3& a, const VEC3& b)
{
    VEC3 cross = VEC_CrossValue(&a, &b);
    return atan2(VEC_Length(&cross), VEC_Dot(&a, &b));
}

OGW_WINDOW* Window() { return g_scene.window; }

SATELIT* CurrentSatellite() { return g_scene.currentSatellite; }

VEC3 UnitVelocity(const SATELIT* sat)
{
    VEC3 v = sat->display.velocity;
    if (VEC_IsZero(&v)) return VEC3{1.0, 0.0, 0.0};
    VEC_Normalize(&v);
    return v;
}

// (e x ref) x e, an up perpendicular to the line of sight e; when ref lies
// along e, another reference is taken.
VEC3 UpAcross(const VEC3& e, const VEC3& ref)
{
    const VEC3 others[] = {ref, VEC3{0.0, 0.0, 1.0}, VEC3{1.0, 0.0, 0.0}, VEC3{0.0, 1.0, 0.0}};
    for (const VEC3& r : others) {
        VEC3 side = VEC_CrossValue(&e, &r);
        VEC3 up = VEC_CrossValue(&side, &e);
        if (!VEC_IsZero(&up)) return up;
    }
    return VEC3{0.0, 0.0, 1.0};
}

// Places the camera kSatelliteDistance behind the satellite (e relative to
// Where the satellite is drawn: its state at the display clock.
VEC3 SatellitePosition(const SATELIT* sat)
{
    return sat->display.position;
}

// it), lifted by 20 degrees about up x v^, and writes it under the lock.
void PlaceBehindSatellite(const SATELIT* sat, VEC3 e, VEC3 up)
{
    VEC3 p = Scale(SatellitePosition(sat), kKmToUnits);
    VEC3 v = UnitVelocity(sat);
    QUAT q;
    if (AxisRotation(&q, kSatelliteLift, VEC_CrossValue(&up, &v))) {
        e = Rotated(e, q);
        up = Rotated(up, q);
    }
    VEC3 eye = Add(p, e);
    OGW_Lock();
    OGW_SetTarget(Window(), p.x, p.y, p.z);
    OGW_SetEyeUp(Window(), &eye, &up);
    OGW_Unlock();
}

uint32_t NeedSatellite()
{
    if (CurrentSatellite()) return 1;
    g_orbit.cameraMode = ORBIT_CAMERA_FREE;
    return 0;
}

void SetupSatelliteOrbit(uint32_t reset)
{
    const SATELIT* sat = CurrentSatellite();
    g_cameraTrack.previousPosition = SatellitePosition(sat);
    g_cameraTrack.lastVelocity = sat->display.velocity;
    g_cameraTrack.lastSpeed = VEC_Length(&sat->display.velocity);
    if (!reset) return;
    VEC3 p = Scale(SatellitePosition(sat), kKmToUnits);
    VEC3 e = Scale(UnitVelocity(sat), -kSatelliteDistance);
    VEC3 up = VEC_IsZero(&p) ? UpAcross(e, VEC3{0.0, 0.0, 1.0}) : p;
    PlaceBehindSatellite(sat, e, up);
}

void SetupSatelliteInertial(uint32_t reset)
{
    const SATELIT* sat = CurrentSatellite();
    g_cameraTrack.previousPosition = SatellitePosition(sat);
    if (!reset) return;
    VEC3 e = Scale(UnitVelocity(sat), -kSatelliteDistance);
    PlaceBehindSatellite(sat, e, UpAcross(e, VEC3{0.0, 0.0, 1.0}));
}

void SetupSatelliteBody(uint32_t reset)
{
    const SATELIT* sat = CurrentSatellite();
    g_cameraTrack.previousPosition = SatellitePosition(sat);
    g_cameraTrack.lastAttitude = sat->attitude.attitude;
    if (!reset) return;
    VEC3 e = Scale(UnitVelocity(sat), -kSatelliteDistance);
    VEC3 bodyZ{0.0, 0.0, 1.0};
    QUAT_RotateVector(&bodyZ, &sat->attitude.attitude);
    PlaceBehindSatellite(sat, e, UpAcross(e, bodyZ));
}

void WriteIfOutside(const VEC3& eye, const VEC3& up)
{
    if (ORBIT_IsOutsideEarth(&eye)) OGW_SetEyeUp(Window(), &eye, &up);
}

void WriteFollowing(const VEC3& eye, const VEC3& up, const VEC3& target)
{
    if (!ORBIT_IsOutsideEarth(&eye)) return;
    OGW_SetTarget(Window(), target.x, target.y, target.z);
    OGW_SetEyeUp(Window(), &eye, &up);
}

void UpdateEcef(VEC3 eye, VEC3 up)
{
    double d = g_orbit.earthAngle - g_cameraTrack.lastEarthAngle;
    g_cameraTrack.lastEarthAngle = g_orbit.earthAngle;
    QUAT q;
    QUAT_FromAxisAngle(&q, d * CONST_DEG_TO_RAD, 0.0, 0.0, 1.0);
    WriteIfOutside(Rotated(eye, q), Rotated(up, q));
}

// A turn below the threshold is kept for later: the last vector stays until
// the accumulated turn exceeds it.
void UpdateSun(VEC3 eye, VEC3 up)
{
    const VEC3& last = g_cameraTrack.lastSun;
    const VEC3& now = g_orbit.sunVector;
    double a = AngleBetween(last, now);
    if (a * CONST_RAD_TO_DEG <= kMinTurnDegrees) return;
    QUAT q;
    if (AxisRotation(&q, a, VEC_CrossValue(&last, &now))) WriteIfOutside(Rotated(eye, q), Rotated(up, q));
    g_cameraTrack.lastSun = now;
}

VEC3 Follow(const SATELIT* sat, const VEC3& eye)
{
    VEC3 moved = Scale(Sub(SatellitePosition(sat), g_cameraTrack.previousPosition), kKmToUnits);
    g_cameraTrack.previousPosition = SatellitePosition(sat);
    return Add(eye, moved);
}

void UpdateSatelliteOrbit(const SATELIT* sat, VEC3 eye, VEC3 up)
{
    eye = Follow(sat, eye);
    VEC3 p = Scale(SatellitePosition(sat), kKmToUnits);
    const VEC3& velocity = sat->display.velocity;
    double a = AngleBetween(g_cameraTrack.lastVelocity, velocity);
    QUAT q;
    if (a * CONST_RAD_TO_DEG > kMinTurnDegrees) {
        if (AxisRotation(&q, a, VEC_CrossValue(&g_cameraTrack.lastVelocity, &velocity))) {
            eye = Add(p, Rotated(Sub(eye, p), q));
            up = Rotated(up, q);
        }
        g_cameraTrack.lastVelocity = velocity;
        g_cameraTrack.lastSpeed = VEC_Length(&velocity);
    }
    WriteFollowing(eye, up, p);
}

void UpdateSatelliteBody(const SATELIT* sat, VEC3 eye, VEC3 up)
{
    eye = Follow(sat, eye);
    VEC3 p = Scale(SatellitePosition(sat), kKmToUnits);
    const QUAT& q1 = sat->attitude.attitude;
    const QUAT& q0 = g_cameraTrack.lastAttitude;
    QUAT back{q0.w, -q0.x, -q0.y, -q0.z};
    QUAT turn;
    QUAT_Multiply(&q1, &back, &turn);
    eye = Add(p, Rotated(Sub(eye, p), turn));
    up = Rotated(up, turn);
    g_cameraTrack.lastAttitude = q1;
    WriteFollowing(eye, up, p);
}

// Zoom step, nearest and farthest distance of the current mode.
void ZoomLimits(double d, double* step, double* nearest, double* farthest)
{
    uint32_t mode = g_orbit.cameraMode;
    *farthest = kZoomMax;
    if (mode == ORBIT_CAMERA_FREE) {
        *step = 0.2;
        *nearest = 0.0;
    } else if (ORBIT_IsSatelliteCamera(mode)) {
        *step = d * 0.01;
        *nearest = kSatelliteZoomMin;
    } else {
        *step = std::max((d - ORBIT_EARTH_RADIUS_UNITS) * 0.01, 0.1);
        *nearest = kEarthZoomMin;
    }
}

void Zoom(OGW_WINDOW* window, double sign, double step, double nearest, double farthest)
{
    VEC3 eye, up, target, back;
    OGW_GetEyeUp(window, &eye, &up);
    OGW_GetTarget(window, &target);
    OGW_GetCameraBackAxis(window, &back);
    if (g_orbit.cameraMode == ORBIT_CAMERA_FREE) {
        VEC3 move = Scale(back, sign * step);
        target = Add(target, move);
        OGW_SetTarget(window, target.x, target.y, target.z);
        WriteIfOutside(Add(eye, move), up);
        ORBIT_RequestRedraw();
        return;
    }
    double d = VEC_Distance(&eye, &target);
    if (sign < 0) {
        if (d <= nearest) return;
        d = std::max(d - step, nearest);
    } else {
        if (d >= farthest) return;
        d = std::min(d + step, farthest);
    }
    WriteIfOutside(Add(target, Scale(back, d)), up);
    ORBIT_RequestRedraw();
}

void Turn(OGW_WINDOW* window, double angle, const VEC3& axis)
{
    QUAT q;
    if (AxisRotation(&q, angle, axis)) ORBIT_RotateCamera(window, &q);
}

void NextSatellite(uint32_t shift)
{
    SATELIT* before = g_scene.currentSatellite;
    if (!before) return;
    g_scene.currentSatellite = shift ? SATS_GetPrevious(before) : SATS_GetNext(before);
    if (g_scene.currentSatellite != before && ORBIT_IsSatelliteCamera(g_orbit.cameraMode)) ORBIT_SetupCamera(0);
}

void Character(uint32_t code, uint32_t shift)
{
    if (code == VK_TAB_CHAR) NextSatellite(shift);
    else if (code == 'C' || code == 'c') ORBIT_NextCameraMode();
    else if (code == 'M' || code == 'm') ORBIT_SetFieldDisplayMode((g_scene.fieldDisplayMode + 1) % 3);
}

void Key(OGW_WINDOW* window, uint32_t code, uint32_t shift, uint32_t control)
{
    VEC3 eye, target, up, back, right;
    OGW_GetEyeUp(window, &eye, &up);
    OGW_GetTarget(window, &target);
    OGW_GetCameraBackAxis(window, &back);
    OGW_GetCameraRightAxis(window, &right);
    double step, nearest, farthest;
    ZoomLimits(VEC_Distance(&eye, &target), &step, &nearest, &farthest);
    if (shift) step *= 10.0;
    double angle = shift ? kFastTurn : kTurn;
    double freeSign = g_orbit.cameraMode == ORBIT_CAMERA_FREE ? -1.0 : 1.0;
    switch (code) {
    case KEY_PRIOR: Zoom(window, -1.0, step, nearest, farthest); break;
    case KEY_NEXT: Zoom(window, 1.0, step, nearest, farthest); break;
    case KEY_HOME:
        ORBIT_SetupCamera(1);
        ORBIT_RequestRedraw();
        break;
    case KEY_LEFT:
        if (control) Turn(window, -angle, back);
        else Turn(window, -angle * freeSign, up);
        break;
    case KEY_RIGHT:
        if (control) Turn(window, angle, back);
        else Turn(window, angle * freeSign, up);
        break;
    case KEY_UP: Turn(window, -angle, right); break;
    case KEY_DOWN: Turn(window, angle, right); break;
    default: break;
    }
}

// The platform offers no asynchronous key state: a modifier that the caller
// does not give counts as released.
uint32_t KeyboardState(const uint32_t* given)
{
    return given ? *given : 0;
}

void Command(uint32_t keyFlag, uint32_t code, const uint32_t* shift, const uint32_t* control)
{
    if (!Window()) return;
    ORBIT_KeyCommand(Window(), keyFlag, code, shift, control);
}

}  // namespace

uint32_t ORBIT_IsSatelliteCamera(uint32_t mode)
{
    return mode == ORBIT_CAMERA_SATELIT_ORBIT || mode == ORBIT_CAMERA_SATELIT_INERTIAL ||
           mode == ORBIT_CAMERA_SATELIT_BODY;
}

uint32_t ORBIT_IsOutsideEarth(const VEC3* point)
{
    return VEC_Length(point) >= ORBIT_EARTH_RADIUS_UNITS;
}

void ORBIT_SetupCamera(uint32_t reset)
{
    if (!Window()) return;
    switch (g_orbit.cameraMode) {
    case ORBIT_CAMERA_ECI_EARTH:
        OGW_Lock();
        if (reset) OGW_SetEye(Window(), kHomeEye[0], kHomeEye[1], kHomeEye[2]);
        OGW_SetTarget(Window(), 0.0, 0.0, 0.0);
        OGW_SetUp(Window(), 0.0, 0.0, 1.0);
        OGW_Unlock();
        break;
    case ORBIT_CAMERA_ECEF_EARTH: g_cameraTrack.lastEarthAngle = g_orbit.earthAngle; break;
    case ORBIT_CAMERA_SUN: g_cameraTrack.lastSun = g_orbit.sunVector; break;
    case ORBIT_CAMERA_SATELIT_ORBIT:
        if (NeedSatellite()) SetupSatelliteOrbit(reset);
        break;
    case ORBIT_CAMERA_SATELIT_INERTIAL:
        if (NeedSatellite()) SetupSatelliteInertial(reset);
        break;
    case ORBIT_CAMERA_SATELIT_BODY:
        if (NeedSatellite()) SetupSatelliteBody(reset);
        break;
    default: break;
    }
}

void ORBIT_SetCameraMode(uint32_t mode)
{
    if (!Window() || mode < ORBIT_CAMERA_ECI_EARTH || mode > ORBIT_CAMERA_FREE) return;
    uint32_t reset = !ORBIT_IsSatelliteCamera(g_orbit.cameraMode) && ORBIT_IsSatelliteCamera(mode);
    g_orbit.cameraMode = mode;
    ORBIT_SetupCamera(reset);
    ORBIT_RequestRedraw();
}

void ORBIT_NextCameraMode()
{
    ORBIT_SetCameraMode(g_orbit.cameraMode % ORBIT_CAMERA_FREE + 1);
}

void ORBIT_UpdateCamera()
{
    if (!Window()) return;
    VEC3 eye, up;
    OGW_GetEyeUp(Window(), &eye, &up);
    const SATELIT* sat = CurrentSatellite();
    switch (g_orbit.cameraMode) {
    case ORBIT_CAMERA_ECEF_EARTH: UpdateEcef(eye, up); break;
    case ORBIT_CAMERA_SUN: UpdateSun(eye, up); break;
    case ORBIT_CAMERA_SATELIT_ORBIT:
        if (sat) UpdateSatelliteOrbit(sat, eye, up);
        break;
    case ORBIT_CAMERA_SATELIT_INERTIAL:
        if (sat) WriteFollowing(Follow(sat, eye), up, Scale(SatellitePosition(sat), kKmToUnits));
        break;
    case ORBIT_CAMERA_SATELIT_BODY:
        if (sat) UpdateSatelliteBody(sat, eye, up);
        break;
    default: break;
    }
}

void ORBIT_KeyCommand(OGW_WINDOW* window, uint32_t keyFlag, uint32_t code, const uint32_t* shift,
                      const uint32_t* control)
{
    uint32_t shiftDown = KeyboardState(shift);
    if (!keyFlag) {
        Character(code, shiftDown);
        return;
    }
    Key(window, code, shiftDown, KeyboardState(control));
}

void ORBIT_RotateCamera(OGW_WINDOW* window, const QUAT* q)
{
    VEC3 eye, up, target;
    OGW_GetEyeUp(window, &eye, &up);
    OGW_GetTarget(window, &target);
    VEC3 newEye = Add(target, Rotated(Sub(eye, target), *q));
    if (!ORBIT_IsOutsideEarth(&newEye)) return;
    VEC3 newUp = Rotated(up, *q);
    OGW_SetEyeUp(window, &newEye, &newUp);
    ORBIT_RequestRedraw();
}

void ORBIT_CmdZoomIn(uint32_t fast) { Command(1, KEY_PRIOR, &fast, nullptr); }
void ORBIT_CmdZoomOut(uint32_t fast) { Command(1, KEY_NEXT, &fast, nullptr); }
void ORBIT_CmdTurnLeft(uint32_t fast) { Command(1, KEY_LEFT, &fast, nullptr); }
void ORBIT_CmdTurnRight(uint32_t fast) { Command(1, KEY_RIGHT, &fast, nullptr); }
void ORBIT_CmdTurnUp(uint32_t fast) { Command(1, KEY_UP, &fast, nullptr); }
void ORBIT_CmdTurnDown(uint32_t fast) { Command(1, KEY_DOWN, &fast, nullptr); }

void ORBIT_CmdTiltLeft(uint32_t fast)
{
    const uint32_t control = 1;
    Command(1, KEY_LEFT, &fast, &control);
}

void ORBIT_CmdTiltRight(uint32_t fast)
{
    const uint32_t control = 1;
    Command(1, KEY_RIGHT, &fast, &control);
}

void ORBIT_CmdCameraHome() { Command(1, KEY_HOME, nullptr, nullptr); }
void ORBIT_CmdCycleMagFieldDisplay() { Command(0, 'M', nullptr, nullptr); }
void ORBIT_CmdNextSatellite() { Command(0, VK_TAB_CHAR, nullptr, nullptr); }

// The field's data are computed when the display first shows them, before the
// render thread can see the mode.
void ORBIT_SetFieldDisplayMode(uint32_t mode)
{
    if (mode != ORBIT_FIELD_DISPLAY_OFF) MAGFIELD_EnsureDisplayData();
    g_scene.fieldDisplayMode = mode;
    ORBIT_RequestRedraw();
}

void ORBIT_CmdMagFieldVectors() { ORBIT_SetFieldDisplayMode(ORBIT_FIELD_DISPLAY_VECTORS); }
void ORBIT_CmdMagFieldLines() { ORBIT_SetFieldDisplayMode(ORBIT_FIELD_DISPLAY_LINES); }
