#include <gtest/gtest.h>
#include <cstdio>
#include <string>
#include <utility>
#include <vector>
#include "foundation/iotxt.h"
#include "foundation/log.h"
#include "foundation/memory.h"
#include "foundation/time.h"
#include "simulation/main.h"
#include "simulation/multipass.h"
#include "tests/support/test_support.h"

namespace {

constexpr TIME_MS kDefaultStart = 12780547200000LL;  // 2006-01-01 00:00:00.000
constexpr TIME_MS kTenDays = 864000000LL;

std::string ConfigPath()
{
    return std::string(MEMORY_ProgramDirectory()) + "/Multipass.cfg";
}

class MultipassTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        LOG_Init();
        IOTXT_Init();
        MULTIPASS_Init();
        g_simClock = SIM_CLOCK{};
        g_simClock.clock = g_simClock.runStart = kDefaultStart;
        g_simClock.runEnd = kDefaultStart + kTenDays;
        std::remove(ConfigPath().c_str());
    }
    void TearDown() override
    {
        MULTIPASS_Done();
        std::remove(ConfigPath().c_str());
    }
    static uint32_t Load(const std::string& text)
    {
        testsupport::WriteFile(ConfigPath(), text);
        return MULTIPASS_Load();
    }
    static std::string Log() { return testsupport::ReadFile("Zendrix.log"); }
};

// A missing file gives one run of the default interval at real speed; a file
// without an end time gives the default interval too.
TEST_F(MultipassTest, MissingFileOrEndTimeGivesOneRunOfTheDefaultInterval)
{
    ASSERT_EQ(MULTIPASS_Load(), 1u);
    EXPECT_EQ(MULTIPASS_GetSpeed(), 1.0);
    EXPECT_EQ(g_simClock.runStart, kDefaultStart);
    EXPECT_EQ(g_simClock.runEnd, kDefaultStart + kTenDays);
    EXPECT_EQ(MULTIPASS_NextPass(), 0u);
    EXPECT_EQ(MULTIPASS_FormatParamValue("A"), nullptr);

    ASSERT_EQ(Load("starttime = UT(\"01.03.2006, 00:00\")\n"), 1u);
    EXPECT_EQ(g_simClock.runStart, kDefaultStart);
    EXPECT_EQ(g_simClock.runEnd, kDefaultStart + kTenDays);
    EXPECT_NE(Log().find("MULTIPASS: nebyl určen startovní nebo koncový čas simulace, použije se default.\n"),
              std::string::npos);
}

TEST_F(MultipassTest, ParametersStepLikeAnOdometerFirstParameterFastest)
{
    ASSERT_EQ(Load("starttime = UT(\"1.2.2006, 3:04\")\n"
                   "endtime = UT(\"2.2.2006, 3:04\")\n"
                   "parameter \"A\", RAMP\n"
                   "  start = 1\n  stop = 3\n  step = 1\n"
                   "end\n"
                   "parameter \"B\", RAMP ; second wheel\n"
                   "  start = 0.5\n  stop = 1.5\n  step = 0.5\n"
                   "end\n"),
              1u);
    TIME_MS start = testsupport::MsOf(2006, 2, 1, 3, 4);
    EXPECT_EQ(g_simClock.runStart, start);
    EXPECT_EQ(g_simClock.runEnd, start + 86400000LL);

    std::vector<std::pair<std::string, std::string>> passes;
    do {
        std::string a = MULTIPASS_FormatParamValue("a");  // one buffer for every call
        passes.emplace_back(a, MULTIPASS_FormatParamValue("B"));
        EXPECT_EQ(g_simClock.clock, start);
        g_simClock.clock = start + 5000;  // the run moved the clock
    } while (MULTIPASS_NextPass() && passes.size() < 10);
    std::vector<std::pair<std::string, std::string>> expected = {{"1", "0.5"}, {"2", "0.5"}, {"1", "1"}, {"2", "1"}};
    EXPECT_EQ(passes, expected);
    double value = -1;
    EXPECT_EQ(MULTIPASS_GetParamValue("b", &value), 1u);
    EXPECT_EQ(value, 0.5);
    EXPECT_EQ(MULTIPASS_GetParamValue("C", &value), 0u);
    EXPECT_EQ(value, 0.0);
}

// A ramp's step defaults to 1, its block may end with the file, and a later
// parameter may start from an earlier one's value.
TEST_F(MultipassTest, RampDefaultsAndStartsFromAnEarlierParameter)
{
    ASSERT_EQ(Load("parameter \"A\", RAMP\n start = 2\n stop = 2\nend\n"
                   "parameter \"B\", RAMP\n start = PARAMETER(\"A\")\n stop = 10\n step = 4\nend\n"
                   "parameter \"N\", RAMP\n  start = 7\n  stop = 9\n"),
              1u);
    EXPECT_STREQ(MULTIPASS_FormatParamValue("B"), "2");
    ASSERT_EQ(MULTIPASS_NextPass(), 1u);
    EXPECT_STREQ(MULTIPASS_FormatParamValue("B"), "6");
    ASSERT_EQ(MULTIPASS_NextPass(), 1u);
    EXPECT_STREQ(MULTIPASS_FormatParamValue("B"), "2");
    EXPECT_STREQ(MULTIPASS_FormatParamValue("N"), "8");
    EXPECT_EQ(MULTIPASS_NextPass(), 1u);
    EXPECT_EQ(MULTIPASS_NextPass(), 0u);
}

