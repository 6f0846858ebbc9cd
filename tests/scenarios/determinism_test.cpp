// One scenario, one result: the reference satellite (on-board B-dot module,
// coils, attitude) gives the same rows and module log however it is recorded,
// whatever the real clock does, beside other satellites or alone, and a stop
// request ends a long tick at once with whole rows. The coil example's
// results row is the same at any speed and beside any other file, and the
// on-board example's satellite logs and records the same beside its twin.
#include <gtest/gtest.h>
#include <algorithm>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <regex>
#include <sched.h>
#include <sstream>
#include <string>
#include <vector>
#include "tests/scenarios/scenario_support.h"
#include "tests/support/test_support.h"

namespace {

const std::string kExample = std::string(ORBIT_SOURCE_DIR) + "/examples/reference/";

// How long a stop may take: half a second, ten times that under the
// sanitizers, which slow the program's clean-up as much.
#ifdef __SANITIZE_ADDRESS__
constexpr int kStopMs = 5000;
#else
constexpr int kStopMs = 500;
#endif

// The module image, built once for all the runs of this program.
const std::string& ModuleImage()
{
    static std::string image;
    if (image.empty()) {
        image = testsupport::MakeTempDir("bdot_image") + "/bdot.img";
        EXPECT_EQ(scenario::BuildModule(kExample + "bdot.c", image), 0);
    }
    return image;
}

std::string SatelliteBlock(const std::string& name)
{
    std::string objects = testsupport::ReadFile(kExample + "Objects.cfg");
    std::string block = objects.substr(objects.find("\nsatelit") + 1);
    block = block.substr(0, block.find("\nend\n") + 5);
    size_t at = block.find("\"CUBESAT\"");
    return block.replace(at, 9, "\"" + name + "\"");
}

struct Case {
    std::string interval = "10s";
    std::string end = "01.01.2006, 00:01";
    std::string speed = "FASTEST";
    std::string extraSatellites;
};

// A scenario folder of the reference example for the case.
std::string Prepare(const std::string& label, const Case& c)
{
    std::string dir = testsupport::MakeTempDir(label);
    for (const char* name : {"cubesat.mass", "cubesat.surf", "reference.tle"})
        std::filesystem::copy_file(kExample + name, dir + "/" + name);
    std::filesystem::copy_file(ModuleImage(), dir + "/bdot.img");
    std::string output = testsupport::ReadFile(kExample + "DataOutput.cfg");
    output.replace(output.find("interval = 10s"), 14, "interval = " + c.interval);
    testsupport::WriteFile(dir + "/DataOutput.cfg", output);
    testsupport::WriteFile(dir + "/Multipass.cfg", "starttime = UT(\"01.01.2006, 00:00\")\nendtime = UT(\"" + c.end +
                                                       "\")\nsimulationspeed = " + c.speed + "\n");
    testsupport::WriteFile(dir + "/Objects.cfg", SatelliteBlock("CUBESAT") + c.extraSatellites);
    return dir;
}

// Starts the program in the folder, in virtual time or real time, on the
// given processors (none: any).
scenario::Program Start(const std::string& dir, bool virtualTime, const std::vector<int>& cpus = {})
{
    scenario::Program p = scenario::StartIn(dir, nullptr, virtualTime);
    if (!cpus.empty()) {
        cpu_set_t set;
        CPU_ZERO(&set);
        for (int cpu : cpus) CPU_SET(cpu, &set);
        sched_setaffinity(p.pid, sizeof set, &set);
    }
    return p;
}

std::string Rows(const std::string& dir) { return testsupport::ReadFile(dir + "/reference.csv"); }

// Rows by their time stamp.
std::map<std::string, std::string> RowsByTime(const std::string& dir)
{
    std::map<std::string, std::string> rows;
    std::istringstream in(Rows(dir));
    std::string line;
    std::getline(in, line);
    while (std::getline(in, line)) rows[line.substr(0, line.find(';'))] = line;
    return rows;
}

// The log from the satellite's listing on, without the lines that carry real time.
std::string SimulatedLog(const std::string& dir)
{
    std::string log = testsupport::ReadFile(dir + "/Zendrix.log");
    size_t listed = log.find("Satelit: CUBESAT\n");
    std::istringstream in(listed == std::string::npos ? log : log.substr(listed));
    std::string out, line;
    while (std::getline(in, line))
        if (line.find("reálného") == std::string::npos && line.find("milisekund") == std::string::npos) out += line + "\n";
    return out;
}

int RunToEnd(const std::string& dir, bool virtualTime = true)
{
    return scenario::Wait(Start(dir, virtualTime), 120000);
}

class Determinism : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!scenario::SdccPresent()) GTEST_SKIP() << "sdcc is not installed";
    }
};

