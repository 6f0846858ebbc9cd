// The log and its copy on standard output as a user meets them: modules that
// write a character at a time beside others that write lines or flood the
// log, standard output closed by its reader, a log file that cannot be
// written, a message that must end its line, the count of a flooding module's
// bytes left out, and same-named modules of two satellites. Headless, in
// virtual time.
#include <gtest/gtest.h>
#include <cctype>
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>
#include <filesystem>
#include <regex>
#include <string>
#include <vector>
#include "onboard/services_debug.h"
#include "platform/plat_text.h"
#include "tests/scenarios/scenario_support.h"
#include "tests/support/test_support.h"

namespace {

// One 'x' every 10 ms, never a line end.
const char* kChars = R"(#include "module_services.h"
void tick(void) { M_DEBUG_Char('x'); }
void main(void) { M_RegisterEntry(M_ENTRY_10MS, tick); }
)";

const char* kTicker = R"(#include "module_services.h"
__xdata unsigned int seconds;
void second(void) { ++seconds; M_DEBUG_Printf("TICK %u\n", seconds); }
void main(void) { M_RegisterEntry(M_ENTRY_1000MS, second); }
)";

// A new 3 kB line every 10 ms: 16 MiB in under a minute.
const char* kFlood = R"(#include "module_services.h"
__xdata unsigned int n;
void tick(void)
{
    ++n;
    M_DEBUG_Printf("flood %u %256d%256d%256d%256d%256d%256d%256d%256d%256d%256d%256d%256d\n", n, 0, 0, 0, 0, 0, 0, 0,
                   0, 0, 0, 0, 0);
}
void main(void) { M_RegisterEntry(M_ENTRY_10MS, tick); }
)";

std::string ModuleBlock(const std::string& name, const std::string& image)
{
    return "  onboard_module \"" + name + "\"\n    code = X51, \"" + image + "\"\n  end\n";
}

// A folder with one satellite carrying the named modules (name, source), a
// one-minute run, an interval file of its altitude every second and a
// results file.
std::string Scenario(const std::string& label, const std::vector<std::pair<std::string, const char*>>& modules)
{
    std::string dir = testsupport::MakeTempDir(label);
    std::string blocks;
    for (const auto& [name, source] : modules) {
        testsupport::WriteFile(dir + "/" + name + ".c", source);
        EXPECT_EQ(scenario::BuildModule(dir + "/" + name + ".c", dir + "/" + name + ".img"), 0) << name;
        blocks += ModuleBlock(name, name + ".img");
    }
    testsupport::WriteFile(dir + "/Objects.cfg", "satelit\n  name = \"Runner\"\n  orbit_model = SIMPLE_KEPLER\n"
                                                 "  kepler_meanmotion = 15.5\n  kepler_inclination = 30\n"
                                                 "  magnetic_field_model = HOMOGENOUS, VECTOR(0, 0, 30000)\n"
                                                 "  mass_model \"cube\", \"cube.mass\"\n"
                                                 "  surface_model = \"cube\", \"cube.surf\"\n" +
                                                     blocks + "end\n");
    testsupport::InstallModelPair(dir);
    testsupport::WriteFile(dir + "/Multipass.cfg",
                           "starttime = UT(\"01.01.2006, 00:00\")\nendtime = UT(\"01.01.2006, 00:01\")\n"
                           "simulationspeed = FASTEST\n");
    testsupport::WriteFile(dir + "/DataOutput.cfg",
                           "datafile CSV, \"track.csv\"\n interval = 1s\n"
                           " value\n  name = \"H\"\n  type = FLOAT, 0, 6\n  data = SATELIT_ALTITUDE_KM(\"Runner\")\n end\n"
                           "end\n"
                           "datafile CSV, \"summary.csv\"\n results\n"
                           " value\n  name = \"H\"\n  type = FLOAT, 0, 6\n  data = SATELIT_ALTITUDE_KM(\"Runner\")\n end\n"
                           "end\n");
    return dir;
}

using testsupport::LinesOf;

// The log without the lines that carry real time.
std::string WithoutTimings(const std::string& log)
{
    std::string out;
    for (const std::string& line : LinesOf(log))
        if (line.find("milisekund") == std::string::npos) out += line;
    return out;
}

