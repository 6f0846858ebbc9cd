// Value types, conversions against the host's casts, variables in external
// RAM, connections with their messages, global variables and referers.
#include <gtest/gtest.h>
#include <cmath>
#include <cstring>
#include <limits>
#include <string>
#include <vector>
#include "foundation/iotxt.h"
#include "foundation/log.h"
#include "foundation/pool.h"
#include "onboard/sim51.h"
#include "onboard/swmodule.h"
#include "onboard/swvalue.h"
#include "simulation/main.h"
#include "tests/foundation/iotxt_test_support.h"

namespace {

using iotxttest::LogText;
using iotxttest::ScopedText;

SW_VALUE IntValue(SW_VALUE_TYPE type, std::vector<int64_t> components)
{
    SW_VALUE v{};
    v.type = type;
    for (uint32_t i = 0; i < components.size(); ++i) SWTYPE_SetIntComponent(&v, i, components[i]);
    return v;
}

SW_VALUE FloatValue(SW_VALUE_TYPE type, std::vector<float> components)
{
    SW_VALUE v{};
    v.type = type;
    for (uint32_t i = 0; i < components.size(); ++i) SWTYPE_SetFloatComponent(&v, i, components[i]);
    return v;
}

SW_VALUE Converted(const SW_VALUE& source, SW_VALUE_TYPE targetType)
{
    SW_VALUE target{};
    target.type = targetType;
    SWTYPE_Convert(&source, &target);
    return target;
}

int64_t ConvertedInt(const SW_VALUE& source, SW_VALUE_TYPE targetType)
{
    SW_VALUE target = Converted(source, targetType);
    return SWTYPE_GetIntComponent(&target, 0);
}

float ConvertedFloat(const SW_VALUE& source, SW_VALUE_TYPE targetType)
{
    SW_VALUE target = Converted(source, targetType);
    return SWTYPE_GetFloatComponent(&target, 0);
}

TEST(SwType, IntegerConversionsMatchHostCasts)
{
    const int64_t samples[] = {0, 1, -1, 127, 128, 255, 256, -32768, 32767, 65535, 70000, -70000, 2147483647,
                               -2147483647 - 1, 4294967295LL};
    for (int64_t s : samples) {
        SW_VALUE fromLong = IntValue(SWTYPE_LONG, {s});
        int32_t asLong = static_cast<int32_t>(s);
        EXPECT_EQ(ConvertedInt(fromLong, SWTYPE_BYTE), static_cast<uint8_t>(asLong));
        EXPECT_EQ(ConvertedInt(fromLong, SWTYPE_INT), static_cast<int16_t>(asLong));
        EXPECT_EQ(ConvertedInt(fromLong, SWTYPE_WORD), static_cast<uint16_t>(asLong));
        EXPECT_EQ(ConvertedInt(fromLong, SWTYPE_DWORD), static_cast<uint32_t>(asLong));
        EXPECT_EQ(ConvertedFloat(fromLong, SWTYPE_1xFLOAT), static_cast<float>(asLong));
        SW_VALUE fromDword = IntValue(SWTYPE_DWORD, {s});
        EXPECT_EQ(ConvertedInt(fromDword, SWTYPE_LONG),
                  static_cast<int32_t>(static_cast<uint32_t>(s)));
    }
    SW_VALUE minusOne = IntValue(SWTYPE_INT, {-1});
    EXPECT_EQ(ConvertedInt(minusOne, SWTYPE_DWORD), 0xFFFFFFFFLL);
    SW_VALUE word = IntValue(SWTYPE_WORD, {0xFFFF});
    int32_t out = 0;
    SWTYPE_GetIntValueRec(&word, &out);
    EXPECT_EQ(out, 65535);
}

TEST(SwType, FloatToIntegerTruncatesAndKeepsLowBits)
{
    EXPECT_EQ(ConvertedInt(FloatValue(SWTYPE_1xFLOAT, {-2.7f}), SWTYPE_INT), -2);
    EXPECT_EQ(ConvertedInt(FloatValue(SWTYPE_1xFLOAT, {70000.0f}), SWTYPE_WORD), 4464);
    EXPECT_EQ(ConvertedInt(FloatValue(SWTYPE_1xFLOAT, {-70000.5f}), SWTYPE_LONG), -70000);
    // Values with no 64-bit integer become INT64_MIN, whose low bits are zero.
    const float special[] = {std::numeric_limits<float>::quiet_NaN(), std::numeric_limits<float>::infinity(),
                             -std::numeric_limits<float>::infinity(), 1e30f, -1e30f};
    for (float f : special) {
        EXPECT_EQ(ConvertedInt(FloatValue(SWTYPE_1xFLOAT, {f}), SWTYPE_LONG), 0) << f;
        EXPECT_EQ(ConvertedInt(FloatValue(SWTYPE_1xFLOAT, {f}), SWTYPE_BYTE), 0) << f;
    }
    EXPECT_EQ(ConvertedInt(FloatValue(SWTYPE_1xFLOAT, {3e9f}), SWTYPE_DWORD), 3000000000LL);
    SW_VALUE copied = Converted(FloatValue(SWTYPE_3xFLOAT, {1.5f, -2.25f, 1e-3f}), SWTYPE_3xFLOAT);
    double v[3];
    SWTYPE_GetVector3(&copied, v);
    EXPECT_DOUBLE_EQ(v[1], -2.25);
    EXPECT_FLOAT_EQ(static_cast<float>(v[2]), 1e-3f);
}

TEST(SwType, DifferentComponentCountsLeaveTheTargetUnchanged)
{
    SW_VALUE target = IntValue(SWTYPE_WORD, {1234});
    SW_VALUE source = IntValue(SWTYPE_3xINT, {1, 2, 3});
    SWTYPE_Convert(&source, &target);
    EXPECT_EQ(SWTYPE_GetIntComponent(&target, 0), 1234);
    SW_VALUE none{};
    SWTYPE_Convert(&none, &target);
    EXPECT_EQ(SWTYPE_GetIntComponent(&target, 0), 1234);
}

class SwVariableTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        cpu_ = SIM51_CreateCpu();
        module_.cpu = cpu_;
    }
    void TearDown() override { SIM51_DestroyCpu(cpu_); }
    SIM51_CPU* cpu_ = nullptr;
    SWMODULE module_{};
};

