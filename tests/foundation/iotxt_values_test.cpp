#include <gtest/gtest.h>
#include <cstring>
#include <string>
#include "foundation/iotxt.h"
#include "foundation/pool.h"
#include "simulation/main.h"
#include "tests/foundation/iotxt_test_support.h"

using iotxttest::ScopedText;

namespace {

// Reads the text as the current line with the given reader.
template <typename T>
bool Read(const char* text, uint32_t (*reader)(T*), T* value)
{
    ScopedText t(text);
    return reader(value);
}

std::string Quoted(const std::string& text)
{
    ScopedText t(text);
    char* s = IOTXT_ReadQuotedString();
    if (!s) return "<null>";
    std::string r = s;
    POOL_Free(s);
    return r;
}

}  // namespace

// Integers and reals: the values of good texts, and bad ones refused with the
// value untouched (beyond the range: no saturated value).
TEST(IotxtValues, IntegersAndReals)
{
    const std::string many(99, '1');
    const struct { const char* text; bool ok; int64_t value; } ints[] = {
        {"+5", true, 5}, {"  -5;", true, -5}, {"9223372036854775807", true, INT64_MAX},
        {"-9223372036854775808", true, INT64_MIN}, {"+-5", false, 0}, {"5-", false, 0}, {"- 5", false, 0},
        {"-", false, 0}, {"", false, 0}, {"abc", false, 0}, {many.c_str(), false, 0},
        {"9223372036854775808", false, 0}, {"-99999999999999999999", false, 0}};
    for (const auto& c : ints) {
        int64_t v = 7;
        EXPECT_EQ(Read(c.text, IOTXT_ReadInt64, &v) != 0, c.ok) << c.text;
        EXPECT_EQ(v, c.ok ? c.value : 7) << c.text;
    }
    const struct { const char* text; bool ok; double value; } reals[] = {
        {"1e-3", true, 0.001}, {"-2.5E+2", true, -250}, {"+.5", true, 0.5},
        {"e5", false, 0}, {"1e5e3", false, 0}, {"1-2", false, 0}};
    for (const auto& c : reals) {
        double v = 7;
        EXPECT_EQ(Read(c.text, IOTXT_ReadDouble, &v) != 0, c.ok) << c.text;
        EXPECT_DOUBLE_EQ(v, c.ok ? c.value : 7) << c.text;
    }
    // A number ends where its form ends.
    int64_t i;
    double d;
    ScopedText t("12abc");
    EXPECT_TRUE(IOTXT_ReadInt64(&i));
    EXPECT_EQ(i, 12);
    EXPECT_EQ(t.Rest(), "abc");
    ScopedText u("1.2.3 x");
    EXPECT_TRUE(IOTXT_ReadDouble(&d));
    EXPECT_DOUBLE_EQ(d, 1.2);
    EXPECT_EQ(u.Rest(), " x");
}

TEST(IotxtValues, ParameterFormThroughMultipass)
{
    LOG_Init();
    double v = 3;
    // The multipass lookup knows no parameter here.
    EXPECT_FALSE(Read("PARAMETER(\"gain\")", IOTXT_ReadDouble, &v));
    EXPECT_NE(iotxttest::LogText().find("IOTXT: neznámý název MULTIPASS-PARAMETRU"), std::string::npos);
    EXPECT_FALSE(Read("PARAMETER gain", IOTXT_ReadDouble, &v));
    EXPECT_NE(iotxttest::LogText().find("IOTXT: očekávám závorku u definice PARAMETER."), std::string::npos);
    EXPECT_FALSE(Read("PARAMETER(gain)", IOTXT_ReadDouble, &v));
    EXPECT_NE(iotxttest::LogText().find("IOTXT: očekávám název MULTIPASS-PARAMETRU"), std::string::npos);
    EXPECT_EQ(v, 3);
}

