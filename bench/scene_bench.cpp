// The 3-D view's cost: offscreen frames per second (and processor time per
// frame) at 800 x 600 with ten satellites and every display switch on, the
// information windows included, and simulation steps per second
// with ten satellites with the view drawing on every request against none.
// llvmpipe's raster threads are set with LP_NUM_THREADS before the run.
#include <benchmark/benchmark.h>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <time.h>
#include "foundation/iotxt.h"
#include "foundation/log.h"
#include "foundation/memory.h"
#include "foundation/pool.h"
#include "foundation/time.h"
#include "platform/plat_time.h"
#include "platform/plat_window.h"
#include "simulation/orbit.h"
#include "simulation/orbit_step.h"
#include "simulation/satelit.h"
#include "simulation/sats.h"
#include "view/camera.h"
#include "view/ogw.h"
#include "view/scene.h"

namespace {

std::string ProgramFile(const char* name) { return std::string(MEMORY_ProgramDirectory()) + "/" + name; }

void Write(const char* name, const std::string& text)
{
    std::ofstream(ProgramFile(name), std::ios::binary) << text;
}

// A one-colour 24-bit bitmap of 64 x 64 pixels.
void WriteBitmap(const char* name, uint8_t grey)
{
    std::string data(54, '\0');
    const uint32_t fields[][2] = {{2, 54 + 64 * 64 * 3}, {10, 54}, {14, 40}, {18, 64}, {22, 64}};
    for (const auto& f : fields)
        for (int i = 0; i < 4; i++) data[f[0] + i] = (char)((f[1] >> (8 * i)) & 0xFF);
    data[0] = 'B';
    data[1] = 'M';
    data[26] = 1;
    data[28] = 24;
    data += std::string(64 * 64 * 3, (char)grey);
    Write(name, data);
}

const char* kModels[] = {
    "SPHERE, 0.05, rgb(255, 200, 40)",          "SPHERESHADED, 0.05, rgb(40, 200, 255)",
    "SPHERETEXTURED, 0.05, \"Sat.bmp\"",       "SPHERESHADEDTEXTURED, 0.05, \"Sat.bmp\"",
    "BILLBOARD, 0.1, 0.1, \"Sat.bmp\"",         "USER, \"shape.def\"",
};

const char* kSwitches[] = {
    "track_line", "draw_history", "draw_title_info", "sun_vector", "mag_vector", "mag_vector_components",
    "mag_vector_history", "draw_linear_velocity", "local_eci_axes", "local_mag_axes", "local_body_axes",
    "local_orbit_axes", "principal_inertia_axes", "draw_rotation_axis", "draw_angular_velocity",
    "draw_gravity_torque", "draw_solar_torque", "draw_drag_torque", "draw_magnetic_torque",
    "draw_magnetic_dipole", "draw_total_torque", "draw_sun_projection", "draw_drag_projection", "info_window",
    "gravity_torque", "magnetic_torque", "solar_torque", "drag_torque",
};

std::string Satellites()
{
    std::string text;
    for (int i = 0; i < 10; i++) {
        text += "satelit\n    name = \"SAT" + std::to_string(i) + "\"\n    orbit_model = SGP4\n    tle = \"leo.tle\"\n";
        text += "    mass_model \"cubesat\", \"cubesat.mass\"\n    surface_model = \"cubesat\", \"cubesat.surf\"\n";
        text += "    magnetic_field_model = REAL\n    attitude_model = EULER\n    attitude = EULER_ANGLES(0, 0, 0)\n";
        text += "    rotation_axis = VECTOR(0, 0, 1)\n    angular_velocity = DEG_PER_SECOND(1)\n";
        text += std::string("    graphics_model = ") + kModels[i % 6] + "\n";
        for (const char* s : kSwitches) text += std::string("    ") + s + " = ANO\n";
        text += "    residual_dipole = VECTOR(0.0005, 0.0005, 0.0005)\n    mean_reflectivity = 0.95\n";
        text += "    drag_coefficient = 2.2\n";
        text += "    visibility_border = rgb(90, 220, 120)\n    distance_border = 1500, rgb(220, 90, 90)\nend\n";
    }
    return text;
}

void WriteScenario(bool graphics)
{
    for (const char* name : {"leo.tle", "Space.cfg", "cubesat.mass", "cubesat.surf"})
        std::filesystem::copy_file(std::string(ORBIT_SOURCE_DIR) + "/examples/scene/" + name, ProgramFile(name),
                                   std::filesystem::copy_options::overwrite_existing);
    for (const char* name : {"Earth.bmp", "Sun.bmp", "Moon.bmp", "Star.bmp", "Sat.bmp"}) WriteBitmap(name, 150);
    Write("shape.def",
          "color_quad -1,-1,0, 1,-1,0, 1,1,0, -1,1,0, rgb(200, 200, 60)\n"
          "color_sphere 0, 0, 1, 0.3, rgb(80, 80, 200)\n"
          "transmitter_cone 0, 0, 1, 0, 0, 1, 3, 20, rgb(255, 255, 0), 80\n");
    Write("Objects.cfg", Satellites());
    Write("Orbit.cfg", graphics ? "OrbitWindow_DX = 800\nOrbitWindow_DY = 600\n" : "OrbitGraphics = NE\n");
}

// A run's scene, started as the run start does.
struct Run {
    explicit Run(bool graphics)
    {
        setenv("ORBIT_HEADLESS", "1", 1);
        LOG_Init();
        MEMORY_Init();
        POOL_Init();
        IOTXT_Init();
        PLAT_ResetWindows();
        PLAT_SetVirtualTime(1);
        WriteScenario(graphics);
        g_simClock = SIM_CLOCK{};
        SYSTEMTIME start{};
        start.wYear = 2006;
        start.wMonth = 1;
        start.wDay = 1;
    start.wMinute = 20;   // the satellites reach sunlight three minutes later
        g_simClock.clock = g_simClock.runStart = TIME_SystemTimeToMs(&start);
        g_simClock.runEnd = g_simClock.clock + 864000000;
        OGW_Init();
        ORBIT_InitRun();
        started = ORBIT_Start(0);
        ORBIT_CmdMagFieldVectors();
    }
    ~Run()
    {
        if (started) ORBIT_Stop();
        ORBIT_DoneRun();
        OGW_Done();
        PLAT_SetVirtualTime(0);
    }
    uint32_t started = 0;
};

double ProcessSeconds()
{
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return (double)t.tv_sec + (double)t.tv_nsec * 1e-9;
}

void WaitForFrame(OGW_WINDOW* w)
{
    while (w->redrawCounter.load() > 0 || w->frameInProgress.load()) PLAT_Sleep(1);
}

// Model steps, a second apart, until the first satellite is in sunlight and
// has flown a while, so its histories and both projections are drawn.
uint32_t StepIntoSunlight()
{
    SATELIT* sat = SATS_GetFirst();
    for (uint32_t i = 0; i < 20000 && sat; i++) {
        g_simClock.clock += 1000;
        ORBIT_StepModels();
        ORBIT_EndTick();
        if (i >= 100 && sat->display.illumination > 0.0 && sat->sunProjection.triangles && sat->dragProjection.triangles)
            return 1;
    }
    return 0;
}

void BM_SceneFrame(benchmark::State& state)
{
    Run run(true);
    if (!run.started || !g_scene.window) {
        state.SkipWithError("the scene did not start");
        return;
    }
    if (!StepIntoSunlight()) {
        state.SkipWithError("the satellites found no sunlight");
        return;
    }
    OGW_WINDOW* w = g_scene.window;
    double cpuStart = ProcessSeconds();
    for (auto _ : state) {
        OGW_RequestRedraw(w);
        WaitForFrame(w);
    }
    state.counters["frames/s"] = benchmark::Counter((double)state.iterations(), benchmark::Counter::kIsRate);
    // Processor time of the whole program per frame: what a frame costs
    // whatever else the core runs.
    state.counters["cpu_ms/frame"] = (ProcessSeconds() - cpuStart) * 1000.0 / (double)state.iterations();
}

// Steps of the scheduler with every model due at its period; with the view,
// each step that changes the scene asks for a frame, drawn alongside.
void BM_SimulationSteps(benchmark::State& state)
{
    Run run(state.range(0) != 0);
    if (!run.started) {
        state.SkipWithError("the run did not start");
        return;
    }
    uint32_t step = ORBIT_GetMinUpdatePeriod();
    for (auto _ : state) {
        g_simClock.clock += step;
        ORBIT_StepModels();
        ORBIT_EndTick();
    }
    state.counters["steps/s"] = benchmark::Counter((double)state.iterations(), benchmark::Counter::kIsRate);
}

}  // namespace

BENCHMARK(BM_SceneFrame)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(3.0);
BENCHMARK(BM_SimulationSteps)->Arg(0)->Arg(1)->ArgName("view")->UseRealTime()->MinTime(3.0);
