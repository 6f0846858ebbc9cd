#include <gtest/gtest.h>
#include <fcntl.h>
#include <unistd.h>
#include <cerrno>
#include <csignal>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>
#include <sys/resource.h>
#include "foundation/log.h"
#include "platform/plat_backend.h"
#include "platform/plat_process.h"
#include "platform/plat_thread.h"
#include "platform/plat_text.h"
#include "platform/plat_time.h"
#include "platform/plat_window.h"
#include "tests/support/test_support.h"
#include "tests/support/watchdog.h"

namespace {

class LogTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        oldDir_ = std::filesystem::current_path();
        std::filesystem::current_path(testsupport::MakeTempDir("log"));
        PLAT_ResetWindows();
        listBox_ = PLAT_CreateWindow("listbox", "", 0, 0, 0, 100, 100, 0, 1000, nullptr);
        LOG_Init();
        LOG_SetClock(&clock_);
        LOG_SetListBox(listBox_);
        // Start each test on a fresh line of the list box.
        LOG_SetOutput(1);
        LOG_Printf("\n");
        PLAT_SendMessage(listBox_, LB_RESETCONTENT, 0, 0);
        LOG_SetOutput(0);
    }
    void TearDown() override
    {
        LOG_SetListBox(0);
        LOG_SetClock(nullptr);
        PLAT_ResetWindows();
        std::filesystem::current_path(oldDir_);
    }
    int Count() { return static_cast<int>(PLAT_SendMessage(listBox_, LB_GETCOUNT, 0, 0)); }
    std::string Line(int i)
    {
        char buffer[4000];
        if (PLAT_SendMessage(listBox_, LB_GETTEXT, i, reinterpret_cast<LPARAM>(buffer)) < 0)
            return "<none>";
        return buffer;
    }
    std::string File() { return testsupport::ReadFile("Zendrix.log"); }

    std::filesystem::path oldDir_;
    HWND listBox_ = 0;
    int64_t clock_ = 0;
};

TEST_F(LogTest, UnfinishedMessagesJoinOneListBoxLine)
{
    LOG_Printf("A");
    LOG_Printf("B\n");
    LOG_Printf("C\n");
    ASSERT_EQ(Count(), 2);
    EXPECT_EQ(Line(0), "AB");
    EXPECT_EQ(Line(1), "C");
    EXPECT_EQ(File(), "AB\nC\n");
    // An empty message opens an empty line that the next message fills.
    LOG_Printf("%s", "");
    EXPECT_EQ(Count(), 3);
    EXPECT_EQ(Line(2), "");
    LOG_Printf("D\n");
    EXPECT_EQ(Count(), 3);
    EXPECT_EQ(Line(2), "D");
}

std::string g_echoed;
uint32_t Echo(const char* text)
{
    g_echoed += text;
    return 1;
}

// A join too long for the list box stays only in the file. The echo receives
// every text of the file: that join, messages while no list box exists,
// LOG_WriteFile texts and alerts, which also go to standard error in UTF-8.
TEST_F(LogTest, TooLongJoinAndEchoOfTheWholeLogAndAlerts)
{
    g_echoed.clear();
    LOG_SetEcho(Echo);
    std::string longText(390, 'x');
    LOG_Printf("start");
    LOG_Printf("%s\n", longText.c_str());
    ASSERT_EQ(Count(), 1);
    EXPECT_EQ(Line(0), "start");
    EXPECT_EQ(File(), "start" + longText + "\n");
    LOG_Printf("next\n");
    EXPECT_EQ(Line(1), "next");
    LOG_SetListBox(0);
    LOG_Printf("no run\n");
    LOG_WriteFile("file %d\n", 7);
    testing::internal::CaptureStderr();
    LOG_Alert("ztráta %s\n", "dat");
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "ztr\xC3\xA1ta dat\n");
    LOG_SetEcho(nullptr);
    LOG_Printf("not echoed\n");
    EXPECT_EQ(File(), g_echoed + "not echoed\n");
    EXPECT_NE(g_echoed.find("file 7\nztr\xE1ta dat\n"), std::string::npos) << g_echoed;
}

int g_failedEchoes = 0;
uint32_t FailingEcho(const char*)
{
    ++g_failedEchoes;
    errno = EPIPE;
    return 0;
}

