// Cost of one SGP_Propagate call (each call repeats the model's set-up).
#include <benchmark/benchmark.h>
#include <cstring>
#include "models/sgp_tle.h"

namespace {

SGP_ELEMENTS ElementsOf(const char* line1, const char* line2)
{
    SGP_TLE_TEXT text;
    memset(&text, 0, sizeof text);
    strcpy(text.rows[1], line1);
    strcpy(text.rows[2], line2);
    SGP_ELEMENTS el;
    SGP_ParseTle(&text, &el);
    return el;
}

// The report's near-Earth and deep-space test sets.
const SGP_ELEMENTS kNear =
    ElementsOf("1 88888U          80275.98708465  .00073094  13844-3  66816-4 0     8",
               "2 88888  72.8435 115.9689 0086731  52.6988 110.5714 16.05824518   105");
const SGP_ELEMENTS kDeep =
    ElementsOf("1 11801U          80230.29629788  .01431103  00000-0  14311-1        ",
               "2 11801  46.7916 230.4354 7318036  47.4722  10.4117  2.28537848      ");

// A 12-hour resonant variant of the deep set: its integrator steps 720
// minutes at a time from the epoch, so the cost grows with the time span.
SGP_ELEMENTS ResonantSet()
{
    SGP_ELEMENTS el = kDeep;
    el.mean_motion = 2.006 * 6.283185307179586 / 1440.0;
    el.deep_space = 1;
    return el;
}

void Propagate(benchmark::State& state, uint32_t variant, const SGP_ELEMENTS& el, double days)
{
    double pos[4], vel[4];
    double minute = 0.0;
    for (auto _ : state) {
        minute = minute < 1440.0 ? minute + 0.5 : 0.0;
        SGP_Propagate(variant, el.epoch_jd + days + minute / 1440.0, &el, pos, vel);
        benchmark::DoNotOptimize(pos);
        benchmark::DoNotOptimize(vel);
    }
}

void BM_Sgp4(benchmark::State& state) { Propagate(state, 1, kNear, 0.0); }
void BM_Sdp4(benchmark::State& state) { Propagate(state, 1, kDeep, 0.0); }
void BM_Sdp4Resonant(benchmark::State& state) { Propagate(state, 1, ResonantSet(), (double)state.range(0)); }
void BM_Sgp(benchmark::State& state) { Propagate(state, 0, kNear, 0.0); }
void BM_Sgp8(benchmark::State& state) { Propagate(state, 3, kNear, 0.0); }
void BM_Sdp8(benchmark::State& state) { Propagate(state, 3, kDeep, 0.0); }

}  // namespace

BENCHMARK(BM_Sgp4);
BENCHMARK(BM_Sdp4);
BENCHMARK(BM_Sdp4Resonant)->Arg(1)->Arg(30)->Arg(365);
BENCHMARK(BM_Sgp);
BENCHMARK(BM_Sgp8);
BENCHMARK(BM_Sdp8);
