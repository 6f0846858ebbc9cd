// BDOT / BCROSS: parameter lines, sampling and the control laws of the two
// built-in magnetic controllers.
#include "simulation/controllers.h"
#include <cmath>
#include <cstdint>
#include "foundation/iotxt.h"
#include "foundation/log.h"
#include "simulation/main.h"

static constexpr double kMinSampleSpacing = 0.002;   // s
static constexpr double kMaxSamplingThreshold = 20.0;  // s
static constexpr double kCosHalfDegree = 0.99996;
static constexpr double kCosTenDegrees = 0.9848;
static constexpr double kMinFieldTesla = 1e-7;

void BDOT_Init() {}
void BDOT_Done() {}
void BCROSS_Init() {}
void BCROSS_Done() {}

// ---- parameter line -----------------------------------------------------------

// A negative maximum would reverse the command, so it is refused; zero
// maxima and any gain are allowed.
static uint32_t ReadParams(BDOT_CONTROLLER* c)
{
    double values[4];
    for (int i = 0; i < 4; ++i) {
        if (i > 0 && !IOTXT_MatchComma()) return 0;
        if (!IOTXT_ReadDouble(&values[i])) return 0;
    }
    int64_t interval;
    if (!IOTXT_MatchComma() || !IOTXT_ReadDuration(&interval) || !IOTXT_IsEndOfLine()) return 0;
    for (int i = 1; i < 4; ++i) {
        if (!(values[i] >= 0.0)) return 0;
    }
    c->gain = values[0];
    for (int i = 0; i < 3; ++i) c->maxMoment[i] = values[i + 1];
    c->interval = interval;
    return 1;
}

uint32_t BDOT_ParseParams(BDOT_CONTROLLER* c)
{
    if (ReadParams(c)) return 1;
    LOG_Printf("SAT: očekávám parametry B-DOT ve formátu <zesílení>,<max.momentX>,<max.momentY>,<max.momentZ>,"
               "<interval> na řádku %d konfiguračního souboru.\n",
               IOTXT_GetLineNumber());
    return 0;
}

uint32_t BCROSS_ParseParams(BCROSS_CONTROLLER* c) { return BDOT_ParseParams(c); }

// ---- life cycle -----------------------------------------------------------------

void BDOT_Enable(BDOT_CONTROLLER* c)
{
    c->enabled = 1;
    c->firstStepPending = 1;
    c->sampleGiven = 0;
}

void BCROSS_Enable(BCROSS_CONTROLLER* c)
{
    BDOT_Enable(c);
    c->samplingThreshold = kMinSampleSpacing;
}

void BDOT_Start(BDOT_CONTROLLER* c)
{
    c->lastStepTime = g_simClock.clock;
    c->firstStepPending = 1;
    c->sampleGiven = 0;
}

void BCROSS_Start(BCROSS_CONTROLLER* c) { BDOT_Start(c); }
void BDOT_Disable(BDOT_CONTROLLER* c) { c->enabled = 0; }
void BCROSS_Disable(BCROSS_CONTROLLER* c) { c->enabled = 0; }

// ---- sampling ---------------------------------------------------------------------

// The field as a magnetometer of whole nanotesla reads it: truncated toward
// zero. Values beyond the 32-bit range are clamped and NaN reads 0.
static double WholeNanotesla(double tesla)
{
    double nt = tesla * 1e9;
    if (std::isnan(nt)) return 0.0;
    if (nt > INT32_MAX) nt = INT32_MAX;
    if (nt < INT32_MIN) nt = INT32_MIN;
    return static_cast<int32_t>(nt) / 1e9;
}

void BDOT_SetInput(BDOT_CONTROLLER* c, const VEC3* field)
{
    c->latestField = VEC3{WholeNanotesla(field->x), WholeNanotesla(field->y), WholeNanotesla(field->z)};
    c->latestSampleTime = g_simClock.clock;
    c->sampleGiven = 1;
}

void BCROSS_SetInput(BCROSS_CONTROLLER* c, const VEC3* field)
{
    c->latestField = *field;
    c->latestSampleTime = g_simClock.clock;
    c->sampleGiven = 1;
}