// A copy to the terminal that fails (a closed pipe) is dropped after its first
// failure, said once on standard error and in the file, on a line of its own
// once the line open at the failure has ended; the file keeps every message
// and nothing counts as lost.
TEST_F(LogTest, AFailedEchoIsDroppedAndSaidOnce)
{
    g_failedEchoes = 0;
    LOG_SetEcho(FailingEcho);
    testing::internal::CaptureStderr();
    LOG_Printf("open ");
    LOG_Printf("a\n");
    LOG_Printf("b\n");
    LOG_WriteFile("c\n");
    std::string said = "LOG: výpis logu na standardní výstup selhal (Broken pipe), log se dál zapisuje jen do "
                       "souboru \"Zendrix.log\".\n";
    EXPECT_EQ(testing::internal::GetCapturedStderr(), PLAT_Cp1250ToUtf8(said.c_str()));
    LOG_SetEcho(nullptr);
    EXPECT_EQ(g_failedEchoes, 1);
    EXPECT_EQ(File(), "open a\n" + said + "b\nc\n");
    // A notice still waiting at the end ends the file on a line of its own.
    LOG_Init();
    LOG_SetEcho(FailingEcho);
    testing::internal::CaptureStderr();
    LOG_Printf("open");
    testing::internal::GetCapturedStderr();
    LOG_SetEcho(nullptr);
    LOG_Done();
    EXPECT_EQ(File(), "open\n" + said);
    EXPECT_EQ(LOG_FileFailed(), 0u);
}

// Whether a thread of /proc/<which> ("self": any thread of this process,
// "self/task/<id>": that thread) waits in the kernel to write into a pipe.
bool WaitsOnAPipe(const std::string& which)
{
    std::string tasks = "/proc/" + which + "/task";
    if (!std::filesystem::exists(tasks))
        return testsupport::ReadFile("/proc/" + which + "/wchan").find("pipe") != std::string::npos;
    for (const auto& task : std::filesystem::directory_iterator(tasks))
        if (testsupport::ReadFile(task.path().string() + "/wchan").find("pipe") != std::string::npos)
            return true;
    return false;
}

// Fills the pipe to the last byte through its write end.
void FillPipe(int writeEnd)
{
    int flags = fcntl(writeEnd, F_GETFL);
    fcntl(writeEnd, F_SETFL, flags | O_NONBLOCK);
    char block[512] = {};
    while (write(writeEnd, block, sizeof block) > 0) {}
    fcntl(writeEnd, F_SETFL, flags);
}

// Standard output a pipe that nobody reads, and full: another thread (the
// render thread) blocks writing its text's copy. The GUI thread's copy does
// not wait for that thread: it blocks in its own write, and a stop signal
// ends both writes. The copy is dropped, said once; the file has every text.
TEST_F(LogTest, AThreadBlockedWritingTheCopyHoldsUpNoOtherAndAStopEndsEach)
{
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    fcntl(fds[1], F_SETPIPE_SZ, 4096);
    FillPipe(fds[1]);
    fflush(stdout);
    int terminal = dup(1);
    dup2(fds[1], 1);
    LOG_SetEcho(PLAT_EchoLog);
    PLAT_InstallStopSignals();   // before any thread starts: they take the stop signals from nobody
    testsupport::Watchdog watchdog(10);
    testing::internal::CaptureStderr();
    PLAT_THREAD* render = PLAT_CreateThread(
        [](void*) -> uint32_t {
            LOG_WriteFile("render\n");
            return 1;
        },
        nullptr);
    for (int i = 0; i < 2000 && !WaitsOnAPipe("self"); ++i)
        PLAT_Sleep(1);
    // The GUI thread waits for the pipe itself (a signal breaks that wait),
    // not for a lock that the blocked thread holds.
    std::string gui = "self/task/" + std::to_string(gettid());
    bool guiOnThePipe = false;
    std::thread stop([&gui, &guiOnThePipe] {
        for (int i = 0; i < 2000 && !guiOnThePipe; ++i, PLAT_Sleep(1))
            guiOnThePipe = WaitsOnAPipe(gui);
        kill(getpid(), SIGTERM);
    });
    LOG_Printf("gui\n");
    stop.join();
    EXPECT_TRUE(guiOnThePipe);
    EXPECT_EQ(PLAT_JoinThread(render, 5000), 1u);
    PLAT_EndStopSignals();
    std::string said = testing::internal::GetCapturedStderr();
    LOG_SetEcho(nullptr);
    dup2(terminal, 1);
    close(terminal);
    close(fds[0]);
    close(fds[1]);
    std::string loss = "LOG: výpis logu na standardní výstup selhal (Interrupted system call), log se dál zapisuje "
                       "jen do souboru \"Zendrix.log\".\n";
    EXPECT_EQ(said, PLAT_Cp1250ToUtf8(loss.c_str()));
    std::string file = File();
    for (const std::string& text : {std::string("render\n"), std::string("gui\n"), loss})
        EXPECT_NE(file.find(text), std::string::npos) << text << " in " << file;
}

