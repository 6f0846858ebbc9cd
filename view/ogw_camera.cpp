// The pending and live camera, the projection and the view axes.
#include <GL/gl.h>
#include <cmath>
#include "view/ogw.h"
#include "view/ogw_internal.h"

namespace {

VEC3 Unit(const VEC3& v)
{
    double length = VEC_Length(&v);
    if (length == 0.0)
        return VEC3{1, 0, 0};
    return VEC3{v.x / length, v.y / length, v.z / length};
}

// Camera axes from the pending camera; the caller holds the lock.
void UpdateCameraAxes(OGW_WINDOW* w)
{
    w->cameraUp = Unit(w->pendingUp);
    w->cameraBack = Unit(VEC3{w->pendingEye.x - w->pendingTarget.x, w->pendingEye.y - w->pendingTarget.y,
                              w->pendingEye.z - w->pendingTarget.z});
    VEC_Cross(&w->cameraUp, &w->cameraBack, &w->cameraRight);
}

// An eye and the up vector perpendicular to it towards +z; an eye on the z
// axis looks down from above with x up.
void EyeAndUp(double x, double y, double z, VEC3* eye, VEC3* up)
{
    if (MATH_ApproxEqual(x, 0.0) && MATH_ApproxEqual(y, 0.0)) {
        *eye = VEC3{x, y, z <= 0.0 ? 1.0 : z};
        *up = VEC3{1, 0, 0};
        return;
    }
    *eye = VEC3{x, y, z};
    *up = VEC3{-x * z, -y * z, x * x + y * y};
}

class Guard {
public:
    Guard() { PLAT_EnterLock(OGW_GetLock()); }
    ~Guard() { PLAT_LeaveLock(OGW_GetLock()); }
};

}

void OGW_SetEye(OGW_WINDOW* w, double x, double y, double z)
{
    Guard guard;
    EyeAndUp(x, y, z, &w->pendingEye, &w->pendingUp);
    UpdateCameraAxes(w);
}

void OGW_SetTarget(OGW_WINDOW* w, double x, double y, double z)
{
    Guard guard;
    w->pendingTarget = VEC3{x, y, z};
    UpdateCameraAxes(w);
}

void OGW_SetUp(OGW_WINDOW* w, double x, double y, double z)
{
    Guard guard;
    w->pendingUp = VEC3{x, y, z};
    UpdateCameraAxes(w);
}

void OGW_SetEyeUp(OGW_WINDOW* w, const VEC3* eye, const VEC3* up)
{
    Guard guard;
    w->pendingEye = *eye;
    w->pendingUp = *up;
    UpdateCameraAxes(w);
}

void OGW_GetEye(OGW_WINDOW* w, VEC3* eye)
{
    Guard guard;
    *eye = w->pendingEye;
}

void OGW_GetTarget(OGW_WINDOW* w, VEC3* target)
{
    Guard guard;
    *target = w->pendingTarget;
}

void OGW_GetUp(OGW_WINDOW* w, VEC3* up)
{
    Guard guard;
    *up = w->pendingUp;
}

void OGW_GetEyeUp(OGW_WINDOW* w, VEC3* eye, VEC3* up)
{
    Guard guard;
    *eye = w->pendingEye;
    *up = w->pendingUp;
}

void OGW_GetCameraUpAxis(OGW_WINDOW* w, VEC3* axis)
{
    Guard guard;
    *axis = w->cameraUp;
}

void OGW_GetCameraRightAxis(OGW_WINDOW* w, VEC3* axis)
{
    Guard guard;
    *axis = w->cameraRight;
}

void OGW_GetCameraBackAxis(OGW_WINDOW* w, VEC3* axis)
{
    Guard guard;
    *axis = w->cameraBack;
}

void OGW_SetCameraUpAxis(OGW_WINDOW* w, const VEC3* axis)
{
    Guard guard;
    w->cameraUp = *axis;
}

void OGW_SetCameraRightAxis(OGW_WINDOW* w, const VEC3* axis)
{
    Guard guard;
    w->cameraRight = *axis;
}

void OGW_SetCameraBackAxis(OGW_WINDOW* w, const VEC3* axis)
{
    Guard guard;
    w->cameraBack = *axis;
}

void OGW_SetClipPlanes(OGW_WINDOW* w, double nearClip, double farClip)
{
    Guard guard;
    w->pendingNear = nearClip;
    w->pendingFar = farClip;
}

void OGW_SetFieldOfView(OGW_WINDOW* w, double degrees) { w->fieldOfView = degrees; }
void OGW_EnablePerspective(OGW_WINDOW* w) { w->perspective = 1; }
void OGW_DisablePerspective(OGW_WINDOW* w) { w->perspective = 0; }
void OGW_EnableLookAt(OGW_WINDOW* w) { w->lookAt = 1; }
void OGW_DisableLookAt(OGW_WINDOW* w) { w->lookAt = 0; }

