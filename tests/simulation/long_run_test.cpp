// Long runs inside the test: a multipass series whose tracked heap does not
// grow from run to run, and which writes every run's result row (the stop
// value of a ramp is not taken, so 1 to 101 gives 100 runs); and ten
// reference satellites, tumbling and detumbled by their on-board modules,
// whose heap holds the same blocks from the end of the first minute to the
// end of the hour: nothing a satellite keeps is allocated step by step.
#include <cstdlib>
#include <sstream>
#include <vector>
#include "dataout/dataout.h"
#include "foundation/memory.h"
#include "simulation/tick.h"
#include "tests/simulation/program_run.h"

namespace {

uint32_t s_blocksAfterRun[101];

void RecordBlocks(uint32_t run)
{
    if (run <= 100) s_blocksAfterRun[run] = MEMORY_LiveBlockCount();
}

class LongRunTest : public ProgramRunTest {
protected:
    void TearDown() override
    {
        MAIN_SetRunObserver(nullptr);
        ProgramRunTest::TearDown();
    }
};

TEST_F(LongRunTest, HundredPassesKeepTheHeapAndWriteEveryRow)
{
    Write("Objects.cfg", Satellite("Alpha", "  kepler_inclination = 51.6\n  kepler_time = UT(\"01.01.2006, 00:00\")\n"
                                            "  magnetic_field_model = HOMOGENOUS, VECTOR(0, 0, 30000)\n"));
    WriteMultipass("03:00", "parameter \"P\", RAMP\n  start = 1\n  stop = 101\n  step = 1\nend\n");
    Write("DataOutput.cfg",
          "datafile CSV, \"series.csv\"\n results\n"
          " value\n  name = \"P\"\n  type = FLOAT, 0, 0\n  data = PARAMETER(\"P\")\n end\nend\n"
          "datafile CSV, \"track.csv\"\n interval = 10m\nend\n");
    MAIN_SetRunObserver(RecordBlocks);
    ASSERT_EQ(Run(), 0);
    EXPECT_EQ(s_blocksAfterRun[10], s_blocksAfterRun[100]);
    ExpectNoLeak();

    std::ostringstream rows;
    rows << "\"P\"\n";
    for (int pass = 1; pass <= 100; ++pass) rows << pass << "\n";
    EXPECT_EQ(testsupport::ReadFile("series.csv"), rows.str());
}

// The tracked heap's block count at the end of each simulated minute.
std::vector<uint32_t> s_blocksByMinute;

void WriteDueAndCountBlocks()
{
    DATAOUT_WriteDue();
    TIME_MS minuteEnd = g_simClock.runStart + 60000 * static_cast<TIME_MS>(s_blocksByMinute.size() + 1);
    if (g_simClock.clock >= minuteEnd) s_blocksByMinute.push_back(MEMORY_LiveBlockCount());
}

class ReferenceHourTest : public ProgramRunTest {
protected:
    void TearDown() override
    {
        MAIN_SetStepOutput(nullptr);
        ProgramRunTest::TearDown();
    }
};

TEST_F(ReferenceHourTest, TenSatellitesKeepTheirBlocksFromTheFirstMinuteOn)
{
    if (std::system("command -v sdcc >/dev/null 2>&1") != 0) GTEST_SKIP() << "sdcc is not installed";
    const std::string example = ORBIT_SOURCE_DIR "/examples/reference/";
    // The module image and the element set are read from the current folder,
    // the models from the program's.
    std::string build = "bash '" ORBIT_SOURCE_DIR "/scripts/build_module.sh' '" + example + "bdot.c' bdot.img";
    ASSERT_EQ(std::system(build.c_str()), 0);
    std::filesystem::copy_file(example + "reference.tle", "reference.tle");
    for (const char* name : {"cubesat.mass", "cubesat.surf"})
        std::filesystem::copy_file(example + name, programDir_ / name,
                                   std::filesystem::copy_options::overwrite_existing);
    std::string objects = testsupport::ReadFile(example + "Objects.cfg");
    std::string block = objects.substr(objects.find("\nsatelit") + 1);
    block = block.substr(0, block.find("\nend\n") + 5);
    std::string satellites;
    for (int i = 0; i < 10; ++i) {
        std::string named = block;
        satellites += named.replace(named.find("\"CUBESAT\""), 9, "\"CUBESAT" + std::to_string(i) + "\"");
    }
    Write("Objects.cfg", satellites);
    WriteMultipass("01:00");
    // No result file: its queued rows are the data output's, held until written.
    s_blocksByMinute.clear();
    MAIN_STEP_OUTPUT output{nullptr, WriteDueAndCountBlocks, nullptr};
    MAIN_SetStepOutput(&output);
    ASSERT_EQ(Run(), 0) << Log();
    ASSERT_GE(s_blocksByMinute.size(), 60u);
    for (size_t minute = 1; minute < 60; ++minute)
        EXPECT_EQ(s_blocksByMinute[minute], s_blocksByMinute[0]) << "after minute " << minute + 1;
    ExpectNoLeak();
}

}  // namespace
