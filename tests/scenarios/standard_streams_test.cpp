// The program started as a shell may start it: with standard error closed,
// with standard output a regular file that a result file also names, and
// stopped before it has begun its own work. Headless unless said otherwise,
// in virtual time, in folders of their own.
#include <gtest/gtest.h>
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>
#include <algorithm>
#include <cctype>
#include <csignal>
#include <filesystem>
#include <string>
#include <vector>
#include "platform/plat_text.h"
#include "tests/scenarios/scenario_support.h"
#include "tests/support/test_support.h"

namespace {

using testsupport::LinesOf;
using testsupport::ReadFile;

constexpr int kEndMs = 120000;

// One satellite "Runner" for two model minutes, an interval file of its
// altitude every second and a results file, under the names given.
std::string Scenario(const std::string& label, const std::string& interval, const std::string& results)
{
    std::string dir = testsupport::MakeTempDir(label);
    testsupport::InstallModelPair(dir);
    testsupport::WriteFile(dir + "/Objects.cfg", "satelit\n  name = \"Runner\"\n  orbit_model = SIMPLE_KEPLER\n"
                                                 "  kepler_meanmotion = 15.5\n  kepler_inclination = 30\n"
                                                 "  magnetic_field_model = HOMOGENOUS, VECTOR(0, 0, 30000)\n" +
                                                     testsupport::kModelPairLines + "end\n");
    testsupport::WriteFile(dir + "/Multipass.cfg", "starttime = UT(\"01.01.2006, 00:00\")\n"
                                                   "endtime = UT(\"01.01.2006, 00:02\")\nsimulationspeed = FASTEST\n");
    std::string altitude = " value\n  name = \"H\"\n  type = FLOAT, 0, 6\n  data = SATELIT_ALTITUDE_KM(\"Runner\")\n end\n";
    testsupport::WriteFile(dir + "/DataOutput.cfg", "datafile CSV, \"" + interval + "\"\n interval = 1s\n timeunit = 1s\n" +
                                                        altitude + "end\ndatafile CSV, \"" + results + "\"\n results\n" +
                                                        altitude + "end\n");
    testsupport::WriteFile(dir + "/Orbit.cfg", "OrbitGraphics = OFF\n");
    std::filesystem::create_symlink(std::string(ORBIT_BINARY_DIR) + "/orbit", dir + "/orbit");
    return dir;
}

// Starts the program in the folder with standard output to "out.txt" (made
// empty, not appended to, as `>` does), standard error to "err.txt" or
// closed, every signal at its default.
scenario::Program Start(const std::string& dir, bool stderrClosed, const char* display = nullptr)
{
    scenario::Program p;
    p.dir = dir;
    p.pid = fork();
    if (p.pid == 0) {
        if (chdir(dir.c_str()) != 0) _exit(126);
        int out = open("out.txt", O_WRONLY | O_CREAT | O_TRUNC, 0644);
        dup2(out, 1);
        if (stderrClosed) {
            close(2);
        } else {
            int err = open("err.txt", O_WRONLY | O_CREAT | O_TRUNC, 0644);
            dup2(err, 2);
            if (err != 2) close(err);
        }
        if (out != 1) close(out);
        sigset_t none;
        sigemptyset(&none);
        sigprocmask(SIG_SETMASK, &none, nullptr);
        for (int sig : {SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGPIPE}) signal(sig, SIG_DFL);
        if (display) {
            unsetenv("ORBIT_HEADLESS");
            setenv("DISPLAY", display, 1);
        } else {
            setenv("ORBIT_HEADLESS", "1", 1);
        }
        setenv("ORBIT_VIRTUAL_TIME", "1", 1);
        unsetenv("ORBIT_TEST_COMMANDS");
        execl("./orbit", "./orbit", static_cast<char*>(nullptr));
        _exit(127);
    }
    return p;
}

std::string Utf8(const char* cp1250) { return PLAT_Cp1250ToUtf8(cp1250); }

// The result rows among the lines (a row and a header begin with a quote or
// a digit, no log line does).
std::vector<std::string> Rows(const std::vector<std::string>& lines, bool rows)
{
    std::vector<std::string> kept;
    for (const std::string& line : lines)
        if ((!line.empty() && (line[0] == '"' || isdigit(static_cast<unsigned char>(line[0])))) == rows)
            kept.push_back(line);
    return kept;
}

// With standard error closed, the alert of a screenshot that cannot be
// written reaches no file: not the movie that is open meanwhile, nor any
// other file of the run but the log and its copy on standard output.
TEST(StandardDescriptors, AClosedStandardErrorSendsNoAlertIntoAFile)
{
    std::string dir = scenario::SceneWithMovie("stderr-closed");
    std::filesystem::create_directory(dir + "/shot2.jpg");
    EXPECT_EQ(scenario::Wait(Start(dir, true), kEndMs), 1);
    const std::string alert = Utf8("OGW: snímek obrazovky nelze uložit");   // as standard error gets it
    EXPECT_NE(ReadFile(dir + "/out.txt").find(alert), std::string::npos);
    ASSERT_TRUE(std::filesystem::exists(dir + "/m.avi"));
    for (const auto& entry : std::filesystem::directory_iterator(dir)) {
        std::string name = entry.path().filename();
        if (entry.is_symlink() || !entry.is_regular_file() || name == "out.txt") continue;
        EXPECT_EQ(ReadFile(entry.path()).find(alert), std::string::npos) << name;
    }
}

// A result file named /dev/stdout, or by the name of the file that standard
// output is, while standard output is a regular file: the file holds every
// line of the log's copy and every row, each whole, in the order written.
TEST(StandardDescriptors, ResultFilesOntoStandardOutputsFileArriveWholeBesideTheLog)
{
    std::string dir = Scenario("stdout-file", "/dev/stdout", "out.txt");
    EXPECT_EQ(scenario::Wait(Start(dir, false), kEndMs), 0) << ReadFile(dir + "/err.txt");
    EXPECT_EQ(ReadFile(dir + "/err.txt"), "");
    std::vector<std::string> lines = LinesOf(ReadFile(dir + "/out.txt"));
    EXPECT_EQ(Rows(lines, false), LinesOf(PLAT_Cp1250ToUtf8(ReadFile(dir + "/Zendrix.log").c_str())));
    std::vector<std::string> rows = Rows(lines, true);
    // The interval file's header and 121 rows (0 s to 120 s), the results file's header and row.
    ASSERT_EQ(rows.size(), 124u) << ReadFile(dir + "/out.txt");
    size_t second = 0;
    for (const std::string& row : rows) {
        EXPECT_EQ(row.back(), '\n');
        if (row.find(";" + std::to_string(second) + ",000;") != std::string::npos) ++second;
    }
    EXPECT_EQ(second, 121u);
    EXPECT_EQ(std::count(rows.begin(), rows.end(), rows[0]), 1);
}

// An X server that takes the connection and never answers, on a free port
// of the loopback; -1 when none could be made.
int ListenAsADisplay(int* number)
{
    for (int n = 40; n < 100; ++n) {
        int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in at{};
        at.sin_family = AF_INET;
        at.sin_port = htons(static_cast<uint16_t>(6000 + n));
        at.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        if (bind(fd, reinterpret_cast<sockaddr*>(&at), sizeof at) == 0 && listen(fd, 1) == 0) {
            *number = n;
            return fd;
        }
        close(fd);
    }
    return -1;
}

// A stop that comes before the program has chosen its windows (it waits for
// an X server that does not answer) is taken once it runs: the run ends at
// once with every result file, and the exit status is 0.
TEST(FirstInstant, AStopBeforeTheProgramHasStartedEndsItsRunWithTheResultFiles)
{
    int number = 0;
    int server = ListenAsADisplay(&number);
    if (server < 0) GTEST_SKIP() << "no free port for a display";
    std::string dir = Scenario("stop-first", "track.csv", "summary.csv");
    std::string display = "127.0.0.1:" + std::to_string(number);
    scenario::Program p = Start(dir, false, display.c_str());
    pollfd waiting{server, POLLIN, 0};
    ASSERT_EQ(poll(&waiting, 1, kEndMs), 1);
    int client = accept(server, nullptr, nullptr);
    ASSERT_GE(client, 0);
    kill(p.pid, SIGTERM);
    // The connection goes unanswered: the program runs without windows.
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    close(client);
    close(server);
    EXPECT_EQ(scenario::Wait(p, kEndMs), 0) << ReadFile(dir + "/err.txt");
    EXPECT_NE(ReadFile(dir + "/err.txt").find(Utf8("nelze otevřít")), std::string::npos);
    EXPECT_EQ(LinesOf(ReadFile(dir + "/summary.csv")).size(), 2u);
    EXPECT_FALSE(LinesOf(ReadFile(dir + "/track.csv")).empty());
}

}  // namespace