// "Zendrix.log" that cannot be opened (a folder of that name) or written (a
// full device) is named once on standard error with the reason; LOG_Init
// starts afresh.
TEST_F(LogTest, ALogFileThatCannotBeWrittenIsSaidOnceWithItsReason)
{
    std::filesystem::remove("Zendrix.log");
    std::filesystem::create_directory("Zendrix.log");
    testing::internal::CaptureStderr();
    LOG_Init();
    LOG_Printf("lost\n");
    LOG_WriteFile("lost too\n");
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              PLAT_Cp1250ToUtf8("LOG: do souboru logu \"Zendrix.log\" nelze zapisovat (Is a directory), zprávy se "
                                "ztrácejí.\n"));
    EXPECT_EQ(LOG_FileFailed(), 1u);
    std::filesystem::remove("Zendrix.log");
    if (std::filesystem::exists("/dev/full")) {
        std::filesystem::create_symlink("/dev/full", "Zendrix.log");
        testing::internal::CaptureStderr();
        LOG_Init();
        EXPECT_EQ(LOG_FileFailed(), 0u);
        LOG_Printf("lost\n");
        LOG_Printf("lost again\n");
        EXPECT_EQ(testing::internal::GetCapturedStderr(),
                  PLAT_Cp1250ToUtf8("LOG: do souboru logu \"Zendrix.log\" nelze zapisovat (No space left on device), "
                                    "zprávy se ztrácejí.\n"));
        EXPECT_EQ(LOG_FileFailed(), 1u);
        std::filesystem::remove("Zendrix.log");
    }
    LOG_Init();
    LOG_Printf("kept\n");
    EXPECT_EQ(File(), "kept\n");
    EXPECT_EQ(LOG_FileFailed(), 0u);
}

// A file size limit: the message that does not fit is cut back off with the
// start of its line, and no later message goes in, though a shorter one would
// fit: the file keeps the messages up to the first one lost, whole lines only.
TEST_F(LogTest, AMessagePastTheFileSizeLimitIsCutBackAndEndsTheFile)
{
    const std::string first = std::string(59, 'a') + "\n";
    rlimit old{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old), 0);
    rlimit small = old;
    small.rlim_cur = 100;
    auto oldHandler = signal(SIGXFSZ, SIG_IGN);
    testing::internal::CaptureStderr();
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    LOG_WriteFile("%s", first.c_str());
    LOG_WriteFile("line begun, ");
    LOG_WriteFile("%s\n", std::string(59, 'b').c_str());   // 28 of its 60 bytes fit
    LOG_WriteFile("short\n");
    setrlimit(RLIMIT_FSIZE, &old);
    signal(SIGXFSZ, oldHandler);
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              PLAT_Cp1250ToUtf8("LOG: do souboru logu \"Zendrix.log\" nelze zapisovat (File too large), zprávy se "
                                "ztrácejí.\n"));
    EXPECT_EQ(File(), first);
    EXPECT_EQ(LOG_FileFailed(), 1u);
}

TEST_F(LogTest, ListBoxKeepsAtMost501Lines)
{
    for (int i = 0; i < 600; ++i)
        LOG_Printf("line %d\n", i);
    EXPECT_EQ(Count(), 501);
    EXPECT_EQ(Line(0), "line 99");
    EXPECT_EQ(Line(500), "line 599");
    EXPECT_EQ(PLAT_SendMessage(listBox_, LB_GETCURSEL, 0, 0), 500);
}