// Rows at every step (10 ms) still let the module's power-on event fire, and
// no interval changes a value, a module log line or the coil energies.
TEST_F(Determinism, RecordingIntervalChangesNothingSimulated)
{
    std::map<std::string, std::string> dirs;
    std::vector<std::pair<std::string, scenario::Program>> runs;
    for (const char* interval : {"10s", "15ms", "10ms"}) {
        Case c;
        c.interval = interval;
        dirs[interval] = Prepare(std::string("rows_") + interval, c);
        runs.push_back({interval, Start(dirs[interval], true)});
    }
    for (auto& [interval, program] : runs) ASSERT_EQ(scenario::Wait(program, 120000), 0) << interval;

    auto coarse = RowsByTime(dirs["10s"]);
    ASSERT_EQ(coarse.size(), 7u);
    for (const char* interval : {"15ms", "10ms"}) {
        auto fine = RowsByTime(dirs[interval]);
        for (const auto& [time, row] : coarse)
            if (fine.count(time)) {
                EXPECT_EQ(fine[time], row) << interval;
            }
        EXPECT_EQ(SimulatedLog(dirs[interval]), SimulatedLog(dirs["10s"])) << interval;
    }
    EXPECT_NE(SimulatedLog(dirs["10ms"]).find("BDOT 5 s"), std::string::npos);
    EXPECT_EQ(RowsByTime(dirs["10ms"]).size(), 6001u);  // 0 to 60 s, the end itself included
}

// Without virtual time the real clock only decides how much a tick does:
// paused twice, the run still equals the virtual-time run, and so does a run
// at a ratio speed.
TEST_F(Determinism, RealClockAndSpeedDecideNothingSimulated)
{
    Case c;
    c.end = "01.01.2006, 00:20";
    std::string virtualRun = Prepare("clock_virtual", c);
    ASSERT_EQ(RunToEnd(virtualRun), 0);
    for (int attempt = 0; attempt < 2; attempt++) {
        std::string real = Prepare("clock_real", c);
        scenario::Program p = Start(real, false);
        for (int i = 0; i < 2; i++) {
            std::this_thread::sleep_for(std::chrono::milliseconds(60));
            kill(p.pid, SIGSTOP);
            std::this_thread::sleep_for(std::chrono::milliseconds(150));
            kill(p.pid, SIGCONT);
        }
        ASSERT_EQ(scenario::Wait(p, 120000), 0);
        EXPECT_EQ(Rows(real), Rows(virtualRun));
        EXPECT_EQ(SimulatedLog(real), SimulatedLog(virtualRun));
    }
    Case ratio = c;
    ratio.end = "01.01.2006, 00:01";
    ratio.speed = "30 model minutes in 1 real seconds";
    std::string slow = Prepare("clock_ratio", ratio);
    ASSERT_EQ(RunToEnd(slow), 0);
    std::string fast = Prepare("clock_fastest", Case{});
    ASSERT_EQ(RunToEnd(fast), 0);
    EXPECT_EQ(Rows(slow), Rows(fast));
}

// A satellite's rows are the same alone, beside its twin, and beside a
// satellite of another kind that steps its orbit more often.
TEST_F(Determinism, SatellitesAreIndependent)
{
    std::string other = SatelliteBlock("OTHER");
    other.insert(other.rfind("end\n"), "    light_time_accuracy = 7s\n");
    std::vector<std::string> dirs;
    std::vector<scenario::Program> runs;
    for (const std::string& extra : {std::string(), SatelliteBlock("TWIN"), other}) {
        Case c;
        c.extraSatellites = extra;
        dirs.push_back(Prepare("independent", c));
        runs.push_back(Start(dirs.back(), true));
    }
    for (const scenario::Program& p : runs) ASSERT_EQ(scenario::Wait(p, 120000), 0);
    EXPECT_EQ(Rows(dirs[1]), Rows(dirs[0]));
    EXPECT_EQ(Rows(dirs[2]), Rows(dirs[0]));
}

