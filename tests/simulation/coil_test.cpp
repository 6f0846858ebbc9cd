// Magnetic coils: the coil block with its refusals, the PWM and VOLTAGE
// drives, energy, average power against direct integration, and the dipole.
#include <gtest/gtest.h>
#include <cmath>
#include <cstring>
#include <random>
#include <string>
#include <vector>
#include "foundation/iotxt.h"
#include "foundation/log.h"
#include "foundation/memory.h"
#include "foundation/pool.h"
#include "simulation/coil.h"
#include "simulation/satelit.h"
#include "tests/foundation/iotxt_test_support.h"

namespace {

using iotxttest::LogText;
using iotxttest::ScopedFile;

constexpr TIME_MS kStart = 12000000000000;

const char* kPwmCoil =
    "coil \"X\"\n"
    "  shape = RECTANGULAR, 80 mm, 80 mm\n"
    "  core = NONE\n"
    "  windings = 200\n"
    "  position = 0 mm, 10 mm, 0 mm\n"
    "  direction = VECTOR(2, 0, 0)\n"
    "  resistance = 25\n"
    "  driving = PWM_VOLTAGE, 5, MODULE_OUTPUT(\"ACS\", \"CoilXPlus\"), MODULE_OUTPUT(\"ACS\", \"CoilXMinus\")\n"
    "end\n";

class CoilTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        LOG_Init();
        IOTXT_Init();
        g_simClock.clock = kStart;
        memset(static_cast<void*>(&sat), 0, sizeof sat);
    }
    void TearDown() override
    {
        for (COIL* c : coils) COIL_Free(c);
    }

    // Parses a coil block given as the text of a file; null when refused.
    COIL* Parse(const std::string& text)
    {
        ScopedFile file("coil.cfg", text);
        EXPECT_EQ(IOTXT_OpenFile("coil.cfg"), 1u);
        EXPECT_EQ(IOTXT_NextLine(), 1u);
        EXPECT_EQ(IOTXT_MatchWord("coil"), 1u);
        COIL* coil = COIL_Parse(&sat);
        IOTXT_CloseFile();
        if (coil) coils.push_back(coil);
        return coil;
    }

    // A linked coil that is then given the drive whose callbacks a test calls.
    COIL* Driven(uint32_t driving, double resistance)
    {
        std::string text = kPwmCoil;
        text.replace(text.find("PWM_VOLTAGE"), std::string::npos, "OFF\nend\n");
        COIL* coil = Parse(text);
        EXPECT_EQ(COIL_Link(coil, nullptr), 1u);
        coil->driving = driving;
        coil->resistance = resistance;
        coil->pwmVoltage = 5.0;
        return coil;
    }

    // One module run that writes the given integer outputs.
    void Run(COIL* coil, std::vector<std::pair<uint32_t, int32_t>> outputs)
    {
        SW_VALUE value{};
        value.type = SWTYPE_INT;
        for (auto& o : outputs) COIL_OnModuleOutput(1, coil, o.first, &value);
        for (auto& o : outputs) {
            SWTYPE_SetIntComponent(&value, 0, o.second);
            COIL_OnModuleOutput(2, coil, o.first, &value);
        }
        for (auto& o : outputs) COIL_OnModuleOutput(3, coil, o.first, &value);
    }

    SATELIT sat;
    std::vector<COIL*> coils;
};

TEST_F(CoilTest, BlockLoadsEveryKey)
{
    COIL* coil = Parse(kPwmCoil);
    ASSERT_NE(coil, nullptr) << LogText();
    EXPECT_STREQ(coil->name, "X");
    EXPECT_DOUBLE_EQ(coil->sideA, 0.08);
    EXPECT_EQ(coil->windings, 200u);
    EXPECT_DOUBLE_EQ(coil->position.y, 0.01);
    EXPECT_EQ(coil->driving, static_cast<uint32_t>(COIL_DRIVING_PWM_VOLTAGE));
    EXPECT_DOUBLE_EQ(coil->pwmVoltage, 5.0);
    EXPECT_STREQ(coil->pwmMinusInput.outputName, "CoilXMinus");
    EXPECT_EQ(coil->satellite, &sat);
}

