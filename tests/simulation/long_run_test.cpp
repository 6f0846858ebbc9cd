// Long multipass series run inside the test: the tracked heap does not grow
// from run to run, and every run writes its result row (the stop value of a
// ramp is not taken, so 1 to 101 gives 100 runs).
#include <sstream>
#include "foundation/memory.h"
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
        for (const char* name : {"cube.mass", "cube.surf"}) std::filesystem::remove(programDir_ / name);
        ProgramRunTest::TearDown();
    }
};

TEST_F(LongRunTest, HundredPassesKeepTheHeapAndWriteEveryRow)
{
    testsupport::InstallModelPair(programDir_.string());
    Write("Objects.cfg",
          "satelit\n  name = \"Alpha\"\n  orbit_model = SIMPLE_KEPLER\n  kepler_meanmotion = 15.5\n"
          "  kepler_inclination = 51.6\n  kepler_time = UT(\"01.01.2006, 00:00\")\n"
          "  magnetic_field_model = HOMOGENOUS, VECTOR(0, 0, 30000)\n" +
              testsupport::kModelPairLines + "end\n");
    Write("Multipass.cfg",
          "starttime = UT(\"01.01.2006, 00:00\")\nendtime = UT(\"01.01.2006, 03:00\")\nsimulationspeed = FASTEST\n"
          "parameter \"P\", RAMP\n  start = 1\n  stop = 101\n  step = 1\nend\n");
    Write("DataOutput.cfg",
          "datafile CSV, \"series.csv\"\n results\n"
          " value\n  name = \"P\"\n  type = FLOAT, 0, 0\n  data = PARAMETER(\"P\")\n end\nend\n"
          "datafile CSV, \"track.csv\"\n interval = 10m\nend\n");
    MAIN_SetRunObserver(RecordBlocks);
    ASSERT_EQ(Run(), 0);
    EXPECT_EQ(s_blocksAfterRun[10], s_blocksAfterRun[100]);
    EXPECT_EQ(testsupport::ReadFile("Zendrix.log").find("Nezruseny"), std::string::npos);

    std::ostringstream rows;
    rows << "\"P\"\n";
    for (int pass = 1; pass <= 100; ++pass) rows << pass << "\n";
    EXPECT_EQ(testsupport::ReadFile("series.csv"), rows.str());
}

}  // namespace
