// The program as a user meets it under a file size limit (ulimit -f), with a
// log that is a named pipe, stopped by a signal while it waits on a pipe that
// nobody reads or writes or by many while it ends, and sent SIGURG from
// outside. Headless, in virtual time, in folders of their own.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <atomic>
#include <csignal>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>
#include "platform/plat_text.h"
#include "tests/scenarios/scenario_support.h"
#include "tests/support/test_support.h"

namespace {

using testsupport::LinesOf;
using testsupport::ReadFile;

// Long enough for a stuck program to be told from a slow one on a loaded
// machine under the sanitizers; a normal run here takes well under a second.
constexpr int kEndMs = 120000;

std::string Satellite(const std::string& name)
{
    return "satelit\n  name = \"" + name + "\"\n  orbit_model = SIMPLE_KEPLER\n"
           "  kepler_meanmotion = 15.5\n  kepler_inclination = 30\n"
           "  magnetic_field_model = HOMOGENOUS, VECTOR(0, 0, 30000)\n" +
           testsupport::kModelPairLines + "end\n";
}

// The satellite "Runner" after the given number of others, a run of the given
// minutes, an interval file of its altitude at the given interval (relative
// time in seconds) and a results file.
std::string Scenario(const std::string& label, int minutes, const std::string& interval,
                     const std::string& resultsColumns = "", int others = 0)
{
    std::string dir = testsupport::MakeTempDir(label);
    testsupport::InstallModelPair(dir);
    std::string satellites;
    for (int i = 1; i <= others; ++i) satellites += Satellite("Other" + std::to_string(i));
    testsupport::WriteFile(dir + "/Objects.cfg", satellites + Satellite("Runner"));
    testsupport::WriteFile(dir + "/Multipass.cfg", "starttime = UT(\"01.01.2006, 00:00\")\nendtime = UT(\"01.01.2006, 00:" +
                                                       std::to_string(minutes) + "\")\nsimulationspeed = FASTEST\n");
    std::string altitude = " value\n  name = \"H\"\n  type = FLOAT, 0, 6\n  data = SATELIT_ALTITUDE_KM(\"Runner\")\n end\n";
    testsupport::WriteFile(dir + "/DataOutput.cfg", "datafile CSV, \"track.csv\"\n interval = " + interval +
                                                        "\n timeunit = 1s\n" + altitude + "end\n"
                                                        "datafile CSV, \"summary.csv\"\n results\n" + altitude +
                                                        resultsColumns + "end\n");
    testsupport::WriteFile(dir + "/Orbit.cfg", "OrbitGraphics = OFF\n");
    std::filesystem::create_symlink(std::string(ORBIT_BINARY_DIR) + "/orbit", dir + "/orbit");
    return dir;
}

struct Launch {
    rlim_t sizeLimit = RLIM_INFINITY;   // bytes
    const char* out = "stdout.txt";     // appended to, in the folder
    int outFd = -1;                     // instead: a pipe's write end
};

// Starts the program in the folder as a shell would after `ulimit -f`: the
// limit set, SIGXFSZ and every signal at their defaults; standard error to
// "stderr.txt".
scenario::Program Start(const std::string& dir, const Launch& how = Launch())
{
    scenario::Program p;
    p.dir = dir;
    p.pid = fork();
    if (p.pid == 0) {
        if (chdir(dir.c_str()) != 0) _exit(126);
        int out = how.outFd >= 0 ? how.outFd : open(how.out, O_WRONLY | O_CREAT | O_APPEND, 0644);
        int err = open("stderr.txt", O_WRONLY | O_CREAT | O_TRUNC, 0644);
        dup2(out, 1);
        dup2(err, 2);
        sigset_t none;
        sigemptyset(&none);
        sigprocmask(SIG_SETMASK, &none, nullptr);
        for (int sig : {SIGXFSZ, SIGPIPE, SIGINT, SIGTERM, SIGHUP, SIGQUIT}) signal(sig, SIG_DFL);
        rlimit limit{how.sizeLimit, RLIM_INFINITY};
        if (getrlimit(RLIMIT_FSIZE, &limit) != 0) _exit(126);
        limit.rlim_cur = how.sizeLimit;
        if (setrlimit(RLIMIT_FSIZE, &limit) != 0) _exit(126);
        setenv("ORBIT_HEADLESS", "1", 1);
        setenv("ORBIT_VIRTUAL_TIME", "1", 1);
        unsetenv("ORBIT_TEST_COMMANDS");
        execl("./orbit", "./orbit", static_cast<char*>(nullptr));
        _exit(127);
    }
    return p;
}

std::string Utf8(const std::string& cp1250) { return PLAT_Cp1250ToUtf8(cp1250.c_str()); }

// The messages in code page 1250, as the log holds them.
std::string DataoutLoss(const char* file)
{
    return std::string("DATAOUT: do datového souboru \"") + file + "\" nelze zapisovat, data se ztrácejí.\n";
}

std::string LogLoss(const char* reason)
{
    return std::string("LOG: do souboru logu \"Zendrix.log\" nelze zapisovat (") + reason + "), zprávy se ztrácejí.\n";
}

std::string EchoLoss(const char* reason)
{
    return std::string("LOG: výpis logu na standardní výstup selhal (") + reason +
           "), log se dál zapisuje jen do souboru \"Zendrix.log\".\n";
}

// The rows of track.csv follow each other second by second from the start,
// each whole; their count.
size_t ExpectSecondBySecond(const std::string& dir)
{
    std::vector<std::string> lines = LinesOf(ReadFile(dir + "/track.csv"));
    EXPECT_FALSE(lines.empty());
    for (size_t i = 1; i < lines.size(); ++i) {
        std::string relative = ";" + std::to_string(i - 1) + ",000;";
        EXPECT_NE(lines[i].find(relative), std::string::npos) << "row " << i << ": " << lines[i];
        EXPECT_EQ(lines[i].back(), '\n') << "row " << i;
    }
    return lines.empty() ? 0 : lines.size() - 1;
}

// The results file: its header and the run's row.
void ExpectResultsRow(const std::string& dir)
{
    std::vector<std::string> lines = LinesOf(ReadFile(dir + "/summary.csv"));
    ASSERT_EQ(lines.size(), 2u) << ReadFile(dir + "/summary.csv");
    EXPECT_EQ(lines[1].back(), '\n');
}

// The log ends with the run's summary.
void ExpectSummaryLast(const std::string& dir)
{
    std::vector<std::string> lines = LinesOf(ReadFile(dir + "/Zendrix.log"));
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines.back().rfind("Satelit Runner: ", 0), 0u) << lines.back();
}

