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
struct Writer {
    std::string dir;
    int fd = -1;                        // opened before the denial
    std::atomic<uint32_t> go{0};
    uint32_t denied = 0, wrote = 0, jpeg = 0;
    int created = 0;
    int32_t errors[3] = {};
};

uint32_t WriteWhenTold(void* p)
{
    Writer* w = static_cast<Writer*>(p);
    while (!w->go) PLAT_Sleep(1);
    w->denied = PLAT_FileOutputDenied();
    w->created = PLAT_CreateOutputFile((w->dir + "/new.txt").c_str(), &w->errors[0]);
    w->wrote = PLAT_WriteAll(w->fd, "text", 4, &w->errors[1]);
    const uint8_t pixels[12] = {};
    w->jpeg = PLAT_WriteJpeg((w->dir + "/new.jpg").c_str(), pixels, 2, 2, 6, 75, &w->errors[2]);
    return 1;
}

TEST(DeniedFileOutput, TheThreadCreatesAndWritesNothingAndOthersStillDo)
{
    Writer left, other;
    left.dir = testsupport::MakeTempDir("denied");
    other.dir = testsupport::MakeTempDir("not-denied");
    int32_t error = 0;
    left.fd = PLAT_CreateOutputFile((left.dir + "/old.txt").c_str(), &error);
    other.fd = PLAT_CreateOutputFile((other.dir + "/old.txt").c_str(), &error);
    PLAT_THREAD* leftThread = PLAT_CreateThread(WriteWhenTold, &left);
    PLAT_THREAD* otherThread = PLAT_CreateThread(WriteWhenTold, &other);
    PLAT_DenyFileOutput(leftThread);
    left.go = other.go = 1;
    EXPECT_EQ(PLAT_JoinThread(leftThread, 10000), 1u);
    EXPECT_EQ(PLAT_JoinThread(otherThread, 10000), 1u);
    EXPECT_EQ(left.denied, 1u);
    EXPECT_EQ(left.created, -1);
    EXPECT_EQ(left.wrote, 0u);
    EXPECT_EQ(left.jpeg, 0u);
    for (int32_t e : left.errors) EXPECT_EQ(e, ECANCELED);
    EXPECT_FALSE(std::filesystem::exists(left.dir + "/new.txt"));
    EXPECT_FALSE(std::filesystem::exists(left.dir + "/new.jpg"));
    EXPECT_EQ(PLAT_WriteAll(left.fd, "kept", 4, &error), 1u);   // by this thread
    EXPECT_EQ(testsupport::ReadFile(left.dir + "/old.txt"), "kept");

    EXPECT_EQ(other.denied, 0u);
    EXPECT_GE(other.created, 0);
    EXPECT_EQ(other.wrote + other.jpeg, 2u);
    EXPECT_EQ(testsupport::ReadFile(other.dir + "/old.txt"), "text");
    for (int fd : {left.fd, other.fd, other.created}) PLAT_CloseOutputFile(fd, &error);
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