void OGW_GetViewUp(OGW_WINDOW* w, VEC3* axis) { *axis = w->viewUp; }
void OGW_GetViewRight(OGW_WINDOW* w, VEC3* axis) { *axis = w->viewRight; }
void OGW_GetViewBack(OGW_WINDOW* w, VEC3* axis) { *axis = w->viewBack; }
void OGW_SetViewUp(OGW_WINDOW* w, const VEC3* axis) { w->viewUp = *axis; }
void OGW_SetViewRight(OGW_WINDOW* w, const VEC3* axis) { w->viewRight = *axis; }
void OGW_SetViewBack(OGW_WINDOW* w, const VEC3* axis) { w->viewBack = *axis; }

void OGW_LoadViewMatrix()
{
    OGW_WINDOW* w = OGW_GetCurrentWindow();
    if (w)
        glLoadMatrixd(w->viewMatrix);
}

void OGW_SetLiveEye(OGW_WINDOW* w, double x, double y, double z) { EyeAndUp(x, y, z, &w->liveEye, &w->liveUp); }
void OGW_GetLiveEye(OGW_WINDOW* w, VEC3* eye) { *eye = w->liveEye; }
void OGW_SetLiveTarget(OGW_WINDOW* w, double x, double y, double z) { w->liveTarget = VEC3{x, y, z}; }
void OGW_GetLiveTarget(OGW_WINDOW* w, VEC3* target) { *target = w->liveTarget; }
void OGW_SetLiveUp(OGW_WINDOW* w, double x, double y, double z) { w->liveUp = VEC3{x, y, z}; }
void OGW_GetLiveUp(OGW_WINDOW* w, VEC3* up) { *up = w->liveUp; }

void OGW_GetLiveEyeUp(OGW_WINDOW* w, VEC3* eye, VEC3* up)
{
    *eye = w->liveEye;
    *up = w->liveUp;
}

void OGW_SetKeyCallback(OGW_WINDOW* w, OGW_KEY_CALLBACK callback) { w->keyCallback = callback; }
void OGW_EnableKeyNavigation(OGW_WINDOW* w) { w->keyNavigation = 1; }
void OGW_DisableKeyNavigation(OGW_WINDOW* w) { w->keyNavigation = 0; }

void OGW_SetNavigationDistances(OGW_WINDOW* w, double minimum, double second)
{
    w->navigationDistance[0] = minimum;
    w->navigationDistance[1] = second;
}

void OGW_SetKeyRotationAngle(OGW_WINDOW* w, double angle)
{
    Guard guard;
    w->pendingKeyAngle = angle;
    MAT_AxisRotation(&w->pendingRotation, 2, angle);
    MAT_AxisRotationInverse(&w->pendingInverseRotation, 2, angle);
}

namespace {

constexpr double OGW_POLE_MARGIN = 10.0;

// Tilts the pending eye and up about the horizontal axis across the eye;
// refused near the z axis on the side the eye would pass over.
void Tilt(OGW_WINDOW* w, double angle)
{
    VEC3 eye = w->pendingEye, up = w->pendingUp;
    double fromAxis = std::sqrt(eye.x * eye.x + eye.y * eye.y);
    if (fromAxis < OGW_POLE_MARGIN && (angle > 0) == (eye.z > 0))
        return;
    QUAT turn;
    QUAT_FromAxisAngle(&turn, angle, eye.y, -eye.x, 0.0);
    QUAT_RotateVector(&eye, &turn);
    QUAT_RotateVector(&up, &turn);
    w->pendingEye = eye;
    w->pendingUp = up;
    UpdateCameraAxes(w);
}

void Turn(OGW_WINDOW* w, const MAT33* rotation)
{
    MAT_MulVector(rotation, &w->pendingEye);
    MAT_MulVector(rotation, &w->pendingUp);
    UpdateCameraAxes(w);
}

void Zoom(OGW_WINDOW* w, double factor)
{
    VEC3 eye = w->pendingEye;
    double distance = VEC_Length(&eye);
    if (factor < 1.0 && distance * factor < w->navigationDistance[0])
        return;
    EyeAndUp(eye.x * factor, eye.y * factor, eye.z * factor, &w->pendingEye, &w->pendingUp);
    UpdateCameraAxes(w);
}

}

uint32_t OGW_NavigateKey(OGW_WINDOW* w, uint32_t key)
{
    if (!w->keyNavigation)
        return 0;
    Guard guard;
    switch (key) {
    case VK_PRIOR: Zoom(w, 1.0 / w->zoomFactor); return 1;
    case VK_NEXT: Zoom(w, w->zoomFactor); return 1;
    case VK_LEFT: Turn(w, &w->pendingRotation); return 1;
    case VK_RIGHT: Turn(w, &w->pendingInverseRotation); return 1;
    case VK_UP: Tilt(w, w->pendingKeyAngle); return 1;
    case VK_DOWN: Tilt(w, -w->pendingKeyAngle); return 1;
    default: return 0;
    }
}
