// SATELIT drawing geometry: arrow lengths, the circles that mark distances on
// the Earth's surface and the local field axes, kept apart from the drawing so
// they can be checked without a window.
#include <algorithm>
#include <cmath>
#include "foundation/constants.h"
#include "simulation/satelit_draw.h"

namespace {

constexpr double kEarthRadiusKm = CONST_EARTH_RADIUS_KM;
constexpr double kEarthDiameterKm = 12756.27;
constexpr double kBorderRadiusKm = 6380.135;   // just above the surface

struct ARROW_BAND {
    double from, to;       // |w| rad/s
    double lengthFrom, lengthTo;
};

const ARROW_BAND kBands[] = {
    {1e-5, 1e-4, 1.5, 1.6}, {1e-4, 1e-3, 1.6, 1.8}, {1e-3, 1e-2, 1.8, 2.1},
    {1e-2, 0.1, 2.1, 2.5},  {0.1, 1.0, 2.5, 3.0},   {1.0, 10.0, 3.0, 3.6},
};

}  // namespace

double SATELIT_AngularVelocityArrowLength(double w, double s)
{
    if (w <= 1e-5) return s;
    for (const ARROW_BAND& b : kBands)
        if (w <= b.to) return s * (b.lengthFrom + (b.lengthTo - b.lengthFrom) * (w - b.from) / (b.to - b.from));
    return s * (3.6 + 0.4 * (w - 10.0) / 90.0);
}

double SATELIT_HorizonDistance(double h)
{
    return sqrt((h + kEarthDiameterKm) * h);
}

uint32_t SATELIT_BorderAngle(double d, double h, double* theta)
{
    if (d < h - 10.0) return 0;
    double c = 1.0 - (d * d - h * h) / ((kEarthRadiusKm + h) * kEarthDiameterKm);
    *theta = acos(std::clamp(c, -1.0, 1.0));
    return 1;
}

uint32_t SATELIT_BorderPoints(const VEC3* position, double d, double h, VEC3 points[SATELIT_BORDER_MAX_POINTS])
{
    double theta;
    if (VEC_IsZero(position) || !SATELIT_BorderAngle(d, h, &theta)) return 0;
    VEC3 p = *position;
    VEC_SetLength(&p, kBorderRadiusKm);
    VEC3 a = p;
    VEC_MakePerpendicular(&a);
    QUAT tilt;
    QUAT_FromAxisAngle(&tilt, theta, a.x, a.y, a.z);
    QUAT_RotateVector(&p, &tilt);
    uint32_t n = d < 800.0 ? 30 : d < 1200.0 ? 50 : 100;
    QUAT step;
    QUAT_FromAxisAngle(&step, 2.0 * CONST_PI / n, position->x, position->y, position->z);
    for (uint32_t i = 0; i < n; i++) {
        points[i] = p;
        QUAT_RotateVector(&p, &step);
    }
    return n;
}

void SATELIT_LocalFieldAxes(const VEC3* position, VEC3 axes[3])
{
    const VEC3 z{0.0, 0.0, 1.0};
    VEC3 across = VEC_CrossValue(position, &z);
    axes[0] = VEC_CrossValue(&across, position);
    // Over a pole every direction across the position is north: take x.
    if (VEC_IsZero(&axes[0])) axes[0] = VEC3{1.0, 0.0, 0.0};
    VEC_Normalize(&axes[0]);
    axes[2] = VEC3{-position->x, -position->y, -position->z};
    VEC_Normalize(&axes[2]);
    axes[1] = VEC_CrossValue(&axes[2], &axes[0]);
}