TEST(LogOutput, ACharacterAtATimeModuleKeepsItsLineBesideLinesAndAFlood)
{
    if (!scenario::SdccPresent()) GTEST_SKIP() << "sdcc is not installed";
    std::string dir = Scenario("log-chars", {{"Chars", kChars}, {"Ticker", kTicker}, {"Flood", kFlood}});
    int status = scenario::Wait(scenario::StartIn(dir), 120000);
    std::string log = testsupport::ReadFile(dir + "/Zendrix.log");
    ASSERT_EQ(status, 0) << log.substr(0, 2000);
    std::string xs = std::string(3998, 'x') + "\n";
    size_t xLines = 0, ticks = 0, floods = 0;
    for (const std::string& line : LinesOf(log)) {
        ASSERT_EQ(line.back(), '\n');
        EXPECT_LE(line.size(), 3999u);
        if (line.find('x') != std::string::npos && line.find("flood") == std::string::npos &&
            line.find(':') == std::string::npos) {
            EXPECT_EQ(line, xs);
            ++xLines;
        }
        if (line.find("TICK") != std::string::npos) {
            EXPECT_EQ(line, "TICK " + std::to_string(++ticks) + "\n");
        }
        if (line.find("flood") != std::string::npos) {
            EXPECT_EQ(line.rfind("flood ", 0), 0u) << line.substr(0, 80);
            EXPECT_EQ(line.find('x'), std::string::npos);
            ++floods;
        }
    }
    // The 'x' line fills its room after 40 s; the rest of its 6000
    // characters is left out and counted.
    EXPECT_EQ(xLines, 1u);
    EXPECT_EQ(ticks, 60u);
    EXPECT_GT(floods, 5000u);
    EXPECT_NE(log.find("SWMODULE: modul \"Flood\" satelitu \"Runner\": zapsal do logu 16 MB"), std::string::npos);
    std::smatch m;
    ASSERT_TRUE(std::regex_search(log, m, std::regex("SWMODULE: modul \"Chars\" satelitu \"Runner\": ([0-9]+) bajt")));
    EXPECT_EQ(std::stoul(m[1].str()) + 3998, 6000u);
    // The run's summary is a line of its own.
    EXPECT_NE(log.find("\nSatelit Runner: "), std::string::npos);
}

// The program with its standard output a pipe whose reader has already gone
// (as `| head -1` or a quit pager leaves it); standard error to a file.
int RunWithClosedStdout(const std::string& dir)
{
    std::filesystem::create_symlink(std::string(ORBIT_BINARY_DIR) + "/orbit", dir + "/orbit");
    testsupport::WriteFile(dir + "/Orbit.cfg", "OrbitGraphics = OFF\n");
    int fds[2];
    if (pipe(fds) != 0) return -1;
    close(fds[0]);
    pid_t pid = fork();
    if (pid == 0) {
        if (chdir(dir.c_str()) != 0) _exit(126);
        int err = open("stderr.txt", O_WRONLY | O_CREAT | O_TRUNC, 0644);
        dup2(fds[1], 1);
        dup2(err, 2);
        close(fds[1]);
        setenv("ORBIT_HEADLESS", "1", 1);
        setenv("ORBIT_VIRTUAL_TIME", "1", 1);
        unsetenv("ORBIT_TEST_COMMANDS");
        execl("./orbit", "./orbit", static_cast<char*>(nullptr));
        _exit(127);
    }
    close(fds[1]);
    scenario::Program p;
    p.pid = pid;
    p.dir = dir;
    return scenario::Wait(p, 120000);
}