// ---- the end of a run -------------------------------------------------------

// A column block of DataOutput.cfg.
std::string Column(const std::string& name, const std::string& data)
{
    return "    value\n        name = \"" + name + "\"\n        type = FLOAT, 0, 9\n        data = " + data + "\n    end\n";
}

// The coil example's rows once a second and its results row, with the coil's
// mean powers, which read the clock, and a further file at the given interval
// (none when empty).
std::string CoilOutput(const std::string& otherInterval)
{
    std::string columns = Column("rate", "SATELIT_ANGULAR_VELOCITY_MAGNITUDE(\"CUBESAT\")") +
                          Column("power 10 s", "SATELIT_COIL_AVG_POWER_10S_W(\"CUBESAT\", \"X\")") +
                          Column("power 60 s", "SATELIT_COIL_AVG_POWER_60S_W(\"CUBESAT\", \"Y\")") +
                          Column("energy", "SATELIT_COIL_TOTAL_CONSUMPTION_J(\"CUBESAT\", \"Z\")");
    std::string output = "datafile CSV, \"rows.csv\"\n    interval = 1s\n" + columns + "end\n" +
                         "datafile CSV, \"results.csv\"\n    results\n" + columns + "end\n";
    if (!otherInterval.empty())
        output += "datafile CSV, \"other.csv\"\n    interval = " + otherInterval + "\n" + columns + "end\n";
    return output;
}

// The run ends at its end time: its last rows and the results row read the
// state there, not at the first time something fell due after it, which a
// file recording every millisecond or a speed below real time would move.
TEST_F(Determinism, ResultsRowIsReadAtTheEndTimeWhateverTheSpeedOrOtherFiles)
{
    std::string built = scenario::CopyExample("detumble_coils", {"bdot"});
    const struct {
        const char* label;
        const char* otherInterval;
        const char* speed;
    } cases[] = {{"end_fastest", "", "FASTEST"}, {"end_1ms", "1ms", "FASTEST"},
                 {"end_quarter", "", "1 model seconds in 4 real seconds"}};
    std::vector<std::string> dirs;
    for (const auto& c : cases) {
        std::string dir = testsupport::MakeTempDir(c.label);
        std::filesystem::copy(built, dir, std::filesystem::copy_options::recursive |
                                              std::filesystem::copy_options::overwrite_existing);
        testsupport::WriteFile(dir + "/DataOutput.cfg", CoilOutput(c.otherInterval));
        testsupport::WriteFile(dir + "/Multipass.cfg", std::string("starttime = UT(\"01.01.2006, 00:00\")\n"
                                                                   "endtime = UT(\"01.01.2006, 00:00:10\")\n"
                                                                   "simulationspeed = ") +
                                                           c.speed + "\n");
        ASSERT_EQ(scenario::Wait(scenario::StartIn(dir), 120000), 0) << c.label;
        dirs.push_back(dir);
    }
    std::string results = testsupport::ReadFile(dirs[0] + "/results.csv");
    ASSERT_EQ(std::count(results.begin(), results.end(), '\n'), 2) << results;
    for (size_t i = 1; i < dirs.size(); i++) {
        EXPECT_EQ(testsupport::ReadFile(dirs[i] + "/results.csv"), results) << cases[i].label;
        EXPECT_EQ(testsupport::ReadFile(dirs[i] + "/rows.csv"), testsupport::ReadFile(dirs[0] + "/rows.csv"))
            << cases[i].label;
    }
    // The row at the end time itself is written, and it reads what the results row reads.
    std::string rows = testsupport::ReadFile(dirs[1] + "/other.csv");
    std::string last = rows.substr(rows.rfind('\n', rows.size() - 2) + 1);
    EXPECT_EQ(last.substr(0, last.find(';')), "\"01.01.2006, 00:00.10.000\"");
    EXPECT_EQ(last.substr(last.find(';', last.find(';') + 1) + 1), results.substr(results.find('\n') + 1));
}

// ---- each satellite's own bus ---------------------------------------------------

