// The layer's output files: the write routine's rule after a stop, a thread
// denied file output, the signal thread's end, and what a file cut short
// leaves behind a symbolic link.
#include <gtest/gtest.h>
#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <string>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>
#include "platform/plat_file.h"
#include "platform/plat_jpeg.h"
#include "platform/plat_movie.h"
#include "platform/plat_process.h"
#include "platform/plat_thread.h"
#include "platform/plat_time.h"
#include "platform/plat_window.h"
#include "tests/support/test_support.h"
#include "tests/support/watchdog.h"

namespace {

// A stop as a user's Ctrl+C gives it; the F10 it posts is taken off the
// queue so that no later test finds it.
void Stop()
{
    kill(getpid(), SIGINT);
    MSG msg;
    ASSERT_TRUE(PLAT_GetMessage(&msg));
    ASSERT_EQ(msg.message, static_cast<uint32_t>(WM_SYSKEYDOWN));
    ASSERT_EQ(PLAT_StopRequested(), 1u);
}

// After a stop the GUI thread is interrupted every 50 ms. A reader that takes
// a little every 150 ms, for longer than the stop's grace, still gets every
// byte; a reader that takes nothing is given up after the grace (the bound
// here is only against a hang).
TEST(WriteAfterAStop, ASlowReaderGetsEveryByteAndADeadOneIsCut)
{
    PLAT_InstallStopSignals();   // before any thread starts: none takes the stop signal but the layer's
    testsupport::Watchdog watchdog(60);
    Stop();
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    fcntl(fds[1], F_SETPIPE_SZ, 4096);
    std::string text(48 * 1024, 'x');
    for (size_t i = 0; i < text.size(); i += 97) text[i] = static_cast<char>('a' + i % 26);
    std::string got;
    std::thread reader([&got, fd = fds[0]] {
        char block[4096];
        for (;;) {
            std::this_thread::sleep_for(std::chrono::milliseconds(150));
            ssize_t n = read(fd, block, sizeof block);
            if (n <= 0) return;
            got.append(block, static_cast<size_t>(n));
        }
    });
    int32_t error = 0;
    EXPECT_EQ(PLAT_WriteAll(fds[1], text.data(), text.size(), &error), 1u) << strerror(error);
    close(fds[1]);
    reader.join();
    close(fds[0]);
    EXPECT_TRUE(got == text) << got.size() << " of " << text.size() << " bytes";

    ASSERT_EQ(pipe(fds), 0);
    fcntl(fds[1], F_SETPIPE_SZ, 4096);
    EXPECT_EQ(PLAT_WriteAll(fds[1], text.data(), text.size(), &error), 0u);
    EXPECT_EQ(error, EINTR);
    close(fds[0]);
    close(fds[1]);
    PLAT_EndStopSignals();
}

// A thread denied file output creates no file and writes no byte, also to a
// file it opened before; it knows it is denied. Another thread, and the
// thread that denied it, still write.
TEST(DeniedFileOutput, TheThreadCreatesAndWritesNothingAndOthersStillDo)
{
    std::string dir = testsupport::MakeTempDir("denied");
    struct Shared {
        std::string dir;
        int openedBefore = -1;
        std::atomic<uint32_t> denied{0};
        int created = 0;
        int32_t createError = 0;
        uint32_t wrote = 1;
        int32_t writeError = 0;
        uint32_t knows = 0;
        uint32_t jpeg = 1;
        int32_t jpegError = 0;
    } shared;
    shared.dir = dir;
    int32_t error = 0;
    shared.openedBefore = PLAT_CreateOutputFile((dir + "/before.txt").c_str(), &error);
    ASSERT_GE(shared.openedBefore, 0);
    PLAT_THREAD* left = PLAT_CreateThread(
        [](void* p) -> uint32_t {
            Shared* s = static_cast<Shared*>(p);
            while (!s->denied) PLAT_Sleep(1);
            s->knows = PLAT_FileOutputDenied();
            s->created = PLAT_CreateOutputFile((s->dir + "/after.txt").c_str(), &s->createError);
            s->wrote = PLAT_WriteAll(s->openedBefore, "lost", 4, &s->writeError);
            const uint8_t pixels[12] = {};
            s->jpeg = PLAT_WriteJpeg((s->dir + "/after.jpg").c_str(), pixels, 2, 2, 6, 75, &s->jpegError);
            return 1;
        },
        &shared);
    ASSERT_NE(left, nullptr);
    PLAT_DenyFileOutput(left);
    shared.denied = 1;
    EXPECT_EQ(PLAT_JoinThread(left, 10000), 1u);
    EXPECT_EQ(shared.knows, 1u);
    EXPECT_EQ(shared.created, -1);
    EXPECT_EQ(shared.createError, ECANCELED);
    EXPECT_EQ(shared.wrote, 0u);
    EXPECT_EQ(shared.writeError, ECANCELED);
    EXPECT_EQ(shared.jpeg, 0u);
    EXPECT_EQ(shared.jpegError, ECANCELED);
    EXPECT_FALSE(std::filesystem::exists(dir + "/after.txt"));
    EXPECT_FALSE(std::filesystem::exists(dir + "/after.jpg"));
    EXPECT_EQ(std::filesystem::file_size(dir + "/before.txt"), 0u);

    EXPECT_EQ(PLAT_FileOutputDenied(), 0u);
    EXPECT_EQ(PLAT_WriteAll(shared.openedBefore, "kept", 4, &error), 1u);
    EXPECT_EQ(PLAT_CloseOutputFile(shared.openedBefore, &error), 1u);
    PLAT_THREAD* other = PLAT_CreateThread(
        [](void* p) -> uint32_t {
            Shared* s = static_cast<Shared*>(p);
            int32_t e = 0;
            int fd = PLAT_CreateOutputFile((s->dir + "/other.txt").c_str(), &e);
            uint32_t ok = fd >= 0 && PLAT_WriteAll(fd, "other", 5, &e) && PLAT_CloseOutputFile(fd, &e);
            s->knows = PLAT_FileOutputDenied() + (ok ? 0 : 2);
            return 1;
        },
        &shared);
    EXPECT_EQ(PLAT_JoinThread(other, 10000), 1u);
    EXPECT_EQ(shared.knows, 0u);
    EXPECT_EQ(testsupport::ReadFile(dir + "/before.txt"), "kept");
    EXPECT_EQ(testsupport::ReadFile(dir + "/other.txt"), "other");
}

// Runs the body in a child process; its exit status, or -1 when it has not
// ended within a minute (it was killed).
int InChild(void (*body)())
{
    fflush(nullptr);
    pid_t pid = fork();
    if (pid == 0) {
        body();
        _exit(0);
    }
    for (int waited = 0; waited < 60000; waited += 10) {
        int status = 0;
        if (waitpid(pid, &status, WNOHANG) == pid)
            return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
    return -1;
}

// The signal thread ends when the user's queue of signals has no room (a
// queued signal then arrives without its value), and a signal queued from
// outside with any value is a stop like any other, not its end.
TEST(SignalThread, EndsWithNoRoomForQueuedSignalsAndNoQueuedSignalEndsIt)
{
    EXPECT_EQ(InChild([] {
                  rlimit none{0, 0};
                  if (getrlimit(RLIMIT_SIGPENDING, &none) != 0) _exit(2);
                  none.rlim_cur = 0;
                  if (setrlimit(RLIMIT_SIGPENDING, &none) != 0) _exit(2);
                  PLAT_InstallStopSignals();
                  PLAT_EndStopSignals();
              }),
              0);
    EXPECT_EQ(InChild([] {
                  PLAT_InstallStopSignals();
                  for (int value : {0x57A1, 0}) {
                      sigval forged{};
                      forged.sival_int = value;
                      sigqueue(getpid(), SIGTERM, forged);
                      MSG msg;
                      if (!PLAT_GetMessage(&msg) || msg.message != WM_SYSKEYDOWN) _exit(3);
                  }
                  if (!PLAT_StopRequested()) _exit(4);
                  PLAT_EndStopSignals();
              }),
              0);
}

// A movie and a screenshot whose names are symbolic links, past the file size
// limit: the files the links point at do not stay cut.
TEST(CutOutputFiles, NoneIsLeftWhereASymbolicLinkPointed)
{
    std::string dir = testsupport::MakeTempDir("cut-links");
    std::filesystem::create_symlink(dir + "/target.avi", dir + "/m.avi");
    std::filesystem::create_symlink(dir + "/target.jpg", dir + "/s.jpg");
    constexpr int32_t kWidth = 320, kHeight = 240;
    constexpr uint32_t kStride = kWidth * 3;
    std::vector<uint8_t> frame(static_cast<size_t>(kStride) * kHeight);
    uint32_t seed = 12345;
    for (uint8_t& b : frame) b = static_cast<uint8_t>((seed = seed * 1103515245u + 12345u) >> 24);

    void (*previous)(int) = signal(SIGXFSZ, SIG_IGN);
    rlimit before{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &before), 0);
    rlimit limit = before;
    limit.rlim_cur = 65536;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &limit), 0);
    PLAT_MOVIE_SETTINGS settings{{'D', 'I', 'B', ' '}, 10, 0, 1, kWidth, kHeight};
    PLAT_MOVIE_STATUS status = PLAT_MOVIE_OK;
    int32_t error = 0;
    PLAT_MOVIE* movie = PLAT_OpenMovie((dir + "/m.avi").c_str(), &settings, &status, &error);
    PLAT_MOVIE_STATUS last = PLAT_MOVIE_OK;
    for (int i = 0; movie && i < 10 && last == PLAT_MOVIE_OK; ++i) last = PLAT_WriteMovieFrame(movie, frame.data(), kStride);
    PLAT_MOVIE_STATUS closed = movie ? PLAT_CloseMovie(movie, &error) : status;
    uint32_t jpeg = PLAT_WriteJpeg((dir + "/s.jpg").c_str(), frame.data(), kWidth, kHeight, kStride, 100, &error);
    setrlimit(RLIMIT_FSIZE, &before);
    signal(SIGXFSZ, previous);

    ASSERT_NE(movie, nullptr) << status;
    EXPECT_EQ(last, PLAT_MOVIE_WRITE_FAILED);
    EXPECT_EQ(closed, PLAT_MOVIE_WRITE_FAILED);
    EXPECT_EQ(jpeg, 0u);
    EXPECT_EQ(error, EFBIG);
    EXPECT_FALSE(std::filesystem::exists(dir + "/target.avi"));
    EXPECT_FALSE(std::filesystem::exists(dir + "/target.jpg"));
}

}  // namespace