// The interval file reaches the limit after some 550 of its 1200 rows: the
// run goes on and ends as after any failed write.
TEST(FileSizeLimit, AnIntervalFileAtTheLimitEndsTheRunAsAFailedWrite)
{
    constexpr rlim_t kLimit = 32768;
    std::string dir = Scenario("limit-interval", 20, "1s");
    Launch how;
    how.sizeLimit = kLimit;
    EXPECT_EQ(scenario::Wait(Start(dir, how), kEndMs), 1) << ReadFile(dir + "/stderr.txt");
    EXPECT_EQ(ReadFile(dir + "/stderr.txt"), Utf8(DataoutLoss("track.csv")));
    std::string track = ReadFile(dir + "/track.csv");
    EXPECT_LE(track.size(), kLimit);
    EXPECT_GT(track.size(), kLimit - 100);   // a row is some 50 bytes
    EXPECT_GT(ExpectSecondBySecond(dir), 500u);
    ExpectResultsRow(dir);
    ExpectSummaryLast(dir);
    EXPECT_NE(ReadFile(dir + "/Zendrix.log").find(DataoutLoss("track.csv")), std::string::npos);
}

// A results row of 25 columns of 200 characters does not fit under the limit:
// part of it is written and cut back off, leaving the header.
TEST(FileSizeLimit, AResultsRowPastTheLimitLeavesTheHeaderWhole)
{
    constexpr rlim_t kLimit = 4096;
    std::string wide, header = "\"H\"";
    for (int i = 1; i <= 25; ++i) {
        wide += " value\n  name = \"W" + std::to_string(i) + "\"\n  type = FLOAT, 200, 3\n  data = " +
                std::to_string(i) + "\n end\n";
        header += ";\"W" + std::to_string(i) + "\"";
    }
    std::string dir = Scenario("limit-results", 20, "1m", wide);
    Launch how;
    how.sizeLimit = kLimit;
    EXPECT_EQ(scenario::Wait(Start(dir, how), kEndMs), 1) << ReadFile(dir + "/stderr.txt");
    EXPECT_EQ(ReadFile(dir + "/stderr.txt"), Utf8(DataoutLoss("summary.csv")));
    EXPECT_EQ(ReadFile(dir + "/summary.csv"), header + "\n");
    EXPECT_EQ(LinesOf(ReadFile(dir + "/track.csv")).size(), 22u);   // the header, 00:00 to 00:20
    ExpectSummaryLast(dir);
}

