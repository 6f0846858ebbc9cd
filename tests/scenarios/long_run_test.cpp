// A long multipass series ended from outside: SIGTERM in the middle of the
// series finishes the result files, so every row in them is whole.
#include <gtest/gtest.h>
#include <sstream>
#include <vector>
#include "tests/scenarios/scenario_support.h"

namespace {

std::vector<std::string> Lines(const std::string& text)
{
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

size_t Fields(const std::string& line)
{
    return 1 + std::count(line.begin(), line.end(), ';');
}

TEST(LongRunScenario, SigtermInTheMiddleOfASeriesLeavesWholeRows)
{
    std::string dir = testsupport::MakeTempDir("series-sigterm");
    testsupport::InstallModelPair(dir);
    testsupport::WriteFile(dir + "/Objects.cfg",
                           "satelit\n  name = \"Alpha\"\n  orbit_model = SIMPLE_KEPLER\n  kepler_meanmotion = 15.5\n"
                           "  kepler_inclination = 51.6\n  kepler_time = UT(\"01.01.2006, 00:00\")\n"
                           "  magnetic_field_model = HOMOGENOUS, VECTOR(0, 0, 30000)\n" +
                               testsupport::kModelPairLines + "end\n");
    testsupport::WriteFile(dir + "/Multipass.cfg",
                           "starttime = UT(\"01.01.2006, 00:00\")\nendtime = UT(\"01.01.2006, 06:00\")\n"
                           "simulationspeed = FASTEST\nparameter \"P\", RAMP\n  start = 1\n  stop = 100000\nend\n");
    testsupport::WriteFile(dir + "/DataOutput.cfg",
                           "datafile CSV, \"series.csv\"\n results\n"
                           " value\n  name = \"P\"\n  type = FLOAT, 0, 0\n  data = PARAMETER(\"P\")\n end\n"
                           " value\n  name = \"K\"\n  type = FLOAT, 0, 3\n  data = 2.5\n end\nend\n"
                           "datafile CSV, \"track.csv\"\n interval = 1m\n"
                           " value\n  name = \"K\"\n  type = FLOAT, 0, 3\n  data = 2.5\n end\nend\n");
    scenario::Program p = scenario::StartIn(dir);
    ASSERT_GT(p.pid, 0);
    // Once a few runs have written their rows, the series is stopped.
    for (int waited = 0; waited < 20000; waited += 10) {
        if (Lines(testsupport::ReadFile(dir + "/series.csv")).size() >= 4) break;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(7));
    kill(p.pid, SIGTERM);
    ASSERT_EQ(scenario::Wait(p, 20000), 0) << testsupport::ReadFile(dir + "/stdout.txt");

    std::string series = testsupport::ReadFile(dir + "/series.csv");
    ASSERT_FALSE(series.empty());
    EXPECT_EQ(series.back(), '\n');
    std::vector<std::string> rows = Lines(series);
    ASSERT_GE(rows.size(), 4u);
    EXPECT_LT(rows.size(), 100001u);
    for (size_t i = 1; i < rows.size(); ++i) {
        EXPECT_EQ(rows[i], std::to_string(i) + ";2,500") << "row " << i;
    }
    std::string track = testsupport::ReadFile(dir + "/track.csv");
    ASSERT_FALSE(track.empty());
    EXPECT_EQ(track.back(), '\n');
    for (const std::string& row : Lines(track)) EXPECT_EQ(Fields(row), 3u) << row;
    std::string log = testsupport::ReadFile(dir + "/Zendrix.log");
    EXPECT_EQ(log.find("Nezruseny"), std::string::npos) << log;
}

}  // namespace

namespace {

// The example satellite for a simulated year at the fastest speed in virtual
// time: the run ends normally, leaves no block unfreed and writes every row of
// its track. It takes about eleven minutes of one core, so it runs only when
// ORBIT_LONG_TESTS=1 is set.
TEST(LongRunScenario, ExampleSatelliteForASimulatedYear)
{
    const char* wanted = std::getenv("ORBIT_LONG_TESTS");
    if (!wanted || std::string(wanted) != "1") GTEST_SKIP() << "set ORBIT_LONG_TESTS=1 to run it";
    std::string dir = scenario::CopyExample("leo");
    testsupport::WriteFile(dir + "/Multipass.cfg", "starttime = UT(\"01.01.2006, 00:00\")\n"
                                                   "endtime = UT(\"01.01.2007, 00:00\")\nsimulationspeed = FASTEST\n");
    scenario::Program p = scenario::StartIn(dir);
    ASSERT_GT(p.pid, 0);
    ASSERT_EQ(scenario::Wait(p, 3 * 3600 * 1000), 0) << testsupport::ReadFile(dir + "/stdout.txt");
    std::string log = testsupport::ReadFile(dir + "/Zendrix.log");
    EXPECT_EQ(log.find("Nezruseny"), std::string::npos) << log;
    // The header, the row at the start and a row every 10 minutes of the year.
    std::vector<std::string> rows = Lines(testsupport::ReadFile(dir + "/leo_track.csv"));
    EXPECT_EQ(rows.size(), 2u + 365u * 144u);
    EXPECT_EQ(Lines(testsupport::ReadFile(dir + "/leo_summary.csv")).size(), 2u);
}

}  // namespace
