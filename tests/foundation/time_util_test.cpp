#include <gtest/gtest.h>
#include <cstring>
#include <filesystem>
#include <string>
#include <thread>
#include "foundation/memory.h"
#include "foundation/pool.h"
#include "foundation/time.h"
#include "foundation/util.h"
#include "tests/support/test_support.h"

using testsupport::Date;

namespace {

std::string Format(const SYSTEMTIME& st)
{
    char buffer[64];
    TIME_FormatSystemTimeMs(buffer, &st);
    return buffer;
}

}  // namespace

TEST(Time, EpochAndKnownInstants)
{
    // The epoch of the scale and 1970-01-01, 11644473600 s after it.
    SYSTEMTIME epoch = Date(1601, 1, 1), unix0 = Date(1970, 1, 1), st = Date(2006, 1, 1), back;
    EXPECT_EQ(TIME_SystemTimeToMs(&epoch), 0);
    EXPECT_EQ(TIME_SystemTimeToMs(&unix0), 11644473600000LL);
    TIME_MS ms = TIME_SystemTimeToMs(&st);
    ASSERT_TRUE(TIME_MsToSystemTime(ms + 864000000, &back));
    EXPECT_EQ(Format(back), "11.01.2006 00:00:00.000");
    EXPECT_EQ(std::string(TIME_FormatMs(ms)), "01.01.2006 00:00:00.000");
}

TEST(Time, RoundTripOverLeapYearsAndCenturies)
{
    const int years[] = {1601, 1700, 1900, 2000, 2004, 2100, 2400, 30827};
    for (int y : years) {
        for (int month = 1; month <= 12; month++) {
            int last = TIME_DaysInMonth(y, month);
            for (int day : {1, last}) {
                SYSTEMTIME st = Date(y, month, day, 23, 59, 59, 999), back;
                ASSERT_TRUE(TIME_MsToSystemTime(TIME_SystemTimeToMs(&st), &back));
                EXPECT_EQ(Format(back), Format(st));
            }
        }
    }
    EXPECT_EQ(TIME_DaysInMonth(2100, 2), 28);
    EXPECT_EQ(TIME_DaysInMonth(2000, 2), 29);
    // Consecutive days are 86400000 ms apart across 28 February and 29 February.
    SYSTEMTIME feb28 = Date(2000, 2, 28), mar1 = Date(2000, 3, 1);
    EXPECT_EQ(TIME_SystemTimeToMs(&mar1) - TIME_SystemTimeToMs(&feb28), 2 * 86400000LL);
}

TEST(Time, InvalidInputsNeverLeaveGarbage)
{
    SYSTEMTIME st;
    memset(&st, 0x5A, sizeof st);
    EXPECT_FALSE(TIME_MsToSystemTime(-1, &st));
    EXPECT_EQ(st.wYear, 0);
    EXPECT_EQ(st.wMonth, 0);
    memset(&st, 0x5A, sizeof st);
    EXPECT_FALSE(TIME_MsToSystemTime(INT64_MAX, &st));
    EXPECT_EQ(st.wDay, 0);
    SYSTEMTIME feb30 = Date(2006, 2, 30);
    EXPECT_FALSE(TIME_IsValidSystemTime(&feb30));
    EXPECT_EQ(TIME_SystemTimeToMs(&feb30), 0);
    memset(&st, 0x5A, sizeof st);
    EXPECT_FALSE(TIME_JulianDateToSystemTime(0.0, &st));
    EXPECT_EQ(st.wHour, 0);
    EXPECT_EQ(TIME_SystemTimeToJulianDate(nullptr), 0.0);
}

TEST(Time, JulianDatesOfKnownEpochs)
{
    const struct { double jd; const char* text; SYSTEMTIME date; } cases[] = {
        {2451545.0, "01.01.2000 12:00:00.000", Date(2000, 1, 1, 12)},
        {2440587.5, "01.01.1970 00:00:00.000", Date(1970, 1, 1)},
        {2305813.5, "01.01.1601 00:00:00.000", Date(1601, 1, 1)},   // the epoch of the scale
        {2451545.75, "02.01.2000 06:00:00.000", Date(2000, 1, 2, 6)}};
    for (const auto& c : cases) {
        SYSTEMTIME st;
        ASSERT_TRUE(TIME_JulianDateToSystemTime(c.jd, &st)) << c.text;
        EXPECT_EQ(Format(st), c.text);
        EXPECT_EQ(TIME_SystemTimeToJulianDate(&c.date), c.jd) << c.text;
    }
}

