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
#include "platform/plat_text.h"
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

namespace {

// Two bytes of the B-dot image changed make its reset loop over a bind error
// whose name is 3950 bytes of 0xFF: the start fails with status 1, its
// message on the terminal, and the log stays below 1 MB with every line ended.
TEST(ReferenceScenario, AModuleLoopingOverLongLinesWritesABoundedLog)
{
    if (!scenario::SdccPresent()) GTEST_SKIP() << "sdcc is not installed";
    std::string dir = scenario::CopyExample("reference", {"bdot"});
    std::string image = testsupport::ReadFile(dir + "/bdot.img");
    ASSERT_EQ(image.size(), 65535u);
    const std::pair<size_t, std::pair<uint8_t, uint8_t>> patches[] = {{0x319, {0x04, 0xBF}}, {0x33A, {0xEF, 0x80}}};
    for (const auto& [offset, bytes] : patches) {
        if (static_cast<uint8_t>(image[offset]) != bytes.first) GTEST_SKIP() << "this sdcc builds another image";
        image[offset] = static_cast<char>(bytes.second);
    }
    testsupport::WriteFile(dir + "/bdot.img", image);
    ASSERT_EQ(scenario::Wait(scenario::StartIn(dir), 120000), 1);
    std::string log = testsupport::ReadFile(dir + "/Zendrix.log");
    EXPECT_LT(log.size(), 1000000u);
    ASSERT_FALSE(log.empty());
    EXPECT_EQ(log.back(), '\n');
    for (size_t at = 0, end; at < log.size(); at = end + 1) {
        end = log.find('\n', at);
        ASSERT_LT(end - at, 4000u) << "a line of " << end - at << " bytes at " << at;
    }
    EXPECT_NE(log.find("SWMODULE: modul \"BDOT\" satelitu \"CUBESAT\": zapsal tentýž řádek "), std::string::npos);
    const char* failed = "SATELIT: start palubních modulů pro satelit CUBESAT nebyl úspěšný.";
    EXPECT_NE(log.find(failed), std::string::npos);
    EXPECT_NE(testsupport::ReadFile(dir + "/stdout.txt").find(PLAT_Cp1250ToUtf8(failed)), std::string::npos);
    EXPECT_EQ(log.find("Nezruseny"), std::string::npos);
}

}  // namespace