// The log lines of the modules from the satellites' listing on, sorted: those
// of two satellites interleave. Lines that carry real time or name a satellite
// are left out.
std::vector<std::string> ModuleLines(const std::string& dir)
{
    std::string log = testsupport::ReadFile(dir + "/Zendrix.log");
    std::istringstream in(log.substr(log.find("Satelit: ")));
    std::vector<std::string> lines;
    std::string line;
    while (std::getline(in, line))
        if (line.rfind("Satelit", 0) != 0 && line.find("reálného") == std::string::npos &&
            line.find("milisekund") == std::string::npos)
            lines.push_back(line);
    std::sort(lines.begin(), lines.end());
    return lines;
}

// The on-board example's satellite and its module outputs, recorded once a second.
std::string ModuleOutput(const std::string& satellite)
{
    std::string columns;
    for (const char* axis : {"X", "Y", "Z"})
        columns += Column(std::string("dipole ") + axis, std::string("SATELIT_MODULE_VECTOR_") + axis + "(\"" +
                                                             satellite + "\", \"ACS\", \"Dipole\")");
    columns += Column("rate", "SATELIT_ANGULAR_VELOCITY_MAGNITUDE(\"" + satellite + "\")");
    return "datafile CSV, \"" + satellite + ".csv\"\n    interval = 1s\n" + columns + "end\n";
}

// Two satellites are two spacecraft: beside a twin on the same bus addresses
// the on-board example's satellite logs and records exactly what it does
// alone, its radio answering its own controller only, and the twin does the
// same; the addresses the twins share are no clash to report.
TEST_F(Determinism, TwinsOnTheSameAddressesHaveABusEach)
{
    std::string alone = scenario::CopyExample("onboard", {"acs", "comm"});
    std::string twins = testsupport::MakeTempDir("onboard_twins");
    std::filesystem::copy(alone, twins, std::filesystem::copy_options::recursive |
                                            std::filesystem::copy_options::overwrite_existing);
    std::string objects = testsupport::ReadFile(alone + "/Objects.cfg");
    std::string twin = objects.substr(objects.find("\nsatelit") + 1);
    twin.replace(twin.find("\"LEO\""), 5, "\"TWIN\"");
    testsupport::WriteFile(twins + "/Objects.cfg", objects + twin);
    testsupport::WriteFile(alone + "/DataOutput.cfg", ModuleOutput("LEO"));
    testsupport::WriteFile(twins + "/DataOutput.cfg", ModuleOutput("LEO") + ModuleOutput("TWIN"));
    ASSERT_EQ(RunToEnd(alone), 0);
    ASSERT_EQ(RunToEnd(twins), 0);

    std::string rows = testsupport::ReadFile(alone + "/LEO.csv");
    ASSERT_EQ(std::count(rows.begin(), rows.end(), '\n'), 602) << rows.substr(0, 500);
    EXPECT_EQ(testsupport::ReadFile(twins + "/LEO.csv"), rows);
    EXPECT_EQ(testsupport::ReadFile(twins + "/TWIN.csv"), rows);
    std::vector<std::string> once = ModuleLines(alone);
    auto lastReport = [](const std::string& line) {
        return line.rfind("ACS 600 s: ", 0) == 0 && line.find(", reports 600, answers 599") != std::string::npos;
    };
    ASSERT_NE(std::find_if(once.begin(), once.end(), lastReport), once.end());
    std::vector<std::string> twice;
    for (const std::string& line : once) twice.insert(twice.end(), 2, line);
    EXPECT_EQ(ModuleLines(twins), twice);
    EXPECT_EQ(testsupport::ReadFile(twins + "/Zendrix.log").find("SWM:"), std::string::npos);
}