struct CoilCase {
    const char* from;     // a line of the valid block
    const char* to;       // its replacement
    const char* message;  // empty when the block still loads
};

class CoilBlockTest : public CoilTest, public ::testing::WithParamInterface<CoilCase> {};

TEST_P(CoilBlockTest, Refusal)
{
    std::string text = kPwmCoil;
    const CoilCase& c = GetParam();
    size_t at = text.find(c.from);
    ASSERT_NE(at, std::string::npos);
    text.replace(at, strlen(c.from), c.to);
    COIL* coil = Parse(text);
    if (std::string(c.message).empty()) {
        EXPECT_NE(coil, nullptr) << LogText();
    } else {
        EXPECT_EQ(coil, nullptr);
        EXPECT_NE(LogText().find(c.message), std::string::npos) << LogText();
    }
}

INSTANTIATE_TEST_SUITE_P(
    Messages, CoilBlockTest,
    ::testing::Values(
        CoilCase{"resistance = 25", "resistance = 0", "COIL: chybné určení činného odporu cívky na řádku 7.\n"},
        CoilCase{"resistance = 25", "resistance = -3", "COIL: chybné určení činného odporu cívky na řádku 7.\n"},
        CoilCase{"VECTOR(2, 0, 0)", "VECTOR(0, 0, 0)", "COIL: chybné určení směru momentu cívky na řádku 6.\n"},
        CoilCase{"VECTOR(2, 0, 0)", "VECTOR(2, 0 0)", "COIL: Chybné určení vektoru na řádce 6.\n"},
        CoilCase{"windings = 200", "windings = 1", "COIL: chybný počet závitů cívky na řádku 4.\n"},
        CoilCase{"windings = 200", "windings = 1000000", ""},
        CoilCase{"  core = NONE\n", "", "COIL: nebyl určen typ a parametry jádra cívky (core) na řádku 8.\n"},
        CoilCase{"  core = NONE\n", "  core = NONE\n  core = NONE\n",
                 "COIL: typ a parametry jádra cívky nelze definovat vícekrát na řádku 4.\n"},
        CoilCase{"end\n", "end now\n", "COIL: očekávám konec řádky za slovem END na řádku 9.\n"},
        CoilCase{"  core = NONE\n", "  colour = RED\n", "COIL: neznámé slovo v definici cívky na řádku 3.\n"},
        CoilCase{"PWM_VOLTAGE, 5, MODULE_OUTPUT(\"ACS\", \"CoilXPlus\"), MODULE_OUTPUT(\"ACS\", \"CoilXMinus\")",
                 "VOLTAGE, 0, 5, 100, 100, MODULE_OUTPUT(\"ACS\", \"V\")",
                 "COIL: chybné určení MAX výstupu modulu na řádku 8.\n"},
        CoilCase{"PWM_VOLTAGE, 5, MODULE_OUTPUT(\"ACS\", \"CoilXPlus\"), MODULE_OUTPUT(\"ACS\", \"CoilXMinus\")",
                 "VOLTAGE, 0, 5, -10001, 100, MODULE_OUTPUT(\"ACS\", \"V\")",
                 "COIL: minimální hodnota výstupu modulu je příliš malá (<-10000)na řádku 8.\n"},
        CoilCase{"PWM_VOLTAGE, 5, MODULE_OUTPUT(\"ACS\", \"CoilXPlus\"), MODULE_OUTPUT(\"ACS\", \"CoilXMinus\")",
                 "VOLTAGE, 0, 5, 3000000000, 100, MODULE_OUTPUT(\"ACS\", \"V\")",
                 "COIL: chybné určení MIN výstupu modulu na řádku 8.\n"},
        CoilCase{"PWM_VOLTAGE, 5, MODULE_OUTPUT(\"ACS\", \"CoilXPlus\"), MODULE_OUTPUT(\"ACS\", \"CoilXMinus\")",
                 "PWM_VOLTAGE, 5, MODULE_OUTPUT(\"ACS\", \"CoilXPlus\")",
                 "COIL: očekávám čárku a určení prvního řídícího výstupu na řádku 8.\n"},
        CoilCase{"PWM_VOLTAGE, 5, MODULE_OUTPUT(\"ACS\", \"CoilXPlus\"), MODULE_OUTPUT(\"ACS\", \"CoilXMinus\")",
                 "OFF whatever follows", ""}));