// The log reaches the limit while loading the satellite; it keeps the lines
// up to there, each whole, the copy on the terminal goes on, and the result
// files are whole.
TEST(FileSizeLimit, ALogAtTheLimitKeepsItsWholeLinesUpToThere)
{
    constexpr rlim_t kLimit = 1024;
    std::string whole = Scenario("limit-log-whole", 20, "5m");
    std::string limited = Scenario("limit-log", 20, "5m");
    ASSERT_EQ(scenario::Wait(Start(whole), kEndMs), 0) << ReadFile(whole + "/stderr.txt");
    ASSERT_GT(ReadFile(whole + "/Zendrix.log").size(), kLimit);
    Launch how;
    how.sizeLimit = kLimit;
    how.out = "/dev/null";
    EXPECT_EQ(scenario::Wait(Start(limited, how), kEndMs), 1) << ReadFile(limited + "/stderr.txt");
    EXPECT_EQ(ReadFile(limited + "/stderr.txt"), Utf8(LogLoss("File too large")));
    std::vector<std::string> kept = LinesOf(ReadFile(limited + "/Zendrix.log"));
    std::vector<std::string> all = LinesOf(ReadFile(whole + "/Zendrix.log"));
    ASSERT_GT(kept.size(), 3u);
    ASSERT_LT(kept.size(), all.size());
    for (size_t i = 0; i < kept.size(); ++i) {
        if (all[i].find("milisekund") != std::string::npos) continue;   // real time
        EXPECT_EQ(kept[i], all[i]) << "line " << i;
    }
    for (const char* file : {"/track.csv", "/summary.csv"})
        EXPECT_EQ(ReadFile(limited + file), ReadFile(whole + file)) << file;
}

// Standard output is a file that reaches the limit after 300 more bytes: the
// copy on the terminal stops with its notice, as for a closed pipe, and
// nothing else changes.
TEST(FileSizeLimit, StandardOutputAtTheLimitEndsOnlyTheTerminalCopy)
{
    constexpr rlim_t kLimit = 16384;
    std::string dir = Scenario("limit-stdout", 20, "10s");
    testsupport::WriteFile(dir + "/stdout.txt", std::string(kLimit - 300, '.') + "\n");
    Launch how;
    how.sizeLimit = kLimit;
    EXPECT_EQ(scenario::Wait(Start(dir, how), kEndMs), 0) << ReadFile(dir + "/stderr.txt");
    EXPECT_EQ(ReadFile(dir + "/stderr.txt"), Utf8(EchoLoss("File too large")));
    EXPECT_LE(ReadFile(dir + "/stdout.txt").size(), kLimit);
    std::string log = ReadFile(dir + "/Zendrix.log");
    std::string notice = EchoLoss("File too large");
    size_t at = log.find(notice);
    ASSERT_NE(at, std::string::npos) << log;
    EXPECT_EQ(log[at - 1], '\n');
    EXPECT_EQ(LinesOf(ReadFile(dir + "/track.csv")).size(), 122u);
    ExpectResultsRow(dir);
    ExpectSummaryLast(dir);
}

