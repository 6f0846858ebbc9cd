// Data-value nodes: their block lines and messages, the stateless nodes over
// constants, and the nodes with state fed by a probe whose value the test sets.
#include "tests/dataout/dataout_fixture.h"

namespace {

using dataouttest::AddNode;
using dataouttest::DataoutTest;
using dataouttest::MsOf;

// The probe node: its value is whatever the test puts here.
uint32_t g_probeType = IOTXT_TYPE_INT64;
int64_t g_probeInteger = 0;
double g_probeReal = 0.0;

uint32_t ProbeValue(void*, uint32_t* type, int64_t* integer, double* real, char**)
{
    *type = g_probeType;
    *integer = g_probeInteger;
    *real = g_probeReal;
    return 1;
}
const DVHAN_ROW kProbe = {"PROBE", nullptr, nullptr, nullptr, ProbeValue, nullptr, nullptr};

void SetProbe(int64_t value) { g_probeType = IOTXT_TYPE_INT64; g_probeInteger = value; }
void SetProbeReal(double value) { g_probeType = IOTXT_TYPE_DOUBLE; g_probeReal = value; }

class DvhanTest : public DataoutTest {
protected:
    void SetUp() override
    {
        DataoutTest::SetUp();
        SetProbe(0);
        AddNode("probe", &kProbe, nullptr);
    }
    // Loads node blocks and returns the last node.
    DATAOUT_NODE* LoadNodes(const std::string& text) { return Load(text) == 1u ? g_dataout.lastNode : nullptr; }
    // The node's value, which must be of the given type.
    static double Value(DATAOUT_NODE* node, uint32_t expectedType)
    {
        uint32_t type = 0;
        int64_t integer = -99;
        double real = -99.0;
        char* text = nullptr;
        node->type->value(node->data, &type, &integer, &real, &text);
        EXPECT_EQ(type, expectedType);
        return expectedType == IOTXT_TYPE_INT64 ? (double)integer : real;
    }
    static int64_t Integer(DATAOUT_NODE* node) { return (int64_t)Value(node, IOTXT_TYPE_INT64); }
    static double Real(DATAOUT_NODE* node) { return Value(node, IOTXT_TYPE_DOUBLE); }
    // Moves the clock to the given time and runs a node update there.
    static void UpdateAt(TIME_MS t) { g_simClock.clock = t; DATAOUT_UpdateNodes(); }
};

std::string Binary(const char* type, const std::string& a, const std::string& b, const std::string& extra = "")
{
    static int n = 0;
    return "datavalue \"c" + std::to_string(n++) + "\", " + type + "\n  value1 = " + a + "\n  value2 = " + b + "\n" +
           extra + "end\n";
}

TEST_F(DvhanTest, ComparisonsAndLogicOverConstants)
{
    struct Case {
        const char* type;
        const char* a;
        const char* b;
        const char* extra;
        int64_t expected;
    };
    const Case cases[] = {
        {"LESS", "2", "3", "", 1},
        {"LESS", "2", "2.0", "", 0},
        {"LESS_OR_EQU", "2", "2.0", "", 1},
        {"GREATER", "-1", "-2", "", 1},
        {"GREATER_OR_EQU", "1.5", "2", "", 0},
        {"LESS", "-1", "5", "  ignore_value1 = -1\n", 0},
        {"LESS", "0.5", "5", "  ignore_value1 = 0.5\n", 0},
        {"LESS", "0.5", "5", "  ignore_value1 = 0.50000000001\n", 1},     // reals match exactly only
        {"LESS", "1", "5", "  ignore_value1 = 1.00000000001\n", 0},       // an integer within 1e-10
        {"LESS", "1", "5", "  ignore_value2 = 5\n", 0},
        {"LESS", "1", "5", "  ignore_value1 = 7\n  ignore_value1 = 1\n", 0},   // the later line holds
        {"GREATER", "datavalue(\"probe\")", "-1", "", 1},
        {"AND", "1.0", "1e-11", "", 0},
        {"AND", "1", "2.5", "", 1},
        {"AND", "4294967296", "1", "", 0},   // only the low 32 bits count
        {"OR", "0", "1e-11", "", 0},
        {"OR", "0", "PARAMETER(\"nothing\")", "", 0},
        {"OR", "0.0", "3", "", 1},
    };
    for (const Case& c : cases) {
        DATAOUT_NODE* node = LoadNodes(Binary(c.type, c.a, c.b, c.extra));
        ASSERT_NE(node, nullptr) << c.type << " " << c.a << " " << c.b;
        ASSERT_EQ(node->type->link(node->data), 1u);
        EXPECT_EQ(Integer(node), c.expected) << c.type << " " << c.a << " " << c.b << " " << c.extra;
    }
}

// A vector-pair node over the model's and the module's components.
std::string VectorPair(const char* type, const char* const m[3], const char* const d[3])
{
    std::string text = std::string("datavalue \"v\", ") + type + "\n";
    for (int i = 0; i < 3; ++i) text += std::string("  model") + "xyz"[i] + " = " + m[i] + "\n";
    for (int i = 0; i < 3; ++i) text += std::string("  module") + "xyz"[i] + " = " + d[i] + "\n";
    return text + "end\n";
}

TEST_F(DvhanTest, ModuleVectorAgainstTheModel)
{
    struct Case {
        const char* type;
        const char* model[3];
        const char* module[3];
        double expected;
    };
    const Case cases[] = {
        {"MODULE_VECTOR_DEVIATION_FROM_MODEL_DEG", {"1", "2", "0"}, {"-2", "1", "0"}, 90.0},
        // Equal vectors whose rounded cosine exceeds 1 give 0, not NaN.
        {"MODULE_VECTOR_DEVIATION_FROM_MODEL_DEG", {"0.4", "-0.5", "0.9"}, {"0.4", "-0.5", "0.9"}, 0.0},
        {"MODULE_VECTOR_DEVIATION_FROM_MODEL_DEG", {"0", "0", "0"}, {"1", "0", "0"}, 0.0},
        {"MODULE_VECTOR_MAGNITUDE_DIFFERENCE_FROM_MODEL_PERCENT", {"3", "4", "0"}, {"0", "0", "4.5"}, -10.0},
    };
    for (const Case& c : cases) {
        Reset();
        DATAOUT_NODE* node = LoadNodes(VectorPair(c.type, c.model, c.module));
        ASSERT_NE(node, nullptr);
        EXPECT_NEAR(Real(node), c.expected, 1e-12) << c.model[0];
    }
}

TEST_F(DvhanTest, BlockMessages)
{
    struct Case {
        std::string text;
        const char* message;
    };
    const std::string ta = "datavalue \"t\", TIME_ACCOUNTING\n";
    const Case cases[] = {
        {Binary("LESS", "1", "2", "  value1 = 3\n"), "zdroj prvního operandu nemůže být zadán vícekrát na řádku 4.\n"},
        {"datavalue \"c\", LESS\n  value1 1\nend\n", "očekávám rovnítko a určení prvního operandu na řádku 2.\n"},
        {"datavalue \"c\", LESS\n  value1 = 1\nend\n", "nebyl určen druhý operand výpočetního bodu na řádku 3.\n"},
        {"datavalue \"c\", OR\n  ignore_value1 = \nend\n", "DATAOUT: chybné určení datového zdroje na řádku 2.\n"},
        {"datavalue \"c\", AND\n  value3 = 1\nend\n", "DATAOUT: neznámé slovo na řádku 2.\n"},
        {"datavalue \"c\", AND\n  value1 = 1\n", "přerušená definice výpočetního bodu na řádku"},
        {"datavalue \"v\", MODULE_VECTOR_DEVIATION_FROM_MODEL_DEG\n  modelx 1\nend\n",
         "DATAOUT: očekávám rovnítko a určení hodnoty 2.\n"},
        {"datavalue \"v\", MODULE_VECTOR_DEVIATION_FROM_MODEL_DEG\n  moduley = 1\n  moduley = 1\nend\n",
         "Y-ová složka vektoru modulu nemůže být zadána vícekrát na řádku 3.\n"},
        {"datavalue \"v\", MODULE_VECTOR_DEVIATION_FROM_MODEL_DEG\n  modelx = 1\nend\n",
         "nebyla určena Y-ová složka vektoru modelu na řádku 3.\n"},
        {ta + "  value = 1\n  interval = 0s\nend\n", "DATAOUT: chybný interval výpočtu na řádku 3.\n"},
        {ta + "  value = 1\n  accuracy = 0s\nend\n", "DATAOUT: chybné rozlišení času na řádku 3.\n"},
        {ta + "  value = 1\n  accuracy = 1s\n  accuracy = 1s\nend\n",
         "rozlišení času nemůže být zadáno vícekrát na řádku 4.\n"},
        {ta + "  interval = 1h\nend\n", "nebyl určen zdroj cílového příznaku na řádku 3.\n"},
        {"datavalue \"n\", COUNT_IN_INTERVAL\n  value = 1\n  low_interval = 0\nend\n",
         "nebyla určena horní mez intervalu na řádku 4.\n"},
        {"datavalue \"n\", MAXIMUM\n  default_target = 0\n  default_target = 0\nend\n",
         "default hodnota cíle nemůže být zadána vícekrát na řádku 3.\n"},
        {"datavalue \"n\", MINIMUM\n  default_value = 3\nend\n",
         "nebyl určen první operand výpočetního bodu na řádku 3.\n"},
    };
    for (const Case& c : cases) {
        Reset();
        EXPECT_EQ(Load(c.text), 0u) << c.text;
        std::string log = TakeLog();
        EXPECT_NE(log.find(c.message), std::string::npos) << c.text << "\n" << log;
        EXPECT_EQ(dataouttest::CountOf(log, "DATAOUT:"), 1) << log;
        EXPECT_EQ(g_dataout.firstNode, nullptr);
    }
}

TEST_F(DvhanTest, TimeAccountingDefaultsAndMessages)
{
    Reset();
    ASSERT_EQ(Load("datavalue \"t\", TIME_ACCOUNTING\n  value = 1\nend\n"), 1u);
    std::string log = TakeLog();
    EXPECT_NE(log.find("DATAOUT: nebyl určen interval výpočtu, default=1 den.\n"), std::string::npos);
    EXPECT_NE(log.find("DATAOUT: nebylo určeno časové rozlišení výpočtu, default=1 sec.\n"), std::string::npos);
    EXPECT_EQ(DATAOUT_GetMinAccuracy(), 1000u);
    DATAOUT_NODE* node = g_dataout.lastNode;
    ASSERT_EQ(DATAOUT_LinkNodes(), 1u);
    EXPECT_EQ(Integer(node), 0);

    // One-day interval: the first boundary is the next midnight.
    TIME_MS start = g_simClock.clock;   // 12:00:03
    for (TIME_MS t = start + 3600000; t < MsOf(2006, 1, 2); t += 3600000) UpdateAt(t);
    UpdateAt(MsOf(2006, 1, 1, 23, 59, 59));
    EXPECT_EQ(Integer(node), 0);
    UpdateAt(MsOf(2006, 1, 2));
    EXPECT_EQ(Integer(node), (MsOf(2006, 1, 2) - start) / 1000);
}

// Node updates that drift a few ms past the accuracy must not count the time
// past an interval's end twice.
TEST_F(DvhanTest, TimeAccountingCountsEachMillisecondOnce)
{
    DATAOUT_NODE* node = LoadNodes("datavalue \"t\", TIME_ACCOUNTING\n  value = datavalue(\"probe\")\n"
                                   "  interval = 60s\n  accuracy = 10s\n  default_value = -1\nend\n");
    ASSERT_NE(node, nullptr);
    EXPECT_EQ(DATAOUT_GetMinAccuracy(), 10000u);
    ASSERT_EQ(DATAOUT_LinkNodes(), 1u);
    SetProbe(1);
    TIME_MS start = g_simClock.clock;
    TIME_MS t = start;
    for (int interval = 1; interval <= 100; ++interval) {
        while (t + 10003 < start + interval * 60000LL) {
            t += 10003;
            UpdateAt(t);
        }
        EXPECT_EQ(Integer(node), interval == 1 ? -1 : 60) << interval;
        t += 10003;
        UpdateAt(t);
        ASSERT_EQ(Integer(node), 60) << interval;
    }
    // Half of each sample false: 30 s of each minute.
    for (int i = 0; i < 12; ++i) {
        SetProbe(i % 2);
        t += 10000;
        UpdateAt(t);
    }
    EXPECT_NEAR((double)Integer(node), 30.0, 1.0);
}

TEST_F(DvhanTest, PulseWidthsCountedLiveInTheFirstIntervalThenPerInterval)
{
    DATAOUT_NODE* node = LoadNodes("datavalue \"p\", COUNT_PULSE_WIDTH\n  value = datavalue(\"probe\")\n"
                                   "  low_interval = 1s\n  high_interval = 2s\n  interval = 60s\n"
                                   "  accuracy = 100ms\n  default_value = 7\nend\n");
    ASSERT_NE(node, nullptr);
    EXPECT_EQ(DATAOUT_GetMinAccuracy(), 100u);
    ASSERT_EQ(DATAOUT_LinkNodes(), 1u);
    TIME_MS start = g_simClock.clock;
    auto pulse = [&](TIME_MS from, TIME_MS to) {
        for (TIME_MS t = from; t <= to; t += 100) {
            SetProbe(t < to ? 1 : 0);
            UpdateAt(t);
        }
    };
    EXPECT_EQ(Integer(node), 7);
    pulse(start + 1000, start + 2500);     // 1.5 s
    EXPECT_EQ(Integer(node), 1);
    pulse(start + 10000, start + 12500);   // 2.5 s
    pulse(start + 20000, start + 21000);   // exactly 1 s
    EXPECT_EQ(Integer(node), 2);
    UpdateAt(start + 60000);
    EXPECT_EQ(Integer(node), 2);
    pulse(start + 61000, start + 62000);
    EXPECT_EQ(Integer(node), 2);   // no longer live
    UpdateAt(start + 120000);
    EXPECT_EQ(Integer(node), 1);
}

TEST_F(DvhanTest, CountInIntervalAndExtremesAreSampledEverySecondWithoutAnAccuracy)
{
    const std::string text =
        "datavalue \"n\", COUNT_IN_INTERVAL\n  value = datavalue(\"probe\")\n  low_interval = 10\n"
        "  high_interval = 20.5\n  interval = 1s\nend\n"
        "datavalue \"max\", MAXIMUM\n  value = datavalue(\"probe\")\n  default_target = 0\n  default_value = -1\nend\n"
        "datavalue \"min\", MINIMUM\n  value = datavalue(\"probe\")\nend\n";
    ASSERT_EQ(Load(text), 1u);
    EXPECT_EQ(DATAOUT_GetMinAccuracy(), DATAOUT_DEFAULT_NODE_PERIOD);
    DATAOUT_NODE* count = DATAOUT_FindNode("n");
    DATAOUT_NODE* maximum = DATAOUT_FindNode("max");
    DATAOUT_NODE* minimum = DATAOUT_FindNode("min");
    ASSERT_EQ(DATAOUT_LinkNodes(), 1u);
    EXPECT_EQ(Real(maximum), -1.0);
    EXPECT_EQ(Real(minimum), 0.0);
    TIME_MS start = g_simClock.clock;
    const double samples[] = {0.0, -5.0, 10.0, 20.5, 21.0, 0.0, -7.5};
    for (int i = 0; i < 7; ++i) {
        SetProbeReal(samples[i]);
        UpdateAt(start + (i + 1) * 1000);
    }
    UpdateAt(start + 7500);   // between two samples of the count
    EXPECT_EQ(Integer(count), 2);
    EXPECT_EQ(Real(maximum), 21.0);
    EXPECT_EQ(Real(minimum), -7.5);
    // A new run starts every node afresh.
    ASSERT_EQ(DATAOUT_LinkNodes(), 1u);
    EXPECT_EQ(Integer(count), 0);
    EXPECT_EQ(Real(maximum), -1.0);
}

}  // namespace