TEST_F(CoilTest, MomentFollowsTheCurrentAlongTheDirection)
{
    COIL* coil = Driven(COIL_DRIVING_OFF, 25);
    COIL_SetCurrent(coil, 0.1);
    VEC3 m;
    COIL_GetMoment(coil, &m);
    EXPECT_NEAR(m.x, 0.128, 1e-12);
    EXPECT_EQ(m.y, 0.0);
    COIL_SetCurrent(coil, -0.1);
    COIL_GetMoment(coil, &m);
    EXPECT_NEAR(m.x, -0.128, 1e-12);
    EXPECT_EQ(sat.attitudePending, 1u);
}

TEST_F(CoilTest, PwmDriveGivesCurrentPowerAndEnergy)
{
    COIL* coil = Driven(COIL_DRIVING_PWM_VOLTAGE, 25);
    Run(coil, {{COIL_TAG_PWM_PLUS, 3}, {COIL_TAG_PWM_MINUS, 0}});
    EXPECT_DOUBLE_EQ(coil->current, 0.2);
    EXPECT_DOUBLE_EQ(coil->power, 1.0);
    g_simClock.clock += 10000;
    Run(coil, {{COIL_TAG_PWM_PLUS, 0}, {COIL_TAG_PWM_MINUS, 1}});
    EXPECT_DOUBLE_EQ(coil->current, -0.2);
    EXPECT_DOUBLE_EQ(COIL_GetTotalEnergy(coil), 10.0);
    EXPECT_EQ(COIL_GetTotalEnergy(nullptr), 0.0);
    Run(coil, {{COIL_TAG_PWM_PLUS, 1}, {COIL_TAG_PWM_MINUS, 1}});
    EXPECT_EQ(coil->current, 0.0);
    EXPECT_NE(LogText().find("COIL \"X\" chyba: PWM_VOLTAGE: zakázaná kombinace PLUS+MINUS.\n"), std::string::npos);
}

TEST_F(CoilTest, VoltageDriveMapsTheOutputRangeAndClampsIt)
{
    COIL* coil = Driven(COIL_DRIVING_VOLTAGE, 10);
    coil->minOutput = 0;
    coil->maxOutput = 255;
    coil->minVoltage = 0;
    coil->maxVoltage = 5;
    Run(coil, {{COIL_TAG_VOLTAGE, 300}});
    EXPECT_DOUBLE_EQ(coil->current, 0.5);
    Run(coil, {{COIL_TAG_VOLTAGE, -5}});
    EXPECT_DOUBLE_EQ(coil->current, 0.0);
    Run(coil, {{COIL_TAG_VOLTAGE, 51}});
    EXPECT_DOUBLE_EQ(coil->current, 0.1);
    // A reversed range clamps between its ends the same way.
    coil->minOutput = 255;
    coil->maxOutput = 0;
    Run(coil, {{COIL_TAG_VOLTAGE, 300}});
    EXPECT_DOUBLE_EQ(coil->current, 0.0);
}

TEST_F(CoilTest, ConstantCurrentIsRecordedAtMostOnceASecond)
{
    COIL* coil = Driven(COIL_DRIVING_OFF, 25);
    for (int i = 0; i < 300; ++i) {
        COIL_SetCurrent(coil, 0.1);
        g_simClock.clock += 10;
    }
    EXPECT_EQ(coil->queueCount, 3u);
    // Items older than 65 s leave the history, but for the one in force 65 s ago.
    for (int i = 0; i < 100; ++i) {
        g_simClock.clock += 1000;
        COIL_SetCurrent(coil, 0.1 * (i % 2));
    }
    EXPECT_LE(coil->queueCount, 67u);
    EXPECT_GE(g_simClock.clock - COIL_HistoryItem(coil, 0)->time, 64000);
}