TEST(Util, RandomSequenceAndConcurrentUse)
{
    UTIL_SetRandomState(0);
    EXPECT_EQ(UTIL_Random(), 2531011u);
    EXPECT_EQ(UTIL_Random(), 505908858u);
    EXPECT_EQ(UTIL_SetRandomState(7), 505908858u);
    EXPECT_EQ(UTIL_GetRandomState(), 7u);

    // Two threads drawing concurrently advance the generator by the sum of
    // their draws: no step is lost.
    UTIL_SetRandomState(1);
    auto draw = [] { for (int i = 0; i < 100000; i++) UTIL_Random(); };
    std::thread t1(draw), t2(draw);
    t1.join();
    t2.join();
    uint32_t expected = 1;
    for (int i = 0; i < 200000; i++) expected = expected * 214013u + 2531011u;
    EXPECT_EQ(UTIL_GetRandomState(), expected);
}

TEST(Util, DayOfYearUsesGregorianRule)
{
    const struct { int year, month, day; uint32_t expected; } days[] = {
        {2005, 3, 1, 59}, {2004, 3, 1, 60}, {2000, 3, 1, 60}, {2100, 3, 1, 59}, {2006, 1, 1, 0}};
    for (const auto& d : days) {
        SYSTEMTIME st = Date(d.year, d.month, d.day);
        EXPECT_EQ(UTIL_DayOfYear(&st), d.expected) << d.year;
    }
}

TEST(Util, DurationTexts)
{
    EXPECT_STREQ(UTIL_FormatDuration(90061001), "1dní,1hodin,1minut,1sekund,1milisekund");
    EXPECT_STREQ(UTIL_FormatDuration(86400000), "24hodin,0milisekund");
    EXPECT_STREQ(UTIL_FormatDuration(1000), "1000milisekund");
    EXPECT_STREQ(UTIL_FormatDuration(-5), "-5milisekund");
}

TEST(Util, Strings)
{
    char* copy = UTIL_DupUnquoted("  \"Hello world\" \t");
    ASSERT_NE(copy, nullptr);
    EXPECT_STREQ(copy, "Hello world");
    POOL_Free(copy);
    EXPECT_EQ(UTIL_StrDup(nullptr), nullptr);
}

TEST(Util, JoinPathRefusesWhatDoesNotFit)
{
    char small[8];
    memset(small, 'x', sizeof small);
    std::string name(200, 'a');
    EXPECT_FALSE(UTIL_JoinPath(name.c_str(), small, sizeof small));
    for (char c : small) EXPECT_EQ(c, 'x');   // nothing written past the check
    char buffer[1000];
    std::string expected = std::string(MEMORY_ProgramDirectory()) + "/ab";
    ASSERT_TRUE(UTIL_JoinPath("ab", buffer, expected.size() + 1));
    EXPECT_EQ(std::string(buffer), expected);
    EXPECT_FALSE(UTIL_JoinPath("ab", buffer, expected.size()));
}

TEST(Util, ResolvePathBackslashesAndLetterCase)
{
    std::string dir = testsupport::MakeTempDir("resolve");
    std::filesystem::create_directories(dir + "/Sub");
    testsupport::WriteFile(dir + "/Sub/Data.TXT", "x");
    char out[1000];
    ASSERT_TRUE(UTIL_ResolvePath((dir + "\\sub\\data.txt").c_str(), out, sizeof out));
    EXPECT_EQ(std::string(out), dir + "/Sub/Data.TXT");
    EXPECT_TRUE(UTIL_FileExists((dir + "\\SUB\\DATA.txt").c_str()));
    EXPECT_FALSE(UTIL_FileExists((dir + "/Sub/missing.txt").c_str()));
    ASSERT_TRUE(UTIL_ResolvePath((dir + "/sub/new.txt").c_str(), out, sizeof out));
    EXPECT_EQ(std::string(out), dir + "/Sub/new.txt");   // a file to be created lands in the existing folder
}