// "Zendrix.log" a named pipe, with no reader or with one: the program does
// not wait for a reader; it says that the log cannot be written and runs to
// its end with its result files whole. The reader gets nothing.
TEST(NamedPipeLog, IsRefusedWithOrWithoutAReader)
{
    for (bool reader : {false, true}) {
        std::string dir = Scenario(reader ? "fifo-log-reader" : "fifo-log", 2, "1s");
        ASSERT_EQ(mkfifo((dir + "/Zendrix.log").c_str(), 0644), 0);
        int readEnd = reader ? open((dir + "/Zendrix.log").c_str(), O_RDONLY | O_NONBLOCK) : -1;
        EXPECT_EQ(scenario::Wait(Start(dir), kEndMs), 1) << "reader " << reader;
        EXPECT_EQ(ReadFile(dir + "/stderr.txt"), Utf8(LogLoss("je to pojmenovaná roura"))) << "reader " << reader;
        EXPECT_EQ(ExpectSecondBySecond(dir), 121u);
        ExpectResultsRow(dir);
        EXPECT_NE(ReadFile(dir + "/stdout.txt").find("Satelit Runner: "), std::string::npos);
        if (readEnd >= 0) {
            char byte;
            EXPECT_EQ(read(readEnd, &byte, 1), 0);
            close(readEnd);
        }
    }
}

// A reader of a named pipe, as `cat fifo > copy` is: it waits for the
// program to open the pipe and reads until the program closes it.
class PipeReader {
public:
    explicit PipeReader(std::string path) : path_(std::move(path)), thread_([this] { Read(); }) {}
    // What was read; a reader still waiting (the program never opened the
    // pipe) is let go first.
    std::string Finish()
    {
        if (!done_) {
            int fd = open(path_.c_str(), O_WRONLY | O_NONBLOCK);
            if (fd >= 0) close(fd);
        }
        thread_.join();
        return text_;
    }

private:
    void Read()
    {
        int fd = open(path_.c_str(), O_RDONLY);
        char buffer[4096];
        for (ssize_t n; fd >= 0 && (n = read(fd, buffer, sizeof buffer)) > 0;) text_.append(buffer, (size_t)n);
        if (fd >= 0) close(fd);
        done_ = true;
    }
    std::string path_;
    std::string text_;
    std::atomic<bool> done_{false};
    std::thread thread_;
};

// The interval file and the results file named pipes, each read by a program
// as `cat` reads: each reader gets the file whole, exactly as a run into
// regular files writes it, and its end when the file's last row is written.
TEST(NamedPipeResults, WithAReaderGetEveryRow)
{
    std::string files = Scenario("fifo-results-files", 2, "1s");
    ASSERT_EQ(scenario::Wait(Start(files), kEndMs), 0) << ReadFile(files + "/stderr.txt");
    std::string dir = Scenario("fifo-results", 2, "1s");
    ASSERT_EQ(mkfifo((dir + "/track.csv").c_str(), 0644), 0);
    ASSERT_EQ(mkfifo((dir + "/summary.csv").c_str(), 0644), 0);
    PipeReader track(dir + "/track.csv");
    PipeReader summary(dir + "/summary.csv");
    EXPECT_EQ(scenario::Wait(Start(dir), kEndMs), 0) << ReadFile(dir + "/stderr.txt");
    EXPECT_EQ(ReadFile(dir + "/stderr.txt"), "");
    std::string rows = track.Finish();
    EXPECT_EQ(rows, ReadFile(files + "/track.csv"));
    EXPECT_EQ(LinesOf(rows).size(), 122u);
    EXPECT_EQ(summary.Finish(), ReadFile(files + "/summary.csv"));
    ExpectSummaryLast(dir);
}

std::string MovieLoss(const char* reason)
{
    return std::string("OGW: film \"m.avi\" nelze zapisovat (") + reason + "), film se ztrácí.\n";
}