// ---- control laws -----------------------------------------------------------------

// Scales the command by one factor so that no axis exceeds its maximum.
static VEC3 Saturate(const BDOT_CONTROLLER* c, const VEC3& m)
{
    const double components[3] = {m.x, m.y, m.z};
    double k = 1.0;
    for (int i = 0; i < 3; ++i) {
        double size = std::fabs(components[i]);
        if (size > c->maxMoment[i]) k = std::fmin(k, c->maxMoment[i] / size);
    }
    return VEC3{k * m.x, k * m.y, k * m.z};
}

// Whether the interval since the last acting step has passed; if so, this step acts.
static bool StepIsDue(BDOT_CONTROLLER* c)
{
    if (g_simClock.clock - c->lastStepTime < c->interval) return false;
    c->lastStepTime = g_simClock.clock;
    return c->sampleGiven != 0;
}

static double SampleSpacing(const BDOT_CONTROLLER* c)
{
    return static_cast<double>(c->latestSampleTime - c->previousSampleTime) / 1000.0;
}

static void KeepLatestAsPrevious(BDOT_CONTROLLER* c)
{
    c->previousField = c->latestField;
    c->previousSampleTime = c->latestSampleTime;
}

void BDOT_Step(BDOT_CONTROLLER* c)
{
    if (!StepIsDue(c)) return;
    VEC_Zero(&c->moment);
    if (c->firstStepPending) {
        c->firstStepPending = 0;
    } else {
        double dt = SampleSpacing(c);
        if (dt > kMinSampleSpacing) {
            double k = -c->gain / dt;
            VEC3 raw{k * (c->latestField.x - c->previousField.x), k * (c->latestField.y - c->previousField.y),
                     k * (c->latestField.z - c->previousField.z)};
            c->moment = Saturate(c, raw);
        }
    }
    KeepLatestAsPrevious(c);
}

// Adapts the sampling threshold to the turn of the field; false when the
// turn is too small to steer by and the previous sample is kept.
static bool FieldTurnedEnough(BCROSS_CONTROLLER* c)
{
    double previous = VEC_Length(&c->previousField), latest = VEC_Length(&c->latestField);
    if (!(previous > kMinFieldTesla && latest > kMinFieldTesla)) return true;
    double cosine = VEC_Dot(&c->previousField, &c->latestField) / (previous * latest);
    if (cosine > kCosHalfDegree) {
        if (c->samplingThreshold < kMaxSamplingThreshold) c->samplingThreshold *= 1.05;
        return false;
    }
    if (c->samplingThreshold > kMinSampleSpacing) c->samplingThreshold /= 1.01;
    if (cosine < kCosTenDegrees && c->samplingThreshold > kMinSampleSpacing) c->samplingThreshold /= 1.05;
    return true;
}

void BCROSS_Step(BCROSS_CONTROLLER* c)
{
    if (!StepIsDue(c)) return;
    VEC_Zero(&c->moment);
    if (c->firstStepPending) {
        c->firstStepPending = 0;
        KeepLatestAsPrevious(c);
        return;
    }
    if (!(SampleSpacing(c) > c->samplingThreshold)) return;
    if (!FieldTurnedEnough(c)) return;
    VEC3 across = VEC_CrossValue(&c->latestField, &c->previousField);
    VEC3 u = VEC_CrossValue(&c->latestField, &across);
    VEC_Normalize(&u);
    c->moment = Saturate(c, VEC3{-c->gain * u.x, -c->gain * u.y, -c->gain * u.z});
    KeepLatestAsPrevious(c);
}

static void ActiveMoment(const BDOT_CONTROLLER* c, VEC3* moment)
{
    if (c->enabled && !c->firstStepPending) *moment = c->moment;
    else VEC_Zero(moment);
}

void BDOT_GetMoment(BDOT_CONTROLLER* c, VEC3* moment)
{
    BDOT_Step(c);
    ActiveMoment(c, moment);
}

void BCROSS_GetMoment(BCROSS_CONTROLLER* c, VEC3* moment)
{
    BCROSS_Step(c);
    ActiveMoment(c, moment);
}
