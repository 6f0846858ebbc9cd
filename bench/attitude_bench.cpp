// Cost of one attitude update of a CubeSat with all torques, the B-dot
// controller and three coils: with the projections not due, with both recomputed, and
// averaged over a simulated minute in which they are recomputed as the body turns.
#include <benchmark/benchmark.h>
#include <cstring>
#include <filesystem>
#include "foundation/iotxt.h"
#include "foundation/log.h"
#include "foundation/memory.h"
#include "simulation/coil.h"
#include "simulation/orbit.h"
#include "simulation/raster.h"
#include "simulation/satelit.h"
#include "simulation/surfmodel.h"
#include "bench/example_surface.h"

namespace {

// The example CubeSat's surface model with its raster prepared.
SURFMODEL* LoadPreparedCubeSat()
{
    SURFMODEL_Init();
    SURFMODEL* model = LoadCubeSat();
    if (model) SURFMODEL_PrepareRaster(model);
    return model;
}

constexpr double kCubeInertia = 0.0017346938775510;
constexpr TIME_MS kStart = 12000000000000;

struct BenchSatellite {
    SATELIT sat;
    COIL coils[3];
    explicit BenchSatellite(double degreesPerSecond)
    {
        memset(static_cast<void*>(&sat), 0, sizeof sat);
        g_simClock.clock = kStart;
        sat.surfaceModelInUse = LoadPreparedCubeSat();
        sat.centreOfMass = VEC3{0.0009, 0, -0.0039};
        sat.meanReflectivity = 0.95;
        sat.dragCoefficient = 2.2;
        MAT33 inertia{{kCubeInertia, 0, 0, 0, kCubeInertia * 1.1, 0, 0, 0, kCubeInertia * 0.9}};
        QUAT q{1, 0, 0, 0};
        VEC3 w{0, 0.6 * degreesPerSecond * 0.0174533, 0.8 * degreesPerSecond * 0.0174533};
        VEC3 zero{0, 0, 0};
        ATTITUDE_SetMethod(&sat.attitude, ATTITUDE_FOURTH_ORDER);
        ATTITUDE_SetInertia(&sat.attitude, &inertia);
        ATTITUDE_SetQuaternion(&sat.attitude, &q);
        ATTITUDE_SetAngularVelocity(&sat.attitude, &w);
        ATTITUDE_SetTorque(&sat.attitude, &zero);
        ATTITUDE_Init(&sat.attitude);
        sat.lastAttitudeTime = kStart;
        sat.nextProjectionTime = kStart;
        // A straight span, so that the benchmark may run past its end.
        SAT_ORBIT_POINT a{kStart, {6928.0, 0, 0}, {0, 4.7, 5.9}, {12000, -3000, 25000}, 3e-13};
        SAT_ORBIT_POINT b{kStart + 30000, {6928.0, 141.0, 177.0}, {0, 4.7, 5.9}, {12000, -3000, 25000}, 3e-13};
        sat.orbitPoints[0] = a;
        sat.orbitPoints[1] = b;
        SATELIT_SetSpan(&sat);
        sat.gravityTorque = sat.magneticTorque = sat.solarTorque = sat.dragTorque = 1;
        sat.residualDipole = VEC3{0.001, 0.001, 0.001};
        sat.energyDamping = 1e-9;
        sat.bdotGiven = 1;
        sat.bdot.gain = 5000;
        sat.bdot.maxMoment[0] = sat.bdot.maxMoment[1] = sat.bdot.maxMoment[2] = 0.02;
        sat.bdot.interval = 1000;
        BDOT_Enable(&sat.bdot);
        BDOT_Start(&sat.bdot);
        // Three coils along the body axes, each carrying a current.
        const VEC3 axes[3] = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}};
        for (int i = 0; i < 3; ++i) {
            memset(static_cast<void*>(&coils[i]), 0, sizeof coils[i]);
            coils[i].windings = 200;
            coils[i].sideA = coils[i].sideB = 0.08;
            coils[i].direction = axes[i];
            coils[i].resistance = 300;
            coils[i].current = 0.01 * (i + 1);
            coils[i].next = i < 2 ? &coils[i + 1] : nullptr;
        }
        sat.coils = &coils[0];
    }
    ~BenchSatellite()
    {
        for (SAT_PROJECTION_BLOCK* b : {&sat.sunProjection, &sat.dragProjection}) {
            if (b->triangles) RASTER_FreeRecording(b->triangles);
        }
        SURFMODEL_Free(sat.surfaceModelInUse);
        SURFMODEL_Cleanup();
    }
};

void UpdateWithoutProjections(benchmark::State& state)
{
    BenchSatellite b(10.0);
    for (auto _ : state) {
        g_simClock.clock += 10;
        b.sat.nextProjectionTime = g_simClock.clock + 1000;
        SATELIT_UpdateAttitude(&b.sat);
    }
}
BENCHMARK(UpdateWithoutProjections);

void UpdateWithBothProjections(benchmark::State& state)
{
    BenchSatellite b(10.0);
    for (auto _ : state) {
        g_simClock.clock += 10;
        b.sat.nextProjectionTime = g_simClock.clock;
        SATELIT_UpdateAttitude(&b.sat);
    }
}
BENCHMARK(UpdateWithBothProjections)->Unit(benchmark::kMicrosecond);

// A simulated minute of 10 ms updates from the given rate, the time reported
// per update; each minute starts afresh, so B-dot does not slow the body
// from one minute to the next.
void MinuteAt(benchmark::State& state, double degreesPerSecond)
{
    for (auto _ : state) {
        state.PauseTiming();
        auto* b = new BenchSatellite(degreesPerSecond);
        state.ResumeTiming();
        for (int i = 0; i < 6000; ++i) {
            g_simClock.clock += 10;
            SATELIT_UpdateAttitude(&b->sat);
        }
        state.PauseTiming();
        delete b;
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * 6000);
}
BENCHMARK_CAPTURE(MinuteAt, OneDegreePerSecond, 1.0)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(MinuteAt, TenDegreesPerSecond, 10.0)->Unit(benchmark::kMillisecond);

}  // namespace