// The movie's loss in the log, once, and the run's summary after it.
void ExpectMovieLossLogged(const std::string& dir, const char* reason)
{
    std::string log = ReadFile(dir + "/Zendrix.log");
    size_t at = log.find(MovieLoss(reason));
    ASSERT_NE(at, std::string::npos) << log;
    EXPECT_EQ(log.find("OGW", at + 1), std::string::npos) << log;
    EXPECT_NE(log.find("Satelit LEO: ", at), std::string::npos) << log;
}

// A movie file that is a named pipe nobody reads: the render thread does not
// wait on it, the run goes on with its screenshots, and the loss is said.
TEST(NamedPipeMovie, IsRefusedAndTheRunGoesOn)
{
    std::string dir = scenario::SceneWithMovie("fifo-movie");
    ASSERT_EQ(mkfifo((dir + "/m.avi").c_str(), 0644), 0);
    EXPECT_EQ(scenario::Wait(Start(dir), kEndMs), 1) << ReadFile(dir + "/stderr.txt");
    EXPECT_EQ(ReadFile(dir + "/stderr.txt"), Utf8(MovieLoss("je to pojmenovaná roura")));
    ExpectMovieLossLogged(dir, "je to pojmenovaná roura");
    EXPECT_TRUE(std::filesystem::exists(dir + "/shot2.jpg"));
}

// Past the file size limit the movie is removed rather than left cut with
// its header unfinished, the loss is said once, and the exit status is 1.
TEST(FileSizeLimit, AMovieAtTheLimitIsRemovedAndSaidOnce)
{
    std::string dir = scenario::SceneWithMovie("limit-movie");
    Launch how;
    how.sizeLimit = 65536;   // the log and the screenshots fit, the movie (some 100 KB) does not
    EXPECT_EQ(scenario::Wait(Start(dir, how), kEndMs), 1) << ReadFile(dir + "/stderr.txt");
    EXPECT_EQ(ReadFile(dir + "/stderr.txt"), Utf8(MovieLoss("File too large")));
    EXPECT_FALSE(std::filesystem::exists(dir + "/m.avi"));
    ExpectMovieLossLogged(dir, "File too large");
    EXPECT_TRUE(std::filesystem::exists(dir + "/shot2.jpg"));
}

// Whether the program's main thread waits in the kernel on a pipe or a
// named pipe (as /proc tells it; where it does not, the program is left a
// while to get there).
bool WaitsOnAPipe(pid_t pid)
{
    std::string wchan = ReadFile("/proc/" + std::to_string(pid) + "/wchan");
    return wchan.find("pipe") != std::string::npos || wchan.find("partner") != std::string::npos;
}

// Each stop signal ends the program while it waits on a pipe: at start-up,
// opening Multipass.cfg or Objects.cfg that nobody writes; in the run, opening
// the interval file that nobody reads; writing to standard output that nobody
// reads. The file the program waited for counts as one that cannot be opened
// or written.
TEST(StopSignals, EndTheProgramWhileItWaitsOnAPipe)
{
    struct Case {
        const char* label;
        int signal;
        const char* fifo;   // the file made a named pipe, or none: standard output a pipe
        int status;
        const char* said;   // on standard error
        bool ran;           // the run started, and ended at once
    };
    const std::string echoLoss = Utf8(EchoLoss("Interrupted system call"));
    const std::string trackLoss = Utf8(DataoutLoss("track.csv"));
    const Case cases[] = {
        {"stop-multipass", SIGTERM, "Multipass.cfg", 0, "", true},
        {"stop-objects", SIGINT, "Objects.cfg", 1, "", false},
        {"stop-interval", SIGHUP, "track.csv", 1, trackLoss.c_str(), true},
        {"stop-stdout", SIGQUIT, nullptr, 0, echoLoss.c_str(), true},
    };
    for (const Case& c : cases) {
        // Eight more satellites make the log's copy larger than the pipe.
        std::string dir = Scenario(c.label, 20, "1s", "", 8);
        Launch how;
        int fds[2] = {-1, -1};
        if (c.fifo) {
            std::filesystem::remove(dir + "/" + c.fifo);
            ASSERT_EQ(mkfifo((dir + "/" + c.fifo).c_str(), 0644), 0);
        } else {
            ASSERT_EQ(pipe(fds), 0);
            fcntl(fds[1], F_SETPIPE_SZ, 4096);
            how.outFd = fds[1];
        }
        scenario::Program p = Start(dir, how);
        if (fds[1] >= 0) close(fds[1]);
        ASSERT_TRUE(scenario::WaitForFile(dir + "/Zendrix.log", kEndMs)) << c.label;
        for (int waited = 0; waited < 20000 && !WaitsOnAPipe(p.pid); waited += 10)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        kill(p.pid, c.signal);
        EXPECT_EQ(scenario::Wait(p, kEndMs), c.status) << c.label << ": " << ReadFile(dir + "/stderr.txt");
        if (fds[0] >= 0) close(fds[0]);
        EXPECT_EQ(ReadFile(dir + "/stderr.txt"), c.said) << c.label;
        std::string log = ReadFile(dir + "/Zendrix.log");
        if (!c.ran) {
            EXPECT_NE(log.find("SATS: konfigurační soubor \"Objects.cfg\" nelze otevřít"), std::string::npos) << log;
            continue;
        }
        // The run ended at once, with the results row and the summary; the
        // interval file has whole rows (a named pipe has none to read).
        if (std::string(c.fifo ? c.fifo : "") != "track.csv") {
            EXPECT_LT(ExpectSecondBySecond(dir), 1200u) << c.label;
        }
        ExpectResultsRow(dir);
        ExpectSummaryLast(dir);
    }
}