// PARAMETER stands for a whole real wherever a real is read, the number of a
// length or a triple included; it is no part of a number, no integer and no
// duration.
TEST(IotxtValues, ParameterStandsForAWholeRealOnly)
{
    LOG_Init();
    IOTXT_SetParamLookup([](const char* name, double* value) -> uint32_t {
        *value = 2.5;
        return std::strcmp(name, "p") == 0;
    });
    double v = 0, a = 0, b = 0, c = 0;
    EXPECT_TRUE(Read("PARAMETER(\"p\")", IOTXT_ReadDouble, &v));
    EXPECT_EQ(v, 2.5);
    EXPECT_TRUE(Read("PARAMETER(\"p\") mm", IOTXT_ReadLength, &v));
    EXPECT_DOUBLE_EQ(v, 0.0025);
    ScopedText t("1, PARAMETER(\"p\"), 3");
    EXPECT_TRUE(IOTXT_ReadTriple(&a, &b, &c));
    EXPECT_EQ(b, 2.5);
    v = 7;
    for (const char* bad : {"-PARAMETER(\"p\")", "+PARAMETER(\"p\")", "2*PARAMETER(\"p\")"}) {
        ScopedText line(bad);
        EXPECT_FALSE(IOTXT_ReadDouble(&v) && IOTXT_IsEndOfLine()) << bad;
    }
    int64_t whole = 7;
    EXPECT_FALSE(Read("PARAMETER(\"p\")", IOTXT_ReadInt64, &whole));
    EXPECT_FALSE(Read("PARAMETER(\"p\")", IOTXT_ReadDuration, &whole));
    EXPECT_EQ(whole, 7);
    IOTXT_SetParamLookup(nullptr);
}

TEST(IotxtValues, Durations)
{
    struct { const char* text; int64_t ms; } good[] = {
        {"500ms", 500}, {"1m30s", 90000}, {"1 h 15 m", 4500000}, {"1H", 3600000},
        {"1d 2h 3m 4s 5ms", 93784005}, {"90s", 90000}};
    for (auto& g : good) {
        int64_t v = -1;
        EXPECT_TRUE(Read(g.text, IOTXT_ReadDuration, &v)) << g.text;
        EXPECT_EQ(v, g.ms) << g.text;
    }
    int64_t v = 11;
    for (const char* bad : {"15", "1min", "2s 1m", "1h 1h", "30m 1h", "1.5h", "", "h",
                            "106751991168d", "106751991167 d 8h", "9223372036854775807ms 1ms"})
        EXPECT_FALSE(Read(bad, IOTXT_ReadDuration, &v)) << bad;
    EXPECT_EQ(v, 11);
    ScopedText t("10s ; every ten seconds");
    EXPECT_TRUE(IOTXT_ReadDuration(&v));
    EXPECT_TRUE(IOTXT_IsEndOfLine());
}

TEST(IotxtValues, TimeFromStartAddsTheClock)
{
    g_simClock.clock = 1000000;
    int64_t v;
    EXPECT_TRUE(Read("TIME_FROM_START( 1h )", IOTXT_ReadTimeFromStart, &v));
    EXPECT_EQ(v, 1000000 + 3600000);
    EXPECT_FALSE(Read("TIME_FROM_START(1h", IOTXT_ReadTimeFromStart, &v));
    g_simClock.clock = 0;
}