// Thirty satellites over six hours: one virtual tick is hours of simulated
// time, yet SIGTERM ends the run within half a second, with whole rows.
TEST_F(Determinism, StopRequestEndsALongTickAtOnce)
{
    Case c;
    c.end = "01.01.2006, 06:00";
    for (int i = 2; i <= 30; i++) c.extraSatellites += SatelliteBlock("SAT" + std::to_string(i));
    for (int attempt = 0; attempt < 2; attempt++) {
        std::string dir = Prepare("stop", c);
        scenario::Program p = Start(dir, true);
        ASSERT_TRUE(scenario::WaitForFile(dir + "/reference.csv", 20000));
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        kill(p.pid, SIGTERM);
        EXPECT_EQ(scenario::Wait(p, kStopMs), 0) << "the run did not end within " << kStopMs << " ms of SIGTERM";
        std::string rows = Rows(dir);
        ASSERT_FALSE(rows.empty());
        EXPECT_EQ(rows.back(), '\n');
        EXPECT_EQ(RowsByTime(dir).count("\"01.01.2006, 06:00.00.000\""), 0u) << "the run went on to its end";
    }
}

// The satellites of the leo and the reference examples, the second stepped
// every 1.3 s: the largest distance between them is kept over their orbit
// steps, so the files read the same maximum at every time they share, whatever
// their interval, and the results file reads the run's maximum.
TEST(DeterminismOfMaxima, LargestDistanceIsKeptOnTheOrbitSteps)
{
    std::string dir = testsupport::MakeTempDir("max_distance");
    std::filesystem::copy_file(std::string(ORBIT_SOURCE_DIR) + "/examples/leo/leo.tle", dir + "/A.tle");
    std::filesystem::copy_file(std::string(ORBIT_SOURCE_DIR) + "/examples/reference/reference.tle", dir + "/B.tle");
    testsupport::InstallModelPair(dir);
    std::string objects;
    for (std::string sat : {"A", "B"}) {
        objects += "satelit\n name = \"" + sat + "\"\n orbit_model = SGP4\n tle = \"" + sat + ".tle\"\n" +
                   testsupport::kModelPairLines + (sat == "B" ? " light_time_accuracy = 1300ms\n" : "") + "end\n";
    }
    testsupport::WriteFile(dir + "/Objects.cfg", objects);
    testsupport::WriteFile(dir + "/Multipass.cfg", "starttime = UT(\"01.01.2006, 00:00\")\n"
                                                   "endtime = UT(\"01.01.2006, 00:01\")\nsimulationspeed = FASTEST\n");
    const char* intervals[] = {"30s", "1s", "100ms", "10ms"};
    std::string output;
    auto column = [](const char* quantity) {
        return std::string(" value\n  name = \"d\"\n  type = FLOAT, 0, 6\n  data = ") + quantity +
               "(\"A\", \"B\")\n end\n";
    };
    for (const char* interval : intervals)
        output += std::string("datafile CSV, \"") + interval + ".csv\"\n interval = " + interval + "\n" +
                  column("SATELITS_MAX3D_DISTANCE_KM") + "end\n";
    output += "datafile CSV, \"run.csv\"\n results\n" + column("SATELITS_MAX3D_DISTANCE_KM") +
              column("SATELITS_3D_DISTANCE_KM") + "end\n";
    testsupport::WriteFile(dir + "/DataOutput.cfg", output);
    ASSERT_EQ(scenario::Wait(scenario::StartIn(dir), 120000), 0) << testsupport::ReadFile(dir + "/stdout.txt");

    // Rows by their time stamp, in each file.
    std::vector<std::map<std::string, std::string>> files;
    for (const char* interval : intervals) {
        std::map<std::string, std::string> rows;
        std::istringstream in(testsupport::ReadFile(dir + "/" + interval + ".csv"));
        std::string line;
        std::getline(in, line);
        while (std::getline(in, line)) rows[line.substr(0, line.find(';'))] = line.substr(line.rfind(';') + 1);
        files.push_back(rows);
    }
    ASSERT_EQ(files[0].size(), 3u);
    for (size_t i = 1; i < files.size(); ++i)
        for (const auto& [time, maximum] : files[0]) EXPECT_EQ(files[i].at(time), maximum) << intervals[i] << " " << time;
    auto run = testsupport::ReadCsvValues(dir + "/run.csv", 0);
    ASSERT_EQ(run.size(), 1u);
    double last = std::stod(std::regex_replace(files[0].at("\"01.01.2006, 00:01.00.000\""), std::regex(","), "."));
    EXPECT_DOUBLE_EQ(run[0][0], last);
    EXPECT_GE(run[0][0], run[0][1]);
    EXPECT_GT(run[0][0], 100.0);
}

}  // namespace