TEST_F(LogTest, StampAppliesToTheNextMessageOnly)
{
    SYSTEMTIME st{2006, 1, 0, 1, 0, 0, 0, 0};
    int64_t fileTime;
    ASSERT_TRUE(PLAT_SystemTimeToFileTime(&st, &fileTime));
    clock_ = fileTime / 10000 + 3723004;   // 01:02:03.004
    LOG_StampNext();
    LOG_Printf("X\n");
    LOG_Printf("Y\n");
    EXPECT_EQ(File(), "01.01.2006 01:02:03.004: X\nY\n");
    EXPECT_EQ(Line(0), "01.01.2006 01:02:03.004: X");
}

TEST_F(LogTest, StartFilterAndOutputModes)
{
    clock_ = 1000;
    LOG_SetStartTime(2000);
    LOG_StampNext();
    LOG_Printf("hidden\n");
    LOG_ClearStartTime();
    LOG_Printf("shown\n");   // the stamp request survived the suppressed message
    LOG_SetOutput(2);
    LOG_Printf("file only\n");
    LOG_SetOutput(1);
    LOG_Printf("box only\n");
    std::string file = File();
    EXPECT_EQ(file.find("hidden"), std::string::npos);
    EXPECT_NE(file.find(": shown\n"), std::string::npos);
    EXPECT_NE(file.find("file only\n"), std::string::npos);
    EXPECT_EQ(file.find("box only"), std::string::npos);
    ASSERT_EQ(Count(), 2);
    EXPECT_EQ(Line(1), "box only");
}

TEST_F(LogTest, OverlongMessageIsCutToTheBuffer)
{
    std::string huge(10000, 'z');
    LOG_StampNext();
    LOG_Printf("%s", huge.c_str());
    EXPECT_EQ(File().size(), 3999u);
    LOG_Printf("%s", huge.c_str());
    EXPECT_EQ(File().size(), 3999u * 2);
}

// A line too long for the room is cut, but still ends its line, with and
// without the time stamp, so that the next message starts a line of its own.
TEST_F(LogTest, OverlongLineKeepsItsLineEnd)
{
    std::string huge(10000, 'z');
    LOG_StampNext();
    LOG_Printf("%s\n", huge.c_str());
    LOG_Printf("%s\n", huge.c_str());
    LOG_Printf("next\n");
    std::string file = File();
    ASSERT_EQ(file.size(), 3999u * 2 + 5);
    EXPECT_EQ(file.substr(0, 25), "01.01.1601 00:00:00.000: ");
    EXPECT_EQ(file[3998], '\n');
    EXPECT_EQ(file[3999 * 2 - 1], '\n');
    EXPECT_EQ(file.substr(3999 * 2), "next\n");

    char buffer[8];
    auto cut = [&buffer](const char* format, ...) {
        va_list ap;
        va_start(ap, format);
        LOG_FormatCut(buffer, sizeof buffer, format, ap);
        va_end(ap);
        return std::string(buffer);
    };
    EXPECT_EQ(cut("%s\n", "abcdefghij"), "abcdef\n");
    EXPECT_EQ(cut("%s", "abcdefghij"), "abcdefg");
    EXPECT_EQ(cut("%s\n", "abc"), "abc\n");
}

TEST_F(LogTest, WriteFileFromManyThreadsKeepsWholeLines)
{
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([t] {
            for (int i = 0; i < 100; ++i)
                LOG_WriteFile("thread %d line %d\n", t, i);
        });
    for (auto& th : threads)
        th.join();
    std::string file = File();
    size_t lines = 0;
    for (char c : file)
        lines += c == '\n';
    EXPECT_EQ(lines, 400u);
    EXPECT_NE(file.find("thread 3 line 99\n"), std::string::npos);
}

TEST(LogFormat, DoubleAndInvalidValues)
{
    char buffer[64];
    double v = 1.5;
    EXPECT_EQ(LOG_FormatDouble(&v, buffer), 8);
    EXPECT_STREQ(buffer, "1.500000");
    for (double invalid : {0.0, std::nan("")}) {
        LOG_FormatDouble(&invalid, buffer);
        EXPECT_STREQ(buffer, "<INVALID>");
    }
}

}
