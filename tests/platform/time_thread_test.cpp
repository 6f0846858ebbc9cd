#include <gtest/gtest.h>
#include <atomic>
#include <filesystem>
#include <string>
#include <unistd.h>
#include "platform/plat_process.h"
#include "platform/plat_text.h"
#include "platform/plat_thread.h"
#include "platform/plat_time.h"
#include "tests/support/test_support.h"

namespace {

TEST(PlatTime, FileTimesOfCalendarDates)
{
    SYSTEMTIME st{2006, 1, 0, 1, 0, 0, 0, 0};
    int64_t ft = 0;
    ASSERT_TRUE(PLAT_SystemTimeToFileTime(&st, &ft));
    EXPECT_EQ(ft / 10000, 12780547200000LL);   // 2006-01-01 in ms since 1601
    SYSTEMTIME back{};
    ASSERT_TRUE(PLAT_FileTimeToSystemTime(ft + 864000000LL * 10000, &back));
    EXPECT_EQ(back.wYear, 2006);
    EXPECT_EQ(back.wMonth, 1);
    EXPECT_EQ(back.wDay, 11);
    SYSTEMTIME leap{2004, 2, 0, 29, 23, 59, 59, 999};
    ASSERT_TRUE(PLAT_SystemTimeToFileTime(&leap, &ft));
    ASSERT_TRUE(PLAT_FileTimeToSystemTime(ft, &back));
    EXPECT_EQ(back.wDay, 29);
    EXPECT_EQ(back.wMilliseconds, 999);
    SYSTEMTIME bad{2005, 2, 0, 29, 0, 0, 0, 0};
    EXPECT_FALSE(PLAT_SystemTimeToFileTime(&bad, &ft));
    EXPECT_FALSE(PLAT_FileTimeToSystemTime(-1, &back));
}

TEST(PlatTime, VirtualCounterMovesOnlyWhenAdvanced)
{
    PLAT_SetVirtualTime(1);
    EXPECT_EQ(PLAT_GetTickCount(), 0u);
    PLAT_Sleep(5);
    EXPECT_EQ(PLAT_GetTickCount(), 0u);
    PLAT_AdvanceVirtualTime(20);
    EXPECT_EQ(PLAT_GetTickCount(), 20u);
    PLAT_SetVirtualTime(0);
    uint32_t a = PLAT_GetTickCount();
    PLAT_Sleep(15);
    EXPECT_GE(PLAT_GetTickCount() - a, 14u);
}

std::atomic<uint32_t> g_stop{0};

uint32_t PollingThread(void*)
{
    while (!g_stop.load())
        PLAT_Sleep(1);
    return 1;
}

TEST(PlatThread, JoinsWithinGraceOrDetaches)
{
    g_stop = 0;
    PLAT_THREAD* t = PLAT_CreateThread(PollingThread, nullptr);
    ASSERT_NE(t, nullptr);
    EXPECT_TRUE(PLAT_IsThreadRunning(t));
    // Not stopped: the join gives up after its grace and detaches.
    EXPECT_FALSE(PLAT_JoinThread(t, 30));
    g_stop = 1;
    PLAT_Sleep(20);
    g_stop = 0;
    t = PLAT_CreateThread(PollingThread, nullptr);
    g_stop = 1;
    EXPECT_TRUE(PLAT_JoinThread(t, 500));
}

TEST(PlatThread, LocksAreReentrantAndCountersAtomic)
{
    PLAT_LOCK lock;
    {
        PLAT_LockGuard outer(&lock);
        PLAT_LockGuard inner(&lock);
    }
    PLAT_COUNTER counter{0};
    EXPECT_EQ(PLAT_InterlockedIncrement(&counter), 1);
    EXPECT_EQ(PLAT_InterlockedAdd(&counter, -3), -2);
    EXPECT_EQ(PLAT_InterlockedExchange(&counter, 0), -2);
    EXPECT_EQ(PLAT_InterlockedDecrement(&counter), -1);
}

TEST(PlatProcess, LinkInAScenarioFolderIsTheProgramPath)
{
    std::string dir = testsupport::MakeTempDir("progdir");
    std::string link = dir + "/orbit";
    ASSERT_EQ(symlink("/bin/true", link.c_str()), 0);
    PLAT_Init(link.c_str());
    char buffer[4096];
    PLAT_GetProgramPath(buffer, sizeof buffer);
    EXPECT_EQ(std::string(buffer), std::filesystem::canonical(dir).string() + "/orbit");
    char small[8];
    EXPECT_EQ(PLAT_GetProgramPath(small, sizeof small), 7u);
    PLAT_Init("orbit");   // started through PATH
    PLAT_GetProgramPath(buffer, sizeof buffer);
    EXPECT_EQ(std::string(buffer), std::filesystem::canonical("/proc/self/exe").string());
}

TEST(PlatText, Cp1250ToUtf8)
{
    EXPECT_EQ(PLAT_Cp1250ToUtf8("\x8A\xE8\xEC\x80 a"), "\xC5\xA0\xC4\x8D\xC4\x9B\xE2\x82\xAC a");
    EXPECT_EQ(PLAT_Cp1250ToUtf8("\x81"), "\xEF\xBF\xBD");
}

}