TEST_F(SwVariableTest, VariablesAreLittleEndianAndWrapAtTheTop)
{
    SWMODULE_INPUT input{};
    input.address = 0x1000;
    input.value = IntValue(SWTYPE_BASE_WORD * 4 + 2, {0x1234, 0xABCD});
    SWMODULE_WriteVariable(&module_, &input);
    EXPECT_EQ(cpu_->xram[0x1000], 0x34);
    EXPECT_EQ(cpu_->xram[0x1001], 0x12);
    EXPECT_EQ(cpu_->xram[0x1002], 0xCD);
    EXPECT_EQ(cpu_->xram[0x1003], 0xAB);

    input.address = 0xFFFE;
    input.value = IntValue(SWTYPE_LONG, {0x11223344});
    SWMODULE_WriteVariable(&module_, &input);
    EXPECT_EQ(cpu_->xram[0xFFFE], 0x44);
    EXPECT_EQ(cpu_->xram[0xFFFF], 0x33);
    EXPECT_EQ(cpu_->xram[0x0000], 0x22);
    EXPECT_EQ(cpu_->xram[0x0001], 0x11);

    SWMODULE_OUTPUT output{};
    output.address = 0xFFFE;
    output.value.type = SWTYPE_LONG;
    SWMODULE_ReadVariable(&module_, &output);
    EXPECT_EQ(SWTYPE_GetIntValue(&output.value), 0x11223344);

    SWMODULE_ClearVariable(&module_, &input);
    EXPECT_EQ(cpu_->xram[0xFFFF], 0);
    EXPECT_EQ(cpu_->xram[0x0001], 0);
    EXPECT_EQ(cpu_->xram[0x0002], 0);
}

class SwConnectionTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        LOG_Init();
        IOTXT_Init();
        SWMODULE_InitGlobals();
    }
    void TearDown() override { SWMODULE_FreeGlobals(); }

    uint32_t Parse(const std::string& text, SW_CONNECTION* c)
    {
        ScopedText line(text);
        memset(c, 0, sizeof *c);
        return SWMODULE_ParseConnection(c);
    }
};

TEST_F(SwConnectionTest, GlobalVariablesResolveWithoutRegardToCase)
{
    SW_CONNECTION c;
    ASSERT_EQ(Parse("GLOBAL_VARIABLE ( \"module_system_time_10ms\" )", &c), 1u);
    EXPECT_EQ(c.kind, SW_CONN_GLOBAL_VARIABLE);
    ASSERT_NE(c.variable, nullptr);
    EXPECT_STREQ(c.variable->name, "Module_System_Time_10ms");
    EXPECT_STREQ(SWMODULE_ConnToText(&c), "GLOBVAR<Module_System_Time_10ms>");
    EXPECT_EQ(SWMODULE_ConnIsIntScalar(&c), 1u);
    EXPECT_EQ(SWMODULE_RegisterReferer(&c, nullptr, 0, nullptr), 1u);

    // A variable registered later is unknown while parsing; a second
    // registration of a name is only reported.
    EXPECT_EQ(Parse("global_variable(\"Later\")", &c), 0u);
    SWMODULE_RegisterGlobalVariable("Later", SWTYPE_3xINT, nullptr);
    SWMODULE_RegisterGlobalVariable("LATER", SWTYPE_BYTE, nullptr);
    EXPECT_EQ(Parse("global_variable(\"Later\")", &c), 1u);
    EXPECT_EQ(c.variable->value.type, SWTYPE_3xINT);
    EXPECT_EQ(SWMODULE_ConnIsVector3(&c), 1u);
    std::string log = LogText();
    EXPECT_NE(log.find("SWMODULE: Globální proměnná \"Later\" neexistuje na řádku 0.\n"), std::string::npos) << log;
    EXPECT_NE(log.find("SWMODULE: opakovaná registrace globální proměnné LATER.\n"), std::string::npos) << log;
}

TEST_F(SwConnectionTest, EachMalformedConnectionHasItsMessage)
{
    struct Case {
        const char* text;
        const char* message;
    } cases[] = {
        {"GLOBAL_VARIABLE \"x\"", "SWMODULE: Očekávám název globální proměnné v závorce na řádku 0.\n"},
        {"GLOBAL_VARIABLE(MagVector_Body_nT_L3)",
         "SWMODULE: Očekávám název globální proměnné v uvozovkách na řádku 0.\n"},
        {"GLOBAL_VARIABLE (\"Module_System_Time_10ms\"", "SWMODULE: chybí ukončovací závorka na řádku 0.\n"},
        {"MODULE_OUTPUT \"a\", \"b\")", "SWMODULE: Očekávám název závorku na řádku 0.\n"},
        {"MODULE_OUTPUT (a, \"b\")", "SWMODULE: Očekávám název cílového modulu na řádku 0.\n"},
        {"MODULE_OUTPUT (\"a\" \"b\")", "SWMODULE: Očekávám čárku a název cílového výstupu na řádku 0.\n"},
        {"MODULE_OUTPUT (\"a\", b)", "SWMODULE: Očekávám název cílového výstupu na řádku 0.\n"},
        {"MODULE_OUTPUT (\"a\", \"b\"", "SWMODULE: chybí ukončovací závorka na řádku 0.\n"},
        {"MODULE_OUTPUTS (\"a\", \"b\")", "SWMODULE: Neznámý druh datového propojení na řádku 0.\n"},
    };
    for (const Case& k : cases) {
        LOG_Init();
        SW_CONNECTION c;
        EXPECT_EQ(Parse(k.text, &c), 0u) << k.text;
        EXPECT_EQ(LogText(), k.message) << k.text;
    }
}

std::vector<std::string> g_calls;