TEST(IotxtValues, UtDates)
{
    SYSTEMTIME st;
    st.wDayOfWeek = 77;
    ASSERT_TRUE(Read("UT(\"1.2.2006, 3:04\")", IOTXT_ReadUtTime, &st));
    SYSTEMTIME expected = testsupport::Date(2006, 2, 1, 3, 4);
    expected.wDayOfWeek = 77;   // left as the caller had it
    EXPECT_EQ(std::memcmp(&st, &expected, sizeof st), 0);
    ASSERT_TRUE(Read("ut ( \"31.12.2200, 23:59:59.999\" )", IOTXT_ReadUtTime, &st));
    EXPECT_EQ(st.wMilliseconds, 999);
    ASSERT_TRUE(Read("UT(\"29.02.2004,12:30:15\")", IOTXT_ReadUtTime, &st));
    EXPECT_EQ(st.wSecond, 15);
    EXPECT_EQ(st.wMilliseconds, 0);
    SYSTEMTIME before = st;
    for (const char* bad : {"UT(\"01.01.1949, 00:00\")", "UT(\"30.02.2006, 00:00\")", "UT(\"29.02.2100, 00:00\")",
                            "UT(\"01.13.2006, 00:00\")", "UT(\"01.01.2006, 24:00\")", "UT(\"01.01.2006\")",
                            "UT(\"01.01.2006, 00:00\"", "UT 01.01.2006", "UTC(\"01.01.2006, 00:00\")"})
        EXPECT_FALSE(Read(bad, IOTXT_ReadUtTime, &st)) << bad;
    EXPECT_EQ(st.wYear, before.wYear);
}

TEST(IotxtValues, ColoursAndSky)
{
    uint8_t r = 1, g = 2, b = 3;
    {
        ScopedText t("RGB( 255, 0 ,0 )");
        EXPECT_TRUE(IOTXT_ReadRgb(&r, &g, &b));
        EXPECT_EQ(r, 255);
        EXPECT_EQ(g, 0);
    }
    for (const char* bad : {"rgb(256, 0, 0)", "rgb(-1, 0, 0)", "rgb(1, 2)", "rgbx(1,2,3)"}) {
        ScopedText t(bad);
        r = 9;
        EXPECT_FALSE(IOTXT_ReadRgb(&r, &g, &b)) << bad;
        EXPECT_EQ(r, 9);
    }
    double deg;
    EXPECT_TRUE(Read("ra(6, 30, 0)", IOTXT_ReadRightAscension, &deg));
    EXPECT_DOUBLE_EQ(deg, 97.5);
    const struct { const char* text; double deg; } decs[] = {
        {"dec(-10, 30, 0)", -10.5}, {"dec(0, -30, 0)", -0.5}, {"dec(10, -30, -36)", 10.51}, {"dec(0, 30, 0)", 0.5}};
    for (auto& d : decs) {
        EXPECT_TRUE(Read(d.text, IOTXT_ReadDeclination, &deg));
        EXPECT_NEAR(deg, d.deg, 1e-12) << d.text;
    }
}

TEST(IotxtValues, UnitsAndSpeedRatios)
{
    const struct { const char* text; double value; bool mass; } good[] = {
        {"2.5 km", 2500, false}, {"3 mm", 0.003, false}, {"7 M", 7, false}, {"3 dkg", 0.03, true},
        {"1 t", 1000, true}, {"5 g", 0.005, true}};
    double v;
    for (auto& g : good) {
        EXPECT_TRUE(Read(g.text, g.mass ? IOTXT_ReadMass : IOTXT_ReadLength, &v)) << g.text;
        EXPECT_NEAR(v, g.value, 1e-12) << g.text;
    }
    for (const char* bad : {"2.5", "2.5 miles", "2.5 kmh"}) EXPECT_FALSE(Read(bad, IOTXT_ReadLength, &v)) << bad;
    const struct { const char* text; double ratio; } ratios[] = {
        {"10 model minutes in 1 real second", 600}, {"1 model hour in 2 real minutes", 30},
        {"1 MODEL second IN 1 REAL seconds", 1}};
    for (auto& r : ratios) {
        EXPECT_TRUE(Read(r.text, IOTXT_ReadSpeedRatio, &v)) << r.text;
        EXPECT_DOUBLE_EQ(v, r.ratio);
    }
    for (const char* bad : {"1 model hour in 0 real seconds", "1 model days in 1 real second", "1 model hour in 1"})
        EXPECT_FALSE(Read(bad, IOTXT_ReadSpeedRatio, &v)) << bad;
}

