// SAT value forms of the satellite block: vectors, rates, damping and attitudes.
#include "simulation/satelit_values.h"
#include "foundation/constants.h"
#include <cmath>
#include "foundation/iotxt.h"
#include "foundation/log.h"
#include "models/ephemeris.h"


static uint32_t VectorError()
{
    LOG_Printf("SAT: Chybné určení vektoru na řádce %d.\n", IOTXT_GetLineNumber());
    return 0;
}

static uint32_t ReadVectorBody(double v[3])
{
    if (!IOTXT_MatchChar('(')) {
        LOG_Printf("SAT: Očekávám závorku na řádce %d.\n", IOTXT_GetLineNumber());
        return 0;
    }
    if (!IOTXT_ReadDoubleList(v, 3)) return VectorError();
    if (!IOTXT_MatchChar(')')) {
        LOG_Printf("SAT: Očekávám závorku na řádce %d.\n", IOTXT_GetLineNumber());
        return 0;
    }
    return 1;
}

uint32_t SAT_ReadVector(VEC3* out)
{
    double v[3];
    if (IOTXT_MatchWord("VECTOR_ECI") || IOTXT_MatchWord("VECTOR")) {
        if (!ReadVectorBody(v)) return 0;
        *out = VEC3{v[0], v[1], v[2]};
        return 1;
    }
    if (IOTXT_MatchWord("POLAR_ECEF")) {
        if (!ReadVectorBody(v)) return 0;
        double theta = ORBIT_EarthRotationAngleAt(g_simClock.clock);
        double lon = (v[0] + theta) * CONST_DEG_TO_RAD;
        double lat = v[1] * CONST_DEG_TO_RAD;
        *out = VEC3{v[2] * cos(lat) * cos(lon), v[2] * cos(lat) * sin(lon), v[2] * sin(lat)};
        return 1;
    }
    return VectorError();
}

struct SAT_UNIT_FORM {
    const char* word;
    double factor;
};

// Reads WORD(x) for one of the forms, giving x * factor.
static uint32_t ReadUnitForm(const SAT_UNIT_FORM* forms, int count, double* out)
{
    for (int i = 0; i < count; ++i) {
        if (!IOTXT_MatchWord(forms[i].word)) continue;
        double x;
        if (!IOTXT_MatchChar('(') || !IOTXT_ReadDouble(&x) || !IOTXT_MatchChar(')')) return 0;
        *out = x * forms[i].factor;
        return 1;
    }
    return 0;
}

uint32_t SAT_ReadRatePerTime(double* perSecond)
{
    static const SAT_UNIT_FORM forms[] = {
        {"PER_SECOND", 1.0}, {"PER_MINUTE", 1.0 / 60.0}, {"PER_HOUR", 1.0 / 3600.0}, {"PER_DAY", 1.0 / 86400.0}};
    return ReadUnitForm(forms, 4, perSecond);
}

uint32_t SAT_ReadAngularRate(double* radPerSecond)
{
    static const SAT_UNIT_FORM forms[] = {
        {"RAD_PER_SECOND", 1.0}, {"RAD_PER_MINUTE", 1.0 / 60.0},
        {"RAD_PER_HOUR", 1.0 / 3600.0}, {"RAD_PER_DAY", 1.0 / 86400.0},
        {"REV_PER_SECOND", 2.0 * CONST_PI}, {"REV_PER_MINUTE", 2.0 * CONST_PI / 60.0},
        {"REV_PER_HOUR", 2.0 * CONST_PI / 3600.0}, {"REV_PER_DAY", 2.0 * CONST_PI / 86400.0},
        {"DEG_PER_SECOND", CONST_DEG_TO_RAD}, {"DEG_PER_MINUTE", CONST_DEG_TO_RAD / 60.0},
        {"DEG_PER_HOUR", CONST_DEG_TO_RAD / 3600.0}, {"DEG_PER_DAY", CONST_DEG_TO_RAD / 86400.0}};
    return ReadUnitForm(forms, 12, radPerSecond);
}

uint32_t SAT_ReadDamping(double* joulePerRad)
{
    static const SAT_UNIT_FORM forms[] = {{"JOULE_PER_DEG", 180.0 / CONST_PI}, {"JOULE_PER_RAD", 1.0}};
    return ReadUnitForm(forms, 2, joulePerRad);
}

// Reads "(v1, ..., vn)" of an attitude form; each failure has its message.
static uint32_t ReadAttitudeValues(double* values, uint16_t count, const char* valueMessage)
{
    if (!IOTXT_MatchChar('(')) {
        LOG_Printf("SAT: očekávám závorku na řádku %d.\n", IOTXT_GetLineNumber());
        return 0;
    }
    if (!IOTXT_ReadDoubleList(values, count)) {
        LOG_Printf(valueMessage, IOTXT_GetLineNumber());
        return 0;
    }
    if (!IOTXT_MatchChar(')')) {
        LOG_Printf("SAT: očekávám pravou závorku na řádku %d.\n", IOTXT_GetLineNumber());
        return 0;
    }
    return 1;
}

static bool AngleInRange(double degrees) { return degrees > -360.0 && degrees < 360.0; }