// Once the readers are linked, only a coil whose average power is read keeps
// its history; the other still accounts for its energy.
TEST_F(CoilTest, OnlyACoilWhosePowerIsReadKeepsItsHistory)
{
    COIL* read = Driven(COIL_DRIVING_OFF, 25);
    COIL* unread = Driven(COIL_DRIVING_OFF, 25);
    COIL_MarkPowerRead(read);
    for (COIL* coil : {read, unread}) {
        COIL_SetCurrent(coil, 0.2);
        COIL_DropUnreadHistory(coil);
    }
    g_simClock.clock += 4000;
    for (COIL* coil : {read, unread}) COIL_SetCurrent(coil, 0.0);
    g_simClock.clock += 4000;
    EXPECT_EQ(read->queueCount, 2u);
    EXPECT_DOUBLE_EQ(COIL_GetAveragePower(read, 10000), 0.5);
    EXPECT_EQ(unread->queue, nullptr);
    EXPECT_EQ(unread->queueCount, 0u);
    for (COIL* coil : {read, unread}) EXPECT_DOUBLE_EQ(COIL_GetTotalEnergy(coil), 4.0);
}

TEST_F(CoilTest, ACurrentHeldLongerThanTheHistorySpanStillCounts)
{
    // 0.2 A for 100 s, then off: 30 s later the last minute held 30 s of 1 W.
    COIL* coil = Driven(COIL_DRIVING_OFF, 25);
    COIL_SetCurrent(coil, 0.2);
    g_simClock.clock += 100000;
    COIL_SetCurrent(coil, 0.0);
    g_simClock.clock += 30000;
    EXPECT_DOUBLE_EQ(COIL_GetAveragePower(coil, 60000), 0.5);
}

TEST_F(CoilTest, AveragePowerMatchesDirectIntegration)
{
    COIL* coil = Driven(COIL_DRIVING_OFF, 25);
    EXPECT_EQ(COIL_GetAveragePower(coil, 10000), 0.0);
    // A single change 4 s ago averages over those 4 s.
    COIL_SetCurrent(coil, 0.2);
    EXPECT_DOUBLE_EQ(COIL_GetAveragePower(coil, 10000), 1.0);  // no time has passed yet
    g_simClock.clock += 4000;
    EXPECT_DOUBLE_EQ(COIL_GetAveragePower(coil, 10000), 1.0);

    // Sparse changes, then a burst of one every 10 ms: the history wraps
    // around its ring and grows while wrapped. The items are kept as the
    // history keeps them (a repeated current at most once a second) and
    // summed in time order from the window's start or the first item, so the
    // mean is exact.
    std::mt19937 random(7);
    std::vector<std::pair<TIME_MS, double>> changes{{g_simClock.clock - 4000, 0.2}};
    for (int i = 0; i < 6400; ++i) {
        g_simClock.clock += i < 400 || i > 3400 ? 10 + random() % 900 : 10;
        double current = (static_cast<int>(random() % 21) - 10) / 50.0;
        COIL_SetCurrent(coil, current);
        if (changes.back().second != current || g_simClock.clock - changes.back().first >= 1000)
            changes.emplace_back(g_simClock.clock, current);
        if (i % 100 != 33) continue;
        for (TIME_MS window : {TIME_MS(10000), TIME_MS(60000)}) {
            double joules = 0.0;
            TIME_MS from = std::max(g_simClock.clock - window, changes.front().first);
            for (size_t k = 0; k < changes.size(); ++k) {
                TIME_MS start = std::max(changes[k].first, from);
                TIME_MS end = k + 1 < changes.size() ? changes[k + 1].first : g_simClock.clock;
                if (end > start) joules += 25 * changes[k].second * changes[k].second * (end - start) / 1000.0;
            }
            double seconds = (g_simClock.clock - from) / 1000.0;
            ASSERT_EQ(COIL_GetAveragePower(coil, window), joules / seconds) << i << " " << window;
        }
    }
    EXPECT_GE(coil->queueCapacity, 4096u);  // the burst held over 3000 items
}

}  // namespace