// Stop signals that keep coming while the program ends (a second Ctrl+C, a
// SIGTERM as the run ends by itself) find it stopping: it ends as after one,
// with its files whole and nothing said on standard error (where a sanitizer
// would report a signal answered with memory the exit has freed).
TEST(StopSignals, ManyWhileTheProgramEndsAreAnsweredAsOne)
{
    std::string dir = Scenario("stop-storm", 2, "1s");
    scenario::Program p = Start(dir);
    ASSERT_TRUE(scenario::WaitForFile(dir + "/Zendrix.log", kEndMs));
    int status = -1;
    for (int waited = 0; waited < kEndMs; ++waited) {
        kill(p.pid, SIGTERM);
        if (waitpid(p.pid, &status, WNOHANG) == p.pid) break;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    ASSERT_TRUE(WIFEXITED(status)) << "status " << status;
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_EQ(ReadFile(dir + "/stderr.txt"), "");
    ExpectResultsRow(dir);
    ExpectSummaryLast(dir);
}

// SIGURG sent from outside (no stop) while standard output is a pipe that its
// reader reads slowly: every write of the copy that the signal cuts short is
// repeated, and the reader gets the whole log.
TEST(OutsideSignals, SIGURGLeavesTheCopyOnStandardOutputWhole)
{
    std::string dir = Scenario("sigurg-stdout", 20, "1s", "", 8);
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    fcntl(fds[1], F_SETPIPE_SZ, 4096);
    Launch how;
    how.outFd = fds[1];
    scenario::Program p = Start(dir, how);
    close(fds[1]);
    std::string copy;
    char block[1024];
    for (;;) {
        // The signal reaches a write that waits, before the read makes room.
        for (int i = 0; i < 100 && !WaitsOnAPipe(p.pid); ++i)
            std::this_thread::sleep_for(std::chrono::microseconds(100));
        kill(p.pid, SIGURG);
        std::this_thread::sleep_for(std::chrono::microseconds(300));
        ssize_t n = read(fds[0], block, sizeof block);
        if (n <= 0) break;
        copy.append(block, static_cast<size_t>(n));
    }
    close(fds[0]);
    EXPECT_EQ(scenario::Wait(p, kEndMs), 0) << ReadFile(dir + "/stderr.txt");
    EXPECT_EQ(ReadFile(dir + "/stderr.txt"), "");
    std::string log = ReadFile(dir + "/Zendrix.log");
    EXPECT_GT(log.size(), 2u * 4096);   // more than the pipe holds: the writes wait for the reader
    EXPECT_TRUE(copy == Utf8(log)) << copy.size() << " of " << Utf8(log).size() << " bytes";
}

}  // namespace
