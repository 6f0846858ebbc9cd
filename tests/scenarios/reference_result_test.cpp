// The reference scenario (examples/reference) over its first ten tumbling
// minutes, headless in virtual time: its result file and the log from the
// satellite list on ("log.txt": the B-dot module's field and drive lines every 10 s and
// the closing orbit line) must equal, byte for byte, the ones stored in
// tests/scenarios/reference. Speed work must leave them unchanged; they are
// regenerated (ORBIT_REGENERATE_REFERENCE=1) only for a deliberate change of
// behaviour, said so in its commit.
#include <gtest/gtest.h>
#include <cstdlib>
#include <filesystem>
#include <string>
#include "tests/scenarios/scenario_support.h"
#include "tests/support/test_support.h"

namespace {

const std::string kStored = std::string(ORBIT_SOURCE_DIR) + "/tests/scenarios/reference/";

std::string PrepareReference()
{
    std::string dir = scenario::CopyExample("reference", {"bdot"});
    testsupport::WriteFile(dir + "/Multipass.cfg", "starttime = UT(\"01.01.2006, 00:00\")\n"
                                                   "endtime = UT(\"01.01.2006, 00:10\")\n"
                                                   "simulationspeed = FASTEST\n");
    return dir;
}

// The log from the listing of the satellite on: what comes before holds the
// wall-clock durations of the model computations.
std::string LogFromSatellite(const std::string& log)
{
    size_t listed = log.find("Satelit: CUBESAT\n");
    return listed == std::string::npos ? log : log.substr(listed);
}

void ExpectStored(const std::string& name, const std::string& produced)
{
    if (std::getenv("ORBIT_REGENERATE_REFERENCE")) testsupport::WriteFile(kStored + name, produced);
    std::string stored = testsupport::ReadFile(kStored + name);
    ASSERT_FALSE(stored.empty()) << name;
    EXPECT_TRUE(produced == stored) << name << " differs from the stored one; produced:\n" << produced;
}

TEST(ReferenceScenario, TenTumblingMinutesGiveTheStoredResultsAndLog)
{
    if (!scenario::SdccPresent()) GTEST_SKIP() << "sdcc is not installed";
    std::string dir = PrepareReference();
    ASSERT_EQ(scenario::Wait(scenario::StartIn(dir), 300000), 0) << testsupport::ReadFile(dir + "/stdout.txt");
    std::string log = testsupport::ReadFile(dir + "/Zendrix.log");
    EXPECT_EQ(log.find("Nezruseny"), std::string::npos) << log;
    ExpectStored("reference.csv", testsupport::ReadFile(dir + "/reference.csv"));
    ExpectStored("log.txt", LogFromSatellite(log));
}

}  // namespace