// The same run with its standard output to a file and to a closed pipe: the
// second says once on standard error that the copy stopped, and leaves the
// same log, interval file, results file and exit status.
TEST(LogOutput, AClosedStandardOutputLeavesTheRunWhole)
{
    if (!scenario::SdccPresent()) GTEST_SKIP() << "sdcc is not installed";
    std::vector<std::pair<std::string, const char*>> modules = {{"Chars", kChars}, {"Ticker", kTicker}};
    std::string whole = Scenario("log-stdout-file", modules);
    std::string piped = Scenario("log-stdout-pipe", modules);
    ASSERT_EQ(scenario::Wait(scenario::StartIn(whole), 120000), 0);
    ASSERT_EQ(RunWithClosedStdout(piped), 0) << testsupport::ReadFile(piped + "/stderr.txt");
    std::string said = "LOG: výpis logu na standardní výstup selhal (Broken pipe), log se dál zapisuje jen do "
                       "souboru \"Zendrix.log\".\n";
    EXPECT_EQ(testsupport::ReadFile(piped + "/stderr.txt"), PLAT_Cp1250ToUtf8(said.c_str()));
    // The log says it too, on a line of its own, and is otherwise the same.
    std::string log = testsupport::ReadFile(piped + "/Zendrix.log");
    size_t at = log.find(said);
    ASSERT_NE(at, std::string::npos) << log.substr(0, 300);
    EXPECT_TRUE(at == 0 || log[at - 1] == '\n');
    log.erase(at, said.size());
    EXPECT_EQ(WithoutTimings(log), WithoutTimings(testsupport::ReadFile(whole + "/Zendrix.log")));
    EXPECT_NE(log.find("\nSatelit Runner: "), std::string::npos);
    for (const char* file : {"/track.csv", "/summary.csv"}) {
        std::string expected = testsupport::ReadFile(whole + file);
        EXPECT_GT(LinesOf(expected).size(), 1u) << file;
        EXPECT_EQ(testsupport::ReadFile(piped + file), expected) << file;
    }
    EXPECT_EQ(LinesOf(testsupport::ReadFile(piped + "/track.csv")).size(), 62u);
}

// "Zendrix.log" that is a folder, or a link to a full device (both fail also
// for root): named on standard error with the reason, exit status 1; the
// result files are still written.
TEST(LogOutput, ALogFileThatCannotBeWrittenFailsTheProgram)
{
    if (!scenario::SdccPresent()) GTEST_SKIP() << "sdcc is not installed";
    struct Case {
        const char* label;
        const char* reason;
    };
    for (const Case& c : {Case{"log-folder", "Is a directory"}, Case{"log-full", "No space left on device"}}) {
        std::string dir = Scenario(c.label, {{"Ticker", kTicker}});
        if (std::string(c.reason) == "Is a directory") std::filesystem::create_directory(dir + "/Zendrix.log");
        else if (std::filesystem::exists("/dev/full")) std::filesystem::create_symlink("/dev/full", dir + "/Zendrix.log");
        else continue;
        EXPECT_EQ(scenario::Wait(scenario::StartIn(dir), 120000), 1) << c.label;
        std::string out = testsupport::ReadFile(dir + "/stdout.txt");
        std::string said = "LOG: do souboru logu \"Zendrix.log\" nelze zapisovat (" + std::string(c.reason) +
                           "), zprávy se ztrácejí.\n";
        said = PLAT_Cp1250ToUtf8(said.c_str());
        size_t at = out.find(said);
        EXPECT_NE(at, std::string::npos) << c.label << "\n" << out.substr(0, 500);
        EXPECT_EQ(out.find(said, at + 1), std::string::npos) << c.label;
        // The terminal still gets the whole log.
        EXPECT_NE(out.find("TICK 60\n"), std::string::npos) << c.label;
        EXPECT_EQ(LinesOf(testsupport::ReadFile(dir + "/track.csv")).size(), 62u) << c.label;
    }
}

// ---- messages that end their lines, counts that hold, modules named with their satellite

// A folder with the satellites given as (name, module blocks), their modules
// built from (file name, source), a run of a few seconds and no data output.
std::string Satellites(const std::string& label, const std::vector<std::pair<std::string, std::string>>& satellites,
                       const std::vector<std::pair<std::string, const char*>>& sources)
{
    std::string dir = testsupport::MakeTempDir(label);
    for (const auto& [name, source] : sources) {
        testsupport::WriteFile(dir + "/" + name + ".c", source);
        EXPECT_EQ(scenario::BuildModule(dir + "/" + name + ".c", dir + "/" + name + ".img"), 0) << name;
    }
    std::string objects;
    for (const auto& [name, blocks] : satellites)
        objects += "satelit\n  name = \"" + name + "\"\n  orbit_model = SIMPLE_KEPLER\n  kepler_meanmotion = 15.5\n"
                   "  magnetic_field_model = HOMOGENOUS, VECTOR(0, 0, 30000)\n" +
                   testsupport::kModelPairLines + blocks + "end\n";
    testsupport::WriteFile(dir + "/Objects.cfg", objects);
    testsupport::InstallModelPair(dir);
    testsupport::WriteFile(dir + "/Multipass.cfg",
                           "starttime = UT(\"01.01.2006, 00:00\")\nendtime = UT(\"01.01.2006, 00:00:04\")\n"
                           "simulationspeed = FASTEST\n");
    return dir;
}