TEST(IotxtValues, YesNoWords)
{
    const struct { const char* text; uint32_t value; } words[] = {
        {"on", 1}, {"False", 0}, {"ANO", 1}, {"ne ; c", 0}, {"yes", 1}, {"OFF", 0}};
    for (auto& w : words) {
        uint32_t v = 9;
        EXPECT_TRUE(Read(w.text, IOTXT_ReadBool, &v)) << w.text;
        EXPECT_EQ(v, w.value);
    }
    uint32_t v = 9;
    EXPECT_FALSE(Read("ONE", IOTXT_ReadBool, &v));
    EXPECT_EQ(v, 9u);
}

TEST(IotxtValues, QuotedTextsAndIdentifiers)
{
    EXPECT_EQ(Quoted("  \"abc\" x"), "abc");
    EXPECT_EQ(Quoted("\"a\\\"b\" c\""), "a\\\"b");   // backslash kept, quote does not close
    EXPECT_EQ(Quoted("\"tab\\t\\\\\""), "tab\\t\\\\");
    EXPECT_EQ(Quoted("\"open to the end\r\n"), "open to the end");
    EXPECT_EQ(Quoted("\"ends in backslash\\"), "<null>");
    EXPECT_EQ(Quoted("abc"), "<null>");
    ScopedText t("  _name2x = 1");
    char* id = IOTXT_ReadIdent();
    ASSERT_NE(id, nullptr);
    EXPECT_STREQ(id, "_name2x");
    POOL_Free(id);
    EXPECT_EQ(t.Rest(), " = 1");
    id = IOTXT_IdentFromString("  Abc-d");
    EXPECT_STREQ(id, "Abc");
    POOL_Free(id);
    EXPECT_EQ(IOTXT_IdentFromString("9abc"), nullptr);
}

TEST(IotxtValues, GenericValues)
{
    // Type 0 marks a text that is no value.
    const struct { const char* text; uint32_t type; int64_t integer; const char* rest; } cases[] = {
        {"7", IOTXT_TYPE_INT64, 7, ""}, {"12abc", IOTXT_TYPE_INT64, 12, "abc"}, {"7.", IOTXT_TYPE_DOUBLE, 0, ""},
        {"1e3", IOTXT_TYPE_DOUBLE, 0, ""}, {"-.5", IOTXT_TYPE_DOUBLE, 0, ""}, {"\"abc\"", IOTXT_TYPE_STRING, 0, ""},
        {"word", 0, 0, ""}, {"99999999999999999999", 0, 0, ""}};
    for (const auto& c : cases) {
        ScopedText t(c.text);
        uint32_t type = 99;
        int64_t i = 0;
        double d = 0;
        char* s = nullptr;
        ASSERT_EQ(IOTXT_ReadGenericValue(&type, &i, &d, &s), c.type ? 1u : 0u) << c.text;
        if (!c.type) continue;
        EXPECT_EQ(type, c.type) << c.text;
        EXPECT_EQ(t.Rest(), c.rest) << c.text;
        if (type == IOTXT_TYPE_INT64) {
            EXPECT_EQ(i, c.integer) << c.text;
        }
        if (type == IOTXT_TYPE_STRING) {
            EXPECT_STREQ(s, "abc");
        }
        POOL_Free(s);
    }
}

TEST(IotxtValues, ListsAndRestOfLine)
{
    double values[3];
    {
        ScopedText t("1, 2.5 ,-3");
        EXPECT_TRUE(IOTXT_ReadDoubleList(values, 3));
        EXPECT_EQ(values[2], -3);
    }
    {
        ScopedText t("1, 2");
        EXPECT_FALSE(IOTXT_ReadDoubleList(values, 3));
    }
    ScopedText t("value with ; comment \t \r\n");
    char* rest = IOTXT_ReadRestOfLine();
    EXPECT_STREQ(rest, "value with ; comment");
    POOL_Free(rest);
    ScopedText u("   \n");
    rest = IOTXT_ReadRestOfLine();
    EXPECT_STREQ(rest, "");
    POOL_Free(rest);
}