// A ratio off the speed table steps to its neighbours; the words and ratios
// beyond the table's ends are held at them.
TEST_F(MultipassTest, SpeedWordsAndRatiosOffAndOutsideTheTable)
{
    ASSERT_EQ(Load("simulationspeed = 3 model seconds in 1 real second\n"), 1u);
    EXPECT_EQ(MULTIPASS_GetSpeed(), 3.0);
    EXPECT_EQ(MULTIPASS_IsSpeedOffTable(), 1u);
    EXPECT_EQ(MULTIPASS_Faster(), 4.0);
    ASSERT_EQ(Load("simulationspeed = 3 model seconds in 1 real second\n"), 1u);
    EXPECT_EQ(MULTIPASS_Slower(), 2.4);
    ASSERT_EQ(Load("simulationspeed = FASTEST\n"), 1u);
    EXPECT_EQ(MULTIPASS_GetSpeed(), 864000.0);
    EXPECT_EQ(MULTIPASS_Faster(), 864000.0);
    ASSERT_EQ(Load("simulationspeed = stopped\n"), 1u);
    EXPECT_EQ(MULTIPASS_GetSpeed(), 2.4e-89);
    EXPECT_EQ(MULTIPASS_Slower(), 2.4e-89);
    ASSERT_EQ(Load("simulationspeed = 300 model hours in 1 real second\n"), 1u);
    EXPECT_EQ(MULTIPASS_GetSpeedIndex(), MULTIPASS_SPEED_FASTEST);
    EXPECT_NE(Log().find("MULTIPASS: příliš vysoká rychlost simulace na řádku 1.\n"), std::string::npos);
    ASSERT_EQ(Load("simulationspeed = 2 model days in 1 real second\n"), 0u);
    // The doubled entry: one step from 172800 keeps the factor.
    ASSERT_EQ(Load("simulationspeed = 48 model hours in 1 real second\n"), 1u);
    EXPECT_EQ(MULTIPASS_GetSpeedIndex(), 5u);
    EXPECT_EQ(MULTIPASS_Faster(), 172800.0);
    EXPECT_EQ(MULTIPASS_Faster(), 259200.0);
}

TEST_F(MultipassTest, ErrorsNameThePhysicalLineAndFailTheLoad)
{
    struct Case {
        const char* text;
        const char* message;
    } cases[] = {
        {"; note\n\nstarttime = UT(\"01.01.2006, 00:00\")\nspeed = REAL\n", "MULTIPASS: neznámé slovo na řádku 4.\n"},
        {"parameter \"A\" RAMP\n", "MULTIPASS: očekávám čárku a určení typu parametru na řádku 1.\n"},
        // A parameter without its quoted name.
        {"; name\nparameter\n", "MULTIPASS: očekávám název parametru v uvozovkách na řádku 2.\n"},
        {"parameter x, RAMP\n start = 1\n stop = 2\nend\n",
         "MULTIPASS: očekávám název parametru v uvozovkách na řádku 1.\n"},
        {"PARAMETER(\"x\")\n", "MULTIPASS: očekávám název parametru v uvozovkách na řádku 1.\n"},
        {"parameter \"A\", LINEAR\n", "MULTIPASS: neznámý typ parametru na řádku 1.\n"},
        {"parameter \"A\", RAMP\n start = \"x\"\nend\n", "MULTIPASS: chybné určení položky START na řádku 2.\n"},
        {"parameter \"A\", RAMP\n begin = 1\nend\n", "MULTIPASS: neznámý parametr RAMP na řádku 2.\n"},
        {"parameter \"A\", RAMP\n stop = 1\nend\n", "MULTIPASS: chybějící položka START pro RAMP parametr na řádku 3.\n"},
        {"parameter \"A\", RAMP\n start = 1\n stop = 3\n step = -1\nend\n",
         "MULTIPASS: chybné INT položky START-STOP-STEP pro RAMP parametr na řádku 5.\n"},
        {"parameter \"A\", RAMP\n start = 0.0\n stop = 1e300\n step = 0.5\nend\n",
         "MULTIPASS: chybné FLOAT položky START-STOP-STEP pro RAMP parametr na řádku 5.\n"},
        {"parameter \"A\", RAMP\n start = 1\n stop = 3\nend x\n", "MULTIPASS: očekávám konec řádku na řádku 4.\n"},
        // A run that ends before or when it starts; the later line is named.
        {"starttime = UT(\"02.01.2006, 00:00\")\nendtime = UT(\"01.01.2006, 00:00\")\n",
         "MULTIPASS: koncový čas simulace není pozdější než startovní čas na řádku 2.\n"},
        {"endtime = UT(\"01.01.2006, 00:00\")\n; same time\nstarttime = UT(\"01.01.2006, 00:00\")\n",
         "MULTIPASS: koncový čas simulace není pozdější než startovní čas na řádku 3.\n"},
    };
    for (const Case& c : cases) {
        LOG_Init();
        MULTIPASS_Done();
        MULTIPASS_Init();
        EXPECT_EQ(Load(c.text), 0u) << c.text;
        EXPECT_NE(Log().find(c.message), std::string::npos) << c.text << "\nlog: " << Log();
        EXPECT_EQ(MULTIPASS_GetFirstParam(), nullptr);
    }
}

}  // namespace