// A data file named after a multipass parameter that does not exist: the
// message ends its line, for an interval file (named at the run's start,
// which fails) and for a results file (named at the load, which fails).
TEST(LogOutput, AFileNamedAfterAMissingParameterIsSaidOnALineOfItsOwn)
{
    for (const char* kind : {" interval = 1s\n", " results\n"}) {
        std::string dir = Satellites("log-missing-param", {{"Runner", ""}}, {});
        testsupport::WriteFile(dir + "/DataOutput.cfg", "datafile CSV, \"ref#(P).csv\"\n" + std::string(kind) +
                                                            " value\n  name = \"H\"\n  type = FLOAT, 0, 3\n"
                                                            "  data = SATELIT_ALTITUDE_KM(\"Runner\")\n end\nend\n");
        EXPECT_EQ(scenario::Wait(scenario::StartIn(dir), 120000), 1) << kind;
        std::string log = testsupport::ReadFile(dir + "/Zendrix.log");
        std::string said = "DATAOUT: parametr \"P\" nenalezen - PreprocessFileName\n";
        size_t at = log.find(said);
        EXPECT_NE(at, std::string::npos) << kind << log.substr(log.size() > 600 ? log.size() - 600 : 0);
        if (at == std::string::npos) continue;
        EXPECT_TRUE(at == 0 || log[at - 1] == '\n') << kind;
        EXPECT_EQ(log.back(), '\n') << kind;
        if (std::string(kind) == " interval = 1s\n") {
            EXPECT_EQ(log.compare(at + said.size(), 16, "Satelit Runner: "), 0) << log.substr(at);
        }
    }
}

// Pieces of a count and 1024 characters (four numbers 0 in fields of 256),
// never with a line end of their own: the line end goes before every third
// piece, so the module's line is open after every run of its entry. 16400
// pieces (over 16 MiB) at the first power-on, 1000 more at each later one,
// 100 pieces every 10 ms.
const char* kPieces = R"(#include "module_services.h"
__xdata unsigned long pieces, goal;
__xdata unsigned char in_line;
void tick(void)
{
    unsigned char i;
    for (i = 0; i < 100 && pieces < goal; ++i) {
        if (in_line == 3) {
            M_DEBUG_Char('\n');
            in_line = 0;
        }
        ++pieces;
        ++in_line;
        M_DEBUG_Printf("%lu%256d%256d%256d%256d", pieces, 0, 0, 0, 0);
    }
}
void warm(void) { goal = goal ? goal + 1000 : 16400; }
void main(void)
{
    M_RegisterEntry(M_ENTRY_10MS, tick);
    M_RegisterEntry(M_ENTRY_WARM_START, warm);
}
)";

// Powers "Pieces" for 2.5 s, then not for half a second, then again.
const char* kSwitch = R"(#include "module_services.h"
__xdata unsigned char power;
void tick(void)
{
    unsigned int t = M_GetTime10ms();
    power = t < 250 || t >= 300;
}
void main(void)
{
    M_RegisterEntry(M_ENTRY_10MS, tick);
    SetupOutput(M_CODE_NAME("Power"), M_TYPE_BYTE, &power);
    BindOutput(M_CODE_NAME("Power"), M_ENTRY_10MS);
}
)";

// The bytes that kPieces writes in all.
uint64_t PiecesWritten(uint64_t pieces)
{
    uint64_t bytes = 0;
    for (uint64_t n = 1; n <= pieces; ++n) bytes += std::to_string(n).size() + 1024 + (n > 1 && n % 3 == 1);
    return bytes;
}

