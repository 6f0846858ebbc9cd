// The example scenario as a user runs it: headless, in virtual time, one day
// of a satellite in low Earth orbit at the fastest speed.
#include <gtest/gtest.h>
#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <sstream>
#include <string>
#include <thread>
#include <sys/wait.h>
#include <vector>
#include <unistd.h>
#include "tests/scenarios/scenario_support.h"
#include "tests/support/test_support.h"

namespace {

int RunProgramIn(const std::string& dir, const std::string& environment = "")
{
    std::string command =
        "cd '" + dir + "' && " + environment + " ORBIT_HEADLESS=1 ORBIT_VIRTUAL_TIME=1 ./orbit > stdout.txt 2>&1";
    int status = std::system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// A result file as rows of named numbers (the absolute time column left out).
std::vector<std::map<std::string, double>> ReadTable(const std::string& path)
{
    auto cells = [](const std::string& line) {
        std::vector<std::string> out;
        std::istringstream in(line);
        std::string cell;
        while (std::getline(in, cell, ';')) out.push_back(cell);
        return out;
    };
    std::istringstream lines(testsupport::ReadFile(path));
    std::string line;
    std::getline(lines, line);
    std::vector<std::string> names = cells(line);
    std::vector<std::map<std::string, double>> rows;
    while (std::getline(lines, line)) {
        std::vector<std::string> values = cells(line);
        std::map<std::string, double> row;
        for (size_t i = 0; i < values.size() && i < names.size(); ++i) {
            if (values[i].front() == '"') continue;
            for (char& c : values[i])
                if (c == ',') c = '.';
            row[names[i].substr(1, names[i].size() - 2)] = std::stod(values[i]);
        }
        rows.push_back(row);
    }
    return rows;
}

// The columns of the track agree with each other: altitude and position,
// field magnitude and components, the station's view and the nodes built on it.
void CheckTrack(const std::string& dir)
{
    auto rows = ReadTable(dir + "/leo_track.csv");
    ASSERT_EQ(rows.size(), 145u);
    double highest = 0.0;
    int visibleRows = 0;
    for (auto& row : rows) {
        double r = std::sqrt(row["X ECI [km]"] * row["X ECI [km]"] + row["Y ECI [km]"] * row["Y ECI [km]"] +
                             row["Z ECI [km]"] * row["Z ECI [km]"]);
        EXPECT_NEAR(row["Altitude [km]"], r - 6378.135, 2e-3);
        double field = std::sqrt(row["Field north [nT]"] * row["Field north [nT]"] +
                                 row["Field east [nT]"] * row["Field east [nT]"] +
                                 row["Field down [nT]"] * row["Field down [nT]"]);
        EXPECT_NEAR(row["Field [nT]"], field, 0.2);
        double body = std::sqrt(row["Field body x [nT]"] * row["Field body x [nT]"] +
                                row["Field body y [nT]"] * row["Field body y [nT]"] +
                                row["Field body z [nT]"] * row["Field body z [nT]"]);
        EXPECT_NEAR(row["Field [nT]"], body, 0.2);
        EXPECT_NEAR(row["Rotation period [s]"] * row["Spin [rad/s]"], 2 * M_PI, 3e-4);
        double elevation = row["Elevation [deg]"];
        EXPECT_EQ(row["Visible"], elevation > 0 ? 1.0 : 0.0);
        if (elevation > 0) {
            ++visibleRows;
            EXPECT_GT(row["Distance [km]"], 300.0);
        } else {
            EXPECT_EQ(row["Distance [km]"] + row["Azimuth [deg]"], 0.0);
        }
        EXPECT_GE(row["Highest elevation [deg]"], elevation);
        EXPECT_GE(row["Highest elevation [deg]"], highest);
        highest = row["Highest elevation [deg]"];
        EXPECT_GE(row["Visible per hour [s]"], -1.0);
        EXPECT_LE(row["Visible per hour [s]"], 3600.0);
    }
    EXPECT_GT(visibleRows, 0);
    EXPECT_EQ(rows.front()["Visible per hour [s]"], -1.0);
    EXPECT_GT(rows.back()["Visible per hour [s]"], -1.0);

    auto summary = ReadTable(dir + "/leo_summary.csv");
    ASSERT_EQ(summary.size(), 1u);
    EXPECT_EQ(summary[0]["Highest elevation [deg]"], highest);
    EXPECT_GT(highest, 0.0);
    EXPECT_LE(highest, 90.0);
    EXPECT_GE(summary[0]["Passes"], 1.0);
    EXPECT_LE(summary[0]["Passes"], 10.0);
}

TEST(ExampleScenario, LeoRunsOneDayAndRecordsItsRows)
{
    std::string dir = scenario::CopyExample("leo");
    std::filesystem::create_symlink(std::string(ORBIT_BINARY_DIR) + "/orbit", dir + "/orbit");

    ASSERT_EQ(RunProgramIn(dir), 0) << testsupport::ReadFile(dir + "/stdout.txt");
    std::string log = testsupport::ReadFile(dir + "/Zendrix.log");
    EXPECT_NE(log.find("Satelit: LEO\n"), std::string::npos) << log;
    // The CubeSat's mass model is computed and printed at the start.
    EXPECT_NE(log.find("MASSMODEL: cubesat\nMODEL-COG at "), std::string::npos) << log;
    EXPECT_NE(log.find("MODEL-IT:     0.00"), std::string::npos) << log;
    // A step every 10 s of the day, besides those at the start.
    size_t summary = log.find("Satelit LEO: ");
    ASSERT_NE(summary, std::string::npos) << log;
    long steps = std::strtol(log.c_str() + summary + 13, nullptr, 10);
    EXPECT_GE(steps, 8640);
    EXPECT_LE(steps, 8643);
    EXPECT_EQ(log.find("Nezruseny"), std::string::npos) << log;

    std::string rows = testsupport::ReadFile(dir + "/leo_track.csv");
    EXPECT_NE(rows.find("\"01.01.2006, 00:10.00.000\";0,1666667;"), std::string::npos);
    EXPECT_NE(rows.find("\"02.01.2006, 00:00.00.000\";24,0000000;"), std::string::npos);
    CheckTrack(dir);

    // Ended at once, before its first tick (Alt+X): every result file is
    // there, the track with its header and the very row of the whole run.
    std::string start = rows.substr(0, rows.find('\n', rows.find('\n') + 1) + 1);
    ASSERT_EQ(RunProgramIn(dir, "ORBIT_TEST_COMMANDS=0:105"), 0) << testsupport::ReadFile(dir + "/stdout.txt");
    EXPECT_EQ(testsupport::ReadFile(dir + "/leo_track.csv"), start);
    EXPECT_EQ(ReadTable(dir + "/leo_summary.csv").size(), 1u);
}

// A closed terminal (SIGHUP) or Ctrl+\ (SIGQUIT) in the middle of a ten-day
// run ends it as SIGTERM does: status 0, whole rows, the run's summary in the
// log.
TEST(ExampleScenario, LeoEndsOnHangupAndQuitWithWholeRows)
{
    for (int stop : {SIGHUP, SIGQUIT}) {
        std::string dir = scenario::CopyExample("leo");
        testsupport::WriteFile(dir + "/Multipass.cfg", "starttime = UT(\"01.01.2006, 00:00\")\n"
                                                       "endtime = UT(\"11.01.2006, 00:00\")\n"
                                                       "simulationspeed = FASTEST\n");
        scenario::Program p = scenario::StartIn(dir);
        ASSERT_GT(p.pid, 0);
        ASSERT_TRUE(scenario::WaitForFile(dir + "/leo_track.csv", 20000));
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        kill(p.pid, stop);
        ASSERT_EQ(scenario::Wait(p, 20000), 0) << stop << "\n" << testsupport::ReadFile(dir + "/stdout.txt");
        std::string log = testsupport::ReadFile(dir + "/Zendrix.log");
        EXPECT_NE(log.find("Satelit LEO: "), std::string::npos) << log;
        std::string rows = testsupport::ReadFile(dir + "/leo_track.csv");
        ASSERT_FALSE(rows.empty());
        EXPECT_EQ(rows.back(), '\n');
        auto table = ReadTable(dir + "/leo_track.csv");
        ASSERT_GE(table.size(), 1u);
        EXPECT_LT(table.size(), 1441u) << "the run went on to its end";
        for (const auto& row : table) EXPECT_EQ(row.size(), table.front().size());
        EXPECT_EQ(ReadTable(dir + "/leo_summary.csv").size(), 1u);
    }
}

}  // namespace