static uint32_t AngleRangeError()
{
    LOG_Printf("SAT: úhel pootočení na řádku %d je mimo rozsah (-360;360).\n", IOTXT_GetLineNumber());
    return 0;
}

// The turn that brings the Z axis onto v, then the turn by angle about Z.
static void AttitudeFromZAxis(const VEC3* v, double angleDeg, QUAT* out)
{
    QUAT q1{1.0, 0.0, 0.0, 0.0};
    double length = VEC_Length(v);
    if (length > MATH_TOLERANCE_FINE) {
        double c = v->z / length;
        if (c < -1.0) c = -1.0;
        if (c > 1.0) c = 1.0;
        double turn = acos(c);
        if (!MATH_ApproxEqual(turn, 0.0)) {
            VEC3 z{0.0, 0.0, 1.0};
            VEC3 axis;
            VEC_Cross(&z, v, &axis);
            if (VEC_IsZero(&axis)) axis = VEC3{1.0, 0.0, 0.0};  // along -Z: a half turn about X
            QUAT_FromAxisAngle(&q1, turn, axis.x, axis.y, axis.z);
        }
    }
    QUAT q2;
    QUAT_FromAxisAngle(&q2, angleDeg * CONST_DEG_TO_RAD, 0.0, 0.0, 1.0);
    QUAT_Multiply(&q1, &q2, out);
}

static uint32_t ReadVectorAndRotation(QUAT* q)
{
    double v[4];
    if (!ReadAttitudeValues(v, 4, "SAT: očekávám souřadnice vektoru nové osy Z+ a rotaci na řádku %d.\n")) return 0;
    if (!AngleInRange(v[3])) return AngleRangeError();
    VEC3 axis{v[0], v[1], v[2]};
    AttitudeFromZAxis(&axis, v[3], q);
    return 1;
}

static uint32_t ReadAxisRotation(QUAT* q)
{
    double v[4];
    static const char* const kValues = "SAT: očekávám souřadnice vektoru osy a rotaci na řádku %d.\n";
    if (!ReadAttitudeValues(v, 4, kValues)) return 0;
    if (!AngleInRange(v[3])) return AngleRangeError();
    // A zero axis has no direction and would give the zero quaternion, which is no attitude.
    if (MATH_ApproxEqual(sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]), 0.0)) {
        LOG_Printf(kValues, IOTXT_GetLineNumber());
        return 0;
    }
    QUAT_FromAxisAngle(q, v[3] * CONST_DEG_TO_RAD, v[0], v[1], v[2]);
    return 1;
}

static uint32_t ReadQuaternion(QUAT* q)
{
    double v[4];
    if (!ReadAttitudeValues(v, 4, "SAT: očekávám 4 složky quaternionu na řádku %d.\n")) return 0;
    double length = sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2] + v[3] * v[3]);
    if (MATH_ApproxEqual(length, 0.0)) {
        *q = QUAT{1.0, 0.0, 0.0, 0.0};
    } else {
        *q = QUAT{v[0] / length, v[1] / length, v[2] / length, v[3] / length};
    }
    return 1;
}

static uint32_t ReadDcmMatrix(QUAT* q)
{
    MAT33 m;
    if (!ReadAttitudeValues(m.m, 9, "SAT: očekávám 9 prvků rotační matice po řádcích řádku %d.\n")) return 0;
    if (!MAT_IsRotation(&m)) {
        LOG_Printf("SAT: zadaná matice nesplňuje podmínky pro rotační matici na řádku %d.\n", IOTXT_GetLineNumber());
        return 0;
    }
    QUAT_FromMatrix(&m, q);
    return 1;
}

static uint32_t ReadEulerAngles(QUAT* q)
{
    double v[3];
    if (!ReadAttitudeValues(v, 3, "SAT: očekávám 3 hodnoty Eulerových úhlů Roll, Pitch, Yaw řádku %d.\n")) return 0;
    static const char* const names[3] = {"ROLL", "PITCH", "YAW"};
    for (int i = 0; i < 3; ++i) {
        if (!AngleInRange(v[i])) {
            LOG_Printf("SAT: úhel pootočení %s na řádku %d je mimo rozsah (-360;360).\n", names[i], IOTXT_GetLineNumber());
            return 0;
        }
    }
    MAT33 m;
    MAT_FromEulerAngles(&m, v[0] * CONST_DEG_TO_RAD, v[1] * CONST_DEG_TO_RAD, v[2] * CONST_DEG_TO_RAD);
    QUAT_FromMatrix(&m, q);
    return 1;
}

uint32_t SAT_ReadAttitude(QUAT* q)
{
    if (IOTXT_MatchWord("VECTOR_ECI_AND_ROTATION")) return ReadVectorAndRotation(q);
    if (IOTXT_MatchWord("AXIS_ROTATION")) return ReadAxisRotation(q);
    if (IOTXT_MatchWord("QUATERNION")) return ReadQuaternion(q);
    if (IOTXT_MatchWord("DCM_MATRIX")) return ReadDcmMatrix(q);
    if (IOTXT_MatchWord("EULER_ANGLES")) return ReadEulerAngles(q);
    LOG_Printf("SAT: neznámý formát určení polohy na řádku %d.\n", IOTXT_GetLineNumber());
    return 0;
}