// A module past its 16 MiB whose line is open when it is switched off and
// when the run ends: the program ends both lines, and the count of bytes left
// out is what the module wrote less what the log took, without those two
// line ends.
TEST(LogOutput, TheLeftOutCountIsWhatTheModuleWroteAndTheLogDidNotTake)
{
    if (!scenario::SdccPresent()) GTEST_SKIP() << "sdcc is not installed";
    std::string blocks = "  onboard_module \"Switch\"\n    code = X51, \"switch.img\"\n    output \"Power\"\n  end\n"
                         "  onboard_module \"Pieces\"\n    code = X51, \"pieces.img\"\n"
                         "    power = MODULE_OUTPUT(\"Switch\", \"Power\")\n  end\n";
    std::string dir = Satellites("log-left-out", {{"Runner", blocks}}, {{"switch", kSwitch}, {"pieces", kPieces}});
    int status = scenario::Wait(scenario::StartIn(dir), 120000);
    std::string log = testsupport::ReadFile(dir + "/Zendrix.log");
    ASSERT_EQ(status, 0) << log.substr(0, 2000);
    // The module's lines: long ones that begin with its count.
    uint64_t logged = 0;
    size_t lines = 0;
    for (size_t at = 0, end; at < log.size(); at = end + 1) {
        end = log.find('\n', at);
        ASSERT_NE(end, std::string::npos);
        if (end - at < 1000) continue;
        ASSERT_TRUE(std::isdigit(static_cast<unsigned char>(log[at]))) << log.substr(at, 80);
        logged += end + 1 - at;
        ++lines;
    }
    EXPECT_GT(logged, KOM_MODULE_LOG_LIMIT - 4000);
    EXPECT_LE(logged, KOM_MODULE_LOG_LIMIT);
    EXPECT_NE(log.find("SWMODULE: modul \"Pieces\" satelitu \"Runner\": zapsal do logu 16 MB"), std::string::npos);
    std::string summary = "SWMODULE: modul \"Pieces\" satelitu \"Runner\": ";
    size_t at = log.rfind(summary);
    ASSERT_NE(at, std::string::npos) << log.substr(log.size() - 600);
    std::string tail = log.substr(at + summary.size(), log.find('\n', at) + 1 - at - summary.size());
    EXPECT_EQ(tail, std::to_string(PiecesWritten(17400) - logged) + " bajtů jeho výstupu nebylo zapsáno do logu.\n")
        << lines << " lines logged";
}

// Two satellites with a module of the same name: the lines about each
// module's output, in the run and in its summary, name its satellite.
TEST(LogOutput, ModuleLinesNameTheirSatellite)
{
    if (!scenario::SdccPresent()) GTEST_SKIP() << "sdcc is not installed";
    const char* alpha = R"(#include "module_services.h"
void main(void)
{
    unsigned int i;
    for (i = 0; i < 1200; ++i) M_DEBUG_String(M_CODE_NAME("same\n"));
}
)";
    const char* beta = R"(#include "module_services.h"
__xdata char xs[5002];
void main(void)
{
    unsigned int i;
    for (i = 0; i < 1500; ++i) M_DEBUG_String(M_CODE_NAME("same\n"));
    for (i = 0; i < 5000; ++i) xs[i] = 'x';
    xs[5000] = '\n';
    xs[5001] = 0;
    M_DEBUG_String(M_XRAM_NAME(xs));
}
)";
    auto block = [](const char* image) {
        return "  onboard_module \"Log\"\n    code = X51, \"" + std::string(image) + "\"\n  end\n";
    };
    std::string dir = Satellites("log-two-sats", {{"Alpha", block("alpha.img")}, {"Beta", block("beta.img")}},
                                 {{"alpha", alpha}, {"beta", beta}});
    int status = scenario::Wait(scenario::StartIn(dir), 120000);
    std::string log = testsupport::ReadFile(dir + "/Zendrix.log");
    ASSERT_EQ(status, 0) << log.substr(0, 2000);
    std::string summary = "SWMODULE: modul \"Log\" satelitu \"Alpha\": 200 opakování řádků nebylo zapsáno do logu.\n"
                          "SWMODULE: modul \"Log\" satelitu \"Beta\": 500 opakování řádků nebylo zapsáno do logu.\n"
                          "SWMODULE: modul \"Log\" satelitu \"Beta\": 1002 bajtů jeho výstupu nebylo zapsáno do "
                          "logu.\n";
    EXPECT_NE(log.find(summary), std::string::npos) << log.substr(log.size() > 1000 ? log.size() - 1000 : 0);
    for (const char* satellite : {"Alpha", "Beta"}) {
        std::string capped = std::string("SWMODULE: modul \"Log\" satelitu \"") + satellite +
                             "\": zapsal tentýž řádek 1000 krát, další jeho opakování se do logu nezapisují.\n";
        EXPECT_NE(log.find(capped), std::string::npos) << satellite;
    }
}

}  // namespace