void Record(uint32_t phase, void* owner, uint32_t tag, SW_VALUE* value)
{
    g_calls.push_back(std::to_string(phase) + ":" + static_cast<const char*>(owner) + ":" + std::to_string(tag) + ":" +
                      std::to_string(SWTYPE_GetIntValue(value)));
}

TEST_F(SwConnectionTest, ModuleOutputsResolveAndCallTheirReferersLastRegisteredFirst)
{
    SWMODULE_OUTPUT outputs[1]{};
    char outName[] = "Dipole";
    outputs[0].name = outName;
    outputs[0].value = IntValue(SWTYPE_INT, {-3});
    SWMODULE acs{};
    char acsName[] = "ACS";
    acs.name = acsName;
    acs.outputCount = 1;
    acs.outputs = outputs;

    SW_CONNECTION c;
    ASSERT_EQ(Parse("MODULE_OUTPUT(\"acs\", \"DIPOLE\")", &c), 1u);
    EXPECT_STREQ(SWMODULE_ConnToText(&c), "MODOUT<acs.DIPOLE>");
    EXPECT_EQ(SWMODULE_ConnIsIntScalar(&c), 0u);   // not resolved yet
    ASSERT_EQ(SWMODULE_ResolveConnection(&c, &acs), 1u);
    EXPECT_EQ(c.output, &outputs[0]);
    EXPECT_EQ(SWMODULE_ConnIsIntScalar(&c), 1u);
    EXPECT_EQ(SWMODULE_FindOutputValue(&acs, "dipole"), &outputs[0].value);

    char first[] = "first", second[] = "second";
    ASSERT_EQ(SWMODULE_RegisterReferer(&c, first, 1000, Record), 1u);
    ASSERT_EQ(SWMODULE_RegisterReferer(&c, second, 1001, Record), 1u);
    uint16_t bound = 0;
    g_calls.clear();
    SWMODULE_PropagateOutputs(&acs, &bound, 1);
    std::vector<std::string> expected = {"1:second:1001:-3", "1:first:1000:-3", "2:second:1001:-3",
                                         "2:first:1000:-3",  "3:second:1001:-3", "3:first:1000:-3"};
    EXPECT_EQ(g_calls, expected);
    for (SW_REFERER* r = outputs[0].referers; r;) {
        SW_REFERER* next = r->next;
        POOL_Free(r);
        r = next;
    }
    SWMODULE_FreeConnection(&c);

    SW_CONNECTION missing;
    ASSERT_EQ(Parse("MODULE_OUTPUT(\"ACS\", \"Torque\")", &missing), 1u);
    EXPECT_EQ(SWMODULE_ResolveConnection(&missing, &acs), 0u);
    LOG_Init();
    EXPECT_EQ(SWMODULE_RegisterReferer(&missing, first, 1, Record), 0u);
    EXPECT_EQ(LogText(), "SWMODULE: nepodařilo se registrovat odkaz na výstup modulu.\n");
    SWMODULE_FreeConnection(&missing);

    SW_CONNECTION none{};
    LOG_Init();
    EXPECT_EQ(SWMODULE_RegisterReferer(&none, first, 1, Record), 0u);
    EXPECT_EQ(LogText(), "SWMODULE: pokus o registraci odkazu na nepropojený spoj.\n");
    EXPECT_STREQ(SWMODULE_ConnToText(&none), "NONE");
    none.kind = 9;
    EXPECT_STREQ(SWMODULE_ConnToText(&none), "?unknown connection?");
}

TEST_F(SwConnectionTest, ConnectionTextStaysInsideItsBuffer)
{
    std::string longName(1000, 'M');
    SW_CONNECTION c;
    ASSERT_EQ(Parse("MODULE_OUTPUT(\"" + longName + "\", \"" + longName + "\")", &c), 1u);
    std::string text = SWMODULE_ConnToText(&c);
    EXPECT_LT(text.size(), 256u);
    EXPECT_EQ(text.rfind("MODOUT<MMMM", 0), 0u);
    SWMODULE_FreeConnection(&c);
}

}  // namespace
